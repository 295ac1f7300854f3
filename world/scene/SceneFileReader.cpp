#include "world/scene/SceneFileReader.h"

#include "world/core/Log.h"
#include "world/scene/Scene3D.h"

namespace quor::world {

bool SceneFileReader::Load(Scene3D* scene, int layerIndex) {
    if (!scene) return false;
    const SceneLayer* layer = scene->GetLayer(layerIndex);
    if (!layer) return false;
    LogError("Scene file %s can't be read: no scene file reader is built in!", layer->path);
    scene->SetProgress(0xFFFFFFFFu);
    return false;
}

}  // namespace quor::world
