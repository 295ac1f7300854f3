#pragma once
#include <memory>

#include "world/core/track/KeyCurve.h"
#include "world/core/track/MotionProfile.h"
#include "world/core/track/TrackBase.h"
#include "world/core/track/TrackTemplates.h"

namespace quor::world {

// The kinds that compute their motion from a few parameters. Each fills itself from its
// template (InitFrom) or from its XML element (LoadXml), and Evaluate sets the motion at the
// clock time before the common tail.

// A vector moving from a start along a unit direction by a profile (translate and scale).
struct LinearMotion {
    MotionProfile profile;
    Vec3 start{0.0f, 0.0f, 0.0f};
    Vec3 direction{0.0f, 0.0f, 0.0f};

    // Start, direction (normalised only when at least 1e-4 long) and the profile from 0 to
    // the distance.
    void Setup(const TrackTemplate& t);
    Vec3 At(float t) const { return start + direction * profile.Value(t); }
};

// Kind 1: a position along a line by a motion profile.
class TrackTranslate : public TrackBase {
public:
    bool InitFrom(const void* record) override;
    void Evaluate() override;
    const Vec3& Direction() const { return m_motion.direction; }
    const MotionProfile& Profile() const { return m_motion.profile; }

protected:
    LinearMotion m_motion;
};

// Kind 8: a translate track read from XML.
class TrackLine : public TrackTranslate {
public:
    bool LoadXml(common::IXmlNode* node) override;
    bool InitFrom(const void* record) override;

private:
    Vec3 m_vectors[2] = {{0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}};
};

// Kind 3: a scale by a motion profile, or by three key curves over the track's length.
class TrackScale : public TrackBase {
public:
    bool LoadXml(common::IXmlNode* node) override;
    bool InitFrom(const void* record) override;
    void Evaluate() override;
    const KeyCurve* Curve(int axis) const { return m_curves[axis].get(); }

private:
    LinearMotion m_motion;
    std::uint8_t m_keyMode = 0;
    std::unique_ptr<KeyCurve> m_curves[3];
};

// Kind 2: a rotation about an axis by a motion profile.
class TrackRotate : public TrackBase {
public:
    bool LoadXml(common::IXmlNode* node) override;
    bool InitFrom(const void* record) override;
    void Evaluate() override;
    const Vec3& Forward() const { return m_forward; }
    const Vec3& Axis() const { return m_axis; }

protected:
    void Motion();

    MotionProfile m_profile;
    Vec3 m_forward{0.0f, 0.0f, 1.0f};
    Vec3 m_up{0.0f, 1.0f, 0.0f};
    Vec3 m_axis{0.0f, 1.0f, 0.0f};
    Matrix m_baseRotation = MatrixIdentity();
};

// Kind 9: a rotation with a fixed offset (the radius) chained as an owned sibling.
class TrackCircle : public TrackRotate {
public:
    bool LoadXml(common::IXmlNode* node) override;
    bool InitFrom(const void* record) override;
    void Evaluate() override;

private:
    float m_tilt = 0.0f;  // radians
};

// Kind 16 ("TrackFlyInBox"): a random flight inside a box along cubic curves.
class TrackCurveBoxed : public TrackBase {
public:
    bool LoadXml(common::IXmlNode* node) override;
    bool InitFrom(const void* record) override;
    void Evaluate() override;
    // The box and speed as LoadXml reads them; draws the first curve.
    void Setup(const Vec3& halfExtents, float velocity);
    const Vec3& HalfExtents() const { return m_half; }

private:
    Vec3 RandomPoint() const;
    bool Inside(const Vec3& p) const;
    Vec3 CurvePoint(float u) const;
    // Draws a point of the box heading away from `b` (at most 20 draws; the last one stays).
    Vec3 DrawAway(const Vec3& from, const Vec3& b) const;
    void NextSegment();

    Vec3 m_half{0.0f, 0.0f, 0.0f};
    float m_velocity = 0.0f;
    Vec3 m_p[4];
    float m_stepStart = 0.0f;
    float m_nextStepTime = 0.0f;
    float m_u = 0.0f;
    Vec3 m_current{0.0f, 0.0f, 0.0f};
    Vec3 m_previous{0.0f, 0.0f, 0.0f};
    Vec3 m_flightDirection{0.0f, 0.0f, 1.0f};
};

}  // namespace quor::world
