#include "world/core/track/TrackKinds.h"

#include <cmath>
#include <new>

#include "platform/host/IXmlNode.h"
#include "world/core/math/Geometry.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/Random.h"
#include "world/core/XmlNodePtr.h"

namespace quor::world {

namespace {

constexpr float kNearZero = 1e-4f;
constexpr float kDegrees = 3.14159265358979f / 180.0f;

// v scaled to unit length; a (near) zero vector is left as it is, never divided.
bool Normalize(Vec3& v) {
    const float len = Vec3Length(v);
    if (!(len >= kNearZero) || !std::isfinite(len)) return false;
    Vec3DivScalar(v, len);
    return true;
}

Vec3 ReadVec3(common::IXmlNode* node, const char* name, const Vec3& def) {
    float out[3];
    const float d[3] = {def.x, def.y, def.z};
    ReadXmlFloat3(node, nullptr, name, out, d);
    return {out[0], out[1], out[2]};
}

}  // namespace

// --- translate, line and scale -------------------------------------------------------------

void LinearMotion::Setup(const TrackTemplate& t) {
    start = t.start;
    Vec3 d = t.end - t.start;
    const float length = Vec3Length(d);
    if (Normalize(d)) direction = d;
    profile.Setup(0.0f, length, t.timeLength, t.initialSpeed, t.cycleType, t.goAndReturn);
}

bool TrackTranslate::InitFrom(const void* record) {
    if (!record) return false;
    const auto& t = *static_cast<const TrackTemplate*>(record);
    m_clock.loop = t.loop;
    m_motion.Setup(t);
    SetDuration(m_motion.profile.duration, m_motion.profile.cycleType == 0);
    return true;
}

void TrackTranslate::Evaluate() {
    MatrixIdentity(m_rotation);
    m_scale = {1.0f, 1.0f, 1.0f};
    m_position = m_motion.At(static_cast<float>(m_clock.time));
    TrackBase::Evaluate();
}

bool TrackLine::LoadXml(common::IXmlNode* node) {
    if (!node) return false;
    TrackTemplate t;
    t.loop = 1;
    t.start = ReadVec3(node, "StartPos", {0.0f, 0.0f, 0.0f});
    t.end = ReadVec3(node, "EndPos", {10.0f, 0.0f, 0.0f});
    t.timeLength = node->GetFloatAttribute(nullptr, "TimeLen", 0.0f) * 1000.0f;
    const std::uint32_t cycle = node->GetUIntAttribute(nullptr, "CycleType", 1);
    // Stored files rely on the template's face flag replacing this one.
    m_faceMoveDirection = node->GetBoolAttribute(nullptr, "ChangeDir", true) ? 1 : 0;
    const float length = Vec3Distance(t.start, t.end);
    t.initialSpeed = t.timeLength > 0.0f ? length / t.timeLength : 0.0f;
    t.cycleType = 1;
    t.goAndReturn = cycle > 0 ? 1 : 0;
    t.vectors[0] = {0.0f, 1.0f, 0.0f};
    t.vectors[1] = {1.0f, 0.0f, 0.0f};
    t.faceMode = 1;
    t.faceMoveDirection = 0;
    InitFrom(&t);
    if (!(length >= kNearZero)) m_motion.direction = {0.0f, 1.0f, 0.0f};
    return true;
}

bool TrackLine::InitFrom(const void* record) {
    if (!record) return false;
    const auto& t = *static_cast<const TrackTemplate*>(record);
    m_vectors[0] = t.vectors[0];
    m_vectors[1] = t.vectors[1];
    m_goAndReturn = t.goAndReturn;
    m_faceMoveDirection = t.faceMoveDirection;
    m_faceMode = t.faceMode;
    return TrackTranslate::InitFrom(record);
}

bool TrackScale::InitFrom(const void* record) {
    if (!record) return false;
    const auto& t = *static_cast<const TrackTemplate*>(record);
    m_clock.loop = t.loop;
    m_keyMode = 0;
    m_motion.Setup(t);
    SetDuration(m_motion.profile.duration, m_motion.profile.cycleType == 0);
    return true;
}

bool TrackScale::LoadXml(common::IXmlNode* node) {
    if (!node) return false;
    m_clock.loop = node->GetBoolAttribute(nullptr, "Loop", false) ? 1 : 0;
    const float ms = node->GetFloatAttribute(nullptr, "TimeLen", 0.0f) * 1000.0f;
    m_keyMode = 1;
    if (!(ms > 0.0f)) {
        ClearClocks();
        return true;
    }
    m_clock.SetLength(ms);
    const std::uint32_t mode = node->GetUIntAttribute(nullptr, "CycleType", 1);
    for (int axis = 0; axis < 3; ++axis) {
        m_curves[axis] = std::make_unique<KeyCurve>(mode);
        XmlNodePtr channel(node->ChildElement(nullptr, axis), true);
        if (channel) {
            const int keys = channel->CountChildElements(nullptr);
            for (int k = 0; k < keys; ++k) {
                XmlNodePtr key(channel->ChildElement(nullptr, k), true);
                if (key) m_curves[axis]->AddKey(key->GetFloatAttribute(nullptr, "Time", 0.0f),
                                                key->GetFloatAttribute(nullptr, "Value", 1.0f));
            }
        }
        if (m_curves[axis]->KeyCount() == 0) m_curves[axis]->AddKey(0.0f, 1.0f);
    }
    return true;
}

void TrackScale::Evaluate() {
    m_position = {0.0f, 0.0f, 0.0f};
    MatrixIdentity(m_rotation);
    const float t = static_cast<float>(m_clock.time);
    if (m_keyMode) {
        // Key times are fractions of the length; a track without length stays at its start.
        const float u = m_clock.length > 0.0 ? t / static_cast<float>(m_clock.length) : 0.0f;
        for (int axis = 0; axis < 3; ++axis) m_scale[axis] = m_curves[axis] ? m_curves[axis]->Evaluate(u) : 1.0f;
    } else {
        m_scale = m_motion.At(t);
    }
    TrackBase::Evaluate();
}

// --- rotate and circle ---------------------------------------------------------------------

bool TrackRotate::InitFrom(const void* record) {
    if (!record) return false;
    const auto& t = *static_cast<const TrackRotateTemplate*>(record);
    m_clock.loop = t.loop;
    Vec3 v = t.forward;
    if (Normalize(v)) m_forward = v;
    v = t.up;
    if (Normalize(v)) m_up = v;
    v = t.axis;
    if (Normalize(v)) m_axis = v;
    m_profile.Setup(t.startAngle * kDegrees, t.endAngle * kDegrees, t.timeLength, t.initialSpeed, t.cycleType,
                    t.goAndReturn);
    if (Vec3LengthSq(Vec3Cross(m_forward, m_up)) < kNearZero) {
        m_up = {0.0f, 1.0f, 0.0f};
        if (Vec3LengthSq(Vec3Cross(m_forward, m_up)) < kNearZero) m_up = {0.0f, 0.0f, -1.0f};
    }
    RotationBetweenVectors(m_forward, m_up, m_baseRotation);
    SetDuration(m_profile.duration, m_profile.cycleType == 0);
    return true;
}

void TrackRotate::Motion() {
    m_position = {0.0f, 0.0f, 0.0f};
    m_scale = {1.0f, 1.0f, 1.0f};
    Matrix turn;
    MatrixRotationAxis(turn, m_axis, m_profile.Value(static_cast<float>(m_clock.time)));
    MatrixMultiplyPlain(m_baseRotation, turn, m_rotation);
}

void TrackRotate::Evaluate() {
    Motion();
    TrackBase::Evaluate();
}

bool TrackRotate::LoadXml(common::IXmlNode* node) {
    if (!node) return false;
    Vec3 forward = ReadVec3(node, "Forward", {0.0f, 1.0f, 0.0f});
    if (PointInCube(forward, Vec3{}, kNearZero)) {
        forward = {0.0f, 1.0f, 0.0f};
        LogInfo("track.forward(0, 0, 0) having been rejust to (0, 1, 0), which would occur wrong artifact, check it!");
    }
    // Stored files rely on the template's forward replacing this one when the track turns.
    m_forward = forward;
    const float ms = node->GetFloatAttribute(nullptr, "TimeLen", 0.0f) * 1000.0f;
    if (ms != 0.0f) {
        TrackRotateTemplate t;
        t.loop = 1;
        t.forward = {0.0f, 0.0f, 1.0f};
        t.up = {0.0f, 1.0f, 0.0f};
        t.axis = ReadVec3(node, "AxesDir", {0.0f, 1.0f, 0.0f});
        t.radius = node->GetFloatAttribute(nullptr, "Radius", 0.0f);
        t.startAngle = node->GetFloatAttribute(nullptr, "StartAngle", 0.0f);
        t.endAngle = node->GetFloatAttribute(nullptr, "EndAngle", 360.0f);
        t.timeLength = ms;
        t.initialSpeed = 0.0f;
        t.cycleType = 1;
        t.goAndReturn = 0;
        return InitFrom(&t);
    }
    Normalize(m_forward);
    m_up = {0.0f, 1.0f, 0.0f};
    if (Vec3LengthSq(Vec3Cross(m_forward, m_up)) < kNearZero) m_up = {0.0f, 0.0f, -1.0f};
    RotationBetweenVectors(m_forward, m_up, m_baseRotation);
    m_profile = MotionProfile{};
    ClearClocks();
    return true;
}

bool TrackCircle::InitFrom(const void* record) {
    if (!record) return false;
    TrackRotateTemplate t = *static_cast<const TrackRotateTemplate*>(record);
    t.up = t.axis;
    if (!m_next || !m_nextIsSibling) {
        auto* offset = NewObject<TrackTranslate>();
        if (!offset) return false;
        LinkSibling(offset);
    }
    TrackTemplate still;
    still.loop = 0;
    still.start = still.end = {-t.radius, 0.0f, 0.0f};
    still.cycleType = 0;
    m_next->InitFrom(&still);
    m_next->Evaluate();
    m_faceMoveDirection = t.faceMoveDirection;
    m_tilt = t.tiltAngle * kDegrees;
    return TrackRotate::InitFrom(&t);
}

void TrackCircle::Evaluate() {
    Motion();
    if (std::fabs(m_tilt) >= kNearZero) {
        const Vec3 third = m_rotation.Row(2);
        Matrix roll;
        MatrixRotationAxis(roll, third, m_tilt);
        Vec3 second;
        TransformNormal(m_rotation.Row(1), roll, second);
        RotationBetweenVectors(third, second, m_rotation);
    }
    TrackBase::Evaluate();
}

bool TrackCircle::LoadXml(common::IXmlNode* node) {
    if (!node) return false;
    TrackRotateTemplate t;
    t.loop = 1;
    t.forward = {0.0f, 0.0f, 1.0f};
    t.up = {0.0f, 1.0f, 0.0f};
    t.cycleType = 1;
    t.radius = node->GetFloatAttribute(nullptr, "Radius", 0.0f);
    t.axis = ReadVec3(node, "AxesDir", {0.0f, 1.0f, 0.0f});
    t.timeLength = node->GetFloatAttribute(nullptr, "TimeLen", 0.0f) * 1000.0f;
    t.startAngle = node->GetFloatAttribute(nullptr, "StartAngle", 0.0f);
    t.endAngle = node->GetFloatAttribute(nullptr, "EndAngle", 360.0f);
    InitFrom(&t);
    return true;
}

// --- flight in a box -----------------------------------------------------------------------

namespace {
// Steps of the curve parameter and the most steps one evaluation may take: a flight that
// cannot move (no speed, a flat box) stops there instead of spinning.
constexpr float kCurveStep = 0.005f;
constexpr int kMostSteps = 1 << 16;
}  // namespace

Vec3 TrackCurveBoxed::RandomPoint() const {
    Vec3 p;
    for (int i = 0; i < 3; ++i) {
        const float r = static_cast<float>(Rand()) / 32767.0f;
        p[i] = -m_half[i] + 2.0f * m_half[i] * r;
    }
    return p;
}

bool TrackCurveBoxed::Inside(const Vec3& p) const {
    for (int i = 0; i < 3; ++i) {
        if (!(p[i] >= -m_half[i] && p[i] <= m_half[i])) return false;
    }
    return true;
}

Vec3 TrackCurveBoxed::CurvePoint(float u) const {
    const float v = 1.0f - u;
    return m_p[0] * (v * v * v) + m_p[1] * (3.0f * u * v * v) + m_p[2] * (3.0f * u * u * v) + m_p[3] * (u * u * u);
}

Vec3 TrackCurveBoxed::DrawAway(const Vec3& from, const Vec3& b) const {
    Vec3 p;
    for (int draw = 0; draw < 20; ++draw) {
        p = RandomPoint();
        Vec3 d = p - from;
        if (Normalize(d) && Vec3Dot(d, b) < 0.5f) break;
    }
    return p;
}

void TrackCurveBoxed::NextSegment() {
    const Vec3 p2 = m_p[2], p3 = m_p[3];
    m_p[0] = p3;
    m_p[1] = p3 + (p3 - p2) * 0.5f;
    if (!Inside(m_p[1])) m_p[1] = p3 + (p3 - p2) * 0.125f;
    // Still outside (the end point sits at a wall): pulled onto the box, so that the whole
    // curve, which stays inside its control points' hull, stays inside too.
    for (int i = 0; i < 3; ++i) m_p[1][i] = std::fmin(std::fmax(m_p[1][i], -m_half[i]), m_half[i]);
    Vec3 b = m_p[0] - m_p[1];
    Normalize(b);
    m_p[2] = DrawAway(m_p[1], b);
    b = m_p[1] - m_p[2];
    Normalize(b);
    m_p[3] = DrawAway(m_p[2], b);
    m_u = 0.0f;
}

void TrackCurveBoxed::Setup(const Vec3& halfExtents, float velocity) {
    for (int i = 0; i < 3; ++i) m_half[i] = std::isfinite(halfExtents[i]) ? std::fabs(halfExtents[i]) : 0.0f;
    m_velocity = velocity;
    m_clock.ResetOpenEnded();
    for (Vec3& p : m_p) p = RandomPoint();
    m_stepStart = 0.0f;
    m_u = 0.0f;
    m_previous = m_current = CurvePoint(0.0f);
    m_nextStepTime = m_stepStart;
    m_position = m_current;
}

bool TrackCurveBoxed::LoadXml(common::IXmlNode* node) {
    if (!node) return false;
    Setup(ReadVec3(node, "BoxSize", {0.0f, 0.0f, 0.0f}), node->GetFloatAttribute(nullptr, "Velocity", 0.0f));
    return true;
}

bool TrackCurveBoxed::InitFrom(const void*) {
    m_clock.loop = 0;
    return true;
}

void TrackCurveBoxed::Evaluate() {
    const float ts = static_cast<float>(m_clock.time) * 0.001f;
    // Without a speed the flight cannot advance: it stays where it is.
    const bool moving = m_velocity > 0.0f && std::isfinite(m_velocity) &&
                        (m_half.x > 0.0f || m_half.y > 0.0f || m_half.z > 0.0f);
    int steps = 0;
    while (moving && m_nextStepTime < ts && steps < kMostSteps) {
        ++steps;
        m_u += kCurveStep;
        if (m_u > 1.0f) NextSegment();
        m_previous = m_current;
        m_current = CurvePoint(m_u);
        m_stepStart = m_nextStepTime;
        m_nextStepTime = Vec3Distance(m_current, m_previous) / m_velocity + m_stepStart;
    }
    if (steps == kMostSteps) m_nextStepTime = m_stepStart = ts;  // a flat box: stop here
    Vec3 d = m_current - m_previous;
    if (moving && Normalize(d)) {
        m_flightDirection = d;
        const float along = std::fmin((ts - m_stepStart) * m_velocity, Vec3Distance(m_current, m_previous));
        m_position = m_previous + m_flightDirection * std::fmax(along, 0.0f);
    } else {
        m_position = m_current;
    }
    RotationBetweenVectors(m_flightDirection, Vec3{0.0f, 1.0f, 0.0f}, m_rotation);
    m_scale = {1.0f, 1.0f, 1.0f};
    TrackBase::Evaluate();
}

}  // namespace quor::world
