#pragma once
// The demo's skinned figure: a 20-bone skeleton with blended weights at the joints, its
// animation file ("walk", "wave" with key events and "morph: " markers), the ".ags" companion
// (a group and a sequence) and the ".ini" upper/lower body split.
#include <cstdint>
#include <string>
#include <vector>

namespace quor::test {

struct DemoFigureFiles {
    std::vector<std::uint8_t> mesh;       // char/figure.mom
    std::vector<std::uint8_t> animation;  // char/figure.ani
    std::string ags;                      // char/figure.ags
    std::string split;                    // char/figure.ini
};

// `animationName`: the animation file the mesh names (resource-root relative).
DemoFigureFiles MakeDemoFigure(const std::string& animationName = "char/figure.ani");

}  // namespace quor::test
