// The report's move to ponder on: the table's move for the position after
// the best move when it can be played there; a colliding entry's move that
// cannot is replaced by the first legal reply.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/position_command.h"
#include "core/worker_team.h"
#include "larkspire/go.h"
#include "larkspire/limits.h"
#include "position/make_move.h"
#include "position/move_text.h"
#include "search/tt.h"

namespace orvex::larkspire {
namespace {

SearchMove move_of(const char* text) { return search_move_of(parse_uci_move(text)); }

std::string text_of(SearchMove m) {
  char buf[6];
  return std::string(buf, move_to_text(m, buf));
}

// Writes an entry for the position after `best` holding `stored`.
void store_reply(SearchMove best, SearchMove stored) {
  UndoRecord undo;
  orvex::make_move(best, undo);
  TtEntry* e = tt_bucket(current_position.state.key);
  *e = TtEntry{};
  e->key_high = static_cast<u32>(current_position.state.key >> 32);
  e->move = static_cast<u16>(stored);
  orvex::unmake_move(best, undo);
}

TEST(EditionPonderMove, TableMoveOnlyWhenPlayable) {
  static std::vector<TtEntry> table((std::size_t{1} << 16) + 3);
  tt_attach(table.data(), table.size());
  tt_zero();
  handle_position_command("position startpos");
  reset_search_status();
  const SearchMove e4 = move_of("e2e4");
  const u64 key = current_position.state.key;

  // No entry: the first legal reply in the root's order.
  const SearchMove first = find_ponder_move(e4);
  EXPECT_NE(first, 0u);
  // A playable table move is taken.
  store_reply(e4, move_of("c7c5"));
  EXPECT_EQ(text_of(find_ponder_move(e4)), "c7c5");
  // A colliding entry's move that black cannot play here is not printed.
  store_reply(e4, move_of("e2e4"));
  EXPECT_EQ(find_ponder_move(e4), first);
  // A best move that cannot be played gives no ponder move.
  EXPECT_EQ(find_ponder_move(move_of("e7e5")), 0u);
  EXPECT_EQ(current_position.state.key, key);
}

}  // namespace
}  // namespace orvex::larkspire
