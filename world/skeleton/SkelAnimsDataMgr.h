#pragma once

namespace quor::common {
class IXmlNode;
}

namespace quor::world {

// Stand-in for the skeletal-animation data cache: the members the world calls, over an empty cache.
class SkelAnimsDataMgr {
public:
    static SkelAnimsDataMgr& GetInstance();
    void Clear() {}
    // A "SkelAnimsDataMgr" child with one child per cached entry (none yet).
    void WriteMemoryReport(common::IXmlNode* node);
};

}  // namespace quor::world
