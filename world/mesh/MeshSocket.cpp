#include "world/mesh/MeshSocket.h"

#include <cstring>

#include "world/core/TrackData.h"

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
