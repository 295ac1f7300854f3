#include "world/skeleton/SkelAnimsData.h"

#include <cstring>
#include <string>

#include "platform/host/IResFileSystem.h"
#include "platform/host/IUtils.h"
#include "platform/host/IXmlNode.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/NameHash64.h"
#include "world/core/XmlNodePtr.h"

namespace quor {

namespace {

constexpr std::size_t kNameSize = SkelAnimation::kNameSize;
// Bone names held for the records of majors 2 and 3.
constexpr std::uint32_t kMaxFileBones = 256;
// The smallest record block: name, key count and event count.
constexpr std::size_t kSmallestRecord = 32 + 2 + 2;

void ReadName(common::IXmlNode* node, char (&out)[32]) {
    std::memset(out, 0, sizeof out);
    node->GetStringAttribute(nullptr, "Name", out, sizeof out, "");
}

}  // namespace

SkelAnimsData::~SkelAnimsData() {
    ClearAnimations();
    groups.clear();
    sequences.clear();
}

void SkelAnimsData::ClearAnimations() {
    for (auto& record : animations) {
        if (record) record->Clear();
    }
    animations.clear();
    bindMatrices.reset();
    inverseBindMatrices = nullptr;
    bindMatrixCount = 0;
}

bool SkelAnimsData::IsSkelAnimFile(const std::uint8_t* data, std::size_t size) {
    return data && size >= kSkelAnimMinSize && BinaryReader::LoadU32(data) == kSkelAnimMagic;
}

std::uint64_t SkelAnimsData::ComputeContentHash(const std::uint8_t* data, std::size_t size) {
    return NameHash64Bytes(data, size);
}

std::uintptr_t SkelAnimsData::ParseHeader(const std::uint8_t* data, std::uint32_t size) {
    if (!IsSkelAnimFile(data, size)) return 0;
    image_ = BinaryReader(data, size);
    version = image_.U32At(4);
    if (version < kSkelAnimOldestVersion || version > kSkelAnimNewestVersion) return 0;
    image_.Seek(8);
    return reinterpret_cast<std::uintptr_t>(&image_);
}

int SkelAnimsData::ParseBody(std::uintptr_t header) {
    if (header != reinterpret_cast<std::uintptr_t>(&image_)) return 0;
    memorySize = 0;
    pivotFlagUnion = 0;
    const bool ok = (version & 0xFFFF0000u) == 0x40000u ? ParseMajor4(image_, pivotName_)
                                                        : ParseMajor23(image_, pivotName_);
    image_ = BinaryReader();
    if (!ok) ClearAnimations();
    return ok ? 1 : 0;
}

bool SkelAnimsData::AppendRecord(BinaryReader& in, std::unique_ptr<SkelAnimation> record, bool major2) {
    const bool ok = major2 ? record->ReadV2(in, version) : record->ReadV3(in, version);
    SkelAnimation* r = record.get();
    animations.push_back(std::move(record));
    if (!ok || !in.Ok()) return false;
    pivotFlagUnion |= r->pivotFlags;
    return true;
}

bool SkelAnimsData::ParseMajor23(BinaryReader& in, const char* pivotName) {
    const std::uint16_t bones = in.U16();
    // Bone indexes elsewhere are bytes and only 256 names are held for the records.
    if (!in.Ok() || bones == 0 || bones > kMaxFileBones) return false;
    in.Skip(bones);  // parent bytes: the skeleton itself comes from the mesh
    if (!in.CheckCount(bones, kNameSize)) return false;
    std::vector<char> names(std::size_t(bones) * kNameSize);
    in.Bytes(names.data(), names.size());
    if (version < 0x30004) {
        if (!in.CheckCount(bones, 64)) return false;
        bindMatrices.reset(NewArray<Matrix>(std::size_t(bones) * 2));
        if (!bindMatrices) return false;
        bindMatrixCount = bones;
        Matrix* stored = bindMatrices.get();
        Matrix* inverse = stored + bones;
        for (std::uint16_t b = 0; b < bones; ++b) in.F32s(stored[b].m, 16);
        Matrix halfTurn;
        MatrixRotationY(halfTurn, 3.1415927f);
        for (std::uint16_t b = 0; b < bones; ++b) {
            // The oldest files were exported facing the other way.
            if (version < 0x20002) MatrixMultiplyPlain(stored[b], halfTurn, inverse[b]);
            else inverse[b] = stored[b];
            MatrixInverseFast(inverse[b]);
        }
        inverseBindMatrices = inverse;
    }
    hasTransitions = version >= 0x30003 ? in.U8() : 0;
    const std::uint16_t count = in.U16();
    if (!in.Ok()) return false;
    memorySize += static_cast<std::uint32_t>(in.Offset());
    if (!in.CheckCount(count, kSmallestRecord)) return false;
    animations.reserve(count);
    const bool major2 = (version & 0xFFFF0000u) == 0x20000u;
    for (std::uint16_t a = 0; a < count; ++a) {
        std::unique_ptr<SkelAnimation> record(NewObject<SkelAnimation>());
        if (!record) return false;
        record->givenPivotName = pivotName;
        record->boneCount = bones;
        record->transitionCount = count;
        if (!major2 && hasTransitions) record->AllocTransitions(count);
        SkelAnimation* r = record.get();
        if (!AppendRecord(in, std::move(record), major2)) return false;
        r->SetBoneNames(names.data(), bones, version);
        memorySize += r->memorySize;
    }
    return true;
}

bool SkelAnimsData::ParseMajor4(BinaryReader& in, const char* pivotName) {
    hasTransitions = in.U8();
    const std::uint16_t count = in.U16();
    if (!in.Ok()) return false;
    memorySize += 11;
    if (!in.CheckCount(count, kSmallestRecord)) return false;
    animations.reserve(count);
    for (std::uint16_t a = 0; a < count; ++a) {
        std::unique_ptr<SkelAnimation> record(NewObject<SkelAnimation>());
        if (!record) return false;
        record->givenPivotName = pivotName;
        record->transitionCount = count;
        if (hasTransitions) record->AllocTransitions(count);
        SkelAnimation* r = record.get();
        if (!AppendRecord(in, std::move(record), false)) return false;
        memorySize += r->memorySize;
    }
    return true;
}

bool SkelAnimsData::LoadImage(const std::uint8_t* data, std::size_t size, const char* fileName,
                              const char* pivotName) {
    const char* shown = fileName ? fileName : "";
    ClearAnimations();
    if (!IsSkelAnimFile(data, size) || size > 0xFFFFFFFFu) {
        LogError("Bad format in skeletal animation file %s!", shown);
        return false;
    }
    version = BinaryReader::LoadU32(data + 4);
    if (version < kSkelAnimOldestVersion) {
        LogError("Skeletal animation file %s version too old!", shown);
        return false;
    }
    if (version > kSkelAnimNewestVersion) {
        LogError("Skeletal animation file %s version too new!", shown);
        return false;
    }
    pivotName_ = pivotName;
    if (!LoadFromMemory(data, static_cast<std::uint32_t>(size))) {
        LogError("Bad format in skeletal animation file %s!", shown);
        ClearAnimations();
        return false;
    }
    hasPivotTracks = 0;
    for (auto& record : animations) {
        record->BuildPivotTrack(pivotFlagUnion, version);
        if (record->pivotTrackBuilt) hasPivotTracks = 1;
        // The caller's pivot name is needed only while loading; it does not outlive the call.
        record->givenPivotName = nullptr;
    }
    SetVersion(static_cast<std::int32_t>(version));
    SetMemSize(static_cast<std::int32_t>(memorySize));
    contentHash = static_cast<std::uint32_t>(ComputeContentHash(data, size));
    return true;
}

bool SkelAnimsData::Load(const char* fileName, const char* pivotName) {
    common::IResFileSystem* fs = Interfaces().resFileSystem;
    common::IResFile* file = fs && fileName ? fs->OpenFile(fileName, 0) : nullptr;
    if (!file) {
        LogWarning("Skeletal animation file %s is not found!", fileName ? fileName : "");
        return false;
    }
    const bool ok = LoadImage(file->GetData(), file->GetSize(), fileName, pivotName);
    file->Close();
    if (!ok) return false;
    SetName(fileName);
    LoadCompanion(fileName);
    return true;
}

void SkelAnimsData::LoadCompanion(const char* fileName) {
    std::string name(fileName);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    name += ".ags";
    common::IResFileSystem* fs = Interfaces().resFileSystem;
    common::IUtils* utils = Interfaces().utils;
    common::IResFile* file = fs ? fs->OpenFile(name.c_str(), 0) : nullptr;
    if (!file) return;
    XmlNodePtr doc(utils ? utils->CreateXmlDocument() : nullptr);
    const bool parsed = doc && doc->Parse(file->GetData(), file->GetSize());
    file->Close();
    if (parsed && LoadAnimationExtra(doc.Get())) LogInfo("Skeletal extra file %s loaded.", name.c_str());
}

bool SkelAnimsData::LoadAnimationExtra(common::IXmlNode* document) {
    if (!document) return false;
    XmlNodePtr groupsNode(document->FirstChildElement("AnimationGroups"), true);
    if (!groupsNode) return false;
    groupsVersion = groupsNode->GetIntAttribute(nullptr, "Version", 1);
    const int groupCount = groupsNode->CountChildElements(nullptr);
    groups.assign(groupCount > 0 ? std::size_t(groupCount) : 0, AnimationGroup{});
    for (std::size_t g = 0; g < groups.size(); ++g) {
        XmlNodePtr groupNode = groupsNode.ChildAt(nullptr, int(g));
        if (!groupNode) continue;
        AnimationGroup& group = groups[g];
        ReadName(groupNode.Get(), group.name);
        const int memberCount = groupNode->CountChildElements(nullptr);
        for (int m = 0; m < memberCount; ++m) {
            XmlNodePtr memberNode = groupNode.ChildAt(nullptr, m);
            if (!memberNode) continue;
            char memberName[32];
            ReadName(memberNode.Get(), memberName);
            const std::int16_t index = FindAnimation(memberName);
            if (index < 0) {
                LogWarning("Invalid animation %s in animation group %s! It's not in skeletal animation list!",
                           memberName, group.name);
                continue;
            }
            AnimationGroupMember member;
            member.animation = static_cast<std::uint16_t>(index);
            member.priority = static_cast<std::uint16_t>(memberNode->GetUIntAttribute(nullptr, "Priority", 0));
            member.weight = memberNode->GetFloatAttribute(nullptr, "Weight", 1.0f);
            member.loop = memberNode->GetBoolAttribute(nullptr, "Loop", IsLooping(member.animation) != 0) ? 1 : 0;
            member.startTime = memberNode->GetFloatAttribute(nullptr, "StartTime", -1.0f);
            member.syncTo = static_cast<std::int32_t>(memberNode->GetUIntAttribute(nullptr, "SyncTo", 0xFFFFFFFFu));
            if (member.syncTo < 0) member.speedRate = memberNode->GetFloatAttribute(nullptr, "SpeedRate", 1.0f);
            group.members.push_back(member);
        }
    }
    XmlNodePtr sequencesNode(document->FirstChildElement("AnimationSequences"), true);
    if (!sequencesNode) return false;
    sequencesVersion = sequencesNode->GetIntAttribute(nullptr, "Version", 1);
    const int sequenceCount = sequencesNode->CountChildElements(nullptr);
    sequences.assign(sequenceCount > 0 ? std::size_t(sequenceCount) : 0, AnimationSequence{});
    for (std::size_t s = 0; s < sequences.size(); ++s) {
        XmlNodePtr sequenceNode = sequencesNode.ChildAt(nullptr, int(s));
        if (!sequenceNode) continue;
        AnimationSequence& sequence = sequences[s];
        ReadName(sequenceNode.Get(), sequence.name);
        const int itemCount = sequenceNode->CountChildElements(nullptr);
        for (int j = 0; j < itemCount; ++j) {
            XmlNodePtr itemNode = sequenceNode.ChildAt(nullptr, j);
            if (!itemNode) continue;
            char itemName[32];
            ReadName(itemNode.Get(), itemName);
            AnimationSequenceItem item;
            item.isGroup = itemNode->GetBoolAttribute(nullptr, "IsGroup", false) ? 1 : 0;
            const std::int16_t index = item.isGroup ? FindGroup(itemName) : FindAnimation(itemName);
            if (index < 0) {
                if (item.isGroup) {
                    LogWarning("Invalid animation group %s in animation sequence %s! It's not in skeletal animation "
                               "group list!",
                               itemName, sequence.name);
                } else {
                    LogWarning("Invalid animation %s in animation sequence %s! It's not in skeletal animation list!",
                               itemName, sequence.name);
                }
                continue;
            }
            item.index = static_cast<std::uint16_t>(index);
            item.speedRate = itemNode->GetFloatAttribute(nullptr, "SpeedRate", 1.0f);
            item.duration = itemNode->GetFloatAttribute(nullptr, "Duration", 0.0f);
            item.transitType = itemNode->GetUIntAttribute(nullptr, "TransitType", 16);
            if (item.transitType != 16) {
                item.transitTimeLength = itemNode->GetFloatAttribute(nullptr, "TransitTimeLength", -1.0f);
            }
            sequence.items.push_back(item);
        }
    }
    return true;
}

std::int16_t SkelAnimsData::FindAnimation(const char* name) const {
    if (!name) return -1;
    const std::uint32_t id = static_cast<std::uint32_t>(NameHash64(name));
    for (std::size_t i = 0; i < animations.size() && i < 0x8000; ++i) {
        if (animations[i]->nameId == id) return static_cast<std::int16_t>(i);
    }
    return -1;
}

std::int16_t SkelAnimsData::FindGroup(const char* name) const {
    if (!name) return -1;
    for (std::size_t i = 0; i < groups.size() && i < 0x8000; ++i) {
        if (std::strncmp(groups[i].name, name, sizeof groups[i].name) == 0) return static_cast<std::int16_t>(i);
    }
    return -1;
}

std::int16_t SkelAnimsData::FindSequence(const char* name) const {
    if (!name) return -1;
    for (std::size_t i = 0; i < sequences.size() && i < 0x8000; ++i) {
        if (std::strncmp(sequences[i].name, name, sizeof sequences[i].name) == 0) {
            return static_cast<std::int16_t>(i);
        }
    }
    return -1;
}

const SkelAnimation* SkelAnimsData::GetAnimation(std::uint16_t i) const { return At(i); }

const TrackData* SkelAnimsData::GetPivotTrack(std::uint16_t i) const {
    const SkelAnimation* a = At(i);
    return a ? a->pivotTrack.get() : nullptr;
}

std::uint8_t SkelAnimsData::IsLooping(std::uint16_t i) const {
    const SkelAnimation* a = At(i);
    return a ? a->loop : 0;
}

std::uint8_t SkelAnimsData::ScalesBones(std::uint16_t i) const {
    const SkelAnimation* a = At(i);
    return a ? a->scalesBones : 0;
}

std::uint16_t SkelAnimsData::GetPartMask(std::uint16_t i) const {
    const SkelAnimation* a = At(i);
    return a ? a->partMask : 0;
}

std::uint16_t SkelAnimsData::GetBoneCount(std::uint16_t i) const {
    const SkelAnimation* a = At(i);
    return a ? a->boneCount : 0;
}

const char* SkelAnimsData::GetBoneName(std::uint16_t i, std::uint16_t b) const {
    const SkelAnimation* a = At(i);
    return a ? a->GetBoneName(b) : nullptr;
}

const char* SkelAnimsData::GetPivotBoneName(std::uint16_t i) const {
    const SkelAnimation* a = At(i);
    return a ? a->pivotBoneName : nullptr;
}

const TrackChannel* SkelAnimsData::GetChannel(std::uint16_t i, std::uint16_t b) const {
    const SkelAnimation* a = At(i);
    return a && b < a->channels.size() ? &a->channels[b] : nullptr;
}

bool SkelAnimsData::IsChannelEuler(std::uint16_t i, std::uint16_t b) const {
    const TrackChannel* c = GetChannel(i, b);
    return c && c->eulerRotation != 0;
}

std::uint16_t SkelAnimsData::GetKeyCount(std::uint16_t i) const {
    const SkelAnimation* a = At(i);
    return a ? a->GetKeyCount() : 0;
}

double SkelAnimsData::GetLength(std::uint16_t i) const {
    const SkelAnimation* a = At(i);
    return a ? a->GetLength() : 0.0;
}

std::uint16_t SkelAnimsData::FindKeyForward(std::uint16_t i, float t, std::uint16_t start, float* fraction) const {
    const SkelAnimation* a = At(i);
    return a ? a->keyTimes.FindForward(t, start, fraction) : 0;
}

std::uint16_t SkelAnimsData::FindKeyBackward(std::uint16_t i, float t, std::uint16_t start, float* fraction) const {
    const SkelAnimation* a = At(i);
    return a ? a->keyTimes.FindBackward(t, start, fraction) : 0;
}

float SkelAnimsData::GetKeyTimeAt(std::uint16_t i, float t) const {
    const SkelAnimation* a = At(i);
    if (!a || !a->keyTimes.Times()) return 0.0f;
    return a->keyTimes.Times()[a->keyTimes.FindForward(t, 0, nullptr)];
}

const char* SkelAnimsData::GetEvent(std::uint16_t i, std::uint16_t k) const {
    const SkelAnimation* a = At(i);
    return a ? a->GetEvent(k) : nullptr;
}

std::uint16_t SkelAnimsData::GetMorphMarkerCount(std::uint16_t i) const {
    const SkelAnimation* a = At(i);
    return a ? a->morphMarkerCount : 0;
}

std::uint16_t SkelAnimsData::FindMorphSegment(std::uint16_t i, std::uint16_t key, bool forward) const {
    const SkelAnimation* a = At(i);
    return a ? a->FindMorphSegment(key, forward) : SkelAnimation::kNoSegment;
}

std::uint16_t SkelAnimsData::GetMorphMarkerKey(std::uint16_t i, std::uint32_t p) const {
    const SkelAnimation* a = At(i);
    return a ? a->GetMorphMarkerKey(p) : 0;
}

float SkelAnimsData::GetMorphMarkerTime(std::uint16_t i, std::uint32_t p) const {
    const SkelAnimation* a = At(i);
    return a ? a->GetMorphMarkerTime(p) : 0.0f;
}

const char* SkelAnimsData::GetMorphMarkerLabel(std::uint16_t i, std::uint32_t p) const {
    const SkelAnimation* a = At(i);
    return a ? a->GetMorphMarkerLabel(p) : nullptr;
}

bool SkelAnimsData::GetTransition(std::uint16_t i, std::uint16_t j, std::uint16_t* type, float* time,
                                  std::uint8_t* enabled) const {
    const SkelAnimation* a = At(i);
    return a && a->GetTransition(j, type, time, enabled);
}

void SkelAnimsData::SampleChannel(std::uint16_t i, std::uint16_t b, std::uint16_t key, float fraction,
                                  TransformKey& out) const {
    if (const SkelAnimation* a = At(i)) a->SampleChannel(b, key, fraction, out);
}

const AnimationSequence* SkelAnimsData::GetSequence(std::uint16_t s) const {
    return s < sequences.size() ? &sequences[s] : nullptr;
}

std::uint16_t SkelAnimsData::GetSequenceItemCount(std::uint16_t s) const {
    return s < sequences.size() ? static_cast<std::uint16_t>(sequences[s].items.size()) : 0;
}

const AnimationSequenceItem* SkelAnimsData::GetSequenceItem(std::uint16_t s, std::uint16_t j) const {
    return s < sequences.size() && j < sequences[s].items.size() ? &sequences[s].items[j] : nullptr;
}

}  // namespace quor
