// The standard numbering shared by most classes: the canonical frame, the
// king pair and the men of the side to move as one dense block number, the
// other side's men appended as fixed-radix digits, and (in the classes of up
// to five men with pawns on both sides) the en-passant positions after all
// others.
#pragma once
#include "tablebases/tb_index_common.h"

namespace orvex::tb_detail {

// The groups of like men that form the block, most significant first: a like
// pair before a single man when there are three men, else queens down to pawns.
struct BlockGroups {
  u32 count;
  PieceType type[3];
  u32 men[3];
  TbManKind kinds[3];  // the block's kinds, non-increasing: its offset table
  u32 kind_count;
};

constexpr BlockGroups block_groups(TbMaterial m, bool free_pawns) {
  BlockGroups g{};
  int pair = -1;
  if (men_of(m) == 3) {
    for (PieceType t = kPawn; t <= kQueen; ++t) {
      if (men_of(m, t) == 2) pair = static_cast<int>(t);
    }
  }
  if (pair >= 0) {
    g.type[g.count] = static_cast<PieceType>(pair);
    g.men[g.count++] = 2;
  }
  for (int t = kQueen; t >= static_cast<int>(kPawn); --t) {
    if (t != pair && men_of(m, t) > 0) {
      g.type[g.count] = static_cast<PieceType>(t);
      g.men[g.count++] = men_of(m, t);
    }
  }
  for (int t = kQueen; t >= static_cast<int>(kPawn); --t) {
    for (u32 i = 0; i < men_of(m, t); ++i) g.kinds[g.kind_count++] = free_pawns ? kTbFreePawn : tb_kind_of_type(t);
  }
  return g;
}

// The other side's digits: placement order (what each piece's number leaves
// out) is single pieces from queen down to knight, then a group of like
// pieces; pieces also leave out both kings, the mover's men and the other
// side's pawns.  Returns the number of squares left to a piece of type t.
constexpr u32 digit_range(TbMaterial mover, TbMaterial other, PieceType t) {
  if (t == kPawn) return 48 - men_of(mover, kPawn);
  u32 excluded = 2 + men_of(mover) + men_of(other, kPawn);
  if (men_of(other, t) == 1) {
    for (PieceType h = kQueen; h > t; --h) excluded += men_of(other, h) == 1 ? 1 : 0;
  } else {
    for (PieceType h = kKnight; h <= kQueen; ++h) excluded += men_of(other, h) == 1 ? 1 : 0;
  }
  return 64 - excluded;
}
constexpr u64 digit_radix(TbMaterial mover, TbMaterial other, PieceType t) {
  return choose(digit_range(mover, other, t), men_of(other, t));
}

template <TbMaterial Mover, TbMaterial Other, bool FreePawnBlock>
constexpr u64 digits_radix() {
  u64 r = 1;
  for (PieceType t = kPawn; t <= kQueen; ++t) {
    if (men_of(Other, t) > 0 && !(t == kPawn && FreePawnBlock)) r *= digit_radix(Mover, Other, t);
  }
  return r;
}

template <TbMaterial First, TbMaterial Second, int Side>
struct StandardShape {
  static constexpr TbMaterial kMover = Side == 0 ? First : Second;
  static constexpr TbMaterial kOther = Side == 0 ? Second : First;
  static constexpr bool kPawns = men_of(First, kPawn) + men_of(Second, kPawn) > 0;
  static constexpr bool kBothPawns = men_of(First, kPawn) > 0 && men_of(Second, kPawn) > 0;
  static constexpr u32 kMoverMen = men_of(kMover);
  static constexpr u32 kMoverPawns = men_of(kMover, kPawn);
  // With no men of its own, the side to move's block is the king pair alone
  // (pawnless) or the other side's pawns taken as free pawns.
  static constexpr bool kFreePawnBlock = kPawns && kMoverMen == 0;
  static constexpr bool kKingPairBlock = !kPawns && kMoverMen == 0;
  // A block that holds pawns of the second side to move is numbered upside
  // down, so that those pawns advance toward the eighth rank.
  static constexpr bool kBlockFlip = kPawns && Side == 1 && (kMoverPawns > 0 || kMoverMen == 0);
  static constexpr BlockGroups kGroups =
      block_groups(kFreePawnBlock ? (kOther & 15) : kMover, kFreePawnBlock);
  static constexpr u64 kDigitsRadix = digits_radix<kMover, kOther, kFreePawnBlock>();
};

template <bool Pawns, const BlockGroups& G>
inline u32 block_total() {
  if constexpr (G.kind_count == 1) return offsets_total<Pawns, 1>(G.kinds[0]);
  if constexpr (G.kind_count == 2) return offsets_total<Pawns, 2>(G.kinds[0], G.kinds[1]);
  if constexpr (G.kind_count == 3) return offsets_total<Pawns, 3>(G.kinds[0], G.kinds[1], G.kinds[2]);
}
template <bool Pawns, const BlockGroups& G>
inline const u32* block_offsets() {
  if constexpr (G.kind_count == 1) return offsets_row<Pawns, 1>(G.kinds[0]);
  if constexpr (G.kind_count == 2) return offsets_row<Pawns, 2>(G.kinds[0], G.kinds[1]);
  if constexpr (G.kind_count == 3) return offsets_row<Pawns, 3>(G.kinds[0], G.kinds[1], G.kinds[2]);
}

// The number of positions without en passant of the class and side.
template <TbMaterial First, TbMaterial Second, int Side>
inline u64 standard_range() {
  using S = StandardShape<First, Second, Side>;
  if constexpr (S::kKingPairBlock) return u64{kPawnlessKingPairs} * S::kDigitsRadix;
  else return u64{block_total<S::kPawns, S::kGroups>()} * S::kDigitsRadix;
}

// En-passant positions of the classes of up to five men with pawns on both
// sides, numbered after all others: range + A * 14 + d, with d the capturing
// pawn and direction, A the king pair and the remaining man.  Frame X only.
template <TbMaterial First, TbMaterial Second, int Side>
inline u64 standard_en_passant(const TbPieceList& mover, const TbPieceList& other, u32 ep, i32 flip) {
  using S = StandardShape<First, Second, Side>;
  const PawnFrame frame(mover.sq[kTbKingSlot], flip);
  const Square k1 = frame(mover.sq[kTbKingSlot]), k2 = frame(other.sq[kTbKingSlot]);
  const u32 kp = pawn_pair(k1, k2);
  const Square e = frame(ep);
  const Square pushed = Side == 0 ? e - 8 : e + 8;
  const Square start = Side == 0 ? e + 8 : e - 8;
  // The capturing pawn: of two, the lower one when it stands beside the pushed
  // pawn (it then captures toward the higher file), else the higher one.
  u32 pawns[2];
  read_men<S::kMoverPawns>(mover, kPawn, frame, pawns);
  sort_ascending<S::kMoverPawns>(pawns);
  Square c = pawns[0];
  if constexpr (S::kMoverPawns == 2) {
    const Square lo = pawns[0];
    const bool lo_captures = (lo + 7 == e && file_of(lo) != 0) || (lo + 9 == e && file_of(lo) != 7);
    c = lo_captures ? pawns[0] : pawns[1];
  }
  const bool toward_a_file = Side == 0 ? c + 7 == e : c - 9 == e;
  const u32 d = toward_a_file ? file_of(c) - 1 : file_of(c) + 7;
  const u64 fixed = bit(c) | bit(pushed) | bit(start) | bit(e);

  u64 a;
  if constexpr (men_of(First) == 1) {
    a = kp;  // one pawn each
  } else if constexpr (men_of(First, kPawn) == 2) {
    // The pawn that is neither the capturer nor the pushed one.
    Square r;
    if constexpr (Side == 0) {
      r = c == pawns[0] ? pawns[1] : pawns[0];
    } else {
      u32 theirs[2];
      read_men<2>(other, kPawn, frame, theirs);
      r = theirs[0] == pushed ? theirs[1] : theirs[0];
    }
    a = u64{kp} * 44 + (r - 8 - below_count(fixed, r));
  } else {
    // The first side's piece X beside its pawn.
    constexpr PieceType x = men_of(First, kKnight) ? kKnight
                            : men_of(First, kBishop) ? kBishop
                            : men_of(First, kRook)   ? kRook
                                                     : kQueen;
    if constexpr (Side == 0) {
      const Square s = frame(mover.sq[tb_first_slot(x)]);
      a = pawn_offsets1[tb_kind_of_type(x)][kp] + tb_square_number(tb_kind_of_type(x), k1, k2, s);
    } else {
      const Square s = frame(other.sq[tb_first_slot(x)]);
      a = u64{kp} * 58 + (s - below_count(fixed | bit(k1) | bit(k2), s));
    }
  }
  return standard_range<First, Second, Side>() + a * 14 + d;
}

template <TbMaterial First, TbMaterial Second, int Side>
u64 index_standard(const TbPieceList* first, const TbPieceList* second, u32 ep, i32 flip) {
  using S = StandardShape<First, Second, Side>;
  const TbPieceList& mover = Side == 0 ? *first : *second;
  const TbPieceList& other = Side == 0 ? *second : *first;
  // Six-man classes number their en-passant positions themselves.
  if constexpr (S::kBothPawns && men_of(First) + men_of(Second) <= 3) {
    if (ep != kTbNoEnPassant) return standard_en_passant<First, Second, Side>(mover, other, ep, flip);
  }
  const auto frame = [&] {
    if constexpr (S::kPawns) return PawnFrame(mover.sq[kTbKingSlot], flip);
    else return PawnlessFrame(mover.sq[kTbKingSlot], other.sq[kTbKingSlot]);
  }();
  const Square k1x = frame(mover.sq[kTbKingSlot]), k2x = frame(other.sq[kTbKingSlot]);

  // The block: king pair and the side to move's men (or the other side's
  // pawns as free pawns), in frame Y.
  u64 index;
  if constexpr (S::kKingPairBlock) {
    index = pawnless_pair(k1x, k2x);
  } else {
    constexpr u32 y = S::kBlockFlip ? 56 : 0;
    const Square k1 = k1x ^ y, k2 = k2x ^ y;
    const u32 kp = king_pair<S::kPawns>(k1, k2);
    const TbPieceList& owner = S::kFreePawnBlock ? other : mover;
    u32 value = 0;
    static_for<S::kGroups.count>([&](auto g) {
      constexpr PieceType t = S::kGroups.type[g];
      constexpr u32 n = S::kGroups.men[g];
      constexpr TbManKind kind = S::kFreePawnBlock ? kTbFreePawn : tb_kind_of_type(t);
      u32 v[n];
      read_men<n>(owner, t, [&](Square s) { return frame(s) ^ y; }, v);
      sort_ascending<n>(v);
      for (u32 i = 0; i < n; ++i) v[i] = tb_square_number(kind, k1, k2, v[i]);
      value = value * static_cast<u32>(choose(tb_open_squares(kind, k1, k2), n)) + set_rank<n>(v);
    });
    index = u64{block_offsets<S::kPawns, S::kGroups>()[kp]} + value;
  }

  // The other side's men as digits, in frame X.
  u64 excluded = bit(k1x) | bit(k2x);
  u64 mover_pawns = 0;
  static_for<5>([&](auto t) {
    for (u32 i = 0; i < men_of(S::kMover, t); ++i) {
      const Square s = frame(mover.sq[tb_first_slot(t) + i]);
      excluded |= bit(s);
      if (t == kPawn) mover_pawns |= bit(s);
    }
  });
  constexpr u32 kOtherPawns = men_of(S::kOther, kPawn);
  u32 pawns[3];
  read_men<kOtherPawns>(other, kPawn, frame, pawns);
  for (u32 i = 0; i < kOtherPawns; ++i) excluded |= bit(pawns[i]);

  u32 digit[5] = {};
  // Single pieces, queen first; each leaves its square out for the next.
  static_for<4>([&](auto i) {
    constexpr PieceType t = kQueen - i;
    if constexpr (men_of(S::kOther, t) == 1) {
      const Square s = frame(other.sq[tb_first_slot(t)]);
      digit[t] = s - below_count(excluded, s);
      excluded |= bit(s);
    }
  });
  // A group of like pieces, its men numbered against the same squares.
  static_for<4>([&](auto i) {
    constexpr PieceType t = kQueen - i;
    constexpr u32 n = men_of(S::kOther, t);
    if constexpr (n >= 2) {
      u32 v[n];
      read_men<n>(other, t, frame, v);
      sort_ascending<n>(v);
      for (u32 j = 0; j < n; ++j) v[j] -= below_count(excluded, v[j]);
      digit[t] = set_rank<n>(v);
    }
  });
  if constexpr (kOtherPawns > 0 && !S::kFreePawnBlock) {
    sort_ascending<kOtherPawns>(pawns);
    for (u32 j = 0; j < kOtherPawns; ++j) pawns[j] = pawns[j] - 8 - below_count(mover_pawns, pawns[j]);
    digit[kPawn] = set_rank<kOtherPawns>(pawns);
  }
  static_for<5>([&](auto i) {
    constexpr PieceType t = kQueen - i;
    if constexpr (men_of(S::kOther, t) > 0 && !(t == kPawn && S::kFreePawnBlock)) {
      index = index * digit_radix(S::kMover, S::kOther, t) + digit[t];
    }
  });
  return index;
}

}  // namespace orvex::tb_detail
