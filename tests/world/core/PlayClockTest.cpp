#include <gtest/gtest.h>

#include "platform/host/InterfaceRegistry.h"
#include "platform/host/RecordingClient.h"
#include "tests/support/world/LogCapture.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Module.h"
#include "world/core/PlayClock.h"

namespace {

using namespace quor;

// Sets the module-wide step to step ms per frame; back to all zero afterwards.
class FrameStep {
public:
    explicit FrameStep(double step) {
        // 1000 frames per second at speed "step" gives exactly step ms per frame.
        FrameTimeControl& c = FrameTimeControl::Instance();
        c.SetFrameRate(1000);
        c.SetSpeed(static_cast<float>(step));
    }
    ~FrameStep() { FrameTimeControl::Instance().Reset(); }
};

struct TickCase {
    const char* what;
    double length, start, end, time;
    bool loop, reverse;
    double step;
    // expected
    bool result;
    double time2;
    unsigned loops;
    int state;
    bool playing;
};

TEST(PlayClock, TickTable) {
    const TickCase cases[] = {
        {"loop wraps at the end", 100, 0, 100, 95, true, false, 10, true, 5, 1, 1, true},
        {"loop warns before the wrap", 100, 0, 100, 85, true, false, 10, true, 95, 0, 2, true},
        {"loop wraps several times", 100, 0, 100, 50, true, false, 250, true, 0, 3, 2, true},
        {"once stops at the end", 100, 0, 100, 95, false, false, 10, true, 100, 0, 2, false},
        {"once inside the range", 100, 20, 80, 30, false, false, 10, true, 40, 0, 0, true},
        {"reverse once stops at the start", 100, 0, 100, 5, false, true, 10, true, 0, 0, 2, false},
        {"reverse loop wraps", 100, 0, 100, 5, true, true, 10, true, 95, 1, 1, true},
        {"reverse loop wraps and warns", 100, 0, 100, 5, true, true, 96, true, 9, 1, 2, true},
        {"reverse inside the range", 100, 0, 100, 15, true, true, 10, true, 5, 0, 0, true},
        {"open-ended just adds", -1, 0, -1, 7, false, true, 10, true, 17, 0, 0, true},
        {"zero frame time stands still", 100, 0, 100, 40, true, false, 0, true, 40, 0, 0, true},
        {"zero length does nothing", 0, 0, 0, 0, true, false, 10, false, 0, 0, 0, true},
    };
    for (const TickCase& c : cases) {
        SCOPED_TRACE(c.what);
        FrameStep step(c.step);
        PlayClock clock;
        clock.length = c.length;
        clock.rangeStart = c.start;
        clock.rangeEnd = c.end;
        clock.time = c.time;
        clock.loop = c.loop;
        clock.reverse = c.reverse;
        EXPECT_EQ(clock.Tick(), c.result);
        EXPECT_NEAR(clock.time, c.time2, 1e-9);
        EXPECT_EQ(clock.loopCount, c.loops);
        EXPECT_EQ(clock.state, c.state);
        EXPECT_EQ(clock.playing != 0, c.playing);
    }
}

// A host that never sets the speed sees nothing move: the first playing clock that ticks at
// speed 0 says why, once.
TEST(PlayClock, TickingAtSpeedZeroWarnsOnce) {
    test::LogCapture log;
    FrameTimeControl::Instance().Reset();
    PlayClock clock;
    clock.SetLength(100);
    ASSERT_TRUE(clock.Play());
    clock.Tick();
    clock.Tick();
    EXPECT_EQ(clock.time, 0.0);
    int warnings = 0;
    for (const std::string& line : log.Lines())
        warnings += line.find("[WARNING] Frame-time speed is 0") != std::string::npos;
    EXPECT_EQ(warnings, 1) << log.Joined();
    // Stopped clocks and a set speed say nothing.
    log.Clear();
    FrameTimeControl::Instance().Reset();
    clock.playing = 0;
    clock.Tick();
    FrameStep step(10);
    ASSERT_TRUE(clock.Play());
    clock.Tick();
    EXPECT_FALSE(log.Contains("Frame-time speed")) << log.Joined();
}

TEST(PlayClock, StatePulsesMoveToPrevious) {
    FrameStep step(10);
    PlayClock clock;
    clock.SetLength(100);
    clock.time = 95;
    clock.Tick();
    EXPECT_EQ(clock.state, 1);
    clock.Tick();
    EXPECT_EQ(clock.previousState, 1);
    EXPECT_EQ(clock.state, 0);
    EXPECT_FALSE(PlayClock().playing == 0);
    clock.playing = 0;
    EXPECT_FALSE(clock.Tick());
}

TEST(PlayClock, DegenerateRangeCannotHangATick) {
    FrameStep step(10);
    PlayClock clock;
    clock.length = 100;
    clock.rangeStart = clock.rangeEnd = 50;
    clock.time = 50;
    EXPECT_TRUE(clock.Tick());
    EXPECT_EQ(clock.time, 50);
    clock.reverse = 1;
    EXPECT_TRUE(clock.Tick());
    EXPECT_EQ(clock.time, 50);
    // A huge step over a short range is counted, not walked.
    clock.reverse = 0;
    clock.rangeStart = 0;
    clock.rangeEnd = 0.001;
    clock.speed = 1e9f;
    EXPECT_TRUE(clock.Tick());
    EXPECT_GE(clock.time, 0.0);
    EXPECT_LE(clock.time, 0.001);
    EXPECT_GT(clock.loopCount, 1000u);
}

TEST(PlayClock, SetLength) {
    PlayClock clock;
    clock.SetLength(10);
    EXPECT_DOUBLE_EQ(clock.length, PlayClock::kShortestSpan);
    EXPECT_DOUBLE_EQ(clock.rangeStart, 0);
    EXPECT_DOUBLE_EQ(clock.rangeEnd, 10);
    clock.SetLength(0.00005f);
    EXPECT_DOUBLE_EQ(clock.length, PlayClock::kShortestSpan);
    EXPECT_DOUBLE_EQ(clock.rangeEnd, 10);
    clock.SetLength(500);
    EXPECT_DOUBLE_EQ(clock.length, 500);
    EXPECT_DOUBLE_EQ(clock.rangeEnd, 500);
}

TEST(PlayClock, SetRangeKeepsTheShortestSpanInsideTheClip) {
    PlayClock clock;
    clock.SetRange(10, 20);  // no length yet: ignored
    EXPECT_DOUBLE_EQ(clock.rangeEnd, 0);
    clock.SetLength(1000);
    clock.time = 500;
    clock.SetRange(-5, 20);
    EXPECT_DOUBLE_EQ(clock.rangeStart, 0);
    EXPECT_DOUBLE_EQ(clock.rangeEnd, PlayClock::kShortestSpan);
    EXPECT_EQ(clock.state, 1);  // the time was outside: moved to the start
    EXPECT_DOUBLE_EQ(clock.time, 0);
    clock.reverse = 1;
    clock.SetRange(990, 1200);
    EXPECT_DOUBLE_EQ(clock.rangeEnd, 1000);
    EXPECT_DOUBLE_EQ(clock.rangeStart, 1000 - PlayClock::kShortestSpan);
    EXPECT_DOUBLE_EQ(clock.time, 1000);  // reverse: moved to the end
}

TEST(PlayClock, Seek) {
    PlayClock clock;
    clock.SetLength(100);
    struct Case {
        float to;
        double time;
        int state;
    } cases[] = {{250, 50, 0}, {40, 40, 0}, {-5, 0, 1}, {100, 100, 2}, {0.00001f, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        clock.Seek(c.to);
        EXPECT_NEAR(clock.time, c.time, 1e-9);
        EXPECT_EQ(clock.state, c.state);
    }
    PlayClock empty;
    empty.Seek(30);
    EXPECT_EQ(empty.time, 0);
    PlayClock open;
    open.ResetOpenEnded();
    open.Seek(30);
    EXPECT_EQ(open.time, 30);
    open.Seek(-3);
    EXPECT_EQ(open.time, 0);
    EXPECT_EQ(open.state, 1);
}

TEST(PlayClock, SetSpeedKeepsOneStepUnderHalfTheClip) {
    FrameStep step(10);
    PlayClock clock;
    clock.SetLength(100);
    clock.SetSpeed(4);
    EXPECT_FLOAT_EQ(clock.speed, 4);
    clock.SetSpeed(8);
    EXPECT_FLOAT_EQ(clock.speed, 5);
    PlayClock open;
    open.ResetOpenEnded();
    open.SetSpeed(3);
    EXPECT_FLOAT_EQ(open.speed, 3);  // never turned negative
}

TEST(PlayClock, PlayRestartsFromTheProperEnd) {
    PlayClock clock;
    EXPECT_FALSE(clock.Play());  // no length
    clock.SetLength(100);
    clock.time = 100;
    clock.playing = 0;
    EXPECT_TRUE(clock.Play());
    EXPECT_EQ(clock.playing, 1);
    EXPECT_EQ(clock.time, 0);
    clock.reverse = 1;
    EXPECT_TRUE(clock.Play());
    EXPECT_EQ(clock.time, 100);
    clock.ResetOpenEnded();
    clock.reverse = 1;
    clock.time = 50;
    EXPECT_TRUE(clock.Play());
    EXPECT_EQ(clock.time, 0);
    EXPECT_EQ(clock.reverse, 0);
    clock.Clear();
    EXPECT_EQ(clock.playing, 0);
    EXPECT_EQ(clock.length, 0);
}

TEST(FrameTimeControl, MillisecondsPerFrame) {
    FrameTimeControl& c = FrameTimeControl::Instance();
    c.Reset();
    EXPECT_EQ(GetFrameMilliseconds(), 0);
    EXPECT_EQ(c.SetFrameRate(50), 50);
    EXPECT_EQ(GetFrameMilliseconds(), 0);  // speed still 0
    EXPECT_EQ(c.SetSpeed(2.0f), 50);
    EXPECT_DOUBLE_EQ(GetFrameMilliseconds(), 40.0);
    c.SetFrameRate(0);  // 60 stands in for 0
    EXPECT_DOUBLE_EQ(GetFrameMilliseconds(), 2000.0 / 60.0);
    EXPECT_EQ(GetFrameRate(), 0);
    c.Reset();
}

TEST(FrameTimeControl, HandedToTheClientEvenWhenClocksCameFirst) {
    ResetInterfaces();
    PlayClock early;  // no client yet: nothing to hand to
    host::RecordingClient client;
    host::InterfaceRegistry reg;
    reg.Add<client::IClient>("IClient_1.3", &client);
    GetIntf()->Initialize(&reg);
    EXPECT_EQ(client.FrameTimeControl(), &FrameTimeControl::Instance());
    PlayClock later;
    EXPECT_EQ(client.FrameTimeControlHandOvers(), 1);  // once per client
    ResetInterfaces();
}

}  // namespace
