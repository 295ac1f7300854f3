#pragma once
// Camera body glyph drawn for the camera links of the part tree; the camera the view looks
// through is red and shows its view cone.

#include "scene/view/KytContents.h"

class KytLink;
class KytViewPort;

class AuxCamera : public KytContents {
public:
    explicit AuxCamera(unsigned int id);
    AuxCamera(const AuxCamera&) = delete;
    AuxCamera& operator=(const AuxCamera&) = delete;
    ~AuxCamera() override;

    void Destroy() override;
    void Create(KytScene* scene) override;
    void FitView(const KytViewPort* viewport) override;
    using KytContents::Draw;
    void Draw(KytLink* link);

    float GetGlyphSize() const { return Size; }

    static int GetSize() { return nSize; }
    static void SetSize(int index) { nSize = index; }
    static KytLink* GetTargetCamera() { return pTargetCamera; }
    static void SetTargetCamera(KytLink* link) { pTargetCamera = link; }
    // A camera link among `link` (and its following siblings unless `single`) and their
    // subtrees, or null.
    static KytLink* GetAnyCamera(KytLink* link, bool single);
    static bool CheckTargetPart(KytLink* link);
    static void DrawCircle(float radius, int type);
    // Kind 4 under a kind-4 parent, with no child.
    static bool IsCameraLink(const KytLink* link);

    static float afSin[16];
    static float afCos[16];
    static bool bDataSet;
    static float afSize[5];
    static int nSize;
    static KytLink* pTargetCamera;

    float Size = 0.0f;
    GLUquadricObj* Quadric = nullptr;
};
