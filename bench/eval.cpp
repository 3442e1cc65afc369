// Evaluation speed: evaluations per second over a fixed set of positions,
// the full path and the lazy (material-only) path measured apart, plus the
// attack maps alone and the pawn-structure computation of a pawn-hash miss.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "position/fen.h"
#include "position/position.h"
#include "search/evaluate.h"
#include "search/search_stack.h"

using namespace orvex;

namespace {

const char* const kPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ -",
    "r2q1rk1/1b2bppp/p2ppn2/1p6/3NP3/1BN1B3/PPP2PPP/R2Q1RK1 b - -",
    "2rq1rk1/pp1bppbp/3p1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "6k1/5ppp/8/8/8/8/B4PPP/6K1 w - -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "4k3/pp6/3b4/8/8/3B4/PPP5/4K3 w - -",
    "2kr3r/ppp2ppp/2n5/3q4/3P4/2P2N2/PP3PPP/R2QR1K1 w - -",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BPP2/2N2B2/PPP3PP/R2Q1R1K w - -",
    "8/8/4k3/3p4/3P4/4K3/8/8 w - -",
    "5rk1/pp3ppp/8/3R4/8/8/PP3PPP/6K1 b - -",
    "r5k1/5ppp/8/8/8/8/5PPP/1R4K1 w - -",
    "3r2k1/pp3pp1/2p4p/8/2P5/1P3N2/P4PPP/3R2K1 w - -",
};
constexpr int kCount = sizeof(kPositions) / sizeof(kPositions[0]);

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

template <class F>
double per_second(int repeats, F&& body) {
  long long done = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < kCount; ++i) {
    parse_fen(kPositions[i]);
    for (int k = 0; k < repeats; ++k) body();
    done += repeats;
  }
  return static_cast<double>(done) / seconds_since(t0);
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::atoi(argv[1]) : 200000;
  PlyRecord rec{};
  volatile i32 sink = 0;
  allocate_pawn_hash();

  lazy_low = -100000;
  lazy_high = 100000;
  per_second(1000, [&] { evaluate(rec); });  // warm the pawn hash and caches
  const double full = per_second(repeats, [&] {
    evaluate(rec);
    sink = sink + rec.static_eval;
  });

  lazy_low = 100000;
  lazy_high = -100000;
  const double lazy = per_second(repeats, [&] {
    evaluate(rec);
    sink = sink + rec.static_eval;
  });

  const double attacks = per_second(repeats, [&] { sink = sink + compute_attacks(rec); });

  PawnHashEntry entry{};
  const double pawns = per_second(repeats, [&] {
    compute_pawn_entry(current_position.piece_bb[kWhitePawn - 2], current_position.piece_bb[kBlackPawn - 2], entry);
    sink = sink + entry.score_mg;
  });

  std::printf("positions                 %d x %d evaluations\n", kCount, repeats);
  std::printf("full path (pawn hash hit) %.2f M evals/s\n", full / 1e6);
  std::printf("lazy path                 %.2f M evals/s\n", lazy / 1e6);
  std::printf("attack maps alone         %.2f M calls/s\n", attacks / 1e6);
  std::printf("pawn structure (miss)     %.2f M structures/s\n", pawns / 1e6);
  return 0;
}
