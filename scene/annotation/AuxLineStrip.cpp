#include "scene/annotation/AuxLineStrip.h"

#include <limits>
#include <new>

#include "scene/view/KytOgl.h"

float AuxLineStrip::afLineColor[3] = {1.0f, 1.0f, 1.0f};
float AuxLineStrip::fLineWidth = 3.0f;
bool AuxLineStrip::bDepthTest = true;

AuxLineStrip::AuxLineStrip(unsigned int id) : AuxTarget(id, nullptr) {}

AuxLineStrip::AuxLineStrip(const AuxLineStrip* source) : AuxTarget(source)
{
    if (source)
        CopyPoints(*source);
}

AuxLineStrip::AuxLineStrip(const AuxLineStrip& other) : AuxTarget(other)
{
    CopyPoints(other);
}

AuxLineStrip& AuxLineStrip::operator=(const AuxLineStrip& other)
{
    if (this != &other) {
        AuxTarget::operator=(other);
        CopyPoints(other);
    }
    return *this;
}

AuxLineStrip::~AuxLineStrip()
{
    delete[] Points;
}

void AuxLineStrip::CopyPoints(const AuxLineStrip& source)
{
    delete[] Points;
    Points = nullptr;
    PointCount = 0;
    if (source.Points && source.PointCount > 0) {
        Points = new (std::nothrow) WqVector3D[source.PointCount];
        if (!Points)
            return;
        for (unsigned int i = 0; i < source.PointCount; ++i)
            Points[i] = source.Points[i];
        PointCount = source.PointCount;
    }
}

bool AuxLineStrip::SetData(unsigned long count, const WqVector3D* const points, KytLink* link)
{
    delete[] Points;
    Points = nullptr;
    PointCount = 0;
    pTargetLink = link;
    if (count == 0)
        return true;
    if (!points || count > std::numeric_limits<unsigned int>::max())
        return false;
    Points = new (std::nothrow) WqVector3D[count];
    if (!Points)
        return false;
    for (unsigned long i = 0; i < count; ++i)
        Points[i] = points[i];
    PointCount = static_cast<unsigned int>(count);
    return true;
}

KytAuxContents* AuxLineStrip::Duplicate()
{
    return new (std::nothrow) AuxLineStrip(this);
}

void AuxLineStrip::Draw()
{
    // The plain draw flag: a strip without a link stands in world coordinates and still draws.
    if (!m_bDraw)
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT);
    if (pTargetLink) {
        glPushMatrix();
        KytOgl::MultMatrix(pTargetLink->mech);
    }
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1.0f, 1.0f, 1.0f);
    glLineWidth(fLineWidth);
    glBegin(GL_LINE_STRIP);
    for (unsigned int i = 0; i < PointCount; ++i)
        glVertex3d(Points[i].x, Points[i].y, Points[i].z);
    glEnd();
    if (pTargetLink)
        glPopMatrix();
    glPopAttrib();
}
