#pragma once

namespace quor::world {

class Scene3D;

// Reads a 3D scene file into a scene: built on the stack by Scene3D::Load and living for one
// load (nested layer loads reuse it).
class SceneFileReader {
public:
    SceneFileReader() = default;
    SceneFileReader(const SceneFileReader&) = delete;
    SceneFileReader& operator=(const SceneFileReader&) = delete;

    // Reads the scene's layer record at the index; false when the index is not below the
    // layer table's size, or when the file cannot be read (the progress word then says failed).
    bool Load(Scene3D* scene, int layerIndex);
};

}  // namespace quor::world
