#pragma once
// Test scenes for the drawing renderer: quads in CPU device buffers, bound to stream
// objects, with materials of a technique that modulates the texture by the lit colour.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/glrender/GlRenderer.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RenderCamera.h"

namespace quor::host::test {

// An uncompressed 32-bit TGA, top row first; pixels as 0xAARRGGBB.
inline std::vector<std::uint8_t> Tga(int width, int height, const std::vector<std::uint32_t>& argb) {
    std::vector<std::uint8_t> b(18, 0);
    b[2] = 2;
    b[12] = std::uint8_t(width), b[13] = std::uint8_t(width >> 8);
    b[14] = std::uint8_t(height), b[15] = std::uint8_t(height >> 8);
    b[16] = 32;
    b[17] = 0x28;  // top-left origin, eight alpha bits
    for (std::uint32_t p : argb)
        for (int shift : {0, 8, 16, 24}) b.push_back(std::uint8_t(p >> shift));
    return b;
}

// A quad from (-1,-1) to (1,1) in the z = 0 plane facing -z: its front range winds clockwise
// as the camera at the origin looking down +z sees it, its back range the other way.
// Stream 0: position and normal; stream 1: texture coordinates (u right, v down).
struct QuadBuffers {
    explicit QuadBuffers(d3d9::IDirect3DDevice9& device, std::uint32_t colour = 0) : withColour(colour != 0) {
        const float positions[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
        const float uvs[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        std::vector<float> pn;
        std::vector<std::uint8_t> second;
        for (int i = 0; i < 4; ++i) {
            for (float f : {positions[i][0], positions[i][1], 0.0f, 0.0f, 0.0f, -1.0f}) pn.push_back(f);
            std::uint8_t bytes[12];
            std::memcpy(bytes, uvs[i], 8);
            std::memcpy(bytes + 8, &colour, 4);
            second.insert(second.end(), bytes, bytes + (withColour ? 12 : 8));
        }
        const std::uint16_t indices[12] = {0, 1, 2, 0, 2, 3, 0, 2, 1, 0, 3, 2};
        device.CreateVertexBuffer(std::uint32_t(pn.size() * 4), 0, 0, d3d9::D3DPOOL_MANAGED, &vb0, nullptr);
        device.CreateVertexBuffer(std::uint32_t(second.size()), 0, 0, d3d9::D3DPOOL_MANAGED, &vb1, nullptr);
        device.CreateIndexBuffer(sizeof indices, 0, d3d9::D3DFMT_INDEX16, d3d9::D3DPOOL_MANAGED, &ib, nullptr);
        Fill(vb0, pn.data(), pn.size() * 4);
        Fill(vb1, second.data(), second.size());
        Fill(ib, indices, sizeof indices);
    }
    ~QuadBuffers() {
        vb0->Release();
        vb1->Release();
        ib->Release();
    }
    QuadBuffers(const QuadBuffers&) = delete;
    QuadBuffers& operator=(const QuadBuffers&) = delete;

    static void Fill(d3d9::Direct3DBuffer* b, const void* data, std::size_t size) {
        void* at = nullptr;
        b->Lock(0, 0, &at, 0);
        std::memcpy(at, data, size);
        b->Unlock();
    }

    // A stream object of the renderer drawing from these buffers.
    render::IVertexBuffer* MakeStream(render::IRenderer& r) const {
        render::IVertexBuffer* s = r.CreateVertexBuffer();
        std::vector<render::VertexElement> e = {{0, 0, render::kElementFloat3, 0, render::kUsePosition, 0},
                                                {0, 12, render::kElementFloat3, 0, render::kUseNormal, 0},
                                                {1, 0, render::kElementFloat2, 0, render::kUseTexCoord, 0}};
        if (withColour) e.push_back({1, 8, render::kElementColour, 0, render::kUseColour, 0});
        s->SetVertexElements(e.data(), std::uint32_t(e.size()));
        s->SetStreamSource(0, vb0, 24);
        s->SetStreamSource(1, vb1, withColour ? 12 : 8);
        s->SetIndexBuffer(ib);
        s->SetVertexCount(4);
        s->SetIndexCount(12);
        return s;
    }

    bool withColour;
    d3d9::IDirect3DVertexBuffer9* vb0 = nullptr;
    d3d9::IDirect3DVertexBuffer9* vb1 = nullptr;
    d3d9::IDirect3DIndexBuffer9* ib = nullptr;
};

constexpr render::DrawRange kFront = {0, 2, 4, 0, 0};
constexpr render::DrawRange kBack = {0, 2, 4, 6, 0};

// Scale s, then a move to (x, y, z): row-major, row vectors.
inline std::vector<float> Placed(float s, float x, float y, float z) {
    return {s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, x, y, z, 1};
}

// A technique whose stage 0 modulates two arguments (colour and alpha alike), with a "Tex0"
// stage.
inline render::IEffect* StageZeroTechnique(render::IRenderer& r, const char* name, int arg0, int arg1) {
    const render::TechniqueState states[] = {{render::TechniqueState::kStage, 0, render::kColourOp, 4},
                                             {render::TechniqueState::kStage, 0, render::kColourArg0, arg0},
                                             {render::TechniqueState::kStage, 0, render::kColourArg1, arg1},
                                             {render::TechniqueState::kStage, 0, render::kAlphaOp, 4},
                                             {render::TechniqueState::kStage, 0, render::kAlphaArg0, arg0},
                                             {render::TechniqueState::kStage, 0, render::kAlphaArg1, arg1}};
    render::TechniqueParam texture;
    texture.name = "Tex0";
    texture.binding = render::TechniqueParam::kTexture;
    render::TechniqueDesc desc;
    desc.states = states;
    desc.stateCount = 6;
    desc.params = &texture;
    desc.paramCount = 1;
    return r.GetTechnique(name, &desc);
}

// Stage 0 = texture x diffuse.
inline render::IEffect* LitTechnique(render::IRenderer& r) { return StageZeroTechnique(r, "<TestLitTech>", 2, 0); }

inline render::IMaterial* ColourMaterial(render::IRenderer& r, render::IEffect* technique, float red, float green,
                                         float blue, float alpha) {
    render::IMaterial* m = r.CreateMaterial(technique);
    const float diffuse[4] = {red, green, blue, alpha};
    const float black[4] = {0, 0, 0, 1};
    m->SetColours(diffuse, black, black, black, 0);
    return m;
}

// A renderable of one range of the stream, placed and drawn with the material.
inline render::IRenderable* Quad(render::IRenderer& r, render::IVertexBuffer* stream, const render::DrawRange& range,
                                 render::IMaterial* material, const std::vector<float>& world) {
    render::IRenderable* q = r.CreateRenderable(material ? material->GetTechnique() : nullptr);
    q->SetDrawRecord(stream, &range, 1);
    q->SetMaterial(material);
    q->SetWorldMatrix(world.data());
    return q;
}

// A camera at the origin looking down +z, its viewport the picture's size.
inline void Aim(RenderCamera& camera, int width, int height) {
    camera.SetPerspective(60.0f, float(width) / float(height), 1.0f, 100.0f);
    camera.SetViewportSize(width, height);
    camera.Refresh();
}

// The pixel box where the camera puts the quad placed by world (view = identity).
struct Box {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
};
inline Box Projected(RenderCamera& camera, const std::vector<float>& world) {
    Box b;
    for (float cx : {-1.0f, 1.0f}) {
        for (float cy : {-1.0f, 1.0f}) {
            const float p[3] = {cx * world[0] + world[12], cy * world[5] + world[13], world[14]};
            float screen[2], depth;
            camera.Project(p, screen, &depth);
            b.x0 = std::min(b.x0, screen[0]), b.x1 = std::max(b.x1, screen[0]);
            b.y0 = std::min(b.y0, screen[1]), b.y1 = std::max(b.y1, screen[1]);
        }
    }
    return b;
}

}  // namespace quor::host::test
