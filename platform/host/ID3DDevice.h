#pragma once

namespace quor::render {

class IDeviceCallback;

// The host's device service: hands out the Direct3D 9 device and registers device-loss
// callbacks.
class ID3DDevice {
public:
    // The raw device (opaque to the module outside its drawing code).
    virtual void* GetDevice() = 0;
    virtual void AddDeviceCallback(IDeviceCallback* callback) = 0;
    virtual void RemoveDeviceCallback(IDeviceCallback* callback) = 0;
    // Whether the device is lost (its cooperative level fails).
    virtual bool IsDeviceLost() = 0;

protected:
    ~ID3DDevice() = default;
};

}  // namespace quor::render
