#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "world/core/BinaryReader.h"
#include "world/core/math/Matrix.h"

namespace quor::common {
class IXmlNode;
}

namespace quor {

class TrackData;

// A named attachment point of a mesh: it follows a bone and may carry object files, an
// animation to play on them and a start time.
class MeshSocket {
public:
    static constexpr std::size_t kNameSize = 32;

    MeshSocket();
    ~MeshSocket();
    MeshSocket(const MeshSocket&) = delete;
    MeshSocket& operator=(const MeshSocket&) = delete;

    // Reads one binary record of file version `version`; false leaves the reader failed.
    bool ReadBinary(BinaryReader& in, std::uint32_t version);
    // Fills the socket from one child element of "Sockets".
    void ReadXml(common::IXmlNode* element);
    // Smallest size of one binary record of that version, for checking a count before reading.
    static std::size_t MinRecordSize(std::uint32_t version);

    void AddObjectFile(const char* text, std::size_t length);

    char name[kNameSize] = {};
    char boneName[kNameSize] = {};
    std::int16_t boneIndex = -1;
    std::uint16_t bindType = 7;
    std::unique_ptr<Matrix> matrixToBone;  // 16-byte aligned, identity by default
    std::unique_ptr<TrackData> track;
    std::uint32_t syncToMorph = 0;
    std::string objectFile;  // the last object file read from a binary record
    bool hasObjectFile = false;
    std::vector<std::string> objectFiles;
    char animationName[kNameSize] = {};
    std::int32_t unused = -1;
    float startTime = 0.0f;
    // The global index of the named animation in the skeletal mesh (0xFFFF: none).
    std::uint16_t animationIndex = 0xFFFF;
};

using MeshSocketList = std::vector<std::unique_ptr<MeshSocket>>;

// The socket block of a mesh file or of a binary companion: u16 count, the records, and for
// some versions a list of object file names. Reads into `out` (emptied first).
bool ReadSocketBlock(BinaryReader& in, std::uint32_t version, MeshSocketList& out);

}  // namespace quor
