// A real chess client: the polyglot adapter runs the engine and speaks the
// xboard protocol to us.  Skipped where polyglot is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "engine_process.h"
#include "position/move_text.h"
#include "position/position.h"

namespace orvex::e2e {
namespace {

constexpr const char* kPolyglot = "/usr/games/polyglot";

// The move of the next "move ..." line, or empty when none comes in time.
std::string next_move(EngineProcess& adapter, int timeout_ms) {
  for (;;) {
    auto line = adapter.read_line(timeout_ms);
    if (!line) return "";
    if (line->rfind("move ", 0) == 0) return line->substr(5);
  }
}

TEST(Polyglot, XboardSessionPlaysLegalMoves) {
  if (access(kPolyglot, X_OK) != 0) GTEST_SKIP() << "polyglot is not installed";
  EngineProcess adapter({"-noini", "-ec", ORVEX_BINARY, "-uci", "Max CPUs=1"}, kPolyglot);
  ASSERT_TRUE(adapter.started());
  adapter.send("xboard");
  adapter.send("protover 2");
  bool usermove = false, done = false;
  while (!done) {
    auto line = adapter.read_line(20000);
    ASSERT_TRUE(line.has_value()) << "no feature list from the adapter";
    if (line->find("usermove=1") != std::string::npos) usermove = true;
    if (line->find("done=1") != std::string::npos) done = true;
  }
  adapter.send("new");
  adapter.send("st 1");
  adapter.send("go");
  const std::string first = next_move(adapter, 20000);
  ASSERT_FALSE(first.empty()) << "no move from the engine";
  EXPECT_TRUE(legal_in("position startpos", first)) << first;

  // Answer with a legal black move and let the engine reply.
  set_position("position startpos moves " + first);
  UciMove legal[kMaxLegalMoves];
  ASSERT_GT(generate_legal_uci_moves(legal), 0);
  char reply[6];
  uci_move_to_text(legal[0], reply);
  adapter.send(std::string(usermove ? "usermove " : "") + reply);
  const std::string second = next_move(adapter, 20000);
  ASSERT_FALSE(second.empty()) << "no reply from the engine";
  EXPECT_TRUE(legal_in("position startpos moves " + first + " " + reply, second)) << second;
  adapter.send("quit");
  EXPECT_EQ(adapter.wait_exit(10000), 0);
}

}  // namespace
}  // namespace orvex::e2e
