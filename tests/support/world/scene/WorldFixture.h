#pragma once
// A host bound with the world's services and the test scene kinds registered as the scene
// factories.
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/scene/TestScene.h"
#include "world/core/Module.h"
#include "world/scene/ObjectIdMap.h"
#include "world/scene/SceneRegistry.h"
#include "world/scene/World.h"

namespace quor::test {

// The reference host with the world's services, bound and initialised; the test kinds are the
// scene factories. Everything process-wide is put back on destruction.
class WorldFixture {
public:
    explicit WorldFixture(int loaderThreads = 0, bool initialize = true)
        : capture(nullptr) {
        ResetInterfaces();
        host().PublishWorldServices(loaderThreads);
        // The services were published after BoundHost bound the module: bind again.
        ResetInterfaces();
        Module::Instance().Register(&host().registry);
        Module::Instance().Initialize(&host().registry);
        world::SceneRegistry& registry = world::SceneRegistry::Instance();
        registry.ResetFirstScene();
        registry.SetFactory(world::SceneRegistry::kScene2D, [this] { return new TestScene(0, &journal); });
        registry.SetFactory(world::SceneRegistry::kScene3D, [this] { return new TestScene(1, &journal); });
        if (initialize) World::Instance().Initialize(60);
    }
    ~WorldFixture() {
        if (host().loader) host().loader->WaitIdle();
        World::Instance().Shutdown();
        world::SceneRegistry::Instance().SetFactory(world::SceneRegistry::kScene2D, nullptr);
        world::SceneRegistry::Instance().SetFactory(world::SceneRegistry::kScene3D, nullptr);
        world::ObjectIdMap::Instance().Reset();
    }
    WorldFixture(const WorldFixture&) = delete;
    WorldFixture& operator=(const WorldFixture&) = delete;

    host::ReferenceHost& host() { return capture.bound.host; }
    // A new empty 3D test scene, registered.
    TestScene* NewScene() { return static_cast<TestScene*>(World::Instance().CreateScene(nullptr, 0, 0, 0)); }

    LogCapture capture;
    SceneJournal journal;
};

}  // namespace quor::test
