#include "world/fx/FxMgr.h"

#include <algorithm>
#include <cstring>

#include "world/fx/FxBase.h"

namespace quor::world {

FxMgr::~FxMgr() { ReleaseAll(); }

void FxMgr::AddObject(FxBase* effect) {
    if (!effect) return;
    win32::CriticalSectionLock lock(m_lock);
    m_effects.push_back(effect);
}

void FxMgr::AddBaseObject(FxBase* effect) {
    if (!effect) return;
    win32::CriticalSectionLock lock(m_lock);
    m_base.push_back(effect);
}

void FxMgr::AdoptBaseObjects() {
    win32::CriticalSectionLock lock(m_lock);
    m_effects.insert(m_effects.end(), m_base.begin(), m_base.end());
    m_base.clear();
}

void FxMgr::UpdateAll() {
    win32::CriticalSectionLock lock(m_lock);
    // Effects advance themselves once they exist (effects issue).
}

int FxMgr::Count() {
    win32::CriticalSectionLock lock(m_lock);
    return static_cast<int>(m_effects.size());
}

int FxMgr::PendingCount() {
    win32::CriticalSectionLock lock(m_lock);
    return static_cast<int>(m_base.size());
}

IFxBase* FxMgr::GetAt(unsigned index) {
    win32::CriticalSectionLock lock(m_lock);
    return index < m_effects.size() ? m_effects[index] : nullptr;
}

IFxBase* FxMgr::FindByName(const char* name) {
    if (!name) return nullptr;
    win32::CriticalSectionLock lock(m_lock);
    for (FxBase* e : m_effects)
        if (std::strncmp(e->GetShortName(), name, 32) == 0) return e;
    return nullptr;
}

void FxMgr::CopyAll(std::vector<IFxBase*>& out) {
    win32::CriticalSectionLock lock(m_lock);
    out.insert(out.end(), m_effects.begin(), m_effects.end());
}

bool FxMgr::Contains(FxBase* effect) {
    win32::CriticalSectionLock lock(m_lock);
    return std::find(m_effects.begin(), m_effects.end(), effect) != m_effects.end() ||
           std::find(m_base.begin(), m_base.end(), effect) != m_base.end();
}

void FxMgr::DetachEffect(FxBase* effect, FxMgr& target) {
    {
        win32::CriticalSectionLock lock(m_lock);
        auto it = std::find(m_effects.begin(), m_effects.end(), effect);
        if (it == m_effects.end()) return;
        m_effects.erase(it);
    }
    target.AddObject(effect);
}

void FxMgr::RemoveEffect(FxBase* effect) {
    bool found = false;
    {
        win32::CriticalSectionLock lock(m_lock);
        for (std::vector<FxBase*>* list : {&m_effects, &m_base}) {
            auto it = std::find(list->begin(), list->end(), effect);
            if (it != list->end()) {
                list->erase(it);
                found = true;
                break;
            }
        }
    }
    if (found) delete effect;
}

void FxMgr::ReleaseAll() {
    std::vector<FxBase*> all;
    {
        win32::CriticalSectionLock lock(m_lock);
        all.swap(m_effects);
        all.insert(all.end(), m_base.begin(), m_base.end());
        m_base.clear();
    }
    for (FxBase* e : all) delete e;
}

FxBase* FxMgr::LoadEffect(const char* path, int flags) { return LoadEffectFile(path, flags); }

}  // namespace quor::world
