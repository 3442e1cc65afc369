// orvex-larkspire seen through its pipes: the identification block, its
// options and their answers, the busy rules, "stop" and "ponderhit" right
// after a position line, held results, bad input, and how it ends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"
#include "platform/platform.h"

namespace orvex::e2e {
namespace {

const char* const kStartPos = "position startpos";
const char* const kAfterE4 = "position startpos moves e2e4";

std::unique_ptr<EngineProcess> start_larkspire(int cpus) {
  auto engine = std::make_unique<EngineProcess>(std::vector<std::string>{}, LARKSPIRE_BINARY);
  engine->send("setoption name Max CPUs value " + std::to_string(cpus));
  EXPECT_TRUE(engine->sync(20000).has_value());
  return engine;
}

// Lines up to the "bestmove" line; the move after "bestmove" in `best`
// (empty on time-out).
std::vector<std::string> read_until_bestmove(EngineProcess& engine, std::string& best, int timeout_ms = 20000) {
  std::vector<std::string> lines;
  best.clear();
  while (auto line = engine.read_line(timeout_ms)) {
    if (line->rfind("bestmove ", 0) == 0) {
      std::istringstream words(*line);
      std::string word;
      words >> word >> best;
      return lines;
    }
    lines.push_back(*line);
  }
  return lines;
}

TEST(Larkspire, IdentificationBlockByteForByte) {
  EngineProcess engine({}, LARKSPIRE_BINARY);
  engine.send("uci");
  const std::vector<std::string> expected = {
      "id name Orvex Larkspire 2.2 mp",
      "id author Kestrin",
      "option name Hash type spin min 2 max 4096 default 32",
      "option name Max CPUs type spin min 1 max 2048 default 2048",
      "option name Clear Hash type button",
      "option name Ponder type check default true",
      "option name MultiPV type spin default 1 min 1 max 100",
      "uciok",
  };
  // read_line cuts only the "\n": a "\r" or a trailing blank would show.
  EXPECT_EQ(engine.read_until("uciok"), expected);
  auto ready = engine.sync();
  ASSERT_TRUE(ready.has_value());
  EXPECT_TRUE(ready->empty());
}

TEST(Larkspire, OptionLinesAnswerOnlyForMultiPv) {
  EngineProcess engine({}, LARKSPIRE_BINARY);
  struct Case {
    const char* line;
    std::vector<std::string> answer;
  };
  const Case cases[] = {
      {"setoption name Max CPUs value 2", {}},
      {"setoption name MultiPV value 7", {"info displaying 7 variations"}},
      {"setoption name multipv value 100", {"info displaying 100 variations"}},
      {"setoption name MultiPV value 0", {"info displaying 1 variations"}},
      {"setoption name MultiPV value 150", {"info displaying 1 variations"}},
      {"setoption name MultiPV value -3", {"info displaying 1 variations"}},
      {"setoption name MultiPV value", {"info displaying 1 variations"}},
      {"setoption name Hash value 100", {}},
      {"setoption name hash value 1", {}},
      {"setoption name Hash value", {}},
      {"setoption name max cpus value 4096", {}},
      {"setoption name Clear Hash", {}},
      {"setoption name clear hash", {}},
      {"setoption name Ponder value false", {}},
      // The main program's options are not the edition's.
      {"setoption name Contempt value 50", {}},
      {"setoption name Output value Sparse", {}},
      {"ucinewgame", {}},
      {"tt", {}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(engine.send(c.line));
    auto lines = engine.sync(20000);
    ASSERT_TRUE(lines.has_value()) << c.line;
    EXPECT_EQ(*lines, c.answer) << c.line;
  }
}

TEST(Larkspire, GoAnswersALegalMoveAndAReportWithItsOwnLines) {
  auto engine = start_larkspire(2);
  engine->send(kAfterE4);
  engine->send("go depth 4");
  std::string best;
  const std::vector<std::string> lines = read_until_bestmove(*engine, best);
  EXPECT_TRUE(legal_in(kAfterE4, best)) << best;
  // The report's first line ends in a blank and "\r".
  bool report_line = false;
  for (const std::string& line : lines)
    if (line.rfind("info time ", 0) == 0 && line.find(" nps ") != std::string::npos &&
        line.size() >= 2 && line.substr(line.size() - 2) == " \r")
      report_line = true;
  EXPECT_TRUE(report_line);
  // An invalid root position answers a1a1 and nothing else.
  engine->send("position fen 4k3/4R3/8/8/8/8/8/4K3 w - -");
  engine->send("go depth 2");
  EXPECT_EQ(engine->read_line(), "bestmove a1a1");
  auto rest = engine->sync();
  ASSERT_TRUE(rest.has_value());
  EXPECT_TRUE(rest->empty());
}

TEST(Larkspire, BusyWhileSearchingAndWhileAResultIsHeld) {
  auto engine = start_larkspire(2);
  engine->send(kStartPos);
  engine->send("go infinite");
  // While it searches: readiness is answered; position, go and ucinewgame
  // are ignored, so the result belongs to the start position.
  engine->send("position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -");
  engine->send("go depth 1");
  engine->send("ucinewgame");
  auto during = engine->sync();
  ASSERT_TRUE(during.has_value());
  for (const std::string& line : *during) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
  engine->send("stop");
  std::string best;
  read_until_bestmove(*engine, best);
  EXPECT_TRUE(legal_in(kStartPos, best)) << best;

  // An infinite search that ends by itself (its node limit) holds its
  // report: nothing until "stop", and the position line meanwhile is ignored.
  engine->send(kAfterE4);
  engine->send("go infinite nodes 1");
  for (auto line = engine->read_line(500); line; line = engine->read_line(500))
    EXPECT_NE(line->rfind("bestmove", 0), 0u) << *line;
  engine->send(kStartPos);
  engine->send("go depth 1");
  engine->send("stop");
  read_until_bestmove(*engine, best);
  EXPECT_TRUE(legal_in(kAfterE4, best)) << best;
  // Idle: "stop" says nothing, "ponderhit" repeats the last report.
  engine->send("stop");
  auto idle = engine->sync();
  ASSERT_TRUE(idle.has_value());
  EXPECT_TRUE(idle->empty());
  engine->send("ponderhit");
  std::string again;
  read_until_bestmove(*engine, again);
  EXPECT_EQ(again, best);
}

TEST(Larkspire, StopOrPonderhitRightAfterAPositionLineSearchesThatPosition) {
  auto engine = start_larkspire(1);
  // A stop right after the position line runs "go ponder" there and stops it.
  engine->send(kAfterE4);
  engine->send("stop");
  std::string best;
  read_until_bestmove(*engine, best, 10000);
  EXPECT_TRUE(legal_in(kAfterE4, best)) << best;

  // A clock from an earlier go: the queued "go ponder" has none of its own,
  // takes that one, and after "ponderhit" runs out its short time by itself.
  engine->send(kStartPos);
  engine->send("go wtime 10000 btime 10000");
  read_until_bestmove(*engine, best);
  ASSERT_TRUE(legal_in(kStartPos, best)) << best;
  const std::string after = std::string(kStartPos) + " moves " + best;
  engine->send(after);
  engine->send("ponderhit");
  read_until_bestmove(*engine, best, 10000);
  EXPECT_TRUE(legal_in(after, best)) << best;
}

TEST(Larkspire, BadInputIsIgnoredAndNeverACrash) {
  auto engine = start_larkspire(2);
  const std::string long_line(70000, 'x');  // beyond the 64 KiB a line holds
  const char* const lines[] = {
      "", "   ", "\t", "garbage", "position", "position fen", "position fen 9/9/9 w KQkq - 0 1",
      "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 moves e2e5 e7e5",
      "position startpos moves", "position startpos moves zz99 a1", "setoption", "setoption name",
      "setoption name Hash value -5", "setoption name Hash value 2x", "setoption name Max CPUs value abc",
      "go depth", "go depth -3 nodes", "go searchmoves", "go searchmoves e2e4 zz a1a1q e7e8", "go wtime -5 btime -5 winc -1 binc -1 movestogo 0",
      "go movetime", "\x01\x02\xff\xfe",
  };
  engine->send(long_line + " isready");
  for (const char* line : lines) {
    engine->send(line);
    if (std::string(line).rfind("go", 0) == 0) {
      // Without a limit of its own a search runs until it is stopped.
      engine->send("stop");
      std::string best;
      read_until_bestmove(*engine, best);
      EXPECT_FALSE(best.empty()) << line;
    }
  }
  auto ready = engine->sync(20000);
  ASSERT_TRUE(ready.has_value());
  // The over-long line's tail was dropped, not read as a command.
  for (const std::string& line : *ready) EXPECT_NE(line, "readyok");
  engine->send("quit");
  EXPECT_EQ(engine->wait_exit(), 0);
}

TEST(Larkspire, QuitAndEndOfInputExitWithZero) {
  {
    EngineProcess engine({}, LARKSPIRE_BINARY);
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
  }
  {
    EngineProcess engine({}, LARKSPIRE_BINARY);
    engine.send(kStartPos);
    engine.send("go infinite");
    engine.send("quit");  // obeyed at the search's next poll
    EXPECT_EQ(engine.wait_exit(20000), 0);
  }
  {
    EngineProcess engine({}, LARKSPIRE_BINARY);
    ASSERT_TRUE(engine.sync(20000).has_value());
    engine.close_input();
    EXPECT_EQ(engine.wait_exit(), 0);
  }
}

// The nice value of a running process (field 19 of /proc/<pid>/stat).
int nice_of(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 19; ++i) fields >> field;
  return std::stoi(field);
}

TEST(Larkspire, WorkersRunBelowTheMastersPriority) {
  if (platform::processor_count() < 2) GTEST_SKIP() << "one processor: no workers";
  auto engine = start_larkspire(2);
  const std::vector<pid_t> workers = child_processes(engine->pid());
  ASSERT_EQ(workers.size(), 1u);
  EXPECT_EQ(nice_of(workers[0]), std::min(nice_of(engine->pid()) + 5, 19));
}

}  // namespace
}  // namespace orvex::e2e
