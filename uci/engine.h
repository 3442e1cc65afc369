// The process entry of the main engine: role, start-up and the main loop.
#pragma once
#include "core/process_role.h"

namespace orvex {

// Sets the process up and obeys commands until "quit" or the end of input.
[[noreturn]] void run_engine(int argc, const char* const* argv);

}  // namespace orvex
