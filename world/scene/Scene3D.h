#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "world/core/BSPTree.h"
#include "world/fx/CrossTexture.h"
#include "world/fx/Grass.h"
#include "world/core/math/Matrix.h"
#include "world/scene/SceneBase.h"

namespace quor::render {
class IEffect;
class IPrimitive;
class IRenderView;
class ITexture;
class TerrainObject;
}

namespace quor::world {

class DecalMgr;
class ISkyObject;
class LodGroup;
class SkyObject;
class TrackBase;

// One scene file of the scene: record 0 is its own file, the others its layers.
struct SceneLayer {
    static constexpr std::size_t kNameSize = 256;
    static constexpr std::size_t kPathSize = 260;
    std::int32_t id = 0;
    char name[kNameSize] = {};
    char path[kPathSize] = {};

    // Copies at most 255 characters of each; null leaves a field empty.
    static SceneLayer Make(std::int32_t id, const char* name, const char* path);
};

// The screen-space background picture: a pre-transformed quad over the back buffer.
struct BackgroundQuad {
    static constexpr std::size_t kNameSize = 260;
    char textureName[kNameSize] = {};
    render::IPrimitive* primitive = nullptr;
    render::ITexture* texture = nullptr;
};

// One transparent part of a frame and its depth along the view direction.
struct SortedPart {
    VisibleObject* object = nullptr;
    std::uint32_t part = 0;
    float depth = 0.0f;
};

// Builds the frame's transparent parts of the listed objects, nearest first along d from eye,
// into out (emptied first, storage kept).
void BuildSortedParts(const std::vector<VisibleObject*>& objects, const Vec3& eye, const Vec3& d,
                      std::vector<SortedPart>& out);

// A preset camera of the scene file.
struct PresetCamera {
    char name[260] = {};
    Matrix transform;
};

// The 3D kind of scene: loaded from a 3D scene file, it keeps the 3D-only parts of a world
// (BSP tree, terrain, grass, crossed-quad vegetation, LOD groups, tracks, preset cameras, fog,
// a background picture, decals, host per-frame objects) and draws each frame through the host
// renderer in a fixed order of passes.
class Scene3D : public SceneBase {
public:
    static constexpr int kType = 1;

    Scene3D();
    ~Scene3D() override;

    // The process-wide background effect ("SceneBackground"), made at world start and
    // released at shutdown.
    static void CreateBackgroundEffect();
    static void ReleaseBackgroundEffect();
    static render::IEffect* GetBackgroundEffect();

    // --- IScene ---
    // False when no patch was made.
    bool AddGrass(const char* name, char* outName, int x, int y, int z, int height, int ignored, bool sway,
                  float swayX, float swayZ, float swaySpeed, std::uint32_t colour) override;
    void RemoveGrass(const char* name) override;
    int GetGrassCount() override;
    const char* GetGrassName(int index) override;
    void SetGrassParams(std::uint8_t enabled, std::int32_t start, std::int32_t end, float red, float green,
                        float blue, float alpha) override;
    // fileName, asynchronous request word (0: load at once; else the loader's record is
    // submitted), two unused values.
    bool Create(const char* fileName, int asyncRequest, int b, int c) override;
    void Update() override;
    void Render() override;
    void PrepareFrame() override;
    IModel* CreateModelFromData(void* meshData, int flags) override;
    bool ChangeModelFile(IModel* model, const char* path) override;
    ISpaceLines* CreateSpaceLines(int kind, bool vertexColours, std::uint32_t colour) override;
    void AddTickObject(ITickObject* object) override;
    bool RemoveTickObject(ITickObject* object) override;
    ITrack* CreateTrack(int kind, const void* templateRecord) override;
    ITrack* LoadTrack(const char* path) override;
    void ReleaseTrack(ITrack* track) override;
    void* AddDecal(const char* texture, const Vec3* position, float size) override;
    void RemoveDecal(void* decal) override;
    // The record is kept and goes to the light state.
    void SetFogParams(const FogRecord& fog) override;
    void SetFog(int type, int mode, const std::uint8_t* colour, float start, float end, float density) override;
    void GetFogParams(FogRecord* out) override;
    const FogRecord& GetFogRecord() const { return m_fog; }
    int GetTrackCount() override;
    ITrack* GetTrack(std::uint32_t index) override;
    ITrack* FindTrack(const char* name) override;
    IBSPTree* GetBSPTree() override { return m_bsp; }
    BSPTree* GetBSPTreeObject() const { return m_bsp; }
    bool SetBackground(const char* texture) override;
    const char* GetBackground() override { return m_background.textureName; }
    const BackgroundQuad& GetBackgroundQuad() const { return m_background; }
    void* GetTerrain() override;
    ILodGroup* CreateLodGroup() override;
    void RemoveLodGroup(ILodGroup* group) override;
    int GetLodGroupCount() override;
    ILodGroup* GetLodGroup(std::uint32_t index) override;
    void UpdateLights(float time) override;
    float GetLightTime() override { return m_lightTime; }
    bool GetPresetCamera(const char* name, Matrix* out) override;
    IPicture* CreatePicture3D(IVisibleObject*) override { return nullptr; }
    IPicture* CreatePicture(const char*) override { return nullptr; }
    void* CreatePlaneFog(const char*) override { return nullptr; }
    void* CreateElectricity() override { return nullptr; }
    void* CreateBlaze(const char*, const char*) override { return nullptr; }
    AreaData* CreateAreaData(const char*) override { return nullptr; }
    IPicture* GetRootPicture() override { return nullptr; }
    void ReleasePicture(IPicture*) override {}
    void ReleaseModel(ISpaceObject*) override {}
    void GetMapSize(int*, int*) override {}
    void UpdateView(float, float) override {}
    void GetViewPosition(float*, float*) override {}
    void ApplyViewMatrix(const float*, float*) override {}
    void ApplyInverseViewMatrix(const float*, float*) override {}
    int FindPathFree(int, int, int, int, void*) override { return 0; }
    int GetLineCells(int, int, int, int, int*) override { return 0; }
    bool FindNearestFreeCell(int, int, int*) override { return false; }
    bool IsCellFree(int, int) override { return false; }
    int FindPathAvoid2(int, int, int, int, void*) override { return 0; }
    bool IsCellNot2(int, int) override { return false; }
    bool IsGroundOpaqueAt(float, float) override { return false; }
    void EnableEffectCut(bool) override {}
    void SetScreenImage(bool on, render::ITexture* texture, const float* position) override;
    // A batch of the shrub records (CrossTexture::Init), kept under the name even when the
    // records are refused (it is then empty); a batch of the same name is deleted. The result
    // is the CrossTexture.
    void* CreateCrossTexture(const char* name, int crossCount, const float* records, int count) override;
    void LoadCrossTextureImage(const char* name, const char* image) override;
    void RemoveCrossTexture(std::string name) override;
    void ClearCrossTextures() override;
    void SetCrossTextureWave(const char* name, float valueA, float valueB, float effectA, float effectB,
                             float rand, int on) override;
    void GetCrossTextureWave(const char* name, float* valueA, float* valueB, float* effectA, float* effectB,
                             float* rand, bool* on) override;
    void SetCrossTextureFlag(const char* name, bool flag) override;
    void GetCrossTextureNames(std::vector<std::string>& out) override;
    void EnableDecals(bool enable) override;
    bool Load(const char* path) override;
    void AddModelDecal(void* model, IVisibleObject* object) override;
    void RemoveModelDecals(void* model) override;
    void SetActive(bool active) override;
    bool OnResetDevice() override;
    void OnLostDevice() override;
    void WriteReport(common::IXmlNode* node) override;
    void OnModelLoaded(IModel* model) override;
    void DestroyObject(ISpaceObject* object) override;
    void Clear() override;

    // --- the scene's own operations ---
    // A sky from the mesh file, attached; null (nothing kept) when the mesh does not load.
    ISkyObject* CreateSkyObject(const char* fileName);

    // What the scene-file reader fills.
    std::vector<SceneLayer>& Layers() { return m_layers; }
    int GetLayerCount() const { return static_cast<int>(m_layers.size()); }
    const SceneLayer* GetLayer(int index) const;
    // Appends a layer record; returns its index.
    int AddLayer(const SceneLayer& layer);
    // False (the first kept) when a camera under the name's key exists, or for null or empty
    // names.
    bool AddPresetCamera(const char* name, const Matrix& transform);
    int GetPresetCameraCount() const { return static_cast<int>(m_presetCameras.size()); }
    // The terrain object made while loading; the scene releases it on clear.
    void SetTerrain(render::TerrainObject* terrain) { m_terrain = terrain; }
    render::TerrainObject* GetTerrainObject() const { return m_terrain; }
    GrassMgr& Grasses() { return *m_grass; }
    // The shrub batch of the name; null when there is none.
    CrossTexture* FindCrossTexture(const char* name);
    DecalMgr* Decals() const { return m_decals; }
    LodGroup* GetLodGroupObject(std::uint32_t index) const;

    // For tests and reports.
    const std::vector<SortedPart>& SortedParts() const { return m_sortedParts; }
    const std::vector<ITickObject*>& TickObjects() const { return m_tickObjects; }
    int GetRenderViewCount() const { return static_cast<int>(m_renderViews.size()); }
    render::IPrimitive* GetScreenPrimitive() const { return m_screenPrimitive; }
    render::IEffect* GetScreenEffect() const { return m_screenEffect; }
    bool IsScreenImageOn() const { return m_screenImageOn != 0; }
    bool ScreenImageHasTexture() const { return m_screenImageHasTexture != 0; }

private:
    void ResetFog();
    void ResetLayers();
    // Steps 2-12 of Clear (step 1, the cancelling, comes before).
    void ClearOwnParts();
    void CancelLoads();
    void BuildBackgroundQuad();
    void RebuildSortedParts(Camera* camera);
    render::IRenderView* ViewFor(Camera* camera);
    void ReleaseRenderView(Camera* camera);
    void DrawOpaque(bool sceneObjectsOnly);
    void DrawTransparent(bool sceneObjectsOnly);
    void WaterPass();
    void DepthPass();
    void TerrainPassHook();

    GrassMgr* m_grass = nullptr;
    BSPTree* m_bsp = nullptr;
    FogRecord m_fog;
    std::vector<SortedPart> m_sortedParts;
    DecalMgr* m_decals = nullptr;
    BackgroundQuad m_background;
    std::vector<ITickObject*> m_tickObjects;
    render::TerrainObject* m_terrain = nullptr;
    float m_lightTime = 0.0f;
    std::vector<LodGroup*> m_lodGroups;
    // Skies belong to the scene: no object list of the base holds them.
    std::vector<SkyObject*> m_skies;
    std::vector<TrackBase*> m_tracks;
    std::map<std::int32_t, PresetCamera> m_presetCameras;
    std::map<Camera*, render::IRenderView*> m_renderViews;
    std::vector<SceneLayer> m_layers;
    render::IPrimitive* m_screenPrimitive = nullptr;
    render::IEffect* m_screenEffect = nullptr;
    std::uint8_t m_screenImageOn = 0;
    std::uint8_t m_screenImageHasTexture = 0;
    std::unordered_map<std::string, CrossTexture*> m_crossTextures;
};

}  // namespace quor::world
