#pragma once
// Joint glyphs of a mechanism: a pin with a ring (rotating joint) or a cone (sliding joint)
// at each pushed link's joint frame, red while active, pickable as the link.

#include "scene/annotation/AuxJointData.h"
#include "scene/annotation/KytAuxContents.h"
#include "platform/kernel/KytStack.h"

class AuxJoint : public KytAuxContents {
public:
    explicit AuxJoint(unsigned int id = 0);
    // Base fields and size only: the records stay with the source.
    explicit AuxJoint(const AuxJoint* source);
    // With copies of the records, in the same order.
    AuxJoint(const AuxJoint& other);
    AuxJoint& operator=(const AuxJoint& other);
    ~AuxJoint() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void FitView(const KytViewPort* viewport) override;
    KytAuxContents* Duplicate() override;
    bool IsPickable() const override { return true; }

    bool Push(KytLink* link, bool draw);
    bool SetDrawData(KytLink* link, bool draw);
    double GetQ(const KytLink* link) const;
    double GetDelta(const KytLink* link) const;
    void SetDelta(KytLink* link, double delta);
    void AllHide();
    void SetActive(KytLink* link, bool toggle);
    void ClearData();
    int Count() const { return Joints.GetCount(); }
    KytItem<AuxJointData>* GetFirstTarget() const { return Joints.GetFirstItem(); }

    KytStack<AuxJointData> Joints;  // records owned, newest first
    GLUquadricObj* Quadric = nullptr;
    float GlyphSize = 0.0f;

    // The glyphs along the current z axis, sized from GlyphSize.
    void DrawRotateJoint(bool active) const;
    void DrawSlideJoint(bool active) const;

private:
    AuxJointData* Find(const KytLink* link) const;
    void CopyRecords(const AuxJoint& other);
    void DrawPin(bool shiny) const;
};
