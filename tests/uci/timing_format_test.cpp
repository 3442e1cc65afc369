// Texts of the timing suite's files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "uci/timing.h"

namespace orvex {
namespace {

TEST(TimingText, LogLineAndSummary) {
  char buf[256];
  format_timing_log_line(1234, "8/8/8/8/8/8/8/K6k w - -", buf, sizeof buf);
  EXPECT_EQ(std::string(buf), "1.234 " + std::string(50 - 23, ' ') + "8/8/8/8/8/8/8/K6k w - -\n");
  format_timing_log_line(5, timing_positions[39], buf, sizeof buf);
  EXPECT_EQ(std::string(buf), "0.005 " + std::string(50 - std::strlen(timing_positions[39]), ' ') +
                                  timing_positions[39] + "\n");
  format_timing_log_line(61000, timing_positions[16], buf, sizeof buf);  // longer than 50: whole
  EXPECT_EQ(std::string(buf), std::string("61.000 ") + timing_positions[16] + "\n");
  format_timing_summary(67, 67 * 1500 + 20, buf, sizeof buf);
  EXPECT_STREQ(buf, "\nct: 67 avg: 1.500\n\n");
  format_timing_summary(67, 67 * 42, buf, sizeof buf);
  EXPECT_STREQ(buf, "\nct: 67 avg: 0.042\n\n");
}

TEST(TimingText, SuiteHoldsItsPositions) {
  EXPECT_STREQ(timing_positions[0], "4r3/1b2rp1k/1p1q1bpp/pP1p3P/P1pP4/4PB2/2Q2PP1/2R1RNK1 w - -");
  EXPECT_STREQ(timing_positions[kTimingPositionCount - 1],
               "r4r1k/pp4qp/3N1bp1/n2n1p2/8/B1P2NQ1/bP1R1PPP/2KB3R w - -");
  for (const char* fen : timing_positions) EXPECT_NE(std::strchr(fen, ' '), nullptr);
}

}  // namespace
}  // namespace orvex
