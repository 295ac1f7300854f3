#pragma once
// Contents of the multi-part view: draws a caller's list of links instead of the whole tree,
// culled against the visible area, normally or translucent, with black silhouette edges.

#include "scene/view/KytLinkContents.h"

class KytMultiContents : public KytLinkContents {
public:
    explicit KytMultiContents(KytStack<KytLink>* links);
    ~KytMultiContents() override = default;

    // The link argument is ignored: the contents draws its own list.
    void Draw(KytLink* link, int targetMode) override;
    using KytLinkContents::Draw;

    void SetDrawLinks(KytStack<KytLink>* links) { DrawLinks = links; }
    void SetNonAlphaLinks(KytStack<KytLink>* links) { NonAlphaLinks = links; }
    KytStack<KytLink>* GetDrawLinks() const { return DrawLinks; }
    KytStack<KytLink>* GetNonAlphaLinks() const { return NonAlphaLinks; }

    // True: the link is to be drawn; false: its sphere lies wholly outside the visible area.
    bool CheckViewFlustomCulling(KytLink* link);
    void DrawNormal();
    void DrawAlpha();

    bool bAlphaMode = false;
    bool bDrawSilhouette = true;
    bool bAlphaDepthMaskOff = true;

protected:
    void DrawSilhouette2(const KytLink* link, const KytShape* shape) const;

private:
    // Clip handling of one link while the clip planes are active: false when the link is
    // wholly clipped away; `unclipped` when its planes were switched off for it.
    bool BeginClip(const KytLink* link, bool& unclipped);
    void EndClip(bool unclipped);
    // The silhouette step inside its own attribute bracket.
    void DrawSilhouetteBracketed(const KytLink* link) const;

    // The camera's look-at point of the current frame.
    WqVector3D vLookAt;
    KytStack<KytLink>* DrawLinks = nullptr;
    KytStack<KytLink>* NonAlphaLinks = nullptr;
};
