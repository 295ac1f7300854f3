#pragma once
#include <string>

#include "platform/kernel/WqVector3D.h"
#include "platform/wgl/WinTypes.h"

// Annotation record the kernel keeps per link (a chain through pNext).
struct KytAnnotateData {
    unsigned long ulKey = 0;
    std::string title;
    unsigned char bShow = 1;
    WqVector3D vAnchor;         // target link's own frame
    WqVector3D vBalloonOffset;  // world axes
    quor::wgl::COLORREF textColor = 0;
    quor::wgl::COLORREF lineColor = 0;
    int nLineStyle = 0;  // 0..4
    unsigned uOverlapID = 0;
    quor::wgl::LOGFONTA font{};
    bool bOwnFont = false;
    KytAnnotateData* pNext = nullptr;

    // The record's own font, or the default one.
    void GetFontTitle(quor::wgl::LOGFONTA& out) const;
    static void SetDefaultFont(const quor::wgl::LOGFONTA& font);
    static const quor::wgl::LOGFONTA& GetDefaultFont();
};

// Design-review annotation record.
struct KytDRAnnotateData : KytAnnotateData {
    unsigned char bDRVisible = 1;  // review-visible
    int nNo = 0;                   // number
    unsigned long ulDRKey = 0;     // design-review id
    unsigned uBalloon = 0;
    KytDRAnnotateData* pNextDR = nullptr;

    static unsigned uiBalloonCounter;
};

// Design-review arrow record, chained per link.
struct KytDRArrowData {
    unsigned long ulKey = 0;
    unsigned long ulDRKey = 0;  // design-review id
    unsigned char bShow = 1;
    unsigned char bDRVisible = 1;  // review-visible
    int nNo = 0;                   // number
    KytDRArrowData* pNext = nullptr;
    WqVector3D vStart, vEnd;       // world
    int nHeadKind = 1;             // 1 filled, 2 closed outline, others open
    int nHeadAngle = 30;           // degrees
    int nHeadLength = 10;          // pixels
    int nHeadPlace = 1;            // 0 start, 1 end, 2 both
    int nLineStyle = 0;            // as the annotation leaders
    int nLineWidth = 1;            // pixels
    quor::wgl::COLORREF color = 0x0000FF;
};

// Design-review parts-connection record, chained per link.
struct KytDRPartsConnectData {
    unsigned long ulKey = 0;
    unsigned long ulDRKey = 0;  // design-review id
    unsigned char bShow = 1;
    unsigned char bDRVisible = 1;  // review-visible
    int nNo = 0;                   // number
    KytDRPartsConnectData* pNext = nullptr;
    double dRate = 0.5;            // where the path crosses over, 0 to 1
    int nLineStyle = 0;
    quor::wgl::COLORREF color = 0x00FF00;
    int nAxisMode = 0;             // 1: along the largest move, else the up axis
};

// Constraint record between two parts: its kind and a count of extra conditions.
struct KytRelElement {
    int nType = -1;
    int nCount = 0;
};

class KytLink;
// Builders: append a record at the end of the link's chain.
void KYT_AttachDRArrow(KytLink* link, KytDRArrowData* record);
void KYT_AttachDRPartsConnect(KytLink* link, KytDRPartsConnectData* record);
// Records the current world placements of the subtree as its reference placements.
void KYT_SetReferencePlacement(KytLink* root);

// Description of a named part property.
struct KytPropertyTableRec {
    std::string name;
    int nType = 0;  // see KytPropertyValue
};

class KytPropertyTableLink {
public:
    // Record of `property`, or null.
    static KytPropertyTableRec* SearchPropertyTableRec(const char* property);
    static void AddPropertyTableRec(const char* property, int type);
    static void Clear();
};
