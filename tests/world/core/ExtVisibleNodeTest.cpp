#include "world/core/ExtVisibleNode.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/world/core/ObjectModelSupport.h"
#include "world/core/math/Frustum.h"
#include "world/scene/ExtVisibleNodeList.h"
#include "world/scene/ObjectIdMap.h"

namespace quor::world {
namespace {

class ExtVisibleNodeTest : public ::testing::Test {
protected:
    void TearDown() override {
        ObjectIdMap::Instance().Reset();
        VisibleObject::SetFrameFrustum(kCullPassMain, Frustum{});
    }
};

TEST_F(ExtVisibleNodeTest, OneTransformNoticePerInvalidation) {
    test::RecordingExtHost host;
    SpaceObject parent;
    ExtVisibleNode node;
    node.SetOutsideObject(&host);
    ASSERT_TRUE(parent.AddChild(&node, false));
    EXPECT_EQ(node.GetObjectType(), 16);

    host.calls.clear();
    node.SetPosition(Vec3{1, 0, 0});
    EXPECT_EQ(host.Count("OnTransformChanged"), 1);
    parent.SetPosition(Vec3{0, 2, 0});
    EXPECT_EQ(host.Count("OnTransformChanged"), 2);
    parent.RotateLocalZ(0.5f);
    EXPECT_EQ(host.Count("OnTransformChanged"), 3);
    node.InvalidateTransform();
    EXPECT_EQ(host.Count("OnTransformChanged"), 4);
    // The node's own caches are stale by the time the host hears of it.
    EXPECT_NEAR(node.GetWorldMatrix().Row(3).y, 2.0f + std::sin(0.5f), 1e-5f);
}

TEST_F(ExtVisibleNodeTest, QuestionsGoToTheHostObject) {
    test::RecordingExtHost host;
    host.bound.centre = Vec3{1, 2, 3};
    ExtVisibleNode node;
    node.SetOutsideObject(&host);

    node.DrawParts(2);
    EXPECT_EQ(node.GetDrawPass(), 3);
    EXPECT_EQ(node.GetPartDrawPass(1), 3);
    EXPECT_EQ(node.GetLocalBound(), &host.bound);
    EXPECT_EQ(node.GetExtBound(), &host.bound);
    EXPECT_EQ(node.GetPartBound(4), &host.bound);
    EXPECT_EQ(node.GetPartBoundInParent(5), &host.bound);
    EXPECT_EQ(node.GetPartBoundInWorld(6), &host.bound);
    EXPECT_TRUE(node.PreDraw());
    node.DrawPart(7);
    EXPECT_TRUE(node.IsCulled(8, 1));
    EXPECT_TRUE(node.GetPartCulled(9, 10));
    EXPECT_EQ(host.calls, (std::vector<std::string>{
                              "DrawParts(2)", "GetDrawPass", "GetPartDrawPass(1)", "GetBound",
                              "GetBound", "GetPartBound(4)", "GetPartBoundInParent(5)",
                              "GetPartBoundInWorld(6)", "PreDraw", "DrawPart(7)", "IsCulled(8,1)",
                              "GetPartCulled(9,10)"}));
    EXPECT_EQ(node.GetBoundCenter(kBoundLocal), (Vec3{1, 2, 3}));
}

TEST_F(ExtVisibleNodeTest, WithoutAHostObjectTheNodeDrawsNothingAndHasAZeroBound) {
    ExtVisibleNode node;
    EXPECT_EQ(node.GetLocalBound(), &VisibleObject::ZeroBound());
    EXPECT_EQ(node.GetExtBound(), &VisibleObject::ZeroBound());
    EXPECT_EQ(node.GetDrawPass(), 0);
    EXPECT_FALSE(node.PreDraw());
    EXPECT_FALSE(node.GetPartCulled(0, 0));
    node.DrawParts(0);  // reaches the empty DrawPart only
    node.NotifyHostDetach();

    // Culled by the ordinary rules on the zero bound: a point at the node's place.
    Matrix camera;
    MatrixIdentity(camera);
    Matrix projection;
    MatrixSet16(projection, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0);
    Frustum frame;
    ASSERT_TRUE(frame.SetFromCamera(camera, projection));
    VisibleObject::SetFrameFrustum(kCullPassMain, frame);
    node.SetCullCandidate(true);
    node.SetPosition(Vec3{0, 0, 10});
    EXPECT_FALSE(node.UpdateCulling(0, kCullPassMain));
    node.SetPosition(Vec3{0, 0, -10});
    EXPECT_TRUE(node.UpdateCulling(0, kCullPassMain));
}

TEST_F(ExtVisibleNodeTest, RemovalTellsTheHostBeforeTheNodeGoes) {
    test::RecordingExtHost first;
    test::RecordingExtHost second;
    ExtVisibleNodeList list;
    ExtVisibleNode* a = list.Create(&first);
    ExtVisibleNode* b = list.Create(&second);
    EXPECT_EQ(a->GetOutsideObject(), &first);
    EXPECT_EQ(list.GetAt(1), b);
    EXPECT_EQ(list.GetAt(2), nullptr);
    first.calls.clear();
    second.calls.clear();

    list.Remove(a);
    EXPECT_EQ(first.calls, (std::vector<std::string>{"OnDetach"}));  // nothing after detach
    EXPECT_EQ(list.GetCount(), 1);
    list.Remove(a);  // gone already
    list.Remove(nullptr);
    EXPECT_EQ(list.GetCount(), 1);
    list.Clear();
    EXPECT_TRUE(second.calls.empty());
    EXPECT_EQ(list.GetCount(), 0);
}

}  // namespace
}  // namespace quor::world
