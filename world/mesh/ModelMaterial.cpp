#include "world/mesh/ModelMaterial.h"

namespace quor::world {

bool RegisterModelTechniqueTemplates() { return true; }
void CreateHardwareSkinEffect() {}
void ReleaseHardwareSkinEffect() {}
bool SetGlobalMaterialState(float, float, float, float) { return true; }
void SetGlobalMaterialFloat(float) {}
void ReleaseMaterialStateCaches() {}

}  // namespace quor::world
