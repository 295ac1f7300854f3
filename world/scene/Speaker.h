#pragma once
#include <cstdint>

#include "world/core/VisibleObject.h"
#include "world/scene/ISpeaker.h"

namespace quor::client {
class ISoundEvent;
}

namespace quor::world {

class SceneAudio;

// Path and name texts hold at most this many characters.
constexpr std::size_t kAudioPathLimit = 259;

// True for an audio event name, false for a sound file name: a '.' met before any slash when
// scanning from the end towards the second character marks a file. The first character is
// never tested, so ".wav" is an event name.
bool IsEventName(const char* name);

// A new area shape of the kind (sphere, cylinder or cuboid), or null for any other kind.
GeoObject* MakeAreaShape(std::uint32_t kind);

// A placed sound emitter. It keeps a sound path and an effect path and turns them into host
// sounds when it starts; it moves them with its world position every frame and lets them go
// once they have finished, so a silent speaker holds no host object.
class Speaker : public VisibleObject, public ISpeaker {
public:
    Speaker();
    ~Speaker() override;

    // --- ISpeaker ---
    VisibleObject* GetObject() override { return this; }
    bool LoadSound(const char* path, std::uint32_t type, std::uint32_t shape) override;
    const char* GetSoundPath() override { return m_soundPath; }
    bool LoadEffect(const char* path) override;
    const char* GetEffectPath() override { return m_effectPath; }
    void SetSoundVector(float x, float y, float z) override;
    client::ISound* GetSound() override { return m_sound; }
    void Start() override;
    void Stop() override;
    bool GetPlayState() override;
    std::uint32_t GetSoundType() override { return m_soundType; }
    void SetSoundType(std::uint32_t type) override;
    bool GetModeFlag() override;
    void SetAreaShape(std::uint32_t kind) override;
    GeoObject* GetAreaShape() override { return m_shape; }

    // --- SpaceObject operations answered here ---
    void SetVisible(bool visible, bool recursive) override;
    bool IsVisible() override { return m_visible != 0; }
    void Update() override;
    void SetHideFlags(bool set, std::uint16_t flags, bool recursive) override;
    bool HasHideFlags(std::uint16_t) override { return !GetPlayState(); }
    int GetObjectType() override { return 7; }

    // Scene activation: pauses or stops what plays, and resumes it on the way back.
    void SetActive(bool active);
    // Makes the host sounds of the paths that have none yet.
    void PrepareSounds();

    void SetOwner(SceneAudio* owner) { m_owner = owner; }
    SceneAudio* GetOwner() const { return m_owner; }
    client::ISoundEvent* GetSoundEvent() const { return m_soundEvent; }
    client::ISoundEvent* GetEffectEvent() const { return m_effectEvent; }
    const float* GetSoundVector() const { return m_soundVector; }
    bool IsSceneActive() const { return m_sceneActive != 0; }

private:
    void ReleaseSounds();

    client::ISound* m_sound = nullptr;
    client::ISoundEvent* m_soundEvent = nullptr;
    client::ISoundEvent* m_effectEvent = nullptr;
    float m_soundVector[3] = {0, 0, 0};
    char m_soundPath[kAudioPathLimit + 1] = {};
    char m_effectPath[kAudioPathLimit + 1] = {};
    std::uint32_t m_soundType = 0;
    std::uint32_t m_wasPlaying = 0;
    GeoObject* m_shape = nullptr;
    SceneAudio* m_owner = nullptr;
    std::uint8_t m_visible = 1;
    std::uint8_t m_sceneActive = 1;
};

// A reverb zone: a named host reverb placed with an inner and an outer radius, and an area
// shape in which the scene makes it the active reverb.
class AreaReverb : public IAreaReverb, public SpaceObject {
public:
    AreaReverb() = default;
    ~AreaReverb() override;

    // --- IAreaReverb ---
    SpaceObject* GetSpaceObject() override { return this; }
    bool CreateReverb(const char* name) override;
    const char* GetName() override { return m_name; }
    client::IReverb* GetReverbHandle() override { return m_reverb; }
    void SetAreaShape(std::uint32_t kind) override;
    GeoObject* GetAreaShape() override { return m_shape; }
    void SetRadii(float inner, float outer) override;
    void GetRadii(float* inner, float* outer) override;

    // --- SpaceObject operations answered here ---
    void SetVisible(bool visible, bool recursive) override;
    bool IsVisible() override { return m_visible != 0; }
    void Update() override;
    int GetObjectType() override { return 9; }

    // Scene activation: remembers whether the reverb was on and switches it back on.
    void SetSceneActive(bool active);

private:
    GeoObject* m_shape = nullptr;
    client::IReverb* m_reverb = nullptr;
    char m_name[kAudioPathLimit + 1] = {};
    std::uint8_t m_visible = 1;
    std::uint8_t m_wasActive = 0;
    float m_inner = 0.0f;
    float m_outer = 0.0f;
};

}  // namespace quor::world
