// Small helpers for the move tests: squares and moves from text, lists to text.
#pragma once
#include <string>
#include <vector>

#include "position/fen.h"
#include "position/movegen.h"

namespace orvex::testing {

inline Square sq(const char* t) { return Square(t[0] - 'a') + 8 * Square(t[1] - '1'); }

inline SearchMove mv(const char* t, u32 flags = 0) { return make_move_code(sq(t), sq(t + 2), flags); }

inline std::string text(SearchMove m) {
  std::string s;
  s += char('a' + (move_from(m) & 7));
  s += char('1' + (move_from(m) >> 3));
  s += char('a' + (move_to(m) & 7));
  s += char('1' + (move_to(m) >> 3));
  switch (m & kMovePromoMask) {
    case kMovePromoQueen: s += 'q'; break;
    case kMovePromoRook: s += 'r'; break;
    case kMovePromoKnight: s += 'n'; break;
    default: break;
  }
  if (m & kMoveCastle) s += '+';  // castling flag
  if (m & kMoveEnPassant) s += '*';  // en-passant flag
  return s;
}

// "e2e4 e7e5 ..." of a 0-terminated list.
inline std::string list_text(const SearchMove* moves) {
  std::string s;
  for (; *moves; ++moves) {
    if (!s.empty()) s += ' ';
    s += text(*moves);
  }
  return s;
}

inline std::string list_text(const EvasionList* first, const EvasionList* last) {
  std::string s;
  for (; first <= last; ++first) {
    if (!s.empty()) s += ' ';
    s += text(first->move);
  }
  return s;
}

inline void set_position(const std::string& fen) { parse_fen(fen.c_str()); }

}  // namespace orvex::testing
