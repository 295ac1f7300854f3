#pragma once

#include <cstddef>
#include <cstdint>

namespace quor {

// The library's 64-bit name hash. Every name id (scene named objects, preset cameras,
// track, mesh and animation caches) is this value or its low 32 bits, so stored ids
// stay valid only while the algorithm stays bit-for-bit the same.
uint64_t NameHash64(const char* text);

// The same hash over a byte buffer (file contents): whole little-endian words while four or
// more bytes remain, then the last one to three bytes as a zero-padded word. The bytes of a
// name give the name's hash.
uint64_t NameHash64Bytes(const void* data, std::size_t size);

}  // namespace quor
