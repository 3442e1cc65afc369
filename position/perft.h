// Move-path enumeration (perft) through the engine's own generators,
// make/unmake and legality test.
#pragma once
#include "position/all_moves.h"
#include "position/make_move.h"

namespace orvex {

// Number of legal move paths of the given depth: every move is made, tested for
// the mover's king and taken back, also at the last ply.
template <class B = GeneralBoard>
inline u64 perft(int depth) {
  if (depth <= 0) return 1;
  SearchMove moves[kMaxMoves];
  generate_all_moves<B>(moves);
  const Colour mover = current_position.side_to_move;
  u64 nodes = 0;
  for (const SearchMove* m = moves; *m; ++m) {
    UndoRecord u;
    make_move<B>(*m, u);
    if (!king_attacked(mover)) nodes += perft<B>(depth - 1);
    unmake_move<B>(*m, u);
  }
  return nodes;
}

}  // namespace orvex
