#include "world/fx/UpperText.h"

namespace quor::world {

UpperTextMgr& UpperTextMgr::Instance() {
    static UpperTextMgr instance;
    return instance;
}

UpperTextGroup* UpperTextMgr::CreateGroup(const char* name) {
    std::unique_ptr<UpperTextGroup>& group = m_groups[name ? name : ""];
    if (!group) group = std::make_unique<UpperTextGroup>();
    return group.get();
}

UpperTextGroup* UpperTextMgr::FindGroup(const char* name) {
    auto it = m_groups.find(name ? name : "");
    return it == m_groups.end() ? nullptr : it->second.get();
}

void UpperTextMgr::DestroyGroup(const char* name) { m_groups.erase(name ? name : ""); }

}  // namespace quor::world
