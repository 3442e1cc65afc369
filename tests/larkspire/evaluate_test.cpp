// The edition's evaluation: scores cut to tens, threat sets equal to those of
// the attack pass, the colour mirror, the looser draw-pattern test and the
// material table that marks only the edition's signatures.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "larkspire/board.h"
#include "larkspire/evaluate.h"
#include "position/move_text.h"
#include "tests/data_files.h"
#include "tests/search/eval_test_util.h"

namespace orvex::larkspire {
namespace {

using orvex::testing::mirror_fen;
using orvex::testing::set_fen;

class EditionEvaluation : public ::testing::Test {
 protected:
  void SetUp() override {
    lazy_low = -500;
    lazy_high = 500;
    clear_pawn_hash();
  }
};

i32 eval(const std::string& fen) {
  set_fen(fen);
  EditionPlyRecord rec{};
  evaluate(rec);
  return rec.static_eval;
}

std::vector<std::string> sample_fens() {
  std::vector<std::string> out = orvex::testing::kSampleFens;
  std::ifstream in = orvex::testing::open_data_file("wac.epd");
  std::string line;
  while (std::getline(in, line)) {
    size_t pos = 0;
    for (int f = 0; f < 4 && pos != std::string::npos; ++f) pos = line.find(' ', pos + 1);
    out.push_back(line.substr(0, pos));
  }
  return out;
}

TEST_F(EditionEvaluation, TensThreatsAndMirror) {
  std::mt19937 rng(7);
  int material_only = 0;
  for (const std::string& fen : sample_fens()) {
    for (i32 window : {500, 2}) {  // the full evaluation and the material-only exit
      lazy_low = -window;
      lazy_high = window;
      set_fen(fen);
      EditionPlyRecord full{}, pass{};
      const bool check = evaluate(full);
      ASSERT_EQ(full.static_eval % 10, 0) << fen;
      ASSERT_EQ(compute_attacks(pass), check) << fen;
      ASSERT_EQ(full.attacks_us, pass.attacks_us) << fen;
      ASSERT_EQ(full.attacks_them, pass.attacks_them) << fen;
      ASSERT_EQ(full.threats_them, pass.threats_them) << fen;
      ASSERT_EQ(full.threats_us, pass.threats_us) << fen;
      material_only += full.threats_ready;
      set_fen(mirror_fen(fen));
      EditionPlyRecord mirrored{};
      evaluate(mirrored);
      // The shifts of the shared evaluation round negative values down, so
      // the two sides may differ by one step of ten after the cut.
      ASSERT_LE(std::abs(mirrored.static_eval - full.static_eval), 10) << fen;
      ASSERT_EQ(mirrored.attacks_us, __builtin_bswap64(full.attacks_us)) << fen;
      ASSERT_EQ(mirrored.threats_us, __builtin_bswap64(full.threats_us)) << fen;
    }
  }
  EXPECT_GT(material_only, 50);
}

TEST_F(EditionEvaluation, ThreatRules) {
  struct Case {
    const char* fen;
    const char* them;  // squares of threats_them
    const char* us;    // squares of threats_us
  };
  auto squares = [](u64 b) {
    std::string s;
    for (; b; b &= b - 1) {
      const Square q = __builtin_ctzll(b);
      if (!s.empty()) s += ' ';
      s += char('a' + (q & 7));
      s += char('1' + (q >> 3));
    }
    return s;
  };
  const Case cases[] = {
      {kStartFen, "", ""},
      // A knight attacked by a bishop: defended, no threat; undefended, a threat.
      {"4k3/8/8/3n4/8/8/B7/4K3 w - -", "d5", ""},
      {"4k3/8/4p3/3n4/8/8/B7/4K3 w - -", "", ""},
      // A defended queen attacked by a rook is threatened; by a queen it is not.
      {"4k3/4p3/3q4/8/8/8/8/3RK3 w - -", "d6", ""},
      {"4k3/4p3/3q4/8/8/8/8/3QK3 w - -", "", ""},
      // The side to move in check: its king is threatened.
      {"4k3/8/8/8/8/8/8/r3K3 w - -", "", "e1"},
  };
  for (const Case& c : cases) {
    set_fen(c.fen);
    EditionPlyRecord rec{};
    compute_attacks(rec);
    EXPECT_EQ(squares(rec.threats_them), c.them) << c.fen;
    EXPECT_EQ(squares(rec.threats_us), c.us) << c.fen;
  }
}

TEST_F(EditionEvaluation, DrawPatterns) {
  // King, dark-squared bishop and a-pawns against the king on b8.
  EXPECT_EQ(eval("1k6/8/8/8/P7/P7/8/2B1K3 w - -"), 0);
  EXPECT_GT(eval("1k6/8/8/8/P7/P7/8/3BK3 w - -"), 100);
  // One a-pawn against the king in the corner.
  EXPECT_EQ(eval("k7/8/8/8/P7/8/8/4K3 w - -"), 0);
  // Two bishops and a rook pawn never reach the test.
  EXPECT_NE(eval("k7/8/8/8/P7/8/8/2BBK3 w - -"), 0);
}

TEST(EditionMaterialTable, DiffersOnlyInTheDrawBitOfItsSignatures) {
  std::set<u32> marked;
  for (const char* s : kDrawPatternSignatures) marked.insert(signature_index(s));
  ASSERT_EQ(marked.size(), 42u);
  EXPECT_EQ(signature_index("-/-"), 0u);
  EXPECT_EQ(signature_index("P/-"), 2916u);
  int differing = 0;
  for (u32 i = 0; i < kMaterialTableSize; ++i) {
    const MaterialEntry a = material_table[i], b = edition_materials[i];
    ASSERT_EQ(a & ~u64{kMatDrawPatterns}, b & ~u64{kMatDrawPatterns}) << i;
    ASSERT_EQ((b & kMatDrawPatterns) != 0, marked.count(i) == 1) << i;
    differing += a != b;
  }
  EXPECT_GT(differing, 0);
}

}  // namespace
}  // namespace orvex::larkspire
