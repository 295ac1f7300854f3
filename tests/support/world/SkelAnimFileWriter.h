#pragma once
// Writes "RGIS" skeletal animation files of every major version and version step, their ".ags"
// companions and body-split ".ini" texts, byte by byte, for the skeletal tests, the fuzz seed
// corpus and sample files.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/world/MeshFileWriter.h"

namespace quor::test {

struct SkelEventDesc {
    std::uint16_t key = 0;
    std::string name;
};

struct SkelTransitionDesc {
    std::uint16_t type = 16;
    float time = 0.0f;
    std::uint8_t enabled = 1;  // written from 0x40002
};

struct SkelAnimRecordDesc {
    std::string name;
    std::uint16_t pivotBone = 255;  // before 0x40000
    std::string pivotBoneName;      // from 0x40000
    std::uint8_t loop = 1;
    std::uint8_t scalesBones = 0;
    std::uint16_t partMask = 7;  // from 0x40003
    std::uint32_t pivotFlags = 0;
    std::array<std::uint8_t, 64> reserved{};  // major 2 from 0x20001; majors 3/4 before 0x30002
    std::vector<float> times;  // written as u32 where the version wants integers
    // Major 4: the record's own bones.
    std::vector<std::string> boneNames;
    // One per bone. Major 2 writes every key of positions, rotations (quaternions) and, with
    // v2Scale, scales; its flags are not written.
    std::vector<TrackChannelDesc> channels;
    std::uint8_t v2Scale = 0;  // from 0x20001
    bool hasPivotTrack = false;  // from 0x40001
    std::uint32_t pivotTrackWord = 0x10001;
    TrackDesc pivotTrack;
    std::vector<SkelEventDesc> events;
    // Written when the file's transition flag is set (majors 3 from 0x30003, and 4): one per
    // record of the file.
    std::vector<SkelTransitionDesc> transitions;
};

struct SkelAnimFileDesc {
    std::uint32_t magic = 0x53494752;  // "RGIS"
    std::uint32_t version = 0x40003;
    // Majors 2 and 3: the skeleton the file was made for.
    std::vector<std::uint8_t> parents;
    std::vector<std::string> boneNames;
    std::vector<Matrix16> bind;  // before 0x30004
    int boneCountOverride = -1;  // writes this count instead of the parents' size
    std::uint8_t transitionFlag = 0;  // from 0x30003
    std::vector<SkelAnimRecordDesc> records;
    std::size_t minimumSize = 40;  // zero bytes appended up to this size
};

std::vector<std::uint8_t> WriteSkelAnimFile(const SkelAnimFileDesc& file);

// A record of `keys` keys 100 ms apart for `bones` bones: every part per key (quaternions),
// values following a pattern from `seed`.
SkelAnimRecordDesc MakeSkelAnimRecord(const std::string& name, std::uint16_t keys, std::uint16_t bones, int seed);
// A valid file of that version: `bones` bones in a chain ("Bone0", "Bone1", ...), `records`
// records ("anim0", "anim1", ...) of 4 keys each, bind matrices where the version has them,
// transition tables from 0x30003.
SkelAnimFileDesc MakeSkelAnimFile(std::uint32_t version, std::uint16_t bones, std::uint16_t records);

// ".ags" companion text.
struct AgsMemberDesc {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;  // beyond "Name"
};
struct AgsGroupDesc {
    std::string name;
    std::vector<AgsMemberDesc> members;
};
struct AgsItemDesc {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
};
struct AgsSequenceDesc {
    std::string name;
    std::vector<AgsItemDesc> items;
};
struct AgsDesc {
    bool hasGroups = true;
    std::string groupsVersion;  // empty: no attribute
    std::vector<AgsGroupDesc> groups;
    bool hasSequences = true;
    std::string sequencesVersion;
    std::vector<AgsSequenceDesc> sequences;
};
std::string WriteAgs(const AgsDesc& ags);

// Body-split text: section "Upper" and "Nether" with keys "0", "1", ... (or the given keys).
std::string WriteBodySplitIni(const std::vector<std::pair<std::string, std::string>>& upper,
                              const std::vector<std::pair<std::string, std::string>>& nether);

inline std::vector<std::uint8_t> TextBytes(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace quor::test
