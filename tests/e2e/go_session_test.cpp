// "go" seen from outside: positions a search cannot work on are answered
// with "bestmove a1a1", and after a won result the idle engine repeats its
// last move when IO Supplementation is on.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "engine_process.h"
#include "platform/platform.h"

namespace orvex::e2e {
namespace {

TEST(GoSession, UnsearchablePositionsAnswerA1a1) {
  EngineProcess engine;
  engine.send("setoption name Max CPUs value 1");
  ASSERT_TRUE(engine.sync(20000).has_value());
  for (const char* position : {
           "position fen 8/8/8/8/8/8/8/8 w - -",                              // no kings
           "position fen 4k3/8/8/8/8/8/8/4K2K w - -",                         // two white kings
           "position fen P3k3/8/8/8/8/8/8/4K3 w - -",                         // pawn on the last rank
           "position fen 4k3/pppppppp/p7/8/8/8/8/4K3 b - -",                  // nine pawns
           "position fen QQQQk3/QQQQQQQQ/QQQQ4/8/8/8/8/4K3 b - -",            // seventeen men
           "position fen 4k3/8/8/8/8/8/8/4K1R1 b K -",                        // the rook is not on h1
           "position fen 4k3/4R3/8/8/8/8/8/4K3 w - -",                        // black king in check, white to move
       }) {
    engine.send(position);
    engine.send("go depth 2");
    EXPECT_EQ(engine.read_line(), "bestmove a1a1") << position;
    ASSERT_TRUE(engine.sync().has_value());
  }
}

// Reads lines until a "bestmove" line and returns it (empty on time-out).
std::string next_bestmove(EngineProcess& engine, int timeout_ms = 10000) {
  for (;;) {
    auto line = engine.read_line(timeout_ms);
    if (!line) return "";
    if (line->rfind("bestmove", 0) == 0) return *line;
  }
}

TEST(GoSession, DecisiveResultIsRepeatedTwiceWhenIdle) {
  EngineProcess engine;
  engine.send("setoption name Max CPUs value 1");
  engine.send("setoption name IO Supplementation value true");
  engine.send("setoption name Output value Sparse");
  auto acks = engine.sync(20000);
  ASSERT_TRUE(acks.has_value());
  // Mate in one: Ra8.
  engine.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -");
  engine.send("go depth 4");
  const std::string best = next_bestmove(engine);
  ASSERT_FALSE(best.empty());
  EXPECT_EQ(best.substr(0, 13), "bestmove a1a8");
  const std::string repeated = "bestmove a1a8";
  auto first = engine.read_line(2000);
  auto second = engine.read_line(2000);
  ASSERT_TRUE(first.has_value() && second.has_value());
  EXPECT_EQ(*first, repeated);
  EXPECT_EQ(*second, repeated);
  EXPECT_TRUE(engine.silent_for(800));
  // Still answering after the idling ends.
  ASSERT_TRUE(engine.sync().has_value());
}

TEST(GoSession, InfiniteSearchAnswersOnlyAfterStop) {
  EngineProcess engine;
  engine.send("setoption name Max CPUs value 2");
  engine.send("setoption name Output value Sparse");
  ASSERT_TRUE(engine.sync(20000).has_value());
  engine.send("position startpos");
  engine.send("go infinite");
  // While it searches: readiness is answered, position, go and ucinewgame are ignored.
  engine.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -");
  engine.send("go depth 1");
  engine.send("ucinewgame");
  auto during = engine.sync();
  ASSERT_TRUE(during.has_value());
  for (const std::string& line : *during) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
  engine.send("stop");
  const std::string best = next_bestmove(engine);
  ASSERT_FALSE(best.empty());
  EXPECT_NE(best.substr(0, 13), "bestmove a1a8");  // still the start position
  EXPECT_NE(best.substr(0, 13), "bestmove a1a1");
  // "ponderhit" when idle repeats the report of the last search.
  engine.send("ponderhit");
  EXPECT_EQ(next_bestmove(engine).substr(0, 13), best.substr(0, 13));
}

TEST(GoSession, StopRightAfterPositionStartsAndStopsAPonderSearch) {
  EngineProcess engine;
  engine.send("setoption name Max CPUs value 1");
  ASSERT_TRUE(engine.sync(20000).has_value());
  engine.send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -");
  engine.send("stop");
  const std::string best = next_bestmove(engine);
  ASSERT_FALSE(best.empty());
  EXPECT_EQ(best.rfind("bestmove ", 0), 0u);
  ASSERT_TRUE(engine.sync().has_value());
}

TEST(GoSession, PartOfALineDoesNotHoldUpATimedSearch) {
  EngineProcess engine;
  engine.send("setoption name Max CPUs value 1");
  engine.send("setoption name Output value Sparse");
  ASSERT_TRUE(engine.sync(20000).has_value());
  engine.send("position startpos");
  engine.send("go movetime 400");
  // The interface writes the first letters of a line and the rest later: the
  // search keeps its time and answers meanwhile.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the search has begun
  engine.send("isr", true);
  const std::string best = next_bestmove(engine, 5000);
  ASSERT_FALSE(best.empty());
  EXPECT_NE(best.substr(0, 13), "bestmove a1a1");
  engine.send("eady");
  EXPECT_EQ(engine.read_line(), "readyok");
}

// A depth search of a won ending, on a table that the whole team (master and
// workers) filled in an infinite search of the same ending, ends within a
// small multiple of its time on an empty table.  Such a table is full of
// mate-class bounds, many without a distance (the workers score mates flat);
// PV nodes that ignored them re-searched every move whose scout they ended,
// and the search went on for minutes.  Each round had about an even chance to
// show that with eight processes, so four rounds are played; with fewer than
// four processes it did not show.
TEST(GoSession, SlowDepthSearchesEndOnATableFilledByTheSameEnding) {
  if (platform::processor_count() < 4) GTEST_SKIP() << "fewer than four processors";
  EngineProcess engine;
  engine.send("setoption name Output value Sparse");
  ASSERT_TRUE(engine.sync(20000).has_value());
  const char* positions[] = {"position fen 8/8/8/4k3/8/8/8/1Q2K3 w - -", "position fen 8/8/8/8/8/2k5/8/R3K3 w - -"};
  for (int round = 0; round < 4; ++round) {
    const std::string position = positions[round % 2];
    engine.send(position);
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    engine.send("stop");
    ASSERT_FALSE(next_bestmove(engine).empty());
    ASSERT_TRUE(engine.sync().has_value());
    engine.send(position);
    engine.send("go depth 12");
    const auto start = std::chrono::steady_clock::now();
    std::string best;
    while (best.empty() && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
      const auto line = engine.read_line(1000);
      if (line && line->rfind("bestmove", 0) == 0) best = *line;
    }
    EXPECT_FALSE(best.empty()) << position << ": no result of depth 12 within 20 s";
    if (best.empty()) {
      engine.send("stop");
      next_bestmove(engine);
    }
  }
}

}  // namespace
}  // namespace orvex::e2e
