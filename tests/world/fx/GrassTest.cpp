#include "world/fx/Grass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "platform/host/RecordingPrimitive.h"
#include "tests/support/world/fx/VegetationHost.h"

namespace quor::world {
namespace {

struct GrassHost : test::VegetationHost {
    GrassHost() {
        renderer.Store()->DefineEffect("res/effect/grass.fx::Grass");
        host::TextureDesc blade;
        blade.width = 32;
        blade.height = 64;
        renderer.Store()->DefineTexture("blade.dds", blade);
        Grass::LoadSharedEffect();
    }
    // What the patch wrote into its primitive.
    static const std::vector<host::PrimitiveVertex>& Vertices(const Grass* g) {
        return static_cast<host::RecordingPrimitive*>(g->Primitive())->vertices;
    }
    static host::RecordingMaterialParams& Params(Grass* g) {
        return static_cast<host::RecordingMaterial*>(g->Material())->params;
    }
};

TEST(Grass, ThreeQuadsOfFortyAreEighteenVerticesAtZeroSixtyAndOneTwenty) {
    GrassHost host;
    GrassMgr mgr;
    Grass* g = mgr.CreateGrass("blade.dds", 40, 3, 0, 0, 0, 0xFF00FF00u);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->TextureWidth(), 20);  // 40 x 32 / 64
    const auto& v = GrassHost::Vertices(g);
    ASSERT_EQ(v.size(), 18u);
    for (int i = 0; i < 3; ++i) {
        const double a = i * 3.14159265358979 / 3;
        const float dx = float(std::cos(a) * 20), dz = float(std::sin(a) * 20);
        // (x, y, z, u, v) of the first build, in the table's order.
        const float want[6][5] = {{dx, 0, dz, 1, 0},   {dx, 40, dz, 1, 1},   {-dx, 0, -dz, 0, 0},
                                  {-dx, 0, -dz, 0, 0}, {dx, 40, dz, 1, 1},   {-dx, 40, -dz, 0, 1}};
        for (int k = 0; k < 6; ++k) {
            const auto& got = v[std::size_t(i * 6 + k)];
            EXPECT_NEAR(got.x, want[k][0], 1e-4) << i << k;
            EXPECT_EQ(got.y, want[k][1]);
            EXPECT_NEAR(got.z, want[k][2], 1e-4);
            EXPECT_EQ(got.u, want[k][3]);
            EXPECT_EQ(got.v, want[k][4]);
            EXPECT_EQ(got.colour, 0xFF00FF00u);
        }
    }
    auto* p = static_cast<host::RecordingPrimitive*>(g->Primitive());
    EXPECT_EQ(p->kind, 4);
    EXPECT_EQ(p->vertexFormat, 0x142u);
    EXPECT_EQ(p->capacity, 18u);
    EXPECT_EQ(g->GetName().rfind("cross", 0), 0u);
    // Never swaying: an update keeps the first build's texture coordinates.
    win32::TimeSource::Advance(40);
    mgr.Update(nullptr);
    EXPECT_EQ(GrassHost::Vertices(g)[1].v, 1.0f);
}

TEST(Grass, WindSplitsTheSpeedByTheRanges) {
    GrassHost host;
    GrassMgr mgr;
    struct Case {
        int rx, rz;
        float speed, sx, sz;
    };
    const Case cases[] = {{10, 0, 2, 2, 0}, {3, 4, 5, 3, 4}, {0, 7, 1.5f, 0, 1.5f}, {0, 0, 9, 0, 0}};
    for (const Case& c : cases) {
        Grass* g = mgr.CreateGrass("blade.dds", 10, 2, 0, 0, 0, 0xFFFFFFFFu);
        ASSERT_NE(g, nullptr);
        for (int repeat = 0; repeat < 20; ++repeat) {
            g->SetWind(c.rx, c.rz, c.speed);
            EXPECT_FLOAT_EQ(g->SpeedX(), c.sx);
            EXPECT_FLOAT_EQ(g->SpeedZ(), c.sz);
            if (c.rx > 0) {
                EXPECT_GE(g->SwayX(), -c.rx);
                EXPECT_LE(g->SwayX(), c.rx - 1);
                EXPECT_EQ(g->SwayX(), std::floor(g->SwayX()));
            } else {
                EXPECT_EQ(g->SwayX(), 0.0f);
            }
        }
    }
}

TEST(Grass, SwayTurnsAtTheRangeAndMovesTheTopEdge) {
    GrassHost host;
    GrassMgr mgr;
    Grass* g = mgr.CreateGrass("blade.dds", 10, 1, 0, 0, 0, 0xFFFFFFFFu);
    g->SetWind(4, 0, 3);
    float last = g->SwayX();
    int turns = 0;
    for (int step = 0; step < 10; ++step) {
        const float speed = g->SpeedX();
        g->Animate();
        EXPECT_LE(std::fabs(g->SwayX()), 4.0f);
        if (g->SpeedX() != speed) ++turns;
        last = g->SwayX();
        // The top edge moves by the sway, the foot stays.
        EXPECT_FLOAT_EQ(GrassHost::Vertices(g)[1].x, 5.0f + last);
        EXPECT_FLOAT_EQ(GrassHost::Vertices(g)[0].x, 5.0f);
        EXPECT_FLOAT_EQ(GrassHost::Vertices(g)[1].v, 0.05f);
    }
    EXPECT_GE(turns, 2);
}

TEST(Grass, FogFollowsTheDistanceFromTheEye) {
    GrassHost host;
    const std::pair<float, float> cases[] = {{200, 0.5f}, {50, 0}, {400, 1}, {100, 0}, {300, 1}};
    for (auto [d, f] : cases) EXPECT_FLOAT_EQ(GrassMgr::FogFactor(d, 100, 300), f) << d;
    EXPECT_EQ(GrassMgr::FogFactor(500, 300, 300), 0.0f);

    GrassMgr mgr;
    Grass* g = mgr.CreateGrass("blade.dds", 10, 2, 0, 0, 0, 0xFFFFFFFFu);
    g->SetPosition(Vec3(0, 0, 200));
    mgr.SetFog(true, 100, 300);
    const float red[4] = {1, 0, 0, 1};
    mgr.SetFogColour(red);
    mgr.ApplyFog(true);
    auto& params = GrassHost::Params(g);
    EXPECT_FLOAT_EQ(params.values["fog"][0], 0.5f);
    EXPECT_EQ(params.values["fogColor"], (std::vector<float>{1, 0, 0, 1}));
    mgr.SetFog(false, 100, 300);
    mgr.ApplyFog(false);
    EXPECT_FLOAT_EQ(params.values["fog"][0], 0.0f);
}

TEST(Grass, UpdatesComeAtMostEveryThirtyMilliseconds) {
    GrassHost host;
    GrassMgr mgr;
    Grass* g = mgr.CreateGrass("blade.dds", 10, 2, 0, 0, 0, 0xFFFFFFFFu);
    g->SetWind(50, 0, 1);
    const float start = g->SwayX();
    struct Step {
        int advance;
        bool moves;
    };
    // Measured from the last update that ran.
    const Step steps[] = {{20, false}, {10, true}, {20, false}, {9, false}, {1, true}};
    float last = start;
    for (const Step& s : steps) {
        win32::TimeSource::Advance(std::uint32_t(s.advance));
        mgr.Update(nullptr);
        EXPECT_EQ(g->SwayX() != last, s.moves) << s.advance;
        last = g->SwayX();
    }
}

TEST(Grass, FrustumContainmentMatchesABruteForcePlaneTest) {
    // A perspective view-projection (row vectors, depth 0..1) seen from a moved eye.
    Matrix vp;
    const float ys = 1.0f / std::tan(0.5f), xs = ys / 1.5f, zn = 1, zf = 500;
    const Matrix proj{{xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0, -zn * zf / (zf - zn), 0}};
    Matrix view = MatrixIdentity();
    view.m[12] = -10, view.m[13] = 5, view.m[14] = 20;
    MatrixMultiplyPlain(view, proj, vp);
    GrassFrustum f;
    f.FromMatrix(vp);
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> pos(-600, 600);
    int inside = 0;
    for (int i = 0; i < 4000; ++i) {
        const Vec3 p(pos(gen), pos(gen), pos(gen));
        Vec4 clip;
        Vec4Transform(Vec4(p.x, p.y, p.z, 1), vp, clip);
        const float e = 1e-4f;
        const bool brute = clip.x >= -clip.w - e && clip.x <= clip.w + e && clip.y >= -clip.w - e &&
                           clip.y <= clip.w + e && clip.z >= -e && clip.z <= clip.w + e;
        if (std::fabs(std::fabs(clip.x) - clip.w) < 1e-2f || std::fabs(std::fabs(clip.y) - clip.w) < 1e-2f) continue;
        EXPECT_EQ(f.Contains(p), brute) << p.x << "," << p.y << "," << p.z;
        inside += brute;
    }
    EXPECT_GT(inside, 20);
}

TEST(Grass, PatchesShareCachedTexturesThatOnlyClearReleases) {
    GrassHost host;
    {
        GrassMgr mgr;
        Grass* a = mgr.CreateGrass("blade.dds", 10, 2, 0, 0, 0, 0xFFFFFFFFu);
        Grass* b = mgr.CreateGrass("blade.dds", 10, 2, 0, 0, 0, 0xFFFFFFFFu);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->Texture(), b->Texture());
        EXPECT_EQ(host.renderer.LiveTextures(), 1);
        EXPECT_EQ(host.renderer.LivePrimitives(), 2);
        const std::string removed = a->GetName();
        mgr.RemoveGrass(removed.c_str());
        EXPECT_EQ(host.renderer.LivePrimitives(), 1);
        EXPECT_EQ(host.renderer.LiveTextures(), 1);
        ASSERT_EQ(mgr.Patches().size(), 1u);
        // The other patch still draws with the texture.
        win32::TimeSource::Advance(40);
        Matrix vp = MatrixIdentity();
        vp.m[10] = 0.001f;
        mgr.Render(vp);
        auto* p = static_cast<host::RecordingPrimitive*>(b->Primitive());
        EXPECT_EQ(p->drawCount, 1);
        EXPECT_EQ(static_cast<host::RecordingMaterial*>(b->Material())->GetTexture("Tex0"), b->Texture());
        mgr.Clear();
        EXPECT_EQ(host.renderer.LiveTextures(), 0);
        EXPECT_EQ(host.renderer.LivePrimitives(), 0);
        EXPECT_EQ(host.renderer.BadReleases(), 0);
    }
    EXPECT_EQ(host.renderer.BadReleases(), 0);
}

TEST(Grass, BadPatchesAreRefused) {
    GrassHost host;
    host::TextureDesc flat;
    flat.height = 0;
    host.renderer.Store()->DefineTexture("flat.dds", flat);
    GrassMgr mgr;
    EXPECT_EQ(mgr.CreateGrass("blade.dds", 10, 0, 0, 0, 0, 1), nullptr);
    EXPECT_EQ(mgr.CreateGrass("blade.dds", 10, -2, 0, 0, 0, 1), nullptr);
    Grass* flatPatch = mgr.CreateGrass("flat.dds", 10, 2, 0, 0, 0, 1);
    ASSERT_NE(flatPatch, nullptr);
    EXPECT_EQ(flatPatch->TextureWidth(), 0);
    // A missing texture is a blank one from the cache.
    Grass* blank = mgr.CreateGrass("gone.dds", 10, 2, 0, 0, 0, 1);
    ASSERT_NE(blank, nullptr);
    EXPECT_TRUE(host.log.Contains("gone.dds"));
    // No name: a patch without geometry.
    Grass* bare = mgr.CreateGrass("", 10, 2, 0, 0, 0, 1);
    ASSERT_NE(bare, nullptr);
    EXPECT_FALSE(bare->HasGeometry());
    host.renderer.SetFailPrimitives(true);
    EXPECT_EQ(mgr.CreateGrass("blade.dds", 10, 2, 0, 0, 0, 1), nullptr);
    EXPECT_TRUE(host.log.Contains("Can't create  primitives!"));
    host.renderer.SetFailPrimitives(false);
    mgr.Clear();
    EXPECT_EQ(host.renderer.LiveTextures(), 0);
}

}  // namespace
}  // namespace quor::world
