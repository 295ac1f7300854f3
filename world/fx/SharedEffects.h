#pragma once
#include <cstdint>

namespace quor::world {

// Stand-ins for the module-wide effects of the drawable kinds that the world makes at start-up
// and releases at shutdown (3D background, pictures, mask pictures, grass, quad batch, water
// blocks, electricity, plane fog, blaze). Each kind's issue fills its pair.
// The 3D scene's background effect (Scene3D).
void CreateSceneBackgroundEffect();
void ReleaseSceneBackgroundEffect();
// The pictures' shared effect; the release also frees the UV sprites' one.
void CreatePictureMaterial();
void ReleasePictureMaterial();
// The mask pictures' effect, its show-mark variant for a non-zero mode (world/scene/MaskPicture.cpp).
void CreateMaskPictureEffect(std::uint8_t markMode);
void ReleaseMaskPictureEffect();
// The grass effect and the overlay batch (world/fx/VegetationShared.cpp).
void CreateGrassEffect();
void ReleaseGrassEffect();
void CreateQuadBatch();
void ReleaseQuadBatch();
// What the shrub batches, billboards and screen emitters share and nothing else releases.
void ReleaseVegetationShared();
// The water blocks' effect (world/scene/WaterBlock.cpp).
void CreateWaterBlockEffect();
void ReleaseWaterBlockEffect();
// The 2D plane effects' shared effects (world/scene/Electricity.cpp, PlaneFog.cpp, Blaze.cpp).
void CreateElectricityEffect();
void ReleaseElectricityEffect();
void CreatePlaneFogEffect();
void ReleasePlaneFogEffect();
void CreateBlazeEffect();
void ReleaseBlazeEffect();

}  // namespace quor::world
