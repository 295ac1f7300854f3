#pragma once
#include <cstdint>

#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"

namespace quor::common {
class IXmlNode;
}

namespace quor::world {

// A motion track as the host sees it. The slot order is part of the contract with the host.
class ITrack {
public:
    virtual void SetBaseMatrix(const Matrix& m) = 0;
    virtual const Matrix* GetBaseMatrix() = 0;
    virtual bool LinkNext(ITrack* track, bool deep) = 0;
    virtual ITrack* UnlinkNext(bool deep) = 0;
    virtual ITrack* GetNext(bool deep) = 0;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() = 0;
    virtual void SetTime(float ms) = 0;
    virtual float GetTime() = 0;
    virtual void SetSpeed(float speed) = 0;
    virtual float GetSpeed() = 0;
    virtual void SetReverse(bool reverse) = 0;
    virtual bool IsReverse() = 0;
    virtual void SetLoop(bool loop) = 0;
    virtual bool IsLoop() = 0;
    virtual float GetLength() = 0;
    virtual bool IsFinished() = 0;
    virtual void SetRange(float start, float end) = 0;
    virtual void GetRange(float& start, float& end) = 0;
    virtual void SetChannelFlags(std::uint16_t flags) = 0;
    virtual std::uint16_t GetChannelFlags() = 0;
    virtual void SetTransform(const Vec3* position, const Matrix* rotation, const Vec3* scale) = 0;
    virtual void SetMatrix(const Matrix& m) = 0;
    virtual void GetLocalTransform(Vec3* position, Matrix* rotation, Vec3* scale) = 0;
    virtual void GetTransformMatrix(Matrix& out, bool withoutBase) = 0;
    virtual void GetVelocity(float* factor, Vec3* direction) = 0;
    virtual void SetFaceMoveDirection(std::uint8_t enable, std::uint8_t mode) = 0;
    virtual const char* GetName() = 0;
    virtual void SetName(const char* name) = 0;
    virtual const char* GetSourceName() = 0;
    virtual ~ITrack() = default;
    virtual bool LoadFile(const char* fileName) = 0;
    virtual bool LoadXml(common::IXmlNode* node) = 0;
    // The record is the template type of the track's kind (see TrackTemplates.h).
    virtual bool InitFrom(const void* record) = 0;
    virtual void Evaluate() = 0;
};

}  // namespace quor::world
