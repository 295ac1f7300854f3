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
    auto it = name ? m_entries.find(name) : m_entries.end();
    void* answer = it == m_entries.end() ? nullptr : it->second;
    m_answers.push_back(answer);
    return answer;
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

std::vector<std::pair<std::string, void*>> InterfaceRegistry::Answers() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::pair<std::string, void*>> out;
    for (std::size_t i = 0; i < m_queries.size(); ++i) out.emplace_back(m_queries[i], m_answers[i]);
    return out;
}

void InterfaceRegistry::ClearQueries() {
    std::lock_guard lock(m_mutex);
    m_queries.clear();
    m_answers.clear();
}

}  // namespace quor::host
