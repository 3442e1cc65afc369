// Numbering of the six-man classes in which each side has two men and at
// least one man is a pawn.  The side to move's two men form a block over the
// two-man offset tables; the other side's men follow as digits, pawns first
// and then the lower piece before the higher, each piece leaving out the
// squares of the lower pieces.  With pawns on both sides, positions with a
// capture en passant are numbered in a second region after all others.
#pragma once
#include "tablebases/tb_index_common.h"

namespace orvex::tb_detail {

// The two men of a side as kinds of the side to move, higher first.
struct TwoMen {
  PieceType high, low;
};
constexpr TwoMen two_men(TbMaterial m) {
  TwoMen two{kPawn, kPawn};
  bool first = true;
  for (int t = kQueen; t >= static_cast<int>(kPawn); --t) {
    for (u32 i = 0; i < men_of(m, t); ++i) {
      if (first) two.high = static_cast<PieceType>(t);
      else two.low = static_cast<PieceType>(t);
      first = false;
    }
  }
  return two;
}

template <TbMaterial Mover, TbMaterial Other>
struct TwoAgainstTwoShape {
  static constexpr TwoMen kMine = two_men(Mover);
  static constexpr TwoMen kTheirs = two_men(Other);
  static constexpr u32 kMoverPawns = men_of(Mover, kPawn);
  static constexpr u32 kOtherPawns = men_of(Other, kPawn);
  static constexpr u32 kPawnRange = 48 - kMoverPawns;
  // Product of the other side's bases.
  static constexpr u64 kDigitsRadix = kOtherPawns == 2   ? choose(kPawnRange, 2)
                                      : kOtherPawns == 1 ? u64{kPawnRange} * 59
                                      : kTheirs.high == kTheirs.low ? 1770
                                                                    : 3540;
  static u32 block_total() {
    return pawn_total2[tb_pair_combo(tb_kind_of_type(kMine.high), tb_kind_of_type(kMine.low))];
  }
};

template <TbMaterial First, TbMaterial Second, int Side>
u64 index_two_against_two(const TbPieceList* first, const TbPieceList* second, u32 ep, i32 flip);

// En-passant region: every square in frame m only; `down` when the side to
// move's pawns advance toward the first rank in that frame.
template <TbMaterial Mover, TbMaterial Other, bool Down>
inline u64 two_against_two_en_passant(const TbPieceList& mover, const TbPieceList& other, u32 ep, u32 m) {
  using S = TwoAgainstTwoShape<Mover, Other>;
  const auto frame = [m](Square s) { return s ^ m; };
  const Square a = frame(mover.sq[kTbKingSlot]), b = frame(other.sq[kTbKingSlot]);
  const u32 kp = pawn_pair(a, b);
  const Square e = frame(ep);
  const Square pushed = Down ? e + 8 : e - 8;
  const Square start = Down ? e - 8 : e + 8;
  // The capturer: the lowest of the side to move's pawns beside the pushed pawn.
  u32 pawns[2];
  read_men<S::kMoverPawns>(mover, kPawn, frame, pawns);
  sort_ascending<S::kMoverPawns>(pawns);
  const auto beside = [&](Square s) {
    const int df = int(file_of(s)) - int(file_of(e));
    return rank_of(s) == rank_of(pushed) && (df == 1 || df == -1);
  };
  Square c = pawns[0];
  if constexpr (S::kMoverPawns == 2) c = beside(pawns[0]) ? pawns[0] : pawns[1];
  const u32 code = file_of(c) > file_of(e) ? file_of(c) - 1 : file_of(c) + 7;
  const u64 fixed = bit(start) | bit(e) | bit(pushed) | bit(c);

  // Lead value: the king pair, with the side to move's piece when it has one.
  u64 lead;
  Square my_other = 0;
  if constexpr (S::kMoverPawns == 2) {
    lead = kp;
    my_other = c == pawns[0] ? pawns[1] : pawns[0];
  } else {
    constexpr PieceType x = S::kMine.high;
    constexpr TbManKind kind = tb_kind_of_type(x);
    const Square s = frame(mover.sq[tb_first_slot(x)]);
    lead = u64{pawn_offsets1[kind][kp]} + tb_square_number(kind, a, b, s);
    my_other = s;
  }

  // The other side's man besides the pushed pawn.
  u64 index = lead;
  if constexpr (S::kOtherPawns == 2) {
    u32 theirs[2];
    read_men<2>(other, kPawn, frame, theirs);
    const Square r = theirs[0] == pushed ? theirs[1] : theirs[0];
    const u64 against = S::kMoverPawns == 2 ? fixed | bit(my_other) : fixed;
    index = index * (S::kMoverPawns == 2 ? 43 : 44) + (r - 8 - below_count(against, r));
  } else {
    constexpr PieceType y = S::kTheirs.high;
    const Square s = frame(other.sq[tb_first_slot(y)]);
    index = index * 57 + (s - below_count(fixed | bit(a) | bit(b) | bit(my_other), s));
  }
  if constexpr (S::kMoverPawns == 2) index = index * 44 + (my_other - 8 - below_count(fixed, my_other));
  index = index * 14 + code;
  return u64{S::block_total()} * S::kDigitsRadix + index;
}

template <TbMaterial First, TbMaterial Second, int Side>
u64 index_two_against_two(const TbPieceList* first, const TbPieceList* second, u32 ep, i32 flip) {
  // Same men on both sides: the second side to move is the first side's
  // function with the lists exchanged and the colours turned.
  if constexpr (First == Second && Side == 1) {
    return index_two_against_two<First, Second, 0>(second, first, ep, flip ^ 1);
  } else {
    constexpr TbMaterial kMover = Side == 0 ? First : Second;
    constexpr TbMaterial kOther = Side == 0 ? Second : First;
    using S = TwoAgainstTwoShape<kMover, kOther>;
    const TbPieceList& mover = Side == 0 ? *first : *second;
    const TbPieceList& other = Side == 0 ? *second : *first;
    const u32 m = file_mirror_xor[mover.sq[kTbKingSlot]] ^ colour_swap_xor[flip];
    // The side to move's block is numbered with its pawns advancing toward the
    // eighth rank: the second side's pawns are turned once more.
    constexpr bool kDown = Side == 1 && S::kMoverPawns > 0;
    if constexpr (S::kMoverPawns > 0 && S::kOtherPawns > 0) {
      if (ep != kTbNoEnPassant) return two_against_two_en_passant<kMover, kOther, kDown>(mover, other, ep, m);
    }
    const u32 t = kDown ? m ^ 56 : m;

    // Block of the side to move, frame t.
    const Square a = mover.sq[kTbKingSlot] ^ t, b = other.sq[kTbKingSlot] ^ t;
    const u32 kp = pawn_pair(a, b);
    constexpr TbManKind kHigh = tb_kind_of_type(S::kMine.high), kLow = tb_kind_of_type(S::kMine.low);
    u64 index = pawn_offsets2[tb_pair_combo(kHigh, kLow)][kp];
    if constexpr (kHigh == kLow) {
      u32 v[2];
      read_men<2>(mover, S::kMine.high, [t](Square s) { return s ^ t; }, v);
      sort_ascending<2>(v);
      v[0] = tb_square_number(kHigh, a, b, v[0]);
      v[1] = tb_square_number(kHigh, a, b, v[1]);
      index += set_rank<2>(v);
    } else {
      const Square h = mover.sq[tb_first_slot(S::kMine.high)] ^ t, l = mover.sq[tb_first_slot(S::kMine.low)] ^ t;
      index += tb_square_number(kHigh, a, b, h) * tb_open_squares(kLow, a, b) + tb_square_number(kLow, a, b, l);
    }

    // Digits of the other side, frame m: pawns, then the lower piece, then the higher.
    const auto frame = [m](Square s) { return s ^ m; };
    u64 mover_pawns = 0;
    u64 occupied = bit(frame(mover.sq[kTbKingSlot])) | bit(frame(other.sq[kTbKingSlot]));
    static_for<5>([&](auto k) {
      for (u32 i = 0; i < men_of(kMover, k); ++i) {
        const Square s = frame(mover.sq[tb_first_slot(k) + i]);
        occupied |= bit(s);
        if (k == kPawn) mover_pawns |= bit(s);
      }
    });
    if constexpr (S::kOtherPawns > 0) {
      u32 v[2];
      read_men<S::kOtherPawns>(other, kPawn, frame, v);
      sort_ascending<S::kOtherPawns>(v);
      for (u32 i = 0; i < S::kOtherPawns; ++i) {
        occupied |= bit(v[i]);
        v[i] = v[i] - 8 - below_count(mover_pawns, v[i]);
      }
      index = index * choose(S::kPawnRange, S::kOtherPawns) + set_rank<S::kOtherPawns>(v);
    }
    if constexpr (S::kOtherPawns == 1) {
      const Square s = frame(other.sq[tb_first_slot(S::kTheirs.high)]);
      index = index * 59 + (s - below_count(occupied, s));
    } else if constexpr (S::kOtherPawns == 0 && S::kTheirs.high == S::kTheirs.low) {
      u32 v[2];
      read_men<2>(other, S::kTheirs.high, frame, v);
      sort_ascending<2>(v);
      v[0] -= below_count(occupied, v[0]);
      v[1] -= below_count(occupied, v[1]);
      index = index * 1770 + set_rank<2>(v);
    } else if constexpr (S::kOtherPawns == 0) {
      const Square l = frame(other.sq[tb_first_slot(S::kTheirs.low)]);
      const Square h = frame(other.sq[tb_first_slot(S::kTheirs.high)]);
      index = index * 60 + (l - below_count(occupied, l));
      index = index * 59 + (h - below_count(occupied | bit(l), h));
    }
    return index;
  }
}

}  // namespace orvex::tb_detail
