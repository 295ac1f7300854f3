#include "apps/world_host/SceneDemo.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <string>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/IRenderCamera.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/Camera.h"
#include "world/core/IWorld.h"
#include "world/core/LodGroup.h"
#include "world/core/SpaceObject.h"
#include "world/core/VisibleObject.h"
#include "world/scene/IScene.h"
#include "world/scene/SkyObject.h"

namespace quor::demo {

namespace {

void CountKinds(world::SpaceObject* object, std::map<int, int>& kinds, world::SkyObject*& sky) {
    for (int i = 0; i < object->GetChildCount(); ++i) {
        auto* child = static_cast<world::SpaceObject*>(object->GetChild(i));
        const int type = child->GetObjectType();
        ++kinds[type];
        if (type == 8 && !sky) sky = static_cast<world::SkyObject*>(child);
        CountKinds(child, kinds, sky);
    }
}

// "level:count" of the members of every LOD group.
std::string LodLevels(world::IScene* scene) {
    std::map<int, int> levels;
    for (int g = 0; g < scene->GetLodGroupCount(); ++g)
        if (auto* group = static_cast<world::LodGroup*>(scene->GetLodGroup(std::uint32_t(g))))
            for (const world::VisibleObject* member : group->Members()) ++levels[member->GetLod()];
    std::string out;
    for (const auto& [level, count] : levels) {
        if (!out.empty()) out += ' ';
        out += std::to_string(level);
        out += 'x';
        out += std::to_string(count);
    }
    return out.empty() ? "-" : out;
}

int Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "world_host: %s: %s\n", what, detail.c_str());
    return 1;
}

}  // namespace

int ShowScene(world::IWorld* world, host::ReferenceHost& host, host::RecordingRenderer& books, host::GlRenderer* gl,
              const SceneDemoOptions& options, host::GlFrameStats* drawnOut) {
    // The reference terrain module reads its files through the resource root.
    host.terrain.files = host.files.get();
    // A request word other than 0: the scene file is read by a loader thread.
    world::IScene* scene = world->CreateScene(options.file.c_str(), 1, 0, 0);
    if (!scene) return Fail("the scene could not be made", options.file);
    std::printf("scene file: %s\n", options.file.c_str());
    std::uint32_t last = 0x12345678u;
    for (int wait = 0; wait < 20000; ++wait) {
        const std::uint32_t progress = scene->GetProgress();
        if (progress != last) std::printf("scene progress: 0x%X\n", progress);
        last = progress;
        if (progress == 0 || progress == 0xFFFFFFFFu) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    host.loader->WaitIdle();
    if (scene->GetProgress() != 0) {
        std::printf("scene: failed to load\n");
        return Fail("the scene failed to load", options.file);
    }
    std::printf("scene: loaded on the loader thread\n");
    world->SetActiveScene(scene);
    world::Camera* camera = scene->CreateCamera(true);
    if (!camera) return Fail("the scene made no camera", options.file);
    Matrix start;
    const bool preset = scene->GetPresetCamera(options.preset.c_str(), &start);
    std::printf("preset camera: %s %s\n", options.preset.c_str(), preset ? "found" : "not found (camera at the origin)");
    if (preset) camera->SetWorldMatrix(start);
    camera->SetPerspective(60.0f, float(options.width) / float(options.height), 1.0f, 2000.0f);

    std::map<int, int> kinds;
    world::SkyObject* sky = nullptr;
    CountKinds(scene->GetRootObject(), kinds, sky);
    std::printf("objects: models %d, effects %d, sky objects %d, lights %d, cameras %d\n", kinds[3], kinds[4],
                kinds[8], kinds[1], kinds[2]);
    std::printf("lights: %d\n", scene->GetLightCount());
    std::printf("lod groups: %d\n", scene->GetLodGroupCount());
    std::printf("terrain: %s\n", scene->GetTerrain() ? "flat reference terrain" : "none");

    host::GlFrameStats drawn;
    for (int i = 0; i < options.frames; ++i) {
        // Forward along the view, a little more each frame.
        if (i > 0) camera->MoveLocal(Vec3{0.0f, 0.0f, 12.0f});
        books.ClearCalls();
        if (gl && !gl->BeginFrame(camera->GetRenderCamera(), 0xFF8090A0u, options.width, options.height))
            return Fail("the GL renderer cannot make its context", "");
        scene->UpdateLights(float(i) * 0.5f);
        world->Update();
        world->Render();
        world->RenderPost();
        if (gl) drawn = gl->EndFrame();
        const Vec3* p = camera->GetPosition();
        std::printf("scene frame %d: renderer calls %llu, camera at %.1f %.1f %.1f", i + 1,
                    static_cast<unsigned long long>(books.CallCount()), double(p->x), double(p->y), double(p->z));
        if (gl) std::printf(", drawn %d renderables", drawn.renderables);
        std::printf("\n");
        if (i == 0) std::printf("lod levels at the first frame: %s\n", LodLevels(scene).c_str());
    }
    if (drawnOut) *drawnOut = drawn;
    std::printf("lod levels at the last frame: %s\n", LodLevels(scene).c_str());
    render::IRenderCamera* skyCamera = sky ? sky->GetRenderCamera() : nullptr;
    if (skyCamera)
        std::printf("sky depth range: %.1f to %.1f\n", double(skyCamera->GetNearPlane()), double(skyCamera->GetFarPlane()));
    else
        std::printf("sky depth range: no sky\n");
    std::vector<std::string> shrubs;
    scene->GetCrossTextureNames(shrubs);
    std::printf("vegetation: grass patches %d, shrub batches %zu", scene->GetGrassCount(), shrubs.size());
    for (const std::string& name : shrubs) std::printf(" %s", name.c_str());
    std::printf("\n");
    return 0;
}

}  // namespace quor::demo
