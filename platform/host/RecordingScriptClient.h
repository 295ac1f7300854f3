#pragma once
#include <mutex>
#include <utility>
#include <vector>

#include "platform/host/IPyClient.h"

namespace quor::host {

// A script client whose one script object reads a clock the test sets and records every
// method call with its float argument.
class RecordingScriptObject final : public client::IScriptObject {
public:
    float GetFloat() override;
    void CallMethod(int code, void* argument) override;

    // Each read answers the current value, then adds the step.
    void SetClock(float value, float step);
    int Reads() const;
    // (code, the float the argument points at) per call.
    std::vector<std::pair<int, float>> Calls() const;

private:
    mutable std::mutex m_mutex;
    float m_value = 0.0f;
    float m_step = 0.0f;
    int m_reads = 0;
    std::vector<std::pair<int, float>> m_calls;
};

class RecordingScriptClient final : public client::IPyClient {
public:
    client::IScriptObject* GetScriptObject() override { return withObject ? &object : nullptr; }

    RecordingScriptObject object;
    bool withObject = true;
};

}  // namespace quor::host
