// A host's use of a scene written with nothing but what a host includes (world/WorldHost.h):
// this file compiles only while the host-facing headers declare all that a host calls.
#include <cstring>
#include <string>

#include "world/WorldHost.h"

namespace quor::test {

// Drives the scene the way a host does, every slot with its full arguments, over one frame;
// the answer names the checks that failed (empty: none).
std::string DriveSceneAsHost(world::IScene* scene, render::ITickObject* tick) {
    using namespace world;
    std::string failed;
    auto check = [&failed](bool ok, const char* what) {
        if (!ok) failed += std::string(failed.empty() ? "" : ", ") + what;
    };

    Camera* camera = scene->CreateCamera(true);
    check(camera != nullptr && scene->GetActiveCamera() == camera, "CreateCamera");
    if (!camera) return failed;
    ICamera* view = CameraInterface(camera);
    view->SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
    view->GetSpaceObject()->SetPosition(Vec3{0.0f, 0.0f, -10.0f});
    check(view->GetSpaceObject()->GetPosition()->z == -10.0f, "camera position");

    ISpaceObject* root = SpaceObjectInterface(scene->GetRootObject());
    check(root != nullptr, "GetRootObject");

    if (Light* light = scene->CreateLight(1)) {
        LightInterface(light)->SetDirection(Vec3{0.0f, -1.0f, 0.0f});
        check(LightInterface(light)->GetDirection().y < -0.99f, "light direction");
    } else {
        check(false, "CreateLight");
    }

    char grassName[260] = {};
    check(scene->AddGrass("", grassName, 1, 2, 3, 20, 0, true, 1.0f, 1.0f, 0.5f, 0xFF80FF80u), "AddGrass");
    check(scene->GetGrassCount() == 1 && std::strcmp(scene->GetGrassName(0), grassName) == 0, "GetGrassName");
    scene->SetGrassParams(1, 10, 200, 1.0f, 1.0f, 1.0f, 1.0f);

    scene->AddTickObject(tick);
    check(scene->RemoveTickObject(tick) && !scene->RemoveTickObject(tick), "RemoveTickObject");
    scene->AddTickObject(tick);

    TrackTemplate line;
    line.end = Vec3{0.0f, 0.0f, 5.0f};
    line.timeLength = 500.0f;
    line.cycleType = 1;  // constant speed
    ITrack* track = scene->CreateTrack(1, &line);
    check(track != nullptr && track->GetLength() > 0.0f, "CreateTrack");

    FogRecord fog;
    fog.mode = 3;
    fog.start = 10.0f;
    fog.end = 100.0f;
    scene->SetFogParams(fog);
    const std::uint8_t grey[4] = {128, 128, 128, 255};
    scene->SetFog(1, 3, grey, 20.0f, 200.0f, 1.0f);
    FogRecord back;
    scene->GetFogParams(&back);
    check(back.mode == 3 && back.type == 1 && back.start == 20.0f && back.colour[0] == 128, "SetFog");

    check(scene->SetBackground(""), "SetBackground");
    scene->SetScreenImage(false, nullptr, nullptr);

    const float shrub[9] = {0, 0, 5, 1, 1, 1, 1, 0.5f, 1};
    check(scene->CreateCrossTexture("bush", 2, shrub, 1) != nullptr, "CreateCrossTexture");
    scene->SetCrossTextureWave("bush", 1.0f, 2.0f, 0.5f, 0.25f, 0.0f, 1);
    float valueA = 0, valueB = 0, effectA = 0, effectB = 0, rand = -1;
    bool on = false;
    scene->GetCrossTextureWave("bush", &valueA, &valueB, &effectA, &effectB, &rand, &on);
    check(valueA == 1.0f && valueB == 2.0f && effectB == 0.25f && on, "GetCrossTextureWave");

    scene->Update();
    scene->Render();
    check(scene->RemoveTickObject(tick), "tick object kept over the frame");
    return failed;
}

}  // namespace quor::test
