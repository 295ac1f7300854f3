// The track side of SpaceObject: binding, rebasing, the per-frame step and the cross-fade.
#include "world/core/FrameTimeControl.h"
#include "world/core/SpaceObject.h"
#include "world/core/track/TrackBase.h"
#include "world/core/track/TransformKey.h"

namespace quor::world {

namespace {

constexpr float kBlendEpsilon = 1e-4f;

// Lets a track go: another object may bind it, the registry may destroy it.
void Release(TrackBase* track) {
    if (track) track->SetInUse(false);
}

// The parts of a track's transform that its bind mode selects, into a key; has[i] tells which
// (position, rotation, scale) the mode covered.
void KeyFromTrack(TrackBase* track, std::uint16_t mode, TransformKey& key, bool has[3]) {
    Vec3 position, scale;
    Matrix rotation;
    GetTrackTransformByMode(track, mode, &position, &rotation, &scale);
    has[0] = (mode & 1) != 0;
    has[1] = (mode & 2) != 0;
    has[2] = (mode & 4) != 0;
    if (has[0]) key.position = position;
    if (has[1]) MatrixToQuaternion(rotation, key.rotation);
    if (has[2]) key.scale = scale;
}

}  // namespace

bool SpaceObject::BindTrack(ITrack* trackInterface, float blend, bool apply, std::uint16_t mode, float start) {
    if (mode == 0) return false;
    auto* track = dynamic_cast<TrackBase*>(trackInterface);
    if (track && track == m_fadingTrack) {
        DropFadingTrack();
    } else if (track && track->InUse()) {
        return false;
    }
    if (m_blendRemaining > kBlendEpsilon && !apply && !track) blend = 0.0f;
    if (blend < kBlendEpsilon) {
        Release(m_boundTrack);
        m_boundTrack = nullptr;
        m_bindMode = 0;
    } else {
        if (m_fadingTrack) {
            m_fadingTrack->Stop();
            Release(m_fadingTrack);
        }
        // The track that fades out keeps reading the channels it was bound with.
        m_fadingTrack = m_boundTrack;
        m_fadingBindMode = m_bindMode;
        m_blendTotal = blend;
        m_blendRemaining = blend;
    }
    m_applyFlag = apply ? 1 : 0;
    m_boundTrack = track;
    if (track) {
        if (!m_fadingTrack) {
            TrackBaseSnapshot& snapshot = BaseSnapshot();
            snapshot.position = m_transform->position;
            MatrixToQuaternion(m_transform->rotation, snapshot.rotation);
            snapshot.scale = m_transform->scale;
        }
        track->SetInUse(true);
        track->Start();
        track->SetTime(start);
        m_bindMode = mode;
        if (mode & 4) m_transform->hasScale = 1;
        if (apply) ApplyBoundTrack();
    } else if (!m_fadingTrack) {
        DropFadingTrack();
    }
    return true;
}

TrackBaseSnapshot& SpaceObject::BaseSnapshot() {
    if (!m_baseSnapshot) {
        m_baseSnapshot = std::make_unique<TrackBaseSnapshot>();
    }
    return *m_baseSnapshot;
}

ITrack* SpaceObject::UnbindTrack(float blend) {
    ITrack* previous = GetTrack();
    BindTrack(nullptr, blend, true, 3, 0.0f);
    return previous;
}

ITrack* SpaceObject::GetTrack() { return m_boundTrack; }

void SpaceObject::RebaseTrack() {
    if (m_boundTrack && m_blendTotal <= 0.0f) {
        ApplyBoundTrack();
    }
}

void SpaceObject::DropFadingTrack() {
    if (m_fadingTrack) {
        m_fadingTrack->Stop();
        Release(m_fadingTrack);
    }
    m_fadingTrack = nullptr;
    m_blendTotal = 0.0f;
    m_blendRemaining = 0.0f;
    m_fadingBindMode = 0;
    if (m_applyFlag) {
        ApplyBoundTrack();
    }
}

void SpaceObject::ApplyBoundTrack() {
    if (!m_boundTrack) {
        return;
    }
    Matrix t;
    m_boundTrack->GetTransformMatrix(t, true);
    const std::uint16_t mode = m_bindMode;
    if (mode == 3) {
        MatrixNormalizeAxes(t);  // a mirroring scale leaves a proper rotation
    } else if (mode == 1) {
        const Vec3 translation = t.Row(3);
        MatrixIdentity(t);
        t.Row(3) = translation;
    } else if (mode != 7) {
        if (!(mode & 2)) MatrixRemoveScale(t);
        if (!(mode & 1)) t.Row(3) = Vec3{0.0f, 0.0f, 0.0f};
    }
    // The track continues from where the object stands: base = local x inverse(T). A track
    // whose transform has collapsed cannot be inverted and keeps its base.
    if (!MatrixInverseRegular(t)) return;
    Matrix local;
    GetLocalMatrix(local);
    MatrixMultiplyFast(local, t, local);
    m_boundTrack->SetBaseMatrix(local);
}

void SpaceObject::ApplyTrackChannels() {
    if (!m_boundTrack) {
        return;
    }
    GetTrackTransformByMode(m_boundTrack, m_bindMode, &m_transform->position, &m_transform->rotation,
                            &m_transform->scale);
}

namespace {
// What one update takes off a cross-fade's remaining time.
float CrossFadeStep(TrackBase* bound) {
    return static_cast<float>(GetFrameMilliseconds() * (bound ? bound->GetSpeed() : 1.0f));
}
}  // namespace

void SpaceObject::EndCrossFade() {
    DropFadingTrack();
    // The fade ends on the new track itself, even one that does not move this frame.
    if (m_boundTrack && !m_applyFlag) {
        ApplyTrackChannels();
        InvalidateTransform();
    }
}

bool SpaceObject::DriveCrossFade(float total, float remaining) {
    if (!(m_blendRemaining > 0.0f)) return false;
    if (remaining <= 0.0f || !(total > 0.0f)) {
        EndCrossFade();
        return true;
    }
    // The next update takes its own step off first: it then blends at remaining / total.
    m_blendTotal = total;
    m_blendRemaining = remaining + CrossFadeStep(m_boundTrack);
    return true;
}

bool SpaceObject::UpdateCrossFade() {
    m_blendRemaining -= CrossFadeStep(m_boundTrack);
    if (m_blendRemaining <= 0.0f || !(m_blendTotal > 0.0f)) {
        EndCrossFade();
        return false;
    }
    const float f = m_blendRemaining / m_blendTotal;
    if (m_applyFlag) {
        // Whole matrices: each side's transform (with its base) as a key.
        TransformKey a, b;
        Matrix m;
        if (m_fadingTrack) {
            m_fadingTrack->Advance();
            m_fadingTrack->GetTransformMatrix(m, false);
            TransformKeyFromMatrix(m, a);
        } else {
            const TrackBaseSnapshot& s = BaseSnapshot();
            a.position = s.position;
            a.rotation = s.rotation;
            a.scale = s.scale;
        }
        if (m_boundTrack) {
            m_boundTrack->Advance();
            m_boundTrack->GetTransformMatrix(m, false);
        } else {
            GetLocalMatrix(m);
        }
        TransformKeyFromMatrix(m, b);
        BlendTransformKey(b, a, f);
        TransformKey::ToMatrix(b, m);
        SetTransformFromMatrix(m);
        return true;
    }
    TransformKey a, b;
    bool aHas[3] = {true, true, true};
    bool bHas[3] = {true, true, true};
    if (m_fadingTrack) {
        m_fadingTrack->Advance();
        KeyFromTrack(m_fadingTrack, m_fadingBindMode, a, aHas);
    } else {
        const TrackBaseSnapshot& s = BaseSnapshot();
        a.position = s.position;
        a.rotation = s.rotation;
        a.scale = s.scale;
    }
    if (m_boundTrack) {
        m_boundTrack->Advance();
        KeyFromTrack(m_boundTrack, m_bindMode, b, bHas);
    } else {
        b.position = m_transform->position;
        MatrixToQuaternion(m_transform->rotation, b.rotation);
        b.scale = m_transform->scale;
    }
    // A part only one side drives does not blend: the other side takes its value.
    TransformKey current;
    current.position = m_transform->position;
    MatrixToQuaternion(m_transform->rotation, current.rotation);
    current.scale = m_transform->scale;
    auto share = [&](int i, auto member) {
        if (aHas[i] && !bHas[i]) b.*member = a.*member;
        else if (bHas[i] && !aHas[i]) a.*member = b.*member;
        else if (!aHas[i] && !bHas[i]) a.*member = b.*member = current.*member;
    };
    share(0, &TransformKey::position);
    share(1, &TransformKey::rotation);
    share(2, &TransformKey::scale);
    BlendTransformKey(b, a, f);
    if (aHas[0] || bHas[0]) m_transform->position = b.position;
    if (aHas[1] || bHas[1]) QuaternionToMatrix(b.rotation, m_transform->rotation);
    if (aHas[2] || bHas[2]) m_transform->scale = b.scale;
    return true;
}

void SpaceObject::Update() {
    if (m_blendRemaining > 0.0f && UpdateCrossFade()) {
        InvalidateTransform();
        return;
    }
    if (m_boundTrack && m_boundTrack->Advance()) {
        ApplyTrackChannels();
        InvalidateTransform();
    }
}

}  // namespace quor::world
