// Compressed table files: a header (banner, format fields, the stored length
// of every block, the match distances and the code lengths shared by all
// blocks, closed by a checksum) followed by the table cut into blocks of
// 2^L bytes, each stored raw or as a bit stream of the block decoder.
// Integers are big-endian.  Every field of the header is checked against the
// header's size in 64-bit arithmetic before it is used.
#pragma once
#include "position/types.h"
#include "tablebases/decoder.h"

namespace orvex {

constexpr u32 kTbBlockSize = 8192;
constexpr u32 kTbBlockBits = 13;
constexpr u32 kTbDistanceSlots = 24;
constexpr u32 kTbFormatWord = 0x004001F5;
constexpr u32 kTbHeaderFixedBytes = 80;  // banner and format fields
constexpr u32 kTbDecodeBlockMarker = 0x79A3F29D;

// The header checksum: a table-driven 32-bit checksum without final XOR whose
// table XORs its polynomial when the low bit is 0.
u32 tb_checksum(const u8* bytes, u64 length);

// True when the 64 bytes have the banner's shape: 58 printable ASCII
// characters, CR, LF and four zero bytes.
bool tb_banner_ok(const u8* banner);

// An opened compressed file: what reading a block needs.  Allocated in one
// piece by tb_open_compressed_table, freed with tb_free_compressed_table.
struct TbCompressedFile {
  TbMainTable table;
  i32 distances[kTbDistanceSlots];
  u32 block_bits;       // L
  u32 block_size;       // 2^L
  u32 last_block_size;  // decoded size of the last block
  u32 block_count;      // n >= 1
  // Block index: file offset of block i is group_base[i / 16] +
  // block_offset[i] for i % 16 < 8, else group_base[i / 16 + 1] -
  // block_offset[i]; i = n gives the end of the data.
  u64* group_base;    // n / 16 + 2 entries
  u32* block_offset;  // n + 1 entries
};

// Decoded length of the table in bytes.
inline u64 tb_decoded_length(const TbCompressedFile& f) {
  return static_cast<u64>(f.block_count - 1) * f.block_size + f.last_block_size;
}
u64 tb_block_file_offset(const TbCompressedFile& f, u32 block);

// Reads and checks the header of the open file and builds its state.
// Returns 0 with *out set, or an error code with *out null and nothing left
// allocated.
u32 tb_open_compressed_table(int fd, TbCompressedFile** out);
void tb_free_compressed_table(TbCompressedFile* f);

// The one decode block of the process: it receives a block's stored bytes
// and decodes them into `target`.
struct TbDecodeBlock {
  u32 marker;
  i32 block;  // the block last read, -1 at creation
  u32 decoded_size;
  u32 stored_length;
  u8* target;
  u8* filled;  // how far target is complete
  u8 input[kTbBlockSize + kTbReaderSlack];
};
TbDecodeBlock* tb_create_decode_block();  // null when it cannot be allocated
void tb_free_decode_block(TbDecodeBlock* d);

// Loads the stored bytes of block b into the decode block; a raw block is
// copied to the target at once.
u32 tb_read_compressed_block(TbDecodeBlock& d, const TbCompressedFile& f, int fd, u32 b);
// Completes the first `length` bytes of the block in the target (the target
// keeps 3 bytes of slack beyond the block).
u32 tb_decode_compressed_block(TbDecodeBlock& d, const TbCompressedFile& f, u32 length);

}  // namespace orvex
