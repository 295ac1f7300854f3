#include "world/fx/KeyLists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "tests/support/world/BoundHost.h"
#include "world/core/InterfaceTable.h"
#include "tests/support/world/fx/FxTestSupport.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxRenderStates.h"

namespace quor::world {
namespace {

KeyCurve Floats(int type, std::vector<std::pair<float, float>> keys) {
    KeyCurve c(static_cast<std::uint32_t>(type));
    for (auto [t, v] : keys) c.AddKey(t, v);
    return c;
}

ColorKeyList Colors(int type, std::vector<std::pair<float, std::uint32_t>> keys) {
    ColorKeyList c;
    c.SetChangeType(type);
    for (auto [t, v] : keys) c.SetKey(t, v);
    return c;
}

TEST(KeyLists, WorkedNumbers) {
    const KeyCurve clamp = Floats(0, {{1.0f, 0.0f}, {3.0f, 10.0f}});
    EXPECT_FLOAT_EQ(clamp.Evaluate(2.0f), 5.0f);
    EXPECT_FLOAT_EQ(clamp.Evaluate(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(clamp.Evaluate(5.0f), 10.0f);
    const KeyCurve repeat = Floats(1, {{1.0f, 0.0f}, {3.0f, 10.0f}});
    EXPECT_FLOAT_EQ(repeat.Evaluate(4.0f), 5.0f);
    EXPECT_FLOAT_EQ(repeat.Evaluate(0.5f), 7.5f);

    const ColorKeyList one = Colors(0, {{0.5f, 0x80102030u}});
    EXPECT_EQ(one.FirstTime(), 0.0f);
    EXPECT_EQ(one.LastTime(), 0.0f);
    EXPECT_EQ(one.Span(), 0.0f);
    for (float t : {-3.0f, 0.0f, 0.5f, 7.0f}) EXPECT_EQ(ColorKeyList::Lookup(one, t), 0x80102030u);

    const ColorKeyList pingPong = Colors(2, {{0.0f, 0u}, {2.0f, 0xC8C8C8C8u}});
    EXPECT_FLOAT_EQ(pingPong.MapTime(3.0f), 1.0f);
    EXPECT_FLOAT_EQ(pingPong.MapTime(5.0f), 1.0f);
    EXPECT_EQ(ColorKeyList::Lookup(pingPong, 3.0f), 0x64646464u);

    EXPECT_EQ(ColorKeyList::Lookup(ColorKeyList(), 1.0f), kColorWhite);
    // An unknown change type leaves the time as it is: outside the keys nothing brackets it.
    const ColorKeyList unknown = Colors(5, {{0.0f, 0u}, {1.0f, 0u}});
    EXPECT_EQ(ColorKeyList::Lookup(unknown, 3.0f), kColorWhite);
    EXPECT_EQ(ColorKeyList::Lookup(unknown, 0.5f), 0u);

    EXPECT_FLOAT_EQ(Floats(0, {{0.0f, 2.0f}, {1.0f, 6.0f}}).EvaluateNormalised(1.7f), 6.0f);
    EXPECT_FLOAT_EQ(Floats(1, {{0.0f, 2.0f}, {1.0f, 6.0f}}).EvaluateNormalised(1.7f), 2.0f);
    EXPECT_FLOAT_EQ(Floats(0, {{0.0f, 2.0f}, {1.0f, 6.0f}}).EvaluateNormalised(-1.0f), 2.0f);
    EXPECT_FLOAT_EQ(Floats(0, {{0.0f, 2.0f}, {1.0f, 6.0f}}).EvaluateNormalised(NAN), 2.0f);

    EXPECT_EQ(ClampToByte(255.9f), 255);
    EXPECT_EQ(ClampToByte(-0.5f), 0);
    EXPECT_EQ(ClampToByte(12.99f), 12);
    EXPECT_EQ(ClampToByte(NAN), 0);
    EXPECT_EQ(LerpColor(0x00FF0000u, 0xFF00FF10u, 0.5f), 0x7F7F7F08u);
}

TEST(KeyLists, ReadFromElements) {
    test::XmlDoc floats(R"(<ScaleFrame ChangeType="1"><A Time="1" Value="0"/><k Time="3" Value="10"/>
                           <k Time="2"/></ScaleFrame>)");
    KeyCurve curve;
    ReadFloatKeyList(floats.root, curve);
    EXPECT_EQ(curve.Mode(), 1u);
    ASSERT_EQ(curve.KeyCount(), 3u);
    EXPECT_FLOAT_EQ(curve.Evaluate(2.0f), 1.0f);  // the key without a value holds 1.0
    EXPECT_FLOAT_EQ(curve.Evaluate(2.5f), 5.5f);

    test::XmlDoc colors(R"(<ColorFrame ChangeType="2"><k Time="0" Value="255,10,20,30"/>
                           <k Time="1" Value="bad"/><k Time="2" Value="0,300,-4,7"/></ColorFrame>)");
    ColorKeyList list;
    ReadColorKeyList(colors.root, list);
    EXPECT_EQ(list.ChangeType(), 2);
    ASSERT_EQ(list.KeyCount(), 3u);
    EXPECT_EQ(list.ColorAt(0), 0xFF0A141Eu);
    EXPECT_EQ(list.ColorAt(1), kColorWhite);
    EXPECT_EQ(list.ColorAt(2), 0x00FF0007u);

    test::XmlDoc empty(R"(<ColorFrame ChangeType="1"/>)");
    ColorKeyList none;
    ReadColorKeyList(empty.root, none);
    EXPECT_EQ(none.ChangeType(), 1);
    EXPECT_EQ(none.KeyCount(), 0u);
    ReadColorKeyList(nullptr, none);
}

// The plain form: a sorted array of keys, the mapping written again, and a walk to the first
// bracketing pair.
struct Reference {
    int type;
    std::vector<std::pair<float, float>> keys;  // sorted, unique times

    float Map(float t) const {
        const float first = keys.front().first, last = keys.back().first, span = last - first;
        switch (type) {
        case 0: return std::min(std::max(t, first), last);
        case 1: {
            const float r = std::fmod(t - first, span);
            return std::min(std::max(t >= first ? first + r : last + r, first), last);
        }
        case 2: {
            float r = std::fmod(std::fabs(t - first), 2.0f * span);
            if (r > span) r = 2.0f * span - r;
            return std::min(first + r, last);
        }
        default: return t;
        }
    }
    // Bracketing pair of the mapped time, or -1.
    int Pair(float m) const {
        for (std::size_t i = 0; i + 1 < keys.size(); ++i)
            if (keys[i].first <= m && keys[i + 1].first >= m) return static_cast<int>(i);
        return -1;
    }
};

TEST(KeyLists, RandomListsMatchThePlainForm) {
    std::mt19937 rng(20261211);
    std::uniform_real_distribution<float> time(-5.0f, 5.0f), value(-100.0f, 100.0f), at(-30.0f, 30.0f);
    std::uniform_int_distribution<int> count(2, 9), type(0, 2), byte(0, 255);
    for (int n = 0; n < 10000; ++n) {
        Reference ref{type(rng), {}};
        std::vector<std::pair<float, std::uint32_t>> colorKeys;
        const int keys = count(rng);
        while (static_cast<int>(ref.keys.size()) < keys) {
            const float t = time(rng);
            if (std::any_of(ref.keys.begin(), ref.keys.end(), [&](auto& k) { return k.first == t; })) continue;
            ref.keys.emplace_back(t, value(rng));
            colorKeys.emplace_back(t, static_cast<std::uint32_t>(byte(rng)) << 24 | static_cast<std::uint32_t>(byte(rng)) << 16 |
                                          static_cast<std::uint32_t>(byte(rng)) << 8 | static_cast<std::uint32_t>(byte(rng)));
        }
        const KeyCurve curve = Floats(ref.type, ref.keys);
        const ColorKeyList colors = Colors(ref.type, colorKeys);
        std::sort(ref.keys.begin(), ref.keys.end());
        std::sort(colorKeys.begin(), colorKeys.end());

        const float t = at(rng);
        const float m = ref.Map(t);
        ASSERT_FLOAT_EQ(colors.MapTime(t), m) << n;
        const int i = ref.Pair(m);
        ASSERT_GE(i, 0) << n;  // the mapping keeps every time within the keys
        const auto [ta, va] = ref.keys[static_cast<std::size_t>(i)];
        const auto [tb, vb] = ref.keys[static_cast<std::size_t>(i) + 1];
        const float f = (m - ta) / (tb - ta);
        ASSERT_NEAR(curve.Evaluate(t), va + (vb - va) * f, 1e-3f) << n;

        std::uint32_t want = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const float a = static_cast<float>(colorKeys[static_cast<std::size_t>(i)].second >> shift & 0xFFu);
            const float b = static_cast<float>(colorKeys[static_cast<std::size_t>(i) + 1].second >> shift & 0xFFu);
            const float x = a + (b - a) * f;
            want |= static_cast<std::uint32_t>(x < 0.0f ? 0.0f : (x > 255.0f ? 255.0f : x)) << shift;
        }
        ASSERT_EQ(ColorKeyList::Lookup(colors, t), want) << n << " t " << t;
    }
}

TEST(KeyLists, RenderStatesAreCachedPerKey) {
    test::BoundHost bound;
    Interfaces().renderer = &bound.host.renderer;
    render::IRenderState* a = GetRenderState(1, 8, 3, -1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetRenderState(1, 8, 3, -1), a);
    EXPECT_NE(GetRenderState(1, 8, 3, 0), a);
    EXPECT_NE(GetRenderState(3, 8, 3, -1), a);
    EXPECT_EQ(RenderStateCacheSize(), 3u);
    const int live = bound.host.renderer.LiveStateBlocks();
    FxBase::ReleaseSharedMaterials();
    EXPECT_EQ(RenderStateCacheSize(), 0u);
    EXPECT_EQ(bound.host.renderer.LiveStateBlocks(), live - 3);
    EXPECT_EQ(bound.host.renderer.BadReleases(), 0);
}

}  // namespace
}  // namespace quor::world
