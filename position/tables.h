// Constant square tables shared by move generation, legality tests, make and
// unmake, the exchange test and the evaluation's attack maps.  Every table is a
// pure function of the board geometry, filled during constant initialisation
// (before any dynamic initialiser of any translation unit runs), so they can be
// read at any time without a set-up call.
#pragma once
#include <array>

#include "position/position.h"
#include "position/types.h"

namespace orvex {

template <class T, std::size_t N>
using Table = std::array<T, N>;
template <class T, std::size_t A, std::size_t B>
using Table2 = std::array<std::array<T, B>, A>;
template <class T, std::size_t A, std::size_t B, std::size_t C>
using Table3 = std::array<std::array<std::array<T, C>, B>, A>;

// The four lines through a square, in the order of their blocks in line_attacks.
using LineKind = u32;
constexpr LineKind kLineDiagA8H1 = 0;  // file + rank constant
constexpr LineKind kLineDiagA1H8 = 1;  // file - rank constant
constexpr LineKind kLineRank = 2;
constexpr LineKind kLineFile = 3;
constexpr LineKind kLineNone = 4;

// Bit of each square in the four occupancy layouts, and the complements.
extern const Table<u64, 64> clear_bit;
extern const Table<u64, 64> files_bit;
extern const Table<u64, 64> files_clear;
extern const Table<u64, 64> diag_a8h1_bit;
extern const Table<u64, 64> diag_a8h1_clear;
extern const Table<u64, 64> diag_a1h8_bit;
extern const Table<u64, 64> diag_a1h8_clear;

// Shift that brings the inner squares of a square's line to the low six bits of
// the line's layout occupancy (0 for lines of one or two squares).
extern const Table<u32, 64> diag_a8h1_shift;
extern const Table<u32, 64> diag_a1h8_shift;
extern const Table<u32, 64> rank_shift;
extern const Table<u32, 64> file_shift;

// [kind][square][6-bit inner occupancy]: squares a slider sees along that line,
// up to and including the first occupied square in each direction.
extern const Table3<u64, 4, 64, 64> line_attacks;

extern const Table<u64, 64> knight_attacks;
extern const Table<u64, 64> king_attacks;
extern const Table2<u64, 2, 64> pawn_attacks;            // [colour][square]
extern const Table2<u64, 2, 64> pawn_push;               // one step forward
extern const Table2<u64, 2, 64> pawn_double_push;        // two steps from the home rank
extern const Table2<u64, 2, 64> pawn_capture_toward_a;   // capture square on the a-file side
extern const Table2<u64, 2, 64> pawn_capture_toward_h;   // capture square on the h-file side

// Line joining two squares, kLineNone when none or when they are equal.
extern const Table2<u8, 64, 64> line_kind;

struct EvasionLines {
  u64 interpose;    // squares between king and checker, plus the checker
  u64 king_escape;  // all squares but the one behind the king on the checking line
};
extern const Table2<EvasionLines, 64, 64> evasion_lines;  // [king][checker]

// By piece code: all ones for the two pawns (a pawn's check never forbids the
// square behind the king), 0 otherwise.
extern const Table<u64, 16> escape_override;

extern const Table<u64, 64> off_rook_lines;    // off the rank and file of s (s excluded)
extern const Table<u64, 64> off_bishop_lines;  // off both diagonals of s (s excluded)

// Castling rights that survive a move from or to the square.
extern const Table<u32, 64> castle_mask;

// Rotated layouts of a plain occupancy; slow, for set-up code and tests.
u64 files_layout(u64 occupied);
u64 diag_a8h1_layout(u64 occupied);
u64 diag_a1h8_layout(u64 occupied);

// Sliding attacks from explicit occupancies.
inline u64 rank_attacks(Square s, u64 occupied) {
  return line_attacks[kLineRank][s][(occupied >> rank_shift[s]) & 63];
}
inline u64 file_attacks(Square s, u64 occ_files) {
  return line_attacks[kLineFile][s][(occ_files >> file_shift[s]) & 63];
}
inline u64 diag_a8h1_attacks(Square s, u64 occ_diag_a8h1) {
  return line_attacks[kLineDiagA8H1][s][(occ_diag_a8h1 >> diag_a8h1_shift[s]) & 63];
}
inline u64 diag_a1h8_attacks(Square s, u64 occ_diag_a1h8) {
  return line_attacks[kLineDiagA1H8][s][(occ_diag_a1h8 >> diag_a1h8_shift[s]) & 63];
}
inline u64 rook_attacks(Square s, u64 occupied, u64 occ_files) {
  return rank_attacks(s, occupied) | file_attacks(s, occ_files);
}
inline u64 bishop_attacks(Square s, u64 occ_diag_a8h1, u64 occ_diag_a1h8) {
  return diag_a8h1_attacks(s, occ_diag_a8h1) | diag_a1h8_attacks(s, occ_diag_a1h8);
}

// Sliding attacks through the occupancies of a position record.
inline u64 rook_attacks(Square s, const Position& p) { return rook_attacks(s, p.occupied, p.occ_files); }
inline u64 bishop_attacks(Square s, const Position& p) {
  return bishop_attacks(s, p.occ_diag_a8h1, p.occ_diag_a1h8);
}
inline u64 queen_attacks(Square s, const Position& p) { return rook_attacks(s, p) | bishop_attacks(s, p); }

// Sliding attacks on current_position.
inline u64 rook_attacks(Square s) { return rook_attacks(s, current_position); }
inline u64 bishop_attacks(Square s) { return bishop_attacks(s, current_position); }
inline u64 queen_attacks(Square s) { return queen_attacks(s, current_position); }

// Sliding attacks from a plain occupancy (rotates it first; slow).
inline u64 rook_attacks_from(Square s, u64 occupied) { return rook_attacks(s, occupied, files_layout(occupied)); }
inline u64 bishop_attacks_from(Square s, u64 occupied) {
  return bishop_attacks(s, diag_a8h1_layout(occupied), diag_a1h8_layout(occupied));
}

}  // namespace orvex
