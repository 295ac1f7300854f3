#include "world/skeleton/MeshSkelSegment.h"

#include <xmmintrin.h>

#include <cstring>

#include "world/core/Align16.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/MeshVertexData.h"
#include "world/mesh/SubMesh.h"
#include "world/skeleton/MeshSkeletal.h"
#include "world/skeleton/MeshSkeletalData.h"
#include "world/skeleton/SkelAnimState.h"

namespace quor {

namespace {

constexpr std::uint8_t kNoBone = 255;

// The bones a vertex uses (1 to 4), or 0 when it names none or one past the palette.
inline int Influences(const std::uint8_t* idx, std::uint32_t paletteSize) {
    if (idx[1] == kNoBone) return idx[0] != kNoBone && idx[0] < paletteSize ? 1 : 0;
    int n = 1;
    while (n < 4 && idx[n] != kNoBone) ++n;
    for (int k = 0; k < n; ++k) {
        if (idx[k] >= paletteSize) return 0;
    }
    return n;
}

void SkinPlain(const Matrix* palette, std::uint32_t paletteSize, const SkinStreams& s, std::uint32_t first,
               std::uint32_t end) {
    for (std::uint32_t v = first; v < end; ++v) {
        const std::uint8_t* idx = s.indices + std::size_t(v) * 4;
        const int n = Influences(idx, paletteSize);
        if (n == 0) continue;
        float m[12];  // the three columns used: rows 0-3, columns 0-2
        if (n == 1) {
            const float* b = palette[idx[0]].m;
            for (int r = 0; r < 4; ++r) m[3 * r] = b[4 * r], m[3 * r + 1] = b[4 * r + 1], m[3 * r + 2] = b[4 * r + 2];
        } else {
            const float* w = s.weights + std::size_t(v) * 4;
            const float* b = palette[idx[0]].m;
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 3; ++c) m[3 * r + c] = w[0] * b[4 * r + c];
            }
            for (int k = 1; k < n; ++k) {
                const float* bk = palette[idx[k]].m;
                for (int r = 0; r < 4; ++r) {
                    for (int c = 0; c < 3; ++c) m[3 * r + c] += w[k] * bk[4 * r + c];
                }
            }
        }
        const Vec3 p = s.positions[v], q = s.normals[v];
        Vec3& op = s.outPositions[v];
        Vec3& on = s.outNormals[v];
        op.x = p.x * m[0] + p.y * m[3] + p.z * m[6] + m[9];
        op.y = p.x * m[1] + p.y * m[4] + p.z * m[7] + m[10];
        op.z = p.x * m[2] + p.y * m[5] + p.z * m[8] + m[11];
        on.x = q.x * m[0] + q.y * m[3] + q.z * m[6];
        on.y = q.x * m[1] + q.y * m[4] + q.z * m[7];
        on.z = q.x * m[2] + q.y * m[5] + q.z * m[8];
    }
}

inline void Store3(Vec3& out, __m128 v) {
    alignas(16) float t[4];
    _mm_store_ps(t, v);
    out.x = t[0], out.y = t[1], out.z = t[2];
}

void SkinSse(const Matrix* palette, std::uint32_t paletteSize, const SkinStreams& s, std::uint32_t first,
             std::uint32_t end) {
    for (std::uint32_t v = first; v < end; ++v) {
        const std::uint8_t* idx = s.indices + std::size_t(v) * 4;
        const int n = Influences(idx, paletteSize);
        if (n == 0) continue;
        const float* b = palette[idx[0]].m;
        __m128 r0 = _mm_load_ps(b), r1 = _mm_load_ps(b + 4), r2 = _mm_load_ps(b + 8), r3 = _mm_load_ps(b + 12);
        if (n > 1) {
            const float* w = s.weights + std::size_t(v) * 4;
            __m128 wk = _mm_set1_ps(w[0]);
            r0 = _mm_mul_ps(r0, wk), r1 = _mm_mul_ps(r1, wk), r2 = _mm_mul_ps(r2, wk), r3 = _mm_mul_ps(r3, wk);
            for (int k = 1; k < n; ++k) {
                const float* bk = palette[idx[k]].m;
                wk = _mm_set1_ps(w[k]);
                r0 = _mm_add_ps(r0, _mm_mul_ps(_mm_load_ps(bk), wk));
                r1 = _mm_add_ps(r1, _mm_mul_ps(_mm_load_ps(bk + 4), wk));
                r2 = _mm_add_ps(r2, _mm_mul_ps(_mm_load_ps(bk + 8), wk));
                r3 = _mm_add_ps(r3, _mm_mul_ps(_mm_load_ps(bk + 12), wk));
            }
        }
        const Vec3 p = s.positions[v], q = s.normals[v];
        const __m128 pos = _mm_add_ps(
            _mm_add_ps(_mm_mul_ps(_mm_set1_ps(p.x), r0), _mm_mul_ps(_mm_set1_ps(p.y), r1)),
            _mm_add_ps(_mm_mul_ps(_mm_set1_ps(p.z), r2), r3));
        const __m128 nrm = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(q.x), r0), _mm_mul_ps(_mm_set1_ps(q.y), r1)),
                                      _mm_mul_ps(_mm_set1_ps(q.z), r2));
        Store3(s.outPositions[v], pos);
        Store3(s.outNormals[v], nrm);
    }
}

}  // namespace

void SkinVertexRange(const Matrix* palette, std::uint32_t paletteSize, const SkinStreams& s, std::uint32_t first,
                     std::uint32_t count, bool sse) {
    if (!palette || paletteSize == 0 || count == 0) return;
    if (sse) SkinSse(palette, paletteSize, s, first, first + count);
    else SkinPlain(palette, paletteSize, s, first, first + count);
}

MeshSkelSegment::MeshSkelSegment(MeshData* data)
    : MeshSegment(data), m_skeleton(dynamic_cast<MeshSkeletalData*>(data)) {}

MeshSkelSegment::~MeshSkelSegment() = default;

void MeshSkelSegment::SetOwner(const MeshSkeletal* owner, const SkelAnimState* state) {
    m_owner = owner;
    m_state = state;
}

std::uint16_t MeshSkelSegment::BoneCount() const { return m_skeleton ? m_skeleton->boneCount : 0; }

bool MeshSkelSegment::LoadMaterials() {
    if (Loaded()) return true;
    // Skinned vertices are computed: the segment keeps its own work arrays.
    SetSharesGeometry(false);
    if (!MeshSegment::LoadMaterials()) return false;
    m_paletteSize = BoneCount();
    m_palette.reset(m_paletteSize ? NewArray<Matrix>(m_paletteSize) : nullptr);
    if (!m_palette) m_paletteSize = 0;
    for (std::uint32_t b = 0; b < m_paletteSize; ++b) MatrixIdentity(m_palette[b]);
    return true;
}

void MeshSkelSegment::FillSkinningMatrices(const SkelAnimState& state) {
    if (!m_palette || !m_skeleton) return;
    const std::uint32_t bones = std::min<std::uint32_t>(m_paletteSize, state.BoneCount());
    if (bones && !m_skeleton->GetInverseBindMatrix(0) && !m_warnedNoBindPose) {
        // A skeleton without a bind table skins through identity inverses.
        LogWarning("Skeletal mesh %s has no bind pose: its bones skin from the identity", m_skeleton->NameText());
        m_warnedNoBindPose = 1;
    }
    for (std::uint32_t b = 0; b < bones; ++b) {
        const Matrix* inverse = m_skeleton->GetInverseBindMatrix(b);
        if (inverse) MatrixMultiplyFast(*inverse, state.BoneMatrix(std::uint16_t(b)), m_palette[b]);
        else m_palette[b] = state.BoneMatrix(std::uint16_t(b));
    }
}

void MeshSkelSegment::SkinVertices(const Vec3* positions, const Vec3* normals) {
    const auto* lod = dynamic_cast<const MeshSkelVertexData*>(Lod());
    Vec3* outPositions = WorkPositions();
    Vec3* outNormals = WorkNormals();
    if (!lod || !positions || !normals || !outPositions || !outNormals || !m_palette) return;
    if (lod->boneIndices.size() < std::size_t(lod->vertexCount) * 4 ||
        lod->weights.size() < std::size_t(lod->vertexCount) * 4 || MaxVertexCount() < lod->vertexCount)
        return;
    SkinStreams s;
    s.indices = lod->boneIndices.data();
    s.weights = lod->weights.data();
    s.positions = positions;
    s.normals = normals;
    s.outPositions = outPositions;
    s.outNormals = outNormals;
    const bool sse = UseAlignedAlloc();
    for (std::uint32_t i = 0; i < SubMeshCount(); ++i) {
        const SubMesh* sub = GetSubMesh(i);
        if (!sub || !sub->Visible() || sub->Index() >= lod->ranges.size()) continue;
        const SubMeshRange& r = lod->ranges[sub->Index()];
        if (r.firstVertex > lod->vertexCount || r.vertexCount > lod->vertexCount - r.firstVertex) continue;
        SkinVertexRange(m_palette.get(), m_paletteSize, s, r.firstVertex, r.vertexCount, sse);
    }
    MarkGeometryChanged();
}

void MeshSkelSegment::SkinFromLod() {
    const MeshVertexData* lod = Lod();
    if (!lod || lod->positions.size() < lod->vertexCount || lod->normals.size() < lod->vertexCount) return;
    SkinVertices(lod->positions.data(), lod->normals.data());
}

void MeshSkelSegment::Update(const Matrix& world, bool force, render::IRenderCamera* camera) {
    if (m_poseChanged && !(m_owner && m_owner->HardwareSkinned())) {
        SkinFromLod();
        m_poseChanged = 0;
    }
    MeshSegment::Update(world, force, camera);
}

Bounds MeshSkelSegment::GetFrameBounds(std::uint32_t frame) const {
    if (!m_skeleton) return MeshSegment::GetFrameBounds(frame);
    if (frame == kStaticFrame || !m_state) return m_skeleton->bounds;
    const AnimationChannel& c = m_state->CurrentChannel();
    if (c.animation == SkelAnimState::kNone) return m_skeleton->bounds;
    const std::uint32_t f = frame == kCurrentFrame ? c.key : frame;
    return m_skeleton->GetAnimationBounds(f, c.animation, c.dataIndex);
}

Bounds MeshSkelSegment::GetSubMeshFrameBounds(std::uint32_t subMesh, std::uint32_t) const {
    if (!m_skeleton) return Bounds{};
    return m_skeleton->GetSubMeshBounds(subMesh);
}

}  // namespace quor
