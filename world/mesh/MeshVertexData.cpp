#include "world/mesh/MeshVertexData.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "world/core/CollisionMeshRecord.h"

#include "world/core/Log.h"

namespace quor {

namespace {
constexpr std::uint32_t kPerLodChannelsVersion = 0x30008;  // channel count and colour flag per LOD
constexpr std::uint32_t kUnrotatedVersion = 0x20002;

// All n indices lie in [low, high). This runs over every index of every file: SSE2 has no
// unsigned 16-bit minimum, so the values are biased into signed range for it.
bool IndexSpanInside(const std::uint16_t* p, std::size_t n, std::uint32_t low, std::uint64_t high) {
    std::uint16_t smallest = 0xFFFF, largest = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    if (n >= 8) {
        const __m128i bias = _mm_set1_epi16(std::int16_t(-32768));
        __m128i lo = _mm_set1_epi16(0x7FFF), hi = _mm_set1_epi16(std::int16_t(-32768));
        for (; i + 8 <= n; i += 8) {
            const __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), bias);
            lo = _mm_min_epi16(lo, v);
            hi = _mm_max_epi16(hi, v);
        }
        alignas(16) std::int16_t l[8], h[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(l), lo);
        _mm_store_si128(reinterpret_cast<__m128i*>(h), hi);
        for (int k = 0; k < 8; ++k) {
            smallest = std::min<std::uint16_t>(smallest, std::uint16_t(l[k] ^ std::int16_t(-32768)));
            largest = std::max<std::uint16_t>(largest, std::uint16_t(h[k] ^ std::int16_t(-32768)));
        }
    }
#endif
    for (; i < n; ++i) {
        const std::uint16_t v = p[i];
        smallest = v < smallest ? v : smallest;
        largest = v > largest ? v : largest;
    }
    return smallest >= low && largest < high;
}

// Some byte lies in [first, 254]: a bone index at or past the skeleton that is not "none".
bool AnyIndexPast(const std::uint8_t* p, std::size_t n, std::uint32_t first) {
    if (first >= 255) return false;
    const std::uint8_t base = std::uint8_t(first), span = std::uint8_t(255 - first);
    std::uint8_t any = 0;
    for (std::size_t i = 0; i < n; ++i) any |= std::uint8_t(std::uint8_t(p[i] - base) < span);
    return any != 0;
}

std::atomic<std::uint64_t> g_maxDatalessBytes{MeshVertexData::kMaxDatalessBytes};

}  // namespace

void MeshVertexData::SetMaxDatalessBytes(std::uint64_t bytes) { g_maxDatalessBytes.store(bytes, std::memory_order_relaxed); }

std::uint64_t MeshVertexData::MaxDatalessBytes() { return g_maxDatalessBytes.load(std::memory_order_relaxed); }

void MeshVertexData::SetSubMeshCount(std::uint32_t count) {
    subMeshCount = count;
    ranges.assign(count, SubMeshRange{});
}

void MeshVertexData::FreeColours() { colours.clear(); }

void MeshVertexData::FreeArrays() {
    positions.clear();
    normals.clear();
    indices.clear();
    for (auto& uv : uvs) uv.clear();
    FreeColours();
}

bool MeshVertexData::Read(BinaryReader& in, std::uint32_t version, std::uint32_t frames) {
    FreeArrays();
    if (frames == 0) {
        in.Fail();
        return false;
    }
    frameCount = frames;
    const bool perLod = version >= kPerLodChannelsVersion;
    // Counts per sub-mesh: 8 bytes, 10 with the per-LOD channel bytes.
    if (!in.CheckCount(subMeshCount, perLod ? 10 : 8)) return false;
    std::uint64_t vertexSum = 0, triangleSum = 0;
    bool anyColour = false;
    std::uint8_t maxChannels = 0;
    for (SubMeshRange& r : ranges) {
        r.vertexCount = in.U32();
        r.triangleCount = in.U32();
        if (perLod) {
            r.uvChannelCount = in.U8();
            r.hasColour = in.U8();
        }
        r.firstVertex = std::uint32_t(vertexSum);
        r.firstTriangle = std::uint32_t(triangleSum);
        vertexSum += r.vertexCount;
        triangleSum += r.triangleCount;
        if (r.uvChannelCount > kMaxUvChannels) in.Fail();
        maxChannels = std::max(maxChannels, r.uvChannelCount);
        anyColour = anyColour || r.hasColour != 0;
    }
    hasData = in.U32();
    vertexCount = in.U32();
    triangleCount = in.U32();
    if (!perLod) anyColour = (in.U32() != 0) || anyColour;
    // Every range must lie inside the LOD's arrays: the uv and colour data is written at each
    // sub-mesh's first vertex, and the buffers are filled range by range.
    if (!in.Ok() || vertexSum > vertexCount || triangleSum > triangleCount) {
        in.Fail();
        return false;
    }
    hasColour = anyColour ? 1 : 0;
    uvChannelCount = maxChannels;
    uvColourStride = (hasColour ? 4 : 0) + 8u * uvChannelCount;

    const std::uint64_t perVertex = 24ull * frames + 8ull * uvChannelCount + (hasColour ? 4 : 0);
    const std::uint64_t arrayBytes = perVertex * vertexCount + 6ull * triangleCount;
    if (hasData) {
        // The file holds at least the frames' positions and normals and the indices.
        if (!in.CheckCount(24ull * frames * vertexCount + 6ull * triangleCount, 1)) return false;
    } else if (arrayBytes > MaxDatalessBytes()) {
        in.Fail();
        return false;
    }

    const std::size_t v = vertexCount;
    if (!hasData) {
        // Defaults: uv (0, 0), white, zero positions, normals and indices.
        bool made = positions.AllocateZeroed(v * frames) && normals.AllocateZeroed(v * frames) &&
                    indices.AllocateZeroed(std::size_t(triangleCount) * 3);
        for (int c = 0; c < uvChannelCount; ++c) made = made && uvs[c].AllocateZeroed(v * 2);
        if (hasColour) made = made && colours.Assign(v, 0xFFFFFFFFu);
        // A sub-mesh's default triangles sit on its own first vertex (index 0 would name another
        // sub-mesh's vertex); a sub-mesh with triangles has a vertex a 16-bit index can name.
        for (const SubMeshRange& r : ranges) {
            if (r.triangleCount == 0) continue;
            made = made && r.vertexCount != 0 && r.firstVertex <= 0xFFFF;
            if (!made) break;
            std::fill_n(indices.data() + std::size_t(r.firstTriangle) * 3, std::size_t(r.triangleCount) * 3,
                        std::uint16_t(r.firstVertex));
        }
        // Triangles past the ranges keep index 0, which needs a vertex.
        if (triangleSum < triangleCount && vertexCount == 0) made = false;
        if (!made) {
            in.Fail();
            FreeArrays();
            return false;
        }
        return true;
    }
    // Overwritten whole: by the read below, and the vertices no sub-mesh writes by the
    // defaults after it.
    bool made = positions.AllocateUninitialised(v * frames) && normals.AllocateUninitialised(v * frames) &&
                indices.AllocateUninitialised(std::size_t(triangleCount) * 3);
    for (int c = 0; c < uvChannelCount; ++c) made = made && uvs[c].AllocateUninitialised(v * 2);
    if (hasColour) made = made && colours.AllocateUninitialised(v);
    if (!made) {
        in.Fail();
        FreeArrays();
        return false;
    }

    in.F32s(reinterpret_cast<float*>(positions.data()), v * 3);
    in.F32s(reinterpret_cast<float*>(normals.data()), v * 3);
    in.U16s(indices.data(), indices.size());
    for (const SubMeshRange& r : ranges) {
        for (int c = 0; c < r.uvChannelCount; ++c) {
            in.F32s(uvs[c].data() + std::size_t(r.firstVertex) * 2, std::size_t(r.vertexCount) * 2);
        }
    }
    for (const SubMeshRange& r : ranges) {
        if (r.hasColour) in.U32s(colours.data() + r.firstVertex, r.vertexCount);
    }
    // Channels and colours a sub-mesh does not have, and vertices past the last range, keep
    // the defaults: uv (0, 0), white.
    auto fill = [this](std::size_t first, std::size_t count, int fromChannel, bool colour) {
        for (int c = fromChannel; c < uvChannelCount; ++c) std::fill_n(uvs[c].data() + first * 2, count * 2, 0.0f);
        if (colour) std::fill_n(colours.data() + first, count, 0xFFFFFFFFu);
    };
    for (const SubMeshRange& r : ranges) fill(r.firstVertex, r.vertexCount, r.uvChannelCount, hasColour && !r.hasColour);
    fill(std::size_t(vertexSum), v - std::size_t(vertexSum), 0, hasColour != 0);
    for (std::uint32_t f = 1; f < frames && in.Ok(); ++f) {
        in.F32s(reinterpret_cast<float*>(positions.data() + v * f), v * 3);
        in.F32s(reinterpret_cast<float*>(normals.data() + v * f), v * 3);
    }
    if (!in.Ok() || !IndicesInOwnRanges()) {
        in.Fail();
        FreeArrays();
        return false;
    }
    return true;
}

bool MeshVertexData::IndicesInOwnRanges() const {
    // Each sub-mesh's triangles name only its own vertices: the buffers are filled range by
    // range and the indices moved with their range, so a triangle reaching into another
    // sub-mesh would draw the wrong vertices or wrap as a 16-bit index.
    std::uint64_t covered = 0;
    for (const SubMeshRange& r : ranges) {
        const std::uint16_t* first = indices.data() + std::size_t(r.firstTriangle) * 3;
        const std::size_t n = std::size_t(r.triangleCount) * 3;
        const std::uint32_t low = r.firstVertex;
        const std::uint64_t high = std::uint64_t(r.firstVertex) + r.vertexCount;  // exclusive
        if (n != 0 && !IndexSpanInside(first, n, low, high)) return false;
        covered += r.triangleCount;
    }
    // Triangles past the last range belong to no sub-mesh; they still name LOD vertices.
    const std::size_t rest = triangleCount - std::size_t(covered);
    return IndicesInRange(indices.data() + covered * 3, rest, vertexCount);
}

bool MeshSkelVertexData::Read(BinaryReader& in, std::uint32_t version, std::uint32_t frames) {
    boneIndices.clear();
    weights.clear();
    if (!MeshVertexData::Read(in, version, frames)) return false;
    const std::size_t v = vertexCount;
    if (hasData) {
        if (!in.CheckCount(v, 20)) {
            FreeArrays();
            return false;
        }
        boneIndices.AllocateUninitialised(v * 4);
        weights.AllocateUninitialised(v * 4);
        in.Bytes(boneIndices.data(), boneIndices.size());
        in.F32s(weights.data(), weights.size());
    } else {
        if (!boneIndices.AllocateZeroed(v * 4) || !weights.AllocateZeroed(v * 4)) in.Fail();
    }
    // A palette lookup for an influence that names a bone past the skeleton would read past
    // the palette. Writers fill unused slots with bone 0 and weight 0, which never looks one
    // up, so only influences that carry weight must name a bone; 255 always means none.
    if (hasData && AnyIndexPast(boneIndices.data(), boneIndices.size(), boneCount)) {
        for (std::size_t i = 0, n = boneIndices.size(); i < n; ++i) {
            const std::uint8_t b = boneIndices[i];
            if (b != kNoBone && b >= boneCount && weights[i] != 0.0f) {
                in.Fail();
                break;
            }
        }
    }
    if (!in.Ok()) {
        FreeArrays();
        return false;
    }
    if (hasData && version < kUnrotatedVersion) {
        // The oldest exporter faced the other way: turn frame 0 half a turn about y.
        const float angle = 3.1415927f;
        const float c = std::cos(angle), s = std::sin(angle);
        for (std::size_t i = 0; i < v; ++i) {
            for (Vec3* p : {&positions[i], &normals[i]}) {
                const float x = p->x, z = p->z;
                p->x = x * c + z * s;
                p->z = -x * s + z * c;
            }
        }
    }
    return true;
}

void MeshSkelVertexData::FreeArrays() {
    MeshVertexData::FreeArrays();
    boneIndices.clear();
    weights.clear();
}

}  // namespace quor
