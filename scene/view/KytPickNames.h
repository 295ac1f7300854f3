#pragma once
// Selection names for things named by address. GL names are 32 bits, so a pointer is never a
// name itself: during a selection pass each named pointer gets a small id here and the decoder
// turns hit ids back into pointers. Ids stay clear of every literal name the library loads
// (0 to 0xFFFF and 0xFFFFFFFF). One pass at a time, like KytContents::bPickMode.

#include <cstddef>
#include <cstdint>
#include <vector>

class KytPickNames {
public:
    // First id handed out in a pass.
    static constexpr uint32_t kFirstId = 0x10000u;
    // The id every pointer gets outside a pass: drawing for the screen pays one test.
    static constexpr uint32_t kUnnamed = 0xFFFFFFFEu;

    // Opens a pass and forgets the ids of the previous one.
    static void Begin();
    // Closes naming; ids stay readable until the next Begin.
    static void End();
    static bool IsOpen() { return s_bOpen; }

    // Id of `p`: registered while a pass is open, kUnnamed otherwise (or for a null pointer).
    static uint32_t Name(const void* p)
    {
        if (!s_bOpen || !p)
            return kUnnamed;
        return Register(p, 0, 1);
    }
    // Names `count` items of `stride` bytes from `first` at once; item i has the returned
    // id + i. kUnnamed outside a pass or for an empty range.
    static uint32_t NameRange(const void* first, size_t stride, size_t count)
    {
        if (!s_bOpen || !first || count == 0)
            return kUnnamed;
        return Register(first, stride, count);
    }
    // Loads `p`'s id as the current selection name while a pass is open. Outside a pass every
    // pointer has the same id, so nothing is loaded: GL would flush its vertex batch for it.
    static void LoadName(const void* p);

    // The pointer named `id` in the current (or last closed) pass, or null.
    static const void* Lookup(uint32_t id);
    // Number of ids handed out in the current pass.
    static size_t Count() { return s_uNext - kFirstId; }

private:
    struct Range {
        uint32_t first;
        const unsigned char* base;
        size_t stride;
        size_t count;
    };
    static uint32_t Register(const void* p, size_t stride, size_t count);

    static bool s_bOpen;
    static uint32_t s_uNext;
    static std::vector<Range> s_ranges;
};
