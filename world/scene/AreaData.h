#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quor {

// One run of equal palette indices in a row of an area map.
struct AreaRun {
    std::uint8_t value;    // index into the palette
    std::uint16_t length;  // pixels
};

// An area map: the palette entries of an 8-bit palette bitmap, kept run-length encoded per
// row (large masks are mostly uniform). It answers which palette entry lies at a pixel.
class AreaData {
public:
    AreaData() = default;
    virtual ~AreaData() = default;
    AreaData(const AreaData&) = delete;
    AreaData& operator=(const AreaData&) = delete;

    // The palette entry at (x, y); 0 outside the map, past the runs of a row, or where the
    // pixel's index has no palette entry.
    virtual std::int32_t GetValue(std::int32_t x, std::int32_t y) const;

    // Reads the bitmap through the host's resource file system.
    bool LoadFromBitmap(const char* path);
    // Reads the bytes of a bitmap file; name is used in log lines. A failed load logs why
    // and leaves the map as it was.
    bool LoadFromMemory(const void* data, std::size_t size, const char* name);

    bool IsLoaded() const { return loaded_; }
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    const std::vector<std::uint32_t>& Palette() const { return palette_; }
    // The runs of row y (row 0 is the top of the picture).
    std::vector<AreaRun> Row(std::int32_t y) const;

private:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<std::uint32_t> palette_;
    // All rows' runs in one array: row y holds runs [rowFirst_[y], rowFirst_[y + 1]).
    // Lookups read the parallel array of (x just past the run, palette entry) pairs, so
    // that a lookup is one branch-free binary search in its row and no palette access.
    struct RunEnd {
        std::uint32_t end;
        std::int32_t value;
    };
    std::vector<AreaRun> runs_;
    std::vector<RunEnd> runEnd_;
    std::vector<std::uint32_t> rowFirst_;
    bool loaded_ = false;
};

}  // namespace quor
