#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/ID3DDevice.h"

namespace quor::host {

// The reference device service: keeps the registered callbacks, records the calls, and lets
// a test or the demo signal a device loss and a reset to every callback.
class RecordingDevice final : public render::ID3DDevice {
public:
    void* GetDevice() override;
    void AddDeviceCallback(render::IDeviceCallback* callback) override;
    void RemoveDeviceCallback(render::IDeviceCallback* callback) override;

    void SignalLost();
    void SignalReset();
    int CallbackCount() const;
    std::vector<std::string> Calls() const;

private:
    mutable std::mutex m_mutex;
    std::vector<render::IDeviceCallback*> m_callbacks;
    std::vector<std::string> m_calls;
    int m_device = 0;
};

}  // namespace quor::host
