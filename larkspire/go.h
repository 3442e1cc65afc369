// The edition's "go" command: the limits of one search from the go line, the
// time allocation of the side to move, the search, and the final report.
#pragma once
#include "position/types.h"

namespace orvex::larkspire {

// Own clock at the previous go command (a "go ponder" without a clock uses
// it); kept across searches.
extern i32 last_clock_ms;

struct TimeAllocation {
  u32 soft_ms;  // target time of the iteration loop
  u32 hard_ms;  // time at which a search that is not infinite ends
};

// The target and hard limit for the side to move: `time` and `inc` its
// clock and increment in ms (0 when the go line gave none), `movestogo`
// 1..30, `movetime` 0 when not given, `process_count` the team's size.
// Computed in 64 bits, so no product wraps; both limits are all ones when
// there is neither a movetime nor a clock nor an increment.
TimeAllocation allocate_time(i64 time, i64 inc, i64 movestogo, i64 movetime, u32 process_count);

// Carries out one go line (cut at its line feed): checks the root position,
// sets the limits, runs the search and prints (or holds) the report.
void handle_go(const char* line);

// The final report: time, nodes and speed; a score line when the search
// printed none; "bestmove" with a move to ponder on when there is one.
// Then "stop" to the workers.
void report_search_result();

// The move to ponder on after `best`: the table's move of the position after
// it when that move can be played there, else the first legal reply in the
// root's generation order; 0 when there is none or `best` cannot be played.
SearchMove find_ponder_move(SearchMove best);

}  // namespace orvex::larkspire
