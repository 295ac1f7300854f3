#include "apps/world_host/SceneAudioDemo.h"

#include <stb_image_write.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/IWorld.h"
#include "world/scene/IScene.h"
#include "world/scene/SceneAudio.h"
#include "world/scene/SceneBase.h"
#include "world/scene/Speaker.h"

namespace quor::demo {

namespace {

world::IScene* g_loadingScene = nullptr;
std::chrono::steady_clock::time_point g_loadingStart;
// The word wipes in at 200 pixels a second over its 540-pixel box: the screen stays up this
// long, however quickly the file loads, so its last frame shows the word whole.
constexpr auto kLoadingShown = std::chrono::milliseconds(3000);

int Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "world_host: %s: %s\n", what, detail.c_str());
    return 1;
}

}  // namespace

bool BeginLoadingScreen(world::IWorld* world, host::ReferenceHost& host, host::RecordingRenderer& books, int width,
                        int height) {
    world::IScene* current = world->GetCurrentScene();
    if (!current) {
        std::printf("loading screen: none (no current scene)\n");
        return false;
    }
    books.backBufferWidth = width;
    books.backBufferHeight = height;
    host.device.Direct3D().SetBackBufferSize(std::uint32_t(width), std::uint32_t(height));
    g_loadingScene = current;
    g_loadingStart = std::chrono::steady_clock::now();
    current->BeginLoadingScreen(true);
    std::printf("loading screen: on over the current scene, %dx%d\n", width, height);
    return true;
}

int EndLoadingScreen(world::IWorld*, host::ReferenceHost& host, const std::string& picture) {
    world::IScene* scene = g_loadingScene;
    g_loadingScene = nullptr;
    if (!scene) return 0;
    // The file is in: the bar is full once the screen's last frame adds its own 200 pixels.
    scene->AddLoadingProgress(314, 1);
    std::this_thread::sleep_until(g_loadingStart + kLoadingShown);
    scene->EndLoadingScreen();
    d3d9::IDirect3DDevice9& device = host.device.Direct3D();
    std::printf("loading screen: off, frames presented %d, screen still on %s\n", device.Presents(),
                scene->IsLoadingScreenOn() ? "yes" : "no");
    if (picture.empty()) return 0;
    std::uint32_t w = 0, h = 0;
    const std::vector<std::uint32_t> argb = device.PresentedImage(&w, &h);
    if (argb.empty()) return Fail("no loading-screen frame was presented", picture);
    std::vector<std::uint8_t> rgba(argb.size() * 4);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        rgba[i * 4 + 0] = std::uint8_t(argb[i] >> 16);
        rgba[i * 4 + 1] = std::uint8_t(argb[i] >> 8);
        rgba[i * 4 + 2] = std::uint8_t(argb[i]);
        rgba[i * 4 + 3] = 0xFF;
    }
    const std::filesystem::path parent = std::filesystem::path(picture).parent_path();
    std::error_code made;
    if (!parent.empty()) std::filesystem::create_directories(parent, made);
    if (!stbi_write_png(picture.c_str(), int(w), int(h), 4, rgba.data(), int(w) * 4))
        return Fail("cannot write the loading picture", picture);
    std::printf("loading picture: %s %ux%u\n", picture.c_str(), w, h);
    return 0;
}

void WalkListener(world::IWorld* world, host::ReferenceHost& host, world::IScene* scene) {
    // The scene's own bookkeeping says what it switched to; the host's audio says what plays.
    world::SceneAudio& audio = static_cast<world::SceneBase*>(scene)->Audio();
    const struct {
        const char* where;
        float x, y, z;
    } steps[] = {
        {"gate", 0.0f, 0.0f, -60.0f}, {"pond", 12.0f, 0.0f, -12.0f},  {"between pond and tower", 4.0f, 0.0f, -4.0f},
        {"tower", 0.0f, 0.0f, 0.0f},  {"hedge", 0.0f, 0.0f, 30.0f},   {"beyond the hedge", 0.0f, 0.0f, 60.0f},
    };
    int n = 0;
    for (const auto& step : steps) {
        host.audio.SetListener(step.x, step.y, step.z);
        world->Update();
        world::Speaker* music = audio.GetCurrentMusic();
        world::AreaReverb* reverb = audio.GetCurrentReverb();
        const char* musicName = music ? music->GetSoundPath() : nullptr;
        const char* reverbName = reverb ? reverb->GetName() : nullptr;
        std::printf("audio step %d, %s (%.0f, %.0f, %.0f): music %s%s, reverb %s%s\n", ++n, step.where,
                    double(step.x), double(step.y), double(step.z), musicName ? musicName : "none",
                    musicName ? (host.audio.IsPlaying(musicName) ? " (playing)" : " (silent)") : "",
                    reverbName ? reverbName : "none",
                    reverbName ? (host.audio.IsReverbActive(reverbName) ? " (on)" : " (off)") : "");
    }
    std::printf("audio playing after the walk: %d\n", host.audio.Playing());
}

void RunTransition(world::IWorld* world, world::IScene* scene) {
    // Mode 2: the old screen opens from the middle.
    scene->StartTransition(2);
    std::printf("transition: mode 2 started, state %d\n", scene->GetState());
    for (int frame = 1; frame <= 120; ++frame) {
        world->Update();
        world->Render();
        world->RenderPost();
        const int state = scene->GetState();
        std::printf("transition frame %d: state %d\n", frame, state);
        if (state != 1) break;
    }
}

}  // namespace quor::demo
