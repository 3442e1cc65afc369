// Searches seen from outside: each kind of go line, stop and ponderhit,
// answers during a search, the moves the engine plays in games at a fast
// time control, and the hidden timing suite.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"
#include "position/move_text.h"
#include "position/position.h"
#include "uci/go.h"

namespace orvex::e2e {
namespace {

using Clock = std::chrono::steady_clock;

int ms_since(Clock::time_point t0) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

#ifdef ORVEX_SANITIZED
constexpr int kSlowdown = 10;
#else
constexpr int kSlowdown = 1;
#endif

// An engine with the given number of processes, ready for commands.
std::unique_ptr<EngineProcess> start_engine(int cpus = 1) {
  auto engine = std::make_unique<EngineProcess>();
  engine->send("setoption name Max CPUs value " + std::to_string(cpus));
  EXPECT_TRUE(engine->sync(20000).has_value());
  return engine;
}

struct SearchOutput {
  std::vector<std::string> lines;  // every line before "bestmove"
  std::string best;                // the move after "bestmove"
  std::string ponder;              // the move after "ponder", if any
  bool complete = false;
};

// Reads up to and including the "bestmove" line.
SearchOutput read_search(EngineProcess& engine, int timeout_ms = 20000) {
  SearchOutput out;
  const auto t0 = Clock::now();
  while (ms_since(t0) < timeout_ms) {
    auto line = engine.read_line(timeout_ms - ms_since(t0));
    if (!line) break;
    if (line->rfind("bestmove ", 0) == 0) {
      std::istringstream words(*line);
      std::string word;
      words >> word >> out.best;
      if (words >> word && word == "ponder") words >> out.ponder;
      out.complete = true;
      break;
    }
    out.lines.push_back(*line);
  }
  return out;
}

// Whether a "bestmove" line comes within `ms` milliseconds.
bool bestmove_within(EngineProcess& engine, int ms) {
  const auto t0 = Clock::now();
  while (ms_since(t0) < ms) {
    auto line = engine.read_line(100);
    if (line && line->rfind("bestmove", 0) == 0) return true;
  }
  return false;
}

// The number after `key` in an info line, if the line has it.
std::optional<long long> field(const std::string& line, const std::string& key) {
  std::istringstream words(line);
  std::string word;
  while (words >> word)
    if (word == key) {
      long long v;
      if (words >> v) return v;
    }
  return std::nullopt;
}

const std::string kStart = "position startpos";
const std::string kMiddlegame =
    "position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8 moves c4d5 e6d5 f1d3";

TEST(Go, DepthEndsWithThatShownDepth) {
  auto engine = start_engine();
  for (int depth : {1, 4, 6}) {
    engine->send(kMiddlegame);
    engine->send("go depth " + std::to_string(depth));
    const SearchOutput out = read_search(*engine);
    ASSERT_TRUE(out.complete) << depth;
    EXPECT_TRUE(legal_in(kMiddlegame, out.best)) << out.best;
    long long deepest = -100;
    for (const std::string& line : out.lines)
      if (auto d = field(line, "depth")) deepest = std::max(deepest, *d);
    EXPECT_EQ(deepest, depth) << "go depth " << depth;
  }
}

TEST(Go, NodesLimitEndsTheSearch) {
  auto engine = start_engine();
  engine->send(kMiddlegame);
  engine->send("go nodes 20000");
  const SearchOutput small = read_search(*engine);
  ASSERT_TRUE(small.complete);
  EXPECT_TRUE(legal_in(kMiddlegame, small.best));
  // The count is checked after each iteration, so it stops in the first one
  // that passes the limit: far below what an unlimited search reaches.
  long long nodes = 0;
  for (const std::string& line : small.lines)
    if (auto n = field(line, "nodes")) nodes = std::max(nodes, *n);
  EXPECT_GT(nodes, 20000);
  EXPECT_LT(nodes, 20000000);
}

TEST(Go, MateFindsTheMate) {
  auto engine = start_engine();
  // A back-rank mate in two: a rook check, the a8 rook takes, the rook behind retakes with mate.
  const std::string pos = "position fen r5k1/5ppp/8/8/8/8/4RPPP/4R1K1 w - - 0 1";
  engine->send(pos);
  engine->send("go mate 2");
  const SearchOutput out = read_search(*engine, 10000 * kSlowdown);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(pos, out.best));
  bool mate_shown = false;
  for (const std::string& line : out.lines)
    if (line.find("score mate 2") != std::string::npos) mate_shown = true;
  EXPECT_TRUE(mate_shown);
}

TEST(Go, MovetimeIsKept) {
  auto engine = start_engine();
  engine->send(kMiddlegame);
  const auto t0 = Clock::now();
  engine->send("go movetime 600");
  const SearchOutput out = read_search(*engine);
  const int elapsed = ms_since(t0);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(kMiddlegame, out.best));
  EXPECT_LE(elapsed, 600 + 300 * kSlowdown);
}

TEST(Go, ClockedGoStaysWithinItsHardLimit) {
  auto engine = start_engine();
  const char* go = "go wtime 20000 btime 20000 winc 200 binc 200";
  GoRequest request;
  parse_go_line(go, request);
  ClockMemory fresh;
  const TimeLimits limits = allocate_time(request, kWhite, TimeOptions{}, 1, fresh);
  ASSERT_EQ(limits.soft_ms, 372u);
  ASSERT_EQ(limits.hard_ms, 2325u);
  engine->send(kMiddlegame + " f8e8");
  const auto t0 = Clock::now();
  engine->send(go);
  const SearchOutput out = read_search(*engine);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(kMiddlegame + " f8e8", out.best));
  EXPECT_LE(ms_since(t0), static_cast<int>(limits.hard_ms) + 250 * kSlowdown);
}

TEST(Go, InfiniteWaitsForStop) {
  auto engine = start_engine();
  engine->send(kMiddlegame);
  engine->send("go infinite");
  // "isready" is answered while the search runs.
  engine->send("isready");
  const auto t0 = Clock::now();
  bool ready = false;
  while (!ready && ms_since(t0) < 5000) {
    auto line = engine->read_line(5000);
    ASSERT_TRUE(line.has_value());
    ASSERT_NE(line->rfind("bestmove", 0), 0u) << "infinite search ended by itself";
    ready = *line == "readyok";
  }
  ASSERT_TRUE(ready);
  // No bestmove while nobody stops it.
  ASSERT_FALSE(bestmove_within(*engine, 700));
  engine->send("stop");
  const SearchOutput out = read_search(*engine, 2000 * kSlowdown);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(kMiddlegame, out.best));
}

TEST(Go, PonderWaitsForPonderhitThenKeepsTheClock) {
  auto engine = start_engine();
  engine->send(kMiddlegame);
  engine->send("go ponder wtime 3000 btime 3000");
  ASSERT_FALSE(bestmove_within(*engine, 700)) << "pondering search answered by itself";
  const auto t0 = Clock::now();
  engine->send("ponderhit");
  const SearchOutput out = read_search(*engine, 5000 * kSlowdown);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(kMiddlegame, out.best));
  // 3 s on the clock give limits of a few tens of ms from the search's
  // start: long passed, so the answer follows at once.
  EXPECT_LE(ms_since(t0), 500 * kSlowdown);
  // A ponder move, when given, is legal after the best move.
  if (!out.ponder.empty()) {
    EXPECT_TRUE(legal_in(kMiddlegame + " " + out.best, out.ponder));
  }
}

TEST(Go, PonderStoppedReportsAtOnce) {
  auto engine = start_engine();
  engine->send(kStart);
  engine->send("go ponder");
  usleep(200000);
  engine->send("stop");
  const SearchOutput out = read_search(*engine, 2000 * kSlowdown);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(kStart, out.best));
}

TEST(Go, SearchmovesRestrictTheRoot) {
  auto engine = start_engine();
  struct Case { std::string go; std::vector<std::string> allowed; };
  const std::vector<Case> cases = {
      {"go depth 4 searchmoves a2a3", {"a2a3"}},
      {"go depth 4 searchmoves h2h3 g1h3", {"h2h3", "g1h3"}},
      {"go searchmoves b1a3 depth 3", {"b1a3"}},
  };
  for (const Case& c : cases) {
    engine->send(kStart);
    engine->send(c.go);
    const SearchOutput out = read_search(*engine);
    ASSERT_TRUE(out.complete) << c.go;
    EXPECT_NE(std::find(c.allowed.begin(), c.allowed.end(), out.best), c.allowed.end())
        << c.go << " gave " << out.best;
  }
}

TEST(Go, InvalidRootAnswersA1a1) {
  auto engine = start_engine();
  // Black to move while the white king stands in check.
  engine->send("position fen 4k3/8/8/8/8/8/4r3/4K3 b - - 0 1");
  engine->send("go depth 3");
  const SearchOutput out = read_search(*engine);
  ASSERT_TRUE(out.complete);
  EXPECT_EQ(out.best, "a1a1");
  EXPECT_TRUE(out.lines.empty());
}

TEST(Go, StopAtAnyMomentGivesALegalMoveAndKeepsThePosition) {
  auto engine = start_engine();
  const std::string pos = kMiddlegame + " f8e8 e1g1";
  std::mt19937 rng(7);
  const int rounds = kSlowdown > 1 ? 6 : 20;
  for (int i = 0; i < rounds; ++i) {
    engine->send(pos);
    engine->send(i % 2 ? "go infinite" : "go wtime 100000 btime 100000");
    usleep(static_cast<useconds_t>(rng() % 60000));
    engine->send("stop");
    const SearchOutput out = read_search(*engine, 3000 * kSlowdown);
    ASSERT_TRUE(out.complete) << "round " << i;
    EXPECT_TRUE(legal_in(pos, out.best)) << "round " << i << ": " << out.best;
    // The next search, without a new position line, searches the same position.
    engine->send("go depth 2");
    const SearchOutput again = read_search(*engine);
    ASSERT_TRUE(again.complete);
    EXPECT_TRUE(legal_in(pos, again.best)) << "after round " << i << ": " << again.best;
  }
}

TEST(Go, StopRightAfterPositionStartsAndEndsAPonderSearch) {
  auto engine = start_engine();
  engine->send(kMiddlegame);
  engine->send("stop");
  const SearchOutput out = read_search(*engine, 3000 * kSlowdown);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(kMiddlegame, out.best));
}

TEST(Go, GoAndTimingSuiteIgnoredWhileBusy) {
  const auto dir = std::filesystem::temp_directory_path() / ("orvex-busy-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  auto engine = start_engine();
  std::filesystem::current_path(old);
  engine->send(kStart);
  engine->send("go infinite");
  engine->send("go depth 1");
  engine->send("tt");
  engine->send("position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1");
  usleep(300000);
  engine->send("stop");
  const SearchOutput out = read_search(*engine, 3000 * kSlowdown);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(kStart, out.best));
  // Only one report, and the timing files were never written.
  EXPECT_TRUE(engine->silent_for(300));
  EXPECT_FALSE(std::filesystem::exists(dir / "timing_log.txt"));
  std::filesystem::remove_all(dir);
}

// One game against itself at base + increment, through the pipes.  Checks
// every move for legality, that no clock falls below zero and that every go
// is answered within its hard limit (plus what the pipes and the operating
// system may add).
void self_play(int cpus, int base_ms, int inc_ms, int max_plies) {
  auto engine = start_engine(cpus);
  engine->send("ucinewgame");
  // As a GUI does: the cleared tables are ready before the first clock runs.
  ASSERT_TRUE(engine->sync(5000 * kSlowdown));
  std::string moves;
  i64 clock[2] = {base_ms, base_ms};
  for (int ply = 0; ply < max_plies; ++ply) {
    const std::string pos = "position startpos" + (moves.empty() ? "" : " moves" + moves);
    set_position(pos);
    UciMove legal[kMaxLegalMoves];
    if (generate_legal_uci_moves(legal) == 0 || current_position.state.fifty >= 100) break;
    const Colour side = current_position.side_to_move;

    char go[128];
    std::snprintf(go, sizeof go, "go wtime %lld btime %lld winc %d binc %d", static_cast<long long>(clock[0]),
                  static_cast<long long>(clock[1]), inc_ms, inc_ms);
    GoRequest request;
    parse_go_line(go, request);
    // Without lost time: the largest hard limit the engine can give this go.
    ClockMemory fresh;
    const TimeLimits limits = allocate_time(request, side, TimeOptions{}, static_cast<u32>(cpus), fresh);

    engine->send(pos);
    const auto t0 = Clock::now();
    engine->send(go);
    const SearchOutput out = read_search(*engine, 10000 * kSlowdown);
    const int elapsed = ms_since(t0);
    ASSERT_TRUE(out.complete) << "ply " << ply;
    ASSERT_TRUE(legal_in(pos, out.best)) << "ply " << ply << ": " << out.best << " in " << pos;
    EXPECT_LE(elapsed, static_cast<int>(limits.hard_ms) + 250 * kSlowdown)
        << "ply " << ply << " hard " << limits.hard_ms;
    clock[side] -= elapsed;
    EXPECT_GE(clock[side], 0) << "ply " << ply;
    clock[side] += inc_ms;
    moves += " " + out.best;
  }
}

TEST(SelfPlay, SlowOneProcessFastGame) { self_play(1, 2000, 20, 160); }

TEST(SelfPlay, SlowTwoProcessesFastGame) { self_play(2, 2000, 20, 160); }

TEST(SelfPlay, SlowThreeProcessesFastGame) { self_play(3, 2000, 20, 160); }

bool any_line_has(const SearchOutput& out, const std::string& text) {
  return std::any_of(out.lines.begin(), out.lines.end(),
                     [&text](const std::string& l) { return l.find(text) != std::string::npos; });
}

// A clocked search of a queen ending runs the queen ending's search, which
// scores a mate a flat 31000 and shows it in centipawns; a depth limit asks
// for the general search, which shows the mate distance.
TEST(Configurations, ClockRunsTheEndingSearchDepthTheGeneral) {
  auto engine = start_engine();
  const std::string pos = "position fen 7k/8/8/5K2/8/8/8/6Q1 w - -";
  engine->send(pos);
  engine->send("go movetime 500");
  SearchOutput out = read_search(*engine);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(pos, out.best)) << out.best;
  EXPECT_FALSE(any_line_has(out, "score mate"));
  EXPECT_TRUE(any_line_has(out, "score cp 28093"));

  engine->send(pos);
  engine->send("go depth 6");
  out = read_search(*engine);
  ASSERT_TRUE(out.complete);
  EXPECT_TRUE(legal_in(pos, out.best)) << out.best;
  EXPECT_TRUE(any_line_has(out, "score mate"));
}

// Every class of material under a clock: a legal move and no mate text.
TEST(Configurations, EveryClassAnswersALegalMove) {
  const char* const fens[] = {
      "8/8/4k3/3p4/3P4/4K3/8/8 w - -",                     // pawn_ending
      "8/5k2/3b4/2p5/2P5/3B4/5K2/8 w - -",                 // bishop_ending
      "8/4k3/2n1p3/3pP3/3P4/2B5/4K3/8 w - -",              // bishop_vs_knight_ending
      "8/4k3/2b1p3/3pP3/3P4/2N5/4K3/8 b - -",              // knight_vs_bishop_ending
      "8/4k3/2n1p3/3pP3/3P4/2N5/4K3/8 w - -",              // knight_ending
      "8/5k2/3q4/2p5/2P5/3Q4/5K2/8 b - -",                 // queen_ending
      "8/5pk1/6p1/7p/7P/6P1/r4PK1/1R6 w - -",              // rook_ending
      "8/5pk1/4b1p1/7p/7P/4B1P1/r4PK1/1R6 w - -",          // rook_bishop_ending
      "8/5pk1/4n1p1/7p/7P/4N1P1/r4PK1/1R6 b - -",          // rook_knight_ending
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",  // mixed
  };
  auto engine = start_engine();
  for (const char* fen : fens) {
    const std::string pos = std::string("position fen ") + fen;
    engine->send(pos);
    engine->send("go movetime 200");
    const SearchOutput out = read_search(*engine);
    ASSERT_TRUE(out.complete) << fen;
    EXPECT_TRUE(legal_in(pos, out.best)) << fen << ": " << out.best;
    EXPECT_FALSE(any_line_has(out, "score mate")) << fen;
  }
}

// The ending searches never generate rook promotions, nor knight promotions
// without check: a searchmoves list of only those is searched by the
// general configuration and answered with the named move.
TEST(Configurations, UnderPromotionSearchmovesRunTheGeneralSearch) {
  auto engine = start_engine();
  const std::string pos = "position fen 8/4P3/8/8/8/k7/8/K7 w - -";
  for (const char* move : {"e7e8r", "e7e8n"}) {
    engine->send(pos);
    engine->send(std::string("go movetime 200 searchmoves ") + move);
    const SearchOutput out = read_search(*engine);
    ASSERT_TRUE(out.complete) << move;
    EXPECT_EQ(out.best, move);
  }
}

// The final line shows the centipawns of the best score whatever
// configuration a clocked search runs: with the side to move mated, no
// progress line is printed and the final line shows cp 0 (never the 3 of the
// progress lines' draw-score clamp).  The first case is a game's line.
TEST(Configurations, FinalLineShowsTheScoreAsItIs) {
  const char* const positions[] = {
      "position fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 b - - 0 1 moves g8h8 a1a8",  // rook_ending
      "position fen 7k/5KPp/8/8/8/8/8/8 b - -",                             // pawn_ending
      "position fen b6k/5KBp/8/8/8/8/8/8 b - -",                            // bishop_ending
      "position fen n6k/5KBp/8/8/8/8/8/8 b - -",                            // bishop_vs_knight_ending
      "position fen 5K1k/5Npp/8/8/8/8/8/b7 b - -",                          // knight_vs_bishop_ending
      "position fen 5K1k/5Npp/8/8/8/8/8/n7 b - -",                          // knight_ending
      "position fen 7k/5KQp/8/8/8/8/8/1q6 b - -",                           // queen_ending
      "position fen R6k/5ppp/8/8/8/8/5PPP/6KB b - -",                       // rook_bishop_ending
      "position fen R6k/5ppp/8/8/8/8/5PPP/6KN b - -",                       // rook_knight_ending
      "position fen R6k/5ppp/8/8/8/8/8/4K2R b K -",                         // castling_rights
      "position fen R6k/5ppp/8/8/8/8/8/3QK3 b - -",                         // mixed
  };
  auto engine = start_engine();
  for (const char* go : {"go movetime 500", "go depth 5"}) {
    for (const char* pos : positions) {
      engine->send(pos);
      engine->send(go);
      const SearchOutput out = read_search(*engine);
      ASSERT_TRUE(out.complete) << pos;
      EXPECT_EQ(out.best, "a1a1") << pos;
      EXPECT_TRUE(any_line_has(out, "info depth -3 score cp 0 nodes 0 pv a1a1")) << go << ", " << pos;
      EXPECT_FALSE(any_line_has(out, "score cp 3")) << go << ", " << pos;
    }
  }
}

// Moves that no configuration generates (bishop promotions anywhere, rook
// promotions in the ending searches), named alone in a searchmoves list or
// beside a move that is not legal: both programs answer the named legal move.
// Beside a move the search generates, that move is searched and answered.
TEST(Configurations, SearchmovesOfUngeneratedMovesAnswerTheNamedMove) {
  struct Case {
    const char* position;
    const char* go;
    const char* answer;
  };
  const Case cases[] = {
      // pawn_ending; a depth asks for the general search.
      {"position fen 8/4P3/8/8/8/k7/8/K7 w - -", "go movetime 200 searchmoves e7e8b", "e7e8b"},
      {"position fen 8/4P3/8/8/8/k7/8/K7 w - -", "go depth 3 searchmoves e7e8b", "e7e8b"},
      {"position fen 8/4P3/8/8/8/k7/8/K7 w - -", "go movetime 200 searchmoves e7e8r", "e7e8r"},
      {"position fen 8/4P3/8/8/8/k7/8/K7 w - -", "go movetime 200 searchmoves a2a4 e7e8b", "e7e8b"},
      {"position fen 8/4P3/8/8/8/k7/8/K7 w - -", "go movetime 200 searchmoves e7e8b e7e6", "e7e8b"},
      {"position fen 8/4P3/8/8/8/k7/8/K7 w - -", "go movetime 200 searchmoves e7e8b a1b1", "a1b1"},
      // rook_ending, castling_rights, and a game's line.
      {"position fen 8/1P6/8/8/8/k7/8/K6R w - -", "go movetime 200 searchmoves b7b8r", "b7b8r"},
      {"position fen 8/1P6/8/8/8/k7/8/K6R w - -", "go movetime 200 searchmoves b7b8b", "b7b8b"},
      {"position fen 4k3/1P6/8/8/8/8/8/R3K3 w Q -", "go movetime 200 searchmoves b7b8b", "b7b8b"},
      {"position fen 8/2k1P3/8/8/8/8/8/K7 w - - 0 1 moves a1b1 c7d6", "go movetime 200 searchmoves e7e8b", "e7e8b"},
  };
  for (const char* program : {ORVEX_BINARY, LARKSPIRE_BINARY}) {
    EngineProcess engine({}, program);
    engine.send("setoption name Max CPUs value 1");
    ASSERT_TRUE(engine.sync(20000).has_value()) << program;
    for (const Case& c : cases) {
      engine.send(c.position);
      engine.send(c.go);
      const SearchOutput out = read_search(engine);
      ASSERT_TRUE(out.complete) << program << ": " << c.go;
      EXPECT_EQ(out.best, c.answer) << program << ": " << c.position << ", " << c.go;
      EXPECT_TRUE(legal_in(c.position, out.best)) << out.best;
    }
  }
}

// The whole suite takes minutes; a "stop" waiting for each test's search
// ends that search at its first input check, so the suite runs through in
// moments with every file line written.
TEST(TimingSuite, WritesBothFiles) {
  const auto dir = std::filesystem::temp_directory_path() / ("orvex-tt-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  auto engine = start_engine();
  std::filesystem::current_path(old);
  std::string lines_in = "tt\n";
  for (int i = 0; i < 67; ++i) lines_in += "stop\n";
  engine->send(lines_in, true);
  auto first = engine->read_line(5000);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(*first, "info displaying 2 variations");
  auto last = engine->read_line(60000 * kSlowdown);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(*last, "timing tests finished");
  // The engine answers again, with MultiPV left at 2.
  auto rest = engine->sync();
  ASSERT_TRUE(rest.has_value());
  EXPECT_TRUE(rest->empty());

  std::ifstream log(dir / "timing_log.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 67u + 3u);  // one per position, then "", "ct: ...", ""
  for (int i = 0; i < 67; ++i) {
    const std::string& l = lines[i];
    const auto blank = l.find(' ');
    ASSERT_NE(blank, std::string::npos) << l;
    EXPECT_EQ(l.find('.'), blank - 4) << l;  // seconds, '.', three digits
    EXPECT_GE(l.size() - blank - 1, 50u) << l;
  }
  EXPECT_EQ(lines[67], "");
  EXPECT_EQ(lines[68].rfind("ct: 67 avg: ", 0), 0u) << lines[68];
  EXPECT_EQ(lines[69], "");
  std::ifstream summary_file(dir / "timing_summary.txt");
  std::stringstream summary;
  summary << summary_file.rdbuf();
  EXPECT_EQ(summary.str(), "\n" + lines[68] + "\n\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orvex::e2e
