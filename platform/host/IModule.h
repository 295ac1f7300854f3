#pragma once

namespace quor::world {
class IWorld;
}

namespace quor::client {

class IInterfaceRegistry;

// What a module library hands the host from GetIntf; the host drives its life through it.
class IModule {
public:
    virtual bool Register(IInterfaceRegistry* registry) = 0;
    virtual bool Initialize(IInterfaceRegistry* registry) = 0;
    virtual void Shutdown() = 0;
    virtual world::IWorld* GetWorld() = 0;

protected:
    ~IModule() = default;
};

}  // namespace quor::client
