#include "world/skeleton/MeshSkeletalData.h"

#include <cmath>
#include <cstring>

#include "platform/host/IXmlNode.h"
#include "world/core/Log.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/Memory.h"

namespace quor {

namespace {
constexpr std::uint32_t kBindPoseVersion = 0x20010;
constexpr std::uint32_t kSetListVersion = 0x20015;
constexpr std::uint32_t kBoneBoundsVersion = 0x20016;
constexpr std::uint32_t kBonesLinkedByNameVersion = 0x30001;

bool ReadText(BinaryReader& in, std::string& out) {
    const std::uint16_t length = in.U16();
    const std::uint8_t* text = in.Span(length);
    if (!in.Ok()) return false;
    out.assign(reinterpret_cast<const char*>(text), length);
    return true;
}
}  // namespace

bool MeshSkeletalData::ParentsReachRoots(const std::uint8_t* parents, std::uint16_t count) {
    for (std::uint16_t i = 0; i < count; ++i) {
        // Every walk from a bone to its root ends within `count` steps unless the parents
        // loop; the playback walks up the parents and would never end on such a skeleton.
        std::uint16_t bone = i;
        std::uint16_t steps = 0;
        while (parents[bone] != kNoBone) {
            if (parents[bone] >= count || ++steps > count) return false;
            bone = parents[bone];
        }
    }
    return true;
}

MeshSkeletalData::MeshSkeletalData() { std::memset(parents, kNoBone, sizeof parents); }

MeshSkeletalData::~MeshSkeletalData() { MeshSkeletalData::Clear(); }

void MeshSkeletalData::Clear() {
    boneCount = 0;
    std::memset(parents, kNoBone, sizeof parents);
    rootBone = kNoBone;
    boneNames.clear();
    boneBounds.clear();
    bindMatrices.reset();
    animationSets.clear();
    boundsEntryCounts.clear();
    skeletalMemorySize = 0;
    MeshData::Clear();
}

MeshVertexData* MeshSkeletalData::CreateVertexData(int lod) {
    lods[lod] = std::make_unique<MeshSkelVertexData>();
    return lods[lod].get();
}

bool MeshSkeletalData::CheckFileType(BinaryReader& in) { return ReadFileHeader(in, true); }

bool MeshSkeletalData::ReadCommonDataV2(BinaryReader& in) {
    return MeshData::ReadCommonDataV2(in) && ReadSkeletonBlock(in);
}

bool MeshSkeletalData::ReadCommonDataV3(BinaryReader& in) {
    return MeshData::ReadCommonDataV3(in) && ReadSkeletonBlock(in);
}

bool MeshSkeletalData::ReadFrameBounds(BinaryReader& in) { return in.Ok(); }

bool MeshSkeletalData::ReadSkeletonBlock(BinaryReader& in) {
    const std::uint16_t count = in.U16();
    if (!in.Ok()) return false;
    if (count == 0) return true;
    // Parents and skinned vertices name bones by a byte with 255 as "none".
    if (count > kMaxBones || !in.CheckCount(count, 1 + kBoneNameSize)) {
        LogError("Bad format in mesh file %s!", loadingName_);
        in.Fail();
        return false;
    }
    in.Bytes(parents, count);
    if (!ParentsReachRoots(parents, count)) {
        LogError("Bad format in mesh file %s!", loadingName_);
        std::memset(parents, kNoBone, sizeof parents);
        in.Fail();
        return false;
    }
    boneCount = count;
    rootBone = kNoBone;
    bool rootSeen = false;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (parents[i] != kNoBone) continue;
        if (rootSeen) {
            rootBone = kNoBone;  // several roots
            break;
        }
        rootSeen = true;
        rootBone = i;
    }
    boneNames.resize(std::size_t(count) * kBoneNameSize);
    in.Bytes(boneNames.data(), boneNames.size());
    if (version >= kBoneBoundsVersion && in.U8() != 0) {
        if (!in.CheckCount(count, 28)) return false;
        boneBounds.resize(count);
        for (Bounds& b : boneBounds) ReadBounds(in, b);
        if (std::isnan(boneBounds[0].radius)) boneBounds.clear();
    }
    if (version >= kBindPoseVersion) {
        if (!in.CheckCount(count, 64)) return false;
        bindMatrices.reset(NewArray<Matrix>(std::size_t(count) * 2));
        if (!bindMatrices) return false;
        for (std::uint16_t i = 0; i < count; ++i) in.F32s(bindMatrices[i].m, 16);
        for (std::uint16_t i = 0; i < count; ++i) {
            bindMatrices[count + i] = bindMatrices[i];
            // A singular pose has no inverse: skinning through the stored pose itself would
            // throw its vertices away, the identity leaves them where the file put them.
            if (!MatrixInverse(bindMatrices[count + i])) {
                LogWarning("Bone %.32s of mesh %s has a singular bind matrix: its inverse is the identity",
                           boneNames.empty() ? "" : &boneNames[std::size_t(i) * kBoneNameSize], loadingName_);
                MatrixIdentity(bindMatrices[count + i]);
            }
        }
    }
    if (version < kSetListVersion) {
        std::string name;
        if (!ReadText(in, name)) return false;
        if (!name.empty()) animationSets.push_back(AnimationSet{name, 0, {}});
    } else {
        const std::uint16_t sets = in.U16();
        if (!in.CheckCount(sets, 2)) return false;
        animationSets.resize(sets);
        for (AnimationSet& set : animationSets) {
            if (!ReadText(in, set.name)) return false;
        }
        if (in.U8() != 0) {
            for (AnimationSet& set : animationSets) {
                set.contentHash = in.U32();
                const std::uint16_t animations = in.U16();
                if (!in.CheckCount(animations, 2)) return false;
                set.animations.resize(animations);
                boundsEntryCounts.assign(animations, 0);
                for (std::uint16_t a = 0; a < animations; ++a) {
                    AnimationBounds& anim = set.animations[a];
                    anim.frameCount = in.U16();
                    if (!in.CheckCount(anim.frameCount, 28)) return false;
                    anim.bounds.resize(std::size_t(anim.frameCount) * 2);
                    for (std::uint16_t f = 0; f < anim.frameCount; ++f) ReadBounds(in, anim.bounds[f]);
                    BuildPairUnions(anim.bounds.data(), nullptr, anim.frameCount, 0);
                    boundsEntryCounts[a] = 2u * anim.frameCount;
                    skeletalMemorySize += 56u * anim.frameCount;
                }
            }
        }
    }
    if (!in.Ok()) return false;
    for (auto& lod : lods) {
        if (lod) static_cast<MeshSkelVertexData*>(lod.get())->boneCount = boneCount;
    }
    return true;
}

void MeshSkeletalData::WriteStats(common::IXmlNode* parent) const {
    XmlNodePtr node = XmlNodePtr(parent, false).AddChild("MeshSkeletalData");
    if (!node) return;
    node->SetStringAttribute(nullptr, "name", NameText());
    WriteXmlInt(node.Get(), nullptr, "mem_size", std::int32_t(fileSize));
    WriteXmlInt(node.Get(), nullptr, "sk_mem_size", std::int32_t(skeletalMemorySize));
    WriteXmlInt(node.Get(), nullptr, "ref_count", RefCount());
    WriteXmlInt(node.Get(), nullptr, "mesh_lod_count", lodCount);
    WriteXmlInt(node.Get(), nullptr, "sub_count", std::int32_t(subMeshCount));
    for (int i = 0; i < lodCount; ++i) {
        XmlNodePtr info = node.AddChild("VertexInfo");
        if (!info) continue;
        WriteXmlInt(info.Get(), nullptr, "lod", i);
        WriteXmlInt(info.Get(), nullptr, "vertex_count", std::int32_t(lods[i]->vertexCount));
        WriteXmlInt(info.Get(), nullptr, "tri_count", std::int32_t(lods[i]->triangleCount));
        WriteXmlInt(info.Get(), nullptr, "uv_channel_count", lods[i]->uvChannelCount);
        WriteXmlInt(info.Get(), nullptr, "has_color", lods[i]->hasColour);
    }
}

const Bounds& MeshSkeletalData::GetAnimationBounds(std::uint32_t frame, std::uint32_t animation,
                                                   std::uint32_t set) const {
    if (boundsEntryCounts.empty()) LogWarning("骨骼动画没有帧数！\n");
    if (set >= animationSets.size()) return bounds;
    const AnimationSet& s = animationSets[set];
    if (animation >= s.animations.size()) return bounds;
    const AnimationBounds& a = s.animations[animation];
    if (a.bounds.empty()) return bounds;
    if (a.frameCount == 1) return a.bounds[0];
    const std::size_t entry = std::size_t(a.frameCount) + frame;
    if (entry >= a.bounds.size()) return a.bounds[0];
    return a.bounds[entry];
}

const Bounds& MeshSkeletalData::GetSubMeshBounds(std::uint32_t subMesh) const {
    static const Bounds kNone{};
    return subMesh < subMeshes.size() ? subMeshes[subMesh].bounds : kNone;
}

const char* MeshSkeletalData::GetBoneName(std::uint32_t bone) const {
    return bone < boneCount ? boneNames.data() + std::size_t(bone) * kBoneNameSize : nullptr;
}

const Matrix* MeshSkeletalData::GetBindMatrix(std::uint32_t bone) const {
    return bindMatrices && bone < boneCount ? &bindMatrices[bone] : nullptr;
}

const Matrix* MeshSkeletalData::GetInverseBindMatrix(std::uint32_t bone) const {
    return bindMatrices && bone < boneCount ? &bindMatrices[boneCount + bone] : nullptr;
}

void MeshSkeletalData::SetAnimationSetCount(std::uint32_t count) {
    if (animationSets.size() < count) animationSets.resize(count);
}

void MeshSkeletalData::SetAnimationCount(std::uint32_t count, std::uint32_t set) {
    SetAnimationSetCount(set + 1);
    AnimationSet& s = animationSets[set];
    for (std::size_t a = count; a < s.animations.size(); ++a)
        skeletalMemorySize -= 56u * s.animations[a].frameCount;
    s.animations.resize(count);
    if (boundsEntryCounts.size() < count) boundsEntryCounts.resize(count, 0);
}

bool MeshSkeletalData::SetFrameCount(std::uint16_t frames, std::uint32_t animation, std::uint32_t set) {
    if (set >= animationSets.size() || animation >= animationSets[set].animations.size()) return false;
    AnimationBounds& a = animationSets[set].animations[animation];
    skeletalMemorySize -= 56u * a.frameCount;
    a.frameCount = frames;
    a.bounds.assign(std::size_t(frames) * 2, Bounds{});
    skeletalMemorySize += 56u * frames;
    if (boundsEntryCounts.size() <= animation) boundsEntryCounts.resize(animation + 1, 0);
    boundsEntryCounts[animation] = 2u * frames;
    return true;
}

bool MeshSkeletalData::SetFrameBound(std::uint32_t frame, std::uint32_t animation, std::uint32_t set,
                                     const Bounds& b) {
    if (set >= animationSets.size() || animation >= animationSets[set].animations.size()) return false;
    AnimationBounds& a = animationSets[set].animations[animation];
    if (frame >= a.frameCount) return false;
    a.bounds[frame] = b;
    return true;
}

void MeshSkeletalData::FinishFrameBounds(std::uint32_t animation, std::uint32_t set) {
    if (set >= animationSets.size() || animation >= animationSets[set].animations.size()) return;
    AnimationBounds& a = animationSets[set].animations[animation];
    if (a.frameCount > 0) BuildPairUnions(a.bounds.data(), nullptr, a.frameCount, 0);
}

void MeshSkeletalData::CopyAnimationBounds(const MeshSkeletalData& other) {
    if (&other == this) return;
    animationSets = other.animationSets;
    boundsEntryCounts = other.boundsEntryCounts;
    skeletalMemorySize = other.skeletalMemorySize;
}

void MeshSkeletalData::ClearAnimationBounds(std::uint32_t set) {
    if (set >= animationSets.size()) return;
    for (const AnimationBounds& a : animationSets[set].animations) skeletalMemorySize -= 56u * a.frameCount;
    animationSets[set].animations.clear();
    animationSets[set].animations.shrink_to_fit();
}

std::uint32_t MeshSkeletalData::GetContentHash(std::uint32_t set) const {
    return set < animationSets.size() ? animationSets[set].contentHash : 0;
}

void MeshSkeletalData::SetContentHash(std::uint32_t set, std::uint32_t hash) {
    SetAnimationSetCount(set + 1);
    animationSets[set].contentHash = hash;
}

std::unique_ptr<Matrix[]> MeshSkeletalData::MakeBindPose(std::uint16_t bones, const Matrix* matrices) {
    if (bones == 0) return nullptr;
    std::unique_ptr<Matrix[]> table(NewArray<Matrix>(std::size_t(bones) * 2));
    if (!table) return nullptr;
    for (std::size_t i = 0; i < std::size_t(bones) * 2; ++i) {
        if (matrices) table[i] = matrices[i];
        else MatrixIdentity(table[i]);
    }
    return table;
}

void MeshSkeletalData::EnsureBindPose(const Matrix* matrices) { bindMatrices = MakeBindPose(boneCount, matrices); }

int MeshSkeletalData::LinkSocketsToBones() {
    if (socketVersion < kBonesLinkedByNameVersion && !socketsFromXml) {
        for (auto& socket : sockets) {
            std::memset(socket->boneName, 0, sizeof socket->boneName);
            // An index past the skeleton names no bone, like a negative one.
            if (socket->boneIndex >= 0 && std::uint32_t(socket->boneIndex) < boneCount) {
                std::memcpy(socket->boneName, GetBoneName(socket->boneIndex), kBoneNameSize);
            }
        }
        return 1;
    }
    int result = 1;
    for (auto& socket : sockets) {
        if (socket->boneName[0] == 0) continue;
        int found = -1;
        for (std::uint16_t b = 0; b < boneCount; ++b) {
            if (std::strncmp(socket->boneName, GetBoneName(b), kBoneNameSize) == 0) found = b;
        }
        if (found < 0) {
            LogError("Socket %.32s: bone %.32s is not in the skeleton!", socket->name, socket->boneName);
            std::memset(socket->boneName, 0, sizeof socket->boneName);
            result = 5;
        } else {
            socket->boneIndex = std::int16_t(found);
        }
    }
    return result;
}

}  // namespace quor
