#include "tablebases/compressed.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace orvex {

namespace {

u32 checksum_table[256];
bool checksum_table_built = false;

void build_checksum_table() {
  for (u32 n = 0; n < 256; ++n) {
    u32 c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) : ((c >> 1) ^ 0xEDB88320u);
    checksum_table[n] = c;
  }
  checksum_table_built = true;
}

u32 be32(const u8* p) { return (u32{p[0]} << 24) | (u32{p[1]} << 16) | (u32{p[2]} << 8) | u32{p[3]}; }

}  // namespace

u32 tb_checksum(const u8* bytes, u64 length) {
  if (!checksum_table_built) build_checksum_table();
  u32 c = 0;
  for (u64 i = 0; i < length; ++i) c = checksum_table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return c;
}

bool tb_banner_ok(const u8* banner) {
  for (int i = 0; i < 58; ++i)
    if (banner[i] < 0x20 || banner[i] > 0x7E) return false;
  return banner[58] == '\r' && banner[59] == '\n' && banner[60] == 0 && banner[61] == 0 && banner[62] == 0 &&
         banner[63] == 0;
}

u64 tb_block_file_offset(const TbCompressedFile& f, u32 block) {
  return (block & 8) ? f.group_base[block / 16 + 1] - f.block_offset[block]
                     : f.group_base[block / 16] + f.block_offset[block];
}

void tb_free_compressed_table(TbCompressedFile* f) { std::free(f); }

u32 tb_open_compressed_table(int fd, TbCompressedFile** out) {
  *out = nullptr;
  if (!checksum_table_built) build_checksum_table();
  u8 fixed[kTbHeaderFixedBytes];
  if (platform::read_at(fd, fixed, sizeof fixed, 0) != static_cast<i64>(sizeof fixed)) return tb_error(kTbReadError, 1);
  if (!tb_banner_ok(fixed)) return tb_error(kTbReadError, 2);
  const u64 header_size = be32(fixed + 64);
  const u32 bits = fixed[70];
  if (bits > 16 || header_size < 84) return tb_error(kTbBrokenFile, 3);
  if (fixed[71] != kTbDistanceSlots) return tb_error(kTbBrokenFile, 4);
  if (be32(fixed + 76) != kTbFormatWord) return tb_error(kTbBrokenFile, 5);
  const u64 n = be32(fixed + 72);
  if (n == 0) return tb_error(kTbBrokenFile, 6);
  // Layout: block checksums, packed sizes, code lengths (at least one byte),
  // header checksum.
  const u64 sizes_at = kTbHeaderFixedBytes + 8 * n;
  const u64 packed_bytes = ((n + 1 + kTbDistanceSlots) * bits + 7) / 8;
  const u64 lengths_at = sizes_at + packed_bytes;
  if (lengths_at + 1 > header_size - 4) return tb_error(kTbBrokenFile, 7);
  const i64 size = platform::file_size(fd);
  if (size < 0 || static_cast<u64>(size) < header_size) return tb_error(kTbReadError, 8);

  u8* header = static_cast<u8*>(std::calloc(header_size + kTbReaderSlack, 1));
  if (!header) return tb_error(kTbOutOfMemory, 9);
  u32* sizes = nullptr;
  TbCompressedFile* f = nullptr;
  u32 err = 0;
  const u64 groups = n / 16 + 2;
  std::memcpy(header, fixed, sizeof fixed);
  if (platform::read_at(fd, header + kTbHeaderFixedBytes, header_size - kTbHeaderFixedBytes, kTbHeaderFixedBytes) !=
      static_cast<i64>(header_size - kTbHeaderFixedBytes)) {
    err = tb_error(kTbReadError, 10);
  } else if (tb_checksum(header, header_size - 4) != be32(header + header_size - 4)) {
    err = tb_error(kTbBrokenFile, 11);
  } else if (!(sizes = static_cast<u32*>(std::malloc((n + 1) * sizeof(u32)))) ||
             !(f = static_cast<TbCompressedFile*>(
                   std::malloc(sizeof(TbCompressedFile) + groups * sizeof(u64) + (n + 1) * sizeof(u32))))) {
    err = tb_error(kTbOutOfMemory, 12);
  } else {
    f->group_base = reinterpret_cast<u64*>(f + 1);
    f->block_offset = reinterpret_cast<u32*>(f->group_base + groups);
    f->block_bits = bits;
    f->block_size = 1u << bits;
    f->block_count = static_cast<u32>(n);
    TbBitReader r;
    tb_start_reader(r, header + sizes_at, packed_bytes);
    for (u64 i = 0; i <= n; ++i) {
      const u32 v = tb_take_bits(r, bits);
      sizes[i] = v == 0 ? f->block_size : v;
    }
    for (u32 k = 0; k < kTbDistanceSlots; ++k) f->distances[k] = static_cast<i32>(tb_take_bits(r, bits));
    u8 lengths[1024];
    tb_start_reader(r, header + lengths_at, header_size - 4 - lengths_at);
    if ((err = tb_read_code_lengths(r, lengths, 1024)) == 0) err = tb_build_table(f->table, lengths);
  }
  if (err == 0) {
    f->last_block_size = sizes[n];
    u64 off = header_size;
    for (u64 i = 0; i <= n; ++i) {
      if (i % 16 == 0) f->group_base[i / 16] = off;
      if (i < n) off += sizes[i];
    }
    f->group_base[n / 16 + 1] = off;
    off = header_size;
    for (u64 i = 0; i <= n; ++i) {
      f->block_offset[i] = static_cast<u32>((i & 8) ? f->group_base[i / 16 + 1] - off : off - f->group_base[i / 16]);
      if (i < n) off += sizes[i];
    }
  }
  std::free(header);
  std::free(sizes);
  if (err != 0) {
    std::free(f);
    return err;
  }
  *out = f;
  return 0;
}

TbDecodeBlock* tb_create_decode_block() {
  auto* d = static_cast<TbDecodeBlock*>(std::calloc(1, sizeof(TbDecodeBlock)));
  if (!d) return nullptr;
  d->marker = kTbDecodeBlockMarker;
  d->block = -1;
  return d;
}

void tb_free_decode_block(TbDecodeBlock* d) { std::free(d); }

u32 tb_read_compressed_block(TbDecodeBlock& d, const TbCompressedFile& f, int fd, u32 b) {
  if (d.marker != kTbDecodeBlockMarker || b >= f.block_count) return tb_error(kTbBadRequest, 30);
  d.decoded_size = b == f.block_count - 1 ? f.last_block_size : f.block_size;
  d.block = static_cast<i32>(b);
  d.filled = d.target;
  if (d.decoded_size > kTbBlockSize) return tb_error(kTbBrokenFile, 31);
  const u64 from = tb_block_file_offset(f, b);
  const u64 to = tb_block_file_offset(f, b + 1);
  if (to <= from || to - from > kTbBlockSize) return tb_error(kTbBrokenFile, 32);
  const u32 stored = static_cast<u32>(to - from);
  d.stored_length = stored;
  if (platform::read_at(fd, d.input, stored, from) != static_cast<i64>(stored)) return tb_error(kTbReadError, 33);
  std::memset(d.input + stored, 0, kTbReaderSlack);
  if (stored == d.decoded_size) {
    std::memcpy(d.target, d.input, stored);
    d.filled = d.target + stored;
  }
  return 0;
}

u32 tb_decode_compressed_block(TbDecodeBlock& d, const TbCompressedFile& f, u32 length) {
  if (d.marker != kTbDecodeBlockMarker || length < 1 || length > d.decoded_size) return tb_error(kTbBadRequest, 40);
  if (d.filled != d.target) return 0;
  TbBitReader r;
  tb_start_reader(r, d.input, d.stored_length);
  const u32 err = tb_decode_block_symbols(f.table, f.distances, r, d.target, length);
  if (err == 0) d.filled = d.target + length;
  return err;
}

}  // namespace orvex
