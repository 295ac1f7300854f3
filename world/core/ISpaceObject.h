#pragma once
#include <cstdint>

#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"

namespace quor {
struct Ray;
}

namespace quor::world {

class ITrack;
class ObjectOwner;

// The placed-object face the host sees. The slot order is part of the contract with the host:
// do not reorder, only append in subclasses.
class ISpaceObject {
public:
    virtual std::uint8_t GetStateByte() = 0;                                    // 0
    virtual void SetStateByte(std::uint8_t value) = 0;                          // 1
    virtual void SetPosition(const Vec3& position) = 0;                         // 2
    virtual const Vec3* GetPosition() = 0;                                      // 3
    virtual void SetWorldPosition(const Vec3& position) = 0;                    // 4
    virtual void GetWorldPosition(Vec3& out) = 0;                               // 5
    virtual void SetRotation(const Matrix& rotation) = 0;                       // 6
    virtual const Matrix* GetRotation() = 0;                                    // 7
    virtual void SetWorldRotation(const Matrix& rotation) = 0;                  // 8
    virtual void GetWorldRotation(Matrix& out) = 0;                             // 9
    virtual void SetScale(const Vec3& scale) = 0;                               // 10
    virtual const Vec3* GetScale() = 0;                                         // 11
    virtual void SetWorldScale(const Vec3& scale) = 0;                          // 12
    virtual void GetWorldScale(Vec3& out) = 0;                                  // 13
    virtual bool HasWorldScale() = 0;                                           // 14
    virtual bool IsMirrored() = 0;                                              // 15
    virtual bool IsWorldMirrored() = 0;                                         // 16
    virtual void SetPositionAndDirection(const Vec3& position, const Vec3& from,
                                         const Vec3& to) = 0;                   // 17
    virtual void SetLocalMatrix(const Matrix& m) = 0;                           // 18
    virtual void SetWorldMatrix(const Matrix& m) = 0;                           // 19
    virtual void ApplyMatrix(const Matrix& m) = 0;                              // 20
    virtual void MoveLocal(const Vec3& offset) = 0;                             // 21
    virtual void RotateLocalX(float angle) = 0;                                 // 22
    virtual void RotateLocalY(float angle) = 0;                                 // 23
    virtual void RotateLocalZ(float angle) = 0;                                 // 24
    virtual void RotateAroundAxis(const Ray& axis, float angle) = 0;            // 25
    virtual void Rotate(const Vec3& axis, float angle) = 0;                     // 26
    virtual void RotateAroundWorldAxis(const Ray& axis, float angle) = 0;       // 27
    virtual void SetWorldMatrixElements(const float* elements12) = 0;           // 28
    virtual Vec3& LocalToWorld(const Vec3& p, Vec3& out) = 0;                   // 29
    virtual Vec3& WorldToLocal(const Vec3& p, Vec3& out) = 0;                   // 30
    virtual Vec3& LocalToParent(const Vec3& p, Vec3& out) = 0;                  // 31
    virtual Vec3& ParentToLocal(const Vec3& p, Vec3& out) = 0;                  // 32
    virtual const Matrix& GetWorldMatrix() = 0;                                 // 33
    virtual const Matrix& GetInverseWorldMatrix() = 0;                          // 34
    virtual void GetLocalMatrix(Matrix& out) = 0;                               // 35
    virtual void GetInverseLocalMatrix(Matrix& out) = 0;                        // 36
    virtual void GetRelativeMatrix(ISpaceObject* other, Matrix& out) = 0;      // 37
    virtual bool BindTrack(ITrack* track, float blend, bool apply, std::uint16_t mode,
                           float start) = 0;                                    // 38
    virtual ITrack* UnbindTrack(float blend) = 0;                               // 39
    virtual ITrack* GetTrack() = 0;                                             // 40
    virtual void SetParent(ISpaceObject* parent) = 0;                           // 41
    virtual ISpaceObject* GetParent() = 0;                                      // 42
    virtual bool AddChild(ISpaceObject* child, bool keepWorld) = 0;             // 43
    virtual bool RemoveChild(ISpaceObject* child, bool keepWorld) = 0;          // 44
    virtual int GetChildCount() = 0;                                            // 45
    virtual ISpaceObject* GetChild(int index) = 0;                              // 46
    virtual void DetachChildren() = 0;                                          // 47
    virtual void FlattenChildren() = 0;                                         // 48
    virtual int GetObjectType() = 0;                                            // 49
    virtual bool IsTransformChanged() = 0;                                      // 50
    virtual bool IsVisibleObject() = 0;                                         // 51
    virtual void SetVisible(bool visible, bool recursive) = 0;                  // 52
    virtual ObjectOwner* GetScene() = 0;                                        // 53
    virtual std::uint32_t GetId() = 0;                                          // 54
    virtual ~ISpaceObject() = default;                                          // 55
    virtual void Clear() = 0;                                                   // 56
    virtual bool AddAttachment(ISpaceObject* child, bool keepWorld) = 0;        // 57
    virtual bool RemoveAttachment(ISpaceObject* child, bool keepWorld) = 0;     // 58
    virtual bool IsVisible() = 0;                                               // 59
    virtual int GetUserValue() = 0;                                             // 60
    virtual void SetUserValue(int value) = 0;                                   // 61
    virtual void Update() = 0;                                                  // 62
    virtual void SetScene(ObjectOwner* scene) = 0;                              // 63
    virtual bool IsInScene(ObjectOwner* scene) = 0;                             // 64
    virtual void SetHideFlags(bool set, std::uint16_t mask, bool recursive) = 0; // 65
    virtual bool HasHideFlags(std::uint16_t mask) = 0;                          // 66
    virtual void DropBoundObject(ISpaceObject* object) = 0;                     // 67
    virtual void InvalidateTransform() = 0;                                     // 68
};

}  // namespace quor::world
