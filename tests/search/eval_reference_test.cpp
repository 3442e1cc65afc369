// A second, deliberately plain evaluation written square by square (ray walks,
// loops over files and ranks, no masks shared with the engine) and compared
// with the engine's attack maps, pawn structure and evaluations (general,
// castling_rights, mixed and the nine ending ones) over many positions.  Only the material table and the piece-square sums are taken
// from the engine, as inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "configs/board_layers.h"
#include "eval_test_util.h"
#include "position/move_text.h"
#include "search/evaluate.h"

namespace orvex {
namespace {

using testing::Record;
using testing::set_fen;

namespace ref {

constexpr int kPawn = 0, kKnight = 1, kBishop = 2, kRook = 3, kQueen = 4, kKing = 5;

int file_of(int s) { return s & 7; }
int rank_of(int s) { return s >> 3; }
bool valid(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }
u64 sq(int f, int r) { return valid(f, r) ? u64{1} << (8 * r + f) : 0; }
// Relative rank 0..7 of square s for colour c.
int rel_rank(int c, int s) { return c == 0 ? rank_of(s) : 7 - rank_of(s); }
// Absolute rank index of relative rank rr for colour c.
int abs_rank(int c, int rr) { return c == 0 ? rr : 7 - rr; }
int dist(int a, int b) { return std::max(std::abs(file_of(a) - file_of(b)), std::abs(rank_of(a) - rank_of(b))); }

struct Board {
  int piece[64];  // -1 empty, else type
  int colour[64];
  int stm;
  u32 castling;
  u64 men(int c, int type) const {
    u64 b = 0;
    for (int s = 0; s < 64; ++s)
      if (piece[s] == type && colour[s] == c) b |= u64{1} << s;
    return b;
  }
  u64 all(int c) const {
    u64 b = 0;
    for (int s = 0; s < 64; ++s)
      if (piece[s] >= 0 && colour[s] == c) b |= u64{1} << s;
    return b;
  }
  int king(int c) const {
    for (int s = 0; s < 64; ++s)
      if (piece[s] == kKing && colour[s] == c) return s;
    return 63;
  }
};

Board read_board() {
  Board b;
  const Position& p = current_position;
  for (int s = 0; s < 64; ++s) {
    const int code = p.board[s];
    b.piece[s] = code ? (code - 2) / 2 : -1;
    b.colour[s] = code ? code & 1 : -1;
  }
  b.stm = p.side_to_move & 1;
  b.castling = p.state.castling;
  return b;
}

u64 rays(const Board& b, int s, bool straight, bool diagonal) {
  static const int dirs[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  u64 set = 0;
  for (int d = 0; d < 8; ++d) {
    if (d < 4 && !straight) continue;
    if (d >= 4 && !diagonal) continue;
    int f = file_of(s) + dirs[d][0], r = rank_of(s) + dirs[d][1];
    while (valid(f, r)) {
      set |= sq(f, r);
      if (b.piece[8 * r + f] >= 0) break;
      f += dirs[d][0];
      r += dirs[d][1];
    }
  }
  return set;
}

u64 steps(int s, const int (*offsets)[2], int n) {
  u64 set = 0;
  for (int i = 0; i < n; ++i) set |= sq(file_of(s) + offsets[i][0], rank_of(s) + offsets[i][1]);
  return set;
}
u64 knight_set(int s) {
  static const int o[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  return steps(s, o, 8);
}
u64 king_set(int s) {
  static const int o[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
  return steps(s, o, 8);
}
u64 pawn_capture_set(const Board& b, int c) {
  u64 set = 0;
  const int dr = c == 0 ? 1 : -1;
  for (int s = 0; s < 64; ++s)
    if (b.piece[s] == kPawn && b.colour[s] == c)
      set |= sq(file_of(s) - 1, rank_of(s) + dr) | sq(file_of(s) + 1, rank_of(s) + dr);
  return set;
}
u64 piece_set(const Board& b, int s) {
  switch (b.piece[s]) {
    case kKnight: return knight_set(s);
    case kBishop: return rays(b, s, false, true);
    case kRook: return rays(b, s, true, false);
    case kQueen: return rays(b, s, true, true);
    case kKing: return king_set(s);
    default: return 0;
  }
}

// Squares ahead of s on its file, for colour c.
u64 file_ahead(int c, int s) {
  u64 set = 0;
  for (int rr = rel_rank(c, s) + 1; rr < 8; ++rr) set |= sq(file_of(s), abs_rank(c, rr));
  return set;
}

struct Pawns {
  int mg = 0, eg = 0;
  u32 passed[2] = {0, 0};
  int scale[2] = {0, 0};
  int shelter[6] = {};
};

// A pawn of colour `owner` on file f and rank rr counted from `view`'s side.
int pawn_seen(const Board& b, int owner, int f, int rr, int view) {
  if (f < 0 || f > 7 || rr < 0 || rr > 7) return 0;
  const int s = 8 * abs_rank(view, rr) + f;
  return b.piece[s] == kPawn && b.colour[s] == owner;
}
int pawn_on(const Board& b, int c, int f, int rr) { return pawn_seen(b, c, f, rr, c); }

Pawns pawns(const Board& b) {
  static const int candidate_mg[8] = {0, 0, 0, 382, 1131, 2263, 3763, 3763};
  static const int candidate_eg[8] = {18, 18, 18, 181, 501, 985, 1626, 1626};
  static const int scale_rows[6][8] = {
      {208, 208, 208, 208, 208, 208, 208, 208}, {160, 160, 160, 160, 160, 160, 160, 160},
      {160, 128, 120, 112, 104, 96, 88, 80},    {160, 128, 96, 88, 80, 72, 64, 56},
      {160, 128, 96, 64, 52, 40, 28, 16},       {160, 128, 96, 64, 0, 0, 0, 0},
  };
  Pawns out;
  for (int c = 0; c < 2; ++c) {
    const int o = 1 - c, sign = c == 0 ? 1 : -1;
    int n = 0, lo = 8, hi = -1;
    for (int s = 0; s < 64; ++s) {
      if (!(b.piece[s] == kPawn && b.colour[s] == c)) continue;
      const int f = file_of(s), r = rel_rank(c, s);
      ++n;
      lo = std::min(lo, f);
      hi = std::max(hi, f);
      int mg = 0, eg = 0;
      bool doubled = false, open = true, isolated = true, passed = true;
      int support = 0, span_enemies = 0;
      for (int rr = 0; rr < 8; ++rr) {
        if (rr != r && pawn_on(b, c, f, rr)) doubled = true;
        if (rr > r && (pawn_on(b, c, f, rr) || pawn_seen(b, o, f, rr, c))) open = false;
        for (int df : {-1, 1}) {
          if (pawn_on(b, c, f + df, rr)) isolated = false;
          if (rr <= r && pawn_on(b, c, f + df, rr)) ++support;
        }
        for (int df : {-1, 0, 1})
          if (rr > r && pawn_seen(b, o, f + df, rr, c)) passed = false, ++span_enemies;
      }
      if (doubled) eg -= 158;
      if (isolated) {
        mg -= open ? 923 : 79;
        eg -= 324;
      } else if (support == 0) {
        bool stop = false, far = false, guarded = false;
        for (int df : {-1, 1}) {
          stop |= pawn_seen(b, o, f + df, r + 2, c) != 0;
          far |= pawn_seen(b, o, f + df, r + 3, c) != 0;
          guarded |= pawn_on(b, c, f + df, r + 1) != 0;
        }
        if (stop || (far && !guarded)) {
          mg -= open ? 872 : 406;
          eg -= 297;
        }
      }
      if (passed)
        out.passed[c] |= 1u << f;
      else if (open && support >= span_enemies)
        mg += candidate_mg[r], eg += candidate_eg[r];
      out.mg += sign * mg;
      out.eg += sign * eg;
    }
    out.scale[c] = scale_rows[std::min(n, 5)][n ? hi - lo : 0];
  }
  // Shelter: relative ranks 2..5 are rank indices 1..4 from the colour's side.
  static const int shield[6] = {0, 0, 1121, 907, 372, 206};
  static const int storm[6] = {0, 0, 0, 2334, 653, 310};
  static const int left_file[3] = {0, 3, 5};
  for (int c = 0; c < 2; ++c)
    for (int z = 0; z < 3; ++z) {
      int value = 4484, unmoved = 0;
      for (int i = 0; i < 3; ++i) {
        const int f = left_file[z] + i;
        int own = 0, enemy = 0;
        for (int rank = 5; rank >= 2; --rank) {
          if (pawn_on(b, c, f, rank - 1)) own = rank;
          if (pawn_seen(b, 1 - c, f, rank - 1, c)) enemy = rank;
        }
        value -= (i == 1 ? 2 : 1) * shield[own];
        value += storm[enemy];
        if (own == 2) ++unmoved;
      }
      if (unmoved == 3) value += 794;
      out.shelter[3 * c + z] = value;
    }
  return out;
}

struct Options {
  bool draw_test, halving, rights;
  // The ending evaluations: the endgame sum alone, over the kinds visited.
  bool endgame_only = false;
  u32 knights = 3, bishops = 3, rooks = 3;  // colour masks, bit 0 white
  bool queen_terms = true;
  u32 trapped = 3;  // colour masks of the trapped-bishop patterns
};

// Whether colour c's pieces of type t take part in an evaluation.
bool visited(const Options& opt, int c, int t) {
  const u32 mask = t == kKnight ? opt.knights : t == kBishop ? opt.bishops : t == kRook ? opt.rooks : 3;
  return (mask >> c) & 1;
}

// Colour c's attack set over the kinds visited.
u64 visited_attack_set(const Board& b, int c, const Options& opt) {
  u64 set = pawn_capture_set(b, c);
  for (int s = 0; s < 64; ++s)
    if (b.piece[s] > kPawn && b.colour[s] == c && visited(opt, c, b.piece[s])) set |= piece_set(b, s);
  return set;
}

bool draw_case(const Board& b, bool white) {
  const int c = white ? 0 : 1, o = 1 - c;
  const u64 pawns = b.men(c, kPawn);
  if (b.men(c, kKnight) | b.men(c, kRook) | b.men(c, kQueen)) return false;
  const u64 file_a = 0x0101010101010101ull, file_h = file_a << 7;
  const u64 light = 0x55AA55AA55AA55AAull, dark = ~light;
  const int k = b.king(o);
  const int kf = file_of(k), kr = rel_rank(c, k);  // kr: from the stronger side
  const u64 bishops = b.men(c, kBishop);
  // (a) the a-file: the defending king on the two files a-b of the stronger
  // side's seventh and eighth ranks; a white bishop must not be light, a black
  // one not dark.  (b) the h-file with the colours exchanged.
  if (!(pawns & ~file_a) && kf <= 1 && kr >= 6 && !(bishops & (white ? light : dark))) return true;
  return !(pawns & ~file_h) && kf >= 6 && kr >= 6 && !(bishops & (white ? dark : light));
}

struct Result {
  i32 eval;
  u64 us, them;
  bool check;
};

Result evaluate(const Options& opt) {
  const Position& p = current_position;
  const Board b = read_board();
  const MaterialEntry entry = material_table[p.state.material_index & 0x3FFFF];
  const i32 balance = p.state.material_balance;
  const i32 score = static_cast<i32>(entry >> 32);
  const u32 draw_flags = entry & 0xFF, attack_flags = (entry >> 8) & 0xFF, phase = (entry >> 16) & 0xFF;
  const bool material_only = ((entry >> 24) & 0xFF) != 0;
  const i32 m = score + 3399 * balance;
  const u64 att[2] = {visited_attack_set(b, 0, opt), visited_attack_set(b, 1, opt)};
  Result res{};
  res.us = att[b.stm];
  res.them = att[1 - b.stm];
  res.check = (att[1 - b.stm] >> b.king(b.stm)) & 1;
  auto finish_draw = [&](bool white_stronger) {
    if (opt.draw_test && (draw_flags & 0x20) && draw_case(b, white_stronger)) res.eval = 0;
  };
  if (balance <= lazy_low || balance >= lazy_high || material_only) {
    res.eval = b.stm == 0 ? (m >> 5) + 10 : 10 - (m >> 5);
    finish_draw(m > 0);
    return res;
  }
  const i32 base = (m * 140) / 128;
  i32 mg = base + p.state.pst_mg, eg = base + p.state.pst_eg;
  static const int weight[5] = {0, 941, 418, 666, 532};
  static const int mob_mg[5] = {0, 14, 149, 84, 54};
  static const int mob_eg[5] = {0, 121, 116, 79, 37};
  int count[2] = {}, sum[2] = {};
  for (int c = 0; c < 2; ++c) {
    const int o = 1 - c, sign = c == 0 ? 1 : -1;
    const u64 zone = king_set(b.king(o));
    const u64 own = b.all(c);
    if (pawn_capture_set(b, c) & zone) count[c] = 1;
    const int seventh = abs_rank(c, 6), eighth = abs_rank(c, 7);
    bool target = rank_of(b.king(o)) == eighth;
    for (int f = 0; f < 8; ++f) target |= pawn_seen(b, o, f, 6, c) != 0;
    for (int s = 0; s < 64; ++s) {
      if (b.colour[s] != c || b.piece[s] <= kPawn || b.piece[s] == kKing) continue;
      const int t = b.piece[s];
      if (!visited(opt, c, t) || (t == kQueen && !opt.queen_terms)) continue;
      const u64 a = piece_set(b, s);
      if (a & zone) ++count[c], sum[c] += weight[t];
      const int mob = __builtin_popcountll(a & ~own);
      mg += sign * mob_mg[t] * mob;
      eg += sign * mob_eg[t] * mob;
      if (t == kRook) {
        const u64 ahead = file_ahead(c, s);
        if (!(ahead & b.men(c, kPawn))) {
          mg += sign * 64, eg += sign * 256;
          if (!(ahead & b.men(o, kPawn))) mg += sign * 971, eg += sign * 172;
          if ((attack_flags & (c == 0 ? 0x80 : 0x08)) && (ahead & zone)) {
            mg += sign * 121;
            if ((ahead >> b.king(o)) & 1) mg += sign * 853;
          }
        }
        if (rank_of(s) == seventh && target) mg += sign * 246, eg += sign * 1026;
      }
      if (t == kQueen && rank_of(s) == seventh && target) eg += sign * 1420;
    }
  }
  const Pawns e = pawns(b);
  mg += e.mg;
  eg += e.eg;
  static const int king_weight[16] = {0, -1, 37, 71, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100};
  for (int c = 0; c < 2; ++c) {
    if (!(attack_flags & (c == 0 ? 0x80 : 0x08))) continue;
    const int o = 1 - c;
    i32 v = (king_weight[std::min(count[c], 15)] * sum[c]) >> 5;
    const int kf = file_of(b.king(o));
    const int g = kf <= 2 ? 0 : kf <= 4 ? 1 : 2;
    const u32 cur = static_cast<u32>(e.shelter[3 * o + g]);
    u32 best = cur;
    if (opt.rights) {
      const u32 short_right = o == 0 ? 1 : 4, long_right = o == 0 ? 2 : 8;
      if (b.castling & short_right) best = std::min(best, static_cast<u32>(e.shelter[3 * o + 2]));
      if (b.castling & long_right) best = std::min(best, static_cast<u32>(e.shelter[3 * o + 0]));
    }
    v += static_cast<i32>((cur + best) / 2);
    mg += c == 0 ? v : -v;
  }
  static const int p_mg[8] = {0, 0, 0, 489, 1450, 2900, 4821, 4821};
  static const int p_eg[8] = {146, 146, 146, 336, 709, 1273, 2020, 2020};
  static const int free_own[8] = {0, 0, 0, 26, 78, 157, 262, 262};
  static const int free_their[8] = {0, 0, 0, 133, 394, 788, 1311, 1311};
  static const int safe[8] = {0, 0, 0, 101, 300, 601, 1000, 1000};
  static const int own_king[8] = {0, 0, 0, 66, 195, 391, 650, 650};
  static const int their_king[8] = {0, 0, 0, 131, 389, 779, 1295, 1295};
  for (int c = 0; c < 2; ++c) {
    const int o = 1 - c, sign = c == 0 ? 1 : -1;
    bool their_pieces = b.men(o, kQueen);
    for (int t : {kKnight, kBishop, kRook})
      if (visited(opt, o, t) && b.men(o, t)) their_pieces = true;
    for (int f = 0; f < 8; ++f) {
      if (!((e.passed[c] >> f) & 1)) continue;
      int s = -1;
      for (int rr = 0; rr < 8; ++rr)
        if (pawn_on(b, c, f, rr)) s = 8 * abs_rank(c, rr) + f;
      const int r = rel_rank(c, s);
      const u64 ahead = file_ahead(c, s);
      const int front = s + (c == 0 ? 8 : -8);
      int pmg = p_mg[r], peg = p_eg[r];
      if (their_pieces) {
        if (!(ahead & b.all(c))) peg += free_own[r];
        if (!(ahead & b.all(o))) peg += free_their[r];
        if (!(ahead & att[o] & ~att[c])) peg += safe[r];
      } else {
        const int moves = 7 - r - (r == 1 ? 1 : 0);
        const int threshold = b.stm == c ? moves : moves + 1;
        const int promo = 8 * abs_rank(c, 7) + f;
        if (!(ahead & b.all(c)) && dist(b.king(o), promo) > threshold) peg += 25600;
        const int k = b.king(c), kr = rel_rank(c, k), kf = file_of(k);
        bool key = false;
        if (r == 4) key = kr == 6;
        if (r >= 5) key = kr >= 6;
        if (std::abs(kf - f) > 1) key = false;
        if ((f == 0 || f == 7) && kf == f) key = false;
        if (key) peg += 25600;
      }
      peg += dist(front, b.king(o)) * their_king[r] - dist(front, b.king(c)) * own_king[r];
      mg += sign * pmg;
      eg += sign * peg;
    }
  }
  auto at = [&](const char* name, int c, int t) {
    const int s = 8 * (name[1] - '1') + (name[0] - 'a');
    return b.piece[s] == t && b.colour[s] == c;
  };
  auto any = [&](const char* name) { return b.piece[8 * (name[1] - '1') + (name[0] - 'a')] >= 0; };
  if ((opt.trapped & 1) && ((at("a7", 0, kBishop) && at("b6", 1, kPawn)) || (at("a6", 0, kBishop) && at("b5", 1, kPawn)) ||
      (at("b8", 0, kBishop) && at("c7", 1, kPawn)) || (at("h7", 0, kBishop) && at("g6", 1, kPawn)) ||
      (at("h6", 0, kBishop) && at("g5", 1, kPawn)) || (at("g8", 0, kBishop) && at("f7", 1, kPawn))))
    mg -= 1802, eg -= 1802;
  if ((opt.trapped & 2) && ((at("b1", 1, kBishop) && at("c2", 0, kPawn)) || (at("a2", 1, kBishop) && at("b3", 0, kPawn)) ||
      (at("a3", 1, kBishop) && at("b4", 0, kPawn)) || (at("g1", 1, kBishop) && at("f2", 0, kPawn)) ||
      (at("h2", 1, kBishop) && at("g3", 0, kPawn)) || (at("h3", 1, kBishop) && at("g4", 0, kPawn))))
    mg += 1802, eg += 1802;
  if (at("c1", 0, kBishop) && at("d2", 0, kPawn) && any("d3")) mg -= 1920;
  if (at("f1", 0, kBishop) && at("e2", 0, kPawn) && any("e3")) mg -= 1920;
  if (at("c8", 1, kBishop) && at("d7", 1, kPawn) && any("d6")) mg += 1920;
  if (at("f8", 1, kBishop) && at("e7", 1, kPawn) && any("e6")) mg += 1920;
  if ((at("a1", 0, kRook) || at("b1", 0, kRook) || at("a2", 0, kRook)) && (at("b1", 0, kKing) || at("c1", 0, kKing)))
    mg -= 1920;
  if ((at("g1", 0, kRook) || at("h1", 0, kRook) || at("h2", 0, kRook)) && (at("f1", 0, kKing) || at("g1", 0, kKing)))
    mg -= 1920;
  if ((at("a8", 1, kRook) || at("b8", 1, kRook) || at("a7", 1, kRook)) && (at("b8", 1, kKing) || at("c8", 1, kKing)))
    mg += 1920;
  if ((at("g8", 1, kRook) || at("h8", 1, kRook) || at("h7", 1, kRook)) && (at("f8", 1, kKing) || at("g8", 1, kKing)))
    mg += 1920;
  if (opt.halving && (draw_flags & 0x80)) {
    bool light = false, dark = false;
    for (int s = 0; s < 64; ++s)
      if (b.piece[s] == kBishop) ((file_of(s) + rank_of(s)) % 2 ? light : dark) = true;
    if (light && dark) mg /= 2, eg /= 2;
  }
  i32 v = opt.endgame_only ? eg >> 5 : ((256 - 4 * static_cast<i32>(phase)) * mg + 4 * static_cast<i32>(phase) * eg) >> 13;
  if (v > 0)
    v -= (std::min(v, 100) * e.scale[0]) >> 8;
  else
    v -= (std::max(v, -100) * e.scale[1]) >> 8;
  v = (v * 116) / 128;
  res.eval = b.stm == 0 ? v + 10 : 10 - v;
  finish_draw(eg > 0);
  return res;
}

}  // namespace ref

std::vector<std::string> sample_positions(int randoms) {
  std::vector<std::string> fens = testing::kSampleFens;
  fens.insert(fens.end(), {
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq -",
      // Passed pawns against a bare king: unstoppable and key squares.
      "8/8/1P6/8/8/8/k7/4K3 w - -",
      "8/8/1P6/8/8/8/k7/4K3 b - -",
      "8/8/8/2KP4/8/8/8/6k1 w - -",
      "8/8/8/8/8/8/P7/k6K w - -",
      "8/8/1K6/P7/8/8/8/6k1 b - -",
      "6k1/8/8/8/8/p7/8/1K6 b - -",
      // Rooks and queens on the seventh rank, king-file bonuses.
      "4k3/R7/8/8/8/8/8/Q3K3 w - -",
      "4k3/1Q6/8/8/8/8/8/R3K3 w - -",
      "3qk3/4R3/8/8/8/8/8/4K3 w - -",
      "4k3/8/8/8/8/8/3r4/3QK3 b - -",
      // Trapped and blocked bishops, trapped rooks.
      "4k3/B7/1p6/8/8/8/8/4K3 w - -",
      "6Bk/5p2/8/8/8/8/8/4K3 w - -",
      "4k3/8/8/8/8/1P6/b7/4K3 w - -",
      "4k3/8/8/8/6P1/7b/8/4K3 b - -",
      "4k3/8/8/8/8/3N4/3P4/2B1K3 w - -",
      "2b1kb2/3pp3/3n4/8/8/8/8/4K3 w - -",
      "4k3/8/8/8/8/8/8/RK6 w - -",
      "rk6/8/8/8/8/8/8/4K3 w - -",
      "4k3/8/8/8/8/8/7R/5K2 w - -",
      "5k1r/8/8/8/8/8/8/4K3 w - -",
  });
  std::mt19937 rng(777);
  for (int i = 0; i < randoms; ++i) fens.push_back(testing::random_fen(rng, 4 + i % 28));
  return fens;
}

// Calls `visit` on every position of random legal games from the start
// position (castling rights, shelters and king attacks as in real play).
template <class F>
void random_games(int games, F&& visit) {
  std::mt19937 rng(4242);
  for (int g = 0; g < games; ++g) {
    set_fen(kStartFen);
    for (int ply = 0; ply < 120; ++ply) {
      visit();
      UciMove moves[kMaxLegalMoves];
      const int n = generate_legal_uci_moves(moves);
      if (n == 0) break;
      make_root_move(moves[rng() % n]);
      rebuild_position(current_position);
    }
  }
}

#ifdef ORVEX_SANITIZED
constexpr int kRandoms = 300;
constexpr int kGames = 10;
#else
constexpr int kRandoms = 6000;
constexpr int kGames = 150;
#endif

class EvaluationReference : public ::testing::Test {
 protected:
  void SetUp() override { clear_pawn_hash(); }
  void TearDown() override {
    lazy_low = -500;
    lazy_high = 500;
  }
};

void check_pawn_entry() {
  const ref::Pawns want = ref::pawns(ref::read_board());
  const PawnHashEntry& e = *evaluate_pawn_structure();
  EXPECT_EQ(e.score_mg, want.mg);
  EXPECT_EQ(e.score_eg, want.eg);
  EXPECT_EQ(e.passed_white, want.passed[0]);
  EXPECT_EQ(e.passed_black, want.passed[1]);
  EXPECT_EQ(e.scale_up, want.scale[0]);
  EXPECT_EQ(e.scale_down, want.scale[1]);
  for (int z = 0; z < 6; ++z) EXPECT_EQ(e.shelter[z], want.shelter[z]) << "zone " << z;
}

// Compares the three evaluations and the attack maps under several lazy
// windows; returns how many windows took the full path.
int check_evaluations() {
  struct Variant {
    const char* name;
    ref::Options opt;
    bool (*eval)(Record&);
    bool (*attacks)(Record&);
  };
  // Options: draw test, halving, rights, endgame only, knights, bishops,
  // rooks, queen terms, trapped bishops.
  static const Variant variants[] = {
      {"general", {true, true, true}, [](Record& r) { return evaluate_with<GeneralEval>(r); },
       [](Record& r) { return compute_attacks_with<GeneralEval>(r); }},
      {"castling_rights", {false, false, true}, [](Record& r) { return evaluate_with<CastlingRightsEval>(r); },
       [](Record& r) { return compute_attacks_with<CastlingRightsEval>(r); }},
      {"mixed", {false, false, false}, [](Record& r) { return evaluate_with<MixedEval>(r); },
       [](Record& r) { return compute_attacks_with<MixedEval>(r); }},
      {"pawn_ending", {false, false, false, true, 3, 0, 0, false, 0},
       [](Record& r) { return PawnEndingLayer::evaluate(r); }, [](Record& r) { return PawnEndingLayer::compute_attacks(r); }},
      {"bishop_ending", {true, true, false, true, 3, 3, 0, false, 3},
       [](Record& r) { return BishopEndingLayer::evaluate(r); },
       [](Record& r) { return BishopEndingLayer::compute_attacks(r); }},
      {"bishop_vs_knight_ending", {true, false, false, true, 3, 1, 0, false, 1},
       [](Record& r) { return BishopVsKnightEndingLayer::evaluate(r); },
       [](Record& r) { return BishopVsKnightEndingLayer::compute_attacks(r); }},
      {"knight_vs_bishop_ending", {true, false, false, true, 3, 2, 0, false, 2},
       [](Record& r) { return KnightVsBishopEndingLayer::evaluate(r); },
       [](Record& r) { return KnightVsBishopEndingLayer::compute_attacks(r); }},
      {"knight_ending", {false, false, false, true, 3, 0, 0, false, 0},
       [](Record& r) { return KnightEndingLayer::evaluate(r); },
       [](Record& r) { return KnightEndingLayer::compute_attacks(r); }},
      {"queen_ending", {false, false, false, true, 3, 0, 0, true, 0},
       [](Record& r) { return QueenEndingLayer::evaluate(r); },
       [](Record& r) { return QueenEndingLayer::compute_attacks(r); }},
      {"rook_ending", {false, false, false, true, 3, 0, 3, false, 0},
       [](Record& r) { return RookEndingLayer::evaluate(r); }, [](Record& r) { return RookEndingLayer::compute_attacks(r); }},
      {"rook_bishop_ending", {true, true, false, true, 3, 3, 3, false, 3},
       [](Record& r) { return RookBishopEndingLayer::evaluate(r); },
       [](Record& r) { return RookBishopEndingLayer::compute_attacks(r); }},
      {"rook_knight_ending", {false, false, false, true, 3, 0, 3, false, 0},
       [](Record& r) { return RookKnightEndingLayer::evaluate(r); },
       [](Record& r) { return RookKnightEndingLayer::compute_attacks(r); }},
  };
  static const int windows[][2] = {{-500, 500}, {-2, 2}, {0, 3}, {-3, 0}, {500, -500}};
  int full_paths = 0;
  for (const auto& w : windows) {
    lazy_low = w[0];
    lazy_high = w[1];
    for (const Variant& v : variants) {
      SCOPED_TRACE(v.name);
      const ref::Result want = ref::evaluate(v.opt);
      Record got;
      const bool check = v.eval(got);
      EXPECT_EQ(got.static_eval, want.eval) << "window " << w[0] << " " << w[1];
      EXPECT_EQ(got.attacks_us, want.us);
      EXPECT_EQ(got.attacks_them, want.them);
      EXPECT_EQ(check, want.check);
      Record attacks;
      EXPECT_EQ(v.attacks(attacks), want.check);
      EXPECT_EQ(attacks.attacks_us, want.us);
      EXPECT_EQ(attacks.attacks_them, want.them);
    }
    const i32 balance = current_position.state.material_balance;
    full_paths += balance > lazy_low && balance < lazy_high;
  }
  return full_paths;
}

std::string fen_of_position() {
  std::string fen;
  for (int r = 7; r >= 0; --r) {
    for (int f = 0; f < 8; ++f) {
      const int code = current_position.board[8 * r + f];
      fen += code ? "PpNnBbRrQqKk"[code - 2] : '.';
    }
    fen += r ? "/" : "";
  }
  return fen + (current_position.side_to_move ? " b" : " w") + " castling " +
         std::to_string(current_position.state.castling);
}

TEST_F(EvaluationReference, PawnEntriesMatch) {
  for (const std::string& fen : sample_positions(kRandoms)) {
    SCOPED_TRACE(fen);
    set_fen(fen);
    check_pawn_entry();
  }
  random_games(kGames, [] {
    SCOPED_TRACE(fen_of_position());
    check_pawn_entry();
  });
}

TEST_F(EvaluationReference, EvaluationsMatch) {
  int full_paths = 0;
  for (const std::string& fen : sample_positions(kRandoms)) {
    SCOPED_TRACE(fen);
    set_fen(fen);
    full_paths += check_evaluations();
  }
  EXPECT_GT(full_paths, kRandoms);
  full_paths = 0;
  int positions = 0;
  random_games(kGames, [&] {
    SCOPED_TRACE(fen_of_position());
    full_paths += check_evaluations();
    ++positions;
  });
  EXPECT_GT(full_paths, positions);
}

}  // namespace
}  // namespace orvex
