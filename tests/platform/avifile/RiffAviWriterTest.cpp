#include "platform/avifile/AviReader.h"
#include "platform/avifile/AviStream.h"
#include "platform/avifile/RecordingAviStream.h"
#include "platform/avifile/RiffAviWriter.h"
#include "platform/avifile/RiffLayout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quor::avi::AviFile;
using quor::avi::ParseAvi;
using quor::avi::RiffAviWriter;
using quor::avi::VideoFormat;

std::string TempPath(const std::string& leaf) {
    const fs::path dir = fs::path(QUOR_BINARY_DIR) / "test_out" / "avifile";
    fs::create_directories(dir);
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return (dir / (std::string(info->name()) + "_" + leaf)).string();
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> Frame(uint32_t size, uint8_t seed) {
    std::vector<uint8_t> f(size);
    for (uint32_t i = 0; i < size; ++i) f[i] = static_cast<uint8_t>(seed + i * 7);
    return f;
}

// Writes `frames` frames of a 3x2 24-bit video (rows padded to 12 bytes) and returns the file.
std::vector<uint8_t> WriteSmallAvi(const std::string& path, int frames,
                                   std::vector<std::vector<uint8_t>>* written = nullptr) {
    VideoFormat fmt{3, 2, 24, 10};
    auto w = RiffAviWriter::Open(path, fmt);
    EXPECT_TRUE(w);
    if (!w) return {};
    for (int i = 0; i < frames; ++i) {
        auto f = Frame(w->FrameSize(), static_cast<uint8_t>(i * 40));
        EXPECT_EQ(AVIStreamWrite(w.get(), i, 1, f.data(), static_cast<long>(f.size()),
                                 AVIIF_KEYFRAME, nullptr, nullptr),
                  AVIERR_OK);
        if (written) written->push_back(f);
    }
    EXPECT_TRUE(w->Close());
    return ReadAll(path);
}

TEST(RiffAviWriter, FramesParseBackThroughTheirIndexEntries) {
    std::vector<std::vector<uint8_t>> frames;
    const auto bytes = WriteSmallAvi(TempPath("three.avi"), 3, &frames);
    std::string why;
    const auto avi = ParseAvi(bytes.data(), bytes.size(), &why);
    ASSERT_TRUE(avi) << why;
    EXPECT_EQ(avi->width, 3u);
    EXPECT_EQ(avi->height, 2);
    EXPECT_EQ(avi->bitCount, 24);
    EXPECT_EQ(avi->compression, 0u);
    EXPECT_EQ(avi->sizeImage, 24u);  // two rows of 9 bytes padded to 12
    EXPECT_EQ(avi->microSecPerFrame, 100000u);
    EXPECT_EQ(avi->rate, 10u);
    EXPECT_EQ(avi->scale, 1u);
    EXPECT_EQ(avi->streams, 1u);
    EXPECT_EQ(avi->totalFrames, 3u);
    EXPECT_EQ(avi->length, 3u);
    ASSERT_EQ(avi->frames.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const auto& f = avi->frames[i];
        EXPECT_EQ(f.flags, AVIIF_KEYFRAME);
        ASSERT_EQ(f.size, frames[i].size());
        EXPECT_TRUE(std::equal(frames[i].begin(), frames[i].end(), bytes.begin() + f.dataOffset));
        EXPECT_EQ(std::string(bytes.begin() + f.dataOffset - 8, bytes.begin() + f.dataOffset - 4),
                  "00db");
    }
}

TEST(RiffAviWriter, SizesAddUp) {
    const auto bytes = WriteSmallAvi(TempPath("sizes.avi"), 4);
    namespace L = quor::avi::layout;
    const uint32_t frame = 24;
    const uint32_t movi = 4 + 4 * (8 + frame);
    const uint32_t index = 8 + 4 * 16;
    ASSERT_EQ(bytes.size(), size_t(L::kMoviList) + 8 + movi + index);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);                  // RIFF size
    EXPECT_EQ(Le32(bytes, L::kMoviList + 4), movi);               // movi list size
    EXPECT_EQ(Le32(bytes, L::kHdrlList + 4), L::kHdrlSize);
    EXPECT_EQ(Le32(bytes, L::kAvihChunk + 8 + 28), frame);         // suggested buffer
    const size_t idx = L::kMoviList + 8 + movi;
    EXPECT_EQ(std::string(bytes.begin() + idx, bytes.begin() + idx + 4), "idx1");
    EXPECT_EQ(Le32(bytes, idx + 4), 4u * 16);
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(Le32(bytes, idx + 8 + 16 * i + 8), 4 + i * (8 + frame));  // from "movi"
}

TEST(RiffAviWriter, EmptyRecordingIsAValidFile) {
    const auto bytes = WriteSmallAvi(TempPath("empty.avi"), 0);
    std::string why;
    const auto avi = ParseAvi(bytes.data(), bytes.size(), &why);
    ASSERT_TRUE(avi) << why;
    EXPECT_TRUE(avi->frames.empty());
}

TEST(RiffAviWriter, FrameWithoutKeyFlagIsIndexedWithout) {
    const std::string path = TempPath("delta.avi");
    auto w = RiffAviWriter::Open(path, {2, 2, 32, 25});
    ASSERT_TRUE(w);
    auto f = Frame(w->FrameSize(), 1);
    ASSERT_EQ(w->Write(0, 1, f.data(), 16, AVIIF_KEYFRAME, nullptr, nullptr), AVIERR_OK);
    ASSERT_EQ(w->Write(1, 1, f.data(), 16, 0, nullptr, nullptr), AVIERR_OK);
    ASSERT_TRUE(w->Close());
    const auto avi = quor::avi::ParseAviFile(path);
    ASSERT_TRUE(avi);
    ASSERT_EQ(avi->frames.size(), 2u);
    EXPECT_EQ(avi->frames[0].flags, AVIIF_KEYFRAME);
    EXPECT_EQ(avi->frames[1].flags, 0u);
}

TEST(RiffAviWriter, RefusesWritesItCannotStore) {
    auto w = RiffAviWriter::Open(TempPath("refuse.avi"), {2, 2, 24, 25});
    ASSERT_TRUE(w);
    auto f = Frame(w->FrameSize(), 3);
    const long n = static_cast<long>(f.size());
    long samples = -1, bytes = -1;
    struct Case { long start, samples, size; const void* buf; AVIRESULT expect; };
    const Case cases[] = {
        {1, 1, n, f.data(), AVIERR_BADPARAM},      // gap in the sample indices
        {0, 2, n, f.data(), AVIERR_BADPARAM},      // two frames in one chunk
        {0, 1, n, nullptr, AVIERR_BADPARAM},
        {0, 1, n - 1, f.data(), AVIERR_BADSIZE},   // not a whole frame
        {0, 1, -5, f.data(), AVIERR_BADSIZE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(w->Write(c.start, c.samples, c.buf, c.size, AVIIF_KEYFRAME, &samples, &bytes),
                  c.expect);
        EXPECT_EQ(samples, 0);
        EXPECT_EQ(bytes, 0);
    }
    EXPECT_EQ(w->FrameCount(), 0);
    EXPECT_EQ(w->Write(0, 1, f.data(), n, AVIIF_KEYFRAME, &samples, &bytes), AVIERR_OK);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(bytes, n);
    EXPECT_EQ(AVIStreamWrite(nullptr, 0, 1, f.data(), n, AVIIF_KEYFRAME, &samples, &bytes),
              AVIERR_BADPARAM);
}

TEST(RiffAviWriter, OpenRefusesBadFormatsAndUnwritablePaths) {
    std::string why;
    const VideoFormat bad[] = {{0, 2, 24, 25}, {2, -2, 24, 25}, {2, 2, 8, 25}, {2, 2, 24, 0},
                               {100000, 100000, 32, 25}};
    for (const auto& f : bad) EXPECT_FALSE(RiffAviWriter::Open(TempPath("bad.avi"), f, &why));
    EXPECT_FALSE(RiffAviWriter::Open("/nonexistent-dir/x.avi", {2, 2, 24, 25}, &why));
    EXPECT_NE(why.find("cannot create"), std::string::npos);
}

TEST(AviReader, EveryTruncationFailsWithAReason) {
    const auto bytes = WriteSmallAvi(TempPath("prefix.avi"), 2);
    ASSERT_FALSE(bytes.empty());
    for (size_t n = 0; n < bytes.size(); ++n) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);  // exact-size heap block
        std::string why;
        EXPECT_FALSE(ParseAvi(cut.data(), cut.size(), &why)) << n;
        EXPECT_FALSE(why.empty()) << n;
    }
    EXPECT_TRUE(ParseAvi(bytes.data(), bytes.size()));
}

TEST(AviReader, CorruptFieldsFailWithAReason) {
    namespace L = quor::avi::layout;
    const auto good = WriteSmallAvi(TempPath("corrupt.avi"), 2);
    const size_t idx = L::kMoviList + 8 + 4 + 2 * (8 + 24);  // the idx1 chunk
    const size_t entry1 = idx + 8 + 16;
    struct Case { const char* what; size_t at; uint32_t value; };
    const Case cases[] = {
        {"wrong magic", 0, 0x46464952u + 1},
        {"form type", 8, 0x20495641u + 1},
        {"riff size overruns", 4, 0x7FFFFFFFu},
        {"movi size overruns", L::kMoviList + 4, 0x7FFFFFFFu},
        {"hdrl size overruns", L::kHdrlList + 4, 0x7FFFFFFFu},
        {"frame chunk size overruns", L::kMoviData + 4, 0x7FFFFFF0u},
        {"index size not whole", idx + 4, 20},
        {"index size overruns", idx + 4, 0x7FFFFFF0u},
        {"index offset outside", entry1 + 8, 0x7FFFFFF0u},
        {"index offset onto the wrong chunk", entry1 + 8, 4 + 8 + 24 + 1},
        {"index size disagrees", entry1 + 12, 23},
        {"main header frame count", L::kAvihChunk + 8 + 16, 5},
        {"stream header length", L::kStrhChunk + 8 + 32, 7},
        {"stream type", L::kStrhChunk + 8, 0x73647561u},
        {"bitmap header size", L::kStrfChunk + 8, 400},
    };
    for (const auto& c : cases) {
        auto bytes = good;
        ASSERT_LE(c.at + 4, bytes.size()) << c.what;
        PutLe32(bytes, c.at, c.value);
        std::string why;
        EXPECT_FALSE(ParseAvi(bytes.data(), bytes.size(), &why)) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
    }
}

TEST(RecordingAviStream, FailsAtTheChosenSampleAndRecordsEveryCall) {
    quor::avi::RecordingAviStream s;
    s.FailAtSample(2);
    const uint8_t px[4] = {1, 2, 3, 4};
    for (long i = 0; i < 4; ++i) {
        const AVIRESULT r = AVIStreamWrite(&s, i, 1, px, 4, AVIIF_KEYFRAME, nullptr, nullptr);
        EXPECT_EQ(r, i == 2 ? AVIERR_FILEWRITE : AVIERR_OK) << i;
    }
    ASSERT_EQ(s.Calls().size(), 4u);
    EXPECT_EQ(s.Written(), 3);
    EXPECT_TRUE(s.Calls()[2].failed);
    EXPECT_EQ(s.Calls()[3].start, 3);
    EXPECT_EQ(s.Calls()[0].flags, AVIIF_KEYFRAME);
    EXPECT_EQ(s.Calls()[0].bytes, std::vector<uint8_t>(px, px + 4));
}

}  // namespace
