#pragma once
#include <atomic>
#include <cstdint>

#include "world/core/OccluderGeometry.h"

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

    // Interlocked: loader threads share and release meshes while the scene's thread draws.
    void AddRef() { refCount_.fetch_add(1, std::memory_order_acq_rel); }
    // Never deletes: the owner does that. Returns the count left.
    std::int32_t DecRef() { return refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1; }
    std::int32_t GetRefCount() const { return refCount_.load(std::memory_order_acquire); }

    // Registers the mesh's occluder data, when it has any, with the host's occlusion service
    // for one object placed by its world matrix (a scene does this for each loaded model).
    void AddOccluder(world::IVisibleObject* object, const Matrix& worldMatrix) const {
        if (occluder_) occluder_->AddOccluder(object, worldMatrix);
    }

protected:
    // The mesh hands over the occluder of the file it shows (null: none); not owned.
    void SetOccluder(const OccluderGeometry* occluder) { occluder_ = occluder; }

    std::atomic<std::int32_t> refCount_{0};
    std::int32_t reserved_ = 0;
    const OccluderGeometry* occluder_ = nullptr;
};

}  // namespace quor
