#include "world/core/Memory.h"

#include <gtest/gtest.h>

#include <cstdint>
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

TEST(MemoryDeathTest, OutOfMemoryEndsTheProcessWithALogLine) {
    EXPECT_DEATH(quor::OutOfMemory(123), "out of memory allocating 123 bytes");
}

}  // namespace
