#pragma once
// The demo's 2D map "map2d/town.scn2" and every file it names, built by parts: each part adds
// its files and its sections of the scene file. A new part is one function (in a file
// DemoMap2D<Name>.cpp of its own, which the build picks up) and one line in the part list of
// DemoMap2D.cpp.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/world/Scene2DFileWriter.h"

namespace quor::test {

struct Map2DSample {
    // The scene file the parts fill; written last as "map2d/town.scn2".
    Scene2DFileWriter scene;
    // Every other file by resource path.
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    // The map's size in pixels and the "MapPath" stem that the ground blocks and the path
    // data are named after ("map2d/town" -> "map2d/town.data").
    int width = 1600;
    int height = 1200;
    std::string mapPath = "map2d/town";
    // Lines of the map's "mask.txt" (name,x,y,w,h,type), beside the block directory; written
    // when any part gives one.
    std::vector<std::string> maskLines;

    void Add(const std::string& path, std::vector<std::uint8_t> bytes);
    void Add(const std::string& path, const std::string& text);
};

using Map2DPart = void (*)(Map2DSample& sample);

// An uncompressed 32-bit TGA, top row first, from 0xAARRGGBB words (the parts' pictures).
std::vector<std::uint8_t> Tga32(int width, int height, const std::vector<std::uint32_t>& argb);
// An uncompressed A8R8G8B8 DDS of one level, from the same words.
std::vector<std::uint8_t> Dds32(int width, int height, const std::vector<std::uint32_t>& argb);
// A JPEG of the same words (alpha dropped), quality 85.
std::vector<std::uint8_t> Jpeg32(int width, int height, const std::vector<std::uint32_t>& argb);

// The town itself: light, specular, map block, camera, path data, area map, pictures, sprite
// sheets, a model and placed sounds.
void AddTownBase(Map2DSample& sample);
// A fog bank, a fire and a bolt of lightning with their textures (DemoMap2DPlane.cpp).
void AddPlaneEffects(Map2DSample& sample);
// The parallax layers (back and front) and the river's water blocks.
void AddTownLayers(Map2DSample& sample);
// The ground blocks (DDS, JPEG and TGA, one missing), the masks over the oak's crown and the
// bridge, and the walker behind the oak (DemoMap2DGround.cpp).
void AddTownGround(Map2DSample& sample);

// Every part in order, then the scene file.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> DemoMap2DFiles();

// The area map's scale: one area pixel covers kTownAreaScale x kTownAreaScale map pixels.
constexpr int kTownAreaScale = 8;

}  // namespace quor::test
