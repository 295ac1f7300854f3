#pragma once
// Writes XML 3D scene files (".scn") from a description, for the scene-file tests, the fuzz
// seed corpus and the demo's garden. The description becomes an element tree first, so a test
// can take attributes out or add odd ones before the text is made.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quor::test {

// One XML element: attributes in order, then children.
struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<XmlElement> children;

    XmlElement& Set(const std::string& key, const std::string& value);
    XmlElement& Set(const std::string& key, const char* value) { return Set(key, std::string(value)); }
    XmlElement& Set(const std::string& key, int value) { return Set(key, std::to_string(value)); }
    XmlElement& Set(const std::string& key, unsigned value) { return Set(key, std::to_string(value)); }
    XmlElement& Set(const std::string& key, float value);
    XmlElement& Set(const std::string& key, bool value) { return Set(key, std::string(value ? "true" : "false")); }
    void Erase(const std::string& key);
    // A new last child.
    XmlElement& Add(const std::string& childName);
    // The first child of that name; null when there is none.
    XmlElement* Find(const std::string& childName);
    void Remove(const std::string& childName);
    std::string Text(int indent = 0) const;
};

using Float3 = std::array<float, 3>;
using Float16 = std::array<float, 16>;
Float16 IdentityMatrix16();
// "a,r,g,b" as the scene file writes colours.
std::string ColorText(std::uint32_t argb);

struct SceneColorKey {
    float time = 0.0f;
    std::array<float, 4> rgba = {1, 1, 1, 1};
};

struct SceneLightDesc {
    unsigned usage = 1;
    unsigned type = 3;  // 1 point, 2 spot, 3 directional
    std::string name;
    bool enable = true;
    Float3 position = {0, 0, 0};
    Float3 direction = {0, -1, 0};
    float range = 0.0f;
    std::array<float, 3> attenuation = {0, 0, 0};
    float innerCone = 0.0f;
    float outerCone = 0.0f;
    float affectRadius = 100.0f;  // written with usage bit 4
    std::vector<SceneColorKey> diffuse, ambient, specular;
};

struct SceneLightmapDesc {
    int index = 0;
    std::string texture;
    std::string effect;
};

struct SceneObjectDesc {
    int origin = -1;  // written only when 0 or more
    int fileIndex = 0;
    unsigned flag = 0x2;
    std::string name;
    Float3 position = {0, 0, 0};
    Float16 rotation = IdentityMatrix16();
    Float3 scale = {1, 1, 1};
    unsigned billboard = 0;
    std::vector<SceneLightmapDesc> lightmaps;
    std::vector<std::string> attributes;
};

struct SceneEntryDesc {
    unsigned type = 0;  // object table: 0 models, 1 effects, 2 sky objects
    int index = 0;
};

struct SceneGroupDesc {
    std::string name;
    std::vector<SceneEntryDesc> entries;
};

struct SceneLodLevelDesc {
    float distance = 0.0f;
    int meshLod = 0;
    int materialLod = 0;
};

struct SceneLodGroupDesc {
    std::string name;
    std::vector<SceneLodLevelDesc> levels;
    std::vector<SceneEntryDesc> entries;
};

struct SceneTrackDesc {
    int fileIndex = 0;
    std::string name;
    Float16 baseMatrix = IdentityMatrix16();
};

struct ScenePresetCameraDesc {
    std::string name;
    Float16 transform = IdentityMatrix16();
};

struct SceneLayerDesc {
    int id = 1;
    std::string name;
    std::string path;
};

struct SceneGrassDesc {
    std::string path;
    Float3 position = {0, 0, 0};
    float height = 1.0f;
    float swayX = 0.0f, swayZ = 0.0f, delta = 0.0f;
    int color = 0;
    bool sway = true;
};

// A shrub batch: its name and the ini text (resource path, section) it loads from.
struct SceneCrossTextureDesc {
    std::string name;
    std::string iniFile;
    std::string section;  // empty: the attribute is left out
};

struct SceneFileDesc {
    std::string rootName = "Scene3D";
    int version = 1;
    bool global = true;
    bool ambient = true;
    std::uint32_t ambientColor = 0xFF404040;
    bool fog = false;
    int fogType = 1, fogMode = 1;
    std::uint32_t fogColor = 0xFFFFFFFF;
    float fogStart = 0.0f, fogEnd = 1.0f, fogDensity = 1.0f;
    float minZ = 1.0f, maxZ = 10000.0f;
    std::string background;
    std::vector<SceneLightDesc> lights;
    std::string terrain;  // empty: no "Terrain" element
    std::vector<float> terrainLods;
    bool entities = true;
    std::vector<std::string> files;
    std::vector<SceneObjectDesc> models, fxes, skies;
    std::vector<SceneGroupDesc> groups;
    std::vector<SceneLodGroupDesc> lodGroups;
    std::vector<std::string> trackFiles;
    std::vector<SceneTrackDesc> tracks;
    std::vector<ScenePresetCameraDesc> presetCameras;
    std::vector<SceneLayerDesc> layers;
    std::vector<SceneGrassDesc> grasses;
    std::vector<SceneCrossTextureDesc> crossTextures;
    bool audio = false;  // an empty "Audio" element
};

// The document: a declaration-less tree whose one child is the scene root.
XmlElement BuildSceneXml(const SceneFileDesc& desc);
std::string WriteSceneXml(const SceneFileDesc& desc);
std::string WriteXml(const XmlElement& root);

// A transform placing a camera at `eye` looking at `target` (rows: right, up, forward,
// position), as preset cameras store it.
Float16 LookAtTransform(const Float3& eye, const Float3& target);

// The demo garden's shrub batch "Bushes" as ini text (its texture is "leaf.tga").
std::string GardenShrubsIni();

// The demo garden's scene files by resource path: "scenes/garden.scn" and its layer
// "scenes/garden_pond.scn". The meshes, terrain and track they name are DemoGardenFiles'.
std::vector<std::pair<std::string, std::string>> GardenSceneTexts();
SceneFileDesc GardenSceneDesc();
// The garden's "Audio" element: default music, three speakers, two music zones and a reverb
// zone, all named by event names.
XmlElement GardenAudioXml();

}  // namespace quor::test
