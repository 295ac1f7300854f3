// Feeds arbitrary bytes to the skeletal animation file reader. After a successful load every
// accessor is walked, every channel sampled at every key, and each animation played on a
// skeleton made from the record's bones. Nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/world/MemoryHost.h"
#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/Memory.h"
#include "world/core/Module.h"
#include "world/core/track/TransformKey.h"
#include "world/skeleton/SkelAnimState.h"
#include "world/skeleton/SkelAnimsData.h"
#include "world/skeleton/SkelAnimsDataMgr.h"

namespace {

quor::host::MemoryFileSystem& Files() {
    static quor::host::MemoryFileSystem* files = [] {
        quor::host::MemoryFileSystem* raw = quor::fuzz::BindMemoryHost();
        quor::FrameTimeControl::Instance().SetSpeed(1.0f);
        return raw;
    }();
    return *files;
}

void Walk(const quor::SkelAnimsData& d) {
    quor::TransformKey key;
    for (std::uint16_t i = 0; i < d.GetAnimationCount(); ++i) {
        (void)d.GetPivotTrack(i);
        (void)d.IsLooping(i);
        (void)d.ScalesBones(i);
        (void)d.GetPartMask(i);
        (void)d.GetPivotBoneName(i);
        const std::uint16_t keys = d.GetKeyCount(i);
        for (std::uint16_t b = 0; b < d.GetBoneCount(i); ++b) {
            (void)d.GetBoneName(i, b);
            (void)d.IsChannelEuler(i, b);
            for (std::uint16_t k = 0; k < keys; ++k) {
                d.SampleChannel(i, b, k, 0.0f, key);
                d.SampleChannel(i, b, k, 0.5f, key);
            }
        }
        float f = 0;
        (void)d.FindKeyForward(i, float(d.GetLength(i) * 0.5), 0, &f);
        (void)d.FindKeyBackward(i, float(d.GetLength(i) * 0.5), 0, &f);
        (void)d.GetKeyTimeAt(i, 1.0f);
        for (std::uint16_t k = 0; k < keys; ++k) {
            (void)d.GetEvent(i, k);
            (void)d.FindMorphSegment(i, k, true);
            (void)d.FindMorphSegment(i, k, false);
        }
        for (std::uint32_t p = 0; p < 20; ++p) {
            (void)d.GetMorphMarkerKey(i, p);
            (void)d.GetMorphMarkerTime(i, p);
            (void)d.GetMorphMarkerLabel(i, p);
        }
        for (std::uint16_t j = 0; j <= d.GetAnimationCount(); ++j) {
            std::uint16_t type;
            float time;
            std::uint8_t enabled;
            (void)d.GetTransition(i, j, &type, &time, &enabled);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quor::host::MemoryFileSystem& files = Files();
    {
        quor::SkelAnimsData d;
        if (d.LoadImage(data, size, "fuzz.san", "Bone1")) Walk(d);
    }
    files.AddFile("fuzz.san", std::vector<std::uint8_t>(data, data + size));
    // Play each animation on a chain skeleton named after its record's bones.
    auto state = std::unique_ptr<quor::SkelAnimState>(quor::NewObject<quor::SkelAnimState>());
    if (state->AttachAnimationFile("fuzz.san", 0x30000, 0, "Bone1") == 1) {
        const quor::SkelAnimsData* d = state->Data(0);
        const std::uint16_t bones = d->GetAnimationCount() ? std::min<std::uint16_t>(d->GetBoneCount(0), 255) : 0;
        if (bones) {
            std::vector<char> names(std::size_t(bones) * 32, 0);
            std::vector<std::uint8_t> parents(bones);
            for (std::uint16_t b = 0; b < bones; ++b) {
                if (const char* n = d->GetBoneName(0, b)) std::memcpy(&names[std::size_t(b) * 32], n, 31);
                parents[b] = b == 0 ? 255 : std::uint8_t(b - 1);
            }
            state->SetSkeleton(parents.data(), names.data(), bones);
            for (int a = 0; a < state->GetAnimationCount() && a < 8; ++a) {
                state->PlaySkeletalAnimation(std::uint16_t(a), 50.0f, std::uint32_t(a % 5), -1.0f, 1, 1.0f);
                for (int frame = 0; frame < 4; ++frame) state->UpdateSkeletalAnimation(true);
                while (state->PopEvent()) {
                }
            }
        }
    }
    state.reset();
    quor::SkelAnimsDataMgr::GetInstance().Clear();
    return 0;
}
