#pragma once
// Wire boxes around the links of a selection: a part gets its shape box, an assembly a box
// 4 % larger than its bounding box.

#include "scene/annotation/KytAuxContents.h"
#include "platform/kernel/KytStack.h"

class KytLink;

class AuxConfirmBox : public KytAuxContents {
public:
    AuxConfirmBox(unsigned int id, KytStack<KytLink>* stack);
    explicit AuxConfirmBox(const AuxConfirmBox* source);
    AuxConfirmBox(const AuxConfirmBox&) = default;
    AuxConfirmBox& operator=(const AuxConfirmBox&) = default;
    ~AuxConfirmBox() override;

    void Draw() override;
    KytAuxContents* Duplicate() override;
    void Change(const KytStack<KytLink>* stack);

    // The six faces over the link's shape box, in world coordinates; nothing without a box.
    void SingleConfirmBox(const KytLink* link) const;
    // The six faces of the box of half extents 0.52 (max - min) around `center`.
    void SingleConfirmBox(const WqVector3D& min, const WqVector3D& max,
                          const WqVector3D& center) const;

    KytStack<KytLink>* Stack = nullptr;  // not owned
    int Solid = 0;
    int ReferMode = 0;

protected:
    // The link's bounding box in relation `mode` (the current one when it is no relation),
    // from an empty box, so that one assembly's box never covers another's.
    static bool AssemblyBox(const KytLink* link, int mode, WqVector3D& min, WqVector3D& max);
    static bool IsHidden(const KytLink* link);
};

// The same outlines in one dashed green, without kind or visibility filtering outside the
// show-target mode.
class AuxConfirmBox2 : public AuxConfirmBox {
public:
    AuxConfirmBox2(unsigned int id, KytStack<KytLink>* stack);
    explicit AuxConfirmBox2(const AuxConfirmBox* source);
    AuxConfirmBox2(const AuxConfirmBox2&) = default;
    AuxConfirmBox2& operator=(const AuxConfirmBox2&) = default;
    ~AuxConfirmBox2() override;

    void Draw() override;
    KytAuxContents* Duplicate() override;
};
