#include "world/mesh/MeshData.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MeshFileWriter.h"

namespace {

using namespace quor;
using namespace quor::test;

std::string Field(const char* p, std::size_t n) { return std::string(p, strnlen(p, n)); }

void ExpectBounds(const Bounds& b, const Bounds7& want) {
    EXPECT_EQ(b.centre.x, want[0]);
    EXPECT_EQ(b.centre.y, want[1]);
    EXPECT_EQ(b.centre.z, want[2]);
    EXPECT_EQ(b.half.x, want[3]);
    EXPECT_EQ(b.half.y, want[4]);
    EXPECT_EQ(b.half.z, want[5]);
    EXPECT_EQ(b.radius, want[6]);
}

void ExpectLayer(const TextureLayer& got, const LayerDesc& want, std::uint32_t v, int index) {
    SCOPED_TRACE("layer " + std::to_string(index));
    const std::string name = v >= 0x30004 && v < 0x30009 ? want.name : "Tex" + std::to_string(index);
    EXPECT_EQ(Field(got.name, sizeof got.name), name);
    const bool layersInFile = (v >= 0x30000 && v < 0x30009) || (v < 0x30000 && v >= 0x20007) ||
                              (v < 0x20007 && index == 0);
    if (!layersInFile) {
        EXPECT_EQ(got.uvAnimEnabled, 0);
        return;
    }
    EXPECT_EQ(got.uvAnimEnabled, want.enabled);
    if (v >= 0x20003) {
        EXPECT_EQ(got.options[0], want.options[0]);
    }
    EXPECT_EQ(got.options[1], want.options[1]);
    if (!want.enabled) return;
    EXPECT_EQ(got.uvAnimMode, want.mode);
    if (want.mode == 0) {
        for (int i = 0; i < 5; ++i) EXPECT_EQ(got.uvAnimParams[i], want.params[i]);
        return;
    }
    const bool keyOption = v >= 0x30000 || v >= 0x20014;
    EXPECT_EQ(got.keyOption, keyOption ? want.keyOption : 0);
    ASSERT_EQ(got.keyTimes.Count(), want.times.size());
    for (std::size_t i = 0; i < want.times.size(); ++i) {
        EXPECT_EQ(got.keyTimes.Times()[i], v < 0x20005 && i == 0 ? 0.0f : want.times[i]);
    }
    ASSERT_EQ(got.keys.size(), want.keys.size() * 5);
    for (std::size_t k = 0; k < want.keys.size(); ++k) {
        for (int i = 0; i < 5; ++i) EXPECT_EQ(got.keys[k * 5 + i], want.keys[k][i]);
    }
}

void ExpectSocket(const MeshSocket& got, const SocketDesc& want, std::uint32_t v) {
    EXPECT_EQ(Field(got.name, 32), want.name);
    Matrix16 m = want.matrix;
    if (v < 0x20016) {
        m[12] = want.position[0];
        m[13] = want.position[1];
        m[14] = want.position[2];
    }
    for (int i = 0; i < 16; ++i) EXPECT_EQ(got.matrixToBone->m[i], m[i]) << i;
    if (v < 0x30001) {
        EXPECT_EQ(got.boneIndex, want.boneIndex);
        EXPECT_EQ(Field(got.boneName, 32), "");
    } else {
        EXPECT_EQ(got.boneIndex, -1);
        EXPECT_EQ(Field(got.boneName, 32), want.boneName);
    }
    EXPECT_EQ(got.bindType, v < 0x20016 ? 7 : want.bindType);
    const bool hasObject = v >= 0x20008 && !want.objectFile.empty();
    ASSERT_EQ(got.objectFiles.size(), hasObject ? 1u : 0u);
    if (hasObject) {
        EXPECT_EQ(got.objectFiles[0], want.objectFile);
    }
    const bool hasAnim = v >= 0x30001 && (v < 0x30003 || !want.objectFile.empty());
    EXPECT_EQ(Field(got.animationName, 32), hasAnim ? want.animationName : "");
    EXPECT_EQ(got.startTime, v >= 0x30003 && hasAnim ? want.startTime : 0.0f);
}

void ExpectLod(const MeshVertexData& got, const LodDesc& want, std::uint32_t v, std::uint32_t frames) {
    ASSERT_EQ(got.vertexCount, want.vertexCount);
    ASSERT_EQ(got.triangleCount, want.triangleCount);
    ASSERT_EQ(got.ranges.size(), want.vertexCounts.size());
    std::uint32_t fv = 0, ft = 0;
    for (std::size_t s = 0; s < got.ranges.size(); ++s) {
        EXPECT_EQ(got.ranges[s].firstVertex, fv);
        EXPECT_EQ(got.ranges[s].firstTriangle, ft);
        EXPECT_EQ(got.ranges[s].vertexCount, want.vertexCounts[s]);
        EXPECT_EQ(got.ranges[s].triangleCount, want.triangleCounts[s]);
        EXPECT_EQ(got.ranges[s].uvChannelCount, want.uvChannels[s]);
        EXPECT_EQ(got.ranges[s].hasColour, want.hasColour[s]);
        fv += want.vertexCounts[s];
        ft += want.triangleCounts[s];
    }
    ASSERT_EQ(got.positions.size(), std::size_t(want.vertexCount) * frames);
    EXPECT_EQ(0, std::memcmp(got.positions.data(), want.positions.data(), want.positions.size() * 4));
    EXPECT_EQ(0, std::memcmp(got.normals.data(), want.normals.data(), want.normals.size() * 4));
    EXPECT_EQ(got.indices, want.indices);
    ASSERT_EQ(got.uvChannelCount, want.uvs.size());
    for (std::size_t c = 0; c < want.uvs.size(); ++c) EXPECT_EQ(got.uvs[c], want.uvs[c]);
    EXPECT_EQ(got.colours, want.colours);
    EXPECT_EQ(got.uvColourStride, (want.colours.empty() ? 0u : 4u) + 8u * std::uint32_t(want.uvs.size()));
    (void)v;
}

// Everything the description says must come back from the reader.
void ExpectMesh(const MeshData& d, const MeshDesc& m) {
    const std::uint32_t v = m.version;
    EXPECT_EQ(d.version, v);
    EXPECT_EQ(d.headerWord, m.headerWord);
    if (v < 0x30009) {
        EXPECT_EQ(d.headerBytes[0], m.headerBytes[0]);
        EXPECT_EQ(d.headerBytes[1], m.headerBytes[1]);
    }
    ExpectBounds(d.bounds, m.bounds);
    if (v >= 0x20004) {
        for (int i = 0; i < 4; ++i) EXPECT_EQ(d.optionBytes[i], m.optionBytes[i]);
    } else {
        EXPECT_EQ(d.optionBytes[0], 0x56);
        EXPECT_EQ(d.optionBytes[3], 0xFF);
    }
    const std::uint32_t sorter = v >= 0x30007 ? m.sorterType : (v >= 0x30005 && m.sorterType ? 4 : 0);
    EXPECT_EQ(d.sorterType, sorter);
    ASSERT_EQ(d.subMeshCount, m.subMeshes.size());
    for (std::size_t i = 0; i < m.subMeshes.size(); ++i) {
        SCOPED_TRACE("sub-mesh " + std::to_string(i));
        const SubMeshInfo& s = d.subMeshes[i];
        const SubMeshDesc& w = m.subMeshes[i];
        EXPECT_EQ(Field(s.name, 32), w.name);
        ExpectBounds(s.bounds, w.bounds);
        EXPECT_EQ(s.materialSlot, v >= 0x30000 ? w.materialSlot : 0u);
        EXPECT_EQ(Field(s.extraName, 32), v == 0x30010 ? w.extraName : "");
        EXPECT_EQ(s.extraValues[2], v >= 0x30011 ? w.extraValues[2] : 0u);
        for (int l = 0; l < 8; ++l) ExpectLayer(s.layers[l], w.layers[l], v, l);
        if (v < 0x30000) {
            EXPECT_EQ(d.oldSubMeshes[i].effectFile, v >= 0x20001 ? w.effectFile : "");
            EXPECT_EQ(d.oldSubMeshes[i].alphaTestEnable, v >= 0x20001 ? w.alphaTest : 0);
            // Short records name only their first four layers.
            for (int l = 0; l < 8; ++l) {
                EXPECT_EQ(d.oldSubMeshes[i].textureFiles[l], v >= 0x20003 || l < 4 ? w.layerNames[l] : "") << l;
            }
        }
    }
    EXPECT_EQ(d.oldSubMeshes.size(), v < 0x30000 ? m.subMeshes.size() : 0u);
    ASSERT_EQ(d.sockets.size(), m.sockets.size());
    for (std::size_t i = 0; i < m.sockets.size(); ++i) ExpectSocket(*d.sockets[i], m.sockets[i], v);
    EXPECT_EQ(d.socketVersion, v);
    const std::uint32_t frames = m.type == 2 ? std::uint32_t(m.keyTimes.size()) : 1;
    EXPECT_EQ(d.frameCount, frames);
    EXPECT_EQ(d.keyTrack != nullptr, m.type == 2);
    if (m.type == 2) {
        ASSERT_EQ(d.frameBounds.size(), 2 * frames);
        ExpectBounds(d.FrameBounds(1), m.frameBounds[1 * (m.subMeshes.size() + 1)]);
        ExpectBounds(d.SubMeshFrameBounds(2, 1), m.frameBounds[2 * (m.subMeshes.size() + 1) + 2]);
    }
    ASSERT_EQ(d.lodCount, int(m.lods.size()));
    for (std::size_t l = 0; l < m.lods.size(); ++l) {
        SCOPED_TRACE("lod " + std::to_string(l));
        ExpectLod(*d.lods[l], m.lods[l], v, frames);
    }
    const MeshVertexData& lod0 = *d.lods[0];
    if (v >= 0x30006 && m.collision.flag) {
        EXPECT_TRUE(d.collision.owns);
        ASSERT_EQ(d.collision.vertexCount, m.collision.positions.size() / 3);
        EXPECT_EQ(d.collision.positions[1].x, m.collision.positions[3]);
        EXPECT_EQ(d.collision.indices[2], m.collision.indices[2]);
        EXPECT_EQ(d.collision.words[2], m.collision.words[2]);
    } else {
        EXPECT_FALSE(d.collision.owns);
        EXPECT_EQ(d.collision.positions, lod0.positions.data());
        EXPECT_EQ(d.collision.vertexCount, lod0.vertexCount);
        EXPECT_EQ(d.collision.triangleCount, lod0.triangleCount);
    }
    const bool occluder = m.occluder.present && (v >= 0x30006 || m.occluder.a.kind != 0) && v >= 0x20012;
    ASSERT_EQ(d.occluder != nullptr, occluder);
    if (occluder) {
        EXPECT_EQ(d.occluder->a.kind, m.occluder.a.kind);
        ASSERT_EQ(d.occluder->a.triangleCount, m.occluder.a.indices.size() / 3);
        for (std::size_t i = 0; i < m.occluder.a.indices.size(); ++i) {
            EXPECT_EQ(d.occluder->a.indices[i], m.occluder.a.indices[i]);
        }
        if (m.occluder.b.kind == 1) {
            EXPECT_EQ(d.occluder->b.positions, lod0.positions.data());
            EXPECT_EQ(d.occluder->b.triangleCount, lod0.triangleCount);
        }
    }
    EXPECT_EQ(d.blob, v >= 0x30000 ? m.blob : std::vector<std::uint8_t>{});
    EXPECT_EQ(d.fileSize, WriteMom(m).size());
}

// The versions where a record size or a block changes, for both mesh types the reader takes.
const std::uint32_t kVersions[] = {
    0x20000, 0x20001, 0x20002, 0x20003, 0x20004, 0x20005, 0x20007, 0x20008, 0x20009, 0x20010,
    0x20011, 0x20012, 0x20013, 0x20014, 0x20015, 0x20016, 0x20017, 0x2FFFF, 0x30000, 0x30001,
    0x30002, 0x30003, 0x30004, 0x30005, 0x30006, 0x30007, 0x30008, 0x30009, 0x30010, 0x30011,
};

TEST(MeshData, EveryVersionAndTypeRoundTrips) {
    for (std::uint32_t v : kVersions) {
        for (std::uint16_t type : {0, 2}) {
            SCOPED_TRACE(testing::Message() << std::hex << "version 0x" << v << " type " << type);
            const MeshDesc desc = MakeMesh(v, type);
            const std::vector<std::uint8_t> file = WriteMom(desc);
            LogCapture log;
            MeshData d;
            ASSERT_TRUE(d.LoadFromMemory("a.mom", file.data(), file.size())) << log.Joined();
            ExpectMesh(d, desc);
        }
    }
}

TEST(MeshData, SubMeshRecordSizesFollowTheVersion) {
    // 0x30009: name, bounds, slot; 0x30010 adds the extra name; 0x30011 the four values.
    const std::pair<std::uint32_t, std::size_t> cases[] = {{0x30009, 64}, {0x30010, 96}, {0x30011, 80}};
    for (auto [v, size] : cases) {
        MeshDesc one = MakeMesh(v, 0, 1, 1), two = MakeMesh(v, 0, 2, 1);
        two.lods = one.lods;  // keep the LOD block alike; only the record count differs
        two.lods[0].vertexCounts.push_back(0);
        two.lods[0].triangleCounts.push_back(0);
        two.lods[0].uvChannels.push_back(1);
        two.lods[0].hasColour.push_back(1);
        EXPECT_EQ(WriteMom(two).size() - WriteMom(one).size(), size + 10) << std::hex << v;
        const auto file = WriteMom(two);
        MeshData d;
        EXPECT_TRUE(d.LoadFromMemory("a.mom", file.data(), file.size())) << std::hex << v;
    }
}

TEST(MeshData, VersionGateLogLines) {
    struct Case {
        std::uint32_t version;
        std::uint16_t type;
        const char* line;
    };
    const Case cases[] = {
        {0x1FFFF, 0, "[ERROR] Mesh file g.mom version 1ffff is too old!"},
        {0x30012, 0, "[ERROR] Mesh file g.mom version 30012 is too new!"},
        {0x30011, 1, "[ERROR] Failed to read file header, mesh type not match!"},
        {0x30011, 3, "[ERROR] Failed to read file header, mesh type not match!"},
    };
    for (const Case& c : cases) {
        MeshDesc desc = MakeMesh(0x30011, 0);
        desc.version = c.version;
        desc.type = c.type;
        const auto file = WriteMom(desc);
        LogCapture log;
        MeshData d;
        EXPECT_FALSE(d.LoadFromMemory("g.mom", file.data(), file.size()));
        ASSERT_FALSE(log.Lines().empty());
        EXPECT_EQ(log.Lines()[0], c.line);
        EXPECT_EQ(d.lodCount, 0);
        EXPECT_TRUE(d.subMeshes.empty());
    }
}

TEST(MeshData, MissingLastLodFailsWithVertexDataLine) {
    MeshDesc desc = MakeMesh(0x30011, 0);
    desc.lodCountOverride = 3;  // says three, holds two
    desc.writeBlob = false;
    desc.collision.flag = 0;
    desc.occluder.present = false;
    auto file = WriteMom(desc);
    file.pop_back();  // the occluder flag
    file.pop_back();  // the collision flag: the image ends right after LOD 1
    LogCapture log;
    MeshData d;
    EXPECT_FALSE(d.LoadFromMemory("m.mom", file.data(), file.size()));
    EXPECT_TRUE(log.Contains("[ERROR] Failed to read vertex data!")) << log.Joined();
    EXPECT_TRUE(log.Contains("[ERROR] Failed to read mesh file m.mom!"));
    EXPECT_EQ(d.lodCount, 0);
}

TEST(MeshData, LodCountsOutsideOneToEightAreRefused) {
    for (std::uint8_t count : {0, 9, 255}) {
        MeshDesc desc = MakeMesh(0x30011, 0, 1, 1);
        desc.lodCountOverride = count;
        const auto file = WriteMom(desc);
        LogCapture log;
        MeshData d;
        EXPECT_FALSE(d.LoadFromMemory("m.mom", file.data(), file.size())) << int(count);
        EXPECT_TRUE(log.Contains("Failed to read common data!"));
    }
}

TEST(MeshData, KeyTrackPresenceByteStartsAt0x20011) {
    // 0x20010 type 2 has a key track without the byte; 0x20011 reads it.
    for (std::uint32_t v : {0x20010u, 0x20011u}) {
        MeshDesc desc = MakeMesh(v, 2);
        const auto file = WriteMom(desc);
        MeshData d;
        ASSERT_TRUE(d.LoadFromMemory("k.mom", file.data(), file.size()));
        ASSERT_NE(d.keyTrack, nullptr);
        EXPECT_EQ(d.frameCount, 3);
    }
    MeshDesc plain = MakeMesh(0x20010, 0);
    const auto file = WriteMom(plain);
    MeshData d;
    ASSERT_TRUE(d.LoadFromMemory("k.mom", file.data(), file.size()));
    EXPECT_EQ(d.keyTrack, nullptr);
}

TEST(MeshData, FramePairUnionsMergeNeighbours) {
    MeshDesc desc = MakeMesh(0x30011, 2, 1, 1);
    desc.frameBounds = {{0, 0, 0, 1, 1, 1, 1}, {0, 0, 0, 1, 1, 1, 1},
                        {4, 0, 0, 1, 1, 1, 2}, {4, 0, 0, 1, 1, 1, 2},
                        {4, 4, 0, 1, 1, 1, 3}, {4, 4, 0, 1, 1, 1, 3}};
    const auto file = WriteMom(desc);
    MeshData d;
    ASSERT_TRUE(d.LoadFromMemory("f.mom", file.data(), file.size()));
    // Frames 0 and 1: box from x -1 to 5, radius (4 + 1 + 2) / 2.
    ExpectBounds(d.FrameBounds(3), {2, 0, 0, 3, 1, 1, 3.5f});
    ExpectBounds(d.FrameBounds(5), {4, 4, 0, 1, 1, 1, 3});
    // Sub-mesh: same box, sphere grown to reach the next frame's: |(4,0,0)-(2,0,0)| + 2.
    ExpectBounds(d.SubMeshFrameBounds(3, 0), {2, 0, 0, 3, 1, 1, 4});
}

TEST(MeshData, OldTransKeysMakeTheMeshStatic) {
    // A file with old trans keys animates its sub-meshes by transform keys: three key times,
    // three frames of bounds, three frames of first-frame keys per sub-mesh, and vertex
    // blocks of one frame (the vertex key count is 1 for such files).
    for (std::uint32_t version : {0x20004u, 0x20010u}) {
        SCOPED_TRACE(testing::Message() << std::hex << version);
        MeshDesc desc = MakeMesh(version, 2, 2, 1);
        ASSERT_EQ(desc.keyTimes.size(), 3u);
        desc.oldKeyCount = 1;
        desc.oldKeys.assign(3 * 2 * 62, 0x11);  // key count x sub-meshes x 62
        desc.lods = {MakeLod(desc.lods[0].vertexCounts, desc.lods[0].triangleCounts, 1, true, 1, 1)};
        const auto file = WriteMom(desc);
        LogCapture log;
        MeshData d;
        ASSERT_TRUE(d.LoadFromMemory("o.mom", file.data(), file.size())) << log.Joined();
        EXPECT_TRUE(log.Contains("[WARNING] Too old version that still has old trans-key data!"));
        EXPECT_EQ(d.frameCount, 1);
        EXPECT_EQ(d.keyTrack, nullptr);
        EXPECT_TRUE(d.frameBounds.empty());
        ExpectBounds(d.bounds, desc.frameBounds[0]);
        ExpectBounds(d.subMeshes[1].bounds, desc.frameBounds[2]);
        ASSERT_EQ(d.lodCount, 1);
        EXPECT_EQ(d.lods[0]->frameCount, 1u);
        ExpectLod(*d.lods[0], desc.lods[0], version, 1);
    }
}

TEST(MeshData, TrianglesNameOnlyTheirSubMeshVertices) {
    // Sub-mesh 0 owns vertices 0..2 and triangle 0; sub-mesh 1 owns vertices 3..6 and
    // triangles 1..2. Every index is inside the LOD; only the sub-mesh ranges tell them apart.
    struct Case {
        const char* what;
        std::size_t at;
        std::uint16_t value;
        bool loads;
    };
    const Case cases[] = {
        {"sub-mesh 0 names its last vertex", 2, 2, true},
        {"sub-mesh 1 names its first vertex", 3, 3, true},
        {"sub-mesh 1 names the LOD's last vertex", 8, 6, true},
        {"sub-mesh 0 names sub-mesh 1's first vertex", 0, 3, false},
        {"sub-mesh 1 names sub-mesh 0's last vertex", 5, 2, false},
        {"sub-mesh 1 names a vertex past the LOD", 4, 7, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
        ASSERT_EQ(desc.lods[0].vertexCounts, (std::vector<std::uint32_t>{3, 4}));
        desc.lods[0].indices[c.at] = c.value;
        const auto file = WriteMom(desc);
        LogCapture log;
        MeshData d;
        EXPECT_EQ(d.LoadFromMemory("t.mom", file.data(), file.size()), c.loads);
        EXPECT_EQ(d.lodCount, c.loads ? 1 : 0);
    }
}

TEST(MeshData, LongSubMeshesCheckEveryIndex) {
    // Sub-mesh 0 owns vertices 0..39 (90 indices), sub-mesh 1 vertices 40..89 (indices 90..209):
    // spans long enough for the wide checks, with a bad index at their first and last slots
    // and around every 8-index step; 0 and 0xFFFF are the extremes of the 16-bit values.
    const std::size_t slots[] = {90, 96, 97, 98, 105, 200, 201, 202, 208, 209, 0, 7, 8, 89};
    const std::uint16_t values[] = {0, 39, 90, 0xFFFF, 0x8000, 0x7FFF};
    for (std::size_t at : slots) {
        for (std::uint16_t value : values) {
            MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
            desc.lods = {MakeLod({40, 50}, {30, 40}, 1, true, 1, 1)};
            desc.lods[0].indices[at] = value;
            const bool inOwn = at < 90 ? value < 40 : (value >= 40 && value < 90);
            SCOPED_TRACE(testing::Message() << "index " << at << " = " << value);
            const auto file = WriteMom(desc);
            LogCapture log;
            MeshData d;
            EXPECT_EQ(d.LoadFromMemory("t.mom", file.data(), file.size()), inOwn);
        }
    }
}

TEST(MeshData, SubMeshRecordsCostWhatTheVersionHolds) {
    // From 0x30009 a record is 64 bytes of name, bounds and slot at least, and holds no layers:
    // a sub-mesh then owns no layers and costs at most twice its smallest record in memory, so
    // a count that the bytes left can hold allocates no more than twice those bytes.
    EXPECT_LE(sizeof(SubMeshInfo), 2u * 64u);
    LogCapture log;
    for (std::uint32_t v : {0x30008u, 0x30009u, 0x30011u}) {
        SCOPED_TRACE(testing::Message() << std::hex << v);
        const MeshDesc desc = MakeMesh(v, 0, 2, 1);
        const auto file = WriteMom(desc);
        MeshData d;
        ASSERT_TRUE(d.LoadFromMemory("m.mom", file.data(), file.size()));
        EXPECT_EQ(d.subMeshes[1].layers.Owned(), v < 0x30009);
        // A sub-mesh without layers of its own reads the defaults.
        for (int i = 0; i < SubMeshInfo::kLayerCount; ++i) {
            const TextureLayer& layer = d.subMeshes[1].layers[i];
            EXPECT_EQ(std::string(layer.name), v < 0x30009 ? desc.subMeshes[1].layers[i].name : "Tex" + std::to_string(i));
        }
    }
}

TEST(MeshData, DatalessLodKeepsDefaults) {
    MeshDesc desc = MakeMesh(0x30011, 0, 1, 1);
    desc.lods[0].hasData = 0;
    const auto file = WriteMom(desc);
    MeshData d;
    ASSERT_TRUE(d.LoadFromMemory("n.mom", file.data(), file.size()));
    const MeshVertexData& l = *d.lods[0];
    EXPECT_EQ(l.positions.size(), l.vertexCount);
    EXPECT_EQ(l.colours, std::vector<std::uint32_t>(l.vertexCount, 0xFFFFFFFFu));
    EXPECT_EQ(l.uvs[0], std::vector<float>(l.vertexCount * 2, 0.0f));
}

TEST(MeshData, DatalessArraysStayWithinTheirLimit) {
    // Counts of a block without data are backed by no bytes: the arrays made from them are
    // bounded (16 MB unless lowered, as the fuzz targets do).
    EXPECT_EQ(MeshVertexData::MaxDatalessBytes(), 16u << 20);
    MeshDesc desc = MakeMesh(0x30011, 0, 1, 1);
    desc.lods[0].hasData = 0;
    desc.lods[0].vertexCounts[0] = 300000;  // 300,000 x (24 + 8 + 4) bytes: past 8 MB
    desc.lods[0].vertexCount = 300000;
    const auto file = WriteMom(desc);
    LogCapture log;
    {
        MeshData d;
        EXPECT_TRUE(d.LoadFromMemory("n.mom", file.data(), file.size()));
    }
    MeshVertexData::SetMaxDatalessBytes(8u << 20);
    MeshData d;
    EXPECT_FALSE(d.LoadFromMemory("n.mom", file.data(), file.size()));
    MeshVertexData::SetMaxDatalessBytes(MeshVertexData::kMaxDatalessBytes);
    EXPECT_TRUE(log.Contains("Failed to read vertex data!"));
}

TEST(MeshData, DatalessTrianglesStayInTheirSubMesh) {
    // Default triangles sit on their sub-mesh's first vertex, never on another sub-mesh's.
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
    desc.lods[0].hasData = 0;
    auto file = WriteMom(desc);
    MeshData d;
    LogCapture log;
    ASSERT_TRUE(d.LoadFromMemory("n.mom", file.data(), file.size())) << log.Joined();
    const MeshVertexData& l = *d.lods[0];
    ASSERT_EQ(l.ranges[1].firstVertex, 3u);
    ASSERT_EQ(l.ranges[1].firstTriangle, 1u);
    EXPECT_EQ(l.indices, (std::vector<std::uint16_t>{0, 0, 0, 3, 3, 3, 3, 3, 3}));
    // A sub-mesh with triangles but no vertex has nothing to put them on.
    desc.lods[0].vertexCounts[1] = 0;
    desc.lods[0].vertexCount -= 4;
    file = WriteMom(desc);
    MeshData e;
    EXPECT_FALSE(e.LoadFromMemory("n.mom", file.data(), file.size()));
}

TEST(MeshData, VerticesNoSubMeshWritesKeepTheDefaults) {
    // Sub-mesh 0 has two uv channels and colours, sub-mesh 1 one channel and none, and two
    // vertices lie past both ranges: what no sub-mesh stores is uv (0, 0) and white.
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
    desc.lods = {MakeLod({3, 4}, {1, 2}, 2, true, 1, 1)};
    LodDesc& lod = desc.lods[0];
    lod.uvChannels = {2, 1};
    lod.hasColour = {1, 0};
    lod.vertexCount += 2;
    for (int i = 0; i < 6; ++i) {
        lod.positions.push_back(1.0f);
        lod.normals.push_back(0.0f);
    }
    const auto file = WriteMom(desc);
    MeshData d;
    LogCapture log;
    ASSERT_TRUE(d.LoadFromMemory("d.mom", file.data(), file.size())) << log.Joined();
    const MeshVertexData& got = *d.lods[0];
    ASSERT_EQ(got.vertexCount, 9u);
    ASSERT_EQ(got.uvChannelCount, 2);
    for (std::size_t v = 0; v < 9; ++v) {
        SCOPED_TRACE(v);
        const bool sub0 = v < 3, sub1 = v >= 3 && v < 7;
        for (int c = 0; c < 2; ++c) {
            const bool stored = sub0 || (sub1 && c == 0);
            EXPECT_EQ(got.uvs[c][v * 2], stored ? lod.uvs[c][v * 2] : 0.0f) << c;
            EXPECT_EQ(got.uvs[c][v * 2 + 1], stored ? lod.uvs[c][v * 2 + 1] : 0.0f) << c;
        }
        EXPECT_EQ(got.colours[v], sub0 ? lod.colours[v] : 0xFFFFFFFFu);
    }
}

TEST(MeshData, TwoFramesAddTwentyFourBytesPerVertex) {
    MeshDesc one = MakeMesh(0x30011, 2, 1, 1);
    MeshDesc two = one;
    two.keyTimes = {0, 33};
    two.frameBounds.resize(2 * 2);
    two.lods[0] = MakeLod(one.lods[0].vertexCounts, one.lods[0].triangleCounts, 1, true, 2, 1);
    one.keyTimes = {0};
    one.frameBounds.resize(1 * 2);
    one.lods[0] = MakeLod(one.lods[0].vertexCounts, one.lods[0].triangleCounts, 1, true, 1, 1);
    const std::size_t v = one.lods[0].vertexCount;
    EXPECT_EQ(WriteMom(two).size() - WriteMom(one).size(), 4 + 2 * 28 + v * 24);
    const auto file = WriteMom(two);
    MeshData d;
    ASSERT_TRUE(d.LoadFromMemory("t.mom", file.data(), file.size()));
    ExpectLod(*d.lods[0], two.lods[0], two.version, 2);
}

TEST(MeshData, CountsThatOverrunAreRefused) {
    // Patch a count field of a valid file to a huge value; the read must fail, not allocate.
    const MeshDesc desc = MakeMesh(0x30011, 2, 1, 1);
    const auto good = WriteMom(desc);
    const std::size_t subCountAt = 10 + 2 + 28 + 4;
    const std::size_t offsets[] = {subCountAt};
    for (std::size_t at : offsets) {
        auto file = good;
        file[at + 3] = 0x7F;
        LogCapture log;
        MeshData d;
        EXPECT_FALSE(d.LoadFromMemory("c.mom", file.data(), file.size()));
        EXPECT_TRUE(log.Contains("Failed to read mesh file c.mom!"));
    }
}

TEST(MeshData, OutOfRangeIndicesAreRefused) {
    MeshDesc desc = MakeMesh(0x30011, 0, 1, 1);
    desc.lods[0].indices[1] = std::uint16_t(desc.lods[0].vertexCount);
    const auto file = WriteMom(desc);
    MeshData d;
    EXPECT_FALSE(d.LoadFromMemory("i.mom", file.data(), file.size()));
}

TEST(MeshData, RangesBeyondTheLodArraysAreRefused) {
    MeshDesc desc = MakeMesh(0x30011, 0, 1, 1);
    desc.lods[0].vertexCounts[0] += 1;  // the sub-mesh claims more vertices than the LOD has
    desc.lods[0].uvChannels[0] = 0;
    desc.lods[0].hasColour[0] = 0;
    desc.lods[0].uvs.clear();
    desc.lods[0].colours.clear();
    const auto file = WriteMom(desc);
    MeshData d;
    EXPECT_FALSE(d.LoadFromMemory("r.mom", file.data(), file.size()));
}

TEST(MeshData, EveryTruncatedPrefixIsRefusedCleanly) {
    const MeshDesc files[] = {MakeMesh(0x30011, 0), MakeMesh(0x20010, 2), MakeMesh(0x30005, 2)};
    LogCapture log;
    for (const MeshDesc& desc : files) {
        const auto file = WriteMom(desc);
        for (std::size_t n = 0; n < file.size(); ++n) {
            // A copy of exactly n bytes so the sanitizers see any read past the prefix.
            std::vector<std::uint8_t> prefix(file.begin(), file.begin() + std::ptrdiff_t(n));
            log.Clear();
            MeshData d;
            ASSERT_FALSE(d.LoadFromMemory("p.mom", prefix.data(), prefix.size())) << std::hex << desc.version << " " << std::dec << n;
            ASSERT_FALSE(log.Lines().empty());
            EXPECT_EQ(d.lodCount, 0);
            EXPECT_TRUE(d.sockets.empty());
        }
    }
}

TEST(MeshData, ClearAfterAFailedLoadFreesWhatWasRead) {
    // Sub-mesh records and sockets are read before the LOD blocks; a load that fails after
    // them must give them back (the sanitizers watch for leaks).
    MeshDesc desc = MakeMesh(0x30011, 0);
    desc.lodCountOverride = 9;
    const auto file = WriteMom(desc);
    MeshData d;
    EXPECT_FALSE(d.LoadFromMemory("x.mom", file.data(), file.size()));
    EXPECT_TRUE(d.subMeshes.empty());
    EXPECT_TRUE(d.sockets.empty());
    EXPECT_EQ(d.subMeshCount, 0u);
}

TEST(MeshData, ReloadReplacesEverything) {
    const auto a = WriteMom(MakeMesh(0x30011, 2, 3, 2));
    const auto b = WriteMom(MakeMesh(0x30003, 0, 1, 1));
    MeshData d;
    ASSERT_TRUE(d.LoadFromMemory("a.mom", a.data(), a.size()));
    ASSERT_TRUE(d.LoadFromMemory("b.mom", b.data(), b.size()));
    EXPECT_EQ(d.subMeshCount, 1u);
    EXPECT_EQ(d.lodCount, 1);
    EXPECT_EQ(d.keyTrack, nullptr);
}

}  // namespace

namespace {

TEST(MeshData, LongNamesAreCutToTheirFields) {
    MeshDesc desc = MakeMesh(0x30008, 0, 1, 1);
    desc.subMeshes[0].layers[2].name = std::string(200, 'n');
    desc.subMeshes[0].name = std::string(40, 's');  // the writer keeps the first 32 bytes
    const auto file = WriteMom(desc);
    MeshData d;
    ASSERT_TRUE(d.LoadFromMemory("l.mom", file.data(), file.size()));
    EXPECT_EQ(std::string(d.subMeshes[0].layers[2].name), std::string(63, 'n'));
    EXPECT_EQ(Field(d.subMeshes[0].name, 32), std::string(32, 's'));
}

}  // namespace

namespace {

TEST(MeshData, SubMeshTracksSetTheFrameCount) {
    MeshDesc desc = MakeMesh(0x30011, 0, 2, 1);
    desc.subMeshTracks = true;
    desc.trackVersion = 0x10000;
    for (int s = 0; s < 2; ++s) {
        TrackDesc t;
        t.name = "track" + std::to_string(s);
        t.channelFlags = 5;  // track version 0x10000 reads any non-zero value as 0xB007
        t.times = {0, 10, 20, 30};
        TrackChannelDesc c;
        c.flags[2] = 0;  // one scale for all keys
        c.positions.assign(4 * 3, float(s));
        c.rotations.assign(4 * 4, 0.5f);
        c.scales = {1, 2, 3};
        t.channels = {c, c};
        desc.tracks.push_back(t);
    }
    for (int f = 0; f < 4; ++f) {
        for (int s = 0; s < 3; ++s) desc.frameBounds.push_back({float(f), 0, 0, 1, 1, 1, 1});
    }
    desc.lods = {MakeLod(desc.lods[0].vertexCounts, desc.lods[0].triangleCounts, 1, true, 4, 1)};
    const auto file = WriteMom(desc);
    MeshData d;
    LogCapture log;
    ASSERT_TRUE(d.LoadFromMemory("t.mom", file.data(), file.size())) << log.Joined();
    EXPECT_EQ(d.frameCount, 4);
    ASSERT_EQ(d.subMeshTracks.size(), 2u);
    const TrackData& t = *d.subMeshTracks[1];
    EXPECT_EQ(t.GetKeyCount(), 4);
    EXPECT_EQ(t.channelFlags, 0xB007);
    EXPECT_STREQ(t.name, "track1");
    ASSERT_EQ(t.channels.size(), 2u);
    EXPECT_EQ(t.channels[1].positions, std::vector<float>(12, 1.0f));
    EXPECT_EQ(t.channels[1].scales, (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(d.frameBounds.size(), 8u);
    ExpectLod(*d.lods[0], desc.lods[0], desc.version, 4);
}

}  // namespace
