#include "world/skeleton/MeshSkeletalData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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
        {{255, 0, 1}, 0},
        {{1, 255, 1}, 1},
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
        // Playback walks up the parents to a root; on these it would never end.
        {"no root at all", [](MeshDesc& m) { m.skeleton.parents = {1, 2, 0}; }},
        {"two bones parent each other", [](MeshDesc& m) { m.skeleton.parents = {1, 0, 1}; }},
        {"a self-parented bone", [](MeshDesc& m) { m.skeleton.parents = {0, 0, 1}; }},
        {"a loop beside a root", [](MeshDesc& m) { m.skeleton.parents = {255, 2, 1}; }},
        {"a self-parented bone beside a root", [](MeshDesc& m) { m.skeleton.parents = {0, 255, 1}; }},
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
    for (const std::vector<std::uint8_t>& parents : {std::vector<std::uint8_t>{255, 3, 0}, {1, 0, 1}}) {
        MeshDesc desc = MakeMesh(0x30011, 1, 1, 1);
        desc.skeleton.parents = parents;
        LogCapture log;
        MeshSkeletalData d;
        EXPECT_FALSE(Load(d, desc));
        EXPECT_TRUE(log.Contains("[ERROR] Bad format in mesh file s.mom!"));
    }
}

TEST(MeshSkeletalData, ParentsReachRootsAgainstAnOracle) {
    // Every parent table of three bones over {0, 1, 2, 255}: a table is sound when each
    // bone's chain of parents reaches 255 without meeting itself.
    const std::uint8_t values[] = {0, 1, 2, 255};
    for (std::uint8_t a : values) {
        for (std::uint8_t b : values) {
            for (std::uint8_t c : values) {
                const std::uint8_t parents[3] = {a, b, c};
                bool sound = true;
                for (int bone = 0; bone < 3; ++bone) {
                    bool seen[3] = {false, false, false};
                    int at = bone;
                    while (at != 255 && sound) {
                        if (seen[at]) sound = false;
                        seen[at] = true;
                        at = parents[at];
                    }
                }
                EXPECT_EQ(MeshSkeletalData::ParentsReachRoots(parents, 3), sound)
                    << int(a) << " " << int(b) << " " << int(c);
            }
        }
    }
}

TEST(MeshSkeletalData, WeightedInfluencesMustNameABone) {
    struct Case {
        const char* what;
        std::size_t bones;
        std::uint8_t index;
        float weight;
        bool loads;
    };
    const Case cases[] = {
        {"255 is no bone", 3, 255, 1.0f, true},
        {"255 is no bone, also without bones", 0, 255, 1.0f, true},
        {"an unused slot names bone 0 with weight 0", 0, 0, 0.0f, true},
        {"unweighted slot past the bones", 3, 9, 0.0f, true},
        {"last bone", 3, 2, 0.5f, true},
        {"weighted bone 0 of a skeleton without bones", 0, 0, 1.0f, false},
        {"weighted bone 7 of a skeleton without bones", 0, 7, 1.0f, false},
        {"weighted bone one past the last", 3, 3, 0.25f, false},
        {"negative weight still weighs", 3, 200, -1.0f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MeshDesc desc = MakeMesh(0x30011, 1, 1, 1);
        desc.skeleton.parents.resize(c.bones);
        desc.skeleton.names.resize(c.bones);
        desc.skeleton.boneBounds.resize(c.bones);
        desc.skeleton.bind.resize(c.bones);
        desc.sockets.clear();
        LodDesc& lod = desc.lods[0];
        for (std::size_t v = 0; v < lod.vertexCount; ++v) {
            // Slot 0 of every vertex is valid for any skeleton; slot 1 carries the case.
            lod.boneIndices[v * 4 + 0] = 255;
            lod.boneIndices[v * 4 + 1] = 0;
            lod.weights[v * 4 + 1] = 0.0f;
        }
        lod.boneIndices[4 + 1] = c.index;
        lod.weights[4 + 1] = c.weight;
        LogCapture log;
        MeshSkeletalData d;
        EXPECT_EQ(Load(d, desc), c.loads) << log.Joined();
        EXPECT_EQ(d.boneCount, c.loads ? c.bones : 0u);
    }
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

TEST(MeshSkeletalData, XmlSocketsLinkByNameWhateverTheirVersionWord) {
    // An old mesh (sockets by index) with an XML companion: XML sockets carry bone names,
    // with or without a "Version" attribute.
    for (const char* root : {"<Sockets>", "<Sockets Version=\"0\">", "<Sockets Version=\"3\">"}) {
        SCOPED_TRACE(root);
        const std::string xml = std::string(root) + R"(<S Name="grip" BoneName="bone2"/><S Name="none"/></Sockets>)";
        LogCapture log;
        MeshSkeletalData d;
        ASSERT_TRUE(Load(d, MakeMesh(0x20016, 1)));
        ASSERT_TRUE(d.ReadMox(xml.data(), xml.size(), "s.mox")) << log.Joined();
        EXPECT_EQ(d.LinkSocketsToBones(), 1);
        EXPECT_STREQ(d.sockets[0]->boneName, "bone2");
        EXPECT_EQ(d.sockets[0]->boneIndex, 2);
        EXPECT_STREQ(d.sockets[1]->boneName, "");
        EXPECT_EQ(d.sockets[1]->boneIndex, -1);
    }
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

namespace {

TEST(MeshSkeletalData, SingularBindPoseGetsAnIdentityInverseAndAWarning) {
    MeshDesc desc = MakeMesh(0x30011, 1);
    desc.skeleton.bind[1] = Matrix16{};  // all zero: no inverse
    MeshSkeletalData d;
    LogCapture log;
    ASSERT_TRUE(Load(d, desc));
    EXPECT_TRUE(log.Contains("singular bind matrix")) << log.Joined();
    EXPECT_EQ(*d.GetInverseBindMatrix(1), MatrixIdentity());
}

TEST(MeshSkeletalData, WrittenAnimationBoundsAnswerLikeReadOnes) {
    // Bounds written through the set/count/frame operations answer exactly as the same
    // bounds read from a file do.
    MeshDesc desc = MakeMesh(0x30011, 1);
    desc.skeleton.hasAnimationBounds = true;
    desc.skeleton.sets = {{"walk.ani", 77, {{{{1, 0, 0, 1, 1, 1, 2}, {3, 0, 0, 1, 1, 1, 2}, {5, 0, 0, 2, 2, 2, 4}}}}}};
    MeshSkeletalData read;
    LogCapture log;
    ASSERT_TRUE(Load(read, desc));
    MeshSkeletalData written;
    ASSERT_TRUE(Load(written, MakeMesh(0x30011, 1)));
    written.ClearAnimationBounds(0);
    written.SetAnimationSetCount(3);
    EXPECT_EQ(written.animationSets.size(), 3u);
    written.SetAnimationSetCount(1);  // never shrinks
    EXPECT_EQ(written.animationSets.size(), 3u);
    written.SetAnimationCount(1, 2);
    ASSERT_TRUE(written.SetFrameCount(3, 0, 2));
    EXPECT_FALSE(written.SetFrameCount(3, 1, 2));
    for (std::uint32_t f = 0; f < 3; ++f)
        ASSERT_TRUE(written.SetFrameBound(f, 0, 2, read.animationSets[0].animations[0].bounds[f]));
    EXPECT_FALSE(written.SetFrameBound(3, 0, 2, Bounds{}));
    written.FinishFrameBounds(0, 2);
    written.SetContentHash(2, 77);
    for (std::uint32_t f = 0; f < 4; ++f) {
        const Bounds& a = read.GetAnimationBounds(f, 0, 0);
        const Bounds& b = written.GetAnimationBounds(f, 0, 2);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << f;
    }
    EXPECT_EQ(written.GetContentHash(2), 77u);
    EXPECT_EQ(written.skeletalMemorySize, 3u * 56u);

    MeshSkeletalData copy;
    ASSERT_TRUE(Load(copy, MakeMesh(0x30011, 1)));
    copy.CopyAnimationBounds(written);
    EXPECT_EQ(copy.skeletalMemorySize, written.skeletalMemorySize);
    EXPECT_EQ(copy.GetContentHash(2), 77u);
    copy.ClearAnimationBounds(2);
    EXPECT_TRUE(copy.animationSets[2].animations.empty());
    EXPECT_EQ(copy.skeletalMemorySize, 0u);
    // A cleared set answers the mesh bounds.
    EXPECT_EQ(&copy.GetAnimationBounds(0, 0, 2), &copy.bounds);
}

TEST(MeshSkeletalData, EnsureBindPoseTakesIdentitiesOrTheGivenTable) {
    MeshSkeletalData d;
    LogCapture log;
    ASSERT_TRUE(Load(d, MakeMesh(0x20000, 1)));  // before bind poses
    EXPECT_EQ(d.GetBindMatrix(0), nullptr);
    d.EnsureBindPose(nullptr);
    for (std::uint32_t b = 0; b < d.boneCount; ++b) {
        EXPECT_EQ(*d.GetBindMatrix(b), MatrixIdentity());
        EXPECT_EQ(*d.GetInverseBindMatrix(b), MatrixIdentity());
    }
    std::vector<Matrix> given(std::size_t(d.boneCount) * 2);
    for (std::size_t i = 0; i < given.size(); ++i) {
        MatrixIdentity(given[i]);
        given[i].m[12] = float(i);
    }
    d.EnsureBindPose(given.data());
    EXPECT_EQ(d.GetInverseBindMatrix(2)->m[12], float(d.boneCount + 2));
}

}  // namespace
