#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quor::world {

// One usable line of a map's "mask.txt": "name,x,y,w,h,type".
struct MaskListEntry {
    std::string name;
    std::int32_t x = 0, y = 0, width = 0, height = 0, type = 0;
};

// Reads the lines of a "mask.txt" (lines end in "\r\n", the last one runs to the end). An
// empty line or a line without a comma ends the list; a line whose five numbers are not all
// there, overflow 32 bits (x + w and y + h too), or give a negative position or a size that is
// not positive is skipped. Never reads past size.
std::vector<MaskListEntry> ParseMaskList(const char* data, std::size_t size);

}  // namespace quor::world
