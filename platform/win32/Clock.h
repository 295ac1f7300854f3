#pragma once
#include "platform/win32/Types.h"

namespace quor::win32 {

// Milliseconds of the multimedia timer; wraps at 2^32 like the real one.
DWORD timeGetTime();

// Lets tests drive timeGetTime: once set manual, the clock moves only when told to.
class TimeSource {
public:
    static void SetManual(DWORD now);
    static void Advance(DWORD milliseconds);
    static void UseReal();
    static bool IsManual();
};

}  // namespace quor::win32
