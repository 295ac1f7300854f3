#include <cstring>

#include "platform/host/IPyClient.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/track/TrackSampled.h"
#include "world/fx/IFxBase.h"
#include "world/mesh/ModelBase.h"
#include "world/mesh/MeshSocket.h"
#include "world/scene/AsyncRecords.h"
#include "world/scene/ISpeaker.h"
#include "world/skeleton/MeshSkeletal.h"

namespace quor::world {

namespace {
// The script client's timing code of the skeletal update.
constexpr int kSkeletalTimingCode = 10;
// Durations from this value up time an item; below it the item waits for its animation.
constexpr float kTimedItemFloor = -0.0001f;
constexpr std::uint16_t kNoAnimation = 0xFFFF;
// Channel bits of an object track that rule out continuing from the previous track.
constexpr std::uint16_t kNoContinueChannels = 0xB000;

bool IsAnimation(int index) { return index >= 0 && index != kNoAnimation; }
}  // namespace

ModelSkeletal::~ModelSkeletal() {
    // A loader thread must not load into a model whose tracks are going.
    if (!m_keepRequests) UnregisterModelHandle(this);
    ReleaseAnimationTracks();
}

void ModelSkeletal::Clear() {
    // The tracks play data of the mesh that Clear lets go.
    ReleaseAnimationTracks();
    ModelBase::Clear();
}

MeshSkeletal* ModelSkeletal::GetSkeletalMesh() const { return dynamic_cast<MeshSkeletal*>(GetMesh()); }

bool ModelSkeletal::LoadAnimationFile(const char* file, int async, std::uint32_t* requestId) {
    if (!file) return false;
    if (async) {
        SetLoading(1);
        AnimationData* record = AsyncLoaderRef::Instance().CreateAnimationData(this, file);
        if (!record) {
            SetLoading(-1);
            return false;
        }
        if (requestId) *requestId = record->stamp;
        record->Submit();
        return true;
    }
    const int loaded = LoadAnimationFileNow(file);
    RebuildStaleTracks();
    return loaded > 0;
}

int ModelSkeletal::LoadAnimationFileNow(const char* file) {
    // Held for the load, as a mesh change on another thread may replace it meanwhile.
    MeshBase* held = HoldMesh();
    auto* mesh = dynamic_cast<MeshSkeletal*>(held);
    if (!mesh) {
        DropMesh(held);
        LogError("Failed to load animation file %s! Main mesh is not loaded!", file ? file : "");
        SetLoading(-1);
        return -1;
    }
    SetLoading(1);
    // The mesh loads under its own lock: the scene's thread may be updating this model.
    const int result = mesh->LoadActionFile(file, -1, 0);
    DropMesh(held);
    m_tracksStale.store(1, std::memory_order_release);
    SetLoading(result > 0 ? 0 : -1);
    return result;
}

std::uint16_t ModelSkeletal::FindAnimation(const char* name, bool flag) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return Model::FindAnimation(name, flag);
    const int i = mesh->FindAnimation(name);
    return i < 0 ? 0xFFFF : std::uint16_t(i);
}

const char* ModelSkeletal::GetAnimationName(int index) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh || index < 0) return nullptr;
    m_nameBuffer = mesh->GetAnimationName(std::uint16_t(index));
    return m_nameBuffer.empty() ? nullptr : m_nameBuffer.c_str();
}

bool ModelSkeletal::PlaySkeletalAnimation(int index, float transit, int type, float start, int loopFlags, float speed) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return false;
    RebuildStaleTracks();
    const int previous = mesh->GetCurrentAnimation(MeshBase::kSkeletal);
    if (!mesh->PlaySkeletalAnimation(std::uint16_t(index), transit, std::uint32_t(type), start,
                                     std::uint8_t(loopFlags), speed))
        return false;
    // A start time of its own starts the animation over, as the playback does.
    SwitchObjectTrack(previous, transit, start >= kTimedItemFloor);
    return true;
}

bool ModelSkeletal::PlayAnimationByName(const char* name, float transit, int loopFlags) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh || !name) return false;
    const int index = mesh->FindAnimation(name);
    if (index < 0) return false;
    RebuildStaleTracks();
    const int previous = mesh->GetCurrentAnimation(MeshBase::kSkeletal);
    if (!mesh->PlaySkeletalAnimation(std::uint16_t(index), transit, 16, -1.0f, std::uint8_t(loopFlags), 1.0f))
        return false;
    SwitchObjectTrack(previous, transit, false);
    return true;
}

int ModelSkeletal::GetBoneCount() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    return mesh ? mesh->GetBoneCount() : 0;
}

int ModelSkeletal::GetBonePaletteSize() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    return mesh ? int(mesh->GetBonePaletteSize()) : 0;
}

std::uint16_t ModelSkeletal::GetBonePaletteEntry(int index) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    return mesh && index >= 0 ? mesh->GetBonePaletteEntry(std::uint32_t(index)) : 0xFFFF;
}

std::uint16_t ModelSkeletal::FindBone(const char* name) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    const int b = mesh ? mesh->FindBone(name) : -1;
    return b < 0 ? 0xFFFF : std::uint16_t(b);
}

std::uint16_t ModelSkeletal::GetBoneParent(int bone) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh || bone < 0) return 0xFFFF;
    const std::uint8_t parent = mesh->GetBoneParent(std::uint32_t(bone));
    return parent == 255 ? 0xFFFF : parent;
}

const char* ModelSkeletal::GetBoneName(int bone) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh || bone < 0) return nullptr;
    m_nameBuffer = mesh->GetBoneName(std::uint32_t(bone));
    return m_nameBuffer.empty() ? nullptr : m_nameBuffer.c_str();
}

void ModelSkeletal::GetBoneWorldMatrix(int bone, Matrix& out) { GetBoneWorldMatrix(bone, out, 1); }

bool ModelSkeletal::GetBoneWorldMatrix(int bone, Matrix& out, int space) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh || bone < 0 || bone >= mesh->GetBoneCount()) return false;
    Matrix skeleton;
    if (!mesh->GetBoneMatrix(std::uint32_t(bone), skeleton)) return false;
    if (space == 2) {
        out = skeleton;
        return true;
    }
    Matrix object;
    if (space == 1 || !GetParent()) object = GetWorldMatrix();
    else GetLocalMatrix(object);
    if (mesh->GetBoneParent(std::uint32_t(bone)) == 255 && mesh->GetBonePaletteSize() == 1) {
        out = object;
        return true;
    }
    MatrixMultiplyFast(skeleton, object, out);
    return true;
}

bool ModelSkeletal::PopEvent(std::string& event) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    return mesh && mesh->PopEvent(event);
}

bool ModelSkeletal::IsAnimationEndPending() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return false;
    std::lock_guard<win32::CriticalSection> lock(mesh->Lock());
    const PlayClock& clock = mesh->State().CurrentChannel().clock;
    return clock.HasEnded() && clock.previousState != 2;
}

void ModelSkeletal::AcknowledgeSkeletalState() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return;
    std::lock_guard<win32::CriticalSection> lock(mesh->Lock());
    PlayClock& clock = mesh->State().MutableCurrentChannel().clock;
    clock.previousState = clock.state;
}

void ModelSkeletal::UpdateSkeletalBounds() {
    if (MeshSkeletal* mesh = GetSkeletalMesh()) mesh->UpdateBounds();
}

void ModelSkeletal::FreezeAtTime(float seconds) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return;
    mesh->SetSkeletalAnimationTime(seconds * 1000.0f, std::uint16_t(mesh->GetCurrentAnimation(MeshBase::kSkeletal)));
    m_freezeRequest = 1;
}

void ModelSkeletal::Update() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) {
        Model::Update();
        return;
    }
    if (!UpdateEnabled()) return;
    if (!m_animationFlag) {
        UpdateNameLabel();
        return;
    }
    // The object blends with the factor the skeleton blends with in this update.
    FollowTransition();
    SpaceObject::Update();
    const bool moved = IsTransformChanged();
    // Bones are computed when someone may see them: a visible model, or a shared mesh.
    const bool computePose = (IsVisible() && !IsCulled(0, 0)) || mesh->GetRefCount() > 1;
    client::IPyClient* client = Interfaces().pyClient;
    client::IScriptObject* timer = client ? client->GetScriptObject() : nullptr;
    const float before = timer ? timer->GetFloat() : 0.0f;
    RebuildStaleTracks();
    mesh->UpdateSkeletal(computePose, true);
    if (timer) {
        float spent = timer->GetFloat() - before;
        timer->CallMethod(kSkeletalTimingCode, &spent);
    }
    if (moved || computePose) UpdateShadowHelpers();
    UpdateModel();
    if (m_freezeRequest) {
        m_freezeRequest = 0;
        m_animationFlag = 0;
    }
}

// --- object tracks --------------------------------------------------------------------------------

TrackSampled* ModelSkeletal::GetAnimationTrack(int index) {
    if (index < 0 || std::size_t(index) >= m_animationTracks.size()) return nullptr;
    return m_animationTracks[std::size_t(index)];
}

void ModelSkeletal::Unhook(float blend) {
    // SpaceObject's unbinding goes through the virtual BindTrack, which refuses while an
    // animation drives the object: the model's own unhooking goes round it.
    SpaceObject::BindTrack(nullptr, blend, true, 3, 0.0f);
}

TrackSampled* ModelSkeletal::CurrentTrack() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    return mesh ? GetAnimationTrack(mesh->GetCurrentAnimation(MeshBase::kSkeletal)) : nullptr;
}

void ModelSkeletal::ReleaseAnimationTracks() {
    for (TrackSampled* track : m_animationTracks) {
        if (!track) continue;
        // Unhooked first: the object must not keep reading a track that is gone.
        if (GetBoundTrack() == track) Unhook(0.0f);
        if (GetFadingTrack() == track) DropFadingTrack();
        delete track;
    }
    m_animationTracks.clear();
}

void ModelSkeletal::RebuildAnimationTracks() {
    ReleaseAnimationTracks();
    m_tracksStale.store(0, std::memory_order_release);
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return;
    const int count = mesh->GetAnimationCount(MeshBase::kSkeletal);
    m_animationTracks.assign(std::size_t(std::max(count, 0)), nullptr);
    for (int i = 0; i < count; ++i) {
        TrackData* data = mesh->GetPivotTrack(std::uint16_t(i));
        if (!data) continue;
        TrackSampled* track = NewObject<TrackSampled>();
        if (!track) continue;
        if (!track->AttachData(data, 0)) {
            delete track;
            continue;
        }
        m_animationTracks[std::size_t(i)] = track;
    }
}

void ModelSkeletal::RebuildStaleTracks() {
    if (m_tracksStale.load(std::memory_order_acquire)) RebuildAnimationTracks();
}

void ModelSkeletal::SwitchObjectTrack(int previous, float transit, bool restart) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    // A direct play ends a running sequence (the sequence's own plays restore it).
    m_sequencePlaying = 0;
    m_sequence = -1;
    m_sequenceItem = -1;
    m_followingTransition = 0;
    if (!mesh) return;
    const int current = mesh->GetCurrentAnimation(MeshBase::kSkeletal);
    float blend = -1.0f;
    std::uint8_t blending = 1;
    if (!IsAnimation(previous) ||
        !mesh->GetGlobalTransition(std::uint16_t(previous), std::uint16_t(current), &blend, &blending)) {
        blend = -1.0f;
        blending = 1;
    }
    if (blend < kTimedItemFloor) blend = transit;
    if (!blending || blend < 0.0f) blend = 0.0f;
    TrackSampled* before = GetAnimationTrack(previous);
    TrackSampled* track = GetAnimationTrack(current);
    if (!track) {
        if (before && GetBoundTrack() == before) Unhook(blend);
        return;
    }
    // The track runs in step with the skeleton, which may not start at 0 (a start time, a
    // marker-synchronised switch).
    const float at = mesh->GetAnimationTime(MeshBase::kSkeletal);
    if (GetBoundTrack() == track) {
        // The same animation again: the track goes on as the skeleton does. Started over, it
        // moves on from where the object stands instead of jumping back.
        if (restart) {
            track->SetTime(at);
            ApplyBoundTrack();
        }
    } else if (!restart && before && before->TestFlag800() && track->TestFlag800() &&
               !(before->GetChannelFlags() & kNoContinueChannels) && !(track->GetChannelFlags() & kNoContinueChannels)) {
        // A continuing motion: the new track goes on from where the previous one left the object.
        track->SetBaseMatrix(*before->GetBaseMatrix());
        SpaceObject::BindTrack(track, 0.0f, false, 7, at);
    } else {
        SpaceObject::BindTrack(track, blend, true, 7, at);
    }
    track->SetLoop(mesh->IsAnimationLoop(MeshBase::kSkeletal));
    track->SetSpeed(mesh->GetAnimationSpeed(MeshBase::kSkeletal));
    if (mesh->IsAnimationPlaying(MeshBase::kSkeletal)) track->Start();
    else track->Stop();
    FollowTransition();
}

void ModelSkeletal::FollowTransition() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    TrackSampled* track = mesh ? CurrentTrack() : nullptr;
    if (!track || GetBoundTrack() != track) {
        m_followingTransition = 0;
        return;
    }
    float total = 0.0f, remaining = 0.0f;
    mesh->GetTransitionTimer(total, remaining);
    if (remaining > 0.0f) {
        m_followingTransition = DriveCrossFade(total, remaining) ? 1 : 0;
        return;
    }
    // The skeleton has finished its cross-fade: the object finishes its own with it.
    if (m_followingTransition) DriveCrossFade(total, 0.0f);
    m_followingTransition = 0;
}

bool ModelSkeletal::BindTrack(ITrack* track, float blend, bool apply, std::uint16_t mode, float start) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (mesh && CurrentTrack()) {
        LogWarning("Failed to attach track to model %s!It already has a track assigned by current animation %s.",
                   mesh->GetFileName().c_str(),
                   mesh->GetAnimationName(std::uint16_t(mesh->GetCurrentAnimation(MeshBase::kSkeletal))).c_str());
        return false;
    }
    return SpaceObject::BindTrack(track, blend, apply, mode, start);
}

ITrack* ModelSkeletal::UnbindTrack(float blend) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (mesh && CurrentTrack()) {
        LogWarning("Failed to detach track from model %s!It's track is assigned by current animation %s.",
                   mesh->GetFileName().c_str(),
                   mesh->GetAnimationName(std::uint16_t(mesh->GetCurrentAnimation(MeshBase::kSkeletal))).c_str());
        return nullptr;
    }
    return SpaceObject::UnbindTrack(blend);
}

ITrack* ModelSkeletal::GetTrack() { return CurrentTrack() ? nullptr : SpaceObject::GetTrack(); }

void ModelSkeletal::StopAnimation(int kind) {
    if (kind == 4 && m_sequencePlaying) kind = MeshBase::kSkeletal;
    TrackSampled* track = kind == MeshBase::kSkeletal ? CurrentTrack() : nullptr;
    Model::StopAnimation(kind);
    if (track) track->Stop();
}

bool ModelSkeletal::SetAnimationTime(float time, int kind) {
    const bool set = Model::SetAnimationTime(time, kind);
    if (kind != MeshBase::kSkeletal) return set;
    if (TrackSampled* track = CurrentTrack()) {
        track->SetTime(time);
        if (GetBoundTrack() == track) {
            ApplyTrackChannels();
            if (GetFadingTrack()) DropFadingTrack();
            InvalidateTransform();
        }
    }
    return set;
}

void ModelSkeletal::SetAnimationSpeed(float speed, int kind) {
    Model::SetAnimationSpeed(speed, kind);
    if (kind != MeshBase::kSkeletal) return;
    if (TrackSampled* track = CurrentTrack()) track->SetSpeed(speed);
}

void ModelSkeletal::SetAnimationReverse(bool reverse, int kind) {
    Model::SetAnimationReverse(reverse, kind);
    if (kind != MeshBase::kSkeletal) return;
    if (TrackSampled* track = CurrentTrack()) track->SetReverse(reverse);
}

void ModelSkeletal::SetAnimationLoop(bool loop, int kind) {
    Model::SetAnimationLoop(loop, kind);
    if (kind != MeshBase::kSkeletal) return;
    if (TrackSampled* track = CurrentTrack()) track->SetLoop(loop);
}

const char* ModelSkeletal::PopAnimationEvent() {
    if (!PopEvent(m_eventBuffer)) return nullptr;
    return m_eventBuffer.c_str();
}

const char* ModelSkeletal::GetAnimationEvent(int index) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return Model::GetAnimationEvent(index);
    if (index < 0 || !mesh->GetQueuedEvent(std::size_t(index), m_queuedEventBuffer)) return nullptr;
    return m_queuedEventBuffer.c_str();
}

int ModelSkeletal::GetAnimationEventCount() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    return mesh ? int(mesh->GetQueuedEventCount()) : Model::GetAnimationEventCount();
}

TrackData* ModelSkeletal::GetAnimationExtra(int index) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return Model::GetAnimationExtra(index);
    RebuildStaleTracks();
    TrackSampled* track = index == kNoAnimation ? CurrentTrack() : GetAnimationTrack(index);
    return track ? track->Data() : nullptr;
}

void ModelSkeletal::GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) {
    GetWorldBoundAt(-1.0f, center, radius, extents, space);
}

void ModelSkeletal::GetPartWorldBound(int part, Vec3* center, float* radius, Vec3* extents, int space) {
    GetPartWorldBoundAt(part, -1.0f, center, radius, extents, space);
}

void ModelSkeletal::GetWorldBoundAt(float time, Vec3* center, float* radius, Vec3* extents, int space) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) {
        Model::GetWorldBound(center, radius, extents, space);
        return;
    }
    GetBoundParts(mesh->GetAnimationFrameBounds(time), center, radius, extents, space);
}

void ModelSkeletal::GetPartWorldBoundAt(int part, float time, Vec3* center, float* radius, Vec3* extents,
                                        int space) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh || part < 0 || part >= GetSubMeshCount()) {
        Model::GetPartWorldBound(part, center, radius, extents, space);
        return;
    }
    GetBoundParts(mesh->GetAnimationSubMeshBounds(std::uint32_t(part), time), center, radius, extents, space);
}

bool ModelSkeletal::PlaySplitAnimation(bool enable, int index, float start, int loopFlags, float speed) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return Model::PlaySplitAnimation(enable, index, start, loopFlags, speed);
    return mesh->PlaySplitAnimation(enable ? 1 : 0, std::uint16_t(index), start, std::uint8_t(loopFlags), speed);
}

// --- groups and sequences --------------------------------------------------------------------------

bool ModelSkeletal::PlayAnimationGroup(const char* name, float transit) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return false;
    const int group = mesh->FindGroup(name);
    if (group < 0) {
        LogError("No animation group named %s!", name ? name : "");
        return false;
    }
    RebuildStaleTracks();
    const int previous = mesh->GetCurrentAnimation(MeshBase::kSkeletal);
    if (!mesh->PlayAnimationGroup(std::uint16_t(group), transit, 16, 1.0f)) return false;
    SwitchObjectTrack(previous, transit, false);
    return true;
}

bool ModelSkeletal::PlayAnimationSequence(const char* name) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) return false;
    const int sequence = mesh->FindSequence(name);
    if (sequence < 0) {
        LogError("No animation sequence named %s!", name ? name : "");
        return false;
    }
    AnimationSequenceItem first;
    std::uint16_t items = 0;
    mesh->GetSequenceItem(std::uint16_t(sequence), 0, first, &items);
    if (items == 0) {
        LogError("Failed to play animation sequence %s! No animations in this sequence!", name);
        return false;
    }
    m_sequence = std::int16_t(sequence);
    m_sequenceItem = -1;
    m_sequencePlaying = 1;
    m_sequenceFinished = 0;
    return NextSequenceItem();
}

bool ModelSkeletal::NextSequenceItem() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    const std::int16_t sequence = m_sequence;
    std::int16_t item = m_sequenceItem;
    for (;;) {
        ++item;
        m_itemTime = 0.0f;
        AnimationSequenceItem entry;
        std::uint16_t count = 0;
        if (!mesh || sequence < 0 || !mesh->GetSequenceItem(std::uint16_t(sequence), std::uint16_t(item), entry, &count)) {
            // Past the last item: the sequence ends (the next update reports it finished).
            m_sequence = -1;
            m_sequenceItem = -1;
            return false;
        }
        bool started = false;
        const int previous = mesh->GetCurrentAnimation(MeshBase::kSkeletal);
        if (entry.isGroup) {
            started = mesh->PlayAnimationGroup(entry.index, entry.transitTimeLength, 16, 1.0f);
        } else {
            started = mesh->PlaySkeletalAnimation(entry.index, entry.transitTimeLength, entry.transitType, 0.0f, 2, 1.0f);
        }
        if (!started) continue;
        // An animation item starts at 0: its track starts over too.
        SwitchObjectTrack(previous, entry.transitTimeLength, !entry.isGroup);
        m_sequence = sequence;
        m_sequenceItem = item;
        m_sequencePlaying = 1;
        return true;
    }
}

void ModelSkeletal::AdvanceSequence() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!m_sequencePlaying) {
        m_sequenceFinished = 0;
        return;
    }
    if (m_sequence >= 0 && mesh) {
        m_itemTime += float(GetFrameMilliseconds());
        AnimationSequenceItem entry;
        bool ended = true;
        if (mesh->GetSequenceItem(std::uint16_t(m_sequence), std::uint16_t(m_sequenceItem), entry, nullptr)) {
            ended = entry.duration >= kTimedItemFloor ? m_itemTime >= entry.duration
                                                      : mesh->IsAnimationFinished(MeshBase::kSkeletal);
        }
        if (ended) NextSequenceItem();
    }
    if (m_sequence < 0) {
        m_sequencePlaying = 0;
        m_sequenceFinished = 1;
        if (mesh && mesh->IsAnimationPlaying(MeshBase::kSkeletal)) StopAnimation(MeshBase::kSkeletal);
    }
}

// --- bound objects and the shadow ------------------------------------------------------------------

bool ModelSkeletal::BindChildToBone(ISpaceObject* object, int bone, const Matrix* offset, std::uint32_t mask) {
    if (!offset) return BindChildToSocket(object, bone, mask, false, 0);
    if (!object || bone < 0 || bone >= GetBoneCount() || m_bound.count(object)) return false;
    // Adopted first: an object the model cannot hold leaves no entry behind.
    if (!AddChild(object, false)) return false;
    SocketBinding& binding = m_bound[object];
    binding.socket = 0xFFFF;
    binding.bone = std::uint16_t(bone);
    binding.offset = *offset;
    binding.bindKind = mask ? mask : 7;
    PlaceBoundObjects();
    return true;
}

bool ModelSkeletal::UnbindSocketChildren(int index, bool boneSwitch, int objectType) {
    if (!boneSwitch) return Model::UnbindSocketChildren(index, boneSwitch, objectType);
    if (index >= GetBoneCount()) return false;
    for (auto it = m_bound.begin(); it != m_bound.end();) {
        const SocketBinding& b = it->second;
        const bool match = b.bone != 0xFFFF && (index < 0 || b.bone == index) &&
                           (objectType == 0 || it->first->GetObjectType() == objectType);
        if (match) {
            RemoveChild(it->first, false);
            it = m_bound.erase(it);
        } else {
            ++it;
        }
    }
    return true;
}

bool ModelSkeletal::ShowSocketAttachment(ISpaceObject* object, int socket) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    const MeshSocket* record = GetSocketData(socket);
    const bool hidden = object->HasHideFlags(2);
    bool show = false;
    bool restart = false;
    if (mesh && record && mesh->GetCurrentAnimation(MeshBase::kSkeletal) == mesh->GetSocketAnimation(std::uint32_t(socket))) {
        const float st = record->startTime;
        const float t = mesh->GetAnimationTime(MeshBase::kSkeletal);
        const float f = float(GetFrameMilliseconds());
        show = !hidden || st <= kTimedItemFloor;
        // The start time was passed during the last frame step.
        if (st > kTimedItemFloor && st < t && t - f - 0.0001f < st) show = restart = true;
    }
    if (show == hidden) object->SetHideFlags(!show, 2, true);
    if (restart) {
        switch (object->GetObjectType()) {
        case 3:
            if (auto* model = dynamic_cast<IModel*>(object)) {
                model->PlaySkeletalAnimation(0, 0.0f, 0, 0.0f, 2, 1.0f);
                model->PlayAnimation(0, 3, 0.0f);
            }
            break;
        case 4:
            if (auto* fx = dynamic_cast<IFxBase*>(object)) fx->Reset();
            break;
        case 7:
            if (auto* speaker = dynamic_cast<ISpeaker*>(object)) speaker->Start();
            break;
        default: break;
        }
    }
    return show;
}

void ModelSkeletal::PlaceBoundObjects() {
    if (m_bound.empty()) return;
    MeshSkeletal* mesh = GetSkeletalMesh();
    const int sockets = GetSocketCount();
    const bool animating = mesh && IsAnimation(mesh->GetCurrentAnimation(MeshBase::kSkeletal));
    for (const auto& [object, binding] : m_bound) {
        if (binding.bone != 0xFFFF) {
            Matrix m = binding.offset;
            Matrix bone;
            if (animating && mesh->GetBoneMatrix(binding.bone, bone)) MatrixMultiplyFast(binding.offset, bone, m);
            PlaceBound(object, m, binding.bindKind, false);
            continue;
        }
        if (binding.socket >= sockets) continue;
        if (binding.attachment && mesh && mesh->GetSocketAnimation(binding.socket) != kNoAnimation &&
            !ShowSocketAttachment(object, binding.socket))
            continue;
        Matrix m;
        if (GetSocketMatrix(binding.socket, m)) PlaceBound(object, m, binding.bindKind, false);
    }
}

bool ModelSkeletal::CreateShadow(int bone, const float* extents) {
    if (m_decal) return true;
    if (!Model::CreateShadow(bone, extents)) return false;
    m_shadowBone = bone >= 0 && bone < GetBoneCount() ? std::uint16_t(bone) : kNoShadowBone;
    PlaceSkeletalShadow();
    return true;
}

void ModelSkeletal::PlaceSkeletalShadow() {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!m_decal || !mesh) return;
    Vec3 centre, half;
    {
        std::lock_guard<win32::CriticalSection> lock(mesh->Lock());
        mesh->State().GetSkeletonBound(centre, half);
    }
    TransformCoord(centre, GetWorldMatrix());
    if (m_shadowBone != kNoShadowBone) {
        Matrix boneWorld;
        if (GetBoneWorldMatrix(m_shadowBone, boneWorld, 1)) {
            // The point of the vertical line through the centre nearest to the bone.
            const Vec3 down{0.0f, -1.0f, 0.0f};
            const Vec3 d = boneWorld.Row(3) - centre;
            const float along = d.x * down.x + d.y * down.y + d.z * down.z;
            centre = centre + down * along;
        }
    }
    const float at[3] = {centre.x, centre.y, centre.z};
    const float extents[3] = {m_extentsOff ? m_decalExtents[0] : half.x, half.y,
                              m_extentsOff ? m_decalExtents[1] : half.z};
    m_decal->SetPlacement(at, extents);
}

// --- mesh changes and copies ----------------------------------------------------------------------

template <typename Change>
bool ModelSkeletal::ChangeSkeletalMesh(Change change) {
    if (PlainMode()) return change();
    m_updateEnabled.store(0, std::memory_order_release);
    // The tracks play data the old mesh may free with itself.
    RunUnderOwnerLock([this] { ReleaseAnimationTracks(); });
    const bool changed = change();
    // Rebuilt for whichever mesh is in place now, under the lock the scene's update holds (as
    // the socket tracks are); a cleared model only marks them for later.
    m_tracksStale.store(1, std::memory_order_release);
    RunUnderOwnerLock([this] { RebuildAnimationTracks(); });
    return changed;
}

bool ModelSkeletal::ChangeMeshData(const char* name, MeshData* data) {
    return ChangeSkeletalMesh([&] { return Model::ChangeMeshData(name, data); });
}

bool ModelSkeletal::ChangeMeshFromMemory(const char* name, const void* image, std::size_t size) {
    return ChangeSkeletalMesh([&] { return Model::ChangeMeshFromMemory(name, image, size); });
}

bool ModelSkeletal::ChangeMeshFile(const char* name) {
    return ChangeSkeletalMesh([&] { return Model::ChangeMeshFile(name); });
}

void ModelSkeletal::CopyFrom(ModelBase* other) {
    if (!other || other == this || other->GetMesh() == GetMesh()) return;
    ReleaseAnimationTracks();
    Model::CopyFrom(other);
    RebuildAnimationTracks();
}

bool ModelSkeletal::GetSocketMatrix(int socket, Matrix& out) {
    if (!Model::GetSocketMatrix(socket, out)) return false;
    MeshSkeletal* mesh = GetSkeletalMesh();
    const MeshSocket* record = GetSocketData(socket);
    // A socket tied to a bone follows the bone's current pose.
    Matrix bone;
    if (mesh && record && record->boneIndex >= 0 && mesh->GetBoneMatrix(std::uint32_t(record->boneIndex), bone)) {
        const Matrix toBone = out;
        MatrixMultiplyFast(toBone, bone, out);
    }
    return true;
}

bool ModelSkeletal::NeedsNormalize(int i) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    return Model::NeedsNormalize(i) || (mesh && mesh->ScalesBones());
}

void ModelSkeletal::UpdateModel() {
    if (!GetSkeletalMesh()) {
        Model::UpdateModel();
        return;
    }
    PlaceSkeletalShadow();
    for (TrackSampled* track : m_socketTracks)
        if (track) track->Advance();
    PlaceBoundObjects();
    AdvanceSequence();
    UpdateNameLabel();
}

}  // namespace quor::world
