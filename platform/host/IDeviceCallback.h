#pragma once

namespace quor::render {

// Implemented by the module; the host's device calls it around a device loss.
class IDeviceCallback {
public:
    virtual void OnDeviceLost() = 0;
    virtual void OnDeviceReset() = 0;

protected:
    ~IDeviceCallback() = default;
};

}  // namespace quor::render
