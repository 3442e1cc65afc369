// The move code instantiated with the second edition's rules: capture order,
// a king that avoids attacked squares, exchange-tested quiet checks with
// candidate moves, halved king history and the tactical picker mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "position/move_picker.h"
#include "position/perft.h"
#include "tests/position/move_helpers.h"

namespace orvex {
namespace {

using testing::captures_text;
using testing::list_text;
using testing::mv;
using testing::set_position;

using Record = testing::PickerRecord;

template <class B>
std::string quiet_checks(SearchMove a = 0, SearchMove b = 0) {
  SearchMove moves[kMaxMoves];
  const Position& p = current_position;
  generate_quiet_checks<B>(moves, ~p.colour_bb[kWhite], ~p.colour_bb[kBlack], attack_set(p.side_to_move ^ 1), a, b);
  return list_text(moves);
}

TEST(EditionBoard, CaptureOrderAndKingCaptures) {
  std::string keys;
  set_position("7k/P7/8/1p1pP2p/6P1/N7/8/4K3 w - d6");
  EXPECT_EQ(captures_text<EditionBoard>(&keys), "g4h5 e5d6* a3b5 a7a8q a7a8n a7a8r");
  EXPECT_EQ(keys, "22 22 21 15 0 0");
  EXPECT_EQ(captures_text<GeneralBoard>(), "a3b5 a7a8q a7a8n a7a8r g4h5 e5d6*");
  // The king does not take a defended piece.
  set_position("4k3/8/8/8/8/2p5/3n4/4K3 w - -");
  EXPECT_EQ(captures_text<EditionBoard>(), "");
  EXPECT_EQ(captures_text<GeneralBoard>(), "e1d2");
}

TEST(EditionBoard, QuietChecks) {
  // Direct checks pass the exchange test (g3f5 lands on a square a pawn
  // attacks); uncovering moves are not tested.
  set_position("8/6k1/4p3/8/3P4/6N1/1B6/4K3 w - -");
  EXPECT_EQ(quiet_checks<GeneralBoard>(), "g3f5 g3h5 d4d5");
  EXPECT_EQ(quiet_checks<EditionBoard>(), "g3h5 d4d5");
  // Candidates: written once, before the blocker's own moves, only when their
  // from-square is a blocker's; 0x1000 never is.
  set_position("8/6k1/4p3/2n5/3P4/6N1/1B6/4K3 w - -");
  EXPECT_EQ(quiet_checks<EditionBoard>(mv("d4c5"), mv("g3e4")), "g3h5 d4c5 d4d5");
  EXPECT_EQ(quiet_checks<EditionBoard>(kMovePromoQueen, kMovePromoQueen), "g3h5 d4d5");
  // A king between its rook and the enemy king keeps off attacked squares.
  set_position("k7/8/2p5/8/K7/8/8/R7 w - -");
  EXPECT_EQ(quiet_checks<GeneralBoard>(), "a4b3 a4b4 a4b5");
  EXPECT_EQ(quiet_checks<EditionBoard>(), "a4b3 a4b4");
}

TEST(EditionBoard, QuietMovesKingRules) {
  std::array<u32, 768> history{};
  auto at = [&](PieceCode code, const char* to) -> u32& { return history[(code - 2) * 64 + testing::sq(to)]; };
  at(kWhiteKing, "f2") = 301;
  at(kWhiteKing, "g1") = 301;
  at(kWhiteRook, "a2") = 200;
  set_position("3rk3/8/8/8/8/8/8/R3K2R w K -");
  SearchMove moves[kMaxMoves];
  const u64 attacked = attack_set(kBlack);
  generate_quiet_moves<EditionBoard>(moves, attacked, 0, 0, 0, 0, 0, history);
  const std::string edition = list_text(moves);
  EXPECT_EQ(edition.substr(0, 20), "e1g1+ a1a2 e1f2 a1b1");
  EXPECT_EQ(edition.find("e1d1"), std::string::npos);
  EXPECT_EQ(edition.find("e1d2"), std::string::npos);
  generate_quiet_moves<GeneralBoard>(moves, attacked, 0, 0, 0, 0, 0, history);
  const std::string general = list_text(moves);
  EXPECT_EQ(general.substr(0, 21), "e1g1+ e1f2 a1a2 a1b1 ");
  EXPECT_NE(general.find("e1d2"), std::string::npos);
}

std::vector<u32> pick_all(MovePicker& picker, const Record& rec) {
  std::array<u32, 768> history{};
  std::vector<u32> out;
  while (SearchMove m = next_move<EditionBoard>(picker, rec, history)) out.push_back(m);
  return out;
}

TEST(EditionBoard, TacticalPicker) {
  Record rec;
  MovePicker picker;
  // A queen taking a pawn that a pawn defends: tested and deferred up to a gap
  // of 128, handed out at once from 129.
  set_position("4k3/2p5/3p4/8/8/8/8/3QK3 w - -");
  rec.attacks_them = attack_set(kBlack);
  start_tactical_picker(picker, 0, 128);
  std::vector<u32> moves = pick_all(picker, rec);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back(), mv("d1d6"));
  EXPECT_EQ(picker.stage, kPickTacticalBadCaptures);
  start_tactical_picker(picker, 0, 129);
  moves = pick_all(picker, rec);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.front(), mv("d1d6"));
  // Every handed-out quiet move gives check.
  for (u32 m : moves) {
    if (m == mv("d1d6")) continue;
    UndoRecord u;
    make_move<EditionBoard>(m, u);
    EXPECT_TRUE(king_attacked(kBlack)) << testing::text(m);
    unmake_move<EditionBoard>(m, u);
  }
  // From a gap of 300 pawns are no capture targets; a pawn capture that gives
  // check comes with the quiet checks.
  set_position("4k3/8/4p3/8/8/8/8/4QK2 w - -");
  rec.attacks_them = attack_set(kBlack);
  start_tactical_picker(picker, 0, 0);
  moves = pick_all(picker, rec);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.front(), mv("e1e6"));
  start_tactical_picker(picker, 0, 300);
  MovePicker copy = picker;
  std::array<u32, 768> history{};
  SearchMove first = next_move<EditionBoard>(copy, rec, history);
  EXPECT_EQ(copy.stage, kPickQuietChecks);
  moves = pick_all(picker, rec);
  EXPECT_EQ(std::count(moves.begin(), moves.end(), mv("e1e6")), 1);
  // A hash move that is a quiet check comes again with the quiet checks.
  start_tactical_picker(picker, first, 300);
  moves = pick_all(picker, rec);
  EXPECT_EQ(std::count(moves.begin(), moves.end(), first), 2);
  EXPECT_EQ(moves.front(), first);
  // Evasion mode sits at stage 14.
  set_position("4k3/8/8/8/8/8/8/r3K3 w - -");
  const EvasionList* last = generate_evasions<EditionBoard>(picker.evasions, ~attack_set(kBlack));
  EXPECT_EQ(last - picker.evasions, 2);
  start_evasion_picker<EditionBoard>(picker);
  EXPECT_EQ(picker.stage, kPickTacticalEvasions);
  EXPECT_EQ(pick_all(picker, rec).size(), 3u);
  EXPECT_EQ(picker.stage, kPickTacticalEvasions);
}

// Without an attack set to avoid, the edition's generators yield the general
// moves in another order: perft agrees.
TEST(EditionBoard, PerftEqualsGeneral) {
  const char* fens[] = {kStartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -"};
  for (const char* fen : fens) {
    set_position(fen);
    const u64 general = perft(3);
    set_position(fen);
    EXPECT_EQ(perft<EditionBoard>(3), general) << fen;
  }
}

}  // namespace
}  // namespace orvex
