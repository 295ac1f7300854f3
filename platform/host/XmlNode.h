#pragma once
#include <memory>
#include <string>

#include <pugixml.hpp>

#include "platform/host/IXmlNode.h"

namespace quor::host {

// The reference host's XML documents and elements, over pugixml. Every node handed out
// is its own object that the caller releases; element nodes keep their document alive,
// so releasing in any order is safe. Text is taken as bytes (no encoding conversion).
class XmlNode final : public common::IXmlNode {
public:
    static XmlNode* NewDocument();
    // Nodes made and not yet released, process-wide: shows leaks and double releases.
    static int LiveCount();

    void Release() override;
    bool Parse(const void* data, std::uint32_t size) override;
    IXmlNode* AddChildElement(const char* name) override;
    IXmlNode* FirstChildElement(const char* name) override;
    IXmlNode* ChildElement(const char* name, int index) override;
    int CountChildElements(const char* name) override;
    bool HasAttribute(const char* scope, const char* name) override;
    int GetStringAttribute(const char* scope, const char* name, char* buffer, int size,
                           const char* defaultText) override;
    int GetIntAttribute(const char* scope, const char* name, int defaultValue) override;
    std::uint32_t GetUIntAttribute(const char* scope, const char* name, std::uint32_t defaultValue) override;
    float GetFloatAttribute(const char* scope, const char* name, float defaultValue) override;
    bool GetBoolAttribute(const char* scope, const char* name, bool defaultValue) override;
    void SetStringAttribute(const char* scope, const char* name, const char* text) override;
    void SetIntAttribute(const char* scope, const char* name, int value) override;
    const char* GetName() override { return m_node.name(); }

    bool IsDocument() const { return m_node.type() == pugi::node_document; }
    // The element name ("" for a document).
    std::string Name() const { return m_node.name(); }
    // The node and its content as XML text, without declaration.
    std::string ToString() const;

private:
    XmlNode(std::shared_ptr<pugi::xml_document> doc, pugi::xml_node node);
    ~XmlNode();
    XmlNode* Wrap(pugi::xml_node node) const;
    pugi::xml_attribute FindAttribute(const char* scope, const char* name) const;

    std::shared_ptr<pugi::xml_document> m_doc;
    pugi::xml_node m_node;
};

// Locale-free number reading with the module's rules: leading blanks skipped, an optional
// sign, the longest decimal prefix taken, junk reads as 0. Integers may also be written in
// hex ("0x1F"); they saturate at the long long range. Floats take decimal forms only: "nan",
// "inf" and results beyond the double range read 0.
double ParseDouble(const char* text);
long long ParseInteger(const char* text);

}  // namespace quor::host
