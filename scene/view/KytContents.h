#pragma once
#include "scene/view/KytPlatform.h"

class KytScene;
class KytViewPort;

// Base of everything a scene draws: a draw flag, an identifier that doubles as the
// object's selection name, and one optional display list.
class KytContents {
public:
    KytContents() = default;
    explicit KytContents(unsigned int id) : m_uID(id) {}
    // Draw flag and id from `source` when given; never its display list.
    explicit KytContents(const KytContents* source);
    KytContents(const KytContents&) = default;
    KytContents& operator=(const KytContents&) = default;

    virtual ~KytContents() = default;
    virtual void Destroy();
    // True only when the flag changes, so callers redraw only then.
    virtual bool SetDraw(bool draw);
    virtual bool IsDraw() const { return m_bDraw; }
    virtual void Create(KytScene* scene) {}
    virtual void Draw() {}
    virtual void FitView(const KytViewPort* viewport) {}

    unsigned int GetID() const { return m_uID; }
    unsigned int GetDispList() const { return m_uDispList; }

    // True while a scene draws for selection.
    static bool bPickMode;

protected:
    // Takes draw flag and id from `source`; the display list is never shared by a copy.
    virtual void Copy(const KytContents* source);

    bool m_bDraw = true;
    unsigned int m_uID = 0;
    unsigned int m_uDispList = 0;
};
