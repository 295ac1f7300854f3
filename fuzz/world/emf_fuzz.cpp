// Feeds arbitrary bytes to the effect-file loader as an ".emf" file: whatever loads plays 30
// frames (update, draw, a jump in time, pause, a frame-table replay far ahead and report) and is released. Nothing may crash,
// leak, read out of bounds or leave a track behind.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/world/EffectSupportFiles.h"
#include "fuzz/world/MemoryHost.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/XmlNode.h"
#include "world/core/track/TrackDataMgr.h"
#include "world/core/track/TrackRegistry.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxMgr.h"

namespace {

quor::host::MemoryFileSystem& Files() {
    static quor::host::MemoryFileSystem* files = [] {
        quor::host::MemoryFileSystem* made = quor::fuzz::BindMemoryHost(true);
        quor::fuzz::AddEffectSupportFiles(*made);
        return made;
    }();
    return *files;
}

void Require(bool holds) {
    if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quor::world;
    quor::host::MemoryFileSystem& files = Files();
    files.AddFile("fuzz.emf", std::vector<std::uint8_t>(data, data + size));
    const std::size_t tracks = TrackRegistry::GetInstance().Count();
    {
        FxMgr mgr;
        // The flags come from the first byte, so every behaviour key is reached.
        const std::uint32_t flags = size ? data[0] : kFxFlagReadLoop;
        FxBase* root = mgr.LoadEffectFile("fuzz.emf", flags);
        if (root) {
            Require(root->IsLoaded() && root->IsIndependent());
            mgr.AddObject(root);
            for (int frame = 0; frame < 30; ++frame) {
                root->Update();
                root->DrawParts(1);
                if (frame == 10) root->SetTime(root->GetLifeSpan() * 0.5f);
                if (frame == 20) root->SetPause(true);
                // A replay from the frame table far past the life span: bounded work whatever
                // the file asks for (pool, table and replay steps).
                if (frame == 25) {
                    root->SetPause(false);
                    root->SetFrameTableMode(1);
                    root->SetPlaySpeed(0.0f);
                    root->SetTime(1e9f);
                }
            }
            Require(mgr.CountChildEffects() >= 0);
            quor::host::XmlNode* doc = quor::host::XmlNode::NewDocument();
            mgr.DumpProperties(doc);
            doc->Release();
        }
    }
    Require(TrackRegistry::GetInstance().Count() == tracks);
    quor::TrackDataMgr::GetInstance().Clear();
    quor::fuzz::EndInput();
    return 0;
}
