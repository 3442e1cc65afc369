#include "uci/front_end_status.h"

#include "search/limits.h"

namespace orvex {

FrontEndStatus front_end_status;

void reset_front_end_status() {
  front_end_status = FrontEndStatus{};
  front_end_status.last_own_time_ms = 1000;
}

void forget_game_history() {
  front_end_status.prev_clock_ms = 0;
  search_status.last_search_ms = 0;
  front_end_status.ponder_ms = 0;
  front_end_status.score_count = 0;
}

}  // namespace orvex
