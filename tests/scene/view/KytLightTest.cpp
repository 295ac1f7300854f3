#include "scene/view/KytLight.h"

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "tests/support/scene/ViewGl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace {

using viewtest::ViewGl;

std::array<float, 4> Light(GLenum light, GLenum what) {
    std::array<float, 4> v{-9, -9, -9, -9};
    glGetLightfv(light, what, v.data());
    return v;
}

void ExpectRgba(const std::array<float, 4>& v, float r, float g, float b, float a) {
    EXPECT_FLOAT_EQ(v[0], r);
    EXPECT_FLOAT_EQ(v[1], g);
    EXPECT_FLOAT_EQ(v[2], b);
    EXPECT_FLOAT_EQ(v[3], a);
}

class LightTest : public testing::Test {
protected:
    void SetUp() override {
        KytEnv::Reset();
        KytEnv::nUpAxis = 1;
        ASSERT_TRUE(gl_.Ready());
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    void TearDown() override { KytEnv::Reset(); }
    ViewGl gl_{16, 16};
};

TEST_F(LightTest, DefaultLightSendsBlackAndKeepsGlsPosition) {
    KytLight light;
    EXPECT_STREQ(static_cast<const char*>(light.GetName()), "Default");
    // Light 0 starts white in GL, so black read back proves the colours were sent.
    light.Create(GL_LIGHT0);
    ExpectRgba(Light(GL_LIGHT0, GL_AMBIENT), 0, 0, 0, 1);
    ExpectRgba(Light(GL_LIGHT0, GL_DIFFUSE), 0, 0, 0, 1);
    ExpectRgba(Light(GL_LIGHT0, GL_SPECULAR), 0, 0, 0, 1);
    ExpectRgba(Light(GL_LIGHT0, GL_POSITION), 0, 0, 1, 0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FLOAT_EQ(Light(GL_LIGHT0, GL_SPOT_CUTOFF)[0], 180.0f);

    KytLight off("off");
    off.SetEnabled(false);
    off.Create(GL_LIGHT1);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
}

TEST_F(LightTest, ColoursPositionAndAttenuationAreSentWithTheirFlags) {
    KytLight light("key");
    light.SetAmbient(0.1f, 0.2f, 0.3f);
    light.SetDiffuse(0.4f, 0.5f, 0.6f);
    light.SetSpecular(0.7f, 0.8f, 0.9f);
    const float pos[3] = {1, 2, 3};
    light.SetPosition(pos);
    light.SetAttenuation(2.0f, 0.5f, 0.25f);
    light.Create(GL_LIGHT2);
    ExpectRgba(Light(GL_LIGHT2, GL_AMBIENT), 0.1f, 0.2f, 0.3f, 1);
    ExpectRgba(Light(GL_LIGHT2, GL_DIFFUSE), 0.4f, 0.5f, 0.6f, 1);
    ExpectRgba(Light(GL_LIGHT2, GL_SPECULAR), 0.7f, 0.8f, 0.9f, 1);
    ExpectRgba(Light(GL_LIGHT2, GL_POSITION), 1, 2, 3, 0);  // w untouched: directional
    EXPECT_FLOAT_EQ(Light(GL_LIGHT2, GL_CONSTANT_ATTENUATION)[0], 2.0f);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT2, GL_LINEAR_ATTENUATION)[0], 0.5f);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT2, GL_QUADRATIC_ATTENUATION)[0], 0.25f);
}

TEST_F(LightTest, AlphaIsClampedAndResetByCreate) {
    KytLight light;
    light.SetAlpha(1.5f);
    EXPECT_FLOAT_EQ(light.GetAlpha(), 1.0f);
    light.SetAlpha(0.3f);
    EXPECT_FALSE(light.IsUseAlpha());
    EXPECT_FLOAT_EQ(light.GetAmbient()[3], 0.3f);
    EXPECT_FLOAT_EQ(light.GetDiffuse()[3], 0.3f);
    EXPECT_FLOAT_EQ(light.GetSpecular()[3], 0.3f);
    light.Create(GL_LIGHT3);
    EXPECT_FLOAT_EQ(light.GetDiffuse()[3], 1.0f);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT3, GL_DIFFUSE)[3], 1.0f);

    light.SetAlpha(0.3f);
    light.SetUseAlpha(true);
    light.Create(GL_LIGHT3);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT3, GL_AMBIENT)[3], 0.3f);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT3, GL_DIFFUSE)[3], 0.3f);
}

TEST_F(LightTest, SpotDirectionGoesOnlyWithACone) {
    KytLight light;
    const float dir[3] = {1, 0, 0};
    light.SetSpotDirection(dir);
    light.Create(GL_LIGHT4);
    const auto kept = Light(GL_LIGHT4, GL_SPOT_DIRECTION);
    EXPECT_FLOAT_EQ(kept[0], 0);
    EXPECT_FLOAT_EQ(kept[2], -1);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT4, GL_SPOT_CUTOFF)[0], 180.0f);

    light.SetSpotLigt(2.0f, 30.0f);
    light.Create(GL_LIGHT4);
    const auto sent = Light(GL_LIGHT4, GL_SPOT_DIRECTION);
    EXPECT_FLOAT_EQ(sent[0], 1);
    EXPECT_FLOAT_EQ(sent[2], 0);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT4, GL_SPOT_CUTOFF)[0], 30.0f);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT4, GL_SPOT_EXPONENT)[0], 2.0f);

    KytLight plain;
    plain.ChangeSpotLight(GL_LIGHT4);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT4, GL_SPOT_CUTOFF)[0], 180.0f);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT4, GL_SPOT_EXPONENT)[0], 0.0f);
    light.ChangeSpotLight(GL_LIGHT4);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT4, GL_SPOT_CUTOFF)[0], 30.0f);
}

TEST_F(LightTest, UpdateSendsPositionAndDirectionWhateverTheFlags) {
    KytLight light;
    light.Update(GL_LIGHT5);
    ExpectRgba(Light(GL_LIGHT5, GL_POSITION), 0, 0, 1, 0);
    const auto dir = Light(GL_LIGHT5, GL_SPOT_DIRECTION);
    EXPECT_FLOAT_EQ(dir[2], -1);
}

TEST_F(LightTest, TraceLightFollowsItsCamera) {
    KytLink link;
    link.mech.vPos = WqVector3D(1, 2, 3);
    KytTraceCamera camera(&link, WqVector3D(0, 0, -1), WqVector3D(0, 0, 0), WqVector3D(0, 1, 0),
                          5);
    camera.SetCamera(0);
    glLoadIdentity();
    KytTraceLight light(&camera, "lamp");
    EXPECT_TRUE(light.IsUpdateEachDraw());
    ExpectRgba({light.GetPosition()[0], light.GetPosition()[1], light.GetPosition()[2],
                light.GetPosition()[3]},
               1, 2, 3, 1);
    light.Create(GL_LIGHT6);
    // The cone is kept but not sent: a trace light starts as a point light.
    EXPECT_FLOAT_EQ(Light(GL_LIGHT6, GL_SPOT_CUTOFF)[0], 180.0f);

    link.mech.vPos = WqVector3D(4, 5, 6);
    link.mech.mRot = WqMatrix33D(0, 0, 1, 0, 1, 0, -1, 0, 0);  // looks along -X now
    camera.SetCamera(0);
    glLoadIdentity();
    light.Update(GL_LIGHT6);
    ExpectRgba(Light(GL_LIGHT6, GL_POSITION), 4, 5, 6, 1);
    const auto dir = Light(GL_LIGHT6, GL_SPOT_DIRECTION);
    EXPECT_NEAR(dir[0], -1, 1e-6);
    EXPECT_NEAR(dir[1], 0, 1e-6);
    EXPECT_NEAR(dir[2], 0, 1e-6);

    // Without a camera the light keeps what was last set.
    KytTraceLight loose(nullptr, "loose");
    EXPECT_FALSE(loose.IsUpdateEachDraw());
    const float p[3] = {7, 8, 9};
    loose.SetPosition(p);
    loose.Update(GL_LIGHT7);
    ExpectRgba(Light(GL_LIGHT7, GL_POSITION), 7, 8, 9, 0);
}

TEST_F(LightTest, TraceLightCopiesOnlyColoursFromAnotherLight) {
    KytLight source("src");
    source.SetDiffuse(0.5f, 0.5f, 0.5f);
    source.SetAlpha(0.4f);
    source.SetUseAlpha(true);
    source.SetEnabled(false);
    const float sp[3] = {9, 9, 9};
    source.SetPosition(sp);
    KytTraceLight lamp(nullptr, "lamp");
    lamp.Copy(&source);
    EXPECT_FALSE(lamp.IsEnabled());
    EXPECT_TRUE(lamp.IsUseAlpha());
    EXPECT_FLOAT_EQ(lamp.GetDiffuse()[0], 0.5f);
    EXPECT_FLOAT_EQ(lamp.GetPosition()[0], 0.0f);
    lamp.Create(GL_LIGHT1);
    EXPECT_FLOAT_EQ(Light(GL_LIGHT1, GL_DIFFUSE)[3], 0.4f);
}

TEST(LightLifecycle, CopiesAndAssignmentNeverShareAChain) {
    // Under the sanitizers: each chain is freed exactly once, by its head.
    auto* head = new KytLight("head");
    head->SetNext(new KytLight("second"));
    {
        KytLight copy(*head);
        EXPECT_EQ(copy.GetNext(), nullptr);
        EXPECT_STREQ(static_cast<const char*>(copy.GetName()), "head");
        auto* other = new KytLight("other");
        other->SetNext(new KytLight("other-second"));
        *other = *head;  // keeps its own follower
        EXPECT_STREQ(static_cast<const char*>(other->GetName()), "head");
        EXPECT_STREQ(static_cast<const char*>(other->GetNext()->GetName()), "other-second");
        delete other;
        KytTraceLight lamp(nullptr, "lamp");
        KytTraceLight lampCopy(lamp);
        lampCopy = lamp;
    }
    delete head;
}

}  // namespace
