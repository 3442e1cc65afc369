#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <tuple>

#include "search/material.h"

namespace orvex {
namespace {

int balance(const MaterialCounts& c) {
  auto d = [](u32 w, u32 b) { return static_cast<int>(w) - static_cast<int>(b); };
  return d(c.pawns[0], c.pawns[1]) + 3 * d(c.knights[0] + c.bishops[0], c.knights[1] + c.bishops[1]) +
         5 * d(c.rooks[0], c.rooks[1]) + 10 * d(c.queens[0], c.queens[1]);
}

u32 encode(const MaterialCounts& c) {
  return c.queens[0] + 2 * c.queens[1] + 4 * c.rooks[0] + 12 * c.rooks[1] + 36 * c.bishops[0] +
         108 * c.bishops[1] + 324 * c.knights[0] + 972 * c.knights[1] + 2916 * c.pawns[0] + 26244 * c.pawns[1];
}

MaterialCounts mirrored(MaterialCounts c) {
  for (u32* f : {c.queens, c.rooks, c.bishops, c.knights, c.pawns}) std::swap(f[0], f[1]);
  return c;
}

bool no_pieces(const MaterialCounts& c, int s) {
  return c.queens[s] + c.rooks[s] + c.bishops[s] + c.knights[s] == 0;
}

i32 ms_of(u32 i) { return material_score(material_table[i], balance(decode_material_index(i))); }

TEST(MaterialTable, TellingRows) {
  struct Row {
    const char* name;
    u32 index;
    i32 score, ms;
    u32 phase, only, draw, attack;
  };
  const Row rows[] = {
      {"bare kings", 0, 0, 0, 64, 0, 0x20, 0},        {"KP-K", 2916, -247, 3152, 64, 0, 0x20, 0},
      {"KB-K", 36, -10197, 0, 61, 1, 0x20, 0},        {"KN-K", 324, -10197, 0, 61, 1, 0x20, 0},
      {"KNN-K", 648, -20394, 0, 58, 1, 0x20, 0},      {"KB-KP", 26280, -6798, 0, 61, 1, 0x20, 0},
      {"KR-K", 4, 76, 17071, 58, 0, 0x20, 0},         {"KQ-K", 1, -1482, 32508, 53, 0, 0x20, 0},
      {"KBB-K", 72, 1114, 21508, 58, 0, 0x20, 0},     {"KBN-K", 360, -1112, 19282, 58, 0, 0x20, 0},
      {"KR-KB", 112, -5925, 873, 56, 1, 0x20, 0},     {"KR-KN", 976, -5857, 941, 56, 1, 0, 0},
      {"KRB-KR", 52, -8956, 1241, 50, 1, 0, 0},       {"KQB-KQ", 39, -8956, 1241, 40, 1, 0, 0x80},
      {"KQ-KR", 13, -1486, 15509, 48, 0, 0, 0},       {"KBP-KB", 3060, -2646, 753, 58, 0, 0xa0, 0},
      {"start", 236195, 0, 0, 0, 0, 0, 0x88},
  };
  for (const Row& r : rows) {
    MaterialEntry e = material_table[r.index];
    SCOPED_TRACE(r.name);
    EXPECT_EQ(mat_score(e), r.score);
    EXPECT_EQ(ms_of(r.index), r.ms);
    EXPECT_EQ(mat_phase(e), r.phase);
    EXPECT_EQ(mat_material_only(e), r.only);
    EXPECT_EQ(mat_draw_flags(e), r.draw);
    EXPECT_EQ(mat_king_attack_flags(e), r.attack);
  }
}

TEST(MaterialTable, FullBoardLessOneWhitePiece) {
  const u32 full = 236195;
  const std::pair<u32, i32> cases[] = {{1, -28682},  {4, -14852},   {8, -29833},   {36, -12481},
                                       {72, -23454}, {324, -11677}, {648, -23257}, {2916, -2595},
                                       {8 * 2916, -20759}};
  for (auto [less, value] : cases) EXPECT_EQ(ms_of(full - less), value) << "less " << less;
  // Each pawn fewer costs the same, up to rounding.
  for (u32 k = 1; k <= 8; ++k) EXPECT_NEAR(ms_of(full - 2916 * k), -2594.875 * k, 0.51) << k << " pawns fewer";
}

TEST(MaterialTable, EveryEntryKeepsTheRules) {
  int only_total = 0, only_pawnless = 0;
  int only_with_pawns[2][10] = {};
  std::map<std::tuple<int, int, int, int>, std::pair<int, int>> kinds;  // white ahead, pawnless
  for (u32 i = 0; i < kMaterialTableSize; ++i) {
    MaterialEntry e = material_table[i];
    MaterialCounts c = decode_material_index(i);
    SCOPED_TRACE(i);
    int n = c.knights[0] + c.knights[1] + c.bishops[0] + c.bishops[1] + 2 * (c.rooks[0] + c.rooks[1]) +
            4 * (c.queens[0] + c.queens[1]);
    ASSERT_EQ(mat_phase(e), static_cast<u32>(8 * (24 - n) / 3));

    u32 attack = 0;
    if (c.queens[0] == 1 && c.rooks[0] + c.bishops[0] + c.knights[0] >= 1) attack |= 0x80;
    if (c.queens[1] == 1 && c.rooks[1] + c.bishops[1] + c.knights[1] >= 1) attack |= 0x08;
    ASSERT_EQ(mat_king_attack_flags(e), attack);

    bool drawish = false;
    for (int s = 0; s < 2; ++s)
      drawish |= c.knights[s] + c.rooks[s] + c.queens[s] == 0 && c.bishops[s] <= 1 && c.pawns[s] <= 2;
    int pd = static_cast<int>(c.pawns[0]) - static_cast<int>(c.pawns[1]);
    bool only_bishops = c.bishops[0] == 1 && c.bishops[1] == 1 &&
                        c.knights[0] + c.knights[1] + c.rooks[0] + c.rooks[1] + c.queens[0] + c.queens[1] == 0;
    bool opposite = only_bishops && std::abs(pd) <= 2;
    ASSERT_EQ(mat_draw_flags(e), (drawish ? 0x20u : 0u) | (opposite ? 0x80u : 0u));

    i32 ms = ms_of(i);
    if (no_pieces(c, 0) && no_pieces(c, 1)) {
      ASSERT_EQ(mat_score(e), -247 * pd);
    }
    if (opposite) {
      i32 want = 3015 * pd;
      if (pd == 1 && c.pawns[1] == 0) want = 753;
      if (pd == -1 && c.pawns[0] == 0) want = -753;
      ASSERT_EQ(ms, want);
    }

    u32 only = mat_material_only(e);
    ASSERT_LE(only, 1u);
    if (only) {
      ++only_total;
      ASSERT_LE(std::abs(ms), 2206);
      ASSERT_TRUE(c.pawns[0] == 0 || c.pawns[1] == 0);
      if (c.pawns[0] == 0 && c.pawns[1] == 0)
        ++only_pawnless;
      else
        ++only_with_pawns[c.pawns[0] == 0 ? 0 : 1][c.pawns[0] + c.pawns[1]];
    }
    if (c.pawns[0] == 0 && c.pawns[1] == 0) {
      int bal = balance(c);
      if (bal == 0) {
        ASSERT_EQ(only, 0u);
      }
      MaterialCounts a = bal > 0 ? c : mirrored(c);
      if (bal != 0) {
        auto d = [](u32 w, u32 b) { return static_cast<int>(w) - static_cast<int>(b); };
        auto& k = kinds[{std::abs(bal), d(a.queens[0], a.queens[1]), d(a.rooks[0], a.rooks[1]),
                         d(a.knights[0] + a.bishops[0], a.knights[1] + a.bishops[1])}];
        k.first += only;
        k.second += 1;
      }
    }

    if (c.pawns[1] <= 8) {
      MaterialEntry m = material_table[encode(mirrored(c))];
      ASSERT_EQ(mat_phase(m), mat_phase(e));
      ASSERT_EQ(mat_material_only(m), only);
      ASSERT_EQ(mat_draw_flags(m), mat_draw_flags(e));
      u32 ka = mat_king_attack_flags(e);
      ASSERT_EQ(mat_king_attack_flags(m), ((ka & 0x80) ? 0x08u : 0u) | ((ka & 0x08) ? 0x80u : 0u));
      ASSERT_EQ(mat_score(m), -mat_score(e));
      ASSERT_LE(std::abs(mat_score(e)), 20394);
      ASSERT_LE(std::abs(ms), 121177);
    }
  }
  EXPECT_EQ(only_total, 1106);
  EXPECT_EQ(only_pawnless, 422);
  const int per_pawns[] = {0, 153, 115, 44, 20, 10, 0, 0, 0, 0};
  for (int side = 0; side < 2; ++side)
    for (int k = 1; k < 10; ++k) EXPECT_EQ(only_with_pawns[side][k], per_pawns[k]) << side << " " << k;

  // Kinds of pawnless imbalance: (balance, queens, rooks, minors) -> material-only / materials, both sides.
  const std::map<std::tuple<int, int, int, int>, std::pair<int, int>> want = {
      {{1, -1, 1, 2}, {20, 20}}, {{1, 0, -1, 2}, {25, 40}}, {{1, 1, 0, -3}, {2, 12}},  {{2, -1, 0, 4}, {3, 3}},
      {{2, 0, -2, 4}, {2, 2}},   {{2, 0, 1, -1}, {31, 64}}, {{2, 1, -1, -1}, {12, 32}}, {{3, -1, 2, 1}, {16, 16}},
      {{3, 0, 0, 1}, {63, 96}},  {{3, 1, -2, 1}, {16, 16}}, {{4, -1, 1, 3}, {8, 8}},   {{4, 0, -1, 3}, {12, 16}},
      {{6, 0, 0, 2}, {1, 60}},
  };
  for (const auto& [kind, count] : kinds) {
    auto it = want.find(kind);
    int expected_only = it == want.end() ? 0 : 2 * it->second.first;
    EXPECT_EQ(count.first, expected_only) << std::get<0>(kind) << " " << std::get<1>(kind) << " "
                                          << std::get<2>(kind) << " " << std::get<3>(kind);
    if (it != want.end()) {
      EXPECT_EQ(count.second, 2 * it->second.second);
    }
  }
}

}  // namespace
}  // namespace orvex
