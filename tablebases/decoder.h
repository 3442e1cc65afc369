// The block decoder of compressed table files: a bit reader, canonical
// Huffman decode tables, the code-length stream of a file's header and the
// decoding of one block.  Every reader here is bounded: it may look a few
// bytes past the end of its stream (the buffers keep zeroed slack there), and
// a stream that needs bits beyond that is reported as broken, never read on.
#pragma once
#include "position/types.h"

namespace orvex {

// Error codes of the compressed-file operations: the low 8 bits are the kind,
// the bits above number the check that failed; 0 is success.
constexpr u32 kTbReadError = 2;
constexpr u32 kTbOutOfMemory = 5;
constexpr u32 kTbBrokenFile = 6;
constexpr u32 kTbBadRequest = 7;
constexpr u32 tb_error(u32 kind, u32 check) { return kind | (check << 8); }
constexpr u32 tb_error_kind(u32 code) { return code & 0xFF; }

// Bytes of readable zeros every buffer a reader runs over keeps behind its
// stream: the reader looks up to four bytes ahead, and one step of a loop can
// take up to about a hundred bits before the loop tests the bound.
constexpr u32 kTbReaderSlack = 32;

// Reads a stream most significant bit first.  16 + count bits of `window`
// are valid.  `limit` is the end of the stream plus the reader's four bytes
// of look-ahead: a stream that has moved `next` beyond it used bits it does
// not have.
struct TbBitReader {
  u32 window;
  i32 count;
  const u8* next;
  const u8* limit;
};

// Starts a reader at p over a stream of `bytes` bytes (the buffer holds
// kTbReaderSlack readable bytes beyond them).
inline void tb_start_reader(TbBitReader& r, const u8* p, u64 bytes) {
  r.window = (u32{p[0]} << 24) | (u32{p[1]} << 16) | (u32{p[2]} << 8) | u32{p[3]};
  r.count = 16;
  r.next = p + 4;
  r.limit = p + bytes + 4;
}
inline bool tb_reader_overrun(const TbBitReader& r) { return r.next > r.limit; }

// The next m bits (0 <= m <= 16) as a number.
inline u32 tb_take_bits(TbBitReader& r, u32 m) {
  if (m == 0) return 0;
  const u32 v = r.window >> (32 - m);
  r.window <<= m;
  r.count -= static_cast<i32>(m);
  if (r.count <= 0) {
    const u32 unit = (u32{r.next[0]} << 8) | u32{r.next[1]};
    r.window |= unit << (-r.count);
    r.next += 2;
    r.count += 16;
  }
  return v;
}

// A canonical code's decode table: `kDirectBits` bits index the direct part;
// codes longer than that continue in the tree part, one bit per step.
// Direct entry >= 0: symbol * 32 + code length.  Entry < 0: -(index of a pair
// of tree entries, for the bits 0 and 1).  Tree entry >= 0: a bare symbol.
template <int kSymbols, int kDirectBits>
struct TbHuffmanTable {
  static constexpr int kDirect = 1 << kDirectBits;
  static constexpr int kTree = 2 * kSymbols;
  static constexpr int kEntries = kDirect + kTree;
  i16 entry[kEntries];
};
using TbMainTable = TbHuffmanTable<1024, 13>;  // the alphabet of a file's blocks
using TbPreTable = TbHuffmanTable<64, 8>;      // the two pre-codes of the code lengths

// Builds the decode table of code lengths[0 .. symbols-1].  Returns 0 or a
// kTbBrokenFile code (a length above 31, an incomplete or over-full code).
u32 tb_build_table(TbMainTable& t, const u8* lengths);
u32 tb_build_table(TbPreTable& t, const u8* lengths);

// Decodes one symbol.
template <int S, int B>
inline u32 tb_decode_symbol(TbBitReader& r, const TbHuffmanTable<S, B>& t) {
  i32 e = t.entry[r.window >> (32 - B)];
  if (e >= 0) {
    tb_take_bits(r, static_cast<u32>(e) & 31);
    return static_cast<u32>(e) >> 5;
  }
  tb_take_bits(r, B);
  // A tree walk ends within 31 - B steps in a table built by tb_build_table;
  // the bound keeps a damaged table from looping.
  for (int step = 0; step < 32; ++step) {
    e = t.entry[-e + static_cast<i32>(tb_take_bits(r, 1))];
    if (e >= 0) return static_cast<u32>(e);
  }
  return 0;
}

// Reads `count` code lengths (0..31) into `out`.  Returns 0 or a
// kTbBrokenFile code (a run past the count, a width the reader cannot
// deliver, a broken pre-code, a stream that runs past the reader's limit).
u32 tb_read_code_lengths(TbBitReader& r, u8* out, u32 count);

// Decodes a block from the reader into out[0 .. length - 1] with the file's
// table and distances.  A short match may write up to 3 bytes beyond
// out + length (the target keeps that slack).  Returns 0, or kTbBrokenFile
// when a match reaches before the block's first byte or the stream runs past
// its stored bytes.
u32 tb_decode_block_symbols(const TbMainTable& t, const i32* distances, TbBitReader& r, u8* out, u32 length);

}  // namespace orvex
