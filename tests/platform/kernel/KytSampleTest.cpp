#include <gtest/gtest.h>

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
