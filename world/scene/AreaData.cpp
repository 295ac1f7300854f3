#include "world/scene/AreaData.h"

#include "platform/host/IResFileSystem.h"
#include "world/core/BinaryReader.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"

#include <algorithm>
#include <climits>

namespace quor {

namespace {

constexpr std::uint16_t kBitmapType = 0x4D42;  // "BM"
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kMaxRunLength = 0xFFFF;

}  // namespace

bool AreaData::LoadFromBitmap(const char* path) {
    if (!path) path = "";
    common::IResFileSystem* files = Interfaces().resFileSystem;
    common::IResFile* file = files ? files->OpenFile(path, 0) : nullptr;
    if (!file) {
        LogError("遮罩贴图： %s 不存在!", path);
        return false;
    }
    const std::uint8_t* data = file->GetData();
    const std::uint32_t size = file->GetSize();
    const bool ok = data && LoadFromMemory(data, size, path);
    file->Close();
    return ok;
}

bool AreaData::LoadFromMemory(const void* data, std::size_t size, const char* name) {
    if (!name) name = "";
    BinaryReader r(data, size);
    const std::uint16_t type = r.U16();
    r.Skip(8);  // file size and the two reserved words: not needed
    const std::uint32_t bitsOffset = r.U32();
    const std::uint32_t headerSize = r.U32();
    const std::int32_t width = r.I32();
    const std::int32_t rawHeight = r.I32();
    r.Skip(2);  // planes
    const std::uint16_t bitCount = r.U16();
    const std::uint32_t compression = r.U32();
    r.Skip(12);  // image size, two resolutions
    const std::uint32_t colorsUsed = r.U32();
    r.Skip(4);  // colours important
    if (!r.Ok()) {
        LogError("area map %s: %zu bytes are too short for the bitmap headers", name, size);
        return false;
    }
    if (type != kBitmapType || headerSize < kInfoHeaderSize) {
        LogError("area map %s: not a bitmap file", name);
        return false;
    }
    // Only uncompressed 8-bit palette pictures hold one palette index per byte.
    if (bitCount != 8 || compression != 0) {
        LogError("area map %s: %u bits per pixel, compression %u; an 8-bit uncompressed bitmap is needed",
                 name, bitCount, compression);
        return false;
    }
    if (colorsUsed > 256) {
        LogError("area map %s: %u palette entries, at most 256 fit 8 bits", name, colorsUsed);
        return false;
    }
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) {
        LogError("area map %s: size %d x %d", name, width, rawHeight);
        return false;
    }
    // Rows are always taken bottom-up: the sign of the height is not looked at.
    const std::int32_t height = rawHeight < 0 ? -rawHeight : rawHeight;

    // The palette follows the information header (at 54 for the common 40-byte header).
    const std::uint32_t colours = colorsUsed ? colorsUsed : 256;
    std::vector<std::uint32_t> palette(0);
    r.Seek(kFileHeaderSize + headerSize);
    if (r.CheckCount(colours, 4)) {
        palette.resize(colours);
        r.U32s(palette.data(), colours);
    }
    if (!r.Ok()) {
        LogError("area map %s: the palette of %u entries lies outside the file", name, colours);
        return false;
    }

    const std::uint64_t stride = ((8ull * static_cast<std::uint64_t>(width) + 31) / 8) & ~3ull;
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    r.Seek(bitsOffset);
    if (!r.CheckCount(static_cast<std::uint64_t>(height), stride) || pixels > UINT32_MAX) {
        LogError("area map %s: the pixels of %d x %d lie outside the file", name, width, height);
        return false;
    }
    const std::uint8_t* bits = r.Data() + bitsOffset;

    std::vector<AreaRun> runs;
    std::vector<RunEnd> runEnd;
    std::vector<std::uint32_t> rowFirst;
    rowFirst.reserve(static_cast<std::size_t>(height) + 1);
    for (std::int32_t y = 0; y < height; ++y) {
        rowFirst.push_back(static_cast<std::uint32_t>(runs.size()));
        // The first stored row is the bottom one.
        const std::uint8_t* row = bits + static_cast<std::size_t>(height - 1 - y) * stride;
        std::uint32_t x = 0;
        while (x < static_cast<std::uint32_t>(width)) {
            const std::uint8_t v = row[x];
            std::uint32_t end = x + 1;
            // A run stops at a different byte, at the row's end, or at the longest length
            // its 16-bit field can hold (rows wider than 65,535 pixels).
            while (end < static_cast<std::uint32_t>(width) && row[end] == v && end - x < kMaxRunLength) ++end;
            runs.push_back({v, static_cast<std::uint16_t>(end - x)});
            // An index without a palette entry answers 0.
            runEnd.push_back({end, v < palette.size() ? static_cast<std::int32_t>(palette[v]) : 0});
            x = end;
        }
    }
    rowFirst.push_back(static_cast<std::uint32_t>(runs.size()));

    width_ = width;
    height_ = height;
    palette_ = std::move(palette);
    runs_ = std::move(runs);
    runEnd_ = std::move(runEnd);
    rowFirst_ = std::move(rowFirst);
    loaded_ = true;
    return true;
}

std::int32_t AreaData::GetValue(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const auto ux = static_cast<std::uint32_t>(x);
    const RunEnd* run = runEnd_.data() + rowFirst_[static_cast<std::size_t>(y)];
    std::size_t len = rowFirst_[static_cast<std::size_t>(y) + 1] - rowFirst_[static_cast<std::size_t>(y)];
    if (len == 0) return 0;
    // Narrow to the first run that ends past x. The runs of a row cover the whole width,
    // so that run exists.
    while (len > 1) {
        const std::size_t half = len / 2;
        run = run[half - 1].end <= ux ? run + half : run;
        len -= half;
    }
    if (run->end <= ux) ++run;
    return run->value;
}

std::vector<AreaRun> AreaData::Row(std::int32_t y) const {
    if (y < 0 || y >= height_) return {};
    return {runs_.begin() + rowFirst_[static_cast<std::size_t>(y)],
            runs_.begin() + rowFirst_[static_cast<std::size_t>(y) + 1]};
}

}  // namespace quor
