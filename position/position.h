// The position record of a process and its state block.
#pragma once
#include "position/types.h"

namespace orvex {

// The block that make saves whole and unmake restores whole.
struct PositionState {
  CastlingRights castling;
  u32 ep_square;       // en-passant target square, 0 for none
  u32 fifty;           // plies since the last capture, pawn move or castling
  u32 history_count;   // number of keys in key_history
  i32 pst_mg;          // piece-square sums, white minus black
  i32 pst_eg;
  u64 key;             // Zobrist key
  u64 pawn_key;
  u32 material_index;
  i32 material_balance;  // pawn units, white minus black
  PieceCode captured;    // only meaningful in an UndoRecord
};

using UndoRecord = PositionState;

struct NullMoveUndo {
  u32 ep_square;
  u32 fifty;
  u64 key;
};

// Keys of earlier positions for repetition tests.  The position command keeps
// only the keys a repetition test can reach, so that the deepest search line
// always fits behind them.
constexpr u32 kKeyHistorySize = 1024;

struct Position {
  PieceCode board[64];
  u64 colour_bb[2];
  u64 piece_bb[12];       // index code - 2
  u64 occupied;
  u64 occ_files;          // files as bytes, eighth rank in the low bit
  u64 occ_diag_a8h1;      // diagonals with file + rank constant, packed
  u64 occ_diag_a1h8;      // diagonals with (7 - file) + rank constant, packed
  Colour side_to_move;
  PositionState state;
  u64 key_history[kKeyHistorySize];
};

// The one position of the process, changed in place by make and unmake.
extern Position current_position;

// Keys that the moves of a position command may leave in key_history; the rest
// of the array is room for the deepest search line.
constexpr u32 kRootHistoryLimit = kKeyHistorySize - 256;

// Recomputes every derived field (bitboards, rotated occupancies, piece-square
// sums, keys, material index and balance) from board, side_to_move, castling
// and ep_square.  Leaves board, side_to_move, castling, ep_square, fifty,
// history_count, captured and key_history alone.
void rebuild_position(Position& p);

// Keeps only the keys a repetition test can still reach (the last `fifty`),
// and never more than half of kRootHistoryLimit; fifty is lowered to the number
// of keys kept when it is larger (it stays at 100 or more when it was, so the
// fifty-move rule reads the same).
void trim_key_history(Position& p);

}  // namespace orvex
