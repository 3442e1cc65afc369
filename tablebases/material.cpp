// The material lookup as a table: each side's material (at most four men
// besides the king) has a dense number, and a class value is kept per pair of
// those numbers.
#include "tablebases/material.h"

#include <bit>

namespace orvex {
namespace {

constexpr u32 kMaxMen = 4;
constexpr u32 kPacked = 5 * 5 * 5 * 5 * 5;  // counts 0..4 of five kinds
constexpr u8 kNoSide = 255;

struct SideNumbers {
  u8 id[kPacked];
  u32 count;
};

// Dense numbers of the materials of at most four men, by packed counts.
constexpr SideNumbers build_side_numbers() {
  SideNumbers n{};
  for (u32 packed = 0; packed < kPacked; ++packed) {
    u32 men = 0;
    for (u32 v = packed; v; v /= 5) men += v % 5;
    n.id[packed] = men <= kMaxMen ? static_cast<u8>(n.count++) : kNoSide;
  }
  return n;
}

constexpr SideNumbers kSides = build_side_numbers();
constexpr u32 kSideMaterials = 126;
static_assert(kSides.count == kSideMaterials);

i16 class_values[kSideMaterials][kSideMaterials];

// kNoSide when some count exceeds four or the side has more than four men.
u32 side_number(const u32 counts[5]) {
  u32 packed = 0;
  for (int t = kQueen; t >= static_cast<int>(kPawn); --t) {
    if (counts[t] > kMaxMen) return kNoSide;
    packed = packed * 5 + counts[t];
  }
  return kSides.id[packed];
}

void counts_of_name(const char* name, u32 first[5], u32 second[5]) {
  u32* side = nullptr;
  for (const char* c = name; *c; ++c) {
    if (*c == 'k') {
      side = side == nullptr ? first : second;
      continue;
    }
    const PieceType t = *c == 'n' ? kKnight : *c == 'b' ? kBishop : *c == 'r' ? kRook : *c == 'q' ? kQueen : kPawn;
    ++side[t];
  }
}

}  // namespace

void clear_material_classes() {
  for (auto& row : class_values) {
    for (i16& v : row) v = 0;
  }
}

bool insert_material_class(const TbClassDescriptor& d) {
  u32 first[5] = {}, second[5] = {};
  counts_of_name(d.name, first, second);
  u32 men = 0;
  for (u32 t = 0; t < 5; ++t) men += first[t] + second[t];
  const u32 a = side_number(first), b = side_number(second);
  if (men > kMaxMen || a == kNoSide || b == kNoSide) return false;
  class_values[a][b] = static_cast<i16>(d.class_id);
  if (!(d.flags & kTbSymmetric)) class_values[b][a] = static_cast<i16>(-d.class_id);
  return true;
}

i32 tb_material_class(const u32 white[5], const u32 black[5]) {
  const u32 a = side_number(white), b = side_number(black);
  if (a == kNoSide || b == kNoSide) return 0;
  return class_values[a][b];
}

void tb_piece_lists(const Position& p, TbPieceList* white, TbPieceList* black) {
  TbPieceList* lists[2] = {white, black};
  for (Colour c = kWhite; c <= kBlack; ++c) {
    for (PieceType t = kPawn; t <= kQueen; ++t) {
      u32 slot = tb_first_slot(t);
      for (u64 b = p.piece_bb[2 * t + c]; b && slot < tb_first_slot(t) + 3; b &= b - 1) {
        lists[c]->sq[slot++] = static_cast<Square>(std::countr_zero(b));
      }
    }
    lists[c]->sq[kTbKingSlot] = static_cast<Square>(std::countr_zero(p.piece_bb[2 * kKing + c] | (u64{1} << 63)));
  }
}

bool tb_locate(const Position& p, TbProbeTarget* out) {
  u32 counts[2][5];
  for (Colour c = kWhite; c <= kBlack; ++c) {
    for (PieceType t = kPawn; t <= kQueen; ++t) {
      counts[c][t] = static_cast<u32>(std::popcount(p.piece_bb[2 * t + c]));
    }
  }
  const i32 v = tb_material_class(counts[kWhite], counts[kBlack]);
  if (v == 0) return false;
  const bool white_first = v > 0;
  out->class_id = white_first ? v : -v;
  out->flip = white_first ? 0 : 1;
  out->side = (p.side_to_move == kBlack) == white_first ? 1 : 0;
  out->ep = p.state.ep_square != 0 ? p.state.ep_square : kTbNoEnPassant;
  tb_piece_lists(p, white_first ? &out->first : &out->second, white_first ? &out->second : &out->first);
  return true;
}

}  // namespace orvex
