#include "scene/view/KytScenes.h"

#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/view/KernelLinks.h"
#include "scene/view/KytCamera.h"
#include "scene/view/KytLight.h"
#include "scene/view/KytOgl.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"
#include "platform/kernel/KytEnv.h"
#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "platform/kernel/KytShape.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

using namespace kyt_links;

KytColorTable KytScenes::ColorTable;
KytStack<KytLink> KytScenes::AlphaStack;
KytStack<KytLink>* KytScenes::pTargetStack = nullptr;
int KytScenes::nShapeCnt = 0;
unsigned long KytScenes::m_ulPRD_Item = 4294967295ul;
bool KytScenes::m_bDRHTMLPrintingNow = false;
double KytScenes::s_lfSavedContributionRate = 0.018;

namespace {

void MakeCurrent(KytScene* scene)
{
    if (KytOgl* ogl = scene->GetOgl())
        ogl->MakeCurrent();
}

void SetSceneViewport(KytScene* scene)
{
    if (!scene->GetOgl())
        return;
    MakeCurrent(scene);
    glViewport(scene->GetOrgX(), scene->GetOrgY(), scene->GetWidth(), scene->GetHeight());
}

void CheckVisualAll(KytScene* scene, KytLink* link)
{
    for (KytAuxContents* obj = scene->GetAuxConts(AUX_STAGE_FIRST); obj; obj = obj->pNextAux)
        obj->CheckVisual(link);
    for (KytAuxContents* obj = scene->GetAuxConts(AUX_STAGE_SECOND); obj; obj = obj->pNextAux)
        obj->CheckVisual(link);
    for (AuxDRAnnotate* obj = scene->GetDRAnnotateHead(); obj; obj = obj->pNextDRAnnotation)
        obj->CheckVisual(link);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction

KytScenes::KytScenes() : TopLight(new KytLight("Default")) {}

KytScenes::KytScenes(KytLink* root, KytScene* scene) : TopLight(new KytLight("Default")), RootLink(root)
{
    if (!scene)
        scene = new KytScene(root, "MainView");
    TopScene = scene;
    TopScene->SetLight(0, TopLight);
}

KytScenes::~KytScenes()
{
    AlphaStack.RemoveAll();
    if (TopScene) {
        TopScene->Destroy();
        delete TopScene;
    }
    delete TopLight;
    pTargetStack = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Scenes

KytScene* KytScenes::AddScene(KytScene* scene)
{
    if (!TopScene) {
        if (!scene)
            scene = new KytScene();
        TopScene = scene;
    } else {
        if (!scene)
            scene = new KytScene(RootLink, nullptr);
        KytScene* last = TopScene;
        while (last->Next())
            last = last->Next();
        last->SetNext(scene);
    }
    scene->SetRootLink(RootLink);
    if (!scene->GetLight(0))
        scene->AttachLight(TopLight);
    return scene;
}

KytScene* KytScenes::AddScene(unsigned int id)
{
    KytScene* scene = AddScene(static_cast<KytScene*>(nullptr));
    scene->SetID(id);
    return scene;
}

KytScene* KytScenes::AddScene(const char* name)
{
    KytScene* scene = AddScene(static_cast<KytScene*>(nullptr));
    if (name)
        scene->SetName(name);
    return scene;
}

KytScene* KytScenes::CreateScene()
{
    return new KytScene();
}

KytScene* KytScenes::SearchScene(unsigned int id) const
{
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->GetID() == id)
            return s;
    return nullptr;
}

KytScene* KytScenes::SearchScene(const char* name) const
{
    if (!name)
        return nullptr;
    for (KytScene* s = TopScene; s; s = s->Next())
        if (std::strcmp(static_cast<const char*>(s->GetName()), name) == 0)
            return s;
    return nullptr;
}

KytScene* KytScenes::ChangeActiveScene(KytScene* scene)
{
    if (!scene)
        return nullptr;
    if (scene == TopScene)
        return scene;
    KytScene* prev = TopScene;
    while (prev && prev->Next() != scene)
        prev = prev->Next();
    if (!prev)
        return nullptr;
    prev->SetNext(scene->Next());
    scene->SetNext(TopScene);
    TopScene = scene;
    SetSceneViewport(scene);
    return TopScene;
}

KytScene* KytScenes::ChangeActiveScene(const char* name)
{
    if (TopScene && name && std::strcmp(static_cast<const char*>(TopScene->GetName()), name) == 0)
        return TopScene;
    return ChangeActiveScene(SearchScene(name));
}

KytScene* KytScenes::ChangeActiveScene(unsigned int id)
{
    return ChangeActiveScene(SearchScene(id));
}

bool KytScenes::DeleteScene(KytScene* scene)
{
    if (!scene)
        return false;
    // Only a scene of this list is the list's to delete: any other belongs to someone else,
    // who would free it a second time.
    if (scene == TopScene) {
        TopScene = scene->Next();
    } else {
        KytScene* prev = TopScene;
        while (prev && prev->Next() != scene)
            prev = prev->Next();
        if (!prev)
            return false;
        prev->SetNext(scene->Next());
    }
    scene->SetNext(nullptr);
    scene->Destroy();
    delete scene;
    if (TopScene)
        SetSceneViewport(TopScene);
    return true;
}

bool KytScenes::DeleteScene(unsigned int id)
{
    KytScene* scene = SearchScene(id);
    return scene ? DeleteScene(scene) : false;
}

bool KytScenes::DeleteScene(const char* name)
{
    KytScene* scene = SearchScene(name);
    return scene ? DeleteScene(scene) : false;
}

void KytScenes::SetScaleLineState(AuxAnnotate* annotation, bool draw, bool redraw)
{
    if (annotation && annotation->GetID() != 13 && annotation->GetID() != 14)
        return;
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->IsNormal())
            s->SetScaleLineState(annotation, draw, redraw);
}

KytScene* KytScenes::GetTopScene(bool normalOnly) const
{
    if (!normalOnly)
        return TopScene;
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->IsNormal())
            return s;
    return nullptr;
}

KytLink* KytScenes::GetRootLink() const
{
    KytScene* scene = GetTopScene(true);
    return scene ? scene->GetRootLink() : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Lights

void KytScenes::AddLight(KytLight* light)
{
    if (!light)
        return;
    if (!TopLight) {
        TopLight = light;
        return;
    }
    KytLight* last = TopLight;
    while (last->GetNext())
        last = last->GetNext();
    last->SetNext(light);
}

void KytScenes::AttachLight(KytLight* light, bool redraw)
{
    if (!light)
        return;
    AddLight(light);
    for (KytScene* s = TopScene; s; s = s->Next()) {
        if (!s->IsAddLight())
            continue;
        MakeCurrent(s);
        for (int i = 0; i < 8; ++i) {
            if (!s->GetLight(i)) {
                s->SetLight(i, light);
                if (s->GetOgl())
                    light->Create(GL_LIGHT0 + i);
                break;
            }
        }
        if (redraw)
            s->Draw(false);
    }
}

void KytScenes::EnableLight(const char* name, int enable, bool redraw)
{
    if (!name)
        return;
    for (KytScene* s = TopScene; s; s = s->Next()) {
        if (enable && !s->IsAddLight())
            continue;
        for (int i = 0; i < 8 && s->GetLight(i); ++i) {
            KytLight* light = s->GetLight(i);
            if (std::strcmp(static_cast<const char*>(light->GetName()), name) != 0)
                continue;
            MakeCurrent(s);
            light->SetEnabled(enable != 0);
            if (s->GetOgl()) {
                if (enable)
                    glEnable(GL_LIGHT0 + i);
                else
                    glDisable(GL_LIGHT0 + i);
            }
            if (redraw)
                s->Draw(false);
            break;
        }
    }
}

KytLight* KytScenes::SearchLight(const char* name) const
{
    if (!name)
        return nullptr;
    for (KytLight* l = TopLight; l; l = l->GetNext())
        if (std::strcmp(static_cast<const char*>(l->GetName()), name) == 0)
            return l;
    return nullptr;
}

void KytScenes::RemoveLight(KytLight* light)
{
    if (!light)
        return;
    KytLight* prev = nullptr;
    KytLight* l = TopLight;
    while (l && l != light) {
        prev = l;
        l = l->GetNext();
    }
    // Only the chain owns its lights: a light from elsewhere is not ours to delete.
    if (!l)
        return;
    for (KytScene* s = TopScene; s; s = s->Next()) {
        if (!s->IsAddLight())
            continue;
        for (int i = 0; i < 8; ++i) {
            if (s->GetLight(i) == light) {
                if (s->GetOgl()) {
                    MakeCurrent(s);
                    glDisable(GL_LIGHT0 + i);
                }
                break;
            }
        }
    }
    if (prev)
        prev->SetNext(light->GetNext());
    else
        TopLight = light->GetNext();
    light->SetNext(nullptr);
    for (KytScene* s = TopScene; s; s = s->Next()) {
        KytLight* from = TopLight;
        for (int i = 0; i < 8; ++i) {
            s->SetLight(i, from);
            if (from)
                from = from->GetNext();
        }
        // The entries moved up, so each GL slot of the scene's context still holds the light
        // that stood there before: send every entry again and darken the slots left empty.
        if (!s->GetOgl())
            continue;
        MakeCurrent(s);
        for (int i = 0; i < 8; ++i) {
            KytLight* entry = s->GetLight(i);
            if (entry)
                entry->Create(GL_LIGHT0 + i);
            if (!entry || !entry->IsEnabled())
                glDisable(GL_LIGHT0 + i);
        }
    }
    delete light;
}

void KytScenes::SetLight(KytScene* scene)
{
    if (!scene || !scene->GetLight(0))
        return;
    int i = 0;
    for (KytLight* l = TopLight; l && i < 8; l = l->GetNext(), ++i)
        scene->SetLight(i, l);
}

void KytScenes::ChangeBackColor(float r, float g, float b, bool redraw)
{
    KytScene::afBackColor[0] = r;
    KytScene::afBackColor[1] = g;
    KytScene::afBackColor[2] = b;
    for (KytScene* s = TopScene; s; s = s->Next()) {
        if (!s->GetOgl())
            continue;
        MakeCurrent(s);
        s->GetOgl()->Initial(KytScene::afBackColor);
        if (redraw)
            s->ReDraw();
    }
}

// ---------------------------------------------------------------------------------------------
// Root link, part tree and alpha stack

int KytScenes::CountTopShapes()
{
    int n = 0;
    for (KytShape* shape = KYT_GetTopShape(); shape; shape = shape->pNext)
        ++n;
    return n;
}

void KytScenes::Initialize(KytLink* root, bool refit)
{
    RootLink = root;
    nShapeCnt = root ? CountTopShapes() : 0;
    for (KytScene* s = TopScene; s; s = s->Next()) {
        s->SetRootLink(RootLink);
        MakeCurrent(s);
        KytViewPort* vp = s->GetViewPort();
        if (refit && RootLink && vp->GetActiveCamera()) {
            KytCamera* camera = vp->GetActiveCamera();
            camera->Change(camera->GetDirectAngle(), camera->GetZenithAngle(),
                           vp->CalcBoundingBox(RootLink));
        }
        s->Create(false);
    }
}

void KytScenes::RebuildAlphaStack(KytLink* link)
{
    AlphaStack.RemoveAll();
    if (!link || !IsVisibleInLayer(link))
        return;
    if (LinkType(link) == 2 && IsTransparentInLayer(link))
        AlphaStack.Push(link, false);
    else
        SetAlphaStack(FirstChild(link), false);
}

void KytScenes::SetAlphaStack(KytLink* link, bool single)
{
    for (KytLink* l = link; l; l = single ? nullptr : NextSibling(l)) {
        if (!IsVisibleInLayer(l))
            continue;
        if (LinkType(l) == 2 && IsTransparentInLayer(l))
            AlphaStack.Push(l, false);
        else
            SetAlphaStack(FirstChild(l), false);
    }
}

void KytScenes::SetCustomAlphaStack(KytLink* link, bool single)
{
    for (KytLink* l = link; l; l = single ? nullptr : NextSibling(l)) {
        const int index = CustomColorIndex(l);
        if (index >= 0 && ColorTable.GetCount() > 0) {
            const KytCustomColorEntry* entry = ColorTable.Get(static_cast<unsigned>(index));
            if (entry && entry->bTransparent && LinkType(l) == 2)
                AlphaStack.Push(l, false);
        }
        SetCustomAlphaStack(FirstChild(l), false);
    }
}

void KytScenes::ChangeRootLink(KytLink* link, bool, bool redraw)
{
    RebuildAlphaStack(link);
    RootLink = link;
    for (KytScene* s = TopScene; s; s = s->Next()) {
        if (s->GetRootLink() == link)
            continue;
        s->SetRootLink(link);
        if (redraw)
            s->Draw(true);
    }
}

void KytScenes::ChangeRootLink(KytScene* scene, KytLink* link, bool redraw)
{
    RebuildAlphaStack(link);
    if (!scene || scene->GetRootLink() == link)
        return;
    scene->SetRootLink(link);
    CheckVisualAll(scene, link);
    if (redraw)
        scene->Draw(true);
}

void KytScenes::Remake(bool redraw)
{
    nShapeCnt = CountTopShapes();
    RebuildAlphaStack(RootLink);
    for (KytScene* s = TopScene; s; s = s->Next()) {
        MakeCurrent(s);
        CheckVisualAll(s, RootLink);
        if (redraw)
            s->Draw(false);
    }
}

// ---------------------------------------------------------------------------------------------
// Drawing broadcasts

void KytScenes::Draw(bool normalOnly)
{
    if (!DrawEnabled)
        return;
    for (KytScene* s = TopScene; s; s = s->Next())
        if (!normalOnly || s->IsNormal())
            s->Draw(true);
}

void KytScenes::ReDraw(bool normalOnly)
{
    for (KytScene* s = TopScene; s; s = s->Next())
        if (!normalOnly || s->IsNormal())
            s->ReDraw();
}

void KytScenes::FitViews(bool redraw)
{
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->GetOgl())
            s->FitView(redraw);
}

void KytScenes::DrawDependPart()
{
    for (KytScene* s = TopScene; s; s = s->Next()) {
        MakeCurrent(s);
        s->DrawDependPart();
    }
}

void KytScenes::ChangeShapeColorRandom(bool redraw)
{
    for (KytScene* s = TopScene; s; s = s->Next()) {
        MakeCurrent(s);
        if (s->GetContents())
            s->GetContents()->MakeDisp(KYT_GetTopShape(), s->GetOgl());
        if (redraw)
            s->Draw(false);
    }
}

void KytScenes::SetCircumferenceShowMode(KytStack<KytLink>* links, bool on, bool redraw)
{
    KytLinkContents::Sphere.bSphereMode = on;
    KytLinkContents::Sphere.pLinks = on ? links : nullptr;
    if (!redraw)
        return;
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->IsNormal())
            s->Draw(true);
}

void KytScenes::ChangeDrawType(DRAWTYPE type, KytLink* a, KytLink* b, bool redraw, bool allScenes)
{
    int message = 0;
    if (type == DRAWTYPE_CUSTOM_COLOR) {
        if (KytScene::bShowTargetLink)
            message = 1;
        else if (KytLinkContents::Sphere.bSphereMode)
            message = 2;
    }
    for (KytScene* s = TopScene; s; s = s->Next()) {
        if (!allScenes && !s->IsNormal())
            continue;
        if (!s->ChangeDrawType(type, a, b, redraw) && redraw && message == 0)
            s->Draw(true);
    }
    AlphaStack.RemoveAll();
    if (type == DRAWTYPE_CUSTOM_COLOR)
        SetCustomAlphaStack(RootLink, true);
    else
        RebuildAlphaStack(RootLink);
    if (message != 0) {
        if (HWND wnd = KYT_GetMainWnd())
            SendMessageA(wnd, 1157, static_cast<WPARAM>(message), 0);
    }
}

bool KytScenes::IsCustomColor() const
{
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->GetContents() && s->GetContents()->eDrawType == DRAWTYPE_CUSTOM_COLOR)
            return true;
    return false;
}

void KytScenes::CheckSilhouette(HWND wnd)
{
    for (KytScene* s = TopScene; s; s = s->Next()) {
        if (s->GetContents() && (s->GetContents()->eDrawType & 0x7C0)) {
            KytEnv::MakeSilhouette(wnd);
            return;
        }
    }
}

void KytScenes::StartMovingViews()
{
    if (MovingViews)
        return;
    s_lfSavedContributionRate = KytLinkContents::lfContributionRate;
    KytLinkContents::lfContributionRate = KytLinkContents::lfContributionRateDynamic;
    KytScene::bMoving = true;
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->IsNormal())
            s->StartMovingView(true);
    MovingViews = true;
}

void KytScenes::EndMovingViews(bool redraw)
{
    if (!MovingViews)
        return;
    KytLinkContents::lfContributionRate = s_lfSavedContributionRate;
    KytScene::bMoving = false;
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->IsNormal())
            s->EndMovingView(redraw, true);
    MovingViews = false;
}

// ---------------------------------------------------------------------------------------------
// Forwarding

void KytScenes::ChangeAuxState(unsigned int id, bool state, bool redraw)
{
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->IsNormal())
            s->ChangeAuxState(id, state, redraw);
}

void KytScenes::ChangeAuxState(unsigned int* ids, bool state, bool redraw)
{
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->IsNormal())
            s->ChangeAuxState(ids, state, redraw);
}

void KytScenes::HideDisplayObject(bool show, KytLink* link)
{
    if (!link)
        return;
    for (KytScene* s = TopScene; s; s = s->Next())
        s->HideDisplayObject(show, link);
    if (!IsTransparentInLayer(link))
        return;
    if (show)
        AlphaStack.Append(link, true);
    else
        KYT_RemoveAlphaStack(link);
}

void KytScenes::SetSubContsState(unsigned int id, bool state)
{
    for (KytScene* s = TopScene; s; s = s->Next())
        s->SetSubContsState(id, state, true);
}

void KytScenes::RemoveAuxContents(unsigned int id, bool redraw, bool all)
{
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->RemoveAuxContents(id, all) && redraw)
            s->Draw(true);
}

// ---------------------------------------------------------------------------------------------
// Part properties

namespace {

// ctime's text without its newlines; empty for a time the C library cannot show (ctime
// answers null for those).
void AppendTime(CString& out, long long value)
{
    const std::time_t t = static_cast<std::time_t>(value);
    if (static_cast<long long>(t) != value)
        return;
    char buf[64];
    if (!ctime_r(&t, buf))
        return;
    std::string text(buf);
    std::erase(text, '\n');
    out += text.c_str();
}

void AppendValue(CString& out, int type, const KytPropertyValue& value)
{
    char buf[64];
    switch (type) {
    case 0:
        out += value.b ? "True" : "False";
        break;
    case 1:
        std::snprintf(buf, sizeof(buf), "%ld", value.l);
        out += buf;
        break;
    case 2:
        std::snprintf(buf, sizeof(buf), "%lf", value.d);
        out += buf;
        break;
    case 4:
        AppendTime(out, value.t);
        break;
    case 3:
    case 5:
    case 6:
        out += value.s.c_str();
        break;
    default:
        break;
    }
}

template <class Match>
int CollectProperty(KytLink* root, const char* property, CString& out, Match matches)
{
    if (!property)
        return 0;
    const KytPropertyTableRec* rec = KytPropertyTableLink::SearchPropertyTableRec(property);
    if (!rec)
        return 0;
    int found = 0;
    for (KytLink* link = root; link; link = link->SearchNext()) {
        if (!matches(link))
            continue;
        if (found)
            out += "/";
        found = 1;
        auto values = link->propertyValues.find(rec->name);
        if (values == link->propertyValues.end())
            continue;
        bool first = true;
        for (const KytPropertyValue& value : values->second) {
            if (!first)
                out += ",";
            first = false;
            AppendValue(out, rec->nType, value);
        }
    }
    return found;
}

} // namespace

int KytScenes::GetPartPropertyValue(const char* property, unsigned int annotateKey, CString& out)
{
    return CollectProperty(RootLink, property, out, [&](KytLink* link) {
        for (const KytAnnotateData* d = link->pAnnotate; d; d = d->pNext)
            if (d->ulKey == annotateKey)
                return true;
        return false;
    });
}

int KytScenes::GetPartPropertyValue(const char* property, unsigned long drKey1, unsigned int drKey2,
                                    CString& out)
{
    // The pair is the review's id and the record's own key.
    return CollectProperty(RootLink, property, out, [&](KytLink* link) {
        for (const KytDRAnnotateData* d = link->pDRAnnotate; d; d = d->pNextDR)
            if (d->ulDRKey == drKey1 && d->ulKey == drKey2)
                return true;
        return false;
    });
}

int KytScenes::GetPartPropertyValue(const char* property, KytAnnotateData* data, CString& out)
{
    if (!property || !data)
        return 0;
    return GetPartPropertyValue(property, static_cast<unsigned int>(data->ulKey), out);
}

int KytScenes::GetPartPropertyValue(const char* property, KytDRAnnotateData* data, CString& out)
{
    if (!property || !data)
        return 0;
    return GetPartPropertyValue(property, data->ulDRKey, static_cast<unsigned int>(data->ulKey), out);
}

int KytScenes::GetPartPropertyValue(const char* property, AuxAnnotate* annotate, CString& out)
{
    if (!property || !annotate || !annotate->GetTargetLink())
        return 0;
    return GetPartPropertyValue(property, annotate->pData, out);
}

int KytScenes::GetPartPropertyValue(const char* property, AuxDRAnnotate* annotate, CString& out)
{
    if (!property || !annotate || !annotate->GetTargetLink())
        return 0;
    return GetPartPropertyValue(property, annotate->pDRData, out);
}

// ---------------------------------------------------------------------------------------------
// Alpha stack functions

KytStack<KytLink>* KYT_GetAlphaStack()
{
    return &KytScenes::AlphaStack;
}

void KYT_ClearAlphaStack()
{
    KytScenes::AlphaStack.RemoveAll();
}

void KYT_RemoveAlphaStack(KytLink* link)
{
    if (!link || KytScenes::AlphaStack.GetCount() == 0)
        return;
    KytScenes::AlphaStack.Remove(link);
}

void KYT_AppendAlphaStack(KytLink* link)
{
    KytScenes::AlphaStack.Append(link, true);
}

void KYT_PushAlphaStack(KytLink* link)
{
    KytScenes::AlphaStack.Push(link, true);
}
