#pragma once
// What the skeletal animation tests share: a bound host over a memory file system, a known
// frame step, and an empty animation-data cache after each test.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/SkelAnimFileWriter.h"
#include "tests/support/world/TrackFileWriter.h"
#include "world/core/FrameTimeControl.h"
#include "world/scene/World.h"
#include "world/skeleton/SkelAnimsData.h"
#include "world/skeleton/SkelAnimsDataMgr.h"

namespace quor::test {

class SkelTest : public ::testing::Test {
protected:
    SkelTest() : log(std::make_unique<host::MemoryFileSystem>()) { SetFrameStep(10.0); }
    ~SkelTest() override {
        SkelAnimsDataMgr::GetInstance().Clear();
        World::Instance().SetResourceCacheEnabled(true);
        FrameTimeControl::Instance().Reset();
    }

    // step ms per frame.
    static void SetFrameStep(double step) {
        FrameTimeControl& c = FrameTimeControl::Instance();
        c.SetFrameRate(1000);
        c.SetSpeed(static_cast<float>(step));
    }
    host::MemoryFileSystem& Files() { return static_cast<host::MemoryFileSystem&>(*log.bound.host.files); }
    void AddFile(const std::string& name, std::vector<std::uint8_t> bytes) { Files().AddFile(name, std::move(bytes)); }
    void AddFile(const std::string& name, const std::string& text) { Files().AddFile(name, TextBytes(text)); }
    std::string FullPath(const std::string& name) {
        char buffer[260];
        Files().MakeFullPath(name.c_str(), buffer, sizeof buffer);
        return buffer;
    }
    // Writes the file and loads it through the cache.
    SkelAnimsData* LoadFile(const std::string& name, const SkelAnimFileDesc& desc, const char* pivot = nullptr) {
        AddFile(name, WriteSkelAnimFile(desc));
        return SkelAnimsDataMgr::GetInstance().GetOrLoad(name.c_str(), pivot);
    }

    LogCapture log;
};

}  // namespace quor::test
