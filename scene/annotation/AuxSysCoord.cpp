#include "scene/annotation/AuxSysCoord.h"

#include <new>

#include "scene/annotation/AuxAxis.h"
#include "scene/view/KytScene.h"
#include "scene/view/KytViewPort.h"

bool AuxSysCoord::bAxisFlag = true;
float AuxSysCoord::fAxisRate = 0.05f;

namespace {
AuxAxis* CopyAxis(const AuxAxis* source)
{
    return source ? new (std::nothrow) AuxAxis(source) : nullptr;
}
}  // namespace

AuxSysCoord::AuxSysCoord(unsigned int id) : KytAuxContents(id)
{
    Axis = new (std::nothrow) AuxAxis(5, 2.0f);
    if (Axis)
        Axis->SetDraw(true);
}

AuxSysCoord::AuxSysCoord(const AuxSysCoord* source) : KytAuxContents(source)
{
    if (source)
        Axis = CopyAxis(source->Axis);
}

AuxSysCoord::AuxSysCoord(const AuxSysCoord& other) : KytAuxContents(other)
{
    Axis = CopyAxis(other.Axis);
}

AuxSysCoord& AuxSysCoord::operator=(const AuxSysCoord& other)
{
    if (this != &other) {
        KytAuxContents::operator=(other);
        delete Axis;
        Axis = CopyAxis(other.Axis);
    }
    return *this;
}

AuxSysCoord::~AuxSysCoord()
{
    delete Axis;
}

void AuxSysCoord::Destroy()
{
    KytAuxContents::Destroy();
    if (Axis)
        Axis->Destroy();
}

void AuxSysCoord::Create(KytScene* scene)
{
    if (!scene)
        return;
    if (Axis)
        Axis->Create(scene->GetOgl());
    FitView(scene->GetViewPort());
}

void AuxSysCoord::FitView(const KytViewPort* viewport)
{
    if (!viewport || !Axis)
        return;
    const float length = static_cast<float>(fAxisRate * viewport->GetViewRadius());
    Axis->SetSize(length, 0.2f * length);
}

KytAuxContents* AuxSysCoord::Duplicate()
{
    return new (std::nothrow) AuxSysCoord(this);
}

void AuxSysCoord::Draw()
{
    if (!IsDraw() || !bAxisFlag || !Axis)
        return;
    // The axes stand in front of the parts; the depth switch is given back as it was found.
    glPushAttrib(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    Axis->Draw();
    glPopAttrib();
}
