#include "world/fx/FxFrameTime.h"

#include <atomic>

namespace quor::world {

namespace {
// Loader threads set it while the main thread's trees read it.
std::atomic<float> g_frameTime{1.0f / 60.0f};
std::atomic<float> g_resetValue{1.0f / 60.0f};
}  // namespace

float GetFxFrameTime() { return g_frameTime.load(std::memory_order_relaxed); }
void SetFxFrameTime(float seconds) { g_frameTime.store(seconds, std::memory_order_relaxed); }
float GetFxFrameTimeResetValue() { return g_resetValue.load(std::memory_order_relaxed); }
void SetFxFrameTimeResetValue(float seconds) { g_resetValue.store(seconds, std::memory_order_relaxed); }
void ResetFxFrameTime() { SetFxFrameTime(GetFxFrameTimeResetValue()); }

}  // namespace quor::world
