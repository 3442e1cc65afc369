// Zobrist keys, material index and balance, and the piece-square table: the
// constants behind the incrementally kept fields of PositionState.
#pragma once
#include "position/position.h"
#include "position/tables.h"
#include "position/types.h"

namespace orvex {

// Key of each piece code - 2 on each square.
extern const Table2<u64, 12, 64> piece_keys;
// Key of each whole castling-rights value; XOR-linear, entry 0 is 0, so a change
// of rights from a to b is applied as XOR castle_keys[a ^ b].
extern const Table<u64, 16> castle_keys;
// Key of the file of the en-passant square.
extern const Table<u64, 8> ep_keys;
// XORed into the key when white is to move.
constexpr u64 kSideKey = 0x2b5f86b85a7d3e98;
// Start value of every pawn key; equal to the white pawn's key on a1.
constexpr u64 kPawnKeySeed = 0x27c06528b11258b9;

// Weight of one piece (code - 2) in the material index: a mixed-radix count
// wQ + 2 bQ + 4 wR + 12 bR + 36 wB + 108 bB + 324 wN + 972 bN + 2916 wP + 26244 bP.
constexpr Table<u32, 12> material_index_weight = {2916, 26244, 324, 972, 36, 108, 4, 12, 1, 2, 0, 0};
// Material in pawn units per piece (code - 2), positive for white.
constexpr Table<i32, 12> material_value = {1, -1, 3, -3, 3, -3, 5, -5, 10, -10, 0, 0};

// Middlegame and endgame values of a piece (code - 2) on a square; black values
// are the negated white values of the vertically mirrored square.
struct PstPair {
  i16 mg;
  i16 eg;
};
extern const Table2<PstPair, 12, 64> piece_square_table;

// Key of a piece code on a square, 0 for an empty square (or any non-piece code).
inline u64 piece_key(PieceCode code, Square s) { return code - 2 < 12u ? piece_keys[code - 2][s] : 0; }

u64 compute_zobrist_key(const Position& p);
u64 compute_pawn_key(const Position& p);
u32 compute_material_index(const Position& p);
i32 compute_material_balance(const Position& p);

}  // namespace orvex
