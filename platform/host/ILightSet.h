#pragma once
#include <cstdint>

namespace quor::render {

// One light of a renderer light set. The world drives it by operation number; the numbers
// the light set defines are kept in the comments, and the slots in between are the
// renderer's own.
class IRenderLight {
public:
    virtual void SetPosition(const float* xyz) = 0;                          // 0
    virtual const float* GetPosition() = 0;                                  // 1
    virtual void SetDirection(const float* xyz) = 0;                         // 2
    virtual const float* GetDirection() = 0;                                 // 3
    virtual void SetDiffuse(const float* rgba) = 0;                          // 4
    virtual const float* GetDiffuse() = 0;                                   // 5
    virtual void SetSpecular(const float* rgba) = 0;                         // 6
    virtual const float* GetSpecular() = 0;                                  // 7
    virtual void SetAmbient(const float* rgba) = 0;                          // 8
    virtual const float* GetAmbient() = 0;                                   // 9
    // A factor on all three colours.
    virtual void SetIntensity(const float* rgba) = 0;                        // 10
    virtual void SetRange(float range) = 0;                                  // 11
    virtual float GetRange() = 0;                                            // 12
    virtual void SetAttenuation(float a0, float a1, float a2) = 0;           // 13
    virtual void GetAttenuation(float* a0, float* a1, float* a2) = 0;        // 14
    virtual void SetInnerAngle(float radians) = 0;                           // 15
    virtual float GetInnerAngle() = 0;                                       // 16
    virtual void SetOuterAngle(float radians) = 0;                           // 17
    virtual float GetOuterAngle() = 0;                                       // 18
    virtual void SetEnabled(bool enabled) = 0;                               // 19
    virtual bool IsEnabled() = 0;                                            // 20
    // 1 point, 2 spot, 3 directional.
    virtual int GetType() = 0;                                               // 21
    virtual void SetType(int type) = 0;                                      // 22
    // The index its set answered at creation.
    virtual std::uint32_t GetIndex() = 0;                                    // 23

protected:
    ~IRenderLight() = default;
};

// A renderer light set: the lights of one scene, named by 16-bit indices.
class ILightSet {
public:
    // A new light of the kind (1 point, 2 spot, 3 directional); `hint` 0xFFFF lets the set
    // choose the index. 0xFFFF when the set is full.
    virtual std::uint16_t CreateLight(int kind, std::uint16_t hint) = 0;
    // Null for an index that names no light.
    virtual IRenderLight* GetLight(std::uint16_t index) = 0;
    virtual void RemoveLight(std::uint16_t index) = 0;
    // Removes every light; the argument is the renderer's (0: all).
    virtual void Clear(int mode) = 0;

protected:
    ~ILightSet() = default;
};

}  // namespace quor::render
