// The 2D scene's frame: view scrolling, conversions between map, screen and world, culling and
// drawing.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/host/IAudio.h"
#include "platform/host/IClient.h"
#include "platform/host/IEffect.h"
#include "platform/host/IPrimitive.h"
#include "platform/host/IRenderView.h"
#include "platform/host/IRenderer.h"
#include "world/core/Camera.h"
#include "world/core/InterfaceTable.h"
#include "world/core/LightList.h"
#include "world/core/Log.h"
#include "world/core/VisibleObject.h"
#include "world/core/math/Geometry.h"
#include "world/fx/Picture.h"
#include "world/fx/Picture3D.h"
#include "world/fx/UpperText.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/Blaze.h"
#include "world/scene/Electricity.h"
#include "world/scene/ModelList.h"
#include "world/scene/PlaneFog.h"
#include "world/scene/Scene2D.h"
#include "world/scene/SpaceLinesList.h"

namespace quor::world {

namespace {

constexpr int kObjectLayer = 2;

// The offset of the map along one axis: centred when smaller than the view, else following the
// view position until the map's edge.
float AxisOffset(int mapSize, int viewSize, int half, float position, bool strictFirst) {
    const float m = static_cast<float>(mapSize);
    if (mapSize < viewSize) return (static_cast<float>(viewSize) - m) * 0.5f;
    const float h = static_cast<float>(half);
    if (strictFirst ? position < h : position <= h) return 0.0f;
    if (m - position > h) return h - position;
    return static_cast<float>(viewSize) - m;
}

}  // namespace

// --- view -----------------------------------------------------------------------------------

void Scene2D::UpdateView(float x, float y) {
    int sw = 0, sh = 0;
    client::IClient* client = Interfaces().client;
    client::IAudio* audio = Interfaces().audio;
    if (client && audio && client->GetScreenSize(&sw, &sh)) {
        audio->SetListenerArea(sw, sh);
        audio->SetListenerOrigin(static_cast<int>(x) - sw / 2, static_cast<int>(y) - sh / 2);
    }
    m_view[0] = x;
    m_view[1] = y;
    ApplyView();
}

void Scene2D::ApplyView() {
    const float x = m_view[0], y = m_view[1];
    int vw = 0, vh = 0;
    ViewportSize(vw, vh);
    const int hw = vw / 2, hh = vh / 2;
    const float ox = AxisOffset(m_mapSize[0], vw, hw, x, false);
    const float oy = AxisOffset(m_mapSize[1], vh, hh, y, true);
    const float offset[2] = {std::floor(ox + 0.5f), std::floor(oy + 0.5f)};
    if (!m_root) return;
    // The camera takes its projection offset before the root moves: moving the root places
    // every Picture3D's model through the camera, which must already show the new view.
    Camera* camera = GetActiveCamera();
    render::IRenderer* renderer = Interfaces().renderer;
    int tw = 0, th = 0;
    if (camera && renderer && renderer->GetRenderTarget(0, &tw, &th)) {
        if (hw < 1 || hh < 1) {
            LogWarning("Scene2D: viewport %d x %d too small for a projection offset", vw, vh);
        } else {
            const float mw = static_cast<float>(m_mapSize[0] / 2), mh = static_cast<float>(m_mapSize[1] / 2);
            camera->GetParam10(Vec3((ox + mw - static_cast<float>(hw)) / static_cast<float>(hw),
                                    (static_cast<float>(hh) - oy - mh) / static_cast<float>(hh), 0.0f));
        }
    }
    const PicPoint current = m_root->GetLocalPosition();
    const float now[2] = {current.x, current.y};
    if (!Vec2NearlyEqual(offset, now) && m_ground) m_ground->SetViewPosition(offset);
    if (current.x != offset[0] || current.y != offset[1]) m_root->SetLocalPosition(offset[0], offset[1]);
}

void Scene2D::GetViewPosition(float* x, float* y) {
    if (x) *x = m_view[0];
    if (y) *y = m_view[1];
}

void Scene2D::ApplyViewMatrix(const float* mapPoint, float* screen) {
    if (!mapPoint || !screen) return;
    if (!m_root) {
        screen[0] = mapPoint[0];
        screen[1] = mapPoint[1];
        return;
    }
    const PicPoint p = m_root->LocalToWorld({mapPoint[0], mapPoint[1]});
    screen[0] = p.x;
    screen[1] = p.y;
}

void Scene2D::ApplyInverseViewMatrix(const float* screen, float* mapPoint) {
    if (!mapPoint || !screen) return;
    if (!m_root) {
        mapPoint[0] = screen[0];
        mapPoint[1] = screen[1];
        return;
    }
    const PicPoint p = m_root->WorldToLocal({screen[0], screen[1]});
    mapPoint[0] = p.x;
    mapPoint[1] = p.y;
}

void Scene2D::GetMapSize(int* width, int* height) {
    if (width) *width = m_mapSize[0];
    if (height) *height = m_mapSize[1];
}

// --- conversions ----------------------------------------------------------------------------

void Scene2D::ScreenToWorld(const float* mapPoint, Vec3* out) {
    if (!mapPoint || !out) return;
    Camera* camera = GetActiveCamera();
    if (!camera) return;
    float screen[2];
    ApplyViewMatrix(mapPoint, screen);
    Ray ray;
    camera->ScreenPointToRay(screen[0], ray, screen[1]);
    // A ray along the ground never meets it: nothing is written.
    if (!(std::fabs(ray.direction.y) > 1e-12f)) {
        LogWarning("Scene2D: the view ray runs along the ground; no point");
        return;
    }
    const float t = -ray.origin.y / ray.direction.y;
    *out = Vec3(ray.origin.x + t * ray.direction.x, 0.0f, ray.origin.z + t * ray.direction.z);
}

void Scene2D::WorldToScreen(const Vec3* world, float* outMap) {
    if (!world || !outMap) return;
    Camera* camera = GetActiveCamera();
    if (!camera) return;
    float screen[2] = {};
    float depth = 0.0f;
    camera->WorldToScreen(*world, screen, &depth);
    ApplyInverseViewMatrix(screen, outMap);
}

void Scene2D::WarnConversion() const {
    LogWarning("Scene2D: map conversion on a map of %d x %d or with coinciding corners; nothing written", m_mapSize[0],
               m_mapSize[1]);
}

// --- update ---------------------------------------------------------------------------------

void Scene2D::SetNameLabel(const char* name, float x, float y, float offset) {
    if (!name) return;
    for (NameLabel& label : m_nameLabels) {
        if (label.name == name) {
            label.x = x;
            label.y = y;
            label.offset = static_cast<std::int32_t>(offset);
            return;
        }
    }
    m_nameLabels.push_back({name, x, y, static_cast<std::int32_t>(offset)});
}

void Scene2D::RemoveNameLabel(const char* name) {
    if (!name) return;
    m_nameLabels.erase(std::remove_if(m_nameLabels.begin(), m_nameLabels.end(),
                                      [name](const NameLabel& l) { return l.name == name; }),
                       m_nameLabels.end());
}

void Scene2D::Update() {
    UpdateView(m_view[0], m_view[1]);
    SceneBase::Update();
    if (!m_root || m_nameLabels.empty()) return;
    UpperTextGroup* group = UpperTextMgr::Instance().FindGroup("world_name");
    if (!group) return;
    for (const NameLabel& label : m_nameLabels) {
        const PicPoint s = m_root->LocalToWorld({label.x, label.y});
        UpperText* text = group->FindText(label.name.c_str());
        if (!text) continue;
        const float position[3] = {static_cast<float>(static_cast<int>(s.x + 0.5f)),
                                   static_cast<float>(static_cast<int>(s.y + 0.5f) + label.offset), 0.0f};
        text->SetPosition(position);
        if (text->IsVisible()) text->Show();
    }
}

// --- rectangle tests ------------------------------------------------------------------------

void Scene2D::PrepareFrameRects() {
    int bw = 0, bh = 0;
    if (render::IRenderer* renderer = Interfaces().renderer) renderer->GetBackBufferSize(&bw, &bh);
    int vw = 0, vh = 0;
    ViewportSize(vw, vh);
    const PicPoint offset = m_root ? m_root->GetLocalPosition() : PicPoint{};
    const float ox = std::fabs(offset.x), oy = std::fabs(offset.y);
    const float zero[2] = {0.0f, 0.0f};
    float origin[2];
    ApplyInverseViewMatrix(zero, origin);
    const float back[4] = {0.0f, 0.0f, static_cast<float>(bw), static_cast<float>(bh)};
    const float screen[4] = {ox, oy, ox + static_cast<float>(vw), oy + static_cast<float>(vh)};
    const float view[4] = {origin[0], origin[1], origin[0] + static_cast<float>(bw), origin[1] + static_cast<float>(bh)};
    std::memcpy(m_backBufferRect, back, sizeof back);
    std::memcpy(m_screenOnMap, screen, sizeof screen);
    std::memcpy(m_viewOnMap, view, sizeof view);
}

bool Scene2D::IsPictureCulled(PictureBase* picture) {
    // The common case first and short; the model test of a Picture3D is out of line.
    if (picture->Kind() == 1) return IsModelPictureCulled(picture);
    float rect[4] = {};
    PixelRect(picture->GetBoundingRect(), rect);
    return !RectsOverlap(m_backBufferRect, rect) && !RectsOverlap(rect, m_backBufferRect);
}

bool Scene2D::IsModelPictureCulled(PictureBase* picture) {
    IModel* model = picture->GetAttachedModel();
    const common::SharedString name = picture->GetTextureName();
    if (!model || name.Empty() || std::strncmp(name.c_str(), "emf", 3) == 0) return false;
    const PicPoint p = picture->GetLocalPosition();
    const float* lo = picture->BoundMin();
    const float* hi = picture->BoundMax();
    const float box[4] = {p.x + lo[0], p.y + lo[1], p.x + hi[0], p.y + hi[1]};
    return !RectsOverlap(m_screenOnMap, box) && !RectsOverlap(box, m_screenOnMap);
}

bool Scene2D::PassesBoundTest(PictureBase* picture) {
    if (!picture->HasBound()) return true;
    const float* hi = picture->BoundMax();
    const float* lo = picture->BoundMin();
    if (hi[0] == -1.0f && hi[1] == -1.0f && lo[0] == -1.0f && lo[1] == -1.0f) return true;
    const float* view = m_viewOnMap;
    // Closed intervals: the boxes meet when they meet on both axes.
    return lo[0] <= view[2] && view[0] <= hi[0] && lo[1] <= view[3] && view[1] <= hi[1];
}

bool Scene2D::CutByEffectLevel(PictureBase* picture) const {
    if (m_camera.type != 0 || !m_effectCutOn) return false;
    const std::int32_t level = picture->CustomValueRaw();
    return level != -1 && level > static_cast<std::int32_t>(m_effectCutLevel);
}

void Scene2D::CollectPictures(PictureBase* parent, const float* screenRect) {
    // Pictures lie scattered in memory and each test waits for its picture's lines: fetching a
    // few pictures ahead keeps a long list from waiting on every one in turn.
    constexpr std::size_t kAhead = 8;
    const std::vector<PictureBase*>& children = parent->Children();
    for (std::size_t i = 0; i < std::min(kAhead, children.size()); ++i) children[i]->PrefetchPassFields();
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (i + kAhead < children.size()) children[i + kAhead]->PrefetchPassFields();
        PictureBase* picture = children[i];
        // The cached flag: the list itself lies on another line of the picture.
        const bool hasChildren = picture->HasChildren();
        if (picture->DisplayStateValue() == 0 || IsPictureCulled(picture)) {
            if (hasChildren) CollectPictures(picture, screenRect);
            continue;
        }
        if (CutByEffectLevel(picture)) continue;
        const int type = picture->Kind();
        if ((type == 0 || type == 1) && !PassesBoundTest(picture)) continue;
        m_collected.push_back(picture);
        if (hasChildren) CollectPictures(picture, screenRect);
    }
}

void Scene2D::CollectFramePictures() {
    m_collected.clear();
    PrepareFrameRects();
    if (PictureBase* layer = m_layers[kObjectLayer]) CollectPictures(layer, m_screenOnMap);
}

void Scene2D::RoutePictures() {
    m_drawList.clear();
    m_behindMasks.clear();
    if (m_ground) m_ground->ResetMaskMarks();
    for (PictureBase* picture : m_collected) {
        picture->Render(false, true);
        IModel* model = picture->GetAttachedModel();
        if (picture->IsVisible() || picture->HasHeightOffset() || !picture->GetCustomFlag() ||
            (model && model->GetStateByte())) {
            m_drawList.push_back(picture);
        } else if (m_ground && m_ground->MarkMasksAt(picture)) {
            m_behindMasks.push_back(picture);
        } else {
            m_drawList.push_back(picture);
        }
    }
}

// The plane effects of one pass, each drawn with the map offset when its rectangle meets the
// screen over the map: bolts, then fire, then fog.
void Scene2D::DrawEffects(bool onGround) {
    if (onGround) m_effectsDrawn[0] = m_effectsDrawn[1] = m_effectsDrawn[2] = 0;
    const PicPoint offset = m_root ? m_root->GetLocalPosition() : PicPoint{};
    // Any overlap counts, so that a sheet larger than the screen is drawn too; the sheets test
    // themselves against the viewport again.
    auto meets = [this](const float* r) {
        const float* s = m_screenOnMap;
        return std::min(r[0], r[2]) < s[2] && std::max(r[0], r[2]) > s[0] && std::min(r[1], r[3]) < s[3] &&
               std::max(r[1], r[3]) > s[1];
    };
    auto draw = [&](auto& list, int kind) {
        for (auto* effect : list) {
            if (effect->IsOnGround() != onGround) continue;
            float rect[4];
            effect->GetRect(rect);
            if (!meets(rect)) continue;
            const int before = effect->DrawCount();
            effect->Render(offset.x, offset.y);
            m_effectsDrawn[kind] += effect->DrawCount() - before;
        }
    };
    draw(m_electricities, 2);
    draw(m_blazes, 1);
    draw(m_planeFogs, 0);
}

// --- zoom -----------------------------------------------------------------------------------

namespace {
constexpr std::int32_t kTargetFormat = 21;      // A8R8G8B8
constexpr std::int32_t kTargetUsage = 1;        // drawn into
constexpr std::int32_t kTargetDepthFormat = 75;  // depth 24, stencil 8
constexpr std::uint32_t kTargetClear = 0x0F000000u;
constexpr std::uint32_t kScreenQuadFormat = 0x144;
}  // namespace

bool Scene2D::MakeZoomResources(int vw, int vh) {
    if (m_zoom.failed) return false;
    // A viewport of another size needs targets of other sizes.
    if (m_zoom.target[0] != 0 && (m_zoom.viewport[0] != vw || m_zoom.viewport[1] != vh)) ReleaseZoomResources();
    if (m_zoom.target[0] != 0) return true;
    render::IRenderer* renderer = Interfaces().renderer;
    // Twice the viewport must stay a texture size.
    bool ok = renderer && vw > 0 && vh > 0 && vw <= 8192 && vh <= 8192;
    const int sizes[2][2] = {{int(float(vw) * 1.5f), int(float(vh) * 1.5f)}, {vw * 2, vh * 2}};
    for (int i = 0; ok && i < 2; ++i) {
        m_zoom.texture[i] = renderer->CreateTexture(sizes[i][0], sizes[i][1], kTargetFormat, kTargetUsage, 1, 0);
        if (m_zoom.texture[i])
            m_zoom.target[i] = renderer->AddRenderTarget(m_zoom.texture[i], 0, kTargetDepthFormat, 0);
        if (m_zoom.target[i]) renderer->SetRenderTargetClearColour(m_zoom.target[i], kTargetClear);
        ok = m_zoom.target[i] != 0;
    }
    for (int i = 0; ok && i < 2; ++i) {
        m_zoom.quad[i] = renderer->CreatePrimitive(7, kScreenQuadFormat);
        ok = m_zoom.quad[i] != nullptr;
        if (ok) m_zoom.quad[i]->SetVertexCount(1, -1, 0, 1);
    }
    if (ok) {
        // The targets' images are copied, not blended: no depth, no culling, the texture alone.
        m_zoom.effect = renderer->CreateEffect();
        ok = m_zoom.effect != nullptr;
    }
    if (ok) {
        render::IEffect* e = m_zoom.effect;
        e->SetTechniqueName("scene2dTech");
        if (auto* g = e->GetDepthStencilState()) g->SetState(3, 0, 0);
        if (auto* g = e->GetRasterState()) g->SetState(1, 3, 0);
        if (auto* g = e->GetTextureStageState()) {
            g->SetState(0, 0, 2);
            g->SetState(1, 0, 2);
        }
        if (auto* g = e->GetBlendState()) g->SetState(2, 0, 0);
        for (int i = 0; i < 2; ++i) m_zoom.quad[i]->SetEffect(e);
        for (int i = 0; i < 2; ++i) m_zoom.quad[i]->SetTexture(0, m_zoom.texture[i]);
        m_zoom.stages = renderer->CreateDynamicBuffer();
        ok = m_zoom.stages != nullptr;
    }
    if (ok) {
        for (int i = 0; i < 2; ++i)
            if (render::IVertexBuffer* buffer = m_zoom.quad[i]->GetVertexBuffer())
                buffer->SetStageStates(m_zoom.stages, 0x30);
    }
    for (int i = 0; ok && i < 2; ++i) {
        m_zoom.view[i] = renderer->CreateRenderView(1);
        ok = m_zoom.view[i] != nullptr;
    }
    if (ok) {
        m_zoom.viewport[0] = vw;
        m_zoom.viewport[1] = vh;
        return true;
    }
    if (!m_loggedNoZoom) LogWarning("Scene2D: zoom targets unavailable; drawing without zoom");
    m_loggedNoZoom = true;
    ReleaseZoomResources();
    m_zoom.failed = true;
    return false;
}

void Scene2D::ReleaseZoomResources() {
    render::IRenderer* renderer = Interfaces().renderer;
    if (renderer) {
        for (int i = 0; i < 2; ++i) {
            if (m_zoom.target[i]) renderer->RemoveRenderTarget(m_zoom.target[i]);
            if (m_zoom.texture[i]) renderer->ReleaseTexture(m_zoom.texture[i]);
            if (m_zoom.quad[i]) {
                m_zoom.quad[i]->Release();
                renderer->ReleasePrimitive(m_zoom.quad[i]);
            }
            if (m_zoom.view[i]) renderer->ReleaseRenderView(m_zoom.view[i]);
        }
        if (m_zoom.effect) renderer->ReleaseEffect(m_zoom.effect);
        if (m_zoom.stages) renderer->ReleaseDynamicBuffer(m_zoom.stages);
    }
    m_zoom = ZoomResources{};
}

bool Scene2D::BeginZoomedFrame(int vw, int vh) {
    render::IRenderer* renderer = Interfaces().renderer;
    // Above 1 the frame is drawn larger (more of it shows) and scaled down by the composition.
    const float d = std::max(m_zoomFactor, 1.0f);
    if (!renderer->BeginRenderTarget(m_zoom.target[0])) {
        if (!m_loggedNoZoom) LogWarning("Scene2D: zoom targets unavailable; drawing without zoom");
        m_loggedNoZoom = true;
        return false;
    }
    renderer->SetViewport(0, 0, int(float(vw) * d), int(float(vh) * d));
    return true;
}

void Scene2D::ComposeZoom(int vw, int vh) {
    render::IRenderer* renderer = Interfaces().renderer;
    const float f = m_zoomFactor;
    const float d = std::max(f, 1.0f);
    const float fw = float(vw), fh = float(vh);
    std::uint32_t tw = 1, th = 1;
    m_zoom.texture[0]->GetSize(&tw, &th);
    ZoomRects& z = m_zoomRects;
    // The drawn part of the 1.5 x image (2/3 of it up to factor 1, factor / 1.5 above) fills
    // the 2 x target.
    const float first[4] = {0.0f, 0.0f, float(int(fw * d)) / float(tw), float(int(fh * d)) / float(th)};
    const float firstRect[4] = {0.0f, 0.0f, 2.0f * fw, 2.0f * fh};
    // The middle of the 2 x image, factor / d of it, fills the viewport: below 1 it magnifies.
    const float half = 0.5f * f / d;
    const float second[4] = {0.5f - half, 0.5f - half, 0.5f + half, 0.5f + half};
    const float secondRect[4] = {0.0f, 0.0f, fw, fh};
    std::memcpy(z.firstWindow, first, sizeof first);
    std::memcpy(z.firstRect, firstRect, sizeof firstRect);
    std::memcpy(z.secondWindow, second, sizeof second);
    std::memcpy(z.secondRect, secondRect, sizeof secondRect);

    renderer->BeginRenderTarget(m_zoom.target[1]);
    renderer->SetCurrentView(m_zoom.view[1]);
    m_zoom.view[1]->Clear();
    m_zoom.quad[0]->DrawEx(0, firstRect, 0, first);
    m_zoom.quad[0]->Draw(-1, -1, 0);
    // The pictures again, sharp at the 2 x target's scale: the root picture scaled by 2 / d for
    // the pass puts them where the copied image shows the frame. The models of Picture3Ds were
    // drawn with the frame.
    if (m_root) {
        const PicPoint position = m_root->GetLocalPosition();
        const PicPoint scale = m_root->GetLocalScale();
        const float s = 2.0f / d;
        m_root->SetLocalScale(scale.x * s, scale.y * s);
        m_root->SetLocalPosition(position.x * s, position.y * s);
        for (PictureBase* picture : m_drawList)
            if (picture->Kind() != 1) picture->Render(true, true);
        m_root->SetLocalScale(scale.x, scale.y);
        m_root->SetLocalPosition(position.x, position.y);
    }
    renderer->EndRenderTarget();
    renderer->SetCurrentView(m_zoom.view[0]);
    m_zoom.view[0]->Clear();
    m_zoom.quad[1]->DrawEx(0, secondRect, 0, second);
    m_zoom.quad[1]->Draw(-1, -1, 0);
}

// --- render ---------------------------------------------------------------------------------

void Scene2D::Render() {
    if (IsDestroying()) return;
    Camera* camera = GetActiveCamera();
    if (!camera) {
        if (!m_loggedNoCamera) LogWarning("Scene2D: no active camera; nothing drawn");
        m_loggedNoCamera = true;
        return;
    }
    if (!BeginFrame(false)) return;
    render::IRenderer* renderer = Interfaces().renderer;
    // The zoom draws the frame into the first target, then composes it onto the screen; without
    // its targets the frame draws unzoomed.
    int vw = 0, vh = 0;
    ViewportSize(vw, vh);
    bool zoom = m_zoomOn && renderer && MakeZoomResources(vw, vh);
    Lights()->Bind(true);
    CorrectCameraForTarget();
    if (m_ground) m_ground->UpdateBlocks();

    m_secondary.clear();
    m_farList.clear();
    CollectFramePictures();
    CollectVisible();
    PreDrawAll();
    UpdateBillboards();
    for (PictureBase* picture : m_collected)
        if (picture->GetCustomState()) m_farList.push_back(picture);

    if (zoom) zoom = BeginZoomedFrame(vw, vh);
    if (!m_renderView && renderer) {
        render::IRenderView* view = renderer->CreateRenderView(3);
        if (view) {
            view->SetLights(Lights()->LightSet(), GetLightState());
            m_renderView = view;
        }
    }
    if (auto* view = static_cast<render::IRenderView*>(m_renderView)) {
        renderer->SetCurrentView(view);
        view->SetCamera(camera->GetRenderCamera());
        view->Clear();
    }
    if (m_ground) m_ground->Update(&m_farList, m_groundUpdate != 0);
    DrawEffects(true);
    RoutePictures();
    if (m_ground) {
        m_ground->MaskedPictures() = m_behindMasks;
        m_ground->RenderMasks();
    }
    // Zoomed, the pictures are drawn by the composition; Picture3Ds stay with their models.
    for (PictureBase* picture : m_drawList)
        if (!zoom || picture->Kind() == 1) picture->Render(true, false);
    for (int pass = 0; pass < 2; ++pass)
        for (VisibleObject* object : RenderList()) object->DrawParts(pass);
    if (m_ground) m_ground->RenderFrontLayers();
    Models().PrepareOutlines();
    LineObjects().Render();
    Labels().RenderAll(camera);
    DrawTransition();
    DrawEffects(false);
    UpperTextMgr::Instance().RenderAll();
    if (zoom) ComposeZoom(vw, vh);
    EndFrame();
}

}  // namespace quor::world
