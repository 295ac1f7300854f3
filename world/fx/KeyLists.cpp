#include "world/fx/KeyLists.h"

#include <algorithm>
#include <cmath>

#include "platform/host/IXmlNode.h"
#include "world/core/XmlNodePtr.h"

namespace quor::world {

std::uint8_t ClampToByte(float f) {
    if (!(f >= 0.0f)) return 0;
    if (f > 255.0f) return 255;
    return static_cast<std::uint8_t>(f);
}

std::uint32_t LerpColor(std::uint32_t c1, std::uint32_t c2, float f) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const float a = static_cast<float>((c1 >> shift) & 0xFFu);
        const float b = static_cast<float>((c2 >> shift) & 0xFFu);
        out |= static_cast<std::uint32_t>(ClampToByte(a + (b - a) * f)) << shift;
    }
    return out;
}

bool ColorKeyList::SetKey(float time, std::uint32_t color) {
    if (!std::isfinite(time)) return false;
    const auto at = std::lower_bound(m_times.begin(), m_times.end(), time);
    const auto index = at - m_times.begin();
    if (at != m_times.end() && *at == time) {
        m_colors[static_cast<std::size_t>(index)] = color;
    } else {
        m_times.insert(at, time);
        m_colors.insert(m_colors.begin() + index, color);
    }
    if (m_times.size() >= 2) {
        m_first = m_times.front();
        m_last = m_times.back();
        m_span = m_last - m_first;
    }
    return true;
}

void ColorKeyList::Clear() {
    m_times.clear();
    m_colors.clear();
    m_changeType = 0;
    m_span = m_first = m_last = 0.0f;
}

float ColorKeyList::MapTime(float t) const {
    switch (m_changeType) {
    case 0:
        return t < m_first ? m_first : (t > m_last ? m_last : t);
    case 1: {
        if (!(m_span > 0.0f)) return m_first;
        const float r = std::fmod(t - m_first, m_span);
        return Within(t >= m_first ? m_first + r : m_last + r);
    }
    case 2: {
        // Folded from the first key and taken back there, so a list whose first key lies
        // after 0 still finds its keys.
        if (!(m_span > 0.0f)) return m_first;
        float r = std::fmod(std::fabs(t - m_first), 2.0f * m_span);
        if (r > m_span) r = 2.0f * m_span - r;
        return Within(m_first + r);
    }
    default:
        return t;
    }
}

void ColorKeyList::Evaluate(const ColorKeyList& list, float m, std::uint32_t& color) {
    const std::size_t n = list.m_times.size();
    if (n == 0) return;
    if (n == 1) {
        color = list.m_colors[0];
        return;
    }
    // The first key at or after m closes the first pair that brackets it.
    const auto at = std::lower_bound(list.m_times.begin(), list.m_times.end(), m);
    if (at == list.m_times.end()) return;
    const std::size_t hi = static_cast<std::size_t>(at - list.m_times.begin());
    if (hi == 0) {
        if (list.m_times[0] == m) color = LerpColor(list.m_colors[0], list.m_colors[1], 0.0f);
        return;
    }
    const std::size_t lo = hi - 1;
    const float ta = list.m_times[lo], tb = list.m_times[hi];
    color = LerpColor(list.m_colors[lo], list.m_colors[hi], (m - ta) / (tb - ta));
}

std::uint32_t ColorKeyList::Lookup(const ColorKeyList& list, float time) {
    std::uint32_t color = kColorWhite;
    if (list.m_times.size() == 1) return list.m_colors[0];
    if (list.m_times.empty()) return color;
    Evaluate(list, list.MapTime(time), color);
    return color;
}

namespace {

template <class AddKey>
void ReadKeys(common::IXmlNode* list, AddKey add) {
    const int count = list->CountChildElements(nullptr);
    for (int i = 0; i < count; ++i) {
        XmlNodePtr key(list->ChildElement(nullptr, i));
        if (key) add(key.Get());
    }
}

}  // namespace

void ReadFloatKeyList(common::IXmlNode* list, KeyCurve& out) {
    if (!list) return;
    out.SetMode(static_cast<std::uint32_t>(list->GetIntAttribute("", "ChangeType", 0)));
    ReadKeys(list, [&](common::IXmlNode* key) {
        out.AddKey(key->GetFloatAttribute("", "Time", 0.0f), key->GetFloatAttribute("", "Value", 1.0f));
    });
}

void ReadColorKeyList(common::IXmlNode* list, ColorKeyList& out) {
    if (!list) return;
    out.SetChangeType(list->GetIntAttribute("", "ChangeType", 0));
    ReadKeys(list, [&](common::IXmlNode* key) {
        out.SetKey(key->GetFloatAttribute("", "Time", 0.0f), ReadXmlColor(key, "", "Value", kColorWhite));
    });
}

float ReadFxFloat(common::IXmlNode* node, const char* name, float def) {
    const float v = node->GetFloatAttribute("", name, def);
    return std::isfinite(v) ? v : def;
}

}  // namespace quor::world
