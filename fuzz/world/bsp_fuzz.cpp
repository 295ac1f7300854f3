// Feeds arbitrary bytes to the collision tree's section reader: the first byte picks the file
// version, the rest is the section. What loads is then queried with a ray and a sliding
// capsule. Nothing may crash, loop, leak or read out of bounds.
#include <cstddef>
#include <cstdint>

#include "fuzz/world/MemoryHost.h"
#include "world/core/BSPTree.h"

namespace {

constexpr std::uint32_t kVersions[] = {0x10002, 0x10003, 0x10005, 0x10006, 0x10007, 0x10021, 0x10022, 0x10025};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool bound = (quor::fuzz::BindMemoryHost(), true);
    (void)bound;
    if (size < 1) return 0;
    const std::uint32_t version = kVersions[data[0] % (sizeof kVersions / sizeof kVersions[0])];
    quor::world::BSPTree tree;
    const std::size_t used = tree.Read(data + 1, size - 1, version);
    if (used > size - 1) __builtin_trap();
    if (used == 0 && tree.HasTree()) __builtin_trap();
    if (tree.HasTree()) {
        float t = 0.0f;
        tree.RayCast(quor::Ray{{0.5f, 20.0f, 0.25f}, {0.1f, -40.0f, 0.2f}}, &t, 0, 0, false);
        quor::Vec3 end;
        tree.SweepCapsule(end, {0.5f, 2.0f, 0.25f}, {3.0f, -4.0f, 1.0f}, 0.5f, 1.5f, 45.0f, 0, 0, false);
        tree.GetNearestHitVertex();
    }
    return 0;
}
