#pragma once
// A link's datum plane: a translucent square in the plane of the link's local xy, around the
// point nearest the view's look-at point. Owned and called by the part-tree contents.

#include "scene/view/KytContents.h"

class KytLink;
class KytViewPort;

class AuxDatum : public KytContents {
public:
    explicit AuxDatum(unsigned int id) : KytContents(id) {}
    explicit AuxDatum(const AuxDatum* source);

    void Create(KytScene* scene) override;
    void FitView(const KytViewPort*) override {}
    using KytContents::Draw;
    void Draw(KytLink* link);

    // Plane of `link`: unit normal, centre and the two half-extent vectors.
    bool CalcPlane(const KytLink* link, WqVector3D& normal, WqVector3D& centre, WqVector3D& e1,
                   WqVector3D& e2) const;

    unsigned int auDatum[4] = {};
    KytViewPort* ViewPort = nullptr;
};
