#include "world/skeleton/MeshSkeletalData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MeshFileWriter.h"
#include "platform/host/IXmlNode.h"
#include "world/core/XmlNodePtr.h"

namespace {

using namespace quor;
using namespace quor::test;

bool Load(MeshSkeletalData& d, const MeshDesc& desc) {
    const auto file = WriteMom(desc);
    return d.LoadFromMemory("s.mom", file.data(), file.size());
}

TEST(MeshSkeletalData, RootDetection) {
    struct Case {
        std::vector<std::uint8_t> parents;
        std::uint16_t root;
    };
    const Case cases[] = {
        {{255, 0, 255}, 255},
        {{0, 255, 1}, 1},
        {{255, 0, 1}, 0},
        {{1, 2, 0}, 255},  // no root at all
    };
    LogCapture log;
    for (const Case& c : cases) {
        MeshDesc desc = MakeMesh(0x30011, 1, 1, 1);
        desc.skeleton.parents = c.parents;
        MeshSkeletalData d;
        ASSERT_TRUE(Load(d, desc)) << log.Joined();
        EXPECT_EQ(d.rootBone, c.root);
        EXPECT_EQ(d.boneCount, 3);
    }
}

TEST(MeshSkeletalData, EveryVersionReadsItsSkeleton) {
    const std::uint32_t versions[] = {0x20000, 0x20002, 0x20010, 0x20014, 0x20015, 0x20016, 0x30000, 0x30011};
    LogCapture log;
    for (std::uint32_t v : versions) {
        SCOPED_TRACE(testing::Message() << std::hex << v);
        const MeshDesc desc = MakeMesh(v, 1);
        MeshSkeletalData d;
        ASSERT_TRUE(Load(d, desc)) << log.Joined();
        EXPECT_EQ(d.boneCount, 3);
        EXPECT_EQ(d.rootBone, 0);
        EXPECT_STREQ(d.GetBoneName(2), "bone2");
        EXPECT_EQ(d.GetBoneName(3), nullptr);
        // Per-bone bounds start at 0x20016, bind poses at 0x20010, the set list at 0x20015.
        EXPECT_EQ(d.boneBounds.size(), v >= 0x20016 ? 3u : 0u);
        EXPECT_EQ(d.bindMatrices != nullptr, v >= 0x20010);
        ASSERT_EQ(d.animationSets.size(), 1u);
        EXPECT_EQ(d.animationSets[0].name, "walk.ani");
        EXPECT_EQ(d.animationSets[0].animations.size(), v >= 0x20015 ? 1u : 0u);
        ASSERT_EQ(d.lodCount, int(desc.lods.size()));
        const auto& lod = static_cast<const MeshSkelVertexData&>(*d.lods[0]);
        EXPECT_EQ(lod.boneIndices, desc.lods[0].boneIndices);
        EXPECT_EQ(lod.weights, desc.lods[0].weights);
        // The oldest exporter faced the other way: frame 0 is turned half a turn about y.
        const float x = desc.lods[0].positions[3], z = desc.lods[0].positions[5];
        if (v < 0x20002) {
            EXPECT_NEAR(lod.positions[1].x, -x, 1e-3f);
            EXPECT_NEAR(lod.positions[1].z, -z, 1e-3f);
        } else {
            EXPECT_EQ(lod.positions[1].x, x);
        }
    }
}

TEST(MeshSkeletalData, BindInversesMultiplyToIdentity) {
    MeshSkeletalData d;
    LogCapture log;
    ASSERT_TRUE(Load(d, MakeMesh(0x30011, 1)));
    for (std::uint32_t b = 0; b < d.boneCount; ++b) {
        Matrix product;
        MatrixMultiplyPlain(*d.GetBindMatrix(b), *d.GetInverseBindMatrix(b), product);
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) EXPECT_NEAR(product(r, c), r == c ? 1.0f : 0.0f, 1e-5f) << b;
        }
    }
}

TEST(MeshSkeletalData, AnimationBoundsAndPairUnions) {
    MeshSkeletalData d;
    LogCapture log;
    ASSERT_TRUE(Load(d, MakeMesh(0x30011, 1)));
    ASSERT_EQ(d.animationSets[0].contentHash, 0xABCDu);
    // Frames at x = 0 and x = 2 (radius 1): the union spans -1..3 with radius (2 + 1 + 1) / 2.
    const Bounds& u = d.GetAnimationBounds(0, 0, 0);
    EXPECT_EQ(u.centre.x, 1.0f);
    EXPECT_EQ(u.half.x, 2.0f);
    EXPECT_EQ(u.radius, 2.0f);
    EXPECT_EQ(d.GetAnimationBounds(1, 0, 0).centre.x, 2.0f);  // the last entry repeats the last frame
    EXPECT_EQ(&d.GetAnimationBounds(0, 5, 0), &d.bounds);     // no such animation
    EXPECT_EQ(d.skeletalMemorySize, 2u * 56);
    EXPECT_EQ(d.boundsEntryCounts, std::vector<std::uint32_t>{4});
}

TEST(MeshSkeletalData, NaNRadiusDropsBoneBounds) {
    MeshDesc desc = MakeMesh(0x30011, 1);
    desc.skeleton.boneBounds[0][6] = std::nanf("");
    MeshSkeletalData d;
    LogCapture log;
    ASSERT_TRUE(Load(d, desc));
    EXPECT_TRUE(d.boneBounds.empty());
}

TEST(MeshSkeletalData, BadSkeletonsAreRefused) {
    struct Case {
        const char* what;
        void (*edit)(MeshDesc&);
    };
    const Case cases[] = {
        {"256 bones", [](MeshDesc& m) {
             m.skeleton.parents.assign(256, 255);
             m.skeleton.parents[0] = 255;
         }},
        {"parent past the bones", [](MeshDesc& m) { m.skeleton.parents = {255, 3, 0}; }},
        {"skinned vertex names a missing bone", [](MeshDesc& m) { m.lods[0].boneIndices[4] = 3; }},
        {"plain mesh type", [](MeshDesc& m) { m.type = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MeshDesc desc = MakeMesh(0x30011, 1, 1, 1);
        c.edit(desc);
        LogCapture log;
        MeshSkeletalData d;
        EXPECT_FALSE(Load(d, desc));
        EXPECT_TRUE(log.Contains("Failed to read mesh file s.mom!")) << log.Joined();
        EXPECT_EQ(d.boneCount, 0);
        EXPECT_EQ(d.lodCount, 0);
    }
    MeshDesc desc = MakeMesh(0x30011, 1, 1, 1);
    desc.skeleton.parents = {255, 3, 0};
    LogCapture log;
    MeshSkeletalData d;
    EXPECT_FALSE(Load(d, desc));
    EXPECT_TRUE(log.Contains("[ERROR] Bad format in mesh file s.mom!"));
}

TEST(MeshSkeletalData, NoneBoneIndexIsAccepted) {
    MeshDesc desc = MakeMesh(0x30011, 1, 1, 1);
    desc.lods[0].boneIndices[0] = 255;
    MeshSkeletalData d;
    LogCapture log;
    EXPECT_TRUE(Load(d, desc));
}

TEST(MeshSkeletalData, SocketsLinkToTheLastMatchingBone) {
    MeshDesc desc = MakeMesh(0x30011, 1);
    desc.skeleton.names = {"root", "twin", "twin"};
    desc.sockets[0].boneName = "twin";
    SocketDesc missing;
    missing.name = "lost";
    missing.boneName = "nowhere";
    desc.sockets.push_back(missing);
    MeshSkeletalData d;
    LogCapture log;
    ASSERT_TRUE(Load(d, desc));
    EXPECT_EQ(d.LinkSocketsToBones(), 5);
    EXPECT_EQ(d.sockets[0]->boneIndex, 2);
    EXPECT_STREQ(d.sockets[1]->boneName, "");
    EXPECT_TRUE(log.Contains("nowhere"));
}

TEST(MeshSkeletalData, OldSocketsTakeTheirBoneNameFromTheIndex) {
    MeshDesc desc = MakeMesh(0x20016, 1);
    desc.sockets[0].boneIndex = 2;
    SocketDesc outside = desc.sockets[0];
    outside.boneIndex = 9;  // past the skeleton: no name
    desc.sockets.push_back(outside);
    MeshSkeletalData d;
    LogCapture log;
    ASSERT_TRUE(Load(d, desc));
    EXPECT_EQ(d.LinkSocketsToBones(), 1);
    EXPECT_STREQ(d.sockets[0]->boneName, "bone2");
    EXPECT_STREQ(d.sockets[1]->boneName, "");
}

TEST(MeshSkeletalData, EveryTruncatedPrefixIsRefusedCleanly) {
    const auto file = WriteMom(MakeMesh(0x30011, 1, 2, 1));
    LogCapture log;
    for (std::size_t n = 0; n < file.size(); ++n) {
        std::vector<std::uint8_t> prefix(file.begin(), file.begin() + std::ptrdiff_t(n));
        MeshSkeletalData d;
        ASSERT_FALSE(d.LoadFromMemory("p.mom", prefix.data(), prefix.size())) << n;
        EXPECT_EQ(d.boneCount, 0);
    }
}

}  // namespace

namespace {

TEST(MeshSkeletalData, WriteStatsReportsTheSkeletalFigures) {
    LogCapture log;
    MeshSkeletalData d;
    ASSERT_TRUE(Load(d, MakeMesh(0x30011, 1, 1, 2)));
    XmlNodePtr doc(log.bound.host.utils.CreateXmlDocument());
    XmlNodePtr root = doc.AddChild("Render");
    d.WriteStats(root.Get());
    XmlNodePtr node = root.FirstChild("MeshSkeletalData");
    ASSERT_TRUE(node);
    EXPECT_EQ(node->GetIntAttribute(nullptr, "sk_mem_size", 0), 112);
    EXPECT_EQ(node->GetIntAttribute(nullptr, "mesh_lod_count", 0), 2);
    EXPECT_EQ(node.ChildAt("VertexInfo", 1)->GetIntAttribute(nullptr, "lod", 0), 1);
}

}  // namespace
