#pragma once
// The renderer services the 2D scene asks for that the host interfaces do not carry yet: hooks
// answering as the scene's "without it" path expects until the renderer brings them.
#include <cstdint>

#include "platform/win32/Types.h"
#include "world/scene/ScreenMgr.h"

namespace quor::world {

class PictureBase;
class SceneBase;

// --- renderer services the 2D scene asks for; the client's and the audio's come through the
// host interfaces. Tests and hosts may set the hooks; unset, they answer as a host without the
// service does. ---------------------------------------------------------------------------------
struct Scene2DHost {
    // The viewport size; unset: the renderer's viewport.
    bool (*getViewportSize)(int* width, int* height) = nullptr;
    // The size of the renderer's render target 0; false when there is none.
    bool (*getRenderTarget0Size)(int* width, int* height) = nullptr;
};

Scene2DHost& GetScene2DHost();

}  // namespace quor::world
