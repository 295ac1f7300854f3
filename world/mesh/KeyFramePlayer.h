#pragma once
#include <cstdint>

#include "world/core/KeyTimeTable.h"
#include "world/core/PlayClock.h"

namespace quor {

// Plays the vertex-animation frames of a mesh part: the key times of the shared mesh data
// and a clock of its own.
class KeyFramePlayer {
public:
    KeyFramePlayer() = default;

    void SetKeys(const KeyTimeTable* keys) { m_keys = keys; }
    const KeyTimeTable* Keys() const { return m_keys; }
    void ClearKeys() { m_keys = nullptr; }
    void SetLoop(bool loop) { m_clock.loop = loop ? 1 : 0; }
    // 0 without a key table.
    std::uint16_t GetKeyCount() const;
    // The key interval holding t, searched from the current key, which stays as it is.
    std::uint16_t FindKeyAtTime(float t) const;
    // The interval of the clock's time; becomes the current key. blend (may be null) receives
    // the fraction towards the next key. Key 0 and blend 0 without a key table.
    std::uint16_t GetCurrentKey(float* blend = nullptr);

    std::uint16_t CurrentKey() const { return m_currentKey; }
    PlayClock& Clock() { return m_clock; }
    const PlayClock& Clock() const { return m_clock; }

private:
    const KeyTimeTable* m_keys = nullptr;
    std::uint16_t m_currentKey = 0;
    PlayClock m_clock;
};

}  // namespace quor
