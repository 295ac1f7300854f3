#include "platform/host/RecordingClient.h"

namespace quor::host {

void RecordingClient::SetFrameTimeControl(IFrameTimeControl* control) {
    {
        std::lock_guard lock(m_mutex);
        m_frameTime = control;
        ++m_handOvers;
    }
    if (control && startSpeed != 0.0f) control->SetSpeed(startSpeed);
}

void RecordingClient::CancelAsyncRequests(const void* owner) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled.push_back(owner);
}

std::vector<const void*> RecordingClient::CancelledOwners() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cancelled;
}

void RecordingClient::SetTimeScale(float scale) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timeScales.push_back(scale);
}

bool RecordingClient::GetScreenSize(int* width, int* height) {
    const int w = screenWidth.load(), h = screenHeight.load();
    if (w <= 0 || h <= 0) return false;
    if (width) *width = w;
    if (height) *height = h;
    return true;
}

std::vector<float> RecordingClient::TimeScales() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timeScales;
}

void RecordingClient::ShowErrorText(const char* text) { Add(TextKind::Error, text); }
void RecordingClient::ShowWarningText(const char* text) { Add(TextKind::Warning, text); }
void RecordingClient::ShowDeprecatedText(const char* text) { Add(TextKind::Deprecated, text); }

IFrameTimeControl* RecordingClient::FrameTimeControl() const {
    std::lock_guard lock(m_mutex);
    return m_frameTime;
}

int RecordingClient::FrameTimeControlHandOvers() const {
    std::lock_guard lock(m_mutex);
    return m_handOvers;
}

std::vector<RecordingClient::Text> RecordingClient::Texts() const {
    std::lock_guard lock(m_mutex);
    return m_texts.Items();
}

std::uint64_t RecordingClient::TextCount() const {
    std::lock_guard lock(m_mutex);
    return m_texts.Total();
}

void RecordingClient::SetRecordLimit(std::size_t limit) {
    std::lock_guard lock(m_mutex);
    m_texts.SetLimit(limit);
}

void RecordingClient::Clear() {
    std::lock_guard lock(m_mutex);
    m_texts.clear();
    m_frameTime = nullptr;
    m_handOvers = 0;
    m_timeScales.clear();
}

void RecordingClient::Add(TextKind kind, const char* text) {
    std::lock_guard lock(m_mutex);
    m_texts.push_back({kind, text ? text : ""});
}

}  // namespace quor::host
