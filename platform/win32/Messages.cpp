#include "platform/win32/Messages.h"

#include <cstdio>

namespace quor::win32 {

MessageSink& MessageSink::Instance() {
    static MessageSink sink;
    return sink;
}

std::vector<MessageBoxRecord> MessageSink::MessageBoxes() const {
    std::lock_guard lock(m_mutex);
    return m_boxes.Items();
}

std::vector<PostedMessage> MessageSink::PostedMessages() const {
    std::lock_guard lock(m_mutex);
    return m_posted.Items();
}

std::vector<std::string> MessageSink::DebugOutput() const {
    std::lock_guard lock(m_mutex);
    return m_debug.Items();
}

void MessageSink::Clear() {
    std::lock_guard lock(m_mutex);
    m_boxes.clear();
    m_posted.clear();
    m_debug.clear();
}

std::uint64_t MessageSink::MessageBoxCount() const {
    std::lock_guard lock(m_mutex);
    return m_boxes.Total();
}

std::uint64_t MessageSink::PostedMessageCount() const {
    std::lock_guard lock(m_mutex);
    return m_posted.Total();
}

std::uint64_t MessageSink::DebugOutputCount() const {
    std::lock_guard lock(m_mutex);
    return m_debug.Total();
}

void MessageSink::SetRecordLimit(std::size_t limit) {
    std::lock_guard lock(m_mutex);
    m_boxes.SetLimit(limit);
    m_posted.SetLimit(limit);
    m_debug.SetLimit(limit);
}

void MessageSink::SetMessageBoxAnswer(int answer) {
    std::lock_guard lock(m_mutex);
    m_answer = answer;
}

void MessageSink::SetEchoDebugOutput(bool on) {
    std::lock_guard lock(m_mutex);
    m_echo = on;
}

int MessageSink::RecordMessageBox(HWND window, const char* text, const char* caption, UINT type) {
    std::lock_guard lock(m_mutex);
    m_boxes.push_back({window, text ? text : "", caption ? caption : "", type});
    return m_answer;
}

void MessageSink::RecordPostedMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(m_mutex);
    m_posted.push_back({window, message, wParam, lParam});
}

void MessageSink::RecordDebugOutput(const char* text) {
    std::lock_guard lock(m_mutex);
    if (m_echo) std::fputs(text ? text : "", stderr);
    m_debug.push_back(text ? text : "");
}

int MessageBoxA(HWND window, const char* text, const char* caption, UINT type) {
    return MessageSink::Instance().RecordMessageBox(window, text, caption, type);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageSink::Instance().RecordPostedMessage(window, message, wParam, lParam);
    if (window) static_cast<MessageWindow*>(window)->OnPostedMessage(message, wParam, lParam);
    return TRUE;
}

void OutputDebugStringA(const char* text) { MessageSink::Instance().RecordDebugOutput(text); }

}  // namespace quor::win32
