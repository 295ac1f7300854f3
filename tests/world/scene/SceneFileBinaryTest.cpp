// The binary scene file: one description written at every version gate and just below it,
// the edge cases of the format, and damaged files that must change nothing in the scene.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/host/FlatTerrain.h"
#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/BinarySceneWriter.h"
#include "tests/support/world/BspFileWriter.h"
#include "tests/support/world/DemoGarden.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/DemoYard.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/TrackFileWriter.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Light.h"
#include "world/core/LodGroup.h"
#include "world/core/VisibleObject.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/Scene3D.h"
#include "world/scene/SceneFileReader.h"

namespace quor::world {
namespace {

using test::BinarySceneDesc;
using test::BinarySceneObject;

constexpr std::uint32_t kFailed = 0xFFFFFFFFu;

BinarySceneObject Object(const std::string& name, std::uint32_t flag = 0x2, std::uint32_t file = 0) {
    BinarySceneObject o;
    o.name = name;
    o.flag = flag;
    o.fileIndex = file;
    return o;
}

test::BspTreeDesc SmallTree() {
    const Vec3 a[3] = {{0, 0, 0}, {0, 0, 10}, {10, 0, 0}};
    const Vec3 b[4] = {{0, 0, 5}, {10, 0, 5}, {10, 10, 5}, {0, 10, 5}};
    const Vec3 c[3] = {{5, 0, 0}, {5, 10, 0}, {5, 0, 10}};
    return test::CompileBsp({test::MakeBspPolygon(a, false, 1), test::MakeBspPolygon(b, true, 2),
                             test::MakeBspPolygon(c, false, 3)},
                            7);
}

// A scene using every section; what a version does not store is left out by the writer.
BinarySceneDesc Everything(std::uint32_t version) {
    BinarySceneDesc d;
    d.version = version;
    d.zNear = 2.0f, d.zFar = 500.0f;
    d.ambient = 0xFF102030u;
    test::BinarySceneLight sun;
    sun.name = "Sun";
    sun.type = 2;
    sun.diffuse = 0xFFFF0000u;
    sun.innerDegrees = 90.0f;
    sun.diffuseKeys = {{0.0f, {0, 1, 0, 1}}, {4.0f, {0, 0, 1, 1}}};
    d.lights = {sun};
    d.fogMode = 3, d.fogType = 0, d.fogColor = 0x80FF0000u, d.fogStart = 10.5f;
    d.background = "sky.dds";
    d.terrain = "flat.ter";
    for (int i = 0; i < 10; ++i) d.terrainLods[std::size_t(i)] = float(10 * (i + 1));
    d.files = {"box.mom", "sky.mom"};
    d.objects = {Object("Stone", 0x2 | 0x10 | 0x4000), Object("Marker", 0x200), Object("Copy", 0x2),
                 Object("Hidden", 0x3), Object("Sky", 0x20000, 1)};
    d.objects[0].strings = {"tall", std::string(300, 'w')};
    d.objects[0].billboard = 2;
    d.objects[0].position = {1, 2, 3};
    d.objects[2].cloneId = 1;
    d.groups = {{"Hedge", {1, 2, 3, 99}}};
    test::BinarySceneLodGroup lod;
    lod.name = "Near";
    lod.distances[1] = 15.0f;
    lod.meshLevels[1] = 4;
    lod.members = {1, 3};
    d.lodGroups = {lod};
    d.trackFiles = {"path.trk"};
    d.tracks = {{0, "Path", {}}};
    d.tracks[0].base = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 0, 0, 1};
    d.bsp = test::WriteBspSection(SmallTree(), version);
    return d;
}

class SceneFileBinaryTest : public ::testing::Test {
protected:
    SceneFileBinaryTest() {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        files->AddFile("box.mom", test::WriteMom(test::DemoDefaultBox()));
        files->AddFile("sky.mom", test::WriteMom(test::DemoDefaultBox()));
        files->AddFile("flat.ter", "flat 50 2\n");
        files->AddFile("path.trk", test::WriteTrackFile(test::MakeTrackFile(3, 1)));
    }
    ~SceneFileBinaryTest() override { Drop(); }

    void Drop() {
        if (!scene) return;
        scene->BeginDestroy();
        delete scene;
        scene = nullptr;
    }
    bool Load(const std::vector<std::uint8_t>& bytes) {
        files->AddFile("main.scn", bytes);
        Drop();
        fx.capture.Clear();
        scene = new Scene3D();
        return scene->Load("main.scn");
    }
    bool Load(const BinarySceneDesc& d) { return Load(test::WriteBinaryScene(d)); }
    bool Logged(const std::string& text) const { return fx.capture.Contains(text); }
    std::string Log() const { return fx.capture.Joined(); }
    VisibleObject* Named(const char* name) {
        VisibleObject* found = nullptr;
        Walk(scene->GetRootObject(), name, found);
        return found;
    }
    void Walk(SpaceObject* o, const char* name, VisibleObject*& out) {
        for (int i = 0; i < o->GetChildCount(); ++i) {
            auto* c = static_cast<SpaceObject*>(o->GetChild(i));
            if (c->IsVisibleObject() && std::strcmp(static_cast<VisibleObject*>(c)->GetShortName(), name) == 0)
                out = static_cast<VisibleObject*>(c);
            Walk(c, name, out);
        }
    }
    // Nothing of the file reached the scene.
    void ExpectNothingBuilt() {
        EXPECT_EQ(scene->GetRootObject()->GetChildCount(), 0);
        EXPECT_EQ(scene->GetLightCount(), 0);
        EXPECT_EQ(scene->GetTerrainObject(), nullptr);
        EXPECT_EQ(scene->GetLodGroupCount(), 0);
        EXPECT_EQ(scene->GetTrackCount(), 0);
        EXPECT_FALSE(scene->GetBSPTreeObject()->HasTree());
        EXPECT_EQ(scene->GetProgress(), kFailed);
    }

    test::WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    Scene3D* scene = nullptr;
};

TEST_F(SceneFileBinaryTest, EveryVersionGateReadsWhatItsVersionStores) {
    const std::uint32_t versions[] = {0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005, 0x10006, 0x10007,
                                      0x10008, 0x10009, 0x1000A, 0x1000F, 0x10010, 0x10011, 0x10012, 0x10013,
                                      0x10014, 0x10015, 0x10017, 0x10018, 0x10019, 0x1001F, 0x10020, 0x10021,
                                      0x10022, 0x10023, 0x10024, 0x10025};
    for (std::uint32_t v : versions) {
        SCOPED_TRACE(::testing::Message() << std::hex << v);
        ASSERT_TRUE(Load(Everything(v))) << Log();
        EXPECT_EQ(scene->GetFileVersion(), v);
        EXPECT_EQ(scene->GetProgress(), 0u);
        float zNear = 0, zFar = 0;
        scene->GetDefaultZRange(&zNear, &zFar);
        EXPECT_EQ(zFar, v >= 0x10009 ? 500.0f : 10000.0f);
        // Lights: none at 0x10004; the older record's colour words, the newer record's keys.
        ASSERT_EQ(scene->GetLightCount(), v > 0x10004 ? 1 : 0);
        std::uint32_t ambient = 0;
        std::memcpy(&ambient, scene->GetAmbientColor(), 4);
        if (v > 0x10004) {
            EXPECT_EQ(ambient, 0xFF102030u);
            Light* light = scene->GetLight(0);
            EXPECT_STREQ(light->GetName(), "Sun");
            Vec4 c;
            light->GetColorA(0.0f, c);
            EXPECT_EQ(c.x, v >= 0x10025 ? 0.0f : 1.0f);
            EXPECT_EQ(c.y, v >= 0x10025 ? 1.0f : 0.0f);
        }
        // Fog: none before the base info; the older numbering below 0x10015.
        const FogRecord& fog = scene->GetFogRecord();
        if (v >= 0x10004) {
            EXPECT_EQ(fog.mode, v < 0x10015 ? 4 : 3);
            EXPECT_EQ(fog.type, v < 0x10015 ? 2 : 0);
            EXPECT_EQ(fog.start, 10.5f);
        }
        EXPECT_STREQ(scene->GetBackground(), v >= 0x1000A ? "sky.dds" : "");
        auto* terrain = static_cast<host::FlatTerrain*>(scene->GetTerrainObject());
        ASSERT_EQ(terrain != nullptr, v >= 0x10012);
        if (terrain) {
            EXPECT_EQ(terrain->lodDistances[9], v >= 0x10023 ? 100.0f : 0.0f);
        }

        // Objects: ids and clones from 0x10002, strings from 0x10001.
        VisibleObject* stone = Named("Stone");
        ASSERT_NE(stone, nullptr);
        EXPECT_EQ(stone->GetStringCount(), v >= 0x10001 ? 2 : 0);
        if (v >= 0x10001) {
            EXPECT_EQ(std::string(stone->GetString(1)), std::string(300, 'w'));
        }
        EXPECT_EQ(stone->GetUserInt2(), v >= 0x10002 ? 2 : 0);
        EXPECT_EQ(stone->GetUserInt() & 0x4000, v >= 0x10010 && v < 0x10022 ? 0 : 0x4000);
        EXPECT_EQ(*stone->GetPosition(), (Vec3{1, 2, 3}));
        EXPECT_EQ(Named("Marker"), nullptr);
        ASSERT_NE(Named("Copy"), nullptr);
        EXPECT_TRUE(Logged(v >= 0x10002 ? "cloned: 1, collider: 1, helper: 1, hidden: 1"
                                        : "cloned: 0, collider: 1, helper: 1, hidden: 1"))
            << Log();
        EXPECT_FALSE(Named("Hidden")->IsVisible());
        ASSERT_NE(Named("Sky"), nullptr);
        // Ids 1, 3 and 4 are objects; 2 the helper, 99 nothing.
        EXPECT_EQ(scene->CountNamedObjects("Hedge"), v >= 0x10019 ? 2 : 0);
        ASSERT_EQ(scene->GetLodGroupCount(), v >= 0x10018 ? 1 : 0);
        if (v >= 0x10018) {
            std::int32_t mesh = 0, material = 0;
            EXPECT_EQ(scene->GetLodGroup(0)->GetLevel(1, &mesh, &material), 15.0f);
            EXPECT_EQ(mesh, v >= 0x10021 ? 4 : 0);
            EXPECT_EQ(scene->GetLodGroupObject(0)->Members().size(), 2u);
        }
        ASSERT_EQ(scene->GetTrackCount(), v >= 0x10020 ? 1 : 0);
        EXPECT_EQ(scene->GetBSPTreeObject()->Polygons().size(), 3u);
        EXPECT_TRUE(Logged("Time taken by loading bsp: "));
    }
}

TEST_F(SceneFileBinaryTest, EdgeCasesOfTheFormat) {
    // Too new.
    BinarySceneDesc d = Everything(0x10025);
    d.version = 0x10026;
    EXPECT_FALSE(Load(d));
    EXPECT_TRUE(Logged("Scene file main.scn version 10026 is too new to read!")) << Log();
    ExpectNothingBuilt();

    // 0x10004: the fog record only; the ambient colour keeps its value.
    d = Everything(0x10004);
    ASSERT_TRUE(Load(d)) << Log();
    EXPECT_EQ(scene->GetLightCount(), 0);
    std::uint32_t ambient = 0;
    std::memcpy(&ambient, scene->GetAmbientColor(), 4);
    EXPECT_NE(ambient, 0xFF102030u);

    // 0x10014: stored fog 0, 0 loads as mode 1, type 2.
    d = Everything(0x10014);
    d.fogMode = 0, d.fogType = 0;
    ASSERT_TRUE(Load(d)) << Log();
    EXPECT_EQ(scene->GetFogRecord().mode, 1);
    EXPECT_EQ(scene->GetFogRecord().type, 2);

    // An empty terrain name stores no distances even at 0x10023.
    d = Everything(0x10023);
    d.terrain.clear();
    ASSERT_TRUE(Load(d)) << Log();
    EXPECT_EQ(scene->GetTerrainObject(), nullptr);
    EXPECT_EQ(scene->GetBSPTreeObject()->Polygons().size(), 3u);

    // Far not beyond near: 1 and 10000; the old light record's angle uses 3.14.
    d = Everything(0x10024);
    d.zNear = 50.0f, d.zFar = 50.0f;
    ASSERT_TRUE(Load(d)) << Log();
    float zNear = 0, zFar = 0;
    scene->GetDefaultZRange(&zNear, &zFar);
    EXPECT_EQ(zNear, 1.0f);
    EXPECT_EQ(zFar, 10000.0f);

    // A helper takes no id: a clone of its id fails like any clone that cannot be made.
    d = Everything(0x10025);
    d.objects[2].cloneId = 2;
    EXPECT_FALSE(Load(d));
    EXPECT_TRUE(Logged("Failed to clone model 2 (file: box.mom)!")) << Log();
    EXPECT_EQ(scene->GetProgress(), kFailed);
}

TEST_F(SceneFileBinaryTest, FailingObjectsAndSectionsSayWhy) {
    struct Case {
        const char* what;
        void (*change)(BinarySceneDesc&);
        const char* message;
    };
    const Case cases[] = {
        {"model without file or source", [](BinarySceneDesc& d) { d.files[0].clear(); }, "Failed to load model file !"},
        {"model file missing", [](BinarySceneDesc& d) { d.files[0] = "gone.mom"; }, "Failed to load model file gone.mom!"},
        {"clone of a sky",
         [](BinarySceneDesc& d) {
             d.objects = {Object("Sky", 0x20000, 1), Object("Copy")};
             d.objects[1].cloneId = 1;
         },
         "Failed to clone model 1 (file: box.mom)!"},
        {"sky missing", [](BinarySceneDesc& d) { d.files[1] = "nosky.mom"; }, "Failed to load sky-object file nosky.mom!"},
        {"fx missing", [](BinarySceneDesc& d) { d.objects.push_back(Object("Fx", 0x20, 1)); }, "Failed to load fx file sky.mom!"},
        {"unknown flag", [](BinarySceneDesc& d) { d.objects.push_back(Object("X", 0x10)); }, "Unknown scene object, flag 16"},
        {"file index out of the table", [](BinarySceneDesc& d) { d.objects[1].fileIndex = 2; }, "names file 2 of a table of 2!"},
        {"terrain missing", [](BinarySceneDesc& d) { d.terrain = "none.ter"; }, "Unable to load terrain"},
        {"track missing", [](BinarySceneDesc& d) { d.trackFiles[0] = "gone.trk"; }, "Failed to load tracks!"},
        {"a 300-byte name", [](BinarySceneDesc& d) { d.objects[0].name = std::string(300, 'n'); },
         "an object name is 300 bytes long (at most 259)!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BinarySceneDesc d = Everything(0x10025);
        c.change(d);
        EXPECT_FALSE(Load(d));
        EXPECT_EQ(scene->GetProgress(), kFailed);
        EXPECT_TRUE(Logged(c.message)) << Log();
    }
    // A damaged sound section is refused with the file; one the scene cannot apply is not.
    BinarySceneDesc d = Everything(0x10016);
    d.speakers = {"voice.wav"};
    ASSERT_TRUE(Load(d)) << Log();
}

TEST_F(SceneFileBinaryTest, DamagedFilesChangeNothing) {
    for (std::uint32_t v : {0x10025u, 0x10014u, 0x1000Bu}) {
        SCOPED_TRACE(::testing::Message() << std::hex << v);
        const std::vector<std::uint8_t> whole = test::WriteBinaryScene(Everything(v));
        const std::size_t bsp = whole.size() - test::WriteBspSection(SmallTree(), v).size();
        // Every prefix that cuts a section before the tree's count is refused; one that cuts the
        // tree's records loads without a tree, with the tree's error line.
        for (std::size_t n = 0; n < whole.size(); ++n) {
            const bool loaded = Load(std::vector<std::uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(n)));
            ASSERT_EQ(loaded, n >= bsp + 4) << n << Log();
            if (loaded) {
                EXPECT_TRUE(Logged("Failed to read the collision tree")) << n;
                EXPECT_FALSE(scene->GetBSPTreeObject()->HasTree());
            } else {
                EXPECT_TRUE(Logged(n < 4 ? "xml format error" : "does not fit the file")) << n << Log();
                ExpectNothingBuilt();
            }
        }
        // Every word set to a huge count: refused or read, never out of bounds.
        for (std::size_t at = 8; at + 4 <= bsp; at += 4) {
            std::vector<std::uint8_t> bad = whole;
            std::memset(bad.data() + at, 0x7F, 4);
            if (!Load(bad)) {
                EXPECT_FALSE(fx.capture.Lines().empty()) << at;
            }
        }
    }
    // Wrong magic: the text form's parser refuses it.
    std::vector<std::uint8_t> bad = test::WriteBinaryScene(Everything(0x10025));
    bad[0] = 'X';
    EXPECT_FALSE(Load(bad));
    ExpectNothingBuilt();
}

TEST_F(SceneFileBinaryTest, TheDemoYardLoadsAtBothVersions) {
    for (const auto& [path, bytes] : test::DemoGardenFiles()) files->AddFile(path, bytes);
    const std::size_t polygons = test::DemoYardPolygons().size();
    for (const auto& [path, bytes] : test::DemoYardFiles()) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(Load(bytes)) << Log();
        EXPECT_EQ(scene->GetBSPTreeObject()->Polygons().size(), polygons);
        EXPECT_NE(scene->GetTerrainObject(), nullptr);
        ASSERT_NE(Named("Crate"), nullptr);
        // Straight down onto the ramp (user value 3), whose top is 1.5 high there.
        float t = 0.0f;
        ASSERT_TRUE(scene->GetBSPTree()->RayCast(Ray{{9, 10, 0.5f}, {0, -20, 0}}, &t, 0, 0, false));
        EXPECT_NEAR(t, 0.425f, 1e-4f);
        EXPECT_EQ(scene->GetBSPTree()->GetHitUserValue(0), 3);
    }
}

}  // namespace
}  // namespace quor::world

namespace quor::world {
namespace {

// A clone shares its source's mesh, which holds the transparency: the clone's own flag
// changes nothing of its source's.
TEST_F(SceneFileBinaryTest, AClonesFlagLeavesItsSourcesTransparency) {
    struct Case {
        std::uint32_t source, clone;
    };
    for (const Case c : {Case{0x2 | 0x1000, 0x2}, Case{0x2, 0x2 | 0x1000}}) {
        SCOPED_TRACE(c.source);
        BinarySceneDesc d;
        d.version = 0x10025;
        d.files = {"box.mom"};
        d.objects = {Object("Glass", c.source), Object("Copy", c.clone)};
        d.objects[1].cloneId = 1;
        ASSERT_TRUE(Load(d)) << Log();
        auto* source = static_cast<ModelBase*>(Named("Glass"));
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->IsTransparent(), (c.source & 0x1000) != 0);
    }
}

}  // namespace
}  // namespace quor::world
