// Reading go lines and allocating time.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "uci/front_end_status.h"
#include "uci/go.h"

namespace orvex {
namespace {

TEST(GoParse, DefaultsWithoutTokens) {
  GoRequest r;
  parse_go_line("go", r);
  EXPECT_EQ(r.depth_limit, kNoDepthLimit);
  EXPECT_EQ(r.node_limit, INT64_MAX);
  EXPECT_EQ(r.mate_limit, 0);
  EXPECT_EQ(r.movestogo, 25);
  EXPECT_EQ(r.wtime, 0);
  EXPECT_FALSE(r.infinite);
  EXPECT_FALSE(r.ponder);
  EXPECT_EQ(r.searchmove_count, 0);
}

TEST(GoParse, KeywordValues) {
  struct Case {
    const char* line;
    i64 wtime, btime, winc, binc, movestogo, movetime;
    i32 depth;
    i64 nodes;
    i32 mate;
  };
  const i32 D = kNoDepthLimit;
  const i64 N = INT64_MAX;
  const Case cases[] = {
      {"go wtime 60000 btime 50000 winc 100 binc 200", 60000, 50000, 100, 200, 25, 0, D, N, 0},
      {"go wtime 100 btime -5", 300, 300, 0, 0, 25, 0, D, N, 0},           // at least 300
      {"go depth 5", 0, 0, 0, 0, 25, 0, 8, N, 0},
      {"go depth 10", 0, 0, 0, 0, 25, 0, 13, N, 0},
      {"go depth -100", 0, 0, 0, 0, 25, 0, -2, N, 0},                      // at least -2
      {"go depth 99999999999", 0, 0, 0, 0, 25, 0, D - 1, N, 0},            // saturated, still a depth
      {"go mate -3", 0, 0, 0, 0, 25, 0, D, N, 3},
      {"go mate -99999999999999", 0, 0, 0, 0, 25, 0, D, N, INT32_MAX},
      {"go nodes 123456789012", 0, 0, 0, 0, 25, 0, D, 123456789012, 0},
      {"go movestogo 0", 0, 0, 0, 0, 1, 0, D, N, 0},
      {"go movestogo 80", 0, 0, 0, 0, 30, 0, D, N, 0},
      {"go movetime 100", 0, 0, 0, 0, 25, 300, D, N, 0},
      {"go movetime 2000", 0, 0, 0, 0, 25, 2000, D, N, 0},
      {"go wtime 99999999999 winc 99999999999", 2147483647, 0, 2147483647, 0, 25, 0, D, N, 0},
      {"go winc -500", 0, 0, 0, 0, 25, 0, D, N, 0},                        // no negative increment
      // A value is read whole however many characters it has.
      {"go depth 0000000000000000000000000000000000000005 movetime 00000000000000000000000000000000002500x",
       0, 0, 0, 0, 25, 2500, 8, N, 0},
      // A keyword at the end of the line reads 0.
      {"go wtime", 300, 0, 0, 0, 25, 0, D, N, 0},
      {"go depth", 0, 0, 0, 0, 25, 0, 3, N, 0},
      {"go nodes", 0, 0, 0, 0, 25, 0, D, 0, 0},
      {"go movestogo", 0, 0, 0, 0, 1, 0, D, N, 0},
      // Keywords are whole, case-sensitive tokens; blanks of any kind separate.
      {"go Depth 5 depths 7\twtime\t4000  ", 4000, 0, 0, 0, 25, 0, D, N, 0},
  };
  for (const Case& c : cases) {
    GoRequest r;
    parse_go_line(c.line, r);
    EXPECT_EQ(r.wtime, c.wtime) << c.line;
    EXPECT_EQ(r.btime, c.btime) << c.line;
    EXPECT_EQ(r.winc, c.winc) << c.line;
    EXPECT_EQ(r.binc, c.binc) << c.line;
    EXPECT_EQ(r.movestogo, c.movestogo) << c.line;
    EXPECT_EQ(r.movetime, c.movetime) << c.line;
    EXPECT_EQ(r.depth_limit, c.depth) << c.line;
    EXPECT_EQ(r.node_limit, c.nodes) << c.line;
    EXPECT_EQ(r.mate_limit, c.mate) << c.line;
  }
}

TEST(GoParse, FlagsAndSearchMoves) {
  GoRequest r;
  parse_go_line("go e2e4 ponder searchmoves e2e4 d2d4 infinite e7e8q zz99 e2 a1a1xx h7h8n", r);
  EXPECT_TRUE(r.ponder);
  EXPECT_TRUE(r.infinite);
  EXPECT_TRUE(r.searchmoves_seen);
  // The move before "searchmoves" and the tokens that name no squares are ignored.
  ASSERT_EQ(r.searchmove_count, 4);
  EXPECT_STREQ(r.searchmoves[0], "e2e4");
  EXPECT_STREQ(r.searchmoves[1], "d2d4");
  EXPECT_STREQ(r.searchmoves[2], "e7e8q");
  EXPECT_STREQ(r.searchmoves[3], "h7h8n");
}

TEST(GoParse, SearchMovesBeyondCapacityIgnored) {
  std::string line = "go searchmoves";
  for (int i = 0; i < 300; ++i) line += " a2a3";
  line += " depth 4";
  GoRequest r;
  parse_go_line(line.c_str(), r);
  EXPECT_EQ(r.searchmove_count, kGoMaxSearchMoves);
  EXPECT_EQ(r.depth_limit, 7);  // keywords after the moves still count
}

TEST(GoParse, StrengthLimit) {
  struct Case { i32 elo; bool infinite; i32 depth; };
  const Case cases[] = {{1200, false, 2}, {1399, false, 2}, {1400, false, 3}, {1500, false, 3},
                        {1600, false, 4}, {1800, false, 5}, {2000, false, 6}, {2199, false, 6},
                        {2200, false, 7}, {2400, false, 7}, {1500, true, 13}};
  for (const Case& c : cases) {
    GoRequest r;
    parse_go_line(c.infinite ? "go depth 10 infinite" : "go depth 10", r);
    apply_strength_limit(r, true, c.elo);
    EXPECT_EQ(r.depth_limit, c.depth) << c.elo;
    GoRequest off;
    parse_go_line("go depth 10", off);
    apply_strength_limit(off, false, c.elo);
    EXPECT_EQ(off.depth_limit, 13);
  }
}

struct AllocCase {
  const char* name;
  const char* line;
  Colour side;
  TimeOptions opts;
  u32 processes;
  ClockMemory memory;
  u32 soft, hard;
};

TEST(TimeAllocation, TableOfCases) {
  const TimeOptions def;
  TimeOptions constant;
  constant.time_usage = 0;
  TimeOptions server;
  server.server_buffer = true;
  TimeOptions small_buf;
  small_buf.emergency_buffer = 0;
  TimeOptions large_buf;
  large_buf.emergency_buffer = 2;
  TimeOptions ultraslow;
  ultraslow.rate_of_play = 0;
  TimeOptions fast;
  fast.rate_of_play = 3;
  const ClockMemory fresh;
  // 200 ms lost: the clock fell from 60400 to 60000 while the search measured 199 (+1).
  ClockMemory lost200;
  lost200.prev_clock_ms = 60400;
  lost200.last_search_ms = 200;
  // The same, but the search pondered 150 ms before "ponderhit": those count as lost.
  ClockMemory pondered;
  pondered.prev_clock_ms = 60400;
  pondered.last_search_ms = 200;
  pondered.ponder_ms = 150;
  ClockMemory abandoned;  // an abandoned search leaves last_search_ms 0
  abandoned.prev_clock_ms = 90000;
  ClockMemory huge_lost;
  huge_lost.prev_clock_ms = 100000;
  huge_lost.last_search_ms = 1;
  const u32 NO = kNoTimeLimit;

  const AllocCase cases[] = {
      {"base", "go wtime 60000 btime 60000", kWhite, def, 1, fresh, 1780, 11125},
      {"black", "go wtime 1000 btime 60000", kBlack, def, 1, fresh, 1780, 11125},
      {"4 processes", "go wtime 60000 btime 60000", kWhite, def, 4, fresh, 1602, 10012},
      {"8 processes", "go wtime 60000 btime 60000", kWhite, def, 8, fresh, 1424, 8900},
      {"constant", "go wtime 60000 btime 60000", kWhite, constant, 1, fresh, 1780, 1780},
      {"lost 200", "go wtime 60000 btime 60000", kWhite, def, 1, lost200, 1580, 10925},
      {"pondered", "go wtime 60000 btime 60000", kWhite, def, 1, pondered, 1430, 10775},
      {"abandoned", "go wtime 60000 btime 60000", kWhite, def, 1, abandoned, 1780, 11125},
      {"lost beyond limit", "go wtime 60000", kWhite, def, 1, huge_lost, 25, 25},
      {"movestogo 1", "go wtime 60000 btime 60000 movestogo 1", kWhite, def, 1, fresh, 14750, 14750},
      {"increment", "go wtime 300000 winc 3000", kWhite, def, 1, fresh, 13680, 74750},
      {"within buffer", "go wtime 5000", kWhite, def, 1, fresh, 6, 40},
      {"tiny clock", "go wtime 100", kWhite, def, 1, fresh, 0, 0},
      {"movetime", "go movetime 2000 wtime 60000", kWhite, def, 4, lost200, 2000, 2000},
      {"movetime floor", "go movetime 100", kWhite, def, 1, fresh, 300, 300},
      {"no clock", "go depth 5", kWhite, def, 1, fresh, NO, NO},
      {"other side's clock only", "go btime 60000", kWhite, def, 1, fresh, NO, NO},
      {"increment only", "go winc 5000", kWhite, def, 1, fresh, 0, 0},
      {"small buffer", "go wtime 60000", kWhite, small_buf, 1, fresh, 2030, 12687},
      {"large buffer", "go wtime 60000", kWhite, large_buf, 1, fresh, 660, 4125},
      {"ultraslow", "go wtime 60000", kWhite, ultraslow, 1, fresh, 3560, 14750},
      {"fast", "go wtime 60000", kWhite, fast, 1, fresh, 1186, 7416},
      {"server buffer 30000", "go wtime 30000", kWhite, server, 1, fresh, 22, 140},
      {"server buffer 2000", "go wtime 2000", kWhite, server, 1, fresh, 1, 10},
      // Ponder without a clock takes the previous go's clock (1000 at start-up).
      {"ponder no clock", "go ponder", kWhite, def, 1, fresh, 0, 0},
      // Huge clocks and increments saturate instead of wrapping.
      {"huge", "go wtime 99999999999 winc 99999999999 movestogo 30", kWhite, def, 1, fresh,
       536870661, 536870661},
      {"huge movetime", "go movetime 99999999999", kWhite, def, 1, fresh, kGoMaxTimeLimit,
       kGoMaxTimeLimit},
  };
  for (const AllocCase& c : cases) {
    GoRequest r;
    parse_go_line(c.line, r);
    ClockMemory m = c.memory;
    const TimeLimits l = allocate_time(r, c.side, c.opts, c.processes, m);
    EXPECT_EQ(l.soft_ms, c.soft) << c.name;
    EXPECT_EQ(l.hard_ms, c.hard) << c.name;
    EXPECT_EQ(m.last_search_ms, 0u) << c.name;
    EXPECT_EQ(m.ponder_ms, 0u) << c.name;
  }
}

TEST(TimeAllocation, MemoryCarriesClockBetweenCommands) {
  ClockMemory m;
  GoRequest r;
  TimeOptions server;
  server.server_buffer = true;
  parse_go_line("go wtime 16000 btime 9000", r);
  allocate_time(r, kWhite, server, 1, m);
  EXPECT_EQ(m.prev_clock_ms, 16000u);   // own clock before the Server Buffer rule
  EXPECT_EQ(m.last_own_time_ms, 5000);  // after it
  parse_go_line("go ponder", r);
  allocate_time(r, kBlack, TimeOptions{}, 1, m);
  EXPECT_EQ(m.prev_clock_ms, 0u);
  EXPECT_EQ(m.last_own_time_ms, 5000);  // taken over from the previous go
  parse_go_line("go wtime 16001", r);
  allocate_time(r, kWhite, server, 1, m);
  EXPECT_EQ(m.last_own_time_ms, 1001);
  parse_go_line("go wtime 3000", r);
  allocate_time(r, kWhite, server, 1, m);
  EXPECT_EQ(m.last_own_time_ms, 1000);
}

TEST(ScoreHistory, NewestFirstFiveKept) {
  front_end_status.score_count = 0;
  for (i32 score : {10, 20, 30, 40, 50}) record_search_score(score);
  EXPECT_EQ(front_end_status.score_count, 5);
  EXPECT_EQ(std::vector<i32>(front_end_status.score_history, front_end_status.score_history + 5),
            (std::vector<i32>{50, 40, 30, 20, 10}));
  record_search_score(60);
  EXPECT_EQ(front_end_status.score_count, 5);
  EXPECT_EQ(std::vector<i32>(front_end_status.score_history, front_end_status.score_history + 5),
            (std::vector<i32>{60, 50, 40, 30, 20}));
  front_end_status.score_count = 0;  // as after "ucinewgame"
  record_search_score(-7);
  EXPECT_EQ(front_end_status.score_count, 1);
  EXPECT_EQ(front_end_status.score_history[0], -7);
}

}  // namespace
}  // namespace orvex
