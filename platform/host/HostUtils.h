#pragma once
#include <atomic>

#include "platform/host/IUtils.h"

namespace quor::host {

// The reference utilities: a settable aligned-allocation answer and pugixml documents.
class HostUtils final : public common::IUtils {
public:
    bool UseAlignedAlloc() override { return m_aligned.load(); }
    common::IXmlNode* CreateXmlDocument() override;
    common::ITimer* CreateTimer() override;

    void SetUseAlignedAlloc(bool on) { m_aligned = on; }

private:
    std::atomic<bool> m_aligned{true};

public:
    // Stopwatches made so far, and those still not released.
    std::atomic<int> timersMade{0};
    std::atomic<int> timersLive{0};
};

}  // namespace quor::host
