#pragma once
// An overlay object bound to one part of the kernel's tree.

#include "scene/annotation/KytAuxContents.h"

class AuxTarget : public KytAuxContents {
public:
    AuxTarget();
    AuxTarget(unsigned int id, KytLink* link);
    explicit AuxTarget(const AuxTarget* source);
    AuxTarget(const AuxTarget& other);
    AuxTarget& operator=(const AuxTarget& other);
    ~AuxTarget() override;

    bool IsDraw() const override;
    KytAuxContents* Duplicate() override;
    bool IsTargetLink(KytLink* link) const override;
    void CheckVisual(KytLink* link) override;

    virtual KytLink* GetTargetLink() const;
    virtual void Change(KytLink* link);
    virtual void Scale(double factor);

    // The part the object belongs to; not owned.
    KytLink* pTargetLink = nullptr;
};
