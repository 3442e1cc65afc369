#include "search/host.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace orvex {

u8 quiet = 0;
u8 stdin_is_pipe = 0;

void send_line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  send_line_v(format, args);
  va_end(args);
}

void send_line_v(const char* format, va_list args) {
  char buffer[kOutputBufferSize];
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (n < 0) return;
  if (n >= kOutputBufferSize) {
    // Cut: keep the line a line, so the interface never sees two glued together.
    n = kOutputBufferSize - 1;
    buffer[n - 1] = '\n';
  }
  // One write per line and no stream buffer, so every output mode is flushed.
  platform::write_stdout(buffer, static_cast<std::size_t>(n));
}

bool input_waiting() { return platform::input_waiting(); }

}  // namespace orvex
