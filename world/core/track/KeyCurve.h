#pragma once
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace quor {

// A float curve of time -> value keys, interpolated linearly. The time is first mapped into
// the keys' span by the mode: 0 clamp, 1 repeat, 2 ping-pong (any other value: unchanged).
class KeyCurve {
public:
    explicit KeyCurve(std::uint32_t mode = 0) : m_mode(mode) {}

    // Inserts the key, or replaces the value of the key at the same time. A time that is not
    // finite is refused (false): it would break the ordering the search relies on.
    bool AddKey(float time, float value);
    float Evaluate(float time) const {
        const std::size_t n = m_times.size();
        if (n == 0) return 0.0f;
        if (n == 1) return m_values[0];
        return Interpolate(MapTime(time));
    }

    // Evaluate at first key time + span * x, x limited to [0, 1] (NaN counts as 0): a list
    // spread over a life span.
    float EvaluateNormalised(float x) const {
        if (!(x > 0.0f)) x = 0.0f;
        if (x > 1.0f) x = 1.0f;
        return Evaluate(m_start + m_length * x);
    }

    std::uint32_t Mode() const { return m_mode; }
    void SetMode(std::uint32_t mode) { m_mode = mode; }
    std::size_t KeyCount() const { return m_times.size(); }
    float Start() const { return m_start; }
    float End() const { return m_end; }
    float Length() const { return m_length; }

private:
    float MapTime(float t) const {
        if (m_mode == 0) return t < m_start ? m_start : (t > m_end ? m_end : t);
        return MapTimeLooped(t);
    }
    float MapTimeLooped(float t) const;
    // The value at a mapped time (two keys or more).
    float Interpolate(float t) const;

    std::uint32_t m_mode = 0;
    float m_length = 0.0f;
    float m_start = 0.0f;
    float m_end = 0.0f;
    // The keys ordered by time, as two arrays so a search reads only the times.
    std::vector<float> m_times;
    std::vector<float> m_values;
};

inline float KeyCurve::Interpolate(float t) const {
    const std::size_t n = m_times.size();
    // The first key at or after t; its predecessor (when any) opens the bracketing pair.
    const std::size_t hi = static_cast<std::size_t>(std::lower_bound(m_times.begin(), m_times.end(), t) - m_times.begin());
    if (hi == n) return m_values[n - 1];  // past the last key
    // On a key, or before the first one (no pair brackets t): that key's value.
    if (hi == 0 || m_times[hi] == t) return m_values[hi];
    const std::size_t lo = hi - 1;
    return m_values[lo] + (m_values[hi] - m_values[lo]) * (t - m_times[lo]) / (m_times[hi] - m_times[lo]);
}

}  // namespace quor
