#include "world/core/Align16.h"

#include <atomic>
#include <cstdlib>

namespace quor {

namespace detail {
std::atomic<bool> g_useAlignedAlloc{false};
}

namespace {

// A cache line rather than the 16 bytes the SSE loads need: an object's first line then holds
// exactly the fields its class puts first (the ones the per-frame walks read).
constexpr std::size_t kAlignment = 64;

void* AlignedAlloc(std::size_t size) noexcept {
    // aligned_alloc wants a multiple of the alignment.
    const std::size_t rounded = (size + kAlignment - 1) & ~(kAlignment - 1);
    return std::aligned_alloc(kAlignment, rounded ? rounded : kAlignment);
}
}  // namespace

void SetUseAlignedAlloc(bool on) { detail::g_useAlignedAlloc.store(on, std::memory_order_relaxed); }

void* Align16::operator new(std::size_t size) noexcept { return AlignedAlloc(size); }
void* Align16::operator new[](std::size_t size) noexcept { return AlignedAlloc(size); }
void Align16::operator delete(void* p) noexcept { std::free(p); }
void Align16::operator delete[](void* p) noexcept { std::free(p); }

}  // namespace quor
