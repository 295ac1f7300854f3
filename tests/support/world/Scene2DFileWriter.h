#pragma once
// Writes 2D scene files (".scn2", ".s2d"): the "Scene2D" XML document with its sections, for the
// scene tests, the fuzz seed corpus and the sample map.
#include <string>
#include <vector>

namespace quor::test {

class Scene2DFileWriter {
public:
    Scene2DFileWriter& Light(int r, int g, int b);
    Scene2DFileWriter& Specular(int r, int g, int b, bool enable);
    // cutLevel < 0 leaves "EffectCutLevel" out.
    Scene2DFileWriter& MapBlock(const std::string& path, float width, float height, int cutLevel = -1);
    // Raw attributes of "Entities"/"Camera", e.g. type="0" dist="1000".
    Scene2DFileWriter& Camera(const std::string& attributes);
    Scene2DFileWriter& Direction(float x, float y, float z);
    // Appends to the file table; returns the path's index.
    int AddFile(const std::string& path);
    // Entity records of "Fxes" and "Models": raw attributes after "FilePathIndex".
    Scene2DFileWriter& Fx(int fileIndex, const std::string& attributes = "");
    Scene2DFileWriter& Model(int fileIndex, const std::string& attributes = "");
    Scene2DFileWriter& Water(const std::string& attributes);
    Scene2DFileWriter& Sound(int id, float x, float y);
    // A whole element put under the root as written (plane-effect sections, odd cases).
    Scene2DFileWriter& Raw(const std::string& element);

    std::string Text() const;

private:
    std::string m_light, m_specular, m_mapBlock, m_camera, m_global;
    std::vector<std::string> m_files, m_fxes, m_models, m_waters, m_sounds, m_raw;
};

}  // namespace quor::test
