#pragma once
#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

// How the module allocates. Nothing of the module throws, so memory exhaustion never
// becomes a std::bad_alloc in the host:
//
//   - Objects:  NewObject<T>(args...) and NewArray<T>(count) answer null when memory is
//               exhausted; test the result where creation may fail, release with delete or
//               delete[]. No bare `new` expression in world/.
//   - Blocks:   MemAlloc/MemFree, the plain pair (the C runtime heap, null on exhaustion).
//   - Containers and strings of the standard library keep their default allocator. Inside
//               the module the throwing forms of the global operator new are replaced
//               (Memory.cpp, never exported): when the heap is exhausted they write one log
//               line and end the process instead of throwing, as a container that cannot
//               grow has no way to report it.
//
// Classes deriving from Align16 go through its own operators in the same forms.
namespace quor {

inline void* MemAlloc(std::size_t size) noexcept { return std::malloc(size ? size : 1); }
inline void MemFree(void* p) noexcept { std::free(p); }

// Big arrays that a read fills whole (mesh vertex arrays): answers null on exhaustion, and
// the memory is zero when `zeroed`. Fresh memory reaches the process a page at a time, and
// with small pages the faults of a block of tens of megabytes cost far more than filling it;
// blocks from 2 MB on are therefore mapped on their own and asked for in large pages, and a
// few freed ones are kept for the next load. Give LargeBlockFree the size the block was
// allocated with. ReleaseKeptLargeBlocks hands the kept ones back to the system.
void* LargeBlockAlloc(std::size_t bytes, bool zeroed) noexcept;
void LargeBlockFree(void* p, std::size_t bytes) noexcept;
void ReleaseKeptLargeBlocks() noexcept;

// new that answers null instead of throwing.
template <typename T, typename... Args>
T* NewObject(Args&&... args) noexcept {
    return new (std::nothrow) T(std::forward<Args>(args)...);
}

// new T[count] (default-initialised) that answers null instead of throwing.
template <typename T>
T* NewArray(std::size_t count) noexcept {
    return new (std::nothrow) T[count];
}

// What the replaced global operator new does when the heap is exhausted: one line to the
// debugger output and standard error, then the process ends. Never returns.
[[noreturn]] void OutOfMemory(std::size_t size) noexcept;

}  // namespace quor
