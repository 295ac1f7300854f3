#pragma once
// Constraint labels between pairs of parts: per pair a line from one part's joint point to the
// other's with a cone at the second end, and a label at its middle naming the kind of
// constraint. One pair may be the active one, drawn highlighted; picking a label makes its
// pair active. The object has no annotation record and no target part of its own.

#include "scene/annotation/AuxAnnotate.h"

class KytScene;
class KytViewPort;
struct KytRelElement;

// One pair of parts and the constraint between them; owned by its AuxJointConnect.
struct AuxJointConnectData {
    KytLink* pLink1 = nullptr;
    KytLink* pLink2 = nullptr;
    KytRelElement* pRelation = nullptr;  // null: the constraint is not defined
    bool bActive = false;
    bool bDraw = true;

    // The pair (a, b) is this entry when b is its second part and a either of its parts.
    bool Matches(const KytLink* a, const KytLink* b) const
    {
        return b == pLink2 && (a == pLink1 || a == pLink2);
    }
};

class AuxJointConnect : public AuxAnnotate {
public:
    // Room a label needs in the caller's buffer of GetWindowPos.
    enum { LABEL_SIZE = 16 };

    AuxJointConnect();
    explicit AuxJointConnect(unsigned int id);
    // Copies the annotation part and the label switch; no pairs, no quadric.
    explicit AuxJointConnect(const AuxJointConnect* source);
    // Value copies own their pairs; the quadric stays with the object that made it.
    AuxJointConnect(const AuxJointConnect& other);
    AuxJointConnect& operator=(const AuxJointConnect& other);
    ~AuxJointConnect() override;

    void Destroy() override;
    bool IsDraw() const override;
    void Create(KytScene* scene) override;
    void Draw() override;
    void FitView(const KytViewPort* viewport) override;
    KytAuxContents* Duplicate() override;
    using AuxAnnotate::DrawGDI;
    void DrawGDI(KytOgl* ogl) override;
    using AuxAnnotate::Pick;
    bool Pick(KytOgl* ogl, int x, int y) override;
    // The balloon record's operations: this object has no record, so they do nothing.
    bool Pick2(KytOgl* ogl, int x, int y) override { return false; }
    void Dragging(KytOgl* ogl) override {}
    bool MoveEndPos(const WqVector3D& delta, bool flag) override { return false; }
    bool CopyEndPos(const AuxAnnotate* other) override { return false; }
    bool GetWindowPos(HDC dc, int& x, int& y, SIZE* size) override { return false; }
    // Window position of the pair's label (the middle of its line), the label text written
    // into `text` (LABEL_SIZE bytes) and its extent in the font selected into `dc`.
    virtual bool GetWindowPos(KytLink* a, KytLink* b, KytRelElement* relation, HDC dc, int& x,
                              int& y, char* text, SIZE* size);

    // False when an entry matches (a, b) already; otherwise a new entry at the end.
    bool AddTarget(KytLink* a, KytLink* b, KytRelElement* relation, bool active = false,
                   bool draw = true);
    bool RemoveTarget(KytLink* a, KytLink* b);
    bool SetRelation(KytLink* a, KytLink* b, KytRelElement* relation);
    // Every entry becomes active exactly when it matches (a, b).
    void ReverseActiveState(const KytLink* a, const KytLink* b);
    // Every entry that has `a` as either part.
    void SetDrawFlag(const KytLink* a, bool flag);
    // The first entry of the parts a and b, in either order.
    void SetDrawFlag(const KytLink* a, const KytLink* b, bool flag);
    bool SetDrawData(const KytRelElement* relation, bool flag);
    bool GetActive(KytLink** a, KytLink** b) const;
    void AllHide();
    void ClearData();

    int GetCount() const { return Joints.GetCount(); }
    KytItem<AuxJointConnectData>* GetFirstItem() const { return Joints.GetFirstItem(); }
    // The label of a constraint record (null: not defined), code page 932 bytes.
    static std::string LabelText(const KytRelElement* relation);

    KytStack<AuxJointConnectData> Joints;
    GLUquadric* pQuadric = nullptr;
    float fConeSize = 0.0f;
    bool bDrawLabel = true;

private:
    AuxJointConnectData* Find(const KytLink* a, const KytLink* b) const;
    void CopyEntries(const AuxJointConnect& other);
    // Window rectangle of a label: the frame of the active pair and the pick box.
    static void LabelBox(int x, int y, const SIZE& size, RECT& box);
};
