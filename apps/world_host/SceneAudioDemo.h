#pragma once
// world_host --scene, around the scene file: the loading screen shown while it loads, a
// listener walked through its music and reverb zones, and one screen transition, each
// reported as "key: value" lines.
#include <string>

namespace quor::host {
class RecordingRenderer;
class ReferenceHost;
}  // namespace quor::host
namespace quor::world {
class IScene;
class IWorld;
}  // namespace quor::world

namespace quor::demo {

// Puts up the loading screen of the world's current scene (its thread draws through the host's
// device); the back buffer of the device and of books (the renderer's bookkeeping) is width x
// height. False when there is no current scene.
bool BeginLoadingScreen(world::IWorld* world, host::ReferenceHost& host, host::RecordingRenderer& books, int width,
                        int height);
// Fills the bar, ends the screen (its last frame is presented) and, when picture is not empty,
// writes the presented image there as PNG. 0, or 1 with a line on standard error.
int EndLoadingScreen(world::IWorld* world, host::ReferenceHost& host, const std::string& picture);
// Moves the host's listener through the scene's zones, a frame each, and prints the music
// and the reverb the scene switched to.
void WalkListener(world::IWorld* world, host::ReferenceHost& host, world::IScene* scene);
// Starts the opening transition on the scene and prints the state word every frame until it
// has ended.
void RunTransition(world::IWorld* world, world::IScene* scene);

}  // namespace quor::demo
