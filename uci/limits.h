// What a "go" line asks of a search (SearchLimits) and what the running
// search and the front end keep about it (SearchStatus).  One record of each
// per process; plain data, read and written in place.
#pragma once
#include "position/types.h"

namespace orvex {

constexpr int kMaxSearchMoves = 256;  // room in SearchLimits::searchmoves, 0-terminated

struct SearchLimits {
  u32 soft_time_ms;    // target time of the iteration loop, ms since start_tick
  u32 hard_time_ms;    // a search that is not infinite ends after this
  i32 depth_limit;     // iteration depth in plies (the go depth plus 3)
  i64 node_limit;      // shown node count above which a root stops
  i32 mate_limit;      // |mate n|, 0 = none
  u8 infinite;         // only a stop ends the search
  u8 pondering;        // the go line held "ponder"
  UciMove searchmoves[kMaxSearchMoves];  // restricted root moves, ends at the first 0
};

constexpr u32 kNoTimeLimit = 0xFFFFFFFFu;
constexpr i32 kNoDepthLimit = (1 << 30) - 1;
constexpr i64 kNoNodeLimit = 0x7FFFFFFFFFFFFFFFll;
constexpr int kScoreHistorySize = 5;

struct SearchStatus {
  // ---- searcher part: reset by every go ----
  u8 stop_requested;
  i32 node_countdown;      // counted nodes left before the next input poll
  u64 node_batches;        // counted nodes = node_batches * 1024 - node_countdown
  u32 start_tick;
  i32 last_score;
  u8 score_dropped, score_dropped_prev;
  u8 fail_high, fail_high_prev;
  u8 easy_move;
  u8 stop_after_iteration;
  SearchMove best_move;
  i32 best_score;
  i32 best_depth;          // half plies
  i32 iteration;           // plies; kept across searches
  i32 last_iteration;      // plies; kept across searches
  SearchMove result_move;
  i32 probe_nesting;
  SearchMove strength_move;
  u64 tb_hits;
  u32 tb_probe_men;
  u8 score_printed;
  u8 info_printed;
  u8 depth_lines_started;
  u8 decisive_result;      // cleared only by the idle loop of the entry

  // ---- front-end part: outlives searches ----
  u8 searching;            // a search started by "go" runs
  u8 hold_result;          // that search is infinite or pondering
  u8 result_held;          // a finished search's report waits for stop/ponderhit
  char last_bestmove[8];   // move text of the last report
  u32 prev_clock_ms;
  u32 last_search_ms;
  u32 ponder_ms;
  i32 last_own_time_ms;
  i32 score_history[kScoreHistorySize];  // newest first
  i32 score_count;
};

extern SearchLimits search_limits;
extern SearchStatus search_status;

// Busy: a search runs or its result is held; "position", "go" and
// "ucinewgame" are ignored then.
inline bool front_end_busy() { return search_status.searching || search_status.result_held; }

// The limits as a go line without tokens leaves them, searchmoves empty.
void reset_search_limits();
// The searcher part of the status as every go starts it (iteration,
// last_iteration, decisive_result and the front-end part are kept).
void reset_searcher_status();
// Start-up state of the bookkeeping that outlives searches.
void reset_search_bookkeeping();
// "ucinewgame" and Clear Hash: forget the clock and score history.
void forget_game_history();

}  // namespace orvex
