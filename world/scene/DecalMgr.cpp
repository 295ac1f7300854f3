#include "world/scene/DecalMgr.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/d3d9/Device.h"
#include "platform/host/ID3DDevice.h"
#include "platform/host/IDecal.h"
#include "platform/host/IRenderCamera.h"
#include "platform/host/IRenderer.h"
#include "platform/host/TerrainObject.h"
#include "world/core/InterfaceTable.h"
#include "world/core/VisibleObject.h"
#include "world/core/math/Matrix.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/IDecalHolder.h"

namespace quor::world {

using namespace d3d9;

namespace {

constexpr std::uint32_t kVertexBytes = DecalMgr::kStorePositions * 12;  // 600000
constexpr std::uint32_t kIndexBytes = DecalMgr::kStorePositions * 6;    // 300000
constexpr int kTriangleList = 4;

render::IRenderer* Renderer() { return Interfaces().renderer; }

}  // namespace

float* DecalMgr::Store() {
    static float store[kStorePositions * 3];
    return store;
}

DecalMgr::DecalMgr(IDirect3DDevice9* device) : m_device(device) {}

DecalMgr::~DecalMgr() {
    Clear();
    ReleaseBuffers();
}

void DecalMgr::ReleaseBuffers() {
    if (m_vertexBuffer) m_vertexBuffer->Release();
    if (m_indexBuffer) m_indexBuffer->Release();
    m_vertexBuffer = nullptr;
    m_indexBuffer = nullptr;
    if (m_stream) {
        if (render::IRenderer* renderer = Renderer()) renderer->ReleaseVertexBuffer(m_stream);
        m_stream = nullptr;
    }
}

render::IDecal* DecalMgr::AddDecal(const void* description, ModelBase* target) {
    render::IRenderer* renderer = Renderer();
    if (!description || !renderer) return nullptr;
    render::IDecal* decal = renderer->CreateDecalBatch(description);
    // A null decal kept in the list would be called by every build.
    if (!decal) return nullptr;
    Record r;
    r.decal = decal;
    r.target = target;
    m_decals.push_back(std::move(r));
    return decal;
}

void DecalMgr::AddModelDecal(render::IDecal* decal, ModelBase* target, VisibleObject* owner) {
    if (!decal) return;
    Record r;
    r.decal = decal;
    r.target = target;
    r.owner = owner;
    r.modelDecal = true;
    m_decals.push_back(std::move(r));
}

void DecalMgr::AddModelDecal(IDecalHolder* holder, VisibleObject* owner) {
    if (holder) AddModelDecal(holder->GetDecal(), nullptr, owner);
}

void DecalMgr::RemoveDecal(render::IDecal* key) {
    if (!key || m_decals.empty()) return;
    for (std::size_t i = m_decals.size(); i-- > 0;) {
        if (m_decals[i].decal != key) continue;
        if (!m_decals[i].modelDecal) {
            if (render::IRenderer* renderer = Renderer()) renderer->ReleaseDecalBatch(key);
        }
        m_decals.erase(m_decals.begin() + std::ptrdiff_t(i));
        return;
    }
}

void DecalMgr::RemoveModelDecals(IDecalHolder* holder) {
    if (holder) RemoveDecal(holder->GetDecal());
}

void DecalMgr::Clear() {
    render::IRenderer* renderer = Renderer();
    for (const Record& r : m_decals) {
        if (!r.modelDecal && renderer) renderer->ReleaseDecalBatch(r.decal);
    }
    m_decals.clear();
}

bool DecalMgr::EnsureBuffers() {
    if (m_stream) return true;
    render::IRenderer* renderer = Renderer();
    IDirect3DDevice9* device = m_device;
    if (!device && Interfaces().d3dDevice) device = static_cast<IDirect3DDevice9*>(Interfaces().d3dDevice->GetDevice());
    if (!device || !renderer) return false;
    auto fail = [this] {
        ReleaseBuffers();
        return false;
    };
    if (device->CreateVertexBuffer(kVertexBytes, D3DUSAGE_WRITEONLY, D3DFVF_XYZ, D3DPOOL_MANAGED, &m_vertexBuffer,
                                   nullptr) != D3D_OK ||
        !m_vertexBuffer) {
        m_vertexBuffer = nullptr;
        return fail();
    }
    if (device->CreateIndexBuffer(kIndexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &m_indexBuffer,
                                  nullptr) != D3D_OK ||
        !m_indexBuffer) {
        m_indexBuffer = nullptr;
        return fail();
    }
    // Trivial triangles, so that every decal draws as a plain range of the vertex buffer.
    std::unique_ptr<std::uint16_t[]> indices(new std::uint16_t[kIndexBytes / 2]);
    for (std::uint32_t i = 0; i < kIndexBytes / 2; ++i) indices[i] = std::uint16_t(i);
    void* locked = nullptr;
    if (m_indexBuffer->Lock(0, 0, &locked, 0) != D3D_OK || !locked) return fail();
    std::memcpy(locked, indices.get(), kIndexBytes);
    if (m_indexBuffer->Unlock() != D3D_OK) return fail();
    m_stream = renderer->CreateVertexBuffer();
    if (!m_stream) return fail();
    m_stream->SetPrimitiveType(kTriangleList);
    const render::VertexElement position{0, 0, render::kElementFloat3, 0, render::kUsePosition, 0};
    m_stream->SetVertexElements(&position, 1);
    m_stream->SetStreamSource(0, m_vertexBuffer, 12);
    m_stream->SetIndexBuffer(m_indexBuffer);
    m_stream->SetName("DecalMgr");
    return true;
}

bool DecalMgr::TouchesModel(VisibleObject& model, const Frustum& volume) {
    // The same decision as the frame culling makes, against the decal's volume, on copies.
    if (!model.GetFlag758()) return true;
    if (!model.IsVisible()) return false;
    Vec3 centre;
    float radius = 0.0f;
    model.GetWorldBound(&centre, &radius, nullptr, 1);
    std::uint8_t inside = 0;
    if (volume.TestSphere(centre, radius, &inside)) return false;
    if (inside) return true;
    Frustum local;
    const Matrix& toLocal = model.GetInverseWorldMatrix();
    for (int c = 0; c < 8; ++c) TransformPoint(volume.corners[c], toLocal, local.corners[c]);
    local.flipped = model.IsWorldMirrored() ? 1 : 0;
    local.BuildPlanes();
    const Bounds& bound = *model.GetLocalBound();
    return !local.TestBox(bound.centre, bound.half, true);
}

void DecalMgr::Build(const std::vector<VisibleObject*>& visible, render::TerrainObject* terrain) {
    if (m_decals.empty() || !EnsureBuffers()) return;
    float* store = Store();
    int used = 0;
    for (Record& r : m_decals) {
        r.decal->Update();
        if (!r.decal->IsActive()) continue;
        if (r.owner && r.owner->GetCulledResult(kCullPassSecond)) continue;
        render::IRenderCamera* camera = r.decal->GetProjectionCamera();
        if (!camera) continue;
        const float* cornerFloats = camera->GetFrustumCorners();
        const int start = used;
        int count = 0;
        bool full = false, hit = false;
        if (m_projectOntoModels && cornerFloats) {
            Frustum volume;
            for (int c = 0; c < 8; ++c) volume.corners[c] = Vec3{cornerFloats[3 * c], cornerFloats[3 * c + 1], cornerFloats[3 * c + 2]};
            volume.BuildPlanes();
            for (VisibleObject* object : visible) {
                if (!object || object->GetObjectType() != 3 || !(object->GetUserInt() & kTakesDecals)) continue;
                ModelBase* model = dynamic_cast<ModelBase*>(object);
                if (!model || (r.target && r.target != model)) continue;
                if (!TouchesModel(*model, volume)) continue;
                const int n = model->CollectDecalTriangles(volume.corners, store + 3 * used, kStorePositions - used);
                if (n < 0) {
                    full = true;
                    break;
                }
                if (n == 0) continue;
                const Matrix& world = model->GetWorldMatrix();
                Vec3* p = reinterpret_cast<Vec3*>(store + 3 * used);
                for (int i = 0; i < n; ++i) TransformCoordFast(p[i], world);
                count += n;
                hit = true;
                used += n;
            }
        }
        if (!full && terrain && !hit) {
            const int m = terrain->CountDecalVertices(camera);
            if (m > 0 && used + m < kStorePositions) {
                terrain->FillDecalVertices(store + 3 * used);
                count += m;
                used += m;
            }
        }
        r.draw.stream = m_stream;
        r.draw.ranges.clear();
        if (count != 0) {
            PrimitiveBatchInit(r.draw, m_stream, std::uint32_t(start), std::uint32_t(count), std::uint32_t(start),
                               std::uint32_t(count / 3));
        }
        // A decal that gathered nothing draws nothing, rather than last frame's range over
        // what other decals wrote there since.
        r.decal->SetDrawRecord(m_stream, r.draw.ranges.data(), std::uint32_t(r.draw.ranges.size()));
    }
    if (used == 0) return;
    void* locked = nullptr;
    if (m_vertexBuffer->Lock(0, 0, &locked, 0) != D3D_OK || !locked) return;
    std::memcpy(locked, store, std::size_t(used) * 12);
    m_vertexBuffer->Unlock();
}

void DecalMgr::Render() {
    render::IRenderer* renderer = Renderer();
    render::IExtTechnique* technique = renderer ? renderer->GetExtTechnique("<Decal>", 1) : nullptr;
    if (!technique) return;
    for (const Record& r : m_decals) technique->SetParameter(r.decal->GetRenderable());
}

}  // namespace quor::world
