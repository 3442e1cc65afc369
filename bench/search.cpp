// Fixed-depth search benchmark: one process, a cleared hash table before
// every position.  Prints each position's counted nodes, their total, the
// time and the speed.  The node total is a signature of the search's
// behaviour: any change of behaviour changes it.
//
// Usage: bench_search [shown depth, default 9]
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/bench_positions.h"
#include "core/worker_team.h"
#include "platform/platform.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/search.h"
#include "search/tt.h"

int main(int argc, char** argv) {
  using namespace orvex;
  const int depth = argc > 1 ? std::atoi(argv[1]) : 9;
  // The search polls standard input and would obey (or end at the end of)
  // whatever it finds there: give it an open pipe with nothing in it.
  int fds[2];
  if (pipe(fds) == 0) dup2(fds[0], 0);
  std::vector<TtEntry> table((std::size_t{1} << 21) + 3);  // 32 MB
  tt_attach(table.data(), table.size());
  quiet = 1;
  process_team.process_count = 1;

  u64 total = 0;
  const u32 start = platform::tick_count();
  for (const char* fen : kBenchFens) {
    set_bench_position(fen);
    reset_for_repeatable_search();
    search_limits.depth_limit = depth + 3;
    search_root();
    const u64 nodes = counted_nodes();
    total += nodes;
    std::printf("%-72s %12" PRIu64 "\n", fen, nodes);
  }
  const u32 elapsed = platform::tick_count() - start;
  std::printf("depth %d\n", depth);
  std::printf("nodes %" PRIu64 "\n", total);
  std::printf("time %" PRIu32 " ms\n", elapsed);
  std::printf("nps %" PRIu64 "\n", elapsed ? total * 1000 / elapsed : 0);
  return 0;
}
