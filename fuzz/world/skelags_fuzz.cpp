// Feeds arbitrary text to the ".ags" companion reader over a small animation file, then plays
// every group it found. Nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/world/MemoryHost.h"
#include "platform/host/IUtils.h"
#include "platform/host/IXmlNode.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Memory.h"
#include "world/core/Module.h"
#include "world/skeleton/SkelAnimState.h"
#include "world/skeleton/SkelAnimsData.h"
#include "world/skeleton/SkelAnimsDataMgr.h"

namespace {

// Three clips "walk", "run", "idle" on two bones, written here so the target needs no files.
std::vector<std::uint8_t> Clips() {
    std::vector<std::uint8_t> b;
    auto u8 = [&](std::uint8_t v) { b.push_back(v); };
    auto u16 = [&](std::uint16_t v) { u8(std::uint8_t(v)); u8(std::uint8_t(v >> 8)); };
    auto u32 = [&](std::uint32_t v) { u16(std::uint16_t(v)); u16(std::uint16_t(v >> 16)); };
    auto f32 = [&](float f) { std::uint32_t v; std::memcpy(&v, &f, 4); u32(v); };
    auto fixed = [&](const char* s) { for (std::size_t i = 0; i < 32; ++i) u8(i < std::strlen(s) ? std::uint8_t(s[i]) : 0); };
    u32(0x53494752);
    u32(0x40003);
    u8(0);
    u16(3);
    const char* names[3] = {"walk", "run", "idle"};
    for (int a = 0; a < 3; ++a) {
        fixed(names[a]);
        fixed("");
        u8(1);
        u8(0);
        u16(7);
        u32(0);
        u16(3);
        for (int k = 0; k < 3; ++k) f32(100.0f * float(k));
        u16(2);
        fixed("Bone0");
        fixed("Bone1");
        for (int c = 0; c < 2; ++c) {
            u8(1); u8(0); u8(0); u8(0);
            for (int k = 0; k < 3; ++k) { f32(float(k)); f32(0); f32(float(a)); }
            f32(0); f32(0); f32(0); f32(1);
            f32(1); f32(1); f32(1);
        }
        u8(0);
        u16(0);
    }
    return b;
}

quor::host::MemoryFileSystem& Files() {
    static quor::host::MemoryFileSystem* files = [] {
        quor::host::MemoryFileSystem* raw = quor::fuzz::BindMemoryHost();
        raw->AddFile("clips.san", Clips());
        return raw;
    }();
    return *files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quor::host::MemoryFileSystem& files = Files();
    if (size > 0xFFFFFFu) return 0;
    files.AddFile("clips.ags", std::vector<std::uint8_t>(data, data + size));
    auto state = std::unique_ptr<quor::SkelAnimState>(quor::NewObject<quor::SkelAnimState>());
    const std::uint8_t parents[2] = {255, 0};
    char names[64] = "Bone0";
    std::memcpy(names + 32, "Bone1", 6);
    state->SetSkeleton(parents, names, 2);
    if (state->AttachAnimationFile("clips.san", 0x30000, 0, nullptr) == 1) {
        const quor::SkelAnimsData* d = state->Data(0);
        state->PlaySkeletalAnimation(0, -1.0f, 16, -1.0f, 1, 1.0f);
        for (std::size_t g = 0; g < d->groups.size() && g < 16; ++g) {
            state->PlayAnimationGroup(std::uint16_t(g), 100.0f, 3, 1.0f);
            for (int frame = 0; frame < 3; ++frame) state->UpdateSkeletalAnimation(true);
        }
        for (std::uint16_t s = 0; s < d->GetSequenceCount() && s < 16; ++s) {
            for (std::uint16_t j = 0; j < d->GetSequenceItemCount(s); ++j) (void)d->GetSequenceItem(s, j);
        }
    }
    state.reset();
    quor::SkelAnimsDataMgr::GetInstance().Clear();
    return 0;
}
