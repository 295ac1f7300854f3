#pragma once
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/host/ILog.h"
#include "platform/win32/RecentRecords.h"

namespace quor::host {

// The reference log: records lines as (kind, channel, text) (the latest ones, see
// win32::RecentRecords, and how many came), can print as it goes and can be muted.
class RecordingLog final : public common::ILog {
public:
    enum class Kind { Printf, Write };
    struct Entry {
        Kind kind;
        int channel;
        std::string text;
    };

    bool RegisterChannel(int channel, const char* name) override;
    void Printf(int channel, const char* format, ...) override __attribute__((format(printf, 3, 4)));
    void Write(int channel, const char* text) override;
    int IsMuted() override;

    void SetMuted(bool muted);
    // Also print each line to out as it arrives ("<channel name>: text"); null stops it.
    void SetEcho(std::FILE* out);
    std::vector<Entry> Entries() const;
    // The name registered for a channel; empty when none.
    std::string ChannelName(int channel) const;
    std::map<int, std::string> Channels() const;
    void Clear();
    // Lines written since the last Clear, recorded or not.
    std::uint64_t EntryCount() const;
    // How many lines are kept (the latest); 0 switches recording off.
    void SetRecordLimit(std::size_t limit);
    // Writes every recorded entry to out, one per line.
    void Print(std::FILE* out) const;

private:
    void Add(Kind kind, int channel, std::string text);

    mutable std::mutex m_mutex;
    win32::RecentRecords<Entry> m_entries;
    std::map<int, std::string> m_channels;
    bool m_muted = false;
    std::FILE* m_echo = nullptr;
};

}  // namespace quor::host
