#pragma once

namespace quor::render {

// The host's device service: hands out the Direct3D 9 device and registers device-loss
// callbacks.
class ID3DDevice {
public:
protected:
    ~ID3DDevice() = default;
};

}  // namespace quor::render
