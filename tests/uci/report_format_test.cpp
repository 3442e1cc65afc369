// Texts of the final report.
#include <gtest/gtest.h>

#include <string>

#include "uci/report.h"

namespace orvex {
namespace {

TEST(ReportText, MoveText) {
  struct Case { SearchMove move; const char* text; };
  const Square e7 = make_square(4, 6), e8 = make_square(4, 7), e1 = make_square(4, 0), g1 = make_square(6, 0);
  const Case cases[] = {
      {0, "a1a1"},
      {make_move_code(e7, e8, kMovePromoQueen), "e7e8q"},
      {make_move_code(e7, e8, kMovePromoKnight), "e7e8n"},
      {make_move_code(e7, e8, kMovePromoRook), "e7e8r"},
      {make_move_code(e1, g1, kMoveCastle), "e1g1"},
      {make_move_code(make_square(4, 4), make_square(3, 5), kMoveEnPassant), "e5d6"},
      {make_move_code(63, 0), "h8a1"},
  };
  for (const Case& c : cases) {
    char text[6];
    search_move_text(c.move, text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(ReportText, NodeCountLine) {
  EXPECT_EQ(shown_node_count(3, 24, 1), 24384u);
  EXPECT_EQ(shown_node_count(1, 1024, 4), 0u);
  EXPECT_EQ(shown_node_count(1, 0, 2), 16384u);
  struct Case { u32 mode; u32 elapsed; u64 nodes; u64 tb; const char* line; };
  const Case cases[] = {
      {0, 1000, 24384, 0, "info time 1000 nodes 24384 nps 24969 \n"},
      {1, 1000, 24384, 0, "info nodes 24384 \n"},
      {2, 1000, 24384, 0, nullptr},
      {1, 5, 4096, 10000, "info nodes 4096 tbhits 2500 \n"},
      {0, 1, 8, 3, "info time 1 nodes 8 nps 8192 tbhits 3 \n"},
  };
  for (const Case& c : cases) {
    char buf[256];
    const bool printed = format_node_count_line(c.mode, c.elapsed, c.nodes, c.tb, buf, sizeof buf);
    EXPECT_EQ(printed, c.line != nullptr);
    if (c.line) {
      EXPECT_STREQ(buf, c.line);
    }
  }
}

TEST(ReportText, ScoreLine) {
  struct Case { i32 score; i32 scale; const char* line; };
  const Case cases[] = {
      {31999, 32, "info score mate 1 pv e2e4\n"},  {31997, 32, "info score mate 2 pv e2e4\n"},
      {-31998, 32, "info score mate -1 pv e2e4\n"}, {100, 32, "info score cp 90 pv e2e4\n"},
      {-100, 32, "info score cp -90 pv e2e4\n"},  {320, 16, "info score cp 145 pv e2e4\n"},
      {31000, 32, "info score cp 28093 pv e2e4\n"},
  };
  for (const Case& c : cases) {
    char buf[128];
    format_score_line(c.score, c.scale, "e2e4", buf, sizeof buf);
    EXPECT_STREQ(buf, c.line) << c.score;
  }
}

}  // namespace
}  // namespace orvex
