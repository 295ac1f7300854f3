// A frame of 256 dimensions, 64 of each kind (H and V, length, face angle, radius), with their
// labels placed, and 256 two-point measurements with their arrowhead cones: the GL pass (Draw)
// and both text passes (DrawGDI), against a bare loop of the same GL primitives from
// precomputed points, the same quadric cones, and the same gluProject, GetTextExtentPoint32A,
// leader and TextOutA calls on prepared texts.

#include "bench/scene/AnnotationStage.h"
#include "platform/kernel/KytLink.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDimension.h"
#include "scene/annotation/AuxMeasure2Point.h"
#include "scene/annotation/CMeasureData.h"
#include "scene/annotation/KytEdge.h"
#include "scene/view/KytOgl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quor::wgl;

constexpr int kSize = 256;
constexpr int kDimensions = 256;
constexpr int kPointMeasures = 256;

// One GL primitive as a dimension draws it.
struct Prim {
    GLenum mode;
    float r, g, b;
    float width;  // line width or point size
    bool stipple;
    std::vector<WqVector3D> points;
};

// One label as the GDI pass writes it.
struct Label {
    std::vector<WqVector3D> projected;  // the points the label operation projects
    std::string text;
    bool leader;
};

// One two-point measurement as it draws: the picks, the dimension line's ends, the cones.
struct PointPrim {
    WqVector3D a, b, firstEnd, secondEnd;
    double r, h;
    std::string text;
};

// Multiplies a frame whose z axis is `u` (unit) with its origin at `at`.
void MultZFrame(const WqVector3D& u, const WqVector3D& at)
{
    WqVector3D x = std::fabs(u.x) < 0.9 ? WqVector3D(1, 0, 0) : WqVector3D(0, 1, 0);
    WqVector3D y = u.Cross(x);
    y.Normarize();
    x = y.Cross(u);
    const double gl[16] = {x.x, x.y, x.z, 0, y.x, y.y, y.z, 0, u.x, u.y, u.z, 0,
                           at.x, at.y, at.z, 1};
    glMultMatrixd(gl);
}

class Stage {
public:
    static Stage& Get()
    {
        static Stage stage;
        return stage;
    }

    void Dimensions()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (auto& d : dims_)
            d->Draw();
        for (auto& m : points_)
            m->Draw();
        HFONT previous = ogl_->ChangeFont(&AuxAnnotate::MsgFont);
        for (int pass = 0; pass < 2; ++pass) {
            for (auto& d : dims_)
                d->DrawGDI(ogl_.get());
            for (auto& m : points_)
                m->DrawGDI(ogl_.get());
        }
        ogl_->SelectObject(previous);
        glFinish();
    }

    void Bare()
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (const auto& list : prims_) {
            for (const Prim& p : list) {
                glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT |
                             GL_CURRENT_BIT | GL_POINT_BIT);
                glDisable(GL_DEPTH_TEST);
                glDisable(GL_LIGHTING);
                glColor3f(p.r, p.g, p.b);
                if (p.mode == GL_POINTS)
                    glPointSize(p.width);
                else
                    glLineWidth(p.width);
                if (p.stipple) {
                    glEnable(GL_LINE_STIPPLE);
                    glLineStipple(1, 0xBBBB);
                }
                glBegin(p.mode);
                for (const WqVector3D& v : p.points)
                    glVertex3d(v.x, v.y, v.z);
                glEnd();
                glPopAttrib();
            }
        }
        for (const PointPrim& p : pointPrims_) {
            glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT);
            glDisable(GL_DEPTH_TEST);
            glDisable(GL_LIGHTING);
            glColor3f(0.6f, 0.6f, 0.6f);
            glBegin(GL_LINES);
            for (const WqVector3D& v : {p.a, p.a + (p.firstEnd - p.a) * 1.06, p.firstEnd,
                                        p.secondEnd, p.b + (p.secondEnd - p.b) * 1.06, p.b})
                glVertex3d(v.x, v.y, v.z);
            glEnd();
            glPointSize(5.0f);
            glColor3f(0.9f, 0.9f, 0.0f);
            glBegin(GL_POINTS);
            glVertex3d(p.a.x, p.a.y, p.a.z);
            glVertex3d(p.b.x, p.b.y, p.b.z);
            glEnd();
            glPopAttrib();
            WqVector3D u = p.firstEnd - p.secondEnd;
            u.Normarize();
            const float cyan[4] = {0.0f, 1.0f, 1.0f, 1.0f};
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, cyan);
            glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
            glDisable(GL_DEPTH_TEST);
            glDisable(GL_CULL_FACE);
            glPushMatrix();
            MultZFrame(u, p.firstEnd - u * p.h);
            gluCylinder(quadric_, p.r, 0.0, p.h, 10, 10);
            glPopMatrix();
            glPushMatrix();
            MultZFrame(-u, p.secondEnd + u * p.h);
            gluCylinder(quadric_, p.r, 0.0, p.h, 10, 10);
            glPopMatrix();
            glPopAttrib();
        }
        HDC dc = ogl_->GetHdc();
        HFONT previous = ogl_->ChangeFont(&AuxAnnotate::MsgFont);
        for (int pass = 0; pass < 2; ++pass) {
            for (const PointPrim& p : pointPrims_) {
                double ax, ay, az, bx, by, bz;
                gluProject(p.firstEnd.x, p.firstEnd.y, p.firstEnd.z, AuxAnnotate::modelM,
                           AuxAnnotate::projM, AuxAnnotate::viewP, &ax, &ay, &az);
                gluProject(p.secondEnd.x, p.secondEnd.y, p.secondEnd.z, AuxAnnotate::modelM,
                           AuxAnnotate::projM, AuxAnnotate::viewP, &bx, &by, &bz);
                const int x = static_cast<int>((ax + bx) / 2.0);
                const int y = AuxAnnotate::viewP[3] - static_cast<int>((ay + by) / 2.0);
                const int n = static_cast<int>(p.text.size());
                SIZE size{};
                GetTextExtentPoint32A(dc, p.text.c_str(), n + 1, &size);
                const COLORREF text = SetTextColor(dc, 0xFFFFFF);
                const COLORREF back = SetBkColor(dc, 0x009B00);
                TextOutA(dc, x - size.cx / 2, y - size.cy, p.text.c_str(), n);
                SetBkColor(dc, back);
                SetTextColor(dc, text);
            }
            for (const Label& l : labels_) {
                int x = 0, y = 0;
                for (const WqVector3D& p : l.projected) {
                    double wx, wy, wz;
                    gluProject(p.x, p.y, p.z, AuxAnnotate::modelM, AuxAnnotate::projM,
                               AuxAnnotate::viewP, &wx, &wy, &wz);
                    x = static_cast<int>(wx);
                    y = AuxAnnotate::viewP[3] - static_cast<int>(wy);
                }
                const int n = static_cast<int>(l.text.size());
                SIZE size{};
                GetTextExtentPoint32A(dc, l.text.c_str(), n + 1, &size);
                if (l.leader) {
                    HPEN pen = CreatePen(PS_SOLID, 2, 0x9A9A9A);
                    HGDIOBJ old = SelectObject(dc, pen);
                    MoveToEx(dc, x - 30, y + 20, nullptr);
                    LineTo(dc, x - size.cx / 2, y);
                    SelectObject(dc, old);
                    DeleteObject(pen);
                }
                const COLORREF back = SetBkColor(dc, 0x009B00);
                const COLORREF text = SetTextColor(dc, 0xFFFFFF);
                TextOutA(dc, x - size.cx / 2, y - size.cy, l.text.c_str(), n);
                SetBkColor(dc, back);
                SetTextColor(dc, text);
            }
        }
        ogl_->SelectObject(previous);
        glFinish();
    }

private:
    Stage()
    {
        ogl_ = MakeAnnotationStage(kSize, wnd_);

        const double pi = std::acos(-1.0);
        for (int i = 0; i < kDimensions; ++i) {
            const WqVector3D at(8.0 + (i % 16) * 15.0, 8.0 + (i / 16) * 15.0, 0.0);
            links_.push_back(std::make_unique<KytLink>());
            links_.push_back(std::make_unique<KytLink>());
            KytLink* a = links_[links_.size() - 2].get();
            KytLink* b = links_.back().get();
            a->mech.vPos = b->mech.vPos = at;
            auto m = std::make_unique<CMeasureData>();
            m->PointLink[0] = a;
            m->PointLink[1] = b;
            m->PointType[0] = m->PointType[1] = 4;
            m->LabelShown = true;
            m->MeasureType = i % 4;
            m->Normal[0] = m->Normal[1] = WqVector3D(0, 0, 1);
            m->Position[1] = WqVector3D(5, 0, 2);
            std::vector<Prim> prims;
            Label label;
            const WqVector3D offset(-3, 4, 0);
            WqVector3D first, second, foot;
            switch (m->MeasureType) {
            case 0:
                m->GetPoints(first, second, foot);
                prims.push_back({GL_LINE_STRIP, 1, 1, 1, 1, true, {first, foot, second}});
                prims.push_back({GL_POINTS, 1, 0, 1, 4, false, {foot}});
                prims.push_back({GL_POINTS, 0, 1, 1, 4, false, {first}});
                prims.push_back({GL_POINTS, 0, 1, 1, 4, false, {second}});
                label.projected = {foot, foot + offset};
                label.leader = true;
                break;
            case 1:
                m->GetPoints(first, second, foot);
                prims.push_back({GL_LINE_STRIP, 1, 1, 1, 1, true,
                                 {first, first + offset, second + offset, second}});
                prims.push_back({GL_POINTS, 0, 1, 1, 4, false, {first}});
                prims.push_back({GL_POINTS, 0, 1, 1, 4, false, {second}});
                label.projected = {first, second, first + offset, second + offset};
                label.leader = false;
                break;
            case 2: {
                m->Normal[1] = WqVector3D(0, std::sin(pi / 3), std::cos(pi / 3));
                m->GetPoints(first, second, foot);
                const WqVector3D c = m->Center[0];
                for (const WqVector3D& p : {first, second})
                    prims.push_back({GL_POINTS, 1, 0, 1, 4, false, {p}});
                prims.push_back({GL_POINTS, 0.9f, 0.9f, 0, 4, false, {foot}});
                prims.push_back({GL_POINTS, 0.9f, 0.9f, 0, 4, false, {c}});
                prims.push_back({GL_LINE_STRIP, 0, 1, 1, 1, false, {first, c, second}});
                Prim arc{GL_LINE_STRIP, 1, 1, 1, 1, true, {first}};
                WqVector3D u = foot - c, w = second - c;
                u.Normarize();
                w.Normarize();
                WqVector3D axis = u.Cross(w);
                axis.Normarize();
                WqMatrix33D r;
                MakeAxisRotMatrix(m->Angle * 0.05, axis, r);
                WqVector3D v = foot - c;
                for (int k = 0; k < 20; ++k) {
                    v = r.Multi(v);
                    arc.points.push_back(c + v);
                }
                prims.push_back(arc);
                label.projected = {foot, foot + offset};
                label.leader = true;
                break;
            }
            default: {
                m->PointType[0] = 5;
                m->Center[0] = WqVector3D(1, 1, 0);
                m->Radius[0] = 3.0;
                m->Position[0] = WqVector3D(4, 1, 0);
                const WqVector3D c = a->mech.GetAbsPos(m->Center[0]);
                const WqVector3D n(0, 0, 1);
                prims.push_back({GL_LINES, 0.9f, 0.9f, 0.9f, 5, false, {c + n * 1.5, c - n * 1.5}});
                Prim circle{GL_LINE_LOOP, 0.9f, 0.9f, 0, 2, true, {}};
                for (int k = 0; k < 35; ++k) {
                    const double t = k * 10.0 * pi / 180.0;
                    circle.points.push_back(c + WqVector3D(3 * std::cos(t), 3 * std::sin(t), 0));
                }
                prims.push_back(circle);
                prims.push_back({GL_POINTS, 0, 1, 1, 4, false, {c}});
                label.projected = {c, c + offset};
                label.leader = true;
                break;
            }
            }
            auto d = std::make_unique<AuxDimension>(7, m.get());
            d->vLabelOffset = offset;
            // The labels' texts as the dimension makes them.
            d->DrawGDI(ogl_.get());
            label.text = d->GetLabel();
            labels_.push_back(label);
            prims_.push_back(prims);
            measures_.push_back(std::move(m));
            dims_.push_back(std::move(d));
        }

        quadric_ = gluNewQuadric();
        for (int i = 0; i < kPointMeasures; ++i) {
            const WqVector3D at(8.0 + (i % 16) * 15.0, 10.0 + (i / 16) * 15.0, 0.0);
            links_.push_back(std::make_unique<KytLink>());
            links_.push_back(std::make_unique<KytLink>());
            KytLink* a = links_[links_.size() - 2].get();
            KytLink* b = links_.back().get();
            a->mech.vPos = at;
            b->mech.vPos = at + WqVector3D(6.0 + (i % 3), 1.0 + (i % 5), 0.0);
            WqVector3D p(0, 0, 0), q(0, 0, 0);
            auto m = std::make_unique<AuxMeasure2Point>(50, a, p, nullptr, nullptr);
            m->Create(nullptr);
            m->fMarkSize = 0.8f;
            m->SetPair(b, q, nullptr, nullptr);
            m->SetEndPos(WqVector3D(0, 3, 0));
            if (!m->IsDraw())
                std::fprintf(stderr, "MeasureFrame: point measurement %d would not draw\n", i);
            m->Draw();  // places the dimension line's ends
            PointPrim prim;
            m->GetPoints(p, q, prim.a, prim.b);
            prim.firstEnd = m->vFirstEnd;
            prim.secondEnd = m->vBalloonPos;
            const double l = (prim.firstEnd - prim.secondEnd).Length();
            prim.r = std::min(l * 0.125, static_cast<double>(m->fMarkSize));
            prim.h = 3.0 * prim.r;
            prim.text = m->GetDistanceText();
            pointPrims_.push_back(prim);
            points_.push_back(std::move(m));
        }
    }

    HWND wnd_ = nullptr;
    std::unique_ptr<KytOgl> ogl_;
    std::vector<std::unique_ptr<KytLink>> links_;
    std::vector<std::unique_ptr<CMeasureData>> measures_;
    std::vector<std::unique_ptr<AuxDimension>> dims_;
    std::vector<std::vector<Prim>> prims_;
    std::vector<Label> labels_;
    std::vector<std::unique_ptr<AuxMeasure2Point>> points_;
    std::vector<PointPrim> pointPrims_;
    GLUquadric* quadric_ = nullptr;
};

void FrameDimensions(benchmark::State& state)
{
    Stage& s = Stage::Get();
    for (auto _ : state)
        s.Dimensions();
}

void FrameRef(benchmark::State& state)
{
    Stage& s = Stage::Get();
    for (auto _ : state)
        s.Bare();
}

} // namespace

BENCHMARK(FrameDimensions)->Name("MeasureFrame.dimensions")->Unit(benchmark::kMillisecond);
BENCHMARK(FrameRef)->Name("MeasureFrame.ref")->Unit(benchmark::kMillisecond);
