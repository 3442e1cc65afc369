// Types shared by the tablebase index functions, the class descriptors and
// their callers: the piece lists handed to an index function, its signature,
// and the constant descriptor of each material class.
#pragma once
#include <array>

#include "position/types.h"

namespace orvex {

// The squares of one side's men, in fixed slots: three per kind (pawns 0-2,
// knights 3-5, bishops 6-8, rooks 9-11, queens 12-14) and the king in 15.
// A kind of PieceType t starts at slot 3 * t.  Slots beyond a kind's count are
// never read; the order of like men within their slots does not matter.
struct TbPieceList {
  Square sq[16];
};
constexpr u32 kTbKingSlot = 15;
constexpr u32 tb_first_slot(PieceType t) { return 3 * t; }

// The en-passant argument when the side to move has no capture en passant.
constexpr u32 kTbNoEnPassant = 127;

// Number of a position in the table of its class and side to move.
// `first` holds the men of the class's first-named side, `second` those of the
// other side, both with squares as on the board; `ep` is the en-passant target
// square when the side to move can capture en passant, else kTbNoEnPassant;
// `flip` is 0 when the first-named side is White, 1 when it is Black.
// Defined for legal positions of the class only; pure, no failure result.
using TbIndexFn = u64 (*)(const TbPieceList* first, const TbPieceList* second, u32 ep, i32 flip);

// Descriptor flags.
constexpr u32 kTbSymmetric = 1;      // both sides have the same men; one table serves both
constexpr u32 kTbTwoByteValues = 2;  // two bytes per position, else one
constexpr u32 kTbSplit = 4;          // each side's table is stored in extents of 2^31 bytes

constexpr i32 kTbClassCount = 441;  // class 0 is the placeholder "kk"

// The constant part of a class: its number, flags, index functions (side 0:
// first-named side to move, side 1: second-named side to move), name and the
// number of positions of each side's table.
struct TbClassDescriptor {
  i32 class_id;
  u32 flags;
  TbIndexFn index_fn[2];
  char name[8];
  u64 position_count[2];
};

// All classes by number; class 0 has no index functions and counts 0.
extern const std::array<TbClassDescriptor, kTbClassCount> tb_class_descriptors;

}  // namespace orvex
