#pragma once
#include "scene/view/KytContents.h"

struct KytPickData;

// What GetAuxType answers; the scene dispatches on it when it copies auxiliary objects.
enum AuxType {
    AUXTYPE_GENERAL = 0,
    AUXTYPE_ANNOTATE = 1,
    AUXTYPE_DR = 2,
};

// The scene's two lists of auxiliary objects: drawn before and after the part tree.
// A host passes any int as a stage (anything but the first is the second list): the fixed
// type makes every such value one the enum can hold.
enum AUX_STAGE : int {
    AUX_STAGE_FIRST = 0,
    AUX_STAGE_SECOND = 1,
};

// Base of every overlay object of a scene. Objects of one stage list are chained through
// pNextAux, which only the scene's list operations write.
class KytAuxContents : public KytContents {
public:
    KytAuxContents() = default;
    explicit KytAuxContents(unsigned int id) : KytContents(id) {}
    // Draw flag, id and sub-draw flag from `source` when given; fresh list link and
    // display list. The constructor every Duplicate uses.
    explicit KytAuxContents(const KytAuxContents* source);
    KytAuxContents(const KytAuxContents&) = default;
    KytAuxContents& operator=(const KytAuxContents&) = default;
    ~KytAuxContents() override = default;

    virtual KytAuxContents* Duplicate() = 0;
    virtual int GetAuxType() { return AUXTYPE_GENERAL; }
    virtual bool IsPickable() const { return false; }
    virtual bool IsTargetLink(KytLink* link) const { return false; }
    virtual void CheckVisual(KytLink* link) {}
    virtual void SetSubDrawFlag(bool flag) { bSubDraw = flag; }
    virtual bool Pick(KytPickData* pick, const WqVector3D& from, const WqVector3D& dir,
                      double& depth)
    {
        return false;
    }
    virtual void DrawGDI() {}

    // The first object after this one in its chain whose id is `id` (this object itself is
    // not examined); null at the end of the chain.
    KytAuxContents* Search(unsigned int id);

    KytAuxContents* pNextAux = nullptr;
    bool bSubDraw = true;
};
