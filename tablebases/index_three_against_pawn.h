// Numbering of the six-man classes of three men against a lone pawn.  With
// the three men's side to move and no capture en passant it is the standard
// numbering.  With the pawn's side to move, its pawn forms the block and the
// three men follow: pieces group by group from the queen down, each leaving
// out the squares of the groups before it, then the pawns.  Positions with a
// capture en passant follow all others, for either side to move.
#pragma once
#include "tablebases/index_standard.h"

namespace orvex::tb_detail {

// The three men's piece groups (pawns apart), queens first.
struct PieceGroups {
  u32 count;
  PieceType type[3];
  u32 men[3];
};
constexpr PieceGroups piece_groups(TbMaterial m) {
  PieceGroups g{};
  for (int t = kQueen; t >= static_cast<int>(kKnight); --t) {
    if (men_of(m, t) > 0) {
      g.type[g.count] = static_cast<PieceType>(t);
      g.men[g.count++] = men_of(m, t);
    }
  }
  return g;
}

// The pieces of the three men as digits: each group's men against `occupied`
// (the groups before it added as they are taken); the rank, most significant
// group first.
template <TbMaterial Three, typename Frame>
inline u64 piece_digits(const TbPieceList& list, const Frame& frame, u64 occupied) {
  constexpr PieceGroups G = piece_groups(Three);
  u64 rank = 0;
  static_for<G.count>([&](auto gi) {
    constexpr PieceType t = G.type[gi];
    constexpr u32 n = G.men[gi];
    u32 sq[n], v[n];
    read_men<n>(list, t, frame, sq);
    sort_ascending<n>(sq);
    const u32 free = 64 - static_cast<u32>(std::popcount(occupied));
    for (u32 i = 0; i < n; ++i) v[i] = sq[i] - below_count(occupied, sq[i]);
    for (u32 i = 0; i < n; ++i) occupied |= bit(sq[i]);
    rank = rank * choose(free, n) + set_rank<n>(v);
  });
  return rank;
}

// The number of placements of those pieces when `taken` squares are occupied
// before the first group.
constexpr u64 piece_count(TbMaterial three, u32 taken) {
  const PieceGroups g = piece_groups(three);
  u64 product = 1;
  for (u32 i = 0; i < g.count; ++i) {
    product *= choose(64 - taken, g.men[i]);
    taken += g.men[i];
  }
  return product;
}

template <TbMaterial First, TbMaterial Second, int Side>
u64 index_three_against_pawn(const TbPieceList* first, const TbPieceList* second, u32 ep, i32 flip) {
  constexpr u32 np = men_of(First, kPawn);
  constexpr TbMaterial kPieces = First & ~u32{15};
  const TbPieceList& f = *first;
  const TbPieceList& g = *second;
  if constexpr (Side == 0) {
    if (np == 0 || ep == kTbNoEnPassant) return index_standard<First, Second, 0>(first, second, kTbNoEnPassant, flip);
    if constexpr (np > 0) {
      // Capture en passant by one of the three men's pawns.
      const PawnFrame frame(f.sq[kTbKingSlot], flip);
      const Square a = frame(f.sq[kTbKingSlot]), b = frame(g.sq[kTbKingSlot]);
      const u32 kp = pawn_pair(a, b);
      const Square e = frame(ep);
      u32 pawns[3];
      read_men<np>(f, kPawn, frame, pawns);
      sort_ascending<np>(pawns);
      // The lowest pawn on e - 9 or e - 7 captures.
      u32 ci = 0;
      for (u32 i = np; i-- > 0;) {
        const Square s = pawns[i];
        if ((s == e - 7 && file_of(s) != 0) || (s == e - 9 && file_of(s) != 7)) ci = i;
      }
      const Square c = pawns[ci];
      const u32 code = c == e - 7 ? file_of(c) - 1 : file_of(c) + 7;
      const u64 fixed = bit(e - 8) | bit(c) | bit(e) | bit(e + 8);
      u32 rest[2] = {};
      u32 r = 0;
      for (u32 i = 0; i < np; ++i) {
        if (i != ci) rest[r++] = pawns[i] - below_count(fixed, pawns[i]) - 8;
      }
      u64 other_rank = 0;
      if constexpr (np == 2) other_rank = rest[0];
      if constexpr (np == 3) other_rank = set_rank<2>(rest);
      // The pieces over the king pair, as a one- or two-man block.
      u64 part;
      constexpr PieceGroups G = piece_groups(kPieces);
      if constexpr (G.count == 0) {
        part = kp;
      } else if constexpr (G.count == 1 && G.men[0] == 1) {
        constexpr TbManKind x = tb_kind_of_type(G.type[0]);
        part = u64{pawn_offsets1[x][kp]} + tb_square_number(x, a, b, frame(f.sq[tb_first_slot(G.type[0])]));
      } else if constexpr (G.count == 1) {
        constexpr TbManKind x = tb_kind_of_type(G.type[0]);
        u32 v[2];
        read_men<2>(f, G.type[0], frame, v);
        sort_ascending<2>(v);
        v[0] = tb_square_number(x, a, b, v[0]);
        v[1] = tb_square_number(x, a, b, v[1]);
        part = u64{pawn_offsets2[tb_pair_combo(x, x)][kp]} + set_rank<2>(v);
      } else {
        constexpr TbManKind x = tb_kind_of_type(G.type[0]), y = tb_kind_of_type(G.type[1]);
        const Square sx = frame(f.sq[tb_first_slot(G.type[0])]), sy = frame(f.sq[tb_first_slot(G.type[1])]);
        part = u64{pawn_offsets2[tb_pair_combo(x, y)][kp]} + tb_square_number(x, a, b, sx) * tb_open_squares(y, a, b) +
               tb_square_number(y, a, b, sy);
      }
      return standard_range<First, Second, 0>() + (part * choose(44, np - 1) + other_rank) * 14 + code;
    }
  } else {
    const PawnFrame frame(g.sq[kTbKingSlot], flip);
    const Square a = frame(g.sq[kTbKingSlot]), b = frame(f.sq[kTbKingSlot]);
    const Square gp = frame(g.sq[tb_first_slot(kPawn)]);
    u32 pawns[3];
    read_men<np>(f, kPawn, frame, pawns);
    sort_ascending<np>(pawns);
    u64 pawn_set = 0;
    for (u32 i = 0; i < np; ++i) pawn_set |= bit(pawns[i]);
    const u64 base = bit(a) | bit(b) | bit(gp) | pawn_set;
    // Both kings, the lone pawn and the three men's pawns come before the pieces.
    constexpr u64 kPieceCount = piece_count(kPieces, 3 + np);
    constexpr u64 kPawnCount = choose(47, np);
    if (np == 0 || ep == kTbNoEnPassant) {
      // The lone pawn's block, seen from the other edge of the board.
      const Square a2 = a ^ 56, b2 = b ^ 56;
      const u64 t = u64{pawn_offsets1[kTbPawn][pawn_pair(a2, b2)]} + tb_square_number(kTbPawn, a2, b2, gp ^ 56);
      const u64 piece_rank = piece_digits<kPieces>(f, frame, base);
      u64 pawn_rank = 0;
      if constexpr (np > 0) {
        u32 v[3];
        for (u32 i = 0; i < np; ++i) v[i] = pawns[i] - 8 - (pawns[i] > gp);
        pawn_rank = set_rank<np>(v);
      }
      return (t * kPieceCount + piece_rank) * kPawnCount + pawn_rank;
    }
    if constexpr (np > 0) {
      // The lone pawn captures the pawn that has just passed e.
      const Square e = frame(ep);
      const u32 code = (gp == e + 9 && file_of(gp) != 0) ? file_of(gp) - 1 : file_of(gp) + 7;
      const u64 fixed = bit(e - 8) | bit(e) | bit(e + 8) | bit(gp);
      u32 rest[2] = {};
      u32 r = 0;
      for (u32 i = 0; i < np; ++i) {
        if (pawns[i] != e + 8 && r + 1 < np) rest[r++] = pawns[i] - below_count(fixed, pawns[i]) - 8;
      }
      u64 other_rank = 0;
      if constexpr (np == 2) other_rank = rest[0];
      if constexpr (np == 3) other_rank = set_rank<2>(rest);
      // The start and passed squares are taken as well.
      constexpr u64 kEpPieceCount = piece_count(kPieces, 5 + np);
      const u64 piece_rank = piece_digits<kPieces>(f, frame, base | bit(e - 8) | bit(e));
      const u64 kp = pawn_pair(a, b);
      return u64{pawn_total1[kTbPawn]} * kPieceCount * kPawnCount +
             ((kp * kEpPieceCount + piece_rank) * choose(44, np - 1) + other_rank) * 14 + code;
    }
  }
  return 0;
}

}  // namespace orvex::tb_detail
