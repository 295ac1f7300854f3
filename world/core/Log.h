#pragma once

namespace quor {

// printf-style log helpers. Each line is formatted into 4096 bytes (prefix included,
// at most 4095 characters, longer text is cut) and written through the host's log;
// errors, warnings and deprecations get a banner first and also go to the host client.
// A muted log makes them write nothing anywhere; with no log at all only the log calls are
// skipped, and errors, warnings and deprecations still reach the client. No line feed is added.
void LogInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogDeprecated(const char* format, ...) __attribute__((format(printf, 1, 2)));
// To the debugger output (OutputDebugStringA), followed by a separate "\n".
void LogDebugOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));

constexpr int kLogLineSize = 4096;

}  // namespace quor
