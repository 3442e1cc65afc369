// The probe of the current position on the project's generated tables, the
// score conversion and the cache size.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "position/fen.h"
#include "position/position.h"
#include "search/search_stack.h"
#include "tablebases/cache.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"
#include "tb_test_dir.h"

namespace orvex {
namespace {

// A win in m moves (value 32767 - m) scores as a mate given on ply 2m - 1,
// 32001 - 2m; a loss in m moves (value m - 32766) as mated on ply 2m,
// -32000 + 2m.  One-byte values stay beyond 31700 and inside 32000.
TEST(TbScore, TableValuesBecomeScores) {
  struct Case {
    i32 value;
    bool has;
    i32 score;
  } cases[] = {
      {0, true, 0},           {32766, true, 31999},   {32641, true, 31749},  {32640, true, 31747},
      {-32766, true, -32000}, {-32765, true, -31998}, {-32641, true, -31750}, {-32640, true, -31748},
      {-32639, true, -31746}, {kTbUnknown, false, 0}, {100, false, 0},       {-100, false, 0},
      {16766, false, 0},      {16767, true, 1},       {-16766, false, 0},    {-16767, true, -2},
      {-32767, false, 0},     {-32768, false, 0},
  };
  for (const Case& c : cases) {
    i32 s = 12345;
    EXPECT_EQ(tb_value_to_score(c.value, &s), c.has) << c.value;
    if (c.has) {
      EXPECT_EQ(s, c.score) << c.value;
    }
  }
  // Every value a one-byte table gives (and the fixed kppkp value -32639)
  // scores beyond the tablebase threshold and inside the mate bound.
  for (i32 v = 32640; v <= 32766; ++v) {
    for (i32 value : {v, -v, -32639}) {
      i32 s = 0;
      ASSERT_TRUE(tb_value_to_score(value, &s)) << value;
      EXPECT_TRUE(value > 0 ? s > kTbScoreThreshold && s < kMateScore : s < -kTbScoreThreshold && s >= -kMateScore)
          << value << " " << s;
    }
  }
}

TEST(TbCacheSize, ClampsAndKeepsSlots) {
  struct Case {
    u32 mb;
    u32 bytes;
    u32 slots;
  } cases[] = {{1, 1u << 20, 126}, {0, 1u << 20, 126}, {4, 4u << 20, 506}, {300, 256u << 20, (256u << 20) / 8284}};
  for (const Case& c : cases) {
    EXPECT_EQ(set_tb_cache_size(c.mb), 1u) << c.mb;
    EXPECT_EQ(tb_cache_bytes, c.bytes) << c.mb;
    EXPECT_EQ(tb_cache_slot_count(), c.slots) << c.mb;
  }
  set_tb_cache_size(1);
}

// Probes on the tables the build generated with orvex-tbgen.
class TbProbe : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    set_tb_cache_size(1);
    ASSERT_EQ(init_tablebases((std::string(ORVEX_TABLES_DIR) + "/" + GetParam()).c_str()), 3u);
  }
  void TearDown() override { init_tablebases("/nonexistent"); }
  static i32 probe(const char* fen, bool* found) {
    parse_fen(fen);
    i32 s = 99999;
    *found = probe_tablebases(&s) == 1;
    return s;
  }
};

TEST_P(TbProbe, ScoresFromTheSideToMove) {
  constexpr i32 kAnyWin = 1;  // a mate in some moves
  struct Case {
    const char* fen;
    bool found;
    i32 score;
  } cases[] = {
      // Mate in 1 for the side to move, both colours (the second through the
      // colour-swapped lookup).
      {"k7/8/1K6/8/8/8/7Q/8 w - - 0 1", true, 31999},
      {"K7/8/1k6/8/8/8/7q/8 b - - 0 1", true, 31999},
      // Mated in 1 (every move reaches a mate in 1), and checkmated: lost now.
      {"7k/8/6K1/8/8/8/8/Q7 b - - 0 1", true, -31998},
      {"k6Q/8/1K6/8/8/8/8/8 b - - 0 1", true, -32000},
      {"K6q/8/1k6/8/8/8/8/8 w - - 0 1", true, -32000},
      // Bare bishop or knight: draws are results too.
      {"8/8/3k4/8/8/2KB4/8/8 w - - 0 1", true, 0},
      {"8/8/3k4/8/8/2KN4/8/8 b - - 0 1", true, 0},
      // KPK: the black king outside the pawn's square, and a stalemate.
      {"8/8/8/8/8/k7/7P/4K3 w - - 0 1", true, kAnyWin},
      {"4k3/4P3/4K3/8/8/8/8/8 b - - 0 1", true, 0},
      // No table for the material.
      {"8/8/3k4/8/8/2KQQ3/8/8 w - - 0 1", false, 0},
      {"8/8/3k4/8/8/2K5/8/8 w - - 0 1", false, 0},
  };
  for (const Case& c : cases) {
    bool found;
    const i32 s = probe(c.fen, &found);
    EXPECT_EQ(found, c.found) << c.fen;
    if (c.score == kAnyWin) {
      EXPECT_TRUE(s > 31700 && s < 32000 && s % 2 == 1) << c.fen << " " << s;
    } else if (c.found) {
      EXPECT_EQ(s, c.score) << c.fen;
    } else {
      EXPECT_EQ(s, 99999) << c.fen;  // nothing written
    }
  }
}

INSTANTIATE_TEST_SUITE_P(RawAndCompressed, TbProbe, ::testing::Values("raw", "compressed"));

TEST(TbProbeRegistration, ASideWithoutFileGivesNothing) {
  testing::TempTableDir d;
  std::filesystem::copy_file(std::string(ORVEX_TABLES_DIR) + "/raw/kqk.nbw", d.file("kqk.nbw"));
  set_tb_cache_size(1);
  ASSERT_EQ(init_tablebases(d.path.c_str()), 3u);
  i32 s = 7;
  parse_fen("k7/8/1K6/8/8/8/7Q/8 w - - 0 1");
  EXPECT_EQ(probe_tablebases(&s), 1);
  parse_fen("k7/8/1K6/8/8/8/7Q/8 b - - 0 1");
  s = 7;
  EXPECT_EQ(probe_tablebases(&s), 0);
  EXPECT_EQ(s, 7);
  // The file's registration goes with the next registration.
  init_tablebases("/nonexistent");
  parse_fen("k7/8/1K6/8/8/8/7Q/8 w - - 0 1");
  EXPECT_EQ(probe_tablebases(&s), 0);
}

// Every position number of the generated tables answers the same from the
// raw and the compressed copy, through caches of one slot upward.
TEST(TbProbeRegistration, RawAndCompressedTablesAgreeEverywhere) {
  const char* classes[] = {"kqk", "krk", "kbk", "knk", "kpk"};
  std::vector<i32> raw;
  std::vector<u8> cache(1 << 20);
  for (const char* name : classes) {
    int cls = 0;
    while (std::string(tb_class_descriptors[cls].name) != name) ++cls;
    for (u32 side = 0; side < 2; ++side) {
      init_tablebases((std::string(ORVEX_TABLES_DIR) + "/raw").c_str());
      init_tb_cache(cache.data(), static_cast<u32>(cache.size()));
      const u64 count = tb_class_descriptors[cls].position_count[side];
      raw.clear();
      for (u64 i = 0; i < count; ++i) raw.push_back(probe_table(cls, side, i));
      init_tablebases((std::string(ORVEX_TABLES_DIR) + "/compressed").c_str());
      for (u32 slots : {1u, 3u}) {
        init_tb_cache(cache.data(), slots * kTbSlotBytes);
        for (u64 i = 0; i < count; ++i) ASSERT_EQ(probe_table(cls, side, i), raw[i]) << name << side << " " << i;
      }
    }
  }
  init_tablebases("/nonexistent");
  set_tb_cache_size(1);
}

// A number beyond a table (only an impossible position gets one) has no
// value, and the file stays registered.
TEST(TbProbeRegistration, NumbersBeyondTheTableLeaveTheFileRegistered) {
  set_tb_cache_size(1);
  ASSERT_EQ(init_tablebases((std::string(ORVEX_TABLES_DIR) + "/compressed").c_str()), 3u);
  const u64 count = tb_class_descriptors[5].position_count[0];  // kqk
  EXPECT_EQ(probe_table(5, 0, count), kTbUnknown);
  EXPECT_EQ(probe_table(5, 0, count + 100000), kTbUnknown);
  EXPECT_NE(tb_registry[5].file_name[0][0], nullptr);
  parse_fen("k7/8/1K6/8/8/8/7Q/8 w - - 0 1");
  i32 s = 0;
  EXPECT_EQ(probe_tablebases(&s), 1);
  EXPECT_EQ(s, 31999);
  init_tablebases("/nonexistent");
}

}  // namespace
}  // namespace orvex
