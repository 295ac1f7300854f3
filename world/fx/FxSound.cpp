#include "world/fx/FxSound.h"

#include "platform/host/IAudio.h"
#include "platform/host/IXmlNode.h"
#include "world/core/InterfaceTable.h"
#include "world/core/XmlNodePtr.h"

namespace quor::world {

namespace {

std::string ReadString(common::IXmlNode* node, const char* name) {
    char text[260] = {};
    node->GetStringAttribute("", name, text, sizeof text, "");
    text[sizeof text - 1] = '\0';
    return text;
}

}  // namespace

// --- FxSound ---------------------------------------------------------------------------------

bool FxSound::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxBase::LoadFromXml(node, flags)) return false;
    m_volume = node->GetIntAttribute("", "Volume", 100);
    m_minDistance = node->GetFloatAttribute("", "MinDis", 0.0f);
    m_maxDistance = node->GetFloatAttribute("", "MaxDis", 1.0f);
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    ReadXmlFloat3(node, "", "Velocity", m_velocity, zero);
    m_soundFile = ReadString(node, "FileName");
    if (m_soundFile.empty() || !Interfaces().audio) {
        m_loaded = 0;
        return false;
    }
    m_state = kFxPlaying;
    m_loaded = 1;
    return true;
}

void FxSound::Deactivate() {
    FxBase::Deactivate();
    m_state = m_linger ? kFxFinishing : kFxInactive;
}

void FxSound::SyncToParentTime(float t) {
    const float end = m_startTime + m_lifeSpan;
    if (m_state == kFxReady) {
        if (!m_firstSyncDone) {
            m_firstSyncDone = 1;
            t = 0.0f;
        }
        if (m_startTime < t && t < end) SetPlaying(true);
    } else if (m_state == kFxPlaying) {
        if (t <= m_startTime || (t > end && !m_endlessPlay))
            SetPlaying(false);
        else if (!m_soundStarted)
            SetPlaying(false);
    }
}

bool FxSound::TakeMovedPosition(float position[3]) {
    Vec3 p;
    GetWorldPosition(p);
    position[0] = p.x, position[1] = p.y, position[2] = p.z;
    const bool moved = p.x != m_lastPosition[0] || p.y != m_lastPosition[1] || p.z != m_lastPosition[2];
    for (int i = 0; i < 3; ++i) m_lastPosition[i] = position[i];
    return moved;
}

// --- FxSoundCommon ---------------------------------------------------------------------------

FxSoundCommon::FxSoundCommon() { m_kind = kFxKindSound; }

FxSoundCommon::~FxSoundCommon() { ReleaseSource(); }

bool FxSoundCommon::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxSound::LoadFromXml(node, flags)) return false;
    m_stream = node->GetBoolAttribute("", "IsStream", true) ? 1 : 0;
    m_hardware = node->GetBoolAttribute("", "IsHDAccelerate", true) ? 1 : 0;
    const int soundFlags = 4 + (m_loop ? 1 : 0) + (m_hardware ? 16 : 0) + (m_stream ? 2 : 0);
    client::IAudio* audio = Interfaces().audio;
    ReleaseSource();
    m_source = audio->LoadSound(m_soundFile.c_str(), soundFlags, 0);
    if (!m_source) {
        m_loaded = 0;
        return false;
    }
    float factor = 1.0f;
    audio->GetListenerInfo(&factor, nullptr);
    m_source->SetVolume(static_cast<float>(m_volume) * factor);
    float position[3];
    TakeMovedPosition(position);
    m_source->Set3DAttributes(position, m_velocity);
    m_loaded = 1;
    return true;
}

void FxSoundCommon::SetPlaying(bool play) {
    FxBase::SetPlaying(play);
    if (!m_source) return;
    if (play) {
        m_source->Play();
        m_soundStarted = 1;
    } else {
        m_source->Stop();
    }
}

void FxSoundCommon::Reset() {
    FxBase::Reset();
    if (!m_source) return;
    m_source->Stop();
    m_source->Play();
}

void FxSoundCommon::Deactivate() {
    FxSound::Deactivate();
    if (m_linger && m_loop && m_source && m_source->IsPlaying()) m_source->Stop();
}

void FxSoundCommon::Update() {
    FxBase::Update();
    if (!m_source) return;
    const bool playing = m_source->IsPlaying();
    if (m_state == kFxFinishing && !playing) m_state = kFxInactive;
    if (!playing) return;
    float position[3];
    if (m_state != kFxPlaying)
        m_source->Stop();
    else if (TakeMovedPosition(position))
        m_source->Set3DAttributes(position, m_velocity);
}

void FxSoundCommon::ReleaseSource() {
    client::ISound* source = m_source;
    m_source = nullptr;
    if (!source) return;
    // A stopped source is still held: it is released too.
    if (source->IsPlaying()) source->Stop();
    source->Release();
}

void FxSoundCommon::Release() {
    FxBase::Release();
    m_soundStarted = 0;
    ReleaseSource();
}

// --- FxSoundEventDrive -----------------------------------------------------------------------

FxSoundEventDrive::FxSoundEventDrive() { m_kind = kFxKindSoundEvent; }

FxSoundEventDrive::~FxSoundEventDrive() { ReleaseAudio(); }

bool FxSoundEventDrive::LoadFromXml(common::IXmlNode* node, std::uint32_t flags) {
    if (!FxSound::LoadFromXml(node, flags)) return false;
    m_eventName = ReadString(node, "EventName");
    if (m_eventName.empty()) {
        m_loaded = 0;
        return false;
    }
    return true;
}

void FxSoundEventDrive::CreateEvent() {
    client::IAudio* audio = Interfaces().audio;
    if (m_event || !audio || m_soundFile.empty() || m_eventName.empty()) return;
    if (!m_project) m_project = audio->CreateSoundSource(m_soundFile.c_str());
    if (!m_project) return;
    m_event = audio->CreateSoundEvent(m_eventName.c_str());
    if (!m_event) return;
    m_event->SetVolume(static_cast<float>(m_volume) * 0.01f);
    float position[3];
    TakeMovedPosition(position);
    m_event->Set3DAttributes(position, m_velocity);
}

void FxSoundEventDrive::ReleaseEvent() {
    client::ISoundEvent* event = m_event;
    m_event = nullptr;
    if (!event) return;
    if (event->IsPlaying()) event->Stop();
    event->Release();
}

void FxSoundEventDrive::ReleaseAudio() {
    ReleaseEvent();
    if (m_project) {
        m_project->Release();
        m_project = nullptr;
    }
}

void FxSoundEventDrive::SetPlaying(bool play) {
    FxBase::SetPlaying(play);
    if (play) {
        CreateEvent();
        if (!m_event) return;
        m_event->Play();
        m_soundStarted = 1;
    } else {
        ReleaseEvent();
    }
}

void FxSoundEventDrive::Reset() {
    FxBase::Reset();
    CreateEvent();
    if (!m_event) return;
    m_event->Stop();
    m_event->Play();
}

void FxSoundEventDrive::Deactivate() {
    FxSound::Deactivate();
    if (!m_linger)
        ReleaseEvent();
    else if (m_loop && m_event && m_event->IsPlaying())
        m_event->Stop();
}

void FxSoundEventDrive::Update() {
    FxBase::Update();
    const bool playing = m_event && m_event->IsPlaying();
    if (m_state == kFxFinishing && !playing) m_state = kFxInactive;
    if (!m_event) return;
    float position[3];
    if (playing) {
        if (m_state != kFxPlaying)
            m_event->Stop();
        else if (TakeMovedPosition(position))
            m_event->Set3DAttributes(position, m_velocity);
    }
    if (!m_event->IsPlaying()) ReleaseEvent();
}

void FxSoundEventDrive::Release() {
    FxBase::Release();
    m_soundStarted = 0;
    ReleaseAudio();
}

}  // namespace quor::world
