// The second edition's per-ply search record and its stack: both sides'
// attack sets, the two threat sets (enemy men the side to move threatens and
// its own men the enemy threatens), killers, the static evaluation and the
// move searched from the ply.
#pragma once
#include <array>

#include "position/types.h"
#include "search/search_stack.h"

namespace orvex::larkspire {

struct EditionPlyRecord {
  u64 attacks_us;     // squares attacked by the side to move
  u64 attacks_them;   // squares attacked by the other side
  u64 threats_them;   // the other side's men that the side to move threatens
  u64 threats_us;     // the side to move's men that the other side threatens
  u32 killers[4];     // killer moves, most recent first, 0 = empty
  i32 static_eval;    // side to move's view, tempo included; a multiple of 10
  u8 threats_ready;   // 1 when compute_attacks filled the sets, 0 after a full evaluation
  u32 current_move;   // move searched from this ply; 0 during a null move
};

constexpr u32 kEditionStackSize = 256;
using EditionSearchStack = std::array<EditionPlyRecord, kEditionStackSize>;
extern EditionSearchStack edition_stack;

// The edition's quiet-move history, (piece code - 2) * 64 + to.
extern HistoryTable edition_history;

// Index of a record in edition_stack: the ply of its node.
inline i32 ply_of(const EditionPlyRecord* rec) { return static_cast<i32>(rec - &edition_stack[0]); }

}  // namespace orvex::larkspire
