#pragma once
// The renderer's per-model shadow objects and the records its extension techniques draw.
#include <cstdint>

namespace quor::render {

class IExtTechnique;
class IMaterial;
class IVertexBuffer;
struct DrawRange;

// Kinds of CreateSkinBuffer.
enum SkinBufferKind : int {
    kSkinBufferDecal = 2,        // a shadow decal under a model
    kSkinBufferPlaneShadow = 3,  // a model's mesh flattened onto one plane for one light
    kSkinBufferVolume = 4,       // a shadow volume cast towards a target
};

// Marks of a plane shadow's Refresh.
enum SkinBufferMark : std::uint32_t {
    kMarkDrawn = 1,
    kMarkLightMoved = 8,
    kMarkEverything = 0xFFFF,
};

// A shadow object of the renderer. One interface serves the three kinds; an operation that
// does not concern an object's kind is ignored by it.
class ISkinBuffer {
public:
    virtual int GetKind() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() = 0;
    // Whether it can be drawn now (plane shadows: once it has a light and a plane).
    virtual bool IsReady() = 0;
    // What it draws, read when the technique draws it: the model's stream and ranges and its
    // world matrix (4 x 4, row vectors). Kinds 3 and 4.
    virtual void SetDrawRecord(IVertexBuffer* stream, const DrawRange* ranges, std::uint32_t count,
                               const float* world) = 0;

    // --- kind 3 ---
    // The light set's light it is cast by (opaque to the caller).
    virtual void SetLight(void* renderLight) = 0;
    virtual void* GetLight() = 0;
    // Plane (a, b, c, d): points p with a*x + b*y + c*z = d, in the space the mesh draws in.
    virtual void SetPlane(const float* plane) = 0;
    // The caster's bound: centre, half extents, radius (seven floats).
    virtual void SetBounds(const float* bounds) = 0;
    virtual void Refresh(std::uint32_t mark) = 0;
    // Its material ("Alpha" among its parameters); owned by the object.
    virtual IMaterial* GetMaterial() = 0;

    // --- kind 2 ---
    // Centre of the decal, and its half extents (x, y, z; null: keep the last ones).
    virtual void SetPlacement(const float* centre, const float* extents) = 0;

    // --- kind 4 ---
    // The render record of the object the volume is cast towards.
    virtual void SetTarget(const void* renderRecord) = 0;

protected:
    ~ISkinBuffer() = default;
};

// A per-model entry of a named extension technique (a render effect). The model fills it; the
// technique draws it. The stream and ranges are the model's draw description at drawing time.
struct RenderEffectInstance {
    IExtTechnique* technique = nullptr;
    // Made from the technique when it needs one ("<Outline>"); one reference held.
    IMaterial* material = nullptr;
    const void* model = nullptr;
    const float* world = nullptr;
    std::uint8_t enabled = 0;
    IVertexBuffer* stream = nullptr;
    const DrawRange* ranges = nullptr;
    std::uint32_t rangeCount = 0;
};

}  // namespace quor::render
