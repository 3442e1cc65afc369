// What a "go" line asks of a search (SearchLimits) and what the running
// search keeps about itself (SearchStatus).  One record of each per process;
// plain data, read and written in place.  The front end fills the limits and
// reads the result; what it keeps between searches is its own (uci/).
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

struct SearchStatus {
  // Reset by every go, except where a field says otherwise.
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
  // A legal move of the searchmoves list that no root list holds (no
  // configuration generates bishop promotions): answered in place of a
  // best_move of 0.  Set by a root whose list the names left empty.
  UciMove named_move;
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
  u8 centipawns_only;      // the configuration that searched never shows "score mate"
  u32 last_search_ms;      // elapsed ms of the last search + 1, 0 = none; kept across searches
};

extern SearchLimits search_limits;
extern SearchStatus search_status;

// The limits as a go line without tokens leaves them, searchmoves empty.
void reset_search_limits();
// The status as every go starts it (iteration, last_iteration,
// decisive_result and last_search_ms are kept).
void reset_searcher_status();
// Limits and status as at start-up.
void reset_search_bookkeeping();

}  // namespace orvex
