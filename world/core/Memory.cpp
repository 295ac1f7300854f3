#include "world/core/Memory.h"

#include <cstdio>

#include "platform/win32/Messages.h"

namespace quor {

void OutOfMemory(std::size_t size) noexcept {
    char line[96];
    std::snprintf(line, sizeof(line), "[ERROR] world: out of memory allocating %zu bytes\n", size);
    win32::OutputDebugStringA(line);
    std::fputs(line, stderr);
    std::abort();
}

}  // namespace quor
