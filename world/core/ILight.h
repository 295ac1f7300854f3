#pragma once
#include <cstdint>

#include "world/core/math/Vector.h"

namespace quor {
class GeoObject;
}
namespace quor::render {
class IRenderLight;
}

namespace quor::world {

class ISpaceObject;

// The record a host exchanges with a light in one call: SetDesc reads it, GetDesc fills it.
// Angles are in degrees here (the light keeps radians).
struct LightDesc {
    std::uint32_t unused = 0;
    char name[16] = {};
    // 1 point, 2 spot, 3 directional; written by GetDesc only.
    std::int32_t type = 0;
    std::int32_t enabled = 0;
    std::uint32_t flags = 0;
    float position[3] = {0, 0, 0};
    float direction[3] = {0, 0, 0};
    float range = 0.0f;
    float attenuation[3] = {0, 0, 0};
    float innerAngle = 0.0f;
    float outerAngle = 0.0f;
};

// The host's face of a placed light, in slot order.
class ILight {
public:
    virtual ISpaceObject* GetSpaceObject() = 0;                              // 0
    virtual render::IRenderLight* GetRenderLight() = 0;                      // 1
    virtual void SetDirection(const Vec3& direction) = 0;                    // 2
    virtual Vec3 GetDirection() = 0;                                         // 3
    virtual void GetWorldPosition(Vec3& out) = 0;                            // 4
    virtual void SetFlags(std::uint32_t flags) = 0;                          // 5
    virtual std::uint32_t GetFlags() = 0;                                    // 6
    virtual void SetColorKeyA(const Vec4& color, float time) = 0;            // 7
    virtual void GetColorA(float time, Vec4& out) = 0;                       // 8
    virtual void SetColorKeyC(const Vec4& color, float time) = 0;            // 9
    virtual void GetColorC(float time, Vec4& out) = 0;                       // 10
    virtual void SetColorKeyB(const Vec4& color, float time) = 0;            // 11
    virtual void GetColorB(float time, Vec4& out) = 0;                       // 12
    virtual void SetColorKeyAll(const Vec4& color, float time) = 0;          // 13
    virtual void SetRange(float range) = 0;                                  // 14
    virtual void SetAttenuation(float a0, float a1, float a2) = 0;           // 15
    virtual void SetInnerAngle(float radians) = 0;                           // 16
    virtual void SetOuterAngle(float radians) = 0;                           // 17
    virtual void SetEnabled(bool enabled) = 0;                               // 18
    virtual bool IsEnabled() = 0;                                            // 19
    virtual int GetType() = 0;                                               // 20
    virtual std::uint16_t GetIndex() = 0;                                    // 21
    virtual bool IsValid() = 0;                                              // 22
    virtual void SetUnbounded(bool unbounded) = 0;                           // 23
    virtual bool IsUnbounded() = 0;                                          // 24
    virtual void SetDesc(const LightDesc& desc) = 0;                         // 25
    virtual void GetDesc(LightDesc& out) = 0;                                // 26
    virtual void SetName(const char* name) = 0;                              // 27
    virtual const char* GetName() = 0;                                       // 28
    virtual bool GetFlag8() = 0;                                             // 29
    virtual bool ContainsPoint(const Vec3& point) = 0;                       // 30
    virtual bool IntersectsObject(const GeoObject* shape) = 0;               // 31
    virtual bool SetVolumeShape(std::uint32_t kind) = 0;                     // 32
    virtual std::uint32_t GetVolumeShapeKind() = 0;                          // 33

protected:
    ~ILight() = default;
};

}  // namespace quor::world
