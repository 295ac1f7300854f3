#pragma once
#include <cstdint>

namespace quor::render {

class IEffect;
class IMaterial;
class ITexture;
class IVertexBuffer;

// A primitive of the host's renderer: a vertex buffer with an effect, textures and a transform.
// The slot order is the renderer's. Slots the system only passes through (the prim object
// forwards them for the host) carry their slot number and two opaque arguments.
class IPrimitive {
public:
    // The vertex buffer that holds the primitive's render states.
    virtual IVertexBuffer* GetVertexBuffer() = 0;  // 0
    // Frees the primitive's buffers; the object itself goes back through
    // IRenderer::ReleasePrimitive.
    virtual void Release() = 0;  // 1
    // Uploads the vertices written so far.
    virtual void Commit() = 0;  // 2
    // The world matrix (16 floats) the next draw uses.
    virtual void SetTransform(const float* world) = 0;  // 3
    virtual void SetEffect(IEffect* effect) = 0;  // 4
    virtual IEffect* GetEffect() = 0;  // 5
    virtual void SetVertexCount(int primitives, int vertices, int indexed, int flags) = 0;  // 6
    virtual void SetVertexUV(int index, const float* position, float u, float v,
                             std::uint32_t colour) = 0;  // 7
    virtual std::intptr_t Slot8(std::intptr_t a, std::intptr_t b) = 0;  // 8
    virtual std::intptr_t Slot9(std::intptr_t a, std::intptr_t b) = 0;  // 9
    virtual void SetTexture(int stage, ITexture* texture) = 0;  // 10
    // The renderer's own step before a draw; the prim object asks it and draws by its answer.
    virtual bool Submit() = 0;  // 11
    virtual void SetMaterial(IMaterial* material) = 0;  // 12
    // -1, -1 draws everything.
    virtual void Draw(int first, int count, int pass) = 0;  // 13
    virtual void SetVertexCountUsed(int count) = 0;  // 14
    // A screen quad: rectangle (left, top, right, bottom) and its texture rectangle.
    virtual void DrawEx(int index, const float* rect, int flags,
                        const float* textureRect) = 0;  // 15
    virtual std::intptr_t Slot16(std::intptr_t a, std::intptr_t b) = 0;  // 16
    virtual std::intptr_t Slot17(std::intptr_t a, std::intptr_t b) = 0;  // 17
    virtual std::intptr_t Slot18(std::intptr_t a, std::intptr_t b) = 0;  // 18
    virtual std::intptr_t Slot19(std::intptr_t a, std::intptr_t b) = 0;  // 19
    virtual std::intptr_t Slot20(std::intptr_t a, std::intptr_t b) = 0;  // 20
    virtual std::intptr_t Slot21(std::intptr_t a, std::intptr_t b) = 0;  // 21
    virtual std::intptr_t Slot22(std::intptr_t a, std::intptr_t b) = 0;  // 22
    virtual std::intptr_t Slot23(std::intptr_t a, std::intptr_t b) = 0;  // 23
    virtual std::intptr_t Slot24(std::intptr_t a, std::intptr_t b) = 0;  // 24
    virtual std::intptr_t Slot25(std::intptr_t a, std::intptr_t b) = 0;  // 25
    virtual std::intptr_t Slot26(std::intptr_t a, std::intptr_t b) = 0;  // 26
    virtual std::intptr_t Slot27(std::intptr_t a, std::intptr_t b) = 0;  // 27
    virtual std::intptr_t Slot28(std::intptr_t a, std::intptr_t b) = 0;  // 28
    virtual std::intptr_t Slot29(std::intptr_t a, std::intptr_t b) = 0;  // 29
    virtual std::intptr_t Slot30(std::intptr_t a, std::intptr_t b) = 0;  // 30
    virtual std::intptr_t Slot31(std::intptr_t a, std::intptr_t b) = 0;  // 31
    virtual std::intptr_t Slot32(std::intptr_t a, std::intptr_t b) = 0;  // 32
    virtual std::intptr_t Slot33(std::intptr_t a, std::intptr_t b) = 0;  // 33
    virtual std::intptr_t Slot34(std::intptr_t a, std::intptr_t b) = 0;  // 34
    virtual std::intptr_t Slot35(std::intptr_t a, std::intptr_t b) = 0;  // 35
    virtual std::intptr_t Slot36(std::intptr_t a, std::intptr_t b) = 0;  // 36
    virtual std::intptr_t Slot37(std::intptr_t a, std::intptr_t b) = 0;  // 37
    virtual std::intptr_t Slot38(std::intptr_t a, std::intptr_t b) = 0;  // 38
    virtual std::intptr_t Slot39(std::intptr_t a, std::intptr_t b) = 0;  // 39
    virtual std::intptr_t Slot40(std::intptr_t a, std::intptr_t b) = 0;  // 40
    virtual std::intptr_t Slot41(std::intptr_t a, std::intptr_t b) = 0;  // 41
    virtual std::intptr_t Slot42(std::intptr_t a, std::intptr_t b) = 0;  // 42
    virtual std::intptr_t Slot43(std::intptr_t a, std::intptr_t b) = 0;  // 43
    virtual std::intptr_t Slot44(std::intptr_t a, std::intptr_t b) = 0;  // 44
    virtual std::intptr_t Slot45(std::intptr_t a, std::intptr_t b) = 0;  // 45
    virtual std::intptr_t Slot46(std::intptr_t a, std::intptr_t b) = 0;  // 46
    virtual std::intptr_t Slot47(std::intptr_t a, std::intptr_t b) = 0;  // 47
    virtual std::intptr_t Slot48(std::intptr_t a, std::intptr_t b) = 0;  // 48
    // Vertex editing of the whole array: the count vertices from first, to be written in the
    // primitive's layout until UnlockVertices; null when the range is outside the array.
    virtual void* LockVertices(int first, int count) = 0;  // 49
    virtual void UnlockVertices() = 0;  // 50

    // The pair a screen-space primitive (vertex format 0x144) writes its vertices between,
    // each with 0: how the renderer takes the screen points is its own business.
    std::intptr_t BeginScreenVertices() { return Slot8(0, 0); }
    std::intptr_t EndScreenVertices() { return Slot9(0, 0); }

protected:
    ~IPrimitive() = default;
};

}  // namespace quor::render
