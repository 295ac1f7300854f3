// The sample effect of samples/fx: two particle systems (one drawing from a sheet) and a trail
// on a circle track. Each file is what the writers make; QUOR_WRITE_SAMPLES=1 rewrites them.
// The effect loads through the manager, runs, and gives back everything it made.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/EffectFileWriter.h"
#include "tests/support/world/SheetFileWriter.h"
#include "tests/support/world/fx/FxSceneFixture.h"
#include "world/core/FrameTimeControl.h"
#include "world/fx/FxMgr.h"
#include "world/fx/ParticleSystem.h"
#include "world/fx/PolyTubeFx.h"

namespace quor::world {
namespace {

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

    test::SheetFileDesc sheet;
    sheet.columns = "4";
    sheet.rows = "2";
    sheet.third = "1";
    sheet.fourth = "4";
    sheet.texture = "fx/smoke.tga";
    sheet.length = "800";
    const std::string sheetText = test::WriteSheetFile(sheet, test::SheetLineForm::kCrLf);
    return {
        {"sample.emf", fx.Bytes()},
        {"smoke.spr", {sheetText.begin(), sheetText.end()}},
        {"spark.tga", test::WriteSpotTexture(16, 16, 0xFFFFFFFFu, 0x00FFC040u)},
        {"smoke.tga", test::WriteSpotTexture(64, 32, 0xC0A0A0A0u, 0x00404040u, 4, 2)},
    };
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
        EXPECT_NE(trail->GetBoundTrack(), nullptr) << "the trail rides its circle track";
        FrameTimeControl::Instance().SetFrameRate(60);
        root->SetPlaying(true);
        // The whole effect moves too, so the trail grows whatever its track does.
        for (int i = 0; i < 60; ++i) {
            root->SetPosition({0.05f * float(i), 0.0f, 0.0f});
            root->Update();
            root->Render();
        }
        EXPECT_GT(sparks->LiveCount(), 20);
        EXPECT_GT(smoke->LiveCount(), 5);
        EXPECT_GT(trail->Sections().size(), 10u);
        mgr.AddObject(root);
    }
    EXPECT_EQ(r.LiveObjects() - r.LiveStates(), before);
    EXPECT_EQ(r.BadReleases(), 0);
}

}  // namespace
}  // namespace quor::world
