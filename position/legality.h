// Pseudo-legality tests for moves that do not come from the generators of the
// current node: killers (quiet moves only, castling tested against the
// opponent's attack set) and moves read from the transposition table.  A move
// that passes is safe to make and unmake: it moves a piece of the side to move,
// never captures a king or an own piece, carries a promotion only for a pawn
// reaching its last rank, castles only with the own king from its home square to
// its own g- or c-square, and takes en passant only onto the en-passant square.
// Neither test looks at checks on the mover's king.
#pragma once
#include "position/board_config.h"
#include "position/position.h"
#include "position/tables.h"

namespace orvex {

namespace legality_detail {

constexpr u64 kRank1 = 0xFFull;

// Whether the piece on from (of colour c, not a pawn, no castling flag) reaches
// to: by its attack set when configuration B gives colour c that kind, else by a
// king step (a piece outside the set is judged like the king).
template <class B>
inline bool piece_reaches(PieceCode piece, Colour c, Square from, Square to) {
  const PieceType t = type_of(piece);
  const bool in_set = (B::kinds[c] & kind_bit(t)) != 0;
  if (in_set) {
    switch (t) {
      case kKnight: return (knight_attacks[from] >> to) & 1;
      case kBishop: return (bishop_attacks(from) >> to) & 1;
      case kRook: return (rook_attacks(from) >> to) & 1;
      case kQueen: return (queen_attacks(from) >> to) & 1;
      default: break;
    }
  }
  return (king_attacks[from] >> to) & 1;
}

// A pawn's non-capturing step: single step, or double step over an empty square.
inline bool pawn_step(Colour c, Square from, Square to) {
  const Position& p = current_position;
  if (pawn_push[c][from] & bit(to)) return true;
  return (pawn_double_push[c][from] & bit(to)) && !(p.occupied & pawn_push[c][from]);
}

// Castling flag: the own king on its home square moving to its own g- or
// c-square with the right held and the squares between king and rook empty;
// `transit_attacked` is the attack test of the square the king passes over
// (f or d), 0 when none is wanted.
inline bool castle_ok(PieceCode piece, Colour c, Square from, Square to, u64 transit_attacked) {
  const Position& p = current_position;
  const Square home = c == kWhite ? 4 : 60;
  if (piece != make_piece(kKing, c) || from != home) return false;
  if (to == home + 2) {
    const CastlingRights right = c == kWhite ? kCastleWhiteShort : kCastleBlackShort;
    return (p.state.castling & right) && !p.board[home + 1] && !(transit_attacked & bit(home + 1));
  }
  if (to == home - 2) {
    const CastlingRights right = c == kWhite ? kCastleWhiteLong : kCastleBlackLong;
    return (p.state.castling & right) && !p.board[home - 3] && !p.board[home - 1] &&
           !(transit_attacked & bit(home - 1));
  }
  return false;
}

}  // namespace legality_detail

// Killer test: m must be a quiet move of the side to move that its piece can
// make here.  `attacks_them` is the opponent's attack set (for castling).
template <class B = GeneralBoard>
inline bool is_valid_killer(SearchMove m, u64 attacks_them) {
  using namespace legality_detail;
  const Position& p = current_position;
  const Square from = move_from(m), to = move_to(m);
  const Colour c = p.side_to_move;
  const PieceCode piece = p.board[from];
  if (p.board[to] || (m & kMoveEnPassant)) return false;
  // Killers are quiet: a promotion field never belongs to one.
  if (m & kMovePromoMask) return false;
  if (!piece || colour_of(piece) != c) return false;
  if (is_pawn(piece)) {
    if (m & kMoveCastle) return false;
    const u64 last = c == kWhite ? kRank1 << 56 : kRank1;
    return pawn_step(c, from, to) && !(bit(to) & last);
  }
  if (m & kMoveCastle) {
    if constexpr (B::castling) return castle_ok(piece, c, from, to, attacks_them);
    return false;
  }
  return piece_reaches<B>(piece, c, from, to);
}

// Hash-move test: m must be a move that the side to move's piece can make here.
template <class B = GeneralBoard>
inline bool is_pseudo_legal(SearchMove m) {
  using namespace legality_detail;
  const Position& p = current_position;
  const Square from = move_from(m), to = move_to(m);
  const Colour c = p.side_to_move;
  const PieceCode piece = p.board[from];
  if (!piece || colour_of(piece) != c) return false;
  if (m & kMoveEnPassant) {
    // En passant carries no other flag and lands on the en-passant square,
    // diagonally in front of the pawn, behind the opponent's pawn.
    if ((m & ~u32{0xFFF}) != kMoveEnPassant) return false;
    if (!is_pawn(piece) || p.state.ep_square == 0 || to != p.state.ep_square) return false;
    const u64 fifth = c == kWhite ? kRank1 << 32 : kRank1 << 24;
    return !p.board[to] && (bit(from) & fifth) && (pawn_attacks[c][from] & bit(to)) &&
           p.board[to ^ 8] == make_piece(kPawn, c ^ 1);
  }
  const u64 seventh = c == kWhite ? kRank1 << 48 : kRank1 << 8;
  const bool promotion = (m & kMovePromoMask) != 0;
  if (promotion && (!is_pawn(piece) || !(bit(from) & seventh) || !generates_promotion<B>(m))) return false;
  if (is_pawn(piece) && (bit(from) & seventh) && !promotion) return false;
  if (const PieceCode victim = p.board[to]) {
    if (colour_of(victim) == c || is_king(victim) || (m & kMoveCastle)) return false;
    if (is_pawn(piece)) return (pawn_attacks[c][from] & bit(to)) != 0;
    return piece_reaches<B>(piece, c, from, to);
  }
  if (m & kMoveCastle) {
    if constexpr (B::castling) return castle_ok(piece, c, from, to, 0);
    return false;
  }
  if (is_pawn(piece)) return pawn_step(c, from, to);
  return piece_reaches<B>(piece, c, from, to);
}

}  // namespace orvex
