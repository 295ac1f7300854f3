// Every overlay and annotation class on the sample machine, one row each: Draw (in a frame and
// inside the scene's selection pass), DrawGDI and Pick must leave the whole fixed-function
// state as they found it, so that nothing one object sets reaches the objects drawn after it.
// The state they find is set to values no object uses by default (a point size of 3, a line
// width of 2, a stipple, a depth function of GL_LEQUAL ...), so that an object that resets a
// value to its default instead of restoring it shows as well.

#include <GL/gl.h>
#include <GL/glu.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytModel.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxAreaCRT.h"
#include "scene/annotation/AuxCOM.h"
#include "scene/annotation/AuxCOM2.h"
#include "scene/annotation/AuxCircle.h"
#include "scene/annotation/AuxConfirmBox.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/annotation/AuxDatumName.h"
#include "scene/annotation/AuxDimension.h"
#include "scene/annotation/AuxDirect.h"
#include "scene/annotation/AuxDitch.h"
#include "scene/annotation/AuxGlobalPlane.h"
#include "scene/annotation/AuxHumanPointer.h"
#include "scene/annotation/AuxJoint.h"
#include "scene/annotation/AuxJointConnect.h"
#include "scene/annotation/AuxLine.h"
#include "scene/annotation/AuxLineStrip.h"
#include "scene/annotation/AuxManip.h"
#include "scene/annotation/AuxMeasure2Point.h"
#include "scene/annotation/AuxPoint.h"
#include "scene/annotation/AuxProcessAnno.h"
#include "scene/annotation/AuxRuler.h"
#include "scene/annotation/AuxSectMeasure.h"
#include "scene/annotation/AuxSphere.h"
#include "scene/annotation/AuxSysCoord.h"
#include "scene/annotation/AuxTriangle.h"
#include "scene/annotation/CMeasureData.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytViewPort.h"
#include "tests/support/scene/OverlayGl.h"
#include "tests/support/scene/PartTreeFixture.h"

namespace scene_test {
namespace {

using overlaytest::CaptureState;
using overlaytest::Diff;
using overlaytest::GlState;

// State no object sets by default.
void Baseline()
{
    glMatrixMode(GL_MODELVIEW);
    glPointSize(3.0f);
    glLineWidth(2.0f);
    glLineStipple(2, 0x3333);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColorMaterial(GL_FRONT, GL_DIFFUSE);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glListBase(7);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_LINE_STIPPLE);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_COLOR_MATERIAL);
}

class OverlayState : public PartTreeFixture {
protected:
    void SetUp() override
    {
        PartTreeFixture::SetUp();
        KytEnv::nUpAxis = 2;
        KytEnv::nManipMode = 0;
        root = KytBuild::SampleMachine(model);
        for (const char* name : {"gearbox", "shaftA", "shaftB", "hinge", "slider", "nohandle",
                                 "screen", "lamp", "plate", "housing", "tilted", "human",
                                 "datum", "cover"})
            links.push_back(KytBuild::FindByName(model, name));
        Open(root, 200, 160);
        scene->ChangeViewPoint(35.0f, 60.0f, false);
        scene->FitView(false);
        scene->SetAuxState(true);
    }
    void TearDown() override
    {
        KytEnv::nUpAxis = 1;
        KytEnv::nManipMode = 0;
        KytOgl::bLineAntiAlias = false;
        PartTreeFixture::TearDown();
    }
    KytLink* L(const char* name) { return KytBuild::FindByName(model, name); }

    // Runs `op` from the baseline and reports every field it leaves changed.
    void Check(const std::string& what, const std::function<void()>& op)
    {
        scene->MakeCurrentForTest();
        Baseline();
        const GlState before = CaptureState();
        op();
        const GlState after = CaptureState();
        EXPECT_TRUE(after == before) << what << ": " << Diff(before, after);
    }

    // Window points (from the top left) to pick at: the centre and a ring around it.
    std::vector<std::pair<int, int>> Points() const
    {
        return {{width / 2, height / 2}, {width / 4, height / 4},   {3 * width / 4, height / 4},
                {width / 4, 3 * height / 4}, {3 * width / 4, 3 * height / 4}};
    }

    KytLink* root = nullptr;
    std::vector<KytLink*> links;
    KytStack<KytLink> handles, one, boxes, sphereStack;
    std::deque<KytAnnotateData> records;
    std::deque<KytDRAnnotateData> drRecords;
    std::deque<KytDRArrowData> arrows;
    std::deque<KytDRPartsConnectData> paths;
    std::deque<CMeasureData> measures;
    KytRelElement pin{2, 1}, line{5, 0};
    char who[16] = "Operator";
};

struct Row {
    const char* what;
    std::function<KytAuxContents*()> make;
};

TEST_F(OverlayState, EveryClassLeavesTheStateAsItFoundIt)
{
    unsigned id = 500;
    const std::vector<Row> rows = {
        {"AuxLine", [&]() -> KytAuxContents* {
             return new AuxLine(id++, L("lamp")->mech.vPos,
                                L("shaftB")->mech.GetAbsPos({0, 0, 60}));
         }},
        {"AuxLineStrip", [&]() -> KytAuxContents* {
             const WqVector3D strip[5] = {
                 {-50, -50, 12}, {50, -50, 12}, {50, 50, 12}, {-50, 50, 12}, {-50, -50, 12}};
             auto* o = new AuxLineStrip(id++);
             o->SetData(5, strip, nullptr);
             return o;
         }},
        {"AuxCircle", [&]() -> KytAuxContents* {
             auto* o = new AuxCircle(id++);
             KytLink* s = L("shaftA");
             o->SetData(s->mech.GetAbsPos({0, 0, 60}), {0, 0, 1},
                        s->mech.GetAbsPos({20, 0, 60}), nullptr);
             return o;
         }},
        {"AuxDitch", [&]() -> KytAuxContents* {
             auto* o = new AuxDitch(id++);
             o->SetData({60, -90, 12}, {90, -60, 12}, {60, -60, 40});
             return o;
         }},
        {"AuxPoint", [&]() -> KytAuxContents* {
             return new AuxPoint(id++, {-90, -90, 20});
         }},
        {"AuxTriangle", [&]() -> KytAuxContents* {
             auto* o = new AuxTriangle(id++);
             if (o->CreateData(1)) {
                 const WqVector3D v[3] = {{-100, 70, 60}, {-40, 70, 60}, {-70, 110, 90}};
                 o->SetVertex(0, v);
             }
             o->SetColor(1.0f, 0.5f, 0.0f, 0.5f);
             return o;
         }},
        {"AuxSphere", [&]() -> KytAuxContents* {
             sphereStack.RemoveAll();
             sphereStack.Append(L("lamp"));
             auto* o = new AuxSphere(id++);
             o->Stack = &sphereStack;
             return o;
         }},
        {"AuxManip, moving", [&]() -> KytAuxContents* {
             KytEnv::nManipMode = 0;
             handles.RemoveAll();
             for (const char* n : {"gearbox", "hinge", "slider"})
                 handles.Append(L(n));
             return new AuxManip(id++, &handles);
         }},
        {"AuxManip, turning", [&]() -> KytAuxContents* {
             KytEnv::nManipMode = 1;
             return new AuxManip(id++, &handles);
         }},
        {"AuxManip, simple", [&]() -> KytAuxContents* {
             KytEnv::nManipMode = 0;
             one.RemoveAll();
             one.Append(L("shaftA"));
             auto* o = new AuxManip(id++, &one);
             o->Simple(true);
             return o;
         }},
        {"AuxJoint", [&]() -> KytAuxContents* {
             auto* o = new AuxJoint(id++);
             o->Push(L("hinge"), true);
             o->Push(L("slider"), true);
             o->SetActive(L("hinge"), false);
             return o;
         }},
        {"AuxDirect", [&]() -> KytAuxContents* {
             auto* o = new AuxDirect(id++);
             KytLink* t = L("tilted");
             o->SetLink(t);
             o->SetPoint(t->mech.vPos + WqVector3D(0, 0, 30));
             o->SetUp({0, 0, 1});
             return o;
         }},
        {"AuxSysCoord", [&]() -> KytAuxContents* { return new AuxSysCoord(id++); }},
        {"AuxCOM", [&]() -> KytAuxContents* {
             AuxCOM::SetShow(true);
             return new AuxCOM(id++, L("nohandle"));
         }},
        {"AuxCOM2", [&]() -> KytAuxContents* {
             return new AuxCOM2(id++, {100, -100, 40});
         }},
        {"AuxGlobalPlane, anti-aliased grid", [&]() -> KytAuxContents* {
             AuxGlobalPlane::SetDrawGrid(true);
             KytOgl::bLineAntiAlias = true;
             return new AuxGlobalPlane(id++);
         }},
        {"AuxConfirmBox", [&]() -> KytAuxContents* {
             boxes.RemoveAll();
             boxes.Append(L("housing"));
             boxes.Append(L("gearbox"));
             return new AuxConfirmBox(id++, &boxes);
         }},
        {"AuxConfirmBox2", [&]() -> KytAuxContents* {
             return new AuxConfirmBox2(id++, &boxes);
         }},
        {"AuxRuler", [&]() -> KytAuxContents* { return new AuxRuler(id++); }},
        {"AuxAreaCRT, faces", [&]() -> KytAuxContents* {
             auto* o = new AuxAreaCRT(id++, L("screen"));
             const float p1[3] = {-25, 1, -18}, p2[3] = {25, 1, 18};
             o->SetPoints(p1, p2, true);
             o->ChangeMode(0);
             o->ChangeAngleDepth(100, 80, 120);
             o->MakeDisp();
             return o;
         }},
        {"AuxAreaCRT, tilted sides", [&]() -> KytAuxContents* {
             auto* o = new AuxAreaCRT(id++, L("screen"));
             const float p1[3] = {-25, 1, -18}, p2[3] = {25, 1, 18};
             o->SetPoints(p1, p2, true);
             o->ChangeMode(1);
             o->ChangeAngleDepth(100, 80, 120);
             o->MakeDisp();
             return o;
         }},
        {"AuxSectMeasure, length", [&]() -> KytAuxContents* {
             auto* o = new AuxSectMeasure(id++);
             o->Create(scene.get(), {-40, -40, 12}, {40, -40, 12}, false);
             o->EnablePointDraw(true);
             return o;
         }},
        {"AuxSectMeasure, radius", [&]() -> KytAuxContents* {
             auto* o = new AuxSectMeasure(id++);
             o->Create(scene.get(), {8, 0, 12}, 8, {0, 0, 12}, true);
             return o;
         }},
        {"AuxSectMeasure, legs", [&]() -> KytAuxContents* {
             auto* o = new AuxSectMeasure(id++);
             o->Create(scene.get(), {20, 20, 12}, {40, 40, 12});
             return o;
         }},
        {"AuxAnnotate", [&]() -> KytAuxContents* {
             records.emplace_back();
             KytAnnotateData& r = records.back();
             r.ulKey = 1;
             r.title = "Plate: deburr";
             r.vAnchor = WqVector3D(50, -50, 10);
             r.vBalloonOffset = WqVector3D(40, -60, 80);
             r.nLineStyle = 2;
             r.textColor = r.lineColor = RGB(200, 0, 0);
             auto* o = new AuxAnnotate(12, L("plate"));
             o->pData = &r;
             return o;
         }},
        {"AuxDRAnnotate", [&]() -> KytAuxContents* {
             drRecords.emplace_back();
             KytDRAnnotateData& r = drRecords.back();
             r.ulKey = 2;
             r.uBalloon = 1;
             r.title = "Review";
             r.nLineStyle = 4;
             r.vBalloonOffset = WqVector3D(-30, -40, 60);
             auto* o = new AuxDRAnnotate(AuxDRAnnotate::ID, L("gearbox"));
             o->pDRData = &r;
             o->bDrawBalloon = true;
             return o;
         }},
        {"AuxDatumChildName", [&]() -> KytAuxContents* {
             return new AuxDatumChildName(30, L("datum"));
         }},
        {"AuxHumanPointer", [&]() -> KytAuxContents* {
             return new AuxHumanPointer(50, L("human"), who);
         }},
        {"AuxProcessAnno", [&]() -> KytAuxContents* {
             records.emplace_back();
             KytAnnotateData& r = records.back();
             r.ulKey = 3;
             r.title = "Weld";
             r.nLineStyle = 3;
             WqVector3D target(-60, 40, 40), balloon(-120, 80, 120);
             auto* o = new AuxProcessAnno(60, L("housing"), &r, target, balloon);
             o->bDrawBalloon = true;
             return o;
         }},
        {"AuxJointConnect", [&]() -> KytAuxContents* {
             auto* o = new AuxJointConnect(7);
             o->AddTarget(L("plate"), L("gearbox"), &pin, true);
             o->AddTarget(L("plate"), L("housing"), &line);
             return o;
         }},
        {"AuxDimension, length", [&]() -> KytAuxContents* {
             measures.emplace_back();
             CMeasureData& m = measures.back();
             m.MeasureType = 1;
             m.PointType[0] = m.PointType[1] = 4;
             m.PointLink[0] = L("plate");
             m.PointLink[1] = L("housing");
             m.Position[1] = WqVector3D(10, 0, 10);
             m.LabelShown = true;
             auto* o = new AuxDimension(7, &m);
             o->vLabelOffset = WqVector3D(0, 0, 30);
             return o;
         }},
        {"AuxDimension, review height", [&]() -> KytAuxContents* {
             measures.emplace_back();
             CMeasureData& m = measures.back();
             m.MeasureType = 0;
             m.PointType[0] = m.PointType[1] = 4;
             m.PointLink[0] = L("plate");
             m.PointLink[1] = L("housing");
             m.Normal[0] = WqVector3D(0, 0, 1);
             m.Position[1] = WqVector3D(10, 0, 10);
             m.LabelShown = true;
             auto* o = new AuxDimension(AuxDimension::ID, &m);
             o->vLabelOffset = WqVector3D(20, 0, 30);
             o->SetDRComment("check");
             return o;
         }},
        {"AuxMeasure2Point", [&]() -> KytAuxContents* {
             WqVector3D p0(-20, -20, 5), p1(10, 5, 8);
             auto* o = new AuxMeasure2Point(7, L("plate"), p0, nullptr, nullptr);
             o->SetPair(L("housing"), p1, nullptr, nullptr);
             return o;
         }},
        {"AuxMeasure2Point, first point only", [&]() -> KytAuxContents* {
             WqVector3D p0(-20, -20, 5);
             return new AuxMeasure2Point(7, L("plate"), p0, nullptr, nullptr);
         }},
        {"AuxMeasureDatumPoint", [&]() -> KytAuxContents* {
             WqVector3D d0(0, 0, 0), d1(25, 35, 5);
             auto* o = new AuxMeasureDatumPoint(7, L("housing"), d0);
             o->SetPair(L("plate"), d1);
             return o;
         }},
        {"AuxDRArrow", [&]() -> KytAuxContents* {
             arrows.emplace_back();
             KytDRArrowData& r = arrows.back();
             r.ulKey = 4;
             r.vStart = WqVector3D(-42, 20, 30);
             r.vEnd = WqVector3D(-20, 8, 16);
             r.nHeadPlace = 2;
             r.nLineWidth = 3;
             r.nLineStyle = 2;
             KYT_AttachDRArrow(L("housing"), &r);
             auto* o = new AuxDRArrow(AuxDRArrow::ID, L("housing"));
             o->pDRData = &r;
             return o;
         }},
        {"AuxDRPartsConnect", [&]() -> KytAuxContents* {
             paths.emplace_back();
             KytDRPartsConnectData& r = paths.back();
             r.ulKey = 5;
             r.nLineStyle = 1;
             KYT_SetReferencePlacement(root);
             L("slider")->mech.vPos = L("slider")->mech.vPos + WqVector3D(20, 0, 10);
             KYT_AttachDRPartsConnect(L("slider"), &r);
             auto* o = new AuxDRPartsConnect(AuxDRPartsConnect::ID, L("slider"));
             o->pDRData = &r;
             return o;
         }},
    };
    KytOgl* ogl = scene->GetOgl();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        KytAuxContents* obj = row.make();
        auto* annotation = dynamic_cast<AuxAnnotate*>(obj);
        auto* drAnnotation = dynamic_cast<AuxDRAnnotate*>(obj);
        auto* arrow = dynamic_cast<AuxDRArrow*>(obj);
        auto* path = dynamic_cast<AuxDRPartsConnect*>(obj);
        if (drAnnotation)
            scene->AddAnnotation(drAnnotation, AUX_STAGE_SECOND);
        else if (annotation)
            scene->AddAnnotation(annotation, AUX_STAGE_SECOND);
        else if (arrow)
            scene->AddDRArrow(arrow);
        else if (path)
            scene->AddPartsConnect(path);
        else
            scene->AddAuxContents(obj, AUX_STAGE_SECOND);
        obj->FitView(scene->GetViewPort());
        Frame();
        if (arrow)
            arrow->CalcCoordinate(scene.get());
        const std::string name = row.what;

        Check(name + " Draw", [&] { obj->Draw(); });
        Check(name + " Draw while selecting", [&] {
            std::vector<GLuint> buf(1 << 16);
            glSelectBuffer(static_cast<GLsizei>(buf.size()), buf.data());
            glRenderMode(GL_SELECT);
            glInitNames();
            glPushName(obj->GetID());
            obj->Draw();
            glPopName();
            glRenderMode(GL_RENDER);
        });
        Check(name + " DrawGDI", [&] { obj->DrawGDI(); });
        if (annotation)
            Check(name + " DrawGDI(ogl)", [&] { annotation->DrawGDI(ogl); });
        GLdouble mv[16], pj[16];
        GLint vp[4];
        scene->MakeCurrentForTest();
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pj);
        glGetIntegerv(GL_VIEWPORT, vp);
        for (const auto& point : Points()) {
            const int x = point.first, y = point.second;
            SCOPED_TRACE(testing::Message() << "at " << x << ", " << y);
            WqVector3D a, b;
            gluUnProject(x, vp[3] - y, 0.0, mv, pj, vp, &a.x, &a.y, &a.z);
            gluUnProject(x, vp[3] - y, 1.0, mv, pj, vp, &b.x, &b.y, &b.z);
            const WqVector3D dir = (b - a) * (1.0 / (b - a).Length());
            Check(name + " Pick by ray", [&] {
                KytPickData record;
                record.Kind = static_cast<int32_t>(obj->GetID());
                double depth = 1e300;
                obj->Pick(&record, a, dir, depth);
            });
            if (annotation) {
                Check(name + " Pick", [&] { annotation->Pick(ogl, x, y); });
                Check(name + " Pick2", [&] { annotation->Pick2(ogl, x, y); });
            }
            if (arrow)
                Check(name + " Pick", [&] { arrow->Pick(ogl, x, y); });
            if (path) {
                Check(name + " Pick", [&] { path->Pick(ogl, x, y); });
                Check(name + " Pick2", [&] { path->Pick2(ogl, x, y); });
            }
            for (bool strict : {false, true}) {
                KytScene::bStrictPick = strict;
                Check(name + (strict ? " scene strict pick" : " scene pick"), [&] {
                    KytPickData r;
                    scene->Pick(x, y, &r, false, true);
                });
                KytScene::bStrictPick = false;
            }
        }
    }
}

}  // namespace
}  // namespace scene_test
