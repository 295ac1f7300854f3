// Scenes made by the tests load their ground inline, so that a test starts no loader thread
// unless it asks for one (and then carries "Thread" in its name).
#include "world/scene/GroundTextureLoader.h"

namespace {

const bool g_inlineGround = [] {
    quor::world::GroundTextureLoader::SetInlineByDefault(true);
    return true;
}();

}  // namespace
