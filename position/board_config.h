// Compile-time descriptions of the board code a search configuration runs: the
// piece kinds each colour may have, the promotions it generates, whether it
// castles, how its evasion generator treats a double check and how its make
// move reads the promotion field.  The generators, legality tests, exchange test,
// make/unmake and the move picker are templates over such a type; every search
// configuration instantiates them with its own.
#pragma once
#include "position/types.h"

namespace orvex {

constexpr u32 kind_bit(PieceType t) { return 1u << t; }
// Pawns, queens and kings belong to every piece set.
constexpr u32 kBaseKinds = kind_bit(kPawn) | kind_bit(kQueen) | kind_bit(kKing);
constexpr u32 kAllKinds = kBaseKinds | kind_bit(kKnight) | kind_bit(kBishop) | kind_bit(kRook);

enum class PromotionRule : u8 {
  kQueenKnightRook,     // queen, knight and rook
  kQueenKnight,         // queen and knight
  kQueenKnightIfCheck,  // queen; knight only when the new knight attacks the enemy king
};

// The general configuration: every piece kind, queen, knight and rook
// promotions, castling, double checks answered by king moves only, and a make
// move that reads 0x8000 alone as a rook.
struct GeneralBoard {
  static constexpr u32 kinds[2] = {kAllKinds, kAllKinds};
  static constexpr PromotionRule promotions = PromotionRule::kQueenKnightRook;
  static constexpr bool castling = true;
  static constexpr bool double_check = true;
  static constexpr bool make_reads_rook_promotion = true;
};

// Whether colour C of configuration B has pieces of type T.
template <class B, Colour C, PieceType T>
inline constexpr bool has_kind = (B::kinds[C] & kind_bit(T)) != 0;

// Whether either colour has pieces of type T.
template <class B, PieceType T>
inline constexpr bool any_has_kind = ((B::kinds[0] | B::kinds[1]) & kind_bit(T)) != 0;

// Piece code made by a promotion move for configuration B.
template <class B>
constexpr PieceCode promoted_piece(u32 move, Colour c) {
  u32 field = move & kMovePromoMask;
  if constexpr (B::make_reads_rook_promotion) {
    if (field == kMovePromoQueen) return make_piece(kQueen, c);
    if (field == kMovePromoRook) return make_piece(kRook, c);
    return make_piece(kKnight, c);
  } else {
    return (field & 0x8000) ? make_piece(kKnight, c) : make_piece(kQueen, c);
  }
}

}  // namespace orvex
