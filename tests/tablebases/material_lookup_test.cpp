// The material lookup: every class is found from its material in both
// colours, and material without a table finds nothing.
#include <gtest/gtest.h>

#include <string>

#include "position/fen.h"
#include "tablebases/material.h"
#include "tests/tablebases/index_test_util.h"

namespace orvex::testing {
namespace {

class TbMaterialLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_material_classes();
    for (i32 c = 1; c < kTbClassCount; ++c) ASSERT_TRUE(insert_material_class(tb_class_descriptors[c]));
  }
  void TearDown() override { clear_material_classes(); }
};

void counts_of(const char* men, u32 counts[5]) {
  for (const char* c = men; *c; ++c) {
    const char* kinds = "pnbrq";
    ++counts[std::strchr(kinds, *c) - kinds];
  }
}

TEST_F(TbMaterialLookup, EveryClassInBothColours) {
  for (i32 c = 1; c < kTbClassCount; ++c) {
    const TbClassDescriptor& d = tb_class_descriptors[c];
    EXPECT_EQ(d.class_id, c);
    const char* second_k = std::strchr(d.name + 1, 'k');
    const std::string first(d.name + 1, second_k), second(second_k + 1);
    u32 a[5] = {}, b[5] = {};
    counts_of(first.c_str(), a);
    counts_of(second.c_str(), b);
    // A class with the same men on both sides is entered twice unless it is
    // symmetric, and the second entry (Black as the first side) stands.
    const i32 swapped = (d.flags & kTbSymmetric) ? c : -c;
    EXPECT_EQ(tb_material_class(a, b), first == second ? swapped : c) << d.name;
    EXPECT_EQ(tb_material_class(b, a), swapped) << d.name;
  }
}

TEST_F(TbMaterialLookup, MaterialWithoutTable) {
  const struct {
    const char* white;
    const char* black;
  } none[] = {{"", ""}, {"ppppp", ""}, {"pppp", "p"}, {"qqq", "qq"}, {"nn", "nnn"}, {"", "rrrrr"}};
  for (const auto& n : none) {
    u32 a[5] = {}, b[5] = {};
    counts_of(n.white, a);
    counts_of(n.black, b);
    EXPECT_EQ(tb_material_class(a, b), 0) << n.white << " / " << n.black;
  }
  u32 nine[5] = {9, 0, 0, 0, 0}, empty[5] = {};
  EXPECT_EQ(tb_material_class(nine, empty), 0);
}

TEST_F(TbMaterialLookup, ClassesOfGivenMaterial) {
  const struct {
    const char* white;
    const char* black;
    i32 value;
  } cases[] = {{"q", "r", 19}, {"r", "q", -19}, {"n", "n", 8}, {"b", "n", 10}, {"n", "b", -10}};
  for (const auto& c : cases) {
    u32 a[5] = {}, b[5] = {};
    counts_of(c.white, a);
    counts_of(c.black, b);
    EXPECT_EQ(tb_material_class(a, b), c.value) << c.white << " / " << c.black;
  }
  clear_material_classes();
  u32 q[5] = {0, 0, 0, 0, 1}, r[5] = {0, 0, 0, 1, 0};
  EXPECT_EQ(tb_material_class(q, r), 0);  // nothing entered
}

// A position's class, side, flip and lists, and the number they give.
TEST_F(TbMaterialLookup, LocateFromPosition) {
  const struct {
    const char* fen;
    i32 class_id;
    u32 side;
    i32 flip;
    u64 number;
  } cases[] = {
      {"4k3/8/8/8/8/8/4P3/4K3 w - -", 1, 0, 0, 10487},
      {"4k3/4p3/8/8/8/8/8/4K3 b - -", 1, 0, 1, 10487},
      {"k7/8/8/3R4/8/2K5/8/8 b - -", 4, 1, 0, 955},
      {"4k3/8/8/8/3Pp3/8/8/4K3 b - d3", 6, 0, 1, 3841424},
  };
  for (const auto& c : cases) {
    parse_fen(c.fen);
    TbProbeTarget t;
    ASSERT_TRUE(tb_locate(current_position, &t)) << c.fen;
    EXPECT_EQ(t.class_id, c.class_id) << c.fen;
    EXPECT_EQ(t.side, c.side) << c.fen;
    EXPECT_EQ(t.flip, c.flip) << c.fen;
    EXPECT_EQ(tb_index(t), c.number) << c.fen;
  }
  parse_fen("4k3/8/8/8/8/8/PPPPP3/4K3 w - -");
  TbProbeTarget t;
  EXPECT_FALSE(tb_locate(current_position, &t));
}

}  // namespace
}  // namespace orvex::testing
