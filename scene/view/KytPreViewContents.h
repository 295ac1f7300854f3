#pragma once
// Contents of the preview view: one link and its subtree, optionally only the links marked as
// targets (with everything below them), of the link types in a mask. Internal to the library.

#include "scene/view/KytLinkContents.h"

class __attribute__((visibility("hidden"))) KytPreViewContents : public KytLinkContents {
public:
    KytPreViewContents() = default;
    ~KytPreViewContents() override = default;

    void Draw(KytLink* link, int targetMode) override;
    bool DrawSingleLink(KytLink* link) override;
    using KytLinkContents::Draw;

    // Draw only target links and their subtrees.
    bool bTargetOnly = false;
    // Link types drawn: a link is drawn when its type shares a bit with the mask.
    int nLinkTypeMask = 2;

protected:
    // The link and its following siblings (the link alone when `single`), with their subtrees.
    void DrawTargetLinks(KytLink* link, bool single);
};
