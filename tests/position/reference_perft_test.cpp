// The test-only reference generator against the published perft numbers.
#include <gtest/gtest.h>

#include "tests/position/perft_cases.h"
#include "tests/position/reference_board.h"

namespace orvex {
namespace {

TEST(ReferencePerft, MatchesPublishedCounts) {
  auto cases = testing::load_perft_cases();
  ASSERT_GE(cases.size(), 6u);
  for (const auto& c : cases) {
    reference::Board b = reference::board_from_fen(c.fen);
    for (size_t d = 1; d <= c.counts.size() && c.counts[d - 1] <= testing::kPerftNodeBudget * 5; ++d)
      EXPECT_EQ(reference::perft(b, int(d), true), c.counts[d - 1]) << c.name << " depth " << d;
  }
}

TEST(ReferencePerft, BishopSwitchDropsOnlyBishopPromotions) {
  // A white pawn on b7 next to a black rook on a8: four promotion pieces on
  // each of two targets with the switch on, three without.
  reference::Board b = reference::board_from_fen("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
  auto with = reference::legal_moves(b, true), without = reference::legal_moves(b, false);
  EXPECT_EQ(with.size(), without.size() + 2);
  int bishops = 0;
  for (u32 m : with) bishops += (m & reference::kRefPromoBishop) != 0;
  EXPECT_EQ(bishops, 2);
}

}  // namespace
}  // namespace orvex
