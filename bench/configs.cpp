// Fixed-depth benchmark of the specialised search configurations: for each
// configuration a few positions of its class, searched through it and
// through the general configuration, one process, a cleared hash table before
// every search.  Prints each configuration's node total (its signature), the
// time its searches took and its speed beside the general search's on the
// same positions.  The counted nodes are the searches' own count (fail-low
// nodes of the zero-window searches), so the time to reach the depth is the
// fairer comparison where the two searches prune differently.
//
// Usage: bench_configs [shown depth, default 9]
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "configs/choice.h"
#include "configs/roots.h"
#include "platform/platform.h"
#include "search/pawns.h"
#include "search/search.h"
#include "search/tt.h"
#include "search/limits.h"
#include "search/host.h"
#include "core/bench_positions.h"
#include "core/worker_team.h"

namespace {

using namespace orvex;

struct ClassPositions {
  SearchConfig config;
  const char* fens[3];
};

const ClassPositions kClasses[] = {
    {kConfigPawnEnding,
     {"8/8/4k3/3p4/3P4/4K3/8/8 w - -", "8/5pk1/6p1/7p/7P/6P1/5PK1/8 w - -", "8/2k5/8/1pP5/1P6/8/5K2/8 w - -"}},
    {kConfigBishopEnding,
     {"8/5k2/3b4/2p5/2P5/3B4/5K2/8 w - -", "8/3bk3/2p1p3/2P1P3/3B4/4K3/8/8 w - -", "8/8/1p3k2/p1p2b2/P1P5/1P1B4/5K2/8 w - -"}},
    {kConfigBishopVsKnightEnding,
     {"8/4k3/2n1p3/3pP3/3P4/2B5/4K3/8 w - -", "8/5k2/1p3n2/p1p5/P1P5/1P1B4/5K2/8 b - -", nullptr}},
    {kConfigKnightVsBishopEnding,
     {"8/4k3/2b1p3/3pP3/3P4/2N5/4K3/8 w - -", "8/5k2/1p3b2/p1p5/P1P5/1P1N4/5K2/8 b - -", nullptr}},
    {kConfigKnightEnding,
     {"8/4k3/2n1p3/3pP3/3P4/2N5/4K3/8 w - -", "8/5k2/1p3n2/p1p5/P1P5/1P1N4/5K2/8 w - -", nullptr}},
    {kConfigQueenEnding,
     {"8/5k2/3q4/2p5/2P5/3Q4/5K2/8 w - -", "3k4/8/8/8/8/8/8/3QK3 w - -", "8/6k1/5pp1/8/4Q3/6P1/q4PK1/8 w - -"}},
    {kConfigRookEnding,
     {"8/5pk1/6p1/7p/7P/6P1/r4PK1/1R6 w - -", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", "4k3/8/8/8/8/8/8/R3K3 w - -"}},
    {kConfigRookBishopEnding,
     {"8/5pk1/4b1p1/7p/7P/4B1P1/r4PK1/1R6 w - -", "3r2k1/5ppp/8/8/3b4/8/5PPP/2RB2K1 w - -", nullptr}},
    {kConfigRookKnightEnding,
     {"8/5pk1/4n1p1/7p/7P/4N1P1/r4PK1/1R6 w - -", "3r2k1/5ppp/8/8/3n4/8/5PPP/2RN2K1 w - -", nullptr}},
    {kConfigCastlingRights,
     {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", nullptr}},
    {kConfigMixed,
     {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
      "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - -", nullptr}},
    {kConfigWorker,
     {"r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - -",
      "4r1k1/pp3pp1/4p2p/3p4/3P4/P3P2P/1P3PP1/2R3K1 w - -", nullptr}},
};

struct Run {
  u64 nodes = 0;
  u32 ms = 0;
};

Run search_with(SearchConfig config, const char* fen, int depth) {
  set_bench_position(fen);
  reset_for_repeatable_search();
  clear_pawn_hash();  // neither search finds the other's pawn entries
  search_limits.depth_limit = depth + 3;
  const u32 start = platform::tick_count();
  run_search_config(config);
  return Run{counted_nodes(), platform::tick_count() - start};
}

// Whether a clocked search of `fen` chooses configuration `config`.
bool belongs_to(SearchConfig config, const char* fen) {
  set_bench_position(fen);
  ConfigRequest req;
  req.depth_limit = kNoDepthLimit;
  req.node_limit = kNoNodeLimit;
  return choose_search_config(current_position, req) == config;
}

u64 per_second(u64 nodes, u32 ms) { return ms ? nodes * 1000 / ms : 0; }

}  // namespace

int main(int argc, char** argv) {
  const int depth = argc > 1 ? std::atoi(argv[1]) : 9;
  int fds[2];
  if (pipe(fds) == 0) dup2(fds[0], 0);
  std::vector<TtEntry> table((std::size_t{1} << 21) + 3);  // 32 MB
  tt_attach(table.data(), table.size());
  quiet = 1;
  process_team.process_count = 1;

  std::printf("%-26s %10s %8s %9s %10s %8s %9s\n", "configuration", "nodes", "ms", "nps", "general", "ms", "nps");
  u64 all = 0;
  for (const ClassPositions& c : kClasses) {
    Run own, general;
    for (const char* fen : c.fens) {
      if (!fen) continue;
      if (c.config != kConfigWorker && !belongs_to(c.config, fen))
        std::printf("(%s is not a %s position)\n", fen, search_config_tag(c.config));
      const Run a = search_with(c.config, fen, depth);
      const Run b = search_with(kConfigGeneral, fen, depth);
      own.nodes += a.nodes;
      own.ms += a.ms;
      general.nodes += b.nodes;
      general.ms += b.ms;
    }
    all += own.nodes;
    std::printf("%-26s %10" PRIu64 " %8" PRIu32 " %9" PRIu64 " %10" PRIu64 " %8" PRIu32 " %9" PRIu64 "\n",
                search_config_tag(c.config), own.nodes, own.ms, per_second(own.nodes, own.ms), general.nodes,
                general.ms, per_second(general.nodes, general.ms));
  }
  std::printf("depth %d\n", depth);
  std::printf("nodes %" PRIu64 "\n", all);
  return 0;
}
