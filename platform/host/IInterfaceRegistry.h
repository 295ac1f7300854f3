#pragma once

namespace quor::client {

// The host's table of interfaces, published and found by versioned name ("ILog_1.5").
// The pointer registered is the interface pointer itself; GetInterface returns it as given.
class IInterfaceRegistry {
public:
    virtual bool RegisterInterface(const char* name, void* intf) = 0;
    virtual void* GetInterface(const char* name) = 0;

protected:
    ~IInterfaceRegistry() = default;
};

}  // namespace quor::client
