#include "scene/annotation/AuxLine.h"

#include <new>

float AuxLine::afLineColor[3] = {1.0f, 0.0f, 0.0f};
float AuxLine::fLineWidth = 2.0f;
bool AuxLine::bDepthTest = false;

AuxLine::AuxLine(unsigned int id) : KytAuxContents(id) {}

AuxLine::AuxLine(unsigned int id, const WqVector3D& start, const WqVector3D& end)
    : KytAuxContents(id), StartPoint(start), EndPoint(end)
{
}

AuxLine::AuxLine(const AuxLine* source) : KytAuxContents(source)
{
    if (source) {
        StartPoint = source->StartPoint;
        EndPoint = source->EndPoint;
    }
}

AuxLine::~AuxLine() = default;

bool AuxLine::IsDraw() const
{
    return m_bDraw;
}

void AuxLine::SetPoints(const WqVector3D& start, const WqVector3D& end)
{
    StartPoint = start;
    EndPoint = end;
}

KytAuxContents* AuxLine::Duplicate()
{
    return new (std::nothrow) AuxLine(this);
}

void AuxLine::Draw()
{
    const float colour[4] = {afLineColor[0], afLineColor[1], afLineColor[2], 0.5f};
    if (bDepthTest) {
        glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LINE_BIT);
        glDisable(GL_DEPTH_TEST);
    } else {
        glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT);
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
    glLineWidth(fLineWidth);
    glBegin(GL_LINES);
    glVertex3d(StartPoint.x, StartPoint.y, StartPoint.z);
    glVertex3d(EndPoint.x, EndPoint.y, EndPoint.z);
    glEnd();
    glPopAttrib();
}

void KYT_SetAuxLineDepth(bool on)
{
    AuxLine::bDepthTest = on;
}
