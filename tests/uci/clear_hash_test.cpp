// "ucinewgame" and the Clear Hash button empty the process's tables: the
// search ages, the shared table (in the master) and the pawn hash table.
#include <gtest/gtest.h>

#include <vector>

#include "core/worker_team.h"
#include "search/limits.h"
#include "search/pawns.h"
#include "search/tt.h"
#include "uci/front_end_status.h"
#include "uci/interpreter.h"

namespace orvex {
namespace {

struct ClearHash : ::testing::Test {
  std::vector<TtEntry> table = std::vector<TtEntry>(11);
  void SetUp() override {
    reset_interpreter();
    reset_search_bookkeeping();
    reset_front_end_status();
    tt_attach(table.data(), table.size());
  }
  void TearDown() override {
    tt_detach();
    reset_search_bookkeeping();
    reset_front_end_status();
  }
  void dirty() {
    current_age = 9;
    compute_age_weights();
    table[3].key_high = 0x1234;
    pawn_hash_table[0].key_high = 0x5678;
    pawn_hash_table[kPawnHashEntries - 1].score_mg = 77;
  }
  bool emptied() const {
    return current_age == 0 && age_weights[0] == 256 && table[3].key_high == 0 && pawn_hash_table[0].key_high == 0 &&
           pawn_hash_table[kPawnHashEntries - 1].score_mg == 0;
  }
};

TEST_F(ClearHash, NewGameAndTheButtonEmptyAgesSharedTableAndPawnTable) {
  for (const char* line : {"ucinewgame", "setoption name Clear Hash", "setoption name clear hash"}) {
    dirty();
    execute_command(line);
    EXPECT_TRUE(emptied()) << line;
  }
}

TEST_F(ClearHash, ButtonActsWhileBusyNewGameDoesNot) {
  front_end_status.result_held = 1;
  dirty();
  execute_command("ucinewgame");
  EXPECT_EQ(pawn_hash_table[0].key_high, 0x5678u);
  EXPECT_EQ(current_age, 9u);
  execute_command("setoption name Clear Hash");
  EXPECT_TRUE(emptied());
  front_end_status.result_held = 0;
}

TEST_F(ClearHash, WorkerKeepsTheSharedTableButEmptiesItsOwn) {
  process_team.is_master = 0;
  dirty();
  execute_command("ucinewgame");
  process_team.is_master = 1;
  EXPECT_EQ(table[3].key_high, 0x1234u);
  EXPECT_EQ(current_age, 0u);
  EXPECT_EQ(pawn_hash_table[0].key_high, 0u);
}

}  // namespace
}  // namespace orvex
