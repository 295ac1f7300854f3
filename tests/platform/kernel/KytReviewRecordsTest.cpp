// Review record builders and the reference placements of a tree.

#include <gtest/gtest.h>

#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytRecords.h"

namespace {

TEST(KytReviewRecords, AttachAppendsOnceInOrder)
{
    KytLink link;
    KytDRArrowData a, b;
    KytDRPartsConnectData p, q;
    KYT_AttachDRArrow(&link, &a);
    KYT_AttachDRArrow(&link, &b);
    KYT_AttachDRArrow(&link, &a);  // filed already: the chain stays as it is
    KYT_AttachDRArrow(nullptr, &a);
    KYT_AttachDRArrow(&link, nullptr);
    EXPECT_EQ(link.pDRArrow, &a);
    EXPECT_EQ(a.pNext, &b);
    EXPECT_EQ(b.pNext, nullptr);
    KYT_AttachDRPartsConnect(&link, &q);
    KYT_AttachDRPartsConnect(&link, &p);
    EXPECT_EQ(link.pDRPartsConnect, &q);
    EXPECT_EQ(q.pNext, &p);
    EXPECT_EQ(p.pNext, nullptr);
}

TEST(KytReviewRecords, ReferencePlacementsAreTheWorldPlacementsWhenSet)
{
    KytModel model;
    KytLink* root = KytBuild::FourLinkTree(model);
    KYT_SetReferencePlacement(root);
    for (const auto& l : model.Links())
        EXPECT_EQ(l->referWorldMech.vPos, l->mech.vPos) << l->name;
    KytLink* b = KytBuild::FindByName(model, "boxB");
    const WqVector3D before = b->mech.vPos;
    b->referMech.vPos = WqVector3D(7, 0, 0);
    model.UpdatePlacements();
    EXPECT_EQ(b->referWorldMech.vPos, before);
    EXPECT_NE(b->mech.vPos, before);
    KYT_SetReferencePlacement(nullptr);
}

} // namespace
