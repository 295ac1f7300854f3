#pragma once
// world_host --scene: a 3D scene file loaded through the world on the loader thread, shown
// from one of its preset cameras over a number of frames, reported as "key: value" lines.
#include <string>

namespace quor::host {
struct GlFrameStats;
class GlRenderer;
class RecordingRenderer;
class ReferenceHost;
}  // namespace quor::host
namespace quor::world {
class IWorld;
}

namespace quor::demo {

struct SceneDemoOptions {
    std::string file;     // resource path of the scene file
    std::string preset;   // the preset camera to start at
    int frames = 1;
    int width = 640;
    int height = 480;
    std::string loadingPicture;  // where the loading screen's last frame goes (PNG); empty: nowhere
};

// 0 when the scene loaded and its frames ran; 1 (with a line on standard error) otherwise.
// With gl the frames are drawn by it (the picture is the caller's to write) and drawn receives
// what the last frame drew.
int ShowScene(world::IWorld* world, host::ReferenceHost& host, host::RecordingRenderer& books, host::GlRenderer* gl,
              const SceneDemoOptions& options, host::GlFrameStats* drawn, int* horizonRow = nullptr);

}  // namespace quor::demo
