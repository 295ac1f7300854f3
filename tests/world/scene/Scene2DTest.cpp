#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingClient.h"
#include "platform/host/RecordingHostParts.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/host/RecordingResources.h"
#include "platform/win32/Messages.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/SheetFileWriter.h"
#include "tests/support/world/fx/PictureTrees.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/math/Geometry.h"
#include "world/fx/Picture.h"
#include "world/fx/Picture3D.h"
#include "world/fx/UVSprite.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/Scene2D.h"

namespace quor::world {
namespace {

using test::WorldFixture;

// A scene file's text from its inner elements.
std::string SceneFile(const std::string& inner) { return "<Scene2D>" + inner + "</Scene2D>"; }

std::string Files(const std::vector<std::string>& paths) {
    std::string s = "<AllFiles>";
    for (const std::string& p : paths) s += "<F Path=\"" + p + "\"/>";
    return s + "</AllFiles>";
}

struct Scene2DFixture : testing::Test {
    Scene2DFixture() {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        win32::MessageSink::Instance().Clear();
        fx.host().renderer.backBufferWidth = 800;
        fx.host().renderer.backBufferHeight = 600;
    }
    ~Scene2DFixture() override { scene.reset(); }
    Scene2D* Make() {
        scene = std::make_unique<Scene2D>();
        return scene.get();
    }
    Scene2D* Load(const std::string& inner, const char* name = "m.scn2") {
        files->AddFile(name, SceneFile(inner));
        Make();
        EXPECT_TRUE(scene->Create(name, 0, 0, 0)) << fx.capture.Joined();
        return scene.get();
    }
    std::vector<std::pair<int, std::string>> Progress() const {
        std::vector<std::pair<int, std::string>> out;
        for (const auto& m : win32::MessageSink::Instance().PostedMessages())
            if (m.message == Scene2D::kProgressMessage)
                out.emplace_back(int(m.wParam), reinterpret_cast<const char*>(m.lParam));
        return out;
    }

    WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    std::unique_ptr<Scene2D> scene;
};

TEST_F(Scene2DFixture, SectionDefaults) {
    Load("<MapBlock MapSize=\"1023.9,512\"/>");
    const std::uint8_t* a = scene->GetAmbientColor();
    EXPECT_EQ(a[0], 255);
    EXPECT_EQ(a[2], 255);
    EXPECT_FALSE(scene->IsModelSpecularEnabled());
    EXPECT_EQ(scene->GetModelSpecularColor()[3], 0);
    int w = 0, h = 0;
    scene->GetMapSize(&w, &h);
    EXPECT_EQ(w, 1023);
    EXPECT_EQ(h, 512);
    EXPECT_EQ(scene->GetEffectCutLevel(), 0);
    EXPECT_EQ(scene->GetProgress(), 0u);
    ASSERT_NE(scene->GetMainLight(), nullptr);
    ASSERT_NE(scene->GetActiveCamera(), nullptr);
    EXPECT_EQ(scene->GetSceneType(), 0);
}

TEST_F(Scene2DFixture, LoaderTable) {
    const struct {
        const char* inner;
        bool specular;
        int width;
        float zNear;
        float zFar;
    } cases[] = {
        {"<Model_Specular R=\"1\" G=\"2\" B=\"3\" Enable=\"true\"/>", false, 0, 10.0f, 100000.0f},
        {"<Model_Specular Enable=\"True\"/><Entities><Camera dist=\"600\"/></Entities>", true, 0, 100.0f, 1e6f},
        {"<Entities><Camera dist=\"599.9\"/></Entities>", false, 0, 10.0f, 100000.0f},
        {"<MapBlock MapSize=\"nan,5\"/>", false, 0, 10.0f, 100000.0f},
        {"<MapBlock MapSize=\"-5,5\"/>", false, 0, 10.0f, 100000.0f},
        {"<MapBlock MapSize=\"2000000,5\"/>", false, 0, 10.0f, 100000.0f},
        {"<MapBlock MapSize=\"1048576,5\"/>", false, 1048576, 10.0f, 100000.0f},
    };
    for (const auto& c : cases) {
        // The camera starts at distance 1000: an explicit one is what differs.
        std::string inner = c.inner;
        if (inner.find("Camera") == std::string::npos) inner += "<Entities><Camera dist=\"599\"/></Entities>";
        Load(inner);
        EXPECT_EQ(scene->IsModelSpecularEnabled(), c.specular) << c.inner;
        int w = -1, h = -1;
        scene->GetMapSize(&w, &h);
        EXPECT_EQ(w, c.width) << c.inner;
        Camera* camera = scene->GetActiveCamera();
        ASSERT_NE(camera, nullptr);
        float zFar = 0.0f;
        EXPECT_FLOAT_EQ(camera->GetParam5(&zFar), c.zNear) << c.inner;
        EXPECT_FLOAT_EQ(zFar, c.zFar) << c.inner;
    }
}

TEST_F(Scene2DFixture, WatersCarryValues) {
    Load("<Waters>"
         "<W position=\"10,20\" speed=\"0.5\"/>"
         "<W position=\"1,2\" mapoffset=\"1,2,3,4\" ripplescale=\"7,8\"/>"
         "<W position=\"3,4\" mapoffset=\"9,9\" tempvars=\"5,6,7,8\"/>"
         "</Waters>");
    ASSERT_TRUE(scene->LoadWaters());
    const auto& w = scene->WatersRead();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_FLOAT_EQ(w[0].mapOffset[0], 0.02f);
    EXPECT_FLOAT_EQ(w[0].tempVars[1], 0.03f);
    EXPECT_FLOAT_EQ(w[0].rippleScale[0], 10.0f);
    EXPECT_FLOAT_EQ(w[0].rippleScale[1], 20.0f);
    EXPECT_FLOAT_EQ(w[0].speed, 0.5f);
    EXPECT_FLOAT_EQ(w[1].tempVars[3], 4.0f);  // no "tempvars": the map offset again
    EXPECT_FLOAT_EQ(w[1].rippleScale[0], 7.0f);
    EXPECT_FLOAT_EQ(w[1].speed, 0.01f);
    EXPECT_FLOAT_EQ(w[2].mapOffset[0], 9.0f);
    EXPECT_FLOAT_EQ(w[2].mapOffset[2], 3.0f);  // a shorter text keeps the rest
    EXPECT_FLOAT_EQ(w[2].tempVars[0], 5.0f);
}

TEST_F(Scene2DFixture, SoundsAndPlaneSections) {
    Load("<Entities><Sounds><S id=\"5\" Position=\"1.5,2\"/><S id=\"0\"/><S id=\"-3\"/><S/></Sounds></Entities>"
         "<PlaneFog num=\"2\"><PlaneFog_0/><PlaneFog_1/><PlaneFog_2/></PlaneFog>"
         "<Blaze num=\"4000000000\"><Blaze_0/></Blaze>");
    ASSERT_EQ(scene->SoundEntries().size(), 1u);
    EXPECT_EQ(scene->SoundEntries()[0].id, 5);
    EXPECT_FLOAT_EQ(scene->SoundEntries()[0].x, 1.5f);
    fx.capture.Clear();
    EXPECT_TRUE(scene->LoadPlaneFogs());
    EXPECT_FALSE(fx.capture.Contains("capped"));
    EXPECT_TRUE(scene->LoadBlazes());  // "num" read as signed: nothing
    EXPECT_TRUE(scene->LoadElectricities());
    EXPECT_TRUE(scene->LoadExtraSection());
    Load("<Electricity num=\"3\"><Electricity_0/></Electricity>");
    EXPECT_TRUE(scene->LoadElectricities());
    EXPECT_TRUE(fx.capture.Contains("capped"));
}

// The sounds, the listener, the forwards, the progress window and a cancelled load go through
// the host's client and audio.
TEST_F(Scene2DFixture, HostClientAndAudio) {
    host::RecordingAudio& audio = fx.host().audio;
    host::RecordingClient& client = fx.host().client;
    audio.AddSoundKey(5);
    files->AddFile("../config/music.csv", "5,river.wav\n");
    audio.ClearCalls();
    Load("<Entities><Sounds><S id=\"5\" Position=\"1.5,2\"/><S id=\"9\" Position=\"3,4\"/></Sounds></Entities>");
    EXPECT_EQ(audio.SoundConfig(), "5,river.wav\n");
    const std::vector<std::string> calls = audio.Calls();
    const std::vector<std::string> sounds = {"StopMusic", "LoadSoundConfig 12 bytes", "GetSoundInfo 5",
                                             "PlaySoundAt 5 1 2", "GetSoundInfo 9"};
    EXPECT_NE(std::search(calls.begin(), calls.end(), sounds.begin(), sounds.end()), calls.end());
    ASSERT_EQ(scene->SoundEntries().size(), 2u);
    EXPECT_NE(scene->SoundEntries()[0].handle, 0u);
    EXPECT_EQ(scene->SoundEntries()[1].handle, 0u);
    EXPECT_EQ(scene->PlaySoundAt(9, 1, 1), 0u);
    EXPECT_EQ(scene->ForwardAudio31(1, 2), 34);
    EXPECT_EQ(scene->ForwardAudio32(1, 2), 35);

    // The listener follows the view once the client tells its screen size.
    client.screenWidth = 640;
    client.screenHeight = 480;
    audio.ClearCalls();
    scene->UpdateView(1000.5f, 700.0f);
    EXPECT_EQ(audio.Calls(), (std::vector<std::string>{"SetListenerArea 640 480", "SetListenerOrigin 680 460"}));
    client.screenWidth = 0;

    // Progress goes to the client's main window too.
    bool posted = false;
    for (const win32::PostedMessage& m : client.WindowMessages())
        posted = posted || (m.message == Scene2D::kProgressMessage &&
                            std::string(reinterpret_cast<const char*>(m.lParam)) == "Init Camear data");
    EXPECT_TRUE(posted);

    // A cancelled load skips the sections and reports success.
    Load("<Entities>" + Files({"gone.png"}) + "<Models><M FilePathIndex=\"0\"/></Models></Entities>");
    client.loadingCancelled = true;
    win32::MessageSink::Instance().Clear();
    EXPECT_TRUE(scene->LoadModels());
    EXPECT_TRUE(win32::MessageSink::Instance().MessageBoxes().empty());
    client.loadingCancelled = false;
}

TEST_F(Scene2DFixture, CreateByExtension) {
    files->AddFile("a.s2d", SceneFile("<MapBlock MapSize=\"300,200\"/>"));
    const struct {
        const char* name;
        bool ok;
        int width;
    } cases[] = {{"A.S2D", true, 300}, {"B.BMP", true, 2000}, {"C.png", false, 0}, {"none.scn2", true, 1000},
                 {"noext", false, 0}};
    files->AddFile("A.S2D", SceneFile("<MapBlock MapSize=\"300,200\"/>"));
    for (const auto& c : cases) {
        Make();
        fx.capture.Clear();
        EXPECT_EQ(scene->Create(c.name, 0, 0, 0), c.ok) << c.name;
        int w = 0, h = 0;
        scene->GetMapSize(&w, &h);
        EXPECT_EQ(w, c.width) << c.name;
    }
    Make();
    EXPECT_FALSE(scene->Create(nullptr, 0, 0, 0));
}

TEST_F(Scene2DFixture, OnePictureMap) {
    fx.host().renderer.Store()->DefineTexture("map/town.bmp", host::TextureDesc{1, 0, 1600, 900, 3, true});
    Make();
    ASSERT_TRUE(scene->Create("map/town.bmp", 0, 0, 0));
    int w = 0, h = 0;
    scene->GetMapSize(&w, &h);
    EXPECT_EQ(w, 1600);
    EXPECT_EQ(h, 900);
    EXPECT_TRUE(fx.capture.Contains("map/town.data"));
    const auto p = Progress();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], std::make_pair(20, std::string("map/town.bmp")));
    EXPECT_EQ(p[1], std::make_pair(20, std::string("Init light")));
    // A missing picture: 2000 x 2000 and a warning.
    Make();
    ASSERT_TRUE(scene->Create("map/none.bmp", 0, 0, 0));
    scene->GetMapSize(&w, &h);
    EXPECT_EQ(w, 2000);
    EXPECT_TRUE(fx.capture.Contains("map/none.bmp"));
}

TEST_F(Scene2DFixture, ProgressSequences) {
    Load("<Light R=\"10\"/>");
    const std::vector<std::pair<int, std::string>> loaded = {
        {20, "m.scn2"}, {15, "m.scn2"}, {15, "Init Camear data"}, {15, "Init light data"}, {15, "read config files"}};
    EXPECT_EQ(Progress(), loaded);
    EXPECT_EQ(scene->GetAmbientColor()[0], 10);
    win32::MessageSink::Instance().Clear();
    files->AddFile("bad.scn2", "<Scene2D><unclosed></Scene2D>");
    Make();
    ASSERT_TRUE(scene->Create("bad.scn2", 0, 0, 0));
    EXPECT_TRUE(fx.capture.Contains("Scene file xml format error"));
    EXPECT_EQ(scene->GetProgress(), 0u);  // the default map replaced the failure
    int w = 0;
    scene->GetMapSize(&w, nullptr);
    EXPECT_EQ(w, 1000);
    const std::vector<std::pair<int, std::string>> failed = {{20, "bad.scn2"}, {15, "bad.scn2"}};
    EXPECT_EQ(Progress(), failed);
}

TEST_F(Scene2DFixture, LoadedTwiceFreesTheFirst) {
    Load("<Entities>" + Files({"a.png"}) + "</Entities>");
    ASSERT_TRUE(scene->Load("m.scn2"));
    EXPECT_EQ(scene->FilePaths().size(), 1u);
    scene->Clear();
    scene->Clear();
    EXPECT_EQ(scene->GetRootPicture(), nullptr);
    EXPECT_EQ(scene->CreatePicture(nullptr), nullptr);
    float out[2] = {7.0f, 7.0f};
    const Vec3 p(1, 0, 1);
    scene->WorldToScreen(&p, out);
    EXPECT_EQ(out[0], 7.0f);
    scene->Render();
}

// --- entities ---------------------------------------------------------------------------------

struct Scene2DEntities : Scene2DFixture {
    Scene2DEntities() {
        fx.host().renderer.Store()->DefineTexture("tree.PNG", host::TextureDesc{1, 0, 100, 50, 3, true});
        fx.host().renderer.Store()->DefineTexture("fx/sheet.dds");
        files->AddFile("fire.SPR", test::WriteSheetFile({}));
        files->AddFile("hero.mom", test::WriteMom(test::SquareMesh()));
    }
};

TEST_F(Scene2DEntities, ExtensionTable) {
    Make();
    const struct {
        const char* name;
        int type;  // -1: none
    } cases[] = {{"tree.PNG", 0}, {"fire.SPR", 0}, {"hero.mom", 1}, {"a.txt", -1}, {"missing.png", -1}, {"noext", -1}};
    for (const auto& c : cases) {
        IPicture* p = scene->CreatePicture(c.name);
        EXPECT_EQ(p ? p->GetPictureType() : -1, c.type) << c.name;
        if (p) {
            EXPECT_EQ(p->GetParent(), scene->GetRootPicture());
        }
    }
    IPicture* empty = scene->CreatePicture(nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetPictureType(), 2);
    EXPECT_EQ(empty->GetOwnerScene(), scene.get());
    // The root, its layers and the empty picture all take children of this scene.
    EXPECT_TRUE(empty->AddChild(scene->CreatePicture(nullptr), false));
    EXPECT_EQ(scene->GetRootPicture()->GetOwnerScene(), scene.get());
}

// The scene's model specular reaches the models of pictures directly under the object layer,
// and every model that loads in the scene.
TEST_F(Scene2DEntities, ModelSpecularDepth) {
    files->AddFile("deep.mom", test::WriteMom(test::SquareMesh()));
    Load("<Model_Specular R=\"10\" G=\"20\" B=\"30\" Enable=\"True\"/>");
    IPicture* top = scene->CreatePicture("hero.mom");
    IPicture* deep = scene->CreatePicture("deep.mom");
    ASSERT_TRUE(top && deep);
    ASSERT_TRUE(top->AddChild(deep, false));
    auto material = [](IPicture* p) {
        render::IMaterialGroup* set = p->GetAttachedModel()->GetMaterialSet();
        return set ? static_cast<host::RecordingMaterial*>(set->GetSlotMaterial(0)) : nullptr;
    };
    host::RecordingMaterial* a = material(top);
    host::RecordingMaterial* b = material(deep);
    ASSERT_TRUE(a && b && a != b);
    // Loaded with the switch on: the colour word (bytes blue, green, red, alpha) and the two
    // further colours.
    EXPECT_EQ(a->specularColour, 0xFF0A141Eu);
    EXPECT_EQ(a->colourWordA, 0u);
    EXPECT_EQ(a->colourWordB, 0xFFFFFFFFu);
    auto* model = static_cast<ModelBase*>(top->GetAttachedModel());
    EXPECT_EQ(model->in2DScene, 1);
    EXPECT_EQ(model->specularOn, 1);
    EXPECT_EQ(model->specularColour[0], 30);

    scene->EnableModelSpecular(true);
    const std::uint8_t colour[4] = {1, 2, 3, 4};
    scene->SetModelSpecularColor(colour);
    EXPECT_TRUE(a->specularEnabled);
    EXPECT_EQ(a->specularColour, 0x04030201u);
    EXPECT_FALSE(b->specularEnabled);
    EXPECT_EQ(b->specularColour, 0xFF0A141Eu);
    scene->EnableModelSpecular(false);
    EXPECT_FALSE(a->specularEnabled);
}

TEST_F(Scene2DEntities, EntityRecords) {
    Load("<Entities>" + Files({"tree.PNG", "fire.spr", "hero.mom", "gone.png"}) +
         "<Models>"
         "<E FilePathIndex=\"0\" Name=\"t\" Position=\"10,20\" Scale=\"2,2\" EffectLevel=\"3\"/>"
         "<E FilePathIndex=\"4\"/><E FilePathIndex=\"-1\"/>"
         "<E FilePathIndex=\"1\" Rotation=\"1.57\"/>"
         "<E FilePathIndex=\"2\" Rotation=\"1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1\" Far=\"true\"/>"
         "<E FilePathIndex=\"3\"/>"
         "</Models></Entities>");
    files->AddFile("fire.spr", test::WriteSheetFile({}));
    win32::MessageSink::Instance().Clear();
    ASSERT_TRUE(scene->LoadModels());
    IPicture* layer = scene->GetRootPicture();
    ASSERT_EQ(layer->GetChildCount(), 3);
    EXPECT_STREQ(layer->GetChild(0)->GetName(), "t");
    EXPECT_FLOAT_EQ(layer->GetChild(0)->GetLocalPosition().x, 10.0f);
    EXPECT_FLOAT_EQ(layer->GetChild(0)->GetPivot().x, 50.0f);
    EXPECT_EQ(layer->GetChild(0)->GetCustomValue(), 3);
    EXPECT_FLOAT_EQ(layer->GetChild(1)->GetLocalRotation(), 1.57f);
    EXPECT_EQ(layer->GetChild(2)->GetCustomState(), 1);
    const auto boxes = win32::MessageSink::Instance().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "CreatePicture Error");
    EXPECT_EQ(boxes[0].text, "gone.png");
    // Releasing the model's picture takes the model with it.
    const int models = scene->GetModelCount();
    scene->ReleaseModelPicture(layer->GetChild(2), true);
    EXPECT_EQ(layer->GetChildCount(), 2);
    EXPECT_EQ(scene->GetModelCount(), models - 1);
    scene->ReleasePicture(layer->GetChild(0), true);
    EXPECT_EQ(layer->GetChildCount(), 1);
}

TEST_F(Scene2DEntities, CutAndBoundTables) {
    Load("<MapBlock MapSize=\"4000,4000\" EffectCutLevel=\"3\"/><Entities>" + Files({"tree.PNG"}) +
         "<Fxes>"
         "<E EffectLevel=\"4\" Position=\"100,100\" boundingMax=\"-1,-1\" boundingMin=\"-1,-1\"/>"
         "<E EffectLevel=\"3\" Position=\"100,100\" boundingMax=\"-1,-1\" boundingMin=\"-1,-1\"/>"
         "<E EffectLevel=\"4294967295\" Position=\"100,100\" boundingMax=\"-1,-1\" boundingMin=\"-1,-1\"/>"
         "<E Position=\"100,100\"/>"
         "</Fxes></Entities>");
    ASSERT_TRUE(scene->LoadFxes());
    IPicture* layer = scene->GetRootPicture();
    ASSERT_EQ(layer->GetChildCount(), 4);
    const auto collected = [&] {
        scene->Render();
        std::vector<bool> in;
        for (int i = 0; i < 4; ++i) {
            auto* p = PictureBase::FromInterface(layer->GetChild(i));
            const auto& c = scene->CollectedPictures();
            in.push_back(std::find(c.begin(), c.end(), p) != c.end());
        }
        return in;
    };
    EXPECT_EQ(collected(), (std::vector<bool>{false, true, true, true}));
    // The (0, 0) box: out of view once the map scrolls away from its origin.
    scene->UpdateView(2000.0f, 2000.0f);
    for (int i = 0; i < 4; ++i) layer->GetChild(i)->SetLocalPosition(2000.0f, 2000.0f);
    EXPECT_EQ(collected(), (std::vector<bool>{false, true, true, false}));
    scene->EnableEffectCut(false);
    EXPECT_EQ(collected(), (std::vector<bool>{true, true, true, false}));
}

// The pixel rectangle rounds as std::floor (left, top) and std::ceil (right, bottom) do.
TEST(Scene2DRects, PixelRectRoundsAsFloorAndCeil) {
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {0.0f,       -0.0f,      0.25f,      -0.25f,      0.5f,         -0.5f,
                            1.0f,       -1.0f,      2.5f,       -2.5f,       799.999f,     -799.999f,
                            8388607.5f, -8388607.5f, 8388608.0f, -8388609.0f, 16777218.0f, 3e9f,
                            -3e9f,      1e-40f,     -1e-40f,    inf,         -inf};
    for (float a : values)
        for (float b : {0.75f, -1e-40f, -3e9f}) {
            const PicRect r{a, b, a, b};
            float out[4] = {};
            Scene2D::PixelRect(r, out);
            const float expect[4] = {std::floor(a), std::floor(b), std::ceil(a), std::ceil(b)};
            for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], expect[i]) << a << " " << b << " lane " << i;
        }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    float out[4] = {};
    Scene2D::PixelRect(PicRect{nan, 1.5f, nan, -1.5f}, out);
    EXPECT_TRUE(std::isnan(out[0]) && std::isnan(out[2]));
    EXPECT_EQ(out[1], 1.0f);
    EXPECT_EQ(out[3], -1.0f);
}

// The frame's collection against a plain walk of the rules over random picture trees: pictures
// hidden or off the back buffer are left out but their children are looked at; pictures above
// the effect cut are left out with their children; the rest are taken in tree order.
TEST_F(Scene2DFixture, CollectionMatchesAPlainWalkOnRandomTrees) {
    Load("<MapBlock MapSize=\"4000,4000\" EffectCutLevel=\"3\"/>");
    fx.host().renderer.Store()->DefineTexture("box.png", host::TextureDesc{1, 0, 64, 48, 3, true});
    PictureBase* layer = scene->Layer(2);
    ASSERT_NE(layer, nullptr);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> px(-120, 900), py(-100, 700);
    const float fractions[] = {0.0f, 0.25f, 0.5f, 0.75f, -0.25f};
    std::vector<PictureBase*> live;
    const auto randomise = [&](PictureBase* p) {
        p->SetLocalPosition(float(px(rng)) + fractions[rng() % 5], float(py(rng)) + fractions[rng() % 5]);
        p->SetDisplayState(rng() % 5 == 0 ? 0 : 1, false);
        const std::int32_t levels[] = {-1, -1, 2, 3, 4};
        p->SetCustomValue(levels[rng() % 5]);
    };
    const auto inTree = [&](PictureBase* p) {
        for (PictureBase* a = p; a; a = a->ParentBase())
            if (a == layer) return true;
        return false;
    };
    // A plain reading of the rules, with its own rounding and rectangle test.
    const auto overlaps = [](const float* a, const float* b) {
        auto in = [a](float x, float y) { return a[0] <= x && x < a[2] && a[1] <= y && y < a[3]; };
        if (in(b[0], b[1]) || in(b[0], b[3]) || in(b[2], b[1]) || in(b[2], b[3])) return true;
        const bool h = (b[0] < a[0] && b[2] >= a[2]) || (a[0] <= b[0] && b[2] <= a[2]);
        const bool v = (b[1] < a[1] && b[3] >= a[3]) || (a[1] <= b[1] && b[3] <= a[3]);
        return h && v;
    };
    const float back[4] = {0.0f, 0.0f, 800.0f, 600.0f};
    std::vector<PictureBase*> expect;
    std::function<void(PictureBase*)> walk = [&](PictureBase* parent) {
        for (PictureBase* p : parent->Children()) {
            const PicRect r = p->GetBoundingRect();
            const float rect[4] = {std::floor(r.left), std::floor(r.top), std::ceil(r.right), std::ceil(r.bottom)};
            if (p->DisplayStateValue() == 0 || (!overlaps(back, rect) && !overlaps(rect, back))) {
                walk(p);
                continue;
            }
            if (p->CustomValueRaw() != -1 && p->CustomValueRaw() > 3) continue;
            expect.push_back(p);
            walk(p);
        }
    };
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 60; ++i) {
            auto* p = PictureBase::FromInterface(scene->CreatePicture(rng() % 3 == 0 ? nullptr : "box.png"));
            ASSERT_NE(p, nullptr);
            randomise(p);
            live.push_back(p);
        }
        for (int step = 0; step < 150; ++step) {
            PictureBase* p = live[rng() % live.size()];
            PictureBase* q = live[rng() % live.size()];
            switch (rng() % 6) {
                case 0: q->AddChild(p, rng() % 2 == 0); break;
                case 1:
                    if (p->ParentBase()) p->ParentBase()->RemoveChild(p, false);
                    break;
                case 2: p->PassChildrenToParent(); break;
                case 3: {
                    // Only a picture right under the layer is released, with its whole subtree.
                    if (p->ParentBase() != layer) break;
                    const std::vector<PictureBase*> gone = test::SubtreeOf(live, p);
                    scene->ReleasePicture(p, true);
                    for (PictureBase* x : gone) live.erase(std::find(live.begin(), live.end(), x));
                    break;
                }
                default: randomise(p); break;
            }
            if (live.empty()) break;
        }
        // Pictures left outside the tree go back under the layer.
        for (PictureBase* p : live)
            if (!inTree(p)) layer->AddChild(p, false);
        scene->CollectFramePictures();
        expect.clear();
        walk(layer);
        EXPECT_EQ(scene->CollectedPictures(), expect) << "round " << round;
        EXPECT_GT(expect.size(), 0u);
    }
}

// --- conversions ------------------------------------------------------------------------------

TEST_F(Scene2DFixture, OffsetTable) {
    const struct {
        int mapW, mapH;
        float x, y;
        float ox, oy;
    } cases[] = {
        {640, 480, 0, 0, 80, 60},       {2000, 2000, 300, 300, 0, 0},     {2000, 2000, 1000, 1000, -600, -700},
        {2000, 2000, 1900, 1900, -1200, -1400}, {2000, 2000, 400, 300, 0, 0},
    };
    for (const auto& c : cases) {
        Load("<MapBlock MapSize=\"" + std::to_string(c.mapW) + "," + std::to_string(c.mapH) + "\"/>");
        scene->UpdateView(c.x, c.y);
        const PicPoint o = scene->RootPictureBase()->GetLocalPosition();
        EXPECT_FLOAT_EQ(o.x, c.ox) << c.mapW << " " << c.x;
        EXPECT_FLOAT_EQ(o.y, c.oy) << c.mapH << " " << c.y;
    }
}

TEST_F(Scene2DFixture, ConversionsRoundTrip) {
    for (int withTarget = 0; withTarget < 2; ++withTarget)
    for (const char* camera : {"", "<Entities><Camera type=\"1\" size=\"2\"/></Entities>"}) {
        // With a render target the camera takes a view scale and a projection offset, which the
        // conversions undo as the drawing applies them.
        fx.host().renderer.renderTarget0Width = withTarget ? 1024 : 0;
        fx.host().renderer.renderTarget0Height = withTarget ? 512 : 0;
        Load(std::string("<MapBlock MapSize=\"3000,2000\"/>") + camera);
        scene->UpdateView(1700.0f, 900.0f);
        std::mt19937 rng(3);
        std::uniform_real_distribution<float> mx(0.0f, 3000.0f), my(0.0f, 2000.0f);
        for (int i = 0; i < 50; ++i) {
            float map[2] = {mx(rng), my(rng)};
            Vec3 world;
            scene->MapToWorld(map, &world);
            float back[2];
            scene->WorldToMap(&world, back);
            EXPECT_NEAR(back[0], map[0] + 0.1f, 0.05f);
            EXPECT_NEAR(back[1], map[1] + 0.1f, 0.05f);
            // The ground point under a map point on the screen projects back onto it.
            const PicPoint offset = scene->RootPictureBase()->GetLocalPosition();
            const float seen[2] = {map[0] * 800.0f / 3000.0f - offset.x, map[1] * 600.0f / 2000.0f - offset.y};
            std::memcpy(map, seen, sizeof map);
            Vec3 ground;
            scene->ScreenToWorld(map, &ground);
            EXPECT_NEAR(ground.y, 0.0f, 1e-3f);
            float screen[2];
            scene->WorldToScreen(&ground, screen);
            EXPECT_NEAR(screen[0], map[0], 0.5f) << camera;
            EXPECT_NEAR(screen[1], map[1], 0.5f) << camera;
        }
    }
}

TEST_F(Scene2DFixture, ModelFollowsItsPicture) {
    files->AddFile("hero.mom", test::WriteMom(test::SquareMesh()));
    Load("<MapBlock MapSize=\"3000,2000\"/>");
    IPicture* p = scene->CreatePicture("hero.mom");
    ASSERT_NE(p, nullptr);
    for (float x : {100.0f, 900.0f, 2500.0f}) {
        scene->UpdateView(x, 700.0f);
        p->SetLocalPosition(x, 650.0f);
        Vec3 position;
        p->GetAttachedSpaceObject()->GetWorldPosition(position);
        float map[2];
        scene->WorldToScreen(&position, map);
        EXPECT_NEAR(map[0], x, 0.5f);
        EXPECT_NEAR(map[1], 650.0f, 0.5f);
    }
}

// A released object leaves every picture that shows it, by object, by id and nested.
TEST_F(Scene2DFixture, ReleasedObjectsLeaveThePicturesThatShowThem) {
    files->AddFile("hero.mom", test::WriteMom(test::SquareMesh()));
    Load("<MapBlock MapSize=\"3000,2000\"/>");
    IPicture* direct = scene->CreatePicture("hero.mom");
    IPicture* byId = scene->CreatePicture("hero.mom");
    IPicture* outer = scene->CreatePicture(nullptr);
    IPicture* nested = scene->CreatePicture("hero.mom");
    ASSERT_TRUE(direct && byId && outer && nested);
    ASSERT_TRUE(outer->AddChild(nested, false));
    const int models = scene->GetModelCount();
    EXPECT_TRUE(scene->ReleaseObject(direct->GetAttachedSpaceObject(), true));
    EXPECT_TRUE(scene->ReleaseObjectById(byId->GetAttachedSpaceObject()->GetId(), true));
    EXPECT_TRUE(scene->ReleaseObject(nested->GetAttachedSpaceObject(), true));
    EXPECT_EQ(scene->GetModelCount(), models - 3);
    for (IPicture* p : {direct, byId, nested}) {
        EXPECT_EQ(p->GetAttachedModel(), nullptr);
        EXPECT_EQ(p->GetAttachedSpaceObject(), nullptr);
        p->SetLocalPosition(50.0f, 60.0f);
    }
    scene->Update();
    scene->Render();
}

// Releasing a camera re-targets every picture that follows it, however deep, to the active one.
TEST_F(Scene2DFixture, ReleasedCameraLeavesNestedPictures) {
    files->AddFile("hero.mom", test::WriteMom(test::SquareMesh()));
    Load("<MapBlock MapSize=\"3000,2000\"/>");
    world::Camera* first = scene->CreateCamera(true);
    ASSERT_NE(first, nullptr);
    IPicture* outer = scene->CreatePicture(nullptr);
    IPicture* nested = scene->CreatePicture("hero.mom");
    ASSERT_TRUE(outer && nested);
    ASSERT_TRUE(outer->AddChild(nested, false));
    auto* picture = static_cast<world::Picture3D*>(world::PictureBase::FromInterface(nested));
    EXPECT_EQ(picture->GetAttachTarget(), first);
    world::Camera* second = scene->CreateCamera(true);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(scene->ReleaseObject(first, true));
    EXPECT_EQ(picture->GetAttachTarget(), scene->GetActiveCamera());
    nested->SetLocalPosition(120.0f, 80.0f);
    EXPECT_TRUE(scene->ReleaseObject(second, true));
    EXPECT_EQ(picture->GetAttachTarget(), scene->GetActiveCamera());
    nested->SetLocalPosition(130.0f, 90.0f);
    scene->Update();
    scene->Render();
}

TEST_F(Scene2DFixture, DivisionsGuarded) {
    Make();
    Vec3 out(5, 5, 5);
    const float map[2] = {1, 1};
    scene->MapToWorld(map, &out);  // map of size 0
    EXPECT_EQ(out, Vec3(5, 5, 5));
    scene->WorldToMap(&out, nullptr);
    float m[2] = {9, 9};
    scene->WorldToMap(&out, m);  // corners coincide
    EXPECT_EQ(m[0], 9.0f);
    scene->Render();  // no camera: logged once, nothing else
    scene->Render();
    int lines = 0;
    for (const std::string& l : fx.capture.Lines()) lines += l.find("no active camera") != std::string::npos;
    EXPECT_EQ(lines, 1);
    EXPECT_FALSE(scene->IsRendering());
    Load("<Entities><Camera angle=\"0\" dist=\"-3\" size=\"0\" type=\"1\"/></Entities>");
    EXPECT_TRUE(fx.capture.Contains("camera angle 0 refused"));
    EXPECT_FLOAT_EQ(scene->GetCameraParams().angle, 20.0f);
    EXPECT_FLOAT_EQ(scene->GetCameraParams().dist, 1000.0f);
    EXPECT_FLOAT_EQ(scene->GetCameraParams().size, 1.0f);
}

TEST_F(Scene2DFixture, FrameDrawsPictures) {
    fx.host().renderer.Store()->DefineTexture("tree.png", host::TextureDesc{1, 0, 100, 50, 3, true});
    Load("<MapBlock MapSize=\"3000,2000\"/>");
    IPicture* on = scene->CreatePicture("tree.png");
    IPicture* off = scene->CreatePicture("tree.png");
    on->SetLocalPosition(100, 100);
    off->SetLocalPosition(-500, 100);
    scene->Render();
    EXPECT_EQ(static_cast<host::RecordingPrimitive*>(static_cast<Picture*>(PictureBase::FromInterface(on))->Primitive())
                  ->drawCount,
              1);
    EXPECT_EQ(static_cast<host::RecordingPrimitive*>(static_cast<Picture*>(PictureBase::FromInterface(off))->Primitive())
                  ->drawCount,
              0);
    EXPECT_EQ(scene->DrawList().size(), 1u);
}

TEST_F(Scene2DFixture, PathQueries) {
    Make();
    EXPECT_EQ(scene->FindPathFree(0, 0, 10, 10, nullptr), 0);
    EXPECT_FALSE(scene->IsWalkable(1, 1));
    const std::int32_t* result = nullptr;
    EXPECT_EQ(scene->GetLineCells(0, 0, 1, 1, reinterpret_cast<int*>(&result)), 0);
}

TEST_F(Scene2DFixture, RegistryMakesTheKind) {
    SceneRegistry::Instance().SetFactory(SceneRegistry::kScene2D, [] { return static_cast<SceneBase*>(new Scene2D()); });
    files->AddFile("r.scn2", SceneFile("<MapBlock MapSize=\"64,64\"/>"));
    IScene* s = World::Instance().CreateScene("r.scn2", 0, 0, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetSceneType(), 0);
    int w = 0;
    s->GetMapSize(&w, nullptr);
    EXPECT_EQ(w, 64);
}

struct Scene2DThread : testing::Test {};

TEST_F(Scene2DThread, AsyncLoadOnWorkers) {
    WorldFixture fx(2);
    auto* files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
    files->AddFile("w.scn2", SceneFile("<MapBlock MapSize=\"128,64\"/>"));
    auto ok = std::make_unique<Scene2D>();
    auto missing = std::make_unique<Scene2D>();
    ASSERT_TRUE(ok->Create("w.scn2", 1, 0, 0));
    ASSERT_TRUE(missing->Create("gone.scn2", 1, 0, 0));
    fx.host().loader->WaitIdle();
    EXPECT_EQ(ok->GetProgress(), 0u);
    int w = 0;
    ok->GetMapSize(&w, nullptr);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(missing->GetProgress(), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace quor::world
