#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <vector>

#include "platform/kernel/KytModel.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace scene_test {
namespace {

// Gives the tests the selection buffer to write hit records by hand.
class DecodeScene : public KytScene {
public:
    using KytScene::KytScene;
    void Write(const std::vector<uint32_t>& words)
    {
        std::fill(std::begin(m_auSelectBuf), std::end(m_auSelectBuf), 0u);
        std::copy(words.begin(), words.end(), m_auSelectBuf);
    }
};

class PickDecode : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Ids of one pass for a link, a triangle and a vertex.
        KytPickNames::Begin();
        linkId = KytPickNames::Name(&link);
        triId = KytPickNames::Name(&tri);
        vtxId = KytPickNames::Name(&vtx);
        KytPickNames::End();
    }
    KytLink link;
    KytTriangle tri;
    KytPoint vtx;
    uint32_t linkId = 0, triId = 0, vtxId = 0;
    DecodeScene scene;
};

struct Expect {
    bool result;
    int32_t kind;
    bool linkIsPart;       // Link is &link
    uintptr_t literalLink; // otherwise Link holds this value
    int32_t level;
    int item;              // 0 none, 1 the triangle, 2 the vertex, 3 literal
    uintptr_t literalItem;
    uint32_t name4, name5;
};

TEST_F(PickDecode, NearestHitTable)
{
    const uint32_t L = linkId, T = triId;
    struct Case {
        const char* name;
        int hits;
        std::vector<uint32_t> words;
        Expect e;
    };
    const std::vector<Case> cases = {
        {"depth tie: the later record wins", 2,
         {2, 100, 200, 7, 0, /**/ 4, 100, 300, 1, L, 5, T},
         {true, 1, true, 0, 5, 1, 0, 0, 0}},
        {"nearer earlier record wins", 2,
         {4, 50, 60, 1, L, 5, T, /**/ 2, 100, 200, 7, 9},
         {true, 1, true, 0, 5, 1, 0, 0, 0}},
        {"auxiliary object alone", 1, {1, 10, 10, 7}, {false, 7, false, 0, 0, 0, 0, 0, 0}},
        {"part record of two names", 1, {2, 10, 10, 1, L}, {true, 1, true, 0, 0, 0, 0, 0, 0}},
        {"overflow", -1, {2, 10, 10, 1, L}, {false, 0, false, 0, 0, 0, 0, 0, 0}},
        {"an overrunning count ends decoding", 2,
         {2, 10, 10, 1, L, /**/ 5000, 1, 1, 1, L, 5, T},
         {true, 1, true, 0, 0, 0, 0, 0, 0}},
        // A part record whose link name is no registered part names nothing: it is passed
        // over, and alone it leaves the answer empty.
        {"literal part names are no pointers", 1, {4, 10, 10, 1, 0x1234, 5, 0x99},
         {false, 0, false, 0, 0, 0, 0, 0, 0}},
        {"a nearer record naming no part hides no part", 2,
         {2, 5, 5, 1, 0xFFFFFFFFu, /**/ 4, 100, 300, 1, L, 5, T},
         {true, 1, true, 0, 5, 1, 0, 0, 0}},
        {"an overlay keeps its literal names", 1, {6, 10, 10, 9, 0x1234, 0x99, 4, 5, 6},
         {true, 9, false, 0x1234, 0, 3, 0x99, 4, 5}},
        {"an overlay naming a registered part", 1, {3, 10, 10, 9, L, 2},
         {true, 9, true, 0, 0, 3, 2, 0, 0}},
        {"more than six names", 1, {8, 1, 1, 1, L, 6, vtxId, 44, 55, 66, 77},
         {true, 1, true, 0, 6, 2, 0, 44, 55}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scene.Write(c.words);
        KytPickData out;
        out.Extra = 77;
        EXPECT_EQ(scene.GetPickLinkNo(c.hits, &out), c.e.result);
        EXPECT_EQ(out.Kind, c.e.kind);
        EXPECT_EQ(out.Link, c.e.linkIsPart ? &link : reinterpret_cast<KytLink*>(c.e.literalLink));
        EXPECT_EQ(out.Level, c.e.level);
        const uintptr_t item = c.e.item == 1   ? reinterpret_cast<uintptr_t>(&tri)
                               : c.e.item == 2 ? reinterpret_cast<uintptr_t>(&vtx)
                               : c.e.item == 3 ? c.e.literalItem
                                               : 0;
        EXPECT_EQ(out.Item, item);
        EXPECT_EQ(out.Name4, c.e.name4);
        EXPECT_EQ(out.Name5, c.e.name5);
        EXPECT_EQ(out.Extra, 77u);
    }
}

TEST_F(PickDecode, AllHitsInReverseOrderWithOwnNames)
{
    scene.Write({4, 10, 10, 1, linkId, 5, triId, /**/ 1, 5, 5, 8, /**/ 2, 1, 1, 1, linkId});
    KytStack<KytPickData> stack;
    EXPECT_TRUE(scene.GetPickLinkAllNo(3, &stack));
    ASSERT_EQ(stack.GetCount(), 3);
    EXPECT_EQ(stack.Get(0)->Kind, 1);
    EXPECT_EQ(stack.Get(0)->Level, 0);  // no names left over from the first record
    EXPECT_EQ(stack.Get(0)->Item, 0u);
    EXPECT_EQ(stack.Get(1)->Kind, 8);
    EXPECT_EQ(stack.Get(1)->Link, nullptr);
    EXPECT_EQ(stack.Get(2)->Item, reinterpret_cast<uintptr_t>(&tri));
    while (KytPickData* p = stack.Pop())
        delete p;
    EXPECT_TRUE(scene.GetPickLinkAllNo(-1, &stack));
    EXPECT_TRUE(stack.IsEmpty());
}

TEST_F(PickDecode, MaterialFilter)
{
    UmoMaterial steel, brass;
    KytVisualData visual{&steel, true};
    link.pVisualData = &visual;
    KytLink other;
    KytPickNames::Begin();
    const uint32_t L = KytPickNames::Name(&link), O = KytPickNames::Name(&other);
    KytPickNames::End();
    // The nearer record belongs to a link without visual data.
    scene.Write({2, 10, 10, 1, L, /**/ 2, 5, 5, 1, O, /**/ 1, 1, 1, 7});
    KytPickData out;
    EXPECT_TRUE(scene.GetPickLinkNo2(3, &out, &steel, false));
    EXPECT_EQ(out.Link, &link);
    EXPECT_FALSE(scene.GetPickLinkNo2(3, &out, &brass, false));
    EXPECT_TRUE(scene.GetPickLinkNo2(3, &out, nullptr, true));
    visual.bDisplay = false;
    EXPECT_FALSE(scene.GetPickLinkNo2(3, &out, nullptr, true));
}

TEST_F(PickDecode, RayCheck)
{
    // Two triangles facing +z at z = 1 and z = 3 (link at z = 0), and one seen edge-on.
    KytPoint n{0, 0, 1}, side{1, 0, 0};
    KytPoint a{0, 0, 1}, b{0, 0, 3};
    KytTriangle near, far, edgeOn;
    near.pFaceNormal = &n;
    near.pVertex[0] = &a;
    far.pFaceNormal = &n;
    far.pVertex[0] = &b;
    edgeOn.pFaceNormal = &side;
    edgeOn.pVertex[0] = &a;
    KytPickNames::Begin();
    const uint32_t L = KytPickNames::Name(&link);
    const uint32_t Tn = KytPickNames::Name(&near), Tf = KytPickNames::Name(&far),
                   Te = KytPickNames::Name(&edgeOn);
    KytPickNames::End();
    scene.Write({4, 1, 1, 1, L, 5, Te, /**/ 6, 1, 1, 1, L, 5, Tf, 11, 12, /**/ 4, 9, 9, 1, L, 5, Tn,
                 /**/ 1, 0, 0, 4});
    WqVector3D origin(0, 0, 10), dir(0, 0, -1);
    double depth = DBL_MAX;
    KytPickData out;
    out.Kind = 99;
    ASSERT_TRUE(scene.GetPickLinkWithCheck(origin, dir, 4, &out, depth));
    EXPECT_EQ(out.Triangle(), &far);  // nearer along the ray, whatever the buffer depth
    EXPECT_EQ(out.Name4, 11u);
    EXPECT_DOUBLE_EQ(depth, 7.0);
    // A preset depth nearer than both: nothing, and the record is cleared.
    depth = 5.0;
    EXPECT_FALSE(scene.GetPickLinkWithCheck(origin, dir, 4, &out, depth));
    EXPECT_EQ(out.Kind, 0);
    // Only the edge-on triangle: never wins.
    scene.Write({4, 1, 1, 1, L, 5, Te});
    depth = DBL_MAX;
    EXPECT_FALSE(scene.GetPickLinkWithCheck(origin, dir, 1, &out, depth));
}

class ScenePick : public PartTreeFixture {
protected:
    KytCamera* Camera() { return scene->GetActiveCamera(); }
};

TEST_F(ScenePick, PicksTheTriangleOfTheBoxUnderTheCentre)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* box = Box("box", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    KytPickData out;
    ASSERT_TRUE(scene->Pick(32, 32, &out, false, false));
    EXPECT_EQ(out.Kind, 1);
    EXPECT_EQ(out.Link, box);
    EXPECT_EQ(out.Level, 5);
    const KytShapeRep* rep = box->pShape->GetRep();
    ASSERT_NE(out.Triangle(), nullptr);
    EXPECT_GE(out.Triangle(), rep->GetTriangles());
    EXPECT_LT(out.Triangle(), rep->GetTriangles() + rep->GetTriangleCount());
    // Aimed picks stop at the part.
    KytPickData aimed;
    ASSERT_TRUE(scene->Pick(32, 32, &aimed, true, false));
    EXPECT_EQ(aimed.Link, box);
    EXPECT_EQ(aimed.Level, 0);
    // Outside the window, on either side.
    for (auto [x, y] : {std::pair{-1, 10}, {10, -1}, {64, 10}, {10, 64}}) {
        KytPickData none;
        EXPECT_FALSE(scene->Pick(x, y, &none, false, false));
        EXPECT_EQ(none.Link, nullptr);
    }
    // Nothing in the corner.
    KytPickData corner;
    EXPECT_FALSE(scene->Pick(0, 0, &corner, false, false));
}

TEST_F(ScenePick, PassesRestoreTheState)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    Box("box", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    struct Case {
        bool aim, withAux, lineMode, strict;
    };
    const Case cases[] = {{false, false, false, false}, {true, false, false, false},
                          {false, true, false, false},  {false, false, true, false},
                          {true, true, true, false},    {false, false, false, true},
                          {false, true, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.aim << c.withAux << c.lineMode << c.strict);
        KytScene::bStrictPick = c.strict;
        glPolygonMode(GL_FRONT_AND_BACK, c.lineMode ? GL_LINE : GL_FILL);
        glEnable(GL_LIGHTING);
        double projBefore[16], projAfter[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projBefore);
        const WqVector3D lookAt = Camera()->GetLookAtPosition();
        const double radius = scene->GetViewPort()->GetViewRadius();
        const double rate = KytLinkContents::lfContributionRate;
        const bool sectionLine = Contents().bSectionLine, pointMode = Contents().bPointMode;
        KytPickData out;
        EXPECT_TRUE(scene->Pick(32, 32, &out, c.aim, c.withAux));
        glGetDoublev(GL_PROJECTION_MATRIX, projAfter);
        EXPECT_EQ(0, std::memcmp(projBefore, projAfter, sizeof projBefore));
        GLint depth = -1, mode[2] = {0, 0}, matrixMode = 0, renderMode = 0;
        glGetIntegerv(GL_NAME_STACK_DEPTH, &depth);
        glGetIntegerv(GL_POLYGON_MODE, mode);
        glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
        glGetIntegerv(GL_RENDER_MODE, &renderMode);
        EXPECT_EQ(depth, 0);
        EXPECT_EQ(mode[0], c.lineMode ? GL_LINE : GL_FILL);
        EXPECT_EQ(matrixMode, GL_MODELVIEW);
        EXPECT_EQ(renderMode, GL_RENDER);
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_EQ(Camera()->GetLookAtPosition(), lookAt);
        EXPECT_EQ(scene->GetViewPort()->GetViewRadius(), radius);
        EXPECT_EQ(KytLinkContents::lfContributionRate, rate);
        EXPECT_EQ(Contents().bSectionLine, sectionLine);
        EXPECT_EQ(Contents().bPointMode, pointMode);
        EXPECT_TRUE(Contents().bDrawAlpha);
        EXPECT_FALSE(KytContents::bPickMode);
        EXPECT_FALSE(KytPickNames::IsOpen());
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// A fan of thousands of triangles meeting under the pixel: stage 2 writes far more than
// 2048 words, and the pick still finds a triangle of the fan.
TEST_F(ScenePick, DenseFanOverflowingTheBufferStillPicks)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* fan = model.AddLink("fan", root, KYT_LINK_PART);
    model.SetShape(fan, model.AddShape(KytBuild::CylinderRep(1.0, 0.2, 3000)));
    model.UpdatePlacements();
    Open(root, 64, 64);
    // Turn the cylinder's axis towards the eye so the cap's centre lies under the pixel.
    WqMatrix33D rot;
    ASSERT_TRUE(MakeMatrixZ(-Camera()->GetEyeOrientation(), rot));
    fan->referMech.mRot = rot;
    fan->referMech.vPos = Camera()->GetLookAtPosition() - rot.Multi(WqVector3D(0, 0, 0.1));
    model.UpdatePlacements();
    KytPickData out;
    ASSERT_TRUE(scene->Pick(32, 32, &out, false, false));
    EXPECT_EQ(out.Link, fan);
    EXPECT_EQ(out.Level, 5);
    EXPECT_NE(out.Triangle(), nullptr);
    EXPECT_GT(scene->GetSelectBufferSize(), 2048);
    KytScene::bStrictPick = true;
    KytPickData strict;
    EXPECT_TRUE(scene->Pick(32, 32, &strict, false, false));
    EXPECT_EQ(strict.Link, fan);
    KytScene::bStrictPick = false;
    // The caller's own buffer still reports the overflow.
    std::vector<unsigned int> small(16);
    EXPECT_EQ(scene->PickArea(20, 20, 44, 44, small.data(), 4), -1);
    EXPECT_EQ(scene->PickArea(20, 20, 44, 44, nullptr, 16), 0);
    EXPECT_EQ(scene->PickArea(20, 20, 44, 44, small.data(), 0), 0);
}

TEST_F(ScenePick, PickAreaRecordsResolveThroughTheRegistry)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* a = Box("a", root, {-2, 0, 0}, 1.0);
    KytLink* b = Box("b", root, {2, 0, 0}, 1.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    std::vector<unsigned int> buf(512);
    const int hits = scene->PickArea(0, 0, 63, 63, buf.data(), 512);
    ASSERT_GE(hits, 2);
    std::vector<const void*> links;
    size_t pos = 0;
    for (int i = 0; i < hits; ++i) {
        const unsigned count = buf[pos];
        if (count >= 2)
            links.push_back(KytPickNames::Lookup(buf[pos + 4]));
        pos += 3 + count;
    }
    EXPECT_NE(std::find(links.begin(), links.end(), a), links.end());
    EXPECT_NE(std::find(links.begin(), links.end(), b), links.end());
}

// Strict mode returns true only when it filled the record.
TEST_F(ScenePick, StrictModeAnswersOnlyWithARecord)
{
    KytLink* root = model.AddLink("root", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* box = Box("box", root, {0, 0, 0}, 2.0);
    model.UpdatePlacements();
    Open(root, 64, 64);
    KytScene::bStrictPick = true;
    KytPickData out;
    ASSERT_TRUE(scene->Pick(32, 32, &out, false, false));
    EXPECT_EQ(out.Link, box);
    EXPECT_EQ(out.Level, 5);
    // A link that stage 2 skips (kind 4) leaves the ray check empty.
    box->nType = 4;
    KytPickData empty;
    empty.Kind = 42;
    EXPECT_FALSE(scene->Pick(32, 32, &empty, false, false));
    EXPECT_EQ(empty.Kind, 42);
    box->nType = KYT_LINK_PART;
    KytScene::bStrictPick = false;
}

}  // namespace
}  // namespace scene_test
