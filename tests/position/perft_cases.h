// The standard perft positions and their published node counts, read from the
// shared data folder.
#pragma once
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "position/types.h"
#include "tests/data_files.h"

namespace orvex::testing {

struct PerftCase {
  std::string name;
  std::string fen;
  std::vector<u64> counts;  // counts[d - 1] is the count at depth d
};

inline std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

inline std::vector<PerftCase> load_perft_cases() {
  std::vector<PerftCase> cases;
  std::ifstream in = open_data_file("perft.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t a = line.find(';'), b = line.find(';', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    PerftCase c{trim(line.substr(0, a)), trim(line.substr(a + 1, b - a - 1)), {}};
    std::istringstream counts(line.substr(b + 1));
    u64 n;
    while (counts >> n) c.counts.push_back(n);
    cases.push_back(c);
  }
  return cases;
}

// Node budget per perft run in the unit tests; deeper runs belong to the bench.
#ifdef ORVEX_SANITIZED
constexpr u64 kPerftNodeBudget = 200000;
#else
constexpr u64 kPerftNodeBudget = 1000000;
#endif

}  // namespace orvex::testing
