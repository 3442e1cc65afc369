#include <gtest/gtest.h>

#include "position/fen.h"
#include "search/search_stack.h"
#include "tests/squares.h"

namespace orvex {
namespace {

using testing::sq;
SearchMove mv(const char* from, const char* to, u32 flags = 0) { return make_move_code(sq(from), sq(to), flags); }

TEST(Scores, DisplayConversions) {
  EXPECT_EQ(display_scale_for(32), 16);
  EXPECT_EQ(display_scale_for(24), 24);
  EXPECT_EQ(display_scale_for(16), 32);
  EXPECT_EQ(display_scale_for(2), 32);
  EXPECT_EQ(centipawns(320, 16), 145);
  EXPECT_EQ(centipawns(320, 32), 290);
  EXPECT_EQ(centipawns(100, 32), 90);
  EXPECT_EQ(centipawns(-100, 32), -90);
  EXPECT_EQ(centipawns(-1, 16), 0);  // truncation toward zero
  // Exactly 31000 is mate-class for the table and the stop rules but shown in centipawns.
  EXPECT_TRUE(is_mate_class(31000));
  EXPECT_TRUE(is_mate_class(-31000));
  EXPECT_FALSE(shown_as_mate(31000));
  EXPECT_FALSE(shown_as_mate(-31000));
  EXPECT_TRUE(shown_as_mate(31001));
  EXPECT_EQ(mate_moves(mate_at(1)), 1);
  EXPECT_EQ(mate_moves(mate_at(3)), 2);
  EXPECT_EQ(mate_moves(mated_at(2)), -1);
  EXPECT_EQ(mate_moves(mated_at(0)), 0);
  EXPECT_EQ(shown_node_count(3, 24, 1), 24384u);
  EXPECT_EQ(shown_node_count(1, 1024, 4), 0u);
  EXPECT_EQ(shown_nps(24384, shown_time(1999, 1000)), 24969u);
  EXPECT_EQ(shown_time(5, 0xFFFFFFFBu), 11u);  // the tick counter wraps
  EXPECT_EQ(shown_tb_hits(1000, 300), 250u);
  EXPECT_EQ(shown_tb_hits(100, 300), 100u);
  EXPECT_EQ(shown_depth(24), 9);
  EXPECT_EQ(multipv_shown_depth(8), 1);
  EXPECT_EQ(multipv_shown_depth(20), 7);
}

TEST(NodeFlags, ChildFlags) {
  EXPECT_EQ(child_flags(kScoutFlags), 4);
  EXPECT_EQ(child_flags(0x20 | kNodeType), 0x20 | kNodeMayDeepen);
  EXPECT_EQ(reduced_research_flags(0x0F), 0);
  EXPECT_EQ(reduced_research_flags(0x0E), kNodeType);
  EXPECT_EQ(null_move_child_flags(kNodeType), 0x0E);
  EXPECT_EQ(null_move_child_flags(0), 0x0F);
  EXPECT_EQ(internal_deepening_flags(0x23), 7);
  EXPECT_EQ(own_position_flags(1), 0x21);
}

TEST(Killers, MostRecentFirst) {
  parse_fen("4k3/8/8/8/8/8/8/R3K1N1 w - -");
  const SearchMove k1 = mv("a1", "a2"), k2 = mv("a1", "a3"), k3 = mv("a1", "a4"), k4 = mv("g1", "f3"),
                   m = mv("e1", "d2");
  HistoryTable h;
  reset_history(h);
  const struct {
    SearchMove cutoff;
    std::array<u32, 4> expected;
  } cases[] = {
      {k3, {k3, k1, k2, k4}}, {m, {m, k1, k2, k3}}, {k1, {k1, k2, k3, k4}},
      {k2, {k2, k1, k3, k4}}, {k4, {k4, k1, k2, k3}},
  };
  for (const auto& c : cases) {
    PlyRecord r{};
    r.killers[0] = k1, r.killers[1] = k2, r.killers[2] = k3, r.killers[3] = k4;
    update_killers_and_history(h, c.cutoff, 4, r);
    EXPECT_EQ(std::to_array(r.killers), c.expected);
  }
  SearchStack stack{};
  stack[17].killers[2] = k1;
  clear_killers(stack);
  EXPECT_EQ(stack[17].killers[2], 0u);
}

TEST(History, SquaredHalfDepth) {
  parse_fen("4k3/8/8/8/8/8/8/R3K1N1 w - -");
  HistoryTable h;
  reset_history(h);
  for (u32 v : h) ASSERT_EQ(v, kHistoryStart);
  PlyRecord r{};
  update_killers_and_history(h, mv("g1", "f3"), 7, r);
  EXPECT_EQ(h[history_index(kWhiteKnight, sq("f3"))], 256u + 9);
  update_killers_and_history(h, mv("g1", "f3"), 1, r);
  EXPECT_EQ(h[history_index(kWhiteKnight, sq("f3"))], 256u + 9);
  update_killers_and_history(h, mv("a1", "a5"), 10, r);
  EXPECT_EQ(h[history_index(kWhiteRook, sq("a5"))], 256u + 25);
}

TEST(EvasionOrdering, KeysAndStableSort) {
  // The white king on e1 is in check from the rook on e4, which a pawn and the queen can take.
  parse_fen("4k3/8/8/8/3Pr3/8/4Q3/R3K1N1 w - -");
  HistoryTable h;
  reset_history(h);
  h[history_index(kWhiteKing, sq("d1"))] = 900;
  h[history_index(kWhiteKing, sq("f2"))] = 300;
  PlyRecord r{};
  r.killers[1] = mv("e1", "f1");
  const SearchMove queen_takes = mv("e2", "e4"), pawn_takes = mv("d4", "e4"), hash = mv("e1", "d2");
  MovePair list[] = {{mv("e1", "f1"), 0}, {queen_takes, 0}, {mv("e1", "d1"), 0}, {mv("e1", "f2"), 0},
                     {pawn_takes, 0},     {hash, 0},        {mv("a1", "a3"), 0}, {0, 0}};
  score_and_sort_moves(h, r, &list[0], &list[6], hash);
  const SearchMove expected[] = {hash,         pawn_takes,   queen_takes,         mv("e1", "f1"),
                                 mv("e1", "d1"), mv("e1", "f2"), mv("a1", "a3"),     0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(list[i].move, expected[i]) << i;
  EXPECT_EQ(list[0].key, kHashMoveKey);
  EXPECT_EQ(list[1].key, kHashMoveKey - kWhitePawn);
  EXPECT_EQ(list[2].key, kHashMoveKey - kWhiteQueen);
  EXPECT_EQ(list[3].key, kKillerKey0 - 1);
  EXPECT_EQ(list[4].key, 900u);
  EXPECT_EQ(list[6].key, kHistoryStart);
  EXPECT_EQ(list[7].key, 0u);

  // Equal keys keep their order; an empty range changes nothing.
  MovePair same[] = {{mv("a1", "a2"), 0}, {mv("a1", "a3"), 0}, {mv("a1", "b1"), 0}, {0, 0}};
  score_and_sort_moves(h, r, &same[0], &same[2], 0);
  EXPECT_EQ(same[0].move, mv("a1", "a2"));
  EXPECT_EQ(same[1].move, mv("a1", "a3"));
  EXPECT_EQ(same[2].move, mv("a1", "b1"));
  MovePair one[] = {{mv("a1", "a2"), 5}, {0, 0}};
  score_and_sort_moves(h, r, &one[0], &one[0] - 1, 0);
  EXPECT_EQ(one[0].key, 5u);
}

TEST(MultiPv, ClearingLeavesTheSpareRecord) {
  multipv_lines[100].score = 7;
  multipv_lines[3].move = 99;
  multipv_lines[3].text[0] = 'x';
  clear_multipv_lines(multipv_lines);
  EXPECT_EQ(multipv_lines[3].score, kNoLineScore);
  EXPECT_EQ(multipv_lines[3].move, 0u);
  EXPECT_EQ(multipv_lines[3].text[0], 0);
  EXPECT_EQ(multipv_lines[100].score, 7);
}

}  // namespace
}  // namespace orvex
