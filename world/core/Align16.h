#pragma once
#include <atomic>
#include <cstddef>
#include <new>

namespace quor {

// The module-wide switch that World::Initialize reads from IUtils::UseAlignedAlloc().
// It chooses the SSE forms of the math routines. Allocation of Align16 objects is always
// aligned, so an object made before the switch is set is still released correctly.
namespace detail {
extern std::atomic<bool> g_useAlignedAlloc;
}
// Inline: the per-object transform loops read it for every object.
inline bool UseAlignedAlloc() { return detail::g_useAlignedAlloc.load(std::memory_order_relaxed); }
void SetUseAlignedAlloc(bool on);

// Base of every class that keeps SSE-aligned matrices; only its allocation operators, which
// align to a cache line (more than the 16 bytes the matrices need). alignas makes the array
// cookie of a derived class with a destructor 16 bytes long, so every element of new D[n]
// starts on a 16-byte boundary, not only the block. The operators answer null when memory is
// exhausted; the nothrow forms are the ones NewObject and NewArray reach.
struct alignas(16) Align16 {
    static void* operator new(std::size_t size) noexcept;
    static void* operator new[](std::size_t size) noexcept;
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return operator new(size); }
    static void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return operator new[](size); }
    static void operator delete(void* p) noexcept;
    static void operator delete[](void* p) noexcept;
    static void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
    static void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete[](p); }
};

}  // namespace quor
