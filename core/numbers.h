// Reading numbers from command text: the leading decimal integer of a text.
#pragma once
#include "position/types.h"

namespace orvex {

// Blanks skipped, an optional sign, then the digits up to the first other
// character; 0 when no digit follows.  Values beyond the 64-bit range
// saturate instead of wrapping.
i64 read_leading_integer(const char* text);

// The same, saturated to the 32-bit range.
i32 read_leading_i32(const char* text);

}  // namespace orvex
