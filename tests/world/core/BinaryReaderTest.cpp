#include "world/core/BinaryReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

using quor::BinaryReader;

const std::vector<std::uint8_t> kBytes = {
    0x52, 0x47, 0x49, 0x4D,  // u32 0x4D494752
    0x34, 0x12,              // u16 0x1234
    0xFF,                    // u8
    0x00, 0x00, 0x80, 0x3F,  // f32 1.0
    0xFE, 0xFF, 0xFF, 0xFF,  // i32 -2
    0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,  // u64
};

TEST(BinaryReader, ReadsLittleEndianFieldsInOrder) {
    BinaryReader r(kBytes.data(), kBytes.size());
    EXPECT_EQ(r.U32(), 0x4D494752u);
    EXPECT_EQ(r.U16(), 0x1234u);
    EXPECT_EQ(r.U8(), 0xFFu);
    EXPECT_EQ(r.F32(), 1.0f);
    EXPECT_EQ(r.I32(), -2);
    EXPECT_EQ(r.U64(), 0x0807060504030201ull);
    EXPECT_TRUE(r.Ok());
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(BinaryReader, PeeksAtExplicitOffsetsWithoutMovingOrFailing) {
    BinaryReader r(kBytes.data(), kBytes.size());
    EXPECT_EQ(r.U16At(4), 0x1234u);
    EXPECT_EQ(r.F32At(7), 1.0f);
    EXPECT_EQ(r.U8At(6), 0xFFu);
    EXPECT_EQ(r.U32At(kBytes.size() - 3), 0u);  // would run past the end
    EXPECT_EQ(r.U32At(std::numeric_limits<std::size_t>::max() - 1), 0u);
    EXPECT_EQ(r.Offset(), 0u);
    EXPECT_TRUE(r.Ok());
}

// Each read that does not fit fails, answers zero, and every later read fails too.
TEST(BinaryReader, FailureIsStickyAndReadsAnswerZero) {
    struct Case {
        const char* what;
        void (*read)(BinaryReader&);
    };
    const Case cases[] = {
        {"u8", [](BinaryReader& r) { EXPECT_EQ(r.U8(), 0u); }},
        {"u16", [](BinaryReader& r) { EXPECT_EQ(r.U16(), 0u); }},
        {"u32", [](BinaryReader& r) { EXPECT_EQ(r.U32(), 0u); }},
        {"f32", [](BinaryReader& r) { EXPECT_EQ(r.F32(), 0.0f); }},
        {"bytes", [](BinaryReader& r) {
             std::uint8_t b[2] = {9, 9};
             EXPECT_FALSE(r.Bytes(b, 2));
             EXPECT_EQ(b[0], 0u);
         }},
        {"floats", [](BinaryReader& r) {
             float f[2] = {9, 9};
             EXPECT_FALSE(r.F32s(f, 2));
             EXPECT_EQ(f[1], 0.0f);
         }},
        {"span", [](BinaryReader& r) { EXPECT_EQ(r.Span(2), nullptr); }},
        {"skip", [](BinaryReader& r) { EXPECT_FALSE(r.Skip(2)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint8_t one[1] = {7};
        BinaryReader r(one, 0);  // nothing left: every read above fails
        c.read(r);
        EXPECT_TRUE(r.Failed());
        EXPECT_EQ(r.Offset(), 0u);
        BinaryReader s(one, 1);
        s.Fail();
        EXPECT_EQ(s.U8(), 0u);  // the byte is there, but the reader has already failed
        EXPECT_EQ(s.Offset(), 0u);
    }
}

TEST(BinaryReader, PartialReadDoesNotAdvance) {
    BinaryReader r(kBytes.data(), 3);
    EXPECT_EQ(r.U16(), 0x4752u);
    EXPECT_EQ(r.U16(), 0u);
    EXPECT_TRUE(r.Failed());
    EXPECT_EQ(r.Offset(), 2u);
    EXPECT_EQ(r.U8(), 0u);  // the byte left is not read after the failure
}

TEST(BinaryReader, CheckCountRefusesCountsBeyondWhatRemains) {
    std::vector<std::uint8_t> buf(40);
    struct Case {
        std::uint64_t count;
        std::size_t size;
        bool fits;
    };
    const Case cases[] = {
        {10, 4, true},
        {11, 4, false},
        {0, 1000, true},
        {40, 1, true},
        {41, 1, false},
        {std::numeric_limits<std::uint64_t>::max(), 4, false},  // the product would overflow
        {std::uint64_t{1} << 62, 8, false},
        {12345, 0, true},
    };
    for (const Case& c : cases) {
        BinaryReader r(buf.data(), buf.size());
        EXPECT_EQ(r.CheckCount(c.count, c.size), c.fits) << c.count << " x " << c.size;
        EXPECT_EQ(r.Ok(), c.fits);
    }
    BinaryReader r(buf.data(), buf.size());
    r.Skip(36);
    EXPECT_TRUE(r.CheckCount(1, 4));
    EXPECT_FALSE(r.CheckCount(2, 4));
}

TEST(BinaryReader, ArraysDecodeLittleEndian) {
    const std::uint8_t b[] = {0x01, 0x00, 0x02, 0x01, 0x00, 0x00, 0x80, 0xBF, 0x78, 0x56, 0x34, 0x12};
    BinaryReader r(b, sizeof b);
    std::uint16_t s[2];
    float f[1];
    std::uint32_t u[1];
    EXPECT_TRUE(r.U16s(s, 2));
    EXPECT_TRUE(r.F32s(f, 1));
    EXPECT_TRUE(r.U32s(u, 1));
    EXPECT_EQ(s[0], 1u);
    EXPECT_EQ(s[1], 0x0102u);
    EXPECT_EQ(f[0], -1.0f);
    EXPECT_EQ(u[0], 0x12345678u);
    EXPECT_TRUE(r.U16s(s, 0));  // an empty array is fine, even at the end
    EXPECT_TRUE(r.Ok());
}

TEST(BinaryReader, SeekAndSpan) {
    BinaryReader r(kBytes.data(), kBytes.size());
    EXPECT_TRUE(r.Seek(4));
    const std::uint8_t* p = r.Span(2);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p, kBytes.data() + 4);
    EXPECT_TRUE(r.Seek(kBytes.size()));
    EXPECT_TRUE(r.AtEnd());
    EXPECT_FALSE(r.Seek(kBytes.size() + 1));
    EXPECT_TRUE(r.Failed());
}

TEST(BinaryReader, NullImageIsEmpty) {
    BinaryReader r(nullptr, 100);
    EXPECT_EQ(r.Size(), 0u);
    EXPECT_EQ(r.U8(), 0u);
    EXPECT_TRUE(r.Failed());
}

}  // namespace
