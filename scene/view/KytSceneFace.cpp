// Face points under a window point, window points to world points, and the one-off marks a
// scene draws straight into the front buffer over the frame on the screen.

#include <GL/gl.h>

#include <cmath>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytShape.h"
#include "platform/wgl/Wgl.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/KytEdge.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

namespace {
constexpr double kEps = 2.220446049250313e-16;

WqVector3D Widen(const KytPoint* p) { return {p->x, p->y, p->z}; }

// The point of the plane through `p0` with normal `n` on the line through `q` along `d`; `q`
// itself when the line runs in the plane.
WqVector3D OnPlane(const WqVector3D& q, const WqVector3D& d, const WqVector3D& n,
                   const WqVector3D& p0)
{
    const double s = n.Dot(d);
    if (std::fabs(s) <= kEps)
        return q;
    return q + d * ((n.Dot(p0) - n.Dot(q)) / s);
}
}  // namespace

void DrawDashedCircle(const WqVector3D& start, const WqVector3D& centre, const WqVector3D& axis)
{
    const WqVector3D d = start - centre;
    const double d2 = d.Length2();
    if (d2 <= kEps || std::sqrt(d2) < kEps)
        return;
    // A rotation about an axis of another length is no rotation: the axis is made unit, and
    // without a direction there is no plane to draw in.
    const double len = axis.Length();
    if (!(len > kEps))
        return;
    WqMatrix33D m;
    MakeAxisRotMatrix(0.17453292519943278, axis * (1.0 / len), m);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xBBBB);
    glLineWidth(2.0f);
    glBegin(GL_LINE_LOOP);
    const double first[3] = {start.x, start.y, start.z};
    glVertex3dv(first);
    WqVector3D o = d;
    for (int i = 1; i < 35; ++i) {
        o = m.Multi(o);
        const WqVector3D p = centre + o;
        const double v[3] = {p.x, p.y, p.z};
        glVertex3dv(v);
    }
    glEnd();
    glDisable(GL_LINE_STIPPLE);
}

WqVector3D KytScene::Point2Vector(int x, int y)
{
    KytCamera* camera = GetActiveCamera();
    // Without a camera there is no view plane; without a context no matrices to read.
    if (!camera)
        return WqVector3D(0.0, 0.0, 0.0);
    if (m_pViewPort->ProjectionMode != 1 && !m_pOgl)
        return camera->LookAtPosition;
    if (m_pViewPort->ProjectionMode == 1)
        return camera->Point2Vector(m_pViewPort->ViewRadius, x, y, m_nWidth, m_nHeight);
    MakeCurrent();
    return camera->Point2VectorP(x, y);
}

WqVector3D KytScene::Point2Vector(int x, int y, WqVector3D& base)
{
    KytCamera* camera = GetActiveCamera();
    if (!camera)
        return WqVector3D(0.0, 0.0, 0.0);
    if (m_pViewPort->ProjectionMode != 1 && !m_pOgl)
        return base;
    if (m_pViewPort->ProjectionMode == 1)
        return camera->Point2Vector(m_pViewPort->ViewRadius, x, y, m_nWidth, m_nHeight, base);
    MakeCurrent();
    return camera->Point2VectorP(x, y, base);
}

WqVector3D KytScene::Point2FacePoint(int x, int y, const KytLink* link,
                                     const KytTriangle* triangle)
{
    const KytMech& m = link->mech;
    const WqVector3D p0 = m.GetAbsPos(Widen(triangle->pVertex[0]));
    const WqVector3D p1 = m.GetAbsPos(Widen(triangle->pVertex[1]));
    const WqVector3D p2 = m.GetAbsPos(Widen(triangle->pVertex[2]));
    KytCamera* camera = GetActiveCamera();
    if (m_pViewPort->ProjectionMode == 1) {
        const WqVector3D q =
            camera->Point2Vector(m_pViewPort->ViewRadius, x, y, m_nWidth, m_nHeight);
        return OnPlane(q, camera->EyeOrientation, (p1 - p0).Cross(p2 - p0), p0);
    }
    const WqVector3D g = (p0 + p1 + p2) * 0.3333333333333333;
    MakeCurrent();
    return camera->Point2VectorP(x, y, g);
}

void KytScene::CalcPointOnTriangle(KytLink* link, const KytTriangle* triangle, int x, int y,
                                   WqVector3D& out)
{
    const WqVector3D p = ViewPlanePoint(x, y);
    const KytMech& m = link->mech;
    const WqVector3D w0 = m.GetAbsPos(Widen(triangle->pVertex[0]));
    const WqVector3D w1 = m.GetAbsPos(Widen(triangle->pVertex[1]));
    const WqVector3D w2 = m.GetAbsPos(Widen(triangle->pVertex[2]));
    out = OnPlane(p, GetActiveCamera()->EyeOrientation, (w1 - w0).Cross(w2 - w0), w0);
}

bool KytScene::GetFacePoint(int x, int y, KytLink** link, KytTriangle** triangle,
                            WqVector3D& point, WqVector3D& normal)
{
    KytPickData record;
    if (!Pick(x, y, &record, false, false))
        return false;
    if (!record.Link || record.Level != 5 || !record.Triangle())
        return false;
    KytLink* l = record.Link;
    *link = l;
    const KytMech& m = l->mech;
    const WqMatrix33D rt = m.mRot.Transpose();
    const WqVector3D p = rt.Multi(ViewPlanePoint(x, y) - m.vPos);
    KytTriangle* t = record.Triangle();
    *triangle = t;
    const WqVector3D v0 = Widen(t->pVertex[0]);
    const WqVector3D n = (Widen(t->pVertex[1]) - v0).Cross(Widen(t->pVertex[2]) - v0);
    normal = n;
    const double n2 = n.Length2();
    if (n2 > kEps && std::sqrt(n2) > kEps)
        normal = n * (1.0 / std::sqrt(n2));
    point = OnPlane(p, rt.Multi(GetActiveCamera()->EyeOrientation), n, v0);
    return true;
}

bool KytScene::GetPickedPartPoint(const CPoint& pt, WqVector3D& out)
{
    if (!m_pOgl)
        return false;
    // The point is in the client coordinates of the window's parent; over another window it
    // is not ours.
    HWND wnd = m_pOgl->GetHwnd();
    if (quor::wgl::ChildWindowFromPoint(quor::wgl::GetParent(wnd), pt) != wnd)
        return false;
    KytPickData record;
    if (!Pick(pt.x, pt.y, &record, false, false))
        return false;
    if (!record.Link || record.Kind != 1 || record.Link->nType != KYT_LINK_PART)
        return false;
    switch (record.Level) {
    case 5:
        if (!record.Triangle())
            return false;
        out = Point2FacePoint(pt.x, pt.y, record.Link, record.Triangle());
        return true;
    case 6:
        // A vertex hit names its vertex; one without is no answer.
        if (!record.Vertex())
            return false;
        out = Widen(record.Vertex());
        return true;
    default:
        return false;
    }
}

namespace {
// The frame around a one-off mark: drawn into the front buffer over what is on the screen,
// with the attributes of `mask` saved and the draw buffer restored by hand.
template <class Mark>
void DrawOnce(KytOgl* ogl, GLbitfield mask, bool depthOff, Mark mark)
{
    ogl->MakeCurrent();
    GLint drawBuffer = GL_BACK;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    glPushAttrib(mask);
    if (depthOff)
        glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDrawBuffer(GL_FRONT);
    mark();
    glPopAttrib();
    glFlush();
    glFinish();
    glDrawBuffer(static_cast<GLenum>(drawBuffer));
}

void Vertex(const WqVector3D& p)
{
    const double v[3] = {p.x, p.y, p.z};
    glVertex3dv(v);
}
}  // namespace

void KytScene::DrawCircleOnce(const WqVector3D& start, const WqVector3D& centre,
                              const WqVector3D& axis)
{
    if (!m_pOgl)
        return;
    DrawOnce(m_pOgl, GL_LINE_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT, true, [&] {
        glLineWidth(2.0f);
        glColor3f(0.9f, 0.9f, 0.0f);
        DrawDashedCircle(start, centre, axis);
    });
}

void KytScene::DrawLineOnce(const WqVector3D& a, const WqVector3D& b, bool flag)
{
    if (!m_pOgl)
        return;
    DrawOnce(m_pOgl, GL_POINT_BIT | GL_LINE_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT, !flag,
             [&] {
                 glPointSize(4.0f);
                 glColor3f(0.0f, 0.9f, 0.9f);
                 glBegin(GL_POINTS);
                 Vertex(a);
                 Vertex(b);
                 glEnd();
                 glLineWidth(3.0f);
                 if (flag) {
                     glEnable(GL_LINE_STIPPLE);
                     glLineStipple(1, 0x1111);
                 }
                 glColor3f(0.9f, 0.9f, 0.0f);
                 glBegin(GL_LINES);
                 Vertex(a);
                 Vertex(b);
                 glEnd();
             });
}

void KytScene::DrawPointOnce(const WqVector3D& p)
{
    if (!m_pOgl)
        return;
    DrawOnce(m_pOgl, GL_POINT_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT, true, [&] {
        glPointSize(7.0f);
        glColor3f(0.0f, 0.9f, 0.9f);
        glBegin(GL_POINTS);
        Vertex(p);
        glEnd();
    });
}

void KytScene::SetScaleLineState(AuxAnnotate* annotation, bool draw, bool redraw)
{
    auto isScaleLine = [](const AuxAnnotate* a) { return a->GetID() == 13 || a->GetID() == 14; };
    if (annotation && !isScaleLine(annotation))
        return;
    if (!m_pAnnotateHead)
        return;
    bool matched = false;
    for (AuxAnnotate* a = m_pAnnotateHead; a; a = a->pNextAnnotation) {
        if (!isScaleLine(a) || (annotation && a->nNo != annotation->nNo))
            continue;
        a->SetDraw(draw);
        matched = true;
    }
    if (redraw && matched)
        Draw(true);
}
