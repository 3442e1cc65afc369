// Weak stand-ins for the front end's input poll and output function, so that
// the board and search code links (benchmarks, tests) before and apart from
// the edition's front end, whose definitions replace these.
#include <cstdarg>
#include <cstdio>

#include "larkspire/search_io.h"

namespace orvex::larkspire {

__attribute__((weak)) void poll_input() {}

__attribute__((weak)) void send_line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fflush(stdout);
}

}  // namespace orvex::larkspire
