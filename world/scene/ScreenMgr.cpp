#include "world/scene/ScreenMgr.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d9/Texture.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderer.h"
#include "platform/host/IResFileSystem.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"
#include "world/scene/SceneRegistry.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/fx/IPicture.h"
#include "world/fx/Picture.h"
#include "world/scene/MaskList.h"
#include "world/scene/GroundRects.h"
#include "world/scene/Scene2D.h"

namespace quor::world {

namespace {

constexpr std::uint32_t kScreenQuadFormat = 0x144;  // XYZRHW | DIFFUSE | TEX1
using ground::kIdleMs;
using ground::RectsMeet;
constexpr int kScanPerFrame = 8;
constexpr std::size_t kMaxBlockDir = 255;
const float kFullUv[4] = {0, 0, 1, 1};

const float* RectOf(const LayerRecord& r) { return &r.left; }

void ViewportSize(int& w, int& h) {
    w = h = 0;
    if (render::IRenderer* renderer = Interfaces().renderer) renderer->GetViewportSize(&w, &h);
}

}  // namespace

// The viewport size, asked of the renderer when first needed: a request scan over blocks alone
// needs none, and the query locks the renderer.
struct ScreenMgr::LazyViewport {
    int w = 0, h = 0;
    bool read = false;
    void Read() {
        if (!read) ViewportSize(w, h);
        read = true;
    }
};

namespace {

// trunc(value) clamped into [lo, hi] without leaving int range for huge or NaN values.
int TruncClamp(float value, int lo, int hi) {
    if (!(value > float(lo))) return lo;
    if (!(value < float(hi))) return hi;
    return int(value);
}

}  // namespace

void GroundBlock::SetTexture(render::ITexture* t) {
    texture = t;
    textureHandle = t ? t->GetSurface() : nullptr;
}

ScreenMgr::ScreenMgr(Scene2D* scene, bool inlineLoader)
    : m_scene(scene), m_loader(std::make_unique<GroundTextureLoader>(inlineLoader)) {}

ScreenMgr::~ScreenMgr() {
    // An inline loader's batch runs only when its driver says so: nothing to wait for.
    if (!m_loader->IsInline())
        while (m_loader->IsBusy()) win32::Sleep(100);
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer) renderer->FlushTextureCache();
    m_loader->CancelAllNoWait();
    ClearMap();
    m_loader->Stop();
    m_loader.reset();
}

void ScreenMgr::SetReady(bool ready) {
    m_firstPassDone = ready;
    if (!ready) m_firstPassJobs = 0;
}

void ScreenMgr::GetMapSize(int* width, int* height) {
    if (width) *width = m_mapWidth;
    if (height) *height = m_mapHeight;
}

int ScreenMgr::ResidentBlocks() const {
    return int(std::count_if(m_blocks.begin(), m_blocks.end(), [](const GroundBlock& b) { return b.texture; }));
}

// --- Init -------------------------------------------------------------------------------------

void ScreenMgr::ClearMap() {
    DeleteLayersAndMasks();
    ReleaseBlocks();
}

bool ScreenMgr::Init(const char* blockDir, const int* size) {
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer) renderer->FlushTextureCache();
    m_loader->CancelAll();
    m_firstPassJobs = 0;
    ClearMap();
    m_releaseCursor = m_requestCursor = 0;
    m_quadsPlaced = false;

    if (!blockDir || !size) {
        LogError("ScreenMgr: no block directory or map size");
        return false;
    }
    if (std::strlen(blockDir) > kMaxBlockDir) {
        LogError("ScreenMgr: block directory longer than %zu characters", kMaxBlockDir);
        return false;
    }
    const int width = size[0], height = size[1];
    const std::int64_t cols = width < 0 ? -1 : (std::int64_t(width) + kBlockSide - 1) / kBlockSide;
    const std::int64_t rows = height < 0 ? -1 : (std::int64_t(height) + kBlockSide - 1) / kBlockSide;
    if (cols < 0 || rows < 0 || cols * rows > kMaxBlocks) {
        LogError("ScreenMgr: map size %d x %d refused", width, height);
        return false;
    }
    m_mapWidth = width;
    m_mapHeight = height;
    m_blockDir = blockDir;
    m_cols = int(cols);
    m_rows = int(rows);
    m_blocks.reserve(std::size_t(cols * rows));
    m_records.reserve(std::size_t(cols * rows));

    const std::uint32_t now = win32::timeGetTime();
    char name[kMaxBlockDir + 32];
    for (int r = 0; r < m_rows; ++r) {
        for (int c = 0; c < m_cols; ++c) {
            const float rect[4] = {float(kBlockSide * c), float(kBlockSide * r), float(kBlockSide * (c + 1)),
                                   float(kBlockSide * (r + 1))};
            GroundBlock block;
            block.quad = renderer ? renderer->CreatePrimitive(7, kScreenQuadFormat) : nullptr;
            if (block.quad) {
                block.quad->SetVertexCount(1, -1, 0, 1);
                block.quad->DrawEx(0, rect, 0, kFullUv);
                std::copy(rect, rect + 4, block.quadRect);
                block.quad->SetEffect(Picture::SharedMaterial());
            }
            block.lastUsed = now;
            std::snprintf(name, sizeof name, "%s\\map_%d_%d", blockDir, r, c);
            LayerRecord& record = m_records.emplace_back();
            record.name = name;
            record.left = rect[0], record.top = rect[1], record.right = rect[2], record.bottom = rect[3];
            record.type = LayerRecord::kBlock;
            record.index = r * m_cols + c;
            if (block.quad) block.quad->SetTexture(0, nullptr);
            m_blocks.push_back(block);
        }
    }
    ReadMaskList();
    return true;
}

void ScreenMgr::ReadMaskList() {
    common::IResFileSystem* files = Interfaces().resFileSystem;
    if (!files) return;
    // "mask.txt" lies beside the block directory, in its parent.
    char full[1024] = {};
    files->MakeFullPath(m_blockDir.c_str(), full, sizeof full);
    full[sizeof full - 1] = 0;
    std::string path = full;
    const std::size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) return;
    path = path.substr(0, slash + 1) + "mask.txt";
    common::IResFile* file = files->OpenFile(path.c_str(), 0);
    if (!file) {
        if (render::IRenderer* renderer = Interfaces().renderer) renderer->FlushTextureCache();
        return;
    }
    m_loader->Submit(true);
    const std::uint8_t* data = file->GetData();
    const std::vector<MaskListEntry> entries =
        data ? ParseMaskList(reinterpret_cast<const char*>(data), file->GetSize()) : std::vector<MaskListEntry>{};
    file->Close();
    for (const MaskListEntry& e : entries) {
        LayerRecord& record = m_records.emplace_back();
        record.name = e.name;
        record.left = float(e.x);
        record.top = float(e.y);
        record.right = float(std::int64_t(e.x) + e.width);
        record.bottom = float(std::int64_t(e.y) + e.height);
        record.type = e.type;
        record.index = -1;
    }
    if (render::IRenderer* renderer = Interfaces().renderer) renderer->FlushTextureCache();
}

// --- view -------------------------------------------------------------------------------------

void ScreenMgr::SetViewPosition(const float* pos) {
    if (!pos) return;
    int w = 0, h = 0;
    ViewportSize(w, h);
    const float dx = pos[0] - m_viewPos[0], dy = pos[1] - m_viewPos[1];
    m_backScroll[0] += dx * m_backFactor[0];
    m_backScroll[1] += dy * m_backFactor[1];
    m_frontScroll[0] += dx * m_frontFactor[0];
    m_frontScroll[1] += dy * m_frontFactor[1];
    m_viewPos[0] = pos[0];
    m_viewPos[1] = pos[1];
    const float ax = std::fabs(pos[0]), ay = std::fabs(pos[1]);
    m_viewRect[0] = ax;
    m_viewRect[1] = ay;
    m_viewRect[2] = ax + float(w);
    m_viewRect[3] = ay + float(h);
    const float mx = m_wideMargin ? float(w) : 128.0f;
    const float my = m_wideMargin ? float(h / 2) : 128.0f;
    m_preloadRect[0] = m_viewRect[0] - mx;
    m_preloadRect[1] = m_viewRect[1] - my;
    m_preloadRect[2] = m_viewRect[2] + mx;
    m_preloadRect[3] = m_viewRect[3] + my;
    MoveWaterWithView();
    UpdateVisibleRange(w, h);
    UpdateBlockQuads();
}

void ScreenMgr::UpdateBlocks() {
    int w = 0, h = 0;
    ViewportSize(w, h);
    UpdateVisibleRange(w, h);
    UpdateBlockQuads();
}

void ScreenMgr::UpdateVisibleRange(int w, int h) {
    bool zoom = false;
    float factor = 1.0f;
    if (m_scene) m_scene->GetZoom(&zoom, &factor);
    float ex = 0, ey = 0;
    if (zoom && factor > 1.0f) {
        ex = (factor - 1.0f) * float(w);
        ey = (factor - 1.0f) * float(h);
    }
    const float vx = m_viewPos[0], vy = m_viewPos[1];
    const float side = float(kBlockSide);
    m_visibleRange[0] = TruncClamp(-vx / side - 1.0f, 0, std::max(m_cols, 0));
    m_visibleRange[1] = TruncClamp(-vy / side - 1.0f, 0, std::max(m_rows, 0));
    m_visibleRange[2] = TruncClamp((float(w) - vx + ex) / side + 1.0f, -1, m_cols - 1);
    m_visibleRange[3] = TruncClamp((float(h) - vy + ey) / side + 1.0f, -1, m_rows - 1);
}

void ScreenMgr::UpdateBlockQuads() {
    const float vx = m_viewPos[0], vy = m_viewPos[1];
    // The scene moves the view and then updates the blocks again: the second pass of a frame
    // (and every pass of a still view) would give each quad the rectangle it already has.
    const int* range = m_visibleRange;
    if (m_quadsPlaced && vx == m_quadsView[0] && vy == m_quadsView[1] && range[0] == m_quadsRange[0] &&
        range[1] == m_quadsRange[1] && range[2] == m_quadsRange[2] && range[3] == m_quadsRange[3])
        return;
    for (int r = m_visibleRange[1]; r >= 0 && r <= m_visibleRange[3]; ++r) {
        for (int c = m_visibleRange[0]; c >= 0 && c <= m_visibleRange[2]; ++c) {
            GroundBlock& block = m_blocks[std::size_t(r) * std::size_t(m_cols) + std::size_t(c)];
            if (!block.quad) continue;
            const float rect[4] = {float(kBlockSide * c) + vx, float(kBlockSide * r) + vy,
                                   float(kBlockSide * (c + 1)) + vx, float(kBlockSide * (r + 1)) + vy};
            // A block back in range after the range alone changed may stand where it is wanted.
            if (std::equal(rect, rect + 4, block.quadRect)) continue;
            block.quad->DrawEx(0, rect, 0, kFullUv);
            std::copy(rect, rect + 4, block.quadRect);
        }
    }
    m_quadsPlaced = true;
    m_quadsView[0] = vx;
    m_quadsView[1] = vy;
    std::copy(m_visibleRange, m_visibleRange + 4, m_quadsRange);
}

// --- the frame --------------------------------------------------------------------------------

void ScreenMgr::Update(const std::vector<PictureBase*>* groundPictures, bool drawWater) {
    render::IRenderer* renderer = Interfaces().renderer;
    m_frame = GroundCounters{};
    m_blocksDrawn = m_waterDrawn = 0;
    ReleaseIdleBlocks(m_preloadRect);
    RequestLoads();
    UpdateMasks();
    if (!m_loader->IsBusy()) {
        for (const auto& job : m_loader->GetFinishedJobs()) {
            if (!job) {
                win32::OutputDebugStringA("指针为空");
                continue;
            }
            Install(*job);
        }
        m_loader->Submit(true);
    }
    DrawBackLayers();
    m_firstUpdateDone = true;
    if (groundPictures)
        for (PictureBase* picture : *groundPictures)
            if (picture) picture->Render(true, true);
    const std::uint32_t now = win32::timeGetTime();
    for (int r = m_visibleRange[1]; r >= 0 && r <= m_visibleRange[3]; ++r) {
        for (int c = m_visibleRange[0]; c >= 0 && c <= m_visibleRange[2]; ++c) {
            GroundBlock& block = m_blocks[std::size_t(r) * std::size_t(m_cols) + std::size_t(c)];
            // A texture still uploading is installed but not drawn until it is ready.
            if (!block.texture || !block.quad || !renderer || !renderer->IsTextureReady(block.textureHandle)) continue;
            block.quad->Draw(-1, -1, 3);
            block.lastUsed = now;
            ++m_blocksDrawn;
        }
    }
    if (drawWater) DrawWater();
    m_total.requested += m_frame.requested;
    m_total.installed += m_frame.installed;
    m_total.released += m_frame.released;
    m_total.duplicates += m_frame.duplicates;
}

void ScreenMgr::JobDone(GroundLoadJob& job) {
    if (job.firstPass && m_firstPassJobs > 0) --m_firstPassJobs;
    job.firstPass = false;
}

void ScreenMgr::Install(GroundLoadJob& job) {
    JobDone(job);
    switch (job.kind) {
    case GroundLoadJob::kBlock: {
        if (job.index < 0 || std::size_t(job.index) >= m_blocks.size()) {
            // The job keeps its texture: it goes back with the job.
            win32::OutputDebugStringA("地图容器越界");
            return;
        }
        GroundBlock& block = m_blocks[std::size_t(job.index)];
        if (block.texture) {
            ++m_frame.duplicates;
            return;
        }
        block.SetTexture(job.texture);
        job.texture = nullptr;
        job.textureHandle = nullptr;
        if (!block.texture) win32::OutputDebugStringA("mapblock 纹理为空！\n");
        if (block.quad) block.quad->SetTexture(0, block.texture);
        block.loaded = true;
        block.record = job.record;
        ++m_frame.installed;
        break;
    }
    default:
        InstallLayer(job);
        break;
    }
}

bool ScreenMgr::IsRecordVisible(const LayerRecord& r, float ax, float ay, LazyViewport& viewport,
                                bool needWide) const {
    switch (r.type) {
    case LayerRecord::kBackLayer:
    case LayerRecord::kFrontLayer: {
        if (needWide && !m_wideMargin) return false;
        const float* f = r.type == LayerRecord::kBackLayer ? m_backFactor : m_frontFactor;
        viewport.Read();
        const float w = float(viewport.w), h = float(viewport.h);
        const float area[4] = {f[0] * ax - 128.0f, f[1] * ay - 128.0f, f[0] * ax + w, f[1] * ay + h};
        return RectsOverlap(RectOf(r), area);
    }
    case LayerRecord::kMask:
        if (needWide && !m_wideMargin) return false;
        return RectsMeet(RectOf(r), m_preloadRect);
    default:
        return RectsMeet(RectOf(r), m_preloadRect);
    }
}

void ScreenMgr::RequestLoads() {
    LazyViewport viewport;
    const float ax = std::fabs(m_viewPos[0]), ay = std::fabs(m_viewPos[1]);
    const bool firstPass = !m_firstPassDone;
    const std::size_t budget = firstPass ? m_records.size() : std::size_t(kScanPerFrame);
    if (m_requestCursor >= m_records.size()) m_requestCursor = 0;
    for (std::size_t n = 0; n < budget && m_requestCursor < m_records.size(); ++n, ++m_requestCursor) {
        LayerRecord& r = m_records[m_requestCursor];
        if (!r.requested) {
            if (!IsRecordVisible(r, ax, ay, viewport, true)) continue;
            std::int32_t kind = -1, index = -1;
            switch (r.type) {
            case LayerRecord::kBlock: kind = GroundLoadJob::kBlock, index = r.index; break;
            case LayerRecord::kMask: kind = GroundLoadJob::kMask; break;
            case LayerRecord::kFrontLayer:
                if (!r.name.empty()) kind = GroundLoadJob::kFrontLayer;
                break;
            case LayerRecord::kBackLayer: kind = GroundLoadJob::kBackLayer; break;
            default: break;
            }
            if (kind >= 0) {
                auto job = std::make_unique<GroundLoadJob>(r.name, kind, index, TruncClamp(r.left, INT32_MIN, INT32_MAX),
                                                           TruncClamp(r.top, INT32_MIN, INT32_MAX), &r);
                if (firstPass) {
                    job->firstPass = true;
                    ++m_firstPassJobs;
                }
                m_loader->Add(std::move(job));
                ++m_frame.requested;
            }
            r.requested = true;
            continue;
        }
        if (!m_firstPassDone) {
            win32::OutputDebugStringA("2D场景第一次加载完成！\n");
            m_firstPassDone = true;
        }
        if ((r.type == LayerRecord::kBackLayer || r.type == LayerRecord::kFrontLayer) &&
            !IsRecordVisible(r, ax, ay, viewport, false))
            DropLayerOf(r);
    }
    if (m_requestCursor >= m_records.size()) m_requestCursor = 0;
    if (!m_wideMargin) {
        viewport.Read();
        const int w = viewport.w, h = viewport.h;
        float* p = m_preloadRect;
        if (p[2] - p[0] == 0.0f) {
            p[0] = float(-(w / 2));
            p[2] = float(3 * w / 2);
        } else {
            p[0] -= float(w);
            p[2] += float(w);
        }
        if (p[3] - p[1] == 0.0f) {
            p[1] = float(-(h / 2));
            p[3] = float(3 * h / 2);
        } else {
            p[1] -= float(h / 2);
            p[3] += float(h / 2);
        }
        m_wideMargin = true;
    }
}

void ScreenMgr::ReleaseIdleBlocks(const float* rect) {
    render::IRenderer* renderer = Interfaces().renderer;
    const std::uint32_t now = win32::timeGetTime();
    if (m_releaseCursor >= m_blocks.size()) m_releaseCursor = 0;
    for (int n = 0; n < kScanPerFrame && m_releaseCursor < m_blocks.size(); ++n, ++m_releaseCursor) {
        GroundBlock& block = m_blocks[m_releaseCursor];
        const LayerRecord& r = m_records[m_releaseCursor];
        if (!block.loaded || RectsMeet(RectOf(r), rect) || now - block.lastUsed < kIdleMs) continue;
        for (MaskPart* part : block.maskParts) ClearPartBase(part);
        const int left = renderer && block.textureHandle ? renderer->UnloadTexture(block.textureHandle, 1) : 0;
        if (left < 1) {
            block.SetTexture(nullptr);
            if (block.quad) block.quad->SetTexture(0, nullptr);
            block.loaded = false;
            if (block.record) block.record->requested = false;
            m_records[m_releaseCursor].requested = false;
            block.maskParts.clear();
            ++m_frame.released;
        } else {
            win32::OutputDebugStringA("2D地图纹理动态释放还有引用，请检查！\n");
        }
    }
    if (m_releaseCursor >= m_blocks.size()) m_releaseCursor = 0;
}

void ScreenMgr::ReleaseBlocks() {
    render::IRenderer* renderer = Interfaces().renderer;
    for (GroundBlock& block : m_blocks) {
        if (block.textureHandle && renderer) {
            if (renderer->UnloadTexture(block.textureHandle, 1) < 1) block.SetTexture(nullptr);
        } else if (block.texture && renderer) {
            renderer->ReleaseTexture(block.texture);
            block.SetTexture(nullptr);
        }
        if (block.quad && renderer) renderer->ReleasePrimitive(block.quad);
        block.quad = nullptr;
    }
    m_blocks.clear();
    m_records.clear();
}

bool ScreenMgr::IsOpaqueAt(const float* pt) {
    if (!pt) return true;
    const float x = pt[0], y = pt[1];
    // Coordinates of 0 or less, NaN and points past the grid: opaque.
    if (!(x > 0.0f) || !(y > 0.0f)) return true;
    if (!(x < float(m_cols) * kBlockSide) || !(y < float(m_rows) * kBlockSide)) return true;
    const int c = int(x / kBlockSide), r = int(y / kBlockSide);
    if (c >= m_cols || r >= m_rows) return true;
    const GroundBlock& block = m_blocks[std::size_t(r) * std::size_t(m_cols) + std::size_t(c)];
    if (!block.texture) return true;
    auto* device = static_cast<d3d9::IDirect3DTexture9*>(block.texture->GetRenderSurface());
    if (!device) return true;
    const d3d9::IDirect3DSurface9* level = device->Level(0);
    if (!level || level->Format() != d3d9::D3DFMT_A8R8G8B8) return true;
    d3d9::D3DLOCKED_RECT locked;
    if (device->LockRect(0, &locked, nullptr, 0) != d3d9::D3D_OK || !locked.pBits) return true;
    const std::uint32_t tx = std::uint32_t(x) % kBlockSide, ty = std::uint32_t(y) % kBlockSide;
    bool opaque = true;
    // An edge block narrower than the grid cell answers for what it holds only.
    if (tx < level->Width() && ty < level->Height() && locked.Pitch >= std::int32_t(level->Width() * 4))
        opaque = static_cast<const std::uint8_t*>(locked.pBits)[std::size_t(ty) * std::size_t(locked.Pitch) + tx * 4 + 3] == 255;
    device->UnlockRect(0);
    return opaque;
}

}  // namespace quor::world
