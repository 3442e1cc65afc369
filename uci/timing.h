// The hidden "tt" command: a fixed suite of positions, each searched to a
// fixed depth, whose times go to "timing_log.txt" and "timing_summary.txt"
// in the working directory.
#pragma once
#include <cstddef>
#include <cstdio>

#include "position/types.h"

namespace orvex {

constexpr int kTimingPositionCount = 67;
extern const char* const timing_positions[kTimingPositionCount];

// "%d.%03d %50s\n": seconds, milliseconds and the FEN right-aligned in 50
// characters (a longer FEN is written whole).
void format_timing_log_line(u32 elapsed_ms, const char* fen, char* buf, std::size_t size);
// "\nct: %d avg: %d.%03d\n\n" with the count and the average time.
void format_timing_summary(i32 count, u32 total_ms, char* buf, std::size_t size);

// One test: sets up the position (and tells the workers), searches it to
// depth 12 and logs the time.  Returns the elapsed milliseconds and counts
// the test.
u32 run_timing_test(const char* fen, std::FILE* log, i32& count);

// The "tt" command.  Ignored while a search runs or its result is held.
void run_timing_tests();

}  // namespace orvex
