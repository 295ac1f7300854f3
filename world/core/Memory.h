#pragma once
#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

namespace quor {

// The library's plain allocation pair: the C runtime heap, null when it is exhausted,
// never an exception. Objects built in place test the result (critical sections, scenes).
inline void* MemAlloc(std::size_t size) noexcept { return std::malloc(size ? size : 1); }
inline void MemFree(void* p) noexcept { std::free(p); }

// new that answers null instead of throwing, for objects whose creation may fail.
template <typename T, typename... Args>
T* NewObject(Args&&... args) noexcept {
    return new (std::nothrow) T(std::forward<Args>(args)...);
}

}  // namespace quor
