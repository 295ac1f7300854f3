#pragma once
#include <cstdint>

namespace quor::common {

// One interface for XML documents and their elements. Every node handed out is the
// caller's to Release. Attribute operations take a scope: the name of a child element
// that holds the attribute, or null (or "") for the node itself. Names and texts are
// byte strings passed through untouched.
class IXmlNode {
public:
    virtual void Release() = 0;
    // Documents only: parses size bytes of XML text, replacing the content.
    virtual bool Parse(const void* data, std::uint32_t size) = 0;
    virtual IXmlNode* AddChildElement(const char* name) = 0;
    // null name: any element. null when there is none.
    virtual IXmlNode* FirstChildElement(const char* name) = 0;
    virtual IXmlNode* ChildElement(const char* name, int index) = 0;
    virtual int CountChildElements(const char* name) = 0;
    virtual bool HasAttribute(const char* scope, const char* name) = 0;
    // Copies the text (cut to size - 1 bytes, terminated) or the default; returns its length.
    virtual int GetStringAttribute(const char* scope, const char* name, char* buffer, int size,
                                   const char* defaultText) = 0;
    virtual int GetIntAttribute(const char* scope, const char* name, int defaultValue) = 0;
    virtual std::uint32_t GetUIntAttribute(const char* scope, const char* name, std::uint32_t defaultValue) = 0;
    virtual float GetFloatAttribute(const char* scope, const char* name, float defaultValue) = 0;
    virtual bool GetBoolAttribute(const char* scope, const char* name, bool defaultValue) = 0;
    virtual void SetStringAttribute(const char* scope, const char* name, const char* text) = 0;
    virtual void SetIntAttribute(const char* scope, const char* name, int value) = 0;
    // The element's name ("" for a document).
    virtual const char* GetName() = 0;

protected:
    ~IXmlNode() = default;
};

}  // namespace quor::common
