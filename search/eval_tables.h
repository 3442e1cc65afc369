// Constant tables of the static evaluation (fine units; ranks counted 0..7
// from the owner's side).
#pragma once
#include "position/tables.h"
#include "position/types.h"

namespace orvex {

// King-attack weight by the number of attackers on the king zone.
extern const Table<i32, 16> king_attack_weight;

extern const Table<i32, 8> passed_mg;
extern const Table<i32, 8> passed_eg;
extern const Table<i32, 8> passed_free_own;
extern const Table<i32, 8> passed_free_their;
extern const Table<i32, 8> passed_safe;
extern const Table<i32, 8> passed_own_king;
extern const Table<i32, 8> passed_their_king;

struct PhaseWeight {
  i32 mg, eg;
};
extern const Table<PhaseWeight, 65> phase_weights;  // (256 - 4p, 4p)

// Chebyshev distance.
extern const Table2<u8, 64, 64> square_distance;
// [colour][pawn square][side to move]: squares from which the enemy king
// cannot catch the pawn.
extern const Table3<u64, 2, 64, 2> unstoppable_zone;
// [colour][pawn square]: squares from which the own king escorts the pawn.
extern const Table2<u64, 2, 64> key_squares;
// [colour][pawn square]: the square in front of the pawn (the pawn's own square
// on the last rank, which no real pawn stands on).
extern const Table2<u8, 2, 64> pawn_front;

constexpr u64 kLightSquares = 0x55AA55AA55AA55AAull;
constexpr u64 kDarkSquares = 0xAA55AA55AA55AA55ull;
constexpr u64 kFileA = 0x0101010101010101ull;
constexpr u64 kFileH = 0x8080808080808080ull;
constexpr u64 kRank1 = 0xFFull;
constexpr u64 kRank2 = 0xFF00ull;
constexpr u64 kRank7 = 0xFFull << 48;
constexpr u64 kRank8 = 0xFFull << 56;

}  // namespace orvex
