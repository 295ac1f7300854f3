#include "apps/world_host/Map2DDemo.h"

#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/Camera.h"
#include "world/core/IWorld.h"
#include "world/fx/IPicture.h"
#include "world/scene/AreaData.h"
#include "world/scene/IScene.h"
#include "world/scene/Scene2D.h"
#include "world/scene/ScreenMgr.h"

namespace quor::demo {

namespace {

namespace fs = std::filesystem;

// What a report line reads: the scene (through its interface and its inline accessors), the
// host and the frame.
struct Map2DView {
    world::IScene* scene;
    world::Scene2D* map;
    host::ReferenceHost& host;
    int frame;                        // 0-based; -1 before the frames
    const host::GlFrameStats* drawn;  // null without the drawing renderer
};

struct Map2DField {
    const char* name;
    std::function<std::string(const Map2DView&)> value;
};

std::string Format(const char* format, double a, double b) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// The ground manager stands behind the 2D scene's background.
const world::ScreenMgr* Ground(world::IScene* scene) {
    return reinterpret_cast<const world::ScreenMgr*>(scene->GetBackground());
}

// Blocks holding a texture (counted here: the host reaches the library through inline
// accessors only).
int Resident(const world::ScreenMgr& ground) {
    int n = 0;
    for (const world::GroundBlock& block : ground.Blocks()) n += block.texture != nullptr;
    return n;
}

// A field of ground counts, "-" for a map without ground.
Map2DField GroundField(const char* name, int (*count)(const world::ScreenMgr&)) {
    return {name, [count](const Map2DView& v) {
                const world::ScreenMgr* ground = Ground(v.scene);
                return ground ? std::to_string(count(*ground)) : std::string("-");
            }};
}

std::string MapOffset(world::IScene* scene) {
    // Map pixel (0, 0) on the screen is the map offset.
    const float origin[2] = {0.0f, 0.0f};
    float screen[2] = {0.0f, 0.0f};
    scene->ApplyViewMatrix(origin, screen);
    return Format("%.0f %.0f", double(screen[0]), double(screen[1]));
}

// The fields of every frame line, in order: add a row to report more per frame.
const std::vector<Map2DField>& FrameFields() {
    static const std::vector<Map2DField> rows = {
        {"view",
         [](const Map2DView& v) {
             float x = 0.0f, y = 0.0f;
             v.scene->GetViewPosition(&x, &y);
             return Format("%.1f %.1f", double(x), double(y));
         }},
        {"map offset", [](const Map2DView& v) { return MapOffset(v.scene); }},
        {"pictures collected", [](const Map2DView& v) { return std::to_string(v.map->CollectedPictures().size()); }},
        {"drawn", [](const Map2DView& v) { return std::to_string(v.map->DrawList().size()); }},
        {"far", [](const Map2DView& v) { return std::to_string(v.map->FarList().size()); }},
        {"fog", [](const Map2DView& v) { return std::to_string(v.map->EffectsDrawn(0)); }},
        {"fire", [](const Map2DView& v) { return std::to_string(v.map->EffectsDrawn(1)); }},
        {"bolts", [](const Map2DView& v) { return std::to_string(v.map->EffectsDrawn(2)); }},
        {"screen triangles",
         [](const Map2DView& v) { return v.drawn ? std::to_string(v.drawn->overlayTriangles) : std::string("-"); }},
        // The ground: this frame's block loads, the blocks holding a texture, and what it drew.
        GroundField("blocks requested", [](const world::ScreenMgr& g) { return g.FrameCounters().requested; }),
        GroundField("installed", [](const world::ScreenMgr& g) { return g.FrameCounters().installed; }),
        GroundField("released", [](const world::ScreenMgr& g) { return g.FrameCounters().released; }),
        GroundField("resident", Resident),
        GroundField("blocks drawn", [](const world::ScreenMgr& g) { return g.BlocksDrawn(); }),
        GroundField("masks", [](const world::ScreenMgr& g) { return g.MasksDrawn(); }),
        // Collected pictures that a mask stands in front of: drawn with the masks, not in the list.
        {"behind masks",
         [](const Map2DView& v) { return std::to_string(v.map->CollectedPictures().size() - v.map->DrawList().size()); }},
        // Every loaded far layer is drawn each frame.
        GroundField("layers",
                    [](const world::ScreenMgr& g) { return int(g.BackLayers().size() + g.FrontLayers().size()); }),
        GroundField("water", [](const world::ScreenMgr& g) { return g.WaterDrawn(); }),
    };
    return rows;
}

std::string FrameLine(const Map2DView& view) {
    std::string line;
    for (const Map2DField& field : FrameFields()) {
        line += line.empty() ? "" : ", ";
        line += field.name;
        line += ' ';
        line += field.value(view);
    }
    return line;
}

int Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "world_host: %s: %s\n", what, detail.c_str());
    return 1;
}

void ReportProgress(host::ReferenceHost& host, std::size_t& seen) {
    const std::vector<win32::PostedMessage> messages = host.client.WindowMessages();
    for (; seen < messages.size(); ++seen) {
        const win32::PostedMessage& m = messages[seen];
        if (m.message != world::Scene2D::kProgressMessage) continue;
        const char* text = reinterpret_cast<const char*>(m.lParam);
        std::printf("map2d progress: %d%% %s\n", int(m.wParam), text ? text : "(null)");
    }
}

void ReportPictures(world::IScene* scene) {
    world::IPicture* layer = scene->GetRootPicture();
    int images = 0, objects = 0, empty = 0;
    const int count = layer ? layer->GetChildCount() : 0;
    for (int i = 0; i < count; ++i) {
        world::IPicture* child = layer->GetChild(i);
        const int type = child ? child->GetPictureType() : -1;
        images += type == 0;
        objects += type == 1;
        empty += type == 2;
    }
    std::printf("map2d pictures: %d under the object layer (images and sprites %d, models and effects %d, empty %d)\n",
                count, images, objects, empty);
}

void ReportQueries(world::IScene* scene, world::Scene2D* map) {
    int width = 0, height = 0;
    scene->GetMapSize(&width, &height);
    std::printf("map2d map size: %d x %d\n", width, height);
    const world::Scene2D::CameraParams& c = map->GetCameraParams();
    std::printf("map2d camera: type %u, dist %.1f, angle %.1f, fov %.1f, size %.1f", c.type, double(c.dist),
                double(c.angle), double(c.fov), double(c.size));
    if (world::Camera* camera = scene->GetActiveCamera()) {
        const Vec3* p = camera->GetPosition();
        std::printf(", at %.1f %.1f %.1f\n", double(p->x), double(p->y), double(p->z));
    } else {
        std::printf(", no active camera\n");
    }
    const Vec3* corners = map->MapCorners();
    for (int i = 0; i < 4; ++i)
        std::printf("map2d corner %d: %.2f %.2f %.2f\n", i, double(corners[i].x), double(corners[i].y),
                    double(corners[i].z));

    const float centre[2] = {float(width) / 2.0f, float(height) / 2.0f};
    Vec3 ground;
    scene->MapToWorld(centre, &ground);
    float back[2] = {0.0f, 0.0f};
    scene->WorldToMap(&ground, back);
    std::printf("map2d MapToWorld %.1f %.1f: %.2f %.2f %.2f; WorldToMap back: %.2f %.2f\n", double(centre[0]),
                double(centre[1]), double(ground.x), double(ground.y), double(ground.z), double(back[0]),
                double(back[1]));
    Vec3 hit;
    scene->ScreenToWorld(centre, &hit);
    float again[2] = {0.0f, 0.0f};
    scene->WorldToScreen(&hit, again);
    std::printf("map2d ScreenToWorld %.1f %.1f: %.2f %.2f %.2f; WorldToScreen back: %.2f %.2f\n", double(centre[0]),
                double(centre[1]), double(hit.x), double(hit.y), double(hit.z), double(again[0]), double(again[1]));

    // North of the wall to the market square: the path goes through the gate.
    const std::int32_t* path = nullptr;
    const int cells = scene->FindPathFree(160, 320, 800, 1000, &path);
    std::printf("map2d path 160 320 -> 800 1000: %d cells", cells);
    if (path && cells > 0 && path[2] >= 0)
        std::printf(", from %d %d to %d %d", path[2], path[3], path[2 + 2 * (cells - 1)], path[3 + 2 * (cells - 1)]);
    std::printf("\n");
    std::printf("map2d walkable: street 600 420 %s, house 248 240 %s, river 1470 300 %s\n",
                scene->IsWalkable(600.0f, 420.0f) ? "yes" : "no", scene->IsWalkable(248.0f, 240.0f) ? "yes" : "no",
                scene->IsWalkable(1470.0f, 300.0f) ? "yes" : "no");
    if (AreaData* area = scene->CreateAreaData("map2d/town_area.bmp")) {
        // One area pixel covers 8 x 8 map pixels.
        std::printf("map2d area map: %d x %d, value at market 800 700: 0x%08X, at river 1470 300: 0x%08X\n",
                    area->Width(), area->Height(), unsigned(area->GetValue(800 / 8, 700 / 8)),
                    unsigned(area->GetValue(1470 / 8, 300 / 8)));
        delete area;
    } else {
        std::printf("map2d area map: none\n");
    }
}

}  // namespace

bool IsMap2DName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = name.substr(dot);
    for (const char* e : {".scn2", ".s2d", ".bmp"})
        if (strcasecmp(ext.c_str(), e) == 0) return true;
    return false;
}

int ShowMap2D(world::IWorld* world, host::ReferenceHost& host, host::RecordingRenderer& books, host::GlRenderer* gl,
              const Map2DDemoOptions& options, host::GlFrameStats* drawnOut) {
    // The viewport is the picture: the renderer answers its size until the first frame sets it.
    books.backBufferWidth = options.width;
    books.backBufferHeight = options.height;
    std::size_t seen = 0;
    world::IScene* scene = world->CreateScene(options.file.c_str(), 0, 0, 0);
    ReportProgress(host, seen);
    if (!scene) return Fail("the map could not be made", options.file);
    // The registry makes a 2D scene for every name that is not a 3D scene file.
    auto* map = static_cast<world::Scene2D*>(scene);
    std::printf("map2d file: %s, loading state 0x%X\n", options.file.c_str(), scene->GetProgress());
    world->SetActiveScene(scene);

    // The sections a host runs after creation, in its order.
    struct Section {
        const char* name;
        bool (world::IScene::*run)();
    };
    const Section sections[] = {
        {"LoadAStar", &world::IScene::LoadAStar},           {"LoadWaters", &world::IScene::LoadWaters},
        {"LoadFxes", &world::IScene::LoadFxes},             {"LoadModels", &world::IScene::LoadModels},
        {"LoadPlaneFogs", &world::IScene::LoadPlaneFogs},   {"LoadElectricities", &world::IScene::LoadElectricities},
        {"LoadBlazes", &world::IScene::LoadBlazes},         {"LoadExtraSection", &world::IScene::LoadExtraSection},
    };
    std::string results;
    for (const Section& s : sections)
        results += std::string(results.empty() ? "" : ", ") + s.name + " " + ((scene->*s.run)() ? "true" : "false");
    std::printf("map2d sections: %s\n", results.c_str());
    ReportProgress(host, seen);
    host.loader->WaitIdle();
    ReportPictures(scene);
    ReportQueries(scene, map);

    // Frames written as pictures: the first, the middle and the last.
    const int frames = options.frames;
    const std::vector<int> shots = {0, frames / 2, frames - 1};
    if (gl && !options.out.empty()) {
        std::error_code made;
        fs::create_directories(options.out, made);
    }
    int width = 0, height = 0;
    scene->GetMapSize(&width, &height);
    host::GlFrameStats drawn;
    bool groundReady = scene->IsGroundReady();
    int peakResident = 0;
    for (int i = 0; i < frames; ++i) {
        // The ground's loader gets the time a frame at the host's rate would give it: each frame
        // waits (at most a second) for the batch handed over before, so that the report reads
        // the same on a slow machine and a fast one.
        if (auto* ground = const_cast<world::ScreenMgr*>(Ground(scene)))
            for (int waited = 0; waited < 1000 && ground->Loader().IsBusy(); ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // The view crosses the map from its top left to its bottom right.
        const float t = frames > 1 ? float(i) / float(frames - 1) : 0.0f;
        const float x = 200.0f + t * (float(width) - 400.0f);
        const float y = 150.0f + t * (float(height) - 300.0f);
        scene->UpdateView(x, y);
        world::Camera* camera = scene->GetActiveCamera();
        if (gl && !gl->BeginFrame(camera ? camera->GetRenderCamera() : nullptr, 0xFF305030u, options.width,
                                  options.height))
            return Fail("the GL renderer cannot make its context", "");
        world->Update();
        world->Render();
        world->RenderPost();
        if (gl) drawn = gl->EndFrame();
        std::printf("map2d frame %d: %s\n", i, FrameLine({scene, map, host, i, gl ? &drawn : nullptr}).c_str());
        if (!groundReady && scene->IsGroundReady()) {
            groundReady = true;
            std::printf("map2d ground ready at frame %d\n", i);
        }
        if (const world::ScreenMgr* ground = Ground(scene)) peakResident = std::max(peakResident, Resident(*ground));
        if (gl && !options.out.empty() && (i == shots[0] || i == shots[1] || i == shots[2])) {
            char name[32];
            std::snprintf(name, sizeof name, "town_%03d.png", i);
            const fs::path file = fs::path(options.out) / name;
            if (!gl->WritePng(file.string())) return Fail("cannot write the picture", file.string());
            std::printf("map2d picture: %s %dx%d\n", file.c_str(), options.width, options.height);
        }
    }
    // One more frame with the zoom on at factor 0.5: the middle of the last view, twice as large.
    if (gl && !options.out.empty() && frames > 0) {
        float factor = 0.0f;
        scene->GetZoom(nullptr, &factor);
        scene->AdjustZoom(true, 0.5f - factor);
        scene->GetZoom(nullptr, &factor);
        world::Camera* camera = scene->GetActiveCamera();
        if (!gl->BeginFrame(camera ? camera->GetRenderCamera() : nullptr, 0xFF305030u, options.width, options.height))
            return Fail("the GL renderer cannot make its context", "");
        world->Update();
        world->Render();
        world->RenderPost();
        gl->EndFrame();
        const fs::path file = fs::path(options.out) / "town_zoom.png";
        if (!gl->WritePng(file.string())) return Fail("cannot write the picture", file.string());
        std::printf("map2d zoom: factor %.2f, render targets %d, picture %s\n", double(factor),
                    books.LiveRenderTargets(), file.c_str());
        scene->AdjustZoom(false, 0.0f);
    }
    if (const world::ScreenMgr* ground = Ground(scene)) {
        const world::GroundCounters& t = ground->TotalCounters();
        std::printf("map2d ground totals: %d x %d blocks, requested %d, installed %d, released %d, peak resident %d, "
                    "duplicate requests %d\n",
                    ground->Columns(), ground->Rows(), t.requested, t.installed, t.released, peakResident,
                    t.duplicates);
        // The loader's complaints about blocks (a missing block shows blank).
        for (const host::RecordingLog::Entry& e : host.log.Entries())
            if (e.text.find("\\map_") != std::string::npos) std::printf("map2d ground log: %s\n", e.text.c_str());
    } else {
        std::printf("map2d ground: none\n");
    }
    if (drawnOut) *drawnOut = drawn;
    return 0;
}

}  // namespace quor::demo
