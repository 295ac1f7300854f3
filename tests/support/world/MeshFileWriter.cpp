#include "tests/support/world/MeshFileWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace quor::test {

void ByteWriter::F32(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    U32(u);
}

void ByteWriter::Raw(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
}

void ByteWriter::Fixed(const std::string& text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) U8(i < text.size() ? std::uint8_t(text[i]) : 0);
}

Matrix16 Identity16() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

void WriteTrack(ByteWriter& w, const TrackDesc& t) {
    w.Fixed(t.name, 32);
    w.Raw(t.flags, 4);
    w.U16(t.channelFlags);
    w.U16(std::uint16_t(t.times.size()));
    w.F32s(t.times.data(), t.times.size());
    w.U16(std::uint16_t(t.channels.size()));
    for (const TrackChannelDesc& c : t.channels) {
        w.Raw(c.flags, 4);
        w.F32s(c.positions.data(), c.positions.size());
        w.F32s(c.rotations.data(), c.rotations.size());
        w.F32s(c.scales.data(), c.scales.size());
    }
}

namespace {

void WriteBounds(ByteWriter& w, const Bounds7& b) { w.F32s(b.data(), 7); }

void WriteTimes(ByteWriter& w, const std::vector<float>& times, bool integers) {
    for (float t : times) {
        if (integers) {
            w.U32(std::uint32_t(t));
        } else {
            w.F32(t);
        }
    }
}

void WriteKeys(ByteWriter& w, const LayerDesc& l, bool integerTimes) {
    w.U16(std::uint16_t(l.times.size()));
    WriteTimes(w, l.times, integerTimes);
    for (const auto& k : l.keys) w.F32s(k.data(), 5);
}

void WriteLayerV3(ByteWriter& w, std::uint32_t v, const LayerDesc& l) {
    if (v >= 0x30004) {
        w.U8(std::uint8_t(l.name.size()));
        w.Raw(l.name.data(), l.name.size());
    }
    w.U8(0);
    w.U8(l.options[0]);
    w.U8(l.options[1]);
    w.U8(l.enabled);
    w.U8(l.mode);
    if (!l.enabled) return;
    if (l.mode == 0) {
        w.F32s(l.params.data(), 5);
    } else {
        w.U8(l.keyOption);
        WriteKeys(w, l, false);
    }
}

void WriteSubMeshV3(ByteWriter& w, std::uint32_t v, const SubMeshDesc& s) {
    w.Fixed(s.name, 32);
    WriteBounds(w, s.bounds);
    if (v < 0x30008) {
        w.U8(s.uvChannels);
        w.U8(s.hasColour);
    }
    w.U32(s.materialSlot);
    if (v < 0x30009) {
        for (const LayerDesc& l : s.layers) WriteLayerV3(w, v, l);
    }
    if (v == 0x30010) w.Fixed(s.extraName, 32);
    if (v >= 0x30011) {
        for (std::uint32_t x : s.extraValues) w.U32(x);
    }
}

void WriteSubMeshV2(ByteWriter& w, std::uint32_t v, const SubMeshDesc& s) {
    std::array<std::uint8_t, 158> raw = s.raw;
    ByteWriter head;
    head.Fixed(s.name, 32);
    WriteBounds(head, s.bounds);
    std::copy(head.bytes.begin(), head.bytes.end(), raw.begin());
    raw[60] = s.uvChannels;
    raw[61] = s.hasColour;
    const int nameSlots = v >= 0x20003 ? 8 : 4;
    for (int i = 0; i < 8; ++i) raw[138 + i] = i < nameSlots ? std::uint8_t(s.layerNames[i].size()) : 0;
    if (v < 0x20007) {
        // Layer 0's animation lives in the raw record.
        raw[65] = s.layers[0].enabled;
        raw[66] = s.layers[0].mode;
        raw[68] = s.layers[0].options[1];
    }
    w.Raw(raw.data(), v >= 0x20003 ? 158 : 142);
    for (int i = 0; i < nameSlots; ++i) w.Raw(s.layerNames[i].data(), s.layerNames[i].size());
    if (v >= 0x20003) {
        for (const LayerDesc& l : s.layers) {
            w.U8(0);
            w.U8(l.options[0]);
            if (v >= 0x20007) {
                w.U8(l.options[1]);
                w.U8(l.enabled);
                w.U8(l.mode);
                if (l.enabled) {
                    if (l.mode == 0) {
                        w.F32s(l.params.data(), 5);
                    } else {
                        if (v >= 0x20014) w.U8(l.keyOption);
                        WriteKeys(w, l, v < 0x20005);
                    }
                }
            }
        }
    }
    if (v >= 0x20001) {
        w.U8(s.alphaTest);
        w.U8(std::uint8_t(s.effectFile.size()));
        w.Raw(s.effectFile.data(), s.effectFile.size());
    }
    if (v < 0x20007 && s.layers[0].enabled) {
        const LayerDesc& l = s.layers[0];
        if (l.mode == 0) {
            w.F32s(l.params.data(), 5);
        } else {
            WriteKeys(w, l, v < 0x20005);
        }
    }
}

void WriteSocket(ByteWriter& w, std::uint32_t v, const SocketDesc& s) {
    w.Fixed(s.name, 32);
    if (v < 0x20016) {
        w.U16(0);
        w.F32s(s.position.data(), 3);
        w.U16(std::uint16_t(s.boneIndex));
        w.F32s(s.matrix.data(), 16);
        return;
    }
    if (v < 0x30001) {
        w.U16(std::uint16_t(s.boneIndex));
    } else {
        w.Fixed(s.boneName, 32);
    }
    w.U16(s.bindType);
    w.F32s(s.matrix.data(), 16);
    w.U16(std::uint16_t(s.objectFile.size()));
    w.Raw(s.objectFile.data(), s.objectFile.size());
    if (v < 0x30001) return;
    if (v < 0x30003) {
        w.Fixed(s.animationName, 32);
        if (v == 0x30002) w.U16(0);
        return;
    }
    if (!s.objectFile.empty()) {
        w.Fixed(s.animationName, 32);
        w.F32(s.startTime);
    }
}

void WriteKeyBlock(ByteWriter& w, const MeshDesc& m) {
    const std::uint32_t v = m.version;
    const bool track = v >= 0x20011 ? m.keyTrack : m.type == 2;
    if (v >= 0x20011) w.U8(m.keyTrack ? 1 : 0);
    if (track) {
        if (v >= 0x20011) w.U8(m.keyFlag);
        if (v < 0x20013) w.U16(m.oldKeyCount);
        w.U16(std::uint16_t(m.keyTimes.size()));
        WriteTimes(w, m.keyTimes, v < 0x20005);
    }
    if (v >= 0x20013) {
        w.U8(m.subMeshTracks ? 1 : 0);
        if (m.subMeshTracks) {
            w.U32(m.trackVersion);
            for (const TrackDesc& t : m.tracks) WriteTrack(w, t);
        }
    }
    if (m.type != 1) {
        for (const Bounds7& b : m.frameBounds) WriteBounds(w, b);
    }
}

void WriteLod(ByteWriter& w, std::uint32_t v, const LodDesc& l, bool skeletal) {
    for (std::size_t i = 0; i < l.vertexCounts.size(); ++i) {
        w.U32(l.vertexCounts[i]);
        w.U32(l.triangleCounts[i]);
        if (v >= 0x30008) {
            w.U8(l.uvChannels[i]);
            w.U8(l.hasColour[i]);
        }
    }
    w.U32(l.hasData);
    w.U32(l.vertexCount);
    w.U32(l.triangleCount);
    if (v < 0x30008) w.U32(l.storedColourFlag);
    if (!l.hasData) return;
    const std::size_t n3 = std::size_t(l.vertexCount) * 3;
    w.F32s(l.positions.data(), n3);
    w.F32s(l.normals.data(), n3);
    for (std::uint16_t i : l.indices) w.U16(i);
    std::uint32_t first = 0;
    for (std::size_t s = 0; s < l.vertexCounts.size(); ++s) {
        for (int c = 0; c < l.uvChannels[s]; ++c) w.F32s(l.uvs[c].data() + first * 2, l.vertexCounts[s] * 2);
        first += l.vertexCounts[s];
    }
    first = 0;
    for (std::size_t s = 0; s < l.vertexCounts.size(); ++s) {
        if (l.hasColour[s]) {
            for (std::uint32_t i = 0; i < l.vertexCounts[s]; ++i) w.U32(l.colours[first + i]);
        }
        first += l.vertexCounts[s];
    }
    const std::size_t frames = l.vertexCount ? l.positions.size() / n3 : 1;
    for (std::size_t f = 1; f < frames; ++f) {
        w.F32s(l.positions.data() + f * n3, n3);
        w.F32s(l.normals.data() + f * n3, n3);
    }
    if (skeletal) {
        w.Raw(l.boneIndices.data(), l.boneIndices.size());
        w.F32s(l.weights.data(), l.weights.size());
    }
}

void WriteSkeleton(ByteWriter& w, std::uint32_t v, const SkeletonDesc& s) {
    const std::size_t bones = s.parents.size();
    w.U16(s.boneCountOverride ? s.boneCountOverride : std::uint16_t(bones));
    if (bones == 0) return;
    w.Raw(s.parents.data(), bones);
    for (std::size_t i = 0; i < bones; ++i) w.Fixed(i < s.names.size() ? s.names[i] : "", 32);
    if (v >= 0x20016) {
        w.U8(s.hasBoneBounds ? 1 : 0);
        if (s.hasBoneBounds) {
            for (const Bounds7& b : s.boneBounds) WriteBounds(w, b);
        }
    }
    if (v >= 0x20010) {
        for (std::size_t i = 0; i < bones; ++i) w.F32s((i < s.bind.size() ? s.bind[i] : Identity16()).data(), 16);
    }
    if (v < 0x20015) {
        const std::string name = s.sets.empty() ? "" : s.sets[0].name;
        w.U16(std::uint16_t(name.size()));
        w.Raw(name.data(), name.size());
        return;
    }
    w.U16(std::uint16_t(s.sets.size()));
    for (const AnimationSetDesc& set : s.sets) {
        w.U16(std::uint16_t(set.name.size()));
        w.Raw(set.name.data(), set.name.size());
    }
    w.U8(s.hasAnimationBounds ? 1 : 0);
    if (!s.hasAnimationBounds) return;
    for (const AnimationSetDesc& set : s.sets) {
        w.U32(set.hash);
        w.U16(std::uint16_t(set.animations.size()));
        for (const AnimationBoundsDesc& a : set.animations) {
            w.U16(std::uint16_t(a.frames.size()));
            for (const Bounds7& b : a.frames) WriteBounds(w, b);
        }
    }
}

}  // namespace

void WriteSocketBlock(ByteWriter& w, std::uint32_t v, const std::vector<SocketDesc>& sockets) {
    w.U16(std::uint16_t(sockets.size()));
    for (const SocketDesc& s : sockets) WriteSocket(w, v, s);
    if (!sockets.empty() && v >= 0x20008 && v <= 0x20015) {
        for (const SocketDesc& s : sockets) {
            w.U16(std::uint16_t(s.objectFile.size()));
            w.Raw(s.objectFile.data(), s.objectFile.size());
        }
    }
}

void WriteOccluder(ByteWriter& w, std::uint32_t v, const OccluderDesc& occ) {
    if (v < 0x30006) {
        if (!occ.tag) return;
        w.Raw("umbra", 5);
    }
    w.I32(occ.a.kind);
    w.I32(occ.b.kind);
    if (v < 0x30006) {
        for (const OccluderSetDesc* s : {&occ.a, &occ.b}) {
            w.U32(std::uint32_t(s->positions.size() / 3));
            w.U32(std::uint32_t(s->indices.size() / 3));
        }
    }
    for (const OccluderSetDesc* s : {&occ.a, &occ.b}) {
        if (s->kind != 2) continue;
        if (v >= 0x30006) {
            w.U32(std::uint32_t(s->positions.size() / 3));
            w.U32(std::uint32_t(s->indices.size() / 3));
        }
        w.F32s(s->positions.data(), s->positions.size());
        for (std::size_t t = 0; t + 2 < s->indices.size(); t += 3) {
            if (v < 0x20017) {
                w.U16(s->indices[t + 2]);
                w.U16(s->indices[t + 1]);
                w.U16(s->indices[t]);
            } else {
                w.U16(s->indices[t]);
                w.U16(s->indices[t + 1]);
                w.U16(s->indices[t + 2]);
            }
        }
    }
}

void WriteCollision(ByteWriter& w, const CollisionDesc& c) {
    w.U8(c.flag);
    if (!c.flag) return;
    w.U32(std::uint32_t(c.positions.size() / 3));
    w.U32(std::uint32_t(c.indices.size() / 3));
    w.F32s(c.positions.data(), c.positions.size());
    for (std::uint16_t i : c.indices) w.U16(i);
    for (std::uint32_t x : c.words) w.U32(x);
}

std::vector<std::uint8_t> WriteMom(const MeshDesc& m) {
    ByteWriter w;
    const std::uint32_t v = m.version;
    w.U32(m.magic);
    w.U32(v);
    w.U16(m.type);
    const std::uint8_t lodCount = std::uint8_t(m.lodCountOverride >= 0 ? m.lodCountOverride : int(m.lods.size()));
    if (v >= 0x30000) {
        w.U16(m.headerWord);
        if (v < 0x30009) w.Raw(m.headerBytes, 2);
        WriteBounds(w, m.bounds);
        w.Raw(m.optionBytes, 4);
        w.U32(std::uint32_t(m.subMeshes.size()));
        if (v >= 0x30005 && v < 0x30007) w.U8(m.sorterType ? 1 : 0);
        if (v >= 0x30007) w.U32(m.sorterType);
        for (const SubMeshDesc& s : m.subMeshes) WriteSubMeshV3(w, v, s);
        WriteSocketBlock(w, v, m.sockets);
        WriteKeyBlock(w, m);
        if (v < 0x30006 && m.occluder.present) WriteOccluder(w, v, m.occluder);
        w.U8(lodCount);
    } else {
        w.U16(m.headerWord);
        w.Raw(m.headerBytes, 2);
        WriteBounds(w, m.bounds);
        if (v >= 0x20004) w.Raw(m.optionBytes, 4);
        w.U32(std::uint32_t(m.subMeshes.size()));
        for (const SubMeshDesc& s : m.subMeshes) WriteSubMeshV2(w, v, s);
        WriteSocketBlock(w, v, m.sockets);
        if (v >= 0x20009 && v <= 0x20012) {
            w.U8(lodCount);
            w.U8(0);
        }
        WriteKeyBlock(w, m);
        if (v < 0x20011 && m.oldKeyCount) {
            if (v >= 0x20002 && v <= 0x20005) w.Raw(std::vector<std::uint8_t>(64, 0xAB).data(), 64);
            w.Raw(m.oldKeys.data(), m.oldKeys.size());
        }
        if (v >= 0x20012 && m.occluder.present) WriteOccluder(w, v, m.occluder);
        if (v >= 0x20013) {
            w.U8(lodCount);
            w.U8(0);
        }
    }
    if (m.type == 1) WriteSkeleton(w, v, m.skeleton);
    for (const LodDesc& l : m.lods) WriteLod(w, v, l, m.type == 1);
    if (v >= 0x30006) {
        WriteCollision(w, m.collision);
        w.U8(m.occluder.present ? 1 : 0);
        if (m.occluder.present) WriteOccluder(w, v, m.occluder);
    }
    if (v >= 0x30000 && m.writeBlob) {
        w.U32(std::uint32_t(m.blob.size()));
        w.Raw(m.blob.data(), m.blob.size());
    }
    return w.bytes;
}

std::vector<std::uint8_t> WriteMoxBinary(std::uint32_t version, const std::vector<SocketDesc>& sockets) {
    ByteWriter w;
    w.Raw("QMEX", 4);
    w.U32(version);
    WriteSocketBlock(w, version, sockets);
    return w.bytes;
}

LodDesc MakeLod(const std::vector<std::uint32_t>& vc, const std::vector<std::uint32_t>& tc, std::uint8_t uvChannels,
                bool colour, std::uint32_t frames, int seed, bool skeletal, std::uint8_t boneCount) {
    LodDesc l;
    l.vertexCounts = vc;
    l.triangleCounts = tc;
    for (std::uint32_t n : vc) l.vertexCount += n;
    for (std::uint32_t n : tc) l.triangleCount += n;
    l.uvChannels.assign(vc.size(), uvChannels);
    l.hasColour.assign(vc.size(), colour ? 1 : 0);
    l.storedColourFlag = 0;
    const std::size_t V = l.vertexCount;
    for (std::uint32_t f = 0; f < frames; ++f) {
        for (std::size_t i = 0; i < V * 3; ++i) {
            l.positions.push_back(float(seed * 1000 + int(f) * 100) + float(i) * 0.5f);
            l.normals.push_back(float(seed) - float(i) * 0.25f - float(f));
        }
    }
    std::uint32_t firstV = 0;
    for (std::size_t s = 0; s < vc.size(); ++s) {
        for (std::uint32_t t = 0; t < tc[s]; ++t) {
            const std::uint32_t n = std::max<std::uint32_t>(vc[s], 1);
            for (int k = 0; k < 3; ++k) l.indices.push_back(std::uint16_t(firstV + (t + std::uint32_t(k)) % n));
        }
        firstV += vc[s];
    }
    l.uvs.resize(uvChannels);
    for (int c = 0; c < uvChannels; ++c) {
        for (std::size_t i = 0; i < V * 2; ++i) l.uvs[c].push_back(float(c) + float(i) / 64.0f);
    }
    if (colour) {
        for (std::size_t i = 0; i < V; ++i) l.colours.push_back(0xFF000000u | std::uint32_t(seed * 7919 + int(i)));
    }
    if (skeletal) {
        for (std::size_t i = 0; i < V; ++i) {
            l.boneIndices.push_back(std::uint8_t(i % boneCount));
            l.boneIndices.push_back(255);
            l.boneIndices.push_back(0);
            l.boneIndices.push_back(0);
            l.weights.insert(l.weights.end(), {1.0f, 0.0f, 0.0f, 0.0f});
        }
    }
    return l;
}

SubMeshDesc MakeSubMesh(const std::string& name, int seed) {
    SubMeshDesc s;
    s.name = name;
    for (int i = 0; i < 7; ++i) s.bounds[i] = float(seed * 10 + i);
    s.uvChannels = 1;
    s.hasColour = 1;
    s.materialSlot = std::uint32_t(seed);
    s.extraName = name + "_x";
    for (int i = 0; i < 4; ++i) s.extraValues[i] = std::uint32_t(seed * 100 + i);
    for (int i = 0; i < 8; ++i) s.layers[i].name = "layer" + std::to_string(i);
    s.layers[0].enabled = 1;
    s.layers[0].params = {0.5f, 0.25f, 2.0f, 3.0f, 0.125f};
    s.layers[0].options[1] = 9;
    s.layers[1].enabled = 1;
    s.layers[1].mode = 1;
    s.layers[1].keyOption = 3;
    s.layers[1].times = {0, 100, 200};
    s.layers[1].keys = {{0, 0, 1, 1, 0}, {1, 1, 1, 1, 0}, {2, 2, 1, 1, 0}};
    s.layerNames[0] = "diffuse";
    s.effectFile = "fx" + std::to_string(seed);
    s.alphaTest = 1;
    return s;
}

MeshDesc MakeUvTrackedMesh(float lastKeyMs) {
    MeshDesc m = MakeMesh(0x30011, 0, 1, 1);
    m.subMeshTracks = true;
    TrackDesc t;
    t.times = {0, lastKeyMs};
    TrackChannelDesc c;
    c.positions = {0, 0, 0, 10, 0, 0};
    c.rotations = {0, 0, 0, 1, 0, 0, 0, 1};
    c.scales.assign(6, 1.0f);
    t.channels = {c};
    m.tracks = {t};
    m.frameBounds.assign(2 * 2, {0, 0, 0, 1, 1, 1, 1});
    m.lods = {MakeLod(m.lods[0].vertexCounts, m.lods[0].triangleCounts, 1, true, 2, 1)};
    return m;
}

MeshDesc MakeMesh(std::uint32_t version, std::uint16_t type, int subs, int lodCount) {
    MeshDesc m;
    if (version < 0x20009) lodCount = 1;  // one LOD until the count is stored
    m.version = version;
    m.type = type;
    m.sorterType = version >= 0x30007 ? 3 : (version >= 0x30005 ? 1 : 0);
    for (int i = 0; i < subs; ++i) m.subMeshes.push_back(MakeSubMesh("sub" + std::to_string(i), i + 1));
    SocketDesc socket;
    socket.name = "hand";
    socket.boneName = "bone1";
    socket.boneIndex = 1;
    socket.bindType = 3;
    socket.matrix[12] = 5.0f;
    socket.position = {5.0f, 0.0f, 0.0f};
    socket.objectFile = "sword.mom";
    socket.animationName = "swing";
    socket.startTime = 0.5f;
    m.sockets.push_back(socket);
    std::uint32_t frames = 1;
    if (type == 2) {
        m.keyTrack = true;
        m.keyTimes = {0, 33, 66};
        frames = 3;
        for (std::uint32_t f = 0; f < frames; ++f) {
            for (int s = 0; s <= subs; ++s) {
                Bounds7 b;
                for (int i = 0; i < 7; ++i) b[i] = float(f * 10 + s) + float(i) * 0.1f;
                m.frameBounds.push_back(b);
            }
        }
    }
    std::vector<std::uint32_t> vc, tc;
    for (int i = 0; i < subs; ++i) {
        vc.push_back(3 + std::uint32_t(i));
        tc.push_back(1 + std::uint32_t(i));
    }
    const std::uint8_t bones = 3;
    for (int l = 0; l < lodCount; ++l) m.lods.push_back(MakeLod(vc, tc, 1, true, frames, l + 1, type == 1, bones));
    if (type == 1) {
        m.skeleton.parents = {255, 0, 1};
        m.skeleton.names = {"root", "bone1", "bone2"};
        m.skeleton.hasBoneBounds = true;
        m.skeleton.boneBounds = {{0, 0, 0, 1, 1, 1, 2}, {1, 0, 0, 1, 1, 1, 2}, {2, 0, 0, 1, 1, 1, 2}};
        for (int b = 0; b < 3; ++b) {
            Matrix16 mat = Identity16();
            mat[0] = 2.0f;
            mat[5] = 0.5f;
            mat[12] = float(b);
            mat[13] = 1.0f;
            m.skeleton.bind.push_back(mat);
        }
        m.skeleton.sets = {{"walk.ani", 0xABCD, {{{{0, 0, 0, 1, 1, 1, 1}, {2, 0, 0, 1, 1, 1, 1}}}}}};
        m.skeleton.hasAnimationBounds = true;
    }
    if (version >= 0x30006) {
        m.collision.flag = 1;
        m.collision.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        m.collision.indices = {0, 1, 2};
        m.collision.words = {7, 8, 9};
    }
    if (version >= 0x20012) {
        m.occluder.present = true;
        m.occluder.a.kind = 2;
        m.occluder.a.positions = {0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 1};
        m.occluder.a.indices = {0, 1, 2, 1, 3, 2};
        m.occluder.b.kind = 1;
    }
    m.blob = {1, 2, 3, 4, 5};
    return m;
}

std::vector<SeedFile> MeshSeeds() {
    std::vector<SeedFile> seeds;
    const std::uint32_t versions[] = {0x20000, 0x20003, 0x20007, 0x20010, 0x20014, 0x20017,
                                      0x30003, 0x30005, 0x30008, 0x30010, 0x30011};
    for (std::uint32_t v : versions) {
        for (std::uint16_t type : {0, 1, 2}) {
            char name[32];
            std::snprintf(name, sizeof name, "mom_%x_%u", v, unsigned(type));
            seeds.emplace_back(name, WriteMom(MakeMesh(v, type, 2, 2)));
        }
    }
    MeshDesc tracked = MakeMesh(0x30011, 0, 1, 1);  // sub-mesh tracks set the frame count
    tracked.subMeshTracks = true;
    TrackDesc t;
    t.times = {0, 10};
    TrackChannelDesc c;
    c.positions.assign(6, 1.0f);
    c.rotations.assign(8, 0.5f);
    c.scales.assign(6, 1.0f);
    t.channels = {c};
    tracked.tracks = {t};
    tracked.frameBounds.assign(2 * 2, {0, 0, 0, 1, 1, 1, 1});
    tracked.lods = {MakeLod(tracked.lods[0].vertexCounts, tracked.lods[0].triangleCounts, 1, true, 2, 1)};
    seeds.emplace_back("mom_tracks", WriteMom(tracked));
    MeshDesc old = MakeMesh(0x20010, 2, 2, 1);  // old trans keys: one-frame vertex blocks
    old.oldKeyCount = 1;
    old.oldKeys.assign(old.keyTimes.size() * 2 * 62, 0x11);
    old.lods = {MakeLod(old.lods[0].vertexCounts, old.lods[0].triangleCounts, 1, true, 1, 1)};
    seeds.emplace_back("mom_oldkeys", WriteMom(old));
    MeshDesc dataless = MakeMesh(0x30011, 1, 2, 2);
    dataless.lods[1].hasData = 0;
    seeds.emplace_back("mom_dataless", WriteMom(dataless));
    return seeds;
}

std::vector<SeedFile> MoxSeeds() {
    std::vector<SeedFile> seeds;
    SocketDesc s;
    s.name = "s";
    s.boneName = "b";
    s.objectFile = "o.emf";
    s.animationName = "a";
    for (std::uint32_t v : {0x20010u, 0x20016u, 0x30001u, 0x30002u, 0x30003u}) {
        char name[32];
        std::snprintf(name, sizeof name, "mox_%x", v);
        SocketDesc bare = s;
        bare.objectFile.clear();
        seeds.emplace_back(name, WriteMoxBinary(v, {s, bare}));
    }
    const std::string xml[] = {
        R"(<Sockets Version="1"><S Name="a" BoneName="b" BindType="3" MatrixToBone="1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1"><Track Loop="false" SyncToMorph="true"><TrackKeys><K Time="1"/><K Time="2"/></TrackKeys></Track><BoundObject SocketObjCount="2" ObjectFile="x" ObjectFile_1="y" AnimationName="z" StartTime="1"/></S><S Name="c"/></Sockets>)",
        R"(<Sockets><Other Name="n" BoneName="bone1"><BoundObject SocketObjCount="3" ObjectFile="p" ObjectFile_1="q" ObjectFile_2=""/></Other></Sockets>)",
    };
    for (std::size_t i = 0; i < std::size(xml); ++i) {
        seeds.emplace_back("mox_xml" + std::to_string(i), std::vector<std::uint8_t>(xml[i].begin(), xml[i].end()));
    }
    return seeds;
}

}  // namespace quor::test
