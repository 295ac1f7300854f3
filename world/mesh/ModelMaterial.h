#pragma once

namespace quor::world {

// Stand-ins for the model material code's module-wide resources, called at world start-up,
// per frame and at shutdown; the mesh and model issue fills them.
bool RegisterModelTechniqueTemplates();
void CreateHardwareSkinEffect();
void ReleaseHardwareSkinEffect();
bool SetGlobalMaterialState(float a, float b, float c, float d);
void SetGlobalMaterialFloat(float value);
void ReleaseMaterialStateCaches();

}  // namespace quor::world
