#pragma once
#include <cstdint>

namespace quor {

// A load request that the host's asynchronous loader runs on its threads and that the module
// makes (sounds, models, meshes, animations, materials, effects, scenes). The five operations
// are the slot contract with the loader.
class AsyncData {
public:
    // Above 0 while the load still has work to do.
    virtual int IsPending() = 0;
    // Hands the record to the loader.
    virtual void Submit() = 0;
    // Performs the load, on a loader thread.
    virtual void Load() = 0;
    // Gives the record back to the module; the loader never touches it afterwards.
    virtual void Recycle() = 0;
    // Whether the record names the object (a scene or model going away cancels these).
    virtual bool RefersTo(const void* object) = 0;

    // Read by the loader; its meaning is the loader's.
    std::int32_t parameter = 0;
    // IAsyncLoader::GetRequestStamp at creation.
    std::uint32_t stamp = 0;

protected:
    ~AsyncData() = default;
};

}  // namespace quor
