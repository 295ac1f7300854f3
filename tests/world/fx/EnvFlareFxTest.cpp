#include "world/fx/EnvFlareFx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/host/RecordingRenderer.h"
#include "platform/win32/Clock.h"
#include "tests/support/world/fx/FxSceneFixture.h"

namespace quor::world {
namespace {

using test::FxSceneFixture;

host::RecordingPrimitive& Prim(EnvFlareFx& s) { return *static_cast<host::RecordingPrimitive*>(s.Primitive()); }

// A flare whose finishing state a test can set (no loaded flare lingers by itself).
struct FlareProbe : EnvFlareFx {
    void Finish() { m_state = kFxFinishing; }
};

struct ManualClock {
    explicit ManualClock(std::uint32_t now) { win32::TimeSource::SetManual(now); }
    ~ManualClock() { win32::TimeSource::UseReal(); }
};

TEST(EnvFlareFx, QuadAroundTheProjectedPoint) {
    FxSceneFixture f;
    const float w = float(f.camera->GetParam11()), h = float(f.camera->GetParam12());
    struct Case {
        const char* offset;
        float facing;  // D . view direction, by hand
    };
    const Case cases[] = {{"0,0,1", 1.0f}, {"0,0,5", 1.0f}, {"3,0,4", 0.8f}, {"0,-4,3", 0.6f}};
    for (const Case& c : cases) {
        auto fl = f.Load<EnvFlareFx>("EnvFlareFx", std::string("Texture=\"fx/p.dds\" Radius=\"8\" PosOffset=\"") + c.offset + "\"");
        ASSERT_TRUE(fl);
        EXPECT_EQ(fl->GetKind(), kFxKindFlare);
        fl->Render();
        auto& p = Prim(*fl);
        ASSERT_EQ(p.draws.size(), 1u) << c.offset;
        const auto& v = p.draws[0].vertices;
        ASSERT_EQ(v.size(), 4u);
        const float r = 8.0f / c.facing;
        // The centre: the straight-ahead flare sits mid-screen; others where the camera puts
        // the point ten units out along the offset.
        float centre[2] = {w * 0.5f, h * 0.5f};
        if (c.facing != 1.0f) {
            float depth = 0.0f;
            Vec3 d(0, 0, 0);
            if (std::string(c.offset) == "3,0,4") d = {0.6f, 0.0f, 0.8f};
            else d = {0.0f, -0.8f, 0.6f};
            f.camera->WorldToScreen(Vec3(0, 0, -100) + d * 10.0f, centre, &depth);
        }
        const float xs[4] = {-r, r, -r, r}, ys[4] = {-r, -r, r, r};
        const float us[4] = {0, 1, 0, 1}, vs[4] = {1, 1, 0, 0};
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(v[i].x, centre[0] + xs[i], 1e-3f) << c.offset << " " << i;
            EXPECT_NEAR(v[i].y, centre[1] + ys[i], 1e-3f) << c.offset << " " << i;
            EXPECT_EQ(v[i].z, 1.0f);
            EXPECT_EQ(v[i].u, us[i]);
            EXPECT_EQ(v[i].v, vs[i]);
            EXPECT_EQ(v[i].colour, 0xFFFFFFFFu);
        }
        // The screen-space pair goes round the vertex writes.
        const auto& calls = p.calls;
        const auto begin = std::find(calls.begin(), calls.end(), "Slot8(0,0)");
        const auto end = std::find(calls.begin(), calls.end(), "Slot9(0,0)");
        ASSERT_NE(begin, calls.end());
        ASSERT_NE(end, calls.end());
        EXPECT_EQ(*(begin + 1), "SetVertexUV(0,4294967295)");
        EXPECT_EQ(*(end - 1), "SetVertexUV(3,4294967295)");
        EXPECT_EQ(p.kind, 5);
        EXPECT_EQ(p.vertexFormat, 0x144u);
    }
}

TEST(EnvFlareFx, NoQuadBesideOrBehindTheView) {
    FxSceneFixture f;
    for (const char* offset : {"0,0,-1", "1,0,0", "0,1,0", "0,0,0", "1,0,0.00001"}) {
        auto fl = f.Load<EnvFlareFx>("EnvFlareFx", std::string("Texture=\"fx/p.dds\" Radius=\"8\" PosOffset=\"") + offset + "\"");
        ASSERT_TRUE(fl);
        fl->Render();
        EXPECT_TRUE(Prim(*fl).draws.empty()) << offset;
    }
}

TEST(EnvFlareFx, LoadCases) {
    struct Case {
        float duration;
        const char* attributes;
        bool loads;
        float lifeSpan;
    };
    const Case cases[] = {
        {1.6f, "FxLifeSpan=\"0\" ", true, 1.99f},   // rounded to 2 s, less 10 ms
        {1.6f, "", true, 1.0f},                      // "FxLifeSpan" absent keeps 1.0
        {0.0f, "FxLifeSpan=\"0\" ", true, 0.0f},    // a still texture keeps 0
        {1.0f, "FxLifeSpan=\"0\" BlendMode=\"9\" ", true, 0.99f},
    };
    for (const Case& c : cases) {
        FxSceneFixture f;
        f.Renderer().Store()->DefineTexture("fx/flare.dds", {4, c.duration, 128, 64, 3, true});
        auto fl = f.Load<EnvFlareFx>("EnvFlareFx", std::string(c.attributes) + "Texture=\"fx/flare.dds\"");
        ASSERT_EQ(bool(fl), c.loads);
        EXPECT_NEAR(fl->GetLifeSpan(), c.lifeSpan, 1e-6f) << c.attributes;
        EXPECT_EQ(fl->Aspect(), 2.0f);
    }
    FxSceneFixture f;
    auto odd = f.Load<EnvFlareFx>("EnvFlareFx", "Texture=\"fx/p.dds\" BlendMode=\"9\"");
    ASSERT_TRUE(odd);
    EXPECT_TRUE(f.world.capture.Contains("[EnvFlareFx] BlendMode 9 is not one of 0-5; 1 taken"));
    EXPECT_FALSE(f.Load<EnvFlareFx>("EnvFlareFx", "Texture=\"\""));
    EXPECT_TRUE(f.world.capture.Contains("[EnvFlareFx] Empty texture!"));
    auto none = f.Load<EnvFlareFx>("EnvFlareFx", "Texture=\"fx/none.dds\"");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Texture(), nullptr);
    EXPECT_TRUE(f.world.capture.Contains("[EnvFlareFx] Failed to load texture file fx/none.dds!"));
    f.Renderer().SetFailPrimitives(true);
    EXPECT_FALSE(f.Load<EnvFlareFx>("EnvFlareFx", "Texture=\"fx/p.dds\""));
    EXPECT_TRUE(f.world.capture.Contains("[EnvFlareFx] Failed to create vertex buffer!"));
}

TEST(EnvFlareFx, StoppingKeepsItDrawingAndThePhaseWrapEndsAFinish) {
    ManualClock clock(5000);
    FxSceneFixture f;
    f.Renderer().Store()->DefineTexture("fx/flare.dds", 4, 1.0f);
    auto fl = f.Load<FlareProbe>("EnvFlareFx", "FxLifeSpan=\"100\" Texture=\"fx/flare.dds\" PosOffset=\"0,0,1\"");
    ASSERT_TRUE(fl);
    fl->SetPlaying(true);
    fl->SetPlaying(false);
    EXPECT_EQ(fl->GetState(), kFxPlaying);
    fl->Finish();
    for (std::uint32_t step : {300u, 300u, 300u}) {
        win32::TimeSource::Advance(step);
        fl->Update();
        EXPECT_EQ(fl->GetState(), kFxFinishing);
    }
    win32::TimeSource::Advance(200);  // 1100 ms: the 1000 ms cycle wrapped
    fl->Update();
    EXPECT_EQ(fl->GetState(), kFxInactive);
}

TEST(EnvFlareFx, ReleaseGivesEverythingBack) {
    FxSceneFixture f;
    auto fl = f.Load<EnvFlareFx>("EnvFlareFx", "Texture=\"fx/p.dds\"");
    ASSERT_TRUE(fl);
    fl->Release();
    fl->Release();
    EXPECT_EQ(f.Renderer().LivePrimitives(), 0);
    EXPECT_EQ(f.Renderer().Store()->LiveTextures(), 0);
}

}  // namespace
}  // namespace quor::world
