#include <cstring>

#include "platform/host/IPyClient.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/AsyncRecords.h"
#include "world/skeleton/MeshSkeletal.h"

namespace quor::world {

namespace {
// The script client's timing code of the skeletal update.
constexpr int kSkeletalTimingCode = 10;
}  // namespace

ModelSkeletal::~ModelSkeletal() = default;

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
    return LoadAnimationFileNow(file) > 0;
}

int ModelSkeletal::LoadAnimationFileNow(const char* file) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh) {
        LogError("Failed to load animation file %s! Main mesh is not loaded!", file ? file : "");
        SetLoading(-1);
        return -1;
    }
    SetLoading(1);
    // The mesh loads under its own lock: the scene's thread may be updating this model.
    const int result = mesh->LoadActionFile(file, -1, 0);
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
    return mesh->PlaySkeletalAnimation(std::uint16_t(index), transit, std::uint32_t(type), start,
                                       std::uint8_t(loopFlags), speed);
}

bool ModelSkeletal::PlayAnimationByName(const char* name, float transit, int loopFlags) {
    MeshSkeletal* mesh = GetSkeletalMesh();
    if (!mesh || !name) return false;
    const int index = mesh->FindAnimation(name);
    if (index < 0) return false;
    return mesh->PlaySkeletalAnimation(std::uint16_t(index), transit, 16, -1.0f, std::uint8_t(loopFlags), 1.0f);
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
    return clock.state == 2 && clock.previousState != 2;
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
    SpaceObject::Update();
    const bool moved = IsTransformChanged();
    // Bones are computed when someone may see them: a visible model, or a shared mesh.
    const bool computePose = (IsVisible() && !IsCulled(0, 0)) || mesh->GetRefCount() > 1;
    client::IPyClient* client = Interfaces().pyClient;
    client::IScriptObject* timer = client ? client->GetScriptObject() : nullptr;
    const float before = timer ? timer->GetFloat() : 0.0f;
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

}  // namespace quor::world
