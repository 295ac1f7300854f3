#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/RecentRecords.h"
#include "platform/win32/Types.h"

namespace quor::win32 {

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr int IDOK = 1;

struct MessageBoxRecord {
    HWND window;
    std::string text;
    std::string caption;
    UINT type;
};

struct PostedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Where message boxes, posted window messages and debug output end up. It records them
// (the last RecentRecords::kDefaultLimit of each kind, and how many came), answers every box
// at once (nothing ever waits for a user) and is thread-safe, since loader threads post
// progress messages.
class MessageSink {
public:
    static MessageSink& Instance();

    std::vector<MessageBoxRecord> MessageBoxes() const;
    std::vector<PostedMessage> PostedMessages() const;
    // Each OutputDebugStringA call is one entry, exactly as given.
    std::vector<std::string> DebugOutput() const;
    void Clear();
    // How many of each came since the last Clear, recorded or not.
    std::uint64_t MessageBoxCount() const;
    std::uint64_t PostedMessageCount() const;
    std::uint64_t DebugOutputCount() const;
    // How many of each kind are kept (the latest); 0 switches recording off.
    void SetRecordLimit(std::size_t limit);

    // The answer every message box gives (IDOK unless set).
    void SetMessageBoxAnswer(int answer);
    // Also copy debug output to standard error (off by default).
    void SetEchoDebugOutput(bool on);

    int RecordMessageBox(HWND window, const char* text, const char* caption, UINT type);
    void RecordPostedMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void RecordDebugOutput(const char* text);

private:
    mutable std::mutex m_mutex;
    RecentRecords<MessageBoxRecord> m_boxes;
    RecentRecords<PostedMessage> m_posted;
    RecentRecords<std::string> m_debug;
    int m_answer = IDOK;
    bool m_echo = false;
};

// A window that takes posted messages. In this stand-in every window handle other than null
// that PostMessageA is given is one of these (the host's main window), so a module posts to
// the host's window across the module boundary.
class MessageWindow {
public:
    virtual void OnPostedMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~MessageWindow() = default;
};

int MessageBoxA(HWND window, const char* text, const char* caption, UINT type);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void OutputDebugStringA(const char* text);

}  // namespace quor::win32
