#pragma once
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/IInterfaceRegistry.h"

namespace quor::host {

// The reference registry: a name-to-pointer map that remembers every query in order.
class InterfaceRegistry final : public client::IInterfaceRegistry {
public:
    bool RegisterInterface(const char* name, void* intf) override;
    void* GetInterface(const char* name) override;

    template <typename T>
    void Add(const char* name, T* intf) {
        RegisterInterface(name, static_cast<void*>(intf));
    }
    // The entry under name without recording a query; null when none.
    void* Lookup(const char* name) const;
    // The names asked of GetInterface, in order (unknown names included).
    std::vector<std::string> Queries() const;
    // Each query with the pointer it was answered with (null for unknown names), in order.
    std::vector<std::pair<std::string, void*>> Answers() const;
    std::vector<std::string> Registrations() const;
    void ClearQueries();

private:
    mutable std::mutex m_mutex;
    std::map<std::string, void*> m_entries;
    std::vector<std::string> m_queries;
    std::vector<void*> m_answers;
    std::vector<std::string> m_registrations;
};

}  // namespace quor::host
