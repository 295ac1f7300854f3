// The scene list's forwards of the annotation and review chains to its scenes.

#include "scene/view/KytScenes.h"

#include "scene/annotation/AuxDRAnnotate.h"
#include "scene/annotation/AuxDRArrow.h"
#include "scene/annotation/AuxDRPartsConnect.h"
#include "scene/view/KytScene.h"

namespace {

template <class Visit>
void EachNormal(KytScene* top, Visit visit)
{
    for (KytScene* s = top; s; s = s->Next())
        if (s->IsNormal())
            visit(s);
}

template <class T>
void MarkElsewhere(KytScene* top, KytScene* origin, const T* like)
{
    if (!like)
        return;
    for (KytScene* s = top; s; s = s->Next()) {
        if (s == origin) {
            s->DrawDependPart();
            continue;
        }
        if (!s->IsNormal())
            continue;
        s->MarkTarget(like);
        s->DrawDependPart();
    }
}

} // namespace

void KytScenes::ChangeAuxAnnotateLink(KytAnnotateData* data, KytLink* from, KytLink* to)
{
    EachNormal(TopScene, [&](KytScene* s) { s->ChangeAuxAnnotateLink(data, from, to); });
}

void KytScenes::ChangeAuxDRAnnotateLink(KytDRAnnotateData* data, KytLink* from, KytLink* to)
{
    EachNormal(TopScene, [&](KytScene* s) { s->ChangeAuxDRAnnotateLink(data, from, to); });
}

void KytScenes::ChangeAuxDRPartsConnectLink(KytDRPartsConnectData* data, KytLink* from,
                                            KytLink* to)
{
    EachNormal(TopScene, [&](KytScene* s) { s->ChangeAuxDRPartsConnectLink(data, from, to); });
}

void KytScenes::ChangeAuxDRArrowLink(KytDRArrowData* data, KytLink* from, KytLink* to)
{
    EachNormal(TopScene, [&](KytScene* s) { s->ChangeAuxDRArrowLink(data, from, to); });
}

void KytScenes::BackupDRAuxContents(unsigned long drId)
{
    KytLink* root = GetRootLink();
    EachNormal(TopScene, [&](KytScene* s) { s->BackupDRAuxContents(drId, root); });
}

void KytScenes::BackupDRAuxContentsSetDRID(unsigned long drId)
{
    KytLink* root = GetRootLink();
    EachNormal(TopScene, [&](KytScene* s) { s->BackupDRAuxContentsSetDRID(drId, root); });
}

void KytScenes::RollbackDRAuxContents()
{
    EachNormal(TopScene, [](KytScene* s) { s->RollbackDRAuxContents(); });
}

void KytScenes::DeleteBackupDRAuxContents()
{
    EachNormal(TopScene, [](KytScene* s) { s->DeleteBackupDRAuxContents(); });
}

void KytScenes::DeleteDRAuxContents(unsigned long drId)
{
    EachNormal(TopScene, [&](KytScene* s) { s->DeleteDRAuxContents(drId); });
}

void KytScenes::ShowDRDimensions(unsigned long drId, bool show)
{
    EachNormal(TopScene, [&](KytScene* s) { s->ShowDRDimensions(drId, show); });
}

void KytScenes::DeleteDRDimensions(unsigned long drId)
{
    EachNormal(TopScene, [&](KytScene* s) { s->DeleteDRDimensions(drId); });
}

void KytScenes::DeleteAllDRDimensions()
{
    EachNormal(TopScene, [](KytScene* s) { s->DeleteAllDRDimensions(); });
}

void KytScenes::ShowCamera(bool show)
{
    EachNormal(TopScene, [&](KytScene* s) { s->ShowCamera(show); });
}

bool KytScenes::IsCanDeleteDRData(unsigned long drId) const
{
    for (KytScene* s = TopScene; s; s = s->Next())
        if (s->IsCanDeleteDRData(drId))
            return true;
    return false;
}

void KytScenes::ChangeTargetAnnotation(KytScene* origin, AuxAnnotate* annotation)
{
    MarkElsewhere(TopScene, origin, annotation);
}

void KytScenes::ChangeTargetAnnotation(KytScene* origin, AuxDRAnnotate* annotation)
{
    MarkElsewhere(TopScene, origin, annotation);
}

void KytScenes::ChangeTargetDRPartsConnect(KytScene* origin, AuxDRPartsConnect* connect)
{
    MarkElsewhere(TopScene, origin, connect);
}

void KytScenes::ChangeTargetDRArrow(KytScene* origin, AuxDRArrow* arrow)
{
    MarkElsewhere(TopScene, origin, arrow);
}
