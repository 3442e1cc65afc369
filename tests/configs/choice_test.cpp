// The choice of the search configuration: each rule in the order it decides,
// and the edges of the general-request conditions.
#include <gtest/gtest.h>

#include <string>

#include "configs/choice.h"
#include "position/fen.h"
#include "search/limits.h"

namespace orvex {
namespace {

// A request with a clock only: no general condition holds.
ConfigRequest clock_request() {
  ConfigRequest r;
  r.depth_limit = kNoDepthLimit;
  r.node_limit = kNoNodeLimit;
  return r;
}

SearchConfig choose(const char* fen, const ConfigRequest& req, u32 fifty = 0) {
  parse_fen(fen);
  current_position.state.fifty = fifty;
  return choose_search_config(current_position, req);
}

TEST(ConfigChoice, MaterialDecidesAClockSearch) {
  struct Case {
    const char* fen;
    SearchConfig expected;
  };
  const Case cases[] = {
      {kStartFen, kConfigCastlingRights},
      // Castling rights win over every material rule.
      {"4k3/pppp4/8/8/8/8/PPPP4/4K2R w K -", kConfigCastlingRights},
      {"r3k3/8/8/8/8/8/8/4K3 w q -", kConfigCastlingRights},
      {"4k3/8/8/8/8/8/8/4K3 w - -", kConfigPawnEnding},  // bare kings
      {"4k3/pp6/8/8/8/8/PP6/4K3 w - -", kConfigPawnEnding},
      {"4k3/pp6/8/8/8/8/PP6/2B1K3 w - -", kConfigBishopEnding},
      {"2b1k3/pp6/8/8/8/8/PP6/2B1K3 b - -", kConfigBishopEnding},
      {"1n2k3/pp6/8/8/8/8/PP6/2B1K3 w - -", kConfigBishopVsKnightEnding},
      {"2b1k3/pp6/8/8/8/8/PP6/1N2K3 w - -", kConfigKnightVsBishopEnding},
      {"4k3/pp6/8/8/8/8/PP6/1N2K3 w - -", kConfigKnightEnding},
      {"1n2k3/pp6/8/8/8/8/PP6/4K3 w - -", kConfigKnightEnding},
      {"4k3/pp6/8/8/8/8/PP6/3QK3 w - -", kConfigQueenEnding},
      {"3qk3/pp6/8/8/8/8/PP6/3QK3 w - -", kConfigQueenEnding},
      {"4k3/pp6/8/8/8/8/PP6/R3K3 w - -", kConfigRookEnding},
      {"3rk3/8/8/8/8/8/8/2B1K2R w - -", kConfigRookBishopEnding},
      {"3rk3/pp6/8/8/8/8/PP6/1N2K2R w - -", kConfigRookKnightEnding},
      // Material no ending covers: mixed with many men, general with few.
      {"1n2k3/pppp4/8/8/8/8/PPPP4/1NB1K3 w - -", kConfigMixed},
      {"1n2k3/8/8/8/8/8/8/1NB1K3 w - -", kConfigMixed},  // five men
      {"3qk3/8/8/8/8/8/8/4K2R w - -", kConfigGeneral},   // four men
      {"4k3/8/8/8/8/8/8/1NB1K3 w - -", kConfigGeneral},  // bishop and knight on one side
      {"3qk3/ppp5/8/8/8/8/PPPP4/3QK2R w - -", kConfigMixed},
      {"3qk3/8/8/8/8/8/8/3QK2R w - -", kConfigMixed},
      {"2bqk3/pppp4/8/8/8/8/PPPP4/3QK3 w - -", kConfigMixed},
      {"2b1k3/pppp4/8/8/8/8/PPPP4/1NB1K2R w - -", kConfigMixed},
      {"2b1k3/8/8/8/8/8/8/1N2K2R w - -", kConfigMixed},
  };
  for (const Case& c : cases)
    EXPECT_EQ(search_config_tag(choose(c.fen, clock_request())), std::string(search_config_tag(c.expected))) << c.fen;
}

TEST(ConfigChoice, FewMenCountsTheRegisteredTables) {
  // Seven men: general once tables of three men or more are registered.
  const char* fen = "1n2k3/p7/8/8/8/8/P7/1NB1K3 w - -";
  ConfigRequest r = clock_request();
  EXPECT_EQ(choose(fen, r), kConfigMixed);
  r.tb_max_men = 3;
  EXPECT_EQ(choose(fen, r), kConfigGeneral);
  r.tb_max_men = 2;
  EXPECT_EQ(choose(fen, r), kConfigMixed);
}

TEST(ConfigChoice, GeneralRequests) {
  const char* pawns = "4k3/pp6/8/8/8/8/PP6/4K3 w - -";
  struct Case {
    const char* what;
    void (*edit)(ConfigRequest&);
    SearchConfig expected;
  };
  const Case cases[] = {
      {"clock", [](ConfigRequest&) {}, kConfigPawnEnding},
      {"multipv 2", [](ConfigRequest& r) { r.multipv = 2; }, kConfigGeneral},
      {"infinite", [](ConfigRequest& r) { r.infinite = true; }, kConfigGeneral},
      {"ponder", [](ConfigRequest& r) { r.ponder = true; }, kConfigPawnEnding},
      {"infinite ponder", [](ConfigRequest& r) { r.infinite = r.ponder = true; }, kConfigPawnEnding},
      {"depth", [](ConfigRequest& r) { r.depth_limit = 8; }, kConfigGeneral},
      {"depth just below none", [](ConfigRequest& r) { r.depth_limit = kNoDepthLimit - 1; }, kConfigGeneral},
      {"nodes", [](ConfigRequest& r) { r.node_limit = 100000; }, kConfigGeneral},
      {"nodes just below none", [](ConfigRequest& r) { r.node_limit = kNoNodeLimit - 1; }, kConfigGeneral},
      {"mate", [](ConfigRequest& r) { r.mate_limit = 3; }, kConfigGeneral},
  };
  for (const Case& c : cases) {
    ConfigRequest r = clock_request();
    c.edit(r);
    EXPECT_EQ(search_config_tag(choose(pawns, r)), std::string(search_config_tag(c.expected))) << c.what;
  }
  // The start position too: a general request wins over castling rights.
  ConfigRequest r = clock_request();
  r.multipv = 2;
  EXPECT_EQ(choose(kStartFen, r), kConfigGeneral);
}

TEST(ConfigChoice, FiftyMoveCounter) {
  const char* rooks = "4k3/pp6/8/8/8/8/PP6/R3K3 w - -";
  EXPECT_EQ(choose(rooks, clock_request(), 64), kConfigRookEnding);
  EXPECT_EQ(choose(rooks, clock_request(), 65), kConfigGeneral);
}

TEST(ConfigChoice, ThreeDecisiveScores) {
  const char* rooks = "4k3/pp6/8/8/8/8/PP6/R3K3 w - -";
  struct Case {
    i32 scores[3];
    i32 count;
    SearchConfig expected;
  };
  const Case cases[] = {
      {{450, -420, 400}, 3, kConfigGeneral},
      {{450, 399, 500}, 3, kConfigRookEnding},
      {{-400, -400, -400}, 3, kConfigGeneral},
      {{-399, 400, 400}, 3, kConfigRookEnding},
      {{400, 400, 400}, 2, kConfigRookEnding},  // fewer than three searches so far
  };
  for (const Case& c : cases) {
    ConfigRequest r = clock_request();
    i32 history[5] = {c.scores[0], c.scores[1], c.scores[2], 0, 0};
    r.score_history = history;
    r.score_count = c.count;
    EXPECT_EQ(choose(rooks, r), c.expected) << c.scores[0] << " " << c.scores[1] << " " << c.scores[2];
  }
}

TEST(ConfigChoice, AWorkerAlwaysRunsTheWorkerConfiguration) {
  ConfigRequest r = clock_request();
  r.is_master = false;
  r.multipv = 2;
  r.infinite = true;
  EXPECT_EQ(choose(kStartFen, r), kConfigWorker);
  EXPECT_EQ(choose("4k3/pp6/8/8/8/8/PP6/R3K3 w - -", r, 80), kConfigWorker);
}

}  // namespace
}  // namespace orvex
