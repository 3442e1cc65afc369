// The positions the fixed-depth search benchmarks of both editions search,
// and the step that makes one of them (or any FEN) the root position.
#pragma once
#include <cstddef>

namespace orvex {

constexpr std::size_t kBenchPositions = 12;
extern const char* const kBenchFens[kBenchPositions];

// Carries out "position fen <fen>" as the interpreter would: the position
// becomes the root and the stored position line.
void set_bench_position(const char* fen);

}  // namespace orvex
