// The transposition table: one table of 16-byte entries shared by every
// process of the engine through a shared mapping, read and written with plain
// loads and stores and no locks.
//
// The memory is owned by the worker team (core/worker_team.h), which creates
// or opens the mapping and hands it over with tt_attach.  A rebuild of the
// team (Hash or Max CPUs changed, possibly by a line read while a search
// polls its input) replaces the memory, so NO POINTER INTO THE TABLE MAY BE
// HELD ACROSS A CALL THAT CAN POLL INPUT: probe again after such a call.
#pragma once
#include <cstddef>
#include <cstdint>

#include "position/position.h"
#include "position/types.h"
#include "search/search_stack.h"

namespace orvex {

// One entry.  This is a memory format shared between processes; its layout
// is fixed to the byte (little-endian).
struct TtEntry {
  u32 key_high;     // upper 32 bits of the position key
  u16 move;         // SearchMove stored with the greatest move_depth, 0 = none
  u8 depth;         // greatest depth stored; bit 7 marks a mate-class score
  u8 age;           // current_age of the last store or probe hit
  i16 lower;        // lower bound, mate scores relative to the position
  i16 upper;        // upper bound
  u8 move_depth;    // depth at which move was stored
  u8 flags;         // TtFlags
  u8 lower_depth;   // 0 = no lower bound
  u8 upper_depth;   // 0 = no upper bound
};
static_assert(sizeof(TtEntry) == 16);
static_assert(offsetof(TtEntry, key_high) == 0);
static_assert(offsetof(TtEntry, move) == 4);
static_assert(offsetof(TtEntry, depth) == 6);
static_assert(offsetof(TtEntry, age) == 7);
static_assert(offsetof(TtEntry, lower) == 8);
static_assert(offsetof(TtEntry, upper) == 10);
static_assert(offsetof(TtEntry, move_depth) == 12);
static_assert(offsetof(TtEntry, flags) == 13);
static_assert(offsetof(TtEntry, lower_depth) == 14);
static_assert(offsetof(TtEntry, upper_depth) == 15);

// Bits of TtEntry::flags.
using TtFlags = u8;
constexpr TtFlags kTtLowerTypeClear = 0x01;  // lower bound from a node with its type bit clear
constexpr TtFlags kTtUpperTypeSet = 0x02;    // upper bound from a node with its type bit set
constexpr TtFlags kTtProbed = 0x04;          // the probe search has run for this position
constexpr TtFlags kTtProbeHigh = 0x08;       // ... and scored well above beta
// The lower (upper) bound was stored by a search that scores mates without
// their distance (the workers and the ending searches: a flat +-31000, and
// other mates as found, not counted on by ply), so a mate-class value in it
// carries no distance that a search counting mates by ply could use.
constexpr TtFlags kTtLowerFlatMate = 0x10;
constexpr TtFlags kTtUpperFlatMate = 0x20;

// Bit 7 of a stored depth: the score is mate-class (or a tablebase result).
constexpr u8 kTtMateClassDepth = 128;
// Depths are clamped to this before bit 7 is added.
constexpr i32 kTtMaxDepth = 127;

// A bucket: the four consecutive entries from index (key & index_mask).
// Buckets start at even indexes and overlap by two entries.
constexpr u32 kTtBucketSize = 4;
using TtBucket = TtEntry*;

struct TranspositionTable {
  TtEntry* entries = nullptr;  // view of the shared mapping
  u32 entry_count = 0;         // N + 3
  u64 index_mask = 0;          // N - 2
};
extern TranspositionTable tt;

// Ages and replacement weights, one set per process (not shared).
extern u32 current_age;                  // 0..63
using AgeWeights = u32[64];
extern AgeWeights age_weights;           // ((current_age - a) mod 64 + 1) * 256
// The Preserve Analysis rule of the general configuration's stores: set by
// the option handler, read by the victim choice.
extern bool tt_preserve_analysis;

// Hands the table memory to this module: `memory` holds entry_count entries,
// entry_count = N + 3 with N a power of two (at least 4).  Nothing is zeroed.
void tt_attach(void* memory, u64 entry_count);
// Forgets the memory (the table is then empty: every probe misses, stores
// are dropped).
void tt_detach();
// Zeroes every entry.
void tt_zero();
// Recomputes age_weights from current_age.
void compute_age_weights();
// current_age := 0 and the weights recomputed (set-up, Clear Hash).
void reset_tt_ages();
// current_age raised by 1 modulo 64 and the weights recomputed (search start).
void advance_tt_age();

// Whether a stored bound's value is a mate-class score without a distance:
// marked as stored by a search without mate distances, or shown so by the
// value itself.  Every mate that a search counting plies stores lies at most
// kMaxSearchPly plies from its node, and every tablebase mate beyond
// kTbScoreThreshold, so a value from 31000 to 31700 is a flat mate whatever
// the flags say: entries are written without locks, and when a worker's flat
// store and a store of the general search meet in one entry, the value of
// the one can stay beside the unmarked flags of the other.
constexpr bool is_flat_mate(i32 value, bool marked) {
  return is_mate_class(value) && (marked || (value <= kTbScoreThreshold && value >= -kTbScoreThreshold));
}
inline bool lower_is_flat_mate(const TtEntry& e) { return is_flat_mate(e.lower, e.flags & kTtLowerFlatMate); }
inline bool upper_is_flat_mate(const TtEntry& e) { return is_flat_mate(e.upper, e.flags & kTtUpperFlatMate); }

// ---- scores ----
// A mate-class score as stored by a node at `ply`: distance from the node.
constexpr i32 score_to_tt(i32 score, i32 ply) {
  if (score >= kMateThreshold) return score + ply;
  if (score <= -kMateThreshold) return score - ply;
  return score;
}
// A stored bound read by a node at `ply`, in 16-bit arithmetic as stored.
constexpr i32 score_from_tt(i32 value, i32 ply) {
  if (value > kMateThreshold) return static_cast<i16>(value - ply);
  if (value < -kMateThreshold) return static_cast<i16>(value + ply);
  return value;
}

// ---- reading ----
// The returned pointers are valid only until the next call that can poll
// input (see the top of this file).
inline TtEntry* tt_bucket(u64 key) {
  return tt.entries + (key & tt.index_mask);
}
// Asks the processor to start loading the bucket of `key` (both cache lines
// it may span), so that a probe soon after finds it in cache.  Only a hint:
// reads nothing, and a missing table is harmless.
inline void tt_prefetch(u64 key) {
  const char* b = reinterpret_cast<const char*>(tt_bucket(key));
  __builtin_prefetch(b);
  __builtin_prefetch(b + sizeof(TtEntry) * kTtBucketSize - 1);
}
// The first entry of the bucket that belongs to `key`, or nullptr.  Does not
// touch the entry.
inline TtEntry* tt_first_match(u64 key) {
  if (!tt.entries) return nullptr;
  TtEntry* b = tt_bucket(key);
  const u32 kh = static_cast<u32>(key >> 32);
  for (u32 i = 0; i < kTtBucketSize; ++i)
    if (b[i].key_high == kh) return b + i;
  return nullptr;
}
// As tt_first_match, and a hit gets age := current_age (the probe of the
// zero-window searches).
inline TtEntry* tt_probe(u64 key) {
  TtEntry* e = tt_first_match(key);
  if (e) e->age = static_cast<u8>(current_age);
  return e;
}
// The last entry of the bucket that belongs to `key` and satisfies `pred`
// (root hash move, PV walks), or nullptr.
template <class Pred>
inline TtEntry* tt_last_match_if(u64 key, Pred pred) {
  if (!tt.entries) return nullptr;
  TtEntry* b = tt_bucket(key);
  const u32 kh = static_cast<u32>(key >> 32);
  TtEntry* found = nullptr;
  for (u32 i = 0; i < kTtBucketSize; ++i)
    if (b[i].key_high == kh && pred(b[i])) found = b + i;
  return found;
}
inline TtEntry* tt_last_match(u64 key) {
  return tt_last_match_if(key, [](const TtEntry&) { return true; });
}

// ---- stores ----
// The four stores of the general configuration, addressing the bucket of
// current_position.state.key.  `depth` is the node's depth in half plies
// (clamped to 0..127), `score` already relative to the node (score_to_tt),
// `type` a set of TtFlags.  The bound stores mark mate-class scores
// themselves; tt_store_exact marks its depth only when `tablebase` is true
// (a tablebase result).  kPreserveRule false gives the stores of the other
// configurations, which ignore Preserve Analysis.  kMarkProbed false gives the
// stores of the second edition, which has no probe search and never sets
// kTtProbed.  kMateDistances false gives the stores of the searches that
// score mates without their distance: each bound they write is marked with
// kTtLowerFlatMate or kTtUpperFlatMate, which every other store clears.
template <bool kPreserveRule = true, bool kMarkProbed = true, bool kMateDistances = true>
void tt_store_exact(u16 move, i32 depth, i32 score, bool tablebase = false);
template <bool kPreserveRule = true, bool kMarkProbed = true, bool kMateDistances = true>
void tt_store_lower(u16 move, i32 depth, i32 score, u8 type);
template <bool kPreserveRule = true, bool kMarkProbed = true, bool kMateDistances = true>
void tt_store_lower_nomove(i32 depth, i32 score, u8 type);
template <bool kPreserveRule = true, bool kMarkProbed = true, bool kMateDistances = true>
void tt_store_upper(i32 depth, i32 score, u8 type);

// The stored depth byte for a node depth: clamped to 0..127, bit 7 added for
// a mate-class score.
constexpr u8 tt_depth_byte(i32 depth, bool mate_class) {
  const i32 d = depth < 0 ? 0 : (depth > kTtMaxDepth ? kTtMaxDepth : depth);
  return static_cast<u8>(d + (mate_class ? kTtMateClassDepth : 0));
}

// ---- store implementation ----
namespace tt_detail {

// The entry a store writes: the first that belongs to `key` (matched true),
// else the victim of greatest weight, the first of equal weights.
template <bool kPreserveRule>
inline TtEntry* find_slot(u64 key, bool& matched) {
  TtEntry* b = tt_bucket(key);
  const u32 kh = static_cast<u32>(key >> 32);
  const bool preserve = kPreserveRule && tt_preserve_analysis;
  TtEntry* victim = b;
  i32 best = -1;
  for (u32 i = 0; i < kTtBucketSize; ++i) {
    TtEntry& e = b[i];
    if (e.key_high == kh) {
      matched = true;
      return &e;
    }
    const i32 plain = e.depth & 127;
    // Ages are masked: an entry is shared memory and must never index out of
    // the table, whatever another process left in it.
    i32 w = static_cast<i32>(age_weights[e.age & 63]) - plain;
    if (preserve && e.depth >= 20) w = 128 - plain;
    if (w > best) {
      best = w;
      victim = &e;
    }
  }
  matched = false;
  return victim;
}

inline void write_new(TtEntry& e, u64 key, u8 d, u16 move, u8 move_depth, u8 flags) {
  e.key_high = static_cast<u32>(key >> 32);
  e.depth = d;
  e.age = static_cast<u8>(current_age);
  e.move_depth = move_depth;
  e.move = move;
  e.flags = flags;
}

inline void touch(TtEntry& e, u8 d) {
  e.age = static_cast<u8>(current_age);
  if (d > e.depth) e.depth = d;
}

// The flags with the lower (upper) bound's own bits, its type and its mark,
// those of the bound a store writes.
template <bool kMateDistances>
constexpr u8 with_lower(u8 flags, u8 type) {
  const u8 mark = kMateDistances ? 0 : kTtLowerFlatMate;
  return static_cast<u8>((flags & ~(kTtLowerTypeClear | kTtLowerFlatMate)) | type | mark);
}
template <bool kMateDistances>
constexpr u8 with_upper(u8 flags, u8 type) {
  const u8 mark = kMateDistances ? 0 : kTtUpperFlatMate;
  return static_cast<u8>((flags & ~(kTtUpperTypeSet | kTtUpperFlatMate)) | type | mark);
}

// The depth of the entry's lower (upper) bound as a store compares it.  To a
// search that counts mates by ply a marked mate-class bound is no bound (it
// reads none there), so it must not keep that search's own results out: it
// counts as depth 0.
template <bool kMateDistances>
inline u8 lower_depth_seen(const TtEntry& e) {
  if (kMateDistances && lower_is_flat_mate(e)) return 0;
  return e.lower_depth;
}
template <bool kMateDistances>
inline u8 upper_depth_seen(const TtEntry& e) {
  if (kMateDistances && upper_is_flat_mate(e)) return 0;
  return e.upper_depth;
}

}  // namespace tt_detail

template <bool kPreserveRule, bool kMarkProbed, bool kMateDistances>
inline void tt_store_exact(u16 move, i32 depth, i32 score, bool tablebase) {
  if (!tt.entries) return;
  const u64 key = current_position.state.key;
  const u8 d = tt_depth_byte(depth, tablebase);
  const i16 s = static_cast<i16>(score);
  bool matched;
  TtEntry& e = *tt_detail::find_slot<kPreserveRule>(key, matched);
  if (matched) {
    tt_detail::touch(e, d);
    if (d >= e.move_depth) {
      e.move_depth = d;
      e.move = move;
    }
    if (d >= tt_detail::lower_depth_seen<kMateDistances>(e)) {
      e.flags = tt_detail::with_lower<kMateDistances>(e.flags, 0);
      e.lower_depth = d;
      e.lower = s;
    }
    if (d >= tt_detail::upper_depth_seen<kMateDistances>(e)) {
      e.flags = tt_detail::with_upper<kMateDistances>(e.flags, 0);
      e.upper_depth = d;
      e.upper = s;
    }
    if constexpr (kMarkProbed) e.flags |= kTtProbed;
    return;
  }
  const u8 flags = tt_detail::with_lower<kMateDistances>(kMarkProbed ? kTtProbed : 0, 0);
  tt_detail::write_new(e, key, d, move, d, tt_detail::with_upper<kMateDistances>(flags, 0));
  e.lower_depth = d;
  e.lower = s;
  e.upper_depth = d;
  e.upper = s;
}

template <bool kPreserveRule, bool kMarkProbed, bool kMateDistances>
inline void tt_store_lower(u16 move, i32 depth, i32 score, u8 type) {
  if (!tt.entries) return;
  const u64 key = current_position.state.key;
  const u8 d = tt_depth_byte(depth, score >= kMateThreshold);
  const i16 s = static_cast<i16>(score);
  bool matched;
  TtEntry& e = *tt_detail::find_slot<kPreserveRule>(key, matched);
  if (matched) {
    tt_detail::touch(e, d);
    const i32 k = (type & 3) ? 1 : 0;
    const bool unrestricted = (type & 3) == 0 && (e.flags & kTtLowerTypeClear);
    if (d >= e.move_depth + k || unrestricted) {
      e.move_depth = d;
      e.move = move;
    }
    if (d >= tt_detail::lower_depth_seen<kMateDistances>(e) + k || unrestricted) {
      e.flags = tt_detail::with_lower<kMateDistances>(e.flags, type);
      e.lower_depth = d;
      e.lower = s;
    }
    return;
  }
  tt_detail::write_new(e, key, d, move, d, tt_detail::with_lower<kMateDistances>(0, type));
  e.lower_depth = d;
  e.lower = s;
  e.upper_depth = 0;
}

template <bool kPreserveRule, bool kMarkProbed, bool kMateDistances>
inline void tt_store_lower_nomove(i32 depth, i32 score, u8 type) {
  if (!tt.entries) return;
  const u64 key = current_position.state.key;
  const u8 d = tt_depth_byte(depth, score >= kMateThreshold);
  const i16 s = static_cast<i16>(score);
  bool matched;
  TtEntry& e = *tt_detail::find_slot<kPreserveRule>(key, matched);
  if (matched) {
    tt_detail::touch(e, d);
    const bool unrestricted = (type & 3) == 0 && (e.flags & kTtLowerTypeClear);
    if (d >= tt_detail::lower_depth_seen<kMateDistances>(e) + ((type & 3) ? 2 : 0) || unrestricted) {
      e.flags = tt_detail::with_lower<kMateDistances>(e.flags, type);
      e.lower_depth = d;
      e.lower = s;
    }
    return;
  }
  tt_detail::write_new(e, key, d, 0, 0, tt_detail::with_lower<kMateDistances>(0, type));
  e.lower_depth = d;
  e.lower = s;
  e.upper_depth = 0;
}

template <bool kPreserveRule, bool kMarkProbed, bool kMateDistances>
inline void tt_store_upper(i32 depth, i32 score, u8 type) {
  if (!tt.entries) return;
  const u64 key = current_position.state.key;
  const u8 d = tt_depth_byte(depth, score <= -kMateThreshold);
  const i16 s = static_cast<i16>(score);
  bool matched;
  TtEntry& e = *tt_detail::find_slot<kPreserveRule>(key, matched);
  if (matched) {
    tt_detail::touch(e, d);
    const bool unrestricted = type == 0 && (e.flags & kTtUpperTypeSet);
    if (d >= tt_detail::upper_depth_seen<kMateDistances>(e) + (type ? 2 : 0) || unrestricted) {
      const u8 probed = kMarkProbed ? kTtProbed : 0;
      e.flags = static_cast<u8>(tt_detail::with_upper<kMateDistances>(e.flags & ~kTtProbed, type) | probed);
      e.upper_depth = d;
      e.upper = s;
    }
    return;
  }
  const u8 probed = kMarkProbed ? kTtProbed : 0;
  tt_detail::write_new(e, key, d, 0, 0, tt_detail::with_upper<kMateDistances>(probed, type));
  e.lower_depth = 0;
  e.upper_depth = d;
  e.upper = s;
}

}  // namespace orvex
