#include "world/scene/Speaker.h"

#include <algorithm>
#include <cstring>

#include "platform/host/IAudio.h"
#include "world/core/GeoObject.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/scene/SceneAudio.h"

namespace quor::world {

namespace {

const char kNoAudio[] = "Failed to load audio resource: %s! Audio module not loaded.";

// Copies a path that fits; a longer one is refused rather than cut into another file's name.
bool CopyPath(char (&out)[kAudioPathLimit + 1], const char* path) {
    const std::size_t n = std::strlen(path);
    if (n > kAudioPathLimit) {
        LogWarning("Audio path too long (%zu bytes): %.64s...", n, path);
        return false;
    }
    std::memcpy(out, path, n + 1);
    return true;
}

template <class T>
void ReleaseHandle(T*& handle) {
    if (!handle) return;
    handle->Release();
    handle = nullptr;
}

}  // namespace

bool IsEventName(const char* name) {
    if (!name) return false;
    const std::size_t n = std::strlen(name);
    for (std::size_t i = n; i > 1; --i) {
        const char c = name[i - 1];
        if (c == '.') return false;
        if (c == '/' || c == '\\') return true;
    }
    return true;
}

GeoObject* MakeAreaShape(std::uint32_t kind) {
    switch (kind) {
        case GeoObject::kSphere:
            return NewObject<GeoSphere>();
        case GeoObject::kCylinder:
            return NewObject<GeoCylinder>();
        case GeoObject::kCuboid:
            return NewObject<GeoCuboid>();
        default:
            return nullptr;
    }
}

// --- Speaker ---------------------------------------------------------------------------------------

Speaker::Speaker() = default;

Speaker::~Speaker() {
    ReleaseSounds();
    delete m_shape;
    m_shape = nullptr;
}

void Speaker::ReleaseSounds() {
    ReleaseHandle(m_sound);
    ReleaseHandle(m_soundEvent);
    ReleaseHandle(m_effectEvent);
}

bool Speaker::LoadSound(const char* path, std::uint32_t type, std::uint32_t shape) {
    m_soundType = type;
    if (m_sound) {
        m_sound->Stop();
        ReleaseHandle(m_sound);
    }
    if (m_soundEvent) {
        m_soundEvent->Stop();
        ReleaseHandle(m_soundEvent);
    }
    if (!path) return false;
    if (!Interfaces().audio) {
        LogWarning(kNoAudio, path);
        return false;
    }
    if (!*path) {
        m_soundPath[0] = '\0';
        return false;
    }
    if (std::strlen(path) > kAudioPathLimit) return CopyPath(m_soundPath, path);
    if (!m_shape) SetAreaShape(shape);
    return CopyPath(m_soundPath, path);
}

bool Speaker::LoadEffect(const char* path) {
    if (!path) return false;
    if (!Interfaces().audio) {
        LogWarning(kNoAudio, path);
        return false;
    }
    if (std::strcmp(path, m_effectPath) == 0) return true;
    ReleaseHandle(m_effectEvent);
    if (!*path) {
        m_effectPath[0] = '\0';
        return true;
    }
    if (!IsEventName(path)) return false;
    return CopyPath(m_effectPath, path);
}

void Speaker::SetSoundVector(float x, float y, float z) {
    m_soundVector[0] = x;
    m_soundVector[1] = y;
    m_soundVector[2] = z;
}

void Speaker::PrepareSounds() {
    client::IAudio* audio = Interfaces().audio;
    if (!audio) return;
    if (!m_sound && !m_soundEvent && m_soundPath[0]) {
        if (IsEventName(m_soundPath))
            m_soundEvent = audio->CreateSoundEvent(m_soundPath);
        else
            m_sound = audio->LoadSound(m_soundPath, static_cast<int>(m_soundType), 0);
    }
    if (!m_effectEvent && m_effectPath[0]) m_effectEvent = audio->CreateSoundEvent(m_effectPath);
}

void Speaker::Start() {
    PrepareSounds();
    if (m_sound) m_sound->Play();
    if (m_soundEvent && !m_soundEvent->Play()) LogInfo("Sound event %s did not start.", m_soundPath);
    if (m_effectEvent && !m_effectEvent->Play()) LogInfo("Sound event %s did not start.", m_effectPath);
}

void Speaker::Stop() {
    if (m_sound) m_sound->Stop();
    if (m_soundEvent) m_soundEvent->Stop();
    if (m_effectEvent) m_effectEvent->Stop();
}

bool Speaker::GetPlayState() {
    if (m_sound) return m_sound->IsPlaying();
    if (m_soundEvent) return m_soundEvent->IsPlaying();
    if (m_effectEvent) return m_effectEvent->IsPlaying();
    return false;
}

void Speaker::SetSoundType(std::uint32_t type) {
    if (!m_sound) return;
    const std::uint32_t old = m_soundType;
    if (!m_shape && (old & 8)) m_shape = MakeAreaShape(GeoObject::kSphere);
    const bool switchesList = ((old & 8) && (type & 4)) || ((old & 4) && (type & 8));
    // A speaker that no section holds has no lists to move between: only the type changes.
    if (switchesList && m_owner) {
        SceneAudio* owner = m_owner;
        owner->RemoveSpeaker(this);
        m_soundType = type;
        owner->AddSpeaker(this, true);
        return;
    }
    m_soundType = type;
}

bool Speaker::GetModeFlag() {
    if (m_sound) return (m_sound->GetMode() & 8) != 0;
    if (m_soundEvent) return m_soundEvent->GetModeFlag();
    return false;
}

void Speaker::SetAreaShape(std::uint32_t kind) {
    if (m_shape && m_shape->GetKind() == kind) return;
    delete m_shape;
    m_shape = MakeAreaShape(kind);
}

void Speaker::SetVisible(bool visible, bool recursive) {
    VisibleObject::SetVisible(visible, recursive);
    m_visible = visible ? 1 : 0;
}

void Speaker::Update() {
    VisibleObject::Update();
    if (IsTransformChanged()) {
        Vec3 position;
        GetWorldPosition(position);
        const float p[3] = {position.x, position.y, position.z};
        if (m_sound && m_sound->IsPlaying()) m_sound->Set3DAttributes(p, m_soundVector);
        if (m_soundEvent && m_soundEvent->IsPlaying()) m_soundEvent->Set3DAttributes(p, m_soundVector);
        if (m_shape) m_shape->SetTransform(GetWorldMatrix());
        ClearTransformChanged();
    }
    if (m_sound && !m_sound->IsPlaying()) ReleaseHandle(m_sound);
    if (m_soundEvent && !m_soundEvent->IsPlaying()) ReleaseHandle(m_soundEvent);
    if (m_effectEvent && !m_effectEvent->IsPlaying()) ReleaseHandle(m_effectEvent);
}

void Speaker::SetHideFlags(bool set, std::uint16_t flags, bool recursive) {
    if (set && (flags & 2)) Stop();
    if (!recursive) return;
    for (std::size_t i = 0; i < Children().size(); ++i) Children()[i]->SetHideFlags(set, flags, recursive);
}

void Speaker::SetActive(bool active) {
    m_sceneActive = active ? 1 : 0;
    if (!active) {
        if (m_sound) {
            if (m_sound->IsPlaying()) {
                m_wasPlaying = 1;
                m_sound->SetPaused(true);
            } else {
                m_wasPlaying = 0;
            }
        }
        if (m_soundEvent) {
            if (m_soundEvent->IsPlaying()) {
                m_wasPlaying = 1;
                m_soundEvent->Stop();
                if (m_effectEvent) m_effectEvent->Stop();
            } else {
                m_wasPlaying = 0;
            }
        }
        return;
    }
    if (!m_wasPlaying) return;
    if (m_sound) m_sound->SetPaused(false);
    if (m_soundEvent) m_soundEvent->Play();
    if (m_effectEvent) m_effectEvent->Play();
}

// --- AreaReverb ------------------------------------------------------------------------------------

AreaReverb::~AreaReverb() {
    // The host reverb would stay on after its zone is gone: give it back with the shape.
    ReleaseHandle(m_reverb);
    delete m_shape;
    m_shape = nullptr;
}

bool AreaReverb::CreateReverb(const char* name) {
    client::IAudio* audio = Interfaces().audio;
    if (!audio) return false;
    ReleaseHandle(m_reverb);
    m_name[0] = '\0';
    if (!name || std::strlen(name) > kAudioPathLimit) return false;
    m_reverb = audio->CreateReverb(name);
    if (!m_reverb) return false;
    std::memcpy(m_name, name, std::strlen(name) + 1);
    return true;
}

void AreaReverb::SetAreaShape(std::uint32_t kind) {
    if (m_shape && m_shape->GetKind() == kind) return;
    delete m_shape;
    m_shape = MakeAreaShape(kind);
}

void AreaReverb::SetRadii(float inner, float outer) {
    m_outer = std::max(outer, 0.0f);
    m_inner = std::min(std::max(inner, 0.0f), m_outer);
    InvalidateTransform();
}

void AreaReverb::GetRadii(float* inner, float* outer) {
    if (inner) *inner = m_inner;
    if (outer) *outer = m_outer;
}

void AreaReverb::SetVisible(bool visible, bool recursive) {
    SpaceObject::SetVisible(visible, recursive);
    m_visible = visible ? 1 : 0;
}

void AreaReverb::Update() {
    SpaceObject::Update();
    if (!IsTransformChanged()) return;
    Vec3 position;
    GetWorldPosition(position);
    const float p[3] = {position.x, position.y, position.z};
    if (m_reverb) m_reverb->Set3DAttributes(p, m_inner, m_outer);
    if (m_shape) m_shape->SetTransform(GetWorldMatrix());
    ClearTransformChanged();
}

void AreaReverb::SetSceneActive(bool active) {
    if (!m_reverb) return;
    if (!active) {
        m_wasActive = m_reverb->IsActive() ? 1 : 0;
        return;
    }
    if (m_wasActive) m_reverb->SetActive(true);
}

}  // namespace quor::world
