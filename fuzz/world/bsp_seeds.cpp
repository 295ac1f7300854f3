// Seeds of bsp_fuzz: one compiled room with a ramp in every section layout, each behind the
// version byte that picks its layout. Every seed must load, or the corpus step fails.
#include <cstdio>
#include <string>

#include "fuzz/Seeds.h"
#include "tests/support/world/BspFileWriter.h"
#include "world/core/BSPTree.h"

bool WriteSeeds() {
    using quor::Vec3;
    const float h = 5.0f;
    std::vector<quor::world::BspPolygon> polys;
    const Vec3 floor[4] = {{-h, 0, -h}, {-h, 0, h}, {h, 0, h}, {h, 0, -h}};
    const Vec3 wall[4] = {{h, 0, -h}, {h, 0, h}, {h, h, h}, {h, h, -h}};
    const Vec3 ramp[3] = {{0, 0, -1}, {0, 0, 1}, {3, 2, 0}};
    polys.push_back(quor::test::MakeBspPolygon(floor, true, 1));
    polys.push_back(quor::test::MakeBspPolygon(wall, true, 2));
    polys.push_back(quor::test::MakeBspPolygon(ramp, false, 3));
    const quor::test::BspTreeDesc tree = quor::test::CompileBsp(polys, 1);
    const std::uint32_t versions[] = {0x10002, 0x10003, 0x10005, 0x10006, 0x10007, 0x10021, 0x10022, 0x10025};
    bool allLoad = true;
    for (std::uint8_t i = 0; i < 8; ++i) {
        std::vector<std::uint8_t> bytes{i};
        const std::vector<std::uint8_t> section = quor::test::WriteBspSection(tree, versions[i]);
        bytes.insert(bytes.end(), section.begin(), section.end());
        quor::world::BSPTree check;
        if (check.Read(section.data(), section.size(), versions[i]) != section.size()) {
            std::fprintf(stderr, "bsp seed %u does not load\n", unsigned(i));
            allLoad = false;
        }
        quor::seeds::Seed("layout" + std::to_string(i) + ".bin", bytes);
    }
    return allLoad;
}
