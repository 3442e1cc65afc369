// Checks of the reference numbering on its own: the published worked
// examples, the published numbering ranges, and the published position counts
// (no legal position numbered at or beyond its count, and, where it is cheap
// to find, the largest number of a legal position one below the count).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "given_counts.h"
#include "reference_index.h"
#include "tests/squares.h"

namespace orvex::tbref {
namespace {

using orvex::testing::sq;

// One side's men from text such as "Kd4 Ba6 Nh6" (letters K, P, N, B, R, Q).
SideMen men(const std::string& text) {
  SideMen s;
  std::istringstream in(text);
  std::string w;
  while (in >> w) {
    Square q = sq(w.c_str() + 1);
    switch (w[0]) {
      case 'K': s.king = q; break;
      case 'P': s.men[0].push_back(q); break;
      case 'N': s.men[1].push_back(q); break;
      case 'B': s.men[2].push_back(q); break;
      case 'R': s.men[3].push_back(q); break;
      case 'Q': s.men[4].push_back(q); break;
    }
  }
  return s;
}

RefPosition pos(const char* name, int side, const char* first, const char* second, int flip = 0,
                const char* ep = nullptr) {
  RefPosition p;
  p.name = name;
  p.side = side;
  p.first = men(first);
  p.second = men(second);
  p.flip = flip;
  p.ep = ep ? sq(ep) : 127;
  return p;
}

u64 given_count(const std::string& name, int side) {
  for (const GivenCount& g : kGivenCounts)
    if (name == g.name) return g.count[side];
  return 0;
}

u64 index_of(const RefPosition& p) {
  EXPECT_TRUE(is_legal(p)) << p.name;
  return reference_index(p);
}

struct Example {
  RefPosition p;
  u64 number;
};

TEST(ReferenceIndex, WorkedExamples) {
  const Example examples[] = {
      {pos("kpk", 0, "Ke1 Pe2", "Ke8"), 10487},
      {pos("kpk", 0, "Ke8 Pe7", "Ke1", 1), 10487},  // Black is the first side
      {pos("krk", 1, "Kc3 Rd5", "Ka8"), 955},
      {pos("knk", 1, "Kc3 Nd5", "Ka8"), 955},
      {pos("kpkp", 0, "Ke1 Pe5", "Ke8 Pd5", 0, "d6"), 3841424},
      {pos("kbbnk", 1, "Kc1 Bc4 Bf5 Ng2", "Ka8"), 1980890},
      {pos("kbnnk", 1, "Kc1 Bc4 Nf5 Ng2", "Ka8"), 1964905},
      {pos("knppk", 0, "Kb1 Nc3 Pa2 Pb2", "Kh8"), 6803112},
      {pos("kppkp", 0, "Ke1 Pd5 Pf5", "Ke8 Pe5", 0, "e6"), 83248303},
      {pos("kbnkbn", 0, "Kd4 Ba6 Nh6", "Kh8 Bf1 Na1"), 5484685135},
      {pos("kbnkbn", 0, "Kg1 Bf4 Nh3", "Ka8 Bc6 Ne7"), 1066409825},
      // Positions that reach the top of a table: one below the count.
      {pos("krnkrp", 1, "Kh1 Rg1 Nh8", "Kd1 Rf1 Ph2"), 16919868906 - 1},
      {pos("kbnnkn", 0, "Kd4 Be8 Nf8 Ng8", "Kh8 Nd8"), 2560971346 - 1},
      {pos("krbnkn", 0, "Kd4 Rf8 Bg8 Ne8", "Kh8 Nd8"), 5356454122 - 1},
      {pos("krbnkn", 1, "Kh8 Rf8 Be8 Nd8", "Kd4 Ng8"), 5675335080 - 1},
      {pos("kbbnkn", 1, "Kh8 Bf8 Be8 Nd8", "Kd4 Ng8"), 2837667540 - 3},
      {pos("kbbnkn", 1, "Kh8 Be8 Bd8 Nf8", "Kd4 Ng8"), 2837667540 - 1},
      {pos("kpppkp", 0, "Kd8 Pf5 Pf7 Ph7", "Kh8 Pg5", 0, "g6"), 1196695343 - 1},
      {pos("kbnpkn", 0, "Kd8 Bg8 Nf8 Ph7", "Kh8 Ne8"), 16186823401 - 1},
      {pos("kbnpkn", 1, "Kh8 Bf8 Ne8 Ph7", "Kd8 Ng8"), 17458940160 - 1},
      {pos("kbnpkn", 1, "Kh1 Bf1 Ne1 Ph2", "Kd1 Ng1", 1), 17458940160 - 1},
      {pos("kpppkr", 1, "Kh8 Pf7 Pg7 Ph7", "Kd8 Rc8"), 1827875872 - 1},
      // The lowest placements of the first king pair, and their images.
      {pos("knnkpp", 0, "Ka1 Nb1 Nd1", "Kc1 Pa2 Pb2"), 0},
      {pos("knnkpp", 0, "Kh1 Ng1 Ne1", "Kf1 Ph2 Pg2"), 0},
      {pos("knnkpp", 0, "Ka8 Nb8 Nd8", "Kc8 Pa7 Pb7", 1), 0},
      {pos("knnnkn", 0, "Ka1 Nb1 Nd1 Ne1", "Kc1 Nf1"), 0},
      {pos("knnnkn", 0, "Kh8 Ng8 Ne8 Nd8", "Kf8 Nc8"), 0},
      {pos("knnnkn", 0, "Ka1 Na2 Na4 Na5", "Ka3 Na6"), 0},
      {pos("kpppkp", 0, "Ka1 Pa2 Pb2 Pc2", "Kc1 Pd2"), 0},
      {pos("kpppkp", 0, "Kh1 Pf2 Pg2 Ph2", "Kf1 Pe2"), 0},
      {pos("kpppkp", 0, "Ka8 Pa7 Pb7 Pc7", "Kc8 Pd7", 1), 0},
      {pos("kpppkn", 0, "Ka1 Pa2 Pb2 Pc2", "Kc1 Nb1"), 0},
      {pos("kpppkn", 0, "Kh1 Pf2 Pg2 Ph2", "Kf1 Ng1"), 0},
      {pos("kpppkn", 0, "Ka8 Pa7 Pb7 Pc7", "Kc8 Nb8", 1), 0},
  };
  for (const Example& e : examples) {
    SCOPED_TRACE(e.p.name + " side " + std::to_string(e.p.side));
    EXPECT_EQ(index_of(e.p), e.number);
  }
  // The rook on b8 checks the king on b1 from afar: no position of play, but
  // the numbering looks only at contact squares and still gives its number.
  EXPECT_EQ(reference_index(pos("kqqkqr", 1, "Kb1 Qd1 Qh5", "Kg8 Qa5 Rb8")), 512090938u);
}

// Pairs of positions that the rules number alike (true) or apart (false).
TEST(ReferenceIndex, SymmetricImagesOfTheWorkedCases) {
  struct Pair {
    RefPosition a, b;
    bool same;
  };
  const Pair pairs[] = {
      {pos("knnkpp", 1, "Ke2 Nc3 Nf5", "Kg7 Pb4 Ph6"), pos("knnkpp", 1, "Ke7 Nc6 Nf4", "Kg2 Pb5 Ph3", 1), true},
      {pos("kbpkbp", 1, "Kc1 Bf1 Pb4", "Kh8 Be7 Pa4", 0, "b3"),
       pos("kbpkbp", 0, "Kh1 Be2 Pa5", "Kc8 Bf8 Pb5", 0, "b6"), true},
      {pos("knnpkn", 0, "Kc3 Nb5 Ng5 Pd4", "Ke7 Nh2"), pos("knnpkn", 0, "Kf3 Ng5 Nb5 Pe4", "Kd7 Na2"), true},
      {pos("krbnkn", 0, "Kc2 Ra8 Bh1 Nf6", "Ke3 Nd7"), pos("krbnkn", 0, "Kb3 Rh1 Ba8 Nf6", "Kc5 Ng4"), true},
      {pos("kbnpkp", 1, "Kg1 Bc1 Nb1 Pe4", "Kg8 Pd4", 0, "e3"),
       pos("kbnpkp", 1, "Kg8 Bc8 Nb8 Pe5", "Kg1 Pd5", 1, "e6"), true},
      {pos("kqqqkq", 1, "Kd4 Qa5 Qc7 Qh2", "Kb2 Qe1"), pos("kqqqkq", 1, "Kd4 Qe1 Qg3 Qb8", "Kb2 Qa5"), false},
  };
  for (const Pair& pr : pairs) {
    SCOPED_TRACE(pr.a.name);
    if (pr.same)
      EXPECT_EQ(index_of(pr.a), index_of(pr.b));
    else
      EXPECT_NE(index_of(pr.a), index_of(pr.b));
  }
  // A bishop checks the king from afar in both; the numbers still agree, the
  // list holding the bishops in the order the mirror reverses.
  EXPECT_EQ(reference_index(pos("kbbkbp", 0, "Kc2 Bd3 Bf3", "Kh7 Ba1 Pf4")),
            reference_index(pos("kbbkbp", 0, "Kf2 Be3 Bc3", "Ka7 Bh1 Pc4")));
}

// The parts of the worked cases whose whole number the text does not give.
TEST(ReferenceIndex, WorkedCasePieces) {
  // knnpkn, first side to move: block * 59 + 15.
  EXPECT_EQ(index_of(pos("knnpkn", 0, "Kc3 Nb5 Ng5 Pd4", "Ke7 Nh2")) % 59, 15u);
  // knppkn, second side to move: (t * 59 + 40) * 1128 + 369.
  u64 v = index_of(pos("knppkn", 1, "Kb1 Nf6 Pc4 Pd5", "Kc3 Ne5"));
  EXPECT_EQ(v % 1128, 369u);
  EXPECT_EQ(v / 1128 % 59, 40u);

  // En-passant numbers follow all others; the last digit is the capture code.
  u64 ordinary_kppkpp = reference_range("kppkpp", 0) - 1806 * 26488;
  u64 a = index_of(pos("kppkpp", 0, "Ke1 Pa2 Pd5", "Ke8 Pe5 Ph7", 0, "e6"));
  u64 b = index_of(pos("kppkpp", 0, "Ke1 Pa2 Pd5", "Ke8 Pe5 Ph7"));
  EXPECT_GE(a, ordinary_kppkpp);
  EXPECT_LT(b, ordinary_kppkpp);
  u64 both = index_of(pos("kppkpp", 0, "Ke1 Pd5 Pf5", "Ke8 Pe5 Ph7", 0, "e6"));
  // The king on e1 mirrors the files: f5 becomes c5, the lower pawn beside
  // the double-stepped one, and takes toward the higher file: code 2 + 7.
  EXPECT_EQ((both - ordinary_kppkpp) % 14, 9u);

  u64 ordinary_kpppkp = reference_range("kpppkp", 0) - 1806 * 946 * 14;
  EXPECT_GE(index_of(pos("kpppkp", 0, "Ke1 Pa2 Pb2 Pe5", "Ke8 Pd5", 0, "d6")), ordinary_kpppkp);
  EXPECT_LT(index_of(pos("kpppkp", 0, "Ke1 Pa2 Pb2 Pe5", "Ke8 Pd5")), ordinary_kpppkp);
  // After the file mirror e5 is the lower pawn: it takes toward the higher file, code 3 + 7.
  u64 two = index_of(pos("knppkp", 0, "Kg1 Na1 Pc5 Pe5", "Kg8 Pd5", 0, "d6"));
  u64 ordinary_knppkp = reference_range("knppkp", 0) - 102748u * 44 * 14;
  EXPECT_GE(two, ordinary_knppkp);
  EXPECT_EQ((two - ordinary_knppkp) % 14, 10u);

  // knpkpp, second side to move: the double-stepped pawn stands on e + 8 after the mask.
  RefPosition k = pos("knpkpp", 1, "Kg1 Nc3 Pe4", "Ka8 Pd4 Ph5", 0, "e3");
  EXPECT_NE(index_of(k), kRefBad);
  EXPECT_GE(index_of(k), reference_range("knpkpp", 1) - 102748u * 616);
}

// The numbering ranges of the three- and four-man classes, both sides to move.
TEST(ReferenceIndex, RangesOfThreeAndFourMen) {
  struct Row {
    const char* name;
    u64 range[2];
  };
  const Row rows[] = {
      {"kpk", {81664, 84012}},       {"knk", {26282, 28644}},       {"kbk", {27243, 28644}},
      {"krk", {27036, 28644}},       {"kqk", {25635, 28644}},       {"kpkp", {3863492, 3863492}},
      {"knkp", {4931904, 4981504}},  {"knkn", {1603202, 1603202}},  {"kbkp", {5112000, 4981504}},
      {"kbkn", {1661823, 1603202}},  {"kbkb", {1661823, 1661823}},  {"krkp", {5072832, 4981504}},
      {"krkn", {1649196, 1603202}},  {"krkb", {1649196, 1661823}},  {"krkr", {1649196, 1649196}},
      {"kqkp", {4810176, 4981504}},  {"kqkn", {1563735, 1603202}},  {"kqkb", {1563735, 1661823}},
      {"kqkr", {1563735, 1649196}},  {"kqkq", {1563735, 1563735}},  {"kppk", {1806671, 1912372}},
      {"knpk", {4648581, 5124732}},  {"knnk", {735304, 873642}},    {"kbpk", {4817128, 5124732}},
      {"kbnk", {1550621, 1747284}},  {"kbbk", {789885, 873642}},    {"krpk", {4779624, 5124732}},
      {"krnk", {1538479, 1747284}},  {"krbk", {1594560, 1747284}},  {"krrk", {777639, 873642}},
      {"kqpk", {4533584, 5124732}},  {"kqnk", {1459616, 1747284}},  {"kqbk", {1512507, 1747284}},
      {"kqrk", {1500642, 1747284}},  {"kqqk", {699072, 873642}},
      // One member of each five-man shape, and the six-man pawnless examples.
      {"kppkp", {84219362, 89391280}},      {"kppkn", {108400260, 115899744}},
      {"knpkp", {219921779, 231758952}},    {"knpkn", {278914860, 295914240}},
      {"knnkp", {137991648, 149445120}},    {"knnkn", {44118240, 48096060}},
      {"kbnkp", {290989632, 298890240}},    {"kbnkn", {93037260, 96192120}},
      {"kpppk", {26061704, 28388716}},      {"knppk", {102898651, 114742320}},
      {"knnpk", {130135501, 153741960}},    {"knnnk", {13486227, 17472840}},
      {"kbnpk", {274352986, 307483920}},    {"kbnnk", {43406296, 52418520}},
      {"kbbnk", {44983620, 52418520}},      {"krbnk", {90787360, 104837040}},
      {"kbbknn", {1398096450, 1301488080}}, {"kbnknn", {2744599170, 2602976160}},
      {"kbbkbn", {2796192900, 2744599170}}, {"kbnkbn", {5489198340, 5489198340}},
  };
  for (const Row& r : rows)
    for (int side = 0; side < 2; ++side) EXPECT_EQ(reference_range(r.name, side), r.range[side]) << r.name << side;
}

// How far a published count lies below the whole numbering, by the reasons
// the count tables give; 0 where nothing is said.  Classes 1-200 are checked
// only for count <= range.
u64 published_shortfall(const std::string& n, int side) {
  struct S {
    const char* name;
    int side;
    u64 amount;
  };
  static const S list[] = {
      {"kbnkpp", 0, 1128},        {"kbnknp", 0, 2832},        {"kbnkbp", 0, 2832},
      {"kqrknp", 0, 2832},        {"kqrkbp", 0, 2832},        {"kqrkrp", 0, 2832},
      {"kqrkqp", 0, 2832},        {"krpkbn", 1, 2832},        {"kqpkbn", 1, 2832},
      {"krrkpp", 0, 117 * 1128},  {"kqrkpp", 0, 123 * 1128},  {"kqqkpp", 0, 115 * 1128},
      {"krnkrp", 1, 54},          {"krbkrp", 1, 54},          {"krrkrp", 1, 54},
      {"kqnkrp", 1, 54},          {"kqnkqp", 1, 54},          {"kqbkrp", 1, 54},
      {"kqbkqp", 1, 54},          {"kqrkrp", 1, 54},          {"kqrkqp", 1, 54},
      {"kqqkrp", 1, 54},          {"kqqkqp", 1, 54},          {"kppkpp", 0, 1},
      {"kppkpp", 1, 1},           {"krpkpp", 0, 1232},        {"kqpkpp", 0, 1232},
      {"kpppkr", 1, 2 * 17296},   {"kpppkq", 1, 2 * 17296},
  };
  for (const S& s : list)
    if (n == s.name && side == s.side) return s.amount;
  // Three pieces against a lone piece: whole block numbers of 59 positions.
  static const std::pair<const char*, u64> pawnless_short[] = {
      {"bnn", 2}, {"bbn", 2}, {"rnn", 1}, {"rbb", 1}, {"qnn", 1},  {"qbb", 1},
      {"qrr", 2}, {"qqr", 2}, {"rbn", 2}, {"qbn", 2}, {"qrn", 60}, {"qrb", 61}};
  if (side == 0 && n.size() == 6 && n[4] == 'k' && n[5] != 'p' && n.find('p') == std::string::npos)
    for (const auto& [comp, blocks] : pawnless_short)
      if (n.substr(1, 3) == comp) return blocks * 59;
  if (side == 0 && n.size() == 6 && n[4] == 'k' && n[5] != 'p' && (n.substr(1, 3) == "bnp" || n.substr(1, 3) == "qrp"))
    return 2773;
  return 0;
}

// Three men against a pawn, first side to move: the text names the classes
// whose count falls short but not by how much.
bool has_unstated_shortfall(const std::string& n, int side) {
  return side == 0 && n.size() == 6 && n.substr(4) == "kp";
}

TEST(ReferenceIndex, PublishedCountsFitTheRanges) {
  for (const GivenCount& g : kGivenCounts)
    for (int side = 0; side < 2; ++side) {
      SCOPED_TRACE(std::string(g.name) + " side " + std::to_string(side));
      u64 range = reference_range(g.name, side);
      ASSERT_GE(range, g.count[side]);
      if (g.class_id <= 200) continue;
      if (has_unstated_shortfall(g.name, side)) continue;
      EXPECT_EQ(range - g.count[side], published_shortfall(g.name, side));
    }
}

// The largest number of a legal three-man position, over every placement.
TEST(ReferenceIndex, SlowThreeMenCountsAreTheLargestLegalNumberPlusOne) {
  for (const char* name : {"kpk", "knk", "kbk", "krk", "kqk"})
    for (int side = 0; side < 2; ++side) {
      u64 top = 0;
      bool any = false;
      RefPosition p;
      p.name = name;
      p.side = side;
      int t = name[1] == 'p' ? 0 : name[1] == 'n' ? 1 : name[1] == 'b' ? 2 : name[1] == 'r' ? 3 : 4;
      p.first.men[t].push_back(0);
      for (Square a = 0; a < 64; ++a)
        for (Square b = 0; b < 64; ++b)
          for (Square c = 0; c < 64; ++c) {
            p.first.king = a;
            p.second.king = b;
            p.first.men[t][0] = c;
            if (!is_legal(p)) continue;
            u64 v = reference_index(p);
            ASSERT_NE(v, kRefBad);
            top = std::max(top, v);
            any = true;
          }
      ASSERT_TRUE(any);
      EXPECT_EQ(top + 1, given_count(name, side)) << name << " side " << side;
    }
}

}  // namespace
}  // namespace orvex::tbref

namespace orvex::tbref {
namespace {

// The search for the largest legal number gives the published counts,
// shortfalls included (krk, krkp, krrk, kbnk, kppkp, kbnkbn, ...).
TEST(ReferenceIndex, SlowLargestLegalNumberGivesThePublishedCounts) {
  for (const GivenCount& g : kGivenCounts) {
    if (g.class_id > 200) continue;
    for (int side = 0; side < 2; ++side)
      EXPECT_EQ(largest_legal_number(g.name, side) + 1, g.count[side]) << g.name << " side " << side;
  }
  // A count the text gives beside its range: kbnkn, first side to move.
  EXPECT_EQ(largest_legal_number("kbnkn", 0) + 1, 93037200u);
}

// Searches every count of classes 36-200 again (half a minute in Release);
// run with --gtest_also_run_disabled_tests after a change of the reference.
TEST(ReferenceIndex, DISABLED_SlowSearchedCountsOfClasses36To200) {
  for (const GivenCount& g : kSearchedCounts)
    for (int side = 0; side < 2; ++side)
      EXPECT_EQ(largest_legal_number(g.name, side) + 1, g.count[side]) << g.name << " side " << side;
}

// The same search over the published six-man counts of classes 201-440: each
// is the largest legal number plus one.  About an hour in one thread.
TEST(ReferenceIndex, DISABLED_SlowSearchedCountsOfClasses201To440) {
  for (const GivenCount& g : kGivenCounts) {
    if (g.class_id <= 200) continue;
    for (int side = 0; side < 2; ++side)
      EXPECT_EQ(largest_legal_number(g.name, side) + 1, g.count[side]) << g.name << " side " << side;
  }
}

}  // namespace
}  // namespace orvex::tbref

namespace orvex::tbref {
namespace {

// Every square of a position through f, the en-passant square included.
template <typename F>
RefPosition mapped(const RefPosition& p, F f) {
  RefPosition q = p;
  for (SideMen* s : {&q.first, &q.second}) {
    s->king = f(s->king);
    for (auto& g : s->men)
      for (Square& x : g) x = f(x);
  }
  if (q.ep != 127) q.ep = f(q.ep);
  return q;
}

u64 count_of(const std::string& name, int side) {
  for (const GivenCount& g : kGivenCounts)
    if (name == g.name) return g.count[side];
  for (const GivenCount& g : kSearchedCounts)
    if (name == g.name) return g.count[side];
  return 0;
}

// Random legal positions of every class and side: every number lies below the
// count, and the images the numbering identifies get the same number.
TEST(ReferenceIndex, RandomPositionsStayBelowTheCountsAndImagesAgree) {
  std::mt19937_64 rng(20261210);
  for (const char* name : kClassNames) {
    std::array<std::array<int, 5>, 2> c;
    ASSERT_TRUE(class_men(name, &c));
    bool pawns = c[0][0] + c[1][0] > 0;
    bool both_pawns = c[0][0] > 0 && c[1][0] > 0;
    for (int side = 0; side < 2; ++side) {
      u64 count = count_of(name, side);
      ASSERT_NE(count, 0u) << name;
      for (int i = 0; i < 60; ++i) {
        bool ep = both_pawns && i % 3 == 0;
        RefPosition p = random_position(name, side, ep, rng);
        SCOPED_TRACE(std::string(name) + " side " + std::to_string(side) + (ep ? " ep" : ""));
        u64 v = reference_index(p);
        ASSERT_NE(v, kRefBad);
        ASSERT_LT(v, count);
        auto file_mirror = [](Square s) { return s ^ 7; };
        EXPECT_EQ(reference_index(mapped(p, file_mirror)), v);
        if (pawns) {
          RefPosition swapped = mapped(p, [](Square s) { return s ^ 56; });
          swapped.flip = 1 - p.flip;
          EXPECT_EQ(reference_index(swapped), v);
        } else {
          EXPECT_EQ(reference_index(mapped(p, [](Square s) { return s ^ 56; })), v);
          // The reflection in the diagonal is undone unless both kings stand
          // on it once the mover's king is in a1-d4.
          Square mk = p.side == 0 ? p.first.king : p.second.king;
          Square ok = p.side == 0 ? p.second.king : p.first.king;
          u32 x = (mk & 7) >= 4 ? 7 : 0;
          x ^= (mk >> 3) >= 4 ? 56 : 0;
          auto on_diag = [](Square s) { return (s & 7) == (s >> 3); };
          if (!(on_diag(mk ^ x) && on_diag(ok ^ x))) {
            auto transpose = [](Square s) { return (s & 7) * 8 + (s >> 3); };
            EXPECT_EQ(reference_index(mapped(p, transpose)), v);
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace orvex::tbref
