#pragma once

namespace quor::common {

class IXmlNode;

// The host's utilities: the aligned-allocation switch and XML documents.
class IUtils {
public:
    virtual bool UseAlignedAlloc() = 0;
    // A new, empty document; the caller releases it.
    virtual IXmlNode* CreateXmlDocument() = 0;

protected:
    ~IUtils() = default;
};

}  // namespace quor::common
