#include "world/skeleton/SkelAnimState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "world/core/FrameTimeControl.h"
#include "world/core/IniFile.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/NameHash64.h"
#include "world/core/math/Quaternion.h"
#include "world/skeleton/SkelAnimsDataMgr.h"

namespace quor {

namespace {

constexpr float kTimeEpsilon = 0.0001f;
constexpr std::size_t kNameSize = 32;
constexpr char kSplitBoneName[] = "Bip01 Spine1";
// A layer that stopped fades out over 1 / 0.003 ms.
constexpr float kLayerFadePerMs = 0.003f;
// Transition used when a group restarts what already plays.
constexpr std::uint32_t kRestartType = 3;
constexpr float kRestartTime = 300.0f;

void ResetPose(std::vector<TransformKey>& pose, std::size_t count) { pose.assign(count, TransformKey{}); }

// a goes before b.
bool ChannelBefore(const AnimationChannel& a, const AnimationChannel& b) {
    if (a.priority != b.priority) return a.priority < b.priority;
    if (a.wholeBody != b.wholeBody) return a.wholeBody > b.wholeBody;
    const bool a7 = a.partMask == 7, b7 = b.partMask == 7;
    if (a7 != b7) return a7;
    return a.blendWeight > b.blendWeight;
}

std::uint16_t WrapNext(std::uint16_t p, std::uint16_t count, bool reverse) {
    if (count == 0) return 0;
    if (reverse) return p == 0 ? std::uint16_t(count - 1) : std::uint16_t(p - 1);
    return std::uint16_t(p + 1 >= count ? 0 : p + 1);
}

bool SameLabel(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

}  // namespace

SkelAnimState::SkelAnimState() {
    MatrixIdentity(m_splitBoneMatrix);
    m_datas.reserve(kReservedFiles);
    m_bindings.reserve(kReservedFiles);
    m_layers.reserve(kMaxLayers);
    m_previousLayers.reserve(kMaxLayers);
    m_accumulated.assign(std::size_t(kMaxBones) * 3, 0.0f);
}

SkelAnimState::~SkelAnimState() { ClearAnimationState(); }

// --- skeleton and files -------------------------------------------------------------------------

bool SkelAnimState::SetSkeleton(const std::uint8_t* parents, const char* names, std::uint16_t count) {
    m_boneCount = 0;
    m_links.clear();
    m_walk.clear();
    m_boneMatrices.reset();
    m_published = nullptr;
    if (!parents || count == 0 || count > kMaxBones) return false;
    for (std::uint16_t b = 0; b < count; ++b) {
        if (parents[b] != kNoBone && parents[b] >= count) return false;
    }
    // A parent chain longer than the bone count has come back on itself.
    for (std::uint16_t b = 0; b < count; ++b) {
        std::uint16_t steps = 0;
        for (std::uint8_t p = parents[b]; p != kNoBone; p = parents[p]) {
            if (++steps > count) return false;
        }
    }
    std::unique_ptr<Matrix[]> matrices(NewArray<Matrix>(count));
    if (!matrices) return false;
    for (std::uint16_t b = 0; b < count; ++b) MatrixIdentity(matrices[b]);
    m_links.assign(count, BoneLink{});
    std::vector<std::uint8_t> roots;
    for (std::uint16_t b = 0; b < count; ++b) {
        BoneLink& link = m_links[b];
        link.parent = parents[b];
        if (link.parent == kNoBone) {
            roots.push_back(std::uint8_t(b));
            continue;
        }
        // At the front of the parent's children: they are walked from the highest index down.
        link.nextSibling = m_links[link.parent].firstChild;
        m_links[link.parent].firstChild = std::uint8_t(b);
    }
    m_walk.clear();
    m_walk.reserve(count);
    m_walkPos.assign(count, 0);
    m_subtreeSize.assign(count, 1);
    std::vector<std::uint8_t> stack;
    stack.reserve(count);
    for (std::uint8_t root : roots) {
        stack.push_back(root);
        while (!stack.empty()) {
            const std::uint8_t b = stack.back();
            stack.pop_back();
            m_walkPos[b] = std::uint16_t(m_walk.size());
            m_walk.push_back(b);
            // Pushed in reverse so the first child is walked first.
            std::uint8_t children[256];
            int n = 0;
            for (std::uint8_t c = m_links[b].firstChild; c != kNoBone; c = m_links[c].nextSibling) children[n++] = c;
            while (n > 0) stack.push_back(children[--n]);
        }
    }
    // Subtree sizes from the leaves up: a bone's subtree is the run of the walk after it.
    for (std::size_t i = m_walk.size(); i-- > 0;) {
        const std::uint8_t b = m_walk[i];
        if (m_links[b].parent != kNoBone) m_subtreeSize[m_links[b].parent] += m_subtreeSize[b];
    }
    m_walkOrderFirst = roots.size() == 1 ? roots[0] : kNoBone;
    m_boneCount = count;
    m_boneMatrices = std::move(matrices);
    m_boneNames.assign(std::size_t(count) * kNameSize, 0);
    if (names) std::memcpy(m_boneNames.data(), names, m_boneNames.size());
    ResetPose(m_pose, count);
    ResetPose(m_previousPose, count);
    ResetPose(m_overridePose, count);
    m_published = m_pose.data();
    m_boundValid = false;
    for (std::size_t s = 0; s < m_datas.size(); ++s) {
        if (m_datas[s]) BindAnimationData(std::uint16_t(s));
    }
    return true;
}

int SkelAnimState::AttachAnimationFile(const char* fileName, std::uint32_t meshSkeletonVersion, std::int16_t slot,
                                       const char* pivotName) {
    if (slot < 0) return 0;
    const std::size_t oldSize = m_datas.size();
    if (m_datas.size() < std::size_t(slot) + 1) {
        m_datas.resize(std::size_t(slot) + 1, nullptr);
        m_bindings.resize(std::size_t(slot) + 1);
    }
    SkelAnimsData* data = SkelAnimsDataMgr::GetInstance().GetOrLoad(fileName, pivotName);
    if (!data) {
        if (m_datas.size() != oldSize) {
            m_datas.resize(oldSize);
            m_bindings.resize(oldSize);
        }
        return 0;
    }
    if (meshSkeletonVersion < 0x20010 && data->version >= 0x30004) {
        SkelAnimsDataMgr::GetInstance().Release(data);
        if (m_datas.size() != oldSize) {
            m_datas.resize(oldSize);
            m_bindings.resize(oldSize);
        }
        return -2;
    }
    if (SkelAnimsData* old = m_datas[std::size_t(slot)]) {
        // The slot's file is replaced: what played from it stops, and its reference goes back.
        auto drop = [&](AnimationChannel& c) {
            if (c.animation != kNone && c.dataIndex == std::uint16_t(slot)) ResetChannel(c);
        };
        drop(m_current);
        drop(m_previous);
        drop(m_split);
        if (m_split.animation == kNone) m_splitActive = 0;
        auto fromSlot = [&](const AnimationChannel& c) { return c.dataIndex == std::uint16_t(slot); };
        m_layers.erase(std::remove_if(m_layers.begin(), m_layers.end(), fromSlot), m_layers.end());
        m_previousLayers.erase(std::remove_if(m_previousLayers.begin(), m_previousLayers.end(), fromSlot),
                               m_previousLayers.end());
        if (m_previous.animation == kNone) {
            m_transitionType = 0;
            m_transitionTotal = m_transitionRemaining = 0.0f;
        }
        SkelAnimsDataMgr::GetInstance().Release(old);
    }
    m_datas[std::size_t(slot)] = data;
    m_bindings[std::size_t(slot)].clear();
    if (m_boneCount) BindAnimationData(std::uint16_t(slot));
    return 1;
}

void SkelAnimState::BindAnimationData(std::uint16_t slot) {
    if (slot >= m_datas.size() || !m_datas[slot]) return;
    const SkelAnimsData& data = *m_datas[slot];
    std::vector<Binding>& bindings = m_bindings[slot];
    bindings.assign(data.GetAnimationCount(), Binding{});
    for (std::uint16_t a = 0; a < data.GetAnimationCount(); ++a) {
        const SkelAnimation& anim = *data.GetAnimation(a);
        Binding& binding = bindings[a];
        binding.table.assign(m_boneCount, kNone);
        for (std::uint16_t b = 0; b < m_boneCount; ++b) {
            const char* boneName = &m_boneNames[std::size_t(b) * kNameSize];
            for (std::uint16_t c = 0; c < anim.boneCount && c < anim.channels.size(); ++c) {
                const char* channelName = anim.GetBoneName(c);
                if (channelName && std::strncmp(channelName, boneName, kNameSize) == 0) {
                    binding.table[b] = c;
                    break;
                }
            }
        }
        binding.startBone = kNoBone;
        if (anim.pivotBoneName[0]) {
            for (std::uint16_t b = 0; b < m_boneCount; ++b) {
                if (std::strncmp(&m_boneNames[std::size_t(b) * kNameSize], anim.pivotBoneName, kNameSize) == 0) {
                    binding.startBone = std::uint8_t(b);
                    break;
                }
            }
        }
        binding.wholeBody = binding.startBone == kNoBone || m_links[binding.startBone].parent == kNoBone;
    }
}

void SkelAnimState::ResetChannel(AnimationChannel& c) const {
    AnimationChannel fresh;
    fresh.pose.swap(c.pose);
    c = std::move(fresh);
}

void SkelAnimState::ClearAnimationState() {
    m_transitionType = 0;
    m_transitionTotal = m_transitionRemaining = 0.0f;
    m_suppressCrossFade = true;
    m_layers.clear();
    m_previousLayers.clear();
    m_links.clear();
    m_walk.clear();
    m_walkPos.clear();
    m_subtreeSize.clear();
    m_pose.clear();
    m_previousPose.clear();
    m_overridePose.clear();
    m_published = nullptr;
    m_boneMatrices.reset();
    m_boneCount = 0;
    ResetChannel(m_current);
    ResetChannel(m_previous);
    ResetChannel(m_split);
    m_splitActive = 0;
    for (SkelAnimsData* data : m_datas) SkelAnimsDataMgr::GetInstance().Release(data);
    m_datas.clear();
    m_bindings.clear();
    ClearEvents();
}

void SkelAnimState::ClearEvents() {
    m_eventQueueFirst = 0;
    m_eventQueueCount = 0;
    m_eventIdCount = 0;
}

bool SkelAnimState::ResolveAnimation(std::uint16_t global, std::uint16_t& data, std::uint16_t& animation) const {
    std::uint32_t offset = 0;
    for (std::size_t s = 0; s < m_datas.size(); ++s) {
        const std::uint32_t count = m_datas[s] ? m_datas[s]->GetAnimationCount() : 0;
        if (global < offset + count) {
            data = std::uint16_t(s);
            animation = std::uint16_t(global - offset);
            return true;
        }
        offset += count;
    }
    return false;
}

int SkelAnimState::GetAnimationCount() const {
    int total = 0;
    for (const SkelAnimsData* d : m_datas) total += d ? d->GetAnimationCount() : 0;
    return total;
}

std::uint16_t SkelAnimState::DataOffset(std::uint16_t data) const {
    std::uint32_t offset = 0;
    for (std::size_t s = 0; s < data && s < m_datas.size(); ++s) offset += m_datas[s] ? m_datas[s]->GetAnimationCount() : 0;
    return std::uint16_t(offset);
}

std::uint16_t SkelAnimState::GlobalOf(const AnimationChannel& c) const {
    if (c.animation == kNone) return kNone;
    return std::uint16_t(DataOffset(c.dataIndex) + c.animation);
}

std::int16_t SkelAnimState::FindAnimation(const char* name) const {
    for (std::size_t s = 0; s < m_datas.size(); ++s) {
        if (!m_datas[s]) continue;
        const std::int16_t a = m_datas[s]->FindAnimation(name);
        if (a >= 0) return std::int16_t(DataOffset(std::uint16_t(s)) + a);
    }
    return -1;
}

std::int16_t SkelAnimState::FindGroup(const char* name) const {
    const SkelAnimsData* d = Data(m_current.dataIndex);
    return d ? d->FindGroup(name) : -1;
}

const SkelAnimation* SkelAnimState::AnimationOf(const AnimationChannel& c) const {
    if (c.animation == kNone || c.dataIndex >= m_datas.size() || !m_datas[c.dataIndex]) return nullptr;
    return m_datas[c.dataIndex]->GetAnimation(c.animation);
}

const SkelAnimState::Binding* SkelAnimState::BindingOf(const AnimationChannel& c) const {
    if (c.animation == kNone || c.dataIndex >= m_bindings.size()) return nullptr;
    const std::vector<Binding>& b = m_bindings[c.dataIndex];
    if (c.animation >= b.size() || b[c.animation].table.size() != m_boneCount) return nullptr;
    return &b[c.animation];
}

// --- channels ---------------------------------------------------------------------------------

void SkelAnimState::FindChannelKey(AnimationChannel& c) const {
    const SkelAnimation* anim = AnimationOf(c);
    if (!anim || anim->GetKeyCount() == 0) return;
    const float t = static_cast<float>(c.clock.time);
    c.key = c.clock.reverse ? anim->keyTimes.FindBackward(t, c.eventKey, &c.fraction)
                            : anim->keyTimes.FindForward(t, c.eventKey, &c.fraction);
}

void SkelAnimState::AdjustEventKeyAfterSeek(AnimationChannel& c) const {
    const SkelAnimation* anim = AnimationOf(c);
    const std::uint16_t keys = anim ? anim->GetKeyCount() : 0;
    if (keys == 0) return;
    if (c.fraction < kTimeEpsilon) c.eventKey = c.key == 0 ? std::uint16_t(keys - 1) : std::uint16_t(c.key - 1);
    else c.eventKey = c.key;
}

bool SkelAnimState::SetChannel(AnimationChannel& c, std::uint16_t data, std::uint16_t animation, float startTime,
                               TransformKey* pose) {
    const SkelAnimsData* d = Data(data);
    const SkelAnimation* anim = d ? d->GetAnimation(animation) : nullptr;
    if (!anim || anim->GetKeyCount() == 0) return false;
    if (c.animation == animation && c.dataIndex == data && startTime < -kTimeEpsilon) {
        // Playing it again without a start time lets a running clip run on.
        if (!c.clock.playing && c.clock.length > 0.0 && c.clock.time >= c.clock.rangeEnd - kTimeEpsilon) {
            c.clock.time = 0.0;
            c.key = 0;
            c.fraction = 0.0f;
            c.eventKey = std::uint16_t(anim->GetKeyCount() - 1);
        }
        return true;
    }
    c.dataIndex = data;
    c.animation = animation;
    const Binding* binding = BindingOf(c);
    c.wholeBody = binding ? binding->wholeBody : 1;
    c.partMask = anim->partMask;
    // A one-key clip has no length; the previous clip's must not stay.
    c.clock.length = 0.0;
    c.clock.rangeStart = c.clock.rangeEnd = 0.0;
    c.clock.time = 0.0;
    c.clock.SetLength(static_cast<float>(anim->GetLength()));
    c.clock.loop = anim->loop;
    c.speedRate = 1.0f;
    c.markerPosition = 0;
    if (startTime < -kTimeEpsilon) {
        c.clock.time = 0.0;
        c.key = 0;
        c.fraction = 0.0f;
        c.eventKey = std::uint16_t(anim->GetKeyCount() - 1);
    } else {
        c.clock.Seek(startTime);
        c.eventKey = 0;
        c.key = anim->keyTimes.FindForward(static_cast<float>(c.clock.time), 0, &c.fraction);
        AdjustEventKeyAfterSeek(c);
    }
    // A one-key clip never advances; it poses at once.
    if (anim->GetKeyCount() == 1 && pose) SampleChannel(c, pose, nullptr, 0);
    return true;
}

void SkelAnimState::ApplyLoopFlags(AnimationChannel& c, std::uint8_t loopFlags) const {
    if (loopFlags & 2) {
        const SkelAnimation* anim = AnimationOf(c);
        c.clock.loop = anim ? anim->loop : 1;
    } else {
        c.clock.loop = loopFlags & 1;
    }
}

bool SkelAnimState::WritesBone(std::uint16_t bone, int splitPart) const {
    if (!m_splitActive) return true;
    if (splitPart == 0) return m_upper[bone];
    return m_lower[bone];
}

void SkelAnimState::SampleChannel(const AnimationChannel& c, TransformKey* pose, float* accumulate,
                                  int splitPart) const {
    const SkelAnimation* anim = AnimationOf(c);
    const Binding* binding = BindingOf(c);
    if (!anim || !binding || !pose || m_walk.size() != m_boneCount) return;
    std::size_t begin = 0, end = m_walk.size();
    if (!c.wholeBody && binding->startBone != kNoBone) {
        begin = SubtreeBegin(binding->startBone);
        end = SubtreeEnd(binding->startBone);
    }
    const float w = c.blendWeight;
    for (std::size_t i = begin; i < end; ++i) {
        const std::uint8_t b = m_walk[i];
        const std::uint16_t channel = binding->table[b];
        if (channel == kNone || !WritesBone(b, splitPart)) continue;
        anim->channels[channel].Sample(c.key, c.fraction, pose[b]);
        if (accumulate) {
            if (c.partMask & 1) accumulate[b * 3 + 0] += w;
            if (c.partMask & 2) accumulate[b * 3 + 1] += w;
            if (c.partMask & 4) accumulate[b * 3 + 2] += w;
        }
    }
}

void SkelAnimState::BlendLayer(const AnimationChannel& c, float w, TransformKey* pose) const {
    const Binding* binding = BindingOf(c);
    if (!binding || c.pose.size() != m_boneCount) return;
    std::size_t begin = 0, end = m_walk.size();
    if (!c.wholeBody && binding->startBone != kNoBone) {
        begin = SubtreeBegin(binding->startBone);
        end = SubtreeEnd(binding->startBone);
    }
    for (std::size_t i = begin; i < end; ++i) {
        const std::uint8_t b = m_walk[i];
        if (binding->table[b] == kNone || !WritesBone(b, 0)) continue;
        const float* acc = &m_accumulated[b * 3];
        const Vec3 f{(c.partMask & 1) && acc[0] > 0.0f ? w / acc[0] : 0.0f,
                     (c.partMask & 2) && acc[1] > 0.0f ? w / acc[1] : 0.0f,
                     (c.partMask & 4) && acc[2] > 0.0f ? w / acc[2] : 0.0f};
        BlendTransformKeyWeighted(pose[b], c.pose[b], f);
    }
}

void SkelAnimState::SampleLayered(AnimationChannel& current, std::vector<AnimationChannel>& layers,
                                  TransformKey* pose, bool advanceLayers) {
    if (layers.empty()) {
        SampleChannel(current, pose, nullptr, 0);
        return;
    }
    std::fill_n(m_accumulated.begin(), std::size_t(m_boneCount) * 3, 0.0f);
    SampleChannel(current, pose, m_accumulated.data(), 0);
    std::int32_t maxPriority = current.priority;
    const float frameMs = static_cast<float>(GetFrameMilliseconds());
    for (std::size_t i = 0; i < layers.size();) {
        AnimationChannel& layer = layers[i];
        float w = layer.blendWeight;
        if (layer.clock.playing) {
            if (advanceLayers) {
                layer.clock.Tick();
                if (!layer.clock.playing) layer.fade = 1.0f;
            }
        } else {
            if (layer.fade <= 0.0f) {
                layers.erase(layers.begin() + std::ptrdiff_t(i));
                continue;
            }
            w = layer.blendWeight * layer.fade;
            if (advanceLayers) layer.fade -= frameMs * kLayerFadePerMs;
        }
        FindChannelKey(layer);
        if (layer.priority > maxPriority) {
            std::fill_n(m_accumulated.begin(), std::size_t(m_boneCount) * 3, 0.0f);
            maxPriority = layer.priority;
        }
        if (pose) {
            SampleChannel(layer, layer.pose.data(), m_accumulated.data(), 0);
            BlendLayer(layer, w, pose);
        }
        ++i;
    }
}

void SkelAnimState::CopyToPrevious() {
    std::vector<TransformKey> keep;
    keep.swap(m_previous.pose);
    m_previous = m_current;
    m_previous.pose.swap(keep);
    m_previousPose = m_pose;
}

void SkelAnimState::TransitionDefaults(std::uint32_t& type, float& time) const {
    type = 16;
    time = 0.0f;
    if (m_previous.animation == kNone || m_previous.dataIndex != m_current.dataIndex) return;
    const SkelAnimsData* d = Data(m_current.dataIndex);
    std::uint16_t t = 16;
    float ms = 0.0f;
    if (d && d->GetTransition(m_previous.animation, m_current.animation, &t, &ms, nullptr)) {
        type = t;
        time = ms;
    }
}

// --- playing ----------------------------------------------------------------------------------

bool SkelAnimState::PlaySkeletalAnimation(std::uint16_t global, float transitTime, std::uint32_t transitType,
                                          float startTime, std::uint8_t loopFlags, float speed) {
    if (global >= GetAnimationCount()) {
        if (global != kNone || m_current.animation == kNone) return false;
        global = GlobalOf(m_current);
    }
    std::uint16_t data = 0, animation = 0;
    if (!ResolveAnimation(global, data, animation)) return false;
    const SkelAnimation* anim = m_datas[data]->GetAnimation(animation);
    if (!anim || anim->GetKeyCount() == 0) return false;
    ClearEvents();
    if (!m_layers.empty()) {
        AnimationGroupMember member;
        member.animation = global;
        member.loop = (loopFlags & 2) ? anim->loop : (loopFlags & 1);
        member.startTime = startTime;
        return PlayGroupMembers(&member, 1, transitTime, transitType, speed);
    }
    const bool suppressed = m_suppressCrossFade;
    if (!suppressed) CopyToPrevious();
    SetChannel(m_current, data, animation, startTime, m_pose.empty() ? nullptr : m_pose.data());
    ApplyLoopFlags(m_current, loopFlags);
    m_current.blendWeight = 1.0f;
    m_current.priority = 0;
    m_current.clock.SetSpeed(m_globalSpeed * speed);
    m_current.clock.Play();
    std::uint32_t type;
    float time;
    TransitionDefaults(type, time);
    if (transitType != 16) type = transitType;
    if (transitTime >= -kTimeEpsilon) time = transitTime;
    if (!suppressed) StartCrossFade(type, time);
    else m_transitionType = 0, m_transitionTotal = m_transitionRemaining = 0.0f;
    m_previousLayers.clear();
    m_suppressCrossFade = false;
    if (anim->GetKeyCount() == 1 && !m_pose.empty()) {
        m_published = m_pose.data();
        RebuildMatrices();
    }
    return true;
}

void SkelAnimState::StartCrossFade(std::uint32_t type, float time) {
    const float t = time < 0.0f ? 0.0f : time;
    if (type == 0 || m_suppressCrossFade || m_previous.animation == kNone) {
        m_transitionType = 0;
        m_transitionTotal = m_transitionRemaining = 0.0f;
        return;
    }
    if (m_transitionRemaining > 0.0f || !m_previous.clock.playing) {
        m_transitionType = 1;
        m_transitionTotal = m_transitionRemaining = t;
        return;
    }
    m_transitionTotal = m_transitionRemaining = t;
    m_transitionType = type;
    if (type == 1 || type == 2) {
        m_previous.clock.playing = 0;
        return;
    }
    if (type != 4 && type != 16) return;  // 3 and above 4: the old clip plays on
    if (m_previous.animation == m_current.animation && m_previous.dataIndex == m_current.dataIndex) {
        m_transitionType = 0;
        m_transitionTotal = m_transitionRemaining = 0.0f;
        return;
    }
    m_previous.clock.Play();
    m_transitionType = 4;
    const SkelAnimation* p = AnimationOf(m_previous);
    const SkelAnimation* n = AnimationOf(m_current);
    if (!p || !n || p->morphMarkerCount == 0 || n->morphMarkerCount == 0) {
        m_transitionType = 3;
        return;
    }
    const bool reverse = m_previous.clock.reverse != 0;
    std::uint16_t pos = p->FindMorphSegment(m_previous.key, !reverse);
    if (pos >= p->morphMarkerCount) pos = 0;
    int match = -1;
    for (std::uint16_t tries = 0; tries < p->morphMarkerCount && match < 0; ++tries) {
        const char* label = p->GetMorphMarkerLabel(pos);
        for (std::uint16_t j = 0; j < n->morphMarkerCount; ++j) {
            if (SameLabel(label, n->GetMorphMarkerLabel(j))) {
                match = j;
                break;
            }
        }
        if (match < 0) pos = WrapNext(pos, p->morphMarkerCount, !reverse);
    }
    if (match < 0) {
        m_transitionType = 3;
        return;
    }
    m_previous.markerPosition = pos;
    AnimationChannel t2;
    t2.dataIndex = m_current.dataIndex;
    t2.animation = m_current.animation;
    t2.clock = m_current.clock;
    t2.eventKey = m_current.eventKey;
    t2.markerPosition = std::uint16_t(match);
    const float s = Sync(t2, m_previous);
    m_previous.clock.speed = s != 0.0f ? m_current.clock.speed / s : m_current.clock.speed;
    m_previous.speedRate = m_globalSpeed != 0.0f ? m_previous.clock.speed / m_globalSpeed : 1.0f;
    m_current.clock.time = t2.clock.time;
    m_current.key = t2.key;
    m_current.eventKey = t2.key;
    m_current.fraction = t2.fraction;
    m_current.markerPosition = t2.markerPosition;
    AdjustEventKeyAfterSeek(m_current);
}

float SkelAnimState::Sync(AnimationChannel& a, AnimationChannel& b) {
    const SkelAnimation* aa = AnimationOf(a);
    const SkelAnimation* ba = AnimationOf(b);
    if (!aa || !ba || aa->morphMarkerCount == 0 || ba->morphMarkerCount == 0) return b.clock.speed;
    const bool ra = a.clock.reverse != 0, rb = b.clock.reverse != 0;
    const float tA = aa->GetMorphMarkerTime(a.markerPosition);
    const float tB = ba->GetMorphMarkerTime(b.markerPosition);
    const float LA = static_cast<float>(aa->GetLength());
    const float LB = static_cast<float>(ba->GetLength());
    const std::uint16_t mA = aa->morphMarkerCount, mB = ba->morphMarkerCount;
    // Lengths and marker distances of 0 give no ratio: the clips then run at the same pace.
    auto ratio = [](float x, float y) { return (y != 0.0f && std::isfinite(x / y)) ? x / y : 1.0f; };
    float r = ratio(LA, LB);
    if (mA > 1 && mB > 1) {
        a.markerPosition = WrapNext(a.markerPosition % mA, mA, ra);
        b.markerPosition = WrapNext(b.markerPosition % mB, mB, rb);
        bool found = false;
        for (std::uint16_t i = 0; i < mA && !found; ++i) {
            for (std::uint16_t j = 0; j < mB; ++j) {
                if (SameLabel(aa->GetMorphMarkerLabel(a.markerPosition), ba->GetMorphMarkerLabel(b.markerPosition))) {
                    float dA = ra ? tA - aa->GetMorphMarkerTime(a.markerPosition)
                                  : aa->GetMorphMarkerTime(a.markerPosition) - tA;
                    if (dA <= 0.0f) dA += LA;
                    float dB = rb ? tB - ba->GetMorphMarkerTime(b.markerPosition)
                                  : ba->GetMorphMarkerTime(b.markerPosition) - tB;
                    if (dB <= 0.0f) dB += LB;
                    r = ratio(dA, dB);
                    found = true;
                    break;
                }
                b.markerPosition = WrapNext(b.markerPosition, mB, rb);
            }
            if (!found) a.markerPosition = WrapNext(a.markerPosition, mA, ra);
        }
    }
    float e = rb ? tB - static_cast<float>(b.clock.time) : static_cast<float>(b.clock.time) - tB;
    if (e < 0.0f) e += LB;
    float time;
    if (!ra) {
        time = tA + e * r;
        if (time >= LA) time -= LA;
    } else {
        time = tA - e * r;
        if (time < 0.0f) time += LA;
    }
    a.clock.SetLength(LA);
    a.clock.Seek(time);
    float fraction = 0.0f;
    a.key = ra ? aa->keyTimes.FindBackward(static_cast<float>(a.clock.time), a.eventKey, &fraction)
               : aa->keyTimes.FindForward(static_cast<float>(a.clock.time), a.eventKey, &fraction);
    a.fraction = fraction;
    const float answer = b.clock.speed * r;
    a.clock.SetSpeed(answer);
    a.eventKey = a.key;
    a.speedRate = m_globalSpeed != 0.0f ? a.clock.speed / m_globalSpeed : 1.0f;
    AdjustEventKeyAfterSeek(a);
    return answer;
}

bool SkelAnimState::PlayAnimationGroup(std::uint16_t group, float transitTime, std::uint32_t transitType,
                                       float speed) {
    const SkelAnimsData* d = Data(m_current.dataIndex);
    const AnimationGroup* g = d ? d->GetGroup(group) : nullptr;
    if (!g) return false;
    if (g->members.empty()) {
        LogWarning("Failed to play animation group %s! No animations in this group!", g->name);
        return false;
    }
    // The group's members name animations of its own file.
    std::vector<AnimationGroupMember> members(g->members);
    const std::uint16_t offset = DataOffset(m_current.dataIndex);
    for (AnimationGroupMember& m : members) m.animation = std::uint16_t(m.animation + offset);
    return PlayGroupMembers(members.data(), std::uint32_t(members.size()), transitTime, transitType, speed);
}

bool SkelAnimState::PlayGroupMembers(const AnimationGroupMember* members, std::uint32_t count, float transitTime,
                                     std::uint32_t transitType, float speed) {
    if (!members || count == 0) return false;
    const int total = GetAnimationCount();
    std::vector<AnimationChannel> channels;
    channels.reserve(count);
    m_groupPriority = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const AnimationGroupMember& m = members[i];
        if (m.animation >= total) continue;
        AnimationChannel c;
        std::uint16_t data = 0, animation = 0;
        if (!ResolveAnimation(m.animation, data, animation) || !SetChannel(c, data, animation, m.startTime, nullptr)) {
            continue;
        }
        c.clock.loop = m.loop;
        c.blendWeight = m.weight < 0.0f ? 0.0f : m.weight;
        c.priority = m.priority;
        if (c.wholeBody && c.partMask == 7) m_groupPriority = std::max<std::int32_t>(m_groupPriority, m.priority);
        // Follow the sync-to chain to the member it ends at; a loop cancels it.
        int target = -1;
        if (m.syncTo >= 0 && std::uint32_t(m.syncTo) < count) {
            int at = m.syncTo;
            std::uint32_t steps = 0;
            while (at >= 0 && std::uint32_t(at) < count && members[at].syncTo >= 0 &&
                   std::uint32_t(members[at].syncTo) < count) {
                at = members[at].syncTo;
                if (std::uint32_t(at) == i || ++steps > count) {
                    at = -1;
                    break;
                }
            }
            if (at >= 0 && std::uint32_t(at) != i) target = at;
        }
        float rate = m.speedRate;
        if (target >= 0) {
            std::uint16_t td = 0, ta = 0;
            const SkelAnimation* targetAnim =
                ResolveAnimation(members[target].animation, td, ta) ? Data(td)->GetAnimation(ta) : nullptr;
            const double lt = targetAnim ? targetAnim->GetLength() : 0.0;
            const double la = Data(data)->GetLength(animation);
            rate = lt > 0.0 ? float(members[target].speedRate * la / lt) : members[target].speedRate;
        }
        c.speedRate = rate;
        c.clock.SetSpeed(m_globalSpeed * rate);
        channels.push_back(std::move(c));
    }
    if (channels.empty()) return false;
    std::stable_sort(channels.begin(), channels.end(), ChannelBefore);

    ClearEvents();
    const bool suppressed = m_suppressCrossFade;
    if (!suppressed) CopyToPrevious();
    const bool hadLayers = !m_layers.empty();
    AnimationChannel& first = channels.front();
    const std::uint16_t oldData = m_current.dataIndex, oldAnimation = m_current.animation;
    {
        std::vector<TransformKey> keep;
        keep.swap(m_current.pose);
        const float firstSpeed = first.clock.speed;
        m_current = first;
        m_current.pose.swap(keep);
        m_current.clock.SetSpeed(firstSpeed * speed);
        m_current.clock.Play();
    }
    std::uint32_t type;
    float time;
    if (oldAnimation == m_current.animation && oldData == m_current.dataIndex && (hadLayers || channels.size() > 1)) {
        type = kRestartType;
        time = kRestartTime;
    } else {
        TransitionDefaults(type, time);
    }
    if (transitType != 16) type = transitType;
    if (transitTime >= -kTimeEpsilon) time = transitTime;
    m_previousLayers.swap(m_layers);
    m_layers.clear();
    for (std::size_t i = 1; i < channels.size() && m_layers.size() < kMaxLayers; ++i) {
        AnimationChannel& c = channels[i];
        ResetPose(c.pose, m_boneCount);
        c.clock.SetSpeed(c.clock.speed * speed);
        c.clock.Play();
        c.fade = 0.0f;
        m_layers.push_back(std::move(c));
    }
    std::stable_sort(m_layers.begin(), m_layers.end(), ChannelBefore);
    if (!suppressed) StartCrossFade(type, time);
    else m_transitionType = 0, m_transitionTotal = m_transitionRemaining = 0.0f;
    m_suppressCrossFade = false;
    return true;
}

bool SkelAnimState::PlaySplitAnimation(std::uint8_t enable, std::uint16_t global, float startTime,
                                       std::uint8_t loopFlags, float speed) {
    m_splitActive = enable;
    if (!enable) return true;
    std::uint16_t data = 0, animation = 0;
    // Nothing to play: the split goes off rather than sampling nothing.
    if (!ResolveAnimation(global, data, animation) || !SetChannel(m_split, data, animation, startTime, nullptr)) {
        m_splitActive = 0;
        return false;
    }
    ApplyLoopFlags(m_split, loopFlags);
    m_split.clock.SetSpeed(m_globalSpeed * speed);
    m_split.clock.Play();
    m_splitActive = 1;
    return true;
}

void SkelAnimState::SetSplitBoneMatrix(const float matrix[16]) {
    if (matrix) std::memcpy(m_splitBoneMatrix.m, matrix, 64);
}

bool SkelAnimState::LoadBodySplit(const char* iniFileName) {
    if (!iniFileName) return false;
    IniFile ini(iniFileName);
    if (!ini.Load()) return false;
    auto readSection = [&](const char* section, bool* set) {
        if (!ini.HasSection(section)) return;
        for (int n = 0;; ++n) {
            char key[16];
            std::snprintf(key, sizeof key, "%d", n);
            if (!ini.HasKey(section, key)) break;
            const char* value = ini.GetString(section, key, "");
            // The skeleton's own names: an animation's bone order need not be the skeleton's.
            for (std::uint16_t b = 0; b < m_boneCount; ++b) {
                const char* name = &m_boneNames[std::size_t(b) * kNameSize];
                if (std::strncmp(name, kSplitBoneName, kNameSize) == 0) m_splitBone = b;
                if (value && std::strncmp(name, value, kNameSize) == 0) set[b] = true;
            }
        }
    };
    readSection("Upper", m_upper);
    readSection("Nether", m_lower);
    return true;
}

// --- update -----------------------------------------------------------------------------------

void SkelAnimState::UpdateSkeletalAnimation(bool computePose) {
    m_eventIdCount = 0;
    m_lastFadeFactor = 0.0f;
    if (!m_current.clock.playing || m_current.animation == kNone) {
        if (computePose && m_overrideMarked && !m_pose.empty()) {
            m_published = m_pose.data();
            RebuildMatrices();
        }
        m_overrideMarked = false;
        return;
    }
    const bool fading = m_transitionRemaining > 0.0f;
    TransformKey* pose = computePose && !m_pose.empty() ? m_pose.data() : nullptr;
    TransformKey* previousPose = computePose && !m_previousPose.empty() ? m_previousPose.data() : nullptr;
    // Without a pose to compute, clocks, keys and layer fades still move on.
    if (fading && m_previous.animation != kNone) {
        m_previous.clock.Tick();
        FindChannelKey(m_previous);
        SampleLayered(m_previous, m_previousLayers, previousPose, true);
    }
    m_current.clock.Tick();
    FindChannelKey(m_current);
    SampleLayered(m_current, m_layers, pose, true);
    if (m_splitActive && m_split.animation != kNone) {
        m_split.clock.Tick();
        FindChannelKey(m_split);
        m_splitSampling = 0;
        if (pose) SampleChannel(m_split, pose, nullptr, 1);
        m_splitSampling = 1;
    }
    if (m_transitionRemaining > 0.0f) {
        const float factor = m_transitionTotal > 0.0f ? m_transitionRemaining / m_transitionTotal : 0.0f;
        m_lastFadeFactor = factor;
        if (pose && previousPose) {
            for (std::uint16_t b = 0; b < m_boneCount; ++b) BlendTransformKey(pose[b], previousPose[b], factor);
        }
        m_transitionRemaining -= static_cast<float>(GetFrameMilliseconds()) * m_globalSpeed;
        if (m_transitionRemaining <= 0.0f) {
            m_transitionRemaining = 0.0f;
            m_previous.clock.playing = 0;
        }
    }
    if (pose) {
        m_published = m_pose.data();
        m_overrideMarked = false;
        RebuildMatrices();
    }
    WalkEvents();
}

void SkelAnimState::WalkEvents() {
    const SkelAnimation* anim = AnimationOf(m_current);
    const std::uint16_t keys = anim ? anim->GetKeyCount() : 0;
    if (!keys) return;
    const bool reverse = m_current.clock.reverse != 0;
    std::uint16_t k = m_current.eventKey;
    const std::uint16_t target = m_current.key;
    for (std::uint32_t steps = 0; k != target && steps < keys; ++steps) {
        k = WrapNext(k, keys, reverse);
        const char* name = anim->GetEvent(k);
        if (name && m_eventIdCount < kMaxEvents) {
            if (m_eventQueueCount == kMaxEvents) {
                m_eventQueueFirst = (m_eventQueueFirst + 1) % kMaxEvents;
                --m_eventQueueCount;
            }
            m_eventQueue[(m_eventQueueFirst + m_eventQueueCount) % kMaxEvents] = name;
            ++m_eventQueueCount;
            m_eventIds[m_eventIdCount % kEventIdSlots] = static_cast<std::uint32_t>(NameHash64(name));
            ++m_eventIdCount;
        }
        if (m_transitionType == 4 && m_previous.clock.playing && anim->morphMarkerCount &&
            k == anim->GetMorphMarkerKey(m_current.markerPosition)) {
            Sync(m_previous, m_current);
        }
    }
    m_current.eventKey = target;
}

const char* SkelAnimState::PopEvent() {
    if (m_eventQueueCount == 0) return nullptr;
    const char* name = m_eventQueue[m_eventQueueFirst];
    m_eventQueueFirst = (m_eventQueueFirst + 1) % kMaxEvents;
    --m_eventQueueCount;
    return name;
}

const char* SkelAnimState::QueuedEvent(std::size_t i) const {
    return i < m_eventQueueCount ? m_eventQueue[(m_eventQueueFirst + i) % kMaxEvents] : nullptr;
}

// --- matrices -----------------------------------------------------------------------------------

void SkelAnimState::ComposeBone(std::uint16_t b, const TransformKey* pose) {
    Matrix local;
    TransformKey::ToMatrix(pose[b], local);
    if (b == m_splitBone) MatrixMultiplyFast(m_splitBoneMatrix, local, local);
    const std::uint8_t parent = m_links[b].parent;
    if (parent == kNoBone) m_boneMatrices[b] = local;
    else MatrixMultiplyFast(local, m_boneMatrices[parent], m_boneMatrices[b]);
}

void SkelAnimState::RebuildSubtree(std::uint16_t bone) {
    for (std::size_t i = SubtreeBegin(bone); i < SubtreeEnd(bone); ++i) ComposeBone(m_walk[i], m_published);
}

void SkelAnimState::RebuildMatrices() {
    m_boundValid = false;
    if (!m_published || !m_boneMatrices || m_walk.size() != m_boneCount) return;
    const Binding* binding = BindingOf(m_current);
    if (binding && !m_current.wholeBody && binding->startBone != kNoBone && !m_splitActive) {
        RebuildSubtree(binding->startBone);
        return;
    }
    // Every root's subtree in turn (one walk with a single root).
    for (std::uint8_t b : m_walk) ComposeBone(b, m_published);
}

void SkelAnimState::SetAnimationSpeed(float speed) {
    if (!(speed > 0.0f)) return;
    m_globalSpeed = std::min(speed, 4.0f);
    m_previous.clock.SetSpeed(m_previous.speedRate * m_globalSpeed);
    m_current.clock.SetSpeed(m_layers.empty() ? m_globalSpeed : m_current.speedRate * m_globalSpeed);
    for (AnimationChannel& c : m_layers) c.clock.SetSpeed(c.speedRate * m_globalSpeed);
    for (AnimationChannel& c : m_previousLayers) c.clock.SetSpeed(c.speedRate * m_globalSpeed);
}

std::uint16_t SkelAnimState::GetCurrentAnimation() const { return GlobalOf(m_current); }

float SkelAnimState::GetAnimationLength() const { return static_cast<float>(m_current.clock.length); }

bool SkelAnimState::IsAnimationPlaying(std::uint16_t global) const {
    if (m_layers.empty() || global == kNone) return m_current.clock.playing != 0;
    if (GlobalOf(m_current) == global) return m_current.clock.playing != 0;
    for (const AnimationChannel& c : m_layers) {
        if (GlobalOf(c) == global) return c.clock.playing != 0;
    }
    return false;
}

bool SkelAnimState::IsAnimationFinished(std::uint16_t global) const {
    if (m_layers.empty() || global == kNone) return m_current.clock.HasEnded();
    if (GlobalOf(m_current) == global) return m_current.clock.HasEnded();
    for (const AnimationChannel& c : m_layers) {
        if (GlobalOf(c) == global) return c.clock.HasEnded();
    }
    return true;
}

void SkelAnimState::SetAnimationTime(float time, std::uint16_t global) {
    AnimationChannel* c = &m_current;
    if (!m_layers.empty() && global != kNone && GlobalOf(m_current) != global) {
        c = nullptr;
        for (AnimationChannel& l : m_layers) {
            if (GlobalOf(l) == global) {
                c = &l;
                break;
            }
        }
    }
    if (!c || c->animation == kNone) return;
    c->clock.Seek(time);
    c->eventKey = 0;
    FindChannelKey(*c);
    AdjustEventKeyAfterSeek(*c);
}

bool SkelAnimState::SetCurrentChannel(std::uint16_t data, std::uint16_t animation, float startTime) {
    return SetChannel(m_current, data, animation, startTime, m_pose.empty() ? nullptr : m_pose.data());
}

std::uint16_t SkelAnimState::CurrentKeyCount() const { return KeyCountOf(m_current); }

std::uint16_t SkelAnimState::KeyCountOf(const AnimationChannel& c) const {
    const SkelAnimation* anim = AnimationOf(c);
    return anim ? anim->GetKeyCount() : 0;
}

std::uint16_t SkelAnimState::CurrentKeyAt(float time) const {
    const SkelAnimation* anim = AnimationOf(m_current);
    if (!anim || anim->GetKeyCount() == 0) return kNone;
    if (time < 0.0f) return m_current.key;
    const float last = static_cast<float>(anim->keyTimes.Length());
    float fraction = 0.0f;
    return anim->keyTimes.FindForward(std::min(time, last), 0, &fraction);
}

bool SkelAnimState::PoseCurrentAtKey(std::uint16_t key) {
    const SkelAnimation* anim = AnimationOf(m_current);
    if (!anim || key >= anim->GetKeyCount() || m_pose.empty()) return false;
    m_current.key = key;
    m_current.fraction = 0.0f;
    SampleChannel(m_current, m_pose.data(), nullptr, 0);
    m_published = m_pose.data();
    RebuildMatrices();
    return true;
}

float SkelAnimState::GetAnimationTime() const { return static_cast<float>(m_current.clock.time); }

void SkelAnimState::SetAnimationLoop(bool loop) { m_current.clock.loop = loop ? 1 : 0; }

bool SkelAnimState::IsAnimationLoop() const { return m_current.clock.loop != 0; }

// --- bones --------------------------------------------------------------------------------------

bool SkelAnimState::GetBoneTransform(std::uint32_t bone, float* position, float* rotation, float* scale) const {
    if (bone >= m_boneCount || !m_published) return false;
    const TransformKey& k = m_published[bone];
    if (position) std::memcpy(position, &k.position, 12);
    if (rotation && k.eulerOrder == 0) std::memcpy(rotation, &k.rotation, 16);
    if (scale) std::memcpy(scale, &k.scale, 12);
    return true;
}

void SkelAnimState::SetBoneTransform(std::uint32_t bone, float weight, const float* position, const float* rotation,
                                     const float* scale) {
    if (bone >= m_boneCount || !(weight > kTimeEpsilon) || !m_published) return;
    if (!m_overrideMarked) {
        if (m_published != m_overridePose.data()) std::copy(m_published, m_published + m_boneCount, m_overridePose.begin());
        m_overrideMarked = true;
    }
    TransformKey& k = m_overridePose[bone];
    const bool full = weight >= 0.9999f;
    if (position) {
        const Vec3 p{position[0], position[1], position[2]};
        if (full) k.position = p;
        else Vec3Lerp(k.position, p, weight, k.position);
    }
    if (rotation && k.eulerOrder == 0) {
        const Quaternion q{rotation[0], rotation[1], rotation[2], rotation[3]};
        if (full) k.rotation = q;
        else QuaternionSlerp(k.rotation, k.rotation, q, weight);
    }
    if (scale) {
        const Vec3 s{scale[0], scale[1], scale[2]};
        if (full) k.scale = s;
        else Vec3Lerp(k.scale, s, weight, k.scale);
    }
    m_published = m_overridePose.data();
    m_boundValid = false;
    RebuildSubtree(std::uint16_t(bone));
}

void SkelAnimState::GetSkeletonBound(Vec3& centre, Vec3& halfExtents) {
    if (!m_boundValid) {
        Vec3 lo{0, 0, 0}, hi{0, 0, 0};
        for (std::uint16_t b = 0; b < m_boneCount; ++b) {
            const Vec3 p = m_boneMatrices[b].Row(3);
            if (b == 0) {
                lo = hi = p;
                continue;
            }
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
        m_boundCentre = {(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
        Vec3 h{(hi.x - lo.x) * 0.5f, (hi.y - lo.y) * 0.5f, (hi.z - lo.z) * 0.5f};
        const float grow = 0.1f * std::max(h.x, std::max(h.y, h.z));
        m_boundHalf = {h.x + grow, h.y + grow, h.z + grow};
        m_boundValid = true;
    }
    centre = m_boundCentre;
    halfExtents = m_boundHalf;
}

std::uint16_t SkelAnimState::FindBone(const char* name) const {
    if (!name) return kNone;
    for (std::uint16_t b = 0; b < m_boneCount; ++b) {
        if (std::strncmp(&m_boneNames[std::size_t(b) * kNameSize], name, kNameSize) == 0) return b;
    }
    return kNone;
}

const char* SkelAnimState::GetBoneName(std::uint32_t bone) const {
    return bone < m_boneCount ? &m_boneNames[std::size_t(bone) * kNameSize] : nullptr;
}

}  // namespace quor
