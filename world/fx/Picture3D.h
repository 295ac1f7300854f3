#pragma once
#include "world/fx/Picture.h"

namespace quor::render {
class IRenderView;
}

namespace quor::world {

class Camera;
class SpaceObject;

// A picture that shows a model or effect of its scene and keeps it under its screen position:
// the object stands where the camera's ray through the picture meets the ground.
class Picture3D : public PictureBase {
public:
    explicit Picture3D(IScene* owner);

    // Holds the object (a model or an effect of the scene) and follows it with the camera.
    // False, with nothing held, for null or another kind of object.
    bool AttachTo(SpaceObject* object, Camera* camera);
    void SetAttachTarget(Camera* camera);
    Camera* GetAttachTarget() const { return m_camera; }
    // Forgets the attached object (the scene releases it), its own scene drawing back on.
    void Unlink();
    SpaceObject* AttachedObject() const { return m_object; }
    int FollowMode() const { return m_followMode; }
    // The flag the entity reader clears: the placement is refreshed on the next frame.
    void SetPlacementRefresh(std::uint8_t value) { m_placementRefresh = value; }

    void SetLocalRotation(float degrees) override { Rotate(degrees); }
    void SetLocalScale(float x, float y) override;
    void Rotate(float degrees) override;
    bool CreateShadow(const PicPoint* size) override;
    int GetPictureType() override { return 1; }
    IModel* GetAttachedModel() override;
    IFxBase* GetAttachedEffect() override;
    ISpaceObject* GetAttachedSpaceObject() override;
    common::SharedString GetTextureName() override;
    const char* GetName() override;
    void SetHeightOffset(float offset) override { m_heightOffset = offset; }
    bool HasHeightOffset() override { return m_heightOffset > 0.0f; }
    float GetHeightOffset() override { return m_heightOffset; }
    void SetAttachedAlpha(float alpha) override { m_attachedAlpha = alpha; }
    void SetSnapshotMode(bool on) override;
    void SetFollowTarget(int mode) override;
    bool IsSnapshotMode() override { return m_snapshot; }
    void UpdatePlacement() override;
    void Render(bool draw, bool drawShadow) override;
    void MarkDirty(bool moved) override;
    bool Load(const char* path) override;
    void SetDisplayStateAll(std::uint8_t state) override;

    // Pictures in snapshot mode share one viewport-sized target; how many hold it.
    static int SharedTargetCount();
    // The snapshot's quad (null out of snapshot mode) and whether its model was rendered.
    render::IPrimitive* SnapshotPrimitive() const { return m_snapshotPrimitive; }
    bool SnapshotTaken() const { return m_snapshotTaken; }

protected:
    ~Picture3D() override;

private:
    void ReleaseSnapshot();
    // Clears the snapshot flags; a snapshot rendered and never copied no longer holds the
    // shared target.
    void ForgetSnapshot();
    // Whether the attached model is drawn by its scene's object pass (else by this picture).
    void SetOwnDrawing(bool on);
    bool TakeSnapshot();
    void CopySnapshot();
    // The rectangle (left, top, right, bottom) the snapshot is copied from and drawn over.
    void SnapshotRect(std::int32_t* rect) const;
    void DrawModel();
    void DropSharedTarget();
    bool TakeSharedTarget(int width, int height);

    SpaceObject* m_object = nullptr;
    Camera* m_camera = nullptr;
    std::int32_t m_followMode = 0;
    float m_heightOffset = 0.0f;
    bool m_snapshot = false;
    bool m_snapshotTaken = false;
    bool m_snapshotCopied = false;
    render::IRenderView* m_view = nullptr;
    render::ITexture* m_snapshotTexture = nullptr;
    render::IPrimitive* m_snapshotPrimitive = nullptr;
    render::IEffect* m_snapshotEffect = nullptr;
    std::int32_t m_stored = 15;
    std::uint8_t m_placementRefresh = 0;
    float m_attachedAlpha = 1.0f;
    common::SharedString m_nameCache;
};

}  // namespace quor::world
