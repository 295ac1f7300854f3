#include "world/core/track/TrackBase.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "world/core/FrameTimeControl.h"
#include "world/core/Memory.h"
#include "world/core/math/Geometry.h"
#include "world/core/track/TransformKey.h"

namespace quor::world {

namespace {

constexpr float kNearZero = 1e-4f;

// Scratch list of a chain for the walks that must visit the deepest track first. Tracks run on
// the scene's thread; one list per thread keeps a frame free of allocations after the first.
std::vector<TrackBase*>& ChainScratch() {
    thread_local std::vector<TrackBase*> list;
    return list;
}

bool Finite(const Matrix& m) {
    for (float v : m.m) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

// The matrix of scale, then rotation, then translation.
void ComposeMatrix(const Vec3& position, const Matrix& rotation, const Vec3& scale, Matrix& out) {
    out = rotation;
    MatrixApplyScale(out, scale);
    out.m[3] = out.m[7] = out.m[11] = 0.0f;
    out.m[12] = position.x;
    out.m[13] = position.y;
    out.m[14] = position.z;
    out.m[15] = 1.0f;
}

void Multiply(const Matrix& a, const Matrix& b, Matrix& out) {
    if (UseAlignedAlloc()) Matrix4Multiply(a, b, out);
    else MatrixMultiplyPlain(a, b, out);
}

// Position, rotation and scale of m. A zero axis (a track that shrinks to nothing) has no
// direction: it is rebuilt from the two others, and with fewer than two the rotation stays
// `fallback`, so the rotation is always finite.
void SafeDecompose(const Matrix& m, Vec3& position, Matrix& rotation, Vec3& scale, const Matrix& fallback) {
    MatrixDecompose(m, position, rotation, scale);
    if (Finite(rotation)) return;
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(scale[i])) scale[i] = 0.0f;
    }
    Vec3 rows[3];
    bool good[3];
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        rows[i] = m.Row(i);
        const float len = Vec3Length(rows[i]);
        good[i] = len > 1e-12f && std::isfinite(len);
        if (good[i]) {
            Vec3DivScalar(rows[i], len);
            ++count;
        }
    }
    if (count < 2) {
        MatrixRotationPart(rotation, fallback);
        return;
    }
    for (int i = 0; i < 3; ++i) {
        if (!good[i]) rows[i] = Vec3Cross(rows[(i + 1) % 3], rows[(i + 2) % 3]);
    }
    MatrixFromAxes(rotation, rows[0], rows[1], rows[2]);
}

}  // namespace

TrackBase::TrackBase() {
    MatrixIdentity(m_rotation);
    MatrixIdentity(m_base);
    MatrixIdentity(m_loopDelta);
}

TrackBase::~TrackBase() {
    // A sibling next is owned and dies with this track (and its own siblings with it, in a
    // loop); the first ordinary next met is only unlinked.
    TrackBase* next = m_next;
    bool sibling = m_nextIsSibling != 0;
    m_next = nullptr;
    while (next) {
        if (!sibling) {
            next->m_inUse = 0;
            break;
        }
        TrackBase* after = next->m_next;
        const bool afterSibling = next->m_nextIsSibling != 0;
        next->m_next = nullptr;
        delete next;
        next = after;
        sibling = afterSibling;
    }
    MatrixIdentity(m_base);
    m_baseIdentity = 1;
}

TrackBase::Names* TrackBase::EnsureNames() {
    if (!m_names) m_names.reset(NewObject<Names>());
    return m_names.get();
}

bool TrackBase::LoadFile(const char*) { return false; }
bool TrackBase::LoadXml(common::IXmlNode*) { return false; }

void TrackBase::SetName(const char* name) {
    if (Names* names = EnsureNames()) {
        std::strncpy(names->name, name ? name : "", kNameSize - 1);
        names->name[kNameSize - 1] = '\0';
    }
}

void TrackBase::SetSourceName(const char* name) {
    if (Names* names = EnsureNames()) {
        std::strncpy(names->source, name ? name : "", kNameSize - 1);
        names->source[kNameSize - 1] = '\0';
    }
}

void GetTrackTransformByMode(TrackBase* track, std::uint16_t mode, Vec3* position, Matrix* rotation, Vec3* scale) {
    if (!track || mode < 1 || mode > 7) return;
    track->GetLocalTransform((mode & 1) ? position : nullptr, (mode & 2) ? rotation : nullptr,
                             (mode & 4) ? scale : nullptr);
}

// --- chain ---------------------------------------------------------------------------------

TrackBase* TrackBase::ChainOwner(bool deep) {
    TrackBase* t = this;
    while (t->m_next && (t->m_nextIsSibling || deep)) t = t->m_next;
    return t;
}

bool TrackBase::LinkNext(ITrack* track, bool deep) {
    auto* next = dynamic_cast<TrackBase*>(track);
    if (!next || next == this || next->m_inUse) return false;
    // A track whose own chain reaches this one would close a loop that ticks forever.
    for (TrackBase* t = next->m_next; t; t = t->m_next) {
        if (t == this) return false;
    }
    TrackBase* owner = ChainOwner(deep);
    if (owner->m_next) owner->m_next->m_inUse = 0;
    owner->m_next = next;
    owner->m_nextIsSibling = 0;
    next->m_inUse = 1;
    owner->m_changed = 1;
    return true;
}

void TrackBase::LinkSibling(TrackBase* sibling) {
    TrackBase* owner = ChainOwner(false);
    owner->m_next = sibling;
    owner->m_nextIsSibling = 1;
    sibling->m_inUse = 1;
    owner->m_changed = 1;
}

ITrack* TrackBase::UnlinkNext(bool deep) {
    // Siblings pass the call on and are never handed out: they belong to their chain.
    TrackBase* owner = nullptr;
    for (TrackBase* t = this; t->m_next; t = t->m_next) {
        if (!t->m_nextIsSibling) {
            owner = t;
            if (!deep) break;
        }
    }
    if (!owner) return nullptr;
    TrackBase* next = owner->m_next;
    owner->m_next = nullptr;
    next->m_inUse = 0;
    owner->m_changed = 1;
    return next;
}

ITrack* TrackBase::GetNext(bool deep) {
    TrackBase* found = nullptr;
    for (TrackBase* t = this; t->m_next; t = t->m_next) {
        if (!t->m_nextIsSibling) {
            found = t->m_next;
            if (!deep) break;
        }
    }
    return found;
}

// --- clock ---------------------------------------------------------------------------------

bool TrackBase::Start() {
    const bool started = m_clock.Play();
    for (TrackBase* t = this; t->m_next && t->m_nextIsSibling; t = t->m_next) t->m_next->m_clock.Play();
    return started;
}

void TrackBase::Stop() {
    for (TrackBase* t = this; t; t = t->m_nextIsSibling ? t->m_next : nullptr) t->m_clock.playing = 0;
}

void TrackBase::SeekChain(float ms) {
    std::vector<TrackBase*>& list = ChainScratch();
    const std::size_t first = list.size();
    for (TrackBase* t = this; t; t = t->m_nextIsSibling ? t->m_next : nullptr) {
        t->m_clock.Seek(ms);
        list.push_back(t);
    }
    for (std::size_t i = list.size(); i-- > first;) list[i]->Evaluate();
    list.resize(first);
}

void TrackBase::SetTime(float ms) {
    SeekChain(ms);
    m_dirty = 1;
}

void TrackBase::SetSpeed(float speed) {
    for (TrackBase* t = this; t; t = t->m_nextIsSibling ? t->m_next : nullptr) t->m_clock.SetSpeed(speed);
}

void TrackBase::SetLoop(bool loop) {
    for (TrackBase* t = this; t; t = t->m_nextIsSibling ? t->m_next : nullptr) t->m_clock.loop = loop ? 1 : 0;
}

void TrackBase::SetRange(float start, float end) {
    for (TrackBase* t = this; t; t = t->m_nextIsSibling ? t->m_next : nullptr) t->m_clock.SetRange(start, end);
}

void TrackBase::GetRange(float& start, float& end) {
    start = static_cast<float>(m_clock.rangeStart);
    end = static_cast<float>(m_clock.rangeEnd);
}

void TrackBase::ClearClocks() {
    for (TrackBase* t = this; t; t = t->m_nextIsSibling ? t->m_next : nullptr) t->m_clock.Clear();
}

void TrackBase::SetDuration(float ms, bool still) {
    if (still || !(ms > 0.0f)) {
        ClearClocks();
        return;
    }
    m_clock.SetLength(ms);
}

void TrackBase::SetReverse(bool reverse) {
    if ((m_clock.reverse != 0) == reverse) return;
    Matrix inverse = m_loopDelta;
    if (MatrixInverseRegular(inverse)) m_loopDelta = inverse;
    for (TrackBase* t = this; t; t = t->m_nextIsSibling ? t->m_next : nullptr) t->m_clock.reverse = reverse ? 1 : 0;
}

// --- per frame -----------------------------------------------------------------------------

bool TrackBase::TickChain() {
    if (!m_next) {
        // A lone track, the common case: no chain to walk.
        bool changed = m_changed != 0;
        m_previousTime = static_cast<float>(m_clock.time);
        if (m_clock.Tick()) changed = true;
        if (changed) Evaluate();
        m_changed = 0;
        return changed;
    }
    std::vector<TrackBase*>& list = ChainScratch();
    const std::size_t first = list.size();
    for (TrackBase* t = this; t; t = t->m_next) list.push_back(t);
    bool changedBelow = false;
    for (std::size_t i = list.size(); i-- > first;) {
        TrackBase* t = list[i];
        bool changed = changedBelow || t->m_changed != 0;
        t->m_previousTime = static_cast<float>(t->m_clock.time);
        if (t->m_clock.Tick()) changed = true;
        if (changed) t->Evaluate();
        t->m_changed = 0;
        changedBelow = changed;
    }
    list.resize(first);
    return changedBelow;
}

bool TrackBase::Advance() {
    m_previousPosition = m_position;
    if (!TickChain()) return false;
    if (m_channelFlags != 0 && m_clock.state == 1) {
        Matrix accumulated;
        Multiply(m_loopDelta, m_base, accumulated);
        SetBaseMatrix(accumulated);
    }
    const Vec3 d = m_position - m_previousPosition;
    if (!PointInCube(d, Vec3{}, kNearZero)) {
        m_moveDirection = d;
        Vec3DivScalar(m_moveDirection, Vec3Length(d));
    }
    if (m_faceMoveDirection) TurnToMoveDirection();
    m_dirty = 1;
    return true;
}

void TrackBase::TurnToMoveDirection() {
    const Vec3& m = m_moveDirection;
    const Vec3 x = m_rotation.Row(0);
    const Vec3 y = m_rotation.Row(1);
    Vec3 r;
    if (m_faceMode == 0) {
        r = Vec3Cross(m, x);
        if (PointInCube(r, Vec3{}, kNearZero)) r = y;
    } else {
        r = y;
        if (PointInCube(Vec3Cross(y, m), Vec3{}, kNearZero)) r = Vec3Cross(m, x);
    }
    RotationBetweenVectors(m, r, m_rotation);
}

void TrackBase::SetFaceMoveDirection(std::uint8_t enable, std::uint8_t mode) {
    m_faceMoveDirection = enable;
    m_faceMode = mode;
    if (enable) TurnToMoveDirection();
}

void TrackBase::GetVelocity(float* factor, Vec3* direction) {
    if (factor) {
        const double step = GetFrameMilliseconds() * static_cast<double>(m_clock.speed);
        // A stopped frame clock or speed has no rate to give.
        if (step == 0.0 || !std::isfinite(step)) {
            *factor = 0.0f;
        } else {
            const double distance = Vec3Distance(m_position, m_previousPosition);
            *factor = static_cast<float>(distance * 1000.0 / step * static_cast<double>(*factor));
        }
    }
    if (direction) *direction = m_moveDirection;
}

// --- transform -----------------------------------------------------------------------------

void TrackBase::Evaluate() {
    // Alone and without a base, the motion is the transform: nothing to compose or split.
    if (!m_next && m_baseIdentity) return;
    Matrix m;
    ComposeMatrix(m_position, m_rotation, m_scale, m);
    if (m_next) {
        Matrix n;
        m_next->GetTransformMatrix(n, false);
        Multiply(n, m, m);
    }
    Multiply(m, m_base, m);
    const Matrix motion = m_rotation;
    SafeDecompose(m, m_position, m_rotation, m_scale, motion);
}

void TrackBase::GetLocalTransform(Vec3* position, Matrix* rotation, Vec3* scale) {
    if (position) *position = m_position;
    if (rotation) *rotation = m_rotation;
    if (scale) *scale = m_scale;
    m_dirty = 0;
}

void TrackBase::GetTransformMatrix(Matrix& out, bool withoutBase) {
    ComposeMatrix(m_position, m_rotation, m_scale, out);
    if (withoutBase) {
        // A singular base cannot be taken out: the transform stays whole.
        Matrix inverse = m_base;
        if (MatrixInverseRegular(inverse)) Multiply(out, inverse, out);
    }
    m_dirty = 0;
}

void TrackBase::SetBaseMatrix(const Matrix& m) {
    m_base = m;
    const Vec3 r0 = m.Row(0), r1 = m.Row(1), r2 = m.Row(2);
    if (std::fabs(Vec3Dot(r0, r1)) >= kNearZero || std::fabs(Vec3Dot(r0, r2)) >= kNearZero ||
        std::fabs(Vec3Dot(r1, r2)) >= kNearZero) {
        const float l0 = Vec3Length(r0), l1 = Vec3Length(r1), l2 = Vec3Length(r2);
        const bool mirrored = MatrixIsMirrored(m);
        OrthonormalizeRotation(m_base);
        if (mirrored) m_base.Row(0) = -m_base.Row(0);
        MatrixApplyScale(m_base, Vec3{l0, l1, l2});
    }
    m_baseUnitScale = MatrixHasUnitScale(m_base) ? 1 : 0;
    m_baseIdentity = m_base == MatrixIdentity() ? 1 : 0;
    Evaluate();
}

void TrackBase::SetTransform(const Vec3* position, const Matrix* rotation, const Vec3* scale) {
    Matrix b;
    ComposeMatrix(position ? *position : m_position, rotation ? *rotation : m_rotation, scale ? *scale : m_scale, b);
    SetMatrix(b);
}

void TrackBase::SetMatrix(const Matrix& target) {
    Matrix inverse;
    GetTransformMatrix(inverse, false);
    // A transform that has collapsed (zero scale) cannot be re-based: the base stays.
    if (MatrixInverseRegular(inverse)) {
        Matrix base;
        Multiply(m_base, inverse, base);
        Multiply(base, target, base);
        SetBaseMatrix(base);
    }
    m_dirty = 0;
}

void TrackBase::SetChannelFlags(std::uint16_t flags) {
    m_channelFlags = flags;
    RecomputeLoopDelta();
}

void TrackBase::RecomputeLoopDelta() {
    MatrixIdentity(m_loopDelta);
    if (m_channelFlags == 0) return;
    const double saved = m_clock.time;
    const double length = m_clock.length > 0.0 ? m_clock.length : 0.0;
    const float start = static_cast<float>(m_clock.reverse ? length : 0.0);
    const float end = static_cast<float>(m_clock.reverse ? 0.0 : length);
    auto evaluateAt = [this](float t, Matrix& out) {
        std::vector<TrackBase*>& list = ChainScratch();
        const std::size_t first = list.size();
        for (TrackBase* s = this; s; s = s->m_nextIsSibling ? s->m_next : nullptr) {
            s->m_clock.time = t;
            list.push_back(s);
        }
        for (std::size_t i = list.size(); i-- > first;) list[i]->Evaluate();
        list.resize(first);
        const std::uint8_t dirty = m_dirty;
        GetTransformMatrix(out, true);
        m_dirty = dirty;
    };
    Matrix s, e;
    evaluateAt(start, s);
    evaluateAt(end, e);
    Matrix restored;
    evaluateAt(static_cast<float>(saved), restored);
    if (!MatrixInverseRegular(s)) return;  // a singular pass start: no accumulation
    Matrix delta;
    MatrixMultiplyPlain(s, e, delta);
    Vec3 translation, scale;
    Matrix rotation;
    SafeDecompose(delta, translation, rotation, scale, MatrixIdentity());
    if (!(m_channelFlags & 0x1000)) translation.x = 0.0f;
    if (!(m_channelFlags & 0x2000)) translation.y = 0.0f;
    if (!(m_channelFlags & 0x8000)) translation.z = 0.0f;
    const std::uint16_t r = m_channelFlags & 7;
    if (r == 0) {
        MatrixIdentity(rotation);
    } else if (r != 7) {
        // One angle, read in an order that starts with its axis.
        const int axis = (r & 2) ? 1 : (r & 4) ? 2 : 0;
        const std::uint32_t order = axis == 1 ? 3 : axis == 2 ? 5 : 1;
        float angles[3];
        MatrixToEuler(rotation, order, angles);
        Vec3 a{0.0f, 0.0f, 0.0f};
        a[axis] = 1.0f;
        MatrixRotationAxis(rotation, a, angles[axis]);
    }
    ComposeMatrix(translation, rotation, Vec3{1.0f, 1.0f, 1.0f}, m_loopDelta);
}

}  // namespace quor::world
