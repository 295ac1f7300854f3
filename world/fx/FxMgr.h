#pragma once
#include <string>
#include <vector>

#include "platform/win32/CriticalSection.h"

namespace quor::world {

class FxBase;
class IFxBase;
class SpaceObject;

// A scene's effects: the effect list, the additions other threads made (adopted at the next
// update) and the manager's own lock. The list management is whole; what the effects do each
// frame belongs to the effects issue.
class FxMgr {
public:
    FxMgr() = default;
    // Releases every effect.
    ~FxMgr();
    FxMgr(const FxMgr&) = delete;
    FxMgr& operator=(const FxMgr&) = delete;

    // Appends to the effect list under the lock.
    void AddObject(FxBase* effect);
    // Appends to the pending additions (the caller holds the scene's object lock).
    void AddBaseObject(FxBase* effect);
    // Moves every pending addition into the effect list, under the lock.
    void AdoptBaseObjects();
    void UpdateAll();
    int CountPlaying() { return 0; }
    int CountChildEffects() { return 0; }
    int Count();
    int PendingCount();
    IFxBase* GetAt(unsigned index);
    IFxBase* FindByName(const char* name);
    void CopyAll(std::vector<IFxBase*>& out);
    bool Contains(FxBase* effect);
    // Moves the effect to another manager.
    void DetachEffect(FxBase* effect, FxMgr& target);
    // Erases and releases one effect (from either list).
    void RemoveEffect(FxBase* effect);
    void ReleaseAll();
    FxBase* LoadEffect(const char* path, int flags);
    bool OnDeviceReset() { return true; }
    void OnDeviceLost() {}

private:
    win32::CriticalSection m_lock;
    std::vector<FxBase*> m_effects;
    std::vector<FxBase*> m_base;
};

}  // namespace quor::world
