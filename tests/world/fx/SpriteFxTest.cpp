#include "world/fx/SpriteFx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/SheetFileWriter.h"
#include "tests/support/world/fx/FxSceneFixture.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/math/Frustum.h"

namespace quor::world {
namespace {

using test::FxSceneFixture;

void ExpectVec(const Vec3& a, const Vec3& b, float eps = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

host::MemoryFileSystem& Files(FxSceneFixture& f) {
    return *static_cast<host::MemoryFileSystem*>(f.world.host().files.get());
}

host::RecordingPrimitive& Prim(SpriteFx& s) { return *static_cast<host::RecordingPrimitive*>(s.Primitive()); }

// The texture rectangle's top-left corner the last draw showed.
std::pair<float, float> LastCell(SpriteFx& s) {
    const auto& v = Prim(s).draws.back().vertices;
    return {v[0].u, v[0].v};
}

TEST(SpriteFx, TextureTimingAndLifeSpan) {
    struct Case {
        float duration;
        const char* lifeSpan;  // null: the key is absent
        std::int32_t animLength;
        float expectedLife;
    };
    const Case cases[] = {
        {1.9f, "0", 1000, 0.99f},   // whole seconds, truncated
        {1.9f, nullptr, 1000, 1.0f},
        {0.0f, "0", 0, 0.0f},       // a still texture keeps its life span
        {2.5f, "0.005", 2000, 1.99f},
    };
    for (const Case& c : cases) {
        FxSceneFixture f;
        f.Renderer().Store()->DefineTexture("fx/anim.dds", 4, c.duration);
        const std::string life = c.lifeSpan ? std::string("FxLifeSpan=\"") + c.lifeSpan + "\" " : "";
        auto s = f.Load<SpriteFx>("Sprite", life + "Texture=\"fx/anim.dds\"");
        ASSERT_TRUE(s);
        EXPECT_EQ(s->GetKind(), kFxKindSprite);
        EXPECT_EQ(s->AnimationLength(), c.animLength) << c.duration;
        EXPECT_NEAR(s->GetLifeSpan(), c.expectedLife, 1e-6f) << c.duration;
    }
}

TEST(SpriteFx, ExtensionsPickSheetOrWholeTexture) {
    struct Case {
        const char* name;
        bool sheet;
    };
    const Case cases[] = {{"fx/s.SPR", true}, {"fx/s.Ems", true}, {"fx/p.dds", false}, {"fx/noext", false}};
    for (const Case& c : cases) {
        FxSceneFixture f;
        test::SheetFileDesc desc;
        desc.texture = "fx/p.dds";
        Files(f).AddFile(c.name, test::WriteSheetFile(desc));
        auto s = f.Load<SpriteFx>("Sprite", std::string("Texture=\"") + c.name + "\"");
        ASSERT_TRUE(s) << c.name;
        EXPECT_EQ(s->IsWholeTexture(), !c.sheet) << c.name;
        EXPECT_NE(s->Texture(), nullptr) << c.name;
    }
}

TEST(SpriteFx, MissingTexturesAndBadSheets) {
    FxSceneFixture f;
    auto& r = f.Renderer();
    // A texture that is not there: a blank 256 x 256 one.
    auto blank = f.Load<SpriteFx>("Sprite", "Texture=\"fx/none.dds\"");
    ASSERT_TRUE(blank);
    EXPECT_TRUE(f.world.capture.Contains("Spr贴图：fx/none.dds 丢失"));
    EXPECT_NE(r.Calls().end(), std::find(r.Calls().begin(), r.Calls().end(), "CreateTexture(256,256,0,0,1,0)"));
    // A missing sheet leaves the sprite without texture; unreadable numbers fail the load.
    auto missing = f.Load<SpriteFx>("Sprite", "Texture=\"fx/gone.ems\"");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->Texture(), nullptr);
    Files(f).AddFile("fx/bad.spr", std::string("4 x 1 4\r\nfx/p.dds\r\n"));
    EXPECT_FALSE(f.Load<SpriteFx>("Sprite", "Texture=\"fx/bad.spr\""));
    EXPECT_FALSE(f.Load<SpriteFx>("Sprite", "Texture=\"\""));
    EXPECT_TRUE(f.world.capture.Contains("Sprite's texture is empty!"));
    // Zero counts in a sheet divide nothing by zero: one cell.
    test::SheetFileDesc zero;
    zero.columns = zero.rows = zero.third = "0";
    zero.texture = "fx/p.dds";
    Files(f).AddFile("fx/zero.spr", test::WriteSheetFile(zero));
    auto z = f.Load<SpriteFx>("Sprite", "Texture=\"fx/zero.spr\" Radius=\"1\"");
    ASSERT_TRUE(z);
    z->UpdateCulling();
    for (int i = 0; i < 5; ++i) z->Render();
    for (const auto& d : Prim(*z).draws)
        for (const auto& v : d.vertices) EXPECT_TRUE(std::isfinite(v.u) && std::isfinite(v.v));
}

// A 4 x 4 sheet with 2 cells on the last row; length chosen so that frames per cell is 2.
// 50 frames a second (20 ms, exact) at speed 1 while it lives.
struct FrameRate50 {
    FrameRate50() {
        FrameTimeControl::Instance().SetFrameRate(50);
        FrameTimeControl::Instance().SetSpeed(1.0f);
    }
    ~FrameRate50() { FrameTimeControl::Instance().Reset(); }
};

std::unique_ptr<SpriteFx, test::FxNodeDeleter> SheetSprite(FxSceneFixture& f, const char* loop) {
    test::SheetFileDesc desc;
    desc.columns = desc.rows = "4";
    desc.third = "1";
    desc.fourth = "2";
    desc.texture = "fx/p.dds";
    desc.length = std::to_string(2.0 * GetFrameMilliseconds());
    desc.loop = loop;
    Files(f).AddFile("fx/grid.spr", test::WriteSheetFile(desc));
    auto s = f.Load<SpriteFx>("Sprite", "Texture=\"fx/grid.spr\" Radius=\"1\"");
    if (s) s->UpdateCulling();
    return s;
}

TEST(SpriteFx, SheetStepsFourRendersPerCellAndWraps) {
    FrameRate50 rate;
    FxSceneFixture f;
    auto s = SheetSprite(f, "1");
    ASSERT_TRUE(s);
    EXPECT_NEAR(s->FramesPerCell(), 2.0f, 1e-4f);
    std::vector<std::pair<float, float>> shown;
    for (int i = 0; i < 4 * 15; ++i) {
        s->Render();
        shown.push_back(LastCell(*s));
    }
    // Cells 0-13, each for four renders, then cell 0 again.
    for (int cell = 0; cell < 15; ++cell) {
        const int c = cell == 14 ? 0 : cell;
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(shown[4 * cell + k].first, float(c % 4) * 0.25f, 1e-5f) << cell;
            EXPECT_NEAR(shown[4 * cell + k].second, float(c / 4) * 0.25f, 1e-5f) << cell;
        }
    }
    // Whole-cell rectangles, corners in order.
    const auto& v = Prim(*s).draws.back().vertices;
    EXPECT_NEAR(v[2].u - v[0].u, 0.25f, 1e-6f);
    EXPECT_NEAR(v[2].v - v[0].v, 0.25f, 1e-6f);
}

TEST(SpriteFx, SheetWithoutLoopStaysOnTheFirstCell) {
    FrameRate50 rate;
    FxSceneFixture f;
    auto s = SheetSprite(f, "0");
    ASSERT_TRUE(s);
    for (int i = 0; i < 4 * 14; ++i) s->Render();
    for (int i = 0; i < 40; ++i) {
        s->Render();
        EXPECT_EQ(LastCell(*s), std::make_pair(0.0f, 0.0f));
    }
}

TEST(SpriteFx, CornersFollowTheDirectionType) {
    // The camera sits at (0, 0, -100) looking along +z; the sprite at the origin.
    struct Case {
        int dirType;
        const char* direction;
        Vec3 up, right;  // unit axes by hand
    };
    const Case cases[] = {
        {0, "0,1,0", {0, 1, 0}, {1, 0, 0}},   // towards the camera: (0,0,-1)
        {1, "0,1,0", {0, 1, 0}, {1, 0, 0}},   // the same, flattened
        {2, "1,0,0", {0, 1, 0}, {0, 0, 1}},   // along "Direction"
        {3, "0,1,0", {0, 0, -1}, {1, 0, 0}},  // near the vertical: the side axis leads
    };
    for (const Case& c : cases) {
        FxSceneFixture f;
        f.Renderer().Store()->DefineTexture("fx/wide.dds", {1, 0.0f, 64, 32, 3, true});
        auto s = f.Load<SpriteFx>("Sprite", std::string("Texture=\"fx/wide.dds\" Radius=\"2\" PosOffset=\"0,0,3\" "
                                                        "DirType=\"") +
                                                std::to_string(c.dirType) + "\" Direction=\"" + c.direction + "\"");
        ASSERT_TRUE(s);
        s->UpdateCulling();
        const Vec3 A = c.up * (2.0f * 0.5f), B = c.right * 2.0f;  // aspect height / width = 0.5
        ExpectVec(s->UpAxis(), A);
        ExpectVec(s->RightAxis(), B);
        s->Render();
        const Vec3 P(0, 0, 3);
        const Vec3 corners[4] = {P + A - B, P + A + B, P - A + B, P - A - B};
        const auto& v = Prim(*s).draws.back().vertices;
        ASSERT_EQ(v.size(), 4u);
        for (int i = 0; i < 4; ++i) ExpectVec({v[i].x, v[i].y, v[i].z}, corners[i]);
        EXPECT_EQ(v[0].colour, 0xFFFFFFFFu);  // no "ColorFrame": opaque white
    }
}

TEST(SpriteFx, WithoutCameraTheSpriteIsCulled) {
    FxSceneFixture f;
    auto s = f.Load<SpriteFx>("Sprite", "Texture=\"fx/p.dds\" Radius=\"1\"");
    ASSERT_TRUE(s);
    f.scene->DestroyObject(f.camera);
    f.camera = nullptr;
    ASSERT_EQ(f.scene->GetActiveCamera(), nullptr);
    EXPECT_TRUE(s->UpdateCulling());
    s->Render();
    EXPECT_TRUE(Prim(*s).draws.empty());
}

TEST(SpriteFx, DepthOffsetClosedForm) {
    struct Case {
        bool ortho;
        float zNear, zFar, z, radius, expected;
    };
    auto depth = [](float n, float fa, float z) { return fa * (z - n) / (z * (fa - n)); };
    const Case cases[] = {
        {false, 1, 101, 50, 2, depth(1, 101, 48) - depth(1, 101, 50)},
        {false, 0.5f, 1000, 10, -1, depth(0.5f, 1000, 11) - depth(0.5f, 1000, 10)},
        {true, 1, 101, 50, 2, -2.0f / 100.0f},
        {false, 5, 5, 50, 2, 0.0f},   // far equal to near
        {true, 5, 5, 50, 2, 0.0f},
        {false, 1, 101, 0, 2, 0.0f},  // a depth of 0
        {false, 1, 101, 2, 2, 0.0f},  // brought onto the eye
    };
    for (const Case& c : cases)
        EXPECT_NEAR(FxBase::DepthOffset(c.ortho, c.zNear, c.zFar, c.z, c.radius), c.expected, 1e-7f) << c.z;
}

TEST(SpriteFx, RenderGivesTheDepthOffsetOfTheNodeDepth) {
    FxSceneFixture f;
    auto s = f.Load<SpriteFx>("Sprite", "Texture=\"fx/p.dds\" Radius=\"1\" RoundRadius=\"3\" PosOffset=\"0,0,40\"");
    ASSERT_TRUE(s);
    s->SetPosition({0.0f, 0.0f, 20.0f});
    s->Update();
    s->UpdateCulling();
    s->Render();
    auto* buffer = Prim(*s).Buffer();
    ASSERT_EQ(buffer->depthBias.sets, 1);
    float zFar = 0.0f;
    const float zNear = f.camera->GetParam5(&zFar);
    ASSERT_GT(zFar, zNear);
    // The node's own depth, 120 in front of the camera; the offset does not enter.
    EXPECT_NEAR(buffer->depthBias.bias, FxBase::DepthOffset(false, zNear, zFar, 120.0f, 3.0f), 1e-7f);
    EXPECT_LT(buffer->depthBias.bias, 0.0f);
    // Without "RoundRadius" there is no depth-offset object.
    auto plain = f.Load<SpriteFx>("Sprite", "Texture=\"fx/p.dds\" Radius=\"1\"");
    plain->UpdateCulling();
    plain->Render();
    EXPECT_EQ(Prim(*plain).Buffer()->depthBias.sets, 0);
}

TEST(SpriteFx, ZWriteTakesTheLoadedMaterialsWithTex0) {
    struct Case {
        int blend;
        bool zWrite;
        int shared;
    };
    const Case cases[] = {{0, false, 0}, {2, false, 2}, {0, true, 3}, {1, true, 4}, {2, true, 5}, {7, true, 4}};
    for (const Case& c : cases) {
        FxSceneFixture f;
        auto store = f.Renderer().Store();
        for (int i = 0; i < 3; ++i) store->DefineEffect("res/effect/sfx" + std::to_string(i) + ".fx::Fx", 1, false, {"Tex0"});
        FxBase::ReleaseSharedMaterials();
        FxBase::CreateSharedMaterials();
        auto s = f.Load<SpriteFx>("Sprite", "Texture=\"fx/p.dds\" BlendMode=\"" + std::to_string(c.blend) +
                                                "\" ZWriteEnable=\"" + (c.zWrite ? "1" : "0") + "\"");
        ASSERT_TRUE(s);
        EXPECT_EQ(Prim(*s).effect, FxBase::GetSharedMaterial(c.shared)) << c.blend;
        auto* buffer = Prim(*s).Buffer();
        if (c.zWrite) {
            ASSERT_NE(s->Material(), nullptr);
            EXPECT_EQ(Prim(*s).material, s->Material());
            EXPECT_EQ(s->Material()->GetTexture("Tex0"), s->Texture());
            EXPECT_TRUE(buffer->zWriteEnabled);
            EXPECT_EQ(buffer->renderStateSets, 0);
        } else {
            EXPECT_EQ(s->Material(), nullptr);
            EXPECT_FALSE(buffer->zWriteEnabled);
            EXPECT_EQ(buffer->renderStateSets, 1);
        }
        EXPECT_EQ(buffer->flags, 96u);
        s->Release();
        EXPECT_EQ(store->LiveMaterials(), 0);
        EXPECT_EQ(f.Renderer().LivePrimitives(), 0);
    }
}

TEST(SpriteFx, LoadTextureKeepsTheOldTextureWhenTheNewOneFails) {
    FxSceneFixture f;
    f.Renderer().Store()->DefineTexture("fx/q.dds");
    auto s = f.Load<SpriteFx>("Sprite", "Texture=\"fx/p.dds\"");
    ASSERT_TRUE(s);
    render::ITexture* first = s->Texture();
    s->LoadTexture("fx/none.dds");
    EXPECT_EQ(s->Texture(), first);
    s->LoadTexture("fx/q.dds");
    EXPECT_NE(s->Texture(), first);
    EXPECT_EQ(Prim(*s).textures[0], s->Texture());
    // Only ".ems" is a sheet here: ".spr" is loaded as a texture name (and fails).
    test::SheetFileDesc desc;
    desc.texture = "fx/p.dds";
    Files(f).AddFile("fx/g.ems", test::WriteSheetFile(desc));
    Files(f).AddFile("fx/g.spr", test::WriteSheetFile(desc));
    s->LoadTexture("fx/g.spr");
    EXPECT_TRUE(s->IsWholeTexture());
    s->LoadTexture("fx/g.EMS");
    EXPECT_FALSE(s->IsWholeTexture());
    char name[256];
    float columns = 0, length = 0;
    bool loop = false;
    s->GetTextureAnimInfo(&columns, nullptr, nullptr, nullptr, name, &length, &loop);
    EXPECT_EQ(columns, 4.0f);
    EXPECT_EQ(std::string(name), "fx/p.dds");
    EXPECT_EQ(length, 1000.0f);
    EXPECT_TRUE(loop);
    s->Release();
    EXPECT_EQ(f.Renderer().Store()->LiveTextures(), 0);
}

}  // namespace
}  // namespace quor::world
