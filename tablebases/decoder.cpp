#include "tablebases/decoder.h"

#include <cstring>

namespace orvex {

namespace {

// Layout of a canonical code into a decode table.  The used symbols, sorted
// by (length, symbol), take consecutive code values.  The tree part is filled
// from its top down, one code length at a time from the longest: first an
// inner node for each pair of entries written for the next longer length
// (the two highest entries first), then the symbols of this length, highest
// first.  The direct part is then filled the same way from index 2^B - 1
// down, each symbol of length len <= B covering 2^(B - len) entries.  Higher
// indices hold higher codes, so a direct index is the B-bit prefix of a code
// and a pair's lower entry is its 0 continuation.
template <int S, int B>
u32 build_table(TbHuffmanTable<S, B>& t, const u8* lengths) {
  using Table = TbHuffmanTable<S, B>;
  u32 count[32] = {};
  u32 used = 0;
  u32 only = 0;
  for (int s = 0; s < S; ++s) {
    if (lengths[s] > 31) return tb_error(kTbBrokenFile, 1);
    if (lengths[s] != 0) {
      ++count[lengths[s]];
      ++used;
      only = static_cast<u32>(s);
    }
  }
  std::memset(t.entry, 0, sizeof t.entry);
  if (used == 0) return 0;  // every lookup yields symbol 0 and takes no bits
  if (used == 1) {
    if (lengths[only] != 1) return tb_error(kTbBrokenFile, 2);
    for (int i = 0; i < Table::kDirect; ++i) t.entry[i] = static_cast<i16>(only * 32);
    return 0;
  }
  // The code must be complete: the Kraft sum of the lengths is exactly 1.
  u32 carry = 0;
  for (int len = 31; len >= 1; --len) {
    carry += count[len];
    if (carry & 1) return tb_error(kTbBrokenFile, 3);
    carry /= 2;
  }
  if (carry != 1) return tb_error(kTbBrokenFile, 4);

  // Symbols of each length in ascending order: `first[len]` is where the
  // symbols of that length start in `sorted`.
  u32 first[33];
  first[1] = 0;
  for (int len = 1; len < 32; ++len) first[len + 1] = first[len] + count[len];
  u16 sorted[S];
  {
    u32 fill[33];
    std::memcpy(fill, first, sizeof fill);
    for (int s = 0; s < S; ++s)
      if (lengths[s] != 0) sorted[fill[lengths[s]]++] = static_cast<u16>(s);
  }

  // Tree part: entries of the previous (longer) length lie at
  // [prev_low, prev_high); pairs are taken from the top.
  int top = Table::kEntries;  // next entry is written at top - 1
  int prev_low = top, prev_high = top;
  for (int len = 31; len > B; --len) {
    const int low_before = top;
    for (int hi = prev_high; hi - 2 >= prev_low; hi -= 2) {
      if (top <= Table::kDirect) return tb_error(kTbBrokenFile, 5);
      t.entry[--top] = static_cast<i16>(-(hi - 2));
    }
    for (u32 k = first[len] + count[len]; k-- > first[len];) {
      if (top <= Table::kDirect) return tb_error(kTbBrokenFile, 5);
      t.entry[--top] = static_cast<i16>(sorted[k]);
    }
    prev_low = top;
    prev_high = low_before;
  }
  // Direct part.
  int pos = Table::kDirect;
  for (int hi = prev_high; hi - 2 >= prev_low; hi -= 2) {
    if (pos <= 0) return tb_error(kTbBrokenFile, 6);
    t.entry[--pos] = static_cast<i16>(-(hi - 2));
  }
  for (int len = B; len >= 1; --len) {
    const int span = 1 << (B - len);
    for (u32 k = first[len] + count[len]; k-- > first[len];) {
      if (pos < span) return tb_error(kTbBrokenFile, 6);
      const i16 e = static_cast<i16>(sorted[k] * 32 + len);
      for (int i = 0; i < span; ++i) t.entry[--pos] = e;
    }
  }
  if (pos != 0) return tb_error(kTbBrokenFile, 7);
  return 0;
}

// Takes an n-bit number (n up to 31) in pieces the reader can deliver.
u32 take_wide(TbBitReader& r, u32 n) {
  u32 v = 0;
  while (n > 16) {
    v = (v << 16) | tb_take_bits(r, 16);
    n -= 16;
  }
  return (v << n) | tb_take_bits(r, n);
}

}  // namespace

u32 tb_build_table(TbMainTable& t, const u8* lengths) { return build_table(t, lengths); }
u32 tb_build_table(TbPreTable& t, const u8* lengths) { return build_table(t, lengths); }

u32 tb_read_code_lengths(TbBitReader& r, u8* out, u32 count) {
  if (tb_take_bits(r, 1) == 1) {
    std::memset(out, 0, count);
    return tb_reader_overrun(r) ? tb_error(kTbBrokenFile, 10) : 0;
  }
  u32 done = 0;
  if (count <= 128) {
    // Fixed-width lengths, each 0 followed by a 4-bit run of further zeros.
    const u32 width = tb_take_bits(r, 5);
    if (width == 0 || width > 16) return tb_error(kTbBrokenFile, 11);
    while (done < count) {
      const u32 v = tb_take_bits(r, width);
      if (v > 31) return tb_error(kTbBrokenFile, 12);
      out[done++] = static_cast<u8>(v);
      if (v == 0) {
        const u32 z = tb_take_bits(r, 4);
        if (z > count - done) return tb_error(kTbBrokenFile, 13);
        std::memset(out + done, 0, z);
        done += z;
      }
      if (tb_reader_overrun(r)) return tb_error(kTbBrokenFile, 14);
    }
    return 0;
  }
  // Two pre-codes: A codes the lengths 0..31 and repeats (32 + length), B
  // the repeat counts.
  u8 pre[128];
  if (const u32 e = tb_read_code_lengths(r, pre, 128)) return e;
  TbPreTable a, b;
  if (const u32 e = tb_build_table(a, pre)) return e;
  if (const u32 e = tb_build_table(b, pre + 64)) return e;
  while (done < count) {
    const u32 s = tb_decode_symbol(r, a);
    if (s <= 31) {
      out[done++] = static_cast<u8>(s);
    } else {
      const u32 t = tb_decode_symbol(r, b);
      u32 repeat;
      if (t <= 31) {
        repeat = t + 2;
      } else {
        const u32 k = t - 32;
        if (k > 11) return tb_error(kTbBrokenFile, 15);  // 2^k alone passes any count
        repeat = (1u << k) + take_wide(r, k) + 33;
      }
      if (repeat > count - done) return tb_error(kTbBrokenFile, 16);
      std::memset(out + done, static_cast<int>(s - 32), repeat);
      done += repeat;
    }
    if (tb_reader_overrun(r)) return tb_error(kTbBrokenFile, 17);
  }
  return 0;
}

u32 tb_decode_block_symbols(const TbMainTable& t, const i32* distances, TbBitReader& r, u8* out, u32 length) {
  u8* const begin = out;
  u8* const end = out + length;
  while (out < end) {
    const u32 s = tb_decode_symbol(r, t);
    if (s < 256) {
      *out++ = static_cast<u8>(s);
    } else {
      const u32 m = s - 256;
      const u32 c = m % 32;
      const i32 d = distances[m / 32];
      if (d < 1 || d > out - begin) return tb_error(kTbBrokenFile, 20);
      const u8* src = out - d;
      if (c <= 3) {
        // Four bytes are copied and the output advances by c + 1; the
        // surplus is overwritten later or lies in the target's slack.
        out[0] = src[0];
        out[1] = src[1];
        out[2] = src[2];
        out[3] = src[3];
        out += c + 1;
      } else {
        u32 n;
        if (c <= 14) {
          n = c + 1;
        } else {
          const u32 bits = c - 14;
          n = (1u << bits) + take_wide(r, bits) + 14;
        }
        const u64 room = static_cast<u64>(end - out);
        if (n > room) n = static_cast<u32>(room);
        for (u32 i = 0; i < n; ++i) out[i] = src[i];
        out += n;
      }
    }
    if (tb_reader_overrun(r)) return tb_error(kTbBrokenFile, 21);
  }
  return 0;
}

}  // namespace orvex
