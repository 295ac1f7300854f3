#include "tests/support/world/DemoMeshes.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/support/world/MaterialFileWriter.h"

namespace quor::test {

namespace {

// Geometry of one sub-mesh: positions, normals, uvs (one channel) and triangles, indices
// relative to its own first vertex.
struct Part {
    std::vector<float> positions, normals, uvs;
    std::vector<std::uint16_t> indices;
    std::uint32_t Vertices() const { return std::uint32_t(positions.size() / 3); }
    std::uint32_t Triangles() const { return std::uint32_t(indices.size() / 3); }
};

// An axis-aligned box of half size h around c, four vertices a face so each face has its own
// normal and full texture.
Part Box(const float c[3], const float h[3]) {
    Part p;
    static const int axes[6][3] = {{0, 1, 2}, {0, 1, 2}, {1, 2, 0}, {1, 2, 0}, {2, 0, 1}, {2, 0, 1}};
    for (int f = 0; f < 6; ++f) {
        const int n = axes[f][2], u = axes[f][0], v = axes[f][1];
        const float sign = f % 2 ? -1.0f : 1.0f;
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        const std::uint16_t base = std::uint16_t(p.Vertices());
        for (const auto& k : corners) {
            float pos[3];
            pos[n] = c[n] + sign * h[n];
            pos[u] = c[u] + k[0] * h[u] * sign;
            pos[v] = c[v] + k[1] * h[v];
            float nor[3] = {0, 0, 0};
            nor[n] = sign;
            p.positions.insert(p.positions.end(), pos, pos + 3);
            p.normals.insert(p.normals.end(), nor, nor + 3);
            p.uvs.push_back((k[0] + 1) * 0.5f);
            p.uvs.push_back((1 - k[1]) * 0.5f);
        }
        p.indices.insert(p.indices.end(), {base, std::uint16_t(base + 1), std::uint16_t(base + 2), base,
                                           std::uint16_t(base + 2), std::uint16_t(base + 3)});
    }
    return p;
}

// A vertical square facing +z, of half size h, at height y and depth z.
Part Glass(float h, float y, float z) {
    Part p;
    p.positions = {-h, y - h, z, h, y - h, z, h, y + h, z, -h, y + h, z};
    p.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    p.uvs = {0, 1, 1, 1, 1, 0, 0, 0};
    p.indices = {0, 1, 2, 0, 2, 3};
    return p;
}

Bounds7 BoundsOf(const std::vector<float>& positions) {
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (std::size_t i = 0; i + 2 < positions.size(); i += 3)
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], positions[i + std::size_t(k)]);
            hi[k] = std::max(hi[k], positions[i + std::size_t(k)]);
        }
    Bounds7 b{};
    float r2 = 0;
    for (int k = 0; k < 3; ++k) {
        b[std::size_t(k)] = (lo[k] + hi[k]) * 0.5f;
        b[std::size_t(3 + k)] = (hi[k] - lo[k]) * 0.5f;
        r2 += b[std::size_t(3 + k)] * b[std::size_t(3 + k)];
    }
    b[6] = std::sqrt(r2);
    return b;
}

// One LOD of the parts; `frames` copies of the positions, frame f scaled by scales[f].
LodDesc Lod(const std::vector<Part>& parts, const std::vector<float>& scales) {
    LodDesc l;
    std::vector<float> positions, normals, uvs;
    for (const Part& p : parts) {
        l.vertexCounts.push_back(p.Vertices());
        l.triangleCounts.push_back(p.Triangles());
        l.uvChannels.push_back(1);
        l.hasColour.push_back(0);
        for (std::uint16_t i : p.indices) l.indices.push_back(std::uint16_t(l.vertexCount + i));
        l.vertexCount += p.Vertices();
        l.triangleCount += p.Triangles();
        positions.insert(positions.end(), p.positions.begin(), p.positions.end());
        normals.insert(normals.end(), p.normals.begin(), p.normals.end());
        uvs.insert(uvs.end(), p.uvs.begin(), p.uvs.end());
    }
    for (float s : scales) {
        for (std::size_t i = 0; i < positions.size(); ++i) l.positions.push_back(positions[i] * (i % 3 == 1 ? s : 1.0f));
        l.normals.insert(l.normals.end(), normals.begin(), normals.end());
    }
    l.uvs = {uvs};
    return l;
}

}  // namespace

MeshDesc DemoSampleMesh(bool animated) {
    MeshDesc m;
    m.version = 0x30011;
    m.type = animated ? 2 : 0;
    m.sorterType = 3;
    const float c[3] = {0, 0.5f, 0}, h[3] = {0.5f, 0.5f, 0.5f};
    const std::vector<Part> lod0 = {Box(c, h), Glass(0.4f, 0.5f, 0.8f)};
    const float hc[3] = {0, 0.5f, 0}, hh[3] = {0.5f, 0.5f, 0.5f};
    const std::vector<Part> lod1 = {Box(hc, hh), Glass(0.4f, 0.5f, 0.8f)};
    const std::vector<float> scales = animated ? std::vector<float>{1.0f, 1.5f, 1.0f} : std::vector<float>{1.0f};
    m.lods = {Lod(lod0, scales), Lod(lod1, scales)};
    const char* names[2] = {"body", "glass"};
    for (int s = 0; s < 2; ++s) {
        SubMeshDesc sub;
        sub.name = names[s];
        sub.bounds = BoundsOf(lod0[std::size_t(s)].positions);
        sub.uvChannels = 1;
        sub.materialSlot = std::uint32_t(s);
        m.subMeshes.push_back(sub);
    }
    std::vector<float> all;
    for (const Part& p : lod0) all.insert(all.end(), p.positions.begin(), p.positions.end());
    m.bounds = BoundsOf(all);
    if (animated) {
        m.keyTrack = true;
        m.keyTimes = {0, 500, 1000};
        for (float s : scales) {
            std::vector<float> scaled = all;
            for (std::size_t i = 1; i < scaled.size(); i += 3) scaled[i] *= s;
            m.frameBounds.push_back(BoundsOf(scaled));
            for (const Part& p : lod0) {
                std::vector<float> q = p.positions;
                for (std::size_t i = 1; i < q.size(); i += 3) q[i] *= s;
                m.frameBounds.push_back(BoundsOf(q));
            }
        }
    }
    SocketDesc top;
    top.name = "top";
    top.boneName = "root";
    top.bindType = 7;
    top.matrix[13] = 1.2f;
    m.sockets = {top};
    MaterialGroupDesc group = MakeMaterialGroup({"body", "glass"});
    group.slots[0].material.stages = {{0, "Tex0", "models\\sample.png"}};
    group.slots[1].material.stages.clear();
    group.slots[1].material.transparent = true;
    group.slots[1].material.diffuse[3] = 0.5f;
    group.slots[1].material.alpha = 128;
    m.blob = WriteMaterialGroup(group);
    return m;
}

MeshDesc DemoDefaultBox() {
    MeshDesc m;
    m.version = 0x30011;
    const float c[3] = {0, 0.5f, 0}, h[3] = {0.5f, 0.5f, 0.5f};
    const std::vector<Part> parts = {Box(c, h)};
    m.lods = {Lod(parts, {1.0f})};
    SubMeshDesc sub;
    sub.name = "box";
    sub.bounds = BoundsOf(parts[0].positions);
    sub.uvChannels = 1;
    m.subMeshes = {sub};
    m.bounds = sub.bounds;
    MaterialGroupDesc group = MakeMaterialGroup({"box"});
    group.slots[0].material.stages.clear();
    m.blob = WriteMaterialGroup(group);
    return m;
}

MeshDesc DemoGardenSky() {
    MeshDesc m;
    m.version = 0x30011;
    const float c[3] = {0, 0.5f, 0}, h[3] = {0.5f, 0.5f, 0.5f};
    Part sky = Box(c, h);
    // The texture runs from the zenith down to the ground on every face, inside its first and
    // last rows so that a wrapping sample never brings the zenith's blue to the horizon.
    for (std::size_t i = 0; i < sky.Vertices(); ++i) {
        sky.uvs[2 * i] = 0.5f;
        sky.uvs[2 * i + 1] = 0.97f - 0.94f * (sky.positions[3 * i + 1] - (c[1] - h[1])) / (2.0f * h[1]);
    }
    // Seen from inside: every face once more, wound the other way.
    const std::size_t outward = sky.indices.size();
    for (std::size_t i = 0; i < outward; i += 3)
        sky.indices.insert(sky.indices.end(), {sky.indices[i], sky.indices[i + 2], sky.indices[i + 1]});
    const std::vector<Part> parts = {sky};
    m.lods = {Lod(parts, {1.0f})};
    SubMeshDesc sub;
    sub.name = "sky";
    sub.bounds = BoundsOf(sky.positions);
    sub.uvChannels = 1;
    m.subMeshes = {sub};
    m.bounds = sub.bounds;
    MaterialGroupDesc group = MakeMaterialGroup({"sky"});
    group.slots[0].material.stages = {{0, "Tex0", "models\\garden_sky.tga"}};
    // The sky shows its own colours, whatever the lights.
    group.slots[0].material.lit = false;
    m.blob = WriteMaterialGroup(group);
    return m;
}

MeshDesc SquareMesh(std::uint16_t type) {
    MeshDesc m = MakeMesh(0x30011, type, 1, 1);
    LodDesc lod = MakeLod({4}, {2}, 1, false, type == 2 ? 3 : 1, 0);
    const float corners[12] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    for (std::size_t f = 0; f < lod.positions.size() / 12; ++f)
        std::copy(corners, corners + 12, lod.positions.begin() + long(f * 12));
    lod.indices = {0, 1, 2, 0, 2, 3};
    m.lods = {lod};
    m.sockets[0].name = "top";
    m.sockets[0].objectFile.clear();
    m.subMeshes[0].name = "body";
    m.subMeshes[0].extraName.clear();
    m.subMeshes[0].materialSlot = 0;
    MaterialGroupDesc group = MakeMaterialGroup({"body"});
    for (MaterialSlotDesc& slot : group.slots) slot.material.stages.clear();
    m.blob = WriteMaterialGroup(group);
    return m;
}

}  // namespace quor::test
