// Review balloons: the number in a circle in balloon mode with the 10-point GUI face, the title
// otherwise, the widened pick, the drag box of each mode, and copies that keep no saved area.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/view/KytScene.h"
#include "tests/support/scene/GlFixture.h"

namespace {

using quor::test::GlFixture;

class Note : public AuxDRAnnotate {
public:
    using AuxDRAnnotate::AuxDRAnnotate;
    using AuxDRAnnotate::Copy;
};

class Review : public GlFixture {
protected:
    void SetUp() override
    {
        GlFixture::SetUp();
        record.title = "Note";
        record.uBalloon = 7;
        record.textColor = 0x00FF00;
        record.vBalloonOffset = WqVector3D(20.0, 0.0, 0.0);
        part.mech.vPos = WqVector3D(12.5, 32.5, 0.0);
        note = std::make_unique<Note>(AuxDRAnnotate::ID, &part);
        note->pDRData = &record;
        note->bDrawBalloon = true;
    }
    void TearDown() override
    {
        KytScene::bDRAnno_BlnEna = false;
        note.reset();
        GlFixture::TearDown();
    }
    KytOgl& OpenPixels()
    {
        KytOgl& o = Open(64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 64, 0, 64, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glGetDoublev(GL_MODELVIEW_MATRIX, AuxAnnotate::modelM);
        glGetDoublev(GL_PROJECTION_MATRIX, AuxAnnotate::projM);
        glGetIntegerv(GL_VIEWPORT, AuxAnnotate::viewP);
        return o;
    }
    // Extent of `text` plus its terminator in the font balloon mode must use.
    static SIZE Extent(KytOgl& o, const char* text, bool balloon)
    {
        LOGFONTA lf{};
        if (balloon) {
            LOGFONTA gui{};
            GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof gui, &gui);
            CFont f;
            f.CreatePointFont(100, gui.lfFaceName);
            f.GetLogFont(&lf);
        } else {
            lf = KytAnnotateData::GetDefaultFont();
        }
        HFONT prev = o.ChangeFont(&lf);
        SIZE s{};
        GetTextExtentPoint32A(o.GetHdc(), text, static_cast<int>(std::strlen(text)) + 1, &s);
        o.SelectObject(prev);
        return s;
    }
    static bool Logged(HDC dc, const std::string& line)
    {
        const auto& log = CallLog(dc);
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    KytLink part;
    KytDRAnnotateData record;
    std::unique_ptr<Note> note;
};

// The balloon sits at window (32, 32); its anchor at (12, 32).
TEST_F(Review, BalloonModeWritesTheNumberInACircle)
{
    KytOgl& o = OpenPixels();
    note->Draw();
    EXPECT_DOUBLE_EQ(note->vBalloonPos.x, 32.5);
    const int objects = LiveGdiObjects();
    KytScene::bDRAnno_BlnEna = true;
    note->DrawGDI(&o);
    const SIZE s = Extent(o, "7", true);
    const int h = (s.cy + 1) / 2;
    EXPECT_TRUE(Logged(o.GetHdc(), "TextOutA(32," + std::to_string(32 - h) + ",\"7\")"));
    const auto& log = CallLog(o.GetHdc());
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                            [](const std::string& l) { return l.rfind("Ellipse", 0) == 0; }));
    EXPECT_EQ(LiveGdiObjects(), objects);

    KytScene::bDRAnno_BlnEna = false;
    note->DrawGDI(&o);
    const SIZE t = Extent(o, "Note", false);
    EXPECT_TRUE(
        Logged(o.GetHdc(), "TextOutA(32," + std::to_string(32 - (t.cy + 1) / 2) + ",\"Note\")"));
    // One annotation of a balloon group writes; the others do not.
    note->bDrawBalloon = false;
    const size_t lines = CallLog(o.GetHdc()).size();
    note->DrawGDI(&o);
    EXPECT_EQ(CallLog(o.GetHdc()).size(), lines);
}

TEST_F(Review, BalloonModeWidensThePickByTheTextHeight)
{
    KytOgl& o = OpenPixels();
    note->Draw();
    struct Case {
        bool balloon;
        int dx;  // from the box's left edge; the right edge is tested as well
        bool hit;
    };
    for (const Case c : {Case{false, 0, true}, Case{false, -1, false}, Case{true, 0, true},
                         Case{true, -1, false}}) {
        KytScene::bDRAnno_BlnEna = c.balloon;
        const SIZE s = Extent(o, c.balloon ? "7" : "Note", c.balloon);
        const int widen = c.balloon ? s.cy : 0;
        const int left = 32 - widen + c.dx, right = 32 + s.cx + widen - c.dx;
        EXPECT_EQ(note->Pick(&o, left, 32), c.hit) << c.balloon << " " << c.dx;
        EXPECT_EQ(note->Pick(&o, right, 32), c.hit) << c.balloon << " " << c.dx;
    }
    // The leader, 5 pixels either side, only between its ends.
    EXPECT_TRUE(note->Pick2(&o, 20, 37));
    EXPECT_FALSE(note->Pick2(&o, 20, 38));
    EXPECT_FALSE(note->Pick2(&o, 9, 32));
}

TEST_F(Review, DragBoxesOfBothModesAndTheirRestore)
{
    KytOgl& o = OpenPixels();
    glClearColor(0.2f, 0.3f, 0.4f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    note->Draw();
    o.SwapBuffers();
    std::vector<COLORREF> before;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            before.push_back(GetPixel(o.GetHdc(), x, y));
    const int baseline = LiveGdiObjects();
    for (bool balloon : {true, false}) {
        KytScene::bDRAnno_BlnEna = balloon;
        note->MoveEndPos(WqVector3D(0.0, 2.0, 0.0), false);
        note->Dragging(&o);
        const SIZE s = Extent(o, balloon ? "7" : "Note", balloon);
        const int h = (s.cy + 1) / 2;
        int x = 0, y = 0;
        x = 32;
        y = 32 - (balloon ? 2 : 4);
        if (balloon) {
            EXPECT_EQ(note->rcBack[0], x - 2 * s.cy);
            EXPECT_EQ(note->rcBack[1], y - 3 * h);
            EXPECT_EQ(note->rcBack[2], s.cx + 4 * s.cy);
            EXPECT_EQ(note->rcBack[3], s.cy + 1 + 6 * h);
        } else {
            EXPECT_EQ(note->rcBack[0], x);
            EXPECT_EQ(note->rcBack[1], y - h);
            EXPECT_EQ(note->rcBack[2], s.cx);
            EXPECT_EQ(note->rcBack[3], s.cy + 1);
        }
        int orange = 0, changed = 0;
        for (int yy = 0; yy < 64; ++yy)
            for (int xx = 0; xx < 64; ++xx) {
                const COLORREF c = GetPixel(o.GetHdc(), xx, yy);
                const bool in = xx >= note->rcBack[0] && xx < note->rcBack[0] + note->rcBack[2] &&
                                yy >= note->rcBack[1] && yy < note->rcBack[1] + note->rcBack[3];
                orange += in && c == 0x0080FF;
                changed += !in && c != before[size_t(yy) * 64 + xx];
            }
        EXPECT_GT(orange, 10) << balloon;
        EXPECT_EQ(changed, 0) << balloon;
    }
    note->EndDrag();
    EXPECT_EQ(LiveGdiObjects(), baseline);
}

TEST_F(Review, CopiesAndCopyFreeTheirOwnSavedAreaOnly)
{
    KytOgl& o = OpenPixels();
    const int baseline = LiveGdiObjects();
    note->Draw();
    note->Dragging(&o);
    ASSERT_NE(note->hBackBitmap, nullptr);
    Note target(AuxDRAnnotate::ID, &part);
    target.pDRData = &record;
    target.bDrawBalloon = true;
    target.Draw();
    target.Dragging(&o);
    ASSERT_NE(target.hBackBitmap, nullptr);
    target.bBackup = 1;
    target.Copy(note.get());
    EXPECT_EQ(target.hBackBitmap, nullptr);
    EXPECT_EQ(target.bBackup, 0);
    EXPECT_EQ(target.pDRData, &record);
    EXPECT_EQ(LiveGdiObjects(), baseline + 1);
    {
        Note byValue(*note);
        EXPECT_EQ(byValue.hBackBitmap, nullptr);
        std::unique_ptr<AuxDRAnnotate> dup(note->DuplicateDRAnnotate());
        EXPECT_EQ(dup->hBackBitmap, nullptr);
    }
    note.reset();
    EXPECT_EQ(LiveGdiObjects(), baseline);
    EXPECT_EQ(Stats().badRelease, 0);
}

TEST_F(Review, EndPositionsOnTheReviewRecord)
{
    KytDRAnnotateData other;
    other.vBalloonOffset = WqVector3D(1, 2, 3);
    Note second(AuxDRAnnotate::ID, &part);
    EXPECT_FALSE(note->CopyEndPos(&second));  // the other has no record
    second.pDRData = &other;
    ASSERT_TRUE(note->CopyEndPos(&second));
    EXPECT_DOUBLE_EQ(record.vBalloonOffset.z, 3.0);
    ASSERT_TRUE(note->MoveEndPos(WqVector3D(1, 0, 0), false));
    EXPECT_DOUBLE_EQ(record.vBalloonOffset.x, 2.0);
    EXPECT_DOUBLE_EQ(note->GetGDIObjPoint(nullptr).x, 0.0);
    note->pDRData = nullptr;
    EXPECT_FALSE(note->MoveEndPos(WqVector3D(1, 0, 0), false));
}

} // namespace
