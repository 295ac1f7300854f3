#pragma once
#include <cstdint>
#include <vector>

#include "world/core/Align16.h"
#include "world/core/SharedString.h"
#include "world/fx/IPicture.h"

namespace quor::render {
class IEffect;
class IPrimitive;
}  // namespace quor::render

namespace quor::world {

class Picture;

// Common state of every picture: tree, transforms (angles in degrees), display and host values.
class PictureBase : public IPicture, public Align16 {
public:
    explicit PictureBase(IScene* owner);
    PictureBase(const PictureBase&) = delete;
    PictureBase& operator=(const PictureBase&) = delete;

    void SetVisible(std::uint8_t state) override { m_visible = state; }
    void SetAnimDuration(float) override {}
    void SetPivot(float, float) override {}
    PicPoint GetPivot() override { return {}; }
    void SetAnchor(int) override {}
    PicPoint GetSize() override { return {}; }
    PicRect GetBoundingRect() override { return {}; }
    void SetLocalPosition(float x, float y) override;
    PicPoint GetLocalPosition() override { return m_position; }
    void SetPosition(float x, float y) override;
    PicPoint GetPosition() override;
    void SetLocalRotation(float degrees) override;
    float GetLocalRotation() override { return m_rotation; }
    void SetRotation(float degrees) override;
    float GetRotation() override;
    bool HasLocalRotation() override;
    bool HasRotation() override;
    void SetLocalScale(float x, float y) override;
    PicPoint GetLocalScale() override { return m_scale; }
    bool HasLocalScale() override;
    bool HasScale() override;
    bool IsLocalMirrored() override { return m_scale.x * m_scale.y < 0.0f; }
    bool IsMirrored() override;
    void SetLocalTransform(const Matrix& m) override;
    void SetTransform(const Matrix& world) override;
    void ApplyTransform(const Matrix& m) override;
    void MoveToLocalPoint(float x, float y) override;
    void Rotate(float degrees) override;
    void RotateAbout(float cx, float cy, float degrees) override;
    void RotateAboutWorldPoint(float cx, float cy, float degrees) override;
    PicPoint LocalToWorld(PicPoint p) override;
    PicPoint WorldToLocal(PicPoint p) override;
    PicPoint LocalDirToWorld(PicPoint d) override;
    PicPoint WorldDirToLocal(PicPoint d) override;
    const Matrix& GetWorldMatrix() override;
    const Matrix& GetInverseWorldMatrix() override;
    Matrix GetLocalMatrix() override;
    Matrix GetInverseLocalMatrix() override;
    Matrix GetMatrixRelativeTo(IPicture* other) override;
    bool IsDirty() override { return m_dirty; }
    void SetDisplayState(std::uint8_t state, bool toChildren) override;
    std::uint8_t GetDisplayState() override { return m_displayState; }
    void SetAlpha(std::uint8_t alpha) override { m_alpha = alpha; }
    std::uint8_t GetAlpha() override { return m_alpha; }
    bool CreateShadow(const PicPoint* size) override;
    void SetShadowEnabled(bool on) override { m_shadowEnabled = on; }
    bool IsShadowEnabled() override { return m_shadowEnabled; }
    int GetPictureType() override { return 0; }
    bool AddChild(IPicture* child, bool keepWorld) override;
    bool RemoveChild(IPicture* child, bool keepWorld) override;
    int GetChildCount() override { return static_cast<int>(m_children.size()); }
    IPicture* GetChild(int index) override;
    bool SetParentPicture(IPicture* parent) override;
    IPicture* GetParent() override;
    void PassChildrenToParent() override;
    void DetachChildren() override;
    render::ITexture* GetTexture() override { return nullptr; }
    IModel* GetAttachedModel() override { return nullptr; }
    IFxBase* GetAttachedEffect() override { return nullptr; }
    ISpaceObject* GetAttachedSpaceObject() override { return nullptr; }
    common::SharedString GetTextureName() override { return {}; }
    const char* GetName() override { return ""; }
    void SetName(const char*) override {}
    IScene* GetOwnerScene() override { return m_owner; }
    void SetHeightOffset(float) override {}
    bool HasHeightOffset() override { return false; }
    void SetCustomFlag(std::uint8_t value) override { m_customFlag = value; }
    std::uint8_t GetCustomFlag() override { return m_customFlag; }
    void SetCustomState(std::uint8_t value) override { m_customState = value; }
    std::uint8_t GetCustomState() override { return m_customState; }
    void SetAttachedAlpha(float) override {}
    void SetCustomValue(std::int32_t value) override { m_customValue = value; }
    std::int32_t GetCustomValue() override { return m_customValue; }
    void SetSnapshotMode(bool) override {}
    void SetFollowTarget(int) override {}
    bool IsSnapshotMode() override { return false; }
    void DeletingDestructor() override;
    std::uint8_t IsVisible() override { return m_visible; }
    void OnCreated() override {}
    PicPoint GetWorldScale() override;
    float GetAnimDuration() override { return 0.0f; }
    float GetColumnCount() override { return 0.0f; }
    float GetRowCount() override { return 0.0f; }
    float GetFrameCount() override { return 0.0f; }
    float GetStartFrame() override { return 0.0f; }
    bool IsAnimLooping() override { return true; }
    void SetAnimLoop(bool) override {}
    void NextAnimFrame() override {}
    void PlayAnim() override {}
    void StopAnim() override {}
    void UpdatePlacement() override {}
    void PrepareQuad() override;
    void SetOwnerScene(IScene* scene) override { m_owner = scene; }
    bool IsOwnedBy(IScene* scene) override { return m_owner == scene; }
    void Render(bool, bool) override {}
    float GetHeightOffset() override { return 0.0f; }
    void SetTextureName(const char*) override {}
    void Detach() override;
    void MarkDirty(bool moved) override;
    bool Load(const char*) override { return false; }
    void SetDisplayStateAll(std::uint8_t) override {}

    // Where children removed from this picture go (null: they become roots).
    void SetHomeParent(PictureBase* home) { m_homeParent = home; }
    PictureBase* GetHomeParent() const { return m_homeParent; }
    PictureBase* ParentBase() const { return m_parent; }
    const std::vector<PictureBase*>& Children() const { return m_children; }
    Picture* GetShadow() const { return m_shadow; }
    void SetPositionBlend(float x, float y) { m_blend = {x, y}; }
    // The placement rectangle: maximum x, maximum y, minimum x, minimum y.
    const float* Placement() const { return m_placement; }

    static PictureBase* FromInterface(IPicture* p) { return static_cast<PictureBase*>(p); }

    // A box in map space that a scene tests against its view; (-1, -1) in both means none.
    void SetBoundBox(const float* maximum, const float* minimum) {
        m_boundMax[0] = maximum[0];
        m_boundMax[1] = maximum[1];
        m_boundMin[0] = minimum[0];
        m_boundMin[1] = minimum[1];
    }
    const float* BoundMax() const { return m_boundMax; }
    const float* BoundMin() const { return m_boundMin; }
    void SetHasBound(std::uint8_t on) { m_hasBound = on; }
    // Non-virtual reads for the per-frame passes over many pictures (no kind overrides them).
    std::uint8_t DisplayStateValue() const { return m_displayState; }
    std::int32_t CustomValueRaw() const { return m_customValue; }
    // The picture type GetPictureType reports, fixed at construction.
    int Kind() const { return m_kind; }
    std::uint8_t HasBound() const { return m_hasBound; }
    // Whether the picture has children, without reading the list.
    bool HasChildren() const { return m_hasChildren != 0; }
    // Starts fetching the cache line a per-frame pass reads (vtable, display state, kind, bound
    // flag, children flag, effect level), so that a pass over many pictures overlaps their fetches.
    void PrefetchPassFields() const { __builtin_prefetch(this); }

protected:
    virtual ~PictureBase();
    void DestroyShadow();
    // Takes the world matrix as local transform and forgets the parent (list untouched).
    void BecomeRootKeepingWorld();
    // Drops a direct child from the list; with keepWorld it first takes its world matrix.
    bool UnlinkChild(PictureBase* child, bool keepWorld);
    bool IsSelfOrAncestor(const PictureBase* p) const;
    // Brings m_hasChildren up to date after m_children changed.
    void NoteChildren() { m_hasChildren = m_children.empty() ? 0 : 1; }
    // The corners (-pivot) ... (-pivot + (0, size.y)) in screen space, 0.5 subtracted when rotated;
    // returns whether they are rotated corners (false: an axis-aligned rectangle in out[0], out[2]).
    bool QuadCorners(PicPoint pivot, PicPoint size, PicPoint out[4]);

    // What the scene's per-frame pass reads of every picture, in the 8 bytes after the vtable
    // pointer: the object is 16-aligned, so these 16 bytes always share one cache line.
    std::uint8_t m_displayState = 1;
    std::uint8_t m_kind = 0;
    std::uint8_t m_hasBound = 0;
    // Whether m_children is non-empty, kept by every change of the list (see NoteChildren).
    std::uint8_t m_hasChildren = 0;
    std::int32_t m_customValue = -1;
    std::uint8_t m_visible = 0;
    float m_placement[4] = {};
    PicPoint m_position;
    float m_rotation = 0.0f;
    PicPoint m_scale{1.0f, 1.0f};
    bool m_dirty = false;
    bool m_worldValid = false;
    bool m_inverseValid = false;
    std::uint8_t m_alpha = 255;
    PictureBase* m_parent = nullptr;
    std::vector<PictureBase*> m_children;
    PictureBase* m_homeParent = nullptr;
    Picture* m_shadow = nullptr;
    IScene* m_owner = nullptr;
    PicPoint m_previous;
    PicPoint m_blend{1.0f, 1.0f};
    bool m_shadowEnabled = true;
    std::uint8_t m_customFlag = 1;
    std::uint8_t m_customState = 0;
    float m_boundMax[2] = {0.0f, 0.0f};
    float m_boundMin[2] = {0.0f, 0.0f};
    // The transform caches last: 128 bytes that the per-frame passes do not read would
    // otherwise stand between the vtable and the tree and state they do.
    Matrix m_world;
    Matrix m_inverseWorld;
};

// A textured screen quad.
class Picture : public PictureBase {
public:
    explicit Picture(IScene* owner);

    void SetPivot(float x, float y) override;
    PicPoint GetPivot() override { return m_pivot; }
    void SetAnchor(int code) override;
    PicPoint GetSize() override { return {m_width, m_height}; }
    PicRect GetBoundingRect() override;
    render::ITexture* GetTexture() override { return m_texture; }
    common::SharedString GetTextureName() override { return m_textureName; }
    const char* GetName() override { return m_name; }
    void SetName(const char* name) override;
    void Render(bool draw, bool drawShadow) override;
    void SetTextureName(const char* name) override;
    void MarkDirty(bool moved) override;
    bool Load(const char* path) override;

    // Binds a texture the caller holds one reference of; the size becomes the texture's.
    void TakeTexture(render::ITexture* texture);
    void SetSize(float width, float height);
    render::IPrimitive* Primitive() const { return m_primitive; }

    // The shared effect every picture draws with: made at World start-up, freed at shutdown.
    static void CreateSharedMaterial();
    static void ReleaseSharedMaterial();
    static render::IEffect* SharedMaterial();

protected:
    ~Picture() override;
    void ReleaseTexture();
    // Writes the quad's four vertices with the texture rectangle (u0, v0)-(u1, v1).
    void WriteQuad(float u0, float v0, float u1, float v1);

    common::SharedString m_textureName;
    render::IPrimitive* m_primitive = nullptr;
    render::ITexture* m_texture = nullptr;
    float m_width = 0.0f;
    float m_height = 0.0f;
    PicPoint m_pivot;
    char m_name[32] = {};
    bool m_quadValid = false;
};

// A node of the tree that draws nothing.
class PictureEmpty : public PictureBase {
public:
    explicit PictureEmpty(IScene* owner) : PictureBase(owner) { m_kind = 2; }
    int GetPictureType() override { return 2; }

protected:
    ~PictureEmpty() override = default;
};

}  // namespace quor::world
