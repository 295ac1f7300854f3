#include "scene/annotation/AuxCircle.h"

#include <cmath>
#include <new>

#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"

namespace {
constexpr double kEps = 2.220446e-16;
}

AuxCircle::AuxCircle(unsigned int id) : KytAuxContents(id) {}

AuxCircle::AuxCircle(const AuxCircle* source) : KytAuxContents(source)
{
    if (source) {
        Normal = source->Normal;
        Center = source->Center;
        RadiusPoint = source->RadiusPoint;
        Link = source->Link;
        for (int i = 0; i < 3; ++i)
            Color[i] = source->Color[i];
        HasCircle = source->HasCircle;
    }
}

AuxCircle::~AuxCircle() = default;

void AuxCircle::SetData(const WqVector3D& center, const WqVector3D& normal,
                        const WqVector3D& radiusPoint, KytLink* link)
{
    Center = center;
    Normal = normal;
    RadiusPoint = radiusPoint;
    Link = link;
    HasCircle = true;
}

void AuxCircle::SetData(const WqVector3D& center, KytLink* link)
{
    Center = center;
    Link = link;
    HasCircle = false;
}

bool AuxCircle::SetRadius(double r)
{
    const WqVector3D d = RadiusPoint - Center;
    const double d2 = d.Length2();
    if (d2 <= kEps)
        return false;
    const double len = std::sqrt(d2);
    if (len <= kEps)
        return false;
    RadiusPoint = Center + d * (std::fabs(r) / len);
    return true;
}

void AuxCircle::SetColor(float r, float g, float b)
{
    Color[0] = r;
    Color[1] = g;
    Color[2] = b;
}

KytAuxContents* AuxCircle::Duplicate()
{
    return new (std::nothrow) AuxCircle(this);
}

void AuxCircle::Draw()
{
    if (!IsDraw())
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_LINE_BIT |
                 GL_POINT_BIT);
    if (Link) {
        glPushMatrix();
        KytOgl::MultMatrix(Link->mech);
    }
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    // The dot takes the circle's colour also when no circle is drawn, rather than whatever
    // the object drawn before left behind.
    glColor3f(Color[0], Color[1], Color[2]);
    if (HasCircle)
        DrawDashedCircle(RadiusPoint, Center, Normal);
    glPointSize(5.0f);
    glBegin(GL_POINTS);
    glVertex3d(Center.x, Center.y, Center.z);
    glEnd();
    if (Link)
        glPopMatrix();
    glPopAttrib();
}
