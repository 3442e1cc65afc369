// Small helpers for command text: prefix tests and bounded copies.
#pragma once
#include <cstddef>
#include <cstring>

namespace orvex {

// Room for one command line and its terminating zero.  A line of up to
// 64 KiB is read whole: a GUI sends a game as one "position" line, and the
// longest legal game (11,898 plies of at most six characters, after a FEN)
// fits.  The line reader discards the rest of a longer line.
constexpr std::size_t kMaxLineLength = 65536;
constexpr std::size_t kLineBufferSize = kMaxLineLength + 1;

// Whether `line` begins with `prefix`.
inline bool starts_with(const char* line, const char* prefix) {
  return std::strncmp(line, prefix, std::strlen(prefix)) == 0;
}

// Copies `text` into a field of `size` bytes (size >= 1), cut to fit and
// NUL-terminated; returns the length copied.
inline std::size_t copy_text(char* field, std::size_t size, const char* text) {
  std::size_t n = std::strlen(text);
  if (n > size - 1) n = size - 1;
  std::memcpy(field, text, n);
  field[n] = '\0';
  return n;
}

}  // namespace orvex
