#include "scene/annotation/AuxCOM2.h"

#include <new>

#include "scene/annotation/AuxCOM.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

AuxCOM2::AuxCOM2(unsigned int id, const WqVector3D& position)
    : KytAuxContents(id), Position(position)
{
}

AuxCOM2::AuxCOM2(const AuxCOM2* source) : KytAuxContents(source)
{
    if (source) {
        Size = source->Size;
        Position = source->Position;
    }
}

AuxCOM2::AuxCOM2(const AuxCOM2& other)
    : KytAuxContents(other), Size(other.Size), Position(other.Position)
{
}

AuxCOM2& AuxCOM2::operator=(const AuxCOM2& other)
{
    if (this != &other) {
        KytAuxContents::operator=(other);
        Size = other.Size;
        Position = other.Position;
    }
    return *this;
}

AuxCOM2::~AuxCOM2()
{
    if (Quadric)
        gluDeleteQuadric(Quadric);
}

void AuxCOM2::Destroy()
{
    KytAuxContents::Destroy();
    if (Quadric) {
        gluDeleteQuadric(Quadric);
        Quadric = nullptr;
    }
}

void AuxCOM2::Create(KytScene* scene)
{
    if (!Quadric) {
        Quadric = gluNewQuadric();
        if (Quadric) {
            gluQuadricDrawStyle(Quadric, GLU_FILL);
            gluQuadricOrientation(Quadric, GLU_OUTSIDE);
        }
    }
    if (scene)
        FitView(scene->GetViewPort());
}

void AuxCOM2::FitView(const KytViewPort* viewport)
{
    if (viewport)
        Size = static_cast<float>(0.02 * viewport->GetViewRadius());
}

KytAuxContents* AuxCOM2::Duplicate()
{
    return new (std::nothrow) AuxCOM2(this);
}

void AuxCOM2::Draw()
{
    if (!Quadric || !IsDraw())
        return;
    DrawCOMMarker(Quadric, Size, Position);
}
