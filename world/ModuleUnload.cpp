#include <cstdlib>

#include "platform/gdi/Gdi.h"
#include "world/core/LodGroup.h"
#include "world/core/Module.h"
#include "world/core/TransformStore.h"
#include "world/fx/GlyphFont.h"

// Built into libworld.so only. The singletons that must outlive every object with static
// storage are freed when the module is unloaded (or the process ends): the handler is
// registered before any static object of the module is made, so it runs after all of their
// destructors. A host that loads and unloads the module gets its memory back.
namespace {

void ReleaseModuleSingletons() {
    quor::world::GlyphFontMgr::ReleaseLock();
    quor::world::ReleaseLodRegistry();
    quor::world::TransformStore::ReleaseInstance();
    quor::gdi::ReleaseState();
    quor::Module::ReleaseInstance();
}

__attribute__((constructor(101))) void RegisterUnloadHandler() { std::atexit(ReleaseModuleSingletons); }

}  // namespace
