#include "world/mesh/MeshBase.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

#include "platform/host/IPyClient.h"
#include "platform/host/IRenderer.h"
#include "platform/win32/Messages.h"
#include "world/core/ICamera.h"
#include "world/core/ISpaceObject.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/PolyTree.h"
#include "world/core/PrimitiveBatch.h"
#include "world/core/track/TrackSampled.h"
#include "world/mesh/KeyFramePlayer.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/MeshSegment.h"
#include "world/mesh/MeshVertexBuffer.h"
#include "world/mesh/MeshVertexData.h"

namespace quor {

namespace {
using Guard = std::lock_guard<win32::CriticalSection>;
// Answers of the kind-3 tracks at or below this count as none.
constexpr float kTrackEpsilon = 0.0001f;
constexpr float kBoxStart = 99999.0f;
}  // namespace

namespace {
std::atomic<int> g_liveMeshes{0};
}  // namespace

int MeshBase::LiveCount() { return g_liveMeshes.load(); }

MeshBase::MeshBase(d3d9::IDirect3DDevice9* device) : m_device(device) {
    g_liveMeshes.fetch_add(1);
    if (render::IRenderer* renderer = Interfaces().renderer) m_materialGroup = renderer->CreateMaterialGroupObject();
}

MeshBase::~MeshBase() {
    g_liveMeshes.fetch_sub(1);
    Clear();
    if (m_materialGroup) {
        if (render::IRenderer* renderer = Interfaces().renderer) renderer->ReleaseMaterial(m_materialGroup);
        m_materialGroup = nullptr;
    }
}

void MeshBase::Destroy() { delete this; }

void MeshBase::OnDeviceLost() {}

bool MeshBase::OnDeviceReset() {
    Guard lock(m_lock);
    for (MeshVertexBuffer* buffer : m_buffers) {
        if (buffer) buffer->ReleaseDefaultPool();
    }
    return true;
}

// ---- parts ----------------------------------------------------------------------------------

bool MeshBase::LoadMeshFile(const char* fileName) {
    if (!fileName) return false;
    m_ready = 0;
    MeshData* data = world::MeshDataMgr::GetInstance().Load(fileName, world::MeshDataMgr::kStatic);
    return AddData(data, fileName);
}

bool MeshBase::LoadMeshFromMemory(const char* name, const void* data, std::size_t size) {
    if (!name || !data) return false;
    m_ready = 0;
    MeshData* loaded = world::MeshDataMgr::GetInstance().LoadFromMemory(name, data, size, world::MeshDataMgr::kStatic);
    return AddData(loaded, name);
}

bool MeshBase::SetMeshData(MeshData* data) {
    m_ready = 0;
    return AddData(data, data ? data->NameText() : nullptr);
}

bool MeshBase::AddData(MeshData* data, const char* fileName) {
    if (!data) return false;
    MeshSegment* segment = NewObject<MeshSegment>(data);
    if (!segment) {
        world::MeshDataMgr::GetInstance().Release(data);
        return false;
    }
    return AddPart(segment, fileName);
}

bool MeshBase::AddPart(MeshSegment* segment, const char* fileName) {
    // The parts hold the cache's full names: the new part's is compared, the caller's is told.
    const char* name = segment->Data()->NameText();
    {
        Guard lock(m_lock);
        for (MeshSegment* part : m_parts) {
            if (strcasecmp(part->Data()->NameText(), name) == 0)
                LogError("Load mesh file %s again in same model!", fileName ? fileName : name);
        }
    }
    Guard lock(m_lock);
    m_parts.push_back(segment);
    m_softwareSkinning.push_back(0);
    m_currentPart = int(m_parts.size()) - 1;
    const bool built = BuildCurrentPart();
    m_ready = 1;
    return built;
}

bool MeshBase::BuildCurrentPart() {
    MeshSegment* segment = m_parts[std::size_t(m_currentPart)];
    // The render option is the load priority of the model's textures.
    segment->SetLoadPriority(m_renderOption);
    segment->SetLoadFlag(m_renderOption);
    if (!segment->LoadMaterials()) return false;
    for (std::uint32_t i = 0; i < segment->SubMeshCount(); ++i) m_subMeshes.push_back(segment->GetSubMesh(i));
    m_drawListStale = 1;
    m_sorterType = segment->SorterType();
    const MeshData& data = *segment->Data();
    if (m_currentPart == 0) {
        m_lodCount = std::clamp(data.lodCount, 1, kMaxLods);
        for (int l = 0; l < m_lodCount; ++l) {
            const MeshVertexData* block = data.GetLod(l);
            if (!block || m_buffers[l]) continue;
            MeshVertexBuffer* buffer = NewObject<MeshVertexBuffer>(block->vertexCount, block->triangleCount,
                                                                   block->uvChannelCount, block->hasColour != 0,
                                                                   false, UsesHardwareSkin(), m_device);
            if (!buffer) continue;
            buffer->InitStreamFormat();
            m_buffers[l] = buffer;
        }
        m_bounds = data.bounds;
        SetOccluder(data.occluder.get());
    } else {
        for (MeshVertexBuffer* buffer : m_buffers) {
            if (buffer) buffer->Resize(buffer->VertexCapacity() + kGrowth, buffer->TriangleCapacity() + kGrowth);
        }
        m_bounds.MergeSphere(data.bounds);
        m_bounds.MergeBox(data.bounds);
    }
    return true;
}

void MeshBase::AppendPart(MeshSegment* segment) {
    m_parts.push_back(segment);
    m_softwareSkinning.push_back(0);
    m_currentPart = int(m_parts.size()) - 1;
}

void MeshBase::RemoveLastPart() {
    if (m_parts.empty()) return;
    MeshSegment* segment = m_parts.back();
    m_subMeshes.erase(std::remove_if(m_subMeshes.begin(), m_subMeshes.end(),
                                     [segment](SubMesh* sub) { return sub->Segment() == segment; }),
                      m_subMeshes.end());
    m_drawList.clear();
    m_drawListStale = 1;
    m_parts.pop_back();
    m_softwareSkinning.pop_back();
    m_currentPart = m_parts.empty() ? 0 : int(m_parts.size()) - 1;
    if (m_parts.empty()) {
        SetOccluder(nullptr);
        for (MeshVertexBuffer*& buffer : m_buffers) {
            if (buffer) buffer->Destroy();
            buffer = nullptr;
        }
    }
    segment->Destroy();
}

void MeshBase::RebuildVertexBuffers() {
    for (MeshVertexBuffer*& buffer : m_buffers) {
        if (buffer) buffer->Destroy();
        buffer = nullptr;
    }
    m_drawListStale = 1;
    if (m_parts.empty()) return;
    const MeshData& data = *m_parts[0]->Data();
    const std::uint32_t growth = kGrowth * std::uint32_t(m_parts.size() - 1);
    for (int l = 0; l < m_lodCount; ++l) {
        const MeshVertexData* block = data.GetLod(l);
        if (!block) continue;
        MeshVertexBuffer* buffer = NewObject<MeshVertexBuffer>(block->vertexCount + growth, block->triangleCount + growth,
                                                               block->uvChannelCount, block->hasColour != 0, false,
                                                               UsesHardwareSkin(), m_device);
        if (!buffer) continue;
        buffer->InitStreamFormat();
        m_buffers[l] = buffer;
    }
}

std::uint32_t MeshBase::GetPartCount() {
    Guard lock(m_lock);
    return std::uint32_t(m_parts.size());
}

MeshSegment* MeshBase::GetPart(std::uint32_t i) {
    Guard lock(m_lock);
    return i < m_parts.size() ? m_parts[i] : nullptr;
}

void MeshBase::Clear() {
    Guard lock(m_lock);
    if (m_parts.empty()) return;
    for (MeshSegment* part : m_parts) part->Destroy();
    m_parts.clear();
    m_subMeshes.clear();
    m_drawList.clear();
    m_softwareSkinning.clear();
    m_currentPart = 0;
    m_drawListStale = 1;
    SetOccluder(nullptr);
    for (MeshVertexBuffer*& buffer : m_buffers) {
        if (buffer) buffer->Destroy();
        buffer = nullptr;
    }
}

// ---- animation ------------------------------------------------------------------------------

bool MeshBase::Tracks(int kind, MeshSegment*& first) {
    first = nullptr;
    if (m_parts.empty() || m_currentPart >= int(m_parts.size())) return false;
    const MeshSegment* current = m_parts[std::size_t(m_currentPart)];
    if (kind == kVertexKeys && !current->KeyPlayer()) return false;
    if (kind == kUv && current->UvAnimationCount() == 0) return false;
    if (kind != kVertexKeys && kind != kUv) return false;
    first = m_parts[0];
    // The test looks at the current part; the request acts on the first, which may lack them.
    if (kind == kVertexKeys) return first->KeyPlayer() != nullptr;
    return first->UvAnimationCount() != 0;
}

namespace {
template <typename F>
float FirstAbove(MeshSegment& part, F get) {
    for (std::uint32_t i = 0; i < part.UvAnimationCount(); ++i) {
        if (world::TrackSampled* t = part.UvAnimation(i)) {
            const float v = get(*t);
            if (v > kTrackEpsilon) return v;
        }
    }
    return 0.0f;
}
template <typename F>
bool AnyTrack(MeshSegment& part, F test) {
    for (std::uint32_t i = 0; i < part.UvAnimationCount(); ++i) {
        if (world::TrackSampled* t = part.UvAnimation(i); t && test(*t)) return true;
    }
    return false;
}
template <typename F>
void EachTrack(MeshSegment& part, F act) {
    for (std::uint32_t i = 0; i < part.UvAnimationCount(); ++i) {
        if (world::TrackSampled* t = part.UvAnimation(i)) act(*t);
    }
}
}  // namespace

bool MeshBase::HasAnimation(int kind) {
    Guard lock(m_lock);
    if (m_parts.empty() || m_currentPart >= int(m_parts.size())) return false;
    const MeshSegment* current = m_parts[std::size_t(m_currentPart)];
    if (kind == kVertexKeys) return current->KeyPlayer() != nullptr;
    if (kind == kUv) return current->UvAnimationCount() != 0;
    return false;
}

int MeshBase::GetAnimationCount(int kind) { return HasAnimation(kind) ? 1 : 0; }

int MeshBase::GetCurrentAnimation(int kind) { return HasAnimation(kind) ? 0 : -1; }

bool MeshBase::PlayAnimation(int, int kind, float startTime, bool loop, std::uint32_t flags) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return false;
    if (startTime >= 0.0f) SetAnimationTime(startTime, kind);
    const bool keepLoop = (flags & 2u) != 0;
    if (kind == kVertexKeys) {
        if (!keepLoop) first->KeyPlayer()->SetLoop(loop);
        return true;
    }
    bool playing = false;
    EachTrack(*first, [&](world::TrackSampled& t) {
        if (!keepLoop) t.SetLoop(loop);
        if (t.Start()) playing = true;
    });
    return playing;
}

void MeshBase::StopAnimation(int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return;
    if (kind == kVertexKeys) first->KeyPlayer()->Clock().playing = 0;
    else EachTrack(*first, [](world::TrackSampled& t) { t.Stop(); });
}

bool MeshBase::IsAnimationPlaying(int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return false;
    if (kind == kVertexKeys) return first->KeyPlayer()->Clock().playing != 0;
    return AnyTrack(*first, [](world::TrackSampled& t) { return t.IsActive(); });
}

bool MeshBase::SetAnimationTime(float time, int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return false;
    if (kind == kVertexKeys) first->KeyPlayer()->Clock().Seek(time);
    else EachTrack(*first, [time](world::TrackSampled& t) { t.SetTime(time); });
    m_vertexAnimationApplied = 0;
    return true;
}

float MeshBase::GetAnimationTime(int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return 0.0f;
    if (kind == kVertexKeys) return float(first->KeyPlayer()->Clock().time);
    return FirstAbove(*first, [](world::TrackSampled& t) { return t.GetTime(); });
}

void MeshBase::SetAnimationSpeed(float speed, int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return;
    if (kind == kVertexKeys) first->KeyPlayer()->Clock().SetSpeed(speed);
    else EachTrack(*first, [speed](world::TrackSampled& t) { t.SetSpeed(speed); });
}

float MeshBase::GetAnimationSpeed(int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return 0.0f;
    if (kind == kVertexKeys) return first->KeyPlayer()->Clock().speed;
    return FirstAbove(*first, [](world::TrackSampled& t) { return t.GetSpeed(); });
}

void MeshBase::SetAnimationReverse(bool reverse, int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return;
    if (kind == kVertexKeys) first->KeyPlayer()->Clock().reverse = reverse ? 1 : 0;
    else EachTrack(*first, [reverse](world::TrackSampled& t) { t.SetReverse(reverse); });
}

bool MeshBase::IsAnimationReverse(int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return false;
    if (kind == kVertexKeys) return first->KeyPlayer()->Clock().reverse != 0;
    return AnyTrack(*first, [](world::TrackSampled& t) { return t.IsReverse(); });
}

void MeshBase::SetAnimationLoop(bool loop, int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return;
    if (kind == kVertexKeys) first->KeyPlayer()->SetLoop(loop);
    else EachTrack(*first, [loop](world::TrackSampled& t) { t.SetLoop(loop); });
}

bool MeshBase::IsAnimationLoop(int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return false;
    if (kind == kVertexKeys) return first->KeyPlayer()->Clock().loop != 0;
    return AnyTrack(*first, [](world::TrackSampled& t) { return t.IsLoop(); });
}

float MeshBase::GetAnimationLength(int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return 0.0f;
    if (kind == kVertexKeys) return float(first->KeyPlayer()->Clock().length);
    return FirstAbove(*first, [](world::TrackSampled& t) { return t.GetLength(); });
}

bool MeshBase::IsAnimationFinished(int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return false;
    if (kind == kVertexKeys) return first->KeyPlayer()->Clock().state == 2;
    return AnyTrack(*first, [](world::TrackSampled& t) { return t.IsFinished(); });
}

std::uint16_t MeshBase::FindAnimationKey(float time, int kind) {
    Guard lock(m_lock);
    MeshSegment* first = nullptr;
    if (!Tracks(kind, first)) return 0;
    if (kind == kVertexKeys) return first->KeyPlayer()->FindKeyAtTime(time);
    world::TrackSampled* track = first->UvAnimation(0);
    return track ? std::uint16_t(track->FindKey(time)) : 0;
}

bool MeshBase::UpdateAnimation(bool transformChanged) {
    Guard lock(m_lock);
    m_forceSort = transformChanged ? 1 : 0;
    const std::int32_t users = GetRefCount();
    if (users <= 1 || m_sharedTick == 0) {
        bool animated = false;
        for (MeshSegment* part : m_parts) animated |= part->UpdateAnimation();
        if (animated) m_vertexAnimationApplied = 0;
    }
    if (users > 1) {
        // At or past the count: a model that left mid-cycle must not stop the ticking.
        if (++m_sharedTick >= users) m_sharedTick = 0;
    }
    return m_vertexAnimationApplied != 0;
}

void MeshBase::UpdateVertexAnimation() {
    Guard lock(m_lock);
    for (MeshSegment* part : m_parts) part->UpdateVertexAnimation();
    m_vertexAnimationApplied = 1;
}

// ---- queries --------------------------------------------------------------------------------

namespace {
const MeshVertexData* FirstBlock(const std::vector<MeshSegment*>& parts, int lod) {
    return parts.empty() ? nullptr : parts[0]->Data()->GetLod(lod);
}
}  // namespace

std::uint32_t MeshBase::GetVertexCount(int lod) {
    Guard lock(m_lock);
    const MeshVertexData* b = FirstBlock(m_parts, lod);
    return b ? b->vertexCount : 0;
}

const std::uint32_t* MeshBase::GetColorData(int lod) {
    Guard lock(m_lock);
    const MeshVertexData* b = FirstBlock(m_parts, lod);
    return b && b->hasColour && !b->colours.empty() ? b->colours.data() : nullptr;
}

std::uint32_t MeshBase::GetUVChannelCount(int lod) {
    Guard lock(m_lock);
    const MeshVertexData* b = FirstBlock(m_parts, lod);
    return b ? b->uvChannelCount : 0;
}

const float* MeshBase::GetUVData(int channel, int lod) {
    Guard lock(m_lock);
    const MeshVertexData* b = FirstBlock(m_parts, lod);
    if (!b || channel < 0 || channel >= b->uvChannelCount || channel >= MeshVertexData::kMaxUvChannels) return nullptr;
    return b->uvs[channel].empty() ? nullptr : b->uvs[channel].data();
}

std::uint32_t MeshBase::GetIndexCount(int lod) {
    Guard lock(m_lock);
    const MeshVertexData* b = FirstBlock(m_parts, lod);
    return b ? b->triangleCount * 3 : 0;
}

const std::uint16_t* MeshBase::GetIndexData(int lod) {
    Guard lock(m_lock);
    const MeshVertexData* b = FirstBlock(m_parts, lod);
    return b && !b->indices.empty() ? b->indices.data() : nullptr;
}

std::uint32_t MeshBase::GetSubMeshCount() {
    Guard lock(m_lock);
    return std::uint32_t(m_subMeshes.size());
}

SubMesh* MeshBase::GetSubMesh(std::uint32_t i) {
    Guard lock(m_lock);
    return i < m_subMeshes.size() ? m_subMeshes[i] : nullptr;
}

bool MeshBase::IsSubMeshVisible(std::uint32_t i) {
    Guard lock(m_lock);
    return i < m_subMeshes.size() && m_subMeshes[i]->Visible();
}

bool MeshBase::SetSubMeshVisible(std::uint32_t i, bool visible) {
    Guard lock(m_lock);
    if (i >= m_subMeshes.size()) return false;
    m_subMeshes[i]->SetVisible(visible);
    m_drawListStale = 1;
    return true;
}

bool MeshBase::SetSubMeshDrawSettings(std::uint32_t i, bool normalize, bool cullingReversed) {
    Guard lock(m_lock);
    if (i >= m_subMeshes.size()) return false;
    render::IRenderable* renderable = m_subMeshes[i]->Renderable();
    render::IRenderState* block = renderable ? renderable->GetStateBlock() : nullptr;
    if (!block) return false;
    block->SetValue(kCullSetting, cullingReversed ? kCullReversed : kCullOrdinary);
    block->SetValue(kNormalizeSetting, normalize ? 1.0f : 0.0f);
    return true;
}

render::IMaterialGroup* MeshBase::GetMaterialGroup() {
    Guard lock(m_lock);
    if (!m_materialGroup) return nullptr;
    m_materialGroup->SetSlotCount(0);
    for (MeshSegment* part : m_parts) {
        render::IMaterialGroup* group = part->ActiveGroup();
        if (!group) continue;
        for (std::uint32_t s = 0; s < group->GetSlotCount(); ++s) {
            if (render::IMaterial* m = group->GetSlotMaterial(s)) m_materialGroup->AddMaterial(m);
        }
    }
    return m_materialGroup;
}

MeshVertexBuffer* MeshBase::GetCurrentVertexBuffer() {
    Guard lock(m_lock);
    return VertexBuffer(m_currentLod);
}

std::uint32_t MeshBase::GetSorterType() {
    Guard lock(m_lock);
    return m_sorterType;
}

void MeshBase::SetSorterType(std::uint32_t type) {
    Guard lock(m_lock);
    m_sorterType = type;
    for (MeshSegment* part : m_parts) {
        part->SetSorterType(type);
        part->Data()->sorterType = type;
    }
}

bool MeshBase::SetLod(int level) {
    Guard lock(m_lock);
    m_currentLod = std::clamp(level, 0, std::max(m_lodCount - 1, 0));
    for (MeshSegment* part : m_parts) {
        const int own = part->Data()->lodCount;
        if (!part->SetLod(std::uint32_t(own * m_currentLod / std::max(m_lodCount, 1)))) return false;
    }
    m_drawListStale = 1;
    UpdateVertexAnimation();
    return true;
}

common::SharedString MeshBase::GetFileName() {
    Guard lock(m_lock);
    return m_parts.empty() ? common::SharedString() : m_parts[0]->Data()->Name();
}

const OccluderGeometry* MeshBase::GetOccluderGeometry() {
    Guard lock(m_lock);
    return m_parts.empty() ? nullptr : m_parts[0]->Data()->occluder.get();
}

const MeshSocket* MeshBase::GetSocketRecord(std::uint32_t i) {
    Guard lock(m_lock);
    if (m_parts.empty()) return nullptr;
    const MeshSocketList& sockets = m_parts[0]->Data()->sockets;
    return i < sockets.size() ? sockets[i].get() : nullptr;
}

bool MeshBase::IsAnyPartTransparent() {
    Guard lock(m_lock);
    for (MeshSegment* part : m_parts) {
        if (part->AnyTransparent()) return true;
    }
    return false;
}

Bounds MeshBase::GetFrameBounds(std::uint32_t frame) {
    Guard lock(m_lock);
    return m_parts.empty() ? Bounds() : m_parts[0]->GetFrameBounds(frame);
}

Bounds MeshBase::GetSubMeshFrameBounds(std::uint32_t subMesh, std::uint32_t frame) {
    Guard lock(m_lock);
    if (subMesh >= m_subMeshes.size()) return Bounds();
    const SubMesh* sub = m_subMeshes[subMesh];
    return sub->Segment()->GetSubMeshFrameBounds(sub->Index(), frame);
}

bool MeshBase::GetBounds(Vec3& min, Vec3& max, const Matrix* matrix) {
    Guard lock(m_lock);
    if (!m_vertexAnimationApplied) UpdateVertexAnimation();
    bool any = false;
    Vec3 lo(kBoxStart, kBoxStart, kBoxStart), hi(-kBoxStart, -kBoxStart, -kBoxStart);
    for (MeshSegment* part : m_parts) {
        if (!any) {
            any = part->GetBounds(min, max, matrix);
            continue;
        }
        Vec3 a = lo, b = hi;
        if (!part->GetBounds(a, b, matrix)) continue;
        min.x = std::min(min.x, a.x), min.y = std::min(min.y, a.y), min.z = std::min(min.z, a.z);
        max.x = std::max(max.x, b.x), max.y = std::max(max.y, b.y), max.z = std::max(max.z, b.z);
    }
    return any;
}

bool MeshBase::GetBoundingBox(Vec3& min, Vec3& max) { return GetBounds(min, max, nullptr); }

bool MeshBase::IntersectRay(const Vec3& origin, const Vec3& direction, float* t) {
    return IntersectRayDetail(origin, direction, t, nullptr);
}

bool MeshBase::IntersectRayDetail(const Vec3& origin, const Vec3& direction, float* t, std::uint32_t* subMesh) {
    Guard lock(m_lock);
    float best = 2.0f;
    std::uint32_t bestSub = 0;
    std::uint32_t subBase = 0;
    for (MeshSegment* part : m_parts) {
        const MeshVertexData* block = part->Lod();
        const Vec3* positions = part->Positions();
        const std::uint16_t* indices = part->IndexList();
        if (!block || !positions || !indices) {
            subBase += part->SubMeshCount();
            continue;
        }
        for (std::uint32_t s = 0; s < block->ranges.size(); ++s) {
            const SubMeshRange& range = block->ranges[s];
            for (std::uint32_t tri = range.firstTriangle; tri < range.firstTriangle + range.triangleCount; ++tri) {
                if (tri >= block->triangleCount) break;
                const std::uint16_t* ix = indices + std::size_t(tri) * 3;
                if (ix[0] >= block->vertexCount || ix[1] >= block->vertexCount || ix[2] >= block->vertexCount) continue;
                // Moller-Trumbore, both faces.
                const Vec3& a = positions[ix[0]];
                const Vec3 e1 = positions[ix[1]] - a;
                const Vec3 e2 = positions[ix[2]] - a;
                const Vec3 p = Vec3Cross(direction, e2);
                const float det = Vec3Dot(e1, p);
                if (std::fabs(det) < 1e-12f) continue;
                const float inv = 1.0f / det;
                const Vec3 s0 = origin - a;
                const float u = Vec3Dot(s0, p) * inv;
                if (u < 0.0f || u > 1.0f) continue;
                const Vec3 q = Vec3Cross(s0, e1);
                const float v = Vec3Dot(direction, q) * inv;
                if (v < 0.0f || u + v > 1.0f) continue;
                const float hit = Vec3Dot(e2, q) * inv;
                if (hit >= 0.0f && hit <= 1.0f && hit < best) {
                    best = hit;
                    bestSub = subBase + s;
                }
            }
        }
        subBase += part->SubMeshCount();
    }
    if (best > 1.0f) return false;
    if (t) *t = best;
    if (subMesh) *subMesh = bestSub;
    return true;
}

void MeshBase::UpdateBounds() {
    Guard lock(m_lock);
    Vec3 lo(kBoxStart, kBoxStart, kBoxStart), hi(-kBoxStart, -kBoxStart, -kBoxStart);
    for (MeshSegment* part : m_parts) {
        const Bounds& b = part->Data()->bounds;
        lo.x = std::min(lo.x, b.centre.x - b.half.x), hi.x = std::max(hi.x, b.centre.x + b.half.x);
        lo.y = std::min(lo.y, b.centre.y - b.half.y), hi.y = std::max(hi.y, b.centre.y + b.half.y);
        lo.z = std::min(lo.z, b.centre.z - b.half.z), hi.z = std::max(hi.z, b.centre.z + b.half.z);
    }
    m_bounds.SetBoxFromMinMax(lo, hi);
}

void MeshBase::BuildPickTrees() {
    Guard lock(m_lock);
    for (MeshSegment* part : m_parts) {
        MeshData* data = part->Data();
        if (data && !data->collision.tree) data->collision.BuildPickTree(data->bounds.centre, data->bounds.half);
    }
}

int MeshBase::CollectTriangles(const void* query, void* output, int limit) {
    Guard lock(m_lock);
    if (!query || !output) return 0;
    const Bounds& q = *static_cast<const Bounds*>(query);
    const PolyTreeBox box{{q.centre.x + q.half.x, q.centre.y + q.half.y, q.centre.z + q.half.z},
                          {q.centre.x - q.half.x, q.centre.y - q.half.y, q.centre.z - q.half.z}};
    float* out = static_cast<float*>(output);
    int sum = 0;
    for (MeshSegment* part : m_parts) {
        const CollisionMeshRecord& c = part->Data()->collision;
        if (!c.tree) continue;
        // Each part writes after the one before, in the room that is left.
        const int n = c.tree->Pick(static_cast<const PolyTree::Result*>(c.PickRecord()), box, out + 3 * sum, limit - sum);
        if (n < 0) return sum != 0 ? sum : n;
        sum += n;
    }
    return sum;
}

void MeshBase::SetSoftwareSkinning(bool flag) {
    Guard lock(m_lock);
    std::fill(m_softwareSkinning.begin(), m_softwareSkinning.end(), std::uint8_t(flag ? 1 : 0));
}

void MeshBase::SetMergeDraws(bool merge) {
    Guard lock(m_lock);
    m_mergeDraws = merge ? 1 : 0;
    m_drawListStale = 1;
}

void MeshBase::SetRenderMode(const RenderModeDesc& desc) {
    Guard lock(m_lock);
    m_renderMode = desc;
    m_renderModeChanged = 1;
}

void MeshBase::SetRenderOption(std::int32_t option) {
    Guard lock(m_lock);
    m_renderOption = option;
}

void MeshBase::MarkDrawListStale() {
    Guard lock(m_lock);
    m_drawListStale = 1;
}

void MeshBase::SetForceSort(bool force) {
    Guard lock(m_lock);
    m_forceSort = force ? 1 : 0;
}

// ---- drawing --------------------------------------------------------------------------------

bool MeshBase::Render(const Matrix& world, world::ICamera* camera) {
    Guard lock(m_lock);
    if (!m_vertexAnimationApplied) UpdateVertexAnimation();
    bool force = m_forceSort != 0;
    render::IRenderCamera* renderCamera = camera ? camera->GetRenderCamera() : nullptr;
    if (!force && camera) {
        if (world::ISpaceObject* space = camera->GetSpaceObject()) force = space->IsTransformChanged();
    }
    for (MeshSegment* part : m_parts) part->Update(world, force, renderCamera);
    FillTimed();
    return m_fillResult;
}

void MeshBase::FillTimed() {
    client::IPyClient* client = Interfaces().pyClient;
    client::IScriptObject* timer = client ? client->GetScriptObject() : nullptr;
    if (!timer) {
        m_fillResult = FillStreams();
        return;
    }
    const float before = timer->GetFloat();
    m_fillResult = FillStreams();
    float spent = timer->GetFloat() - before;
    timer->CallMethod(4, &spent);
}

bool MeshBase::BlockRange(const SubMesh& sub, std::uint32_t& fv, std::uint32_t& ft, std::uint32_t& v,
                          std::uint32_t& t) const {
    const MeshVertexData* block = sub.Segment() ? sub.Segment()->Lod() : nullptr;
    if (!block || sub.Index() >= block->ranges.size()) return false;
    const SubMeshRange& r = block->ranges[sub.Index()];
    fv = r.firstVertex, ft = r.firstTriangle, v = r.vertexCount, t = r.triangleCount;
    return true;
}

bool MeshBase::FillStreams() {
    MeshVertexBuffer* buffer = VertexBuffer(m_currentLod);
    if (!buffer) return false;
    buffer->Create();
    buffer->CreateDefaultPool();
    if (m_hardwareSkinned) {
        FillHardwareSkinStreams();
        return true;
    }
    if (FillStreamsBatched()) return true;
    bool pnLocked = false, indexLocked = false;
    const bool pnFilled = buffer->PositionNormalFilled(), indexFilled = buffer->IndexFilled();
    for (SubMesh* sub : m_subMeshes) {
        if (!sub->Visible() || sub->BufferRange() < 0) continue;
        std::uint32_t fv, ft, v, t;
        if (!BlockRange(*sub, fv, ft, v, t)) continue;
        const MeshSegment& seg = *sub->Segment();
        if (seg.GeometryChanged() || !pnFilled) {
            if (!pnLocked) pnLocked = buffer->LockPositionNormal();
            if (pnLocked && seg.Positions() && seg.Normals())
                buffer->WritePositionsNormals(sub->BufferRange(), seg.Positions() + fv, seg.Normals() + fv);
        }
        if (seg.IndexListDirty() || !indexFilled) {
            if (!indexLocked) indexLocked = buffer->LockIndices();
            if (indexLocked && seg.IndexList())
                buffer->WriteIndices(sub->BufferRange(), seg.IndexList() + std::size_t(3) * ft, fv);
        }
    }
    if (pnLocked) buffer->UnlockPositionNormal();
    if (indexLocked) buffer->UnlockIndices();
    for (SubMesh* sub : m_subMeshes) {
        if (MeshSegment* seg = sub->Segment()) {
            seg->ClearGeometryChanged();
            seg->ClearIndexListDirty();
        }
    }
    return true;
}

void MeshBase::WriteRange(MeshVertexBuffer& buffer, int r, const SubMesh& sub) {
    std::uint32_t fv, ft, v, t;
    if (!BlockRange(sub, fv, ft, v, t)) return;
    const MeshSegment& seg = *sub.Segment();
    const MeshVertexData& block = *seg.Lod();
    if (seg.Positions() && seg.Normals()) buffer.WritePositionsNormals(r, seg.Positions() + fv, seg.Normals() + fv);
    if (seg.IndexList()) buffer.WriteIndices(r, seg.IndexList() + std::size_t(3) * ft, fv);
    if (block.hasColour && !block.colours.empty()) buffer.CommitColor(r, block.colours.data() + fv);
    for (int c = 0; c < block.uvChannelCount && c < MeshVertexData::kMaxUvChannels; ++c) {
        if (!block.uvs[c].empty()) buffer.WriteUV(r, c, block.uvs[c].data() + std::size_t(2) * fv);
    }
}

bool MeshBase::FillStreamsBatched() {
    if (!m_drawListStale) return false;
    MeshVertexBuffer* buffer = VertexBuffer(m_currentLod);
    if (!buffer) return false;
    m_drawList.clear();
    for (SubMesh* sub : m_subMeshes) sub->SetBufferRange(-1), sub->SetDrawEntry(-1);
    buffer->ClearRanges();
    buffer->LockAll();
    if (!m_mergeDraws) {
        for (SubMesh* sub : m_subMeshes) {
            if (!sub->Visible()) continue;
            std::uint32_t fv, ft, v, t;
            if (!BlockRange(*sub, fv, ft, v, t)) continue;
            const int r = buffer->AddRange(v, t);
            if (r < 0) break;
            sub->SetBufferRange(r);
            WriteRange(*buffer, r, *sub);
            const MeshVertexBuffer::Range& range = buffer->Ranges()[std::size_t(r)];
            m_drawList.push_back({range.firstVertex, range.firstTriangle, v, t, std::uint8_t(sub->IsTransparent()),
                                  sub, sub->Renderable()});
            sub->SetDrawEntry(int(m_drawList.size()) - 1);
            if (sub->Renderable()) sub->Renderable()->SetSubMeshRecord(sub->Record());
        }
    } else {
        std::vector<std::uint8_t> done(m_subMeshes.size(), 0);
        std::uint32_t vertexTotal = 0, triangleTotal = 0;
        for (std::size_t i = 0; i < m_subMeshes.size(); ++i) {
            SubMesh* head = m_subMeshes[i];
            if (!head->Visible() || done[i]) continue;
            m_drawList.push_back({vertexTotal, triangleTotal, 0, 0, std::uint8_t(head->IsTransparent()), head,
                                  head->Renderable()});
            const std::size_t entry = m_drawList.size() - 1;
            for (std::size_t j = i; j < m_subMeshes.size(); ++j) {
                SubMesh* sub = m_subMeshes[j];
                if (!sub->Visible() || done[j]) continue;
                if (j > i && (m_drawList[entry].transparent || !head->SameState(*sub))) continue;
                std::uint32_t fv, ft, v, t;
                if (!BlockRange(*sub, fv, ft, v, t)) continue;
                const int r = buffer->AddRange(v, t);
                if (r < 0) break;
                sub->SetBufferRange(r);
                sub->SetDrawEntry(int(entry));
                WriteRange(*buffer, r, *sub);
                m_drawList[entry].vertexCount += v;
                m_drawList[entry].triangleCount += t;
                vertexTotal += v;
                triangleTotal += t;
                done[j] = 1;
            }
        }
    }
    buffer->UnlockAll();
    m_drawListStale = 0;
    return true;
}

bool MeshBase::FillHardwareSkinStreams() {
    if (!m_drawListStale) return true;
    MeshVertexBuffer* buffer = VertexBuffer(m_currentLod);
    if (!buffer) return false;
    m_drawList.clear();
    for (SubMesh* sub : m_subMeshes) sub->SetBufferRange(-1), sub->SetDrawEntry(-1);
    buffer->ClearRanges();
    const bool pn = buffer->LockPositionNormal();
    const bool ix = buffer->LockIndices();
    bool complete = true;
    for (SubMesh* sub : m_subMeshes) {
        if (!sub->Visible()) continue;
        const MeshSegment* seg = sub->Segment();
        const auto* block = seg ? dynamic_cast<const MeshSkelVertexData*>(seg->Lod()) : nullptr;
        if (!block) {
            // A missing block used to end the process; this sub-mesh is skipped instead.
            win32::OutputDebugStringA("mesh_data为空，发生致命错误！程序退出\n");
            LogError("Mesh has no vertex block for a visible sub-mesh: it is not drawn");
            complete = false;
            continue;
        }
        std::uint32_t fv, ft, v, t;
        if (!BlockRange(*sub, fv, ft, v, t)) continue;
        const int r = buffer->AddRange(v, t);
        if (r < 0) break;
        sub->SetBufferRange(r);
        if (pn) buffer->WriteSkinVertices(r, *block, fv);
        if (ix && seg->IndexList()) buffer->WriteIndices(r, seg->IndexList() + std::size_t(3) * ft, fv);
        const MeshVertexBuffer::Range& range = buffer->Ranges()[std::size_t(r)];
        m_drawList.push_back({range.firstVertex, range.firstTriangle, v, t, std::uint8_t(sub->IsTransparent()), sub,
                              sub->Renderable()});
        sub->SetDrawEntry(int(m_drawList.size()) - 1);
        if (sub->Renderable()) sub->Renderable()->SetSubMeshRecord(sub->Record());
    }
    if (pn) buffer->UnlockPositionNormal();
    if (ix) buffer->UnlockIndices();
    m_drawListStale = 0;
    return complete;
}

bool MeshBase::PrepareRender(const MeshDrawEntry& entry, const Matrix& world) {
    render::IRenderer* renderer = Interfaces().renderer;
    MeshVertexBuffer* buffer = VertexBuffer(m_currentLod);
    if (!renderer || !entry.renderable || !buffer) return false;
    const std::int32_t mode = GetRefCount() <= 1 ? 0 : (entry.transparent ? 2 : 1);
    entry.renderable->SetSharingMode(mode);
    entry.renderable->SetWorldMatrix(world.m);
    world::PrimitiveBatchInit(m_batch, buffer->Stream(), entry.firstVertex, entry.vertexCount,
                              3 * entry.firstTriangle, entry.triangleCount);
    entry.renderable->SetDrawRecord(m_batch.stream, m_batch.ranges.data(), std::uint32_t(m_batch.ranges.size()));
    m_batch.ranges.clear();
    return renderer->Submit(entry.renderable);
}

void MeshBase::DrawSubMeshes(const Matrix& world) {
    // The list is read under the lock: a loader thread may be adding a part.
    Guard lock(m_lock);
    for (const MeshDrawEntry& entry : m_drawList) {
        if (!entry.transparent) PrepareRender(entry, world);
    }
    if (m_renderModeChanged) {
        // Every sub-mesh, not only the heads of entries: one hidden now keeps no stale mode.
        for (SubMesh* sub : m_subMeshes) sub->SetRenderMode(m_renderMode);
        m_renderModeChanged = 0;
    }
}

bool MeshBase::DrawSubMesh(std::uint32_t i, const Matrix& world) {
    Guard lock(m_lock);
    if (m_drawList.empty() || i >= m_subMeshes.size()) return false;
    const std::int32_t e = m_subMeshes[i]->DrawEntry();
    if (e < 0 || std::size_t(e) >= m_drawList.size()) return false;
    return PrepareRender(m_drawList[std::size_t(e)], world);
}

}  // namespace quor
