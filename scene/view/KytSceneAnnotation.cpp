// The scene's annotation and review chains: leaving, clearing, finding, re-binding, showing
// and backing up. The chains only index objects that the stage lists own.

#include "scene/view/KytScene.h"

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxAnnotate.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"

namespace {

template <class T, T* T::*Next>
bool Unlink(T*& head, const KytAuxContents* obj)
{
    T* prev = nullptr;
    for (T* o = head; o; prev = o, o = o->*Next) {
        if (static_cast<const KytAuxContents*>(o) != obj)
            continue;
        if (prev)
            prev->*Next = o->*Next;
        else
            head = o->*Next;
        o->*Next = nullptr;
        return true;
    }
    return false;
}

template <class T, T* T::*Next>
bool InChain(const T* head, const T* obj)
{
    for (const T* o = head; o; o = o->*Next)
        if (o == obj)
            return true;
    return false;
}

template <class T>
bool RefersTo(const T* obj, const KytLink* link)
{
    return obj->GetTargetLink() == link || obj->GetSecondLink() == link;
}

template <class T, T* T::*Next, class Match>
T* FindFirst(T* head, Match match)
{
    for (T* o = head; o; o = o->*Next)
        if (match(o))
            return o;
    return nullptr;
}

template <class T, T* T::*Next>
void SetShown(T* head, unsigned long drId, bool show)
{
    for (T* o = head; o; o = o->*Next)
        if (o->pDRData)
            o->pDRData->bShow = (o->pDRData->ulDRKey == drId) == show ? 1 : 0;
}

template <class T, T* T::*Next, class Data>
void ChangeLink(T* head, const Data* data, KytLink* from, KytLink* to)
{
    for (T* o = head; o; o = o->*Next)
        if (o->pDRData == data && o->GetTargetLink() == from)
            o->Change(to);
}

} // namespace

// Whatever takes an object out of the scene takes it out of its chain as well, so that no
// chain, backup chain or picked pointer is left holding a freed object.
void KytScene::ForgetInChains(const KytAuxContents* obj)
{
    if (m_pAnnotatePicked == obj)
        m_pAnnotatePicked = nullptr;
    if (m_pDRAnnotatePicked == obj)
        m_pDRAnnotatePicked = nullptr;
    if (m_pDRPartsConnectPicked == obj)
        m_pDRPartsConnectPicked = nullptr;
    if (m_pDRArrowPicked == obj)
        m_pDRArrowPicked = nullptr;
    Unlink<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(m_pAnnotateHead, obj);
    Unlink<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateHead, obj);
    Unlink<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateBackup, obj);
    Unlink<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(m_pDRPartsConnectHead, obj);
    Unlink<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(m_pDRPartsConnectBackup,
                                                                       obj);
    Unlink<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowHead, obj);
    Unlink<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowBackup, obj);
}

bool KytScene::IsListed(const KytAuxContents* obj) const
{
    for (KytAuxContents* head : m_pAuxConts)
        for (KytAuxContents* o = head; o; o = o->pNextAux)
            if (o == obj)
                return true;
    return false;
}

void KytScene::DropFromScene(KytAuxContents* obj)
{
    // Every chained object is in a stage list; should one not be, it still leaves its chain.
    if (!RemoveAuxContents(obj))
        ForgetInChains(obj);
}

// ---------------------------------------------------------------------------------------------
// Leaving

bool KytScene::RemoveAnnotation(AuxAnnotate* obj)
{
    if (!obj || !m_pAnnotateHead ||
        !InChain<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(m_pAnnotateHead, obj))
        return false;
    DropFromScene(obj);
    return true;
}

// The backup chain is searched whether or not the main chain is empty: a backup left behind
// would stay bound to records the host may free.
bool KytScene::RemoveAnnotation(AuxDRAnnotate* obj)
{
    if (!obj || (!InChain<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateHead, obj) &&
                 !InChain<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateBackup, obj)))
        return false;
    DropFromScene(obj);
    return true;
}

bool KytScene::RemoveDRPartsConnect(AuxDRPartsConnect* obj)
{
    using T = AuxDRPartsConnect;
    if (!obj || (!InChain<T, &T::pNextDRPartsConnect>(m_pDRPartsConnectHead, obj) &&
                 !InChain<T, &T::pNextDRPartsConnect>(m_pDRPartsConnectBackup, obj)))
        return false;
    DropFromScene(obj);
    return true;
}

bool KytScene::RemoveDRArrow(AuxDRArrow* obj)
{
    if (!obj || (!InChain<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowHead, obj) &&
                 !InChain<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowBackup, obj)))
        return false;
    DropFromScene(obj);
    return true;
}

bool KytScene::RemoveAnnotation(KytAnnotateData* data)
{
    return RemoveAnnotation(FindFirst<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
        m_pAnnotateHead, [&](const AuxAnnotate* a) { return a->pData == data; }));
}

bool KytScene::RemoveAnnotation(KytDRAnnotateData* data)
{
    return RemoveAnnotation(FindFirst<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
        m_pDRAnnotateHead, [&](const AuxDRAnnotate* a) { return a->pDRData == data; }));
}

bool KytScene::RemoveAnnotation(unsigned int id, int no)
{
    return RemoveAnnotation(FindFirst<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
        m_pAnnotateHead,
        [&](const AuxAnnotate* a) { return a->GetID() == id && (no == -1 || a->GetNo() == no); }));
}

bool KytScene::RemoveAnnotation(KytLink* link)
{
    return RemoveAnnotation(FindFirst<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
        m_pAnnotateHead, [&](const AuxAnnotate* a) { return RefersTo(a, link); }));
}

void KytScene::ClearAnnotation()
{
    if (!m_pAnnotateHead && !m_pDRAnnotateHead && !m_pDRAnnotateBackup)
        return;
    while (m_pAnnotateHead)
        DropFromScene(m_pAnnotateHead);
    AuxAnnotate::nCounter = 0;
    m_pAnnotatePicked = nullptr;
    while (m_pDRAnnotateHead)
        DropFromScene(m_pDRAnnotateHead);
    while (m_pDRAnnotateBackup)
        DropFromScene(m_pDRAnnotateBackup);
    m_pDRAnnotatePicked = nullptr;
}

void KytScene::ClearDRPartsConnect()
{
    while (m_pDRPartsConnectHead)
        DropFromScene(m_pDRPartsConnectHead);
    while (m_pDRPartsConnectBackup)
        DropFromScene(m_pDRPartsConnectBackup);
    m_pDRPartsConnectPicked = nullptr;
}

void KytScene::ClearDRArrow()
{
    while (m_pDRArrowHead)
        DropFromScene(m_pDRArrowHead);
    while (m_pDRArrowBackup)
        DropFromScene(m_pDRArrowBackup);
    m_pDRArrowPicked = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Finding

AuxAnnotate* KytScene::SearchAnnotation(const KytLink* link) const
{
    return FindFirst<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
        m_pAnnotateHead, [&](const AuxAnnotate* a) { return RefersTo(a, link); });
}

AuxDRAnnotate* KytScene::SearchDRAnnotation(const KytLink* link) const
{
    return FindFirst<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
        m_pDRAnnotateHead, [&](const AuxDRAnnotate* a) { return RefersTo(a, link); });
}

AuxDRArrow* KytScene::SearchDRArrow(const KytLink* link) const
{
    return FindFirst<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(
        m_pDRArrowHead, [&](const AuxDRArrow* a) { return RefersTo(a, link); });
}

AuxDRPartsConnect* KytScene::SearchDRPartsConnect(const KytLink* link) const
{
    return FindFirst<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(
        m_pDRPartsConnectHead, [&](const AuxDRPartsConnect* a) { return RefersTo(a, link); });
}

namespace {

template <class T, class Data>
bool MatchRecordOrNumber(const T* o, const Data* record, const Data* data, unsigned int id, int no)
{
    if (data)
        return record == data;
    return o->GetID() == id && o->GetNo() == no;
}

} // namespace

AuxAnnotate* KytScene::SearchAnnotation(const KytAnnotateData* data, unsigned int id, int no) const
{
    return FindFirst<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
        m_pAnnotateHead, [&](const AuxAnnotate* a) {
            return MatchRecordOrNumber<AuxAnnotate, KytAnnotateData>(a, a->pData, data, id, no);
        });
}

AuxDRAnnotate* KytScene::SearchAnnotation(const KytDRAnnotateData* data, unsigned int id,
                                          int no) const
{
    return FindFirst<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
        m_pDRAnnotateHead, [&](const AuxDRAnnotate* a) {
            return MatchRecordOrNumber<AuxDRAnnotate, KytDRAnnotateData>(a, a->pDRData, data, id, no);
        });
}

AuxDRPartsConnect* KytScene::SearchDRPartsConnect(const KytDRPartsConnectData* data,
                                                  unsigned int id, int no) const
{
    return FindFirst<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(
        m_pDRPartsConnectHead, [&](const AuxDRPartsConnect* a) {
            return MatchRecordOrNumber<AuxDRPartsConnect, KytDRPartsConnectData>(a, a->pDRData, data,
                                                                                 id, no);
        });
}

AuxDRArrow* KytScene::SearchDRArrow(const KytDRArrowData* data, unsigned int id, int no) const
{
    return FindFirst<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(
        m_pDRArrowHead, [&](const AuxDRArrow* a) {
            return MatchRecordOrNumber<AuxDRArrow, KytDRArrowData>(a, a->pDRData, data, id, no);
        });
}

AuxAnnotate* KytScene::SearchAnnotation(unsigned int id, int no) const
{
    return FindFirst<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(
        m_pAnnotateHead, [&](const AuxAnnotate* a) { return a->GetID() == id && a->GetNo() == no; });
}

AuxDRAnnotate* KytScene::SearchDRAnnotation(unsigned int id, int no) const
{
    return FindFirst<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(
        m_pDRAnnotateHead,
        [&](const AuxDRAnnotate* a) { return a->GetID() == id && a->GetNo() == no; });
}

// ---------------------------------------------------------------------------------------------
// Re-binding and showing

void KytScene::ChangeAuxAnnotateLink(KytAnnotateData* data, KytLink* from, KytLink* to)
{
    for (AuxAnnotate* a = m_pAnnotateHead; a; a = a->pNextAnnotation)
        if (a->pData == data && a->GetTargetLink() == from)
            a->Change(to);
}

void KytScene::ChangeAuxDRAnnotateLink(KytDRAnnotateData* data, KytLink* from, KytLink* to)
{
    ChangeLink<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateHead, data, from, to);
}

void KytScene::ChangeAuxDRPartsConnectLink(KytDRPartsConnectData* data, KytLink* from, KytLink* to)
{
    ChangeLink<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(m_pDRPartsConnectHead,
                                                                           data, from, to);
}

void KytScene::ChangeAuxDRArrowLink(KytDRArrowData* data, KytLink* from, KytLink* to)
{
    ChangeLink<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowHead, data, from, to);
}

void KytScene::ChangeDRAuxVisible(unsigned long drId, bool show)
{
    SetShown<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateHead, drId, show);
    SetShown<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(m_pDRPartsConnectHead,
                                                                         drId, show);
    SetShown<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowHead, drId, show);
}

void KytScene::UpdateDRAuxVisible(KytLink* link, bool show)
{
    for (KytLink* l = link; l; l = l->GetNext()) {
        for (KytDRAnnotateData* d = l->pDRAnnotate; d; d = d->pNextDR)
            d->bShow = (show && d->ulDRKey == ulID_DRData) ? 1 : 0;
        for (KytDRPartsConnectData* d = l->pDRPartsConnect; d; d = d->pNext)
            d->bShow = (show && d->ulDRKey == ulID_DRData) ? 1 : 0;
        for (KytDRArrowData* d = l->pDRArrow; d; d = d->pNext)
            d->bShow = (show && d->ulDRKey == ulID_DRData) ? 1 : 0;
        UpdateDRAuxVisible(l->GetChild(), show);
    }
}

// ---------------------------------------------------------------------------------------------
// Backup chains

template <class T, T* T::*Next>
void KytScene::FileAsBackup(T* obj, T*& backup, T* head)
{
    // One chain per object, main or backup.
    if (!obj || InChain<T, Next>(head, obj) || InChain<T, Next>(backup, obj) || IsListed(obj))
        return;
    MakeCurrent();
    AddAuxContents(obj, AUX_STAGE_SECOND);
    obj->*Next = nullptr;
    if (!backup) {
        backup = obj;
    } else {
        T* last = backup;
        while (last->*Next)
            last = last->*Next;
        last->*Next = obj;
    }
    obj->bBackup = true;
}

void KytScene::BackupDRAnnotation(AuxDRAnnotate* obj)
{
    FileAsBackup<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(obj, m_pDRAnnotateBackup,
                                                                   m_pDRAnnotateHead);
}

void KytScene::BackupDRPartsConnect(AuxDRPartsConnect* obj)
{
    FileAsBackup<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(
        obj, m_pDRPartsConnectBackup, m_pDRPartsConnectHead);
}

void KytScene::BackupDRArrow(AuxDRArrow* obj)
{
    FileAsBackup<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(obj, m_pDRArrowBackup, m_pDRArrowHead);
}

// ---------------------------------------------------------------------------------------------
// Target marks from another scene

namespace {

template <class T, T* T::*Next>
void Mark(T* head, T*& picked, const T* like)
{
    picked = nullptr;
    for (T* o = head; o; o = o->*Next) {
        o->bPicked = o->GetID() == like->GetID() && o->GetNo() == like->GetNo();
        if (o->bPicked)
            picked = o;
    }
}

} // namespace

void KytScene::MarkTarget(const AuxAnnotate* like)
{
    if (like)
        Mark<AuxAnnotate, &AuxAnnotate::pNextAnnotation>(m_pAnnotateHead, m_pAnnotatePicked, like);
}

void KytScene::MarkTarget(const AuxDRAnnotate* like)
{
    if (like)
        Mark<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateHead,
                                                               m_pDRAnnotatePicked, like);
}

void KytScene::MarkTarget(const AuxDRPartsConnect* like)
{
    if (like)
        Mark<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(
            m_pDRPartsConnectHead, m_pDRPartsConnectPicked, like);
}

void KytScene::MarkTarget(const AuxDRArrow* like)
{
    if (like)
        Mark<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowHead, m_pDRArrowPicked, like);
}
