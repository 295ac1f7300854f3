#pragma once
// Manipulator handles of the selected links: a translation handle (bars with end cubes), a
// rotation handle (rods, end spheres, arrows and a circle on the active axis) or a joint
// handle, chosen by the link's joint kind and the kernel's manipulation mode. Every handle is
// drawn under the names link, axis and half, so that a pick tells what the cursor is on.

#include <cstdint>

#include "scene/annotation/KytAuxContents.h"
#include "platform/kernel/KytStack.h"

class KytLink;
class KytScene;
class KytViewPort;

// Which handle kinds links of kind 2 show (other links always get theirs).
using SHOWMODE = uint32_t;
enum : SHOWMODE {
    SHOWMODE_ROTATION = 0x01,
    SHOWMODE_TRANSLATION = 0x02,
    SHOWMODE_JOINT_ROTATION = 0x08,
    SHOWMODE_JOINT_SLIDE = 0x10,
    SHOWMODE_ALL = 27,
};

class AuxManip : public KytAuxContents {
public:
    AuxManip(unsigned int id, KytStack<KytLink>* stack);
    // Id, flags, origin, stack, size, show mode and simple mode; a fresh matrix, no quadric.
    explicit AuxManip(const AuxManip* source);
    // Every field but the quadric, which is never shared.
    AuxManip(const AuxManip& other);
    AuxManip& operator=(const AuxManip& other);
    ~AuxManip() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void FitView(const KytViewPort* viewport) override;
    KytAuxContents* Duplicate() override;
    bool IsPickable() const override { return true; }

    void Change(KytStack<KytLink>* stack) { Stack = stack; }
    void SetShowMode(SHOWMODE mode) { ShowMode = mode; }
    // True when the mode changed.
    bool Simple(bool on);
    // World point of the link's first move arrow; false when its manip has no axis.
    bool GetPickPoint(KytLink* link, WqVector3D& point);

    float Origin[3] = {0, 0, 0};
    double Matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    GLUquadricObj* Quadric = nullptr;
    KytStack<KytLink>* Stack = nullptr;  // not owned
    float HandleSize = 0.0f;
    SHOWMODE ShowMode = SHOWMODE_ALL;
    bool IsSimple = false;

    // Sine and cosine of i * 10 degrees, filled by the first constructor of the process.
    static float afSin[36];
    static float afCos[36];

protected:
    void MakeTranslationHandle(KytLink* link);
    void MakeSimpleTransHandle(KytLink* link, float size);
    void MakeRotationHandle(KytLink* link);
    void MakeJointRotationHandle(KytLink* link);
    void MakeJointSlideHandle(KytLink* link);
    void DrawArrow(KytLink* link, float size);
    void DrawCircle(float radius, int axis);
    // The two move arrows: positions, turn angles (degrees) and the common turn axis.
    bool SetMoveVector(KytLink* link, float size, float (*const positions)[3],
                       float* const angles, float* const axis);

private:
    static void FillTables();
    void JointFrame(const KytLink* link);
    void JointRod(const KytLink* link);

    static bool s_bTables;
};
