#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "platform/host/FlatTerrain.h"
#include "platform/host/ICollisionOwner.h"
#include "tests/support/world/BspFileWriter.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MeshFileWriter.h"
#include "world/core/BSPTree.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::BspHold;
using world::BspNode;
using world::BspPolygon;
using world::BSPTree;

BspPolygon Tri(Vec3 a, Vec3 b, Vec3 c, std::int32_t user = 0) {
    const Vec3 v[3] = {a, b, c};
    return MakeBspPolygon(v, false, user);
}
BspPolygon Quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, std::int32_t user = 0) {
    const Vec3 v[4] = {a, b, c, d};
    return MakeBspPolygon(v, true, user);
}

bool Load(BSPTree& tree, const BspTreeDesc& desc, std::uint32_t version = 0x10025) {
    const std::vector<std::uint8_t> bytes = WriteBspSection(desc, version);
    return tree.Read(bytes.data(), bytes.size(), version) == bytes.size();
}

// A room of six inward-facing quads, |x|, |y|, |z| <= h.
std::vector<BspPolygon> Room(float h) {
    std::vector<BspPolygon> p;
    const Vec3 c[8] = {{-h, -h, -h}, {h, -h, -h}, {-h, h, -h}, {h, h, -h}, {-h, -h, h}, {h, -h, h}, {-h, h, h}, {h, h, h}};
    auto face = [&](int a, int b, int cc, int d, std::int32_t user) {
        BspPolygon q = Quad(c[a], c[b], c[cc], c[d], user);
        if (Vec3Dot(q.plane.normal, q.vertices[0]) > 0.0f) q = Quad(c[d], c[cc], c[b], c[a], user);
        p.push_back(q);
    };
    face(0, 1, 3, 2, 1), face(4, 5, 7, 6, 2), face(0, 4, 6, 2, 3), face(1, 5, 7, 3, 4), face(0, 1, 5, 4, 5),
        face(2, 3, 7, 6, 6);
    return p;
}

// --- layouts ---------------------------------------------------------------------------------

TEST(BSPTreeRead, EveryLayoutReadsBackWhatWasWritten) {
    std::vector<BspPolygon> polys = RandomBspScene(40, 10.0f, 1.0f, 7);
    for (std::size_t i = 0; i < polys.size(); ++i) polys[i].vertexValues[0] = float(i);
    const BspTreeDesc desc = CompileBsp(polys, 3);
    for (std::uint32_t v : {0x10000u, 0x10002u, 0x10003u, 0x10005u, 0x10006u, 0x10007u, 0x10021u, 0x10022u, 0x10025u}) {
        SCOPED_TRACE(v);
        BSPTree tree;
        ASSERT_TRUE(Load(tree, desc, v));
        ASSERT_EQ(tree.Polygons().size(), desc.polygons.size());
        EXPECT_TRUE(tree.HasTree());
        EXPECT_EQ(tree.Root(), desc.root);
        for (std::size_t i = 0; i < desc.polygons.size(); ++i) {
            const BspPolygon& a = tree.Polygons()[i];
            const BspPolygon& b = desc.polygons[i];
            EXPECT_EQ(a.flags, b.flags);
            EXPECT_EQ(a.userValue, v < 0x10003 ? 0 : b.userValue);
            EXPECT_EQ(a.vertexValues[0], float(i));
            EXPECT_EQ(a.vertices[a.VertexCount() - 1], b.vertices[b.VertexCount() - 1]);
            EXPECT_EQ(a.plane.normal, b.plane.normal);
            EXPECT_EQ(a.plane.d, b.plane.d);
            // Layouts that leave a word out start it as the empty polygon does.
            if (v >= 0x10006 && !a.IsQuad()) {
                EXPECT_FLOAT_EQ(a.vertexValues[3], 1.415f);
            }
        }
        for (std::size_t i = 0; i < desc.nodes.size(); ++i) {
            EXPECT_EQ(tree.Nodes()[i].polygon, desc.nodes[i].polygon);
            EXPECT_EQ(tree.Nodes()[i].negative, desc.nodes[i].negative);
            EXPECT_EQ(tree.Nodes()[i].positive, desc.nodes[i].positive);
        }
    }
}

TEST(BSPTreeRead, EmptySectionTakesFourBytes) {
    const std::uint8_t bytes[8] = {0, 0, 0, 0, 1, 2, 3, 4};
    BSPTree tree;
    EXPECT_EQ(tree.Read(bytes, sizeof bytes, 0x10025), 4u);
    EXPECT_FALSE(tree.HasTree());
    EXPECT_TRUE(tree.Polygons().empty());
}

TEST(BSPTreeRead, PackedNodeWordsCarryOnlyTheChildrenTheyName) {
    BspTreeDesc desc;
    for (int i = 0; i < 6; ++i) desc.polygons.push_back(Tri({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
    const std::vector<std::uint8_t> head = WriteBspSection(desc, 0x10007);  // n, polygons, m = 0, root
    ByteWriter w;
    w.Raw(head.data(), head.size() - 8);
    w.U32(10);
    w.U32(0xC0000005u), w.U32(7), w.U32(9);
    for (int i = 1; i < 10; ++i) w.U32(3);
    w.U32(0);
    BSPTree tree;
    ASSERT_EQ(tree.Read(w.bytes.data(), w.Size(), 0x10007), w.Size());
    EXPECT_EQ(w.Size(), head.size() - 8 + 4 + 12 + 9 * 4 + 4);
    EXPECT_EQ(tree.Nodes()[0].polygon, 5);
    EXPECT_EQ(tree.Nodes()[0].negative, 7);
    EXPECT_EQ(tree.Nodes()[0].positive, 9);
    EXPECT_EQ(tree.Nodes()[1].polygon, 3);
    EXPECT_EQ(tree.Nodes()[1].negative, -1);
    EXPECT_EQ(tree.Nodes()[1].positive, -1);
}

TEST(BSPTreeRead, PlanesComeFromTheVerticesFromTheVariableLayoutOn) {
    // A quad whose first three vertices are collinear takes (2, 3, 0).
    BspPolygon q = Quad({0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 0, 2});
    EXPECT_NEAR(std::fabs(q.plane.normal.y), 1.0f, 1e-6f);
    // A stored plane of 0x10006 is overwritten.
    BspTreeDesc desc;
    desc.polygons.push_back(Tri({0, 1, 0}, {0, 1, 1}, {1, 1, 0}));
    const Plane computed = desc.polygons[0].plane;
    desc.polygons[0].plane = Plane{{0.0f, 0.0f, 1.0f}, 42.0f};
    desc.nodes.push_back({0, -1, -1});
    desc.root = 0;
    BSPTree tree;
    ASSERT_TRUE(Load(tree, desc, 0x10006));
    EXPECT_EQ(tree.Polygons()[0].plane.normal, computed.normal);
    EXPECT_EQ(tree.Polygons()[0].plane.d, computed.d);
    ASSERT_TRUE(Load(tree, desc, 0x10005));
    EXPECT_EQ(tree.Polygons()[0].plane.d, 42.0f);
}

TEST(BSPTreeRead, BadSectionsAreRefusedAndLeaveTheTreeEmpty) {
    LogCapture log;
    BspTreeDesc good = CompileBsp(Room(5.0f), 1);
    auto bytesOf = [](const BspTreeDesc& d, std::uint32_t v) { return WriteBspSection(d, v); };
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::uint32_t version;
    };
    std::vector<Case> cases;
    auto withNode = [&](auto change) {
        BspTreeDesc d = good;
        change(d);
        return d;
    };
    cases.push_back({"polygon index", bytesOf(withNode([](BspTreeDesc& d) { d.nodes[0].polygon = 6; }), 0x10005), 0x10005});
    cases.push_back({"child index", bytesOf(withNode([](BspTreeDesc& d) { d.nodes[0].positive = 99; }), 0x10025), 0x10025});
    cases.push_back({"negative child", bytesOf(withNode([](BspTreeDesc& d) { d.nodes[1].negative = -5; }), 0x10005), 0x10005});
    cases.push_back({"root", bytesOf(withNode([](BspTreeDesc& d) { d.root = std::int32_t(d.nodes.size()); }), 0x10025), 0x10025});
    cases.push_back({"cycle", bytesOf(withNode([](BspTreeDesc& d) { d.nodes.back().positive = d.root; }), 0x10025), 0x10025});
    cases.push_back({"shared node", bytesOf(withNode([](BspTreeDesc& d) {
                         d.nodes.push_back({0, 1, 1});
                         d.root = std::int32_t(d.nodes.size() - 1);
                     }), 0x10025), 0x10025});
    {
        ByteWriter w;
        w.U32(0xFFFFFFFFu);
        w.U32(0);
        cases.push_back({"polygon count", w.bytes, 0x10025});
    }
    {
        std::vector<std::uint8_t> b = bytesOf(good, 0x10003);
        const std::size_t at = 4 + 100 * good.polygons.size();
        b[at] = b[at + 1] = b[at + 2] = b[at + 3] = 0xFF;
        cases.push_back({"node count", b, 0x10003});
    }
    const std::vector<std::uint8_t> full = bytesOf(good, 0x10025);
    for (std::size_t cut = 0; cut < full.size(); ++cut)
        cases.push_back({"truncated", std::vector<std::uint8_t>(full.begin(), full.begin() + std::ptrdiff_t(cut)), 0x10025});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BSPTree tree;
        ASSERT_TRUE(Load(tree, good));
        log.Clear();
        EXPECT_EQ(tree.Read(c.bytes.data(), c.bytes.size(), c.version), 0u);
        EXPECT_FALSE(tree.HasTree());
        EXPECT_TRUE(tree.Polygons().empty());
        EXPECT_TRUE(tree.Nodes().empty());
        EXPECT_TRUE(log.Contains("Failed to read the collision tree")) << log.Joined();
    }
}

TEST(BSPTreeRead, DeepChainIsWalkedWithoutRecursion) {
    // 100000 nodes over one floor, each the positive child of the one before.
    BspTreeDesc desc;
    desc.polygons.push_back(Quad({-10, 0, -10}, {-10, 0, 10}, {10, 0, 10}, {10, 0, -10}, 4));
    const std::int32_t n = 100000;
    for (std::int32_t i = 0; i < n; ++i) desc.nodes.push_back({0, -1, i + 1 < n ? i + 1 : -1});
    desc.root = 0;
    BSPTree tree;
    ASSERT_TRUE(Load(tree, desc));
    float t = 0.0f;
    ASSERT_TRUE(tree.RayCast(Ray{{1, 5, 1}, {0, -10, 0}}, &t, 0, 0, false));
    EXPECT_FLOAT_EQ(t, 0.5f);
    Vec3 end;
    EXPECT_TRUE(tree.SweepSphere(end, {1, 5, 1}, {0, -10, 0}, 1.0f, 0.0f, 0, 0, false));
    EXPECT_NEAR(end.y, 1.0f, 1e-4f);
}

// --- queries against brute force -------------------------------------------------------------

bool Filtered(const BspPolygon& p, std::uint32_t value, std::uint32_t mask) {
    return mask != 0 && (std::uint32_t(p.userValue) & mask) == (value & mask);
}

TEST(BSPTreeQuery, RaysAgreeWithTestingEveryPolygon) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-12.0f, 12.0f);
    int hits = 0;
    for (std::uint32_t scene = 0; scene < 4; ++scene) {
        const BspTreeDesc desc = CompileBsp(RandomBspScene(400, 10.0f, 1.5f, 100 + scene), scene);
        BSPTree tree;
        ASSERT_TRUE(Load(tree, desc));
        for (int k = 0; k < 1500; ++k) {
            const Ray ray{{u(rng), u(rng), u(rng)}, {u(rng), u(rng), u(rng)}};
            const std::uint32_t mask = k % 3 == 0 ? 3u : 0u, value = std::uint32_t(k % 4);
            float expect = 1.0f;
            bool any = false;
            for (const BspPolygon& p : tree.Polygons()) {
                float t = 0.0f;
                if (!Filtered(p, value, mask) && world::BspRayTestPolygon(p, ray, expect, t)) expect = t, any = true;
            }
            float t = -1.0f;
            const bool hit = tree.RayCast(ray, &t, value, mask, false);
            ASSERT_EQ(hit, any) << k;
            if (!hit) {
                EXPECT_EQ(tree.GetHitInfo(), nullptr);
                continue;
            }
            ++hits;
            EXPECT_EQ(t, expect);
            const world::BspContacts* info = tree.GetHitInfo();
            ASSERT_NE(info, nullptr);
            ASSERT_EQ(info->count, 1);
            const BspPolygon& p = tree.Polygons()[std::size_t(info->polygon[0])];
            float own = 0.0f;
            EXPECT_TRUE(world::BspRayTestPolygon(p, ray, 1.0f, own) && own == t);
            EXPECT_FALSE(Filtered(p, value, mask));
            EXPECT_EQ(tree.GetHitUserValue(0), p.userValue);
            EXPECT_EQ(*tree.GetHitNormal(0), p.plane.normal);
            for (const BspPolygon& q : tree.Polygons()) EXPECT_EQ(q.flags & BspPolygon::kMarks, 0u);
        }
    }
    EXPECT_GT(hits, 500);
}

TEST(BSPTreeQuery, StraightSweepsAgreeWithTestingEveryPolygon) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-12.0f, 12.0f), m(-4.0f, 4.0f);
    int hits = 0;
    for (std::uint32_t scene = 0; scene < 3; ++scene) {
        const BspTreeDesc desc = CompileBsp(RandomBspScene(300, 10.0f, 1.5f, 200 + scene), scene);
        BSPTree tree;
        ASSERT_TRUE(Load(tree, desc));
        for (int k = 0; k < 1000; ++k) {
            const Vec3 start{u(rng), u(rng), u(rng)}, move{m(rng), m(rng), m(rng)};
            const float r = 0.2f + 0.1f * float(k % 5);
            const std::uint32_t mask = k % 4 == 0 ? 1u : 0u;
            BspHold hold;
            for (std::size_t i = 0; i < tree.Polygons().size(); ++i) {
                const BspPolygon& p = tree.Polygons()[i];
                if (Filtered(p, 0, mask)) continue;
                if (!(p.plane.DistanceTo(start + move) < p.plane.DistanceTo(start))) continue;
                world::BspSweepTestPolygon(p, std::int32_t(i), Ray{start, move}, r, false, hold);
            }
            Vec3 end;
            const bool hit = tree.SweepSphere(end, start, move, r, 0.0f, 0, mask, false);
            ASSERT_EQ(hit, hold.polygon != -1) << k;
            if (!hit) {
                EXPECT_EQ(end, start + move);
                continue;
            }
            ++hits;
            const world::BspContacts* info = tree.GetHitInfo();
            ASSERT_NE(info, nullptr);
            EXPECT_EQ(info->position, start + move * hold.t);
            EXPECT_EQ(end, info->position);
            BspHold own;
            const std::size_t hitIndex = std::size_t(info->polygon[0]);
            world::BspSweepTestPolygon(tree.Polygons()[hitIndex], info->polygon[0], Ray{start, move}, r, false, own);
            EXPECT_EQ(own.t, hold.t);
            ASSERT_NE(tree.GetNearestHitVertex(), nullptr);
        }
    }
    EXPECT_GT(hits, 300);
}

// Distance from p to the polygon (face, edges or corners).
float PolygonDistance(const BspPolygon& poly, const Vec3& p) {
    Vec3 q;
    poly.plane.ProjectPoint(q, p);
    if (poly.Contains(q)) return std::fabs(poly.plane.DistanceTo(p));
    float best = 1e30f;
    const int n = poly.VertexCount();
    for (int i = 0; i < n; ++i) {
        Ray e;
        e.SetFromPoints(poly.vertices[i], poly.vertices[(i + 1) % n]);
        best = std::min(best, SegmentPointDistance(e, p, true));
    }
    return best;
}

TEST(BSPTreeQuery, OnePolygonSweepMeetsTheFirstTouch) {
    // Face, edge and corner approaches to a triangle and a quad, against a search along the path
    // for where the distance first reaches r.
    const BspPolygon shapes[2] = {Tri({0, 0, 0}, {0, 0, 2}, {2, 0, 0}, 1),
                                  Quad({0, 0, 0}, {0, 0, 2}, {2, 0, 2}, {2, 0, 0}, 2)};
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.5f, 3.5f), h(0.8f, 2.5f);
    int faces = 0, edges = 0;
    for (const BspPolygon& poly : shapes) {
        for (int k = 0; k < 2000; ++k) {
            const float r = 0.5f;
            const Vec3 start{u(rng), h(rng), u(rng)}, aim{u(rng), 0.0f, u(rng)};
            const Vec3 move = (aim - start) * 1.3f;
            if (PolygonDistance(poly, start) <= r * 1.01f) continue;
            float first = -1.0f, nearest = 1e30f;
            const int steps = 1000;
            for (int s = 1; s <= steps && first < 0.0f; ++s) {
                float t = float(s) / steps;
                const float d = PolygonDistance(poly, start + move * t);
                nearest = std::min(nearest, d);
                if (d <= r) {
                    float lo = float(s - 1) / steps, hi = t;
                    for (int b = 0; b < 30; ++b) {
                        const float mid = 0.5f * (lo + hi);
                        (PolygonDistance(poly, start + move * mid) <= r ? hi : lo) = mid;
                    }
                    first = hi;
                }
            }
            BspHold hold;
            const int code = world::BspSweepTestPolygon(poly, 0, Ray{start, move}, r, false, hold);
            // Paths that only graze the sphere's reach are left out: the search's steps may miss them.
            if (first < 0.0f && nearest < r + 0.02f) continue;
            if (first < 0.0f || first >= 0.999f) {
                if (code) {
                    EXPECT_GE(hold.t, 0.99f) << k;
                }
                continue;
            }
            ASSERT_NE(code, 0) << k << " first " << first;
            EXPECT_NEAR(hold.t, first, 2e-3f) << k;
            (code == 1 ? faces : edges)++;
        }
    }
    EXPECT_GT(faces, 200);
    EXPECT_GT(edges, 200);
}

// --- sliding ---------------------------------------------------------------------------------

TEST(BSPTreeSlide, SpheresAndCapsulesStayInsideAClosedRoom) {
    const float h = 5.0f;
    BSPTree tree;
    ASSERT_TRUE(Load(tree, CompileBsp(Room(h), 2)));
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(-2.0f, 2.0f), m(-12.0f, 12.0f);
    for (int k = 0; k < 2000; ++k) {
        const float r = 0.5f;
        const bool capsule = k % 2 == 1;
        Vec3 pos{u(rng), u(rng), u(rng)};
        for (int step = 0; step < 5; ++step) {
            const Vec3 move{m(rng), m(rng), m(rng)};
            Vec3 end;
            if (capsule) tree.SweepCapsule(end, pos, move, r, 2.0f, 45.0f, 0, 0, false);
            else tree.SweepSphere(end, pos, move, r, 45.0f, 0, 0, false);
            const float ymargin = capsule ? 1.0f : 0.0f;
            ASSERT_LT(std::fabs(end.x), h) << k;
            ASSERT_LT(std::fabs(end.y), h - ymargin) << k;
            ASSERT_LT(std::fabs(end.z), h) << k;
            // Sliding turns the movement; it never lengthens it.
            ASSERT_LE(Vec3Length(end - pos), Vec3Length(move) * 1.001f + 1e-3f) << k;
            pos = end;
        }
    }
}

TEST(BSPTreeSlide, RampsBelowTheSlopeLimitAreClimbed) {
    for (const float degrees : {20.0f, 60.0f}) {
        SCOPED_TRACE(degrees);
        // A ramp rising along +x from x = 0.
        const float s = std::tan(degrees * 3.1415927f / 180.0f);
        std::vector<BspPolygon> polys{Quad({-10, 0, -10}, {-10, 0, 10}, {0, 0, 10}, {0, 0, -10}),
                                      Quad({0, 0, -10}, {0, 0, 10}, {10, 10 * s, 10}, {10, 10 * s, -10})};
        BSPTree tree;
        ASSERT_TRUE(Load(tree, CompileBsp(polys, 1)));
        Vec3 end;
        EXPECT_TRUE(tree.SweepSphere(end, {-2, 0.5f, 0}, {6, 0, 0}, 0.5f, 45.0f, 0, 0, false));
        if (degrees < 45.0f) {
            EXPECT_GT(end.y, 0.6f);
            EXPECT_GT(end.x, 0.5f);
        } else {
            EXPECT_LT(end.x, 0.5f);
        }
        // Without a slope limit the first contact ends the move.
        EXPECT_TRUE(tree.SweepSphere(end, {-2, 0.5f, 0}, {6, 0, 0}, 0.5f, 0.0f, 0, 0, false));
        EXPECT_EQ(tree.GetHitInfo()->count, 1);
    }
}

TEST(BSPTreeSlide, ACornerGivesThreeContacts) {
    BSPTree tree;
    ASSERT_TRUE(Load(tree, CompileBsp(Room(5.0f), 4)));
    Vec3 end;
    ASSERT_TRUE(tree.SweepSphere(end, {0, 0, 0}, {20, -15, 18}, 1.0f, 80.0f, 0, 0, false));
    const world::BspContacts* info = tree.GetHitInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->count, 3);
    EXPECT_EQ(tree.GetHitUserValue(3), 0);
    EXPECT_EQ(tree.GetHitNormal(3), nullptr);
    EXPECT_NEAR(end.x, 4.0f, 1e-3f);
    EXPECT_NEAR(end.y, -4.0f, 1e-3f);
    EXPECT_NEAR(end.z, 4.0f, 1e-3f);
}

TEST(BSPTreeSlide, ZeroMovementMakesNoContactAndNoNaN) {
    BSPTree tree;
    ASSERT_TRUE(Load(tree, CompileBsp(Room(5.0f), 4)));
    Vec3 end;
    EXPECT_FALSE(tree.SweepSphere(end, {0, 0, 0}, {0, 0, 0}, 1.0f, 45.0f, 0, 0, false));
    EXPECT_EQ(end, Vec3{});
    // Resting against a wall, pushing into it.
    tree.SweepSphere(end, {3.5f, 0, 0}, {1e-9f, 0, 0}, 1.0f, 45.0f, 0, 0, false);
    EXPECT_TRUE(std::isfinite(end.x) && std::isfinite(tree.GetSlideVector().x));
}

// An owner with a floor at y = 0 that counts what it hears.
struct FloorOwner final : render::ICollisionOwner {
    bool SweepTest(const float p[3], const float d[3], std::uint32_t, std::uint32_t, render::CollisionHit& hit) override {
        if (!(d[1] < 0.0f) || p[1] < 0.0f) return false;
        const float t = -p[1] / d[1];
        if (!(t < hit.t)) return false;
        hit.t = t;
        hit.normal[1] = 1.0f;
        hit.value = 77;
        return true;
    }
    bool RayTest(const float p[3], const float d[3], std::uint32_t a, std::uint32_t b, render::CollisionHit& hit) override {
        return SweepTest(p, d, a, b, hit);
    }
    void OnContact(int slot, int kind) override { notices.push_back({slot, kind}); }
    std::vector<std::pair<int, int>> notices;
};

TEST(BSPTreeOwner, OwnerContactsAreRaisedByTheRadiusAndReported) {
    BSPTree tree;
    ASSERT_TRUE(Load(tree, CompileBsp({Quad({4, -5, -5}, {4, -5, 5}, {4, 5, 5}, {4, 5, -5}, 9)}, 1)));
    ASSERT_LT(tree.Polygons()[0].plane.normal.x, 0.0f);
    FloorOwner owner;
    tree.SetOwner(&owner);
    Vec3 end;
    ASSERT_TRUE(tree.SweepSphere(end, {0, 3, 0}, {0, -4, 0}, 1.0f, 0.0f, 0, 0, true));
    EXPECT_EQ(tree.GetHitInfo()->polygon[0], world::kBspOwnerContact);
    EXPECT_EQ(tree.GetHitUserValue(0), 77);
    EXPECT_NEAR(end.y, 1.0f, 1e-5f);
    EXPECT_EQ(tree.GetNearestHitVertex(), nullptr);
    // Sliding along the floor into the wall: an owner contact, then a polygon one.
    ASSERT_TRUE(tree.SweepSphere(end, {0, 3, 0}, {6, -4, 0}, 1.0f, 80.0f, 0, 0, true));
    const world::BspContacts* info = tree.GetHitInfo();
    ASSERT_GE(info->count, 2);
    EXPECT_EQ(info->polygon[0], world::kBspOwnerContact);
    EXPECT_EQ(info->polygon[1], 0);
    EXPECT_EQ(tree.GetHitUserValue(1), 9);
    EXPECT_NEAR(end.x, 3.0f, 1e-4f);
    ASSERT_GE(owner.notices.size(), 3u);
    EXPECT_EQ(owner.notices[0], (std::pair<int, int>{0, 1}));
    EXPECT_EQ(owner.notices[1], (std::pair<int, int>{0, 1}));
    EXPECT_EQ(owner.notices[2], (std::pair<int, int>{1, 0}));
    // Without the owner test only polygons count.
    EXPECT_FALSE(tree.SweepSphere(end, {0, 3, 0}, {0, -4, 0}, 1.0f, 0.0f, 0, 0, false));
    float t = 0.0f;
    ASSERT_TRUE(tree.RayCast(Ray{{0, 3, 0}, {0, -6, 0}}, &t, 0, 0, true));
    EXPECT_FLOAT_EQ(t, 0.5f);
}

TEST(BSPTreeOwner, TheReferenceTerrainIsAnOwner) {
    std::unique_ptr<host::FlatTerrain> ground = host::FlatTerrain::Parse("flat 10 2");
    ASSERT_NE(ground, nullptr);
    ground->contactValue = 5;
    BSPTree tree;  // no polygons: the owner alone answers
    tree.SetOwner(ground.get());
    Vec3 end;
    ASSERT_TRUE(tree.SweepCapsule(end, {1, 6, 1}, {0, -8, 0}, 0.5f, 2.0f, 0.0f, 0, 0, true));
    EXPECT_NEAR(end.y, 3.5f, 1e-5f);  // the lower sphere rests on the ground
    EXPECT_EQ(tree.GetHitInfo()->polygon[0], world::kBspOwnerContact);
    EXPECT_EQ(ground->calls.back(), "OnContact(0,1)");
    float t = 0.0f;
    ASSERT_TRUE(tree.RayCast(Ray{{1, 6, 1}, {0, -8, 0}}, &t, 0, 0, true));
    EXPECT_FLOAT_EQ(t, 0.5f);
    // Off the square nothing is hit.
    EXPECT_FALSE(tree.RayCast(Ray{{11, 6, 1}, {0, -8, 0}}, &t, 0, 0, true));
    EXPECT_FALSE(tree.SweepSphere(end, {1, 6, 1}, {0, 8, 0}, 0.5f, 0.0f, 0, 0, true));
}

}  // namespace
