// The "go" command: turning the clock into a target and a hard time limit,
// and running one search with its final report.
#pragma once
#include "core/go_line.h"
#include "position/types.h"
#include "search/limits.h"

namespace orvex {

// Computed limits never exceed this (about a week), so that the root's
// 32-bit products of a limit (at most 7 x the target time) cannot wrap.
constexpr u32 kGoMaxTimeLimit = 600000000u;

// UCI_LimitStrength: without "infinite", the depth follows from the rating.
void apply_strength_limit(GoRequest& req, bool limit_strength, i32 elo);

// The options that shape the time allocation.
struct TimeOptions {
  bool server_buffer = false;
  u32 rate_of_play = 2;      // 0 Ultraslow .. 4 Ultrafast
  u32 time_usage = 1;        // 0 Constant, 1 Varied
  u32 emergency_buffer = 1;  // 0 Small, 1 Medium, 2 Large
};

// What the allocation remembers from one go command to the next.
struct ClockMemory {
  u32 prev_clock_ms = 0;     // own clock at the previous go, 0 = none
  u32 last_search_ms = 0;    // elapsed ms of the last search + 1, 0 = none
  u32 ponder_ms = 0;         // ms pondered before "ponderhit" + 1, 0 = none
  i32 last_own_time_ms = 1000;
};

struct TimeLimits {
  u32 soft_ms = kNoTimeLimit;
  u32 hard_ms = kNoTimeLimit;
};

// Turns the request's clock into the target and hard limits for the side to
// move, and updates the memory for the next go command.  All arithmetic is
// done in 64 bits; the limits saturate at kGoMaxTimeLimit.
TimeLimits allocate_time(const GoRequest& req, Colour side_to_move, const TimeOptions& opts,
                         u32 process_count, ClockMemory& memory);

// Puts the last score of a search in front of the score history (five
// entries, newest first; the oldest falls out).
void record_search_score(i32 score);

// Carries out one "go" line: checks the root position, fills the search
// limits, runs the search and prints (or holds) the final report.
void handle_go(const char* line);

}  // namespace orvex
