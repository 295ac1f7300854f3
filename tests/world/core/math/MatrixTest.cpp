#include "world/core/math/Matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tests/support/world/core/RandomMath.h"
#include "world/core/Align16.h"

namespace quor {
namespace {

using test::MaxAbs;
using test::MaxAbsDiff;
using test::RandomMath;

constexpr int kRounds = 4000;

Matrix Make(std::initializer_list<float> v) {
    Matrix m;
    int i = 0;
    for (float f : v) m.m[i++] = f;
    return m;
}

void ExpectVecNear(const Vec3& a, const Vec3& b, float tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

// --- the SSE routines against the plain ones --------------------------------------------------

TEST(MatrixSse, MultiplyAgreesWithPlainIncludingAliasedOutputs) {
    RandomMath rnd(1);
    for (int i = 0; i < kRounds; ++i) {
        const Matrix a = rnd.General(), b = i % 2 ? rnd.Affine() : rnd.General();
        Matrix plain, sse;
        MatrixMultiplyPlain(a, b, plain);
        Matrix4Multiply(a, b, sse);
        const float tol = 1e-5f * (1.0f + MaxAbs(plain));
        ASSERT_LE(MaxAbsDiff(plain, sse), tol) << "round " << i;

        Matrix onA = a, onB = b;
        Matrix4Multiply(onA, b, onA);
        Matrix4Multiply(a, onB, onB);
        ASSERT_EQ(onA, sse);
        ASSERT_EQ(onB, sse);
        Matrix plainA = a, plainB = b;
        MatrixMultiplyPlain(plainA, b, plainA);
        MatrixMultiplyPlain(a, plainB, plainB);
        ASSERT_EQ(plainA, plain);
        ASSERT_EQ(plainB, plain);

        Matrix square = a, squarePlain;
        Matrix4Multiply(square, square, square);
        MatrixMultiplyPlain(a, a, squarePlain);
        ASSERT_LE(MaxAbsDiff(square, squarePlain), 1e-5f * (1.0f + MaxAbs(squarePlain)));
    }
}

TEST(MatrixSse, InverseAgreesWithPlainAndInverts) {
    RandomMath rnd(2);
    int general = 0;
    for (int i = 0; i < kRounds; ++i) {
        Matrix m = i % 2 ? rnd.Affine() : rnd.General();
        if (i % 2 == 0) {
            // Keep the general matrices reasonably conditioned so a float tolerance is fair.
            Matrix probe = m;
            float det = 0.0f;
            if (!MatrixInverseSse(probe, &det) || std::fabs(det) < 1.0f ||
                MaxAbs(probe) > 10.0f)
                continue;
            ++general;
        }
        Matrix plain = m, sse = m;
        ASSERT_TRUE(MatrixInverse(plain));
        ASSERT_TRUE(MatrixInverseSse(sse));
        ASSERT_LE(MaxAbsDiff(plain, sse), 2e-4f * (1.0f + MaxAbs(plain))) << "round " << i;
        Matrix product;
        MatrixMultiplyPlain(m, plain, product);
        ASSERT_LE(MaxAbsDiff(product, MatrixIdentity()), 1e-3f) << "round " << i;
    }
    EXPECT_GT(general, kRounds / 8);
}

TEST(MatrixSse, TransformsAgreeWithPlainIncludingInPlace) {
    RandomMath rnd(3);
    for (int i = 0; i < kRounds; ++i) {
        Matrix m = rnd.Affine();
        if (i % 3 == 0) {
            // A projective last column, as a view-projection has.
            m(0, 3) = rnd.Uniform(-0.1f, 0.1f);
            m(1, 3) = rnd.Uniform(-0.1f, 0.1f);
            m(2, 3) = rnd.Uniform(0.5f, 1.0f);
            m(3, 3) = rnd.Uniform(1.0f, 2.0f);
        }
        const Vec3 p = rnd.Vector(1.0f);
        Vec3 plain = p, sse = p;
        TransformCoord(plain, m);
        TransformCoordSse(sse, m);
        const float tol = 1e-5f * (1.0f + Vec3Length(plain));
        ExpectVecNear(plain, sse, tol);

        Vec3 n1, n2 = p;
        TransformNormal(p, m, n1);
        TransformNormalSse(n2, m, n2);  // aliased
        ExpectVecNear(n1, n2, 1e-5f * (1.0f + Vec3Length(n1)));

        Vec3 viaOut;
        TransformCoordSse(p, m, viaOut);
        EXPECT_EQ(viaOut, sse);
        if (HasFailure()) break;
    }
}

TEST(MatrixSse, SwitchSelectsAFormThatAgrees) {
    RandomMath rnd(4);
    for (int i = 0; i < 200; ++i) {
        const Matrix a = rnd.Affine(), b = rnd.Affine();
        const Vec3 p = rnd.Vector();
        Matrix r[2], inv[2];
        Vec3 q[2];
        for (bool on : {false, true}) {
            test::SimdSwitch sw(on);
            r[on] = a;
            MatrixMultiplyInPlace(r[on], b);
            inv[on] = a;
            ASSERT_TRUE(MatrixInverseFast(inv[on]));
            q[on] = p;
            TransformCoordFast(q[on], a);
        }
        ASSERT_LE(MaxAbsDiff(r[0], r[1]), 1e-4f * (1.0f + MaxAbs(r[0])));
        ASSERT_LE(MaxAbsDiff(inv[0], inv[1]), 1e-3f * (1.0f + MaxAbs(inv[0])));
        ExpectVecNear(q[0], q[1], 1e-4f * (1.0f + Vec3Length(q[0])));
    }
}

TEST(MatrixSse, ComposeWorldMatchesTheFullProductInBothForms) {
    // The local matrix (scaled rotation rows, position row) times the parent, written out in
    // full with the plain product: both compose forms and the switch agree with it, also when
    // the output is the parent.
    RandomMath rnd(5);
    for (int i = 0; i < kRounds; ++i) {
        const Matrix rotation = i % 3 ? rnd.Rotation() : rnd.General();
        const Vec3 s{rnd.Uniform(-5.0f, 5.0f), rnd.Uniform(-5.0f, 5.0f), rnd.Uniform(-5.0f, 5.0f)};
        const Vec3 position = rnd.Vector(100.0f);
        const Matrix parent = i % 2 ? rnd.Affine() : rnd.General();
        Matrix local = MatrixIdentity();
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) local(r, c) = rotation(r, c) * s[r];
        local.Row(3) = position;
        Matrix expected;
        MatrixMultiplyPlain(local, parent, expected);
        const float tol = 1e-5f * (1.0f + MaxAbs(expected));

        Matrix plain, sse;
        ComposeWorldPlain(rotation, s, position, parent, plain);
        ComposeWorldSse(rotation, s, position, parent, sse);
        ASSERT_LE(MaxAbsDiff(plain, expected), tol) << "round " << i;
        ASSERT_LE(MaxAbsDiff(sse, expected), tol) << "round " << i;

        Matrix inPlace = parent;
        ComposeWorldSse(rotation, s, position, inPlace, inPlace);
        ASSERT_EQ(inPlace, sse);
        inPlace = parent;
        ComposeWorldPlain(rotation, s, position, inPlace, inPlace);
        ASSERT_EQ(inPlace, plain);
        for (bool on : {false, true}) {
            test::SimdSwitch sw(on);
            Matrix chosen;
            ComposeWorld(rotation, s, position, parent, chosen);
            ASSERT_EQ(chosen, on ? sse : plain);
            MatrixMultiplyFast(local, parent, chosen);
            Matrix reference;
            if (on) Matrix4Multiply(local, parent, reference);
            else MatrixMultiplyPlain(local, parent, reference);
            ASSERT_EQ(chosen, reference);
        }
    }
}

// --- inverse ----------------------------------------------------------------------------------

TEST(MatrixSse, InverseAgreesWithPlainAcrossSixtyOrdersOfDeterminant) {
    // Scales from 1e-10 to 1e10 (determinants 1e-30 to 1e30), uniform and not, with rotations,
    // mirrors and translations: both forms agree within rounding or both refuse. Three stacked
    // 0.001 scales (a uniform 1e-9 world scale, determinant 1e-27) are among them.
    RandomMath rnd(6);
    int compared = 0;
    for (int i = 0; i < kRounds; ++i) {
        const bool uniform = i % 2 == 0;
        const float e = rnd.Uniform(-10.0f, 10.0f);
        Vec3 s{std::pow(10.0f, e), 0, 0};
        if (uniform) {
            s.y = s.z = s.x;
        } else {
            // Spread around the same magnitude so the determinant spans the whole range.
            s.y = std::pow(10.0f, std::clamp(e + rnd.Uniform(-1.0f, 1.0f), -10.0f, 10.0f));
            s.z = std::pow(10.0f, std::clamp(e + rnd.Uniform(-1.0f, 1.0f), -10.0f, 10.0f));
        }
        if (i % 5 == 0) s[rnd.Int(0, 2)] *= -1.0f;
        Matrix scale, m;
        MatrixScaling(scale, s);
        MatrixMultiplyPlain(scale, i % 3 ? rnd.Rotation() : MatrixIdentity(), m);
        m.Row(3) = rnd.Vector(100.0f);
        Matrix plain = m, sse = m;
        const bool plainOk = MatrixInverse(plain);
        const bool sseOk = MatrixInverseSse(sse);
        ASSERT_EQ(plainOk, sseOk) << "round " << i << " scale " << s.x << " " << s.y << " " << s.z;
        if (!plainOk) continue;
        ++compared;
        for (int k = 0; k < 16; ++k) {
            ASSERT_TRUE(std::isfinite(sse.m[k])) << "round " << i << " element " << k;
        }
        // Element by element against the size of its row, which carries the scale of the axis.
        for (int r = 0; r < 4; ++r) {
            float rowMax = 0.0f;
            for (int c = 0; c < 4; ++c) rowMax = std::fmax(rowMax, std::fabs(plain(r, c)));
            for (int c = 0; c < 4; ++c)
                ASSERT_NEAR(sse(r, c), plain(r, c), 1e-4f * rowMax + 1e-30f)
                    << "round " << i << " row " << r << " scale " << s.x;
        }
    }
    EXPECT_GT(compared, kRounds * 9 / 10);
}

TEST(MatrixSse, InverseOfThreeStackedThousandthScales) {
    // The reported case: a uniform scale of 3e-7 gave -inf from the SSE form and 3.33e6 from
    // the plain one.
    Matrix m;
    MatrixScaling(m, {3e-7f, 3e-7f, 3e-7f});
    m.Row(3) = {1, 2, 3};
    Matrix plain = m, sse = m;
    ASSERT_TRUE(MatrixInverse(plain));
    ASSERT_TRUE(MatrixInverseSse(sse));
    EXPECT_NEAR(plain(0, 0), 3.3333333e6f, 1.0f);
    EXPECT_NEAR(sse(0, 0), plain(0, 0), 1.0f);
    EXPECT_NEAR(sse(3, 2), plain(3, 2), 1e-5f * std::fabs(plain(3, 2)));
}

TEST(MatrixStretch, LargestSingularValueOfScaledShearedAndMirroredMatrices) {
    // Against the longest image of many unit directions (which can only fall short of it) and
    // the Frobenius norm (which can only exceed it).
    RandomMath rnd(7);
    for (int i = 0; i < 500; ++i) {
        Matrix m = i % 2 ? rnd.Affine() : rnd.General();
        const float stretch = MatrixMaxStretch(m);
        double frobenius = 0.0;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) frobenius += double(m(r, c)) * m(r, c);
        ASSERT_LE(stretch, std::sqrt(frobenius) * (1 + 1e-6)) << i;
        double longest = 0.0;
        for (int k = 0; k < 2000; ++k) {
            const Vec3 v = rnd.UnitVector();
            double out[3];
            for (int c = 0; c < 3; ++c) out[c] = double(v.x) * m(0, c) + double(v.y) * m(1, c) + double(v.z) * m(2, c);
            const double len = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]) /
                               std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
            longest = std::max(longest, len);
        }
        ASSERT_GE(double(stretch), longest * (1 - 1e-9)) << i;
        ASSERT_LE(double(stretch), longest * 1.02) << i;  // the sampled directions come close
    }
    // Similarities answer their scale exactly, rotations 1.
    Matrix r = rnd.Rotation();
    EXPECT_FLOAT_EQ(MatrixMaxStretch(r), 1.0f);
    Matrix s;
    MatrixScaling(s, {-2.0f, 2.0f, 2.0f});
    EXPECT_EQ(MatrixMaxStretch(s), 2.0f);
    MatrixScaling(s, {1e-10f, 3e-10f, 2e-10f});
    EXPECT_FLOAT_EQ(MatrixMaxStretch(s), 3e-10f);
}

TEST(MatrixStretch, MirroringIsTheDeterminantsSignEvenForTinyScales) {
    Matrix m;
    MatrixScaling(m, {1e-15f, 1e-15f, -1e-15f});
    EXPECT_TRUE(MatrixIsMirrored(m));
    MatrixScaling(m, {1e-15f, 1e-15f, 1e-15f});
    EXPECT_FALSE(MatrixIsMirrored(m));
}

TEST(MatrixInverse, PivotingGivesTheExactInverse) {
    // Column 0 has its only non-zero entry in row 2: without pivoting the first step divides
    // by zero. Powers of two keep every step exact.
    const Matrix m = Make({0, 2, 0, 0,  //
                           0, 0, 4, 0,  //
                           8, 0, 1, 0,  //
                           1, 2, 3, 1});
    Matrix inv = m;
    ASSERT_TRUE(MatrixInverse(inv));
    Matrix product;
    MatrixMultiplyPlain(m, inv, product);
    EXPECT_EQ(product, MatrixIdentity());
    MatrixMultiplyPlain(inv, m, product);
    EXPECT_EQ(product, MatrixIdentity());

    Matrix id = MatrixIdentity();
    ASSERT_TRUE(MatrixInverse(id));
    EXPECT_EQ(id, MatrixIdentity());
    // The SSE form scales by a refined reciprocal estimate: right up to the last bits only.
    ASSERT_TRUE(MatrixInverseSse(id));
    EXPECT_LE(MaxAbsDiff(id, MatrixIdentity()), 1e-6f);
    Matrix sse = m;
    ASSERT_TRUE(MatrixInverseSse(sse));
    EXPECT_LE(MaxAbsDiff(sse, inv), 1e-6f);
}

TEST(MatrixInverse, SingularAnswersFalseAndLeavesEverythingUntouched) {
    const Matrix cases[] = {
        Make({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 1, 0, 4, 0, 0, 1}),  // zero column 1
        Make({1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 0, 0, 0, 1, 0}),  // row 1 = 2 x row 0
        Make({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
    };
    for (const Matrix& m : cases) {
        Matrix plain = m, sse = m;
        float det = 42.0f;
        EXPECT_FALSE(MatrixInverse(plain));
        EXPECT_FALSE(MatrixInverseSse(sse, &det));
        EXPECT_EQ(plain, m);
        EXPECT_EQ(sse, m);
        EXPECT_EQ(det, 42.0f);
    }
}

TEST(MatrixInverse, SseReportsTheDeterminantBeforeScaling) {
    Matrix m;
    MatrixScaling(m, {2.0f, 4.0f, -0.5f});
    m.Row(3) = {5, 6, 7};
    float det = 0.0f;
    ASSERT_TRUE(MatrixInverseSse(m, &det));
    EXPECT_FLOAT_EQ(det, -4.0f);
    EXPECT_NEAR(m(0, 0), 0.5f, 1e-6f);
    EXPECT_NEAR(m(2, 2), -2.0f, 1e-6f);
    EXPECT_NEAR(m(3, 0), -2.5f, 1e-5f);
}

// --- transforms -------------------------------------------------------------------------------

TEST(MatrixTransform, CoordDividesByWAndPointDoesNot) {
    // A left-handed perspective: w' = z.
    const Matrix proj = Make({1, 0, 0, 0,  //
                              0, 1, 0, 0,  //
                              0, 0, 2, 1,  //
                              0, 0, -2, 0});
    const Vec3 p{2, 4, 4};
    Vec3 point;
    TransformPoint(p, proj, point);
    EXPECT_EQ(point, (Vec3{2, 4, 6}));
    Vec3 coord = p, coordSse = p;
    TransformCoord(coord, proj);
    TransformCoordSse(coordSse, proj);
    EXPECT_EQ(coord, (Vec3{0.5f, 1.0f, 1.5f}));
    EXPECT_EQ(coordSse, (Vec3{0.5f, 1.0f, 1.5f}));
    Vec4 h;
    Vec4Transform({2, 4, 4, 1}, proj, h);
    EXPECT_EQ(h, (Vec4{2, 4, 6, 4}));
}

TEST(MatrixTransform, RotatesAsRowVectorsAndProductsApplyLeftFirst) {
    Matrix rz, t, both;
    MatrixRotationZ(rz, 3.14159265f / 2);
    MatrixIdentity(t);
    t.Row(3) = {10, 0, 0};
    MatrixMultiplyPlain(rz, t, both);  // rotate, then translate
    Vec3 out;
    TransformPoint({1, 0, 0}, both, out);
    ExpectVecNear(out, {10, 1, 0}, 1e-6f);
    TransformNormal({1, 0, 0}, both, out);
    ExpectVecNear(out, {0, 1, 0}, 1e-6f);
}

// --- construction -----------------------------------------------------------------------------

TEST(MatrixBuild, AxisRotationAboutZEqualsRotationZ) {
    RandomMath rnd(5);
    for (int i = 0; i < 100; ++i) {
        const float a = rnd.Uniform(-6.3f, 6.3f);
        Matrix axis, z;
        MatrixRotationAxis(axis, {0, 0, 1}, a);
        MatrixRotationZ(z, a);
        EXPECT_LE(MaxAbsDiff(axis, z), 1e-6f);
    }
    Matrix y, axis;
    MatrixRotationY(y, 0.7f);
    MatrixRotationAxis(axis, {0, 1, 0}, 0.7f);
    EXPECT_LE(MaxAbsDiff(axis, y), 1e-6f);
}

struct DecomposeCase {
    Vec3 scale;
    Vec3 expected;
};

TEST(MatrixDecompose, SignsOfMirroredScales) {
    const DecomposeCase cases[] = {
        {{2, 3, 4}, {2, 3, 4}},
        {{-2, 3, 4}, {-2, 3, 4}},  // mirrored, m22 >= 0, m11 >= 0: x carries it
        {{2, -3, 4}, {2, -3, 4}},  // m11 < 0: y carries it
        {{2, 3, -4}, {2, 3, -4}},  // m22 < 0: z carries it
        {{-2, -3, -4}, {-2, -3, -4}},
    };
    for (const auto& c : cases) {
        Matrix m, rot;
        MatrixScaling(m, c.scale);
        m.Row(3) = {1, 2, 3};
        Vec3 t, s;
        MatrixDecompose(m, t, rot, s);
        EXPECT_EQ(t, (Vec3{1, 2, 3}));
        ExpectVecNear(s, c.expected, 1e-6f);
        EXPECT_LE(MaxAbsDiff(rot, MatrixIdentity()), 1e-6f);
    }
}

TEST(MatrixDecompose, RecomposesRandomTransforms) {
    RandomMath rnd(6);
    for (int i = 0; i < 1000; ++i) {
        const Matrix m = rnd.Affine();
        Matrix rot, scale, back;
        Vec3 t, s;
        MatrixDecompose(m, t, rot, s);
        EXPECT_FALSE(MatrixIsMirrored(rot));
        MatrixScaling(scale, s);
        MatrixMultiplyPlain(scale, rot, back);
        back.Row(3) = t;
        ASSERT_LE(MaxAbsDiff(back, m), 1e-4f * (1.0f + MaxAbs(m)));
        Vec3 gs;
        MatrixGetScale(m, gs);
        EXPECT_EQ(gs.x < 0, MatrixIsMirrored(m));
    }
}

TEST(MatrixScale, NormalizeAxesTakesTheMirrorOffRowZero) {
    Matrix m;
    MatrixScaling(m, {-2, 3, 4});
    Matrix n = m;
    EXPECT_TRUE(MatrixNormalizeAxes(n));
    EXPECT_LE(MaxAbsDiff(n, MatrixIdentity()), 1e-6f);
    MatrixSetAxisScale(m, 5, 6, 7);
    Vec3 s;
    MatrixGetScale(m, s);
    ExpectVecNear(s, {5, 6, 7}, 1e-5f);
    EXPECT_FALSE(MatrixHasUnitScale(m));
    MatrixRemoveScale(m);
    EXPECT_TRUE(MatrixHasUnitScale(m));
    MatrixApplyScale(m, {2, 2, 2});
    MatrixGetScale(m, s);
    ExpectVecNear(s, {2, 2, 2}, 1e-5f);
}

TEST(MatrixBuild, RotationPartDropsTranslationAndProjection) {
    Matrix m = Make({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    MatrixRotationPart(m, m);
    EXPECT_EQ(m, Make({1, 2, 3, 0, 5, 6, 7, 0, 9, 10, 11, 0, 0, 0, 0, 1}));
    Matrix t;
    MatrixIdentity(t);
    t.Row(3) = {1, 2, 3};
    Matrix r;
    MatrixRotationZ(r, 0.5f);
    r.Row(3) = {7, 8, 9};
    MatrixMultiplyRotationPart(t, r);
    Matrix expect;
    MatrixRotationZ(expect, 0.5f);
    MatrixMultiplyPlain(Make({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}), expect, expect);
    EXPECT_LE(MaxAbsDiff(t, expect), 1e-6f);
}

// --- orientation helpers ----------------------------------------------------------------------

void ExpectProperRotation(const Matrix& m) {
    Matrix mt;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) mt(r, c) = m(c, r);
    Matrix product;
    MatrixMultiplyPlain(m, mt, product);
    EXPECT_LE(MaxAbsDiff(product, MatrixIdentity()), 1e-5f);
    EXPECT_FALSE(MatrixIsMirrored(m));
}

TEST(RotationBetweenVectors, DefaultPoseIsIdentity) {
    Matrix m;
    RotationBetweenVectors({0, 0, 1}, {0, 1, 0}, m);
    EXPECT_EQ(m, MatrixIdentity());
    RotationBetweenVectors({0, 0, 5}, {0, 3, 0}, m);  // lengths do not matter
    EXPECT_EQ(m, MatrixIdentity());
}

TEST(RotationBetweenVectors, ForwardBecomesRowTwoAndUpStaysInItsPlane) {
    RandomMath rnd(7);
    for (int i = 0; i < 500; ++i) {
        const Vec3 f = rnd.Vector(), u = rnd.Vector();
        if (Vec3Length(Vec3Cross(f, u)) < 0.1f * Vec3Length(f) * Vec3Length(u)) continue;
        Matrix m;
        RotationBetweenVectors(f, u, m);
        ExpectProperRotation(m);
        ExpectVecNear(m.Row(2), f * (1.0f / Vec3Length(f)), 1e-5f);
        EXPECT_GT(Vec3Dot(m.Row(1), u), 0.0f);
        EXPECT_NEAR(Vec3Dot(m.Row(0), u), 0.0f, 1e-4f * Vec3Length(u));
        // Turning +z by the result gives forward: the camera's facing.
        Vec3 fz;
        TransformNormal({0, 0, 1}, m, fz);
        ExpectVecNear(fz, m.Row(2), 1e-6f);
        if (HasFailure()) break;
    }
}

TEST(RotationBetweenVectors, ParallelUpStillGivesARotation) {
    Matrix m;
    RotationBetweenVectors({0, 2, 0}, {0, 1, 0}, m);
    ExpectProperRotation(m);
    ExpectVecNear(m.Row(2), {0, 1, 0}, 1e-6f);
}

TEST(OrthonormalizeRotation, KeepsRowTwoDirectionAndTranslation) {
    RandomMath rnd(8);
    for (int i = 0; i < 500; ++i) {
        Matrix m = rnd.Affine(false);
        // Skew it a little, as products of scaled parents do.
        m.Row(1) += m.Row(2) * 0.3f;
        const Vec3 z = m.Row(2), t = m.Row(3);
        OrthonormalizeRotation(m);
        Matrix r = m;
        r.Row(3) = {0, 0, 0};
        ExpectProperRotation(r);
        ExpectVecNear(m.Row(2), z * (1.0f / Vec3Length(z)), 1e-5f);
        EXPECT_EQ(m.Row(3), t);
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace quor
