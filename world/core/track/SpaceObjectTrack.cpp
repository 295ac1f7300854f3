// The track side of SpaceObject: binding, rebasing, the per-frame step and the cross-fade.
//
// The track classes (TrackBase and its kinds) are not part of the build yet. Until they are,
// no track can be bound: BindTrack refuses any track and answers the unbinding forms, and the
// other steps find no bound or fading track and change nothing. Each place that will talk to
// a track is marked where it stands in the algorithm.
#include "world/core/SpaceObject.h"

namespace quor::world {

namespace {
constexpr float kBlendEpsilon = 1e-4f;
}

bool SpaceObject::BindTrack(ITrack* track, float blend, bool apply, std::uint16_t mode,
                            float start) {
    (void)start;
    if (mode == 0) {
        return false;
    }
    if (track) {
        // Taking the track as a TrackBase (and refusing one in use elsewhere) needs the track
        // classes.
        return false;
    }
    if (m_blendRemaining > kBlendEpsilon && !apply) {
        blend = 0.0f;
    }
    if (blend < kBlendEpsilon) {
        // Releasing the bound track (its in-use flag) belongs to the track classes.
        m_boundTrack = nullptr;
        m_bindMode = 0;
    } else {
        m_fadingTrack = m_boundTrack;
        m_fadingBindMode = mode;
        m_blendTotal = blend;
        m_blendRemaining = blend;
    }
    m_applyFlag = apply ? 1 : 0;
    m_boundTrack = nullptr;
    if (!m_fadingTrack) {
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

ITrack* SpaceObject::GetTrack() {
    // The ITrack face of the bound track comes with the track classes; nothing is bound yet.
    return nullptr;
}

void SpaceObject::RebaseTrack() {
    if (m_boundTrack && m_blendTotal <= 0.0f) {
        ApplyBoundTrack();
    }
}

void SpaceObject::DropFadingTrack() {
    // Stopping and releasing the fading track belongs to the track classes.
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
    // Rebasing the track's base matrix on the local matrix belongs to the track classes.
}

void SpaceObject::ApplyTrackChannels() {
    if (!m_boundTrack) {
        return;
    }
    // Writing the track's local transform channels belongs to the track classes.
}

bool SpaceObject::UpdateCrossFade() {
    if (!m_boundTrack && !m_fadingTrack) {
        DropFadingTrack();
        return false;
    }
    // Blending the fading and the bound track belongs to the track classes.
    return false;
}

void SpaceObject::Update() {
    if (m_blendRemaining > 0.0f && UpdateCrossFade()) {
        InvalidateTransform();
        return;
    }
    // Advancing a bound track and applying its channels belongs to the track classes.
}

}  // namespace quor::world
