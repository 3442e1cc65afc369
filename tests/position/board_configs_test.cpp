// The generators, tests and make/unmake instantiated for the other board
// configurations: ending piece sets, restricted promotions, no castling.
#include <gtest/gtest.h>

#include <cstring>

#include "position/keys.h"
#include "position/legality.h"
#include "position/make_move.h"
#include "position/perft.h"
#include "position/see.h"
#include "tests/position/move_helpers.h"

namespace orvex {
namespace {

using testing::captures_text;
using testing::evasions_text;
using testing::list_text;
using testing::mv;
using testing::set_position;

TEST(BoardConfigs, PromotionRules) {
  std::string keys;
  set_position("r3k3/1P6/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(captures_text<RookKnightEndingBoard>(&keys), "b7b8q b7b8n b7a8q b7a8n");
  EXPECT_EQ(keys, "15 0 40 0");
  // Every ending layer promotes to knights, also for a side whose class has
  // none: the layers handle knights everywhere.
  EXPECT_EQ(captures_text<RookEndingBoard>(&keys), "b7b8q b7b8n b7a8q b7a8n");
  EXPECT_EQ(keys, "15 0 40 0");
  set_position("4k3/8/8/8/8/8/4p3/3Q3K b - -");
  EXPECT_EQ(captures_text<PawnEndingBoard>(&keys), "e2e1q e2e1n e2d1q e2d1n");
  EXPECT_EQ(keys, "15 0 46 0");
  // Knight promotions only with check.
  struct Case {
    const char* fen;
    const char* expected;
  };
  const Case restricted[] = {
      {"8/1P1k4/8/8/8/8/8/4K3 w - -", "b7b8q b7b8n"},
      {"8/1P2k3/8/8/8/8/8/4K3 w - -", "b7b8q"},
      {"7r/5kP1/8/8/8/8/8/4K3 w - -", "g7g8q g7h8q g7h8n"},
      {"4k3/8/8/8/8/8/p1K5/8 b - -", "a2a1q a2a1n"},
      {"4k3/8/8/8/8/8/p7/2K5 b - -", "a2a1q"},
  };
  for (const Case& c : restricted) {
    set_position(c.fen);
    EXPECT_EQ(captures_text<RestrictedBoard>(), c.expected) << c.fen;
    EXPECT_EQ(captures_text<MixedBoard>(), c.expected) << c.fen;
  }
  set_position("3q4/4Pk2/8/8/8/8/8/3K4 w - -");
  EXPECT_EQ(evasions_text<RestrictedBoard>().find("e7d8q e7d8n") != std::string::npos, true);
  set_position("3q4/4P2k/8/8/8/8/8/3K4 w - -");
  EXPECT_EQ(evasions_text<RestrictedBoard>().find("e7d8n"), std::string::npos);
  EXPECT_NE(evasions_text<RestrictedBoard>().find("e7d8q"), std::string::npos);
}

TEST(BoardConfigs, PieceSetsAndDoubleCheck) {
  // The general order of pieces: a bishop's capture (key 26) before a queen's (24).
  std::string keys;
  set_position("4k3/8/8/3n4/8/1B6/8/3QK3 w - -");
  EXPECT_EQ(captures_text<BishopVsKnightEndingBoard>(&keys), "b3d5 d1d5");
  EXPECT_EQ(keys, "26 24");
  // Two queens give check: the pawn-ending layer answers the lower one only.
  set_position("4q2k/8/8/8/8/2Q5/8/q3K3 w - -");
  EXPECT_EQ(evasions_text<PawnEndingBoard>(), "e1d2 e1f2 c3a1 c3c1");
  EXPECT_EQ(evasions_text<BishopEndingBoard>(), "e1d2 e1f2");
  EXPECT_EQ(evasions_text<GeneralBoard>(), "e1d2 e1f2");
  // A knight's check is answered by capturing the knight.
  set_position("4k3/8/8/8/8/3n4/8/N3K3 w - -");
  EXPECT_EQ(evasions_text<KnightEndingBoard>(), "e1d1 e1f1 e1d2 e1e2");
}

TEST(BoardConfigs, LegalityTests) {
  struct Case {
    const char* fen;
    SearchMove move;
    bool killer, hash;
  };
  const Case rook_cases[] = {
      {"4k3/8/8/8/8/8/8/4K2R w K -", mv("e1g1", kMoveCastle), false, false},
      {"4k3/8/8/8/8/8/8/R3K3 w - -", mv("a1a7"), true, true},
      {"4k3/8/8/8/8/8/8/R3K3 w - -", mv("a1a8"), true, true},
      {"4k3/8/8/8/8/8/8/R3K3 w - -", mv("a1b2"), false, false},
      {"k7/4P3/8/8/8/8/8/4K3 w - -", mv("e7e8", kMovePromoQueen), false, true},
      {"k7/4P3/8/8/8/8/8/4K3 w - -", mv("e7e8"), false, false},
      {"k2r4/4P3/8/8/8/8/8/4K3 w - -", mv("e7d8", kMovePromoRook), false, false},
  };
  for (const Case& c : rook_cases) {
    set_position(c.fen);
    EXPECT_EQ(is_valid_killer<RookEndingBoard>(c.move, 0), c.killer) << c.fen << testing::text(c.move);
    EXPECT_EQ(is_pseudo_legal<RookEndingBoard>(c.move), c.hash) << c.fen << testing::text(c.move);
  }
  set_position("k2r4/4P3/8/8/8/8/8/4K3 w - -");
  EXPECT_TRUE(is_pseudo_legal<KnightEndingBoard>(mv("e7d8", kMovePromoKnight)));
  EXPECT_TRUE(is_pseudo_legal<RookEndingBoard>(mv("e7d8", kMovePromoKnight)));
  EXPECT_TRUE(is_pseudo_legal<GeneralBoard>(mv("e7d8", kMovePromoRook)));
  EXPECT_FALSE(is_pseudo_legal<RestrictedBoard>(mv("e7d8", kMovePromoRook)));
  // Each colour's pieces by its own set.
  set_position("6n1/8/8/8/8/8/8/2B1K2k b - -");
  EXPECT_TRUE(is_valid_killer<BishopVsKnightEndingBoard>(mv("g8f6"), 0));
  set_position("6n1/8/8/8/8/8/8/2B1K2k w - -");
  EXPECT_TRUE(is_valid_killer<BishopVsKnightEndingBoard>(mv("c1f4"), 0));
}

TEST(BoardConfigs, ExchangeTests) {
  set_position("3rk3/8/8/3p4/8/8/3R4/4K3 w - -");
  EXPECT_FALSE(is_see_safe<RookEndingBoard>(mv("d2d5")));
  set_position("3rk3/8/8/3p4/8/8/3R4/3RK3 w - -");
  EXPECT_TRUE(is_see_safe<RookEndingBoard>(mv("d2d5")));
  set_position("8/8/8/3pk3/8/8/8/3QK3 w - -");
  EXPECT_FALSE(is_see_safe<PawnEndingBoard>(mv("d1d5")));
  set_position("4k3/8/8/3p4/8/8/8/3QK3 w - -");
  EXPECT_TRUE(is_see_safe<PawnEndingBoard>(mv("d1d5")));
  set_position("4k3/8/5n2/3p4/8/8/8/3QK3 w - -");
  EXPECT_FALSE(is_see_safe<KnightEndingBoard>(mv("d1d5")));
  set_position("4k3/8/8/3p4/4b3/8/8/3QK3 w - -");
  EXPECT_FALSE(is_see_safe<BishopEndingBoard>(mv("d1d5")));
  EXPECT_TRUE(is_see_safe<RookEndingBoard>(mv("d1d5")));
}

TEST(BoardConfigs, EndingMakeReadsRookCodeAsKnight) {
  set_position("4k3/1P6/8/8/8/8/8/4K3 w - -");
  const Position before = current_position;
  UndoRecord u;
  make_move<RookEndingBoard>(mv("b7b8", kMovePromoRook), u);
  EXPECT_EQ(current_position.board[testing::sq("b8")], kWhiteKnight);
  Position rebuilt = current_position;
  rebuild_position(rebuilt);
  EXPECT_EQ(current_position.state.key, rebuilt.state.key);
  EXPECT_EQ(current_position.state.material_index, rebuilt.state.material_index);
  EXPECT_EQ(current_position.state.pst_mg, rebuilt.state.pst_mg);
  unmake_move<RookEndingBoard>(mv("b7b8", kMovePromoRook), u);
  EXPECT_EQ(std::memcmp(current_position.board, before.board, sizeof before.board), 0);
  EXPECT_EQ(std::memcmp(current_position.piece_bb, before.piece_bb, sizeof before.piece_bb), 0);
  PositionState after = current_position.state;
  after.captured = before.state.captured;
  EXPECT_EQ(std::memcmp(&after, &before.state, sizeof after), 0);
}

TEST(BoardConfigs, PerftOfPawnlessEndingEqualsGeneral) {
  // With material inside its piece set and no promotions in reach, a layer
  // counts what the general generators count.
  const char* fens[] = {"4k3/8/3r4/8/8/2R5/8/4K3 w - -", "4k3/8/1b6/8/8/8/3N4/4K3 w - -"};
  set_position(fens[0]);
  const u64 general = perft(4);
  set_position(fens[0]);
  EXPECT_EQ(perft<RookEndingBoard>(4), general);
  set_position(fens[1]);
  const u64 general2 = perft(4);
  set_position(fens[1]);
  EXPECT_EQ(perft<KnightVsBishopEndingBoard>(4), general2);
}

}  // namespace
}  // namespace orvex
