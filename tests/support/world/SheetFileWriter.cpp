#include "tests/support/world/SheetFileWriter.h"

#include <algorithm>
#include <cmath>

namespace quor::test {

std::string WriteSheetFile(const SheetFileDesc& d, SheetLineForm form) {
    const std::string nl = form == SheetLineForm::kCrLf ? "\r\n" : "\n";
    const std::string gap = form == SheetLineForm::kOneNumberPerLine ? nl : " ";
    std::string text = d.columns + gap + d.rows + gap + d.third + gap + d.fourth + nl;
    text += d.texture + nl;
    text += d.length + gap + d.loop;
    if (form != SheetLineForm::kNoFinalLineEnd) text += nl;
    return text;
}

std::vector<std::uint8_t> WriteSpotTexture(int width, int height, std::uint32_t centre, std::uint32_t edge,
                                           int columns, int rows) {
    std::vector<std::uint8_t> out(18, 0);
    out[2] = 2;  // uncompressed true colour
    out[12] = std::uint8_t(width), out[13] = std::uint8_t(width >> 8);
    out[14] = std::uint8_t(height), out[15] = std::uint8_t(height >> 8);
    out[16] = 32;
    out[17] = 0x28;  // eight alpha bits, top row first
    const float cw = float(width) / float(columns), ch = float(height) / float(rows);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float fx = (std::fmod(float(x) + 0.5f, cw) / cw - 0.5f) * 2.0f;
            const float fy = (std::fmod(float(y) + 0.5f, ch) / ch - 0.5f) * 2.0f;
            const float t = std::min(1.0f, std::sqrt(fx * fx + fy * fy));
            std::uint8_t px[4];
            for (int c = 0; c < 4; ++c) {
                const float a = float((centre >> (8 * c)) & 0xFFu), b = float((edge >> (8 * c)) & 0xFFu);
                px[c] = std::uint8_t(a + (b - a) * t + 0.5f);
            }
            // Stored blue, green, red, alpha: the ARGB word's bytes from the lowest.
            out.insert(out.end(), px, px + 4);
        }
    }
    return out;
}

}  // namespace quor::test
