#pragma once
#include <cstdint>
#include <string>

namespace quor {

// A draw unit of one sub-mesh of a segment. So far: the rules by which an old sub-mesh record
// chooses its alpha, technique files and blend.
class SubMesh {
public:
    static constexpr int kDefaultSourceBlend = 5;
    static constexpr int kDefaultDestinationBlend = 6;
    static constexpr std::uint32_t kDefaultColourOp = 4;

    // The record's diffuse alpha as a byte: x 255 truncated; values outside 0..1 (and NaN)
    // are clamped first, so they cannot wrap.
    static std::uint8_t AlphaByte(float diffuseAlpha);
    // The byte repeated into all four bytes (the texture factor of the default techniques).
    static std::uint32_t RepeatedAlpha(std::uint8_t alpha) { return alpha * 0x01010101u; }
    // The technique file of an effect: its last two characters replaced by "tech" ("x.fx" gives
    // "x.tech"); empty for names under two characters, which go straight to the fallbacks.
    static std::string TechniqueFileName(const std::string& effect);
    // "_alpha" before the last "." (the extension kept), or appended when there is no ".".
    static std::string AlphaName(const std::string& name);
    // The record's colour operation when it is 4 or 5, else 4.
    static std::uint32_t ColourOp(std::uint32_t recordOp) { return recordOp == 4 || recordOp == 5 ? recordOp : kDefaultColourOp; }
    // The record's blend pair, or (5, 6) when either lies outside 1..15 or the technique is a
    // default one.
    static void ChooseBlend(int recordSource, int recordDestination, bool defaultTechnique, int& source,
                            int& destination);
};

}  // namespace quor
