#pragma once
#include <atomic>
#include <cstddef>

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
// align to a cache line (more than the 16 bytes the matrices need).
struct Align16 {
    static void* operator new(std::size_t size) noexcept;
    static void* operator new[](std::size_t size) noexcept;
    static void operator delete(void* p) noexcept;
    static void operator delete[](void* p) noexcept;
};

}  // namespace quor
