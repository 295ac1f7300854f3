#pragma once

namespace quor {

// Implemented by the module (one object); the host sets the frame rate and speed
// through it, and every play clock advances by the milliseconds per frame they give.
class IFrameTimeControl {
public:
    virtual int SetFrameRate(int rate) = 0;
    virtual int SetSpeed(float speed) = 0;

protected:
    ~IFrameTimeControl() = default;
};

}  // namespace quor
