#include "uci/engine.h"

#include "core/worker_team.h"
#include "platform/platform.h"
#include "position/fen.h"
#include "search/evaluate.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/pawns.h"
#include "search/tt.h"
#include "tablebases/probe.h"
#include "uci/front_end_status.h"
#include "uci/interpreter.h"
#include "uci/options.h"

namespace orvex {

namespace {

// The idle loop after a decisive result: the last "bestmove" line is sent
// again after 10 and after 20 idle steps of 50 ms.
void idle_step(int& idle_steps) {
  platform::sleep_ms(50);
  ++idle_steps;
  if (idle_steps == 10 || idle_steps == 20) {
    if (idle_steps == 20) {
      search_status.decisive_result = 0;
      idle_steps = 0;
    }
    if (may_answer()) send_line("bestmove %s\n", front_end_status.last_bestmove);
  }
  if (input_waiting()) handle_command();
}

}  // namespace

void run_engine(int argc, const char* const* argv) {
  const ProcessRole role = read_process_role(argc, argv);

  engine_options = EngineOptions{};
  search_settings = SearchSettings{};
  if (!role.worker) platform::set_below_normal_priority(engine_options.engine_priority == kPriorityLow);
  reset_search_bookkeeping();
  reset_front_end_status();

  if (role.worker) {
    team_init_worker(role.generation, role.process_count, role.master_pid, role.worker_index);
    engine_options.hash_mb = role.hash_mb;
  } else {
    team_init_master(argc > 0 && argv[0] ? argv[0] : "orvex");
  }
  reset_interpreter();
  rebuild_worker_team();

  stdin_is_pipe = !platform::stdin_is_console();
  reset_tt_ages();
  allocate_pawn_hash();
  if (!role.worker) set_tb_cache_size(1);  // only the master probes tables
  lazy_low = -500;
  lazy_high = 500;
  front_end_status.result_held = 0;
  front_end_status.hold_result = 0;
  front_end_status.searching = 0;
  parse_fen(kStartFen);
  if (role.worker) mark_worker_ready();

  int idle_steps = 0;
  for (;;) {
    if (engine_options.io_supplementation && !front_end_status.result_held && search_status.decisive_result)
      idle_step(idle_steps);
    else
      handle_command();
  }
}

}  // namespace orvex
