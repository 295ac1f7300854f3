#include "world/fx/FxBase.h"

namespace quor::world {

// No effect file format is read yet: every load fails as for a missing file.
bool FxBase::LoadFile(FxBase*, const char*, int) { return false; }
FxBase* LoadEffectFile(const char*, int) { return nullptr; }

}  // namespace quor::world
