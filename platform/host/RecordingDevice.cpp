#include "platform/host/RecordingDevice.h"

#include <algorithm>

#include "platform/host/IDeviceCallback.h"

namespace quor::host {

bool RecordingDevice::IsDeviceLost() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.emplace_back("IsDeviceLost");
    }
    return m_direct3d.TestCooperativeLevel() != d3d9::D3D_OK;
}

void* RecordingDevice::GetDevice() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.emplace_back("GetDevice");
    return &m_direct3d;
}

void RecordingDevice::AddDeviceCallback(render::IDeviceCallback* callback) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.emplace_back("AddDeviceCallback");
    if (callback) m_callbacks.push_back(callback);
}

void RecordingDevice::RemoveDeviceCallback(render::IDeviceCallback* callback) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.emplace_back("RemoveDeviceCallback");
    auto it = std::find(m_callbacks.begin(), m_callbacks.end(), callback);
    if (it != m_callbacks.end()) m_callbacks.erase(it);
}

void RecordingDevice::SignalLost() {
    std::vector<render::IDeviceCallback*> callbacks;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        callbacks = m_callbacks;
    }
    for (render::IDeviceCallback* c : callbacks) c->OnDeviceLost();
}

void RecordingDevice::SignalReset() {
    std::vector<render::IDeviceCallback*> callbacks;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        callbacks = m_callbacks;
    }
    for (render::IDeviceCallback* c : callbacks) c->OnDeviceReset();
}

int RecordingDevice::CallbackCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_callbacks.size());
}

std::vector<std::string> RecordingDevice::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

}  // namespace quor::host
