#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "world/scene/GroundTextureLoader.h"

namespace quor::render {
class IPrimitive;
class ITexture;
}  // namespace quor::render

namespace quor::world {

class FarLayer;
class MaskPart;
class MaskPicture;
class PictureBase;
class Scene2D;
class WaterBlock;

// A loadable item of a 2D map: a ground block or a "mask.txt" line.
struct LayerRecord {
    enum Type : std::int32_t { kMask = 0, kFrontLayer = 2, kBackLayer = 3, kBlock = 4 };
    std::string name;
    float left = 0, top = 0, right = 0, bottom = 0;
    bool requested = false;
    std::int32_t type = kBlock;
    std::int32_t index = -1;
};

// One 256 x 256 cell of the ground.
struct GroundBlock {
    render::ITexture* texture = nullptr;
    render::IPrimitive* quad = nullptr;
    bool loaded = false;
    std::uint32_t lastUsed = 0;
    LayerRecord* record = nullptr;
    void* textureHandle = nullptr;
    // The screen rectangle the quad was last given (DrawEx): the same one is not given again.
    float quadRect[4] = {0, 0, 0, 0};
    std::set<MaskPart*> maskParts;

    void SetTexture(render::ITexture* t);
};

// What the ground did, per frame and in total (the host's report and the tests read them).
struct GroundCounters {
    int requested = 0;
    int installed = 0;
    int released = 0;
    // Block jobs that arrived for a block already holding a texture.
    int duplicates = 0;
};

// The ground of a 2D scene: a grid of streamed 256 x 256 blocks near the view, the map's mask
// pictures, far layers and water blocks. Runs on the scene's render thread; only file loading
// runs on its loader's thread.
class ScreenMgr {
public:
    static constexpr int kBlockSide = 256;
    // Maps are refused beyond this many blocks (each holds a screen quad).
    static constexpr std::int64_t kMaxBlocks = 1 << 18;

    // inlineLoader: the loader runs no thread; its batches run when Loader().RunBatch is called.
    explicit ScreenMgr(Scene2D* scene, bool inlineLoader = GroundTextureLoader::InlineByDefault());
    virtual ~ScreenMgr();
    ScreenMgr(const ScreenMgr&) = delete;
    ScreenMgr& operator=(const ScreenMgr&) = delete;

    // Builds the grid for the map size {width, height} and reads the mask list beside the
    // block directory. false for a missing or overlong directory, a negative or oversized map.
    virtual bool Init(const char* blockDir, const int* size);
    virtual void ResetFirstLoad() { m_firstUpdateDone = false; }
    virtual void Update(const std::vector<PictureBase*>* groundPictures, bool drawWater);
    virtual void GetMapSize(int* width, int* height);

    void SetViewPosition(const float* pos);
    void UpdateBlocks();
    void RenderMasks();
    void RenderFrontLayers();
    void ResetMaskMarks();
    bool MarkMasksAt(PictureBase* picture);
    bool IsOpaqueAt(const float* pt);
    // followView: a block of the scene file, moved with the view; the host moves its own.
    WaterBlock* AddWaterBlock(const float* position, const char* baseTexture, const char* normalMap,
                              bool followView = false);

    // The ground is ready once the first request pass is done and every job it made is
    // installed.
    bool IsReady() const { return m_firstPassDone && m_firstPassJobs == 0; }
    // Cleared by the scene when it loads a map.
    void SetReady(bool ready);

    // The scene's pictures standing behind a mask this frame (filled by the scene).
    std::vector<PictureBase*>& MaskedPictures() { return m_maskedPictures; }

    // --- for the host's report and tests ---
    GroundTextureLoader& Loader() { return *m_loader; }
    const std::vector<GroundBlock>& Blocks() const { return m_blocks; }
    const std::vector<LayerRecord>& Records() const { return m_records; }
    int Columns() const { return m_cols; }
    int Rows() const { return m_rows; }
    const int* VisibleRange() const { return m_visibleRange; }
    const float* PreloadRect() const { return m_preloadRect; }
    const float* ViewRect() const { return m_viewRect; }
    bool WideMargin() const { return m_wideMargin; }
    bool FirstPassDone() const { return m_firstPassDone; }
    int ResidentBlocks() const;
    // This frame's counts (reset by Update) and the totals since construction.
    const GroundCounters& FrameCounters() const { return m_frame; }
    const GroundCounters& TotalCounters() const { return m_total; }
    int BlocksDrawn() const { return m_blocksDrawn; }
    // Mask pictures the last RenderMasks drew.
    int MasksDrawn() const { return m_masksDrawn; }
    int WaterDrawn() const { return m_waterDrawn; }
    const std::vector<FarLayer*>& BackLayers() const { return m_backLayers; }
    const std::vector<FarLayer*>& FrontLayers() const { return m_frontLayers; }
    const std::vector<WaterBlock*>& WaterBlocks() const { return m_waterBlocks; }
    // The mask pictures by record (null: deleted while out of view, loaded again on return).
    const std::map<const LayerRecord*, MaskPicture*>& MaskPictures() const { return m_maskPictures; }

private:
    struct LazyViewport;
    void UpdateVisibleRange(int viewportW, int viewportH);
    void UpdateBlockQuads();
    void RequestLoads();
    void ReleaseIdleBlocks(const float* rect);
    void ReleaseBlocks();
    void UpdateMasks();
    void Install(GroundLoadJob& job);
    void ReadMaskList();
    void ClearMap();
    bool IsRecordVisible(const LayerRecord& r, float ax, float ay, LazyViewport& viewport, bool needWide) const;
    void JobDone(GroundLoadJob& job);
    // The layer, mask and water side (ScreenMgrLayers.cpp).
    void InstallLayer(GroundLoadJob& job);
    void DropLayerOf(LayerRecord& record);
    void DrawBackLayers();
    void DrawWater();
    void MoveWaterWithView();
    void DeleteLayersAndMasks();
    static void ClearPartBase(MaskPart* part);
    void DeleteMask(MaskPicture* picture);

    std::vector<PictureBase*> m_maskedPictures;
    std::map<std::string, std::vector<PictureBase*>> m_markedGroups;
    std::vector<WaterBlock*> m_waterBlocks;
    std::vector<FarLayer*> m_backLayers;
    std::vector<FarLayer*> m_frontLayers;
    float m_backFactor[2] = {0.5f, 1.0f};
    float m_frontFactor[2] = {1.5f, 1.0f};
    float m_backScroll[2] = {0, 0};
    float m_frontScroll[2] = {0, 0};
    // Keyed by record: two lines naming one image are two pictures.
    std::map<const LayerRecord*, MaskPicture*> m_maskPictures;
    float m_viewPos[2] = {0, 0};
    // Filled by Init alone, before any job or block points into it; contiguous, so the scans
    // that walk a few records a frame read them in line.
    std::vector<LayerRecord> m_records;
    float m_viewRect[4] = {0, 0, 0, 0};
    float m_preloadRect[4] = {0, 0, 0, 0};
    std::vector<GroundBlock> m_blocks;
    int m_cols = 0;
    int m_rows = 0;
    int m_visibleRange[4] = {-1, -1, -1, -1};
    // The view and range of the last quad pass: with both unchanged every quad in range still
    // stands where that pass put it. Cleared by Init.
    bool m_quadsPlaced = false;
    float m_quadsView[2] = {0, 0};
    int m_quadsRange[4] = {-1, -1, -1, -1};
    Scene2D* m_scene = nullptr;
    std::string m_blockDir;
    int m_mapWidth = 0;
    int m_mapHeight = 0;
    bool m_firstUpdateDone = false;
    bool m_firstPassDone = false;
    bool m_wideMargin = false;
    std::unique_ptr<GroundTextureLoader> m_loader;

    // The round robins of the release and request scans, per ground and reset by Init.
    std::size_t m_releaseCursor = 0;
    std::size_t m_requestCursor = 0;
    // Jobs of the first request pass not installed yet.
    int m_firstPassJobs = 0;
    // Water blocks the scene file made (moved with the view); the host drives its own.
    std::set<const WaterBlock*> m_viewWater;
    GroundCounters m_frame;
    GroundCounters m_total;
    int m_blocksDrawn = 0;
    int m_masksDrawn = 0;
    int m_waterDrawn = 0;
};

}  // namespace quor::world
