#pragma once

namespace quor::client {

// The host's audio: sounds, events, reverbs, the listener and the music configuration.
class IAudio {
public:

protected:
    ~IAudio() = default;
};

}  // namespace quor::client
