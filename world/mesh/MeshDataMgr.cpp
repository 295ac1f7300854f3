#include "world/mesh/MeshDataMgr.h"

#include "world/core/XmlNodePtr.h"

namespace quor::world {

MeshDataMgr& MeshDataMgr::GetInstance() {
    static MeshDataMgr instance;
    return instance;
}

void MeshDataMgr::WriteMemoryReport(common::IXmlNode* node) {
    XmlNodePtr parent(node, false);
    XmlNodePtr child = parent.AddChild("MeshDataMgr");
}

}  // namespace quor::world
