#pragma once
// What the reference interface library calls back while it draws a label's window: the
// overlay operations of one scene.
#include "platform/host/ICEGUI.h"
#include "world/scene/IScene.h"

namespace quor::test {

class SceneGuiOverlay final : public client::IGuiOverlay {
public:
    explicit SceneGuiOverlay(world::IScene* scene = nullptr) : scene(scene) {}
    void SetOverlaySize(int width, int height) override {
        if (scene) scene->SetOverlaySize(width, height);
    }
    void SetOverlayTexture(render::ITexture* texture) override {
        if (scene) scene->SetOverlayTexture(texture);
    }
    void AddOverlayQuad(float x, float y, float u, float v, std::uint32_t colour) override {
        if (scene) scene->AddOverlayQuad(x, y, u, v, colour);
    }
    void FlushOverlayQuads() override {
        if (scene) scene->FlushOverlayQuads();
    }

    world::IScene* scene;
};

}  // namespace quor::test
