#include "world/mesh/MeshDataMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/XmlNode.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/mesh/MeshData.h"
#include "world/scene/World.h"
#include "world/skeleton/MeshSkeletalData.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::MeshDataMgr;

class MeshCache : public ::testing::Test {
protected:
    MeshCache() : log(std::make_unique<host::MemoryFileSystem>()) {
        MeshDataMgr::GetInstance().Clear();
        World::Instance().SetResourceCacheEnabled(true);
    }
    ~MeshCache() override {
        World::Instance().SetResourceCacheEnabled(true);
        MeshDataMgr::GetInstance().Clear();
    }
    host::MemoryFileSystem& Files() { return static_cast<host::MemoryFileSystem&>(*log.bound.host.files); }
    std::vector<std::uint8_t> AddMesh(const std::string& name, std::uint16_t type = 0, int subs = 2) {
        std::vector<std::uint8_t> bytes = WriteMom(MakeMesh(0x30011, type, subs, 1));
        Files().AddFile(name, bytes);
        return bytes;
    }
    static MeshDataMgr& Mgr() { return MeshDataMgr::GetInstance(); }

    LogCapture log;
};

TEST_F(MeshCache, OneNameTwiceIsOneObjectWithTwoCounts) {
    AddMesh("models/a.mom");
    const std::size_t destroyed = Mgr().DestroyedCount();
    MeshData* first = Mgr().Load("models/a.mom", 0);
    ASSERT_NE(first, nullptr);
    MeshData* second = Mgr().Load("models/a.mom", 0);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->RefCount(), 2);
    EXPECT_EQ(Mgr().Count(), 1u);
    Mgr().Release(first);
    EXPECT_EQ(Mgr().Count(), 1u);
    Mgr().Release(second);
    EXPECT_EQ(Mgr().Count(), 0u);
    EXPECT_EQ(Mgr().DestroyedCount(), destroyed + 1);
}

TEST_F(MeshCache, CaseAndSlashVariantsShareAnEntry) {
    AddMesh("models/a.mom");
    MeshData* a = Mgr().Load("models/a.mom", 0);
    MeshData* b = Mgr().Load("MODELS\\A.MOM", 0);
    MeshData* c = Mgr().FindByName("Models/a.MOM");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    EXPECT_EQ(a->RefCount(), 3);
    for (MeshData* d : {a, b, c}) Mgr().Release(d);
    EXPECT_EQ(Mgr().Count(), 0u);
}

TEST_F(MeshCache, BothPathsShareAnEntry) {
    const auto bytes = AddMesh("m.mom");
    MeshData* fromFile = Mgr().Load("m.mom", 0);
    MeshData* fromMemory = Mgr().LoadFromMemory("M.mom", bytes.data(), bytes.size(), 0);
    EXPECT_EQ(fromFile, fromMemory);
    Mgr().Release(fromFile);
    Mgr().Release(fromMemory);
    EXPECT_EQ(Mgr().Count(), 0u);
}

TEST_F(MeshCache, TypesChooseTheClass) {
    AddMesh("s.mom", 1);
    const auto bytes = AddMesh("p.mom", 0);
    MeshData* skeletal = Mgr().Load("s.mom", 1);
    ASSERT_NE(skeletal, nullptr);
    EXPECT_NE(dynamic_cast<MeshSkeletalData*>(skeletal), nullptr);
    for (int type : {3, -1, 2}) {
        log.Clear();
        EXPECT_EQ(Mgr().Load("p.mom", type), nullptr);
        EXPECT_EQ(Mgr().LoadFromMemory("p.mom", bytes.data(), bytes.size(), type), nullptr);
        EXPECT_TRUE(log.Contains("Unknown model file type: " + std::to_string(type) + "!")) << log.Joined();
    }
    EXPECT_EQ(Mgr().Count(), 1u);
    Mgr().Release(skeletal);
}

TEST_F(MeshCache, FailedParsesAreNotCached) {
    Files().AddFile("bad.mom", std::vector<std::uint8_t>(200, 0));
    EXPECT_EQ(Mgr().Load("bad.mom", 0), nullptr);
    EXPECT_EQ(Mgr().Load("none.mom", 0), nullptr);
    const std::vector<std::uint8_t> cut(40, 0);
    EXPECT_EQ(Mgr().LoadFromMemory("cut.mom", cut.data(), cut.size(), 0), nullptr);
    EXPECT_EQ(Mgr().Count(), 0u);
}

TEST_F(MeshCache, PathsThatDoNotFitFailTheLoad) {
    // Two names sharing their first 259 characters would merge if the path were cut.
    const std::string stem(300, 'x');
    AddMesh(stem + "1.mom");
    AddMesh(stem + "2.mom");
    EXPECT_EQ(Mgr().Load((stem + "1.mom").c_str(), 0), nullptr);
    EXPECT_EQ(Mgr().FindByName((stem + "1.mom").c_str()), nullptr);
    EXPECT_EQ(Mgr().Count(), 0u);
}

TEST_F(MeshCache, SwitchedOffEveryLookupMisses) {
    AddMesh("a.mom");
    MeshData* cached = Mgr().Load("a.mom", 0);
    ASSERT_NE(cached, nullptr);
    World::Instance().SetResourceCacheEnabled(false);
    EXPECT_EQ(Mgr().FindByName("a.mom"), nullptr);
    MeshData* own = Mgr().Load("a.mom", 0);
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own, cached);
    EXPECT_EQ(own->RefCount(), 1);
    EXPECT_EQ(cached->RefCount(), 1);
    // Each release erases only its own object.
    const std::size_t destroyed = Mgr().DestroyedCount();
    Mgr().Release(cached);
    EXPECT_EQ(Mgr().Count(), 1u);
    Mgr().Release(own);
    EXPECT_EQ(Mgr().Count(), 0u);
    EXPECT_EQ(Mgr().DestroyedCount(), destroyed + 2);
}

TEST_F(MeshCache, ReleaseAfterClearIsIgnored) {
    AddMesh("a.mom");
    MeshData* data = Mgr().Load("a.mom", 0);
    ASSERT_NE(data, nullptr);
    Mgr().Clear();
    Mgr().Release(data);
    Mgr().Release(nullptr);
    EXPECT_EQ(Mgr().Count(), 0u);
    // With the cache holding others, the stale object is still neither read nor counted down.
    AddMesh("b.mom");
    MeshData* other = Mgr().Load("b.mom", 0);
    ASSERT_NE(other, nullptr);
    // Only where the new object did not take the old address (the sanitizer holds freed blocks
    // back; a plain heap may hand the same one out again, and then the pointer is the new one's).
    if (other != data) {
        Mgr().Release(data);
        EXPECT_EQ(Mgr().Count(), 1u);
    }
    Mgr().Release(other);
    EXPECT_EQ(Mgr().Count(), 0u);
}

TEST_F(MeshCache, MemoryReportListsEachEntry) {
    AddMesh("a.mom");
    AddMesh("s.mom", 1);
    MeshData* a = Mgr().Load("a.mom", 0);
    MeshData* s = Mgr().Load("s.mom", 1);
    ASSERT_TRUE(a && s);
    host::XmlNode* doc = host::XmlNode::NewDocument();
    Mgr().WriteMemoryReport(doc);
    const std::string text = doc->ToString();
    doc->Release();
    EXPECT_NE(text.find("<MeshDataMgr>"), std::string::npos) << text;
    EXPECT_NE(text.find("<MeshData name=\"" + std::string(a->NameText()) + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("<MeshSkeletalData name=\""), std::string::npos) << text;
    Mgr().Release(a);
    Mgr().Release(s);
}

TEST_F(MeshCache, CacheThreadLoadAndReleaseByBothPaths) {
    std::vector<std::vector<std::uint8_t>> images;
    for (int i = 0; i < 16; ++i) images.push_back(AddMesh("t" + std::to_string(i) + ".mom", 0, 1 + i % 3));
    const std::size_t created = Mgr().CreatedCount(), destroyed = Mgr().DestroyedCount();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &images, &failures] {
            for (int i = 0; i < 64; ++i) {
                const int n = (t * 5 + i) % 16;
                const std::string name = "t" + std::to_string(n) + ".mom";
                MeshData* data = (i + t) % 2 ? Mgr().Load(name.c_str(), 0)
                                             : Mgr().LoadFromMemory(name.c_str(), images[n].data(),
                                                                     images[n].size(), 0);
                if (!data || data->subMeshCount != std::uint32_t(1 + n % 3)) ++failures;
                if (i % 3 == 0) {
                    MeshData* again = Mgr().FindByName(name.c_str());
                    if (again != data) ++failures;
                    Mgr().Release(again);
                }
                Mgr().Release(data);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Mgr().Count(), 0u);
    // Every object made was destroyed exactly once (double ones would show under the sanitizers).
    const std::size_t made = Mgr().CreatedCount() - created;
    EXPECT_GE(made, 16u);
    EXPECT_EQ(Mgr().DestroyedCount() - destroyed, made);
}

TEST_F(MeshCache, FirstLoadThreadPairKeepsOneEntry) {
    const auto bytes = AddMesh("one.mom", 0, 4);
    for (int round = 0; round < 20; ++round) {
        MeshData* got[2] = {};
        std::thread a([&] { got[0] = Mgr().Load("one.mom", 0); });
        std::thread b([&] { got[1] = round % 2 ? Mgr().Load("one.mom", 0)
                                                : Mgr().LoadFromMemory("one.mom", bytes.data(), bytes.size(), 0); });
        a.join();
        b.join();
        ASSERT_TRUE(got[0] && got[1]);
        EXPECT_EQ(got[0], got[1]);
        EXPECT_EQ(got[0]->RefCount(), 2);
        EXPECT_EQ(Mgr().Count(), 1u);
        // The first release must not erase the entry the other caller still holds.
        Mgr().Release(got[0]);
        EXPECT_EQ(Mgr().Count(), 1u);
        Mgr().Release(got[1]);
        EXPECT_EQ(Mgr().Count(), 0u);
    }
}

}  // namespace
