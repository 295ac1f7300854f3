#include "world/mesh/MeshSegment.h"

#include <cmath>
#include <cstring>

#include "world/core/Memory.h"
#include "world/mesh/KeyFramePlayer.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/TriangleSorter.h"

namespace quor {

MeshSegment::MeshSegment(MeshData* data) : m_data(data) {}

MeshSegment::~MeshSegment() {
    m_keyPlayer.reset();
    m_workPositions.clear();
    m_workNormals.clear();
    if (m_sorter) m_sorter->Destroy();
    m_sorter = nullptr;
    if (m_data) world::MeshDataMgr::GetInstance().Release(m_data);
    m_data = nullptr;
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

bool MeshSegment::Animated() const { return m_keyPlayer != nullptr; }

std::uint32_t MeshSegment::SelectFrame(std::uint32_t frame) const {
    if (frame == kCurrentFrame) return m_keyPlayer ? m_keyPlayer->CurrentKey() : 0;
    return frame;
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
        for (std::size_t i = 0; i < v; ++i) {
            Vec3Lerp(p0[i], p1[i], t, m_workPositions[i]);
            Vec3 n(n0[i].x * (1 - t) + n1[i].x * t, n0[i].y * (1 - t) + n1[i].y * t, n0[i].z * (1 - t) + n1[i].z * t);
            Vec3SetLength(n, 1.0f);
            m_workNormals[i] = n;
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

}  // namespace quor
