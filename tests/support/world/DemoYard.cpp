#include "tests/support/world/DemoYard.h"
#include <cstdio>

#include "tests/support/world/BinarySceneWriter.h"
#include "tests/support/world/BspFileWriter.h"

namespace quor::test {

namespace {

constexpr float kHalf = 20.0f;    // the yard spans -20 to 20 in x and z
constexpr float kWall = 4.0f;     // wall height
constexpr int kGround = 30;       // ground cells per side, two triangles each

// A polygon facing the given way (its vertices reversed when their winding faces the other).
void Add(std::vector<world::BspPolygon>& out, std::vector<Vec3> v, const Vec3& facing, std::int32_t user) {
    world::BspPolygon p = MakeBspPolygon(v.data(), v.size() == 4, user);
    if (Vec3Dot(p.plane.normal, facing) < 0.0f) {
        std::vector<Vec3> r(v.rbegin(), v.rend());
        p = MakeBspPolygon(r.data(), r.size() == 4, user);
    }
    out.push_back(p);
}

// A grid of quads over the parallelogram at o spanned by a (columns) and b (rows).
void Grid(std::vector<world::BspPolygon>& out, const Vec3& o, const Vec3& a, const Vec3& b, int columns, int rows,
          const Vec3& facing, std::int32_t user, bool triangles) {
    for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j) {
            const float u0 = float(i) / float(columns), u1 = float(i + 1) / float(columns);
            const float w0 = float(j) / float(rows), w1 = float(j + 1) / float(rows);
            const Vec3 p00 = o + a * u0 + b * w0, p10 = o + a * u1 + b * w0;
            const Vec3 p11 = o + a * u1 + b * w1, p01 = o + a * u0 + b * w1;
            if (triangles) {
                Add(out, {p00, p10, p11}, facing, user);
                Add(out, {p00, p11, p01}, facing, user);
            } else {
                Add(out, {p00, p10, p11, p01}, facing, user);
            }
        }
}

}  // namespace

std::vector<world::BspPolygon> DemoYardPolygons() {
    std::vector<world::BspPolygon> out;
    const float s = 2.0f * kHalf;
    // Ground (user value 1), facing up.
    Grid(out, {-kHalf, 0, -kHalf}, {s, 0, 0}, {0, 0, s}, kGround, kGround, {0, 1, 0}, 1, true);
    // Walls (2), facing into the yard.
    Grid(out, {-kHalf, 0, -kHalf}, {s, 0, 0}, {0, kWall, 0}, kGround, 4, {0, 0, 1}, 2, false);
    Grid(out, {-kHalf, 0, kHalf}, {s, 0, 0}, {0, kWall, 0}, kGround, 4, {0, 0, -1}, 2, false);
    Grid(out, {-kHalf, 0, -kHalf}, {0, 0, s}, {0, kWall, 0}, kGround, 4, {1, 0, 0}, 2, false);
    Grid(out, {kHalf, 0, -kHalf}, {0, 0, s}, {0, kWall, 0}, kGround, 4, {-1, 0, 0}, 2, false);
    // A ramp (3) rising 3 over 8 towards +x, about 21 degrees, and its far face.
    Grid(out, {5, 0, -4}, {8, 3, 0}, {0, 0, 8}, 8, 8, {-3, 8, 0}, 3, true);
    Add(out, {{13, 0, -4}, {13, 3, -4}, {13, 3, 4}, {13, 0, 4}}, {1, 0, 0}, 3);
    // A pillar (4), 2 x 2 and 4 high, with its top.
    const float px = -8.0f, pz = -8.0f;
    Grid(out, {px - 1, 0, pz - 1}, {2, 0, 0}, {0, kWall, 0}, 2, 4, {0, 0, -1}, 4, false);
    Grid(out, {px - 1, 0, pz + 1}, {2, 0, 0}, {0, kWall, 0}, 2, 4, {0, 0, 1}, 4, false);
    Grid(out, {px - 1, 0, pz - 1}, {0, 0, 2}, {0, kWall, 0}, 2, 4, {-1, 0, 0}, 4, false);
    Grid(out, {px + 1, 0, pz - 1}, {0, 0, 2}, {0, kWall, 0}, 2, 4, {1, 0, 0}, 4, false);
    Add(out, {{px - 1, kWall, pz - 1}, {px + 1, kWall, pz - 1}, {px + 1, kWall, pz + 1}, {px - 1, kWall, pz + 1}},
        {0, 1, 0}, 4);
    return out;
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> DemoYardFiles() {
    const BspTreeDesc tree = CompileBsp(DemoYardPolygons(), 1);
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (std::uint32_t version : {0x10025u, 0x10014u}) {
        BinarySceneDesc d;
        d.version = version;
        d.zNear = 1.0f, d.zFar = 2000.0f;
        BinarySceneLight sun;
        sun.name = "Sun";
        sun.direction = {-0.4f, -0.8f, 0.4f};
        sun.diffuseKeys = {{0.0f, {1.0f, 0.95f, 0.8f, 1.0f}}};
        d.lights = {sun};
        // The stored numbering of the older file puts these at mode 1, type 1.
        if (version < 0x10015) d.fogMode = 0, d.fogType = 0xFFFFFFFFu;
        d.terrain = "scenes/garden.ter";
        for (int i = 0; i < 10; ++i) d.terrainLods[std::size_t(i)] = 100.0f * float(i + 1);
        d.files = {"models/garden_box.mom"};
        BinarySceneObject box;
        box.name = "Crate";
        box.flag = 0x2 | 0x10;
        box.position = {8, 0, 12};
        d.objects = {box};
        d.bsp = WriteBspSection(tree, version);
        char name[40];
        std::snprintf(name, sizeof name, "scenes/yard_%x.scn", version);
        files.emplace_back(name, WriteBinaryScene(d));
    }
    return files;
}

}  // namespace quor::test
