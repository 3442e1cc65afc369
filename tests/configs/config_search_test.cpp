// The specialised configurations' searches called directly: each one's node
// signature at a small depth, won endings, the ending score model (no fifty-
// move rule, a flat mate score), null-move material and extensions per
// configuration, and the fall-back to the general search for a searchmoves
// list a configuration cannot generate.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "configs/choice.h"
#include "configs/config_traits.h"
#include "configs/roots.h"
#include "core/position_command.h"
#include "position/fen.h"
#include "position/move_text.h"
#include "search/limits.h"
#include "search/search.h"
#include "search/progress.h"
#include "search/search_rules.h"
#include "search/settings.h"
#include "tests/data_files.h"
#include "tests/search_fixture.h"

namespace orvex {
namespace {

class ConfigSearch : public testing::SearchFixture {
 protected:
  // Searches `fen` to the shown depth with configuration `c` from a cleared
  // table; returns the counted nodes.
  static u64 search(SearchConfig c, const std::string& fen, int depth, u32 fifty = 0,
                    const char* searchmoves = nullptr) {
    handle_position_command(("position fen " + fen).c_str());
    current_position.state.fifty = fifty;
    reset_for_repeatable_search();
    search_limits.depth_limit = depth + 3;
    if (searchmoves) {
      search_limits.searchmoves[0] = parse_uci_move(searchmoves);
      search_limits.searchmoves[1] = 0;
    }
    run_search_config(c);
    return counted_nodes();
  }
  static std::string best_move() {
    char text[8];
    move_to_text(search_status.best_move, text);
    return text;
  }
};

// One position of each class, searched by its configuration at shown depth
// 7: the node totals are the signatures kept in tests/data.  A change of a
// template that moves a search it should not have changes one of them.
TEST_F(ConfigSearch, SignaturesAtASmallDepth) {
  struct Case {
    SearchConfig config;
    const char* fen;
  };
  const Case cases[] = {
      {kConfigPawnEnding, "8/5pk1/6p1/7p/7P/6P1/5PK1/8 w - -"},
      {kConfigBishopEnding, "8/3bk3/2p1p3/2P1P3/3B4/4K3/8/8 w - -"},
      {kConfigBishopVsKnightEnding, "8/4k3/2n1p3/3pP3/3P4/2B5/4K3/8 w - -"},
      {kConfigKnightVsBishopEnding, "8/4k3/2b1p3/3pP3/3P4/2N5/4K3/8 w - -"},
      {kConfigKnightEnding, "8/4k3/2n1p3/3pP3/3P4/2N5/4K3/8 w - -"},
      {kConfigQueenEnding, "8/5k2/3q4/2p5/2P5/3Q4/5K2/8 w - -"},
      {kConfigRookEnding, "8/5pk1/6p1/7p/7P/6P1/r4PK1/1R6 w - -"},
      {kConfigRookBishopEnding, "8/5pk1/4b1p1/7p/7P/4B1P1/r4PK1/1R6 w - -"},
      {kConfigRookKnightEnding, "8/5pk1/4n1p1/7p/7P/4N1P1/r4PK1/1R6 w - -"},
      {kConfigCastlingRights, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -"},
      {kConfigMixed, "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -"},
      {kConfigWorker, "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - -"},
  };
  std::map<std::string, u64> expected;
  std::ifstream in = testing::open_data_file("config_signatures.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string tag;
    u64 nodes = 0;
    if (fields >> tag >> nodes) expected[tag] = nodes;
  }
  std::string found;  // in the file's form, to keep when a change is meant
  for (const Case& c : cases) {
    const u64 nodes = search(c.config, c.fen, 7);
    const std::string tag = search_config_tag(c.config);
    found += tag + " " + std::to_string(nodes) + "\n";
    EXPECT_TRUE(expected.count(tag) && expected[tag] == nodes) << tag << ": " << nodes;
  }
  if (::testing::Test::HasFailure()) ADD_FAILURE() << "signatures found:\n" << found;
}

TEST_F(ConfigSearch, WonEndingsAreWon) {
  struct Case {
    SearchConfig config;
    const char* fen;
    int depth;
    i32 at_least;  // best score from the side to move
    const char* move;  // expected best move, or nullptr
  };
  const Case cases[] = {
      // Mates score a flat 31000 in the ending core, whatever their length.
      {kConfigQueenEnding, "7k/8/8/5K2/8/8/8/6Q1 w - -", 6, kMateThreshold, nullptr},
      {kConfigRookEnding, "7k/8/5K2/8/8/8/8/1R6 w - -", 6, kMateThreshold, nullptr},
      {kConfigRookEnding, "6k1/8/6K1/8/8/8/8/R7 w - -", 4, kMateThreshold, "a1a8"},
      // King in front of its pawn on the sixth rank: the pawn queens.
      {kConfigPawnEnding, "5k2/8/5K2/5P2/8/8/8/8 w - -", 14, 500, nullptr},
      // The king reaches a key square of its pawn in front of it.
      {kConfigPawnEnding, "4k3/8/8/4K3/4P3/8/8/8 w - -", 16, 300, nullptr},
  };
  for (const Case& c : cases) {
    search(c.config, c.fen, c.depth);
    EXPECT_GE(search_status.best_score, c.at_least) << c.fen;
    if (c.config != kConfigPawnEnding) {
      EXPECT_LE(search_status.best_score, kMateThreshold) << c.fen;
    }
    if (c.move) {
      EXPECT_EQ(best_move(), c.move) << c.fen;
    }
  }
}

TEST_F(ConfigSearch, NoFiftyMoveDrawInTheEndingCore) {
  // Mate in two with the fifty-move counter at 98: the general search meets
  // the fifty-move rule before the mate, the rook ending does not.
  const char* fen = "7k/8/5K2/8/8/8/8/1R6 w - -";
  search(kConfigRookEnding, fen, 6, 98);
  EXPECT_EQ(search_status.best_score, kMateThreshold);
  search(kConfigGeneral, fen, 6, 98);
  EXPECT_LT(search_status.best_score, kMateThreshold);
}

TEST_F(ConfigSearch, EmptyRestrictedRootFallsBackToGeneral) {
  // A pawn ending whose searchmoves name only under-promotions the ending
  // core never generates: the general search plays them.
  const char* fen = "8/4P3/8/8/8/k7/8/K7 w - -";
  search(kConfigPawnEnding, fen, 4, 0, "e7e8r");
  EXPECT_EQ(best_move(), "e7e8r");
  search(kConfigPawnEnding, fen, 4, 0, "e7e8n");
  EXPECT_EQ(best_move(), "e7e8n");
  search(kConfigMixed, "8/4P3/8/8/8/k7/8/K5NB w - -", 4, 0, "e7e8r");
  EXPECT_EQ(best_move(), "e7e8r");
}

// The final line shows the centipawns of the best score, in every
// configuration that prints one: the draw-score clamp of the progress lines
// does not reach it.  Each position is mate for the side to move, with the
// material of its configuration, so no progress line is printed and the best
// score stays 0.
TEST_F(ConfigSearch, FinalLineShowsTheScoreAsItIs) {
  struct Case {
    SearchConfig config;
    const char* fen;
  };
  const Case cases[] = {
      {kConfigGeneral, "R6k/5ppp/8/8/8/8/5PPP/6K1 b - -"},
      {kConfigPawnEnding, "7k/5KPp/8/8/8/8/8/8 b - -"},
      {kConfigBishopEnding, "b6k/5KBp/8/8/8/8/8/8 b - -"},
      {kConfigBishopVsKnightEnding, "n6k/5KBp/8/8/8/8/8/8 b - -"},
      {kConfigKnightVsBishopEnding, "5K1k/5Npp/8/8/8/8/8/b7 b - -"},
      {kConfigKnightEnding, "5K1k/5Npp/8/8/8/8/8/n7 b - -"},
      {kConfigQueenEnding, "7k/5KQp/8/8/8/8/8/1q6 b - -"},
      {kConfigRookEnding, "R6k/5ppp/8/8/8/8/5PPP/6K1 b - -"},
      {kConfigRookBishopEnding, "R6k/5ppp/8/8/8/8/5PPP/6KB b - -"},
      {kConfigRookKnightEnding, "R6k/5ppp/8/8/8/8/5PPP/6KN b - -"},
      {kConfigCastlingRights, "R6k/5ppp/8/8/8/8/8/4K2R b K -"},
      {kConfigMixed, "R6k/5ppp/8/8/8/8/8/3QK3 b - -"},
  };
  search_settings.display_draw_scores = 0;
  for (const Case& c : cases) {
    char path[] = "/tmp/orvex-final-line-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const int saved = dup(1);
    dup2(fd, 1);
    quiet = 0;
    search(c.config, c.fen, 5);
    quiet = 1;
    dup2(saved, 1);
    close(saved);
    close(fd);
    std::ifstream in(path);
    std::stringstream out;
    out << in.rdbuf();
    std::remove(path);
    const std::string tag = search_config_tag(c.config);
    if (c.config != kConfigGeneral) {
      // A clocked go would choose this configuration for the position.
      ConfigRequest clocked;
      clocked.depth_limit = kNoDepthLimit;
      clocked.node_limit = kNoNodeLimit;
      EXPECT_EQ(choose_search_config(current_position, clocked), c.config) << tag;
    }
    EXPECT_NE(out.str().find("info depth -3 score cp 0 nodes 0 pv a1a1\n"), std::string::npos)
        << tag << ":\n" << out.str();
    EXPECT_EQ(out.str().find(" score cp 3 "), std::string::npos) << tag;
  }
}

// No configuration generates bishop promotions: a searchmoves list of only
// such a move leaves even the general root empty, and the named move is the
// answer (a search move cannot hold it).  A name that is not legal gives
// nothing to answer.
TEST_F(ConfigSearch, NamedMoveNoRootHoldsIsTheAnswer) {
  struct Case {
    SearchConfig config;
    const char* fen;
    const char* searchmove;
    const char* answer;
  };
  const Case cases[] = {
      {kConfigPawnEnding, "8/4P3/8/8/8/k7/8/K7 w - -", "e7e8b", "e7e8b"},
      {kConfigGeneral, "8/4P3/8/8/8/k7/8/K7 w - -", "e7e8b", "e7e8b"},
      {kConfigCastlingRights, "4k3/1P6/8/8/8/8/8/R3K3 w Q -", "b7b8b", "b7b8b"},
      {kConfigGeneral, "8/4P3/8/8/8/k7/8/K7 w - -", "e7e6", "a1a1"},
  };
  for (const Case& c : cases) {
    search(c.config, c.fen, 4, 0, c.searchmove);
    char text[6];
    answer_move_text(search_status.best_move, search_status.named_move, text);
    EXPECT_EQ(search_status.best_move, kNoMove) << c.fen;
    EXPECT_STREQ(text, c.answer) << c.fen << " " << c.searchmove;
  }
}

TEST(ConfigRules, NullMoveMaterial) {
  struct Case {
    const char* fen;
    bool general, ending, castling_rights, worker;
  };
  const Case cases[] = {
      {"4k3/pp6/8/8/8/8/PP6/4K3 w - -", false, false, true, false},
      {"4k3/pp6/8/8/8/8/PP6/1N2K3 w - -", false, true, true, false},
      {"4k3/pp6/8/8/8/8/PP6/1NB1K3 w - -", true, true, true, true},
      {"4k3/pp6/8/8/8/8/PP6/R3K3 w - -", true, true, true, true},
      {"4k3/pp6/8/8/8/8/PP6/R3K3 b - -", false, false, true, false},
  };
  for (const Case& c : cases) {
    parse_fen(c.fen);
    EXPECT_EQ(null_move_material_for<GeneralConfig>(), c.general) << c.fen;
    EXPECT_EQ(null_move_material_for<RookEndingConfig>(), c.ending) << c.fen;
    EXPECT_EQ(null_move_material_for<CastlingRightsConfig>(), c.castling_rights) << c.fen;
    EXPECT_EQ(null_move_material_for<MixedConfig>(), c.castling_rights) << c.fen;
    EXPECT_EQ(null_move_material_for<WorkerConfig>(), c.worker) << c.fen;
  }
}

TEST(ConfigRules, ExtensionsWithQueens) {
  parse_fen("4k3/8/8/8/8/8/8/R2QK3 w - -");
  EXPECT_TRUE(extensions_apply<GeneralConfig>());
  EXPECT_FALSE(extensions_apply<RookEndingConfig>());
  EXPECT_TRUE(extensions_apply<QueenEndingConfig>());
  EXPECT_TRUE(extensions_apply<CastlingRightsConfig>());
  EXPECT_TRUE(extensions_apply<WorkerConfig>());
  parse_fen("4k3/8/8/8/8/8/8/R3K3 w - -");
  EXPECT_TRUE(extensions_apply<RookEndingConfig>());
}

TEST(ConfigRules, NullMoveClearsTheFiftyCounterOutsideGeneral) {
  parse_fen("4k3/pp6/8/8/8/8/PP6/R3K3 w - -");
  current_position.state.fifty = 30;
  NullMoveUndo u;
  make_null_move_for<GeneralConfig>(u);
  EXPECT_EQ(current_position.state.fifty, 30u);
  unmake_null_move(u);
  make_null_move_for<RookEndingConfig>(u);
  EXPECT_EQ(current_position.state.fifty, 0u);
  unmake_null_move(u);
  EXPECT_EQ(current_position.state.fifty, 30u);
}

}  // namespace
}  // namespace orvex

namespace orvex {
namespace {

// What the progress lines show: mate text only in the general search; the
// draw-score clamp in the ending, castling_rights and mixed searches unless
// Display Draw Scores is on; "tbhits" in the general and ending lines only.
TEST(ConfigOutput, ShownScoresAndFields) {
  display_scale = 32;
  search_settings.display_draw_scores = 0;
  struct Case {
    Score score;
    i32 general, ending, worker, final;
  };
  // Centipawns: (32 * s) / 32 * 116 / 128.  The final line has no clamp:
  // `final` is what the ending, castling_rights and mixed searches show there.
  const Case cases[] = {
      {0, 0, 3, 0, 0},     {2, 1, 3, 1, 1},      {-2, -1, -3, -1, -1}, {-3, -2, -3, -2, -2},
      {4, 3, 3, 3, 3},     {-5, -4, -4, -4, -4},  {500, 453, 453, 453, 453},
      {31000, 28093, 28093, 28093, 28093},        {31990, 5, 28990, 28990, 28990},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shown_value<GeneralConfig>(c.score), c.general) << c.score;
    EXPECT_EQ(shown_value<RookEndingConfig>(c.score), c.ending) << c.score;
    EXPECT_EQ(shown_value<MixedConfig>(c.score), c.ending) << c.score;
    EXPECT_EQ(shown_value<WorkerConfig>(c.score), c.worker) << c.score;
    EXPECT_EQ(final_value<GeneralConfig>(c.score), c.general) << c.score;
    EXPECT_EQ(final_value<RookEndingConfig>(c.score), c.final) << c.score;
    EXPECT_EQ(final_value<CastlingRightsConfig>(c.score), c.final) << c.score;
    EXPECT_EQ(final_value<MixedConfig>(c.score), c.final) << c.score;
    EXPECT_STREQ(shown_unit<RookEndingConfig>(c.score), "cp");
    EXPECT_STREQ(shown_unit<WorkerConfig>(c.score), "cp");
  }
  EXPECT_STREQ(shown_unit<GeneralConfig>(31990), "mate");
  search_settings.display_draw_scores = 1;
  EXPECT_EQ(shown_value<RookEndingConfig>(0), 0);
  EXPECT_EQ(shown_value<RookEndingConfig>(-2), -1);
  search_settings.display_draw_scores = 0;

  search_status.tb_hits = 5;
  search_status.node_batches = 10;
  EXPECT_STREQ(progress_fields(GeneralConfig::kTbHitsField).tbhits, "tbhits 5 ");
  EXPECT_STREQ(progress_fields(RookEndingConfig::kTbHitsField).tbhits, "tbhits 5 ");
  EXPECT_STREQ(progress_fields(CastlingRightsConfig::kTbHitsField).tbhits, "");
  EXPECT_STREQ(progress_fields(WorkerConfig::kTbHitsField).tbhits, "");
  search_status.tb_hits = 0;
}

}  // namespace
}  // namespace orvex
