// A slow, plain numbering of tablebase positions, written rule by rule and kept
// apart from the engine's index functions so that the two can be compared.
// Every table is counted out with loops when first used (open squares, king
// pairs, block offsets); the symmetry steps are applied one at a time; each
// class family keeps its own digit order.  It serves the tests only: one call
// costs microseconds, not nanoseconds.
#pragma once
#include <array>
#include <random>
#include <string>
#include <vector>

#include "position/types.h"

namespace orvex::tbref {

// One side's men as they stand on the board, by piece type (pawn 0 .. queen 4).
struct SideMen {
  Square king = 0;
  std::array<std::vector<Square>, 5> men;

  int count() const;
};

// A position of a material class as the index functions see it: the class's
// first and second side (whatever their colours), who is to move, whether the
// first side is Black, and the en-passant square as on the board (127: none).
struct RefPosition {
  std::string name;  // class name, "kqkr"
  SideMen first, second;
  int side = 0;  // 0: the first side is to move, 1: the second side
  int flip = 0;  // 1 when the first side is Black
  u32 ep = 127;
};

// The men of a class name: counts[side][type] for the first (0) and second (1)
// side.  False when the name is no class name of up to four men besides the kings.
bool class_men(const std::string& name, std::array<std::array<int, 5>, 2>* counts);

// The position's number in the table of its class and side to move.
// Returns kRefBad when the position breaks the contract in a way the
// numbering notices (a man on a square closed to it, a missing capturer).
constexpr u64 kRefBad = ~u64{0};
u64 reference_index(const RefPosition& p);

// The size of the whole numbering of a class and side to move, en-passant
// numbers included.
u64 reference_range(const std::string& name, int side);

// Whether the position can arise in play as the index functions require it:
// kings apart, men on distinct squares, pawns on ranks 2-7, the side not to
// move not in check, and, with an en-passant square, a pawn of the mover
// beside the pawn that has just advanced two squares, with the square passed
// over and the start square empty.
bool is_legal(const RefPosition& p);

// Whether any pawn of the side to move could capture en passant on ep.
bool ep_possible(const RefPosition& p, u32 ep);

// A random legal position of the class with the given side to move, with an
// en-passant square when want_ep is set (the class must have pawns on both
// sides).  Kings are now and then put on the long diagonals and the edges,
// where the symmetry rules have their special cases.
RefPosition random_position(const std::string& name, int side, bool want_ep, std::mt19937_64& rng);

// The sixteen list slots the index functions read: pawns 0-2, knights 3-5,
// bishops 6-8, rooks 9-11, queens 12-14, king 15; unused slots hold filler.
std::array<u32, 16> piece_list(const SideMen& s, u32 filler = 0);

}  // namespace orvex::tbref

namespace orvex::tbref {

// The largest number that a legal position of the class gets with this side
// to move (so the table's count is this plus one).  The largest numbers belong
// to the last king pair of the numbering, so the kings are fixed on the pairs
// that can be the last one after the frame steps (d4-h8 without pawns, d8-h8
// and d1-h1 with pawns) and every placement of the other men is tried, with
// every en-passant square it allows.  Six-man classes without pawns search
// the mover's men first and the other side's only for the highest blocks.
u64 largest_legal_number(const std::string& name, int side);

}  // namespace orvex::tbref
