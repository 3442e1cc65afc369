// The general search on fixed positions: mates, draws, aborts, the line walk
// through the table, a share of the WAC suite, and node-count determinism.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/position_command.h"
#include "core/worker_team.h"
#include "position/fen.h"
#include "position/keys.h"
#include "position/move_text.h"
#include "position/position.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/search.h"
#include "search/search_core.h"
#include "search/tt.h"
#include "tests/data_files.h"
#include "tests/search_fixture.h"
#include "uci/options.h"

namespace orvex {
namespace {

class SearchTest : public testing::SearchFixture {
 protected:
  // Sets the position from a "position" text, as the interpreter stores it.
  static void set_position(const std::string& text) { handle_position_command(text.c_str()); }

  // Searches to a shown depth (iteration depth + 3) and returns the counted nodes.
  static u64 search_depth(const std::string& fen, int shown_depth) {
    set_position("position fen " + fen);
    reset_for_repeatable_search();
    search_limits.depth_limit = shown_depth + 3;
    search_root();
    return counted_nodes();
  }

  static std::string best_text() {
    char text[8];
    move_to_text(search_status.best_move, text);
    return text;
  }
};

// ---- mates ----

struct MateCase {
  const char* fen;
  const char* move;
  int moves;  // mate in this many moves
};

TEST_F(SearchTest, FindsMatesForBothSides) {
  const MateCase cases[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - -", "a1a8", 1},
      {"r5k1/8/8/8/8/8/5PPP/6K1 b - -", "a8a1", 1},
      {"r1bq2rk/pp3pbp/2p1p1pQ/7P/3P4/2PB1N2/PP3PPR/2KR4 w - -", "h6h7", 2},
      {"5k2/6pp/p1qN4/1p1p4/3P4/2PKP2Q/PP3r2/3R4 b - -", "c6c4", 2},
      {"r3q1kr/ppp5/3p2pQ/8/3PP1b1/5R2/PPP3P1/5RK1 w - -", "f3f8", 3},
      {"4r1k1/5bpp/2p5/3pr3/8/1B3pPq/PPR2P2/2R2QK1 b - -", "e5e1", 3},
  };
  for (const MateCase& c : cases) {
    SCOPED_TRACE(c.fen);
    search_depth(c.fen, 2 * c.moves + 1);
    EXPECT_EQ(best_text(), c.move);
    EXPECT_EQ(search_status.best_score, kMateScore - (2 * c.moves - 1));
    EXPECT_EQ(mate_moves(search_status.best_score), c.moves);
  }
}

// A mate found before iteration 6 does not end the search; from there on it
// does, unless the search is infinite.
TEST_F(SearchTest, MateScoresEndTheIterationsFromTheSixth) {
  search_depth("6k1/5ppp/8/8/8/8/8/R5K1 w - -", 20);
  EXPECT_EQ(search_status.last_iteration, 6);
  EXPECT_EQ(search_status.decisive_result, 1);
}

// A root with a single legal move is searched to iteration 8 only.
TEST_F(SearchTest, SingleMoveRootStopsAtIterationEight) {
  search_depth("k7/8/8/8/8/8/1q6/K7 w - -", 20);
  EXPECT_EQ(best_text(), "a1b2");
  EXPECT_EQ(search_status.last_iteration, 8);
}

// A root without a legal move is not searched: the move stays none.
TEST_F(SearchTest, MatedAndStalematedRootsHaveNoMove) {
  const char* fens[] = {
      "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq -",  // mated
      "k7/8/1Q6/8/8/8/8/7K b - -",                                  // stalemated
  };
  for (const char* fen : fens) {
    SCOPED_TRACE(fen);
    search_depth(fen, 10);
    EXPECT_EQ(search_status.best_move, 0u);
    // At most one root move: the search ends after iteration 8.
    EXPECT_EQ(search_status.last_iteration, 8);
  }
}

// Mate is preferred to the many moves that stalemate.
TEST_F(SearchTest, PrefersMateToStalemate) {
  search_depth("k7/2Q5/1K6/8/8/8/8/8 w - -", 3);
  EXPECT_EQ(search_status.best_score, kMateScore - 1);
}

// ---- draws ----

TEST_F(SearchTest, PerpetualCheckSavesALostPosition) {
  // White is a queen and a rook down but checks for ever: Qf6+ Kg8 Qg5+ Kh8.
  search_depth("5r1k/5p1p/8/8/8/5Q2/q4PPP/6K1 w - -", 6);
  EXPECT_EQ(best_text(), "f3f6");
  EXPECT_EQ(search_status.best_score, 0);
}

TEST_F(SearchTest, FiftyMoveRuleDrawsAWonEnding) {
  // One ply before the fifty-move limit: no mate in one, so every move draws.
  set_position("position fen 8/8/8/3k4/8/8/8/KQ6 w - - 99 80");
  current_position.state.fifty = 99;  // more plies than the kept key history
  reset_for_repeatable_search();
  search_limits.depth_limit = 5 + 3;
  search_root();
  EXPECT_EQ(search_status.best_score, 0);
  // The same position without the counter is a clear win.
  search_depth("8/8/8/3k4/8/8/8/KQ6 w - -", 5);
  EXPECT_GT(search_status.best_score, 500);
}

TEST_F(SearchTest, RepetitionTestStaysInsideTheKeptHistory) {
  // fifty far above the number of stored keys: the test looks only at keys
  // that exist.
  set_position("position fen 8/8/8/3k4/8/8/8/KQ6 w - -");
  current_position.state.fifty = 90;
  EXPECT_FALSE(is_repetition());
  set_position("position startpos moves g1f3 g8f6 f3g1 f6g8");
  EXPECT_TRUE(is_repetition());
  set_position("position startpos moves g1f3 g8f6 f3g1");
  EXPECT_FALSE(is_repetition());
}

// ---- table cuts ----

// A node in check cuts on a stored lower bound only when the bound is at
// least as deep as the node (a shallow bound in check is a poor guess: the
// WAC share falls by about a seventh when any depth is trusted).
TEST_F(SearchTest, InCheckNodesCutOnlyOnDeepEnoughLowerBounds) {
  set_position("position fen 4k3/8/8/8/8/8/4R3/4K3 b - -");  // Re2+, black a rook down
  reset_for_repeatable_search();
  PlyRecord* rec = &search_stack[0];
  ASSERT_TRUE(evaluate_with<GeneralEval>(*rec));
  tt_store_lower(0, 2, 1000, 0);
  EXPECT_LT(search_zero_window_in_check<GeneralConfig>(500, 10, rec, kNodeType), 500);
  tt_store_lower(0, 10, 1000, 0);
  EXPECT_EQ(search_zero_window_in_check<GeneralConfig>(500, 10, rec, kNodeType), 1000);
}

// Both node kinds read a stored bound alike, so that a bound a scout cuts on
// is one its full-window re-search uses too.  Mate-class bounds (depth with
// bit 7) count at every depth, and in a PV node below the root's children
// whatever Preserve Analysis says; other deep bounds only with Preserve
// Analysis on.  A mate this search stored is used as it is.  A mate stored
// by a search without mate distances (the workers' flat +-31000, or a mate
// they carried up without counting its plies) is no bound at all: it neither
// passes for a mate nor hides a real one; nor is a value no distance gives,
// whatever the flags say.  A search of depth 6 cannot see the stored mates
// of KRK itself.
TEST_F(SearchTest, BothNodeKindsReadStoredBoundsAlike) {
  constexpr const char* kRookUp = "position fen 8/8/8/4k3/8/8/8/R3K3 w - -";
  constexpr const char* kRookDown = "position fen 8/8/8/4k3/8/8/8/R3K3 b - -";
  constexpr const char* kMateInOne = "position fen 7k/8/6K1/8/8/8/8/Q7 w - -";   // Qa8#
  constexpr const char* kMatedInOne = "position fen 7k/8/6K1/8/8/8/8/Q7 b - -";  // Kg8 Qa8#
  constexpr i32 kSearched = 0;  // the bound is not used: the search's own score, not decisive
  struct Case {
    const char* position;
    bool lower;   // a lower bound, else an upper bound
    bool flat;    // stored by a search without mate distances
    i32 depth;    // of the stored bound
    i32 stored;
    bool preserve;
    i32 alpha, beta;  // of the PV node; the zero-window node asks for alpha + 1, as a later move's scout
    i32 expected;     // from both node kinds, or kSearched
    bool scout;       // whether the zero-window node is asked too
  };
  const Case cases[] = {
      {kRookUp, true, false, 10, 31990, false, -100, 100, 31990, true},           // a mate in 10 plies
      {kRookDown, false, false, 10, -31990, false, -100, 100, -31990, true},      // mated in 10 plies
      {kRookUp, true, true, 10, 31000, false, -100, 100, kSearched, true},        // the winner's flat mate
      {kRookDown, false, true, 10, -31000, false, -100, 100, kSearched, true},    // the loser's flat mate
      {kRookUp, true, true, 10, 31990, false, -100, 100, kSearched, true},        // a mate carried up flat
      {kMateInOne, false, true, 10, 31000, false, 31500, 32000, 31999, true},     // "at most a flat mate"
      {kMatedInOne, true, true, 10, -31000, false, -31501, -31000, -31998, true}, // "at least mated flat"
      {kRookUp, true, false, 10, 31000, false, -100, 100, kSearched, true},       // flat, its mark lost to a
      {kRookDown, false, false, 10, -31500, false, -100, 100, kSearched, true},   // store of another process
      {kRookUp, true, false, 40, 2000, false, -100, 100, kSearched, false},       // deep, not a mate
      {kRookUp, true, false, 40, 2000, true, -100, 100, 2000, true},
      {kRookDown, false, false, 40, -2000, false, -100, 100, kSearched, false},
      {kRookDown, false, false, 40, -2000, true, -100, 100, -2000, true},
      {kRookUp, true, true, 40, 2000, true, -100, 100, 2000, true},               // flat, but not a mate
  };
  for (const Case& c : cases) {
    for (const bool scout : {false, true}) {
      if (scout && !c.scout) continue;
      set_position(c.position);
      reset_for_repeatable_search();
      search_settings.preserve_analysis = c.preserve ? 1 : 0;
      PlyRecord* rec = &search_stack[0];
      evaluate_with<GeneralEval>(*rec);
      if (c.lower && c.flat)
        tt_store_lower<true, true, false>(0, c.depth, c.stored, 0);
      else if (c.lower)
        tt_store_lower(0, c.depth, c.stored, 0);
      else if (c.flat)
        tt_store_upper<true, true, false>(c.depth, c.stored, 0);
      else
        tt_store_upper(c.depth, c.stored, 0);
      const i32 score = scout ? search_zero_window<GeneralConfig>(c.alpha + 1, 6, rec, kNodeType)
                              : search_pv<GeneralConfig>(c.alpha, c.beta, 6, 0, rec);
      search_settings.preserve_analysis = 0;
      if (c.expected != kSearched)
        EXPECT_EQ(score, c.expected) << c.position << " " << c.stored << (scout ? " scout" : " pv");
      else
        EXPECT_LT(std::abs(score), 1500) << c.position << " " << c.stored << (scout ? " scout" : " pv");
    }
  }
}

// A stored mate is a claim about a position, not about the path to it: the
// defender may have a reply that repeats a position of the game.  Here the
// game has seen White Kd5, Qd4 against Kc2 (White to move) twice, and the
// table holds a short mate for the position after Qd4+; Kc2 would then draw
// by a third repetition.  The root must search the defender's replies and
// keep the win with another move.
TEST_F(SearchTest, StoredMateDoesNotHideARepetitionOfTheGame) {
  const std::string game =
      "position fen 3k4/8/8/8/8/8/3P4/3K4 w - - 0 1 moves d1e2 d8e8 e2d3 e8d7 d3e4 d7e6 d2d3 e6f7 e4d5 f7f6 d3d4 "
      "f6e7 d5c6 e7f6 d4d5 f6e5 d5d6 e5d4 d6d7 d4c3 d7d8q c3c2 d8d4 c2b3 c6d5 b3c2 d4f2 c2d3 f2d4 d3c2 d4a4 c2d2 "
      "a4e4 d2c3";
  set_position(game + " e4d4");
  reset_for_repeatable_search();
  tt_store_upper(40, mated_at(4), 0);  // mated within two moves after Qd4+
  set_position(game);
  search_limits.depth_limit = 4 + 3;
  search_root();
  EXPECT_NE(best_text(), "e4d4");
  EXPECT_GT(search_status.best_score, 1000);
}

// ---- abort ----

TEST_F(SearchTest, AbortRestoresTheStoredPosition) {
  const std::string text = "position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3 moves f1b5 a7a6";
  set_position(text);
  const u64 key = current_position.state.key;
  const u32 history = current_position.state.history_count;
  for (int round = 0; round < 2; ++round) {
    reset_for_repeatable_search();
    search_limits.hard_time_ms = 0;  // spent at the first node poll
    search_root();
    EXPECT_EQ(current_position.state.key, key);
    EXPECT_EQ(current_position.state.history_count, history);
    EXPECT_EQ(std::string(position_line), text);
    EXPECT_NE(search_status.best_move, 0u);
  }
}

TEST_F(SearchTest, StopRequestEndsTheSearchAfterTheIteration) {
  set_position("position startpos");
  reset_for_repeatable_search();
  search_status.stop_requested = 1;
  search_root();
  EXPECT_EQ(search_status.last_iteration, 1);
  EXPECT_NE(search_status.best_move, 0u);
}

// ---- root moves ----

TEST_F(SearchTest, SearchMovesRestrictTheRoot) {
  // Castling, en passant and an under-promotion are named like any move.
  const char* fen = "4k3/1P6/8/3pP3/8/8/8/4K2R w K d6";
  for (const char* move : {"e1g1", "e5d6", "b7b8n", "b7b8r", "h1h5"}) {
    SCOPED_TRACE(move);
    set_position(std::string("position fen ") + fen);
    reset_for_repeatable_search();
    search_limits.searchmoves[0] = parse_uci_move(move);
    search_limits.depth_limit = 4 + 3;
    search_root();
    EXPECT_EQ(best_text(), move);
  }
}

TEST_F(SearchTest, MultiPvKeepsTheBestLinesInOrder) {
  set_position("position startpos");
  reset_for_repeatable_search();
  search_settings.multipv = 3;
  search_limits.depth_limit = 6 + 3;
  search_root();
  search_settings.multipv = 1;
  ASSERT_EQ(multipv_count, 3u);
  EXPECT_GE(multipv_lines[0].score, multipv_lines[1].score);
  EXPECT_GE(multipv_lines[1].score, multipv_lines[2].score);
  EXPECT_NE(multipv_lines[0].move, multipv_lines[1].move);
  EXPECT_NE(multipv_lines[1].move, multipv_lines[2].move);
  EXPECT_EQ(multipv_lines[0].move, search_status.best_move);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(std::strncmp(multipv_lines[i].text, "depth 6 score cp ", 17), 0);
}

// ---- ply bound ----

TEST_F(SearchTest, NodesAtTheDeepestPlyReturnTheirEvaluation) {
  // White to move can win a queen; at the deepest ply the node does not look.
  set_position("position fen 4k3/8/8/3q4/8/8/3R4/4K3 w - -");
  reset_for_repeatable_search();
  PlyRecord* deep = &search_stack[kMaxSearchPly];
  PlyRecord* shallow = &search_stack[2];
  evaluate_with<GeneralEval>(*deep);
  evaluate_with<GeneralEval>(*shallow);
  EXPECT_EQ(qsearch<GeneralConfig>(-kMateScore, kMateScore, 0, deep), deep->static_eval);
  EXPECT_EQ(search_zero_window<GeneralConfig>(0, 8, deep, 0), deep->static_eval);
  EXPECT_EQ(search_pv<GeneralConfig>(-kMateScore, kMateScore, 8, 0, deep), deep->static_eval);
  EXPECT_GT(qsearch<GeneralConfig>(-kMateScore, kMateScore, 0, shallow), shallow->static_eval + 500);
}

// ---- line walk ----

TEST_F(SearchTest, LineWalkStopsAtUnplayableStoredMoves) {
  set_position("position fen 4k3/8/8/8/8/8/4R3/4K3 w - -");
  reset_for_repeatable_search();
  const u64 root_key = current_position.state.key;
  // Stored line e2a2 e8d8 a2d2 d8d7: the last move walks onto the rook's
  // file and is not playable, so the line ends before it.
  UndoRecord u;
  const SearchMove first = make_move_code(12, 8);  // e2a2
  make_move(first, u);
  tt_store_exact(static_cast<u16>(make_move_code(60, 59)), 10, 0);  // e8d8, playable
  UndoRecord u2;
  make_move(make_move_code(60, 59), u2);
  tt_store_exact(static_cast<u16>(make_move_code(8, 11)), 10, 0);  // a2d2, playable
  UndoRecord u3;
  make_move(make_move_code(8, 11), u3);
  tt_store_exact(static_cast<u16>(make_move_code(59, 51)), 10, 0);  // d8d7: onto the rook's file, illegal
  unmake_move(make_move_code(8, 11), u3);
  unmake_move(make_move_code(60, 59), u2);
  unmake_move(first, u);
  ASSERT_EQ(current_position.state.key, root_key);

  char text[256];
  walk_line<GeneralConfig>(first, 64, [](const TtEntry&) { return true; }, text, sizeof text);
  EXPECT_STREQ(text, "e2a2 e8d8 a2d2");
  EXPECT_EQ(current_position.state.key, root_key);
  // A depth condition the entries miss ends the line after the first move.
  walk_line<GeneralConfig>(first, 64, [](const TtEntry& e) { return e.move_depth >= 12; }, text, sizeof text);
  EXPECT_STREQ(text, "e2a2");
}

// ---- WAC ----

// Whether a SAN text ("Nxf7+", "exd5", "O-O", "e8=Q") names the move.
bool san_matches(const std::string& san_in, SearchMove m) {
  std::string san;
  for (char c : san_in)
    if (c != '+' && c != '#' && c != '!' && c != '?' && c != 'x' && c != '=') san += c;
  const Position& pos = current_position;
  const Square from = move_from(m), to = move_to(m);
  const PieceCode piece = pos.board[from];
  if (san == "O-O" || san == "0-0") return is_king(piece) && file_of(to) == 6 && file_of(from) == 4;
  if (san == "O-O-O" || san == "0-0-0") return is_king(piece) && file_of(to) == 2 && file_of(from) == 4;
  PieceType type = kPawn;
  std::size_t i = 0;
  if (!san.empty() && std::strchr("NBRQK", san[0])) {
    type = static_cast<PieceType>(std::strchr("PNBRQK", san[0]) - "PNBRQK");
    i = 1;
  }
  char promo = 0;
  if (!san.empty() && std::strchr("NBRQ", san.back()) && type == kPawn) {
    promo = san.back();
    san.pop_back();
  }
  if (san.size() < i + 2) return false;
  const std::string dest = san.substr(san.size() - 2);
  const std::string qual = san.substr(i, san.size() - 2 - i);
  if (type_of(piece) != type) return false;
  if (dest[0] - 'a' != static_cast<int>(file_of(to)) || dest[1] - '1' != static_cast<int>(rank_of(to))) return false;
  for (char c : qual) {
    if (c >= 'a' && c <= 'h' && c - 'a' != static_cast<int>(file_of(from))) return false;
    if (c >= '1' && c <= '8' && c - '1' != static_cast<int>(rank_of(from))) return false;
  }
  const u32 field = m & kMovePromoMask;
  const char move_promo = field == kMovePromoQueen ? 'Q' : field == kMovePromoRook ? 'R' : field == kMovePromoKnight ? 'N' : 0;
  return promo == move_promo;
}

TEST_F(SearchTest, SanMatcher) {
  set_position("position fen r3k2r/1P6/8/8/8/2N3N1/8/R3K2R w KQkq -");
  EXPECT_TRUE(san_matches("O-O", make_move_code(4, 6, kMoveCastle)));
  EXPECT_TRUE(san_matches("O-O-O", make_move_code(4, 2, kMoveCastle)));
  EXPECT_TRUE(san_matches("Nce4", make_move_code(18, 28)));
  EXPECT_FALSE(san_matches("Nge4", make_move_code(18, 28)));
  EXPECT_TRUE(san_matches("bxa8=Q+", make_move_code(49, 56, kMovePromoQueen)));
  EXPECT_FALSE(san_matches("bxa8=N", make_move_code(49, 56, kMovePromoQueen)));
  EXPECT_TRUE(san_matches("Rd1", make_move_code(0, 3)));
}

TEST_F(SearchTest, SolvesAShareOfWinAtChessSlow) {
#ifdef ORVEX_SANITIZED
  int count = 20;
#else
  int count = 100;
#endif
  int depth = 5;
  // WAC_COUNT and WAC_DEPTH widen the run for measurements by hand.
  if (const char* c = std::getenv("WAC_COUNT")) count = std::atoi(c);
  if (const char* d = std::getenv("WAC_DEPTH")) depth = std::atoi(d);
  std::ifstream in = testing::open_data_file("wac.epd");
  ASSERT_TRUE(in) << "tests/data/wac.epd is missing";
  std::string line;
  int tried = 0, solved = 0;
  while (tried < count && std::getline(in, line)) {
    const std::size_t bm = line.find(" bm ");
    if (bm == std::string::npos) continue;
    // FEN: the first four fields.
    std::istringstream fields(line);
    std::string f[4];
    for (std::string& s : f) fields >> s;
    const std::string fen = f[0] + " " + f[1] + " " + f[2] + " " + f[3];
    const std::string moves = line.substr(bm + 4, line.find(';', bm) - bm - 4);
    search_depth(fen, depth);
    ++tried;
    std::istringstream alts(moves);
    std::string san;
    bool ok = false;
    while (alts >> san) ok = ok || san_matches(san, search_status.best_move);
    solved += ok;
    if (!ok && std::getenv("WAC_VERBOSE")) std::printf("miss %s: %s got %s score %d\n", fen.c_str(), moves.c_str(), best_text().c_str(), search_status.best_score);
  }
  std::printf("WAC: %d of %d solved at depth %d\n", solved, tried, depth);
  EXPECT_GE(solved * 100, tried * 80);
}

// ---- determinism ----

TEST_F(SearchTest, NodeCountsRepeat) {
  const char* fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
  const u64 first = search_depth(fen, 6);
  // A search that ends normally leaves the root position as it found it.
  EXPECT_EQ(current_position.state.key, compute_zobrist_key(current_position));
  EXPECT_EQ(current_position.state.history_count, 0u);
  EXPECT_EQ(current_position.side_to_move, kWhite);
  const SearchMove move = search_status.best_move;
  const i32 score = search_status.best_score;
  const u64 second = search_depth(fen, 6);
  EXPECT_GT(first, 1000u);
  EXPECT_EQ(search_status.last_iteration, 6 + 3);  // "depth 6" ends after that iteration
  EXPECT_EQ(first, second);
  EXPECT_EQ(search_status.best_move, move);
  EXPECT_EQ(search_status.best_score, score);
}

}  // namespace
}  // namespace orvex
