#pragma once

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

protected:
    ~ISound() = default;
};

// A named event of a sound project, released by its owner.
class ISoundEvent {
public:
    virtual void Release() = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() = 0;
    virtual void SetVolume(float volume) = 0;
    virtual void Set3DAttributes(const float position[3], const float velocity[3]) = 0;

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

protected:
    ~IAudio() = default;
};

}  // namespace quor::client
