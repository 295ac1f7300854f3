#include <gtest/gtest.h>

#include <type_traits>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Thread.h"
#include "world/core/SharedObject.h"
#include "world/core/SharedString.h"

namespace {

using quor::common::SharedString;

TEST(SharedString, CountsUnderCopyAndSelfAssignment) {
    const int live = SharedString::LiveBodies();
    {
        SharedString a("name");
        EXPECT_EQ(a.RefCount(), 1);
        SharedString b(a);
        SharedString c;
        c = b;
        EXPECT_EQ(a.RefCount(), 3);
        EXPECT_TRUE(c.SharesBodyWith(a));
        SharedString& same = a;  // self-assignment through another name
        a = same;
        a = c;  // already shared: unchanged
        EXPECT_EQ(a.RefCount(), 3);
        EXPECT_EQ(SharedString::LiveBodies(), live + 1);
        {
            SharedString d("other");
            c = d;
            EXPECT_EQ(a.RefCount(), 2);
            EXPECT_EQ(d.RefCount(), 2);
        }
        EXPECT_EQ(c.RefCount(), 1);
        EXPECT_STREQ(c.c_str(), "other");
    }
    EXPECT_EQ(SharedString::LiveBodies(), live);
}

TEST(SharedString, LastCopyFreesTheBody) {
    const int live = SharedString::LiveBodies();
    auto* a = new SharedString("x");
    auto* b = new SharedString(*a);
    auto* c = new SharedString(*b);
    delete a;
    delete b;
    EXPECT_EQ(SharedString::LiveBodies(), live + 1);
    EXPECT_EQ(c->RefCount(), 1);
    delete c;
    EXPECT_EQ(SharedString::LiveBodies(), live);
}

TEST(SharedString, EmptyHasABodyWithoutText) {
    SharedString a;
    SharedString b("");
    EXPECT_EQ(a.Text(), nullptr);
    EXPECT_EQ(b.Text(), nullptr);
    EXPECT_STREQ(a.c_str(), "");
    EXPECT_EQ(a.Length(), 0);
    EXPECT_EQ(a.RefCount(), 1);
    EXPECT_TRUE(b.Empty());
}

TEST(SharedString, FormatAnyLength) {
    SharedString s("old");
    SharedString keep(s);
    s.Format("%d", 7);
    EXPECT_STREQ(s.c_str(), "7");
    EXPECT_EQ(s.Length(), 1);
    EXPECT_STREQ(keep.c_str(), "old");
    EXPECT_EQ(keep.RefCount(), 1);
    for (std::size_t n : {1023u, 1024u, 5000u}) {
        const std::string text(n, 'q');
        s.Format("%s", text.c_str());
        EXPECT_EQ(s.Length(), static_cast<int>(n));
        EXPECT_EQ(std::string(s.c_str()), text);
    }
    s.Format("%s", s.c_str());  // formatting from its own text
    EXPECT_EQ(s.Length(), 5000);
}

TEST(SharedString, CopiesAcrossThreadsBalance) {
    const int live = SharedString::LiveBodies();
    {
        SharedString shared("across");
        std::vector<std::unique_ptr<quor::win32::Thread>> threads;
        for (int t = 0; t < 4; ++t) {
            threads.push_back(std::make_unique<quor::win32::Thread>());
            threads.back()->Start([&shared] {
                for (int i = 0; i < 2000; ++i) {
                    SharedString copy(shared);
                    SharedString other;
                    other = copy;
                }
                return quor::win32::DWORD{0};
            });
        }
        for (auto& t : threads) t->Join();
        EXPECT_EQ(shared.RefCount(), 1);
    }
    EXPECT_EQ(SharedString::LiveBodies(), live);
}

struct FakeData : quor::SharedObject {
    std::uintptr_t header = 0;
    int body = 0;
    int bodyCalls = 0;
    std::uintptr_t ParseHeader(const std::uint8_t*, std::uint32_t size) override { return size ? header : 0; }
    int ParseBody(std::uintptr_t) override {
        ++bodyCalls;
        return body;
    }
};

TEST(SharedObject, LoadFromMemoryNeedsHeaderAndBody) {
    const std::uint8_t bytes[4] = {};
    struct Case {
        std::uintptr_t header;
        int body;
        bool loaded;
        int bodyCalls;
    } cases[] = {{0, 1, false, 0}, {5, 0, false, 1}, {5, -1, false, 1}, {5, 1, true, 1}};
    for (const Case& c : cases) {
        FakeData d;
        d.header = c.header;
        d.body = c.body;
        EXPECT_EQ(d.LoadFromMemory(bytes, sizeof(bytes)), c.loaded);
        EXPECT_EQ(d.bodyCalls, c.bodyCalls);
    }
}

TEST(SharedObject, StartsEmptyAndCounts) {
    FakeData d;
    EXPECT_TRUE(d.Name().Empty());
    EXPECT_EQ(d.RefCount(), 0);
    EXPECT_EQ(d.MemSize(), 0);
    EXPECT_EQ(d.Version(), 0);
    EXPECT_EQ(d.AddRef(), 1);
    EXPECT_EQ(d.AddRef(), 2);
    EXPECT_EQ(d.ReleaseRef(), 1);
    d.SetName("track.trk");
    EXPECT_STREQ(d.Name().c_str(), "track.trk");
}

TEST(SharedString, BothClassesHaveVirtualDestructors) {
    static_assert(std::has_virtual_destructor_v<quor::common::SharedString::StringData>);
    EXPECT_TRUE(std::has_virtual_destructor_v<quor::common::SharedString>);
}

}  // namespace
