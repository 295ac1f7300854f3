#include "scene/annotation/AuxDitch.h"

#include <new>

AuxDitch::AuxDitch(unsigned int id) : KytAuxContents(id) {}

AuxDitch::AuxDitch(const AuxDitch* source) : KytAuxContents(source)
{
    if (source) {
        Point1 = source->Point1;
        Point2 = source->Point2;
        Point3 = source->Point3;
    }
}

AuxDitch::~AuxDitch() = default;

void AuxDitch::SetData(const WqVector3D& p1, const WqVector3D& p2, const WqVector3D& p3)
{
    Point1 = p1;
    Point2 = p2;
    Point3 = p3;
}

KytAuxContents* AuxDitch::Duplicate()
{
    return new (std::nothrow) AuxDitch(this);
}

void AuxDitch::Draw()
{
    if (!IsDraw())
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glColor3f(0.0f, 1.0f, 1.0f);
    glBegin(GL_LINES);
    glVertex3d(Point3.x, Point3.y, Point3.z);
    glVertex3d(Point2.x, Point2.y, Point2.z);
    glVertex3d(Point2.x, Point2.y, Point2.z);
    glVertex3d(Point1.x, Point1.y, Point1.z);
    glEnd();
    glPopAttrib();
}
