#pragma once

namespace quor::client {

// A sound of the host's audio, released by its owner.
class ISound {
public:
    virtual void Release() = 0;

protected:
    ~ISound() = default;
};

// The host's audio: sounds, events, reverbs, the listener and the music configuration.
class IAudio {
public:
    // Opens the file and loads the sound; null when the file is missing or unreadable.
    virtual ISound* LoadSound(const char* path, int a, int b) = 0;

protected:
    ~IAudio() = default;
};

}  // namespace quor::client
