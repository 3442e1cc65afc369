// The final report of a search.
#include "uci/report.h"

#include <cinttypes>
#include <cstdio>

#include "core/worker_team.h"
#include "platform/platform.h"
#include "position/all_moves.h"
#include "position/legality.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "position/position.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/search.h"
#include "search/search_stack.h"
#include "search/tt.h"
#include "uci/front_end_status.h"
#include "uci/options.h"

namespace orvex {

bool format_node_count_line(u32 output_mode, u32 elapsed_ms, u64 shown_nodes, u64 tb_hits, char* buf,
                            std::size_t size) {
  if (output_mode != 0 && output_mode != 1) return false;
  tb_hits = shown_tb_hits(tb_hits, shown_nodes);
  const u64 nps = shown_nps(shown_nodes, elapsed_ms);
  char time_text[32] = "";
  char nps_text[32] = "";
  char tb_text[32] = "";
  if (output_mode == 0) {
    std::snprintf(time_text, sizeof time_text, "time %" PRIu64 " ", static_cast<u64>(elapsed_ms));
    std::snprintf(nps_text, sizeof nps_text, "nps %" PRIu64 " ", nps);
  }
  if (tb_hits != 0) std::snprintf(tb_text, sizeof tb_text, "tbhits %" PRIu64 " ", tb_hits);
  std::snprintf(buf, size, "info %snodes %" PRIu64 " %s%s\n", time_text, shown_nodes, nps_text, tb_text);
  return true;
}

void format_score_line(i32 score, i32 scale, const char* move_text, char* buf, std::size_t size,
                       bool centipawns_only) {
  if (centipawns_only)
    std::snprintf(buf, size, "info score cp %d pv %s\n", centipawns(score, scale), move_text);
  else
    std::snprintf(buf, size, "info score %s %d pv %s\n", score_unit(score), shown_score(score, scale), move_text);
}

namespace {

// Makes m when it can be played here: pseudo-legal, and the mover's king not
// left attacked.  Otherwise the position stays as it is and the answer is false.
bool make_if_playable(SearchMove m, UndoRecord& undo) {
  if (m == kNoMove || !is_pseudo_legal(m)) return false;
  make_move(m, undo);
  if (!king_attacked(current_position.side_to_move ^ 1)) return true;
  unmake_move(m, undo);
  return false;
}

}  // namespace

SearchMove find_ponder_move(SearchMove move) {
  UndoRecord undo;
  if (!make_if_playable(move, undo)) return kNoMove;
  SearchMove ponder = kNoMove;
  if (const TtEntry* e = tt_last_match(current_position.state.key)) ponder = e->move;
  // A torn or foreign entry may hold any move: keep it only when it can be
  // played here.
  UndoRecord ponder_undo;
  if (make_if_playable(ponder, ponder_undo))
    unmake_move(ponder, ponder_undo);
  else
    ponder = kNoMove;
  unmake_move(move, undo);
  return ponder;
}

void report_search_result() {
  SearchStatus& st = search_status;
  const EngineOptions& opt = engine_options;
  const bool speak = may_answer();
  const u32 elapsed = shown_time(platform::tick_count(), st.start_tick);
  const u64 nodes = shown_nodes();
  char line[512];
  if (speak && format_node_count_line(search_settings.output_mode, elapsed, nodes, st.tb_hits, line, sizeof line))
    send_line("%s", line);

  SearchMove move = st.best_move;
  if (opt.limit_strength && st.strength_move != kNoMove) move = st.strength_move;
  char text[6];
  answer_move_text(move, st.named_move, text);
  const SearchMove ponder = find_ponder_move(move);

  if (!st.score_printed) {
    st.score_printed = 1;
    format_score_line(st.best_score, display_scale, text, line, sizeof line, st.centipawns_only);
    if (speak) send_line("%s", line);
  }
  if (speak) {
    if (ponder != kNoMove) {
      char ponder_text[6];
      move_to_text(ponder, ponder_text);
      send_line("bestmove %s ponder %s\n", text, ponder_text);
    } else {
      send_line("bestmove %s\n", text);
    }
  }
  send_to_workers("stop");
  std::snprintf(front_end_status.last_bestmove, sizeof front_end_status.last_bestmove, "%s", text);
  if (st.best_score > kMateThreshold) st.decisive_result = 1;
}

}  // namespace orvex
