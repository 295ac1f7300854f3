#pragma once
// world_host --scene with a 2D map (".scn2", ".s2d", ".bmp"): the map loaded through the
// world's scene registry, its sections run as a host runs them, then the view scrolled over
// the map for a number of frames, reported as "key: value" lines.
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

struct Map2DDemoOptions {
    std::string file;  // resource path of the map
    int frames = 1;
    int width = 640;
    int height = 480;
    // With gl: the directory frames 0, N/2 and N-1 are written to as PNG (empty: none).
    std::string out;
};

// Whether the name is a 2D map the registry makes a 2D scene for (by extension).
bool IsMap2DName(const std::string& name);

// 0 when the map loaded and its frames ran; 1 (with a line on standard error) otherwise.
// With gl the frames are drawn by it; drawn receives what the last frame drew.
int ShowMap2D(world::IWorld* world, host::ReferenceHost& host, host::RecordingRenderer& books, host::GlRenderer* gl,
              const Map2DDemoOptions& options, host::GlFrameStats* drawn);

}  // namespace quor::demo
