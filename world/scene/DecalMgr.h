#pragma once
#include <cstdint>
#include <vector>

#include "world/core/PrimitiveBatch.h"
#include "world/core/math/Frustum.h"

namespace quor::d3d9 {
class IDirect3DDevice9;
class IDirect3DIndexBuffer9;
class IDirect3DVertexBuffer9;
}  // namespace quor::d3d9
namespace quor::render {
class IDecal;
class IVertexBuffer;
class TerrainObject;
}  // namespace quor::render

namespace quor::world {

class IDecalHolder;
class ModelBase;
class VisibleObject;

// A scene's decals. Every frame it gathers the positions of the model (or terrain) triangles
// under each active decal into one shared store, uploads the store into one vertex buffer, and
// hands each decal its range of it; the renderer's "<Decal>" pass draws them.
class DecalMgr {
public:
    static constexpr int kStorePositions = 50000;
    // The user-value bit of objects that take decals.
    static constexpr int kTakesDecals = 0x2000;

    struct Record {
        render::IDecal* decal = nullptr;  // also the key for removal
        ModelBase* target = nullptr;      // only this model, when set
        VisibleObject* owner = nullptr;   // skipped while this object is culled
        std::uint32_t reserved = 0;
        PrimitiveBatch draw;
        bool modelDecal = false;  // not the manager's to release
    };

    // device: the device the buffers are made on; the host's when null.
    explicit DecalMgr(d3d9::IDirect3DDevice9* device = nullptr);
    ~DecalMgr();
    DecalMgr(const DecalMgr&) = delete;
    DecalMgr& operator=(const DecalMgr&) = delete;

    // A decal the renderer makes from the description; null (and nothing kept) when either is.
    render::IDecal* AddDecal(const void* description, ModelBase* target);
    // A decal someone else owns; a null decal is refused.
    void AddModelDecal(render::IDecal* decal, ModelBase* target, VisibleObject* owner);
    // The holder's decal, skipped while the object is culled.
    void AddModelDecal(IDecalHolder* holder, VisibleObject* owner);
    // The last record with that decal goes; a decal the manager made is released.
    void RemoveDecal(render::IDecal* key);
    void RemoveModelDecals(IDecalHolder* holder);
    void SetProjectOntoModels(bool on) { m_projectOntoModels = on ? 1 : 0; }
    std::size_t GetCount() const { return m_decals.size(); }
    const std::vector<Record>& Records() const { return m_decals; }
    void Clear();

    // The buffers, made once; false (and nothing kept) when the device refuses them.
    bool EnsureBuffers();
    // Gathers and uploads this frame's positions: visible is the scene's list of visible
    // objects, terrain its terrain object (may be null).
    void Build(const std::vector<VisibleObject*>& visible, render::TerrainObject* terrain);
    void Render();

    // Whether the model may lie in the volume; changes neither the frame frustums nor the
    // model's stored culling.
    static bool TouchesModel(VisibleObject& model, const Frustum& volume);
    // The shared position store (kStorePositions positions, three floats each).
    static float* Store();

    render::IVertexBuffer* VertexBufferObject() const { return m_stream; }

private:
    void ReleaseBuffers();

    std::vector<Record> m_decals;
    render::IVertexBuffer* m_stream = nullptr;
    d3d9::IDirect3DIndexBuffer9* m_indexBuffer = nullptr;
    d3d9::IDirect3DVertexBuffer9* m_vertexBuffer = nullptr;
    std::uint8_t m_projectOntoModels = 1;
    d3d9::IDirect3DDevice9* m_device;
};

}  // namespace quor::world
