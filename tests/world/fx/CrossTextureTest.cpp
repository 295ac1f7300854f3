#include "world/fx/CrossTexture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host/RecordingPrimitive.h"
#include "tests/support/world/CommaLocale.h"
#include "tests/support/world/fx/VegetationHost.h"
#include "world/core/IniFile.h"

namespace quor::world {
namespace {

constexpr double kPi = 3.14159265358979323846;

// x, y, z, r, g, b, a, half width, height per shrub.
std::vector<float> Records(int count) {
    std::vector<float> r;
    for (int i = 0; i < count; ++i)
        for (float f : {10.0f * i, 1.0f + i, -3.0f * i, 1.0f, 0.5f, 0.0f, 2.0f, 2.0f + i, 5.0f + i}) r.push_back(f);
    return r;
}

// The plain model of a cross: quad k of n turned k x 180 / n degrees about y, corner
// (-w, h), (w, h), (-w, 0), (w, 0) going to (x + c cos a, y + v, z - c sin a).
void ExpectCross(const CrossTexture& t, const std::vector<float>& records, int n) {
    const int count = int(records.size() / 9);
    ASSERT_EQ(t.GetVertexCount(), n * count * 4);
    const std::vector<CrossVertex>& v = t.Vertices();
    for (int s = 0; s < count; ++s) {
        // Newest first: vertex block s belongs to record count - 1 - s.
        const float* r = &records[std::size_t(count - 1 - s) * 9];
        for (int k = 0; k < n; ++k) {
            const double a = k * kPi / n;
            const double corner[4][2] = {{-r[7], r[8]}, {r[7], r[8]}, {-r[7], 0}, {r[7], 0}};
            for (int c = 0; c < 4; ++c) {
                const CrossVertex& got = v[std::size_t((s * n + k) * 4 + c)];
                EXPECT_NEAR(got.x, r[0] + corner[c][0] * std::cos(a), 1e-4) << s << k << c;
                EXPECT_NEAR(got.y, r[1] + corner[c][1], 1e-4);
                EXPECT_NEAR(got.z, r[2] - corner[c][0] * std::sin(a), 1e-4);
                EXPECT_EQ(got.u, float(c % 2));
                EXPECT_EQ(got.v, float(c / 2));
                EXPECT_EQ(got.colour, 0xFFFF8000u);
            }
        }
    }
}

TEST(CrossTexture, CrossesOfTwoAndThreeQuadsMatchThePlainModel) {
    test::VegetationHost host;
    for (int n : {2, 3}) {
        CrossTexture t;
        const std::vector<float> records = Records(3);
        ASSERT_EQ(t.Init(n, records.data(), 3), 0);
        ExpectCross(t, records, n);
        float lo[3], hi[3];
        t.GetBounds(lo, hi);
        EXPECT_FLOAT_EQ(lo[0], -2.0f);  // x - w over the shrubs
        EXPECT_FLOAT_EQ(hi[0], 24.0f);
        EXPECT_FLOAT_EQ(lo[1], 1.0f);
        EXPECT_FLOAT_EQ(hi[1], 10.0f);  // y + h
        EXPECT_FLOAT_EQ(lo[2], -10.0f);
        EXPECT_FLOAT_EQ(hi[2], 2.0f);
        // Copied into the shared primitive as built.
        auto* p = static_cast<host::RecordingPrimitive*>(CrossTexture::SharedPrimitive());
        ASSERT_NE(p, nullptr);
        ASSERT_GE(p->vertices.size(), t.Vertices().size());
        EXPECT_EQ(std::memcmp(p->vertices.data(), t.Vertices().data(), t.Vertices().size() * 24), 0);
    }
}

TEST(CrossTexture, ColourChannelsClampAndRound) {
    EXPECT_EQ(CrossColour(1.5f, -1.0f, 0.5f, 1.0f), 0xFFFF0080u);
    EXPECT_EQ(CrossColour(0.0f, 1.0f / 255.0f, 0.999f, 0.0f), 0x000001FFu);
}

TEST(CrossTexture, StepsOfAThirtySecondRebuildOnEverySecondUpdate) {
    test::VegetationHost host;
    CrossTexture t;
    const std::vector<float> records = Records(2);
    ASSERT_EQ(t.Init(2, records.data(), 2), 0);
    float x0, z0;
    t.GetPhases(&x0, &z0);
    EXPECT_GE(x0, -3.1416f);
    EXPECT_LE(x0, 3.1416f);
    std::vector<bool> rebuilt;
    for (int i = 0; i < 6; ++i) {
        float before;
        t.GetPhases(&before, nullptr);
        t.Update(1.0f / 32.0f);
        t.Draw();
        float after;
        t.GetPhases(&after, nullptr);
        rebuilt.push_back(after != before);
        if (after != before) {
            EXPECT_NEAR(after - before, 91.2f / 32.0f, 1e-4);
        }
    }
    EXPECT_EQ(rebuilt, (std::vector<bool>{false, true, false, true, false, true}));
    auto* p = static_cast<host::RecordingPrimitive*>(CrossTexture::SharedPrimitive());
    EXPECT_EQ(p->used, 4);  // quads: 2 shrubs x 2
    EXPECT_EQ(p->draws.size(), 6u);
    // A sway is a rotation about the foot: every corner keeps its distance from it.
    const CrossVertex& top = t.Vertices()[0];
    const float* r = &records[9];
    EXPECT_NEAR(std::hypot(top.x - r[0], top.y - r[1], top.z - r[2]), std::hypot(r[7], r[8]), 1e-3);
}

TEST(CrossTexture, PhasesAreTakenOnceRoundTheCircle) {
    const std::pair<float, float> cases[] = {{370, 10}, {730, 370}, {-370, 10}, {359, 359}, {-20, 20}};
    for (auto [in, out] : cases) EXPECT_FLOAT_EQ(CrossTexture::ReducePhase(in), out) << in;
}

TEST(CrossTexture, IniRoundTripKeepsThreeDecimalsAndReversesTheOrderInAnyLocale) {
    test::VegetationHost host;
    host.renderer.Store()->DefineTexture("scene/texture/shurb/bush.dds");
    test::CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << comma.Why();
    CrossTexture t;
    t.LoadTexture("some\\dir/bush.dds");
    t.SetWaveValue(1.5f, 2.25f);
    const std::vector<float> records = {1.23456f, 2, 3, 0.25f, 0.5f, 0.75f, 1, 4.5f, 6,
                                        -7.0004f, 8, 9, 0, 0, 0, 0, 1, 2};
    ASSERT_EQ(t.Init(3, records.data(), 2), 0);
    IniFile ini("unused.ini");
    t.SaveIni(ini, "Bush");
    EXPECT_STREQ(ini.GetString("Bush", "TexName", ""), "bush.dds");
    EXPECT_STREQ(ini.GetString("Bush", "Data1", ""), "(1.235,2.000,3.000,4.500,6.000,0.250,0.500,0.750,1.000)");
    EXPECT_STREQ(ini.GetString("Bush", "XWaveValue", ""), "1.500000");

    CrossTexture back;
    ASSERT_TRUE(back.LoadIni(ini, "Bush"));
    EXPECT_EQ(back.GetCrossNum(), 3);
    EXPECT_EQ(back.TextureName(), "bush.dds");
    float x, z;
    back.GetWaveValue(&x, &z);
    EXPECT_FLOAT_EQ(x, 1.5f);
    EXPECT_FLOAT_EQ(z, 2.25f);
    ASSERT_EQ(back.GetArrayNum(), 2);
    // Saved newest first and loaded to the front again: the original order.
    const CrossInstance& first = back.GetInstances()[0];
    EXPECT_FLOAT_EQ(first.x, 1.235f);
    EXPECT_FLOAT_EQ(first.halfWidth, 4.5f);
    EXPECT_FLOAT_EQ(first.alpha, 1.0f);
    EXPECT_FLOAT_EQ(back.GetInstances()[1].x, -7.0f);
    EXPECT_EQ(t.GetInstances()[0].x, records[9]);
}

TEST(CrossTexture, BadSectionsKeepNoShrubs) {
    test::VegetationHost host;
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> keys;
        bool ok;
        int shrubs;
        float firstHeight;
    };
    const Case cases[] = {
        {"no TexName: the settings stay", {{"ArrayNum", "1"}, {"Data0", "(1,2,3,4,5,1,1,1,1)"}}, true, 1, 5},
        {"no ArrayNum", {{"TexName", "a.dds"}, {"CrossNum", "2"}}, true, 0, 0},
        {"short Data reads 0", {{"TexName", "a.dds"}, {"ArrayNum", "1"}, {"Data0", "(1,2"}}, true, 1, 0},
        {"missing Data reads 0", {{"TexName", "a.dds"}, {"ArrayNum", "1"}}, true, 1, 0},
        {"2004 vertices", {{"TexName", "a.dds"}, {"CrossNum", "1"}, {"ArrayNum", "501"}}, false, 0, 0},
        {"2000 vertices", {{"TexName", "a.dds"}, {"CrossNum", "2"}, {"ArrayNum", "250"}}, true, 250, 0},
        {"CrossNum 0", {{"TexName", "a.dds"}, {"CrossNum", "0"}, {"ArrayNum", "1"}}, false, 0, 0},
        {"negative ArrayNum", {{"TexName", "a.dds"}, {"ArrayNum", "-1"}}, false, 0, 0},
        {"huge counts", {{"TexName", "a.dds"}, {"CrossNum", "2147483647"}, {"ArrayNum", "2147483647"}}, false, 0, 0},
        {"line feeds split", {{"TexName", "a.dds"}, {"ArrayNum", "1"}, {"Data0", "(1\n2\n3\n4\n5)"}}, true, 1, 5},
    };
    for (const Case& c : cases) {
        IniFile ini("unused.ini");
        for (auto [k, v] : c.keys) ini.SetString("S", k, v);
        CrossTexture t;
        const std::vector<float> old = Records(1);
        ASSERT_EQ(t.Init(1, old.data(), 1), 0);
        EXPECT_EQ(t.LoadIni(ini, "S"), c.ok) << c.name;
        EXPECT_EQ(t.GetArrayNum(), c.shrubs) << c.name;
        EXPECT_EQ(int(t.GetInstances().size()), c.shrubs) << c.name;
        EXPECT_EQ(t.GetVertexCount(), c.shrubs * t.GetCrossNum() * 4) << c.name;
        if (c.shrubs == 1) {
            EXPECT_EQ(t.GetInstances()[0].height, c.firstHeight) << c.name;
        }
    }
    EXPECT_TRUE(host.log.Contains("more than 2000 vertices"));
    EXPECT_TRUE(host.log.Contains("程序草贴图：a.dds 找不到"));
}

TEST(CrossTexture, InitRefusesCountsThePrimitiveCannotTake) {
    test::VegetationHost host;
    const std::vector<float> records = Records(1);
    const std::pair<int, int> refused[] = {{0, 1}, {-1, 1}, {1, -1}, {4, 126}};
    for (auto [n, count] : refused) {
        CrossTexture t;
        EXPECT_EQ(t.Init(n, count > 0 ? Records(count).data() : records.data(), count), CrossTexture::kFailed);
        EXPECT_EQ(t.GetVertexCount(), 0);
        EXPECT_TRUE(t.Vertices().empty());
    }
    CrossTexture none;
    EXPECT_EQ(none.Init(2, nullptr, 0), 0);
    none.Draw();  // nothing to draw, nothing written
    // No shrubs: any quad count, and nothing to build.
    EXPECT_EQ(none.Init(1 << 30, nullptr, 0), 0);
    none.Update(1.0f);
    none.Draw();
    EXPECT_TRUE(none.Vertices().empty());
}

TEST(CrossTexture, SharedObjectsAreMadeOnceAndReleasedWithTheTexture) {
    test::VegetationHost host;
    const int before = host.renderer.LivePrimitives();
    const int effects = host.renderer.LiveEffects();
    {
        CrossTexture a, b;
        EXPECT_EQ(host.renderer.LivePrimitives(), before + 1);
        a.LoadTexture("missing.dds");  // a blank texture in its place
        EXPECT_EQ(host.renderer.LiveTextures(), 1);
    }
    EXPECT_EQ(host.renderer.LiveTextures(), 0);
    CrossTexture::ReleaseSharedBuffers();
    EXPECT_EQ(host.renderer.LivePrimitives(), before);
    EXPECT_EQ(host.renderer.LiveEffects(), effects);
}

}  // namespace
}  // namespace quor::world
