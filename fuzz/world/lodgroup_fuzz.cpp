// Feeds arbitrary bytes to the LOD group record reader of binary scene files: the first byte
// picks the file version (before or from the one with parameter tables), the rest is the
// record. Nothing may crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "world/core/BinaryReader.h"
#include "world/core/LodGroup.h"
#include "world/core/SpaceObject.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint32_t version = (data[0] & 1) ? quor::world::LodGroup::kParamsVersion : 0x10020;
    quor::BinaryReader in(data + 1, size - 1);
    const std::unordered_map<std::uint32_t, quor::world::SpaceObject*> objects;
    quor::world::LodGroup group;
    while (in.Remaining() > 0 && group.Read(in, version, objects)) {
    }
    return 0;
}
