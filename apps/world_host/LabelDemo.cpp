#include "apps/world_host/LabelDemo.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/ICEGUI.h"
#include "platform/host/ReferenceGui.h"
#include "platform/host/ReferenceHost.h"
#include "platform/host/RenderCamera.h"
#include "world/core/Camera.h"
#include "world/core/IWorld.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/IScene.h"

namespace quor::demo {

namespace {

constexpr int kWindowWidth = 64;
constexpr int kWindowHeight = 24;

struct LabelOption {
    std::string window;
    std::string socket;
};

LabelOption& Option() {
    static LabelOption option;
    return option;
}

host::ReferenceGui& Gui() {
    static host::ReferenceGui gui;
    return gui;
}

// The scene's overlay operations, as the interface library calls them back while it draws.
class SceneOverlay final : public client::IGuiOverlay {
public:
    explicit SceneOverlay(world::IScene* scene) : m_scene(scene) {}
    void SetOverlaySize(int width, int height) override { m_scene->SetOverlaySize(width, height); }
    void SetOverlayTexture(render::ITexture* texture) override { m_scene->SetOverlayTexture(texture); }
    void AddOverlayQuad(float x, float y, float u, float v, std::uint32_t colour) override {
        m_scene->AddOverlayQuad(x, y, u, v, colour);
    }
    void FlushOverlayQuads() override { m_scene->FlushOverlayQuads(); }

private:
    world::IScene* m_scene;
};

int Fail(const char* what) {
    std::fprintf(stderr, "world_host: %s\n", what);
    return 1;
}

// Where the label stands: the module hands the label's anchor to the interface library when it
// asks whether the window takes a point. A point far off the screen asks without hitting.
bool LabelAnchor(world::IScene* scene, int& x, int& y) {
    Gui().ClearCalls();
    scene->OnLabelMouseMove(-100000, -100000);
    scene->OnLabelClick(-100000, -100000);
    for (const std::string& call : Gui().Calls()) {
        const std::string head = "HitTest(" + Option().window + ",";
        if (call.rfind(head, 0) != 0) continue;
        int cx = 0, cy = 0;
        if (std::sscanf(call.c_str() + head.size(), "%d,%d,%d,%d", &cx, &cy, &x, &y) == 4) return true;
    }
    return false;
}

std::string LastClickLine(host::ReferenceHost& host) {
    std::string line;
    for (const auto& entry : host.log.Entries())
        if (entry.text.find("click item[") != std::string::npos) line = entry.text;
    return line;
}

void Click(world::IScene* scene, host::ReferenceHost& host, const char* where, int x, int y) {
    host.log.Clear();
    scene->OnLabelMouseMove(x, y);
    const bool taken = scene->OnLabelClick(x, y);
    const std::string line = LastClickLine(host);
    std::printf("label click %s (%d, %d): %s%s%s\n", where, x, y, taken ? "true" : "false",
                line.empty() ? "" : ", ", line.c_str());
}

}  // namespace

bool SetLabelOption(const char* text) {
    const char* at = text ? std::strchr(text, '@') : nullptr;
    if (!at || at == text || !at[1]) return false;
    Option().window.assign(text, at);
    Option().socket = at + 1;
    return true;
}

bool LabelRequested() { return !Option().window.empty(); }

void PublishLabelGui(host::ReferenceHost& host, bool grass) {
    // The effects the host's renderer offers for what the options show.
    if (grass) host.renderer.Store()->DefineEffect("res/effect/grass.fx::Grass");
    if (!LabelRequested()) return;
    host.renderer.Store()->DefineEffect("res/effect/AlphaClip.fx::Common");
    host::ReferenceGui::Window window;
    window.width = kWindowWidth;
    window.height = kWindowHeight;
    window.colour = 0xE0F0C040u;
    Gui().DeclareWindow(Option().window, window);
    host.registry.Add<client::ICEGUI>("ICEGUI_2.0", &Gui());
}

int ShowLabel(world::IWorld* world, world::IScene* scene, host::ReferenceHost& host, host::GlRenderer* gl, int frames,
              int width, int height, host::GlFrameStats* drawnOut) {
    const LabelOption& option = Option();
    world::IModel* model = scene ? scene->GetModel(0) : nullptr;
    if (!model) {
        std::printf("label: %s not pinned: no model (give --model)\n", option.window.c_str());
        return 0;
    }
    SceneOverlay overlay(scene);
    Gui().SetOverlayTarget(&overlay);
    scene->AddLabel(option.window.c_str(), model, option.socket.c_str());
    const int socket = model->FindSocket(option.socket.c_str());
    std::printf("label: %s pinned to socket %s (%s), window %dx%d\n", option.window.c_str(), option.socket.c_str(),
                socket >= 0 ? "found" : "missing: the label is not drawn", kWindowWidth, kWindowHeight);

    // In front of the model, looking at it along +z.
    world::Camera* camera = scene->CreateCamera(true);
    if (!camera) return Fail("the scene made no camera");
    static_cast<host::RenderCamera*>(camera->GetRenderCamera())->SetViewportSize(width, height);
    camera->SetPerspective(60.0f, float(width) / float(height), 0.1f, 100.0f);
    Matrix at;
    for (int k = 0; k < 16; ++k) at.m[k] = k % 5 == 0 ? 1.0f : 0.0f;
    at.m[13] = 1.0f;
    at.m[14] = -4.0f;
    camera->SetWorldMatrix(at);

    host::GlFrameStats drawn;
    int x = 0, y = 0;
    bool placed = false;
    for (int i = 0; i < frames; ++i) {
        // A little closer each frame: the label follows the socket on the screen.
        if (i > 0) camera->MoveLocal(Vec3{0.0f, 0.0f, 0.25f});
        if (gl && !gl->BeginFrame(camera->GetRenderCamera(), 0xFF203040u, width, height))
            return Fail("the GL renderer cannot make its context");
        Gui().ClearCalls();
        world->Update();
        world->Render();
        world->RenderPost();
        if (gl) drawn = gl->EndFrame();
        int draws = 0;
        for (const std::string& call : Gui().Calls()) draws += call == "DrawWindow(" + option.window + ")";
        placed = LabelAnchor(scene, x, y);
        // Sampled frames: the first, every tenth and the last.
        if (i == 0 || (i + 1) % 10 == 0 || i + 1 == frames) {
            if (placed)
                std::printf("label frame %d: %s at (%d, %d), window drawn %d time(s)\n", i + 1, option.window.c_str(),
                            x, y, draws);
            else
                std::printf("label frame %d: %s not placed\n", i + 1, option.window.c_str());
        }
    }
    if (drawnOut) *drawnOut = drawn;
    if (placed) {
        // The window stands centred above its anchor.
        Click(scene, host, "at its centre", x, y - kWindowHeight / 2);
        Click(scene, host, "beside it", x + kWindowWidth, y - kWindowHeight / 2);
    }
    scene->RemoveLabel(option.window.c_str(), model, option.socket.c_str());
    Gui().SetOverlayTarget(nullptr);
    return 0;
}

}  // namespace quor::demo
