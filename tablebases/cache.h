// The block cache: slots of one block each, cut from one buffer, found
// through 32 chains per class and side and recycled in least-recently-used
// order; and the table values read through it.
#pragma once
#include "position/types.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

namespace orvex {

constexpr u32 kTbSlotBytes = 8284;     // slot record and data area
constexpr u32 kTbSlotDataBytes = 8228;  // one block and slack for the decoder

struct TbCacheSlot {
  i32 cls;
  i32 side;       // already 0 for a symmetric class
  u32 block;      // as probe_table asked for it (extent in bits 18 and up)
  u32 length;     // bytes of the block that were read; others are unknown
  TbCacheSlot* next;  // toward the least recently used end; links the free list too
  TbCacheSlot* prev;
  TbCacheSlot* bucket_next;
  TbCacheSlot* bucket_prev;
  u8* data;
};
static_assert(sizeof(TbCacheSlot) <= kTbSlotBytes - kTbSlotDataBytes);

// Sets the cache up in `buffer` (`bytes` long): closes every open table
// file and empties the cache.  1 when the buffer is used (it may still hold
// no slot: below kTbSlotBytes), 0 when it is smaller than a slot record.
i32 init_tb_cache(void* buffer, u32 bytes);
// Closes the table files and frees every slot.
void reset_tb_cache();
// Closes every open table file.
void tb_close_all_files();
u32 tb_cache_slot_count();

// Byte `offset` (0 .. 8191) of block `block` of a table, sign-extended, or
// kTbUnknown when it cannot be read.  A failure drops the extent's
// registration.
i32 read_cached_table_byte(int cls, int side, u32 block, u32 offset);

// The value of position `index` in the table of a class with table side
// `side` to move: 0 draw, 32640 .. 32766 and -32640 .. -32766 from one-byte
// tables, a stored 16-bit value from two-byte tables, kTbUnknown for none.
i32 probe_table(int cls, u32 side, u64 index);

}  // namespace orvex
