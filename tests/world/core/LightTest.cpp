#include "world/core/Light.h"

#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/host/RecordingLights.h"
#include "tests/support/world/core/ObjectModelSupport.h"
#include "tests/support/world/core/RandomMath.h"
#include "world/core/GeoObject.h"
#include "world/core/ObjectOwner.h"
#include "world/scene/ObjectIdMap.h"

namespace quor::world {
namespace {

void ExpectColor(const Vec4& c, const Vec4& want, const char* what) {
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(c[i], want[i], 1e-5f) << what << " component " << i;
}

// An owner whose lights evaluate their keys at a time the test sets.
class TimedOwner final : public ObjectOwner {
public:
    ObjectLock& GetObjectLock() override { return lock; }
    SpaceObject* GetRootObject() const override { return nullptr; }
    void ForgetObjectId(std::uint32_t) override {}
    void RemoveNamedObject(const SpaceObject*) override {}
    float GetCurrentLightTime() override { return time; }
    ObjectLock lock;
    float time = 0.0f;
};

class LightTest : public ::testing::Test {
protected:
    void TearDown() override { ObjectIdMap::Instance().Reset(); }
    host::RecordingLightSet& Set() { return *host.renderer.LastLightSet(); }
    host::RecordingRenderLight& Rec(Light* light) { return *Set().Light(light->GetIndex()); }

    test::RendererScope host;
};

TEST(ColorChannelTest, KeysMapTimeByModeAndBlendLinearly) {
    const Vec4 a{0.0f, 0.2f, 0.4f, 1.0f}, b{1.0f, 0.6f, 0.0f, 0.0f}, mid{0.5f, 0.4f, 0.2f, 0.5f};
    const Vec4 white{1, 1, 1, 1};
    ColorChannel empty;
    ExpectColor(empty.Evaluate(7.0f), white, "no keys");
    ColorChannel one;
    one.SetKey(4.0f, a);
    EXPECT_EQ(one.length, 0.0f) << "one key sets no span";
    ExpectColor(one.Evaluate(-100.0f), a, "one key");

    struct Case {
        int mode;
        float t;
        Vec4 want;
    };
    const Case cases[] = {
        {ColorChannel::kClamp, 0.0f, a},     {ColorChannel::kClamp, 5.0f, b},     {ColorChannel::kClamp, 2.0f, mid},
        {ColorChannel::kLoop, 4.0f, mid},    {ColorChannel::kLoop, 0.0f, mid},    {ColorChannel::kLoop, 1.5f, {0.25f, 0.3f, 0.3f, 0.75f}},
        {ColorChannel::kPingPong, 4.0f, mid}, {ColorChannel::kPingPong, 0.0f, mid}, {ColorChannel::kPingPong, 5.0f, a},  {ColorChannel::kPingPong, 3.0f, b},
        {7, 0.0f, white},  // an unknown mode leaves t alone: outside every pair
        {7, 3.0f, b},
    };
    for (const Case& c : cases) {
        ColorChannel ch;
        ch.mode = c.mode;
        ch.SetKey(3.0f, b);
        ch.SetKey(1.0f, a);
        EXPECT_EQ(ch.start, 1.0f);
        EXPECT_EQ(ch.end, 3.0f);
        EXPECT_EQ(ch.length, 2.0f);
        ExpectColor(ch.Evaluate(c.t), c.want, ("mode " + std::to_string(c.mode) + " t " + std::to_string(c.t)).c_str());
    }
}

TEST_F(LightTest, ANewLightIsWhiteAndBoundToALightOfItsSet) {
    LightList list;
    ASSERT_EQ(host.renderer.LiveLightSets(), 1);
    Light* light = list.CreateLight(2);
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->GetObjectType(), 1);
    EXPECT_EQ(light->GetType(), 2);
    EXPECT_EQ(light->GetFlags(), 1u);
    EXPECT_TRUE(light->IsUnbounded());
    EXPECT_EQ(light->GetVolumeShapeKind(), 3u);
    EXPECT_EQ(Set().calls.front(), "CreateLight(2,65535)");
    for (float t : {-5.0f, 0.0f, 3.5f}) {
        Vec4 c;
        light->GetColorA(t, c);
        ExpectColor(c, {1, 1, 1, 1}, "A");
        light->GetColorB(t, c);
        ExpectColor(c, {1, 1, 1, 1}, "B");
        light->GetColorC(t, c);
        ExpectColor(c, {1, 1, 1, 1}, "C");
    }
    EXPECT_EQ(Rec(light).Count(10), 1) << "the intensity is set once at construction";
    EXPECT_TRUE(light->IsTransformChanged());
}

TEST_F(LightTest, KeysEvaluateAtTheLightTimeOfTheScene) {
    LightList list;
    Light* light = list.CreateLight(1);
    TimedOwner owner;
    const Vec4 red{1, 0, 0, 1}, blue{0, 0, 1, 1};
    // Outside a scene the time is 0: channel A holds white at 0 from construction.
    light->SetColorKeyA(red, 2.0f);
    ExpectColor(Vec4{Rec(light).diffuse[0], Rec(light).diffuse[1], Rec(light).diffuse[2], Rec(light).diffuse[3]},
                {1, 1, 1, 1}, "outside a scene");
    light->SetScene(&owner);
    owner.time = 1.0f;
    light->SetColorKeyB(blue, 2.0f);
    ExpectColor(Vec4{Rec(light).ambient[0], Rec(light).ambient[1], Rec(light).ambient[2], Rec(light).ambient[3]},
                {0.5f, 0.5f, 1.0f, 1.0f}, "B at the scene's time");
    light->SetColorKeyC(red, 2.0f);
    EXPECT_FLOAT_EQ(Rec(light).specular[1], 0.5f);
    // The list's update hands all three over at the time it is given.
    list.Update(2.0f);
    EXPECT_FLOAT_EQ(Rec(light).diffuse[1], 0.0f);
    EXPECT_FLOAT_EQ(Rec(light).ambient[0], 0.0f);
    EXPECT_FLOAT_EQ(Rec(light).specular[2], 0.0f);
    light->SetScene(nullptr);
}

TEST_F(LightTest, SetDirectionBuildsAnOrthonormalPoseWithUpNeverAbove) {
    LightList list;
    Light* light = list.CreateLight(3);
    std::vector<Vec3> directions = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {3, 0, 0}, {1e-6f, 0, 0}};
    test::RandomMath random(7);
    for (int i = 0; i < 200; ++i) directions.push_back(random.Vector(1.0f));
    for (const Vec3& dir : directions) {
        if (Vec3Length(dir) == 0.0f) continue;
        light->SetDirection(dir);
        const Matrix& r = *light->GetRotation();
        const Vec3 x = r.Row(0), u = r.Row(1), d = r.Row(2);
        EXPECT_LE(u.y, 0.0f);
        for (const Vec3& axis : {x, u, d}) EXPECT_NEAR(Vec3Length(axis), 1.0f, 1e-4f);
        EXPECT_NEAR(Vec3Dot(x, u), 0.0f, 1e-4f);
        EXPECT_NEAR(Vec3Dot(x, d), 0.0f, 1e-4f);
        EXPECT_NEAR(Vec3Dot(u, d), 0.0f, 1e-4f);
        const Vec3 c = Vec3Cross(x, u);
        EXPECT_NEAR(Vec3Dot(c, d), 1.0f, 1e-4f) << "right-handed";
        Vec3 want = dir;
        Vec3SetLength(want, 1.0f);
        EXPECT_NEAR(Vec3Dot(d, want), 1.0f, 1e-4f);
        const Vec3 sent = light->GetDirection();
        EXPECT_NEAR(Vec3Dot(sent, want), 1.0f, 1e-4f) << "the render light follows row 2";
    }
    // A zero direction keeps the pose instead of writing NaN rows.
    light->SetDirection({0, 0, 1});
    const Matrix before = *light->GetRotation();
    light->SetDirection({0, 0, 0});
    EXPECT_EQ(std::memcmp(&before, light->GetRotation(), sizeof before), 0);
}

TEST_F(LightTest, DescRoundTripsWithTheStoredDegreeFactor) {
    LightList list;
    struct Case {
        int kind;
        bool rangeKept;
        bool anglesKept;
    };
    for (const Case c : {Case{1, true, false}, Case{2, true, true}, Case{3, false, false}}) {
        Light* light = list.CreateLight(c.kind);
        LightDesc in;
        std::strcpy(in.name, "lamp-post");
        in.enabled = 1;
        in.flags = 8;
        in.position[0] = 1;
        in.position[1] = 2;
        in.position[2] = 3;
        in.direction[0] = 0;
        in.direction[1] = -1;
        in.direction[2] = 0;
        in.range = 50;
        in.attenuation[0] = 1;
        in.attenuation[1] = 0.045f;
        in.attenuation[2] = 0.001f;
        in.innerAngle = 30;
        in.outerAngle = 60;
        light->SetDesc(in);
        const auto& rec = Rec(light);
        if (c.anglesKept) {
            EXPECT_FLOAT_EQ(rec.inner, 30.0f * 3.14f / 180.0f) << "3.14, not pi";
            EXPECT_FLOAT_EQ(rec.outer, 60.0f * 3.14f / 180.0f);
        }
        LightDesc out;
        light->GetDesc(out);
        EXPECT_EQ(out.type, c.kind);
        EXPECT_STREQ(out.name, "lamp-post");
        EXPECT_EQ(out.enabled, 1);
        EXPECT_EQ(out.flags, 8u);
        EXPECT_TRUE(light->GetFlag8());
        for (int i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(out.position[i], in.position[i]);
            EXPECT_FLOAT_EQ(out.direction[i], in.direction[i]);
        }
        EXPECT_FLOAT_EQ(out.range, c.rangeKept ? 50.0f : 0.0f);
        EXPECT_FLOAT_EQ(out.attenuation[1], c.rangeKept ? 0.045f : 0.0f);
        EXPECT_NEAR(out.innerAngle, c.anglesKept ? 30.0f : 0.0f, 1e-4f);
        EXPECT_NEAR(out.outerAngle, c.anglesKept ? 60.0f : 0.0f, 1e-4f);
    }
    // A name that fills the field is cut and terminated.
    Light* light = list.CreateLight(1);
    LightDesc full;
    std::memset(full.name, 'n', sizeof full.name);
    light->SetDesc(full);
    EXPECT_EQ(std::strlen(light->GetName()), 15u);
    light->SetName("twenty-characters-xx");
    EXPECT_STREQ(light->GetName(), "twenty-characte");
}

TEST_F(LightTest, VolumesBoundTheLightAroundItsPlace) {
    LightList list;
    Light* light = list.CreateLight(1);
    EXPECT_TRUE(light->ContainsPoint({1e6f, 0, 0})) << "unbounded reaches everything";
    light->SetUnbounded(false);
    EXPECT_FALSE(light->IsUnbounded());
    EXPECT_EQ(light->GetVolumeShapeKind(), 0u) << "a sphere is made";
    EXPECT_TRUE(light->ContainsPoint({0.5f, 0, 0})) << "a unit sphere until the transform is set";
    EXPECT_FALSE(light->ContainsPoint({2, 0, 0}));

    light->SetPosition({10, 0, 0});
    light->SetVolumeOffset({0, 5, 0});
    light->SetVolumeScale({4, 4, 4});
    light->Update();
    EXPECT_TRUE(light->ContainsPoint({10, 8.5f, 0}));
    EXPECT_FALSE(light->ContainsPoint({10, 0.5f, 0})) << "centred on the offset place";
    // The light's own rotation does not turn the volume; the volume matrix does.
    ASSERT_TRUE(light->SetVolumeShape(2));
    EXPECT_EQ(light->GetVolumeShapeKind(), 2u);
    light->SetDirection({1, 1, 0});
    light->Update();
    EXPECT_TRUE(light->ContainsPoint({11.9f, 6.9f, 1.9f}));
    EXPECT_TRUE(light->SetVolumeShape(2)) << "same kind: kept";

    GeoCuboid box;
    Matrix m;
    MatrixScaling(m, Vec3{1, 1, 1});
    m.Row(3) = Vec3{10, 5, 0};
    box.SetTransform(m);
    EXPECT_TRUE(light->IntersectsObject(&box));
    m.Row(3) = Vec3{100, 5, 0};
    box.SetTransform(m);
    EXPECT_FALSE(light->IntersectsObject(&box));
    GeoSphere sphere;
    EXPECT_FALSE(light->IntersectsObject(&sphere)) << "only cuboids are tested";
    ASSERT_TRUE(light->SetVolumeShape(1));
    EXPECT_EQ(light->GetVolumeShapeKind(), 1u);

    EXPECT_FALSE(light->SetVolumeShape(5));
    EXPECT_EQ(light->GetVolumeShapeKind(), 3u);
    EXPECT_FALSE(light->ContainsPoint({10, 5, 0})) << "bounded without a volume reaches nothing";
    EXPECT_FALSE(light->IntersectsObject(&box));
    light->SetFlags(5);
    EXPECT_EQ(light->GetVolumeShapeKind(), 0u) << "the bounded flag makes a sphere";
    light->SetUnbounded(true);
    EXPECT_EQ(light->GetFlags(), 1u);
}

TEST_F(LightTest, RemovedLightsStayUntilClearedAndOnlyTheUpdateReachesThem) {
    auto list = std::make_unique<LightList>();
    Light* kept = list->CreateLight(1);
    Light* gone = list->CreateLight(1);
    SpaceObject child;
    gone->AddChild(&child, false);
    list->Bind(true);
    EXPECT_EQ(LightList::Current(), list.get());
    EXPECT_EQ(LightList::CurrentLightSet(), list->LightSet());
    EXPECT_TRUE(kept->IsEnabled());
    EXPECT_TRUE(gone->IsEnabled());

    list->Remove(gone);
    list->Remove(nullptr);
    SpaceObject stranger;
    list->Remove(&stranger);
    EXPECT_EQ(list->Count(), 2) << "the memory stays until Clear";
    EXPECT_FALSE(gone->IsValid());
    EXPECT_FALSE(gone->IsEnabled());
    EXPECT_EQ(gone->GetChildCount(), 0) << "children detached";
    EXPECT_EQ(child.GetParent(), nullptr);
    gone->SetEnabled(true);
    list->SetAllEnabled(true);
    list->Bind(true);
    host.renderer.Update();
    list->Apply();
    EXPECT_FALSE(gone->IsEnabled()) << "a removed light ignores enabling";
    EXPECT_EQ(kept->FrameStamp(), 1u) << "applied lights carry the renderer's frame";
    const int before = Rec(gone).Count(4);
    list->Update(1.0f);
    EXPECT_EQ(Rec(gone).Count(4), before + 1) << "the update still evaluates it";

    // Another list taking over unbinds this one and disables its lights.
    LightList other;
    Light* third = other.CreateLight(3);
    other.Apply();
    EXPECT_EQ(LightList::Current(), &other);
    EXPECT_FALSE(kept->IsEnabled());
    EXPECT_TRUE(third->IsEnabled());
    // A list going inactive does not unbind the one now bound.
    list->SetActive(false);
    EXPECT_EQ(LightList::Current(), &other);

    host::RecordingLightSet* set = &Set();
    host::RecordingLightSet* first = static_cast<host::RecordingLightSet*>(list->LightSet());
    list.reset();
    EXPECT_EQ(first->LiveLights(), 0) << "every render light removed";
    EXPECT_EQ(first->calls.back(), "Clear(0)");
    EXPECT_EQ(host.renderer.LiveLightSets(), 1);
    other.Clear();
    EXPECT_EQ(LightList::Current(), nullptr);
    EXPECT_EQ(other.Count(), 0);
    EXPECT_EQ(set->LiveLights(), 0);
    EXPECT_EQ(host.renderer.BadReleases(), 0);
}

TEST_F(LightTest, AMovedLightHandsItsPlaceAndFacingToTheRenderLight) {
    LightList list;
    Light* light = list.CreateLight(2);
    SpaceObject parent;
    parent.AddChild(light, false);
    parent.SetPosition({0, 10, 0});
    light->SetPosition({1, 0, 0});
    const auto& rec = Rec(light);
    EXPECT_FLOAT_EQ(rec.position[0], 1.0f);
    EXPECT_FLOAT_EQ(rec.position[1], 10.0f);
    Vec3 p;
    light->GetWorldPosition(p);
    EXPECT_FLOAT_EQ(p.y, 10.0f);
    parent.RemoveChild(light, false);
}

}  // namespace
}  // namespace quor::world
