#include "world/core/track/KeyCurve.h"

#include <cmath>
#include <algorithm>

namespace quor {

bool KeyCurve::AddKey(float time, float value) {
    if (!std::isfinite(time)) return false;
    const auto at = std::lower_bound(m_times.begin(), m_times.end(), time);
    const auto index = at - m_times.begin();
    if (at != m_times.end() && *at == time) {
        m_values[static_cast<std::size_t>(index)] = value;
    } else {
        m_times.insert(at, time);
        m_values.insert(m_values.begin() + index, value);
    }
    if (m_times.size() >= 2) {
        m_start = m_times.front();
        m_end = m_times.back();
        m_length = m_end - m_start;
    }
    return true;
}

float KeyCurve::MapTimeLooped(float t) const {
    switch (m_mode) {
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


}  // namespace quor
