#pragma once
// Effect-test helpers: XML text parsed into a host document, held for the test's lifetime.
#include <memory>
#include <string>

#include "platform/host/XmlNode.h"

namespace quor::test {

struct XmlDoc {
    explicit XmlDoc(const std::string& text) : doc(host::XmlNode::NewDocument()) {
        if (doc->Parse(text.data(), static_cast<std::uint32_t>(text.size()))) root = doc->FirstChildElement(nullptr);
    }
    ~XmlDoc() {
        if (root) root->Release();
        doc->Release();
    }
    XmlDoc(const XmlDoc&) = delete;
    XmlDoc& operator=(const XmlDoc&) = delete;

    host::XmlNode* doc;
    common::IXmlNode* root = nullptr;
};

}  // namespace quor::test
