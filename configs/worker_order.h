// The move order of the worker configuration.  Worker processes search the
// same position as the master with the same table; drawing their quiet-move
// order and their root order from the node counter, which differs from one
// worker to the next, sends them down different lines.
#pragma once
#include "position/movegen.h"
#include "search/search_stack.h"

namespace orvex {

// Puts the quiet moves of `moves` (generation order, 0-terminated, the five
// left-out moves of `skip` still in it) in the worker's order: a left-out
// move at the end is dropped first; with two processes the others keep
// their order; with three or more every move gets the key
// (index * countdown) & 511 and the list is sorted by key, highest first,
// equal keys keeping their order.  The left-out moves are dropped either way.
inline void order_quiet_moves_worker(SearchMove* moves, const SearchMove (&skip)[5], u32 countdown,
                                     u32 process_count) {
  auto left_out = [&skip](SearchMove m) {
    return m == skip[0] || m == skip[1] || m == skip[2] || m == skip[3] || m == skip[4];
  };
  u32 n = 0;
  while (moves[n]) ++n;
  while (n > 0 && left_out(moves[n - 1])) --n;
  if (process_count <= 2) {
    u32 kept = 0;
    for (u32 i = 0; i < n; ++i)
      if (!left_out(moves[i])) moves[kept++] = moves[i];
    moves[kept] = 0;
    return;
  }
  u32 keys[kMaxMoves];
  for (u32 i = 0; i < n; ++i) keys[i] = (i * countdown) & 511;
  // From the end back to the front: drop a left-out move, move every other
  // one towards the end past the larger keys behind it.
  u32 end = n;
  for (u32 i = n; i-- > 0;) {
    const SearchMove m = moves[i];
    const u32 k = keys[i];
    if (left_out(m)) {
      for (u32 j = i + 1; j < end; ++j) {
        moves[j - 1] = moves[j];
        keys[j - 1] = keys[j];
      }
      --end;
      continue;
    }
    u32 j = i;
    while (j + 1 < end && keys[j + 1] > k) {
      moves[j] = moves[j + 1];
      keys[j] = keys[j + 1];
      ++j;
    }
    moves[j] = m;
    keys[j] = k;
  }
  moves[end] = 0;
}

// The quiet-move order of the worker configuration, handed to the move
// picker in place of a history table: it generates in generation order and
// orders by the node counter.
struct WorkerQuietOrder {
  u32 countdown;
  u32 process_count;

  template <class B>
  void generate_quiets(SearchMove* moves, u64 attacked, SearchMove hash_move, SearchMove k1, SearchMove k2,
                       SearchMove k3, SearchMove k4) const {
    // Equal keys keep generation order; 0xFFFFFFFF is no move's code.
    static const HistoryTable kFlat{};
    generate_quiet_moves<B>(moves, attacked, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, kFlat);
    const SearchMove skip[5] = {hash_move, k1, k2, k3, k4};
    order_quiet_moves_worker(moves, skip, countdown, process_count);
  }
};

// The root order of a worker's next iteration: the move of greatest key
// first (the first of equals, index 0 preferred), the others by keys of the
// generator state = state * 214013 + 2531011 seeded with `countdown`.
// `moves` and `keys` hold n moves; keys[n] is set to 0.
inline void shuffle_root_moves_worker(SearchMove* moves, u32* keys, u32 n, u32 countdown) {
  keys[n] = 0;
  if (n == 0) return;
  u32 best = 0;
  for (u32 i = 1; i < n; ++i)
    if (keys[i] > keys[best]) best = i;
  std::swap(moves[0], moves[best]);
  std::swap(keys[0], keys[best]);
  u32 state = countdown;
  keys[0] = 32767;
  for (u32 i = 1; i < n; ++i) {
    state = state * 214013u + 2531011u;
    keys[i] = (state >> 16) & 0x7FFF;
  }
  // Stable insertion sort, descending, unsigned.
  for (u32 i = 1; i < n; ++i) {
    const SearchMove m = moves[i];
    const u32 k = keys[i];
    u32 j = i;
    while (j > 0 && keys[j - 1] < k) {
      moves[j] = moves[j - 1];
      keys[j] = keys[j - 1];
      --j;
    }
    moves[j] = m;
    keys[j] = k;
  }
}

}  // namespace orvex
