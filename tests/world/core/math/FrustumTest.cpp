#include "world/core/math/Frustum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/support/world/core/RandomMath.h"

namespace quor {
namespace {

using test::RandomMath;

// Left-handed perspective with depth 0..1, as the renderer's cameras build it.
Matrix PerspectiveLH(float fovY, float aspect, float zn, float zf) {
    const float ys = 1.0f / std::tan(fovY / 2), xs = ys / aspect, q = zf / (zf - zn);
    Matrix m;
    MatrixSet16(m, xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
    return m;
}

struct Camera {
    Matrix world, view, proj, viewProj;
};

Camera MakeCamera(const Matrix& world, const Matrix& proj) {
    Camera c{world, world, proj, {}};
    EXPECT_TRUE(MatrixInverse(c.view));
    MatrixMultiplyPlain(c.view, c.proj, c.viewProj);
    return c;
}

// The oracle's notion of visible: the point lies in the clip volume, shrunk by a hair so that
// rounding at the boundary never makes the oracle more generous than the frustum.
bool ClipVisible(const Vec4& h) {
    const float m = 1e-4f * std::fabs(h.w);
    return h.w > 0 && std::fabs(h.x) <= h.w - m && std::fabs(h.y) <= h.w - m && h.z >= m &&
           h.z <= h.w - m;
}

bool WorldPointVisible(const Camera& cam, const Vec3& p) {
    Vec4 h;
    Vec4Transform({p.x, p.y, p.z, 1}, cam.viewProj, h);
    return ClipVisible(h);
}

// Exact: does the convex polygon (homogeneous clip coordinates) keep anything after clipping
// against the (shrunk) clip volume?
bool PolygonSurvivesClip(std::vector<Vec4> poly) {
    const float k = 1.0f - 1e-4f;
    auto planes = [k](const Vec4& v, int i) {
        switch (i) {
            case 0: return k * v.w + v.x;
            case 1: return k * v.w - v.x;
            case 2: return k * v.w + v.y;
            case 3: return k * v.w - v.y;
            case 4: return v.z - 1e-4f * v.w;
            default: return k * v.w - v.z;
        }
    };
    for (int i = 0; i < 6 && !poly.empty(); ++i) {
        std::vector<Vec4> out;
        for (size_t j = 0; j < poly.size(); ++j) {
            const Vec4& a = poly[j];
            const Vec4& b = poly[(j + 1) % poly.size()];
            const float da = planes(a, i), db = planes(b, i);
            if (da >= 0) out.push_back(a);
            if ((da >= 0) != (db >= 0)) {
                const float t = da / (da - db);
                out.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t,
                               a.z + (b.z - a.z) * t, a.w + (b.w - a.w) * t});
            }
        }
        poly = std::move(out);
    }
    return !poly.empty();
}

// Exact visibility of a box given in object space (object -> world by `object`).
bool BoxVisible(const Camera& cam, const Matrix& object, const Vec3& mn, const Vec3& mx,
                const Frustum& local) {
    Vec3 c[8];
    for (int i = 0; i < 8; ++i)
        c[i] = {i & 1 ? mx.x : mn.x, i & 2 ? mx.y : mn.y, i & 4 ? mx.z : mn.z};
    Matrix full;
    MatrixMultiplyPlain(object, cam.viewProj, full);
    Vec4 h[8];
    for (int i = 0; i < 8; ++i) Vec4Transform({c[i].x, c[i].y, c[i].z, 1}, full, h[i]);
    static const int kFaces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
    for (const auto& f : kFaces)
        if (PolygonSurvivesClip({h[f[0]], h[f[1]], h[f[2]], h[f[3]]})) return true;
    // No face reaches into the frustum: visible only when the frustum lies inside the box.
    const Vec3& p = local.corners[0];
    return p.x > mn.x && p.x < mx.x && p.y > mn.y && p.y < mx.y && p.z > mn.z && p.z < mx.z;
}

// The camera's corners brought into an object's local space, as culling does.
Frustum LocalFrustum(const Frustum& world, const Matrix& object) {
    Matrix inv = object;
    EXPECT_TRUE(MatrixInverse(inv));
    Frustum f;
    for (int i = 0; i < 8; ++i) TransformCoord(world.corners[i], inv, f.corners[i]);
    f.flipped = MatrixIsMirrored(object) ? 1 : 0;
    f.BuildPlanes();
    return f;
}

Camera RandomCamera(RandomMath& rnd) {
    Matrix world = rnd.Rotation();
    world.Row(3) = rnd.Vector(20.0f);
    return MakeCamera(world, PerspectiveLH(rnd.Uniform(0.5f, 1.5f), rnd.Uniform(0.75f, 2.0f),
                                           rnd.Uniform(0.5f, 2.0f), rnd.Uniform(30.0f, 60.0f)));
}

TEST(Frustum, KnownCameraPlanesPointInward) {
    for (bool simd : {false, true}) {
        test::SimdSwitch sw(simd);
        const Camera cam = MakeCamera(MatrixIdentity(), PerspectiveLH(3.14159265f / 2, 1, 1, 100));
        Frustum f;
        ASSERT_TRUE(f.SetFromCamera(cam.world, cam.proj));
        const Vec3 wantCorner[8] = {{-1, -1, 1},     {1, -1, 1},     {-1, 1, 1},     {1, 1, 1},
                                    {-100, -100, 100}, {100, -100, 100}, {-100, 100, 100}, {100, 100, 100}};
        for (int i = 0; i < 8; ++i)
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(f.corners[i][k], wantCorner[i][k], 1e-3f);
        const float h = std::sqrt(0.5f);
        const Vec3 wantNormal[6] = {{0, 0, 1}, {0, 0, -1}, {h, 0, h}, {-h, 0, h}, {0, -h, h}, {0, h, h}};
        const float wantD[6] = {1, -100, 0, 0, 0, 0};
        for (int i = 0; i < 6; ++i) {
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(f.planes[i].normal[k], wantNormal[i][k], 1e-5f) << i;
            EXPECT_NEAR(f.planes[i].d, wantD[i], 1e-3f) << i;
        }
        EXPECT_FALSE(f.IsPointOutside({0, 0, 50}));
        EXPECT_TRUE(f.IsPointOutside({0, 0, 0.5f}));
        EXPECT_TRUE(f.IsPointOutside({0, 0, 101}));
        EXPECT_TRUE(f.IsPointOutside({-11, 0, 10}));
        EXPECT_TRUE(f.IsPointOutside({0, 11, 10}));
    }
}

TEST(Frustum, SingularProjectionLeavesTheFrustumAlone) {
    Frustum f;
    ASSERT_TRUE(f.SetFromCamera(MatrixIdentity(), PerspectiveLH(1, 1, 1, 10)));
    const Frustum before = f;
    Matrix zero{};
    EXPECT_FALSE(f.SetFromCamera(MatrixIdentity(), zero));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(f.corners[i], before.corners[i]);
}

TEST(Frustum, SphereEdgeCases) {
    const Camera cam = MakeCamera(MatrixIdentity(), PerspectiveLH(3.14159265f / 2, 1, 1, 100));
    Frustum f;
    f.SetFromCamera(cam.world, cam.proj);
    // The near plane is z = 1 (normal +z): centres there lie exactly on it.
    std::uint8_t inside = 7;
    EXPECT_FALSE(f.TestSphere({0, 0, 1}, 0, &inside));
    EXPECT_EQ(inside, 0);
    EXPECT_FALSE(f.TestSphere({0, 0, 0}, 1, &inside));  // touches from behind: not outside
    inside = 7;
    EXPECT_TRUE(f.TestSphere({0, 0, 0}, 0.999f, &inside));
    EXPECT_EQ(inside, 7);  // not written when outside
    EXPECT_FALSE(f.TestSphere({0, 0, 50}, 1, &inside));
    EXPECT_EQ(inside, 1);
    EXPECT_FALSE(f.TestSphere({0, 0, 50}, 1, nullptr));
    EXPECT_FALSE(f.TestSphere({0, 0, 2}, 1, &inside));  // touches the near plane from in front
    EXPECT_EQ(inside, 0);
}

TEST(Frustum, BoxEdgeCasesAndCornerRefinement) {
    const Camera cam = MakeCamera(MatrixIdentity(), PerspectiveLH(3.14159265f / 2, 1, 1, 100));
    Frustum f;
    f.SetFromCamera(cam.world, cam.proj);
    // Flat box lying in the near plane: every corner at distance 0.
    EXPECT_TRUE(f.TestBox({0, 0, 1}, {0.5f, 0.5f, 0}, false));
    EXPECT_FALSE(f.TestBox({0, 0, 50}, {1, 1, 1}, true));
    EXPECT_TRUE(f.TestBox({0, 0, 150}, {1, 1, 1}, false));
    // Beyond the left-top edge, straddling the extensions of the left and top planes: the
    // plane test keeps it, the frustum's corners all lie below its bottom face (y >= 101).
    const Vec3 c{-103, 103, 50}, half{2.5f, 2.5f, 60};
    EXPECT_FALSE(f.TestBox(c, half, false));
    EXPECT_TRUE(f.TestBox(c, half, true));
    Vec3 pts[8];
    for (int i = 0; i < 8; ++i) pts[i] = {0, 0, 150.0f + i};
    EXPECT_TRUE(f.ArePointsOutside(pts));
    pts[3] = {0, 0, 50};
    EXPECT_FALSE(f.ArePointsOutside(pts));
    for (Vec3& p : pts) p = {0, 0, 1};  // all on the near plane
    EXPECT_TRUE(f.ArePointsOutside(pts));
}

TEST(Frustum, FlippedTurnsEveryPlaneRound) {
    RandomMath rnd(41);
    const Camera cam = RandomCamera(rnd);
    Frustum f;
    f.SetFromCamera(cam.world, cam.proj);
    Frustum g = f;
    g.flipped = 1;
    g.BuildPlanes();
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(g.planes[i].normal, -f.planes[i].normal);
        EXPECT_EQ(g.planes[i].d, -f.planes[i].d);
    }
    // Points inside answer the other way; no point lies behind all six planes of a camera.
    Vec3 centre;
    for (const Vec3& c : f.corners) centre += c * 0.125f;
    EXPECT_FALSE(f.IsPointOutside(centre));
    EXPECT_TRUE(g.IsPointOutside(centre));

    // Corners through a mirror: unflipped planes point outward, flipped ones answer right.
    Matrix mirror;
    MatrixScaling(mirror, {-1, 1, 1});
    Frustum m, mf;
    for (int i = 0; i < 8; ++i) TransformPoint(f.corners[i], mirror, m.corners[i]);
    mf = m;
    mf.flipped = 1;
    m.BuildPlanes();
    mf.BuildPlanes();
    for (int i = 0; i < 500; ++i) {
        const Vec3 p = cam.world.Row(3) + rnd.Vector(40.0f);
        Vec3 q;
        TransformPoint(p, mirror, q);
        if (std::fabs(f.planes[0].DistanceTo(p)) < 1e-3f) continue;
        EXPECT_EQ(mf.IsPointOutside(q), f.IsPointOutside(p));
    }
    Vec3 mc;
    TransformPoint(centre, mirror, mc);
    EXPECT_TRUE(m.IsPointOutside(mc));
}

// The tests written the plain way, plane by plane and corner by corner, as the oracle of the
// vectorised ones: they must agree bit for bit, on the boundaries too.
float PlainDistance(const Plane& p, const Vec3& v) {
    const float dot = p.normal.x * v.x + p.normal.y * v.y + p.normal.z * v.z;
    return dot - p.d;
}

bool PlainTestSphere(const Frustum& f, const Vec3& c, float r, std::uint8_t* inside) {
    unsigned mask = 0;
    for (int i = 0; i < 6; ++i) {
        const float s = PlainDistance(f.planes[i], c);
        if (s < 0 && -s > r) return true;
        if (s >= 0 && s > r) mask |= 1u << i;
    }
    if (inside) *inside = mask == 0x3F;
    return false;
}

bool PlainTestBox(const Frustum& f, const Vec3& centre, const Vec3& half, bool testCorners) {
    const Vec3 mn = centre - half, mx = centre + half;
    for (const Plane& p : f.planes) {
        int k = 0;
        for (; k < 8; ++k) {
            const Vec3 v{k & 1 ? mx.x : mn.x, k & 2 ? mx.y : mn.y, k & 4 ? mx.z : mn.z};
            if (PlainDistance(p, v) > 0) break;
        }
        if (k == 8) return true;
    }
    if (!testCorners) return false;
    for (int axis = 0; axis < 3; ++axis) {
        bool allBelow = true, allAbove = true;
        for (const Vec3& c : f.corners) {
            allBelow &= c[axis] <= mn[axis];
            allAbove &= c[axis] >= mx[axis];
        }
        if (allBelow || allAbove) return true;
    }
    return false;
}

TEST(Frustum, VectorisedTestsMatchThePlainFormExactly) {
    RandomMath rnd(43);
    // Small integers make exact ties (touching spheres, corners on planes) common.
    auto grid = [&rnd] { return Vec3{float(rnd.Int(-4, 4)), float(rnd.Int(-4, 4)), float(rnd.Int(-4, 4))}; };
    int culled = 0, kept = 0;
    for (int round = 0; round < 400; ++round) {
        Frustum f;
        if (round % 2) {
            f.SetFromCamera(RandomCamera(rnd).world, PerspectiveLH(1, 1.3f, 1, 50));
        } else {
            for (Vec3& c : f.corners) c = grid();
            for (Plane& p : f.planes) {
                p.normal = grid();
                p.d = float(rnd.Int(-3, 3));
            }
            f.CacheLanes();
        }
        for (int i = 0; i < 100; ++i) {
            const bool onGrid = round % 2 == 0;
            const Vec3 c = onGrid ? grid() : rnd.Vector(30);
            float r = onGrid ? float(rnd.Int(0, 3)) : rnd.Uniform(0, 5);
            if (i == 0) r = std::nanf("");
            if (i == 1) r = -1.0f;
            if (i == 2) r = -0.0f;
            if (i == 3) r = std::numeric_limits<float>::infinity();
            if (i == 4) r = -std::numeric_limits<float>::infinity();
            std::uint8_t in1 = 9, in2 = 9;
            const bool a = f.TestSphere(c, r, &in1), b = PlainTestSphere(f, c, r, &in2);
            ASSERT_EQ(a, b) << round << " " << i;
            ASSERT_EQ(in1, in2) << round << " " << i;
            Vec3 h = onGrid ? Vec3{float(rnd.Int(0, 2)), float(rnd.Int(0, 2)), float(rnd.Int(0, 2))}
                            : Vec3{rnd.Uniform(0, 5), rnd.Uniform(0, 5), rnd.Uniform(0, 5)};
            for (bool corners : {false, true}) {
                const bool x = f.TestBox(c, h, corners);
                ASSERT_EQ(x, PlainTestBox(f, c, h, corners)) << round << " " << i;
                culled += x;
                kept += !x;
            }
        }
    }
    EXPECT_GT(culled, 1000);
    EXPECT_GT(kept, 1000);
}

// Over random cameras, objects (scaled, rotated, mirrored) and bounds in the objects' space:
// the quick tests never call something outside that the exact clip test sees inside.
TEST(Frustum, NeverCullsWhatTheClipVolumeSees) {
    RandomMath rnd(42);
    int visibleSpheres = 0, visibleBoxes = 0, culledPlain = 0, culledCorners = 0, insideFlags = 0;
    for (int round = 0; round < 60; ++round) {
        const Camera cam = RandomCamera(rnd);
        Frustum world;
        ASSERT_TRUE(world.SetFromCamera(cam.world, cam.proj));
        Matrix object = rnd.Affine();
        object.Row(3) = cam.world.Row(3) + rnd.Vector(30.0f);
        const Frustum f = LocalFrustum(world, object);

        for (int i = 0; i < 60; ++i) {
            // Spheres: witnesses are the centre, the points towards the frustum's corners and
            // random points in the ball.
            const Vec3 c = rnd.Vector(12.0f);
            const float r = rnd.Uniform(0.01f, 4.0f);
            std::vector<Vec3> witnesses{c};
            for (const Vec3& corner : f.corners) {
                Vec3 dir = corner - c;
                if (Vec3Length(dir) > 1e-6f) {
                    Vec3SetLength(dir, r);
                    witnesses.push_back(c + dir);
                }
            }
            for (int k = 0; k < 24; ++k) witnesses.push_back(c + rnd.UnitVector() * rnd.Uniform(0, r));
            bool anyVisible = false, allVisible = true;
            for (const Vec3& w : witnesses) {
                Vec3 pw;
                TransformPoint(w, object, pw);
                const bool v = WorldPointVisible(cam, pw);
                anyVisible |= v;
                allVisible &= v;
            }
            std::uint8_t inside = 9;
            const bool out = f.TestSphere(c, r, &inside);
            if (anyVisible) {
                ++visibleSpheres;
                ASSERT_FALSE(out) << "round " << round << " sphere " << i;
            }
            if (!out && inside == 1) {
                ++insideFlags;
                ASSERT_TRUE(allVisible) << "round " << round << " sphere " << i;
            }

            // Boxes: exact by clipping their faces.
            const Vec3 bc = rnd.Vector(12.0f);
            const Vec3 bh{rnd.Uniform(0.05f, 5), rnd.Uniform(0.05f, 5), rnd.Uniform(0.05f, 5)};
            const bool visible = BoxVisible(cam, object, bc - bh, bc + bh, f);
            const bool plain = f.TestBox(bc, bh, false), refined = f.TestBox(bc, bh, true);
            if (visible) {
                ++visibleBoxes;
                ASSERT_FALSE(plain) << "round " << round << " box " << i;
                ASSERT_FALSE(refined) << "round " << round << " box " << i;
            }
            // The corner refinement only ever adds answers.
            if (plain) {
                ASSERT_TRUE(refined);
            }
            culledPlain += plain;
            culledCorners += refined;
        }
    }
    EXPECT_GT(visibleSpheres, 200);
    EXPECT_GT(visibleBoxes, 200);
    EXPECT_GT(insideFlags, 20);
    EXPECT_GT(culledCorners, culledPlain);
}

}  // namespace
}  // namespace quor
