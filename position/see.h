// Exchange test: whether a move of the side to move keeps its material when the
// opponent exchanges on the target square.  Sign only, with early exits by piece
// values and pawn or minor-piece guards; the rest plays the recaptures out on
// bitboards, cheapest attacker first, sliders behind sliders joining as the
// pieces in front of them are used.
#pragma once
#include <bit>

#include "position/board_config.h"
#include "position/position.h"
#include "position/tables.h"

namespace orvex {

// Exchange values by piece code (both colours alike).
inline constexpr i32 see_value[14] = {0, 0, 1, 1, 3, 3, 3, 3, 5, 5, 10, 10, 9999, 9999};

namespace see_detail {

struct LineIndex {
  u32 idx[4];  // occupancy index of the target square on each line kind
};

inline u64 sliders_of_kind(const Position& p, LineKind k) {
  const u64 queens = p.piece_bb[2 * kQueen] | p.piece_bb[2 * kQueen + 1];
  if (k <= kLineDiagA1H8) return queens | p.piece_bb[2 * kBishop] | p.piece_bb[2 * kBishop + 1];
  return queens | p.piece_bb[2 * kRook] | p.piece_bb[2 * kRook + 1];
}

// The slider seen through square s along its line to the target, among the
// squares still in play.
inline u64 xray(const Position& p, const LineIndex& li, Square s, Square to, u64 in_play) {
  const LineKind k = line_kind[s][to];
  if (k == kLineNone) return 0;
  return line_attacks[k][s][li.idx[k]] & in_play & sliders_of_kind(p, k);
}

// Takes colour c's cheapest recapturer out of `attackers` (kinds of B only);
// returns its value, or 0 when c has none of knight, bishop, rook or queen.
template <class B>
inline i32 take_cheapest(const Position& p, const LineIndex& li, Colour c, Square to, u64& attackers, u64 in_play) {
  auto take = [&](PieceType t, i32 value) -> i32 {
    const u64 mine = attackers & p.piece_bb[2 * t + c];
    if (!mine) return 0;
    const Square s = static_cast<Square>(std::countr_zero(mine));
    attackers &= ~bit(s);
    if (t != kKnight) attackers |= xray(p, li, s, to, in_play);
    return value;
  };
  i32 v = 0;
  if constexpr (any_has_kind<B, kKnight>) {
    if ((v = take(kKnight, 3))) return v;
  }
  if constexpr (any_has_kind<B, kBishop>) {
    if ((v = take(kBishop, 3))) return v;
  }
  if constexpr (any_has_kind<B, kRook>) {
    if ((v = take(kRook, 5))) return v;
  }
  return take(kQueen, 10);
}

}  // namespace see_detail

// True when m does not lose material in the exchange on its target square (for a
// non-capture: when the moved piece can stand there).
template <class B = GeneralBoard>
inline bool is_see_safe(SearchMove m) {
  using namespace see_detail;
  const Position& p = current_position;
  const Colour c = p.side_to_move, o = c ^ 1;
  const Square from = move_from(m), to = move_to(m);
  const PieceCode mover = p.board[from], victim = p.board[to];
  if (see_value[victim] >= see_value[mover] || (m & kMoveEnPassant)) return true;
  if (p.piece_bb[o] & pawn_attacks[c][to]) return false;
  const i32 d = see_value[mover] - see_value[victim];
  if constexpr (any_has_kind<B, kKnight>) {
    if (d >= 4 && (p.piece_bb[2 * kKnight + o] & knight_attacks[to])) return false;
  }
  if constexpr (any_has_kind<B, kBishop>) {
    if (d >= 4 && (p.piece_bb[2 * kBishop + o] & bishop_attacks(to))) return false;
  }
  if (p.piece_bb[c] & pawn_attacks[o][to]) return true;

  LineIndex li;
  li.idx[kLineDiagA8H1] = (p.occ_diag_a8h1 >> diag_a8h1_shift[to]) & 63;
  li.idx[kLineDiagA1H8] = (p.occ_diag_a1h8 >> diag_a1h8_shift[to]) & 63;
  li.idx[kLineRank] = (p.occupied >> rank_shift[to]) & 63;
  li.idx[kLineFile] = (p.occ_files >> file_shift[to]) & 63;

  u64 in_play = ~(bit(from) | bit(to));
  const u64 queens = p.piece_bb[2 * kQueen] | p.piece_bb[2 * kQueen + 1];
  const u64 kings = p.piece_bb[2 * kKing] | p.piece_bb[2 * kKing + 1];
  u64 attackers = (bishop_attacks(to) & (p.piece_bb[2 * kBishop] | p.piece_bb[2 * kBishop + 1] | queens)) |
                  (rook_attacks(to) & (p.piece_bb[2 * kRook] | p.piece_bb[2 * kRook + 1] | queens)) |
                  (king_attacks[to] & kings);
  if constexpr (any_has_kind<B, kKnight>)
    attackers |= knight_attacks[to] & (p.piece_bb[2 * kKnight] | p.piece_bb[2 * kKnight + 1]);
  attackers &= in_play;
  attackers |= xray(p, li, from, to, in_play);

  i32 balance = see_value[victim] - see_value[mover];
  for (;;) {
    in_play &= ~attackers;
    i32 value = take_cheapest<B>(p, li, o, to, attackers, in_play);
    if (!value) {
      if (!(attackers & p.piece_bb[2 * kKing + o])) return true;
      value = 1999;
    }
    balance += value;
    if (balance < 0) return false;
    value = take_cheapest<B>(p, li, c, to, attackers, in_play);
    if (!value) {
      if (!(attackers & p.piece_bb[2 * kKing + c])) return false;
      if (balance > 1000) return true;
      value = 2999;
    }
    balance -= value;
    if (balance >= 0) return true;
  }
}

}  // namespace orvex
