// The edition's search benchmark: fixed positions searched to a fixed depth
// in one process with a cleared hash table before each.  The total of made
// moves is the signature of the search's behaviour.
#pragma once
#include "core/bench_positions.h"
#include "position/types.h"

namespace orvex::larkspire {

// The positions are the main search benchmark's (kBenchFens).

// The signature at the benchmark's default depth.
constexpr int kBenchDepth = 10;

// Searches every benchmark position to `depth` plies; their made moves into
// per_position (when given); returns the total.  The transposition table must
// be attached; nothing is printed (the process acts as a worker would).
u64 run_benchmark(int depth, u64* per_position = nullptr);

}  // namespace orvex::larkspire
