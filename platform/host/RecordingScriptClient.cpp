#include "platform/host/RecordingScriptClient.h"

namespace quor::host {

float RecordingScriptObject::GetFloat() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_reads;
    const float v = m_value;
    m_value += m_step;
    return v;
}

void RecordingScriptObject::CallMethod(int code, void* argument) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.emplace_back(code, argument ? *static_cast<const float*>(argument) : 0.0f);
}

void RecordingScriptObject::SetClock(float value, float step) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_value = value;
    m_step = step;
}

int RecordingScriptObject::Reads() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reads;
}

std::vector<std::pair<int, float>> RecordingScriptObject::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

}  // namespace quor::host
