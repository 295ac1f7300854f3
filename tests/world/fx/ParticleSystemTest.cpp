#include "world/fx/ParticleSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/fx/FxSceneFixture.h"
#include "tests/support/world/SheetFileWriter.h"
#include "world/core/Random.h"
#include "world/core/FrameTimeControl.h"
#include "world/fx/FxFrameTime.h"
#include "world/scene/World.h"

namespace quor::world {
namespace {

using test::FxSceneFixture;
using PS = ParticleSystem;

const int kSeq[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
float Range(float a, float b, int k) { return a + (b - a) * float(kSeq[k]) / 32767.0f; }

const char* kBase = "FxLifeSpan=\"10\" Texture=\"fx/p.dds\" ";

void Step(ParticleSystem& ps, int frames = 1) {
    for (int i = 0; i < frames; ++i) ps.Update();
}

void ExpectVec(const Vec3& a, const Vec3& b, float eps = 1e-3f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

TEST(ParticleSystem, CountsPerFrame) {
    FxSceneFixture f;
    struct Case {
        const char* attrs;
        std::vector<int> live;  // after each update
    };
    const Case cases[] = {
        // Rate 10 at dt 0.016: nothing for six frames, then one.
        {"ParticlesPerSecond=\"10\"", {0, 0, 0, 0, 0, 0, 1, 1}},
        {"ParticlesPerSecond=\"10\" EmitAtBegin=\"1\"", {1, 1, 1, 1, 1, 1, 1, 2}},
        // Bursts: a second's particles at once, the first on the first update.
        {"ParticlesPerSecond=\"5\" EmitEven=\"0\" MaxSpriteLifespan=\"5\"", {5, 5, 5, 5, 5, 5, 5, 5}},
        {"ParticlesPerSecond=\"0\" EmitAtBegin=\"0\"", {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        auto ps = f.Load<PS>("ParticleSystem", std::string(kBase) + c.attrs);
        ASSERT_TRUE(ps) << c.attrs;
        ps->SetFrameTime(0.016f);
        ps->SetPlaying(true);
        std::vector<int> live;
        for (std::size_t i = 0; i < c.live.size(); ++i) {
            ps->Update();
            live.push_back(ps->LiveCount());
        }
        EXPECT_EQ(live, c.live) << c.attrs;
    }
    auto none = f.Load<PS>("ParticleSystem", std::string(kBase) + "ParticlesPerSecond=\"0\"");
    EXPECT_EQ(none->PoolCapacity(), 8);

    // Bursts repeat once per second of effect time.
    auto burst = f.Load<PS>("ParticleSystem", std::string(kBase) + "ParticlesPerSecond=\"3\" EmitEven=\"0\" "
                                                                    "MinSpriteLifespan=\"9\" MaxSpriteLifespan=\"9\"");
    burst->SetFrameTime(0.25f);
    burst->SetPlaying(true);
    std::vector<int> live;
    for (int i = 0; i < 9; ++i) {
        burst->Update();
        live.push_back(burst->LiveCount());
    }
    EXPECT_EQ(live, (std::vector<int>{3, 3, 3, 3, 6, 6, 6, 6, 9}));
}

TEST(ParticleSystem, FirstParticleDrawsFollowTheGenerator) {
    FxSceneFixture f;
    auto ps = f.Load<PS>("ParticleSystem",
                         std::string(kBase) +
                             "ParticlesPerSecond=\"1\" EmitAtBegin=\"1\" EmissionType=\"0\" "
                             "MinSpriteVelocity=\"10\" MaxSpriteVelocity=\"30\" MinOrigDegree=\"0\" MaxOrigDegree=\"90\" "
                             "MinSpriteLifespan=\"1\" MaxSpriteLifespan=\"3\" MinSpin=\"0\" MaxSpin=\"180\" "
                             "MinRadius=\"2\" MaxRadius=\"6\"",
                         "<EmissionRadiusFrame><K Time=\"0\" Value=\"8\"/></EmissionRadiusFrame>");
    ASSERT_TRUE(ps);
    ps->SetFrameTime(0.5f);
    ps->SetPlaying(true);
    SeedRand(1);
    ps->Update();
    ASSERT_EQ(ps->LiveCount(), 1);
    const Particle& p = *ps->LiveParticles()[0];
    Vec3 d(2 * Range(0, 1, 0) - 1, 2 * Range(0, 1, 1) - 1, 2 * Range(0, 1, 2) - 1);
    d = d * (1.0f / Vec3Length(d));
    const float speed = Range(10, 30, 3), radius = Range(0, 8, 4);
    const float pi = 3.14159265f;
    const float start = Range(0, 90, 5) / 180 * pi;
    const float life = Range(1, 3, 6);
    const float end = Range(0, 180, 7) / 180 * pi;
    EXPECT_NEAR(p.startAngle, start, 1e-5f);
    EXPECT_NEAR(p.lifeSpan, life, 1e-5f);
    EXPECT_NEAR(p.spinRate, (end - start) / life, 1e-5f);
    EXPECT_NEAR(p.size, Range(2, 6, 8), 1e-5f);
    ExpectVec(p.previous, d * radius);
    ExpectVec(p.position, d * radius + d * speed * 0.5f);
    EXPECT_EQ(p.age, 0.5f);
    EXPECT_EQ(p.anchored, 1);
}

TEST(ParticleSystem, PoolOfEightScheduleAtSixtyFourFrames) {
    FxSceneFixture f;
    auto ps = f.Load<PS>("ParticleSystem", std::string(kBase) +
                                               "ParticlesPerSecond=\"16\" MinSpriteLifespan=\"0.5\" MaxSpriteLifespan=\"0.5\"");
    ASSERT_TRUE(ps);
    ASSERT_EQ(ps->PoolCapacity(), 8);
    ps->SetFrameTime(1.0f / 64);
    ps->SetPlaying(true);
    // By hand: a quarter particle per frame, so one on every fourth frame (4, 8, ..., 32); each
    // lives 32 steps and is recycled on its 33rd, after that frame's emission. Frames 33 to 36
    // find all eight records live: their emission adds no share, so the next birth is on
    // frame 40, and the cycle shifts by four frames each time round.
    std::vector<int> births;
    float acc = 0.0f;
    std::vector<int> alive;  // birth frames of the live particles
    int fullFrame = -1;
    for (int frame = 1; frame <= 100; ++frame) {
        if (alive.size() == 8) {
            if (fullFrame < 0) fullFrame = frame;
        } else {
            acc += 0.25f;
            if (acc >= 1.0f) {
                acc -= 1.0f;
                alive.push_back(frame);
            }
        }
        alive.erase(std::remove_if(alive.begin(), alive.end(), [&](int b) { return frame - b >= 32; }), alive.end());
        ps->Update();
        ASSERT_EQ(ps->LiveCount(), int(alive.size())) << "frame " << frame;
        std::vector<float> ages;
        for (const Particle* p : ps->LiveParticles()) ages.push_back(p->age);
        std::sort(ages.begin(), ages.end());
        std::vector<float> expected;
        for (int b : alive) expected.push_back(float(frame - b + 1) / 64);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ages, expected) << "frame " << frame;
    }
    EXPECT_EQ(fullFrame, 33);
}

TEST(ParticleSystem, AnchorsLiveWithTheirParticles) {
    FxSceneFixture f;
    auto ps = f.Load<PS>("ParticleSystem", std::string(kBase) +
                                               "ParticlesPerSecond=\"4\" AnchorSum=\"3\" EmissionType=\"0\" "
                                               "MinSpriteLifespan=\"1\" MaxSpriteLifespan=\"1\" Inside=\"0\"",
                         "<EmissionRadiusFrame><K Time=\"0\" Value=\"5\"/></EmissionRadiusFrame>");
    ASSERT_TRUE(ps);
    ps->SetFrameTime(0.25f);
    ps->SetPlaying(true);
    SeedRand(3);
    Step(*ps, 3);
    ASSERT_EQ(ps->Anchors().size(), 3u);
    for (const ParticleAnchor& a : ps->Anchors()) EXPECT_EQ(a.particle->anchored, 1);
    // Later particles copy one of the three points.
    Step(*ps, 1);
    ASSERT_EQ(ps->LiveCount(), 4);
    const Particle* copy = ps->LiveParticles()[3];
    EXPECT_EQ(copy->anchored, 0);
    bool matches = false;
    for (const ParticleAnchor& a : ps->Anchors()) matches = matches || a.position == copy->previous;
    EXPECT_TRUE(matches);
    // The first particle dies on the fifth step (after that step's emission): its anchor goes,
    // and the next particle records a new point.
    Step(*ps, 1);
    EXPECT_EQ(ps->Anchors().size(), 2u);
    for (const ParticleAnchor& a : ps->Anchors()) {
        bool live = false;
        for (const Particle* p : ps->LiveParticles()) live = live || p == a.particle;
        EXPECT_TRUE(live);
    }
    // From now on one particle dies and one is born each step: the newborn records its point.
    Step(*ps, 1);
    ASSERT_EQ(ps->Anchors().size(), 2u);
    EXPECT_EQ(ps->Anchors().back().particle->age, 0.25f);
    ps->Reset();
    EXPECT_TRUE(ps->Anchors().empty());
    EXPECT_EQ(ps->LiveCount(), 0);
    EXPECT_EQ(ps->FreeCount(), ps->PoolCapacity());
}

TEST(ParticleSystem, BoundsFollowTheLiveParticles) {
    FxSceneFixture f;
    auto ps = f.Load<PS>("ParticleSystem", std::string(kBase) +
                                               "ParticlesPerSecond=\"2\" EmissionType=\"1\" Gravity=\"-10\" "
                                               "MinSpriteVelocity=\"4\" MaxSpriteVelocity=\"4\" EmitEven=\"0\"");
    ps->SetFrameTime(0.5f);
    ps->SetPlaying(true);
    SeedRand(9);
    ps->Update();
    Vec3 ref, lo, hi;
    ps->BoundsOf(ref, lo, hi);
    const auto live = ps->LiveParticles();
    ASSERT_EQ(live.size(), 2u);
    ExpectVec(ref, live[0]->previous);
    for (const Particle* p : live) {
        const Vec3 d = p->position - ref;
        EXPECT_LE(lo.x, d.x);
        EXPECT_GE(hi.x, d.x);
        EXPECT_LE(lo.y, d.y);
        EXPECT_GE(hi.y, d.y);
    }
}

// Particles as (age, position, velocity), sorted: the pool places differ between runs.
std::vector<std::vector<float>> State(const ParticleSystem& ps) {
    std::vector<std::vector<float>> out;
    for (const Particle* p : ps.LiveParticles())
        out.push_back({p->age, p->position.x, p->position.y, p->position.z, p->velocity.x, p->velocity.y,
                       p->velocity.z, p->size});
    std::sort(out.begin(), out.end());
    return out;
}

TEST(ParticleSystem, SnapshotReplayEqualsAStraightRun) {
    FxSceneFixture f;
    const std::string attrs = std::string("FxLifeSpan=\"2\" Texture=\"fx/p.dds\" ") +
                              "ParticlesPerSecond=\"30\" EmissionType=\"0\" Gravity=\"-3\" Friction=\"0.5\" "
                              "RandomSum=\"1,1,1\" MinSpriteLifespan=\"0.3\" MaxSpriteLifespan=\"0.6\"";
    auto straight = f.Load<PS>("ParticleSystem", attrs);
    straight->SetFrameTime(1.0f / 32);
    straight->SetPlaying(true);
    SeedRand(77);
    Step(*straight, 40);

    auto replay = f.Load<PS>("ParticleSystem", attrs);
    replay->SetFrameTime(1.0f / 32);
    replay->SetPlaying(true);
    replay->SetFrameTableMode(1);
    ASSERT_EQ(replay->SnapshotFrames(), 64u);
    replay->SetPlaySpeed(0.0f);
    replay->SetTime(40.0f / 32);
    SeedRand(77);
    replay->Update();
    EXPECT_EQ(replay->GetTime(), 40.0f / 32);
    ASSERT_GT(replay->LiveCount(), 0);
    EXPECT_EQ(State(*replay), State(*straight));

    // Going back restores the recorded frame, without drawing on the generator.
    replay->SetTime(20.0f / 32);
    SeedRand(1);
    replay->Update();
    const int live20 = replay->LiveCount();
    EXPECT_GT(live20, 0);
    EXPECT_TRUE(replay->Anchors().empty());
    for (const Particle* p : replay->LiveParticles()) EXPECT_EQ(p->anchored, 0);
    EXPECT_EQ(replay->FreeCount() + live20, replay->PoolCapacity());

    // A time far past the table still ends the replay.
    replay->SetTime(1e9f);
    replay->Update();
    EXPECT_EQ(replay->GetTime(), 1e9f);
}

struct QuadCase {
    const char* attrs;
    int space;  // TrackActionType
};

TEST(ParticleSystem, QuadCornersPerFacingAndFrame) {
    FxSceneFixture f;
    Matrix turn;
    MatrixRotationY(turn, 3.14159265f / 2);
    for (int dirType = 0; dirType <= 3; ++dirType) {
        for (int track : {0, 1}) {
            for (bool along : {false, true}) {
                SCOPED_TRACE(testing::Message() << "DirType " << dirType << " track " << track << " along " << along);
                const std::string attrs = std::string(kBase) + "ParticlesPerSecond=\"1\" EmitAtBegin=\"1\" " +
                                          "EmissionType=\"1\" MinSpriteVelocity=\"8\" MaxSpriteVelocity=\"8\" " +
                                          "MinRadius=\"3\" MaxRadius=\"3\" PlaneDir=\"0,0,1\" ParticleDir=\"1,0,0\" " +
                                          "DirType=\"" + std::to_string(dirType) + "\" TrackActionType=\"" +
                                          std::to_string(track) + "\" AlongMoveDir=\"" + (along ? "1" : "0") + "\"";
                auto ps = f.Load<PS>("ParticleSystem", attrs);
                ASSERT_TRUE(ps);
                ps->SetPosition({5, 0, 0});
                ps->SetRotation(turn);
                ps->SetFrameTime(0.25f);
                ps->SetPlaying(true);
                SeedRand(2);
                ps->Update();
                ASSERT_EQ(ps->LiveCount(), 1);
                ps->Render();
                auto* prim = static_cast<host::RecordingPrimitive*>(ps->Primitive());
                ASSERT_EQ(prim->draws.size(), 1u);
                const auto& v = prim->draws[0].vertices;
                ASSERT_EQ(v.size(), 4u);
                const Particle& p = *ps->LiveParticles()[0];
                Vec3 c[4];
                for (int k = 0; k < 4; ++k) c[k] = {v[k].x, v[k].y, v[k].z};
                // Centre: the stored position, turned by the emitter's rotation in its own frame.
                Vec3 q = p.position;
                if (track == 1) TransformCoord(p.position, turn, q);
                const Vec3 n = ps->Normal();
                if (!along) {
                    ExpectVec((c[0] + c[2]) * 0.5f, q);
                    ExpectVec((c[1] + c[3]) * 0.5f, q);
                    const Vec3 w = (c[1] - c[0]) * 0.5f, h = (c[0] - c[3]) * 0.5f;
                    EXPECT_NEAR(Vec3Length(w), 3.0f, 1e-3f);
                    EXPECT_NEAR(Vec3Length(h), 3.0f, 1e-3f);
                    ExpectVec(w, ps->AxisB() * 3.0f);
                    ExpectVec(h, ps->AxisA() * 3.0f);
                } else {
                    // Starts at the particle and reaches along its motion.
                    ExpectVec((c[2] + c[3]) * 0.5f, q);
                    Vec3 motion = p.position - p.previous;
                    if (track == 1) TransformNormal(motion, turn, motion);
                    motion = motion * (1.0f / Vec3Length(motion));
                    const Vec3 up = (c[0] - c[3]) * 0.5f;
                    EXPECT_NEAR(Vec3Length(up), 3.0f, 1e-3f);
                    if (track == 0) ExpectVec(up * (1.0f / 3.0f), motion);
                    EXPECT_NEAR(Vec3Dot(c[1] - c[0], up), 0.0f, 1e-3f);
                }
                // The facing normal by DirType: the eye, the eye flattened, PlaneDir, ParticleDir.
                if (dirType == 2) {
                    EXPECT_NEAR(std::fabs(Vec3Dot(n, {0, 0, 1})), 1.0f, 1e-3f);
                }
                if (dirType == 3) {
                    EXPECT_NEAR(std::fabs(Vec3Dot(n, {1, 0, 0})), 1.0f, 1e-3f);
                }
                if (dirType == 1) {
                    EXPECT_NEAR(n.y, 0.0f, 1e-3f);
                }
                // The draw matrix: the emitter's in its own frame, identity in the world's.
                const float* m = prim->draws[0].transform;
                if (track == 0) EXPECT_EQ(m[12], 0.0f);
                else EXPECT_NEAR(m[12], 5.0f, 1e-5f);
            }
        }
    }
}

TEST(ParticleSystem, SheetFramesAndColours) {
    FxSceneFixture f;
    auto files = static_cast<host::MemoryFileSystem*>(f.world.host().files.get());
    test::SheetFileDesc sheet;
    sheet.columns = "8";
    sheet.rows = "6";
    sheet.texture = "fx/p.dds";
    files->AddFile("fx/s.spr", test::WriteSheetFile(sheet));
    auto ps = f.Load<PS>("ParticleSystem",
                         "FxLifeSpan=\"10\" Texture=\"fx/s.spr\" ParticlesPerSecond=\"100\" EmitEven=\"0\" "
                         "ColorType=\"2\" AlongMoveDir=\"0\"",
                         "<ColorFrame><K Time=\"0\" Value=\"255,255,0,255\"/></ColorFrame>"
                         "<ColorFramePar><K Time=\"0\" Value=\"255,0,255,255\"/></ColorFramePar>");
    ASSERT_TRUE(ps);
    EXPECT_TRUE(ps->HasSheet());
    EXPECT_EQ(ps->Grid().FrameCount(), 48);
    ps->SetPlaying(true);
    SeedRand(4);
    ps->Update();
    ps->Render();
    auto* prim = static_cast<host::RecordingPrimitive*>(ps->Primitive());
    ASSERT_EQ(prim->draws.size(), 1u);
    const auto& v = prim->draws[0].vertices;
    const auto live = ps->LiveParticles();
    ASSERT_EQ(v.size(), live.size() * 4);
    bool highFrame = false;
    for (std::size_t i = 0; i < live.size(); ++i) {
        float uv[8];
        ps->Grid().FrameRect(live[i]->sheetFrame, uv);
        for (int k = 0; k < 4; ++k) {
            EXPECT_FLOAT_EQ(v[4 * i + k].u, uv[2 * k]);
            EXPECT_FLOAT_EQ(v[4 * i + k].v, uv[2 * k + 1]);
        }
        highFrame = highFrame || live[i]->sheetFrame >= 40;
        // Channel-wise product of the emitter and particle colours.
        EXPECT_EQ(v[4 * i].colour, 0xFF0000FFu);
    }
    EXPECT_TRUE(highFrame) << "frames beyond a 40-entry table are drawn too";
}

TEST(ParticleSystem, DrawingNeedsACameraAndALimit) {
    FxSceneFixture f;
    auto ps = f.Load<PS>("ParticleSystem", std::string(kBase) + "ParticlesPerSecond=\"50\" EmitEven=\"0\"");
    ps->SetPlaying(true);
    ps->Update();
    ASSERT_EQ(ps->LiveCount(), 50);
    auto* prim = static_cast<host::RecordingPrimitive*>(ps->Primitive());

    World::Instance().SetParticleFactor(0.5f);
    ps->Render();
    ASSERT_EQ(prim->draws.size(), 1u);
    EXPECT_EQ(prim->draws[0].used, 25);

    World::Instance().SetParticleFactor(0.0f);
    ps->Render();
    EXPECT_EQ(prim->draws.size(), 1u) << "a limit of 0 draws nothing";
    World::Instance().SetParticleFactor(1.0f);

    ps->SetScene(nullptr);  // no scene, no camera
    ps->Render();
    EXPECT_EQ(prim->draws.size(), 1u) << "nothing faces a missing camera";
    EXPECT_EQ(ps->GetDrawnParticleCount(), 0u);
}

TEST(ParticleSystem, BadInput) {
    FxSceneFixture f;
    auto files = static_cast<host::MemoryFileSystem*>(f.world.host().files.get());
    files->AddFile("fx/bad.spr", std::string("4 x"));
    test::SheetFileDesc sheet;
    sheet.texture = "fx/none.dds";
    files->AddFile("fx/lost.spr", test::WriteSheetFile(sheet));
    host::RecordingRenderer& r = f.Renderer();
    // Render states are cached for the world's lifetime; everything else is the node's.
    auto liveObjects = [&] { return r.LiveObjects() - r.LiveStates(); };
    const int before = liveObjects();
    struct Case {
        std::string attrs;
        bool loads;
        const char* log;
        int placeholder;  // size of the blank texture made, 0 for none
        bool run = true;
    };
    const Case cases[] = {
        {"Texture=\"\"", false, "Particle's texture is empty!", 0},
        {"Texture=\"fx/bad.spr\"", false, "Sprite texture file fx/bad.spr is not found!", 0},
        {"Texture=\"fx/missing.spr\"", true, "Sprite texture file fx/missing.spr is not found!", 32},
        {"Texture=\"fx/lost.spr\"", true, "fx/none.dds", 256},
        {"Texture=\"fx/none.dds\"", true, "fx/none.dds", 32},
        {"Texture=\"fx/p.dds\" ParticlesPerSecond=\"4000000000\" MaxSpriteLifespan=\"1e30\"", true, "limited to", 0, false},
        {"Texture=\"fx/p.dds\" MaxSpriteLifespan=\"nan\" Gravity=\"1e39\" PlaneDir=\"nan,1,1\"", true, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attrs);
        f.world.capture.Clear();
        r.ClearCalls();
        auto ps = f.Load<PS>("ParticleSystem", "FxLifeSpan=\"1\" " + c.attrs);
        EXPECT_EQ(bool(ps), c.loads);
        if (c.log) {
            EXPECT_TRUE(f.world.capture.Contains(c.log)) << f.world.capture.Joined();
        }
        const auto calls = r.Calls();
        const std::string blank = "CreateTexture(" + std::to_string(c.placeholder) + "," + std::to_string(c.placeholder);
        const bool made = std::any_of(calls.begin(), calls.end(), [&](const std::string& s) { return s.rfind(blank, 0) == 0; });
        EXPECT_EQ(made, c.placeholder != 0);
        if (ps && !c.run) {
            EXPECT_EQ(ps->PoolCapacity(), PS::kMaxPool);
        }
        if (ps && c.run) {
            EXPECT_GE(ps->PoolCapacity(), PS::kMinPool);
            EXPECT_LE(ps->PoolCapacity(), PS::kMaxPool);
            EXPECT_TRUE(std::isfinite(ps->Shape().plane.normal.y));
            ps->SetPlaying(true);
            Step(*ps, 5);
            ps->UpdateCulling();
            ps->Render();
        }
        ps.reset();
        EXPECT_EQ(liveObjects(), before) << "everything made is given back";
    }
    EXPECT_EQ(r.BadReleases(), 0);
}

// What one file asks for is bounded: the pool, the replay table and the work of one update.
TEST(ParticleSystem, HostileCountsAndLivesStayBounded) {
    FxSceneFixture f;
    struct Case {
        const char* attrs;
        bool replay;  // frame-table mode, then a jump far ahead
    };
    const Case cases[] = {
        {"FxLifeSpan=\"1e30\" ParticlesPerSecond=\"10\"", true},
        {"FxLifeSpan=\"1e30\" ParticlesPerSecond=\"2000\"", true},
        {"FxLifeSpan=\"10\" ParticlesPerSecond=\"4294967295\"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attrs);
        f.world.capture.Clear();
        auto ps = f.Load<PS>("ParticleSystem", std::string(c.attrs) + " Texture=\"fx/p.dds\"");
        ASSERT_TRUE(ps);
        ASSERT_LE(ps->PoolCapacity(), 1 << 16);
        ps->SetFrameTime(1.0f / 60);
        ps->SetPlaying(true);
        if (c.replay) {
            ps->SetFrameTableMode(1);
            ASSERT_LE(ps->SnapshotFrames(), std::size_t{1} << 15);
            ps->SetPlaySpeed(0.0f);
            ps->SetTime(1e9f);
            ps->Update();
            EXPECT_EQ(ps->GetTime(), 1e9f);
        } else {
            Step(*ps, 120);
            EXPECT_LE(ps->LiveCount(), ps->PoolCapacity());
        }
    }
}

TEST(ParticleSystem, TextureDurationInSecondsSetsShortLives) {
    FxSceneFixture f;
    host::TextureDesc anim;
    anim.frames = 10;
    anim.duration = 1.5f;
    f.Renderer().Store()->DefineTexture("fx/anim.dds", anim);
    auto ps = f.Load<PS>("ParticleSystem", "FxLifeSpan=\"5\" Texture=\"fx/anim.dds\" ParticlesPerSecond=\"10\" "
                                           "MinSpriteLifespan=\"0\" MaxSpriteLifespan=\"0.005\" EmitAtBegin=\"1\"");
    ps->SetPlaying(true);
    ps->Update();
    ASSERT_EQ(ps->LiveCount(), 1);
    EXPECT_FLOAT_EQ(ps->LiveParticles()[0]->lifeSpan, 1.5f);
    // Pool from the new life span: 10 x 1.5.
    EXPECT_EQ(ps->PoolCapacity(), 15);
}

// An animated particle texture is shown at the particle's age, which the texture takes in
// milliseconds.
TEST(ParticleSystem, AnimatedTexturesTakeTheAgeInMilliseconds) {
    FxSceneFixture f;
    host::TextureDesc anim;
    anim.frames = 10;
    anim.duration = 1.0f;
    f.Renderer().Store()->DefineTexture("fx/anim.dds", anim);
    auto ps = f.Load<PS>("ParticleSystem", "FxLifeSpan=\"5\" Texture=\"fx/anim.dds\" ParticlesPerSecond=\"10\" "
                                           "EmitAtBegin=\"1\"");
    ASSERT_TRUE(ps);
    ps->SetPlaying(true);
    Step(*ps, 12);
    ps->Render();
    auto* texture = static_cast<host::RecordingTexture*>(ps->Texture());
    ASSERT_NE(texture, nullptr);
    ASSERT_GT(texture->timeSets, 0);
    const auto live = ps->LiveParticles();
    ASSERT_FALSE(live.empty());
    EXPECT_TRUE(std::any_of(live.begin(), live.end(),
                            [&](const Particle* p) { return std::fabs(p->age * 1000.0f - texture->time) < 1e-2f; }))
        << texture->time;
    EXPECT_GT(texture->time, 50.0f) << "up to twelve frames old at 60 frames a second";
}

// Before the host sets its speed the frame step is zero: sheet cells stand still, whatever
// the sheet's length.
TEST(ParticleSystem, ANoFrameStepLeavesSheetCellsStill) {
    for (const float length : {0.0f, 500.0f}) {
        SCOPED_TRACE(length);
        FxSceneFixture f;
        FrameTimeControl::Instance().Reset();
        auto files = static_cast<host::MemoryFileSystem*>(f.world.host().files.get());
        test::SheetFileDesc sheet;
        sheet.columns = "4";
        sheet.rows = "2";
        sheet.texture = "fx/p.dds";
        sheet.length = std::to_string(length);
        files->AddFile("fx/s.spr", test::WriteSheetFile(sheet));
        auto ps = f.Load<PS>("ParticleSystem", "FxLifeSpan=\"10\" Texture=\"fx/s.spr\" ParticlesPerSecond=\"100\" "
                                               "MinSpriteLifespan=\"5\" MaxSpriteLifespan=\"5\"");
        ASSERT_TRUE(ps);
        EXPECT_TRUE(std::isfinite(ps->TicksPerFrame()));
        ps->SetPlaySpeed(1.0f);
        EXPECT_TRUE(std::isfinite(ps->TicksPerFrame()));
        ps->SetPlaying(true);
        ps->Update();
        ps->Render();
        // Each particle starts on a cell of its own and keeps it.
        std::vector<std::pair<const Particle*, int>> started;
        for (const Particle* p : ps->LiveParticles()) started.emplace_back(p, int(p->sheetFrame));
        ASSERT_FALSE(started.empty());
        for (int frame = 0; frame < 6; ++frame) {
            ps->Update();
            ps->Render();
        }
        for (const auto& [p, cell] : started) EXPECT_EQ(int(p->sheetFrame), cell);
    }
}

TEST(ParticleSystem, ReportAndStates) {
    FxSceneFixture f;
    auto ps = f.Load<PS>("ParticleSystem", std::string(kBase) + "ParticlesPerSecond=\"4\" EmitEven=\"0\" EarlierTime=\"0.5\"");
    ps->SetPlaying(true);
    ps->Update();
    XmlNodePtr doc(host::XmlNode::NewDocument());
    ps->DumpProperties(doc.Get());
    XmlNodePtr fx(doc->FirstChildElement("Fx"));
    ASSERT_TRUE(fx);
    EXPECT_EQ(fx->GetIntAttribute("", "particle_count", -1), 4);
    EXPECT_EQ(fx->GetIntAttribute("", "type", -1), 0);
    // With the linger flag the node finishes its particles, then goes inactive.
    ps->Deactivate();
    EXPECT_EQ(ps->GetState(), kFxFinishing);
    for (int i = 0; i < 200 && ps->GetState() == kFxFinishing; ++i) ps->Update();
    EXPECT_EQ(ps->GetState(), kFxInactive);
    EXPECT_EQ(ps->LiveCount(), 0);
}

}  // namespace
}  // namespace quor::world
