#pragma once
// world_host --label WINDOW@SOCKET: a screen label pinned to a socket of the --model's model,
// drawn by the reference interface library; per frame where the module put it on the screen,
// then a click at its centre and one beside it.
#include <string>

namespace quor::host {
struct GlFrameStats;
class GlRenderer;
class ReferenceHost;
}  // namespace quor::host
namespace quor::world {
class IScene;
class IWorld;
}  // namespace quor::world

namespace quor::demo {

// Takes "WINDOW@SOCKET"; false when either part is empty.
bool SetLabelOption(const char* text);
bool LabelRequested();
// Offers the reference interface library to the module (before it registers), with the
// label's window declared, and the overlay batch's effect; nothing of this without a label.
// grass: the renderer also offers the grass effect (a scene file may hold grass).
void PublishLabelGui(host::ReferenceHost& host, bool grass);

// 0 when the label's frames ran; 1 (with a line on standard error) otherwise. Shown in scene
// (its first model carries the label); with gl the frames are drawn by it and drawn receives
// what the last frame drew.
int ShowLabel(world::IWorld* world, world::IScene* scene, host::ReferenceHost& host, host::GlRenderer* gl,
              int frames, int width, int height, host::GlFrameStats* drawn);

}  // namespace quor::demo
