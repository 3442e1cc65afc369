#include "larkspire/entry.h"

#include <cstdio>

#include "core/process_role.h"
#include "core/worker_team.h"
#include "larkspire/evaluate.h"
#include "larkspire/interpreter.h"
#include "larkspire/options.h"
#include "platform/platform.h"
#include "position/fen.h"
#include "search/host.h"
#include "search/pawns.h"
#include "search/tt.h"

namespace orvex::larkspire {

void setup_workers() {
  TeamConfig cfg;
  cfg.hash_mb = engine_options.hash_mb;
  cfg.max_cpus = engine_options.max_cpus;
  cfg.workers_below_normal = true;  // always, whatever the master's own priority
  if (engine_options.multipv != 1) {
    char line[64];
    std::snprintf(line, sizeof line, "setoption name MultiPV value %d", static_cast<int>(engine_options.multipv));
    cfg.replay.push_back(line);
  }
  engine_options.hash_mb = orvex::setup_workers(cfg);
}

void main(int argc, const char* const* argv) {
  const ProcessRole role = read_process_role(argc, argv);
  engine_options = EngineOptions{};
  if (role.worker) {
    team_init_worker(role.generation, role.process_count, role.master_pid, role.worker_index);
    engine_options.hash_mb = role.hash_mb;
  } else {
    team_init_master(argc > 0 && argv[0] ? argv[0] : "orvex-larkspire");
  }
  reset_interpreter();
  setup_workers();

  stdin_is_pipe = !platform::stdin_is_console();
  reset_tt_ages();
  allocate_pawn_hash();
  lazy_low = -500;
  lazy_high = 500;
  result_held = 0;
  hold_result = 0;
  search_running = 0;
  parse_fen(kStartFen);
  if (role.worker) mark_worker_ready();

  for (;;) handle_command();
}

}  // namespace orvex::larkspire
