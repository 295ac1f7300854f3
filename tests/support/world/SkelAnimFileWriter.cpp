#include "tests/support/world/SkelAnimFileWriter.h"

#include <cmath>

namespace quor::test {

namespace {

void WriteTimes(ByteWriter& w, const std::vector<float>& times, bool integers) {
    for (float t : times) {
        if (integers) w.U32(std::uint32_t(t));
        else w.F32(t);
    }
}

void WriteChannel(ByteWriter& w, const TrackChannelDesc& c) {
    w.Raw(c.flags, 4);
    w.F32s(c.positions.data(), c.positions.size());
    w.F32s(c.rotations.data(), c.rotations.size());
    w.F32s(c.scales.data(), c.scales.size());
}

void WriteEvents(ByteWriter& w, const std::vector<SkelEventDesc>& events) {
    w.U16(std::uint16_t(events.size()));
    for (const SkelEventDesc& e : events) w.U16(e.key);
    for (const SkelEventDesc& e : events) w.Fixed(e.name, 32);
}

void WriteV2(ByteWriter& w, std::uint32_t version, const SkelAnimRecordDesc& r) {
    w.Fixed(r.name, 32);
    w.U16(std::uint16_t(r.times.size()));
    WriteTimes(w, r.times, true);
    if (version >= 0x20001) {
        w.Raw(r.reserved.data(), 64);
        w.U8(r.v2Scale);
    }
    const bool scale = version >= 0x20001 && r.v2Scale;
    for (std::size_t k = 0; k < r.times.size(); ++k) {
        for (const TrackChannelDesc& c : r.channels) w.F32s(&c.positions[k * 3], 3);
        for (const TrackChannelDesc& c : r.channels) w.F32s(&c.rotations[k * 4], 4);
        if (scale) {
            for (const TrackChannelDesc& c : r.channels) w.F32s(&c.scales[k * 3], 3);
        }
    }
    WriteEvents(w, r.events);
}

void WriteV3(ByteWriter& w, std::uint32_t version, bool transitions, const SkelAnimRecordDesc& r) {
    w.Fixed(r.name, 32);
    if (version < 0x40000) w.U16(r.pivotBone);
    else w.Fixed(r.pivotBoneName, 32);
    w.U8(r.loop);
    w.U8(r.scalesBones);
    if (version >= 0x40003) w.U16(r.partMask);
    w.U32(r.pivotFlags);
    if (version < 0x30002) w.Raw(r.reserved.data(), 64);
    w.U16(std::uint16_t(r.times.size()));
    WriteTimes(w, r.times, version < 0x30001);
    if (version >= 0x40000) {
        w.U16(std::uint16_t(r.boneNames.size()));
        for (const std::string& n : r.boneNames) w.Fixed(n, 32);
    }
    for (const TrackChannelDesc& c : r.channels) WriteChannel(w, c);
    if (version >= 0x40001) {
        w.U8(r.hasPivotTrack ? 1 : 0);
        if (r.hasPivotTrack) {
            w.U32(r.pivotTrackWord);
            WriteTrack(w, r.pivotTrack);
        }
    }
    WriteEvents(w, r.events);
    if (transitions) {
        for (const SkelTransitionDesc& t : r.transitions) {
            w.U16(t.type);
            w.F32(t.time);
            if (version >= 0x40002) w.U8(t.enabled);
        }
    }
}

}  // namespace

std::vector<std::uint8_t> WriteSkelAnimFile(const SkelAnimFileDesc& f) {
    ByteWriter w;
    w.U32(f.magic);
    w.U32(f.version);
    const std::uint32_t major = f.version & 0xFFFF0000u;
    bool transitions = false;
    if (major == 0x40000) {
        w.U8(f.transitionFlag);
        transitions = f.transitionFlag != 0;
        w.U16(std::uint16_t(f.records.size()));
        for (const SkelAnimRecordDesc& r : f.records) WriteV3(w, f.version, transitions, r);
    } else {
        w.U16(f.boneCountOverride >= 0 ? std::uint16_t(f.boneCountOverride) : std::uint16_t(f.parents.size()));
        w.Raw(f.parents.data(), f.parents.size());
        for (const std::string& n : f.boneNames) w.Fixed(n, 32);
        if (f.version < 0x30004) {
            for (const Matrix16& m : f.bind) w.F32s(m.data(), 16);
        }
        if (f.version >= 0x30003) {
            w.U8(f.transitionFlag);
            transitions = f.transitionFlag != 0;
        }
        w.U16(std::uint16_t(f.records.size()));
        for (const SkelAnimRecordDesc& r : f.records) {
            if (major == 0x20000) WriteV2(w, f.version, r);
            else WriteV3(w, f.version, transitions, r);
        }
    }
    while (w.Size() < f.minimumSize) w.U8(0);
    return w.bytes;
}

SkelAnimRecordDesc MakeSkelAnimRecord(const std::string& name, std::uint16_t keys, std::uint16_t bones, int seed) {
    SkelAnimRecordDesc r;
    r.name = name;
    for (std::uint16_t k = 0; k < keys; ++k) r.times.push_back(100.0f * float(k));
    for (std::uint16_t b = 0; b < bones; ++b) {
        r.boneNames.push_back("Bone" + std::to_string(b));
        TrackChannelDesc c;
        for (std::uint16_t k = 0; k < keys; ++k) {
            const float s = float(seed + b + k);
            c.positions.insert(c.positions.end(), {0.1f * s, 1.0f + 0.05f * float(k), -0.02f * s});
            const float angle = 0.2f * float(k + 1) + 0.1f * float(seed + b);
            c.rotations.insert(c.rotations.end(), {0.0f, std::sin(angle * 0.5f), 0.0f, std::cos(angle * 0.5f)});
            c.scales.insert(c.scales.end(), {1.0f + 0.01f * float(k), 1.0f, 1.0f + 0.02f * float(b)});
        }
        r.channels.push_back(c);
    }
    r.v2Scale = 1;
    return r;
}

SkelAnimFileDesc MakeSkelAnimFile(std::uint32_t version, std::uint16_t bones, std::uint16_t records) {
    SkelAnimFileDesc f;
    f.version = version;
    for (std::uint16_t b = 0; b < bones; ++b) {
        f.parents.push_back(b == 0 ? 255 : std::uint8_t(b - 1));
        f.boneNames.push_back("Bone" + std::to_string(b));
        Matrix16 m = Identity16();
        m[12] = float(b);
        m[13] = 0.5f * float(b);
        f.bind.push_back(m);
    }
    f.transitionFlag = version >= 0x30003 ? 1 : 0;
    for (std::uint16_t a = 0; a < records; ++a) {
        SkelAnimRecordDesc r = MakeSkelAnimRecord("anim" + std::to_string(a), 4, bones, a);
        for (std::uint16_t j = 0; j < records; ++j) r.transitions.push_back({std::uint16_t(j % 5), 50.0f * float(j), 1});
        f.records.push_back(r);
    }
    return f;
}

namespace {
std::string Attributes(const std::vector<std::pair<std::string, std::string>>& attributes) {
    std::string s;
    for (const auto& [k, v] : attributes) s += " " + k + "=\"" + v + "\"";
    return s;
}
}  // namespace

std::string WriteAgs(const AgsDesc& a) {
    std::string s = "<?xml version=\"1.0\"?>\n";
    if (a.hasGroups) {
        s += "<AnimationGroups" + (a.groupsVersion.empty() ? "" : " Version=\"" + a.groupsVersion + "\"") + ">\n";
        for (const AgsGroupDesc& g : a.groups) {
            s += " <Group Name=\"" + g.name + "\">\n";
            for (const AgsMemberDesc& m : g.members) {
                s += "  <Member Name=\"" + m.name + "\"" + Attributes(m.attributes) + "/>\n";
            }
            s += " </Group>\n";
        }
        s += "</AnimationGroups>\n";
    }
    if (a.hasSequences) {
        s += "<AnimationSequences" + (a.sequencesVersion.empty() ? "" : " Version=\"" + a.sequencesVersion + "\"") +
             ">\n";
        for (const AgsSequenceDesc& q : a.sequences) {
            s += " <Sequence Name=\"" + q.name + "\">\n";
            for (const AgsItemDesc& i : q.items) {
                s += "  <Item Name=\"" + i.name + "\"" + Attributes(i.attributes) + "/>\n";
            }
            s += " </Sequence>\n";
        }
        s += "</AnimationSequences>\n";
    }
    return s;
}

std::string WriteBodySplitIni(const std::vector<std::pair<std::string, std::string>>& upper,
                              const std::vector<std::pair<std::string, std::string>>& nether) {
    std::string s = "[Upper]\n";
    for (const auto& [k, v] : upper) s += k + "=" + v + "\n";
    s += "[Nether]\n";
    for (const auto& [k, v] : nether) s += k + "=" + v + "\n";
    return s;
}

}  // namespace quor::test
