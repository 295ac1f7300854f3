#pragma once
// What the track tests share: a bound host over a memory file system, a known frame step, and
// a clean track registry and data cache after each test.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/XmlNode.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/TrackFileWriter.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/Memory.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/track/TrackDataMgr.h"
#include "world/core/track/TrackRegistry.h"

namespace quor::test {

class TrackTest : public ::testing::Test {
protected:
    TrackTest() : log(std::make_unique<host::MemoryFileSystem>()) { SetFrameStep(10.0); }
    ~TrackTest() override {
        world::TrackRegistry::GetInstance().RemoveAll();
        TrackDataMgr::GetInstance().Clear();
        FrameTimeControl::Instance().Reset();
    }

    // step ms per frame: 1000 frames per second at speed `step`.
    static void SetFrameStep(double step) {
        FrameTimeControl& c = FrameTimeControl::Instance();
        c.SetFrameRate(1000);
        c.SetSpeed(static_cast<float>(step));
    }
    host::MemoryFileSystem& Files() { return static_cast<host::MemoryFileSystem&>(*log.bound.host.files); }
    void AddFile(const std::string& name, std::vector<std::uint8_t> bytes) { Files().AddFile(name, std::move(bytes)); }
    std::string FullPath(const std::string& name) {
        char buffer[260];
        Files().MakeFullPath(name.c_str(), buffer, sizeof buffer);
        return buffer;
    }

    LogCapture log;
};

// The first element of an XML text, owned (its document stays alive with it).
inline XmlNodePtr ParseElement(const std::string& text) {
    host::XmlNode* doc = host::XmlNode::NewDocument();
    doc->Parse(text.data(), static_cast<std::uint32_t>(text.size()));
    XmlNodePtr element(doc->FirstChildElement(nullptr), true);
    doc->Release();
    return element;
}

}  // namespace quor::test
