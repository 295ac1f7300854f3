#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/CriticalSection.h"

namespace quor::common {
class IXmlNode;
}

namespace quor::world {

class FxBase;
class IFxBase;
class SpaceObject;

// A scene's effects: the effect list (roots and detached nodes, owned), the additions other
// threads made (adopted at the next update) and the manager's own lock, which also guards every
// effect-file load. The scene takes its object lock before this one. The trees advance in
// UpdateAll, once per scene update, wherever they hang in the scene.
class FxMgr {
public:
    // Sets the effect frame time back to its reset value.
    FxMgr();
    // Releases every effect.
    ~FxMgr();
    FxMgr(const FxMgr&) = delete;
    FxMgr& operator=(const FxMgr&) = delete;

    // Appends an effect node to the effect list under the lock; other objects are not added.
    void AddObject(SpaceObject* object);
    // Appends to the pending additions (the caller holds the scene's object lock).
    void AddBaseObject(FxBase* effect);
    // Moves every pending addition into the effect list, under the lock.
    void AdoptBaseObjects();

    // Loads an ".emf" file into a new root; null when it cannot. A missing file whose name has
    // an extension is retried with ".emf" in its place; the buffer receives the retried name
    // only when it fits where the old one was.
    FxBase* LoadEffectFile(char* path, std::uint32_t flags);
    FxBase* LoadEffectFile(const char* path, std::uint32_t flags);
    // Loads a file into a node the caller made. On failure the node is left unloaded (false):
    // the caller may still have it attached.
    bool LoadEffectFileInto(FxBase* effect, const char* path, std::uint32_t flags);
    // A root loaded from an element the caller has parsed; null when it does not load.
    FxBase* CreateFromElement(common::IXmlNode* element, std::uint32_t flags);

    int Count();
    int PendingCount();
    IFxBase* GetAt(unsigned index);
    // The first effect whose name equals the given one over at most 32 characters (the node
    // name: the 32-byte short name holds only 31).
    IFxBase* FindByName(const char* name);
    void CopyEffects(std::vector<IFxBase*>& out);
    bool Contains(FxBase* effect);
    // Listed effects playing or finishing.
    int CountPlaying();
    // Sum of the listed effects' node counts.
    int CountChildEffects();
    // Zeroes the live and drawn particle counters of every tree (the scene's update).
    void ResetAllParticleStats();
    // Advances every listed tree by its frame time, under the lock: the roots and the nodes
    // detached into the manager (attached nodes advance with their parents).
    void UpdateAll();
    std::uint32_t GetTotalParticleCount();
    std::uint32_t GetDrawnParticleCount();
    // Device loss and reset passes; both answer true.
    bool ForEachBeforeReset();
    bool ForEachAfterReset();
    void DumpProperties(common::IXmlNode* node);

    // Moves the effect to another manager.
    void DetachEffect(FxBase* effect, FxMgr& target);
    // Erases and destroys one effect; an attached node leaves its parent's list first.
    void RemoveEffect(FxBase* effect);
    // Erases one entry (not destroyed); true when found.
    bool RemoveByPointer(FxBase* effect);
    // Deactivates and destroys every effect.
    void ReleaseAll();

private:
    // The load with the caller's name in a buffer of its own (room for the ".emf" retry).
    FxBase* LoadFromName(std::string& name, std::uint32_t flags);

    win32::CriticalSection m_lock;
    std::vector<FxBase*> m_effects;
    std::vector<FxBase*> m_base;
};

}  // namespace quor::world
