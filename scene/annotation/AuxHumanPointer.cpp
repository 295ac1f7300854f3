#include "scene/annotation/AuxHumanPointer.h"

#include "scene/view/KernelLinks.h"
#include "scene/view/KytOgl.h"

#include <cstring>

AuxHumanPointer::AuxHumanPointer(unsigned int id, KytLink* link, char* text)
    : AuxAnnotate(id, link)
{
    SetText(text);
}

AuxHumanPointer::AuxHumanPointer(const AuxHumanPointer* source) : AuxAnnotate(source)
{
    if (source)
        SetText(source->pszText);
}

AuxHumanPointer::AuxHumanPointer(const AuxHumanPointer& other) : AuxAnnotate(other)
{
    SetText(other.pszText);
}

AuxHumanPointer& AuxHumanPointer::operator=(const AuxHumanPointer& other)
{
    if (this != &other) {
        AuxAnnotate::operator=(other);
        SetText(other.pszText);
    }
    return *this;
}

AuxHumanPointer::~AuxHumanPointer()
{
    delete[] pszText;
    // A quadric is plain memory: freeing it needs no context.
    if (pQuadric)
        gluDeleteQuadric(pQuadric);
}

void AuxHumanPointer::SetText(const char* text)
{
    char* copy = nullptr;
    if (text) {
        copy = new char[std::strlen(text) + 1];
        std::strcpy(copy, text);
    }
    delete[] pszText;
    pszText = copy;
}

KytAuxContents* AuxHumanPointer::Duplicate()
{
    return new AuxHumanPointer(this);
}

void AuxHumanPointer::Create(KytScene*)
{
    if (!pQuadric)
        pQuadric = gluNewQuadric();
}

void AuxHumanPointer::Destroy()
{
    AuxAnnotate::Destroy();
    if (pQuadric) {
        gluDeleteQuadric(pQuadric);
        pQuadric = nullptr;
    }
}

void AuxHumanPointer::ChangeHead(KytLink* link, char* text)
{
    pTargetLink = link;
    if (link)
        m_bDraw = true;
    bSubDraw = true;
    for (KytLink* l = link; l; l = kyt_links::Parent(l))
        if (!kyt_links::IsVisibleInLayer(l)) {
            bSubDraw = false;
            break;
        }
    SetText(text);
}

bool AuxHumanPointer::GetState() const
{
    return m_bDraw && bSubDraw;
}

bool AuxHumanPointer::Pick(KytOgl*, int, int)
{
    return false;
}

void AuxHumanPointer::Draw()
{
    if (!pTargetLink || !GetState() || !pQuadric)
        return;
    glPushAttrib(GL_LIGHTING_BIT | GL_POLYGON_BIT);
    glEnable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPushMatrix();
    KytOgl::MultMatrix(kyt_links::WorldPlacement(pTargetLink));
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, -650.0f);
    const float back[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, back);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, white);
    // The radii are the single-precision values the shapes were designed with.
    gluCylinder(pQuadric, 17.999999597668648, 17.999999597668648, 300.0, 5, 5);
    glTranslatef(0.0f, 0.0f, 200.0f);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, red);
    gluCylinder(pQuadric, 60.00000089406967, 0.0, 150.0, 10, 10);
    glPopMatrix();
    glPopAttrib();
}

void AuxHumanPointer::DrawGDI(KytOgl* ogl)
{
    if (!ogl || !m_bDraw || !bSubDraw || !pszText || !pTargetLink ||
        !kyt_links::IsVisibleInLayer(pTargetLink))
        return;
    const KytMech& m = kyt_links::WorldPlacement(pTargetLink);
    const WqVector3D p = m.vPos.Plus(
        WqVector3D(750.0 * m.mRot.m[0][1], 750.0 * m.mRot.m[1][1], 750.0 * m.mRot.m[2][1]));
    int x = 0, y = 0;
    Get2D(p, x, y);
    HDC dc = ogl->GetHdc();
    const int len = static_cast<int>(std::strlen(pszText));
    SIZE size{};
    GetTextExtentPoint32A(dc, pszText, len + 1, &size);
    const COLORREF back = SetBkColor(dc, 0xC8C8C8);
    const COLORREF text = SetTextColor(dc, 0xC80000);
    TextOutA(dc, x - size.cx / 2, y, pszText, len);
    SetTextColor(dc, text);
    SetBkColor(dc, back);
}
