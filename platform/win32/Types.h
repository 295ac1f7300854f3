#pragma once
#include <cstdint>

namespace quor::win32 {

// The handful of Win32 scalar types the system's code is written in.
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using HWND = void*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

}  // namespace quor::win32
