// Seeds of scenebin_fuzz: one scene using every section written at the versions where the
// layout changes, each with a collision tree. Every seed must load, or the corpus step fails.
#include <cstdio>
#include <string>

#include "fuzz/Seeds.h"
#include "fuzz/world/SceneHost.h"
#include "tests/support/world/BinarySceneWriter.h"
#include "tests/support/world/BspFileWriter.h"

bool WriteSeeds() {
    using namespace quor::test;
    const quor::Vec3 floor[4] = {{-5, 0, -5}, {-5, 0, 5}, {5, 0, 5}, {5, 0, -5}};
    const quor::Vec3 ramp[3] = {{0, 0, -1}, {0, 0, 1}, {3, 2, 0}};
    const BspTreeDesc tree = CompileBsp({MakeBspPolygon(floor, true, 1), MakeBspPolygon(ramp, false, 2)}, 1);
    bool ok = true;
    for (std::uint32_t v : {0x10001u, 0x10004u, 0x1000Au, 0x10014u, 0x10019u, 0x10021u, 0x10024u, 0x10025u}) {
        BinarySceneDesc d;
        d.version = v;
        BinarySceneLight light;
        light.name = "Sun";
        light.diffuseKeys = {{0.0f, {1, 1, 1, 1}}};
        d.lights = {light};
        d.terrain = "flat.ter";
        d.files = {"box.mom", "sky.mom"};
        BinarySceneObject box, helper, copy, sky;
        box.name = "Box";
        box.strings = {"a"};
        helper.flag = 0x200;
        copy.flag = 0x2;
        copy.cloneId = 1;
        sky.flag = 0x20000;
        sky.fileIndex = 1;
        d.objects = {box, helper, copy, sky};
        d.groups = {{"G", {1, 3}}};
        d.lodGroups = {BinarySceneLodGroup{}};
        d.lodGroups[0].members = {1};
        d.bsp = WriteBspSection(tree, v);
        const std::vector<std::uint8_t> bytes = WriteBinaryScene(d);
        char name[32];
        std::snprintf(name, sizeof name, "scene_%x.scn", v);
        if (!quor::fuzz::LoadSceneBytes(bytes.data(), bytes.size(), name)) {
            std::fprintf(stderr, "binary scene seed %s does not load\n", name);
            ok = false;
        }
        quor::seeds::Seed(name, bytes);
    }
    return ok;
}
