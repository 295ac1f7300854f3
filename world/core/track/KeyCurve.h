#pragma once
#include <cstdint>
#include <map>

namespace quor {

// A float curve of time -> value keys, interpolated linearly. The time is first mapped into
// the keys' span by the mode: 0 clamp, 1 repeat, 2 ping-pong (any other value: unchanged).
class KeyCurve {
public:
    explicit KeyCurve(std::uint32_t mode = 0) : m_mode(mode) {}

    // Inserts the key, or replaces the value of the key at the same time. A time that is not
    // finite is refused (false): it would break the ordering the search relies on.
    bool AddKey(float time, float value);
    float Evaluate(float time) const;

    std::uint32_t Mode() const { return m_mode; }
    void SetMode(std::uint32_t mode) { m_mode = mode; }
    std::size_t KeyCount() const { return m_keys.size(); }
    float Start() const { return m_start; }
    float End() const { return m_end; }
    float Length() const { return m_length; }

private:
    float MapTime(float t) const;

    std::uint32_t m_mode = 0;
    float m_length = 0.0f;
    float m_start = 0.0f;
    float m_end = 0.0f;
    std::map<float, float> m_keys;
};

}  // namespace quor
