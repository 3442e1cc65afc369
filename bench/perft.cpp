// Perft speed: bench_perft [depth] [FEN...] prints the node count, the time and
// the nodes per second of a move-path count through the engine's generators,
// make/unmake and legality test.  Without arguments: the start position, depth 6.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "position/fen.h"
#include "position/perft.h"

int main(int argc, char** argv) {
  using namespace orvex;
  int depth = argc > 1 ? std::atoi(argv[1]) : 6;
  std::string fen;
  for (int i = 2; i < argc; ++i) fen += std::string(i > 2 ? " " : "") + argv[i];
  if (fen.empty()) fen = kStartFen;
  parse_fen(fen.c_str());
  auto start = std::chrono::steady_clock::now();
  u64 nodes = perft(depth);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("depth %d nodes %" PRIu64 " time %.3f s nps %.0f\n", depth, nodes, seconds,
              seconds > 0 ? double(nodes) / seconds : 0.0);
  std::printf("fen %s\n", fen.c_str());
  return 0;
}
