#include "world/core/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/host/IClient.h"
#include "platform/host/ILog.h"
#include "platform/win32/Messages.h"
#include "world/core/InterfaceTable.h"

namespace quor {

namespace {

enum class Kind { Info, Print, Error, Warning, Deprecated, Debug };

constexpr char kErrorBanner[] =
    "ERROR *****************************************************************************\n";
constexpr char kWarningBanner[] =
    "WARNING ***************************************************************************\n";
constexpr char kDeprecatedBanner[] =
    "DEPRECATED ***************************************************************************\n";

static_assert(sizeof(kErrorBanner) - 1 == 6 + 77 + 1);
static_assert(sizeof(kWarningBanner) - 1 == 8 + 75 + 1);
static_assert(sizeof(kDeprecatedBanner) - 1 == 11 + 75 + 1);

const char* Prefix(Kind kind) {
    switch (kind) {
    case Kind::Error: return "[ERROR] ";
    case Kind::Warning: return "[WARNING] ";
    case Kind::Deprecated: return "[c] ";
    default: return "";
    }
}

__attribute__((format(printf, 2, 0))) void Emit(Kind kind, const char* format, va_list args) {
    const InterfaceTable& intf = Interfaces();
    common::ILog* log = intf.log;
    if (log && log->IsMuted() == 1) return;
    // Without a log only the log calls are skipped: errors still reach the client.
    if (!log && (kind == Kind::Info || kind == Kind::Print)) return;

    char line[kLogLineSize] = {};
    const char* prefix = Prefix(kind);
    const std::size_t prefixLength = std::strlen(prefix);
    std::memcpy(line, prefix, prefixLength);
    if (format) std::vsnprintf(line + prefixLength, sizeof(line) - prefixLength, format, args);
    line[kLogLineSize - 1] = '\0';

    const int channel = intf.logChannel;
    switch (kind) {
    case Kind::Debug:
        win32::OutputDebugStringA(line);
        win32::OutputDebugStringA("\n");
        return;
    case Kind::Print:
        log->Write(0, line);
        return;
    case Kind::Info:
        log->Write(channel, line);
        return;
    case Kind::Error:
        if (log) {
            log->Printf(channel, "%s", "\n");
            log->Printf(channel, "%s", kErrorBanner);
            log->Write(channel, line);
        }
        if (intf.client) intf.client->ShowErrorText(line);
        return;
    case Kind::Warning:
        if (log) {
            log->Printf(channel, "%s", kWarningBanner);
            log->Write(channel, line);
        }
        if (intf.client) intf.client->ShowWarningText(line);
        return;
    case Kind::Deprecated:
        if (log) {
            log->Printf(channel, "%s", kDeprecatedBanner);
            log->Write(channel, line);
        }
        if (intf.client) intf.client->ShowDeprecatedText(line);
        return;
    }
}

}  // namespace

#define QUOR_LOG_HELPER(name, kind)        \
    void name(const char* format, ...) {   \
        va_list args;                      \
        va_start(args, format);            \
        Emit(kind, format, args);          \
        va_end(args);                      \
    }

QUOR_LOG_HELPER(LogInfo, Kind::Info)
QUOR_LOG_HELPER(LogPrint, Kind::Print)
QUOR_LOG_HELPER(LogError, Kind::Error)
QUOR_LOG_HELPER(LogWarning, Kind::Warning)
QUOR_LOG_HELPER(LogDeprecated, Kind::Deprecated)
QUOR_LOG_HELPER(LogDebugOutput, Kind::Debug)

#undef QUOR_LOG_HELPER

}  // namespace quor
