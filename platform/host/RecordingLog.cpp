#include "platform/host/RecordingLog.h"

#include <cstdarg>

namespace quor::host {

namespace {
void PrintEntry(std::FILE* out, const std::string& channelName, int channel, const std::string& text) {
    if (channelName.empty())
        std::fprintf(out, "[%d] %s", channel, text.c_str());
    else
        std::fprintf(out, "%s: %s", channelName.c_str(), text.c_str());
    if (text.empty() || text.back() != '\n') std::fputc('\n', out);
}
}  // namespace

bool RecordingLog::RegisterChannel(int channel, const char* name) {
    std::lock_guard lock(m_mutex);
    m_channels[channel] = name ? name : "";
    return true;
}

void RecordingLog::Printf(int channel, const char* format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (n > 0) {
        text.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    Add(Kind::Printf, channel, std::move(text));
}

void RecordingLog::Write(int channel, const char* text) { Add(Kind::Write, channel, text ? text : ""); }

int RecordingLog::IsMuted() {
    std::lock_guard lock(m_mutex);
    return m_muted ? 1 : 0;
}

void RecordingLog::SetMuted(bool muted) {
    std::lock_guard lock(m_mutex);
    m_muted = muted;
}

void RecordingLog::SetEcho(std::FILE* out) {
    std::lock_guard lock(m_mutex);
    m_echo = out;
}

std::vector<RecordingLog::Entry> RecordingLog::Entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries.Items();
}

std::string RecordingLog::ChannelName(int channel) const {
    std::lock_guard lock(m_mutex);
    auto it = m_channels.find(channel);
    return it == m_channels.end() ? std::string() : it->second;
}

std::map<int, std::string> RecordingLog::Channels() const {
    std::lock_guard lock(m_mutex);
    return m_channels;
}

void RecordingLog::Clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

std::uint64_t RecordingLog::EntryCount() const {
    std::lock_guard lock(m_mutex);
    return m_entries.Total();
}

void RecordingLog::SetRecordLimit(std::size_t limit) {
    std::lock_guard lock(m_mutex);
    m_entries.SetLimit(limit);
}

void RecordingLog::Print(std::FILE* out) const {
    std::lock_guard lock(m_mutex);
    for (const Entry& e : m_entries) {
        auto it = m_channels.find(e.channel);
        PrintEntry(out, it == m_channels.end() ? std::string() : it->second, e.channel, e.text);
    }
}

void RecordingLog::Add(Kind kind, int channel, std::string text) {
    std::lock_guard lock(m_mutex);
    if (m_echo) {
        auto it = m_channels.find(channel);
        PrintEntry(m_echo, it == m_channels.end() ? std::string() : it->second, channel, text);
    }
    m_entries.push_back({kind, channel, std::move(text)});
}

}  // namespace quor::host
