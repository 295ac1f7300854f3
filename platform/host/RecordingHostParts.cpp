#include "platform/host/RecordingHostParts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/host/IResFileSystem.h"

namespace quor::host {

// What sounds and events share: the playing flag the audio can end, and the log of calls.
class RecordingAudio::Player {
public:
    explicit Player(RecordingAudio& audio) : m_audio(audio) {
        std::lock_guard<std::mutex> lock(audio.m_mutex);
        audio.m_playing.push_back(&m_isPlaying);
    }
    ~Player() {
        std::lock_guard<std::mutex> lock(m_audio.m_mutex);
        auto& list = m_audio.m_playing;
        list.erase(std::remove(list.begin(), list.end(), &m_isPlaying), list.end());
    }
    void Play() {
        m_audio.Note("Play");
        std::lock_guard<std::mutex> lock(m_audio.m_mutex);
        m_isPlaying = true;
    }
    void Stop() {
        m_audio.Note("Stop");
        std::lock_guard<std::mutex> lock(m_audio.m_mutex);
        m_isPlaying = false;
    }
    bool IsPlaying() {
        std::lock_guard<std::mutex> lock(m_audio.m_mutex);
        return m_isPlaying;
    }
    void SetVolume(float volume) { m_audio.Note("SetVolume " + Format(volume)); }
    void Set3DAttributes(const float p[3], const float v[3]) {
        m_audio.Note("Set3DAttributes " + Format(p[0]) + "," + Format(p[1]) + "," + Format(p[2]) + " " +
                     Format(v[0]) + "," + Format(v[1]) + "," + Format(v[2]));
    }

private:
    static std::string Format(float f) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", static_cast<double>(f));
        return text;
    }
    RecordingAudio& m_audio;
    bool m_isPlaying = false;
};

// A played object of the audio: a sound source (ISound) or a project's event (ISoundEvent), which
// the host offers alike.
template <class Interface>
class RecordingAudio::Played final : public Interface {
public:
    Played(RecordingAudio& audio, std::atomic<int>& live) : m_player(audio), m_live(live) { ++m_live; }
    void Release() override {
        --m_live;
        delete this;
    }
    void Play() override { m_player.Play(); }
    void Stop() override { m_player.Stop(); }
    bool IsPlaying() override { return m_player.IsPlaying(); }
    void SetVolume(float volume) override { m_player.SetVolume(volume); }
    void Set3DAttributes(const float p[3], const float v[3]) override { m_player.Set3DAttributes(p, v); }

private:
    ~Played() = default;
    Player m_player;
    std::atomic<int>& m_live;
};

class RecordingAudio::Project final : public client::ISoundProject {
public:
    explicit Project(std::atomic<int>& live) : m_live(live) { ++m_live; }
    void Release() override {
        --m_live;
        delete this;
    }

private:
    ~Project() = default;
    std::atomic<int>& m_live;
};

void RecordingAudio::Note(const std::string& call) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(call);
}

std::vector<std::string> RecordingAudio::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

int RecordingAudio::CountCalls(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const std::string& call : m_calls)
        if (call.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

void RecordingAudio::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

int RecordingAudio::Playing() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count_if(m_playing.begin(), m_playing.end(), [](bool* p) { return *p; }));
}

void RecordingAudio::EndAll() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (bool* playing : m_playing) *playing = false;
}

void RecordingAudio::GetListenerInfo(float* volumeFactor, float* distanceFactor) {
    Note("GetListenerInfo");
    if (volumeFactor) *volumeFactor = listenerVolume;
    if (distanceFactor) *distanceFactor = 1.0f;
}

client::ISoundProject* RecordingAudio::CreateSoundSource(const char* projectFile) {
    Note(std::string("CreateSoundSource ") + (projectFile ? projectFile : ""));
    if (!projectFile || refuseProjects.load()) return nullptr;
    return new Project(m_liveProjects);
}

client::ISoundEvent* RecordingAudio::CreateSoundEvent(const char* name) {
    Note(std::string("CreateSoundEvent ") + (name ? name : ""));
    if (!name || !*name) return nullptr;
    return new Played<client::ISoundEvent>(*this, m_liveEvents);
}

client::ISound* RecordingAudio::LoadSound(const char* path, int a, int b) {
    ++m_loads;
    Note(std::string("LoadSound ") + (path ? path : "") + " " + std::to_string(a) + " " + std::to_string(b));
    if (!path || !m_files) return nullptr;
    common::IResFile* file = m_files->OpenFile(path, 0);
    if (!file) return nullptr;
    // A sound is a RIFF file; anything else is refused as a real audio system would.
    const bool riff = file->GetSize() >= 12 && std::memcmp(file->GetData(), "RIFF", 4) == 0;
    file->Close();
    return riff ? new Played<client::ISound>(*this, m_live) : nullptr;
}

}  // namespace quor::host
