#include <gtest/gtest.h>

#include "position/position.h"

namespace orvex {
namespace {

TEST(PositionRecord, PieceCodes) {
  EXPECT_EQ(make_piece(kKing, kBlack), kBlackKing);
  EXPECT_EQ(colour_of(kBlackKnight), kBlack);
  EXPECT_EQ(type_of(kWhiteQueen), kQueen);
  EXPECT_TRUE(is_pawn(kBlackPawn));
  EXPECT_TRUE(is_king(kWhiteKing));
}

}  // namespace
}  // namespace orvex
