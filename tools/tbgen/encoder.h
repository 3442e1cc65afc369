// A writer of compressed table files, for the project's own tables and the
// tests: canonical Huffman codes over literals and matches at 24 fixed
// distances, the code lengths sent through two pre-codes with runs and
// repeats, a header closed by its checksum.  It shares no code with the
// reader but the checksum, which has its own test.
#pragma once
#include <string>
#include <vector>

#include "position/types.h"

namespace orvex::tbgen {

struct EncodeOptions {
  bool raw_blocks = false;    // store every block raw
  bool zero_lengths = false;  // send the main code as all zero lengths (every block decodes to zeros)
  bool every_symbol = false;  // give every one of the 1024 symbols a code (long codes)
  u32 block_bits = 13;
};

// Where the parts of an encoded file lie (byte offsets).
struct EncodedLayout {
  u64 header_size = 0;
  u64 sizes_at = 0;    // packed sizes
  u64 lengths_at = 0;  // code-length stream
  std::vector<u64> block_at;  // n + 1 entries: start of each block, end of data
  std::vector<u32> stored;    // stored length of each block
  u32 coded_blocks = 0;       // blocks stored as bit streams
};

// The banner the writer puts in front of every file.
extern const char kTestBanner[59];

std::vector<u8> encode_table(const std::vector<u8>& table, const EncodeOptions& options = {},
                                EncodedLayout* layout = nullptr);

// The header of a file of n blocks all stored raw, the last `last` bytes
// long, with no code (every length 0): for files whose blocks are left as
// holes of a sparse file.
std::vector<u8> encode_raw_header(u64 n, u32 last);

// Writes the header checksum again after a test changed header bytes.
void reseal_header(std::vector<u8>& file);

// Bit writer, most significant bit first.
struct BitWriter {
  std::vector<u8> bytes;
  u32 used = 0;  // bits used in the last byte (0: a new byte is needed)
  void put(u64 value, u32 bits);
};

// Canonical codes of lengths[0..n-1]: the code of each used symbol.
std::vector<u32> canonical_codes(const std::vector<u8>& lengths);
// Huffman code lengths (at most max_len) for the frequencies; a single used
// symbol gets length 1.
std::vector<u8> huffman_lengths(const std::vector<u64>& freq, u32 max_len);
// The code-length stream of `lengths` (count > 128: two pre-codes; else the
// fixed-width form).
void write_code_lengths(BitWriter& w, const std::vector<u8>& lengths);

void write_file(const std::string& path, const std::vector<u8>& bytes);

}  // namespace orvex::tbgen
