// Feeds arbitrary bytes to the binary scene-file reader as a 3D scene's file. Nothing may
// crash, leak or read out of bounds; a damaged file must be refused.
#include <cstddef>
#include <cstdint>

#include "fuzz/world/SceneHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quor::fuzz::LoadSceneBytes(data, size, "fuzz.scn");
    return 0;
}
