#include "scene/annotation/AuxSphere.h"

#include <new>

#include "platform/kernel/KytLink.h"

AuxSphere::AuxSphere(unsigned int id) : KytAuxContents(id) {}

AuxSphere::AuxSphere(const AuxSphere* source) : KytAuxContents(source)
{
    if (source)
        Stack = source->Stack;
}

AuxSphere::AuxSphere(const AuxSphere& other) : KytAuxContents(other), Stack(other.Stack) {}

AuxSphere& AuxSphere::operator=(const AuxSphere& other)
{
    if (this != &other) {
        KytAuxContents::operator=(other);
        Stack = other.Stack;
        // The quadric stays this object's own.
    }
    return *this;
}

AuxSphere::~AuxSphere()
{
    if (Quadric)
        gluDeleteQuadric(Quadric);
}

void AuxSphere::Destroy()
{
    if (Quadric) {
        gluDeleteQuadric(Quadric);
        Quadric = nullptr;
    }
}

void AuxSphere::Create(KytScene*)
{
    if (Quadric)
        return;
    Quadric = gluNewQuadric();
    if (Quadric) {
        gluQuadricDrawStyle(Quadric, GLU_FILL);
        gluQuadricOrientation(Quadric, GLU_OUTSIDE);
    }
}

KytAuxContents* AuxSphere::Duplicate()
{
    return new (std::nothrow) AuxSphere(this);
}

void AuxSphere::Draw()
{
    // Without a quadric (before Create, or a copy) there is nothing to draw with.
    if (!IsDraw() || !Stack || Stack->GetCount() == 0 || !Quadric)
        return;
    static const float kColour[4] = {1.0f, 0.0f, 0.0f, 0.3f};
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT |
                 GL_POLYGON_BIT | GL_LINE_BIT | GL_POINT_BIT);
    glEnable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kColour);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(3.0f);
    glPointSize(8.0f);
    const int n = Stack->GetCount();
    for (int i = 0; i < n; ++i) {
        KytLink* link = Stack->Get(i);
        if (!link)
            continue;
        if (link->bGeomCenStale)
            link->SetGeomCEN();
        const WqVector3D c = link->mech.GetAbsPos(link->vGeomCen);
        glPushMatrix();
        glTranslated(c.x, c.y, c.z);
        gluSphere(Quadric, link->GetRadius(), 40, 40);
        glPopMatrix();
    }
    glPopAttrib();
}
