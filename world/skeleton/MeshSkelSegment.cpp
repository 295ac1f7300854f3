#include "world/skeleton/MeshSkelSegment.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
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

// Bone indices are bytes: no vertex can name a bone past 255.
constexpr std::uint32_t kMaxSkinBones = 256;
// Flags in a bone's palette offset: the index is the 255 that ends a vertex's list, or it is
// past the palette.
constexpr std::uint32_t kEndFlag = 1u << 30, kBadFlag = 1u << 31, kFlags = kEndFlag | kBadFlag;
constexpr std::uint32_t kBoneBytes = 64;

// The palette as the vector kernel reads it. Per bone three vectors, rows 0, 1 and 2 of the
// matrix's first three columns laid out as (x, y, -, z), with the translation's x, y, z in
// the third lanes. The fourth column is never used, so a blend moves three vectors a bone
// instead of four; and a result laid out (x, y, -, z) stores as a Vec3 without a shuffle.
// A fourth vector holds the translation alone, (x, y, 0, z), for vertices of one bone.
// `offset` maps an index byte to its bone's byte offset, or to a flag.
struct SkinPalette {
    alignas(16) float bones[kMaxSkinBones][16];
    std::uint32_t offset[256];

    SkinPalette(const Matrix* palette, std::uint32_t paletteSize) {
        const std::uint32_t count = std::min(paletteSize, kMaxSkinBones);
        for (std::uint32_t b = 0; b < count; ++b) {
            const float* m = palette[b].m;
            float* q = bones[b];
            q[0] = m[0], q[1] = m[1], q[2] = m[12], q[3] = m[2];
            q[4] = m[4], q[5] = m[5], q[6] = m[13], q[7] = m[6];
            q[8] = m[8], q[9] = m[9], q[10] = m[14], q[11] = m[10];
            q[12] = m[12], q[13] = m[13], q[14] = 0.0f, q[15] = m[14];
        }
        for (std::uint32_t b = 0; b < 256; ++b) {
            offset[b] = b == kNoBone ? kEndFlag : (b < paletteSize ? b * kBoneBytes : kBadFlag);
        }
    }
};

template <int K>
inline __m128 Splat(__m128 v) {
    return _mm_castsi128_ps(_mm_shuffle_epi32(_mm_castps_si128(v), _MM_SHUFFLE(K, K, K, K)));
}

// How many vertices ahead the loop asks for the streams, in steps of 16 vertices (one line
// of indices, four of weights, three of every Vec3 array).
constexpr std::uint32_t kPrefetchAhead = 64;
// Ranges from this many vertices on (some 2 MB of streams) outgrow the second-level cache and
// are read ahead; below, the prefetches cost more than they save.
constexpr std::uint32_t kStreamedVertices = 1u << 15;

// A vertex's blended matrix: the first three columns of rows 0-2 and the translation, all
// laid out (x, y, -, z).
struct Rows {
    __m128 r0, r1, r2, t;
};

class SseSkinner {
public:
    SseSkinner(const SkinPalette& palette, std::uint32_t paletteSize, const SkinStreams& s)
        : m_palette(palette),
          m_paletteSize(paletteSize),
          m_indices(s.indices),
          m_weights(s.weights),
          m_positions(s.positions),
          m_normals(s.normals),
          m_outPositions(s.outPositions),
          m_outNormals(s.outNormals) {}

    // Vertices [first, end), end > first.
    void Run(std::uint32_t first, std::uint32_t end) const {
        // A local copy: the vector stores may alias anything, so the compiler would reload
        // the members of an object it cannot see whole for every vertex.
        const SseSkinner k = *this;
        const std::uint32_t last = end - 1;
        std::uint32_t v = first;
        if (end - first >= kStreamedVertices) {
            // Blocks of up to 16 vertices, each asking for the streams a few blocks ahead.
            while (last - v > kPrefetchAhead + 16) {
                k.Prefetch(v + kPrefetchAhead);
                const std::uint32_t stop = (v | 15) + 1;
                for (; v < stop; ++v) k.Vertex<false>(v);
            }
        }
        for (; v < last; ++v) k.Vertex<false>(v);
        k.Vertex<true>(last);
    }

private:
    // Inlined: the compiler takes a function that only prefetches for one without effect.
    [[gnu::always_inline]] static void Touch(const void* p, int lines) {
        for (int l = 0; l < lines; ++l) _mm_prefetch(static_cast<const char*>(p) + 64 * l, _MM_HINT_T0);
    }

    [[gnu::always_inline]] void Prefetch(std::size_t v) const {
        Touch(m_indices + v * 4, 1);
        Touch(m_weights + v * 4, 4);
        Touch(m_positions + v, 3);
        Touch(m_normals + v, 3);
        Touch(m_outPositions + v, 3);
        Touch(m_outNormals + v, 3);
    }

    static const float* Bone(const SkinPalette& palette, std::uint32_t offset) {
        return reinterpret_cast<const float*>(reinterpret_cast<const char*>(palette.bones) + offset);
    }
    const float* Bone(std::uint32_t offset) const { return Bone(m_palette, offset); }

    // c += bone * w
    [[gnu::always_inline]] static void Add(const float* b, __m128 w, __m128& c0, __m128& c1, __m128& c2) {
        c0 = _mm_add_ps(c0, _mm_mul_ps(_mm_load_ps(b), w));
        c1 = _mm_add_ps(c1, _mm_mul_ps(_mm_load_ps(b + 4), w));
        c2 = _mm_add_ps(c2, _mm_mul_ps(_mm_load_ps(b + 8), w));
    }

    // Blended packed bones with their translation, taken from their third lanes.
    static Rows WithTranslation(__m128 c0, __m128 c1, __m128 c2) {
        return Rows{c0, c1, c2, _mm_shuffle_ps(_mm_unpackhi_ps(c0, c1), c2, _MM_SHUFFLE(2, 2, 1, 0))};
    }

    // The bones of nonzero weight among the four, by the bits of `live`.
    [[gnu::noinline]] static void BlendLive(const SkinPalette& palette, const std::uint32_t* o, int live,
                                            const float* w, Rows& r) {
        __m128 c0 = _mm_setzero_ps(), c1 = c0, c2 = c0;
        for (int k = 0; k < 4; ++k) {
            if (live & (1 << k)) Add(Bone(palette, o[k]), _mm_load1_ps(w + k), c0, c1, c2);
        }
        r = WithTranslation(c0, c1, c2);
    }

    // The weighted sum of N packed bones. Zero weights add nothing, so from three bones on a
    // vertex with some blends only the bones that move it; two-bone vertices blend both, as
    // there the test costs more than it saves.
    template <int N>
    [[gnu::always_inline]] void Blend(std::uint32_t o0, std::uint32_t o1, std::uint32_t o2, std::uint32_t o3,
                                      std::size_t v, Rows& r) const {
        const __m128 w = _mm_loadu_ps(m_weights + v * 4);
        constexpr int kAll = (1 << N) - 1;
        if constexpr (N > 2) {
            const int live = _mm_movemask_ps(_mm_cmpneq_ps(w, _mm_setzero_ps())) & kAll;
            if (live != kAll) {
                const std::uint32_t o[4] = {o0, o1, o2, o3};
                BlendLive(m_palette, o, live, m_weights + v * 4, r);
                return;
            }
        }
        const float* b = Bone(o0);
        const __m128 w0 = Splat<0>(w);
        __m128 c0 = _mm_mul_ps(_mm_load_ps(b), w0), c1 = _mm_mul_ps(_mm_load_ps(b + 4), w0);
        __m128 c2 = _mm_mul_ps(_mm_load_ps(b + 8), w0);
        Add(Bone(o1), Splat<1>(w), c0, c1, c2);
        if constexpr (N > 2) Add(Bone(o2), Splat<2>(w), c0, c1, c2);
        if constexpr (N > 3) Add(Bone(o3), Splat<3>(w), c0, c1, c2);
        r = WithTranslation(c0, c1, c2);
    }

    // Any vertex, the long way. Reached for indices past the palette and for a first index of
    // 255 that names a bone of a palette of more than 255.
    [[gnu::noinline]] static bool AnyVertex(const SkinPalette& palette, std::uint32_t paletteSize,
                                            const std::uint8_t* idx, const float* w, Rows& r) {
        const int n = Influences(idx, paletteSize);
        if (n == 0) return false;
        __m128 c0, c1, c2;
        if (n == 1) {
            const float* b = Bone(palette, idx[0] * kBoneBytes);
            c0 = _mm_load_ps(b), c1 = _mm_load_ps(b + 4), c2 = _mm_load_ps(b + 8);
        } else {
            c0 = c1 = c2 = _mm_setzero_ps();
            for (int k = 0; k < n; ++k) {
                if (w[k] != 0.0f) Add(Bone(palette, idx[k] * kBoneBytes), _mm_load1_ps(w + k), c0, c1, c2);
            }
        }
        r = WithTranslation(c0, c1, c2);
        return true;
    }

    // The blended rows of a vertex; false when it names no bone or one past the palette.
    [[gnu::always_inline]] bool Blended(std::size_t v, Rows& r) const {
        const std::uint8_t* idx = m_indices + v * 4;
        const std::uint32_t* off = m_palette.offset;
        if (idx[1] == kNoBone) {
            // One bone at weight 1, whatever the stored weight.
            const std::uint32_t o0 = off[idx[0]];
            if (o0 & kFlags) return false;
            const float* b = Bone(o0);
            r = Rows{_mm_load_ps(b), _mm_load_ps(b + 4), _mm_load_ps(b + 8), _mm_load_ps(b + 12)};
            return true;
        }
        const std::uint32_t o0 = off[idx[0]], o1 = off[idx[1]], o2 = off[idx[2]], o3 = off[idx[3]];
        if (((o0 | o1 | o2 | o3) & kFlags) == 0) {
            Blend<4>(o0, o1, o2, o3, v, r);
        } else if (((o0 | o1) & kFlags) == 0 && o2 == kEndFlag) {
            Blend<2>(o0, o1, o2, o3, v, r);
        } else if (((o0 | o1 | o2) & kFlags) == 0 && o3 == kEndFlag) {
            Blend<3>(o0, o1, o2, o3, v, r);
        } else {
            return AnyVertex(m_palette, m_paletteSize, idx, m_weights + v * 4, r);
        }
        return true;
    }

    // The 16-byte load of a Vec3 reads the next vertex's x; the last vertex of the range
    // loads its three floats alone.
    template <bool kLast>
    static __m128 Load3(const Vec3* p) {
        if constexpr (kLast) {
            return _mm_movelh_ps(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(&p->x)),
                                 _mm_load_ss(&p->z));
        } else {
            return _mm_loadu_ps(&p->x);
        }
    }

    // (x, y, -, z) into a Vec3: y and z first, then x and y over the third lane.
    static void Store3(Vec3* p, __m128 v) {
        _mm_storeh_pi(reinterpret_cast<__m64*>(&p->y), v);
        _mm_storel_pi(reinterpret_cast<__m64*>(&p->x), v);
    }

    template <bool kLast>
    [[gnu::always_inline]] void Vertex(std::size_t v) const {
        Rows r;
        if (!Blended(v, r)) return;
        const __m128 p = Load3<kLast>(m_positions + v), q = Load3<kLast>(m_normals + v);
        const __m128 pos = _mm_add_ps(_mm_add_ps(_mm_mul_ps(Splat<0>(p), r.r0), _mm_mul_ps(Splat<1>(p), r.r1)),
                                      _mm_add_ps(_mm_mul_ps(Splat<2>(p), r.r2), r.t));
        const __m128 nrm = _mm_add_ps(_mm_add_ps(_mm_mul_ps(Splat<0>(q), r.r0), _mm_mul_ps(Splat<1>(q), r.r1)),
                                      _mm_mul_ps(Splat<2>(q), r.r2));
        Store3(m_outPositions + v, pos);
        Store3(m_outNormals + v, nrm);
    }

    const SkinPalette& m_palette;
    std::uint32_t m_paletteSize;
    const std::uint8_t* m_indices;
    const float* m_weights;
    const Vec3* m_positions;
    const Vec3* m_normals;
    Vec3* m_outPositions;
    Vec3* m_outNormals;
};

void SkinSse(const Matrix* palette, std::uint32_t paletteSize, const SkinStreams& s, std::uint32_t first,
             std::uint32_t end) {
    const SkinPalette converted(palette, paletteSize);
    SseSkinner(converted, paletteSize, s).Run(first, end);
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
    auto forEachRange = [&](auto skin) {
        for (std::uint32_t i = 0; i < SubMeshCount(); ++i) {
            const SubMesh* sub = GetSubMesh(i);
            if (!sub || !sub->Visible() || sub->Index() >= lod->ranges.size()) continue;
            const SubMeshRange& r = lod->ranges[sub->Index()];
            if (r.firstVertex > lod->vertexCount || r.vertexCount > lod->vertexCount - r.firstVertex) continue;
            if (r.vertexCount) skin(r.firstVertex, r.firstVertex + r.vertexCount);
        }
    };
    if (UseAlignedAlloc()) {
        // One conversion of the palette for all the sub-meshes.
        const SkinPalette converted(m_palette.get(), m_paletteSize);
        SseSkinner skinner(converted, m_paletteSize, s);
        forEachRange([&](std::uint32_t first, std::uint32_t end) { skinner.Run(first, end); });
    } else {
        forEachRange([&](std::uint32_t first, std::uint32_t end) {
            SkinVertexRange(m_palette.get(), m_paletteSize, s, first, end - first, false);
        });
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
