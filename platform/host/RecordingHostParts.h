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
    // Every terrain made, released ones included.
    std::vector<std::unique_ptr<FlatTerrain>> terrains;
    int LiveTerrains() const;
};

// Audio that opens sound files through the resource file system (or, without one, the
// plain file system) and hands out counted sounds; loads run on loader threads. Sounds, events
// and projects are counted while alive and every call on them is logged with its values.
class RecordingAudio final : public client::IAudio {
public:
    explicit RecordingAudio(common::IResFileSystem* files = nullptr) : m_files(files) {}
    client::ISound* LoadSound(const char* path, int a, int b) override;
    void GetListenerInfo(float* volumeFactor, float* distanceFactor) override;
    client::ISoundProject* CreateSoundSource(const char* projectFile) override;
    client::ISoundEvent* CreateSoundEvent(const char* name) override;

    int LiveSounds() const { return m_live.load(); }
    int Loads() const { return m_loads.load(); }
    int LiveEvents() const { return m_liveEvents.load(); }
    int LiveProjects() const { return m_liveProjects.load(); }
    // Sounds and events alive, of every kind.
    int LiveAudioObjects() const { return m_live.load() + m_liveEvents.load() + m_liveProjects.load(); }
    // Sounds and events playing now.
    int Playing() const;
    // Every sound and event playing comes to its end.
    void EndAll();
    // The calls in order ("LoadSound a.wav 23", "Play", "SetVolume 0.5", ...).
    std::vector<std::string> Calls() const;
    int CountCalls(const std::string& prefix) const;
    void ClearCalls();

    // Answer of GetListenerInfo's volume factor.
    float listenerVolume = 1.0f;
    // Projects are refused while set.
    std::atomic<bool> refuseProjects{false};

private:
    class Player;
    template <class Interface>
    class Played;
    class Project;
    void Note(const std::string& call);
    common::IResFileSystem* m_files;
    std::atomic<int> m_live{0};
    std::atomic<int> m_loads{0};
    std::atomic<int> m_liveEvents{0};
    std::atomic<int> m_liveProjects{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::vector<bool*> m_playing;
};

}  // namespace quor::host
