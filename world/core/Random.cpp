#include "world/core/Random.h"

#include <cstdint>

namespace quor {

namespace {
thread_local std::uint32_t t_state = 1;
}

int Rand() {
    t_state = t_state * 214013u + 2531011u;
    return static_cast<int>((t_state >> 16) & 0x7FFFu);
}

void SeedRand(unsigned seed) { t_state = seed; }

}  // namespace quor
