#include "search/tt.h"

#include <cstring>

namespace orvex {

TranspositionTable tt;
u32 current_age = 0;
AgeWeights age_weights;
bool tt_preserve_analysis = false;

void tt_attach(void* memory, u64 entry_count) {
  if (!memory || entry_count < 7) {
    tt_detach();
    return;
  }
  const u64 n = entry_count - 3;
  tt.entries = static_cast<TtEntry*>(memory);
  tt.entry_count = static_cast<u32>(entry_count);
  tt.index_mask = n - 2;
}

void tt_detach() { tt = TranspositionTable{}; }

void tt_zero() {
  if (tt.entries) std::memset(static_cast<void*>(tt.entries), 0, std::size_t{tt.entry_count} * sizeof(TtEntry));
}

void compute_age_weights() {
  for (u32 a = 0; a < 64; ++a) age_weights[a] = (((current_age - a) & 63) + 1) * 256;
}

void reset_tt_ages() {
  current_age = 0;
  compute_age_weights();
}

void advance_tt_age() {
  current_age = (current_age + 1) & 63;
  compute_age_weights();
}

}  // namespace orvex
