// The arguments a running process was started with, for the tests that look
// at the engine's workers from outside.
#pragma once
#include <sys/types.h>

#include <fstream>
#include <string>
#include <vector>

namespace orvex::testing {

// The NUL-separated arguments of /proc/<pid>/cmdline; empty when the process
// is gone.
inline std::vector<std::string> command_line(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::vector<std::string> args;
  std::string arg;
  while (std::getline(in, arg, '\0')) args.push_back(arg);
  return args;
}

}  // namespace orvex::testing
