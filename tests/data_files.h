// The shared data files of the tests (perft counts, test suites).
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace orvex::testing {

// Opens `name` in the data folder: the one the environment variable
// ORVEX_DATA_DIR names, else the one beside the checkout, else, for a
// checkout one level deeper, the one a level further up.  The stream is not
// open when none has the file.
inline std::ifstream open_data_file(const std::string& name) {
  if (const char* dir = std::getenv("ORVEX_DATA_DIR")) return std::ifstream(std::string(dir) + "/" + name);
  std::ifstream in(std::string(ORVEX_DATA_DIR) + "/" + name);
  if (!in) in.open(std::filesystem::path(std::string(ORVEX_DATA_DIR) + "/../../../shared/data/" + name).lexically_normal());
  return in;
}

}  // namespace orvex::testing
