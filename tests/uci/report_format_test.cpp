// Texts of the final report.
#include <gtest/gtest.h>

#include <string>

#include "uci/report.h"

namespace orvex {
namespace {

TEST(ReportText, NodeCountLine) {
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

// After a search of a configuration that never shows mate distances (an
// ending search stopped before its own final line), a table score beyond
// 31000 is shown in centipawns as well.
TEST(ReportText, ScoreLineOfACentipawnConfiguration) {
  char buf[128];
  format_score_line(31950, 32, "e2e4", buf, sizeof buf, true);
  EXPECT_STREQ(buf, "info score cp 28954 pv e2e4\n");
  format_score_line(-100, 32, "e2e4", buf, sizeof buf, true);
  EXPECT_STREQ(buf, "info score cp -90 pv e2e4\n");
}

}  // namespace
}  // namespace orvex
