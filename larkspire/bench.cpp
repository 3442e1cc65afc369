#include "larkspire/bench.h"

#include "core/bench_positions.h"
#include "core/worker_team.h"
#include "larkspire/search.h"
#include "search/limits.h"

namespace orvex::larkspire {

u64 run_benchmark(int depth, u64* per_position) {
  const u32 was_master = process_team.is_master;
  process_team.is_master = 0;
  u64 total = 0;
  for (std::size_t i = 0; i < kBenchPositions; ++i) {
    set_bench_position(kBenchFens[i]);
    reset_for_repeatable_search();
    search_limits.depth_limit = depth;
    search_root();
    const u64 moves = made_moves();
    if (per_position) per_position[i] = moves;
    total += moves;
  }
  process_team.is_master = was_master;
  return total;
}

}  // namespace orvex::larkspire
