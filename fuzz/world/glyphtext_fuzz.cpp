// Byte strings of any kind as texts: measuring, drawing and texts over objects must never read
// past the text or write past the glyph batch, the page or the shared primitive.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/world/MemoryHost.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/Module.h"
#include "world/fx/GlyphFont.h"
#include "world/fx/UpperText.h"

namespace {

struct Bound {
    quor::host::ReferenceHost* host = nullptr;
    quor::world::GlyphFont* grey = nullptr;
    quor::world::GlyphFont* mono = nullptr;
    quor::world::UpperTextGroup* group = nullptr;
};

const Bound& Bind() {
    static const Bound bound = [] {
        auto* host = new quor::host::ReferenceHost;
        host->log.SetMuted(true);
        quor::fuzz::KeepNoRecords(*host);
        // Glyphs are drawn pixel by pixel into the back buffer: a small one keeps a long text
        // cheap and puts more of it across the edges.
        host->device.Direct3D().SetBackBufferSize(128, 64);
        host->PublishAll();
        host->PublishWorldServices(0);
        GetIntf()->Initialize(&host->registry);
        Bound b;
        b.host = host;
        auto& fonts = quor::world::GlyphFontMgr::Instance();
        b.grey = fonts.GetFont("SimSun", 12, 1, 0, 0, 1, 0, 0);
        b.mono = fonts.GetFont("SimSun", 16, 0, 2, 1, 0, 1, 700);
        b.group = quor::world::UpperTextMgr::Instance().CreateGroup("fuzz");
        b.group->SetFont("SimSun", 12, 1, 0, 0, 1, 0, 400);
        return b;
    }();
    return bound;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bound& b = Bind();
    if (size == 0) return 0;
    // The first byte picks the font, the outline and the wrap; the rest is the text.
    const std::uint8_t mode = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    quor::world::GlyphFont* font = mode & 1 ? b.mono : b.grey;
    font->SetWrapWidth(mode & 4 ? 40u : 512u);
    font->ResetBatch();
    const float colour[4] = {1, 1, 1, 1};
    const float outline[4] = {0, 0, 0, 1};
    const std::uint32_t width = font->MeasureText(text.c_str());
    if (font->MeasureText(text.c_str()) != width) __builtin_trap();
    font->DrawText(3, 4, colour, text.c_str(), (mode & 2) != 0, outline, (mode & 8) != 0);
    if (font->TriangleCount() > 0) font->Flush();

    quor::world::UpperText* upper = b.group->FindText("t");
    if (!upper) upper = b.group->CreateText("t");
    upper->SetText(text.c_str());
    if (std::string(upper->GetText()).size() > quor::world::UpperText::kMaxTextBytes) __builtin_trap();
    const float position[3] = {float(mode), 20, 0};
    upper->SetPosition(position);
    upper->Show();
    b.group->Render();
    auto* primitive = static_cast<quor::host::RecordingPrimitive*>(quor::world::UpperTextMgr::Instance().Primitive());
    if (primitive && primitive->badWrites != 0) __builtin_trap();
    // The recording primitive keeps its calls and draws: start each input afresh.
    if (primitive) {
        std::vector<std::string>().swap(primitive->calls);
        std::vector<quor::host::PrimitiveDraw>().swap(primitive->draws);
    }
    quor::fuzz::EndInput();
    return 0;
}
