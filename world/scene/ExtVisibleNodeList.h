#pragma once
#include <cstdint>
#include <vector>

namespace quor::world {

class ExtVisibleNode;
class IExtVisibleHost;

// A scene's wrappers around host-implemented visible objects. The list owns the nodes, not
// the host objects. No lock of its own: the scene calls it under its object lock.
class ExtVisibleNodeList {
public:
    ExtVisibleNodeList() = default;
    ~ExtVisibleNodeList();
    ExtVisibleNodeList(const ExtVisibleNodeList&) = delete;
    ExtVisibleNodeList& operator=(const ExtVisibleNodeList&) = delete;

    ExtVisibleNode* Create(IExtVisibleHost* host);
    ExtVisibleNode* GetAt(std::uint32_t index) const;
    int GetCount() const { return static_cast<int>(m_nodes.size()); }
    // Searched from the back: the host object is told, let go of, and the node deleted.
    void Remove(ExtVisibleNode* node);
    void Clear();

private:
    std::vector<ExtVisibleNode*> m_nodes;
};

}  // namespace quor::world
