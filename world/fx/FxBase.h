#pragma once
#include <string>

#include "world/core/VisibleObject.h"

namespace quor::world {

// Stand-in for the effects: only the members the scenes call, answering as an effect with
// nothing loaded does. The effects issue replaces these bodies.
class IFxBase {
public:
    virtual int GetPendingLoads() = 0;
    virtual void SetPendingLoads(int count) = 0;
    virtual const std::string& GetFileName(std::string& out) = 0;
    virtual SpaceObject* GetSpaceObject(int flag) = 0;
    virtual IVisibleObject* GetVisibleObject() = 0;
    virtual void EnableZBuffer(bool on) = 0;

protected:
    ~IFxBase() = default;
};

class FxBase : public VisibleObject, public IFxBase {
public:
    FxBase() = default;
    ~FxBase() override = default;

    int GetObjectType() override { return 4; }
    int GetPendingLoads() override { return m_pendingLoads; }
    void SetPendingLoads(int count) override { m_pendingLoads = count; }
    const std::string& GetFileName(std::string& out) override { return out = m_fileName; }
    SpaceObject* GetSpaceObject(int) override { return this; }
    IVisibleObject* GetVisibleObject() override { return this; }
    void EnableZBuffer(bool) override {}

    // Loads an effect file into an existing effect.
    static bool LoadFile(FxBase* effect, const char* path, int flags);
    void CancelPendingLoads() {}
    static void CreateSharedMaterials() {}
    static void ReleaseSharedMaterials() {}

protected:
    int m_pendingLoads = 0;
    std::string m_fileName;
};

// Loads an effect file into a new effect; null when it cannot.
FxBase* LoadEffectFile(const char* path, int flags);

}  // namespace quor::world
