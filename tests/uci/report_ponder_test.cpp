// The move to ponder on comes from the shared table, which other processes
// write without locks: only a move that can be played after the best move,
// and leaves the mover's king safe, is offered.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/position_command.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "position/position.h"
#include "search/tt.h"
#include "tests/squares.h"
#include "uci/report.h"

namespace orvex {
namespace {

using testing::sq;
SearchMove mv(const char* from, const char* to, u32 flags = 0) { return make_move_code(sq(from), sq(to), flags); }

struct PonderMove : ::testing::Test {
  std::vector<TtEntry> mem = std::vector<TtEntry>(67);  // N = 64
  void SetUp() override {
    std::memset(mem.data(), 0, mem.size() * sizeof(TtEntry));
    tt_attach(mem.data(), mem.size());
  }
  void TearDown() override { tt_detach(); }

  void set(const std::string& line) {
    std::string text = line;
    handle_position(text.data());
  }
  // Stores `reply` as the table move of the position after `best`.
  void store_reply(SearchMove best, u16 reply) {
    UndoRecord undo;
    make_move(best, undo);
    const u64 key = current_position.state.key;
    unmake_move(best, undo);
    TtEntry* e = tt_bucket(key);
    e[2].key_high = static_cast<u32>(key >> 32);
    e[2].move = reply;
  }
};

TEST_F(PonderMove, OnlyPlayableRepliesAreOffered) {
  // The black knight on e7 is pinned against its king by the e1 rook.
  const std::string pos = "position fen 4k3/4n3/8/8/8/8/8/4RK2 w - - 0 1";
  const SearchMove best = mv("f1", "g1");
  struct Case { const char* name; u16 reply; SearchMove expected; };
  const Case cases[] = {
      {"legal king move", static_cast<u16>(mv("e8", "d8")), mv("e8", "d8")},
      {"pinned knight leaves the king in check", static_cast<u16>(mv("e7", "c6")), 0},
      {"from an empty square", static_cast<u16>(mv("a7", "a6")), 0},
      {"white piece moved by black", static_cast<u16>(mv("e1", "e7")), 0},
      {"castling without rights", static_cast<u16>(mv("e8", "g8", kMoveCastle)), 0},
      {"knight move turned promotion", static_cast<u16>(mv("e7", "g8", kMovePromoQueen)), 0},
      {"no move stored", 0, 0},
  };
  for (const Case& c : cases) {
    set(pos);
    const Position before = current_position;
    store_reply(best, c.reply);
    EXPECT_EQ(find_ponder_move(best), c.expected) << c.name;
    // The position is as before (the key history behind its count aside).
    EXPECT_EQ(std::memcmp(before.board, current_position.board, sizeof before.board), 0) << c.name;
    EXPECT_EQ(std::memcmp(before.piece_bb, current_position.piece_bb, sizeof before.piece_bb), 0) << c.name;
    EXPECT_EQ(before.occupied, current_position.occupied) << c.name;
    EXPECT_EQ(before.side_to_move, current_position.side_to_move) << c.name;
    EXPECT_EQ(before.state.key, current_position.state.key) << c.name;
    EXPECT_EQ(before.state.history_count, current_position.state.history_count) << c.name;
  }
}

TEST_F(PonderMove, NoneForAMissingOrUnplayableBestMove) {
  set("position startpos");
  store_reply(mv("e2", "e4"), static_cast<u16>(mv("e7", "e5")));
  EXPECT_EQ(find_ponder_move(mv("e2", "e4")), mv("e7", "e5"));
  EXPECT_EQ(find_ponder_move(0), 0u);
  EXPECT_EQ(find_ponder_move(mv("e3", "e4")), 0u);  // nothing on e3
  // A table entry of another position (other key half) is not read.
  UndoRecord undo;
  make_move(mv("d2", "d4"), undo);
  const u64 key = current_position.state.key;
  unmake_move(mv("d2", "d4"), undo);
  tt_bucket(key)[0].key_high = static_cast<u32>(key >> 32) ^ 1;
  tt_bucket(key)[0].move = static_cast<u16>(mv("d7", "d5"));
  EXPECT_EQ(find_ponder_move(mv("d2", "d4")), 0u);
}

}  // namespace
}  // namespace orvex
