#include "world/core/Align16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "world/core/Memory.h"

namespace {

int g_destroyed = 0;

// glibc's malloc is 16-aligned already, so only what the class itself adds can break the
// alignment: the cookie that new[] keeps before the elements of a class with a destructor.
struct WithDestructor : quor::Align16 {
    float m[16];
    ~WithDestructor() { ++g_destroyed; }
};

struct Odd {
    float x[3];
};

// Twelve bytes of floats, then a member that the SSE routines load aligned.
struct WithAlignedMember : quor::Align16 {
    Odd head;
    alignas(16) float v[4];
    ~WithAlignedMember() { ++g_destroyed; }
};

bool Aligned(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 16 == 0; }

template <class T>
void ExpectEveryElementAligned(const char* name) {
    for (bool on : {false, true}) {
        quor::SetUseAlignedAlloc(on);
        for (int count = 1; count <= 9; ++count) {
            g_destroyed = 0;
            T* many = new T[count];
            for (int i = 0; i < count; ++i) EXPECT_TRUE(Aligned(&many[i])) << name << " element " << i << " of " << count;
            // Made under one switch and released under the other: the sanitizers see a wrong release.
            quor::SetUseAlignedAlloc(!on);
            delete[] many;
            quor::SetUseAlignedAlloc(on);
            EXPECT_EQ(g_destroyed, count);

            std::unique_ptr<T> one(quor::NewObject<T>());
            ASSERT_NE(one, nullptr);
            EXPECT_TRUE(Aligned(one.get())) << name;
            std::unique_ptr<T[]> array(quor::NewArray<T>(static_cast<std::size_t>(count)));
            ASSERT_NE(array, nullptr);
            for (int i = 0; i < count; ++i) EXPECT_TRUE(Aligned(&array[i])) << name << " nothrow element " << i;
        }
    }
    quor::SetUseAlignedAlloc(false);
}

TEST(Align16, EveryArrayElementIsAlignedWhateverTheSwitch) {
    static_assert(alignof(WithDestructor) == 16);
    ExpectEveryElementAligned<WithDestructor>("WithDestructor");
    ExpectEveryElementAligned<WithAlignedMember>("WithAlignedMember");
}

}  // namespace
