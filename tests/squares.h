// Squares named in the tests' own text (sq("e4")), and boards written as FEN.
#pragma once
#include <string>

#include "position/types.h"

namespace orvex::testing {

// The square of a file letter and a rank digit ("a1" .. "h8").
constexpr Square sq(const char* name) { return make_square(name[0] - 'a', name[1] - '1'); }

// The FEN placement field of 64 characters (a1 first), '.' for empty.
inline std::string placement_fen(const char* board) {
  std::string fen;
  for (int r = 7; r >= 0; --r) {
    int empty = 0;
    for (int f = 0; f < 8; ++f) {
      const char c = board[r * 8 + f];
      if (c == '.') {
        ++empty;
        continue;
      }
      if (empty) fen += static_cast<char>('0' + empty), empty = 0;
      fen += c;
    }
    if (empty) fen += static_cast<char>('0' + empty);
    if (r) fen += '/';
  }
  return fen;
}

}  // namespace orvex::testing
