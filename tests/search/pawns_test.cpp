#include <gtest/gtest.h>

#include <cstring>

#include "eval_test_util.h"
#include "search/pawns.h"

namespace orvex {
namespace {

using testing::set_fen;

PawnHashEntry entry_of(const std::string& fen) {
  set_fen(fen);
  PawnHashEntry e{};
  compute_pawn_entry(current_position.piece_bb[kWhitePawn - 2], current_position.piece_bb[kBlackPawn - 2], e);
  return e;
}

TEST(PawnStructure, HandComputedStructures) {
  struct Case {
    const char* name;
    const char* fen;
    i16 mg, eg;
    u8 passed_white, passed_black, scale_up, scale_down;
  };
  const Case cases[] = {
      {"no pawns", "4k3/8/8/8/8/8/8/4K3 w - -", 0, 0, 0, 0, 208, 208},
      {"start", kStartFen, 0, 0, 0, 0, 0, 0},
      {"lone e4", "4k3/8/8/8/4P3/8/8/4K3 w - -", -923, -324, 0x10, 0, 160, 208},
      // a2 and a3: doubled and isolated, only a3 on an open file.
      {"doubled isolated", "4k3/8/8/8/8/P7/P7/4K3 w - -", -923 - 79, -2 * 158 - 2 * 324, 0x01, 0, 160, 208},
      // d3 backward on an open file (e5 guards d4's advance), c4 passed; e5
      // isolated and open for black.
      {"backward", "4k3/8/8/4p3/2P5/3P4/8/4K3 w - -", -872 + 923, -297 + 324, 0x04, 0, 128, 160},
      // e5 a candidate (f4 supports it against d6), f4 passed; d6 isolated.
      {"candidate", "4k3/8/3p4/4P3/5P2/8/8/4K3 w - -", 1131 + 923, 501 + 324, 0x20, 0, 128, 160},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PawnHashEntry e = entry_of(c.fen);
    EXPECT_EQ(e.score_mg, c.mg);
    EXPECT_EQ(e.score_eg, c.eg);
    EXPECT_EQ(e.passed_white, c.passed_white);
    EXPECT_EQ(e.passed_black, c.passed_black);
    EXPECT_EQ(e.scale_up, c.scale_up);
    EXPECT_EQ(e.scale_down, c.scale_down);
  }
}

TEST(PawnStructure, ShelterAndStorm) {
  struct Case {
    const char* name;
    const char* fen;
    int index;
    u16 shelter;
  };
  const Case cases[] = {
      {"no pawns", "4k3/8/8/8/8/8/8/4K3 w - -", 0, 4484},
      {"no pawns, black", "4k3/8/8/8/8/8/8/4K3 w - -", 5, 4484},
      {"start, white d-f", kStartFen, 1, 794},
      {"start, black f-h", kStartFen, 5, 794},
      {"f3 g2 h2", "4k3/8/8/8/8/5P2/6PP/4K3 w - -", 2, 214},
      {"f3 g2 h2, d-f zone", "4k3/8/8/8/8/5P2/6PP/4K3 w - -", 1, 4484 - 907},
      {"storm on h3", "4k3/8/8/8/8/7p/5PPP/4K3 w - -", 2, 794 + 2334},
      {"pawns beyond the fifth rank unseen", "4k3/8/5PPP/8/8/8/8/4K3 w - -", 2, 4484},
      {"black f6 g7 h7", "4k3/6pp/5p2/8/8/8/8/4K3 w - -", 5, 214},
      {"black storm on a4 (rank 5 from black)", "4k3/ppp5/8/8/P7/8/8/4K3 w - -", 3, 794 + 310},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(entry_of(c.fen).shelter[c.index], c.shelter);
  }
  // Every pattern stays within the documented range.
  for (u32 p = 0; p < 4096; ++p) EXPECT_LE(shelter_own[p] + shelter_storm[p], 11486);
}

TEST(PawnHash, ColdAndWarmLookupsAgree) {
  clear_pawn_hash();
  set_fen("r1bqkb1r/pp3ppp/2n1pn2/2pp4/3P4/2PBPN2/PP3PPP/RNBQK2R w KQkq -");
  PawnHashEntry cold = *evaluate_pawn_structure();
  PawnHashEntry warm = *evaluate_pawn_structure();
  EXPECT_EQ(std::memcmp(&cold, &warm, sizeof cold), 0);
  EXPECT_EQ(cold.key_high, static_cast<u32>(current_position.state.pawn_key >> 32));
  PawnHashEntry direct{};
  compute_pawn_entry(current_position.piece_bb[0], current_position.piece_bb[1], direct);
  direct.key_high = cold.key_high;
  EXPECT_EQ(std::memcmp(&cold, &direct, sizeof cold), 0);
}

TEST(PawnHash, StructuresSharingASlotAlternate) {
  clear_pawn_hash();
  set_fen("4k3/pp6/8/8/8/8/5PPP/4K3 w - -");
  const u64 first_pawns[2] = {current_position.piece_bb[0], current_position.piece_bb[1]};
  const u64 first_key = current_position.state.pawn_key;
  const u64 second_key = first_key ^ (u64{0x5A5A} << 40);  // same slot, other upper half
  const u64 second_pawns[2] = {0x0000000010000000ull, 0x0008000000000000ull};  // e4 against d7
  PawnHashEntry want[2];
  compute_pawn_entry(first_pawns[0], first_pawns[1], want[0]);
  compute_pawn_entry(second_pawns[0], second_pawns[1], want[1]);
  for (int round = 0; round < 4; ++round) {
    const int which = round % 2;
    current_position.state.pawn_key = which ? second_key : first_key;
    current_position.piece_bb[0] = which ? second_pawns[0] : first_pawns[0];
    current_position.piece_bb[1] = which ? second_pawns[1] : first_pawns[1];
    const PawnHashEntry* e = evaluate_pawn_structure();
    EXPECT_EQ(e, pawn_hash_slot(first_key));
    EXPECT_EQ(e->key_high, static_cast<u32>(current_position.state.pawn_key >> 32));
    EXPECT_EQ(e->score_mg, want[which].score_mg);
    EXPECT_EQ(e->score_eg, want[which].score_eg);
    EXPECT_EQ(e->passed_white, want[which].passed_white);
    EXPECT_EQ(e->passed_black, want[which].passed_black);
    EXPECT_EQ(std::memcmp(e->shelter, want[which].shelter, sizeof e->shelter), 0);
  }
}

TEST(PawnHash, ClearForgetsEntries) {
  set_fen(kStartFen);
  const PawnHashEntry* e = evaluate_pawn_structure();
  ASSERT_NE(e->key_high, 0u);
  clear_pawn_hash();
  EXPECT_EQ(pawn_hash_slot(current_position.state.pawn_key)->key_high, 0u);
}

TEST(PawnStructure, ImpossiblePawnSetsStayInBounds) {
  // Pawns on the first and last ranks, nine and more pawns a side, full board.
  const u64 sets[][2] = {
      {0xFFull, 0xFFull << 56},
      {0xFFull << 56, 0xFFull},
      {0x0000FFFFFFFF0000ull, 0x0000FFFF00000000ull},
      {~0ull, ~0ull},
      {0x00FF00000000FF01ull, 0},
  };
  for (const auto& s : sets) {
    PawnHashEntry e{};
    compute_pawn_entry(s[0], s[1], e);
    for (u16 v : e.shelter) EXPECT_LE(v, 11486);
    EXPECT_LE(e.scale_up, 208);
  }
}

}  // namespace
}  // namespace orvex
