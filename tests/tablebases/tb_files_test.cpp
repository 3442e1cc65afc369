// Registration of table files, the block cache and the table values, on
// files made in temporary directories (sparse where they are large).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "tablebases/cache.h"
#include "tablebases/registry.h"
#include "tools/tbgen/encoder.h"
#include "tb_test_dir.h"

namespace orvex {
namespace {

using testing::TempTableDir;

int class_of(const char* name) {
  for (int c = 0; c < kTbClassCount; ++c)
    if (std::strcmp(tb_class_descriptors[c].name, name) == 0) return c;
  return -1;
}

// A file of `size` bytes that occupies no disk until written.
void make_sparse(const std::string& path, u64 size) {
  const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0) << path;
  close(fd);
}

void poke(const std::string& path, u64 offset, std::initializer_list<u8> bytes) {
  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0) << path;
  const std::vector<u8> v(bytes);
  ASSERT_EQ(pwrite(fd, v.data(), v.size(), static_cast<off_t>(offset)), static_cast<ssize_t>(v.size()));
  close(fd);
}

// Registry and cache are process-wide: every test starts from an empty
// registration and a cache of `cache_bytes`, and leaves them empty.
class TbFiles : public ::testing::Test {
 protected:
  std::vector<u8> cache = std::vector<u8>(1 << 20);
  TempTableDir empty;
  void SetUp() override {
    init_tablebases(empty.path.c_str());
    init_tb_cache(cache.data(), static_cast<u32>(cache.size()));
  }
  void TearDown() override {
    init_tablebases(empty.path.c_str());
    init_tb_cache(nullptr, 0);
  }
  // Registers `list` and sets the cache up again, as the path option does.
  u32 reg(const std::string& list) {
    const u32 men = init_tablebases(list.c_str());
    init_tb_cache(cache.data(), static_cast<u32>(cache.size()));
    return men;
  }
  static const char* path_of(int cls, int side, int extent = 0) {
    return tb_registry[cls].file_name[side][extent];
  }
};

TEST_F(TbFiles, FindsEveryNameForm) {
  const u64 kpk_size = tb_class_descriptors[1].position_count[0];
  const std::vector<u8> packed = tbgen::encode_table(std::vector<u8>(kpk_size, 0));
  for (const char* name : {"kpk.nbw", "kpk.nbw.emd", "kpk_nbw.emd", "kpk_nbw_emd", "kpknbw.emd"}) {
    TempTableDir d;
    if (std::strcmp(name, "kpk.nbw") == 0) make_sparse(d.file(name), kpk_size);
    else tbgen::write_file(d.file(name), packed);
    EXPECT_EQ(reg(d.path), 3u) << name;
    ASSERT_NE(path_of(1, 0), nullptr) << name;
    EXPECT_EQ(std::string(path_of(1, 0)), d.file(name)) << name;
    EXPECT_EQ(path_of(1, 1), nullptr) << name;  // kpk.nbb is not there
    EXPECT_EQ(tb_registry[1].compressed[0][0] != nullptr, std::strcmp(name, "kpk.nbw") != 0) << name;
  }
  // A six-man class has no fifth form; a split class only the first two.
  TempTableDir d;
  tbgen::write_file(d.file("knnknnnbw.emd"), packed);
  tbgen::write_file(d.file("kqpkqp_0_nbw.emd"), packed);
  EXPECT_EQ(reg(d.path), 0u);
  EXPECT_EQ(path_of(class_of("knnknn"), 0), nullptr);
  make_sparse(d.file("kqpkqp.a.nbw"), u64{1} << 31);  // a whole extent of two-byte values
  const int kqpkqp = class_of("kqpkqp");
  EXPECT_EQ(register_table_file(d.path.c_str(), kqpkqp, 0, 10), 1);
  EXPECT_EQ(std::string(path_of(kqpkqp, 0, 10)), d.file("kqpkqp.a.nbw"));
}

TEST_F(TbFiles, ListOrderSymmetryAndMissingDirectories) {
  TempTableDir a, b;
  for (const TempTableDir* d : {&a, &b}) {
    make_sparse(d->file("kpk.nbw"), tb_class_descriptors[1].position_count[0]);
    make_sparse(d->file("kpk.nbb"), tb_class_descriptors[1].position_count[1]);
  }
  // The first directory that holds a file wins; ',' and ';' both separate;
  // a directory that is not there and a trailing '/' change nothing.
  EXPECT_EQ(reg(a.path + ";" + b.path), 3u);
  EXPECT_EQ(std::string(path_of(1, 1)), a.file("kpk.nbb"));
  EXPECT_EQ(reg("/no/such/dir," + b.path + "/;" + a.path), 3u);
  EXPECT_EQ(std::string(path_of(1, 0)), b.file("kpk.nbw"));
  EXPECT_EQ(reg("/no/such/dir"), 0u);
  EXPECT_EQ(path_of(1, 0), nullptr);

  // A symmetric class is looked up with ".nbw" only, which serves both sides.
  TempTableDir s;
  const u64 knkn = tb_class_descriptors[8].position_count[0];
  make_sparse(s.file("knkn.nbb"), knkn);
  EXPECT_EQ(reg(s.path), 0u);
  make_sparse(s.file("knkn.nbw"), knkn);
  poke(s.file("knkn.nbw"), 1000, {5});
  EXPECT_EQ(reg(s.path), 4u);
  EXPECT_EQ(probe_table(8, 1, 1000), 32645);
  EXPECT_EQ(probe_table(8, 0, 1000), 32645);

  // The largest class found gives the number of men.
  TempTableDir m;
  make_sparse(m.file("kppkp.nbb"), tb_class_descriptors[36].position_count[1]);
  EXPECT_EQ(reg(m.path), 5u);
  make_sparse(m.file("knnknn.nbw"), tb_class_descriptors[class_of("knnknn")].position_count[0]);
  EXPECT_EQ(reg(m.path), 6u);
}

// A FIFO or a directory named like a table is skipped as a missing file is,
// without blocking: the next candidate name is tried.
TEST_F(TbFiles, CandidatesThatAreNotRegularFilesAreSkipped) {
  TempTableDir d;
  ASSERT_EQ(mkfifo(d.file("kpk.nbw").c_str(), 0644), 0);
  d.sub("kpk.nbb");
  ASSERT_EQ(mkfifo(d.file("kqk.nbw").c_str(), 0644), 0);
  const std::vector<u8> kqk_draws(tb_class_descriptors[5].position_count[0], 0);
  tbgen::write_file(d.file("kqk.nbw.emd"), tbgen::encode_table(kqk_draws));
  d.sub("krk.nbw");
  d.sub("krk.nbw.emd");
  ASSERT_EQ(mkfifo(d.file("krk_nbw.emd").c_str(), 0644), 0);
  alarm(20);  // a blocking open ends the test program instead of hanging it
  EXPECT_EQ(reg(d.path), 3u);
  alarm(0);
  EXPECT_EQ(path_of(1, 0), nullptr);
  EXPECT_EQ(path_of(1, 1), nullptr);
  EXPECT_EQ(path_of(4, 0), nullptr);
  ASSERT_NE(path_of(5, 0), nullptr);
  EXPECT_EQ(std::string(path_of(5, 0)), d.file("kqk.nbw.emd"));
  EXPECT_EQ(probe_table(5, 0, 100), 0);
}

// Registers `list` from inside `dir` and exits with the number of men found.
[[noreturn]] void register_from(const std::string& dir, const char* list) {
  if (chdir(dir.c_str()) != 0) std::exit(99);
  std::exit(static_cast<int>(init_tablebases(list)));
}

TEST_F(TbFiles, EmptyEntriesNameTheWorkingDirectory) {
  TempTableDir d;
  make_sparse(d.file("kpk.nbw"), tb_class_descriptors[1].position_count[0]);
  for (const char* list : {"", "/no/such/dir;", ";;"})
    EXPECT_EXIT(register_from(d.path, list), ::testing::ExitedWithCode(3), "") << '"' << list << '"';
  EXPECT_EXIT(register_from(d.path, "/no/such/dir"), ::testing::ExitedWithCode(0), "");
}

// Fatal registration faults print one line on standard output and exit 1.
void register_expecting_exit(const std::string& list) {
  dup2(2, 1);  // the death test matches what reaches standard error
  init_tablebases(list.c_str());
}

TEST_F(TbFiles, UnusableFilesEndTheProcessWithTheirMessage) {
  TempTableDir d;
  make_sparse(d.file("kpk.nbw"), 81663);
  EXPECT_EXIT(register_expecting_exit(d.path), ::testing::ExitedWithCode(1),
              "^\\*\\*\\* " + d.file("kpk.nbw") + " corrupted 81664 81664 81663\n$");

  TempTableDir c;
  tbgen::write_file(c.file("kpk.nbw.emd"), tbgen::encode_table(std::vector<u8>(81664, 1), {.block_bits = 16}));
  EXPECT_EXIT(register_expecting_exit(c.path), ::testing::ExitedWithCode(1),
              "^\\*\\*\\* " + c.file("kpk.nbw.emd") + ": Unsupported block size 65536\n$");
  std::vector<u8> packed = tbgen::encode_table(std::vector<u8>(81664, 1));
  packed[100] ^= 1;
  tbgen::write_file(c.file("kpk.nbw.emd"), packed);
  EXPECT_EXIT(register_expecting_exit(c.path), ::testing::ExitedWithCode(1),
              "^\\*\\*\\* Unable to read " + c.file("kpk.nbw.emd") + " - file broken\n$");
  packed[0] = 1;
  tbgen::write_file(c.file("kpk.nbw.emd"), packed);
  EXPECT_EXIT(register_expecting_exit(c.path), ::testing::ExitedWithCode(1),
              "^\\*\\*\\* Unable to read " + c.file("kpk.nbw.emd") + " - read error\n$");
  tbgen::write_file(c.file("kpk.nbw.emd"), tbgen::encode_table(std::vector<u8>(81665, 1)));
  EXPECT_EXIT(register_expecting_exit(c.path), ::testing::ExitedWithCode(1),
              "^\\*\\*\\* " + c.file("kpk.nbw.emd") + " corrupted 81664 81664 81665\n$");
}

// Raw files of every kind are measured against the positions of their
// extent at the class's value width (sparse files make the large ones cheap).
struct SizedFile {
  std::string name;
  u64 bytes;
};

u64 count_of(const char* name, int side) { return tb_class_descriptors[class_of(name)].position_count[side]; }

TEST_F(TbFiles, RawFilesOfTheWrongSizeEndTheProcess) {
  constexpr u64 k30 = u64{1} << 30, k31 = u64{1} << 31;
  const u64 krnknn = count_of("krnknn", 0), kppkpp = count_of("kppkpp", 0), kbnkbn = count_of("kbnkbn", 0);
  const u64 kqqpkq_last = count_of("kqqpkq", 0) % k31, kqqpkq_b_last = count_of("kqqpkq", 1) % k31;
  const u64 kqpkqp_last = count_of("kqpkqp", 0) % k30;
  ASSERT_EQ(kqqpkq_last, 855510632u);
  ASSERT_EQ(kqpkqp_last, 840437544u);
  struct Case {
    const char* what;
    std::vector<SizedFile> files;  // the last one is the wrong one
    u64 shown_extent, shown_last, found;
  } cases[] = {
      {"two-byte, 100 bytes", {{"krnknn.nbw", 100}}, krnknn, krnknn, 50},
      {"two-byte, one byte a position", {{"krnknn.nbw", krnknn}}, krnknn, krnknn, krnknn / 2},
      {"two-byte, half a position short", {{"krnknn.nbw", 2 * krnknn - 1}}, krnknn, krnknn, krnknn - 1},
      {"two-byte symmetric, 100 bytes", {{"kppkpp.nbw", 100}}, kppkpp, kppkpp, 50},
      {"2^31 positions and more, one short", {{"kbnkbn.nbw", kbnkbn - 1}}, kbnkbn, kbnkbn, kbnkbn - 1},
      {"split, first extent short", {{"kqqpkq.0.nbw", k31 - 1}}, k31, kqqpkq_last, k31 - 1},
      {"split, second side", {{"kqqpkq.0.nbb", 100}}, k31, kqqpkq_b_last, 100},
      {"split, a middle extent of the last one's size",
       {{"kqqpkq.0.nbw", k31}, {"kqqpkq.1.nbw", kqqpkq_last}}, k31, kqqpkq_last, kqqpkq_last},
      {"split, last extent whole",
       {{"kqqpkq.0.nbw", k31}, {"kqqpkq.1.nbw", k31}, {"kqqpkq.2.nbw", k31}, {"kqqpkq.3.nbw", k31}},
       k31, kqqpkq_last, k31},
      {"split two-byte, one byte a position", {{"kqpkqp.0.nbw", k30}}, k30, kqpkqp_last, k30 / 2},
      {"split two-byte, one extent of several short",
       {{"kqpkqp.0.nbw", 2 * k30}, {"kqpkqp.1.nbw", 2 * k30}, {"kqpkqp.2.nbw", 2 * k30 - 2}},
       k30, kqpkqp_last, k30 - 1},
  };
  for (const Case& c : cases) {
    TempTableDir d;
    for (const SizedFile& f : c.files) make_sparse(d.file(f.name), f.bytes);
    const std::string line = d.file(c.files.back().name) + " corrupted " + std::to_string(c.shown_extent) + " " +
                             std::to_string(c.shown_last) + " " + std::to_string(c.found);
    EXPECT_EXIT(register_expecting_exit(d.path), ::testing::ExitedWithCode(1), "^\\*\\*\\* " + line + "\n$")
        << c.what;
  }
}

TEST_F(TbFiles, RawFilesOfTheRightSizeRegister) {
  constexpr u64 k30 = u64{1} << 30, k31 = u64{1} << 31;
  std::vector<SizedFile> kqqpkq, kqpkqp;
  for (int e = 0; e < 3; ++e) kqqpkq.push_back({"kqqpkq." + std::to_string(e) + ".nbw", k31});
  kqqpkq.push_back({"kqqpkq.3.nbw", count_of("kqqpkq", 0) % k31});
  for (int e = 0; e < 11; ++e) kqpkqp.push_back({std::string("kqpkqp.") + "0123456789a"[e] + ".nbw", 2 * k30});
  kqpkqp.push_back({"kqpkqp.b.nbw", 2 * (count_of("kqpkqp", 0) % k30)});
  struct Case {
    const char* cls;
    std::vector<SizedFile> files;  // one per extent, in order
  } cases[] = {
      {"krnknn", {{"krnknn.nbw", 2 * count_of("krnknn", 0)}}},
      {"kppkpp", {{"kppkpp.nbw", 2 * count_of("kppkpp", 0)}}},
      {"kbnkbn", {{"kbnkbn.nbw", count_of("kbnkbn", 0)}}},
      {"kqqpkq", kqqpkq},
      {"kqpkqp", kqpkqp},
  };
  for (const Case& c : cases) {
    TempTableDir d;
    for (const SizedFile& f : c.files) make_sparse(d.file(f.name), f.bytes);
    EXPECT_EQ(reg(d.path), 6u) << c.cls;
    const int cls = class_of(c.cls);
    ASSERT_EQ(tb_extent_count(cls, 0), static_cast<int>(c.files.size())) << c.cls;
    for (int e = 0; e < static_cast<int>(c.files.size()); ++e) {
      ASSERT_NE(path_of(cls, 0, e), nullptr) << c.cls << " " << e;
      EXPECT_EQ(std::string(path_of(cls, 0, e)), d.file(c.files[e].name));
    }
  }
}

TEST_F(TbFiles, CacheSizes) {
  struct Case {
    u32 bytes;
    i32 result;
    u32 slots;
  } cases[] = {{55, 0, 0}, {56, 1, 0}, {8283, 1, 0}, {8284, 1, 1}, {1 << 20, 1, 126}, {3 * 8284 + 5, 1, 3}};
  for (const Case& c : cases) {
    EXPECT_EQ(init_tb_cache(cache.data(), c.bytes), c.result) << c.bytes;
    EXPECT_EQ(tb_cache_slot_count(), c.slots) << c.bytes;
  }
  // With no slot every probe is unknown.
  TempTableDir d;
  make_sparse(d.file("kpk.nbw"), tb_class_descriptors[1].position_count[0]);
  init_tablebases(d.path.c_str());
  init_tb_cache(cache.data(), 8283);
  EXPECT_EQ(probe_table(1, 0, 0), kTbUnknown);
}

TEST_F(TbFiles, OneByteValuesMapOntoTheValueScale) {
  TempTableDir d;
  make_sparse(d.file("kpk.nbw"), tb_class_descriptors[1].position_count[0]);
  struct Case {
    u8 stored;
    i32 value;
  } cases[] = {{0, 0}, {1, 32641}, {126, 32766}, {127, kTbUnknown}, {0xFF, -32641},
               {0x82, -32766}, {0x81, -32640}, {0x80, 32640}};
  for (u32 i = 0; i < std::size(cases); ++i) poke(d.file("kpk.nbw"), 9000 + 3 * i, {cases[i].stored});
  ASSERT_EQ(reg(d.path), 3u);
  for (u32 i = 0; i < std::size(cases); ++i) EXPECT_EQ(probe_table(1, 0, 9000 + 3 * i), cases[i].value) << i;
  EXPECT_EQ(probe_table(1, 1, 0), kTbUnknown);  // kpk.nbb is not there
  // The last position is in a short last block.
  poke(d.file("kpk.nbw"), 81663, {3});
  reg(d.path);
  EXPECT_EQ(probe_table(1, 0, 81663), 32643);
}

TEST_F(TbFiles, TwoByteValuesAndShortReads) {
  TempTableDir d;
  const int cls = class_of("krnknn");
  ASSERT_EQ(tb_class_descriptors[cls].flags, kTbTwoByteValues);
  make_sparse(d.file("krnknn.nbw"), 2 * tb_class_descriptors[cls].position_count[0]);
  ASSERT_EQ(reg(d.path), 6u);
  // Cut after registration: the cache opens the file at its first read.
  make_sparse(d.file("krnknn.nbw"), 3 * 8192 + 100);
  poke(d.file("krnknn.nbw"), 2 * 5000, {0x81, 0x7F});
  poke(d.file("krnknn.nbw"), 2 * 5001, {0x10, 0x80});
  EXPECT_EQ(probe_table(cls, 0, 5000), 32641);
  EXPECT_EQ(probe_table(cls, 0, 5001), -32752);
  EXPECT_EQ(probe_table(cls, 0, 3 * 4096 + 49), 0);           // the last two bytes in the file
  EXPECT_EQ(probe_table(cls, 0, 3 * 4096 + 50), kTbUnknown);  // bytes the file does not have
  EXPECT_EQ(probe_table(cls, 0, 4 * 4096), kTbUnknown);
}

TEST_F(TbFiles, FixedKppkpPositions) {
  TempTableDir d;
  make_sparse(d.file("kppkp.nbw"), tb_class_descriptors[36].position_count[0]);
  make_sparse(d.file("kppkp.nbb"), tb_class_descriptors[36].position_count[1]);
  poke(d.file("kppkp.nbw"), 56802428, {4});
  ASSERT_EQ(reg(d.path), 5u);
  EXPECT_EQ(probe_table(36, 1, 56802428), -32639);
  EXPECT_EQ(probe_table(36, 1, 71071628), -32639);
  EXPECT_EQ(probe_table(36, 0, 56802428), 32644);
  EXPECT_EQ(probe_table(36, 1, 56802429), 0);
}

// A cached block keeps answering after its file changes on disk; a block
// read again after its eviction shows the change.
TEST_F(TbFiles, LeastRecentlyUsedBlockIsEvicted) {
  TempTableDir d;
  const std::string f = d.file("kpkp.nbw");
  make_sparse(f, tb_class_descriptors[6].position_count[0]);
  for (u32 b = 0; b < 130; ++b) poke(f, u64{b} * 8192, {static_cast<u8>(1 + b % 100)});
  ASSERT_EQ(reg(d.path), 4u);
  ASSERT_EQ(tb_cache_slot_count(), 126u);
  auto value = [](u32 b) { return probe_table(6, 0, u64{b} * 8192); };
  for (u32 b = 0; b < 126; ++b) ASSERT_EQ(value(b), 32641 + static_cast<i32>(b % 100)) << b;
  EXPECT_EQ(value(0), 32641);  // a hit: block 0 is now the most recently used
  EXPECT_EQ(value(126), 32641 + 26);  // evicts block 1
  for (u32 b : {0u, 1u, 32u, 64u}) poke(f, u64{b} * 8192, {120});
  EXPECT_EQ(value(0), 32641);   // still cached
  EXPECT_EQ(value(32), 32641 + 32);  // cached, in block 0's chain
  EXPECT_EQ(value(64), 32641 + 64);
  EXPECT_EQ(value(1), 32760);   // read again
}

TEST_F(TbFiles, FailedReadsDropTheExtent) {
  // A split class whose extent 1 is missing: extent 0 answers, extent 1 does
  // not, and its miss leaves the cache as it was.
  TempTableDir d;
  const int cls = class_of("kqpkqp");
  make_sparse(d.file("kqpkqp.0.nbw"), u64{1} << 31);
  poke(d.file("kqpkqp.0.nbw"), 2 * 77, {5, 0x80});
  ASSERT_EQ(reg(d.path), 6u);
  EXPECT_EQ(probe_table(cls, 0, 77), -32763);
  EXPECT_EQ(probe_table(cls, 0, (u64{1} << 30) + 77), kTbUnknown);
  EXPECT_NE(path_of(cls, 0, 0), nullptr);
  // A file that goes away is dropped at its first miss.
  TempTableDir k;
  make_sparse(k.file("kpk.nbw"), tb_class_descriptors[1].position_count[0]);
  ASSERT_EQ(reg(k.path), 3u);
  EXPECT_EQ(probe_table(1, 0, 5), 0);
  std::filesystem::remove(k.file("kpk.nbw"));
  EXPECT_EQ(probe_table(1, 0, 5), 0);  // cached
  init_tb_cache(cache.data(), static_cast<u32>(cache.size()));  // closes the files
  EXPECT_EQ(probe_table(1, 0, 9000), kTbUnknown);
  EXPECT_EQ(path_of(1, 0), nullptr);
}

TEST_F(TbFiles, CompressedAndRawCopiesAnswerAlike) {
  // kpk tables of both sides with varied values, raw in one directory and
  // compressed in another; every position answers the same at every cache
  // size.
  TempTableDir raw, packed;
  for (int side = 0; side < 2; ++side) {
    const u64 n = tb_class_descriptors[1].position_count[side];
    std::vector<u8> t(n);
    for (u64 i = 0; i < n; ++i) t[i] = static_cast<u8>((i / 50) % 7 == 0 ? (i * 31 + side) % 256 : (i / 300) % 5);
    const char* ext = side ? "kpk.nbb" : "kpk.nbw";
    tbgen::write_file(raw.file(ext), t);
    tbgen::write_file(packed.file(std::string(ext) + ".emd"), tbgen::encode_table(t));
  }
  std::vector<i32> want[2];
  ASSERT_EQ(reg(raw.path), 3u);
  for (int side = 0; side < 2; ++side)
    for (u64 i = 0; i < tb_class_descriptors[1].position_count[side]; ++i) want[side].push_back(probe_table(1, side, i));
  for (u32 slots : {1u, 2u, 5u, 126u}) {
    reg(packed.path);
    ASSERT_NE(tb_registry[1].compressed[1][0], nullptr);
    init_tb_cache(cache.data(), slots * kTbSlotBytes);
    for (int side = 0; side < 2; ++side)
      for (u64 i = 0; i < want[side].size(); i += 1 + (i % 3))
        ASSERT_EQ(probe_table(1, side, i), want[side][i]) << slots << " " << side << " " << i;
  }
}

// Offsets beyond 4 GB: a raw table and a compressed one whose blocks lie
// past 2^32 bytes, both sparse.
TEST_F(TbFiles, OffsetsBeyondFourGigabytes) {
  TempTableDir d;
  const int cls = class_of("kbnkbn");
  const u64 count = tb_class_descriptors[cls].position_count[0];
  ASSERT_GT(count, u64{1} << 32);
  ASSERT_EQ(tb_class_descriptors[cls].flags, kTbSymmetric);
  const u64 far = (u64{1} << 32) + 12345;
  make_sparse(d.file("kbnkbn.nbw"), count);
  poke(d.file("kbnkbn.nbw"), far, {9});
  poke(d.file("kbnkbn.nbw"), count - 1, {0xF0});
  ASSERT_EQ(reg(d.path), 6u);
  EXPECT_EQ(probe_table(cls, 0, far), 32649);
  EXPECT_EQ(probe_table(cls, 1, count - 1), -32656);
  EXPECT_EQ(probe_table(cls, 0, 12345), 0);

  TempTableDir c;
  const u64 n = (count + 8191) / 8192;
  const u32 last = static_cast<u32>(count - (n - 1) * 8192);
  const std::vector<u8> header = tbgen::encode_raw_header(n, last);
  const std::string path = c.file("kbnkbn.nbw.emd");
  tbgen::write_file(path, header);
  make_sparse(path, header.size() + count);
  {
    const int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, header.data(), header.size(), 0), static_cast<ssize_t>(header.size()));
    close(fd);
  }
  poke(path, header.size() + far, {0x7E});
  poke(path, header.size() + count - 1, {0x81});
  ASSERT_EQ(reg(c.path), 6u);
  ASSERT_NE(tb_registry[cls].compressed[0][0], nullptr);
  EXPECT_EQ(probe_table(cls, 0, far), 32766);
  EXPECT_EQ(probe_table(cls, 0, count - 1), -32640);
  EXPECT_EQ(probe_table(cls, 0, far + 1), 0);
}

}  // namespace
}  // namespace orvex
