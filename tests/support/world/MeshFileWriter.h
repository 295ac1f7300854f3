#pragma once
// Writes ".mom" mesh files, ".mox" socket companions and ".mog" blobs of any version and type
// from a description, byte by byte, for the mesh tests, the fuzz seed corpus and later issues.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quor::test {

// Little-endian byte sink.
class ByteWriter {
public:
    void U8(std::uint8_t v) { bytes.push_back(v); }
    void U16(std::uint16_t v) { U8(std::uint8_t(v)); U8(std::uint8_t(v >> 8)); }
    void U32(std::uint32_t v) { U16(std::uint16_t(v)); U16(std::uint16_t(v >> 16)); }
    void I32(std::int32_t v) { U32(std::uint32_t(v)); }
    void F32(float f);
    void F32s(const float* f, std::size_t n) { for (std::size_t i = 0; i < n; ++i) F32(f[i]); }
    void Raw(const void* p, std::size_t n);
    // The text in a field of `size` bytes, zero-padded (cut when longer).
    void Fixed(const std::string& text, std::size_t size);
    std::size_t Size() const { return bytes.size(); }
    std::vector<std::uint8_t> bytes;
};

using Bounds7 = std::array<float, 7>;
using Matrix16 = std::array<float, 16>;
Matrix16 Identity16();

struct LayerDesc {
    std::string name;  // written from 0x30004 on
    std::uint8_t options[2] = {0, 0};
    std::uint8_t enabled = 0;
    std::uint8_t mode = 0;
    std::array<float, 5> params = {0, 0, 1, 1, 0};
    std::uint8_t keyOption = 0;
    std::vector<float> times;  // written as u32 where the version wants integers
    std::vector<std::array<float, 5>> keys;
};

struct SubMeshDesc {
    std::string name;
    Bounds7 bounds{};
    std::uint8_t uvChannels = 0;
    std::uint8_t hasColour = 0;
    std::uint32_t materialSlot = 0;
    LayerDesc layers[8];
    std::string extraName;  // version 0x30010 only
    std::uint32_t extraValues[4] = {0, 0, 0, 0};
    // Files before 0x30000: parts of the raw record beyond name, bounds and channels.
    std::array<std::uint8_t, 158> raw{};  // bytes not given above (offsets 62..157)
    std::string layerNames[8];            // lengths go to raw 138..145
    std::uint8_t alphaTest = 0;
    std::string effectFile;
};

struct SocketDesc {
    std::string name;
    std::string boneName;
    std::int16_t boneIndex = -1;
    std::uint16_t bindType = 7;
    Matrix16 matrix = Identity16();
    std::array<float, 3> position = {0, 0, 0};  // records before 0x20016
    std::string objectFile;
    std::string animationName;
    float startTime = 0.0f;
};

struct TrackChannelDesc {
    std::uint8_t flags[4] = {1, 1, 1, 0};  // per-key positions, rotations, scales; quaternions
    std::vector<float> positions, rotations, scales;
};

struct TrackDesc {
    std::string name;
    std::uint8_t flags[4] = {1, 0, 0, 1};
    std::uint16_t channelFlags = 0;
    std::vector<float> times;
    std::vector<TrackChannelDesc> channels;
};

struct OccluderSetDesc {
    std::int32_t kind = 0;
    std::vector<float> positions;  // 3 per vertex
    std::vector<std::uint16_t> indices;  // 3 per triangle, in memory order
};

struct OccluderDesc {
    bool present = false;
    bool tag = true;  // "umbra" in versions below 0x30006
    OccluderSetDesc a, b;
};

struct CollisionDesc {
    std::uint8_t flag = 0;
    std::vector<float> positions;
    std::vector<std::uint16_t> indices;
    std::vector<std::uint32_t> words;
};

struct LodDesc {
    std::uint32_t hasData = 1;
    std::vector<std::uint32_t> vertexCounts, triangleCounts;  // per sub-mesh
    std::vector<std::uint8_t> uvChannels, hasColour;         // per sub-mesh (written from 0x30008)
    std::uint32_t storedColourFlag = 0;                       // before 0x30008
    std::uint32_t vertexCount = 0, triangleCount = 0;
    std::vector<float> positions, normals;  // vertexCount x 3 x frames
    std::vector<std::uint16_t> indices;
    std::vector<std::vector<float>> uvs;  // per channel, vertexCount x 2
    std::vector<std::uint32_t> colours;   // vertexCount
    std::vector<std::uint8_t> boneIndices;  // skeletal: vertexCount x 4
    std::vector<float> weights;
};

struct AnimationBoundsDesc {
    std::vector<Bounds7> frames;
};
struct AnimationSetDesc {
    std::string name;
    std::uint32_t hash = 0;
    std::vector<AnimationBoundsDesc> animations;
};

struct SkeletonDesc {
    std::vector<std::uint8_t> parents;
    std::vector<std::string> names;
    bool hasBoneBounds = false;
    std::vector<Bounds7> boneBounds;
    std::vector<Matrix16> bind;
    std::vector<AnimationSetDesc> sets;
    bool hasAnimationBounds = false;
    std::uint16_t boneCountOverride = 0;  // writes this count instead of the parents' size
};

struct MeshDesc {
    std::uint32_t magic = 0x4D494752;
    std::uint32_t version = 0x30011;
    std::uint16_t type = 0;
    std::uint16_t headerWord = 0x1234;
    std::uint8_t headerBytes[2] = {7, 8};
    Bounds7 bounds = {1, 2, 3, 4, 5, 6, 7};
    std::uint8_t optionBytes[4] = {1, 2, 3, 4};
    std::uint32_t sorterType = 0;
    std::vector<SubMeshDesc> subMeshes;
    std::vector<SocketDesc> sockets;
    bool keyTrack = false;  // written from 0x20011; before it type 2 implies it
    std::uint8_t keyFlag = 1;
    std::uint16_t oldKeyCount = 0;
    std::vector<float> keyTimes;
    std::vector<std::uint8_t> oldKeys;  // written as given after the frame bounds (below 0x20011)
    bool subMeshTracks = false;
    std::uint32_t trackVersion = 0x10001;
    std::vector<TrackDesc> tracks;
    std::vector<Bounds7> frameBounds;  // frames x (1 + sub-meshes)
    OccluderDesc occluder;
    CollisionDesc collision;
    std::vector<LodDesc> lods;
    int lodCountOverride = -1;  // writes this LOD count instead of the number of LODs
    SkeletonDesc skeleton;
    std::vector<std::uint8_t> blob;
    bool writeBlob = true;  // from 0x30000
};

std::vector<std::uint8_t> WriteMom(const MeshDesc& mesh);
// A track body (name, flags, key times, channels), as inside mesh and track files.
void WriteTrack(ByteWriter& w, const TrackDesc& t);
std::vector<std::uint8_t> WriteMoxBinary(std::uint32_t version, const std::vector<SocketDesc>& sockets);
// The socket block alone, as inside a mesh file.
void WriteSocketBlock(ByteWriter& w, std::uint32_t version, const std::vector<SocketDesc>& sockets);
void WriteOccluder(ByteWriter& w, std::uint32_t version, const OccluderDesc& occ);
void WriteCollision(ByteWriter& w, const CollisionDesc& c);

// Test helpers that build consistent descriptions.
// A LOD whose arrays follow a simple pattern (values depend on lod, vertex and frame).
LodDesc MakeLod(const std::vector<std::uint32_t>& vertexCounts, const std::vector<std::uint32_t>& triangleCounts,
                std::uint8_t uvChannels, bool colour, std::uint32_t frames, int seed, bool skeletal = false,
                std::uint8_t boneCount = 1);
SubMeshDesc MakeSubMesh(const std::string& name, int seed);
// A small valid mesh of that version and type: `subs` sub-meshes, `lodCount` LODs, a socket.
MeshDesc MakeMesh(std::uint32_t version, std::uint16_t type, int subs = 2, int lodCount = 2);
// A one-sub-mesh mesh whose uv track moves it along x: 0 at key 0, 10 at the key at `lastKeyMs`.
MeshDesc MakeUvTrackedMesh(float lastKeyMs);

// Seed corpora of the fuzz targets: named files that load, reaching every block.
using SeedFile = std::pair<std::string, std::vector<std::uint8_t>>;
// ".mom" files of many versions and the three types.
std::vector<SeedFile> MeshSeeds();
// ".mox" companions: binary ones of several versions and XML ones with every key.
std::vector<SeedFile> MoxSeeds();

}  // namespace quor::test
