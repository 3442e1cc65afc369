// What the file side of the tablebases needs to know of each material class:
// its name (which names its files), its flags and the length of each side's
// table in positions.
#pragma once
#include "position/types.h"

namespace orvex {

constexpr u32 kTbSymmetric = 1;      // one table serves both sides to move
constexpr u32 kTbTwoByteValues = 2;  // two bytes per position, low byte first
constexpr u32 kTbSplit = 4;          // each side's table in extents of 2^31 bytes

constexpr int kTbClassCount = 441;  // class 0 is a placeholder, never registered
constexpr int kTbMaxExtents = 18;

struct TbClassFacts {
  const char* name;  // "kpk", "kqrkq": first side's men, then the second side's
  u32 flags;
  u64 position_count[2];  // 0: not known, the size checks are skipped
};
extern const TbClassFacts tb_class_facts[kTbClassCount];

// Bytes per position of a class's tables.
inline u32 tb_value_bytes(int cls) { return (tb_class_facts[cls].flags & kTbTwoByteValues) ? 2 : 1; }
// Number of files a side's table is stored in: 1, or for a split class one
// per 2^31 bytes begun.
inline int tb_extent_count(int cls, int side) {
  const TbClassFacts& f = tb_class_facts[cls];
  if (!(f.flags & kTbSplit)) return 1;
  const u64 n = ((f.position_count[side] * tb_value_bytes(cls)) >> 31) + 1;
  return n < kTbMaxExtents ? static_cast<int>(n) : kTbMaxExtents;
}

}  // namespace orvex
