#include "platform/glrender/GlRenderer.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d9/Device.h"
#include "platform/d3d9/PictureDecode.h"
#include "platform/host/ILog.h"
#include "platform/host/IResFileSystem.h"
#include "platform/host/RenderCamera.h"

namespace quor::host {

struct GlRenderer::Item {
    RecordingVertexBuffer* stream = nullptr;
    // The ranges, copied into the frame's range list.
    std::size_t firstRange = 0;
    std::size_t rangeCount = 0;
    float world[16];
    RecordingMaterial* material = nullptr;
    render::IEffect* effect = nullptr;
    render::ITexture* texture = nullptr;
    bool blendState = false;  // the renderable's own blend state decides
    bool blend = false;
    std::int32_t source = 5;
    std::int32_t destination = 6;
    bool transparent = false;
    std::shared_ptr<const GlLightSet> lights;
    // kItemMesh, or a flat approximation (GlShadows.cpp) in the colour below.
    int mode = 0;
    float flatColour[4] = {0, 0, 0, 0.5f};
    // A renderable with a camera of its own (the sky) draws with that camera's view and
    // projection, as they were when it was submitted.
    bool ownCamera = false;
    float view[16] = {};
    float projection[16] = {};
};

namespace {

constexpr std::int32_t kTransparentPass = 0x60;
constexpr std::uint32_t kEffectFormat = 0x142;
// Screen points (x, y, z, rhw), colour and one texture pair: as strips (kind 5) the flares'
// quads, as lists the texts over objects.
constexpr std::uint32_t kScreenEffectFormat = 0x144;
constexpr int kScreenStrip = 5;
constexpr int kScreenQuadList = 7;

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The device's blend codes 1..15; 12 and 13 set both factors and are resolved by the caller.
GLenum BlendFactor(std::int32_t code) {
    switch (code) {
    case 1: return GL_ZERO;
    case 2: return GL_ONE;
    case 3: return GL_SRC_COLOR;
    case 4: return GL_ONE_MINUS_SRC_COLOR;
    case 5: return GL_SRC_ALPHA;
    case 6: return GL_ONE_MINUS_SRC_ALPHA;
    case 7: return GL_DST_ALPHA;
    case 8: return GL_ONE_MINUS_DST_ALPHA;
    case 9: return GL_DST_COLOR;
    case 10: return GL_ONE_MINUS_DST_COLOR;
    case 11: return GL_SRC_ALPHA_SATURATE;
    case 14: return GL_CONSTANT_COLOR;
    case 15: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
    }
}

void SetBlend(std::int32_t source, std::int32_t destination) {
    if (source == 12) {  // both: source alpha and its inverse
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else if (source == 13) {
        glBlendFunc(GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA);
    } else {
        glBlendFunc(BlendFactor(source), BlendFactor(destination));
    }
}

// Comparison codes 1..8 (never, less, equal, less-equal, greater, not-equal, greater-equal,
// always); 0 takes greater-equal.
GLenum Compare(std::uint8_t code) {
    static const GLenum kFuncs[] = {GL_GEQUAL, GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                                    GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return code <= 8 ? kFuncs[code] : GL_GEQUAL;
}

// A stage argument (diffuse, current, texture, texture factor); false for one GL has no
// counterpart of here.
bool StageSource(std::int32_t arg, GLint& out) {
    switch (arg & 0xF) {
    case 0: out = GL_PRIMARY_COLOR; return true;
    case 1: out = GL_PREVIOUS; return true;
    case 2: out = GL_TEXTURE; return true;
    case 3: out = GL_CONSTANT; return true;
    default: return false;
    }
}

// A stage operation as a combine mode and scale; false for one left out.
bool StageOp(std::int32_t op, GLint& mode, GLfloat& scale, int& select) {
    scale = 1.0f;
    select = -1;
    switch (op) {
    case 1: select = 2; mode = GL_REPLACE; return true;  // disabled: the colour passes through
    case 2: select = 0; mode = GL_REPLACE; return true;
    case 3: select = 1; mode = GL_REPLACE; return true;
    case 4: mode = GL_MODULATE; return true;
    case 5: mode = GL_MODULATE; scale = 2.0f; return true;
    case 6: mode = GL_MODULATE; scale = 4.0f; return true;
    case 7: mode = GL_ADD; return true;
    case 8: mode = GL_ADD_SIGNED; return true;
    case 10: mode = GL_SUBTRACT; return true;
    default: return false;
    }
}

void Colour(std::uint32_t argb, float* out) {
    out[0] = float((argb >> 16) & 0xFF) / 255.0f;
    out[1] = float((argb >> 8) & 0xFF) / 255.0f;
    out[2] = float(argb & 0xFF) / 255.0f;
    out[3] = float(argb >> 24) / 255.0f;
}

std::size_t ElementSize(std::uint8_t type) {
    switch (type) {
    case render::kElementFloat2: return 8;
    case render::kElementFloat3: return 12;
    case render::kElementFloat4: return 16;
    case render::kElementColour: return 4;
    default: return 4;
    }
}

bool ScaledRows(const float* m) {
    for (int r = 0; r < 3; ++r) {
        const float len = m[r * 4] * m[r * 4] + m[r * 4 + 1] * m[r * 4 + 1] + m[r * 4 + 2] * m[r * 4 + 2];
        if (std::fabs(len - 1.0f) > 1e-4f) return true;
    }
    return false;
}

}  // namespace

GlRenderer::GlRenderer(std::shared_ptr<RecordingStore> store) : m_objects(std::move(store)) {
    std::memcpy(m_view, kIdentity, sizeof m_view);
    std::memcpy(m_projection, kIdentity, sizeof m_projection);
    // Until the model templates arrive: texture times the texture factor.
    m_normal.colourArg0 = 3;
    m_normal.colourArg1 = 2;
    m_normal.alphaArg0 = 3;
    m_normal.alphaArg1 = 2;
    m_normal.alphaOp = 4;
    // The 2D ground's effects, drawn by look-alikes here, need no effect files.
    RecordingStore& known = *m_objects.Store();
    for (const char* mask :
         {"res/builtin/shader/maskpicture.fx::TAlpha", "res/builtin/shader/maskpictureshowmark.fx::TAlpha"})
        known.DefineEffect(mask, 1, true, {"BaseTex", "MarkTex"});
    known.DefineEffect("res/builtin/shader/2dwater.fx::water", 1, true, {"BaseTex", "NormalTex"});
}

GlRenderer::~GlRenderer() {
    UnhookTechniques();
    if (!m_context) return;
    GiveBack();
    if (OSMesaGetCurrentContext() == static_cast<OSMesaContext>(m_context)) OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    OSMesaDestroyContext(static_cast<OSMesaContext>(m_context));
}

void GlRenderer::Attach(common::IResFileSystem* files, common::ILog* log) {
    m_objects.Attach(files, log);
    m_files = files;
    m_log = log;
}

// --- the frame ------------------------------------------------------------------------------

bool GlRenderer::BeginFrame(render::IRenderCamera* camera, std::uint32_t clearArgb, int width, int height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    if (!m_context) {
        m_context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        if (!m_context) return false;
    }
    if (width != m_width || height != m_height) {
        m_pixels.assign(std::size_t(width) * height * 4, 0);
        m_width = width;
        m_height = height;
    }
    // GL draws into a work picture large enough for the frame and every target; each keeps
    // its own copy (EndFrame reads the frame's back).
    int workWidth = width, workHeight = height;
    for (const auto& [id, t] : m_targets) {
        workWidth = std::max(workWidth, t.width);
        workHeight = std::max(workHeight, t.height);
    }
    m_drawThread.store(std::this_thread::get_id());
    OwnScope own(*this, workWidth, workHeight);
    if (!own.ok) return false;
    if (m_glName.empty()) {
        const GLubyte* name = glGetString(GL_RENDERER);
        // No name means the calls went to a GL without this context.
        if (!name) return false;
        m_glName = reinterpret_cast<const char*>(name);
    }
    // The camera maps screen points over the size drawn at.
    if (auto* own = dynamic_cast<RenderCamera*>(camera)) own->SetViewportSize(width, height);
    m_camera = camera;
    std::memcpy(m_view, kIdentity, sizeof m_view);
    std::memcpy(m_projection, kIdentity, sizeof m_projection);
    TakeCameraMatrices();
    DropQueued();
    ++m_frame;
    m_viewLightsRead = false;
    m_target = 0;
    m_viewport[2] = m_viewport[3] = 0;
    m_surfaceWidth = width;
    m_surfaceHeight = height;
    m_frameStats = GlFrameStats{};
    glViewport(0, 0, width, height);
    float c[4];
    Colour(clearArgb, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    m_inFrame = true;
    return true;
}

void GlRenderer::SetLightSet(const GlLightSet* lights) {
    m_lights = lights ? std::make_shared<const GlLightSet>(*lights) : nullptr;
}

bool GlRenderer::Submit(render::IRenderable* renderable) {
    const bool queued = m_objects.Submit(renderable);
    SubmitRenderable(renderable, nullptr);
    return queued && m_inFrame;
}

void GlRenderer::SubmitRenderable(render::IRenderable* renderable, const GlLightSet* lights) {
    // Outside a frame nothing would ever draw it: nothing is queued.
    if (!renderable || !m_inFrame) return;
    auto* r = static_cast<RecordingRenderable*>(renderable);
    Item item;
    item.stream = static_cast<RecordingVertexBuffer*>(r->stream);
    item.firstRange = m_ranges.size();
    item.rangeCount = r->ranges.size();
    m_ranges.insert(m_ranges.end(), r->ranges.begin(), r->ranges.end());
    std::memcpy(item.world, r->matrix, sizeof item.world);
    item.material = static_cast<RecordingMaterial*>(r->material);
    item.effect = r->effect;
    item.texture = r->texture;
    if (auto* b = static_cast<RecordingRenderState*>(r->blendState); b && b->blendSets > 0) {
        item.blendState = true;
        item.blend = b->blendEnabled;
        item.source = b->blendSource;
        item.destination = b->blendDestination;
    }
    item.transparent = r->drawPass == kTransparentPass || (item.material && item.material->transparent) ||
                       (item.blendState && item.blend);
    if (item.material && !item.blendState) {
        item.source = item.material->blendSource;
        item.destination = item.material->blendDestination;
        item.blend = item.transparent;
    }
    // A host that sets no lights of its own draws with the lights of the module's view.
    item.lights = lights ? std::make_shared<const GlLightSet>(*lights) : m_lights ? m_lights : ViewLights();
    if (render::IRenderCamera* camera = r->renderCamera) {
        item.ownCamera = true;
        std::memcpy(item.view, camera->GetViewMatrix(), sizeof item.view);
        std::memcpy(item.projection, camera->GetProjectionMatrix(), sizeof item.projection);
        if (auto* own = dynamic_cast<RenderCamera*>(camera)) own->GetDrawingProjection(item.projection);
    }
    m_items.push_back(std::move(item));
}

void GlRenderer::QueueFlat(render::IVertexBuffer* stream, const render::DrawRange* ranges, std::uint32_t count,
                           const float* world, int mode, const float* colour) {
    if (!m_inFrame || !stream || !ranges || !world) return;
    Item item;
    item.stream = static_cast<RecordingVertexBuffer*>(stream);
    item.firstRange = m_ranges.size();
    item.rangeCount = count;
    m_ranges.insert(m_ranges.end(), ranges, ranges + count);
    std::memcpy(item.world, world, sizeof item.world);
    item.mode = mode;
    std::memcpy(item.flatColour, colour, sizeof item.flatColour);
    // Blended shadows draw with the transparent pass, over what they fall on.
    item.transparent = mode == 1;
    m_items.push_back(std::move(item));
}

void GlRenderer::PaintGround(float halfSize, float height) {
    if (!m_inFrame || !(halfSize > 0.0f) || !std::isfinite(halfSize) || !std::isfinite(height)) return;
    m_grounds.push_back({halfSize, height, m_lights ? m_lights : ViewLights()});
}

namespace {

// The ground's colour at a point of it (normal +y) under the lights, worked out here rather
// than by GL so that a point light's range ends its pool of light as the device's lights do.
void GroundColour(const GlLightSet* lights, const float grass[3], float x, float y, float z, float out[3]) {
    float light[3] = {1, 1, 1};
    if (lights && !lights->lights.empty()) {
        for (int c = 0; c < 3; ++c) light[c] = lights->ambient[c];
        for (const GlLight& l : lights->lights) {
            float towards[3] = {-l.direction[0], -l.direction[1], -l.direction[2]};
            float strength = 1.0f;
            if (l.kind != 3) {
                towards[0] = l.position[0] - x, towards[1] = l.position[1] - y, towards[2] = l.position[2] - z;
                const float d = std::sqrt(towards[0] * towards[0] + towards[1] * towards[1] + towards[2] * towards[2]);
                if (d > l.range || d <= 0.0f) continue;
                for (float& v : towards) v /= d;
                const float a = l.attenuation[0] + l.attenuation[1] * d + l.attenuation[2] * d * d;
                strength = a > 0.0f ? 1.0f / a : 1.0f;
            } else {
                const float d = std::sqrt(towards[0] * towards[0] + towards[1] * towards[1] + towards[2] * towards[2]);
                if (d > 0.0f) towards[1] /= d;
            }
            const float facing = std::max(0.0f, towards[1]);
            for (int c = 0; c < 3; ++c) light[c] += strength * (l.ambient[c] + l.diffuse[c] * facing);
        }
    }
    for (int c = 0; c < 3; ++c) out[c] = std::min(1.0f, grass[c] * light[c]);
}

}  // namespace

void GlRenderer::DrawGrounds(GlFrameStats& stats) {
    if (m_grounds.empty()) return;
    const float grass[3] = {0.30f, 0.50f, 0.20f};
    UseShadingStage(false, false);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_COLOR_MATERIAL);
    // The ground is seen from above only; its winding does not matter.
    glDisable(GL_CULL_FACE);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(m_view);
    for (const Ground& g : m_grounds) {
        // Cells of a few units, so that a near point light shows as a pool of light.
        const int cells = std::clamp(int(2.0f * g.halfSize / 4.0f), 1, 200);
        const float step = 2.0f * g.halfSize / float(cells);
        for (int row = 0; row < cells; ++row) {
            const float z0 = -g.halfSize + step * float(row), z1 = z0 + step;
            glBegin(GL_TRIANGLE_STRIP);
            for (int col = 0; col <= cells; ++col) {
                const float x = -g.halfSize + step * float(col);
                for (float z : {z0, z1}) {
                    float c[3];
                    GroundColour(g.lights.get(), grass, x, g.height, z, c);
                    glColor3fv(c);
                    glVertex3f(x, g.height, z);
                }
            }
            glEnd();
            stats.triangles += 2 * cells;
        }
        ++stats.grounds;
    }
    glEnable(GL_CULL_FACE);
    // The items set their own states.
    m_keyValid = false;
}

void GlRenderer::SubmitScreenRect(float x, float y, float width, float height, std::uint32_t argb) {
    if (!m_inFrame) return;
    m_screen.push_back({{x, y, width, height}, argb});
}

GlFrameStats GlRenderer::EndFrame() {
    const bool inFrame = m_inFrame;
    m_inFrame = false;
    OwnScope own(*this);
    if (!inFrame || !own.ok) {
        DropQueued();
        m_target = 0;
        return m_last = GlFrameStats{};
    }
    // A frame left drawing into a target ends in its own picture.
    if (m_target != 0) {
        DrawQueued(m_frameStats);
        UseSurface(0);
    }
    DrawQueued(m_frameStats);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, m_pixels.data());
    return m_last = m_frameStats;
}

void GlRenderer::KeepCaller() {
    const OSMesaContext now = OSMesaGetCurrentContext();
    if (now == static_cast<OSMesaContext>(m_context)) return;
    m_caller = Binding{};
    m_caller.kept = true;
    m_caller.context = now;
    GLint format = 0;
    if (now) OSMesaGetColorBuffer(now, &m_caller.width, &m_caller.height, &format, &m_caller.buffer);
}

bool GlRenderer::Own() const {
    return m_context && OSMesaGetCurrentContext() == static_cast<OSMesaContext>(m_context);
}

GlRenderer::OwnScope::OwnScope(GlRenderer& renderer, int width, int height) : m_renderer(renderer) {
    GlRenderer& r = m_renderer;
    if (!r.m_context || r.m_drawThread.load() != std::this_thread::get_id()) return;
    if (width <= 0 || height <= 0) {
        if (r.m_work.empty()) return;
        width = r.m_workWidth;
        height = r.m_workHeight;
    }
    const bool current = r.Own();
    if (current && width == r.m_workWidth && height == r.m_workHeight && !r.m_work.empty()) {
        ok = true;
        return;
    }
    if (!current) {
        r.KeepCaller();
        m_took = true;
    }
    ok = r.MakeWorkCurrent(width, height);
}

GlRenderer::OwnScope::~OwnScope() {
    if (m_took) m_renderer.GiveBack();
}

void GlRenderer::GiveBack() {
    if (!m_caller.kept) return;
    const Binding caller = m_caller;
    m_caller = Binding{};
    if (OSMesaGetCurrentContext() != static_cast<OSMesaContext>(m_context)) return;
    glFlush();
    if (caller.context && caller.buffer)
        OSMesaMakeCurrent(static_cast<OSMesaContext>(caller.context), caller.buffer, GL_UNSIGNED_BYTE, caller.width,
                          caller.height);
    else
        OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
}

bool GlRenderer::MakeWorkCurrent(int width, int height) {
    if (width != m_workWidth || height != m_workHeight || m_work.empty()) {
        m_work.assign(std::size_t(width) * std::size_t(height) * 4, 0);
        m_workWidth = width;
        m_workHeight = height;
    }
    if (!OSMesaMakeCurrent(static_cast<OSMesaContext>(m_context), m_work.data(), GL_UNSIGNED_BYTE, width, height))
        return false;
    OSMesaPixelStore(OSMESA_Y_UP, 1);
    return true;
}

void GlRenderer::TakeCameraMatrices() {
    render::IRenderCamera* camera = m_camera;
    if (!camera) return;
    std::memcpy(m_view, camera->GetViewMatrix(), sizeof m_view);
    std::memcpy(m_projection, camera->GetProjectionMatrix(), sizeof m_projection);
    // The view scale and projection offset move the drawing as they move the camera's
    // projected points.
    if (auto* own = dynamic_cast<RenderCamera*>(camera)) own->GetDrawingProjection(m_projection);
}

void GlRenderer::DropQueued() {
    m_items.clear();
    m_ranges.clear();
    m_screen.clear();
    m_overlays.clear();
    m_underlays.clear();
    m_prims.clear();
    m_grounds.clear();
}

void GlRenderer::DrawQueued(GlFrameStats& stats) {
    if (!Own()) return;
    // A scene may correct its camera after the frame began (a frame of another size than it
    // was told): the drawing follows the camera as it is now.
    TakeCameraMatrices();
    if (m_target != 0)
        if (auto it = m_targets.find(m_target); it != m_targets.end()) it->second.changed = true;
    glViewport(0, 0, m_surfaceWidth, m_surfaceHeight);
    DrawOverlays(m_underlays, stats);
    m_underlays.clear();
    // The scene's objects go into the viewport; screen quads are in the target's pixels.
    if (m_viewport[2] > 0) glViewport(m_viewport[0], m_surfaceHeight - m_viewport[1] - m_viewport[3], m_viewport[2],
                                      m_viewport[3]);
    // Direct3D's depth runs 0..1, GL's -1..1: z' = 2z - w after the projection.
    static const float kDepthFix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1};
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    // Front faces wind clockwise on screen; counter-clockwise ones are culled.
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    m_keyValid = false;
    m_normalize = -1;
    m_arrays = m_position = nullptr;
    // Renderables with a camera of their own come first, each in its own depth range: their
    // depths mean nothing in the frame's range, so they write none and everything else draws
    // over them.
    // Such a renderable (a sky) is seen from inside: both faces are drawn.
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    for (const Item& item : m_items) {
        if (!item.ownCamera) continue;
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(kDepthFix);
        glMultMatrixf(item.projection);
        Draw(item, stats);
    }
    glEnable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(kDepthFix);
    // Row-major row-vector matrices read column-major are the column-vector ones GL wants.
    glMultMatrixf(m_projection);
    // The ground goes over the sky and under everything that stands on it.
    glDepthMask(GL_TRUE);
    DrawGrounds(stats);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) DrawDecals(stats);
        glDepthMask(pass == 0 ? GL_TRUE : GL_FALSE);
        for (const Item& item : m_items)
            if (!item.ownCamera && item.transparent == (pass == 1)) Draw(item, stats);
    }
    glDepthMask(GL_TRUE);
    UseShadingStage(false, false);
    DrawPrimitives(stats);
    glViewport(0, 0, m_surfaceWidth, m_surfaceHeight);
    if (!m_screen.empty()) {
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, m_surfaceWidth, m_surfaceHeight, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (const Screen& s : m_screen) {
            float c[4];
            Colour(s.argb, c);
            glColor4fv(c);
            glRectf(s.rect[0], s.rect[1], s.rect[0] + s.rect[2], s.rect[1] + s.rect[3]);
            ++stats.screenPrimitives;
        }
        glDisable(GL_BLEND);
    }
    DrawOverlays(m_overlays, stats);
    m_overlays.clear();
    m_items.clear();
    m_ranges.clear();
    m_screen.clear();
}

void GlRenderer::Draw(const Item& item, GlFrameStats& stats) {
    const RecordingVertexBuffer* s = item.stream;
    auto* indexBuffer = s ? static_cast<d3d9::IDirect3DIndexBuffer9*>(s->indexBuffer) : nullptr;
    const render::DrawRange* ranges = m_ranges.data() + item.firstRange;
    const render::DrawRange* rangesEnd = ranges + item.rangeCount;
    if (!s || !indexBuffer || item.rangeCount == 0) {
        ++stats.skipped;
        return;
    }
    // Client arrays by element; the vertex count every element can serve bounds the indices.
    const std::uint8_t* position = nullptr;
    const std::uint8_t* normal = nullptr;
    const std::uint8_t* colour = nullptr;
    const std::uint8_t* uv = nullptr;
    GLsizei strides[4] = {};
    std::uint64_t usable = ~std::uint64_t(0);
    for (const render::VertexElement& e : s->elements) {
        if (e.stream >= 4 || !s->streams[e.stream]) continue;
        auto* vb = static_cast<d3d9::IDirect3DVertexBuffer9*>(s->streams[e.stream]);
        const std::uint32_t stride = s->strides[e.stream];
        const std::size_t size = ElementSize(e.type);
        const std::uint8_t* at = vb->Bytes() + e.offset;
        bool wanted = true;
        if (e.usage == render::kUsePosition && e.type == render::kElementFloat3 && !position) {
            position = at, strides[0] = GLsizei(stride);
        } else if (e.usage == render::kUseNormal && e.type == render::kElementFloat3 && !normal) {
            normal = at, strides[1] = GLsizei(stride);
        } else if (e.usage == render::kUseColour && e.type == render::kElementColour && !colour) {
            colour = at, strides[2] = GLsizei(stride);
        } else if (e.usage == render::kUseTexCoord && e.usageIndex == 0 && e.type == render::kElementFloat2 && !uv) {
            uv = at, strides[3] = GLsizei(stride);
        } else {
            wanted = false;
        }
        if (!wanted) continue;
        if (vb->Length() < e.offset + size || stride == 0) {
            usable = 0;
        } else {
            usable = std::min<std::uint64_t>(usable, (vb->Length() - e.offset - size) / stride + 1);
        }
    }
    if (!position || usable == 0) {
        ++stats.skipped;
        return;
    }
    const auto* indices = reinterpret_cast<const std::uint16_t*>(indexBuffer->Bytes());
    const std::uint64_t indexCount = indexBuffer->Length() / 2;
    for (const render::DrawRange* r = ranges; r != rangesEnd; ++r) {
        const std::uint64_t end = std::uint64_t(r->firstIndex) + std::uint64_t(r->primitiveCount) * 3;
        bool inside = end <= indexCount;
        for (std::uint64_t i = r->firstIndex; inside && i < end; ++i) inside = indices[i] < usable;
        if (!inside) {
            ++stats.skipped;
            return;
        }
    }
    if (item.mode != 0) {
        DrawFlat(item.mode, item.world, item.flatColour, position, strides[0], indices, ranges, rangesEnd, stats);
        return;
    }

    const RecordingMaterial* m = item.material;
    render::IEffect* effect = m && m->technique ? m->technique : item.effect;
    const Technique* found = TechniqueFor(effect);
    if (!found || found->approximate) ++stats.approximated;
    render::ITexture* texture = item.texture;
    for (int i = 0; m && !texture && i < 8; ++i)
        if (m->stages[i].used && m->stages[i].name == "Tex0") texture = m->stages[i].texture;
    // Objects drawn alike one after the other (a shared mesh) set their states once.
    const DrawKey key{m, effect, texture, item.lights.get(), item.blend, item.source, item.destination,
                      normal != nullptr, colour != nullptr};
    glMatrixMode(GL_MODELVIEW);
    if (!m_keyValid || !(key == m_key)) {
        m_key = key;
        m_keyValid = true;
        ApplyStates(item, found, texture, normal != nullptr, colour != nullptr);
    }
    glLoadMatrixf(item.ownCamera ? item.view : m_view);
    glMultMatrixf(item.world);
    const int scaled = ScaledRows(item.world) ? 1 : 0;
    if (scaled != m_normalize) {
        if (scaled) glEnable(GL_NORMALIZE);
        else glDisable(GL_NORMALIZE);
        m_normalize = scaled;
    }
    if (s != m_arrays || position != m_position) {
        m_arrays = s;
        m_position = position;
        BindArrays(position, normal, colour, uv, strides);
    }
    for (const render::DrawRange* r = ranges; r != rangesEnd; ++r) {
        if (r->primitiveCount == 0) continue;
        glDrawElements(GL_TRIANGLES, GLsizei(r->primitiveCount * 3), GL_UNSIGNED_SHORT, indices + r->firstIndex);
        stats.triangles += int(r->primitiveCount);
    }
    ++stats.renderables;
}

void GlRenderer::ApplyLights(const GlLightSet& lights) {
    glEnable(GL_LIGHTING);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, lights.ambient);
    // Lights are placed in world space: under the view alone.
    const std::size_t count = std::min<std::size_t>(lights.lights.size(), 8);
    for (std::size_t i = 0; i < 8; ++i) {
        const GLenum light = GLenum(GL_LIGHT0 + i);
        if (i >= count) {
            glDisable(light);
            continue;
        }
        const GlLight& l = lights.lights[i];
        glEnable(light);
        glLightfv(light, GL_DIFFUSE, l.diffuse);
        glLightfv(light, GL_AMBIENT, l.ambient);
        glLightfv(light, GL_SPECULAR, l.specular);
        if (l.kind == 3) {
            // The direction the light travels; GL wants the way towards it.
            const float towards[4] = {-l.direction[0], -l.direction[1], -l.direction[2], 0};
            glLightfv(light, GL_POSITION, towards);
            glLightf(light, GL_CONSTANT_ATTENUATION, 1);
            glLightf(light, GL_LINEAR_ATTENUATION, 0);
            glLightf(light, GL_QUADRATIC_ATTENUATION, 0);
        } else {
            const float at[4] = {l.position[0], l.position[1], l.position[2], 1};
            glLightfv(light, GL_POSITION, at);
            glLightf(light, GL_CONSTANT_ATTENUATION, l.attenuation[0]);
            glLightf(light, GL_LINEAR_ATTENUATION, l.attenuation[1]);
            glLightf(light, GL_QUADRATIC_ATTENUATION, l.attenuation[2]);
        }
        glLightf(light, GL_SPOT_CUTOFF, 180.0f);
    }
}

void GlRenderer::UseShadingStage(bool colour, bool alpha) {
    const bool on = colour || alpha;
    if (!on && !m_shadingStage) return;
    glActiveTexture(GL_TEXTURE1);
    if (on) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, TextureFor(nullptr));
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, colour ? GL_MODULATE : GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PREVIOUS);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_PRIMARY_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
        glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, 1.0f);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, alpha ? GL_MODULATE : GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_PREVIOUS);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, GL_PRIMARY_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, GL_SRC_ALPHA);
        glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, 1.0f);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    glActiveTexture(GL_TEXTURE0);
    m_shadingStage = on;
}

void GlRenderer::ApplyStates(const Item& item, const Technique* found, render::ITexture* texture, bool normal,
                             bool colour) {
    const RecordingMaterial* m = item.material;
    float diffuse[4] = {1, 1, 1, 1};
    if (m) {
        std::memcpy(diffuse, m->colours[0], sizeof diffuse);
        diffuse[3] *= float(std::min<std::uint32_t>(m->alpha, 255)) / 255.0f;
    }
    const bool lit = item.lights && !item.lights->lights.empty() && normal && (!m || m->lit);
    glLoadMatrixf(item.ownCamera ? item.view : m_view);
    if (lit) {
        ApplyLights(*item.lights);
        const float black[4] = {0, 0, 0, 1};
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m ? m->colours[1] : black);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m ? m->colours[2] : black);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, m ? m->colours[3] : black);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m ? std::clamp(m->power, 0.0f, 128.0f) : 0.0f);
        if (colour) {
            glEnable(GL_COLOR_MATERIAL);
            glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
        } else {
            glDisable(GL_COLOR_MATERIAL);
        }
    } else {
        glDisable(GL_LIGHTING);
        glDisable(GL_COLOR_MATERIAL);
        glColor4fv(diffuse);
    }

    // The technique's stage 0 as a combine stage.
    const Technique& t = found && !found->approximate ? *found : m_normal;
    std::int32_t colourOp = t.colourOp, alphaOp = t.alphaOp;
    std::uint32_t factor = t.textureFactor;
    if (m) {
        auto intOf = [&](const std::string& name, auto& out) {
            if (name.empty()) return;
            auto it = m->params.ints.find(name);
            if (it != m->params.ints.end()) out = static_cast<std::remove_reference_t<decltype(out)>>(it->second);
        };
        intOf(t.colourOpParam, colourOp);
        intOf(t.alphaOpParam, alphaOp);
        intOf(t.textureFactorParam, factor);
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, TextureFor(texture));
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    float factorColour[4];
    Colour(factor, factorColour);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factorColour);
    const struct {
        std::int32_t op, arg0, arg1;
        GLenum combine, source0, source1, operand0, operand1, scale;
        GLint operand;
    } parts[2] = {{colourOp, t.colourArg0, t.colourArg1, GL_COMBINE_RGB, GL_SOURCE0_RGB, GL_SOURCE1_RGB,
                   GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_RGB_SCALE, GL_SRC_COLOR},
                  {alphaOp, t.alphaArg0, t.alphaArg1, GL_COMBINE_ALPHA, GL_SOURCE0_ALPHA, GL_SOURCE1_ALPHA,
                   GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_ALPHA_SCALE, GL_SRC_ALPHA}};
    // Whether stage 0 takes the lit colour in its colour and in its alpha.
    bool takesLight[2] = {false, false};
    int part = 0;
    for (const auto& p : parts) {
        GLint mode = GL_MODULATE, s0 = GL_TEXTURE, s1 = GL_PRIMARY_COLOR;
        GLfloat scale = 1.0f;
        int select = -1;
        if (!StageOp(p.op, mode, scale, select) || !StageSource(p.arg0, s0) || !StageSource(p.arg1, s1)) {
            mode = GL_MODULATE, s0 = GL_TEXTURE, s1 = GL_PRIMARY_COLOR, scale = 1.0f, select = -1;
        }
        if (select == 1) s0 = s1;
        if (select == 2) s0 = GL_PREVIOUS;
        glTexEnvi(GL_TEXTURE_ENV, p.combine, mode);
        glTexEnvi(GL_TEXTURE_ENV, p.source0, s0);
        glTexEnvi(GL_TEXTURE_ENV, p.source1, s1);
        glTexEnvi(GL_TEXTURE_ENV, p.operand0, p.operand);
        glTexEnvi(GL_TEXTURE_ENV, p.operand1, p.operand);
        glTexEnvf(GL_TEXTURE_ENV, p.scale, scale);
        // At stage 0 the previous colour is the lit one.
        takesLight[part++] = s0 == GL_PRIMARY_COLOR || s0 == GL_PREVIOUS || (mode != GL_REPLACE && s1 == GL_PRIMARY_COLOR);
    }
    // A lit material whose stage 0 leaves the lit colour out (the model techniques take the
    // texture factor and the texture) is shaded after it: the host's renderer lights every lit
    // material, whatever its stages combine.
    UseShadingStage(lit && !takesLight[0], lit && !takesLight[1]);

    if (m && m->alphaTest) {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(Compare(m->alphaTestValues[1]), float(m->alphaTestValues[0]) / 255.0f);
    } else {
        glDisable(GL_ALPHA_TEST);
    }
    if (item.blend) {
        glEnable(GL_BLEND);
        SetBlend(item.source, item.destination);
    } else {
        glDisable(GL_BLEND);
    }

}

void GlRenderer::BindArrays(const std::uint8_t* position, const std::uint8_t* normal, const std::uint8_t* colour,
                            const std::uint8_t* uv, const int* strides) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, strides[0], position);
    if (normal) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, strides[1], normal);
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
    }
    if (colour) {
        // The device's colours are B, G, R, A bytes.
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, strides[2], colour);
    } else {
        glDisableClientState(GL_COLOR_ARRAY);
    }
    if (uv) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, strides[3], uv);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoord2f(0, 0);
    }
}


unsigned GlRenderer::TextureFor(render::ITexture* texture) {
    if (!m_white) {
        const std::uint8_t white[4] = {255, 255, 255, 255};
        glGenTextures(1, &m_white);
        glBindTexture(GL_TEXTURE_2D, m_white);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    }
    if (!texture) return m_white;
    auto found = m_textures.find(texture);
    if (found != m_textures.end()) return found->second;
    // First draw: the pixels the texture keeps, else the picture read through the resource file
    // system (DDS too), uploaded once.
    auto* recorded = static_cast<RecordingTexture*>(texture);
    const std::string name = recorded->name;
    unsigned id = m_white;
    d3d9::DecodedPicture picture;
    bool decoded = false;
    if (const d3d9::IDirect3DSurface9* level = recorded->device ? recorded->device->Level(0) : nullptr;
        level && level->Format() == d3d9::D3DFMT_A8R8G8B8) {
        picture.width = level->Width();
        picture.height = level->Height();
        picture.bgra.assign(level->Bits(), level->Bits() + std::size_t(picture.width) * picture.height * 4);
        decoded = true;
    } else if (common::IResFile* file = m_files ? m_files->OpenFile(name.c_str(), 0) : nullptr) {
        decoded = d3d9::DecodePicture(file->GetData(), file->GetSize(), picture);
        file->Close();
    }
    if (decoded) {
        std::vector<std::uint8_t> pixels(picture.bgra.size());
        for (std::size_t i = 0; i + 3 < pixels.size(); i += 4) {
            pixels[i] = picture.bgra[i + 2];
            pixels[i + 1] = picture.bgra[i + 1];
            pixels[i + 2] = picture.bgra[i];
            pixels[i + 3] = picture.bgra[i + 3];
        }
        const int width = int(picture.width), height = int(picture.height);
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    } else if (m_log) {
        m_log->Write(0, ("Texture " + name + " cannot be read; drawn white").c_str());
    }
    m_textures[texture] = id;
    return id;
}

const GlRenderer::Technique* GlRenderer::TechniqueFor(render::IEffect* effect) {
    std::lock_guard<std::mutex> lock(m_techniqueMutex);
    auto it = m_techniques.find(effect);
    return it == m_techniques.end() ? nullptr : &it->second;
}

render::IEffect* GlRenderer::GetTechnique(const char* name, const render::TechniqueDesc* desc) {
    render::IEffect* effect = m_objects.GetTechnique(name, desc);
    // The device's stage-0 defaults: colour = texture x current, alpha = texture.
    Technique t;
    t.colourOp = 4, t.colourArg0 = 2, t.colourArg1 = 1;
    t.alphaOp = 2, t.alphaArg0 = 2, t.alphaArg1 = 1;
    for (std::uint32_t i = 0; desc && i < desc->stateCount; ++i) {
        const render::TechniqueState& s = desc->states[i];
        if (s.kind != render::TechniqueState::kStage) continue;
        if (s.stage == 0) {
            switch (s.index) {
            case render::kColourOp: t.colourOp = s.value; break;
            case render::kColourArg0: t.colourArg0 = s.value; break;
            case render::kColourArg1: t.colourArg1 = s.value; break;
            case render::kAlphaOp: t.alphaOp = s.value; break;
            case render::kAlphaArg0: t.alphaArg0 = s.value; break;
            case render::kAlphaArg1: t.alphaArg1 = s.value; break;
            default: t.approximate = true; break;
            }
            continue;
        }
        // Later stages without a texture keep the colour when they select the current one or
        // modulate its alpha by the specular alpha (1 without specular colours); the rest is
        // left out.
        const bool passes = (s.index == render::kColourOp && (s.value == 1 || s.value == 2)) ||
                            (s.index == render::kAlphaOp && (s.value == 1 || s.value == 2 || s.value == 4)) ||
                            ((s.index == render::kColourArg0 || s.index == render::kAlphaArg0) && s.value == 1) ||
                            (s.index == render::kAlphaArg1 && s.value == 4);
        if (!passes) t.approximate = true;
    }
    for (std::uint32_t i = 0; desc && i < desc->paramCount; ++i) {
        const render::TechniqueParam& p = desc->params[i];
        const std::string pname = p.name ? p.name : "";
        if (p.binding == render::TechniqueParam::kStageState && p.stage == 0 && p.state == render::kColourOp) {
            t.colourOpParam = pname;
            if (p.hasDefault) t.colourOp = std::int32_t(p.defaultValue);
        } else if (p.binding == render::TechniqueParam::kStageState && p.stage == 0 && p.state == render::kAlphaOp) {
            t.alphaOpParam = pname;
            if (p.hasDefault) t.alphaOp = std::int32_t(p.defaultValue);
        } else if (p.binding == render::TechniqueParam::kRenderState && p.state == 60) {
            t.textureFactorParam = pname;
            if (p.hasDefault) t.textureFactor = p.defaultValue;
        }
    }
    GLint unused;
    GLfloat scale;
    int select;
    if (!StageOp(t.colourOp, unused, scale, select) || !StageOp(t.alphaOp, unused, scale, select) ||
        !StageSource(t.colourArg0, unused) || !StageSource(t.colourArg1, unused) || !StageSource(t.alphaArg0, unused) ||
        !StageSource(t.alphaArg1, unused))
        t.approximate = true;
    std::lock_guard<std::mutex> lock(m_techniqueMutex);
    if (effect) m_techniques[effect] = t;
    if (name && std::strcmp(name, "<ModelNormalTech>") == 0 && !t.approximate) m_normal = t;
    return effect;
}

std::vector<std::uint8_t> GlRenderer::ReadPixels() const {
    std::vector<std::uint8_t> out(m_pixels.size());
    const std::size_t row = std::size_t(m_width) * 4;
    for (int y = 0; y < m_height; ++y)
        std::memcpy(out.data() + std::size_t(y) * row, m_pixels.data() + std::size_t(m_height - 1 - y) * row, row);
    return out;
}

bool GlRenderer::WritePng(const std::string& path) const {
    if (m_pixels.empty()) return false;
    const std::vector<std::uint8_t> pixels = ReadPixels();
    return stbi_write_png(path.c_str(), m_width, m_height, 4, pixels.data(), m_width * 4) != 0;
}

// --- the objects: the recording renderer's -------------------------------------------------

render::IPrimitive* GlRenderer::CreatePrimitive(int kind, std::uint32_t vertexFormat) {
    render::IPrimitive* made = m_objects.CreatePrimitive(kind, vertexFormat);
    // Effect quads and triangle lists are drawn in the scene; screen-space text primitives
    // over it; other layouts are only recorded.
    if (made)
        static_cast<RecordingPrimitive*>(made)->drawSink = [this](const RecordingPrimitive& p) {
            if (QueueGroundQuad(p)) return;
            if (p.vertexFormat == kEffectFormat)
                QueuePrimitive(p);
            else if (p.vertexFormat == kScreenEffectFormat && p.kind == kScreenStrip)
                QueueScreenQuads(p);
            else if (p.vertexFormat == kScreenEffectFormat && p.kind == kScreenQuadList)
                QueuePictureQuads(p);
            else
                QueueOverlay(p);
        };
    return made;
}

namespace {

// The blend of the shared effect materials by their names: 3 source alpha over the inverse,
// 5 source colour over the inverse, 9 source alpha added.
void EffectBlend(render::IEffect* effect, std::int32_t& source, std::int32_t& destination) {
    const char* name = effect ? effect->GetName() : nullptr;
    const std::string text = name ? name : "";
    if (text.find("SrcAlpha-One") != std::string::npos) {
        source = 5, destination = 2;  // code 9
    } else if (text.find("SrcColor") != std::string::npos) {
        source = 3, destination = 4;  // code 5
    } else {
        source = 5, destination = 6;  // code 3, and anything else
    }
}

std::uint32_t ModulateArgb(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= (((a >> shift) & 0xFFu) * ((b >> shift) & 0xFFu) / 255u) << shift;
    return out;
}

}  // namespace

void GlRenderer::QueuePrimitive(const RecordingPrimitive& p) {
    if (!m_inFrame) return;
    Prim prim;
    std::memcpy(prim.world, p.transform, sizeof prim.world);
    prim.texture = p.textures[0];
    EffectBlend(p.effect, prim.source, prim.destination);
    // A stream whose stage takes the constant colour as its first argument: the constant
    // selects (2) or modulates (4) the vertex colour.
    const RecordingVertexBuffer* stream = p.Buffer();
    const auto* stage = stream ? static_cast<const RecordingStageStates*>(stream->stageStates) : nullptr;
    const bool constant = stage && stage->colour[1] == 3;
    auto colourOf = [&](std::uint32_t c) {
        if (!constant) return c;
        return stage->colour[0] == 2 ? stage->constantColor : ModulateArgb(c, stage->constantColor);
    };
    if (stream && stream->depthBias.sets > 0) prim.depthBias = stream->depthBias.bias;
    // The vegetation effects draw their material's "Tex0" when the stage holds none; grass
    // fogs the vertex colour towards "fogColor" by "fog".
    auto* material = static_cast<RecordingMaterial*>(p.material);
    if (!prim.texture && material) prim.texture = material->GetTexture("Tex0");
    float fog = 0.0f;
    float fogColour[3] = {1, 1, 1};
    if (material && material->techniqueName.find("::Grass") != std::string::npos) {
        const auto& values = material->params.values;
        if (auto f = values.find("fog"); f != values.end() && !f->second.empty()) fog = f->second[0];
        if (auto c = values.find("fogColor"); c != values.end() && c->second.size() >= 3)
            for (int i = 0; i < 3; ++i) fogColour[i] = c->second[std::size_t(i)];
        fog = std::clamp(fog, 0.0f, 1.0f);
    }
    auto fogged = [&](std::uint32_t c) {
        if (fog <= 0.0f) return c;
        std::uint32_t out = c & 0xFF000000u;
        for (int i = 0; i < 3; ++i) {
            const int shift = 16 - 8 * i;
            const float channel = float((c >> shift) & 0xFFu) * (1.0f - fog) + fogColour[i] * 255.0f * fog;
            out |= std::uint32_t(std::lround(std::clamp(channel, 0.0f, 255.0f))) << shift;
        }
        return out;
    };
    const std::size_t have = p.vertices.size();
    if (p.kind == 7) {
        const std::size_t quads = std::min<std::size_t>(p.used < 0 ? have / 4 : std::size_t(p.used), have / 4);
        // Shrub quads list their corners top left, top right, bottom left, bottom right.
        const auto* technique = static_cast<const RecordingEffect*>(p.effect);
        const bool zOrder = technique && technique->techniqueName == "CrossTexture";
        static constexpr std::size_t kZ[6] = {0, 1, 2, 2, 1, 3}, kRound[6] = {0, 1, 2, 0, 2, 3};
        for (std::size_t q = 0; q < quads; ++q) {
            for (std::size_t k : zOrder ? kZ : kRound) {
                PrimitiveVertex v = p.vertices[4 * q + k];
                v.colour = fogged(colourOf(v.colour));
                prim.triangles.push_back(v);
            }
        }
    } else {
        const std::size_t n = std::min<std::size_t>(p.used < 0 ? have / 3 : std::size_t(p.used), have / 3) * 3;
        for (std::size_t i = 0; i < n; ++i) {
            PrimitiveVertex v = p.vertices[i];
            v.colour = fogged(colourOf(v.colour));
            prim.triangles.push_back(v);
        }
    }
    if (!prim.triangles.empty()) m_prims.push_back(std::move(prim));
}

void GlRenderer::DrawPrimitives(GlFrameStats& stats) {
    if (m_prims.empty()) return;
    // Blended over the scene, depth tested but not written, both faces.
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_CULL_FACE);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glMatrixMode(GL_MODELVIEW);
    for (const Prim& prim : m_prims) {
        glLoadMatrixf(m_view);
        glMultMatrixf(prim.world);
        glBindTexture(GL_TEXTURE_2D, TextureFor(prim.texture));
        SetBlend(prim.source, prim.destination);
        if (prim.depthBias != 0.0f) {
            // The stored depth moves by the offset: clip z gains 2 x offset x clip w.
            float projection[16];
            glGetFloatv(GL_PROJECTION_MATRIX, projection);
            float shift[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 2.0f * prim.depthBias, 1};
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glLoadMatrixf(shift);
            glMultMatrixf(projection);
            glMatrixMode(GL_MODELVIEW);
        }
        glBegin(GL_TRIANGLES);
        for (const PrimitiveVertex& v : prim.triangles) {
            glColor4ub(GLubyte(v.colour >> 16), GLubyte(v.colour >> 8), GLubyte(v.colour), GLubyte(v.colour >> 24));
            glTexCoord2f(v.u, v.v);
            glVertex3f(v.x, v.y, v.z);
        }
        glEnd();
        if (prim.depthBias != 0.0f) {
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
        }
        ++stats.primitives;
        stats.primitiveTriangles += int(prim.triangles.size() / 3);
    }
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    m_prims.clear();
    // The states set here are not the ones the renderable passes remember.
    m_keyValid = false;
    m_arrays = m_position = nullptr;
}
void GlRenderer::ReleasePrimitive(render::IPrimitive* primitive) { m_objects.ReleasePrimitive(primitive); }
render::IEffect* GlRenderer::CreateEffect() { return m_objects.CreateEffect(); }
void GlRenderer::ReleaseEffect(render::IEffect* effect) { m_objects.ReleaseEffect(effect); }
render::IRenderCamera* GlRenderer::CreateRenderCamera() {
    render::IRenderCamera* camera = m_objects.CreateRenderCamera();
    // A new camera maps screen points over the size this renderer draws at.
    int width = 0, height = 0;
    GetViewportSize(&width, &height);
    if (auto* own = dynamic_cast<RenderCamera*>(camera)) own->SetViewportSize(width, height);
    return camera;
}
void GlRenderer::ReleaseRenderCamera(render::IRenderCamera* camera) {
    // Drawing still queued keeps the camera's last matrices.
    if (camera && camera == m_camera) {
        TakeCameraMatrices();
        m_camera = nullptr;
    }
    m_objects.ReleaseRenderCamera(camera);
}
void GlRenderer::Update() { m_objects.Update(); }
void GlRenderer::SetCurrentView(void* view) {
    m_objects.SetCurrentView(view);
    m_currentView = view;
    m_viewLightsRead = false;
}

GlLightSet GlRenderer::LightsOf(const RecordingLightSet& set, const RecordingSceneLightState* state) {
    GlLightSet out;
    if (state && state->ambient != 0xDEADBEEFu) Colour(state->ambient, out.ambient);
    out.ambient[3] = 1.0f;
    for (std::uint16_t index = 0;; ++index) {
        const RecordingRenderLight* l = set.Light(index);
        if (!l) break;
        if (l->removed || !l->enabled) continue;
        GlLight g;
        g.kind = l->type;
        // The world gives a light's ambient colour (its channel C, which scene files fill from
        // their "Ambient" keys) through operation 6, the slot the recording light calls
        // specular, and its specular (channel B) through operation 8.
        for (int c = 0; c < 3; ++c) {
            g.diffuse[c] = l->diffuse[c] * l->intensity[c];
            g.ambient[c] = l->specular[c] * l->intensity[c];
            g.specular[c] = l->ambient[c] * l->intensity[c];
            g.position[c] = l->position[c];
            g.direction[c] = l->direction[c];
            g.attenuation[c] = l->attenuation[c];
        }
        g.range = l->range;
        out.lights.push_back(g);
    }
    return out;
}

std::shared_ptr<const GlLightSet> GlRenderer::ViewLights() {
    if (m_viewLightsRead) return m_viewLights;
    m_viewLightsRead = true;
    // A view given no light set draws with the lights last given, as a device keeps its lights
    // until others are set (a model's snapshot view draws it as the scene's view did).
    const RecordingRenderView* view = m_currentView ? m_objects.LiveRenderView(m_currentView) : nullptr;
    if (view && m_objects.LiveLightSet(view->lights)) {
        m_lastLightSet = view->lights;
        m_lastLightState = view->lightState;
    }
    // Read as they are now; a set or state released since is not read.
    const RecordingLightSet* set = m_objects.LiveLightSet(m_lastLightSet);
    m_viewLights = set ? std::make_shared<const GlLightSet>(LightsOf(*set, m_objects.LiveSceneLightState(m_lastLightState)))
                       : nullptr;
    return m_viewLights;
}
bool GlRenderer::SetResourceCacheEnabled(bool enabled) { return m_objects.SetResourceCacheEnabled(enabled); }
void GlRenderer::WriteMemoryReport(common::IXmlNode* node) { m_objects.WriteMemoryReport(node); }
render::IExtTechnique* GlRenderer::GetExtTechnique(const char* name, int kind) {
    render::IExtTechnique* technique = m_objects.GetExtTechnique(name, kind);
    // The named techniques draw here; water techniques are not drawn.
    RecordingExtTechnique* own = name ? m_objects.FindExtTechnique(name) : nullptr;
    if (technique && own == technique && !own->onDraw) {
        own->onDraw = [this](RecordingExtTechnique& t, render::ISkinBuffer* o, const render::RenderEffectInstance* i) {
            QueueExtDraw(t, o, i);
        };
        m_hooked.push_back(own);
    }
    return technique;
}
void GlRenderer::GetBackBufferSize(int* width, int* height) {
    if (m_width > 0) {
        if (width) *width = m_width;
        if (height) *height = m_height;
        return;
    }
    m_objects.GetBackBufferSize(width, height);
}
void GlRenderer::ReleaseTexture(render::ITexture* texture) {
    if (auto it = m_copies.find(texture); it != m_copies.end()) {
        if (it->second.glTexture != 0) {
            OwnScope own(*this);
            if (own.ok) glDeleteTextures(1, &it->second.glTexture);
        }
        m_copies.erase(it);
    }
    m_objects.ReleaseTexture(texture);
}
render::IVertexBuffer* GlRenderer::CreateVertexBuffer() { return m_objects.CreateVertexBuffer(); }
void GlRenderer::ReleaseVertexBuffer(render::IVertexBuffer* buffer) { m_objects.ReleaseVertexBuffer(buffer); }
render::IRenderable* GlRenderer::CreateRenderable(render::IEffect* effect) { return m_objects.CreateRenderable(effect); }
void GlRenderer::ReleaseRenderable(render::IRenderable* renderable) { m_objects.ReleaseRenderable(renderable); }
render::IRenderState* GlRenderer::CreateRenderState() { return m_objects.CreateRenderState(); }
void GlRenderer::ReleaseRenderState(render::IRenderState* state) { m_objects.ReleaseRenderState(state); }
render::ISceneLightState* GlRenderer::CreateSceneLightState() { return m_objects.CreateSceneLightState(); }
void GlRenderer::ReleaseSceneLightState(render::ISceneLightState* state) { m_objects.ReleaseSceneLightState(state); }
render::ILightSet* GlRenderer::CreateLightSet() { return m_objects.CreateLightSet(); }
void GlRenderer::ReleaseLightSet(render::ILightSet* set) { m_objects.ReleaseLightSet(set); }
render::IRenderView* GlRenderer::CreateRenderView(int kind) { return m_objects.CreateRenderView(kind); }
void GlRenderer::ReleaseRenderView(render::IRenderView* view) { m_objects.ReleaseRenderView(view); }
render::IMaterialGroup* GlRenderer::CreateMaterialGroup(const void* block, std::uint32_t size, std::int32_t mip) {
    return m_objects.CreateMaterialGroup(block, size, mip);
}
render::IMaterialGroup* GlRenderer::CreateMaterialGroupObject() { return m_objects.CreateMaterialGroupObject(); }
render::IMaterialGroup* GlRenderer::LoadMaterialGroupFile(const char* path, std::int32_t mip, std::int32_t reserved0,
                                                          std::int32_t reserved1) {
    return m_objects.LoadMaterialGroupFile(path, mip, reserved0, reserved1);
}
render::IMaterial* GlRenderer::LoadMaterialFile(const char* path, std::int32_t mip, std::int32_t reserved) {
    return m_objects.LoadMaterialFile(path, mip, reserved);
}
render::IMaterial* GlRenderer::CreateMaterial(render::IEffect* effect) { return m_objects.CreateMaterial(effect); }
render::IMaterial* GlRenderer::GetMeshMaterial(render::IEffect* technique) {
    return m_objects.GetMeshMaterial(technique);
}
void GlRenderer::ReleaseMaterial(render::IMaterial* material) { m_objects.ReleaseMaterial(material); }
void GlRenderer::ReleaseMaterial(render::IMaterialGroup* group) { m_objects.ReleaseMaterial(group); }
render::IEffect* GlRenderer::FindEffect(const char* name) { return m_objects.FindEffect(name); }
render::IEffect* GlRenderer::LoadEffect(const char* file, const char* technique) {
    DefinePlaneEffect(file, technique);
    return m_objects.LoadEffect(file, technique);
}
render::IEffect* GlRenderer::CreateEffectFromDesc(const char* desc) { return m_objects.CreateEffectFromDesc(desc); }
render::IRenderState* GlRenderer::CreateBlendState() { return m_objects.CreateBlendState(); }
render::IRenderState* GlRenderer::CreateStateBlock() { return m_objects.CreateStateBlock(); }
void GlRenderer::ReleaseStateBlock(render::IRenderState* state) { m_objects.ReleaseStateBlock(state); }
render::ITexture* GlRenderer::LoadTexture(const char* name, std::int32_t width, std::int32_t height,
                                          std::int32_t mipLevels, std::int32_t usage, std::int32_t format,
                                          std::int32_t pool) {
    return m_objects.LoadTexture(name, width, height, mipLevels, usage, format, pool);
}
render::ITexture* GlRenderer::FindTexture(const char* name) { return m_objects.FindTexture(name); }

bool GlRenderer::IsTextureReady(void* surface) { return m_objects.IsTextureReady(surface); }
bool GlRenderer::IsHardwareSkinning() { return m_objects.IsHardwareSkinning(); }
render::ITexture* GlRenderer::CreateTexture(std::int32_t width, std::int32_t height, std::int32_t format,
                                            std::int32_t usage, std::int32_t levels, std::int32_t pool) {
    return m_objects.CreateTexture(width, height, format, usage, levels, pool);
}
void* GlRenderer::CreateDepthSurface(std::int32_t width, std::int32_t height, std::int32_t format) {
    return m_objects.CreateDepthSurface(width, height, format);
}
render::IStageStates* GlRenderer::CreateDynamicBuffer() { return m_objects.CreateDynamicBuffer(); }
void GlRenderer::ReleaseDynamicBuffer(render::IStageStates* buffer) { m_objects.ReleaseDynamicBuffer(buffer); }
render::IRenderCamera* GlRenderer::GetCurrentRenderCamera() { return m_objects.GetCurrentRenderCamera(); }

// --- screen-space primitives over the scene -------------------------------------------------

render::IVertexBuffer* GlRenderer::CreateArrayVertexBuffer(const char* name, std::uint32_t vertexFormat,
                                                          std::uint32_t stride, const void* vertices,
                                                          std::uint32_t count) {
    return m_objects.CreateArrayVertexBuffer(name, vertexFormat, stride, vertices, count);
}

void GlRenderer::SubmitRenderable(render::IRenderable* renderable, std::int32_t pass) {
    m_objects.SubmitRenderable(renderable, pass);
    auto* r = static_cast<RecordingRenderable*>(renderable);
    const auto* stream = r ? static_cast<const RecordingVertexBuffer*>(r->stream) : nullptr;
    if (!stream || !stream->array || stream->format != 0x144u) {
        SubmitRenderable(renderable, static_cast<const GlLightSet*>(nullptr));
        return;
    }
    if (!m_inFrame || stream->arrayStride < 28) return;
    // x, y, z, rhw, colour, u, v: the copy the submit took.
    Overlay overlay;
    overlay.texture = r->material ? r->material->GetTexture("Tex0") : nullptr;
    for (std::size_t at = 0; at + 28 <= r->submitted.size(); at += stream->arrayStride) {
        PrimitiveVertex v{};
        std::memcpy(&v.x, &r->submitted[at], 12);
        std::memcpy(&v.colour, &r->submitted[at + 16], 4);
        std::memcpy(&v.u, &r->submitted[at + 20], 8);
        overlay.vertices.push_back(v);
    }
    if (!overlay.vertices.empty()) m_overlays.push_back(std::move(overlay));
}

void GlRenderer::GetViewportSize(int* width, int* height) {
    if (m_viewport[2] > 0) {
        if (width) *width = m_viewport[2];
        if (height) *height = m_viewport[3];
        return;
    }
    if (auto it = m_targets.find(m_target); m_target != 0 && it != m_targets.end()) {
        if (width) *width = it->second.width;
        if (height) *height = it->second.height;
        return;
    }
    GetBackBufferSize(width, height);
}

// --- render targets -------------------------------------------------------------------------

int GlRenderer::AddRenderTarget(render::ITexture* texture, std::int32_t flags, std::int32_t depthFormat,
                                std::int32_t reserved) {
    const int id = m_objects.AddRenderTarget(texture, flags, depthFormat, reserved);
    if (id == 0) return 0;
    std::uint32_t w = 0, h = 0;
    texture->GetSize(&w, &h);
    // OSMesa draws pictures up to this size.
    if (w == 0 || h == 0 || w > 16384 || h > 16384) {
        m_objects.RemoveRenderTarget(id);
        return 0;
    }
    Target& t = m_targets[id];
    t.texture = texture;
    t.width = int(w);
    t.height = int(h);
    return id;
}

void GlRenderer::RemoveRenderTarget(int id) {
    m_objects.RemoveRenderTarget(id);
    auto it = m_targets.find(id);
    if (it == m_targets.end()) return;
    OwnScope own(*this);
    const bool current = own.ok;
    if (m_target == id && current) {
        // What was drawn into it goes nowhere now.
        DropQueued();
        UseSurface(0);
    }
    if (m_target == id) m_target = 0;
    if (it->second.glTexture != 0 && current) glDeleteTextures(1, &it->second.glTexture);
    m_targets.erase(it);
}

void GlRenderer::SetRenderTargetClearColour(int id, std::uint32_t argb) {
    m_objects.SetRenderTargetClearColour(id, argb);
    if (auto it = m_targets.find(id); it != m_targets.end()) it->second.clear = argb;
}

bool GlRenderer::UseSurface(int id) {
    if (!Own()) return false;
    int w = m_width, h = m_height;
    Target* next = nullptr;
    if (id != 0) {
        auto it = m_targets.find(id);
        if (it == m_targets.end()) return false;
        next = &it->second;
        w = next->width, h = next->height;
    }
    // What the surface drawn into until now holds goes into its own picture.
    glFinish();
    std::vector<std::uint8_t>* kept = &m_pixels;
    if (auto it = m_targets.find(m_target); m_target != 0 && it != m_targets.end()) {
        kept = &it->second.pixels;
        it->second.changed = true;
    }
    kept->resize(std::size_t(m_surfaceWidth) * std::size_t(m_surfaceHeight) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_surfaceWidth, m_surfaceHeight, GL_RGBA, GL_UNSIGNED_BYTE, kept->data());
    if ((w > m_workWidth || h > m_workHeight) &&
        !MakeWorkCurrent(std::max(w, m_workWidth), std::max(h, m_workHeight)))
        return false;
    m_target = id;
    m_surfaceWidth = w;
    m_surfaceHeight = h;
    m_viewport[2] = m_viewport[3] = 0;
    glViewport(0, 0, w, h);
    m_keyValid = false;
    m_arrays = m_position = nullptr;
    if (next) {
        next->pixels.resize(std::size_t(w) * std::size_t(h) * 4);
        return true;
    }
    // Back to the frame: its picture as it was (depth starts afresh).
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRasterPos2f(-1.0f, -1.0f);
    glPixelZoom(1.0f, 1.0f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(w, h, GL_RGBA, GL_UNSIGNED_BYTE, m_pixels.data());
    glDepthMask(GL_TRUE);
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    return true;
}

bool GlRenderer::BeginRenderTarget(int id) {
    if (!m_objects.BeginRenderTarget(id)) return false;
    auto it = m_targets.find(id);
    if (it == m_targets.end()) return false;
    if (!m_inFrame) return true;
    OwnScope own(*this);
    // What was queued belongs to the picture drawn into until now.
    DrawQueued(m_frameStats);
    if (!UseSurface(id)) {
        UseSurface(0);
        return false;
    }
    float c[4];
    Colour(it->second.clear, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    it->second.changed = true;
    return true;
}

void GlRenderer::EndRenderTarget() {
    m_objects.EndRenderTarget();
    if (!m_inFrame || m_target == 0) {
        m_target = 0;
        m_viewport[2] = m_viewport[3] = 0;
        return;
    }
    OwnScope own(*this);
    DrawQueued(m_frameStats);
    UseSurface(0);
}

bool GlRenderer::GetRenderTarget(int index, int* width, int* height) {
    m_objects.GetRenderTarget(index, nullptr, nullptr);
    if (index != 0) return false;
    int w = 0, h = 0;
    if (auto it = m_targets.find(m_target); m_target != 0 && it != m_targets.end()) {
        w = it->second.width, h = it->second.height;
    } else {
        GetBackBufferSize(&w, &h);
    }
    if (w <= 0 || h <= 0) return false;
    if (width) *width = w;
    if (height) *height = h;
    return true;
}

void GlRenderer::SetViewport(int x, int y, int width, int height) {
    m_objects.SetViewport(x, y, width, height);
    if (width <= 0 || height <= 0) return;
    // Draws queued before keep the viewport they were queued under.
    if (m_inFrame) {
        OwnScope own(*this);
        DrawQueued(m_frameStats);
    }
    m_viewport[0] = x;
    m_viewport[1] = y;
    m_viewport[2] = width;
    m_viewport[3] = height;
}

bool GlRenderer::CopyRenderTarget(int id, const std::int32_t* rect, render::ITexture* texture) {
    if (!m_objects.CopyRenderTarget(id, rect, texture)) return false;
    auto it = m_targets.find(id);
    if (it == m_targets.end()) return false;
    Target& from = it->second;
    // Drawn into now: what was queued goes in first, and the picture is read as it stands.
    OwnScope own(*this);
    if (m_target == id && m_inFrame && own.ok) {
        DrawQueued(m_frameStats);
        glFinish();
        from.pixels.resize(std::size_t(from.width) * std::size_t(from.height) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, from.width, from.height, GL_RGBA, GL_UNSIGNED_BYTE, from.pixels.data());
    }
    std::uint32_t tw = 0, th = 0;
    texture->GetSize(&tw, &th);
    if (tw == 0 || th == 0 || tw > 16384 || th > 16384) return false;
    Target& to = m_copies[texture];
    to.texture = texture;
    to.width = int(tw);
    to.height = int(th);
    // Pictures keep their bottom row first; the rectangle counts rows from the top.
    to.pixels.assign(std::size_t(tw) * th * 4, 0);
    const bool held = from.pixels.size() == std::size_t(from.width) * std::size_t(from.height) * 4;
    for (int y = 0; held && y < to.height && y < rect[3] - rect[1]; ++y) {
        const int sy = rect[1] + y;
        if (sy < 0 || sy >= from.height) continue;
        for (int x = 0; x < to.width && x < rect[2] - rect[0]; ++x) {
            const int sx = rect[0] + x;
            if (sx < 0 || sx >= from.width) continue;
            std::memcpy(&to.pixels[(std::size_t(to.height - 1 - y) * std::size_t(to.width) + std::size_t(x)) * 4],
                        &from.pixels[(std::size_t(from.height - 1 - sy) * std::size_t(from.width) + std::size_t(sx)) * 4],
                        4);
        }
    }
    to.changed = true;
    return true;
}

unsigned GlRenderer::TargetTextureFor(render::ITexture* texture) {
    if (!texture) return 0;
    if (auto it = m_copies.find(texture); it != m_copies.end()) return UploadPicture(it->second);
    for (auto& [id, t] : m_targets)
        if (t.texture == texture) return UploadPicture(t);
    return 0;
}

unsigned GlRenderer::UploadPicture(Target& t) {
    if (t.pixels.empty()) return 0;
    if (t.glTexture == 0) {
        glGenTextures(1, &t.glTexture);
        glBindTexture(GL_TEXTURE_2D, t.glTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        t.changed = true;
    }
    if (t.changed) {
        // The picture keeps its bottom row first; textures read v = 0 at the top.
        const std::size_t row = std::size_t(t.width) * 4;
        std::vector<std::uint8_t> flipped(t.pixels.size());
        for (int y = 0; y < t.height; ++y)
            std::memcpy(flipped.data() + std::size_t(y) * row,
                        t.pixels.data() + std::size_t(t.height - 1 - y) * row, row);
        glBindTexture(GL_TEXTURE_2D, t.glTexture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, t.width, t.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, flipped.data());
        t.changed = false;
    }
    return t.glTexture;
}

void GlRenderer::DrawUserQuads(int x, int y, int width, int height, float minZ, float maxZ) {
    m_objects.DrawUserQuads(x, y, width, height, minZ, maxZ);
}

bool GlRenderer::CaptureScreen(render::ITexture* target) {
    const std::vector<std::uint8_t> rgba = ReadPixels();
    std::vector<std::uint32_t> argb(rgba.size() / 4);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        const std::uint8_t* p = &rgba[i * 4];
        argb[i] = std::uint32_t(p[3]) << 24 | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    }
    return m_objects.CaptureInto(target, argb.data(), std::uint32_t(m_width), std::uint32_t(m_height));
}

void GlRenderer::QueueOverlay(const RecordingPrimitive& primitive) {
    if (!m_inFrame) return;
    auto* effect = static_cast<RecordingEffect*>(primitive.effect);
    // Screen text, and the screen particle emitter's blended quads.
    if (!effect || (effect->techniqueName != "UpperText" && effect->techniqueName != "UIParticleEmitter")) return;
    Overlay overlay;
    overlay.texture = primitive.textures[0];
    const std::size_t count = std::min(primitive.vertices.size(), std::size_t(std::max(0, primitive.used)) * 3);
    overlay.vertices.assign(primitive.vertices.begin(), primitive.vertices.begin() + std::ptrdiff_t(count));
    m_overlays.push_back(std::move(overlay));
}

bool GlRenderer::QueueGroundQuad(const RecordingPrimitive& p) {
    auto* material = static_cast<RecordingMaterial*>(p.material);
    if (p.kind != 7 || !material || p.drawExCount == 0) return false;
    const std::string& name = material->techniqueName;
    auto endsWith = [&](const char* tail) {
        const std::size_t n = std::strlen(tail);
        return name.size() >= n && name.compare(name.size() - n, n, tail) == 0;
    };
    const bool mask = endsWith("::TAlpha"), water = endsWith("::water");
    if (!mask && !water) return false;
    if (!m_inFrame) return true;
    Overlay overlay;
    overlay.fileTexture = true;
    overlay.texture = material->GetTexture("BaseTex");
    const float* r = p.drawExRect;
    float uv[4] = {p.drawExUV[0], p.drawExUV[1], p.drawExUV[2], p.drawExUV[3]};
    if (water) {
        // The shader's wave: the base texture scrolled by the wave offset (repeating).
        const auto& values = material->params.values;
        if (auto w = values.find("g_vWaveMapOffset"); w != values.end() && w->second.size() >= 2) {
            uv[0] += w->second[0], uv[2] += w->second[0];
            uv[1] += w->second[1], uv[3] += w->second[1];
        }
    } else {
        overlay.clamp = true;
        overlay.markTexture = material->GetTexture("MarkTex");
        // Without either texture the shader has nothing to show.
        if (!overlay.texture || !overlay.markTexture) return true;
    }
    const float corners[4][4] = {{r[0], r[1], uv[0], uv[1]},
                                 {r[2], r[1], uv[2], uv[1]},
                                 {r[2], r[3], uv[2], uv[3]},
                                 {r[0], r[3], uv[0], uv[3]}};
    const float* mark = p.drawExUV + 4;
    const float markCorners[4][2] = {{mark[0], mark[1]}, {mark[2], mark[1]}, {mark[2], mark[3]}, {mark[0], mark[3]}};
    for (int k : {0, 1, 2, 0, 2, 3}) {
        overlay.vertices.push_back({corners[k][0], corners[k][1], 0.0f, 0xFFFFFFFFu, corners[k][2], corners[k][3]});
        if (mask) overlay.markUV.insert(overlay.markUV.end(), {markCorners[k][0], markCorners[k][1]});
    }
    m_overlays.push_back(std::move(overlay));
    return true;
}

void GlRenderer::QueueScreenQuads(const RecordingPrimitive& primitive) {
    if (!m_inFrame) return;
    Overlay overlay;
    overlay.texture = primitive.textures[0];
    overlay.fileTexture = true;
    EffectBlend(primitive.effect, overlay.source, overlay.destination);
    // A strip (kind 5): every three running vertices make a triangle.
    const std::size_t n = primitive.vertices.size();
    for (std::size_t i = 0; i + 2 < n; ++i)
        for (std::size_t k = 0; k < 3; ++k) overlay.vertices.push_back(primitive.vertices[i + k]);
    if (!overlay.vertices.empty()) m_overlays.push_back(std::move(overlay));
}

// The 2D pictures: quads (kind 7) of pre-transformed vertices in corner order, drawn blended
// with their texture over the scene. The effects named here are the pictures', the sprites',
// the zoom composition's and the model snapshots'.
void GlRenderer::QueuePictureQuads(const RecordingPrimitive& primitive) {
    if (QueuePlaneEffect(primitive)) return;
    if (!m_inFrame) return;
    auto* effect = static_cast<RecordingEffect*>(primitive.effect);
    if (!effect) return;
    const std::string& name = effect->techniqueName;
    if (name != "Picture" && name != "scene2dTech" && name != "Picture3DPic") return;
    Overlay overlay;
    overlay.texture = primitive.textures[0];
    overlay.fileTexture = true;
    EffectBlend(primitive.effect, overlay.source, overlay.destination);
    // The zoom's quads copy a target's picture as it is.
    if (name == "scene2dTech") overlay.source = 2, overlay.destination = 1, overlay.copy = true;
    // The model snapshots show pixels copied from a target, over the rectangle they came from.
    if (name == "Picture3DPic") overlay.cutClear = overlay.copy = true;
    const std::size_t quads =
        std::min(primitive.vertices.size() / 4,
                 primitive.used < 0 ? primitive.vertices.size() / 4 : std::size_t(primitive.used));
    for (std::size_t q = 0; q < quads; ++q)
        for (std::size_t k : {0, 1, 2, 0, 2, 3}) overlay.vertices.push_back(primitive.vertices[q * 4 + k]);
    // A quad without vertices of its own is the one DrawEx placed: its rectangle and texture
    // corners (u0, v0, u1, v1) (the 2D ground's blocks and far layers, the zoom's copies, the
    // model snapshots). The ground's pass goes under the scene.
    if (overlay.vertices.empty() && primitive.drawExCount > 0) {
        const float* r = primitive.drawExRect;
        const float* uv = primitive.drawExUV;
        const float corners[4][4] = {
            {r[0], r[1], uv[0], uv[1]}, {r[2], r[1], uv[2], uv[1]}, {r[2], r[3], uv[2], uv[3]}, {r[0], r[3], uv[0], uv[3]}};
        for (int k : {0, 1, 2, 0, 2, 3})
            overlay.vertices.push_back({corners[k][0], corners[k][1], 0.0f, 0xFFFFFFFFu, corners[k][2], corners[k][3]});
        overlay.clamp = true;
        (primitive.lastPass == 3 ? m_underlays : m_overlays).push_back(std::move(overlay));
        return;
    }
    if (!overlay.vertices.empty()) m_overlays.push_back(std::move(overlay));
}

unsigned GlRenderer::DeviceTextureFor(RecordingTexture* texture) {
    d3d9::IDirect3DTexture9* device = texture ? texture->device : nullptr;
    d3d9::IDirect3DSurface9* level = device ? device->Level(0) : nullptr;
    if (!level) return TextureFor(nullptr);
    auto& [id, frame] = m_deviceTextures[texture];
    if (id != 0 && frame == m_frame) return id;
    if (id == 0) {
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    frame = m_frame;
    // The device keeps ARGB words (A8: alpha only, colour 0, as the device samples it).
    std::vector<std::uint8_t> rgba(std::size_t(level->Width()) * level->Height() * 4);
    for (std::uint32_t y = 0; y < level->Height(); ++y)
        for (std::uint32_t x = 0; x < level->Width(); ++x) {
            const std::uint32_t p = level->Pixel(x, y);
            std::uint8_t* out = rgba.data() + (std::size_t(y) * level->Width() + x) * 4;
            out[0] = std::uint8_t(p >> 16);
            out[1] = std::uint8_t(p >> 8);
            out[2] = std::uint8_t(p);
            out[3] = std::uint8_t(p >> 24);
        }
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, GLsizei(level->Width()), GLsizei(level->Height()), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba.data());
    return id;
}

void GlRenderer::DrawOverlays(const std::vector<Overlay>& overlays, GlFrameStats& stats) {
    if (overlays.empty()) return;
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, m_surfaceWidth, m_surfaceHeight, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // File textures repeat unless the quad clamps; the wrap is part of the texture's state.
    auto wrap = [](bool clamp) {
        const GLint mode = clamp ? GL_CLAMP_TO_EDGE : GL_REPEAT;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, mode);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, mode);
    };
    for (const Overlay& o : overlays) {
        SetBlend(o.source, o.destination);
        unsigned texture = TargetTextureFor(o.texture);
        if (texture == 0 && o.fileTexture) texture = TextureFor(o.texture);
        if (texture == 0) texture = DeviceTextureFor(static_cast<RecordingTexture*>(o.texture));
        glBindTexture(GL_TEXTURE_2D, texture);
        if (o.fileTexture) wrap(o.clamp);
        const bool marked = o.markTexture && o.markUV.size() >= o.vertices.size() * 2;
        if (marked) {
            // The mask effect's look-alike: colour from the first stage, alpha from the second.
            glActiveTexture(GL_TEXTURE1);
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, TextureFor(o.markTexture));
            wrap(o.clamp);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
            glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_REPLACE);
            glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PREVIOUS);
            glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
            glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, GL_TEXTURE);
            glActiveTexture(GL_TEXTURE0);
        }
        if (o.cutClear) {
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GL_GREATER, 16.0f / 255.0f);
        }
        glBegin(GL_TRIANGLES);
        for (std::size_t i = 0; i < o.vertices.size(); ++i) {
            const PrimitiveVertex& v = o.vertices[i];
            float c[4];
            Colour(v.colour, c);
            glColor4fv(c);
            glTexCoord2f(v.u, v.v);
            if (marked) glMultiTexCoord2f(GL_TEXTURE1, o.markUV[2 * i], o.markUV[2 * i + 1]);
            // Pre-transformed positions sample at whole pixels; GL's centres sit half a pixel in.
            const float shift = o.copy ? 0.0f : 0.5f;
            glVertex2f(v.x + shift, v.y + shift);
        }
        glEnd();
        if (o.cutClear) glDisable(GL_ALPHA_TEST);
        if (marked) {
            glActiveTexture(GL_TEXTURE1);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            if (o.clamp) wrap(false);
            glDisable(GL_TEXTURE_2D);
            glActiveTexture(GL_TEXTURE0);
        }
        // Other passes draw the same textures repeating.
        if (o.fileTexture && o.clamp) wrap(false);
        stats.overlayTriangles += int(o.vertices.size() / 3);
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

}  // namespace quor::host
