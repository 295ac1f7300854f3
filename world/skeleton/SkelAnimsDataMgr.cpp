#include "world/skeleton/SkelAnimsDataMgr.h"

#include "world/core/XmlNodePtr.h"

namespace quor::world {

SkelAnimsDataMgr& SkelAnimsDataMgr::GetInstance() {
    static SkelAnimsDataMgr instance;
    return instance;
}

void SkelAnimsDataMgr::WriteMemoryReport(common::IXmlNode* node) {
    XmlNodePtr parent(node, false);
    XmlNodePtr child = parent.AddChild("SkelAnimsDataMgr");
}

}  // namespace quor::world
