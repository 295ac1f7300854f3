#pragma once

#include <cstdint>

namespace quor {

// The library's 64-bit name hash. Every name id (scene named objects, preset cameras,
// track, mesh and animation caches) is this value or its low 32 bits, so stored ids
// stay valid only while the algorithm stays bit-for-bit the same.
uint64_t NameHash64(const char* text);

}  // namespace quor
