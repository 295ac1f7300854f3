#pragma once
// Writes texture sheet files (".spr", ".ems") as text, in the line forms found in data files,
// for the sheet tests, the fuzz seed corpus and the sample effects.
#include <cstdint>
#include <string>
#include <vector>

namespace quor::test {

struct SheetFileDesc {
    std::string columns = "4";
    std::string rows = "2";
    std::string third = "1";
    std::string fourth = "4";
    std::string texture = "fx/sheet.dds";
    std::string length = "1000";
    std::string loop = "1";
};

enum class SheetLineForm {
    kCrLf,       // "4 2 1 4\r\ntex\r\n1000 1\r\n": the number line's rest is a carriage return
    kLf,         // "4 2 1 4\ntex\n1000 1\n": the number line's rest is empty
    kOneNumberPerLine,
    kNoFinalLineEnd,
};

std::string WriteSheetFile(const SheetFileDesc& desc, SheetLineForm form = SheetLineForm::kCrLf);

// A small uncompressed 32-bit TGA picture: a round spot of `centre` fading to `edge` (ARGB),
// one spot per cell of a columns x rows grid, for particle textures and sheets.
std::vector<std::uint8_t> WriteSpotTexture(int width, int height, std::uint32_t centre, std::uint32_t edge,
                                           int columns = 1, int rows = 1);

}  // namespace quor::test
