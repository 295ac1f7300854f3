#include "scene/annotation/AuxPoint.h"

#include <new>

float AuxPoint::afPointColor[4] = {1.0f, 1.0f, 0.0f, 1.0f};
float AuxPoint::fPointSize = 8.0f;

AuxPoint::AuxPoint(unsigned int id, const WqVector3D& point) : KytAuxContents(id), Point(point) {}

AuxPoint::AuxPoint(const AuxPoint* source) : KytAuxContents(source)
{
    if (source)
        Point = source->Point;
}

AuxPoint::~AuxPoint() = default;

bool AuxPoint::IsDraw() const
{
    return m_bDraw;
}

KytAuxContents* AuxPoint::Duplicate()
{
    return new (std::nothrow) AuxPoint(this);
}

void AuxPoint::Draw()
{
    glPushAttrib(GL_ENABLE_BIT | GL_POINT_BIT);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, afPointColor);
    glPointSize(fPointSize);
    glDisable(GL_DEPTH_TEST);
    glBegin(GL_POINTS);
    glVertex3d(Point.x, Point.y, Point.z);
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glPopAttrib();
}
