#pragma once
#include <cstdint>

namespace quor::world {
class IVisibleObject;
}

namespace quor::render {

// The host's occlusion culling. It may be absent; test for null before each use.
class IOcclusion {
public:
    // Registers the occluder triangle sets of one object placed by its world matrix (16 floats,
    // row-major). Positions are three floats per vertex, indices three per triangle. The object
    // identifies the occluder; the result is not kept by the callers.
    virtual int AddOccluder(world::IVisibleObject* object, const float* worldMatrix, const float* positionsA,
                            const std::uint16_t* indicesA, std::uint32_t vertexCountA,
                            std::uint32_t triangleCountA, const float* positionsB, const std::uint16_t* indicesB,
                            std::uint32_t vertexCountB, std::uint32_t triangleCountB) = 0;
    virtual void RemoveOccluder(world::IVisibleObject* object) = 0;
    virtual void OnDeviceLost() = 0;
    virtual void OnDeviceReset() = 0;
    // Once per frame of the active scene before anything is drawn: the world and the device.
    virtual void Initialize(void*, void*) {}

protected:
    ~IOcclusion() = default;
};

}  // namespace quor::render
