#include "search/pawns.h"

#include <algorithm>
#include <cstring>

#include "position/position.h"

namespace orvex {

alignas(64) PawnHashEntry pawn_hash_table[kPawnHashEntries];

bool allocate_pawn_hash() {
  clear_pawn_hash();
  return true;
}

void clear_pawn_hash() { std::memset(pawn_hash_table, 0, sizeof(pawn_hash_table)); }

namespace {

constexpr u64 file_bits(int f) { return 0x0101010101010101ull << f; }
constexpr u64 rank_bits(int r) { return 0xFFull << (8 * r); }
constexpr u64 neighbours_of_file(int f) { return (f > 0 ? file_bits(f - 1) : 0) | (f < 7 ? file_bits(f + 1) : 0); }
// Ranks strictly ahead of rank r for the colour (toward rank 8 for white).
constexpr u64 ranks_ahead(Colour c, int r) {
  u64 m = 0;
  for (int k = 0; k < 8; ++k)
    if (c == kWhite ? k > r : k < r) m |= rank_bits(k);
  return m;
}
// Rank r and every rank behind it for the colour.
constexpr u64 ranks_at_or_behind(Colour c, int r) { return ~ranks_ahead(c, r); }
constexpr u64 rank_if_on_board(int r) { return r >= 0 && r < 8 ? rank_bits(r) : 0; }

using Masks = Table2<u64, 2, 64>;
template <class F>
constexpr Masks build(F f) {
  Masks m{};
  for (Colour c = 0; c < 2; ++c)
    for (Square s = 0; s < 64; ++s) m[c][s] = f(c, static_cast<int>(s & 7), static_cast<int>(s >> 3));
  return m;
}
constexpr int forward(Colour c) { return c == kWhite ? 1 : -1; }

constexpr Table<u64, 64> kFileOthers = [] {
  Table<u64, 64> t{};
  for (Square s = 0; s < 64; ++s) t[s] = file_bits(static_cast<int>(s & 7)) & ~bit(s);
  return t;
}();
constexpr Table<u64, 64> kNeighbourFiles = [] {
  Table<u64, 64> t{};
  for (Square s = 0; s < 64; ++s) t[s] = neighbours_of_file(static_cast<int>(s & 7));
  return t;
}();
constexpr Masks kSupport = build([](Colour c, int f, int r) { return neighbours_of_file(f) & ranks_at_or_behind(c, r); });
constexpr Masks kStopAttackers =
    build([](Colour c, int f, int r) { return neighbours_of_file(f) & rank_if_on_board(r + 2 * forward(c)); });
constexpr Masks kFarAttackers =
    build([](Colour c, int f, int r) { return neighbours_of_file(f) & rank_if_on_board(r + 3 * forward(c)); });
constexpr Masks kPawnAttack =
    build([](Colour c, int f, int r) { return neighbours_of_file(f) & rank_if_on_board(r + forward(c)); });

constexpr i32 kCandidateMg[8] = {0, 0, 0, 382, 1131, 2263, 3763, 3763};
constexpr i32 kCandidateEg[8] = {18, 18, 18, 181, 501, 985, 1626, 1626};

constexpr i32 kShieldByRank[4] = {1121, 907, 372, 206};  // own pawn on relative rank 2..5
constexpr i32 kStormByRank[4] = {0, 2334, 653, 310};     // enemy pawn on relative rank 2..5

// Lowest relative rank (0 for rank 2 .. 3 for rank 5) of the pattern's file i, or -1.
constexpr int lowest_rank(u32 pattern, int i) {
  for (int j = 0; j < 4; ++j)
    if (pattern & (1u << (3 * j + i))) return j;
  return -1;
}

// Left file of each king zone: a-c, d-f, f-h.
constexpr int kZoneLeftFile[3] = {0, 3, 5};

// Pattern of the pawns on a zone's three files, relative ranks 2 to 5 of the
// sheltered colour.
inline u32 zone_pattern(u64 pawns, Colour sheltered, int left) {
  if (sheltered == kWhite)
    return static_cast<u32>(((pawns >> (8 + left)) & 7) | (((pawns >> (16 + left)) & 7) << 3) |
                            (((pawns >> (24 + left)) & 7) << 6) | (((pawns >> (32 + left)) & 7) << 9));
  return static_cast<u32>(((pawns >> (48 + left)) & 7) | (((pawns >> (40 + left)) & 7) << 3) |
                          (((pawns >> (32 + left)) & 7) << 6) | (((pawns >> (24 + left)) & 7) << 9));
}

struct SideScore {
  i32 mg = 0, eg = 0;
  u8 passed = 0;
  u8 scale = 0;
};

SideScore score_side(Colour c, u64 own, u64 their) {
  SideScore out;
  int count = 0, min_file = 8, max_file = -1;
  const u64 all = own | their;
  for (u64 b = own; b; b &= b - 1) {
    const Square s = static_cast<Square>(__builtin_ctzll(b));
    const int f = static_cast<int>(s & 7);
    const int r = c == kWhite ? static_cast<int>(s >> 3) : 7 - static_cast<int>(s >> 3);
    ++count;
    min_file = std::min(min_file, f);
    max_file = std::max(max_file, f);
    if (kFileOthers[s] & own) out.eg -= 158;
    const bool open = (file_ahead[c][s] & all) == 0;
    const bool isolated = (kNeighbourFiles[s] & own) == 0;
    if (isolated) {
      out.mg -= open ? 923 : 79;
      out.eg -= 324;
    } else if ((kSupport[c][s] & own) == 0) {
      const bool backward = (kStopAttackers[c][s] & their) != 0 ||
                            ((kFarAttackers[c][s] & their) != 0 && (kPawnAttack[c][s] & own) == 0);
      if (backward) {
        out.mg -= open ? 872 : 406;
        out.eg -= 297;
      }
    }
    const bool passed = (passed_span[c][s] & their) == 0;
    if (passed) {
      out.passed |= static_cast<u8>(1u << f);
    } else if (open && __builtin_popcountll(kSupport[c][s] & own) >= __builtin_popcountll(passed_span[c][s] & their)) {
      out.mg += kCandidateMg[r];
      out.eg += kCandidateEg[r];
    }
  }
  // More than eight pawns cannot occur in a game; such counts read the last row.
  const int spread = count ? max_file - min_file : 0;
  out.scale = scale_table[std::min(count, 8)][spread];
  return out;
}

}  // namespace

constinit const Table2<u64, 2, 64> file_ahead =
    build([](Colour c, int f, int r) { return file_bits(f) & ranks_ahead(c, r); });
constinit const Table2<u64, 2, 64> passed_span =
    build([](Colour c, int f, int r) { return (file_bits(f) | neighbours_of_file(f)) & ranks_ahead(c, r); });

constinit const Table<u16, 4096> shelter_own = [] {
  Table<u16, 4096> t{};
  for (u32 p = 0; p < 4096; ++p) {
    i32 v = 4484;
    for (int i = 0; i < 3; ++i) {
      const int j = lowest_rank(p, i);
      if (j >= 0) v -= (i == 1 ? 2 : 1) * kShieldByRank[j];
    }
    if ((p & 7) == 7) v += 794;
    t[p] = static_cast<u16>(v);
  }
  return t;
}();

constinit const Table<u16, 4096> shelter_storm = [] {
  Table<u16, 4096> t{};
  for (u32 p = 0; p < 4096; ++p) {
    i32 v = 0;
    for (int i = 0; i < 3; ++i) {
      const int j = lowest_rank(p, i);
      if (j >= 0) v += kStormByRank[j];
    }
    t[p] = static_cast<u16>(v);
  }
  return t;
}();

constinit const Table2<u8, 9, 8> scale_table = {{
    {208, 208, 208, 208, 208, 208, 208, 208},
    {160, 160, 160, 160, 160, 160, 160, 160},
    {160, 128, 120, 112, 104, 96, 88, 80},
    {160, 128, 96, 88, 80, 72, 64, 56},
    {160, 128, 96, 64, 52, 40, 28, 16},
    {160, 128, 96, 64, 0, 0, 0, 0},
    {160, 128, 96, 64, 0, 0, 0, 0},
    {160, 128, 96, 64, 0, 0, 0, 0},
    {160, 128, 96, 64, 0, 0, 0, 0},
}};

void compute_pawn_entry(u64 white_pawns, u64 black_pawns, PawnHashEntry& out) {
  const SideScore w = score_side(kWhite, white_pawns, black_pawns);
  const SideScore b = score_side(kBlack, black_pawns, white_pawns);
  out.score_mg = static_cast<i16>(std::clamp(w.mg - b.mg, -32768, 32767));
  out.score_eg = static_cast<i16>(std::clamp(w.eg - b.eg, -32768, 32767));
  for (int z = 0; z < 3; ++z) {
    const int left = kZoneLeftFile[z];
    out.shelter[z] = static_cast<u16>(shelter_own[zone_pattern(white_pawns, kWhite, left)] +
                                      shelter_storm[zone_pattern(black_pawns, kWhite, left)]);
    out.shelter[3 + z] = static_cast<u16>(shelter_own[zone_pattern(black_pawns, kBlack, left)] +
                                          shelter_storm[zone_pattern(white_pawns, kBlack, left)]);
  }
  out.passed_white = w.passed;
  out.passed_black = b.passed;
  out.scale_up = w.scale;
  out.scale_down = b.scale;
}

PawnHashEntry* evaluate_pawn_structure() {
  const Position& p = current_position;
  return pawn_entry(p.state.pawn_key, p.piece_bb[kWhitePawn - 2], p.piece_bb[kBlackPawn - 2]);
}

PawnHashEntry* fill_pawn_entry(u64 pawn_key, u64 white_pawns, u64 black_pawns) {
  PawnHashEntry* slot = pawn_hash_slot(pawn_key);
  const u32 high = static_cast<u32>(pawn_key >> 32);
  PawnHashEntry e;
  compute_pawn_entry(white_pawns, black_pawns, e);
  e.key_high = high;
  // Fields first, the key last.
  std::memcpy(reinterpret_cast<char*>(slot) + 4, reinterpret_cast<const char*>(&e) + 4, sizeof(e) - 4);
  slot->key_high = high;
  return slot;
}

}  // namespace orvex
