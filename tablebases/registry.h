// The tablebase registry: which file holds each class's table for each side
// to move and extent, found in the directories of a list.  Registration reads
// only headers: a raw file is measured, a compressed file's header is read
// and checked once and its state kept; the block cache opens the files when
// it first needs a block.
#pragma once
#include "position/types.h"
#include "tablebases/tb_types.h"
#include "tablebases/compressed.h"

namespace orvex {

constexpr int kTbMaxExtents = 18;

// Bytes per position of a class's tables.
inline u32 tb_value_bytes(int cls) { return (tb_class_descriptors[cls].flags & kTbTwoByteValues) ? 2 : 1; }
// Number of files a side's table is stored in: 1, or for a split class one
// per 2^31 bytes begun.
inline int tb_extent_count(int cls, int side) {
  const TbClassDescriptor& d = tb_class_descriptors[cls];
  if (!(d.flags & kTbSplit)) return 1;
  const u64 n = ((d.position_count[side] * tb_value_bytes(cls)) >> 31) + 1;
  return n < kTbMaxExtents ? static_cast<int>(n) : kTbMaxExtents;
}

struct TbCacheSlot;
constexpr int kTbBuckets = 32;

// Paths are built in a buffer of this size; a longer path is not tried.
constexpr u32 kTbPathBytes = 1024;

// What registration and the cache add to one class.  Side 0 is the table
// with the class's first side to move (".nbw"), side 1 the other (".nbb"); a
// symmetric class uses side 0 only.
struct TbRegistration {
  char* file_name[2][kTbMaxExtents] = {};        // registered path, owned
  int file[2][kTbMaxExtents];                    // open descriptor or -1
  TbCompressedFile* compressed[2][kTbMaxExtents] = {};  // null: a raw file
  bool has_buckets[2] = {};                      // a file of this side is registered
  TbCacheSlot* buckets[2][kTbBuckets] = {};      // the cache's chains, by block % 32
  constexpr TbRegistration() : file{} {
    for (auto& side : file)
      for (int& fd : side) fd = -1;
  }
};
extern TbRegistration tb_registry[kTbClassCount];

// The decode block shared by every compressed file; exists when a compressed
// file has been registered.
extern TbDecodeBlock* tb_decode_block;
// Compressed files opened by registration since the process started.
extern u32 compressed_files_opened;

// Forgets every earlier registration and registers the tables found in the
// directories of `list` (entries separated by ',' or ';', taken as they
// stand; an empty entry is the working directory; the first directory that
// holds a file wins).  Returns the largest number of men of a class found:
// 6, 5, 4, 3, or 0 when none.  A file that is there but unusable (wrong size,
// unreadable or broken header, unsupported block size) ends the process with
// a message beginning "*** " and exit code 1.
u32 init_tablebases(const char* list);

// Registers the file of one class, side and extent in `directory`; 1 when
// it is registered (now or before), 0 when it is not there.
i32 register_table_file(const char* directory, int cls, int side, int extent);

// Returns when `size` (in positions) fits the class's count for the side (or
// one of its extents); otherwise ends the process with the corrupted message.
void check_table_size(int cls, int side, u64 size, const char* path);

// Positions held by one extent of a side's table: the whole count for a
// class that is not split; for a split class 2^31 (one-byte values) or 2^30
// (two-byte values) in every extent but the last, the rest in the last.
u64 tb_extent_positions(int cls, int side, int extent);

// Returns when a raw file of `bytes` bytes holds exactly the positions of its
// extent at the class's value width; otherwise ends the process with the
// corrupted message (showing the extent size, the last extent's size, or the
// count twice for a class that is not split, and the whole positions found).
void check_raw_table_size(int cls, int side, int extent, u64 bytes, const char* path);

// Builds the path of one candidate: directory, '/', class name, for a split
// class '.' and the extent's character, ".nbw" or ".nbb".  False when it
// does not fit kTbPathBytes.
bool tb_table_path(char* out, const char* directory, int cls, int side, int extent);

// Prints `text` on standard output, outside the UCI output, and ends the
// process with exit code 1.
[[noreturn]] void tb_fatal(const char* text);

}  // namespace orvex
