#pragma once

namespace quor {

// The runtime's own generator, per thread: state = state * 214013 + 2531011, each value
// bits 16..30 of the new state. Every thread starts from seed 1 and the module never
// reseeds, so runs repeat the same sequences.
constexpr int kRandMax = 0x7FFF;
int Rand();
// For tests that need a known start; the module itself never calls it.
void SeedRand(unsigned seed);

}  // namespace quor
