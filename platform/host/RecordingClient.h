#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/IClient.h"
#include "platform/win32/RecentRecords.h"

namespace quor::host {

// The reference client: records the texts it is asked to show and keeps the
// frame-time control it is handed.
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
    // How many owners had their requests cancelled.
    std::atomic<int> cancelRequests{0};
    int GetPendingTaskCount() override { return pendingTasks.load(); }
    void CancelAsyncRequests(const void*) override { cancelRequests.fetch_add(1); }

    IFrameTimeControl* FrameTimeControl() const;
    int FrameTimeControlHandOvers() const;
    // The latest texts (see win32::RecentRecords) and how many came since the last Clear.
    std::vector<Text> Texts() const;
    std::uint64_t TextCount() const;
    // How many texts are kept; 0 switches recording off.
    void SetRecordLimit(std::size_t limit);
    void Clear();

    int reportMark = 7;
    std::atomic<int> pendingTasks{0};

private:
    void Add(TextKind kind, const char* text);

    mutable std::mutex m_mutex;
    IFrameTimeControl* m_frameTime = nullptr;
    int m_handOvers = 0;
    win32::RecentRecords<Text> m_texts;
};

}  // namespace quor::host
