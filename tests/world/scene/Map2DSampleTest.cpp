// The demo's 2D town map, as its writer builds it, loads whole through the scene: every file it
// names is there and readable, and the path data, the area map and the pictures agree with the
// town's plan.
#include <gtest/gtest.h>

#include <string>

#include "platform/host/MemoryFileSystem.h"
#include "platform/win32/Messages.h"
#include "tests/support/world/DemoMap2D.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/fx/IPicture.h"
#include "world/scene/AreaData.h"
#include "world/scene/Scene2D.h"

namespace quor::world {
namespace {

TEST(Map2DSample, TownLoadsWhole) {
    test::WorldFixture fx;
    auto* files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
    std::string sceneText;
    for (const auto& [path, bytes] : test::DemoMap2DFiles()) {
        const std::string text(bytes.begin(), bytes.end());
        files->AddFile(path.c_str(), text);
        if (path == "map2d/town.scn2") sceneText = text;
    }
    ASSERT_FALSE(sceneText.empty());
    fx.host().renderer.backBufferWidth = 640;
    fx.host().renderer.backBufferHeight = 480;
    win32::MessageSink::Instance().Clear();
    Scene2D scene;
    ASSERT_TRUE(scene.Create("map2d/town.scn2", 0, 0, 0));
    EXPECT_EQ(scene.GetProgress(), 0u);
    for (bool ok : {scene.LoadAStar(), scene.LoadWaters(), scene.LoadFxes(), scene.LoadModels(), scene.LoadPlaneFogs(),
                    scene.LoadElectricities(), scene.LoadBlazes()})
        EXPECT_TRUE(ok);
    // Every entity record made its picture.
    EXPECT_TRUE(win32::MessageSink::Instance().MessageBoxes().empty());
    std::size_t records = 0;
    for (std::size_t at = sceneText.find("FilePathIndex="); at != std::string::npos;
         at = sceneText.find("FilePathIndex=", at + 1))
        ++records;
    EXPECT_EQ(scene.GetRootPicture()->GetChildCount(), int(records));
    int width = 0, height = 0;
    scene.GetMapSize(&width, &height);
    EXPECT_EQ(width, 1600);
    EXPECT_EQ(height, 1200);

    // From north of the wall to the market square: a path through the gate.
    const std::int32_t* path = nullptr;
    const int cells = scene.FindPathFree(160, 320, 800, 1000, &path);
    ASSERT_GT(cells, 1);
    bool throughGate = false;
    for (int i = 0; i < cells; ++i) {
        const std::int32_t x = path[2 + 2 * i], y = path[3 + 2 * i];
        if (y >= 560 && y < 592) throughGate = throughGate || (x >= 720 && x < 880);
    }
    EXPECT_TRUE(throughGate);
    EXPECT_TRUE(scene.IsWalkable(600.0f, 420.0f));
    EXPECT_FALSE(scene.IsWalkable(248.0f, 240.0f));
    EXPECT_FALSE(scene.IsWalkable(1470.0f, 300.0f));

    AreaData* area = scene.CreateAreaData("map2d/town_area.bmp");
    ASSERT_NE(area, nullptr);
    const int s = test::kTownAreaScale;
    EXPECT_EQ(area->Width(), width / s);
    EXPECT_EQ(area->GetValue(800 / s, 700 / s), std::int32_t(0xFFC8A040u));
    EXPECT_EQ(area->GetValue(1470 / s, 300 / s), std::int32_t(0xFF2050C0u));
    delete area;

    // The mask list: the oak's crown as a group of two halves, the bridge as a plain mask. The
    // walker takes part in the masks and stands where the oak's mask covers (green 0).
    std::string maskList;
    for (const auto& [path, bytes] : test::DemoMap2DFiles())
        if (path == "map2d/mask.txt") maskList.assign(bytes.begin(), bytes.end());
    for (const char* line : {"map2d/mask/oak_0.bmp,1000,1010,80,160,0\r\n", "map2d/mask/oak_1.bmp,1080,1010,80,160,0\r\n",
                             "map2d/mask/bridge.bmp,1428,932,88,64,0\r\n"})
        EXPECT_NE(maskList.find(line), std::string::npos) << line;
    IPicture* walker = nullptr;
    for (int i = 0; i < scene.GetRootPicture()->GetChildCount(); ++i)
        if (std::string(scene.GetRootPicture()->GetChild(i)->GetName()) == "walker")
            walker = scene.GetRootPicture()->GetChild(i);
    ASSERT_NE(walker, nullptr);
    EXPECT_EQ(walker->GetCustomFlag(), 1);
    const PicPoint at = walker->GetLocalPosition();
    AreaData* oak = scene.CreateAreaData("map2d/mask/oak_0.bmp");
    ASSERT_NE(oak, nullptr);
    EXPECT_EQ((oak->GetValue(int(at.x) - 1000, int(at.y) - 1010) >> 8) & 0xFF, 0);
    // At the top of the mask, above the crown's rim, nothing is behind it.
    EXPECT_NE((oak->GetValue(int(at.x) - 1000, 0) >> 8) & 0xFF, 0);
    delete oak;
}

}  // namespace
}  // namespace quor::world
