// The ground's far layers, water blocks and mask pictures.
#include <algorithm>
#include <cmath>

#include "platform/host/IRenderer.h"
#include "platform/win32/Clock.h"
#include "world/core/InterfaceTable.h"
#include "world/fx/Picture.h"
#include "world/scene/FarLayer.h"
#include "world/scene/MaskPicture.h"
#include "world/scene/GroundRects.h"
#include "world/scene/Scene2D.h"
#include "world/scene/ScreenMgr.h"
#include "world/scene/WaterBlock.h"

namespace quor::world {

namespace {

using ground::kIdleMs;
using ground::RectsMeet;
constexpr int kMaskDeletesPerPass = 8;

// The group of a mask image: its file name from after the last separator up to the last "_";
// names shorter than two characters make no group.
std::string GroupName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t underscore = base.rfind('_');
    if (underscore == std::string::npos || underscore < 2) return {};
    return base.substr(0, underscore);
}

std::int32_t BottomOf(const MaskPicture& m) {
    const float bottom = m.GetY() + m.GetHeight();
    return std::isfinite(bottom) && std::fabs(bottom) < 2e9f ? std::int32_t(bottom) : 0;
}

}  // namespace

void ScreenMgr::InstallLayer(GroundLoadJob& job) {
    switch (job.kind) {
    case GroundLoadJob::kMask: {
        MaskPicture* picture = job.maskPicture;
        if (!picture || !job.record) return;
        job.maskPicture = nullptr;
        picture->SetName(GroupName(job.name));
        picture->ClipToGrid(m_cols, m_rows);
        MaskPicture*& slot = m_maskPictures[job.record];
        if (slot) DeleteMask(slot);
        slot = picture;
        break;
    }
    case GroundLoadJob::kBackLayer:
    case GroundLoadJob::kFrontLayer:
        if (!job.layer) return;
        (job.kind == GroundLoadJob::kBackLayer ? m_backLayers : m_frontLayers).push_back(job.layer);
        job.layer = nullptr;
        break;
    default:
        break;
    }
}

void ScreenMgr::DropLayerOf(LayerRecord& record) {
    for (std::vector<FarLayer*>* list : {&m_backLayers, &m_frontLayers}) {
        auto it = std::find_if(list->begin(), list->end(), [&](FarLayer* l) { return l->GetRecord() == &record; });
        if (it == list->end()) continue;
        delete *it;
        list->erase(it);
        record.requested = false;
        return;
    }
}

void ScreenMgr::DrawBackLayers() {
    for (FarLayer* layer : m_backLayers) {
        layer->Scroll(m_backScroll);
        layer->Draw(-1, -1, 3);
    }
}

void ScreenMgr::RenderFrontLayers() {
    for (FarLayer* layer : m_frontLayers) {
        layer->Scroll(m_frontScroll);
        layer->Draw(-1, -1, 0);
    }
}

void ScreenMgr::DrawWater() {
    for (WaterBlock* water : m_waterBlocks) {
        if (!RectsMeet(water->GetRect(), m_viewRect)) continue;
        water->Render();
        ++m_waterDrawn;
    }
}

void ScreenMgr::MoveWaterWithView() {
    for (WaterBlock* water : m_waterBlocks)
        if (m_viewWater.count(water)) water->SetViewOffset(m_viewPos);
}

WaterBlock* ScreenMgr::AddWaterBlock(const float* position, const char* baseTexture, const char* normalMap,
                                     bool followView) {
    if (!position) return nullptr;
    auto* water = new WaterBlock(position, baseTexture, normalMap);
    m_waterBlocks.push_back(water);
    if (followView) {
        m_viewWater.insert(water);
        water->SetViewOffset(m_viewPos);
    }
    return water;
}

void ScreenMgr::ClearPartBase(MaskPart* part) {
    if (part) part->SetBaseTexture(nullptr);
}

void ScreenMgr::DeleteMask(MaskPicture* picture) {
    for (MaskPart* part : picture->GetParts()) {
        const std::int32_t index = part->GetBlockIndex();
        if (index >= 0 && std::size_t(index) < m_blocks.size()) m_blocks[std::size_t(index)].maskParts.erase(part);
    }
    delete picture;
}

void ScreenMgr::DeleteLayersAndMasks() {
    for (auto& [record, picture] : m_maskPictures)
        if (picture) DeleteMask(picture);
    m_maskPictures.clear();
    m_markedGroups.clear();
    for (WaterBlock* water : m_waterBlocks) delete water;
    m_waterBlocks.clear();
    m_viewWater.clear();
    // Front layers go too: their records go with the map.
    for (FarLayer* layer : m_backLayers) delete layer;
    for (FarLayer* layer : m_frontLayers) delete layer;
    m_backLayers.clear();
    m_frontLayers.clear();
}

void ScreenMgr::UpdateMasks() {
    render::IRenderer* renderer = Interfaces().renderer;
    const float* vr = nullptr;
    const float blocksArea[4] = {float(m_visibleRange[0]) * kBlockSide, float(m_visibleRange[1]) * kBlockSide,
                                 float(m_visibleRange[2] + 1) * kBlockSide, float(m_visibleRange[3] + 1) * kBlockSide};
    vr = blocksArea;
    for (auto& [record, picture] : m_maskPictures) {
        if (!picture) continue;
        const float rect[4] = {picture->GetX(), picture->GetY(), picture->GetX() + picture->GetWidth(),
                               picture->GetY() + picture->GetHeight()};
        picture->SetVisible(m_visibleRange[0] >= 0 && RectsMeet(rect, vr));
        for (MaskPart* part : picture->GetParts()) {
            part->SetViewOffset(m_viewPos);
            // Each part takes the texture of the block it lies in, once that texture is ready.
            const std::int64_t index = std::int64_t(part->GetRow()) * m_cols + part->GetColumn();
            if (part->GetColumn() < 0 || part->GetRow() < 0 || index >= std::int64_t(m_blocks.size())) continue;
            GroundBlock& block = m_blocks[std::size_t(index)];
            const bool ready = block.texture && renderer && renderer->IsTextureReady(block.textureHandle);
            part->SetBaseTexture(ready ? block.texture : nullptr);
            const std::int32_t old = part->GetBlockIndex();
            if (old != index && old >= 0 && std::size_t(old) < m_blocks.size())
                m_blocks[std::size_t(old)].maskParts.erase(part);
            block.maskParts.insert(part);
            part->SetBlockIndex(std::int32_t(index));
        }
    }
}

void ScreenMgr::ResetMaskMarks() {
    m_markedGroups.clear();
    for (auto& [record, picture] : m_maskPictures)
        if (picture) picture->ResetMarks();
}

bool ScreenMgr::MarkMasksAt(PictureBase* picture) {
    if (!picture) return false;
    // The picture's map position, on whole pixels.
    const PicPoint at = picture->GetPosition();
    float point[2] = {at.x, at.y};
    if (m_scene) m_scene->ApplyInverseViewMatrix(&at.x, point);
    point[0] = std::trunc(point[0]);
    point[1] = std::trunc(point[1]);
    bool hit = false;
    for (auto& [record, mask] : m_maskPictures) {
        if (!mask || !mask->IsVisible() || !mask->GetArea().IsLoaded()) continue;
        const float dx = point[0] - mask->GetX(), dy = point[1] - mask->GetY();
        if (!(dx >= 0 && dx <= mask->GetWidth() && dy >= 0 && dy <= mask->GetHeight())) continue;
        if (((mask->IsBehind(point) >> 8) & 0xFF) != 0) continue;
        hit = true;
        if (mask->GetName().empty())
            mask->AddBehind(picture);
        else
            m_markedGroups[mask->GetName()].push_back(picture);
    }
    // A group is marked as a whole and shares one depth: the deepest of its pictures.
    for (const auto& [name, pictures] : m_markedGroups) {
        std::int32_t depth = INT32_MIN;
        for (auto& [record, mask] : m_maskPictures)
            if (mask && mask->GetName() == name) depth = std::max({depth, mask->GetDepth(), BottomOf(*mask)});
        for (auto& [record, mask] : m_maskPictures) {
            if (!mask || mask->GetName() != name) continue;
            mask->SetGroupMarked(true);
            mask->SetDepth(depth);
        }
    }
    return hit;
}

void ScreenMgr::RenderMasks() {
    const std::uint32_t now = win32::timeGetTime();
    std::vector<std::pair<float, MaskPicture*>> shown;
    int deleted = 0;
    m_masksDrawn = 0;
    for (auto& [record, mask] : m_maskPictures) {
        if (!mask) continue;
        if (mask->IsVisible()) {
            const bool alone = mask->GetName().empty() ? mask->GetBehind().empty()
                                                       : m_markedGroups.find(mask->GetName()) == m_markedGroups.end();
            const float key = float(std::max(mask->GetDepth(), BottomOf(*mask))) + (alone ? 0.5f : 0.0f);
            shown.emplace_back(key, mask);
            continue;
        }
        const LayerRecord* r = record;
        const float rect[4] = {r->left, r->top, r->right, r->bottom};
        if (deleted < kMaskDeletesPerPass && !RectsMeet(rect, m_preloadRect) && now - mask->GetLastDrawn() > kIdleMs) {
            // Back into view, it is loaded again.
            DeleteMask(mask);
            mask = nullptr;
            const_cast<LayerRecord*>(r)->requested = false;
            ++deleted;
        }
    }
    std::stable_sort(shown.begin(), shown.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::set<PictureBase*> drawn;
    for (const auto& [key, mask] : shown) {
        if (mask->IsGroupMarked()) {
            auto group = m_markedGroups.find(mask->GetName());
            for (PictureBase* picture : m_maskedPictures) {
                if (group == m_markedGroups.end() || drawn.count(picture)) continue;
                const auto& behind = group->second;
                if (std::find(behind.begin(), behind.end(), picture) == behind.end()) continue;
                drawn.insert(picture);
                picture->Render(true, false);
            }
        }
        mask->Render(&drawn);
        ++m_masksDrawn;
    }
}

}  // namespace quor::world
