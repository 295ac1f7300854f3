#include "world/mesh/MeshBase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingRenderer.h"
#include "platform/win32/Messages.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/track/TrackSampled.h"
#include "world/mesh/KeyFramePlayer.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/MeshSegment.h"
#include "world/mesh/MeshVertexBuffer.h"
#include "world/mesh/MeshVertexData.h"
#include "world/mesh/ModelMaterial.h"

namespace {

using namespace quor;
using namespace quor::test;

constexpr const char* kClear = "clear.fx::T";

// A mesh of named sub-meshes whose materials come from the file's block, one slot per
// distinct name; names listed in `clear` draw with a transparent technique.
MeshDesc NamedMesh(const std::vector<std::string>& names, const std::vector<std::string>& clear = {}, int lods = 1,
                   std::uint16_t type = 0) {
    MeshDesc desc = MakeMesh(0x30011, type, int(names.size()), lods);
    desc.sorterType = 0;
    std::vector<std::string> slots;
    for (std::size_t i = 0; i < names.size(); ++i) {
        desc.subMeshes[i].name = names[i];
        desc.subMeshes[i].extraName.clear();
        desc.subMeshes[i].materialSlot = 0;
        if (std::find(slots.begin(), slots.end(), names[i]) == slots.end()) slots.push_back(names[i]);
    }
    MaterialGroupDesc group = MakeMaterialGroup(slots);
    for (MaterialSlotDesc& slot : group.slots) {
        slot.material.stages.clear();
        if (std::find(clear.begin(), clear.end(), slot.name) != clear.end()) slot.material.technique = kClear;
    }
    desc.blob = WriteMaterialGroup(group);
    return desc;
}

// Two sub-meshes each moved by a uv track of two keys.
MeshDesc TrackedMesh() {
    MeshDesc m = NamedMesh({"a", "b"});
    m.subMeshTracks = true;
    TrackDesc t;
    t.times = {0, 100};
    TrackChannelDesc c;
    c.positions = {0, 0, 0, 10, 0, 0};
    c.rotations = {0, 0, 0, 1, 0, 0, 0, 1};
    c.scales.assign(6, 1.0f);
    t.channels = {c};
    m.tracks = {t, t};
    m.frameBounds.assign(2 * 3, {0, 0, 0, 1, 1, 1, 1});
    m.lods = {MakeLod(m.lods[0].vertexCounts, m.lods[0].triangleCounts, 1, true, 2, 1)};
    return m;
}

// A skinned mesh as the skeletal one makes it: the hardware-skin format and fill.
class SkinnedMesh final : public Mesh {
public:
    explicit SkinnedMesh(d3d9::IDirect3DDevice9* device) : Mesh(device) { SetHardwareSkinned(true); }

protected:
    bool UsesHardwareSkin() const override { return true; }
};

class MeshTest : public ::testing::Test {
protected:
    MeshTest() : log(MakeFiles()) {
        EXPECT_TRUE(world::RegisterModelTechniqueTemplates());
        scope.renderer.Store()->DefineEffect(kClear, 1, true);
    }
    ~MeshTest() override {
        mesh.reset();
        EXPECT_EQ(world::MeshDataMgr::GetInstance().Count(), 0u) << "every part gives its data back";
        world::MeshDataMgr::GetInstance().Clear();
        world::ReleaseMaterialStateCaches();
        EXPECT_EQ(scope.renderer.LiveObjects(), 0) << "every renderer object given back";
        EXPECT_EQ(device.LiveBuffers(), 0);
    }
    Mesh& Make() {
        mesh.reset(new Mesh(&device));
        return static_cast<Mesh&>(*mesh);
    }
    static bool Add(MeshBase& m, const MeshDesc& desc, const char* name) {
        const auto bytes = WriteMom(desc);
        return m.LoadMeshFromMemory(name, bytes.data(), bytes.size());
    }
    host::RecordingRenderable* Rec(render::IRenderable* r) { return static_cast<host::RecordingRenderable*>(r); }
    // The positions the buffer holds for a range, against the segment's current ones.
    static bool RangeHolds(const MeshVertexBuffer& b, int r, const Vec3* positions) {
        const MeshVertexBuffer::Range& range = b.Ranges()[std::size_t(r)];
        const std::uint8_t* at = b.PositionNormalBuffer()->Bytes() + range.firstVertex * MeshVertexBuffer::kPositionNormalStride;
        for (std::uint32_t v = 0; v < range.vertexCount; ++v) {
            if (std::memcmp(at + v * MeshVertexBuffer::kPositionNormalStride, &positions[v], sizeof(Vec3)) != 0) return false;
        }
        return true;
    }

    std::unique_ptr<host::ResFileSystemBase> MakeFiles() {
        auto fs = std::make_unique<host::MemoryFileSystem>();
        files = fs.get();
        return fs;
    }

    host::MemoryFileSystem* files = nullptr;
    LogCapture log;
    RendererScope scope;
    d3d9::IDirect3DDevice9 device;
    struct Destroy {
        void operator()(MeshBase* m) const { m->Destroy(); }
    };
    std::unique_ptr<MeshBase, Destroy> mesh;
    Matrix world = MatrixIdentity();
};

// ---- parts ----------------------------------------------------------------------------------

TEST_F(MeshTest, AFileAddedTwiceLogsAndIsAddedAndLaterPartsGrowTheBuffers) {
    Mesh& m = Make();
    EXPECT_TRUE(m.Ready());
    ASSERT_TRUE(Add(m, NamedMesh({"a", "b"}, {}, 2), "Rock.mom"));
    ASSERT_EQ(m.LodCount(), 2);
    const std::uint32_t capacity = m.VertexBuffer(0)->VertexCapacity();
    const std::uint32_t triangles = m.VertexBuffer(0)->TriangleCapacity();
    EXPECT_EQ(capacity, m.GetPart(0)->Data()->GetLod(0)->vertexCount);
    EXPECT_EQ(m.VertexBuffer(2), nullptr);
    log.Clear();
    ASSERT_TRUE(Add(m, NamedMesh({"a", "b"}, {}, 2), "rock.MOM"));
    EXPECT_TRUE(log.Contains("Load mesh file rock.MOM again in same model!")) << log.Joined();
    EXPECT_EQ(m.GetPartCount(), 2u);
    EXPECT_EQ(m.CurrentPart(), 1);
    EXPECT_EQ(m.GetSubMeshCount(), 4u);
    EXPECT_EQ(m.GetSubMesh(2), m.GetPart(1)->GetSubMesh(0));
    EXPECT_EQ(m.GetSubMesh(4), nullptr);
    for (int l = 0; l < 2; ++l) {
        EXPECT_EQ(m.VertexBuffer(l)->VertexCapacity(), m.GetPart(0)->Data()->GetLod(l)->vertexCount + 16384u);
    }
    EXPECT_EQ(m.VertexBuffer(0)->TriangleCapacity(), triangles + 16384u);
    EXPECT_NE(capacity, 0u);
    const std::string fileName = m.GetFileName().c_str();
    EXPECT_EQ(fileName.substr(fileName.size() - 8), "Rock.mom") << "the first part's";
    EXPECT_NE(m.GetSocketRecord(0), nullptr);
    EXPECT_EQ(m.GetSocketRecord(1), nullptr) << "an index past the sockets is refused";
}

TEST_F(MeshTest, AFailedAddKeepsThePartsAndLeavesTheMeshNotReady) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"a"}), "a.mom"));
    MeshDesc bad = NamedMesh({"b"});
    bad.magic = 0x12345678;
    files->AddFile("b.mom", WriteMom(bad));
    EXPECT_FALSE(m.LoadMeshFile("b.mom"));
    EXPECT_FALSE(m.Ready());
    EXPECT_EQ(m.GetPartCount(), 1u);
    EXPECT_EQ(m.GetSubMeshCount(), 1u);
    auto truncated = WriteMom(NamedMesh({"c"}));
    truncated.resize(truncated.size() / 2);
    EXPECT_FALSE(m.LoadMeshFromMemory("c.mom", truncated.data(), truncated.size()));
    MeshDesc overrun = NamedMesh({"e"});
    overrun.lodCountOverride = 8;  // more levels than the file holds
    EXPECT_FALSE(Add(m, overrun, "e.mom"));
    EXPECT_FALSE(m.LoadMeshFile("missing.mom"));
    EXPECT_EQ(m.GetPartCount(), 1u);
    ASSERT_TRUE(Add(m, NamedMesh({"d"}), "d.mom"));
    EXPECT_TRUE(m.Ready());
    EXPECT_EQ(m.GetPartCount(), 2u);
}

TEST_F(MeshTest, QueriesCheckTheirIndicesAndBoundsJoinTheParts) {
    Mesh& m = Make();
    MeshDesc first = NamedMesh({"a", "b"});
    first.bounds = {0, 0, 0, 1, 1, 1, 2};
    ASSERT_TRUE(Add(m, first, "a.mom"));
    MeshDesc second = NamedMesh({"c"});
    second.bounds = {10, 0, 0, 1, 2, 1, 3};
    ASSERT_TRUE(Add(m, second, "c.mom"));
    // Merged as a box: from x -1 to 11, y -2 to 2.
    const Bounds& b = m.GetMeshBounds();
    EXPECT_FLOAT_EQ(b.centre.x - b.half.x, -1.0f);
    EXPECT_FLOAT_EQ(b.centre.x + b.half.x, 11.0f);
    EXPECT_FLOAT_EQ(b.centre.y + b.half.y, 2.0f);
    m.UpdateBounds();
    EXPECT_FLOAT_EQ(m.GetMeshBounds().centre.x + m.GetMeshBounds().half.x, 11.0f);
    // The vertex box over both parts.
    Vec3 lo, hi, lo0, hi0, lo1, hi1;
    ASSERT_TRUE(m.GetBounds(lo, hi, nullptr));
    ASSERT_TRUE(m.GetPart(0)->GetBounds(lo0, hi0, nullptr));
    ASSERT_TRUE(m.GetPart(1)->GetBounds(lo1, hi1, nullptr));
    EXPECT_EQ(lo.x, std::min(lo0.x, lo1.x));
    EXPECT_EQ(hi.z, std::max(hi0.z, hi1.z));
    // Indices past the list are refused.
    EXPECT_FALSE(m.SetSubMeshDrawSettings(3, true, true));
    ASSERT_TRUE(m.SetSubMeshDrawSettings(2, true, true));
    const auto& values = Rec(m.GetSubMesh(2)->Renderable())->stateBlock.values;
    ASSERT_GE(values.size(), 2u);
    EXPECT_EQ(values[values.size() - 2], std::make_pair(MeshBase::kCullSetting, MeshBase::kCullReversed));
    EXPECT_EQ(values.back(), std::make_pair(MeshBase::kNormalizeSetting, 1.0f));
    const Bounds none = m.GetSubMeshFrameBounds(7, 0);
    EXPECT_EQ(none.radius, 0.0f);
    EXPECT_EQ(m.GetVertexCount(3), 0u);
    EXPECT_EQ(m.GetOccluderGeometry(), m.GetPart(0)->Data()->occluder.get());
    EXPECT_EQ(m.GetUVData(1, 0), nullptr) << "one uv channel";
    EXPECT_NE(m.GetUVData(0, 0), nullptr);
    EXPECT_EQ(m.GetIndexCount(0), 3 * m.GetPart(0)->Data()->GetLod(0)->triangleCount);
    // The material group: every part's materials, in part order.
    render::IMaterialGroup* group = m.GetMaterialGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->GetSlotCount(), 3u);
    EXPECT_EQ(group->GetSlotMaterial(2), m.GetPart(1)->ActiveGroup()->GetSlotMaterial(0));
    EXPECT_EQ(m.GetMaterialGroup()->GetSlotCount(), 3u) << "emptied before each refill";
}

TEST_F(MeshTest, SetLodGivesEachPartItsProportionalLevel) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"a"}, {}, 4), "four.mom"));
    ASSERT_TRUE(Add(m, NamedMesh({"b"}, {}, 2), "two.mom"));
    struct Case {
        int level, current, first, second;
    };
    const Case cases[] = {{0, 0, 0, 0}, {1, 1, 1, 0}, {2, 2, 2, 1}, {3, 3, 3, 1}, {7, 3, 3, 1}, {-2, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        EXPECT_TRUE(m.SetLod(c.level));
        EXPECT_EQ(m.CurrentLod(), c.current);
        EXPECT_EQ(m.GetPart(0)->LodIndex(), std::uint32_t(c.first));
        EXPECT_EQ(m.GetPart(1)->LodIndex(), std::uint32_t(c.second));
        EXPECT_TRUE(m.DrawListStale());
        EXPECT_TRUE(m.VertexAnimationApplied());
        EXPECT_EQ(m.GetCurrentVertexBuffer(), m.VertexBuffer(c.current));
    }
}

TEST_F(MeshTest, SorterTypeGoesIntoEveryPartAndItsData) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"a"}), "a.mom"));
    ASSERT_TRUE(Add(m, NamedMesh({"b"}), "b.mom"));
    m.SetSorterType(1);
    EXPECT_EQ(m.GetSorterType(), 1u);
    for (std::uint32_t p = 0; p < 2; ++p) {
        EXPECT_EQ(m.GetPart(p)->SorterType(), 1u);
        EXPECT_EQ(m.GetPart(p)->Data()->sorterType, 1u);
    }
}

TEST_F(MeshTest, VertexKeyRequestsGoToTheFirstPartsPlayer) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"k"}, {}, 1, 2), "keys.mom")) << log.Joined();
    EXPECT_FALSE(m.HasAnimation(MeshBase::kSkeletal));
    EXPECT_FALSE(m.HasAnimation(MeshBase::kUv));
    EXPECT_EQ(m.GetCurrentAnimation(MeshBase::kUv), -1);
    EXPECT_TRUE(m.HasAnimation(MeshBase::kVertexKeys));
    EXPECT_EQ(m.GetAnimationCount(MeshBase::kVertexKeys), 1);
    EXPECT_EQ(m.GetCurrentAnimation(MeshBase::kVertexKeys), 0);
    PlayClock& clock = m.GetPart(0)->KeyPlayer()->Clock();
    EXPECT_TRUE(m.PlayAnimation(0, MeshBase::kVertexKeys, 20.0f, false, 0));
    EXPECT_FALSE(m.VertexAnimationApplied()) << "a new time is blended at the next draw";
    EXPECT_NEAR(m.GetAnimationTime(MeshBase::kVertexKeys), 20.0f, 1e-3f);
    EXPECT_FALSE(m.IsAnimationLoop(MeshBase::kVertexKeys));
    EXPECT_TRUE(m.PlayAnimation(0, MeshBase::kVertexKeys, -1.0f, true, 2));
    EXPECT_FALSE(m.IsAnimationLoop(MeshBase::kVertexKeys)) << "flag 2 keeps the loop setting";
    m.SetAnimationSpeed(2.0f, MeshBase::kVertexKeys);
    EXPECT_EQ(m.GetAnimationSpeed(MeshBase::kVertexKeys), 2.0f);
    m.SetAnimationReverse(true, MeshBase::kVertexKeys);
    EXPECT_TRUE(m.IsAnimationReverse(MeshBase::kVertexKeys));
    EXPECT_NEAR(m.GetAnimationLength(MeshBase::kVertexKeys), float(clock.length), 1e-4f);
    EXPECT_TRUE(m.IsAnimationPlaying(MeshBase::kVertexKeys));
    m.StopAnimation(MeshBase::kVertexKeys);
    EXPECT_FALSE(m.IsAnimationPlaying(MeshBase::kVertexKeys));
    clock.state = 2;
    EXPECT_TRUE(m.IsAnimationFinished(MeshBase::kVertexKeys));
    EXPECT_EQ(m.GetAnimationTime(9), 0.0f);
    EXPECT_FALSE(m.SetAnimationTime(1.0f, MeshBase::kUv));
}

TEST_F(MeshTest, UvTrackAnswersAreTheFirstAboveTheThreshold) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, TrackedMesh(), "tracks.mom"));
    ASSERT_TRUE(m.HasAnimation(MeshBase::kUv));
    MeshSegment& part = *m.GetPart(0);
    ASSERT_EQ(part.UvAnimationCount(), 2u);
    world::TrackSampled& t0 = *part.UvAnimation(0);
    world::TrackSampled& t1 = *part.UvAnimation(1);
    struct Case {
        float first, second, want;
    };
    const Case cases[] = {{0.0001f, 0.00005f, 0.0f}, {0.00005f, 3.0f, 3.0f}, {2.0f, 3.0f, 2.0f}, {0.0f, 0.0f, 0.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.want);
        t0.SetSpeed(c.first);
        t1.SetSpeed(c.second);
        EXPECT_EQ(m.GetAnimationSpeed(MeshBase::kUv), c.want);
        t0.Clock().length = c.first;
        t1.Clock().length = c.second;
        EXPECT_EQ(m.GetAnimationLength(MeshBase::kUv), c.want);
    }
    t0.Clock().length = t1.Clock().length = 100.0;
    m.SetAnimationSpeed(1.0f, MeshBase::kUv);
    EXPECT_TRUE(m.SetAnimationTime(40.0f, MeshBase::kUv));
    EXPECT_FALSE(m.VertexAnimationApplied());
    EXPECT_NEAR(t1.GetTime(), 40.0f, 1e-3f);
    EXPECT_NEAR(m.GetAnimationTime(MeshBase::kUv), 40.0f, 1e-3f);
    m.StopAnimation(MeshBase::kUv);
    EXPECT_FALSE(m.IsAnimationPlaying(MeshBase::kUv));
    EXPECT_TRUE(m.PlayAnimation(0, MeshBase::kUv, -1.0f, false, 0));
    EXPECT_FALSE(m.IsAnimationLoop(MeshBase::kUv));
    t1.SetReverse(true);
    EXPECT_TRUE(m.IsAnimationReverse(MeshBase::kUv));
}

// Whether each UpdateAnimation call of a run advanced the animation.
std::string Ticks(MeshBase& m, int calls) {
    std::string out;
    for (int i = 0; i < calls; ++i) {
        m.UpdateVertexAnimation();
        out += m.UpdateAnimation(false) ? '.' : 'T';
    }
    return out;
}

TEST_F(MeshTest, ASharedMeshTicksOncePerRoundOfItsModels) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"k"}, {}, 1, 2), "keys.mom"));
    m.AddRef();
    EXPECT_EQ(Ticks(m, 3), "TTT") << "one model: every call";
    m.AddRef();
    EXPECT_EQ(Ticks(m, 6), "T.T.T.");
    m.AddRef();
    EXPECT_EQ(Ticks(m, 6), "T..T..");
    EXPECT_EQ(Ticks(m, 2), "T.");
    // A model leaves while the counter stands at 2 of 3: the animation goes on.
    m.DecRef();
    EXPECT_EQ(Ticks(m, 5), ".T.T.");
    m.DecRef();
    m.DecRef();
}

// ---- drawing --------------------------------------------------------------------------------

TEST_F(MeshTest, MergedDrawsJoinSameStateRunsAndKeepTransparentAlone) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"stone", "wood", "stone", "glass", "glass"}, {"glass"}), "m.mom"));
    m.SetMergeDraws(true);
    ASSERT_TRUE(m.Render(world, nullptr));
    const auto& list = m.DrawList();
    const MeshVertexBuffer& b = *m.GetCurrentVertexBuffer();
    ASSERT_EQ(list.size(), 4u);
    const auto range = [&](int s) { return b.Ranges()[std::size_t(m.GetSubMesh(std::uint32_t(s))->BufferRange())]; };
    // stone + stone, then wood right after, then each glass alone.
    EXPECT_EQ(list[0].subMesh, m.GetSubMesh(0));
    EXPECT_EQ(list[0].firstVertex, 0u);
    EXPECT_EQ(range(2).firstVertex, range(0).vertexCount);
    EXPECT_EQ(list[0].vertexCount, range(0).vertexCount + range(2).vertexCount);
    EXPECT_EQ(list[0].triangleCount, range(0).triangleCount + range(2).triangleCount);
    EXPECT_EQ(list[1].subMesh, m.GetSubMesh(1));
    EXPECT_EQ(range(1).firstVertex, list[0].vertexCount);
    EXPECT_EQ(list[1].firstVertex, range(1).firstVertex);
    EXPECT_EQ(list[1].firstTriangle, range(1).firstTriangle);
    EXPECT_TRUE(list[2].transparent && list[3].transparent);
    EXPECT_EQ(m.GetSubMesh(2)->DrawEntry(), 0);
    EXPECT_EQ(m.GetSubMesh(4)->DrawEntry(), 3);
    // The opaque entries go to the renderer; the transparent ones wait for DrawSubMesh.
    scope.renderer.ClearCalls();
    m.DrawSubMeshes(world);
    EXPECT_EQ(Rec(list[0].renderable)->submits + Rec(list[1].renderable)->submits, 2);
    EXPECT_EQ(Rec(list[2].renderable)->submits, 0);
    EXPECT_TRUE(m.DrawSubMesh(3, world));
    EXPECT_EQ(Rec(list[2].renderable)->submits, 1);
    EXPECT_EQ(Rec(list[0].renderable)->ranges[0].primitiveCount, list[0].triangleCount);
    EXPECT_EQ(Rec(list[0].renderable)->ranges[0].firstIndex, 3 * list[0].firstTriangle);
    EXPECT_EQ(Rec(list[0].renderable)->stream, b.Stream());
    // A sub-mesh merged into another's entry draws that whole entry.
    EXPECT_TRUE(m.DrawSubMesh(2, world));
    EXPECT_EQ(Rec(list[0].renderable)->submits, 2);
    EXPECT_FALSE(m.DrawSubMesh(5, world)) << "an index past the list draws nothing";
}

TEST_F(MeshTest, UnmergedDrawsGiveEachVisibleSubMeshItsEntry) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"a", "a", "b"}), "m.mom"));
    ASSERT_TRUE(m.SetSubMeshVisible(1, false));
    EXPECT_FALSE(m.SetSubMeshVisible(3, false));
    ASSERT_TRUE(m.Render(world, nullptr));
    const auto& list = m.DrawList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(m.GetSubMesh(1)->BufferRange(), -1) << "an invisible sub-mesh gets no range";
    EXPECT_EQ(m.GetSubMesh(1)->DrawEntry(), -1);
    EXPECT_FALSE(m.DrawSubMesh(1, world));
    EXPECT_EQ(list[1].subMesh, m.GetSubMesh(2));
    EXPECT_EQ(Rec(list[1].renderable)->record, m.GetSubMesh(2)->Record());
    EXPECT_TRUE(RangeHolds(*m.GetCurrentVertexBuffer(), 1, m.GetPart(0)->Positions() + m.GetPart(0)->Lod()->ranges[2].firstVertex));
    // A render mode reaches every sub-mesh, hidden ones too.
    RenderModeDesc mode;
    mode.value0 = 7;
    m.SetRenderMode(mode);
    m.DrawSubMeshes(world);
    for (std::uint32_t i = 0; i < 3; ++i) EXPECT_NE(m.GetSubMesh(i)->RenderModeState(), nullptr) << i;
}

TEST_F(MeshTest, AFullBufferStopsTheWalk) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"a", "b", "c"}), "m.mom"));
    // Room for the first two sub-meshes only (3 and 4 vertices).
    m.GetCurrentVertexBuffer()->Resize(8, 100);
    ASSERT_TRUE(m.Render(world, nullptr));
    EXPECT_EQ(m.DrawList().size(), 2u);
    EXPECT_EQ(m.GetSubMesh(2)->BufferRange(), -1);
    EXPECT_FALSE(m.DrawSubMesh(2, world));
}

TEST_F(MeshTest, SharingModeFollowsTheUsersAndTheEntryKind) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"a", "glass"}, {"glass"}), "m.mom"));
    ASSERT_TRUE(m.Render(world, nullptr));
    const auto& list = m.DrawList();
    ASSERT_EQ(list.size(), 2u);
    for (int users : {1, 2}) {
        while (m.GetRefCount() < users) m.AddRef();
        world.m[12] = float(users);
        EXPECT_TRUE(m.PrepareRender(list[0], world));
        EXPECT_TRUE(m.PrepareRender(list[1], world));
        EXPECT_EQ(Rec(list[0].renderable)->sharingMode, users == 1 ? 0 : 1);
        EXPECT_EQ(Rec(list[1].renderable)->sharingMode, users == 1 ? 0 : 2);
        EXPECT_EQ(Rec(list[1].renderable)->matrix[12], float(users));
    }
    m.DecRef();
    m.DecRef();
}

TEST_F(MeshTest, PerFrameOnlyChangedPartsAreRewrittenWithOneLockPerStream) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"still"}), "still.mom"));
    MeshDesc moving = NamedMesh({"k"}, {}, 1, 2);
    moving.sorterType = 0;
    ASSERT_TRUE(Add(m, moving, "moving.mom"));
    ASSERT_TRUE(m.Render(world, nullptr));
    MeshVertexBuffer& b = *m.GetCurrentVertexBuffer();
    ASSERT_EQ(b.Ranges().size(), 2u);
    // The rebuild leaves the flags of the first build: one more refresh takes them.
    ASSERT_TRUE(m.Render(world, nullptr));
    // Nothing changed: nothing is locked.
    int locks = device.Locks();
    ASSERT_TRUE(m.Render(world, nullptr));
    EXPECT_EQ(device.Locks(), locks);
    // Mark the still part's bytes; a frame where only the moving part animates leaves them.
    void* at = nullptr;
    ASSERT_EQ(b.PositionNormalBuffer()->Lock(0, 4, &at, 0), d3d9::D3D_OK);
    std::memset(at, 0x7F, 4);
    b.PositionNormalBuffer()->Unlock();
    m.GetPart(1)->KeyPlayer()->Clock().time = 40.0;
    m.UpdateVertexAnimation();
    locks = device.Locks();
    ASSERT_TRUE(m.Render(world, nullptr));
    EXPECT_EQ(device.Locks(), locks + 1) << "the position-normal stream, once";
    EXPECT_EQ(b.PositionNormalBuffer()->Bytes()[0], 0x7F);
    EXPECT_TRUE(RangeHolds(b, 1, m.GetPart(1)->Positions()));
    EXPECT_FALSE(m.GetPart(1)->GeometryChanged());
}

// Transparent triangles are sorted again when the model moved or the camera did; then only
// the index stream is rewritten.
TEST_F(MeshTest, AMovedModelOrCameraResortsAndRewritesTheIndices) {
    Mesh& m = Make();
    MeshDesc desc = NamedMesh({"glass", "stone"}, {"glass"});
    desc.sorterType = 1;
    ASSERT_TRUE(Add(m, desc, "m.mom"));
    world::Camera camera;
    camera.GetWorldMatrix();
    camera.ClearTransformChanged();
    ASSERT_TRUE(m.Render(world, &camera));
    ASSERT_TRUE(m.Render(world, &camera));
    struct Step {
        const char* what;
        bool modelMoved, cameraMoved;
        int locks;
    };
    const Step steps[] = {{"still", false, false, 0}, {"camera moved", false, true, 1}, {"model moved", true, false, 1}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        camera.ClearTransformChanged();
        if (s.cameraMoved) camera.SetPosition(Vec3{0, 1, -50});
        m.UpdateAnimation(s.modelMoved);
        const int locks = device.Locks();
        ASSERT_TRUE(m.Render(world, &camera));
        EXPECT_EQ(device.Locks() - locks, s.locks);
        EXPECT_FALSE(m.GetPart(0)->IndexListDirty());
    }
}

TEST_F(MeshTest, AfterADeviceResetEveryVisibleSubMeshIsRewritten) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"a", "b", "c"}), "m.mom"));
    MeshVertexBuffer& b = *m.GetCurrentVertexBuffer();
    b.SetPositionNormalPool(d3d9::D3DUSAGE_WRITEONLY | d3d9::D3DUSAGE_DYNAMIC, d3d9::D3DPOOL_DEFAULT);
    b.SetIndexPool(d3d9::D3DUSAGE_WRITEONLY | d3d9::D3DUSAGE_DYNAMIC, d3d9::D3DPOOL_DEFAULT);
    ASSERT_TRUE(m.SetSubMeshVisible(1, false));
    ASSERT_TRUE(m.Render(world, nullptr));
    EXPECT_TRUE(m.OnDeviceReset());
    EXPECT_EQ(device.LiveBuffers(d3d9::D3DPOOL_DEFAULT), 0);
    EXPECT_EQ(device.Reset(), d3d9::D3D_OK);
    ASSERT_TRUE(m.Render(world, nullptr));
    EXPECT_TRUE(b.PositionNormalFilled());
    EXPECT_TRUE(b.IndexFilled());
    const MeshSegment& part = *m.GetPart(0);
    EXPECT_TRUE(RangeHolds(b, 0, part.Positions() + part.Lod()->ranges[0].firstVertex));
    EXPECT_TRUE(RangeHolds(b, 1, part.Positions() + part.Lod()->ranges[2].firstVertex));
    m.OnDeviceLost();
}

TEST_F(MeshTest, RenderWithoutABufferFillsNothing) {
    Mesh& m = Make();
    EXPECT_FALSE(m.Render(world, nullptr));
    ASSERT_TRUE(Add(m, NamedMesh({"a"}), "m.mom"));
    m.Clear();
    EXPECT_EQ(m.GetPartCount(), 0u);
    EXPECT_FALSE(m.Render(world, nullptr));
    EXPECT_EQ(device.LiveBuffers(), 0);
}

TEST_F(MeshTest, TheFillIsTimedOnTheScriptObjectWhenThereIsOne) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"a"}), "m.mom"));
    ASSERT_TRUE(m.Render(world, nullptr)) << "no script client: untimed";
    host::RecordingScriptClient& client = log.bound.host.scriptClient;
    log.bound.host.PublishScriptClient();
    ASSERT_EQ(log.bound.host.registry.GetInterface("IPyClient_1.0"), static_cast<client::IPyClient*>(&client));
    Interfaces().pyClient = &client;
    client.object.SetClock(10.0f, 2.5f);
    ASSERT_TRUE(m.Render(world, nullptr));
    EXPECT_EQ(client.object.Reads(), 2);
    ASSERT_EQ(client.object.Calls().size(), 1u);
    EXPECT_EQ(client.object.Calls()[0], std::make_pair(4, 2.5f));
    client.withObject = false;
    ASSERT_TRUE(m.Render(world, nullptr));
    EXPECT_EQ(client.object.Reads(), 2);
}

TEST_F(MeshTest, HardwareSkinFillWritesSkinVerticesAndSkipsAPartWithoutSkinBlocks) {
    mesh.reset(new SkinnedMesh(&device));
    MeshBase& m = *mesh;
    const auto skeletal = WriteMom(NamedMesh({"s", "t"}, {}, 1, 1));
    MeshData* data = world::MeshDataMgr::GetInstance().LoadFromMemory("skin.mom", skeletal.data(), skeletal.size(),
                                                                        world::MeshDataMgr::kSkeletal);
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(m.SetMeshData(data));
    ASSERT_TRUE(m.Render(world, nullptr));
    const MeshVertexBuffer& b = *m.GetCurrentVertexBuffer();
    ASSERT_EQ(m.DrawList().size(), 2u);
    // The first vertex's position leads its 68 bytes.
    const auto& block = *m.GetPart(0)->Lod();
    const auto& r1 = block.ranges[1];
    EXPECT_EQ(std::memcmp(b.PositionNormalBuffer()->Bytes() + b.Ranges()[1].firstVertex * MeshVertexBuffer::kSkinStride,
                          &block.positions[r1.firstVertex], sizeof(Vec3)),
              0);
    // A part of plain blocks has nothing to skin: logged, skipped, the process goes on.
    ASSERT_TRUE(Add(m, NamedMesh({"plain"}), "plain.mom"));
    ASSERT_TRUE(m.GetCurrentVertexBuffer()->Create());
    win32::MessageSink::Instance().Clear();
    log.Clear();
    EXPECT_FALSE(m.FillHardwareSkinStreams());
    EXPECT_EQ(m.DrawList().size(), 2u);
    EXPECT_EQ(win32::MessageSink::Instance().DebugOutput(),
              std::vector<std::string>{"mesh_data为空，发生致命错误！程序退出\n"});
    EXPECT_FALSE(log.Lines().empty());
    EXPECT_EQ(m.GetSubMesh(2)->DrawEntry(), -1);
}

// A loader thread adds parts while the drawing thread updates, renders and draws.
TEST_F(MeshTest, MeshDrawThread) {
    Mesh& m = Make();
    ASSERT_TRUE(Add(m, NamedMesh({"k", "l"}, {}, 1, 2), "first.mom"));
    std::vector<std::vector<std::uint8_t>> files;
    for (int i = 0; i < 8; ++i) files.push_back(WriteMom(NamedMesh({"p" + std::to_string(i), "q"})));
    std::atomic<bool> done{false};
    std::thread loader([&] {
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string name = "part" + std::to_string(i) + ".mom";
            EXPECT_TRUE(m.LoadMeshFromMemory(name.c_str(), files[i].data(), files[i].size()));
        }
        done = true;
    });
    int drawn = 0;
    for (int frame = 0; frame < 1000; ++frame) {
        m.UpdateAnimation(frame % 7 == 0);
        if (m.Render(world, nullptr)) ++drawn;
        m.DrawSubMeshes(world);
        for (std::uint32_t i = 0; i < m.GetSubMeshCount(); ++i) m.DrawSubMesh(i, world);
        if (frame % 50 == 0) m.MarkDrawListStale();
    }
    loader.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(drawn, 1000);
    EXPECT_EQ(m.GetPartCount(), 9u);
    EXPECT_EQ(m.GetSubMeshCount(), 2u + 16u);
    m.MarkDrawListStale();
    ASSERT_TRUE(m.Render(world, nullptr));
    EXPECT_EQ(m.DrawList().size(), 18u);
}

}  // namespace
