#include "search/tt.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

using namespace orvex;

namespace {

constexpr u64 kKey = 0xABCD123400000004ull;  // bucket 4 of the small table
constexpr u32 kHigh = 0xABCD1234u;

// A table of N = 8 entries (11 with the spares); ages at 5.
struct TtTable : ::testing::Test {
  std::vector<TtEntry> mem = std::vector<TtEntry>(11);
  void SetUp() override {
    tt_attach(mem.data(), mem.size());
    current_age = 5;
    compute_age_weights();
    tt_preserve_analysis = false;
    current_position.state.key = kKey;
  }
  void TearDown() override { tt_detach(); }
  TtEntry* bucket() { return tt_bucket(kKey); }
};

TtEntry entry(u32 key_high, u8 depth, u8 age, u16 move, u8 move_depth, i16 lower, u8 lower_depth, i16 upper,
              u8 upper_depth, u8 flags) {
  TtEntry e{};
  e.key_high = key_high;
  e.depth = depth;
  e.age = age;
  e.move = move;
  e.move_depth = move_depth;
  e.lower = lower;
  e.lower_depth = lower_depth;
  e.upper = upper;
  e.upper_depth = upper_depth;
  e.flags = flags;
  return e;
}

bool same(const TtEntry& a, const TtEntry& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string show(const TtEntry& e) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "key %08x depth %u age %u move %u/%u lower %d/%u upper %d/%u flags %02x", e.key_high,
                e.depth, e.age, e.move, e.move_depth, e.lower, e.lower_depth, e.upper, e.upper_depth, e.flags);
  return buf;
}

enum class Store { kExact, kExactTb, kLower, kLowerNoMove, kUpper };

// A store of the general search, or (kMateDistances false) of a search that
// scores mates without their distance.
template <bool kMateDistances = true>
void run_store(Store s, u16 move, i32 depth, i32 score, u8 type) {
  switch (s) {
    case Store::kExact: tt_store_exact<true, true, kMateDistances>(move, depth, score); break;
    case Store::kExactTb: tt_store_exact<true, true, kMateDistances>(move, depth, score, true); break;
    case Store::kLower: tt_store_lower<true, true, kMateDistances>(move, depth, score, type); break;
    case Store::kLowerNoMove: tt_store_lower_nomove<true, true, kMateDistances>(depth, score, type); break;
    case Store::kUpper: tt_store_upper<true, true, kMateDistances>(depth, score, type); break;
  }
}

struct UpdateCase {
  const char* what;
  TtEntry before;  // the entry of the position, in the first slot
  Store store;
  u16 move;
  i32 depth;
  i32 score;
  u8 type;
  TtEntry after;
};

}  // namespace

TEST(TtLayout, EntryIsSixteenBytesInBucketsOfFour) {
  EXPECT_EQ(sizeof(TtEntry), 16u);
  EXPECT_EQ(sizeof(TtEntry) * kTtBucketSize, 64u);
}

TEST(TtScores, MateScoresAreHeldRelativeToTheNode) {
  struct Case {
    i32 score, store_ply, stored, read_ply, read;
  } cases[] = {
      {31500, 5, 31505, 3, 31502},     // mate found at ply 5, read back at ply 3
      {-31500, 5, -31505, 3, -31502},
      {31000, 4, 31004, 4, 31000},     // the threshold itself is mate-class
      {-31000, 4, -31004, 4, -31000},
      {30999, 7, 30999, 2, 30999},     // ordinary scores are left alone
      {-250, 7, -250, 2, -250},
      {31990, 40, 32030, 40, 31990},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(score_to_tt(c.score, c.store_ply), c.stored) << c.score;
    EXPECT_EQ(score_from_tt(static_cast<i16>(c.stored), c.read_ply), c.read) << c.score;
    EXPECT_EQ(score_from_tt(score_to_tt(c.score, c.store_ply), c.store_ply), c.score) << c.score;
  }
  // Reading adjusts only beyond the threshold.
  EXPECT_EQ(score_from_tt(31000, 9), 31000);
  EXPECT_EQ(score_from_tt(31001, 9), 30992);
}

TEST(TtAges, WeightsGrowWithTheAgeOfAnEntry) {
  reset_tt_ages();
  EXPECT_EQ(current_age, 0u);
  EXPECT_EQ(age_weights[0], 256u);
  EXPECT_EQ(age_weights[63], 512u);
  EXPECT_EQ(age_weights[1], 64u * 256);
  current_age = 63;
  advance_tt_age();
  EXPECT_EQ(current_age, 0u);
  advance_tt_age();
  EXPECT_EQ(current_age, 1u);
  EXPECT_EQ(age_weights[1], 256u);
  EXPECT_EQ(age_weights[0], 512u);
}

TEST(TtDepth, ClampedBeforeTheMateFlag) {
  EXPECT_EQ(tt_depth_byte(12, false), 12);
  EXPECT_EQ(tt_depth_byte(127, false), 127);
  EXPECT_EQ(tt_depth_byte(128, false), 127);
  EXPECT_EQ(tt_depth_byte(300, false), 127);
  EXPECT_EQ(tt_depth_byte(-3, false), 0);
  EXPECT_EQ(tt_depth_byte(12, true), 140);
  EXPECT_EQ(tt_depth_byte(200, true), 255);
}

TEST_F(TtTable, StoresUpdateTheMatchingEntryByTheirRules) {
  const u8 kLC = kTtLowerTypeClear, kUS = kTtUpperTypeSet, kP = kTtProbed;
  const UpdateCase cases[] = {
      // Exact: each part replaced when at least as deep; always probed.
      {"exact shallower", entry(kHigh, 20, 1, 11, 20, 100, 20, 200, 20, kLC | kUS), Store::kExact, 22, 10, 50, 0,
       entry(kHigh, 20, 5, 11, 20, 100, 20, 200, 20, kLC | kUS | kP)},
      {"exact as deep", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 10, kLC | kUS | kTtProbeHigh), Store::kExact, 22, 10,
       50, 0, entry(kHigh, 10, 5, 22, 10, 50, 10, 50, 10, kP | kTtProbeHigh)},
      {"exact tablebase marks bit 7", entry(kHigh, 20, 1, 11, 20, 100, 20, 200, 20, 0), Store::kExactTb, 22, 3, 31500,
       0, entry(kHigh, 131, 5, 22, 131, 31500, 131, 31500, 131, kP)},
      {"exact mate keeps its plain depth", entry(kHigh, 4, 1, 11, 4, 100, 4, 200, 4, 0), Store::kExact, 22, 6, 31800,
       0, entry(kHigh, 6, 5, 22, 6, 31800, 6, 31800, 6, kP)},
      // Lower with move: a restricted bound needs one more half ply.
      {"lower restricted same depth", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 8, 0), Store::kLower, 22, 10, 150,
       kLC, entry(kHigh, 10, 5, 11, 10, 100, 10, 200, 8, 0)},
      {"lower restricted one deeper", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 8, kUS), Store::kLower, 22, 11, 150,
       kLC, entry(kHigh, 11, 5, 22, 11, 150, 11, 200, 8, kUS | kLC)},
      {"lower free same depth", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 8, 0), Store::kLower, 22, 10, 150, 0,
       entry(kHigh, 10, 5, 22, 10, 150, 10, 200, 8, 0)},
      {"lower free shallower", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 8, 0), Store::kLower, 22, 9, 150, 0,
       entry(kHigh, 10, 5, 11, 10, 100, 10, 200, 8, 0)},
      {"lower free replaces a restricted bound", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 8, kLC), Store::kLower, 22,
       4, 150, kP, entry(kHigh, 10, 5, 22, 4, 150, 4, 200, 8, kP)},
      {"lower mate-class counts as deeper", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 8, 0), Store::kLower, 22, 3,
       31005, kLC, entry(kHigh, 131, 5, 22, 131, 31005, 131, 200, 8, kLC)},
      {"lower depth clamped", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 8, 0), Store::kLower, 22, 400, 150, 0,
       entry(kHigh, 127, 5, 22, 127, 150, 127, 200, 8, 0)},
      // Lower without move: two more half plies when restricted; move kept.
      {"nomove restricted one deeper", entry(kHigh, 10, 1, 11, 10, 100, 10, 0, 0, 0), Store::kLowerNoMove, 0, 11, 150,
       kLC, entry(kHigh, 11, 5, 11, 10, 100, 10, 0, 0, 0)},
      {"nomove restricted two deeper", entry(kHigh, 10, 1, 11, 10, 100, 10, 0, 0, 0), Store::kLowerNoMove, 0, 12, 150,
       kLC, entry(kHigh, 12, 5, 11, 10, 150, 12, 0, 0, kLC)},
      {"nomove free over restricted", entry(kHigh, 10, 1, 11, 10, 100, 10, 0, 0, kLC | kUS), Store::kLowerNoMove, 0, 2,
       150, 0, entry(kHigh, 10, 5, 11, 10, 150, 2, 0, 0, kUS)},
      // Upper: two more half plies unless free; the free one also replaces a
      // bound flagged kTtUpperTypeSet at any depth.
      {"upper type 2 same depth", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 10, 0), Store::kUpper, 0, 10, 150, kUS,
       entry(kHigh, 10, 5, 11, 10, 100, 10, 200, 10, 0)},
      {"upper type 2 two deeper", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 10, kLC | kTtProbeHigh), Store::kUpper, 0,
       12, 150, kUS, entry(kHigh, 12, 5, 11, 10, 100, 10, 150, 12, kLC | kUS | kP | kTtProbeHigh)},
      {"upper type 0 same depth", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 10, 0), Store::kUpper, 0, 10, 150, 0,
       entry(kHigh, 10, 5, 11, 10, 100, 10, 150, 10, kP)},
      {"upper type 0 over a set-type bound", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 10, kUS), Store::kUpper, 0, 3,
       150, 0, entry(kHigh, 10, 5, 11, 10, 100, 10, 150, 3, kP)},
      {"upper probe bit alone is a type", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 10, 0), Store::kUpper, 0, 11, 150,
       kTtProbeHigh, entry(kHigh, 11, 5, 11, 10, 100, 10, 200, 10, 0)},
      {"upper mate-class clamped and marked", entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 10, 0), Store::kUpper, 0, 200,
       -31002, kUS, entry(kHigh, 255, 5, 11, 10, 100, 10, -31002, 255, kUS | kP)},
  };
  for (const UpdateCase& c : cases) {
    std::fill(mem.begin(), mem.end(), TtEntry{});
    TtEntry* b = bucket();
    b[0] = c.before;
    // A better victim elsewhere in the bucket does not matter.
    b[2] = entry(0x1111, 1, 40, 0, 0, 0, 0, 0, 0, 0);
    const TtEntry other = b[2];
    run_store(c.store, c.move, c.depth, c.score, c.type);
    EXPECT_TRUE(same(b[0], c.after)) << c.what << "\n got  " << show(b[0]) << "\n want " << show(c.after);
    EXPECT_TRUE(same(b[2], other)) << c.what;
  }
}

// The stores of a search without mate distances mark each bound they write;
// every other store of that bound clears its mark.  The depth and value
// rules are those above.
TEST_F(TtTable, StoresWithoutMateDistancesMarkTheBoundsTheyWrite) {
  const u8 kLF = kTtLowerFlatMate, kUF = kTtUpperFlatMate, kP = kTtProbed;
  struct Case {
    const char* what;
    u8 flags_before;  // of a matching entry with both bounds at depth 10; 0xFF: no entry
    Store store;
    bool flat;
    i32 depth;
    u8 flags_after;
  };
  const Case cases[] = {
      {"new lower", 0xFF, Store::kLower, true, 4, kLF},
      {"new lower without move", 0xFF, Store::kLowerNoMove, true, 4, kLF},
      {"new upper", 0xFF, Store::kUpper, true, 4, kUF | kP},
      {"new exact", 0xFF, Store::kExact, true, 4, kLF | kUF | kP},
      {"lower over a plain one", 0, Store::kLower, true, 12, kLF},
      {"upper over a plain one", 0, Store::kUpper, true, 12, kUF | kP},
      {"too shallow to replace", 0, Store::kLower, true, 4, 0},
      {"plain lower clears its mark", kLF | kUF, Store::kLower, false, 12, kUF},
      {"plain lower without move", kLF | kUF, Store::kLowerNoMove, false, 12, kUF},
      {"plain upper clears its mark", kLF | kUF, Store::kUpper, false, 12, kLF | kP},
      {"plain exact clears both", kLF | kUF, Store::kExact, false, 12, kP},
  };
  for (const Case& c : cases) {
    std::fill(mem.begin(), mem.end(), TtEntry{});
    if (c.flags_before != 0xFF) bucket()[0] = entry(kHigh, 10, 1, 11, 10, 100, 10, 200, 10, c.flags_before);
    if (c.flat)
      run_store<false>(c.store, 7, c.depth, 150, 0);
    else
      run_store(c.store, 7, c.depth, 150, 0);
    const TtEntry* e = tt_first_match(kKey);
    ASSERT_NE(e, nullptr) << c.what;
    EXPECT_EQ(e->flags, c.flags_after) << c.what;
  }
}

// A marked mate-class bound is none to the stores that count mates by ply:
// however deep, it does not keep their results out; nor does an unmarked one
// whose value carries no distance.  A search without mate distances keeps
// the usual rule, and so do a marked bound that is no mate and a real mate.
TEST_F(TtTable, MarkedMateBoundsDoNotKeepOutTheStoresWithMateDistances) {
  struct Case {
    const char* what;
    i16 lower, upper;  // of the entry, marked, both at depth byte 140
    bool flat_store;
    Store store;
    bool replaced;
    u8 marks = kTtLowerFlatMate | kTtUpperFlatMate;
  };
  const Case cases[] = {
      {"plain lower over a flat mate", 31000, -31000, false, Store::kLower, true},
      {"plain lower without move", 31000, -31000, false, Store::kLowerNoMove, true},
      {"plain upper over a flat mated bound", 31000, -31000, false, Store::kUpper, true},
      {"plain exact", 31000, -31000, false, Store::kExact, true},
      {"flat lower keeps the rule", 31000, -31000, true, Store::kLower, false},
      {"flat upper keeps the rule", 31000, -31000, true, Store::kUpper, false},
      {"plain lower over a flat non-mate", 500, -500, false, Store::kLower, false},
      {"plain upper over a flat non-mate", 500, -500, false, Store::kUpper, false},
      {"plain lower over a flat mate that lost its mark", 31000, -31000, false, Store::kLower, true, 0},
      {"plain upper over a flat mate that lost its mark", 31000, -31000, false, Store::kUpper, true, 0},
      {"plain lower over a real mate, unmarked", 31990, -31990, false, Store::kLower, false, 0},
  };
  for (const Case& c : cases) {
    std::fill(mem.begin(), mem.end(), TtEntry{});
    bucket()[0] = entry(kHigh, 140, 1, 11, 140, c.lower, 140, c.upper, 140, c.marks);
    if (c.flat_store)
      run_store<false>(c.store, 7, 10, 150, 0);
    else
      run_store(c.store, 7, 10, 150, 0);
    const TtEntry* e = tt_first_match(kKey);
    ASSERT_NE(e, nullptr) << c.what;
    const bool lower_side = c.store != Store::kUpper;
    const i16 now = lower_side ? e->lower : e->upper;
    EXPECT_EQ(now == 150, c.replaced) << c.what << ": " << show(*e);
  }
}

TEST_F(TtTable, NewEntriesTakeTheVictimAndKeepOnlyTheUnnamedFields) {
  // The victim's old upper value survives a lower store, its lower value an
  // upper store, as the bound depths say they are not there.
  const TtEntry victim = entry(0x7777, 3, 5, 33, 3, 444, 3, 555, 3, 0x0F);
  struct Case {
    const char* what;
    Store store;
    u16 move;
    i32 depth;
    i32 score;
    u8 type;
    TtEntry after;
  } cases[] = {
      {"exact", Store::kExact, 22, 9, 70, 0, entry(kHigh, 9, 5, 22, 9, 70, 9, 70, 9, kTtProbed)},
      {"lower", Store::kLower, 22, 9, 70, kTtLowerTypeClear | kTtProbeHigh,
       entry(kHigh, 9, 5, 22, 9, 70, 9, 555, 0, kTtLowerTypeClear | kTtProbeHigh)},
      {"lower without move", Store::kLowerNoMove, 0, 9, 70, 0, entry(kHigh, 9, 5, 0, 0, 70, 9, 555, 0, 0)},
      {"upper", Store::kUpper, 0, 9, -70, kTtUpperTypeSet,
       entry(kHigh, 9, 5, 0, 0, 444, 0, -70, 9, kTtUpperTypeSet | kTtProbed)},
      {"upper mate", Store::kUpper, 0, 9, -31500, 0, entry(kHigh, 137, 5, 0, 0, 444, 0, -31500, 137, kTtProbed)},
  };
  for (const Case& c : cases) {
    std::fill(mem.begin(), mem.end(), TtEntry{});
    TtEntry* b = bucket();
    for (u32 i = 0; i < 4; ++i) b[i] = entry(0x1000 + i, 50, 5, 0, 0, 0, 0, 0, 0, 0);
    b[1] = victim;
    run_store(c.store, c.move, c.depth, c.score, c.type);
    EXPECT_TRUE(same(b[1], c.after)) << c.what << "\n got  " << show(b[1]) << "\n want " << show(c.after);
  }
}

namespace {
struct VictimCase {
  const char* what;
  bool preserve;
  u8 depth[4];
  u8 age[4];
  u32 victim;
};
}  // namespace

TEST_F(TtTable, VictimIsTheEntryOfGreatestWeight) {
  const VictimCase cases[] = {
      {"shallowest of the running search", false, {10, 5, 7, 5}, {5, 5, 5, 5}, 1},
      {"older search first whatever its depth", false, {1, 1, 127, 1}, {5, 5, 4, 5}, 2},
      {"oldest of several old ones", false, {1, 1, 9, 9}, {4, 3, 2, 4}, 2},
      {"old means 63 searches back too", false, {1, 1, 1, 1}, {5, 6, 5, 5}, 1},
      {"mate flag does not count as depth", false, {140, 13, 14, 15}, {5, 5, 5, 5}, 0},
      {"preserve: deep old entry survives", true, {25, 19, 12, 19}, {0, 5, 5, 5}, 2},
      {"preserve: depth 20 is protected", true, {20, 19, 19, 19}, {1, 5, 5, 5}, 1},
      {"preserve: mate-class is protected", true, {130, 19, 18, 19}, {1, 5, 5, 5}, 2},
      {"preserve: all deep, the shallowest goes", true, {40, 25, 60, 160}, {0, 5, 1, 2}, 1},
      {"preserve off: the deep old entry goes", false, {25, 19, 12, 19}, {0, 5, 5, 5}, 0},
  };
  for (const VictimCase& c : cases) {
    std::fill(mem.begin(), mem.end(), TtEntry{});
    TtEntry* b = bucket();
    for (u32 i = 0; i < 4; ++i) b[i] = entry(0x2000 + i, c.depth[i], c.age[i], 0, 0, 0, 0, 0, 0, 0);
    tt_preserve_analysis = c.preserve;
    tt_store_lower_nomove(3, 0, 0);
    for (u32 i = 0; i < 4; ++i)
      EXPECT_EQ(b[i].key_high == kHigh, i == c.victim) << c.what << " slot " << i;
  }
}

TEST_F(TtTable, StoresWithoutThePreserveRuleIgnoreTheOption) {
  TtEntry* b = bucket();
  const u8 depth[4] = {25, 19, 12, 19};
  const u8 age[4] = {0, 5, 5, 5};
  for (u32 i = 0; i < 4; ++i) b[i] = entry(0x2000 + i, depth[i], age[i], 0, 0, 0, 0, 0, 0, 0);
  tt_preserve_analysis = true;
  tt_store_upper<false>(3, 0, 0);
  EXPECT_EQ(b[0].key_high, kHigh);
}

TEST_F(TtTable, ProbesFindFirstOrLastMatchAndOnlyTheProbeRefreshesTheAge) {
  TtEntry* b = bucket();
  b[0] = entry(0x3333, 5, 1, 1, 5, 0, 0, 0, 0, 0);
  b[1] = entry(kHigh, 5, 1, 2, 5, 0, 0, 0, 0, 0);
  b[2] = entry(kHigh, 30, 1, 3, 30, 0, 0, 0, 0, 0);
  b[3] = entry(kHigh, 9, 1, 4, 9, 0, 0, 0, 0, 0);
  EXPECT_EQ(tt_first_match(kKey), &b[1]);
  EXPECT_EQ(b[1].age, 1);
  EXPECT_EQ(tt_probe(kKey), &b[1]);
  EXPECT_EQ(b[1].age, 5);
  EXPECT_EQ(b[2].age, 1);
  EXPECT_EQ(tt_last_match(kKey), &b[3]);
  EXPECT_EQ(tt_last_match_if(kKey, [](const TtEntry& e) { return e.move_depth >= 14; }), &b[2]);
  EXPECT_EQ(tt_last_match_if(kKey, [](const TtEntry& e) { return e.move_depth >= 40; }), nullptr);
  EXPECT_EQ(tt_probe(0x4444000000000004ull), nullptr);
}

TEST_F(TtTable, LastBucketStaysInsideTheTableAndZeroingClearsAll) {
  // Index mask 6: the highest bucket starts at 6 and ends at the last spare.
  EXPECT_EQ(tt.index_mask, 6u);
  EXPECT_EQ(tt.entry_count, 11u);
  for (i32 d = 1; d <= 6; ++d) {
    current_position.state.key = 0x5555000000000000ull + (u64{static_cast<u32>(d)} << 32) + 0xFFFFFFFFull;
    tt_store_exact(1, d, 0);
  }
  for (u32 i = 6; i <= 9; ++i) EXPECT_NE(mem[i].depth, 0) << i;
  EXPECT_EQ(mem[5].key_high, 0u);  // nothing below the bucket was touched
  tt_zero();
  for (const TtEntry& e : mem) EXPECT_TRUE(same(e, TtEntry{}));
}

TEST(TtDetached, StoresAndProbesDoNothingWithoutATable) {
  tt_detach();
  current_position.state.key = kKey;
  tt_store_exact(1, 5, 0);
  tt_store_lower(1, 5, 0, 0);
  tt_store_lower_nomove(5, 0, 0);
  tt_store_upper(5, 0, 0);
  EXPECT_EQ(tt_probe(kKey), nullptr);
  EXPECT_EQ(tt_last_match(kKey), nullptr);
  tt_zero();
}
