#include "platform/host/RecordingRenderer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/d3d9/Device.h"

namespace quor::host {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

std::string Text(const char* text) { return text ? text : "(null)"; }

}  // namespace

RecordingRenderer::RecordingRenderer(std::shared_ptr<RecordingStore> store)
    : m_store(store ? std::move(store) : std::make_shared<RecordingStore>()) {}

void RecordingRenderer::Attach(common::IResFileSystem* files, common::ILog* log) {
    Lock lock(m_store->mutex);
    m_store->files = files;
    m_store->log = log;
}

void RecordingRenderer::SetHardwareSkinning(bool on) {
    Lock lock(m_store->mutex);
    m_hardwareSkinning = on;
}

template <class T, class I, class... A>
T* RecordingRenderer::Make(RecordingStore::Pool<T>& pool, std::string call, A&&... args) {
    Lock lock(m_store->mutex);
    m_calls.push_back(std::move(call));
    pool.all.push_back(std::make_unique<T>(std::forward<A>(args)...));
    pool.live.push_back(static_cast<I*>(pool.all.back().get()));
    return pool.all.back().get();
}

template <class T, class I>
void RecordingRenderer::Drop(RecordingStore::Pool<T>& pool, I* object) {
    if (!m_store->Take(pool, object) || m_store->keepReleased) return;
    auto it = std::find_if(pool.all.begin(), pool.all.end(),
                           [object](const std::unique_ptr<T>& p) { return static_cast<I*>(p.get()) == object; });
    if (it != pool.all.end()) pool.all.erase(it);
}

void RecordingRenderer::SetKeepReleased(bool keep) {
    Lock lock(m_store->mutex);
    m_store->keepReleased = keep;
}

render::IPrimitive* RecordingRenderer::CreatePrimitive(int kind, std::uint32_t vertexFormat) {
    const std::string call = "CreatePrimitive(" + std::to_string(kind) + "," + std::to_string(vertexFormat) + ")";
    Lock lock(m_store->mutex);
    if (m_failPrimitives) {
        m_calls.push_back(call);
        return nullptr;
    }
    return Make<RecordingPrimitive, render::IPrimitive>(m_store->primitives, call, kind, vertexFormat);
}

void RecordingRenderer::SetFailPrimitives(bool fail) {
    Lock lock(m_store->mutex);
    m_failPrimitives = fail;
}

void RecordingRenderer::ReleasePrimitive(render::IPrimitive* primitive) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleasePrimitive");
    Drop(m_store->primitives, primitive);
}

render::IEffect* RecordingRenderer::CreateEffect() {
    return Make<RecordingEffect, render::IEffect>(m_store->effects, "CreateEffect");
}

void RecordingRenderer::ReleaseEffect(render::IEffect* effect) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseEffect");
    if (m_store->ReleaseSharedEffect(effect)) return;
    Drop(m_store->effects, effect);
}

render::IRenderCamera* RecordingRenderer::CreateRenderCamera() {
    return Make<RenderCamera, render::IRenderCamera>(m_store->cameras, "CreateRenderCamera");
}

void RecordingRenderer::ReleaseRenderCamera(render::IRenderCamera* camera) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseRenderCamera");
    Drop(m_store->cameras, camera);
}

void RecordingVertexBuffer::SetVertices(const void* data, std::uint32_t count, std::uint32_t size) {
    vertexCount = count;
    stride = size;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    vertices.assign(bytes, bytes + std::size_t{count} * size);
}

void RecordingVertexBuffer::SetIndices(const std::uint16_t* data, std::uint32_t count) {
    indices.assign(data, data + count);
}

void RecordingRenderer::Update() {
    Lock lock(m_store->mutex);
    m_calls.push_back("Update");
    ++m_updates;
}

void RecordingRenderer::SetCurrentView(void* view) {
    Lock lock(m_store->mutex);
    m_calls.push_back(view ? "SetCurrentView" : "SetCurrentView(null)");
}

bool RecordingRenderer::SetResourceCacheEnabled(bool enabled) {
    Lock lock(m_store->mutex);
    m_calls.push_back(std::string("SetResourceCacheEnabled(") + (enabled ? "1" : "0") + ")");
    return true;
}

void RecordingRenderer::WriteMemoryReport(common::IXmlNode* node) {
    Lock lock(m_store->mutex);
    m_calls.push_back(node ? "WriteMemoryReport" : "WriteMemoryReport(null)");
}

render::IExtTechnique* RecordingRenderer::GetExtTechnique(const char* name, int kind) {
    Lock lock(m_store->mutex);
    m_calls.push_back(std::string("GetExtTechnique(") + (name ? name : "") + "," + std::to_string(kind) + ")");
    if (render::IExtTechnique* technique = ExtTechniqueByName(name)) return technique;
    if (kind == 1 && name && m_advancedWater && std::string(name) == "<AdvancedWater>") return m_advancedWater.get();
    if (kind == 1 && name && m_depthTechnique && std::string(name) == "<Depth>") return m_depthTechnique.get();
    if (kind != 2 || !name) return nullptr;
    for (const std::string& w : waterTechniques) {
        if (w == name) {
            m_store->water.push_back(std::make_unique<RecordingWaterTechnique>());
            return m_store->water.back().get();
        }
    }
    return nullptr;
}

RecordingWaterTechnique* RecordingRenderer::EnableAdvancedWater() {
    Lock lock(m_store->mutex);
    if (!m_advancedWater) m_advancedWater = std::make_unique<RecordingWaterTechnique>();
    return m_advancedWater.get();
}

RecordingDepthTechnique* RecordingRenderer::EnableDepthTechnique() {
    Lock lock(m_store->mutex);
    if (!m_depthTechnique) m_depthTechnique = std::make_unique<RecordingDepthTechnique>();
    return m_depthTechnique.get();
}

void RecordingRenderer::Note(std::string line) {
    Lock lock(m_store->mutex);
    m_calls.push_back(std::move(line));
}

void RecordingRenderer::GetBackBufferSize(int* width, int* height) {
    if (width) *width = backBufferWidth;
    if (height) *height = backBufferHeight;
}

void RecordingRenderer::ReleaseTexture(render::ITexture* texture) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseTexture");
    m_store->ReleaseTextureRef(texture);
}

render::IVertexBuffer* RecordingRenderer::CreateVertexBuffer() {
    RecordingVertexBuffer* buffer =
        Make<RecordingVertexBuffer, render::IVertexBuffer>(m_store->buffers, "CreateVertexBuffer");
    buffer->failElements = failVertexElements;
    return buffer;
}

void RecordingRenderer::ReleaseVertexBuffer(render::IVertexBuffer* buffer) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseVertexBuffer");
    Drop(m_store->buffers, buffer);
}

render::IRenderable* RecordingRenderer::CreateRenderable(render::IEffect* effect) {
    return Make<RecordingRenderable, render::IRenderable>(m_store->renderables, "CreateRenderable", effect);
}

void RecordingRenderer::ReleaseRenderable(render::IRenderable* renderable) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseRenderable");
    Drop(m_store->renderables, renderable);
}

render::IRenderState* RecordingRenderer::CreateRenderState() {
    return Make<RecordingRenderState, render::IRenderState>(m_store->states, "CreateRenderState");
}

void RecordingRenderer::ReleaseRenderState(render::IRenderState* state) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseRenderState");
    Drop(m_store->states, state);
}

bool RecordingRenderer::Submit(render::IRenderable* renderable) {
    Lock lock(m_store->mutex);
    m_calls.push_back("Submit");
    if (!renderable || refuseSubmits) return false;
    ++static_cast<RecordingRenderable*>(renderable)->submits;
    return true;
}

render::ISceneLightState* RecordingRenderer::CreateSceneLightState() {
    return Make<RecordingSceneLightState, render::ISceneLightState>(m_store->lightStates, "CreateSceneLightState");
}

void RecordingRenderer::ReleaseSceneLightState(render::ISceneLightState* state) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseSceneLightState");
    Drop(m_store->lightStates, state);
}

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::vector<std::string> Describe(const render::TechniqueDesc& desc) {
    static const char* const kKinds[] = {"depth", "raster", "stage", "stage-setter"};
    static const char* const kBindings[] = {"stage-state", "texture", "render-state"};
    std::vector<std::string> lines;
    for (std::uint32_t i = 0; i < desc.stateCount; ++i) {
        const render::TechniqueState& s = desc.states[i];
        lines.push_back(Format("%s %d %d %d", kKinds[s.kind % 4], s.stage, s.index, s.value));
    }
    for (std::uint32_t i = 0; i < desc.paramCount; ++i) {
        const render::TechniqueParam& p = desc.params[i];
        std::string line = Format("param %s type %d count %d %s %d %d picker %s label %s bounds %.9g %.9g %.9g %.9g",
                                  p.name, p.type, p.count, kBindings[p.binding % 3], p.stage, p.state, p.picker,
                                  p.label, double(p.lower), double(p.upper), double(p.extra0), double(p.extra1));
        if (p.hasDefault) line += Format(" default 0x%X", p.defaultValue);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

render::IEffect* RecordingRenderer::GetTechnique(const char* name, const render::TechniqueDesc* desc) {
    const std::string key = name ? name : "";
    Lock lock(m_store->mutex);
    RecordingEffect* effect = Make<RecordingEffect, render::IEffect>(m_store->effects, "GetTechnique(" + key + ")");
    effect->techniqueName = key;
    effect->kind = 0;
    // Materials of this technique name their texture stages after its texture parameters.
    std::vector<std::string> stages;
    for (std::uint32_t i = 0; desc && i < desc->paramCount; ++i) {
        const render::TechniqueParam& p = desc->params[i];
        if (p.binding != render::TechniqueParam::kTexture || p.stage < 0 || p.stage >= 8) continue;
        if (stages.size() <= std::size_t(p.stage)) stages.resize(std::size_t(p.stage) + 1);
        stages[std::size_t(p.stage)] = p.name ? p.name : "";
    }
    m_store->techniqueStages[effect] = std::move(stages);
    m_store->techniqueEffects[key] = effect;
    std::vector<std::string> lines = desc ? Describe(*desc) : std::vector<std::string>{};
    for (auto& entry : m_store->techniques) {
        if (entry.first == key) {
            entry.second = std::move(lines);
            return effect;
        }
    }
    m_store->techniques.emplace_back(key, std::move(lines));
    return effect;
}

std::vector<std::string> RecordingRenderer::TechniqueDescription(const std::string& name) const {
    Lock lock(m_store->mutex);
    for (const auto& entry : m_store->techniques) {
        if (entry.first == name) return entry.second;
    }
    return {};
}

std::vector<std::string> RecordingRenderer::TechniqueNames() const {
    Lock lock(m_store->mutex);
    std::vector<std::string> names;
    for (const auto& entry : m_store->techniques) names.push_back(entry.first);
    return names;
}

// --- materials ------------------------------------------------------------------------------

render::IMaterialGroup* RecordingRenderer::GroupFromBytes(const void* data, std::size_t size, std::int32_t mip,
                                                          const char* what) {
    MaterialGroupDesc desc;
    std::string error;
    if (!ReadMaterialGroup(data, size, desc, error)) {
        m_store->Error(std::string("Bad material group ") + what + ": " + error);
        return nullptr;
    }
    return m_store->BuildGroup(desc, mip);
}

render::IMaterialGroup* RecordingRenderer::CreateMaterialGroup(const void* block, std::uint32_t size,
                                                               std::int32_t mip) {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateMaterialGroup(" + std::to_string(size) + "," + std::to_string(mip) + ")");
    return GroupFromBytes(block, size, mip, "block");
}

render::IMaterialGroup* RecordingRenderer::CreateMaterialGroupObject() {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateMaterialGroupObject");
    MaterialGroupDesc empty;
    empty.defaultSlot = -1;
    return m_store->BuildGroup(empty, 0);
}

render::IMaterialGroup* RecordingRenderer::LoadMaterialGroupFile(const char* path, std::int32_t mip,
                                                                 std::int32_t reserved0, std::int32_t reserved1) {
    Lock lock(m_store->mutex);
    m_calls.push_back("LoadMaterialGroupFile(" + Text(path) + "," + std::to_string(mip) + "," +
                      std::to_string(reserved0) + "," + std::to_string(reserved1) + ")");
    std::vector<std::uint8_t> bytes;
    if (!m_store->ReadFile(path, bytes)) {
        m_store->Error("Material group file " + Text(path) + " not found");
        return nullptr;
    }
    return GroupFromBytes(bytes.data(), bytes.size(), mip, path);
}

render::IMaterial* RecordingRenderer::LoadMaterialFile(const char* path, std::int32_t mip, std::int32_t reserved) {
    Lock lock(m_store->mutex);
    m_calls.push_back("LoadMaterialFile(" + Text(path) + "," + std::to_string(mip) + "," + std::to_string(reserved) +
                      ")");
    std::vector<std::uint8_t> bytes;
    if (!m_store->ReadFile(path, bytes)) {
        m_store->Error("Material file " + Text(path) + " not found");
        return nullptr;
    }
    MaterialDesc desc;
    std::string error;
    if (!ReadMaterial(bytes.data(), bytes.size(), desc, error)) {
        m_store->Error("Bad material file " + Text(path) + ": " + error);
        return nullptr;
    }
    return m_store->BuildMaterial(desc, mip);
}

render::IMaterial* RecordingRenderer::CreateMaterial(render::IEffect* effect) {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateMaterial");
    return effect ? m_store->MakeMaterial(effect) : nullptr;
}

render::IMaterial* RecordingRenderer::GetMeshMaterial(render::IEffect* technique) {
    Lock lock(m_store->mutex);
    m_calls.push_back("GetMeshMaterial");
    if (!technique) return nullptr;
    RecordingMaterial* m = m_store->MakeMaterial(technique);
    m->mesh = true;
    return m;
}

void RecordingRenderer::ReleaseMaterial(render::IMaterial* material) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseMaterial");
    m_store->ReleaseMaterialRef(material);
}

void RecordingRenderer::ReleaseMaterial(render::IMaterialGroup* group) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseMaterialGroup");
    m_store->ReleaseGroup(group);
}

// --- effects, states, textures --------------------------------------------------------------

render::IEffect* RecordingRenderer::FindEffect(const char* name) {
    Lock lock(m_store->mutex);
    m_calls.push_back("FindEffect(" + Text(name) + ")");
    return name ? m_store->AcquireEffect(name) : nullptr;
}

render::IEffect* RecordingRenderer::LoadEffect(const char* file, const char* technique) {
    Lock lock(m_store->mutex);
    m_calls.push_back("LoadEffect(" + Text(file) + "," + Text(technique) + ")");
    if (!file || !technique) return nullptr;
    return m_store->AcquireEffect(std::string(file) + "::" + technique);
}

render::IEffect* RecordingRenderer::CreateEffectFromDesc(const char* desc) {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateEffectFromDesc(" + Text(desc) + ")");
    return desc ? m_store->AcquireEffect(desc) : nullptr;
}

render::IRenderState* RecordingRenderer::CreateBlendState() {
    return Make<RecordingRenderState, render::IRenderState>(m_store->blendStates, "CreateBlendState");
}

render::IRenderState* RecordingRenderer::CreateStateBlock() {
    return Make<RecordingRenderState, render::IRenderState>(m_store->stateBlocks, "CreateStateBlock");
}

void RecordingRenderer::ReleaseStateBlock(render::IRenderState* state) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseStateBlock");
    // Any state object goes back this way.
    for (auto* pool : {&m_store->blendStates, &m_store->stateBlocks, &m_store->states}) {
        auto it = std::find(pool->live.begin(), pool->live.end(), state);
        if (state && it != pool->live.end()) {
            pool->live.erase(it);
            return;
        }
    }
    ++m_store->badReleases;
}

render::ITexture* RecordingRenderer::LoadTexture(const char* name, std::int32_t width, std::int32_t height,
                                                 std::int32_t mipLevels, std::int32_t usage, std::int32_t format,
                                                 std::int32_t pool) {
    Lock lock(m_store->mutex);
    m_calls.push_back("LoadTexture(" + Text(name) + "," + std::to_string(width) + "," + std::to_string(height) + "," +
                      std::to_string(mipLevels) + "," + std::to_string(usage) + "," + std::to_string(format) + "," +
                      std::to_string(pool) + ")");
    if (!name || !*name) return nullptr;
    // Width 21 asks for A8R8G8B8 pixels: kept where the picture can be read back, when a device
    // holds them and the test did not define the name.
    const bool pixels = width == 21 && m_device && m_store->definedTextures.count(name) == 0;
    render::ITexture* made = pixels ? m_store->AcquirePixelTexture(name, mipLevels, m_device)
                                    : m_store->AcquireTexture(name, mipLevels, true);
    auto* t = static_cast<RecordingTexture*>(made);
    if (t && t->refs == 1) t->pollsBeforeReady = m_pollsBeforeReady;
    return made;
}

void RecordingRenderer::FlushTextureCache() {
    Lock lock(m_store->mutex);
    m_calls.push_back("FlushTextureCache");
    ++m_flushes;
}

int RecordingRenderer::TextureCacheFlushes() const {
    Lock lock(m_store->mutex);
    return m_flushes;
}

void RecordingRenderer::SetTexturePollsBeforeReady(int polls) {
    Lock lock(m_store->mutex);
    m_pollsBeforeReady = std::max(polls, 0);
}

int RecordingRenderer::UnloadTexture(void* surface, int immediate) {
    Lock lock(m_store->mutex);
    m_calls.push_back("UnloadTexture(" + std::to_string(immediate) + ")");
    if (RecordingTexture* t = m_store->LiveBySurface(surface)) {
        m_store->ReleaseTextureRef(t);
        return t->refs;
    }
    if (!surface) return -1;
    ++m_store->badReleases;
    return -1;
}

render::ITexture* RecordingRenderer::FindTexture(const char* name) {
    Lock lock(m_store->mutex);
    m_calls.push_back("FindTexture(" + Text(name) + ")");
    if (!name) return nullptr;
    // Only what the renderer already has: a live texture or a defined one, never a file.
    bool known = m_store->definedTextures.count(name) != 0;
    for (const RecordingTexture* t : m_store->liveTextures) known = known || t->name == name;
    return known ? m_store->AcquireTexture(name, 0, false) : nullptr;
}

bool RecordingRenderer::IsTextureReady(void* surface) {
    Lock lock(m_store->mutex);
    m_calls.emplace_back("IsTextureReady");
    RecordingTexture* t = m_store->LiveBySurface(surface);
    if (!t) return false;
    if (t->pollsBeforeReady <= 0) return true;
    --t->pollsBeforeReady;
    return false;
}

RecordingStageStates* RecordingRenderer::LastStageStates() const {
    Lock lock(m_store->mutex);
    return m_store->stageStates.all.empty() ? nullptr : m_store->stageStates.all.back().get();
}

void RecordingRenderer::SetCurrentRenderCamera(render::IRenderCamera* camera) {
    Lock lock(m_store->mutex);
    m_currentCamera = camera;
}

render::IRenderCamera* RecordingRenderer::GetCurrentRenderCamera() {
    Lock lock(m_store->mutex);
    return m_currentCamera;
}

bool RecordingRenderer::IsHardwareSkinning() {
    Lock lock(m_store->mutex);
    m_calls.push_back("IsHardwareSkinning");
    return m_hardwareSkinning;
}

// --- inspection -----------------------------------------------------------------------------

int RecordingRenderer::LiveObjects() const {
    Lock lock(m_store->mutex);
    const RecordingStore& s = *m_store;
    return static_cast<int>(s.primitives.live.size() + s.effects.live.size() + s.cameras.live.size() +
                            s.buffers.live.size() + s.renderables.live.size() + s.states.live.size() +
                            s.blendStates.live.size() + s.stateBlocks.live.size() + s.lightStates.live.size() +
                            s.stageStates.live.size() + s.skinBuffers.live.size()) +
           s.LiveMaterials() + s.LiveMaterialGroups() + s.LiveTextures() + s.LiveSharedEffects() +
           static_cast<int>(m_views.liveLightSets.size() + m_views.liveViews.size() + m_targets.size());
}

int RecordingRenderer::LiveBlendStates() const {
    Lock lock(m_store->mutex);
    return int(m_store->blendStates.live.size());
}

int RecordingRenderer::LiveStateBlocks() const {
    Lock lock(m_store->mutex);
    return int(m_store->stateBlocks.live.size());
}

int RecordingRenderer::LiveStates() const {
    Lock lock(m_store->mutex);
    return int(m_store->states.live.size() + m_store->blendStates.live.size() + m_store->stateBlocks.live.size());
}

int RecordingRenderer::Updates() const {
    Lock lock(m_store->mutex);
    return m_updates;
}

namespace {

template <class T>
T* Last(const RecordingStore::Pool<T>& pool) {
    return pool.all.empty() ? nullptr : pool.all.back().get();
}

}  // namespace

RecordingVertexBuffer* RecordingRenderer::LastVertexBuffer() const {
    Lock lock(m_store->mutex);
    return Last(m_store->buffers);
}

RecordingRenderable* RecordingRenderer::LastRenderable() const {
    Lock lock(m_store->mutex);
    return Last(m_store->renderables);
}

RecordingSceneLightState* RecordingRenderer::LastSceneLightState() const {
    Lock lock(m_store->mutex);
    return Last(m_store->lightStates);
}

RecordingRenderState* RecordingRenderer::LastBlendState() const {
    Lock lock(m_store->mutex);
    return Last(m_store->blendStates);
}

RecordingRenderState* RecordingRenderer::LastStateBlock() const {
    Lock lock(m_store->mutex);
    return Last(m_store->stateBlocks);
}

std::vector<std::string> RecordingRenderer::Calls() const {
    Lock lock(m_store->mutex);
    return m_calls.Items();
}

std::uint64_t RecordingRenderer::CallCount() const {
    Lock lock(m_store->mutex);
    return m_calls.Total();
}

void RecordingRenderer::SetRecordLimit(std::size_t limit) {
    Lock lock(m_store->mutex);
    m_calls.SetLimit(limit);
}

void RecordingRenderer::ClearCalls() {
    Lock lock(m_store->mutex);
    m_calls.clear();
}

int RecordingRenderer::LivePrimitives() const {
    Lock lock(m_store->mutex);
    return static_cast<int>(m_store->primitives.live.size());
}

int RecordingRenderer::LiveEffects() const {
    Lock lock(m_store->mutex);
    return static_cast<int>(m_store->effects.live.size()) + m_store->LiveSharedEffects();
}

int RecordingRenderer::LiveRenderCameras() const {
    Lock lock(m_store->mutex);
    return static_cast<int>(m_store->cameras.live.size());
}

int RecordingRenderer::BadReleases() const {
    Lock lock(m_store->mutex);
    return m_store->BadReleases() + m_views.badReleases;
}

RecordingPrimitive* RecordingRenderer::LastPrimitive() const {
    Lock lock(m_store->mutex);
    return Last(m_store->primitives);
}

RecordingEffect* RecordingRenderer::LastEffect() const {
    Lock lock(m_store->mutex);
    return Last(m_store->effects);
}

RenderCamera* RecordingRenderer::LastRenderCamera() const {
    Lock lock(m_store->mutex);
    return Last(m_store->cameras);
}

// --- device textures and surfaces, dynamic buffers -----------------------------------------

void RecordingRenderer::AttachDevice(d3d9::IDirect3DDevice9* device) {
    Lock lock(m_store->mutex);
    m_device = device;
}

render::ITexture* RecordingRenderer::CreateTexture(std::int32_t width, std::int32_t height, std::int32_t format,
                                                   std::int32_t usage, std::int32_t levels, std::int32_t pool) {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateTexture(" + std::to_string(width) + "," + std::to_string(height) + "," +
                      std::to_string(format) + "," + std::to_string(usage) + "," + std::to_string(levels) + "," +
                      std::to_string(pool) + ")");
    if (failCreateTexture || width <= 0 || height <= 0 || levels < 0) return nullptr;
    d3d9::IDirect3DTexture9* texture = nullptr;
    if (m_device) {
        // Format 0 takes the device's usual colour format.
        const auto fmt = format == 0 ? d3d9::D3DFMT_A8R8G8B8 : d3d9::D3DFORMAT(format);
        if (m_device->CreateTexture(std::uint32_t(width), std::uint32_t(height), std::uint32_t(levels),
                                    std::uint32_t(usage), fmt, d3d9::D3DPOOL(pool), &texture, nullptr) != d3d9::D3D_OK)
            return nullptr;
    }
    RecordingTexture* t = m_store->NewTexture();
    t->device = texture;
    t->blank = true;
    t->width = std::uint32_t(width);
    t->height = std::uint32_t(height);
    const std::int32_t made[6] = {width, height, format, usage, levels, pool};
    std::copy(made, made + 6, t->created);
    t->mipLevels = levels;
    t->refs = 1;
    t->pollsBeforeReady = m_pollsBeforeReady;
    return t;
}

void* RecordingRenderer::CreateDepthSurface(std::int32_t width, std::int32_t height, std::int32_t format) {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateDepthSurface(" + std::to_string(width) + "," + std::to_string(height) + "," +
                      std::to_string(format) + ")");
    if (!m_device || width <= 0 || height <= 0) return nullptr;
    d3d9::IDirect3DSurface9* surface = nullptr;
    if (m_device->CreateDepthStencilSurface(std::uint32_t(width), std::uint32_t(height), d3d9::D3DFORMAT(format), 0, 0,
                                            false, &surface, nullptr) != d3d9::D3D_OK)
        return nullptr;
    return surface;
}

render::IStageStates* RecordingRenderer::CreateDynamicBuffer() {
    return Make<RecordingStageStates, render::IStageStates>(m_store->stageStates, "CreateDynamicBuffer");
}

void RecordingRenderer::ReleaseDynamicBuffer(render::IStageStates* buffer) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseDynamicBuffer");
    Drop(m_store->stageStates, buffer);
}

render::IVertexBuffer* RecordingRenderer::CreateArrayVertexBuffer(const char* name, std::uint32_t vertexFormat,
                                                                  std::uint32_t stride, const void* vertices,
                                                                  std::uint32_t count) {
    auto* buffer = static_cast<RecordingVertexBuffer*>(CreateVertexBuffer());
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateArrayVertexBuffer(" + Text(name) + "," + std::to_string(vertexFormat) + "," +
                      std::to_string(stride) + "," + std::to_string(count) + ")");
    buffer->name = name ? name : "";
    buffer->format = vertexFormat;
    buffer->array = vertices;
    buffer->arrayStride = stride;
    buffer->arrayCount = vertices ? count : 0;
    return buffer;
}

void RecordingRenderer::SubmitRenderable(render::IRenderable* renderable, std::int32_t pass) {
    Lock lock(m_store->mutex);
    m_calls.push_back("SubmitRenderable(" + std::to_string(pass) + ")");
    if (!renderable) return;
    auto* r = static_cast<RecordingRenderable*>(renderable);
    ++r->submits;
    r->submitPass = pass;
    r->submitted.clear();
    const auto* stream = static_cast<const RecordingVertexBuffer*>(r->stream);
    if (!stream || !stream->array || !copySubmitted) return;
    // Copied now, as a device upload would: the caller may refill its array afterwards.
    const auto* bytes = static_cast<const std::uint8_t*>(stream->array);
    for (const render::DrawRange& range : r->ranges) {
        const std::uint64_t first = range.firstVertex;
        const std::uint64_t count = std::uint64_t(range.primitiveCount) * 3;
        if (first + count > stream->arrayCount) continue;
        r->submitted.insert(r->submitted.end(), bytes + first * stream->arrayStride,
                            bytes + (first + count) * stream->arrayStride);
    }
}

void RecordingRenderer::DrawUserQuads(int x, int y, int width, int height, float minZ, float maxZ) {
    Lock lock(m_store->mutex);
    // No line is kept: none is built (the screen emitters call this once per update).
    if (m_calls.Limit() == 0) return;
    m_calls.push_back("DrawUserQuads(" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) +
                      "," + std::to_string(height) + "," + std::to_string(minZ) + "," + std::to_string(maxZ) + ")");
}

bool RecordingRenderer::CaptureScreen(render::ITexture* target) {
    std::uint32_t w = 0, h = 0;
    std::vector<std::uint32_t> image;
    {
        Lock lock(m_store->mutex);
        if (m_device) image = m_device->PresentedImage(&w, &h);
    }
    return CaptureInto(target, image.data(), w, h);
}

bool RecordingRenderer::CaptureInto(render::ITexture* target, const std::uint32_t* argb, std::uint32_t width,
                                    std::uint32_t height) {
    Lock lock(m_store->mutex);
    m_calls.push_back("CaptureScreen");
    RecordingTexture* texture = nullptr;
    for (RecordingTexture* t : m_store->liveTextures)
        if (t == target) texture = t;
    d3d9::IDirect3DSurface9* level = texture && texture->device ? texture->device->Level(0) : nullptr;
    if (!level || level->Format() != d3d9::D3DFMT_A8R8G8B8 || !argb || width == 0 || height == 0) return false;
    d3d9::D3DLOCKED_RECT locked{};
    if (level->LockRect(&locked, nullptr, 0) != d3d9::D3D_OK) return false;
    // Nearest pixel of the screen for each texel.
    for (std::uint32_t y = 0; y < level->Height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(locked.pBits) +
                                                     std::size_t(y) * std::size_t(locked.Pitch));
        const std::uint32_t sy = std::uint32_t(std::uint64_t(y) * height / level->Height());
        for (std::uint32_t x = 0; x < level->Width(); ++x)
            row[x] = argb[std::size_t(sy) * width + std::uint64_t(x) * width / level->Width()];
    }
    level->UnlockRect();
    texture->blank = false;
    return true;
}

int RecordingRenderer::LiveDynamicBuffers() const {
    Lock lock(m_store->mutex);
    return int(m_store->stageStates.live.size());
}

render::IDecal* RecordingRenderer::CreateDecalBatch(const void* description) {
    Lock lock(m_store->mutex);
    m_calls.push_back("CreateDecalBatch");
    if (failDecals) return nullptr;
    m_decals.push_back(std::make_unique<RecordingDecal>(description));
    m_liveDecals.push_back(static_cast<render::IDecal*>(m_decals.back().get()));
    return m_decals.back().get();
}

void RecordingRenderer::ReleaseDecalBatch(render::IDecal* decal) {
    Lock lock(m_store->mutex);
    m_calls.push_back("ReleaseDecalBatch");
    auto it = std::find(m_liveDecals.begin(), m_liveDecals.end(), static_cast<const void*>(decal));
    if (it == m_liveDecals.end()) {
        ++m_badDecalReleases;
        return;
    }
    m_liveDecals.erase(it);
}

std::vector<RecordingDecal*> RecordingRenderer::Decals() const {
    Lock lock(m_store->mutex);
    std::vector<RecordingDecal*> out;
    for (const auto& d : m_decals) out.push_back(d.get());
    return out;
}

int RecordingRenderer::LiveDecals() const {
    Lock lock(m_store->mutex);
    return static_cast<int>(m_liveDecals.size());
}

int RecordingRenderer::BadDecalReleases() const {
    Lock lock(m_store->mutex);
    return m_badDecalReleases;
}

}  // namespace quor::host
