// orvex-tbgen DIR [--compressed]: solves the five three-man classes and
// writes their tables into DIR, raw or compressed.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/tbgen/tables.h"

int main(int argc, char** argv) {
  if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--compressed") != 0) || argc > 3) {
    std::fprintf(stderr, "usage: orvex-tbgen DIR [--compressed]\n");
    return 2;
  }
  const auto classes = orvex::tbgen::solve_all();
  std::string error;
  if (!orvex::tbgen::write_tables(classes, argv[1], argc == 3, &error)) {
    std::fprintf(stderr, "orvex-tbgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
