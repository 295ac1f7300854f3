#pragma once
// What the 2D scene leans on that comes with other parts of the system: the ground manager,
// the plane effects and a few host services. Each is a
// small stand-in here answering as the scene's "without it" path expects; the part that brings
// the real one replaces its block.
#include <cstdint>

#include "platform/win32/Types.h"

namespace quor::world {

class PictureBase;
class SceneBase;

// --- ground manager: until the 2D ground arrives its Init fails, so a scene holds none. -------
class ScreenMgr {
public:
    explicit ScreenMgr(SceneBase* /*scene*/) {}
    bool Init(const char* /*path*/, const int* /*size*/) { return false; }
    void SetViewPosition(const float* /*offset*/) {}
    bool IsOpaqueAt(float, float) { return false; }
    bool IsReady() const { return m_ready; }
    void SetReady(bool ready) { m_ready = ready; }
    void* AddWaterBlock(const float*, const char*, const char*) { return nullptr; }
    void UpdateBlocks() {}
    void ResetMaskMarks() {}
    bool MarkMasksAt(PictureBase*) { return false; }
    void RenderMasks() {}
    void RenderFrontLayers() {}
    void* GetBackground() { return nullptr; }

private:
    bool m_ready = false;
};

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
