#pragma once

namespace quor::client {

// A script object of the host: a float it keeps (a clock) and numbered methods it runs.
class IScriptObject {
public:
    virtual float GetFloat() = 0;
    // Runs the method numbered code with one argument.
    virtual void CallMethod(int code, void* argument) = 0;

protected:
    ~IScriptObject() = default;
};

// The host's script client. It may be absent; test for null before each use.
class IPyClient {
public:
    // The script object drawing reports to; null when there is none.
    virtual IScriptObject* GetScriptObject() = 0;

protected:
    ~IPyClient() = default;
};

}  // namespace quor::client
