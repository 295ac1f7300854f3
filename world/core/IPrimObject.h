#pragma once
#include <cstdint>

namespace quor::render {
class IEffect;
class IMaterial;
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

class ISpaceObject;
class IVisibleObject;

// Free-form geometry the host draws inside a scene: one primitive of the host's renderer
// behind a placed, culled object. Most operations pass straight through to the primitive
// operation they are named after (SlotN: the primitive's slot N). The slot order is part of
// the contract with the host.
class IPrimObject {
public:
    virtual render::IPrimitive* GetPrimitive() = 0;  // 0
    virtual void Release() = 0;  // 1
    virtual ISpaceObject* GetSpaceObject() = 0;  // 2
    virtual IVisibleObject* GetVisibleObject() = 0;  // 3
    virtual void SetVertexUV(int index, const float* position, float u, float v,
                             std::uint32_t colour) = 0;  // 4
    virtual void SetMaterial(render::IEffect* effect) = 0;  // 5
    virtual void SetVertexCount(int primitives, int vertices, int indexed, int flags) = 0;  // 6
    virtual void SetTexture(int stage, render::ITexture* texture) = 0;  // 7
    virtual bool Submit() = 0;  // 8
    virtual void SetPrimitiveMaterial(render::IMaterial* material) = 0;  // 9
    virtual void Draw(int first, int count) = 0;  // 10
    virtual void SetVertexCountUsed(int count) = 0;  // 11
    virtual void DrawEx(int index, const float* rect, int flags,
                        const float* textureRect) = 0;  // 12
    virtual std::intptr_t Slot16(std::intptr_t a, std::intptr_t b) = 0;  // 13
    virtual std::intptr_t Slot17(std::intptr_t a, std::intptr_t b) = 0;  // 14
    virtual std::intptr_t Slot18(std::intptr_t a, std::intptr_t b) = 0;  // 15
    virtual std::intptr_t Slot19(std::intptr_t a, std::intptr_t b) = 0;  // 16
    virtual std::intptr_t Slot20(std::intptr_t a, std::intptr_t b) = 0;  // 17
    virtual std::intptr_t Slot21(std::intptr_t a, std::intptr_t b) = 0;  // 18
    virtual std::intptr_t Slot22(std::intptr_t a, std::intptr_t b) = 0;  // 19
    virtual std::intptr_t Slot23(std::intptr_t a, std::intptr_t b) = 0;  // 20
    virtual std::intptr_t Slot24(std::intptr_t a, std::intptr_t b) = 0;  // 21
    virtual std::intptr_t Slot25(std::intptr_t a, std::intptr_t b) = 0;  // 22
    virtual std::intptr_t Slot26(std::intptr_t a, std::intptr_t b) = 0;  // 23
    virtual std::intptr_t Slot27(std::intptr_t a, std::intptr_t b) = 0;  // 24
    virtual std::intptr_t Slot28(std::intptr_t a, std::intptr_t b) = 0;  // 25
    virtual std::intptr_t Slot29(std::intptr_t a, std::intptr_t b) = 0;  // 26
    virtual std::intptr_t Slot30(std::intptr_t a, std::intptr_t b) = 0;  // 27
    virtual std::intptr_t Slot31(std::intptr_t a, std::intptr_t b) = 0;  // 28
    virtual std::intptr_t Slot33(std::intptr_t a, std::intptr_t b) = 0;  // 29
    virtual std::intptr_t Slot34(std::intptr_t a, std::intptr_t b) = 0;  // 30
    virtual std::intptr_t Slot35(std::intptr_t a, std::intptr_t b) = 0;  // 31
    virtual std::intptr_t Slot36(std::intptr_t a, std::intptr_t b) = 0;  // 32
    virtual std::intptr_t Slot37(std::intptr_t a, std::intptr_t b) = 0;  // 33
    virtual std::intptr_t Slot38(std::intptr_t a, std::intptr_t b) = 0;  // 34
    virtual std::intptr_t Slot39(std::intptr_t a, std::intptr_t b) = 0;  // 35
    virtual std::intptr_t Slot40(std::intptr_t a, std::intptr_t b) = 0;  // 36
    virtual std::intptr_t Slot42(std::intptr_t a, std::intptr_t b) = 0;  // 37
    virtual std::intptr_t Slot43(std::intptr_t a, std::intptr_t b) = 0;  // 38
    virtual std::intptr_t Slot44(std::intptr_t a, std::intptr_t b) = 0;  // 39
    virtual std::intptr_t Slot45(std::intptr_t a, std::intptr_t b) = 0;  // 40
    virtual std::intptr_t Slot47(std::intptr_t a, std::intptr_t b) = 0;  // 41
    virtual std::intptr_t Slot48(std::intptr_t a, std::intptr_t b) = 0;  // 42
    virtual void Commit() = 0;  // 43

protected:
    ~IPrimObject() = default;
};

}  // namespace quor::world
