// Perft speed: bench_perft [divide] [depth] [FEN...] prints the node count, the
// time and the nodes per second of a move-path count through the engine's
// generators, make/unmake and legality test (every move of the last ply is made
// and tested too).  "divide" first also prints each root move's count.  Without
// arguments: the start position, depth 6.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "position/fen.h"
#include "position/move_text.h"
#include "position/perft.h"

int main(int argc, char** argv) {
  using namespace orvex;
  int arg = 1;
  const bool divide = argc > arg && std::strcmp(argv[arg], "divide") == 0;
  if (divide) ++arg;
  const int depth = argc > arg ? std::atoi(argv[arg++]) : 6;
  std::string fen;
  for (; arg < argc; ++arg) {
    if (!fen.empty()) fen += ' ';
    fen += argv[arg];
  }
  if (fen.empty()) fen = kStartFen;
  parse_fen(fen.c_str());

  const auto start = std::chrono::steady_clock::now();
  u64 nodes = 0;
  if (divide && depth > 0) {
    SearchMove moves[kMaxMoves];
    generate_all_moves(moves);
    const Colour mover = current_position.side_to_move;
    for (const SearchMove* m = moves; *m; ++m) {
      UndoRecord u;
      make_move(*m, u);
      if (!king_attacked(mover)) {
        const u64 n = perft(depth - 1);
        char text[6];
        move_to_text(*m, text);
        std::printf("%s %" PRIu64 "\n", text, n);
        nodes += n;
      }
      unmake_move(*m, u);
    }
  } else {
    nodes = perft(depth);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("depth %d nodes %" PRIu64 " time %.3f s nps %.0f\n", depth, nodes, seconds,
              seconds > 0 ? double(nodes) / seconds : 0.0);
  std::printf("fen %s\n", fen.c_str());
  return 0;
}
