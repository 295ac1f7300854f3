#include "world/core/FrameTimeControl.h"

#include <mutex>

#include "platform/host/IClient.h"
#include "world/core/InterfaceTable.h"

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
}

int GetFrameRate() { return FrameTimeControl::Instance().FrameRate(); }
double GetFrameMilliseconds() { return FrameTimeControl::Instance().FrameMilliseconds(); }

void HandFrameTimeControlToClient() {
    static std::mutex mutex;
    static client::IClient* handedTo = nullptr;
    client::IClient* client = Interfaces().client;
    if (!client) return;
    std::lock_guard lock(mutex);
    if (client == handedTo) return;
    handedTo = client;
    client->SetFrameTimeControl(&FrameTimeControl::Instance());
}

}  // namespace quor
