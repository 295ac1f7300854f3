// The 2D scene's zoom: the frame drawn into the 1.5 x target, composed through the 2 x target
// onto the screen, with the pictures drawn again at the 2 x target's scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RecordingResources.h"
#include "platform/win32/Messages.h"
#include "tests/support/world/DemoMap2D.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/fx/Picture.h"
#include "world/fx/Picture3D.h"
#include "world/scene/Scene2D.h"

namespace quor::world {
namespace {

using test::WorldFixture;

struct Zoom : testing::Test {
    Zoom() {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        win32::MessageSink::Instance().Clear();
        renderer().backBufferWidth = 800;
        renderer().backBufferHeight = 600;
        renderer().Store()->DefineTexture("tree.png", host::TextureDesc{1, 0, 100, 50, 3, true});
    }
    ~Zoom() override { scene.reset(); }
    host::RecordingRenderer& renderer() { return fx.host().renderer; }
    void Load() {
        files->AddFile("m.scn2", "<Scene2D><MapBlock MapSize=\"3000,2000\"/></Scene2D>");
        scene = std::make_unique<Scene2D>();
        ASSERT_TRUE(scene->Create("m.scn2", 0, 0, 0));
    }
    static host::RecordingPrimitive* PrimitiveOf(IPicture* picture) {
        auto* own = static_cast<Picture*>(PictureBase::FromInterface(picture));
        return static_cast<host::RecordingPrimitive*>(own->Primitive());
    }
    int Logged(const char* text) const {
        int n = 0;
        for (const std::string& l : fx.capture.Lines()) n += l.find(text) != std::string::npos;
        return n;
    }

    WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    std::unique_ptr<Scene2D> scene;
};

TEST_F(Zoom, AdjustClampsTheFactorAndSetsTheSwitch) {
    Scene2D scene2d;
    IScene& scene = scene2d;  // through the shared table, as a host calls it
    bool on = false;
    float factor = 0.0f;
    scene.AdjustZoom(true, 1.0f);
    scene.GetZoom(&on, &factor);
    EXPECT_TRUE(on);
    EXPECT_EQ(factor, 1.5f);
    scene.AdjustZoom(false, -2.0f);
    scene.GetZoom(&on, &factor);
    EXPECT_FALSE(on);
    EXPECT_EQ(factor, 0.5f);
}

TEST_F(Zoom, RectanglesByFactor) {
    const struct {
        float delta;  // from the start factor 1.5
        int viewport[2];
        std::array<float, 4> first, second;
    } cases[] = {
        {-0.5f, {800, 600}, {0, 0, 2.0f / 3, 2.0f / 3}, {0, 0, 1, 1}},
        {-1.0f, {800, 600}, {0, 0, 2.0f / 3, 2.0f / 3}, {0.25f, 0.25f, 0.75f, 0.75f}},
        {0.0f, {1200, 900}, {0, 0, 1, 1}, {0, 0, 1, 1}},
    };
    for (const auto& c : cases) {
        Load();
        IPicture* tree = scene->CreatePicture("tree.png");
        tree->SetLocalPosition(100, 100);
        scene->AdjustZoom(true, c.delta);
        renderer().ClearCalls();
        scene->Render();
        const Scene2D::ZoomRects& z = scene->LastZoomRects();
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(z.firstWindow[i], c.first[std::size_t(i)], 1e-5f) << c.delta << " " << i;
            EXPECT_NEAR(z.secondWindow[i], c.second[std::size_t(i)], 1e-5f) << c.delta << " " << i;
        }
        EXPECT_EQ(std::vector<float>(z.firstRect, z.firstRect + 4), (std::vector<float>{0, 0, 1600, 1200}));
        EXPECT_EQ(std::vector<float>(z.secondRect, z.secondRect + 4), (std::vector<float>{0, 0, 800, 600}));
        // What the renderer was handed: the zoom quads' rectangles and the frame's viewport.
        const Scene2D::ZoomResources& r = scene->Zoom();
        auto* second = static_cast<host::RecordingPrimitive*>(r.quad[1]);
        EXPECT_EQ(std::vector<float>(second->drawExUV, second->drawExUV + 4),
                  std::vector<float>(c.second.begin(), c.second.end()));
        const std::vector<std::string> calls = renderer().Calls();
        const std::string viewport =
            "SetViewport(0,0," + std::to_string(c.viewport[0]) + "," + std::to_string(c.viewport[1]) + ")";
        EXPECT_EQ(std::count(calls.begin(), calls.end(), viewport), 1) << c.delta;
        // The picture is drawn once, by the composition, at twice its size over the 2 x target,
        // where a frame drawn d times larger (d = factor above 1) shows it.
        host::RecordingPrimitive* p = PrimitiveOf(tree);
        ASSERT_EQ(p->draws.size(), 1u);
        const float s = 2.0f / std::max(1.0f, 1.5f + c.delta);
        float lo = 1e9f, hi = -1e9f;
        for (const host::PrimitiveVertex& v : p->draws[0].vertices) lo = std::min(lo, v.x), hi = std::max(hi, v.x);
        EXPECT_NEAR(lo, 100 * s, 1e-3f);
        EXPECT_NEAR(hi, 200 * s, 1e-3f);
        // The root picture is back where the view puts it.
        EXPECT_EQ(scene->RootPictureBase()->GetLocalScale().x, 1.0f);
        EXPECT_EQ(scene->RootPictureBase()->GetLocalPosition().x, 0.0f);
    }
}

TEST_F(Zoom, FrameCallOrder) {
    Load();
    IPicture* tree = scene->CreatePicture("tree.png");
    tree->SetLocalPosition(100, 100);
    scene->AdjustZoom(true, -1.0f);
    scene->Render();  // the first zoomed frame makes the resources
    const Scene2D::ZoomResources& r = scene->Zoom();
    auto note = [this](const char* what) {
        return [this, what](const host::RecordingPrimitive&) { renderer().Note(what); };
    };
    PrimitiveOf(tree)->drawSink = note("picture");
    static_cast<host::RecordingPrimitive*>(r.quad[0])->drawSink = note("copy 1.5x");
    static_cast<host::RecordingPrimitive*>(r.quad[1])->drawSink = note("copy 2x");
    renderer().ClearCalls();
    scene->Render();
    std::vector<std::string> seen;
    for (const std::string& c : renderer().Calls())
        for (const char* k : {"RenderTarget", "SetViewport", "SetCurrentView", "Create", "picture", "copy"})
            if (c.find(k) != std::string::npos) {
                seen.push_back(c);
                break;
            }
    const std::vector<std::string> expected = {
        "GetRenderTarget(0)",  // step 3: the camera follows the target's size
        "BeginRenderTarget(1)", "SetViewport(0,0,800,600)",  // step 5
        "SetCurrentView",                                     // step 6
        "BeginRenderTarget(2)", "SetCurrentView", "copy 1.5x", "picture",  // step 13
        "EndRenderTarget", "SetCurrentView", "copy 2x",
    };
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(scene->IsRendering());
}

TEST_F(Zoom, ResourcesMadeOnceAndAllGivenBack) {
    Load();
    const int views = renderer().LiveRenderViews();
    scene->AdjustZoom(true, 0.0f);
    scene->Render();
    scene->Render();
    EXPECT_EQ(renderer().LiveRenderTargets(), 2);
    EXPECT_EQ(renderer().LiveRenderViews(), views + 3);  // the scene's view and the zoom's two
    const Scene2D::ZoomResources& r = scene->Zoom();
    EXPECT_EQ(renderer().FindRenderTarget(r.target[0])->clearColour, 0x0F000000u);
    EXPECT_EQ(renderer().FindRenderTarget(r.target[1])->depthFormat, 75);
    std::uint32_t w = 0, h = 0;
    r.texture[1]->GetSize(&w, &h);
    EXPECT_EQ(w, 1600u);
    // Another viewport: targets of its size.
    renderer().backBufferWidth = 400;
    renderer().backBufferHeight = 300;
    scene->Render();
    EXPECT_EQ(renderer().LiveRenderTargets(), 2);
    r.texture[0]->GetSize(&w, &h);
    EXPECT_EQ(w, 600u);
    scene->Clear();
    EXPECT_EQ(renderer().LiveRenderTargets(), 0);
    scene.reset();
    EXPECT_EQ(renderer().LiveRenderViews(), views);
    EXPECT_EQ(renderer().BadReleases(), 0);
    EXPECT_EQ(renderer().CurrentRenderTarget(), 0);
}

TEST_F(Zoom, WithoutTargetsLoggedOnceAndDrawnUnzoomed) {
    Load();
    IPicture* tree = scene->CreatePicture("tree.png");
    tree->SetLocalPosition(100, 100);
    scene->AdjustZoom(true, -1.0f);
    renderer().failCreateTexture = true;
    const int textures = renderer().LiveTextures();
    scene->Render();
    scene->Render();
    EXPECT_EQ(Logged("zoom targets unavailable"), 1);
    EXPECT_EQ(PrimitiveOf(tree)->drawCount, 2);  // by the frame itself
    EXPECT_EQ(renderer().LiveRenderTargets(), 0);
    EXPECT_EQ(renderer().LiveTextures(), textures);
    EXPECT_FALSE(scene->IsRendering());
    // The second target failing gives back the first.
    renderer().failCreateTexture = false;
    Load();
    scene->AdjustZoom(true, 0.0f);
    renderer().SetFailPrimitives(true);
    scene->Render();
    renderer().SetFailPrimitives(false);
    EXPECT_EQ(renderer().LiveRenderTargets(), 0);
    EXPECT_EQ(renderer().BadReleases(), 0);
}

TEST_F(Zoom, ModelSnapshotsShareOneRegisteredTarget) {
    files->AddFile("hero.mom", test::WriteMom(test::SquareMesh()));
    Load();
    std::vector<IPicture*> heroes;
    for (float x : {300.0f, 500.0f}) {
        heroes.push_back(scene->CreatePicture("hero.mom"));
        ASSERT_NE(heroes.back(), nullptr);
        heroes.back()->SetLocalPosition(x, 300.0f);
    }
    for (IPicture* h : heroes) h->SetSnapshotMode(true);
    int on = 0;
    for (IPicture* h : heroes) on += h->IsSnapshotMode();
    ASSERT_GT(on, 0) << "placed outside the viewport";
    EXPECT_EQ(renderer().LiveRenderTargets(), 1);
    const host::RecordingRenderer::RenderTarget* target = renderer().FindRenderTarget(1);  // the first registered
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->depthFormat, 0x50);
    EXPECT_EQ(target->clearColour, 0x0F000000u);
    heroes[0]->SetSnapshotMode(false);
    EXPECT_EQ(renderer().LiveRenderTargets(), on == 2 ? 1 : 0);
    heroes[1]->SetSnapshotMode(false);
    EXPECT_EQ(renderer().LiveRenderTargets(), 0);
    EXPECT_EQ(renderer().BadReleases(), 0);
}

// Two model pictures in snapshot mode, side by side: what each frame asks of the renderer.
struct Snapshots : Zoom {
    void Make() {
        files->AddFile("hero.mom", test::WriteMom(test::SquareMesh()));
        Load();
        for (float x : {300.0f, 500.0f}) {
            IPicture* h = scene->CreatePicture("hero.mom");
            ASSERT_NE(h, nullptr);
            h->SetLocalPosition(x, 300.0f);
            h->SetSnapshotMode(true);
            ASSERT_TRUE(h->IsSnapshotMode());
            heroes.push_back(static_cast<Picture3D*>(PictureBase::FromInterface(h)));
        }
    }
    struct Frame {
        int begins = 0, copies = 0, submits = 0, submitsInTarget = 0, quads = 0;
        std::vector<std::string> copyCalls;
    };
    Frame Render() {
        int before = 0;
        for (Picture3D* h : heroes)
            if (h->SnapshotPrimitive()) before += static_cast<host::RecordingPrimitive*>(h->SnapshotPrimitive())->drawCount;
        renderer().ClearCalls();
        scene->Update();
        scene->Render();
        Frame f;
        bool inTarget = false;
        for (const std::string& c : renderer().Calls()) {
            if (c.rfind("BeginRenderTarget(", 0) == 0) ++f.begins, inTarget = true;
            if (c == "EndRenderTarget") inTarget = false;
            if (c.rfind("CopyRenderTarget(", 0) == 0) ++f.copies, f.copyCalls.push_back(c);
            if (c == "Submit") ++(inTarget ? f.submitsInTarget : f.submits);
        }
        for (Picture3D* h : heroes)
            if (h->SnapshotPrimitive()) f.quads += static_cast<host::RecordingPrimitive*>(h->SnapshotPrimitive())->drawCount;
        f.quads -= before;
        return f;
    }
    std::vector<Picture3D*> heroes;
};

TEST_F(Snapshots, EachModelIsRenderedOnceCopiedOnceThenShownAsItsQuad) {
    Make();
    // One picture at a time renders into the shared target; until it is copied out the other
    // draws its model itself; the scene's own pass draws neither.
    const struct {
        int begins, copies, submits, submitsInTarget, quads;
    } want[] = {{1, 0, 1, 1, 0}, {1, 1, 0, 1, 1}, {0, 1, 0, 0, 2}, {0, 0, 0, 0, 2}};
    int frame = 0;
    for (const auto& w : want) {
        const Frame f = Render();
        EXPECT_EQ(f.begins, w.begins) << "frame " << frame;
        EXPECT_EQ(f.copies, w.copies) << "frame " << frame;
        EXPECT_EQ(f.submits, w.submits) << "frame " << frame;
        EXPECT_EQ(f.submitsInTarget, w.submitsInTarget) << "frame " << frame;
        EXPECT_EQ(f.quads, w.quads) << "frame " << frame;
        // The rectangle copied out holds the picture's point (the model stands on it).
        for (const std::string& c : f.copyCalls) {
            int id = 0, l = 0, t = 0, r = 0, b = 0;
            ASSERT_EQ(std::sscanf(c.c_str(), "CopyRenderTarget(%d,%d,%d,%d,%d)", &id, &l, &t, &r, &b), 5) << c;
            EXPECT_EQ(id, 1);
            const bool holds = std::any_of(heroes.begin(), heroes.end(), [&](Picture3D* h) {
                const PicPoint p = h->GetPosition();
                return l < p.x && p.x < r && t < p.y && p.y < b;
            });
            EXPECT_TRUE(holds) << c;
        }
        ++frame;
    }
    // Out of snapshot mode the scene's pass draws the models again.
    for (Picture3D* h : heroes) h->SetSnapshotMode(false);
    const Frame f = Render();
    EXPECT_EQ(f.begins + f.copies + f.submitsInTarget, 0);
    EXPECT_EQ(f.submits, 2);
    EXPECT_EQ(renderer().LiveRenderTargets(), 0);
}

TEST_F(Snapshots, ASnapshotTurnedOffBeforeItsCopyLetsTheNextPictureRender) {
    Make();
    EXPECT_EQ(Render().begins, 1);
    Picture3D* taker = heroes[0]->SnapshotTaken() ? heroes[0] : heroes[1];
    Picture3D* other = taker == heroes[0] ? heroes[1] : heroes[0];
    ASSERT_TRUE(taker->SnapshotTaken());
    taker->SetSnapshotMode(false);
    EXPECT_EQ(Render().begins, 1);
    EXPECT_TRUE(other->SnapshotTaken());
}

TEST_F(Snapshots, AZoomedFrameLeavesTheSnapshotForLater) {
    Make();
    scene->AdjustZoom(true, 0.0f);
    Render();
    const std::vector<std::string> calls = renderer().Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "BeginRenderTarget(1)"), 0);  // the shared target
    EXPECT_FALSE(heroes[0]->SnapshotTaken() || heroes[1]->SnapshotTaken());
    scene->AdjustZoom(false, 0.0f);
    EXPECT_EQ(Render().begins, 1);
}

// --- pixels -------------------------------------------------------------------------------------

constexpr int kWidth = 96;
constexpr int kHeight = 72;
constexpr int kCell = 8;

// The colour of a cell of the test picture: every cell differs from its neighbours.
std::array<int, 3> CellColour(int cx, int cy) { return {40 * cx % 256, 40 * cy % 256, 128 + 16 * ((cx + cy) % 8)}; }

TEST_F(Zoom, ZoomedFrameIsAScaledCopyOfTheUnzoomedOne) {
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const auto c = CellColour(x / kCell, y / kCell);
            argb.push_back(0xFF000000u | std::uint32_t(c[0]) << 16 | std::uint32_t(c[1]) << 8 | std::uint32_t(c[2]));
        }
    files->AddFile("cells.tga", test::Tga32(kWidth, kHeight, argb));
    host::GlRenderer gl(renderer().Store());
    gl.Attach(files, nullptr);
    render::IRenderer* before = Interfaces().renderer;
    Interfaces().renderer = &gl;
    struct Restore {
        render::IRenderer* renderer;
        ~Restore() { Interfaces().renderer = renderer; }
    } restore{before};
    renderer().backBufferWidth = kWidth;
    renderer().backBufferHeight = kHeight;
    Load();
    scene->CreatePicture("cells.tga")->SetLocalPosition(0, 0);
    auto frame = [&](bool zoom, float delta) {
        scene->AdjustZoom(zoom, delta);
        if (!gl.BeginFrame(nullptr, 0xFF000000u, kWidth, kHeight)) return std::vector<std::uint8_t>{};
        scene->Update();
        scene->Render();
        gl.EndFrame();
        return gl.ReadPixels();
    };
    const std::vector<std::uint8_t> plain = frame(false, 0.0f);
    if (plain.empty()) GTEST_SKIP() << "no GL context";
    auto at = [](const std::vector<std::uint8_t>& p, int x, int y) {
        const std::size_t i = (std::size_t(y) * kWidth + std::size_t(x)) * 4;
        return std::array<int, 3>{p[i], p[i + 1], p[i + 2]};
    };
    ASSERT_EQ(at(plain, 12, 20), CellColour(1, 2));
    // Factor 1 shows the frame as it is; 0.5 its middle half, twice as large. Compared where
    // the point shown lies clear of its cell's edges (a pixel on an edge may take either side).
    auto clear = [](float v) {
        const float in = v - kCell * std::floor(v / kCell);
        return in >= 1.5f && in <= kCell - 1.5f;
    };
    for (float factor : {1.0f, 0.5f}) {
        const std::vector<std::uint8_t> zoomed = frame(true, factor - scene->ZoomFactor());
        ASSERT_EQ(scene->ZoomFactor(), factor);
        int compared = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const float sx = factor == 1.0f ? float(x) : kWidth / 4.0f + float(x) / 2.0f;
                const float sy = factor == 1.0f ? float(y) : kHeight / 4.0f + float(y) / 2.0f;
                if (!clear(sx) || !clear(sy)) continue;
                ++compared;
                ASSERT_EQ(at(zoomed, x, y), at(plain, int(sx), int(sy))) << factor << " at " << x << "," << y;
            }
        EXPECT_GT(compared, kWidth * kHeight / 4);
    }
    scene.reset();
    EXPECT_EQ(gl.Objects().LiveRenderTargets(), 0);
}

}  // namespace
}  // namespace quor::world
