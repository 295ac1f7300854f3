#include "world/core/XmlNodePtr.h"

#include <charconv>
#include <cstring>
#include <utility>

#include "platform/host/IXmlNode.h"
#include "world/core/TextNumber.h"

namespace quor {

XmlNodePtr::XmlNodePtr(XmlNodePtr&& other) noexcept
    : m_node(std::exchange(other.m_node, nullptr)), m_owns(std::exchange(other.m_owns, false)) {}

XmlNodePtr& XmlNodePtr::operator=(XmlNodePtr&& other) noexcept {
    if (this != &other) {
        Reset();
        m_node = std::exchange(other.m_node, nullptr);
        m_owns = std::exchange(other.m_owns, false);
    }
    return *this;
}

XmlNodePtr::~XmlNodePtr() { Reset(); }

void XmlNodePtr::Reset() {
    if (m_owns && m_node) m_node->Release();
    m_node = nullptr;
    m_owns = false;
}

XmlNodePtr XmlNodePtr::AddChild(const char* name) const {
    return XmlNodePtr(m_node ? m_node->AddChildElement(name) : nullptr, true);
}

XmlNodePtr XmlNodePtr::FirstChild(const char* name) const {
    return XmlNodePtr(m_node ? m_node->FirstChildElement(name) : nullptr, true);
}

XmlNodePtr XmlNodePtr::ChildAt(const char* name, int index) const {
    return XmlNodePtr(m_node ? m_node->ChildElement(name, index) : nullptr, true);
}

namespace {

// Reads the attribute, puts the default into out, and overwrites it with count numbers
// when the text holds at least count - 1 commas.
void ReadFloats(common::IXmlNode* node, const char* scope, const char* name, float* out, const float* def,
                int count) {
    if (def)
        std::memcpy(out, def, sizeof(float) * static_cast<std::size_t>(count));
    if (!node) return;
    char text[kXmlAttributeBufferSize] = {};
    node->GetStringAttribute(scope, name, text, sizeof(text), "");
    text[sizeof(text) - 1] = '\0';
    if (text[0] == '\0') return;

    const char* starts[16];
    starts[0] = text;
    for (int i = 1; i < count; ++i) {
        char* comma = std::strchr(const_cast<char*>(starts[i - 1]), ',');
        if (!comma) return;
        *comma = '\0';
        starts[i] = comma + 1;
    }
    for (int i = 0; i < count; ++i) out[i] = static_cast<float>(TextToDouble(starts[i]));
}

}  // namespace

std::uint32_t ReadXmlColor(common::IXmlNode* node, const char* scope, const char* name, std::uint32_t def) {
    if (!node) return def;
    char text[kXmlAttributeBufferSize] = {};
    node->GetStringAttribute(scope, name, text, sizeof(text), "");
    text[sizeof(text) - 1] = '\0';
    const char* starts[4] = {text, nullptr, nullptr, nullptr};
    for (int i = 1; i < 4; ++i) {
        char* comma = std::strchr(const_cast<char*>(starts[i - 1]), ',');
        if (!comma) return def;
        *comma = '\0';
        starts[i] = comma + 1;
    }
    std::uint32_t argb = 0;
    for (const char* start : starts) {
        const double v = TextToDouble(start);
        const std::uint32_t byte = v > 255.0 ? 255u : (v > 0.0 ? static_cast<std::uint32_t>(v) : 0u);
        argb = (argb << 8) | byte;
    }
    return argb;
}

void ReadXmlFloat2(common::IXmlNode* node, const char* scope, const char* name, float out[2], const float def[2]) {
    ReadFloats(node, scope, name, out, def, 2);
}

void ReadXmlFloat3(common::IXmlNode* node, const char* scope, const char* name, float out[3], const float def[3]) {
    ReadFloats(node, scope, name, out, def, 3);
}

void ReadXmlFloat4(common::IXmlNode* node, const char* scope, const char* name, float out[4], const float def[4]) {
    ReadFloats(node, scope, name, out, def, 4);
}

void ReadXmlMatrix(common::IXmlNode* node, const char* scope, const char* name, float out[16], const float def[16]) {
    ReadFloats(node, scope, name, out, def, 16);
}

void WriteXmlUShort(common::IXmlNode* node, const char* scope, const char* name, std::uint16_t value) {
    WriteXmlInt(node, scope, name, value);
}

void WriteXmlInt(common::IXmlNode* node, const char* scope, const char* name, std::int32_t value) {
    if (!node) return;
    char text[16];
    auto [end, ec] = std::to_chars(text, text + sizeof(text) - 1, value);
    (void)ec;
    *end = '\0';
    node->SetStringAttribute(scope, name, text);
}

}  // namespace quor
