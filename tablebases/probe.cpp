#include "tablebases/probe.h"

#include <cstdlib>

#include "position/position.h"
#include "tablebases/cache.h"
#include "tablebases/material.h"
#include "tablebases/registry.h"

namespace orvex {

u8* tb_cache_buffer = nullptr;
u32 tb_cache_bytes = 0;

namespace {
// The search scores a mate by the ply it falls on: the side that mates on ply
// p of its own node scores kMateBound - p, the side mated there p - kMateBound.
constexpr i32 kMateBound = 32000;
}  // namespace

// A win value v is a mate in m = 32767 - v moves: the winner's m-th move
// gives mate, on ply 2m - 1.  A loss value v is mated in m = v + 32766 moves:
// the loser is mated on ply 2m.  Both score as the search scores that mate,
// so a lost position (whose moves all reach won ones) shows the same distance
// as the tables.  One-byte values (magnitude 32640 .. 32766) give 31747 ..
// 31999 and -31748 .. -32000.
bool tb_value_to_score(i32 value, i32* score) {
  if (value == 0) {
    *score = 0;
    return true;
  }
  if (value == kTbUnknown) return false;
  const i32 s = value > 0 ? kMateBound - (2 * (32767 - value) - 1) : -kMateBound + 2 * (value + 32766);
  // Only a damaged two-byte table holds a value outside the mate bound or one
  // whose score has the wrong sign.
  if (value > 0 ? (s <= 0 || s > kMateBound) : (s >= 0 || s < -kMateBound)) return false;
  *score = s;
  return true;
}

i32 probe_tablebases(i32* out) {
  TbProbeTarget t;
  if (!tb_locate(current_position, &t)) return 0;
  const TbClassDescriptor& d = tb_class_descriptors[t.class_id];
  // One registered extent of the table is enough to go on.
  const TbRegistration& reg = tb_registry[t.class_id];
  const u32 row = (d.flags & kTbSymmetric) ? 0 : t.side;
  const int extents = tb_extent_count(t.class_id, static_cast<int>(t.side));
  bool registered = false;
  for (int e = 0; e < extents && !registered; ++e) registered = reg.file_name[row][e] != nullptr;
  if (!registered || !d.index_fn[t.side]) return 0;
  i32 score;
  if (!tb_value_to_score(probe_table(t.class_id, t.side, tb_index(t)), &score)) return 0;
  *out = score;
  return 1;
}

u32 set_tb_cache_size(u32 megabytes) {
  if (megabytes < 1) megabytes = 1;
  if (megabytes > 256) megabytes = 256;
  const u32 bytes = megabytes << 20;
  u8* buffer = static_cast<u8*>(std::malloc(bytes));
  if (!buffer) return tb_cache_slot_count() != 0;
  init_tb_cache(buffer, bytes);
  std::free(tb_cache_buffer);
  tb_cache_buffer = buffer;
  tb_cache_bytes = bytes;
  return tb_cache_slot_count() != 0;
}

}  // namespace orvex
