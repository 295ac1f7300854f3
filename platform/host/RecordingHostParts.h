#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/IAudio.h"
#include "platform/host/FlatTerrain.h"
#include "platform/host/IOcclusion.h"
#include "platform/host/Terrain.h"

namespace quor::common {
class IResFileSystem;
}

namespace quor::host {

// Occlusion that records the device calls it is told.
class RecordingOcclusion final : public render::IOcclusion {
public:
    int AddOccluder(world::IVisibleObject*, const float*, const float*, const std::uint16_t*, std::uint32_t,
                    std::uint32_t, const float*, const std::uint16_t*, std::uint32_t, std::uint32_t) override {
        return 1;
    }
    void RemoveOccluder(world::IVisibleObject*) override {}
    void OnDeviceLost() override { calls.emplace_back("OnDeviceLost"); }
    void OnDeviceReset() override { calls.emplace_back("OnDeviceReset"); }
    void Initialize(void*, void*) override { calls.emplace_back("Initialize"); }

    std::vector<std::string> calls;
};

// Terrain that records what it is handed.
class RecordingTerrain final : public render::Terrain {
public:
    void Render(float a, float b, float c, float d) override {
        renders.push_back({a, b, c, d});
    }
    void SetWaterTechnique(void* technique) override { water = technique; }
    // A FlatTerrain read through `files` (platform/host/FlatTerrain.cpp).
    render::TerrainObject* CreateTerrain(const char* file) override;

    std::vector<std::vector<float>> renders;
    void* water = nullptr;
    common::IResFileSystem* files = nullptr;
    // Handed to every terrain made from now on.
    GroundPainter* painter = nullptr;
    // Every terrain made, released ones included.
    std::vector<std::unique_ptr<FlatTerrain>> terrains;
    int LiveTerrains() const;
};

// Audio that opens sound files through the resource file system (or, without one, the
// plain file system) and hands out counted sounds; loads run on loader threads. Sounds, events,
// reverbs and projects are counted while alive and every call on them is logged with its values.
// Released objects are kept until the audio goes, so that a second release is counted instead
// of touching freed memory. Every operation is safe from any thread.
class RecordingAudio final : public client::IAudio {
public:
    explicit RecordingAudio(common::IResFileSystem* files = nullptr) : m_files(files) {}
    ~RecordingAudio();
    client::ISound* LoadSound(const char* path, int a, int b) override;
    void GetListenerInfo(float* volumeFactor, float* distanceFactor) override;
    client::ISoundProject* CreateSoundSource(const char* projectFile) override;
    client::ISoundEvent* CreateSoundEvent(const char* name) override;
    client::IReverb* CreateReverb(const char* name) override;
    client::IAudioProject* LoadProject(const char* fullPath) override;
    void Set3DSettings(float dopplerScale, float distanceFactor, float rolloffScale) override;
    void GetListenerAttributes(float position[3], float velocity[3], float forward[3], float up[3]) override;
    // The 2D map's sounds: every call is noted ("StopMusic", "LoadSoundConfig 12 bytes",
    // "GetSoundInfo 7", "PlaySoundAt 7 800 700", "SetListenerArea 640 480", ...). Keys added
    // with AddSoundKey are known; their record starts with the key. Play handles count from 1.
    void StopMusic() override;
    void LoadSoundConfig(const char* text) override;
    bool GetSoundInfo(std::int32_t key, void* info) override;
    std::uint32_t PlaySoundAt(const void* info, int x, int y) override;
    void SetListenerArea(int width, int height) override;
    void SetListenerOrigin(int x, int y) override;
    // Answer a + b + 31 and a + b + 32, so a test sees its arguments came through unchanged.
    std::intptr_t Forward31(std::intptr_t a, std::intptr_t b) override;
    std::intptr_t Forward32(std::intptr_t a, std::intptr_t b) override;
    void AddSoundKey(std::int32_t key);
    // The last configuration text given.
    std::string SoundConfig() const;

    int LiveSounds() const { return m_live.load(); }
    int Loads() const { return m_loads.load(); }
    int LiveEvents() const { return m_liveEvents.load(); }
    int LiveProjects() const { return m_liveProjects.load(); }
    int LiveReverbs() const { return m_liveReverbs.load(); }
    // Objects of every kind alive.
    int LiveAudioObjects() const {
        return m_live.load() + m_liveEvents.load() + m_liveProjects.load() + m_liveReverbs.load();
    }
    // Releases of an object already released.
    int BadReleases() const { return m_badReleases.load(); }
    // Sounds and events playing now.
    int Playing() const;
    // Every sound and event playing comes to its end.
    void EndAll();
    // The live sounds and events of this path or name come to their end.
    void End(const std::string& name);
    // Whether a live sound or event of this path or name plays; whether a live reverb is on.
    bool IsPlaying(const std::string& name) const;
    bool IsReverbActive(const std::string& name) const;
    // Names of the live sounds and events playing, in the order they were made.
    std::vector<std::string> PlayingNames() const;
    // The calls in order ("LoadSound a.wav 23", "Play", "SetVolume 0.5", ...).
    std::vector<std::string> Calls() const;
    // The same calls with the path or name of the object they went to ("a.wav: Play"); calls on
    // the audio itself carry no name.
    std::vector<std::string> NamedCalls() const;
    int CountCalls(const std::string& prefix) const;
    void ClearCalls();
    // Loads, events, reverbs and projects of this name are refused (null).
    void Refuse(const std::string& name);
    // Where GetListenerAttributes puts the listener.
    void SetListener(float x, float y, float z);

    // Answer of GetListenerInfo's volume factor.
    float listenerVolume = 1.0f;
    // Projects are refused while set.
    std::atomic<bool> refuseProjects{false};
    // Events refuse to start while set.
    std::atomic<bool> refuseEventPlay{false};

private:
    class Item;
    class Sound;
    class Event;
    class Reverb;
    class Project;
    class LoadedProject;
    void Note(const std::string& call, const std::string& name = std::string());
    bool Refused(const char* name) const;
    template <class T>
    T* Keep(T* item);
    common::IResFileSystem* m_files;
    std::atomic<int> m_live{0};
    std::atomic<int> m_loads{0};
    std::atomic<int> m_liveEvents{0};
    std::atomic<int> m_liveProjects{0};
    std::atomic<int> m_liveReverbs{0};
    std::atomic<int> m_badReleases{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<std::int32_t> m_soundKeys;
    std::string m_soundConfig;
    std::uint32_t m_playHandles = 0;
    std::vector<std::string> m_namedCalls;
    std::vector<std::string> m_refused;
    std::vector<Item*> m_items;
    float m_listener[3] = {0, 0, 0};
};

}  // namespace quor::host
