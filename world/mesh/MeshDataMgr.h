#pragma once

namespace quor::common {
class IXmlNode;
}

namespace quor::world {

// Stand-in for the mesh-data cache: the members the world calls, over an empty cache.
class MeshDataMgr {
public:
    static MeshDataMgr& GetInstance();
    void Clear() {}
    // A "MeshDataMgr" child with one child per cached entry (none yet).
    void WriteMemoryReport(common::IXmlNode* node);
};

}  // namespace quor::world
