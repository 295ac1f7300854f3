// An outside host of libworld.so: loads the module with dlopen, binds it to the reference
// host, loads the sample garden on the loader thread, plays the figure's walk in it and draws
// the frames with the GL renderer. Prints one line per check; exits 0 when all pass.
// Usage: world_outside_host SAMPLES_DIR
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/DirectoryFileSystem.h"
#include "platform/host/IFrameTimeControl.h"
#include "platform/host/IModule.h"
#include "platform/host/ReferenceHost.h"
#include "world/WorldHost.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "pass" : "FAIL", what);
    failures += ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SAMPLES_DIR\n", argv[0]);
        return 2;
    }
    void* library = dlopen(QUOR_LIBWORLD, RTLD_NOW | RTLD_LOCAL);
    Check(library != nullptr, "libworld.so loads from the install prefix");
    if (!library) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    using GetIntfFn = quor::client::IModule* (*)();
    auto getIntf = reinterpret_cast<GetIntfFn>(dlsym(library, "GetIntf"));
    quor::client::IModule* module = getIntf ? getIntf() : nullptr;
    Check(module != nullptr, "GetIntf hands out the module");
    if (!module) return 1;

    quor::host::ReferenceHost host(std::make_unique<quor::host::DirectoryFileSystem>(argv[1]));
    quor::host::GlRenderer gl(host.renderer.Store());
    gl.Attach(host.files.get(), &host.log);
    gl.AttachDevice(&host.device.Direct3D());
    host.UseRenderer(&gl);
    // The reference terrain reads its files through the resource root too.
    host.terrain.files = host.files.get();
    host.PublishAll();
    host.PublishWorldServices(2);
    Check(module->Register(&host.registry) && module->Initialize(&host.registry), "the module binds the reference host");
    quor::world::IWorld* world = module->GetWorld();
    Check(world != nullptr && world->Initialize(60), "the world starts");
    if (!world) return 1;
    if (quor::IFrameTimeControl* frameTime = host.client.FrameTimeControl()) {
        frameTime->SetFrameRate(60);
        frameTime->SetSpeed(1.0f);
    }

    // The garden, read by a loader thread.
    quor::world::IScene* scene = world->CreateScene("scenes/garden.scn", 1, 0, 0);
    for (int wait = 0; scene && wait < 20000; ++wait) {
        const std::uint32_t progress = scene->GetProgress();
        if (progress == 0 || progress == 0xFFFFFFFFu) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    host.loader->WaitIdle();
    Check(scene && scene->GetProgress() == 0, "the sample garden loads on the loader thread");
    if (!scene || scene->GetProgress() != 0) {
        std::printf("progress 0x%X\n", scene ? scene->GetProgress() : 0u);
        for (const auto& entry : host.log.Entries()) std::printf("log: %s\n", entry.text.c_str());
        return 1;
    }
    world->SetActiveScene(scene);
    quor::world::ICamera* camera = quor::world::CameraInterface(scene->CreateCamera(true));
    quor::Matrix gate;
    Check(camera && scene->GetPresetCamera("Gate", &gate), "the garden's preset camera");
    if (!camera) return 1;
    camera->GetSpaceObject()->SetWorldMatrix(gate);
    const int width = 320, height = 240;
    camera->SetPerspective(60.0f, float(width) / float(height), 1.0f, 2000.0f);

    // The figure stands four units in front of the camera, feet a unit below the eye.
    quor::world::IModel* figure = scene->CreateModel("char/figure.mom", 0, 0, nullptr);
    Check(figure && figure->IsLoading() == 0, "the figure loads into the garden");
    if (!figure) return 1;
    const quor::Vec3 at = gate.Row(3) + gate.Row(2) * 4.0f - gate.Row(1) * 1.0f;
    quor::world::SpaceObjectInterface(figure->GetSpaceObject(0))->SetPosition(at);
    const int walk = figure->FindAnimation("walk", false);
    Check(walk != 0xFFFF && figure->PlaySkeletalAnimation(walk, -1.0f, 16, -1.0f, 1, 1.0f), "the figure plays its walk");
    const std::uint16_t foot = figure->FindBone("LFoot");

    std::vector<float> times;
    quor::Matrix first, last;
    quor::host::GlFrameStats drawn;
    bool framed = true;
    for (int frame = 0; frame < 8; ++frame) {
        framed = framed && gl.BeginFrame(camera->GetRenderCamera(), 0xFF8090A0u, width, height);
        world->Update();
        world->Render();
        world->RenderPost();
        drawn = gl.EndFrame();
        times.push_back(figure->GetAnimationTime(1));
        if (foot != 0xFFFF) figure->GetBoneWorldMatrix(foot, frame == 0 ? first : last);
    }
    Check(framed, "the GL renderer draws every frame");
    Check(drawn.renderables > 0 && drawn.triangles > 0, "the last frame draws the garden and the figure");
    Check(times.back() > times.front(), "the walk's time advances frame by frame");
    const quor::Vec3 moved = last.Row(3) - first.Row(3);
    Check(foot != 0xFFFF && moved.x * moved.x + moved.y * moved.y + moved.z * moved.z > 1e-4f, "the figure's foot moves");
    const std::vector<std::uint8_t> pixels = gl.ReadPixels();
    // The clear colour is 0x8090A0; the garden's ground, plants and the figure cover the rest.
    std::size_t covered = 0;
    for (std::size_t i = 0; i + 3 < pixels.size(); i += 4)
        covered += pixels[i] != 0x80 || pixels[i + 1] != 0x90 || pixels[i + 2] != 0xA0;
    Check(covered * 50 > pixels.size() / 4, "the frame's picture shows the garden (over 2% of it drawn)");
    std::printf("drawn: %d renderables, %d triangles, %zu pixels covered, walk time %.1f ms\n", drawn.renderables,
                drawn.triangles, covered, double(times.back()));

    module->Shutdown();
    std::printf("%s\n", failures == 0 ? "world outside host: all checks passed" : "world outside host: FAILED");
    return failures == 0 ? 0 : 1;
}
