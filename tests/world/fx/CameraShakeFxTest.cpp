#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "tests/support/world/EffectFileWriter.h"
#include "tests/support/world/fx/FxTestSupport.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/math/Matrix.h"
#include "world/fx/CameraShakeFx.h"
#include "world/fx/FxMgr.h"

namespace quor::world {
namespace {

struct CameraShake : testing::Test {
    test::WorldFixture fx;
    test::TestScene* scene = fx.NewScene();
    Camera* camera = scene->CreateCamera(true);
    FxMgr mgr;
    FxBase* root = nullptr;

    ~CameraShake() override { mgr.ReleaseAll(); }

    // A root holding one shake node with the given attributes; null when it does not load.
    CameraShakeFx* Load(const std::vector<std::pair<std::string, double>>& keys, float frameTime = 0.1f,
                        const char* axis = nullptr) {
        test::EffectFileWriter file("Root");
        file.Set("FxLifeSpan", 0.0);
        auto& node = file.AddNode("FxCamera");
        node.Set("MoveDirection", "1,0,0");
        if (axis) node.Set("RotateAxis", axis);
        for (const auto& [name, value] : keys) node.Set(name, value);
        test::XmlDoc doc(file.Text());
        root = mgr.CreateFromElement(doc.root, kFxFlagReadLoop);
        if (!root) return nullptr;
        mgr.AddObject(root);
        root->SetScene(scene);
        root->SetFrameTime(frameTime);
        return dynamic_cast<CameraShakeFx*>(root->ChildAt(0));
    }
    Vec3 Position() {
        Vec3 p;
        camera->GetWorldPosition(p);
        return p;
    }
};

// Amount applied at time u into a channel of the duration: up to the amount at the middle and
// back to 0 at the end.
double Triangle(double u, double amount, double duration) {
    if (u <= 0.0 || u >= duration) return 0.0;
    const double half = duration * 0.5;
    return u <= half ? amount * u / half : amount * (duration - u) / half;
}

void ExpectMatrixNear(const Matrix& a, const Matrix& b, float tolerance, const std::string& what) {
    for (int i = 0; i < 16; ++i) ASSERT_NEAR(a.m[i], b.m[i], tolerance) << what << " element " << i;
}

TEST_F(CameraShake, MoveReachesTheDistanceAtTheMiddleAndComesBack) {
    CameraShakeFx* shake = Load({{"MoveDuration", 1.0}, {"MoveDistance", 2.0}});
    ASSERT_NE(shake, nullptr);
    EXPECT_EQ(shake->GetKind(), kFxKindCameraShake);
    EXPECT_FLOAT_EQ(shake->GetLifeSpan(), 1.0f);
    EXPECT_FALSE(shake->IsTurning());
    const Matrix start = camera->GetWorldMatrix();
    root->Update();
    EXPECT_EQ(shake->ShakenCamera(), camera);
    while (shake->GetTime() < 0.45f) root->Update();
    EXPECT_NEAR(shake->GetTime(), 0.5f, 1e-5f);
    EXPECT_NEAR(Position().x, 2.0f, 1e-4f);
    root->Update();  // 0.6: up to the middle, then back by the rest of the step
    EXPECT_NEAR(Position().x, 1.6f, 1e-4f);
    for (int i = 0; i < 6; ++i) root->Update();
    EXPECT_FALSE(shake->IsMoving());
    ExpectMatrixNear(camera->GetWorldMatrix(), start, 1e-6f, "after the end");
    // Only a move: the orientation never changed.
}

TEST_F(CameraShake, LoadRules) {
    EXPECT_EQ(Load({{"MoveDistance", 2.0}, {"RotateAngle", 5.0}}), nullptr);  // both durations 0
    mgr.ReleaseAll();
    CameraShakeFx* shake = Load({{"RotateDuration", 1.0}, {"RotateAngle", 30.0}, {"RotateDelay", 0.5}}, 0.1f,
                                "0,0,0");
    ASSERT_NE(shake, nullptr);
    EXPECT_TRUE(fx.capture.Contains("RotateAxis is zero"));
    EXPECT_FLOAT_EQ(shake->GetLifeSpan(), 1.5f);
    const Matrix start = camera->GetWorldMatrix();
    for (int i = 0; i < 20; ++i) {
        root->Update();
        ExpectMatrixNear(camera->GetWorldMatrix(), start, 0.0f, "zero axis");
    }
}

TEST_F(CameraShake, ReleasedCameraIsNeverTouched) {
    CameraShakeFx* shake = Load({{"MoveDuration", 1.0}, {"MoveDistance", 2.0}, {"RotateDuration", 1.0},
                                 {"RotateAngle", 20.0}});
    ASSERT_NE(shake, nullptr);
    for (int i = 0; i < 3; ++i) root->Update();
    scene->DestroyObject(camera);
    camera = nullptr;
    for (int i = 0; i < 3; ++i) root->Update();
    EXPECT_EQ(shake->ShakenCamera(), nullptr);
    EXPECT_FALSE(shake->IsMoving());
    shake->Deactivate();
    mgr.RemoveEffect(root);
}

// Random shakes: each frame's displacement and turn follow the triangle, and however the shake
// ends the camera is back where it started.
TEST_F(CameraShake, RandomShakesFollowTheTriangleAndRestoreTheCamera) {
    std::mt19937 rng(23);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    const Vec3 axisRaw(0.3f, 1.0f, -0.4f);
    const Vec3 axis = axisRaw * (1.0f / Vec3Length(axisRaw));
    for (int round = 0; round < 60; ++round) {
        const float dt = static_cast<float>(uniform(1.0 / 120.0, 1.0 / 15.0));
        const double moveDuration = uniform(0.1, 1.5), turnDuration = uniform(0.1, 1.5);
        const double moveDelay = dt * std::uniform_int_distribution<int>(0, 10)(rng);
        const double turnDelay = dt * std::uniform_int_distribution<int>(0, 10)(rng);
        const double distance = uniform(-3.0, 3.0), angle = uniform(-30.0, 30.0);
        CameraShakeFx* shake =
            Load({{"MoveDuration", moveDuration}, {"MoveDistance", distance}, {"MoveDelay", moveDelay},
                  {"RotateDuration", turnDuration}, {"RotateAngle", angle}, {"RotateDelay", turnDelay}},
                 dt, "0.3,1,-0.4");
        ASSERT_NE(shake, nullptr);
        Matrix start;
        MatrixRotationY(start, static_cast<float>(uniform(-3.0, 3.0)));
        start(3, 0) = 1.0f, start(3, 1) = -2.0f, start(3, 2) = 0.5f;
        camera->SetWorldMatrix(start);
        const Matrix begin = camera->GetWorldMatrix();
        const int frames = static_cast<int>(std::max(moveDelay + moveDuration, turnDelay + turnDuration) / dt) + 3;
        const int stopAt = std::uniform_int_distribution<int>(1, frames)(rng);
        const int way = round % 4;  // 0 runs to the end, 1 Deactivate, 2 Release, 3 Reset
        const std::string what = "round " + std::to_string(round) + " way " + std::to_string(way);
        for (int f = 0; f < frames && (way == 0 || f < stopAt); ++f) {
            root->Update();
            const double t = shake->GetTime();
            const double move = Triangle(t - moveDelay, distance, moveDuration);
            const double turn = Triangle(t - turnDelay, angle, turnDuration);
            Matrix expected;
            MatrixRotationAxis(expected, axis, static_cast<float>(turn * 3.14159265358979 / 180.0));
            MatrixMultiplyPlain(expected, begin, expected);
            expected(3, 0) += static_cast<float>(move);
            // A node that has stopped (its window ended) has brought the camera back.
            if (shake->GetState() != kFxPlaying) expected = begin;
            ExpectMatrixNear(camera->GetWorldMatrix(), expected, 2e-4f, what + " frame " + std::to_string(f));
        }
        if (way == 1) root->Deactivate();
        if (way == 2) mgr.RemoveEffect(root);
        if (way == 3) root->Reset();
        ExpectMatrixNear(camera->GetWorldMatrix(), begin, 1e-5f, what + " at the end");
        mgr.ReleaseAll();
        ExpectMatrixNear(camera->GetWorldMatrix(), begin, 1e-5f, what + " released");
    }
}

}  // namespace
}  // namespace quor::world
