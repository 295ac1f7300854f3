#pragma once
#include <cstdint>

namespace quor {

// Base of every mesh object: a count of the models that share the mesh and the device-loss
// hooks of a renderable mesh. The count only tells how many users there are; the owner deletes.
class Object3D {
public:
    Object3D() = default;
    virtual ~Object3D() = default;
    Object3D(const Object3D&) = delete;
    Object3D& operator=(const Object3D&) = delete;

    virtual bool OnDeviceReset() { return true; }
    virtual void OnDeviceLost() {}
    virtual std::int32_t GetObject3DType() const = 0;

    void AddRef() { ++refCount_; }
    // Never deletes: the owner does that.
    void DecRef() { --refCount_; }
    std::int32_t GetRefCount() const { return refCount_; }

protected:
    std::int32_t refCount_ = 0;
    std::int32_t reserved_ = 0;
};

}  // namespace quor
