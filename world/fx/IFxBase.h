#pragma once
#include <cstdint>
#include <string>

#include "world/core/math/Vector.h"

namespace quor::common {
class IXmlNode;
}

namespace quor::world {

class SpaceObject;
class IVisibleObject;

// Play states of an effect node.
enum FxState : std::int32_t {
    kFxReady = 0,
    kFxPlaying = 1,
    kFxFinishing = 2,
    kFxInactive = 3,
};

// Kind codes every node answers (and writes as "type" in reports).
enum FxKind : std::int32_t {
    kFxKindParticles = 0,
    kFxKindModel = 1,
    kFxKindSprite = 2,
    kFxKindSound = 3,
    kFxKindSoundEvent = 4,
    kFxKindTube = 5,
    kFxKindPlain = 6,
    kFxKindFlare = 7,
    kFxKindCameraShake = 9,
};

// Load flags handed down an effect tree.
enum FxLoadFlag : std::uint32_t {
    kFxFlagLoop = 0x1,
    kFxFlagReadLoop = 0x2,
    kFxFlagMark8 = 0x8,
    kFxFlagEndless = 0x10,
    kFxFlagActive = 0x20,
    kFxFlagUpdateAlways = 0x40,
};

// The effect face the host drives. The slot order is part of the contract with the host.
class IFxBase {
public:
    virtual SpaceObject* GetSpaceObject(int flag) = 0;                               // 0
    virtual IVisibleObject* GetVisibleObject() = 0;                                  // 1
    virtual bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) = 0;       // 2
    virtual void SetPlaying(bool play) = 0;                                          // 3
    virtual void Reset() = 0;                                                        // 4
    virtual void Deactivate() = 0;                                                   // 5
    virtual void Release() = 0;                                                      // 6
    virtual std::int32_t GetState() = 0;                                             // 7
    virtual void Update() = 0;                                                       // 8
    virtual void Render() = 0;                                                       // 9
    virtual void EnableZBuffer(bool on) = 0;                                         // 10
    virtual bool IsZBufferEnabled() = 0;                                             // 11
    virtual void SetUserValue(int value) = 0;                                        // 12
    virtual bool IsLoop() = 0;                                                       // 13
    virtual int FindChildIndex(const char* name) = 0;                                // 14
    virtual IFxBase* GetChild(int index) = 0;                                        // 15
    virtual IFxBase* FindByName(const char* name) = 0;                               // 16
    virtual int GetChildCount() = 0;                                                 // 17
    virtual const char* GetChildName(int index) = 0;                                 // 18
    virtual std::uint32_t GetChildElementCount() = 0;                                // 19
    virtual std::int32_t GetChildState(int index) = 0;                               // 20
    virtual void SetChildVisible(int index, bool visible) = 0;                       // 21
    virtual bool SetVisibleByName(const char* name, bool visible) = 0;               // 22
    virtual void SetPause(bool pause) = 0;                                           // 23
    virtual bool IsPaused() = 0;                                                     // 24
    virtual float GetLifeSpan() = 0;                                                 // 25
    virtual void SetPlaySpeed(float speed) = 0;                                      // 26
    virtual float GetPlaySpeed() = 0;                                                // 27
    virtual float GetTextureAnimLength() = 0;                                        // 28
    virtual void LoadTexture(const char* name) = 0;                                  // 29
    // Seven outputs; name takes at most 255 characters and the terminator.
    virtual void GetTextureAnimInfo(float* columns, float* rows, float* third, float* fourth,
                                    char* name, float* length, bool* flag) = 0;      // 30
    virtual void SetTextureAnimLength(float length) = 0;                             // 31
    virtual bool SetTime(float time) = 0;                                            // 32
    virtual float GetTime() = 0;                                                     // 33
    virtual void SetFrameTableMode(std::uint8_t on) = 0;                             // 34
    virtual void RebuildBuffers() = 0;                                               // 35
    virtual void DetachChild(int index, bool independent) = 0;                       // 36
    virtual void SetBlendMode(std::uint32_t flag, std::int32_t value) = 0;           // 37
    virtual void SetZWrite(std::int32_t value) = 0;                                  // 38
    virtual const char* GetBoneName() = 0;                                           // 39
    virtual std::uint32_t GetParticleCount() = 0;                                    // 40
    virtual std::uint32_t GetTotalParticleCount() = 0;                               // 41
    // The full path of the effect file (out receives it).
    virtual const std::string& GetFileName(std::string& out) = 0;                    // 42
    // False when the kind has no bounds (out untouched).
    virtual bool GetBoundingBox(Vec3* min, Vec3* max) = 0;                           // 43
    virtual int GetTriangleCount() = 0;                                              // 44
    virtual int GetNodeCount() = 0;                                                  // 45
    virtual int GetPendingLoads() = 0;                                               // 46
    virtual void SetPendingLoads(int count) = 0;                                     // 47

protected:
    ~IFxBase() = default;
};

}  // namespace quor::world
