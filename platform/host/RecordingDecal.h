#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/host/IDecal.h"
#include "platform/host/IRenderer.h"
#include "platform/host/RenderCamera.h"

namespace quor::host {

// The reference renderer's decal: a reference render camera as its projection camera, an
// active flag the test sets, and every draw record it received, in order.
class RecordingDecal final : public render::IDecal {
public:
    explicit RecordingDecal(const void* desc) : description(desc) {}

    void* GetRenderable() override { return &renderable; }
    render::IRenderCamera* GetProjectionCamera() override { return hasCamera ? &camera : nullptr; }
    void Update() override { ++updates; }
    void SetDrawRecord(render::IVertexBuffer* stream, const render::DrawRange* ranges, std::uint32_t count) override {
        draws.push_back({stream, std::vector<render::DrawRange>(ranges, ranges + count)});
    }
    bool IsActive() override { return active; }

    struct Draw {
        render::IVertexBuffer* stream = nullptr;
        std::vector<render::DrawRange> ranges;
    };
    const void* description;
    RenderCamera camera;
    bool hasCamera = true;
    bool active = true;
    int updates = 0;
    std::vector<Draw> draws;
    // What GetRenderable answers: a token of this decal.
    int renderable = 0;
};

}  // namespace quor::host
