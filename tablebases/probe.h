// The probe the searches call, and the size of the block cache.
#pragma once
#include "position/types.h"

namespace orvex {

constexpr i32 kTbUnknown = 32767;  // no value

// Looks current_position up in the registered tables.  Returns 1 and writes
// the score for the side to move, relative to the probed position and scored
// as the search scores the mate it leads to (a win in m moves, mate on ply
// 2m - 1, is 32001 - 2m; a loss in m moves, mated on ply 2m, is -32000 + 2m)
// when the tables give a value; 0, writing nothing, otherwise.  Changes
// nothing of the position.
i32 probe_tablebases(i32* out);

// The search score of a table value; false when the value has none (no
// value, or a value outside the score range or of the wrong sign, which only
// a damaged two-byte table holds).
bool tb_value_to_score(i32 value, i32* score);

// The block-cache buffer of this process (null in a worker) and its size.
extern u8* tb_cache_buffer;
extern u32 tb_cache_bytes;

// Gives the block cache `megabytes` (clamped to 1 .. 256) and empties it,
// closing the table files.  When the new buffer cannot be allocated the old
// cache stays as it was.  Returns 1 when the cache has slots.
u32 set_tb_cache_size(u32 megabytes);

}  // namespace orvex
