#include "platform/host/HostUtils.h"

#include <chrono>

#include "platform/host/XmlNode.h"

namespace quor::host {

common::IXmlNode* HostUtils::CreateXmlDocument() { return XmlNode::NewDocument(); }

namespace {
class SteadyTimer final : public common::ITimer {
public:
    explicit SteadyTimer(HostUtils& owner) : m_owner(owner) {}
    std::uint32_t GetElapsedMilliseconds() override {
        using namespace std::chrono;
        return std::uint32_t(duration_cast<milliseconds>(steady_clock::now() - m_start).count());
    }
    void Release() override {
        --m_owner.timersLive;
        delete this;
    }

private:
    ~SteadyTimer() = default;
    HostUtils& m_owner;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
}  // namespace

common::ITimer* HostUtils::CreateTimer() {
    ++timersMade;
    ++timersLive;
    return new SteadyTimer(*this);
}

}  // namespace quor::host
