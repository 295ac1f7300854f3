#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "platform/d3d9/Device.h"
#include "platform/host/ID3DDevice.h"

namespace quor::host {

// The reference device service: hands out a CPU device, keeps the registered callbacks, records the calls, and lets
// a test or the demo signal a device loss and a reset to every callback.
class RecordingDevice final : public render::ID3DDevice {
public:
    void* GetDevice() override;
    void AddDeviceCallback(render::IDeviceCallback* callback) override;
    void RemoveDeviceCallback(render::IDeviceCallback* callback) override;
    bool IsDeviceLost() override;

    void SignalLost();
    void SignalReset();
    int CallbackCount() const;
    std::vector<std::string> Calls() const;
    // The CPU device GetDevice hands out.
    d3d9::IDirect3DDevice9& Direct3D() { return m_direct3d; }

private:
    mutable std::mutex m_mutex;
    std::vector<render::IDeviceCallback*> m_callbacks;
    std::vector<std::string> m_calls;
    d3d9::IDirect3DDevice9 m_direct3d;
};

}  // namespace quor::host
