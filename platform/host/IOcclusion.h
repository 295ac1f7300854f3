#pragma once

namespace quor::render {

// The host's occlusion culling. It may be absent; test for null before each use.
class IOcclusion {
public:

protected:
    ~IOcclusion() = default;
};

}  // namespace quor::render
