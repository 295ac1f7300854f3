#include "world/core/GeoObject.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "tests/support/world/core/RandomMath.h"

namespace quor {
namespace {

using test::RandomMath;

Matrix Scaled(Vec3 s, Vec3 t = {}) {
    Matrix m;
    MatrixScaling(m, s);
    m.Row(3) = t;
    return m;
}

TEST(GeoObject, ConstructedAsUnitSolids) {
    GeoSphere s;
    GeoCylinder c;
    GeoCuboid b;
    EXPECT_EQ(s.GetKind(), GeoObject::kSphere);
    EXPECT_EQ(c.GetKind(), GeoObject::kCylinder);
    EXPECT_EQ(b.GetKind(), GeoObject::kCuboid);
    EXPECT_EQ(s.GetRadius(), 1.0f);
    EXPECT_EQ(b.GetRadius(), 0.0f);
    EXPECT_EQ(s.GetTransform(), MatrixIdentity());
    EXPECT_EQ(c.GetSize(), (Vec3{0.5f, 1, 0}));
    EXPECT_EQ(b.GetSize(), (Vec3{0.5f, 0.5f, 0.5f}));
}

TEST(GeoObject, ContainsPointEdgeCasesInBothForms) {
    for (bool simd : {false, true}) {
        test::SimdSwitch sw(simd);
        GeoCuboid box;
        EXPECT_TRUE(box.ContainsPoint({0.5f, 0.5f, 0.5f}));
        EXPECT_FALSE(box.ContainsPoint({0.5f, 0.5f, 0.51f}));
        EXPECT_TRUE(box.ContainsPoint({-0.5f, 0, 0}));

        GeoCylinder cyl;
        cyl.SetTransform(Scaled({100, 100, 100}));
        EXPECT_TRUE(cyl.ContainsPoint({100, 0, 0}));
        EXPECT_TRUE(cyl.ContainsPoint({0, 50, 0}));
        EXPECT_FALSE(cyl.ContainsPoint({0, 51, 0}));
        EXPECT_FALSE(cyl.ContainsPoint({71, 0, 71}));

        GeoSphere sphere;
        sphere.SetTransform(Scaled({2, 2, 2}, {10, 0, 0}));
        EXPECT_TRUE(sphere.ContainsPoint({11.9f, 0, 0}));
        EXPECT_FALSE(sphere.ContainsPoint({0, 0, 0}));
        // The cached inverse follows a new transform.
        sphere.SetTransform(Scaled({2, 2, 2}));
        EXPECT_TRUE(sphere.ContainsPoint({0, 0, 0}));
        EXPECT_FALSE(sphere.ContainsPoint({12, 0, 0}));
        Vec3 back;
        TransformPoint({0.5f, 0, 0}, sphere.GetInverseTransform(), back);
        EXPECT_NEAR(back.x, 0.25f, 1e-6f);
    }
}

TEST(GeoObject, SingularTransformEnclosesNothing) {
    GeoCuboid box;
    box.SetTransform(Scaled({0, 1, 1}));
    EXPECT_FALSE(box.ContainsPoint({0, 0, 0}));
}

TEST(GeoObject, AllocatedAlignedAndReleasedThroughTheBase) {
    for (bool simd : {false, true}) {
        test::SimdSwitch sw(simd);
        std::unique_ptr<GeoObject> shapes[3] = {std::make_unique<GeoSphere>(),
                                                std::make_unique<GeoCylinder>(),
                                                std::make_unique<GeoCuboid>()};
        for (auto& s : shapes) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&s->GetTransform()) % 16, 0u);
            s->SetTransform(Scaled({3, 3, 3}));
            EXPECT_TRUE(s->ContainsPoint({0.1f, 0.1f, 0.1f}));
        }
    }
}

TEST(GeoCuboid, OffsetIdentityCuboids) {
    GeoCuboid a, b;
    b.SetTransform(Scaled({1, 1, 1}, {0.99f, 0, 0}));
    EXPECT_TRUE(a.IntersectsCuboid(b));
    b.SetTransform(Scaled({1, 1, 1}, {1.01f, 0, 0}));
    EXPECT_FALSE(a.IntersectsCuboid(b));
}

// Brute force: project all corners of both boxes on the 15 candidate axes. Returns the class
// of the first separating axis found (0 none, 1 a face normal, 2 only a cross product) and
// the largest gap, so cases on the boundary can be left out.
struct SatResult {
    int separatedBy;
    float margin;  // largest separation gap (> 0) or smallest overlap (<= 0)
};

SatResult BruteForceSat(const Matrix& ma, const Matrix& mb) {
    Vec3 ca[8], cb[8];
    for (int i = 0; i < 8; ++i) {
        const Vec3 u{i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f};
        TransformPoint(u, ma, ca[i]);
        TransformPoint(u, mb, cb[i]);
    }
    Vec3 axes[15];
    int n = 0;
    for (int i = 0; i < 3; ++i) axes[n++] = ma.Row(i);
    for (int i = 0; i < 3; ++i) axes[n++] = mb.Row(i);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) axes[n++] = Vec3Cross(ma.Row(i), mb.Row(j));
    SatResult r{0, -1e30f};
    bool faceSeparates = false;
    for (int k = 0; k < 15; ++k) {
        Vec3 ax = axes[k];
        const float len = Vec3Length(ax);
        if (len < 1e-3f) continue;
        ax *= 1.0f / len;
        float amin = 1e30f, amax = -1e30f, bmin = 1e30f, bmax = -1e30f;
        for (int i = 0; i < 8; ++i) {
            const float pa = Vec3Dot(ca[i], ax), pb = Vec3Dot(cb[i], ax);
            amin = std::fmin(amin, pa), amax = std::fmax(amax, pa);
            bmin = std::fmin(bmin, pb), bmax = std::fmax(bmax, pb);
        }
        const float gap = std::fmax(bmin - amax, amin - bmax);
        r.margin = std::fmax(r.margin, gap);
        if (gap > 0) {
            if (k < 6) faceSeparates = true;
            if (!r.separatedBy) r.separatedBy = 2;
        }
    }
    if (faceSeparates) r.separatedBy = 1;
    return r;
}

TEST(GeoCuboid, OverlapAgreesWithBruteForceSeparatingAxes) {
    for (bool simd : {false, true}) {
        test::SimdSwitch sw(simd);
        RandomMath rnd(simd ? 52 : 51);
        int overlaps = 0, separated = 0, crossOnly = 0;
        for (int i = 0; i < 20000; ++i) {
            Matrix ma = rnd.Affine(), mb = rnd.Affine();
            ma.Row(3) = rnd.Vector(3.0f);
            mb.Row(3) = rnd.Vector(3.0f);
            const SatResult want = BruteForceSat(ma, mb);
            if (std::fabs(want.margin) < 1e-3f) continue;  // touching within rounding
            GeoCuboid a, b;
            a.SetTransform(ma);
            b.SetTransform(mb);
            const bool got = a.IntersectsCuboid(b);
            ASSERT_EQ(got, want.separatedBy == 0) << "pair " << i << " class " << want.separatedBy;
            ASSERT_EQ(b.IntersectsCuboid(a), got) << "pair " << i;
            overlaps += got;
            separated += !got;
            crossOnly += want.separatedBy == 2;
        }
        EXPECT_GT(overlaps, 1000);
        EXPECT_GT(separated, 1000);
        EXPECT_GT(crossOnly, 20);
    }
}

TEST(GeoCuboid, EdgeToEdgeSeparatedOnlyByACrossAxis) {
    // Two long bars crossing like an X seen from above, one a little above the other: no face
    // normal separates them, the cross product of their long axes does.
    Matrix ma, mb, rot;
    MatrixScaling(ma, {10, 1, 1});
    MatrixRotationAxis(rot, {0, 0, 1}, 0.7854f);
    MatrixMultiplyPlain(ma, rot, ma);
    MatrixScaling(mb, {1, 10, 1});
    MatrixRotationAxis(rot, {0, 0, 1}, 0.7854f);
    MatrixMultiplyPlain(mb, rot, mb);
    MatrixRotationAxis(rot, {1, 0, 0}, 0.7854f);
    MatrixMultiplyPlain(ma, rot, ma);
    MatrixRotationAxis(rot, {0, 1, 0}, 0.7854f);
    MatrixMultiplyPlain(mb, rot, mb);
    for (float lift : {0.5f, 2.0f}) {
        mb.Row(3) = {0, 0, lift};
        const SatResult want = BruteForceSat(ma, mb);
        GeoCuboid a, b;
        a.SetTransform(ma);
        b.SetTransform(mb);
        EXPECT_EQ(a.IntersectsCuboid(b), want.separatedBy == 0) << lift;
    }
}

TEST(GeoSphere, CoarseTestNeverMissesAnOverlap) {
    // A cuboid whose corner reaches into a light's sphere is reached, however the two are
    // scaled (also mirrored).
    RandomMath rnd(53);
    int reached = 0;
    for (int i = 0; i < 5000; ++i) {
        const float r = rnd.Uniform(1, 100);
        GeoSphere s;
        s.SetTransform(Scaled({r, r, r}, rnd.Vector(50)));
        GeoCylinder c;
        c.SetTransform(Scaled({r, r, r}, s.GetTranslation()));
        Matrix mb = rnd.Affine();
        mb.Row(3) = s.GetTranslation() + rnd.Vector(r * 1.5f);
        GeoCuboid b;
        b.SetTransform(mb);
        bool touches = s.ContainsPoint(b.GetTranslation());
        for (int k = 0; k < 8 && !touches; ++k) {
            Vec3 p;
            TransformPoint({k & 1 ? 0.5f : -0.5f, k & 2 ? 0.5f : -0.5f, k & 4 ? 0.5f : -0.5f}, mb, p);
            touches = s.ContainsPoint(p);
        }
        if (!touches) continue;
        ++reached;
        ASSERT_TRUE(s.IntersectsCuboid(b)) << i;
        ASSERT_TRUE(c.IntersectsCuboid(b)) << i;
    }
    EXPECT_GT(reached, 500);

    // Far apart: no overlap.
    GeoSphere s;
    s.SetTransform(Scaled({100, 100, 100}));
    GeoCuboid b;
    b.SetTransform(Scaled({10, 10, 10}, {0, 0, 109}));
    EXPECT_FALSE(s.IntersectsCuboid(b));
    b.SetTransform(Scaled({10, 10, 10}, {0, 0, 60}));
    EXPECT_TRUE(s.IntersectsCuboid(b));
}

}  // namespace
}  // namespace quor
