#pragma once
#include <atomic>

#include "platform/win32/Types.h"

namespace quor::win32 {

// Interlocked counts are atomics; each operation returns what its Win32 namesake returns.
using InterlockedLong = std::atomic<LONG>;

// Returns the incremented value; wraps from the largest LONG to the smallest as Windows does
// (the arithmetic is unsigned, so the wrap is not an overflow).
inline LONG InterlockedIncrement(InterlockedLong* target) {
    return static_cast<LONG>(static_cast<DWORD>(target->fetch_add(1)) + 1u);
}
// Returns the decremented value; wraps the other way.
inline LONG InterlockedDecrement(InterlockedLong* target) {
    return static_cast<LONG>(static_cast<DWORD>(target->fetch_sub(1)) - 1u);
}
// Returns the value before the exchange.
inline LONG InterlockedExchange(InterlockedLong* target, LONG value) { return target->exchange(value); }
// Stores exchange when the current value equals comparand; returns the value before.
inline LONG InterlockedCompareExchange(InterlockedLong* target, LONG exchange, LONG comparand) {
    target->compare_exchange_strong(comparand, exchange);
    return comparand;
}
// Returns the value before the addition.
inline LONG InterlockedExchangeAdd(InterlockedLong* target, LONG value) { return target->fetch_add(value); }

}  // namespace quor::win32
