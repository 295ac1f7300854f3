// Feeds arbitrary bytes to the 2D scene as a scene file: the loader and every section the host
// may call afterwards run, then a frame, a scroll and a clear. Nothing may crash, leak or read
// out of bounds; the map size stays within its limit.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/world/MemoryHost.h"
#include "platform/host/MemoryFileSystem.h"
#include "world/scene/Scene2D.h"

namespace {

// The memory host with what a scene's frame stands on (renderer, device, an inline loader).
quor::host::MemoryFileSystem* BindSceneHost() {
    auto owned = std::make_unique<quor::host::MemoryFileSystem>();
    quor::host::MemoryFileSystem* raw = owned.get();
    auto* h = new quor::host::ReferenceHost(std::move(owned));
    h->log.SetMuted(true);
    quor::fuzz::KeepNoRecords(*h);
    h->PublishAll();
    h->PublishWorldServices(0);
    quor::Module::Instance().Register(&h->registry);
    quor::Module::Instance().Initialize(&h->registry);
    quor::FrameTimeControl::Instance().SetFrameRate(30);
    // The ground loads inline: no loader thread per input.
    quor::world::GroundTextureLoader::SetInlineByDefault(true);
    return raw;
}

quor::host::MemoryFileSystem& Files() {
    static quor::host::MemoryFileSystem* files = BindSceneHost();
    return *files;
}

void Require(bool holds) {
    if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quor::world;
    quor::host::MemoryFileSystem& files = Files();
    files.AddFile("fuzz.scn2", std::vector<std::uint8_t>(data, data + size));
    {
        Scene2D scene;
        Require(scene.Create("fuzz.scn2", 0, 0, 0));
        int w = -1, h = -1;
        scene.GetMapSize(&w, &h);
        Require(w >= 0 && h >= 0 && w <= (1 << 20) && h <= (1 << 20));
        scene.LoadAStar();
        scene.LoadWaters();
        scene.LoadFxes();
        scene.LoadModels();
        scene.LoadPlaneFogs();
        scene.LoadElectricities();
        scene.LoadBlazes();
        scene.LoadExtraSection();
        scene.LoadSounds();
        scene.Update();
        scene.Render();
        scene.UpdateView(static_cast<float>(w) / 2.0f, static_cast<float>(h) / 2.0f);
        scene.Render();
        scene.Clear();
    }
    quor::fuzz::EndInput();
    return 0;
}
