#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "world/core/HostCamera.h"
#include "world/core/HostLight.h"
#include "world/core/HostPrimObject.h"
#include "world/core/HostSpaceObject.h"
#include "world/core/math/Geometry.h"
#include "world/core/math/Matrix.h"
#include "world/core/math/Vector.h"

namespace quor {
// The 2D scene's area map: the host only holds it.
class AreaData;
// The host's asynchronous request record (platform/host/AsyncData.h).
class AsyncData;
}
namespace quor::common {
class IXmlNode;
}
namespace quor::render {
class ISceneLightState;
class ITickObject;
class ITexture;
}

namespace quor::world {

class IBSPTree;
class IFxBase;
class IExtVisibleHost;
class ILodGroup;
class IModel;
class IPicture;
class ISpaceLines;
class ISpaceObject;
class ISpeaker;
class ITrack;
// The host's per-frame objects are the renderer's.
using render::ITickObject;
class IVisibleObject;
using quor::AreaData;

// The 3D scene's fog: mode, type, colour (bytes as stored), start, end, density.
struct FogRecord {
    std::int32_t mode = 1;
    std::int32_t type = 1;
    std::uint8_t colour[4] = {0, 0, 0, 0};
    float start = 0.0f;
    float end = 1.0f;
    float density = 1.0f;
};

// Caller's callback of a containment pick: (model, user value).
using PickCallback = void (*)(IModel* model, void* user);

// The host's scene interface. The slot order is the contract with the host: never reorder.
// Operations that only one kind of scene gives meaning to carry the arguments that kind takes.
class IScene {
public:
    virtual void MapToWorld(const float* mapPoint, Vec3* out) = 0;                         // 0
    virtual void WorldToMap(const Vec3* world, float* outMap) = 0;                          // 1
    virtual void ScreenToWorld(const float* screen, Vec3* out) = 0;                         // 2
    virtual void WorldToScreen(const Vec3* world, float* outMap) = 0;                       // 3
    virtual void SetNameLabel(const char* name, float x, float y, float offset) = 0;        // 4
    virtual void RemoveNameLabel(const char* name) = 0;                                     // 5
    virtual void ClearNameLabels() = 0;                                                     // 6
    virtual bool IsWalkable(float x, float y) = 0;                                          // 7
    virtual void Reserved8() = 0;                                                           // 8
    virtual void Reserved9() = 0;                                                           // 9
    virtual bool OnLabelMouseMove(int x, int y) = 0;                                        // 10
    virtual bool OnLabelClick(int x, int y) = 0;                                            // 11
    virtual void AddLabel(const char* windowName, IModel* model, const char* socketName) = 0;    // 12
    virtual void RemoveLabel(const char* windowName, IModel* model, const char* socketName) = 0; // 13
    // A grass patch of the texture: its name into outName (room for 260 characters, may be null),
    // position and height as integers, an ignored value, the sway flag and its three values, colour.
    virtual bool AddGrass(const char* name, char* outName, int x, int y, int z, int height, int ignored, bool sway,
                          float swayX, float swayZ, float swaySpeed, std::uint32_t colour) = 0;  // 14
    virtual void Reserved15() = 0;                                                          // 15
    virtual void RemoveGrass(const char* name) = 0;                                         // 16
    virtual int GetGrassCount() = 0;                                                        // 17
    virtual const char* GetGrassName(int index) = 0;                                        // 18
    virtual void Reserved19() = 0;                                                          // 19
    // The grass fog: on, start, end and its colour.
    virtual void SetGrassParams(std::uint8_t enabled, std::int32_t start, std::int32_t end, float red, float green,
                                float blue, float alpha) = 0;                               // 20
    virtual void SetOverlaySize(int width, int height) = 0;                                 // 21
    virtual void SetOverlayTexture(render::ITexture* texture) = 0;                          // 22
    // One vertex of the label window being drawn: position from its top-left, texture pair.
    virtual void AddOverlayQuad(float x, float y, float u, float v, std::uint32_t colour) = 0;  // 23
    virtual void FlushOverlayQuads() = 0;                                                   // 24
    virtual int GetSceneType() = 0;                                                         // 25
    virtual bool IsModelSpecularEnabled() = 0;                                              // 26
    virtual void EnableModelSpecular(bool enable) = 0;                                      // 27
    virtual void SetModelSpecularColor(const std::uint8_t* colour) = 0;                     // 28
    virtual const std::uint8_t* GetModelSpecularColor() = 0;                                // 29
    virtual bool Create(const char* fileName, int a, int b, int c) = 0;                     // 30
    virtual void Update() = 0;                                                              // 31
    virtual void SetModelPassCount(int count) = 0;                                          // 32
    virtual int GetModelPassCount() = 0;                                                    // 33
    virtual void Render() = 0;                                                              // 34
    virtual void PrepareFrame() = 0;                                                        // 35
    virtual void GetDefaultZRange(float* zNear, float* zFar) = 0;                           // 36
    virtual Light* CreateLight(int kind) = 0;                                               // 37
    virtual void SetAmbientColor(const std::uint8_t* colour) = 0;                           // 38
    virtual Camera* CreateCamera(bool makeActive) = 0;                                      // 39
    virtual bool SetActiveCamera(Camera* camera) = 0;                                       // 40
    virtual Camera* GetActiveCamera() = 0;                                                  // 41
    // The 2D zoom: switch on or off, factor moved by delta within 0.5 .. 1.5.
    virtual void AdjustZoom(bool on, float delta) = 0;                                      // 42
    virtual void GetZoom(bool* on, float* factor) = 0;                                      // 43
    virtual IModel* CreateModel(const char* path, int flags, int asyncValue, AsyncData** out) = 0;  // 44
    virtual IModel* CreateModelFromData(void* meshData, int flags) = 0;                     // 45
    virtual bool ChangeModelFile(IModel* model, const char* path) = 0;                      // 46
    virtual ISpaceLines* CreateSpaceLines(int kind, bool vertexColours, std::uint32_t colour) = 0;  // 47
    virtual IFxBase* CreateFx(const char* path, int flags, bool async, AsyncData** out, int value) = 0;  // 48
    virtual PrimObject* CreatePrimObject(int kind, std::uint32_t vertexFormat, bool withMaterial) = 0;  // 49
    virtual IVisibleObject* CreateVisibleNode(IExtVisibleHost* host) = 0;                   // 50
    virtual ISpeaker* CreateSpeaker(const char* path, int type, int flag) = 0;              // 51
    virtual void AddTickObject(ITickObject* object) = 0;                                    // 52
    virtual void CloneObject(ISpaceObject* object) = 0;                                     // 53
    virtual bool ReleaseObjectById(std::uint32_t id, bool withChildren) = 0;                // 54
    virtual bool ReleaseObject(ISpaceObject* object, bool withChildren) = 0;                // 55
    // False when the object was not listed.
    virtual bool RemoveTickObject(ITickObject* object) = 0;                                 // 56
    virtual bool IsObjectAlive(std::uint32_t id) = 0;                                       // 57
    virtual SpaceObject* GetRootObject() const = 0;                                         // 58
    // A track of the kind, filled from the kind's template record when one is given.
    virtual ITrack* CreateTrack(int kind, const void* templateRecord) = 0;                  // 59
    virtual ITrack* LoadTrack(const char* path) = 0;                                        // 60
    virtual void ReleaseTrack(ITrack* track) = 0;                                           // 61
    virtual void* AddDecal(const char* texture, const Vec3* position, float size) = 0;      // 62
    virtual void RemoveDecal(void* decal) = 0;                                              // 63
    virtual void SetFogParams(const FogRecord& fog) = 0;                                    // 64
    // colour: four bytes as stored (may be null: black).
    virtual void SetFog(int type, int mode, const std::uint8_t* colour, float start, float end,
                        float density) = 0;                                                 // 65
    virtual void GetFogParams(FogRecord* out) = 0;                                          // 66
    virtual int GetLightCount() = 0;                                                        // 67
    virtual Light* GetLight(std::uint32_t index) = 0;                                       // 68
    virtual render::ISceneLightState* GetLightState() = 0;                                  // 69
    virtual int GetModelCount() = 0;                                                        // 70
    virtual IModel* GetModel(std::uint32_t index) = 0;                                      // 71
    virtual IModel* FindModel(const char* name) = 0;                                        // 72
    virtual int GetTrackCount() = 0;                                                        // 73
    virtual ITrack* GetTrack(std::uint32_t index) = 0;                                      // 74
    virtual ITrack* FindTrack(const char* name) = 0;                                        // 75
    virtual int GetLoadingModelCount() = 0;                                                 // 76
    virtual IModel* GetLoadingModel(std::uint32_t index) = 0;                               // 77
    virtual int GetFxCount() = 0;                                                           // 78
    virtual IFxBase* GetFx(std::uint32_t index) = 0;                                        // 79
    virtual IFxBase* FindFx(const char* name) = 0;                                          // 80
    virtual int AddNamedObject(IVisibleObject* object, const char* name) = 0;               // 81
    virtual int CountNamedObjects(const char* name) = 0;                                    // 82
    virtual int GetNamedModels(IModel** out, const char* name) = 0;                         // 83
    virtual int GetNamedKind4Objects(IFxBase** out, const char* name) = 0;                  // 84
    virtual bool IsActive() = 0;                                                            // 85
    virtual int PickModelsAt(const float* screenPoint, IModel** models, float* ts, int room, int flags,
                             const char* name) = 0;                                         // 86
    virtual IModel* PickModelByRay(const Ray& ray, float* t, int flags, const char* name) = 0;  // 87
    virtual IModel* PickModel(const float* screenPoint, Vec3* hit, int flags, const char* name) = 0;  // 88
    virtual void GetAllModels(std::vector<IModel*>& out) = 0;                               // 89
    virtual void GetAllFx(std::vector<IFxBase*>& out) = 0;                                  // 90
    virtual void PickModelsByRay(const void* query, PickCallback callback, int flags, const char* name,
                                 void* user) = 0;                                           // 91
    virtual const float* GetLastPickPoint() = 0;                                            // 92
    virtual const void* GetLastPickDetail(void* out) = 0;                                   // 93
    virtual IBSPTree* GetBSPTree() = 0;                                                     // 94
    virtual void MoveObjectToScene(IVisibleObject* object, IScene* target) = 0;             // 95
    virtual std::uint32_t GetProgress() = 0;                                                // 96
    virtual int GetSceneId() = 0;                                                           // 97
    virtual int GetPrimObjectCount() = 0;                                                   // 98
    virtual PrimObject* GetPrimObject(std::uint32_t index) = 0;                             // 99
    virtual int GetVisibleNodeCount() = 0;                                                  // 100
    virtual IVisibleObject* GetVisibleNode(std::uint32_t index) = 0;                        // 101
    // False when the texture is missing (a blank one stands in) or the quad could not be made.
    virtual bool SetBackground(const char* texture) = 0;                                    // 102
    virtual const char* GetBackground() = 0;                                                // 103
    virtual void* GetTerrain() = 0;                                                         // 104
    virtual int CountPlayingFx() = 0;                                                       // 105
    virtual int CountChildEffects() = 0;                                                    // 106
    virtual void AddAudioProject(const char* name) = 0;                                     // 107
    virtual ILodGroup* CreateLodGroup() = 0;                                                // 108
    virtual void RemoveLodGroup(ILodGroup* group) = 0;                                      // 109
    virtual int GetLodGroupCount() = 0;                                                     // 110
    virtual ILodGroup* GetLodGroup(std::uint32_t index) = 0;                                // 111
    virtual void UpdateLights(float time) = 0;                                              // 112
    virtual float GetLightTime() = 0;                                                       // 113
    virtual bool GetPresetCamera(const char* name, Matrix* out) = 0;                        // 114
    virtual IPicture* CreatePicture3D(IVisibleObject* object) = 0;                          // 115
    virtual IPicture* CreatePicture(const char* fileName) = 0;                              // 116
    virtual void* CreatePlaneFog(const char* texture) = 0;                                  // 117
    virtual void* CreateElectricity() = 0;                                                  // 118
    virtual void* CreateBlaze(const char* texture, const char* distortion) = 0;             // 119
    virtual bool LoadAStar() = 0;                                                           // 120
    virtual bool LoadFxes() = 0;                                                            // 121
    virtual bool LoadModels() = 0;                                                          // 122
    virtual bool LoadWaters() = 0;                                                          // 123
    virtual void SetGroundUpdateFlag(bool on) = 0;                                          // 124
    virtual bool LoadPlaneFogs() = 0;                                                       // 125
    virtual bool LoadElectricities() = 0;                                                   // 126
    virtual bool LoadBlazes() = 0;                                                          // 127
    virtual bool LoadExtraSection() = 0;                                                    // 128
    virtual void ReleasePicture(IPicture* picture) = 0;                                     // 129
    virtual void ReleaseModel(ISpaceObject* object) = 0;                                    // 130
    virtual void GetMapSize(int* width, int* height) = 0;                                   // 131
    virtual AreaData* CreateAreaData(const char* fileName) = 0;                             // 132
    virtual void UpdateView(float x, float y) = 0;                                          // 133
    virtual void GetViewPosition(float* x, float* y) = 0;                                   // 134
    virtual void ApplyViewMatrix(const float* mapPoint, float* screen) = 0;                 // 135
    virtual void ApplyInverseViewMatrix(const float* screen, float* mapPoint) = 0;          // 136
    virtual int StartTransition(int mode) = 0;                                              // 137
    virtual void SetTransitionSpeed(float speed) = 0;                                       // 138
    virtual int FindPathFree(int sx, int sy, int gx, int gy, void* result) = 0;             // 139
    virtual int GetLineCells(int x0, int y0, int x1, int y1, int* result) = 0;              // 140
    virtual bool FindNearestFreeCell(int x, int y, int* out) = 0;                           // 141
    virtual bool IsCellFree(int x, int y) = 0;                                              // 142
    virtual int FindPathAvoid2(int sx, int sy, int gx, int gy, void* result) = 0;           // 143
    virtual bool IsCellNot2(int x, int y) = 0;                                              // 144
    virtual int GetState() = 0;                                                             // 145
    virtual bool IsGroundOpaqueAt(float x, float y) = 0;                                    // 146
    virtual void SaveDebugSnapshot(IScene* scene) = 0;                                      // 147
    virtual void BuildQuestionImages(const char* picture) = 0;                              // 148
    virtual void EnableEffectCut(bool enable) = 0;                                          // 149
    virtual void SetEffectCutLevel(int level) = 0;                                          // 150
    virtual int GetEffectCutLevel() = 0;                                                    // 151
    virtual void BeginLoadingScreen(bool showWord) = 0;                                     // 152
    virtual void AddLoadingProgress(int amount, int status) = 0;                            // 153
    virtual void EndLoadingScreen() = 0;                                                    // 154
    virtual bool IsLoadingScreenOn() = 0;                                                   // 155
    virtual void* AddWaterBlock(const float* position, const char* watermap, const char* normalmap) = 0;  // 156
    virtual IPicture* GetRootPicture() = 0;                                                 // 157
    // The full-screen image: on, its texture (null: none drawn), top-left position (2 floats, may be null).
    virtual void SetScreenImage(bool on, render::ITexture* texture, const float* position) = 0;  // 158
    // A batch of crossed-quad shrubs: quads per shrub, the shrub records and their count; a batch
    // of the same name is replaced. The result is the batch's handle.
    virtual void* CreateCrossTexture(const char* name, int crossCount, const float* records, int count) = 0;  // 159
    virtual void LoadCrossTextureImage(const char* name, const char* image) = 0;            // 160
    virtual void RemoveCrossTexture(std::string name) = 0;                                  // 161
    virtual void ClearCrossTextures() = 0;                                                  // 162
    virtual void SetCrossTextureWave(const char* name, float valueA, float valueB, float effectA, float effectB,
                                     float rand, int on) = 0;                               // 163
    // Each out pointer may be null.
    virtual void GetCrossTextureWave(const char* name, float* valueA, float* valueB, float* effectA,
                                     float* effectB, float* rand, bool* on) = 0;            // 164
    virtual void SetCrossTextureFlag(const char* name, bool flag) = 0;                      // 165
    virtual void GetCrossTextureNames(std::vector<std::string>& out) = 0;                   // 166
    virtual void EnableDecals(bool enable) = 0;                                             // 167
    virtual void DrawText(int a, int b, float r, float g, float bl, float alpha, const char* text) = 0;  // 168
    virtual bool IsGroundReady() = 0;                                                       // 169
    virtual ~IScene() = default;                                                            // 170
    virtual bool Load(const char* path) = 0;                                                // 171
    virtual void AddModelDecal(void* decal, IVisibleObject* model) = 0;                     // 172
    virtual void RemoveModelDecals(void* decal) = 0;                                        // 173
    virtual void UpdateBillboard(SpaceObject* object) = 0;                                  // 174
    virtual void SetActive(bool active) = 0;                                                // 175
    virtual bool OnResetDevice() = 0;                                                       // 176
    virtual void OnLostDevice() = 0;                                                        // 177
    virtual void WriteReport(common::IXmlNode* node) = 0;                                   // 178
    virtual void UpdateObject(SpaceObject* object) = 0;                                     // 179
    virtual Light* GetMainLight() = 0;                                                      // 180
    virtual void OnModelLoaded(IModel* model) = 0;                                          // 181
    virtual void DestroyObject(ISpaceObject* object) = 0;                                   // 182
    virtual void Clear() = 0;                                                               // 183
    virtual void SetState(int state) = 0;                                                   // 184
    virtual void UpdateBillboards() = 0;                                                    // 185
    virtual void Reserved186() = 0;                                                         // 186
    virtual void Reserved187() = 0;                                                         // 187
};

}  // namespace quor::world
