#pragma once

namespace quor::render {

// The host's terrain. It may be absent; test for null before each use.
class Terrain {
public:

protected:
    ~Terrain() = default;
};

}  // namespace quor::render
