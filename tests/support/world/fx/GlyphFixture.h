#pragma once
// A reference host with the device published and the module bound, for glyph fonts and texts
// over objects; every font, text and injected failure is put back on destruction.
#include <string>

#include "platform/gdi/Gdi.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/fx/GlyphFont.h"

namespace quor::test {

// The n-th character of the first GBK level-1 block (two bytes, 0xB0A1 onwards, 94 a row;
// 3755 of them).
inline std::string Hanzi(int n) {
    const int lead = 0xB0 + n / 94, trail = 0xA1 + n % 94;
    return std::string{char(lead), char(trail)};
}

struct GlyphFixture {
    GlyphFixture() : world(0, true) {}
    ~GlyphFixture() {
        gdi::FailFontCreation(false);
        gdi::FailGlyphOutlines(false);
        device().FailTextureLocks(false);
        device().FailCreation(0);
        world::GlyphFontMgr::Instance().Clear();
    }
    d3d9::IDirect3DDevice9& device() { return world.host().device.Direct3D(); }

    WorldFixture world;
};

}  // namespace quor::test
