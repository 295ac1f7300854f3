#include "world/fx/PolyTubeFx.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/world/fx/FxSceneFixture.h"

namespace quor::world {
namespace {

using test::FxSceneFixture;

const std::string kBase = "FxLifeSpan=\"100\" Texture=\"fx/p.dds\" EarlierTime=\"0\" ";

// Moves the trail's node to each point in turn, one update per point.
void Walk(PolyTubeFx& t, const std::vector<Vec3>& points) {
    for (const Vec3& p : points) {
        t.SetPosition(p);
        t.Update();
    }
}

std::vector<Vec3> Line(int n, float step = 1.0f) {
    std::vector<Vec3> out;
    for (int i = 1; i <= n; ++i) out.push_back({float(i) * step, 0.0f, 0.0f});
    return out;
}

void ExpectVec(const Vec3& a, const Vec3& b, float eps = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

TEST(PolyTubeFx, CoordinateStyles) {
    FxSceneFixture f;
    struct Case {
        int style;
        std::vector<float> coords;
    };
    // Steps of 1, 1, 2: lengths 0, 1, 1, 2 of a total 4.
    const Case cases[] = {
        {0, {0.0f, 0.25f, 0.5f, 1.0f}},
        {1, {0.0f, 1.0f, 2.0f, 3.0f}},
        {2, {0.0f, 0.1f, 0.2f, 0.4f}},  // running length / (scale x "TrailLength" 10)
    };
    for (const Case& c : cases) {
        auto t = f.Load<PolyTubeFx>("PolyTube", kBase + "TrailLength=\"10\" TexStyle=\"" + std::to_string(c.style) + "\"");
        ASSERT_TRUE(t);
        t->SetPlaying(true);
        Walk(*t, {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {5, 0, 0}});
        std::vector<float> coords;
        for (const TrailSection& s : t->Sections()) coords.push_back(s.texCoord);
        ASSERT_EQ(coords.size(), c.coords.size()) << c.style;
        for (std::size_t i = 0; i < coords.size(); ++i) EXPECT_NEAR(coords[i], c.coords[i], 1e-5f) << c.style;
        EXPECT_NEAR(t->TotalLength(), 4.0f, 1e-5f);
    }
    // A zero divisor keeps the running coordinate.
    auto zero = f.Load<PolyTubeFx>("PolyTube", kBase + "TrailLength=\"0\" TexStyle=\"2\"");
    zero->SetPlaying(true);
    zero->SetPosition({1, 0, 0});
    zero->Update();
    zero->SetPosition({2, 0, 0});
    zero->AddSection(zero->GetTime());
    for (const TrailSection& s : zero->Sections()) EXPECT_EQ(s.texCoord, 0.0f);
}

TEST(PolyTubeFx, LengthStopsNewSectionsAndExpiryShortens) {
    FxSceneFixture f;
    auto t = f.Load<PolyTubeFx>("PolyTube", kBase + "TrailLength=\"5\" SectionLifespan=\"0.2\"");
    t->SetFrameTime(0.05f);
    t->SetPlaying(true);
    Walk(*t, Line(3));
    EXPECT_EQ(t->Sections().size(), 3u);
    // Standing still adds nothing.
    Walk(*t, {{3, 0, 0}});
    EXPECT_EQ(t->Sections().size(), 3u);
    // Sections live 0.2 s: four steps of 0.05.
    Walk(*t, Line(12));
    EXPECT_LE(t->Sections().size(), 4u);
    for (const TrailSection& s : t->Sections()) EXPECT_GT(s.birth + 0.2f, t->GetTime());

    auto longer = f.Load<PolyTubeFx>("PolyTube", kBase + "TrailLength=\"5\" SectionLifespan=\"100\"");
    longer->SetPlaying(true);
    Walk(*longer, Line(20));
    EXPECT_EQ(longer->Sections().size(), 6u) << "no section once the total reaches 5";
    EXPECT_NEAR(longer->TotalLength(), 5.0f, 1e-5f);

    // Effect time 0 clears the trail; deactivating without linger clears it too.
    longer->AddSection(0.0f);
    EXPECT_TRUE(longer->Sections().empty());
    Walk(*longer, Line(3));
    longer->Deactivate();
    EXPECT_TRUE(longer->Sections().empty());
    EXPECT_EQ(longer->GetState(), kFxInactive);
}

TEST(PolyTubeFx, LingeringTrailRunsOut) {
    FxSceneFixture f;
    auto t = f.Load<PolyTubeFx>("PolyTube", "FxLifeSpan=\"100\" Texture=\"fx/p.dds\" EarlierTime=\"1\" "
                                            "SectionLifespan=\"0.1\"");
    t->SetFrameTime(0.05f);
    t->SetPlaying(true);
    Walk(*t, Line(3));
    t->Deactivate();
    EXPECT_EQ(t->GetState(), kFxFinishing);
    EXPECT_FALSE(t->Sections().empty());
    Walk(*t, Line(4));
    EXPECT_TRUE(t->Sections().empty());
    EXPECT_EQ(t->GetState(), kFxInactive);
    // A finished trail stays empty however its node moves.
    Walk(*t, Line(4, 2.0f));
    EXPECT_TRUE(t->Sections().empty());
}

TEST(PolyTubeFx, FacesTheCameraAndWritesSixVerticesPerSegment) {
    FxSceneFixture f;
    auto t = f.Load<PolyTubeFx>("PolyTube", kBase + "TrailWidth=\"2\" ColorStyle=\"0\"",
                                "<ColorFrame><K Time=\"0\" Value=\"255,0,0,0\"/><K Time=\"1\" Value=\"255,0,0,255\"/>"
                                "</ColorFrame>");
    ASSERT_TRUE(t);
    t->SetPlaying(true);
    Walk(*t, {{1, 0, 0}, {2, 0, 0}, {2, 1, 0}});
    t->Render();
    // The camera looks along z: directions are z x (segment), unit length.
    const auto& s = t->Sections();
    ASSERT_EQ(s.size(), 3u);
    // The turn's own direction (z x (0, 1, 0)) is replaced at the ends by the neighbour's.
    ExpectVec(s[1].direction, {0, 1, 0});
    ExpectVec(s[0].direction, s[1].direction);
    ExpectVec(s[2].direction, s[1].direction);
    auto* prim = static_cast<host::RecordingPrimitive*>(t->Primitive());
    ASSERT_EQ(prim->draws.size(), 1u);
    EXPECT_EQ(prim->draws[0].used, 4);
    const auto& v = prim->draws[0].vertices;
    ASSERT_EQ(v.size(), 12u);
    auto at = [&](int i) { return Vec3(v[std::size_t(i)].x, v[std::size_t(i)].y, v[std::size_t(i)].z); };
    // First segment: A+ A- B- B+ A+ B-, half width 1.
    ExpectVec(at(0), {1, 1, 0});
    ExpectVec(at(1), {1, -1, 0});
    ExpectVec(at(2), {2, -1, 0});
    ExpectVec(at(3), {2, 1, 0});
    ExpectVec(at(4), at(0));
    ExpectVec(at(5), at(2));
    EXPECT_EQ(v[0].v, 0.0f);
    EXPECT_EQ(v[1].v, 1.0f);
    EXPECT_EQ(v[2].u, s[1].texCoord);
    // Colour style 0: the newer section's colour along the length.
    EXPECT_EQ(v[0].colour, s[1].colour);
    EXPECT_EQ(v[6].colour, s[2].colour);
    EXPECT_EQ(s[2].colour, 0xFF0000FFu);

    // Nothing changed and no camera facing: the last vertices are drawn again.
    auto fixed = f.Load<PolyTubeFx>("PolyTube", kBase + "Allignment=\"2\"");
    fixed->SetPlaying(true);
    Walk(*fixed, Line(3));
    fixed->Render();
    fixed->Render();
    auto* p2 = static_cast<host::RecordingPrimitive*>(fixed->Primitive());
    ASSERT_EQ(p2->calls.back(), "Draw(-1,-1,0)");
    EXPECT_EQ(p2->draws.size(), 2u);
    ExpectVec(fixed->Sections()[0].direction, {0, 1, 0});  // the source's y axis

    auto odd = f.Load<PolyTubeFx>("PolyTube", kBase + "Allignment=\"9\"");
    EXPECT_EQ(odd->Alignment(), 0u);
}

TEST(PolyTubeFx, LongTrailDrawsInBatches) {
    FxSceneFixture f;
    auto t = f.Load<PolyTubeFx>("PolyTube", kBase + "TrailLength=\"100000\" SectionLifespan=\"1000\"");
    t->SetPlaying(true);
    Walk(*t, Line(702, 0.5f));
    ASSERT_EQ(t->Sections().size(), 702u);
    t->Render();
    auto* prim = static_cast<host::RecordingPrimitive*>(t->Primitive());
    ASSERT_EQ(prim->draws.size(), 2u);
    EXPECT_EQ(prim->draws[0].used, 666 * 2);
    EXPECT_EQ(prim->draws[1].used, 35 * 2);
    EXPECT_EQ(prim->badWrites, 0);
}

TEST(PolyTubeFx, StageSettingsAndRelease) {
    FxSceneFixture f;
    host::RecordingRenderer& r = f.Renderer();
    // Render states are cached for the world's lifetime; everything else is the node's.
    auto live = [&] { return r.LiveObjects() - r.LiveStates(); };
    const int before = live();
    for (int style : {1, 2}) {
        auto t = f.Load<PolyTubeFx>("PolyTube", kBase + "ColorStyle=\"" + std::to_string(style) + "\"");
        ASSERT_TRUE(t);
        auto* stage = r.LastStageStates();
        const std::string op = style == 1 ? "4" : "2";
        EXPECT_EQ(stage->calls, (std::vector<std::string>{"SetColor(0,0," + op + ")", "SetColor(0,1,3)",
                                                          "SetAlpha(0,0," + op + ")", "SetAlpha(0,1,3)"}));
        auto* prim = static_cast<host::RecordingPrimitive*>(t->Primitive());
        EXPECT_EQ(prim->kind, 4);
        EXPECT_EQ(prim->Buffer()->stageStates, stage);
        EXPECT_EQ(prim->Buffer()->flags, 96u);
    }
    auto missing = f.Load<PolyTubeFx>("PolyTube", "FxLifeSpan=\"1\" Texture=\"fx/none.dds\"");
    ASSERT_TRUE(missing) << "a missing texture draws untextured";
    EXPECT_TRUE(f.world.capture.Contains("fx/none.dds"));
    missing.reset();
    EXPECT_EQ(live(), before);
    EXPECT_EQ(r.BadReleases(), 0);
}

}  // namespace
}  // namespace quor::world
