#include "world/core/Align16.h"

#include <atomic>
#include <cstdlib>

namespace quor {

namespace {
std::atomic<bool> g_useAlignedAlloc{false};

void* AlignedAlloc(std::size_t size) noexcept {
    // aligned_alloc wants a multiple of the alignment.
    const std::size_t rounded = (size + 15) & ~std::size_t{15};
    return std::aligned_alloc(16, rounded ? rounded : 16);
}
}  // namespace

bool UseAlignedAlloc() { return g_useAlignedAlloc.load(std::memory_order_relaxed); }
void SetUseAlignedAlloc(bool on) { g_useAlignedAlloc.store(on, std::memory_order_relaxed); }

void* Align16::operator new(std::size_t size) noexcept { return AlignedAlloc(size); }
void* Align16::operator new[](std::size_t size) noexcept { return AlignedAlloc(size); }
void Align16::operator delete(void* p) noexcept { std::free(p); }
void Align16::operator delete[](void* p) noexcept { std::free(p); }

}  // namespace quor
