#include "world/core/NameHash64.h"

namespace quor {

namespace {

// Two 32-bit lanes mixed by multiplications whose multipliers come from a rotating key.
struct NameHashState {
    uint32_t key = 0xF4FA8928u;
    uint32_t a = 0x37A8470Eu;
    uint32_t b = 0x7758B42Bu;
    uint32_t m = 0;

    void Step() {
        key = (key << 1) | (key >> 31);
        m = 0x267B0B11u ^ key;
    }

    void Mix(uint32_t w) {
        a ^= w;
        b ^= w;
        const uint32_t mixedA = a;

        const uint32_t t = ((m + b) | 0x02040801u) & 0xBFEF7FDFu;
        uint64_t p = uint64_t{a} * t;
        uint32_t lo = static_cast<uint32_t>(p);
        uint32_t hi = static_cast<uint32_t>(p >> 32);
        const uint64_t sumA = uint64_t{lo} + hi + (hi != 0 ? 1u : 0u);
        a = static_cast<uint32_t>(sumA) + static_cast<uint32_t>(sumA >> 32);

        const uint32_t u = ((m + mixedA) | 0x00804021u) & 0x7DFEFBFFu;
        p = uint64_t{b} * u;
        lo = static_cast<uint32_t>(p);
        hi = static_cast<uint32_t>(p >> 32);
        const uint64_t sumB = uint64_t{lo} + static_cast<uint32_t>(hi << 1) + (hi >> 31);
        b = static_cast<uint32_t>(sumB) + ((sumB >> 32) != 0 ? 2u : 0u);
    }
};

}  // namespace

uint64_t NameHash64(const char* text) {
    NameHashState h;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text != nullptr ? text : "");
    for (;;) {
        h.Step();
        uint32_t w = 0;
        int n = 0;
        for (; n < 4 && p[n] != 0; ++n) w |= uint32_t{p[n]} << (8 * n);
        if (n == 0) break;
        h.Mix(w);
        p += n;
        if (n < 4) {
            // A short last word still moves the key, so the first closing mix uses a fresh one.
            h.Step();
            break;
        }
    }
    h.Mix(0x9BE74448u);
    h.Step();
    h.Mix(0x66F42C48u);
    return (uint64_t{h.a} << 32) | (h.a ^ h.b);
}

uint64_t NameHash64Bytes(const void* data, std::size_t size) {
    NameHashState h;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::size_t left = p ? size : 0;
    for (;;) {
        h.Step();
        if (left == 0) break;
        const std::size_t n = left < 4 ? left : 4;
        uint32_t w = 0;
        for (std::size_t i = 0; i < n; ++i) w |= uint32_t{p[i]} << (8 * i);
        h.Mix(w);
        p += n;
        left -= n;
        if (n < 4) {
            h.Step();
            break;
        }
    }
    h.Mix(0x9BE74448u);
    h.Step();
    h.Mix(0x66F42C48u);
    return (uint64_t{h.a} << 32) | (h.a ^ h.b);
}

}  // namespace quor
