#include "search/eval_tables.h"

#include <algorithm>

namespace orvex {
namespace {

constexpr int file_i(Square s) { return static_cast<int>(s & 7); }
constexpr int rank_i(Square s) { return static_cast<int>(s >> 3); }
constexpr int distance(Square a, Square b) {
  const int df = file_i(a) > file_i(b) ? file_i(a) - file_i(b) : file_i(b) - file_i(a);
  const int dr = rank_i(a) > rank_i(b) ? rank_i(a) - rank_i(b) : rank_i(b) - rank_i(a);
  return df > dr ? df : dr;
}
// Absolute rank of a rank counted from the colour's side.
constexpr int absolute_rank(Colour c, int relative) { return c == kWhite ? relative : 7 - relative; }

}  // namespace

constinit const Table<i32, 16> king_attack_weight = {0, -1, 37, 71, 100, 100, 100, 100,
                                           100, 100, 100, 100, 100, 100, 100, 100};

constinit const Table<i32, 8> passed_mg = {0, 0, 0, 489, 1450, 2900, 4821, 4821};
constinit const Table<i32, 8> passed_eg = {146, 146, 146, 336, 709, 1273, 2020, 2020};
constinit const Table<i32, 8> passed_free_own = {0, 0, 0, 26, 78, 157, 262, 262};
constinit const Table<i32, 8> passed_free_their = {0, 0, 0, 133, 394, 788, 1311, 1311};
constinit const Table<i32, 8> passed_safe = {0, 0, 0, 101, 300, 601, 1000, 1000};
constinit const Table<i32, 8> passed_own_king = {0, 0, 0, 66, 195, 391, 650, 650};
constinit const Table<i32, 8> passed_their_king = {0, 0, 0, 131, 389, 779, 1295, 1295};

constinit const Table<PhaseWeight, 65> phase_weights = [] {
  Table<PhaseWeight, 65> t{};
  for (int p = 0; p <= 64; ++p) t[p] = {256 - 4 * p, 4 * p};
  return t;
}();

constinit const Table2<u8, 64, 64> square_distance = [] {
  Table2<u8, 64, 64> t{};
  for (Square a = 0; a < 64; ++a)
    for (Square b = 0; b < 64; ++b) t[a][b] = static_cast<u8>(distance(a, b));
  return t;
}();

constinit const Table3<u64, 2, 64, 2> unstoppable_zone = [] {
  Table3<u64, 2, 64, 2> t{};
  for (Colour c = 0; c < 2; ++c)
    for (Square s = 0; s < 64; ++s) {
      const int r = c == kWhite ? rank_i(s) : 7 - rank_i(s);
      if (r == 7) continue;
      const int moves = 7 - r - (r == 1 ? 1 : 0);
      const Square promo = static_cast<Square>(absolute_rank(c, 7) * 8 + file_i(s));
      for (Colour stm = 0; stm < 2; ++stm) {
        const int threshold = stm == c ? moves : moves + 1;
        u64 zone = 0;
        for (Square k = 0; k < 64; ++k)
          if (distance(k, promo) > threshold) zone |= bit(k);
        t[c][s][stm] = zone;
      }
    }
  return t;
}();

constinit const Table2<u64, 2, 64> key_squares = [] {
  Table2<u64, 2, 64> t{};
  for (Colour c = 0; c < 2; ++c)
    for (Square s = 0; s < 64; ++s) {
      const int f = file_i(s);
      const int r = c == kWhite ? rank_i(s) : 7 - rank_i(s);
      if (r < 4) continue;
      u64 set = 0;
      for (int kf = f - 1; kf <= f + 1; ++kf) {
        if (kf < 0 || kf > 7) continue;
        if ((f == 0 || f == 7) && kf == f) continue;  // a rook pawn: only the neighbour file
        if (r == 4) {
          set |= bit(static_cast<Square>(absolute_rank(c, 6) * 8 + kf));
        } else {
          set |= bit(static_cast<Square>(absolute_rank(c, 6) * 8 + kf));
          set |= bit(static_cast<Square>(absolute_rank(c, 7) * 8 + kf));
        }
      }
      t[c][s] = set;
    }
  return t;
}();

constinit const Table2<u8, 2, 64> pawn_front = [] {
  Table2<u8, 2, 64> t{};
  for (Square s = 0; s < 64; ++s) {
    t[kWhite][s] = static_cast<u8>(rank_i(s) < 7 ? s + 8 : s);
    t[kBlack][s] = static_cast<u8>(rank_i(s) > 0 ? s - 8 : s);
  }
  return t;
}();

}  // namespace orvex
