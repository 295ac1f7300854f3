#include "world/core/Camera.h"

#include <cmath>

#include <gtest/gtest.h>

#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/scene/ObjectIdMap.h"

namespace quor::world {
namespace {

using test::MatrixError;

void ExpectNear(const Vec3& a, const Vec3& b, float tolerance = 1e-3f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

Matrix FromFloats(const float* f) {
    Matrix m;
    std::copy(f, f + 16, m.m);
    return m;
}

class CameraTest : public ::testing::Test {
protected:
    void TearDown() override { ObjectIdMap::Instance().Reset(); }

    test::RendererScope host;
};

TEST_F(CameraTest, ANewCameraLooksAlongZFromMinusOneHundred) {
    Camera camera;
    auto* rc = host.renderer.LastRenderCamera();
    ASSERT_NE(rc, nullptr);
    EXPECT_EQ(camera.GetRenderCamera(), rc);
    EXPECT_EQ(camera.GetObjectType(), 2);
    EXPECT_EQ(camera.GetProjectionKind(), kProjectionPerspective);
    EXPECT_EQ(camera.GetSpaceObject(), static_cast<ISpaceObject*>(&camera));
    ExpectNear(*camera.GetPosition(), Vec3{0, 0, -100});
    const Matrix& r = *camera.GetRotation();
    ExpectNear(r.Row(0), Vec3{1, 0, 0});
    ExpectNear(r.Row(1), Vec3{0, 1, 0});
    ExpectNear(r.Row(2), Vec3{0, 0, 1});
    EXPECT_EQ(rc->Calls().front(), "SetPerspective");
    EXPECT_FLOAT_EQ(camera.GetParam7(), 45.0f);
    EXPECT_FLOAT_EQ(camera.GetParam3(), 1.3333334f);
    EXPECT_FLOAT_EQ(camera.GetParam5(), 1.0f);
    // The projection matrix the screen labels project their depth with.
    EXPECT_NEAR(camera.GetParam13()[10], 10000.0f / 9999.0f, 1e-6f);

    // Real numbers: the left-handed projection with depth 0..1.
    const float* p = camera.GetParam9();
    const float ys = 1.0f / std::tan(45.0f * 3.14159265f / 360.0f);
    EXPECT_NEAR(p[5], ys, 1e-5f);
    EXPECT_NEAR(p[0], ys / 1.3333334f, 1e-5f);
    EXPECT_NEAR(p[10], 10000.0f / 9999.0f, 1e-6f);
    EXPECT_FLOAT_EQ(p[11], 1.0f);
    EXPECT_NEAR(p[14], -10000.0f / 9999.0f, 1e-5f);
    EXPECT_FLOAT_EQ(p[15], 0.0f);

    // The corners: near plane one unit ahead of the eye, far plane 10000 ahead.
    const Vec3* corners = camera.GetFrustumCorners();
    const float nearHalfHeight = std::tan(22.5f * 3.14159265f / 180.0f);
    ExpectNear(corners[0], Vec3{-nearHalfHeight * 1.3333334f, -nearHalfHeight, -99}, 1e-3f);
    ExpectNear(corners[3], Vec3{nearHalfHeight * 1.3333334f, nearHalfHeight, -99}, 1e-3f);
    EXPECT_NEAR(corners[7].z, 9900.0f, 0.5f);
    EXPECT_NEAR(corners[7].y, 10000.0f * nearHalfHeight, 0.5f);

    camera.SetOrthographic(200, 100, 1, 500);
    EXPECT_EQ(camera.GetProjectionKind(), kProjectionOrthographic);
    EXPECT_EQ(camera.GetParam20(), 1);
    camera.SetPerspective(60, 2, 0.5f, 100);
    EXPECT_EQ(camera.GetProjectionKind(), kProjectionPerspective);
    EXPECT_EQ(camera.SetPerspective(60, 2, -1, 100), 0);  // the renderer's answer comes back
}

TEST_F(CameraTest, EveryTransformChangeSendsTheInverseWorldMatrix) {
    SpaceObject parent;
    Camera camera;
    auto* rc = host.renderer.LastRenderCamera();
    ASSERT_TRUE(parent.AddChild(&camera, false));

    struct Change {
        const char* name;
        void (*apply)(SpaceObject&, Camera&);
    };
    const Change changes[] = {
        {"position", [](SpaceObject&, Camera& c) { c.SetPosition(Vec3{1, 2, 3}); }},
        {"rotation", [](SpaceObject&, Camera& c) { c.RotateLocalY(0.3f); }},
        {"scale", [](SpaceObject&, Camera& c) { c.SetScale(Vec3{1, 1, 1}); }},
        {"parent moves", [](SpaceObject& p, Camera&) { p.SetPosition(Vec3{0, 5, 0}); }},
        {"parent turns", [](SpaceObject& p, Camera&) { p.RotateLocalX(0.2f); }},
        {"reparent", [](SpaceObject& p, Camera& c) { p.RemoveChild(&c, true); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        rc->ClearCalls();
        change.apply(parent, camera);
        ASSERT_GE(rc->CountCalls("SetViewMatrix"), 1);
        EXPECT_EQ(rc->Calls().back(), "Refresh");
        EXPECT_LT(MatrixError(FromFloats(rc->GetViewMatrix()), camera.GetInverseWorldMatrix()), 1e-6);
        EXPECT_LT(MatrixError(camera.GetViewMatrix(), camera.GetInverseWorldMatrix()), 1e-7);
    }
}

TEST_F(CameraTest, SetViewMatrixRoundTripsAndRefusesASingularView) {
    Camera camera;
    Matrix view;
    MatrixRotationAxis(view, Vec3{0.6f, 0.8f, 0}, 0.7f);
    view.Row(3) = Vec3{3, -4, 50};
    camera.SetViewMatrix(view);
    EXPECT_LT(MatrixError(camera.GetViewMatrix(), view), 1e-5);
    auto* rc = host.renderer.LastRenderCamera();
    EXPECT_LT(MatrixError(FromFloats(rc->GetViewMatrix()), view), 1e-5);

    const Vec3 before = *camera.GetPosition();
    Matrix singular{};
    rc->ClearCalls();
    camera.SetViewMatrix(singular);
    EXPECT_EQ(*camera.GetPosition(), before);
    EXPECT_LT(MatrixError(camera.GetViewMatrix(), view), 1e-5);
    EXPECT_EQ(rc->CountCalls("SetViewMatrix"), 0);
}

TEST_F(CameraTest, OrbitKeepsItsPivot) {
    Camera camera;
    camera.SetPosition(Vec3{3, 4, 5});
    camera.RotateLocalY(0.4f);
    const float distance = 25.0f;
    auto pivot = [&]() { return *camera.GetPosition() + camera.GetRotation()->Row(2) * distance; };
    const Vec3 p0 = pivot();
    camera.OrbitPitch(0.3f, distance);
    ExpectNear(pivot(), p0);
    camera.OrbitYaw(-1.1f, distance);
    ExpectNear(pivot(), p0);

    const Vec3 at = *camera.GetPosition();
    camera.OrbitPitch(0.0f, distance);
    ExpectNear(*camera.GetPosition(), at, 1e-5f);
    const Matrix turnBefore = *camera.GetRotation();
    camera.OrbitYaw(0.5f, 0.0f);
    ExpectNear(*camera.GetPosition(), at, 1e-5f);
    EXPECT_GT(MatrixError(*camera.GetRotation(), turnBefore), 1e-2);
}

TEST_F(CameraTest, ScreenCentreRayRunsAlongForward) {
    Camera camera;
    camera.SetPosition(Vec3{10, 0, 0});
    camera.RotateLocalY(0.9f);
    camera.RotateLocalX(-0.2f);
    auto* rc = host.renderer.LastRenderCamera();
    rc->SetViewportSize(640, 480);
    Ray ray;
    camera.ScreenPointToRay(320.0f, ray, 240.0f);
    Vec3 direction = ray.direction;
    Vec3SetLength(direction, 1.0f);
    ExpectNear(direction, camera.GetRotation()->Row(2), 1e-4f);
    // The ray starts on the near plane, one unit ahead of the eye.
    ExpectNear(ray.origin, *camera.GetPosition() + camera.GetRotation()->Row(2), 1e-3f);

    // And back: a point on the ray lands on the screen centre.
    float screen[2];
    float depth = 0;
    const Vec3 ahead = ray.origin + ray.direction * 0.5f;
    EXPECT_EQ(camera.WorldToScreen(ahead, screen, &depth), 1);
    EXPECT_NEAR(screen[0], 320.0f, 1e-2f);
    EXPECT_NEAR(screen[1], 240.0f, 1e-2f);
    EXPECT_GT(depth, 0.0f);
    EXPECT_LT(depth, 1.0f);

    Vec3 view;
    camera.WorldToView(ahead, view);
    EXPECT_NEAR(view.x, 0.0f, 1e-3f);
    EXPECT_NEAR(view.y, 0.0f, 1e-3f);
    Vec3 back;
    camera.ViewToWorld(view, back);
    ExpectNear(back, ahead, 1e-3f);
}

TEST_F(CameraTest, ScreenPointToRayTakesXFirstAndYLast) {
    // Off-centre points in each quadrant: a point on the ray projects back to where it came
    // from, so neither coordinate is dropped or swapped.
    Camera camera;
    camera.SetPosition(Vec3{-4, 3, 2});
    camera.RotateLocalY(-0.4f);
    auto* rc = host.renderer.LastRenderCamera();
    rc->SetViewportSize(640, 480);
    const float points[][2] = {{100, 50}, {600, 70}, {30, 400}, {500, 460}};
    for (const auto& p : points) {
        Ray ray;
        EXPECT_EQ(&camera.ScreenPointToRay(p[0], ray, p[1]), &ray);
        float screen[2];
        float depth = 0;
        ASSERT_EQ(camera.WorldToScreen(ray.origin + ray.direction * 0.25f, screen, &depth), 1);
        EXPECT_NEAR(screen[0], p[0], 1e-2f);
        EXPECT_NEAR(screen[1], p[1], 1e-2f);
    }
}

TEST_F(CameraTest, CameraListKeepsOneActiveCamera) {
    {
        CameraList list;
        CameraList other;
        Camera* a = list.Create();
        Camera* b = list.Create();
        Camera* c = list.Create();
        Camera* foreign = other.Create();
        EXPECT_EQ(list.GetActive(), nullptr);
        EXPECT_FALSE(list.SetActive(nullptr));
        EXPECT_TRUE(list.SetActive(a));
        EXPECT_TRUE(list.SetActive(a));
        EXPECT_FALSE(list.SetActive(foreign));
        EXPECT_EQ(list.GetActive(), a);

        list.Remove(b);  // not active: the active one stays
        EXPECT_EQ(list.GetActive(), a);
        list.Remove(a);  // active: the last one left takes over
        EXPECT_EQ(list.GetActive(), c);
        list.Remove(foreign);  // not listed here: ignored
        EXPECT_EQ(list.Cameras().size(), 1u);
        list.Remove(c);
        EXPECT_EQ(list.GetActive(), nullptr);

        list.Create();
        list.SetActive(list.Create());
        list.Clear();
        EXPECT_EQ(list.GetActive(), nullptr);
        EXPECT_TRUE(list.Cameras().empty());
        EXPECT_EQ(host.renderer.LiveRenderCameras(), 1);  // the other list's camera
    }
    EXPECT_EQ(host.renderer.LiveRenderCameras(), 0);
    EXPECT_EQ(host.renderer.BadReleases(), 0);
}

}  // namespace
}  // namespace quor::world
