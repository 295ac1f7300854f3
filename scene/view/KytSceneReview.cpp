// The scene's design-review backups, roll-backs and deletions, review dimensions and the
// removal of everything shown for a part.

#include "scene/view/KytScene.h"

#include <algorithm>
#include <vector>

#include "platform/kernel/KytLink.h"
#include "platform/kernel/KytRecords.h"
#include "scene/annotation/AuxCamera.h"
#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/annotation/AuxDimension.h"
#include "scene/view/KernelLinks.h"
#include "scene/view/KytOgl.h"

namespace {

bool IsReviewHolder(const KytLink* link)
{
    return (kyt_links::LinkType(link) & 0x3) != 0;
}

template <class T, T* T::*Next>
std::vector<T*> Stretch(T* first)
{
    std::vector<T*> out;
    for (T* o = first; o; o = o->*Next)
        out.push_back(o);
    return out;
}

// After `added` joins a chain: the first annotation of its balloon group that draws the
// balloon keeps it; a newcomer draws only when no earlier one of its group does.
void BalloonRule(AuxDRAnnotate* head, const AuxDRAnnotate* added)
{
    for (AuxDRAnnotate* b = head; b; b = b->pNextDRAnnotation) {
        if (b->GetDRID() != added->GetDRID() || b->GetBalloonNo() != added->GetBalloonNo())
            continue;
        if (b->bDrawBalloon)
            return;
        b->bDrawBalloon = (b == added);
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Backing up

void KytScene::BackupDRAuxContents(unsigned long drId, KytLink* link)
{
    for (KytLink* l = link; l; l = l->GetNext()) {
        if (IsReviewHolder(l)) {
            for (KytDRAnnotateData* d = l->pDRAnnotate; d; d = d->pNextDR) {
                if (!m_pDRAnnotateHead || !m_pDRAnnotateHead->SearchAnnotation(d) ||
                    (m_pDRAnnotateBackup && m_pDRAnnotateBackup->SearchAnnotation(d)))
                    continue;
                auto* obj = new AuxDRAnnotate(AuxDRAnnotate::ID, l);
                obj->pDRData = d;
                BackupDRAnnotation(obj);
                BalloonRule(m_pDRAnnotateBackup, obj);
            }
            for (KytDRPartsConnectData* d = l->pDRPartsConnect; d; d = d->pNext) {
                if (!m_pDRPartsConnectHead || !m_pDRPartsConnectHead->SearchPartsConnect(d) ||
                    (m_pDRPartsConnectBackup && m_pDRPartsConnectBackup->SearchPartsConnect(d)))
                    continue;
                auto* obj = new AuxDRPartsConnect(AuxDRPartsConnect::ID, l);
                obj->pDRData = d;
                BackupDRPartsConnect(obj);
            }
            for (KytDRArrowData* d = l->pDRArrow; d; d = d->pNext) {
                if (!m_pDRArrowHead || !m_pDRArrowHead->SearchArrow(d) ||
                    (m_pDRArrowBackup && m_pDRArrowBackup->SearchArrow(d)))
                    continue;
                auto* obj = new AuxDRArrow(AuxDRArrow::ID, l);
                obj->pDRData = d;
                BackupDRArrow(obj);
            }
        }
        BackupDRAuxContents(drId, l->GetChild());
    }
}

// The whole subtree is renumbered: backing the children up instead would file backups the
// caller did not ask for.
void KytScene::BackupDRAuxContentsSetDRID(unsigned long drId, KytLink* link)
{
    for (KytLink* l = link; l; l = l->GetNext()) {
        if (IsReviewHolder(l)) {
            for (KytDRAnnotateData* d = l->pDRAnnotate; d; d = d->pNextDR)
                if (AuxDRAnnotate* o = m_pDRAnnotateHead ? m_pDRAnnotateHead->SearchAnnotation(d) : nullptr)
                    o->SetNo();
            for (KytDRPartsConnectData* d = l->pDRPartsConnect; d; d = d->pNext)
                if (AuxDRPartsConnect* o =
                        m_pDRPartsConnectHead ? m_pDRPartsConnectHead->SearchPartsConnect(d) : nullptr)
                    o->SetNo();
            for (KytDRArrowData* d = l->pDRArrow; d; d = d->pNext)
                if (AuxDRArrow* o = m_pDRArrowHead ? m_pDRArrowHead->SearchArrow(d) : nullptr)
                    o->SetNo();
        }
        BackupDRAuxContentsSetDRID(drId, l->GetChild());
    }
}

// ---------------------------------------------------------------------------------------------
// Rolling back

void KytScene::RollbackDRAuxContents()
{
    RollbackDRAnnotation();
    RollbackDRPartsConnect();
    RollbackDRArrow();
}

void KytScene::RollbackDRAnnotation()
{
    for (AuxDRAnnotate* b = m_pDRAnnotateBackup; b; b = b->pNextDRAnnotation) {
        KytLink* link = b->GetTargetLink();
        if (!link || !b->pDRData)
            continue;
        for (KytDRAnnotateData* d = link->pDRAnnotate; d; d = d->pNextDR) {
            if (d->ulDRKey != b->GetDRID() || d->ulKey != b->pDRData->ulKey)
                continue;
            auto* obj = new AuxDRAnnotate(AuxDRAnnotate::ID, link);
            obj->pDRData = d;
            obj->bBackup = false;
            AddAnnotation(obj, AUX_STAGE_SECOND);
            BalloonRule(m_pDRAnnotateHead, obj);
            break;
        }
    }
}

void KytScene::RollbackDRPartsConnect()
{
    for (AuxDRPartsConnect* b = m_pDRPartsConnectBackup; b; b = b->pNextDRPartsConnect) {
        KytLink* link = b->GetTargetLink();
        if (!link || !b->pDRData)
            continue;
        for (KytDRPartsConnectData* d = link->pDRPartsConnect; d; d = d->pNext) {
            if (d->ulDRKey != b->GetDRID() || d->ulKey != b->pDRData->ulKey)
                continue;
            auto* obj = new AuxDRPartsConnect(AuxDRPartsConnect::ID, link);
            obj->pDRData = d;
            obj->bBackup = false;
            AddPartsConnect(obj);
            break;
        }
    }
}

void KytScene::RollbackDRArrow()
{
    for (AuxDRArrow* b = m_pDRArrowBackup; b; b = b->pNextDRArrow) {
        KytLink* link = b->GetTargetLink();
        if (!link || !b->pDRData)
            continue;
        for (KytDRArrowData* d = link->pDRArrow; d; d = d->pNext) {
            if (d->ulDRKey != b->GetDRID() || d->ulKey != b->pDRData->ulKey)
                continue;
            auto* obj = new AuxDRArrow(AuxDRArrow::ID, link);
            obj->pDRData = d;
            obj->bBackup = false;
            AddDRArrow(obj);
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Deleting

void KytScene::DeleteBackupDRAnnotation()
{
    auto all = Stretch<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(m_pDRAnnotateBackup);
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        RemoveAnnotation(*it);
}

void KytScene::DeleteBackupDRPartsConnect()
{
    auto all = Stretch<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(
        m_pDRPartsConnectBackup);
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        RemoveDRPartsConnect(*it);
}

void KytScene::DeleteBackupDRArrow()
{
    auto all = Stretch<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(m_pDRArrowBackup);
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        RemoveDRArrow(*it);
}

void KytScene::DeleteBackupDRAuxContents()
{
    DeleteBackupDRAnnotation();
    DeleteBackupDRPartsConnect();
    DeleteBackupDRArrow();
    m_pDRAnnotateBackup = nullptr;
    m_pDRPartsConnectBackup = nullptr;
    m_pDRArrowBackup = nullptr;
}

void KytScene::DeleteDRAnnotateChain(AuxDRAnnotate* first)
{
    auto all = Stretch<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(first);
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        RemoveAnnotation(*it);
}

void KytScene::DeleteDRPartsConnectChain(AuxDRPartsConnect* first)
{
    auto all = Stretch<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(first);
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        RemoveDRPartsConnect(*it);
}

void KytScene::DeleteDRArrowChain(AuxDRArrow* first)
{
    auto all = Stretch<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(first);
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        RemoveDRArrow(*it);
}

// Removal unlinks each object from its chain, so the survivors stay linked in their order.
AuxDRAnnotate* KytScene::DeleteDRAnnotateChain(AuxDRAnnotate* first, unsigned long drId)
{
    AuxDRAnnotate* survivor = nullptr;
    for (AuxDRAnnotate* o : Stretch<AuxDRAnnotate, &AuxDRAnnotate::pNextDRAnnotation>(first)) {
        if (o->GetDRID() == drId)
            RemoveAnnotation(o);
        else if (!survivor)
            survivor = o;
    }
    return survivor;
}

AuxDRPartsConnect* KytScene::DeleteDRPartsConnectChain(AuxDRPartsConnect* first,
                                                       unsigned long drId)
{
    AuxDRPartsConnect* survivor = nullptr;
    for (AuxDRPartsConnect* o :
         Stretch<AuxDRPartsConnect, &AuxDRPartsConnect::pNextDRPartsConnect>(first)) {
        if (o->GetDRID() == drId)
            RemoveDRPartsConnect(o);
        else if (!survivor)
            survivor = o;
    }
    return survivor;
}

AuxDRArrow* KytScene::DeleteDRArrowChain(AuxDRArrow* first, unsigned long drId)
{
    AuxDRArrow* survivor = nullptr;
    for (AuxDRArrow* o : Stretch<AuxDRArrow, &AuxDRArrow::pNextDRArrow>(first)) {
        if (o->GetDRID() == drId)
            RemoveDRArrow(o);
        else if (!survivor)
            survivor = o;
    }
    return survivor;
}

void KytScene::DeleteDRAnnotation(unsigned long drId)
{
    DeleteDRAnnotateChain(m_pDRAnnotateHead, drId);
}

void KytScene::DeleteDRPartsConnect(unsigned long drId)
{
    DeleteDRPartsConnectChain(m_pDRPartsConnectHead, drId);
}

void KytScene::DeleteDRArrow(unsigned long drId)
{
    DeleteDRArrowChain(m_pDRArrowHead, drId);
}

void KytScene::DeleteDRAuxContents(unsigned long drId)
{
    DeleteDRAnnotation(drId);
    DeleteDRPartsConnect(drId);
    DeleteDRArrow(drId);
}

// ---------------------------------------------------------------------------------------------
// Review dimensions, ids in use, balloon numbers, the camera glyph

void KytScene::ShowDRDimensions(unsigned long drId, bool show)
{
    if (pSceneDR && show && pSceneDR != this)
        return;
    for (AuxAnnotate* a = m_pAnnotateHead; a; a = a->pNextAnnotation) {
        auto* dim = a->GetID() == AuxDimension::ID ? dynamic_cast<AuxDimension*>(a) : nullptr;
        if (dim && (drId == 0 || dim->GetDRID() == drId))
            dim->SetDraw(show);
    }
}

void KytScene::DeleteDRDimensions(unsigned long drId)
{
    std::vector<AuxAnnotate*> doomed;
    for (AuxAnnotate* a = m_pAnnotateHead; a; a = a->pNextAnnotation) {
        auto* dim = a->GetID() == AuxDimension::ID ? dynamic_cast<AuxDimension*>(a) : nullptr;
        if (dim && dim->GetDRID() == drId)
            doomed.push_back(a);
    }
    for (AuxAnnotate* a : doomed)
        RemoveAnnotation(a);
}

void KytScene::DeleteAllDRDimensions()
{
    while (RemoveAnnotation(static_cast<unsigned int>(AuxDimension::ID), -1)) {
    }
}

bool KytScene::IsCanDeleteDRData(unsigned long drId) const
{
    for (AuxDRAnnotate* o = m_pDRAnnotateHead; o; o = o->pNextDRAnnotation)
        if (o->GetID() == AuxDRAnnotate::ID && o->GetDRID() == drId)
            return true;
    for (AuxDRPartsConnect* o = m_pDRPartsConnectHead; o; o = o->pNextDRPartsConnect)
        if (o->GetID() == AuxDRPartsConnect::ID && o->GetDRID() == drId)
            return true;
    for (AuxDRArrow* o = m_pDRArrowHead; o; o = o->pNextDRArrow)
        if (o->GetID() == AuxDRArrow::ID && o->GetDRID() == drId)
            return true;
    for (AuxAnnotate* a = m_pAnnotateHead; a; a = a->pNextAnnotation) {
        auto* dim = a->GetID() == AuxDimension::ID ? dynamic_cast<AuxDimension*>(a) : nullptr;
        if (dim && dim->GetDRID() == drId)
            return true;
    }
    return false;
}

// Walks the distinct numbers in use rather than every number up to the largest, which would
// take billions of steps for a number near the top of the range.
void KytScene::OptimizeBalloonID(unsigned long drId)
{
    if (drId == 0)
        return;
    std::vector<unsigned> numbers;
    for (AuxDRAnnotate* o = m_pDRAnnotateHead; o; o = o->pNextDRAnnotation)
        if (o->pDRData && o->GetDRID() == drId && o->pDRData->uBalloon >= 1)
            numbers.push_back(o->pDRData->uBalloon);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (AuxDRAnnotate* o = m_pDRAnnotateHead; o; o = o->pNextDRAnnotation) {
        if (!o->pDRData || o->GetDRID() != drId || o->pDRData->uBalloon < 1)
            continue;
        auto at = std::lower_bound(numbers.begin(), numbers.end(), o->pDRData->uBalloon);
        o->pDRData->uBalloon = static_cast<unsigned>(at - numbers.begin()) + 1;
    }
    KytDRAnnotateData::uiBalloonCounter = static_cast<unsigned>(numbers.size()) + 1;
}

void KytScene::ShowCamera(bool show)
{
    if (m_bNormal && m_pContents && m_pContents->pCameraGlyph)
        m_pContents->pCameraGlyph->SetDraw(show);
}

// ---------------------------------------------------------------------------------------------
// Everything shown for a part

void KytScene::RemoveDisplayObject(KytLink* link, bool thisOnly)
{
    for (KytLink* l = link; l; l = l->GetNext()) {
        while (RemoveAnnotation(l)) {
        }
        while (AuxDRAnnotate* o = SearchDRAnnotation(static_cast<const KytLink*>(l)))
            RemoveAnnotation(o);
        while (AuxDRArrow* o = SearchDRArrow(static_cast<const KytLink*>(l)))
            RemoveDRArrow(o);
        while (AuxDRPartsConnect* o = SearchDRPartsConnect(static_cast<const KytLink*>(l)))
            RemoveDRPartsConnect(o);
        RemoveAuxContents(l);
        if (AuxCamera::pTargetCamera == l)
            AuxCamera::pTargetCamera = nullptr;
        if (kyt_links::LinkType(l) == 0x100)
            RemoveClipPlane(l, false);
        if (m_pContents && (l == m_pContents->pFocusLink1 || l == m_pContents->pFocusLink2))
            ChangeDrawType(DRAWTYPE(1), nullptr, nullptr, false);
        if (KytLink* child = l->GetChild())
            RemoveDisplayObject(child, false);
        if (thisOnly)
            return;
    }
}
