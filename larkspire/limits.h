// The edition's search limits and search status: the limits a "go" line sets
// and the progress of the running search, one record of each per process.
// They have only the fields the edition's front end and search use.  The
// edition counts made moves, not nodes: make_move counts them down in
// batches, and the shown node count is made moves / 14 x processes.
#pragma once
#include "position/types.h"

namespace orvex::larkspire {

constexpr int kMaxSearchMoves = 256;  // room in SearchLimits::searchmoves, 0-terminated

// Made moves per input poll; the first batch of a search is 60 moves shorter.
constexpr i32 kPollBatch = 32768;
constexpr i32 kFirstPollBatch = 32708;

constexpr u32 kNoTimeLimit = 0xFFFFFFFFu;
constexpr i32 kNoDepthLimit = (1 << 30) - 1;
constexpr i64 kNoNodeLimit = 0x7FFFFFFFFFFFFFFFll;

struct SearchLimits {
  u32 soft_time_ms;    // target time of the iteration loop, ms since start_tick
  u32 hard_time_ms;    // time at which the move poll ends the search
  i32 depth_limit;     // the root stops after the iteration that reaches 2 x this in half plies
  i64 node_limit;      // shown node count above which the root stops
  i32 mate_limit;      // |mate n|, 0 = none
  u8 infinite;         // only "stop" ends the search; "ponderhit" clears it
  u8 pondering;        // the go line held "ponder"
  UciMove searchmoves[kMaxSearchMoves];  // restricted root moves, ends at the first 0
};

struct SearchStatus {
  u8 stop_requested;       // leave the search ("stop", node or mate limit)
  i32 node_countdown;      // made moves left before the next input poll
  u64 node_batches;        // batches started
  u32 start_tick;          // set by the root when the iterations start
  i32 last_score;          // best score after the previous iteration
  u8 score_dropped, score_dropped_prev;
  u8 fail_high, fail_high_prev;
  u8 easy_move;
  u8 stop_after_iteration;
  SearchMove best_move;
  // A legal move of the searchmoves list that the root list lacks (the
  // generators make no bishop promotions): answered in place of a best_move
  // of 0.  Set by the root when the names leave its list empty.
  UciMove named_move;
  i32 best_score;
  i32 best_depth;          // half-ply iteration at which best_move last changed
  u8 score_printed;        // a line with a score was printed for this search
};

extern SearchLimits search_limits;
extern SearchStatus search_status;

// Every field as a go command starts a search with it (start_tick is the
// root's).
void reset_search_limits();
void reset_search_status();

// Made moves of the current (or last) search.
inline u64 made_moves() {
  return search_status.node_batches * kPollBatch - static_cast<u64>(static_cast<i64>(search_status.node_countdown));
}
// Made moves as shown to the interface: made moves / 14 x processes, the
// division first.
inline u64 shown_made_moves(u32 process_count) { return made_moves() / 14 * process_count; }
// The same for this process's team.
u64 shown_nodes();

}  // namespace orvex::larkspire
