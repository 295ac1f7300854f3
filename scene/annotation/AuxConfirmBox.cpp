#include "scene/annotation/AuxConfirmBox.h"

#include <limits>
#include <new>

#include "scene/view/KernelLinks.h"
#include "scene/view/KytScene.h"

using namespace kyt_links;

namespace {

// Corners numbered 0 (x-, y-, z-), 1 (x+, y-, z-), 2 (x+, y+, z-), 3 (x-, y+, z-), then the
// same four at z+.
constexpr bool kXPlus[8] = {false, true, true, false, false, true, true, false};
constexpr bool kYPlus[8] = {false, false, true, true, false, false, true, true};
constexpr int kFaces[6][4] = {{0, 3, 2, 1}, {1, 5, 4, 0}, {0, 4, 7, 3},
                              {4, 5, 6, 7}, {7, 6, 2, 3}, {5, 1, 2, 6}};

void DrawFaces(const float corners[8][3])
{
    glBegin(GL_QUADS);
    for (const auto& face : kFaces)
        for (int k : face)
            glVertex3fv(corners[k]);
    glEnd();
}

KytLink* TopOfNoHandleChain(KytLink* link)
{
    KytLink* top = link;
    for (KytLink* p = Parent(link); p && (LinkType(p) & KYT_LINK_NOHANDLE); p = Parent(p))
        top = p;
    return top;
}

}  // namespace

AuxConfirmBox::AuxConfirmBox(unsigned int id, KytStack<KytLink>* stack)
    : KytAuxContents(id), Stack(stack)
{
}

AuxConfirmBox::AuxConfirmBox(const AuxConfirmBox* source) : KytAuxContents(source)
{
    if (source) {
        Stack = source->Stack;
        Solid = source->Solid;
        ReferMode = source->ReferMode;
    }
}

AuxConfirmBox::~AuxConfirmBox() = default;

KytAuxContents* AuxConfirmBox::Duplicate()
{
    return new (std::nothrow) AuxConfirmBox(this);
}

void AuxConfirmBox::Change(const KytStack<KytLink>* stack)
{
    Stack = const_cast<KytStack<KytLink>*>(stack);
}

bool AuxConfirmBox::IsHidden(const KytLink* link)
{
    return !IsVisibleInLayer(link);
}

bool AuxConfirmBox::AssemblyBox(const KytLink* link, int mode, WqVector3D& min, WqVector3D& max)
{
    const double big = std::numeric_limits<double>::max();
    min = WqVector3D(big, big, big);
    max = WqVector3D(-big, -big, -big);
    const int saved = KytLink::eReferMode;
    if (mode >= 0 && mode < KYT_REFER_COUNT)
        KytLink::eReferMode = mode;
    const bool ok = link->GetBoundingBox(&min, &max, false, -1, true);
    KytLink::eReferMode = saved;
    return ok;
}

void AuxConfirmBox::SingleConfirmBox(const KytLink* link) const
{
    if (!link || !link->bHasBox)
        return;
    // The kernel keeps the corners in the link's frame, numbered by bits (1 x+, 2 y+, 4 z+);
    // they go to the world through the link's placement.
    float corners[8][3];
    for (int i = 0; i < 8; ++i) {
        const int stored = (kXPlus[i] ? 1 : 0) | (kYPlus[i] ? 2 : 0) | (i >= 4 ? 4 : 0);
        const WqVector3D w = link->mech.GetAbsPos(link->aBoxCorner[stored]);
        corners[i][0] = static_cast<float>(w.x);
        corners[i][1] = static_cast<float>(w.y);
        corners[i][2] = static_cast<float>(w.z);
    }
    DrawFaces(corners);
}

void AuxConfirmBox::SingleConfirmBox(const WqVector3D& min, const WqVector3D& max,
                                     const WqVector3D& center) const
{
    const WqVector3D h = (max - min) * 0.52;
    float corners[8][3];
    for (int i = 0; i < 8; ++i) {
        corners[i][0] = static_cast<float>(kXPlus[i] ? center.x + h.x : center.x - h.x);
        corners[i][1] = static_cast<float>(kYPlus[i] ? center.y + h.y : center.y - h.y);
        corners[i][2] = static_cast<float>(i >= 4 ? center.z + h.z : center.z - h.z);
    }
    DrawFaces(corners);
}

void AuxConfirmBox::Draw()
{
    if (!IsDraw() || KytScene::bMoving || !Stack || Stack->GetCount() == 0)
        return;
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    if (Solid == 0) {
        glEnable(GL_LINE_STIPPLE);
        glLineStipple(1, 0xF0F0);
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    const int n = Stack->GetCount();
    for (int i = 0; i < n; ++i) {
        KytLink* link = Stack->Get(i);
        if (!link)
            continue;
        if (KytScene::bShowTargetLink ? !IsHidden(link) : IsHidden(link))
            continue;
        const unsigned type = LinkType(link);
        if (!(type & (KYT_LINK_PART | KYT_LINK_NOHANDLE)))
            continue;
        if (link->pShape) {
            if (!(type & KYT_LINK_PART)) {
                if (!(type & KYT_LINK_NOHANDLE) || IsHidden(TopOfNoHandleChain(link)))
                    continue;
            }
            glColor3f(1.0f, 0.0f, 0.3f);
            glLineWidth(1.0f);
            SingleConfirmBox(link);
        } else if (FirstChild(link)) {
            if (Solid != 0) {
                glColor3f(0.0f, 1.0f, 1.0f);
                glLineWidth(1.0f);
            } else {
                glColor3f(1.0f, 1.0f, 0.1f);
                glLineWidth(2.0f);
            }
            WqVector3D min, max;
            if (AssemblyBox(link, ReferMode, min, max))
                SingleConfirmBox(min, max, (min + max) * 0.5);
        }
    }
    glPopAttrib();
}

AuxConfirmBox2::AuxConfirmBox2(unsigned int id, KytStack<KytLink>* stack)
    : AuxConfirmBox(id, stack)
{
}

AuxConfirmBox2::AuxConfirmBox2(const AuxConfirmBox* source) : AuxConfirmBox(source) {}

AuxConfirmBox2::~AuxConfirmBox2() = default;

KytAuxContents* AuxConfirmBox2::Duplicate()
{
    return new (std::nothrow) AuxConfirmBox2(this);
}

void AuxConfirmBox2::Draw()
{
    if (!IsDraw() || KytScene::bMoving || !Stack || Stack->GetCount() == 0)
        return;
    glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xF0F0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glColor3f(0.1f, 1.0f, 0.5f);
    glLineWidth(2.0f);
    const int n = Stack->GetCount();
    for (int i = 0; i < n; ++i) {
        KytLink* link = Stack->Get(i);
        if (!link)
            continue;
        if (KytScene::bShowTargetLink && !IsHidden(link))
            continue;
        if (link->pShape) {
            SingleConfirmBox(link);
        } else if (FirstChild(link)) {
            WqVector3D min, max;
            if (AssemblyBox(link, -1, min, max))
                SingleConfirmBox(min, max, (min + max) * 0.5);
        }
    }
    glPopAttrib();
}
