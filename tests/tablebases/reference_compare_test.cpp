// The engine's index functions against the reference numbering: random legal
// positions of every class and both sides to move, en-passant positions
// wherever a class has pawns on both sides, every three-man position, and
// every four-man position on the king pairs that hold the tables' last
// numbers.  The lists handed to the engine hold like men in a random order
// and junk in the slots a class does not fill.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include "given_counts.h"
#include "reference_index.h"
#include "tablebases/tb_types.h"

namespace orvex::tbref {
namespace {

std::string square_name(Square s) {
  if (s > 63) return "-";
  return std::string{static_cast<char>('a' + (s & 7)), static_cast<char>('1' + (s >> 3))};
}

std::string side_text(const SideMen& s) {
  std::string t = "K" + square_name(s.king);
  const char* letters = "PNBRQ";
  for (int k = 0; k < 5; ++k)
    for (Square q : s.men[k]) t += std::string(" ") + letters[k] + square_name(q);
  return t;
}

// The whole case, enough to repeat it in a worked-example table.
std::string describe(const RefPosition& p) {
  std::ostringstream o;
  o << p.name << " side " << p.side << " flip " << p.flip << " first {" << side_text(p.first) << "} second {"
    << side_text(p.second) << "} ep " << square_name(p.ep);
  return o.str();
}

// The engine's list of one side: like men in a random order, junk elsewhere.
TbPieceList engine_list(const SideMen& s, std::mt19937_64& rng) {
  TbPieceList l;
  for (Square& q : l.sq) q = static_cast<Square>(rng() % 64);
  for (int t = 0; t < 5; ++t) {
    std::vector<Square> g = s.men[t];
    std::shuffle(g.begin(), g.end(), rng);
    for (size_t i = 0; i < g.size(); ++i) l.sq[tb_first_slot(static_cast<PieceType>(t)) + i] = g[i];
  }
  l.sq[kTbKingSlot] = s.king;
  return l;
}

u64 engine_number(const RefPosition& p, std::mt19937_64& rng) {
  const TbClassDescriptor* d = nullptr;
  for (const TbClassDescriptor& c : tb_class_descriptors)
    if (c.class_id > 0 && p.name == c.name) d = &c;
  if (!d) return kRefBad;
  const TbPieceList f = engine_list(p.first, rng), g = engine_list(p.second, rng);
  return d->index_fn[p.side](&f, &g, p.ep, p.flip);
}

// Compares one position; reports the first few disagreements of a run in full.
struct Comparer {
  std::mt19937_64 rng{7};
  int failures = 0;
  long compared = 0;
  void check(const RefPosition& p) {
    ++compared;
    u64 want = reference_index(p);
    u64 got = engine_number(p, rng);
    if (want == got) return;
    if (++failures <= 12) ADD_FAILURE() << describe(p) << ": engine " << got << ", reference " << want;
  }
};

bool class_has_both_pawns(const char* name) {
  std::array<std::array<int, 5>, 2> c;
  class_men(name, &c);
  return c[0][0] > 0 && c[1][0] > 0;
}

void compare_random(int per_side, u64 seed) {
  std::mt19937_64 rng(seed);
  Comparer cmp;
  for (const char* name : kClassNames)
    for (int side = 0; side < 2; ++side) {
      for (int i = 0; i < per_side; ++i) cmp.check(random_position(name, side, false, rng));
      if (class_has_both_pawns(name))
        for (int i = 0; i < per_side / 2; ++i) cmp.check(random_position(name, side, true, rng));
    }
  EXPECT_EQ(cmp.failures, 0) << "of " << cmp.compared;
}

TEST(ReferenceCompare, RandomPositionsOfEveryClassAndSide) { compare_random(200, 1); }

TEST(ReferenceCompare, SlowManyRandomPositionsOfEveryClassAndSide) { compare_random(2000, 2); }

// The descriptor table names the classes in class order and holds the counts
// the tables publish or the reference search finds.
TEST(ReferenceCompare, DescriptorNamesAndCounts) {
  for (int id = 1; id <= 440; ++id) {
    const TbClassDescriptor& d = tb_class_descriptors[id];
    EXPECT_EQ(d.class_id, id);
    EXPECT_STREQ(d.name, kClassNames[id - 1]);
    for (int side = 0; side < 2; ++side) {
      u64 want = 0;
      for (const GivenCount& g : kGivenCounts)
        if (g.class_id == id) want = g.count[side];
      for (const GivenCount& g : kSearchedCounts)
        if (g.class_id == id) want = g.count[side];
      EXPECT_EQ(d.position_count[side], want) << d.name << " side " << side;
    }
  }
}

// One side's men from text such as "Kc1 Ph4 Pb5".
SideMen men(const std::string& text) {
  SideMen s;
  std::istringstream in(text);
  std::string w;
  const char* letters = "PNBRQ";
  while (in >> w) {
    Square q = static_cast<Square>((w[1] - 'a') + 8 * (w[2] - '1'));
    if (w[0] == 'K')
      s.king = q;
    else
      s.men[std::strchr(letters, w[0]) - letters].push_back(q);
  }
  return s;
}

// En passant with a second pawn of the mover on the far edge one rank off:
// that pawn stands nine (or seven) squares from the en-passant square, as a
// capturer would, but on another rank, so it is no capturer.
TEST(ReferenceCompare, EnPassantWithAPawnOnTheFarEdge) {
  struct Case {
    const char* name;
    int side;
    const char* first;
    const char* second;
    Square ep;
  };
  const Case cases[] = {
      {"kppkpp", 0, "Kc1 Ph4 Pb5", "Kg8 Pa5 Pe7", 40},   // a6
      {"kppkpp", 0, "Kf1 Pa4 Pg5", "Kb8 Ph5 Pd7", 47},   // h6, mirrored
      {"kppkpp", 1, "Kg1 Pa4 Pe2", "Kc8 Ph5 Pb4", 16},   // a3
      {"knpkpp", 1, "Ke1 Nf3 Pa4", "Kd8 Ph3 Pb4", 16},   // a3
      {"kbpkpp", 0, "Kc1 Bd1 Pb5", "Kg8 Pa5 Ph2", 40},   // a6: the mover's one pawn
      {"kppkp", 0, "Kc1 Ph4 Pb5", "Kg8 Pa5", 40},        // a6
      {"kpppkp", 0, "Kc1 Pc2 Ph4 Pb5", "Kg8 Pa5", 40},   // a6
      {"knppkp", 0, "Kc1 Nf3 Ph4 Pb5", "Kg8 Pa5", 40},   // a6
  };
  Comparer cmp;
  for (const Case& c : cases) {
    RefPosition p;
    p.name = c.name;
    p.side = c.side;
    p.first = men(c.first);
    p.second = men(c.second);
    p.ep = c.ep;
    ASSERT_TRUE(is_legal(p)) << describe(p);
    cmp.check(p);
    RefPosition swapped = p;  // the same with the colours exchanged
    for (SideMen* s : {&swapped.first, &swapped.second}) {
      s->king ^= 56;
      for (auto& g : s->men)
        for (Square& q : g) q ^= 56;
    }
    swapped.ep ^= 56;
    swapped.flip = 1;
    ASSERT_TRUE(is_legal(swapped)) << describe(swapped);
    cmp.check(swapped);
  }
  EXPECT_EQ(cmp.failures, 0);
}

// Every three-man position, both sides to move and both colours.
TEST(ReferenceCompare, SlowEveryThreeManPosition) {
  Comparer cmp;
  for (const char* name : {"kpk", "knk", "kbk", "krk", "kqk"}) {
    int t = name[1] == 'p' ? 0 : name[1] == 'n' ? 1 : name[1] == 'b' ? 2 : name[1] == 'r' ? 3 : 4;
    RefPosition p;
    p.name = name;
    p.first.men[t].push_back(0);
    for (int side = 0; side < 2; ++side)
      for (int flip = 0; flip < 2; ++flip)
        for (Square a = 0; a < 64; ++a)
          for (Square b = 0; b < 64; ++b)
            for (Square c = 0; c < 64; ++c) {
              p.side = side;
              p.flip = flip;
              p.first.king = a;
              p.second.king = b;
              p.first.men[t][0] = c;
              if (is_legal(p)) cmp.check(p);
            }
  }
  EXPECT_EQ(cmp.failures, 0) << "of " << cmp.compared;
}

// Every four-man position whose kings stand where the tables end (the last
// king pairs of either frame), with every en-passant square it allows.
TEST(ReferenceCompare, SlowFourManPositionsAtTheEndOfTheTables) {
  Comparer cmp;
  for (int id = 6; id <= 35; ++id) {
    const char* name = kClassNames[id - 1];
    std::array<std::array<int, 5>, 2> c;
    ASSERT_TRUE(class_men(name, &c));
    bool both = c[0][0] > 0 && c[1][0] > 0;
    std::vector<std::pair<int, int>> men;  // side, type
    for (int s = 0; s < 2; ++s)
      for (int t = 0; t < 5; ++t)
        for (int i = 0; i < c[s][t]; ++i) men.push_back({s, t});
    for (int side = 0; side < 2; ++side)
      for (auto [mk, ok] : {std::pair<Square, Square>{59, 63}, {3, 7}, {27, 63}}) {
        RefPosition p;
        p.name = name;
        p.side = side;
        (side == 0 ? p.first : p.second).king = mk;
        (side == 0 ? p.second : p.first).king = ok;
        for (auto [s, t] : men) (s == 0 ? p.first : p.second).men[t].push_back(0);
        auto& m0 = (men[0].first == 0 ? p.first : p.second).men[men[0].second];
        auto& m1 = (men[1].first == 0 ? p.first : p.second).men[men[1].second];
        bool same_group = &m0 == &m1;
        for (Square x = 0; x < 64; ++x)
          for (Square y = 0; y < 64; ++y) {
            if (same_group) {
              m0[0] = x;
              m0[1] = y;
            } else {
              m0[0] = x;
              m1[0] = y;
            }
            p.ep = 127;
            if (!is_legal(p)) continue;
            cmp.check(p);
            if (!both) continue;
            for (Square e = 16; e < 48; ++e)
              if (ep_possible(p, e)) {
                p.ep = e;
                cmp.check(p);
              }
          }
      }
  }
  EXPECT_EQ(cmp.failures, 0) << "of " << cmp.compared;
}

}  // namespace
}  // namespace orvex::tbref
