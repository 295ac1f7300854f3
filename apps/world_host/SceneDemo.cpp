#include "apps/world_host/SceneDemo.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <thread>
#include <string>
#include <vector>

#include "apps/world_host/SceneAudioDemo.h"
#include "platform/glrender/GlRenderer.h"
#include "platform/host/IRenderCamera.h"
#include "platform/host/RecordingDecal.h"
#include "platform/host/RecordingRenderer.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/BSPTree.h"
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

// The collision tree a scene file brought: its size, fixed rays (t and the polygon's user
// value) and a capsule walked around the yard (where each leg ends and what it touched).
void CollisionReport(world::IScene* scene) {
    world::IBSPTree* tree = scene->GetBSPTree();
    if (!tree || !tree->HasTree()) {
        std::printf("collision tree: none\n");
        return;
    }
    // The module's tree class: its counts are plain members.
    const auto* own = static_cast<world::BSPTree*>(tree);
    std::printf("collision tree: %zu polygons, %zu nodes\n", own->Polygons().size(), own->Nodes().size());
    const Ray rays[] = {{{0, 10, 0}, {0, -20, 0}},  {{9, 10, 0}, {0, -20, 0}},  {{-8, 10, -8}, {0, -20, 0}},
                        {{0, 1, 0.3f}, {30, 0, 0}}, {{0, 2, 0}, {0, 0, -30}},   {{0, 10, 0}, {0, 10, 0}}};
    int index = 0;
    for (const Ray& ray : rays) {
        float t = 0.0f;
        if (tree->RayCast(ray, &t, 0, 0, false))
            std::printf("ray %d: t %.4f, user value %d\n", ++index, double(t), tree->GetHitUserValue(0));
        else
            std::printf("ray %d: no hit\n", ++index);
    }
    // Along the north and west walls, back east, up to the pillar's face, then up the ramp.
    const Vec3 legs[] = {{0, -0.5f, 25}, {-30, -0.5f, 0}, {0, -0.5f, -40}, {11, -0.5f, 0},
                         {0, -0.5f, 12}, {12, -0.5f, 10}, {14, -0.5f, 0}};
    Vec3 at{0, 1, 0};
    index = 0;
    for (const Vec3& leg : legs) {
        Vec3 end = at;
        tree->SweepCapsule(end, at, leg, 0.5f, 1.0f, 45.0f, 0, 0, false);
        std::printf("capsule leg %d: end %.2f %.2f %.2f", ++index, double(end.x), double(end.y), double(end.z));
        if (const world::BspContacts* hit = tree->GetHitInfo())
            for (int c = 0; c < hit->count; ++c)
                std::printf(", normal %.2f %.2f %.2f", double(hit->normal[c].x), double(hit->normal[c].y),
                            double(hit->normal[c].z));
        std::printf("\n");
        at = end;
    }
}

// A decal on the ground at the origin looking straight down over 4 x 4, when the renderer the
// world draws through is the reference one; null otherwise.
host::RecordingDecal* GroundDecal(world::IScene* scene, host::RecordingRenderer& books) {
    const Vec3 at{0, 0, 0};
    void* made = scene->AddDecal("textures/yard_decal.dds", &at, 4.0f);
    for (host::RecordingDecal* decal : books.Decals()) {
        if (static_cast<render::IDecal*>(decal) != made) continue;
        const float view[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 10, 1};
        decal->camera.SetViewMatrix(view);
        decal->camera.SetOrthographic(4.0f, 4.0f, 0.1f, 20.0f);
        return decal;
    }
    return nullptr;
}

// The picture row of the horizon: where a point far ahead at the eye's height lands.
int HorizonRow(render::IRenderCamera* camera, const Vec3& eye, const Matrix& world, int height) {
    float forward[2] = {world.m[8], world.m[10]};
    const float length = std::sqrt(forward[0] * forward[0] + forward[1] * forward[1]);
    if (!camera || !(length > 0.0f)) return height / 2;
    const float far[4] = {eye.x + 1000.0f * forward[0] / length, eye.y, eye.z + 1000.0f * forward[1] / length, 1.0f};
    // Row vectors: the point times the view, times the projection.
    const float* view = camera->GetViewMatrix();
    const float* projection = camera->GetProjectionMatrix();
    float seen[4] = {}, clip[4] = {};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) seen[c] += far[r] * view[r * 4 + c];
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) clip[c] += seen[r] * projection[r * 4 + c];
    if (!(clip[3] > 0.0f)) return height / 2;
    return int(std::lround((1.0f - clip[1] / clip[3]) * 0.5f * float(height)));
}

int Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "world_host: %s: %s\n", what, detail.c_str());
    return 1;
}

}  // namespace

int ShowScene(world::IWorld* world, host::ReferenceHost& host, host::RecordingRenderer& books, host::GlRenderer* gl,
              const SceneDemoOptions& options, host::GlFrameStats* drawnOut, int* horizonRow) {
    // Drawn, the reference terrain's ground is painted by the GL renderer.
    if (gl) host.terrain.painter = gl;
    // The current (empty) scene shows the loading screen while the file loads.
    BeginLoadingScreen(world, host, books, options.width, options.height);
    // A request word other than 0: the scene file is read by a loader thread.
    world::IScene* scene = world->CreateScene(options.file.c_str(), 1, 0, 0);
    if (!scene) {
        EndLoadingScreen(world, host, std::string());
        return Fail("the scene could not be made", options.file);
    }
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
    if (EndLoadingScreen(world, host, options.loadingPicture) != 0) return 1;
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

    CollisionReport(scene);
    host::RecordingDecal* decal = scene->GetBSPTree() && scene->GetBSPTree()->HasTree() ? GroundDecal(scene, books) : nullptr;

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
    if (horizonRow) {
        Vec3 eye;
        camera->GetWorldPosition(eye);
        *horizonRow = HorizonRow(camera->GetRenderCamera(), eye, camera->GetWorldMatrix(), options.height);
        std::printf("horizon: row %d of %d\n", *horizonRow, options.height);
    }
    if (decal) {
        std::uint32_t positions = 0;
        if (!decal->draws.empty())
            for (const render::DrawRange& r : decal->draws.back().ranges) positions += r.vertexCount;
        std::printf("decal on the ground: %u positions gathered in the last frame\n", positions);
    }
    std::printf("lod levels at the last frame: %s\n", LodLevels(scene).c_str());
    render::IRenderCamera* skyCamera = sky ? sky->GetRenderCamera() : nullptr;
    if (skyCamera)
        std::printf("sky depth range: %.1f to %.1f\n", double(skyCamera->GetNearPlane()), double(skyCamera->GetFarPlane()));
    else
        std::printf("sky depth range: no sky\n");
    WalkListener(world, host, scene);
    RunTransition(world, scene);
    std::vector<std::string> shrubs;
    scene->GetCrossTextureNames(shrubs);
    std::printf("vegetation: grass patches %d, shrub batches %zu", scene->GetGrassCount(), shrubs.size());
    for (const std::string& name : shrubs) std::printf(" %s", name.c_str());
    std::printf("\n");
    return 0;
}

}  // namespace quor::demo
