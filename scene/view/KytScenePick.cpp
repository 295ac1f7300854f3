// Picking of a scene: the selection passes around a window point and the decoding of their
// hit records into KytPickData.

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdlib>
#include <cfloat>
#include <cmath>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytShape.h"
#include "platform/kernel/KytStack.h"
#include "scene/annotation/AuxCamera.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

namespace {
constexpr int kSelectWords = 2048;
// A dense pass may need more than the scene's own buffer; past this it is given up.
constexpr int kMaxSelectWords = 1 << 22;
constexpr double kEps = 2.220446049250313e-16;

// A hit's names: a name becomes a pointer only when it is an id of the last pass. A part hit
// (first name 1) keeps no other value in its pointer words; an overlay object's names stay as
// loaded.
void FillFromNames(KytPickData* out, const uint32_t n[6])
{
    out->Kind = static_cast<int32_t>(n[0]);
    const bool part = n[0] == 1;
    auto word = [part](uint32_t name) -> uintptr_t {
        if (const void* p = KytPickNames::Lookup(name))
            return reinterpret_cast<uintptr_t>(p);
        return part ? 0 : name;
    };
    out->Link = reinterpret_cast<KytLink*>(word(n[1]));
    if (part) {
        out->Level = static_cast<int32_t>(n[2]);
        out->Item = word(n[3]);
        out->Name4 = n[4];
        out->Name5 = n[5];
    } else {
        out->Level = 0;
        out->Item = word(n[2]);
        out->Name4 = n[3];
        out->Name5 = n[4];
    }
}

// The part of a part hit, or null: only registered ids of the last pass are pointers.
const KytLink* PartOf(const uint32_t n[6])
{
    if (n[0] != 1)
        return nullptr;
    return static_cast<const KytLink*>(KytPickNames::Lookup(n[1]));
}

bool PassesMaterial(const uint32_t n[6], UmoMaterial* material, bool anyVisual)
{
    const KytLink* link = PartOf(n);
    if (!link || !link->pVisualData)
        return false;
    return anyVisual ? link->pVisualData->bDisplay : link->pVisualData->pMaterial == material;
}
}  // namespace

template <class Visit>
void KytScene::WalkHits(int hits, Visit visit) const
{
    // Each record is bounded by the buffer the pass wrote into: a name count that runs past
    // it ends the walk.
    const size_t size = static_cast<size_t>(m_nSelectSize);
    size_t pos = 0;
    for (int r = 0; r < hits; ++r) {
        if (size - pos < 3)
            return;
        const uint32_t count = m_pSelectBuf[pos];
        const uint32_t zmin = m_pSelectBuf[pos + 1];
        if (count > size - pos - 3)
            return;
        uint32_t names[6] = {0, 0, 0, 0, 0, 0};
        for (uint32_t i = 0; i < count && i < 6; ++i)
            names[i] = m_pSelectBuf[pos + 3 + i];
        visit(zmin, names);
        pos += 3 + count;
    }
}

int KytScene::EndSelectPass()
{
    const int hits = glRenderMode(GL_RENDER);
    KytPickNames::End();
    return hits;
}

bool KytScene::GrowSelectBuffer()
{
    if (m_nSelectSize >= kMaxSelectWords)
        return false;
    const int size = m_nSelectSize * 2;
    m_aSelectGrown.assign(static_cast<size_t>(size), 0u);
    m_pSelectBuf = m_aSelectGrown.data();
    m_nSelectSize = size;
    return true;
}

void KytScene::ResetSelectBuffer()
{
    m_pSelectBuf = m_auSelectBuf;
    m_nSelectSize = kSelectWords;
    m_aSelectGrown.clear();
    m_aSelectGrown.shrink_to_fit();
}

template <class Pass>
bool KytScene::RunSelectPass(Pass pass, int& hits)
{
    hits = 0;
    for (;;) {
        if (!pass())
            return false;
        hits = EndSelectPass();
        if (hits != -1 || !GrowSelectBuffer())
            return true;
    }
}

bool KytScene::SelectStage1(int x, int y, bool aim, bool withAux, int polyMode[2], int& hits)
{
    ResetSelectBuffer();
    const bool ran =
        RunSelectPass([&] { return PickDrawStage1(x, y, aim, withAux, polyMode); }, hits);
    KytContents::bPickMode = false;
    return ran;
}

WqVector3D KytScene::ViewPlanePoint(int x, int y)
{
    KytCamera* camera = GetActiveCamera();
    if (m_pViewPort->ProjectionMode == 1)
        return camera->Point2Vector(m_pViewPort->ViewRadius, x, y, m_nWidth, m_nHeight);
    MakeCurrent();
    return camera->Point2VectorP(x, y);
}

bool KytScene::PickDrawStage1(int x, int y, bool aim, bool withAux, int* polyMode)
{
    // Points left of or above the window are outside it as much as those past its size.
    if (!m_pOgl || !m_pRootLink || !m_pContents || x < 0 || y < 0 || x >= m_nWidth ||
        y >= m_nHeight)
        return false;
    KytCamera* camera = GetActiveCamera();
    KytContents::bPickMode = true;
    std::fill(m_pSelectBuf, m_pSelectBuf + m_nSelectSize, 0u);
    m_pOgl->MakeCurrent();
    // The aimed world point is taken before the pick matrix narrows the projection: under it
    // an unprojection would land elsewhere.
    const bool aimed = camera && (aim || m_pViewPort->ProjectionMode == 1);
    WqVector3D aimPoint;
    if (aimed)
        aimPoint = ViewPlanePoint(x, y);

    KytPickNames::Begin();
    glSelectBuffer(m_nSelectSize, m_pSelectBuf);
    glRenderMode(GL_SELECT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    glLoadIdentity();
    gluPickMatrix(x, vp[3] - y, 1.0, 1.0, vp);
    m_pViewPort->SetProjection();
    glGetIntegerv(GL_POLYGON_MODE, polyMode);
    glMatrixMode(GL_MODELVIEW);

    const WqVector3D savedLookAt = camera ? camera->LookAtPosition : WqVector3D();
    const double savedRadius = m_pViewPort->ViewRadius;
    const double savedRate = KytLinkContents::lfContributionRate;
    if (aimed) {
        const double factor = 10.0 / m_nWidth;
        camera->LookAtPosition = aimPoint;
        KytLinkContents::lfContributionRate = KytLinkContents::lfContributionRate / factor;
        m_pViewPort->ViewRadius = m_pViewPort->ViewRadius * factor;
    }
    m_pContents->bDrawAlpha = bPickAlphaLink;
    const bool savedSectionLine = m_pContents->bSectionLine;
    const bool savedPointMode = m_pContents->bPointMode;
    m_pContents->bSectionLine = false;
    m_pContents->bPointMode = false;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glInitNames();
    glPushName(0xFFFFFFFFu);
    if (polyMode[0] == GL_LINE)
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    auto drawPickable = [this, withAux](KytAuxContents* first) {
        if (!m_bAuxState || !withAux)
            return;
        for (KytAuxContents* obj = first; obj; obj = obj->pNextAux) {
            if (!obj->IsPickable())
                continue;
            glLoadName(obj->GetID());
            obj->Draw();
        }
    };
    drawPickable(m_pAuxConts[0]);
    KytContents* sub = m_pContents->pCameraGlyph;
    const bool subDraw = sub && sub->IsDraw();
    if (sub)
        sub->SetDraw(false);
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    m_pContents->Draw(m_pRootLink, 2);
    m_pContents->Draw(m_pRootLink, 1);
    glPopAttrib();
    if (sub)
        sub->SetDraw(subDraw);
    drawPickable(m_pAuxConts[1]);
    glPopName();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glFlush();
    if (polyMode[0] == GL_LINE)
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);

    m_pContents->bSectionLine = savedSectionLine;
    m_pContents->bPointMode = savedPointMode;
    m_pContents->bDrawAlpha = true;
    if (camera)
        camera->LookAtPosition = savedLookAt;
    m_pViewPort->ViewRadius = savedRadius;
    KytLinkContents::lfContributionRate = savedRate;
    return true;
}

namespace {
template <class DrawParts>
void Stage2(KytOgl* ogl, KytViewPort* viewport, int x, int y, unsigned int* buffer, int size,
            const int* polyMode, DrawParts drawParts)
{
    KytContents::bPickMode = true;
    std::fill(buffer, buffer + size, 0u);
    KytPickNames::Begin();
    ogl->MakePickMatrix(x, y, buffer, 1.0, 1.0, size);
    viewport->SetProjection();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glInitNames();
    glPushName(0xFFFFFFFFu);
    glMatrixMode(GL_MODELVIEW);
    if (polyMode[0] == GL_LINE)
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPushAttrib(GL_LIGHTING_BIT);
    glDisable(GL_LIGHTING);
    drawParts();
    glPopAttrib();
    if (polyMode[0] == GL_LINE)
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glPopName();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glFlush();
    KytContents::bPickMode = false;
}
}  // namespace

void KytScene::PickDrawStage2(int x, int y, KytLink* link, int* polyMode)
{
    if (!m_pOgl || !m_pContents)
        return;
    Stage2(m_pOgl, m_pViewPort, x, y, m_pSelectBuf, m_nSelectSize, polyMode,
           [&] { m_pContents->PickDraw(link); });
}

void KytScene::PickDrawStage2(int x, int y, KytStack<KytPickData>* hits, int* polyMode)
{
    if (!m_pOgl || !m_pContents || !hits)
        return;
    Stage2(m_pOgl, m_pViewPort, x, y, m_pSelectBuf, m_nSelectSize, polyMode, [&] {
        for (KytPickData* record : *hits)
            if (record->Kind == 1 && record->Link && record->Link->nType != 4)
                m_pContents->PickDraw(record->Link);
    });
}

bool KytScene::NearestHit(int hits, KytPickData* out, UmoMaterial* material, bool anyVisual,
                          bool filter)
{
    uint32_t best[6] = {0, 0, 0, 0, 0, 0};
    uint32_t nearest = 0xFFFFFFFFu;
    WalkHits(hits, [&](uint32_t zmin, const uint32_t names[6]) {
        if (filter && !PassesMaterial(names, material, anyVisual))
            return;
        // What a part draws before its own name (glyphs, sub-contents) leaves a part record
        // without a registered part: it names nothing and must not hide the part behind it.
        if (names[0] == 1 && !PartOf(names))
            return;
        if (zmin <= nearest) {
            nearest = zmin;
            std::copy(names, names + 6, best);
        }
    });
    FillFromNames(out, best);
    return out->Link != nullptr;
}

bool KytScene::GetPickLinkNo(int hits, KytPickData* out)
{
    return NearestHit(hits, out, nullptr, false, false);
}

bool KytScene::GetPickLinkNo2(int hits, KytPickData* out, UmoMaterial* material, bool anyVisual)
{
    return NearestHit(hits, out, material, anyVisual, true);
}

bool KytScene::GetPickLinkAllNo(int hits, KytStack<KytPickData>* out)
{
    // Each record fills its own cleared slots: a short record shows none of an earlier one's
    // names.
    WalkHits(hits, [&](uint32_t, const uint32_t names[6]) {
        auto* record = new KytPickData();
        FillFromNames(record, names);
        out->Push(record);
    });
    return true;
}

bool KytScene::GetPickLinkWithCheck(WqVector3D& origin, WqVector3D& direction, int hits,
                                    KytPickData* out, double& depth)
{
    out->ClearNames();
    WalkHits(hits, [&](uint32_t, const uint32_t names[6]) {
        if (names[0] != 1 || names[2] != 5)
            return;
        KytPickData hit;
        FillFromNames(&hit, names);
        const KytTriangle* tri = hit.Triangle();
        if (!hit.Link || !tri || !tri->pFaceNormal || !tri->pVertex[0])
            return;
        const KytMech& m = hit.Link->mech;
        const WqVector3D n = m.mRot.Multi(WqVector3D(tri->pFaceNormal->x, tri->pFaceNormal->y,
                                                     tri->pFaceNormal->z));
        const KytPoint& v0 = *tri->pVertex[0];
        const WqVector3D v = m.GetAbsPos(WqVector3D(v0.x, v0.y, v0.z));
        const double d = n.Dot(direction);
        if (std::fabs(d) <= kEps)
            return;
        const double t = std::fabs((n.Dot(v) - n.Dot(origin)) / d);
        if (t < depth) {
            hit.Extra = out->Extra;
            *out = hit;
            depth = t;
        }
    });
    return out->Link != nullptr;
}

bool KytScene::Pick(int x, int y, KytPickData* out, bool aim, bool withAux)
{
    if (!m_pOgl || !out)
        return false;
    MakeCurrent();
    m_nPickHits = 0;
    int polyMode[2] = {GL_FILL, GL_FILL};
    int hits = 0;
    if (!SelectStage1(x, y, aim, withAux, polyMode, hits) || hits == 0)
        return false;

    auto stage2 = [&](auto target) {
        int hits2 = 0;
        RunSelectPass(
            [&] {
                PickDrawStage2(x, y, target, polyMode);
                return true;
            },
            hits2);
        return hits2;
    };

    if (!bStrictPick) {
        const bool found = GetPickLinkNo(hits, out);
        if (!aim && found && out->Kind == 1 && out->Level == 0 && out->Link &&
            out->Link->pShape) {
            const int hits2 = stage2(out->Link);
            KytPickData temp;
            temp.Kind = out->Kind;
            if (GetPickLinkNo(hits2, &temp)) {
                out->Link = temp.Link;
                out->Level = temp.Level;
                out->Item = temp.Item;
                out->Name4 = temp.Name4;
                out->Name5 = temp.Name5;
                out->Extra = temp.Extra;
            }
        }
        return found;
    }

    KytStack<KytPickData> stack;
    bool filled = false;
    if (GetPickLinkAllNo(hits, &stack) && !stack.IsEmpty()) {
        // The ray runs along the line of sight through the point: from the eye in a perspective
        // view, parallel to the view direction in a parallel one.
        KytCamera* camera = GetActiveCamera();
        const WqVector3D p = ViewPlanePoint(x, y);
        WqVector3D origin, direction;
        if (m_pViewPort->ProjectionMode == 1) {
            origin = camera->EyePosition + (p - camera->LookAtPosition);
            direction = camera->EyeOrientation;
        } else {
            origin = camera->EyePosition;
            direction = p - origin;
            if (direction.Dot(camera->EyeOrientation) < 0)
                direction = -direction;
            const double len = direction.Length();
            direction = len > kEps ? direction * (1.0 / len) : camera->EyeOrientation;
        }
        double depth = DBL_MAX;
        KytPickData best;
        int hits2 = 0;
        RunSelectPass(
            [&] {
                depth = DBL_MAX;
                PickDrawStage2(x, y, &stack, polyMode);
                for (KytPickData* record : stack) {
                    if (record->Kind == 1)
                        continue;
                    if (KytAuxContents* obj =
                            SearchAuxContents(static_cast<unsigned>(record->Kind)))
                        obj->Pick(record, origin, direction, depth);
                }
                return true;
            },
            hits2);
        if (hits2 > 0 && GetPickLinkWithCheck(origin, direction, hits2, &best, depth)) {
            *out = best;
            filled = true;
        }
    }
    while (KytPickData* record = stack.Pop())
        delete record;
    // Only a filled record is an answer.
    return filled;
}

bool KytScene::Pick2(int x, int y, KytPickData* out, UmoMaterial* material, bool aim,
                     bool withAux, bool anyVisual)
{
    if (!m_pOgl || !out)
        return false;
    MakeCurrent();
    int polyMode[2] = {GL_FILL, GL_FILL};
    int hits = 0;
    if (!SelectStage1(x, y, aim, withAux, polyMode, hits) || hits == 0)
        return false;
    const bool found = GetPickLinkNo2(hits, out, material, anyVisual);
    if (!aim && (static_cast<int>(m_pContents->GetDrawType()) & 1) && found && out->Kind == 1 &&
        out->Level == 0 && out->Link && out->Link->pShape) {
        int hits2 = 0;
        RunSelectPass(
            [&] {
                PickDrawStage2(x, y, out->Link, polyMode);
                return true;
            },
            hits2);
        KytPickData temp;
        if (GetPickLinkNo2(hits2, &temp, material, anyVisual)) {
            out->Link = temp.Link;
            out->Level = temp.Level;
            out->Item = temp.Item;
            out->Name4 = temp.Name4;
            out->Name5 = temp.Name5;
            out->Extra = temp.Extra;
        }
    }
    return found;
}

int KytScene::PickArea(int x1, int y1, int x2, int y2, unsigned int* buffer, int size)
{
    if (!m_pOgl || !m_pRootLink || !m_pContents || !buffer || size < 1)
        return 0;
    m_nPickHits = -1;
    std::fill(buffer, buffer + size, 0u);
    MakeCurrent();
    KytPickNames::Begin();
    glSelectBuffer(size, buffer);
    glRenderMode(GL_SELECT);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glInitNames();
    glPushName(0xFFFFFFFFu);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    glLoadIdentity();
    gluPickMatrix((x1 + x2) * 0.5, vp[3] - (y1 + y2) * 0.5, std::abs(x1 - x2) * 0.5,
                  std::abs(y1 - y2) * 0.5, vp);
    m_pViewPort->SetProjection();
    glMatrixMode(GL_MODELVIEW);
    m_pContents->Draw(m_pRootLink, 0);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopName();
    glMatrixMode(GL_MODELVIEW);
    glFlush();
    return EndSelectPass();
}
