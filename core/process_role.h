// The role rule: whether this process is the master or a worker, read from
// its command line.  Both programs start their workers with their own
// program argument followed by five numbers.
#pragma once
#include "position/types.h"

namespace orvex {

// What the command line says about the process.  A worker is started with
// its program argument followed by five numbers: table size in MB,
// generation, process count, the master's process id and its own index.
struct ProcessRole {
  bool worker = false;
  u32 hash_mb = 32;
  u32 generation = 0;
  i32 process_count = 0;
  u32 master_pid = 0;
  i32 worker_index = 0;
};

// Index of the program argument: the first argument ending in ".exe", or in
// ".exe" and a quote or blank, or in ".exe", a quote or blank and a blank
// (lower case only); 0 (the program's own name) when none does.
int program_argument_index(int argc, const char* const* argv);

// The role from the command line: a worker when at least five arguments
// follow the program argument.
ProcessRole read_process_role(int argc, const char* const* argv);

}  // namespace orvex
