#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/IRenderer.h"
#include "world/core/SharedString.h"
#include "world/core/VisibleObject.h"
#include "world/core/math/Geometry.h"
#include "world/core/math/Matrix.h"
#include "world/mesh/IModel.h"
#include "world/mesh/ShadowPlanes.h"
#include "world/mesh/SubMesh.h"

namespace quor {
class MeshBase;
class MeshSkeletal;
class MeshData;
class MeshSocket;
class MeshVertexBuffer;
class TrackData;
class CollisionMeshRecord;
struct SubMeshInfo;
}  // namespace quor

namespace quor::render {
class ISkinBuffer;
class IExtTechnique;
class IMaterial;
class IMaterialGroup;
}  // namespace quor::render

namespace quor::world {

class Camera;
class IScene;
class Light;
class ModelBase;
class TrackSampled;

// The record of which scene lights light one model: one switch per light of the scene, in
// the scene's light order. The scene's light state hands it out when the model needs lights.
struct ModelLightSet {
    std::vector<std::uint8_t> enabled;
};

// One binding of an object to a socket.
struct SocketBinding {
    std::uint16_t socket = 0;
    std::uint32_t mask = 0;
    std::uint32_t bindKind = 0;
    std::uint16_t extra = 0;
    bool attachment = false;
    // A bone-bound entry of a skeletal model: its bone and the offset kept from it.
    std::uint16_t bone = 0xFFFF;
    Matrix offset;
};

// Planar shadows: up to 8 planes, one shadow part per (plane, light) pair.
struct PlaneShadowRecord {
    static constexpr int kMaxPlanes = 8;
    std::vector<render::ISkinBuffer*> parts;
    // The light and the plane index of each part, index for index.
    std::vector<Light*> partLights;
    std::vector<int> partPlanes;
    Light* lights[kMaxPlanes] = {};
    std::uint32_t lightCount = 0;
    std::uint8_t dirty = 0;
    float planes[kMaxPlanes][4] = {};
    float placedPlanes[kMaxPlanes][4] = {};
    std::int32_t kinds[kMaxPlanes] = {};
    std::uint32_t planeCount = 0;
};

// A per-model instance of a named technique (the outline among them).
struct RenderEffectEntry {
    render::IExtTechnique* technique = nullptr;
    render::IMaterial* material = nullptr;
    ModelBase* model = nullptr;
    const Matrix* world = nullptr;
    std::uint8_t enabled = 0;
};

// A text of the "world_name" group kept over a socket.
struct NameLabelEntry {
    std::string socketName;
    std::string labelName;
    std::int32_t pixelOffset = 0;
    IScene* scene = nullptr;
};

// What the planar-shadow and shadow-volume draws hand to the renderer: the stream of the
// current level and its ranges.
struct ModelDrawDescription {
    render::IVertexBuffer* stream = nullptr;
    std::vector<render::DrawRange> ranges;
};

// A model: the scene object that shows one shared mesh instance. Holds the scene-side state
// (bound objects, socket tracks, shadows, labels, light set) and forwards the rest to the mesh.
//
// Threads: the loader's workers add and change meshes; the scene's thread updates and draws
// under the scene's object lock. A new mesh is published, and a replaced one destroyed, only
// under that lock, so a draw never sees a mesh half loaded or freed.
class ModelBase : public IModel, public VisibleObject {
public:
    ModelBase();
    ~ModelBase() override;

    // --- IModel ---
    void SetSocketLabel(const char* socketName, const char* labelName, int pixelOffset, IScene* scene) override;
    void RemoveSocketLabel(const char* socketName) override;
    std::uint8_t GetStateByte() override { return SpaceObject::GetStateByte(); }
    bool AddMeshFile(const char* file, int async, std::uint32_t* requestId) override;
    bool LoadAnimationFile(const char*, int, std::uint32_t*) override { return false; }
    SpaceObject* GetSpaceObject(int) override { return this; }
    IVisibleObject* GetVisibleObject() override { return this; }
    bool BindChildToSocket(ISpaceObject* object, int socket, std::uint32_t mask, bool wholeMatrix,
                           std::uint16_t extra) override;
    bool UnbindSocketChildren(int socket, bool keepWorld, int objectType) override;
    bool UnbindChildFromSocket(ISpaceObject* object, bool keepWorld) override;
    int GetAttachedCount() override { return static_cast<int>(m_bound.size()); }
    ISpaceObject* GetAttachedObject(int index) override;
    bool GetBoundingBox(Vec3& min, Vec3& max, const Vec3* corners8) override;
    void GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) override;
    void GetPartWorldBound(int part, Vec3* center, float* radius, Vec3* extents, int space) override;
    bool ContainsPoint(const Vec3& point, int flags) override;
    bool IntersectRay(const Ray& ray, std::uint32_t* subMesh, float* t, int flags) override;
    void SetVertexColorEnabled(bool enabled) override;
    void SetSubMeshRenderFlags(std::uint8_t first, std::uint8_t second) override;
    bool CreatePlaneShadow(const float* plane, Light* light, int kind) override;
    bool CreateShadow(int placement, const float* extents) override;
    void SetShadowTarget(ISpaceObject* object) override;
    void SetShadowPlaneOffset(float d) override;
    float GetShadowPlaneOffset() override;
    void ReleaseShadow() override;
    void SetShadowVisible(bool visible) override;
    bool SetShadowLightAlpha(int light, std::uint8_t alpha) override;
    int GetShadowMode() override { return m_shadowMode; }
    void SetShadowMode(int mode) override { m_shadowMode = mode; }
    bool SetRenderEffectEnabled(const char* effect, bool enable) override;
    int GetSubMeshCount() override;
    const SubMeshInfo* GetSubMeshInfo(int i) override;
    int FindSubMesh(const char* name) override;
    bool IsSubMeshVisible(int i) override;
    bool SetSubMeshVisible(int i, bool visible) override;
    bool SetSubMeshColor(int i, std::uint32_t colour) override;
    bool HasAnimation(int kind) override;
    std::uint16_t FindAnimation(const char*, bool) override { return 0xFFFF; }
    int GetAnimationCount(int kind) override;
    const char* GetAnimationName(int) override { return nullptr; }
    int GetCurrentAnimation(int kind) override;
    bool PlayAnimation(int index, int kind, float startTime) override;
    bool PlaySkeletalAnimation(int, float, int, float, int, float) override { return false; }
    bool PlaySplitAnimation(bool, int, float, int, float) override { return true; }
    void SetSplitBoneMatrix(int, const Matrix*) override {}
    bool PlayAnimationGroup(const char*, float) override { return false; }
    bool PlayAnimationByName(const char*, float, int) override { return false; }
    bool PlayAnimationSequence(const char*) override { return false; }
    void StopAnimation(int kind) override;
    bool IsAnimationPlaying(int kind) override;
    bool SetAnimationTime(float time, int kind) override;
    float GetAnimationTime(int kind) override;
    void SetAnimationSpeed(float speed, int kind) override;
    float GetAnimationSpeed(int kind) override;
    void SetAnimationReverse(bool reverse, int kind) override;
    bool IsAnimationReverse(int kind) override;
    void SetAnimationLoop(bool loop, int kind) override;
    bool IsAnimationLoop(int kind) override;
    float GetAnimationLength(int kind) override;
    bool IsAnimationFinished(int kind) override;
    const char* PopAnimationEvent() override { return nullptr; }
    void Reserved61() override {}
    const char* GetAnimationEvent(int) override { return nullptr; }
    int GetAnimationEventCount() override { return 0; }
    TrackData* GetAnimationExtra(int) override { return nullptr; }
    int GetBoneCount() override { return 0; }
    int GetBonePaletteSize() override { return 0; }
    std::uint16_t GetBonePaletteEntry(int) override { return 0xFFFF; }
    std::uint16_t FindBone(const char*) override { return 0xFFFF; }
    std::uint16_t GetBoneParent(int) override { return 0xFFFF; }
    const char* GetBoneName(int) override { return nullptr; }
    void GetBoneTransform(int, Matrix&) override {}
    void GetBoneWorldMatrix(int, Matrix&) override {}
    void SampleBone(int, float, Matrix&) override {}
    void SampleBoneWorld(int, float, Matrix&) override {}
    int GetSocketCount() override;
    int FindSocket(const char* name) override;
    const std::vector<std::string>* GetSocketObjectList(int socket) override;
    ISpaceObject* GetSocketObject(int socket, int position) override;
    bool GetSocketWorldMatrix(int socket, Matrix& out) override;
    TrackSampled* GetSocket(int socket, std::uint32_t* syncToMorph) override;
    void SetTransparent(bool transparent) override;
    bool IsTransparent() override;
    int IsLoading() override { return m_loading.load(std::memory_order_acquire); }
    bool SetSubMeshMaterial(int i, render::IMaterial* material) override;
    render::IMaterial* GetSubMeshMaterial(int i) override;
    void ReplaceMaterial(render::IMaterial* from, render::IMaterial* to) override;
    int GetSubMeshMaterialSlot(int i) override;
    bool SetSubMeshMaterialSlot(int i, int slot) override;
    render::IMaterialGroup* GetMeshMaterialInfo() override;
    void SetMaterialSet(render::IMaterialGroup* set) override;
    render::IMaterialGroup* GetMaterialSet() override;
    bool LoadMaterialFile(const char* file, int async, std::uint32_t* requestId) override;
    void SetAlphaTest(bool enable, int reference) override;
    void SetAlphaBlendMode(int mode) override;
    void SetSubMeshRenderMode(const RenderModeDesc& mode) override;
    bool IsAnimationEndPending() override { return false; }
    void AcknowledgeSkeletalState() override {}
    void SetSorterType(std::uint32_t type) override;
    std::uint32_t GetSorterType() override;
    bool IsSequenceFinished() override { return false; }
    common::SharedString GetMeshFileName() override;
    const MeshSocket* GetSocketData(int socket) override;
    void SetMeshRenderFlag(std::uint8_t flag) override;
    int GetTriangleCount() override;
    void Reserved105() override {}
    std::uint32_t GetId() override { return SpaceObject::GetId(); }
    void UpdateSkeletalBounds() override {}
    void FreezeAtTime(float) override {}

    // --- the model's own table, continuing the primary face ---
    virtual void ResetSubMeshes(ModelLightSet* lightSet);                                     // 109
    virtual bool ChangeMeshData(const char* name, MeshData* data);                            // 110
    virtual bool ChangeMeshFromMemory(const char* name, const void* image, std::size_t size); // 111
    virtual bool ChangeMeshFile(const char* name);                                            // 112
    virtual void CopyFrom(ModelBase* other);                                                  // 113
    virtual bool BindAttachmentToSocket(ISpaceObject* object, int socket, std::uint32_t mask,
                                        bool wholeMatrix, std::uint16_t extra);               // 114
    virtual bool UnbindAttachmentFromSocket(ISpaceObject* object, bool keepWorld);            // 115
    virtual int Reserved116() { return 0; }                                                   // 116
    virtual std::uint32_t GetVertexCount(int level);                                          // 117
    virtual const float* GetPositionData(int level);                                          // 118
    virtual const float* GetNormalData(int level);                                            // 119
    virtual const std::uint32_t* GetColorData(int level);                                     // 120
    virtual std::uint32_t GetUVChannelCount(int level);                                       // 121
    virtual const float* GetUVData(int channel, int level);                                   // 122
    virtual std::uint32_t GetIndexCount(int level);                                           // 123
    virtual const std::uint16_t* GetIndexData(int level);                                     // 124
    virtual void CollectTriangles(int& counter);                                              // 125
    virtual void GetSubMeshVertexRange(std::uint32_t* first, std::uint32_t* count, int i, int level);  // 126
    virtual void GetSubMeshIndexRange(std::uint32_t* first, std::uint32_t* count, int i, int level);   // 127
    virtual MeshBase* CreateMesh();                                                           // 128
    // The model's own per-frame work, run at the end of the object's Update.
    virtual void UpdateModel();                                                               // 129
    virtual bool GetSocketMatrix(int socket, Matrix& out);                                    // 130
    virtual bool NeedsNormalize(int i);                                                       // 131
    virtual bool IsCullingReversed(int i);                                                    // 132
    virtual int IsSkeletal() = 0;                                                             // 133

    // --- the second face ---
    int GetObjectType() override { return 3; }
    void SetVisible(bool visible, bool recursive) override;
    void Clear() override;
    bool IsVisible() override;
    void Update() override;
    void DropBoundObject(ISpaceObject* object) override;
    void InvalidateTransform() override;
    int GetDrawPass() override;
    int GetPartDrawPass(int part) override;
    common::SharedString GetResourceName() override { return GetMeshFileName(); }
    void SetLod(int level, int a, int b) override;
    const Bounds* GetLocalBound() override;
    const Bounds* GetPartBound(int part) override;
    const Bounds* GetPartBoundInParent(int part) override;
    const Bounds* GetPartBoundInWorld(int part) override;
    bool PreDraw() override;
    void DrawPart(int part) override;
    bool IsCulled(int part, int pass) override;
    bool GetPartCulled(int part, int pass) override;

    // --- the third face ---
    int GetPartCount() override { return GetSubMeshCount(); }
    void SetPartParam(int part, int visible) override { SetSubMeshVisible(part, visible != 0); }
    bool IsVisibleThunk(int part) override { return IsSubMeshVisible(part); }
    void DrawParts(int pass) override;
    void Prepare() override;
    bool GetSubtreeBox(Vec3& min, Vec3& max, ISpaceObject* reference) override;

    // --- loading (the loader's records call these on its threads) ---
    bool AddMeshFileNow(const char* file);
    bool LoadMaterialFileNow(const char* file);
    // The record of a synchronous load: nothing more to finish once the change succeeded.
    void ApplyAddedMesh() {}
    void SetLoadOption(int value) { m_loadOption = value; }
    int GetLoadOption() const { return m_loadOption; }
    void SetLoading(int value) { m_loading.store(value, std::memory_order_release); }
    // The mesh back to its first state: every animation stopped, sub-meshes shown.
    void ResetMeshState();
    void SetKeepRequests(bool keep) { m_keepRequests = keep ? 1 : 0; }

    // --- scenes ---
    void SetOwnerScene(IScene* scene) { m_ownerScene.store(scene, std::memory_order_release); }
    IScene* GetOwnerScene() const { return m_ownerScene.load(std::memory_order_acquire); }
    void AttachToScene(IScene* scene);
    void RemoveFromScene(IScene* scene);
    // The decal step of entering a scene.
    void RegisterSceneDecals(IScene* scene);
    void OnDeviceLost();
    // False without a mesh.
    bool OnDeviceReset();

    // --- queries of the scenes and the decal code ---
    static bool IsVertexColorEnabled(ModelBase* model);
    // The bound of the hit sub-mesh (seven floats) into `out`.
    void GetSubMeshBounds(void* out, std::uint32_t subMesh, std::uint32_t detail, const float* hitPoint);
    const CollisionMeshRecord* GetMeshInfo();
    void BuildPickTrees();
    int CollectDecalTriangles(const Vec3* corners8, float* out, int room);
    MeshVertexBuffer* GetCurrentLevelWord();

    // --- shadows, render effects and name labels (ModelShadow.cpp) ---
    void DrawPlaneShadow(Light* light);
    void DrawShadowVolume();
    void DrawRenderEffects();
    void UpdateShadowHelpers();
    void UpdateNameLabel();
    // Clear's shadow steps: the plane record freed, decal and volume released, effects dropped.
    void ReleaseShadowObjects();
    // The decal placed at the bound centre (the model's update).
    void PlaceShadowDecal();
    // Marks of a moved model: the record dirty, and its parts unless the mode is 2.
    void MarkShadowsMoved();

    // --- state read by the scenes and tests ---
    MeshBase* GetMesh() const { return m_mesh.load(std::memory_order_acquire); }
    // The mesh object a change or CreateMesh fills: a skeletal one for a skeletal model.
    MeshBase* NewMeshObject();
    bool UpdateEnabled() const { return m_updateEnabled.load(std::memory_order_acquire) != 0; }
    ModelLightSet* GetLightSet() const { return m_lightSet; }
    const ModelDrawDescription& DrawDescription() const { return m_draw; }
    std::uint32_t ObjectFlags() const { return m_objectFlags; }
    const std::vector<std::unique_ptr<NameLabelEntry>>& NameLabels() const { return m_labels; }
    const PlaneShadowRecord* PlaneShadows() const { return m_planeShadow.get(); }
    // Whether the model shares its mesh with another model.
    bool SharesMesh() const { return m_sharesMesh != 0; }

    // Fields the scenes and the model list read.
    std::uint8_t leadingFlag = 0;
    std::uint8_t hidden = 0;
    std::uint8_t inGroup = 0;
    std::uint8_t planeShadow[2] = {0, 0};
    // Set by a 2D scene when the model has loaded in it: the 2D-scene mark and the scene's
    // model specular (switch; colour bytes blue, green, red, alpha).
    std::uint8_t in2DScene = 0;
    std::uint8_t specularOn = 0;
    std::uint8_t specularColour[4] = {0, 0, 0, 0};

    static constexpr std::size_t kMaxNameLength = 259;

protected:
    friend void UnregisterModelHandle(ModelBase* model);
    // Places an object by the socket matrix (see the binding rules).
    static void PlaceBound(ISpaceObject* object, const Matrix& socketMatrix, std::uint32_t bindKind,
                           bool wholeMatrix);
    bool Bind(ISpaceObject* object, int socket, std::uint32_t mask, bool wholeMatrix, std::uint16_t extra,
              bool attachment);
    // One scheme for the three changes: `load` fills the new mesh.
    template <typename Load>
    bool ChangeMesh(const char* name, Load load);
    void RebuildSocketTracks();
    void RebuildBoundCaches();
    void TestLightNeeds();
    void ReleaseSocketTracks();
    // Drops this model's reference; at 0 the mesh leaves the name map and is destroyed.
    static void ReleaseMesh(MeshBase* mesh);
    // Runs `work` under the owner scene's object lock when there is one. A loader thread
    // gives up (false) once the model is being cleared, so that Clear waiting for the loader
    // while holding the lock cannot deadlock.
    template <typename Work>
    bool UnderOwnerLock(Work work);
    // The same for code outside this file (the skeletal model).
    bool RunUnderOwnerLock(const std::function<void()>& work);
    // The mesh with a reference taken under the owner's lock (null when there is none or the
    // model is being cleared), and that reference given back under the lock: a loader thread
    // holds the mesh this way while a change on another thread may replace it.
    MeshBase* HoldMesh();
    void DropMesh(MeshBase* mesh);
    MeshBase* ReadyMesh() const;
    // Shadow helpers (ModelShadow.cpp): what placing a plane needs of this model; the planar
    // parts given back and the record emptied; the planes placed again before a draw.
    ShadowPlaneFrame ShadowFrame();
    void ReleasePlaneParts();
    void RefreshShadowPlanes();
    ModelLightSet* TakeLightSet(IScene* scene);
    void ReleaseLightSet();

    // --- fields, in the model's order ---
    std::vector<std::unique_ptr<NameLabelEntry>> m_labels;
    std::uint8_t m_animationFlag = 1;
    std::atomic<MeshBase*> m_mesh{nullptr};
    std::atomic<std::uint8_t> m_updateEnabled{1};
    std::map<ISpaceObject*, SocketBinding> m_bound;
    std::vector<TrackSampled*> m_socketTracks;
    std::int32_t m_decalKind = 0;
    std::uint8_t m_shadowFlag = 1;
    std::unique_ptr<PlaneShadowRecord> m_planeShadow;
    render::ISkinBuffer* m_decal = nullptr;
    std::uint8_t m_extentsOff = 0;
    float m_decalExtents[2] = {0.0f, 0.0f};
    render::ISkinBuffer* m_shadowVolume = nullptr;
    RenderRecord* m_shadowTarget = nullptr;
    std::int32_t m_shadowMode = 0;
    std::map<render::IExtTechnique*, RenderEffectEntry> m_renderEffects;
    ModelDrawDescription m_draw;
    ModelLightSet* m_lightSet = nullptr;
    std::atomic<IScene*> m_ownerScene{nullptr};
    std::atomic<int> m_loading{1};
    std::uint8_t m_keepRequests = 0;

    // Bound caches (whole object and per sub-mesh), rebuilt after every mesh change.
    std::unique_ptr<Bounds> m_localBoundCache;
    std::unique_ptr<Bounds> m_worldBoundCache;
    std::vector<Bounds> m_partLocalBounds;
    std::vector<Bounds> m_partWorldBounds;
    // Apart from the world ones: a caller may hold both answers at once.
    std::vector<Bounds> m_partParentBounds;
    std::vector<std::uint8_t> m_subMeshFlags;
    std::uint8_t m_worldBoundValid[2] = {0, 0};
    std::uint32_t m_objectFlags = 0;
    std::uint8_t m_sharesMesh = 0;
    int m_loadOption = 0;
    int m_lodParams[3] = {-1, 0, 0};
    // Set when Clear begins, so that a loader thread stops waiting for the object lock.
    std::atomic<std::uint8_t> m_clearing{0};
    // Light and model movement seen by Prepare.
    std::uint32_t m_lightSerial = 0;
};

// Static and vertex-animated models.
class Model : public ModelBase {
public:
    Model() = default;
    ~Model() override;
    int IsSkeletal() override { return 0; }
};

// The object every scene makes before it knows the file's kind. Until the skeletal meshes
// exist it is only ever turned into a plain model: in that mode it answers as a `Model`
// (not skeletal, a plain mesh), which replaces swapping the tables of a live object.
class ModelSkeletal : public Model {
public:
    static constexpr std::uint16_t kNoShadowBone = 255;

    ModelSkeletal() = default;
    ~ModelSkeletal() override;
    int IsSkeletal() override { return m_plainMode.load(std::memory_order_acquire) ? 0 : 1; }
    // Without an offset matrix a socket binding; with one the object follows the bone at that
    // offset (bind kind 7, or the mask when non-zero).
    virtual bool BindChildToBone(ISpaceObject* object, int bone, const Matrix* offset, std::uint32_t mask);  // 134

    bool LoadAnimationFile(const char* file, int async, std::uint32_t* requestId) override;
    bool UnbindSocketChildren(int index, bool boneSwitch, int objectType) override;
    bool CreateShadow(int bone, const float* extents) override;
    std::uint16_t FindAnimation(const char* name, bool flag) override;
    const char* GetAnimationName(int index) override;
    bool PlaySkeletalAnimation(int index, float transit, int type, float start, int loopFlags, float speed) override;
    bool PlaySplitAnimation(bool enable, int index, float start, int loopFlags, float speed) override;
    bool PlayAnimationGroup(const char* name, float transit) override;
    bool PlayAnimationByName(const char* name, float transit, int loopFlags) override;
    bool PlayAnimationSequence(const char* name) override;
    void StopAnimation(int kind) override;
    bool SetAnimationTime(float time, int kind) override;
    void SetAnimationSpeed(float speed, int kind) override;
    void SetAnimationReverse(bool reverse, int kind) override;
    void SetAnimationLoop(bool loop, int kind) override;
    const char* PopAnimationEvent() override;
    // The playback's queued events, oldest first, without taking them from the queue.
    const char* GetAnimationEvent(int index) override;
    int GetAnimationEventCount() override;
    TrackData* GetAnimationExtra(int index) override;
    // The bounds of the current animation's key at the current time.
    void GetWorldBound(Vec3* center, float* radius, Vec3* extents, int space) override;
    void GetPartWorldBound(int part, Vec3* center, float* radius, Vec3* extents, int space) override;
    int GetBoneCount() override;
    int GetBonePaletteSize() override;
    std::uint16_t GetBonePaletteEntry(int index) override;
    std::uint16_t FindBone(const char* name) override;
    std::uint16_t GetBoneParent(int bone) override;
    const char* GetBoneName(int bone) override;
    // The bone's world matrix (space 1).
    void GetBoneWorldMatrix(int bone, Matrix& out) override;
    bool IsAnimationEndPending() override;
    void AcknowledgeSkeletalState() override;
    bool IsSequenceFinished() override { return m_sequenceFinished != 0; }
    void UpdateSkeletalBounds() override;
    void FreezeAtTime(float seconds) override;
    bool ChangeMeshData(const char* name, MeshData* data) override;
    bool ChangeMeshFromMemory(const char* name, const void* image, std::size_t size) override;
    bool ChangeMeshFile(const char* name) override;
    void CopyFrom(ModelBase* other) override;
    void UpdateModel() override;
    bool GetSocketMatrix(int socket, Matrix& out) override;
    bool NeedsNormalize(int i) override;
    void Update() override;
    void Clear() override;
    // Refused while the current animation drives the object through its own track.
    bool BindTrack(ITrack* track, float blend, bool apply, std::uint16_t mode, float start) override;
    ITrack* UnbindTrack(float blend) override;
    ITrack* GetTrack() override;

    // The work of the animation record: the skeletal mesh loads the file under its lock.
    // Answers the load's result (positive: attached), -1 without a skeletal mesh. Object tracks
    // are only marked stale here (the loader's thread must not touch them); the next update,
    // or the next play, rebuilds them.
    int LoadAnimationFileNow(const char* file);
    // The bound of the key the current animation reaches at `time` ms (negative: the current
    // key), in the asked space; without a skeletal mesh as a plain model.
    void GetWorldBoundAt(float time, Vec3* center, float* radius, Vec3* extents, int space);
    void GetPartWorldBoundAt(int part, float time, Vec3* center, float* radius, Vec3* extents, int space);
    // Space 0: in the parent's space (the local matrix), 1: world, 2: skeleton space. False
    // for a bone past the skeleton.
    bool GetBoneWorldMatrix(int bone, Matrix& out, int space);
    // Pops the oldest key event of the playback into `event`; false when none is queued.
    bool PopEvent(std::string& event);
    MeshSkeletal* GetSkeletalMesh() const;
    void SetPlainMode() { m_plainMode.store(1, std::memory_order_release); }
    bool PlainMode() const { return m_plainMode.load(std::memory_order_acquire) != 0; }

    // The object track of an animation (global index); null without one or out of range.
    TrackSampled* GetAnimationTrack(int index);
    std::uint16_t ShadowBone() const { return m_shadowBone; }
    bool SequencePlaying() const { return m_sequencePlaying != 0; }
    std::int16_t SequenceItem() const { return m_sequenceItem; }

private:
    // The current skeletal animation's object track, or null.
    TrackSampled* CurrentTrack();
    // Lets go of the bound track whatever drives the object.
    void Unhook(float blend);
    void ReleaseAnimationTracks();
    void RebuildAnimationTracks();
    void RebuildStaleTracks();
    // After a play: the new animation's object track takes over the object. `restart`: the
    // caller gave a start time, so a track that would go on starts over with the skeleton.
    void SwitchObjectTrack(int previous, float transit, bool restart);
    // While the playback cross-fades, the object's own cross-fade runs on the same timer.
    void FollowTransition();
    bool NextSequenceItem();
    void AdvanceSequence();
    void PlaceBoundObjects();
    void PlaceSkeletalShadow();
    // Shows, hides and restarts an attachment whose socket names an animation; false while it
    // stays hidden (and is not placed).
    bool ShowSocketAttachment(ISpaceObject* object, int socket);
    template <typename Change>
    bool ChangeSkeletalMesh(Change change);

    std::atomic<std::uint8_t> m_plainMode{0};
    std::uint8_t m_freezeRequest = 0;
    std::uint16_t m_shadowBone = 0;
    std::vector<TrackSampled*> m_animationTracks;
    std::uint8_t m_sequencePlaying = 0;
    std::int16_t m_sequence = -1;
    std::int16_t m_sequenceItem = -1;
    float m_itemTime = 0.0f;
    std::uint8_t m_sequenceFinished = 0;
    // Set by a load on the loader's thread: the object tracks no longer match the animations.
    std::atomic<std::uint8_t> m_tracksStale{0};
    // Set while the object's cross-fade runs on the playback's timer.
    std::uint8_t m_followingTransition = 0;
    // Names handed out by pointer live here until the next such call.
    std::string m_nameBuffer;
    std::string m_eventBuffer;
    std::string m_queuedEventBuffer;
};

// A new empty model (skeletal until its file says otherwise), null when allocation fails.
ModelSkeletal* CreateModelSkeletal();
// Gives the model the mesh of a ".mom" file, choosing its kind from the file's mesh type.
bool CreateModelForFile(ModelBase* model, const char* path);
bool CreateModelForFileEx(ModelBase* model, const char* path, int unused);
// The object answers as a `Model` from now on.
void InitModelVtables(ModelBase* model);
// Cancels a model's outstanding load requests.
void UnregisterModelHandle(ModelBase* model);
// The model list's per-model passes.
void CreateOutlineTechnique(ModelBase* model);
void CreateShadowOnPlaneTechnique(ModelBase* model, int pass);
void CreateShadowVolumeTechnique(ModelBase* model);
// Where a name label over a world point goes on the camera's screen: whole pixels x and y (y
// moved down by the offset) and the depth z / w. False without a render camera or behind the
// eye (w <= 0).
bool PlaceLabel(Camera* camera, const Vec3& point, int pixelOffset, float* out);

// The process-wide record of live mesh instances by file name.
namespace ModelNameMap {
MeshBase* Find(const char* name);
std::size_t Size();
}  // namespace ModelNameMap

}  // namespace quor::world
