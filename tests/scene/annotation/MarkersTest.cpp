// Markers: the axes overlay's sizes, the centre-of-mass sphere and its plumb line toward the
// ground for every up axis, and the copies.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "scene/annotation/AuxAxis.h"
#include "scene/annotation/AuxCOM.h"
#include "scene/annotation/AuxCOM2.h"
#include "scene/annotation/AuxSysCoord.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::CaptureState;
using overlaytest::Count;
using overlaytest::Feedback;
using overlaytest::Primitive;
using quor::test::GlFixture;

class Markers : public GlFixture {
protected:
    void TearDown() override
    {
        KytEnv::nUpAxis = 1;
        KytEnv::dUpOffset = 0.0;
        AuxSysCoord::bAxisFlag = true;
        GlFixture::TearDown();
    }
};

struct Range {
    double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9};
};

Range Extent(const std::vector<Primitive>& prims)
{
    Range r;
    for (const Primitive& p : prims)
        for (const auto& v : p.v)
            for (int k = 0; k < 3; ++k) {
                r.lo[k] = std::min(r.lo[k], v[k]);
                r.hi[k] = std::max(r.hi[k], v[k]);
            }
    return r;
}

TEST_F(Markers, SysCoordSizesFollowTheViewRadius)
{
    KytViewPort vp;
    vp.SetViewRadius(1000.0);
    AuxSysCoord coord(1);
    ASSERT_NE(coord.Axis, nullptr);
    EXPECT_TRUE(coord.Axis->IsDraw());
    EXPECT_FLOAT_EQ(coord.Axis->LineWidth, 2.0f);
    EXPECT_EQ(coord.Axis->GetID(), 5u);
    coord.FitView(&vp);
    EXPECT_FLOAT_EQ(coord.Axis->AxisEnds[0][0], 50.0f);
    EXPECT_FLOAT_EQ(coord.Axis->AxisEnds[2][2], 50.0f);
    EXPECT_FLOAT_EQ(coord.Axis->ConeRadius, 10.0f);
    EXPECT_FLOAT_EQ(coord.Axis->ConeHeight, 20.0f);
}

TEST_F(Markers, SysCoordDrawsItsAxesOnlyWithTheFlag)
{
    KytOgl& o = Open(64, 64);
    KytViewPort vp;
    vp.SetViewRadius(20.0);  // axes of 1, cones of 0.2 by 0.4
    AuxSysCoord coord(1);
    coord.Axis->Create(&o);
    coord.FitView(&vp);
    glEnable(GL_DEPTH_TEST);
    const auto before = CaptureState();
    const auto prims = Feedback([&] { coord.Draw(); });
    EXPECT_EQ(CaptureState(), before);
    ASSERT_GE(Count(prims, GL_LINE_TOKEN), 3);
    int lines = 0;
    for (const Primitive& p : prims) {
        if (p.token != GL_LINE_TOKEN)
            continue;
        EXPECT_NEAR(p.v[0][0], 0, 2e-3);
        EXPECT_NEAR(p.v[1][lines], 1.0, 2e-3) << lines;
        if (++lines == 3)
            break;
    }
    const Range r = Extent(prims);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(r.hi[k], 1.4, 3e-3) << k;  // the cone tips
    AuxSysCoord::bAxisFlag = false;
    EXPECT_TRUE(Feedback([&] { coord.Draw(); }).empty());
    AuxSysCoord::bAxisFlag = true;
    coord.SetDraw(false);
    EXPECT_TRUE(Feedback([&] { coord.Draw(); }).empty());
    glDisable(GL_DEPTH_TEST);
    coord.SetDraw(true);
    coord.Draw();
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(Markers, SysCoordCopiesOwnTheirAxis)
{
    auto src = std::make_unique<AuxSysCoord>(3);
    KytViewPort vp;
    src->FitView(&vp);
    std::unique_ptr<KytAuxContents> dup(src->Duplicate());
    AuxSysCoord copy(*src);
    AuxSysCoord assigned(4);
    assigned = *src;
    const float ends = src->Axis->AxisEnds[1][1];
    src.reset();
    for (AuxSysCoord* c : {static_cast<AuxSysCoord*>(dup.get()), &copy, &assigned}) {
        ASSERT_NE(c->Axis, nullptr);
        EXPECT_EQ(c->Axis->AxisEnds[1][1], ends);
        EXPECT_EQ(c->GetID(), 3u);
    }
    EXPECT_NE(copy.Axis, assigned.Axis);
    AuxSysCoord& self = copy;
    copy = self;
    ASSERT_NE(copy.Axis, nullptr);
    EXPECT_EQ(copy.Axis->AxisEnds[1][1], ends);
}

// The rod runs from the centre to the ground along the up axis, on whichever side the ground
// is; an up-axis answer other than 1 or 2 means x.
TEST_F(Markers, PlumbLineRunsToTheGround)
{
    Open(64, 64);
    const WqVector3D p(0.25, -0.25, 0.5);
    const float size = 0.1f;
    struct Case {
        int upAxis, axis;
    } axes[] = {{0, 0}, {1, 1}, {2, 2}, {7, 0}, {-1, 0}};
    for (const Case& a : axes) {
        for (double h : {1.0, -1.0, 0.0}) {
            KytEnv::nUpAxis = a.upAxis;
            KytEnv::dUpOffset = p[a.axis] - h;
            AuxCOM2 marker(1, p);
            marker.Create(nullptr);
            marker.Size = size;
            const auto before = CaptureState();
            const auto prims = Feedback([&] { marker.Draw(); });
            EXPECT_EQ(CaptureState(), before);
            ASSERT_FALSE(prims.empty());
            const Range r = Extent(prims);
            const double ground = p[a.axis] - h;
            SCOPED_TRACE(testing::Message() << "up " << a.upAxis << " h " << h);
            EXPECT_NEAR(r.lo[a.axis], std::min(p[a.axis] - size, ground), 3e-3);
            EXPECT_NEAR(r.hi[a.axis], std::max(p[a.axis] + size, ground), 3e-3);
            for (int k = 0; k < 3; ++k)
                if (k != a.axis) {
                    EXPECT_NEAR(r.lo[k], p[k] - size, 3e-3) << k;
                    EXPECT_NEAR(r.hi[k], p[k] + size, 3e-3) << k;
                }
        }
    }
}

TEST_F(Markers, CentreOfMassFollowsThePlacementWithOrWithoutAShape)
{
    Open(64, 64);
    KytModel model;
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* group = model.AddLink("group", root, KYT_LINK_PART);
    KytLink* box = KytBuild::AddBox(model, "box", group, {0.5, 0.25, 0}, 0.4, 0.4, 0.4);
    group->referMech.vPos = WqVector3D(-0.25, 0, 0.25);
    group->referMech.mRot.MakeRotMatrix(0.0, 1.0, 2);  // a quarter turn about z
    model.UpdatePlacements();
    KytEnv::nUpAxis = 2;
    KytEnv::dUpOffset = -1.0;
    // A shaped link's centre is the kernel's to compute; a shapeless one is computed on demand.
    box->SetAsyCOM();
    for (KytLink* link : {box, group}) {
        AuxCOM com(1, link);
        EXPECT_TRUE(com.IsPickable());
        WqVector3D c;
        ASSERT_TRUE(com.GetCOM(c)) << link->name;
        // The box's centre in the world: the group turns (0.5, 0.25, 0) to (-0.25, 0.5, 0).
        EXPECT_NEAR(c.x, -0.5, 1e-9) << link->name;
        EXPECT_NEAR(c.y, 0.5, 1e-9) << link->name;
        EXPECT_NEAR(c.z, 0.25, 1e-9) << link->name;
        EXPECT_TRUE(Feedback([&] { com.Draw(); }).empty());  // no quadric yet
        com.Create(nullptr);
        com.Size = 0.1f;
        const Range r = Extent(Feedback([&] { com.Draw(); }));
        EXPECT_NEAR(r.lo[0], c.x - 0.1, 3e-3) << link->name;
        EXPECT_NEAR(r.hi[1], c.y + 0.1, 3e-3) << link->name;
        EXPECT_NEAR(r.lo[2], -1.0, 3e-3) << link->name;
        AuxCOM copy(com);
        EXPECT_EQ(copy.Quadric, nullptr);
        EXPECT_TRUE(Feedback([&] { copy.Draw(); }).empty());
    }
    AuxCOM none(1, nullptr);
    WqVector3D c;
    EXPECT_FALSE(none.GetCOM(c));
    AuxCOM::SetShow(true);
    EXPECT_TRUE(AuxCOM::IsShow());
    AuxCOM::SetShow(false);
}

TEST_F(Markers, CentreOfMassCopiesKeepTheirFields)
{
    KytLink link;
    auto com = std::make_unique<AuxCOM>(4, &link);
    com->Size = 3.0f;
    auto com2 = std::make_unique<AuxCOM2>(5, WqVector3D(1, 2, 3));
    com2->Size = 2.0f;
    std::unique_ptr<KytAuxContents> d1(com->Duplicate()), d2(com2->Duplicate());
    com.reset();
    com2.reset();
    auto* c1 = dynamic_cast<AuxCOM*>(d1.get());
    auto* c2 = dynamic_cast<AuxCOM2*>(d2.get());
    ASSERT_TRUE(c1 && c2);
    EXPECT_EQ(c1->GetTargetLink(), &link);
    EXPECT_EQ(c1->Size, 3.0f);
    EXPECT_EQ(c1->Quadric, nullptr);
    EXPECT_EQ(c2->Position.z, 3.0);
    EXPECT_EQ(c2->Size, 2.0f);
    EXPECT_EQ(c2->Quadric, nullptr);
    EXPECT_FALSE(c2->IsPickable());
}

}  // namespace
