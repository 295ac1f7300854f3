// Balloon annotations: the leader and anchor through feedback and pixels, the title on the
// window, the picks' bounds, the drag round trip with its saved window area, copies, and the
// shared-balloon index against the plain walk of the tree.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AnnotateOverlapIndex.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDatumName.h"
#include "scene/annotation/AuxDimension.h"
#include "scene/annotation/CMeasureData.h"
#include "tests/support/scene/GlFixture.h"
#include "tests/support/scene/OverlayGl.h"

namespace {

using overlaytest::Count;
using overlaytest::Feedback;
using quor::test::GlFixture;

class Probe : public AuxAnnotate {
public:
    using AuxAnnotate::AuxAnnotate;
    using AuxAnnotate::GetDistLtoP;
    static void Window(const WqVector3D& w, int& x, int& y) { Get2D(w, x, y); }
    KytLink* second = nullptr;
    KytLink* GetSecondLink() const override { return second; }
};

struct Box {
    int x = 0, y = 0, cx = 0, cy = 0;
};

class Annotate : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        AuxAnnotate::nCounter = 0;
        record.title = "AB";
        record.textColor = 0x00FF00;
        record.lineColor = 0x0000FF;
        record.vAnchor = WqVector3D(4.0, 0.0, 0.0);
        record.vBalloonOffset = WqVector3D(20.0, 8.0, 0.0);
        // Part turned a quarter about z and moved: the anchor lands at (10.5, 28.5).
        part.mech.mRot.MakeRotMatrix(0.0, 1.0, 2);
        part.mech.vPos = WqVector3D(10.5, 24.5, 0.0);
    }
    void TearDown() override
    {
        a.reset();
        GlFixture::TearDown();
    }

    // Window of 64 x 64 with one world unit per pixel, y up, and the statics taken from it.
    KytOgl& OpenPixels()
    {
        KytOgl& o = Open(64, 64);
        PixelView();
        return o;
    }
    static void PixelView()
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
    Probe& Make()
    {
        a = std::make_unique<Probe>(12, &part);
        a->pData = &record;
        return *a;
    }
    // The text box as the annotation measures it, in its record's font.
    Box TextBox(KytOgl& o, AuxAnnotate& ann)
    {
        Box b;
        LOGFONTA lf{};
        record.GetFontTitle(lf);
        HFONT prev = o.ChangeFont(&lf);
        SIZE s{};
        ann.GetWindowPos(o.GetHdc(), b.x, b.y, &s);
        o.SelectObject(prev);
        b.cx = s.cx;
        b.cy = s.cy;
        return b;
    }
    // One frame as the scene makes it: the GL part, the swap, then the texts.
    void Frame(KytOgl& o, const std::vector<AuxAnnotate*>& all)
    {
        glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        PixelView();
        // A shaded backdrop, so that a restored area must put back varied pixels.
        glBegin(GL_QUADS);
        glColor3f(0.1f, 0.1f, 0.1f);
        glVertex2f(0, 0);
        glColor3f(0.6f, 0.2f, 0.1f);
        glVertex2f(64, 0);
        glColor3f(0.1f, 0.5f, 0.6f);
        glVertex2f(64, 64);
        glColor3f(0.3f, 0.1f, 0.5f);
        glVertex2f(0, 64);
        glEnd();
        for (AuxAnnotate* x : all)
            x->Draw();
        o.SwapBuffers();
        HFONT prev = o.ChangeFont(&AuxAnnotate::MsgFont);
        for (AuxAnnotate* x : all)
            x->DrawGDI(&o);
        o.SelectObject(prev);
    }
    static std::vector<COLORREF> Shot(KytOgl& o)
    {
        std::vector<COLORREF> px;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                px.push_back(GetPixel(o.GetHdc(), x, y));
        return px;
    }

    KytLink part;
    KytAnnotateData record;
    std::unique_ptr<Probe> a;
};

TEST_F(Annotate, LeaderAndAnchorFollowTheRotatedLink)
{
    Open(64, 64);
    Probe& ann = Make();
    record.vAnchor = WqVector3D(0.5, 0.0, 0.0);
    record.vBalloonOffset = WqVector3D(1.0, -0.5, 0.0);
    part.mech.vPos = WqVector3D(0.25, 0.5, 0.0);
    const auto before = overlaytest::CaptureState();
    const auto prims = Feedback([&] { ann.Draw(); });
    EXPECT_EQ(overlaytest::CaptureState(), before);
    ASSERT_EQ(Count(prims, GL_LINE_TOKEN), 1);
    ASSERT_EQ(Count(prims, GL_POINT_TOKEN), 1);
    // Anchor (0.5, 0, 0) turned a quarter about z is (0, 0.5, 0), plus the placement.
    const double anchor[2] = {0.25, 1.0}, balloon[2] = {1.25, 0.5};
    for (const auto& p : prims) {
        if (p.token == GL_POINT_TOKEN) {
            EXPECT_NEAR(p.v[0][0], anchor[0], 1.0 / 16);
            EXPECT_NEAR(p.v[0][1], anchor[1], 1.0 / 16);
        } else {
            EXPECT_NEAR(p.v[0][0], anchor[0], 1.0 / 16);
            EXPECT_NEAR(p.v[0][1], anchor[1], 1.0 / 16);
            EXPECT_NEAR(p.v[1][0], balloon[0], 1.0 / 16);
            EXPECT_NEAR(p.v[1][1], balloon[1], 1.0 / 16);
        }
    }
    EXPECT_DOUBLE_EQ(ann.vBalloonPos.x, 1.25);
    EXPECT_DOUBLE_EQ(ann.vBalloonPos.y, 0.5);
    WqVector3D end;
    ASSERT_TRUE(ann.GetEndPoint(end));
    EXPECT_DOUBLE_EQ(end.x, 1.25);
    // Hidden record or none: nothing at all.
    record.bShow = 0;
    EXPECT_TRUE(Feedback([&] { ann.Draw(); }).empty());
    ann.pData = nullptr;
    EXPECT_TRUE(Feedback([&] { ann.Draw(); }).empty());
    EXPECT_FALSE(ann.GetEndPoint(end));
}

// Lit runs along a horizontal leader: solid styles give one run, a pattern many.
TEST_F(Annotate, LineStylesByLitRuns)
{
    OpenPixels();
    Probe& ann = Make();
    part.mech.mRot.SetIdentity();
    part.mech.vPos = WqVector3D(4.5, 32.5, 0.0);
    record.vAnchor = WqVector3D();
    record.vBalloonOffset = WqVector3D(56.0, 0.0, 0.0);
    struct Case {
        int style;
        int runs;  // 1: exactly one; more: at least that many
    };
    // 0xFC3F repeats every 16 pixels, 0xCCCC every 4.
    for (const Case c : {Case{0, 1}, Case{5, 1}, Case{-1, 1}, Case{1, 3}, Case{2, 10}}) {
        record.nLineStyle = c.style;
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        ann.Draw();
        glFinish();
        int runs = 0;
        bool lit = false;
        for (int x = 10; x < 58; ++x) {
            const auto p = overlaytest::ReadPixel(x, 32);
            const bool red = p[0] > 200 && p[1] < 60 && p[2] < 60;
            runs += red && !lit;
            lit = red;
        }
        if (c.runs == 1)
            EXPECT_EQ(runs, 1) << "style " << c.style;
        else
            EXPECT_GE(runs, c.runs) << "style " << c.style;
    }
    // The anchor point is the yellow one.
    const auto p = overlaytest::ReadPixel(4, 32);
    EXPECT_GT(p[0], 200);
    EXPECT_GT(p[1], 200);
    EXPECT_LT(p[2], 60);
}

TEST_F(Annotate, TitleSitsCentredOnTheBalloonInTheRecordsColour)
{
    KytOgl& o = OpenPixels();
    Probe& ann = Make();
    ann.Draw();
    o.SwapBuffers();
    const int fontsBefore = LiveGdiObjects();
    ann.DrawGDI(&o);
    EXPECT_EQ(LiveGdiObjects(), fontsBefore);
    const Box b = TextBox(o, ann);
    ASSERT_GT(b.cy, 0);
    int bx = 0, by = 0;
    Probe::Window(WqVector3D(30.5, 36.5, 0.0), bx, by);
    EXPECT_EQ(b.x, bx);
    EXPECT_EQ(b.y, by);
    const int top = b.y - (b.cy + 1) / 2;
    const auto& log = CallLog(o.GetHdc());
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "TextOutA(" + std::to_string(b.x) + "," + std::to_string(top) +
                            ",\"AB\")"),
              log.end());
    // Ink of the record's colour, all of it inside the text's box.
    int inside = 0, outside = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if (GetPixel(o.GetHdc(), x, y) == 0x00FF00) {
                const bool in = x >= b.x && x < b.x + b.cx && y >= top && y < top + b.cy;
                (in ? inside : outside)++;
            }
    EXPECT_GT(inside, 5);
    EXPECT_EQ(outside, 0);
}

TEST_F(Annotate, PickBoundsAreTheTextBoxEdges)
{
    KytOgl& o = OpenPixels();
    Probe& ann = Make();
    ann.Draw();
    const Box b = TextBox(o, ann);
    const int h = (b.cy + 1) / 2;
    struct Case {
        int x, y;
        bool hit;
    };
    const Case cases[] = {
        {b.x, b.y, true},          {b.x + b.cx, b.y, true},     {b.x, b.y - h, true},
        {b.x, b.y + h, true},      {b.x - 1, b.y, false},       {b.x + b.cx + 1, b.y, false},
        {b.x, b.y - h - 1, false}, {b.x, b.y + h + 1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ann.Pick(&o, c.x, c.y), c.hit) << c.x << "," << c.y;
    record.bShow = 0;
    EXPECT_FALSE(ann.Pick(&o, b.x, b.y));
}

TEST_F(Annotate, LeaderPickStopsAtTheEndsAndTakesFivePixels)
{
    KytOgl& o = OpenPixels();
    Probe& ann = Make();
    part.mech.mRot.SetIdentity();
    part.mech.vPos = WqVector3D(10.5, 32.5, 0.0);
    record.vAnchor = WqVector3D();
    record.vBalloonOffset = WqVector3D(40.0, 0.0, 0.0);
    ann.Draw();
    // In the window the leader runs from (10, 32) to (50, 32).
    struct Case {
        int x, y;
        bool hit;
    };
    const Case cases[] = {
        {30, 37, true}, {30, 27, true}, {30, 38, false}, {10, 32, true}, {50, 32, true},
        {53, 32, false}, {7, 32, false}, {52, 34, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ann.Pick2(&o, c.x, c.y), c.hit) << c.x << "," << c.y;
    // The segment distance itself: both ends the same point, and a vertical segment.
    EXPECT_DOUBLE_EQ(Probe::GetDistLtoP(1, 1, 1, 1, 4, 5), 5.0);
    EXPECT_DOUBLE_EQ(Probe::GetDistLtoP(0, 0, 0, 10, 3, 4), 3.0);
    EXPECT_DOUBLE_EQ(Probe::GetDistLtoP(0, 0, 0, 10, 3, 11), -1.0);
}

TEST_F(Annotate, DragRoundTripRestoresEachBoxAndEndsLikeAFreshFrame)
{
    KytOgl& o = OpenPixels();
    Probe& ann = Make();
    const int baseline = LiveGdiObjects();
    Frame(o, {&ann});
    const std::vector<COLORREF> before = Shot(o);
    const Box b = TextBox(o, ann);
    ASSERT_TRUE(ann.Pick(&o, b.x + 1, b.y));

    const WqVector3D start = record.vBalloonOffset;
    const WqVector3D step(-3.0, -4.0, 0.0);
    for (int k = 0; k < 5; ++k) {
        // The title grows halfway: the saved area must grow with the box.
        if (k == 2)
            record.title = "ABCDEFG";
        ASSERT_TRUE(ann.MoveEndPos(step, false));
        ann.Dragging(&o);
        ASSERT_NE(ann.hBackBitmap, nullptr);
        const std::vector<COLORREF> now = Shot(o);
        int orange = 0, changed = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool in = x >= ann.rcBack[0] && x < ann.rcBack[0] + ann.rcBack[2] &&
                                y >= ann.rcBack[1] && y < ann.rcBack[1] + ann.rcBack[3];
                const COLORREF c = now[size_t(y) * 64 + x];
                if (in)
                    orange += c == 0x0080FF;
                else
                    changed += c != before[size_t(y) * 64 + x];
            }
        EXPECT_GT(orange, 10) << "move " << k;
        EXPECT_EQ(changed, 0) << "move " << k;
    }
    EXPECT_DOUBLE_EQ(record.vBalloonOffset.x, start.x + 5 * step.x);
    EXPECT_DOUBLE_EQ(record.vBalloonOffset.y, start.y + 5 * step.y);
    int ax = 0, ay = 0;
    Probe::Window(WqVector3D(10.5, 28.5, 0.0), ax, ay);
    EXPECT_EQ(ann.anLineX[0], ax);
    EXPECT_EQ(ann.anLineY[0], ay);
    ann.EndDrag();
    EXPECT_EQ(ann.hBackBitmap, nullptr);
    EXPECT_EQ(ann.rcBack[2], 0);
    EXPECT_EQ(ann.anLineX[1], 0);
    EXPECT_EQ(LiveGdiObjects(), baseline);
    Frame(o, {&ann});
    const std::vector<COLORREF> after = Shot(o);

    // The same picture from a new object on a new window.
    HWND other = CreateStandInWindow(64, 64);
    KytOgl fresh(other, 32, 24);
    ASSERT_TRUE(fresh.Create(64, 64));
    fresh.MakeCurrent();
    Probe copy(12, &part);
    copy.pData = &record;
    Frame(fresh, {&copy});
    EXPECT_EQ(Shot(fresh), after);
    fresh.DeleteContext();
    ogl->MakeCurrent();
    EXPECT_EQ(Stats().badRelease, 0);
}

TEST_F(Annotate, DeletingMidDragAndCopyingFreeEveryBitmapOnce)
{
    KytOgl& o = OpenPixels();
    const int baseline = LiveGdiObjects();
    Make();
    Frame(o, {a.get()});
    a->Dragging(&o);
    a->MoveEndPos(WqVector3D(1, 1, 0), false);
    a->Dragging(&o);
    ASSERT_NE(a->hBackBitmap, nullptr);
    EXPECT_EQ(LiveGdiObjects(), baseline + 1);
    {
        Probe byValue(*a);
        EXPECT_EQ(byValue.hBackBitmap, nullptr);
        EXPECT_EQ(byValue.rcBack[2], a->rcBack[2]);
        Probe assigned(0, nullptr);
        assigned.Dragging(&o);  // without a record: nothing saved
        assigned = *a;
        EXPECT_EQ(assigned.hBackBitmap, nullptr);
        std::unique_ptr<KytAuxContents> dup(a->Duplicate());
        EXPECT_EQ(static_cast<AuxAnnotate*>(dup.get())->hBackBitmap, nullptr);
        EXPECT_EQ(static_cast<AuxAnnotate*>(dup.get())->pData, &record);
    }
    a.reset();
    EXPECT_EQ(LiveGdiObjects(), baseline);
    EXPECT_EQ(Stats().badRelease, 0);
}

// Dimensions and datum names are drawn without an annotation record: the balloon operations
// they inherit must do nothing for them.
TEST_F(Annotate, RecordlessSubclassesTakeNoBalloonPath)
{
    KytOgl& o = OpenPixels();
    CMeasureData measure;
    measure.PointLink[0] = &part;
    AuxDimension dim(AuxDimension::ID, &measure);
    AuxDatumName name(30, &part);
    for (AuxAnnotate* x : std::initializer_list<AuxAnnotate*>{&dim, &name}) {
        ASSERT_TRUE(x->IsDraw());
        const size_t lines = CallLog(o.GetHdc()).size();
        x->Dragging(&o);
        EXPECT_FALSE(x->Pick2(&o, 0, 0));
        EXPECT_EQ(x->hBackBitmap, nullptr);
        EXPECT_EQ(CallLog(o.GetHdc()).size(), lines);
    }
    dim.DrawGDI(&o);
    EXPECT_FALSE(dim.Pick(&o, 0, 0));
}

TEST_F(Annotate, EndPositionsAndSearches)
{
    Probe& ann = Make();
    EXPECT_FALSE(ann.CopyEndPos(nullptr));
    Probe other(12, &part);
    KytAnnotateData r2;
    r2.vBalloonOffset = WqVector3D(1, 2, 3);
    r2.uOverlapID = 9;
    other.pData = &r2;
    ASSERT_TRUE(ann.CopyEndPos(&other));
    EXPECT_DOUBLE_EQ(record.vBalloonOffset.z, 3.0);
    WqVector3D v;
    ASSERT_TRUE(ann.GetVector(v));
    EXPECT_DOUBLE_EQ(v.y, 2.0);
    ann.SetEndPos(WqVector3D(7, 0, 0));
    EXPECT_DOUBLE_EQ(ann.GetSecondPoint().x, 7.0);
    EXPECT_DOUBLE_EQ(ann.GetFirstPoint().x, 4.0);
    ann.pNextAnnotation = &other;
    EXPECT_EQ(ann.SearchAnnotation(&r2), &other);
    EXPECT_EQ(ann.SearchAnnotationByOverlapID(9), &other);
    EXPECT_EQ(ann.SearchAnnotationByOverlapID(10), nullptr);
    EXPECT_EQ(other.SearchAnnotation(&record), nullptr);
    AuxAnnotate::nCounter = 5;
    EXPECT_EQ(ann.SetNo(), 5);
    EXPECT_EQ(AuxAnnotate::nCounter, 6);
}

TEST_F(Annotate, CheckVisualWithASecondLink)
{
    KytLink top, mid, leaf, other;
    top.nType = 1;
    top.AddChild(&mid);
    mid.AddChild(&leaf);
    mid.AddChild(&other);
    Probe ann(12, &leaf);
    ann.CheckVisual(&mid);
    EXPECT_TRUE(ann.bSubDraw);
    ann.CheckVisual(&other);
    EXPECT_FALSE(ann.bSubDraw);
    ann.CheckVisual(&top);
    EXPECT_TRUE(ann.bSubDraw);
    ann.second = &other;
    ann.CheckVisual(&mid);  // above both
    EXPECT_TRUE(ann.bSubDraw);
    ann.CheckVisual(&leaf);  // above the target only
    EXPECT_FALSE(ann.bSubDraw);
}

TEST_F(Annotate, FontsAreCopiedBoundedAndBecomeTheRecordsDefault)
{
    const LOGFONTA saved = AuxAnnotate::MsgFont;
    LOGFONTA lf{};
    lf.lfHeight = -20;
    std::memset(lf.lfFaceName, 'x', LF_FACESIZE);  // no terminator
    AuxAnnotate::SetFont(lf);
    EXPECT_EQ(AuxAnnotate::MsgFont.lfHeight, -20);
    EXPECT_EQ(std::strlen(AuxAnnotate::MsgFont.lfFaceName), size_t(LF_FACESIZE - 1));
    EXPECT_EQ(KytAnnotateData::GetDefaultFont().lfHeight, -20);
    LOGFONTA out{};
    AuxAnnotate::GetFont(out);
    EXPECT_STREQ(out.lfFaceName, AuxAnnotate::MsgFont.lfFaceName);
    AuxAnnotate::SetFont(saved);
}

// Two records with one overlap id on different links: the later one's balloon lands on the
// earlier one's, whether it is drawn alone or inside a frame.
TEST_F(Annotate, SharedOverlapIdPutsBothBalloonsInOnePlace)
{
    Open(64, 64);
    KytLink top, p1, p2;
    top.nType = 1;
    top.AddChild(&p1);
    top.AddChild(&p2);
    p1.mech.vPos = WqVector3D(1, 0, 0);
    p2.mech.vPos = WqVector3D(0, 5, 0);
    KytAnnotateData r1, r2;
    r1.ulKey = 1;
    r2.ulKey = 2;
    r1.uOverlapID = r2.uOverlapID = 4;
    r1.vAnchor = WqVector3D(1, 1, 0);
    r1.vBalloonOffset = WqVector3D(10, 0, 0);
    r2.vBalloonOffset = WqVector3D(-3, -3, 0);
    p1.pAnnotate = &r1;
    p2.pAnnotate = &r2;
    for (bool framed : {false, true}) {
        r2.vBalloonOffset = WqVector3D(-3, -3, 0);
        Probe a2(12, &p2);
        a2.pData = &r2;
        {
            std::unique_ptr<AuxAnnotate::Frame> frame;
            if (framed)
                frame = std::make_unique<AuxAnnotate::Frame>();
            a2.Draw();
        }
        WqVector3D e1, e2;
        Probe a1(12, &p1);
        a1.pData = &r1;
        ASSERT_TRUE(a1.GetEndPoint(e1));
        ASSERT_TRUE(a2.GetEndPoint(e2));
        EXPECT_DOUBLE_EQ(e2.x, e1.x) << framed;
        EXPECT_DOUBLE_EQ(e2.y, e1.y) << framed;
        EXPECT_DOUBLE_EQ(e2.x, 12.0);
    }
}

// The system's own generator, so that a failing tree replays.
struct Rng {
    uint32_t state = 1;
    int Below(int n)
    {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF) % n;
    }
};

TEST(AnnotateOverlapIndexOracle, FirstMatchEqualsThePlainWalkOnRandomTrees)
{
    Rng rng;
    for (int round = 0; round < 40; ++round) {
        std::vector<std::unique_ptr<KytLink>> links;
        std::deque<KytAnnotateData> records;
        const int n = 1 + rng.Below(60);
        for (int i = 0; i < n; ++i) {
            links.push_back(std::make_unique<KytLink>());
            if (i > 0)
                links[size_t(rng.Below(i))]->AddChild(links.back().get());
            for (int r = rng.Below(4); r > 0; --r) {
                records.emplace_back();
                KytAnnotateData& d = records.back();
                d.ulKey = static_cast<unsigned long>(rng.Below(6));
                d.uOverlapID = static_cast<unsigned>(rng.Below(5));
                d.pNext = links.back()->pAnnotate;
                links.back()->pAnnotate = &d;
            }
        }
        KytLink* top = links[0].get();
        AnnotateOverlapIndex index;
        index.Build(top);
        for (auto& l : links)
            for (KytAnnotateData* d = l->pAnnotate; d; d = d->pNext) {
                const AnnotateOverlapMatch walk = FindOverlapByWalk(top, l.get(), d);
                const AnnotateOverlapMatch fast = index.Find(l.get(), d);
                ASSERT_EQ(fast.link, walk.link) << "round " << round;
                ASSERT_EQ(fast.data, walk.data) << "round " << round;
            }
    }
}

} // namespace
