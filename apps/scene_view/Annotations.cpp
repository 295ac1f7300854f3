// scene_view's annotation pictures: a plate, a block and a post with balloon annotations in
// leader styles 0, 2 and 4 (two records sharing one balloon), datum names with an offset of
// 12.500 mm, a human pointer and a process ellipse (annotations.jpg); a balloon being dragged
// (annotation_drag.jpg); and a turn around them (annotations.avi) whose last frame must equal,
// byte for byte, the same view drawn fresh after another one.

#include "apps/scene_view/Annotations.h"
#include "apps/scene_view/DibFrame.h"

#include "platform/avifile/AviReader.h"
#include "platform/avifile/RiffAviWriter.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytRecords.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDatumName.h"
#include "scene/annotation/AuxHumanPointer.h"
#include "scene/annotation/AuxProcessAnno.h"
#include "scene/view/KytJpegWriter.h"
#include "scene/view/KytOglMem.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;
using namespace quor::wgl;

namespace {

constexpr int kW = 640, kH = 480;
constexpr int kAviFrames = 36;

struct Frame : scene_view::DibFrame {
    Frame() : DibFrame(kW, kH, "annotations") {}
    // Pixels of colour c (COLORREF) within `tol` per channel, in a window rectangle.
    int Count(COLORREF c, int x0, int y0, int x1, int y1, int tol = 0) const
    {
        int n = 0;
        for (int y = std::max(0, y0); y < std::min(kH, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(kW, x1); ++x) {
                const auto* p = static_cast<const uint8_t*>(bits) + (kH - 1 - y) * stride + x * 3;
                n += std::abs(p[2] - int(GetRValue(c))) <= tol &&
                     std::abs(p[1] - int(GetGValue(c))) <= tol &&
                     std::abs(p[0] - int(GetBValue(c))) <= tol;
            }
        return n;
    }
    bool WriteJpeg(const std::string& path) const
    {
        KytJpegImage image;
        image.pixels = static_cast<const unsigned char*>(bits);
        image.height = kH;
        image.width = kW;
        image.stride = stride;
        image.blueFirst = true;
        return KYT_WriteJpegImage(path.c_str(), 92, image) == 0;
    }
};

void ToWindow(const WqVector3D& p, int& x, int& y)
{
    double wx, wy, wz;
    gluProject(p.x, p.y, p.z, AuxAnnotate::modelM, AuxAnnotate::projM, AuxAnnotate::viewP, &wx,
               &wy, &wz);
    x = static_cast<int>(wx);
    y = AuxAnnotate::viewP[3] - static_cast<int>(wy);
}

int Report(bool ok, const std::string& path, const std::string& shows)
{
    std::printf("%s  %s: %s\n", ok ? "ok  " : "FAIL", path.c_str(), shows.c_str());
    return ok ? 0 : 1;
}

} // namespace

int AnnotationDemo(const fs::path& out)
{
    KytModel model;
    KytLink* stand = model.AddLink("stand", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* plate = model.AddLink("plate", stand);
    model.SetShape(plate, model.AddShape(KytBuild::PlateWithHoleRep(400, 20, 60, 32, 1)));
    KytLink* block = KytBuild::AddBox(model, "block", stand, WqVector3D(-110, 90, 60), 120,
                                      100, 80, 2);
    KytLink* post = model.AddLink("post", stand);
    model.SetShape(post, model.AddShape(KytBuild::CylinderRep(25, 220, 24, 3)));
    post->referMech.vPos = WqVector3D(120, -100, 20);
    // A quarter turn about z: the post's anchors turn with it.
    post->referMech.mRot.MakeRotMatrix(0.0, 1.0, 2);
    KytLink* datum = model.AddLink("datum-A", stand, KYT_LINK_DATUM);
    datum->referMech.vPos = WqVector3D(0, 0, 20);
    datum->bDatumOffset = true;
    datum->dDatumOffset = 12.5;
    KytLink* human = model.AddLink("human", stand, KYT_LINK_HUMAN);
    human->referMech.vPos = WqVector3D(-150, -170, -330);
    // The pointer runs along the link's y axis: turned up to world z.
    human->referMech.mRot.MakeRotMatrix(0.0, 1.0, 0);
    model.UpdatePlacements();
    KytColor::SetTable(KytBuild::SampleMaterials());

    Frame frame;
    if (!frame.bitmap) {
        std::fprintf(stderr, "annotations: cannot create the frame bitmap\n");
        return 1;
    }
    int status = 0;
    {
        KytScene scene(stand, "Annotations");
        auto* ogl = new KytOglMem(frame.wnd, frame.dc, 24, 24);
        if (!scene.Create(ogl, kW, kH)) {
            std::fprintf(stderr, "annotations: no context\n");
            return 1;
        }
        scene.FitView(false);
        KytViewPort& vp = *scene.GetViewPort();
        vp.ChangeViewPoint(30.0f, 55.0f);
        // Room above the parts for the pointer, which stands 650 over its link.
        vp.SetViewRadius(vp.GetViewRadius() * 1.6);
        scene.ResetView(false);

        // Records: plate, block and post in styles 0, 2 and 4, each its own colour; a second
        // record on the block shares the post's balloon through its overlap id.
        std::deque<KytAnnotateData> records;
        struct Balloon {
            KytLink* link;
            const char* title;
            WqVector3D anchor, offset;
            int style;
            COLORREF text, line;
            unsigned overlap;
        };
        const Balloon balloonsWanted[] = {
            {plate, "Plate: deburr hole", WqVector3D(150, -150, 20), WqVector3D(40, -120, 120),
             0, RGB(200, 0, 0), RGB(200, 0, 0), 1},
            {block, "Block: M8 x 4", WqVector3D(60, 0, 40), WqVector3D(40, 80, 140), 2,
             RGB(0, 0, 200), RGB(0, 0, 200), 2},
            {post, "Post / Block", WqVector3D(25, 0, 200), WqVector3D(80, 0, 120), 4,
             RGB(0, 140, 0), RGB(0, 140, 0), 3},
            {block, "Post / Block", WqVector3D(-60, -50, 0), WqVector3D(150, -260, 230), 1,
             RGB(0, 140, 0), RGB(120, 0, 160), 3},
        };
        std::vector<AuxAnnotate*> balloons;
        unsigned long key = 1;
        for (const Balloon& s : balloonsWanted) {
            records.emplace_back();
            KytAnnotateData& r = records.back();
            r.ulKey = key++;
            r.title = s.title;
            r.vAnchor = s.anchor;
            r.vBalloonOffset = s.offset;
            r.nLineStyle = s.style;
            r.textColor = s.text;
            r.lineColor = s.line;
            r.uOverlapID = s.overlap;
            r.pNext = s.link->pAnnotate;
            s.link->pAnnotate = &r;
            auto* a = new AuxAnnotate(12, s.link);
            a->pData = &r;
            scene.AddAnnotation(a, AUX_STAGE_SECOND);
            balloons.push_back(a);
        }
        scene.AddAnnotation(new AuxDatumChildName(30, datum), AUX_STAGE_SECOND);
        char who[] = "Operator";
        scene.AddAnnotation(new AuxHumanPointer(50, human, who), AUX_STAGE_SECOND);
        records.emplace_back();
        KytAnnotateData& proc = records.back();
        proc.ulKey = key++;
        proc.title = "Weld";
        proc.textColor = RGB(150, 60, 0);
        proc.lineColor = RGB(150, 60, 0);
        proc.nLineStyle = 3;
        WqVector3D target(-60, 140, 100), balloon(-200, 240, 260);
        auto* process = new AuxProcessAnno(60, block, &proc, target, balloon);
        process->bDrawBalloon = true;
        scene.AddAnnotation(process, AUX_STAGE_SECOND);

        // annotations.jpg, with the text of every balloon checked in the frame's pixels.
        const std::string shot = (out / "annotations.jpg").string();
        const char* shotName = shot.c_str();
        ogl->SetJpegOut(&shotName, 92, frame.bits, kH, kW);
        scene.Draw(true);
        ogl->SetNormalOut();
        std::string notes;
        bool textOk = true;
        for (AuxAnnotate* a : balloons) {
            int x = 0, y = 0;
            ToWindow(a->vBalloonPos, x, y);
            const int n = frame.Count(a->pData->textColor, x, y - 10, x + 160, y + 10);
            notes += " " + std::to_string(n);
            textOk = textOk && n > 10;
        }
        WqVector3D shared0, shared1;
        balloons[2]->GetEndPoint(shared0);
        balloons[3]->GetEndPoint(shared1);
        const bool sharedOk = std::fabs(shared0.x - shared1.x) < 1e-6 &&
                              std::fabs(shared0.y - shared1.y) < 1e-6 &&
                              std::fabs(shared0.z - shared1.z) < 1e-6;
        status |= Report(fs::exists(shot) && textOk && sharedOk, shot,
                         "balloons on the plate, block and post in styles 0, 2, 4, two records "
                         "on one balloon, the datum name with its 12.500 mm offset, a human "
                         "pointer and a process ellipse (text pixels at the balloons:" +
                             notes + ")");

        // annotation_drag.jpg: pick the block's balloon, drag it in steps.
        AuxAnnotate* dragged = balloons[1];
        int bx = 0, by = 0;
        ToWindow(dragged->vBalloonPos, bx, by);
        AuxAnnotate* picked = scene.PickAnnotation(bx + 4, by);
        for (int k = 0; k < 4 && picked; ++k) {
            picked->MoveEndPos(WqVector3D(-30, 0, 25), false);
            picked->Dragging(ogl);
        }
        GdiFlush();
        const std::string drag = (out / "annotation_drag.jpg").string();
        const int orange = picked ? frame.Count(0x0080FF, picked->rcBack[0], picked->rcBack[1],
                                                 picked->rcBack[0] + picked->rcBack[2],
                                                 picked->rcBack[1] + picked->rcBack[3])
                                  : 0;
        const bool dragOk = picked == dragged && frame.WriteJpeg(drag) && orange > 50;
        status |= Report(dragOk, drag,
                         "the block's balloon dragged up and left in an orange box (" +
                             std::to_string(orange) + " orange pixels)");
        if (picked)
            picked->EndDrag();

        // annotations.avi: a turn in 36 steps.
        const std::string aviPath = (out / "annotations.avi").string();
        std::string why;
        auto writer = quor::avi::RiffAviWriter::Open(aviPath, {kW, kH, 24, 12}, &why);
        if (!writer) {
            std::fprintf(stderr, "AVI: %s\n", why.c_str());
            return 1;
        }
        ogl->SetAVIOut(writer.get(), frame.bits, frame.size);
        try {
            for (int i = 0; i < kAviFrames; ++i) {
                vp.MoveViewPoint(360.0f / kAviFrames, 0.0f);
                scene.Draw(true);
            }
        } catch (const COglMemException&) {
            std::fprintf(stderr, "AVI: the stream rejected a frame\n");
            status = 1;
        }
        ogl->SetNormalOut();
        if (!writer->Close())
            status = 1;

        // The last view again, drawn fresh after another one, into a BMP.
        vp.MoveViewPoint(90.0f, 0.0f);
        scene.Draw(true);
        vp.MoveViewPoint(-90.0f, 0.0f);
        const std::string bmpPath = (out / "annotations_last.bmp").string();
        const char* bmpName = bmpPath.c_str();
        ogl->SetBMPOut(&bmpName, &frame.info, frame.bits, frame.size);
        scene.Draw(true);
        ogl->SetNormalOut();
        const auto avi = quor::avi::ParseAviFile(aviPath, &why);
        bool same = false;
        if (avi && avi->frames.size() == size_t(kAviFrames)) {
            std::ifstream a(aviPath, std::ios::binary), b(bmpPath, std::ios::binary);
            const std::vector<char> aviBytes{std::istreambuf_iterator<char>(a),
                                             std::istreambuf_iterator<char>()};
            const std::vector<char> bmpBytes{std::istreambuf_iterator<char>(b),
                                             std::istreambuf_iterator<char>()};
            const auto& last = avi->frames.back();
            same = last.size == frame.size && bmpBytes.size() == 54 + frame.size &&
                   last.dataOffset + last.size <= aviBytes.size() &&
                   std::memcmp(aviBytes.data() + last.dataOffset, bmpBytes.data() + 54,
                               frame.size) == 0;
        }
        status |= Report(avi && avi->frames.size() == size_t(kAviFrames) && same, aviPath,
                         std::to_string(avi ? avi->frames.size() : 0) +
                             " frames turning around the annotations; the last one equals " +
                             bmpPath + " drawn fresh after another view");
        ogl->MakeCurrentFource();
    }
    KytOgl::ResetHwnd();
    return status;
}
