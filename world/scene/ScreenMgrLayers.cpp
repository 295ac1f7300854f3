#include "world/scene/ScreenMgr.h"

namespace quor::world {

// Far layers, water blocks and mask pictures arrive with their own classes; until then the
// ground streams blocks only.
void ScreenMgr::InstallLayer(GroundLoadJob&) {}
void ScreenMgr::DropLayerOf(LayerRecord&) {}
void ScreenMgr::DrawBackLayers() {}
void ScreenMgr::DrawWater() {}
void ScreenMgr::MoveWaterWithView() {}
void ScreenMgr::DeleteLayersAndMasks() {}
void ScreenMgr::ClearPartBase(MaskPart*) {}
void ScreenMgr::UpdateMasks() {}
void ScreenMgr::ResetMaskMarks() {}
bool ScreenMgr::MarkMasksAt(PictureBase*) { return false; }
void ScreenMgr::RenderMasks() {}
void ScreenMgr::RenderFrontLayers() {}
WaterBlock* ScreenMgr::AddWaterBlock(const float*, const char*, const char*, bool) { return nullptr; }

}  // namespace quor::world
