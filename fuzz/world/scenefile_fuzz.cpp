// Feeds arbitrary bytes to the XML scene-file reader as a 3D scene's file, with a box mesh, a
// flat terrain and the default box in place so that well-formed inputs reach every section.
// Nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>

#include "fuzz/world/SceneHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quor::fuzz::LoadSceneBytes(data, size, "fuzz.scn");
    return 0;
}
