#include "world/mesh/MeshSocket.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/host/IXmlNode.h"
#include "world/core/track/TrackData.h"
#include "world/core/XmlNodePtr.h"

#include "world/core/Log.h"

namespace quor {

namespace {
constexpr std::uint32_t kBindTypeVersion = 0x20016;   // bind type and object name in the record
constexpr std::uint32_t kBoneNameVersion = 0x30001;   // bone name replaces the bone index
constexpr std::uint32_t kStartTimeVersion = 0x30003;  // animation only with an object file

void ReadMatrix(BinaryReader& in, Matrix& m) { in.F32s(m.m, 16); }
}  // namespace

MeshSocket::MeshSocket() : matrixToBone(std::make_unique<Matrix>()) { MatrixIdentity(*matrixToBone); }
MeshSocket::~MeshSocket() = default;

void MeshSocket::AddObjectFile(const char* text, std::size_t length) {
    if (length == 0) return;
    objectFile.assign(text, length);
    hasObjectFile = true;
    objectFiles.push_back(objectFile);
}

std::size_t MeshSocket::MinRecordSize(std::uint32_t version) {
    if (version < kBindTypeVersion) return 112;
    if (version < kBoneNameVersion) return 32 + 2 + 2 + 64 + 2;
    if (version < kStartTimeVersion) return 32 + 32 + 2 + 64 + 2 + 32;
    return 32 + 32 + 2 + 64 + 2;
}

bool MeshSocket::ReadBinary(BinaryReader& in, std::uint32_t version) {
    in.Bytes(name, kNameSize);
    if (version < kBindTypeVersion) {
        in.Skip(2);
        float position[3];
        in.F32s(position, 3);
        boneIndex = in.I16();
        ReadMatrix(in, *matrixToBone);
        for (int i = 0; i < 3; ++i) matrixToBone->m[12 + i] = position[i];
        return in.Ok();
    }
    if (version < kBoneNameVersion) {
        boneIndex = in.I16();
    } else {
        in.Bytes(boneName, kNameSize);
    }
    bindType = in.U16();
    ReadMatrix(in, *matrixToBone);
    const std::uint16_t length = in.U16();
    const std::uint8_t* text = in.Span(length);
    if (!in.Ok()) return false;
    AddObjectFile(reinterpret_cast<const char*>(text), length);
    if (version < kBoneNameVersion) return true;
    if (version < kStartTimeVersion) {
        in.Bytes(animationName, kNameSize);
        if (version == kBoneNameVersion + 1) in.Skip(2);
        startTime = 0.0f;
        return in.Ok();
    }
    if (length != 0) {
        in.Bytes(animationName, kNameSize);
        startTime = in.F32();
    }
    return in.Ok();
}

void MeshSocket::ReadXml(common::IXmlNode* element) {
    // Names longer than their 32-character fields are cut to fit.
    element->GetStringAttribute(nullptr, "Name", name, kNameSize, "");
    element->GetStringAttribute(nullptr, "BoneName", boneName, kNameSize, "");
    bindType = std::uint16_t(element->GetIntAttribute(nullptr, "BindType", 7));
    float identity[16];
    Matrix id;
    MatrixIdentity(id);
    std::memcpy(identity, id.m, sizeof identity);
    ReadXmlMatrix(element, nullptr, "MatrixToBone", matrixToBone->m, identity);

    XmlNodePtr owner(element, false);
    XmlNodePtr trackNode = owner.FirstChild("Track");
    if (trackNode) {
        XmlNodePtr keysNode = trackNode.FirstChild("TrackKeys");
        const int keys = keysNode ? std::min(keysNode->CountChildElements(nullptr), 0xFFFF) : 0;
        if (keys > 0) {
            track = std::make_unique<TrackData>();
            track->flags[0] = trackNode->GetBoolAttribute(nullptr, "Loop", true) ? 1 : 0;
            syncToMorph = trackNode->GetBoolAttribute(nullptr, "SyncToMorph", false) ? 1 : 0;
            std::vector<float> times(static_cast<std::size_t>(keys));
            for (int i = 0; i < keys; ++i) {
                XmlNodePtr key = keysNode.ChildAt(nullptr, i);
                times[std::size_t(i)] = key ? key->GetFloatAttribute(nullptr, "Time", 0.0f) : 0.0f;
            }
            track->keyTimes.Assign(times.data(), std::uint16_t(keys));
            track->channels.resize(1);
            track->channels[0].keyCount = std::uint16_t(keys);
        }
    }

    XmlNodePtr bound = owner.FirstChild("BoundObject");
    if (!bound) return;
    char text[1024];
    bound->GetStringAttribute(nullptr, "SocketObjCount", text, sizeof text, "0");
    const int count = std::atoi(text);
    bound->GetStringAttribute(nullptr, "ObjectFile", text, sizeof text, "");
    if (text[0] == 0) return;
    objectFiles.emplace_back(text);
    for (int i = 1; i < count; ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "ObjectFile_%d", i);
        bound->GetStringAttribute(nullptr, key, text, sizeof text, "");
        if (text[0] == 0) return;
        objectFiles.emplace_back(text);
    }
    bound->GetStringAttribute(nullptr, "AnimationName", animationName, kNameSize, "");
    startTime = bound->GetFloatAttribute(nullptr, "StartTime", 0.0f);
}

bool ReadSocketBlock(BinaryReader& in, std::uint32_t version, MeshSocketList& out) {
    out.clear();
    const std::uint16_t count = in.U16();
    if (!in.Ok()) return false;
    if (count == 0) return true;
    if (!in.CheckCount(count, MeshSocket::MinRecordSize(version))) return false;
    out.reserve(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        auto socket = std::make_unique<MeshSocket>();
        if (!socket->ReadBinary(in, version)) {
            out.clear();
            return false;
        }
        out.push_back(std::move(socket));
    }
    if (version >= 0x20008 && version <= 0x20015) {
        for (auto& socket : out) {
            const std::uint16_t length = in.U16();
            const std::uint8_t* text = in.Span(length);
            if (!in.Ok()) break;
            socket->AddObjectFile(reinterpret_cast<const char*>(text), length);
        }
    }
    if (!in.Ok()) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace quor
