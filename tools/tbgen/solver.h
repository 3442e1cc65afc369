// Exact tables of the five three-man classes (a king and one man against a
// lone king), computed by retrograde analysis: every position's result and
// distance to mate in plies.
#pragma once
#include <vector>

#include "position/types.h"

namespace orvex::tbgen {

// The man beside the stronger side's king.
enum class Man { kQueen, kRook, kBishop, kKnight, kPawn };

// A position: side to move (0 the side with the man, 1 the lone king), the
// three squares.  Index = ((stm * 64 + strong_king) * 64 + weak_king) * 64 + man.
struct ThreeMen {
  u32 stm, strong_king, weak_king, man;
};
constexpr u32 kThreeMenStates = 2 * 64 * 64 * 64;
inline u32 state_index(const ThreeMen& p) { return ((p.stm * 64 + p.strong_king) * 64 + p.weak_king) * 64 + p.man; }
inline ThreeMen state_of(u32 i) { return {i >> 18, (i >> 12) & 63, (i >> 6) & 63, i & 63}; }

// Result of a position for its side to move.
enum class Outcome : u8 { kIllegal, kDraw, kWin, kLoss };
struct Result {
  Outcome outcome = Outcome::kIllegal;
  u16 plies = 0;  // win: mate given at this ply (odd); loss: mated at this ply (even, 0 = mated now)
};

// Results of every state of one class.  Pawn results need the four classes
// a pawn promotes into.
struct Solved {
  Man man;
  std::vector<Result> result;  // kThreeMenStates entries
};
Solved solve(Man man, const Solved* promoted[4]);  // promoted: queen, rook, bishop, knight

// Solves all five classes in an order that has each promotion's class ready:
// queen, rook, bishop, knight, pawn.
std::vector<Solved> solve_all();

const char* class_name(Man man);  // "kqk", "krk", "kbk", "knk", "kpk"
bool is_legal(Man man, const ThreeMen& p);

// The one-byte table code of a result: a win in m moves is 127 - m (m up to
// 126; 127 moves: -128), a loss in m moves m - 126 (m up to 125; 126 moves:
// -127), a draw 0; 127 (no value) where no legal position has the number.
u8 table_byte(const Result& r);

}  // namespace orvex::tbgen
