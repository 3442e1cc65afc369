#include "search/limits.h"

#include <cstring>

namespace orvex {

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

void reset_searcher_status() {
  SearchStatus& s = search_status;
  s.stop_requested = 0;
  s.node_countdown = 1024;
  s.node_batches = 1;
  s.last_score = 0;
  s.score_dropped = s.score_dropped_prev = 0;
  s.fail_high = s.fail_high_prev = 0;
  s.easy_move = 0;
  s.stop_after_iteration = 0;
  s.best_move = kNoMove;
  s.named_move = 0;
  s.best_score = 0;
  s.best_depth = 0;
  s.strength_move = kNoMove;
  s.tb_hits = 0;
  s.score_printed = 0;
  s.info_printed = 0;
  s.depth_lines_started = 0;
  s.centipawns_only = 0;
}

void reset_search_bookkeeping() {
  search_status = SearchStatus{};
  reset_search_limits();
  reset_searcher_status();
  search_status.last_iteration = 13;
  search_status.iteration = 0;
  search_status.best_score = 0;
}

}  // namespace orvex
