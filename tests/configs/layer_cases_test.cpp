// Fixed cases of the board layers: each configuration's own history in its
// ordering helpers and quiet moves, the shared pawn/queen ending board, no
// castling, the ending make move, the restricted promotions.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

#include "configs/board_layers.h"
#include "tests/position/move_helpers.h"

namespace orvex {
namespace {

using testing::mv;
using testing::set_position;
using testing::sq;

struct Killers {
  u32 killers[4];
};

TEST(LayerCases, KillersAndHistoryOfEachConfiguration) {
  for (HistoryTable* t : {&pawn_ending_history, &queen_ending_history, &history}) reset_history(*t);
  set_position("4k3/8/8/8/8/8/4P3/Q3K3 w - -");
  const SearchMove k1 = mv("a1a2"), k2 = mv("a1a3"), k3 = mv("a1a4"), k4 = mv("a1a5"), m = mv("e2e3");
  Killers r{{k1, k2, k3, k4}};
  PawnEndingLayer::update_killers_and_history(k3, 7, r);
  EXPECT_EQ(std::vector<u32>(r.killers, r.killers + 4), (std::vector<u32>{k3, k1, k2, k4}));
  // 7 / 2 = 3: +9 on the queen's entry of pawn_ending's table alone.
  EXPECT_EQ(pawn_ending_history[history_index(kWhiteQueen, sq("a4"))], kHistoryStart + 9);
  EXPECT_EQ(queen_ending_history[history_index(kWhiteQueen, sq("a4"))], kHistoryStart);
  EXPECT_EQ(history[history_index(kWhiteQueen, sq("a4"))], kHistoryStart);
  QueenEndingLayer::update_killers_and_history(m, 1, r);
  EXPECT_EQ(std::vector<u32>(r.killers, r.killers + 4), (std::vector<u32>{m, k3, k1, k2}));
  EXPECT_EQ(queen_ending_history[history_index(kWhitePawn, sq("e3"))], kHistoryStart);  // depth 1 adds 0
  QueenEndingLayer::update_killers_and_history(m, 4, r);
  EXPECT_EQ(std::vector<u32>(r.killers, r.killers + 4), (std::vector<u32>{m, k3, k1, k2}));
  EXPECT_EQ(queen_ending_history[history_index(kWhitePawn, sq("e3"))], kHistoryStart + 4);

  // The two configurations order the same quiet moves each by its own table.
  SearchMove pawn_order[kMaxMoves], queen_order[kMaxMoves];
  PawnEndingLayer::generate_quiet_moves(pawn_order, 0, 0, 0, 0, 0, 0);
  QueenEndingLayer::generate_quiet_moves(queen_order, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(pawn_order[0], k3);
  EXPECT_EQ(queen_order[0], m);
  std::vector<SearchMove> a(pawn_order, std::find(pawn_order, pawn_order + kMaxMoves, 0u));
  std::vector<SearchMove> b(queen_order, std::find(queen_order, queen_order + kMaxMoves, 0u));
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
}

TEST(LayerCases, EvasionKeysUseTheConfigurationsHistory) {
  // White in check from the rook on e5: the hash move first, then the
  // captures of the checker (by the pawn before the queen), the killer, then
  // the rest by rook_ending's history (e1f2 raised), equal keys in generation
  // order.
  reset_history(rook_ending_history);
  reset_history(history);
  rook_ending_history[history_index(kWhiteKing, sq("f2"))] = 5000;
  history[history_index(kWhiteKing, sq("d1"))] = 9000;  // not read here
  set_position("k7/8/8/4r2Q/3P4/8/8/4K3 w - -");
  PlyRecord rec{};
  rec.killers[0] = mv("e1d2");
  ASSERT_TRUE(RookEndingLayer::compute_attacks(rec));
  EvasionList list[kMaxMoves / 2];
  EvasionList* last = RookEndingLayer::generate_evasions(list, ~rec.attacks_them);
  RookEndingLayer::score_and_sort_moves(rec, list, last, mv("e1f1"));
  EXPECT_EQ(testing::list_text(list, last), "e1f1 d4e5 h5e5 e1d2 e1f2 e1d1 h5e2");
}

TEST(LayerCases, PawnAndQueenEndingsShareTheBoard) {
  // Same captures, evasions and tests: queen_ending runs pawn_ending's board.
  const char* fens[] = {"4k3/1P6/8/3q4/8/8/5p2/3QK3 w - -", "3qk3/8/8/8/8/8/4p3/3QK3 w - -"};
  for (const char* fen : fens) {
    set_position(fen);
    EXPECT_EQ(testing::captures_text<QueenEndingLayer::Board>(), testing::captures_text<PawnEndingLayer::Board>());
  }
  EXPECT_TRUE((std::is_same_v<QueenEndingLayer::Board, PawnEndingLayer::Board>));
}

TEST(LayerCases, NoCastlingInAnyEnding) {
  // e1g1 and e1c1 with the castling flag, the squares empty (and even with
  // the rights set, which no ending position has): refused by every ending
  // layer's killer and hash-move tests, never generated.
  set_position("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  for (SearchMove m : {mv("e1g1", kMoveCastle), mv("e1c1", kMoveCastle)}) {
    EXPECT_FALSE(is_valid_killer_pawn_ending(m));
    EXPECT_FALSE(is_pseudo_legal_pawn_ending(m));
    EXPECT_FALSE(is_valid_killer_rook_ending(m));
    EXPECT_FALSE(is_pseudo_legal_rook_ending(m));
    EXPECT_FALSE(is_valid_killer_rook_bishop_ending(m));
    EXPECT_FALSE(is_pseudo_legal_rook_knight_ending(m));
    EXPECT_TRUE(is_pseudo_legal(m));  // the general test, rights held
  }
  SearchMove quiet[kMaxMoves];
  generate_quiet_moves_rook_ending(quiet, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(testing::list_text(quiet).find('+'), std::string::npos);
}

TEST(LayerCases, EndingMakeMoveReadsTheRookCodeAsAKnight) {
  // A general configuration's table entry may hold b7b8 with 0x8000 (rook);
  // the ending make move makes a knight, exactly as the knight code does,
  // and the round trip restores the record.
  set_position("4k3/1P6/8/8/8/8/8/4K3 w - -");
  const Position before = current_position;
  for (SearchMove m : {mv("b7b8", kMovePromoRook), mv("b7b8", kMovePromoKnight)}) {
    UndoRecord u;
    make_move_ending(m, u);
    EXPECT_EQ(current_position.board[sq("b8")], kWhiteKnight);
    Position rebuilt = current_position;
    rebuild_position(rebuilt);
    EXPECT_EQ(current_position.state.key, rebuilt.state.key);
    EXPECT_EQ(current_position.state.pawn_key, rebuilt.state.pawn_key);
    EXPECT_EQ(current_position.state.material_index, rebuilt.state.material_index);
    EXPECT_EQ(current_position.state.material_balance, rebuilt.state.material_balance);
    EXPECT_EQ(current_position.state.pst_eg, rebuilt.state.pst_eg);
    unmake_move_ending(m, u);
    EXPECT_EQ(current_position.board[sq("b7")], kWhitePawn);
    EXPECT_EQ(current_position.state.key, before.state.key);
    EXPECT_EQ(current_position.state.material_index, before.state.material_index);
    EXPECT_EQ(current_position.piece_bb[kWhiteKnight - 2], 0u);
  }
  // The hash-move tests of the layers and the restricted configurations
  // refuse the lone rook code; the general one accepts it.
  EXPECT_FALSE(is_pseudo_legal_pawn_ending(mv("b7b8", kMovePromoRook)));
  EXPECT_FALSE(CastlingRightsLayer::is_pseudo_legal(mv("b7b8", kMovePromoRook)));
  EXPECT_FALSE(MixedLayer::is_pseudo_legal(mv("b7b8", kMovePromoRook)));
  EXPECT_TRUE(is_pseudo_legal(mv("b7b8", kMovePromoRook)));
}

TEST(LayerCases, RestrictedGeneratorsByName) {
  // Knight promotion only with check (the black king on d7 is a knight's
  // move from b8), never a rook.
  SearchMove moves[kMaxMoves];
  u32 keys[kMaxCaptures];
  set_position("8/1P1k4/8/8/8/8/8/4K3 w - -");
  generate_captures_restricted(moves, keys, current_position.colour_bb[kWhite], current_position.colour_bb[kBlack]);
  EXPECT_EQ(testing::list_text(moves), "b7b8q b7b8n");
  set_position("8/1P2k3/8/8/8/8/8/4K3 w - -");
  generate_captures_restricted(moves, keys, current_position.colour_bb[kWhite], current_position.colour_bb[kBlack]);
  EXPECT_EQ(testing::list_text(moves), "b7b8q");
  // In check from d8 with the king on d1: e7xd8 as a queen, and as a knight
  // only with the black king on a knight's square of d8.
  struct Case {
    const char* fen;
    bool knight;
  };
  for (const Case& c : {Case{"3q4/4P3/2k5/8/8/8/8/3K4 w - -", true}, Case{"3q4/4P3/7k/8/8/8/8/3K4 w - -", false}}) {
    set_position(c.fen);
    EvasionList list[kMaxMoves / 2];
    EvasionList* last = generate_evasions_restricted(list, ~attack_set(kBlack));
    const std::string text = testing::list_text(list, last);
    EXPECT_NE(text.find("e7d8q"), std::string::npos) << c.fen;
    EXPECT_EQ(text.find("e7d8n") != std::string::npos, c.knight) << c.fen << " " << text;
    EXPECT_EQ(text.find("e7d8r"), std::string::npos);
  }
}

}  // namespace
}  // namespace orvex
