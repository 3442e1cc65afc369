// The material table: one 64-bit entry of material knowledge per material
// signature, read once by every evaluation.
#pragma once
#include "position/types.h"

namespace orvex {

// Entry layout, by bit position:
//   0-7   draw flags, 8-15 king-attack flags, 16-23 phase (0..64),
//   24-31 material-only switch (0 or 1), 32-63 score (i32, fine units).
using MaterialEntry = u64;

constexpr u32 kMatDrawPatterns = 0x20;     // rook-pawn / wrong-bishop test applies
constexpr u32 kMatOppositeBishops = 0x80;  // halve when the bishops differ in colour
constexpr u32 kMatWhiteAttacks = 0x80;     // white's king attack and black's shelter count
constexpr u32 kMatBlackAttacks = 0x08;

// Fine units per pawn of material_balance in the material score.
constexpr i32 kMaterialPawnWeight = 3399;

constexpr u32 kMaterialTableSize = 1u << 18;
constexpr u32 kMaterialIndexMask = kMaterialTableSize - 1;

inline u32 mat_draw_flags(MaterialEntry e) { return static_cast<u32>(e & 0xFF); }
inline u32 mat_king_attack_flags(MaterialEntry e) { return static_cast<u32>((e >> 8) & 0xFF); }
inline u32 mat_phase(MaterialEntry e) { return static_cast<u32>((e >> 16) & 0xFF); }
inline u32 mat_material_only(MaterialEntry e) { return static_cast<u32>((e >> 24) & 0xFF); }
inline i32 mat_score(MaterialEntry e) { return static_cast<i32>(static_cast<u32>(e >> 32)); }

constexpr MaterialEntry make_material_entry(u32 draw_flags, u32 king_attack_flags, u32 phase,
                                            u32 material_only, i32 score) {
  return static_cast<u64>(draw_flags & 0xFF) | (static_cast<u64>(king_attack_flags & 0xFF) << 8) |
         (static_cast<u64>(phase & 0xFF) << 16) | (static_cast<u64>(material_only & 0xFF) << 24) |
         (static_cast<u64>(static_cast<u32>(score)) << 32);
}

// The material score of an entry for a given balance: fine units, white's view.
inline i32 material_score(MaterialEntry e, i32 material_balance) {
  return mat_score(e) + kMaterialPawnWeight * material_balance;
}

// Piece counts of a material index, digit by digit (white, black).
struct MaterialCounts {
  u32 queens[2], rooks[2], bishops[2], knights[2], pawns[2];
};
MaterialCounts decode_material_index(u32 index);

// The process-wide table, built before main runs and never written after.
extern MaterialEntry material_table[kMaterialTableSize];

// Builds the whole table into `out` (kMaterialTableSize entries).  The second
// edition starts from this and changes its own copy's draw bits.
void build_material_table(MaterialEntry* out);

}  // namespace orvex
