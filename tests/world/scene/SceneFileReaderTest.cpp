#include "world/scene/SceneFileReader.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/host/ICollisionOwner.h"

#include "platform/host/FlatTerrain.h"
#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/DemoGarden.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/SceneFileWriter.h"
#include "tests/support/world/TrackFileWriter.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Light.h"
#include "world/core/LodGroup.h"
#include "world/core/track/ITrack.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/Scene3D.h"
#include "world/scene/SceneAudio.h"
#include "world/scene/SceneRegistry.h"
#include "world/scene/World.h"
#include "world/scene/SkyObject.h"

namespace quor::world {
namespace {

using test::SceneEntryDesc;
using test::SceneFileDesc;
using test::SceneLightDesc;
using test::SceneObjectDesc;

constexpr std::uint32_t kFailed = 0xFFFFFFFFu;

SceneObjectDesc Box(const std::string& name, unsigned flag = 0x2, int fileIndex = 0) {
    SceneObjectDesc o;
    o.name = name;
    o.flag = flag;
    o.fileIndex = fileIndex;
    return o;
}

SceneObjectDesc CloneOf(int origin, const std::string& name, unsigned flag = 0x2) {
    SceneObjectDesc o = Box(name, flag);
    o.origin = origin;
    return o;
}

// A scene with nothing but its globals and the box file in its table.
SceneFileDesc Minimal() {
    SceneFileDesc d;
    d.files = {"box.mom"};
    return d;
}

// The world bound to the reference host (memory files, terrain module published and reading
// the same files), with a box mesh and the default box in place; each Load makes a fresh 3D
// scene.
class SceneFileReaderTest : public ::testing::Test {
protected:
    SceneFileReaderTest() {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        files->AddFile("box.mom", test::WriteMom(test::DemoDefaultBox()));
        files->AddFile("defualt_models/box.mom", test::WriteMom(test::DemoDefaultBox()));
    }
    ~SceneFileReaderTest() override { Drop(); }

    void Drop() {
        if (!scene) return;
        scene->BeginDestroy();
        delete scene;
        scene = nullptr;
    }
    bool Load(const std::string& text, const char* name = "main.scn") {
        files->AddFile(name, text);
        return LoadFile(name);
    }
    bool Load(const SceneFileDesc& desc) { return Load(test::WriteSceneXml(desc)); }
    bool LoadFile(const char* name) {
        Drop();
        fx.capture.Clear();
        scene = new Scene3D();
        return scene->Load(name);
    }
    bool Logged(const std::string& text) const { return fx.capture.Contains(text); }
    std::string Log() const { return fx.capture.Joined(); }
    // The scene's object of that short name (models, effects and skies are visible objects).
    VisibleObject* Named(const char* name) {
        std::vector<VisibleObject*> found;
        Walk(scene->GetRootObject(), name, found);
        return found.size() == 1 ? found[0] : nullptr;
    }
    void Walk(SpaceObject* o, const char* name, std::vector<VisibleObject*>& out) {
        for (int i = 0; i < o->GetChildCount(); ++i) {
            auto* c = static_cast<SpaceObject*>(o->GetChild(i));
            if (c->IsVisibleObject()) {
                auto* v = static_cast<VisibleObject*>(c);
                if (std::strcmp(v->GetShortName(), name) == 0) out.push_back(v);
            }
            Walk(c, name, out);
        }
    }

    test::WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    Scene3D* scene = nullptr;
};

TEST_F(SceneFileReaderTest, AFileUsingEverySectionLoadsItAll) {
    files->AddFile("sky.mom", test::WriteMom(test::DemoDefaultBox()));
    files->AddFile("flat.ter", "flat 50 2\n");
    files->AddFile("path.trk", test::WriteTrackFile(test::MakeTrackFile(3, 1)));
    SceneFileDesc d;
    d.ambientColor = 0xFF102030;
    d.fog = true;
    d.fogMode = 3;
    d.fogColor = 0x80FF0000;
    d.fogStart = 10.5f;
    d.fogEnd = 99.9f;
    d.minZ = 2.0f;
    d.maxZ = 500.0f;
    SceneLightDesc sun;
    sun.name = "Sun";
    sun.diffuse = {{0.0f, {1, 0, 0, 1}}, {4.0f, {0, 0, 1, 1}}};
    sun.specular = {{0.0f, {0.5f, 0.5f, 0.5f, 1}}};
    d.lights.push_back(sun);
    d.files = {"box.mom", "missing.fx", "sky.mom"};
    d.terrain = "flat.ter";
    d.terrainLods = {10.0f, 20.0f};
    d.models = {Box("Stone", 0x2 | 0x1000), Box("Marker", 0x200), CloneOf(0, "StoneCopy", 0x2 | 0x2000),
                Box("Hidden", 0x3), Box("Lost", 0x2, -1), Box("Post", 0x12)};
    d.models.back().attributes = {"tall", "wooden"};
    d.models.back().billboard = 2;
    d.models.back().position = {1, 2, 3};
    d.models.back().scale = {2, 2, 2};
    d.models.back().lightmaps = {{0, "lm.png", "lightmap.fx::lit"}, {-1, "x.png", "x.fx"}, {7, "y.png", "y.fx"}};
    d.fxes = {Box("Smoke", 0x20, 1)};
    d.skies = {Box("Sky", 0x20000, 2)};
    d.groups = {{"Hedge", {{0, 0}, {0, 1}, {0, 3}, {1, 0}, {2, 0}, {0, 99}, {5, 0}}}};
    d.lodGroups = {{"Near", {{0, 0, 0}, {15, 1, 2}, {60, 3, 4}}, {{0, 0}, {0, 1}, {0, 2}}}};
    d.trackFiles = {"path.trk"};
    d.tracks = {{0, "Path", test::IdentityMatrix16()}};
    d.tracks[0].baseMatrix[12] = 7.0f;
    d.presetCameras = {{"Gate", test::LookAtTransform({0, 5, -20}, {0, 0, 0})}};
    d.layers = {{1, "Pond", "pond.scn"}};
    d.grasses = {{"grass.png", {1, 0, 1}, 2.0f, 1.0f, 1.0f, 0.5f, 0, true}};
    files->AddFile("shrubs.ini",
                   "[Row]\r\nTexName=leaf.png\r\nCrossNum=2\r\nArrayNum=2\r\n"
                   "Data0=(1.000,0.000,2.000,0.500,1.000,1.000,1.000,1.000,1.000)\r\n"
                   "Data1=(3.000,0.000,2.000,0.500,1.000,1.000,1.000,1.000,1.000)\r\n"
                   "[Crowd]\r\nTexName=leaf.png\r\nCrossNum=2\r\nArrayNum=300\r\n");
    // Loaded; refused counts, a missing section and a missing file keep nothing.
    d.crossTextures = {{"Hedge", "shrubs.ini", "Row"}, {"Crowd", "shrubs.ini", ""}, {"Row2", "shrubs.ini", "None"},
                       {"Lost", "lost.ini", "Row"}};
    d.audio = true;
    SceneFileDesc pond;
    pond.ambientColor = 0xFFFFFFFF;  // not read: globals belong to the main file
    SceneLightDesc glow;
    glow.name = "Glow";
    glow.type = 1;
    pond.lights.push_back(glow);
    pond.files = {"box.mom"};
    pond.models = {Box("PondStone")};
    files->AddFile("pond.scn", test::WriteSceneXml(pond));

    ASSERT_TRUE(Load(d)) << Log();
    EXPECT_EQ(scene->GetProgress(), 0u);

    // Globals.
    std::uint32_t ambient = 0;
    std::memcpy(&ambient, scene->GetAmbientColor(), 4);
    EXPECT_EQ(ambient, 0xFF102030u);
    const FogRecord& fog = scene->GetFogRecord();
    EXPECT_EQ(fog.mode, 3);
    EXPECT_FLOAT_EQ(fog.start, 10.5f);
    EXPECT_FLOAT_EQ(fog.end, 99.9f);
    const GrassMgr& grass = scene->Grasses();
    EXPECT_TRUE(grass.FogEnabled());
    EXPECT_EQ(grass.FogStart(), 10);
    EXPECT_EQ(grass.FogEnd(), 99);
    EXPECT_FLOAT_EQ(grass.FogColour()[0], 1.0f);
    EXPECT_FLOAT_EQ(grass.FogColour()[1], 0.0f);
    EXPECT_FLOAT_EQ(grass.FogColour()[3], 128.0f / 255.0f);
    float zNear = 0, zFar = 0;
    scene->GetDefaultZRange(&zNear, &zFar);
    EXPECT_EQ(zNear, 2.0f);
    EXPECT_EQ(zFar, 500.0f);

    // Lights of both files, each carrying its layer id.
    std::vector<std::string> lights;
    for (int i = 0; i < scene->GetLightCount(); ++i) {
        Light* l = scene->GetLight(std::uint32_t(i));
        if (l && *l->GetName()) lights.push_back(std::string(l->GetName()) + ":" + std::to_string(l->GetUserValue()));
    }
    EXPECT_EQ(lights, (std::vector<std::string>{"Sun:0", "Glow:1"}));
    Light* sunLight = scene->GetLight(std::uint32_t(scene->GetLightCount() - 2));
    ASSERT_NE(sunLight, nullptr);
    Vec4 c;
    sunLight->GetColorA(4.0f, c);
    EXPECT_FLOAT_EQ(c.z, 1.0f);
    sunLight->GetColorB(0.0f, c);
    EXPECT_FLOAT_EQ(c.x, 0.5f);

    // Terrain: a tick object of the scene with its option and distances, updated at (0, 0).
    auto* terrain = static_cast<host::FlatTerrain*>(scene->GetTerrainObject());
    ASSERT_NE(terrain, nullptr);
    EXPECT_EQ(terrain->scene, static_cast<void*>(static_cast<IScene*>(scene)));
    EXPECT_EQ(terrain->calls.back(), "UpdateAround(0,0)");
    EXPECT_EQ(terrain->lodDistances[1], 20.0f);
    // The reference terrain answers collision queries: it owns the tree's ground.
    EXPECT_EQ(scene->GetBSPTreeObject()->GetOwner(), dynamic_cast<render::ICollisionOwner*>(terrain));
    ASSERT_FALSE(terrain->calls.empty());
    EXPECT_EQ(terrain->calls.front().rfind("SetOption(4,", 0), 0u);

    // Objects: the tables, counters and messages.
    EXPECT_TRUE(Logged("3 object files (*.mom and *.fx/*.emf) are involved in scene.")) << Log();
    EXPECT_TRUE(Logged("model: 6, fx: 1, sky-object: 1")) << Log();
    EXPECT_TRUE(Logged("cloned: 1, collider: 1, helper: 1, hidden: 1")) << Log();
    EXPECT_TRUE(Logged("加载特效 missing.fx 失败, 已使用 defualt_models\\box.mom 代替!")) << Log();
    EXPECT_TRUE(Logged("加载特效  失败, 已使用 defualt_models\\box.mom 代替!")) << Log();  // negative index: no file
    EXPECT_EQ(scene->GetModelCount(), 7);  // 5 of the main file's models, the effect's box, the pond's stone
    VisibleObject* post = Named("Post");
    ASSERT_NE(post, nullptr);
    EXPECT_EQ(post->GetUserInt(), 0x12);
    EXPECT_EQ(post->GetUserInt2(), 2);
    EXPECT_EQ(post->GetStringCount(), 2);
    EXPECT_STREQ(post->GetString(1), "wooden");
    EXPECT_EQ(*post->GetPosition(), (Vec3{1, 2, 3}));
    EXPECT_EQ(*post->GetScale(), (Vec3{2, 2, 2}));
    EXPECT_NE(static_cast<ModelBase*>(post)->GetMaterialSet(), nullptr);
    ASSERT_NE(Named("Hidden"), nullptr);
    EXPECT_FALSE(Named("Hidden")->IsVisible());
    ASSERT_NE(Named("StoneCopy"), nullptr);
    EXPECT_EQ(Named("Sky")->GetObjectType(), 8);
    EXPECT_EQ(Named("Smoke")->GetObjectType(), 3);  // the box stands in
    EXPECT_EQ(Named("PondStone")->GetUserValue(), 1);
    EXPECT_EQ(Named("Stone")->GetUserValue(), 0);

    // Group entries on the helper's slot and out of range are skipped.
    EXPECT_EQ(scene->CountNamedObjects("Hedge"), 4);
    ASSERT_EQ(scene->GetLodGroupCount(), 1);
    LodGroup* lod = scene->GetLodGroupObject(0);
    EXPECT_STREQ(lod->GetName(), "Near");
    EXPECT_EQ(lod->Members().size(), 2u);
    std::int32_t p1 = 0, p2 = 0;
    EXPECT_EQ(lod->GetLevel(1, &p1, &p2), 15.0f);
    EXPECT_EQ(lod->GetLevel(15, &p1, &p2), 60.0f);
    EXPECT_EQ(p1, 3);
    EXPECT_EQ(p2, 4);

    ITrack* track = scene->FindTrack("Path");
    ASSERT_NE(track, nullptr);
    Matrix gate;
    EXPECT_TRUE(scene->GetPresetCamera("Gate", &gate));
    EXPECT_FLOAT_EQ(gate.m[13], 5.0f);
    EXPECT_TRUE(Logged("BSP file main.bsp is not found!")) << Log();
    ASSERT_EQ(scene->GetLayerCount(), 2);
    EXPECT_STREQ(scene->GetLayer(1)->name, "Pond");
    // The grass patch stands where the file says, swaying; its missing texture is a blank one.
    ASSERT_EQ(scene->GetGrassCount(), 1);
    Grass* patch = grass.Patches()[0];
    EXPECT_EQ(patch->GetPosition()->x, 1.0f);
    EXPECT_EQ(patch->GetPosition()->z, 1.0f);
    EXPECT_TRUE(patch->HasGeometry());
    EXPECT_FLOAT_EQ(patch->SpeedX(), 0.5f * std::sqrt(0.5f));
    std::vector<std::string> batches;
    scene->GetCrossTextureNames(batches);
    EXPECT_EQ(batches, std::vector<std::string>{"Hedge"});
    const CrossTexture* hedge = scene->FindCrossTexture("Hedge");
    ASSERT_NE(hedge, nullptr);
    EXPECT_EQ(hedge->GetArrayNum(), 2);
    EXPECT_EQ(hedge->GetVertexCount(), 16);
    EXPECT_EQ(hedge->TextureName(), "leaf.png");
    for (const char* bad : {"Crowd", "Row2", "Lost"})
        EXPECT_TRUE(Logged(std::string("Failed to load shrubs ") + bad)) << bad << Log();
}

struct FailingFile {
    const char* what;
    std::string text;  // empty: no file
    std::string message;
};

SceneFileDesc With(void (*change)(SceneFileDesc&)) {
    SceneFileDesc d = Minimal();
    change(d);
    return d;
}

TEST_F(SceneFileReaderTest, FailingFilesSayWhyAndSetTheProgressToFailed) {
    const std::vector<FailingFile> cases = {
        {"missing file", "", "Scene file main.scn is not found!"},
        {"binary form", "RSCN\x01\x00\x00\x00", "Scene file main.scn is damaged: the header does not fit the file!"},
        {"xml error", "<Scene3D><Global></Scene3D>", "Scene file xml format error"},
        {"no root", "<World><Global/></World>", "Failed to load scene file main.scn! It contains no scene data!"},
        {"no global", "<Scene3D Version=\"2\"/>", "Failed to load scene file main.scn! It contains no global data!"},
        {"terrain file missing", test::WriteSceneXml(With([](SceneFileDesc& d) { d.terrain = "none.ter"; })),
         "Failed to load terrain file none.ter!"},
        {"clone out of range", test::WriteSceneXml(With([](SceneFileDesc& d) { d.models = {Box("a"), CloneOf(5, "b")}; })),
         "Failed to clone model 5 (file: box.mom)!"},
        {"clone of a helper", test::WriteSceneXml(With([](SceneFileDesc& d) { d.models = {Box("h", 0x200), CloneOf(0, "b")}; })),
         "Failed to clone model 0 (file: box.mom)!"},
        {"clone of a sky",
         test::WriteSceneXml(With([](SceneFileDesc& d) {
             d.files = {"box.mom"};
             d.skies = {Box("s", 0x20000), CloneOf(0, "b")};
         })),
         "Failed to clone model 0 (file: box.mom)!"},
        {"clone without the model bit", test::WriteSceneXml(With([](SceneFileDesc& d) { d.models = {Box("a"), CloneOf(0, "b", 0x20)}; })),
         "Failed to clone object 0 (file: box.mom), which is not a model!"},
        {"unknown flag", test::WriteSceneXml(With([](SceneFileDesc& d) { d.models = {Box("a", 0x10)}; })),
         "Unknown scene object, flag 16!"},
        {"track not loaded",
         test::WriteSceneXml(With([](SceneFileDesc& d) {
             d.trackFiles = {"gone.trk"};
             d.tracks = {{0, "T", test::IdentityMatrix16()}};
         })),
         "Failed to load track gone.trk!"},
    };
    for (const FailingFile& c : cases) {
        SCOPED_TRACE(c.what);
        files->RemoveFile("main.scn");
        const bool loaded = c.text.empty() ? LoadFile("main.scn") : Load(c.text);
        EXPECT_FALSE(loaded);
        EXPECT_EQ(scene->GetProgress(), kFailed);
        EXPECT_TRUE(Logged(c.message)) << Log();
    }
}

TEST_F(SceneFileReaderTest, WithoutTheTerrainModuleATerrainFails) {
    render::Terrain* module = Interfaces().terrain;
    Interfaces().terrain = nullptr;
    const bool loaded = Load(With([](SceneFileDesc& d) { d.terrain = "flat.ter"; }));
    Interfaces().terrain = module;
    EXPECT_FALSE(loaded);
    EXPECT_EQ(scene->GetProgress(), kFailed);
    EXPECT_TRUE(Logged("Terrain module not loaded!"));
    // A missing box as well as a missing file: nothing can stand in.
    files->RemoveFile("defualt_models/box.mom");
    EXPECT_FALSE(Load(With([](SceneFileDesc& d) { d.models = {Box("a", 0x2, 5)}; })));
    EXPECT_TRUE(Logged("Failed to load template model file ")) << Log();
    EXPECT_TRUE(Logged("defualt_models\\box.mom!")) << Log();
}

TEST_F(SceneFileReaderTest, TheBspCompanionNeverFailsTheLoad) {
    // Missing: an info line only.
    ASSERT_TRUE(Load(Minimal()));
    EXPECT_TRUE(Logged("BSP file main.bsp is not found!"));
    EXPECT_EQ(Log().find("Bad format"), std::string::npos);
    // Wrong magic: an error and the progress at failed, until the end of the load sets 0.
    files->AddFile("main.bsp", std::string("XBSP\x01\x00\x00\x00\x05\x00\x00\x00", 12));
    ASSERT_TRUE(Load(Minimal()));
    EXPECT_TRUE(Logged("Bad format in BSP file main.bsp!"));
    EXPECT_EQ(scene->GetProgress(), 0u);
    // Too short for its header: the same.
    files->AddFile("main.bsp", std::string("QBSP", 4));
    ASSERT_TRUE(Load(Minimal()));
    EXPECT_TRUE(Logged("Bad format in BSP file main.bsp!"));
    // Right magic: the tree is handed the bytes from the polygon count on.
    files->AddFile("main.bsp", std::string("QBSP\x01\x00\x00\x00\x05\x00\x00\x00", 12));
    ASSERT_TRUE(Load(Minimal()));
    EXPECT_EQ(Log().find("Bad format"), std::string::npos);
}

TEST_F(SceneFileReaderTest, HelpersKeepTheIndicesOfLaterObjects) {
    SceneFileDesc d = Minimal();
    d.models = {Box("h", 0x200), Box("a"), CloneOf(1, "copy"), Box("h2", 0x200), Box("b")};
    d.groups = {{"G", {{0, 2}, {0, 4}, {0, 3}}}};
    ASSERT_TRUE(Load(d)) << Log();
    IModel* named[4] = {};
    ASSERT_EQ(scene->GetNamedModels(named, "G"), 2);
    EXPECT_STREQ(named[0]->GetVisibleObject()->GetShortName(), "copy");
    EXPECT_STREQ(named[1]->GetVisibleObject()->GetShortName(), "b");
    EXPECT_TRUE(Logged("model: 5, fx: 0, sky-object: 0"));
}

TEST_F(SceneFileReaderTest, LightsFollowUsageTypeAndAttenuation) {
    SceneFileDesc d = Minimal();
    auto light = [](const char* name, unsigned usage, unsigned type) {
        SceneLightDesc l;
        l.name = name;
        l.usage = usage;
        l.type = type;
        return l;
    };
    d.lights = {light("off", 0, 1), light("two", 2, 1), light("plain", 1, 1), light("spot", 3, 2), light("volume", 5, 1)};
    d.lights[3].attenuation = {0.5f, 0.0f, 0.25f};
    d.lights[3].innerCone = 10.0f;
    d.lights[3].outerCone = 30.0f;
    d.lights[4].affectRadius = 12.0f;
    ASSERT_TRUE(Load(d)) << Log();
    std::vector<Light*> made;
    for (int i = 0; i < scene->GetLightCount(); ++i)
        if (Light* l = scene->GetLight(std::uint32_t(i)); l && *l->GetName()) made.push_back(l);
    ASSERT_EQ(made.size(), 3u);
    Light* plain = made[0];
    Light* spot = made[1];
    Light* volume = made[2];
    EXPECT_STREQ(plain->GetName(), "plain");
    LightDesc desc;
    plain->GetDesc(desc);
    EXPECT_FLOAT_EQ(desc.attenuation[0], 0.0f);
    EXPECT_FLOAT_EQ(desc.attenuation[1], 0.045f);
    EXPECT_FLOAT_EQ(desc.attenuation[2], 0.0f);
    spot->GetDesc(desc);
    EXPECT_EQ(desc.type, 2);
    EXPECT_FLOAT_EQ(desc.attenuation[0], 0.5f);
    EXPECT_FLOAT_EQ(desc.attenuation[1], 0.0f);
    EXPECT_NEAR(desc.outerAngle, 30.0f, 1e-3f);
    EXPECT_EQ(plain->Volume(), nullptr);
    ASSERT_NE(volume->Volume(), nullptr);
    EXPECT_EQ(volume->GetVolumeShapeKind(), 0u);
    EXPECT_FALSE(volume->IsUnbounded());
}

TEST_F(SceneFileReaderTest, AmbientColoursKeepTheDefaultWithoutAllThreeCommas) {
    const struct {
        const char* text;
        std::uint32_t word;
    } cases[] = {
        {"255,16,32,48", 0xFF102030u}, {"0,0,0,255", 0x000000FFu}, {"1,2,3,4,5", 0x01020304u},
        {"16,32,48", 0xFFFFFFFFu},     {"", 0xFFFFFFFFu},           {"1;2;3;4", 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        test::XmlElement doc = test::BuildSceneXml(Minimal());
        doc.children[0].Find("Global")->Find("AmbientLight")->Set("Color", c.text);
        ASSERT_TRUE(Load(test::WriteXml(doc))) << Log();
        std::uint32_t word = 0;
        std::memcpy(&word, scene->GetAmbientColor(), 4);
        EXPECT_EQ(word, c.word);
    }
}

TEST_F(SceneFileReaderTest, LayersLoadOnlyUnderTheIdOfTheirOwnRecord) {
    SceneFileDesc pond;
    SceneLightDesc glow;
    glow.name = "Glow";
    pond.lights = {glow};
    files->AddFile("pond.scn", test::WriteSceneXml(pond));
    const struct {
        int id;
        const char* name;
        const char* path;
        int layers;
    } cases[] = {
        {1, "Pond", "pond.scn", 2},  {0, "Self", "main.scn", 1}, {2, "Skip", "pond.scn", 1},
        {-1, "None", "pond.scn", 1}, {1, "", "pond.scn", 1},     {1, "Gone", "gone.scn", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SceneFileDesc d = Minimal();
        d.layers = {{c.id, c.name, c.path}};
        ASSERT_TRUE(Load(d)) << Log();
        EXPECT_EQ(scene->GetLayerCount(), c.layers);
        const bool loaded = c.layers == 2 && std::string(c.path) == "pond.scn";
        EXPECT_EQ(Logged("Can't open layer"), !loaded) << Log();
        Light* last = scene->GetLight(std::uint32_t(scene->GetLightCount() - 1));
        const bool glowing = last && std::string(last->GetName()) == "Glow";
        EXPECT_EQ(glowing, loaded);
        if (glowing) {
            EXPECT_EQ(last->GetUserValue(), 1);
        }
    }
}

TEST_F(SceneFileReaderTest, ASecondPresetCameraOfTheSameNameKeepsTheFirst) {
    SceneFileDesc d = Minimal();
    d.presetCameras = {{"Gate", test::LookAtTransform({0, 1, 0}, {0, 0, 5})},
                       {"Gate", test::LookAtTransform({0, 9, 0}, {0, 0, 5})},
                       {"", test::IdentityMatrix16()}};
    ASSERT_TRUE(Load(d));
    EXPECT_EQ(scene->GetPresetCameraCount(), 1);
    Matrix m;
    ASSERT_TRUE(scene->GetPresetCamera("Gate", &m));
    EXPECT_FLOAT_EQ(m.m[13], 1.0f);
}

TEST_F(SceneFileReaderTest, LodListsPutTheirLastLevelAtTheHidingLevel) {
    for (int n : {1, 3, 20}) {
        SCOPED_TRACE(n);
        SceneFileDesc d = Minimal();
        d.models = {Box("a")};
        test::SceneLodGroupDesc group{"L", {}, {{0, 0}}};
        for (int i = 0; i < n; ++i) group.levels.push_back({float(10 * (i + 1)), i, -i});
        d.lodGroups = {group};
        ASSERT_TRUE(Load(d)) << Log();
        LodGroup* lod = scene->GetLodGroupObject(0);
        ASSERT_NE(lod, nullptr);
        std::int32_t p1 = 0, p2 = 0;
        EXPECT_EQ(lod->GetLevel(15, &p1, &p2), float(10 * n));
        EXPECT_EQ(p1, n - 1);
        for (int level = 1; level < 15; ++level)
            EXPECT_EQ(lod->GetLevel(level, nullptr, nullptr), level < n - 1 ? float(10 * (level + 1)) : 0.0f) << level;
        EXPECT_EQ(Logged("ignored"), n > 16) << Log();
    }
}

TEST_F(SceneFileReaderTest, TheDemoGardenLoads) {
    for (const auto& [path, bytes] : test::DemoGardenFiles()) files->AddFile(path, bytes);
    const int cameras = fx.host().renderer.LiveRenderCameras();
    ASSERT_TRUE(LoadFile("scenes/garden.scn")) << Log();
    EXPECT_EQ(scene->GetLayerCount(), 2);
    EXPECT_TRUE(Logged("cloned: 1, collider: 0, helper: 1, hidden: 0")) << Log();
    Matrix gate;
    EXPECT_TRUE(scene->GetPresetCamera("Gate", &gate));
    EXPECT_NE(scene->GetTerrainObject(), nullptr);
    EXPECT_EQ(scene->GetLodGroupCount(), 1);
    EXPECT_EQ(scene->CountNamedObjects("Hedge"), 6);
    // Its audio: the three speakers start once the scene has loaded; the music zones wait for
    // the listener.
    SceneAudio& audio = scene->Audio();
    EXPECT_EQ(audio.PointSpeakers().size(), 3u);
    EXPECT_EQ(audio.AreaSpeakers().size(), 2u);
    EXPECT_EQ(audio.Reverbs().size(), 1u);
    EXPECT_STREQ(audio.GetDefaultMusicPath(), "garden/music/day");
    EXPECT_EQ(fx.host().audio.PlayingNames(),
              (std::vector<std::string>{"garden/wind", "garden/birds", "garden/fountain"}));
    // The sky, with its own render camera, goes with the scene.
    EXPECT_GT(fx.host().renderer.LiveRenderCameras(), cameras);
    Drop();
    EXPECT_EQ(fx.host().renderer.LiveRenderCameras(), cameras);
}

// A host asks the registry for the garden as the demo does (the loader reads it, ".s3d" tried
// first) and runs a frame at real time: nothing on the way is an error or a warning.
TEST_F(SceneFileReaderTest, TheDemoGardenLoadsThroughTheRegistryWithoutErrorsOrWarnings) {
    for (const auto& [path, bytes] : test::DemoGardenFiles()) files->AddFile(path, bytes);
    // The grass texture comes with the samples' effects.
    fx.host().renderer.Store()->DefineTexture("fx/spark.tga");
    SceneRegistry::Instance().SetFactory(SceneRegistry::kScene3D, [] { return new Scene3D; });
    fx.host().client.FrameTimeControl()->SetSpeed(1.0f);
    fx.capture.Clear();
    IScene* garden = World::Instance().CreateScene("scenes/garden.scn", 1, 0, 0);
    ASSERT_NE(garden, nullptr) << Log();
    fx.host().loader->WaitIdle();
    EXPECT_EQ(garden->GetProgress(), 0u) << Log();
    ASSERT_TRUE(World::Instance().SetActiveScene(garden));
    CameraInterface(garden->CreateCamera(true))->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
    World::Instance().Update();
    World::Instance().Render();
    EXPECT_TRUE(Logged("Scene file scenes/garden.s3d is not found!")) << Log();
    EXPECT_FALSE(Logged("[ERROR]")) << Log();
    EXPECT_FALSE(Logged("[WARNING]")) << Log();
    World::Instance().DestroyScene(garden);
    FrameTimeControl::Instance().Reset();
}

}  // namespace
}  // namespace quor::world

namespace quor::world {
namespace {

// A clone shares its source's mesh, which holds the transparency: the clone's own flag
// changes nothing of its source's.
TEST_F(SceneFileReaderTest, AClonesFlagLeavesItsSourcesTransparency) {
    struct Case {
        unsigned source, clone;
    };
    for (const Case c : {Case{0x2 | 0x1000, 0x2}, Case{0x2, 0x2 | 0x1000}}) {
        SCOPED_TRACE(c.source);
        SceneFileDesc d = Minimal();
        d.models = {Box("glass", c.source), CloneOf(0, "copy", c.clone)};
        ASSERT_TRUE(Load(d)) << fx.capture.Joined();
        auto* source = static_cast<ModelBase*>(Named("glass"));
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->IsTransparent(), (c.source & 0x1000) != 0);
    }
}

// Clear leaves the scene as it was made, and the same file loads into it again.
TEST_F(SceneFileReaderTest, ClearedGardenIsEmptyAndLoadsAgain) {
    for (const auto& [path, bytes] : test::DemoGardenFiles()) files->AddFile(path, bytes);
    ASSERT_TRUE(LoadFile("scenes/garden.scn")) << Log();
    const int models = scene->GetModelCount();
    const int lights = scene->GetLightCount();
    const int effects = scene->GetFxCount();
    ASSERT_GT(models, 0);
    scene->Update();
    scene->Clear();
    EXPECT_EQ(scene->GetModelCount(), 0);
    EXPECT_EQ(scene->GetLightCount(), 0);
    EXPECT_EQ(scene->GetFxCount(), 0);
    EXPECT_EQ(scene->GetActiveCamera(), nullptr);
    EXPECT_EQ(scene->CountNamedObjects("Hedge"), 0);
    EXPECT_EQ(scene->GetTerrainObject(), nullptr);
    EXPECT_EQ(scene->GetLodGroupCount(), 0);
    EXPECT_EQ(scene->GetTrackCount(), 0);
    EXPECT_EQ(scene->GetRootObject()->GetChildCount(), 0);
    EXPECT_TRUE(scene->Audio().PointSpeakers().empty());
    scene->Update();
    scene->Render();
    ASSERT_TRUE(scene->Load("scenes/garden.scn")) << Log();
    EXPECT_EQ(scene->GetModelCount(), models);
    EXPECT_EQ(scene->GetLightCount(), lights);
    EXPECT_EQ(scene->GetFxCount(), effects);
    EXPECT_EQ(scene->CountNamedObjects("Hedge"), 6);
    EXPECT_NE(scene->GetTerrainObject(), nullptr);
    scene->Update();
    scene->Render();
}

}  // namespace
}  // namespace quor::world
