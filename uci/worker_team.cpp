#include "uci/worker_team.h"

#include "search/tt.h"

namespace orvex {

ProcessTeam process_team;

void team_init_master() {}
void team_init_worker(u32, i32, u32, i32) {}
u32 setup_workers(const TeamConfig& cfg) { return cfg.hash_mb; }
void send_to_workers(const char*) {}
void clear_hash() { reset_tt_ages(); }
void set_worker_priority(bool) {}
void mark_worker_ready() {}
void mark_worker_quitting() {}
void team_release() {}
u32 hash_mb_from_option(i64 value) {
  if (value < 2) return 0;
  u32 mb = 1;
  while (mb * 2 <= value && mb < kMaxHashMb) mb *= 2;
  return mb;
}
std::vector<std::string> main_engine_replay(u32, i32, u32, bool) { return {}; }

}  // namespace orvex
