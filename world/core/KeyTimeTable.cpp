#include "world/core/KeyTimeTable.h"

#include <algorithm>
#include <new>

namespace quor {

void KeyTimeTable::Copy(const KeyTimeTable& other) {
    if (!other.m_times) {
        Clear();
        return;
    }
    if (!Prepare(other.m_count)) return;
    std::copy(other.m_times.get(), other.m_times.get() + other.m_count + 1, m_times.get());
    m_count = other.m_count;
    m_length = other.m_length;
}

void KeyTimeTable::Clear() {
    m_times.reset();
    m_count = 0;
    m_capacity = 0;
    m_length = 0.0;
}

bool KeyTimeTable::Prepare(std::uint16_t count) {
    // The array is kept when it is large enough already.
    if (count > m_capacity) {
        m_times.reset();
        m_capacity = 0;
    }
    if (!m_times) {
        m_times.reset(new (std::nothrow) float[static_cast<std::size_t>(count) + 1]);
        if (!m_times) {
            m_count = 0;
            m_length = 0.0;
            return false;
        }
        m_capacity = count;
    }
    return true;
}

void KeyTimeTable::Finish() {
    m_length = m_times[m_count - 1];
    m_times[m_count] = static_cast<float>(2.0 * m_length);
}

bool KeyTimeTable::Assign(const float* times, std::uint16_t count) {
    if (!times || count == 0) return false;
    if (!Prepare(count)) return false;
    std::copy(times, times + count, m_times.get());
    m_count = count;
    Finish();
    return true;
}

bool KeyTimeTable::AssignIntegers(const std::uint32_t* times, std::uint16_t count) {
    if (!times || count == 0) return false;
    if (!Prepare(count)) return false;
    for (std::uint16_t i = 0; i < count; ++i) m_times[i] = static_cast<float>(times[i]);
    m_count = count;
    Finish();
    m_times[0] = 0.0f;
    return true;
}

void KeyTimeTable::Scale(float factor) {
    if (!m_times || m_count == 0) return;
    for (std::uint16_t i = 0; i < m_count; ++i) m_times[i] *= factor;
    Finish();
}

bool KeyTimeTable::Holds(std::uint16_t i, float t, float* fraction) const {
    const float a = m_times[i];
    const float b = m_times[i + 1];
    if (!(a <= t && b > t)) return false;
    if (fraction) *fraction = (t - a) / (b - a);
    return true;
}

std::uint16_t KeyTimeTable::FindForward(float t, std::uint16_t start, float* fraction) const {
    if (!m_times || m_count == 0) return 0;
    if (start >= m_count) start = 0;
    std::uint16_t i = start;
    do {
        if (Holds(i, t, fraction)) return i;
        i = (i + 1 == m_count) ? 0 : static_cast<std::uint16_t>(i + 1);
    } while (i != start);
    return 0;
}

std::uint16_t KeyTimeTable::FindBackward(float t, std::uint16_t start, float* fraction) const {
    if (!m_times || m_count == 0) return 0;
    if (start >= m_count) start = 0;
    std::uint16_t i = start;
    do {
        if (Holds(i, t, fraction)) return i;
        i = (i == 0) ? static_cast<std::uint16_t>(m_count - 1) : static_cast<std::uint16_t>(i - 1);
    } while (i != start);
    return 0;
}

void Vector4Lerp(float out[4], const float a[4], const float b[4], float f) {
    for (int i = 0; i < 4; ++i) out[i] = a[i] + (b[i] - a[i]) * f;
}

}  // namespace quor
