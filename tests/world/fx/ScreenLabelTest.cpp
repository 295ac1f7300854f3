// The overlay batch and the screen labels, drawn through the reference interface library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceGui.h"
#include "platform/host/RenderCamera.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/fx/SceneGuiOverlay.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/fx/OrthoLabel.h"
#include "world/fx/QuadBatch.h"
#include "world/mesh/ModelBase.h"

namespace quor::world {
namespace {

struct Labels {
    test::WorldFixture fx{0, false};
    host::ReferenceGui gui;
    test::SceneGuiOverlay overlay;
    test::TestScene* scene = nullptr;
    Camera* camera = nullptr;

    Labels() {
        fx.host().renderer.Store()->DefineEffect("res/effect/AlphaClip.fx::Common");
        World::Instance().Initialize(60);
        Interfaces().gui = &gui;
        auto* files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        files->AddFile("models\\sample.mom", test::WriteMom(test::DemoSampleMesh(false)));
        scene = fx.NewScene();
        overlay.scene = scene;
        gui.SetOverlayTarget(&overlay);
        camera = scene->CreateCamera(true);
        camera->SetOrthographic(1024, 768, 1, 1000);
        // One unit a pixel: the viewport of the back buffer.
        auto* rc = static_cast<host::RenderCamera*>(camera->GetRenderCamera());
        rc->SetViewportSize(1024, 768);
        rc->Refresh();
        gui.DeclareWindow("hero_tag", {120, 40, 0xFF00FF00u, nullptr});
    }
    ~Labels() { Interfaces().gui = nullptr; }

    IModel* Model(float x, float y) {
        IModel* m = scene->CreateModel("models\\sample.mom", 0, 0, nullptr);
        EXPECT_NE(m, nullptr);
        if (m) static_cast<ModelBase*>(m)->SetPosition(Vec3(x, y, 0));
        return m;
    }
    int Draws(const std::string& window) const {
        int n = 0;
        for (const std::string& c : gui.Calls()) n += c == "DrawWindow(" + window + ")";
        return n;
    }
    static auto* Item(int slot) { return static_cast<host::RecordingRenderable*>(QuadBatch::SlotRenderable(slot)); }
};

TEST(QuadBatch, FlushesDrawWhatTheQueueAndSlotsHold) {
    Labels f;
    ASSERT_TRUE(QuadBatch::IsCreated());
    QuadBatch::BeginPass();
    // 2401 queued: 2400 kept, 800 triangles.
    QuadBatch::BeginLabel();
    for (int i = 0; i < 2401; ++i) QuadBatch::AddVertex(float(i % 7), 2, 0.25f, 0.5f, 0x11223344u);
    EXPECT_EQ(QuadBatch::QueuedCount(), 2400);
    ASSERT_TRUE(QuadBatch::WriteQueued(10.7f, 20.2f, 0.25f));
    QuadBatch::DrawQueued();
    ASSERT_EQ(Labels::Item(0)->ranges.size(), 1u);
    EXPECT_EQ(Labels::Item(0)->ranges[0].primitiveCount, 800u);
    EXPECT_EQ(Labels::Item(0)->submits, 1);
    EXPECT_EQ(Labels::Item(0)->submitPass, -1);
    // Written at the truncated corner, with the depth, copied at submit.
    const QuadVertex& v = QuadBatch::Vertices()[3];
    EXPECT_EQ(v.x, 13.0f);
    EXPECT_EQ(v.y, 22.0f);
    EXPECT_EQ(v.z, 0.25f);
    EXPECT_EQ(v.rhw, 1.0f);
    EXPECT_EQ(v.colour, 0x11223344u);
    ASSERT_EQ(Labels::Item(0)->submitted.size(), 2400u * 28);
    // Four queued: one triangle, and the fourth vertex still takes its place.
    for (int i = 0; i < 4; ++i) QuadBatch::AddVertex(0, 0, 0, 0, 0);
    ASSERT_TRUE(QuadBatch::WriteQueued(0, 0, 0.5f));
    QuadBatch::DrawQueued();
    EXPECT_EQ(Labels::Item(1)->ranges[0].primitiveCount, 1u);
    EXPECT_EQ(Labels::Item(1)->ranges[0].firstVertex, 2400u);
    EXPECT_EQ(QuadBatch::VertexBase(), 2404);
    // A pass starts from the first slot and vertex again.
    QuadBatch::BeginPass();
    EXPECT_EQ(QuadBatch::CurrentSlot(), 0);
    EXPECT_EQ(QuadBatch::VertexBase(), 0);
}

TEST(QuadBatch, TheArrayAndTheSlotsRunOut) {
    Labels f;
    QuadBatch::BeginPass();
    // 41 full queues fill 98400 vertices; the 42nd does not fit and stays queued.
    for (int label = 0; label < 42; ++label) {
        QuadBatch::BeginLabel();
        for (int i = 0; i < 2400; ++i) QuadBatch::AddVertex(0, 0, 0, 0, 0);
        const bool written = QuadBatch::WriteQueued(0, 0, 0.5f);
        EXPECT_EQ(written, label < 41) << label;
        if (written) QuadBatch::DrawQueued();
    }
    EXPECT_EQ(QuadBatch::QueuedCount(), 2400);
    EXPECT_EQ(QuadBatch::CurrentSlot(), 41);

    // 3000 flushes of nothing use every slot; the 3001st draws nothing.
    QuadBatch::BeginPass();
    for (int i = 0; i < 3000; ++i) {
        QuadBatch::BeginLabel();
        QuadBatch::DrawQueued();
    }
    QuadBatch::BeginLabel();
    QuadBatch::AddVertex(0, 0, 0, 0, 0);
    QuadBatch::AddVertex(0, 0, 0, 0, 0);
    QuadBatch::AddVertex(0, 0, 0, 0, 0);
    const int submitsBefore = Labels::Item(2999)->submits;
    QuadBatch::SetTexture(nullptr);
    EXPECT_TRUE(f.fx.capture.Contains("cur_rx_id out of max"));
    ASSERT_TRUE(QuadBatch::WriteQueued(0, 0, 0.5f));
    QuadBatch::DrawQueued();
    EXPECT_EQ(QuadBatch::QueuedCount(), 3);
    EXPECT_EQ(QuadBatch::CurrentSlot(), 3000);
    EXPECT_EQ(Labels::Item(2999)->submits, submitsBefore);
}

TEST(QuadBatch, WorldStartUpMakesItAndShutdownReleasesIt) {
    Labels f;
    auto& r = f.fx.host().renderer;
    const int materials = r.LiveMaterials();
    EXPECT_GE(materials, 3000);
    auto* buffer = static_cast<host::RecordingVertexBuffer*>(QuadBatch::Buffer());
    EXPECT_EQ(buffer->name, "PrimitivesVertex");
    EXPECT_EQ(buffer->format, 0x144u);
    EXPECT_EQ(buffer->arrayStride, 28u);
    EXPECT_EQ(buffer->arrayCount, 100000u);
    World::Instance().Shutdown();
    EXPECT_FALSE(QuadBatch::IsCreated());
    EXPECT_LE(r.LiveMaterials(), materials - 3000);
    EXPECT_EQ(r.BadReleases(), 0);
    World::Instance().Initialize(60);
}

TEST(ScreenLabels, TheWindowTouchingTheScreenIsDrawn) {
    struct Case {
        float x, y;
        bool drawn;
    };
    // A 200 x 200 window on 1024 x 768.
    const Case cases[] = {{500, -1, false}, {500, 0, true},  {500, 968, true},   {500, 969, false},
                          {-100, 50, true}, {-101, 50, false}, {1124, 50, true}, {1125, 50, false}};
    for (const Case& c : cases)
        EXPECT_EQ(OrthoLabelList::IsOnScreen(c.x, c.y, 200, 200, 1024, 768), c.drawn) << c.x << "," << c.y;
}

TEST(ScreenLabels, APassDrawsLabelsOnScreenThroughTheInterfaceLibrary) {
    Labels f;
    IModel* seen = f.Model(0, 0);
    IModel* above = f.Model(0, 1000);
    f.scene->AddLabel("hero_tag", seen, "top");
    f.scene->AddLabel("hero_tag", above, "top");
    f.scene->AddLabel("hero_tag", seen, "no_such_socket");
    f.scene->Labels().RenderAll(f.camera);
    const auto& labels = f.scene->Labels().Labels();
    ASSERT_EQ(labels.size(), 3u);
    // Orthographic 1024 x 768 seen from z = -100: the socket 1.2 above the origin.
    EXPECT_NEAR(labels[0]->x, 512.0f, 1e-3);
    EXPECT_NEAR(labels[0]->y, 384.0f - 1.2f, 1e-3);
    EXPECT_LT(labels[1]->y, 0.0f);
    // A missing socket leaves the label where it was and undrawn.
    EXPECT_EQ(labels[2]->x, 0.0f);
    EXPECT_EQ(f.Draws("hero_tag"), 1);
    // The library's callbacks sized the label and flushed its two triangles at its corner.
    EXPECT_EQ(labels[0]->width, 120);
    EXPECT_EQ(labels[0]->height, 40);
    auto* item = Labels::Item(0);
    ASSERT_EQ(item->ranges.size(), 1u);
    EXPECT_EQ(item->ranges[0].primitiveCount, 2u);
    const QuadVertex& last = QuadBatch::Vertices()[5];
    EXPECT_EQ(last.x, 452.0f + 120.0f);
    EXPECT_EQ(last.y, std::trunc(384.0f - 1.2f - 40.0f) + 40.0f);
    EXPECT_EQ(last.colour, 0xFF00FF00u);
    EXPECT_EQ(QuadBatch::CurrentSlot(), 1);
}

TEST(ScreenLabels, OverlayOperationsActOnTheCurrentLabelOnly) {
    Labels f;
    IModel* m = f.Model(0, 0);
    // Before any pass there is no current label.
    f.scene->SetOverlaySize(5, 5);
    f.scene->AddOverlayQuad(1, 1, 0, 0, 0);
    EXPECT_EQ(QuadBatch::QueuedCount(), 0);
    f.scene->AddLabel("unknown", m, "top");
    f.scene->Labels().RenderAll(f.camera);
    OrthoLabel* label = f.scene->Labels().Current();
    ASSERT_NE(label, nullptr);
    f.scene->SetOverlaySize(-1, 50);
    EXPECT_EQ(label->width, 200);
    EXPECT_EQ(label->height, 50);
    // Removing the current label: later overlay calls are ignored.
    f.scene->RemoveLabel("unknown", m, "other");
    EXPECT_EQ(f.scene->Labels().Labels().size(), 1u);
    f.scene->RemoveLabel("unknown", m, "top");
    EXPECT_EQ(f.scene->Labels().Current(), nullptr);
    f.scene->SetOverlaySize(7, 7);
    f.scene->AddOverlayQuad(1, 1, 0, 0, 0);
    f.scene->FlushOverlayQuads();
    EXPECT_EQ(QuadBatch::QueuedCount(), 0);
}

TEST(ScreenLabels, CursorAndClicksFindTheNearestLabel) {
    Labels f;
    IModel* m = f.Model(0, 0);
    f.gui.DeclareWindow("far", {1000, 1000, 0, nullptr});
    f.gui.DeclareWindow("near", {1000, 1000, 0, nullptr});
    f.scene->AddLabel("far", m, "top");
    f.scene->AddLabel("near", m, "top");
    auto labels = f.scene->Labels().Labels();
    labels[0]->x = 100, labels[0]->y = 300, labels[0]->depth = 0.7f;
    labels[1]->x = 100, labels[1]->y = 300, labels[1]->depth = 0.3f;
    EXPECT_FALSE(f.scene->OnLabelMouseMove(110, 220));
    EXPECT_EQ(labels[0]->cursorX, 110);
    EXPECT_EQ(labels[0]->cursorY, 120);
    EXPECT_TRUE(f.scene->OnLabelClick(110, 220));
    EXPECT_TRUE(f.fx.capture.Contains("click item[0] = 0.300000 (near)"));
    EXPECT_EQ(f.scene->Labels().Labels()[0]->windowName, "near");
    // Outside every window: no hit, no line.
    f.fx.capture.Clear();
    f.scene->OnLabelMouseMove(-5000, -5000);
    EXPECT_FALSE(f.scene->OnLabelClick(-5000, -5000));
    EXPECT_FALSE(f.fx.capture.Contains("click item"));
}

TEST(ScreenLabels, AReleasedModelTakesItsLabelsWithIt) {
    Labels f;
    IModel* a = f.Model(0, 0);
    IModel* b = f.Model(5, 0);
    f.scene->AddLabel("hero_tag", a, "top");
    f.scene->AddLabel("hero_tag", b, "top");
    f.scene->Labels().RenderAll(f.camera);
    ASSERT_TRUE(f.scene->ReleaseObject(static_cast<ModelBase*>(a), true));
    ASSERT_EQ(f.scene->Labels().Labels().size(), 1u);
    EXPECT_EQ(f.scene->Labels().Labels()[0]->model, b);
    // The next pass reads only the live model.
    f.scene->Labels().RenderAll(f.camera);
    EXPECT_EQ(f.Draws("hero_tag"), 3);
}

TEST(ScreenLabels, PlaneAndDepthHelpers) {
    float plane[4];
    EXPECT_FALSE(PlaneFromPoints(Vec3(0, 1, 2), Vec3(5, 1, 3), Vec3(0, 0, 0), plane));  // same y
    EXPECT_FALSE(PlaneFromPoints(Vec3(0, 1, 2), Vec3(5, 4, 2), Vec3(0, 0, 0), plane));  // same z
    ASSERT_TRUE(PlaneFromPoints(Vec3(0, 0, 0), Vec3(2, 1, 4), Vec3(1, 2, 3), plane));
    EXPECT_FLOAT_EQ(plane[1], 2.0f);
    EXPECT_FLOAT_EQ(plane[2], 0.5f);
    EXPECT_FLOAT_EQ(plane[3], 2 * 2 + 1 + 0.5f * 3);
    const float p[4] = {0, 1, 0, 2};
    EXPECT_FLOAT_EQ(PointPlaneDistance(Vec3(9, 5, 9), p), 3.0f);
    EXPECT_EQ(PointPlaneDistance(Vec3(9, 2.000001f, 9), p), 0.0f);
    EXPECT_EQ(ProjectToScreen(0, 0, 0, nullptr), 0.0f);
}

TEST(ScreenLabels, DepthIsTheProjectedZOverW) {
    Labels f;
    Camera* persp = f.scene->CreateCamera(false);
    persp->SetPerspective(60, 1.0f, 1, 101);
    // Seen from z = -100, d ahead: far / (far - near) x (1 - near / d); 0 at the near plane.
    for (float d : {1.0f, 50.0f, 100.0f})
        EXPECT_NEAR(ProjectToScreen(3, -2, d - 100, persp), 101.0f / 100.0f * (1 - 1 / d), 1e-5) << d;
    // At the eye w is 0: depth 0.
    EXPECT_EQ(ProjectToScreen(0, 0, -100, persp), 0.0f);
}

}  // namespace
}  // namespace quor::world
