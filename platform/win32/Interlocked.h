#pragma once
#include <atomic>

#include "platform/win32/Types.h"

namespace quor::win32 {

// Interlocked counts are atomics; each operation returns what its Win32 namesake returns.
using InterlockedLong = std::atomic<LONG>;

// Returns the incremented value.
inline LONG InterlockedIncrement(InterlockedLong* target) { return target->fetch_add(1) + 1; }
// Returns the decremented value.
inline LONG InterlockedDecrement(InterlockedLong* target) { return target->fetch_sub(1) - 1; }
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
