#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "world/core/BinaryReader.h"
#include "world/core/CollisionMeshRecord.h"
#include "world/core/OccluderGeometry.h"
#include "world/core/track/TrackData.h"
#include "world/core/math/Geometry.h"
#include "world/core/KeyTimeTable.h"
#include "world/core/SharedObject.h"
#include "world/mesh/MeshSocket.h"
#include "world/mesh/MeshVertexData.h"

namespace quor::common {
class IXmlNode;
}

namespace quor {

// One of the eight texture layers of a sub-mesh, with its uv animation.
struct TextureLayer {
    static constexpr std::size_t kNameSize = 64;
    char name[kNameSize] = {};
    std::uint8_t options[2] = {0, 0};
    std::uint8_t uvAnimEnabled = 0;
    float uvAnimParams[5] = {0, 0, 1, 1, 0};  // u offset, v offset, u scale, v scale, angle
    std::uint8_t uvAnimMode = 0;              // 0: parameters, else keys
    KeyTimeTable keyTimes;
    std::vector<float> keys;  // 5 per key, same order as the parameters
    std::uint8_t keyOption = 0;
};

// The eight texture layers of a sub-mesh. Files from 0x30009 on store no layers: their
// sub-meshes read the default layers ("Tex%d", no animation) and own none, so a record costs
// memory in proportion to what the file holds for it.
class TextureLayers {
public:
    static constexpr int kCount = 8;
    const TextureLayer& operator[](int i) const { return own_ ? own_[i] : Defaults()[i]; }
    // The layer to fill in; the first call makes the sub-mesh's own eight layers.
    TextureLayer& Edit(int i);
    bool Owned() const { return own_ != nullptr; }
    const TextureLayer* begin() const { return own_ ? own_.get() : Defaults(); }
    const TextureLayer* end() const { return begin() + kCount; }

private:
    static const TextureLayer* Defaults();
    std::unique_ptr<TextureLayer[]> own_;
};

struct SubMeshInfo {
    static constexpr int kLayerCount = TextureLayers::kCount;
    char name[32] = {};
    char extraName[32] = {};
    Bounds bounds;
    std::uint8_t uvChannelCount = 0;
    std::uint8_t hasColour = 0;
    std::uint8_t uvAnimated = 0;
    std::uint8_t keyAnimated = 0;
    std::uint32_t materialSlot = 0;
    std::uint32_t extraValues[4] = {0, 0, 0, 0};
    TextureLayers layers;
};

// The raw sub-mesh record of files before 0x30000, kept for the material code.
struct OldSubMeshRecord {
    static constexpr std::size_t kSize = 158;
    std::uint8_t raw[kSize] = {};
    std::uint8_t alphaTestEnable = 0;
    std::string effectFile;
    // The texture file of each layer; an empty name means the layer has none.
    std::string textureFiles[8];
};

// Key times of a vertex-animated mesh.
struct VertexKeyTrack {
    KeyTimeTable keyTimes;
    std::uint8_t flag = 1;
    std::uint16_t oldKeyCount = 0;
    std::vector<std::uint8_t> oldFirstFrameKeys;  // 62 bytes per sub-mesh
};

// The parsed contents of one ".mom" mesh file, shared by every mesh object that shows it.
// Each block reader takes the reader at its block and leaves it just past the block; false
// (with the reader failed) fails the load, which logs why and leaves the object empty.
class MeshData : public SharedObject {
public:
    static constexpr std::uint32_t kMagic = 0x4D494752;  // "RGIM"
    static constexpr std::uint32_t kMinVersion = 0x20000;
    static constexpr std::uint32_t kMaxVersion = 0x30011;
    static constexpr std::size_t kMinFileSize = 180;
    static constexpr int kMaxLods = 8;

    MeshData();
    ~MeshData() override;
    MeshData(const MeshData&) = delete;
    MeshData& operator=(const MeshData&) = delete;

    // Opens the file through the host's resource file system, parses it and its companions.
    bool LoadFile(const char* fileName);
    // The same on an image the caller holds (no size or magic test), companions included.
    bool LoadFromMemory(const char* fileName, const void* data, std::size_t size);

    virtual void Clear();
    virtual MeshVertexData* CreateVertexData(int lod);
    virtual bool CheckFileType(BinaryReader& in);
    virtual bool ReadCommonDataV2(BinaryReader& in);
    virtual bool ReadCommonDataV3(BinaryReader& in);
    virtual bool ReadKeyTrack(BinaryReader& in);
    virtual bool ReadFrameBounds(BinaryReader& in);
    virtual bool ReadVertexData(BinaryReader& in, int lod);
    // Adds a "MeshData" element with the file's figures to a memory report.
    virtual void WriteStats(common::IXmlNode* parent) const;

    void FreeVertexColours();
    // The file name after a successful load.
    const char* NameText() const;
    std::uint8_t GetSocketSyncToMorph(int index) const;

    // Companion files. Each replaces the socket list only when it yields sockets, and keeps the
    // old ones when it fails midway.
    bool ReadMoxBinary(const void* data, std::size_t size, const char* fileName);
    bool ReadMoxXml(const void* data, std::size_t size, const char* fileName);
    bool ReadMox(const void* data, std::size_t size, const char* fileName);

    const Bounds& FrameBounds(std::uint32_t entry) const { return frameBounds[entry]; }
    const Bounds& SubMeshFrameBounds(std::uint32_t entry, std::uint32_t subMesh) const {
        return subMeshFrameBounds[std::size_t(entry) * subMeshCount + subMesh];
    }
    MeshVertexData* GetLod(int lod) const { return lod >= 0 && lod < lodCount ? lods[lod].get() : nullptr; }

    // The cache key the mesh cache stored it under (hash of the full path).
    std::uint64_t nameKey = 0;
    std::uint32_t fileSize = 0;
    std::uint32_t version = 0;
    std::uint16_t meshType = 0;
    std::unique_ptr<MeshVertexData> lods[kMaxLods];
    std::int32_t lodCount = 0;
    std::vector<SubMeshInfo> subMeshes;
    std::uint32_t subMeshCount = 0;
    std::uint16_t frameCount = 1;
    std::uint16_t headerWord = 0;
    std::uint8_t headerBytes[2] = {0, 0};
    std::uint32_t sorterType = 0;
    Bounds bounds;
    std::vector<Bounds> frameBounds;         // 2 x frame count
    std::vector<Bounds> subMeshFrameBounds;  // 2 x frame count x sub-mesh count
    std::uint8_t optionBytes[4] = {0x56, 0x56, 0x56, 0xFF};
    MeshSocketList sockets;
    std::uint32_t socketVersion = 0;
    std::int32_t xmlSocketVersion = 0;
    // The sockets came from an XML companion: they carry bone names, whatever version word
    // the document gives (or none).
    bool socketsFromXml = false;
    std::unique_ptr<VertexKeyTrack> keyTrack;
    bool hasSubMeshTracks = false;
    std::vector<std::unique_ptr<TrackData>> subMeshTracks;
    std::vector<std::uint8_t> blob;
    CollisionMeshRecord collision;
    std::unique_ptr<OccluderGeometry> occluder;
    std::vector<OldSubMeshRecord> oldSubMeshes;

protected:
    // Reads the version and mesh type at offset 4; the type must be the skeletal one (1) or one
    // of the plain ones (0, 2).
    bool ReadFileHeader(BinaryReader& in, bool skeletal);
    // The steps after the header checks: version gate, body, blob, companions.
    bool LoadImage(const char* fileName, const std::uint8_t* data, std::size_t size);
    // The header (mesh type) and the body of the image; the handle is the image's reader.
    std::uintptr_t ParseHeader(const std::uint8_t* data, std::uint32_t size) override;
    int ParseBody(std::uintptr_t header) override;
    // Reads the occluder block of the common data (files below 0x30006).
    bool ReadCommonOccluder(BinaryReader& in);
    bool ReadLodCount(BinaryReader& in);
    void ConvertOldTransKeys();

    // The name of the file being loaded, for log lines of the block readers.
    const char* loadingName_ = "";
    BinaryReader image_;
};

// Shared by the plain and skeletal mesh readers.
// One bounds record: centre, half extents, radius (seven floats).
void ReadBounds(BinaryReader& in, Bounds& b);
// Entry F + f is the union of frames f and f + 1; entry 2F - 1 repeats the last frame.
// perSub (subCount entries per frame) may be null.
void BuildPairUnions(Bounds* whole, Bounds* perSub, std::uint32_t frames, std::uint32_t subCount);

}  // namespace quor
