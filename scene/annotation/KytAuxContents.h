#pragma once
// Base of every overlay object a scene keeps in its two stage lists.

#include "scene/view/KytContents.h"

class KytLink;
class KytScene;
class KytPickData;
class WqVector3D;

// What kind of overlay an object is; the scene sorts copies into its lists by it.
enum AuxType {
    AUXTYPE_GENERAL = 0,
    AUXTYPE_ANNOTATE = 1,
    AUXTYPE_DR = 2,
};

// Which list an object is drawn in: before the part tree, or (any other value) after it.
enum AUX_STAGE {
    AUX_STAGE_FIRST = 0,
    AUX_STAGE_SECOND = 1,
};

class KytAuxContents : public KytContents {
public:
    KytAuxContents();
    explicit KytAuxContents(unsigned int id);
    // Used by every Duplicate: own state copied, fresh display list and list link.
    explicit KytAuxContents(const KytAuxContents* source);
    KytAuxContents(const KytAuxContents& other);
    KytAuxContents& operator=(const KytAuxContents& other);
    ~KytAuxContents() override;

    // Returns a new heap copy of the concrete object; the caller owns it.
    virtual KytAuxContents* Duplicate() const = 0;
    virtual AuxType GetAuxType() const;
    virtual bool IsPickable() const;
    virtual bool IsTargetLink(KytLink* link) const;
    virtual void CheckVisual(KytLink* link);
    virtual void SetSubDrawFlag(bool flag);
    virtual bool Pick(KytPickData* data, const WqVector3D& from, const WqVector3D& to, double& distance);
    virtual void DrawGDI();

    // First object after this one (this one is not looked at) whose id is `id`.
    KytAuxContents* Search(unsigned int id) const;

    // Next object of the same stage list; written only by the scene's list operations.
    KytAuxContents* pNextAux = nullptr;
    // Visibility below the link the scene currently shows alone.
    bool bSubDraw = true;
};
