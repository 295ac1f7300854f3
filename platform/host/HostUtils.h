#pragma once
#include <atomic>

#include "platform/host/IUtils.h"

namespace quor::host {

// The reference utilities: a settable aligned-allocation answer and pugixml documents.
class HostUtils final : public common::IUtils {
public:
    bool UseAlignedAlloc() override { return m_aligned.load(); }
    common::IXmlNode* CreateXmlDocument() override;

    void SetUseAlignedAlloc(bool on) { m_aligned = on; }

private:
    std::atomic<bool> m_aligned{true};
};

}  // namespace quor::host
