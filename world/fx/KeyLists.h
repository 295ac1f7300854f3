#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "world/core/track/KeyCurve.h"

namespace quor::common {
class IXmlNode;
}

namespace quor::world {

constexpr std::uint32_t kColorWhite = 0xFFFFFFFFu;

// 0 below 0, 255 above 255, else truncated toward zero (NaN gives 0).
std::uint8_t ClampToByte(float f);
// Each of the four bytes: ClampToByte(a + (b - a) * f).
std::uint32_t LerpColor(std::uint32_t c1, std::uint32_t c2, float f);

// A colour key list: times (seconds on the node's time) to four-byte colours, kept sorted.
// Times outside the keys map by the change type: 0 clamp, 1 repeat, 2 back and forth.
class ColorKeyList {
public:
    // Stores the colour under the time (replacing a key of that exact time); first, last and
    // span follow once two keys exist. A time that is not finite is refused (false).
    bool SetKey(float time, std::uint32_t color);
    // The colour at a time: mapped, then interpolated; white where nothing brackets it.
    static std::uint32_t Lookup(const ColorKeyList& list, float time);
    // The interpolation at a mapped time; writes color only when it finds a value.
    static void Evaluate(const ColorKeyList& list, float mapped, std::uint32_t& color);
    // The time mapping by change type (two keys or more).
    float MapTime(float t) const;

    void Clear();
    std::int32_t ChangeType() const { return m_changeType; }
    void SetChangeType(std::int32_t type) { m_changeType = type; }
    std::size_t KeyCount() const { return m_times.size(); }
    float Span() const { return m_span; }
    float FirstTime() const { return m_first; }
    float LastTime() const { return m_last; }
    float TimeAt(std::size_t i) const { return m_times[i]; }
    std::uint32_t ColorAt(std::size_t i) const { return m_colors[i]; }

private:
    // Rounding of the wrapped time can step just past an end key, where no pair brackets it.
    float Within(float t) const { return t < m_first ? m_first : (t > m_last ? m_last : t); }

    std::int32_t m_changeType = 0;
    float m_span = 0.0f;
    float m_first = 0.0f;
    float m_last = 0.0f;
    std::vector<float> m_times;
    std::vector<std::uint32_t> m_colors;
};

// Key-list elements: "ChangeType" on the list element, then every child element in document
// order as a key with "Time" (default 0) and "Value" (float, default 1.0; colour "a,r,g,b",
// default opaque white). A null element leaves the list as it is.
void ReadFloatKeyList(common::IXmlNode* list, KeyCurve& out);
void ReadColorKeyList(common::IXmlNode* list, ColorKeyList& out);

// A float attribute of an effect element; a value that is not finite keeps the default.
float ReadFxFloat(common::IXmlNode* node, const char* name, float def);

}  // namespace quor::world
