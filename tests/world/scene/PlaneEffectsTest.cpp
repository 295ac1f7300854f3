#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RecordingResources.h"
#include "platform/win32/Clock.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/fx/Picture.h"
#include "world/scene/Blaze.h"
#include "world/scene/Electricity.h"
#include "world/scene/PlaneFog.h"
#include "world/scene/Scene2D.h"

namespace quor::world {
namespace {

constexpr const char* kFogFx = "res/builtin/shader/PlaneFog.fx::PlaneFog";
constexpr const char* kBlazeFx = "res/builtin/shader/Blaze.fx::Blaze";
constexpr const char* kBoltFx = "res/builtin/shader/Electricity.fx::electricity";
constexpr const char* kDistortion = "builtin/textures/FireDistortion.tga";

using Floats = std::vector<float>;

// A world whose renderer knows the three effects (with their texture stages) and, unless
// told otherwise, the textures the sheets load; a manual clock; an 800 x 600 viewport.
struct Env {
    explicit Env(bool textures = true) : fx(0, false) {
        host::RecordingStore* store = fx.host().renderer.Store().get();
        store->DefineEffect(kFogFx, 1, false, {"NoiseTex"});
        store->DefineEffect(kBlazeFx, 1, false, {"NoiseTex", "Fire"});
        store->DefineEffect(kBoltFx, 1, false, {"NoiseTex"});
        if (textures) {
            for (const char* name : {"fog.dds", "sfx\\fog.dds", "fire.tga", kDistortion, Electricity::kNoiseVolume})
                store->DefineTexture(name);
        }
        fx.host().renderer.backBufferWidth = 800;
        fx.host().renderer.backBufferHeight = 600;
        quor::World::Instance().Initialize(60);
        win32::TimeSource::SetManual(1000);
    }
    ~Env() { win32::TimeSource::UseReal(); }

    test::WorldFixture fx;
};

host::RecordingMaterial* Mat(render::IMaterial* m) { return static_cast<host::RecordingMaterial*>(m); }
host::RecordingPrimitive* Prim(render::IPrimitive* p) { return static_cast<host::RecordingPrimitive*>(p); }

Floats Param(render::IMaterial* m, const char* name) {
    const auto& values = Mat(m)->params.values;
    auto it = values.find(name);
    return it == values.end() ? Floats{} : it->second;
}

// The parameter names in the order they were set.
std::vector<std::string> ParamOrder(render::IMaterial* m) {
    std::vector<std::string> names;
    for (const std::string& call : Mat(m)->params.calls) {
        const std::size_t open = call.find('(');
        names.push_back(call.substr(open + 1, call.find_first_of(",)", open) - open - 1));
    }
    return names;
}

Floats Rect(float* r) { return Floats(r, r + 4); }

// --- start-up and construction ------------------------------------------------------------------

TEST(PlaneEffects, SharedEffectsLiveFromStartUpToShutdown) {
    Env env;
    ASSERT_NE(PlaneFog::SharedEffect(), nullptr);
    ASSERT_NE(Blaze::SharedEffect(), nullptr);
    ASSERT_NE(Electricity::SharedEffect(), nullptr);
    quor::World::Instance().Initialize(60);  // started again: still the one effect each
    EXPECT_EQ(env.fx.host().renderer.LiveEffects(), 3 + 8);
    quor::World::Instance().Shutdown();
    EXPECT_EQ(PlaneFog::SharedEffect(), nullptr);
    EXPECT_EQ(Blaze::SharedEffect(), nullptr);
    EXPECT_EQ(Electricity::SharedEffect(), nullptr);
    EXPECT_EQ(env.fx.host().renderer.LiveObjects(), 0);
    EXPECT_EQ(env.fx.host().renderer.BadReleases(), 0);
}

TEST(PlaneEffects, ConstructionSetsEveryParameterOnce) {
    Env env;
    {
        PlaneFog fog("fog.dds");
        render::IMaterial* m = fog.Material();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(Mat(m)->techniqueName, kFogFx);
        EXPECT_EQ(ParamOrder(m), (std::vector<std::string>{"speed0", "AlphaControl", "color", "power"}));
        EXPECT_EQ(Param(m, "speed0"), (Floats{0.1f, 0.06f, 0, 0}));
        EXPECT_EQ(Param(m, "AlphaControl"), Floats{0.35f});
        EXPECT_EQ(Param(m, "color"), (Floats{1, 1, 1, 1}));
        EXPECT_EQ(Param(m, "power"), Floats{1});
        ASSERT_NE(m->GetTexture("NoiseTex"), nullptr);
        EXPECT_EQ(static_cast<host::RecordingTexture*>(m->GetTexture("NoiseTex"))->name, "fog.dds");
        host::RecordingPrimitive* p = Prim(fog.Primitive());
        EXPECT_EQ(p->kind, 7);
        EXPECT_EQ(p->vertexFormat, 0x144u);
        EXPECT_EQ(p->calls, (std::vector<std::string>{"SetVertexCount(1,-1,0,1)", "SetMaterial()"}));
        EXPECT_EQ(p->material, m);
        EXPECT_FALSE(fog.IsOnGround());
    }
    {
        Blaze blaze("fire.tga", kDistortion);
        render::IMaterial* m = blaze.Material();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(ParamOrder(m), (std::vector<std::string>{"layer_speed", "time_0_X", "Color", "BumpScale", "Dizze",
                                                            "distortion_amount"}));
        EXPECT_EQ(Param(m, "layer_speed"), (Floats{0.68753f, 0.52f, 0.7534f, 0}));
        EXPECT_EQ(Param(m, "distortion_amount"), (Floats{0.123f, 0.091f, 0.0723f, 0}));
        EXPECT_EQ(Param(m, "Color"), (Floats{0, 0, 0, 0}));
        EXPECT_EQ(static_cast<host::RecordingTexture*>(m->GetTexture("Fire"))->name, "fire.tga");
        EXPECT_EQ(static_cast<host::RecordingTexture*>(m->GetTexture("NoiseTex"))->name, kDistortion);
    }
    {
        Electricity bolt;
        render::IMaterial* m = bolt.Material();
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(ParamOrder(m), (std::vector<std::string>{"color", "glowStrength", "height", "glowFallOff", "speed",
                                                            "sampleDist", "ambientGlow", "ambientGlowHeightScale",
                                                            "vertNoise", "time_0_X"}));
        EXPECT_EQ(Param(m, "color"), (Floats{0.6873f, 0.4812f, 1, 1}));
        EXPECT_EQ(Param(m, "glowStrength"), Floats{144});
        EXPECT_EQ(bolt.GetWidth(), 200.0f);
        EXPECT_EQ(static_cast<host::RecordingTexture*>(m->GetTexture("NoiseTex"))->name, Electricity::kNoiseVolume);
    }
    // Everything made is given back.
    EXPECT_EQ(env.fx.host().renderer.LivePrimitives(), 0);
    EXPECT_EQ(env.fx.host().renderer.Store()->LiveTextures(), 0);
    EXPECT_EQ(env.fx.host().renderer.Store()->LiveMaterials(), 0);
    EXPECT_EQ(env.fx.host().renderer.BadReleases(), 0);
}

TEST(PlaneEffects, MissingTexturesBecomeBlankOnes) {
    Env env(false);
    const struct {
        std::function<void()> make;
        std::vector<std::string> messages;
        int blanks;
    } cases[] = {
        {[] { PlaneFog fog("fog.dds"); }, {"程序雾贴图：fog.dds 丢失"}, 1},
        {[] { PlaneFog fog(nullptr); }, {"程序雾贴图： 丢失"}, 1},
        {[] { Blaze blaze("fire.tga", "noise.tga"); }, {"程序火干扰贴图：noise.tga 丢失", "程序火贴图：fire.tga 不存在"}, 2},
        {[] { Electricity bolt; }, {"平面特效电干扰贴图：builtin/textures/NoiseVolume1.dds, 丢失"}, 1},
    };
    for (const auto& c : cases) {
        env.fx.capture.Clear();
        env.fx.host().renderer.ClearCalls();
        c.make();
        for (const std::string& m : c.messages) EXPECT_TRUE(env.fx.capture.Contains(m)) << m;
        int blanks = 0;
        for (const std::string& call : env.fx.host().renderer.Calls()) blanks += call == "CreateTexture(256,256,0,0,1,0)";
        EXPECT_EQ(blanks, c.blanks) << c.messages[0];
    }
    EXPECT_EQ(env.fx.host().renderer.Store()->LiveTextures(), 0);
}

// --- setters ------------------------------------------------------------------------------------

TEST(PlaneEffects, FogSettersSetTheirParameters) {
    Env env;
    const struct {
        const char* param;
        std::function<void(PlaneFog&)> set;
        std::function<Floats(PlaneFog&)> get;
        Floats value;
    } cases[] = {
        {"speed0", [](PlaneFog& f) { f.SetSpeed(2, 3); }, [](PlaneFog& f) { return Floats{f.GetSpeedX(), f.GetSpeedY(), 0, 0}; },
         {2, 3, 0, 0}},
        {"speed0", [](PlaneFog& f) { f.SetSpeedX(5); }, [](PlaneFog& f) { return Floats{f.GetSpeedX(), f.GetSpeedY(), 0, 0}; },
         {5, 0.06f, 0, 0}},
        {"speed0", [](PlaneFog& f) { f.SetSpeedY(7); }, [](PlaneFog& f) { return Floats{f.GetSpeedX(), f.GetSpeedY(), 0, 0}; },
         {0.1f, 7, 0, 0}},
        {"AlphaControl", [](PlaneFog& f) { f.SetAlphaControl(0.5f); }, [](PlaneFog& f) { return Floats{f.GetAlphaControl()}; },
         {0.5f}},
        {"power", [](PlaneFog& f) { f.SetPower(2.5f); }, [](PlaneFog& f) { return Floats{f.GetPower()}; }, {2.5f}},
        {"color", [](PlaneFog& f) { f.SetColor(0.1f, 0.2f, 0.3f, 0.4f); },
         [](PlaneFog& f) {
             Floats c(4);
             f.GetColor(&c[0], &c[1], &c[2], &c[3]);
             return c;
         },
         {0.1f, 0.2f, 0.3f, 0.4f}},
    };
    for (const auto& c : cases) {
        PlaneFog fog("fog.dds");
        c.set(fog);
        EXPECT_EQ(Param(fog.Material(), c.param), c.value) << c.param;
        EXPECT_EQ(c.get(fog), c.value) << c.param;
    }
}

TEST(PlaneEffects, BlazeSettersSetTheirParameters) {
    Env env;
    const struct {
        const char* param;
        std::function<void(Blaze&)> set;
        std::function<Floats(Blaze&)> get;
        Floats value;
    } cases[] = {
        {"layer_speed", [](Blaze& b) { b.SetLayerSpeed(1, 2, 3); },
         [](Blaze& b) {
             Floats v(4, 0.0f);
             b.GetLayerSpeed(v.data());
             return v;
         },
         {1, 2, 3, 0}},
        {"distortion_amount", [](Blaze& b) { b.SetDistortionAmount(4, 5, 6); },
         [](Blaze& b) {
             Floats v(4, 0.0f);
             b.GetDistortionAmount(v.data());
             return v;
         },
         {4, 5, 6, 0}},
        {"BumpScale", [](Blaze& b) { b.SetBumpScale(0.25f); }, [](Blaze& b) { return Floats{b.GetBumpScale()}; }, {0.25f}},
        {"Dizze", [](Blaze& b) { b.SetDizze(3); }, [](Blaze& b) { return Floats{b.GetDizze()}; }, {3}},
    };
    for (const auto& c : cases) {
        Blaze blaze("fire.tga", kDistortion);
        c.set(blaze);
        EXPECT_EQ(Param(blaze.Material(), c.param), c.value) << c.param;
        EXPECT_EQ(c.get(blaze), c.value) << c.param;
        EXPECT_EQ(Param(blaze.Material(), "Color"), (Floats{0, 0, 0, 0}));
    }
}

TEST(PlaneEffects, BoltSettersSetTheirParameters) {
    Env env;
    using Set = void (Electricity::*)(float);
    using Get = float (Electricity::*)();
    const struct {
        const char* param;
        Set set;
        Get get;
    } cases[] = {
        {"glowStrength", &Electricity::SetGlowStrength, &Electricity::GetGlowStrength},
        {"height", &Electricity::SetHeight, &Electricity::GetHeight},
        {"glowFallOff", &Electricity::SetGlowFallOff, &Electricity::GetGlowFallOff},
        {"speed", &Electricity::SetSpeed, &Electricity::GetSpeed},
        {"sampleDist", &Electricity::SetSampleDist, &Electricity::GetSampleDist},
        {"ambientGlow", &Electricity::SetAmbientGlow, &Electricity::GetAmbientGlow},
        {"ambientGlowHeightScale", &Electricity::SetAmbientGlowHeightScale, &Electricity::GetAmbientGlowHeightScale},
        {"vertNoise", &Electricity::SetVertNoise, &Electricity::GetVertNoise},
    };
    Electricity bolt;
    float value = 1.5f;
    for (const auto& c : cases) {
        (bolt.*c.set)(value);
        EXPECT_EQ(Param(bolt.Material(), c.param), Floats{value}) << c.param;
        EXPECT_EQ((bolt.*c.get)(), value) << c.param;
        value += 1.0f;
    }
    bolt.SetColor(0.1f, 0.2f, 0.3f, 0.4f);
    Floats colour(4);
    bolt.GetColor(colour.data());
    EXPECT_EQ(colour, (Floats{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_EQ(Param(bolt.Material(), "color"), colour);
}

// --- rectangles ---------------------------------------------------------------------------------

template <class Sheet>
void CheckRectBookkeeping(Sheet& s) {
    float r[4];
    s.SetRect(10.7f, 0.0f, 20.2f, 5.9f);
    EXPECT_EQ(s.GetWidth(), 9);
    EXPECT_EQ(s.GetHeight(), 5);
    EXPECT_EQ(s.GetX(), 10);
    s.GetRect(r);
    EXPECT_EQ(Rect(r), (Floats{10.7f, 0.0f, 20.2f, 5.9f}));
    s.SetX(2);
    s.MoveX(-3);
    EXPECT_EQ(s.GetX(), -1);
    s.GetRect(r);
    EXPECT_EQ(Rect(r), (Floats{-1, 0, 8, 5}));
    s.SetY(4);
    s.MoveY(2);
    s.SetWidth(30);
    s.SetHeight(-2);
    s.GetRect(r);
    EXPECT_EQ(Rect(r), (Floats{-1, 6, 29, 4}));
    // Cut toward zero, for the size and the position alike.
    s.SetRect(-10.5f, -3.9f, -20.0f, 0.0f);
    EXPECT_EQ(s.GetWidth(), -9);
    EXPECT_EQ(s.GetHeight(), 3);
    EXPECT_EQ(s.GetX(), -10);
    EXPECT_EQ(s.GetY(), -3);
    s.SetRect(0, 0, 1e30f, 0);  // out of the integer range: held at its edge
    EXPECT_GT(s.GetWidth(), 2000000000);
}

TEST(PlaneEffects, SheetRectangles) {
    Env env;
    PlaneFog fog("fog.dds");
    CheckRectBookkeeping(fog);
    Blaze blaze("fire.tga", kDistortion);
    CheckRectBookkeeping(blaze);
}

TEST(PlaneEffects, BoltBoundsFollowTheEndpoints) {
    Env env;
    Electricity bolt;
    float r[4];
    bolt.SetEndpoints(0, 0, 100, 0);
    bolt.GetRect(r);
    EXPECT_EQ(Rect(r), (Floats{-100, -100, 200, 100}));
    bolt.SetWidth(50);
    bolt.GetRect(r);
    EXPECT_EQ(Rect(r), (Floats{-100, -100, 200, 100}));
    bolt.SetEndpoints(100, 40, 0, -10);
    bolt.GetRect(r);
    EXPECT_EQ(Rect(r), (Floats{-25, -35, 125, 65}));
    Floats ends(4);
    bolt.GetEndpoints(ends.data());
    EXPECT_EQ(ends, (Floats{100, 40, 0, -10}));
}

// --- drawing ------------------------------------------------------------------------------------

// Which sheets meet the 800 x 600 viewport: any overlap draws, touching edges do not.
TEST(PlaneEffects, SheetVisibility) {
    Env env;
    const struct {
        float rect[4];
        float offset[2];
        bool drawn;
    } cases[] = {
        {{10, 10, 50, 50}, {0, 0}, true},
        {{-2000, -100, 900, 700}, {0, 0}, true},  // larger than the screen, centre outside
        {{-100, 200, 900, 300}, {0, 0}, true},    // a band across it, no corner inside
        {{900, 0, 1000, 50}, {0, 0}, false},
        {{900, 0, 1000, 50}, {-200, 0}, true},    // shifted by the view offset
        {{0, 0, 100, 100}, {-100, 0}, false},     // right edge on the screen's left edge
        {{0, 0, 100, 100}, {0, 600}, false},
        {{100, 100, 10, 10}, {0, 0}, true},       // edges given the other way round
    };
    for (const auto& c : cases) {
        PlaneFog fog("fog.dds");
        Blaze blaze("fire.tga", kDistortion);
        fog.SetRect(c.rect[0], c.rect[1], c.rect[2], c.rect[3]);
        blaze.SetRect(c.rect[0], c.rect[1], c.rect[2], c.rect[3]);
        fog.Render(c.offset[0], c.offset[1]);
        blaze.Render(c.offset[0], c.offset[1]);
        const Floats shifted = {c.rect[0] + c.offset[0], c.rect[1] + c.offset[1], c.rect[2] + c.offset[0],
                                c.rect[3] + c.offset[1]};
        for (auto [p, uv] : {std::pair{Prim(fog.Primitive()), Floats{-1, -1, 1, 1}},
                             std::pair{Prim(blaze.Primitive()), Floats{0, 0, 1, 1}}}) {
            EXPECT_EQ(p->drawCount, c.drawn ? 1 : 0) << c.rect[0] << "," << c.rect[1];
            if (!c.drawn) continue;
            EXPECT_EQ(Rect(p->drawExRect), shifted);
            EXPECT_EQ(Rect(p->drawExUV), uv);
            EXPECT_EQ(p->calls.back(), "Draw(-1,-1,0)");
        }
        EXPECT_EQ(blaze.GetTime(), c.drawn ? Blaze::kFrameStep : 0.0f);
    }
}

TEST(PlaneEffects, FogTimeFollowsTheClockOfDrawnFrames) {
    Env env;
    PlaneFog fog("fog.dds");  // made at 1000 ms
    fog.SetRect(0, 0, 100, 100);
    win32::TimeSource::Advance(250);
    fog.Render(0, 0);
    EXPECT_FLOAT_EQ(fog.GetTime(), 0.25f);
    EXPECT_EQ(Param(fog.Material(), "time_0_X"), Floats{fog.GetTime()});
    // Hidden: its time stands still.
    win32::TimeSource::Advance(500);
    fog.Render(-1000, 0);
    EXPECT_FLOAT_EQ(fog.GetTime(), 0.25f);
    win32::TimeSource::Advance(100);
    fog.Render(0, 0);
    EXPECT_FLOAT_EQ(fog.GetTime(), 0.85f);
    // Across the wrap of the clock.
    win32::TimeSource::SetManual(0xFFFFFF00u);
    PlaneFog wrapped("fog.dds");
    wrapped.SetRect(0, 0, 100, 100);
    win32::TimeSource::Advance(0x200);
    wrapped.Render(0, 0);
    EXPECT_FLOAT_EQ(wrapped.GetTime(), 0.512f);
}

TEST(PlaneEffects, FireAdvancesAFixedStepPerDrawnFrame) {
    Env env;
    Blaze blaze("fire.tga", kDistortion);
    blaze.SetRect(0, 0, 100, 100);
    float expected = 0.0f;
    for (int frame = 0; frame < 5; ++frame) {
        win32::TimeSource::Advance(frame * 40);  // the clock plays no part
        blaze.Render(frame == 2 ? 5000.0f : 0.0f, 0);
        if (frame != 2) expected += 0.017f;
        EXPECT_EQ(blaze.GetTime(), expected);
    }
    EXPECT_EQ(Prim(blaze.Primitive())->drawCount, 4);
    EXPECT_EQ(Param(blaze.Material(), "time_0_X"), Floats{expected});
    EXPECT_EQ(Param(blaze.Material(), "Color"), (Floats{0, 0, 0, 0}));
}

// The band's corners: start and end moved by the view offset, then out and back along the side
// vector, which is scaled to the full width.
TEST(PlaneEffects, BoltCornersAlongTheSideVector) {
    Env env;
    const struct {
        float end[2];
        float n[2];
    } cases[] = {
        {{100, 0}, {0, 10}},     // side (-dy, dx)
        {{0, 100}, {-10, 0}},
        {{-30, 40}, {-8, -6}},
        {{-30, -40}, {8, -6}},
        {{30, -40}, {-8, -6}},   // heading up and right: (dy, -dx)
        {{30, 40}, {-8, 6}},
    };
    for (const auto& c : cases) {
        Electricity bolt;
        bolt.SetWidth(10);
        bolt.SetEndpoints(0, 0, c.end[0], c.end[1]);
        bolt.Render(200, 300);
        host::RecordingPrimitive* p = Prim(bolt.Primitive());
        ASSERT_EQ(p->draws.size(), 1u) << c.end[0] << "," << c.end[1];
        const auto& v = p->draws[0].vertices;
        ASSERT_EQ(v.size(), 4u);
        const float sx = 200, sy = 300, ex = 200 + c.end[0], ey = 300 + c.end[1];
        const float expected[4][4] = {{sx - c.n[0], sy - c.n[1], -1, -1},
                                      {ex - c.n[0], ey - c.n[1], 1, -1},
                                      {ex + c.n[0], ey + c.n[1], 1, 1},
                                      {sx + c.n[0], sy + c.n[1], -1, 1}};
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(v[std::size_t(i)].x, expected[i][0], 1e-4f) << i;
            EXPECT_NEAR(v[std::size_t(i)].y, expected[i][1], 1e-4f) << i;
            EXPECT_EQ(v[std::size_t(i)].z, 0.0f);
            EXPECT_EQ(v[std::size_t(i)].u, expected[i][2]);
            EXPECT_EQ(v[std::size_t(i)].v, expected[i][3]);
        }
        EXPECT_EQ(bolt.GetTime(), Electricity::kFrameStep);
    }
}

TEST(PlaneEffects, BoltWithoutLengthOrOutOfViewDrawsNothing) {
    Env env;
    Electricity still;
    still.SetEndpoints(50, 50, 50, 50);
    still.Render(0, 0);
    Electricity away;
    away.SetEndpoints(0, 0, 100, 0);
    away.Render(5000, 0);
    for (Electricity* bolt : {&still, &away}) {
        host::RecordingPrimitive* p = Prim(bolt->Primitive());
        EXPECT_EQ(p->drawCount, 0);
        EXPECT_EQ(p->badWrites, 0);
        EXPECT_EQ(bolt->GetTime(), 0.0f);
        EXPECT_EQ(bolt->DrawCount(), 0);
    }
    // Given a length it draws again.
    still.SetEndpoints(50, 50, 60, 50);
    still.Render(0, 0);
    EXPECT_EQ(Prim(still.Primitive())->drawCount, 1);
}

TEST(PlaneEffects, QueryTextureFillsTheSheetTexture) {
    Env env;
    PlaneFog fog("fog.dds");
    Blaze blaze("fire.tga", kDistortion);
    const std::int32_t rect[4] = {1, 2, 3, 4};
    auto* noise = static_cast<host::RecordingTexture*>(fog.Material()->GetTexture("NoiseTex"));
    auto* fire = static_cast<host::RecordingTexture*>(blaze.Material()->GetTexture("Fire"));
    // True where the texture holds pixels to write.
    EXPECT_EQ(fog.QueryTexture(rect, 0x80FF0000u), noise->GetRenderSurface() != nullptr);
    EXPECT_EQ(blaze.QueryTexture(nullptr, 0x12345678u), fire->GetRenderSurface() != nullptr);
    EXPECT_EQ(noise->fills, 1);
    EXPECT_EQ(std::vector<std::int32_t>(noise->fillRect, noise->fillRect + 4), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(noise->fillColour, 0x80FF0000u);
    EXPECT_EQ(fire->fills, 1);
    EXPECT_EQ(std::vector<std::int32_t>(fire->fillRect, fire->fillRect + 4), (std::vector<std::int32_t>{0, 0, 64, 64}));
}

// --- in the 2D scene ----------------------------------------------------------------------------

TEST(PlaneEffects, SceneSectionsMakeAndDrawTheEffects) {
    Env env;
    auto* files = static_cast<host::MemoryFileSystem*>(env.fx.host().files.get());
    files->AddFile("m.scn2",
                   "<Scene2D><MapBlock MapSize=\"3000,2000\"/>"
                   "<PlaneFog num=\"2\"><PlaneFog_0 TextureName=\"data\\sfx\\fog.dds\" left=\"700\" top=\"800\" "
                   "right=\"800.9\" bottom=\"850\" SpeedX=\"0.5\" SpeedY=\"0.25\" AlphaControl=\"0.7\" Power=\"2\" "
                   "color=\"0.1,0.2,0.3,0.4\" onGround=\"true\"/><PlaneFog_1/></PlaneFog>"
                   "<Electricity num=\"1\"><Electricity_0 startx=\"650\" starty=\"750\" endx=\"750\" endy=\"750\" "
                   "Width=\"20\" Height=\"0.5\" GlowStrength=\"100\" GlowFallOff=\"0.1\" Speed=\"2\" SampleDist=\"0.01\" "
                   "AmbientGlow=\"0.3\" AmbientGlowHeightScale=\"1.5\" VertNoise=\"0.6\"/></Electricity>"
                   "<Blaze num=\"1\"><Blaze_0 TextureName=\"fire.tga\" left=\"650\" top=\"750\" right=\"700\" "
                   "bottom=\"790\" BumpScale=\"0.5\" Dizze=\"2\" LayerSpeedx=\"1\" LayerSpeedy=\"2\" LayerSpeedz=\"3\" "
                   "DistortionAmountx=\"0.1\" DistortionAmounty=\"0.2\" DistortionAmountz=\"0.3\" "
                   "onGround=\"true\"/></Blaze></Scene2D>");
    auto scene = std::make_unique<Scene2D>();
    ASSERT_TRUE(scene->Create("m.scn2", 0, 0, 0)) << env.fx.capture.Joined();
    ASSERT_TRUE(scene->LoadPlaneFogs());
    ASSERT_TRUE(scene->LoadElectricities());
    ASSERT_TRUE(scene->LoadBlazes());
    ASSERT_EQ(scene->PlaneFogs().size(), 2u);
    ASSERT_EQ(scene->Electricities().size(), 1u);
    ASSERT_EQ(scene->Blazes().size(), 1u);

    PlaneFog* fog = scene->PlaneFogs()[0];
    float r[4];
    fog->GetRect(r);
    EXPECT_EQ(Rect(r), (Floats{700, 800, 800.9f, 850}));
    EXPECT_EQ(fog->GetWidth(), 100);
    EXPECT_EQ(Param(fog->Material(), "speed0"), (Floats{0.5f, 0.25f, 0, 0}));
    EXPECT_EQ(fog->GetAlphaControl(), 0.7f);
    EXPECT_EQ(fog->GetPower(), 2.0f);
    EXPECT_EQ(Param(fog->Material(), "color"), (Floats{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_TRUE(fog->IsOnGround());
    EXPECT_EQ(static_cast<host::RecordingTexture*>(fog->Material()->GetTexture("NoiseTex"))->name, "sfx\\fog.dds");
    // A child without attributes: zeros, a white colour, not on the ground.
    PlaneFog* plain = scene->PlaneFogs()[1];
    EXPECT_EQ(plain->GetSpeedX(), 0.0f);
    EXPECT_EQ(Param(plain->Material(), "color"), (Floats{1, 1, 1, 1}));
    EXPECT_FALSE(plain->IsOnGround());

    Electricity* bolt = scene->Electricities()[0];
    bolt->GetRect(r);
    EXPECT_EQ(Rect(r), (Floats{550, 650, 850, 850}));  // the constructed width's margin
    EXPECT_EQ(bolt->GetWidth(), 20.0f);
    EXPECT_EQ(bolt->GetVertNoise(), 0.6f);
    EXPECT_EQ(bolt->GetAmbientGlowHeightScale(), 1.5f);
    EXPECT_FALSE(bolt->IsOnGround());

    Blaze* blaze = scene->Blazes()[0];
    Floats speed(3), amount(3);
    blaze->GetLayerSpeed(speed.data());
    blaze->GetDistortionAmount(amount.data());
    EXPECT_EQ(speed, (Floats{1, 2, 3}));
    EXPECT_EQ(amount, (Floats{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(blaze->GetDizze(), 2.0f);
    EXPECT_TRUE(blaze->IsOnGround());
    EXPECT_EQ(static_cast<host::RecordingTexture*>(blaze->Material()->GetTexture("NoiseTex"))->name, kDistortion);

    // The view at (1000, 1000) puts map pixel (600, 700) at the screen's corner.
    scene->UpdateView(1000, 1000);
    scene->Render();
    EXPECT_EQ(scene->EffectsDrawn(0), 1);  // the plain fog has no area
    EXPECT_EQ(scene->EffectsDrawn(1), 1);
    EXPECT_EQ(scene->EffectsDrawn(2), 1);
    EXPECT_EQ(Rect(Prim(fog->Primitive())->drawExRect), (Floats{100, 100, 800.9f - 600.0f, 150}));
    EXPECT_EQ(Prim(plain->Primitive())->drawCount, 0);
    scene->UpdateView(2900, 1900);  // all of them out of view
    scene->Render();
    EXPECT_EQ(scene->EffectsDrawn(0) + scene->EffectsDrawn(1) + scene->EffectsDrawn(2), 0);

    scene.reset();
    EXPECT_EQ(env.fx.host().renderer.Store()->LiveTextures(), 0);
    EXPECT_EQ(env.fx.host().renderer.BadReleases(), 0);
}

}  // namespace
}  // namespace quor::world
