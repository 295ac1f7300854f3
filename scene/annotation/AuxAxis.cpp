#include "scene/annotation/AuxAxis.h"

#include <cstring>

#include "scene/view/KytOgl.h"

AuxAxis::AuxAxis(unsigned int id, float lineWidth) : KytContents(id), LineWidth(lineWidth)
{
    m_bDraw = false;
}

AuxAxis::AuxAxis(const AuxAxis* source) : KytContents(source), LineWidth(1.0f)
{
    if (!source)
        return;
    LineWidth = source->LineWidth;
    std::memcpy(LineColor, source->LineColor, sizeof LineColor);
    std::memcpy(AxisColors, source->AxisColors, sizeof AxisColors);
    std::memcpy(AxisEnds, source->AxisEnds, sizeof AxisEnds);
    ConeRadius = source->ConeRadius;
    ConeHeight = source->ConeHeight;
}

AuxAxis::~AuxAxis()
{
    if (Quadric)
        gluDeleteQuadric(Quadric);
}

void AuxAxis::Create(KytOgl* ogl)
{
    if (ogl) {
        // The context keeps the font it hands out; every glyph borrows it.
        if (!ogl->GetFont())
            ogl->SetFontRecord(ogl->SetFont(nullptr, 12));
        Font = ogl->GetFont();
    }
    if (Quadric)
        gluDeleteQuadric(Quadric);
    Quadric = gluNewQuadric();
    if (Quadric)
        gluQuadricOrientation(Quadric, GLU_OUTSIDE);
}

void AuxAxis::Destroy()
{
    if (Quadric) {
        gluDeleteQuadric(Quadric);
        Quadric = nullptr;
    }
}

void AuxAxis::SetColor(float r, float g, float b)
{
    LineColor[0] = r;
    LineColor[1] = g;
    LineColor[2] = b;
}

void AuxAxis::SetAxisColor(int axis, const float* rgb)
{
    if (axis < 0 || axis > 2 || !rgb)
        return;
    std::memcpy(AxisColors[axis], rgb, 3 * sizeof(float));
}

void AuxAxis::SetSize(float length, float coneSize)
{
    std::memset(AxisEnds, 0, sizeof AxisEnds);
    for (int i = 0; i < 3; ++i)
        AxisEnds[i][i] = length;
    ConeRadius = coneSize;
    ConeHeight = 2.0f * coneSize;
}

void AuxAxis::Draw()
{
    if (!m_bDraw || !Font)
        return;
    static const char* const kLabels[3] = {"X", "Y", "Z"};
    static const float kWhite[4] = {1, 1, 1, 1};
    glPushName(m_uID);
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_LINE_BIT);
    glEnable(GL_LIGHTING);
    glLineWidth(LineWidth);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glDisable(GL_CULL_FACE);
    for (int i = 0; i < 3; ++i) {
        glPushName(i);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, LineColor);
        glBegin(GL_LINES);
        glVertex3f(0, 0, 0);
        glVertex3fv(AxisEnds[i]);
        glEnd();
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, kWhite);
        glRasterPos3fv(AxisEnds[i]);
        glPushAttrib(GL_LIST_BIT);
        glListBase(Font->listBase);
        glCallLists(1, GL_UNSIGNED_BYTE, kLabels[i]);
        glPopAttrib();
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, AxisColors[i]);
        if (Quadric) {
            glPushMatrix();
            glTranslatef(AxisEnds[i][0], AxisEnds[i][1], AxisEnds[i][2]);
            if (i == 0)
                glRotatef(90, 0, 1, 0);
            else if (i == 1)
                glRotatef(-90, 1, 0, 0);
            gluCylinder(Quadric, ConeRadius, 0, ConeHeight, 10, 10);
            glPopMatrix();
        }
        glPopName();
    }
    glPopAttrib();
    glPopName();
}

AuxWorkAxis::~AuxWorkAxis()
{
    if (WorkQuadric)
        gluDeleteQuadric(WorkQuadric);
}

void AuxWorkAxis::Create(KytScene*)
{
    if (WorkQuadric)
        return;
    WorkQuadric = gluNewQuadric();
    if (WorkQuadric) {
        gluQuadricDrawStyle(WorkQuadric, GLU_FILL);
        gluQuadricOrientation(WorkQuadric, GLU_OUTSIDE);
    }
}

void AuxWorkAxis::Destroy()
{
    if (WorkQuadric) {
        gluDeleteQuadric(WorkQuadric);
        WorkQuadric = nullptr;
    }
}

void AuxWorkAxis::SetSize(float length, float)
{
    const float L = length;
    const float points[6][3] = {{L, 0, 0}, {0, 0, 0}, {0, L, 0}, {0, 0, 0}, {0, 0, L}, {0, 0, -L}};
    std::memcpy(WorkPoints, points, sizeof WorkPoints);
    WorkLength = 1.3f * L;
}

void AuxWorkAxis::Draw()
{
    if (!m_bDraw)
        return;
    static const float kBack[4] = {0.5f, 0.5f, 0.5f, 1};
    static const float kGrey[4] = {0.7f, 0.7f, 0.7f, 1};
    static const float kMagenta[4] = {1, 0, 1, 1};
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_LINE_BIT);
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, kBack);
    glPushMatrix();
    glLineWidth(8);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kGrey);
    glBegin(GL_LINES);
    glVertex3fv(WorkPoints[1]);
    glVertex3fv(WorkPoints[0]);
    glEnd();
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kMagenta);
    glBegin(GL_LINES);
    glVertex3fv(WorkPoints[5]);
    glVertex3fv(WorkPoints[4]);
    glEnd();
    glTranslatef(0, 0, 0.4f * WorkLength);
    if (WorkQuadric)
        gluCylinder(WorkQuadric, 0.2 * WorkLength, 0, 0.6 * WorkLength, 10, 10);
    glPopMatrix();
    glPopAttrib();
}
