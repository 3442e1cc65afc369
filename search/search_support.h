// Small pieces the node searches and the root share: the ply of a record,
// the repetition test, the legality test after a move, null-move helpers,
// evasion lists and their sort, and the re-centring of the lazy window.
#pragma once
#include <algorithm>

#include "position/make_move.h"
#include "position/movegen.h"
#include "position/position.h"
#include "search/limits.h"
#include "search/search_stack.h"

namespace orvex {

// Index of a record in search_stack: the ply of its node.
inline i32 ply_of(const PlyRecord* rec) { return static_cast<i32>(rec - &search_stack[0]); }

// The position occurred 4, 6, ... plies ago, within the fifty-move window.
// Keys before the start of the kept history are not looked at.
inline bool is_repetition() {
  const Position& pos = current_position;
  const u32 fifty = pos.state.fifty;
  if (fifty < 4) return false;
  const u32 count = pos.state.history_count;
  const u32 limit = std::min(fifty, count);
  const u64 key = pos.state.key;
  for (u32 i = 4; i <= limit; i += 2)
    if (pos.key_history[count - i] == key) return true;
  return false;
}

// After a move: whether the side that moved left its king attacked.  `child`
// holds the attack sets of the position after the move.
inline bool mover_king_attacked(const PlyRecord& child) {
  const Colour mover = current_position.side_to_move ^ 1;
  return (child.attacks_us & current_position.piece_bb[make_piece(kKing, mover) - 2]) != 0;
}

// The material the null move needs: a queen or a rook, or two minor pieces.
inline bool null_move_material() {
  const Position& pos = current_position;
  const Colour c = pos.side_to_move;
  if (pos.piece_bb[make_piece(kQueen, c) - 2] | pos.piece_bb[make_piece(kRook, c) - 2]) return true;
  const int knights = __builtin_popcountll(pos.piece_bb[make_piece(kKnight, c) - 2]);
  const int bishops = __builtin_popcountll(pos.piece_bb[make_piece(kBishop, c) - 2]);
  return knights + bishops >= 2;
}

// The child record of a null move: attack sets swapped, the evaluation
// mirrored around the tempo bonus.
inline void enter_null_child(const PlyRecord& rec, PlyRecord& child) {
  child.attacks_us = rec.attacks_them;
  child.attacks_them = rec.attacks_us;
  child.static_eval = 10 - rec.static_eval;
}

// Room for the evasions of one node and the terminating pair.
constexpr u32 kMaxMovePairs = kMaxMoves / 2;

// Writes the evasions of the side to move (in check) into `list`, ended by
// the pair (0, 0), and returns their number.
template <class B>
inline u32 collect_evasions(MovePair* list, u64 king_free) {
  return static_cast<u32>(generate_evasions<B>(list, king_free) + 1 - list);
}

// Stable insertion sort of evasion pairs by key, descending, the keys
// compared as signed numbers.
inline void sort_pairs_descending_signed(MovePair* list, u32 n) {
  for (u32 i = 1; i < n; ++i) {
    const MovePair item = list[i];
    u32 j = i;
    while (j > 0 && static_cast<i32>(list[j - 1].key) < static_cast<i32>(item.key)) {
      list[j] = list[j - 1];
      --j;
    }
    list[j] = item;
  }
}

// Re-centres the lazy evaluation window on an iteration's score.
void recentre_lazy_window(i32 score);

}  // namespace orvex
