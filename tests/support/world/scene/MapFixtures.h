#pragma once
// Byte-by-byte writers of the 2D map files the tests, fuzz seeds and benchmarks feed to the
// path grid (".data") and to area maps (8-bit palette bitmaps).
#include <cstdint>
#include <string>
#include <vector>

namespace quor::fixtures {

inline void PutU16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutU32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A ".data" file: width, height, one skipped byte, then each row's characters and a row end.
inline std::vector<std::uint8_t> PathData(std::int32_t width, std::int32_t height,
                                          const std::string& body) {
    std::vector<std::uint8_t> b;
    PutU32(b, static_cast<std::uint32_t>(width));
    PutU32(b, static_cast<std::uint32_t>(height));
    b.push_back('\n');
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// A ".data" file from rows of equal length ("0" free, "1"/"2"/"4" blocking).
inline std::vector<std::uint8_t> PathData(const std::vector<std::string>& rows) {
    std::string body;
    for (const std::string& row : rows) body += row + "\n";
    return PathData(rows.empty() ? 0 : static_cast<std::int32_t>(rows[0].size()),
                    static_cast<std::int32_t>(rows.size()), body);
}

// An 8-bit palette bitmap. pixels holds the rows as the map shows them, top row first; they
// are stored bottom-up (a negative height stores them in the given order instead, which the
// reader is expected to take as bottom-up all the same).
struct Bitmap8 {
    std::int32_t width = 0;
    std::int32_t height = 0;  // as written into the header
    std::vector<std::uint8_t> pixels;  // |height| rows of width bytes
    std::vector<std::uint32_t> palette;
    std::uint32_t colorsUsed = 0xFFFFFFFF;  // 0xFFFFFFFF: the palette's size
    std::uint16_t bitCount = 8;
    std::uint32_t compression = 0;
    std::uint32_t infoSize = 40;
    char magic[2] = {'B', 'M'};

    std::vector<std::uint8_t> Build() const {
        const std::int32_t rows = height < 0 ? -height : height;
        const std::uint32_t stride = (static_cast<std::uint32_t>(width) + 3) & ~3u;
        const std::uint32_t paletteBytes = static_cast<std::uint32_t>(palette.size()) * 4;
        const std::uint32_t bitsOffset = 14 + infoSize + paletteBytes;
        const std::uint32_t fileSize = bitsOffset + stride * static_cast<std::uint32_t>(rows);
        std::vector<std::uint8_t> b;
        b.push_back(static_cast<std::uint8_t>(magic[0]));
        b.push_back(static_cast<std::uint8_t>(magic[1]));
        PutU32(b, fileSize);
        PutU16(b, 0);
        PutU16(b, 0);
        PutU32(b, bitsOffset);
        PutU32(b, infoSize);
        PutU32(b, static_cast<std::uint32_t>(width));
        PutU32(b, static_cast<std::uint32_t>(height));
        PutU16(b, 1);
        PutU16(b, bitCount);
        PutU32(b, compression);
        PutU32(b, stride * static_cast<std::uint32_t>(rows));
        PutU32(b, 2835);
        PutU32(b, 2835);
        PutU32(b, colorsUsed == 0xFFFFFFFF ? static_cast<std::uint32_t>(palette.size()) : colorsUsed);
        PutU32(b, 0);
        b.resize(14 + infoSize, 0);  // the rest of a larger information header
        for (std::uint32_t c : palette) PutU32(b, c);
        for (std::int32_t i = 0; i < rows; ++i) {
            const std::int32_t row = height < 0 ? i : rows - 1 - i;
            const std::size_t at = static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
            b.insert(b.end(), pixels.begin() + static_cast<std::ptrdiff_t>(at),
                     pixels.begin() + static_cast<std::ptrdiff_t>(at + static_cast<std::size_t>(width)));
            b.resize(b.size() + (stride - static_cast<std::uint32_t>(width)), 0);
        }
        return b;
    }
};

// A palette whose entry i is the distinct colour word 0xFF000000 | i * 0x010203.
inline std::vector<std::uint32_t> TestPalette(std::size_t n) {
    std::vector<std::uint32_t> p(n);
    for (std::size_t i = 0; i < n; ++i) p[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x010203u);
    return p;
}

}  // namespace quor::fixtures
