#include "world/core/OccluderGeometry.h"

#include <cstring>

#include "platform/host/IOcclusion.h"
#include "world/core/CollisionMeshRecord.h"
#include "world/core/InterfaceTable.h"
#include "world/core/math/Matrix.h"

namespace quor {

namespace {
constexpr std::uint32_t kOwnCountsVersion = 0x30006;  // counts move next to each set's data
constexpr std::uint32_t kForwardTripleVersion = 0x20017;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
}  // namespace

bool OccluderGeometry::ReadSet(BinaryReader& in, std::uint32_t version, OccluderSet& set,
                               std::vector<Vec3>& pos, std::vector<std::uint16_t>& idx) {
    if (set.kind != 2) return true;
    if (version >= kOwnCountsVersion) {
        set.vertexCount = in.U32();
        set.triangleCount = in.U32();
    }
    const std::uint64_t bytes = std::uint64_t(set.vertexCount) * 12 + std::uint64_t(set.triangleCount) * 6;
    if (!in.CheckCount(bytes, 1)) return false;
    pos.resize(set.vertexCount);
    idx.resize(std::size_t(set.triangleCount) * 3);
    in.F32s(reinterpret_cast<float*>(pos.data()), pos.size() * 3);
    in.U16s(idx.data(), idx.size());
    if (!in.Ok()) return false;
    if (version < kForwardTripleVersion) {
        // Old exporters wrote each triangle the other way round.
        for (std::size_t t = 0; t + 2 < idx.size(); t += 3) std::swap(idx[t], idx[t + 2]);
    }
    if (!IndicesInRange(idx.data(), set.triangleCount, set.vertexCount)) {
        in.Fail();
        return false;
    }
    set.positions = pos.data();
    set.indices = idx.data();
    return true;
}

bool OccluderGeometry::Read(BinaryReader& in, std::uint32_t version) {
    Release();
    a = OccluderSet{};
    b = OccluderSet{};
    if (version < kOwnCountsVersion) {
        if (!in.Has(in.Offset(), 5) || std::memcmp(in.Data() + in.Offset(), "umbra", 5) != 0) {
            return in.Ok();
        }
        in.Skip(5);
    }
    a.kind = in.I32();
    b.kind = in.I32();
    if (a.kind < 0) a.kind = 0;
    if (b.kind < 0) b.kind = 0;
    if (version < kOwnCountsVersion) {
        a.vertexCount = in.U32();
        a.triangleCount = in.U32();
        b.vertexCount = in.U32();
        b.triangleCount = in.U32();
    }
    // Only a set of kind 1 (the mesh's LOD 0, filled in by the mesh) or 2 (its own arrays)
    // has triangles; any other kind is none, and its stored counts must not reach the
    // occlusion service beside null arrays.
    for (OccluderSet* s : {&a, &b}) {
        if (s->kind != 1 && s->kind != 2) {
            s->vertexCount = 0;
            s->triangleCount = 0;
        }
    }
    if (!in.Ok() || !ReadSet(in, version, a, posA_, idxA_) || !ReadSet(in, version, b, posB_, idxB_)) {
        in.Fail();
        Release();
        a = OccluderSet{};
        b = OccluderSet{};
        return false;
    }
    return true;
}

void OccluderGeometry::Write(std::vector<std::uint8_t>& out) const {
    PutU32(out, std::uint32_t(a.kind));
    PutU32(out, std::uint32_t(b.kind));
    for (const OccluderSet* s : {&a, &b}) {
        if (s->kind != 2) continue;
        PutU32(out, s->vertexCount);
        PutU32(out, s->triangleCount);
        const std::size_t pos = out.size();
        out.resize(pos + std::size_t(s->vertexCount) * 12 + std::size_t(s->triangleCount) * 6);
        std::uint8_t* p = out.data() + pos;
        for (std::uint32_t v = 0; v < s->vertexCount; ++v) {
            const float xyz[3] = {s->positions[v].x, s->positions[v].y, s->positions[v].z};
            for (float f : xyz) {
                std::uint32_t u;
                std::memcpy(&u, &f, 4);
                for (int i = 0; i < 4; ++i) *p++ = std::uint8_t(u >> (8 * i));
            }
        }
        for (std::size_t i = 0; i < std::size_t(s->triangleCount) * 3; ++i) {
            *p++ = std::uint8_t(s->indices[i]);
            *p++ = std::uint8_t(s->indices[i] >> 8);
        }
    }
}

void OccluderGeometry::AddOccluder(world::IVisibleObject* object, const Matrix& worldMatrix) const {
    render::IOcclusion* occlusion = Interfaces().occlusion;
    if (a.kind == 0 || !occlusion) return;
    occlusion->AddOccluder(object, worldMatrix.m, reinterpret_cast<const float*>(a.positions), a.indices, a.vertexCount,
                           a.triangleCount, reinterpret_cast<const float*>(b.positions), b.indices, b.vertexCount,
                           b.triangleCount);
}

void OccluderGeometry::RemoveOccluder(world::IVisibleObject* object) const {
    if (render::IOcclusion* occlusion = Interfaces().occlusion) occlusion->RemoveOccluder(object);
}

void OccluderGeometry::Release() {
    for (OccluderSet* s : {&a, &b}) {
        if (s->kind == 2) {
            s->positions = nullptr;
            s->indices = nullptr;
        }
    }
    std::vector<Vec3>().swap(posA_);
    std::vector<Vec3>().swap(posB_);
    std::vector<std::uint16_t>().swap(idxA_);
    std::vector<std::uint16_t>().swap(idxB_);
}

}  // namespace quor
