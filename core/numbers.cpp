#include "core/numbers.h"

#include <limits>

namespace orvex {

i64 read_leading_integer(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  // Accumulate as a negative number so that the most negative value fits too.
  constexpr i64 kMin = std::numeric_limits<i64>::min();
  i64 value = 0;
  bool saturated = false;
  for (; *text >= '0' && *text <= '9'; ++text) {
    const int digit = *text - '0';
    if (saturated) continue;
    if (value < (kMin + digit) / 10) {
      saturated = true;
      value = kMin;
      continue;
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == kMin ? std::numeric_limits<i64>::max() : -value;
}

i32 read_leading_i32(const char* text) {
  const i64 v = read_leading_integer(text);
  if (v > std::numeric_limits<i32>::max()) return std::numeric_limits<i32>::max();
  if (v < std::numeric_limits<i32>::min()) return std::numeric_limits<i32>::min();
  return static_cast<i32>(v);
}

}  // namespace orvex
