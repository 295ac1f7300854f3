#pragma once

namespace quor::common {

// The host's log: channels by number, formatted and plain lines, and a mute test.
class ILog {
public:
    virtual bool RegisterChannel(int channel, const char* name) = 0;
    virtual void Printf(int channel, const char* format, ...) __attribute__((format(printf, 3, 4))) = 0;
    virtual void Write(int channel, const char* text) = 0;
    // 1 when the log is muted: the module then writes nothing anywhere.
    virtual int IsMuted() = 0;

protected:
    ~ILog() = default;
};

}  // namespace quor::common
