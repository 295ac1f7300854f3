// The files effect nodes name, for the effect fuzz target and its seeds: a mesh for the model
// kind, sheets for the sprite kind, a sound for the sound kinds. Textures are left out: the
// kinds go on without them or with a blank one.
#pragma once
#include <string_view>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"

namespace quor::fuzz {

inline void AddEffectSupportFiles(host::MemoryFileSystem& files) {
    files.AddFile("fx/q.mom", test::WriteMom(test::SquareMesh()));
    constexpr std::string_view sheet = "4 2 8 4\r\nfx/p.tga\r\n1000 1\r\n";
    files.AddFile("fx/s.spr", sheet);
    files.AddFile("fx/s.ems", sheet);
    files.AddFile("fx/a.wav", std::string_view("RIFF\x24\0\0\0WAVEfmt ", 16));
}

}  // namespace quor::fuzz
