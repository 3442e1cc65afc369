// The constant square and king-pair tables and the enumeration tables from
// which every tablebase index function numbers its positions.
#pragma once
#include "position/types.h"

namespace orvex {

// Kinds of men in the enumeration tables ("pPNBRQ").  A free pawn is limited by
// the ranks and the opposing king's square only; a pawn of the side to move
// (kTbPawn) advances toward the eighth rank and may not attack the opposing king.
using TbManKind = u32;
constexpr TbManKind kTbFreePawn = 0;
constexpr TbManKind kTbPawn = 1;
constexpr TbManKind kTbKnight = 2;
constexpr TbManKind kTbBishop = 3;
constexpr TbManKind kTbRook = 4;
constexpr TbManKind kTbQueen = 5;
constexpr u32 kTbManKinds = 6;

// The kind of a side-to-move man of PieceType t (pawn 0 .. queen 4).
constexpr TbManKind tb_kind_of_type(PieceType t) { return t + 1; }

constexpr u32 kPawnKingPairs = 1806;
constexpr u32 kPawnlessKingPairs = 462;
constexpr i16 kNoKingPair = 4000;
constexpr u8 kClosedSquare = 255;

namespace tb_detail {

constexpr bool kings_apart(u32 a, u32 b) {
  const int df = int(a & 7) - int(b & 7), dr = int(a >> 3) - int(b >> 3);
  return (df > 1 || df < -1 || dr > 1 || dr < -1);
}
template <typename T>
struct Sq64 {
  T v[64];
  constexpr T operator[](u32 s) const { return v[s]; }
};
struct KingPairTable {
  i16 v[64][64];
  constexpr const i16* operator[](u32 k) const { return v[k]; }
};
template <typename F>
constexpr Sq64<u32> make_u32(F f) {
  Sq64<u32> t{};
  for (u32 s = 0; s < 64; ++s) t.v[s] = f(s);
  return t;
}
template <typename F>
constexpr Sq64<u8> make_u8(F f) {
  Sq64<u8> t{};
  for (u32 s = 0; s < 64; ++s) t.v[s] = f(s) ? 1 : 0;
  return t;
}
constexpr KingPairTable make_king_pairs(bool pawnless) {
  KingPairTable t{};
  i16 n = 0;
  for (u32 k1 = 0; k1 < 64; ++k1) {
    for (u32 k2 = 0; k2 < 64; ++k2) {
      const u32 f1 = k1 & 7, r1 = k1 >> 3;
      bool ok = k1 != k2 && kings_apart(k1, k2);
      if (pawnless) {
        ok = ok && f1 <= 3 && r1 <= f1;                            // the triangle a1-d1-d4
        if (f1 == r1) ok = ok && (k2 & 7) >= (k2 >> 3);            // on the diagonal: k2 not above it
      } else {
        ok = ok && f1 <= 3;
      }
      t.v[k1][k2] = ok ? n++ : kNoKingPair;
    }
  }
  return t;
}

}  // namespace tb_detail

// XOR that brings a square to files a-d: 7 on files e-h, 0 on a-d.
inline constexpr tb_detail::Sq64<u32> file_mirror_xor =
    tb_detail::make_u32([](u32 s) { return (s & 7) >= 4 ? 7u : 0u; });
// XOR that brings a square into the quadrant a1-d4.
inline constexpr tb_detail::Sq64<u32> quadrant_xor =
    tb_detail::make_u32([](u32 s) { return ((s & 7) >= 4 ? 7u : 0u) ^ ((s >> 3) >= 4 ? 56u : 0u); });
// The square mirrored in the a1-h8 diagonal.
inline constexpr tb_detail::Sq64<u32> diagonal_reflect =
    tb_detail::make_u32([](u32 s) { return (s & 7) * 8 + (s >> 3); });
// The ten squares of the triangle a1-d1-d4.
inline constexpr tb_detail::Sq64<u8> in_low_triangle =
    tb_detail::make_u8([](u32 s) { return (s & 7) <= 3 && (s >> 3) <= (s & 7); });
inline constexpr tb_detail::Sq64<u8> on_or_below_diagonal =
    tb_detail::make_u8([](u32 s) { return (s & 7) >= (s >> 3); });
inline constexpr tb_detail::Sq64<u8> off_diagonal = tb_detail::make_u8([](u32 s) { return (s & 7) != (s >> 3); });
// By flip: the XOR that turns the board upside down when the first side is Black.
inline constexpr u32 colour_swap_xor[2] = {0, 56};

// King pairs [side-to-move king][other king] in canonical frames, numbered in
// ascending order of k1 * 64 + k2; kNoKingPair elsewhere.
inline constexpr tb_detail::KingPairTable pawn_king_pair = tb_detail::make_king_pairs(false);
inline constexpr tb_detail::KingPairTable pawnless_king_pair = tb_detail::make_king_pairs(true);

// Number of square s among the squares open to one man of a kind when the
// opposing king stands on k, kClosedSquare when s is not open; and the number
// of open squares.  These and the offset tables below are built once, before
// main, by build_tb_index_tables, and only read afterwards.
extern u8 square_numbering[kTbManKinds][64][64];  // [kind][k][s]
extern u8 square_count[kTbManKinds][64];          // [kind][k]

// Combinations of one to three kinds, non-increasing (t1 >= t2 >= t3), each
// with a dense number: the rows of the king-pair offset tables.
constexpr u32 tb_pair_combo(TbManKind t1, TbManKind t2) { return t1 * (t1 + 1) / 2 + t2; }
constexpr u32 tb_triple_combo(TbManKind t1, TbManKind t2, TbManKind t3) {
  return t1 * (t1 + 1) * (t1 + 2) / 6 + t2 * (t2 + 1) / 2 + t3;
}
constexpr u32 kTbPairCombos = 21;
constexpr u32 kTbTripleCombos = 56;

// King-pair offset tables: for each king pair (in its numbering order) the
// number of placements of the combination's men in all earlier pairs; and
// the total over all pairs.  Pawn tables over the 1806 pawn king pairs,
// pawnless ones (kinds knight to queen only) over the 462 pawnless pairs.
extern u32 pawn_offsets1[kTbManKinds][kPawnKingPairs];
extern u32 pawn_offsets2[kTbPairCombos][kPawnKingPairs];
extern u32 pawn_offsets3[kTbTripleCombos][kPawnKingPairs];
extern u32 pawn_total1[kTbManKinds];
extern u32 pawn_total2[kTbPairCombos];
extern u32 pawn_total3[kTbTripleCombos];
extern u32 pawnless_offsets1[kTbManKinds][kPawnlessKingPairs];
extern u32 pawnless_offsets2[kTbPairCombos][kPawnlessKingPairs];
extern u32 pawnless_offsets3[kTbTripleCombos][kPawnlessKingPairs];
extern u32 pawnless_total1[kTbManKinds];
extern u32 pawnless_total2[kTbPairCombos];
extern u32 pawnless_total3[kTbTripleCombos];

// Builds the enumeration tables; runs before main and does nothing again.
void build_tb_index_tables();

// Squares open to one man of kind t for the king pair (k1 side to move, k2
// other), and the number of a man on s among them: the opposing king's
// numbering with the own king's square taken out when it is an open square.
inline u32 tb_open_squares(TbManKind t, Square k1, Square k2) {
  return square_count[t][k2] - (square_numbering[t][k2][k1] != kClosedSquare);
}
inline u32 tb_square_number(TbManKind t, Square k1, Square k2, Square s) {
  return square_numbering[t][k2][s] - (s > k1 && square_numbering[t][k2][k1] != kClosedSquare);
}

}  // namespace orvex
