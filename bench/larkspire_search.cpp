// Fixed-depth search benchmark of the second edition: one process, a cleared
// hash table before every position.  Prints each position's made moves (the
// edition counts made moves, not nodes), their total, the time and the speed.
// The total is the signature of the edition's search behaviour.
//
// Usage: bench_larkspire_search [depth in plies, default 10]
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/worker_team.h"
#include "larkspire/bench.h"
#include "platform/platform.h"
#include "search/tt.h"

int main(int argc, char** argv) {
  using namespace orvex;
  const int depth = argc > 1 ? std::atoi(argv[1]) : larkspire::kBenchDepth;
  // The search polls standard input: give it an open pipe with nothing in it.
  int fds[2];
  if (pipe(fds) == 0) dup2(fds[0], 0);
  std::vector<TtEntry> table((std::size_t{1} << 21) + 3);  // 32 MB
  tt_attach(table.data(), table.size());
  process_team.process_count = 1;

  u64 per_position[kBenchPositions];
  const u32 start = platform::tick_count();
  const u64 total = larkspire::run_benchmark(depth, per_position);
  const u32 elapsed = platform::tick_count() - start;
  for (std::size_t i = 0; i < kBenchPositions; ++i)
    std::printf("%-72s %12" PRIu64 "\n", kBenchFens[i], per_position[i]);
  std::printf("depth %d\n", depth);
  std::printf("made moves %" PRIu64 "\n", total);
  std::printf("time %" PRIu32 " ms\n", elapsed);
  std::printf("made moves per second %" PRIu64 "\n", elapsed ? total * 1000 / elapsed : 0);
  return 0;
}
