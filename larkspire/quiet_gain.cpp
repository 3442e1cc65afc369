// The quiet gain table and the generator of quiet moves above a gain
// threshold.
//
// A few entries are fixed (the developing moves of the opening, the king's
// first steps, the pawn pushes below).  Every other entry follows one rule,
// computed for white's moves and mirrored for black's:
//   pieces (rows 0, 1): raw = 2 * (centre(to) - centre(from)) + (rank(to) -
//     rank(from)), centre(s) = min(file, 7 - file) + min(rank, 7 - rank);
//     value = clamp((raw + 8) / 2, 1, 15): toward the centre and forward
//     gains;
//   king (row 4): the same raw value negated (away from the centre and back
//     home gains);
//   pawns (row 5): one-square pushes by destination rank 3, 4, 5, 6, 7 give
//     2, 3, 5, 8, 11, two-square pushes 3, plus 1 on the c- to f-files;
//     pushes onto the last rank 0.
// Then, per row, the lowest-ranked entries by (raw value, from * 64 + to)
// that are not fixed are set to 0, as many as it takes for the row's count
// of non-zero entries: 1458 for rows 0 and 2, 1367 for rows 1 and 3, 416 king
// steps in row 4, 90 pushes in row 5.  Rows 2 and 3 are rows 0 and 1 seen
// from the other side, and rows 4 and 5 are their own mirror image (entry
// [r][f][t] = [r][f ^ 56][t ^ 56]).
#include <algorithm>
#include <array>

#include "larkspire/board.h"

namespace orvex::larkspire {
namespace {

using GainTable = QuietGainTable;

constexpr int file_of(int s) { return s & 7; }
constexpr int rank_of(int s) { return s >> 3; }
constexpr int centre(int s) {
  const int f = file_of(s), r = rank_of(s);
  return std::min(f, 7 - f) + std::min(r, 7 - r);
}
constexpr int sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }
constexpr int abs_of(int v) { return v < 0 ? -v : v; }

constexpr bool line_move(int f, int t) {
  const int df = abs_of(file_of(t) - file_of(f)), dr = abs_of(rank_of(t) - rank_of(f));
  return f != t && (df == 0 || dr == 0 || df == dr);
}
constexpr bool knight_move(int f, int t) {
  const int df = abs_of(file_of(t) - file_of(f)), dr = abs_of(rank_of(t) - rank_of(f));
  return (df == 1 && dr == 2) || (df == 2 && dr == 1);
}
constexpr bool king_step(int f, int t) {
  const int df = abs_of(file_of(t) - file_of(f)), dr = abs_of(rank_of(t) - rank_of(f));
  return f != t && df <= 1 && dr <= 1;
}

struct Fixed {
  int row;
  const char* from;
  const char* to;
  u8 value;
};
constexpr Fixed kFixed[] = {
    {0, "g1", "f3", 15}, {0, "g1", "e2", 7},  {0, "g1", "h3", 2},  {0, "b1", "c3", 10}, {0, "b1", "d2", 5},
    {0, "b1", "a3", 4},  {0, "c1", "e3", 14}, {0, "c1", "a3", 11}, {0, "c1", "g5", 6},  {0, "h1", "e1", 14},
    {0, "h1", "g1", 12}, {0, "h1", "f1", 9},  {1, "d1", "d4", 13}, {1, "d1", "g4", 12}, {1, "d1", "d2", 8},
    {4, "e1", "f1", 12}, {4, "e1", "f2", 11}, {4, "e1", "d1", 7},  {4, "e1", "d2", 5},  {4, "e1", "e2", 2},
    {5, "e2", "e4", 4},  {5, "e2", "e3", 1},  {5, "d2", "d4", 0},  {5, "d2", "d3", 0},  {5, "c2", "c4", 7},
    {5, "e6", "e7", 12}, {5, "c6", "c7", 13}, {5, "b2", "b3", 9},
};

constexpr int fixed_value(int row, int f, int t) {
  for (const Fixed& x : kFixed)
    if (x.row == row && sq(x.from) == f && sq(x.to) == t) return x.value;
  return -1;
}

constexpr int piece_raw(int f, int t) { return 2 * (centre(t) - centre(f)) + (rank_of(t) - rank_of(f)); }
constexpr u8 raw_value(int raw) { return static_cast<u8>(std::clamp((raw + 8) / 2, 1, 15)); }
constexpr int pawn_raw(int f, int t) {
  constexpr int one_step[8] = {0, 0, 2, 3, 5, 8, 11, 0};
  const int bonus = (file_of(f) >= 2 && file_of(f) <= 5) ? 1 : 0;
  return (t - f == 16 ? 3 : one_step[rank_of(t)]) + bonus;
}

// Fills one row from its candidate pairs (white's or canonical view):
// fixed entries, rule values, then the lowest-ranked free entries zeroed
// until `zeros` entries of the candidates are 0.
template <class Candidate, class Raw, class Value>
constexpr void fill_row(GainTable& g, int row, int zeros, Candidate candidate, Raw raw, Value value) {
  // Candidates ranked by (raw, index): find the cut by counting.
  int remaining = zeros;
  for (int f = 0; f < 64; ++f)
    for (int t = 0; t < 64; ++t)
      if (candidate(f, t) && fixed_value(row, f, t) == 0) --remaining;
  int lowest = 1000, highest = -1000;
  for (int f = 0; f < 64; ++f)
    for (int t = 0; t < 64; ++t)
      if (candidate(f, t)) lowest = std::min(lowest, raw(f, t)), highest = std::max(highest, raw(f, t));
  for (int r = lowest; r <= highest; ++r)
    for (int f = 0; f < 64; ++f)
      for (int t = 0; t < 64; ++t) {
        if (!candidate(f, t) || raw(f, t) != r) continue;
        const int fixed = fixed_value(row, f, t);
        if (fixed >= 0) {
          g[row][f][t] = static_cast<u8>(fixed);
        } else if (remaining > 0) {
          g[row][f][t] = 0;
          --remaining;
        } else {
          g[row][f][t] = value(f, t);
        }
      }
}

constexpr GainTable build_gain_table() {
  GainTable g{};
  auto piece_value = [](int f, int t) { return raw_value(piece_raw(f, t)); };
  // Rows 0 and 1: white's pieces.
  fill_row(g, 0, 1792 - 1458, [](int f, int t) { return line_move(f, t) || knight_move(f, t); }, piece_raw,
           piece_value);
  fill_row(g, 1, 1456 - 1367, line_move, piece_raw, piece_value);
  // Row 4: king steps from the lower half (the upper half mirrors them);
  // 4 zeros in all, 2 here.
  auto king_raw = [](int f, int t) { return -piece_raw(f, t); };
  fill_row(g, 4, 2, [](int f, int t) { return f < 32 && king_step(f, t); }, king_raw,
           [](int f, int t) { return raw_value(-piece_raw(f, t)); });
  // Row 5: white's non-promoting pushes (black's mirror them); 6 zeros in
  // all, 3 here (d2-d3 and d2-d4 among them).
  auto white_push = [](int f, int t) {
    return rank_of(t) <= 6 && ((t - f == 8 && rank_of(f) >= 1) || (t - f == 16 && rank_of(f) == 1));
  };
  fill_row(g, 5, 3, white_push, pawn_raw, [](int f, int t) { return static_cast<u8>(pawn_raw(f, t)); });
  // Mirrors.
  for (int f = 0; f < 64; ++f)
    for (int t = 0; t < 64; ++t) {
      g[2][f][t] = g[0][f ^ 56][t ^ 56];
      g[3][f][t] = g[1][f ^ 56][t ^ 56];
      if (f >= 32 && king_step(f, t)) g[4][f][t] = g[4][f ^ 56][t ^ 56];
      if (t < f) g[5][f][t] = g[5][f ^ 56][t ^ 56];
    }
  // Castling king moves (never read by the generator).
  g[4][sq("e1")][sq("g1")] = 11;
  g[4][sq("e1")][sq("c1")] = 9;
  g[4][sq("e8")][sq("g8")] = 11;
  g[4][sq("e8")][sq("c8")] = 9;
  return g;
}

}  // namespace

constexpr QuietGainTable quiet_gain_table = build_gain_table();

void generate_quiet_moves_above_threshold(SearchMove* moves, i32 threshold, u64 attacks_them) {
  using movegen_detail::pop_lowest;
  const Position& p = current_position;
  const Colour c = p.side_to_move;
  u32 keys[kMaxMoves];
  u32 n = 0;
  auto emit = [&](Square from, Square to, PieceCode code) {
    const u32 key = quiet_gain_table[gain_row(code)][from][to];
    if (static_cast<i32>(key) < threshold) return;
    // Stable insertion, highest key first.
    u32 j = n++;
    while (j > 0 && keys[j - 1] < key) {
      moves[j] = moves[j - 1];
      keys[j] = keys[j - 1];
      --j;
    }
    moves[j] = make_move_code(from, to);
    keys[j] = key;
  };
  const u64 empty = ~p.occupied;
  const PieceCode pawn = make_piece(kPawn, c);
  const int forward = c == kWhite ? 8 : -8;
  const u64 pawns = p.piece_bb[pawn - 2];
  const u64 last_rank = c == kWhite ? movegen_detail::kRank8 : movegen_detail::kRank1;
  const u64 third_rank = c == kWhite ? movegen_detail::kRank3 : movegen_detail::kRank6;
  for (u64 to_set = (c == kWhite ? pawns << 8 : pawns >> 8) & empty & ~last_rank; to_set;) {
    const Square to = pop_lowest(to_set);
    const Square from = to - forward;
    if ((bit(to) & third_rank) && !p.board[to + forward]) emit(from, to + forward, pawn);
    emit(from, to, pawn);
  }
  auto piece_moves = [&](PieceType t, auto attacks_of) {
    const PieceCode code = make_piece(t, c);
    for (u64 pieces = p.piece_bb[code - 2]; pieces;) {
      const Square from = pop_lowest(pieces);
      for (u64 to_set = attacks_of(from) & empty; to_set;) emit(from, pop_lowest(to_set), code);
    }
  };
  piece_moves(kKnight, [](Square s) { return knight_attacks[s]; });
  piece_moves(kQueen, [&](Square s) { return queen_attacks(s, p); });
  piece_moves(kBishop, [&](Square s) { return bishop_attacks(s, p); });
  piece_moves(kRook, [&](Square s) { return rook_attacks(s, p); });
  piece_moves(kKing, [&](Square s) { return king_attacks[s] & ~attacks_them; });
  moves[n] = 0;
}

}  // namespace orvex::larkspire
