#pragma once
// A balloon of an annotation record whose balloon and target points are world coordinates
// (the record's anchor holds the balloon, its offset the target): an ellipse with the title
// inside and, when the two points differ, a leader between them.

#include "scene/annotation/AuxAnnotate.h"

class AuxProcessAnno : public AuxAnnotate {
public:
    AuxProcessAnno() = default;
    AuxProcessAnno(unsigned int id, KytLink* link, KytAnnotateData* data);
    AuxProcessAnno(unsigned int id, KytLink* link, KytAnnotateData* data, WqVector3D& point);
    AuxProcessAnno(unsigned int id, KytLink* link, KytAnnotateData* data, WqVector3D& target,
                   WqVector3D& balloon);
    explicit AuxProcessAnno(const AuxProcessAnno* source);
    AuxProcessAnno(const AuxProcessAnno&) = default;
    AuxProcessAnno& operator=(const AuxProcessAnno&) = default;

    bool IsDraw() const override;
    void Draw() override;
    KytAuxContents* Duplicate() override;
    bool GetEndPoint(WqVector3D& out) const override;
    bool GetWindowPos(HDC dc, int& x, int& y, SIZE* size) override;
    void DrawGDI(KytOgl* ogl) override;
    void Dragging(KytOgl* ogl) override;
    bool Pick(KytOgl* ogl, int x, int y) override;
    bool MoveEndPos(const WqVector3D& delta, bool flag) override;

    bool bLeader = false;
};
