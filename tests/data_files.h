// The data files of the tests (perft counts, test suites), kept in tests/data.
#pragma once
#include <fstream>
#include <string>

namespace orvex::testing {

// Opens `name` in the project's test data folder.  The stream is not open when
// the file is missing.
inline std::ifstream open_data_file(const std::string& name) {
  return std::ifstream(std::string(ORVEX_DATA_DIR) + "/" + name);
}

}  // namespace orvex::testing
