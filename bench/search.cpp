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

#include "core/position_command.h"
#include "core/worker_team.h"
#include "platform/platform.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/search.h"
#include "search/tt.h"

namespace {

const char* const kPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - -",
    "4r1k1/pp3pp1/4p2p/3p4/3P4/P3P2P/1P3PP1/2R3K1 w - -",
    "8/8/4k3/3p4/3P4/4K3/8/8 w - -",
    "8/5pk1/6p1/7p/7P/6P1/r4PK1/1R6 w - -",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - -",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - -",
};

}  // namespace

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
  for (const char* fen : kPositions) {
    char line[256];
    std::snprintf(line, sizeof line, "position fen %s", fen);
    handle_position_command(line);
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
