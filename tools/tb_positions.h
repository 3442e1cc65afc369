// Random legal positions of a tablebase class, and the board symmetries
// under which a class's numbering must not change; for the index tests and
// the index benchmark.
#pragma once
#include <random>

#include "tools/tb_count_search.h"

namespace orvex::tb_positions {

// A position of a class with the first-named side White (flip 0): its lists,
// the side to move (0: first-named side) and the en-passant argument.
struct TbSample {
  TbPieceList first;
  TbPieceList second;
  int side;
  u32 ep;
};

// A random legal position of class `id` with `side` to move.  With
// `en_passant` (only for classes with pawns on both sides) the side to move
// can capture a pawn that has just advanced two squares.
inline TbSample random_position(int id, int side, bool en_passant, std::mt19937_64& rng) {
  using namespace tb_count_search;
  const TbClassDescriptor& d = tb_class_descriptors[id];
  u32 counts[2][5] = {};
  material(d.name, 0, counts[kWhite]);
  material(d.name, 1, counts[kBlack]);
  const Colour mover = side == 0 ? kWhite : kBlack;
  auto square = [&](u32 lo, u32 hi) { return static_cast<Square>(lo + rng() % (hi - lo)); };
  for (;;) {
    TbSample p{};
    p.side = side;
    p.ep = kTbNoEnPassant;
    TbPieceList* lists[2] = {&p.first, &p.second};
    u64 occ = 0, blocked = 0;
    u32 used[2][5] = {};
    struct Placed {
      PieceType t;
      Colour c;
      Square s;
    } men[8];
    u32 n = 0;
    auto put = [&](PieceType t, Colour c, Square s) {
      occ |= bit(s);
      lists[c]->sq[tb_first_slot(t) + used[c][t]++] = s;
      men[n++] = {t, c, s};
    };
    const Square k1 = square(0, 64), k2 = square(0, 64);
    if (k1 == k2 || adjacent(k1, k2)) continue;
    lists[mover]->sq[kTbKingSlot] = k1;
    lists[mover ^ 1]->sq[kTbKingSlot] = k2;
    occ = bit(k1) | bit(k2);
    if (en_passant) {
      const u32 rank = mover == kWhite ? 5 : 2;
      const Square e = rank * 8 + square(0, 8);
      const Square pushed = mover == kWhite ? e - 8 : e + 8, start = mover == kWhite ? e + 8 : e - 8;
      const int f = int(file_of(e)) + ((rng() & 1) ? 1 : -1);
      if (f < 0 || f > 7) continue;
      const Square capturer = rank_of(pushed) * 8 + static_cast<u32>(f);
      const u64 fixed = bit(e) | bit(pushed) | bit(start) | bit(capturer);
      if (occ & fixed) continue;
      put(kPawn, mover, capturer);
      put(kPawn, mover ^ 1, pushed);
      blocked = bit(e) | bit(start);
      p.ep = e;
    }
    bool ok = true;
    for (Colour c = kWhite; c <= kBlack && ok; ++c) {
      for (PieceType t = kPawn; t <= kQueen && ok; ++t) {
        while (used[c][t] < counts[c][t]) {
          const Square s = t == kPawn ? square(8, 56) : square(0, 64);
          if ((occ | blocked) & bit(s)) continue;
          put(t, c, s);
        }
      }
    }
    const Square target = lists[mover ^ 1]->sq[kTbKingSlot];
    for (u32 i = 0; i < n && ok; ++i) {
      if (men[i].c == mover && attacks(men[i].t, mover, men[i].s, target, occ)) ok = false;
    }
    if (ok) return p;
  }
}

// A symmetry of the board applied to every square of a sample.
template <typename F>
inline TbSample transformed(const TbSample& p, F f) {
  TbSample q = p;
  for (u32 i = 0; i < 16; ++i) {
    q.first.sq[i] = f(p.first.sq[i]);
    q.second.sq[i] = f(p.second.sq[i]);
  }
  if (p.ep != kTbNoEnPassant) q.ep = f(p.ep);
  return q;
}

inline u64 number_of(int id, const TbSample& p, i32 flip = 0) {
  return tb_class_descriptors[id].index_fn[p.side](&p.first, &p.second, p.ep, flip);
}

}  // namespace orvex::tb_positions
