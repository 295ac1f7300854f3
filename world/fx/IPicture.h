#pragma once
#include <cstdint>

#include "world/core/math/Matrix.h"

namespace quor::common {
// A counted string of the module; GetTextureName hands one out.
class SharedString;
}  // namespace quor::common

namespace quor::render {
class ITexture;
}

namespace quor::world {

class IScene;
class IModel;
class IFxBase;
class ISpaceObject;

// A point or size on the screen plane.
struct PicPoint {
    float x = 0.0f, y = 0.0f;
};
// Screen rectangle: left, top, right, bottom.
struct PicRect {
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
};

class PictureBase;

// The host's picture interface: 2D drawing objects of 2D scenes arranged in a tree. The slot
// order is the contract with the host: never reorder.
class IPicture {
public:
    virtual void SetVisible(std::uint8_t state) = 0;                                        // 0
    virtual void SetAnimDuration(float milliseconds) = 0;                                   // 1
    virtual void SetPivot(float x, float y) = 0;                                            // 2
    virtual PicPoint GetPivot() = 0;                                                        // 3
    virtual void SetAnchor(int code) = 0;                                                   // 4
    virtual PicPoint GetSize() = 0;                                                         // 5
    virtual PicRect GetBoundingRect() = 0;                                                  // 6
    virtual void SetLocalPosition(float x, float y) = 0;                                    // 7
    virtual PicPoint GetLocalPosition() = 0;                                                // 8
    virtual void SetPosition(float x, float y) = 0;                                         // 9
    virtual PicPoint GetPosition() = 0;                                                     // 10
    virtual void SetLocalRotation(float degrees) = 0;                                       // 11
    virtual float GetLocalRotation() = 0;                                                   // 12
    virtual void SetRotation(float degrees) = 0;                                            // 13
    virtual float GetRotation() = 0;                                                        // 14
    virtual bool HasLocalRotation() = 0;                                                    // 15
    virtual bool HasRotation() = 0;                                                         // 16
    virtual void SetLocalScale(float x, float y) = 0;                                       // 17
    virtual PicPoint GetLocalScale() = 0;                                                   // 18
    virtual bool HasLocalScale() = 0;                                                       // 19
    virtual bool HasScale() = 0;                                                            // 20
    virtual bool IsLocalMirrored() = 0;                                                     // 21
    virtual bool IsMirrored() = 0;                                                          // 22
    virtual void SetLocalTransform(const Matrix& m) = 0;                                    // 23
    virtual void SetTransform(const Matrix& world) = 0;                                     // 24
    virtual void ApplyTransform(const Matrix& m) = 0;                                       // 25
    virtual void MoveToLocalPoint(float x, float y) = 0;                                    // 26
    virtual void Rotate(float degrees) = 0;                                                 // 27
    virtual void RotateAbout(float cx, float cy, float degrees) = 0;                        // 28
    virtual void RotateAboutWorldPoint(float cx, float cy, float degrees) = 0;              // 29
    virtual PicPoint LocalToWorld(PicPoint p) = 0;                                          // 30
    virtual PicPoint WorldToLocal(PicPoint p) = 0;                                          // 31
    virtual PicPoint LocalDirToWorld(PicPoint d) = 0;                                       // 32
    virtual PicPoint WorldDirToLocal(PicPoint d) = 0;                                       // 33
    virtual const Matrix& GetWorldMatrix() = 0;                                             // 34
    virtual const Matrix& GetInverseWorldMatrix() = 0;                                      // 35
    virtual Matrix GetLocalMatrix() = 0;                                                    // 36
    virtual Matrix GetInverseLocalMatrix() = 0;                                             // 37
    virtual Matrix GetMatrixRelativeTo(IPicture* other) = 0;                                // 38
    virtual bool IsDirty() = 0;                                                             // 39
    virtual void SetDisplayState(std::uint8_t state, bool toChildren) = 0;                  // 40
    virtual std::uint8_t GetDisplayState() = 0;                                             // 41
    virtual void SetAlpha(std::uint8_t alpha) = 0;                                          // 42
    virtual std::uint8_t GetAlpha() = 0;                                                    // 43
    virtual bool CreateShadow(const PicPoint* size) = 0;                                    // 44
    virtual void SetShadowEnabled(bool on) = 0;                                             // 45
    virtual bool IsShadowEnabled() = 0;                                                     // 46
    virtual int GetPictureType() = 0;                                                       // 47
    virtual bool AddChild(IPicture* child, bool keepWorld) = 0;                             // 48
    virtual bool RemoveChild(IPicture* child, bool keepWorld) = 0;                          // 49
    virtual int GetChildCount() = 0;                                                        // 50
    virtual IPicture* GetChild(int index) = 0;                                              // 51
    virtual bool SetParentPicture(IPicture* parent) = 0;                                    // 52
    virtual IPicture* GetParent() = 0;                                                      // 53
    virtual void PassChildrenToParent() = 0;                                                // 54
    virtual void DetachChildren() = 0;                                                      // 55
    virtual render::ITexture* GetTexture() = 0;                                             // 56
    virtual IModel* GetAttachedModel() = 0;                                                 // 57
    virtual IFxBase* GetAttachedEffect() = 0;                                               // 58
    virtual ISpaceObject* GetAttachedSpaceObject() = 0;                                     // 59
    virtual common::SharedString GetTextureName() = 0;                                      // 60
    virtual const char* GetName() = 0;                                                      // 61
    virtual void SetName(const char* name) = 0;                                             // 62
    virtual IScene* GetOwnerScene() = 0;                                                    // 63
    virtual void SetHeightOffset(float offset) = 0;                                         // 64
    virtual bool HasHeightOffset() = 0;                                                     // 65
    virtual void SetCustomFlag(std::uint8_t value) = 0;                                     // 66
    virtual std::uint8_t GetCustomFlag() = 0;                                               // 67
    virtual void SetCustomState(std::uint8_t value) = 0;                                    // 68
    virtual std::uint8_t GetCustomState() = 0;                                              // 69
    virtual void SetAttachedAlpha(float alpha) = 0;                                         // 70
    virtual void SetCustomValue(std::int32_t value) = 0;                                    // 71
    virtual std::int32_t GetCustomValue() = 0;                                              // 72
    virtual void SetSnapshotMode(bool on) = 0;                                              // 73
    virtual void SetFollowTarget(int mode) = 0;                                             // 74
    virtual bool IsSnapshotMode() = 0;                                                      // 75
    virtual void DeletingDestructor() = 0;                                                  // 76
    virtual std::uint8_t IsVisible() = 0;                                                   // 77
    virtual void OnCreated() = 0;                                                           // 78
    virtual PicPoint GetWorldScale() = 0;                                                   // 79
    virtual float GetAnimDuration() = 0;                                                    // 80
    virtual float GetColumnCount() = 0;                                                     // 81
    virtual float GetRowCount() = 0;                                                        // 82
    virtual float GetFrameCount() = 0;                                                      // 83
    virtual float GetStartFrame() = 0;                                                      // 84
    virtual bool IsAnimLooping() = 0;                                                       // 85
    virtual void SetAnimLoop(bool loop) = 0;                                                // 86
    virtual void NextAnimFrame() = 0;                                                       // 87
    virtual void PlayAnim() = 0;                                                            // 88
    virtual void StopAnim() = 0;                                                            // 89
    virtual void UpdatePlacement() = 0;                                                     // 90
    virtual void PrepareQuad() = 0;                                                         // 91
    virtual void SetOwnerScene(IScene* scene) = 0;                                          // 92
    virtual bool IsOwnedBy(IScene* scene) = 0;                                              // 93
    virtual void Render(bool draw, bool drawShadow) = 0;                                    // 94
    virtual float GetHeightOffset() = 0;                                                    // 95
    virtual void SetTextureName(const char* name) = 0;                                      // 96
    virtual void Detach() = 0;                                                              // 97
    virtual void MarkDirty(bool moved) = 0;                                                 // 98
    virtual bool Load(const char* path) = 0;                                                // 99
    virtual void SetDisplayStateAll(std::uint8_t state) = 0;                                // 100

protected:
    ~IPicture() = default;
};

}  // namespace quor::world
