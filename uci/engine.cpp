#include "uci/engine.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "position/fen.h"
#include "search/evaluate.h"
#include "search/pawns.h"
#include "search/tt.h"
#include "uci/interpreter.h"
#include "uci/limits.h"
#include "uci/numbers.h"
#include "uci/options.h"
#include "uci/output.h"
#include "uci/worker_team.h"

namespace orvex {

namespace {

bool ends_with(const char* text, std::size_t length, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return length >= n && std::memcmp(text + length - n, suffix, n) == 0;
}

bool is_quote_or_blank(char c) { return c == '\'' || c == '"' || c == ' '; }

bool is_program_argument(const char* arg) {
  const std::size_t n = std::strlen(arg);
  if (ends_with(arg, n, ".exe")) return true;
  if (n >= 5 && is_quote_or_blank(arg[n - 1]) && ends_with(arg, n - 1, ".exe")) return true;
  return n >= 6 && arg[n - 1] == ' ' && is_quote_or_blank(arg[n - 2]) && ends_with(arg, n - 2, ".exe");
}

u32 read_u32(const char* text) {
  const i64 v = read_leading_integer(text);
  return v < 0 ? 0 : v > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<u32>(v);
}

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
    if (may_answer()) send_line("bestmove %s\n", search_status.last_bestmove);
  }
  if (input_waiting()) handle_command();
}

}  // namespace

int program_argument_index(int argc, const char* const* argv) {
  for (int i = 0; i < argc; ++i)
    if (argv[i] != nullptr && is_program_argument(argv[i])) return i;
  return 0;
}

ProcessRole read_process_role(int argc, const char* const* argv) {
  ProcessRole role;
  const int k = program_argument_index(argc, argv);
  if (argc - k - 1 < 5) return role;
  role.worker = true;
  role.hash_mb = read_u32(argv[k + 1]);
  role.generation = read_u32(argv[k + 2]);
  role.process_count = read_leading_i32(argv[k + 3]);
  role.master_pid = read_u32(argv[k + 4]);
  role.worker_index = read_leading_i32(argv[k + 5]);
  return role;
}

void run_engine(int argc, const char* const* argv) {
  const ProcessRole role = read_process_role(argc, argv);

  engine_options = EngineOptions{};
  if (!role.worker) platform::set_below_normal_priority(engine_options.engine_priority == kPriorityLow);
  reset_search_bookkeeping();

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
  lazy_low = -500;
  lazy_high = 500;
  search_status.result_held = 0;
  search_status.hold_result = 0;
  search_status.searching = 0;
  parse_fen(kStartFen);
  if (role.worker) mark_worker_ready();

  int idle_steps = 0;
  for (;;) {
    if (engine_options.io_supplementation && !search_status.result_held && search_status.decisive_result)
      idle_step(idle_steps);
    else
      handle_command();
  }
}

}  // namespace orvex
