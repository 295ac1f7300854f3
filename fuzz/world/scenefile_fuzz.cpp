// Feeds arbitrary bytes to the XML scene-file reader as a 3D scene's file, with a box mesh, a
// flat terrain and the default box in place so that well-formed inputs reach every section.
// Nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/Module.h"
#include "world/scene/Scene3D.h"
#include "world/scene/World.h"

namespace {

quor::host::MemoryFileSystem& Files() {
    static quor::host::MemoryFileSystem* files = [] {
        auto owned = std::make_unique<quor::host::MemoryFileSystem>();
        quor::host::MemoryFileSystem* raw = owned.get();
        // Never freed: the module keeps the registry to the end.
        auto* h = new quor::host::ReferenceHost(std::move(owned));
        h->log.SetMuted(true);
        h->PublishAll();
        h->PublishWorldServices(0);
        h->terrain.files = raw;
        quor::Module::Instance().Register(&h->registry);
        quor::Module::Instance().Initialize(&h->registry);
        quor::FrameTimeControl::Instance().SetFrameRate(30);
        quor::World::Instance().Initialize(30);
        const std::vector<std::uint8_t> box = quor::test::WriteMom(quor::test::DemoDefaultBox());
        raw->AddFile("box.mom", box);
        raw->AddFile("sky.mom", box);
        raw->AddFile("defualt_models/box.mom", box);
        raw->AddFile("flat.ter", "flat 50 0\n");
        return raw;
    }();
    return *files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quor::host::MemoryFileSystem& files = Files();
    files.AddFile("fuzz.scn", std::vector<std::uint8_t>(data, data + size));
    auto* scene = new quor::world::Scene3D();
    scene->Load("fuzz.scn");
    scene->Update();
    scene->BeginDestroy();
    delete scene;
    return 0;
}
