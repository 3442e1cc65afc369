// The edition's searches through its root: mates for both sides with their
// "score mate" lines, mated and stalemated roots, a single legal move,
// searchmoves with castling, en passant and promotions, searches cut short at
// random moments, the exact formats of the progress lines, and the
// benchmark's signature.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/position_command.h"
#include "core/worker_team.h"
#include "larkspire/bench.h"
#include "larkspire/search.h"
#include "platform/platform.h"
#include "position/move_text.h"
#include "larkspire/options.h"
#include "search/tt.h"

namespace orvex::larkspire {
namespace {

class EditionSearch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static std::vector<TtEntry> table((std::size_t{1} << 16) + 3);
    tt_attach(table.data(), table.size());
    process_team.process_count = 1;
    process_team.is_master = 1;
  }
  void SetUp() override { engine_options.multipv = 1; }

  // Sets the position, runs a search with `setup` applied to the limits, and
  // returns the lines it printed.
  template <class Setup>
  std::vector<std::string> run(const std::string& position, Setup setup) {
    std::string line = "position " + position;
    handle_position_command(line.c_str());
    reset_for_repeatable_search();
    setup(search_limits);
    const u64 key = current_position.state.key;
    ::testing::internal::CaptureStdout();
    search_root();
    std::istringstream out(::testing::internal::GetCapturedStdout());
    EXPECT_EQ(current_position.state.key, key) << position;
    std::vector<std::string> lines;
    for (std::string l; std::getline(out, l);) lines.push_back(l);
    return lines;
  }
  std::vector<std::string> run_depth(const std::string& position, int depth) {
    return run(position, [depth](SearchLimits& l) { l.depth_limit = depth; });
  }
  static std::string best() {
    char buf[6];
    return std::string(buf, move_to_text(search_status.best_move, buf));
  }
  static bool has_line(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& l : lines)
      if (l.find(part) != std::string::npos) return true;
    return false;
  }
};

TEST_F(EditionSearch, MatesForBothSides) {
  struct Case {
    const char* position;
    const char* move;  // the mating first moves
    int mate;
  };
  const Case cases[] = {
      {"fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -", "a1a8", 1},
      {"fen r5k1/8/8/8/8/8/5PPP/6K1 b - -", "a8a1", 1},
      {"fen k7/8/2K5/8/8/8/8/7R w - -", "c6b6", 2},
      {"fen 7r/8/8/8/8/2k5/8/K7 b - -", "c3b3 c3c2", 2},
      {"fen r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq -", "f8c5", 3},
  };
  for (const Case& c : cases) {
    const auto lines = run_depth(c.position, 8);
    EXPECT_NE(std::string(c.move).find(best()), std::string::npos) << c.position << ": " << best();
    EXPECT_TRUE(has_line(lines, "score mate " + std::to_string(c.mate) + " ")) << c.position << "\n" << [&] {
      std::string all;
      for (const std::string& l : lines) all += l + "\n";
      return all;
    }();
  }
}

TEST_F(EditionSearch, AMateEndsATimedSearchButNotAnInfiniteOne) {
  auto timed = run("fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -", [](SearchLimits& l) {
    l.soft_time_ms = 100000;
    l.hard_time_ms = 100000;
  });
  EXPECT_TRUE(has_line(timed, "info depth 5 time "));
  EXPECT_FALSE(has_line(timed, "info depth 6"));
  EXPECT_EQ(display_scale, 32 - 4 + 4);  // 16 men or fewer: 32
  auto infinite = run("fen 6k1/5ppp/8/8/8/8/8/R5K1 w - -", [](SearchLimits& l) {
    l.infinite = 1;
    l.depth_limit = 8;  // only a stop ends it; the depth limit does not
    l.node_limit = 20000;
  });
  EXPECT_TRUE(has_line(infinite, "info depth 6"));
  run_depth("startpos", 2);
  EXPECT_EQ(display_scale, 16);
}

TEST_F(EditionSearch, MatedStalemateAndSingleMove) {
  run_depth("fen R5k1/5ppp/8/8/8/8/8/6K1 b - -", 6);  // mated
  EXPECT_EQ(search_status.best_move, 0u);
  run_depth("fen 7k/5Q2/6K1/8/8/8/8/8 b - -", 6);  // stalemated
  EXPECT_EQ(search_status.best_move, 0u);
  // One legal move in a timed search: the depth limit becomes 8.
  const auto lines = run("fen 7k/8/8/8/8/8/r7/7K w - -", [](SearchLimits& l) {
    l.soft_time_ms = 100000;
    l.hard_time_ms = 100000;
  });
  EXPECT_EQ(best(), "h1g1");
  EXPECT_EQ(search_limits.depth_limit, 8);
  EXPECT_TRUE(has_line(lines, "info depth 7 time "));
  EXPECT_FALSE(has_line(lines, "info depth 8 "));
}

TEST_F(EditionSearch, SearchmovesNameCastlingEnPassantAndPromotions) {
  struct Case {
    const char* fen;
    const char* only;
  };
  const Case cases[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", "e1c1"},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", "e5d6"},
      {"4k3/1P6/8/8/8/8/8/4K3 w - -", "b7b8n"},
      {"4k3/1P6/8/8/8/8/8/4K3 w - -", "b7b8r"},
  };
  for (const Case& c : cases) {
    run(std::string("fen ") + c.fen, [&](SearchLimits& l) {
      l.depth_limit = 4;
      l.searchmoves[0] = parse_uci_move(c.only);
      l.searchmoves[1] = 0;
    });
    EXPECT_EQ(best(), c.only) << c.fen;
    EXPECT_EQ(edition_root.moves[1], 0u) << c.fen;
  }
}

TEST_F(EditionSearch, CutShortAtRandomMomentsGivesALegalMove) {
  std::mt19937 rng(2026);
  const char* positions[] = {"startpos", "fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                             "fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -"};
  for (int i = 0; i < 12; ++i) {
    const std::string position = positions[i % 3];
    const u32 hard = 1 + rng() % 60;
    run(position, [hard](SearchLimits& l) {
      l.soft_time_ms = hard;
      l.hard_time_ms = hard;
    });
    UciMove legal[kMaxLegalMoves];
    const int n = generate_legal_uci_moves(legal);
    bool found = false;
    for (int k = 0; k < n; ++k) found |= search_move_of(legal[k]) == search_status.best_move;
    EXPECT_TRUE(found) << position << " after " << hard << " ms";
  }
}

TEST_F(EditionSearch, LineFormats) {
  const auto lines = run_depth("startpos", 7);
  const std::regex depth_line(R"(info depth \d+)");
  const std::regex score_line(
      R"(info depth \d+ score (cp -?\d+|mate -?\d+) time \d+ nodes \d+ nps \d+ pv [a-h][1-8][a-h][1-8][qnr]?( [a-h][1-8][a-h][1-8][qnr]?)*)");
  const std::regex end_line(R"(info depth \d+ time \d+ nodes \d+ nps \d+ \r)");
  const std::regex currmove(R"(info currmove [a-h][1-8][a-h][1-8][qnr]? currmovenumber \d+)");
  const std::regex fail_high(R"(info depth \d+ score cp -?\d+ pv [a-h][1-8][a-h][1-8][qnr]?)");
  int scores = 0, ends = 0;
  for (const std::string& l : lines) {
    const bool known = std::regex_match(l, depth_line) || std::regex_match(l, score_line) ||
                       std::regex_match(l, end_line) || std::regex_match(l, currmove) ||
                       std::regex_match(l, fail_high);
    EXPECT_TRUE(known) << l;
    scores += std::regex_match(l, score_line);
    ends += std::regex_match(l, end_line);
  }
  EXPECT_GT(scores, 0);
  EXPECT_EQ(ends, 3);  // depths 4, 5 and 6
  EXPECT_EQ(lines.front(), "info depth 4");
}

TEST_F(EditionSearch, MultiPvLines) {
  engine_options.multipv = 3;
  const auto lines = run_depth("startpos", 6);
  EXPECT_TRUE(has_line(lines, "info multipv 1 depth 5 score cp "));
  EXPECT_TRUE(has_line(lines, "info multipv 3 depth 5 score cp "));
  EXPECT_FALSE(has_line(lines, "info multipv 4 "));
}

// A game against itself at a few milliseconds a move: every move is legal
// and no search runs far past its hard limit (the abort path is taken at
// many different places).
TEST_F(EditionSearch, SlowSelfPlayGame) {
  std::mt19937 rng(99);
  std::string position = "startpos moves";
  for (int ply = 0; ply < 120; ++ply) {
    const u32 hard = 2 + rng() % 25;
    const u32 t0 = platform::tick_count();
    run(position, [hard](SearchLimits& l) {
      l.soft_time_ms = hard / 2;
      l.hard_time_ms = hard;
    });
    const u32 elapsed = platform::tick_count() - t0;
    UciMove legal[kMaxLegalMoves];
    const int n = generate_legal_uci_moves(legal);
    if (n == 0) {
      EXPECT_EQ(search_status.best_move, 0u);
      break;
    }
    bool found = false;
    for (int k = 0; k < n; ++k) found |= search_move_of(legal[k]) == search_status.best_move;
    ASSERT_TRUE(found) << position;
    EXPECT_LE(elapsed, hard + 500) << position;
    position += " " + best();
  }
}

// The benchmark's signature at a small depth: a change of the search's
// behaviour changes it (update it together with the "Bench:" line of the
// commit), and two runs give the same count.
TEST_F(EditionSearch, BenchmarkSignature) {
  std::vector<TtEntry> table((std::size_t{1} << 21) + 3);  // the benchmark's 32 MB
  tt_attach(table.data(), table.size());
  const u64 first = run_benchmark(6);
  EXPECT_EQ(first, 1024861u);
  EXPECT_EQ(run_benchmark(6), first);
  SetUpTestSuite();
}

}  // namespace
}  // namespace orvex::larkspire
