#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingPrimitive.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"
#include "tests/support/world/scene/GroundFiles.h"
#include "tests/support/world/scene/MapFixtures.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/fx/Picture.h"
#include "world/scene/MaskList.h"
#include "world/scene/MaskPicture.h"
#include "world/scene/ScreenMgr.h"

namespace quor::world {
namespace {

using test::WorldFixture;

struct GroundFixture : testing::Test {
    GroundFixture() {
        files = static_cast<host::MemoryFileSystem*>(fx.host().files.get());
        renderer().backBufferWidth = 640;
        renderer().backBufferHeight = 480;
        win32::MessageSink::Instance().Clear();
        win32::TimeSource::SetManual(100000);
    }
    ~GroundFixture() override {
        ground.reset();
        win32::TimeSource::UseReal();
    }
    host::RecordingRenderer& renderer() { return fx.host().renderer; }
    ScreenMgr& Make(int width, int height, const char* dir = "map\\town", bool inlineLoader = true) {
        ground = std::make_unique<ScreenMgr>(nullptr, inlineLoader);
        const int size[2] = {width, height};
        EXPECT_TRUE(ground->Init(dir, size)) << fx.capture.Joined();
        return *ground;
    }
    // One frame as the scene runs it (view, visible blocks, update), then the loader's batch.
    void Frame(float x, float y, bool runLoader = true) {
        win32::TimeSource::Advance(16);
        const float view[2] = {x, y};
        ground->SetViewPosition(view);
        ground->UpdateBlocks();
        ground->Update(nullptr, false);
        ground->RenderMasks();
        ground->RenderFrontLayers();
        if (runLoader) ground->Loader().RunBatch();
    }
    bool DebugSaid(const std::string& text) const {
        const auto lines = win32::MessageSink::Instance().DebugOutput();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    void AddDds(const std::string& name, std::uint32_t w, std::uint32_t h, const fixtures::PixelFn& pixel) {
        files->AddFile(name, fixtures::DdsBytes(w, h, pixel));
    }

    WorldFixture fx;
    host::MemoryFileSystem* files = nullptr;
    std::unique_ptr<ScreenMgr> ground;
};

TEST_F(GroundFixture, InitGridFromMapSize) {
    struct Case {
        int width, height, cols, rows;
    };
    for (const Case& c : {Case{300, 256, 2, 1}, Case{256, 256, 1, 1}, Case{0, 256, 0, 1}, Case{257, 513, 2, 3}}) {
        const int before = renderer().LivePrimitives();
        Make(c.width, c.height);
        EXPECT_EQ(ground->Columns(), c.cols) << c.width;
        EXPECT_EQ(ground->Rows(), c.rows) << c.height;
        EXPECT_EQ(int(ground->Blocks().size()), c.cols * c.rows);
        EXPECT_EQ(renderer().LivePrimitives() - before, c.cols * c.rows);
        ground.reset();
        EXPECT_EQ(renderer().LivePrimitives(), before);
    }
    // Row first in the name; the rectangle and index of column 2, row 1.
    Make(768, 512, "D");
    const LayerRecord& r = ground->Records()[5];
    EXPECT_EQ(r.name, "D\\map_1_2");
    EXPECT_EQ(r.type, LayerRecord::kBlock);
    EXPECT_EQ(r.index, 5);
    EXPECT_EQ(std::vector<float>({r.left, r.top, r.right, r.bottom}), std::vector<float>({512, 256, 768, 512}));
}

TEST_F(GroundFixture, InitRefusesBadInput) {
    const std::string longDir(256, 'd');
    struct Case {
        const char* dir;
        int width, height;
    };
    for (const Case& c : {Case{"d", -1, 256}, Case{"d", 256, -5}, Case{"d", 1 << 20, 1 << 20},
                          Case{longDir.c_str(), 256, 256}, Case{nullptr, 256, 256}}) {
        const int before = renderer().LivePrimitives();
        ScreenMgr g(nullptr, true);
        const int size[2] = {c.width, c.height};
        EXPECT_FALSE(g.Init(c.dir, size)) << c.width << " x " << c.height;
        EXPECT_TRUE(g.Blocks().empty());
        EXPECT_EQ(renderer().LivePrimitives(), before);
    }
    // One character less fits.
    ScreenMgr g(nullptr, true);
    const int size[2] = {256, 256};
    EXPECT_TRUE(g.Init(longDir.substr(1).c_str(), size));
}

TEST(MaskList, LineRules) {
    struct Case {
        std::string text;
        std::vector<std::string> names;
    };
    const std::string nul("a,1,1,1,1,0\0b,1,1,1,1,0", 23);
    const Case cases[] = {
        {"tree,10,20,30,40,0", {"tree"}},
        {"a,-1,0,5,5,0\r\nb,0,-1,5,5,0\r\nc,0,0,0,5,0\r\nd,0,0,5,0,0\r\ne,1,2,3,4,2", {"e"}},
        {"a,1,1,1,1,0\r\n\r\nb,1,1,1,1,0", {"a"}},
        {"a,1,1,1,1,0\r\nno comma\r\nb,1,1,1,1,0", {"a"}},
        {"a,99999999999,1,1,1,0\r\nb,2147483647,0,1,1,0\r\nc,0,2147483600,1,100,0\r\nd,2147483646,0,1,1,3", {"d"}},
        {"a,1,2,3\r\nb,1,1,x,1,0\r\nc,1,1,1,1,0\r\n", {"c"}},
        {"", {}},
        {nul, {"a"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        for (const MaskListEntry& e : ParseMaskList(c.text.data(), c.text.size())) names.push_back(e.name);
        EXPECT_EQ(names, c.names) << c.text;
    }
    const auto tree = ParseMaskList("tree,10,20,30,40,0", 18);
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(std::vector<int>({tree[0].x, tree[0].y, tree[0].width, tree[0].height, tree[0].type}),
              std::vector<int>({10, 20, 30, 40, 0}));
}

TEST_F(GroundFixture, MaskListBesideBlockDirectory) {
    files->AddFile("map\\mask.txt", std::string("tree_1,10,20,30,40,0\r\nbad,-1,0,1,1,0\r\n"));
    Make(512, 256, "map\\town");
    ASSERT_EQ(ground->Records().size(), 3u);
    const LayerRecord& r = ground->Records()[2];
    EXPECT_EQ(r.name, "tree_1");
    EXPECT_EQ(r.type, LayerRecord::kMask);
    EXPECT_EQ(r.index, -1);
    EXPECT_EQ(std::vector<float>({r.left, r.top, r.right, r.bottom}), std::vector<float>({10, 20, 40, 60}));
}

TEST_F(GroundFixture, VisibleRangeOn640x480) {
    struct Case {
        int width, height;
        float x, y;
        std::vector<int> range;
    };
    for (const Case& c : {Case{2560, 2560, 0, 0, {0, 0, 3, 2}}, Case{256, 256, 0, 0, {0, 0, 0, 0}},
                          Case{2560, 2560, -1000, -600, {2, 1, 7, 5}}, Case{2560, 2560, -5000, -5000, {10, 10, 9, 9}}}) {
        Make(c.width, c.height);
        const float view[2] = {c.x, c.y};
        ground->SetViewPosition(view);
        const int* v = ground->VisibleRange();
        // A view past the map leaves an empty range.
        EXPECT_EQ(std::vector<int>(v, v + 4), c.range) << c.x << ", " << c.y;
    }
}

// Each quad in range stands at its block's place on screen, and is given a rectangle only when
// it must move: moving the view moves the quads in range once, a frame's second update and a
// still view give none, and a wider range places only the blocks it adds.
TEST_F(GroundFixture, BlockQuadsPlacedOncePerMove) {
    struct Step {
        float x, y;
        int width;
        int placed;
    };
    Make(2560, 2560);
    auto drawExCalls = [this] {
        int n = 0;
        for (const GroundBlock& b : ground->Blocks()) n += static_cast<host::RecordingPrimitive*>(b.quad)->drawExCount;
        return n;
    };
    int step = 0;
    // Init placed every quad for the view at the origin; 4 x 4 blocks after the move; the wider
    // screen adds columns 4 and 5; narrowing and widening again move nothing.
    for (const Step& s : {Step{0, 0, 640, 0}, Step{-100, -50, 640, 16}, Step{-100, -50, 640, 0},
                          Step{-100, -50, 1024, 8}, Step{-100, -50, 640, 0}, Step{-100, -50, 1024, 0},
                          Step{-612, -50, 1024, 28}}) {
        renderer().backBufferWidth = s.width;
        const int before = drawExCalls();
        const float view[2] = {s.x, s.y};
        ground->SetViewPosition(view);
        ground->UpdateBlocks();
        EXPECT_EQ(drawExCalls() - before, s.placed) << "step " << step;
        const int* v = ground->VisibleRange();
        for (int r = v[1]; r <= v[3]; ++r)
            for (int c = v[0]; c <= v[2]; ++c) {
                const GroundBlock& block = ground->Blocks()[std::size_t(r * 10 + c)];
                const auto* quad = static_cast<host::RecordingPrimitive*>(block.quad);
                EXPECT_EQ(std::vector<float>(quad->drawExRect, quad->drawExRect + 4),
                          std::vector<float>({c * 256 + s.x, r * 256 + s.y, (c + 1) * 256 + s.x, (r + 1) * 256 + s.y}))
                    << "step " << step << ", block " << c << ", " << r;
                EXPECT_EQ(std::vector<float>(quad->drawExUV, quad->drawExUV + 4), std::vector<float>({0, 0, 1, 1}));
            }
        ++step;
    }
}

TEST_F(GroundFixture, BlockFormatFallback) {
    auto grey = [](std::uint32_t, std::uint32_t) { return 0xFF808080u; };
    files->AddFile("b\\map_0_0.jpg", fixtures::JpegBytes(8, 4, grey));
    files->AddFile("b\\map_0_1.tga", fixtures::TgaBytes(4, 4, grey));
    struct Case {
        const char* name;
        const char* loaded;
        std::uint32_t width;
    };
    for (const Case& c : {Case{"b\\map_0_0", "b\\map_0_0.jpg", 8}, Case{"b\\map_0_1", "b\\map_0_1.tga", 4},
                          Case{"b\\map_9_9", "", 256}}) {
        fx.capture.Clear();
        renderer().ClearCalls();
        GroundLoadJob job(c.name, GroundLoadJob::kBlock, 0, 0, 0, nullptr);
        job.Run();
        ASSERT_NE(job.texture, nullptr);
        EXPECT_EQ(job.textureHandle, job.texture->GetSurface());
        const auto* t = static_cast<host::RecordingTexture*>(job.texture);
        EXPECT_EQ(t->name, c.loaded);
        EXPECT_EQ(t->width, c.width);
        const auto calls = renderer().Calls();
        EXPECT_EQ(calls.front(), "LoadTexture(" + std::string(c.name) + ".dds,21,0,-3,0,0,0)");
        if (!*c.loaded) {
            // One error naming the last format tried; a blank block in its place.
            const auto lines = fx.capture.Lines();
            EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                    [](const std::string& l) { return l.find("b\\map_9_9.tga") != std::string::npos; }),
                      1);
            EXPECT_EQ(calls.back(), "CreateTexture(256,256,0,0,1,0)");
        }
        job.FreeResults();
        EXPECT_EQ(renderer().LiveTextures(), 0);
    }
}

// Blocks named after their grid place, for jobs that need no real file.
std::unique_ptr<GroundLoadJob> BlockJob(int index, std::int32_t kind = GroundLoadJob::kBlock) {
    return std::make_unique<GroundLoadJob>("g\\map_0_" + std::to_string(index), kind, index, 0, 0, nullptr);
}

TEST_F(GroundFixture, JobsAddedWhileBusyArriveNextHandOverInOrder) {
    GroundTextureLoader loader(true);
    ASSERT_TRUE(loader.IsBusy());  // as at start, before the worker's first look
    loader.Add(BlockJob(0));
    loader.Add(BlockJob(1));
    EXPECT_TRUE(loader.RunBatch());
    EXPECT_TRUE(loader.GetFinishedJobs().empty());
    loader.Submit(true);
    loader.Add(BlockJob(2));  // while busy: waits for the next hand-over
    EXPECT_TRUE(loader.RunBatch());
    ASSERT_EQ(loader.GetFinishedJobs().size(), 2u);
    EXPECT_EQ(loader.GetFinishedJobs()[0]->index, 0);
    EXPECT_EQ(loader.GetFinishedJobs()[1]->index, 1);
    EXPECT_EQ(renderer().LiveTextures(), 2);
    // Results nobody took go with their jobs.
    loader.Submit(true);
    EXPECT_EQ(renderer().LiveTextures(), 0);
    loader.RunBatch();
    ASSERT_EQ(loader.GetFinishedJobs().size(), 1u);
    EXPECT_EQ(loader.GetFinishedJobs()[0]->index, 2);
    loader.Submit(true);
    EXPECT_EQ(renderer().LiveTextures(), 0);
    EXPECT_EQ(renderer().BadReleases(), 0);
}

TEST_F(GroundFixture, CancelWithBothListsFullFreesEveryResult) {
    const int primitives = renderer().LivePrimitives();
    GroundTextureLoader loader(true);
    loader.RunBatch();
    loader.Add(BlockJob(0));
    loader.Add(std::make_unique<GroundLoadJob>("far.dds", GroundLoadJob::kBackLayer, -1, 5, 6, nullptr));
    loader.Add(std::make_unique<GroundLoadJob>("mask_1.bmp", GroundLoadJob::kMask, -1, 5, 6, nullptr));
    loader.Submit(true);
    loader.RunBatch();
    for (int i = 1; i < 3; ++i) {
        auto job = BlockJob(i);
        job->Run();
        loader.Add(std::move(job));
    }
    EXPECT_GE(renderer().LiveTextures(), 4);
    loader.CancelAll();
    EXPECT_TRUE(loader.GetFinishedJobs().empty());
    EXPECT_EQ(loader.PendingCount(), 0u);
    EXPECT_FALSE(loader.IsBusy());  // unchanged
    EXPECT_EQ(renderer().LiveTextures(), 0);
    EXPECT_EQ(renderer().LivePrimitives(), primitives);
    EXPECT_EQ(renderer().BadReleases(), 0);
}

TEST_F(GroundFixture, LoaderThreadHandsBatchesBackThread) {
    auto waitIdle = [](GroundTextureLoader& l) {
        for (int i = 0; i < 2000 && l.IsBusy(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return !l.IsBusy();
    };
    {
        GroundTextureLoader loader;
        EXPECT_EQ(loader.ThreadPriority(), win32::THREAD_PRIORITY_LOWEST);
        ASSERT_TRUE(waitIdle(loader));
        for (int i = 0; i < 5; ++i) loader.Add(BlockJob(i));
        loader.Submit(true);
        ASSERT_TRUE(waitIdle(loader));
        ASSERT_EQ(loader.GetFinishedJobs().size(), 5u);
        for (int i = 0; i < 5; ++i) EXPECT_NE(loader.GetFinishedJobs()[std::size_t(i)]->texture, nullptr);
        loader.Add(BlockJob(7));
        loader.Submit(true);
        // Dropped while (perhaps) busy: it waits, stops the worker and frees the rest.
    }
    EXPECT_EQ(renderer().LiveTextures(), 0);
}

TEST_F(GroundFixture, InstallingRejectsIndicesOutsideTheGrid) {
    // A mask-list line of type 4 asks for a block with index -1.
    files->AddFile("map\\mask.txt", std::string("odd,0,0,10,10,4"));
    AddDds("map\\town\\map_0_0.dds", 4, 4, [](std::uint32_t, std::uint32_t) { return 0xFFFFFFFFu; });
    Make(256, 256);
    for (int i = 0; i < 4; ++i) Frame(0, 0);
    EXPECT_TRUE(DebugSaid("地图容器越界"));
    EXPECT_NE(ground->Blocks()[0].texture, nullptr);
    EXPECT_EQ(renderer().LiveTextures(), 1);  // the refused job's texture went with it
    ground.reset();
    EXPECT_EQ(renderer().LiveTextures(), 0);
    EXPECT_EQ(renderer().BadReleases(), 0);
}

TEST_F(GroundFixture, TextureNotReadyIsInstalledAndDrawnOnceReady) {
    renderer().SetTexturePollsBeforeReady(3);
    AddDds("map\\town\\map_0_0.dds", 4, 4, [](std::uint32_t, std::uint32_t) { return 0xFFFFFFFFu; });
    Make(256, 256);
    int installedAt = -1, drawnAt = -1;
    for (int frame = 0; frame < 10; ++frame) {
        Frame(0, 0);
        if (installedAt < 0 && ground->Blocks()[0].texture) installedAt = frame;
        if (drawnAt < 0 && ground->BlocksDrawn() == 1) drawnAt = frame;
        EXPECT_LE(renderer().LiveTextures(), 1);
    }
    ASSERT_GE(installedAt, 0);
    EXPECT_EQ(drawnAt, installedAt + 3);
    EXPECT_TRUE(ground->IsReady());
}

TEST_F(GroundFixture, IsOpaqueAtReadsTheBlockAlpha) {
    // A 300-pixel map: the second block's texture is 44 pixels wide.
    AddDds("map\\town\\map_0_0.dds", 256, 256,
           [](std::uint32_t x, std::uint32_t) { return x < 128 ? 0xFF000000u : 0xFE000000u; });
    AddDds("map\\town\\map_0_1.dds", 44, 256, [](std::uint32_t, std::uint32_t) { return 0x00000000u; });
    Make(300, 256);
    const float early[2] = {10, 10};
    EXPECT_TRUE(ground->IsOpaqueAt(early));  // no texture yet
    for (int i = 0; i < 3; ++i) Frame(0, 0);
    ASSERT_EQ(ground->ResidentBlocks(), 2);
    struct Case {
        float x, y;
        bool opaque;
    };
    for (const Case& c : {Case{0, 5, true}, Case{10, 0, true}, Case{10, 10, true}, Case{200, 10, false},
                          Case{266, 10, false}, Case{256 + 100, 10, true}, Case{1000, 10, true},
                          Case{NAN, 10, true}, Case{10, 1e30f, true}}) {
        const float p[2] = {c.x, c.y};
        EXPECT_EQ(ground->IsOpaqueAt(p), c.opaque) << c.x << ", " << c.y;
    }
}

TEST_F(GroundFixture, ReadyOnlyOnceTheFirstPassIsInstalled) {
    Make(1024, 1024);
    for (int i = 0; i < 2; ++i) {
        Frame(0, 0, false);
        EXPECT_FALSE(ground->IsReady());
        ground->Loader().RunBatch();
    }
    EXPECT_TRUE(ground->FirstPassDone());
    EXPECT_FALSE(ground->IsReady());  // the first pass's jobs have only just been run
    Frame(0, 0);
    EXPECT_TRUE(ground->IsReady());
}

// A mask image: every pixel palette entry 0, black (a green byte of 0 marks "behind").
std::vector<std::uint8_t> MaskBitmap(int width, int height) {
    fixtures::Bitmap8 bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.pixels.assign(std::size_t(width) * std::size_t(height), 0);
    bmp.palette = {0xFF000000u, 0xFFFFFFFFu};
    return bmp.Build();
}

TEST_F(GroundFixture, MasksFollowTheirBlocksAndComeBackIntoView) {
    for (int c = 0; c < 20; ++c) renderer().Store()->DefineTexture("map\\town\\map_0_" + std::to_string(c) + ".dds");
    struct MaskFile {
        const char* path;
        int x, y, w, h;
    };
    const MaskFile masks[] = {{"map\\m\\tree_1.bmp", 200, 100, 100, 50},
                              {"map\\m\\tree_2.bmp", 0, 0, 50, 50},
                              {"map\\m\\rock.bmp", 300, 0, 20, 20}};
    std::string list;
    for (const MaskFile& m : masks) {
        files->AddFile(m.path, MaskBitmap(m.w, m.h));
        host::TextureDesc desc;
        desc.width = std::uint32_t(m.w);
        desc.height = std::uint32_t(m.h);
        renderer().Store()->DefineTexture(m.path, desc);
        list += std::string(m.path) + "," + std::to_string(m.x) + "," + std::to_string(m.y) + "," +
                std::to_string(m.w) + "," + std::to_string(m.h) + ",0\r\n";
    }
    files->AddFile("map\\mask.txt", list);
    Make(20 * 256, 256);
    for (int i = 0; i < 5; ++i) Frame(0, 0);
    auto byName = [&](const std::string& path) -> MaskPicture* {
        for (const auto& [record, picture] : ground->MaskPictures())
            if (record->name == path) return picture;
        return nullptr;
    };
    MaskPicture* tree1 = byName("map\\m\\tree_1.bmp");
    MaskPicture* tree2 = byName("map\\m\\tree_2.bmp");
    MaskPicture* rock = byName("map\\m\\rock.bmp");
    ASSERT_TRUE(tree1 && tree2 && rock);
    EXPECT_EQ(tree1->GetName(), "tree");
    EXPECT_EQ(rock->GetName(), "");
    // Each part takes the texture of the block it lies in.
    ASSERT_EQ(tree1->GetParts().size(), 2u);
    EXPECT_EQ(tree1->GetParts()[0]->GetBaseTexture(), ground->Blocks()[0].texture);
    EXPECT_EQ(tree1->GetParts()[1]->GetBaseTexture(), ground->Blocks()[1].texture);
    EXPECT_EQ(ground->Blocks()[1].maskParts.count(tree1->GetParts()[1]), 1u);
    EXPECT_EQ(ground->Blocks()[1].maskParts.count(rock->GetParts()[0]), 1u);

    // A picture standing in the first tree marks the whole group, which shares the deepest depth.
    struct Drop {
        void operator()(PictureBase* p) const { p->DeletingDestructor(); }
    };
    std::unique_ptr<PictureBase, Drop> standing(new PictureEmpty(nullptr)), away(new PictureEmpty(nullptr));
    standing->SetPosition(250, 120);
    ground->ResetMaskMarks();
    EXPECT_TRUE(ground->MarkMasksAt(standing.get()));
    EXPECT_TRUE(tree1->IsGroupMarked() && tree2->IsGroupMarked());
    EXPECT_FALSE(rock->IsGroupMarked());
    EXPECT_EQ(tree1->GetDepth(), 150);
    EXPECT_EQ(tree2->GetDepth(), 150);
    away->SetPosition(400, 200);
    EXPECT_FALSE(ground->MarkMasksAt(away.get()));
    ground->RenderMasks();
    EXPECT_GT(static_cast<host::RecordingPrimitive*>(tree1->GetParts()[0]->GetQuad())->drawCount, 0);
    EXPECT_EQ(ground->MasksDrawn(), 3);

    // Far away for over a second: the blocks go, and so do the masks, out of their blocks' lists.
    for (int i = 0; i < 90; ++i) Frame(-4500, 0);
    EXPECT_EQ(ground->Blocks()[0].texture, nullptr);
    EXPECT_TRUE(ground->Blocks()[1].maskParts.empty());
    for (const auto& [record, picture] : ground->MaskPictures()) {
        EXPECT_EQ(picture, nullptr) << record->name;
        EXPECT_FALSE(record->requested);
    }
    // Back again: loaded anew.
    for (int i = 0; i < 8; ++i) Frame(0, 0);
    ASSERT_NE(byName("map\\m\\tree_1.bmp"), nullptr);
    EXPECT_EQ(byName("map\\m\\tree_1.bmp")->GetParts()[0]->GetBaseTexture(), ground->Blocks()[0].texture);
    ground.reset();
    EXPECT_EQ(renderer().LiveTextures(), 0);
    EXPECT_EQ(renderer().BadReleases(), 0);
}

}  // namespace
}  // namespace quor::world
