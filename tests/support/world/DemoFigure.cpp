#include "tests/support/world/DemoFigure.h"

#include <cmath>

#include "tests/support/world/MaterialFileWriter.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/SkelAnimFileWriter.h"

namespace quor::test {

namespace {

struct BoneDesc {
    const char* name;
    int parent;
    float x, y, z;  // head position relative to the parent's head
};

// Pelvis at hip height; the chain heads in model space follow from the offsets.
const BoneDesc kBones[] = {
    {"Pelvis", -1, 0.0f, 1.0f, 0.0f},      {"Spine1", 0, 0.0f, 0.15f, 0.0f},    {"Spine2", 1, 0.0f, 0.15f, 0.0f},
    {"Chest", 2, 0.0f, 0.15f, 0.0f},       {"Neck", 3, 0.0f, 0.15f, 0.0f},      {"Head", 4, 0.0f, 0.1f, 0.0f},
    {"LClavicle", 3, 0.08f, 0.1f, 0.0f},   {"LUpperArm", 6, 0.12f, 0.0f, 0.0f}, {"LForearm", 7, 0.28f, 0.0f, 0.0f},
    {"LHand", 8, 0.25f, 0.0f, 0.0f},       {"RClavicle", 3, -0.08f, 0.1f, 0.0f}, {"RUpperArm", 10, -0.12f, 0.0f, 0.0f},
    {"RForearm", 11, -0.28f, 0.0f, 0.0f},  {"RHand", 12, -0.25f, 0.0f, 0.0f},   {"LThigh", 0, 0.1f, -0.05f, 0.0f},
    {"LShin", 14, 0.0f, -0.45f, 0.0f},     {"LFoot", 15, 0.0f, -0.45f, 0.0f},   {"RThigh", 0, -0.1f, -0.05f, 0.0f},
    {"RShin", 17, 0.0f, -0.45f, 0.0f},     {"RFoot", 18, 0.0f, -0.45f, 0.0f},
};
constexpr int kBoneCount = int(sizeof kBones / sizeof kBones[0]);
constexpr int kKeys = 9;
constexpr float kKeySpacing = 100.0f;

struct Vec {
    float x, y, z;
};

Vec Head(int b) {
    Vec p{0, 0, 0};
    for (int i = b; i >= 0; i = kBones[i].parent) p.x += kBones[i].x, p.y += kBones[i].y, p.z += kBones[i].z;
    return p;
}

// The bone's tip: the first child's head, or a short step along the bone's own offset.
Vec Tip(int b) {
    for (int c = 0; c < kBoneCount; ++c) {
        if (kBones[c].parent == b) return Head(c);
    }
    const Vec h = Head(b);
    return Vec{h.x + kBones[b].x * 0.5f, h.y + kBones[b].y * 0.5f - 0.05f, h.z + 0.08f};
}

void AxisAngle(float ax, float ay, float az, float angle, std::vector<float>& out) {
    const float s = std::sin(angle * 0.5f);
    out.insert(out.end(), {ax * s, ay * s, az * s, std::cos(angle * 0.5f)});
}

// One record: every bone keeps its offset and turns by `angle(bone, key)` about x (or z).
template <typename Angle>
SkelAnimRecordDesc Record(const std::string& name, std::uint8_t loop, Angle angle) {
    SkelAnimRecordDesc r;
    r.name = name;
    r.loop = loop;
    for (int k = 0; k < kKeys; ++k) r.times.push_back(kKeySpacing * float(k));
    for (int b = 0; b < kBoneCount; ++b) {
        r.boneNames.push_back(kBones[b].name);
        TrackChannelDesc c;
        for (int k = 0; k < kKeys; ++k) {
            c.positions.insert(c.positions.end(), {kBones[b].x, kBones[b].y, kBones[b].z});
            float ax = 1.0f, az = 0.0f;
            const float a = angle(b, k, ax, az);
            AxisAngle(ax, 0.0f, az, a, c.rotations);
            c.scales.insert(c.scales.end(), {1.0f, 1.0f, 1.0f});
        }
        r.channels.push_back(c);
    }
    r.v2Scale = 1;
    return r;
}

}  // namespace

DemoFigureFiles MakeDemoFigure(const std::string& animationName) {
    DemoFigureFiles files;
    MeshDesc m = MakeMesh(0x30011, 1, 1, 1);
    m.sockets.clear();
    m.sorterType = 0;
    m.subMeshes[0].name = "skin";
    m.subMeshes[0].extraName.clear();
    m.subMeshes[0].materialSlot = 0;
    MaterialGroupDesc group = MakeMaterialGroup({"skin"});
    for (MaterialSlotDesc& slot : group.slots) slot.material.stages.clear();
    m.blob = WriteMaterialGroup(group);
    // Per bone a three-sided tube from head to tip: the head ring shared half and half with
    // the parent, the tip ring the bone's own.
    LodDesc lod;
    constexpr float kRadius = 0.05f;
    for (int b = 0; b < kBoneCount; ++b) {
        const Vec h = Head(b), t = Tip(b);
        for (int ring = 0; ring < 2; ++ring) {
            const Vec c = ring == 0 ? h : t;
            for (int i = 0; i < 3; ++i) {
                const float a = 2.0943951f * float(i);
                lod.positions.insert(lod.positions.end(), {c.x + kRadius * std::cos(a), c.y, c.z + kRadius * std::sin(a)});
                lod.normals.insert(lod.normals.end(), {std::cos(a), 0.0f, std::sin(a)});
                const int parent = kBones[b].parent;
                if (ring == 0 && parent >= 0) {
                    lod.boneIndices.insert(lod.boneIndices.end(), {std::uint8_t(b), std::uint8_t(parent), 255, 255});
                    lod.weights.insert(lod.weights.end(), {0.5f, 0.5f, 0.0f, 0.0f});
                } else {
                    lod.boneIndices.insert(lod.boneIndices.end(), {std::uint8_t(b), 255, 255, 255});
                    lod.weights.insert(lod.weights.end(), {1.0f, 0.0f, 0.0f, 0.0f});
                }
                lod.uvs.resize(1);
                lod.uvs[0].insert(lod.uvs[0].end(), {float(i) / 3.0f, float(ring)});
                lod.colours.push_back(0xFFFFFFFFu);
            }
        }
        const std::uint16_t base = std::uint16_t(b * 6);
        for (std::uint16_t i = 0; i < 3; ++i) {
            const std::uint16_t j = std::uint16_t((i + 1) % 3);
            lod.indices.insert(lod.indices.end(), {std::uint16_t(base + i), std::uint16_t(base + 3 + i), std::uint16_t(base + j)});
            lod.indices.insert(lod.indices.end(), {std::uint16_t(base + j), std::uint16_t(base + 3 + i), std::uint16_t(base + 3 + j)});
        }
    }
    lod.vertexCount = std::uint32_t(kBoneCount * 6);
    lod.triangleCount = std::uint32_t(kBoneCount * 6);
    lod.vertexCounts = {lod.vertexCount};
    lod.triangleCounts = {lod.triangleCount};
    lod.uvChannels = {1};
    lod.hasColour = {1};
    m.lods = {lod};
    m.skeleton = SkeletonDesc{};
    for (int b = 0; b < kBoneCount; ++b) {
        m.skeleton.parents.push_back(kBones[b].parent < 0 ? 255 : std::uint8_t(kBones[b].parent));
        m.skeleton.names.push_back(kBones[b].name);
        Matrix16 bind = Identity16();
        const Vec h = Head(b);
        bind[12] = h.x, bind[13] = h.y, bind[14] = h.z;
        m.skeleton.bind.push_back(bind);
    }
    m.skeleton.sets = {{animationName, 0, {}}};
    m.bounds = {0.0f, 1.0f, 0.0f, 0.6f, 1.0f, 0.3f, 1.2f};
    files.mesh = WriteMom(m);

    SkelAnimFileDesc anim;
    anim.version = 0x40003;
    anim.transitionFlag = 1;
    anim.records.push_back(Record("walk", 1, [](int b, int k, float&, float&) {
        const float phase = 6.2831853f * float(k) / float(kKeys - 1);
        const std::string n = kBones[b].name;
        if (n == "LThigh" || n == "RUpperArm") return 0.5f * std::sin(phase);
        if (n == "RThigh" || n == "LUpperArm") return -0.5f * std::sin(phase);
        if (n == "LShin" || n == "RShin") return 0.3f * (1.0f - std::cos(phase));
        return 0.0f;
    }));
    anim.records.push_back(Record("wave", 1, [](int b, int k, float& ax, float& az) {
        const std::string n = kBones[b].name;
        ax = 0.0f, az = 1.0f;
        if (n == "RUpperArm") return -1.2f;
        if (n == "RForearm") return -0.6f + 0.4f * std::sin(6.2831853f * float(k) / float(kKeys - 1));
        return 0.0f;
    }));
    anim.records[0].events = {{0, "morph: left"}, {2, "step_left"}, {4, "morph: right"}, {6, "step_right"}};
    anim.records[1].events = {{0, "wave_start"}, {4, "wave_peak"}};
    for (SkelAnimRecordDesc& r : anim.records) r.transitions = {{16, 200.0f, 1}, {16, 200.0f, 1}};
    files.animation = WriteSkelAnimFile(anim);

    AgsDesc ags;
    ags.groups = {{"walk_wave", {{"walk", {{"Priority", "0"}}}, {"wave", {{"Priority", "1"}}}}}};
    ags.sequences = {{"greet", {{"walk", {{"Duration", "400"}}}, {"wave", {{"Duration", "-0.0002"}}}}}};
    files.ags = WriteAgs(ags);

    std::vector<std::pair<std::string, std::string>> upper, nether;
    int u = 0, l = 0;
    for (int b = 0; b < kBoneCount; ++b) {
        const std::string n = kBones[b].name;
        const bool lower = n == "Pelvis" || n.find("Thigh") != std::string::npos || n.find("Shin") != std::string::npos ||
                           n.find("Foot") != std::string::npos;
        if (lower) nether.push_back({std::to_string(l++), n});
        else upper.push_back({std::to_string(u++), n});
    }
    files.split = WriteBodySplitIni(upper, nether);
    return files;
}

}  // namespace quor::test
