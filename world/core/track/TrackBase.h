#pragma once
#include <cstdint>
#include <memory>

#include "world/core/Align16.h"
#include "world/core/PlayClock.h"
#include "world/core/track/ITrack.h"

namespace quor::world {

// Common base of every motion track: an animated transform (position, rotation, scale)
// driven by its own play clock, composed with an optional next track and an outer base
// matrix. Tracks are not locked: they run on the scene's thread under its object lock.
//
// Chains are walked in loops, never by recursion: a sampled file of 65,535 channels is a
// chain of that many sibling tracks.
class TrackBase : public ITrack, public Align16 {
public:
    static constexpr std::size_t kNameSize = 260;

    TrackBase();
    TrackBase(const TrackBase&) = delete;
    TrackBase& operator=(const TrackBase&) = delete;

    // --- ITrack, in slot order ---
    void SetBaseMatrix(const Matrix& m) override;
    const Matrix* GetBaseMatrix() override { return &m_base; }
    bool LinkNext(ITrack* track, bool deep) override;
    ITrack* UnlinkNext(bool deep) override;
    ITrack* GetNext(bool deep) override;
    bool Start() override;
    void Stop() override;
    bool IsActive() override { return m_clock.playing != 0; }
    void SetTime(float ms) override;
    float GetTime() override { return static_cast<float>(m_clock.time); }
    void SetSpeed(float speed) override;
    float GetSpeed() override { return m_clock.speed; }
    void SetReverse(bool reverse) override;
    bool IsReverse() override { return m_clock.reverse != 0; }
    void SetLoop(bool loop) override;
    bool IsLoop() override { return m_clock.loop != 0; }
    float GetLength() override { return static_cast<float>(m_clock.length); }
    bool IsFinished() override { return m_clock.state == 2; }
    void SetRange(float start, float end) override;
    void GetRange(float& start, float& end) override;
    void SetChannelFlags(std::uint16_t flags) override;
    std::uint16_t GetChannelFlags() override { return m_channelFlags; }
    void SetTransform(const Vec3* position, const Matrix* rotation, const Vec3* scale) override;
    void SetMatrix(const Matrix& m) override;
    void GetLocalTransform(Vec3* position, Matrix* rotation, Vec3* scale) override;
    void GetTransformMatrix(Matrix& out, bool withoutBase) override;
    void GetVelocity(float* factor, Vec3* direction) override;
    void SetFaceMoveDirection(std::uint8_t enable, std::uint8_t mode) override;
    const char* GetName() override { return m_names ? m_names->name : ""; }
    void SetName(const char* name) override;
    const char* GetSourceName() override { return m_names ? m_names->source : ""; }
    ~TrackBase() override;
    bool LoadFile(const char* fileName) override;
    bool LoadXml(common::IXmlNode* node) override;
    bool InitFrom(const void* record) override = 0;
    // The common tail: composes the motion the kind has set with the next track and the base
    // matrix into the current transform.
    void Evaluate() override;

    // --- members the bound object and the owners use ---
    // One frame: ticks the chain and, when anything changed, accumulates a finished pass,
    // updates the move direction and turns toward it. True when the transform changed.
    bool Advance();
    // Ticks the chain (the deepest track first); true when this track changed.
    bool TickChain();

    bool InUse() const { return m_inUse != 0; }
    void SetInUse(bool inUse) { m_inUse = inUse ? 1 : 0; }
    bool IsDirty() const { return m_dirty != 0; }
    TrackBase* Next() const { return m_next; }
    bool NextIsSibling() const { return m_nextIsSibling != 0; }
    const Vec3& Position() const { return m_position; }
    const Matrix& Rotation() const { return m_rotation; }
    const Vec3& Scale() const { return m_scale; }
    const Vec3& MoveDirection() const { return m_moveDirection; }
    const Matrix& LoopDelta() const { return m_loopDelta; }
    bool BaseHasUnitScale() const { return m_baseUnitScale != 0; }
    PlayClock& Clock() { return m_clock; }
    std::uint8_t GoAndReturn() const { return m_goAndReturn; }

protected:
    // Chains a sibling that follows this track's clock (owned: destroyed with this track).
    void LinkSibling(TrackBase* sibling);
    // Clears the clocks of this track and of its sibling chain (a still track never starts).
    void ClearClocks();
    // Seeks the sibling chain to t and evaluates it, the deepest track first.
    void SeekChain(float t);
    void SetSourceName(const char* name);
    // The clock length of a motion of `ms`; a still motion (or none) clears the clocks.
    void SetDuration(float ms, bool still);

    Vec3 m_position{0.0f, 0.0f, 0.0f};
    Matrix m_rotation;
    Vec3 m_scale{1.0f, 1.0f, 1.0f};
    Vec3 m_previousPosition{0.0f, 0.0f, 0.0f};
    Vec3 m_moveDirection{0.0f, 0.0f, 1.0f};
    float m_previousTime = 0.0f;
    PlayClock m_clock;
    std::uint8_t m_goAndReturn = 0;
    std::uint16_t m_channelFlags = 0;
    std::uint8_t m_changed = 0;
    std::uint8_t m_dirty = 1;
    Matrix m_base;
    std::uint8_t m_baseUnitScale = 0;
    std::uint8_t m_baseIdentity = 1;  // the tail has nothing to compose
    Matrix m_loopDelta;
    TrackBase* m_next = nullptr;
    std::uint8_t m_nextIsSibling = 0;
    std::uint8_t m_faceMoveDirection = 0;
    std::uint8_t m_faceMode = 0;
    std::uint8_t m_inUse = 0;
    // The two names, made when first set: a frame never reads them, and kept out of line
    // they do not push a kind's own fields away from the ones every frame reads.
    struct Names {
        char source[kNameSize] = {};
        char name[kNameSize] = {};
    };
    std::unique_ptr<Names> m_names;

private:
    // The names, made on first use; null when memory is exhausted.
    Names* EnsureNames();
    // The track whose next an operation with these rules acts on: a sibling next passes the
    // call on, and so does deep.
    TrackBase* ChainOwner(bool deep);
    void TurnToMoveDirection();
    void RecomputeLoopDelta();
};

// Reads the parts of the track's local transform that a bind mode selects (1 position,
// 2 rotation, 4 scale, and their sums); other modes read nothing.
void GetTrackTransformByMode(TrackBase* track, std::uint16_t mode, Vec3* position, Matrix* rotation, Vec3* scale);

// The track type names; a track-type index counts from 0 in this list.
constexpr const char* kTrackTypeNames[] = {"TrackFixPoint", "TrackLine",    "TrackCircle",  "TrackRotate",
                                           "TrackScale",    "TrackSampled", "TrackFlyInBox"};

}  // namespace quor::world
