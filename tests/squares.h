// Squares named in the tests' own text: sq("e4").
#pragma once
#include "position/types.h"

namespace orvex::testing {

// The square of a file letter and a rank digit ("a1" .. "h8").
constexpr Square sq(const char* name) { return make_square(name[0] - 'a', name[1] - '1'); }

}  // namespace orvex::testing
