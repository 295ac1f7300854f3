#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "platform/win32/Clock.h"
#include "platform/win32/Directory.h"
#include "platform/win32/Messages.h"
#include "platform/win32/Thread.h"

namespace {

using namespace quor::win32;

TEST(Clock, ManualTimeMovesOnlyWhenTold) {
    TimeSource::SetManual(1000);
    EXPECT_EQ(timeGetTime(), 1000u);
    Sleep(2);
    EXPECT_EQ(timeGetTime(), 1000u);
    TimeSource::Advance(16);
    EXPECT_EQ(timeGetTime(), 1016u);
    TimeSource::SetManual(0xFFFFFFF0u);
    TimeSource::Advance(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);  // wraps like the real counter
    TimeSource::UseReal();
    EXPECT_FALSE(TimeSource::IsManual());
}

TEST(Clock, RealTimeDoesNotGoBack) {
    TimeSource::UseReal();
    const DWORD a = timeGetTime();
    Sleep(3);
    const DWORD b = timeGetTime();
    EXPECT_GE(static_cast<DWORD>(b - a), 1u);
}

// A window that keeps what is posted to it.
struct KeptMessages final : MessageWindow {
    void OnPostedMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        kept.push_back({this, message, wParam, lParam});
    }
    std::vector<PostedMessage> kept;
};

TEST(MessageSink, RecordsAndNeverBlocks) {
    MessageSink& sink = MessageSink::Instance();
    sink.Clear();
    KeptMessages target;
    HWND window = &target;
    EXPECT_EQ(MessageBoxA(window, "text", "OpenGL Error", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(PostMessageA(window, 0x511, 15, -1), TRUE);
    // The window itself gets the message too.
    ASSERT_EQ(target.kept.size(), 1u);
    EXPECT_EQ(target.kept[0].wParam, 15u);
    EXPECT_EQ(target.kept[0].lParam, -1);
    OutputDebugStringA("line");
    OutputDebugStringA("\n");
    OutputDebugStringA(nullptr);

    ASSERT_EQ(sink.MessageBoxes().size(), 1u);
    EXPECT_EQ(sink.MessageBoxes()[0].text, "text");
    EXPECT_EQ(sink.MessageBoxes()[0].caption, "OpenGL Error");
    EXPECT_EQ(sink.MessageBoxes()[0].type, MB_OK | MB_ICONERROR);
    EXPECT_EQ(sink.MessageBoxes()[0].window, window);
    ASSERT_EQ(sink.PostedMessages().size(), 1u);
    EXPECT_EQ(sink.PostedMessages()[0].message, 0x511u);
    EXPECT_EQ(sink.PostedMessages()[0].wParam, 15u);
    EXPECT_EQ(sink.PostedMessages()[0].lParam, -1);
    EXPECT_EQ(sink.DebugOutput(), (std::vector<std::string>{"line", "\n", ""}));

    sink.SetMessageBoxAnswer(2);
    EXPECT_EQ(MessageBoxA(nullptr, "again", "", MB_OK), 2);
    sink.SetMessageBoxAnswer(IDOK);
    sink.Clear();
    EXPECT_TRUE(sink.MessageBoxes().empty());
    EXPECT_TRUE(sink.PostedMessages().empty());
    EXPECT_TRUE(sink.DebugOutput().empty());
}

TEST(MessageSink, PostsFromManyThreadsAreAllKept) {
    MessageSink::Instance().Clear();
    {
        Thread a, b;
        auto post = [] {
            for (int i = 0; i < 500; ++i) PostMessageA(nullptr, 0x511, 10, i);
            return DWORD{0};
        };
        ASSERT_TRUE(a.Start(post));
        ASSERT_TRUE(b.Start(post));
    }
    EXPECT_EQ(MessageSink::Instance().PostedMessages().size(), 1000u);
    MessageSink::Instance().Clear();
}

TEST(CurrentDirectory, AnswersLikeWin32) {
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof(cwd)), nullptr);
    const std::string expected = cwd;

    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), expected.size() + 1);
    char small[2] = {'x', 'y'};
    EXPECT_EQ(GetCurrentDirectoryA(2, small), expected.size() + 1);
    EXPECT_EQ(small[0], 'x');

    char buf[4096];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof(buf), buf), expected.size());
    EXPECT_EQ(std::string(buf), expected);

    SetCurrentDirectoryOverride("/games/demo");
    EXPECT_EQ(GetCurrentDirectoryA(sizeof(buf), buf), 11u);
    EXPECT_STREQ(buf, "/games/demo");
    SetCurrentDirectoryOverride("");
}

}  // namespace
