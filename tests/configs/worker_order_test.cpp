// The worker configuration's move order: quiet moves by the node counter,
// root moves best first and then by the generator's keys.
#include <gtest/gtest.h>

#include <vector>

#include "configs/worker_order.h"

namespace orvex {
namespace {

std::vector<SearchMove> order(std::vector<SearchMove> list, std::vector<SearchMove> skipped, u32 countdown,
                              u32 processes) {
  SearchMove moves[kMaxMoves];
  for (std::size_t i = 0; i < list.size(); ++i) moves[i] = list[i];
  moves[list.size()] = 0;
  SearchMove skip[5] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  for (std::size_t i = 0; i < skipped.size(); ++i) skip[i] = skipped[i];
  order_quiet_moves_worker(moves, skip, countdown, processes);
  std::vector<SearchMove> out;
  for (u32 i = 0; moves[i]; ++i) out.push_back(moves[i]);
  return out;
}

TEST(WorkerOrder, QuietMovesByTheNodeCounter) {
  // Three processes, counter 1000: keys 0, 488, 464, 440 for the first four.
  EXPECT_EQ(order({11, 12, 13, 14}, {}, 1000, 3), (std::vector<SearchMove>{12, 13, 14, 11}));
  // Two processes: generation order, whatever the counter.
  EXPECT_EQ(order({11, 12, 13, 14}, {}, 1000, 2), (std::vector<SearchMove>{11, 12, 13, 14}));
  // A multiple of 512 keys every move 0: generation order.
  EXPECT_EQ(order({11, 12, 13, 14}, {}, 1024, 4), (std::vector<SearchMove>{11, 12, 13, 14}));
  // Left-out moves are dropped; they still count for the index of the keys
  // (12 keeps key 488 with 11 left out).
  EXPECT_EQ(order({11, 12, 13, 14}, {11}, 1000, 3), (std::vector<SearchMove>{12, 13, 14}));
  EXPECT_EQ(order({11, 12, 13, 14}, {13, 14}, 1000, 2), (std::vector<SearchMove>{11, 12}));
  EXPECT_EQ(order({11, 12, 13, 14}, {12}, 1000, 3), (std::vector<SearchMove>{13, 14, 11}));
  EXPECT_EQ(order({}, {}, 1000, 3), (std::vector<SearchMove>{}));
}

TEST(WorkerOrder, RootMovesBestFirstThenShuffled) {
  // m0..m3 with m2 best: m2 and m0 change places, then keys are drawn for
  // m1, m0, m3 in this order from the counter.
  SearchMove moves[5] = {100, 101, 102, 103, 0};
  u32 keys[5] = {5, 7, 90, 3, 0};
  const u32 countdown = 777;
  shuffle_root_moves_worker(moves, keys, 4, countdown);
  EXPECT_EQ(moves[0], 102u);
  u32 state = countdown;
  u32 drawn[3];
  for (u32& d : drawn) {
    state = state * 214013u + 2531011u;
    d = (state >> 16) & 0x7FFF;
  }
  // Index 1 holds m1, 2 holds m0, 3 holds m3 before the sort.
  std::vector<std::pair<u32, SearchMove>> rest = {{drawn[0], 101}, {drawn[1], 100}, {drawn[2], 103}};
  std::stable_sort(rest.begin(), rest.end(), [](auto a, auto b) { return a.first > b.first; });
  for (int i = 0; i < 3; ++i) EXPECT_EQ(moves[i + 1], rest[i].second);

  // Two counters, two orders (with enough moves to tell).
  SearchMove a[21], b[21];
  u32 ka[21], kb[21];
  for (u32 i = 0; i < 20; ++i) a[i] = b[i] = 200 + i, ka[i] = kb[i] = 0;
  shuffle_root_moves_worker(a, ka, 20, 1000);
  shuffle_root_moves_worker(b, kb, 20, 1001);
  EXPECT_EQ(a[0], 200u);
  EXPECT_EQ(b[0], 200u);
  EXPECT_NE(std::vector<SearchMove>(a, a + 20), std::vector<SearchMove>(b, b + 20));
}

}  // namespace
}  // namespace orvex
