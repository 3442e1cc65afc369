// Pawn structure scores and king-shelter values, cached by pawn key in the
// per-process pawn hash table.
#pragma once
#include "position/tables.h"
#include "position/types.h"

namespace orvex {

// One cached pawn structure (24 bytes).  An entry whose key_high matches the
// pawn key holds every field computed for that structure.
struct PawnHashEntry {
  u32 key_high;      // pawn_key >> 32
  i16 score_mg;      // structure score, white minus black, fine units
  i16 score_eg;
  u16 shelter[6];    // king-shelter penalties: white's zones a-c, d-e, f-h, then black's
  u8 passed_white;   // bit f: file f holds a white passed pawn
  u8 passed_black;
  u8 scale_up;       // pulls a score favouring white toward a draw (white's pawns)
  u8 scale_down;     // the same for a score favouring black (black's pawns)
};
static_assert(sizeof(PawnHashEntry) == 24);

constexpr u32 kPawnHashEntries = 1u << 19;
constexpr u64 kPawnHashMask = kPawnHashEntries - 1;

// The table of the process (12 MB), valid from start-up.
extern PawnHashEntry pawn_hash_table[kPawnHashEntries];

// Called by the process entry at start-up: makes the table ready (zeroed,
// pages touched).  Always succeeds: the table's storage is static.
bool allocate_pawn_hash();
// Zeroes every entry ("ucinewgame", "Clear Hash").
void clear_pawn_hash();

inline PawnHashEntry* pawn_hash_slot(u64 pawn_key) { return &pawn_hash_table[pawn_key & kPawnHashMask]; }

inline void prefetch_pawn_hash(u64 pawn_key) {
  const char* p = reinterpret_cast<const char*>(pawn_hash_slot(pawn_key));
  __builtin_prefetch(p);
  __builtin_prefetch(p + 32);
}

// Computes every field of the entry for the given pawn sets (no table access).
void compute_pawn_entry(u64 white_pawns, u64 black_pawns, PawnHashEntry& out);

// Computes and stores the entry of a pawn key that missed in the table.
PawnHashEntry* fill_pawn_entry(u64 pawn_key, u64 white_pawns, u64 black_pawns);

// The entry of a pawn key, computed and stored on a miss.  The pointer is
// into the table: read it before the next call.
inline PawnHashEntry* pawn_entry(u64 pawn_key, u64 white_pawns, u64 black_pawns) {
  PawnHashEntry* slot = pawn_hash_slot(pawn_key);
  if (slot->key_high == static_cast<u32>(pawn_key >> 32)) return slot;
  return fill_pawn_entry(pawn_key, white_pawns, black_pawns);
}

// The entry of current_position's pawn key (see pawn_entry).
PawnHashEntry* evaluate_pawn_structure();

// Masks shared with the evaluation ([colour][square]).
extern const Table2<u64, 2, 64> file_ahead;    // squares ahead of s on its file
extern const Table2<u64, 2, 64> passed_span;   // ahead on its file and the neighbour files

// King-shelter tables by 12-bit pawn pattern: bit 3 * (relative rank - 2) +
// (file - zone's left file), relative ranks 2 to 5.
extern const Table<u16, 4096> shelter_own;
extern const Table<u16, 4096> shelter_storm;

// Scaling byte by pawn count (0..8) and file spread (0..7).
extern const Table2<u8, 9, 8> scale_table;

// Zone of a king by its file: a-c 0, d-e 1, f-h 2.
constexpr u32 king_zone_of_file[8] = {0, 0, 0, 1, 1, 2, 2, 2};

}  // namespace orvex
