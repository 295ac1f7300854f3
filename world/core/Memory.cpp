#include "world/core/Memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/win32/Messages.h"

namespace quor {

void OutOfMemory(std::size_t size) noexcept {
    char line[96];
    std::snprintf(line, sizeof(line), "[ERROR] world: out of memory allocating %zu bytes\n", size);
    win32::OutputDebugStringA(line);
    std::fputs(line, stderr);
    std::abort();
}

namespace {

constexpr std::size_t kLargePage = std::size_t(2) << 20;

std::size_t LargeLength(std::size_t bytes) { return (bytes + kLargePage - 1) & ~(kLargePage - 1); }

// Freed large blocks kept for the next load: a level loads and frees meshes of like sizes, and
// a kept block is refilled without faulting a page in. Kept blocks stay resident (handing
// their pages back lazily costs about what faulting them in does), so their total is bounded,
// as the C runtime bounds the free memory it keeps on its heap.
constexpr std::size_t kKeptBlocks = 32;
constexpr std::size_t kKeptBytes = std::size_t(256) << 20;

struct KeptBlocks {
    std::mutex lock;
    void* block[kKeptBlocks] = {};
    std::size_t length[kKeptBlocks] = {};
    std::size_t count = 0;
    std::size_t bytes = 0;

    // The smallest kept block of at least `length` bytes, taken out; null when none fits.
    void* Take(std::size_t wanted, std::size_t& got) {
        std::lock_guard<std::mutex> hold(lock);
        std::size_t best = count;
        for (std::size_t i = 0; i < count; ++i) {
            if (length[i] >= wanted && (best == count || length[i] < length[best])) best = i;
        }
        if (best == count) return nullptr;
        void* p = block[best];
        got = length[best];
        bytes -= got;
        --count;
        block[best] = block[count];
        length[best] = length[count];
        return p;
    }
    // Keeps the block; answers the blocks that no longer fit, oldest first, for unmapping.
    std::size_t Keep(void* p, std::size_t len, void** dropped, std::size_t* droppedLength) {
        std::lock_guard<std::mutex> hold(lock);
        std::size_t drops = 0;
        while (count > 0 && (count == kKeptBlocks || bytes + len > kKeptBytes)) {
            dropped[drops] = block[0];
            droppedLength[drops++] = length[0];
            bytes -= length[0];
            --count;
            for (std::size_t i = 0; i < count; ++i) {
                block[i] = block[i + 1];
                length[i] = length[i + 1];
            }
        }
        block[count] = p;
        length[count++] = len;
        bytes += len;
        return drops;
    }
};

KeptBlocks& Kept() {
    static KeptBlocks kept;
    return kept;
}

}  // namespace

void* LargeBlockAlloc(std::size_t bytes, bool zeroed) noexcept {
    if (bytes < kLargePage) return zeroed ? std::calloc(bytes ? bytes : 1, 1) : MemAlloc(bytes);
    if (bytes > SIZE_MAX - 2 * kLargePage) return nullptr;
    const std::size_t length = LargeLength(bytes);
    std::size_t got = 0;
    if (void* kept = Kept().Take(length, got)) {
        if (got > length) munmap(static_cast<char*>(kept) + length, got - length);
        if (zeroed) std::memset(kept, 0, bytes);
        return kept;
    }
    // Map a large page more than asked, keep the aligned part: large pages need 2 MB alignment.
    void* raw = mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kLargePage - 1) & ~std::uintptr_t(kLargePage - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const std::uintptr_t end = start + length + kLargePage;
    if (end > aligned + length) munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
    void* block = reinterpret_cast<void*>(aligned);
    // Only advice: where the system has no large pages to give, small ones serve.
    madvise(block, length, MADV_HUGEPAGE);
    return block;  // fresh anonymous pages read as zero
}

void LargeBlockFree(void* p, std::size_t bytes) noexcept {
    if (!p) return;
    if (bytes < kLargePage) {
        MemFree(p);
        return;
    }
    const std::size_t length = LargeLength(bytes);
    if (length > kKeptBytes) {
        munmap(p, length);
        return;
    }
    void* dropped[kKeptBlocks];
    std::size_t droppedLength[kKeptBlocks];
    const std::size_t drops = Kept().Keep(p, length, dropped, droppedLength);
    for (std::size_t i = 0; i < drops; ++i) munmap(dropped[i], droppedLength[i]);
}

void ReleaseKeptLargeBlocks() noexcept {
    std::size_t got = 0;
    while (void* p = Kept().Take(0, got)) munmap(p, got);
}

}  // namespace quor
