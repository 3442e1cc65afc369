// The edition's process entry: role, start-up, the worker team and the main
// loop.
#pragma once

namespace orvex::larkspire {

// Sets the process up (master or worker by its command line) and hands one
// command line after the other to the interpreter; never returns.
[[noreturn]] void main(int argc, const char* const* argv);

// Builds the shared mappings and (in the master) the worker processes again
// from the options: table size, process count, workers below normal
// priority, and MultiPV replayed to new workers when it is not 1.
void setup_workers();

}  // namespace orvex::larkspire
