#pragma once
#include <cstdint>

namespace quor {
class GeoObject;
}

namespace quor::client {
class ISound;
class IReverb;
}  // namespace quor::client

namespace quor::world {

class SpaceObject;
class VisibleObject;

// A placed sound emitter as the host sees it. The slot order is part of the contract with the
// host: do not reorder.
class ISpeaker {
public:
    virtual VisibleObject* GetObject() = 0;                                                // 0
    virtual bool LoadSound(const char* path, std::uint32_t type, std::uint32_t shape) = 0;  // 1
    virtual const char* GetSoundPath() = 0;                                                // 2
    virtual bool LoadEffect(const char* path) = 0;                                         // 3
    virtual const char* GetEffectPath() = 0;                                               // 4
    virtual void SetSoundVector(float x, float y, float z) = 0;                            // 5
    virtual client::ISound* GetSound() = 0;                                                // 6
    virtual void Start() = 0;                                                              // 7
    virtual void Stop() = 0;                                                               // 8
    virtual bool GetPlayState() = 0;                                                       // 9
    virtual std::uint32_t GetSoundType() = 0;                                              // 10
    virtual void SetSoundType(std::uint32_t type) = 0;                                     // 11
    virtual bool GetModeFlag() = 0;                                                        // 12
    virtual void SetAreaShape(std::uint32_t kind) = 0;                                     // 13
    virtual GeoObject* GetAreaShape() = 0;                                                 // 14

protected:
    ~ISpeaker() = default;
};

// A reverb zone as the host sees it. The slot order is part of the contract with the host.
class IAreaReverb {
public:
    virtual SpaceObject* GetSpaceObject() = 0;                                  // 0
    virtual bool CreateReverb(const char* name) = 0;                            // 1
    virtual const char* GetName() = 0;                                          // 2
    virtual client::IReverb* GetReverbHandle() = 0;                             // 3
    virtual void SetAreaShape(std::uint32_t kind) = 0;                          // 4
    virtual GeoObject* GetAreaShape() = 0;                                      // 5
    virtual void SetRadii(float inner, float outer) = 0;                        // 6
    virtual void GetRadii(float* inner, float* outer) = 0;                      // 7

protected:
    ~IAreaReverb() = default;
};

}  // namespace quor::world
