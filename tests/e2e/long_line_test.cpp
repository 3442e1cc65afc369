// A GUI sends a whole game as one "position" line.  Both programs, with their
// default number of processes (workers included), read such a line whole up
// to 64 KiB: the games of 1,680 and 11,001 plies below are answered with a
// move for the side to move.  The rest of a longer line is discarded and
// never read as a command.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "engine_process.h"
#include "platform/platform.h"
#include "position/position.h"

namespace orvex::e2e {
namespace {

constexpr std::size_t kLineLimit = 65536;  // characters a line holds

// "position startpos moves" and the knights' shuffle g1f3 g8f6 f3g1 f6g8,
// `plies` moves of it.
std::string shuffle_game(int plies) {
  static const char* const kCycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  std::string line = "position startpos moves";
  for (int i = 0; i < plies; ++i) line += std::string(" ") + kCycle[i % 4];
  return line;
}

// The move after "bestmove", read up to that line; empty on time-out.
std::string bestmove(EngineProcess& engine) {
  while (auto line = engine.read_line(30000)) {
    if (line->rfind("bestmove ", 0) == 0) {
      std::istringstream words(*line);
      std::string word, move;
      words >> word >> move;
      return move;
    }
  }
  return {};
}

class LongLines : public ::testing::TestWithParam<const char*> {};

TEST_P(LongLines, GameInOneLineIsAnsweredForTheSideToMove) {
  EngineProcess engine({}, GetParam());
  ASSERT_TRUE(engine.sync(30000).has_value());
  // The default Max CPUs: a worker for every further processor.
  if (platform::processor_count() >= 2) {
    EXPECT_FALSE(child_processes(engine.pid()).empty());
  }
  struct Case {
    int plies;
    Colour to_move;
  };
  for (const Case c : {Case{1680, kWhite}, Case{11001, kBlack}}) {
    const std::string line = shuffle_game(c.plies);
    ASSERT_LE(line.size(), kLineLimit);
    ASSERT_TRUE(engine.send(line));
    ASSERT_TRUE(engine.send("go movetime 300"));
    const std::string move = bestmove(engine);
    set_position(line);
    ASSERT_EQ(current_position.side_to_move, c.to_move);
    EXPECT_TRUE(legal_in(line, move)) << c.plies << " plies: " << move;
  }
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(10000), 0);
}

TEST_P(LongLines, RestOfALongerLineIsDiscarded) {
  EngineProcess engine({}, GetParam());
  ASSERT_TRUE(engine.sync(30000).has_value());
  // A game of whole moves padded with blanks to the limit; "isready" and a
  // go line beyond it must not run.
  std::string line = shuffle_game(static_cast<int>((kLineLimit - shuffle_game(0).size()) / 5));
  ASSERT_LE(line.size(), kLineLimit);
  line.resize(kLineLimit, ' ');
  ASSERT_TRUE(engine.send(line + "isready"));
  ASSERT_TRUE(engine.send(line + "go movetime 100"));
  const auto answer = engine.sync(30000);
  ASSERT_TRUE(answer.has_value());
  EXPECT_TRUE(answer->empty()) << answer->front();
  EXPECT_TRUE(engine.silent_for(500));
  // The line up to the limit stands as the position.
  ASSERT_TRUE(engine.send("go movetime 300"));
  EXPECT_TRUE(legal_in(line, bestmove(engine)));
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(10000), 0);
}

INSTANTIATE_TEST_SUITE_P(Programs, LongLines, ::testing::Values(ORVEX_BINARY, LARKSPIRE_BINARY),
                         [](const auto& info) { return info.index == 0 ? "orvex" : "larkspire"; });

}  // namespace
}  // namespace orvex::e2e
