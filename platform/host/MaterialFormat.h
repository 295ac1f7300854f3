#pragma once
// The reference host's material format: one small XML dialect for a mesh's material block, a
// material-group file (".mtg", the same document) and a material file (".mtl", one material).
//
//   <MaterialGroup version="1" slots="2" default="0">
//     <Slot name="body" values="1 2 3 4">
//       <Material name="body" technique="<ModelNormalTech>" diffuse="1 1 1 1" ambient="0 0 0 1"
//                 specular="0 0 0 1" emissive="0 0 0 1" power="0" alpha="255" blend="5 6"
//                 lit="1" transparent="0">
//         <Stage index="0" name="Tex0" file="body.dds"/>
//       </Material>
//     </Slot>
//     <Slot name="empty" values="0 0 0 0"/>
//   </MaterialGroup>
//
// A ".mtl" file is a <Material> element as root (with version="1"). Every attribute but
// "version" and "slots" is optional. Names are bytes and pass through untouched.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quor::host {

struct MaterialStageDesc {
    std::uint32_t index = 0;  // 0..7
    std::string name;
    std::string file;  // empty: no texture
};

struct MaterialDesc {
    std::string name;
    std::string technique;
    float diffuse[4] = {1, 1, 1, 1};
    float ambient[4] = {0, 0, 0, 1};
    float specular[4] = {0, 0, 0, 1};
    float emissive[4] = {0, 0, 0, 1};
    float power = 0;
    std::uint32_t alpha = 255;  // 0..255
    std::int32_t blendSource = 5;       // 1..15
    std::int32_t blendDestination = 6;  // 1..15
    bool lit = true;
    bool transparent = false;
    std::vector<MaterialStageDesc> stages;  // distinct indices
};

struct MaterialSlotDesc {
    std::string name;
    std::uint32_t values[4] = {0, 0, 0, 0};
    bool hasMaterial = false;
    MaterialDesc material;
};

struct MaterialGroupDesc {
    std::vector<MaterialSlotDesc> slots;
    std::int32_t defaultSlot = 0;  // -1 none, else a slot
};

constexpr std::uint32_t kMaxMaterialSlots = 4096;
constexpr std::uint32_t kMaxMaterialStages = 8;

// Read a block or ".mtg" document, or a ".mtl" document. false with the reason in error (out
// left empty) when the bytes are not such a document or a count or index is out of range.
bool ReadMaterialGroup(const void* data, std::size_t size, MaterialGroupDesc& out, std::string& error);
bool ReadMaterial(const void* data, std::size_t size, MaterialDesc& out, std::string& error);

}  // namespace quor::host
