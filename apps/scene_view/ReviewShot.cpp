#include "apps/scene_view/ReviewShot.h"

#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/annotation/AuxJointConnect.h"
#include "scene/view/KytLight.h"
#include "scene/view/KytOglMem.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"

#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace quor::wgl;

struct Rgb {
    int r, g, b;
};

class Frame {
public:
    Frame(const void* bits, int width, int height)
        : bits_(static_cast<const unsigned char*>(bits)), width_(width), height_(height),
          stride_(((width * 24 + 31) / 32) * 4)
    {
    }
    // Pixel (x, y) from the top-left.
    Rgb At(int x, int y) const
    {
        const unsigned char* p = bits_ + size_t(height_ - 1 - y) * stride_ + size_t(x) * 3;
        return {p[2], p[1], p[0]};
    }
    // Pixels of colour `c` (each channel within `tol`) within `r` of (x, y).
    int CountNear(int x, int y, int r, Rgb c, int tol) const
    {
        int n = 0;
        for (int yy = y - r; yy <= y + r; ++yy)
            for (int xx = x - r; xx <= x + r; ++xx) {
                if (xx < 0 || yy < 0 || xx >= width_ || yy >= height_)
                    continue;
                const Rgb p = At(xx, yy);
                n += std::abs(p.r - c.r) <= tol && std::abs(p.g - c.g) <= tol &&
                     std::abs(p.b - c.b) <= tol;
            }
        return n;
    }

private:
    const unsigned char* bits_;
    int width_, height_, stride_;
};

// Window point of a world point under the view the arrows last read.
void ToWindow(const WqVector3D& p, double& x, double& y)
{
    double z;
    gluProject(p.x, p.y, p.z, AuxDRArrow::modelM, AuxDRArrow::projM, AuxDRArrow::viewP, &x, &y,
               &z);
    y = AuxDRArrow::viewP[3] - y;
}

KytLink* Block(KytModel& model, const char* name, KytLink* parent, const WqVector3D& at,
               double sx, double sy, double sz, uint16_t colour)
{
    KytLink* l = KytBuild::AddBox(model, name, parent, at, sx, sy, sz, colour);
    // Constraints meet at the top of each part.
    l->vJointPoint = WqVector3D(0, 0, sz / 2);
    return l;
}

} // namespace

int ShootReview(const std::filesystem::path& out, HWND wnd, HDC dc, void* bits, int width,
                int height)
{
    KytModel model;
    KytLink* root = model.AddLink("bench", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* plate = Block(model, "plate", root, {0, 0, 0}, 80, 60, 4, 1);
    KytLink* block = Block(model, "block", root, {-20, 8, 9}, 16, 16, 14, 2);
    KytLink* post = Block(model, "post", root, {18, -12, 14}, 6, 6, 24, 3);
    model.UpdatePlacements();
    // Where the post stood in the reviewed design; it has moved since.
    KYT_SetReferencePlacement(root);
    post->referMech.vPos = WqVector3D(26, 10, 20);
    model.UpdatePlacements();

    int status = 0;
    const std::string name = (out / "review.jpg").string();
    {
        KytScenes scenes(root, new KytScene(root, "Review"));
        scenes.ChangeBackColor(0.93f, 0.95f, 0.98f, false);
        KytScene* scene = scenes.GetTopScene(false);
        scenes.SetLight(scene);
        auto* memory = new KytOglMem(wnd, dc, 24, 24);
        if (!scene->Create(memory, width, height)) {
            std::printf("FAIL  %s: no context\n", name.c_str());
            return 1;
        }
        scene->FitView(false);
        scene->GetViewPort()->ChangeViewPoint(30.0f, 55.0f);
        scene->ResetView(false);

        // Numbered review balloons on the three parts.
        KytDRAnnotateData notes[3];
        KytLink* noted[3] = {plate, block, post};
        const char* titles[3] = {"check flatness", "tighten", "moved"};
        for (int i = 0; i < 3; ++i) {
            notes[i].ulKey = 100 + i;
            notes[i].ulDRKey = 7;
            notes[i].nNo = i + 1;
            notes[i].uBalloon = i + 1;
            notes[i].title = titles[i];
            notes[i].textColor = RGB(200, 0, 0);
            notes[i].lineColor = RGB(40, 40, 160);
            notes[i].nLineStyle = i * 2;
            notes[i].vBalloonOffset = WqVector3D(-10 + 12 * i, -25, 25);
            auto* a = new AuxDRAnnotate(AuxDRAnnotate::ID, noted[i]);
            a->pDRData = &notes[i];
            a->bDrawBalloon = true;
            scene->AddAnnotation(a, AUX_STAGE_SECOND);
        }
        KytScene::bDRAnno_BlnEna = true;

        // A red arrow with a filled head onto the block, a blue one with open heads at both
        // ends along the plate's front edge.
        KytDRArrowData filled, open;
        filled.ulKey = 1;
        filled.vStart = WqVector3D(-42, 20, 30);
        filled.vEnd = WqVector3D(-20, 8, 16);
        filled.nHeadKind = 1;
        filled.nHeadPlace = 1;
        filled.nHeadAngle = 150;
        filled.nHeadLength = 18;
        filled.nLineWidth = 3;
        filled.color = RGB(220, 0, 0);
        open.ulKey = 2;
        open.vStart = WqVector3D(-38, -34, 2);
        open.vEnd = WqVector3D(38, -34, 2);
        open.nHeadKind = 0;
        open.nHeadPlace = 2;
        open.nHeadAngle = 30;
        open.nHeadLength = 14;
        open.nLineWidth = 2;
        open.color = RGB(0, 0, 220);
        KYT_AttachDRArrow(block, &filled);
        KYT_AttachDRArrow(plate, &open);
        auto* arrowFilled = new AuxDRArrow(AuxDRArrow::ID, block);
        arrowFilled->pDRData = &filled;
        auto* arrowOpen = new AuxDRArrow(AuxDRArrow::ID, plate);
        arrowOpen->pDRData = &open;
        scene->AddDRArrow(arrowFilled);
        scene->AddDRArrow(arrowOpen);

        // The post's path from its reference place to where it stands now.
        KytDRPartsConnectData moved;
        moved.ulKey = 3;
        moved.color = RGB(200, 0, 200);
        moved.dRate = 0.5;
        KYT_AttachDRPartsConnect(post, &moved);
        auto* path = new AuxDRPartsConnect(AuxDRPartsConnect::ID, post);
        path->pDRData = &moved;
        scene->AddPartsConnect(path);

        // Constraint labels: the plate-block pin is the active pair.
        KytRelElement pin, line;
        pin.nType = 2;
        pin.nCount = 1;
        line.nType = 5;
        auto* joints = new AuxJointConnect(7);
        joints->AddTarget(plate, block, &pin, true);
        joints->AddTarget(plate, post, &line);
        joints->AddTarget(block, post, nullptr);
        scene->AddAnnotation(joints, AUX_STAGE_SECOND);

        // Heads are kept in world points of the current view: one frame sets the view, then
        // the heads follow it.
        scenes.Draw(true);
        arrowFilled->CalcCoordinate(scene);
        arrowOpen->CalcCoordinate(scene);

        KytOglMem& ogl = *memory;
        const char* file = name.c_str();
        ogl.SetJpegOut(&file, 92, bits, height, width);
        scenes.Draw(true);
        ogl.SetNormalOut();
        GdiFlush();
        const Frame frame(bits, width, height);

        struct Probe {
            const char* what;
            bool ok;
        };
        std::vector<Probe> probes;
        // Inside the filled head: the centroid of its three corners.
        double tx, ty, ax, ay, bx, by;
        ToWindow(filled.vEnd, tx, ty);
        ToWindow(arrowFilled->avHead[2], ax, ay);
        ToWindow(arrowFilled->avHead[3], bx, by);
        const int hx = int((tx + ax + bx) / 3), hy = int((ty + ay + by) / 3);
        probes.push_back({"filled red head", frame.CountNear(hx, hy, 1, {220, 0, 0}, 30) >= 5});
        // The open arrow's shaft and its heads' sides.
        double sx, sy, ex, ey;
        ToWindow(open.vStart, sx, sy);
        ToWindow(open.vEnd, ex, ey);
        probes.push_back({"blue shaft", frame.CountNear(int((sx + ex) / 2), int((sy + ey) / 2), 2,
                                                        {0, 0, 220}, 40) > 0});
        ToWindow(arrowOpen->avHead[0], ax, ay);
        probes.push_back({"open head side", frame.CountNear(int((sx + ax) / 2), int((sy + ay) / 2),
                                                            2, {0, 0, 220}, 40) > 0});
        // The connection's crossing and its corner marks.
        WqVector3D ca, cb;
        path->GetCenterPos(ca, cb);
        ToWindow((ca + cb) * 0.5, ax, ay);
        probes.push_back({"magenta crossing", frame.CountNear(int(ax), int(ay), 2,
                                                              {200, 0, 200}, 40) > 0});
        ToWindow(ca, ax, ay);
        probes.push_back({"yellow corner mark", frame.CountNear(int(ax), int(ay), 2,
                                                                {230, 230, 0}, 40) > 0});
        // The active label: green text inside its etched frame.
        KytOgl* gl = scene->GetOgl();
        HFONT previous = gl->ChangeFont(&AuxAnnotate::MsgFont);
        int lx = 0, ly = 0;
        char text[AuxJointConnect::LABEL_SIZE];
        SIZE size{};
        joints->GetWindowPos(plate, block, &pin, gl->GetHdc(), lx, ly, text, &size);
        gl->SelectObject(previous);
        const int left = lx - size.cx / 2 - 5, top = ly - size.cy - 3;
        int green = 0;
        for (int y = top; y <= ly + 3; ++y)
            green += frame.CountNear(lx, y, size.cx / 2, {0, 255, 0}, 0);
        probes.push_back({"green active label", green > 10});
        const Rgb corner = frame.At(left, top);
        probes.push_back({"etched frame", corner.r == 0xA0 && corner.g == 0xA0 && corner.b == 0xA0});
        // The balloons' numbers in their text colour, around each balloon point.
        for (int i = 0; i < 3; ++i) {
            const AuxDRAnnotate* a = scene->SearchDRAnnotation(AuxDRAnnotate::ID, i + 1);
            if (!a)
                continue;
            ToWindow(a->vBalloonPos, bx, by);
            probes.push_back({"balloon number", frame.CountNear(int(bx), int(by), 12,
                                                                {200, 0, 0}, 30) > 3});
        }

        std::string failed;
        for (const Probe& p : probes)
            if (!p.ok)
                failed += std::string(failed.empty() ? "" : ", ") + p.what;
        const bool written = std::filesystem::file_size(name) > 1000;
        const bool ok = written && failed.empty();
        std::printf("%s  %s: review balloons, filled and open arrow heads, the post's path, "
                    "constraint labels with the active pin framed  (%zu probes%s%s)\n",
                    ok ? "ok  " : "FAIL", name.c_str(), probes.size(),
                    failed.empty() ? "" : "; missing: ", failed.c_str());
        status = ok ? 0 : 1;
        KytScene::bDRAnno_BlnEna = false;
        scene->GetOgl()->MakeCurrentFource();
    }
    return status;
}
