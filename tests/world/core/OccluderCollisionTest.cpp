#include <gtest/gtest.h>

#include <vector>

#include "platform/host/IOcclusion.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/core/InterfaceTable.h"
#include "world/core/math/Matrix.h"
#include "world/core/CollisionMeshRecord.h"
#include "world/core/Object3D.h"
#include "world/core/OccluderGeometry.h"

namespace {

using namespace quor;
using namespace quor::test;

OccluderDesc Occluder(std::int32_t kindA, std::int32_t kindB, int vertices, int triangles) {
    OccluderDesc d;
    d.present = true;
    d.a.kind = kindA;
    d.b.kind = kindB;
    for (int i = 0; i < vertices * 3; ++i) d.a.positions.push_back(float(i));
    for (int i = 0; i < triangles * 3; ++i) d.a.indices.push_back(std::uint16_t(i % vertices));
    return d;
}

// Bytes consumed by the reader for a record the writer made, and the reader's view of it.
std::size_t ReadBack(const ByteWriter& w, std::uint32_t version, OccluderGeometry& occ) {
    BinaryReader in(w.bytes.data(), w.Size());
    EXPECT_TRUE(occ.Read(in, version));
    return in.Offset();
}

TEST(OccluderGeometry, ByteCounts) {
    struct Case {
        const char* what;
        std::uint32_t version;
        OccluderDesc desc;
        std::size_t bytes;
    };
    OccluderDesc untagged = Occluder(2, 0, 3, 1);
    untagged.tag = false;
    const Case cases[] = {
        {"old tag, kinds 0, four counts", 0x30005, Occluder(0, 0, 0, 0), 5 + 8 + 16},
        {"own counts, 3 vertices, 1 triangle", 0x30006, Occluder(2, 0, 3, 1), 8 + 8 + 36 + 6},
        {"old, 3 vertices, 1 triangle", 0x20017, Occluder(2, 0, 3, 1), 5 + 8 + 16 + 36 + 6},
        {"kind 1 carries no data", 0x30006, Occluder(1, 0, 3, 1), 8},
        {"old record without tag is absent", 0x30005, untagged, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteWriter w;
        WriteOccluder(w, c.version, c.desc);
        w.U8(0xEE);  // what follows must stay unread
        OccluderGeometry occ;
        EXPECT_EQ(ReadBack(w, c.version, occ), c.bytes);
        EXPECT_EQ(occ.a.kind, c.bytes == 0 ? 0 : c.desc.a.kind);
    }
}

TEST(OccluderGeometry, SetsOfNoKnownKindHaveNoTriangles) {
    // Old records store both sets' counts whatever their kinds; only kinds 1 and 2 have
    // triangles, so any other kind must not hand its counts on beside null arrays.
    struct Case {
        const char* what;
        std::int32_t kindA, kindB;
    };
    const Case cases[] = {
        {"kind 0", 0, 0},
        {"unknown kind 7", 7, 0},
        {"negative kind", -3, 5},
        {"kind 3 beside kind 1", 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OccluderDesc desc = Occluder(c.kindA, c.kindB, 7, 7);
        desc.b.positions = desc.a.positions;
        desc.b.indices = desc.a.indices;
        ByteWriter w;
        WriteOccluder(w, 0x30005, desc);
        OccluderGeometry occ;
        EXPECT_EQ(ReadBack(w, 0x30005, occ), 5u + 8 + 16);
        for (const OccluderSet* set : {&occ.a, &occ.b}) {
            EXPECT_EQ(set->positions, nullptr);
            EXPECT_EQ(set->indices, nullptr);
            if (set->kind == 1) continue;  // the mesh points it at its LOD 0
            EXPECT_EQ(set->vertexCount, 0u);
            EXPECT_EQ(set->triangleCount, 0u);
        }
    }
}

TEST(OccluderGeometry, OldVersionsStoreTrianglesReversed) {
    ByteWriter w;
    w.Raw("umbra", 5);
    w.I32(2);
    w.I32(-1);  // a negative kind reads as none
    w.U32(3);
    w.U32(1);
    w.U32(0);
    w.U32(0);
    for (int i = 0; i < 9; ++i) w.F32(float(i));
    w.U16(0);
    w.U16(1);
    w.U16(2);
    OccluderGeometry occ;
    ReadBack(w, 0x20016, occ);
    ASSERT_EQ(occ.a.triangleCount, 1u);
    EXPECT_EQ(occ.a.indices[0], 2);
    EXPECT_EQ(occ.a.indices[1], 1);
    EXPECT_EQ(occ.a.indices[2], 0);
    EXPECT_EQ(occ.b.kind, 0);
    EXPECT_EQ(occ.a.positions[2].z, 8.0f);
}

TEST(OccluderGeometry, WriteThenReadRoundTrips) {
    OccluderDesc d = Occluder(2, 2, 4, 2);
    d.b.positions = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    d.b.indices = {2, 1, 0};
    ByteWriter w;
    WriteOccluder(w, 0x30011, d);
    OccluderGeometry first;
    ReadBack(w, 0x30011, first);
    std::vector<std::uint8_t> again;
    first.Write(again);
    EXPECT_EQ(again, w.bytes);
    BinaryReader in(again.data(), again.size());
    OccluderGeometry second;
    ASSERT_TRUE(second.Read(in, 0x30011));
    EXPECT_EQ(second.b.indices[0], 2);
    EXPECT_EQ(second.b.positions[2].z, 9.0f);
}

TEST(OccluderGeometry, BadCountsAndIndicesFailCleanly) {
    ByteWriter huge;
    huge.I32(2);
    huge.I32(0);
    huge.U32(0x10000000);
    huge.U32(0x10000000);
    ByteWriter badIndex;
    WriteOccluder(badIndex, 0x30006, Occluder(2, 0, 3, 1));
    badIndex.bytes[badIndex.Size() - 2] = 3;  // names a fourth vertex
    for (const ByteWriter* w : {&huge, &badIndex}) {
        BinaryReader in(w->bytes.data(), w->Size());
        OccluderGeometry occ;
        EXPECT_FALSE(occ.Read(in, 0x30006));
        EXPECT_EQ(occ.a.kind, 0);
        EXPECT_EQ(occ.a.positions, nullptr);
    }
}

TEST(CollisionMeshRecord, ByteCountsAndRoundTrip) {
    CollisionDesc d;
    d.flag = 1;
    d.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    d.indices = {0, 1, 2, 1, 3, 2};
    d.words = {10, 11, 12, 13};
    ByteWriter w;
    WriteCollision(w, d);
    EXPECT_EQ(w.Size(), 9u + 12 * 4 + 6 * 2 + 4 * 4);
    BinaryReader in(w.bytes.data(), w.Size());
    CollisionMeshRecord rec;
    ASSERT_TRUE(rec.Read(in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_TRUE(rec.owns);
    EXPECT_EQ(rec.vertexCount, 4u);
    EXPECT_EQ(rec.triangleCount, 2u);
    EXPECT_EQ(rec.positions[3].y, 1.0f);
    EXPECT_EQ(rec.indices[4], 3);
    EXPECT_EQ(rec.words[3], 13u);
    rec.Release();
    EXPECT_EQ(rec.vertexCount, 0u);
    EXPECT_EQ(rec.positions, nullptr);
}

TEST(CollisionMeshRecord, ZeroFlagConsumesOneByte) {
    const std::uint8_t bytes[] = {0, 0xEE};
    BinaryReader in(bytes, sizeof bytes);
    CollisionMeshRecord rec;
    ASSERT_TRUE(rec.Read(in));
    EXPECT_EQ(in.Offset(), 1u);
    EXPECT_FALSE(rec.owns);
    const Vec3 p[3] = {};
    const std::uint16_t i[3] = {0, 1, 2};
    rec.Attach(p, i, nullptr, 3, 1);
    EXPECT_EQ(rec.positions, p);
    EXPECT_FALSE(rec.owns);
}

TEST(CollisionMeshRecord, EveryTruncatedPrefixFails) {
    CollisionDesc d;
    d.flag = 1;
    d.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    d.indices = {0, 1, 2};
    d.words = {1, 2, 3};
    ByteWriter w;
    WriteCollision(w, d);
    for (std::size_t n = 0; n < w.Size(); ++n) {
        std::vector<std::uint8_t> prefix(w.bytes.begin(), w.bytes.begin() + std::ptrdiff_t(n));
        BinaryReader in(prefix.data(), prefix.size());
        CollisionMeshRecord rec;
        EXPECT_FALSE(rec.Read(in)) << n;
        EXPECT_EQ(rec.vertexCount, 0u);
    }
}

struct TestMesh : Object3D {
    std::int32_t GetObject3DType() const override { return 42; }
};

TEST(Object3D, CountStartsAtZeroAndDecRefNeverDeletes) {
    TestMesh m;
    EXPECT_EQ(m.GetRefCount(), 0);
    m.AddRef();
    m.AddRef();
    m.DecRef();
    m.DecRef();
    EXPECT_EQ(m.GetRefCount(), 0);
    EXPECT_TRUE(m.OnDeviceReset());
    EXPECT_EQ(m.GetObject3DType(), 42);
}

}  // namespace

namespace {

using namespace quor;

// Records what the occluder hands to the host.
struct RecordingOcclusion final : render::IOcclusion {
    void OnDeviceLost() override {}
    void OnDeviceReset() override {}
    int AddOccluder(world::IVisibleObject* object, const float* matrix, const float* pa, const std::uint16_t* ia,
                    std::uint32_t va, std::uint32_t ta, const float* pb, const std::uint16_t*, std::uint32_t vb,
                    std::uint32_t tb) override {
        added.push_back(object);
        translation = matrix[12];
        firstA = pa ? pa[0] : -1.0f;
        lastIndexA = ia ? ia[ta * 3 - 1] : 0;
        countsA = {va, ta};
        countsB = {vb, tb};
        positionsB = pb;
        return 1;
    }
    void RemoveOccluder(world::IVisibleObject* object) override { removed.push_back(object); }
    std::vector<world::IVisibleObject*> added, removed;
    float translation = 0, firstA = 0;
    std::uint16_t lastIndexA = 0;
    std::pair<std::uint32_t, std::uint32_t> countsA, countsB;
    const float* positionsB = nullptr;
};

TEST(OccluderGeometry, RegistersWithTheHostOcclusionService) {
    ByteWriter w;
    OccluderDesc d;
    d.present = true;
    d.a.kind = 2;
    d.a.positions = {5, 0, 0, 1, 0, 0, 0, 1, 0};
    d.a.indices = {0, 2, 1};
    WriteOccluder(w, 0x30011, d);
    BinaryReader in(w.bytes.data(), w.Size());
    OccluderGeometry occ;
    ASSERT_TRUE(occ.Read(in, 0x30011));
    auto* object = reinterpret_cast<world::IVisibleObject*>(&occ);  // only compared, never used
    Matrix m;
    MatrixIdentity(m);
    m.m[12] = 3.0f;

    ResetInterfaces();
    occ.AddOccluder(object, m);  // no service: nothing happens
    occ.RemoveOccluder(object);

    RecordingOcclusion host;
    Interfaces().occlusion = &host;
    occ.AddOccluder(object, m);
    occ.RemoveOccluder(object);
    ResetInterfaces();
    ASSERT_EQ(host.added.size(), 1u);
    EXPECT_EQ(host.added[0], object);
    EXPECT_EQ(host.removed, host.added);
    EXPECT_EQ(host.translation, 3.0f);
    EXPECT_EQ(host.firstA, 5.0f);
    EXPECT_EQ(host.lastIndexA, 1);
    EXPECT_EQ(host.countsA, (std::pair<std::uint32_t, std::uint32_t>{3, 1}));
    EXPECT_EQ(host.countsB, (std::pair<std::uint32_t, std::uint32_t>{0, 0}));
    EXPECT_EQ(host.positionsB, nullptr);

    OccluderGeometry none;  // set A of kind 0 registers nothing
    Interfaces().occlusion = &host;
    none.AddOccluder(object, m);
    ResetInterfaces();
    EXPECT_EQ(host.added.size(), 1u);
}

// A mesh that shows a file with or without occluder data.
struct OccludingMesh : Object3D {
    explicit OccludingMesh(const OccluderGeometry* occ) { SetOccluder(occ); }
    std::int32_t GetObject3DType() const override { return 1; }
};

TEST(Object3D, AddOccluderRegistersTheMeshOccluderForAnObject) {
    ByteWriter w;
    WriteOccluder(w, 0x30006, Occluder(2, 0, 3, 1));
    OccluderGeometry occ;
    BinaryReader in(w.bytes.data(), w.Size());
    ASSERT_TRUE(occ.Read(in, 0x30006));
    auto* object = reinterpret_cast<world::IVisibleObject*>(std::uintptr_t(0x40));
    Matrix m;
    MatrixIdentity(m);
    m.m[12] = 7.0f;

    RecordingOcclusion host;
    Interfaces().occlusion = &host;
    OccludingMesh without(nullptr);
    without.AddOccluder(object, m);  // a mesh without occluder data registers nothing
    EXPECT_TRUE(host.added.empty());
    OccludingMesh with(&occ);
    with.AddOccluder(object, m);
    ResetInterfaces();
    ASSERT_EQ(host.added.size(), 1u);
    EXPECT_EQ(host.added[0], object);
    EXPECT_EQ(host.translation, 7.0f);
    EXPECT_EQ(host.countsA, (std::pair<std::uint32_t, std::uint32_t>{3, 1}));
}

}  // namespace
