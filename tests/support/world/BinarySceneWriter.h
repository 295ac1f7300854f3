#pragma once
// Writes binary 3D scene files ("RSCN") of any version from one description, for the reader
// tests, the fuzz seeds and the demo's yard. Fields a version does not store are left out, so
// one description can be written at every version.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quor::test {

struct BinaryColorKey {
    float time = 0.0f;
    std::array<float, 4> rgba = {1, 1, 1, 1};
};

struct BinarySceneLight {
    std::string name;  // at most 15 characters are stored
    std::uint32_t type = 3;
    std::uint32_t enabled = 1;
    std::uint32_t flags = 1;
    // Colours of the older record (ARGB words).
    std::uint32_t diffuse = 0xFFFFFFFFu, ambient = 0xFF000000u, specular = 0xFFFFFFFFu;
    std::array<float, 3> position = {0, 0, 0};
    std::array<float, 3> direction = {0, -1, 0};
    float range = 0.0f;
    std::array<float, 3> attenuation = {0, 0, 0};
    float innerDegrees = 0.0f, outerDegrees = 0.0f;
    // Key lists of the newer record.
    std::vector<BinaryColorKey> diffuseKeys, ambientKeys, specularKeys;
};

struct BinarySceneObject {
    std::uint32_t id = 0;  // 0: the entry's position + 1
    std::uint32_t flag = 0x2;
    std::uint32_t fileIndex = 0;
    std::uint32_t cloneId = 0;
    std::string name;
    std::array<float, 3> position = {0, 0, 0};
    std::array<float, 3> scale = {1, 1, 1};
    std::array<float, 16> rotation = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool extraBlock = true;  // the versions that may carry the 64-byte block get one
    std::uint32_t billboard = 0;
    std::vector<std::string> strings;  // u16 lengths
};

struct BinarySceneGroup {
    std::string name;
    std::vector<std::uint32_t> members;
};

struct BinarySceneLodGroup {
    std::string name;
    std::array<float, 16> distances = {};
    std::array<std::int32_t, 16> meshLevels = {}, materialLevels = {};
    std::vector<std::uint32_t> members;
};

struct BinarySceneTrack {
    std::uint32_t fileIndex = 0;
    std::string name;
    std::array<float, 16> base = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

struct BinarySceneDesc {
    std::uint32_t version = 0x10025;
    float zNear = 1.0f, zFar = 10000.0f;
    std::uint32_t ambient = 0xFF404040u;
    std::vector<BinarySceneLight> lights;
    // The fog record as stored (the older numbering below 0x10015).
    std::uint32_t fogMode = 1, fogType = 1, fogColor = 0xFFFFFFFFu;
    float fogStart = 0.0f, fogEnd = 1.0f, fogDensity = 1.0f;
    std::string background;
    std::string terrain;
    std::array<float, 10> terrainLods = {};
    std::vector<std::string> files;
    std::vector<BinarySceneObject> objects;
    std::uint32_t effectCount = 0;  // the header's effect count (reported only)
    std::vector<BinarySceneGroup> groups;
    std::vector<BinarySceneLodGroup> lodGroups;
    // The sound section: projects and speaker files (versions from 0x10013).
    std::vector<std::string> soundProjects;
    std::vector<std::string> speakers;
    std::vector<std::string> trackFiles;
    std::vector<BinarySceneTrack> tracks;
    // The collision tree's section as BspFileWriter writes it; empty: a polygon count of 0.
    std::vector<std::uint8_t> bsp;
};

std::vector<std::uint8_t> WriteBinaryScene(const BinarySceneDesc& desc);

}  // namespace quor::test
