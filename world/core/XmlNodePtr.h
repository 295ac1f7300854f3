#pragma once
#include <cstdint>

namespace quor::common {
class IXmlNode;
}

namespace quor {

// An owning handle of a host XML element. It is move-only: a copy would release the
// same node twice. Handles from the child lookups always own what they hold (which may
// be null when there is no such child).
class XmlNodePtr {
public:
    XmlNodePtr() = default;
    explicit XmlNodePtr(common::IXmlNode* node, bool owns = true) : m_node(node), m_owns(owns) {}
    XmlNodePtr(XmlNodePtr&& other) noexcept;
    XmlNodePtr& operator=(XmlNodePtr&& other) noexcept;
    XmlNodePtr(const XmlNodePtr&) = delete;
    XmlNodePtr& operator=(const XmlNodePtr&) = delete;
    ~XmlNodePtr();

    common::IXmlNode* Get() const { return m_node; }
    common::IXmlNode* operator->() const { return m_node; }
    explicit operator bool() const { return m_node != nullptr; }
    bool Owns() const { return m_owns; }
    // Releases the held node (when owned) now.
    void Reset();

    XmlNodePtr AddChild(const char* name) const;
    XmlNodePtr FirstChild(const char* name) const;
    XmlNodePtr ChildAt(const char* name, int index) const;

private:
    common::IXmlNode* m_node = nullptr;
    bool m_owns = false;
};

// Comma-separated floats of an attribute ("1,2,3"). out first receives the default;
// it is overwritten only when the text has all the commas it needs (1, 2, 3 or 15).
// A missing attribute leaves the default; extra values are ignored; junk reads as 0.
void ReadXmlFloat2(common::IXmlNode* node, const char* scope, const char* name, float out[2], const float def[2]);
void ReadXmlFloat3(common::IXmlNode* node, const char* scope, const char* name, float out[3], const float def[3]);
void ReadXmlFloat4(common::IXmlNode* node, const char* scope, const char* name, float out[4], const float def[4]);
// Sixteen floats, row-major.
void ReadXmlMatrix(common::IXmlNode* node, const char* scope, const char* name, float out[16], const float def[16]);

// A colour written "a,r,g,b" (four decimal integers, each limited to 0..255) as one ARGB word,
// alpha in the top byte. Text that lacks any of the three commas gives the default.
std::uint32_t ReadXmlColor(common::IXmlNode* node, const char* scope, const char* name, std::uint32_t def);

void WriteXmlUShort(common::IXmlNode* node, const char* scope, const char* name, std::uint16_t value);
void WriteXmlInt(common::IXmlNode* node, const char* scope, const char* name, std::int32_t value);

constexpr int kXmlAttributeBufferSize = 1024;

}  // namespace quor
