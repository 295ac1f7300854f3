#include "platform/host/XmlNode.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <charconv>
#include <cstring>
#include <sstream>

namespace quor::host {

namespace {
std::atomic<int> g_liveNodes{0};

bool NameMatches(pugi::xml_node node, const char* name) {
    return node.type() == pugi::node_element && (!name || std::strcmp(node.name(), name) == 0);
}

pugi::xml_node NthChild(pugi::xml_node parent, const char* name, int index) {
    if (index < 0) return {};
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (!NameMatches(c, name)) continue;
        if (index-- == 0) return c;
    }
    return {};
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char* SkipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    return p;
}
}  // namespace

double ParseDouble(const char* text) {
    if (!text) return 0.0;
    const char* p = SkipBlanks(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    // Decimal forms only: "nan" and "inf" read 0 like any other junk.
    if (!IsDigit(*p) && !(*p == '.' && IsDigit(p[1]))) return 0.0;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(p, p + std::strlen(p), value, std::chars_format::general);
    (void)end;
    if (ec != std::errc() || !std::isfinite(value)) return 0.0;
    return negative ? -value : value;
}

long long ParseInteger(const char* text) {
    if (!text) return 0;
    const char* p = SkipBlanks(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    // The magnitude in unsigned arithmetic, held at one past LLONG_MAX once it gets there,
    // so that even the smallest long long needs no negation of a signed value.
    constexpr unsigned long long kLimit = static_cast<unsigned long long>(LLONG_MAX) + 1;
    unsigned long long magnitude = 0;
    for (;; ++p) {
        unsigned digit;
        if (IsDigit(*p)) digit = static_cast<unsigned>(*p - '0');
        else if (base == 16 && *p >= 'a' && *p <= 'f') digit = static_cast<unsigned>(*p - 'a' + 10);
        else if (base == 16 && *p >= 'A' && *p <= 'F') digit = static_cast<unsigned>(*p - 'A' + 10);
        else break;
        magnitude = magnitude > kLimit / base ? kLimit : std::min(magnitude * base + digit, kLimit);
    }
    if (negative) return magnitude >= kLimit ? LLONG_MIN : -static_cast<long long>(magnitude);
    return magnitude >= kLimit ? LLONG_MAX : static_cast<long long>(magnitude);
}

XmlNode::XmlNode(std::shared_ptr<pugi::xml_document> doc, pugi::xml_node node)
    : m_doc(std::move(doc)), m_node(node) {
    g_liveNodes.fetch_add(1);
}

XmlNode::~XmlNode() { g_liveNodes.fetch_sub(1); }

XmlNode* XmlNode::NewDocument() {
    auto doc = std::make_shared<pugi::xml_document>();
    pugi::xml_node root = *doc;
    return new XmlNode(std::move(doc), root);
}

int XmlNode::LiveCount() { return g_liveNodes.load(); }

void XmlNode::Release() { delete this; }

XmlNode* XmlNode::Wrap(pugi::xml_node node) const { return node ? new XmlNode(m_doc, node) : nullptr; }

bool XmlNode::Parse(const void* data, std::uint32_t size) {
    if (!IsDocument() || (!data && size)) return false;
    // Names and texts in data files are byte strings of a legacy code page: take them as
    // they are, whatever the declaration says.
    pugi::xml_parse_result result =
        m_doc->load_buffer(data ? data : "", size, pugi::parse_default, pugi::encoding_utf8);
    return static_cast<bool>(result);
}

common::IXmlNode* XmlNode::AddChildElement(const char* name) {
    if (!name || !*name) return nullptr;
    return Wrap(m_node.append_child(name));
}

common::IXmlNode* XmlNode::FirstChildElement(const char* name) { return Wrap(NthChild(m_node, name, 0)); }

common::IXmlNode* XmlNode::ChildElement(const char* name, int index) { return Wrap(NthChild(m_node, name, index)); }

int XmlNode::CountChildElements(const char* name) {
    int n = 0;
    for (pugi::xml_node c = m_node.first_child(); c; c = c.next_sibling())
        if (NameMatches(c, name)) ++n;
    return n;
}

pugi::xml_attribute XmlNode::FindAttribute(const char* scope, const char* name) const {
    if (!name) return {};
    pugi::xml_node holder = (scope && *scope) ? NthChild(m_node, scope, 0) : m_node;
    if (!holder || holder.type() != pugi::node_element) return {};
    return holder.attribute(name);
}

bool XmlNode::HasAttribute(const char* scope, const char* name) {
    return static_cast<bool>(FindAttribute(scope, name));
}

int XmlNode::GetStringAttribute(const char* scope, const char* name, char* buffer, int size,
                                const char* defaultText) {
    if (!buffer || size <= 0) return 0;
    pugi::xml_attribute a = FindAttribute(scope, name);
    const char* text = a ? a.value() : (defaultText ? defaultText : "");
    std::size_t n = std::strlen(text);
    if (n > static_cast<std::size_t>(size - 1)) n = static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

int XmlNode::GetIntAttribute(const char* scope, const char* name, int defaultValue) {
    pugi::xml_attribute a = FindAttribute(scope, name);
    return a ? static_cast<int>(std::clamp<long long>(ParseInteger(a.value()), INT_MIN, INT_MAX)) : defaultValue;
}

std::uint32_t XmlNode::GetUIntAttribute(const char* scope, const char* name, std::uint32_t defaultValue) {
    pugi::xml_attribute a = FindAttribute(scope, name);
    // Negative texts wrap as strtoul wraps them; beyond 32 bits the value saturates.
    return a ? static_cast<std::uint32_t>(std::clamp<long long>(ParseInteger(a.value()), INT_MIN, UINT32_MAX))
             : defaultValue;
}

float XmlNode::GetFloatAttribute(const char* scope, const char* name, float defaultValue) {
    pugi::xml_attribute a = FindAttribute(scope, name);
    return a ? static_cast<float>(ParseDouble(a.value())) : defaultValue;
}

bool XmlNode::GetBoolAttribute(const char* scope, const char* name, bool defaultValue) {
    pugi::xml_attribute a = FindAttribute(scope, name);
    if (!a) return defaultValue;
    const char c = *SkipBlanks(a.value());
    return c == '1' || c == 't' || c == 'T' || c == 'y' || c == 'Y';
}

void XmlNode::SetStringAttribute(const char* scope, const char* name, const char* text) {
    if (!name || !*name) return;
    pugi::xml_node holder = m_node;
    if (scope && *scope) {
        holder = NthChild(m_node, scope, 0);
        if (!holder) holder = m_node.append_child(scope);
    }
    if (holder.type() != pugi::node_element) return;
    pugi::xml_attribute a = holder.attribute(name);
    if (!a) a = holder.append_attribute(name);
    a.set_value(text ? text : "");
}

void XmlNode::SetIntAttribute(const char* scope, const char* name, int value) {
    char text[16];
    auto [end, ec] = std::to_chars(text, text + sizeof(text) - 1, value);
    *end = '\0';
    SetStringAttribute(scope, name, text);
}

std::string XmlNode::ToString() const {
    std::ostringstream out;
    m_node.print(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
}

}  // namespace quor::host
