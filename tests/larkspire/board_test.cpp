// The edition's board routines against the main program's: identical answers
// where they must be (exchange test, legality tests, evasions with every
// target), the stated differences elsewhere (captures and quiet moves without
// king steps onto attacked squares, quiet checks that all give check); the
// quiet gain table and its generator; make move's countdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "larkspire/board.h"
#include "position/move_text.h"
#include "tests/data_files.h"
#include "tests/position/move_helpers.h"

namespace orvex::larkspire {
namespace {

using orvex::testing::list_text;
using orvex::testing::mv;
using orvex::testing::set_position;

std::vector<std::string> wac_fens(size_t limit) {
  std::vector<std::string> out;
  std::ifstream in = orvex::testing::open_data_file("wac.epd");
  std::string line;
  while (out.size() < limit && std::getline(in, line)) {
    size_t pos = 0;
    for (int f = 0; f < 4 && pos != std::string::npos; ++f) pos = line.find(' ', pos + 1);
    out.push_back(line.substr(0, pos));
  }
  return out;
}

// Visits the positions of random playouts from every WAC position.
template <class Visit>
void for_each_playout_position(Visit visit) {
  std::mt19937 rng(15);
  for (const std::string& fen : wac_fens(120)) {
    set_position(fen);
    UndoRecord undo[12];
    SearchMove played[12];
    int made = 0;
    for (; made < 12; ++made) {
      visit();
      UciMove legal[kMaxLegalMoves];
      const int n = generate_legal_uci_moves(legal);
      if (n == 0) break;
      played[made] = search_move_of(legal[rng() % n]);
      orvex::make_move<GeneralBoard>(played[made], undo[made]);
    }
    while (made > 0) --made, orvex::unmake_move<GeneralBoard>(played[made], undo[made]);
  }
}

EditionPlyRecord attacks_now() {
  EditionPlyRecord rec{};
  compute_attacks(rec);
  return rec;
}

std::multiset<SearchMove> as_set(const SearchMove* m) {
  std::multiset<SearchMove> s;
  for (; *m; ++m) s.insert(*m);
  return s;
}

bool king_step_onto_attacked(SearchMove m, u64 attacked) {
  const Position& p = current_position;
  return is_king(p.board[move_from(m)]) && !(m & kMoveCastle) && (attacked & bit(move_to(m)));
}

TEST(EditionBoardDifferential, TestsAndGeneratorsAgainstTheMainProgram) {
  int positions = 0, checks_seen = 0;
  for_each_playout_position([&] {
    ++positions;
    const Position& p = current_position;
    const EditionPlyRecord rec = attacks_now();
    const bool in_check = p.piece_bb[make_piece(kKing, p.side_to_move) - 2] & rec.attacks_them;
    // Legality tests over every from/to pair with each flag.
    for (u32 from = 0; from < 64; ++from)
      for (u32 to = 0; to < 64; ++to)
        for (u32 flags : {0u, kMovePromoQueen, kMoveCastle, kMoveEnPassant, kMovePromoKnight}) {
          const SearchMove m = make_move_code(from, to, flags);
          ASSERT_EQ(is_pseudo_legal(m), orvex::is_pseudo_legal<GeneralBoard>(m));
          ASSERT_EQ(is_valid_killer(m, rec), orvex::is_valid_killer<GeneralBoard>(m, rec.attacks_them));
        }
    if (in_check) {
      ++checks_seen;
      EvasionList mine[kMaxMoves / 2], theirs[kMaxMoves / 2];
      const EvasionList* a = generate_evasions(mine, ~rec.attacks_them, ~u64{0});
      const EvasionList* b = orvex::generate_evasions<GeneralBoard>(theirs, ~rec.attacks_them);
      ASSERT_EQ(list_text(mine, a), list_text(theirs, b));
      return;
    }
    SearchMove mine[kMaxMoves], theirs[kMaxMoves];
    u32 keys[kMaxMoves];
    // Captures: the main list less king captures of defended men.
    generate_captures(mine, keys, p.colour_bb[kWhite], p.colour_bb[kBlack], rec);
    orvex::generate_captures<GeneralBoard>(theirs, keys, p.colour_bb[kWhite], p.colour_bb[kBlack]);
    std::multiset<SearchMove> expected;
    for (SearchMove* m = theirs; *m; ++m) {
      ASSERT_TRUE(orvex::is_see_safe<GeneralBoard>(*m) == is_see_safe(*m));
      if (!king_step_onto_attacked(*m, rec.attacks_them)) expected.insert(*m);
    }
    ASSERT_EQ(as_set(mine), expected);
    // Quiet moves: the main list less king steps onto attacked squares.
    generate_quiet_moves(mine, rec.attacks_them, 0, 0, 0, 0, 0);
    orvex::generate_quiet_moves<GeneralBoard>(theirs, rec.attacks_them, 0, 0, 0, 0, 0, edition_history);
    expected.clear();
    for (SearchMove* m = theirs; *m; ++m) {
      ASSERT_EQ(orvex::is_see_safe<GeneralBoard>(*m), is_see_safe(*m));
      if (!king_step_onto_attacked(*m, rec.attacks_them)) expected.insert(*m);
    }
    ASSERT_EQ(as_set(mine), expected);
    // Quiet checks: every one gives check and captures nothing but a pawn.
    for (bool pawns : {false, true}) {
      generate_quiet_checks(mine, pawns, rec, 0, 0);
      for (SearchMove* m = mine; *m; ++m) {
        const PieceCode victim = p.board[move_to(*m)];
        ASSERT_TRUE(victim == kNoPiece || (pawns && is_pawn(victim))) << orvex::testing::text(*m);
        UndoRecord u;
        orvex::make_move<GeneralBoard>(*m, u);
        EditionPlyRecord child{};
        const bool check = compute_attacks(child);
        orvex::unmake_move<GeneralBoard>(*m, u);
        ASSERT_TRUE(check) << orvex::testing::text(*m);
      }
    }
  });
  EXPECT_GT(positions, 1000);
  EXPECT_GT(checks_seen, 20);
}

TEST(EditionBoard, QueenAttacksAndTheTestsEdgeCases) {
  set_position("8/8/8/8/8/8/8/8 w - -");
  EXPECT_EQ(__builtin_popcountll(compute_queen_attacks(27, current_position)), 27);
  EXPECT_EQ(__builtin_popcountll(compute_queen_attacks(0, current_position)), 21);
  set_position("4k3/8/8/8/8/8/8/4K2R w K -");
  EditionPlyRecord rec = attacks_now();
  for (SearchMove m : {SearchMove{0}, kMovePromoQueen}) {
    EXPECT_FALSE(is_pseudo_legal(m));
    EXPECT_FALSE(is_valid_killer(m, rec));
  }
  // Castling through an attacked f1: no killer, but pseudo-legal.
  set_position("4kr2/8/8/8/8/8/8/4K2R w K -");
  rec = attacks_now();
  EXPECT_FALSE(is_valid_killer(mv("e1g1", kMoveCastle), rec));
  EXPECT_TRUE(is_pseudo_legal(mv("e1g1", kMoveCastle)));
  // A queen move onto an enemy piece: pseudo-legal, no killer; through a man: neither.
  set_position("3rk3/8/8/8/3P4/8/8/3QK3 w - -");
  rec = attacks_now();
  EXPECT_FALSE(is_pseudo_legal(mv("d1d8")));
  set_position("3rk3/8/8/8/8/8/8/3QK3 w - -");
  rec = attacks_now();
  EXPECT_TRUE(is_pseudo_legal(mv("d1d8")));
  EXPECT_FALSE(is_valid_killer(mv("d1d8"), rec));
}

TEST(EditionBoard, EvasionTargets) {
  // A rook checks along the first rank; the bishop can interpose.
  set_position("4k3/8/8/8/8/5B2/8/r3K3 w - -");
  EditionPlyRecord rec = attacks_now();
  EvasionList list[kMaxMoves / 2];
  const EvasionList* last = generate_evasions(list, ~rec.attacks_them, ~u64{0});
  EXPECT_EQ(list_text(list, last), "e1d2 e1e2 e1f2 f3d1");
  // No targets: only pawn captures of the checker and en passant remain.
  last = generate_evasions(list, ~rec.attacks_them, 0);
  EXPECT_EQ(last + 1, list);
  set_position("4k3/8/8/3pP3/4K3/8/8/8 w - d6");
  rec = attacks_now();
  last = generate_evasions(list, ~rec.attacks_them, 0);
  EXPECT_EQ(list_text(list, last), "e5d6*");
}

TEST(QuietGainTable, RowsCountsAndSymmetry) {
  auto count_nonzero = [](u32 row) {
    int n = 0;
    for (int f = 0; f < 64; ++f)
      for (int t = 0; t < 64; ++t) n += quiet_gain_table[row][f][t] != 0;
    return n;
  };
  EXPECT_EQ(count_nonzero(0), 1458);
  EXPECT_EQ(count_nonzero(2), 1458);
  EXPECT_EQ(count_nonzero(1), 1367);
  EXPECT_EQ(count_nonzero(3), 1367);
  EXPECT_EQ(count_nonzero(4), 416 + 4);  // with the four castling moves
  EXPECT_EQ(count_nonzero(5), 90);
  for (int f = 0; f < 64; ++f)
    for (int t = 0; t < 64; ++t) {
      ASSERT_LE(quiet_gain_table[0][f][t], 15);
      ASSERT_EQ(quiet_gain_table[2][f][t], quiet_gain_table[0][f ^ 56][t ^ 56]);
      ASSERT_EQ(quiet_gain_table[3][f][t], quiet_gain_table[1][f ^ 56][t ^ 56]);
      ASSERT_EQ(quiet_gain_table[4][f][t], quiet_gain_table[4][f ^ 56][t ^ 56]);
      ASSERT_EQ(quiet_gain_table[5][f][t], quiet_gain_table[5][f ^ 56][t ^ 56]);
    }
  auto gain = [](u32 row, const char* m) {
    return quiet_gain_table[row][orvex::testing::sq(m)][orvex::testing::sq(m + 2)];
  };
  EXPECT_EQ(gain(0, "g1f3"), 15);
  EXPECT_EQ(gain(2, "g8f6"), 15);
  EXPECT_EQ(gain(1, "d1d4"), 13);
  EXPECT_EQ(gain(4, "e1f1"), 12);
  EXPECT_EQ(gain(4, "e8f8"), 12);
  EXPECT_EQ(gain(4, "e1g1"), 11);
  EXPECT_EQ(gain(5, "d2d4"), 0);
  EXPECT_EQ(gain(5, "c6c7"), 13);
  EXPECT_EQ(gain(5, "e7e8"), 0);  // onto the last rank
}

std::string above(const char* fen, i32 threshold) {
  set_position(fen);
  const EditionPlyRecord rec = attacks_now();
  SearchMove moves[kMaxMoves];
  generate_quiet_moves_above_threshold(moves, threshold, rec.attacks_them);
  return list_text(moves);
}

TEST(QuietGainTable, ThresholdGenerator) {
  const char* start_black = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -";
  EXPECT_EQ(above(kStartFen, 10), "g1f3 b1c3");
  EXPECT_EQ(above(kStartFen, 16), "");
  EXPECT_EQ(above(start_black, 10), "g8f6 b8c6");
  for (i32 t : {0, -5}) {
    const std::string all = above(kStartFen, t);
    EXPECT_EQ(all.substr(0, 15), "g1f3 b1c3 b2b3 ");
    EXPECT_EQ(std::count(all.begin(), all.end(), ' ') + 1, 20);
  }
  // The king keeps off attacked squares; a seventh-rank pawn gives nothing;
  // a blocked double push is not offered.
  EXPECT_EQ(above("4k3/1P6/8/8/8/3p4/8/4K3 w - -", -1).find("e1e2"), std::string::npos);
  EXPECT_EQ(above("4k3/1P6/8/8/8/3p4/8/4K3 w - -", -1).find("b7"), std::string::npos);
  EXPECT_EQ(above("4k3/8/8/8/8/2n5/2P5/4K3 w - -", -1).find("c2c"), std::string::npos);
}

TEST(EditionMakeMove, CountdownPollsEveryBatch) {
  set_position(kStartFen);
  search_limits.hard_time_ms = kNoTimeLimit;
  search_limits.infinite = 0;
  search_status.stop_requested = 0;
  search_status.stop_after_iteration = 0;
  search_status.node_countdown = kFirstPollBatch;
  search_status.node_batches = 1;
  search_status.start_tick = platform::tick_count();
  EXPECT_EQ(made_moves(), 60u);
  UndoRecord u;
  for (int i = 0; i < kFirstPollBatch - 1; ++i) {
    make_move(mv("g1f3"), u);
    unmake_move(mv("g1f3"), u);
  }
  EXPECT_EQ(search_status.node_batches, 1u);
  make_move(mv("g1f3"), u);
  unmake_move(mv("g1f3"), u);
  EXPECT_EQ(search_status.node_batches, 2u);
  EXPECT_EQ(search_status.node_countdown, kPollBatch);
  EXPECT_EQ(made_moves(), 32768u);
  // A stop seen at the poll leaves before the move is made.
  search_status.node_countdown = 1;
  search_status.stop_requested = 1;
  const u64 key = current_position.state.key;
  EXPECT_THROW(make_move(mv("g1f3"), u), SearchAborted);
  EXPECT_EQ(current_position.state.key, key);
  // A spent hard limit in an infinite search only marks the iteration.
  search_status.stop_requested = 0;
  search_status.node_countdown = 1;
  search_limits.hard_time_ms = 0;
  search_limits.infinite = 1;
  make_move(mv("g1f3"), u);
  unmake_move(mv("g1f3"), u);
  EXPECT_EQ(search_status.stop_after_iteration, 1);
  search_limits.infinite = 0;
  search_limits.hard_time_ms = kNoTimeLimit;
  search_status.stop_after_iteration = 0;
}

}  // namespace
}  // namespace orvex::larkspire
