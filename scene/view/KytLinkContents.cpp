#include "scene/view/KytLinkContents.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "scene/annotation/AuxAxis.h"
#include "scene/annotation/AuxCamera.h"
#include "scene/annotation/AuxDatum.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"

namespace {
constexpr double kTiny = 2.220446e-16;
const float kFocusBackGrey[4] = {0.4f, 0.4f, 0.4f, 0.4f};
const float kSpecular[4] = {0.8f, 0.8f, 0.8f, 1.0f};
const float kRed[4] = {1, 0, 0, 1};
const float kGreen[4] = {0, 1, 0, 1};

const KytCamera* CameraOf(const KytViewPort* viewport)
{
    return viewport ? viewport->GetActiveCamera() : nullptr;
}

bool IsFocus(const KytLinkContents& c, const KytLink* link)
{
    return link && (link == c.pFocusLink1 || link == c.pFocusLink2);
}
}  // namespace

KytLinkContents::KytLinkContents() : KytContents(0u), bContributionOn(bContribution)
{
    pAxis = new AuxAxis(2, 4.0f);
    pAxis->SetColor(0.6f, 0.6f, 0.6f);
    pWorkAxis = new AuxWorkAxis(3, 3.0f);
    pWorkAxis->SetDraw(false);
    pDatum = new AuxDatum(6);
    pCameraGlyph = new AuxCamera(4);
}

KytLinkContents::~KytLinkContents()
{
    delete pAxis;
    delete pWorkAxis;
    delete pDatum;
    delete pCameraGlyph;
}

// ---------------------------------------------------------------------------------------------
// Life

void KytLinkContents::Create(KytScene* scene)
{
    if (!scene)
        return;
    pViewPort = scene->GetViewPort();
    pOgl = scene->GetOgl();
    pAxis->Create(pOgl);
    pWorkAxis->Create(scene);
    pDatum->Create(scene);
    pCameraGlyph->Create(scene);
    if (pViewPort)
        MakePointMark(pViewPort->GetViewRadius());
    FitView(pViewPort);
    if (scene->GetRootLink()) {
        nShapeCnt = KytScenes::nShapeCnt;
        MakeDisp(KYT_GetTopShape(), pOgl);
    }
}

void KytLinkContents::Destroy()
{
    KytContents::Destroy();
    DisableClipPlanes();
    std::fill(std::begin(apClipLink), std::end(apClipLink), nullptr);
    nClipCnt = 0;
    pAxis->Destroy();
    pWorkAxis->Destroy();
    pDatum->Destroy();
    pCameraGlyph->Destroy();
}

void KytLinkContents::FitView(const KytViewPort* viewport)
{
    if (!viewport)
        return;
    const double s = viewport->GetViewRadius();
    pAxis->SetSize(static_cast<float>(1.5 * s * fLocalRate), static_cast<float>(s * fLocalAxisRate));
    pWorkAxis->SetSize(static_cast<float>(2.0 * s * fLocalRate),
                       static_cast<float>(s * fLocalAxisRate));
    pDatum->FitView(viewport);
    pCameraGlyph->FitView(viewport);
    MakePointMark(s);
}

void KytLinkContents::MakePointMark(double size)
{
    fPointMarkSize = static_cast<float>(size * lfPointMarkRate);
    fPointMarkSizeNeg = -fPointMarkSize;
}

void KytLinkContents::Copy(const KytContents* source)
{
    if (!source)
        return;
    KytContents::Copy(source);
    const auto* src = dynamic_cast<const KytLinkContents*>(source);
    if (!src)
        return;
    nClipCnt = src->nClipCnt;
    std::copy(std::begin(src->apClipLink), std::end(src->apClipLink), apClipLink);
    bClipEnabled = src->bClipEnabled;
    eDrawType = src->eDrawType;
    ePrevDrawType = src->ePrevDrawType;
}

void KytLinkContents::Copy(const KytLinkContents* source)
{
    if (!source || source == this)
        return;
    KytContents::Copy(source);
    std::memcpy(abClipCut, source->abClipCut, sizeof abClipCut);
    std::copy(std::begin(source->apClipLink), std::end(source->apClipLink), apClipLink);
    nClipCnt = source->nClipCnt;
    eDrawType = source->eDrawType;
    ePrevDrawType = source->ePrevDrawType;
    fAlphaValue = source->fAlphaValue;
    lfPointMarkRate = source->lfPointMarkRate;
    pFocusLink1 = source->pFocusLink1;
    pFocusLink2 = source->pFocusLink2;
    bPointMode = source->bPointMode;
    bContributionOn = source->bContributionOn;
    bDrawAlpha = source->bDrawAlpha;
    bSectionLine = source->bSectionLine;
    bWireBoxOnly = source->bWireBoxOnly;
    bClipEnabled = source->bClipEnabled;
    bClipAllowed = source->bClipAllowed;
    nMaterialFace = source->nMaterialFace;
    bViewClip = source->bViewClip;
    vViewClipPoint = source->vViewClipPoint;
    pAxis->SetDraw(source->pAxis->IsDraw());
    pWorkAxis->SetDraw(source->pWorkAxis->IsDraw());
    pDatum->SetDraw(source->pDatum->IsDraw());
    pCameraGlyph->SetDraw(source->pCameraGlyph->IsDraw());
    if (pOgl)
        MakeDisp(KYT_GetTopShape(), pOgl);
}

void KytLinkContents::CopyClipInfo(const KytLinkContents* source)
{
    if (!source || source == this)
        return;
    bViewClip = source->bViewClip;
    vViewClipPoint = source->vViewClipPoint;
    std::copy(std::begin(source->apClipLink), std::end(source->apClipLink), apClipLink);
    nClipCnt = source->nClipCnt;
    std::copy(std::begin(source->avClipNormal), std::end(source->avClipNormal), avClipNormal);
    std::memcpy(alfClipOffset, source->alfClipOffset, sizeof alfClipOffset);
    std::memcpy(alfClipScale, source->alfClipScale, sizeof alfClipScale);
}

bool KytLinkContents::SetSubContsState(unsigned int which, bool draw)
{
    switch (which) {
    case 2: pAxis->SetDraw(draw); return true;
    case 3: pWorkAxis->SetDraw(draw); return true;
    case 6: pDatum->SetDraw(draw); return true;
    default: return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Draw-type state

unsigned int KytLinkContents::MakeDisp(KytShape*, KytOgl* ogl)
{
    eColorMode = COLORMODE_NORMAL;
    bool lighting = true;
    GLenum shade = GL_SMOOTH;
    bool setShade = true;
    GLenum polygon = GL_FILL;
    enum { BACK_ALWAYS, BACK_OFF, BACK_KEEP } back = BACK_ALWAYS;
    switch (eDrawType) {
    case DRAWTYPE_BOX: shade = GL_FLAT; break;
    case DRAWTYPE_WIREBOX:
    case DRAWTYPE_EDGE:
        lighting = false;
        setShade = false;
        polygon = GL_LINE;
        back = BACK_OFF;
        break;
    case DRAWTYPE_WIRE:
        lighting = false;
        setShade = false;
        polygon = GL_LINE;
        break;
    case DRAWTYPE_HIDDENLINE:
    case DRAWTYPE_SHADE_EDGE:
        lighting = false;
        setShade = false;
        back = BACK_OFF;
        break;
    case DRAWTYPE_ALPHA_EDGE: back = BACK_OFF; break;
    case DRAWTYPE_FOCUS_ALPHA: back = BACK_KEEP; break;
    case DRAWTYPE_MATERIAL: eColorMode = COLORMODE_MATERIAL; break;
    case DRAWTYPE_RECYCLE: eColorMode = COLORMODE_RECYCLE; break;
    default: break;
    }
    bLighting = lighting;
    if (lighting)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
    if (setShade)
        glShadeModel(shade);
    glPolygonMode(GL_FRONT_AND_BACK, polygon);
    if (ogl && back != BACK_KEEP)
        ogl->SetBackFaceMode(back == BACK_ALWAYS && KytOgl::bAllwaysBackFaceDraw, nClipCnt);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Clip planes

int KytLinkContents::GetClipCnt() const
{
    if (nClipCnt == 0 && bViewClip)
        return 1;
    return nClipCnt;
}

KytLink* KytLinkContents::GetClipLink(int index) const
{
    return index >= 0 && index < 5 ? apClipLink[index] : nullptr;
}

bool KytLinkContents::AddClipPlane(KytLink* link)
{
    if (!link)
        return false;
    for (KytLink*& slot : apClipLink) {
        if (slot)
            continue;
        slot = link;
        ++nClipCnt;
        bClipEnabled = EnableClipPlanes();
        return true;
    }
    return false;
}

bool KytLinkContents::RemoveClipPlane(KytLink* link)
{
    int found = -1;
    for (int i = 0; i < 5; ++i)
        if (link && apClipLink[i] == link) {
            found = i;
            break;
        }
    if (found < 0)
        return false;
    --nClipCnt;
    for (int i = found; i < 5; ++i) {
        const bool used = apClipLink[i] != nullptr;
        apClipLink[i] = i + 1 < 5 ? apClipLink[i + 1] : nullptr;
        if (used)
            glDisable(GL_CLIP_PLANE0 + i);
    }
    return true;
}

bool KytLinkContents::EnableClipPlanes()
{
    if (!bClipAllowed)
        return false;
    bool any = false;
    if (bViewClip) {
        if (const KytCamera* camera = CameraOf(pViewPort)) {
            const WqVector3D n = -camera->GetEyeOrientation();
            const double eq[4] = {n.x, n.y, n.z, -n.Dot(vViewClipPoint)};
            glClipPlane(GL_CLIP_PLANE5, eq);
            glEnable(GL_CLIP_PLANE5);
            any = true;
        }
    }
    if (apClipLink[0] && CalcClipParameter(false))
        any = true;
    return any;
}

bool KytLinkContents::CalcClipParameter(bool computeOnly)
{
    bool any = false;
    for (int i = 0; i < 5 && apClipLink[i]; ++i) {
        const KytLink* link = apClipLink[i];
        WqVector3D axis = link->mech.mRot.Column(2);
        const WqVector3D& origin = link->mech.vPos;
        const double l2 = axis.Length2();
        alfClipScale[i] = l2 > kTiny ? 1.0 / l2 : 1.0;
        axis.Normarize();
        avClipNormal[i] = axis;
        alfClipOffset[i] = origin.Dot(axis);
        if (!computeOnly) {
            const WqVector3D n = link->bSectionSide ? axis : -axis;
            const double eq[4] = {n.x, n.y, n.z, -n.Dot(origin)};
            glClipPlane(GL_CLIP_PLANE0 + i, eq);
            glEnable(GL_CLIP_PLANE0 + i);
        }
        any = true;
    }
    return any;
}

void KytLinkContents::DisableClipPlanes()
{
    if (bViewClip)
        glDisable(GL_CLIP_PLANE5);
    for (int i = 0; i < 5; ++i)
        if (apClipLink[i])
            glDisable(GL_CLIP_PLANE0 + i);
}

void KytLinkContents::SetClipPlanes(bool on)
{
    for (int i = 0; i < 5; ++i)
        if (apClipLink[i])
            (on ? glEnable : glDisable)(GL_CLIP_PLANE0 + i);
}

bool KytLinkContents::CheckClipping(const KytLink* link, bool& cut)
{
    cut = false;
    std::memset(abClipCut, 0, sizeof abClipCut);
    if (!link)
        return true;
    // The centre of the link at hand: the walk may come here without a culling test first.
    const WqVector3D centre = link->mech.GetAbsPos(link->vGeomCen);
    const double r = link->GetRadius();
    for (int i = 0; i < 5 && apClipLink[i]; ++i) {
        const bool side = apClipLink[i]->bSectionSide;
        const WqVector3D& n = avClipNormal[i];
        const double s = (alfClipOffset[i] - n.Dot(centre)) * alfClipScale[i];
        const bool removed = side ? s > 0.0 : s < 0.0;
        if (std::fabs(s) > r) {
            if (removed)
                return true;
            continue;
        }
        if (!bSectionLine)
            continue;
        if (!link->bHasBox)
            return true;
        bool positive = false, negative = false;
        double first = 0.0;
        for (int k = 0; k < 8; ++k) {
            const double sk = alfClipOffset[i] - n.Dot(link->mech.GetAbsPos(link->aBoxCorner[k]));
            if (k == 0)
                first = sk;
            positive = positive || sk > 0.0;
            negative = negative || sk < 0.0;
        }
        if (positive && negative) {
            cut = true;
            abClipCut[i] = 1;
        } else if (side ? first > 0.0 : first < 0.0) {
            return true;
        }
    }
    return false;
}

void KytLinkContents::ClipPoint(WqVector3D& a, WqVector3D& b) const
{
    for (int i = 0; i < 5 && apClipLink[i]; ++i) {
        const WqVector3D& n = avClipNormal[i];
        a += n * (alfClipOffset[i] - n.Dot(a));
        b += n * (alfClipOffset[i] - n.Dot(b));
    }
}

int KytLinkContents::CheckBackFace(const KytTriangle& t, const float dir[3]) const
{
    if (!t.pFaceNormal)
        return 0;
    const float* n = t.pFaceNormal->fv();
    return n[0] * dir[0] + n[1] * dir[1] + n[2] * dir[2] < 0.0f ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Frame

bool KytLinkContents::PreDraw()
{
    if (!pOgl)
        return false;
    bCullTest = true;
    bClipEnabled = EnableClipPlanes();
    nTargetPass = 0;
    if (!pOgl->IsDrawBackFace()) {
        nMaterialFace = GL_FRONT;
    } else if (bBackFaceColor) {
        if (bLighting) {
            glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE,
                         pFocusLink1 && pFocusLink2 ? kFocusBackGrey : afPartBackFaceColor);
        } else {
            glColorMaterial(GL_BACK, GL_AMBIENT_AND_DIFFUSE);
            glColor4fv(afPartBackFaceColor);
            glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
        }
        nMaterialFace = GL_FRONT;
    } else {
        nMaterialFace = GL_FRONT_AND_BACK;
    }
    if (bLighting) {
        glMateriali(nMaterialFace, GL_SHININESS, 120);
        glMaterialfv(GL_FRONT, GL_SPECULAR, kSpecular);
    }
    const double size = pViewPort ? pViewPort->GetViewRadius() : 0.0;
    lfContRate = lfContributionRate * size;
    if (const KytCamera* camera = CameraOf(pViewPort)) {
        vViewDir = camera->GetEyeOrientation();
        lfEyePlane = vViewDir.Dot(camera->GetLookAtPosition());
        // Screen axes: the up vector made square to the view direction, and the one across.
        vScreenUp = camera->GetViewUpVector();
        vScreenUp -= vViewDir * vScreenUp.Dot(vViewDir);
        if (!vScreenUp.Normarize())
            vScreenUp = WqVector3D(0, 1, 0);
        vScreenAcross = vViewDir.Cross(vScreenUp);
    }
    if (Sphere.bSphereMode && Sphere.pLinks) {
        WqVector3D min(1e300, 1e300, 1e300), max(-1e300, -1e300, -1e300);
        for (KytLink* l : *Sphere.pLinks)
            if (l)
                l->GetBoundingBox(&min, &max, false, -1, true);
        const WqVector3D diagonal = max - min;
        const double length = diagonal.Length2() > 0.0 && min.x <= max.x ? diagonal.Length() : 0.0;
        const WqVector3D centre = length > 0.0 ? (min + max) * 0.5 : WqVector3D();
        Sphere.vCenter[0] = centre.x;
        Sphere.vCenter[1] = centre.y;
        Sphere.vCenter[2] = centre.z;
        Sphere.lfRadius = length > kTiny ? Sphere.lfRate * length * 0.5 : 0.0;
    }
    const double aspect = pViewPort ? pViewPort->GetAspect() : 1.0;
    lfHalfHeight = aspect < 1.0 && aspect > 0.0 ? size / aspect : size;
    lfHalfWidth = lfHalfHeight * aspect;
    bColorSet = false;
    pColor = nullptr;
    return true;
}

bool KytLinkContents::IsShown(const KytLink* link) const
{
    return link->IsVisible() ||
           (eDrawType == DRAWTYPE_CUSTOM_COLOR && KytCustomColor::IsEnableVisible());
}

void KytLinkContents::SetBackAlpha(float alpha) const
{
    afPartBackFaceColor[3] = alpha;
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, afPartBackFaceColor);
}

void KytLinkContents::Draw(KytLink* root, int targetMode)
{
    if (!root || !m_bDraw || !IsShown(root) || !PreDraw())
        return;
    glLoadName(1);
    glPushName(0xFFFFFFFFu);
    // Parts are drawn with thin lines; what is drawn after them keeps its own width.
    GLfloat width = 1.0f;
    glGetFloatv(GL_LINE_WIDTH, &width);
    glLineWidth(1.0f);
    bAlphaPass = true;
    bool walk = true;
    switch (eDrawType) {
    case DRAWTYPE_SHADE:
    case DRAWTYPE_BOX:
    case DRAWTYPE_PROPERTY_13:
    case DRAWTYPE_PROPERTY_12:
    case DRAWTYPE_PROPERTY_44:
        if (eColorMode == COLORMODE_NORMAL)
            bAlphaPass = false;
        break;
    case DRAWTYPE_FOCUS_ALPHA:
        DrawAlphaPolygon(root);
        walk = false;
        break;
    case DRAWTYPE_HIDDENLINE:
    case DRAWTYPE_SHADE_EDGE:
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(0.5f, 1.0f);
        glDepthFunc(GL_LEQUAL);
        break;
    default: break;
    }
    if (walk) {
        if (KytScenes::pTargetStack && KytScene::bShowTargetLink)
            DrawTargetOnlyMode(root, targetMode);
        else
            DrawNormalMode(root, targetMode);
    }
    if (bClipEnabled)
        DisableClipPlanes();
    glPopName();
    glDisable(GL_POLYGON_OFFSET_FILL);
    glLineWidth(width);
}

void KytLinkContents::WalkRoot(KytLink* root)
{
    if (root->pShape)
        DrawLink(root, true);
    else if (KytLink* child = root->GetChild())
        DrawLink(child, false);
}

void KytLinkContents::BeginAllTransparent()
{
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

void KytLinkContents::EndAllTransparent()
{
    // The back colour goes back to opaque, as after the alpha pass of the other types.
    if (bBackFaceColor)
        SetBackAlpha(1.0f);
    if (bDisableAlphaDepthTest) {
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
    }
    glDisable(GL_BLEND);
}

void KytLinkContents::DrawNormalMode(KytLink* root, int targetMode)
{
    if (bWireBoxOnly) {
        glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT);
        glDisable(GL_LIGHTING);
        if (root->pShape)
            DrawWireBox(root, true);
        else if (KytLink* child = root->GetChild())
            DrawWireBox(child, false);
        glPopAttrib();
        return;
    }
    nTargetPass = targetMode;
    bCullTest = targetMode != 2;
    if (eDrawType == DRAWTYPE_ALPHA_EDGE) {
        BeginAllTransparent();
        WalkRoot(root);
        EndAllTransparent();
        return;
    }
    if ((eDrawType != DRAWTYPE_SHADE && eDrawType != DRAWTYPE_CUSTOM_COLOR) || !bDrawAlpha ||
        KytScenes::AlphaStack.IsEmpty()) {
        bAlphaPass = bDrawAlpha;
        WalkRoot(root);
        bAlphaPass = false;
        return;
    }
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ZERO);
    bAlphaPass = false;
    WalkRoot(root);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (bDisableAlphaDepthTest) {
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
    }
    DrawAlphaLinks(nullptr);
    if (bDisableAlphaDepthTest) {
        glEnable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
    }
    glDisable(GL_BLEND);
}

void KytLinkContents::DrawAlphaLinks(const KytStack<KytLink>* stack)
{
    const KytStack<KytLink>& list = stack ? *stack : KytScenes::AlphaStack;
    bAlphaPass = true;
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (bBackFaceColor)
        SetBackAlpha(0.6f);
    for (KytLink* link : list) {
        if (!link)
            continue;
        if (eDrawType != DRAWTYPE_CUSTOM_COLOR) {
            fAlphaValue = link->fAlpha;
            DrawLink(link, true);
            continue;
        }
        bool cut = false;
        if (bClipEnabled && CheckClipping(link, cut))
            continue;
        KytPickNames::LoadName(link);
        glPushMatrix();
        KytOgl::MultMatrix(link->mech);
        if (link->pShape && DrawCustomAlphaColor(link, link->pShape, cut) && cut && bSectionLine)
            DrawSectionLine(link);
        glPopMatrix();
    }
    if (bBackFaceColor)
        SetBackAlpha(1.0f);
}

void KytLinkContents::DrawAlphaPolygon(KytLink* root)
{
    const bool savedMoving = bViewMoving;
    const bool savedBackColor = bBackFaceColor;
    const bool savedFocusInWalk = bDrawFocusInWalk;
    bAlphaPass = false;
    bViewMoving = false;
    nMaterialFace = GL_FRONT;
    KytLink* focus[2] = {pFocusLink1, pFocusLink2};
    for (int i = 0; i < 2; ++i) {
        KytLink* link = focus[i];
        if (!link || !link->pShape)
            continue;
        if (link->bGeomCenStale)
            link->SetGeomCEN();
        vLinkCenter = link->mech.GetAbsPos(link->vGeomCen);
        glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, i == 0 ? kRed : kGreen);
        DrawShape(link);
    }
    bAlphaPass = true;
    bDrawFocusInWalk = false;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    if (bDisableAlphaDepthTest) {
        glDepthMask(GL_FALSE);
        glDisable(GL_DEPTH_TEST);
    }
    fAlphaValue = 0.6f;
    const bool drawBack = pOgl && pOgl->IsDrawBackFace();
    bool clearedBack = false;
    if (pFocusLink1 && pFocusLink2) {
        bBackFaceColor = true;
        nMaterialFace = drawBack ? GL_FRONT_AND_BACK : GL_FRONT;
    } else {
        bBackFaceColor = false;
        if (pOgl && drawBack) {
            pOgl->SetBackFaceFlag(false);
            clearedBack = true;
        }
    }
    DrawLink(root, true);
    if (clearedBack)
        pOgl->SetBackFaceFlag(true);
    if (bDisableAlphaDepthTest)
        glDepthMask(GL_TRUE);
    glPopAttrib();
    bBackFaceColor = savedBackColor;
    bDrawFocusInWalk = savedFocusInWalk;
    bViewMoving = savedMoving;
}

// ---------------------------------------------------------------------------------------------
// The walk

template <class Walk>
void KytLinkContents::DrawWithSwitches(KytLink* link, bool draw, Walk&& children)
{
    const bool switched = draw && link == pFocusLink1 && eDrawType == DRAWTYPE_WIREBOX;
    if (switched) {
        eDrawType = DRAWTYPE_BOX;
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    }
    const bool unclip = draw && bClipEnabled && link->bNoClip;
    if (unclip) {
        DisableClipPlanes();
        bClipEnabled = false;
    }
    if (draw)
        DrawSingleLink(link);
    children();
    if (unclip) {
        bClipEnabled = true;
        SetClipPlanes(true);
        if (bViewClip)
            glEnable(GL_CLIP_PLANE5);
    }
    if (switched) {
        eDrawType = DRAWTYPE_WIREBOX;
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    }
}

void KytLinkContents::DrawLink(KytLink* link, bool single)
{
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (!IsShown(l))
            continue;
        if (!bAlphaPass && eDrawType != DRAWTYPE_CUSTOM_COLOR && l->IsTransparent())
            continue;
        KytLink* child = l->GetChild();
        if (!bDrawFocusInWalk && IsFocus(*this, l)) {
            if (child)
                DrawLink(child, false);
            continue;
        }
        const bool savedEcho = bEchoActive;
        const bool savedCull = bCullTest;
        if (l->bActive && !KytScene::bShowTargetLink && KytScene::bEchoActiveLink) {
            bEchoActive = true;
            if (l->nType == KYT_LINK_HUMAN) {
                if (nTargetPass != 1)
                    DrawLinkHuman(l, true);
            } else {
                DrawLinkActive(l, true);
            }
            bEchoActive = savedEcho;
            bCullTest = savedCull;
            continue;
        }
        bool draw = false;
        bool chosen = false;
        switch (l->nType) {
        case KYT_LINK_ASSEMBLY:
        case KYT_LINK_GROUP:
            break;
        case KYT_LINK_PART:
        case KYT_LINK_KIND2048:
        case KYT_LINK_NOHANDLE:
        case KYT_LINK_SOLIDPART: {
            if (nTargetPass == 2)
                break;
            const int cull = CheckCulling(l, bContributionOn);
            if (cull == 0) {
                bCullTest = savedCull;
                continue;
            }
            if (cull == 1)
                break;
            if (l->nType != KYT_LINK_SOLIDPART && Sphere.bSphereMode && !l->bActive && l->pShape &&
                CheckNearestLink(l)) {
                bCullTest = savedCull;
                continue;
            }
            if ((eDrawType == DRAWTYPE_MATERIAL || eDrawType == DRAWTYPE_RECYCLE) && !bColorSet)
                chosen = ChangeMaterialColor(l);
            draw = true;
            break;
        }
        case KYT_LINK_HUMAN:
            if (nTargetPass != 1)
                DrawLinkHuman(l, true);
            bCullTest = savedCull;
            continue;
        default:
            draw = nTargetPass != 1;
            break;
        }
        DrawWithSwitches(l, draw, [&] {
            if (child)
                DrawLink(child, false);
        });
        bEchoActive = savedEcho;
        bCullTest = savedCull;
        ReleaseColor(chosen);
    }
}

void KytLinkContents::DrawLinkActive(KytLink* link, bool single)
{
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (!IsShown(l) || (l->IsTransparent() && !bAlphaPass))
            continue;
        KytLink* child = l->GetChild();
        const bool savedCull = bCullTest;
        bool draw = false;
        bool chosen = false;
        if (l->nType == KYT_LINK_PART || l->nType == KYT_LINK_NOHANDLE) {
            if (nTargetPass != 2) {
                const int cull = CheckCulling(l, bContributionOn);
                if (cull == 0) {
                    bCullTest = savedCull;
                    continue;
                }
                if (cull == 2) {
                    if ((eDrawType == DRAWTYPE_MATERIAL || eDrawType == DRAWTYPE_RECYCLE) &&
                        !bColorSet)
                        chosen = ChangeMaterialColor(l);
                    draw = true;
                }
            }
        } else if (l->nType == KYT_LINK_HUMAN) {
            DrawLinkHuman(l, true);
            bCullTest = savedCull;
            continue;
        } else {
            draw = nTargetPass != 1;
        }
        DrawWithSwitches(l, draw, [&] {
            if (child)
                DrawLinkActive(child, false);
        });
        bCullTest = savedCull;
        ReleaseColor(chosen);
    }
}

void KytLinkContents::DrawLinkHuman(KytLink* link, bool single)
{
    const bool unclip = single && bClipEnabled;
    if (unclip) {
        DisableClipPlanes();
        bClipEnabled = false;
    }
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (!IsShown(l))
            continue;
        KytLink* child = l->GetChild();
        if (!bDrawFocusInWalk && IsFocus(*this, l)) {
            if (child)
                DrawLinkHuman(child, false);
            continue;
        }
        const bool savedCull = bCullTest;
        const bool savedEcho = bEchoActive;
        const int cull = CheckCulling(l, bContributionOn);
        if (cull == 0) {
            bCullTest = savedCull;
            continue;
        }
        const bool switched = l == pFocusLink1 && eDrawType == DRAWTYPE_WIREBOX;
        if (switched) {
            eDrawType = DRAWTYPE_BOX;
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        }
        if (cull == 2 && l->pShape) {
            if (l->bActive)
                bEchoActive = true;
            KytPickNames::LoadName(l);
            glPushMatrix();
            KytOgl::MultMatrix(l->mech);
            DrawShapeHuman(l);
            glPopMatrix();
        }
        if (child)
            DrawLinkHuman(child, false);
        if (switched) {
            eDrawType = DRAWTYPE_WIREBOX;
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        }
        bEchoActive = savedEcho;
        bCullTest = savedCull;
    }
    if (unclip) {
        bClipEnabled = true;
        SetClipPlanes(true);
        if (bViewClip)
            glEnable(GL_CLIP_PLANE5);
    }
}

void KytLinkContents::ReleaseColor(bool chosenHere)
{
    if (!chosenHere)
        return;
    bColorSet = false;
    pColor = nullptr;
    bColorOpaque = false;
    bColorBlend = false;
}

void KytLinkContents::DrawTargetOnlyMode(KytLink* root, int targetMode)
{
    KytStack<KytLink>* targets = KytScenes::pTargetStack;
    if (bWireBoxOnly) {
        glPushAttrib(GL_LIGHTING_BIT);
        glDisable(GL_LIGHTING);
        nTargetPass = 1;
        if (targets)
            for (KytLink* t : *targets)
                if (t)
                    DrawWireBox(t, true);
        nTargetPass = 2;
        DrawWireBox(root, true);
        glPopAttrib();
        return;
    }
    KytStack<KytLink> local;
    if (targetMode != 2 && targets && !targets->IsEmpty()) {
        bCullTest = true;
        nTargetPass = 1;
        if (eDrawType == DRAWTYPE_SHADE || eDrawType == DRAWTYPE_CUSTOM_COLOR) {
            for (KytLink* target : *targets) {
                if (!target)
                    continue;
                bool transparent = false;
                for (const KytLink* l = target; l; l = l->GetParent()) {
                    if (l->IsTransparent()) {
                        transparent = true;
                        break;
                    }
                    if (l->nType == KYT_LINK_ASSEMBLY)
                        break;
                }
                if (transparent) {
                    local.Push(target);
                } else {
                    CollectTransparent(target, local);
                    bAlphaPass = false;
                    DrawLink(target, true);
                }
                if (!local.IsEmpty() && bDrawAlpha) {
                    glEnable(GL_BLEND);
                    glEnable(GL_DEPTH_TEST);
                    DrawAlphaLinks(&local);
                    glDisable(GL_BLEND);
                    bAlphaPass = false;
                }
                // Each target's transparent links are drawn once, after that target.
                local.RemoveAll();
            }
        } else if (eDrawType == DRAWTYPE_ALPHA_EDGE) {
            BeginAllTransparent();
            for (KytLink* target : *targets)
                if (target)
                    DrawLink(target, true);
            EndAllTransparent();
        } else {
            bAlphaPass = true;
            for (KytLink* target : *targets)
                if (target)
                    DrawLink(target, true);
        }
    }
    if (targetMode != 1) {
        nTargetPass = 2;
        bCullTest = false;
        DrawLink(root, true);
    }
    local.RemoveAll();
}

void KytLinkContents::CollectTransparent(const KytLink* link, KytStack<KytLink>& local) const
{
    for (KytLink* c = link->GetChild(); c; c = c->GetNext()) {
        if (c->nType != KYT_LINK_PART || !c->IsVisible())
            continue;
        if (c->IsTransparent())
            local.Push(c);
        else
            CollectTransparent(c, local);
    }
}

// ---------------------------------------------------------------------------------------------
// Culling

int KytLinkContents::CheckCulling(KytLink* link, bool contribution)
{
    if (link->bGeomCenStale)
        link->SetGeomCEN();
    vLinkCenter = link->mech.GetAbsPos(link->vGeomCen);
    const double r = link->GetRadius();
    const bool hasShape = link->pShape != nullptr;
    const bool hasChild = link->GetChild() != nullptr;
    const KytCamera* camera = CameraOf(pViewPort);
    if (bCullTest && camera) {
        const WqVector3D& D = vViewDir;
        const WqVector3D P = vLinkCenter + D * (lfEyePlane - D.Dot(vLinkCenter));
        const WqVector3D v = P - camera->GetLookAtPosition();
        const double x = std::fabs(v.Dot(vScreenAcross));
        const double y = std::fabs(v.Dot(vScreenUp));
        // In perspective the rectangle is the frustum's section at the look-at plane: a sphere
        // reaching beyond it is tested against the wider section at its far side, and only a
        // sphere whose near side is within the rectangle there counts as wholly inside.
        double outer = 1.0, inner = 1.0;
        if (pViewPort && pViewPort->GetProjectionMode() == 0) {
            const double dist = pViewPort->GetEyeDistance();
            if (dist > kTiny) {
                const double depth = dist + lfEyePlane - D.Dot(vLinkCenter);
                outer = std::max(1.0, (depth + r) / dist);
                inner = std::min(1.0, (depth - r) / dist);
            }
        }
        const double dx = std::max(0.0, x - lfHalfWidth * outer);
        const double dy = std::max(0.0, y - lfHalfHeight * outer);
        if (dx * dx + dy * dy > r * r)
            return hasShape ? 1 : 0;
        if (hasChild && inner > 0.0 && x + r <= lfHalfWidth * inner &&
            y + r <= lfHalfHeight * inner)
            bCullTest = false;
    }
    if ((eDrawType & 1) && !Sphere.bSphereMode && !link->bHighlight && contribution && hasShape &&
        r < lfContRate) {
        if (eContributionBoxMode == BOXMODE_WIRE) {
            glPushAttrib(GL_LIGHTING_BIT);
            glDisable(GL_LIGHTING);
            DrawSingleWireBox(link);
            glPopAttrib();
        } else if (eContributionBoxMode == BOXMODE_SOLID) {
            DrawSingleBox(link);
        }
        return hasChild ? 1 : 0;
    }
    return 2;
}

bool KytLinkContents::CheckNearestLink(const KytLink* link)
{
    if (!link->pShape)
        return false;
    const WqVector3D centre(Sphere.vCenter[0], Sphere.vCenter[1], Sphere.vCenter[2]);
    if ((vLinkCenter - centre).Length() <= Sphere.lfRadius + link->GetRadius())
        return false;
    if (Sphere.nBoxMode == 1) {
        glPushAttrib(GL_LIGHTING_BIT);
        glDisable(GL_LIGHTING);
        DrawSingleWireBox(link);
        glPopAttrib();
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Boxes and selection

void KytLinkContents::DrawWireBox(KytLink* link, bool single)
{
    for (KytLink* l = link; l; l = single ? nullptr : l->GetNext()) {
        if (!IsShown(l))
            continue;
        const bool savedCull = bCullTest;
        const int cull = CheckCulling(l, false);
        if (cull == 2 && l->pShape)
            DrawSingleWireBox(l);
        if (cull == 0 && l->nType != KYT_LINK_HUMAN) {
            bCullTest = savedCull;
            continue;
        }
        if (KytLink* child = l->GetChild())
            DrawWireBox(child, false);
        bCullTest = savedCull;
    }
}

void KytLinkContents::DrawSingleWireBox(const KytLink* link) const
{
    if (!link || !link->bHasBox)
        return;
    KytPickNames::LoadName(link);
    if (const float* colour = FirstTriangleColor(link->pShape ? link->pShape->pRep : nullptr))
        glColor4fv(colour);
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    const WqVector3D* c = link->aBoxCorner;
    auto vertex = [&](int k) { glVertex3d(c[k].x, c[k].y, c[k].z); };
    glBegin(GL_LINE_STRIP);
    for (int k : {0, 1, 3, 2, 0})
        vertex(k);
    glEnd();
    glBegin(GL_LINE_STRIP);
    for (int k : {4, 5, 7, 6, 4})
        vertex(k);
    glEnd();
    glBegin(GL_LINES);
    for (int k : {0, 1, 3, 2}) {
        vertex(k);
        vertex(k + 4);
    }
    glEnd();
    glPopMatrix();
}

void KytLinkContents::DrawSingleBox(const KytLink* link) const
{
    if (!link || !link->bHasBox)
        return;
    KytPickNames::LoadName(link);
    if (const float* colour = FirstTriangleColor(link->pShape ? link->pShape->pRep : nullptr)) {
        if (bLighting)
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, colour);
        else
            glColor4fv(colour);
    }
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    // Faces in the order of the kernel's box normals: -x, +x, -y, +y, -z, +z.
    static const int kFaces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                     {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
    glBegin(GL_QUADS);
    for (int f = 0; f < 6; ++f) {
        const WqVector3D& n = link->aBoxNormal[f];
        glNormal3d(n.x, n.y, n.z);
        for (int k : kFaces[f]) {
            const WqVector3D& p = link->aBoxCorner[k];
            glVertex3d(p.x, p.y, p.z);
        }
    }
    glEnd();
    glPopMatrix();
}

void KytLinkContents::PickDraw(const KytLink* link)
{
    if (!link || !link->pShape || !link->pShape->pRep || link->pShape->pRep->aTriangle.empty())
        return;
    const KytShapeRep& rep = *link->pShape->pRep;
    bClipEnabled = EnableClipPlanes();
    glLoadName(1);
    glPushName(KytPickNames::Name(link));
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    if (bPointMode && link->bHighlight && link->nType == KYT_LINK_PART && !rep.aVertex.empty()) {
        glPushName(6);
        glPushName(0xFFFFFFFFu);
        const uint32_t first =
            KytPickNames::NameRange(rep.aVertex.data(), sizeof(KytPoint), rep.aVertex.size());
        for (size_t i = 0; i < rep.aVertex.size(); ++i) {
            glLoadName(first == KytPickNames::kUnnamed ? first : first + static_cast<uint32_t>(i));
            glPushMatrix();
            KytOgl::Translate(rep.aVertex[i]);
            KytOgl::DrawBox(fPointMarkSize, fPointMarkSizeNeg);
            glPopMatrix();
        }
        glPopName();
        glPopName();
    }
    glPushName(5);
    glPushName(0xFFFFFFFFu);
    float dir[3];
    LocalViewDir(link, dir);
    const bool reject = RejectBackFaces(false);
    const uint32_t first = KytPickNames::NameRange(rep.aTriangle.data(), sizeof(KytTriangle),
                                                   rep.aTriangle.size());
    for (size_t i = 0; i < rep.aTriangle.size(); ++i) {
        const KytTriangle& t = rep.aTriangle[i];
        if (reject && CheckBackFace(t, dir))
            continue;
        glLoadName(first == KytPickNames::kUnnamed ? first : first + static_cast<uint32_t>(i));
        glBegin(GL_TRIANGLES);
        KytOgl::DrawWire(t);
        glEnd();
    }
    glPopName();
    glPopName();
    glPopMatrix();
    glPopName();
    if (bClipEnabled)
        DisableClipPlanes();
}
