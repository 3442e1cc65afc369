// Board-layer speed: bench_layers [min-nodes] times, for each class board
// layer, a move-path count (generation, make, legality test, unmake, every
// move of the last ply made too) through the layer's generators and make move
// on positions of its material, beside the same count through the general
// functions on the same positions.  The depth of each position is the first at
// which the general count passes min-nodes (default 3000000); each count is
// run three times, alternating, and the fastest run is kept.  The layers leave
// out rook promotions, so their counts can be lower where a pawn promotes.
// A second table times the layer's evaluation beside the general one at every
// node of a walk through the same positions (the walk's own time taken off).
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "configs/board_layers.h"
#include "position/fen.h"
#include "position/perft.h"

namespace {

using namespace orvex;

struct ClassPositions {
  const char* name;
  const char* fens[3];
};

const ClassPositions kClasses[] = {
    {"pawn_ending",
     {"8/pp3k2/2p3p1/3pP2p/3P1P1P/2P3K1/PP6/8 w - -", "4k3/1P6/8/3pP3/8/8/5p2/4K3 w - d6",
      "8/5pk1/6p1/p1p4p/P1P4P/6P1/5PK1/8 b - -"}},
    {"queen_ending",
     {"3q2k1/5pp1/7p/8/8/6P1/5PKP/3Q4 w - -", "8/1P3k2/8/3q4/8/8/5QK1/8 w - -", "6k1/5p2/6p1/8/3Q4/6P1/1q3P1K/8 b - -"}},
    {"bishop_ending",
     {"4k3/2b2p2/1p2p3/p2pP3/P2P4/1P2B3/5PP1/6K1 w - -", "8/5k2/3bp1p1/1p1p3p/1P1P1P1P/3BK1P1/8/8 b - -",
      "8/1P3k2/4b3/8/8/3B4/5pK1/8 w - -"}},
    {"bishop_vs_knight_ending",
     {"4k3/2n2p2/1p2p3/p2pP3/P2P4/1P2B3/5PP1/6K1 w - -", "8/5k2/3np1p1/1p1p3p/1P1P1P1P/3BK1P1/8/8 b - -",
      "8/1P3k2/4n3/8/8/3B4/5pK1/8 w - -"}},
    {"knight_vs_bishop_ending",
     {"4k3/2b2p2/1p2p3/p2pP3/P2P4/1P2N3/5PP1/6K1 w - -", "8/5k2/3bp1p1/1p1p3p/1P1P1P1P/3NK1P1/8/8 b - -",
      "8/1P3k2/4b3/8/8/3N4/5pK1/8 w - -"}},
    {"knight_ending",
     {"4k3/2n2p2/1p2p3/p2pP3/P2P4/1P2N3/5PP1/6K1 w - -", "8/5k2/3np1p1/1p1p3p/1P1P1P1P/3NK1P1/8/8 b - -",
      "8/1P3k2/4n3/8/8/3N4/5pK1/8 w - -"}},
    {"rook_ending",
     {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", "3r2k1/5pp1/7p/8/8/6P1/5PKP/3R4 w - -",
      "8/1P3k2/8/4r3/8/8/1R3pK1/8 w - -"}},
    {"rook_bishop_ending",
     {"3r2k1/4bpp1/7p/8/8/4B1P1/5PKP/3R4 w - -", "8/2p5/3p4/KP1b3r/1R3p1k/4B3/4P1P1/8 w - -",
      "8/1P3k2/4b3/4r3/8/3B4/1R3pK1/8 w - -"}},
    {"rook_knight_ending",
     {"3r2k1/4npp1/7p/8/8/4N1P1/5PKP/3R4 w - -", "8/2p5/3p4/KP1n3r/1R3p1k/4N3/4P1P1/8 w - -",
      "8/1P3k2/4n3/4r3/8/3N4/1R3pK1/8 w - -"}},
};

template <class B>
double timed_perft(const char* fen, int depth, u64& nodes) {
  parse_fen(fen);
  const auto start = std::chrono::steady_clock::now();
  nodes = perft<B>(depth);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Totals {
  u64 nodes = 0;
  double seconds = 0;
};

template <class Layer>
void bench_class(const ClassPositions& cls, u64 min_nodes, Totals& general_total, Totals& layer_total) {
  Totals general, layer;
  for (const char* fen : cls.fens) {
    int depth = 1;
    u64 n = 0;
    while (depth < 12) {
      parse_fen(fen);
      n = perft(depth);
      if (n >= min_nodes) break;
      ++depth;
    }
    double best_general = 1e9, best_layer = 1e9;
    u64 general_nodes = 0, layer_nodes = 0;
    for (int run = 0; run < 3; ++run) {
      best_general = std::min(best_general, timed_perft<GeneralBoard>(fen, depth, general_nodes));
      best_layer = std::min(best_layer, timed_perft<typename Layer::Board>(fen, depth, layer_nodes));
    }
    general.nodes += general_nodes;
    general.seconds += best_general;
    layer.nodes += layer_nodes;
    layer.seconds += best_layer;
  }
  std::printf("%-24s general %10" PRIu64 " nodes %7.3f s %6.1f Mnps   layer %10" PRIu64
              " nodes %7.3f s %6.1f Mnps   time %+5.1f%%\n",
              cls.name, general.nodes, general.seconds, general.nodes / general.seconds / 1e6, layer.nodes,
              layer.seconds, layer.nodes / layer.seconds / 1e6, 100.0 * (layer.seconds / general.seconds - 1));
  general_total.nodes += general.nodes;
  general_total.seconds += general.seconds;
  layer_total.nodes += layer.nodes;
  layer_total.seconds += layer.seconds;
}

// Every evaluation's result is stored here, so that none is left out.
volatile i32 evaluation_sink;

// Walks every move path of the depth with the general functions and calls
// `visit` at every node.
template <class F>
u64 walk(int depth, F& visit) {
  visit();
  if (depth == 0) return 1;
  SearchMove moves[kMaxMoves];
  generate_all_moves(moves);
  const Colour mover = current_position.side_to_move;
  u64 nodes = 1;
  for (const SearchMove* m = moves; *m; ++m) {
    UndoRecord u;
    make_move(*m, u);
    if (!king_attacked(mover)) nodes += walk(depth - 1, visit);
    unmake_move(*m, u);
  }
  return nodes;
}

template <class F>
double timed_walk(const char* fen, int depth, F visit, u64& nodes) {
  parse_fen(fen);
  const auto start = std::chrono::steady_clock::now();
  nodes = walk(depth, visit);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <class Layer>
void bench_evaluation(const ClassPositions& cls, Totals& general_total, Totals& layer_total) {
  double general = 0, layer = 0;
  u64 nodes = 0;
  PlyRecord rec{};
  for (const char* fen : cls.fens) {
    double best_walk = 1e9, best_general = 1e9, best_layer = 1e9;
    u64 n = 0;
    for (int run = 0; run < 3; ++run) {
      best_walk = std::min(best_walk, timed_walk(fen, 4, [] {}, n));
      best_general = std::min(best_general, timed_walk(fen, 4, [&] { evaluation_sink = evaluate(rec) + rec.static_eval; }, n));
      best_layer =
          std::min(best_layer, timed_walk(fen, 4, [&] { evaluation_sink = Layer::evaluate(rec) + rec.static_eval; }, n));
    }
    nodes += n;
    general += best_general - best_walk;
    layer += best_layer - best_walk;
  }
  std::printf("%-24s %9" PRIu64 " evaluations   general %6.1f ns   layer %6.1f ns   time %+5.1f%%\n", cls.name,
              nodes, 1e9 * general / nodes, 1e9 * layer / nodes, 100.0 * (layer / general - 1));
  general_total.nodes += nodes;
  general_total.seconds += general;
  layer_total.nodes += nodes;
  layer_total.seconds += layer;
}

}  // namespace

int main(int argc, char** argv) {
  const u64 min_nodes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 3000000;
  Totals general, layer;
  bench_class<PawnEndingLayer>(kClasses[0], min_nodes, general, layer);
  bench_class<QueenEndingLayer>(kClasses[1], min_nodes, general, layer);
  bench_class<BishopEndingLayer>(kClasses[2], min_nodes, general, layer);
  bench_class<BishopVsKnightEndingLayer>(kClasses[3], min_nodes, general, layer);
  bench_class<KnightVsBishopEndingLayer>(kClasses[4], min_nodes, general, layer);
  bench_class<KnightEndingLayer>(kClasses[5], min_nodes, general, layer);
  bench_class<RookEndingLayer>(kClasses[6], min_nodes, general, layer);
  bench_class<RookBishopEndingLayer>(kClasses[7], min_nodes, general, layer);
  bench_class<RookKnightEndingLayer>(kClasses[8], min_nodes, general, layer);
  std::printf("%-24s general %10" PRIu64 " nodes %7.3f s %6.1f Mnps   layer %10" PRIu64
              " nodes %7.3f s %6.1f Mnps   time %+5.1f%%\n",
              "all", general.nodes, general.seconds, general.nodes / general.seconds / 1e6, layer.nodes,
              layer.seconds, layer.nodes / layer.seconds / 1e6, 100.0 * (layer.seconds / general.seconds - 1));

  std::printf("\nevaluation at every node of the depth-4 walks\n");
  Totals general_eval, layer_eval;
  bench_evaluation<PawnEndingLayer>(kClasses[0], general_eval, layer_eval);
  bench_evaluation<QueenEndingLayer>(kClasses[1], general_eval, layer_eval);
  bench_evaluation<BishopEndingLayer>(kClasses[2], general_eval, layer_eval);
  bench_evaluation<BishopVsKnightEndingLayer>(kClasses[3], general_eval, layer_eval);
  bench_evaluation<KnightVsBishopEndingLayer>(kClasses[4], general_eval, layer_eval);
  bench_evaluation<KnightEndingLayer>(kClasses[5], general_eval, layer_eval);
  bench_evaluation<RookEndingLayer>(kClasses[6], general_eval, layer_eval);
  bench_evaluation<RookBishopEndingLayer>(kClasses[7], general_eval, layer_eval);
  bench_evaluation<RookKnightEndingLayer>(kClasses[8], general_eval, layer_eval);
  std::printf("%-24s %9" PRIu64 " evaluations   general %6.1f ns   layer %6.1f ns   time %+5.1f%%\n", "all",
              general_eval.nodes, 1e9 * general_eval.seconds / general_eval.nodes,
              1e9 * layer_eval.seconds / layer_eval.nodes, 100.0 * (layer_eval.seconds / general_eval.seconds - 1));
  return 0;
}
