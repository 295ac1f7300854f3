#include "scene/view/KytPreViewContents.h"

#include "scene/annotation/AuxAxis.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "platform/kernel/KytLink.h"

#include <GL/gl.h>

void KytPreViewContents::Draw(KytLink* link, int /*targetMode*/)
{
    if (!link || !IsDraw() || !IsShown(link))
        return;
    bAlphaPass = link->IsTransparent();
    if (!PreDraw())
        return;
    // The back colour's alpha is given back as it was, not forced to opaque.
    const float savedBackAlpha = afPartBackFaceColor[3];
    const bool backMode = pOgl && pOgl->IsDrawBackFace();
    const bool backAlphaSet = bBackFaceColor && (backMode || bAlphaPass ||
                                                 eDrawType == DRAWTYPE_ALPHA_EDGE);
    if (backMode || bAlphaPass) {
        fAlphaValue = link->fAlpha;
        if (bBackFaceColor)
            afPartBackFaceColor[3] = link->fAlpha;
    }
    const bool allAlpha = eDrawType == DRAWTYPE_ALPHA_EDGE;
    GLboolean depthTest = GL_TRUE, depthMask = GL_TRUE, blend = GL_FALSE;
    if (allAlpha) {
        depthTest = glIsEnabled(GL_DEPTH_TEST);
        blend = glIsEnabled(GL_BLEND);
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        bAlphaPass = true;
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        if (bDisableAlphaDepthTest) {
            glDisable(GL_DEPTH_TEST);
            glDepthMask(GL_FALSE);
        }
        if (bBackFaceColor)
            SetBackAlpha(0.6f);
        fAlphaValue = 0.6f;
    }
    glLoadName(1);
    glPushName(0xFFFFFFFFu);
    if (link->pShape) {
        // The chosen link itself is always drawn, target or not.
        const bool saved = bTargetOnly;
        bTargetOnly = false;
        DrawSingleLink(link);
        bTargetOnly = saved;
    }
    DrawTargetLinks(link->GetChild(), false);
    glPopName();
    if (allAlpha) {
        // Depth test, depth writes and blending as the caller had them.
        if (depthTest)
            glEnable(GL_DEPTH_TEST);
        else
            glDisable(GL_DEPTH_TEST);
        glDepthMask(depthMask);
        if (blend)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        bAlphaPass = false;
    }
    if (backAlphaSet)
        SetBackAlpha(savedBackAlpha);
    if (bClipEnabled)
        DisableClipPlanes();
}

void KytPreViewContents::DrawTargetLinks(KytLink* link, bool single)
{
    const bool targetOnly = bTargetOnly;
    const bool cullTest = bCullTest;
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        bCullTest = cullTest;
        if (!IsShown(l))
            continue;
        const int cull = CheckCulling(l, bContributionOn);
        if (cull == 0)
            continue;
        if (cull != 1) {
            DrawSingleLink(l);
            if (l->bTarget)
                bTargetOnly = false;
        }
        if (KytLink* child = l->GetChild())
            DrawTargetLinks(child, false);
        bTargetOnly = targetOnly;
    }
    bCullTest = cullTest;
}

bool KytPreViewContents::DrawSingleLink(KytLink* link)
{
    if (bTargetOnly && !link->bTarget)
        return false;
    KytShape* shape = link->pShape;
    if (!shape || !(link->nType & nLinkTypeMask))
        return true;
    KytPickNames::LoadName(link);
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    if (pAxis)
        pAxis->Draw();
    if (eDrawType == DRAWTYPE_ALPHA_EDGE) {
        DrawAlphaEdge(link, shape, false);
    } else if (bAlphaPass) {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        glDepthMask(GL_FALSE);
        DrawTriangles(link, shape, false);
        glDisable(GL_BLEND);
        glDepthMask(GL_TRUE);
    } else {
        DrawTriangles(link, shape, false);
    }
    glPopMatrix();
    return true;
}
