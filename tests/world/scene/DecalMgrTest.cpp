#include "world/scene/DecalMgr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/FlatTerrain.h"
#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/VisibleObject.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/IDecalHolder.h"

namespace {

using namespace quor;
using namespace quor::test;
using host::RecordingDecal;
using world::DecalMgr;
using world::ModelBase;
using world::VisibleObject;

// A terrain whose counts come from a list, one per call, round and round; it fills with 7s.
struct CountingTerrain final : render::TerrainObject {
    void Release() override {}
    void SetOption(int, int) override {}
    void Update() override {}
    void Render() override {}
    void SetScene(void*) override {}
    void OnLostDevice() override {}
    void OnResetDevice() override {}
    void SetLodDistance(int, float) override {}
    void RenderPass() override {}
    void UpdateAround(float, float) override {}
    int CountDecalVertices(render::IRenderCamera*) override {
        return last = answers[std::size_t(asked++) % answers.size()];
    }
    void FillDecalVertices(float* out) override { std::fill(out, out + 3 * last, 7.0f); }
    std::vector<int> answers{0};
    int asked = 0, last = 0;
};

struct Holder final : world::IDecalHolder {
    render::IDecal* GetDecal() override { return decal; }
    render::IDecal* decal = nullptr;
};

struct DecalFixture {
    DecalFixture() {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        files->AddFile("q.mom", WriteMom(SquareMesh()));
        terrain = host::FlatTerrain::Parse("flat 50 0");
    }
    ~DecalFixture() {
        for (ModelBase* m : models) delete static_cast<world::SpaceObject*>(m);
    }
    // The unit square model (x, y in [-1, 1], z = 0) at the position, taking decals.
    ModelBase* Model(Vec3 at, int userInt = DecalMgr::kTakesDecals) {
        auto* m = new world::Model();
        models.push_back(m);
        EXPECT_TRUE(m->ChangeMeshFile("q.mom"));
        m->SetLoading(0);
        m->SetPosition(at);
        m->SetUserInt(userInt);
        m->BuildPickTrees();
        visible.push_back(m);
        return m;
    }
    // A decal looking straight down at (x, z) over a w x w square, 20 deep from y = 10.
    RecordingDecal* Decal(DecalMgr& mgr, float x, float z, float w, ModelBase* target = nullptr) {
        auto* d = static_cast<RecordingDecal*>(mgr.AddDecal(&description, target));
        const float view[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, -x, -z, 10, 1};
        d->camera.SetViewMatrix(view);
        d->camera.SetOrthographic(w, w, 0.1f, 20.0f);
        return d;
    }
    host::RecordingRenderer& renderer() { return fx.host().renderer; }
    d3d9::IDirect3DDevice9& device() { return fx.host().device.Direct3D(); }

    WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    std::unique_ptr<host::FlatTerrain> terrain;
    std::vector<ModelBase*> models;
    std::vector<VisibleObject*> visible;
    int description = 1;
};

// The draw range of the decal's last record: {first vertex, vertex count}, or {-1, -1} when empty.
std::pair<int, int> LastRange(const RecordingDecal* d) {
    if (d->draws.empty() || d->draws.back().ranges.empty()) return {-1, -1};
    const render::DrawRange& r = d->draws.back().ranges[0];
    EXPECT_EQ(r.firstIndex, r.firstVertex);
    EXPECT_EQ(r.primitiveCount * 3, r.vertexCount);
    return {int(r.firstVertex), int(r.vertexCount)};
}

TEST(DecalMgr, DecalsTakeModelTrianglesElseTheTerrain) {
    DecalFixture f;
    ModelBase* a = f.Model({0, 0, 0});
    ModelBase* b = f.Model({1, 0, 0});
    f.Model({0, 0, 0}, 0);  // takes no decals
    DecalMgr mgr;
    RecordingDecal* both = f.Decal(mgr, 0, 0, 4);
    RecordingDecal* onlyB = f.Decal(mgr, 0, 0, 4, b);
    RecordingDecal* ground = f.Decal(mgr, 30, 30, 2);
    mgr.Build(f.visible, f.terrain.get());
    // The square's collision mesh is one triangle.
    EXPECT_EQ(LastRange(both), (std::pair<int, int>{0, 6}));
    EXPECT_EQ(LastRange(onlyB), (std::pair<int, int>{6, 3}));
    // The ground under the third: a 2 x 2 grid of cells, two triangles each.
    EXPECT_EQ(LastRange(ground), (std::pair<int, int>{9, 24}));
    const float* store = DecalMgr::Store();
    for (int i = 6; i < 9; ++i) EXPECT_GE(store[3 * i], 0.0f);  // b's square runs over x in [0, 2]
    for (int i = 9; i < 33; ++i) EXPECT_EQ(store[3 * i + 1], 0.0f);
    // The store went up to the device buffer.
    d3d9::IDirect3DVertexBuffer9* vb = nullptr;
    auto* stream = static_cast<host::RecordingVertexBuffer*>(mgr.VertexBufferObject());
    vb = static_cast<d3d9::IDirect3DVertexBuffer9*>(stream->streams[0]);
    EXPECT_EQ(std::memcmp(vb->Bytes(), store, 33 * 12), 0);
    EXPECT_EQ(f.terrain->calls, (std::vector<std::string>{"CountDecalVertices", "FillDecalVertices"}));
    (void)a;

    // Without projection onto models every decal takes the ground.
    mgr.SetProjectOntoModels(false);
    mgr.Build(f.visible, f.terrain.get());
    EXPECT_EQ(LastRange(both), (std::pair<int, int>{0, 96}));
    // Render hands every decal's renderable to the decal pass, in order.
    mgr.Render();
    host::RecordingExtTechnique* pass = f.renderer().FindExtTechnique("<Decal>");
    ASSERT_NE(pass, nullptr);
    EXPECT_EQ(pass->parameters, (std::vector<void*>{both->GetRenderable(), onlyB->GetRenderable(), ground->GetRenderable()}));
}

TEST(DecalMgr, BuffersAreMadeOnceAndRetriedAfterAFailure) {
    DecalFixture f;
    DecalMgr mgr;
    f.Decal(mgr, 0, 0, 2);
    f.device().FailCreation(2);
    const int before = f.device().LiveBuffers();
    mgr.Build(f.visible, f.terrain.get());
    EXPECT_EQ(mgr.VertexBufferObject(), nullptr);
    EXPECT_EQ(f.device().LiveBuffers(), before);
    EXPECT_TRUE(mgr.Records()[0].decal && static_cast<RecordingDecal*>(mgr.Records()[0].decal)->draws.empty());
    mgr.Build(f.visible, f.terrain.get());
    auto* stream = static_cast<host::RecordingVertexBuffer*>(mgr.VertexBufferObject());
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->name, "DecalMgr");
    EXPECT_EQ(stream->primitiveType, 4);
    EXPECT_EQ(stream->strides[0], 12u);
    ASSERT_EQ(stream->elements.size(), 1u);
    EXPECT_EQ(stream->elements[0].type, render::kElementFloat3);
    auto* vb = static_cast<d3d9::IDirect3DVertexBuffer9*>(stream->streams[0]);
    auto* ib = static_cast<d3d9::IDirect3DIndexBuffer9*>(stream->indexBuffer);
    ASSERT_TRUE(vb && ib);
    EXPECT_EQ(vb->Length(), 600000u);
    EXPECT_EQ(ib->Length(), 300000u);
    EXPECT_EQ(ib->Format(), d3d9::D3DFMT_INDEX16);
    std::uint16_t idx[3];
    std::memcpy(idx, ib->Bytes() + 2 * 3 * 30000, 6);
    EXPECT_EQ(idx[0], std::uint16_t(90000));
    EXPECT_EQ(idx[2], std::uint16_t(90002));
    EXPECT_EQ(f.device().LiveBuffers(), before + 2);
    mgr.Build(f.visible, f.terrain.get());
    EXPECT_EQ(f.device().LiveBuffers(), before + 2);
}

TEST(DecalMgr, TheStoreFillsUpWithoutOverrunning) {
    DecalFixture f;
    f.Model({0, 0, 0});
    DecalMgr mgr;
    CountingTerrain ground;
    RecordingDecal* first = f.Decal(mgr, 30, 30, 2);
    RecordingDecal* second = f.Decal(mgr, 30, 30, 2);
    // 20 positions left: 20 more do not fit (one must stay spare), 18 do.
    ground.answers = {49980, 20};
    mgr.Build({}, &ground);
    EXPECT_EQ(LastRange(first), (std::pair<int, int>{0, 49980}));
    ASSERT_EQ(second->draws.size(), 1u);
    EXPECT_EQ(LastRange(second), (std::pair<int, int>{-1, -1}));
    ground.answers = {49980, 18};
    mgr.Build({}, &ground);
    EXPECT_EQ(LastRange(second), (std::pair<int, int>{49980, 18}));
    EXPECT_EQ(DecalMgr::Store()[3 * 49997], 7.0f);


    // A model that finds no room marks the store full: that decal and every later one take
    // neither models nor ground, and each gets an empty draw record.
    mgr.RemoveDecal(second);
    RecordingDecal* onModel = f.Decal(mgr, 0, 0, 4);
    RecordingDecal* after = f.Decal(mgr, 0, 0, 4);
    ground.answers = {49998};
    ground.asked = 0;
    mgr.Build(f.visible, &ground);
    EXPECT_EQ(LastRange(first), (std::pair<int, int>{0, 49998}));
    EXPECT_EQ(LastRange(onModel), (std::pair<int, int>{-1, -1}));
    EXPECT_EQ(LastRange(after), (std::pair<int, int>{-1, -1}));
    EXPECT_EQ(ground.asked, 1);
    // With room again the model's triangle comes back.
    ground.answers = {0};
    mgr.Build(f.visible, &ground);
    EXPECT_EQ(LastRange(onModel), (std::pair<int, int>{0, 3}));
    EXPECT_EQ(LastRange(after), (std::pair<int, int>{3, 3}));
}

TEST(DecalMgr, RecordsAndReleases) {
    DecalFixture f;
    host::RecordingRenderer& r = f.renderer();
    {
        DecalMgr mgr;
        // Null decals are never kept.
        EXPECT_EQ(mgr.AddDecal(nullptr, nullptr), nullptr);
        r.failDecals = true;
        EXPECT_EQ(mgr.AddDecal(&f.description, nullptr), nullptr);
        r.failDecals = false;
        mgr.AddModelDecal(static_cast<render::IDecal*>(nullptr), nullptr, nullptr);
        Holder empty;
        mgr.AddModelDecal(&empty, nullptr);
        EXPECT_EQ(mgr.GetCount(), 0u);

        render::IDecal* own = mgr.AddDecal(&f.description, nullptr);
        ASSERT_NE(own, nullptr);
        EXPECT_EQ(static_cast<RecordingDecal*>(own)->description, &f.description);
        Holder holder;
        holder.decal = own;
        mgr.AddModelDecal(&holder, nullptr);  // the same key, as a model decal
        EXPECT_EQ(mgr.GetCount(), 2u);
        // Removing a shared key takes the later record only; a model decal is not released.
        mgr.RemoveModelDecals(&holder);
        EXPECT_EQ(mgr.GetCount(), 1u);
        EXPECT_FALSE(mgr.Records()[0].modelDecal);
        EXPECT_EQ(r.LiveDecals(), 1);
        mgr.RemoveDecal(own);
        EXPECT_EQ(r.LiveDecals(), 0);
        mgr.RemoveDecal(own);  // gone already: nothing
        mgr.RemoveDecal(nullptr);

        // Clear releases the manager's decals only, and keeps the buffers.
        mgr.AddDecal(&f.description, nullptr);
        Holder other;
        other.decal = static_cast<render::IDecal*>(r.Decals().front());
        mgr.AddDecal(&f.description, nullptr);
        mgr.Build(f.visible, f.terrain.get());
        render::IVertexBuffer* stream = mgr.VertexBufferObject();
        mgr.Clear();
        EXPECT_EQ(mgr.GetCount(), 0u);
        EXPECT_EQ(r.LiveDecals(), 0);
        EXPECT_EQ(mgr.VertexBufferObject(), stream);
        // The destructor releases a remaining decal and the buffers, but not a model decal.
        mgr.AddDecal(&f.description, nullptr);
        auto* foreign = static_cast<RecordingDecal*>(f.renderer().CreateDecalBatch(&f.description));
        mgr.AddModelDecal(foreign, nullptr, nullptr);
        EXPECT_EQ(r.LiveDecals(), 2);
    }
    EXPECT_EQ(r.LiveDecals(), 1);
    EXPECT_EQ(r.BadDecalReleases(), 0);
}

TEST(DecalMgr, BuildingLeavesTheFrameCullingAsItWas) {
    DecalFixture f;
    ModelBase* near = f.Model({0, 0, 0});
    ModelBase* far = f.Model({40, 0, 40});
    for (ModelBase* m : {near, far}) m->SetCullCandidate(true);
    // A frame frustum around the far model only, and the culling it gives.
    Frustum frame;
    for (int c = 0; c < 8; ++c) frame.corners[c] = Vec3{(c & 1) ? 45.0f : 35.0f, (c & 2) ? 5.0f : -5.0f, (c & 4) ? 45.0f : 35.0f};
    frame.BuildPlanes();
    VisibleObject::SetFrameFrustum(world::kCullPassMain, frame);
    VisibleObject::SetFrameFrustum(world::kCullPassSecond, frame);
    for (ModelBase* m : {near, far}) m->UpdateCulling(0, world::kCullPassMain), m->UpdateCulling(0, world::kCullPassSecond);
    ASSERT_TRUE(near->GetCulledResult(world::kCullPassMain));
    ASSERT_FALSE(far->GetCulledResult(world::kCullPassMain));
    DecalMgr mgr;
    RecordingDecal* d = f.Decal(mgr, 0, 0, 4);
    // A decal owned by a culled object is skipped.
    Holder holder;
    auto* owned = static_cast<RecordingDecal*>(f.renderer().CreateDecalBatch(&f.description));
    holder.decal = owned;
    mgr.AddModelDecal(&holder, near);
    mgr.Build(f.visible, f.terrain.get());
    EXPECT_EQ(LastRange(d), (std::pair<int, int>{0, 3}));
    EXPECT_EQ(owned->updates, 1);
    EXPECT_TRUE(owned->draws.empty());
    EXPECT_EQ(std::memcmp(&VisibleObject::GetFrameFrustum(world::kCullPassMain), &frame, sizeof frame), 0);
    EXPECT_EQ(std::memcmp(&VisibleObject::GetFrameFrustum(world::kCullPassSecond), &frame, sizeof frame), 0);
    EXPECT_TRUE(near->GetCulledResult(world::kCullPassMain));
    EXPECT_FALSE(far->GetCulledResult(world::kCullPassMain));
    EXPECT_TRUE(near->GetCulledResult(world::kCullPassSecond));
    // A decal far from every model reaches none of them; an inactive one gets nothing.
    RecordingDecal* off = f.Decal(mgr, 20, 0, 2);
    d->active = false;
    const std::size_t draws = d->draws.size();
    mgr.Build(f.visible, f.terrain.get());
    EXPECT_EQ(d->draws.size(), draws);
    EXPECT_EQ(LastRange(off).second, 24);  // the ground
    mgr.Clear();
    f.renderer().ReleaseDecalBatch(owned);
}

}  // namespace
