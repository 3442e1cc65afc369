// Small helpers for the move tests: squares and moves from text, lists to
// text, the generators' lists as text and the ply record the picker reads.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "position/fen.h"
#include "position/movegen.h"
#include "position/perft.h"
#include "tests/squares.h"

namespace orvex::testing {


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

// What the picker reads of a ply record.
struct PickerRecord {
  u64 attacks_us = 0;
  u64 attacks_them = 0;
  u32 killers[4] = {};
};

// The captures of the side to move, every enemy piece a target (the
// opponent's attack set given for configurations whose king avoids attacked
// squares); their keys into `keys_out` when given.
template <class B = GeneralBoard>
std::string captures_text(std::string* keys_out = nullptr) {
  SearchMove moves[kMaxMoves];
  u32 keys[kMaxCaptures];
  const Position& p = current_position;
  generate_captures<B>(moves, keys, p.colour_bb[kWhite], p.colour_bb[kBlack], attack_set(p.side_to_move ^ 1));
  if (keys_out) {
    keys_out->clear();
    for (u32 i = 0; moves[i]; ++i) {
      if (i) *keys_out += ' ';
      *keys_out += std::to_string(keys[i]);
    }
  }
  return list_text(moves);
}

// The evasions of the side to move (in check), the king kept off the
// squares the opponent attacks; the list must end with the pair (0, 0).
template <class B = GeneralBoard>
std::string evasions_text() {
  EvasionList list[kMaxMoves / 2];
  const EvasionList* last = generate_evasions<B>(list, ~attack_set(current_position.side_to_move ^ 1));
  EXPECT_EQ(last[1].move, 0u);
  EXPECT_EQ(last[1].key, 0u);
  return list_text(list, last);
}

}  // namespace orvex::testing
