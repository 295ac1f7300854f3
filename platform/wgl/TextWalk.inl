#pragma once
namespace quor::wgl::detail {

inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Glyph drawn for a double-byte character: no shapes for them here, so a full-width box.
Glyph WideGlyph(const LOGFONTA& lf);

template <class F>
int WalkText(const LOGFONTA& lf, const char* text, int length, F&& draw)
{
    int pen = 0;
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        Glyph g;
        if (IsLeadByte(c) && i + 1 < length) {
            g = WideGlyph(lf);
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
