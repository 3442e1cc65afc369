#include <gtest/gtest.h>

#include <random>

#include "position/tables.h"
#include "tests/squares.h"

namespace orvex {
namespace {

using testing::sq;
u64 bits(std::initializer_list<const char*> names) {
  u64 b = 0;
  for (const char* n : names) b |= bit(sq(n));
  return b;
}

// Slow reference: walk each ray square by square until the edge or a blocker.
u64 ray_attacks(Square s, u64 occupied, const int (*dirs)[2], int ndirs) {
  u64 set = 0;
  for (int d = 0; d < ndirs; ++d) {
    int f = static_cast<int>(file_of(s)) + dirs[d][0], r = static_cast<int>(rank_of(s)) + dirs[d][1];
    for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += dirs[d][0], r += dirs[d][1]) {
      set |= bit(make_square(f, r));
      if (occupied & bit(make_square(f, r))) break;
    }
  }
  return set;
}
constexpr int kRookDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
constexpr int kBishopDirs[4][2] = {{1, 1}, {-1, -1}, {1, -1}, {-1, 1}};

TEST(AttackTables, SlidersMatchRayWalkOnRandomOccupancies) {
  std::mt19937_64 rng(12345);
#ifdef ORVEX_SANITIZED
  const int rounds = 200;
#else
  const int rounds = 3000;
#endif
  for (int i = 0; i < rounds; ++i) {
    // Mix sparse and dense boards.
    u64 occ = rng();
    if (i % 3 == 1) occ &= rng();
    if (i % 3 == 2) occ &= rng() & rng();
    const u64 files = files_layout(occ), a8h1 = diag_a8h1_layout(occ), a1h8 = diag_a1h8_layout(occ);
    for (Square s = 0; s < 64; ++s) {
      ASSERT_EQ(rook_attacks(s, occ, files), ray_attacks(s, occ, kRookDirs, 4)) << s << " " << occ;
      ASSERT_EQ(bishop_attacks(s, a8h1, a1h8), ray_attacks(s, occ, kBishopDirs, 4)) << s << " " << occ;
    }
  }
}

TEST(AttackTables, RotatedLayoutsAreBijections) {
  u64 f = 0, d1 = 0, d2 = 0;
  for (Square s = 0; s < 64; ++s) {
    f |= files_bit[s];
    d1 |= diag_a8h1_bit[s];
    d2 |= diag_a1h8_bit[s];
    EXPECT_EQ(files_clear[s], ~files_bit[s]);
    EXPECT_EQ(clear_bit[s], ~bit(s));
  }
  EXPECT_EQ(f, ~u64{0});
  EXPECT_EQ(d1, ~u64{0});
  EXPECT_EQ(d2, ~u64{0});
  // Corner squares in each layout.
  EXPECT_EQ(files_bit[sq("a1")], bit(7));
  EXPECT_EQ(diag_a8h1_bit[sq("a1")], bit(0));
  EXPECT_EQ(diag_a1h8_bit[sq("a1")], bit(28));
  EXPECT_EQ(files_bit[sq("h8")], bit(56));
  EXPECT_EQ(diag_a8h1_bit[sq("h8")], bit(63));
  EXPECT_EQ(diag_a1h8_bit[sq("h8")], bit(35));
  EXPECT_EQ(diag_a8h1_bit[sq("a2")], bit(1));
  EXPECT_EQ(diag_a8h1_bit[sq("b1")], bit(2));
  EXPECT_EQ(diag_a1h8_bit[sq("g1")], bit(1));
  EXPECT_EQ(diag_a1h8_bit[sq("h2")], bit(2));
  EXPECT_EQ(diag_a1h8_bit[sq("a8")], bit(63));
}

TEST(AttackTables, ShiftValues) {
  EXPECT_EQ(rank_shift[sq("c5")], 8u * 4 + 1);
  EXPECT_EQ(file_shift[sq("c5")], 8u * 2 + 1);
  EXPECT_EQ(diag_a8h1_shift[sq("a8")], 29u);
  EXPECT_EQ(diag_a8h1_shift[sq("d5")], 29u);
  EXPECT_EQ(diag_a1h8_shift[sq("a1")], 29u);
  EXPECT_EQ(diag_a1h8_shift[sq("e5")], 29u);
  EXPECT_EQ(diag_a8h1_shift[sq("a1")], 0u);
  EXPECT_EQ(diag_a8h1_shift[sq("b1")], 0u);  // two-square diagonal a2-b1
  EXPECT_EQ(diag_a1h8_shift[sq("h1")], 0u);
  for (u32 i = 0; i < 64; ++i) EXPECT_EQ(line_attacks[kLineDiagA8H1][sq("a1")][i], 0u);
}

TEST(AttackTables, TellingSquares) {
  const u64 empty = 0;
  EXPECT_EQ(rook_attacks_from(sq("a1"), empty), (u64{0xFE}) | bits({"a2", "a3", "a4", "a5", "a6", "a7", "a8"}));
  EXPECT_EQ(rook_attacks_from(sq("a1"), bit(sq("a4"))) & bits({"a5", "a4"}), bits({"a4"}));
  EXPECT_EQ(bishop_attacks_from(sq("a1"), bit(sq("h8"))), bits({"b2", "c3", "d4", "e5", "f6", "g7", "h8"}));
  EXPECT_EQ(knight_attacks[sq("a1")], bits({"b3", "c2"}));
  EXPECT_EQ(king_attacks[sq("h8")], bits({"g8", "g7", "h7"}));
  EXPECT_EQ(pawn_attacks[kWhite][sq("a2")], bits({"b3"}));
  EXPECT_EQ(pawn_attacks[kWhite][sq("h8")], 0u);
  EXPECT_EQ(pawn_attacks[kBlack][sq("e4")], bits({"d3", "f3"}));
  EXPECT_EQ(pawn_attacks[kBlack][sq("a1")], 0u);
  EXPECT_EQ(pawn_double_push[kBlack][sq("e7")], bits({"e5"}));
  EXPECT_EQ(pawn_double_push[kBlack][sq("e6")], 0u);
  EXPECT_EQ(pawn_double_push[kWhite][sq("c2")], bits({"c4"}));
  EXPECT_EQ(pawn_push[kWhite][sq("c8")], 0u);
  EXPECT_EQ(pawn_push[kBlack][sq("c7")], bits({"c6"}));
  EXPECT_EQ(pawn_capture_toward_a[kWhite][sq("a5")], 0u);
  EXPECT_EQ(pawn_capture_toward_a[kWhite][sq("b5")], bits({"a6"}));
  EXPECT_EQ(pawn_capture_toward_h[kBlack][sq("g5")], bits({"h4"}));
  EXPECT_EQ(pawn_capture_toward_h[kBlack][sq("h5")], 0u);
  EXPECT_EQ(pawn_capture_toward_a[kBlack][sq("b1")], 0u);
}

TEST(AttackTables, LineKinds) {
  EXPECT_EQ(line_kind[sq("d4")][sq("e5")], kLineDiagA1H8);
  EXPECT_EQ(line_kind[sq("b2")][sq("a1")], kLineDiagA1H8);
  EXPECT_EQ(line_kind[sq("h1")][sq("a8")], kLineDiagA8H1);
  EXPECT_EQ(line_kind[sq("a1")][sq("c2")], kLineNone);
  EXPECT_EQ(line_kind[sq("d4")][sq("d4")], kLineNone);
  EXPECT_EQ(line_kind[sq("d4")][sq("h4")], kLineRank);
  EXPECT_EQ(line_kind[sq("d1")][sq("d8")], kLineFile);
  // A slider's own line lookup reaches the target along that line.
  for (Square a = 0; a < 64; ++a)
    for (Square b = 0; b < 64; ++b) {
      const LineKind k = line_kind[a][b];
      if (k == kLineNone) continue;
      const u64 seen = (k < 2 ? bishop_attacks_from(a, bit(b)) : rook_attacks_from(a, bit(b)));
      ASSERT_TRUE(seen & bit(b)) << a << " " << b;
    }
}

TEST(AttackTables, EvasionLines) {
  EXPECT_EQ(evasion_lines[sq("e1")][sq("a1")].interpose, bits({"a1", "b1", "c1", "d1"}));
  EXPECT_EQ(evasion_lines[sq("e1")][sq("a1")].king_escape, ~bits({"f1"}));
  EXPECT_EQ(evasion_lines[sq("e1")][sq("f3")].interpose, bits({"f3"}));
  EXPECT_EQ(evasion_lines[sq("e1")][sq("f3")].king_escape, ~u64{0});
  EXPECT_EQ(evasion_lines[sq("a1")][sq("c3")].king_escape, ~u64{0});  // behind a1 is off the board
  EXPECT_EQ(evasion_lines[sq("d4")][sq("e5")].interpose, bits({"e5"}));
  EXPECT_EQ(evasion_lines[sq("d4")][sq("e5")].king_escape, ~bits({"c3"}));
  EXPECT_EQ(escape_override[kWhitePawn], ~u64{0});
  EXPECT_EQ(escape_override[kBlackPawn], ~u64{0});
  EXPECT_EQ(escape_override[kWhiteQueen], 0u);
  EXPECT_EQ(escape_override[kNoPiece], 0u);
}

TEST(AttackTables, OffLinesAndCastleMask) {
  for (Square s = 0; s < 64; ++s) {
    EXPECT_EQ(off_rook_lines[s], ~(rook_attacks_from(s, 0) | bit(s)));
    EXPECT_EQ(off_bishop_lines[s], ~(bishop_attacks_from(s, 0) | bit(s)));
  }
  const struct {
    const char* square;
    u32 mask;
  } cases[] = {{"a1", 13}, {"e1", 12}, {"h1", 14}, {"a8", 7}, {"e8", 3}, {"h8", 11}, {"d4", 15}, {"b1", 15}};
  for (const auto& c : cases) EXPECT_EQ(castle_mask[sq(c.square)], c.mask) << c.square;
}

}  // namespace
}  // namespace orvex
