#pragma once
namespace quor::wgl::detail {

inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Glyph of a double-byte character, decoded from code page 932 and drawn from IPA P Gothic;
// a pair that is no character draws nothing over a full-width advance.
Glyph DoubleByteGlyph(const LOGFONTA& lf, unsigned char lead, unsigned char trail);
// A full-width box: what double-byte characters show when that face is not installed.
Glyph WideGlyph(const LOGFONTA& lf);

template <class F>
int WalkText(const LOGFONTA& lf, const char* text, int length, F&& draw)
{
    int pen = 0;
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        Glyph g;
        if (IsLeadByte(c) && i + 1 < length) {
            g = DoubleByteGlyph(lf, c, static_cast<unsigned char>(text[i + 1]));
            ++i;
        } else {
            g = GlyphOf(lf, c);
        }
        draw(g, pen);
        pen += g.advance;
    }
    return pen;
}

}  // namespace quor::wgl::detail
