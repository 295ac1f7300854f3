#include "world/core/Memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

struct Counted {
    explicit Counted(int v) : value(v) {}
    int value;
};

TEST(Memory, ObjectsAndArraysComeFromTheNonThrowingForms) {
    Counted* c = quor::NewObject<Counted>(7);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->value, 7);
    delete c;

    int* ints = quor::NewArray<int>(5);
    ASSERT_NE(ints, nullptr);
    delete[] ints;

    void* block = quor::MemAlloc(0);  // a zero-size request still gets a block of its own
    EXPECT_NE(block, nullptr);
    quor::MemFree(block);
}

TEST(Memory, ExhaustionAnswersNullInsteadOfThrowing) {
    // More than any heap holds: the request fails whatever the machine.
    const std::size_t huge = SIZE_MAX / 4;
    EXPECT_EQ(quor::NewArray<char>(huge), nullptr);
    EXPECT_EQ(quor::MemAlloc(huge), nullptr);
}

TEST(Memory, LargeBlocksAreWritableAndZeroedWhenAsked) {
    // Both sides of the 2 MB line, and a kept block refilled: a block freed dirty and asked
    // for again zeroed must read zero.
    const std::size_t mb = std::size_t(1) << 20;
    const std::size_t sizes[] = {0, 1, 2 * mb - 1, 2 * mb, 2 * mb + 1, 5 * mb + 3};
    for (int round = 0; round < 2; ++round) {
        for (std::size_t bytes : sizes) {
            SCOPED_TRACE(testing::Message() << bytes << " bytes, round " << round);
            auto* zero = static_cast<std::uint8_t*>(quor::LargeBlockAlloc(bytes, true));
            ASSERT_NE(zero, nullptr);
            std::size_t nonZero = 0;
            for (std::size_t i = 0; i < bytes; ++i) nonZero += zero[i] != 0;
            EXPECT_EQ(nonZero, 0u);
            std::memset(zero, 0xAB, bytes);
            quor::LargeBlockFree(zero, bytes);
            auto* raw = static_cast<std::uint8_t*>(quor::LargeBlockAlloc(bytes, false));
            ASSERT_NE(raw, nullptr);
            std::memset(raw, 0xCD, bytes);
            if (bytes) {
                EXPECT_EQ(raw[bytes - 1], 0xCD);
            }
            quor::LargeBlockFree(raw, bytes);
        }
    }
    quor::ReleaseKeptLargeBlocks();
    EXPECT_EQ(quor::LargeBlockAlloc(SIZE_MAX - 1, false), nullptr);
}

TEST(MemoryDeathTest, OutOfMemoryEndsTheProcessWithALogLine) {
    EXPECT_DEATH(quor::OutOfMemory(123), "out of memory allocating 123 bytes");
}

}  // namespace
