#include "world/mesh/MeshSegment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/KeyFramePlayer.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/TriangleSorter.h"
#include "world/core/track/TrackSampled.h"

namespace {

using namespace quor;
using namespace quor::test;

class MeshSegmentTest : public ::testing::Test {
protected:
    MeshSegmentTest() : log(std::make_unique<host::MemoryFileSystem>()) {}
    ~MeshSegmentTest() override {
        segment.reset();
        EXPECT_EQ(world::MeshDataMgr::GetInstance().Count(), 0u) << "the segment gives its reference back";
        world::MeshDataMgr::GetInstance().Clear();
    }
    MeshSegment& Load(const MeshDesc& desc) {
        const auto bytes = WriteMom(desc);
        MeshData* data = world::MeshDataMgr::GetInstance().LoadFromMemory("seg.mom", bytes.data(), bytes.size(), 0);
        EXPECT_NE(data, nullptr);
        segment.reset(new MeshSegment(data));
        EXPECT_TRUE(segment->PrepareGeometry());
        return *segment;
    }
    static void ExpectBounds(const Bounds& got, const Bounds& want, const char* what) {
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << what;
    }

    LogCapture log;
    struct Destroy {
        void operator()(MeshSegment* s) const { s->Destroy(); }
    };
    std::unique_ptr<MeshSegment, Destroy> segment;
};

TEST_F(MeshSegmentTest, StaticMeshSharesItsGeometryAndTakesTheDataSorter) {
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 2);
    desc.sorterType = 3;
    MeshSegment& s = Load(desc);
    const MeshData& d = *s.Data();
    EXPECT_TRUE(s.SharesGeometry());
    EXPECT_EQ(s.KeyPlayer(), nullptr);
    EXPECT_EQ(s.Positions(), d.GetLod(0)->positions.data());
    EXPECT_EQ(s.LodIndex(), 0u);
    ASSERT_NE(s.Sorter(), nullptr);
    EXPECT_NE(dynamic_cast<BarycenterTriangleSorter*>(s.Sorter()), nullptr);
    EXPECT_EQ(s.IndexList(), s.Sorter()->Output());
    EXPECT_EQ(s.MaxTriangleCount(), std::max(d.GetLod(0)->triangleCount, d.GetLod(1)->triangleCount));
    EXPECT_EQ(s.Sorter()->Capacity(), s.MaxTriangleCount());
    // Without animation every selector answers the static bounds.
    for (std::uint32_t f : {0u, 1u, 0xFFFEu, 0xFFFFu}) ExpectBounds(s.GetFrameBounds(f), d.bounds, "static");
    ExpectBounds(s.GetSubMeshFrameBounds(1, 0), d.subMeshes[1].bounds, "static sub-mesh");
    ExpectBounds(s.GetSubMeshFrameBounds(7, 0), d.bounds, "no such sub-mesh");
    // Sorter off: the LOD's own list; a LOD change moves the geometry.
    s.SetSorterType(0);
    EXPECT_EQ(s.Sorter(), nullptr);
    EXPECT_EQ(s.IndexList(), d.GetLod(0)->indices.data());
    s.ClearGeometryChanged();
    EXPECT_TRUE(s.SetLod(1));
    EXPECT_TRUE(s.GeometryChanged());
    EXPECT_EQ(s.Positions(), d.GetLod(1)->positions.data());
    EXPECT_EQ(s.IndexList(), d.GetLod(1)->indices.data());
    EXPECT_FALSE(s.SetLod(2));
    s.SetSorterType(9);  // no such sorter: the LOD's list
    EXPECT_EQ(s.IndexList(), d.GetLod(1)->indices.data());
}

TEST_F(MeshSegmentTest, ShortKeyTracksAreScaledInTheirOwnCopy) {
    MeshSegment& s = Load(MakeMesh(0x30011, 2, 2, 1));
    const KeyTimeTable& shared = s.Data()->keyTrack->keyTimes;
    ASSERT_EQ(shared.Length(), 66.0);
    ASSERT_NE(s.KeyPlayer(), nullptr);
    EXPECT_FALSE(s.SharesGeometry());
    EXPECT_NE(s.KeyPlayer()->Keys(), &shared);
    const float factor = MeshSegment::kShortestKeyLength / 66.0f;
    EXPECT_FLOAT_EQ(s.KeyPlayer()->Keys()->Times()[1], 33.0f * factor);
    EXPECT_EQ(shared.Times()[1], 33.0f) << "the shared key times stay as loaded";
    EXPECT_NEAR(s.KeyPlayer()->Clock().length, 66.6666667, 1e-4);
    EXPECT_EQ(s.KeyPlayer()->Clock().loop, s.Data()->keyTrack->flag != 0);
    // The work arrays start as frame 0.
    const MeshVertexData& lod = *s.Data()->GetLod(0);
    EXPECT_EQ(std::memcmp(s.Positions(), lod.positions.data(), lod.vertexCount * sizeof(Vec3)), 0);
    // A playing player animates; a stopped one does not.
    EXPECT_TRUE(s.UpdateAnimation());
    s.KeyPlayer()->Clock().playing = 0;
    EXPECT_FALSE(s.UpdateAnimation());
    // The vertices follow the player's key and blend.
    s.KeyPlayer()->Clock().time = 40.0;
    s.UpdateVertexAnimation();
    float blend = 0;
    const std::uint16_t key = s.KeyPlayer()->GetCurrentKey(&blend);
    const std::size_t v = lod.vertexCount;
    EXPECT_NEAR(s.Positions()[0].x,
                lod.positions[key * v].x + (lod.positions[(key + 1) * v].x - lod.positions[key * v].x) * blend, 1e-3f);
}

TEST_F(MeshSegmentTest, KeyTrackOfLengthZeroPlaysNothing) {
    MeshDesc desc = MakeMesh(0x30011, 2, 1, 1);
    desc.keyTimes = {0, 0, 0};
    MeshSegment& s = Load(desc);
    EXPECT_EQ(s.KeyPlayer(), nullptr);
    s.BlendKeyFrames(0.5f);  // nothing to blend
    ExpectBounds(s.GetFrameBounds(1), s.Data()->bounds, "no player: static bounds");
}

TEST_F(MeshSegmentTest, FrameSelectorsPickTheirPairUnions) {
    MeshSegment& s = Load(MakeMesh(0x30011, 2, 2, 1));
    const MeshData& d = *s.Data();
    const std::uint32_t frames = d.frameCount;
    ASSERT_EQ(frames, 3u);
    ExpectBounds(s.GetFrameBounds(0xFFFF), d.bounds, "0xFFFF");
    ExpectBounds(s.GetFrameBounds(1), d.FrameBounds(frames + 1), "frame 1");
    ExpectBounds(s.GetSubMeshFrameBounds(1, 2), d.SubMeshFrameBounds(frames + 2, 1), "sub-mesh frame 2");
    s.KeyPlayer()->Clock().time = 40.0;  // in the second key interval once scaled
    ASSERT_EQ(s.KeyPlayer()->GetCurrentKey(), 1);
    ExpectBounds(s.GetFrameBounds(0xFFFE), d.FrameBounds(frames + 1), "current key");
    ExpectBounds(s.GetSubMeshFrameBounds(0, 0xFFFE), d.SubMeshFrameBounds(frames + 1, 0), "sub-mesh current key");
    // Past the frames there is no entry: the static bounds answer.
    for (std::uint32_t f : {3u, 4u, 0xFFFDu}) {
        ExpectBounds(s.GetFrameBounds(f), d.bounds, "past the frames");
        ExpectBounds(s.GetSubMeshFrameBounds(0, f), d.subMeshes[0].bounds, "sub-mesh past the frames");
    }
}

TEST_F(MeshSegmentTest, BlendKeyFramesFollowsAPlainLerp) {
    MeshSegment& s = Load(MakeMesh(0x30011, 2, 2, 1));
    const MeshVertexData& lod = *s.Data()->GetLod(0);
    const std::size_t v = lod.vertexCount;
    struct Case {
        double time;
        bool loop;
        float t;
        std::uint32_t from, to;  // to == from: frame alone
    };
    const Case cases[] = {
        {10.0, true, 0.25f, 0, 1},  {40.0, true, 0.5f, 1, 2},   {40.0, true, 0.00005f, 1, 1},
        {70.0, true, 0.5f, 2, 0},   {70.0, false, 0.5f, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        s.KeyPlayer()->SetLoop(c.loop);
        s.KeyPlayer()->Clock().time = c.time;
        ASSERT_EQ(s.KeyPlayer()->GetCurrentKey(), c.from);
        s.BlendKeyFrames(c.t);
        const float t = c.from == c.to ? 0.0f : c.t;
        for (std::size_t i = 0; i < v; ++i) {
            const Vec3& a = lod.positions[c.from * v + i];
            const Vec3& b = lod.positions[c.to * v + i];
            EXPECT_FLOAT_EQ(s.Positions()[i].x, a.x + (b.x - a.x) * t);
            EXPECT_FLOAT_EQ(s.Positions()[i].z, a.z + (b.z - a.z) * t);
            const Vec3& n = s.Normals()[i];
            if (c.from != c.to) EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0f, 1e-5f);
            else EXPECT_EQ(std::memcmp(&n, &lod.normals[c.from * v + i], sizeof n), 0);
        }
    }
}

TEST_F(MeshSegmentTest, SubMeshLookupsTestTheirIndices) {
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
    desc.subMeshes[1].name = std::string(32, 'n');  // fills the field without a terminator
    MeshSegment& s = Load(desc);
    EXPECT_EQ(s.GetSubCount(), 2u);
    EXPECT_NE(s.GetSubMeshInfo(1), nullptr);
    EXPECT_EQ(s.GetSubMeshInfo(2), nullptr);
    EXPECT_EQ(s.FindSubMesh(desc.subMeshes[0].name.c_str()), 0);
    EXPECT_EQ(s.FindSubMesh(std::string(32, 'n').c_str()), 1);
    EXPECT_EQ(s.FindSubMesh(std::string(33, 'n').c_str()), -1);
    EXPECT_EQ(s.FindSubMesh(nullptr), -1);
    EXPECT_EQ(s.IsSubMeshRangeEmpty(0), 0);
    EXPECT_EQ(s.IsSubMeshRangeEmpty(5), 1);
    // The nearest corner of triangle 0 to its own second corner.
    const MeshVertexData& lod = *s.Lod();
    const Vec3 p = lod.positions[lod.indices[1]];
    std::uint32_t colour = 0;
    EXPECT_EQ(s.NearestCorner(0, p, &colour), lod.positions[lod.indices[0]].x == p.x &&
                                                      lod.positions[lod.indices[0]].y == p.y &&
                                                      lod.positions[lod.indices[0]].z == p.z
                                                  ? 0
                                                  : 1);
    EXPECT_EQ(s.NearestCorner(lod.triangleCount, p, &colour), -1);
    // Sockets by exact name and index.
    ASSERT_EQ(s.GetSocketCount(), 1);
    EXPECT_EQ(s.FindSocket("hand"), 0);
    EXPECT_EQ(s.FindSocket("han"), 0xFFFF);
    EXPECT_EQ(s.FindSocket(nullptr), 0xFFFF);
    EXPECT_STREQ(s.GetSocketName(0), "hand");
    EXPECT_EQ(s.GetSocketName(1), nullptr);
    EXPECT_EQ(s.GetSocketBoneIndex(0), std::uint16_t(s.Data()->sockets[0]->boneIndex));
    EXPECT_EQ(s.GetSocketBoneIndex(1), 0xFFFF);
    ASSERT_NE(s.GetSocketMatrix(0), nullptr);
    EXPECT_EQ(s.GetSocketMatrix(0)->m[12], 5.0f);
    EXPECT_EQ(s.GetSocketLinkedValue(0), -1);
}

}  // namespace

namespace {

using namespace quor;
using namespace quor::test;

// A mesh whose one sub-mesh moves along x by its uv track: 0 at key 0, 10 at key 1 (100 ms).
MeshDesc TrackedMesh() { return MakeUvTrackedMesh(100); }

TEST_F(MeshSegmentTest, UvObjectsMoveTheirSubMeshes) {
    MeshSegment& s = Load(TrackedMesh());
    ASSERT_EQ(s.UvAnimationCount(), 1u);
    EXPECT_FALSE(s.SharesGeometry());
    EXPECT_EQ(s.KeyPlayer(), nullptr);
    world::TrackSampled* track = s.UvAnimation(0);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->Data(), s.Data()->subMeshTracks[0].get());
    EXPECT_TRUE(s.UpdateAnimation());
    track->SetTime(50.0f);
    s.ClearGeometryChanged();
    s.UpdateVertexAnimation();
    EXPECT_TRUE(s.GeometryChanged());
    const MeshVertexData& lod = *s.Lod();
    for (std::uint32_t v = 0; v < lod.ranges[0].vertexCount; ++v) {
        EXPECT_NEAR(s.Positions()[v].x, lod.positions[v].x + 5.0f, 1e-3f) << v;
        EXPECT_NEAR(s.Positions()[v].y, lod.positions[v].y, 1e-3f) << v;
    }
    // The current frame of a segment with uv objects is the first uv object's key.
    ExpectBounds(s.GetFrameBounds(MeshSegment::kCurrentFrame), s.Data()->FrameBounds(2 + 0), "uv key 0");
    // Sub-mesh indices outside the LOD are refused.
    Matrix m = MatrixIdentity();
    EXPECT_FALSE(s.TransformSubMesh(1, m, nullptr));
    // Normals go through the inverse's transpose: a stretch along x shrinks their x.
    m.m[0] = 2.0f;
    Matrix inverse = m;
    ASSERT_TRUE(MatrixInverse(inverse));
    ASSERT_TRUE(s.TransformSubMesh(0, m, &inverse));
    for (std::uint32_t v = 0; v < lod.ranges[0].vertexCount; ++v) {
        const Vec3& n = lod.normals[v];
        const float len = std::sqrt(n.x * n.x / 4 + n.y * n.y + n.z * n.z);
        EXPECT_NEAR(s.Positions()[v].x, 2.0f * lod.positions[v].x, 1e-3f) << v;
        EXPECT_NEAR(s.Normals()[v].x, n.x / 2 / len, 1e-5f) << v;
        EXPECT_NEAR(s.Normals()[v].y, n.y / len, 1e-5f) << v;
    }
    track->Stop();
    EXPECT_FALSE(s.UpdateAnimation()) << "nothing plays";
}

TEST_F(MeshSegmentTest, BoundsCoverTheVerticesMovedByTheMatrix) {
    MeshSegment& s = Load(MakeMesh(0x30011, 0, 2, 1));
    const MeshVertexData& lod = *s.Lod();
    Matrix m = MatrixIdentity();
    m.m[12] = 100.0f;
    Vec3 lo, hi;
    ASSERT_TRUE(s.GetBounds(lo, hi, &m));
    Vec3 wantLo = lod.positions[0], wantHi = lod.positions[0];
    for (std::uint32_t v = 0; v < lod.vertexCount; ++v) {
        const Vec3& p = lod.positions[v];
        wantLo = Vec3(std::min(wantLo.x, p.x), std::min(wantLo.y, p.y), std::min(wantLo.z, p.z));
        wantHi = Vec3(std::max(wantHi.x, p.x), std::max(wantHi.y, p.y), std::max(wantHi.z, p.z));
    }
    EXPECT_FLOAT_EQ(lo.x, wantLo.x + 100.0f);
    EXPECT_FLOAT_EQ(hi.x, wantHi.x + 100.0f);
    EXPECT_FLOAT_EQ(lo.z, wantLo.z);
    EXPECT_FLOAT_EQ(hi.y, wantHi.y);
}

}  // namespace
