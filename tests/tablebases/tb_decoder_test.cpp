// The block decoder and the compressed-file reader against the test writer,
// and against damaged input: every damage is either read as the format
// allows or reported, never read outside the buffers (the sanitizer run
// checks that).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "platform/platform.h"
#include "tablebases/compressed.h"
#include "tools/tbgen/encoder.h"
#include "tb_test_dir.h"

namespace orvex {
namespace {

using tbgen::BitWriter;
using tbgen::reseal_header;

// A reader over a copy of the writer's bytes with the slack zeroed.
struct Stream {
  std::vector<u8> bytes;
  TbBitReader r;
  explicit Stream(const BitWriter& w) : bytes(w.bytes) {
    const u64 n = bytes.size();
    bytes.resize(n + kTbReaderSlack, 0);
    tb_start_reader(r, bytes.data(), n);
  }
};

TEST(TbChecksum, KnownValues) {
  EXPECT_EQ(tb_checksum(reinterpret_cast<const u8*>("abc"), 3), 0xCADBBEC2u);
  EXPECT_EQ(tb_checksum(nullptr, 0), 0u);
  const u8 zero = 0, ff = 0xFF;
  EXPECT_EQ(tb_checksum(&zero, 1), 0x2D02EF8Du);  // the table's first entry
  EXPECT_EQ(tb_checksum(&ff, 1), 0u);             // and its last
}

TEST(TbBitReader, TakesFieldsMostSignificantFirstAcrossRefills) {
  BitWriter w;
  const u32 fields[][2] = {{1, 1}, {0x1F, 5}, {0xABCD, 16}, {0, 3}, {0x7, 3}, {0x1234, 13}, {0xFFFF, 16}, {5, 4}};
  for (auto& f : fields) w.put(f[0], f[1]);
  Stream s(w);
  for (auto& f : fields) EXPECT_EQ(tb_take_bits(s.r, f[1]), f[0]);
  EXPECT_FALSE(tb_reader_overrun(s.r));
}

// Decodes `symbols` encoded with the canonical codes of `lengths`.
std::vector<u32> decode_with(const std::vector<u8>& lengths, const std::vector<u32>& symbols, u32* err) {
  auto table = std::make_unique<TbMainTable>();
  std::vector<u8> l(lengths);
  l.resize(1024, 0);
  *err = tb_build_table(*table, l.data());
  if (*err) return {};
  const std::vector<u32> codes = tbgen::canonical_codes(l);
  BitWriter w;
  for (u32 s : symbols) w.put(codes[s], l[s]);
  Stream st(w);
  std::vector<u32> out;
  for (std::size_t i = 0; i < symbols.size(); ++i) out.push_back(tb_decode_symbol(st.r, *table));
  return out;
}

TEST(TbHuffmanTable, CanonicalCodesDecode) {
  u32 err;
  // Lengths 1, 2, 3, 3 are the codes 0, 10, 110, 111.
  EXPECT_EQ(tbgen::canonical_codes({1, 2, 3, 3}), (std::vector<u32>{0, 2, 6, 7}));
  EXPECT_EQ(decode_with({1, 2, 3, 3}, {3, 0, 2, 1, 1, 0, 3}, &err), (std::vector<u32>{3, 0, 2, 1, 1, 0, 3}));
  EXPECT_EQ(err, 0u);
  // Two symbols of length 1: the lower has code 0.
  std::vector<u8> two(1024, 0);
  two[700] = 1;
  two[5] = 1;
  EXPECT_EQ(decode_with(two, {700, 5, 5, 700}, &err), (std::vector<u32>{700, 5, 5, 700}));
  // A complete code whose longest length is 31 (one symbol per length, two
  // of length 31): the tree part decodes the long codes.
  std::vector<u8> deep(1024, 0);
  std::vector<u32> all;
  for (u32 len = 1; len <= 31; ++len) deep[len * 30] = static_cast<u8>(len), all.push_back(len * 30);
  deep[1000] = 31;
  all.push_back(1000);
  std::vector<u32> sample(all.rbegin(), all.rend());
  EXPECT_EQ(decode_with(deep, sample, &err), sample);
  // Every symbol used, lengths from a skewed distribution (codes beyond 13 bits).
  std::vector<u64> freq(1024);
  for (u32 s = 0; s < 1024; ++s) freq[s] = 1 + (s < 8 ? 1u << 20 : 0);
  const std::vector<u8> wide = tbgen::huffman_lengths(freq, 31);
  EXPECT_GT(*std::max_element(wide.begin(), wide.end()), 13);
  std::vector<u32> every(1024);
  for (u32 s = 0; s < 1024; ++s) every[s] = (s * 389) % 1024;
  EXPECT_EQ(decode_with(wide, every, &err), every);
}

TEST(TbHuffmanTable, RejectsCodesThatAreNotComplete) {
  auto t = std::make_unique<TbMainTable>();
  struct Case {
    const char* what;
    std::vector<u8> lengths;
    bool ok;
  } cases[] = {
      {"all zero", {}, true},
      {"one symbol of length 1", {0, 0, 1}, true},
      {"one symbol of length 2", {0, 2}, false},
      {"Kraft sum below 1", {1, 2}, false},
      {"Kraft sum above 1", {1, 1, 2}, false},
      {"length above 31", {1, 32}, false},
      {"complete", {2, 2, 2, 3, 3}, true},
  };
  for (const Case& c : cases) {
    std::vector<u8> l(c.lengths);
    l.resize(1024, 0);
    const u32 err = tb_build_table(*t, l.data());
    EXPECT_EQ(err == 0, c.ok) << c.what;
    if (!c.ok) {
      EXPECT_EQ(tb_error_kind(err), kTbBrokenFile) << c.what;
    }
  }
  // The empty code yields symbol 0 without taking bits.
  std::vector<u8> zero(1024, 0);
  ASSERT_EQ(tb_build_table(*t, zero.data()), 0u);
  BitWriter w;
  w.put(0xFFFF, 16);
  Stream s(w);
  EXPECT_EQ(tb_decode_symbol(s.r, *t), 0u);
  EXPECT_EQ(tb_take_bits(s.r, 16), 0xFFFFu);
}

TEST(TbCodeLengths, StreamsRoundTrip) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    std::vector<u64> freq(1024, 0);
    const u32 used = 2 + rng() % 1000;
    for (u32 i = 0; i < used; ++i) freq[rng() % 1024] += 1 + (rng() % 3 == 0 ? rng() % 100000 : rng() % 10);
    const std::vector<u8> lengths = tbgen::huffman_lengths(freq, 31);
    BitWriter w;
    tbgen::write_code_lengths(w, lengths);
    Stream s(w);
    std::vector<u8> got(1024, 99);
    ASSERT_EQ(tb_read_code_lengths(s.r, got.data(), 1024), 0u) << round;
    EXPECT_EQ(got, lengths) << round;
    EXPECT_FALSE(tb_reader_overrun(s.r));
  }
  // The flag bit 1: every length 0.
  BitWriter w;
  w.put(1, 1);
  Stream s(w);
  std::vector<u8> got(1024, 9);
  EXPECT_EQ(tb_read_code_lengths(s.r, got.data(), 1024), 0u);
  EXPECT_EQ(got, std::vector<u8>(1024, 0));
}

TEST(TbCodeLengths, RunsMustEndWithinTheCount) {
  // Fixed-width form: 3, then a 0 with 15 further zeros: 17 lengths.
  for (u32 count : {17u, 16u}) {
    BitWriter w;
    w.put(0, 1);
    w.put(5, 5);
    w.put(3, 5);
    w.put(0, 5);
    w.put(15, 4);
    Stream s(w);
    u8 out[20];
    const u32 err = tb_read_code_lengths(s.r, out, count);
    EXPECT_EQ(err == 0, count == 17) << count;  // a run may end exactly at the count
  }
  // Widths the reader cannot deliver.
  for (u32 width : {0u, 17u, 31u}) {
    BitWriter w;
    w.put(0, 1);
    w.put(width, 5);
    w.put(0, 32);
    Stream s(w);
    u8 out[20];
    EXPECT_EQ(tb_error_kind(tb_read_code_lengths(s.r, out, 20)), kTbBrokenFile) << width;
  }
  // Pre-code form: a repeat that passes 1024.  All lengths 10 for 1024
  // symbols, then change the stream's count: reading 1000 must fail.
  std::vector<u8> tens(1024, 10);
  BitWriter w;
  tbgen::write_code_lengths(w, tens);
  Stream s(w);
  std::vector<u8> out(1024);
  EXPECT_EQ(tb_read_code_lengths(s.r, out.data(), 1024), 0u);
  Stream s2(w);
  EXPECT_EQ(tb_error_kind(tb_read_code_lengths(s2.r, out.data(), 1000)), kTbBrokenFile);
}

// Decodes a hand-made block with a code in which every symbol has length 10.
struct HandBlock {
  std::vector<u8> lengths = std::vector<u8>(1024, 10);
  std::vector<u32> codes = tbgen::canonical_codes(lengths);
  BitWriter w;
  void literal(u8 b) { w.put(codes[b], 10); }
  void match(u32 slot, u32 c, u32 extra = 0, u32 extra_bits = 0) {
    w.put(codes[256 + slot * 32 + c], 10);
    if (extra_bits) w.put(extra, extra_bits);
  }
  u32 decode(std::vector<u8>& out, u32 length, const i32* distances, u64 stored = 0) {
    auto t = std::make_unique<TbMainTable>();
    EXPECT_EQ(tb_build_table(*t, lengths.data()), 0u);
    std::vector<u8> in(w.bytes);
    const u64 n = stored ? stored : in.size();
    in.resize(in.size() + kTbReaderSlack, 0);
    TbBitReader r;
    tb_start_reader(r, in.data(), n);
    out.assign(length + 3, 0xEE);
    return tb_decode_block_symbols(*t, distances, r, out.data(), length);
  }
};

TEST(TbBlockDecoder, MatchesCopyAsTheFormatSays) {
  i32 d[24];
  for (int i = 0; i < 24; ++i) d[i] = i + 1;
  std::vector<u8> out;
  {
    // Distance 1, length 10 repeats the previous byte; a short match (length
    // code 0) copies one byte; a long match (c = 15: 16 + x) is cut at the end.
    HandBlock b;
    b.literal('a');
    b.literal('b');
    b.match(0, 9);      // 10 x 'b'
    b.match(1, 0);      // one byte from distance 2: 'b'
    b.match(11, 15, 1); // length 17 from distance 12, cut at the end
    ASSERT_EQ(b.decode(out, 20, d), 0u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 20), "abbbbbbbbbbbbbbbbbbb");
  }
  {
    // The last byte made by a short match of length 1: its surplus lands in
    // the three bytes of slack.
    HandBlock b;
    b.literal('x');
    b.literal('y');
    b.literal('z');
    b.match(2, 0);
    ASSERT_EQ(b.decode(out, 4, d), 0u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "xyzx");
  }
  {
    // A match reaching before the block's first byte is broken.
    HandBlock b;
    b.literal('x');
    b.match(3, 5);  // distance 4 after one byte
    EXPECT_EQ(tb_error_kind(b.decode(out, 8, d)), kTbBrokenFile);
  }
  {
    // Distance 0 is broken.
    i32 zero[24] = {};
    HandBlock b;
    b.literal('x');
    b.match(0, 5);
    EXPECT_EQ(tb_error_kind(b.decode(out, 8, zero)), kTbBrokenFile);
  }
  {
    // A stream that ends before the block is complete reads past its stored
    // bytes and is broken, however long the block.
    HandBlock b;
    b.literal('x');
    EXPECT_EQ(tb_error_kind(b.decode(out, 8192, d)), kTbBrokenFile);
  }
}

// Opens an encoded file written to disk; returns the error code.
u32 open_bytes(const std::vector<u8>& bytes, TbCompressedFile** f, int* fd_out = nullptr) {
  static testing::TempTableDir dir;
  const std::string path = dir.file("t.emd");
  tbgen::write_file(path, bytes);
  const int fd = platform::open_read_only(path.c_str());
  EXPECT_GE(fd, 0);
  const u32 err = tb_open_compressed_table(fd, f);
  if (fd_out) *fd_out = fd;
  else platform::close_fd(fd);
  return err;
}

// Reads every block of an opened file; returns the first error.
u32 read_all(const TbCompressedFile& f, int fd, std::vector<u8>* table) {
  TbDecodeBlock* d = tb_create_decode_block();
  std::vector<u8> slot(8192 + 36);
  u32 err = 0;
  if (table) table->clear();
  for (u32 b = 0; b < f.block_count && err == 0; ++b) {
    d->target = slot.data();
    err = tb_read_compressed_block(*d, f, fd, b);
    if (!err) err = tb_decode_compressed_block(*d, f, d->decoded_size);
    if (!err && table) table->insert(table->end(), slot.begin(), slot.begin() + d->decoded_size);
  }
  tb_free_decode_block(d);
  return err;
}

// A table that compresses in some blocks and not in others.
std::vector<u8> sample_table(std::size_t size, u32 seed) {
  std::mt19937 rng(seed);
  std::vector<u8> t(size);
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t region = i / 8192;
    if (region % 5 == 3) t[i] = static_cast<u8>(rng());               // incompressible
    else if (region % 5 == 1) t[i] = static_cast<u8>((i / 37) % 7);   // long runs
    else t[i] = static_cast<u8>(rng() % 4 == 0 ? rng() % 256 : (i * 7) % 13);
  }
  return t;
}

TEST(TbCompressedFile, RoundTripsWithEveryKindOfBlock) {
  struct Case {
    const char* what;
    std::size_t size;
    tbgen::EncodeOptions options;
  } cases[] = {
      {"mixed blocks, short last block", 37 * 8192 + 100, {}},
      {"every block raw", 20 * 8192, {.raw_blocks = true}},
      {"long codes", 18 * 8192 + 1, {.every_symbol = true}},
      {"one block", 300, {}},
  };
  for (const Case& c : cases) {
    const std::vector<u8> table = sample_table(c.size, 11);
    tbgen::EncodedLayout layout;
    const std::vector<u8> bytes = tbgen::encode_table(table, c.options, &layout);
    TbCompressedFile* f;
    int fd;
    ASSERT_EQ(open_bytes(bytes, &f, &fd), 0u) << c.what;
    EXPECT_EQ(tb_decoded_length(*f), c.size) << c.what;
    for (u32 b = 0; b <= f->block_count; ++b) EXPECT_EQ(tb_block_file_offset(*f, b), layout.block_at[b]) << c.what << b;
    if (!c.options.raw_blocks) {
      EXPECT_GT(layout.coded_blocks, c.size > 30 * 8192 ? 16u : 0u) << c.what;
    }
    std::vector<u8> got;
    EXPECT_EQ(read_all(*f, fd, &got), 0u) << c.what;
    EXPECT_TRUE(got == table) << c.what;
    tb_free_compressed_table(f);
    platform::close_fd(fd);
  }
}

TEST(TbCompressedFile, AllZeroLengthsDecodeToZeros) {
  const std::vector<u8> table(3 * 8192, 0);
  TbCompressedFile* f;
  int fd;
  ASSERT_EQ(open_bytes(tbgen::encode_table(table, {.zero_lengths = true}), &f, &fd), 0u);
  std::vector<u8> got;
  EXPECT_EQ(read_all(*f, fd, &got), 0u);
  EXPECT_TRUE(got == table);
  tb_free_compressed_table(f);
  platform::close_fd(fd);
}

void put32(std::vector<u8>& v, std::size_t at, u32 x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<u8>(x >> (24 - 8 * i));
}

TEST(TbCompressedFile, HeaderFaultsAreReported) {
  const std::vector<u8> table = sample_table(30 * 8192 + 5, 3);
  tbgen::EncodedLayout layout;
  const std::vector<u8> good = tbgen::encode_table(table, {}, &layout);
  struct Case {
    const char* what;
    void (*change)(std::vector<u8>&, const tbgen::EncodedLayout&);
    u32 kind;  // 0: opens
  } cases[] = {
      {"banner first byte", [](auto& v, auto&) { v[0] = 0; }, kTbReadError},
      {"banner character not printable", [](auto& v, auto&) { v[30] = 0x07; }, kTbReadError},
      {"banner CR", [](auto& v, auto&) { v[58] = ' '; }, kTbReadError},
      {"banner last zero byte", [](auto& v, auto&) { v[63] = 1; }, kTbReadError},
      {"another banner text", [](auto& v, auto&) { v[10] = 'Q'; reseal_header(v); }, 0},
      {"header size 83", [](auto& v, auto&) { put32(v, 64, 83); }, kTbBrokenFile},
      {"header size past the file", [](auto& v, auto&) { put32(v, 64, 0xFFFFFF00u); }, kTbReadError},
      {"block bits 17", [](auto& v, auto&) { v[70] = 17; }, kTbBrokenFile},
      {"distance count 23", [](auto& v, auto&) { v[71] = 23; }, kTbBrokenFile},
      {"format word", [](auto& v, auto&) { v[79] ^= 1; }, kTbBrokenFile},
      {"byte 68 (checksum no longer matches)", [](auto& v, auto&) { v[68] = 1; }, kTbBrokenFile},
      {"block checksum", [](auto& v, auto&) { v[85] ^= 0x10; }, kTbBrokenFile},
      {"block checksum, resealed", [](auto& v, auto&) { v[85] ^= 0x10; reseal_header(v); }, 0},
      {"packed sizes", [](auto& v, auto& l) { v[l.sizes_at + 2] ^= 4; }, kTbBrokenFile},
      {"code lengths", [](auto& v, auto& l) { v[l.lengths_at + 3] ^= 0x40; }, kTbBrokenFile},
      {"header checksum", [](auto& v, auto& l) { v[l.header_size - 1] ^= 1; }, kTbBrokenFile},
      {"no blocks", [](auto& v, auto&) { put32(v, 72, 0); reseal_header(v); }, kTbBrokenFile},
      {"block count beyond the header", [](auto& v, auto&) { put32(v, 72, 0x20000000); reseal_header(v); },
       kTbBrokenFile},
      {"code lengths run into the checksum",
       [](auto& v, auto& l) {
         // Cut the header just after the code-length stream began.
         std::vector<u8> cut(v.begin(), v.begin() + l.lengths_at + 2);
         cut.resize(cut.size() + 4);
         put32(cut, 64, static_cast<u32>(cut.size()));
         reseal_header(cut);
         v = cut;
       },
       kTbBrokenFile},
      {"file shorter than 80 bytes", [](auto& v, auto&) { v.resize(79); }, kTbReadError},
      {"file ends inside the header", [](auto& v, auto& l) { v.resize(l.header_size - 1); }, kTbReadError},
  };
  for (const Case& c : cases) {
    std::vector<u8> v = good;
    c.change(v, layout);
    TbCompressedFile* f = reinterpret_cast<TbCompressedFile*>(1);
    const u32 err = open_bytes(v, &f);
    EXPECT_EQ(tb_error_kind(err), c.kind) << c.what;
    if (err) {
      EXPECT_EQ(f, nullptr) << c.what;
    }
    tb_free_compressed_table(err ? nullptr : f);
  }
}

TEST(TbCompressedFile, DamagedBlocksAreReportedNotRead) {
  const std::vector<u8> table = sample_table(24 * 8192, 5);
  tbgen::EncodedLayout layout;
  std::vector<u8> bytes = tbgen::encode_table(table, {}, &layout);
  // Garbage over every coded block; and the file cut inside its last block.
  for (u32 b = 0; b + 1 < layout.block_at.size(); ++b)
    if (layout.stored[b] != 8192)
      for (u64 i = layout.block_at[b]; i < layout.block_at[b + 1]; ++i) bytes[i] = static_cast<u8>(i * 2654435761u >> 13);
  TbCompressedFile* f;
  int fd;
  ASSERT_EQ(open_bytes(bytes, &f, &fd), 0u);
  TbDecodeBlock* d = tb_create_decode_block();
  std::vector<u8> slot(8192 + 36);
  d->target = slot.data();
  u32 broken = 0;
  for (u32 b = 0; b < f->block_count; ++b) {
    u32 err = tb_read_compressed_block(*d, *f, fd, b);
    if (!err) err = tb_decode_compressed_block(*d, *f, d->decoded_size);
    broken += err != 0;
  }
  EXPECT_GT(broken, 0u);
  EXPECT_EQ(tb_error_kind(tb_read_compressed_block(*d, *f, fd, f->block_count)), kTbBadRequest);
  tb_free_compressed_table(f);
  platform::close_fd(fd);

  std::vector<u8> cut = tbgen::encode_table(table, {}, &layout);
  cut.resize(layout.block_at[layout.block_at.size() - 2] + 3);
  ASSERT_EQ(open_bytes(cut, &f, &fd), 0u);
  EXPECT_EQ(tb_error_kind(read_all(*f, fd, nullptr)), kTbReadError);
  tb_free_compressed_table(f);
  platform::close_fd(fd);
  tb_free_decode_block(d);
}

// Random byte flips anywhere in a file: opening and reading every block
// either succeeds or reports an error.  The sanitizer run proves nothing is
// read or written outside the buffers.
TEST(TbCompressedFile, RandomByteFlipsNeverReadOutside) {
  const std::vector<u8> table = sample_table(20 * 8192 + 77, 9);
  const std::vector<u8> good = tbgen::encode_table(table, {.every_symbol = true});
  const std::vector<u8> good_raw = tbgen::encode_table(table, {});
  std::mt19937 rng(2024);
  u32 opened = 0, failed_blocks = 0;
  for (int round = 0; round < 300; ++round) {
    std::vector<u8> v = round % 2 ? good : good_raw;
    const int flips = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < flips; ++k) v[rng() % v.size()] ^= static_cast<u8>(1 + rng() % 255);
    if (round % 3 == 0) reseal_header(v);  // damage the header checks cannot see
    TbCompressedFile* f;
    int fd;
    if (open_bytes(v, &f, &fd) == 0) {
      ++opened;
      failed_blocks += read_all(*f, fd, nullptr) != 0;
      tb_free_compressed_table(f);
    }
    platform::close_fd(fd);
  }
  EXPECT_GT(opened, 50u);
  EXPECT_GT(failed_blocks, 0u);
}

}  // namespace
}  // namespace orvex
