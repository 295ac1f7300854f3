// scene_view's measurement pictures, under measure/: dimensions on a holed plate, a block and
// a tilted wedge (dimensions.jpg); a two-point and a datum measurement (points.jpg); the six
// section measurement modes over a cut of the plate (section.jpg) and the same printed on a
// page (section-print.bmp). Each value is printed beside its closed form, and the
// "MeasureData" blocks of a length and an angle go through a save, load and save again.

#include "apps/scene_view/Measure.h"
#include "apps/scene_view/DibFrame.h"

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/TOKEN.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxDimension.h"
#include "scene/annotation/AuxMeasure2Point.h"
#include "scene/annotation/AuxSectMeasure.h"
#include "scene/annotation/CMeasureData.h"
#include "scene/annotation/KytRidgeLine.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytJpegWriter.h"
#include "scene/view/KytOglMem.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytSectionScene.h"
#include "scene/view/KytViewPort.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace quor::wgl;

namespace {

constexpr int kW = 640, kH = 480;
constexpr double kPi = 3.14159265358979323846;

// A memory context's 24-bit frame.
struct Frame : scene_view::DibFrame {
    Frame(int width, int height) : DibFrame(width, height, "measure") {}
    int Count(COLORREF c, int tol = 0) const
    {
        int n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto* p = static_cast<const uint8_t*>(bits) + y * stride + x * 3;
                n += std::abs(p[2] - int(GetRValue(c))) <= tol &&
                     std::abs(p[1] - int(GetGValue(c))) <= tol &&
                     std::abs(p[0] - int(GetBValue(c))) <= tol;
            }
        return n;
    }
};

int Report(bool ok, const std::string& what, const std::string& note)
{
    std::printf("%s  %s: %s\n", ok ? "ok  " : "FAIL", what.c_str(), note.c_str());
    return ok ? 0 : 1;
}

int Value(const char* what, double got, double want, const char* builder, double tol = 1e-6)
{
    const bool ok = std::fabs(got - want) <= tol * (1.0 + std::fabs(want));
    std::printf("%s  %s %.4f, builder %s\n", ok ? "ok  " : "FAIL", what, got, builder);
    return ok ? 0 : 1;
}

// The triangle of a part's top face (normal +z) whose xy projection holds (x, y).
KytTriangle* TopTriangleAt(KytLink* link, double x, double y, double z)
{
    for (KytTriangle& t : link->pShape->GetRep()->aTriangle) {
        if (t.pFaceNormal->z < 0.99f || std::fabs(t.pVertex[0]->z - z) > 1e-5)
            continue;
        double s[3];
        for (int k = 0; k < 3; ++k) {
            const KytPoint& a = *t.pVertex[k];
            const KytPoint& b = *t.pVertex[(k + 1) % 3];
            s[k] = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
        }
        if (s[0] >= 0 && s[1] >= 0 && s[2] >= 0)
            return &t;
    }
    return nullptr;
}

std::string Saved(const CMeasureData& m)
{
    std::ostringstream out;
    m.Save(out);
    return out.str();
}

// Shoots the scene's next frame as a JPEG.
bool Shoot(KytScene& scene, KytOglMem* ogl, Frame& frame, const std::string& path)
{
    const char* name = path.c_str();
    ogl->SetJpegOut(&name, 92, frame.bits, frame.h, frame.w);
    scene.Draw(true);
    ogl->SetNormalOut();
    return fs::exists(path) && fs::file_size(path) > 1000;
}

} // namespace

int MeasureDemo(const fs::path& root)
{
    const fs::path out = root / "measure";
    fs::create_directories(out);
    KytModel model;
    KytLink* stand = model.AddLink("stand", nullptr, KYT_LINK_ASSEMBLY);
    KytLink* plate = model.AddLink("plate", stand);
    model.SetShape(plate, model.AddShape(KytBuild::PlateWithHoleRep(8, 0.5, 0.8, 32, 1)));
    // The block's top face at z = 2, its centre at (0, 2.5).
    KytLink* block = KytBuild::AddBox(model, "block", stand, WqVector3D(0, 2.5, 1.25), 3, 2, 1.5, 2);
    KytLink* wedge = KytBuild::AddBox(model, "wedge", stand, WqVector3D(3, -2.5, 1.5), 1.6, 1.6,
                                      0.4, 3);
    const double tilt = 60.0;
    wedge->referMech.mRot.MakeRotMatrix(std::cos(tilt * kPi / 180), std::sin(tilt * kPi / 180), 0);
    model.UpdatePlacements();
    KytEnv::pLoaded = &model;

    int status = 0;
    Frame frame(kW, kH);
    if (!frame.bitmap)
        return Report(false, "measure", "no frame bitmap");

    // ---- dimensions.jpg ------------------------------------------------------------------
    // The measurements live as long as the dimensions that show them.
    CMeasureData length, legs, hole, faces, lines, review, unplaced, picked;
    {
        KytScene scene(stand, "Dimensions");
        auto* ogl = new KytOglMem(frame.wnd, frame.dc, 24, 24);
        if (!scene.Create(ogl, kW, kH))
            return Report(false, "measure", "no context");
        scene.FitView(false);
        KytViewPort& vp = *scene.GetViewPort();
        vp.ChangeViewPoint(35.0f, 60.0f);
        vp.SetViewRadius(vp.GetViewRadius() * 1.3);
        scene.ResetView(false);

        KytTriangle* blockTop = TopTriangleAt(block, 0.5, 0.2, 0.75);
        KytTriangle* plateTop = TopTriangleAt(plate, 3.0, -3.0, 0.5);
        // A length along the block's top edge, drawn with its offset line.
        length.MeasureType = 1;
        length.PointType[0] = length.PointType[1] = 4;
        length.SetPointData(0, block, blockTop, {-1.5, 1.0, 0.75}, {0, 0, 1});
        length.SetPointData(1, block, blockTop, {1.5, 1.0, 0.75}, {0, 0, 1});
        length.LabelShown = true;
        // H and V from a plate point to a corner of the block's top.
        legs.MeasureType = 0;
        legs.PointType[0] = legs.PointType[1] = 4;
        legs.SetPointData(0, plate, plateTop, {2.0, -2.0, 0.5}, {0, 0, 1});
        legs.SetPointData(1, block, blockTop, {1.5, -1.0, 0.75}, {0, 0, 1});
        legs.LabelShown = true;
        // The hole's radius from a pick on the plate's top beside it.
        hole.MeasureType = 3;
        hole.PointType[0] = 5;
        WqVector3D holeNormal;
        KytTriangle* nearHole = TopTriangleAt(plate, 0.9, 0.13, 0.5);
        const bool holeOk = nearHole && hole.SetCircleData(0, plate, nearHole, {0.9, 0.13, 0.5},
                                                            holeNormal);
        hole.LabelShown = true;
        // The plate's top against the wedge's top, tilted by 60 degrees.
        faces.MeasureType = 2;
        faces.PointType[0] = faces.PointType[1] = 4;
        faces.SetPointData(0, plate, plateTop, {3.0, -3.0, 0.5}, {0, 0, 1});
        KytTriangle* wedgeTop = TopTriangleAt(wedge, 0.1, 0.1, 0.2);
        faces.SetPointData(1, wedge, wedgeTop, {0.1, 0.1, 0.2}, {0, 0, 1});
        faces.LabelShown = true;
        // Two edges of the block's top meeting at its corner.
        lines.MeasureType = 2;
        lines.PointType[0] = lines.PointType[1] = 1;
        const WqVector3D e0(-0.5, 0.95, 0.75), e1(1.45, 0.3, 0.75);
        for (int i = 0; i < 2; ++i) {
            const WqVector3D& at = i ? e1 : e0;
            lines.Ridge[i] = new KytRidgeLine(block, blockTop, at);
            lines.Ridge[i]->CalcBorder();
            lines.Ridge[i]->GetSeg();
            lines.SetPointData(i, block, blockTop, at, i ? WqVector3D(0, 1, 0) : WqVector3D(1, 0, 0));
        }
        lines.LabelShown = true;
        // A review length with its comment and dashed leader; one never placed; one picked.
        review = length;
        review.SetPointData(0, block, blockTop, {-1.5, -1.0, 0.75}, {0, 0, 1});
        review.SetPointData(1, plate, plateTop, {-3.5, -3.5, 0.5}, {0, 0, 1});
        unplaced = length;
        unplaced.SetPointData(0, plate, plateTop, {-4.0, 4.0, 0.5}, {0, 0, 1});
        unplaced.SetPointData(1, plate, plateTop, {-4.0, -4.0, 0.5}, {0, 0, 1});
        unplaced.LabelShown = false;
        picked = length;
        picked.SetPointData(0, plate, plateTop, {4.0, -4.0, 0.5}, {0, 0, 1});
        picked.SetPointData(1, plate, plateTop, {4.0, 4.0, 0.5}, {0, 0, 1});

        struct Shown {
            CMeasureData* m;
            unsigned id;
            WqVector3D offset;
        };
        const Shown shown[] = {
            {&length, 7, {0, 0, 1.4}},   {&legs, 7, {1.0, 0, 1.0}},  {&hole, 7, {-1.5, -1.0, 1.5}},
            {&faces, 7, {1.0, -0.5, 1.5}}, {&lines, 7, {1.5, 1.5, 1.0}}, {&review, AuxDimension::ID, {-2.5, -1.5, 1.0}},
            {&unplaced, 7, {}},          {&picked, 7, {1.2, 0, 0.8}},
        };
        std::vector<AuxDimension*> dims;
        for (const Shown& s : shown) {
            auto* d = new AuxDimension(s.id, s.m);
            d->vLabelOffset = s.offset;
            scene.AddAnnotation(d, AUX_STAGE_SECOND);
            dims.push_back(d);
        }
        AuxDimension* rev = dims[5];
        rev->SetDRComment("check clearance");
        rev->SetLineStyle(PS_DASH);
        rev->SetLineColor(230, 120, 0);
        rev->SetTitleColor(0, 0, 0);
        dims[7]->bPicked = true;

        const std::string shot = (out / "dimensions.jpg").string();
        const bool written = Shoot(scene, ogl, frame, shot);
        const int green = frame.Count(RGB(0, 155, 0)), red = frame.Count(RGB(155, 0, 0)),
                  yellow = frame.Count(RGB(155, 155, 0));
        status |= Report(written && green > 500 && red > 50 && yellow > 50, shot,
                         "length with offset line, H and V, hole radius and dashed circle, face "
                         "and line angles, a review dimension with comment and leader, an "
                         "unplaced label, a picked one in red (" +
                             std::to_string(green) + " green, " + std::to_string(red) +
                             " red, " + std::to_string(yellow) + " review label pixels)");

        // Values beside their closed forms.
        WqVector3D first, second, foot;
        length.GetPoints(first, second, foot);
        status |= Value("block edge length", (first - second).Length(), 3.0, "3");
        legs.GetPoints(first, second, foot);
        const WqVector3D corner = block->mech.GetAbsPos({1.5, -1.0, 0.75});
        status |= Value("H", (first - foot).Length(),
                        std::hypot(corner.x - 2.0, corner.y + 2.0), "hypot(corner - (2, -2))");
        status |= Value("V", (second - foot).Length(), 2.0 - 0.5, "block top 2 - plate top 0.5");
        status |= holeOk ? 0 : Report(false, "hole", "no circle found");
        status |= Value("hole radius", hole.Radius[0], 0.8, "0.8", 1e-5);
        faces.GetPoints(first, second, foot);
        status |= Value("face angle", faces.Angle * 180.0 / kPi, 180.0 - tilt, "180 - 60");
        lines.GetPoints(first, second, foot);
        status |= Value("edge angle", lines.Angle * 180.0 / kPi, 90.0, "90");

        // The MeasureData blocks of the length and the face angle, read back and saved again.
        bool identical = true;
        for (const CMeasureData* m : {&length, &faces}) {
            const std::string text = Saved(*m);
            std::printf("%s", text.c_str());
            std::istringstream in(text);
            TOKEN token(in);
            CMeasureData back;
            const bool loaded = back.Load(token) == 0;
            identical = identical && loaded && Saved(back) == text;
        }
        status |= Report(identical, "reload", identical ? "identical" : "differs");

        // ---- points.jpg --------------------------------------------------------------
        for (AuxDimension* d : dims)
            d->SetDraw(false);
        WqVector3D p0(-2.0, -2.0, 0.5), p1(1.0, 0.5, 0.75), d0(0.0, 0.0, 0.75), d1(2.5, 3.5, 0.5);
        auto* two = new AuxMeasure2Point(7, plate, p0, nullptr, nullptr);
        const double dist = two->SetPair(block, p1, nullptr, nullptr);
        two->MoveEndPos(WqVector3D(0, 0, 0.8), true);
        scene.AddAnnotation(two, AUX_STAGE_SECOND);
        auto* datum = new AuxMeasureDatumPoint(7, block, d0);
        const double signedDist = datum->SetPair(plate, d1);
        scene.AddAnnotation(datum, AUX_STAGE_SECOND);
        const std::string pointsShot = (out / "points.jpg").string();
        const bool pointsWritten = Shoot(scene, ogl, frame, pointsShot);
        status |= Report(pointsWritten && frame.Count(RGB(0, 155, 0)) + frame.Count(RGB(255, 255, 255)) > 50,
                         pointsShot, "a two-point distance with cones, a datum distance with its disk (" +
                             std::string(two->GetDistanceText()) + ", " + datum->GetDistanceText() + ")");
        status |= Value("two-point distance", dist,
                        (plate->mech.GetAbsPos(p0) - block->mech.GetAbsPos(p1)).Length(),
                        "|p1 - p0| of the placed picks");
        status |= Value("datum distance", signedDist,
                        std::fabs(plate->mech.GetAbsPos(d1).z - block->mech.vPos.z),
                        "|plate top 0.5 - block centre 1.25|");
        status |= Value("datum distance, signed", datum->GetDistance(),
                        plate->mech.GetAbsPos(d1).z - block->mech.vPos.z,
                        "below the block's own plane");
        // The scene deletes its annotations; their measurements are reset as it does.
    }

    // ---- section.jpg and section-print.bmp -------------------------------------------------
    {
        KytLink cut;
        cut.mech.vPos = WqVector3D(0, 0, 0.25);
        KytSectionScene section(stand, "Section");
        auto* ogl = new KytOglMem(frame.wnd, frame.dc, 24, 24);
        if (!section.Create(ogl, kW, kH))
            return status | Report(false, "section", "no context");
        section.SetSectionLink(&cut, false);
        section.bKeepSectMeasure = true;
        section.GetViewPort()->SetViewRadius(section.GetViewPort()->GetViewRadius() * 1.25);
        section.ResetView(false);
        const double z = 0.25;
        std::vector<AuxSectMeasure*> measures;
        auto add = [&](auto&& setup) {
            auto* m = new AuxSectMeasure(19);
            setup(*m);
            m->EnablePointDraw(true);
            section.AddAuxContents(m, AUX_STAGE_SECOND);
            measures.push_back(m);
        };
        add([&](AuxSectMeasure& m) { m.Create(&section, {-4, -4, z}, {4, -4, z}, false); });
        add([&](AuxSectMeasure& m) { m.Create(&section, {4, -4, z}, {4, 4, z}, {5, 4, z}, true); });
        add([&](AuxSectMeasure& m) { m.Create(&section, 1.2, {0, 0, z}); });
        add([&](AuxSectMeasure& m) { m.Create(&section, {0.8, 0, z}, 0.8, {0, 0, z}, false); });
        add([&](AuxSectMeasure& m) { m.Create(&section, {-0.566, 0.566, z}, 0.8, {0, 0, z}, true); });
        add([&](AuxSectMeasure& m) { m.Create(&section, {2, 2, z}, {4, 4, z}); });
        const std::string shot = (out / "section.jpg").string();
        const bool written = Shoot(section, ogl, frame, shot);
        // The overlays are black on the light background: arrows, marks and labels.
        const int black = frame.Count(RGB(0, 0, 0), 40);
        std::string texts;
        for (AuxSectMeasure* m : measures)
            texts += std::string(" [") + (m->Mode == 5 ? std::string(m->Text2) + " / " + m->Text3 : m->Text) + "]";
        status |= Report(written && black > 400, shot,
                         "the plate cut with distance, offset distance, circle, diameter, radius "
                         "and legs:" + texts);
        status |= Value("section width", std::atof(measures[0]->Text), 8.0, "8", 1e-3);
        status |= Value("hole diameter", std::atof(measures[3]->Text), 1.6, "2 x 0.8", 1e-3);

        Frame page(2 * kW, 2 * kH);
        std::memset(page.bits, 255, page.size);
        {
            CDC dc(page.dc);
            section.Print(&dc, CRect(0, 0, 2 * kW, 2 * kH), CRect(0, 0, kW, kH));
            dc.Detach();
        }
        GdiFlush();
        const int dark = page.Count(RGB(0, 0, 0), 60);
        int labels = 0;
        for (const std::string& l : CallLog(page.dc))
            labels += l.rfind("TextOutA(", 0) == 0;
        const std::string pagePath = (out / "section-print.bmp").string();
        const bool pageOk = page.WriteBmp(pagePath) && dark > 1000 && labels == 6;
        status |= Report(pageOk, pagePath,
                         "section lines and all six measurements on a page twice the view's "
                         "width (" + std::to_string(dark) + " dark pixels, " +
                             std::to_string(labels) + " labels)");
    }
    KytEnv::pLoaded = nullptr;
    return status;
}
