// Datum names, the human pointer and the process balloon: outlines and offset lines through
// feedback, the offset text, window clamping, copies that own their text, and the process
// balloon's picks, text flag and inverted-leader drag.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxDatumName.h"
#include "scene/annotation/AuxHumanPointer.h"
#include "scene/annotation/AuxProcessAnno.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::Count;
using overlaytest::Feedback;
using overlaytest::Primitive;
using quor::test::GlFixture;

void PixelView()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 0, 64, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glGetDoublev(GL_MODELVIEW_MATRIX, AuxAnnotate::modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, AuxAnnotate::projM);
    glGetIntegerv(GL_VIEWPORT, AuxAnnotate::viewP);
}

bool Logged(HDC dc, const std::string& prefix)
{
    const auto& log = CallLog(dc);
    return std::any_of(log.begin(), log.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

using Point = std::array<double, 2>;

std::set<Point> Ends(const std::vector<Primitive>& prims)
{
    std::set<Point> out;
    for (const Primitive& p : prims)
        for (const auto& v : p.v)
            out.insert({std::round(v[0] * 16) / 16, std::round(v[1] * 16) / 16});
    return out;
}

class Pointers : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        WqVector3D at(0.0, 0.0, 0.0);
        vp.AddCamera(new KytCamera("c", at, 0.0f, 0.0f));
        vp.SetViewRadius(1.25);  // outline half side 1
        part.name = "Plate";
        part.mech.vPos = WqVector3D(0.25, 0.5, 0.5);
    }
    KytViewPort vp;
    KytLink part;
};

TEST_F(Pointers, DatumOutlineCornersAndNamePlace)
{
    Open(64, 64);
    AuxDatumName name(30, &part);
    EXPECT_TRUE(Feedback([&] { name.Draw(); }).empty());  // no viewport yet
    name.pViewPort = &vp;
    const auto prims = Feedback([&] { name.Draw(); });
    ASSERT_EQ(Count(prims, GL_LINE_TOKEN), 4);
    // The plane through the part, normal -z, around the point nearest the look-at point.
    EXPECT_EQ(Ends(prims), (std::set<Point>{{-1, -1}, {-1, 1}, {1, 1}, {1, -1}}));
    for (const auto& p : prims)
        EXPECT_NEAR(p.v[0][2], 0.5, 1e-3);
    EXPECT_DOUBLE_EQ(name.vNamePos.x, -1.0);
    EXPECT_DOUBLE_EQ(name.vNamePos.y, 1.0);
    part.visual.uVisible = 0;
    EXPECT_TRUE(Feedback([&] { name.Draw(); }).empty());
}

TEST_F(Pointers, ChildNameDrawsTheOffsetLineAndFormatsItOnChange)
{
    Open(64, 64);
    AuxDatumChildName child(31, &part);
    child.pViewPort = &vp;
    EXPECT_STREQ(child.szOffset, "0");
    EXPECT_EQ(Count(Feedback([&] { child.Draw(); }), GL_LINE_TOKEN), 4);  // no offset flag
    part.bDatumOffset = true;
    part.dDatumOffset = 1.5;
    const auto prims = Feedback([&] { child.Draw(); });
    ASSERT_EQ(Count(prims, GL_LINE_TOKEN), 5);
    const Primitive& offset = prims.back();
    EXPECT_NEAR(offset.v[0][0], -1.0, 1.0 / 16);  // midpoint of the first two corners
    EXPECT_NEAR(offset.v[0][1], 0.0, 1.0 / 16);
    EXPECT_NEAR(offset.v[1][2], -1.0, 1e-3);      // 1.5 along the normal
    EXPECT_STREQ(child.szOffset, "1.500 mm");
    part.dDatumOffset = 12.5;
    child.Draw();
    EXPECT_STREQ(child.szOffset, "12.500 mm");
    // Too long for fixed notation: the exponent form, within the buffer.
    part.dDatumOffset = -1e300;
    child.Draw();
    EXPECT_LT(std::strlen(child.szOffset), sizeof(child.szOffset));
    EXPECT_NE(std::strchr(child.szOffset, 'e'), nullptr);
    std::unique_ptr<KytAuxContents> dup(child.Duplicate());
    EXPECT_STREQ(static_cast<AuxDatumChildName*>(dup.get())->szOffset, child.szOffset);
}

TEST_F(Pointers, DatumNamesStayInsideTheWindow)
{
    KytOgl& o = Open(64, 64);
    PixelView();
    AuxDatumName name(30, &part);
    SIZE s{};
    GetTextExtentPoint32A(o.GetHdc(), "Plate", 6, &s);
    struct Case {
        WqVector3D at;
        int x, y;
    };
    const Case cases[] = {
        {{-20.5, 32.5, 0}, 0, 32},                // left of the window
        {{200.5, 32.5, 0}, 64 - s.cx, 32},        // right of it
        {{10.5, -40.5, 0}, 10, 64 - s.cy},        // below the bottom edge
        {{10.5, 63.5, 0}, 10, s.cy},              // at the top
    };
    for (const Case& c : cases) {
        name.vNamePos = c.at;
        int x = 0, y = 0;
        ASSERT_TRUE(name.GetWindowPos(o.GetHdc(), x, y, nullptr));
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
    }
    AuxDatumChildName child(31, &part);
    child.vNamePos = WqVector3D(10.5, -40.5, 0);
    int x = 0, y = 0;
    child.GetWindowPos(o.GetHdc(), x, y, nullptr);
    EXPECT_EQ(y, 64 - s.cy);
    // The name is written there, in blue on yellow without the target mark.
    name.vNamePos = WqVector3D(10.5, 32.5, 0);
    name.DrawGDI(&o);
    EXPECT_TRUE(Logged(o.GetHdc(), "TextOutA(10,32,\"Plate\")"));
    EXPECT_TRUE(name.Pick(&o, 10, 32));
    EXPECT_TRUE(name.Pick(&o, 10 + s.cx, 32 + s.cy));
    EXPECT_FALSE(name.Pick(&o, 9, 32));
}

TEST_F(Pointers, HumanPointerCopiesOwnTheirTextAndNoQuadric)
{
    KytOgl& o = Open(64, 64);
    char text[] = "Operator";
    AuxHumanPointer p(50, &part, text);
    text[0] = 'X';
    EXPECT_STREQ(p.pszText, "Operator");
    EXPECT_TRUE(p.GetState());  // no record needed
    EXPECT_FALSE(p.Pick(&o, 0, 0));
    p.Create(nullptr);
    ASSERT_NE(p.pQuadric, nullptr);
    {
        AuxHumanPointer byValue(p);
        EXPECT_NE(byValue.pszText, p.pszText);
        EXPECT_STREQ(byValue.pszText, "Operator");
        EXPECT_EQ(byValue.pQuadric, nullptr);
        AuxHumanPointer assigned(50, nullptr, nullptr);
        assigned.Create(nullptr);
        assigned = p;
        EXPECT_NE(assigned.pszText, p.pszText);
        std::unique_ptr<KytAuxContents> dup(p.Duplicate());
        auto* d = static_cast<AuxHumanPointer*>(dup.get());
        EXPECT_STREQ(d->pszText, "Operator");
        EXPECT_EQ(d->pQuadric, nullptr);
    }
    p.Destroy();
    EXPECT_EQ(p.pQuadric, nullptr);
    EXPECT_TRUE(Feedback([&] { p.Draw(); }).empty());  // no quadric, no arrow
    p.Create(nullptr);
    // Scaled down so that the arrow, 300 to 650 above the part, falls in the feedback view.
    const auto prims = Feedback([&] {
        glScalef(0.002f, 0.002f, 0.002f);
        p.Draw();
    });
    EXPECT_GT(Count(prims, GL_POLYGON_TOKEN), 0);
    char other[] = "Lead";
    p.ChangeHead(nullptr, other);
    EXPECT_STREQ(p.pszText, "Lead");
    EXPECT_EQ(p.GetTargetLink(), nullptr);
}

TEST_F(Pointers, HumanPointerTextIsCentredAboveThePart)
{
    KytOgl& o = Open(64, 64);
    PixelView();
    char text[] = "Op";
    part.mech.vPos = WqVector3D(32.5, -700.5, 0.0);  // 750 up the link's y: window row 45
    AuxHumanPointer p(50, &part, text);
    p.DrawGDI(&o);
    SIZE s{};
    GetTextExtentPoint32A(o.GetHdc(), "Op", 3, &s);
    EXPECT_TRUE(Logged(o.GetHdc(),
                       "TextOutA(" + std::to_string(32 - s.cx / 2) + ",15,\"Op\")"));
}

class Process : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        record.title = "P1";
        record.textColor = 0x000000;
    }
    KytLink part;
    KytAnnotateData record;
};

TEST_F(Process, OnePointHasNoLeaderAndMovesBothPoints)
{
    Open(64, 64);
    WqVector3D at(0.5, 0.5, 0.0);
    AuxProcessAnno a(60, &part, &record, at);
    EXPECT_FALSE(a.bLeader);
    EXPECT_TRUE(a.IsDraw());
    EXPECT_TRUE(Feedback([&] { a.Draw(); }).empty());
    ASSERT_TRUE(a.MoveEndPos(WqVector3D(1, 0, 0), false));
    EXPECT_DOUBLE_EQ(record.vAnchor.x, 1.5);
    EXPECT_DOUBLE_EQ(record.vBalloonOffset.x, 1.5);
    // From a record whose points differ: a leader, balloon to target, in world coordinates.
    record.vBalloonOffset = WqVector3D(-1.0, -1.0, 0.0);
    AuxProcessAnno b(60, &part, &record);
    EXPECT_TRUE(b.bLeader);
    part.mech.vPos = WqVector3D(5, 5, 5);  // not applied to either point
    const auto prims = Feedback([&] { b.Draw(); });
    ASSERT_EQ(Count(prims, GL_LINE_TOKEN), 1);
    EXPECT_NEAR(prims[0].v[0][0], 1.5, 1.0 / 16);
    EXPECT_NEAR(prims[0].v[1][0], -1.0, 1.0 / 16);
    WqVector3D end;
    ASSERT_TRUE(b.GetEndPoint(end));
    EXPECT_DOUBLE_EQ(end.y, -1.0);
    b.MoveEndPos(WqVector3D(0, 1, 0), false);
    EXPECT_DOUBLE_EQ(record.vBalloonOffset.y, -1.0);  // the target stays
}

TEST_F(Process, BalloonTextNeedsItsFlagButPicksWithout)
{
    KytOgl& o = Open(64, 64);
    PixelView();
    WqVector3D target(10.5, 10.5, 0), balloon(32.5, 32.5, 0);
    AuxProcessAnno a(60, &part, &record, target, balloon);
    a.DrawGDI(&o);
    EXPECT_FALSE(Logged(o.GetHdc(), "TextOutA"));
    SIZE s{};
    LOGFONTA lf{};
    record.GetFontTitle(lf);
    HFONT prev = o.ChangeFont(&lf);
    GetTextExtentPoint32A(o.GetHdc(), "P1", 3, &s);
    o.SelectObject(prev);
    const int x = 32, y = 32;
    struct Case {
        int x, y;
        bool hit;
    };
    const Case cases[] = {
        {x - s.cy - s.cx / 2, y, true},      {x + s.cy + s.cx / 2, y, true},
        {x - s.cy - s.cx / 2 - 1, y, false}, {x + s.cy + s.cx / 2 + 1, y, false},
        {x, y - s.cy / 2, true},             {x, y + s.cy / 2 + 1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(a.Pick(&o, c.x, c.y), c.hit) << c.x << "," << c.y;
    a.bDrawBalloon = true;
    a.DrawGDI(&o);
    EXPECT_TRUE(Logged(o.GetHdc(), "TextOutA(" + std::to_string(x - s.cx / 2) + "," +
                                       std::to_string(y - s.cy / 2) + ",\"P1\")"));
}

TEST_F(Process, DragErasesItsInvertedLeaderAndBox)
{
    KytOgl& o = Open(64, 64);
    PixelView();
    glClearColor(0.3f, 0.2f, 0.1f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    o.SwapBuffers();
    WqVector3D target(6.5, 6.5, 0), balloon(32.5, 40.5, 0);
    AuxProcessAnno a(60, &part, &record, target, balloon);
    const int baseline = LiveGdiObjects();
    std::vector<COLORREF> before;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            before.push_back(GetPixel(o.GetHdc(), x, y));
    for (int k = 0; k < 3; ++k) {
        a.MoveEndPos(WqVector3D(2, -3, 0), false);
        a.Dragging(&o);
    }
    int changed = 0, orange = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const COLORREF c = GetPixel(o.GetHdc(), x, y);
            const bool in = x >= a.rcBack[0] && x < a.rcBack[0] + a.rcBack[2] &&
                            y >= a.rcBack[1] && y < a.rcBack[1] + a.rcBack[3];
            orange += in && c == 0x0080FF;
            // Outside the last box only the last leader may differ.
            changed += !in && c != before[size_t(y) * 64 + x];
        }
    EXPECT_GT(orange, 10);
    EXPECT_GT(changed, 10);   // the leader, inverted
    EXPECT_LT(changed, 200);  // and nothing of the earlier ones
    EXPECT_EQ(LiveGdiObjects(), baseline + 1);  // the saved area
    a.EndDrag();
    EXPECT_EQ(LiveGdiObjects(), baseline);
    EXPECT_EQ(Stats().badRelease, 0);
}

} // namespace
