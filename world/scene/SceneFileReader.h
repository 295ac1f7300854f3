#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quor::common {
class IResFile;
class ITimer;
class IXmlNode;
}

namespace quor::world {

class IModel;
class Scene3D;
// A binary scene file checked into plain records.
struct BinarySceneRecords;
class SpaceObject;

// Reads a 3D scene file into a scene: one layer of its layer table at a time (the scene's
// own file is layer 0; the "SceneLayers" section loads the others through the same reader).
// Built on the stack for one load.
class SceneFileReader {
public:
    SceneFileReader() = default;
    SceneFileReader(const SceneFileReader&) = delete;
    SceneFileReader& operator=(const SceneFileReader&) = delete;

    // Reads the layer record at that index of the scene's layer table. False when the index is
    // not in the table (no message) or the file fails to load (progress set to failed).
    bool Load(Scene3D* scene, int layerIndex);

private:
    // Parses the open file (closing it) and reads its sections.
    bool LoadXml(common::IResFile* file, const char* path);
    // The binary form: the whole file is checked into plain records first, so a damaged file
    // changes nothing in the scene; then the records are built. Closes the file.
    bool LoadBinary(common::IResFile* file, const char* path);
    bool BuildBinary(const BinarySceneRecords& scene, common::ITimer* timer);
    bool BuildBinaryObjects(const BinarySceneRecords& scene);
    void ReadGlobals(common::IXmlNode* global);
    bool ReadLights(common::IXmlNode* global);
    bool ReadTerrain(common::IXmlNode* root);
    bool ReadEntities(common::IXmlNode* root);
    bool ReadObject(common::IXmlNode* entity, int kind, const std::vector<std::string>& files);
    void ReadLightmap(IModel* model, common::IXmlNode* entity);
    void ReadGroups(common::IXmlNode* entities);
    void ReadLodGroups(common::IXmlNode* entities);
    bool ReadTracks(common::IXmlNode* root);
    void ReadPresetCameras(common::IXmlNode* root);
    void ReadBspFile(const char* scenePath);
    void ReadLayers(common::IXmlNode* root);
    void ReadGrasses(common::IXmlNode* root);
    void ReadCrossTextures(common::IXmlNode* root);
    // Entry `index` of object table `type`; null for a type or index out of range and for a
    // helper's empty slot.
    SpaceObject* TableEntry(std::uint32_t type, std::int64_t index) const;
    void SetProgress(std::uint32_t progress);

    Scene3D* m_scene = nullptr;
    std::int32_t m_cloned = 0;
    std::int32_t m_collider = 0;
    std::int32_t m_helper = 0;
    std::int32_t m_hidden = 0;
    std::int32_t m_layerId = 0;
    // Progress of the "Entities" section: object count and objects done.
    std::int64_t m_objectTotal = 0;
    std::int64_t m_objectsDone = 0;
    std::vector<SpaceObject*> m_tables[3];
    // The open binary file's bytes.
    const std::uint8_t* m_fileData = nullptr;
    std::size_t m_fileSize = 0;
};

}  // namespace quor::world
