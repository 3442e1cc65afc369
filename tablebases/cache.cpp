#include "tablebases/cache.h"

#include <cstdlib>

#include "platform/platform.h"

namespace orvex {

namespace {

TbCacheSlot* slot_base = nullptr;
u32 slot_count = 0;
TbCacheSlot* lru_head = nullptr;  // most recently used
TbCacheSlot* lru_tail = nullptr;  // least recently used
TbCacheSlot* free_slots = nullptr;

void lru_unlink(TbCacheSlot* s) {
  if (s->prev) s->prev->next = s->next;
  else lru_head = s->next;
  if (s->next) s->next->prev = s->prev;
  else lru_tail = s->prev;
}

void lru_push_front(TbCacheSlot* s) {
  s->prev = nullptr;
  s->next = lru_head;
  if (lru_head) lru_head->prev = s;
  else lru_tail = s;
  lru_head = s;
}

void chain_unlink(TbCacheSlot* s) {
  TbCacheSlot** heads = tb_registry[s->cls].buckets[s->side];
  if (s->bucket_prev) s->bucket_prev->bucket_next = s->bucket_next;
  else heads[s->block % kTbBuckets] = s->bucket_next;
  if (s->bucket_next) s->bucket_next->bucket_prev = s->bucket_prev;
}

void chain_push_front(TbCacheSlot* s) {
  TbCacheSlot*& head = tb_registry[s->cls].buckets[s->side][s->block % kTbBuckets];
  s->bucket_prev = nullptr;
  s->bucket_next = head;
  if (head) head->bucket_prev = s;
  head = s;
}

// Opens a registered extent's file when it is not open yet; -1 when it
// cannot be.  A failed open is tried once more after closing every table
// file, in case descriptors ran out.
int open_extent(TbRegistration& reg, int side, int extent) {
  int& fd = reg.file[side][extent];
  if (fd >= 0) return fd;
  const char* path = reg.file_name[side][extent];
  if (!path) return -1;
  fd = platform::open_read_only(path);
  if (fd < 0) {
    tb_close_all_files();
    fd = platform::open_read_only(path);
  }
  return fd;
}

// Fills a slot with a block; false when it cannot be had.
bool load_block(TbCacheSlot* s, int cls, int side, u32 block) {
  TbRegistration& reg = tb_registry[cls];
  int extent = 0;
  u32 file_block = block;
  if (tb_class_descriptors[cls].flags & kTbSplit) {
    extent = static_cast<int>(block >> 18);
    file_block = block - (static_cast<u32>(extent) << 18);
  }
  if (extent >= kTbMaxExtents) return false;
  const int fd = open_extent(reg, side, extent);
  if (fd < 0) return false;
  if (const TbCompressedFile* cf = reg.compressed[side][extent]) {
    if (!tb_decode_block) return false;
    tb_decode_block->target = s->data;
    if (tb_read_compressed_block(*tb_decode_block, *cf, fd, file_block) != 0) return false;
    if (tb_decode_compressed_block(*tb_decode_block, *cf, tb_decode_block->decoded_size) != 0) return false;
    s->length = tb_decode_block->decoded_size;
    return true;
  }
  const i64 got = platform::read_at(fd, s->data, kTbBlockSize, static_cast<u64>(file_block) * kTbBlockSize);
  if (got < 0) return false;
  s->length = static_cast<u32>(got);  // the last block of a file is short
  return true;
}

// A failed extent counts as not registered until the next registration.
void drop_extent(int cls, int side, u32 block) {
  TbRegistration& reg = tb_registry[cls];
  const int extent = (tb_class_descriptors[cls].flags & kTbSplit) ? static_cast<int>(block >> 18) : 0;
  if (extent >= kTbMaxExtents) return;
  std::free(reg.file_name[side][extent]);
  reg.file_name[side][extent] = nullptr;
  if (reg.file[side][extent] >= 0) {
    platform::close_fd(reg.file[side][extent]);
    reg.file[side][extent] = -1;
  }
}

}  // namespace

void tb_close_all_files() {
  for (TbRegistration& reg : tb_registry)
    for (auto& side : reg.file)
      for (int& fd : side)
        if (fd >= 0) {
          platform::close_fd(fd);
          fd = -1;
        }
}

u32 tb_cache_slot_count() { return slot_count; }

i32 init_tb_cache(void* buffer, u32 bytes) {
  if (slot_count != 0) tb_close_all_files();
  slot_count = 0;
  slot_base = nullptr;
  lru_head = lru_tail = free_slots = nullptr;
  for (TbRegistration& reg : tb_registry)
    for (auto& heads : reg.buckets)
      for (TbCacheSlot*& h : heads) h = nullptr;
  if (!buffer || bytes < kTbSlotBytes - kTbSlotDataBytes) return 0;
  slot_base = static_cast<TbCacheSlot*>(buffer);
  slot_count = bytes / kTbSlotBytes;
  reset_tb_cache();
  return 1;
}

void reset_tb_cache() {
  if (slot_count == 0) return;
  tb_close_all_files();
  u8* data = reinterpret_cast<u8*>(slot_base) + static_cast<u64>(slot_count) * sizeof(TbCacheSlot);
  for (u32 i = 0; i < slot_count; ++i) {
    TbCacheSlot& s = slot_base[i];
    s = TbCacheSlot{};
    s.data = data + static_cast<u64>(i) * kTbSlotDataBytes;
    s.next = i + 1 < slot_count ? &slot_base[i + 1] : nullptr;
  }
  for (TbRegistration& reg : tb_registry)
    for (auto& heads : reg.buckets)
      for (TbCacheSlot*& h : heads) h = nullptr;
  lru_head = lru_tail = nullptr;
  free_slots = &slot_base[0];
}

i32 read_cached_table_byte(int cls, int side, u32 block, u32 offset) {
  TbCacheSlot** heads = tb_registry[cls].buckets[side];
  TbCacheSlot* s = heads[block % kTbBuckets];
  while (s && s->block != block) s = s->bucket_next;
  if (s) {
    if (s != lru_head) {
      lru_unlink(s);
      lru_push_front(s);
    }
    if (s->bucket_prev) {
      chain_unlink(s);
      chain_push_front(s);
    }
    return offset < s->length ? static_cast<i32>(static_cast<i8>(s->data[offset])) : kTbUnknown;
  }
  // A miss takes a free slot, else the least recently used one.
  if (free_slots) {
    s = free_slots;
    free_slots = s->next;
  } else {
    s = lru_tail;
    if (!s) return kTbUnknown;
    lru_unlink(s);
    chain_unlink(s);
  }
  s->cls = cls;
  s->side = side;
  s->block = block;
  s->length = 0;
  if (!load_block(s, cls, side, block)) {
    drop_extent(cls, side, block);
    s->next = free_slots;
    free_slots = s;
    return kTbUnknown;
  }
  lru_push_front(s);
  chain_push_front(s);
  return offset < s->length ? static_cast<i32>(static_cast<i8>(s->data[offset])) : kTbUnknown;
}

i32 probe_table(int cls, u32 side, u64 index) {
  if (tb_class_descriptors[cls].flags & kTbSymmetric) side = 0;
  const TbRegistration& reg = tb_registry[cls];
  if (slot_count == 0 || !reg.has_buckets[side]) return kTbUnknown;
  // A number beyond the table (which only an impossible position gets) has
  // no value; it is no fault of the file, which stays registered.
  const u64 count = tb_class_descriptors[cls].position_count[side];
  if (count != 0 && index >= count) return kTbUnknown;
  if (tb_class_descriptors[cls].flags & kTbTwoByteValues) {
    const u32 block = static_cast<u32>(index >> 12);
    const u32 offset = 2 * static_cast<u32>(index & 4095);
    const i32 low = read_cached_table_byte(cls, static_cast<int>(side), block, offset);
    if (low == kTbUnknown) return kTbUnknown;
    const i32 high = read_cached_table_byte(cls, static_cast<int>(side), block, offset + 1);
    if (high == kTbUnknown) return kTbUnknown;
    return high * 256 + (low & 255);
  }
  // Seven positions of kppkp with the second side to move answer -32639
  // whatever the table holds.
  if (cls == 36 && side == 1) {
    static constexpr u64 kFixed[] = {56802428, 56811076, 56849992, 56858640, 59592489, 67775659, 71071628};
    for (u64 f : kFixed)
      if (index == f) return -32639;
  }
  const i32 v = read_cached_table_byte(cls, static_cast<int>(side), static_cast<u32>(index >> 13),
                                       static_cast<u32>(index & 8191));
  if (v == kTbUnknown) return kTbUnknown;
  if (v == 0) return 0;
  if (v == 127) return kTbUnknown;
  if (v == -128) return 32640;
  if (v == -127) return -32640;
  return v > 0 ? v + 32640 : v - 32640;
}

}  // namespace orvex
