#include "tests/support/world/Scene2DFileWriter.h"

#include <cstdio>

namespace quor::test {

namespace {

std::string Number(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
    return buffer;
}

std::string Element(const std::string& name, const std::vector<std::string>& children) {
    if (children.empty()) return "";
    std::string s = "<" + name + ">";
    for (const std::string& c : children) s += c;
    return s + "</" + name + ">";
}

}  // namespace

Scene2DFileWriter& Scene2DFileWriter::Light(int r, int g, int b) {
    m_light = "<Light R=\"" + std::to_string(r) + "\" G=\"" + std::to_string(g) + "\" B=\"" + std::to_string(b) + "\"/>";
    return *this;
}

Scene2DFileWriter& Scene2DFileWriter::Specular(int r, int g, int b, bool enable) {
    m_specular = "<Model_Specular R=\"" + std::to_string(r) + "\" G=\"" + std::to_string(g) + "\" B=\"" +
                 std::to_string(b) + "\" Enable=\"" + (enable ? "True" : "False") + "\"/>";
    return *this;
}

Scene2DFileWriter& Scene2DFileWriter::MapBlock(const std::string& path, float width, float height, int cutLevel) {
    m_mapBlock = "<MapBlock MapPath=\"" + path + "\" MapSize=\"" + Number(width) + "," + Number(height) + "\"";
    if (cutLevel >= 0) m_mapBlock += " EffectCutLevel=\"" + std::to_string(cutLevel) + "\"";
    m_mapBlock += "/>";
    return *this;
}

Scene2DFileWriter& Scene2DFileWriter::Camera(const std::string& attributes) {
    m_camera = "<Camera " + attributes + "/>";
    return *this;
}

Scene2DFileWriter& Scene2DFileWriter::Direction(float x, float y, float z) {
    m_global = "<Global direction=\"" + Number(x) + "," + Number(y) + "," + Number(z) + "\"/>";
    return *this;
}

int Scene2DFileWriter::AddFile(const std::string& path) {
    m_files.push_back("<File Path=\"" + path + "\"/>");
    return static_cast<int>(m_files.size()) - 1;
}

Scene2DFileWriter& Scene2DFileWriter::Fx(int fileIndex, const std::string& attributes) {
    m_fxes.push_back("<Fx FilePathIndex=\"" + std::to_string(fileIndex) + "\" " + attributes + "/>");
    return *this;
}

Scene2DFileWriter& Scene2DFileWriter::Model(int fileIndex, const std::string& attributes) {
    m_models.push_back("<Model FilePathIndex=\"" + std::to_string(fileIndex) + "\" " + attributes + "/>");
    return *this;
}

Scene2DFileWriter& Scene2DFileWriter::Water(const std::string& attributes) {
    m_waters.push_back("<Water " + attributes + "/>");
    return *this;
}

Scene2DFileWriter& Scene2DFileWriter::Sound(int id, float x, float y) {
    m_sounds.push_back("<Sound id=\"" + std::to_string(id) + "\" Position=\"" + Number(x) + "," + Number(y) + "\"/>");
    return *this;
}

Scene2DFileWriter& Scene2DFileWriter::Raw(const std::string& element) {
    m_raw.push_back(element);
    return *this;
}

std::string Scene2DFileWriter::Text() const {
    std::string s = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<Scene2D>";
    s += m_light + m_specular + m_mapBlock + m_global;
    s += "<Entities>" + m_camera + Element("AllFiles", m_files) + Element("Fxes", m_fxes) +
         Element("Models", m_models) + Element("Sounds", m_sounds) + "</Entities>";
    s += Element("Waters", m_waters);
    for (const std::string& r : m_raw) s += r;
    return s + "</Scene2D>\n";
}

}  // namespace quor::test
