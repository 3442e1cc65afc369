// The ending evaluations: against the general evaluation's endgame sum on
// positions of their material, colour-mirrored positions, and the fixed
// cases of the ending terms.  (tests/search/eval_reference_test.cpp proves
// every evaluation, the ending ones included, against a plain reference.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "configs/board_layers.h"
#include "tests/configs/layer_positions.h"
#include "tests/position/move_helpers.h"
#include "tests/search/eval_test_util.h"

namespace orvex {
namespace {

using testing::Record;

template <class E>
struct Traced : E {
  static constexpr bool kTraceSums = true;
};

constexpr i32 kUnset = 0x7FFF0000;

template <class E>
Record traced(bool* check = nullptr) {
  Record r;
  r.trace_mg = r.trace_eg = kUnset;
  const bool c = evaluate_with<Traced<E>>(r);
  if (check) *check = c;
  return r;
}

class EndingEvaluation : public ::testing::Test {
 protected:
  void SetUp() override {
    lazy_low = -500;
    lazy_high = 500;
    clear_pawn_hash();
  }
  void TearDown() override {
    lazy_low = -500;
    lazy_high = 500;
  }
};

#ifdef ORVEX_SANITIZED
constexpr int kGames = 10;
#else
constexpr int kGames = 80;
#endif

// Where every piece on the board is one the evaluation visits and no queen
// stands (queen_ending: with queens too), the endgame sum is the general one.
template <class E>
void endgame_sum_is_general(const testing::MaterialClass& cls, u32 seed, bool queens_counted) {
  int compared = 0;
  testing::class_games(cls, seed, kGames, 60, [&] {
    const Position& p = current_position;
    const bool queens = (p.piece_bb[kWhiteQueen - 2] | p.piece_bb[kBlackQueen - 2]) != 0;
    if (queens && !queens_counted) return;
    const Record general = traced<GeneralEval>();
    const Record ending = traced<E>();
    if (general.trace_eg == kUnset) return;  // material only
    ++compared;
    EXPECT_EQ(ending.trace_eg, general.trace_eg);
  });
  EXPECT_GT(compared, kGames * 5);
}

TEST_F(EndingEvaluation, EndgameSumOfTheGeneralEvaluation) {
  const auto& c = testing::kEndingClasses;
  endgame_sum_is_general<PawnEndingEval>(c[0], 21, false);
  endgame_sum_is_general<QueenEndingEval>(c[0], 22, true);
  endgame_sum_is_general<BishopEndingEval>(c[1], 23, false);
  endgame_sum_is_general<BishopVsKnightEndingEval>(c[2], 24, false);
  endgame_sum_is_general<KnightVsBishopEndingEval>(c[3], 25, false);
  endgame_sum_is_general<KnightEndingEval>(c[4], 26, false);
  endgame_sum_is_general<RookEndingEval>(c[5], 27, false);
  endgame_sum_is_general<RookBishopEndingEval>(c[6], 28, false);
  endgame_sum_is_general<RookKnightEndingEval>(c[7], 29, false);
}

// The mirrored position evaluated by the mirrored class's evaluation (white
// bishops against black knights become white knights against black bishops)
// gives the negated endgame sum, the same in-check answer, mirrored attack sets
// and (shifts round toward minus infinity) a score within two units.
template <class E, class Mirror>
void colour_mirror(const testing::MaterialClass& cls, u32 seed) {
  int full = 0;
  std::mt19937 rng(seed);
  for (int i = 0; i < kGames * 20; ++i) {
    const std::string fen = testing::random_class_fen(rng, cls);
    SCOPED_TRACE(fen);
    parse_fen(fen.c_str());
    bool check_a, check_b;
    const Record a = traced<E>(&check_a);
    parse_fen(testing::mirror_fen(fen).c_str());
    const Record b = traced<Mirror>(&check_b);
    EXPECT_EQ(check_a, check_b);
    EXPECT_EQ(a.attacks_us, __builtin_bswap64(b.attacks_us));
    EXPECT_EQ(a.attacks_them, __builtin_bswap64(b.attacks_them));
    if (a.trace_eg != kUnset || b.trace_eg != kUnset) {
      ++full;
      EXPECT_EQ(a.trace_eg, -b.trace_eg);
    }
    // The draw test picks its case by the sign of the score, so a score of
    // exactly 0 may take it on one side only.
    if (a.static_eval && b.static_eval) {
      EXPECT_LE(std::abs(a.static_eval - b.static_eval), 2);
    }
  }
  EXPECT_GT(full, kGames * 5);
}

TEST_F(EndingEvaluation, ColourMirror) {
  const auto& c = testing::kEndingClasses;
  colour_mirror<PawnEndingEval, PawnEndingEval>(c[0], 31);
  colour_mirror<QueenEndingEval, QueenEndingEval>(c[0], 32);
  colour_mirror<BishopEndingEval, BishopEndingEval>(c[1], 33);
  colour_mirror<BishopVsKnightEndingEval, KnightVsBishopEndingEval>(c[2], 34);
  colour_mirror<KnightVsBishopEndingEval, BishopVsKnightEndingEval>(c[3], 35);
  colour_mirror<KnightEndingEval, KnightEndingEval>(c[4], 36);
  colour_mirror<RookEndingEval, RookEndingEval>(c[5], 37);
  colour_mirror<RookBishopEndingEval, RookBishopEndingEval>(c[6], 38);
  colour_mirror<RookKnightEndingEval, RookKnightEndingEval>(c[7], 39);
}

// The endgame sum of a position: base material and piece-square sums, to
// which each case adds its terms by hand.
i32 base_sum() {
  const Position& p = current_position;
  const MaterialEntry e = material_table[p.state.material_index & kMaterialIndexMask];
  return material_score(e, p.state.material_balance) * 140 / 128 + p.state.pst_eg;
}

// The endgame sum less the material, piece-square and pawn-structure sums:
// the piece and passed-pawn terms of the position.
template <class E>
i32 piece_and_passed_terms(const char* fen) {
  parse_fen(fen);
  const Record r = traced<E>();
  EXPECT_NE(r.trace_eg, kUnset) << fen;
  return r.trace_eg - base_sum() - evaluate_pawn_structure_ending()->score_eg;
}

TEST_F(EndingEvaluation, RookTerms) {
  // A white rook on the open a-file: 14 mobility squares (the black pawn on
  // h6 counts), +256 +172 for the file, and on the seventh with the black
  // king on the eighth +1026.  The black pawn on h6 is passed: passed_eg of
  // its rank, the free and safe terms (white has a piece), the king
  // distances: h6 is black's third rank, where only passed_eg (146) counts.
  const i32 pawn_h6 = -146;
  EXPECT_EQ(piece_and_passed_terms<RookEndingEval>("4k3/R7/7p/8/8/8/8/4K3 w - -"),
            79 * 14 + 256 + 172 + 1026 + pawn_h6);
  EXPECT_EQ(piece_and_passed_terms<RookEndingEval>("4k3/8/R6p/8/8/8/8/4K3 w - -"), 79 * 14 + 256 + 172 + pawn_h6);
  // A white pawn ahead on the file: no file bonus, 5 mobility squares; the
  // pawn on a4 is passed (index 3: 336, black king 4 away from a5 weighs
  // 131, the white king 4 away 66; black has no piece, and the black king
  // catches it).
  EXPECT_EQ(piece_and_passed_terms<RookEndingEval>("4k3/8/7p/8/P7/8/8/R3K3 w - -"),
            79 * 5 + 336 + 4 * 131 - 4 * 66 + pawn_h6);
}

TEST_F(EndingEvaluation, PawnEndingUnstoppableAndKeySquares) {
  // White passed pawn on b6 (its rank index 5), white to move, front b7.
  // Black king on h1: outside the square (+25600); white king on a7: a key
  // square (+25600); king distances from b7 weigh 779 (theirs) and 391 (own).
  EXPECT_EQ(piece_and_passed_terms<PawnEndingEval>("8/K7/1P6/8/8/8/8/7k w - -"),
            1273 + 25600 + 25600 + 6 * 779 - 1 * 391);
  EXPECT_EQ(piece_and_passed_terms<PawnEndingEval>("8/8/1P6/8/8/8/8/K6k w - -"), 1273 + 25600 + 6 * 779 - 6 * 391);
  // Black king on d7 catches the pawn: neither bonus.
  EXPECT_EQ(piece_and_passed_terms<PawnEndingEval>("8/3k4/1P6/8/8/8/8/K7 w - -"), 1273 + 2 * 779 - 6 * 391);
  // A black queen turns both tests off; the free and safe tests count instead
  // (nothing ahead of the pawn; the queen on a1 attacks neither b7 nor b8).
  EXPECT_EQ(piece_and_passed_terms<PawnEndingEval>("8/K7/1P6/8/8/8/8/q6k w - -"),
            1273 + 157 + 788 + 601 + 6 * 779 - 1 * 391);
}

TEST_F(EndingEvaluation, PromotedKnightIsSeenEverywhere) {
  // A white knight (made by promotion) in a pawn ending gives check: the
  // attack map reports it, the knight's attacks are in white's set and its
  // 121 per mobility square counts in the sum.
  parse_fen("4k3/p7/3N4/8/8/8/P7/4K3 b - -");
  Record r;
  EXPECT_TRUE(PawnEndingLayer::compute_attacks(r));
  EXPECT_EQ(r.attacks_them & knight_attacks[testing::sq("d6")], knight_attacks[testing::sq("d6")]);
  bool check = false;
  const Record e = traced<PawnEndingEval>(&check);
  EXPECT_TRUE(check);
  ASSERT_NE(e.trace_eg, kUnset);
  EXPECT_EQ(e.trace_eg, traced<GeneralEval>().trace_eg);
  // The bishop ending's evasions answer the knight's check by capturing it.
  parse_fen("4k3/8/3N4/8/1b6/8/8/4K3 b - -");
  EXPECT_NE(testing::evasions_text<BishopEndingBoard>().find("b4d6"), std::string::npos);
}

}  // namespace
}  // namespace orvex
