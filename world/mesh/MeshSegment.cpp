#include "world/mesh/MeshSegment.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/host/IEffect.h"
#include "platform/host/IRenderer.h"
#include "world/core/Memory.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/track/TrackSampled.h"
#include "world/mesh/KeyFramePlayer.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/SubMesh.h"
#include "world/mesh/TriangleSorter.h"

namespace quor {

namespace {

constexpr std::uint32_t kMaterialBlockVersion = 0x30000;
constexpr std::uint32_t kNamedMaterialVersion = 0x30011;
constexpr std::uint32_t kMaterialTransformVersion = 0x30009;
constexpr std::size_t kMaxPath = 260;

bool EndsWithNoCase(const std::string& text, const char* tail) {
    const std::size_t n = std::strlen(tail);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != std::tolower(static_cast<unsigned char>(tail[i])))
            return false;
    }
    return true;
}

// The sub-mesh records belong to the shared mesh data, and segments of one file load their
// materials on several loader threads: their slot fields are read and written under this lock,
// which is never held across a call into the renderer.
std::mutex& RecordLock() {
    static std::mutex lock;
    return lock;
}

}  // namespace

void MeshSegment::TrackDelete::operator()(world::TrackSampled* track) const { delete track; }

void MeshSegment::MaterialGroupCallback::OnMaterialGroup(render::IMaterialGroup* group) {
    // The block's group may finish loading while a file group is in use: only the group the
    // sub-meshes draw from gives them materials.
    if (group && group == m_owner->ActiveGroup()) m_owner->OnMaterialGroup(group);
}

MeshSegment::MeshSegment(MeshData* data)
    : m_data(data), m_renderer(Interfaces().renderer), m_callback(NewObject<MaterialGroupCallback>(this)) {}

MeshSegment::~MeshSegment() {
    m_keyPlayer.reset();
    m_uvAnimations.clear();
    m_workPositions.clear();
    m_workNormals.clear();
    if (m_sorter) m_sorter->Destroy();
    m_sorter = nullptr;
    ReleaseMaterials();
    if (m_data) world::MeshDataMgr::GetInstance().Release(m_data);
    m_data = nullptr;
    m_loaded = 0;
}

void MeshSegment::ReleaseGroup(render::IMaterialGroup*& group) {
    if (!group) return;
    if (m_callback) group->UnregisterCallback(m_callback.get());
    if (m_renderer) m_renderer->ReleaseMaterial(group);
    group = nullptr;
}

void MeshSegment::ReleaseMaterials() {
    m_subMeshes.clear();
    ReleaseGroup(m_group);
    ReleaseGroup(m_fileGroup);
    m_anyTransparent = 0;
}

SubMesh* MeshSegment::GetSubMesh(std::uint32_t i) const { return i < m_subMeshes.size() ? m_subMeshes[i].get() : nullptr; }

world::TrackSampled* MeshSegment::UvAnimation(std::uint32_t i) const {
    return i < m_uvAnimations.size() ? m_uvAnimations[i].get() : nullptr;
}

std::string MeshSegment::MaterialName(const SubMeshInfo& info) {
    const char* field = info.extraName[0] ? info.extraName : info.name;
    const std::size_t size = info.extraName[0] ? sizeof info.extraName : sizeof info.name;
    return std::string(field, strnlen(field, size));
}

bool MeshSegment::LoadMaterials() {
    if (m_loaded) return true;
    if (BuildMaterials() && PrepareGeometry()) {
        m_loaded = 1;
        return true;
    }
    // Nothing half-built stays: a later attempt starts from scratch.
    ReleaseMaterials();
    LogError("Failed to load materials!");
    return false;
}

bool MeshSegment::BuildMaterials() {
    if (!m_data || !m_renderer || !m_callback) return false;
    MeshData& d = *m_data;
    const std::uint32_t count = std::min<std::uint32_t>(d.subMeshCount, std::uint32_t(d.subMeshes.size()));
    m_subMeshes.clear();
    m_subMeshes.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::unique_ptr<SubMesh> sub(NewObject<SubMesh>());
        if (!sub) return false;
        sub->Attach(this, &d.subMeshes[i], i);
        m_subMeshes.push_back(std::move(sub));
    }
    const std::int32_t mip = -3 - m_loadPriority;
    if (!d.blob.empty()) {
        m_group = m_renderer->CreateMaterialGroup(d.blob.data(), std::uint32_t(d.blob.size()), mip);
        if (!m_group) return false;
        m_group->RegisterCallback(m_callback.get());
        if (d.version < kNamedMaterialVersion) {
            OnMaterialGroup(m_group);
            std::lock_guard<std::mutex> lock(RecordLock());
            for (SubMeshInfo& info : d.subMeshes) {
                info.extraValues[0] = info.materialSlot;
                info.extraValues[1] = info.extraValues[2] = info.extraValues[3] = 0;
            }
        } else {
            m_anyTransparent = 0;
            for (auto& sub : m_subMeshes) {
                SubMeshInfo& info = *sub->Record();
                const int slot = m_group->FindSlotByName(MaterialName(info).c_str());
                render::IMaterial* material = slot >= 0 ? m_group->GetSlotMaterial(std::uint32_t(slot)) : nullptr;
                const std::uint32_t resolved = material ? std::uint32_t(slot) : 0;
                if (!material) material = m_group->GetDefaultMaterial();
                {
                    std::lock_guard<std::mutex> lock(RecordLock());
                    info.materialSlot = resolved;
                }
                sub->SetMaterial(material);
            }
        }
        if (d.version < kMaterialTransformVersion) {
            for (auto& sub : m_subMeshes) {
                sub->ApplyTextureTransforms(*sub->Record());
                std::lock_guard<std::mutex> lock(RecordLock());
                sub->Record()->uvAnimated = 0;
            }
        }
    } else if (d.version >= kMaterialBlockVersion) {
        return false;
    } else {
        m_group = m_renderer->CreateMaterialGroupObject();
        if (!m_group) return false;
        for (auto& sub : m_subMeshes) {
            const std::uint32_t i = sub->Index();
            if (i >= d.oldSubMeshes.size()) return false;
            sub->SetMipArgument(mip);
            if (!sub->ApplyRecord(d.oldSubMeshes[i])) return false;
            sub->LoadTextures(*sub->Record(), d.oldSubMeshes[i]);
        }
    }
    m_anyTransparent = 0;
    for (auto& sub : m_subMeshes) {
        if (sub->IsTransparent()) m_anyTransparent = 1;
    }
    return true;
}

void MeshSegment::OnMaterialGroup(render::IMaterialGroup* group) {
    m_anyTransparent = 0;
    if (!group) return;
    const std::uint32_t slots = group->GetSlotCount();
    for (auto& sub : m_subMeshes) {
        SubMeshInfo& info = *sub->Record();
        std::uint32_t slot = 0, wrong = 0;
        bool isWrong = false;
        {
            std::lock_guard<std::mutex> lock(RecordLock());
            slot = info.materialSlot;
            if (slot >= slots) {
                isWrong = true;
                wrong = slot;
                slot = info.materialSlot = 0;
            }
        }
        if (isWrong) LogWarning("SubMesh %d ref to a wrong MaterialSlot %d", int(sub->Index()), int(wrong));
        sub->SetMaterial(group->GetSlotMaterial(slot));
        if (sub->IsTransparent()) m_anyTransparent = 1;
    }
}

bool MeshSegment::LoadMaterialFile(const char* path) {
    if (!path || !m_renderer) return false;
    const std::string text = path;
    render::IMaterialGroup* loaded = nullptr;
    if (EndsWithNoCase(text, ".mtg")) {
        loaded = m_renderer->LoadMaterialGroupFile(path, -3, 0, 0);
        if (!loaded) return false;
    } else {
        loaded = m_renderer->CreateMaterialGroupObject();
        if (!loaded) return false;
        render::IMaterialGroup* current = ActiveGroup();
        const std::uint32_t slots = current ? current->GetSlotCount() : 0;
        loaded->SetSlotCount(slots);
        for (std::uint32_t s = 0; s < slots; ++s) loaded->SetSlotName(s, current->GetSlotName(s));
        std::string folder = text;
        if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
        bool ok = true;
        for (auto& sub : m_subMeshes) {
            const std::string name = MaterialName(*sub->Record());
            const std::string file = folder + name + ".mtl";
            render::IMaterial* material = nullptr;
            if (!name.empty() && file.size() < kMaxPath) material = m_renderer->LoadMaterialFile(file.c_str(), -3, 0);
            if (!material) {
                ok = false;
                break;
            }
            loaded->AddMaterial(material);
            m_renderer->ReleaseMaterial(material);
        }
        if (!ok) {
            m_renderer->ReleaseMaterial(loaded);
            return false;
        }
    }
    SetMaterialGroup(loaded);
    return true;
}

void MeshSegment::SetMaterialGroup(render::IMaterialGroup* group) {
    if (!group || group == m_fileGroup || group == m_group) return;
    ReleaseGroup(m_fileGroup);
    m_fileGroup = group;
    if (m_callback) group->RegisterCallback(m_callback.get());
    group->ApplyDefaultState();
    OnMaterialGroup(group);
}

bool MeshSegment::SetSubMeshMaterialSlot(std::uint32_t i, std::uint32_t slot) {
    render::IMaterialGroup* group = ActiveGroup();
    SubMesh* sub = GetSubMesh(i);
    if (!group || !sub || slot >= group->GetSlotCount()) return false;
    std::uint32_t values[4] = {0, 0, 0, 0};
    const bool haveValues = group->GetSlotValues(slot, values);
    {
        std::lock_guard<std::mutex> lock(RecordLock());
        SubMeshInfo& info = *sub->Record();
        info.materialSlot = slot;
        if (haveValues) std::memcpy(info.extraValues, values, sizeof values);
    }
    OnMaterialGroup(group);
    return true;
}

void MeshSegment::ReplaceMaterial(render::IMaterial* oldMaterial, render::IMaterial* newMaterial) {
    render::IMaterialGroup* group = ActiveGroup();
    if (!group || !oldMaterial) return;
    const int slot = group->FindSlot(oldMaterial);
    if (slot < 0) return;
    // The sub-meshes hold their own references: the old material lives until the last lets go.
    group->SetSlotMaterial(std::uint32_t(slot), newMaterial);
    for (auto& sub : m_subMeshes) {
        if (sub->Material() == oldMaterial) sub->SetMaterial(newMaterial);
    }
}

void MeshSegment::SetLoadFlag(std::int32_t flag) {
    render::IMaterialGroup* group = ActiveGroup();
    if (!group) return;
    group->SetLoadFlag(flag);
    OnMaterialGroup(group);
}

bool MeshSegment::PrepareGeometry() {
    if (!m_data) return false;
    if (m_data->keyTrack) {
        const KeyTimeTable& shared = m_data->keyTrack->keyTimes;
        const double length = shared.Length();
        // A track of length 0 (or less) has no time to play over: the mesh stays at frame 0.
        if (shared.Count() > 0 && length > 0.0 && std::isfinite(length)) {
            auto player = std::make_unique<KeyFramePlayer>();
            if (length < kShortestKeyLength) {
                // Scaled in a copy: the key times are shared by every segment of the file.
                m_scaledKeys = shared;
                m_scaledKeys.Scale(static_cast<float>(kShortestKeyLength / length));
                player->SetKeys(&m_scaledKeys);
                player->Clock().SetLength(kShortestKeyLength);
            } else {
                player->SetKeys(&shared);
                player->Clock().SetLength(static_cast<float>(length));
            }
            player->SetLoop(m_data->keyTrack->flag != 0);
            m_keyPlayer = std::move(player);
        }
    }
    if (m_data->hasSubMeshTracks && m_uvAnimations.empty()) {
        // One track per sub-mesh record, each playing that record's uv track.
        for (std::uint32_t i = 0; i < m_data->subMeshCount; ++i) {
            UvObject track(NewObject<world::TrackSampled>());
            if (!track) return false;
            if (i < m_data->subMeshTracks.size() && m_data->subMeshTracks[i])
                track->AttachData(m_data->subMeshTracks[i].get(), 0);
            m_uvAnimations.push_back(std::move(track));
        }
    }
    if (m_data->keyTrack || m_data->hasSubMeshTracks) m_sharesGeometry = 0;
    m_maxVertices = m_maxTriangles = 0;
    for (int l = 0; l < m_data->lodCount; ++l) {
        const MeshVertexData* lod = m_data->GetLod(l);
        if (!lod) continue;
        m_maxVertices = std::max(m_maxVertices, lod->vertexCount);
        m_maxTriangles = std::max(m_maxTriangles, lod->triangleCount);
    }
    if (!m_sharesGeometry) {
        m_workPositions.assign(m_maxVertices, Vec3());
        m_workNormals.assign(m_maxVertices, Vec3());
        m_positions = m_workPositions.data();
        m_normals = m_workNormals.data();
    }
    if (!SetLod(0)) return false;
    SetSorterType(m_data->sorterType);
    return true;
}

bool MeshSegment::Animated() const { return m_keyPlayer != nullptr || !m_uvAnimations.empty(); }

std::uint32_t MeshSegment::SelectFrame(std::uint32_t frame) const {
    if (frame != kCurrentFrame) return frame;
    if (!m_uvAnimations.empty()) return m_uvAnimations[0]->FindKey(float(m_uvAnimations[0]->Clock().time));
    return m_keyPlayer ? m_keyPlayer->CurrentKey() : 0;
}

Bounds MeshSegment::GetFrameBounds(std::uint32_t frame) const {
    const MeshData& d = *m_data;
    if (!Animated() || frame == kStaticFrame || d.frameBounds.empty()) return d.bounds;
    const std::uint32_t frames = d.frameCount;
    if (frames < 2) return d.frameBounds[0];
    const std::uint32_t f = SelectFrame(frame);
    // A selector past the frames names no entry: the static bounds answer.
    if (f >= frames || d.frameBounds.size() < 2u * frames) return d.bounds;
    return d.FrameBounds(frames + f);
}

Bounds MeshSegment::GetSubMeshFrameBounds(std::uint32_t subMesh, std::uint32_t frame) const {
    const MeshData& d = *m_data;
    if (subMesh >= d.subMeshCount || subMesh >= d.subMeshes.size()) return d.bounds;
    const Bounds& own = d.subMeshes[subMesh].bounds;
    if (!Animated() || frame == kStaticFrame) return own;
    const std::uint32_t frames = d.frameCount;
    const std::size_t need = std::size_t(2) * frames * d.subMeshCount;
    if (frames == 0 || d.subMeshFrameBounds.size() < std::max<std::size_t>(need, d.subMeshCount)) return own;
    if (frames < 2) return d.SubMeshFrameBounds(0, subMesh);
    const std::uint32_t f = SelectFrame(frame);
    if (f >= frames) return own;
    return d.SubMeshFrameBounds(frames + f, subMesh);
}

bool MeshSegment::SetLod(std::uint32_t lod) {
    MeshVertexData* record = m_data ? m_data->GetLod(int(lod)) : nullptr;
    if (!record) return false;
    if (lod == m_lodIndex) return true;
    m_lod = record;
    m_lodIndex = lod;
    if (m_sharesGeometry) {
        m_positions = record->positions.data();
        m_normals = record->normals.data();
    } else {
        ResetAnimatedVertices();
    }
    m_geometryChanged = 1;
    if (m_sorter) {
        m_sorter->SetIndices(m_positions, record->indices.data(), record->triangleCount);
        m_indexList = m_sorter->Output();
    } else {
        m_indexList = record->indices.data();
    }
    return true;
}

void MeshSegment::SetSorterType(std::uint32_t type) {
    if (m_sorter) m_sorter->Destroy();
    m_sorter = nullptr;
    m_sorterType = type;
    if (type != 0) m_sorter = CreateTriangleSorter(type, m_maxTriangles);
    if (m_sorter && m_lod) {
        m_sorter->SetIndices(m_positions, m_lod->indices.data(), m_lod->triangleCount);
        m_indexList = m_sorter->Output();
    } else {
        m_indexList = m_lod ? m_lod->indices.data() : nullptr;
    }
    m_geometryChanged = 1;
}

void MeshSegment::ResetAnimatedVertices() {
    if (m_sharesGeometry || !m_lod) return;
    const std::size_t n = std::min<std::size_t>(m_lod->vertexCount, m_workPositions.size());
    if (m_lod->positions.size() >= n && m_lod->normals.size() >= n && n) {
        std::memcpy(m_workPositions.data(), m_lod->positions.data(), n * sizeof(Vec3));
        std::memcpy(m_workNormals.data(), m_lod->normals.data(), n * sizeof(Vec3));
    }
    m_geometryChanged = 1;
}

void MeshSegment::BlendKeyFrames(float t) {
    if (!m_lod || m_sharesGeometry || !m_keyPlayer) return;
    const std::uint32_t frames = m_lod->frameCount;
    const std::size_t v = m_lod->vertexCount;
    if (frames < 2 || v > m_workPositions.size() || m_lod->positions.size() < v * frames) return;
    const std::uint32_t f = m_keyPlayer->CurrentKey();
    if (f >= frames) return;
    std::uint32_t next = f + 1;
    if (next >= frames) {
        // The last frame blends towards the first only when the clip loops.
        if (m_keyPlayer->Clock().loop) next = 0;
        else t = 0.0f;
    }
    const Vec3* p0 = m_lod->positions.data() + std::size_t(f) * v;
    const Vec3* n0 = m_lod->normals.data() + std::size_t(f) * v;
    if (t >= 0.0001f) {
        const Vec3* p1 = m_lod->positions.data() + std::size_t(next) * v;
        const Vec3* n1 = m_lod->normals.data() + std::size_t(next) * v;
        // The lerp and the unit length written out here: this runs over every vertex per frame.
        Vec3* pos = m_workPositions.data();
        Vec3* nor = m_workNormals.data();
        const float s = 1 - t;
        for (std::size_t i = 0; i < v; ++i) {
            pos[i] = Vec3(p0[i].x + (p1[i].x - p0[i].x) * t, p0[i].y + (p1[i].y - p0[i].y) * t,
                          p0[i].z + (p1[i].z - p0[i].z) * t);
            const float x = n0[i].x * s + n1[i].x * t, y = n0[i].y * s + n1[i].y * t, z = n0[i].z * s + n1[i].z * t;
            const float k = 1.0f / std::sqrt(x * x + y * y + z * z);
            nor[i] = Vec3(x * k, y * k, z * k);
        }
    } else {
        std::memcpy(m_workPositions.data(), p0, v * sizeof(Vec3));
        std::memcpy(m_workNormals.data(), n0, v * sizeof(Vec3));
    }
    m_geometryChanged = 1;
}

std::uint32_t MeshSegment::GetSubCount() const { return m_data ? m_data->subMeshCount : 0; }

const SubMeshInfo* MeshSegment::GetSubMeshInfo(std::uint32_t i) const {
    return m_data && i < m_data->subMeshCount && i < m_data->subMeshes.size() ? &m_data->subMeshes[i] : nullptr;
}

int MeshSegment::FindSubMesh(const char* name) const {
    if (!name || !m_data) return -1;
    constexpr std::size_t kField = sizeof(SubMeshInfo::name);
    const std::size_t length = strnlen(name, kField + 1);
    if (length > kField) return -1;
    for (std::uint32_t i = 0; i < GetSubCount() && i < m_data->subMeshes.size(); ++i) {
        const char* field = m_data->subMeshes[i].name;
        if (strnlen(field, kField) == length && std::memcmp(field, name, length) == 0) return int(i);
    }
    return -1;
}

std::uint16_t MeshSegment::GetSocketCount() const {
    return m_data ? std::uint16_t(std::min<std::size_t>(m_data->sockets.size(), 0xFFFF)) : 0;
}

std::uint16_t MeshSegment::FindSocket(const char* name) const {
    if (!name || !m_data) return 0xFFFF;
    constexpr std::size_t kField = MeshSocket::kNameSize;
    const std::size_t length = strnlen(name, kField + 1);
    if (length > kField) return 0xFFFF;
    for (std::uint16_t i = 0; i < GetSocketCount(); ++i) {
        const char* field = m_data->sockets[i]->name;
        if (strnlen(field, kField) == length && std::memcmp(field, name, length) == 0) return i;
    }
    return 0xFFFF;
}

const char* MeshSegment::GetSocketName(std::uint32_t i) const {
    return i < GetSocketCount() ? m_data->sockets[i]->name : nullptr;
}

const Matrix* MeshSegment::GetSocketMatrix(std::uint32_t i) const {
    return i < GetSocketCount() ? m_data->sockets[i]->matrixToBone.get() : nullptr;
}

std::uint16_t MeshSegment::GetSocketBoneIndex(std::uint32_t i) const {
    return i < GetSocketCount() ? std::uint16_t(m_data->sockets[i]->boneIndex) : 0xFFFF;
}

std::int32_t MeshSegment::GetSocketLinkedValue(std::uint32_t i) const {
    return i < GetSocketCount() ? m_data->sockets[i]->unused : -1;
}

int MeshSegment::IsSubMeshRangeEmpty(std::uint32_t i) const {
    if (!m_lod || i >= m_lod->ranges.size()) return 1;
    const SubMeshRange& r = m_lod->ranges[i];
    return r.vertexCount && r.triangleCount ? 0 : 1;
}

int MeshSegment::NearestCorner(std::uint32_t triangle, const Vec3& point, std::uint32_t* colour) const {
    if (!m_lod || !m_positions || triangle >= m_lod->triangleCount) return -1;
    const std::uint16_t* tri = m_lod->indices.data() + 3 * std::size_t(triangle);
    int best = 0;
    float bestDistance = 0;
    for (int k = 0; k < 3; ++k) {
        const Vec3& p = m_positions[tri[k]];
        const float dx = p.x - point.x, dy = p.y - point.y, dz = p.z - point.z;
        const float d = dx * dx + dy * dy + dz * dz;
        if (k == 0 || d < bestDistance) {
            best = k;
            bestDistance = d;
        }
    }
    if (colour) {
        const std::uint16_t vertex = tri[best];
        *colour = vertex < m_lod->colours.size() ? m_lod->colours[vertex] : 0xFFFFFFFFu;
    }
    return best;
}

bool MeshSegment::UpdateAnimation() {
    bool animated = false;
    if (m_keyPlayer) {
        PlayClock& clock = m_keyPlayer->Clock();
        if (clock.playing) {
            clock.Tick();
            animated = true;
            // A finished clip shows its last frame as drawn: nothing stays transparent for it.
            if (clock.state == 2 && !clock.loop) m_anyTransparent = 0;
        }
    }
    for (auto& track : m_uvAnimations) {
        if (track && track->IsActive()) {
            track->Advance();
            animated = true;
        }
    }
    return animated;
}

void MeshSegment::UpdateVertexAnimation() {
    if (m_sharesGeometry) return;
    if (m_keyPlayer) {
        float blend = 0.0f;
        m_keyPlayer->GetCurrentKey(&blend);
        BlendKeyFrames(blend);
    }
    for (std::uint32_t i = 0; i < m_uvAnimations.size(); ++i) {
        world::TrackSampled* track = m_uvAnimations[i].get();
        if (!track || !track->Data()) continue;
        Matrix m;
        track->GetTransformMatrix(m, true);
        Matrix inverse = m;
        TransformSubMesh(i, m, MatrixInverse(inverse) ? &inverse : nullptr);
    }
}

void MeshSegment::SortTransparent(const Matrix& world, render::IRenderCamera* renderCamera) {
    if (!m_sorter || !m_lod) return;
    for (auto& sub : m_subMeshes) {
        render::IMaterial* material = sub->Material();
        render::IEffect* technique = material ? material->GetTechnique() : nullptr;
        if (!technique || !technique->IsTransparent()) continue;
        if (sub->Index() >= m_lod->ranges.size()) continue;
        m_sorter->Sort(m_lod->ranges[sub->Index()], world, renderCamera);
    }
    m_indexListDirty = 1;
}

void MeshSegment::Update(const Matrix& world, bool force, render::IRenderCamera* camera) {
    // The clock and the uv tracks were advanced by the mesh's per-frame step, once a frame
    // whatever the number of models drawing the mesh: drawing only sorts.
    if (m_sorter && (force || m_geometryChanged)) SortTransparent(world, camera);
}

bool MeshSegment::GetBounds(Vec3& min, Vec3& max, const Matrix* matrix) const {
    if (!m_lod || !m_positions) return false;
    bool any = false;
    for (std::uint32_t i = 0; i < m_lod->ranges.size(); ++i) {
        const SubMesh* sub = GetSubMesh(i);
        if (sub && !sub->Visible()) continue;
        const SubMeshRange& r = m_lod->ranges[i];
        if (std::uint64_t(r.firstVertex) + r.vertexCount > m_lod->vertexCount) continue;
        for (std::uint32_t v = r.firstVertex; v < r.firstVertex + r.vertexCount; ++v) {
            Vec3 p = m_positions[v];
            if (matrix) TransformCoord(p, *matrix);
            if (!any) {
                min = max = p;
                any = true;
                continue;
            }
            min.x = std::min(min.x, p.x), min.y = std::min(min.y, p.y), min.z = std::min(min.z, p.z);
            max.x = std::max(max.x, p.x), max.y = std::max(max.y, p.y), max.z = std::max(max.z, p.z);
        }
    }
    return any;
}

bool MeshSegment::TransformSubMesh(std::uint32_t i, const Matrix& matrix, const Matrix* inverse) {
    if (m_sharesGeometry || !m_lod || i >= m_lod->ranges.size()) return false;
    const SubMeshRange& r = m_lod->ranges[i];
    const std::uint64_t end = std::uint64_t(r.firstVertex) + r.vertexCount;
    if (end > m_lod->vertexCount || end > m_workPositions.size() || m_lod->positions.size() < end ||
        m_lod->normals.size() < end)
        return false;
    for (std::uint32_t v = r.firstVertex; v < end; ++v) {
        TransformCoord(m_lod->positions[v], matrix, m_workPositions[v]);
        if (!inverse) continue;
        // The inverse's transpose: row c of the result's 3 x 3 is column c of the inverse.
        const Vec3& n = m_lod->normals[v];
        const Matrix& q = *inverse;
        Vec3 out(n.x * q(0, 0) + n.y * q(0, 1) + n.z * q(0, 2), n.x * q(1, 0) + n.y * q(1, 1) + n.z * q(1, 2),
                 n.x * q(2, 0) + n.y * q(2, 1) + n.z * q(2, 2));
        Vec3SetLength(out, 1.0f);
        m_workNormals[v] = out;
    }
    m_geometryChanged = 1;
    return true;
}

}  // namespace quor
