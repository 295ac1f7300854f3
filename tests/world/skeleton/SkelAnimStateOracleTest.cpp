// Playback against an independent evaluation: random skeletons and clips, the bone matrices
// recomputed in double from the clip keys (binary search of the key times, interpolation,
// local = scale x rotation x translation, composed parent-first by recursion).
#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <random>

#include "tests/world/skeleton/SkelTestSupport.h"
#include "world/core/Align16.h"
#include "world/core/Memory.h"
#include "world/skeleton/SkelAnimState.h"

namespace {

using namespace quor;
using namespace quor::test;

using M4 = std::array<double, 16>;
using Q = std::array<double, 4>;

M4 Mul(const M4& a, const M4& b) {
    M4 r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r[4 * i + j] += a[4 * i + k] * b[4 * k + j];
    return r;
}

M4 Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

// Row-vector rotation about one axis.
M4 Axis(int axis, double a) {
    const double c = std::cos(a), s = std::sin(a);
    M4 m = Identity();
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    m[4 * i + i] = c;
    m[4 * i + j] = s;
    m[4 * j + i] = -s;
    m[4 * j + j] = c;
    return m;
}

const int kOrders[7][3] = {{0, 1, 2}, {0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

M4 FromQuaternion(const Q& q) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    return {1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y), 0,
            2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x), 0,
            2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y), 0,
            0, 0, 0, 1};
}

Q Slerp(Q a, Q b, double t) {
    double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (d < 0) {
        d = -d;
        for (double& v : b) v = -v;
    }
    double ka = 1 - t, kb = t;
    if (d < 0.9999) {
        const double o = std::acos(d);
        ka = std::sin((1 - t) * o) / std::sin(o);
        kb = std::sin(t * o) / std::sin(o);
    }
    return {ka * a[0] + kb * b[0], ka * a[1] + kb * b[1], ka * a[2] + kb * b[2], ka * a[3] + kb * b[3]};
}

// A sampled bone: position, rotation (quaternion, or Euler angles when euler > 0), scale.
struct Pose {
    std::array<double, 3> p{0, 0, 0};
    Q r{0, 0, 0, 1};
    int euler = 0;
    std::array<double, 3> s{1, 1, 1};
};

Pose Blend(Pose a, const Pose& b, double f) {
    for (int i = 0; i < 3; ++i) {
        a.p[i] += (b.p[i] - a.p[i]) * f;
        a.s[i] += (b.s[i] - a.s[i]) * f;
    }
    if (a.euler) {
        for (int i = 0; i < 3; ++i) a.r[i] += (b.r[i] - a.r[i]) * f;
    } else {
        a.r = Slerp(a.r, b.r, f);
    }
    return a;
}

M4 Local(const Pose& k) {
    M4 rot = Identity();
    if (k.euler) {
        const int* o = kOrders[k.euler];
        rot = Mul(Mul(Axis(o[0], k.r[o[0]]), Axis(o[1], k.r[o[1]])), Axis(o[2], k.r[o[2]]));
    } else {
        rot = FromQuaternion(k.r);
    }
    M4 s = Identity();
    s[0] = k.s[0];
    s[5] = k.s[1];
    s[10] = k.s[2];
    M4 t = Identity();
    t[12] = k.p[0];
    t[13] = k.p[1];
    t[14] = k.p[2];
    return Mul(Mul(s, rot), t);
}

struct ClipChannel {
    int bone = -1;  // skeleton bone, -1 for a bone the skeleton lacks
    TrackChannelDesc desc;
};

struct Clip {
    std::vector<float> times;
    std::vector<ClipChannel> channels;
    const ClipChannel* For(int bone) const {
        for (const ClipChannel& c : channels)
            if (c.bone == bone) return &c;
        return nullptr;
    }
    // The bone at time t, by binary search of the key times.
    Pose Sample(const ClipChannel& c, double t) const {
        const auto it = std::upper_bound(times.begin(), times.end(), float(t));
        std::size_t k = it == times.begin() ? 0 : std::size_t(it - times.begin()) - 1;
        double f = 0;
        if (k + 1 < times.size()) f = (t - times[k]) / (double(times[k + 1]) - times[k]);
        else k = times.size() - 1;
        const std::size_t next = std::min(k + 1, times.size() - 1);
        auto part = [&](const std::vector<float>& v, bool perKey, std::size_t n, std::size_t i) {
            return perKey ? &v[i * n] : &v[0];
        };
        Pose out;
        out.euler = c.desc.flags[3];
        const float* pa = part(c.desc.positions, c.desc.flags[0], 3, k);
        const float* pb = part(c.desc.positions, c.desc.flags[0], 3, next);
        const float* sa = part(c.desc.scales, c.desc.flags[2], 3, k);
        const float* sb = part(c.desc.scales, c.desc.flags[2], 3, next);
        for (int i = 0; i < 3; ++i) {
            out.p[i] = pa[i] + (double(pb[i]) - pa[i]) * f;
            out.s[i] = sa[i] + (double(sb[i]) - sa[i]) * f;
        }
        const std::size_t rn = out.euler ? 3 : 4;
        const float* ra = part(c.desc.rotations, c.desc.flags[1], rn, k);
        const float* rb = part(c.desc.rotations, c.desc.flags[1], rn, next);
        if (out.euler) {
            for (int i = 0; i < 3; ++i) out.r[i] = ra[i] + (double(rb[i]) - ra[i]) * f;
            out.r[3] = 0;
        } else {
            out.r = Slerp({ra[0], ra[1], ra[2], ra[3]}, {rb[0], rb[1], rb[2], rb[3]}, f);
        }
        return out;
    }
};

struct Rig {
    std::vector<std::uint8_t> parents;
    std::vector<std::string> names;
    std::vector<int> euler;  // per bone: 0 quaternion, else the Euler order every clip uses
    std::vector<char> NameBlock() const {
        std::vector<char> block(names.size() * 32, 0);
        for (std::size_t i = 0; i < names.size(); ++i) std::copy(names[i].begin(), names[i].end(), &block[i * 32]);
        return block;
    }
};

Rig RandomRig(std::mt19937& rng) {
    Rig rig;
    const int n = std::uniform_int_distribution<int>(1, 255)(rng);
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng);
    rig.parents.assign(n, 255);
    const bool severalRoots = std::uniform_int_distribution<int>(0, 3)(rng) == 0;
    for (int i = 1; i < n; ++i) {
        if (severalRoots && std::uniform_int_distribution<int>(0, 9)(rng) == 0) continue;
        rig.parents[order[i]] = std::uint8_t(order[std::uniform_int_distribution<int>(0, i - 1)(rng)]);
    }
    for (int b = 0; b < n; ++b) {
        rig.names.push_back("B" + std::to_string(b));
        rig.euler.push_back(std::uniform_int_distribution<int>(0, 2)(rng) == 0
                                ? std::uniform_int_distribution<int>(1, 6)(rng)
                                : 0);
    }
    return rig;
}

Clip RandomClip(std::mt19937& rng, const Rig& rig, bool allBones) {
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Clip clip;
    const int keys = std::uniform_int_distribution<int>(2, 7)(rng);
    float t = 0;
    for (int k = 0; k < keys; ++k) {
        clip.times.push_back(t);
        t += std::uniform_real_distribution<float>(40.0f, 160.0f)(rng);
    }
    for (std::size_t b = 0; b < rig.names.size(); ++b) {
        if (!allBones && std::uniform_int_distribution<int>(0, 6)(rng) == 0) continue;
        ClipChannel c;
        c.bone = int(b);
        c.desc.flags[0] = std::uniform_int_distribution<int>(0, 3)(rng) != 0;
        c.desc.flags[1] = std::uniform_int_distribution<int>(0, 3)(rng) != 0;
        c.desc.flags[2] = std::uniform_int_distribution<int>(0, 1)(rng) != 0;
        c.desc.flags[3] = std::uint8_t(rig.euler[b]);
        const int pn = c.desc.flags[0] ? keys : 1, rn = c.desc.flags[1] ? keys : 1, sn = c.desc.flags[2] ? keys : 1;
        for (int k = 0; k < pn; ++k) c.desc.positions.insert(c.desc.positions.end(), {u(rng), u(rng), u(rng)});
        Q q{u(rng), u(rng), u(rng), 1.5};
        for (int k = 0; k < rn; ++k) {
            if (c.desc.flags[3]) {
                c.desc.rotations.insert(c.desc.rotations.end(), {u(rng), u(rng), u(rng)});
                continue;
            }
            // Neighbouring keys stay within a quarter turn, so the shortest arc is unambiguous.
            for (int i = 0; i < 3; ++i) q[i] += 0.3 * u(rng);
            const double len = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
            c.desc.rotations.insert(c.desc.rotations.end(),
                                    {float(q[0] / len), float(q[1] / len), float(q[2] / len), float(q[3] / len)});
        }
        for (int k = 0; k < sn; ++k) {
            c.desc.scales.insert(c.desc.scales.end(),
                                 {1.0f + 0.2f * u(rng), 1.0f + 0.2f * u(rng), 1.0f + 0.2f * u(rng)});
        }
        clip.channels.push_back(c);
    }
    // Bones the skeleton lacks.
    for (int extra = 0; extra < 2; ++extra) {
        ClipChannel c;
        c.desc = MakeTrackChannel(std::uint16_t(keys), true, true, true, 0, extra);
        clip.channels.push_back(c);
    }
    std::shuffle(clip.channels.begin(), clip.channels.end(), rng);
    return clip;
}

SkelAnimRecordDesc RecordOf(const Clip& clip, const Rig& rig, const std::string& name) {
    SkelAnimRecordDesc r;
    r.name = name;
    r.times = clip.times;
    int extra = 0;
    for (const ClipChannel& c : clip.channels) {
        r.boneNames.push_back(c.bone >= 0 ? rig.names[c.bone] : "Extra" + std::to_string(extra++));
        r.channels.push_back(c.desc);
    }
    return r;
}

class SkelPlaybackOracle : public SkelTest {
protected:
    // Poses of every bone from a per-bone function, composed parent-first by recursion.
    static std::vector<M4> Compose(const Rig& rig, const std::function<Pose(int)>& pose) {
        std::vector<M4> world(rig.names.size());
        std::vector<bool> done(rig.names.size(), false);
        std::function<const M4&(int)> at = [&](int b) -> const M4& {
            if (!done[b]) {
                const M4 local = Local(pose(b));
                world[b] = rig.parents[b] == 255 ? local : Mul(local, at(rig.parents[b]));
                done[b] = true;
            }
            return world[b];
        };
        for (std::size_t b = 0; b < rig.names.size(); ++b) at(int(b));
        return world;
    }
    static void ExpectMatrices(const SkelAnimState& state, const std::vector<M4>& expected, const char* what) {
        for (std::uint16_t b = 0; b < state.BoneCount(); ++b) {
            for (int i = 0; i < 16; ++i) {
                const double e = expected[b][i];
                ASSERT_NEAR(state.BoneMatrix(b).m[i], e, 2e-3 * (1.0 + std::fabs(e)))
                    << what << ": bone " << b << " element " << i;
            }
        }
    }
    static Pose Rest(const Rig& rig, int b) {
        Pose p;
        (void)rig;
        (void)b;
        return p;
    }
};

TEST_F(SkelPlaybackOracle, SingleClipsCrossFadesAndLayers) {
    std::mt19937 rng(20);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        SetUseAlignedAlloc(round % 2 == 0);
        const Rig rig = RandomRig(rng);
        const Clip a = RandomClip(rng, rig, false);
        const Clip b = RandomClip(rng, rig, true);
        SkelAnimFileDesc file;
        file.version = 0x40003;
        file.records = {RecordOf(a, rig, "a"), RecordOf(b, rig, "b")};
        const std::string name = "r" + std::to_string(round) + ".san";
        AddFile(name, WriteSkelAnimFile(file));
        const std::vector<char> names = rig.NameBlock();

        std::uniform_real_distribution<double> step(1.0, 120.0);
        auto sample = [&](const Clip& clip, double t, int bone, const Pose& otherwise) {
            const ClipChannel* c = clip.For(bone);
            return c ? clip.Sample(*c, t) : otherwise;
        };
        // One clip.
        {
            auto state = std::unique_ptr<SkelAnimState>(NewObject<SkelAnimState>());
            ASSERT_TRUE(state->SetSkeleton(rig.parents.data(), names.data(), std::uint16_t(rig.names.size())));
            ASSERT_EQ(state->AttachAnimationFile(name.c_str(), 0x30000, 0, nullptr), 1);
            state->BindAnimationData(0);
            ASSERT_TRUE(state->PlaySkeletalAnimation(0, -1.0f, 16, -1.0f, 1, 1.0f));
            for (int frame = 0; frame < 6; ++frame) {
                SetFrameStep(step(rng));
                state->UpdateSkeletalAnimation(true);
                const double t = state->CurrentChannel().clock.time;
                ExpectMatrices(*state, Compose(rig, [&](int bone) { return sample(a, t, bone, Pose{}); }), "single");
            }
            // Cross-fade into b, a playing on.
            ASSERT_TRUE(state->PlaySkeletalAnimation(1, 400.0f, 3, -1.0f, 1, 1.0f));
            ASSERT_EQ(state->TransitionType(), 3u);
            for (int frame = 0; frame < 5; ++frame) {
                SetFrameStep(step(rng) * 0.5);
                state->UpdateSkeletalAnimation(true);
                const double ta = state->PreviousChannel().clock.time;
                const double tb = state->CurrentChannel().clock.time;
                const double f = state->LastCrossFadeFactor();
                ExpectMatrices(*state, Compose(rig, [&](int bone) {
                                   return Blend(sample(b, tb, bone, Pose{}), sample(a, ta, bone, Pose{}), f);
                               }),
                               "cross-fade");
            }
        }
        // A two-layer group: weights 1 and 3 of equal priority average 0.25 / 0.75.
        {
            auto state = std::unique_ptr<SkelAnimState>(NewObject<SkelAnimState>());
            ASSERT_TRUE(state->SetSkeleton(rig.parents.data(), names.data(), std::uint16_t(rig.names.size())));
            ASSERT_EQ(state->AttachAnimationFile(name.c_str(), 0x30000, 0, nullptr), 1);
            state->BindAnimationData(0);
            AnimationGroupMember members[2];
            members[0].animation = 0;
            members[0].weight = 1.0f;
            members[1].animation = 1;
            members[1].weight = 3.0f;
            ASSERT_TRUE(state->PlayGroupMembers(members, 2, -1.0f, 16, 1.0f));
            ASSERT_EQ(state->Layers().size(), 1u);
            ASSERT_EQ(state->GetCurrentAnimation(), 1);  // the heavier first
            for (int frame = 0; frame < 5; ++frame) {
                SetFrameStep(step(rng));
                state->UpdateSkeletalAnimation(true);
                const double tb = state->CurrentChannel().clock.time;
                const double ta = state->Layers()[0].clock.time;
                ExpectMatrices(*state, Compose(rig, [&](int bone) {
                                   const ClipChannel* ca = a.For(bone);
                                   const ClipChannel* cb = b.For(bone);
                                   if (ca && cb) return Blend(b.Sample(*cb, tb), a.Sample(*ca, ta), 0.25);
                                   if (ca) return a.Sample(*ca, ta);
                                   return cb ? b.Sample(*cb, tb) : Pose{};
                               }),
                               "group");
            }
        }
        SkelAnimsDataMgr::GetInstance().Clear();
    }
    SetUseAlignedAlloc(false);
}

}  // namespace
