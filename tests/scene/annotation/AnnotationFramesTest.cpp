// Captured frames of a memory context with balloon annotations: a balloon moved between two
// captures leaves nothing at its old place (the frame equals one drawn fresh), and a frame
// after the last annotation went shows no text.

#include "tests/support/scene/SceneFixture.h"

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/TOKEN.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDimension.h"
#include "scene/annotation/CMeasureData.h"
#include "scene/view/KytOglMem.h"
#include "scene/view/KytViewPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace scene_test {
namespace {

namespace fs = std::filesystem;
using namespace quor::wgl;

constexpr int kW = 96, kH = 64;

// A scene on a memory context over a 24-bit DIB, writing each frame to a BMP file.
class Capture {
public:
    Capture(KytLink* root, const std::string& file) : file_(file), scene_(root, "frames")
    {
        wnd_ = CreateStandInWindow(kW, kH);
        dc_ = CreateCompatibleDC(nullptr);
        info_.bmiHeader.biSize = 40;
        info_.bmiHeader.biWidth = kW;
        info_.bmiHeader.biHeight = kH;
        info_.bmiHeader.biPlanes = 1;
        info_.bmiHeader.biBitCount = 24;
        bmp_ = CreateDIBSection(dc_, &info_, DIB_RGB_COLORS, &bits_, nullptr, 0);
        SelectObject(dc_, bmp_);
        ogl_ = new KytOglMem(wnd_, dc_, 24, 24);
        ok_ = scene_.Create(ogl_, kW, kH);
        scene_.GetViewPort()->SetViewRadius(10.0);
        scene_.ResetView(false);
        name_ = file_.c_str();
        ogl_->SetBMPOut(&name_, &info_, bits_, Size());
    }
    bool Ok() const { return ok_ && bits_; }
    // The host's window, device context and bitmap go; the scene stays.
    void DropSurface()
    {
        ogl_->SetNormalOut();
        DeleteDC(dc_);
        DeleteObject(bmp_);
        DestroyWindow(wnd_);
    }
    RecordingScene& Scene() { return scene_; }
    unsigned long Size() const { return ((kW * 3 + 3) / 4 * 4) * static_cast<unsigned long>(kH); }
    std::vector<char> Frame()
    {
        scene_.Draw(true);
        std::ifstream in(file_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Pure text-colour pixels of the last frame inside the window rectangle.
    int Green(int x0, int y0, int x1, int y1) const { return Count(0, 255, 0, x0, y0, x1, y1); }
    // Pixels of colour (r, g, b) of the last frame inside the window rectangle.
    int Count(int r, int g, int b, int x0 = 0, int y0 = 0, int x1 = kW, int y1 = kH) const
    {
        const int stride = (kW * 3 + 3) / 4 * 4;
        int n = 0;
        for (int y = std::max(0, y0); y < std::min(kH, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(kW, x1); ++x) {
                const auto* p = static_cast<const uint8_t*>(bits_) + (kH - 1 - y) * stride + x * 3;
                n += p[0] == b && p[1] == g && p[2] == r;
            }
        return n;
    }

private:
    std::string file_;
    const char* name_ = nullptr;
    RecordingScene scene_;
    HWND wnd_ = nullptr;
    HDC dc_ = nullptr;
    BITMAPINFO info_{};
    HBITMAP bmp_ = nullptr;
    void* bits_ = nullptr;
    KytOglMem* ogl_ = nullptr;
    bool ok_ = false;
};

class AnnotationFrames : public SceneFixture {
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        dir = fs::temp_directory_path() / ("annotation-frames-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        root.nType = 1;
        record.title = "Mark";
        record.textColor = 0x00FF00;
        record.lineColor = 0x0000FF;
    }
    void TearDown() override
    {
        fs::remove_all(dir);
        SceneFixture::TearDown();
    }
    AuxAnnotate* Add(Capture& c)
    {
        auto* a = new AuxAnnotate(12, &root);
        a->pData = &record;
        c.Scene().AddAnnotation(a, AUX_STAGE_SECOND);
        return a;
    }
    // Window point of a world point through the last frame's view.
    static void Window(const WqVector3D& p, int& x, int& y)
    {
        double wx, wy, wz;
        gluProject(p.x, p.y, p.z, AuxAnnotate::modelM, AuxAnnotate::projM, AuxAnnotate::viewP,
                   &wx, &wy, &wz);
        x = static_cast<int>(wx);
        y = AuxAnnotate::viewP[3] - static_cast<int>(wy);
    }

    fs::path dir;
    KytLink root;
    KytAnnotateData record;
};

TEST_F(AnnotationFrames, AMovedBalloonLeavesNoTextBehind)
{
    Capture moving(&root, (dir / "moving.bmp").string());
    ASSERT_TRUE(moving.Ok());
    AuxAnnotate* a = Add(moving);
    record.vBalloonOffset = WqVector3D(-10.0, 3.0, 0.0);
    moving.Frame();
    int x0 = 0, y0 = 0;
    Window(record.vBalloonOffset, x0, y0);
    ASSERT_GT(moving.Green(x0, y0 - 8, x0 + 30, y0 + 8), 5) << "the first frame shows its text";

    ASSERT_TRUE(a->MoveEndPos(WqVector3D(14.0, -6.0, 0.0), false));
    const std::vector<char> second = moving.Frame();
    int x1 = 0, y1 = 0;
    Window(record.vBalloonOffset, x1, y1);
    ASSERT_GT(x1 - x0, 30) << "moved clear of the old place";
    EXPECT_EQ(moving.Green(x0, y0 - 8, x0 + 30, y0 + 8), 0) << "text left at the old place";
    EXPECT_GT(moving.Green(x1, y1 - 8, x1 + 30, y1 + 8), 5);

    Capture fresh(&root, (dir / "fresh.bmp").string());
    ASSERT_TRUE(fresh.Ok());
    Add(fresh);
    EXPECT_EQ(fresh.Frame(), second);

    // The last annotation goes: the next frame has no text at all.
    fresh.Scene().GetOgl()->MakeCurrentFource();
    moving.Scene().GetOgl()->MakeCurrentFource();
    ASSERT_TRUE(moving.Scene().RemoveAnnotation(a));
    moving.Frame();
    EXPECT_EQ(moving.Green(0, 0, kW, kH), 0);
}

// A length measured on the root between two points, its label placed above them.
void Length(CMeasureData& m, KytLink* link, double x)
{
    m.MeasureType = 1;
    m.PointType[0] = m.PointType[1] = 4;
    m.PointLink[0] = m.PointLink[1] = link;
    m.Position[0] = WqVector3D(-5.0, 0.0, 0.0);
    m.Position[1] = WqVector3D(x, 0.0, 0.0);
    m.LabelShown = true;
}

TEST_F(AnnotationFrames, ADimensionWhoseValueChangesShowsOnlyTheNewLabel)
{
    Capture changing(&root, (dir / "changing.bmp").string());
    ASSERT_TRUE(changing.Ok());
    CMeasureData m;
    Length(m, &root, 5.0);
    auto* dim = new AuxDimension(7, &m);
    dim->vLabelOffset = WqVector3D(0.0, 3.0, 0.0);
    changing.Scene().AddAnnotation(dim, AUX_STAGE_SECOND);
    const std::vector<char> first = changing.Frame();
    EXPECT_STREQ(dim->GetValue(), "L=10.00 mm");
    m.Position[1] = WqVector3D(-1.0, 0.0, 0.0);
    const std::vector<char> second = changing.Frame();
    EXPECT_STREQ(dim->GetValue(), "L=4.00 mm");
    EXPECT_NE(first, second);

    Capture fresh(&root, (dir / "fresh-dimension.bmp").string());
    ASSERT_TRUE(fresh.Ok());
    CMeasureData n;
    Length(n, &root, -1.0);
    auto* again = new AuxDimension(7, &n);
    again->vLabelOffset = WqVector3D(0.0, 3.0, 0.0);
    fresh.Scene().AddAnnotation(again, AUX_STAGE_SECOND);
    EXPECT_EQ(fresh.Frame(), second);
    fresh.Scene().GetOgl()->MakeCurrentFource();
    ASSERT_TRUE(fresh.Scene().RemoveAnnotation(again));
    changing.Scene().GetOgl()->MakeCurrentFource();
    ASSERT_TRUE(changing.Scene().RemoveAnnotation(dim));
}

// A line-to-line distance saved and loaded again has no ridge lines until its lines are
// picked anew, so it has no value: the frame shows no label and no leader, and none at the
// window point of the world origin where zero vectors would put it.
TEST_F(AnnotationFrames, AReloadedLineDistanceShowsNoLabel)
{
    KytModel model;
    KytEnv::pLoaded = &model;
    KytLink* part = model.AddLink("part");
    part->uID = 5;
    CMeasureData saved;
    saved.MeasureType = 1;
    saved.PointType[0] = saved.PointType[1] = 1;
    saved.PointLink[0] = saved.PointLink[1] = part;
    saved.SavedPosition[0] = WqVector3D(-5.0, 0.0, 0.0);
    saved.SavedPosition[1] = WqVector3D(5.0, 0.0, 0.0);
    std::ostringstream out;
    saved.Save(out);
    std::istringstream in(out.str());
    TOKEN token(in);
    CMeasureData m;
    ASSERT_EQ(m.Load(token), 0);
    ASSERT_EQ(m.PointLink[0], part);
    ASSERT_EQ(m.PointLink[1], part);
    m.LabelShown = true;
    {
        Capture c(part, (dir / "reloaded.bmp").string());
        ASSERT_TRUE(c.Ok());
        auto* dim = new AuxDimension(7, &m);
        c.Scene().AddAnnotation(dim, AUX_STAGE_SECOND);
        c.Frame();
        EXPECT_EQ(c.Count(0, 155, 0), 0) << "label background";
        EXPECT_STREQ(dim->GetValue(), "");
        c.Scene().GetOgl()->MakeCurrentFource();
        ASSERT_TRUE(c.Scene().RemoveAnnotation(dim));
    }
    KytEnv::pLoaded = nullptr;
}

// A frame drawn after the host destroyed the window, device context and bitmap makes no
// fonts (which could never be selected out and deleted again) and draws no text.
TEST_F(AnnotationFrames, DrawingWithoutADeviceContextMakesNoFonts)
{
    Capture c(&root, (dir / "gone.bmp").string());
    ASSERT_TRUE(c.Ok());
    AuxAnnotate* a = Add(c);
    c.Frame();
    c.DropSurface();
    EXPECT_FALSE(c.Scene().GetOgl()->HasLiveDC());
    const int objects = LiveGdiObjects();
    c.Scene().Draw(true);
    c.Scene().Draw(false);
    EXPECT_EQ(LiveGdiObjects(), objects);
    ASSERT_TRUE(c.Scene().RemoveAnnotation(a));
}

// The documented order: the scene (with its dimension) goes before the measurement, which
// the dimension hands back reset to "nothing picked".
TEST_F(AnnotationFrames, TheSceneGoesBeforeTheMeasurementItResets)
{
    auto m = std::make_unique<CMeasureData>();
    Length(*m, &root, 5.0);
    {
        Capture c(&root, (dir / "order.bmp").string());
        ASSERT_TRUE(c.Ok());
        c.Scene().AddAnnotation(new AuxDimension(7, m.get()), AUX_STAGE_SECOND);
        c.Frame();
        EXPECT_EQ(m->PointLink[0], &root);
    }
    EXPECT_EQ(m->PointLink[0], nullptr);
    EXPECT_EQ(m->PointLink[1], nullptr);
    m.reset();
}

} // namespace
} // namespace scene_test
