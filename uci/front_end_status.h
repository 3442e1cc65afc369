// What the main front end keeps about the searches it starts: whether one
// runs or its report is held, and the clock and score memory that the time
// allocation reads from one go command to the next.  One record per process.
#pragma once
#include "position/types.h"

namespace orvex {

constexpr int kScoreHistorySize = 5;

struct FrontEndStatus {
  u8 searching;            // a search started by "go" runs
  u8 hold_result;          // that search is infinite or pondering
  u8 result_held;          // a finished search's report waits for stop/ponderhit
  char last_bestmove[8];   // move text of the last report
  u32 prev_clock_ms;
  u32 ponder_ms;
  i32 last_own_time_ms;
  i32 score_history[kScoreHistorySize];  // newest first
  i32 score_count;
};

extern FrontEndStatus front_end_status;

// Busy: a search runs or its result is held; "position", "go" and
// "ucinewgame" are ignored then.
inline bool front_end_busy() { return front_end_status.searching || front_end_status.result_held; }

// Start-up state of this record.
void reset_front_end_status();

// "ucinewgame" and Clear Hash: forget the clock and score history.
void forget_game_history();

}  // namespace orvex
