// The enumeration tables, built once from their rules before main.
#include "tablebases/tb_tables.h"

namespace orvex {

u8 square_numbering[kTbManKinds][64][64];
u8 square_count[kTbManKinds][64];
u32 pawn_offsets1[kTbManKinds][kPawnKingPairs];
u32 pawn_offsets2[kTbPairCombos][kPawnKingPairs];
u32 pawn_offsets3[kTbTripleCombos][kPawnKingPairs];
u32 pawn_total1[kTbManKinds];
u32 pawn_total2[kTbPairCombos];
u32 pawn_total3[kTbTripleCombos];
u32 pawnless_offsets1[kTbManKinds][kPawnlessKingPairs];
u32 pawnless_offsets2[kTbPairCombos][kPawnlessKingPairs];
u32 pawnless_offsets3[kTbTripleCombos][kPawnlessKingPairs];
u32 pawnless_total1[kTbManKinds];
u32 pawnless_total2[kTbPairCombos];
u32 pawnless_total3[kTbTripleCombos];

namespace {

// A man of kind t on s stands on the opposing king's square k or attacks it at
// contact range: such squares are closed to it.  A pawn of the side to move
// attacks toward the eighth rank; a free pawn is closed only on k.
bool closed_square(TbManKind t, Square k, Square s) {
  if (s == k) return true;
  const int df = int(s & 7) - int(k & 7), dr = int(s >> 3) - int(k >> 3);
  const int adf = df < 0 ? -df : df, adr = dr < 0 ? -dr : dr;
  switch (t) {
    case kTbFreePawn: return false;
    case kTbPawn: return (k == s + 7 && (s & 7) != 0) || (k == s + 9 && (s & 7) != 7);
    case kTbKnight: return (adf == 1 && adr == 2) || (adf == 2 && adr == 1);
    case kTbBishop: return adf == 1 && adr == 1;
    case kTbRook: return adf + adr == 1;
    default: return adf <= 1 && adr <= 1;
  }
}

// Pawns stand on a2-h7; every other kind may stand anywhere.
void build_square_numbering(TbManKind t) {
  const bool pawn = t <= kTbPawn;
  for (Square k = 0; k < 64; ++k) {
    u8 next = 0;
    for (Square s = 0; s < 64; ++s) {
      const bool considered = !pawn || (s >= 8 && s < 56);
      square_numbering[t][k][s] = (considered && !closed_square(t, k, s)) ? next++ : kClosedSquare;
    }
    square_count[t][k] = next;
  }
}

u32 choose(u32 n, u32 k) {
  if (n < k) return 0;
  if (k == 1) return n;
  if (k == 2) return n * (n - 1) / 2;
  return n * (n - 1) * (n - 2) / 6;
}

// Placements of a combination (kinds non-increasing) for one king pair: the
// product over its groups of like men of choose(open squares, men).
u32 placements(const TbManKind* kinds, u32 men, Square k1, Square k2) {
  u32 product = 1;
  for (u32 i = 0; i < men;) {
    u32 j = i;
    while (j < men && kinds[j] == kinds[i]) ++j;
    product *= choose(tb_open_squares(kinds[i], k1, k2), j - i);
    i = j;
  }
  return product;
}

// Walks the king pairs in their numbering order; each pair's entry is the sum
// of the placements of all earlier pairs.
void build_offsets(const tb_detail::KingPairTable& pairs, const TbManKind* kinds, u32 men, u32* offsets,
                   u32* total) {
  u32 sum = 0;
  for (Square k1 = 0; k1 < 64; ++k1) {
    for (Square k2 = 0; k2 < 64; ++k2) {
      const i16 kp = pairs[k1][k2];
      if (kp == kNoKingPair) continue;
      offsets[kp] = sum;
      sum += placements(kinds, men, k1, k2);
    }
  }
  *total = sum;
}

bool tables_built = false;

struct BuildBeforeMain {
  BuildBeforeMain() { build_tb_index_tables(); }
} build_before_main;

}  // namespace

void build_tb_index_tables() {
  if (tables_built) return;
  for (TbManKind t = 0; t < kTbManKinds; ++t) build_square_numbering(t);
  // The free pawn combines only with itself; the pawnless tables hold pieces only.
  for (TbManKind t1 = 0; t1 < kTbManKinds; ++t1) {
    const TbManKind one[1] = {t1};
    build_offsets(pawn_king_pair, one, 1, pawn_offsets1[t1], &pawn_total1[t1]);
    if (t1 >= kTbKnight) build_offsets(pawnless_king_pair, one, 1, pawnless_offsets1[t1], &pawnless_total1[t1]);
    for (TbManKind t2 = (t1 == kTbFreePawn ? 0 : 1); t2 <= t1; ++t2) {
      const TbManKind two[2] = {t1, t2};
      const u32 row2 = tb_pair_combo(t1, t2);
      build_offsets(pawn_king_pair, two, 2, pawn_offsets2[row2], &pawn_total2[row2]);
      if (t2 >= kTbKnight) build_offsets(pawnless_king_pair, two, 2, pawnless_offsets2[row2], &pawnless_total2[row2]);
      for (TbManKind t3 = (t2 == kTbFreePawn ? 0 : 1); t3 <= t2; ++t3) {
        const TbManKind three[3] = {t1, t2, t3};
        const u32 row3 = tb_triple_combo(t1, t2, t3);
        build_offsets(pawn_king_pair, three, 3, pawn_offsets3[row3], &pawn_total3[row3]);
        if (t3 >= kTbKnight) {
          build_offsets(pawnless_king_pair, three, 3, pawnless_offsets3[row3], &pawnless_total3[row3]);
        }
      }
    }
  }
  tables_built = true;
}

}  // namespace orvex
