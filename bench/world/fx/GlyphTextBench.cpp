// DrawText of text whose glyphs are all cached against a plain loop that writes the same quads
// from glyph records looked up beforehand.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/host/ReferenceHost.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Module.h"
#include "world/fx/GlyphFont.h"

namespace {

using namespace quor;
using world::GlyphFont;
using world::GlyphInfo;
using world::GlyphVertex;

constexpr int kLines = 20;

struct Setup {
    host::ReferenceHost host;
    GlyphFont* font = nullptr;
    std::string text;
    std::vector<GlyphInfo> glyphs;  // one per character of the text, in order

    Setup() {
        ResetInterfaces();
        host.PublishAll();
        host.PublishWorldServices(0);
        Module::Instance().Register(&host.registry);
        Module::Instance().Initialize(&host.registry);
        font = world::GlyphFontMgr::Instance().GetFont("SimSun", 14, 1, 0, 0, 1, 0, 400);
        // 40 characters: GBK ideographs and ASCII letters, no spaces.
        for (int i = 0; i < 20; ++i) {
            text += std::string{char(0xB0 + i % 8), char(0xA1 + i)};
            text += char('a' + i);
        }
        font->MeasureText(text.c_str());
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t n = static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
            glyphs.push_back(*font->CachedGlyph(std::string_view(text).substr(i, n)));
            i += n;
        }
    }
};

Setup& S() {
    static Setup* setup = new Setup;
    return *setup;
}

const float kColour[4] = {1, 1, 1, 1};
const float kOutline[4] = {0, 0, 0, 1};

void DrawText_font(benchmark::State& state) {
    Setup& s = S();
    for (auto _ : state) {
        s.font->ResetBatch();
        for (int line = 0; line < kLines; ++line)
            s.font->DrawText(10, float(20 * line), kColour, s.text.c_str(), false, kOutline, false);
        benchmark::DoNotOptimize(s.font->VertexCount());
    }
    state.SetItemsProcessed(state.iterations() * kLines * std::int64_t(s.glyphs.size()));
}
BENCHMARK(DrawText_font)->Name("DrawText.font");

// The least any drawing of these glyphs does: per glyph its rectangle, texture rectangle and
// four vertices written.
void DrawText_ref(benchmark::State& state) {
    Setup& s = S();
    std::vector<GlyphVertex> batch(GlyphFont::kMaxVertices);
    const float cellU = float(s.font->CellWidth()) / 512, cellV = float(s.font->CellHeight()) / 512;
    const std::int32_t ascent = s.font->Ascent();
    for (auto _ : state) {
        GlyphVertex* v = batch.data();
        for (int line = 0; line < kLines; ++line) {
            float penX = 10;
            const float penY = float(20 * line);
            for (const GlyphInfo& g : s.glyphs) {
                const float left = penX - 0.5f + float((g.advance - g.blackBoxWidth) / 2);
                const float top = penY - 0.5f + float(ascent - g.originY);
                const float right = left + float(g.blackBoxWidth), bottom = top + float(g.blackBoxHeight);
                const float uMin = float(g.column) * cellU, vMin = float(g.row) * cellV;
                const float uMax = uMin + float(g.blackBoxWidth) / 512, vMax = vMin + float(g.blackBoxHeight) / 512;
                v[0] = {left, bottom, 0.001f, 1.0f, 0xFFFFFFFFu, uMin, vMax};
                v[1] = {left, top, 0.001f, 1.0f, 0xFFFFFFFFu, uMin, vMin};
                v[2] = {right, bottom, 0.001f, 1.0f, 0xFFFFFFFFu, uMax, vMax};
                v[3] = {right, top, 0.001f, 1.0f, 0xFFFFFFFFu, uMax, vMin};
                v += 4;
                penX += float(g.advance);
            }
        }
        benchmark::DoNotOptimize(batch.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kLines * std::int64_t(s.glyphs.size()));
}
BENCHMARK(DrawText_ref)->Name("DrawText.ref");

}  // namespace
