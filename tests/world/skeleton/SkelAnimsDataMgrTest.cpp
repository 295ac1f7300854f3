#include "world/skeleton/SkelAnimsDataMgr.h"

#include <atomic>
#include <thread>
#include <unordered_map>

#include "platform/host/XmlNode.h"
#include "tests/world/skeleton/SkelTestSupport.h"
#include "world/core/NameHash64.h"

namespace {

using namespace quor;
using namespace quor::test;

class SkelAnimsCache : public SkelTest {
protected:
    SkelAnimsDataMgr& mgr = SkelAnimsDataMgr::GetInstance();
    int Opens(const std::string& name) {
        int n = 0;
        for (const auto& e : Files().Events()) {
            if (e.kind == host::ResFileSystemBase::EventKind::Open && e.path == FullPath(name)) ++n;
        }
        return n;
    }
};

TEST_F(SkelAnimsCache, SameNameSharesOneObjectUntilTheLastRelease) {
    AddFile("hero.san", WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 2, 2)));
    SkelAnimsData* a = mgr.GetOrLoad("hero.san", nullptr);
    SkelAnimsData* b = mgr.GetOrLoad("HERO.san", nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->RefCount(), 2);
    EXPECT_EQ(Opens("hero.san"), 1);
    EXPECT_STREQ(a->Name().c_str(), FullPath("hero.san").c_str());
    EXPECT_EQ(a->key, std::uint32_t(NameHash64(FullPath("hero.san").c_str())));
    mgr.Release(a);
    EXPECT_EQ(mgr.Count(), 1u);
    EXPECT_EQ(b->RefCount(), 1);
    mgr.Release(b);
    EXPECT_EQ(mgr.Count(), 0u);
    mgr.Release(nullptr);
}

TEST_F(SkelAnimsCache, CacheFlagOffLoadsAgainAndReleasesOnlyItsOwnEntry) {
    AddFile("hero.san", WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 2, 2)));
    World::Instance().SetResourceCacheEnabled(false);
    SkelAnimsData* a = mgr.GetOrLoad("hero.san", nullptr);
    SkelAnimsData* b = mgr.GetOrLoad("hero.san", nullptr);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(Opens("hero.san"), 2);
    EXPECT_EQ(mgr.Count(), 2u);
    // The older object's last release must not unmap the newer one.
    mgr.Release(a);
    EXPECT_EQ(mgr.Count(), 1u);
    World::Instance().SetResourceCacheEnabled(true);
    SkelAnimsData* c = mgr.GetOrLoad("hero.san", nullptr);
    EXPECT_EQ(c, b);
    EXPECT_EQ(b->RefCount(), 2);
    // Clear deletes whatever is held (the sanitizer sees a leak or a double delete).
    World::Instance().SetResourceCacheEnabled(false);
    ASSERT_NE(mgr.GetOrLoad("hero.san", nullptr), nullptr);
    mgr.Clear();
    EXPECT_EQ(mgr.Count(), 0u);
}

TEST_F(SkelAnimsCache, ReleaseAfterClearIsIgnored) {
    AddFile("hero.san", WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 2, 2)));
    World::Instance().SetResourceCacheEnabled(false);
    SkelAnimsData* gone = mgr.GetOrLoad("hero.san", nullptr);
    ASSERT_NE(gone, nullptr);
    mgr.Clear();
    // The cache holds another object when the stale one comes back: it is neither read nor
    // counted down.
    SkelAnimsData* other = mgr.GetOrLoad("hero.san", nullptr);
    ASSERT_NE(other, nullptr);
    // Only where the new object did not take the old address (see the mesh cache's test).
    if (other != gone) {
        mgr.Release(gone);
        EXPECT_EQ(mgr.Count(), 1u);
    }
    mgr.Release(other);
    EXPECT_EQ(mgr.Count(), 0u);
    World::Instance().SetResourceCacheEnabled(true);
}

TEST_F(SkelAnimsCache, CollidingKeysCoexist) {
    // A birthday search for two file names whose full paths share the low 32 hash bits.
    const std::string prefix = FullPath("x.san").substr(0, FullPath("x.san").size() - 5);
    std::unordered_map<std::uint32_t, int> seen;
    int first = -1, second = -1;
    for (int i = 0; i < 2000000 && first < 0; ++i) {
        const std::string path = prefix + "f" + std::to_string(i) + ".san";
        const std::uint32_t key = std::uint32_t(NameHash64(path.c_str()));
        auto [it, fresh] = seen.emplace(key, i);
        if (!fresh) {
            first = it->second;
            second = i;
        }
    }
    ASSERT_GE(first, 0);
    const std::string n1 = "f" + std::to_string(first) + ".san", n2 = "f" + std::to_string(second) + ".san";
    ASSERT_EQ(std::uint32_t(NameHash64(FullPath(n1).c_str())), std::uint32_t(NameHash64(FullPath(n2).c_str())));
    AddFile(n1, WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 2, 1)));
    AddFile(n2, WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 2, 3)));
    SkelAnimsData* a = mgr.GetOrLoad(n1.c_str(), nullptr);
    SkelAnimsData* b = mgr.GetOrLoad(n2.c_str(), nullptr);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(a->GetAnimationCount(), 1);
    EXPECT_EQ(b->GetAnimationCount(), 3);
    EXPECT_EQ(mgr.GetOrLoad(n1.c_str(), nullptr), a);
    EXPECT_EQ(mgr.GetOrLoad(n2.c_str(), nullptr), b);
    EXPECT_EQ(mgr.Count(), 2u);
    mgr.Release(b);
    mgr.Release(b);
    EXPECT_EQ(mgr.GetOrLoad(n1.c_str(), nullptr), a);
    mgr.Release(a);
    mgr.Release(a);
    mgr.Release(a);
    EXPECT_EQ(mgr.Count(), 0u);
}

TEST_F(SkelAnimsCache, FailedLoadsAndLongNamesKeepNothing) {
    AddFile("bad.san", std::string(64, 'x'));
    EXPECT_EQ(mgr.GetOrLoad("missing.san", nullptr), nullptr);
    EXPECT_EQ(mgr.GetOrLoad("bad.san", nullptr), nullptr);
    EXPECT_TRUE(log.Contains("Bad format in skeletal animation file " + FullPath("bad.san") + "!"));
    EXPECT_EQ(mgr.GetOrLoad(nullptr, nullptr), nullptr);
    const std::string longName(300, 'a');
    EXPECT_EQ(mgr.GetOrLoad(longName.c_str(), nullptr), nullptr);
    EXPECT_TRUE(log.Contains("is too long!")) << log.Joined();
    EXPECT_EQ(mgr.Count(), 0u);
    EXPECT_EQ(mgr.Find(nullptr), nullptr);
}

TEST_F(SkelAnimsCache, MemoryReportListsEveryEntry) {
    SkelAnimFileDesc desc = MakeSkelAnimFile(0x30003, 3, 2);
    const auto bytes = WriteSkelAnimFile(desc);
    AddFile("hero.san", bytes);
    SkelAnimsData* a = mgr.GetOrLoad("hero.san", nullptr);
    ASSERT_NE(a, nullptr);
    mgr.GetOrLoad("hero.san", nullptr);
    host::XmlNode* doc = host::XmlNode::NewDocument();
    mgr.WriteMemoryReport(doc);
    const std::string text = doc->ToString();
    doc->Release();
    EXPECT_NE(text.find("<SkelAnimsDataMgr>"), std::string::npos) << text;
    EXPECT_NE(text.find("<SkelAnimsData name=\"" + FullPath("hero.san") + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("mem_size=\"" + std::to_string(bytes.size()) + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("ref_count=\"2\""), std::string::npos) << text;
    EXPECT_NE(text.find("version=\"" + std::to_string(0x30003) + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("anim_count=\"2\""), std::string::npos) << text;
}

TEST_F(SkelAnimsCache, WorldShutdownEmptiesTheCache) {
    AddFile("hero.san", WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 2, 2)));
    ASSERT_NE(mgr.GetOrLoad("hero.san", nullptr), nullptr);
    World::Instance().Shutdown();
    EXPECT_EQ(mgr.Count(), 0u);
}

TEST_F(SkelAnimsCache, CacheThreadLoadsAndReleasesTheSameFiles) {
    for (int f = 0; f < 3; ++f) AddFile("t" + std::to_string(f) + ".san", WriteSkelAnimFile(MakeSkelAnimFile(0x40003, 4, 2)));
    // Held by this thread throughout: each file is read exactly once.
    std::vector<SkelAnimsData*> held;
    for (int f = 0; f < 3; ++f) held.push_back(mgr.GetOrLoad(("t" + std::to_string(f) + ".san").c_str(), nullptr));
    std::atomic<int> failures{0};
    auto work = [&failures](int t) {
        for (int i = 0; i < 60; ++i) {
            const std::string name = "t" + std::to_string((t + i) % 3) + ".san";
            SkelAnimsData* data = SkelAnimsDataMgr::GetInstance().GetOrLoad(name.c_str(), nullptr);
            if (!data || data->GetAnimationCount() != 2 || data->GetBoneCount(1) != 4) ++failures;
            SkelAnimsDataMgr::GetInstance().Release(data);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) threads.emplace_back(work, t);
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(Opens("t" + std::to_string(f) + ".san"), 1);
        EXPECT_EQ(held[f]->RefCount(), 1);
        mgr.Release(held[f]);
    }
    EXPECT_EQ(mgr.Count(), 0u);
    // Without a holder the files come and go; the cache still ends empty.
    threads.clear();
    for (int t = 0; t < 8; ++t) threads.emplace_back(work, t);
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mgr.Count(), 0u);
}

}  // namespace
