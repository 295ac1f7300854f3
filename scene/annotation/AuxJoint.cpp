#include "scene/annotation/AuxJoint.h"

#include <new>
#include <vector>

#include "platform/kernel/KytLink.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

AuxJoint::AuxJoint(unsigned int id) : KytAuxContents(id) {}

AuxJoint::AuxJoint(const AuxJoint* source) : KytAuxContents(source)
{
    if (source)
        GlyphSize = source->GlyphSize;
}

AuxJoint::AuxJoint(const AuxJoint& other) : KytAuxContents(other), GlyphSize(other.GlyphSize)
{
    CopyRecords(other);
}

AuxJoint& AuxJoint::operator=(const AuxJoint& other)
{
    if (this != &other) {
        KytAuxContents::operator=(other);
        GlyphSize = other.GlyphSize;
        ClearData();
        CopyRecords(other);
    }
    return *this;
}

AuxJoint::~AuxJoint()
{
    ClearData();
    if (Quadric)
        gluDeleteQuadric(Quadric);
}

void AuxJoint::CopyRecords(const AuxJoint& other)
{
    for (KytItem<AuxJointData>* n = other.Joints.GetFirstItem(); n; n = n->next) {
        if (!n->item)
            continue;
        AuxJointData* copy = new (std::nothrow) AuxJointData(*n->item);
        if (copy)
            Joints.Append(copy);
    }
}

void AuxJoint::Destroy()
{
    KytAuxContents::Destroy();
    if (Quadric) {
        gluDeleteQuadric(Quadric);
        Quadric = nullptr;
    }
}

void AuxJoint::Create(KytScene* scene)
{
    if (!Quadric) {
        Quadric = gluNewQuadric();
        if (Quadric)
            gluQuadricDrawStyle(Quadric, GLU_FILL);
    }
    if (scene)
        FitView(scene->GetViewPort());
}

void AuxJoint::FitView(const KytViewPort* viewport)
{
    if (viewport)
        GlyphSize = static_cast<float>(viewport->GetViewRadius() * 0.3);
}

KytAuxContents* AuxJoint::Duplicate()
{
    return new (std::nothrow) AuxJoint(this);
}

AuxJointData* AuxJoint::Find(const KytLink* link) const
{
    if (!link)
        return nullptr;
    for (KytItem<AuxJointData>* n = Joints.GetFirstItem(); n; n = n->next)
        if (n->item && n->item->Link == link)
            return n->item;
    return nullptr;
}

bool AuxJoint::Push(KytLink* link, bool draw)
{
    if (!link)
        return false;
    AuxJointData* record = new (std::nothrow) AuxJointData(link);
    if (!record)
        return false;
    record->Shown = draw;
    Joints.Push(record);
    return true;
}

bool AuxJoint::SetDrawData(KytLink* link, bool draw)
{
    AuxJointData* record = Find(link);
    if (!record)
        return false;
    record->Shown = draw;
    return true;
}

double AuxJoint::GetQ(const KytLink* link) const
{
    const AuxJointData* record = Find(link);
    return record ? record->Q : 0.0;
}

double AuxJoint::GetDelta(const KytLink* link) const
{
    const AuxJointData* record = Find(link);
    return record ? record->Delta : 1.0;
}

void AuxJoint::SetDelta(KytLink* link, double delta)
{
    if (AuxJointData* record = Find(link))
        record->Delta = delta;
}

void AuxJoint::AllHide()
{
    for (KytItem<AuxJointData>* n = Joints.GetFirstItem(); n; n = n->next)
        if (n->item)
            n->item->Shown = false;
}

void AuxJoint::SetActive(KytLink* link, bool toggle)
{
    if (toggle) {
        if (AuxJointData* record = Find(link))
            record->Active = !record->Active;
        return;
    }
    for (KytItem<AuxJointData>* n = Joints.GetFirstItem(); n; n = n->next)
        if (n->item)
            n->item->Active = n->item->Link == link;
}

void AuxJoint::ClearData()
{
    while (AuxJointData* record = Joints.Pop())
        delete record;
    Joints.RemoveAll();
}

void AuxJoint::DrawPin(bool shiny) const
{
    static const float kWhite[4] = {1, 1, 1, 1};
    const float s = GlyphSize, d = 0.3f * s, c = 0.08f * s;
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kWhite);
    if (shiny)
        glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, 120);
    glTranslatef(0, 0, -d);
    gluDisk(Quadric, 0, c, 30, 10);
    gluCylinder(Quadric, c, c, 2 * d, 30, 10);
    glTranslatef(0, 0, 2 * d);
    gluDisk(Quadric, 0, c, 30, 10);
}

void AuxJoint::DrawRotateJoint(bool active) const
{
    if (!Quadric)
        return;
    static const float kRed[4] = {1, 0, 0, 1};
    static const float kGrey[4] = {0.7f, 0.7f, 0.7f, 1};
    const float d = 0.3f * GlyphSize, c2 = 1.5f * 0.08f * GlyphSize;
    DrawPin(true);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, active ? kRed : kGrey);
    glTranslatef(0, 0, -1.5f * d);
    gluCylinder(Quadric, c2, c2, 1.125 * d, 30, 10);
    glTranslatef(0, 0, 0.75f * d);
    gluPartialDisk(Quadric, 2 * c2, 2.4 * c2, 30, 10, 0, 300);
}

void AuxJoint::DrawSlideJoint(bool active) const
{
    if (!Quadric)
        return;
    static const float kRed[4] = {1, 0, 0, 1};
    static const float kGrey[4] = {0.7f, 0.7f, 0.7f, 1};
    const float d = 0.3f * GlyphSize, c2 = 1.5f * 0.08f * GlyphSize;
    DrawPin(false);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, active ? kRed : kGrey);
    glTranslatef(0, 0, -1.5f * d);
    gluCylinder(Quadric, c2, c2, 1.125 * d, 30, 10);
    glTranslatef(0, 0, 1.5f * d);
    gluCylinder(Quadric, c2, 0, 2 * c2, 20, 12);
}

void AuxJoint::Draw()
{
    // Without a quadric (before Create, or a copy) there is nothing to draw with.
    if (!m_bDraw || Joints.GetCount() == 0 || !Quadric)
        return;
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
    glEnable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    for (KytItem<AuxJointData>* n = Joints.GetFirstItem(); n; n = n->next) {
        const AuxJointData* record = n->item;
        if (!record || !record->Shown || !record->Link)
            continue;
        KytLink* link = record->Link;
        glPushName(KytPickNames::Name(link));
        glPushMatrix();
        KytOgl::MultMatrix(link->mech);
        const WqMatrix33D& r = link->jointFrame.mRot;
        const WqVector3D& p = link->jointFrame.vPos;
        const double m[16] = {r.m[0][0], r.m[1][0], r.m[2][0], 0, r.m[0][1], r.m[1][1],
                              r.m[2][1], 0, r.m[0][2], r.m[1][2], r.m[2][2], 0,
                              p.x,       p.y,       p.z,       1};
        glMultMatrixd(m);
        switch (link->nJointKind) {
        case 2:
        case 7: DrawRotateJoint(record->Active); break;
        case 3:
        case 8: DrawSlideJoint(record->Active); break;
        default: break;
        }
        glPopMatrix();
        glPopName();
    }
    glPopAttrib();
}
