#include "position/tables.h"

namespace orvex {
namespace {

constexpr int file_i(Square s) { return static_cast<int>(s & 7); }
constexpr int rank_i(Square s) { return static_cast<int>(s >> 3); }
constexpr bool on_board(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }
constexpr Square sq(int f, int r) { return static_cast<Square>(r * 8 + f); }

// Number of squares on diagonal number d (0..14) and the layout bit where it starts.
constexpr u32 diagonal_length(int d) { return static_cast<u32>(d <= 7 ? d + 1 : 15 - d); }
constexpr u32 diagonal_offset(int d) {
  u32 total = 0;
  for (int k = 0; k < d; ++k) total += diagonal_length(k);
  return total;
}

// Layout bit of square s in each of the four occupancies.
constexpr u32 files_pos(Square s) { return static_cast<u32>(8 * file_i(s) + (7 - rank_i(s))); }
constexpr u32 diag_a8h1_pos(Square s) {
  const int d = file_i(s) + rank_i(s);
  const int first_file = d <= 7 ? 0 : d - 7;
  return diagonal_offset(d) + static_cast<u32>(file_i(s) - first_file);
}
constexpr u32 diag_a1h8_pos(Square s) {
  const int e = (7 - file_i(s)) + rank_i(s);
  const int first_file = e <= 7 ? 7 - e : 0;
  return diagonal_offset(e) + static_cast<u32>(file_i(s) - first_file);
}
constexpr u32 layout_pos(LineKind k, Square s) {
  switch (k) {
    case kLineDiagA8H1: return diag_a8h1_pos(s);
    case kLineDiagA1H8: return diag_a1h8_pos(s);
    case kLineRank: return s;
    default: return files_pos(s);
  }
}
constexpr bool same_line(LineKind k, Square a, Square b) {
  switch (k) {
    case kLineDiagA8H1: return file_i(a) + rank_i(a) == file_i(b) + rank_i(b);
    case kLineDiagA1H8: return file_i(a) - rank_i(a) == file_i(b) - rank_i(b);
    case kLineRank: return rank_i(a) == rank_i(b);
    default: return file_i(a) == file_i(b);
  }
}

// The squares of the line of kind k through s, in layout order.
struct LineSquares {
  Square at[8]{};
  u32 length = 0;
  u32 first_pos = 0;  // layout bit of at[0]
};
constexpr LineSquares line_through(LineKind k, Square s) {
  LineSquares line;
  u32 lowest = 64;
  for (Square t = 0; t < 64; ++t)
    if (same_line(k, s, t)) {
      line.length += 1;
      if (layout_pos(k, t) < lowest) lowest = layout_pos(k, t);
    }
  line.first_pos = lowest;
  for (Square t = 0; t < 64; ++t)
    if (same_line(k, s, t)) line.at[layout_pos(k, t) - lowest] = t;
  return line;
}

template <class F>
constexpr Table<u64, 64> square_bits(F pos) {
  Table<u64, 64> t{};
  for (Square s = 0; s < 64; ++s) t[s] = u64{1} << pos(s);
  return t;
}
constexpr Table<u64, 64> complement(const Table<u64, 64>& bits) {
  Table<u64, 64> t{};
  for (Square s = 0; s < 64; ++s) t[s] = ~bits[s];
  return t;
}

constexpr Table<u32, 64> build_shift(LineKind k) {
  Table<u32, 64> t{};
  for (Square s = 0; s < 64; ++s) {
    const LineSquares line = line_through(k, s);
    t[s] = line.length >= 3 ? line.first_pos + 1 : 0;
  }
  return t;
}

constexpr Table3<u64, 4, 64, 64> build_line_attacks() {
  Table3<u64, 4, 64, 64> t{};
  for (LineKind k = 0; k < 4; ++k)
    for (Square s = 0; s < 64; ++s) {
      const LineSquares line = line_through(k, s);
      const int n = static_cast<int>(line.length);
      const int home = static_cast<int>(layout_pos(k, s) - line.first_pos);
      for (u32 index = 0; index < 64; ++index) {
        // Position q of the line is occupied when it is an inner square whose bit is set.
        auto blocked = [&](int q) { return q >= 1 && q <= n - 2 && ((index >> (q - 1)) & 1); };
        u64 set = 0;
        for (int q = home - 1; q >= 0; --q) {
          set |= u64{1} << line.at[q];
          if (blocked(q)) break;
        }
        for (int q = home + 1; q < n; ++q) {
          set |= u64{1} << line.at[q];
          if (blocked(q)) break;
        }
        t[k][s][index] = set;
      }
    }
  return t;
}

template <std::size_t N>
constexpr Table<u64, 64> build_leaper(const int (&df)[N], const int (&dr)[N]) {
  Table<u64, 64> t{};
  for (Square s = 0; s < 64; ++s)
    for (std::size_t i = 0; i < N; ++i) {
      const int f = file_i(s) + df[i], r = rank_i(s) + dr[i];
      if (on_board(f, r)) t[s] |= u64{1} << sq(f, r);
    }
  return t;
}
constexpr int kKnightDf[8] = {1, 2, 2, 1, -1, -2, -2, -1};
constexpr int kKnightDr[8] = {2, 1, -1, -2, -2, -1, 1, 2};
constexpr int kKingDf[8] = {1, 1, 1, 0, -1, -1, -1, 0};
constexpr int kKingDr[8] = {1, 0, -1, -1, -1, 0, 1, 1};

// One pawn step of colour c from s by file delta df, or 0 when it leaves the board.
constexpr u64 pawn_step(Colour c, Square s, int df, int ranks) {
  const int f = file_i(s) + df;
  const int r = rank_i(s) + (c == kWhite ? ranks : -ranks);
  return on_board(f, r) ? u64{1} << sq(f, r) : 0;
}
enum class PawnTable { kAttacks, kPush, kDoublePush, kTowardA, kTowardH };
constexpr Table2<u64, 2, 64> build_pawn(PawnTable which) {
  Table2<u64, 2, 64> t{};
  for (Colour c = 0; c < 2; ++c)
    for (Square s = 0; s < 64; ++s) {
      u64 set = 0;
      switch (which) {
        case PawnTable::kAttacks: set = pawn_step(c, s, -1, 1) | pawn_step(c, s, 1, 1); break;
        case PawnTable::kPush: set = pawn_step(c, s, 0, 1); break;
        case PawnTable::kDoublePush:
          if (rank_i(s) == (c == kWhite ? 1 : 6)) set = pawn_step(c, s, 0, 2);
          break;
        case PawnTable::kTowardA: set = pawn_step(c, s, -1, 1); break;
        case PawnTable::kTowardH: set = pawn_step(c, s, 1, 1); break;
      }
      t[c][s] = set;
    }
  return t;
}

constexpr LineKind kind_between(Square a, Square b) {
  if (a == b) return kLineNone;
  for (LineKind k = 0; k < 4; ++k)
    if (same_line(k, a, b)) return k;
  return kLineNone;
}

constexpr Table2<u8, 64, 64> build_line_kind() {
  Table2<u8, 64, 64> t{};
  for (Square a = 0; a < 64; ++a)
    for (Square b = 0; b < 64; ++b) t[a][b] = static_cast<u8>(kind_between(a, b));
  return t;
}

constexpr int sign(int x) { return (x > 0) - (x < 0); }

constexpr Table2<EvasionLines, 64, 64> build_evasion_lines() {
  Table2<EvasionLines, 64, 64> t{};
  for (Square k = 0; k < 64; ++k)
    for (Square c = 0; c < 64; ++c) {
      EvasionLines e{u64{1} << c, ~u64{0}};
      if (kind_between(k, c) != kLineNone) {
        const int df = sign(file_i(c) - file_i(k)), dr = sign(rank_i(c) - rank_i(k));
        for (int f = file_i(k) + df, r = rank_i(k) + dr; sq(f, r) != c; f += df, r += dr)
          e.interpose |= u64{1} << sq(f, r);
        const int bf = file_i(k) - df, br = rank_i(k) - dr;
        if (on_board(bf, br)) e.king_escape = ~(u64{1} << sq(bf, br));
      }
      t[k][c] = e;
    }
  return t;
}

constexpr Table<u64, 16> build_escape_override() {
  Table<u64, 16> t{};
  t[kWhitePawn] = ~u64{0};
  t[kBlackPawn] = ~u64{0};
  return t;
}

constexpr Table<u64, 64> build_off_lines(LineKind first, LineKind second) {
  Table<u64, 64> t{};
  for (Square s = 0; s < 64; ++s) {
    u64 on = 0;
    for (Square x = 0; x < 64; ++x)
      if (same_line(first, s, x) || same_line(second, s, x)) on |= u64{1} << x;
    t[s] = ~on;
  }
  return t;
}

constexpr Table<u32, 64> build_castle_mask() {
  Table<u32, 64> t{};
  for (Square s = 0; s < 64; ++s) t[s] = 15;
  t[0] = 13;   // a1: white long
  t[4] = 12;   // e1: both white rights
  t[7] = 14;   // h1: white short
  t[56] = 7;   // a8: black long
  t[60] = 3;   // e8: both black rights
  t[63] = 11;  // h8: black short
  return t;
}

}  // namespace

constinit const Table<u64, 64> clear_bit = complement(square_bits([](Square s) { return s; }));
constinit const Table<u64, 64> files_bit = square_bits(files_pos);
constinit const Table<u64, 64> files_clear = complement(files_bit);
constinit const Table<u64, 64> diag_a8h1_bit = square_bits(diag_a8h1_pos);
constinit const Table<u64, 64> diag_a8h1_clear = complement(diag_a8h1_bit);
constinit const Table<u64, 64> diag_a1h8_bit = square_bits(diag_a1h8_pos);
constinit const Table<u64, 64> diag_a1h8_clear = complement(diag_a1h8_bit);

constinit const Table<u32, 64> diag_a8h1_shift = build_shift(kLineDiagA8H1);
constinit const Table<u32, 64> diag_a1h8_shift = build_shift(kLineDiagA1H8);
constinit const Table<u32, 64> rank_shift = build_shift(kLineRank);
constinit const Table<u32, 64> file_shift = build_shift(kLineFile);

alignas(64) constinit const Table3<u64, 4, 64, 64> line_attacks = build_line_attacks();

constinit const Table<u64, 64> knight_attacks = build_leaper(kKnightDf, kKnightDr);
constinit const Table<u64, 64> king_attacks = build_leaper(kKingDf, kKingDr);
constinit const Table2<u64, 2, 64> pawn_attacks = build_pawn(PawnTable::kAttacks);
constinit const Table2<u64, 2, 64> pawn_push = build_pawn(PawnTable::kPush);
constinit const Table2<u64, 2, 64> pawn_double_push = build_pawn(PawnTable::kDoublePush);
constinit const Table2<u64, 2, 64> pawn_capture_toward_a = build_pawn(PawnTable::kTowardA);
constinit const Table2<u64, 2, 64> pawn_capture_toward_h = build_pawn(PawnTable::kTowardH);

constinit const Table2<u8, 64, 64> line_kind = build_line_kind();
alignas(64) constinit const Table2<EvasionLines, 64, 64> evasion_lines = build_evasion_lines();
constinit const Table<u64, 16> escape_override = build_escape_override();
constinit const Table<u64, 64> off_rook_lines = build_off_lines(kLineRank, kLineFile);
constinit const Table<u64, 64> off_bishop_lines = build_off_lines(kLineDiagA8H1, kLineDiagA1H8);
constinit const Table<u32, 64> castle_mask = build_castle_mask();

namespace {
u64 relayout(u64 occupied, const Table<u64, 64>& bits) {
  u64 out = 0;
  for (; occupied; occupied &= occupied - 1) out |= bits[static_cast<Square>(__builtin_ctzll(occupied))];
  return out;
}
}  // namespace

u64 files_layout(u64 occupied) { return relayout(occupied, files_bit); }
u64 diag_a8h1_layout(u64 occupied) { return relayout(occupied, diag_a8h1_bit); }
u64 diag_a1h8_layout(u64 occupied) { return relayout(occupied, diag_a1h8_bit); }

}  // namespace orvex
