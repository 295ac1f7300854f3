#include "platform/host/InterfaceRegistry.h"

namespace quor::host {

bool InterfaceRegistry::RegisterInterface(const char* name, void* intf) {
    if (!name) return false;
    std::lock_guard lock(m_mutex);
    m_entries[name] = intf;
    m_registrations.emplace_back(name);
    return true;
}

void* InterfaceRegistry::GetInterface(const char* name) {
    std::lock_guard lock(m_mutex);
    m_queries.emplace_back(name ? name : "");
    if (!name) return nullptr;
    auto it = m_entries.find(name);
    return it == m_entries.end() ? nullptr : it->second;
}

void* InterfaceRegistry::Lookup(const char* name) const {
    if (!name) return nullptr;
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(name);
    return it == m_entries.end() ? nullptr : it->second;
}

std::vector<std::string> InterfaceRegistry::Queries() const {
    std::lock_guard lock(m_mutex);
    return m_queries;
}

std::vector<std::string> InterfaceRegistry::Registrations() const {
    std::lock_guard lock(m_mutex);
    return m_registrations;
}

void InterfaceRegistry::ClearQueries() {
    std::lock_guard lock(m_mutex);
    m_queries.clear();
}

}  // namespace quor::host
