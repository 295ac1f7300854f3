#include "world/core/track/KeyCurve.h"

#include <cmath>
#include <iterator>

namespace quor {

bool KeyCurve::AddKey(float time, float value) {
    if (!std::isfinite(time)) return false;
    m_keys[time] = value;
    if (m_keys.size() >= 2) {
        m_start = m_keys.begin()->first;
        m_end = m_keys.rbegin()->first;
        m_length = m_end - m_start;
    }
    return true;
}

float KeyCurve::MapTime(float t) const {
    switch (m_mode) {
    case 0:
        if (t < m_start) return m_start;
        if (t > m_end) return m_end;
        return t;
    case 1: {
        if (!(m_length > 0.0f)) return m_start;
        const float r = std::fmod(t - m_start, m_length);
        return t >= m_start ? m_start + r : m_end + r;
    }
    case 2: {
        // Folded from the first key, so a curve whose first key lies after 0 still finds its
        // keys (the same answer as before for curves that start at 0).
        if (!(m_length > 0.0f)) return m_start;
        float r = std::fmod(std::fabs(t - m_start), 2.0f * m_length);
        if (r > m_length) r = 2.0f * m_length - r;
        return m_start + r;
    }
    default:
        return t;
    }
}

float KeyCurve::Evaluate(float time) const {
    if (m_keys.empty()) return 0.0f;
    if (m_keys.size() == 1) return m_keys.begin()->second;
    const float t = MapTime(time);
    // The first key at or after t; its predecessor (when any) opens the bracketing pair.
    auto hi = m_keys.lower_bound(t);
    if (hi == m_keys.end()) return m_keys.rbegin()->second;  // past the last key
    // On a key, or before the first one (no pair brackets t): that key's value.
    if (hi->first == t || hi == m_keys.begin()) return hi->second;
    auto lo = std::prev(hi);
    return lo->second + (hi->second - lo->second) * (t - lo->first) / (hi->first - lo->first);
}

}  // namespace quor
