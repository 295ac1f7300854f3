#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "world/core/Align16.h"
#include "world/core/ISpaceObject.h"
#include "world/core/ObjectOwner.h"
#include "world/core/TransformStore.h"
#include "world/core/math/Matrix.h"
#include "world/core/math/Quaternion.h"
#include "world/core/math/Vector.h"

namespace quor::world {

class TrackBase;

// The transform a track binding rebases on: taken when a track is bound without a fade running.
struct TrackBaseSnapshot {
    Vec3 position{0.0f, 0.0f, 0.0f};
    Quaternion rotation{0.0f, 0.0f, 0.0f, 1.0f};
    Vec3 scale{1.0f, 1.0f, 1.0f};
    std::uint32_t flags = 0;
};

// Base of every object placed in a scene: a local transform relative to the parent, cached
// world and inverse-world matrices, ordinary children and attachments (dependants that also
// follow visibility), and the seam through which a bound track drives the transform.
//
// Hierarchy changes run inside the owning scene's object lock, because the scene's render and
// loader threads walk the lists; transforms change on the main thread only.
class SpaceObject : public ISpaceObject, public Align16 {
public:
    SpaceObject();
    SpaceObject(const SpaceObject&) = delete;
    SpaceObject& operator=(const SpaceObject&) = delete;

    // --- ISpaceObject, in slot order ---
    std::uint8_t GetStateByte() override { return m_stateByte; }
    void SetStateByte(std::uint8_t value) override { m_stateByte = value; }
    void SetPosition(const Vec3& position) override;
    const Vec3* GetPosition() override { return &m_transform->position; }
    void SetWorldPosition(const Vec3& position) override;
    void GetWorldPosition(Vec3& out) override;
    void SetRotation(const Matrix& rotation) override;
    const Matrix* GetRotation() override { return &m_transform->rotation; }
    void SetWorldRotation(const Matrix& rotation) override;
    void GetWorldRotation(Matrix& out) override;
    void SetScale(const Vec3& scale) override;
    const Vec3* GetScale() override { return &m_transform->scale; }
    void SetWorldScale(const Vec3& scale) override;
    void GetWorldScale(Vec3& out) override;
    bool HasWorldScale() override;
    bool IsMirrored() override;
    bool IsWorldMirrored() override;
    void SetPositionAndDirection(const Vec3& position, const Vec3& from, const Vec3& to) override;
    void SetLocalMatrix(const Matrix& m) override;
    void SetWorldMatrix(const Matrix& m) override;
    void ApplyMatrix(const Matrix& m) override;
    void MoveLocal(const Vec3& offset) override;
    void RotateLocalX(float angle) override;
    void RotateLocalY(float angle) override;
    void RotateLocalZ(float angle) override;
    void RotateAroundAxis(const Ray& axis, float angle) override;
    void Rotate(const Vec3& axis, float angle) override;
    void RotateAroundWorldAxis(const Ray& axis, float angle) override;
    void SetWorldMatrixElements(const float* elements12) override;
    Vec3& LocalToWorld(const Vec3& p, Vec3& out) override;
    Vec3& WorldToLocal(const Vec3& p, Vec3& out) override;
    Vec3& LocalToParent(const Vec3& p, Vec3& out) override;
    Vec3& ParentToLocal(const Vec3& p, Vec3& out) override;
    const Matrix& GetWorldMatrix() override;
    const Matrix& GetInverseWorldMatrix() override;
    void GetLocalMatrix(Matrix& out) override;
    void GetInverseLocalMatrix(Matrix& out) override;
    void GetRelativeMatrix(ISpaceObject* other, Matrix& out) override;
    bool BindTrack(ITrack* track, float blend, bool apply, std::uint16_t mode,
                   float start) override;
    ITrack* UnbindTrack(float blend) override;
    ITrack* GetTrack() override;
    void SetParent(ISpaceObject* parent) override;
    ISpaceObject* GetParent() override;
    bool AddChild(ISpaceObject* child, bool keepWorld) override;
    bool RemoveChild(ISpaceObject* child, bool keepWorld) override;
    int GetChildCount() override { return static_cast<int>(m_children.size()); }
    ISpaceObject* GetChild(int index) override;
    void DetachChildren() override;
    void FlattenChildren() override;
    int GetObjectType() override { return 0; }
    bool IsTransformChanged() override { return m_transform->transformChanged != 0; }
    bool IsVisibleObject() override { return false; }
    void SetVisible(bool visible, bool recursive) override;
    ObjectOwner* GetScene() override { return m_scene; }
    std::uint32_t GetId() override { return m_id; }
    ~SpaceObject() override;
    void Clear() override;
    bool AddAttachment(ISpaceObject* child, bool keepWorld) override;
    bool RemoveAttachment(ISpaceObject* child, bool keepWorld) override;
    bool IsVisible() override { return false; }
    int GetUserValue() override { return m_userValue; }
    void SetUserValue(int value) override { m_userValue = value; }
    void Update() override;
    void SetScene(ObjectOwner* scene) override { m_scene = scene; }
    bool IsInScene(ObjectOwner* scene) override { return m_scene == scene; }
    void SetHideFlags(bool, std::uint16_t, bool) override {}
    bool HasHideFlags(std::uint16_t) override { return true; }
    void DropBoundObject(ISpaceObject*) override {}
    void InvalidateTransform() override;

    // --- members other parts of the system use directly ---
    // Decomposes m into position, rotation and scale; has-scale follows whether the scale
    // differs from (1, 1, 1) by 1e-4 or more. Rebases a bound track.
    void SetTransformFromMatrix(const Matrix& m);
    // Hangs the object under a scene's root (null: out of any tree).
    void SetRootNode(SpaceObject* root);
    SpaceObject* GetRootNode() const { return m_rootNode; }
    // True when `ancestor` is on this object's parent chain (the object itself is not).
    bool IsDescendantOf(const SpaceObject* ancestor) const;
    // The axis line (origin and direction) taken from world space into this object's parent
    // space.
    void WorldToParentSpace(const Ray& worldAxis, Ray& out);

    // The raw parent link (the root node included, unlike GetParent).
    SpaceObject* Parent() const { return m_parent; }
    bool IsAttachment() const { return m_isAttachment != 0; }
    const std::vector<SpaceObject*>& Children() const { return m_children; }
    const std::vector<SpaceObject*>& Attachments() const { return m_attachments; }
    bool HasScale() const { return m_transform->hasScale != 0; }
    // Unlinks the whole tree below this object without moving anything: every attachment and
    // child (recursively) loses its parent link and attachment flag, and the lists empty. The
    // scene does this before it frees its objects list by list.
    void ForgetTree();
    // Cleared by the scene's lists at the end of each frame.
    void ClearTransformChanged() { m_transform->transformChanged = 0; }
    // The object's block in the transform store: its address never changes while the object
    // lives. Subclasses keep the valid bits of their world-derived caches in it.
    TransformBlock* GetTransformBlock() const { return m_transform; }

    // --- track binding (world/core/track/SpaceObjectTrack.cpp) ---
    void DropFadingTrack();
    void ApplyBoundTrack();
    void ApplyTrackChannels();
    bool UpdateCrossFade();
    // Puts a running cross-fade on a timer another clock drives: the next update blends with
    // `remaining` of `total` ms left; a remaining time at or below 0 ends the fade at once.
    // False (nothing changes) when no cross-fade runs.
    bool DriveCrossFade(float total, float remaining);
    TrackBase* GetBoundTrack() const { return m_boundTrack; }
    TrackBase* GetFadingTrack() const { return m_fadingTrack; }
    std::uint16_t GetBindMode() const { return m_bindMode; }
    // The transform a bound track rebases on; made with its initial values on first use.
    TrackBaseSnapshot& BaseSnapshot();

    // The process-wide identifier counter; the next object gets the value after this one.
    static std::uint32_t LastIssuedId();

protected:
    // Sets the parent link alone, entering none of the parent's lists: for owners that keep
    // their children in a list of their own (effect trees).
    void LinkParentOnly(SpaceObject* parent) { LinkParent(parent); }
    // Runs after every transform setter: a bound track continues from where the object now
    // stands, unless a cross-fade is being set up.
    void RebaseTrack();

private:
    static SpaceObject* FromInterface(ISpaceObject* object);
    // The root node an object must share with this one to be adopted by it.
    bool SharesRootWith(const SpaceObject* child) const;
    // Common refusal checks of AddChild and AddAttachment; the attachment test only for
    // ordinary children.
    bool CanAdopt(const SpaceObject* child) const;
    // Takes the child out of whichever list of its parent holds it; nothing else changes.
    void LeaveParentList();
    // Puts a child that has just left its old parent under this one.
    void Adopt(SpaceObject* child, bool keepWorld, bool asAttachment, const Matrix& childWorld);
    // Takes an accepted child from its old parent and adopts it (world matrix read first).
    void MoveUnder(SpaceObject* child, bool keepWorld, bool asAttachment);
    // RemoveChild and RemoveAttachment: the child must sit in the named list of this object.
    bool Remove(ISpaceObject* childObject, bool keepWorld, bool fromAttachments);
    // Hands every child to the grandparent, to `fallbackRoot` when there is no parent, or
    // leaves it parentless when there is neither, each keeping its world transform.
    void ReleaseChildren(SpaceObject* fallbackRoot);
    // Local matrix built straight into `out` (scale only when has scale is set).
    void BuildLocalMatrix(Matrix& out) const;
    // Sets the parent object and the parent link of the block together.
    void LinkParent(SpaceObject* parent);
    // Drops the fading track and leaves the object on its bound track.
    void EndCrossFade();

    // The first cache line holds what the invalidation walk reads (the table pointer, the
    // block and the two lists); the transform itself lives in the block.
    TransformBlock* m_transform;
    std::vector<SpaceObject*> m_children;
    std::vector<SpaceObject*> m_attachments;
    SpaceObject* m_parent = nullptr;
    std::uint8_t m_stateByte = 0;
    std::uint8_t m_applyFlag = 0;
    std::uint16_t m_bindMode = 0;
    SpaceObject* m_rootNode = nullptr;
    std::uint32_t m_isAttachment = 0;
    std::uint32_t m_id = 0;
    ObjectOwner* m_scene = nullptr;
    int m_userValue = 0;
    std::uint16_t m_fadingBindMode = 0;
    float m_blendTotal = 0.0f;
    float m_blendRemaining = 0.0f;
    TrackBase* m_fadingTrack = nullptr;
    TrackBase* m_boundTrack = nullptr;
    // Made when a track is first bound (nothing reads it before).
    std::unique_ptr<TrackBaseSnapshot> m_baseSnapshot;
};

}  // namespace quor::world
