#pragma once
// Dimension annotation: one measurement shown in a 3D view. The GL pass draws the picked
// elements and the construction (dimension lines, foot points, circle, angle arc); the GDI pass
// after the frame writes the value as a label, with a leader from the measured point once the
// label has been moved away. The label is picked and dragged like a balloon. Id 40 marks a
// design-review dimension, which carries the review id, its comment, font and leader style.

#include "scene/annotation/AuxAnnotate.h"

#include <cstdint>

class CMeasureData;
class KytFont;
class KytRidgeLine;

class AuxDimension : public AuxAnnotate {
public:
    enum { ID = 40 };

    // The measurement stays the caller's and must outlive this object (and the scene that
    // holds it): the dimension resets it to "nothing picked" when it goes. A host deletes the
    // scene, or removes the dimension, before it deletes the measurement.
    AuxDimension(unsigned int id, CMeasureData* measure);
    // What Duplicate makes: a deep copy of the source's measurement, owned.
    explicit AuxDimension(const AuxDimension* source);
    // A dimension owns a font and perhaps its measurement: copies go through Duplicate.
    AuxDimension(const AuxDimension&) = delete;
    AuxDimension& operator=(const AuxDimension&) = delete;
    ~AuxDimension() override;

    bool IsDraw() const override;
    void Create(KytScene* scene) override;
    void Draw() override;
    KytAuxContents* Duplicate() override;
    KytLink* GetTargetLink() const override;
    void Scale(double factor) override;
    KytLink* GetSecondLink() const override;
    void DrawGDI(KytOgl* ogl) override;
    void Dragging(KytOgl* ogl) override;
    bool Pick(KytOgl* ogl, int x, int y) override;
    bool MoveEndPos(const WqVector3D& delta, bool flag) override;
    bool CopyEndPos(const AuxAnnotate* other) override;
    bool GetVector(WqVector3D& out) const override;
    using AuxAnnotate::DrawGDI;
    using AuxAnnotate::Pick;

    unsigned long GetDRID() const { return uDRID; }
    void SetDRID(unsigned long id) { uDRID = static_cast<uint32_t>(id); }
    int GetLineStyle() const { return nLineStyle; }
    void SetLineStyle(int style) { nLineStyle = style; }
    COLORREF GetLineColor() const { return crLineColor; }
    void SetLineColor(COLORREF c) { crLineColor = c; }
    void SetLineColor(unsigned char r, unsigned char g, unsigned char b);
    COLORREF GetTitleColor() const { return crTitleColor; }
    void SetTitleColor(COLORREF c) { crTitleColor = c; }
    void SetTitleColor(unsigned char r, unsigned char g, unsigned char b);
    // Cut to 64 bytes, never inside a double-byte character.
    void SetDRComment(const char* comment);
    void GetDRComment(char* out) const;
    void GetTitleFont(CFont& out) const;
    void GetTitleFont(LOGFONTA& out) const;
    void SetTitleFont(CFont& font);
    void SetTitleFont(const LOGFONTA& lf);

    CMeasureData* GetMeasure() const { return pMeasure; }
    const char* GetLabel() const { return szLabel; }
    const char* GetValue() const { return szValue; }

    char szLabel[80] = {};
    CFont TitleFont;
    KytFont* pGLFont = nullptr;  // owned
    CMeasureData* pMeasure = nullptr;
    WqVector3D vLabelOffset;
    bool bOwnMeasure = false;
    char szValue[65] = {};
    char szDRComment[65] = {};
    uint32_t uDRID = 0;
    int nLineStyle = 0;
    COLORREF crLineColor = RGB(154, 154, 154);
    COLORREF crTitleColor = 0;

    static double GetDistLtoP(int x1, int y1, int x2, int y2, int px, int py);
    static double GetDistPtoP(int x1, int y1, int x2, int y2);
    using AuxAnnotate::GetDistLtoP;
    using AuxAnnotate::GetDistPtoP;

protected:
    void DrawRadius(int i);
    void DrawCrossPlaneAngle();
    void DrawCrossLineAngle();
    void DrawLength(bool projected);
    void DrawElement(int i, bool mark);
    void DrawRidgePlane(const KytRidgeLine* ridge);
    void DrawRidgeLine(const KytRidgeLine* ridge);
    void DrawRidgePoint(const KytRidgeLine* ridge);
    // Window anchor (x[0], y[0]) and label place (x[1], y[1]), the label's extent and length;
    // with makeText the value text is written first. False without a measurement.
    bool GetProjGDIPos(HDC dc, int x[2], int y[2], SIZE& size, int& length, bool makeText);
    bool Get2PGDIPos(HDC dc, int x[2], int y[2], SIZE& size, int& length, bool makeText);
    bool GetAngleGDIPos(HDC dc, int x[2], int y[2], SIZE& size, int& length, bool makeText);
    bool GetRadiusGDIPos(HDC dc, int x[2], int y[2], SIZE& size, int& length, bool makeText);

private:
    // The position operation of the measurement's type; false for a type without a label or
    // a type that needs a second link it does not have.
    bool LabelPos(HDC dc, int x[2], int y[2], SIZE& size, int& length, bool makeText);
    // The label from the value (or the review comment) and its extent; the label place.
    void FinishLabel(HDC dc, const WqVector3D& anchor, int x[2], int y[2], SIZE& size,
                     int& length);
    // The arc of an angle from `start`, turned about `centre` towards `toward` in 20 steps.
    void DrawArc(const WqVector3D& start, const WqVector3D& centre, const WqVector3D& from,
                 const WqVector3D& toward);
    void Letter(const WqVector3D& at, const char* text) const;

    HGLRC fontContext_ = nullptr;  // the context pGLFont's lists belong to
};
