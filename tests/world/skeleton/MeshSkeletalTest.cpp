#include "world/skeleton/MeshSkeletal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "tests/support/world/DemoFigure.h"
#include "tests/world/skeleton/SkelMeshSupport.h"
#include "world/core/Align16.h"
#include "world/mesh/MeshSocket.h"
#include "world/mesh/MeshVertexData.h"
#include "world/skeleton/MeshSkelSegment.h"
#include "world/skeleton/MeshSkeletalData.h"

namespace {

using namespace quor;
using namespace quor::test;

// Skinned position of vertex v in double precision, straight from the definition: the
// weighted sum of the position through inverse bind x bone matrix of each influence.
Vec3 OracleSkin(const MeshSkelVertexData& lod, std::uint32_t v, const Matrix* inverseBind, const Matrix* bones) {
    const std::uint8_t* idx = &lod.boneIndices[std::size_t(v) * 4];
    const float* w = &lod.weights[std::size_t(v) * 4];
    const Vec3 p = lod.positions[v];
    double out[3] = {0, 0, 0};
    const int n = idx[1] == 255 ? 1 : (idx[2] == 255 ? 2 : (idx[3] == 255 ? 3 : 4));
    for (int k = 0; k < n; ++k) {
        const double weight = n == 1 ? 1.0 : double(w[k]);
        double m[16] = {};
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                for (int j = 0; j < 4; ++j) m[4 * r + c] += double(inverseBind[idx[k]].m[4 * r + j]) * bones[idx[k]].m[4 * j + c];
            }
        }
        for (int c = 0; c < 3; ++c) out[c] += weight * (p.x * m[c] + p.y * m[4 + c] + p.z * m[8 + c] + m[12 + c]);
    }
    return Vec3{float(out[0]), float(out[1]), float(out[2])};
}

float Distance(const Vec3& a, const Vec3& b) { return Vec3Length(a - b); }

TEST(SkinVertexRange, AgreesWithADoublePrecisionSumInBothForms) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    constexpr std::uint32_t kBones = 80, kVertices = 400;
    std::unique_ptr<Matrix[]> palette(new Matrix[kBones]);
    for (int trial = 0; trial < 5; ++trial) {
        for (std::uint32_t b = 0; b < kBones; ++b) {
            for (float& f : palette[b].m) f = unit(rng) * 2.0f;
            palette[b].m[3] = palette[b].m[7] = palette[b].m[11] = 0.0f, palette[b].m[15] = 1.0f;
        }
        for (int influences = 1; influences <= 4; ++influences) {
            std::vector<std::uint8_t> idx(kVertices * 4, 255);
            std::vector<float> w(kVertices * 4, 0.0f);
            std::vector<Vec3> p(kVertices), n(kVertices), outSse(kVertices), outNrmSse(kVertices), outPlain(kVertices),
                outNrmPlain(kVertices);
            for (std::uint32_t v = 0; v < kVertices; ++v) {
                float left = 1.0f;
                for (int k = 0; k < influences; ++k) {
                    idx[v * 4 + k] = std::uint8_t(rng() % kBones);
                    w[v * 4 + k] = k + 1 == influences ? left : left * 0.5f;
                    left -= w[v * 4 + k];
                }
                p[v] = Vec3(unit(rng) * 10, unit(rng) * 10, unit(rng) * 10);
                n[v] = Vec3(unit(rng), unit(rng), unit(rng));
            }
            SkinStreams s{idx.data(), w.data(), p.data(), n.data(), outSse.data(), outNrmSse.data()};
            SkinVertexRange(palette.get(), kBones, s, 0, kVertices, true);
            s.outPositions = outPlain.data(), s.outNormals = outNrmPlain.data();
            SkinVertexRange(palette.get(), kBones, s, 0, kVertices, false);
            for (std::uint32_t v = 0; v < kVertices; ++v) {
                double sum[3] = {0, 0, 0}, nsum[3] = {0, 0, 0};
                for (int k = 0; k < influences; ++k) {
                    const Matrix& m = palette[idx[v * 4 + k]];
                    const double weight = influences == 1 ? 1.0 : w[v * 4 + k];
                    for (int c = 0; c < 3; ++c) {
                        sum[c] += weight * (double(p[v].x) * m.m[c] + double(p[v].y) * m.m[4 + c] +
                                            double(p[v].z) * m.m[8 + c] + m.m[12 + c]);
                        nsum[c] += weight * (double(n[v].x) * m.m[c] + double(n[v].y) * m.m[4 + c] + double(n[v].z) * m.m[8 + c]);
                    }
                }
                const Vec3 want{float(sum[0]), float(sum[1]), float(sum[2])};
                const Vec3 wantN{float(nsum[0]), float(nsum[1]), float(nsum[2])};
                ASSERT_LT(Distance(outSse[v], want), 1e-3f) << influences << " " << v;
                ASSERT_LT(Distance(outPlain[v], want), 1e-3f) << influences << " " << v;
                ASSERT_LT(Distance(outNrmSse[v], wantN), 1e-4f);
                ASSERT_LT(Distance(outPlain[v], outSse[v]), 1e-4f);
            }
        }
    }
}

TEST(SkinVertexRange, VerticesNamingNoBoneOrOnePastThePaletteStayPut) {
    Matrix palette[2];
    MatrixIdentity(palette[0]);
    palette[0].m[12] = 5.0f;
    palette[1] = palette[0];
    const std::uint8_t idx[] = {255, 255, 255, 255, 2, 255, 255, 255, 0, 7, 255, 255, 1, 255, 255, 255};
    const float w[16] = {1, 0, 0, 0, 1, 0, 0, 0, 0.5f, 0.5f, 0, 0, 0.2f, 0, 0, 0};
    const Vec3 p[4] = {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
    for (bool sse : {true, false}) {
        Vec3 out[4] = {{9, 9, 9}, {9, 9, 9}, {9, 9, 9}, {9, 9, 9}}, nrm[4];
        SkinVertexRange(palette, 2, SkinStreams{idx, w, p, p, out, nrm}, 0, 4, sse);
        EXPECT_EQ(out[0].x, 9.0f);
        EXPECT_EQ(out[1].x, 9.0f);
        EXPECT_EQ(out[2].x, 9.0f);
        EXPECT_EQ(out[3].x, 6.0f) << "a single bone moves at weight 1 whatever the stored weight";
    }
}

// Both forms against the double-precision sum over vertices of mixed lists: one to four
// bones, zero weights anywhere in the list, sums below and above 1; a sub-range is skinned
// and the vertices around it must stay put.
TEST(SkinVertexRange, MixedListsWithZeroAndPartialWeightsAgreeWithTheSum) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    struct Case {
        std::uint32_t bones, vertices, first, count;
        float zeroShare;  // of the weights after the first
    };
    // The last case is long enough for the vector form to read ahead.
    const Case cases[] = {{80, 300, 0, 300, 0.3f}, {80, 300, 17, 251, 0.5f}, {3, 41, 1, 39, 0.0f},
                          {256, 200, 5, 190, 0.4f}, {80, 40000, 3, 39990, 0.2f}};
    for (const Case& c : cases) {
        std::vector<Matrix> palette(c.bones);
        for (Matrix& m : palette) {
            for (float& f : m.m) f = unit(rng) * 2.0f;
            m.m[3] = m.m[7] = m.m[11] = 0.0f, m.m[15] = 1.0f;
        }
        std::vector<std::uint8_t> idx(c.vertices * 4, 255);
        std::vector<float> w(c.vertices * 4, 0.0f);
        std::vector<Vec3> p(c.vertices), n(c.vertices);
        for (std::uint32_t v = 0; v < c.vertices; ++v) {
            const int count = 1 + int(rng() % 4);
            for (int k = 0; k < count; ++k) {
                // A palette of 256 names bone 255 in the first place, where it is no end mark.
                const bool bone255 = c.bones == 256 && k == 0 && v % 7 == 0 && count > 1;
                idx[v * 4 + k] = bone255 ? 255 : std::uint8_t(rng() % std::min(c.bones, 255u));
                const bool zero = k > 0 && float(rng() % 1000) < c.zeroShare * 1000.0f;
                w[v * 4 + k] = zero ? 0.0f : (unit(rng) + 1.0f) * 0.4f;
            }
            p[v] = Vec3(unit(rng) * 10, unit(rng) * 10, unit(rng) * 10);
            n[v] = Vec3(unit(rng), unit(rng), unit(rng));
        }
        for (bool sse : {true, false}) {
            std::vector<Vec3> out(c.vertices, Vec3(7, 7, 7)), outN(c.vertices, Vec3(7, 7, 7));
            const SkinStreams s{idx.data(), w.data(), p.data(), n.data(), out.data(), outN.data()};
            SkinVertexRange(palette.data(), c.bones, s, c.first, c.count, sse);
            for (std::uint32_t v = 0; v < c.vertices; ++v) {
                if (v < c.first || v >= c.first + c.count) {
                    ASSERT_EQ(out[v].x, 7.0f) << v;
                    ASSERT_EQ(outN[v].z, 7.0f) << v;
                    continue;
                }
                const std::uint8_t* i = &idx[v * 4];
                const int count = i[1] == 255 ? 1 : (i[2] == 255 ? 2 : (i[3] == 255 ? 3 : 4));
                double sum[3] = {0, 0, 0}, nsum[3] = {0, 0, 0};
                for (int k = 0; k < count; ++k) {
                    const Matrix& m = palette[idx[v * 4 + k]];
                    const double weight = count == 1 ? 1.0 : w[v * 4 + k];
                    for (int e = 0; e < 3; ++e) {
                        sum[e] += weight * (double(p[v].x) * m.m[e] + double(p[v].y) * m.m[4 + e] +
                                            double(p[v].z) * m.m[8 + e] + m.m[12 + e]);
                        nsum[e] += weight * (double(n[v].x) * m.m[e] + double(n[v].y) * m.m[4 + e] +
                                             double(n[v].z) * m.m[8 + e]);
                    }
                }
                const Vec3 want{float(sum[0]), float(sum[1]), float(sum[2])};
                const Vec3 wantN{float(nsum[0]), float(nsum[1]), float(nsum[2])};
                ASSERT_LT(Distance(out[v], want), 1e-3f) << sse << " " << v;
                ASSERT_LT(Distance(outN[v], wantN), 1e-4f) << sse << " " << v;
            }
        }
    }
}

class MeshSkeletalTest : public SkelMeshTest {};

TEST_F(MeshSkeletalTest, AddedMeshesMustShareTheAnimationFile) {
    AddAnimation("anim/walk.ani", MakeSkelAnimFile(0x40003, 3, 2));
    MeshSkeletal& m = Make();
    ASSERT_TRUE(Add(m, SkinnedMeshDesc(3, "anim/Walk.ani"), "body.mom")) << log.Joined();
    EXPECT_EQ(m.ActionResult(), 2) << log.Joined();
    EXPECT_TRUE(Add(m, SkinnedMeshDesc(3, "ANIM/walk.ANI"), "head.mom")) << "letter case does not matter";
    log.Clear();
    EXPECT_FALSE(Add(m, SkinnedMeshDesc(3, "anim/run.ani"), "hat.mom"));
    EXPECT_TRUE(log.Contains("Adding mesh file")) << log.Joined();
    EXPECT_TRUE(log.Contains("with a different skeletal animation file anim/run.ani!")) << log.Joined();
    EXPECT_EQ(m.GetPartCount(), 2u);
    EXPECT_EQ(m.GetSubMeshCount(), 2u);
    EXPECT_EQ(world::MeshDataMgr::GetInstance().Count(), 2u) << "the refused part's data went back";
    EXPECT_TRUE(m.Ready());
    // A plain mesh file is not a skeletal part.
    EXPECT_FALSE(Add(m, MakeMesh(0x30011, 0, 1, 1), "rock.mom"));
    EXPECT_EQ(m.GetPartCount(), 2u);
}

TEST_F(MeshSkeletalTest, SocketsAreCheckedAgainstTheAnimations) {
    AddAnimation("walk.ani", MakeSkelAnimFile(0x40003, 3, 2));  // 4 keys 100 ms apart: 300 ms
    MeshDesc desc = SkinnedMeshDesc(3, "walk.ani");
    auto socket = [](const char* name, const char* bone, const char* animation, float start) {
        SocketDesc s;
        s.name = name;
        s.boneName = bone;
        s.animationName = animation;
        s.startTime = start;
        if (*animation) s.objectFile = "sword.mom";  // the animation is stored with an object
        return s;
    };
    const SocketDesc none = socket("plain", "Bone1", "", 0.0f), unknown = socket("lost", "Bone1", "fly", 0.0f),
                     late = socket("late", "Bone2", "anim1", 5000.0f), fine = socket("fine", "Bone2", "anim1", 100.0f);
    desc.sockets = {none, unknown, late, fine};
    MeshSkeletal& m = Make();
    ASSERT_TRUE(Add(m, desc, "body.mom")) << log.Joined();
    EXPECT_TRUE(log.Contains("Socket lost is linked to animation fly, but no animation named fly exist!")) << log.Joined();
    EXPECT_TRUE(log.Contains("Socket late is linked to animation anim1, starting at time 5000.000000 ms, but its time "
                             "length is only 300.000000 ms!"))
        << log.Joined();
    const MeshSocketList& sockets = m.GetPart(0)->Data()->sockets;
    EXPECT_EQ(m.GetSocketAnimation(0), 0xFFFF);
    EXPECT_EQ(m.GetSocketAnimation(1), 0xFFFF);
    EXPECT_EQ(m.GetSocketAnimation(2), 1);
    EXPECT_EQ(sockets[2]->startTime, 0.0f);
    EXPECT_EQ(sockets[3]->startTime, 100.0f);
}

TEST(MeshSkeletalNames, BodySplitFileDropsTheDriveAndTheExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"res/char/body.ani", "res/char/body.ini"},
        {"c:res\\char\\body.xyz", "res\\char\\body.ini"},
        {"D:\\res\\body", "\\res\\body.ini"},
        {"body.ani", "body.ini"},
        {"dir.v2/body", "dir.v2/body.ini"},
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(MeshSkeletal::BodySplitName(in), want) << in;
}

TEST_F(MeshSkeletalTest, ActionFilesAttachOnceAndFailuresMayBeRetried) {
    MeshSkeletal& m = Make();
    ASSERT_TRUE(Add(m, SkinnedMeshDesc(3, "walk.ani"), "body.mom"));
    EXPECT_EQ(m.ActionResult(), 0);
    EXPECT_TRUE(log.Contains("Action file walk.ani not found, or a bad-formatted file!")) << log.Joined();
    EXPECT_FALSE(m.HasAnimation(MeshBase::kSkeletal));
    EXPECT_EQ(m.GetBoneCount(), 3) << "the skeleton is set all the same";
    // The failure was not recorded: once the file is there it attaches.
    AddAnimation("walk.ani", MakeSkelAnimFile(0x40003, 3, 2));
    EXPECT_GE(m.LoadActionFile("walk.ani", 0, 0), 1);
    EXPECT_TRUE(m.HasAnimation(MeshBase::kSkeletal));
    files->ClearEvents();
    EXPECT_EQ(m.LoadActionFile("walk.ani", 0, 0), 1);
    EXPECT_TRUE(files->Events().empty()) << "a second attach opens nothing";
    // A second file goes to a new slot and adds its animations.
    AddAnimation("wave.ani", MakeSkelAnimFile(0x40003, 3, 3));
    EXPECT_GE(m.LoadActionFile("wave.ani", -1, 0), 1);
    EXPECT_EQ(m.GetAnimationCount(MeshBase::kSkeletal), 5);
    EXPECT_TRUE(files->Events().size() > 0);
    EXPECT_TRUE(m.PlayAnimation(0, MeshBase::kSkeletal, -1.0f, true, 0));
    EXPECT_TRUE(m.IsAnimationPlaying(MeshBase::kSkeletal));
}

TEST_F(MeshSkeletalTest, AnOldMeshRefusesANewAnimationFileAndKeepsIdentityBinds) {
    AddAnimation("new.ani", MakeSkelAnimFile(0x40003, 3, 1));
    // A file from before bind poses, as the reader leaves it: no bind table.
    const auto bytes = WriteMom(SkinnedMeshDesc(3, "new.ani"));
    MeshData* data =
        world::MeshDataMgr::GetInstance().LoadFromMemory("old.mom", bytes.data(), bytes.size(), world::MeshDataMgr::kSkeletal);
    ASSERT_NE(data, nullptr);
    data->version = 0x2000F;
    static_cast<MeshSkeletalData*>(data)->bindMatrices.reset();
    MeshSkeletal& m = Make();
    ASSERT_TRUE(m.SetMeshData(data)) << log.Joined();
    EXPECT_EQ(m.ActionResult(), -2);
    EXPECT_TRUE(log.Contains("can't match new version file new.ani!")) << log.Joined();
    ASSERT_EQ(m.BindMatrices().size(), 3u);
    for (const Matrix& b : m.BindMatrices()) EXPECT_EQ(b, MatrixIdentity());
    const MeshSkeletalData* skeleton = m.SkelPart(0)->Skeleton();
    ASSERT_NE(skeleton->GetInverseBindMatrix(2), nullptr);
    EXPECT_EQ(*skeleton->GetInverseBindMatrix(2), MatrixIdentity());
}

TEST_F(MeshSkeletalTest, StoredBoundsAreKeptForTheSameFileAndRecomputedOtherwise) {
    SkelAnimFileDesc file = MakeSkelAnimFile(0x40003, 3, 2);
    AddAnimation("walk.ani", file);
    // First load computes the bounds and records the file's hash.
    std::uint32_t hash = 0;
    std::vector<Bounds> computed;
    {
        MeshSkeletal& m = Make();
        ASSERT_TRUE(Add(m, SkinnedMeshDesc(3, "walk.ani"), "body.mom"));
        EXPECT_EQ(m.ActionResult(), 2) << "bounds computed";
        const MeshSkeletalData& d = *m.SkelPart(0)->Skeleton();
        hash = d.GetContentHash(0);
        ASSERT_EQ(d.animationSets[0].animations.size(), 2u);
        // Each frame bound is the box of the positions skinned independently at that key.
        const auto& lod = static_cast<const MeshSkelVertexData&>(*d.GetLod(0));
        MeshSkeletal& check = m;
        for (std::uint16_t a = 0; a < 2; ++a) {
            const auto& frames = d.animationSets[0].animations[a];
            ASSERT_EQ(frames.frameCount, 4);
            for (std::uint16_t k = 0; k < 4; ++k) {
                check.State().SetCurrentChannel(0, a, -1.0f);
                check.State().PoseCurrentAtKey(k);
                std::vector<Matrix> bones(3);
                for (std::uint16_t b = 0; b < 3; ++b) bones[b] = check.State().BoneMatrix(b);
                Vec3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
                for (std::uint32_t v = 0; v < lod.vertexCount; ++v) {
                    const Vec3 p = OracleSkin(lod, v, d.GetInverseBindMatrix(0), bones.data());
                    lo = Vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
                    hi = Vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
                }
                const Bounds& got = frames.bounds[k];
                EXPECT_NEAR(got.centre.x - got.half.x, lo.x, 1e-3f);
                EXPECT_NEAR(got.centre.y + got.half.y, hi.y, 1e-3f);
                EXPECT_NEAR(got.centre.z + got.half.z, hi.z, 1e-3f);
                computed.push_back(got);
            }
            check.State().ClearCurrentAnimation();
        }
    }
    meshes.clear();
    struct Case {
        const char* label;
        std::uint32_t storedHash;
        bool pivotTrack;
        int result;
    };
    const Case cases[] = {{"same hash", hash, false, 1}, {"other hash", hash ^ 1u, false, 2}, {"pivot tracks", hash, true, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SkelAnimFileDesc f = file;
        if (c.pivotTrack) {
            f.records[0].hasPivotTrack = true;
            f.records[0].pivotTrack.times = {0, 100};
            TrackChannelDesc ch;
            ch.positions = {0, 0, 0, 1, 0, 0};
            ch.rotations = {0, 0, 0, 1, 0, 0, 0, 1};
            ch.scales.assign(6, 1.0f);
            f.records[0].pivotTrack.channels = {ch};
        }
        SkelAnimsDataMgr::GetInstance().Clear();
        AddAnimation("walk.ani", f);
        MeshDesc desc = SkinnedMeshDesc(3, "walk.ani");
        desc.skeleton.hasAnimationBounds = true;
        AnimationSetDesc set{"walk.ani", c.storedHash, {}};
        for (int a = 0; a < 2; ++a) {
            AnimationBoundsDesc frames;
            for (int k = 0; k < 4; ++k) frames.frames.push_back({9, 9, 9, 1, 1, 1, 1});
            set.animations.push_back(frames);
        }
        desc.skeleton.sets = {set};
        MeshSkeletal& m = Make();
        ASSERT_TRUE(Add(m, desc, "body.mom")) << log.Joined();
        const std::uint32_t want = c.pivotTrack ? SkelAnimsDataMgr::GetInstance().GetOrLoad("walk.ani", nullptr)->contentHash : hash;
        if (c.pivotTrack) SkelAnimsDataMgr::GetInstance().Release(SkelAnimsDataMgr::GetInstance().GetOrLoad("walk.ani", nullptr));
        EXPECT_EQ(m.ActionResult(), c.result);
        const MeshSkeletalData& d = *m.SkelPart(0)->Skeleton();
        EXPECT_EQ(d.GetContentHash(0), c.result == 1 ? c.storedHash : want);
        const float x = d.animationSets[0].animations[0].bounds[0].centre.x;
        if (c.result == 1) {
            EXPECT_EQ(x, 9.0f) << "kept";
        } else if (!c.pivotTrack) {
            EXPECT_EQ(x, computed[0].centre.x) << "recomputed";
        }
        meshes.clear();
    }
}

TEST_F(MeshSkeletalTest, SkeletonCompatibilityComparesCountsAndParents) {
    AddAnimation("walk.ani", MakeSkelAnimFile(0x40003, 4, 1));
    struct Case {
        std::vector<std::uint8_t> parents;
        bool compatible;
    };
    const Case cases[] = {{{255, 0, 1, 2}, true}, {{255, 0, 1, 1}, false}, {{255, 0, 1}, false}};
    MeshSkeletal& base = Make();
    ASSERT_TRUE(Add(base, SkinnedMeshDesc(4, "walk.ani"), "a.mom"));
    EXPECT_TRUE(base.IsSkeletonCompatible(&base));
    int n = 0;
    for (const Case& c : cases) {
        MeshDesc desc = SkinnedMeshDesc(std::uint16_t(c.parents.size()), "walk.ani");
        desc.skeleton.parents = c.parents;
        MeshSkeletal& other = Make();
        ASSERT_TRUE(Add(other, desc, "b" + std::to_string(n++) + ".mom")) << log.Joined();
        EXPECT_EQ(base.IsSkeletonCompatible(&other), c.compatible);
        EXPECT_EQ(other.IsSkeletonCompatible(&base), c.compatible);
    }
    EXPECT_FALSE(base.IsSkeletonCompatible(nullptr));
}

TEST_F(MeshSkeletalTest, HardwareSkinningUpToEightyBones) {
    scope.renderer.SetHardwareSkinning(true);
    for (std::uint16_t bones : {80, 81}) {
        const std::string anim = "walk" + std::to_string(bones) + ".ani";
        AddAnimation(anim, MakeSkelAnimFile(0x40003, bones, 1));
        MeshSkeletal& m = Make();
        ASSERT_TRUE(Add(m, SkinnedMeshDesc(bones, anim, 24), "m" + std::to_string(bones) + ".mom")) << log.Joined();
        EXPECT_EQ(m.HardwareSkinned(), bones <= 80) << bones;
        EXPECT_EQ(m.GetBonePaletteSize(), bones);
        EXPECT_EQ(m.GetBonePaletteEntry(bones - 1), bones - 1);
        EXPECT_EQ(m.GetBonePaletteEntry(bones), 0xFFFF);
    }
}

TEST_F(MeshSkeletalTest, SoftwareSkinningFollowsThePoseAtRenderTime) {
    AddAnimation("walk.ani", MakeSkelAnimFile(0x40003, 3, 1));
    MeshSkeletal& m = Make();
    ASSERT_TRUE(Add(m, SkinnedMeshDesc(3, "walk.ani"), "body.mom"));
    ASSERT_TRUE(m.PlayAnimation(0, MeshBase::kSkeletal, -1.0f, true, 0));
    EXPECT_TRUE(m.PlayFlag());
    for (int i = 0; i < 13; ++i) m.UpdateSkeletal(true, true);
    EXPECT_FALSE(m.PlayFlag()) << "the bounds update ran";
    const Matrix world = MatrixIdentity();
    m.Render(world, nullptr);
    MeshSkelSegment& seg = *m.SkelPart(0);
    const auto& lod = static_cast<const MeshSkelVertexData&>(*seg.Lod());
    const MeshSkeletalData& d = *seg.Skeleton();
    std::vector<Matrix> bones(3);
    for (std::uint16_t b = 0; b < 3; ++b) m.GetBoneMatrix(b, bones[b]);
    for (std::uint32_t v = 0; v < lod.vertexCount; ++v)
        EXPECT_LT(Distance(seg.Positions()[v], OracleSkin(lod, v, d.GetInverseBindMatrix(0), bones.data())), 5e-4f) << v;
}

TEST_F(MeshSkeletalTest, ASharedMeshAdvancesOncePerCycleOfItsModels) {
    AddAnimation("walk.ani", MakeSkelAnimFile(0x40003, 3, 1));
    MeshSkeletal& m = Make();
    ASSERT_TRUE(Add(m, SkinnedMeshDesc(3, "walk.ani"), "body.mom"));
    for (int i = 0; i < 3; ++i) m.AddRef();  // three models
    ASSERT_TRUE(m.PlayAnimation(0, MeshBase::kSkeletal, -1.0f, true, 0));
    const float start = m.GetAnimationTime(MeshBase::kSkeletal);
    for (int i = 0; i < 9; ++i) m.UpdateSkeletal(true, true);
    EXPECT_NEAR(m.GetAnimationTime(MeshBase::kSkeletal) - start, 30.0f, 1e-3f) << "3 of 9 ticks at 10 ms";
    for (int i = 0; i < 3; ++i) m.DecRef();
}

TEST_F(MeshSkeletalTest, SkinThreadPlaysOnOneThreadWhileAnotherSkinsAndReadsBones) {
    AddAnimation("walk.ani", MakeSkelAnimFile(0x40003, 3, 2));
    MeshSkeletal& m = Make();
    ASSERT_TRUE(Add(m, SkinnedMeshDesc(3, "walk.ani", 30), "body.mom"));
    std::atomic<bool> done{false};
    std::thread render([&] {
        const Matrix world = MatrixIdentity();
        Matrix bone;
        while (!done.load()) {
            m.Render(world, nullptr);
            m.GetBoneMatrix(1, bone);
            m.GetFrameBounds(MeshSegment::kCurrentFrame);
        }
    });
    for (int i = 0; i < 300; ++i) {
        if (i % 50 == 0) m.PlayAnimation(i / 50 % 2, MeshBase::kSkeletal, -1.0f, true, 0);
        m.UpdateSkeletal(true, true);
    }
    done = true;
    render.join();
    EXPECT_TRUE(m.IsAnimationPlaying(MeshBase::kSkeletal));
}

}  // namespace

namespace {

TEST_F(MeshSkeletalTest, TheDemoFigureWalksAndWavesWithItsUpperBody) {
    const DemoFigureFiles figure = MakeDemoFigure("char/figure.ani");
    files->AddFile("char/figure.mom", figure.mesh);
    files->AddFile("char/figure.ani", figure.animation);
    files->AddFile("char/figure.ags", figure.ags);
    files->AddFile("char/figure.ini", figure.split);
    MeshSkeletal& m = Make();
    ASSERT_TRUE(m.LoadMeshFile("char/figure.mom")) << log.Joined();
    EXPECT_GE(m.ActionResult(), 1) << log.Joined();
    EXPECT_EQ(m.GetBoneCount(), 20);
    EXPECT_EQ(m.FindGroup("walk_wave"), 0);
    ASSERT_TRUE(m.PlayAnimation(m.FindAnimation("walk"), MeshBase::kSkeletal, -1.0f, true, 0));
    std::vector<std::string> events;
    Matrix thigh0, thigh1;
    for (int i = 0; i < 30; ++i) {
        m.UpdateSkeletal(true, true);
        if (i == 5) m.GetBoneMatrix(std::uint32_t(m.FindBone("LShin")), thigh0);
        std::string e;
        while (m.PopEvent(e)) events.push_back(e);
    }
    m.GetBoneMatrix(std::uint32_t(m.FindBone("LShin")), thigh1);
    EXPECT_NE(thigh0, thigh1) << "the legs walk";
    EXPECT_NE(std::find(events.begin(), events.end(), "step_left"), events.end());
    ASSERT_TRUE(m.PlaySplitAnimation(1, std::uint16_t(m.FindAnimation("wave")), -1.0f, 1, 1.0f)) << log.Joined();
    EXPECT_TRUE(m.SplitActive());
    for (int i = 0; i < 10; ++i) m.UpdateSkeletal(true, true);
    EXPECT_EQ(m.GetAnimationName(std::uint16_t(m.GetCurrentAnimation(MeshBase::kSkeletal))), "walk");
}

}  // namespace
