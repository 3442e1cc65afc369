#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "position/fen.h"
#include "position/keys.h"
#include "tests/squares.h"

namespace orvex {
namespace {

using testing::sq;

// The derived fields always agree with a fresh computation, whatever the text.
void expect_consistent(const Position& p) {
  Position fresh = p;
  rebuild_position(fresh);
  EXPECT_EQ(fresh.state.key, p.state.key);
  EXPECT_EQ(p.state.key, compute_zobrist_key(p));
  EXPECT_EQ(p.colour_bb[0] | p.colour_bb[1], p.occupied);
  EXPECT_EQ(files_layout(p.occupied), p.occ_files);
  for (Square s = 0; s < 64; ++s) {
    EXPECT_LE(p.board[s], kBlackKing);
    EXPECT_NE(p.board[s], 1u);
  }
}

TEST(Fen, FieldsTable) {
  const struct {
    const char* fen;
    u32 castling;
    const char* ep;  // nullptr: none
    Colour side;
    int men;
  } cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 15, nullptr, kWhite, 32},
      {"rnbqkbnr/pppp1ppp/8/8/4Pp2/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3", 15, "e3", kBlack, 32},
      {"rnbqkbnr/pppp1ppp/8/5p2/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 2", 15, nullptr, kBlack, 32},
      // a6 with a black pawn on a5: h4 is not beside a5, so no target.
      {"4k3/8/8/p7/7P/8/8/4K3 w - a6 0 1", 0, nullptr, kWhite, 4},
      {"4k3/8/8/pP6/8/8/8/4K3 w - a6 0 1", 0, "a6", kWhite, 4},
      {"4k3/8/8/6Pp/8/8/8/4K3 w - h6 0 1", 0, "h6", kWhite, 4},
      {"4k3/8/8/7p/P7/8/8/4K3 w - h6 0 1", 0, nullptr, kWhite, 4},
      {"4k3/8/8/8/Pp6/8/8/4K3 b - a3 0 1", 0, "a3", kBlack, 4},
      // Target occupied, or the passed pawn missing: no target.
      {"4k3/8/3n4/3pP3/8/8/8/4K3 w - d6 0 1", 0, nullptr, kWhite, 5},
      {"4k3/8/8/4P3/8/8/8/4K3 w - d6 0 1", 0, nullptr, kWhite, 3},
      // Names no square of the board.
      {"4k3/8/8/3pP3/8/8/8/4K3 w - i6 0 1", 0, nullptr, kWhite, 4},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d9 0 1", 0, nullptr, kWhite, 4},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 37 80", 0, "d6", kWhite, 4},
      {"4k3/8/8/8/8/8/8/4K3 w Kq - 0 1", 9, nullptr, kWhite, 2},
      {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", 0, nullptr, kWhite, 2},
      {"4k3/8/8/8/8/8/8/4K3 x KQkq -", 15, nullptr, kWhite, 2},
      // Castling letters out of order: reading stops at the first mismatch.
      {"4k3/8/8/8/8/8/8/4K3 b kK -", 4, nullptr, kBlack, 2},
      {"4k3/8/8/8/8/8/8/4K3 b Kk -", 5, nullptr, kBlack, 2},
      // Text ending early: the missing fields are empty.
      {"4k3/8/8/8/8/8/8/4K3 b", 0, nullptr, kBlack, 2},
      {"4k3/8/8/8/8/8/8/4K3", 0, nullptr, kWhite, 2},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d", 0, nullptr, kWhite, 4},
      {"4k3/8/8/8/8/8/8/4K3 w KQ", 3, nullptr, kWhite, 2},
      {"rnbqkbnr/pppp", 0, nullptr, kWhite, 12},
      {"", 0, nullptr, kWhite, 0},
      // Ranks written with run lengths that fill or overshoot; '9' is one empty square.
      {"44/2p5/8/8/8/8/8/9K1 w - -", 0, nullptr, kWhite, 2},
      // Non-piece characters leave squares empty.
      {"xxxxxxxx/8/8/8/8/8/8/4K3 w - -", 0, nullptr, kWhite, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fen);
    parse_fen(c.fen);
    const Position& p = current_position;
    EXPECT_EQ(p.state.castling, c.castling);
    EXPECT_EQ(p.state.ep_square, c.ep ? sq(c.ep) : 0u);
    EXPECT_EQ(p.side_to_move, c.side);
    EXPECT_EQ(std::popcount(p.occupied), c.men);
    EXPECT_EQ(p.state.fifty, 0u);
    EXPECT_EQ(p.state.history_count, 0u);
    expect_consistent(p);
  }
}

TEST(Fen, RunLengthsFillExactlyEightFiles) {
  parse_fen("44/2p5/8/8/8/8/8/9K1 w - -");
  EXPECT_EQ(current_position.board[sq("c7")], kBlackPawn);
  EXPECT_EQ(current_position.board[sq("b1")], kWhiteKing);  // '9' counts as one square
  parse_fen("8/8/8/8/8/8/8/k6K9/ w - -");  // overshoot ends the rank
  EXPECT_EQ(current_position.board[sq("h1")], kWhiteKing);
  EXPECT_EQ(current_position.side_to_move, kWhite);
}

TEST(Fen, HighBytesAndNoKingsAreHarmless) {
  std::string fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
  for (char& ch : fen)
    if (ch == 'P') ch = static_cast<char>(0xD0);
  fen[0] = static_cast<char>(0xFF);
  parse_fen(fen.c_str());
  EXPECT_EQ(std::popcount(current_position.occupied), 23);
  EXPECT_EQ(current_position.board[sq("a8")], kNoPiece);
  expect_consistent(current_position);

  const std::string high(200, static_cast<char>(0x80));
  parse_fen(high.c_str());
  EXPECT_EQ(current_position.occupied, 0u);
  expect_consistent(current_position);

  parse_fen("KK6/8/8/8/8/8/8/8 w - -");
  EXPECT_EQ(std::popcount(current_position.piece_bb[kWhiteKing - 2]), 2);
}

TEST(Fen, ClearsPreviousRecord) {
  parse_fen(kStartFen);
  current_position.state.fifty = 12;
  current_position.state.history_count = 30;
  current_position.key_history[0] = 99;
  parse_fen("4k3/8/8/8/8/8/8/4K3 w - - 37 80");
  EXPECT_EQ(current_position.state.fifty, 0u);
  EXPECT_EQ(current_position.state.history_count, 0u);
  EXPECT_EQ(current_position.key_history[0], 0u);
}

}  // namespace
}  // namespace orvex
