#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/IClient.h"
#include "platform/win32/Messages.h"
#include "platform/win32/RecentRecords.h"

namespace quor::host {

// The reference client: records the texts it is asked to show and keeps the
// frame-time control it is handed, setting its speed to startSpeed then: the module's clocks
// stand still until a host sets the speed.
class RecordingClient final : public client::IClient {
public:
    enum class TextKind { Error, Warning, Deprecated };
    struct Text {
        TextKind kind;
        std::string text;
    };

    void SetFrameTimeControl(IFrameTimeControl* control) override;
    void ShowErrorText(const char* text) override;
    void ShowWarningText(const char* text) override;
    void ShowDeprecatedText(const char* text) override;
    int GetReportMark() override { return reportMark; }
    int GetPendingTaskCount() override { return pendingTasks.load(); }
    int GetFrameRate() override { return frameRate.load(); }
    void CancelAsyncRequests(const void* owner) override;
    // The owners CancelAsyncRequests was called with, in order.
    std::vector<const void*> CancelledOwners() const;
    void SetTimeScale(float scale) override;
    // Every scale SetTimeScale was given, in order.
    std::vector<float> TimeScales() const;

    // The main window records what is posted to it (loader threads post too).
    void* GetMainWindow() override { return mainWindowOn ? &m_window : nullptr; }
    bool IsLoadingCancelled() override { return loadingCancelled.load(); }
    bool GetScreenSize(int* width, int* height) override;
    std::vector<win32::PostedMessage> WindowMessages() const { return m_window.Messages(); }

    IFrameTimeControl* FrameTimeControl() const;
    // The speed set on the frame-time control when the module hands it over (real time; a
    // test that wants the module's standing clocks sets 0 before binding).
    float startSpeed = 1.0f;
    int FrameTimeControlHandOvers() const;
    // The latest texts (see win32::RecentRecords) and how many came since the last Clear.
    std::vector<Text> Texts() const;
    std::uint64_t TextCount() const;
    // How many texts are kept; 0 switches recording off.
    void SetRecordLimit(std::size_t limit);
    void Clear();

    int reportMark = 7;
    std::atomic<int> pendingTasks{0};
    std::atomic<int> frameRate{60};
    bool mainWindowOn = true;
    std::atomic<bool> loadingCancelled{false};
    // 0 x 0: the client does not tell its screen size.
    std::atomic<int> screenWidth{0};
    std::atomic<int> screenHeight{0};

private:
    void Add(TextKind kind, const char* text);

    class Window final : public win32::MessageWindow {
    public:
        void OnPostedMessage(win32::UINT message, win32::WPARAM wParam, win32::LPARAM lParam) override {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_messages.push_back({this, message, wParam, lParam});
        }
        std::vector<win32::PostedMessage> Messages() const {
            std::lock_guard<std::mutex> lock(m_mutex);
            return m_messages;
        }

    private:
        mutable std::mutex m_mutex;
        std::vector<win32::PostedMessage> m_messages;
    };
    Window m_window;

    mutable std::mutex m_mutex;
    IFrameTimeControl* m_frameTime = nullptr;
    int m_handOvers = 0;
    win32::RecentRecords<Text> m_texts;
    std::vector<const void*> m_cancelled;
    std::vector<float> m_timeScales;
};

}  // namespace quor::host
