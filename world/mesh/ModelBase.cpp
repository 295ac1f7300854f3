#include "world/mesh/ModelBase.h"

#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/host/IAsyncLoader.h"
#include "platform/host/IClient.h"
#include "platform/host/IResFileSystem.h"
#include "platform/win32/Messages.h"
#include "world/core/Camera.h"
#include "world/core/GeoObject.h"
#include "world/core/InterfaceTable.h"
#include "world/core/LightList.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/ObjectOwner.h"
#include "world/core/math/Frustum.h"
#include "world/core/track/TrackData.h"
#include "world/core/track/TrackSampled.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/MeshData.h"
#include "world/mesh/MeshDataMgr.h"
#include "world/mesh/MeshSegment.h"
#include "world/mesh/MeshSocket.h"
#include "world/mesh/MeshVertexBuffer.h"
#include "world/mesh/MeshVertexData.h"
#include "world/scene/AsyncRecords.h"
#include "world/scene/IScene.h"
#include "world/skeleton/MeshSkeletal.h"

namespace quor::world {

namespace {

using Guard = win32::CriticalSectionLock;

constexpr const char* kBoxFile = "defualt_models\\box.mom";
constexpr std::uint32_t kTransparentFlag = 0x1000;
constexpr int kMaxModelLights = 5;

// --- the model-name map ---------------------------------------------------------------------------

win32::CriticalSection& NameMapLock() {
    static win32::CriticalSection lock;
    return lock;
}

std::map<std::string, MeshBase*>& NameMap() {
    static std::map<std::string, MeshBase*> map;
    return map;
}

void NameMapStore(const char* name, MeshBase* mesh) {
    Guard lock(NameMapLock());
    NameMap()[name ? name : ""] = mesh;
}

// Erases only the entry that holds this instance: two models of one file each made their own
// instance, and the one dying must not take the other's entry with it.
void NameMapErase(MeshBase* mesh) {
    Guard lock(NameMapLock());
    auto& map = NameMap();
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (it->second == mesh) {
            map.erase(it);
            return;
        }
    }
}

void TrackDelete(TrackSampled* track) { delete track; }

// The name with the text from its last "." replaced by ".mom"; false for a name too long.
bool ForceMomExtension(const char* name, std::string& out) {
    if (std::strlen(name) > ModelBase::kMaxNameLength) return false;
    out = name;
    const std::size_t dot = out.rfind('.');
    if (dot != std::string::npos) out.replace(dot, std::string::npos, ".mom");
    return out.size() <= ModelBase::kMaxNameLength;
}

void BoundsToParts(const Bounds& b, Vec3* center, float* radius, Vec3* extents) {
    if (center) *center = b.centre;
    if (radius) *radius = b.radius;
    if (extents) *extents = b.half;
}

}  // namespace

namespace ModelNameMap {
MeshBase* Find(const char* name) {
    Guard lock(NameMapLock());
    auto it = NameMap().find(name ? name : "");
    return it == NameMap().end() ? nullptr : it->second;
}
std::size_t Size() {
    Guard lock(NameMapLock());
    return NameMap().size();
}
}  // namespace ModelNameMap

// --- construction and lifetime ---------------------------------------------------------------------

ModelBase::ModelBase() = default;

ModelBase::~ModelBase() {
    Clear();
    m_labels.clear();
    LogInfo("~ModelBase %p", static_cast<void*>(this));
}

Model::~Model() {
    // Before any part of the object is gone: a loader thread may still be running a request
    // for it.
    if (!m_keepRequests) UnregisterModelHandle(this);
}

void ModelBase::Clear() {
    ReleaseLightSet();
    ResetSubMeshes(nullptr);
    if (!m_keepRequests) UnregisterModelHandle(this);
    ReleaseShadowObjects();
    // Objects bound to sockets stay where they are; they only lose the model.
    m_bound.clear();
    MeshBase* mesh = GetMesh();
    if (!mesh) {
        win32::OutputDebugStringA("ModelBase::Clear() mesh为空，不知道什么时候变为空了！\n");
        return;
    }
    ReleaseSocketTracks();
    m_mesh.store(nullptr, std::memory_order_release);
    ReleaseMesh(mesh);
}

void ModelBase::ReleaseMesh(MeshBase* mesh) {
    if (!mesh) return;
    if (mesh->DecRef() > 0) return;
    NameMapErase(mesh);
    mesh->Destroy();
}

void ModelBase::ReleaseSocketTracks() {
    for (TrackSampled* track : m_socketTracks) TrackDelete(track);
    m_socketTracks.clear();
}

MeshBase* ModelBase::CreateMesh() {
    MeshBase* mesh = NewMeshObject();
    if (!mesh) return nullptr;
    mesh->AddRef();
    mesh->Switches().ownerScene = GetOwnerScene();
    m_mesh.store(mesh, std::memory_order_release);
    return mesh;
}

MeshBase* ModelBase::ReadyMesh() const {
    MeshBase* mesh = GetMesh();
    return mesh && mesh->Ready() ? mesh : nullptr;
}

void UnregisterModelHandle(ModelBase* model) {
    if (!model) return;
    // A loader thread waiting for the scene's object lock gives up once it sees this, so the
    // wait below cannot close a cycle with a caller that holds that lock.
    model->m_clearing.store(1, std::memory_order_release);
    if (client::IClient* client = Interfaces().client) client->CancelAsyncRequests(model);
    if (common::IAsyncLoader* loader = Interfaces().asyncLoader) loader->CancelOwner(model);
    model->m_clearing.store(0, std::memory_order_release);
}

template <typename Work>
bool ModelBase::UnderOwnerLock(Work work) {
    IScene* scene = GetOwnerScene();
    ObjectOwner* owner = scene ? dynamic_cast<ObjectOwner*>(scene) : nullptr;
    if (!owner) {
        work();
        return true;
    }
    ObjectLock& lock = owner->GetObjectLock();
    while (!lock.TryEnter()) {
        if (m_clearing.load(std::memory_order_acquire)) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    work();
    lock.Leave();
    return true;
}

bool ModelBase::RunUnderOwnerLock(const std::function<void()>& work) { return UnderOwnerLock(work); }

MeshBase* ModelBase::HoldMesh() {
    MeshBase* mesh = nullptr;
    UnderOwnerLock([&] {
        mesh = GetMesh();
        if (mesh) mesh->AddRef();
    });
    return mesh;
}

void ModelBase::DropMesh(MeshBase* mesh) {
    if (!mesh) return;
    // Cleared meanwhile: the model's own reference keeps this from being the last one.
    if (!UnderOwnerLock([&] { ReleaseMesh(mesh); })) ReleaseMesh(mesh);
}

// --- loading --------------------------------------------------------------------------------------

bool ModelBase::AddMeshFile(const char* file, int async, std::uint32_t* requestId) {
    if (!file) return false;
    std::string name;
    if (!ForceMomExtension(file, name)) {
        LogError("Mesh file name too long: %.64s...", file);
        return false;
    }
    if (async) {
        SetLoading(1);
        AddMeshData* record = AsyncLoaderRef::Instance().CreateAddMeshData(this, name.c_str());
        if (!record) {
            SetLoading(-1);
            return false;
        }
        if (requestId) *requestId = record->stamp;
        record->Submit();
        return true;
    }
    return AddMeshFileNow(name.c_str());
}

bool ModelBase::AddMeshFileNow(const char* file) {
    if (!file) file = "";
    // The mesh is held for the length of the load: a change on another loader thread may
    // replace it meanwhile, and only the scene's lock may see it destroyed.
    MeshBase* mesh = nullptr;
    UnderOwnerLock([&] {
        mesh = GetMesh();
        if (mesh) mesh->AddRef();
    });
    if (!mesh) {
        LogError("Failed to add mesh file %s! Main mesh is not loaded!", file);
        SetLoading(-1);
        return false;
    }
    SetLoading(1);
    bool added = mesh->LoadMeshFile(file);
    if (!added) {
        added = mesh->LoadMeshFile(kBoxFile);
        // The box stands in for the part; the add still counts as done, but say what is missing.
        if (added) LogWarning("Mesh file %s not found, the default box is shown instead!", file);
    }
    const bool published = UnderOwnerLock([&] {
        if (added && mesh == GetMesh()) {
            RebuildBoundCaches();
            TestLightNeeds();
        }
        ReleaseMesh(mesh);
    });
    if (!published) {
        // Cleared meanwhile: the model still holds its own reference, so this is never the last.
        ReleaseMesh(mesh);
        SetLoading(-1);
        return false;
    }
    if (!added) {
        SetLoading(-1);
        LogError("Failed to add mesh file %s!", file);
        return false;
    }
    SetLoading(0);
    return true;
}

bool ModelBase::LoadMaterialFile(const char* file, int async, std::uint32_t* requestId) {
    if (!file) return false;
    if (async) {
        MaterialAsycData* record = AsyncLoaderRef::Instance().CreateMaterialData(this, file);
        if (!record) return false;
        if (requestId) *requestId = record->stamp;
        record->Submit();
        return true;
    }
    return LoadMaterialFileNow(file);
}

bool ModelBase::LoadMaterialFileNow(const char* file) {
    if (!file) return false;
    // Held for the load: a mesh change on another thread may replace it meanwhile.
    MeshBase* mesh = HoldMesh();
    if (!mesh) return false;
    bool loaded = false;
    {
        win32::CriticalSectionLock lock(mesh->Lock());
        MeshSegment* part = mesh->GetPart(0);
        loaded = part && part->LoadMaterialFile(file);
        if (loaded) mesh->MarkDrawListStale();
    }
    DropMesh(mesh);
    return loaded;
}

MeshBase* ModelBase::NewMeshObject() {
    if (IsSkeletal()) return NewObject<MeshSkeletal>();
    return NewObject<Mesh>();
}

template <typename Load>
bool ModelBase::ChangeMesh(const char* name, Load load) {
    if (!name) name = "";
    MeshBase* fresh = NewMeshObject();
    if (!fresh) return false;
    fresh->AddRef();
    fresh->Switches().ownerScene = GetOwnerScene();
    // The scene's load priority reaches the textures the mesh's materials load.
    fresh->SetRenderOption(m_loadOption);
    // Loaded aside: the scene keeps drawing the old mesh until the new one is complete.
    if (!load(*fresh)) {
        ReleaseMesh(fresh);
        UnderOwnerLock([&] {
            if (MeshBase* old = GetMesh())
                LogError("Failed to change mesh file: %s -> %s!", old->GetFileName().c_str(), name);
        });
        return false;
    }
    const bool published = UnderOwnerLock([&] {
        // Taken here, not before the load: another change may have replaced it meanwhile.
        MeshBase* old = m_mesh.exchange(fresh, std::memory_order_acq_rel);
        if (old) {
            LogInfo("Mesh file changed: %s -> %s!", old->GetFileName().c_str(), name);
            ReleaseMesh(old);
        }
        NameMapStore(name, fresh);
        m_sharesMesh = 0;
        RebuildSocketTracks();
        RebuildBoundCaches();
        m_updateEnabled.store(1, std::memory_order_release);
    });
    if (!published) {
        ReleaseMesh(fresh);
        return false;
    }
    return true;
}

bool ModelBase::ChangeMeshData(const char* name, MeshData* data) {
    // The mesh takes over the caller's reference to the data, and gives it back on failure;
    // without a mesh to hand it to, it is given back here.
    bool handed = false;
    const bool changed = ChangeMesh(name, [&](MeshBase& mesh) {
        handed = true;
        return mesh.SetMeshData(data);
    });
    if (!handed && data) MeshDataMgr::GetInstance().Release(data);
    return changed;
}

bool ModelBase::ChangeMeshFromMemory(const char* name, const void* image, std::size_t size) {
    return ChangeMesh(name, [&](MeshBase& mesh) { return mesh.LoadMeshFromMemory(name, image, size); });
}

bool ModelBase::ChangeMeshFile(const char* name) {
    return ChangeMesh(name, [&](MeshBase& mesh) { return mesh.LoadMeshFile(name); });
}

void ModelBase::CopyFrom(ModelBase* other) {
    if (!other || other == this) return;
    // The other model's mesh is read and held under that model's owner lock: a change there
    // may replace and destroy it.
    MeshBase* shared = other->HoldMesh();
    if (!shared) {
        LogError("Can't copy a model without a mesh!");
        return;
    }
    if (shared == GetMesh()) {
        other->DropMesh(shared);
        return;
    }
    const bool published = UnderOwnerLock([&] {
        ReleaseMesh(m_mesh.exchange(shared, std::memory_order_acq_rel));
        m_sharesMesh = 1;
        other->m_sharesMesh = 1;
        RebuildSocketTracks();
        RebuildBoundCaches();
        m_updateEnabled.store(1, std::memory_order_release);
    });
    if (!published) {
        ReleaseMesh(shared);
        return;
    }
    SetLoading(0);
}

void ModelBase::RebuildSocketTracks() {
    ReleaseSocketTracks();
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    const int count = GetSocketCount();
    m_socketTracks.assign(std::size_t(count), nullptr);
    for (int i = 0; i < count; ++i) {
        const MeshSocket* socket = mesh->GetSocketRecord(std::uint32_t(i));
        if (!socket || !socket->track) continue;
        TrackSampled* track = NewObject<TrackSampled>();
        if (!track) continue;
        if (!track->AttachData(socket->track.get(), 0)) {
            TrackDelete(track);
            continue;
        }
        track->SetLoop(true);
        m_socketTracks[std::size_t(i)] = track;
    }
}

void ModelBase::RebuildBoundCaches() {
    if (!m_localBoundCache) m_localBoundCache = std::make_unique<Bounds>();
    if (!m_worldBoundCache) m_worldBoundCache = std::make_unique<Bounds>();
    const std::size_t subs = std::size_t(std::max(GetSubMeshCount(), 0));
    m_partLocalBounds.assign(subs, Bounds{});
    m_partWorldBounds.assign(subs, Bounds{});
    m_partParentBounds.assign(subs, Bounds{});
    m_worldBoundValid[0] = m_worldBoundValid[1] = 0;
    // The sub-meshes' normalise (bit 0) and mirrored (bit 1) flags, read once per mesh for
    // the draw preparation: bits 0 and 1 of each record's first extra value.
    m_subMeshFlags.assign(subs, 0);
    for (std::size_t i = 0; i < subs; ++i) {
        const SubMeshInfo* info = GetSubMeshInfo(int(i));
        if (info) m_subMeshFlags[i] = std::uint8_t(info->extraValues[0] & 3);
    }
    if (MeshBase* mesh = GetMesh()) mesh->Switches().culled.assign(subs, 0);
}

ModelLightSet* ModelBase::TakeLightSet(IScene* scene) {
    if (!scene) return nullptr;
    ModelLightSet* set = NewObject<ModelLightSet>();
    if (set) set->enabled.assign(std::size_t(std::max(scene->GetLightCount(), 0)), 0);
    return set;
}

void ModelBase::ReleaseLightSet() {
    delete m_lightSet;
    m_lightSet = nullptr;
}

void ModelBase::TestLightNeeds() {
    MeshBase* mesh = GetMesh();
    bool lit = false;
    if (mesh) {
        const std::uint32_t subs = mesh->GetSubMeshCount();
        for (std::uint32_t i = 0; i < subs && !lit; ++i) {
            SubMesh* sub = mesh->GetSubMesh(i);
            lit = sub && sub->Material();
        }
    }
    if (!lit) {
        ReleaseLightSet();
    } else if (!m_lightSet) {
        m_lightSet = TakeLightSet(GetOwnerScene());
    }
    ResetSubMeshes(m_lightSet);
}

void ModelBase::ResetSubMeshes(ModelLightSet* lightSet) {
    if (MeshBase* mesh = GetMesh()) mesh->SetLightSet(lightSet);
}

void ModelBase::ResetMeshState() {
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    for (int kind = MeshBase::kVertexKeys; kind <= MeshBase::kUv; ++kind) StopAnimation(kind);
    const std::uint32_t subs = mesh->GetSubMeshCount();
    for (std::uint32_t i = 0; i < subs; ++i) mesh->SetSubMeshVisible(i, true);
}

// --- creation by file -----------------------------------------------------------------------------

ModelSkeletal* CreateModelSkeletal() { return NewObject<ModelSkeletal>(); }

void InitModelVtables(ModelBase* model) {
    if (auto* skeletal = dynamic_cast<ModelSkeletal*>(model)) skeletal->SetPlainMode();
}

bool CreateModelForFile(ModelBase* model, const char* path) { return CreateModelForFileEx(model, path, 0); }

bool CreateModelForFileEx(ModelBase* model, const char* path, int) {
    if (!model || !path || !*path) return false;
    if (std::strlen(path) > ModelBase::kMaxNameLength) {
        LogError("Mesh file name too long: %.64s...", path);
        return false;
    }
    if (MeshData* cached = MeshDataMgr::GetInstance().FindByName(path)) {
        if (cached->meshType != MeshDataMgr::kSkeletal) InitModelVtables(model);
        return model->ChangeMeshData(path, cached);
    }
    common::IResFileSystem* files = Interfaces().resFileSystem;
    common::IResFile* file = files ? files->OpenFile(path, 0) : nullptr;
    if (!file) {
        LogError("模型文件 %s 找不到!", path);
        return false;
    }
    bool result = false;
    const std::uint8_t* image = static_cast<const std::uint8_t*>(file->GetData());
    const std::size_t size = file->GetSize();
    if (!image || size < 10) {
        LogError("Bad format in mesh file %s!", path);
    } else {
        const std::uint16_t type = std::uint16_t(image[8] | (image[9] << 8));
        const char* dot = std::strrchr(path, '.');
        if (type != MeshDataMgr::kSkeletal) InitModelVtables(model);
        if (dot && strcasestr(dot, ".mom")) result = model->ChangeMeshFromMemory(path, image, size);
    }
    file->Close();
    return result;
}

// --- sockets and bound objects ---------------------------------------------------------------------

int ModelBase::GetSocketCount() {
    MeshBase* mesh = GetMesh();
    if (!mesh) return 0;
    MeshSegment* part = mesh->GetPart(0);
    return part ? part->GetSocketCount() : 0;
}

int ModelBase::FindSocket(const char* name) {
    MeshBase* mesh = GetMesh();
    if (!mesh || !name) return -1;
    MeshSegment* part = mesh->GetPart(0);
    if (!part) return -1;
    const std::uint16_t i = part->FindSocket(name);
    return i == 0xFFFF ? -1 : int(i);
}

const MeshSocket* ModelBase::GetSocketData(int socket) {
    MeshBase* mesh = GetMesh();
    if (!mesh || socket < 0 || socket >= GetSocketCount()) return nullptr;
    return mesh->GetSocketRecord(std::uint32_t(socket));
}

const std::vector<std::string>* ModelBase::GetSocketObjectList(int socket) {
    const MeshSocket* record = GetSocketData(socket);
    return record ? &record->objectFiles : nullptr;
}

bool ModelBase::GetSocketMatrix(int socket, Matrix& out) {
    MeshBase* mesh = GetMesh();
    if (!mesh || socket < 0 || socket >= GetSocketCount()) return false;
    MeshSegment* part = mesh->GetPart(0);
    const Matrix* m = part ? part->GetSocketMatrix(std::uint32_t(socket)) : nullptr;
    if (!m) return false;
    out = *m;
    return true;
}

bool ModelBase::GetSocketWorldMatrix(int socket, Matrix& out) {
    Matrix local;
    if (!GetSocketMatrix(socket, local)) return false;
    MatrixMultiplyPlain(local, GetWorldMatrix(), out);
    return true;
}

TrackSampled* ModelBase::GetSocket(int socket, std::uint32_t* syncToMorph) {
    if (socket < 0 || std::size_t(socket) >= m_socketTracks.size()) return nullptr;
    if (syncToMorph) {
        const MeshSocket* record = GetSocketData(socket);
        *syncToMorph = record ? record->syncToMorph : 0;
    }
    return m_socketTracks[std::size_t(socket)];
}

ISpaceObject* ModelBase::GetSocketObject(int socket, int position) {
    int seen = 0;
    for (const auto& [object, binding] : m_bound) {
        if (binding.socket != socket) continue;
        if (seen++ == position) return object;
    }
    return nullptr;
}

ISpaceObject* ModelBase::GetAttachedObject(int index) {
    if (index < 0) return nullptr;
    for (const auto& entry : m_bound)
        if (index-- == 0) return entry.first;
    return nullptr;
}

void ModelBase::PlaceBound(ISpaceObject* object, const Matrix& socketMatrix, std::uint32_t bindKind,
                           bool wholeMatrix) {
    if (bindKind == 7 || wholeMatrix) {
        object->SetLocalMatrix(socketMatrix);
        return;
    }
    if (bindKind & 1) object->SetPosition(socketMatrix.Row(3));
    if (bindKind & 2) {
        Vec3 translation, scale;
        Matrix rotation;
        MatrixDecompose(socketMatrix, translation, rotation, scale);
        object->SetRotation(rotation);
    }
}

bool ModelBase::Bind(ISpaceObject* object, int socket, std::uint32_t mask, bool wholeMatrix, std::uint16_t extra,
                     bool attachment) {
    if (!object || socket < 0 || socket >= GetSocketCount()) return false;
    const MeshSocket* record = GetSocketData(socket);
    if (!record) return false;
    std::uint32_t kind = record->bindType;
    if (mask) kind &= mask;
    const bool adopted = attachment ? AddAttachment(object, false) : AddChild(object, false);
    if (!adopted) return false;
    SocketBinding& binding = m_bound[object];
    binding.socket = std::uint16_t(socket);
    binding.mask = mask;
    binding.bindKind = kind;
    binding.extra = extra;
    binding.attachment = attachment;
    Matrix m;
    if (GetSocketMatrix(socket, m)) PlaceBound(object, m, kind, wholeMatrix);
    return true;
}

bool ModelBase::BindChildToSocket(ISpaceObject* object, int socket, std::uint32_t mask, bool wholeMatrix,
                                  std::uint16_t extra) {
    return Bind(object, socket, mask, wholeMatrix, extra, false);
}

bool ModelBase::BindAttachmentToSocket(ISpaceObject* object, int socket, std::uint32_t mask, bool wholeMatrix,
                                       std::uint16_t extra) {
    return Bind(object, socket, mask, wholeMatrix, extra, true);
}

bool ModelBase::UnbindSocketChildren(int socket, bool keepWorld, int objectType) {
    if (socket >= GetSocketCount()) return false;
    for (auto it = m_bound.begin(); it != m_bound.end();) {
        const bool match = !it->second.attachment && (socket < 0 || it->second.socket == socket) &&
                           (objectType == 0 || it->first->GetObjectType() == objectType);
        if (match) {
            RemoveChild(it->first, keepWorld);
            it = m_bound.erase(it);
        } else {
            ++it;
        }
    }
    return true;
}

bool ModelBase::UnbindChildFromSocket(ISpaceObject* object, bool keepWorld) {
    auto it = m_bound.find(object);
    if (it == m_bound.end()) return false;
    m_bound.erase(it);
    return RemoveChild(object, keepWorld);
}

bool ModelBase::UnbindAttachmentFromSocket(ISpaceObject* object, bool keepWorld) {
    auto it = m_bound.find(object);
    if (it == m_bound.end()) return false;
    m_bound.erase(it);
    return RemoveAttachment(object, keepWorld);
}

void ModelBase::DropBoundObject(ISpaceObject* object) { m_bound.erase(object); }

// --- bounds and picking ----------------------------------------------------------------------------

bool ModelBase::GetBoundingBox(Vec3& min, Vec3& max, const Vec3* corners8) {
    MeshBase* mesh = ReadyMesh();
    if (!mesh || !mesh->GetBoundingBox(min, max)) return false;
    if (!corners8) return true;
    // The query box, brought into the model's space, clips the mesh box.
    Vec3 qmin{1e30f, 1e30f, 1e30f}, qmax{-1e30f, -1e30f, -1e30f};
    for (int i = 0; i < 8; ++i) {
        Vec3 local;
        WorldToLocal(corners8[i], local);
        qmin = {std::min(qmin.x, local.x), std::min(qmin.y, local.y), std::min(qmin.z, local.z)};
        qmax = {std::max(qmax.x, local.x), std::max(qmax.y, local.y), std::max(qmax.z, local.z)};
    }
    min = {std::max(min.x, qmin.x), std::max(min.y, qmin.y), std::max(min.z, qmin.z)};
    max = {std::min(max.x, qmax.x), std::min(max.y, qmax.y), std::min(max.z, qmax.z)};
    return min.x <= max.x && min.y <= max.y && min.z <= max.z;
}

void ModelBase::GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) {
    MeshBase* mesh = GetMesh();
    if (!mesh) {
        VisibleObject::GetWorldBound(center, radius, extents, space);
        return;
    }
    const bool keyed = mesh->IsAnimationPlaying(MeshBase::kUv) || mesh->IsAnimationPlaying(MeshBase::kVertexKeys);
    const Bounds local = keyed ? mesh->GetFrameBounds(MeshSegment::kCurrentFrame) : mesh->GetMeshBounds();
    GetBoundParts(local, center, radius, extents, space);
}

void ModelBase::GetPartWorldBound(int part, Vec3* center, float* radius, Vec3* extents, int space) {
    MeshBase* mesh = GetMesh();
    if (!mesh || part < 0 || part >= GetSubMeshCount()) {
        BoundsToParts(ZeroBound(), center, radius, extents);
        return;
    }
    GetBoundParts(mesh->GetSubMeshFrameBounds(std::uint32_t(part), MeshSegment::kCurrentFrame), center, radius,
                  extents, space);
}

bool ModelBase::ContainsPoint(const Vec3& point, int) {
    MeshBase* mesh = ReadyMesh();
    if (!mesh) return false;
    Ray ray{point, {0.0f, 0.0f, 0.0f}}, local;
    WorldToParentSpace(ray, local);
    return mesh->ContainsPoint(local.origin);
}

bool ModelBase::IntersectRay(const Ray& ray, std::uint32_t* subMesh, float* t, int) {
    MeshBase* mesh = ReadyMesh();
    if (!mesh) return false;
    Ray local;
    WorldToParentSpace(ray, local);
    // Into the model's own space: the parent-space segment through the local matrix's inverse.
    Matrix inverse;
    GetInverseLocalMatrix(inverse);
    Vec3 end = local.origin + local.direction, o, e;
    TransformCoord(local.origin, inverse, o);
    TransformCoord(end, inverse, e);
    const Ray segment{o, e - o};
    if (mesh->Switches().pickByBox) {
        Vec3 min, max;
        if (!mesh->GetBoundingBox(min, max)) return false;
        Bounds box;
        box.SetBoxFromMinMax(min, max);
        return box.BoxIntersectsSegment(segment);
    }
    float hit = 1.0f;
    std::uint32_t sub = 0;
    if (!mesh->IntersectRayDetail(segment.origin, segment.direction, &hit, &sub) || !(hit < 1.0f)) return false;
    if (subMesh) *subMesh = sub;
    if (t) *t = hit;
    return true;
}

void ModelBase::GetSubMeshBounds(void* out, std::uint32_t subMesh, std::uint32_t, const float*) {
    MeshBase* mesh = GetMesh();
    if (!out || !mesh || subMesh >= mesh->GetSubMeshCount()) return;
    const Bounds b = mesh->GetSubMeshFrameBounds(subMesh, MeshSegment::kCurrentFrame);
    std::memcpy(out, &b, sizeof(b));
}

const CollisionMeshRecord* ModelBase::GetMeshInfo() {
    MeshBase* mesh = GetMesh();
    MeshSegment* part = mesh ? mesh->GetPart(0) : nullptr;
    return part ? &part->Data()->collision : nullptr;
}

void ModelBase::BuildPickTrees() {
    if (MeshBase* mesh = GetMesh()) mesh->BuildPickTrees();
}

int ModelBase::CollectDecalTriangles(const Vec3* corners8, float* out, int room) {
    MeshBase* mesh = ReadyMesh();
    if (!mesh || !corners8) return 0;
    Vec3 min{1e30f, 1e30f, 1e30f}, max{-1e30f, -1e30f, -1e30f};
    const Matrix& inverse = GetInverseWorldMatrix();
    for (int i = 0; i < 8; ++i) {
        Vec3 local;
        TransformCoord(corners8[i], inverse, local);
        min = {std::min(min.x, local.x), std::min(min.y, local.y), std::min(min.z, local.z)};
        max = {std::max(max.x, local.x), std::max(max.y, local.y), std::max(max.z, local.z)};
    }
    Bounds box;
    box.SetBoxFromMinMax(min, max);
    return mesh->CollectTriangles(&box, out, room);
}

MeshVertexBuffer* ModelBase::GetCurrentLevelWord() {
    MeshBase* mesh = GetMesh();
    return mesh ? mesh->GetCurrentVertexBuffer() : nullptr;
}

bool ModelBase::IsVertexColorEnabled(ModelBase* model) {
    MeshBase* mesh = model ? model->GetMesh() : nullptr;
    return mesh && mesh->Switches().vertexColor != 0;
}

bool ModelBase::GetSubtreeBox(Vec3& min, Vec3& max, ISpaceObject* reference) {
    MeshBase* mesh = ReadyMesh();
    if (!mesh) return VisibleObject::GetSubtreeBox(min, max, reference);
    Matrix m = GetWorldMatrix();
    if (reference) {
        Matrix w;
        MatrixMultiplyPlain(m, reference->GetInverseWorldMatrix(), w);
        m = w;
    }
    if (reference == GetParent()) GetLocalMatrix(m);
    if (!mesh->GetBounds(min, max, &m)) return VisibleObject::GetSubtreeBox(min, max, reference);
    if (reference == GetParent() || !IsVisible()) return true;
    Vec3 cmin, cmax;
    if (VisibleObject::GetSubtreeBox(cmin, cmax, reference)) {
        min = {std::min(min.x, cmin.x), std::min(min.y, cmin.y), std::min(min.z, cmin.z)};
        max = {std::max(max.x, cmax.x), std::max(max.y, cmax.y), std::max(max.z, cmax.z)};
    }
    return true;
}

// --- sub-meshes and materials ----------------------------------------------------------------------

int ModelBase::GetSubMeshCount() {
    MeshBase* mesh = GetMesh();
    return mesh ? int(mesh->GetSubMeshCount()) : 0;
}

const SubMeshInfo* ModelBase::GetSubMeshInfo(int i) {
    MeshBase* mesh = GetMesh();
    SubMesh* sub = mesh && i >= 0 ? mesh->GetSubMesh(std::uint32_t(i)) : nullptr;
    return sub ? sub->Record() : nullptr;
}

int ModelBase::FindSubMesh(const char* name) {
    if (!name) return -1;
    const int count = GetSubMeshCount();
    for (int i = 0; i < count; ++i) {
        const SubMeshInfo* info = GetSubMeshInfo(i);
        if (info && std::strncmp(info->name, name, sizeof(info->name)) == 0) return i;
    }
    return -1;
}

bool ModelBase::IsSubMeshVisible(int i) {
    MeshBase* mesh = GetMesh();
    return mesh && i >= 0 && mesh->IsSubMeshVisible(std::uint32_t(i));
}

bool ModelBase::SetSubMeshVisible(int i, bool visible) {
    MeshBase* mesh = GetMesh();
    return mesh && i >= 0 && mesh->SetSubMeshVisible(std::uint32_t(i), visible);
}

bool ModelBase::SetSubMeshColor(int i, std::uint32_t colour) {
    MeshBase* mesh = GetMesh();
    if (!mesh) return false;
    const int count = GetSubMeshCount();
    if (i != -1 && (i < 0 || i >= count)) return false;
    Guard lock(mesh->Lock());
    std::vector<std::uint32_t>& colours = mesh->Switches().colours;
    colours.resize(std::size_t(count), 0xFFFFFFFFu);
    if (i == -1)
        std::fill(colours.begin(), colours.end(), colour);
    else
        colours[std::size_t(i)] = colour;
    return true;
}

bool ModelBase::SetSubMeshMaterial(int i, render::IMaterial* material) {
    MeshBase* mesh = GetMesh();
    SubMesh* sub = mesh && i >= 0 ? mesh->GetSubMesh(std::uint32_t(i)) : nullptr;
    if (!sub) return false;
    {
        Guard lock(mesh->Lock());
        sub->SetMaterial(material);
    }
    mesh->MarkDrawListStale();
    return true;
}

render::IMaterial* ModelBase::GetSubMeshMaterial(int i) {
    MeshBase* mesh = GetMesh();
    SubMesh* sub = mesh && i >= 0 ? mesh->GetSubMesh(std::uint32_t(i)) : nullptr;
    return sub ? sub->Material() : nullptr;
}

void ModelBase::ReplaceMaterial(render::IMaterial* from, render::IMaterial* to) {
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    {
        Guard lock(mesh->Lock());
        for (std::uint32_t p = 0; p < mesh->GetPartCount(); ++p) mesh->GetPart(p)->ReplaceMaterial(from, to);
    }
    mesh->MarkDrawListStale();
}

int ModelBase::GetSubMeshMaterialSlot(int i) {
    const SubMeshInfo* info = GetSubMeshInfo(i);
    return info ? int(info->materialSlot) : -1;
}

bool ModelBase::SetSubMeshMaterialSlot(int i, int slot) {
    MeshBase* mesh = GetMesh();
    SubMesh* sub = mesh && i >= 0 ? mesh->GetSubMesh(std::uint32_t(i)) : nullptr;
    if (!sub || !sub->Segment() || slot < 0) return false;
    bool done;
    {
        Guard lock(mesh->Lock());
        done = sub->Segment()->SetSubMeshMaterialSlot(sub->Index(), std::uint32_t(slot));
    }
    mesh->MarkDrawListStale();
    return done;
}

render::IMaterialGroup* ModelBase::GetMeshMaterialInfo() {
    MeshBase* mesh = GetMesh();
    return mesh ? mesh->GetMaterialGroup() : nullptr;
}

void ModelBase::SetMaterialSet(render::IMaterialGroup* set) {
    MeshBase* mesh = GetMesh();
    MeshSegment* part = mesh ? mesh->GetPart(0) : nullptr;
    if (!part || part->ActiveGroup() == set) return;
    Guard lock(mesh->Lock());
    part->SetMaterialGroup(set);
    mesh->MarkDrawListStale();
}

render::IMaterialGroup* ModelBase::GetMaterialSet() {
    MeshBase* mesh = GetMesh();
    MeshSegment* part = mesh ? mesh->GetPart(0) : nullptr;
    return part ? part->ActiveGroup() : nullptr;
}

void ModelBase::SetVertexColorEnabled(bool enabled) {
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    mesh->Switches().vertexColor = enabled ? 1 : 0;
    if (enabled) return;
    Guard lock(mesh->Lock());
    for (std::uint32_t p = 0; p < mesh->GetPartCount(); ++p) mesh->GetPart(p)->Data()->FreeVertexColours();
}

void ModelBase::SetSubMeshRenderFlags(std::uint8_t first, std::uint8_t second) {
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    mesh->Switches().renderFlags[0] = first;
    mesh->Switches().renderFlags[1] = second;
    mesh->MarkDrawListStale();
}

void ModelBase::SetTransparent(bool transparent) {
    MeshBase* mesh = GetMesh();
    if (mesh) {
        mesh->Switches().transparent = transparent ? 1 : 0;
        mesh->Switches().transparentByModel = 1;
        mesh->MarkDrawListStale();
    }
    if (transparent)
        m_objectFlags |= kTransparentFlag;
    else
        m_objectFlags &= ~kTransparentFlag;
}

bool ModelBase::IsTransparent() {
    MeshBase* mesh = GetMesh();
    return mesh && mesh->Switches().transparent != 0;
}

void ModelBase::SetAlphaTest(bool enable, int reference) {
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    mesh->Switches().alphaTest = enable ? 8 : 0;
    mesh->Switches().alphaReference = reference;
    mesh->SetRenderMode(mesh->GetRenderMode());
}

void ModelBase::SetAlphaBlendMode(int mode) {
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    mesh->Switches().blendMode = mode;
    mesh->SetRenderMode(mesh->GetRenderMode());
}

void ModelBase::SetSubMeshRenderMode(const RenderModeDesc& mode) {
    MeshBase* mesh = GetMesh();
    if (mesh && mesh->GetRenderMode().enabled) mesh->SetRenderMode(mode);
}

void ModelBase::SetSorterType(std::uint32_t type) {
    if (MeshBase* mesh = GetMesh()) mesh->SetSorterType(type);
}

std::uint32_t ModelBase::GetSorterType() {
    MeshBase* mesh = GetMesh();
    return mesh ? mesh->GetSorterType() : 0;
}

common::SharedString ModelBase::GetMeshFileName() {
    MeshBase* mesh = GetMesh();
    if (!mesh) {
        LogError("获得模型名字出错，mesh为空！");
        return common::SharedString("null");
    }
    return mesh->GetFileName();
}

void ModelBase::SetMeshRenderFlag(std::uint8_t flag) {
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    mesh->Switches().renderFlag = flag;
    mesh->MarkDrawListStale();
}

int ModelBase::GetTriangleCount() {
    int counter = 0;
    CollectTriangles(counter);
    return counter;
}

void ModelBase::CollectTriangles(int& counter) {
    counter += int(GetIndexCount(-1) / 3);
    for (const auto& entry : m_bound) {
        if (entry.first->GetObjectType() != 3) continue;
        auto* model = dynamic_cast<ModelBase*>(entry.first);
        if (model && model != this && !model->m_bound.empty()) model->CollectTriangles(counter);
    }
}

// --- level arrays ----------------------------------------------------------------------------------

namespace {
int LevelOf(MeshBase* mesh, int level) {
    if (!mesh) return -1;
    if (level < 0) level = mesh->CurrentLod();
    return level < mesh->LodCount() ? level : -1;
}
}  // namespace

std::uint32_t ModelBase::GetVertexCount(int level) {
    MeshBase* mesh = GetMesh();
    const int l = LevelOf(mesh, level);
    return l < 0 ? 0 : mesh->GetVertexCount(l);
}

const float* ModelBase::GetPositionData(int level) {
    MeshBase* mesh = GetMesh();
    if (LevelOf(mesh, level) < 0) return nullptr;
    MeshSegment* part = mesh->GetPart(0);
    return part && part->Positions() ? &part->Positions()->x : nullptr;
}

const float* ModelBase::GetNormalData(int level) {
    MeshBase* mesh = GetMesh();
    if (LevelOf(mesh, level) < 0) return nullptr;
    MeshSegment* part = mesh->GetPart(0);
    return part && part->Normals() ? &part->Normals()->x : nullptr;
}

const std::uint32_t* ModelBase::GetColorData(int level) {
    MeshBase* mesh = GetMesh();
    const int l = LevelOf(mesh, level);
    return l < 0 ? nullptr : mesh->GetColorData(l);
}

std::uint32_t ModelBase::GetUVChannelCount(int level) {
    MeshBase* mesh = GetMesh();
    const int l = LevelOf(mesh, level);
    return l < 0 ? 0 : mesh->GetUVChannelCount(l);
}

const float* ModelBase::GetUVData(int channel, int level) {
    MeshBase* mesh = GetMesh();
    const int l = LevelOf(mesh, level);
    if (l < 0 || channel < 0 || std::uint32_t(channel) >= mesh->GetUVChannelCount(l)) return nullptr;
    return mesh->GetUVData(channel, l);
}

std::uint32_t ModelBase::GetIndexCount(int level) {
    MeshBase* mesh = GetMesh();
    const int l = LevelOf(mesh, level);
    return l < 0 ? 0 : mesh->GetIndexCount(l);
}

const std::uint16_t* ModelBase::GetIndexData(int level) {
    MeshBase* mesh = GetMesh();
    const int l = LevelOf(mesh, level);
    return l < 0 ? nullptr : mesh->GetIndexData(l);
}

void ModelBase::GetSubMeshVertexRange(std::uint32_t* first, std::uint32_t* count, int i, int level) {
    MeshBase* mesh = GetMesh();
    const int l = LevelOf(mesh, level);
    SubMesh* sub = l >= 0 && i >= 0 ? mesh->GetSubMesh(std::uint32_t(i)) : nullptr;
    if (!sub || !sub->Segment()) return;
    const MeshVertexData* block = sub->Segment()->Data()->GetLod(l);
    if (!block || sub->Index() >= block->ranges.size()) return;
    const SubMeshRange& r = block->ranges[sub->Index()];
    if (first) *first = r.firstVertex;
    if (count) *count = r.vertexCount;
}

void ModelBase::GetSubMeshIndexRange(std::uint32_t* first, std::uint32_t* count, int i, int level) {
    MeshBase* mesh = GetMesh();
    const int l = LevelOf(mesh, level);
    SubMesh* sub = l >= 0 && i >= 0 ? mesh->GetSubMesh(std::uint32_t(i)) : nullptr;
    if (!sub || !sub->Segment()) return;
    const MeshVertexData* block = sub->Segment()->Data()->GetLod(l);
    if (!block || sub->Index() >= block->ranges.size()) return;
    const SubMeshRange& r = block->ranges[sub->Index()];
    if (first) *first = 3 * r.firstTriangle;
    if (count) *count = 3 * r.triangleCount;
}

// --- animation -------------------------------------------------------------------------------------

bool ModelBase::HasAnimation(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh && mesh->HasAnimation(kind);
}

int ModelBase::GetAnimationCount(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh ? mesh->GetAnimationCount(kind) : 0;
}

int ModelBase::GetCurrentAnimation(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh ? mesh->GetCurrentAnimation(kind) : -1;
}

bool ModelBase::PlayAnimation(int index, int kind, float startTime) {
    MeshBase* mesh = GetMesh();
    if (!mesh || !mesh->PlayAnimation(index, kind, startTime, true, 0)) return false;
    if (kind == MeshBase::kVertexKeys && mesh->HasAnimation(kind)) {
        const float now = mesh->GetAnimationTime(kind);
        for (std::size_t i = 0; i < m_socketTracks.size(); ++i) {
            TrackSampled* track = m_socketTracks[i];
            const MeshSocket* record = GetSocketData(int(i));
            if (!track || !record || !record->syncToMorph) continue;
            track->Start();
            track->SetTime(now);
        }
    }
    return true;
}

void ModelBase::StopAnimation(int kind) {
    MeshBase* mesh = GetMesh();
    if (!mesh) return;
    mesh->StopAnimation(kind);
    for (TrackSampled* track : m_socketTracks)
        if (track) track->Stop();
}

bool ModelBase::IsAnimationPlaying(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh && mesh->IsAnimationPlaying(kind);
}

bool ModelBase::SetAnimationTime(float time, int kind) {
    MeshBase* mesh = GetMesh();
    if (!mesh || !mesh->SetAnimationTime(time, kind)) return false;
    for (TrackSampled* track : m_socketTracks)
        if (track) track->SetTime(time);
    return true;
}

float ModelBase::GetAnimationTime(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh ? mesh->GetAnimationTime(kind) : 0.0f;
}

void ModelBase::SetAnimationSpeed(float speed, int kind) {
    if (MeshBase* mesh = GetMesh()) mesh->SetAnimationSpeed(speed, kind);
}

float ModelBase::GetAnimationSpeed(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh ? mesh->GetAnimationSpeed(kind) : 0.0f;
}

void ModelBase::SetAnimationReverse(bool reverse, int kind) {
    if (MeshBase* mesh = GetMesh()) mesh->SetAnimationReverse(reverse, kind);
}

bool ModelBase::IsAnimationReverse(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh && mesh->IsAnimationReverse(kind);
}

void ModelBase::SetAnimationLoop(bool loop, int kind) {
    if (MeshBase* mesh = GetMesh()) mesh->SetAnimationLoop(loop, kind);
}

bool ModelBase::IsAnimationLoop(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh && mesh->IsAnimationLoop(kind);
}

float ModelBase::GetAnimationLength(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh ? mesh->GetAnimationLength(kind) : 0.0f;
}

bool ModelBase::IsAnimationFinished(int kind) {
    MeshBase* mesh = GetMesh();
    return mesh && mesh->IsAnimationFinished(kind);
}

// --- the second face -------------------------------------------------------------------------------

void ModelBase::SetVisible(bool visible, bool recursive) {
    for (const auto& entry : m_bound)
        if (entry.second.attachment) entry.first->SetVisible(visible, recursive);
    VisibleObject::SetVisible(visible, recursive);
    SetShadowVisible(visible);
}

bool ModelBase::IsVisible() { return VisibleObject::IsVisible() && IsLoading() == 0; }

void ModelBase::InvalidateTransform() {
    VisibleObject::InvalidateTransform();
    m_worldBoundValid[0] = m_worldBoundValid[1] = 0;
    MarkShadowsMoved();
}

int ModelBase::GetDrawPass() {
    MeshBase* mesh = GetMesh();
    if (!mesh) return 0;
    Guard lock(mesh->Lock());
    int pass = 0;
    const std::uint32_t subs = mesh->GetSubMeshCount();
    for (std::uint32_t i = 0; i < subs; ++i) pass |= mesh->GetSubMesh(i)->DrawPass();
    return pass;
}

int ModelBase::GetPartDrawPass(int part) {
    MeshBase* mesh = GetMesh();
    if (!mesh || part < 0) return 0;
    Guard lock(mesh->Lock());
    SubMesh* sub = mesh->GetSubMesh(std::uint32_t(part));
    return sub ? sub->DrawPass() : 0;
}

void ModelBase::SetLod(int level, int a, int b) {
    if (m_lodParams[0] == level) return;
    if (MeshBase* mesh = GetMesh()) mesh->SetLod(a);
    m_lodParams[0] = level;
    m_lodParams[1] = a;
    m_lodParams[2] = b;
    VisibleObject::SetLod(level, a, b);
}

const Bounds* ModelBase::GetLocalBound() {
    MeshBase* mesh = GetMesh();
    if (!mesh) return &ZeroBound();
    if (!m_localBoundCache) m_localBoundCache = std::make_unique<Bounds>();
    *m_localBoundCache = mesh->GetMeshBounds();
    return m_localBoundCache.get();
}

const Bounds* ModelBase::GetPartBound(int part) {
    MeshBase* mesh = GetMesh();
    if (!mesh || part < 0 || std::size_t(part) >= m_partLocalBounds.size()) return &ZeroBound();
    m_partLocalBounds[std::size_t(part)] = mesh->GetSubMeshFrameBounds(std::uint32_t(part), MeshSegment::kCurrentFrame);
    return &m_partLocalBounds[std::size_t(part)];
}

const Bounds* ModelBase::GetPartBoundInParent(int part) {
    const Bounds* local = GetPartBound(part);
    if (local == &ZeroBound()) return local;
    Bounds& out = m_partParentBounds[std::size_t(part)];
    BoundToParent(*local, out);
    return &out;
}

const Bounds* ModelBase::GetPartBoundInWorld(int part) {
    const Bounds* local = GetPartBound(part);
    if (local == &ZeroBound()) return local;
    Bounds& out = m_partWorldBounds[std::size_t(part)];
    BoundToWorld(*local, out);
    return &out;
}

void ModelBase::Update() {
    if (!UpdateEnabled()) return;
    MeshBase* mesh = GetMesh();
    if (!mesh) {
        LogWarning("ModelBase[%s] mesh ptr is NULL!", "null");
        return;
    }
    SpaceObject::Update();
    const bool moved = IsTransformChanged();
    const bool unchanged = mesh->UpdateAnimation(moved);
    if (unchanged || moved) UpdateShadowHelpers();
    UpdateModel();
}

void ModelBase::UpdateModel() {
    if (m_decal) PlaceShadowDecal();
    for (TrackSampled* track : m_socketTracks)
        if (track) track->Advance();
    if (!m_bound.empty()) {
        const int sockets = GetSocketCount();
        for (const auto& [object, binding] : m_bound) {
            if (binding.socket >= sockets) continue;
            Matrix m;
            if (GetSocketMatrix(binding.socket, m)) PlaceBound(object, m, binding.bindKind, false);
        }
    }
    UpdateNameLabel();
}

namespace {
// The sub-mesh's record flags: bit 0 of its first extra value asks for normalising, bit 1 says
// it was mirrored.
bool RecordNormalizes(const SubMeshInfo* info) { return info && (info->extraValues[0] & 1) != 0; }
bool RecordMirrored(const SubMeshInfo* info) { return info && (info->extraValues[0] & 2) != 0; }
}  // namespace

bool ModelBase::NeedsNormalize(int i) { return HasWorldScale() || RecordNormalizes(GetSubMeshInfo(i)); }

bool ModelBase::IsCullingReversed(int i) { return RecordMirrored(GetSubMeshInfo(i)) != IsWorldMirrored(); }

bool ModelBase::PreDraw() {
    MeshBase* mesh = ReadyMesh();
    if (!UpdateEnabled() || !mesh) return false;
    // Transparent triangles sort for the camera the frame is drawn with, and sort again when
    // it moves.
    auto* scene = dynamic_cast<IScene*>(GetScene());
    if (!scene) scene = GetOwnerScene();
    const bool result = mesh->Render(GetWorldMatrix(), scene ? scene->GetActiveCamera() : nullptr);
    if (result) {
        MeshVertexBuffer* buffer = mesh->GetCurrentVertexBuffer();
        m_draw.ranges.clear();
        m_draw.stream = buffer ? buffer->Stream() : nullptr;
        if (buffer) {
            render::DrawRange range;
            range.primitiveCount = buffer->UsedTriangles();
            range.vertexCount = buffer->UsedVertices();
            m_draw.ranges.push_back(range);
        }
        // NeedsNormalize and IsCullingReversed of each sub-mesh, with the object's two answers
        // taken once.
        const bool scaled = HasWorldScale();
        const bool mirrored = IsWorldMirrored();
        for (std::uint32_t i = 0; i < m_subMeshFlags.size(); ++i) {
            const std::uint8_t flags = m_subMeshFlags[i];
            mesh->SetSubMeshDrawSettings(i, scaled || (flags & 1), ((flags & 2) != 0) != mirrored);
        }
    }
    return result;
}

void ModelBase::DrawPart(int part) {
    MeshBase* mesh = ReadyMesh();
    if (!mesh || part < 0 || !mesh->IsSubMeshVisible(std::uint32_t(part))) return;
    IsCulled(part, kCullPassMain);
    if (!GetPartCulled(part, kCullPassMain)) mesh->DrawSubMesh(std::uint32_t(part), GetWorldMatrix());
}

bool ModelBase::IsCulled(int part, int pass) {
    const bool culled = VisibleObject::IsCulled(part, pass);
    MeshBase* mesh = GetMesh();
    if (mesh && part >= 0 && std::size_t(part) < mesh->Switches().culled.size())
        mesh->Switches().culled[std::size_t(part)] = culled ? 1 : 0;
    return culled;
}

bool ModelBase::GetPartCulled(int part, int) {
    MeshBase* mesh = GetMesh();
    return mesh && part >= 0 && std::size_t(part) < mesh->Switches().culled.size() &&
           mesh->Switches().culled[std::size_t(part)] != 0;
}

void ModelBase::DrawParts(int pass) {
    MeshBase* mesh = ReadyMesh();
    if (!UpdateEnabled() || !mesh) return;
    SetShadowVisible(m_shadowFlag != 0);
    if (pass != 0)
        VisibleObject::DrawParts(pass);
    else
        mesh->DrawSubMeshes(GetWorldMatrix());
}

namespace {

// Whether a light's volume reaches a world bound sphere, taken as the box around it.
bool LightReaches(Light& light, const Vec3& centre, float radius) {
    GeoCuboid box;
    Matrix m;
    MatrixIdentity(m);
    // The unit cuboid spans half a unit each way.
    MatrixSetAxisScale(m, 2.0f * radius, 2.0f * radius, 2.0f * radius);
    m.Row(3) = centre;
    box.SetTransform(m);
    return light.IntersectsObject(&box);
}

}  // namespace

void ModelBase::Prepare() {
    if (!m_lightSet) return;
    IScene* scene = GetOwnerScene();
    if (!scene) return;
    const int count = scene->GetLightCount();
    if (int(m_lightSet->enabled.size()) < count) m_lightSet->enabled.resize(std::size_t(count), 0);
    const bool modelMoved = IsTransformChanged();
    Vec3 centre;
    float radius = 0.0f;
    VisibleObject::GetWorldBound(&centre, &radius, nullptr, kBoundWorld);
    int on = 0;
    for (int i = 0; i < count && on < kMaxModelLights; ++i) {
        Light* light = scene->GetLight(std::uint32_t(i));
        std::uint8_t& enabled = m_lightSet->enabled[std::size_t(i)];
        if (!light) continue;
        if (light->IsUnbounded()) {
            enabled = 1;
        } else if (light->IsTransformChanged() || modelMoved || m_lightSerial == 0) {
            enabled = light->GetVolumeShapeKind() == Light::kNoVolume || !LightReaches(*light, centre, radius) ? 0 : 1;
        }
        if (enabled) ++on;
    }
    m_lightSerial = 1;
}

// --- scenes ----------------------------------------------------------------------------------------

void ModelBase::AttachToScene(IScene* scene) {
    if (!scene) return;
    RegisterSceneDecals(scene);
    if (m_lightSet) {
        ReleaseLightSet();
        m_lightSet = TakeLightSet(scene);
        ResetSubMeshes(m_lightSet);
        SetOwnerScene(scene);
        m_lightSerial = 0;
        Prepare();
    }
    SetOwnerScene(scene);
}

void ModelBase::RegisterSceneDecals(IScene* scene) {
    if (scene && m_decal) scene->AddModelDecal(m_decal, this);
}

void ModelBase::RemoveFromScene(IScene* scene) {
    if (scene && m_decal) scene->RemoveModelDecals(m_decal);
    ReleaseLightSet();
    ResetSubMeshes(nullptr);
}

void ModelBase::OnDeviceLost() {
    if (MeshBase* mesh = GetMesh()) mesh->OnDeviceLost();
}

bool ModelBase::OnDeviceReset() {
    MeshBase* mesh = GetMesh();
    return mesh && mesh->OnDeviceReset();
}

}  // namespace quor::world
