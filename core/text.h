// Small helpers for command text: prefix tests and bounded copies.
#pragma once
#include <cstddef>
#include <cstring>

namespace orvex {

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
