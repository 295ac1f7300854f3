#include "tests/support/world/BspFileWriter.h"

#include <algorithm>
#include <random>

#include "tests/support/world/MeshFileWriter.h"

namespace quor::test {

world::BspPolygon MakeBspPolygon(const Vec3* vertices, bool quad, std::int32_t userValue) {
    world::BspPolygon p;
    p.flags = quad ? world::BspPolygon::kQuad : 0;
    p.userValue = userValue;
    for (int i = 0; i < (quad ? 4 : 3); ++i) p.vertices[i] = vertices[i];
    world::BspPlaneFromVertices(p);
    return p;
}

namespace {

// -1 all behind (or in) the plane, 1 all in front (or in), 2 straddling, 0 in the plane.
int Classify(const world::BspPolygon& splitter, const world::BspPolygon& p) {
    bool front = false, back = false;
    for (int i = 0; i < p.VertexCount(); ++i) {
        const float d = splitter.plane.DistanceTo(p.vertices[i]);
        front = front || d > 0.0f;
        back = back || d < 0.0f;
    }
    if (front && back) return 2;
    if (front) return 1;
    if (back) return -1;
    return 0;
}

}  // namespace

BspTreeDesc CompileBsp(const std::vector<world::BspPolygon>& polygons, std::uint32_t seed) {
    BspTreeDesc tree;
    tree.polygons = polygons;
    if (polygons.empty()) return tree;
    std::mt19937 rng(seed);
    struct Work {
        std::vector<std::int32_t> set;
        std::int32_t parent;
        bool positive;
    };
    std::vector<Work> work;
    Work first{{}, -1, false};
    for (std::size_t i = 0; i < polygons.size(); ++i) first.set.push_back(std::int32_t(i));
    work.push_back(std::move(first));
    while (!work.empty()) {
        Work w = std::move(work.back());
        work.pop_back();
        std::int32_t best = w.set.front();
        long bestScore = -1;
        for (int k = 0; k < 5; ++k) {
            const std::int32_t c = w.set[rng() % w.set.size()];
            long straddle = 0, front = 0, back = 0;
            for (std::size_t j = 0; j < w.set.size(); j += 1 + w.set.size() / 64) {
                const int side = Classify(polygons[std::size_t(c)], polygons[std::size_t(w.set[j])]);
                straddle += side == 2, front += side >= 0, back += side == -1;
            }
            const long score = straddle * 8 + std::abs(front - back);
            if (bestScore < 0 || score < bestScore) best = c, bestScore = score;
        }
        const std::int32_t node = std::int32_t(tree.nodes.size());
        tree.nodes.push_back({best, -1, -1});
        if (w.parent < 0) tree.root = node;
        else if (w.positive) tree.nodes[std::size_t(w.parent)].positive = node;
        else tree.nodes[std::size_t(w.parent)].negative = node;
        Work neg{{}, node, false}, pos{{}, node, true};
        for (std::int32_t j : w.set) {
            if (j == best) continue;
            const int side = Classify(polygons[std::size_t(best)], polygons[std::size_t(j)]);
            if (side == -1 || side == 2) neg.set.push_back(j);
            if (side >= 0) pos.set.push_back(j);
        }
        if (!neg.set.empty()) work.push_back(std::move(neg));
        if (!pos.set.empty()) work.push_back(std::move(pos));
    }
    return tree;
}

std::vector<std::uint8_t> WriteBspSection(const BspTreeDesc& tree, std::uint32_t v) {
    ByteWriter w;
    w.U32(std::uint32_t(tree.polygons.size()));
    if (tree.polygons.empty()) return w.bytes;
    auto vec = [&w](const Vec3& p) { w.F32(p.x), w.F32(p.y), w.F32(p.z); };
    auto plane = [&w, &vec](const Plane& p) { vec(p.normal), w.F32(p.d); };
    for (const world::BspPolygon& p : tree.polygons) {
        if (v < 0x10006) {
            for (const Vec3& x : p.vertices) vec(x);
            if (v >= 0x10003) {
                w.I32(p.userValue);
                w.U32(0xAAAAAAAAu), w.U32(0xBBBBBBBBu), w.U32(0xCCCCCCCCu);
            }
            for (float f : p.vertexValues) w.F32(f);
            plane(p.plane);
            w.U32(p.flags);
            continue;
        }
        if (v == 0x10006) {
            plane(p.plane);
            w.U32(p.flags);
        } else {
            w.U8(std::uint8_t(p.flags));
        }
        if (v >= 0x10022) w.I32(p.userValue);
        for (int i = 0; i < p.VertexCount(); ++i) {
            vec(p.vertices[i]);
            if (v < 0x10022) w.U32(i == 0 ? std::uint32_t(p.userValue) : 0xDDDDDDDDu);
            w.F32(p.vertexValues[i]);
        }
    }
    w.U32(std::uint32_t(tree.nodes.size()));
    for (const world::BspNode& n : tree.nodes) {
        if (v >= 0x10007) {
            std::uint32_t word = std::uint32_t(n.polygon) & 0x3FFFFFFFu;
            if (n.negative != -1) word |= 0x80000000u;
            if (n.positive != -1) word |= 0x40000000u;
            w.U32(word);
            if (n.negative != -1) w.I32(n.negative);
            if (n.positive != -1) w.I32(n.positive);
        } else {
            w.I32(n.polygon), w.I32(n.negative), w.I32(n.positive);
        }
    }
    w.I32(tree.root);
    return w.bytes;
}

std::vector<world::BspPolygon> RandomBspScene(std::uint32_t count, float half, float size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> pos(-half, half), off(-size, size);
    std::vector<world::BspPolygon> out;
    while (out.size() < count) {
        const Vec3 c{pos(rng), pos(rng), pos(rng)};
        const bool quad = rng() % 3 == 0;
        Vec3 v[4];
        if (quad) {
            // A planar parallelogram.
            const Vec3 a{off(rng), off(rng), off(rng)}, b{off(rng), off(rng), off(rng)};
            v[0] = c - a - b, v[1] = c + a - b, v[2] = c + a + b, v[3] = c - a + b;
        } else {
            for (int i = 0; i < 3; ++i) v[i] = c + Vec3{off(rng), off(rng), off(rng)};
        }
        world::BspPolygon p = MakeBspPolygon(v, quad, std::int32_t(rng() % 8));
        if (Vec3LengthSq(p.plane.normal) < 0.5f) continue;
        out.push_back(p);
    }
    return out;
}

}  // namespace quor::test
