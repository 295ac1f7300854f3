#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/IAudio.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/win32/Thread.h"
#include "tests/support/world/DemoMeshes.h"
#include "tests/support/world/MeshFileWriter.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxMgr.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/AsyncRecords.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::AsyncLoaderRef;

TEST(AsyncRecords, EmfModelRecordAsksTheEffectLoader) {
    WorldFixture fx(0);
    TestScene* scene = fx.NewScene();
    auto* model = new world::ModelSkeletal();
    world::ModelData* record = AsyncLoaderRef::Instance().CreateModelData(scene, model, "fx/fire.emf", 2, 5);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->parameter, 5);
    EXPECT_GT(record->stamp, 0u);
    EXPECT_TRUE(record->RefersTo(scene));
    EXPECT_TRUE(record->RefersTo(model));
    EXPECT_FALSE(record->RefersTo(nullptr));
    record->Submit();
    fx.host().loader->Drain();
    EXPECT_EQ(scene->fxPaths, std::vector<std::string>{"fx/fire"});
    delete static_cast<world::SpaceObject*>(model);
}

TEST(AsyncRecords, EighthModelRecordTakesASecondBlock) {
    const int blocks = AsyncLoaderRef::ModelBlocks();
    const int inUse = AsyncLoaderRef::ModelRecordsInUse();
    // Fill what is left of the current block first.
    std::vector<world::ModelData*> records;
    const int free = blocks * 7 - inUse;
    for (int i = 0; i < free; ++i) records.push_back(AsyncLoaderRef::Instance().CreateModelData(nullptr, nullptr, "a", 0, 0));
    EXPECT_EQ(AsyncLoaderRef::ModelBlocks(), blocks);
    for (int i = 0; i < 7; ++i) records.push_back(AsyncLoaderRef::Instance().CreateModelData(nullptr, nullptr, "a", 0, 0));
    EXPECT_EQ(AsyncLoaderRef::ModelBlocks(), blocks + 1);
    records.push_back(AsyncLoaderRef::Instance().CreateModelData(nullptr, nullptr, "a", 0, 0));
    EXPECT_EQ(AsyncLoaderRef::ModelBlocks(), blocks + 2) << "the eighth record of a full pool opens a block";
    for (world::ModelData* r : records) r->Recycle();
    EXPECT_EQ(AsyncLoaderRef::ModelRecordsInUse(), inUse);
    // Recycled slots are used again before any new block.
    for (int i = 0; i < 8; ++i) records[static_cast<std::size_t>(i)] = AsyncLoaderRef::Instance().CreateModelData(nullptr, nullptr, "a", 0, 0);
    EXPECT_EQ(AsyncLoaderRef::ModelBlocks(), blocks + 2);
    for (int i = 0; i < 8; ++i) records[static_cast<std::size_t>(i)]->Recycle();
}

TEST(AsyncRecords, PathsOf260CharactersAreRefused) {
    LogCapture capture;
    const std::string fits(259, 'p');
    const std::string tooLong(260, 'p');
    world::SceneData* ok = AsyncLoaderRef::Instance().CreateSceneData(nullptr, fits.c_str(), 0);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(std::string(ok->GetPath()), fits);
    ok->Recycle();
    EXPECT_EQ(AsyncLoaderRef::Instance().CreateSceneData(nullptr, tooLong.c_str(), 0), nullptr);
    EXPECT_EQ(AsyncLoaderRef::Instance().CreateModelData(nullptr, nullptr, tooLong.c_str(), 0, 0), nullptr);
    EXPECT_EQ(AsyncLoaderRef::Instance().CreateSoundData(nullptr, tooLong.c_str(), 0, 0, 1), nullptr);
    EXPECT_EQ(AsyncLoaderRef::Instance().CreateAddMeshData(nullptr, tooLong.c_str()), nullptr);
    EXPECT_TRUE(capture.Contains("the path is 260 characters"));
}

// A RIFF header is what the recording audio takes for a sound.
std::vector<std::uint8_t> SilentWav() {
    std::vector<std::uint8_t> bytes = {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E'};
    bytes.resize(44, 0);
    return bytes;
}

TEST(AsyncRecords, SoundRecordLoadsAndFreesItself) {
    WorldFixture fx(0);
    static_cast<host::MemoryFileSystem*>(fx.host().files.get())->AddFile("sound/a.wav", SilentWav());
    client::ISound* sound = nullptr;
    AsyncData* record = World::Instance().CreateSoundData(&sound, "sound/a.wav", 1, 2);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->parameter, 1);
    EXPECT_FALSE(record->RefersTo(&fx)) << "a sound record belongs to no scene";
    EXPECT_TRUE(fx.capture.Contains("the asyn load data is sound/a.wav 1 2 1"));
    record->Submit();
    EXPECT_EQ(fx.host().loader->Drain(), 1);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(fx.host().audio.LiveSounds(), 1);
    sound->Release();
    client::ISound* missing = reinterpret_cast<client::ISound*>(1);
    World::Instance().CreateSoundData(&missing, "sound/none.wav", 0, 0)->Submit();
    fx.host().loader->Drain();
    EXPECT_EQ(missing, nullptr);
}

// Destroying or clearing a scene cancels only that scene's loads: the host's queued sounds stay.
TEST(AsyncRecords, SoundsSurviveAnUnrelatedScene) {
    WorldFixture fx(0);
    static_cast<host::MemoryFileSystem*>(fx.host().files.get())->AddFile("sound/a.wav", SilentWav());
    std::vector<client::ISound*> sounds(20, nullptr);
    for (client::ISound*& sound : sounds) World::Instance().CreateSoundData(&sound, "sound/a.wav", 0, 0)->Submit();
    world::IScene* scene = World::Instance().CreateScene(nullptr, 0, 0, 0);
    ASSERT_NE(scene, nullptr);
    scene->Clear();
    World::Instance().DestroyScene(scene);
    EXPECT_EQ(fx.host().loader->Drain(), 20);
    EXPECT_EQ(fx.host().audio.LiveSounds(), 20);
    for (client::ISound* sound : sounds) {
        ASSERT_NE(sound, nullptr);
        sound->Release();
    }
}

// A model released while its load waits is gone for good: the load never brings it back.
TEST(AsyncRecords, ReleasedLoadingModelNeverReappears) {
    WorldFixture fx(0);
    static_cast<host::MemoryFileSystem*>(fx.host().files.get())->AddFile("hero.mom", test::WriteMom(test::SquareMesh()));
    TestScene* scene = fx.NewScene();
    std::vector<world::IModel*> models;
    for (int i = 0; i < 3; ++i) models.push_back(scene->CreateModel("hero.mom", 0, 1, nullptr));
    EXPECT_EQ(scene->GetLoadingModelCount(), 3);
    EXPECT_TRUE(scene->ReleaseObject(models[0]->GetSpaceObject(0), true));
    EXPECT_TRUE(scene->ReleaseObject(models[1]->GetSpaceObject(0), false));
    fx.host().loader->Drain();
    EXPECT_EQ(scene->GetLoadingModelCount(), 0);
    EXPECT_EQ(scene->GetModelCount(), 1);
    EXPECT_EQ(scene->GetRootObject()->GetChildCount(), 1);
}

TEST(AsyncRecordsThread, ModelsReleasedDuringTheirLoadStayReleased) {
    WorldFixture fx(2);
    static_cast<host::MemoryFileSystem*>(fx.host().files.get())->AddFile("hero.mom", test::WriteMom(test::SquareMesh()));
    TestScene* scene = fx.NewScene();
    for (int round = 0; round < 20; ++round) {
        world::IModel* model = scene->CreateModel("hero.mom", 0, 1, nullptr);
        ASSERT_NE(model, nullptr);
        EXPECT_TRUE(scene->ReleaseObject(model->GetSpaceObject(0), true));
    }
    fx.host().loader->WaitIdle();
    EXPECT_EQ(scene->GetLoadingModelCount(), 0);
    EXPECT_EQ(scene->GetModelCount(), 0);
}

TEST(AsyncRecords, WithoutALoaderSubmitLoadsAtOnce) {
    WorldFixture fx(0);
    TestScene* scene = fx.NewScene();
    Interfaces().asyncLoader = nullptr;
    world::IFxBase* effect = scene->CreateFx("fx/smoke", 0, true, nullptr, 3);
    ASSERT_NE(effect, nullptr);
    EXPECT_TRUE(fx.capture.Contains("No asynchronous loader: fx/smoke.emf is loaded at once"));
    EXPECT_EQ(scene->fxPaths, std::vector<std::string>{"fx/smoke.emf"});
    EXPECT_EQ(effect->GetPendingLoads(), 0);
    Interfaces().asyncLoader = fx.host().loader.get();
}

TEST(AsyncRecords, FailedModelLoadLeavesTheLoadingList) {
    WorldFixture fx(0);
    TestScene* scene = fx.NewScene();
    AsyncData* record = nullptr;
    world::IModel* model = scene->CreateModel("models/none.mom", 0, 1, &record);
    ASSERT_NE(model, nullptr);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(scene->GetLoadingModelCount(), 1);
    EXPECT_EQ(scene->GetLoadingModel(0), model);
    EXPECT_EQ(scene->GetLoadingModel(1), nullptr);
    record->Submit();
    fx.host().loader->Drain();
    EXPECT_EQ(scene->GetLoadingModelCount(), 0);
    EXPECT_EQ(model->IsLoading(), -1);
    EXPECT_TRUE(fx.capture.Contains("加载默认模型文件 defualt_models\\box.mom 失败！"));
    // The host still holds the model: it stays the scene's, listed and alive.
    EXPECT_EQ(scene->GetModelCount(), 1);
    EXPECT_TRUE(World::Instance().IsObjectIdRegistered(model->GetSpaceObject(0)->GetId()));
}

TEST(AsyncRecordsThread, RecordsMadeAndRecycledByManyThreads) {
    const int inUse = AsyncLoaderRef::ModelRecordsInUse();
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i) {
                world::ModelData* r = AsyncLoaderRef::Instance().CreateModelData(nullptr, nullptr, "m", 0, 0);
                world::AddMeshData* m = AsyncLoaderRef::Instance().CreateAddMeshData(nullptr, "m");
                ASSERT_NE(r, nullptr);
                ASSERT_NE(m, nullptr);
                r->Recycle();
                m->Recycle();
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(AsyncLoaderRef::ModelRecordsInUse(), inUse);
}

TEST(AsyncRecordsThread, EffectAddedFromAnotherThreadWaitsForUpdate) {
    WorldFixture fx(0);
    TestScene* scene = fx.NewScene();
    scene->CreateCamera(true);
    auto* effect = new world::FxBase();
    std::thread other([&] { scene->AddEffect(effect); });
    other.join();
    EXPECT_EQ(scene->GetFxCount(), 0) << "not in the effect list before the next update";
    EXPECT_EQ(scene->Effects().PendingCount(), 1);
    EXPECT_TRUE(World::Instance().IsObjectIdRegistered(effect->GetId()));
    scene->Update();
    EXPECT_EQ(scene->GetFxCount(), 1);
    EXPECT_EQ(scene->Effects().PendingCount(), 0);
    // From the creating thread, or while the scene loads, it goes straight in.
    scene->AddEffect(new world::FxBase());
    EXPECT_EQ(scene->GetFxCount(), 2);
}

std::atomic<bool> g_started{false};
std::atomic<bool> g_release{false};
std::atomic<bool> g_finished{false};

// A scene whose Load blocks until the test lets it go.
class SlowScene : public TestScene {
public:
    using TestScene::TestScene;
    bool Load(const char*) override {
        g_started.store(true);
        while (!g_release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        g_finished.store(true);
        return true;
    }
};

TEST(AsyncRecordsThread, SceneDeletedWhileItsRecordRuns) {
    WorldFixture fx(1);
    g_started = g_release = g_finished = false;
    world::SceneRegistry::Instance().SetFactory(world::SceneRegistry::kScene3D,
                                                [&fx] { return new SlowScene(1, &fx.journal); });
    auto* scene = static_cast<SlowScene*>(World::Instance().CreateScene(nullptr, 0, 0, 0));
    world::SceneData* running = AsyncLoaderRef::Instance().CreateSceneData(scene, "maps/slow.s3d", 0);
    world::SceneData* queued = AsyncLoaderRef::Instance().CreateSceneData(scene, "maps/later.s3d", 0);
    ASSERT_TRUE(running && queued);
    running->Submit();
    while (!g_started.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    queued->Submit();  // the one worker is busy: this one waits in the queue
    std::thread releaser([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        g_release.store(true);
    });
    // The registry cancels the queued record unrun and waits for the running one before the
    // scene's destructors start.
    World::Instance().DestroyScene(scene);
    EXPECT_TRUE(g_finished.load()) << "the scene was freed only after its running load ended";
    releaser.join();
    fx.host().loader->WaitIdle();
    EXPECT_EQ(fx.host().loader->Cancelled(), 1);
    EXPECT_EQ(fx.host().loader->Recycled(), 1);
}

TEST(AsyncRecordsThread, AsyncCreateModelOnTheWorkers) {
    WorldFixture fx(2);
    TestScene* scene = fx.NewScene();
    std::vector<world::IModel*> models;
    for (int i = 0; i < 8; ++i) {
        AsyncData* record = nullptr;
        models.push_back(scene->CreateModel(("m" + std::to_string(i) + ".mom").c_str(), 0, 1, &record));
        ASSERT_NE(record, nullptr);
        record->Submit();
    }
    fx.host().loader->WaitIdle();
    EXPECT_EQ(scene->GetLoadingModelCount(), 0);
    EXPECT_EQ(scene->GetModelCount(), 8);
    for (world::IModel* m : models) EXPECT_EQ(m->IsLoading(), -1);
}

}  // namespace

namespace {

using namespace quor;
using namespace quor::test;

// Releases by object on one thread and by identifier on another take the object lock and the
// identifier map's lock in the same order, so they never wait on each other forever.
TEST(SceneReleaseThread, ReleasesByObjectAndByIdentifierTogether) {
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    constexpr int kCount = 400;
    std::vector<world::FxBase*> byObject, byId;
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < kCount; ++i) {
        byObject.push_back(new world::FxBase());
        byId.push_back(new world::FxBase());
        scene->AddEffect(byObject.back());
        scene->AddEffect(byId.back());
        ids.push_back(byId.back()->GetId());
    }
    std::thread other([&] {
        for (std::uint32_t id : ids) EXPECT_TRUE(scene->ReleaseObjectById(id, true));
    });
    for (world::FxBase* e : byObject) EXPECT_TRUE(scene->ReleaseObject(e, true));
    other.join();
    EXPECT_EQ(scene->GetFxCount(), 0);
}

// An object whose pre-draw takes a while, so that a frame is surely in progress.
class SlowDraw : public world::VisibleObject {
public:
    bool PreDraw() override {
        entered.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        done.store(true);
        return true;
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> done{false};
};

TEST(SceneDestroyThread, DestructionWaitsForTheFrameInProgress) {
    WorldFixture fx;
    TestScene* scene = fx.NewScene();
    SlowDraw* slow = new SlowDraw();
    scene->AttachObject(slow);
    std::thread render([scene] { scene->Render(); });
    while (!slow->entered.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const bool doneBefore = slow->done.load();
    world::SceneBase::UnregisterObjectId(slow->GetId());
    // The scene must not go while its frame runs; the object is unlinked when it does.
    scene->BeginDestroy();
    EXPECT_FALSE(doneBefore);
    EXPECT_TRUE(slow->done.load()) << "BeginDestroy returned while the frame was still drawing";
    render.join();
    scene->Clear();
    delete slow;
    World::Instance().DestroyScene(scene);
}

}  // namespace
