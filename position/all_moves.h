// Attack tests on current_position and the whole list of pseudo-legal moves
// of the side to move, through the engine's own generators.  For code off the
// search's hot path: the root checks, the final report, perft.
#pragma once
#include <bit>

#include "position/make_move.h"
#include "position/movegen.h"

namespace orvex {

// Whether square s is attacked by a piece of colour `by`.
inline bool square_attacked(Square s, Colour by) {
  const Position& p = current_position;
  const u64 queens = p.piece_bb[2 * kQueen + by];
  return (pawn_attacks[by ^ 1][s] & p.piece_bb[by]) || (knight_attacks[s] & p.piece_bb[2 * kKnight + by]) ||
         (king_attacks[s] & p.piece_bb[2 * kKing + by]) ||
         (bishop_attacks(s) & (p.piece_bb[2 * kBishop + by] | queens)) ||
         (rook_attacks(s) & (p.piece_bb[2 * kRook + by] | queens));
}

// Whether the king of colour c stands attacked.
inline bool king_attacked(Colour c) {
  const u64 king = current_position.piece_bb[2 * kKing + c];
  return king && square_attacked(static_cast<Square>(std::countr_zero(king)), c ^ 1);
}

// Every square attacked by colour `by` (own pieces and first blockers included).
inline u64 attack_set(Colour by) {
  const Position& p = current_position;
  u64 a = 0;
  for (u64 b = p.piece_bb[by]; b; b &= b - 1) a |= pawn_attacks[by][std::countr_zero(b)];
  for (u64 b = p.piece_bb[2 * kKnight + by]; b; b &= b - 1) a |= knight_attacks[std::countr_zero(b)];
  for (u64 b = p.piece_bb[2 * kBishop + by] | p.piece_bb[2 * kQueen + by]; b; b &= b - 1)
    a |= bishop_attacks(static_cast<Square>(std::countr_zero(b)));
  for (u64 b = p.piece_bb[2 * kRook + by] | p.piece_bb[2 * kQueen + by]; b; b &= b - 1)
    a |= rook_attacks(static_cast<Square>(std::countr_zero(b)));
  for (u64 b = p.piece_bb[2 * kKing + by]; b; b &= b - 1) a |= king_attacks[std::countr_zero(b)];
  return a;
}

// A history table of zeros, for move lists that need no order.
inline constexpr u32 kFlatHistory[12 * 64] = {};

// Writes the pseudo-legal moves of the side to move (captures and quiet moves,
// or evasions in check) into moves, 0-terminated; returns the count.
template <class B = GeneralBoard>
inline u32 generate_all_moves(SearchMove* moves) {
  const Position& p = current_position;
  const Colour c = p.side_to_move;
  if (king_attacked(c)) {
    MovePair list[kMaxMoves / 2];
    const MovePair* last = generate_evasions<B>(list, ~u64{0});
    u32 n = 0;
    for (const MovePair* e = list; e <= last; ++e) moves[n++] = e->move;
    moves[n] = 0;
    return n;
  }
  u32 keys[kMaxCaptures];
  generate_captures<B>(moves, keys, p.colour_bb[kWhite], p.colour_bb[kBlack]);
  u32 n = 0;
  while (moves[n]) ++n;
  // The opponent's attacks matter only for castling: compute them only when a
  // right is held and the squares between king and rook are empty.
  const u32 rights = c == kWhite ? (kCastleWhiteShort | kCastleWhiteLong) : (kCastleBlackShort | kCastleBlackLong);
  const u64 back = c == kWhite ? 0 : 56;
  const bool short_path = (p.state.castling & rights & (kCastleWhiteShort | kCastleBlackShort)) &&
                          !(p.occupied & (u64{0x60} << back));
  const bool long_path = (p.state.castling & rights & (kCastleWhiteLong | kCastleBlackLong)) &&
                         !(p.occupied & (u64{0x0E} << back));
  const u64 attacked = short_path || long_path ? attack_set(c ^ 1) : 0;
  generate_quiet_moves<B>(moves + n, attacked, 0, 0, 0, 0, 0, kFlatHistory);
  while (moves[n]) ++n;
  return n;
}

}  // namespace orvex
