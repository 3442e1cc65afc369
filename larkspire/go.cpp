#include "larkspire/go.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "core/go_line.h"
#include "core/root_check.h"
#include "core/worker_team.h"
#include "larkspire/board.h"
#include "larkspire/interpreter.h"
#include "larkspire/limits.h"
#include "larkspire/search.h"
#include "larkspire/search_io.h"
#include "platform/platform.h"
#include "position/all_moves.h"
#include "position/move_text.h"
#include "position/position.h"
#include "search/host.h"
#include "search/tt.h"

namespace orvex::larkspire {

i32 last_clock_ms = 0;

TimeAllocation allocate_time(i64 time, i64 inc, i64 movestogo, i64 movetime, u32 process_count) {
  if (movetime > 0) return {static_cast<u32>(movetime), static_cast<u32>(movetime)};
  if (time <= 0 && inc <= 0) return {kNoTimeLimit, kNoTimeLimit};
  time = std::max<i64>(time, 0);
  inc = std::max<i64>(inc, 0);
  const i64 base = time > 1000 ? time - 1000 : 0;
  const i64 total = (movestogo - 1) * inc + base;
  i64 reserve = (movestogo + 4) * 500;
  if (inc > 2000 || time > 60000) reserve *= 2;
  if (inc > 50000 || time > 600000) reserve *= 2;
  // When the total does not exceed the reserve it is divided by movestogo
  // here and again below.
  const i64 avail = total > reserve ? std::max<i64>(total - reserve, 3500) : total / movestogo;
  const i64 per_move = avail / movestogo;
  i64 soft = std::min(per_move, base / 4);
  i64 hard = std::min(std::max(avail / 2, per_move) / 2, base / 4);
  if (process_count >= 5) {
    soft = soft * 8 / 10;
    hard = hard * 8 / 10;
  } else if (process_count >= 2) {
    soft = soft * 9 / 10;
    hard = hard * 9 / 10;
  }
  return {static_cast<u32>(soft), static_cast<u32>(hard)};
}

void handle_go(const char* line) {
  SearchLimits& lim = search_limits;
  SearchStatus& st = search_status;
  EditionPlyRecord& root = edition_stack[0];
  if (!validate_root_position([&root] {
        evaluate(root);
        return root.attacks_us;
      })) {
    if (may_answer()) send_line("bestmove a1a1\n");
    return;
  }
  reset_search_limits();
  reset_search_status();

  GoRequest req;
  parse_go_line(line, req);
  if (req.depth_given) lim.depth_limit = static_cast<i32>(std::clamp<i64>(req.depth, -1, kNoDepthLimit - 1) + 1);
  lim.node_limit = req.node_limit;
  lim.mate_limit = req.mate_limit;
  int kept = 0;
  for (int i = 0; i < req.searchmove_count && kept < kMaxSearchMoves - 1; ++i) {
    const UciMove m = parse_uci_move(req.searchmoves[i]);
    if (m != 0) lim.searchmoves[kept++] = m;
  }
  lim.searchmoves[kept] = 0;

  const bool black = current_position.side_to_move == kBlack;
  i64 time = black ? req.btime : req.wtime;
  const i64 inc = black ? req.binc : req.winc;
  if (req.ponder && time == 0) time = last_clock_ms;
  last_clock_ms = static_cast<i32>(time);
  const TimeAllocation limits = allocate_time(time, inc, req.movestogo, req.movetime, team_process_count());
  lim.soft_time_ms = limits.soft_ms;
  lim.hard_time_ms = limits.hard_ms;

  if (req.infinite || req.ponder) {
    lim.infinite = 1;
    lim.pondering = req.ponder;
  }
  search_running = 1;
  hold_result = req.infinite || req.ponder;
  result_held = 0;
  st.score_printed = 0;

  search_root();

  search_running = 0;
  result_held = hold_result;
  if (!hold_result) report_search_result();
}

namespace {

// Makes m when it can be played here: pseudo-legal, and the mover's king not
// left attacked.  The move is not counted as a made move.
bool make_if_playable(SearchMove m, UndoRecord& undo) {
  if (m == 0 || !is_pseudo_legal(m)) return false;
  search_status.node_countdown += 1;
  make_move(m, undo);
  if (!king_attacked(current_position.side_to_move ^ 1)) return true;
  unmake_move(m, undo);
  return false;
}

// The first legal move of the position, in the root's order; 0 when none.
SearchMove first_legal_reply() {
  EditionPlyRecord& rec = edition_stack[1];
  const bool in_check = evaluate(rec);
  SearchMove moves[kMaxMoves + 1];
  const u32 n = generate_root_candidates(moves, in_check, rec);
  for (u32 i = 0; i < n; ++i) {
    UndoRecord undo;
    if (make_if_playable(moves[i], undo)) {
      unmake_move(moves[i], undo);
      return moves[i];
    }
  }
  return 0;
}

}  // namespace

SearchMove find_ponder_move(SearchMove best) {
  UndoRecord undo;
  if (!make_if_playable(best, undo)) return 0;
  SearchMove ponder = 0;
  if (const TtEntry* e = tt_last_match(current_position.state.key)) ponder = e->move;
  // A colliding or torn entry may hold any move: keep it only when it can be
  // played here, else look for a legal reply.
  UndoRecord ponder_undo;
  if (make_if_playable(ponder, ponder_undo))
    unmake_move(ponder, ponder_undo);
  else
    ponder = first_legal_reply();
  unmake_move(best, undo);
  return ponder;
}

void report_search_result() {
  SearchStatus& st = search_status;
  const bool speak = may_answer();
  const u32 elapsed = platform::tick_count() - st.start_tick + 1;
  const u64 nodes = shown_nodes();
  if (speak)
    send_line("info time %" PRIu64 " nodes %" PRIu64 " nps %" PRIu64 " \r\n", u64{elapsed}, nodes,
              nodes * 1024 / elapsed);

  char text[6];
  answer_move_text(st.best_move, st.named_move, text);
  const SearchMove ponder = find_ponder_move(st.best_move);

  if (!st.score_printed) {
    st.score_printed = 1;
    const i32 s = st.best_score;
    if (speak) {
      if (s > 31000 || s < -31000)
        send_line("info score mate %d pv %s\n", shown_mate_moves(s, st.best_move), text);
      else
        send_line("info score cp %d pv %s\n", (display_scale * s) / 32, text);
    }
  }
  if (speak) {
    if (ponder != 0) {
      char ponder_text[6];
      move_to_text(ponder, ponder_text);
      send_line("bestmove %s ponder %s\n", text, ponder_text);
    } else {
      send_line("bestmove %s\n", text);
    }
  }
  send_to_workers("stop");
}

}  // namespace orvex::larkspire
