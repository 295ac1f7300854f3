#include "world/mesh/KeyFramePlayer.h"

namespace quor {

std::uint16_t KeyFramePlayer::GetKeyCount() const { return m_keys ? m_keys->Count() : 0; }

std::uint16_t KeyFramePlayer::FindKeyAtTime(float t) const {
    if (!m_keys || m_keys->Count() == 0) return 0;
    return m_keys->FindForward(t, m_currentKey, nullptr);
}

std::uint16_t KeyFramePlayer::GetCurrentKey(float* blend) {
    float fraction = 0.0f;
    if (m_keys && m_keys->Count() > 0) {
        m_currentKey = m_keys->FindForward(static_cast<float>(m_clock.time), m_currentKey, &fraction);
    } else {
        m_currentKey = 0;
    }
    if (blend) *blend = fraction;
    return m_currentKey;
}

}  // namespace quor
