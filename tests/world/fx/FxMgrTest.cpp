#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/win32/Messages.h"
#include "tests/support/world/EffectFileWriter.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/fx/FxTestSupport.h"
#include "world/fx/FxBase.h"
#include "world/fx/FxFrameTime.h"
#include "world/fx/FxMgr.h"
#include "world/scene/World.h"

namespace quor::world {
namespace {

std::string SmallEffect(const std::string& name, int children = 1) {
    test::EffectFileWriter file("Root");
    file.Set("Name", name).Set("FxLifeSpan", 2.0).Set("Loop", "1");
    for (int i = 0; i < children; ++i) file.AddNode("Dummy").Set("FxStartTime", 0.1 * i);
    return file.Text();
}

struct FxManager : testing::Test {
    FxManager() : log(MakeFiles(files)) { win32::MessageSink::Instance().Clear(); }
    static std::unique_ptr<host::ResFileSystemBase> MakeFiles(host::MemoryFileSystem*& out) {
        auto fs = std::make_unique<host::MemoryFileSystem>();
        out = fs.get();
        return fs;
    }
    int Count(const std::string& text) const {
        int n = 0;
        for (const std::string& line : log.Lines()) n += line.find(text) != std::string::npos;
        return n;
    }

    // Other tests may have set the world's divisor: start from 1/60 before the manager is made.
    struct DefaultFrameTime {
        DefaultFrameTime() { SetFxFrameTimeResetValue(1.0f / 60.0f); }
    };

    host::MemoryFileSystem* files = nullptr;
    test::LogCapture log;
    DefaultFrameTime defaultFrameTime;
    FxMgr mgr;
};

TEST_F(FxManager, MissingFiles) {
    files->AddFile("fx/a.emf", SmallEffect("a"));
    files->AddFile("fx/b.c.emf", SmallEffect("bc"));
    const struct {
        const char* what;
        const char* name;
        bool withDefault;
        const char* bufferAfter;  // the caller's buffer after the call
        bool loads;
        int boxes;
        int notFoundLines;
    } cases[] = {
        {"another extension", "fx/a.xml", false, "fx/a.emf", true, 0, 0},
        {"several dots", "fx/b.c.xml", false, "fx/b.c.emf", true, 0, 0},
        {"no dot", "fx/none", false, "fx/none", false, 0, 1},
        {"neither, default opened", "fx/m.xml", true, "fx/m.emf", false, 1, 1},
        {"neither, default missing", "fx/m.xml", false, "fx/m.emf", false, 2, 1},
        {"retried name longer than the buffer", "x.fx", false, "x.fx", false, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.withDefault)
            files->AddFile("defualt_models/common.emf", SmallEffect("default"));
        else
            files->RemoveFile("defualt_models/common.emf");
        log.Clear();
        win32::MessageSink::Instance().Clear();
        files->ClearEvents();
        // Exactly the name's size, so a longer write-back would overrun it (ASan).
        std::unique_ptr<char[]> buffer(new char[std::strlen(c.name) + 1]);
        std::memcpy(buffer.get(), c.name, std::strlen(c.name) + 1);
        FxBase* root = mgr.LoadEffectFile(buffer.get(), 0);
        EXPECT_EQ(root != nullptr, c.loads);
        EXPECT_STREQ(buffer.get(), c.bufferAfter);
        EXPECT_EQ(win32::MessageSink::Instance().MessageBoxCount(), static_cast<std::uint64_t>(c.boxes));
        EXPECT_EQ(Count("找不到"), c.notFoundLines + (c.boxes == 2 ? 1 : 0));
        EXPECT_EQ(files->OpenFileCount(), 0);  // the default file, when opened, is closed again
        delete root;
    }
    EXPECT_EQ(mgr.LoadEffectFile(static_cast<const char*>(nullptr), 0), nullptr);
    EXPECT_EQ(mgr.LoadEffectFile("", 0), nullptr);
    EXPECT_EQ(Count("load sfx  false ,filename = null"), 2);
    const std::string longName(300, 'a');
    EXPECT_EQ(mgr.LoadEffectFile(longName.c_str(), 0), nullptr);
}

TEST_F(FxManager, ListOperations) {
    const std::string shared(32, 's');
    files->AddFile("one.emf", SmallEffect(shared + "-one", 2));
    files->AddFile("two.emf", SmallEffect(shared + "-two", 3));
    FxBase* one = mgr.LoadEffectFile("one.emf", 0);
    FxBase* two = mgr.LoadEffectFile("two.emf", 0);
    ASSERT_TRUE(one && two);
    mgr.AddObject(one);
    mgr.AddObject(two);
    SpaceObject plain;
    mgr.AddObject(&plain);  // not an effect: not added
    EXPECT_EQ(mgr.Count(), 2);
    EXPECT_EQ(mgr.GetAt(1), two);
    EXPECT_EQ(mgr.GetAt(2), nullptr);
    // Names compare over 32 characters: the first of the two is found for either.
    EXPECT_EQ(mgr.FindByName((shared + "-two").c_str()), one);
    EXPECT_EQ(mgr.FindByName(shared.substr(0, 31).c_str()), nullptr);
    EXPECT_EQ(mgr.CountChildEffects(), 5);
    EXPECT_EQ(mgr.CountPlaying(), 0);
    one->Update();
    EXPECT_EQ(mgr.CountPlaying(), 1);
    std::string file;
    EXPECT_EQ(one->GetFileName(file), "\\mem\\one.emf");
    EXPECT_EQ(one->GetSourcePath(), "one.emf");

    FxMgr other;
    mgr.DetachEffect(two, other);
    EXPECT_EQ(mgr.Count(), 1);
    EXPECT_EQ(other.GetAt(0), two);
    EXPECT_TRUE(other.RemoveByPointer(two));
    EXPECT_FALSE(other.RemoveByPointer(two));
    mgr.AddObject(two);
    EXPECT_TRUE(mgr.ForEachBeforeReset());
    EXPECT_TRUE(mgr.ForEachAfterReset());
    mgr.RemoveEffect(nullptr);
    mgr.RemoveEffect(one);
    EXPECT_EQ(mgr.Count(), 1);
}

TEST_F(FxManager, FrameTime) {
    files->AddFile("a.emf", SmallEffect("a"));
    EXPECT_FLOAT_EQ(GetFxFrameTime(), 1.0f / 60.0f);
    log.bound.host.client.frameRate = 30;
    FxBase* a = mgr.LoadEffectFile("a.emf", 0);
    ASSERT_NE(a, nullptr);
    EXPECT_FLOAT_EQ(a->GetFrameTime(), 1.0f / 30.0f);
    EXPECT_FLOAT_EQ(a->ChildAt(0)->GetFrameTime(), 1.0f / 30.0f);
    test::XmlDoc doc(SmallEffect("later"));
    FxBase* later = mgr.CreateFromElement(doc.root, 0);
    ASSERT_NE(later, nullptr);
    EXPECT_FLOAT_EQ(later->GetFrameTime(), 1.0f / 30.0f);
    // A frame rate of 0 keeps the frame time.
    log.bound.host.client.frameRate = 0;
    FxBase* b = mgr.LoadEffectFile("a.emf", 0);
    ASSERT_NE(b, nullptr);
    EXPECT_FLOAT_EQ(b->GetFrameTime(), 1.0f / 30.0f);
    {
        FxMgr fresh;
        EXPECT_FLOAT_EQ(GetFxFrameTime(), 1.0f / 60.0f);
    }
    // The world's divisor sets the frame time and what new managers reset to.
    World::Instance().SetFxDivisor(0);
    EXPECT_FLOAT_EQ(GetFxFrameTime(), 1.0f / 60.0f);
    World::Instance().SetFxDivisor(50);
    EXPECT_FLOAT_EQ(GetFxFrameTime(), 1.0f / 50.0f);
    ResetFxFrameTime();
    {
        FxMgr fresh;
        EXPECT_FLOAT_EQ(GetFxFrameTime(), 1.0f / 50.0f);
    }
    World::Instance().SetFxDivisor(60);
    delete a;
    delete later;
    delete b;
}

TEST_F(FxManager, LoadIntoAnExistingNode) {
    files->AddFile("good.emf", SmallEffect("good", 2));
    files->AddFile("empty.emf", "<Root Name=\"e\"/>");
    files->AddFile("broken.emf", "<Root><Dummy></Root>");
    FxBase node;
    EXPECT_FALSE(mgr.LoadEffectFileInto(&node, "missing.xml", 0));
    EXPECT_EQ(win32::MessageSink::Instance().MessageBoxCount(), 0u);
    EXPECT_FALSE(mgr.LoadEffectFileInto(&node, "empty.emf", 0));
    EXPECT_FALSE(node.IsLoaded());
    EXPECT_FALSE(mgr.LoadEffectFileInto(&node, "broken.emf", 0));
    EXPECT_FALSE(node.IsLoaded());
    EXPECT_EQ(node.ChildCount(), 0);
    ASSERT_TRUE(mgr.LoadEffectFileInto(&node, "good.emf", 0));
    EXPECT_TRUE(node.IsLoaded());
    EXPECT_TRUE(node.IsIndependent());
    EXPECT_EQ(node.GetRoot(), &node);
    EXPECT_EQ(node.ChildCount(), 2);
    EXPECT_EQ(mgr.LoadEffectFile("empty.emf", 0), nullptr);
    EXPECT_EQ(mgr.LoadEffectFile("broken.emf", 0), nullptr);
}

TEST_F(FxManager, ThreadFxLoad) {
    constexpr int kThreads = 4, kEach = 25;
    for (int i = 0; i < kThreads; ++i) files->AddFile("t" + std::to_string(i) + ".emf", SmallEffect("t", i + 1));
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            const std::string name = "t" + std::to_string(i) + ".emf";
            for (int n = 0; n < kEach; ++n)
                if (FxBase* root = mgr.LoadEffectFile(name.c_str(), 0)) mgr.AddBaseObject(root);
            done.fetch_add(1);
        });
    }
    std::vector<IFxBase*> listed;
    while (done.load() < kThreads) {
        mgr.AdoptBaseObjects();
        listed.clear();
        mgr.CopyEffects(listed);
        for (IFxBase* e : listed) e->Update();
        EXPECT_LE(mgr.CountPlaying(), mgr.Count());
        EXPECT_GE(mgr.CountChildEffects(), mgr.Count());
        EXPECT_EQ(mgr.GetTotalParticleCount(), 0u);
        mgr.ResetAllParticleStats();
    }
    for (std::thread& t : threads) t.join();
    mgr.AdoptBaseObjects();
    EXPECT_EQ(mgr.Count(), kThreads * kEach);
    EXPECT_EQ(mgr.CountChildEffects(), kEach * (1 + 2 + 3 + 4));
}

}  // namespace
}  // namespace quor::world
