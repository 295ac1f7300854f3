#include "world/core/FrameTimeControl.h"

#include <mutex>

#include "platform/host/IClient.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"

namespace quor {

FrameTimeControl& FrameTimeControl::Instance() {
    static FrameTimeControl control;
    return control;
}

void FrameTimeControl::Recompute() {
    const int rate = m_rate.load();
    m_msPerFrame = static_cast<double>(m_speed.load()) * 1000.0 / static_cast<double>(rate == 0 ? 60 : rate);
}

int FrameTimeControl::SetFrameRate(int rate) {
    m_rate = rate;
    Recompute();
    return rate;
}

int FrameTimeControl::SetSpeed(float speed) {
    m_speed = speed;
    Recompute();
    return m_rate.load();
}

void FrameTimeControl::Reset() {
    m_rate = 0;
    m_speed = 0.0f;
    m_msPerFrame = 0.0;
    m_standingWarned = false;
}

void FrameTimeControl::NoteStandingClock() {
    if (m_standingWarned.load(std::memory_order_relaxed) || m_standingWarned.exchange(true)) return;
    LogWarning("Frame-time speed is 0: animations and effects stand still until the host sets it "
               "(IFrameTimeControl::SetSpeed, 1 for real time)");
}

namespace {
// Negative: no scope open.
thread_local double t_scopedStep = -1.0;
}  // namespace

int GetFrameRate() { return FrameTimeControl::Instance().FrameRate(); }
double GetFrameMilliseconds() {
    return t_scopedStep >= 0.0 ? t_scopedStep : FrameTimeControl::Instance().FrameMilliseconds();
}

ScopedFrameStep::ScopedFrameStep(double milliseconds) : m_saved(t_scopedStep) {
    t_scopedStep = milliseconds >= 0.0 ? milliseconds : 0.0;
}

ScopedFrameStep::~ScopedFrameStep() { t_scopedStep = m_saved; }

namespace {
std::mutex g_handOverMutex;
std::atomic<client::IClient*> g_handedTo{nullptr};
}  // namespace

void HandFrameTimeControlToClient() {
    client::IClient* client = Interfaces().client;
    if (!client || client == g_handedTo.load()) return;
    std::lock_guard lock(g_handOverMutex);
    if (client == g_handedTo.load()) return;
    g_handedTo = client;
    client->SetFrameTimeControl(&FrameTimeControl::Instance());
}

void ForgetFrameTimeHandOver() { g_handedTo = nullptr; }

}  // namespace quor
