#pragma once
// The coordinate axes as a scene overlay, sized from the view radius.

#include "scene/annotation/KytAuxContents.h"

class AuxAxis;

class AuxSysCoord : public KytAuxContents {
public:
    explicit AuxSysCoord(unsigned int id = 0);
    // The copy owns its own axis, copied from the source's.
    explicit AuxSysCoord(const AuxSysCoord* source);
    AuxSysCoord(const AuxSysCoord& other);
    AuxSysCoord& operator=(const AuxSysCoord& other);
    ~AuxSysCoord() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void FitView(const KytViewPort* viewport) override;
    KytAuxContents* Duplicate() override;

    AuxAxis* Axis = nullptr;  // owned

    static bool bAxisFlag;
    static float fAxisRate;
};
