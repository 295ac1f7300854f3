#pragma once
// Datum names: a part's name at a corner of an outline of its datum plane (its own XY plane,
// drawn around the point of the plane nearest the view's look-at point); the child form also
// shows the datum offset as a stippled line along the normal with its length in millimetres.

#include "scene/annotation/AuxAnnotate.h"

class KytViewPort;

class AuxDatumName : public AuxAnnotate {
public:
    AuxDatumName() = default;
    AuxDatumName(unsigned int id, KytLink* link) : AuxAnnotate(id, link) {}
    explicit AuxDatumName(const AuxDatumName* source);
    AuxDatumName(const AuxDatumName&) = default;
    AuxDatumName& operator=(const AuxDatumName&) = default;

    void Create(KytScene* scene) override;
    bool IsDraw() const override;
    void Draw() override;
    KytAuxContents* Duplicate() override;
    bool GetWindowPos(HDC dc, int& x, int& y, SIZE* size) override;
    void DrawGDI(KytOgl* ogl) override;
    bool Pick(KytOgl* ogl, int x, int y) override;

    WqVector3D vNamePos;
    KytViewPort* pViewPort = nullptr;

protected:
    // The outline's centre and half axes for the current view; false without what it needs.
    bool Outline(WqVector3D& centre, WqVector3D& u1, WqVector3D& u2, WqVector3D& normal) const;
    // The outline in the given grey, leaving the attribute groups pushed for the caller.
    void DrawOutline(float grey, const WqVector3D& centre, const WqVector3D& u1,
                     const WqVector3D& u2);
    const char* Name() const;
};

class AuxDatumChildName : public AuxDatumName {
public:
    AuxDatumChildName() = default;
    AuxDatumChildName(unsigned int id, KytLink* link);
    explicit AuxDatumChildName(const AuxDatumChildName* source);
    AuxDatumChildName(const AuxDatumChildName&) = default;
    AuxDatumChildName& operator=(const AuxDatumChildName&) = default;

    void Draw() override;
    KytAuxContents* Duplicate() override;
    bool GetWindowPos(HDC dc, int& x, int& y, SIZE* size) override;
    void DrawGDI(KytOgl* ogl) override;

    bool bShowOffset = false;
    char szOffset[32] = "";
    double lfOffset = 0.0;

private:
    bool OffsetShown() const;
    // The text of an offset in millimetres, always within szOffset.
    void FormatOffset(double offset);
};
