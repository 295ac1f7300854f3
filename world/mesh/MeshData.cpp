#include "world/mesh/MeshData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/host/IResFileSystem.h"
#include "platform/host/IUtils.h"
#include "platform/host/IXmlNode.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/Memory.h"

namespace quor {

namespace {
constexpr std::uint32_t kV3 = 0x30000;
constexpr std::uint32_t kLayerNameVersion = 0x30004;
constexpr std::uint32_t kSorterByteVersion = 0x30005;
constexpr std::uint32_t kSorterWordVersion = 0x30007;
constexpr std::uint32_t kPerLodChannelsVersion = 0x30008;
constexpr std::uint32_t kNoLayersVersion = 0x30009;
constexpr std::uint32_t kExtraNameVersion = 0x30010;
constexpr std::uint32_t kExtraValuesVersion = 0x30011;
constexpr std::uint32_t kOwnOccluderVersion = 0x30006;

constexpr std::uint32_t kEffectNameVersion = 0x20001;
constexpr std::uint32_t kFullOldRecordVersion = 0x20003;
constexpr std::uint32_t kOptionBytesVersion = 0x20004;
constexpr std::uint32_t kFloatKeyTimesVersion = 0x20005;
constexpr std::uint32_t kLayerAnimVersion = 0x20007;
constexpr std::uint32_t kKeyPresenceVersion = 0x20011;
constexpr std::uint32_t kCommonOccluderVersion = 0x20012;
constexpr std::uint32_t kSubMeshTracksVersion = 0x20013;
constexpr std::uint32_t kKeyOptionVersion = 0x20014;

constexpr std::size_t kOldKeySize = 62;
constexpr std::size_t kShortOldRecordSize = 142;

Bounds BoundsFromBytes(const std::uint8_t* p) {
    BinaryReader r(p, 28);
    Bounds b;
    ReadBounds(r, b);
    return b;
}

void NameLayer(TextureLayer& layer, int index) {
    std::snprintf(layer.name, sizeof layer.name, "Tex%d", index);
}

// Key-driven uv animation: u16 key count, key times, 20-byte keys. A layer that says it is
// key-driven must have at least one key.
bool ReadUvKeys(BinaryReader& in, TextureLayer& layer, bool integerTimes) {
    const std::uint16_t count = in.U16();
    if (!in.Ok() || count == 0 || !in.CheckCount(count, 4 + 20)) {
        in.Fail();
        return false;
    }
    if (integerTimes) {
        std::vector<std::uint32_t> times(count);
        in.U32s(times.data(), count);
        layer.keyTimes.AssignIntegers(times.data(), count);
    } else {
        std::vector<float> times(count);
        in.F32s(times.data(), count);
        layer.keyTimes.Assign(times.data(), count);
    }
    layer.keys.resize(std::size_t(count) * 5);
    return in.F32s(layer.keys.data(), layer.keys.size());
}

// The parameters or keys of an enabled layer.
bool ReadUvAnimation(BinaryReader& in, TextureLayer& layer, bool keyOption, bool integerTimes) {
    if (layer.uvAnimMode == 0) return in.F32s(layer.uvAnimParams, 5);
    if (keyOption) layer.keyOption = in.U8();
    return ReadUvKeys(in, layer, integerTimes);
}

void UpdateAnimFlags(SubMeshInfo& sub) {
    for (const TextureLayer& layer : sub.layers) {
        if (layer.uvAnimEnabled) {
            sub.uvAnimated = 1;
            if (layer.uvAnimMode) sub.keyAnimated = 1;
        }
    }
}

bool ReadLayerV3(BinaryReader& in, std::uint32_t version, TextureLayer& layer, int index) {
    if (version >= kLayerNameVersion) {
        const std::uint8_t length = in.U8();
        const std::uint8_t* text = in.Span(length);
        if (!in.Ok()) return false;
        const std::size_t kept = std::min<std::size_t>(length, TextureLayer::kNameSize - 1);
        std::memcpy(layer.name, text, kept);
        layer.name[kept] = 0;
    } else {
        NameLayer(layer, index);
    }
    in.Skip(1);
    layer.options[0] = in.U8();
    layer.options[1] = in.U8();
    layer.uvAnimEnabled = in.U8();
    layer.uvAnimMode = in.U8();
    if (!in.Ok()) return false;
    if (layer.uvAnimEnabled) return ReadUvAnimation(in, layer, true, false);
    return true;
}

bool ReadSubMeshV3(BinaryReader& in, std::uint32_t version, SubMeshInfo& sub) {
    in.Bytes(sub.name, sizeof sub.name);
    ReadBounds(in, sub.bounds);
    if (version < kPerLodChannelsVersion) {
        sub.uvChannelCount = in.U8();
        sub.hasColour = in.U8();
    }
    sub.materialSlot = in.U32();
    if (version < kNoLayersVersion) {
        for (int i = 0; i < SubMeshInfo::kLayerCount && in.Ok(); ++i) ReadLayerV3(in, version, sub.layers.Edit(i), i);
        UpdateAnimFlags(sub);
    }
    if (version == kExtraNameVersion) in.Bytes(sub.extraName, sizeof sub.extraName);
    if (version >= kExtraValuesVersion) in.U32s(sub.extraValues, 4);
    return in.Ok();
}

// The fewest bytes a version-3 sub-mesh record of that version takes: name, bounds and
// material slot, the channel bytes before 0x30008, eight layers (at least their five flag
// bytes and the name length from 0x30004) before 0x30009, the extra name or values after.
std::size_t MinSubMeshRecordSizeV3(std::uint32_t version) {
    std::size_t size = 32 + 28 + 4;
    if (version < kPerLodChannelsVersion) size += 2;
    if (version < kNoLayersVersion) size += SubMeshInfo::kLayerCount * (version >= kLayerNameVersion ? 6 : 5);
    if (version == kExtraNameVersion) size += 32;
    if (version >= kExtraValuesVersion) size += 16;
    return size;
}

void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void ScaleFloatAt(std::uint8_t* p, float factor) {
    float f = BinaryReader::LoadF32(p) * factor;
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(u >> (8 * i));
}

bool ReadSubMeshV2(BinaryReader& in, std::uint32_t version, OldSubMeshRecord& old, SubMeshInfo& sub) {
    if (version >= kFullOldRecordVersion) {
        in.Bytes(old.raw, OldSubMeshRecord::kSize);
    } else {
        // The short record lacks the last four name lengths and the blend words.
        in.Bytes(old.raw, kShortOldRecordSize);
        const std::uint16_t tail[8] = {0, 0, 5, 0, 6, 0, 4, 0};
        for (int i = 0; i < 8; ++i) PutU16(old.raw + kShortOldRecordSize + 2 * i, tail[i]);
        for (std::size_t off : {86u, 90u, 94u}) ScaleFloatAt(old.raw + off, 5.0f);
    }
    if (!in.Ok()) return false;
    const std::uint8_t* raw = old.raw;
    std::memcpy(sub.name, raw, 32);
    sub.bounds = BoundsFromBytes(raw + 32);
    sub.uvChannelCount = raw[60];
    sub.hasColour = raw[61];
    sub.layers.Edit(0);  // every layer keeps its "Tex%d" name

    // The names follow in layer order: they are the layers' texture files; the layers keep
    // their "Tex%d" names.
    for (int i = 0; i < 8; ++i) {
        const std::uint8_t* text = in.Span(raw[138 + i]);
        if (text) old.textureFiles[i].assign(reinterpret_cast<const char*>(text), raw[138 + i]);
    }
    if (version >= kFullOldRecordVersion) {
        for (int i = 0; i < SubMeshInfo::kLayerCount && in.Ok(); ++i) {
            TextureLayer& layer = sub.layers.Edit(i);
            in.Skip(1);
            layer.options[0] = in.U8();
            if (version >= kLayerAnimVersion) {
                layer.options[1] = in.U8();
                layer.uvAnimEnabled = in.U8();
                layer.uvAnimMode = in.U8();
                if (in.Ok() && layer.uvAnimEnabled) {
                    ReadUvAnimation(in, layer, version >= kKeyOptionVersion, version < kFloatKeyTimesVersion);
                }
            }
        }
    }
    if (version >= kEffectNameVersion) {
        old.alphaTestEnable = in.U8();
        const std::uint8_t length = in.U8();
        const std::uint8_t* text = in.Span(length);
        if (text) old.effectFile.assign(reinterpret_cast<const char*>(text), length);
    }
    if (in.Ok() && version < kLayerAnimVersion && raw[65] != 0) {
        TextureLayer& layer = sub.layers.Edit(0);
        layer.uvAnimEnabled = raw[65];
        layer.uvAnimMode = raw[66];
        layer.options[1] = raw[68];
        ReadUvAnimation(in, layer, false, version < kFloatKeyTimesVersion);
    }
    UpdateAnimFlags(sub);
    return in.Ok();
}

}  // namespace

const TextureLayer* TextureLayers::Defaults() {
    static const auto* layers = [] {
        auto* made = NewArray<TextureLayer>(kCount);
        if (!made) OutOfMemory(sizeof(TextureLayer) * kCount);
        for (int i = 0; i < kCount; ++i) NameLayer(made[i], i);
        return made;
    }();
    return layers;
}

TextureLayer& TextureLayers::Edit(int i) {
    if (!own_) {
        own_ = std::make_unique<TextureLayer[]>(kCount);
        for (int k = 0; k < kCount; ++k) NameLayer(own_[k], k);
    }
    return own_[i];
}

void ReadBounds(BinaryReader& in, Bounds& b) {
    float f[7];
    in.F32s(f, 7);
    b.centre = {f[0], f[1], f[2]};
    b.half = {f[3], f[4], f[5]};
    b.radius = f[6];
}

void BuildPairUnions(Bounds* whole, Bounds* perSub, std::uint32_t frames, std::uint32_t subCount) {
    for (std::uint32_t f = 0; f + 1 < frames; ++f) {
        const Bounds& a = whole[f];
        const Bounds& b = whole[f + 1];
        Bounds u = a;
        u.MergeBox(b);
        const float dx = b.centre.x - a.centre.x, dy = b.centre.y - a.centre.y, dz = b.centre.z - a.centre.z;
        u.radius = (std::sqrt(dx * dx + dy * dy + dz * dz) + a.radius + b.radius) / 2;
        whole[frames + f] = u;
        if (!perSub) continue;
        for (std::uint32_t s = 0; s < subCount; ++s) {
            Bounds su = perSub[std::size_t(f) * subCount + s];
            const Bounds& next = perSub[std::size_t(f + 1) * subCount + s];
            su.MergeBox(next);
            su.MergeSphere(next);
            perSub[std::size_t(frames + f) * subCount + s] = su;
        }
    }
    if (frames == 0) return;
    whole[2 * frames - 1] = whole[frames - 1];
    if (!perSub) return;
    for (std::uint32_t s = 0; s < subCount; ++s) {
        perSub[std::size_t(2 * frames - 1) * subCount + s] = perSub[std::size_t(frames - 1) * subCount + s];
    }
}

MeshData::MeshData() = default;

MeshData::~MeshData() { Clear(); }

void MeshData::Clear() {
    // Frees whatever exists, also after a load that failed before its LOD blocks were made.
    keyTrack.reset();
    subMeshTracks.clear();
    hasSubMeshTracks = false;
    for (auto& lod : lods) lod.reset();
    lodCount = 0;
    subMeshes.clear();
    subMeshCount = 0;
    sockets.clear();
    frameBounds.clear();
    subMeshFrameBounds.clear();
    frameCount = 1;
    std::vector<std::uint8_t>().swap(blob);
    oldSubMeshes.clear();
    collision.Release();
    collision.flag = 0;
    occluder.reset();
}

MeshVertexData* MeshData::CreateVertexData(int lod) {
    lods[lod] = std::make_unique<MeshVertexData>();
    return lods[lod].get();
}

bool MeshData::CheckFileType(BinaryReader& in) { return ReadFileHeader(in, false); }

bool MeshData::ReadFileHeader(BinaryReader& in, bool skeletal) {
    in.Seek(4);
    version = in.U32();
    meshType = in.U16();
    const bool typeMatches = skeletal ? meshType == 1 : (meshType == 0 || meshType == 2);
    if (!in.Ok() || !typeMatches) {
        LogError("Failed to read file header, mesh type not match!");
        in.Fail();
        return false;
    }
    return true;
}

bool MeshData::ReadLodCount(BinaryReader& in) {
    const std::uint8_t count = in.U8();
    // A mesh has at least one level of detail (the collision mesh and occluder fall back on
    // LOD 0) and the LOD table holds eight.
    if (!in.Ok() || count == 0 || count > kMaxLods) {
        in.Fail();
        return false;
    }
    lodCount = count;
    return true;
}

bool MeshData::ReadCommonOccluder(BinaryReader& in) {
    auto occ = std::make_unique<OccluderGeometry>();
    if (!occ->Read(in, version)) return false;
    if (occ->a.kind != 0) occluder = std::move(occ);
    return true;
}

bool MeshData::ReadCommonDataV3(BinaryReader& in) {
    headerWord = in.U16();
    if (version < kNoLayersVersion) {
        headerBytes[0] = in.U8();
        headerBytes[1] = in.U8();
    } else {
        headerBytes[0] = headerBytes[1] = 0;
    }
    ReadBounds(in, bounds);
    in.Bytes(optionBytes, 4);
    const std::uint32_t count = in.U32();
    if (version >= kSorterByteVersion && version < kSorterWordVersion) {
        sorterType = in.U8() ? 4 : 0;
    } else if (version >= kSorterWordVersion) {
        sorterType = in.U32();
    }
    if (!in.CheckCount(count, MinSubMeshRecordSizeV3(version))) return false;
    subMeshCount = count;
    subMeshes.resize(count);
    for (SubMeshInfo& sub : subMeshes) {
        if (!ReadSubMeshV3(in, version, sub)) return false;
    }
    if (!ReadSocketBlock(in, version, sockets)) return false;
    if (!ReadKeyTrack(in) || !ReadFrameBounds(in)) return false;
    if (version < kOwnOccluderVersion && !ReadCommonOccluder(in)) return false;
    if (!ReadLodCount(in)) return false;
    for (int i = 0; i < lodCount; ++i) CreateVertexData(i)->SetSubMeshCount(subMeshCount);
    return in.Ok();
}

bool MeshData::ReadCommonDataV2(BinaryReader& in) {
    headerWord = in.U16();
    headerBytes[0] = in.U8();
    headerBytes[1] = in.U8();
    ReadBounds(in, bounds);
    if (version >= kOptionBytesVersion) in.Bytes(optionBytes, 4);
    const std::uint32_t count = in.U32();
    // The raw record, then per layer its two bytes (three more from 0x20007), then the
    // alpha-test byte and effect-name length.
    std::size_t recordSize = version >= kFullOldRecordVersion ? OldSubMeshRecord::kSize : kShortOldRecordSize;
    if (version >= kFullOldRecordVersion) recordSize += SubMeshInfo::kLayerCount * (version >= kLayerAnimVersion ? 5 : 2);
    if (version >= kEffectNameVersion) recordSize += 2;
    if (!in.CheckCount(count, recordSize)) return false;
    subMeshCount = count;
    subMeshes.resize(count);
    oldSubMeshes.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!ReadSubMeshV2(in, version, oldSubMeshes[i], subMeshes[i])) return false;
    }
    if (!ReadSocketBlock(in, version, sockets)) return false;
    lodCount = 1;
    if (version >= 0x20009 && version <= 0x20012) {
        if (!ReadLodCount(in)) return false;
        in.Skip(1);
    }
    if (!ReadKeyTrack(in) || !ReadFrameBounds(in)) return false;
    if (version < kKeyPresenceVersion && keyTrack && keyTrack->oldKeyCount != 0) {
        if (version >= 0x20002 && version <= 0x20005) in.Skip(64);
        const std::uint64_t firstFrame = std::uint64_t(subMeshCount) * kOldKeySize;
        if (!in.CheckCount(firstFrame, std::max<std::uint64_t>(frameCount, 1))) return false;
        keyTrack->oldFirstFrameKeys.resize(firstFrame);
        in.Bytes(keyTrack->oldFirstFrameKeys.data(), firstFrame);
        in.Skip(firstFrame * (std::max<std::uint64_t>(frameCount, 1) - 1));
    }
    if (version >= kCommonOccluderVersion && !ReadCommonOccluder(in)) return false;
    if (version >= kSubMeshTracksVersion) {
        if (!ReadLodCount(in)) return false;
        in.Skip(1);
    }
    if (!in.Ok()) return false;
    for (int i = 0; i < lodCount; ++i) CreateVertexData(i)->SetSubMeshCount(subMeshCount);
    return true;
}

bool MeshData::ReadKeyTrack(BinaryReader& in) {
    if (version >= kKeyPresenceVersion && in.U8() != 0) keyTrack = std::make_unique<VertexKeyTrack>();
    if (keyTrack) {
        if (version >= kKeyPresenceVersion) keyTrack->flag = in.U8();
        keyTrack->oldKeyCount = version < kSubMeshTracksVersion ? in.U16() : 0;
        const std::uint16_t count = in.U16();
        // Every frame of a vertex-animated mesh has a key; no keys means no frames to read.
        if (!in.Ok() || count == 0 || !in.CheckCount(count, 4)) {
            in.Fail();
            return false;
        }
        if (version < kFloatKeyTimesVersion) {
            std::vector<std::uint32_t> times(count);
            in.U32s(times.data(), count);
            keyTrack->keyTimes.AssignIntegers(times.data(), count);
        } else {
            std::vector<float> times(count);
            in.F32s(times.data(), count);
            keyTrack->keyTimes.Assign(times.data(), count);
        }
        frameCount = count;
    }
    if (version >= kSubMeshTracksVersion && in.U8() != 0) {
        hasSubMeshTracks = true;
        const std::uint32_t trackVersion = in.U32();
        // A track body is at least its name, flags, counts and one key time.
        if (!in.CheckCount(subMeshCount, 32 + 4 + 2 + 2 + 4 + 2)) return false;
        subMeshTracks.reserve(subMeshCount);
        for (std::uint32_t i = 0; i < subMeshCount; ++i) {
            auto track = std::make_unique<TrackData>();
            if (!track->ReadBody(in, trackVersion)) return false;
            subMeshTracks.push_back(std::move(track));
        }
        if (!subMeshTracks.empty()) frameCount = subMeshTracks[0]->GetKeyCount();
    }
    return in.Ok();
}

bool MeshData::ReadFrameBounds(BinaryReader& in) {
    if (!keyTrack && !hasSubMeshTracks) return in.Ok();
    const std::uint32_t frames = frameCount;
    const std::uint64_t perFrame = (std::uint64_t(subMeshCount) + 1) * 28;
    if (!in.CheckCount(frames, perFrame)) return false;
    frameBounds.assign(std::size_t(frames) * 2, Bounds{});
    subMeshFrameBounds.assign(std::size_t(frames) * 2 * subMeshCount, Bounds{});
    for (std::uint32_t f = 0; f < frames; ++f) {
        ReadBounds(in, frameBounds[f]);
        for (std::uint32_t s = 0; s < subMeshCount; ++s) ReadBounds(in, subMeshFrameBounds[std::size_t(f) * subMeshCount + s]);
    }
    if (!in.Ok()) return false;
    BuildPairUnions(frameBounds.data(), subMeshFrameBounds.data(), frames, subMeshCount);
    return true;
}

bool MeshData::ReadVertexData(BinaryReader& in, int lod) {
    MeshVertexData* block = lods[lod].get();
    if (version < kPerLodChannelsVersion) {
        for (std::uint32_t i = 0; i < subMeshCount; ++i) {
            block->ranges[i].uvChannelCount = subMeshes[i].uvChannelCount;
            block->ranges[i].hasColour = subMeshes[i].hasColour;
        }
    }
    // Files with old trans keys animated their sub-meshes by transform keys, not by vertex
    // frames: their blocks hold one frame whatever the key count, and the mesh is made static
    // once the whole file is read.
    const bool oldTransKeys = keyTrack && keyTrack->oldKeyCount != 0;
    return block->Read(in, version, oldTransKeys ? 1 : frameCount);
}

const char* MeshData::NameText() const { return Name().c_str(); }

void MeshData::FreeVertexColours() {
    for (int i = 0; i < lodCount; ++i) {
        if (lods[i]) lods[i]->FreeColours();
    }
}

std::uint8_t MeshData::GetSocketSyncToMorph(int index) const {
    if (index < 0 || std::size_t(index) >= sockets.size()) return 0;
    return std::uint8_t(sockets[index]->syncToMorph);
}

std::uintptr_t MeshData::ParseHeader(const std::uint8_t* data, std::uint32_t size) {
    image_ = BinaryReader(data, size);
    return CheckFileType(image_) ? reinterpret_cast<std::uintptr_t>(&image_) : 0;
}

int MeshData::ParseBody(std::uintptr_t header) {
    if (header != reinterpret_cast<std::uintptr_t>(&image_)) return 0;
    BinaryReader& in = image_;
    const bool common = version < kV3 ? ReadCommonDataV2(in) : ReadCommonDataV3(in);
    if (!common || !in.Ok()) {
        LogError("Failed to read common data!");
        return false;
    }
    for (int i = 0; i < lodCount; ++i) {
        if (in.AtEnd() || !ReadVertexData(in, i)) {
            LogError("Failed to read vertex data!");
            return false;
        }
    }
    if (version >= kOwnOccluderVersion) {
        if (!collision.Read(in)) return false;
        const std::uint8_t hasOccluder = in.U8();
        if (!in.Ok()) return false;
        if (hasOccluder) {
            occluder = std::make_unique<OccluderGeometry>();
            if (!occluder->Read(in, version)) return false;
        }
    }
    MeshVertexData* lod0 = lods[0].get();
    if (collision.flag == 0) {
        collision.Attach(lod0->positions.data(), lod0->indices.data(),
                         lod0->colours.empty() ? nullptr : lod0->colours.data(), lod0->vertexCount,
                         lod0->triangleCount);
    }
    if (occluder) {
        for (OccluderSet* set : {&occluder->a, &occluder->b}) {
            if (set->kind != 1) continue;
            set->positions = lod0->positions.data();
            set->vertexCount = lod0->vertexCount;
            set->indices = lod0->indices.data();
            set->triangleCount = lod0->triangleCount;
        }
    }
    fileSize = std::uint32_t(in.Size());
    SetMemSize(std::int32_t(fileSize));
    if (keyTrack && keyTrack->oldKeyCount != 0) ConvertOldTransKeys();
    return in.Ok() ? 1 : 0;
}

void MeshData::ConvertOldTransKeys() {
    LogWarning("Too old version that still has old trans-key data!");
    if (!frameBounds.empty()) bounds = frameBounds[0];
    for (std::uint32_t s = 0; s < subMeshCount && !subMeshFrameBounds.empty(); ++s) {
        subMeshes[s].bounds = subMeshFrameBounds[s];
    }
    frameBounds.clear();
    subMeshFrameBounds.clear();
    frameCount = 1;
    keyTrack.reset();
}

namespace {

// An open resource file that closes itself.
class ResFile {
public:
    explicit ResFile(const char* path) {
        common::IResFileSystem* fs = Interfaces().resFileSystem;
        file_ = fs ? fs->OpenFile(path, 0) : nullptr;
    }
    ~ResFile() {
        if (file_) file_->Close();
    }
    ResFile(const ResFile&) = delete;
    ResFile& operator=(const ResFile&) = delete;
    explicit operator bool() const { return file_ != nullptr; }
    const std::uint8_t* Data() const { return file_->GetData(); }
    std::size_t Size() const { return file_->GetSize(); }

private:
    common::IResFile* file_ = nullptr;
};

// The file name with everything from its last "." replaced by the extension.
std::string CompanionName(const char* fileName, const char* extension) {
    std::string name = fileName;
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name + extension;
}

}  // namespace

bool MeshData::LoadImage(const char* fileName, const std::uint8_t* data, std::size_t size) {
    Clear();
    loadingName_ = fileName;
    if (size > 0xFFFFFFFFu) size = 0;  // the format counts its bytes in 32 bits
    BinaryReader peek(data, size);
    version = peek.U32At(4);
    if (version < kMinVersion) {
        LogError("Mesh file %s version %x is too old!", fileName, version);
        return false;
    }
    if (version > kMaxVersion) {
        LogError("Mesh file %s version %x is too new!", fileName, version);
        return false;
    }
    // Newer files say in the common data whether they have a key track.
    if (version < kKeyPresenceVersion && peek.U16At(8) == 2) keyTrack = std::make_unique<VertexKeyTrack>();
    bool ok = SharedObject::LoadFromMemory(data, std::uint32_t(size));
    BinaryReader& in = image_;
    if (ok && version >= kV3) {
        ResFile mog(CompanionName(fileName, ".mog").c_str());
        if (mog) {
            blob.assign(mog.Data(), mog.Data() + mog.Size());
        } else {
            // The trailing blob: u32 length and its bytes.
            const std::uint32_t length = in.U32();
            const std::uint8_t* bytes = in.Span(length);
            ok = in.Ok();
            if (ok && length) blob.assign(bytes, bytes + length);
        }
    }
    loadingName_ = "";
    image_ = BinaryReader();  // the caller's image is not kept
    if (!ok) {
        LogError("Failed to read mesh file %s!", fileName);
        Clear();
        return false;
    }
    SetName(fileName);
    socketVersion = version;
    xmlSocketVersion = 0;
    socketsFromXml = false;
    const std::string moxName = CompanionName(fileName, ".mox");
    ResFile mox(moxName.c_str());
    if (mox) ReadMox(mox.Data(), mox.Size(), moxName.c_str());
    return true;
}

bool MeshData::LoadFromMemory(const char* fileName, const void* data, std::size_t size) {
    return LoadImage(fileName, static_cast<const std::uint8_t*>(data), size);
}

bool MeshData::LoadFile(const char* fileName) {
    ResFile file(fileName);
    if (!file) {
        LogError("Mesh file %s is not found!", fileName);
        return false;
    }
    if (file.Size() < kMinFileSize || BinaryReader::LoadU32(file.Data()) != kMagic) {
        LogError("Bad format in mesh file %s!", fileName);
        return false;
    }
    return LoadImage(fileName, file.Data(), file.Size());
}

bool MeshData::ReadMoxBinary(const void* data, std::size_t size, const char* fileName) {
    BinaryReader in(data, size);
    in.Skip(4);
    const std::uint32_t moxVersion = in.U32();
    if (in.U16At(8) == 0) return false;
    // Into a list of its own first: a companion that fails midway keeps the old sockets.
    MeshSocketList fresh;
    if (!ReadSocketBlock(in, moxVersion, fresh) || fresh.empty()) return false;
    sockets.swap(fresh);
    socketVersion = moxVersion;
    socketsFromXml = false;
    LogInfo("Mesh extra file %s loaded.", fileName);
    return true;
}

bool MeshData::ReadMoxXml(const void* data, std::size_t size, const char* fileName) {
    common::IUtils* utils = Interfaces().utils;
    if (!utils || size > 0xFFFFFFFFu) return false;
    XmlNodePtr doc(utils->CreateXmlDocument());
    if (!doc || !doc->Parse(data, std::uint32_t(size))) return false;
    XmlNodePtr root = doc.FirstChild("Sockets");
    if (!root) return false;
    const int count = root->CountChildElements(nullptr);
    if (count <= 0) return false;
    MeshSocketList fresh;
    fresh.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        XmlNodePtr element = root.ChildAt(nullptr, i);
        if (!element) return false;
        auto socket = std::make_unique<MeshSocket>();
        socket->ReadXml(element.Get());
        fresh.push_back(std::move(socket));
    }
    sockets.swap(fresh);
    xmlSocketVersion = root->GetIntAttribute(nullptr, "Version", 0);
    socketsFromXml = true;
    LogInfo("Mesh extra file %s loaded.", fileName);
    return true;
}

bool MeshData::ReadMox(const void* data, std::size_t size, const char* fileName) {
    if (size >= 10 && std::memcmp(data, "QMEX", 4) == 0) return ReadMoxBinary(data, size, fileName);
    return ReadMoxXml(data, size, fileName);
}

void MeshData::WriteStats(common::IXmlNode* parent) const {
    XmlNodePtr node = XmlNodePtr(parent, false).AddChild("MeshData");
    if (!node) return;
    node->SetStringAttribute(nullptr, "name", NameText());
    WriteXmlInt(node.Get(), nullptr, "mem_size", std::int32_t(fileSize));
    WriteXmlInt(node.Get(), nullptr, "ref_count", RefCount());
    WriteXmlInt(node.Get(), nullptr, "mesh_lod_count", lodCount);
    WriteXmlInt(node.Get(), nullptr, "sub_count", std::int32_t(subMeshCount));
    for (int i = 0; i < lodCount; ++i) {
        XmlNodePtr info = node.AddChild("VertexInfo");
        if (!info) continue;
        WriteXmlInt(info.Get(), nullptr, "vertex_count", std::int32_t(lods[i]->vertexCount));
        WriteXmlInt(info.Get(), nullptr, "tri_count", std::int32_t(lods[i]->triangleCount));
        WriteXmlInt(info.Get(), nullptr, "uv_channel_count", lods[i]->uvChannelCount);
        WriteXmlInt(info.Get(), nullptr, "has_color", lods[i]->hasColour);
    }
}

}  // namespace quor
