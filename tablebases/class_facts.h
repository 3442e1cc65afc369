// What the file side of the tablebases reads of each material class: its
// name (which names its files), its flags and the length of each side's table
// in positions, all from the class descriptor table.
#pragma once
#include "tablebases/tb_types.h"

namespace orvex {

constexpr int kTbMaxExtents = 18;

using TbClassFacts = TbClassDescriptor;
inline constexpr const std::array<TbClassDescriptor, kTbClassCount>& tb_class_facts = tb_class_descriptors;

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
