#include <gtest/gtest.h>

#include <random>
#include <string>

#include "eval_test_util.h"
#include "search/evaluate.h"

namespace orvex {
namespace {

using testing::Record;
using testing::set_fen;
using testing::TraceEval;

struct NoHalvingTrace : TraceEval {
  static constexpr bool kOppositeBishopHalving = false;
};
struct CastlingRightsTrace : CastlingRightsEval {
  static constexpr bool kTraceSums = true;
};
struct MixedTrace : MixedEval {
  static constexpr bool kTraceSums = true;
};
struct ThreatEval : GeneralEval {
  static constexpr bool kBuildThreats = true;
};
struct MirrorEval : TraceEval {
  // The draw test picks its case by the sign of the score, so at exactly 0
  // it is not colour-symmetric; it is tested on its own below.
  static constexpr bool kDrawTest = false;
};

// What an ending configuration instantiates: the endgame sum alone over its
// piece set (here rooks and queens).
struct RookEndingEval : GeneralEval {
  static constexpr bool kEndgameOnly = true;
  static constexpr u32 kKnights = 0, kBishops = 0, kRooks = 3;
  static constexpr bool kQueenTerms = false;
  static constexpr u32 kTrappedBishops = 0;
  static constexpr bool kDrawTest = false;
  static constexpr bool kOppositeBishopHalving = false;
};
// What the second edition instantiates: the two scale factors exchanged, the
// score cut to tens, the looser draw test and the threat sets.
struct EditionLikeEval : GeneralEval {
  static constexpr i32 kMaterialScale = 116;
  static constexpr i32 kFinalScale = 140;
  static constexpr bool kRoundToTen = true;
  static constexpr bool kDrawTestStrict = false;
  static constexpr bool kBuildThreats = true;
};

class Evaluation : public ::testing::Test {
 protected:
  void SetUp() override {
    lazy_low = -500;
    lazy_high = 500;
    clear_pawn_hash();
  }
  void TearDown() override {
    lazy_low = -500;
    lazy_high = 500;
  }
  template <class T = GeneralEval>
  static i32 eval(const std::string& fen, bool* in_check = nullptr) {
    set_fen(fen);
    Record r;
    const bool check = evaluate_with<T>(r);
    if (in_check) *in_check = check;
    return r.static_eval;
  }
};

u64 flip(u64 b) { return __builtin_bswap64(b); }

TEST_F(Evaluation, AttackMaps) {
  Record r;
  set_fen(kStartFen);
  EXPECT_FALSE(compute_attacks_with<GeneralEval>(r));
  EXPECT_EQ(r.attacks_us, 0xFFFF7Eull);
  EXPECT_EQ(r.attacks_them, 0x7EFFFF0000000000ull);

  struct Case {
    const char* name;
    const char* fen;
    bool check;
  };
  const Case cases[] = {
      {"pawn check", "4k3/3P4/8/8/8/8/8/4K3 b - -", true},
      {"pawn on the other side of the king", "4k3/4P3/8/8/8/8/8/4K3 b - -", false},
      {"rook ray through a pawn", "4k3/8/8/8/8/8/4P3/4R1K1 b - -", false},
      {"rook ray", "4k3/8/8/8/8/8/8/4R1K1 b - -", true},
      {"knight", "4k3/8/3N4/8/8/8/8/4K3 b - -", true},
      {"bishop behind a knight", "4k3/8/8/1N6/B7/8/8/4K3 b - -", false},
      {"queen diagonal", "4k3/8/8/1Q6/8/8/8/4K3 b - -", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    set_fen(c.fen);
    EXPECT_EQ(compute_attacks_with<GeneralEval>(r), c.check);
  }
  // A defended piece's square belongs to its colour's set.
  set_fen("4k3/8/8/8/8/N7/8/R3K3 w - -");
  compute_attacks_with<GeneralEval>(r);
  EXPECT_TRUE(r.attacks_us & bit(16));
  EXPECT_FALSE(r.attacks_us & bit(24));  // the rook's file stops at the knight
}

TEST_F(Evaluation, StartPosition) {
  EXPECT_EQ(eval(kStartFen), 10);
  EXPECT_EQ(eval("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -"), 10);
}

TEST_F(Evaluation, HandComputedFullPath) {
  // King and pawn: base 3447, pst (181, -97), isolated open pawn (-923, -324),
  // passed e4: (489, 336) and king distances 2 * 131 - 3 * 66; blend at phase
  // 64 gives 107, scaling by 160 gives 45, times 116/128 gives 40.
  EXPECT_EQ(eval("8/4k3/8/8/4P3/8/4K3/8 w - -"), 50);
  EXPECT_EQ(eval("8/4k3/8/8/4P3/8/4K3/8 b - -"), -30);
  // King and rook: base 18671, pst mg 104, 14 mobility squares (1176, 1106),
  // open file (64 + 971, 256 + 172); phase 58 blend gives 633, scaling by 208
  // gives 552, times 116/128 gives 500.
  bool check = true;
  EXPECT_EQ(eval("8/8/5k2/8/3R4/2K5/8/8 w - -", &check), 510);
  EXPECT_FALSE(check);
  EXPECT_EQ(eval("8/8/5k2/8/3R4/2K5/8/8 b - -"), -490);
}

TEST_F(Evaluation, OtherInstantiations) {
  // Rook ending: eg 20205 >> 5 = 631, scaled by 208 to 550, times 116/128.
  EXPECT_EQ(eval<RookEndingEval>("8/8/5k2/8/3R4/2K5/8/8 w - -"), 508);
  // Edition: base 2856 (116/128), eg 2835 >> 5 = 88, scaled to 33, times
  // 140/128 gives 36; 46 and -26 cut to tens.
  EXPECT_EQ(eval<EditionLikeEval>("8/4k3/8/8/4P3/8/4K3/8 w - -"), 40);
  EXPECT_EQ(eval<EditionLikeEval>("8/4k3/8/8/4P3/8/4K3/8 b - -"), -20);
  // The search's records through the general entry point.
  set_fen("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ -");
  PlyRecord rec{};
  Record mine;
  EXPECT_EQ(evaluate(rec), evaluate_with<GeneralEval>(mine));
  EXPECT_EQ(rec.static_eval, mine.static_eval);
  EXPECT_EQ(rec.attacks_us, mine.attacks_us);
  EXPECT_EQ(compute_attacks(rec), false);
}

TEST_F(Evaluation, MaterialOnlyAndDrawTest) {
  // King and bishop against a bare king: material-only with M = 0.
  EXPECT_EQ(eval("8/8/8/4k3/8/8/8/4KB2 w - -"), 10);
  EXPECT_EQ(eval("8/8/8/4k3/8/8/8/4KB2 b - -"), 10);
  for (const char* corner : {"K4B2", "1K3B2", "5BK1", "5B1K"}) {
    const std::string fen = std::string("8/8/8/4k3/8/8/8/") + corner + " w - -";
    EXPECT_EQ(eval(fen), 0) << fen;
    EXPECT_EQ(eval<CastlingRightsEval>(fen), 10) << fen;  // no draw test there
    EXPECT_EQ(eval<MixedEval>(fen), 10) << fen;
  }
  // Rook pawns and the wrong bishop: dark-squared bishop, king in the a8 corner.
  EXPECT_EQ(eval("1k6/8/8/8/P7/P7/8/2B1K3 w - -"), 0);
  EXPECT_EQ(eval("1k6/8/8/8/P7/P7/8/2B1K3 b - -"), 0);
  EXPECT_GT(eval("1k6/8/8/8/P7/P7/8/3BK3 w - -"), 100);  // light-squared bishop
  EXPECT_GT(eval("1k6/8/8/8/P7/P7/N7/2B1K3 w - -"), 100);  // a knight spoils it
  // The mirror image for black.
  EXPECT_EQ(eval("2b1k3/8/p7/p7/8/8/8/1K6 w - -"), 0);
}

TEST_F(Evaluation, LazyWindowBoundsAreExclusive) {
  const char* fen = "8/4k3/8/8/4P3/8/4K3/8 w - -";  // balance 1, M = 3152
  lazy_high = 1;
  EXPECT_EQ(eval(fen), (3152 >> 5) + 10);
  lazy_high = 500;
  lazy_low = 1;
  EXPECT_EQ(eval(fen), (3152 >> 5) + 10);
  lazy_low = 0;
  lazy_high = 2;
  EXPECT_EQ(eval(fen), 50);
  // Black to move on the material path.
  lazy_high = 1;
  EXPECT_EQ(eval("8/4k3/8/8/4P3/8/4K3/8 b - -"), 10 - (3152 >> 5));
}

TEST_F(Evaluation, OppositeBishopsHalveBothSums) {
  Record halved, whole;
  // Light-squared d3 against dark-squared d6, three pawns against two.
  set_fen("4k3/pp6/3b4/8/8/3B4/PPP5/4K3 w - -");
  evaluate_with<TraceEval>(halved);
  evaluate_with<NoHalvingTrace>(whole);
  EXPECT_EQ(halved.trace_mg, whole.trace_mg / 2);
  EXPECT_EQ(halved.trace_eg, whole.trace_eg / 2);
  EXPECT_NE(whole.trace_eg, halved.trace_eg);
  // Bishops of one colour: nothing halved.
  set_fen("4k3/pp6/4b3/8/8/3B4/PPP5/4K3 w - -");
  evaluate_with<TraceEval>(halved);
  evaluate_with<NoHalvingTrace>(whole);
  EXPECT_EQ(halved.trace_mg, whole.trace_mg);
  EXPECT_EQ(halved.trace_eg, whole.trace_eg);
}

TEST_F(Evaluation, MixedIgnoresCastlingRights) {
  // Black attacks (queen and rook); white's king on e1 may still castle short
  // into f2-g2-h2: shelter (3363 + 794) / 2 with the right, 3363 without.
  Record with_rights, mixed;
  set_fen("3qk2r/8/8/8/8/8/5PPP/4K2R w Kk -");
  evaluate_with<CastlingRightsTrace>(with_rights);
  evaluate_with<MixedTrace>(mixed);
  EXPECT_EQ(with_rights.trace_mg - mixed.trace_mg, 3363 - (3363 + 794) / 2);
  EXPECT_EQ(with_rights.trace_eg, mixed.trace_eg);
}

TEST_F(Evaluation, ThreatSets) {
  Record r;
  set_fen(kStartFen);
  evaluate_with<ThreatEval>(r);
  EXPECT_EQ(r.threats_them | r.threats_us, 0u);
  EXPECT_EQ(r.threats_ready, 0);
  compute_attacks_with<ThreatEval>(r);
  EXPECT_EQ(r.threats_ready, 1);

  struct Case {
    const char* name;
    const char* fen;
    u64 them, us;
  };
  const Case cases[] = {
      {"defended knight under a bishop", "4k3/1b6/8/8/8/5N2/6P1/4K3 w - -", 0, 0},
      {"undefended knight under a bishop", "4k3/1b6/8/8/8/5N2/8/4K3 w - -", 0, bit(21)},
      {"queen under a rook, defended", "4k3/4q3/8/8/8/8/8/4RK2 w - -", bit(52), 0},
      {"queen under a queen, defended", "4k3/4q3/8/8/8/8/8/4QK2 w - -", 0, 0},
      {"king in check", "4k3/8/8/8/8/8/4r3/4K3 w - -", bit(12), bit(4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    set_fen(c.fen);
    Record full, fast;
    evaluate_with<ThreatEval>(full);
    compute_attacks_with<ThreatEval>(fast);
    EXPECT_EQ(full.threats_them, c.them);
    EXPECT_EQ(full.threats_us, c.us);
    EXPECT_EQ(fast.threats_them, c.them);
    EXPECT_EQ(fast.threats_us, c.us);
  }
}

TEST_F(Evaluation, ColourMirror) {
  std::vector<std::string> fens = testing::kSampleFens;
  std::mt19937 rng(20261210);
#ifdef ORVEX_SANITIZED
  const int randoms = 300;
#else
  const int randoms = 4000;
#endif
  for (int i = 0; i < randoms; ++i) fens.push_back(testing::random_fen(rng, 8 + i % 24));

  int full_path = 0;
  for (const std::string& fen : fens) {
    SCOPED_TRACE(fen);
    const std::string mirrored = testing::mirror_fen(fen);
    Record a, b;
    a.trace_mg = b.trace_mg = 12345;
    a.trace_eg = b.trace_eg = 12345;
    set_fen(fen);
    const bool check_a = evaluate_with<MirrorEval>(a);
    set_fen(mirrored);
    const bool check_b = evaluate_with<MirrorEval>(b);
    EXPECT_EQ(check_a, check_b);
    EXPECT_EQ(a.attacks_us, flip(b.attacks_us));
    EXPECT_EQ(a.attacks_them, flip(b.attacks_them));
    if (a.trace_mg != 12345 || b.trace_mg != 12345) {
      ++full_path;
      EXPECT_EQ(a.trace_mg, -b.trace_mg);
      EXPECT_EQ(a.trace_eg, -b.trace_eg);
    }
    EXPECT_LE(std::abs(a.static_eval - b.static_eval), 2);
  }
  EXPECT_GT(full_path, static_cast<int>(fens.size()) / 2);
}

TEST_F(Evaluation, ImpossibleInputsStayInBounds) {
  const char* fens[] = {
      "QQQQQQQQ/QQQQQQQQ/QQQk4/8/8/qqqqqqqq/qqqqqqqq/qqqqK3 w - -",  // far more than 16 men
      "PPPPPPPP/PPPPPPPP/8/3k4/8/8/pppppppp/pppppK2 w - -",          // pawns on the first and last ranks
      "4k3/pppppppp/pppp4/8/8/PPPP4/PPPPPPPP/4K3 b - -",             // twelve pawns a side
      "8/8/8/8/8/8/8/8 w - -",                                        // no kings
      "NNNNNNNN/BBBBBBBB/RRRRRRRR/8/8/nnnnnnnn/bbbbbbbb/rrrrrrrr w - -",
      "KKKK4/8/8/8/8/8/8/kkkk4 w KQkq -",
      "4k3/8/8/8/8/8/8/QQQNNNK1 w - -",                               // digits carried over

  };
  for (const char* fen : fens) {
    SCOPED_TRACE(fen);
    for (int window = 0; window < 2; ++window) {
      lazy_low = window ? -100000 : 100000;
      lazy_high = window ? 100000 : -100000;
      Record r;
      set_fen(fen);
      evaluate_with<GeneralEval>(r);
      evaluate_with<CastlingRightsEval>(r);
      evaluate_with<MixedEval>(r);
      evaluate_with<ThreatEval>(r);
      compute_attacks_with<GeneralEval>(r);
      EXPECT_LT(std::abs(r.static_eval), 1000000);
    }
  }
}

}  // namespace
}  // namespace orvex
