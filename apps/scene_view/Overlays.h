#pragma once
// The overlay pictures and the overlay pick table of scene_view.

#include <filesystem>

class KytModel;
class KytOglMem;
class KytScene;
class KytScenes;

// Writes overlays/*.jpg under `out` with the scene's context drawing into `bits` (a 24-bit
// bitmap of width x height), checks each, and prints the pick table; 0 when all is well.
int RunOverlays(const std::filesystem::path& out, KytScenes& scenes, KytScene* scene,
                KytOglMem& ogl, KytModel& model, void* bits, int width, int height);
