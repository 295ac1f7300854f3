#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <emmintrin.h>

#include "world/core/XmlNodePtr.h"
#include "world/core/math/Vector.h"
#include "world/fx/IPicture.h"
#include "world/scene/GroundRects.h"
#include "world/scene/SceneBase.h"
#include "world/scene/ScreenMgr.h"

namespace quor {
class PathGrid;
}

namespace quor::render {
class IEffect;
class IPrimitive;
class IRenderView;
class IStageStates;
class ITexture;
}  // namespace quor::render

namespace quor::world {

class Blaze;
class Electricity;
class Picture3D;
class PictureBase;
class PictureEmpty;
class PlaneFog;

// The 2D map scene: a flat map of a known pixel size seen by one camera looking down at the
// ground plane y = 0, lit by one main light, walked by a path grid and dressed with pictures
// (images, sprite sheets, models and effects shown in the 2D view).
class Scene2D : public SceneBase {
public:
    // The progress message posted to the host's main window: wParam a percentage, lParam a text
    // that lives as long as the process.
    static constexpr std::uint32_t kProgressMessage = 0x511;
    static constexpr const char* kDefaultMap = "map/defmap/defmap.bmp";
    // The largest map side accepted from a scene file.
    static constexpr float kMaxMapSide = 1048576.0f;

    struct SoundEntry {
        std::int32_t id;
        float x, y;
        std::uint32_t handle;
    };
    struct NameLabel {
        std::string name;
        float x, y;
        std::int32_t offset;
    };
    struct CameraParams {
        std::uint32_t type = 0;
        float dist = 1000.0f;
        float angle = 20.0f;
        float fov = 16.0f;
        float size = 1.0f;
    };

    Scene2D();
    ~Scene2D() override;

    // --- creation and loading ---
    // fileName, asynchronous request word (non-zero: the load is handed to the loader thread),
    // two unused values.
    bool Create(const char* fileName, int asyncRequest, int b, int c) override;
    bool Load(const char* path) override;
    bool LoadAStar() override;
    bool LoadFxes() override;
    bool LoadModels() override;
    bool LoadWaters() override;
    bool LoadPlaneFogs() override;
    bool LoadElectricities() override;
    bool LoadBlazes() override;
    bool LoadExtraSection() override { return true; }
    void Clear() override;

    // --- conversions and view ---
    // Between map pixels and the ground through the map corners; inline, as hosts run them over
    // many points.
    void MapToWorld(const float* mapPoint, Vec3* out) override {
        if (!mapPoint || !out) return;
        if (m_mapSize[0] <= 0 || m_mapSize[1] <= 0) {
            WarnConversion();
            return;
        }
        const Vec3* c = m_corners;
        const float u = mapPoint[0] / static_cast<float>(m_mapSize[0]);
        const float v = mapPoint[1] / static_cast<float>(m_mapSize[1]);
        const float top = c[0].x + (c[1].x - c[0].x) * u;
        const float bottom = c[2].x + (c[3].x - c[2].x) * u;
        *out = Vec3(top + (bottom - top) * v, 0.0f, c[0].z + (c[2].z - c[0].z) * v);
    }
    void WorldToMap(const Vec3* world, float* outMap) override {
        if (!world || !outMap) return;
        const Vec3* c = m_corners;
        const float dz = c[2].z - c[0].z;
        if (dz == 0.0f) {
            WarnConversion();
            return;
        }
        const float v = (world->z - c[0].z) / dz;
        const float left = c[0].x + (c[2].x - c[0].x) * v;
        const float right = c[1].x + (c[3].x - c[1].x) * v;
        if (right == left) {
            WarnConversion();
            return;
        }
        outMap[1] = static_cast<float>(m_mapSize[1]) * v + 0.1f;
        outMap[0] = (world->x - left) / (right - left) * static_cast<float>(m_mapSize[0]) + 0.1f;
    }
    void ScreenToWorld(const float* screen, Vec3* out) override;
    void WorldToScreen(const Vec3* world, float* outMap) override;
    void UpdateView(float x, float y) override;
    void GetViewPosition(float* x, float* y) override;
    void ApplyViewMatrix(const float* mapPoint, float* screen) override;
    void ApplyInverseViewMatrix(const float* screen, float* mapPoint) override;
    void GetMapSize(int* width, int* height) override;

    // --- name labels, screen labels, overlay ---
    void SetNameLabel(const char* name, float x, float y, float offset) override;
    void RemoveNameLabel(const char* name) override;
    void ClearNameLabels() override { m_nameLabels.clear(); }
    bool IsWalkable(float x, float y) override;

    // --- model specular, effect cut ---
    bool IsModelSpecularEnabled() override { return m_specularOn != 0; }
    void EnableModelSpecular(bool enable) override;
    void SetModelSpecularColor(const std::uint8_t* colour) override;
    const std::uint8_t* GetModelSpecularColor() override { return m_specular; }
    void EnableEffectCut(bool enable) override { m_effectCutOn = enable ? 1 : 0; }
    void SetEffectCutLevel(int level) override { m_effectCutLevel = static_cast<std::uint32_t>(level); }
    int GetEffectCutLevel() override { return static_cast<int>(m_effectCutLevel); }

    // --- frame ---
    void Update() override;
    void Render() override;
    void PrepareFrame() override;
    void SetAmbientColor(const std::uint8_t* colour) override;
    bool SetActiveCamera(Camera* camera) override;
    // A released object leaves every picture that shows it; a released camera leaves every
    // picture that follows it (they follow the active camera, or none).
    void DestroyObject(ISpaceObject* object) override;
    void AdjustZoom(bool on, float delta) override;
    void GetZoom(bool* on, float* factor) override;
    float ZoomFactor() const { return m_zoomFactor; }
    void SetGroundUpdateFlag(bool on) override { m_groundUpdate = on ? 1 : 0; }
    void SetActive(bool) override {}

    // --- pictures and objects ---
    IPicture* CreatePicture3D(IVisibleObject* object) override;
    IPicture* CreatePicture(const char* fileName) override;
    void* CreatePlaneFog(const char* texture) override;
    void* CreateElectricity() override;
    void* CreateBlaze(const char* texture, const char* distortion) override;
    void ReleasePicture(IPicture* picture) override { ReleasePicture(picture, true); }
    // Releases the picture that shows the object, and the object.
    void ReleaseModel(ISpaceObject* object) override;
    void ReleasePicture(IPicture* picture, bool withChildren);
    void ReleaseModelPicture(IPicture* picture, bool withChildren);
    AreaData* CreateAreaData(const char* fileName) override;
    void* AddWaterBlock(const float* position, const char* watermap, const char* normalmap) override;
    ISpaceLines* CreateSpaceLines(int kind, bool vertexColours, std::uint32_t colour) override;
    IPicture* GetRootPicture() override;
    void OnModelLoaded(IModel* model) override;
    Light* GetMainLight() override { return m_mainLight; }

    // --- what a 2D scene does not have ---
    IModel* CreateModelFromData(void*, int) override { return nullptr; }
    bool ChangeModelFile(IModel*, const char*) override { return false; }
    void AddTickObject(ITickObject*) override {}
    bool RemoveTickObject(ITickObject*) override { return false; }
    ITrack* CreateTrack(int, const void*) override { return nullptr; }
    ITrack* LoadTrack(const char*) override { return nullptr; }
    void ReleaseTrack(ITrack*) override {}
    void* AddDecal(const char*, const Vec3*, float) override { return nullptr; }
    void RemoveDecal(void*) override {}
    void SetFogParams(const FogRecord&) override {}
    void SetFog(int, int, const std::uint8_t*, float, float, float) override {}
    void GetFogParams(FogRecord*) override {}
    int GetTrackCount() override { return 0; }
    ITrack* GetTrack(std::uint32_t) override { return nullptr; }
    ITrack* FindTrack(const char*) override { return nullptr; }
    bool SetBackground(const char*) override { return false; }
    const char* GetBackground() override {
        // The ground manager stands for the background of a 2D scene.
        return reinterpret_cast<const char*>(m_ground.get());
    }
    void* GetTerrain() override { return nullptr; }
    ILodGroup* CreateLodGroup() override { return nullptr; }
    void RemoveLodGroup(ILodGroup*) override {}
    int GetLodGroupCount() override { return 0; }
    ILodGroup* GetLodGroup(std::uint32_t) override { return nullptr; }
    void UpdateLights(float) override {}
    float GetLightTime() override { return 0.0f; }
    bool GetPresetCamera(const char*, Matrix*) override { return false; }

    // --- path grid: results live in the scene's buffers until the next call; result receives a
    // pointer to them (const std::int32_t**). ---
    int FindPathFree(int sx, int sy, int gx, int gy, void* result) override;
    int GetLineCells(int x0, int y0, int x1, int y1, int* result) override;
    bool FindNearestFreeCell(int x, int y, int* out) override;
    bool IsCellFree(int x, int y) override;
    int FindPathAvoid2(int sx, int sy, int gx, int gy, void* result) override;
    bool IsCellNot2(int x, int y) override;
    bool IsGroundOpaqueAt(float x, float y) override;
    bool IsGroundReady() override { return m_ground && m_ground->IsReady(); }

    // --- operations the 2D scene adds behind the shared table ---
    virtual std::uint32_t PlaySoundAt(std::int32_t key, int x, int y);
    virtual std::intptr_t ForwardAudio31(std::intptr_t a, std::intptr_t b);
    virtual std::intptr_t ForwardAudio32(std::intptr_t a, std::intptr_t b);
    virtual int Reserved191() { return 0; }
    virtual bool LoadSounds();
    virtual const std::uint8_t* GetAmbientColor() { return SceneBase::GetAmbientColor(); }

    // --- for the host's report and tests ---
    PictureBase* RootPictureBase() const { return m_root; }
    PictureBase* Layer(int index) const { return index >= 0 && index < 3 ? m_layers[index] : nullptr; }
    const Vec3* MapCorners() const { return m_corners; }
    const CameraParams& GetCameraParams() const { return m_camera; }
    const std::vector<SoundEntry>& SoundEntries() const { return m_sounds; }
    const std::vector<std::string>& FilePaths() const { return m_filePaths; }
    const std::vector<PictureBase*>& CollectedPictures() const { return m_collected; }
    const std::vector<PictureBase*>& DrawList() const { return m_drawList; }
    const std::vector<PictureBase*>& FarList() const { return m_farList; }
    PathGrid* GetPathGrid() const { return m_pathGrid.get(); }
    // The plane effects the loaders made (owned by the scene), and how many of each the last
    // frame drew (index 0 fogs, 1 blazes, 2 bolts).
    const std::vector<PlaneFog*>& PlaneFogs() const { return m_planeFogs; }
    const std::vector<Electricity*>& Electricities() const { return m_electricities; }
    const std::vector<Blaze*>& Blazes() const { return m_blazes; }
    int EffectsDrawn(int kind) const { return kind >= 0 && kind < 3 ? m_effectsDrawn[kind] : 0; }
    // The culling test of one picture against the frame's screen (tests compare it with their
    // own reading of the rules).
    // Both tests use the rectangles of the last collection.
    bool IsPictureCulled(PictureBase* picture);
    // The frame's picture collection alone (the frame runs it under the object lock).
    void CollectFramePictures();
    // Whether the picture passes the bound test against the view.
    bool PassesBoundTest(PictureBase* picture);
    // The rectangle test: any corner of b in a, or b spans or fits a in both axes. Inline, as
    // the per-frame pass runs it for every picture.
    static bool RectsOverlap(const float* a, const float* b) { return ground::CornerOrSpan(a, b); }
    static bool PointInRect(const float* r, float x, float y) { return ground::PointIn(r, x, y); }
    // A picture's rectangle widened to whole pixels (left and top down, right and bottom up), as
    // the culling test takes it: out = left, top, right, bottom.
    static void PixelRect(const PicRect& r, float out[4]) {
        // Each half on its own, as the rectangle comes back from GetBoundingRect in two
        // registers: joining them would go through memory and wait on the two stores.
        static_assert(sizeof(PicRect) == 16 && offsetof(PicRect, right) == 8, "left, top, right, bottom");
        double leftTop, rightBottom;
        std::memcpy(&leftTop, &r.left, sizeof leftTop);
        std::memcpy(&rightBottom, &r.right, sizeof rightBottom);
        const __m128 lt = RoundPair(_mm_castpd_ps(_mm_set_sd(leftTop)), false);
        const __m128 rb = RoundPair(_mm_castpd_ps(_mm_set_sd(rightBottom)), true);
        _mm_storel_pd(reinterpret_cast<double*>(out), _mm_castps_pd(lt));
        _mm_storel_pd(reinterpret_cast<double*>(out + 2), _mm_castps_pd(rb));
    }
    // std::floor (or std::ceil with up) of the two low lanes, without a branch per value
    // (one by one they cost the per-frame pass much of its time). Values too large to have a
    // fraction, infinities and NaN pass through unchanged; a zero may lose its sign, which no
    // comparison sees.
    static __m128 RoundPair(__m128 v, bool up) {
        const __m128 one = _mm_set1_ps(1.0f);
        const __m128 t = _mm_cvtepi32_ps(_mm_cvttps_epi32(v));
        const __m128 rounded = up ? _mm_add_ps(t, _mm_and_ps(_mm_cmplt_ps(t, v), one))
                                  : _mm_sub_ps(t, _mm_and_ps(_mm_cmpgt_ps(t, v), one));
        const __m128 magnitude = _mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)));
        const __m128 small = _mm_cmplt_ps(magnitude, _mm_set1_ps(8388608.0f));
        return _mm_or_ps(_mm_and_ps(small, rounded), _mm_andnot_ps(small, v));
    }
    // A process-lifetime copy of the text, for progress messages the host reads later.
    static const char* InternText(const char* text);

    // What LoadWaters read for each block, in order (the blocks themselves come with the ground).
    struct WaterValues {
        float position[2];
        float mapOffset[4];
        float tempVars[4];
        float rippleScale[2];
        float speed;
    };
    const std::vector<WaterValues>& WatersRead() const { return m_watersRead; }

    // The zoom's resources, made on the first zoomed frame and released by Clear: the 1.5 x and
    // 2 x targets (textures and ids), a quad drawing each, their effect and stage states, and
    // the views of the screen pass and of the 2 x target; the viewport they were made for.
    struct ZoomResources {
        render::ITexture* texture[2] = {};
        int target[2] = {};
        render::IPrimitive* quad[2] = {};
        render::IEffect* effect = nullptr;
        render::IStageStates* stages = nullptr;
        render::IRenderView* view[2] = {};
        int viewport[2] = {};
        // Making them failed: the scene draws without zoom until Clear.
        bool failed = false;
    };
    const ZoomResources& Zoom() const { return m_zoom; }
    // The texture windows of the last zoomed frame's two compositions (u0, v0, u1, v1): the
    // 1.5 x image over the 2 x target, then the 2 x image over the viewport; and their
    // rectangles (left, top, right, bottom) in pixels.
    struct ZoomRects {
        float firstWindow[4];
        float firstRect[4];
        float secondWindow[4];
        float secondRect[4];
    };
    const ZoomRects& LastZoomRects() const { return m_zoomRects; }

private:
    bool LoadXml(const char* path);
    bool InitGround(const char* path, int width, int height);
    bool LoadPathData(const char* name);
    bool InitCamera();
    bool InitMainLight();
    void CreateDefaultMap(const char* picture);
    void UpdateMapCorners();
    void ReadSoundEntries(common::IXmlNode* sounds);
    bool CreateOnePictureMap(const char* fileName);
    bool ReadEntities(common::IXmlNode* element);
    Camera* MakeLookDownCamera(float dist, float fov, float zNear, float zFar);
    Light* MakeMainLight(const Vec3& direction, const Vec4& ambient);
    void CorrectCameraForTarget();
    void ApplyView();
    void Post(int percent, const char* text);
    bool Cancelled() const;
    void ViewportSize(int& width, int& height) const;
    void ReleaseChildren(PictureBase* picture);
    void DestroyPicture(PictureBase* picture);
    // Every Picture3D under the picture root, however deep.
    template <typename Visit>
    void ForEachPicture3D(PictureBase* picture, Visit& visit);
    void CollectPictures(PictureBase* parent, const float* screenRect);
    void RoutePictures();
    void DrawEffects(bool onGround);
    bool CutByEffectLevel(PictureBase* picture) const;
    // IsPictureCulled for a Picture3D (kind 1): its model's box against the screen.
    bool IsModelPictureCulled(PictureBase* picture);
    void ForEachModelMaterial(IModel* model, std::uint32_t colour, bool colourOnly);
    void FreeXml();
    // A conversion on an empty map or coinciding corners writes nothing and says so.
    void WarnConversion() const;
    // Zoom: makes the resources for the viewport (false, logged once, when it cannot); directs
    // the frame into the 1.5 x target; composes it through the 2 x target onto the screen.
    bool MakeZoomResources(int vw, int vh);
    void ReleaseZoomResources();
    bool BeginZoomedFrame(int vw, int vh);
    void ComposeZoom(int vw, int vh);

    Light* m_mainLight = nullptr;
    Vec3 m_corners[4];
    std::vector<SoundEntry> m_sounds;
    std::vector<NameLabel> m_nameLabels;
    std::uint8_t m_specularOn = 0;
    std::uint8_t m_specular[4] = {255, 255, 255, 255};  // blue, green, red, alpha
    XmlNodePtr m_xmlRoot;
    XmlNodePtr m_xmlDocument;
    std::vector<std::string> m_filePaths;
    PictureBase* m_root = nullptr;
    PictureBase* m_layers[3] = {};
    std::vector<PictureBase*> m_collected;
    std::vector<PictureBase*> m_secondary;
    std::vector<PictureBase*> m_drawList;
    std::vector<PictureBase*> m_farList;
    std::vector<PictureBase*> m_behindMasks;
    int m_groundSize[2] = {0, 0};
    int m_mapSize[2] = {0, 0};
    float m_view[2] = {0.0f, 0.0f};
    int m_targetSize[2] = {0, 0};
    std::uint8_t m_groundUpdate = 1;
    std::uint32_t m_effectCutLevel = 3;
    void* m_renderView = nullptr;
    std::unique_ptr<PathGrid> m_pathGrid;
    std::unique_ptr<ScreenMgr> m_ground;
    std::vector<PlaneFog*> m_planeFogs;
    std::vector<Electricity*> m_electricities;
    std::vector<Blaze*> m_blazes;
    // Plane effects drawn in the last frame: fogs, blazes, bolts.
    int m_effectsDrawn[3] = {0, 0, 0};
    render::IEffect* m_nightEffect = nullptr;
    std::uint8_t m_effectCutOn = 1;
    CameraParams m_camera;
    std::uint8_t m_zoomOn = 0;
    float m_zoomFactor = 1.5f;
    bool m_loggedNoCamera = false;
    bool m_loggedNoZoom = false;
    ZoomResources m_zoom;
    ZoomRects m_zoomRects = {};
    std::vector<WaterValues> m_watersRead;
    // The frame's rectangles, formed once per collection: the back buffer (screen culling),
    // the screen over the map (Picture3D culling) and the view over the map (bound test).
    float m_backBufferRect[4] = {};
    float m_screenOnMap[4] = {};
    float m_viewOnMap[4] = {};
    void PrepareFrameRects();
    std::vector<std::int32_t> m_pathResult;
    std::vector<std::int32_t> m_lineResult;
    bool m_cleared = false;
};

}  // namespace quor::world
