#include "world/core/SpaceObject.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <memory>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/core/math/Geometry.h"
#include "world/scene/ObjectIdMap.h"
#include "tests/support/world/scene/TestScene.h"
#include "world/scene/SceneBase.h"

namespace quor::world {
namespace {

using test::MatrixError;
using test::ScratchWorldMatrix;

constexpr float kPi = 3.14159265f;

double MaxAbs(const double m[16]) {
    double v = 0.0;
    for (int i = 0; i < 16; ++i) {
        v = std::max(v, std::fabs(m[i]));
    }
    return v;
}

Matrix Rotation(const Vec3& axis, float angle) {
    Matrix m;
    Vec3 a = axis;
    Vec3SetLength(a, 1.0f);
    MatrixRotationAxis(m, a, angle);
    return m;
}

void ExpectNear(const Vec3& a, const Vec3& b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

class SpaceObjectTest : public ::testing::Test {
protected:
    void TearDown() override { ObjectIdMap::Instance().Reset(); }
};

TEST_F(SpaceObjectTest, NewObjectsStartAtTheOriginWithConsecutiveIds) {
    SpaceObject a;
    SpaceObject b;
    EXPECT_EQ(b.GetId(), a.GetId() + 1);
    EXPECT_EQ(*a.GetPosition(), (Vec3{0, 0, 0}));
    EXPECT_EQ(*a.GetScale(), (Vec3{1, 1, 1}));
    EXPECT_EQ(a.GetWorldMatrix(), MatrixIdentity());
    EXPECT_FALSE(a.HasScale());
    EXPECT_FALSE(a.IsTransformChanged());
    EXPECT_EQ(a.GetObjectType(), 0);
    EXPECT_FALSE(a.IsVisibleObject());
    EXPECT_FALSE(a.IsVisible());
    EXPECT_TRUE(a.HasHideFlags(1));
    EXPECT_EQ(a.GetParent(), nullptr);
    EXPECT_EQ(a.GetChild(0), nullptr);
}

TEST_F(SpaceObjectTest, EightThreadsConstructingObjectsGetUniqueIds) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 2000;
    std::vector<std::vector<std::uint32_t>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&ids, t] {
            for (int i = 0; i < kPerThread; ++i) {
                SpaceObject object;
                ids[t].push_back(object.GetId());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::set<std::uint32_t> all;
    for (const auto& list : ids) {
        all.insert(list.begin(), list.end());
    }
    EXPECT_EQ(all.size(), std::size_t{kThreads * kPerThread});
}

TEST_F(SpaceObjectTest, HasScaleFollowsTheSetterNotTheValue) {
    SpaceObject o;
    o.SetScale(Vec3{1, 1, 1});
    EXPECT_TRUE(o.HasScale());
    Matrix unscaled = Rotation(Vec3{0, 1, 0}, 0.7f);
    unscaled.Row(3) = Vec3{1, 2, 3};
    o.SetLocalMatrix(unscaled);
    EXPECT_FALSE(o.HasScale());
    Matrix scaled;
    MatrixScaling(scaled, Vec3{1.0f, 1.0f, 1.001f});
    o.SetLocalMatrix(scaled);
    EXPECT_TRUE(o.HasScale());
}

TEST_F(SpaceObjectTest, ConversionsBetweenSpacesRoundTrip) {
    SpaceObject parent;
    SpaceObject child;
    parent.SetPosition(Vec3{5, -2, 1});
    parent.SetRotation(Rotation(Vec3{1, 1, 0}, 0.9f));
    parent.SetScale(Vec3{2, 2, 2});
    ASSERT_TRUE(parent.AddChild(&child, false));
    child.SetPosition(Vec3{1, 2, 3});
    child.SetRotation(Rotation(Vec3{0, 0, 1}, -0.4f));
    child.SetScale(Vec3{-1, 3, 0.5f});

    const Vec3 p{0.3f, -4.0f, 2.5f};
    Vec3 world;
    Vec3 back;
    child.LocalToWorld(p, world);
    child.WorldToLocal(world, back);
    ExpectNear(back, p, 1e-3f);

    Vec3 inParent;
    child.LocalToParent(p, inParent);
    child.ParentToLocal(inParent, back);
    ExpectNear(back, p, 1e-4f);
    Vec3 viaParent;
    parent.LocalToWorld(inParent, viaParent);
    ExpectNear(viaParent, world, 1e-3f);

    Vec3 worldPosition;
    child.GetWorldPosition(worldPosition);
    ExpectNear(worldPosition, child.GetWorldMatrix().Row(3));
    EXPECT_TRUE(child.IsMirrored());
    EXPECT_TRUE(child.IsWorldMirrored());
    EXPECT_TRUE(child.HasWorldScale());
    Vec3 worldScale;
    child.GetWorldScale(worldScale);
    ExpectNear(worldScale, Vec3{-2, 6, 1});
}

TEST_F(SpaceObjectTest, WorldSettersPlaceTheObjectInWorldSpace) {
    SpaceObject parent;
    SpaceObject child;
    parent.SetPosition(Vec3{10, 0, 0});
    parent.SetRotation(Rotation(Vec3{0, 1, 0}, kPi / 2));
    parent.SetScale(Vec3{2, 2, 2});
    ASSERT_TRUE(parent.AddChild(&child, false));

    child.SetWorldPosition(Vec3{1, 2, 3});
    Vec3 at;
    child.GetWorldPosition(at);
    ExpectNear(at, Vec3{1, 2, 3}, 1e-4f);

    const Matrix wanted = Rotation(Vec3{1, 0, 0}, 0.5f);
    child.SetWorldRotation(wanted);
    Matrix got;
    child.GetWorldRotation(got);
    EXPECT_LT(MatrixError(got, wanted), 1e-5);

    child.SetWorldScale(Vec3{4, 6, 8});
    Vec3 scale;
    child.GetWorldScale(scale);
    ExpectNear(scale, Vec3{4, 6, 8});

    Matrix target = Rotation(Vec3{0, 0, 1}, 1.1f);
    target.Row(3) = Vec3{-3, 7, 2};
    child.SetWorldMatrix(target);
    EXPECT_LT(MatrixError(child.GetWorldMatrix(), target), 1e-5);
    child.InvalidateTransform();
    EXPECT_LT(MatrixError(child.GetWorldMatrix(), target), 1e-5);
}

TEST_F(SpaceObjectTest, MoveLocalRunsAlongTheObjectsAxesInItsParentsSpace) {
    SpaceObject parent;
    SpaceObject child;
    parent.SetPosition(Vec3{100, 0, 0});
    ASSERT_TRUE(parent.AddChild(&child, false));
    child.SetRotation(Rotation(Vec3{0, 1, 0}, kPi / 2));
    child.MoveLocal(Vec3{0, 0, 1});
    Vec3 expected;
    TransformNormal(Vec3{0, 0, 1}, *child.GetRotation(), expected);
    ExpectNear(*child.GetPosition(), expected);
}

TEST_F(SpaceObjectTest, RotationsAboutAxesAndLines) {
    SpaceObject o;
    o.SetPosition(Vec3{2, 0, 0});
    Ray axis;
    axis.origin = Vec3{1, 0, 0};
    axis.direction = Vec3{0, 5, 0};
    o.RotateAroundAxis(axis, kPi / 2);
    // (2,0,0) about the vertical line through (1,0,0) by a quarter turn.
    Vec3 expected;
    RotatePointAroundAxis(expected, Vec3{2, 0, 0}, axis, kPi / 2);
    ExpectNear(*o.GetPosition(), expected);
    EXPECT_LT(MatrixError(*o.GetRotation(), Rotation(Vec3{0, 1, 0}, kPi / 2)), 1e-5);

    SpaceObject parent;
    SpaceObject child;
    parent.SetPosition(Vec3{0, 10, 0});
    parent.SetRotation(Rotation(Vec3{0, 0, 1}, 0.3f));
    ASSERT_TRUE(parent.AddChild(&child, false));
    child.SetPosition(Vec3{3, 0, 0});
    Vec3 before;
    child.GetWorldPosition(before);
    Ray worldAxis;
    worldAxis.origin = Vec3{0, 0, 0};
    worldAxis.direction = Vec3{0, 1, 0};
    child.RotateAroundWorldAxis(worldAxis, 0.8f);
    Vec3 after;
    child.GetWorldPosition(after);
    Vec3 wanted;
    RotatePointAroundAxis(wanted, before, worldAxis, 0.8f);
    ExpectNear(after, wanted, 1e-4f);

    SpaceObject turn;
    turn.RotateLocalY(0.25f);
    turn.RotateLocalY(0.5f);
    EXPECT_LT(MatrixError(*turn.GetRotation(), Rotation(Vec3{0, 1, 0}, 0.75f)), 1e-5);
}

TEST_F(SpaceObjectTest, AddChildKeepingTheWorldTransformKeepsIt) {
    SpaceObject parent;
    SpaceObject child;
    parent.SetPosition(Vec3{4, 5, 6});
    parent.SetRotation(Rotation(Vec3{1, 2, 3}, 1.2f));
    parent.SetScale(Vec3{-2, 2, 2});
    child.SetPosition(Vec3{-1, 0, 7});
    child.SetRotation(Rotation(Vec3{0, 1, 0}, 0.4f));
    child.SetScale(Vec3{3, 3, 3});
    const Matrix before = child.GetWorldMatrix();
    ASSERT_TRUE(parent.AddChild(&child, true));
    EXPECT_EQ(child.Parent(), &parent);
    EXPECT_LT(MatrixError(child.GetWorldMatrix(), before), 1e-5);

    SpaceObject other;
    other.SetPosition(Vec3{9, 9, 9});
    ASSERT_TRUE(other.AddChild(&child, false));
    EXPECT_EQ(parent.GetChildCount(), 0);
    EXPECT_NEAR(child.GetWorldMatrix().Row(3).x, 9 + child.GetPosition()->x, 1e-4f);
}

// A refused AddChild or AddAttachment leaves both trees exactly as they were.
struct TreeShot {
    std::vector<SpaceObject*> parents;
    std::vector<std::vector<SpaceObject*>> children;
    std::vector<std::vector<SpaceObject*>> attachments;
    std::vector<bool> isAttachment;
    bool operator==(const TreeShot&) const = default;
};

TreeShot Shoot(const std::vector<SpaceObject*>& objects) {
    TreeShot shot;
    for (SpaceObject* o : objects) {
        shot.parents.push_back(o->Parent());
        shot.children.push_back(o->Children());
        shot.attachments.push_back(o->Attachments());
        shot.isAttachment.push_back(o->IsAttachment());
    }
    return shot;
}

TEST_F(SpaceObjectTest, RefusedAdoptionsLeaveBothTreesUnchanged) {
    quor::test::TestScene scene(1, nullptr);
    quor::test::TestScene otherScene(1, nullptr);
    SpaceObject a, b, c, natural, foreign, orphan;
    for (SpaceObject* o : {&a, &b, &c, &natural}) {
        scene.AttachObject(o);
    }
    otherScene.AttachObject(&foreign);
    ASSERT_TRUE(a.AddChild(&b, false));
    ASSERT_TRUE(b.AddChild(&c, false));
    ASSERT_TRUE(b.AddAttachment(&natural, false));
    orphan.SetScene(&scene);  // in the scene, but under no root

    struct Case {
        const char* name;
        SpaceObject* parent;
        SpaceObject* child;
        bool childRefused;       // AddChild refuses
        bool attachmentRefused;  // AddAttachment refuses
    };
    const Case cases[] = {
        {"null", &a, nullptr, true, true},
        {"attachment as child", &a, &natural, true, false},
        {"object under no root", &a, &orphan, true, true},
        {"other scene", &a, &foreign, true, true},
        {"itself", &c, &c, true, true},
        {"parent", &c, &b, true, true},
        {"grandparent", &c, &a, true, true},
        {"root of its own tree", &a, scene.GetRootObject(), true, true},
    };
    std::vector<SpaceObject*> all{scene.GetRootObject(), otherScene.GetRootObject(), &a, &b, &c,
                                  &natural, &foreign, &orphan};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const TreeShot before = Shoot(all);
        if (k.childRefused) {
            EXPECT_FALSE(k.parent->AddChild(k.child, true));
            EXPECT_TRUE(Shoot(all) == before);
        }
        if (k.attachmentRefused) {
            EXPECT_FALSE(k.parent->AddAttachment(k.child, true));
            EXPECT_TRUE(Shoot(all) == before);
        }
    }
    // The one the attachment check lets through moves the natural child to another parent.
    EXPECT_TRUE(a.AddAttachment(&natural, false));
    EXPECT_TRUE(b.Attachments().empty());
    EXPECT_EQ(natural.Parent(), &a);

}

TEST_F(SpaceObjectTest, RemovingAChildHandsItToTheRoot) {
    quor::test::TestScene scene(1, nullptr);
    SpaceObject a, b;
    scene.AttachObject(&a);
    scene.AttachObject(&b);
    a.SetPosition(Vec3{1, 2, 3});
    ASSERT_TRUE(a.AddChild(&b, true));
    EXPECT_EQ(b.GetParent(), &a);
    b.SetParent(nullptr);
    EXPECT_EQ(b.Parent(), scene.GetRootObject());
    EXPECT_EQ(b.GetParent(), nullptr);
    EXPECT_FALSE(a.RemoveChild(&b, true));
    ExpectNear(b.GetWorldMatrix().Row(3), Vec3{0, 0, 0});

    // SetParent keeps the world transform both ways.
    b.SetPosition(Vec3{5, 0, 0});
    b.SetParent(&a);
    ExpectNear(b.GetWorldMatrix().Row(3), Vec3{5, 0, 0});
    ExpectNear(*b.GetPosition(), Vec3{4, -2, -3});
}

TEST_F(SpaceObjectTest, DetachChildrenWithoutParentHandsChildrenToTheRoot) {
    quor::test::TestScene scene(1, nullptr);
    SpaceObject a;
    auto* b = new SpaceObject();
    SpaceObject c, d;
    for (SpaceObject* o : {&a, b, &c, &d}) {
        scene.AttachObject(o);
    }
    b->SetPosition(Vec3{0, 3, 0});
    c.SetPosition(Vec3{1, 0, 0});
    ASSERT_TRUE(b->AddChild(&c, false));
    ASSERT_TRUE(c.AddChild(&d, false));
    ASSERT_TRUE(a.AddChild(b, false));

    // With a parent: the children go to the grandparent, keeping their world transforms.
    b->DetachChildren();
    EXPECT_EQ(c.Parent(), &a);
    ExpectNear(c.GetWorldMatrix().Row(3), Vec3{1, 3, 0});
    EXPECT_EQ(b->Parent(), scene.GetRootObject());

    // Destroying an object (which leaves its parent first) hands its children to the root.
    ASSERT_TRUE(b->AddChild(&c, true));
    delete b;
    EXPECT_EQ(c.Parent(), scene.GetRootObject());
    EXPECT_EQ(d.Parent(), &c);
    ExpectNear(c.GetWorldMatrix().Row(3), Vec3{1, 3, 0});
    const auto& rootChildren = scene.GetRootObject()->Children();
    EXPECT_NE(std::find(rootChildren.begin(), rootChildren.end(), &c), rootChildren.end());
    EXPECT_EQ(std::find(rootChildren.begin(), rootChildren.end(), b), rootChildren.end());
}

TEST_F(SpaceObjectTest, FlattenChildrenLeavesEveryDescendantParentlessWhereItWas) {
    SpaceObject a, b, c;
    a.SetPosition(Vec3{1, 0, 0});
    b.SetPosition(Vec3{0, 1, 0});
    c.SetPosition(Vec3{0, 0, 1});
    ASSERT_TRUE(a.AddChild(&b, false));
    ASSERT_TRUE(b.AddChild(&c, false));
    a.FlattenChildren();
    EXPECT_EQ(a.GetChildCount(), 0);
    EXPECT_EQ(b.Parent(), nullptr);
    EXPECT_EQ(c.Parent(), nullptr);
    ExpectNear(*b.GetPosition(), Vec3{1, 1, 0});
    ExpectNear(*c.GetPosition(), Vec3{1, 1, 1});
}

TEST_F(SpaceObjectTest, InvalidationReachesAttachmentsAndChildren) {
    SpaceObject a, child, natural, grandchild;
    ASSERT_TRUE(a.AddChild(&child, false));
    ASSERT_TRUE(a.AddAttachment(&natural, false));
    ASSERT_TRUE(natural.AddChild(&grandchild, false));
    for (SpaceObject* o : {&a, &child, &natural, &grandchild}) {
        o->GetWorldMatrix();
        o->ClearTransformChanged();
    }
    a.SetPosition(Vec3{0, 0, 9});
    for (SpaceObject* o : {&a, &child, &natural, &grandchild}) {
        EXPECT_TRUE(o->IsTransformChanged());
        EXPECT_NEAR(o->GetWorldMatrix().Row(3).z, 9.0f, 1e-6f);
    }
    EXPECT_EQ(a.GetChildCount(), 1);  // attachments are not children
}

TEST_F(SpaceObjectTest, TrackBindingWithoutATrack) {
    SpaceObject o;
    EXPECT_FALSE(o.BindTrack(nullptr, 0.0f, false, 0, 0.0f));  // mode 0
    EXPECT_TRUE(o.BindTrack(nullptr, 500.0f, false, 3, 0.0f));
    EXPECT_EQ(o.GetFadingTrack(), nullptr);
    EXPECT_EQ(o.UnbindTrack(0.0f), nullptr);
    EXPECT_EQ(o.GetTrack(), nullptr);
    o.SetPosition(Vec3{1, 1, 1});
    o.Update();
    ExpectNear(*o.GetPosition(), Vec3{1, 1, 1});
}

// Thousands of random hierarchy operations under scaled, rotated and mirrored parents; after
// each, every cached world matrix equals one recomputed from scratch, every parent link is
// mirrored by exactly one list entry, and no cycle exists. Objects are deleted and made anew
// on the way, so a dangling link shows under the address sanitizer.
// Both forms of the matrix routines: the plain one and the SSE one the switch selects.
class SpaceObjectPathTest : public SpaceObjectTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { SetUseAlignedAlloc(GetParam()); }
    void TearDown() override {
        SetUseAlignedAlloc(false);
        SpaceObjectTest::TearDown();
    }
};

INSTANTIATE_TEST_SUITE_P(Paths, SpaceObjectPathTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "sse" : "plain"; });

// A matrix with independent rows: scaled, rotated, sheared and now and then mirrored.
Matrix ShearedMatrix(std::mt19937& rng) {
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    Matrix m = Rotation(Vec3{uniform(-1, 1), uniform(0.2f, 1), uniform(-1, 1)}, uniform(-3, 3));
    for (int r = 0; r < 3; ++r) {
        const float s = uniform(0.6f, 1.6f);
        for (int c = 0; c < 3; ++c) {
            m(r, c) = m(r, c) * s + uniform(-0.3f, 0.3f);
        }
    }
    if (uniform(0, 1) < 0.3f) {
        m.Row(1) = m.Row(1) * -1.0f;
    }
    m.Row(3) = Vec3{uniform(-5, 5), uniform(-5, 5), uniform(-5, 5)};
    return m;
}

// How much float rounding a keep-world move may amplify: the condition number of the new
// parent's world matrix (the move multiplies by its inverse).
double Condition(SpaceObject* o) {
    SpaceObject* p = o->Parent();
    if (!p) {
        return 1.0;
    }
    Matrix inverse = p->GetWorldMatrix();
    if (!MatrixInverse(inverse)) {
        return 1e30;
    }
    return double(MatrixMaxStretch(p->GetWorldMatrix())) * MatrixMaxStretch(inverse);
}

TEST_P(SpaceObjectPathTest, RandomHierarchyOperationsKeepTheTreeConsistent) {
    quor::test::TestScene scene(1, nullptr);
    std::mt19937 rng(7);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    // Non-uniform magnitudes with sign flips. Keep-world moves under such parents leave sheared
    // local rotations behind, which the decomposition carries without loss.
    auto randomScale = [&]() {
        Vec3 v{uniform(0.5f, 2.0f), uniform(0.5f, 2.0f), uniform(0.5f, 2.0f)};
        if (pick(3) == 0) {
            v[pick(3)] *= -1.0f;
        }
        return v;
    };

    constexpr int kObjects = 24;
    std::vector<std::unique_ptr<SpaceObject>> objects;
    for (int i = 0; i < kObjects; ++i) {
        objects.push_back(std::make_unique<SpaceObject>());
        scene.AttachObject(objects.back().get());
    }
    auto any = [&]() { return objects[pick(kObjects)].get(); };

    auto checkTree = [&](int step) {
        SCOPED_TRACE(step);
        std::vector<SpaceObject*> all{scene.GetRootObject()};
        for (auto& o : objects) {
            all.push_back(o.get());
        }
        for (SpaceObject* o : all) {
            int depth = 0;
            for (SpaceObject* p = o->Parent(); p; p = p->Parent()) {
                ASSERT_LT(++depth, kObjects + 2) << "cycle";
                ASSERT_NE(std::find(all.begin(), all.end(), p), all.end()) << "dangling parent";
            }
            if (SpaceObject* p = o->Parent()) {
                const auto& list = o->IsAttachment() ? p->Attachments() : p->Children();
                ASSERT_EQ(std::count(list.begin(), list.end(), o), 1);
            }
            for (SpaceObject* c : o->Children()) {
                ASSERT_EQ(c->Parent(), o);
                ASSERT_FALSE(c->IsAttachment());
            }
            for (SpaceObject* c : o->Attachments()) {
                ASSERT_EQ(c->Parent(), o);
                ASSERT_TRUE(c->IsAttachment());
            }
            double scratch[16];
            const double magnitude = ScratchWorldMatrix(*o, scratch);
            ASSERT_LT(MatrixError(o->GetWorldMatrix(), scratch) * std::max(1.0, MaxAbs(scratch)),
                      2e-5 * magnitude);
            // Mirroring is the sign of the determinant of the world matrix recomputed in double.
            const double det = scratch[0] * (scratch[5] * scratch[10] - scratch[6] * scratch[9]) -
                               scratch[1] * (scratch[4] * scratch[10] - scratch[6] * scratch[8]) +
                               scratch[2] * (scratch[4] * scratch[9] - scratch[5] * scratch[8]);
            ASSERT_EQ(o->IsWorldMirrored(), det < 0.0);
        }
    };

    int keptMoves = 0, sheared = 0;
    for (int step = 0; step < 3000; ++step) {
        SpaceObject* a = any();
        SpaceObject* b = any();
        bool keep = pick(2) == 0;
        Matrix before = b->GetWorldMatrix();
        double unused[16];
        const double magnitudeBefore = ScratchWorldMatrix(*b, unused);
        // The children of whatever is released or flattened keep their world matrices too.
        SpaceObject* watched = nullptr;
        Matrix watchedBefore;
        double watchedMagnitude = 0.0;
        bool moved = false;
        switch (pick(16)) {
            case 0:
            case 1: moved = a->AddChild(b, keep); break;
            case 2: moved = a->AddAttachment(b, keep); break;
            case 3: moved = a->RemoveChild(b, keep); break;
            case 4: moved = a->RemoveAttachment(b, keep); break;
            case 5: b->SetParent(pick(2) ? a : nullptr); moved = keep = true; break;
            case 6: a->SetPosition(Vec3{uniform(-20, 20), uniform(-20, 20), uniform(-20, 20)}); break;
            case 7: a->Rotate(Vec3{0, 0, 1}, uniform(-3, 3)); a->RotateLocalX(uniform(-3, 3)); break;
            case 8: a->SetScale(randomScale()); break;
            case 9:
            case 13: {
                if (!b->Children().empty()) {
                    watched = b->Children()[pick(static_cast<int>(b->Children().size()))];
                    watchedBefore = watched->GetWorldMatrix();
                    watchedMagnitude = ScratchWorldMatrix(*watched, unused);
                }
                if (pick(2) == 0) {
                    b->DetachChildren();
                } else {
                    b->FlattenChildren();
                }
                break;
            }
            case 10: {
                // Destroy and make anew.
                const int i = pick(kObjects);
                objects[i] = std::make_unique<SpaceObject>();
                scene.AttachObject(objects[i].get());
                break;
            }
            case 11: {
                // A proper or a mirroring rotation, taken as given.
                Matrix m = Rotation(Vec3{uniform(-1, 1), 1, uniform(-1, 1)}, uniform(-3, 3));
                if (pick(3) == 0) {
                    m.Row(2) = m.Row(2) * -1.0f;
                }
                a->SetRotation(m);
                break;
            }
            case 12: a->SetWorldMatrix(ShearedMatrix(rng)); ++sheared; break;
            case 14: a->SetLocalMatrix(ShearedMatrix(rng)); ++sheared; break;
            case 15: {
                Matrix m = Rotation(Vec3{uniform(-1, 1), 1, uniform(-1, 1)}, uniform(-3, 3));
                m.Row(3) = Vec3{uniform(-5, 5), uniform(-5, 5), uniform(-5, 5)};
                a->SetWorldMatrix(m);
                break;
            }
        }
        auto expectKept = [&](SpaceObject* o, const Matrix& was, double magnitudeWas) {
            // Absolute error against the size of the terms on both the old and the new chain,
            // times what the new parent's inverse may amplify.
            const double magnitude = std::max(magnitudeWas, ScratchWorldMatrix(*o, unused));
            double error = 0.0;
            for (int i = 0; i < 16; ++i) {
                error = std::max(error, double(std::fabs(o->GetWorldMatrix().m[i] - was.m[i])));
            }
            ASSERT_LT(error, 2e-5 * magnitude * Condition(o)) << "step " << step;
            ++keptMoves;
        };
        if (moved && keep) {
            expectKept(b, before, magnitudeBefore);
        }
        if (watched) {
            expectKept(watched, watchedBefore, watchedMagnitude);
        }
        checkTree(step);
        if (HasFatalFailure()) {
            return;
        }
    }
    EXPECT_GT(keptMoves, 300);
    EXPECT_GT(sheared, 200);
}

TEST_F(SpaceObjectTest, MirroringFollowsTheDeterminantNotTheScaleSigns) {
    SpaceObject parent, child;
    ASSERT_TRUE(parent.AddChild(&child, false));
    // A rotation of negative determinant, accepted as given.
    Matrix mirror = Rotation(Vec3{1, 2, 3}, 0.7f);
    mirror.Row(0) = mirror.Row(0) * -1.0f;
    child.SetRotation(mirror);
    EXPECT_TRUE(child.IsMirrored());
    EXPECT_TRUE(child.IsWorldMirrored());
    EXPECT_FALSE(parent.IsWorldMirrored());
    // A mirroring parent cancels it; a negative scale on the child restores it.
    parent.SetScale(Vec3{1, -2, 1});
    EXPECT_TRUE(parent.IsWorldMirrored());
    EXPECT_FALSE(child.IsWorldMirrored());
    child.SetScale(Vec3{1, 1, -1});
    EXPECT_FALSE(child.IsMirrored());
    EXPECT_TRUE(child.IsWorldMirrored());
}

TEST_P(SpaceObjectPathTest, ASingularObjectKeepsADefinedInverseAndContainsNothing) {
    SpaceObject o;
    o.SetPosition(Vec3{1, 2, 3});
    const Matrix good = o.GetInverseWorldMatrix();
    o.SetScale(Vec3{0, 1, 1});
    // The last good inverse stays, never the world matrix itself.
    EXPECT_EQ(o.GetInverseWorldMatrix(), good);
    Vec3 local{0, 0, 0};
    o.WorldToLocal(Vec3{1, 2, 3}, local);
    EXPECT_TRUE(std::isinf(local.x) && std::isinf(local.y) && std::isinf(local.z));
    Matrix inverseLocal;
    o.GetInverseLocalMatrix(inverseLocal);
    EXPECT_EQ(inverseLocal, MatrixIdentity());

    SpaceObject child;
    ASSERT_TRUE(o.AddChild(&child, false));
    // Children of a singular object still place themselves through its matrix.
    child.SetPosition(Vec3{0, 1, 0});
    EXPECT_EQ(child.GetWorldMatrix().Row(3), (Vec3{1, 3, 3}));

    // Once regular again the inverse is right: a failed inverse was never marked valid.
    o.SetScale(Vec3{2, 1, 1});
    Matrix product;
    MatrixMultiplyPlain(o.GetWorldMatrix(), o.GetInverseWorldMatrix(), product);
    EXPECT_LT(MatrixError(product, MatrixIdentity()), 1e-6);
    o.WorldToLocal(Vec3{3, 2, 3}, local);
    ExpectNear(local, Vec3{1, 0, 0});

    // Singular from the start: identity.
    SpaceObject flat;
    flat.SetScale(Vec3{1, 0, 1});
    EXPECT_EQ(flat.GetInverseWorldMatrix(), MatrixIdentity());
}

}  // namespace
}  // namespace quor::world
