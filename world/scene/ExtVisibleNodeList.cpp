#include "world/scene/ExtVisibleNodeList.h"

#include <algorithm>

#include "world/core/ExtVisibleNode.h"
#include "world/core/Memory.h"

namespace quor::world {

ExtVisibleNodeList::~ExtVisibleNodeList() { Clear(); }

ExtVisibleNode* ExtVisibleNodeList::Create(IExtVisibleHost* host) {
    auto* node = NewObject<ExtVisibleNode>();
    if (!node) return nullptr;
    node->SetOutsideObject(host);
    m_nodes.push_back(node);
    return node;
}

ExtVisibleNode* ExtVisibleNodeList::GetAt(std::uint32_t index) const {
    return index < m_nodes.size() ? m_nodes[index] : nullptr;
}

void ExtVisibleNodeList::Remove(ExtVisibleNode* node) {
    auto it = std::find(m_nodes.rbegin(), m_nodes.rend(), node);
    if (!node || it == m_nodes.rend()) {
        return;
    }
    node->NotifyHostDetach();
    node->SetOutsideObject(nullptr);
    m_nodes.erase(std::next(it).base());
    delete node;
}

void ExtVisibleNodeList::Clear() {
    for (ExtVisibleNode* node : m_nodes) {
        delete node;
    }
    m_nodes.clear();
}

}  // namespace quor::world
