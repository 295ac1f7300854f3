#include "world/skeleton/MeshSkeletal.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/host/IRenderer.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/MeshSocket.h"
#include "world/mesh/MeshVertexData.h"
#include "world/skeleton/MeshSkelSegment.h"
#include "world/skeleton/MeshSkeletalData.h"
#include "world/skeleton/SkelAnimsData.h"

namespace quor {

namespace {
using Guard = std::lock_guard<win32::CriticalSection>;
constexpr float kNoStart = -1.0f;
constexpr std::uint32_t kDefaultTransit = 16;
}  // namespace

MeshSkeletal::MeshSkeletal(d3d9::IDirect3DDevice9* device) : Mesh(device) {}

MeshSkeletal::~MeshSkeletal() {
    Guard lock(Lock());
    m_state.ClearAnimationState();
    m_bindMatrices.clear();
    Clear();
}

void MeshSkeletal::Destroy() {
    {
        // The playback goes first: it reads the skeleton of the parts.
        Guard lock(Lock());
        m_state.ClearAnimationState();
        m_bindMatrices.clear();
        Clear();
    }
    delete this;
}

// ---- loading ------------------------------------------------------------------------------------

bool MeshSkeletal::LoadMeshFile(const char* fileName) {
    if (!fileName) return false;
    SetReady(false);
    return AddSegment(world::MeshDataMgr::GetInstance().Load(fileName, world::MeshDataMgr::kSkeletal));
}

bool MeshSkeletal::LoadMeshFromMemory(const char* name, const void* data, std::size_t size) {
    if (!name || !data) return false;
    SetReady(false);
    return AddSegment(world::MeshDataMgr::GetInstance().LoadFromMemory(name, data, size, world::MeshDataMgr::kSkeletal));
}

bool MeshSkeletal::SetMeshData(MeshData* data) {
    SetReady(false);
    return AddSegment(data);
}

bool MeshSkeletal::AddSegment(MeshData* data) {
    if (!data) {
        SetReady(true);
        return false;
    }
    if (!dynamic_cast<MeshSkeletalData*>(data)) {
        LogError("Mesh file %s is not a skeletal mesh!", data->NameText());
        world::MeshDataMgr::GetInstance().Release(data);
        SetReady(true);
        return false;
    }
    MeshSkelSegment* segment = NewObject<MeshSkelSegment>(data);
    if (!segment) {
        world::MeshDataMgr::GetInstance().Release(data);
        SetReady(true);
        return false;
    }
    Guard lock(Lock());
    segment->SetOwner(this, &m_state);
    AppendPart(segment);
    LogInfo("MeshSkeletal load: m_seg_idx = %d", CurrentPart());
    const bool added = AddMesh();
    // A refused part leaves nothing behind: its sub-meshes, draw entries and data reference go.
    if (!added) RemoveLastPart();
    SetReady(true);
    return added;
}

MeshSkelSegment* MeshSkeletal::CurrentSkelPart() {
    const auto& parts = Parts();
    const int i = CurrentPart();
    return i >= 0 && std::size_t(i) < parts.size() ? static_cast<MeshSkelSegment*>(parts[std::size_t(i)]) : nullptr;
}

MeshSkelSegment* MeshSkeletal::SkelPart(std::uint32_t i) {
    Guard lock(Lock());
    return i < Parts().size() ? static_cast<MeshSkelSegment*>(Parts()[i]) : nullptr;
}

bool MeshSkeletal::AddMesh() {
    MeshSkelSegment* segment = CurrentSkelPart();
    MeshSkeletalData* skeleton = segment ? segment->Skeleton() : nullptr;
    if (!skeleton) return false;
    const bool first = CurrentPart() == 0;
    if (!first) {
        const MeshSkeletalData* main = static_cast<MeshSkelSegment*>(Parts()[0])->Skeleton();
        const std::string mainFile = main && !main->animationSets.empty() ? main->animationSets[0].name : "";
        const std::string newFile = skeleton->animationSets.empty() ? "" : skeleton->animationSets[0].name;
        if (strcasecmp(mainFile.c_str(), newFile.c_str()) != 0) {
            LogError("Adding mesh file %s with a different skeletal animation file %s!", skeleton->NameText(),
                     newFile.c_str());
            return false;
        }
    }
    if (!BuildCurrentPart()) return false;
    if (first) {
        // The set tables are written only while this mesh is the data's only user.
        world::MeshDataMgr::GetInstance().RunIfSoleUser(skeleton, [&] { skeleton->SetAnimationSetCount(1); });
        const std::string action = skeleton->animationSets.empty() ? "" : skeleton->animationSets[0].name;
        m_actionResult = LoadActionFile(action.c_str(), 0, 0);
        std::call_once(skeleton->socketsResolved, [&] { ResolveSockets(*skeleton); });
    } else {
        segment->FillSkinningMatrices(m_state);
        if (!HardwareSkinned()) segment->SkinFromLod();
        if (!m_state.Data(m_state.CurrentChannel().dataIndex)) return true;
    }
    if (m_state.Data(m_state.CurrentChannel().dataIndex) && skeleton->boneCount <= kMaxHardwareBones)
        RefreshHardwareSkinning();
    return true;
}

void MeshSkeletal::ResolveSockets(MeshSkeletalData& skeleton) {
    skeleton.LinkSocketsToBones();
    for (auto& socket : skeleton.sockets) {
        socket->animationIndex = 0xFFFF;
        if (socket->animationName[0] == 0) continue;
        char name[MeshSocket::kNameSize + 1] = {};
        std::memcpy(name, socket->animationName, MeshSocket::kNameSize);
        const std::int16_t found = m_state.FindAnimation(name);
        if (found < 0) {
            LogError("Socket %.32s is linked to animation %s, but no animation named %s exist!", socket->name, name,
                     name);
            continue;
        }
        socket->animationIndex = std::uint16_t(found);
        std::uint16_t data = 0, animation = 0;
        const SkelAnimation* anim = nullptr;
        if (m_state.ResolveAnimation(std::uint16_t(found), data, animation) && m_state.Data(data))
            anim = m_state.Data(data)->GetAnimation(animation);
        const float length = anim ? float(anim->GetLength()) : 0.0f;
        if (socket->startTime > length) {
            LogError("Socket %.32s is linked to animation %s, starting at time %f ms, but its time length is only "
                     "%f ms!",
                     socket->name, name, double(socket->startTime), double(length));
            socket->startTime = 0.0f;
        }
    }
}

std::string MeshSkeletal::BodySplitName(const char* animationFile) {
    std::string path = animationFile ? animationFile : "";
    // The drive ("c:") is not carried into the name.
    if (path.size() >= 2 && path[1] == ':') path.erase(0, 2);
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.erase(dot);
    char buffer[520];
    std::snprintf(buffer, sizeof buffer, "%s%s.ini",
                  slash == std::string::npos ? "" : path.substr(0, slash + 1).c_str(),
                  slash == std::string::npos ? path.c_str() : path.substr(slash + 1).c_str());
    return buffer;
}

void MeshSkeletal::FillAllSkinningMatrices() {
    for (MeshSegment* part : Parts()) static_cast<MeshSkelSegment*>(part)->FillSkinningMatrices(m_state);
}

bool MeshSkeletal::ComputeFileBounds(std::uint16_t slot, std::vector<std::vector<Bounds>>& out) {
    const SkelAnimsData* file = m_state.Data(slot);
    MeshSkelSegment* segment = CurrentSkelPart();
    if (!file || !segment) return false;
    const MeshVertexData* lod = segment->Lod();
    out.assign(file->GetAnimationCount(), {});
    for (std::uint16_t i = 0; i < file->GetAnimationCount(); ++i) {
        if (!m_state.SetCurrentChannel(slot, i, kNoStart)) continue;
        const std::uint16_t keys = m_state.CurrentKeyCount();
        out[i].resize(keys);
        for (std::uint16_t k = 0; k < keys; ++k) {
            m_state.PoseCurrentAtKey(k);
            FillAllSkinningMatrices();
            segment->SkinFromLod();
            const Vec3* skinned = segment->Positions();
            const std::uint32_t n = lod ? lod->vertexCount : 0;
            Bounds& b = out[i][k];
            if (skinned && n) {
                b.SetBoxFromPoints(skinned, n);
                b.SetRadiusFromPoints(skinned, n);
            }
        }
    }
    return true;
}

int MeshSkeletal::LoadActionFile(const char* fileName, std::int16_t slot, std::uint8_t rebuildFlag) {
    Guard lock(Lock());
    const std::string name = fileName ? fileName : "";
    if (m_actionFiles.count(name)) return 1;
    MeshSkelSegment* segment = CurrentSkelPart();
    MeshSkeletalData* skeleton = segment ? segment->Skeleton() : nullptr;
    if (!skeleton) return 0;
    world::MeshDataMgr& cache = world::MeshDataMgr::GetInstance();
    const bool rebuild = rebuildFlag != 0 || skeleton->RefCount() == 1;
    if (slot < 0) slot = std::int16_t(m_state.FileCount());
    const char* pivot = skeleton->rootBone == MeshSkeletalData::kNoBone ? nullptr : skeleton->GetBoneName(skeleton->rootBone);
    std::string pivotName = pivot ? std::string(pivot, strnlen(pivot, MeshSkeletalData::kBoneNameSize)) : "";
    int r = m_state.AttachAnimationFile(name.c_str(), skeleton->version, slot, pivot ? pivotName.c_str() : nullptr);
    if (skeleton->version < kBindPoseVersion && rebuild) {
        const SkelAnimsData* file = r > 0 ? m_state.Data(std::uint16_t(slot)) : nullptr;
        const Matrix* given = file && file->GetBindMatrices() && file->GetBindMatrixCount() == skeleton->boneCount
                                  ? file->GetBindMatrices()
                                  : nullptr;
        // Built aside, taken in only while nobody else can have been handed the data.
        auto pose = MeshSkeletalData::MakeBindPose(skeleton->boneCount, given);
        cache.RunIfSoleUser(skeleton, [&] { skeleton->bindMatrices.swap(pose); });
    }
    m_state.SetSkeleton(skeleton->parents, skeleton->boneNames.data(), skeleton->boneCount);
    m_state.LoadBodySplit(BodySplitName(name.c_str()).c_str());
    m_bindMatrices.assign(skeleton->boneCount, MatrixIdentity());
    for (std::uint16_t b = 0; b < skeleton->boneCount; ++b) {
        if (const Matrix* m = skeleton->GetBindMatrix(b)) m_bindMatrices[b] = *m;
    }
    if (r <= 0) {
        segment->ResetSkinnedVertices();
        if (r == 0) LogWarning("Action file %s not found, or a bad-formatted file!", name.c_str());
        if (r == -2) LogWarning("Old version file %s can't match new version file %s! ", skeleton->NameText(), name.c_str());
        return r;
    }
    // Only a file that attached counts as attached: a failure may be retried.
    m_actionFiles.insert(name);
    m_state.BindAnimationData(std::uint16_t(slot));
    const AnimationChannel remembered = m_state.CurrentChannel();
    const bool otherFile = remembered.animation != SkelAnimState::kNone && remembered.dataIndex != std::uint16_t(slot);
    if (rebuild) {
        const SkelAnimsData* file = m_state.Data(std::uint16_t(slot));
        const std::uint32_t set = std::uint32_t(slot);
        bool stale = false, empty = true;
        cache.RunIfSoleUser(skeleton, [&] {
            skeleton->SetAnimationSetCount(set + 1);
            stale = skeleton->GetContentHash(set) != file->contentHash || file->hasPivotTracks;
            empty = skeleton->animationSets[set].animations.empty();
        });
        if (stale || empty) {
            std::vector<std::vector<Bounds>> bounds;
            if (ComputeFileBounds(std::uint16_t(slot), bounds)) {
                const bool swapped = cache.RunIfSoleUser(skeleton, [&] {
                    skeleton->ClearAnimationBounds(set);
                    skeleton->SetContentHash(set, file->contentHash);
                    skeleton->SetAnimationCount(std::uint32_t(bounds.size()), set);
                    for (std::uint32_t i = 0; i < bounds.size(); ++i) {
                        skeleton->SetFrameCount(std::uint16_t(bounds[i].size()), i, set);
                        for (std::uint32_t k = 0; k < bounds[i].size(); ++k) skeleton->SetFrameBound(k, i, set, bounds[i][k]);
                        skeleton->FinishFrameBounds(i, set);
                    }
                });
                if (swapped) r = 2;
            }
        }
        if (otherFile) m_state.SetCurrentChannel(remembered.dataIndex, remembered.animation, kNoStart);
    }
    if (otherFile) return r;
    m_state.SetCurrentChannel(0, 0, kNoStart);
    m_state.PoseCurrentAtKey(0);
    segment->FillSkinningMatrices(m_state);
    if (skeleton->boneCount <= kMaxHardwareBones && m_state.Data(m_state.CurrentChannel().dataIndex))
        RefreshHardwareSkinning();
    if (!HardwareSkinned()) {
        segment->ResetSkinnedVertices();
        segment->MarkPoseChanged();
    }
    m_state.ClearCurrentAnimation();
    return r;
}

void MeshSkeletal::RefreshHardwareSkinning() {
    Guard lock(Lock());
    render::IRenderer* renderer = Interfaces().renderer;
    const bool on = renderer && renderer->IsHardwareSkinning();
    if (on == HardwareSkinned()) return;
    // The stream format follows the switch: 68-byte skin vertices or positions and normals.
    SetHardwareSkinned(on);
    RebuildVertexBuffers();
}

bool MeshSkeletal::IsSkeletonCompatible(MeshSkeletal* other) {
    if (!other) return false;
    std::scoped_lock lock(Lock(), other->Lock());
    const MeshSkeletalData* a = Parts().empty() ? nullptr : static_cast<MeshSkelSegment*>(Parts()[0])->Skeleton();
    const MeshSkeletalData* b =
        other->Parts().empty() ? nullptr : static_cast<MeshSkelSegment*>(other->Parts()[0])->Skeleton();
    if (!a || !b || a->boneCount != b->boneCount) return false;
    return std::memcmp(a->parents, b->parents, a->boneCount) == 0;
}

bool MeshSkeletal::PrepareRender(const MeshDrawEntry& entry, const Matrix& world) {
    if (HardwareSkinned() && entry.subMesh && entry.subMesh->Segment()) {
        auto* segment = static_cast<MeshSkelSegment*>(entry.subMesh->Segment());
        segment->UpdateHardwareSkinShader(entry.subMesh->Index(), world, 0);
    }
    return MeshBase::PrepareRender(entry, world);
}

bool MeshSkeletal::UpdateSkeletal(bool computePose, bool meshStep) {
    Guard lock(Lock());
    if (GetRefCount() <= 1 || SharedTick() == 0) {
        m_state.UpdateSkeletalAnimation(computePose);
        if (computePose) {
            for (MeshSegment* part : Parts()) {
                auto* segment = static_cast<MeshSkelSegment*>(part);
                segment->FillSkinningMatrices(m_state);
                segment->MarkPoseChanged();
            }
        }
    }
    if (meshStep) MeshBase::UpdateAnimation(false);
    if (m_playFlag) {
        UpdateBounds();
        m_playFlag = 0;
        m_playState = 0;
    }
    return false;
}

void MeshSkeletal::UpdateBounds() {
    Guard lock(Lock());
    const AnimationChannel& c = m_state.CurrentChannel();
    if (c.animation == SkelAnimState::kNone) {
        MeshBase::UpdateBounds();
        return;
    }
    bool any = false;
    Vec3 lo, hi;
    // While the body is split, the lower body plays a clip of its own: the bound covers the
    // keys of both clips, or a striding lower body could be culled.
    const AnimationChannel* channels[2] = {&c, m_state.SplitActive() ? &m_state.SplitChannel() : nullptr};
    for (const AnimationChannel* channel : channels) {
        if (!channel || channel->animation == SkelAnimState::kNone) continue;
        const std::uint16_t keys = m_state.KeyCountOf(*channel);
        for (MeshSegment* part : Parts()) {
            const MeshSkeletalData* skeleton = static_cast<MeshSkelSegment*>(part)->Skeleton();
            if (!skeleton) continue;
            for (std::uint16_t k = 0; k < std::max<std::uint16_t>(keys, 1); ++k) {
                const Bounds& b = skeleton->GetAnimationBounds(k, channel->animation, channel->dataIndex);
                const Vec3 bl = b.centre - b.half, bh = b.centre + b.half;
                if (!any) lo = bl, hi = bh, any = true;
                lo.x = std::min(lo.x, bl.x), lo.y = std::min(lo.y, bl.y), lo.z = std::min(lo.z, bl.z);
                hi.x = std::max(hi.x, bh.x), hi.y = std::max(hi.y, bh.y), hi.z = std::max(hi.z, bh.z);
            }
        }
    }
    if (!any) return;
    Bounds merged;
    merged.SetBoxFromMinMax(lo, hi);
    merged.radius = Vec3Length(merged.half);
    SetMeshBounds(merged);
}

// ---- kind-selected requests ---------------------------------------------------------------------

bool MeshSkeletal::HasAnimation(int kind) {
    if (kind != kSkeletal) return MeshBase::HasAnimation(kind);
    Guard lock(Lock());
    return m_state.Data(m_state.CurrentChannel().dataIndex) != nullptr;
}

int MeshSkeletal::GetAnimationCount(int kind) {
    if (kind != kSkeletal) return MeshBase::GetAnimationCount(kind);
    Guard lock(Lock());
    return m_state.GetAnimationCount();
}

int MeshSkeletal::GetCurrentAnimation(int kind) {
    if (kind != kSkeletal) return MeshBase::GetCurrentAnimation(kind);
    Guard lock(Lock());
    return m_state.GetCurrentAnimation();
}

bool MeshSkeletal::PlayAnimation(int index, int kind, float startTime, bool loop, std::uint32_t flags) {
    if (kind != kSkeletal) return MeshBase::PlayAnimation(index, kind, startTime, loop, flags);
    const std::uint8_t loopFlags = std::uint8_t((loop ? 1 : 0) | (flags & 2u));
    return PlaySkeletalAnimation(std::uint16_t(index), -1.0f, kDefaultTransit, startTime, loopFlags, 1.0f);
}

void MeshSkeletal::StopAnimation(int kind) {
    if (kind != kSkeletal) return MeshBase::StopAnimation(kind);
    Guard lock(Lock());
    m_state.MutableCurrentChannel().clock.playing = 0;
}

bool MeshSkeletal::IsAnimationPlaying(int kind) {
    if (kind != kSkeletal) return MeshBase::IsAnimationPlaying(kind);
    return IsSkeletalAnimationPlaying(SkelAnimState::kNone);
}

bool MeshSkeletal::IsSkeletalAnimationPlaying(std::uint16_t index) {
    Guard lock(Lock());
    if (!m_state.Layers().empty() && index < SkelAnimState::kNone) return m_state.IsAnimationPlaying(index);
    return m_state.CurrentChannel().clock.playing != 0;
}

bool MeshSkeletal::SetAnimationTime(float time, int kind) {
    if (kind != kSkeletal) return MeshBase::SetAnimationTime(time, kind);
    SetSkeletalAnimationTime(time, SkelAnimState::kNone);
    return true;
}

void MeshSkeletal::SetSkeletalAnimationTime(float time, std::uint16_t index) {
    Guard lock(Lock());
    m_state.SetAnimationTime(time, index);
}

float MeshSkeletal::GetAnimationTime(int kind) {
    if (kind != kSkeletal) return MeshBase::GetAnimationTime(kind);
    Guard lock(Lock());
    return m_state.GetAnimationTime();
}

void MeshSkeletal::SetAnimationSpeed(float speed, int kind) {
    if (kind != kSkeletal) return MeshBase::SetAnimationSpeed(speed, kind);
    Guard lock(Lock());
    m_state.SetAnimationSpeed(speed);
}

float MeshSkeletal::GetAnimationSpeed(int kind) {
    if (kind != kSkeletal) return MeshBase::GetAnimationSpeed(kind);
    Guard lock(Lock());
    return m_state.CurrentChannel().clock.speed;
}

void MeshSkeletal::SetAnimationReverse(bool reverse, int kind) {
    // Skeletal animations are not reversed through this call.
    if (kind != kSkeletal) MeshBase::SetAnimationReverse(reverse, kind);
}

bool MeshSkeletal::IsAnimationReverse(int kind) {
    if (kind != kSkeletal) return MeshBase::IsAnimationReverse(kind);
    Guard lock(Lock());
    return m_state.CurrentChannel().clock.reverse != 0;
}

void MeshSkeletal::SetAnimationLoop(bool loop, int kind) {
    if (kind != kSkeletal) return MeshBase::SetAnimationLoop(loop, kind);
    Guard lock(Lock());
    m_state.SetAnimationLoop(loop);
}

bool MeshSkeletal::IsAnimationLoop(int kind) {
    if (kind != kSkeletal) return MeshBase::IsAnimationLoop(kind);
    Guard lock(Lock());
    return m_state.IsAnimationLoop();
}

float MeshSkeletal::GetAnimationLength(int kind) {
    if (kind != kSkeletal) return MeshBase::GetAnimationLength(kind);
    Guard lock(Lock());
    return m_state.GetAnimationLength();
}

bool MeshSkeletal::IsAnimationFinished(int kind) {
    if (kind != kSkeletal) return MeshBase::IsAnimationFinished(kind);
    return IsSkeletalAnimationFinished(SkelAnimState::kNone);
}

bool MeshSkeletal::IsSkeletalAnimationFinished(std::uint16_t index) {
    Guard lock(Lock());
    if (!m_state.Layers().empty() && index < SkelAnimState::kNone) return m_state.IsAnimationFinished(index);
    return m_state.CurrentChannel().clock.HasEnded();
}

bool MeshSkeletal::PlaySkeletalAnimation(std::uint16_t global, float transitTime, std::uint32_t transitType,
                                         float startTime, std::uint8_t loopFlags, float speed) {
    Guard lock(Lock());
    m_playState = 0;
    m_playFlag = 1;
    return m_state.PlaySkeletalAnimation(global, transitTime, transitType, startTime, loopFlags, speed);
}

bool MeshSkeletal::PlaySplitAnimation(std::uint8_t enable, std::uint16_t global, float startTime,
                                      std::uint8_t loopFlags, float speed) {
    Guard lock(Lock());
    const bool played = m_state.PlaySplitAnimation(enable, global, startTime, loopFlags, speed);
    // The bound takes in (or lets go of) the split clip's keys at the next step.
    m_playFlag = 1;
    return played;
}

void MeshSkeletal::SetSplitBoneMatrix(const float matrix[16]) {
    Guard lock(Lock());
    m_state.SetSplitBoneMatrix(matrix);
}

// ---- forwarders ----------------------------------------------------------------------------------

int MeshSkeletal::FindAnimation(const char* name) {
    if (!name) return -1;
    Guard lock(Lock());
    return m_state.FindAnimation(name);
}

int MeshSkeletal::FindGroup(const char* name) {
    if (!name) return -1;
    Guard lock(Lock());
    return m_state.FindGroup(name);
}

bool MeshSkeletal::PlayAnimationGroup(std::uint16_t group, float transitTime, std::uint32_t transitType, float speed) {
    Guard lock(Lock());
    m_playState = 0;
    m_playFlag = 1;
    return m_state.PlayAnimationGroup(group, transitTime, transitType, speed);
}

bool MeshSkeletal::PlayGroupMembers(const AnimationGroupMember* members, std::uint32_t count, float transitTime,
                                    std::uint32_t transitType, float speed) {
    Guard lock(Lock());
    m_playState = 0;
    m_playFlag = 1;
    return m_state.PlayGroupMembers(members, count, transitTime, transitType, speed);
}

bool MeshSkeletal::GetTransition(std::uint16_t from, std::uint16_t to, std::uint16_t* type, float* time,
                                 std::uint8_t* enabled) {
    Guard lock(Lock());
    const SkelAnimsData* file = m_state.Data(m_state.CurrentChannel().dataIndex);
    return file && file->GetTransition(from, to, type, time, enabled);
}

std::string MeshSkeletal::GetAnimationName(std::uint16_t global) {
    Guard lock(Lock());
    std::uint16_t data = 0, animation = 0;
    if (!m_state.ResolveAnimation(global, data, animation) || !m_state.Data(data)) return {};
    const SkelAnimation* anim = m_state.Data(data)->GetAnimation(animation);
    return anim ? std::string(anim->name, strnlen(anim->name, sizeof anim->name)) : std::string();
}

bool MeshSkeletal::PopEvent(std::string& event) {
    Guard lock(Lock());
    const char* text = m_state.PopEvent();
    if (!text) return false;
    event = text;
    return true;
}

bool MeshSkeletal::GetQueuedEvent(std::size_t i, std::string& event) {
    Guard lock(Lock());
    const char* text = m_state.QueuedEvent(i);
    if (!text) return false;
    event = text;
    return true;
}

std::size_t MeshSkeletal::GetQueuedEventCount() {
    Guard lock(Lock());
    return m_state.QueuedEvents();
}

Bounds MeshSkeletal::GetAnimationFrameBounds(float time) {
    Guard lock(Lock());
    const std::uint16_t key = m_state.CurrentKeyAt(time);
    Bounds bound = GetFrameBounds(key == SkelAnimState::kNone ? MeshSegment::kStaticFrame : key);
    // The lower body of a split plays its own clip: its key's box joins the current one's.
    const AnimationChannel& split = m_state.SplitChannel();
    const MeshSkeletalData* skeleton = Parts().empty() ? nullptr : static_cast<MeshSkelSegment*>(Parts()[0])->Skeleton();
    if (time < 0.0f && m_state.SplitActive() && split.animation != SkelAnimState::kNone && skeleton) {
        const Bounds& lower = skeleton->GetAnimationBounds(split.key, split.animation, split.dataIndex);
        Vec3 lo = bound.centre - bound.half, hi = bound.centre + bound.half;
        const Vec3 ll = lower.centre - lower.half, lh = lower.centre + lower.half;
        lo.x = std::min(lo.x, ll.x), lo.y = std::min(lo.y, ll.y), lo.z = std::min(lo.z, ll.z);
        hi.x = std::max(hi.x, lh.x), hi.y = std::max(hi.y, lh.y), hi.z = std::max(hi.z, lh.z);
        bound.SetBoxFromMinMax(lo, hi);
        bound.radius = Vec3Length(bound.half);
    }
    return bound;
}

Bounds MeshSkeletal::GetAnimationSubMeshBounds(std::uint32_t subMesh, float time) {
    Guard lock(Lock());
    const std::uint16_t key = m_state.CurrentKeyAt(time);
    return GetSubMeshFrameBounds(subMesh, key == SkelAnimState::kNone ? MeshSegment::kStaticFrame : key);
}

void MeshSkeletal::GetTransitionTimer(float& total, float& remaining) {
    Guard lock(Lock());
    total = m_state.TransitionTotal();
    remaining = m_state.TransitionRemaining();
}

bool MeshSkeletal::ScalesBones() {
    Guard lock(Lock());
    const AnimationChannel& c = m_state.CurrentChannel();
    const SkelAnimsData* file = m_state.Data(c.dataIndex);
    return file && c.animation != SkelAnimState::kNone && file->ScalesBones(c.animation) != 0;
}

int MeshSkeletal::FindBone(const char* name) {
    if (!name) return -1;
    Guard lock(Lock());
    const std::uint16_t b = m_state.FindBone(name);
    return b == SkelAnimState::kNone || b >= m_state.BoneCount() ? -1 : int(b);
}

std::string MeshSkeletal::GetBoneName(std::uint32_t bone) {
    Guard lock(Lock());
    const char* name = m_state.GetBoneName(bone);
    return name ? std::string(name, strnlen(name, MeshSkeletalData::kBoneNameSize)) : std::string();
}

bool MeshSkeletal::GetBoneTransform(std::uint32_t bone, float* position, float* rotation, float* scale) {
    Guard lock(Lock());
    return m_state.GetBoneTransform(bone, position, rotation, scale);
}

void MeshSkeletal::SetBoneTransform(std::uint32_t bone, float weight, const float* position, const float* rotation,
                                    const float* scale) {
    Guard lock(Lock());
    m_state.SetBoneTransform(bone, weight, position, rotation, scale);
}

std::uint16_t MeshSkeletal::GetBoneCount() {
    Guard lock(Lock());
    return m_state.BoneCount();
}

std::uint8_t MeshSkeletal::GetBoneParent(std::uint32_t bone) {
    Guard lock(Lock());
    const MeshSkeletalData* skeleton = Parts().empty() ? nullptr : static_cast<MeshSkelSegment*>(Parts()[0])->Skeleton();
    return skeleton && bone < skeleton->boneCount ? skeleton->parents[bone] : MeshSkeletalData::kNoBone;
}

std::uint32_t MeshSkeletal::GetBonePaletteSize() {
    Guard lock(Lock());
    MeshSkelSegment* segment = CurrentSkelPart();
    return segment ? segment->PaletteSize() : 0;
}

std::uint16_t MeshSkeletal::GetBonePaletteEntry(std::uint32_t i) {
    Guard lock(Lock());
    MeshSkelSegment* segment = CurrentSkelPart();
    return segment ? segment->PaletteEntry(i) : 0xFFFF;
}

bool MeshSkeletal::GetBoneMatrix(std::uint32_t bone, Matrix& out) {
    Guard lock(Lock());
    if (bone >= m_state.BoneCount()) return false;
    out = m_state.BoneMatrix(std::uint16_t(bone));
    return true;
}

bool MeshSkeletal::LoadBodySplit(const char* iniFileName) {
    Guard lock(Lock());
    return m_state.LoadBodySplit(iniFileName);
}

bool MeshSkeletal::SplitActive() {
    Guard lock(Lock());
    return m_state.SplitActive();
}

std::uint16_t MeshSkeletal::GetSocketAnimation(std::uint32_t socket) {
    Guard lock(Lock());
    const MeshData* data = Parts().empty() ? nullptr : Parts()[0]->Data();
    return data && socket < data->sockets.size() ? data->sockets[socket]->animationIndex : 0xFFFF;
}

namespace {
// The global index of the first animation of a file slot.
std::uint16_t SlotOffset(const SkelAnimState& state, std::uint16_t slot) {
    std::uint32_t offset = 0;
    for (std::uint16_t s = 0; s < slot && s < state.FileCount(); ++s)
        offset += state.Data(s) ? state.Data(s)->GetAnimationCount() : 0;
    return std::uint16_t(offset);
}
}  // namespace

TrackData* MeshSkeletal::GetPivotTrack(std::uint16_t global) {
    Guard lock(Lock());
    std::uint16_t data = 0, animation = 0;
    if (!m_state.ResolveAnimation(global, data, animation)) return nullptr;
    // The track stays the animation data's; the caller only plays it.
    return const_cast<TrackData*>(m_state.Data(data)->GetPivotTrack(animation));
}

int MeshSkeletal::FindSequence(const char* name) {
    if (!name) return -1;
    Guard lock(Lock());
    const SkelAnimsData* file = m_state.Data(m_state.CurrentChannel().dataIndex);
    return file ? file->FindSequence(name) : -1;
}

bool MeshSkeletal::GetSequenceItem(std::uint16_t sequence, std::uint16_t item, AnimationSequenceItem& out,
                                   std::uint16_t* itemCount) {
    Guard lock(Lock());
    const std::uint16_t slot = m_state.CurrentChannel().dataIndex;
    const SkelAnimsData* file = m_state.Data(slot);
    if (!file || !file->GetSequence(sequence)) return false;
    if (itemCount) *itemCount = file->GetSequenceItemCount(sequence);
    const AnimationSequenceItem* found = file->GetSequenceItem(sequence, item);
    if (!found) return false;
    out = *found;
    if (!out.isGroup && out.index != 65535) out.index = std::uint16_t(out.index + SlotOffset(m_state, slot));
    return true;
}

bool MeshSkeletal::GetGlobalTransition(std::uint16_t from, std::uint16_t to, float* time, std::uint8_t* enabled) {
    Guard lock(Lock());
    std::uint16_t fromData = 0, fromLocal = 0, toData = 0, toLocal = 0;
    if (!m_state.ResolveAnimation(from, fromData, fromLocal) || !m_state.ResolveAnimation(to, toData, toLocal) ||
        fromData != toData)
        return false;
    std::uint16_t type = 0;
    return m_state.Data(fromData)->GetTransition(fromLocal, toLocal, &type, time, enabled);
}

}  // namespace quor
