#pragma once
#include <cstdint>

namespace quor::client {

// A sound of the host's audio, released by its owner. Played as a sound source: placed in 3D
// with a position and a velocity.
class ISound {
public:
    virtual void Release() = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() = 0;
    virtual void SetVolume(float volume) = 0;
    virtual void Set3DAttributes(const float position[3], const float velocity[3]) = 0;
    // The mode flags the sound was loaded with (bit value 8: a streamed music).
    virtual std::uint32_t GetMode() = 0;
    virtual void SetPaused(bool paused) = 0;

protected:
    ~ISound() = default;
};

// A named event of a sound project, released by its owner.
class ISoundEvent {
public:
    virtual void Release() = 0;
    // True when the event started.
    virtual bool Play() = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() = 0;
    virtual void SetVolume(float volume) = 0;
    virtual void Set3DAttributes(const float position[3], const float velocity[3]) = 0;
    // Whether the event is a streamed music.
    virtual bool GetModeFlag() = 0;

protected:
    ~ISoundEvent() = default;
};

// A sound project file opened for its events, released by its owner.
class ISoundProject {
public:
    virtual void Release() = 0;

protected:
    ~ISoundProject() = default;
};

// A named reverb placed as a sphere with an inner and an outer radius, released by its owner.
class IReverb {
public:
    virtual void Set3DAttributes(const float position[3], float innerRadius, float outerRadius) = 0;
    virtual void SetActive(bool active) = 0;
    virtual bool IsActive() = 0;
    virtual void Release() = 0;

protected:
    ~IReverb() = default;
};

// An audio project file loaded by its full path, released by its owner.
class IAudioProject {
public:
    virtual void Release() = 0;
    // The full path it was loaded from.
    virtual const char* GetPath() = 0;

protected:
    ~IAudioProject() = default;
};

// The host's audio: sounds, events, reverbs, the listener and the music configuration.
class IAudio {
public:
    // Opens the file and loads the sound; null when the file is missing or unreadable.
    virtual ISound* LoadSound(const char* path, int a, int b) = 0;
    // The listener's volume factor and distance factor; either output may be null.
    virtual void GetListenerInfo(float* volumeFactor, float* distanceFactor) = 0;
    // Opens a sound project file; null when it cannot.
    virtual ISoundProject* CreateSoundSource(const char* projectFile) = 0;
    // An event of the open projects by name; null when there is none.
    virtual ISoundEvent* CreateSoundEvent(const char* name) = 0;
    // A reverb by name; null when there is none of that name.
    virtual IReverb* CreateReverb(const char* name) = 0;
    // Loads an audio project file by its full path; null when it cannot.
    virtual IAudioProject* LoadProject(const char* fullPath) = 0;
    virtual void Set3DSettings(float dopplerScale, float distanceFactor, float rolloffScale) = 0;
    // The listener's place; any output may be null.
    virtual void GetListenerAttributes(float position[3], float velocity[3], float forward[3], float up[3]) = 0;

    // --- the 2D map's sounds ---
    // The size of the record GetSoundInfo fills.
    static constexpr int kSoundInfoSize = 256;
    virtual void StopMusic() = 0;
    // The sound and music configuration text, zero-terminated.
    virtual void LoadSoundConfig(const char* text) = 0;
    // Fills the record (kSoundInfoSize bytes) of a configured sound key; false when the key is
    // unknown.
    virtual bool GetSoundInfo(std::int32_t key, void* info) = 0;
    // Plays the sound a record describes at a map point; the play handle, 0 when nothing plays.
    virtual std::uint32_t PlaySoundAt(const void* info, int x, int y) = 0;
    // The part of the map the listener hears: its size and its top-left map point.
    virtual void SetListenerArea(int width, int height) = 0;
    virtual void SetListenerOrigin(int x, int y) = 0;
    // Two further operations a 2D scene hands its arguments to unchanged.
    virtual std::intptr_t Forward31(std::intptr_t a, std::intptr_t b) = 0;
    virtual std::intptr_t Forward32(std::intptr_t a, std::intptr_t b) = 0;

protected:
    ~IAudio() = default;
};

}  // namespace quor::client
