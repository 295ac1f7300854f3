#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytStack.h"
#include "platform/kernel/TOKEN.h"
#include "platform/kernel/WqMatrix33D.h"

namespace {

void ExpectNear(const WqVector3D& a, const WqVector3D& b, double tol = 1e-9)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

TEST(WqMath, RotationAndMatrixZ)
{
    WqMatrix33D m;
    m.MakeRotMatrix(0.0, 1.0, WqVector3D(0, 0, 2));  // 90 degrees about z
    ExpectNear(m.Multi(WqVector3D(1, 0, 0)), {0, 1, 0});
    ExpectNear(WqVector3D(1, 0, 0).Multi(m), {0, -1, 0});  // row vector: the transpose
    const WqVector3D dirs[] = {{0, 0, 1}, {0, 0, -3}, {1, 2, 3}, {1, 0, 0}, {0, 1, 0}};
    for (const WqVector3D& d : dirs) {
        WqMatrix33D r;
        ASSERT_TRUE(MakeMatrixZ(d, r));
        WqVector3D u = d;
        u.Normarize();
        ExpectNear(r.Multi(WqVector3D(0, 0, 1)), u);
        // Orthonormal: R^T R = I.
        const WqMatrix33D i = r.Transpose().Multi(r);
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                EXPECT_NEAR(i.m[a][b], a == b ? 1.0 : 0.0, 1e-12);
    }
    WqMatrix33D untouched;
    untouched.m[0][0] = 5;
    EXPECT_FALSE(MakeMatrixZ(WqVector3D::zero, untouched));
    EXPECT_EQ(untouched.m[0][0], 5);
    WqVector3D z;
    EXPECT_FALSE(z.Normarize());
    ExpectNear(WqVector3D(1, 0, 0).Cross({0, 1, 0}), {0, 0, 1});
}

class KernelTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        KytLink::eReferMode = KYT_REFER_ASSEMBLY;
        KytVisual::uLayerMask = 1;
        root = KytBuild::FourLinkTree(model);
    }
    KytLink* Named(const char* n)
    {
        for (auto& l : model.Links())
            if (l->name == n)
                return l.get();
        return nullptr;
    }
    KytModel model;
    KytLink* root = nullptr;
};

TEST_F(KernelTree, BuildersMakeClosedMeshesWithNeighbours)
{
    struct Case {
        std::unique_ptr<KytShapeRep> rep;
        unsigned triangles;
    };
    Case cases[] = {{KytBuild::BoxRep(1, 2, 3), 12},
                    {KytBuild::CylinderRep(1, 2, 8), 32},
                    {KytBuild::PlateWithHoleRep(4, 1, 1, 16), 16 * 8}};
    for (Case& c : cases) {
        ASSERT_EQ(c.rep->GetTriangleCount(), c.triangles);
        EXPECT_TRUE(c.rep->uFlags & KYT_REP_NEIGHBORS);
        double volume = 0;
        for (const KytTriangle& t : c.rep->aTriangle) {
            for (int e = 0; e < 3; ++e)
                EXPECT_NE(t.pNeighbor[e], nullptr) << "closed mesh";
            const KytPoint &a = *t.pVertex[0], &b = *t.pVertex[1], &d = *t.pVertex[2];
            volume += (a.x * (b.y * d.z - b.z * d.y) - a.y * (b.x * d.z - b.z * d.x) +
                       a.z * (b.x * d.y - b.y * d.x)) / 6.0;
        }
        EXPECT_GT(volume, 0) << "outward faces";
    }
    // Box: every edge of a face diagonal is smooth, every cube edge hard.
    auto box = KytBuild::BoxRep(1, 1, 1);
    int hard = 0;
    for (const KytTriangle& t : box->aTriangle)
        hard += !!(t.uFlags & KYT_TRI_HARD_EDGE01) + !!(t.uFlags & KYT_TRI_HARD_EDGE12) +
                !!(t.uFlags & KYT_TRI_HARD_EDGE20);
    EXPECT_EQ(hard, 24);  // 12 cube edges seen from both sides
    auto plate = KytBuild::PlateWithHoleRep(4, 1, 1, 16);
    EXPECT_FLOAT_EQ(plate->boxMin.x, -2.0f);
    EXPECT_FLOAT_EQ(plate->boxMax.z, 1.0f);
}

TEST_F(KernelTree, SearchNextWalksDepthFirst)
{
    KytLink* sub = model.AddLink("sub", Named("boxA"));
    std::vector<std::string> order;
    for (KytLink* l = root; l; l = l->SearchNext())
        order.push_back(l->name);
    EXPECT_EQ(order, (std::vector<std::string>{"root", "boxA", "sub", "boxB", "cylinder"}));
    EXPECT_EQ(sub->GetParent(), Named("boxA"));
    KytEnv::pLoaded = &model;
    EXPECT_EQ(KYT_GetLoadedLink(sub->uID), sub);
    EXPECT_EQ(KYT_GetLoadedLink(999), nullptr);
    KytEnv::Reset();
}

TEST_F(KernelTree, BoundingBoxFollowsTargetsTypesAndLayers)
{
    const double big = 1.7976931348623157e308;
    struct Case {
        const char* what;
        bool targetOnly;
        int typeMask;
        bool ok;
        WqVector3D min, max;
    };
    Named("boxB")->bTarget = true;
    const Case cases[] = {
        {"all", false, -1, true, {-0.5, -0.5, -0.5}, {3.5, 3.5, 2}},
        {"target only", true, -1, true, {2.5, -0.5, -0.5}, {3.5, 0.5, 0.5}},
        {"assemblies only", false, KYT_LINK_ASSEMBLY, false, {big, big, big}, {-big, -big, -big}},
    };
    for (const Case& c : cases) {
        WqVector3D mn(big, big, big), mx(-big, -big, -big);
        EXPECT_EQ(root->GetBoundingBox(&mn, &mx, c.targetOnly, c.typeMask, true), c.ok) << c.what;
        ExpectNear(mn, c.min, 1e-6);
        ExpectNear(mx, c.max, 1e-6);
    }
    // A part outside the layer mask is passed over.
    Named("cylinder")->visual.uVisible = 2;
    WqVector3D mn(big, big, big), mx(-big, -big, -big);
    ASSERT_TRUE(root->GetBoundingBox(&mn, &mx, false, -1, true));
    EXPECT_NEAR(mx.y, 0.5, 1e-6);
    // Rotated placement: the world box of the turned box.
    KytLink* a = Named("boxA");
    a->referMech.mRot.MakeRotMatrix(std::cos(M_PI / 4), std::sin(M_PI / 4), 2);
    model.UpdatePlacements();
    WqVector3D bmin(big, big, big), bmax(-big, -big, -big);
    ASSERT_TRUE(a->GetSingleBoundingBox(&bmin, &bmax));
    EXPECT_NEAR(bmax.x, std::sqrt(0.5), 1e-6);
}

TEST_F(KernelTree, CentresAndMass)
{
    KytLink* cyl = Named("cylinder");
    cyl->bGeomCenStale = true;
    cyl->SetGeomCEN();
    ExpectNear(cyl->vGeomCen, {0, 0, 1}, 1e-6);
    root->SetAsyCOM();
    ASSERT_EQ(root->nCOMState, 1);
    EXPECT_GT(root->vCOM.x, 0.5);
    WqVector3D p = cyl->mech.GetAbsPos({0, 0, 1});
    ExpectNear(p, {0, 3, 1});
}

TEST(KytStackTest, UniqueFlagMovesAnExistingItem)
{
    int a = 1, b = 2, c = 3;
    KytStack<int> s;
    s.Append(&a);
    s.Append(&b);
    s.Append(&c);
    EXPECT_EQ(s.Push(&c, true), 3);
    EXPECT_EQ(*s.Get(0), 3);
    EXPECT_EQ(*s.Get(2), 2);
    EXPECT_EQ(s.GetTail(), &b);
    EXPECT_EQ(s.Append(&c, true), 3);
    EXPECT_EQ(s.GetTail(), &c);
    EXPECT_EQ(s.GetHead(), &a);
    EXPECT_EQ(s.Push(&a), 4);  // without the flag: twice
    EXPECT_EQ(s.Search(&b), 2);
    KytStack<int> copy = s;
    EXPECT_EQ(s.Pop(), &a);
    EXPECT_EQ(s.GetCount(), 3);
    EXPECT_EQ(copy.GetCount(), 4);
    EXPECT_EQ(s.Get(3), nullptr);
    s.RemoveAll();
    EXPECT_EQ(s.GetCount(), 0);
    EXPECT_EQ(s.GetCursorIndex(), -1);
    EXPECT_EQ(s.Pop(), nullptr);
}

// Every number form strtod takes reads as strtod reads it, whichever path converts it.
TEST(TokenTest, NumbersReadAsStrtodReadsThem)
{
    const char* const texts[] = {"20.5", "-3", "0.1", "0.33333333333333331", "-0", "1e-300",
                                 "1e+300", "5e-324", "2.4703282292062327e-324", "+1.5", "0x10",
                                 "1E5", ".5", "5.", "1e400", "-1e400", "1e-400", "inf",
                                 "-Infinity", "1000.0999755859375", "123.4567"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        std::istringstream in(text);
        TOKEN t(in);
        double v = 7;
        ASSERT_EQ(t.GetDOUBLE(v), 0);
        const double expect = std::strtod(text, nullptr);
        EXPECT_EQ(std::memcmp(&v, &expect, sizeof v), 0) << v << " " << expect;
        EXPECT_TRUE(in.eof());
    }
    for (const char* text : {"1,5", "1e", "--1", "x", "0x", "1.5.2", "nanx"}) {
        SCOPED_TRACE(text);
        std::istringstream in(text);
        TOKEN t(in);
        double v = 7;
        EXPECT_EQ(t.GetDOUBLE(v), -1);
        EXPECT_EQ(v, 7);
    }
    std::istringstream in("nan");
    TOKEN t(in);
    double v = 0;
    ASSERT_EQ(t.GetDOUBLE(v), 0);
    EXPECT_TRUE(std::isnan(v));
}

// Blanks of the "C" locale separate tokens, braces stand alone, other bytes belong to words;
// after the end, and on a stream that has failed, every read is -1.
TEST(TokenTest, BlanksBracesAndStreamState)
{
    std::istringstream in(" a\t\vb\fc\r\nd{e}}\xa0\xe9" "f {");
    TOKEN t(in);
    std::vector<std::string> tokens;
    while (t.GetToken() >= 0)
        tokens.push_back(t.szToken);
    EXPECT_EQ(tokens, (std::vector<std::string>{"a", "b", "c", "d", "{", "e", "}", "}",
                                                "\xa0\xe9" "f", "{"}));
    EXPECT_TRUE(in.eof());
    EXPECT_TRUE(in.fail());
    EXPECT_EQ(t.GetToken(), -1);
    EXPECT_TRUE(t.szToken.empty());

    std::istringstream last("word");
    TOKEN w(last);
    EXPECT_EQ(w.GetToken(), 4);
    EXPECT_TRUE(last.eof());
    EXPECT_FALSE(last.fail());
    EXPECT_EQ(w.GetToken(), -1);

    std::istringstream broken("word");
    broken.setstate(std::ios::failbit);
    TOKEN b(broken);
    EXPECT_EQ(b.GetToken(), -1);
    EXPECT_EQ(broken.tellg(), -1);
}

TEST(TokenTest, ReadsWordsNumbersAndTheEnd)
{
    const char* text = "MeasureData{ Type 3 ID 15\nPosition 40 20.5 -3 } x -1";
    std::istringstream in(text);
    TOKEN t(in);
    ASSERT_EQ(t.GetToken(), 11);
    EXPECT_EQ(t.szToken, "MeasureData");
    ASSERT_EQ(t.GetToken(), 1);
    EXPECT_EQ(t.szToken, "{");
    t.GetToken();
    int i = 0;
    EXPECT_EQ(t.GetINT(i), 0);
    EXPECT_EQ(i, 3);
    t.GetToken();
    unsigned u = 0;
    EXPECT_EQ(t.GetUINT(u), 0);
    EXPECT_EQ(u, 15u);
    t.GetToken();
    WqVector3D v;
    EXPECT_EQ(t.GetCVector(v), 0);
    EXPECT_EQ(v, WqVector3D(40, 20.5, -3));
    t.GetToken();
    EXPECT_EQ(t.szToken, "}");
    EXPECT_EQ(t.GetINT(i), -1);  // "x"
    EXPECT_EQ(t.GetUINT(u), -1); // "-1"
    EXPECT_EQ(t.GetToken(), -1);
    EXPECT_EQ(t.GetINT(i), -1);
    EXPECT_EQ(t.GetCVector(v), -1);
}

TEST(KytEnvTest, MessagesAreRecorded)
{
    KytEnv::Reset();
    KYT_OutPutMessage(1162, "Bitmap file write error.", 0);
    ASSERT_EQ(KytEnv::Messages().size(), 1u);
    EXPECT_EQ(KytEnv::Messages()[0].number, 1162);
    EXPECT_EQ(KYT_GetUpAxis(), 1);
    KytEnv::Reset();
}

}  // namespace
