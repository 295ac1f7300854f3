// One skeletal update (clocks, keys, sampling, blending, bone matrices) for N bones and M clips:
// 1 clip, 2 (a cross-fade) and 4 (a group of layers), against "ref", a plain loop over the same
// keys: key from the last hit, lerp / slerp per bone and part, the same weights, parent-first
// composition, through the same quaternion and matrix functions. Arguments: bones, clips, SSE.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/ReferenceHost.h"
#include "tests/support/world/SkelAnimFileWriter.h"
#include "world/core/Align16.h"
#include "world/core/FrameTimeControl.h"
#include "world/core/Memory.h"
#include "world/core/Module.h"
#include "world/core/math/Quaternion.h"
#include "world/skeleton/SkelAnimState.h"
#include "world/skeleton/SkelAnimsDataMgr.h"

namespace {

using namespace quor;

constexpr int kKeys = 30;
constexpr float kSpacing = 33.3f;

host::MemoryFileSystem& Files() {
    static host::MemoryFileSystem* files = [] {
        auto owned = std::make_unique<host::MemoryFileSystem>();
        host::MemoryFileSystem* raw = owned.get();
        auto* h = new host::ReferenceHost(std::move(owned));
        h->log.SetMuted(true);
        h->PublishAll();
        Module::Instance().Register(&h->registry);
        Module::Instance().Initialize(&h->registry);
        FrameTimeControl::Instance().SetFrameRate(60);
        FrameTimeControl::Instance().SetSpeed(1.0f);
        return raw;
    }();
    return *files;
}

struct Rig {
    std::vector<std::uint8_t> parents;
    std::vector<char> names;
    std::vector<std::uint8_t> order;  // parents first
    test::SkelAnimFileDesc file;
};

Rig MakeRig(int bones, int clips) {
    Rig rig;
    std::mt19937 rng(unsigned(bones * 7 + clips));
    rig.names.assign(std::size_t(bones) * 32, 0);
    for (int b = 0; b < bones; ++b) {
        rig.parents.push_back(b == 0 ? 255 : std::uint8_t(std::uniform_int_distribution<int>(0, b - 1)(rng)));
        const std::string n = "Bone" + std::to_string(b);
        std::memcpy(&rig.names[std::size_t(b) * 32], n.data(), n.size());
        rig.order.push_back(std::uint8_t(b));
    }
    rig.file.version = 0x40003;
    for (int c = 0; c < clips; ++c) {
        test::SkelAnimRecordDesc r = test::MakeSkelAnimRecord("clip" + std::to_string(c), kKeys, std::uint16_t(bones), c);
        for (int k = 0; k < kKeys; ++k) r.times[std::size_t(k)] = kSpacing * float(k);
        rig.file.records.push_back(r);
    }
    return rig;
}

void SetupState(SkelAnimState& state, const Rig& rig, int clips, const std::string& name) {
    Files().AddFile(name, test::WriteSkelAnimFile(rig.file));
    state.SetSkeleton(rig.parents.data(), rig.names.data(), std::uint16_t(rig.parents.size()));
    state.AttachAnimationFile(name.c_str(), 0x30000, 0, nullptr);
    state.BindAnimationData(0);
    if (clips == 1) {
        state.PlaySkeletalAnimation(0, -1, 16, -1, 1, 1);
    } else if (clips == 2) {
        state.PlaySkeletalAnimation(0, -1, 16, -1, 1, 1);
        state.PlaySkeletalAnimation(1, 1e9f, 3, -1, 1, 1);  // a cross-fade that lasts
    } else {
        std::vector<AnimationGroupMember> members(static_cast<std::size_t>(clips));
        for (int c = 0; c < clips; ++c) {
            members[std::size_t(c)].animation = std::uint16_t(c);
            members[std::size_t(c)].weight = float(c + 1);
        }
        state.PlayGroupMembers(members.data(), std::uint32_t(clips), -1, 16, 1);
    }
}

void SkelPosePlay(benchmark::State& st) {
    const int bones = int(st.range(0)), clips = int(st.range(1));
    SetUseAlignedAlloc(st.range(2) != 0);
    const Rig rig = MakeRig(bones, clips);
    std::unique_ptr<SkelAnimState> state(NewObject<SkelAnimState>());
    SetupState(*state, rig, clips, "bench" + std::to_string(bones) + "_" + std::to_string(clips) + ".san");
    for (auto _ : st) {
        state->UpdateSkeletalAnimation(true);
        benchmark::DoNotOptimize(state->BoneMatrix(std::uint16_t(bones - 1)).m[12]);
    }
    st.counters["poses/s"] = benchmark::Counter(double(st.iterations()), benchmark::Counter::kIsRate);
    st.counters["bones/s"] = benchmark::Counter(double(st.iterations()) * bones, benchmark::Counter::kIsRate);
    state.reset();
    SkelAnimsDataMgr::GetInstance().Clear();
    SetUseAlignedAlloc(false);
}

// The plain loop over the same keys.
struct RefClip {
    std::vector<float> times;
    std::vector<Vec3> positions, scales;  // key x bone
    std::vector<Quaternion> rotations;
    double time = 0;
    std::uint16_t key = 0;
};

void SkelPoseRef(benchmark::State& st) {
    const int bones = int(st.range(0)), clips = int(st.range(1));
    SetUseAlignedAlloc(st.range(2) != 0);
    const Rig rig = MakeRig(bones, clips);
    std::vector<RefClip> ref(static_cast<std::size_t>(clips));
    for (int c = 0; c < clips; ++c) {
        const auto& r = rig.file.records[std::size_t(c)];
        RefClip& rc = ref[std::size_t(c)];
        rc.times = r.times;
        for (int k = 0; k < kKeys; ++k) {
            for (int b = 0; b < bones; ++b) {
                const auto& ch = r.channels[std::size_t(b)];
                const std::size_t i = std::size_t(k);
                rc.positions.push_back({ch.positions[i * 3], ch.positions[i * 3 + 1], ch.positions[i * 3 + 2]});
                rc.rotations.push_back({ch.rotations[i * 4], ch.rotations[i * 4 + 1], ch.rotations[i * 4 + 2],
                                        ch.rotations[i * 4 + 3]});
                rc.scales.push_back({ch.scales[i * 3], ch.scales[i * 3 + 1], ch.scales[i * 3 + 2]});
            }
        }
    }
    std::vector<TransformKey> pose(static_cast<std::size_t>(bones));
    std::vector<TransformKey> layer(static_cast<std::size_t>(bones));
    std::unique_ptr<Matrix[]> world(NewArray<Matrix>(std::size_t(bones)));
    const double step = GetFrameMilliseconds();
    const double length = kSpacing * (kKeys - 1);
        auto sample = [&](RefClip& rc, std::vector<TransformKey>& out) {
        rc.time += step;
        if (rc.time >= length) rc.time -= length;
        const float t = float(rc.time);
        while (!(rc.times[rc.key] <= t && t < rc.times[rc.key + 1u])) rc.key = std::uint16_t((rc.key + 1) % (kKeys - 1));
        const float f = (t - rc.times[rc.key]) / (rc.times[rc.key + 1u] - rc.times[rc.key]);
        const std::size_t a = std::size_t(rc.key) * std::size_t(bones), b = a + std::size_t(bones);
        for (int i = 0; i < bones; ++i) {
            TransformKey& k = out[std::size_t(i)];
            Vec3Lerp(rc.positions[a + std::size_t(i)], rc.positions[b + std::size_t(i)], f, k.position);
            Vec3Lerp(rc.scales[a + std::size_t(i)], rc.scales[b + std::size_t(i)], f, k.scale);
            QuaternionSlerp(k.rotation, rc.rotations[a + std::size_t(i)], rc.rotations[b + std::size_t(i)], f);
        }
    };
    for (auto _ : st) {
        sample(ref[0], pose);
        if (clips == 2) {
            // Cross-fade: the new clip toward the old one by a fixed factor.
            sample(ref[1], layer);
            for (int i = 0; i < bones; ++i) BlendTransformKey(pose[std::size_t(i)], layer[std::size_t(i)], 0.5f);
        } else if (clips > 2) {
            float sum = 1.0f;
            for (int c = 1; c < clips; ++c) {
                sample(ref[std::size_t(c)], layer);
                sum += float(c + 1);
                const float w = float(c + 1) / sum;
                for (int i = 0; i < bones; ++i) BlendTransformKey(pose[std::size_t(i)], layer[std::size_t(i)], w);
            }
        }
        for (std::uint8_t b : rig.order) {
            Matrix local;
            TransformKey::ToMatrix(pose[b], local);
            if (rig.parents[b] == 255) world[b] = local;
            else MatrixMultiplyFast(local, world[rig.parents[b]], world[b]);
        }
        benchmark::DoNotOptimize(world[std::size_t(bones - 1)].m[12]);
    }
    st.counters["poses/s"] = benchmark::Counter(double(st.iterations()), benchmark::Counter::kIsRate);
    st.counters["bones/s"] = benchmark::Counter(double(st.iterations()) * bones, benchmark::Counter::kIsRate);
    SetUseAlignedAlloc(false);
}

void Args(benchmark::internal::Benchmark* b) {
    for (int sse : {0, 1})
        for (int clips : {1, 2, 4})
            for (int bones : {32, 80, 255}) b->Args({bones, clips, sse});
}

}  // namespace

BENCHMARK(SkelPoseRef)->Name("SkelPose.ref")->Apply(Args);
BENCHMARK(SkelPosePlay)->Name("SkelPose.play")->Apply(Args);
