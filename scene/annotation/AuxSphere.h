#pragma once
// Translucent red spheres around the parts of a stack, at their geometric centres.

#include "scene/annotation/KytAuxContents.h"
#include "platform/kernel/KytStack.h"

class KytLink;

class AuxSphere : public KytAuxContents {
public:
    explicit AuxSphere(unsigned int id = 0);
    // Shares the stack; no quadric until Create.
    explicit AuxSphere(const AuxSphere* source);
    AuxSphere(const AuxSphere& other);
    AuxSphere& operator=(const AuxSphere& other);
    ~AuxSphere() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    KytAuxContents* Duplicate() override;

    KytStack<KytLink>* Stack = nullptr;  // not owned
    GLUquadricObj* Quadric = nullptr;
};
