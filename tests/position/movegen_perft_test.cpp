// Move generation, make/unmake, the legality tests and the picker proved by
// perft: against the reference generator (which is itself checked against the
// published numbers), with the record checked after every make and unmake.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "position/fen.h"
#include "position/legality.h"
#include "position/move_picker.h"
#include "position/perft.h"
#include "tests/position/move_helpers.h"
#include "tests/position/perft_cases.h"
#include "tests/position/reference_board.h"

namespace orvex {
namespace {

using testing::kPerftNodeBudget;

using TestRecord = testing::PickerRecord;

// The record fields that make/unmake must restore exactly.
::testing::AssertionResult same_record(const Position& a, const Position& b) {
  if (std::memcmp(a.board, b.board, sizeof a.board)) return ::testing::AssertionFailure() << "board";
  if (std::memcmp(a.colour_bb, b.colour_bb, sizeof a.colour_bb)) return ::testing::AssertionFailure() << "colour_bb";
  if (std::memcmp(a.piece_bb, b.piece_bb, sizeof a.piece_bb)) return ::testing::AssertionFailure() << "piece_bb";
  if (a.occupied != b.occupied || a.occ_files != b.occ_files || a.occ_diag_a8h1 != b.occ_diag_a8h1 ||
      a.occ_diag_a1h8 != b.occ_diag_a1h8)
    return ::testing::AssertionFailure() << "occupancies";
  if (a.side_to_move != b.side_to_move) return ::testing::AssertionFailure() << "side";
  // The live block's `captured` has no meaning (unmake copies the undo record
  // back whole, its `captured` included); everything else must match.
  PositionState sa = a.state, sb = b.state;
  sa.captured = sb.captured = 0;
  if (std::memcmp(&sa, &sb, sizeof sa)) return ::testing::AssertionFailure() << "state block";
  if (std::memcmp(a.key_history, b.key_history, a.state.history_count * sizeof(u64)))
    return ::testing::AssertionFailure() << "key history";
  return ::testing::AssertionSuccess();
}

// After a make: every derived field equals a rebuilt copy.
::testing::AssertionResult derived_fields_exact() {
  static Position copy;
  copy = current_position;
  rebuild_position(copy);
  const Position& p = current_position;
  if (std::memcmp(p.colour_bb, copy.colour_bb, sizeof p.colour_bb) ||
      std::memcmp(p.piece_bb, copy.piece_bb, sizeof p.piece_bb) || p.occupied != copy.occupied ||
      p.occ_files != copy.occ_files || p.occ_diag_a8h1 != copy.occ_diag_a8h1 || p.occ_diag_a1h8 != copy.occ_diag_a1h8)
    return ::testing::AssertionFailure() << "bitboards";
  if (p.state.key != copy.state.key) return ::testing::AssertionFailure() << "key";
  if (p.state.pawn_key != copy.state.pawn_key) return ::testing::AssertionFailure() << "pawn key";
  if (p.state.pst_mg != copy.state.pst_mg || p.state.pst_eg != copy.state.pst_eg)
    return ::testing::AssertionFailure() << "piece-square sums";
  if (p.state.material_index != copy.state.material_index ||
      p.state.material_balance != copy.state.material_balance)
    return ::testing::AssertionFailure() << "material";
  return ::testing::AssertionSuccess();
}

// Legal moves of current_position through the engine.
std::vector<u32> engine_legal_moves() {
  SearchMove moves[kMaxMoves];
  generate_all_moves(moves);
  std::vector<u32> legal;
  const Colour mover = current_position.side_to_move;
  for (const SearchMove* m = moves; *m; ++m) {
    UndoRecord u;
    make_move(*m, u);
    if (!king_attacked(mover)) legal.push_back(*m);
    unmake_move(*m, u);
  }
  return legal;
}

std::string describe(std::vector<u32> moves) {
  std::sort(moves.begin(), moves.end());
  std::ostringstream out;
  for (u32 m : moves) out << reference::move_text(m) << ' ';
  return out.str();
}

// Root moves with their subtree counts, for a breakdown when the totals differ.
std::map<std::string, u64> engine_divide(int depth) {
  std::map<std::string, u64> out;
  for (u32 m : engine_legal_moves()) {
    UndoRecord u;
    make_move(m, u);
    out[reference::move_text(m)] = perft(depth - 1);
    unmake_move(m, u);
  }
  return out;
}

std::map<std::string, u64> reference_divide(const reference::Board& b, int depth) {
  std::map<std::string, u64> out;
  for (u32 m : reference::legal_moves(b, false))
    out[reference::move_text(m)] = reference::perft(reference::play(b, m), depth - 1, false);
  return out;
}

std::string breakdown(const std::map<std::string, u64>& engine, const std::map<std::string, u64>& ref) {
  std::ostringstream out;
  std::set<std::string> keys;
  for (auto& [k, v] : engine) keys.insert(k);
  for (auto& [k, v] : ref) keys.insert(k);
  for (const auto& k : keys) {
    auto e = engine.find(k), r = ref.find(k);
    u64 ev = e == engine.end() ? 0 : e->second, rv = r == ref.end() ? 0 : r->second;
    if (ev != rv || e == engine.end() || r == ref.end())
      out << k << ": engine " << (e == engine.end() ? std::string("missing") : std::to_string(ev)) << ", reference "
          << (r == ref.end() ? std::string("missing") : std::to_string(rv)) << "\n";
  }
  return out.str();
}

TEST(MovegenPerft, EngineEqualsReferenceWithoutBishopPromotions) {
  for (const auto& c : testing::load_perft_cases()) {
    reference::Board b = reference::board_from_fen(c.fen);
    for (int d = 1; d <= int(c.counts.size()) && c.counts[d - 1] <= kPerftNodeBudget; ++d) {
      parse_fen(c.fen.c_str());
      const u64 expected = reference::perft(b, d, false);
      const u64 got = perft(d);
      EXPECT_EQ(got, expected) << c.name << " depth " << d << "\n"
                               << (got == expected ? "" : breakdown(engine_divide(d), reference_divide(b, d)));
    }
  }
}

// Perft that checks, at every node: generated moves pass is_pseudo_legal,
// captures and quiet moves do not overlap, quiet checks give check (apart from
// a blocking pawn's capture along the line it blocks) and never capture, the
// picker hands out each pseudo-legal move exactly once whatever hash move and
// killers it is given, foreign and random move codes that pass the tests make
// and unmake cleanly, and after every make the derived fields equal a rebuild
// and after every unmake the record equals the saved copy.
class CheckedPerft {
 public:
  explicit CheckedPerft(u32 seed) : rng_(seed) {}

  u64 run(int depth) {
    if (depth == 0) return 1;
    const Position saved = current_position;
    const Colour mover = current_position.side_to_move;
    SearchMove moves[kMaxMoves];
    const u32 n = generate_all_moves(moves);
    std::vector<u32> generated(moves, moves + n);
    check_generators(generated);
    check_foreign_moves(generated);
    std::vector<u32> picked = check_picker(generated);

    u64 nodes = 0;
    for (u32 m : picked) {
      UndoRecord u;
      make_move(m, u);
      EXPECT_TRUE(derived_fields_exact()) << reference::move_text(m);
      if (!king_attacked(mover)) nodes += run(depth - 1);
      unmake_move(m, u);
      EXPECT_TRUE(same_record(current_position, saved)) << reference::move_text(m);
    }
    for (u32 m : generated) foreign_.push_back(m);
    if (foreign_.size() > 4096) foreign_.erase(foreign_.begin(), foreign_.begin() + 2048);
    return nodes;
  }

  u32 failures() const { return failures_; }

 private:
  void check_generators(const std::vector<u32>& generated) {
    const Position& p = current_position;
    for (u32 m : generated) {
      EXPECT_TRUE(is_pseudo_legal(m)) << reference::move_text(m);
    }
    if (king_attacked(p.side_to_move)) return;
    SearchMove caps[kMaxMoves], quiets[kMaxMoves], checks[kMaxMoves];
    u32 keys[kMaxCaptures];
    generate_captures(caps, keys, p.colour_bb[kWhite], p.colour_bb[kBlack]);
    generate_quiet_moves(quiets, attack_set(p.side_to_move ^ 1), 0, 0, 0, 0, 0, kFlatHistory);
    std::set<u32> cap_set;
    for (SearchMove* m = caps; *m; ++m) cap_set.insert(*m);
    for (SearchMove* m = quiets; *m; ++m) {
      EXPECT_FALSE(cap_set.count(*m)) << "in both lists: " << reference::move_text(*m);
      EXPECT_EQ(p.board[move_to(*m)], 0u) << reference::move_text(*m);
    }
    generate_quiet_checks(checks, ~p.colour_bb[kWhite], ~p.colour_bb[kBlack]);
    const Position saved = current_position;
    for (SearchMove* m = checks; *m; ++m) {
      EXPECT_EQ(p.board[move_to(*m)], 0u) << "quiet check captures: " << reference::move_text(*m);
      EXPECT_TRUE(is_pseudo_legal(*m)) << reference::move_text(*m);
      const bool pawn_capture = is_pawn(p.board[move_from(*m)]) && (move_from(*m) ^ move_to(*m)) != 8 &&
                                (move_from(*m) ^ move_to(*m)) != 16;
      UndoRecord u;
      const Colour mover = p.side_to_move;
      make_move(*m, u);
      if (!pawn_capture) {
        EXPECT_TRUE(king_attacked(mover ^ 1)) << "no check: " << reference::move_text(*m);
      }
      unmake_move(*m, u);
    }
    EXPECT_TRUE(same_record(current_position, saved));
  }

  // Moves from other positions and random codes: whatever the tests accept
  // belongs to the position's own moves and makes and unmakes cleanly.
  void check_foreign_moves(const std::vector<u32>& generated) {
    const Position& p = current_position;
    const bool in_check = king_attacked(p.side_to_move);
    std::set<u32> own_moves, quiet_moves;
    if (!in_check) {
      SearchMove caps[kMaxMoves], quiets[kMaxMoves];
      u32 keys[kMaxCaptures];
      generate_captures(caps, keys, p.colour_bb[kWhite], p.colour_bb[kBlack]);
      generate_quiet_moves(quiets, 0, 0, 0, 0, 0, 0, kFlatHistory);  // castling without the attack test
      for (SearchMove* m = caps; *m; ++m) own_moves.insert(*m);
      for (SearchMove* m = quiets; *m; ++m) own_moves.insert(*m), quiet_moves.insert(*m);
    }
    const u64 attacks_them = attack_set(p.side_to_move ^ 1);
    for (int i = 0; i < 24; ++i) {
      u32 m = (i & 1) || foreign_.empty() ? u32(rng_() & 0xFFFF) : foreign_[rng_() % foreign_.size()];
      const bool pseudo = is_pseudo_legal(m), killer = is_valid_killer(m, attacks_them);
      EXPECT_TRUE(in_check || !pseudo || own_moves.count(m)) << "accepted foreign move " << std::hex << m;
      EXPECT_TRUE(in_check || !killer || quiet_moves.count(m)) << "accepted foreign killer " << std::hex << m;
      EXPECT_TRUE(!killer || pseudo) << std::hex << m;
      if (pseudo || killer) {  // make and unmake it
        const Position saved = current_position;
        UndoRecord u;
        make_move(m, u);
        EXPECT_TRUE(derived_fields_exact()) << std::hex << m;
        unmake_move(m, u);
        EXPECT_TRUE(same_record(current_position, saved)) << std::hex << m;
      }
    }
  }

  // The picker, given a hash move and killers (some of this position, some
  // foreign), hands out exactly the generated moves, each once.
  std::vector<u32> check_picker(const std::vector<u32>& generated) {
    const Position& p = current_position;
    MovePicker picker;
    TestRecord rec;
    rec.attacks_them = attack_set(p.side_to_move ^ 1);
    auto pick_some = [&]() -> u32 {
      switch (rng_() % 4) {
        case 0: return 0;
        case 1: return generated.empty() ? 0 : generated[rng_() % generated.size()];
        case 2: return foreign_.empty() ? 0 : foreign_[rng_() % foreign_.size()];
        default: return u32(rng_() & 0xFFFF);
      }
    };
    std::vector<u32> out;
    if (king_attacked(p.side_to_move)) {
      const MovePair* last = generate_evasions(picker.evasions, ~u64{0});
      for (MovePair* e = picker.evasions; e <= last; ++e) e->key = 0;
      start_evasion_picker(picker);
    } else {
      start_picker(picker, pick_some());
      // Killers are distinct, as the killer update keeps them.
      for (int i = 0; i < 4; ++i) {
        rec.killers[i] = pick_some();
        for (int j = 0; j < i; ++j)
          if (rec.killers[j] == rec.killers[i]) rec.killers[i] = 0;
      }
    }
    const u64 attacks_them_real = rec.attacks_them;
    while (SearchMove m = next_move(picker, rec, kFlatHistory)) out.push_back(m);
    EXPECT_EQ(rec.attacks_them, attacks_them_real);
    // Every picked move is pseudo-legal; every generated move comes once; the
    // extra moves (castling through an attacked king target, killers of other
    // positions that are pseudo-legal here) never repeat and never are the
    // same move twice.
    std::multiset<u32> picked(out.begin(), out.end());
    for (u32 m : generated) {
      if (picked.count(m) != 1) {
        ++failures_;
        ADD_FAILURE() << "picker gave " << reference::move_text(m) << " " << picked.count(m) << " times";
      }
    }
    std::set<u32> unique(out.begin(), out.end());
    EXPECT_EQ(unique.size(), out.size());
    std::set<u32> gen_set(generated.begin(), generated.end());
    std::vector<u32> legal_extra;
    for (u32 m : out) {
      EXPECT_TRUE(is_pseudo_legal(m)) << reference::move_text(m);
      if (!gen_set.count(m)) legal_extra.push_back(m);
    }
    // Extra moves can only be killers or the hash move that are not generated
    // here (a quiet move the generators skip because the king would pass an
    // attacked square, and so on); count only generated ones for perft.
    std::vector<u32> result;
    for (u32 m : out)
      if (gen_set.count(m)) result.push_back(m);
    return result;
  }

  std::mt19937 rng_;
  std::vector<u32> foreign_;
  u32 failures_ = 0;
};

TEST(MovegenPerft, CheckedPerftKeepsTheRecordExact) {
  for (const auto& c : testing::load_perft_cases()) {
    for (int d = 1; d <= int(c.counts.size()) && c.counts[d - 1] <= kPerftNodeBudget / 20; ++d) {
      parse_fen(c.fen.c_str());
      CheckedPerft checked(1234 + d);
      reference::Board b = reference::board_from_fen(c.fen);
      EXPECT_EQ(checked.run(d), reference::perft(b, d, false)) << c.name << " depth " << d;
      if (::testing::Test::HasFailure()) return;
    }
  }
}

// Random games from each standard position: the engine's legal moves equal the
// reference's (without bishop promotions) position by position.
TEST(MovegenPerft, RandomPlayoutsMatchReferenceMoveSets) {
#ifdef ORVEX_SANITIZED
  const int games = 4;
#else
  const int games = 60;
#endif
  std::mt19937 rng(99);
  for (const auto& c : testing::load_perft_cases()) {
    for (int g = 0; g < games; ++g) {
      parse_fen(c.fen.c_str());
      reference::Board b = reference::board_from_fen(c.fen);
      for (int ply = 0; ply < 300; ++ply) {
        std::vector<u32> engine = engine_legal_moves(), ref = reference::legal_moves(b, false);
        std::sort(engine.begin(), engine.end());
        std::sort(ref.begin(), ref.end());
        ASSERT_EQ(describe(engine), describe(ref)) << c.name << " game " << g << " ply " << ply;
        if (engine.empty() || current_position.state.history_count >= kKeyHistorySize - 1) break;
        u32 m = engine[rng() % engine.size()];
        UndoRecord u;
        make_move(m, u);
        b = reference::play(b, m);
      }
    }
  }
}

TEST(MovegenPerft, PerftThroughThePickerEqualsPerftThroughTheGenerators) {
  struct Walk {
    static u64 run(int depth, std::mt19937& rng) {
      if (depth == 0) return 1;
      const Colour mover = current_position.side_to_move;
      MovePicker picker;
      TestRecord rec;
      rec.attacks_them = attack_set(mover ^ 1);
      std::vector<u32> own;
      {
        SearchMove moves[kMaxMoves];
        generate_all_moves(moves);
        for (SearchMove* m = moves; *m; ++m) own.push_back(*m);
      }
      const bool in_check = king_attacked(mover);
      if (in_check) {
        const MovePair* last = generate_evasions(picker.evasions, ~rec.attacks_them);
        for (MovePair* e = picker.evasions; e <= last; ++e) e->key = 0;
        start_evasion_picker(picker);
      } else {
        start_picker(picker, own.empty() || rng() % 2 ? 0 : own[rng() % own.size()]);
        for (int i = 0; i < 4; ++i) {
          rec.killers[i] = own.empty() || rng() % 2 ? 0 : own[rng() % own.size()];
          for (int j = 0; j < i; ++j)
            if (rec.killers[j] == rec.killers[i]) rec.killers[i] = 0;
        }
      }
      u64 nodes = 0;
      while (SearchMove m = next_move(picker, rec, kFlatHistory)) {
        UndoRecord u;
        make_move(m, u);
        if (!king_attacked(mover)) nodes += run(depth - 1, rng);
        unmake_move(m, u);
      }
      return nodes;
    }
  };
  std::mt19937 rng(7);
  for (const auto& c : testing::load_perft_cases()) {
    for (int d = 1; d <= int(c.counts.size()) && c.counts[d - 1] <= kPerftNodeBudget / 4; ++d) {
      parse_fen(c.fen.c_str());
      const u64 direct = perft(d);
      EXPECT_EQ(Walk::run(d, rng), direct) << c.name << " depth " << d;
    }
  }
}

}  // namespace
}  // namespace orvex

namespace orvex {
namespace {

// Deeper counts (seconds in Release; skipped in the sanitizer run): the engine
// against the reference up to 20 million nodes, and against the published
// numbers where no promotion can occur (start position depth 6, position 6
// depth 5).
TEST(MovegenPerft, SlowDeeperCounts) {
  for (const auto& c : testing::load_perft_cases()) {
    reference::Board b = reference::board_from_fen(c.fen);
    for (int d = 1; d <= int(c.counts.size()) && c.counts[d - 1] <= 20000000; ++d) {
      if (c.counts[d - 1] <= kPerftNodeBudget) continue;
      parse_fen(c.fen.c_str());
      EXPECT_EQ(perft(d), reference::perft(b, d, false)) << c.name << " depth " << d;
    }
    if (c.name == "start" || c.name == "position6") {
      const int d = c.name == "start" ? 6 : 5;
      parse_fen(c.fen.c_str());
      EXPECT_EQ(perft(d), c.counts[d - 1]) << c.name << " depth " << d;
    }
  }
}

}  // namespace
}  // namespace orvex
