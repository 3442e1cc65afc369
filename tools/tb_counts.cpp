// Prints the number of positions of every tablebase class and side to move,
// found from the index functions (tools/tb_count_search.h), and compares them
// with the descriptor table.
//
// Usage: tool_tb_counts [first-class [last-class [threads]]]
// Prints "id name count0 count1" per class, marks counts that differ from the
// descriptor table with "MISMATCH", and ends with the number of mismatches.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tools/tb_count_search.h"

int main(int argc, char** argv) {
  using namespace orvex;
  const int lo = argc > 1 ? std::atoi(argv[1]) : 1;
  const int hi = argc > 2 ? std::atoi(argv[2]) : kTbClassCount - 1;
  const int threads = argc > 3 ? std::atoi(argv[3]) : 4;
  if (lo < 1 || hi >= kTbClassCount || lo > hi || threads < 1) {
    std::fprintf(stderr, "usage: tool_tb_counts [first-class [last-class [threads]]]\n");
    return 2;
  }
  std::vector<u64> counts(2 * kTbClassCount);
  std::atomic<int> next{lo};
  std::vector<std::thread> pool;
  for (int i = 0; i < threads; ++i) {
    pool.emplace_back([&] {
      for (int id; (id = next.fetch_add(1)) <= hi;) {
        for (int side = 0; side < 2; ++side) counts[2 * id + side] = tb_count_search::position_count(id, side);
      }
    });
  }
  for (auto& t : pool) t.join();
  int mismatches = 0;
  for (int id = lo; id <= hi; ++id) {
    const TbClassDescriptor& d = tb_class_descriptors[id];
    const bool differs = counts[2 * id] != d.position_count[0] || counts[2 * id + 1] != d.position_count[1];
    mismatches += differs;
    std::printf("%d %s %llu %llu%s\n", id, d.name, static_cast<unsigned long long>(counts[2 * id]),
                static_cast<unsigned long long>(counts[2 * id + 1]), differs ? " MISMATCH" : "");
  }
  std::printf("mismatches %d\n", mismatches);
  return mismatches == 0 ? 0 : 1;
}
