// The edition's table stores: bound types against node types, mate flags,
// matching before replacing, no probe marks, and mate scores stored as
// distances from the node.
#include <gtest/gtest.h>

#include <vector>

#include "larkspire/search.h"
#include "position/fen.h"
#include "search/tt.h"

namespace orvex::larkspire {
namespace {

class EditionStores : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::vector<TtEntry> table((std::size_t{1} << 10) + 3);
    tt_attach(table.data(), table.size());
    tt_zero();
    reset_tt_ages();
    parse_fen("4k3/8/8/8/8/8/8/4K3 w - -");
  }
  static TtEntry& entry() { return *tt_first_match(current_position.state.key); }
};

TEST_F(EditionStores, TypedBoundsAndDepths) {
  tt_store_lower(0x111, 10, 50, 1);
  tt_store_lower(0x222, 10, 60, 1);  // same depth, typed: kept
  EXPECT_EQ(entry().lower, 50);
  EXPECT_EQ(entry().move, 0x111);
  tt_store_lower(0x333, 10, 70, 0);  // untyped replaces at the same depth
  EXPECT_EQ(entry().lower, 70);
  EXPECT_EQ(entry().flags & kTtLowerTypeClear, 0);
  tt_store_lower(0x444, 12, 80, 1);
  tt_store_lower(0x555, 2, 90, 0);  // untyped over a typed bound: any depth
  EXPECT_EQ(entry().lower, 90);
  EXPECT_EQ(entry().lower_depth, 2);
  // Null-move bounds need two half plies more over a typed bound.
  SetUp();
  tt_store_lower(0x111, 10, 50, 1);
  tt_store_lower_nomove(11, 60, 1);
  EXPECT_EQ(entry().lower, 50);
  tt_store_lower_nomove(12, 70, 1);
  EXPECT_EQ(entry().lower, 70);
  EXPECT_EQ(entry().move, 0x111);
  // An exact store below every stored depth changes only the age.
  SetUp();
  tt_store_exact(0x111, 10, 5);
  advance_tt_age();
  tt_store_exact(0x222, 4, 9);
  EXPECT_EQ(entry().move, 0x111);
  EXPECT_EQ(entry().lower, 5);
  EXPECT_EQ(entry().depth, 10);
  EXPECT_EQ(entry().age, current_age);
  // No store marks a probe.
  tt_store_upper(20, -5, 2);
  EXPECT_EQ(entry().flags & (kTtProbed | kTtProbeHigh), 0);
}

TEST_F(EditionStores, MateFlagsAndFreshEntries) {
  tt_store_lower(0x111, 6, 31000, 0);
  EXPECT_EQ(entry().lower_depth, 6 | 128);
  SetUp();
  tt_store_lower(0x111, 6, 30999, 0);
  EXPECT_EQ(entry().lower_depth, 6);
  SetUp();
  tt_store_upper(6, -31000, 0);
  EXPECT_EQ(entry().upper_depth, 6 | 128);
  EXPECT_EQ(entry().lower_depth, 0);  // a fresh upper bound has no lower one
  SetUp();
  tt_store_exact(0x111, 6, 31500);
  EXPECT_EQ(entry().lower_depth, 6);  // exact stores carry no flag
  // Distances from the node.
  EXPECT_EQ(to_stored(31500, 10), 31510);
  EXPECT_EQ(from_stored(31510, 4), 31506);
  EXPECT_EQ(to_stored(-31500, 10), -31510);
  EXPECT_EQ(from_stored(-31510, 4), -31506);
  EXPECT_EQ(to_stored(31000, 10), 31000);
}

TEST_F(EditionStores, AMatchInTheSecondEntryIsTheOneChanged) {
  const u64 key = current_position.state.key;
  TtEntry* bucket = tt_bucket(key);
  bucket[1].key_high = static_cast<u32>(key >> 32);
  bucket[1].age = 5;  // the first entry would be the better victim
  tt_store_upper(8, 40, 0);
  EXPECT_EQ(bucket[0].key_high, 0u);
  EXPECT_EQ(bucket[1].upper, 40);
  EXPECT_EQ(bucket[1].upper_depth, 8);
}

}  // namespace
}  // namespace orvex::larkspire
