// A temporary directory for table files, removed with its files afterwards.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

namespace orvex::testing {

struct TempTableDir {
  std::string path;
  TempTableDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/orvex-tb-XXXXXX";
    if (char* p = mkdtemp(tmpl.data())) path = p;
  }
  ~TempTableDir() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  std::string file(const std::string& name) const { return path + "/" + name; }
  std::string sub(const std::string& name) const {
    std::filesystem::create_directories(path + "/" + name);
    return path + "/" + name;
  }
};

}  // namespace orvex::testing
