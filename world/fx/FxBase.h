#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "world/core/SharedString.h"
#include "world/core/VisibleObject.h"
#include "world/fx/IFxBase.h"

namespace quor::render {
class IEffect;
class IRenderState;
class IVertexBuffer;
class IDynamicBuffer;
class IDepthBiasState;
}  // namespace quor::render

namespace quor::world {

class IModel;
class Camera;

// IFxBase's child accessors share their names with SpaceObject's (which list a node's space
// children, not its effect children). This layer answers the effect face's two and hands them
// to FxBase, so each base keeps its own meaning.
class FxBaseFace : public IFxBase {
public:
    IFxBase* GetChild(int index) final;
    int GetChildCount() final;

protected:
    ~FxBaseFace() = default;
};

// One node of an effect tree: a placed, drawable object with its own clock and time window
// that owns its children. The plain node ("Dummy") draws nothing; kinds override what they
// draw and how they advance. Nodes take no locks: they run under the scene's object lock and
// the effect manager's lock.
class FxBase : public FxBaseFace, public VisibleObject {
public:
    static constexpr int kNameSize = 40;
    static constexpr int kBoneNameSize = 48;
    // Deeper trees are refused at load: every walk recurses once per level.
    static constexpr int kMaxDepth = 64;

    FxBase();
    ~FxBase() override;

    // --- IFxBase, in slot order ---
    SpaceObject* GetSpaceObject(int flag) override;                                  // 0
    IVisibleObject* GetVisibleObject() override;                                     // 1
    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;          // 2
    void SetPlaying(bool play) override;                                             // 3
    void Reset() override;                                                           // 4
    void Deactivate() override;                                                      // 5
    void Release() override;                                                         // 6
    std::int32_t GetState() override { return m_state; }                             // 7
    void Update() override;                                                          // 8
    void Render() override;                                                          // 9
    void EnableZBuffer(bool on) override;                                            // 10
    bool IsZBufferEnabled() override;                                                // 11
    void SetUserValue(int value) override;                                           // 12
    bool IsLoop() override { return m_loop != 0; }                                   // 13
    int FindChildIndex(const char* name) override;                                   // 14
    // 15 GetChild: FxBaseFace
    IFxBase* FindByName(const char* name) override;                                  // 16
    // 17 GetChildCount: FxBaseFace
    const char* GetChildName(int index) override;                                    // 18
    std::uint32_t GetChildElementCount() override { return m_childElementCount; }    // 19
    std::int32_t GetChildState(int index) override;                                  // 20
    void SetChildVisible(int index, bool visible) override;                          // 21
    bool SetVisibleByName(const char* name, bool visible) override;                  // 22
    void SetPause(bool pause) override;                                              // 23
    bool IsPaused() override { return m_paused != 0; }                               // 24
    float GetLifeSpan() override { return m_lifeSpan; }                              // 25
    void SetPlaySpeed(float speed) override;                                         // 26
    float GetPlaySpeed() override { return m_playSpeed; }                            // 27
    float GetTextureAnimLength() override;                                           // 28
    void LoadTexture(const char* name) override;                                     // 29
    void GetTextureAnimInfo(float* columns, float* rows, float* third, float* fourth, char* name,
                            float* length, bool* flag) override;                     // 30
    void SetTextureAnimLength(float length) override;                                // 31
    bool SetTime(float time) override;                                               // 32
    float GetTime() override { return m_time; }                                      // 33
    void SetFrameTableMode(std::uint8_t on) override;                                // 34
    void RebuildBuffers() override;                                                  // 35
    void DetachChild(int index, bool independent) override;                          // 36
    void SetBlendMode(std::uint32_t flag, std::int32_t value) override;              // 37
    void SetZWrite(std::int32_t value) override;                                     // 38
    const char* GetBoneName() override { return m_boneName; }                        // 39
    std::uint32_t GetParticleCount() override { return m_liveParticles; }            // 40
    std::uint32_t GetTotalParticleCount() override;                                  // 41
    const std::string& GetFileName(std::string& out) override;                       // 42
    bool GetBoundingBox(Vec3* min, Vec3* max) override;                              // 43
    int GetTriangleCount() override { return 0; }                                    // 44
    int GetNodeCount() override;                                                     // 45
    int GetPendingLoads() override { return m_pendingLoads; }                        // 46
    void SetPendingLoads(int count) override { m_pendingLoads = count; }             // 47

    // --- FxBase's own slots ---
    virtual std::int32_t GetRenderOrder() { return m_renderOrder; }                  // 48
    // True when the node is culled.
    virtual bool UpdateCulling();                                                    // 49
    virtual void SetFrameTime(float frameTime);                                      // 50
    virtual IModel* GetModel() { return nullptr; }                                   // 51
    virtual void CollectModels(std::vector<IModel*>& out);                           // 52
    virtual bool OnScenePrepare();                                                   // 53
    virtual void OnSceneFinish();                                                    // 54
    virtual void DumpProperties(common::IXmlNode* parent);                           // 55
    virtual void OnAttach() {}                                                       // 56
    virtual int CountNodes();                                                        // 57
    virtual void SyncToParentTime(float time);                                       // 58
    // Direction types: 2 takes the first vector, 3 the second; others keep the direction
    // (turned into node space when useInverseRotation), 1 then also flattens it. The axes are
    // written only for a direction longer than 1e-5.
    virtual void ResolveDirection(const Vec3& first, const Vec3& second, int directionType,
                                  bool useInverseRotation, Vec3& direction, Vec3& firstAxis,
                                  Vec3& secondAxis);                                 // 59

    // --- VisibleObject operations a node answers ---
    using VisibleObject::UpdateCulling;
    void SetCulledResult(std::uint8_t culled) override;
    void InvalidateTransform() override;
    int GetObjectType() override { return 4; }
    // The draw entry: Render, timed on the script object when the host has one.
    void DrawParts(int pass) override;

    // --- members the loader, the manager, the scene and the kinds use ---
    // The child at an index, or null.
    FxBase* ChildAt(int index) const;
    int ChildCount() const { return static_cast<int>(m_children.size()); }
    const std::vector<FxBase*>& FxChildren() const { return m_children; }
    FxBase* GetRoot() const { return m_root; }
    FxBase* ParentFx() const;
    std::int32_t GetKind() const { return m_kind; }
    const char* GetName() const { return m_name; }
    bool IsLoaded() const { return m_loaded != 0; }
    void SetLoaded(bool loaded) { m_loaded = loaded ? 1 : 0; }
    bool IsIndependent() const { return m_independent != 0; }
    void SetIndependent(bool on) { m_independent = on ? 1 : 0; }
    // Makes the node the root of its own tree (root pointer to itself, independent).
    void MakeRoot();
    float GetFrameTime() const { return m_frameTime; }
    float GetStartTime() const { return m_startTime; }
    bool IsCulledFlag() const { return m_culled != 0; }
    bool IsEndless() const { return m_endlessPlay != 0; }
    bool IsUpdateAlways() const { return m_updateAlways != 0; }
    std::uint32_t GetDrawnParticleCount() const { return m_drawnParticles; }
    // Live and drawn counters of the node and its attached descendants.
    std::uint32_t GetTotalDrawnParticleCount();
    void ResetParticleStats();
    const std::string& GetSourcePath() const { return m_sourcePath; }
    void SetSourcePath(const char* path) { m_sourcePath = path ? path : ""; }
    const common::SharedString& FileName() const { return m_fileName; }
    void SetFileName(const common::SharedString& name) { m_fileName = name; }
    std::int32_t GetFxUserValue() const { return m_fxUserValue; }
    render::IRenderState* GetRenderStateObject() const { return m_renderState; }
    // Render-state application behind SetBlendMode (see the render-state cache).
    void ApplyRenderState(std::uint32_t flag, std::int32_t value);
    // Drops the node's outstanding asynchronous loads.
    void CancelPendingLoads();
    // Takes an attached node out of its parent's child list and clears the parent link.
    void DetachFromParent();
    // Releases and destroys every child (a load that failed half-way).
    void DropChildren();

    // The six shared effect materials and the render-state cache, for the world's lifetime.
    static void CreateSharedMaterials();
    static void ReleaseSharedMaterials();
    // The shared material of an index (0-5), or null when it is not made.
    static render::IEffect* GetSharedMaterial(int index);
    // The shared material of a "BlendMode" (0-2); the z-write variant takes the loaded three.
    // A mode outside the table takes the kind's default, with a warning.
    static render::IEffect* SharedMaterialForBlend(int blendMode, int defaultMode, bool zWriteVariant);

    // The change of the stored depth (0..1) when a point at view depth z comes `radius`
    // closer to the camera: linear for an orthographic camera, else far (z - near) / (z (far -
    // near)) taken at z - radius less the same at z. 0 where the projection gives no depth
    // (far equal to near, z or z - radius at 0, or a result that is not finite).
    static float DepthOffset(bool orthographic, float zNear, float zFar, float z, float radius);
    // Gives the node's depth-offset object the offset of its "RoundRadius" at its world
    // position in the active camera's view; nothing without that object or a camera.
    void UpdateDepthOffset();
    // The active camera of the scene the node's root is in, or null.
    Camera* ActiveFxCamera() const;

protected:
    // The node-and-descendants walk of culling; true when all are culled.
    bool CullTree();
    // Takes the whole subtree to the given state.
    void SetTreeState(std::int32_t state);
    // The clock time t of the node: its own when independent, else the nearest independent
    // ancestor's.
    float ClockTime() const;
    // Child prepared by the loader: inherited fields copied from this node.
    void PrepareChild(FxBase* child);

    // Fields, in order.
    std::string m_sourcePath;
    float m_startTime = 0.0f;
    float m_lifeSpan = 1.0f;
    std::int32_t m_state = kFxReady;
    Vec3 m_posOffset{0.0f, 0.0f, 0.0f};
    std::uint8_t m_linger = 0;
    std::uint8_t m_loadFlag8 = 0;
    std::int32_t m_fxUserValue = 2;
    std::int32_t m_kind = kFxKindPlain;
    char m_name[kNameSize] = {};
    std::uint8_t m_updateAlways = 0;
    std::uint8_t m_endlessPlay = 0;
    render::IEffect* m_effect = nullptr;
    render::IVertexBuffer* m_drawState = nullptr;
    // A renderer dynamic buffer; the kind that makes it gives it back in its Release.
    render::IDynamicBuffer* m_dynamicBuffer = nullptr;
    std::uint8_t m_zEnabled = 0;
    render::IRenderState* m_renderState = nullptr;
    std::int32_t m_zKey = 0;
    std::int32_t m_zWrite = 0;
    std::uint8_t m_loop = 0;
    std::uint32_t m_childElementCount = 0;
    std::int32_t m_renderOrder = 0;
    std::uint8_t m_culled = 0;
    float m_frameTime = 1.0f / 60.0f;
    float m_playSpeed = 1.0f;
    float m_time = 0.0f;
    std::uint8_t m_paused = 0;
    std::vector<FxBase*> m_children;
    std::uint8_t m_independent = 0;
    FxBase* m_root = nullptr;
    char m_boneName[kBoneNameSize] = {};
    std::uint32_t m_liveParticles = 0;
    std::uint32_t m_drawnParticles = 0;
    common::SharedString m_fileName;
    float m_depthOffset = 0.0f;
    render::IDepthBiasState* m_depthOffsetObject = nullptr;
    std::int32_t m_pendingLoads = 1;
    std::uint8_t m_loaded = 0;

private:
    // Levels above this node up to its root; the loader refuses trees deeper than kMaxDepth.
    int m_depth = 0;
    // Set when the load failed for a tree deeper than kMaxDepth.
    std::uint8_t m_tooDeep = 0;
    // The update of a frame; `again` is set when a looping independent node ran past its
    // window and may run once more.
    void UpdateOnce(bool& again);
};

// A grouping node with a "LifeSpan" of its own.
class FxGroup : public FxBase {
public:
    FxGroup();
    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
};

}  // namespace quor::world
