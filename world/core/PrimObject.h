#pragma once
#include <cstdint>
#include <vector>

#include "platform/host/IPrimitive.h"
#include "world/core/IPrimObject.h"
#include "world/core/VisibleObject.h"

namespace quor::world {

// A visible object around one primitive of the host's renderer. The object owns the primitive
// (given back to the renderer when the object goes) and, when asked at construction, an effect
// of its own as the primitive's material.
class PrimObject : public IPrimObject, public VisibleObject {
public:
    PrimObject(int kind, std::uint32_t vertexFormat, bool withMaterial);
    ~PrimObject() override;

    // --- IPrimObject, in slot order ---
    render::IPrimitive* GetPrimitive() override { return m_primitive; }
    // Lets go of the primitive's buffers and of the own material; a second call finds nothing
    // left to release.
    void Release() override;
    ISpaceObject* GetSpaceObject() override { return this; }
    IVisibleObject* GetVisibleObject() override { return this; }
    // Gives back the own material (once) and sets the given effect on the primitive.
    void SetMaterial(render::IEffect* effect) override;
    // Hands the world matrix to the primitive, then draws; -1, -1 draws everything.
    void Draw(int first, int count) override;
    void Commit() override;
    void SetVertexUV(int index, const float* position, float u, float v,
                     std::uint32_t colour) override {
        m_primitive->SetVertexUV(index, position, u, v, colour);
    }
    void SetVertexCount(int primitives, int vertices, int indexed, int flags) override {
        m_primitive->SetVertexCount(primitives, vertices, indexed, flags);
    }
    void SetTexture(int stage, render::ITexture* texture) override {
        m_primitive->SetTexture(stage, texture);
    }
    bool Submit() override {
        return m_primitive->Submit();
    }
    void SetPrimitiveMaterial(render::IMaterial* material) override {
        m_primitive->SetMaterial(material);
    }
    void SetVertexCountUsed(int count) override {
        m_primitive->SetVertexCountUsed(count);
    }
    void DrawEx(int index, const float* rect, int flags, const float* textureRect) override {
        m_primitive->DrawEx(index, rect, flags, textureRect);
    }
    std::intptr_t Slot16(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot16(a, b);
    }
    std::intptr_t Slot17(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot17(a, b);
    }
    std::intptr_t Slot18(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot18(a, b);
    }
    std::intptr_t Slot19(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot19(a, b);
    }
    std::intptr_t Slot20(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot20(a, b);
    }
    std::intptr_t Slot21(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot21(a, b);
    }
    std::intptr_t Slot22(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot22(a, b);
    }
    std::intptr_t Slot23(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot23(a, b);
    }
    std::intptr_t Slot24(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot24(a, b);
    }
    std::intptr_t Slot25(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot25(a, b);
    }
    std::intptr_t Slot26(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot26(a, b);
    }
    std::intptr_t Slot27(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot27(a, b);
    }
    std::intptr_t Slot28(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot28(a, b);
    }
    std::intptr_t Slot29(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot29(a, b);
    }
    std::intptr_t Slot30(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot30(a, b);
    }
    std::intptr_t Slot31(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot31(a, b);
    }
    std::intptr_t Slot33(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot33(a, b);
    }
    std::intptr_t Slot34(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot34(a, b);
    }
    std::intptr_t Slot35(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot35(a, b);
    }
    std::intptr_t Slot36(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot36(a, b);
    }
    std::intptr_t Slot37(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot37(a, b);
    }
    std::intptr_t Slot38(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot38(a, b);
    }
    std::intptr_t Slot39(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot39(a, b);
    }
    std::intptr_t Slot40(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot40(a, b);
    }
    std::intptr_t Slot42(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot42(a, b);
    }
    std::intptr_t Slot43(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot43(a, b);
    }
    std::intptr_t Slot44(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot44(a, b);
    }
    std::intptr_t Slot45(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot45(a, b);
    }
    std::intptr_t Slot47(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot47(a, b);
    }
    std::intptr_t Slot48(std::intptr_t a, std::intptr_t b) override {
        return m_primitive->Slot48(a, b);
    }

    // --- VisibleObject operations this class answers differently ---
    int GetObjectType() override { return 6; }
    int GetPartDrawPass(int part) override;
    void DrawPart(int part) override;

    render::IEffect* GetOwnMaterial() const { return m_material; }

private:
    render::IPrimitive* m_primitive = nullptr;
    render::IEffect* m_material = nullptr;
    bool m_primitiveReleased = false;
};

// A scene's prim objects. The list owns them.
class PrimObjectList {
public:
    PrimObjectList() = default;
    ~PrimObjectList();
    PrimObjectList(const PrimObjectList&) = delete;
    PrimObjectList& operator=(const PrimObjectList&) = delete;

    PrimObject* Create(int kind, std::uint32_t vertexFormat, bool withMaterial);
    PrimObject* GetAt(std::uint32_t index) const;
    int GetCount() const { return static_cast<int>(m_objects.size()); }
    // Commits every visible object.
    void DrawVisible();
    // Deletes a listed object (searched from the back); others are ignored.
    void Remove(PrimObject* object);
    void Clear();
    // Hands a listed object to another list without deleting it.
    void MoveTo(PrimObject* object, PrimObjectList& other);

private:
    std::vector<PrimObject*> m_objects;
};

}  // namespace quor::world
