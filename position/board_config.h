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

// castling_rights and worker: the general board with restricted promotions
// (queen; knight only with check) and a make move that reads 0x8000 as a knight.
struct RestrictedBoard {
  static constexpr u32 kinds[2] = {kAllKinds, kAllKinds};
  static constexpr PromotionRule promotions = PromotionRule::kQueenKnightIfCheck;
  static constexpr bool castling = true;
  static constexpr bool double_check = true;
  static constexpr bool make_reads_rook_promotion = false;
};

// mixed: as RestrictedBoard, searched without castling rights.
struct MixedBoard {
  static constexpr u32 kinds[2] = {kAllKinds, kAllKinds};
  static constexpr PromotionRule promotions = PromotionRule::kQueenKnightIfCheck;
  static constexpr bool castling = false;
  static constexpr bool double_check = true;
  static constexpr bool make_reads_rook_promotion = false;
};

// The board layers of the ending configurations, by the further kinds of each
// colour's material class: pawns, queens and kings plus those kinds; queen and
// knight promotions; no castling.
// Knights belong to every ending layer: a promotion (or a hash move with code
// 0x8000, which the ending make move reads as a knight) can put a knight on
// the board of any ending, and a layer that ignored it would neither move it
// nor see its checks.  Where the class has no knights this costs one test of
// an empty bitboard.
template <u32 WhiteExtra, u32 BlackExtra, bool DoubleCheck = true>
struct EndingBoard {
  static constexpr u32 kinds[2] = {kBaseKinds | kind_bit(kKnight) | WhiteExtra,
                                   kBaseKinds | kind_bit(kKnight) | BlackExtra};
  static constexpr PromotionRule promotions = PromotionRule::kQueenKnight;
  static constexpr bool castling = false;
  static constexpr bool double_check = DoubleCheck;
  static constexpr bool make_reads_rook_promotion = false;
};

constexpr u32 kKnights = kind_bit(kKnight), kBishops = kind_bit(kBishop), kRooks = kind_bit(kRook);
// pawn_ending and queen_ending look only at the lowest checker in double check.
using PawnEndingBoard = EndingBoard<0, 0, false>;
using BishopEndingBoard = EndingBoard<kBishops, kBishops>;
using BishopVsKnightEndingBoard = EndingBoard<kBishops, kKnights>;
using KnightVsBishopEndingBoard = EndingBoard<kKnights, kBishops>;
using KnightEndingBoard = EndingBoard<kKnights, kKnights>;
using RookEndingBoard = EndingBoard<kRooks, kRooks>;
using RookBishopEndingBoard = EndingBoard<kBishops | kRooks, kBishops | kRooks>;
using RookKnightEndingBoard = EndingBoard<kKnights | kRooks, kKnights | kRooks>;

// Optional rules, off unless a configuration sets them (the second edition's
// board sets them all):
//   pawn_captures_first        captures in the order pawn captures, en passant,
//                              knights, bishops, rooks, queens, king, promotions
//   king_avoids_attacks        king captures, quiet king moves and the moves of a
//                              king that uncovers check avoid attacked squares
//   halve_king_history         a quiet king move's key is half its history value
//   see_filtered_quiet_checks  direct quiet checks and pawn-capturing slider
//                              checks are written only when the exchange test
//                              passes them
//   tactical_picker            the picker has the tactical stages (hash move,
//                              captures, quiet checks, losing captures)
template <class B>
constexpr bool rule_pawn_captures_first() {
  if constexpr (requires { B::pawn_captures_first; }) return B::pawn_captures_first;
  else return false;
}
template <class B>
constexpr bool rule_king_avoids_attacks() {
  if constexpr (requires { B::king_avoids_attacks; }) return B::king_avoids_attacks;
  else return false;
}
template <class B>
constexpr bool rule_halve_king_history() {
  if constexpr (requires { B::halve_king_history; }) return B::halve_king_history;
  else return false;
}
template <class B>
constexpr bool rule_see_filtered_quiet_checks() {
  if constexpr (requires { B::see_filtered_quiet_checks; }) return B::see_filtered_quiet_checks;
  else return false;
}
template <class B>
constexpr bool rule_tactical_picker() {
  if constexpr (requires { B::tactical_picker; }) return B::tactical_picker;
  else return false;
}

// The second edition's board: the general one with the optional rules above.
struct EditionBoard {
  static constexpr u32 kinds[2] = {kAllKinds, kAllKinds};
  static constexpr PromotionRule promotions = PromotionRule::kQueenKnightRook;
  static constexpr bool castling = true;
  static constexpr bool double_check = true;
  static constexpr bool make_reads_rook_promotion = true;
  static constexpr bool pawn_captures_first = true;
  static constexpr bool king_avoids_attacks = true;
  static constexpr bool halve_king_history = true;
  static constexpr bool see_filtered_quiet_checks = true;
  static constexpr bool tactical_picker = true;
};

// Whether colour C of configuration B has pieces of type T.
template <class B, Colour C, PieceType T>
inline constexpr bool has_kind = (B::kinds[C] & kind_bit(T)) != 0;

// Whether either colour has pieces of type T.
template <class B, PieceType T>
inline constexpr bool any_has_kind = ((B::kinds[0] | B::kinds[1]) & kind_bit(T)) != 0;

// Whether a promotion field is one that configuration B generates (the
// knight-with-check condition aside): every configuration promotes to queens
// and knights, only those with the rook rule to rooks.  A lone 0x8000 is a
// rook promotion; the other configurations' make moves would read it as a
// knight while the move's text says rook, so their tests refuse it.
template <class B>
constexpr bool generates_promotion(u32 move) {
  switch (move & kMovePromoMask) {
    case kMovePromoQueen: return true;
    case kMovePromoKnight: return true;
    case kMovePromoRook: return B::promotions == PromotionRule::kQueenKnightRook;
    default: return false;
  }
}

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
