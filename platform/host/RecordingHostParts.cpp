#include "platform/host/RecordingHostParts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/host/IResFileSystem.h"

namespace quor::host {

namespace {

std::string FormatFloat(float f) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(f));
    return text;
}

std::string FormatVec(const float v[3]) {
    return FormatFloat(v[0]) + "," + FormatFloat(v[1]) + "," + FormatFloat(v[2]);
}

}  // namespace

// What every object of the audio shares: its name, whether it was released, and its state; all
// read and written under the audio's lock.
class RecordingAudio::Item {
public:
    Item(RecordingAudio& audio, std::string name, std::atomic<int>& live, bool played)
        : m_audio(audio), name(std::move(name)), m_live(live), played(played) {
        ++m_live;
    }
    virtual ~Item() = default;
    void Note(const std::string& call) { m_audio.Note(call, name); }
    // Counts a second release instead of acting on it.
    void ReleaseItem() {
        Note("Release");
        std::lock_guard<std::mutex> lock(m_audio.m_mutex);
        if (released) {
            ++m_audio.m_badReleases;
            return;
        }
        released = true;
        playing = false;
        --m_live;
    }
    void SetPlaying(bool value) {
        std::lock_guard<std::mutex> lock(m_audio.m_mutex);
        playing = value;
    }
    bool GetPlaying() {
        std::lock_guard<std::mutex> lock(m_audio.m_mutex);
        return playing;
    }

    RecordingAudio& m_audio;
    const std::string name;
    std::atomic<int>& m_live;
    const bool played;
    bool released = false;
    bool playing = false;
    bool active = false;
    std::uint32_t mode = 0;
};

class RecordingAudio::Sound final : public client::ISound, public Item {
public:
    Sound(RecordingAudio& audio, std::string name, std::uint32_t loadMode) : Item(audio, std::move(name), audio.m_live, true) {
        mode = loadMode;
    }
    void Release() override { ReleaseItem(); }
    void Play() override {
        Note("Play");
        SetPlaying(true);
    }
    void Stop() override {
        Note("Stop");
        SetPlaying(false);
    }
    bool IsPlaying() override { return GetPlaying(); }
    void SetVolume(float volume) override { Note("SetVolume " + FormatFloat(volume)); }
    void Set3DAttributes(const float p[3], const float v[3]) override {
        Note("Set3DAttributes " + FormatVec(p) + " " + FormatVec(v));
    }
    std::uint32_t GetMode() override { return mode; }
    void SetPaused(bool paused) override { Note(paused ? "SetPaused 1" : "SetPaused 0"); }
};

class RecordingAudio::Event final : public client::ISoundEvent, public Item {
public:
    Event(RecordingAudio& audio, std::string name) : Item(audio, std::move(name), audio.m_liveEvents, true) {}
    void Release() override { ReleaseItem(); }
    bool Play() override {
        Note("Play");
        if (m_audio.refuseEventPlay.load()) return false;
        SetPlaying(true);
        return true;
    }
    void Stop() override {
        Note("Stop");
        SetPlaying(false);
    }
    bool IsPlaying() override { return GetPlaying(); }
    void SetVolume(float volume) override { Note("SetVolume " + FormatFloat(volume)); }
    void Set3DAttributes(const float p[3], const float v[3]) override {
        Note("Set3DAttributes " + FormatVec(p) + " " + FormatVec(v));
    }
    bool GetModeFlag() override { return false; }
};

class RecordingAudio::Reverb final : public client::IReverb, public Item {
public:
    Reverb(RecordingAudio& audio, std::string name) : Item(audio, std::move(name), audio.m_liveReverbs, false) {}
    void Set3DAttributes(const float p[3], float inner, float outer) override {
        Note("Set3DAttributes " + FormatVec(p) + " " + FormatFloat(inner) + " " + FormatFloat(outer));
    }
    void SetActive(bool value) override {
        Note(value ? "SetActive 1" : "SetActive 0");
        std::lock_guard<std::mutex> lock(m_audio.m_mutex);
        active = value;
    }
    bool IsActive() override {
        std::lock_guard<std::mutex> lock(m_audio.m_mutex);
        return active;
    }
    void Release() override { ReleaseItem(); }
};

class RecordingAudio::Project final : public client::ISoundProject, public Item {
public:
    Project(RecordingAudio& audio, std::string name) : Item(audio, std::move(name), audio.m_liveProjects, false) {}
    void Release() override { ReleaseItem(); }
};

class RecordingAudio::LoadedProject final : public client::IAudioProject, public Item {
public:
    LoadedProject(RecordingAudio& audio, std::string name)
        : Item(audio, std::move(name), audio.m_liveProjects, false) {}
    void Release() override { ReleaseItem(); }
    const char* GetPath() override { return name.c_str(); }
};

RecordingAudio::~RecordingAudio() {
    for (Item* item : m_items) delete item;
}

template <class T>
T* RecordingAudio::Keep(T* item) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_items.push_back(item);
    return item;
}

void RecordingAudio::Note(const std::string& call, const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(call);
    m_namedCalls.push_back(name.empty() ? call : name + ": " + call);
}

bool RecordingAudio::Refused(const char* name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::find(m_refused.begin(), m_refused.end(), name) != m_refused.end();
}

void RecordingAudio::Refuse(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refused.push_back(name);
}

void RecordingAudio::StopMusic() { Note("StopMusic"); }

void RecordingAudio::LoadSoundConfig(const char* text) {
    const std::string config = text ? text : "";
    Note("LoadSoundConfig " + std::to_string(config.size()) + " bytes");
    std::lock_guard<std::mutex> lock(m_mutex);
    m_soundConfig = config;
}

std::string RecordingAudio::SoundConfig() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_soundConfig;
}

void RecordingAudio::AddSoundKey(std::int32_t key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_soundKeys.push_back(key);
}

bool RecordingAudio::GetSoundInfo(std::int32_t key, void* info) {
    Note("GetSoundInfo " + std::to_string(key));
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::int32_t k : m_soundKeys) known = known || k == key;
    }
    if (!known || !info) return false;
    std::memset(info, 0, kSoundInfoSize);
    std::memcpy(info, &key, sizeof key);
    return true;
}

std::uint32_t RecordingAudio::PlaySoundAt(const void* info, int x, int y) {
    std::int32_t key = 0;
    if (info) std::memcpy(&key, info, sizeof key);
    Note("PlaySoundAt " + std::to_string(key) + " " + std::to_string(x) + " " + std::to_string(y));
    if (!info) return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    return ++m_playHandles;
}

void RecordingAudio::SetListenerArea(int width, int height) {
    Note("SetListenerArea " + std::to_string(width) + " " + std::to_string(height));
}

void RecordingAudio::SetListenerOrigin(int x, int y) {
    Note("SetListenerOrigin " + std::to_string(x) + " " + std::to_string(y));
}

std::intptr_t RecordingAudio::Forward31(std::intptr_t a, std::intptr_t b) {
    Note("Forward31");
    return a + b + 31;
}

std::intptr_t RecordingAudio::Forward32(std::intptr_t a, std::intptr_t b) {
    Note("Forward32");
    return a + b + 32;
}

void RecordingAudio::SetListener(float x, float y, float z) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listener[0] = x;
    m_listener[1] = y;
    m_listener[2] = z;
}

std::vector<std::string> RecordingAudio::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

std::vector<std::string> RecordingAudio::NamedCalls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_namedCalls;
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
    m_namedCalls.clear();
}

int RecordingAudio::Playing() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(std::count_if(m_items.begin(), m_items.end(),
                                          [](const Item* i) { return !i->released && i->playing; }));
}

std::vector<std::string> RecordingAudio::PlayingNames() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> names;
    for (const Item* i : m_items)
        if (!i->released && i->playing) names.push_back(i->name);
    return names;
}

bool RecordingAudio::IsPlaying(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Item* i : m_items)
        if (!i->released && i->playing && i->name == name) return true;
    return false;
}

bool RecordingAudio::IsReverbActive(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Item* i : m_items)
        if (!i->released && !i->played && i->active && i->name == name) return true;
    return false;
}

void RecordingAudio::EndAll() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Item* i : m_items) i->playing = false;
}

void RecordingAudio::End(const std::string& name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Item* i : m_items)
        if (i->name == name) i->playing = false;
}

void RecordingAudio::GetListenerInfo(float* volumeFactor, float* distanceFactor) {
    Note("GetListenerInfo");
    if (volumeFactor) *volumeFactor = listenerVolume;
    if (distanceFactor) *distanceFactor = 1.0f;
}

void RecordingAudio::GetListenerAttributes(float position[3], float velocity[3], float forward[3], float up[3]) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (position)
        for (int i = 0; i < 3; ++i) position[i] = m_listener[i];
    if (velocity) velocity[0] = velocity[1] = velocity[2] = 0.0f;
    if (forward) forward[0] = 0.0f, forward[1] = 0.0f, forward[2] = 1.0f;
    if (up) up[0] = 0.0f, up[1] = 1.0f, up[2] = 0.0f;
}

client::ISoundProject* RecordingAudio::CreateSoundSource(const char* projectFile) {
    Note(std::string("CreateSoundSource ") + (projectFile ? projectFile : ""));
    if (!projectFile || refuseProjects.load() || Refused(projectFile)) return nullptr;
    return Keep(new Project(*this, projectFile));
}

client::ISoundEvent* RecordingAudio::CreateSoundEvent(const char* name) {
    Note(std::string("CreateSoundEvent ") + (name ? name : ""));
    if (!name || !*name || Refused(name)) return nullptr;
    return Keep(new Event(*this, name));
}

client::IReverb* RecordingAudio::CreateReverb(const char* name) {
    Note(std::string("CreateReverb ") + (name ? name : ""));
    if (!name || !*name || Refused(name)) return nullptr;
    return Keep(new Reverb(*this, name));
}

client::IAudioProject* RecordingAudio::LoadProject(const char* fullPath) {
    Note(std::string("LoadProject ") + (fullPath ? fullPath : ""));
    if (!fullPath || refuseProjects.load() || Refused(fullPath)) return nullptr;
    return Keep(new LoadedProject(*this, fullPath));
}

void RecordingAudio::Set3DSettings(float dopplerScale, float distanceFactor, float rolloffScale) {
    Note("Set3DSettings " + FormatFloat(dopplerScale) + " " + FormatFloat(distanceFactor) + " " +
         FormatFloat(rolloffScale));
}

client::ISound* RecordingAudio::LoadSound(const char* path, int a, int b) {
    ++m_loads;
    Note(std::string("LoadSound ") + (path ? path : "") + " " + std::to_string(a) + " " + std::to_string(b));
    if (!path || !m_files || Refused(path)) return nullptr;
    common::IResFile* file = m_files->OpenFile(path, 0);
    if (!file) return nullptr;
    // A sound is a RIFF file; anything else is refused as a real audio system would.
    const bool riff = file->GetSize() >= 12 && std::memcmp(file->GetData(), "RIFF", 4) == 0;
    file->Close();
    return riff ? Keep(new Sound(*this, path, static_cast<std::uint32_t>(a))) : nullptr;
}

}  // namespace quor::host
