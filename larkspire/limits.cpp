#include "larkspire/limits.h"

#include <cstring>

#include "search/host.h"

namespace orvex::larkspire {

SearchLimits search_limits;
SearchStatus search_status;

void reset_search_limits() {
  SearchLimits& l = search_limits;
  l.soft_time_ms = kNoTimeLimit;
  l.hard_time_ms = kNoTimeLimit;
  l.depth_limit = kNoDepthLimit;
  l.node_limit = kNoNodeLimit;
  l.mate_limit = 0;
  l.infinite = 0;
  l.pondering = 0;
  std::memset(l.searchmoves, 0, sizeof l.searchmoves);
}

void reset_search_status() {
  SearchStatus& st = search_status;
  st.stop_requested = 0;
  st.node_countdown = kFirstPollBatch;
  st.node_batches = 1;
  st.last_score = 0;
  st.score_dropped = st.score_dropped_prev = 0;
  st.fail_high = st.fail_high_prev = 0;
  st.easy_move = 0;
  st.stop_after_iteration = 0;
  st.best_move = 0;
  st.named_move = 0;
  st.best_score = 0;
  st.best_depth = 0;
  st.score_printed = 0;
}

u64 shown_nodes() { return shown_made_moves(team_process_count()); }

}  // namespace orvex::larkspire
