#include "scene/view/KernelLinks.h"

#include "platform/kernel/KytModel.h"

#include <gtest/gtest.h>

namespace {

struct ReferModeGuard {
    ~ReferModeGuard() { KytLink::eReferMode = KYT_REFER_ASSEMBLY; }
};

TEST(KernelLinks, ShapeBoxIsTheLinksOwnFrameBoxAndFalseWithoutAShape) {
    KytModel model;
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* box = KytBuild::AddBox(model, "box", root, {10, 20, 30}, 2, 4, 6);
    model.UpdatePlacements();

    WqVector3D lo{7, 7, 7}, hi{7, 7, 7};
    ASSERT_TRUE(kyt_links::ShapeBox(box, lo, hi));
    EXPECT_EQ(lo, WqVector3D(-1, -2, -3));
    EXPECT_EQ(hi, WqVector3D(1, 2, 3));
    EXPECT_EQ(kyt_links::WorldPlacement(box).GetAbsPos(hi), WqVector3D(11, 22, 33));
    EXPECT_STREQ(kyt_links::LinkName(box), "box");

    // Links without a shape, and no link at all, leave the corners alone.
    lo = hi = WqVector3D(7, 7, 7);
    EXPECT_FALSE(kyt_links::ShapeBox(root, lo, hi));
    EXPECT_FALSE(kyt_links::ShapeBox(nullptr, lo, hi));
    EXPECT_EQ(lo, WqVector3D(7, 7, 7));
    EXPECT_EQ(hi, WqVector3D(7, 7, 7));
}

TEST(KernelLinks, WalksFollowTheCurrentRelation) {
    ReferModeGuard guard;
    KytModel model;
    KytLink* top = model.AddLink("top", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* a = model.AddLink("a", top);
    KytLink* b = model.AddLink("b", top);
    // In the mechanism relation b carries a.
    b->AddChild(a, KYT_REFER_MECHANISM);

    EXPECT_EQ(kyt_links::FirstChild(top), a);
    EXPECT_EQ(kyt_links::NextSibling(a), b);
    EXPECT_EQ(kyt_links::Parent(a), top);
    KytLink::eReferMode = KYT_REFER_MECHANISM;
    EXPECT_EQ(kyt_links::FirstChild(top), nullptr);
    EXPECT_EQ(kyt_links::FirstChild(b), a);
    EXPECT_EQ(kyt_links::Parent(a), b);
    EXPECT_EQ(kyt_links::NextSibling(a), nullptr);
    EXPECT_EQ(kyt_links::FirstChild(nullptr), nullptr);
    EXPECT_EQ(kyt_links::NextSibling(nullptr), nullptr);
}

}  // namespace
