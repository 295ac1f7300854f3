#pragma once
// Marks a part (a person in the product) with a downward arrow above it and a text over the
// arrow.

#include "scene/annotation/AuxAnnotate.h"

class AuxHumanPointer : public AuxAnnotate {
public:
    AuxHumanPointer() = default;
    AuxHumanPointer(unsigned int id, KytLink* link, char* text);
    explicit AuxHumanPointer(const AuxHumanPointer* source);
    // Value copies own their text and hold no quadric: Create makes one when needed.
    AuxHumanPointer(const AuxHumanPointer& other);
    AuxHumanPointer& operator=(const AuxHumanPointer& other);
    ~AuxHumanPointer() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void Draw() override;
    KytAuxContents* Duplicate() override;
    void DrawGDI(KytOgl* ogl) override;
    bool Pick(KytOgl* ogl, int x, int y) override;
    bool GetState() const override;

    void ChangeHead(KytLink* link, char* text);

    char* pszText = nullptr;
    GLUquadric* pQuadric = nullptr;

private:
    void SetText(const char* text);
};
