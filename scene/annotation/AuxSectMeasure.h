#pragma once
// Dimension overlay of a section view: a distance (plain or with an offset point), a circle,
// a diameter, a radius, or a horizontal/vertical leg pair. Its geometry is rebuilt from the
// input points on every draw and print, so arrows and extensions follow the view radius and
// arrow heads stay in the screen plane. Drawn with OpenGL and printed on a device context.

#include <vector>

#include "scene/annotation/KytAuxContents.h"
#include "scene/view/KytPlatform.h"

class KytFont;
class KytViewPort;

class AuxSectMeasure : public KytAuxContents {
public:
    static constexpr int CirclePointCount = 64;

    explicit AuxSectMeasure(unsigned int id = 0);
    // What Duplicate copies: no viewport until the copy is given a scene.
    explicit AuxSectMeasure(const AuxSectMeasure* source);
    AuxSectMeasure(const AuxSectMeasure&) = default;
    AuxSectMeasure& operator=(const AuxSectMeasure&) = default;
    ~AuxSectMeasure() override;

    // Binds to the scene's viewport only.
    void Create(KytScene* scene) override;
    void Draw() override;
    KytAuxContents* Duplicate() override;

    // Setup forms; each takes colour, font and viewport from the scene, then its inputs.
    // Mode 0: the distance A-B, labelled at A's end when `labelAtFirst`.
    void Create(KytScene* scene, const WqVector3D& a, const WqVector3D& b, bool labelAtFirst);
    // Mode 1: the distance A-B drawn offset towards C.
    void Create(KytScene* scene, const WqVector3D& a, const WqVector3D& b, const WqVector3D& c,
                bool labelAtFirst);
    // Mode 2: a circle of radius r about C.
    void Create(KytScene* scene, double r, const WqVector3D& c);
    // Mode 3 (diameter, `radius` false) or 4 (radius): the circle of radius r about C through Q.
    void Create(KytScene* scene, const WqVector3D& q, double r, const WqVector3D& c, bool radius);
    // Mode 5: the horizontal and vertical legs from A to B.
    void Create(KytScene* scene, const WqVector3D& a, const WqVector3D& b);

    void EnablePointDraw(bool on) { PointDraw = on; }
    // On `dc`, mapping the view rectangle onto the page through modelM, projM and viewP.
    void Print(CDC* dc, const CRect& page, const CRect& view);

    // The view being printed; the caller of Print fills them.
    static double modelM[16];
    static double projM[16];
    static int viewP[4];

    int Mode = 0;
    char Text[36] = {};
    char Text2[24] = {};
    char Text3[24] = {};
    float Color[3] = {1.0f, 1.0f, 1.0f};
    KytFont* Font = nullptr;  // the scene context's label font, not owned
    WqVector3D Point1;
    WqVector3D Point2;
    WqVector3D WorkPoints[9];  // W1 to W9
    WqVector3D Point3;
    // Empty until a circle mode needs it, then CirclePointCount points.
    std::vector<WqVector3D> CirclePoints;
    double Radius = 0.0;
    KytViewPort* ViewPort = nullptr;  // not owned
    bool LabelAtFirst = false;
    bool PointDraw = false;

protected:
    // Arrow vector d of length 0.05 x view radius along P - Q, and its copies A and B turned
    // by +25 and -25 degrees about the viewing direction.
    bool CalcTriangleParam(const WqVector3D& p, const WqVector3D& q, WqVector3D& a,
                           WqVector3D& b, WqVector3D& d, double& s) const;
    // The circle about `centre` in the screen plane.
    bool CalcCircleParam(const WqVector3D& centre, double radius,
                         std::vector<WqVector3D>& points) const;
    bool CalcMode0();
    bool CalcMode1();
    bool CalcMode2();
    bool CalcMode3();
    bool CalcMode4();
    bool CalcMode5();

    // What a mode shows, by kind, for the screen (`print` false) or the page.
    struct Figure {
        std::vector<WqVector3D> dashed;      // pairs of ends
        bool circle = false;
        std::vector<WqVector3D> legs;        // page only: a polyline (mode 5)
        std::vector<WqVector3D> triangles;   // tip, then the two base corners
        std::vector<WqVector3D> points;
        std::vector<std::pair<WqVector3D, const char*>> labels;
    };
    // The figures of the modes: a length (0, 1), the plain circle (2), a circle with its
    // diameter or radius (3, 4), the legs of a right angle (5).
    Figure LengthFigure() const;
    static Figure PlainCircleFigure();
    Figure CircleFigure() const;
    Figure LegsFigure(bool print) const;
    // Each mode on the screen and on the page.
    void DrawMode0();
    void DrawMode1();
    void DrawMode2();
    void DrawMode3();
    void DrawMode4();
    void DrawMode5();
    void PrintMode0(CDC* dc, const CRect& page, double scale);
    void PrintMode1(CDC* dc, const CRect& page, double scale);
    void PrintMode2(CDC* dc, const CRect& page, double scale);
    void PrintMode3(CDC* dc, const CRect& page, double scale);
    void PrintMode4(CDC* dc, const CRect& page, double scale);
    void PrintMode5(CDC* dc, const CRect& page, double scale);
    void DrawFigure(const Figure& f);
    void PrintFigure(CDC* dc, const CRect& page, double scale, const Figure& f);

private:
    // The mode's calculation; false when there is nothing to show (no viewport or camera).
    bool Calc();
    void Bind(KytScene* scene);
    void AllocCircle();
    WqVector3D& W(int i) { return WorkPoints[i - 1]; }
    const WqVector3D& W(int i) const { return WorkPoints[i - 1]; }
    // The device point of a world point in the print under way.
    CPoint Map(const WqVector3D& p, double scale, const CRect& page) const;
};
