#pragma once
// Writes the reference host's material documents (a mesh's material block, ".mtg" groups and
// ".mtl" materials) from a description, for the renderer's tests, the mesh tests and the fuzz
// seed corpus; and puts a block into a mesh's blob.
#include <cstdint>
#include <string>
#include <vector>

namespace quor::test {

struct MeshDesc;

struct MaterialStageDesc {
    int index = 0;
    std::string name = "Tex0";
    std::string file;  // not written when empty
};

struct MaterialDesc {
    std::string name;  // not written when empty (a slot's material then takes the slot's name)
    std::string technique = "<ModelNormalTech>";
    float diffuse[4] = {1, 1, 1, 1};
    float ambient[4] = {0, 0, 0, 1};
    float specular[4] = {0, 0, 0, 1};
    float emissive[4] = {0, 0, 0, 1};
    float power = 0;
    int alpha = 255;
    int blendSource = 5;
    int blendDestination = 6;
    bool lit = true;
    bool transparent = false;
    std::vector<MaterialStageDesc> stages;
};

struct MaterialSlotDesc {
    std::string name;
    std::uint32_t values[4] = {0, 0, 0, 0};
    bool hasMaterial = true;
    MaterialDesc material;
};

struct MaterialGroupDesc {
    std::vector<MaterialSlotDesc> slots;
    int defaultSlot = 0;
    bool writeDefault = true;
    // Written in place of the true slot count when not negative.
    int slotCountOverride = -1;
    std::string version = "1";
};

// The group document (block and ".mtg" alike) and the ".mtl" document.
std::vector<std::uint8_t> WriteMaterialGroup(const MaterialGroupDesc& group);
std::vector<std::uint8_t> WriteMaterial(const MaterialDesc& material, const std::string& version = "1");
// The mesh's blob becomes the group's block (written after the mesh body from 0x30000 on).
void PutMaterialBlock(MeshDesc& mesh, const MaterialGroupDesc& group);
// A group of one slot per name, each with a default-technique material of that name whose
// stage 0 ("Tex0") loads "<name>.dds".
MaterialGroupDesc MakeMaterialGroup(const std::vector<std::string>& slotNames);
// Documents that load, reaching every attribute: named seeds for the fuzz corpus.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> MaterialSeeds();

// Text made safe for an XML attribute value (the writers' own documents).
std::string XmlEscape(const std::string& text);

}  // namespace quor::test
