// Material class lookup: which tablebase class covers the material on the
// board, and whether White or Black is its first-named side; and the piece
// lists, class, side and flip of a position as the index functions take them.
#pragma once
#include "position/position.h"
#include "tablebases/tb_types.h"

namespace orvex {

// Forgets every class entered; the lookup then finds nothing.
void clear_material_classes();

// Enters a class: its material with White as the first-named side gives
// +class_id, with Black as the first-named side (unless the class is
// symmetric) -class_id.  False when the material has more than four men
// besides the kings.
bool insert_material_class(const TbClassDescriptor& d);

// Class value of the material given as counts by PieceType (pawn .. queen)
// for White and Black: class number with White first, minus the class number
// with Black first, 0 when no entered class has that material.
i32 tb_material_class(const u32 white[5], const u32 black[5]);

// The squares of each colour's men, as the index functions read them.
void tb_piece_lists(const Position& p, TbPieceList* white, TbPieceList* black);

// What an index function needs for a position: the class, the table side
// (0 when the class's first-named side is to move), both lists with the
// first-named side's in `first`, the en-passant argument and the flip.
struct TbProbeTarget {
  i32 class_id;
  u32 side;
  i32 flip;
  u32 ep;
  TbPieceList first;
  TbPieceList second;
};

// Fills `out` and returns true when an entered class covers the position's
// material; false (and `out` unspecified) otherwise.
bool tb_locate(const Position& p, TbProbeTarget* out);

// The position's number in its class's table for its side to move.
inline u64 tb_index(const TbProbeTarget& t) {
  return tb_class_descriptors[t.class_id].index_fn[t.side](&t.first, &t.second, t.ep, t.flip);
}

}  // namespace orvex
