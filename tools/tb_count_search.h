// The number of positions of a tablebase class and side to move, found from
// its index function: one more than the largest number that a legal position
// of the class gets.  Every index function is monotone in its king pair, so
// the search walks the king pairs from the last one down, places all men for
// that pair, and stops at the first pair that holds a legal position.
// Classes with pawns on both sides number their en-passant positions after
// all others, so for them those positions are searched first.  Legal: men on
// distinct squares, pawns on ranks 2-7, kings apart, the side not to move not
// in check; with en passant also the passed and start squares empty.
#pragma once
#include <cstring>
#include <vector>

#include "tablebases/tb_tables.h"
#include "tablebases/tb_types.h"

namespace orvex::tb_count_search {

inline u64 between[64][64];   // squares strictly between two squares on one line
inline u8 line_kind[64][64];  // 0 none, 1 orthogonal, 2 diagonal

inline void build_lines() {
  for (int a = 0; a < 64; ++a) {
    for (int b = 0; b < 64; ++b) {
      if (a == b) continue;
      const int df = (b & 7) - (a & 7), dr = (b >> 3) - (a >> 3);
      int kind = 0;
      if (df == 0 || dr == 0) kind = 1;
      else if (df == dr || df == -dr) kind = 2;
      if (!kind) continue;
      const int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
      u64 set = 0;
      for (int f = (a & 7) + sf, r = (a >> 3) + sr; f != (b & 7) || r != (b >> 3); f += sf, r += sr) {
        set |= bit(static_cast<Square>(r * 8 + f));
      }
      between[a][b] = set;
      line_kind[a][b] = static_cast<u8>(kind);
    }
  }
}

// Built before main, so that every user of attacks() finds them.
inline const bool lines_built = (build_lines(), true);

inline bool adjacent(Square a, Square b) {
  const int df = int(a & 7) - int(b & 7), dr = int(a >> 3) - int(b >> 3);
  return df >= -1 && df <= 1 && dr >= -1 && dr <= 1;
}

// Does a man of type t and colour c on s attack k (through occupancy occ)?
inline bool attacks(PieceType t, Colour c, Square s, Square k, u64 occ) {
  const int df = int(k & 7) - int(s & 7), dr = int(k >> 3) - int(s >> 3);
  switch (t) {
    case kPawn: return (df == 1 || df == -1) && dr == (c == kWhite ? 1 : -1);
    case kKnight: return (df * df + dr * dr) == 5;
    case kBishop: return line_kind[s][k] == 2 && !(between[s][k] & occ);
    case kRook: return line_kind[s][k] == 1 && !(between[s][k] & occ);
    case kQueen: return line_kind[s][k] && !(between[s][k] & occ);
    default: return adjacent(s, k);
  }
}

struct Man {
  PieceType type;
  Colour colour;
  bool like_previous;  // same type and colour as the man before: placed above it
};

struct Search {
  const TbClassDescriptor* d;
  int side;
  Colour mover;
  std::vector<Man> men;
  TbPieceList lists[2];
  u32 used[2][5];
  Square sq[8];
  u64 occ;      // squares holding a man
  u64 blocked;  // squares that must stay empty (the en-passant squares)
  Square kings[2];
  u32 ep;
  bool found;
  u64 best;

  void place(std::size_t i) {
    if (i == men.size()) {
      finish();
      return;
    }
    const Man& m = men[i];
    Square lo = (i > 0 && m.like_previous) ? sq[i - 1] + 1 : 0;
    Square hi = 64;
    if (m.type == kPawn) {
      if (lo < 8) lo = 8;
      hi = 56;
    }
    for (Square s = lo; s < hi; ++s) {
      if ((occ | blocked) & bit(s)) continue;
      // A pawn or knight of the side to move may not attack the other king.
      if (m.colour == mover && (m.type == kPawn || m.type == kKnight) &&
          attacks(m.type, m.colour, s, kings[mover ^ 1], 0)) {
        continue;
      }
      sq[i] = s;
      occ |= bit(s);
      TbPieceList& l = lists[m.colour];
      l.sq[tb_first_slot(m.type) + used[m.colour][m.type]++] = s;
      place(i + 1);
      --used[m.colour][m.type];
      occ &= ~bit(s);
    }
  }

  void finish() {
    const Square target = kings[mover ^ 1];
    for (std::size_t i = 0; i < men.size(); ++i) {
      if (men[i].colour == mover && attacks(men[i].type, mover, sq[i], target, occ)) return;
    }
    // White is the first-named side here (flip 0).
    const u64 n = d->index_fn[side](&lists[kWhite], &lists[kBlack], ep, 0);
    if (!found || n > best) best = n;
    found = true;
  }
};

// The material of the side after the first (0) or second (1) 'k'.
inline void material(const char* name, int which, u32 out[5]) {
  int at = -1;
  for (const char* c = name; *c; ++c) {
    if (*c == 'k') {
      ++at;
      continue;
    }
    if (at != which) continue;
    const PieceType t = *c == 'n' ? kKnight : *c == 'b' ? kBishop : *c == 'r' ? kRook : *c == 'q' ? kQueen : kPawn;
    ++out[t];
  }
}

// Whether the block of the side to move is numbered with the board turned
// upside down (its king pair taken from the kings XOR 56).
inline bool block_turned(int id, int side, const u32 mine[5], bool pawns) {
  if (!pawns || side == 0) return false;
  u32 my_men = 0;
  for (int t = 0; t < 5; ++t) my_men += mine[t];
  if (id >= 201 && id <= 265) return mine[kPawn] > 0;
  if (id >= 346 && id <= 380) return true;
  return mine[kPawn] > 0 || my_men == 0;
}

// Largest number of a legal position of the class and side, searching the
// king pairs from the last down; with `ep_region` only positions with a
// capture en passant are placed.
inline bool largest(const TbClassDescriptor& d, int side, bool ep_region, u64* out) {
  u32 first[5] = {}, second[5] = {};
  material(d.name, 0, first);
  material(d.name, 1, second);
  const bool pawns = first[kPawn] + second[kPawn] > 0;
  const Colour mover = side == 0 ? kWhite : kBlack;
  const u32* mine = side == 0 ? first : second;
  const u32* theirs = side == 0 ? second : first;
  const bool turned = !ep_region && block_turned(d.class_id, side, mine, pawns);
  // The canonical king squares of each pair number.
  const u32 pairs = pawns ? kPawnKingPairs : kPawnlessKingPairs;
  std::vector<std::pair<Square, Square>> pair_kings(pairs);
  for (Square a = 0; a < 64; ++a) {
    for (Square b = 0; b < 64; ++b) {
      const i16 kp = pawns ? pawn_king_pair[a][b] : pawnless_king_pair[a][b];
      if (kp != kNoKingPair) pair_kings[kp] = {turned ? a ^ 56 : a, turned ? b ^ 56 : b};
    }
  }
  for (u32 kp = pairs; kp-- > 0;) {
    Search s{};
    s.d = &d;
    s.side = side;
    s.mover = mover;
    s.kings[mover] = pair_kings[kp].first;
    s.kings[mover ^ 1] = pair_kings[kp].second;
    s.lists[kWhite].sq[kTbKingSlot] = s.kings[kWhite];
    s.lists[kBlack].sq[kTbKingSlot] = s.kings[kBlack];
    const u64 king_occ = bit(s.kings[0]) | bit(s.kings[1]);
    if (!ep_region) {
      for (int colour = 0; colour < 2; ++colour) {
        const u32* m = colour == 0 ? first : second;
        for (int t = kQueen; t >= static_cast<int>(kPawn); --t) {
          for (u32 i = 0; i < m[t]; ++i) s.men.push_back({static_cast<PieceType>(t), static_cast<Colour>(colour), i > 0});
        }
      }
      s.occ = king_occ;
      s.ep = kTbNoEnPassant;
      s.place(0);
    } else {
      // The pushed pawn of the other side, the empty start and passed
      // squares, and a pawn of the side to move beside the pushed one.
      const int up = mover == kWhite ? 1 : -1;
      for (Square e = 0; e < 64; ++e) {
        if (rank_of(e) != (mover == kWhite ? 5u : 2u)) continue;
        const Square pushed = e - 8 * up, start = e + 8 * up;
        if ((king_occ & (bit(e) | bit(start) | bit(pushed)))) continue;
        for (int df = -1; df <= 1; df += 2) {
          const int f = int(file_of(e)) + df;
          if (f < 0 || f > 7) continue;
          const Square capturer = rank_of(pushed) * 8 + f;
          if (king_occ & bit(capturer)) continue;
          if (attacks(kPawn, mover, capturer, s.kings[mover ^ 1], 0)) continue;
          Search t = s;
          t.ep = e;
          t.occ = king_occ | bit(pushed) | bit(capturer);
          t.blocked = bit(e) | bit(start);
          u32 mine_left[5], theirs_left[5];
          std::memcpy(mine_left, mine, sizeof mine_left);
          std::memcpy(theirs_left, theirs, sizeof theirs_left);
          --mine_left[kPawn];
          --theirs_left[kPawn];
          t.lists[mover].sq[tb_first_slot(kPawn)] = capturer;
          t.used[mover][kPawn] = 1;
          t.lists[mover ^ 1].sq[tb_first_slot(kPawn)] = pushed;
          t.used[mover ^ 1][kPawn] = 1;
          // The fixed pawns join the men for the legality test.
          t.men.push_back({kPawn, mover, false});
          t.sq[0] = capturer;
          const std::size_t fixed = 1;
          for (int colour = 0; colour < 2; ++colour) {
            const u32* m = static_cast<Colour>(colour) == mover ? mine_left : theirs_left;
            for (int k = kQueen; k >= static_cast<int>(kPawn); --k) {
              for (u32 i = 0; i < m[k]; ++i) {
                t.men.push_back({static_cast<PieceType>(k), static_cast<Colour>(colour), i > 0});
              }
            }
          }
          t.place(fixed);
          if (t.found && (!s.found || t.best > s.best)) {
            s.best = t.best;
            s.found = true;
          }
        }
      }
    }
    if (s.found) {
      *out = s.best;
      return true;
    }
  }
  return false;
}

// The count of a class and side: 0 when no legal position exists.
inline u64 position_count(int id, int side) {
  const TbClassDescriptor& d = tb_class_descriptors[id];
  // A symmetric class numbers the second side to move as the first with the
  // colours exchanged.
  if (d.flags & kTbSymmetric) side = 0;
  u32 first[5] = {}, second[5] = {};
  material(d.name, 0, first);
  material(d.name, 1, second);
  const bool both_pawns = first[kPawn] > 0 && second[kPawn] > 0;
  u64 n = 0;
  const bool found = (both_pawns && largest(d, side, true, &n)) || largest(d, side, false, &n);
  return found ? n + 1 : 0;
}

}  // namespace orvex::tb_count_search

