// The "go" command: time allocation and the search it runs.
#include "uci/go.h"

#include <algorithm>
#include <cstring>

#include "configs/choice.h"
#include "configs/roots.h"
#include "core/go_line.h"
#include "core/root_check.h"
#include "core/worker_team.h"
#include "position/all_moves.h"
#include "position/move_text.h"
#include "position/position.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/search.h"
#include "uci/front_end_status.h"
#include "uci/options.h"
#include "uci/report.h"

namespace orvex {

namespace {

u32 saturate_limit(i64 v) {
  if (v < 0) return 0;
  if (v > kGoMaxTimeLimit) return kGoMaxTimeLimit;
  return static_cast<u32>(v);
}

}  // namespace

void apply_strength_limit(GoRequest& req, bool limit_strength, i32 elo) {
  if (!limit_strength || req.infinite) return;
  req.depth_limit = elo >= 2200 ? 7 : elo >= 2000 ? 6 : elo >= 1800 ? 5 : elo >= 1600 ? 4 : elo >= 1400 ? 3 : 2;
}

TimeLimits allocate_time(const GoRequest& req, Colour side_to_move, const TimeOptions& opts,
                         u32 process_count, ClockMemory& memory) {
  i64 own_time = side_to_move == kWhite ? req.wtime : req.btime;
  const i64 own_inc = side_to_move == kWhite ? req.winc : req.binc;

  // How much more the own clock lost since the previous go than the previous
  // search measured itself (time pondered before "ponderhit" is not its own).
  i64 lost_ms = static_cast<i64>(memory.prev_clock_ms) + own_inc - own_time -
                (static_cast<i64>(memory.last_search_ms) - static_cast<i64>(memory.ponder_ms));
  if (lost_ms < 0 || memory.prev_clock_ms == 0 || memory.last_search_ms == 0) lost_ms = 0;
  memory.prev_clock_ms = static_cast<u32>(own_time);
  memory.last_search_ms = 0;
  memory.ponder_ms = 0;

  // Server Buffer: keep a reserve against the server's own delays.
  if (opts.server_buffer && own_time > 2000) {
    own_time = own_time > 16000 ? own_time - 15000 : own_time / 2 - 3000;
    own_time = std::max<i64>(own_time, 1000);
  }
  // Pondering without a clock uses the clock of the previous go.
  if (req.ponder && own_time == 0) own_time = std::max<i64>(memory.last_own_time_ms, 0);
  memory.last_own_time_ms = static_cast<i32>(own_time);

  TimeLimits limits;
  if (req.movetime > 0) {
    limits.soft_ms = limits.hard_ms = saturate_limit(req.movetime);
    return limits;
  }
  if (own_time <= 0 && own_inc <= 0) return limits;

  const i64 mtg = req.movestogo;
  const i64 reserve = own_time > 1000 ? own_time - 1000 : 0;
  const i64 pool = (mtg - 1) * own_inc + reserve;
  i64 buffer = opts.emergency_buffer == 0 ? (mtg + 8) * 250
               : opts.emergency_buffer == 1 ? (mtg + 4) * 500
                                            : mtg * 1500 + 5000;
  if (own_inc > 2000 || own_time > 60000) buffer *= 2;
  if (own_inc > 50000 || own_time > 600000) buffer *= 2;
  const i64 t = pool > buffer ? std::max<i64>(pool - buffer, 3500) : pool / mtg;

  i64 share, cap;
  switch (opts.rate_of_play) {
    case 0: share = 4 * t / (2 * mtg); cap = 3 * t / 4; break;
    case 1: share = 3 * t / (2 * mtg); cap = 2 * t / 3; break;
    case 3: share = 2 * t / (3 * mtg); cap = t / 3; break;
    case 4: share = 2 * t / (4 * mtg); cap = t / 4; break;
    default: share = t / mtg; cap = t / 2; break;
  }
  i64 soft = std::min(share, reserve / 4);
  i64 hard = opts.time_usage == 0 ? soft : std::min(std::max(share, cap) / 2, reserve / 4);
  if (process_count >= 5) {
    soft = soft * 8 / 10;
    hard = hard * 8 / 10;
  } else if (process_count >= 2) {
    soft = soft * 9 / 10;
    hard = hard * 9 / 10;
  }
  if (lost_ms > 50) {
    soft = std::max<i64>(soft - lost_ms, 25);
    hard = std::max<i64>(hard - lost_ms, 25);
  }
  limits.soft_ms = saturate_limit(soft);
  limits.hard_ms = saturate_limit(hard);
  return limits;
}

void record_search_score(i32 score) {
  FrontEndStatus& st = front_end_status;
  const int keep = std::clamp(st.score_count, 0, kScoreHistorySize - 1);
  for (int i = keep; i > 0; --i) st.score_history[i] = st.score_history[i - 1];
  st.score_history[0] = score;
  st.score_count = keep + 1;
}

void handle_go(const char* line) {
  SearchStatus& st = search_status;
  FrontEndStatus& fe = front_end_status;
  SearchLimits& lim = search_limits;
  const EngineOptions& opt = engine_options;

  if (!validate_root_position([] { return attack_set(current_position.side_to_move); })) {
    if (may_answer()) send_line("bestmove a1a1\n");
    return;
  }
  reset_search_limits();
  reset_searcher_status();

  GoRequest req;
  parse_go_line(line, req);
  apply_strength_limit(req, opt.limit_strength, opt.elo);
  lim.depth_limit = req.depth_limit;
  lim.node_limit = req.node_limit;
  lim.mate_limit = req.mate_limit;
  int kept = 0;
  for (int i = 0; i < req.searchmove_count && kept < kMaxSearchMoves - 1; ++i) {
    const UciMove m = parse_uci_move(req.searchmoves[i]);
    if (m != 0) lim.searchmoves[kept++] = m;
  }
  lim.searchmoves[kept] = 0;

  TimeOptions topts;
  topts.server_buffer = opt.server_buffer != 0;
  topts.rate_of_play = opt.rate_of_play;
  topts.time_usage = search_settings.time_usage;
  topts.emergency_buffer = opt.emergency_buffer;
  ClockMemory mem{fe.prev_clock_ms, st.last_search_ms, fe.ponder_ms, fe.last_own_time_ms};
  const TimeLimits tl = allocate_time(req, current_position.side_to_move, topts, team_process_count(), mem);
  fe.prev_clock_ms = mem.prev_clock_ms;
  st.last_search_ms = mem.last_search_ms;
  fe.ponder_ms = mem.ponder_ms;
  fe.last_own_time_ms = mem.last_own_time_ms;
  lim.soft_time_ms = tl.soft_ms;
  lim.hard_time_ms = tl.hard_ms;

  const bool held = req.infinite || req.ponder;
  if (held) lim.infinite = 1;
  if (req.ponder) lim.pondering = 1;
  fe.searching = 1;
  fe.hold_result = held;

  fe.result_held = 0;
  st.tb_probe_men = opt.tb_never ? 0 : opt.tb_max_men;

  // The configuration that suits the request and the root; a worker always
  // runs the worker configuration.
  ConfigRequest choice;
  choice.is_master = process_team.is_master;
  choice.multipv = search_settings.multipv;
  choice.tb_max_men = opt.tb_max_men;
  choice.infinite = req.infinite;
  choice.ponder = req.ponder;
  choice.depth_limit = lim.depth_limit;
  choice.node_limit = lim.node_limit;
  choice.mate_limit = lim.mate_limit;
  choice.score_history = fe.score_history;
  choice.score_count = fe.score_count;
  run_search_config(choose_search_config(current_position, choice));

  record_search_score(st.last_score);

  fe.searching = 0;
  fe.result_held = fe.hold_result;
  if (!fe.hold_result) report_search_result();
}

}  // namespace orvex
