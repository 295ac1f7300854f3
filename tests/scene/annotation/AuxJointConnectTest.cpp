// Constraint labels: the entry operations, label texts, lines and cones, the labels' frames
// and picks, and copies.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxJointConnect.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::Feedback;
using overlaytest::Primitive;
using quor::test::GlFixture;

struct State {
    KytLink* a;
    KytLink* b;
    bool active, draw;
};

std::vector<State> Entries(const AuxJointConnect& j)
{
    std::vector<State> out;
    for (KytItem<AuxJointConnectData>* n = j.GetFirstItem(); n; n = n->next)
        out.push_back({n->item->pLink1, n->item->pLink2, n->item->bActive, n->item->bDraw});
    return out;
}

TEST(AuxJointConnect, EntriesByPairRules)
{
    KytLink a, b, c, d;
    KytRelElement r1, r2;
    AuxJointConnect j(7);
    EXPECT_TRUE(j.AddTarget(&c, &b, &r1));
    // (a, b) after (c, b) is refused only when a is c or b.
    EXPECT_FALSE(j.AddTarget(&c, &b, nullptr));
    EXPECT_FALSE(j.AddTarget(&b, &b, nullptr));
    EXPECT_TRUE(j.AddTarget(&a, &b, nullptr, true));
    EXPECT_TRUE(j.AddTarget(&b, &c, &r2, false, false));
    EXPECT_TRUE(j.AddTarget(&a, &d, nullptr));
    ASSERT_EQ(j.GetCount(), 4);
    auto e = Entries(j);
    EXPECT_EQ(e[1].a, &a);
    EXPECT_TRUE(e[1].active);
    EXPECT_FALSE(e[2].draw);

    KytLink *x = nullptr, *y = nullptr;
    ASSERT_TRUE(j.GetActive(&x, &y));
    EXPECT_EQ(x, &a);
    EXPECT_EQ(y, &b);
    // (b, b) matches every entry whose second part is b.
    j.ReverseActiveState(&b, &b);
    e = Entries(j);
    EXPECT_TRUE(e[0].active);
    EXPECT_TRUE(e[1].active);
    EXPECT_FALSE(e[2].active);
    EXPECT_FALSE(e[3].active);
    ASSERT_TRUE(j.GetActive(&x, &y));
    EXPECT_EQ(x, &c);
    j.ReverseActiveState(&d, &a);
    EXPECT_FALSE(j.GetActive(&x, &y));

    EXPECT_TRUE(j.SetRelation(&a, &b, &r2));
    EXPECT_FALSE(j.SetRelation(&d, &c, &r2));
    EXPECT_TRUE(j.SetDrawData(&r2, false));  // the first with r2: (a, b)
    EXPECT_FALSE(Entries(j)[1].draw);
    KytRelElement unknown;
    EXPECT_FALSE(j.SetDrawData(&unknown, true));
    j.SetDrawFlag(&c, true);  // (c, b) and (b, c)
    e = Entries(j);
    EXPECT_TRUE(e[0].draw);
    EXPECT_TRUE(e[2].draw);
    j.SetDrawFlag(&b, &a, false);  // either order
    EXPECT_FALSE(Entries(j)[1].draw);
    j.SetDrawFlag(&b, &a, true);
    EXPECT_TRUE(Entries(j)[1].draw);
    j.AllHide();
    for (const State& s : Entries(j))
        EXPECT_FALSE(s.draw);

    EXPECT_FALSE(j.RemoveTarget(&d, &a));
    EXPECT_TRUE(j.RemoveTarget(&b, &b));  // (c, b)
    EXPECT_EQ(j.GetCount(), 3);
    EXPECT_EQ(Entries(j)[0].a, &a);
    EXPECT_TRUE(j.AddTarget(&c, &b, nullptr));
    EXPECT_EQ(Entries(j).back().a, &c);
    j.ClearData();
    EXPECT_EQ(j.GetCount(), 0);
    EXPECT_EQ(j.GetFirstItem(), nullptr);
    EXPECT_FALSE(j.IsDraw());
}

TEST(AuxJointConnect, LabelTexts)
{
    struct Row {
        bool record;
        int type, count;
        const char* text;
    } rows[] = {
        {false, 0, 0, "\x96\xa2\x92\xe8\x8b\x60"},
        {true, -1, 0, "\x96\xa2\x92\xe8\x8b\x60"},
        {true, 0, 0, "\x8e\x95\x8e\xd4"},
        {true, 1, 0, "\x8d\x61/\x8a\x4f\x8e\xfc"},
        {true, 2, 3, "\x83\x73\x83\x93\x8d\x53\x91\xa9+C"},
        {true, 3, 0, "\x95\xfb\x8c\xfc\x8d\x53\x91\xa9"},
        {true, 4, 1, "\x8e\xe8\x93\xae+C"},
        {true, 5, 0, "\x92\xbc\x90\xfc\x8d\x53\x91\xa9"},
        {true, 6, 0, ""},
        {true, -2, 2, "+C"},
    };
    for (const Row& r : rows) {
        KytRelElement rel;
        rel.nType = r.type;
        rel.nCount = r.count;
        EXPECT_EQ(AuxJointConnect::LabelText(r.record ? &rel : nullptr), r.text) << r.type;
    }
}

class JointConnectGl : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        for (KytLink* l : {&a, &b, &c})
            l->vJointPoint = WqVector3D(0, 0, 0);
    }
    // Everything drawn, in world units (the overlay view scaled by 10).
    std::vector<Primitive> World(AuxJointConnect& j)
    {
        auto prims = Feedback([&] {
            glPushMatrix();
            glScaled(0.1, 0.1, 0.1);
            j.Draw();
            glPopMatrix();
        });
        for (Primitive& p : prims)
            for (auto& v : p.v)
                for (double& x : v)
                    x *= 10.0;
        return prims;
    }
    KytLink a, b, c;
};

TEST_F(JointConnectGl, ConesPointAlongEveryPairIncludingTheZAxis)
{
    Open(64, 64);
    AuxJointConnect j(7);
    EXPECT_TRUE(World(j).empty());  // no entries: nothing, draw flag or not
    j.Create(nullptr);
    KytViewPort vp;
    vp.SetViewRadius(40.0);
    j.FitView(&vp);
    EXPECT_FLOAT_EQ(j.fConeSize, 1.0f);
    struct Row {
        WqVector3D to;
        bool cone;
    } rows[] = {
        {{0, 0, 10}, true}, {{0, 0, -10}, true}, {{10, 0, 0}, true},
        {{0, -10, 0}, true}, {{6, 0, 8}, true},  {{0, 0, 0}, false},
    };
    for (const Row& r : rows) {
        j.ClearData();
        b.mech.vPos = r.to;
        j.AddTarget(&a, &b, nullptr);
        const overlaytest::GlState before = overlaytest::CaptureState();
        const auto prims = World(j);
        EXPECT_EQ(overlaytest::CaptureState(), before);
        // Coinciding points still draw their (empty) line.
        EXPECT_EQ(overlaytest::Count(prims, GL_LINE_TOKEN), 1) << r.to.z;
        const int polygons = overlaytest::Count(prims, GL_POLYGON_TOKEN);
        EXPECT_EQ(polygons > 0, r.cone) << r.to.x << "," << r.to.y << "," << r.to.z;
        if (!r.cone)
            continue;
        // Base circle 6 back from the joint point, radius 1; apex 3 further along the pair.
        const WqVector3D u = r.to * (1.0 / r.to.Length());
        double lo = 1e9, hi = -1e9;
        for (const Primitive& p : prims)
            if (p.token == GL_POLYGON_TOKEN)
                for (const auto& v : p.v) {
                    const WqVector3D w(v[0], v[1], v[2]);
                    const double along = w.Dot(u);
                    lo = std::min(lo, along);
                    hi = std::max(hi, along);
                    const WqVector3D off = w - u * along;
                    EXPECT_LE(off.Length(), 1.0 + 1e-3);
                }
        const double len = r.to.Length();
        EXPECT_NEAR(lo, len - 6.0, 1e-3) << r.to.z;
        EXPECT_NEAR(hi, len - 3.0, 1e-3) << r.to.z;
    }
    // A value copy owns no quadric: lines only.
    AuxJointConnect copy(j);
    EXPECT_EQ(copy.pQuadric, nullptr);
    EXPECT_EQ(overlaytest::Count(World(copy), GL_POLYGON_TOKEN), 0);
    EXPECT_GT(overlaytest::Count(World(copy), GL_LINE_TOKEN), 0);
    j.Destroy();
    EXPECT_EQ(j.pQuadric, nullptr);
}

// A pair without a constraint record is drawn stippled.
TEST_F(JointConnectGl, UndefinedPairsAreStippled)
{
    Open(64, 64);
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, 64, 0, 64, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    a.mech.vPos = WqVector3D(4, 32.5, 0);
    b.mech.vPos = WqVector3D(60, 32.5, 0);
    KytRelElement gear;
    gear.nType = 0;
    auto lit = [&](KytRelElement* rel) {
        AuxJointConnect j(7);
        j.AddTarget(&a, &b, rel);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        j.Draw();
        glFinish();
        int n = 0;
        for (int x = 6; x < 50; ++x) {
            unsigned char px[3];
            glReadPixels(x, 32, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, px);
            n += px[0] + px[1] + px[2] > 15;
        }
        return n;
    };
    const int solid = lit(&gear), stippled = lit(nullptr);
    EXPECT_GE(solid, 40);
    EXPECT_GT(stippled, 10);
    EXPECT_LT(stippled, solid * 3 / 4);
}

TEST_F(JointConnectGl, LabelsFramedWhenActivePickedInsideTheirFrame)
{
    KytOgl& gl = Open(160, 64);
    HDC dc = gl.GetHdc();
    LOGFONTA lf{};
    lf.lfHeight = -12;
    lf.lfCharSet = 128;
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    // Pixel view: window (x, y) shows world (x, 64 - y).
    for (int i = 0; i < 16; ++i)
        AuxAnnotate::modelM[i] = AuxAnnotate::projM[i] = (i % 5 == 0) ? 1.0 : 0.0;
    AuxAnnotate::projM[0] = 2.0 / 160.0;
    AuxAnnotate::projM[5] = 2.0 / 64.0;
    AuxAnnotate::projM[12] = AuxAnnotate::projM[13] = -1.0;
    const int view[4] = {0, 0, 160, 64};
    std::copy(view, view + 4, AuxAnnotate::viewP);

    // Pair (a, b) labelled at window (50, 30), pair (c, b) at (120, 30).
    a.mech.vPos = WqVector3D(40.5, 34.5, 0);
    b.mech.vPos = WqVector3D(60.5, 34.5, 0);
    c.mech.vPos = WqVector3D(180.5, 34.5, 0);
    KytRelElement pin;
    pin.nType = 2;
    pin.nCount = 1;
    AuxJointConnect j(7);
    j.AddTarget(&a, &b, &pin, true);
    j.AddTarget(&c, &b, nullptr);
    int x = 0, y = 0;
    char text[AuxJointConnect::LABEL_SIZE];
    SIZE size{};
    ASSERT_TRUE(j.GetWindowPos(&a, &b, &pin, dc, x, y, text, &size));
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 30);
    EXPECT_STREQ(text, "\x83\x73\x83\x93\x8d\x53\x91\xa9+C");
    SIZE plus{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)) + 1, &plus);
    EXPECT_EQ(size.cx, plus.cx);
    const int left = x - size.cx / 2 - 5, right = x + size.cx / 2, top = y - size.cy - 3,
              bottom = y + 3;

    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    gl.SwapBuffers();
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    j.DrawGDI(&gl);
    // The pass leaves the device context's text colour and background mode as it found them.
    EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(SetBkMode(dc, OPAQUE), OPAQUE);
    // The active pair's etched frame and green label; the other's white label.
    EXPECT_EQ(Pixel(left, top), RGB(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(Pixel(right - 1, bottom - 1), RGB(255, 255, 255));
    int green = 0, white = 0;
    for (int yy = 0; yy < 64; ++yy)
        for (int xx = 0; xx < 160; ++xx) {
            const COLORREF p = Pixel(xx, yy);
            if (p == RGB(0, 255, 0)) {
                ++green;
                EXPECT_TRUE(xx >= left && xx <= right && yy >= top && yy <= bottom);
            }
            white += p == RGB(255, 255, 255) && xx > 90;
        }
    EXPECT_GT(green, 20);
    EXPECT_GT(white, 20);
    const auto& log = quor::wgl::CallLog(dc);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& s) { return s.rfind("DrawEdge", 0) == 0; }),
              1);

    // Bounds of the first label's frame pick; one pixel out does not.
    struct Row {
        int x, y;
        bool hit;
    } rows[] = {
        {left, y, true},      {right, y, true},      {x, top, true},      {x, bottom, true},
        {left - 1, y, false}, {right + 1, y, false}, {x, top - 1, false}, {x, bottom + 1, false},
    };
    for (const Row& r : rows) {
        j.ReverseActiveState(&c, &b);
        EXPECT_EQ(j.Pick(&gl, r.x, r.y), r.hit) << r.x << "," << r.y;
        EXPECT_EQ(Entries(j)[0].active, r.hit) << r.x << "," << r.y;
        EXPECT_EQ(Entries(j)[1].active, !r.hit) << r.x << "," << r.y;
    }
    // Hidden pairs and hidden labels pick nothing.
    j.SetDrawFlag(&a, &b, false);
    EXPECT_FALSE(j.Pick(&gl, x, y));
    j.SetDrawFlag(&a, &b, true);
    j.bDrawLabel = false;
    EXPECT_FALSE(j.Pick(&gl, x, y));
    SelectObject(dc, old);
    DeleteObject(font);
}

TEST(AuxJointConnect, CopiesOwnTheirEntriesAndOutliveTheSource)
{
    KytLink a, b;
    KytRelElement rel;
    auto* source = new AuxJointConnect(7);
    source->AddTarget(&a, &b, &rel, true);
    source->bDrawLabel = false;
    std::unique_ptr<AuxJointConnect> dup(static_cast<AuxJointConnect*>(source->Duplicate()));
    AuxJointConnect value(*source);
    AuxJointConnect assigned;
    assigned.AddTarget(&b, &a, nullptr);
    assigned = *source;
    delete source;
    EXPECT_EQ(dup->GetCount(), 0);
    EXPECT_FALSE(dup->bDrawLabel);
    EXPECT_EQ(dup->GetID(), 7u);
    EXPECT_EQ(dup->GetAuxType(), AUXTYPE_ANNOTATE);
    for (AuxJointConnect* c : {&value, &assigned}) {
        ASSERT_EQ(c->GetCount(), 1);
        EXPECT_EQ(Entries(*c)[0].a, &a);
        EXPECT_TRUE(Entries(*c)[0].active);
        EXPECT_EQ(c->pQuadric, nullptr);
    }
    value.RemoveTarget(&a, &b);
    EXPECT_EQ(assigned.GetCount(), 1);
    // Record-based operations have nothing to act on, though the object draws.
    ASSERT_TRUE(assigned.IsDraw());
    EXPECT_FALSE(assigned.Pick2(nullptr, 0, 0));
    EXPECT_FALSE(assigned.MoveEndPos(WqVector3D(1, 0, 0), false));
    EXPECT_FALSE(assigned.CopyEndPos(&value));
    int x = 0, y = 0;
    EXPECT_FALSE(assigned.GetWindowPos(nullptr, x, y, nullptr));
    assigned.Dragging(nullptr);
}

} // namespace
