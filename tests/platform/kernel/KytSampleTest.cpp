#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "platform/kernel/KytModel.h"

namespace {

TEST(KytSample, MachineHoldsWhatThePicturesNeed)
{
    KytModel model;
    KytLink* root = KytBuild::SampleMachine(model);
    ASSERT_NE(root, nullptr);
    ASSERT_NE(KytColor::matarray, nullptr);
    EXPECT_EQ(KytColor::uArraySize, 10u);
    std::set<int> kinds;
    std::set<double> rates;
    int none = 0, transparent = 0, textured = 0, emissive = 0, highlighted = 0, noclip = 0,
        layer2 = 0;
    std::set<const void*> materials;
    for (const auto& l : model.Links()) {
        kinds.insert(l->nType);
        if (l->pProperty) {
            rates.insert(l->pProperty->dRecycleRate);
            materials.insert(l->pProperty->pMaterial);
        } else if (l->pShape && l->nType == KYT_LINK_PART) {
            ++none;
        }
        transparent += l->visual.uTransparent != 0 && l->fAlpha == 0.4f;
        textured += l->pShape && l->pShape->pRep->pTexture != nullptr;
        emissive += l->visual.uEmission != 0;
        highlighted += l->bHighlight;
        noclip += l->bNoClip;
        layer2 += l->visual.uVisible == 2;
    }
    for (int kind : {KYT_LINK_ASSEMBLY, KYT_LINK_PART, KYT_LINK_CAMERA, KYT_LINK_HUMAN,
                     KYT_LINK_WORKAXIS, KYT_LINK_SOLIDPART, KYT_LINK_DATUM})
        EXPECT_TRUE(kinds.count(kind)) << kind;
    EXPECT_EQ(rates, (std::set<double>{0.0, 0.3, 0.6, 0.61}));
    EXPECT_EQ(materials.size(), 2u);
    EXPECT_GT(none, 0);
    EXPECT_EQ(transparent, 1);
    EXPECT_EQ(textured, 1);
    EXPECT_EQ(emissive, 1);
    EXPECT_GE(highlighted, 1);
    EXPECT_EQ(noclip, 1);
    EXPECT_EQ(layer2, 1);
    // Bolts are far smaller than the machine.
    KytLink* bolt = KytBuild::FindByName(model, "bolt1");
    ASSERT_NE(bolt, nullptr);
    EXPECT_LT(bolt->GetRadius(), 0.02f * 100.0f);
    // Assemblies are centred on their subtree.
    KytLink* gearbox = KytBuild::FindByName(model, "gearbox");
    gearbox->SetGeomCEN();
    EXPECT_GT(gearbox->GetRadius(), 40.0f);
    const KytColorTable table = KytBuild::SampleColorTable();
    ASSERT_EQ(table.GetCount(), 6u);
    EXPECT_FALSE(table.entries[1].bLit);
    EXPECT_TRUE(table.entries[2].bTransparent);
    EXPECT_TRUE(table.entries[3].bOutline);
    EXPECT_TRUE(table.entries[4].bEmission);
    EXPECT_TRUE(table.entries[5].bUsePartColor);
    KytColor::SetTable({});
}

TEST(KytSample, MachineHoldsTheOverlayLinks)
{
    KytModel model;
    KytBuild::SampleMachine(model);
    auto find = [&](const char* name) {
        KytLink* l = KytBuild::FindByName(model, name);
        EXPECT_NE(l, nullptr) << name;
        return l;
    };
    KytLink* hinge = find("hinge");
    KytLink* slider = find("slider");
    ASSERT_TRUE(hinge && slider);
    EXPECT_EQ(hinge->nJointKind, 2);
    EXPECT_EQ(slider->nJointKind, 8);
    EXPECT_NE(hinge->dJointValue, 0.0);
    EXPECT_NE(slider->dJointValue, 0.0);
    // The hinge turns about the world y at its arm's end.
    const WqVector3D axis = hinge->mech.mRot.Multi(hinge->jointFrame.mRot.Multi({0, 0, 1}));
    EXPECT_NEAR(axis.y, 1.0, 1e-12);
    EXPECT_GT(hinge->GetRadius(), 0.0f);

    KytLink* gearbox = find("gearbox");
    EXPECT_EQ(gearbox->manip.nAxis, 1);
    EXPECT_TRUE(gearbox->manip.bDirection);
    EXPECT_EQ(gearbox->manip.nOriginMode, 1);
    KytLink* shaft = find("shaftA");
    EXPECT_EQ(shaft->manip.nAxis, 4);
    EXPECT_FALSE(shaft->manip.bDirection);
    EXPECT_EQ(shaft->manip.nOriginMode, 2);
    EXPECT_GT(shaft->manip.vOriginOffset.Length(), 0.0);

    EXPECT_EQ(find("mover")->nType, KYT_LINK_NOSIZE);
    KytLink* inner = find("nohandle_part");
    EXPECT_EQ(inner->nType, KYT_LINK_NOHANDLE);
    EXPECT_EQ(inner->GetParent()->nType, KYT_LINK_NOHANDLE);
    EXPECT_NE(find("screen")->pShape, nullptr);
    // Tilted 30 degrees about x: its z axis leans from z toward -y.
    const WqVector3D z = find("tilted")->mech.mRot.Multi({0, 0, 1});
    EXPECT_NEAR(z.z, std::cos(M_PI / 6), 1e-12);
    EXPECT_NEAR(std::fabs(z.y), 0.5, 1e-12);
    KytColor::SetTable({});
}

// The manip frame moves its handles to the origin its mode names, turned by its orientation.
TEST(KytManipTest, FrameFollowsTheOriginMode)
{
    KytModel model;
    KytLink* l = KytBuild::AddBox(model, "box", nullptr, {5, 0, 0}, 2, 4, 6, 0);
    l->pShape->pRep->boxMin = {1, 1, 1};
    l->pShape->pRep->boxMax = {3, 5, 7};
    l->manip.mOrientation.MakeRotMatrix(0.0, 1.0, 2);  // x to y
    l->manip.vOriginOffset = {1, 2, 3};
    l->bGeomCenStale = true;
    const WqVector3D want[3] = {{0, 0, 0}, {-3, 2, 4}, {-2, 1, 3}};
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE(mode);
        l->manip.nOriginMode = mode;
        double m[16];
        l->manip.GetData(m);
        EXPECT_NEAR(m[12], want[mode].x, 1e-12);
        EXPECT_NEAR(m[13], want[mode].y, 1e-12);
        EXPECT_NEAR(m[14], want[mode].z, 1e-12);
        EXPECT_EQ(m[15], 1.0);
        EXPECT_NEAR(m[1], 1.0, 1e-12);  // the first column is the turned x
    }
    // A refreshed centre is read as it is.
    l->vGeomCen = {10, 0, 0};
    l->bGeomCenStale = false;
    l->manip.nOriginMode = 1;
    EXPECT_EQ(l->manip.GetOrigin(), WqVector3D(10, 0, 0));
}

TEST(KytSample, GridTreeSizes)
{
    struct Case {
        int assemblies, parts, segments;
        unsigned triangles;
    } cases[] = {{10, 50, 6, 10 * (50 * 24 + 96 * 4)}, {40, 100, 6, 40 * (100 * 24 + 96 * 4)}};
    for (const Case& c : cases) {
        KytModel model;
        KytBuild::GridTree(model, c.assemblies, c.parts, c.segments);
        unsigned triangles = 0, links = 0;
        for (const auto& l : model.Links()) {
            ++links;
            if (l->pShape)
                triangles += l->pShape->pRep->GetTriangleCount();
        }
        EXPECT_EQ(triangles, c.triangles);
        EXPECT_EQ(links, 1u + c.assemblies * (2u + c.parts));
    }
    KytColor::SetTable({});
}

}  // namespace
