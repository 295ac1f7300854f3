// The scene's window picks of annotations and review objects.

#include "scene/view/KytScene.h"

#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/view/KytOgl.h"

namespace {

void ReadView(int* viewP, double* modelM, double* projM)
{
    glGetDoublev(GL_MODELVIEW_MATRIX, modelM);
    glGetDoublev(GL_PROJECTION_MATRIX, projM);
    glGetIntegerv(GL_VIEWPORT, viewP);
}

void ReadAnnotationView()
{
    ReadView(AuxAnnotate::viewP, AuxAnnotate::modelM, AuxAnnotate::projM);
}

// One pass over a chain: `hit` tests an object; hits are flagged and the last one wins.
// Objects missed are cleared or left as they were.
template <class T, T* T::*Next, class Hit>
T* Pass(T* head, T*& picked, bool clearMissed, Hit hit)
{
    T* result = nullptr;
    for (T* o = head; o; o = o->*Next) {
        if (hit(o)) {
            o->bPicked = true;
            picked = o;
            result = o;
        } else if (clearMissed) {
            o->bPicked = false;
        }
    }
    return result;
}

template <class T, T* T::*Next, class InGroup>
void FlagGroup(T* head, const T* result, InGroup inGroup)
{
    for (T* o = head; o; o = o->*Next)
        o->bPicked = (o == result) || inGroup(o);
}

bool SameOverlap(const AuxAnnotate* a, const AuxAnnotate* b)
{
    return a->pData && b->pData && a->pData->uOverlapID == b->pData->uOverlapID;
}

// The grouping key of review balloons: their review id and balloon number.
bool SameBalloon(const AuxDRAnnotate* a, const AuxDRAnnotate* b)
{
    return a->pDRData && b->pDRData && a->GetDRID() == b->GetDRID() &&
           a->pDRData->uBalloon == b->pDRData->uBalloon;
}

} // namespace

AuxAnnotate* KytScene::PickAnnotation(int x, int y)
{
    if (!m_pOgl || !m_pAnnotateHead)
        return nullptr;
    MakeCurrent();
    HFONT previous = m_pOgl->ChangeFont(&AuxAnnotate::MsgFont);
    ReadAnnotationView();
    AuxAnnotate* result = Pass<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
        m_pAnnotateHead, m_pAnnotatePicked, true,
        [&](AuxAnnotate* o) { return o->Pick(m_pOgl, x, y); });
    if (result)
        FlagGroup<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
            m_pAnnotateHead, result, [&](const AuxAnnotate* o) {
                return o->GetID() == 12 && result->GetID() == 12 && SameOverlap(o, result);
            });
    m_pOgl->SelectObject(previous);
    return result;
}

AuxAnnotate* KytScene::PickAnnotation2(int x, int y)
{
    if (!m_pOgl || !m_pAnnotateHead)
        return nullptr;
    MakeCurrent();
    HFONT previous = m_pOgl->ChangeFont(&AuxAnnotate::MsgFont);
    ReadAnnotationView();
    bool byText = false;
    AuxAnnotate* result = Pass<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
        m_pAnnotateHead, m_pAnnotatePicked, true, [&](AuxAnnotate* o) {
            if (o->Pick(m_pOgl, x, y))
                return byText = true;
            return o->pData && o->Pick2(m_pOgl, x, y);
        });
    if (result && byText)
        PickOverlapAnnotation(result);
    m_pOgl->SelectObject(previous);
    return result;
}

AuxDRAnnotate* KytScene::PickDRAnnotation(int x, int y)
{
    if (!m_pOgl || !m_pDRAnnotateHead)
        return nullptr;
    MakeCurrent();
    ReadAnnotationView();
    AuxDRAnnotate* result = Pass<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
        m_pDRAnnotateHead, m_pDRAnnotatePicked, false,
        [&](AuxDRAnnotate* o) { return o->Pick(m_pOgl, x, y); });
    if (result)
        FlagGroup<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
            m_pDRAnnotateHead, result, [](const AuxDRAnnotate*) { return false; });
    return result;
}

AuxDRAnnotate* KytScene::PickDRAnnotation2(int x, int y)
{
    if (!m_pOgl || !m_pDRAnnotateHead)
        return nullptr;
    MakeCurrent();
    ReadAnnotationView();
    bool byText = false;
    AuxDRAnnotate* result = Pass<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
        m_pDRAnnotateHead, m_pDRAnnotatePicked, true, [&](AuxDRAnnotate* o) {
            if (o->Pick(m_pOgl, x, y))
                return byText = true;
            return o->Pick2(m_pOgl, x, y);
        });
    if (result && byText)
        FlagGroup<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
            m_pDRAnnotateHead, result,
            [&](const AuxDRAnnotate* o) { return SameBalloon(o, result); });
    return result;
}

AuxDRAnnotate* KytScene::PickDRAnnotation3(int x, int y)
{
    if (!m_pOgl || !m_pDRAnnotateHead)
        return nullptr;
    MakeCurrent();
    ReadAnnotationView();
    AuxDRAnnotate* result = Pass<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
        m_pDRAnnotateHead, m_pDRAnnotatePicked, true,
        [&](AuxDRAnnotate* o) { return o->Pick(m_pOgl, x, y); });
    if (result)
        FlagGroup<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
            m_pDRAnnotateHead, result,
            [&](const AuxDRAnnotate* o) { return SameBalloon(o, result); });
    return result;
}

AuxDRPartsConnect* KytScene::PickDRPartsConnectBy(int x, int y, bool second)
{
    if (!m_pOgl || !m_pDRPartsConnectHead)
        return nullptr;
    MakeCurrent();
    ReadView(AuxDRPartsConnect::viewP, AuxDRPartsConnect::modelM, AuxDRPartsConnect::projM);
    using T = AuxDRPartsConnect;
    T* result = Pass<T, &T::pNextDRPartsConnect>(
        m_pDRPartsConnectHead, m_pDRPartsConnectPicked, false,
        [&](T* o) { return second ? o->Pick2(m_pOgl, x, y) : o->Pick(m_pOgl, x, y); });
    if (result)
        FlagGroup<T, &T::pNextDRPartsConnect>(m_pDRPartsConnectHead, result,
                                              [](const T*) { return false; });
    return result;
}

AuxDRPartsConnect* KytScene::PickDRPartsConnect(int x, int y)
{
    return PickDRPartsConnectBy(x, y, false);
}

AuxDRPartsConnect* KytScene::PickDRPartsConnect2(int x, int y)
{
    return PickDRPartsConnectBy(x, y, true);
}

AuxDRArrow* KytScene::PickDRArrow(int x, int y)
{
    if (!m_pOgl || !m_pDRArrowHead)
        return nullptr;
    MakeCurrent();
    ReadView(AuxDRArrow::viewP, AuxDRArrow::modelM, AuxDRArrow::projM);
    AuxDRArrow* result = Pass<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(
        m_pDRArrowHead, m_pDRArrowPicked, false,
        [&](AuxDRArrow* o) { return o->Pick(m_pOgl, x, y); });
    if (result)
        FlagGroup<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowHead, result,
                                                         [](const AuxDRArrow*) { return false; });
    return result;
}

void KytScene::PickOverlapAnnotation(AuxAnnotate* obj)
{
    if (!obj || !m_pAnnotateHead)
        return;
    FlagGroup<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
        m_pAnnotateHead, obj, [&](const AuxAnnotate* o) { return SameOverlap(o, obj); });
}
