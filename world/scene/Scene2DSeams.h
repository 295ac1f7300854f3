#pragma once
// What the 2D scene leans on that comes with other parts of the system: the ground manager,
// the plane effects and a few host services. Each is a
// small stand-in here answering as the scene's "without it" path expects; the part that brings
// the real one replaces its block.
#include <cstdint>

#include "platform/win32/Types.h"
#include "world/scene/ScreenMgr.h"

namespace quor::world {

class PictureBase;
class SceneBase;

// --- host services the 2D scene asks for. Tests and hosts may set the hooks; unset, they answer
// as a host without the service does. ----------------------------------------------------------
struct Scene2DHost {
    // The window progress messages go to (null: posted to no window).
    win32::HWND mainWindow = nullptr;
    bool (*isLoadingCancelled)() = nullptr;
    // The host's screen size; false when it does not tell.
    bool (*getScreenSize)(int* width, int* height) = nullptr;
    // The viewport size; unset: the renderer's back buffer.
    bool (*getViewportSize)(int* width, int* height) = nullptr;
    // The size of the renderer's render target 0; false when there is none.
    bool (*getRenderTarget0Size)(int* width, int* height) = nullptr;
    // Audio.
    void (*stopMusic)() = nullptr;
    void (*loadSoundConfig)(const char* text) = nullptr;
    bool (*getSoundInfo)(std::int32_t key, void* info) = nullptr;
    std::uint32_t (*playSoundAt)(const void* info, int x, int y) = nullptr;
    void (*setListenerArea)(int width, int height) = nullptr;
    void (*setListenerOrigin)(int x, int y) = nullptr;
    std::intptr_t (*forward31)(std::intptr_t a, std::intptr_t b) = nullptr;
    std::intptr_t (*forward32)(std::intptr_t a, std::intptr_t b) = nullptr;
};

Scene2DHost& GetScene2DHost();

}  // namespace quor::world
