#include "world/fx/BillBoard2.h"
#include "world/fx/CrossTexture.h"
#include "world/fx/Grass.h"
#include "world/fx/QuadBatch.h"
#include "world/fx/SharedEffects.h"
#include "world/fx/UIParticleEmitter.h"

namespace quor::world {

void CreateGrassEffect() { Grass::LoadSharedEffect(); }
void ReleaseGrassEffect() { Grass::ReleaseSharedEffect(); }
void CreateQuadBatch() { QuadBatch::Create(); }
void ReleaseQuadBatch() { QuadBatch::Release(); }

void ReleaseVegetationShared() {
    // While the renderer still lives: at process exit it is gone.
    CrossTexture::ReleaseSharedBuffers();
    BillBoard2::ReleaseSharedEffect();
    UIParticleEmitterMgr::Instance().ReleaseAll();
}

}  // namespace quor::world
