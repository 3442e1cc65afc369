#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <set>

#include "position/fen.h"
#include "position/keys.h"
#include "tests/squares.h"

namespace orvex {
namespace {

using testing::sq;

TEST(Keys, DistinctNonZeroAndLinear) {
  std::set<u64> seen;
  for (const auto& row : piece_keys)
    for (u64 k : row) seen.insert(k);
  for (u32 i = 1; i < 16; ++i) seen.insert(castle_keys[i]);
  for (u64 k : ep_keys) seen.insert(k);
  EXPECT_EQ(seen.size(), 768u + 15u + 8u);
  EXPECT_EQ(seen.count(0), 0u);
  EXPECT_EQ(seen.count(kSideKey), 0u);
  EXPECT_EQ(castle_keys[0], 0u);
  for (u32 a = 0; a < 16; ++a)
    for (u32 b = 0; b < 16; ++b) EXPECT_EQ(castle_keys[a ^ b], castle_keys[a] ^ castle_keys[b]);
  EXPECT_EQ(castle_keys[15], castle_keys[1] ^ castle_keys[2] ^ castle_keys[4] ^ castle_keys[8]);
  EXPECT_EQ(piece_keys[kWhitePawn - 2][0], kPawnKeySeed);
}

TEST(PieceSquareTable, TellingEntries) {
  const struct {
    PieceCode code;
    const char* square;
    i16 mg, eg;
  } cases[] = {
      {kWhiteKnight, "e4", 1052, 112}, {kWhiteKnight, "a8", -5618, -448}, {kWhiteBishop, "a1", -755, -294},
      {kWhiteBishop, "d4", 672, 98},   {kWhiteQueen, "d1", -397, -216},   {kWhiteKing, "g1", 1876, -1604},
      {kWhitePawn, "e5", 255, -97},    {kBlackPawn, "e4", -255, 97},      {kWhiteRook, "b7", -104, 0},
      {kBlackKnight, "h1", 5618, 448},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(piece_square_table[c.code - 2][sq(c.square)].mg, c.mg) << c.code << c.square;
    EXPECT_EQ(piece_square_table[c.code - 2][sq(c.square)].eg, c.eg) << c.code << c.square;
  }
  for (u32 t = 0; t < 6; ++t)
    for (Square s = 0; s < 64; ++s) {
      EXPECT_EQ(piece_square_table[2 * t + 1][s].mg, -piece_square_table[2 * t][s ^ 56].mg);
      EXPECT_EQ(piece_square_table[2 * t + 1][s].eg, -piece_square_table[2 * t][s ^ 56].eg);
    }
}

TEST(Material, StartPositionAndCarries) {
  parse_fen(kStartFen);
  EXPECT_EQ(current_position.state.material_index, 236195u);
  EXPECT_EQ(current_position.state.material_balance, 0);
  EXPECT_EQ(current_position.state.pst_mg, 0);
  EXPECT_EQ(current_position.state.pst_eg, 0);

  parse_fen("4k3/8/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(current_position.state.material_index, 0u);
  EXPECT_EQ(current_position.state.material_balance, 0);
  EXPECT_EQ(current_position.state.pst_mg,
            piece_square_table[kWhiteKing - 2][sq("e1")].mg + piece_square_table[kBlackKing - 2][sq("e8")].mg);

  parse_fen("4k3/8/8/8/8/8/8/QQQ1K3 w - -");
  EXPECT_EQ(current_position.state.material_index, 3u);
  EXPECT_EQ(current_position.state.material_balance, 30);
  parse_fen("3qk3/8/8/8/8/8/8/Q3K3 w - -");
  EXPECT_EQ(current_position.state.material_index, 3u);
  EXPECT_EQ(current_position.state.material_balance, 0);

  parse_fen("r3k3/1p6/8/8/8/8/8/2B1KN2 b - -");
  EXPECT_EQ(current_position.state.material_index, 26244u + 12 + 36 + 324);
  EXPECT_EQ(current_position.state.material_balance, 3 + 3 - 5 - 1);
}

TEST(Keys, SideAndEnPassantDifferences) {
  const char* fen = "rnbqkbnr/pppp1ppp/8/8/4Pp2/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3";
  parse_fen(fen);
  const Position with_ep = current_position;
  ASSERT_EQ(with_ep.state.ep_square, sq("e3"));
  EXPECT_EQ(with_ep.state.key, compute_zobrist_key(with_ep));
  Position p = with_ep;
  p.state.ep_square = 0;
  EXPECT_EQ(compute_zobrist_key(p) ^ with_ep.state.key, ep_keys[4]);
  p.side_to_move = kWhite;
  EXPECT_EQ(compute_zobrist_key(p) ^ with_ep.state.key, ep_keys[4] ^ kSideKey);
}

TEST(RebuildPosition, StartPositionFields) {
  parse_fen(kStartFen);
  const Position& p = current_position;
  EXPECT_EQ(p.occupied, 0xFFFF00000000FFFFull);
  EXPECT_EQ(p.colour_bb[0], 0xFFFFull);
  EXPECT_EQ(p.colour_bb[1], 0xFFFF000000000000ull);
  EXPECT_EQ(p.state.castling, 15u);
  EXPECT_EQ(p.state.ep_square, 0u);
  EXPECT_EQ(p.state.fifty, 0u);
  EXPECT_EQ(p.state.history_count, 0u);
  EXPECT_EQ(p.side_to_move, kWhite);
  EXPECT_EQ(p.state.key, compute_zobrist_key(p));
  EXPECT_EQ(p.state.pawn_key, compute_pawn_key(p));
  EXPECT_EQ(files_layout(p.occupied), p.occ_files);
  EXPECT_EQ(diag_a8h1_layout(p.occupied), p.occ_diag_a8h1);
  EXPECT_EQ(diag_a1h8_layout(p.occupied), p.occ_diag_a1h8);
  EXPECT_EQ(p.piece_bb[kWhiteKing - 2], bit(sq("e1")));
  EXPECT_EQ(p.piece_bb[kBlackPawn - 2], 0x00FF000000000000ull);
}

TEST(RebuildPosition, SingleKingLayouts) {
  parse_fen("8/8/8/8/8/8/8/K7 w - -");
  EXPECT_EQ(current_position.occ_files, bit(7));
  EXPECT_EQ(current_position.occ_diag_a8h1, bit(0));
  EXPECT_EQ(current_position.occ_diag_a1h8, bit(28));
  parse_fen("7K/8/8/8/8/8/8/8 w - -");
  EXPECT_EQ(current_position.occ_files, bit(56));
  EXPECT_EQ(current_position.occ_diag_a8h1, bit(63));
  EXPECT_EQ(current_position.occ_diag_a1h8, bit(35));
}

TEST(RebuildPosition, IgnoresRubbishAndKeepsHistory) {
  parse_fen("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4");
  const Position clean = current_position;
  Position dirty = clean;
  std::memset(dirty.colour_bb, 0xA5, sizeof dirty.colour_bb);
  std::memset(dirty.piece_bb, 0x5A, sizeof dirty.piece_bb);
  dirty.occupied = dirty.occ_files = dirty.occ_diag_a1h8 = dirty.occ_diag_a8h1 = 0x123456789;
  dirty.state.key = dirty.state.pawn_key = 77;
  dirty.state.pst_mg = dirty.state.pst_eg = -5;
  dirty.state.material_index = 9;
  dirty.state.material_balance = 3;
  dirty.state.captured = kBlackRook;
  dirty.state.fifty = 7;
  dirty.state.history_count = 9;
  dirty.key_history[3] = 0xDEAD;
  rebuild_position(dirty);
  EXPECT_EQ(dirty.state.captured, kBlackRook);
  EXPECT_EQ(dirty.state.fifty, 7u);
  EXPECT_EQ(dirty.state.history_count, 9u);
  EXPECT_EQ(dirty.key_history[3], 0xDEADu);
  dirty.state.captured = clean.state.captured;
  dirty.state.fifty = clean.state.fifty;
  dirty.state.history_count = clean.state.history_count;
  dirty.key_history[3] = clean.key_history[3];
  EXPECT_EQ(std::memcmp(&dirty, &clean, sizeof dirty), 0);
}

}  // namespace
}  // namespace orvex
