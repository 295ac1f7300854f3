#include "platform/win32/Clock.h"

#include <atomic>
#include <chrono>

namespace quor::win32 {

namespace {
std::atomic<bool> g_manual{false};
std::atomic<DWORD> g_manualNow{0};

DWORD RealNow() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<DWORD>(ms.count());
}
}  // namespace

DWORD timeGetTime() { return g_manual.load() ? g_manualNow.load() : RealNow(); }

void TimeSource::SetManual(DWORD now) {
    g_manualNow = now;
    g_manual = true;
}

void TimeSource::Advance(DWORD milliseconds) { g_manualNow.fetch_add(milliseconds); }

void TimeSource::UseReal() { g_manual = false; }

bool TimeSource::IsManual() { return g_manual.load(); }

}  // namespace quor::win32
