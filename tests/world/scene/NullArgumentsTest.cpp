// Null pointers a host passes to the world's interfaces are refused, never followed: each
// operation that takes a pointer is called with null in every pointer, on a 3D and a 2D scene
// and on a placed object, then the scene still runs a frame.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/Camera.h"
#include "world/core/ISpaceObject.h"
#include "world/scene/Scene2D.h"
#include "world/scene/Scene3D.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::IScene;
using world::ISpaceObject;

struct NullCase {
    const char* name;
    std::function<void(IScene&)> call;
};

const std::vector<NullCase>& SceneCases() {
    static const std::vector<NullCase> cases = {
        {"MapToWorld", [](IScene& s) { s.MapToWorld(nullptr, nullptr); }},
        {"WorldToMap", [](IScene& s) { s.WorldToMap(nullptr, nullptr); }},
        {"ScreenToWorld", [](IScene& s) { s.ScreenToWorld(nullptr, nullptr); }},
        {"WorldToScreen", [](IScene& s) { s.WorldToScreen(nullptr, nullptr); }},
        {"SetNameLabel", [](IScene& s) { s.SetNameLabel(nullptr, 0, 0, 0); }},
        {"RemoveNameLabel", [](IScene& s) { s.RemoveNameLabel(nullptr); }},
        {"AddLabel", [](IScene& s) { s.AddLabel(nullptr, nullptr, nullptr); }},
        {"RemoveLabel", [](IScene& s) { s.RemoveLabel(nullptr, nullptr, nullptr); }},
        {"AddGrass", [](IScene& s) { s.AddGrass(nullptr, nullptr, 0, 0, 0, 0, 0, false, 0, 0, 0, 0); }},
        {"RemoveGrass", [](IScene& s) { s.RemoveGrass(nullptr); }},
        {"SetOverlayTexture", [](IScene& s) { s.SetOverlayTexture(nullptr); }},
        {"SetModelSpecularColor", [](IScene& s) { s.SetModelSpecularColor(nullptr); }},
        {"GetDefaultZRange", [](IScene& s) { s.GetDefaultZRange(nullptr, nullptr); }},
        {"SetAmbientColor", [](IScene& s) { s.SetAmbientColor(nullptr); }},
        {"SetActiveCamera", [](IScene& s) { s.SetActiveCamera(nullptr); }},
        {"GetZoom", [](IScene& s) { s.GetZoom(nullptr, nullptr); }},
        {"CreateModel", [](IScene& s) { EXPECT_EQ(s.CreateModel(nullptr, 0, 0, nullptr), nullptr); }},
        {"CreateModelFromData", [](IScene& s) { EXPECT_EQ(s.CreateModelFromData(nullptr, 0), nullptr); }},
        {"ChangeModelFile", [](IScene& s) { EXPECT_FALSE(s.ChangeModelFile(nullptr, nullptr)); }},
        {"CreateFx", [](IScene& s) { EXPECT_EQ(s.CreateFx(nullptr, 0, false, nullptr, 0), nullptr); }},
        {"CreateVisibleNode", [](IScene& s) { EXPECT_EQ(s.CreateVisibleNode(nullptr), nullptr); }},
        {"CreateSpeaker", [](IScene& s) { EXPECT_EQ(s.CreateSpeaker(nullptr, 0, 0), nullptr); }},
        {"AddTickObject", [](IScene& s) { s.AddTickObject(nullptr); }},
        {"CloneObject", [](IScene& s) { s.CloneObject(nullptr); }},
        {"ReleaseObject", [](IScene& s) { EXPECT_FALSE(s.ReleaseObject(nullptr, true)); }},
        {"RemoveTickObject", [](IScene& s) { s.RemoveTickObject(nullptr); }},
        {"LoadTrack", [](IScene& s) { EXPECT_EQ(s.LoadTrack(nullptr), nullptr); }},
        {"ReleaseTrack", [](IScene& s) { s.ReleaseTrack(nullptr); }},
        {"AddDecal", [](IScene& s) { s.AddDecal(nullptr, nullptr, 1.0f); }},
        {"RemoveDecal", [](IScene& s) { s.RemoveDecal(nullptr); }},
        {"GetFogParams", [](IScene& s) { s.GetFogParams(nullptr); }},
        {"FindModel", [](IScene& s) { EXPECT_EQ(s.FindModel(nullptr), nullptr); }},
        {"FindTrack", [](IScene& s) { EXPECT_EQ(s.FindTrack(nullptr), nullptr); }},
        {"FindFx", [](IScene& s) { EXPECT_EQ(s.FindFx(nullptr), nullptr); }},
        {"AddNamedObject", [](IScene& s) { s.AddNamedObject(nullptr, nullptr); }},
        {"CountNamedObjects", [](IScene& s) { EXPECT_EQ(s.CountNamedObjects(nullptr), 0); }},
        {"GetNamedModels", [](IScene& s) { s.GetNamedModels(nullptr, nullptr); }},
        {"GetNamedKind4Objects", [](IScene& s) { s.GetNamedKind4Objects(nullptr, nullptr); }},
        {"PickModelsAt", [](IScene& s) { s.PickModelsAt(nullptr, nullptr, nullptr, 4, 0, nullptr); }},
        {"PickModel", [](IScene& s) { EXPECT_EQ(s.PickModel(nullptr, nullptr, 0, nullptr), nullptr); }},
        {"MoveObjectToScene", [](IScene& s) { s.MoveObjectToScene(nullptr, nullptr); }},
        {"SetBackground", [](IScene& s) { s.SetBackground(nullptr); }},
        {"AddAudioProject", [](IScene& s) { s.AddAudioProject(nullptr); }},
        {"RemoveLodGroup", [](IScene& s) { s.RemoveLodGroup(nullptr); }},
        {"GetPresetCamera", [](IScene& s) { EXPECT_FALSE(s.GetPresetCamera(nullptr, nullptr)); }},
        {"CreatePicture3D", [](IScene& s) { EXPECT_EQ(s.CreatePicture3D(nullptr), nullptr); }},
        {"CreatePicture", [](IScene& s) { s.CreatePicture(nullptr); }},
        {"CreatePlaneFog", [](IScene& s) { s.CreatePlaneFog(nullptr); }},
        {"CreateBlaze", [](IScene& s) { s.CreateBlaze(nullptr, nullptr); }},
        {"ReleasePicture", [](IScene& s) { s.ReleasePicture(nullptr); }},
        {"ReleaseModel", [](IScene& s) { s.ReleaseModel(nullptr); }},
        {"GetMapSize", [](IScene& s) { s.GetMapSize(nullptr, nullptr); }},
        {"CreateAreaData", [](IScene& s) { EXPECT_EQ(s.CreateAreaData(nullptr), nullptr); }},
        {"GetViewPosition", [](IScene& s) { s.GetViewPosition(nullptr, nullptr); }},
        {"ApplyViewMatrix", [](IScene& s) { s.ApplyViewMatrix(nullptr, nullptr); }},
        {"ApplyInverseViewMatrix", [](IScene& s) { s.ApplyInverseViewMatrix(nullptr, nullptr); }},
        {"FindPathFree", [](IScene& s) { s.FindPathFree(0, 0, 1, 1, nullptr); }},
        {"GetLineCells", [](IScene& s) { s.GetLineCells(0, 0, 1, 1, nullptr); }},
        {"FindNearestFreeCell", [](IScene& s) { s.FindNearestFreeCell(0, 0, nullptr); }},
        {"FindPathAvoid2", [](IScene& s) { s.FindPathAvoid2(0, 0, 1, 1, nullptr); }},
    };
    return cases;
}

void RunFrame(IScene& scene) {
    scene.Update();
    scene.Render();
}

TEST(NullArguments, SceneOperationsRefuseNull) {
    for (int kind = 0; kind < 2; ++kind) {
        WorldFixture fx;
        std::unique_ptr<world::SceneBase> scene;
        if (kind == 0)
            scene.reset(new world::Scene3D);
        else
            scene.reset(new world::Scene2D);
        scene->CreateCamera(true);
        for (const NullCase& c : SceneCases()) {
            SCOPED_TRACE(std::string(kind == 0 ? "3D " : "2D ") + c.name);
            c.call(*scene);
        }
        RunFrame(*scene);
        scene->BeginDestroy();
    }
}

TEST(NullArguments, PlacedObjectOperationsRefuseNull) {
    WorldFixture fx;
    world::Scene3D scene;
    world::Camera* camera = scene.CreateCamera(true);
    ASSERT_NE(camera, nullptr);
    ISpaceObject* object = camera;
    const Matrix before = object->GetWorldMatrix();
    object->SetWorldMatrixElements(nullptr);
    EXPECT_EQ(std::memcmp(&before, &object->GetWorldMatrix(), sizeof before), 0);
    Matrix out;
    object->GetRelativeMatrix(nullptr, out);
    EXPECT_FALSE(object->BindTrack(nullptr, 0.0f, true, 0, 0.0f));
    EXPECT_FALSE(object->AddChild(nullptr, true));
    EXPECT_FALSE(object->RemoveChild(nullptr, true));
    EXPECT_FALSE(object->AddAttachment(nullptr, true));
    EXPECT_FALSE(object->RemoveAttachment(nullptr, true));
    object->DropBoundObject(nullptr);
    object->IsInScene(nullptr);
    RunFrame(scene);
}

}  // namespace
