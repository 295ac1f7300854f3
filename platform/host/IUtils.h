#pragma once
#include <cstdint>

namespace quor::common {

class IXmlNode;

// A stopwatch started when made.
class ITimer {
public:
    virtual std::uint32_t GetElapsedMilliseconds() = 0;
    virtual void Release() = 0;

protected:
    ~ITimer() = default;
};

// The host's utilities: the aligned-allocation switch and XML documents.
class IUtils {
public:
    virtual bool UseAlignedAlloc() = 0;
    // A new, empty document; the caller releases it.
    virtual IXmlNode* CreateXmlDocument() = 0;
    // A running stopwatch; the caller releases it.
    virtual ITimer* CreateTimer() = 0;

protected:
    ~IUtils() = default;
};

}  // namespace quor::common
