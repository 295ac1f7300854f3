#include "scene/annotation/AuxRuler.h"

#include <cmath>
#include <new>

#include "scene/view/KytCamera.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

namespace {
constexpr double kEps = 2.220446e-16;

WqVector3D Unit(const WqVector3D& v)
{
    const double l2 = v.Length2();
    if (l2 <= kEps)
        return v;
    const double l = std::sqrt(l2);
    return l <= kEps ? v : v * (1.0 / l);
}

void Vertex(const WqVector3D& p)
{
    glVertex3d(p.x, p.y, p.z);
}
}  // namespace

AuxRuler::AuxRuler(unsigned int id) : KytAuxContents(id) {}

AuxRuler::AuxRuler(const AuxRuler* source) : KytAuxContents(source)
{
    if (source)
        ViewPort = source->ViewPort;
}

AuxRuler::~AuxRuler() = default;

void AuxRuler::Create(KytScene* scene)
{
    if (scene)
        ViewPort = scene->GetViewPort();
}

KytAuxContents* AuxRuler::Duplicate()
{
    return new (std::nothrow) AuxRuler(this);
}

bool AuxRuler::Resolvable(double halfW, double halfH, double spacing)
{
    GLint vp[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, vp);
    return std::floor(halfW / spacing) <= vp[2] / 2.0 && std::floor(halfH / spacing) <= vp[3] / 2.0;
}

void AuxRuler::DrawSection(const WqVector3D& m, const WqVector3D& h, const WqVector3D& v,
                           const WqVector3D& x, const WqVector3D& y, double halfW, double halfH,
                           double spacing) const
{
    if (!Resolvable(halfW, halfH, spacing))
        return;
    const double n = std::floor(halfW / spacing), mm = std::floor(halfH / spacing);
    glBegin(GL_LINES);
    for (double k = 1; k <= n; ++k)
        for (double sign : {1.0, -1.0}) {
            const WqVector3D p = m + h * (sign * k * spacing);
            Vertex(p + y);
            Vertex(p - y);
        }
    for (double k = 1; k <= mm; ++k)
        for (double sign : {1.0, -1.0}) {
            const WqVector3D q = m + v * (sign * k * spacing);
            Vertex(q + x);
            Vertex(q - x);
        }
    glEnd();
}

void AuxRuler::DrawDivisions(const WqVector3D& m, const WqVector3D& h, const WqVector3D& v,
                             double halfW, double halfH, double spacing) const
{
    if (!Resolvable(halfW, halfH, spacing))
        return;
    const double n = std::floor(halfW / spacing), mm = std::floor(halfH / spacing);
    const WqVector3D tv = v * (0.5 * spacing), th = h * (0.5 * spacing);
    glBegin(GL_LINES);
    for (double k = 1; k <= n; ++k)
        for (double sign : {1.0, -1.0}) {
            const WqVector3D p = m + h * (sign * k * spacing);
            Vertex(p + tv);
            Vertex(p - tv);
        }
    for (double k = 1; k <= mm; ++k)
        for (double sign : {1.0, -1.0}) {
            const WqVector3D q = m + v * (sign * k * spacing);
            Vertex(q + th);
            Vertex(q - th);
        }
    glEnd();
}

void AuxRuler::Draw()
{
    if (!m_bDraw || !ViewPort)
        return;
    const KytCamera* camera = ViewPort->GetActiveCamera();
    if (!camera)
        return;
    const WqVector3D m = camera->GetLookAtPosition();
    const WqVector3D v = Unit(camera->GetViewUpVector());
    const WqVector3D h = Unit(camera->GetViewUpVector().Cross(camera->GetEyeOrientation()));
    const double r = ViewPort->GetViewRadius(), a = ViewPort->GetAspect();
    double w, hh;
    if (a > 1.0) {
        w = a * r;
        hh = r;
    } else if (std::fabs(a) <= kEps) {
        return;
    } else {
        w = r;
        hh = r / a;
    }
    const WqVector3D x = h * w, y = v * hh;
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT |
                 GL_POINT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glColor3f(0.0f, 0.0f, 0.6f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBegin(GL_QUADS);
    Vertex(m + x + y);
    Vertex(m - x + y);
    Vertex(m - x - y);
    Vertex(m + x - y);
    glEnd();
    glLineWidth(3.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINES);
    Vertex(m + x);
    Vertex(m - x);
    Vertex(m + x + y);
    Vertex(m - x + y);
    Vertex(m + x - y);
    Vertex(m - x - y);
    Vertex(m + y);
    Vertex(m - y);
    Vertex(m + x + y);
    Vertex(m + x - y);
    Vertex(m - x + y);
    Vertex(m - x - y);
    glEnd();
    glLineWidth(2.0f);
    DrawSection(m, h, v, x, y, w, hh, 100.0);
    glEnable(GL_LINE_STIPPLE);
    glLineWidth(1.0f);
    glLineStipple(1, 0xBBBB);
    glColor3f(0.6f, 0.6f, 0.6f);
    DrawSection(m, h, v, x, y, w, hh, 10.0);
    glColor3f(1.0f, 1.0f, 1.0f);
    DrawSection(m, h, v, x, y, w, hh, 50.0);
    glDisable(GL_LINE_STIPPLE);
    glColor3f(1.0f, 0.0f, 1.0f);
    glLineWidth(2.0f);
    DrawDivisions(m, h, v, w, hh, 10.0);
    glPopAttrib();
}
