// The edition's time allocation as a table of cases: the worked example, the
// edges of its rules, the process-count scaling, and clocks whose products
// would wrap in 32 bits.
#include <gtest/gtest.h>

#include "larkspire/go.h"
#include "larkspire/limits.h"

namespace orvex::larkspire {
namespace {

struct Case {
  const char* name;
  i64 time, inc, movestogo, movetime;
  u32 processes;
  u32 soft, hard;
};

TEST(EditionTimeAllocation, TableOfCases) {
  const Case cases[] = {
      // 9000 total does not exceed the reserve of 29 x 500: divided by 25 twice.
      {"worked example", 10000, 0, 25, 0, 1, 14, 90},
      // A clock of 0 is read as 300: nothing above the 1000 kept back.
      {"clock raised to 300", 300, 0, 25, 0, 1, 0, 0},
      {"increment without clock", 0, 1000, 25, 0, 1, 0, 0},
      {"neither clock nor increment", 0, 0, 25, 0, 1, kNoTimeLimit, kNoTimeLimit},
      {"movetime", 0, 0, 25, 5000, 1, 5000, 5000},
      {"movetime beats the clock", 60000, 1000, 25, 2500, 8, 2500, 2500},
      // base 119000, reserve 14500 doubled (clock above 60 s), avail 90000.
      {"two minutes", 120000, 0, 25, 0, 1, 3600, 22500},
      {"two minutes, 3 processes", 120000, 0, 25, 0, 3, 3240, 20250},
      {"two minutes, 8 processes", 120000, 0, 25, 0, 8, 2880, 18000},
      // Increment above 2000 doubles the reserve; the hard limit meets base / 4.
      {"increment", 70000, 3000, 10, 0, 1, 8200, 17250},
      // total - reserve below 3500 is raised to 3500; base / 4 caps both.
      {"avail floor", 5000, 0, 1, 0, 1, 1000, 1000},
      // Above 600 s and 50 s increment: the reserve is doubled twice.
      {"long game", 1200000, 60000, 30, 0, 1, 95700, 299750},
      // 29 x (2^31 - 1) wraps in 32 bits; here both limits meet base / 4.
      {"largest clock and increment", 2147483647, 2147483647, 30, 0, 1, 536870661, 536870661},
  };
  for (const Case& c : cases) {
    const TimeAllocation t = allocate_time(c.time, c.inc, c.movestogo, c.movetime, c.processes);
    EXPECT_EQ(t.soft_ms, c.soft) << c.name;
    EXPECT_EQ(t.hard_ms, c.hard) << c.name;
  }
}

}  // namespace
}  // namespace orvex::larkspire
