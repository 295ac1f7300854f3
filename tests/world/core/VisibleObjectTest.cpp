#include "world/core/VisibleObject.h"

#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "world/core/math/Frustum.h"
#include "tests/support/world/scene/TestScene.h"
#include "world/scene/ObjectIdMap.h"
#include "world/scene/SceneBase.h"

namespace quor::world {
namespace {

// A visible object with a bound of its own, as models and effects have.
class BoxObject : public VisibleObject {
public:
    explicit BoxObject(const Bounds& b = Bounds{}) : bound(b) { SetCullCandidate(true); }
    const Bounds* GetLocalBound() override { return &bound; }
    const Bounds* GetPartBound(int) override { return &bound; }
    bool GetSubtreeBox(Vec3& min, Vec3& max, ISpaceObject* reference) override {
        Vec3 cmin, cmax;
        const bool children = VisibleObject::GetSubtreeBox(cmin, cmax, reference);
        Vec3 corners[8];
        GetBoundCorners(corners, 0, kBoundWorld);
        min = max = corners[0];
        for (const Vec3& c : corners) {
            for (int i = 0; i < 3; ++i) {
                min[i] = std::min(min[i], c[i]);
                max[i] = std::max(max[i], c[i]);
            }
        }
        if (children) {
            for (int i = 0; i < 3; ++i) {
                min[i] = std::min(min[i], cmin[i]);
                max[i] = std::max(max[i], cmax[i]);
            }
        }
        return true;
    }
    Bounds bound;
};

Bounds Box(const Vec3& centre, const Vec3& half) {
    Bounds b;
    b.centre = centre;
    b.half = half;
    b.radius = Vec3Length(half);
    return b;
}

// A left-handed perspective view frustum placed by a camera world matrix.
Frustum MakeFrustum(const Matrix& cameraWorld, float fovY, float aspect, float zn, float zf) {
    const float ys = 1.0f / std::tan(fovY / 2);
    Matrix p;
    MatrixSet16(p, ys / aspect, 0, 0, 0, 0, ys, 0, 0, 0, 0, zf / (zf - zn), 1, 0, 0,
                -zn * zf / (zf - zn), 0);
    Frustum f;
    EXPECT_TRUE(f.SetFromCamera(cameraWorld, p));
    return f;
}

class VisibleObjectTest : public ::testing::Test {
protected:
    void TearDown() override {
        ObjectIdMap::Instance().Reset();
        VisibleObject::SetFrameFrustum(kCullPassMain, Frustum{});
        VisibleObject::SetFrameFrustum(kCullPassSecond, Frustum{});
    }
};

TEST_F(VisibleObjectTest, LevelFifteenHidesWithoutTouchingTheHideFlags) {
    BoxObject o;
    EXPECT_TRUE(o.IsVisibleObject());
    EXPECT_TRUE(o.IsVisible());
    o.SetLod(14, 0, 0);
    EXPECT_TRUE(o.IsVisible());
    o.SetLod(15, 0, 0);
    EXPECT_FALSE(o.IsVisible());
    EXPECT_EQ(o.GetHideFlags(), 0);
    o.SetLod(0, 0, 0);
    EXPECT_TRUE(o.IsVisible());
}

TEST_F(VisibleObjectTest, RecursiveHideFlagsFollowChildrenNotAttachments) {
    BoxObject a, child, grandchild, natural;
    ASSERT_TRUE(a.AddChild(&child, false));
    ASSERT_TRUE(child.AddChild(&grandchild, false));
    ASSERT_TRUE(a.AddAttachment(&natural, false));

    a.SetHideFlags(true, 4, true);
    EXPECT_EQ(a.GetHideFlags(), 4);
    EXPECT_EQ(child.GetHideFlags(), 4);
    EXPECT_EQ(grandchild.GetHideFlags(), 4);
    EXPECT_EQ(natural.GetHideFlags(), 0);
    EXPECT_TRUE(a.HasHideFlags(6));
    EXPECT_FALSE(a.HasHideFlags(1));
    a.SetHideFlags(false, 4, true);

    // The visibility switch is hide bit 0 on the object, and reaches attachments through the
    // SpaceObject rule; recursion adds the children.
    a.SetVisible(false, false);
    EXPECT_EQ(a.GetHideFlags(), 1);
    EXPECT_EQ(child.GetHideFlags(), 0);
    EXPECT_EQ(natural.GetHideFlags(), 1);
    a.SetVisible(false, true);
    EXPECT_FALSE(grandchild.IsVisible());
    a.SetVisible(true, true);
    for (BoxObject* o : {&a, &child, &grandchild, &natural}) {
        EXPECT_TRUE(o->IsVisible());
    }
}

TEST_F(VisibleObjectTest, NamesAndTexts) {
    BoxObject o;
    const std::string forty(40, 'n');
    o.SetShortName(forty.c_str());
    EXPECT_EQ(std::string(o.GetShortName()), forty.substr(0, 31));
    o.AddString("one");
    o.AddString("two");
    EXPECT_EQ(o.GetStringCount(), 2);
    EXPECT_EQ(o.GetString(o.GetStringCount()), nullptr);
    EXPECT_EQ(o.GetString(-1), nullptr);
    o.SetString(1, "zwei");
    o.SetString(2, "ignored");
    EXPECT_STREQ(o.GetString(1), "zwei");
    o.SetStringCount(4);
    EXPECT_STREQ(o.GetString(3), "");
    o.SetStringCount(1);
    EXPECT_STREQ(o.GetString(0), "one");
    o.SetUserInt(7);
    o.SetUserInt2(3);
    EXPECT_EQ(o.GetUserInt(), 7);
    EXPECT_EQ(o.GetUserInt2(), 3);
}

TEST_F(VisibleObjectTest, BoundsInParentAndWorldSpace) {
    BoxObject parent(Box(Vec3{0, 0, 0}, Vec3{1, 1, 1}));
    BoxObject child(Box(Vec3{1, 0, 0}, Vec3{1, 2, 3}));
    parent.SetPosition(Vec3{10, 0, 0});
    parent.SetScale(Vec3{2, 2, 2});
    ASSERT_TRUE(parent.AddChild(&child, false));
    child.SetScale(Vec3{-1, 1, 1});

    Vec3 c, e;
    float r = 0;
    child.GetWorldBound(&c, &r, &e, kBoundParent);
    EXPECT_EQ(c, (Vec3{-1, 0, 0}));
    EXPECT_EQ(e, (Vec3{1, 2, 3}));  // mirroring does not turn extents negative
    EXPECT_FLOAT_EQ(r, child.bound.radius);
    child.GetWorldBound(&c, &r, &e, kBoundWorld);
    EXPECT_EQ(c, (Vec3{8, 0, 0}));
    EXPECT_EQ(e, (Vec3{2, 4, 6}));
    EXPECT_FLOAT_EQ(r, 2 * child.bound.radius);
    EXPECT_EQ(child.GetBoundCenter(kBoundLocal), (Vec3{1, 0, 0}));

    // Caches follow transform changes of the parent.
    parent.SetPosition(Vec3{0, 0, 0});
    EXPECT_EQ(child.GetBoundCenter(kBoundWorld), (Vec3{-2, 0, 0}));

    Vec3 min, max;
    ASSERT_TRUE(parent.GetSubtreeBox(min, max, nullptr));
    EXPECT_EQ(min, (Vec3{-4, -4, -6}));
    EXPECT_EQ(max, (Vec3{2, 4, 6}));
    BoxObject lonely;
    VisibleObject plain;
    ASSERT_TRUE(lonely.AddChild(&plain, false));
    EXPECT_FALSE(plain.GetSubtreeBox(min, max, nullptr));
}

TEST_F(VisibleObjectTest, DestructionErasesTheObjectFromTheNamedMapAndItsRenderRecord) {
    quor::test::TestScene scene(1, nullptr);
    RenderRecord record{1};
    VisibleObject other;
    {
        BoxObject o;
        scene.AttachObject(&o);
        o.SetRenderRecord(&record);
        scene.AddNamedObject(&o, "five");
        scene.AddNamedObject(&other, "five");
        scene.AddNamedObject(&o, "five");
        scene.AddNamedObject(&o, "nine");
        EXPECT_TRUE(SceneBase::IsObjectIdRegistered(o.GetId()));
    }
    EXPECT_EQ(record.inUse, 0u);
    IModel* none[4] = {};
    EXPECT_EQ(scene.CountNamedObjects("five"), 1);
    EXPECT_EQ(scene.CountNamedObjects("nine"), 0);
    EXPECT_EQ(scene.GetNamedModels(none, "five"), 0);
    EXPECT_EQ(ObjectIdMap::Instance().Size(), 0u);
}

// --- culling -----------------------------------------------------------------------------------

// Exact separation of two convex point sets (the object's box carried into world space, the
// frustum) by the separating-axis test, in double precision. `margin` demands a clear gap.
bool Separated(const std::array<Vec3, 8>& box, const Vec3* frustum, double margin) {
    auto sub = [](const Vec3& a, const Vec3& b) {
        return std::array<double, 3>{double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z};
    };
    auto cross = [](const std::array<double, 3>& a, const std::array<double, 3>& b) {
        return std::array<double, 3>{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                                     a[0] * b[1] - a[1] * b[0]};
    };
    const std::array<double, 3> boxEdges[3] = {sub(box[1], box[0]), sub(box[2], box[0]),
                                              sub(box[4], box[0])};
    const std::array<double, 3> frustumEdges[6] = {
        sub(frustum[1], frustum[0]), sub(frustum[2], frustum[0]), sub(frustum[4], frustum[0]),
        sub(frustum[5], frustum[1]), sub(frustum[6], frustum[2]), sub(frustum[7], frustum[3])};
    std::vector<std::array<double, 3>> axes;
    for (int i = 0; i < 3; ++i) {
        axes.push_back(cross(boxEdges[i], boxEdges[(i + 1) % 3]));
    }
    const int faces[6][3] = {{0, 1, 2}, {4, 5, 6}, {0, 2, 4}, {1, 3, 5}, {2, 3, 6}, {0, 1, 4}};
    for (const auto& f : faces) {
        axes.push_back(cross(sub(frustum[f[1]], frustum[f[0]]), sub(frustum[f[2]], frustum[f[0]])));
    }
    for (const auto& a : boxEdges) {
        for (const auto& b : frustumEdges) {
            axes.push_back(cross(a, b));
        }
    }
    for (const auto& axis : axes) {
        const double len = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        if (len < 1e-9) {
            continue;
        }
        auto project = [&](const Vec3& p) {
            return (p.x * axis[0] + p.y * axis[1] + p.z * axis[2]) / len;
        };
        double bmin = 1e300, bmax = -1e300, fmin = 1e300, fmax = -1e300;
        for (const Vec3& p : box) {
            bmin = std::min(bmin, project(p));
            bmax = std::max(bmax, project(p));
        }
        for (int i = 0; i < 8; ++i) {
            fmin = std::min(fmin, project(frustum[i]));
            fmax = std::max(fmax, project(frustum[i]));
        }
        if (bmax < fmin - margin || fmax < bmin - margin) {
            return true;
        }
    }
    return false;
}

// All eight world corners of the box beyond one frustum plane by the margin.
bool BeyondOnePlane(const std::array<Vec3, 8>& box, const Frustum& f, double margin) {
    for (const Plane& plane : f.planes) {
        bool all = true;
        for (const Vec3& p : box) {
            const double d = double(plane.normal.x) * p.x + double(plane.normal.y) * p.y +
                             double(plane.normal.z) * p.z - plane.d;
            all = all && d < -margin;
        }
        if (all) {
            return true;
        }
    }
    return false;
}

TEST_F(VisibleObjectTest, CullingAgreesWithAnExactReferenceForAThousandObjects) {
    Matrix cameraWorld;
    MatrixRotationAxis(cameraWorld, Vec3{0, 1, 0}, 0.6f);
    cameraWorld.Row(3) = Vec3{5, 2, -30};
    const Frustum frame = MakeFrustum(cameraWorld, 1.0f, 1.5f, 1.0f, 120.0f);
    VisibleObject::SetFrameFrustum(kCullPassMain, frame);

    std::mt19937 rng(11);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto randomRotation = [&]() {
        Vec3 axis{uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
        if (Vec3Length(axis) < 0.1f) {
            axis = Vec3{0, 1, 0};
        }
        Vec3SetLength(axis, 1.0f);
        Matrix m;
        MatrixRotationAxis(m, axis, uniform(-3.1f, 3.1f));
        return m;
    };
    auto randomScale = [&]() {
        Vec3 s{uniform(0.3f, 3.0f), uniform(0.3f, 3.0f), uniform(0.3f, 3.0f)};
        if (pick(3) == 0) {
            s[pick(3)] *= -1.0f;
        }
        return s;
    };

    // A few parents, rotated, non-uniformly scaled and mirrored, carry a third of the objects.
    std::vector<std::unique_ptr<BoxObject>> parents;
    for (int i = 0; i < 8; ++i) {
        parents.push_back(std::make_unique<BoxObject>());
        parents.back()->SetPosition(Vec3{uniform(-60, 60), uniform(-40, 40), uniform(-40, 120)});
        parents.back()->SetRotation(randomRotation());
        parents.back()->SetScale(randomScale());
    }
    std::vector<std::unique_ptr<BoxObject>> objects;
    int culled = 0, separatedCount = 0, boxTests = 0;
    for (int i = 0; i < 1000; ++i) {
        auto o = std::make_unique<BoxObject>(
            Box(Vec3{uniform(-2, 2), uniform(-2, 2), uniform(-2, 2)},
                Vec3{uniform(0.1f, 6), uniform(0.1f, 6), uniform(0.1f, 6)}));
        if (pick(3) == 0) {
            ASSERT_TRUE(parents[pick(8)]->AddChild(o.get(), false));
            o->SetPosition(Vec3{uniform(-30, 30), uniform(-30, 30), uniform(-30, 30)});
        } else {
            o->SetPosition(Vec3{uniform(-120, 120), uniform(-90, 90), uniform(-60, 160)});
        }
        o->SetRotation(randomRotation());
        o->SetScale(randomScale());
        objects.push_back(std::move(o));
    }
    for (auto& o : objects) {
        std::array<Vec3, 8> world;
        o->GetBoundCorners(world.data(), 0, kBoundWorld);
        const bool isCulled = o->UpdateCulling(0, kCullPassMain);
        ASSERT_EQ(o->GetCulledResult(kCullPassMain), isCulled ? 1 : 0);
        const bool separated = Separated(world, frame.corners, 0.0);
        culled += isCulled;
        separatedCount += separated;
        // Never cull what the exact test sees touching the frustum.
        if (!separated) {
            ASSERT_FALSE(isCulled) << "a visible object was culled";
        }
        // What lies wholly beyond one plane is always culled.
        if (BeyondOnePlane(world, frame, 1e-3)) {
            ASSERT_TRUE(isCulled);
        }
        // The box test (and the local frustum copy it needs) only for objects whose sphere
        // straddles the frustum.
        Vec3 centre;
        float radius = 0;
        o->GetWorldBound(&centre, &radius, nullptr, kBoundWorld);
        std::uint8_t inside = 0;
        const bool sphereOut = frame.TestSphere(centre, radius, &inside);
        const bool copied = !(o->GetLocalFrustum(kCullPassMain).corners[7] == Vec3{});
        EXPECT_EQ(copied, !sphereOut && !inside);
        // The copies are allocated only for those objects.
        EXPECT_EQ(o->HasLocalFrustum(), copied);
        EXPECT_EQ(o->IsFullyInside(kCullPassMain), !sphereOut && inside);
        boxTests += copied;
    }
    // The fixture exercises all three outcomes.
    EXPECT_GT(culled, 100);
    EXPECT_GT(boxTests, 50);
    EXPECT_LT(culled, 1000 - 50);
    EXPECT_GE(separatedCount, culled);
}

// A matrix with independent rows: scaled, rotated, sheared and now and then mirrored.
Matrix ShearedMatrix(std::mt19937& rng, float range) {
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    Vec3 axis{uniform(-1, 1), uniform(0.2f, 1), uniform(-1, 1)};
    Vec3SetLength(axis, 1.0f);
    Matrix m;
    MatrixRotationAxis(m, axis, uniform(-3, 3));
    for (int r = 0; r < 3; ++r) {
        const float s = uniform(0.3f, 3.0f);
        for (int c = 0; c < 3; ++c) {
            m(r, c) = m(r, c) * s + uniform(-0.8f, 0.8f);
        }
    }
    if (uniform(0, 1) < 0.4f) {
        m.Row(2) = m.Row(2) * -1.0f;
    }
    m.Row(3) = Vec3{uniform(-range, range), uniform(-range, range), uniform(-range, range) + range};
    return m;
}

TEST_F(VisibleObjectTest, CullingOfShearedAndMirroredObjectsAgreesWithAnExactTest) {
    // Objects whose world matrices shear and mirror, reached every way the object model allows:
    // sheared local and world matrices, rotations of negative determinant taken as given, and
    // keep-world moves under rotated, non-uniformly scaled parents (which leave sheared
    // rotations behind). No object with any point of its box inside the frustum may be culled.
    Matrix cameraWorld;
    MatrixRotationAxis(cameraWorld, Vec3{0, 1, 0}, -0.3f);
    cameraWorld.Row(3) = Vec3{-3, 1, -20};
    const Frustum frame = MakeFrustum(cameraWorld, 0.9f, 1.3f, 1.0f, 100.0f);
    VisibleObject::SetFrameFrustum(kCullPassMain, frame);

    std::mt19937 rng(29);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };

    std::vector<std::unique_ptr<BoxObject>> parents;
    for (int i = 0; i < 8; ++i) {
        parents.push_back(std::make_unique<BoxObject>());
        parents.back()->SetLocalMatrix(ShearedMatrix(rng, 40));
        if (i % 2) {
            // A non-uniformly scaled, rotated parent of a sheared one.
            parents.back()->SetScale(Vec3{uniform(0.3f, 3), uniform(0.3f, 3), uniform(0.3f, 3)});
            ASSERT_TRUE(parents[i - 1]->AddChild(parents.back().get(), pick(2) == 0));
        }
    }
    std::vector<std::unique_ptr<BoxObject>> objects;
    int culled = 0, straddling = 0, mirrored = 0;
    for (int i = 0; i < 2000; ++i) {
        auto o = std::make_unique<BoxObject>(
            Box(Vec3{uniform(-2, 2), uniform(-2, 2), uniform(-2, 2)},
                Vec3{uniform(0.1f, 5), uniform(0.1f, 5), uniform(0.1f, 5)}));
        switch (i % 5) {
            case 0: o->SetLocalMatrix(ShearedMatrix(rng, 60)); break;
            case 1: {
                Matrix turn = ShearedMatrix(rng, 0);
                MatrixRotationAxis(turn, Vec3{0, 0, 1}, uniform(-3, 3));
                turn.Row(0) = turn.Row(0) * -1.0f;
                o->SetRotation(turn);
                o->SetScale(Vec3{uniform(0.3f, 3), uniform(0.3f, 3), uniform(0.3f, 3)});
                o->SetPosition(Vec3{uniform(-60, 60), uniform(-60, 60), uniform(-20, 110)});
                break;
            }
            case 2:
            case 3: {
                // Placed in the world, then moved under a parent keeping that placement; half
                // of them then leave it again, keeping it too.
                o->SetWorldMatrix(ShearedMatrix(rng, 60));
                BoxObject* parent = parents[pick(8)].get();
                ASSERT_TRUE(parent->AddChild(o.get(), true));
                if (i % 5 == 3) {
                    ASSERT_TRUE(parent->RemoveChild(o.get(), true));
                }
                break;
            }
            case 4:
                ASSERT_TRUE(parents[pick(8)]->AddChild(o.get(), false));
                o->SetLocalMatrix(ShearedMatrix(rng, 30));
                break;
        }
        objects.push_back(std::move(o));
    }
    for (auto& o : objects) {
        std::array<Vec3, 8> world;
        o->GetBoundCorners(world.data(), 0, kBoundWorld);
        const bool isCulled = o->UpdateCulling(0, kCullPassMain);
        culled += isCulled;
        if (!Separated(world, frame.corners, 0.0)) {
            ASSERT_FALSE(isCulled) << "a visible object was culled";
        }
        if (BeyondOnePlane(world, frame, 1e-3)) {
            ASSERT_TRUE(isCulled);
        }
        // The world sphere holds every corner of the world box.
        Vec3 centre;
        float radius = 0;
        o->GetWorldBound(&centre, &radius, nullptr, kBoundWorld);
        for (const Vec3& corner : world) {
            ASSERT_LE(Vec3Distance(corner, centre), radius * (1 + 1e-5f));
        }
        straddling += !o->IsFullyInside(kCullPassMain) && !isCulled;
        const Matrix& w = o->GetWorldMatrix();
        mirrored += o->IsWorldMirrored();
        EXPECT_EQ(o->IsWorldMirrored(), Vec3Dot(w.Row(0), Vec3Cross(w.Row(1), w.Row(2))) < 0);
    }
    EXPECT_GT(culled, 200);
    EXPECT_LT(culled, 2000 - 200);
    EXPECT_GT(straddling, 100);
    EXPECT_GT(mirrored, 300);
}

TEST_F(VisibleObjectTest, AStraddlingObjectMirroredByItsRotationIsNotCulled) {
    Matrix cameraWorld;
    MatrixIdentity(cameraWorld);
    const Frustum frame = MakeFrustum(cameraWorld, 1.0f, 1.0f, 1.0f, 100.0f);
    VisibleObject::SetFrameFrustum(kCullPassMain, frame);
    // A flat slab reaching into the frustum from beside its right face, turned so its sphere
    // straddles: the box test in local space decides, with planes that must face inward.
    BoxObject slab(Box(Vec3{0, 0, 0}, Vec3{4, 0.5f, 0.5f}));
    Matrix mirror;
    MatrixRotationAxis(mirror, Vec3{0, 0, 1}, 0.0f);
    mirror.Row(1) = mirror.Row(1) * -1.0f;
    slab.SetRotation(mirror);
    slab.SetPosition(Vec3{13.0f, 0, 20});  // the right plane is at x = 0.546 z
    ASSERT_TRUE(slab.IsWorldMirrored());
    EXPECT_FALSE(slab.UpdateCulling(0, kCullPassMain));
    EXPECT_FALSE(slab.IsFullyInside(kCullPassMain));
    slab.SetPosition(Vec3{20.0f, 0, 20});  // now wholly outside
    EXPECT_TRUE(slab.UpdateCulling(0, kCullPassMain));
}

TEST_F(VisibleObjectTest, AMirroredObjectIsCulledLikeItsUnmirroredTwin) {
    Matrix cameraWorld;
    MatrixIdentity(cameraWorld);
    const Frustum frame = MakeFrustum(cameraWorld, 0.8f, 1.0f, 1.0f, 100.0f);
    VisibleObject::SetFrameFrustum(kCullPassSecond, frame);
    std::mt19937 rng(3);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    int differentFromNeighbour = 0;
    for (int i = 0; i < 500; ++i) {
        // A bound symmetric in x looks the same mirrored.
        const Bounds b = Box(Vec3{0, uniform(-1, 1), uniform(-1, 1)},
                             Vec3{uniform(0.5f, 4), uniform(0.5f, 4), uniform(0.5f, 4)});
        BoxObject plain(b), mirrored(b);
        const Vec3 at{uniform(-80, 80), uniform(-80, 80), uniform(-20, 120)};
        Matrix turn;
        MatrixRotationAxis(turn, Vec3{0, 0, 1}, uniform(-3, 3));
        for (BoxObject* o : {&plain, &mirrored}) {
            o->SetPosition(at);
            o->SetRotation(turn);
        }
        plain.SetScale(Vec3{2, 1, 1});
        mirrored.SetScale(Vec3{-2, 1, 1});
        ASSERT_TRUE(mirrored.IsWorldMirrored());
        const bool a = plain.UpdateCulling(0, kCullPassSecond);
        const bool b2 = mirrored.UpdateCulling(0, kCullPassSecond);
        EXPECT_EQ(a, b2) << i;
        differentFromNeighbour += a;
    }
    EXPECT_GT(differentFromNeighbour, 0);
}

TEST_F(VisibleObjectTest, CullingRulesForHiddenAndNonCandidateObjects) {
    Matrix cameraWorld;
    MatrixIdentity(cameraWorld);
    VisibleObject::SetFrameFrustum(kCullPassMain, MakeFrustum(cameraWorld, 1.0f, 1.0f, 1.0f, 50.0f));
    BoxObject far(Box(Vec3{}, Vec3{1, 1, 1}));
    far.SetPosition(Vec3{0, 0, -500});
    EXPECT_TRUE(far.UpdateCulling(0, kCullPassMain));
    far.SetCullCandidate(false);
    EXPECT_FALSE(far.UpdateCulling(0, kCullPassMain));
    far.SetVisible(false, false);
    EXPECT_TRUE(far.UpdateCulling(0, kCullPassMain));

    // The per-part query of the draw code.
    BoxObject near(Box(Vec3{}, Vec3{1, 1, 1}));
    near.SetPosition(Vec3{0, 0, 10});
    EXPECT_FALSE(near.UpdateCulling(0, kCullPassMain));
    EXPECT_TRUE(near.IsFullyInside(kCullPassMain));
    EXPECT_FALSE(near.IsCulled(0, kCullPassMain));  // culling not enabled
    near.SetCullingEnabled(true);
    EXPECT_FALSE(near.IsCulled(0, kCullPassMain));
    near.SetLod(20, 0, 0);
    EXPECT_TRUE(near.IsCulled(0, kCullPassMain));

    // Straddling the side: the part query uses the local frustum copy.
    BoxObject edge(Box(Vec3{}, Vec3{1, 1, 1}));
    edge.SetCullingEnabled(true);
    edge.SetPosition(Vec3{5.5f, 0, 10});
    EXPECT_FALSE(edge.UpdateCulling(0, kCullPassMain));
    EXPECT_FALSE(edge.IsFullyInside(kCullPassMain));
    EXPECT_FALSE(edge.IsCulled(0, kCullPassMain));
}

}  // namespace
}  // namespace quor::world
