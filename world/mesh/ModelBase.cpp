#include "world/core/Memory.h"
#include "world/mesh/ModelBase.h"

#include <new>

namespace quor::world {

// Stand-in bodies: no model file format is read yet, so every load fails as for a missing file.
ModelSkeletal* CreateModelSkeletal() { return NewObject<ModelSkeletal>(); }
bool CreateModelForFileEx(ModelBase*, const char*, int) { return false; }
void UnregisterModelHandle(ModelBase*) {}
void CreateOutlineTechnique(ModelBase*) {}
void CreateShadowOnPlaneTechnique(ModelBase*, int) {}
void CreateShadowVolumeTechnique(ModelBase*) {}

}  // namespace quor::world
