#include "scene/view/KytContents.h"

bool KytContents::bPickMode = false;

KytContents::KytContents(const KytContents* source)
{
    if (source) {
        m_bDraw = source->m_bDraw;
        m_uID = source->m_uID;
    }
}

void KytContents::Destroy()
{
    if (m_uDispList) {
        glDeleteLists(m_uDispList, 1);
        m_uDispList = 0;
    }
}

bool KytContents::SetDraw(bool draw)
{
    if (draw == m_bDraw)
        return false;
    m_bDraw = draw;
    return true;
}

void KytContents::Copy(const KytContents* source)
{
    if (!source)
        return;
    m_bDraw = source->m_bDraw;
    m_uID = source->m_uID;
    m_uDispList = 0;
}
