// The check that the root position is one a search can work on.
#pragma once
#include "position/position.h"

namespace orvex {

// Tests of the record alone: side to move, castling rights against kings and
// rooks, a possible en-passant square, fifty against the key history, keys
// and material fields against a recomputation, one king a side, and material
// that can occur in a game (at most 16 men and 8 pawns a side, no pawn on the
// first or last rank).
bool validate_root_record(const Position& p);

// validate_root_record on current_position, then the evaluation: it
// evaluates the root into the ply-0 record and returns the squares attacked
// by the side to move; the side not to move must not be in check.  Each
// program passes its own evaluation.
template <class EvaluateRoot>
bool validate_root_position(EvaluateRoot&& evaluate_root) {
  if (!validate_root_record(current_position)) return false;
  const Colour them = current_position.side_to_move ^ 1;
  const u64 their_king = current_position.piece_bb[make_piece(kKing, them) - 2];
  const u64 attacked = evaluate_root();
  return (attacked & their_king) == 0;
}

}  // namespace orvex
