#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/kernel/KytShape.h"
#include "platform/kernel/KytStack.h"
#include "platform/kernel/WqMatrix33D.h"

// Kind codes of a link; GetBoundingBox tests them bit by bit against its type mask.
enum : int {
    KYT_LINK_ASSEMBLY = 1,
    KYT_LINK_PART = 2,       // layered part: visibility follows the layer mask
    KYT_LINK_NOSIZE = 4,     // no size of its own; a camera link
    KYT_LINK_CAMERA = 4,
    KYT_LINK_HUMAN = 16,     // manikin segment
    KYT_LINK_WORKAXIS = 32,
    KYT_LINK_SOLIDPART = 64, // drawn opaque even inside a transparent pass
    KYT_LINK_DATUM = 256,    // datum and clip-plane link
    KYT_LINK_GROUP = 512,
    KYT_LINK_KIND2048 = 2048,
    KYT_LINK_NOHANDLE = 4096,
};

// Relations a link takes part in; KytLink::eReferMode selects the one walks follow.
enum KytReferMode : int {
    KYT_REFER_ASSEMBLY = 0,
    KYT_REFER_MECHANISM = 1,
    KYT_REFER_COUNT = 2,
};

// Placement: translation first, then the 3x3 rotation stored row by row.
class KytMech {
public:
    WqVector3D vPos;
    WqMatrix33D mRot;

    // Link-frame point to world.
    WqVector3D GetAbsPos(const WqVector3D& p) const { return mRot.Multi(p).Plus(vPos); }
    KytMech Multi(const KytMech& local) const
    {
        KytMech r;
        r.mRot = mRot.Multi(local.mRot);
        r.vPos = GetAbsPos(local.vPos);
        return r;
    }
};

class KytVisual {
public:
    unsigned uVisible = 1;
    unsigned uTransparent = 0;
    unsigned uEmission = 0;
    static unsigned uLayerMask;
};

class KytLink;

// An outside material class, known only by address.
class UmoMaterial {};

// Visual data of a link, when it has any: its material entry and whether it is displayed.
struct KytVisualData {
    UmoMaterial* pMaterial = nullptr;
    bool bDisplay = false;
};

// Manipulator frame of a link.
class KytManip {
public:
    int nAxis = 1;            // 1 x, 2 y, 4 z
    bool bDirection = true;   // positive side
    int nOriginMode = 0;      // 0 none, 1 the link's local geometric centre, else vOriginOffset
    WqVector3D vOriginOffset;
    WqMatrix33D mOrientation;
    const KytLink* pOwner = nullptr;  // the link holding this record

    // The handle origin in the manipulator's own axes, chosen by nOriginMode.
    WqVector3D GetOrigin() const;
    // Column-major 4x4 frame: the orientation, moved by the orientation times GetOrigin(),
    // so that a point p of the handle lands where mOrientation (p + origin) puts it.
    void GetData(double m[16]) const;
};

struct KytAnnotateData;
struct KytDRAnnotateData;
struct KytDRArrowData;
struct KytDRPartsConnectData;

// Per-link property record (comparison draw types read it).
struct KytLinkProperty {
    unsigned char abFlag[64] = {};
    const void* pMaterial = nullptr;  // identity only
    double dRecycleRate = 0.0;
};

// One value of a named part property.
struct KytPropertyValue {
    int nType = 0;  // 0 bool, 1 integer, 2 double, 3/5/6 string, 4 time
    bool b = false;
    long l = 0;
    double d = 0.0;
    long long t = 0;
    std::string s;
};

class KytLink {
public:
    KytLink();
    KytLink(const KytLink&) = delete;
    KytLink& operator=(const KytLink&) = delete;

    int nType = KYT_LINK_PART;
    KytVisual visual;
    float fAlpha = 1.0f;
    float fEmissionLevel = 0.0f;
    uint16_t uColor = 0;
    int nCustomColor = 0;
    bool bActive = false;
    bool bTarget = false;
    bool bNoClip = false;
    bool bHighlight = false;
    // A clip link keeps the side its own z axis points to (otherwise that side is cut away).
    bool bSectionSide = false;
    // Full view angle of a camera link, degrees.
    float fViewAngle = 45.0f;

    KytShape* pShape = nullptr;
    KytVisualData* pVisualData = nullptr;  // not owned; null when the link has none
    float fRadius = 0.0f;
    // The shape box's corners and face normals in the link's own frame; valid with bHasBox.
    bool bHasBox = false;
    WqVector3D aBoxCorner[8];
    WqVector3D aBoxNormal[6];

    KytMech mech;      // world placement
    KytMech referMech; // placement relative to the parent (assembly relation)
    KytMech referWorldMech; // world placement of the link's reference position
    KytMech jointFrame;
    // The point its constraints attach to, own frame.
    WqVector3D vJointPoint;
    int nJointKind = 0;
    double dJointValue = 0.0;  // current value of the joint (angle or travel)
    KytManip manip;

    // Datum links: whether the datum plane is shown offset along its normal, and by how much.
    bool bDatumOffset = false;
    double dDatumOffset = 0.0;

    WqVector3D vGeomCen;    // own frame
    bool bGeomCenStale = true;
    WqVector3D vCOM;        // own frame
    int nCOMState = 2;      // 1 valid, 2 stale

    std::string name;
    unsigned uID = 0;
    KytLinkProperty* pProperty = nullptr;
    std::map<std::string, std::vector<KytPropertyValue>> propertyValues;
    KytAnnotateData* pAnnotate = nullptr;     // first of a chain
    KytDRAnnotateData* pDRAnnotate = nullptr; // first of a chain
    KytDRArrowData* pDRArrow = nullptr;       // first of a chain
    KytDRPartsConnectData* pDRPartsConnect = nullptr; // first of a chain

    KytLink* pParent[KYT_REFER_COUNT] = {};
    KytLink* pChild[KYT_REFER_COUNT] = {};
    KytLink* pSibling[KYT_REFER_COUNT] = {};

    static int eReferMode;

    KytLink* GetParent() const { return pParent[eReferMode]; }
    KytLink* GetChild() const { return pChild[eReferMode]; }
    KytLink* GetNext() const { return pSibling[eReferMode]; }

    // Appends `child` as the last child of this link in relation `mode`.
    void AddChild(KytLink* child, int mode = KYT_REFER_ASSEMBLY);

    bool IsVisible() const;
    bool IsTransparent() const;
    bool IsAlpha() const { return IsTransparent(); }

    // Widens min/max by the own world boxes of this link's subtree (and, unless `single`,
    // of its following siblings' subtrees). True when some link contributed.
    bool GetBoundingBox(WqVector3D* min, WqVector3D* max, bool targetOnly, int typeMask,
                        bool single) const;
    // The world box of this link's shape; false without a shape.
    bool GetSingleBoundingBox(WqVector3D* min, WqVector3D* max) const;
    float GetRadius() const { return fRadius; }

    // Refreshes the geometric centre (shape box centre) and the box corners; a link without
    // a shape gets the centre and radius of its subtree's world box, hidden links included.
    void SetGeomCEN();
    // Widens min/max by the world boxes of every shape of this subtree; true when any.
    bool SubtreeWorldBox(WqVector3D* min, WqVector3D* max) const;
    // Recomputes the centre of mass of the subtree's closed shapes, in this link's frame.
    void SetAsyCOM();
    // World placement from the parent's and the relative one.
    void UnitTransOne();
    // Next link of the whole tree in depth-first order under eReferMode; null at the end.
    KytLink* SearchNext() const;
};

// Updates the world placement of every link below `root` (root included).
void KYT_UpdateWorldPlacement(KytLink* root);
