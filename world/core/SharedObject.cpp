#include "world/core/SharedObject.h"

namespace quor {

bool SharedObject::LoadFromMemory(const std::uint8_t* data, std::uint32_t size) {
    const std::uintptr_t header = ParseHeader(data, size);
    if (header == 0) return false;
    return ParseBody(header) > 0;
}

}  // namespace quor
