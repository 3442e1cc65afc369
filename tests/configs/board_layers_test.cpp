// The board layers against the general functions on random legal positions of
// their material: the same captures (with keys), evasions and quiet moves in
// the same order, less the rook promotions the layers never write; the same
// answers of the legality tests for every 16-bit code, less the rook code
// 0x8000 the layers refuse; the same attack maps and exchange tests; make and
// unmake bit for bit as the general ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "configs/board_layers.h"
#include "tests/configs/layer_positions.h"
#include "tests/position/move_helpers.h"

namespace orvex {
namespace {

using testing::MaterialClass;

#ifdef ORVEX_SANITIZED
constexpr int kGames = 25;
constexpr int kCodeSweepEvery = 97;
constexpr int kRare = 0;  // few games: rare cases need not come up
#else
constexpr int kGames = 250;
constexpr int kCodeSweepEvery = 23;
constexpr int kRare = 6;
#endif
constexpr int kPlies = 60;

bool is_rook_promotion(SearchMove m) { return (m & kMovePromoMask) == kMovePromoRook; }
bool knight_check_promotion_missing(SearchMove m) {
  // A knight promotion that does not attack the enemy king (restricted rule).
  if ((m & kMovePromoMask) != kMovePromoKnight) return false;
  const Colour them = current_position.side_to_move ^ 1;
  return !(knight_attacks[move_to(m)] & current_position.piece_bb[2 * kKing + them]);
}

// Every field of two position records (padding aside).
bool same_position(const Position& a, const Position& b) {
  if (std::memcmp(a.board, b.board, sizeof a.board) || std::memcmp(a.colour_bb, b.colour_bb, sizeof a.colour_bb) ||
      std::memcmp(a.piece_bb, b.piece_bb, sizeof a.piece_bb))
    return false;
  if (a.occupied != b.occupied || a.occ_files != b.occ_files || a.occ_diag_a8h1 != b.occ_diag_a8h1 ||
      a.occ_diag_a1h8 != b.occ_diag_a1h8 || a.side_to_move != b.side_to_move)
    return false;
  const PositionState &s = a.state, &t = b.state;
  if (s.castling != t.castling || s.ep_square != t.ep_square || s.fifty != t.fifty ||
      s.history_count != t.history_count || s.pst_mg != t.pst_mg || s.pst_eg != t.pst_eg || s.key != t.key ||
      s.pawn_key != t.pawn_key || s.material_index != t.material_index || s.material_balance != t.material_balance)
    return false;
  for (u32 i = 0; i < s.history_count; ++i)
    if (a.key_history[i] != b.key_history[i]) return false;
  return true;
}
bool same_undo(const UndoRecord& a, const UndoRecord& b) {
  Position x{}, y{};
  x.state = a;
  y.state = b;
  return same_position(x, y) && a.captured == b.captured;
}

std::string fen_now() {
  std::string fen;
  for (int r = 7; r >= 0; --r) {
    for (int f = 0; f < 8; ++f) {
      const u32 code = current_position.board[8 * r + f];
      fen += code ? "PpNnBbRrQqKk"[code - 2] : '.';
    }
    if (r) fen += '/';
  }
  fen += current_position.side_to_move ? " b" : " w";
  fen += " ep " + std::to_string(current_position.state.ep_square);
  return fen;
}

struct Coverage {
  int positions = 0, in_check = 0, double_check = 0, en_passant = 0, promotions = 0, foreign_knights = 0;
  int code_sweeps = 0;
};

// Moves of an evasion list (first .. last) that keep the mover's king safe.
std::vector<SearchMove> legal_of(const std::vector<SearchMove>& moves) {
  std::vector<SearchMove> out;
  const Colour mover = current_position.side_to_move;
  for (SearchMove m : moves) {
    UndoRecord u;
    make_move(m, u);
    if (!king_attacked(mover)) out.push_back(m);
    unmake_move(m, u);
  }
  std::sort(out.begin(), out.end());
  return out;
}

// What `Layer` must do that differs from the general functions: which
// promotions it leaves out.
template <class Layer>
bool dropped(SearchMove m) {
  if constexpr (Layer::Board::promotions == PromotionRule::kQueenKnightIfCheck) {
    return is_rook_promotion(m) || knight_check_promotion_missing(m);
  } else {
    return is_rook_promotion(m);
  }
}

template <class Layer>
void compare_at_position(const MaterialClass& cls, Coverage& cov, std::mt19937& rng) {
  using B = typename Layer::Board;
  const Position& p = current_position;
  const Colour stm = p.side_to_move;
  SCOPED_TRACE(fen_now());
  ++cov.positions;
  if (p.state.ep_square) ++cov.en_passant;
  // A knight of a colour whose class has none: made by a promotion.
  for (Colour c = 0; c < 2; ++c) {
    const char* kinds = c == kWhite ? cls.white_kinds : cls.black_kinds;
    if (!std::strchr(kinds, 'N') && p.piece_bb[2 * kKnight + c]) ++cov.foreign_knights;
  }
  const u64 them_attacks = attack_set(stm ^ 1);

  // Captures: moves, keys, order.
  SearchMove general[kMaxMoves], layer[kMaxMoves];
  u32 general_keys[kMaxCaptures], layer_keys[kMaxCaptures];
  generate_captures(general, general_keys, p.colour_bb[kWhite], p.colour_bb[kBlack]);
  const u32 n = Layer::generate_captures(layer, layer_keys, p.colour_bb[kWhite], p.colour_bb[kBlack]);
  std::vector<std::pair<SearchMove, u32>> want, got;
  for (u32 i = 0; general[i]; ++i) {
    if (general[i] & kMovePromoMask) ++cov.promotions;
    if (!dropped<Layer>(general[i])) want.push_back({general[i], general_keys[i]});
  }
  for (u32 i = 0; layer[i]; ++i) got.push_back({layer[i], layer_keys[i]});
  EXPECT_EQ(got, want) << "captures";
  EXPECT_EQ(n, got.size());

  std::vector<SearchMove> all_general;
  for (u32 i = 0; general[i]; ++i) all_general.push_back(general[i]);

  const int checkers = testing::checkers_of(stm);
  if (checkers) {
    ++cov.in_check;
    if (checkers > 1) ++cov.double_check;
    EvasionList g[kMaxMoves / 2], l[kMaxMoves / 2];
    const EvasionList* g_last = generate_evasions(g, ~them_attacks);
    const EvasionList* l_last = Layer::generate_evasions(l, ~them_attacks);
    EXPECT_EQ(l_last[1].move, 0u);
    std::vector<SearchMove> gm, lm;
    for (const EvasionList* e = g; e <= g_last; ++e) {
      all_general.push_back(e->move);
      if (!dropped<Layer>(e->move)) gm.push_back(e->move);
    }
    for (const EvasionList* e = l; e <= l_last; ++e) lm.push_back(e->move);
    if (checkers > 1 && !B::double_check) {
      // The lowest checker alone: every general (king) move is there, in
      // order, and the legal moves are the same.
      std::vector<SearchMove> kept;
      for (SearchMove m : lm)
        if (std::find(gm.begin(), gm.end(), m) != gm.end()) kept.push_back(m);
      EXPECT_EQ(kept, gm) << "double-check evasions";
      EXPECT_EQ(legal_of(lm), legal_of(gm)) << "double-check evasions";
    } else {
      EXPECT_EQ(lm, gm) << "evasions";
    }
  } else {
    // Quiet moves under a random history, some generated moves left out.
    HistoryTable& h = Layer::history();
    for (u32& v : h) v = rng() % 4 ? 256 : rng() % 1000;
    SearchMove all[kMaxMoves];
    generate_quiet_moves(all, them_attacks, 0, 0, 0, 0, 0, kFlatHistory);
    u32 count = 0;
    while (all[count]) all_general.push_back(all[count++]);
    SearchMove skip[5] = {};
    for (SearchMove& s : skip)
      if (count && rng() % 2) s = all[rng() % count];
    generate_quiet_moves(general, them_attacks, skip[0], skip[1], skip[2], skip[3], skip[4], h);
    Layer::generate_quiet_moves(layer, them_attacks, skip[0], skip[1], skip[2], skip[3], skip[4]);
    EXPECT_EQ(testing::list_text(layer), testing::list_text(general)) << "quiet moves";
  }

  // Attack maps and in-check.
  PlyRecord a{}, b{};
  const bool check_general = compute_attacks(a);
  const bool check_layer = Layer::compute_attacks(b);
  EXPECT_EQ(check_layer, check_general);
  EXPECT_EQ(b.attacks_us, a.attacks_us);
  EXPECT_EQ(b.attacks_them, a.attacks_them);

  // Exchange tests of every move generated here.
  for (SearchMove m : all_general) EXPECT_EQ(Layer::is_see_safe(m), is_see_safe(m)) << testing::text(m);

  // Make and unmake: bit for bit as the general ones; a rook code is made as
  // the knight promotion by every configuration that never writes one.
  const Position before = p;
  for (SearchMove m : all_general) {
    SCOPED_TRACE(testing::text(m));
    const SearchMove as_general = is_rook_promotion(m) && !B::make_reads_rook_promotion ? m | kMovePromoQueen : m;
    UndoRecord ug, ul;
    make_move(as_general, ug);
    const Position after_general = current_position;
    unmake_move(as_general, ug);
    Layer::make_move(m, ul);
    EXPECT_TRUE(same_position(current_position, after_general));
    EXPECT_TRUE(same_undo(ul, ug));
    Layer::unmake_move(m, ul);
    EXPECT_TRUE(same_position(current_position, before));
    if constexpr (!B::castling) {
      // The one make move of the endings and mixed.
      make_move_ending(m, ul);
      EXPECT_TRUE(same_position(current_position, after_general));
      EXPECT_TRUE(same_undo(ul, ug));
      unmake_move_ending(m, ul);
      EXPECT_TRUE(same_position(current_position, before));
    }
  }

  // Legality tests: every 16-bit code on some positions, the generated moves
  // and a handful of random codes on the others.
  auto check_code = [&](SearchMove m) {
    EXPECT_EQ(Layer::is_valid_killer(m, them_attacks), is_valid_killer(m, them_attacks)) << testing::text(m);
    EXPECT_EQ(Layer::is_pseudo_legal(m), is_pseudo_legal(m) && !is_rook_promotion(m)) << testing::text(m);
  };
  if (cov.positions % kCodeSweepEvery == 0) {
    ++cov.code_sweeps;
    for (SearchMove m = 0; m < 0x10000; ++m) {
      const bool killer = Layer::is_valid_killer(m, them_attacks), general_killer = is_valid_killer(m, them_attacks);
      const bool hash = Layer::is_pseudo_legal(m), general_hash = is_pseudo_legal(m) && !is_rook_promotion(m);
      if (killer != general_killer || hash != general_hash) check_code(m);
    }
  } else {
    for (SearchMove m : all_general) check_code(m);
    for (int i = 0; i < 64; ++i) check_code(rng() & 0xFFFF);
  }
}

template <class Layer>
Coverage run_layer(const MaterialClass& cls, u32 seed, bool castling = false) {
  Coverage cov;
  std::mt19937 rng(seed * 7 + 1);
  testing::class_games(
      cls, seed, kGames, kPlies, [&] { compare_at_position<Layer>(cls, cov, rng); }, castling);
  return cov;
}

void expect_coverage(const Coverage& c, bool foreign_knights) {
  std::printf("positions %d in check %d double check %d en passant %d promotions %d foreign knights %d sweeps %d\n",
              c.positions, c.in_check, c.double_check, c.en_passant, c.promotions, c.foreign_knights,
              c.code_sweeps);
  EXPECT_GT(c.in_check, kGames / 2);
  EXPECT_GE(c.double_check, kRare);
  EXPECT_GE(c.en_passant, kRare);
  EXPECT_GT(c.promotions, kGames / 2);
  EXPECT_GE(c.code_sweeps, kRare);
  if (foreign_knights) {
    EXPECT_GE(c.foreign_knights, kRare);
  }
}

TEST(BoardLayers, PawnEnding) { expect_coverage(run_layer<PawnEndingLayer>(testing::kEndingClasses[0], 1), true); }
TEST(BoardLayers, QueenEnding) { expect_coverage(run_layer<QueenEndingLayer>(testing::kEndingClasses[0], 2), true); }
TEST(BoardLayers, BishopEnding) {
  expect_coverage(run_layer<BishopEndingLayer>(testing::kEndingClasses[1], 3), true);
}
TEST(BoardLayers, BishopVsKnightEnding) {
  expect_coverage(run_layer<BishopVsKnightEndingLayer>(testing::kEndingClasses[2], 4), true);
}
TEST(BoardLayers, KnightVsBishopEnding) {
  expect_coverage(run_layer<KnightVsBishopEndingLayer>(testing::kEndingClasses[3], 5), true);
}
TEST(BoardLayers, KnightEnding) {
  expect_coverage(run_layer<KnightEndingLayer>(testing::kEndingClasses[4], 6), false);
}
TEST(BoardLayers, RookEnding) { expect_coverage(run_layer<RookEndingLayer>(testing::kEndingClasses[5], 7), true); }
TEST(BoardLayers, RookBishopEnding) {
  expect_coverage(run_layer<RookBishopEndingLayer>(testing::kEndingClasses[6], 8), true);
}
TEST(BoardLayers, RookKnightEnding) {
  expect_coverage(run_layer<RookKnightEndingLayer>(testing::kEndingClasses[7], 9), false);
}
// The restricted promotions over the general board, with and without
// castling rights.
TEST(BoardLayers, CastlingRights) {
  expect_coverage(run_layer<CastlingRightsLayer>(testing::kAnyMaterial, 10, true), false);
}
TEST(BoardLayers, Mixed) { expect_coverage(run_layer<MixedLayer>(testing::kAnyMaterial, 11), false); }

}  // namespace
}  // namespace orvex
