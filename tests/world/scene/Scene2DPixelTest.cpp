// The 2D scene's models as the drawing renderer shows them: a Picture3D's model stands on its
// picture's screen position however the map scrolls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/glrender/GlRenderer.h"
#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/fx/Picture.h"
#include "world/scene/Scene2D.h"

namespace quor::world {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 72;
constexpr std::uint32_t kClear = 0xFF0000FFu;

struct ModelPixels : testing::Test {
    ModelPixels() : gl(fx.host().renderer.Store()) {
        // The renderer's size until its first frame: the scene and its camera take it.
        gl.Objects().backBufferWidth = kWidth;
        gl.Objects().backBufferHeight = kHeight;
        before = Interfaces().renderer;
        Interfaces().renderer = &gl;
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
    }
    ~ModelPixels() override {
        scene.reset();
        Interfaces().renderer = before;
    }

    // The centre of the pixels that differ from the clear colour (blue); false when there are none.
    bool DrawnCentre(float& x, float& y) const {
        const std::vector<std::uint8_t> pixels = gl.ReadPixels();
        double sx = 0.0, sy = 0.0;
        int n = 0;
        for (int row = 0; row < kHeight; ++row) {
            for (int column = 0; column < kWidth; ++column) {
                const std::uint8_t* p = &pixels[(std::size_t(row) * kWidth + std::size_t(column)) * 4];
                if (p[0] == 0 && p[1] == 0 && p[2] == 255) continue;
                sx += column + 0.5;
                sy += row + 0.5;
                ++n;
            }
        }
        if (n == 0) return false;
        x = float(sx / n);
        y = float(sy / n);
        return true;
    }

    // The rectangle of the pixels that differ from the clear colour in a frame of the given
    // size, as pixel edges (right and bottom exclusive); false when there are none.
    bool DrawnBox(int width, int height, float box[4]) const {
        const std::vector<std::uint8_t> pixels = gl.ReadPixels();
        int left = width, top = height, right = -1, bottom = -1;
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                const std::uint8_t* p = &pixels[(std::size_t(row) * std::size_t(width) + std::size_t(column)) * 4];
                if (p[0] == 0 && p[1] == 0 && p[2] == 255) continue;
                left = std::min(left, column), right = std::max(right, column);
                top = std::min(top, row), bottom = std::max(bottom, row);
            }
        }
        if (right < 0) return false;
        box[0] = float(left), box[1] = float(top), box[2] = float(right + 1), box[3] = float(bottom + 1);
        return true;
    }

    // A 3000 x 2000 map scene with one picture of the given mesh; null when either fails.
    IPicture* PictureOn(const char* name, std::vector<std::uint8_t> mesh) {
        files->AddFile(name, std::move(mesh));
        files->AddFile("m.scn2", "<Scene2D><MapBlock MapSize=\"3000,2000\"/></Scene2D>");
        scene = std::make_unique<Scene2D>();
        return scene->Create("m.scn2", 0, 0, 0) ? scene->CreatePicture(name) : nullptr;
    }

    test::WorldFixture fx;
    host::GlRenderer gl;
    render::IRenderer* before = nullptr;
    host::MemoryFileSystem* files = nullptr;
    std::unique_ptr<Scene2D> scene;
};

TEST_F(ModelPixels, APicturesModelIsDrawnOnItsPictureAfterScrolls) {
    IPicture* picture = PictureOn("hero.mom", test::WriteMom(test::SquareMesh()));
    ASSERT_NE(picture, nullptr) << fx.capture.Joined();
    // A square 2 units wide, its middle on its origin: some 10 pixels on the screen under the
    // camera's view scale (map height over frame height); turned half round, its front faces
    // the camera.
    picture->SetLocalScale(1.0f, 1.0f);
    picture->Rotate(180.0f);
    const struct {
        float viewX, viewY, dx, dy;
    } cases[] = {{100, 700, 20, -10}, {900, 700, -25, 12}, {2950, 1980, 15, -20}, {40, 30, 5, 8}};
    for (const auto& c : cases) {
        scene->UpdateView(c.viewX, c.viewY);
        picture->SetLocalPosition(c.viewX + c.dx, c.viewY + c.dy);
        const PicPoint want = picture->GetPosition();
        if (!gl.BeginFrame(scene->GetActiveCamera()->GetRenderCamera(), kClear, kWidth, kHeight))
            GTEST_SKIP() << "no GL context";
        scene->Render();
        gl.EndFrame();
        float x = 0.0f, y = 0.0f;
        ASSERT_TRUE(DrawnCentre(x, y)) << "view " << c.viewX << " " << c.viewY;
        EXPECT_NEAR(x, want.x, 1.0f) << "view " << c.viewX << " " << c.viewY;
        EXPECT_NEAR(y, want.y, 1.0f) << "view " << c.viewX << " " << c.viewY;
    }
}

TEST_F(ModelPixels, ASnapshotShowsTheModelAsDrawnAndIsTakenOnce) {
    IPicture* picture = PictureOn("hero.mom", test::WriteMom(test::SquareMesh()));
    ASSERT_NE(picture, nullptr) << fx.capture.Joined();
    picture->SetLocalScale(1.0f, 1.0f);
    picture->Rotate(180.0f);
    scene->UpdateView(100.0f, 700.0f);
    picture->SetLocalPosition(120.0f, 690.0f);
    auto frame = [&] {
        if (!gl.BeginFrame(scene->GetActiveCamera()->GetRenderCamera(), kClear, kWidth, kHeight)) return false;
        scene->Render();
        gl.EndFrame();
        return true;
    };
    // Pixels whose colour differs between two frames.
    auto differing = [](const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
        int n = 0;
        for (std::size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4)
            n += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
        return n;
    };
    auto calls = [&](const char* prefix) {
        int n = 0;
        for (const std::string& c : gl.Objects().Calls()) n += c.rfind(prefix, 0) == 0;
        return n;
    };
    if (!frame()) GTEST_SKIP() << "no GL context";
    float px = 0.0f, py = 0.0f;
    ASSERT_TRUE(DrawnCentre(px, py));
    const std::vector<std::uint8_t> plain = gl.ReadPixels();

    picture->SetSnapshotMode(true);
    ASSERT_TRUE(picture->IsSnapshotMode());
    gl.Objects().ClearCalls();
    ASSERT_TRUE(frame());  // the model goes into the shared target
    EXPECT_EQ(calls("BeginRenderTarget("), 1);
    std::vector<std::uint8_t> shown;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(frame());
        float x = 0.0f, y = 0.0f;
        ASSERT_TRUE(DrawnCentre(x, y)) << "frame " << i;
        EXPECT_NEAR(x, px, 1.0f) << "frame " << i;
        EXPECT_NEAR(y, py, 1.0f) << "frame " << i;
        // The model's image as the frame showed it, a few edge pixels aside.
        EXPECT_LE(differing(gl.ReadPixels(), plain), 4) << "frame " << i;
        // The same snapshot every frame, nothing rendered again.
        if (i == 0) shown = gl.ReadPixels();
        EXPECT_EQ(differing(gl.ReadPixels(), shown), 0) << "frame " << i;
    }
    EXPECT_EQ(calls("BeginRenderTarget("), 1);
    EXPECT_EQ(calls("CopyRenderTarget("), 1);
}

// The demo's case: a host that never told the renderer its frame size (it answers another size
// until the first frame), a 640 x 480 frame, a box standing on the ground, and only the map
// scrolling under a picture that stays at its map point, in long steps.
TEST_F(ModelPixels, AModelWithHeightStandsOnItsPictureWhileOnlyTheMapScrolls) {
    constexpr int width = 640, height = 480;
    gl.Objects().backBufferWidth = 800;
    gl.Objects().backBufferHeight = 600;
    IPicture* picture = PictureOn("hut.mom", test::WriteMom(test::DemoDefaultBox()));
    ASSERT_NE(picture, nullptr) << fx.capture.Joined();
    // The unit box scaled 4: some 28 pixels wide at the map's 2000 pixels over the camera's
    // view height.
    picture->SetLocalScale(4.0f, 4.0f);
    picture->SetLocalPosition(1500.0f, 1000.0f);
    const struct {
        float viewX, viewY;
    } views[] = {{1500, 1000}, {1250, 1150}, {1750, 850}, {1300, 900}, {1700, 1180}};
    for (const auto& v : views) {
        scene->UpdateView(v.viewX, v.viewY);
        if (!gl.BeginFrame(scene->GetActiveCamera()->GetRenderCamera(), kClear, width, height))
            GTEST_SKIP() << "no GL context";
        scene->Render();
        gl.EndFrame();
        const PicPoint want = picture->GetPosition();
        picture->UpdatePlacement();
        const float* placed = static_cast<PictureBase*>(picture)->Placement();
        float box[4] = {};
        ASSERT_TRUE(DrawnBox(width, height, box)) << "view " << v.viewX << " " << v.viewY;
        // Drawn where the camera projects the box: GL and the camera's conversions agree.
        const float expected[4] = {placed[2], placed[3], placed[0], placed[1]};
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(box[k], expected[k], 1.5f) << "edge " << k << ", view " << v.viewX << " " << v.viewY;
        // Standing on the picture: centred on it across, its base near the bottom of what is
        // drawn (the box's front edge lies a few pixels lower).
        EXPECT_NEAR((box[0] + box[2]) * 0.5f, want.x, 2.0f) << "view " << v.viewX << " " << v.viewY;
        EXPECT_GE(box[3], want.y) << "view " << v.viewX << " " << v.viewY;
        EXPECT_LT(box[3] - want.y, 0.25f * (box[3] - box[1])) << "view " << v.viewX << " " << v.viewY;
    }
}

}  // namespace
}  // namespace quor::world
