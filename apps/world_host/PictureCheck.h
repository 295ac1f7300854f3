#pragma once
// The demo's picture checks: each reads a written picture back and prints one line,
// "ok   FILE: what was verified (counts)" or "FAIL FILE: what is missing (counts)", so that a
// picture that shows nothing readable fails the demo.
#include <cstdint>
#include <string>

namespace quor::demo {

// The colour the model, effect and figure frames are cleared to.
constexpr std::uint32_t kDemoClearArgb = 0xFF203040u;

// A model (or figure) against the clear colour: not one colour, the model's pixels, and more
// than one shade on them (its faces lit from different sides, or its texture).
bool CheckModelPicture(const std::string& path, std::uint32_t clearArgb);
// The garden: sky pixels above the horizon row, ground pixels below it, and more than one
// shade on what stands on the ground.
bool CheckGardenPicture(const std::string& path, int horizonRow);
// Effects against the clear colour: not one colour, and the pixels of the particles in the
// rectangle (x, y, width, height, pixels) their systems fill on screen.
bool CheckEffectPicture(const std::string& path, std::uint32_t clearArgb, const int particleRect[4]);
// Checks that failed in this run.
int FailedPictureChecks();

}  // namespace quor::demo
