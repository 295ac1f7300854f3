#include "scene/annotation/AuxDRArrow.h"

#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxWindowGeometry.h"
#include "scene/view/KernelLinks.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"

#include <cmath>
#include <cstring>
#include <utility>

int AuxDRArrow::nCounter = 0;
int AuxDRArrow::viewP[4] = {0, 0, 0, 0};
double AuxDRArrow::modelM[16] = {};
double AuxDRArrow::projM[16] = {};

AuxDRArrow::AuxDRArrow() : nNo(nCounter++) {}

AuxDRArrow::AuxDRArrow(unsigned int id, KytLink* link) : AuxTarget(id, link), nNo(nCounter++)
{
    for (KytLink* l = link; l; l = kyt_links::Parent(l)) {
        if (!kyt_links::IsVisibleInLayer(l)) {
            bSubDraw = false;
            break;
        }
    }
}

AuxDRArrow::AuxDRArrow(const AuxDRArrow* source) : AuxTarget(source)
{
    if (source) {
        pDRData = source->pDRData;
        nNo = source->nNo;
        // A copy is a live object: it keeps the selection and geometry, never the backup mark.
        bPicked = source->bPicked;
        for (int i = 0; i < 4; ++i)
            avHead[i] = source->avHead[i];
        nDragMode = source->nDragMode;
    }
}

AuxDRArrow::AuxDRArrow(const AuxDRArrow& other) = default;

AuxDRArrow& AuxDRArrow::operator=(const AuxDRArrow& other) = default;

AuxDRArrow::~AuxDRArrow() = default;

KytAuxContents* AuxDRArrow::Duplicate()
{
    return new AuxDRArrow(this);
}

int AuxDRArrow::GetAuxType()
{
    return AUXTYPE_DR;
}

unsigned long AuxDRArrow::GetDRID() const
{
    return pDRData ? pDRData->ulDRKey : 0;
}

int AuxDRArrow::SetNo()
{
    nNo = nCounter++;
    return nNo;
}

AuxDRArrow* AuxDRArrow::SearchArrow(const KytDRArrowData* record)
{
    if (!record)
        return nullptr;
    for (AuxDRArrow* o = this; o; o = o->pNextDRArrow)
        if (o->pDRData && o->pDRData->ulKey == record->ulKey)
            return o;
    return nullptr;
}

bool AuxDRArrow::IsDraw() const
{
    if (!pDRData || !pDRData->bShow || !pDRData->bDRVisible || bBackup)
        return false;
    if (!AuxTarget::IsDraw())
        return false;
    if (KytScenes::m_bDRHTMLPrintingNow)
        return (KytScenes::m_ulPRD_Item & 0x04) != 0;
    return true;
}

AuxDRArrow* AuxDRArrow::DuplicateDRArrow()
{
    return static_cast<AuxDRArrow*>(Duplicate());
}

AuxDRArrow* AuxDRArrow::SearchArrow(int no)
{
    for (AuxDRArrow* o = this; o; o = o->pNextDRArrow)
        if (o->pDRData && o->pDRData->nNo == no)
            return o;
    return nullptr;
}

void AuxDRArrow::Append(AuxDRArrow* obj)
{
    AuxDRArrow* last = this;
    while (last->pNextDRArrow)
        last = last->pNextDRArrow;
    last->pNextDRArrow = obj;
}

void AuxDRArrow::CheckVisual(KytLink* link)
{
    bSubDraw = aux_window::VisibleBelow(pTargetLink, GetSecondLink(), link);
}

namespace {

constexpr double kPi = 3.14159265358979323846;

// Open heads (the sides lean forward of the tip) list their two corners the other way round.
bool SwapsSides(int g)
{
    return (g > 0 && g < 90) || (g > 180 && g < 270) || (g > -180 && g < -90) ||
           (g > -360 && g < -270);
}

} // namespace

void AuxDRArrow::CalcCoordinate(KytScene* scene)
{
    if (!pDRData || !scene)
        return;
    if (KytOgl* ogl = scene->GetOgl())
        ogl->MakeCurrent();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, projM);
    glGetIntegerv(GL_VIEWPORT, viewP);
    double sx, sy, ex, ey;
    aux_window::Project(pDRData->vStart, modelM, projM, viewP, sx, sy);
    aux_window::Project(pDRData->vEnd, modelM, projM, viewP, ex, ey);
    const double theta = std::atan2(ey - sy, ex - sx);
    const int g = pDRData->nHeadAngle % 360;
    const double m = pDRData->nHeadLength + pDRData->nLineWidth;
    const double rad = kPi / 180.0;
    double hx[4], hy[4];
    const double angle[4] = {theta + g * rad, theta - g * rad, theta + (g + 180) * rad,
                             theta + (180 - g) * rad};
    for (int i = 0; i < 4; ++i) {
        const double bx = i < 2 ? sx : ex, by = i < 2 ? sy : ey;
        hx[i] = bx + m * std::cos(angle[i]);
        hy[i] = by + m * std::sin(angle[i]);
    }
    if (SwapsSides(g)) {
        std::swap(hx[0], hx[1]);
        std::swap(hy[0], hy[1]);
        std::swap(hx[2], hx[3]);
        std::swap(hy[2], hy[3]);
    }
    for (int i = 0; i < 4; ++i)
        avHead[i] = scene->Point2Vector(static_cast<int>(hx[i]), static_cast<int>(hy[i]));
}

void AuxDRArrow::MoveOrgCoordinate(KytScene* scene, const CPoint& point)
{
    if (!pDRData || !scene)
        return;
    pDRData->vStart = scene->Point2Vector(point.x, point.y);
    CalcCoordinate(scene);
}

void AuxDRArrow::MoveEndCoordinate(KytScene* scene, const CPoint& point)
{
    if (!pDRData || !scene)
        return;
    pDRData->vEnd = scene->Point2Vector(point.x, point.y);
    CalcCoordinate(scene);
}

void AuxDRArrow::MoveCoordinate(KytScene* scene, const CPoint& point)
{
    if (!pDRData || !scene || nDragMode < 1 || nDragMode > 3)
        return;
    const WqVector3D p = scene->Point2Vector(point.x, point.y);
    if (nDragMode == 1) {
        pDRData->vStart = p;
    } else if (nDragMode == 2) {
        pDRData->vEnd = p;
    } else {
        // The whole arrow moves by taking the point off both ends; hosts hand the point in
        // that form, so it stays as it is.
        pDRData->vStart = pDRData->vStart - p;
        pDRData->vEnd = pDRData->vEnd - p;
    }
    CalcCoordinate(scene);
}

bool AuxDRArrow::MoveEndPos(const WqVector3D& delta, bool)
{
    if (!pDRData)
        return false;
    if (nDragMode == 1 || nDragMode == 3)
        pDRData->vStart = pDRData->vStart + delta;
    if (nDragMode == 2 || nDragMode == 3)
        pDRData->vEnd = pDRData->vEnd + delta;
    return true;
}

bool AuxDRArrow::CopyEndPos(const AuxDRArrow* other)
{
    if (!pDRData || !other || !other->pDRData)
        return false;
    pDRData->vStart = other->pDRData->vStart;
    pDRData->vEnd = other->pDRData->vEnd;
    return true;
}

namespace {

void Vertex(const WqVector3D& v)
{
    glVertex3d(v.x, v.y, v.z);
}

void Colour(COLORREF c)
{
    glColor3f((c & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, ((c >> 16) & 0xFF) / 255.0f);
}

} // namespace

void AuxDRArrow::Draw()
{
    if (!IsDraw())
        return;
    const KytDRArrowData& d = *pDRData;
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_POINT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_LINE_STIPPLE);
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(static_cast<float>(d.nLineWidth));
    glLineStipple(1, aux_window::LineStipple(d.nLineStyle));
    Colour(d.color);
    glBegin(GL_LINE_STRIP);
    Vertex(d.vStart);
    Vertex(d.vEnd);
    glEnd();

    const GLenum head = d.nHeadKind == 1 ? GL_TRIANGLES : d.nHeadKind == 2 ? GL_LINE_LOOP
                                                                           : GL_LINE_STRIP;
    glLineStipple(1, 0xFFFF);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_LINE_STIPPLE);
    glEnable(GL_LINE_SMOOTH);
    Colour(d.color);
    glShadeModel(GL_SMOOTH);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLineWidth(static_cast<float>(d.nLineWidth));
    auto drawHead = [&](const WqVector3D& a, const WqVector3D& tip, const WqVector3D& b) {
        glBegin(head);
        Vertex(a);
        Vertex(tip);
        Vertex(b);
        glEnd();
        if (head == GL_TRIANGLES) {
            glBegin(GL_LINE_LOOP);
            Vertex(a);
            Vertex(tip);
            Vertex(b);
            glEnd();
        }
    };
    if (d.nHeadPlace == 0 || d.nHeadPlace == 2)
        drawHead(avHead[0], d.vStart, avHead[1]);
    if (d.nHeadPlace == 1 || d.nHeadPlace == 2)
        drawHead(avHead[2], d.vEnd, avHead[3]);
    glPopAttrib();
    glPopAttrib();
}

bool AuxDRArrow::Pick(KytOgl*, int px, int py)
{
    if (!IsDraw())
        return false;
    const KytDRArrowData& d = *pDRData;
    int sx, sy, ex, ey;
    aux_window::ProjectInt(d.vStart, modelM, projM, viewP, sx, sy);
    aux_window::ProjectInt(d.vEnd, modelM, projM, viewP, ex, ey);
    if (aux_window::PointDistance(sx, sy, px, py) <= 5.0) {
        nDragMode = 1;
        return true;
    }
    if (aux_window::PointDistance(ex, ey, px, py) <= 5.0) {
        nDragMode = 2;
        return true;
    }
    const double t = d.nLineWidth * 0.5 + 5.0;
    if (aux_window::NearSegment(sx, sy, ex, ey, px, py, t)) {
        nDragMode = 3;
        return true;
    }
    auto headHit = [&](int tx, int ty, const WqVector3D& side1, const WqVector3D& side2) {
        if (d.nHeadKind < 0 || d.nHeadKind > 2)
            return false;
        int ax, ay, bx, by;
        aux_window::ProjectInt(side1, modelM, projM, viewP, ax, ay);
        aux_window::ProjectInt(side2, modelM, projM, viewP, bx, by);
        if (aux_window::NearSegment(tx, ty, ax, ay, px, py, t) ||
            aux_window::NearSegment(tx, ty, bx, by, px, py, t))
            return true;
        return d.nHeadKind != 0 && aux_window::NearSegment(ax, ay, bx, by, px, py, t);
    };
    if ((d.nHeadPlace == 0 || d.nHeadPlace == 2) && headHit(sx, sy, avHead[0], avHead[1])) {
        nDragMode = 1;
        return true;
    }
    if ((d.nHeadPlace == 1 || d.nHeadPlace == 2) && headHit(ex, ey, avHead[2], avHead[3])) {
        nDragMode = 2;
        return true;
    }
    return false;
}
