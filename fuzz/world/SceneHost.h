// The host the scene-file fuzz targets run against: the reference host over a memory file
// system with a box mesh, a sky mesh, a flat terrain and the default box in place, so that
// well-formed inputs reach every section.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "fuzz/world/MemoryHost.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/Module.h"
#include "world/scene/Scene3D.h"
#include "world/scene/World.h"

namespace quor::fuzz {

inline host::MemoryFileSystem& SceneFiles() {
    static host::MemoryFileSystem* files = [] {
        auto owned = std::make_unique<host::MemoryFileSystem>();
        host::MemoryFileSystem* raw = owned.get();
        // Never freed: the module keeps the registry to the end.
        auto* h = new host::ReferenceHost(std::move(owned));
        h->log.SetMuted(true);
        KeepNoRecords(*h);
        h->PublishAll();
        h->PublishWorldServices(0);
        h->terrain.files = raw;
        Module::Instance().Register(&h->registry);
        Module::Instance().Initialize(&h->registry);
        FrameTimeControl::Instance().SetFrameRate(30);
        World::Instance().Initialize(30);
        const std::vector<std::uint8_t> box = test::WriteMom(test::DemoDefaultBox());
        raw->AddFile("box.mom", box);
        raw->AddFile("sky.mom", box);
        raw->AddFile("defualt_models/box.mom", box);
        raw->AddFile("flat.ter", "flat 50 0\n");
        return raw;
    }();
    return *files;
}

// Loads the bytes as a 3D scene's file, runs one update and ends the scene.
inline bool LoadSceneBytes(const std::uint8_t* data, std::size_t size, const char* name) {
    host::MemoryFileSystem& files = SceneFiles();
    files.AddFile(name, std::vector<std::uint8_t>(data, data + size));
    auto* scene = new world::Scene3D();
    const bool loaded = scene->Load(name);
    scene->Update();
    scene->BeginDestroy();
    delete scene;
    EndInput();
    return loaded;
}

}  // namespace quor::fuzz
