#include "world/core/PrimObject.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/world/LogCapture.h"
#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/scene/ObjectIdMap.h"

namespace quor::world {
namespace {

class PrimObjectTest : public ::testing::Test {
protected:
    void TearDown() override { ObjectIdMap::Instance().Reset(); }

    test::RendererScope host;
};

TEST_F(PrimObjectTest, ConstructionMakesThePrimitiveAndTheOwnMaterial) {
    {
        PrimObject plain(7, 0x144, false);
        EXPECT_EQ(plain.GetObjectType(), 6);
        EXPECT_EQ(plain.GetOwnMaterial(), nullptr);
        auto* primitive = host.renderer.LastPrimitive();
        ASSERT_EQ(plain.GetPrimitive(), primitive);
        EXPECT_EQ(primitive->kind, 7);
        EXPECT_EQ(primitive->vertexFormat, 0x144u);
        EXPECT_EQ(plain.GetSpaceObject(), static_cast<ISpaceObject*>(&plain));
        EXPECT_EQ(plain.GetVisibleObject(), static_cast<IVisibleObject*>(&plain));

        PrimObject withMaterial(4, 0x142, true);
        ASSERT_NE(withMaterial.GetOwnMaterial(), nullptr);
        EXPECT_EQ(host.renderer.LastPrimitive()->effect, withMaterial.GetOwnMaterial());
        EXPECT_EQ(host.renderer.LivePrimitives(), 2);
        EXPECT_EQ(host.renderer.LiveEffects(), 1);
    }
    EXPECT_EQ(host.renderer.LivePrimitives(), 0);
    EXPECT_EQ(host.renderer.LiveEffects(), 0);
    EXPECT_EQ(host.renderer.BadReleases(), 0);
}

TEST_F(PrimObjectTest, SetMaterialAndReleaseEachGiveBackTheirObjectOnce) {
    auto* given = static_cast<render::IEffect*>(host.renderer.CreateEffect());
    {
        PrimObject o(7, 0x144, true);
        auto* primitive = host.renderer.LastPrimitive();
        o.SetMaterial(given);
        o.SetMaterial(given);
        EXPECT_EQ(primitive->effect, given);
        EXPECT_EQ(host.renderer.LiveEffects(), 1);  // only the given one is left

        o.Release();
        o.Release();
        EXPECT_EQ(primitive->releaseCount, 1);
        EXPECT_EQ(host.renderer.LivePrimitives(), 1);  // the object still holds it
    }
    EXPECT_EQ(host.renderer.LivePrimitives(), 0);
    EXPECT_EQ(host.renderer.BadReleases(), 0);
    host.renderer.ReleaseEffect(given);
    EXPECT_EQ(host.renderer.LiveEffects(), 0);
}

TEST_F(PrimObjectTest, EachForwarderReachesItsPrimitiveSlot) {
    PrimObject o(7, 0x144, false);
    IPrimObject& face = o;
    auto* primitive = host.renderer.LastPrimitive();
    const float rect[4] = {0, 0, 1, 1};

    struct Case {
        int slot;  // the prim object's slot
        std::function<void()> call;
        const char* expected;  // what the primitive records
    };
    std::vector<Case> cases = {
        {4, [&] { face.SetVertexUV(3, rect, 0.5f, 0.5f, 0xFF00FF00u); }, "SetVertexUV(3,4278255360)"},
        {6, [&] { face.SetVertexCount(1, -1, 0, 1); }, "SetVertexCount(1,-1,0,1)"},
        {7, [&] { face.SetTexture(2, nullptr); }, "SetTexture(2)"},
        {8, [&] { face.Submit(); }, "Submit()"},
        {9, [&] { face.SetPrimitiveMaterial(nullptr); }, "SetMaterial()"},
        {11, [&] { face.SetVertexCountUsed(12); }, "SetVertexCountUsed(12)"},
        {12, [&] { face.DrawEx(0, rect, 0, rect); }, "DrawEx(0,0)"},
    };
    // The pass-through slots: prim object slot n reaches primitive slot n + 3, n + 4, n + 5 or
    // n + 6 by range, and the answer comes back unchanged.
    using Forward = std::intptr_t (IPrimObject::*)(std::intptr_t, std::intptr_t);
    const std::pair<int, Forward> passes[] = {
        {13, &IPrimObject::Slot16}, {14, &IPrimObject::Slot17}, {15, &IPrimObject::Slot18},
        {16, &IPrimObject::Slot19}, {17, &IPrimObject::Slot20}, {18, &IPrimObject::Slot21},
        {19, &IPrimObject::Slot22}, {20, &IPrimObject::Slot23}, {21, &IPrimObject::Slot24},
        {22, &IPrimObject::Slot25}, {23, &IPrimObject::Slot26}, {24, &IPrimObject::Slot27},
        {25, &IPrimObject::Slot28}, {26, &IPrimObject::Slot29}, {27, &IPrimObject::Slot30},
        {28, &IPrimObject::Slot31}, {29, &IPrimObject::Slot33}, {30, &IPrimObject::Slot34},
        {31, &IPrimObject::Slot35}, {32, &IPrimObject::Slot36}, {33, &IPrimObject::Slot37},
        {34, &IPrimObject::Slot38}, {35, &IPrimObject::Slot39}, {36, &IPrimObject::Slot40},
        {37, &IPrimObject::Slot42}, {38, &IPrimObject::Slot43}, {39, &IPrimObject::Slot44},
        {40, &IPrimObject::Slot45}, {41, &IPrimObject::Slot47}, {42, &IPrimObject::Slot48},
    };
    std::vector<std::string> expectedNames;
    for (const auto& pass : passes) {
        const int slot = pass.first;
        const auto forward = pass.second;
        const int primitiveSlot =
            slot <= 28 ? slot + 3 : slot <= 36 ? slot + 4 : slot <= 40 ? slot + 5 : slot + 6;
        const std::string name = "Slot" + std::to_string(primitiveSlot) + "(" +
                                 std::to_string(slot) + "," + std::to_string(-slot) + ")";
        cases.push_back({slot, [&face, forward, slot, primitiveSlot] {
                             EXPECT_EQ((face.*forward)(slot, -slot), primitiveSlot);
                         },
                         nullptr});
        expectedNames.push_back(name);
    }
    std::size_t pass = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.slot);
        primitive->calls.clear();
        k.call();
        ASSERT_EQ(primitive->calls.size(), 1u);
        EXPECT_EQ(primitive->calls[0], k.expected ? std::string(k.expected) : expectedNames[pass++]);
    }
}

TEST_F(PrimObjectTest, DrawingHandsTheWorldMatrixOver) {
    PrimObject o(7, 0x144, false);
    auto* primitive = host.renderer.LastPrimitive();
    o.SetPosition(Vec3{1, 2, 3});
    o.Draw(5, 6);
    EXPECT_EQ(primitive->calls, (std::vector<std::string>{"SetTransform()", "Draw(5,6,0)"}));
    EXPECT_FLOAT_EQ(primitive->transform[13], 2.0f);

    primitive->calls.clear();
    primitive->submitAnswer = true;
    o.Commit();
    o.DrawPart(0);
    EXPECT_EQ(primitive->calls, (std::vector<std::string>{"Submit()", "SetTransform()",
                                                          "Draw(-1,-1,0)", "Submit()"}));
    primitive->calls.clear();
    primitive->submitAnswer = false;
    o.Commit();
    o.DrawPart(0);
    EXPECT_EQ(primitive->calls, (std::vector<std::string>{"Submit()", "Submit()", "SetTransform()",
                                                          "Draw(-1,-1,0)"}));

    EXPECT_EQ(o.GetPartDrawPass(0), 0);
    auto* effect = static_cast<host::RecordingEffect*>(host.renderer.CreateEffect());
    effect->drawPass = 4;
    o.SetMaterial(effect);
    EXPECT_EQ(o.GetPartDrawPass(0), 4);
    EXPECT_EQ(o.GetDrawPass(), 4);
    host.renderer.ReleaseEffect(effect);
}

TEST_F(PrimObjectTest, TheListCommitsOnlyVisibleObjects) {
    PrimObjectList list;
    PrimObjectList other;
    PrimObject* shown = list.Create(7, 0x144, false);
    auto* shownPrimitive = host.renderer.LastPrimitive();
    PrimObject* hidden = list.Create(7, 0x144, true);
    auto* hiddenPrimitive = host.renderer.LastPrimitive();
    hidden->SetVisible(false, false);
    PrimObject* faded = list.Create(7, 0x144, false);
    auto* fadedPrimitive = host.renderer.LastPrimitive();
    faded->SetLod(15, 0, 0);
    shownPrimitive->submitAnswer = hiddenPrimitive->submitAnswer = fadedPrimitive->submitAnswer = true;

    list.DrawVisible();
    EXPECT_EQ(shownPrimitive->calls.back(), "Draw(-1,-1,0)");
    EXPECT_TRUE(hiddenPrimitive->calls.empty() || hiddenPrimitive->calls.back() != "Draw(-1,-1,0)");
    EXPECT_TRUE(fadedPrimitive->calls.empty());

    EXPECT_EQ(list.GetAt(1), hidden);
    EXPECT_EQ(list.GetAt(3), nullptr);
    list.MoveTo(faded, other);
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(other.GetAt(0), faded);
    list.Remove(faded);  // not in this list any more
    EXPECT_EQ(other.GetCount(), 1);
    list.Remove(shown);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(host.renderer.LivePrimitives(), 2);
    list.Clear();
    other.Clear();
    EXPECT_EQ(host.renderer.LivePrimitives(), 0);
    EXPECT_EQ(host.renderer.LiveEffects(), 0);
    EXPECT_EQ(host.renderer.BadReleases(), 0);
}

TEST(PrimObjectListFailure, ARendererWithoutPrimitivesGivesNoObjectAndALogLine) {
    test::LogCapture log;
    test::RendererScope scope;
    {
        PrimObjectList list;
        scope.renderer.SetFailPrimitives(true);
        for (bool withMaterial : {false, true}) {
            EXPECT_EQ(list.Create(7, 0x144, withMaterial), nullptr);
        }
        EXPECT_EQ(list.GetCount(), 0);
        EXPECT_TRUE(log.Contains("PrimObjectList::Create")) << log.Joined();
        // Nothing half-made stays behind, and the list works once the renderer does.
        EXPECT_EQ(scope.renderer.LiveEffects(), 0);
        scope.renderer.SetFailPrimitives(false);
        PrimObject* made = list.Create(7, 0x144, true);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(list.GetAt(0), made);
        list.DrawVisible();
    }
    EXPECT_EQ(scope.renderer.LivePrimitives(), 0);
    EXPECT_EQ(scope.renderer.LiveEffects(), 0);
    EXPECT_EQ(scope.renderer.BadReleases(), 0);
    ObjectIdMap::Instance().Reset();
}

}  // namespace
}  // namespace quor::world
