#include "scene/annotation/AuxGlobalPlane.h"

#include <cmath>
#include <cstring>
#include <new>

#include "platform/kernel/KytEnv.h"
#include "scene/annotation/AuxSysCoord.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

bool AuxGlobalPlane::bPlaneFlag = false;
bool AuxGlobalPlane::bGridFlag = true;
float AuxGlobalPlane::afPlaneColor[4] = {0.55f, 0.55f, 0.55f, 0.5f};
int AuxGlobalPlane::nDevCnt = 10;

AuxGlobalPlane::AuxGlobalPlane(unsigned int id) : KytAuxContents(id) {}

AuxGlobalPlane::AuxGlobalPlane(const AuxGlobalPlane* source) : KytAuxContents(source)
{
    if (!source)
        return;
    std::memcpy(Normal, source->Normal, sizeof Normal);
    std::memcpy(Corners, source->Corners, sizeof Corners);
    std::memcpy(GridLines, source->GridLines, sizeof GridLines);
    GridStep = source->GridStep;
    std::memcpy(GridColor, source->GridColor, sizeof GridColor);
    UpIndex = source->UpIndex;
    UIndex = source->UIndex;
    VIndex = source->VIndex;
}

AuxGlobalPlane::~AuxGlobalPlane() = default;

void AuxGlobalPlane::Destroy()
{
    KytAuxContents::Destroy();
}

KytAuxContents* AuxGlobalPlane::Duplicate()
{
    return new (std::nothrow) AuxGlobalPlane(this);
}

void AuxGlobalPlane::SetParam(int axis, int plane, int grid)
{
    AuxSysCoord::bAxisFlag = axis != 0;
    bPlaneFlag = plane != 0;
    bGridFlag = grid != 0;
}

void AuxGlobalPlane::SetParam(int axis, int plane, int grid, float* const rgb)
{
    SetParam(axis, plane, grid);
    if (rgb)
        for (int i = 0; i < 3; ++i)
            afPlaneColor[i] = rgb[i];
}

void AuxGlobalPlane::GetParam(int& axis, int& plane, int& grid)
{
    axis = AuxSysCoord::bAxisFlag ? 1 : 0;
    plane = bPlaneFlag ? 1 : 0;
    grid = bGridFlag ? 1 : 0;
}

void AuxGlobalPlane::GetParam(int& axis, int& plane, int& grid, float* const rgb)
{
    GetParam(axis, plane, grid);
    if (rgb)
        for (int i = 0; i < 3; ++i)
            rgb[i] = afPlaneColor[i];
}

void AuxGlobalPlane::SetState(GlobalItem item, bool on)
{
    if (item == GLOBAL_GRID)
        bGridFlag = on;
    else if (item == GLOBAL_PLANE)
        bPlaneFlag = on;
}

bool AuxGlobalPlane::GetState(GlobalItem item) const
{
    return item == GLOBAL_GRID ? bGridFlag : bPlaneFlag;
}

void AuxGlobalPlane::Create(KytScene* scene)
{
    if (scene)
        FitView(scene->GetViewPort());
}

void AuxGlobalPlane::FitView(const KytViewPort* viewport)
{
    if (!viewport)
        return;
    const float r = static_cast<float>(viewport->GetEyeDistance());
    switch (KYT_GetUpAxis()) {
    case 1: UpIndex = 1; UIndex = 0; VIndex = 2; break;
    case 2: UpIndex = 2; UIndex = 1; VIndex = 0; break;
    default: UpIndex = 0; UIndex = 2; VIndex = 1; break;
    }
    for (int i = 0; i < 3; ++i)
        Normal[i] = i == UpIndex ? 1.0f : 0.0f;
    float a = 0.0f, b = 0.0f;
    if (const KytCamera* camera = viewport->GetActiveCamera()) {
        const WqVector3D& at = camera->GetLookAtPosition();
        a = static_cast<float>(at[UIndex]);
        b = static_cast<float>(at[VIndex]);
    }
    const float up = static_cast<float>(KYT_GetUpOffset());
    auto put = [&](float* p, float u, float v) {
        p[UpIndex] = up;
        p[UIndex] = u;
        p[VIndex] = v;
    };
    put(Corners[0], a - r, b - r);
    put(Corners[1], a + r, b - r);
    put(Corners[2], a + r, b + r);
    put(Corners[3], a - r, b + r);
    put(GridLines[0], a - r, b - r);
    put(GridLines[1], a - r, b + r);
    put(GridLines[2], a - r, b - r);
    put(GridLines[3], a + r, b - r);
    GridStep = 2.0f * r / static_cast<float>(nDevCnt);

    const float* back = KytScene::afBackColor;
    float g[3];
    for (int i = 0; i < 3; ++i)
        g[i] = 1.0f - back[i];
    if (back[0] == 0.0f && back[1] == 0.0f && back[2] == 0.0f) {
        for (float& c : g)
            c /= 3.0f;
    } else if (std::fabs(g[0] - back[0]) <= 0.1f && std::fabs(g[1] - back[1]) <= 0.1f &&
               std::fabs(g[2] - back[2]) <= 0.1f) {
        for (int i = 0; i < 3; ++i)
            g[i] = back[i] < 0.5f ? 1.0f : 0.0f;
    }
    for (int i = 0; i < 3; ++i)
        GridColor[i] = g[i];
}

void AuxGlobalPlane::Draw()
{
    if (IsDraw() && (bGridFlag || bPlaneFlag))
        DrawPlane();
}

void AuxGlobalPlane::DrawPlane()
{
    // Some drivers do not give the width back at the outer pop when the anti-aliased grid
    // toggled line smoothing under an inner push: it is restored by hand as well.
    GLfloat width = 1.0f;
    glGetFloatv(GL_LINE_WIDTH, &width);
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_LINE_BIT);
    if (bPlaneFlag) {
        glEnable(GL_LIGHTING);
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, afPlaneColor);
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
        // Source alpha for both factors, as stored pictures of the ground were made with.
        glBlendFunc(GL_SRC_ALPHA, GL_SRC_ALPHA);
        glEnable(GL_BLEND);
        glDepthMask(GL_FALSE);
        glCullFace(GL_BACK);
        glEnable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT, GL_FILL);
        glBegin(GL_POLYGON);
        glNormal3fv(Normal);
        for (int i = 3; i >= 0; --i)
            glVertex3fv(Corners[i]);
        glEnd();
        glDepthMask(GL_TRUE);
        glPopAttrib();
    }
    if (bGridFlag) {
        // Stepped on copies, so the fitted lines stay as they are.
        float lines[4][3];
        std::memcpy(lines, GridLines, sizeof lines);
        const bool smooth = KytOgl::bLineAntiAlias;
        if (smooth) {
            glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
            glEnable(GL_LINE_SMOOTH);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        }
        glDisable(GL_LIGHTING);
        glColor4fv(GridColor);
        glLineWidth(1.0f);
        glBegin(GL_LINES);
        for (int step = 0; step <= nDevCnt; ++step) {
            glVertex3fv(lines[0]);
            glVertex3fv(lines[1]);
            glVertex3fv(lines[2]);
            glVertex3fv(lines[3]);
            lines[0][UIndex] += GridStep;
            lines[1][UIndex] += GridStep;
            lines[2][VIndex] += GridStep;
            lines[3][VIndex] += GridStep;
        }
        glEnd();
        if (smooth)
            glPopAttrib();
    }
    glPopAttrib();
    glLineWidth(width);
}
