// The general search configuration: its statics, the instantiation of the
// search templates, and the roots that run it on a stack of its own
// (search/search_thread.cpp).
#include "search/search.h"

#include "search/host.h"
#include "search/limits.h"
#include "search/search_core.h"
#include "search/tt.h"

namespace orvex {

u32 last_currline_tick = 0;

u8 root_list_refused = 0;

void reset_for_repeatable_search() {
  tt_zero();
  reset_tt_ages();
  reset_search_limits();
  reset_searcher_status();
  search_status.iteration = 0;
  search_status.last_iteration = 13;
}

u64 counted_nodes() {
  const SearchStatus& st = search_status;
  return st.node_batches * 1024 - static_cast<u64>(static_cast<i64>(st.node_countdown));
}

u64 shown_nodes() {
  const SearchStatus& st = search_status;
  return shown_node_count(st.node_batches, st.node_countdown, team_process_count());
}

void recentre_lazy_window(i32 score) {
  // The phase weights of the root's material entry always sum to 256, so the
  // blended score is the score itself.
  i32 q = score;
  if (current_position.side_to_move == kBlack) q = -q;
  lazy_low = q >= 0 ? -3 : q / 3399 - 4;
  lazy_high = q <= 0 ? 3 : q / 3399 + 4;
}

void search_root() { run_on_search_stack(&search_root_driver<GeneralConfig>); }

}  // namespace orvex
