#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "world/core/NameHash64.h"

namespace {

struct Known {
    const char* text;
    uint64_t hash;
};

// Values stored ids depend on: the empty name, a short word, exactly one word, one word and a byte.
TEST(NameHash64, KnownValues) {
    const Known cases[] = {
        {"", 0x765DBB92514FF88Full},
        {"abc", 0x566BF89310E668B5ull},
        {"abcde", 0x14ED166194BDF716ull},
    };
    for (const Known& c : cases) EXPECT_EQ(quor::NameHash64(c.text), c.hash) << c.text;
    EXPECT_EQ(static_cast<uint32_t>(quor::NameHash64("abcd")), 0xBFDBDC66u);
    EXPECT_EQ(static_cast<uint32_t>(quor::NameHash64("abc")), 0x10E668B5u);
}

TEST(NameHash64, NullHashesAsEmpty) {
    EXPECT_EQ(quor::NameHash64(nullptr), quor::NameHash64(""));
}

// Bytes after the terminator never count, and every length class (word-aligned or not) separates
// names that differ in one byte.
TEST(NameHash64, OnlyBytesBeforeTheTerminatorCount) {
    const char withTail[] = {'a', 'b', 0, 'x', 'y', 'z', 0};
    EXPECT_EQ(quor::NameHash64(withTail), quor::NameHash64("ab"));
    std::set<uint64_t> seen;
    std::string name;
    for (int len = 1; len <= 12; ++len) {
        name.push_back('a');
        seen.insert(quor::NameHash64(name.c_str()));
        std::string other = name;
        other.back() = 'b';
        seen.insert(quor::NameHash64(other.c_str()));
    }
    EXPECT_EQ(seen.size(), 24u);
}

}  // namespace
