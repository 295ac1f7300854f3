#include "world/fx/ModelFx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/fx/FxSceneFixture.h"
#include "world/mesh/MeshBase.h"
#include "world/mesh/ModelBase.h"
#include "world/mesh/SubMesh.h"

namespace quor::world {
namespace {

using test::FxSceneFixture;

// A model that logs the calls the effect makes of it and answers the animation kind asked.
struct ProbeModel : ModelSkeletal {
    ProbeModel(std::vector<std::string>* log, int* alive, int kind) : log(log), alive(alive), kind(kind) { ++*alive; }
    ~ProbeModel() override { --*alive; }
    bool ChangeMeshFromMemory(const char* name, const void* image, std::size_t size) override {
        log->push_back("load while " + std::to_string(IsLoading()));
        return ModelSkeletal::ChangeMeshFromMemory(name, image, size);
    }
    bool HasAnimation(int k) override { return k == kind; }
    std::uint16_t FindAnimation(const char* name, bool) override { return std::string(name) == "run" ? 7 : 0xFFFF; }
    bool PlaySkeletalAnimation(int index, float transit, int type, float start, int loopFlags, float speed) override {
        log->push_back("skeletal " + std::to_string(index) + " " + std::to_string(int(transit)) + " " +
                       std::to_string(type) + " " + std::to_string(int(start)) + " " + std::to_string(loopFlags) + " " +
                       std::to_string(int(speed)));
        return true;
    }
    bool PlayAnimation(int index, int k, float start) override {
        log->push_back("play " + std::to_string(index) + " " + std::to_string(k) + " " + std::to_string(int(start)));
        return true;
    }
    void StopAnimation(int k) override { log->push_back("stop " + std::to_string(k)); }
    bool PreDraw() override {
        log->push_back("predraw");
        return true;
    }
    void DrawParts(int pass) override { log->push_back("draw " + std::to_string(pass)); }

    std::vector<std::string>* log;
    int* alive;
    int kind;
};

struct ProbeModelFx : ModelFx {
    ModelBase* CreateModel() override { return new ProbeModel(log, alive, kind); }
    static std::vector<std::string>* log;
    static int* alive;
    static int kind;
};
std::vector<std::string>* ProbeModelFx::log = nullptr;
int* ProbeModelFx::alive = nullptr;
int ProbeModelFx::kind = 3;

struct ModelFxFixture : FxSceneFixture {
    ModelFxFixture() {
        static_cast<host::MemoryFileSystem*>(world.host().files.get())->AddFile("fx/q.mom", test::WriteMom(test::SquareMesh()));
        ProbeModelFx::log = &log;
        ProbeModelFx::alive = &alive;
    }
    std::unique_ptr<ProbeModelFx, test::FxNodeDeleter> Make(const std::string& attributes,
                                                             const std::string& children = "<Pad/>") {
        return Load<ProbeModelFx>("Model", "ModelName=\"fx/q.mom\" " + attributes, children);
    }
    std::vector<std::string> log;
    int alive = 0;
};

const std::string kKeys =
    "<AlphaFrame ChangeType=\"0\"><K Time=\"0\" Value=\"0.2\"/><K Time=\"1\" Value=\"0.8\"/></AlphaFrame>"
    "<ScaleFrame ChangeType=\"1\"><K Time=\"0\" Value=\"0.5\"/><K Time=\"1\" Value=\"3\"/></ScaleFrame>";

TEST(ModelFx, DirTypeTable) {
    const int table[][2] = {{0, 1}, {1, 2}, {2, 0}, {3, 3}, {7, 7}, {-1, -1}};
    ModelFxFixture f;
    for (const auto& row : table) {
        EXPECT_EQ(ModelFx::DirectionMode(row[0]), row[1]);
        auto m = f.Make("DirType=\"" + std::to_string(row[0]) + "\"");
        ASSERT_TRUE(m);
        EXPECT_EQ(m->Model()->GetUserInt2(), row[1]);
    }
}

TEST(ModelFx, LoadsMarkingTheModelLoadingAndDropsAMissingFile) {
    ModelFxFixture f;
    auto m = f.Make("");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->GetKind(), kFxKindModel);
    ASSERT_EQ(f.log.size(), 1u);
    EXPECT_EQ(f.log[0], "load while 1");
    EXPECT_EQ(m->Model()->IsLoading(), 0);
    EXPECT_GT(m->GetTriangleCount(), 0);
    EXPECT_EQ(f.alive, 1);
    // A file that is not there: logged, the model destroyed, the node dropped.
    EXPECT_FALSE(f.Load<ProbeModelFx>("Model", "ModelName=\"fx/none.mom\"", "<Pad/>"));
    EXPECT_TRUE(f.world.capture.Contains("Failed to load model-fx's mesh file fx/none.mom!"));
    EXPECT_FALSE(f.Load<ProbeModelFx>("Model", "ModelName=\"\"", "<Pad/>"));
    EXPECT_TRUE(f.world.capture.Contains("Model-fx's ModelName is empty!"));
    EXPECT_EQ(f.alive, 1);
    m->Release();
    EXPECT_EQ(f.alive, 0);
    EXPECT_EQ(m->GetModel(), nullptr);
}

TEST(ModelFx, AnimationKindsPlayAndStop) {
    struct Case {
        int kind;
        std::string play;
    };
    const Case cases[] = {
        {1, "skeletal 7 -1 16 0 2 1"},
        {2, "play 7 2 0"},
        {3, "play 7 3 0"},
    };
    for (const Case& c : cases) {
        ModelFxFixture f;
        ProbeModelFx::kind = c.kind;
        auto m = f.Make("AnimName=\"run\"");
        ASSERT_TRUE(m);
        EXPECT_EQ(m->AnimationKind(), c.kind);
        EXPECT_EQ(m->AnimationIndex(), 7);
        f.log.clear();
        m->SetPlaying(true);
        m->SetPlaying(false);
        m->Deactivate();
        EXPECT_EQ(m->GetState(), kFxInactive);
        const std::string stop = "stop " + std::to_string(c.kind);
        EXPECT_EQ(f.log, (std::vector<std::string>{c.play, stop, stop})) << c.kind;
    }
    ProbeModelFx::kind = 3;
}

TEST(ModelFx, AlphaAndScaleOverTheLifeSpan) {
    ModelFxFixture f;
    // Without key lists both evaluate to 0.
    auto bare = f.Make("FxLifeSpan=\"2\"");
    ASSERT_TRUE(bare);
    bare->SetPlaying(true);
    bare->Update();
    EXPECT_EQ(bare->AlphaByte(), 0);
    EXPECT_EQ(bare->ScaleFactor().x, 0.0f);

    auto m = f.Make("FxLifeSpan=\"2\" PosOffset=\"1,2,3\"", kKeys);
    ASSERT_TRUE(m);
    m->SetFrameTime(0.5f);
    m->SetPlaying(true);
    m->Update();  // time 0.5: a quarter of the life span
    EXPECT_EQ(m->AlphaByte(), 89);  // 0.2 + 0.6 x 0.25 = 0.35 of 255, rounded
    EXPECT_FLOAT_EQ(m->ScaleFactor().y, 1.125f);
    EXPECT_EQ(*m->Model()->GetPosition(), Vec3(1, 2, 3));
    m->Render();  // the drawn model takes the scale factor
    EXPECT_FLOAT_EQ(m->Model()->GetScale()->z, 1.125f);
    EXPECT_EQ(m->Model()->GetMesh()->GetSubMesh(0)->Alpha(), 89);
    // Past the life span: the clamp list gives its last key, the repeat list its first.
    for (int i = 0; i < 4; ++i) m->Update();
    EXPECT_EQ(m->AlphaByte(), 204);
    EXPECT_FLOAT_EQ(m->ScaleFactor().x, 0.5f);
    // Keys above 1 stay at 255 instead of wrapping round the byte.
    auto bright = f.Make("FxLifeSpan=\"0\"", "<AlphaFrame><K Time=\"0\" Value=\"2\"/></AlphaFrame>");
    ASSERT_TRUE(bright);
    bright->SetPlaying(true);
    bright->Update();
    EXPECT_EQ(bright->AlphaByte(), 255);
}

TEST(ModelFx, RenderDrawsBothPassesWhilePlaying) {
    ModelFxFixture f;
    auto m = f.Make("FxLifeSpan=\"5\"", kKeys);
    ASSERT_TRUE(m);
    m->Render();
    EXPECT_TRUE(f.log.size() == 1u);  // not playing: nothing drawn
    m->SetPlaying(true);
    m->Update();
    f.log.clear();
    m->Render();
    EXPECT_EQ(f.log, (std::vector<std::string>{"predraw", "draw 0", "draw 1"}));
    m->SetModelBlendMode(1, 40);
    m->SetZWrite(1);
    EXPECT_TRUE(m->OnScenePrepare());
    m->OnSceneFinish();
    Vec3 lo, hi;
    EXPECT_TRUE(m->GetBoundingBox(&lo, &hi));
    EXPECT_EQ(lo, Vec3(-1, -1, 0));
    EXPECT_EQ(hi, Vec3(1, 1, 0));
}

}  // namespace
}  // namespace quor::world
