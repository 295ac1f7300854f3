#pragma once

namespace quor::world {

// The effect frame time: one process-wide step (seconds) that effect trees advance by, times
// their play speed. A successful effect load sets it from the client's frame rate; a new
// effect manager resets it to the reset value (1/60 until the world's divisor is set).
float GetFxFrameTime();
void SetFxFrameTime(float seconds);
float GetFxFrameTimeResetValue();
void SetFxFrameTimeResetValue(float seconds);
// Sets the frame time back to the reset value.
void ResetFxFrameTime();

}  // namespace quor::world
