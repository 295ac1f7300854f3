// The rule of every test program that links the Win32 stand-in: a test that starts a thread
// carries "Thread" in its name (suite or test). ./test.sh picks the tests it runs again under
// ThreadSanitizer by that word, so a test without it would never get the race check; this
// listener fails such a test.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/Thread.h"

namespace {

class ThreadNameCheck : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { m_started = quor::win32::Thread::StartedCount(); }

    void OnTestEnd(const testing::TestInfo& info) override {
        const std::string name = std::string(info.test_suite_name()) + "." + info.name();
        if (quor::win32::Thread::StartedCount() != m_started && name.find("Thread") == std::string::npos)
            ADD_FAILURE() << name << " starts threads: put \"Thread\" in its name so that it also runs under ThreadSanitizer";
    }

    int m_started = 0;
};

const bool g_registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new ThreadNameCheck);
    return true;
}();

}  // namespace
