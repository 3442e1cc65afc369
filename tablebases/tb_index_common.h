// Building blocks of the index functions: compositions as compile-time
// numbers, canonical frames, ordering of like men and their ranks.
#pragma once
#include <bit>
#include <utility>

#include "tablebases/tb_tables.h"
#include "tablebases/tb_types.h"

namespace orvex::tb_detail {

// One side's men besides the king as a compile-time number: four bits per
// PieceType (pawn in the lowest nibble, queen in the highest).
using TbMaterial = u32;
constexpr TbMaterial tb_material(u32 pawns, u32 knights, u32 bishops, u32 rooks, u32 queens) {
  return pawns | knights << 4 | bishops << 8 | rooks << 12 | queens << 16;
}
constexpr u32 men_of(TbMaterial m, PieceType t) { return (m >> (4 * t)) & 15; }
constexpr u32 men_of(TbMaterial m) {
  return men_of(m, kPawn) + men_of(m, kKnight) + men_of(m, kBishop) + men_of(m, kRook) + men_of(m, kQueen);
}

// The material of the side after the first (side 0) or second (side 1) 'k'
// of a class name.
constexpr TbMaterial material_of_name(const char* name, int side) {
  TbMaterial m = 0;
  int at = -1;
  for (const char* c = name; *c; ++c) {
    if (*c == 'k') {
      ++at;
      continue;
    }
    if (at != side) continue;
    const PieceType t = *c == 'n' ? kKnight : *c == 'b' ? kBishop : *c == 'r' ? kRook : *c == 'q' ? kQueen : kPawn;
    m += 1u << (4 * t);
  }
  return m;
}

// Calls f(std::integral_constant<u32, I>) for I = 0 .. N - 1.
template <u32 N, typename F>
inline void static_for(F&& f) {
  [&]<u32... I>(std::integer_sequence<u32, I...>) {
    (f(std::integral_constant<u32, I>{}), ...);
  }(std::make_integer_sequence<u32, N>{});
}

inline u32 below_count(u64 set, Square s) { return static_cast<u32>(std::popcount(set & (bit(s) - 1))); }

constexpr u64 choose(u64 n, u32 k) {
  if (n < k) return 0;
  if (k == 0) return 1;
  if (k == 1) return n;
  if (k == 2) return n * (n - 1) / 2;
  return n * (n - 1) * (n - 2) / 6;
}

// Ascending order of two or three values by compare-and-exchange.
template <u32 N>
inline void sort_ascending(u32* v) {
  if constexpr (N >= 2) {
    if (v[0] > v[1]) std::swap(v[0], v[1]);
  }
  if constexpr (N == 3) {
    if (v[1] > v[2]) std::swap(v[1], v[2]);
    if (v[0] > v[1]) std::swap(v[0], v[1]);
  }
}

// Rank of N values in ascending order in the combinatorial number system:
// the value itself for one, y(y-1)/2 + x for two, and so on.
template <u32 N>
inline u32 set_rank(const u32* v) {
  if constexpr (N == 1) return v[0];
  if constexpr (N == 2) return v[1] * (v[1] - 1) / 2 + v[0];
  if constexpr (N == 3) return v[2] * (v[2] - 1) * (v[2] - 2) / 6 + v[1] * (v[1] - 1) / 2 + v[0];
}

// The N squares of kind t from a list, each passed through map.
template <u32 N, typename Map>
inline void read_men(const TbPieceList& list, PieceType t, const Map& map, u32* out) {
  for (u32 i = 0; i < N; ++i) out[i] = map(list.sq[tb_first_slot(t) + i]);
}

// Canonical frame of a pawn class: XOR with the file mirror of the side to
// move's king and the colour swap.
struct PawnFrame {
  u32 x;
  PawnFrame(Square mover_king, i32 flip) : x(file_mirror_xor[mover_king] ^ colour_swap_xor[flip]) {}
  Square operator()(Square s) const { return s ^ x; }
};

// Canonical frame of a pawnless class: the quadrant mirror that puts the side
// to move's king on a1-d4, then the reflection in the a1-h8 diagonal when that
// king stands above the diagonal, or on it while the other king stands above.
struct PawnlessFrame {
  u32 x;
  bool reflect;
  PawnlessFrame(Square mover_king, Square other_king) : x(quadrant_xor[mover_king]) {
    const Square k1 = mover_king ^ x, k2 = other_king ^ x;
    reflect = !(in_low_triangle[k1] & (on_or_below_diagonal[k2] | off_diagonal[k1]));
  }
  Square operator()(Square s) const { return reflect ? diagonal_reflect[s ^ x] : s ^ x; }
};

// The number of a king pair.  Kings on one square or side by side have no
// number; they read as pair 0, so that input outside the contract still
// stays within the tables.
inline u32 pawn_pair(Square k1, Square k2) {
  const u32 kp = static_cast<u16>(pawn_king_pair[k1][k2]);
  return kp < kPawnKingPairs ? kp : 0;
}
inline u32 pawnless_pair(Square k1, Square k2) {
  const u32 kp = static_cast<u16>(pawnless_king_pair[k1][k2]);
  return kp < kPawnlessKingPairs ? kp : 0;
}
template <bool Pawns>
inline u32 king_pair(Square k1, Square k2) {
  return Pawns ? pawn_pair(k1, k2) : pawnless_pair(k1, k2);
}

// Offset table row and total of a combination of kinds (non-increasing).
template <bool Pawns, u32 N>
inline const u32* offsets_row(TbManKind t1, TbManKind t2 = 0, TbManKind t3 = 0) {
  if constexpr (Pawns) {
    if constexpr (N == 1) return pawn_offsets1[t1];
    if constexpr (N == 2) return pawn_offsets2[tb_pair_combo(t1, t2)];
    if constexpr (N == 3) return pawn_offsets3[tb_triple_combo(t1, t2, t3)];
  } else {
    if constexpr (N == 1) return pawnless_offsets1[t1];
    if constexpr (N == 2) return pawnless_offsets2[tb_pair_combo(t1, t2)];
    if constexpr (N == 3) return pawnless_offsets3[tb_triple_combo(t1, t2, t3)];
  }
}
template <bool Pawns, u32 N>
inline u32 offsets_total(TbManKind t1, TbManKind t2 = 0, TbManKind t3 = 0) {
  if constexpr (Pawns) {
    if constexpr (N == 1) return pawn_total1[t1];
    if constexpr (N == 2) return pawn_total2[tb_pair_combo(t1, t2)];
    if constexpr (N == 3) return pawn_total3[tb_triple_combo(t1, t2, t3)];
  } else {
    if constexpr (N == 1) return pawnless_total1[t1];
    if constexpr (N == 2) return pawnless_total2[tb_pair_combo(t1, t2)];
    if constexpr (N == 3) return pawnless_total3[tb_triple_combo(t1, t2, t3)];
  }
}

}  // namespace orvex::tb_detail
