// The sample effects of samples/fx: two particle systems (one drawing from a sheet) and a trail
// on a circle track; and one of the other kinds (a sprite sheet, a flare, a sound, a camera
// shake, a speed rate and a model). Each file is what the writers make; QUOR_WRITE_SAMPLES=1
// rewrites them. The effects load through the manager, run, and give back everything they made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/EffectFileWriter.h"
#include "tests/support/world/SheetFileWriter.h"
#include "tests/support/world/SoundFileWriter.h"
#include "tests/support/world/DemoMeshes.h"
#include "world/core/Camera.h"
#include "world/fx/CameraShakeFx.h"
#include "world/fx/EnvFlareFx.h"
#include "world/fx/FxSound.h"
#include "world/fx/ModelFx.h"
#include "world/fx/SpeedRateFx.h"
#include "world/fx/SpriteFx.h"
#include "tests/support/world/fx/FxSceneFixture.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/track/TrackBase.h"
#include "world/fx/FxMgr.h"
#include "world/fx/ParticleSystem.h"
#include "world/fx/PolyTubeFx.h"

namespace quor::world {
namespace {

// A 4 x 2 sheet over the smoke texture, CR-LF lines.
std::string SmokeSheet(const char* third, const char* length) {
    test::SheetFileDesc sheet;
    sheet.columns = "4";
    sheet.rows = "2";
    sheet.third = third;
    sheet.fourth = "4";
    sheet.texture = "fx/smoke.tga";
    sheet.length = length;
    return test::WriteSheetFile(sheet, test::SheetLineForm::kCrLf);
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> SampleFiles() {
    test::EffectFileWriter fx("Root");
    fx.Set("Name", "sample").Set("FxLifeSpan", 4.0).Set("Loop", "1");
    fx.AddNode("ParticleSystem")
        .Set("Name", "sparks")
        .Set("FxLifeSpan", 4.0)
        .Set("Texture", "fx/spark.tga")
        .Set("ParticlesPerSecond", 60)
        .Set("EmissionType", 0)
        .Set("MinSpriteVelocity", 1.0)
        .Set("MaxSpriteVelocity", 3.0)
        .Set("MinSpriteLifespan", 0.5)
        .Set("MaxSpriteLifespan", 1.2)
        .Set("MinRadius", 0.1)
        .Set("MaxRadius", 0.25)
        .Set("Gravity", -2.0)
        .Set("BlendMode", 2)
        .Set("AlongMoveDir", "0")
        .Set("PosOffset", "0,0,8")
        .AddColorKeys("ColorFramePar", 0, {{0.0f, "255,255,255,255"}, {1.0f, "0,255,128,0"}});
    fx.AddNode("ParticleSystem")
        .Set("Name", "smoke")
        .Set("FxLifeSpan", 4.0)
        .Set("Texture", "fx/smoke.spr")
        .Set("ParticlesPerSecond", 12)
        .Set("EmissionType", 4)
        .Set("EmissionHight", 0.5)
        .Set("MinSpriteVelocity", 0.5)
        .Set("MaxSpriteVelocity", 1.0)
        .Set("MinSpriteLifespan", 1.0)
        .Set("MaxSpriteLifespan", 2.0)
        .Set("MinRadius", 0.4)
        .Set("MaxRadius", 0.8)
        .Set("MinSpin", -90.0)
        .Set("MaxSpin", 90.0)
        .Set("AlongMoveDir", "0")
        .Set("PosOffset", "0,-1,8")
        .AddFloatKeys("EmissionRadiusFrame", 0, {{0.0f, 0.5f}, {4.0f, 1.5f}});
    test::EffectFileWriter& trail = fx.AddNode("PolyTube");
    trail.Set("Name", "trail")
        .Set("FxLifeSpan", 4.0)
        .Set("Texture", "fx/spark.tga")
        .Set("TrailWidth", 0.3)
        .Set("TrailLength", 40.0)
        .Set("SectionLifespan", 0.6)
        .Set("ColorStyle", 2)
        .Set("TrackType", 2)
        .Set("PosOffset", "0,0,8");
    trail.Add("TrackCircle").Set("Radius", 2.0).Set("TimeLen", 2.0);
    trail.AddColorKeys("ColorFrame", 0, {{0.0f, "255,128,200,255"}, {1.0f, "0,128,200,255"}});

    const std::string sheetText = SmokeSheet("1", "800");
    return {
        {"sample.emf", fx.Bytes()},
        {"smoke.spr", {sheetText.begin(), sheetText.end()}},
        {"spark.tga", test::WriteSpotTexture(16, 16, 0xFFFFFFFFu, 0x00FFC040u)},
        {"smoke.tga", test::WriteSpotTexture(64, 32, 0xC0A0A0A0u, 0x00404040u, 4, 2)},
    };
}

// The effect of the other kinds; its model is the demo's sample mesh (models/sample.mom,
// written by the demo's resources).
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> KindsSampleFiles() {
    test::EffectFileWriter fx("Root");
    fx.Set("Name", "kinds").Set("FxLifeSpan", 3.0);
    fx.AddNode("Sprite")
        .Set("Name", "puff")
        .Set("FxLifeSpan", 3.0)
        .Set("Texture", "fx/kinds.ems")
        .Set("Radius", 1.5)
        .Set("RoundRadius", 0.5)
        .Set("PosOffset", "-3,1,10")
        .AddColorKeys("ColorFrame", 0, {{0.0f, "255,255,255,255"}, {1.0f, "64,255,200,160"}});
    fx.AddNode("EnvFlareFx")
        .Set("Name", "sun")
        .Set("FxLifeSpan", 3.0)
        .Set("Texture", "fx/flare.tga")
        .Set("Radius", 24.0)
        .Set("BlendMode", 2)
        .Set("PosOffset", "0.3,0.3,1");
    fx.AddNode("FxSound").Set("Name", "hum").Set("FxLifeSpan", 2.0).Set("FileName", "fx/silent.wav").Set("Volume", 60);
    fx.AddNode("FxCamera")
        .Set("Name", "shake")
        .Set("FxLifeSpan", 1.0)
        .Set("MoveDuration", 0.5)
        .Set("MoveDistance", 0.4)
        .Set("MoveDirection", "1,0,0")
        .Set("RotateDuration", 0.5)
        .Set("RotateDelay", 0.25)
        .Set("RotateAngle", 2.0)
        .Set("RotateAxis", "0,0,1");
    fx.AddNode("SpeedRate")
        .Set("Name", "slow")
        .Set("FxLifeSpan", 2.0)
        .AddFloatKeys("SpeedRateFrame", 0, {{0.0f, 1.0f}, {0.5f, 0.25f}, {1.0f, 1.0f}});
    fx.AddNode("Model")
        .Set("Name", "box")
        .Set("FxLifeSpan", 3.0)
        .Set("ModelName", "models/sample.mom")
        .Set("DirType", 2)
        .Set("PosOffset", "3,0,10")
        .AddFloatKeys("AlphaFrame", 0, {{0.0f, 0.2f}, {1.0f, 1.0f}})
        .AddFloatKeys("ScaleFrame", 0, {{0.0f, 0.5f}, {1.0f, 1.0f}});

    const std::string sheetText = SmokeSheet("8", "1000");
    return {
        {"kinds.emf", fx.Bytes()},
        {"kinds.ems", {sheetText.begin(), sheetText.end()}},
        {"flare.tga", test::WriteSpotTexture(32, 32, 0xFFFFF0C0u, 0x00FF8000u)},
        {"silent.wav", test::WriteSilentWav(2205)},
    };
}

// Writes the files when asked, checks the checked-in ones are what the writers make and puts
// them under fx/ in the fixture's file system.
void CheckAndAdd(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& samples,
                 test::FxSceneFixture& f) {
    const std::filesystem::path dir = std::filesystem::path(QUOR_SOURCE_DIR) / "samples" / "fx";
    if (std::getenv("QUOR_WRITE_SAMPLES")) {
        std::filesystem::create_directories(dir);
        for (const auto& [name, bytes] : samples) {
            std::ofstream out(dir / name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }
    }
    auto* files = static_cast<host::MemoryFileSystem*>(f.world.host().files.get());
    for (const auto& [name, bytes] : samples) {
        SCOPED_TRACE(name);
        std::ifstream in(dir / name, std::ios::binary);
        ASSERT_TRUE(in.good());
        std::vector<std::uint8_t> read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(read, bytes);
        files->AddFile("fx/" + name, bytes);
    }
}

TEST(FxSamples, TheOtherKindsPlayAndGiveEverythingBack) {
    test::FxSceneFixture f;
    CheckAndAdd(KindsSampleFiles(), f);
    CheckAndAdd(SampleFiles(), f);
    auto* files = static_cast<host::MemoryFileSystem*>(f.world.host().files.get());
    files->AddFile("models/sample.mom", test::WriteMom(test::DemoSampleMesh(false)));
    host::ReferenceHost& host = f.world.host();
    host::RecordingRenderer& r = f.Renderer();
    const int before = r.LiveObjects() - r.LiveStates();
    const Matrix start = f.camera->GetWorldMatrix();
    float largestOffset = 0.0f, smallestScale = 1.0f;
    int playing = 0;
    {
        FxMgr mgr;
        FxBase* root = mgr.LoadEffectFile("fx/kinds.emf", 0);
        ASSERT_NE(root, nullptr);
        ASSERT_EQ(root->ChildCount(), 6);
        auto* sprite = dynamic_cast<SpriteFx*>(root->ChildAt(0));
        auto* flare = dynamic_cast<EnvFlareFx*>(root->ChildAt(1));
        auto* model = dynamic_cast<ModelFx*>(root->ChildAt(5));
        ASSERT_TRUE(sprite && flare && model);
        ASSERT_TRUE(dynamic_cast<FxSoundCommon*>(root->ChildAt(2)) && dynamic_cast<CameraShakeFx*>(root->ChildAt(3)) &&
                    dynamic_cast<SpeedRateFx*>(root->ChildAt(4)));
        EXPECT_FALSE(sprite->IsWholeTexture());
        root->SetScene(f.scene);
        mgr.AddObject(root);
        FrameTimeControl::Instance().SetFrameRate(60);
        root->SetPlaying(true);
        for (int i = 0; i < 60; ++i) {
            root->Update();
            root->Render();
            const Vec3 offset = f.camera->GetWorldMatrix().Row(3) - start.Row(3);
            largestOffset = std::max(largestOffset, Vec3Length(offset));
            if (!host.client.TimeScales().empty()) smallestScale = std::min(smallestScale, host.client.TimeScales().back());
            playing = std::max(playing, host.audio.Playing());
        }
        EXPECT_FALSE(static_cast<host::RecordingPrimitive*>(sprite->Primitive())->draws.empty());
        EXPECT_FALSE(static_cast<host::RecordingPrimitive*>(flare->Primitive())->draws.empty());
        EXPECT_GT(model->GetTriangleCount(), 0);
        mgr.ReleaseAll();
    }
    EXPECT_GT(largestOffset, 0.1f);
    EXPECT_LT(smallestScale, 0.5f);
    EXPECT_EQ(playing, 1);
    // After the release: the camera where it was, the normal speed, no audio object left.
    const Matrix& after = f.camera->GetWorldMatrix();
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(after.m[i], start.m[i], 1e-5f) << i;
    EXPECT_EQ(host.client.TimeScales().back(), 1.0f);
    EXPECT_EQ(host.audio.LiveAudioObjects(), 0);
    EXPECT_EQ(r.LiveObjects() - r.LiveStates(), before);
    EXPECT_EQ(r.BadReleases(), 0);
}

TEST(FxSamples, WrittenByTheWritersAndLoaded) {
    const std::filesystem::path dir = std::filesystem::path(QUOR_SOURCE_DIR) / "samples" / "fx";
    const auto samples = SampleFiles();
    if (std::getenv("QUOR_WRITE_SAMPLES")) {
        std::filesystem::create_directories(dir);
        for (const auto& [name, bytes] : samples) {
            std::ofstream out(dir / name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }
    }
    test::FxSceneFixture f;
    auto* files = static_cast<host::MemoryFileSystem*>(f.world.host().files.get());
    for (const auto& [name, bytes] : samples) {
        SCOPED_TRACE(name);
        std::ifstream in(dir / name, std::ios::binary);
        ASSERT_TRUE(in.good());
        std::vector<std::uint8_t> read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(read, bytes);
        files->AddFile("fx/" + name, bytes);
    }
    host::RecordingRenderer& r = f.Renderer();
    const int before = r.LiveObjects() - r.LiveStates();
    {
        FxMgr mgr;
        FxBase* root = mgr.LoadEffectFile("fx/sample.emf", 0);
        ASSERT_NE(root, nullptr);
        ASSERT_EQ(root->ChildCount(), 3);
        auto* sparks = dynamic_cast<ParticleSystem*>(root->ChildAt(0));
        auto* smoke = dynamic_cast<ParticleSystem*>(root->ChildAt(1));
        auto* trail = dynamic_cast<PolyTubeFx*>(root->ChildAt(2));
        ASSERT_TRUE(sparks && smoke && trail);
        EXPECT_TRUE(smoke->HasSheet());
        EXPECT_EQ(smoke->Grid().FrameCount(), 8);
        root->SetScene(f.scene);
        TrackBase* track = trail->GetBoundTrack();
        ASSERT_NE(track, nullptr) << "the trail rides its circle track";
        // The host's frame rate and speed.
        FrameTimeControl::Instance().SetFrameRate(60);
        FrameTimeControl::Instance().SetSpeed(1.0f);
        root->SetPlaying(true);
        const Vec3 first = trail->GetWorldMatrix().Row(3);
        float farthest = 0.0f;
        for (int i = 0; i < 60; ++i) {
            root->Update();
            root->Render();
            farthest = std::max(farthest, Vec3Length(trail->GetWorldMatrix().Row(3) - first));
        }
        FrameTimeControl::Instance().Reset();
        EXPECT_NEAR(track->GetTime(), 1000.0f, 1.0f) << "a second of the effect's clock";
        EXPECT_GT(farthest, 0.5f) << "the track moves the trail";
        EXPECT_GT(sparks->LiveCount(), 20);
        EXPECT_GT(smoke->LiveCount(), 5);
        EXPECT_EQ(trail->Sections().size(), 37u) << "the trail grows along its track";
        mgr.AddObject(root);
    }
    EXPECT_EQ(r.LiveObjects() - r.LiveStates(), before);
    EXPECT_EQ(r.BadReleases(), 0);
}

}  // namespace
}  // namespace quor::world
