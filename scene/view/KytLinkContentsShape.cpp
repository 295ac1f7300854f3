// Shape drawing of the part-tree contents: one link's shape in the current draw type.

#include <cmath>
#include <functional>
#include <vector>

#include "scene/annotation/AuxAxis.h"
#include "scene/annotation/AuxCamera.h"
#include "scene/annotation/AuxDatum.h"
#include "scene/view/KytLinkContents.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytPickNames.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytScenes.h"
#include "scene/view/KytViewPort.h"

namespace {
constexpr double kTiny = 2.220446e-16;
const float kEcho[4] = {0.25f, 0.1f, 0.1f, 1.0f};
const float kNoEmission[4] = {0, 0, 0, 1};
const float kBlack[4] = {0, 0, 0, 1};
const float kWhite[4] = {1, 1, 1, 1};
const float kSectionRed[4] = {1, 0, 0, 1};

const float kMatRed[4] = {1, 0, 0, 1};
const float kMatWhiteAlpha[4] = {1, 1, 1, 0.3f};
const float kMatBlueAlpha[4] = {0, 0, 0.8f, 0.3f};
const float kRecycleWhite[4] = {1, 1, 1, 1};
const float kRecycleGreen[4] = {0, 1, 0, 0.5f};

// The visibility rule applied to some bit word of the link.
bool LayerBits(const KytLink* link, unsigned bits)
{
    if (link->nType == KYT_LINK_PART)
        return (bits & KytVisual::uLayerMask) != 0;
    return bits != 0;
}

bool HasEdges(const KytShapeRep* rep)
{
    return rep && (rep->uFlags & KYT_REP_NEIGHBORS) != 0;
}

float Dot(const float* a, const float* b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Sends a triangle's corners with a normal only when its pointer changes.
void Corners(const KytTriangle& t, const float*& lastNormal)
{
    for (int k = 0; k < 3; ++k) {
        const float* n = t.pNormal[k] ? t.pNormal[k]->fv() : nullptr;
        if (n && n != lastNormal) {
            glNormal3fv(n);
            lastNormal = n;
        }
        glVertex3fv(t.pVertex[k]->fv());
    }
}

// One GL_TRIANGLES block, a colour set only where the colour index changes. The first colour
// goes before the block: a material set inside a block widens every vertex GL stores after
// it, and most shapes have one colour.
template <class Colour, class Skip>
void EmitColourRuns(const std::vector<KytTriangle>& triangles, Colour colour, Skip skip)
{
    int lastColor = -1;
    if (!triangles.empty()) {
        lastColor = triangles[0].uColor;
        colour(triangles[0].uColor);
    }
    const float* lastNormal = nullptr;
    glBegin(GL_TRIANGLES);
    for (const KytTriangle& t : triangles) {
        if (skip(t))
            continue;
        if (t.uColor != lastColor) {
            lastColor = t.uColor;
            colour(t.uColor);
        }
        Corners(t, lastNormal);
    }
    glEnd();
}

const KytCustomColorEntry* CustomEntry(const KytLink* link)
{
    const int index = link->nCustomColor;
    // A negative index counts as beyond the table.
    if (index < 0)
        return nullptr;
    const KytCustomColorEntry* entry = KytScenes::ColorTable.Get(static_cast<unsigned>(index));
    if (!entry)
        return nullptr;
    if (!entry->bVisible && KytCustomColor::IsEnableVisible())
        return nullptr;
    return entry;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Helpers

const float* KytLinkContents::TableColor(unsigned index)
{
    if (!KytColor::matarray || index >= KytColor::uArraySize)
        return nullptr;
    const KytMaterial& m = KytColor::matarray[index];
    return m.bHasColor ? m.afColor : nullptr;
}

const float* KytLinkContents::FirstTriangleColor(const KytShapeRep* rep)
{
    if (!rep || rep->aTriangle.empty())
        return nullptr;
    return TableColor(rep->aTriangle[0].uColor);
}

void KytLinkContents::LocalViewDir(const KytLink* link, float dir[3]) const
{
    WqVector3D d = link ? link->mech.mRot.Transpose().Multi(vViewDir) : vViewDir;
    if (d.Length() > kTiny)
        d.Normarize();
    dir[0] = static_cast<float>(d.x);
    dir[1] = static_cast<float>(d.y);
    dir[2] = static_cast<float>(d.z);
}

bool KytLinkContents::RejectBackFaces(bool cut) const
{
    return !cut && pViewPort && pViewPort->GetProjectionMode() != 0 && pOgl &&
           !pOgl->IsDrawBackFace();
}

// ---------------------------------------------------------------------------------------------
// Dispatch

bool KytLinkContents::DrawSingleLink(KytLink* link)
{
    switch (link->nType) {
    case KYT_LINK_CAMERA: {
        const KytLink* child = link->GetChild();
        if (child && child->nType == KYT_LINK_CAMERA && !child->GetChild())
            break;
        if (eDrawType != DRAWTYPE_MATERIAL && eDrawType != DRAWTYPE_RECYCLE && pFocusLink1 &&
            link != pFocusLink1)
            break;
        pCameraGlyph->Draw(link);
        break;
    }
    case KYT_LINK_WORKAXIS: {
        const KytLink* parent = link->GetParent();
        if (pWorkAxis->IsDraw() && (link->bHighlight || (parent && parent->bHighlight))) {
            glPushMatrix();
            KytOgl::MultMatrix(link->mech);
            pWorkAxis->Draw();
            glPopMatrix();
        }
        break;
    }
    case KYT_LINK_DATUM:
        if (!bClipEnabled)
            pDatum->Draw(link);
        break;
    default:
        if (link->pShape) {
            if (link->nType == KYT_LINK_SOLIDPART && bAlphaPass) {
                glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
                glDisable(GL_BLEND);
                glDepthMask(GL_TRUE);
                glEnable(GL_DEPTH_TEST);
                DrawShape(link);
                glDepthMask(GL_FALSE);
                glPopAttrib();
            } else {
                DrawShape(link);
            }
        } else if (link->nType != KYT_LINK_SOLIDPART && link->bHighlight) {
            glPushMatrix();
            KytOgl::MultMatrix(link->mech);
            pAxis->Draw();
            glPopMatrix();
        }
        break;
    }
    return true;
}

void KytLinkContents::DrawPointMarks(const KytShapeRep* rep) const
{
    const GLenum face =
        pOgl && pOgl->IsDrawBackFace() && !bBackFaceColor ? GL_FRONT_AND_BACK : GL_FRONT;
    glMaterialfv(face, GL_AMBIENT_AND_DIFFUSE, afBoxColor[1]);
    for (const KytPoint& p : rep->aVertex) {
        glPushMatrix();
        KytOgl::Translate(p);
        KytOgl::DrawBox(fPointMarkSize, fPointMarkSizeNeg);
        glPopMatrix();
    }
}

void KytLinkContents::DrawShape(const KytLink* link)
{
    const KytShape* shape = link->pShape;
    if (!shape || !shape->pRep)
        return;
    const KytShapeRep* rep = shape->pRep;
    bool cut = false;
    if (bClipEnabled && CheckClipping(link, cut))
        return;
    KytPickNames::LoadName(link);
    glPushMatrix();
    KytOgl::MultMatrix(link->mech);
    const bool echo = bEchoActive && bLighting;
    if (echo)
        glMaterialfv(nMaterialFace, GL_EMISSION, kEcho);
    const bool layered = link->nType == KYT_LINK_PART;
    switch (eDrawType) {
    case DRAWTYPE_BOX: DrawBox(rep); break;
    case DRAWTYPE_WIREBOX: DrawBoxWire(rep); break;
    case DRAWTYPE_EDGE: DrawEdge(link, shape); break;
    case DRAWTYPE_HIDDENLINE: DrawTrianglesHiddenLine(link, shape, cut); break;
    case DRAWTYPE_SHADE_EDGE: DrawTrianglesWithEdge(link, shape, cut); break;
    case DRAWTYPE_ALPHA_EDGE: DrawAlphaEdge(link, shape, cut); break;
    case DRAWTYPE_CUSTOM_COLOR:
        if (!layered)
            DrawTriangles(link, shape, cut);
        else if (!DrawCustomColor(link, shape, cut))
            cut = false;
        break;
    case DRAWTYPE_MATERIAL:
        if (layered)
            DrawTrianglesMaterial2(link, shape, cut);
        else
            DrawTriangles(link, shape, cut);
        break;
    case DRAWTYPE_RECYCLE:
        if (layered)
            DrawTrianglesRecycle(link, shape, cut);
        else
            DrawTriangles(link, shape, cut);
        break;
    case DRAWTYPE_PROPERTY_13:
    case DRAWTYPE_PROPERTY_12:
    case DRAWTYPE_PROPERTY_44: {
        const int byte = eDrawType == DRAWTYPE_PROPERTY_13 ? 13
                         : eDrawType == DRAWTYPE_PROPERTY_12 ? 12 : 44;
        if (!link->pProperty || link->pProperty->abFlag[byte])
            DrawTriangles(link, shape, cut);
        break;
    }
    default: DrawTriangles(link, shape, cut); break;
    }
    if (echo)
        glMaterialfv(nMaterialFace, GL_EMISSION, kNoEmission);
    if (link->bHighlight && link->nType != KYT_LINK_SOLIDPART) {
        pAxis->Draw();
        if (bPointMode && layered)
            DrawPointMarks(rep);
    }
    if (cut && bSectionLine && !link->bNoClip)
        DrawSectionLine(link);
    glPopMatrix();
}

void KytLinkContents::DrawShapeHuman(const KytLink* link)
{
    const KytShape* shape = link->pShape;
    if (!shape || !shape->pRep)
        return;
    const KytShapeRep* rep = shape->pRep;
    const bool transparent = link->IsTransparent();
    const bool echo = bEchoActive && bLighting && !transparent;
    if (echo)
        glMaterialfv(nMaterialFace, GL_EMISSION, kEcho);
    switch (eDrawType) {
    case DRAWTYPE_BOX:
        if (transparent) {
            glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            glEnable(GL_BLEND);
            glDepthMask(GL_FALSE);
            DrawSimpleHuman(link);
            glDepthMask(GL_TRUE);
            glPopAttrib();
        } else {
            DrawSimpleHuman(link);
        }
        break;
    case DRAWTYPE_WIREBOX: DrawBoxWire(rep); break;
    case DRAWTYPE_EDGE: DrawEdge(link, shape); break;
    case DRAWTYPE_HIDDENLINE: DrawTrianglesHiddenLine(link, shape, false); break;
    case DRAWTYPE_SHADE_EDGE: DrawTrianglesWithEdge(link, shape, false); break;
    case DRAWTYPE_ALPHA_EDGE: DrawAlphaEdge(link, shape, false); break;
    default:
        if (!transparent || !bLighting) {
            // A manikin is drawn whole: its segments are thin and back faces show through gaps.
            DrawTriangles(link, shape, true);
        } else {
            const bool savedAlphaPass = bAlphaPass;
            const float savedAlpha = fAlphaValue;
            glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glEnable(GL_BLEND);
            glDepthMask(GL_FALSE);
            fAlphaValue = link->fAlpha;
            bAlphaPass = true;
            if (const float* c = FirstTriangleColor(rep)) {
                const float colour[4] = {c[0], c[1], c[2], fAlphaValue};
                glMaterialfv(nMaterialFace, GL_AMBIENT_AND_DIFFUSE, colour);
            }
            DrawTriangles(link, shape, false);
            glDepthMask(GL_TRUE);
            glPopAttrib();
            bAlphaPass = savedAlphaPass;
            fAlphaValue = savedAlpha;
        }
        break;
    }
    if (echo)
        glMaterialfv(nMaterialFace, GL_EMISSION, kNoEmission);
}

void KytLinkContents::DrawSimpleHuman(const KytLink* link) const
{
    const KytShapeRep* rep = link->pShape ? link->pShape->pRep : nullptr;
    if (!rep)
        return;
    // Each rule reads only characters the name has.
    const std::string& n = link->name;
    auto at = [&](size_t i, char c) { return n.size() > i && n[i] == c; };
    bool plain = at(1, '_') || at(2, '_') || at(0, 'w');
    float sx = 1, sy = 1, sz = 1;
    if (!plain) {
        if (at(3, 's') && at(4, '_') && at(5, 'p')) {
            sx = 0.7f, sy = 0.9f, sz = 0.7f;
        } else if (at(3, 's') && at(4, 't') && at(5, '_') && at(6, 'p')) {
            sx = 0.8f, sy = 0.9f, sz = 1.0f;
        } else if (at(0, 'u') && at(1, 'p') && (at(2, 'R') || at(2, 'L')) && at(3, 'l')) {
            sx = 0.6f, sy = 1.0f, sz = 1.0f;
        }
    }
    glPushAttrib(GL_ENABLE_BIT);
    glPushMatrix();
    if (!plain) {
        glEnable(GL_NORMALIZE);
        glScalef(sx, sy, sz);
    }
    DrawBox(rep);
    glPopMatrix();
    glPopAttrib();
}

// ---------------------------------------------------------------------------------------------
// Triangle emitters

void KytLinkContents::DrawTriangles(const KytLink* link, const KytShape* shape, bool cut)
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    if (!rep)
        return;
    if (rep->pTexture) {
        DrawTexture(link, shape, cut);
        return;
    }
    float dir[3] = {0, 0, 1};
    const bool reject = RejectBackFaces(cut);
    if (reject)
        LocalViewDir(link, dir);
    const bool emissive = bLighting && LayerBits(link, link->visual.uEmission);
    if (emissive) {
        const float e = link->fEmissionLevel;
        const float emission[4] = {e, e, e, 1.0f};
        glMaterialfv(nMaterialFace, GL_EMISSION, emission);
    }
    const bool lighting = bLighting;
    const bool alpha = bAlphaPass;
    const GLenum face = static_cast<GLenum>(nMaterialFace);
    auto colour = [&](uint16_t index) {
        if (const float* c = TableColor(index)) {
            if (!lighting) {
                glColor4fv(c);
            } else if (alpha) {
                const float a[4] = {c[0], c[1], c[2], fAlphaValue};
                glMaterialfv(face, GL_AMBIENT_AND_DIFFUSE, a);
            } else {
                glMaterialfv(face, GL_AMBIENT_AND_DIFFUSE, c);
            }
        }
    };
    EmitColourRuns(rep->aTriangle, colour,
                   [&](const KytTriangle& t) { return reject && CheckBackFace(t, dir); });
    if (emissive)
        glMaterialfv(nMaterialFace, GL_EMISSION, kNoEmission);
}

void KytLinkContents::DrawTexture(const KytLink* link, const KytShape* shape, bool cut)
{
    const KytShapeRep* rep = shape->pRep;
    const KytTexture* tex = rep->pTexture.get();
    const bool usable = tex && tex->nWidth > 0 && tex->nHeight > 0 &&
                        tex->rgb.size() >= size_t(tex->nWidth) * size_t(tex->nHeight) * 3;
    float dir[3] = {0, 0, 1};
    const bool reject = RejectBackFaces(cut);
    if (reject)
        LocalViewDir(link, dir);
    if (bLighting)
        glMaterialfv(nMaterialFace, GL_AMBIENT_AND_DIFFUSE, kWhite);
    else
        glColor4fv(kWhite);
    GLint alignment = 4;
    GLint minFilter = GL_NEAREST_MIPMAP_LINEAR;
    if (usable) {
        // One level only: a mipmapping filter would leave the texture incomplete. RGB rows
        // are packed tight.
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glEnable(GL_TEXTURE_2D);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, tex->nWidth, tex->nHeight, 0, GL_RGB, GL_UNSIGNED_BYTE,
                     tex->rgb.data());
    }
    const float* lastNormal = nullptr;
    glBegin(GL_TRIANGLES);
    for (const KytTriangle& t : rep->aTriangle) {
        if (reject && CheckBackFace(t, dir))
            continue;
        for (int k = 0; k < 3; ++k) {
            const float* n = t.pNormal[k] ? t.pNormal[k]->fv() : nullptr;
            if (n && n != lastNormal) {
                glNormal3fv(n);
                lastNormal = n;
            }
            glTexCoord2fv(t.afTexCoord[k]);
            glVertex3fv(t.pVertex[k]->fv());
        }
    }
    glEnd();
    if (usable) {
        glDisable(GL_TEXTURE_2D);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    }
}

void KytLinkContents::DrawTrianglesAlpha(const KytShape* shape, bool reject, const float dir[3])
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    if (!rep)
        return;
    const GLenum face = static_cast<GLenum>(nMaterialFace);
    auto colour = [&](uint16_t index) {
        if (const float* c = TableColor(index)) {
            const float a[4] = {c[0], c[1], c[2], fAlphaValue};
            glMaterialfv(face, GL_AMBIENT_AND_DIFFUSE, a);
        }
    };
    EmitColourRuns(rep->aTriangle, colour,
                   [&](const KytTriangle& t) { return reject && CheckBackFace(t, dir); });
}

void KytLinkContents::DrawTrianglesIllustration(const KytTriangle* triangles, unsigned count,
                                                bool rejectBack, const float dir[3]) const
{
    int lastColor = -1;
    bool inBackRun = false;
    glBegin(GL_TRIANGLES);
    for (unsigned i = 0; i < count; ++i) {
        const KytTriangle& t = triangles[i];
        const bool back = (rejectBack || bBackFaceColor) && CheckBackFace(t, dir) != 0;
        if (back && rejectBack)
            continue;
        if (back && bBackFaceColor) {
            if (!inBackRun) {
                glColor4fv(afPartBackFaceColor);
                inBackRun = true;
                lastColor = -1;
            }
        } else {
            inBackRun = false;
            if (t.uColor != lastColor) {
                lastColor = t.uColor;
                if (const float* c = TableColor(t.uColor))
                    glColor4fv(c);
            }
        }
        KytOgl::DrawWire(t);
    }
    glEnd();
}

void KytLinkContents::DrawTrianglesNoColorStatic(const KytTriangle* triangles, unsigned count,
                                                 bool reject, const float dir[3],
                                                 const float rgb[3]) const
{
    glColor3fv(rgb);
    glBegin(GL_TRIANGLES);
    for (unsigned i = 0; i < count; ++i) {
        if (reject && CheckBackFace(triangles[i], dir))
            continue;
        KytOgl::DrawWire(triangles[i]);
    }
    glEnd();
}

void KytLinkContents::DrawTriangleOneColor(const KytLink* link, const KytShape* shape,
                                           bool cut) const
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    if (!rep)
        return;
    float dir[3];
    LocalViewDir(link, dir);
    const bool reject = RejectBackFaces(cut);
    glBegin(GL_TRIANGLES);
    for (const KytTriangle& t : rep->aTriangle) {
        if (reject && CheckBackFace(t, dir))
            continue;
        KytOgl::DrawPolygon(&t);
    }
    glEnd();
}

bool KytLinkContents::ChangeMaterialColor(const KytLink* link)
{
    if (eDrawType == DRAWTYPE_MATERIAL) {
        const void* mine = link->pProperty ? link->pProperty->pMaterial : nullptr;
        const void* focus =
            pFocusLink1 && pFocusLink1->pProperty ? pFocusLink1->pProperty->pMaterial : nullptr;
        if (mine && focus && mine == focus) {
            pColor = kMatRed;
            bColorOpaque = true;
            bColorBlend = true;
        } else if (mine) {
            pColor = kMatWhiteAlpha;
            bColorOpaque = false;
            bColorBlend = true;
        } else {
            pColor = kMatBlueAlpha;
            bColorOpaque = false;
            bColorBlend = false;
        }
    } else if (eDrawType == DRAWTYPE_RECYCLE) {
        bColorBlend = true;
        if (!link->pProperty) {
            pColor = kMatWhiteAlpha;
            bColorOpaque = false;
        } else {
            const double r = link->pProperty->dRecycleRate;
            if (r < kTiny) {
                pColor = kMatRed;
                bColorOpaque = true;
            } else if (r <= 0.3) {
                pColor = kRecycleWhite;
                bColorOpaque = true;
            } else if (r <= 0.6) {
                pColor = kMatBlueAlpha;
                bColorOpaque = false;
            } else {
                pColor = kRecycleGreen;
                bColorOpaque = false;
            }
        }
    } else {
        return false;
    }
    bColorSet = true;
    return true;
}

void KytLinkContents::DrawTrianglesMaterial2(const KytLink* link, const KytShape* shape, bool cut)
{
    if (!bColorSet || !pColor)
        return;
    if (bColorOpaque) {
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, pColor);
        DrawTriangleOneColor(link, shape, cut);
        return;
    }
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT);
    glBlendFunc(GL_SRC_ALPHA, bColorBlend ? GL_ONE_MINUS_SRC_ALPHA : GL_ONE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, pColor);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    DrawTriangleOneColor(link, shape, cut);
    glDepthMask(GL_TRUE);
    glPopAttrib();
}

void KytLinkContents::DrawTrianglesRecycle(const KytLink* link, const KytShape* shape, bool cut)
{
    if (!bColorSet || !pColor)
        return;
    if (bLighting)
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, pColor);
    else
        glColor4fv(pColor);
    DrawTriangleOneColor(link, shape, cut);
}

// ---------------------------------------------------------------------------------------------
// Line pictures

void KytLinkContents::DrawSilhouette(const KytShape* shape, const float dir[3]) const
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    if (!HasEdges(rep))
        return;
    const bool smooth = KytOgl::LineAntiAliasON();
    glLineWidth(KytOgl::fOutLineWidth);
    glBegin(GL_LINES);
    std::less<const KytTriangle*> lower;
    for (const KytTriangle& t : rep->aTriangle) {
        const float a = t.pFaceNormal ? Dot(t.pFaceNormal->fv(), dir) : 0.0f;
        for (int e = 0; e < 3; ++e) {
            const KytTriangle* nb = t.pNeighbor[e];
            bool draw;
            if (t.uFlags & (KYT_TRI_HARD_EDGE01 << e))
                draw = !nb || lower(nb, &t);
            else
                draw = nb && nb->pFaceNormal && Dot(nb->pFaceNormal->fv(), dir) * a <= 0.0f;
            if (!draw)
                continue;
            glVertex3fv(t.pVertex[e]->fv());
            glVertex3fv(t.pVertex[(e + 1) % 3]->fv());
        }
    }
    glEnd();
    if (smooth)
        KytOgl::LineAntiAliasOFF();
}

void KytLinkContents::DrawEdge(const KytLink* link, const KytShape* shape) const
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    if (!HasEdges(rep))
        return;
    if (const float* c = FirstTriangleColor(rep))
        glColor4fv(c);
    float dir[3];
    LocalViewDir(link, dir);
    DrawSilhouette(shape, dir);
}

void KytLinkContents::DrawTrianglesHiddenLine(const KytLink* link, const KytShape* shape,
                                              bool cut) const
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    if (!HasEdges(rep))
        return;
    float dir[3];
    LocalViewDir(link, dir);
    const float* back = KytScene::afBackColor;
    if (!bViewMoving || bDrawHiddenLinesShape)
        DrawTrianglesNoColorStatic(rep->GetTriangles(), rep->GetTriangleCount(),
                                   RejectBackFaces(cut), dir, back);
    const float line[3] = {back[0] > 0.5f ? 0.0f : 1.0f, back[1] > 0.5f ? 0.0f : 1.0f,
                           back[2] > 0.5f ? 0.0f : 1.0f};
    glColor3fv(line);
    DrawSilhouette(shape, dir);
}

void KytLinkContents::DrawTrianglesWithEdge(const KytLink* link, const KytShape* shape,
                                            bool cut) const
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    if (!HasEdges(rep))
        return;
    float dir[3];
    LocalViewDir(link, dir);
    if (!bViewMoving || bDrawHiddenLinesShape) {
        DrawTrianglesIllustration(rep->GetTriangles(), rep->GetTriangleCount(),
                                  RejectBackFaces(cut), dir);
        glColor4fv(kBlack);
    } else if (const float* c = FirstTriangleColor(rep)) {
        glColor4fv(c);
    }
    DrawSilhouette(shape, dir);
}

void KytLinkContents::DrawAlphaEdge(const KytLink* link, const KytShape* shape, bool cut)
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    if (!HasEdges(rep))
        return;
    float dir[3];
    LocalViewDir(link, dir);
    if (!bViewMoving || bDrawHiddenLinesShape) {
        DrawTrianglesAlpha(shape, RejectBackFaces(cut), dir);
        const float black[4] = {0, 0, 0, fAlphaValue};
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, black);
    } else if (const float* c = FirstTriangleColor(rep)) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, c);
    }
    DrawSilhouette(shape, dir);
}

// ---------------------------------------------------------------------------------------------
// Boxes

void KytLinkContents::DrawBox(const KytShapeRep* rep) const
{
    if (!rep)
        return;
    if (const float* c = FirstTriangleColor(rep)) {
        if (bLighting)
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, c);
        else
            glColor4fv(c);
    }
    const float x0 = rep->boxMin.x, y0 = rep->boxMin.y, z0 = rep->boxMin.z;
    const float x1 = rep->boxMax.x, y1 = rep->boxMax.y, z1 = rep->boxMax.z;
    const float faces[6][3 + 12] = {
        {-1, 0, 0, x0, y0, z0, x0, y0, z1, x0, y1, z1, x0, y1, z0},
        {1, 0, 0, x1, y0, z0, x1, y1, z0, x1, y1, z1, x1, y0, z1},
        {0, -1, 0, x0, y0, z0, x1, y0, z0, x1, y0, z1, x0, y0, z1},
        {0, 1, 0, x0, y1, z0, x0, y1, z1, x1, y1, z1, x1, y1, z0},
        {0, 0, -1, x0, y0, z0, x0, y1, z0, x1, y1, z0, x1, y0, z0},
        {0, 0, 1, x0, y0, z1, x1, y0, z1, x1, y1, z1, x0, y1, z1},
    };
    glBegin(GL_QUADS);
    for (const auto& f : faces) {
        glNormal3fv(f);
        for (int k = 0; k < 4; ++k)
            glVertex3fv(f + 3 + 3 * k);
    }
    glEnd();
}

void KytLinkContents::DrawBoxWire(const KytShapeRep* rep) const
{
    if (!rep)
        return;
    if (const float* c = FirstTriangleColor(rep))
        glColor4fv(c);
    glLineWidth(1.0f);
    const float x0 = rep->boxMin.x, y0 = rep->boxMin.y, z0 = rep->boxMin.z;
    const float x1 = rep->boxMax.x, y1 = rep->boxMax.y, z1 = rep->boxMax.z;
    for (float z : {z0, z1}) {
        glBegin(GL_LINE_LOOP);
        glVertex3f(x0, y0, z);
        glVertex3f(x1, y0, z);
        glVertex3f(x1, y1, z);
        glVertex3f(x0, y1, z);
        glEnd();
    }
    glBegin(GL_LINES);
    for (float x : {x0, x1})
        for (float y : {y0, y1}) {
            glVertex3f(x, y, z0);
            glVertex3f(x, y, z1);
        }
    glEnd();
}

// ---------------------------------------------------------------------------------------------
// Custom colours

bool KytLinkContents::DrawCustomColor(const KytLink* link, const KytShape* shape, bool cut)
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    const KytCustomColorEntry* entry = CustomEntry(link);
    if (!rep || !entry || (entry->bLit && entry->bTransparent))
        return false;
    const bool lit = entry->bLit;
    // Enable and line state are kept too: the outline switches line smoothing on.
    glPushAttrib((lit ? GL_COLOR_BUFFER_BIT : GL_LIGHTING_BIT) | GL_ENABLE_BIT | GL_LINE_BIT);
    if (pOgl && pOgl->IsDrawBackFace() && bBackFaceColor) {
        if (lit) {
            glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, afPartBackFaceColor);
        } else {
            glColorMaterial(GL_BACK, GL_AMBIENT_AND_DIFFUSE);
            glColor4fv(afPartBackFaceColor);
            glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
        }
    }
    const GLenum face = static_cast<GLenum>(nMaterialFace);
    if (lit) {
        glMaterialfv(face, GL_AMBIENT_AND_DIFFUSE, entry->afColor);
        if (entry->bEmission)
            glMaterialfv(face, GL_EMISSION, entry->afEmission);
    } else {
        glDisable(GL_LIGHTING);
        glColor4fv(entry->afColor);
    }
    float dir[3];
    LocalViewDir(link, dir);
    const bool reject = RejectBackFaces(cut);
    int lastColor = -1;
    const float* lastNormal = nullptr;
    glBegin(GL_TRIANGLES);
    for (const KytTriangle& t : rep->aTriangle) {
        if (reject && CheckBackFace(t, dir))
            continue;
        if (entry->bUsePartColor && t.uColor != lastColor) {
            lastColor = t.uColor;
            if (const float* c = TableColor(t.uColor)) {
                const float a[4] = {c[0], c[1], c[2], entry->afColor[3]};
                if (lit)
                    glMaterialfv(face, GL_AMBIENT_AND_DIFFUSE, a);
                else
                    glColor4fv(a);
            }
        }
        Corners(t, lastNormal);
    }
    glEnd();
    // The emission is a material, which the colour bracket does not restore.
    if (lit && entry->bEmission)
        glMaterialfv(face, GL_EMISSION, kNoEmission);
    if (entry->bOutline) {
        if (lit) {
            glPopAttrib();
            glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT | GL_LINE_BIT);
            glDisable(GL_LIGHTING);
        } else if (entry->bTransparent) {
            glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kBlack);
            glEnable(GL_LINE_SMOOTH);
        }
        glColor4fv(kBlack);
        glLineWidth(1.0f);
        const float width = KytOgl::fOutLineWidth;
        KytOgl::fOutLineWidth = 1.0f;
        DrawSilhouette(shape, dir);
        KytOgl::fOutLineWidth = width;
    }
    glPopAttrib();
    return true;
}

bool KytLinkContents::DrawCustomAlphaColor(const KytLink* link, const KytShape* shape, bool cut)
{
    const KytShapeRep* rep = shape ? shape->pRep : nullptr;
    const KytCustomColorEntry* entry = CustomEntry(link);
    if (!rep || !entry)
        return false;
    const GLenum face = static_cast<GLenum>(nMaterialFace);
    glPushAttrib(GL_ENABLE_BIT | GL_LINE_BIT);
    glMaterialfv(face, GL_AMBIENT_AND_DIFFUSE, entry->afColor);
    if (entry->bEmission)
        glMaterialfv(face, GL_EMISSION, entry->afEmission);
    float dir[3];
    LocalViewDir(link, dir);
    const bool reject = RejectBackFaces(cut);
    const float* lastNormal = nullptr;
    glBegin(GL_TRIANGLES);
    for (const KytTriangle& t : rep->aTriangle) {
        if (reject && CheckBackFace(t, dir))
            continue;
        Corners(t, lastNormal);
    }
    glEnd();
    if (entry->bEmission)
        glMaterialfv(face, GL_EMISSION, kNoEmission);
    if (entry->bOutline) {
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, kBlack);
        glEnable(GL_LINE_SMOOTH);
        const float width = KytOgl::fOutLineWidth;
        KytOgl::fOutLineWidth = 1.0f;
        DrawSilhouette(shape, dir);
        KytOgl::fOutLineWidth = width;
    }
    glPopAttrib();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Section outline

void KytLinkContents::DrawSectionLine(const KytLink* link) const
{
    if (!bDrawSectionLine || !link || !link->pShape || !link->pShape->pRep)
        return;
    struct Plane {
        float n[3];
        float offset;
        bool side;
    };
    Plane planes[5];
    int count = 0;
    const WqMatrix33D rt = link->mech.mRot.Transpose();
    for (int i = 0; i < 5 && apClipLink[i]; ++i) {
        if (!abClipCut[i])
            continue;
        const WqVector3D n = rt.Multi(avClipNormal[i]);
        // The plane through the clip link's origin, seen from the link's origin.
        const double offset = alfClipOffset[i] - avClipNormal[i].Dot(link->mech.vPos);
        planes[count++] = {{float(n.x), float(n.y), float(n.z)}, float(offset),
                           apClipLink[i]->bSectionSide};
    }
    if (count == 0)
        return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT |
                 GL_LINE_BIT);
    glDepthFunc(GL_LEQUAL);
    glLineWidth(3.0f);
    glDisable(GL_LIGHTING);
    glDepthMask(GL_FALSE);
    if (KytOgl::bLineAntiAlias) {
        glEnable(GL_LINE_SMOOTH);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    }
    // The outline lies on its own planes: those planes would clip it away in part.
    for (int i = 0; i < 5 && apClipLink[i]; ++i)
        if (abClipCut[i])
            glDisable(GL_CLIP_PLANE0 + i);
    glColor4fv(kSectionRed);
    glBegin(GL_LINES);
    for (const KytTriangle& t : link->pShape->pRep->aTriangle) {
        float s[5][3];
        bool skip = false;
        for (int p = 0; p < count && !skip; ++p) {
            int removed = 0;
            for (int k = 0; k < 3; ++k) {
                s[p][k] = planes[p].offset - Dot(planes[p].n, t.pVertex[k]->fv());
                if (planes[p].side ? s[p][k] > 0.0f : s[p][k] < 0.0f)
                    ++removed;
            }
            skip = removed == 3;
        }
        if (skip)
            continue;
        for (int p = 0; p < count; ++p) {
            float points[3][3];
            int found = 0;
            for (int k = 0; k < 3 && found < 2; ++k) {
                const int j = (k + 1) % 3;
                const float a = s[p][k], b = s[p][j];
                if (!((a > 0.0f && b < 0.0f) || (a < 0.0f && b > 0.0f)))
                    continue;
                const float* va = t.pVertex[k]->fv();
                const float* vb = t.pVertex[j]->fv();
                const float d = a - b;
                const float f = std::fabs(d) > 1.1920929e-7f ? a / d : 0.0f;
                for (int c = 0; c < 3; ++c)
                    points[found][c] = va[c] + (vb[c] - va[c]) * f;
                ++found;
            }
            if (found == 2) {
                glVertex3fv(points[0]);
                glVertex3fv(points[1]);
            }
        }
    }
    glEnd();
    glDepthMask(GL_TRUE);
    glPopAttrib();
}
