#include "platform/host/RecordingRenderer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace quor::host {

template <class T>
bool RecordingRenderer::Take(Pool<T>& pool, const void* object) {
    auto it = std::find(pool.live.begin(), pool.live.end(), object);
    if (!object || it == pool.live.end()) {
        ++m_badReleases;
        return false;
    }
    pool.live.erase(it);
    return true;
}

render::IPrimitive* RecordingRenderer::CreatePrimitive(int kind, std::uint32_t vertexFormat) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreatePrimitive(" + std::to_string(kind) + "," +
                      std::to_string(vertexFormat) + ")");
    if (m_failPrimitives) {
        return nullptr;
    }
    m_primitives.all.push_back(std::make_unique<RecordingPrimitive>(kind, vertexFormat));
    m_primitives.live.push_back(static_cast<render::IPrimitive*>(m_primitives.all.back().get()));
    return m_primitives.all.back().get();
}

void RecordingRenderer::SetFailPrimitives(bool fail) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failPrimitives = fail;
}

void RecordingRenderer::ReleasePrimitive(render::IPrimitive* primitive) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleasePrimitive");
    Take(m_primitives, primitive);
}

render::IEffect* RecordingRenderer::CreateEffect() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateEffect");
    m_effects.all.push_back(std::make_unique<RecordingEffect>());
    m_effects.live.push_back(static_cast<render::IEffect*>(m_effects.all.back().get()));
    return m_effects.all.back().get();
}

void RecordingRenderer::ReleaseEffect(render::IEffect* effect) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseEffect");
    Take(m_effects, effect);
}

render::IRenderCamera* RecordingRenderer::CreateRenderCamera() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateRenderCamera");
    m_cameras.all.push_back(std::make_unique<RenderCamera>());
    m_cameras.live.push_back(static_cast<render::IRenderCamera*>(m_cameras.all.back().get()));
    return m_cameras.all.back().get();
}

void RecordingRenderer::ReleaseRenderCamera(render::IRenderCamera* camera) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseRenderCamera");
    Take(m_cameras, camera);
}

template <class T, class I, class... A>
T* RecordingRenderer::Make(Pool<T>& pool, const char* call, A&&... args) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(call);
    pool.all.push_back(std::make_unique<T>(std::forward<A>(args)...));
    pool.live.push_back(static_cast<I*>(pool.all.back().get()));
    return pool.all.back().get();
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
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("Update");
    ++m_updates;
}

void RecordingRenderer::SetCurrentView(void* view) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(view ? "SetCurrentView" : "SetCurrentView(null)");
}

bool RecordingRenderer::SetResourceCacheEnabled(bool enabled) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(std::string("SetResourceCacheEnabled(") + (enabled ? "1" : "0") + ")");
    return true;
}

void RecordingRenderer::WriteMemoryReport(common::IXmlNode* node) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(node ? "WriteMemoryReport" : "WriteMemoryReport(null)");
}

render::IExtTechnique* RecordingRenderer::GetExtTechnique(const char* name, int kind) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(std::string("GetExtTechnique(") + (name ? name : "") + "," + std::to_string(kind) + ")");
    if (kind != 2 || !name) return nullptr;
    for (const std::string& w : waterTechniques) {
        if (w == name) {
            m_water.push_back(std::make_unique<RecordingWaterTechnique>());
            return m_water.back().get();
        }
    }
    return nullptr;
}

void RecordingRenderer::GetBackBufferSize(int* width, int* height) {
    if (width) *width = backBufferWidth;
    if (height) *height = backBufferHeight;
}

void RecordingRenderer::ReleaseTexture(render::ITexture* texture) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseTexture");
    if (!texture) ++m_badReleases;
}

render::IVertexBuffer* RecordingRenderer::CreateVertexBuffer() {
    RecordingVertexBuffer* buffer = Make<RecordingVertexBuffer, render::IVertexBuffer>(m_buffers, "CreateVertexBuffer");
    buffer->failElements = failVertexElements;
    return buffer;
}

void RecordingRenderer::ReleaseVertexBuffer(render::IVertexBuffer* buffer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseVertexBuffer");
    Take(m_buffers, buffer);
}

render::IRenderable* RecordingRenderer::CreateRenderable(render::IEffect* effect) {
    return Make<RecordingRenderable, render::IRenderable>(m_renderables, "CreateRenderable", effect);
}

void RecordingRenderer::ReleaseRenderable(render::IRenderable* renderable) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseRenderable");
    Take(m_renderables, renderable);
}

render::IRenderState* RecordingRenderer::CreateRenderState() {
    return Make<RecordingRenderState, render::IRenderState>(m_states, "CreateRenderState");
}

void RecordingRenderer::ReleaseRenderState(render::IRenderState* state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseRenderState");
    Take(m_states, state);
}

void RecordingRenderer::Submit(render::IRenderable* renderable) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("Submit");
    if (renderable) ++static_cast<RecordingRenderable*>(renderable)->submits;
}

render::ISceneLightState* RecordingRenderer::CreateSceneLightState() {
    return Make<RecordingSceneLightState, render::ISceneLightState>(m_lightStates, "CreateSceneLightState");
}

void RecordingRenderer::ReleaseSceneLightState(render::ISceneLightState* state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseSceneLightState");
    Take(m_lightStates, state);
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
    RecordingEffect* effect = Make<RecordingEffect, render::IEffect>(m_effects, ("GetTechnique(" + key + ")").c_str());
    effect->techniqueName = key;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> lines = desc ? Describe(*desc) : std::vector<std::string>{};
    for (auto& entry : m_techniques) {
        if (entry.first == key) {
            entry.second = std::move(lines);
            return effect;
        }
    }
    m_techniques.emplace_back(key, std::move(lines));
    return effect;
}

std::vector<std::string> RecordingRenderer::TechniqueDescription(const std::string& name) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& entry : m_techniques) {
        if (entry.first == name) return entry.second;
    }
    return {};
}

std::vector<std::string> RecordingRenderer::TechniqueNames() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> names;
    for (const auto& entry : m_techniques) names.push_back(entry.first);
    return names;
}

namespace {

std::string Text(const char* text) { return text ? text : "(null)"; }

}  // namespace

// Not made yet by this renderer: every maker answers null, every release of what it never
// handed out counts as a bad one.
render::IMaterialGroup* RecordingRenderer::CreateMaterialGroup(const void*, std::uint32_t size, std::int32_t mip) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateMaterialGroup(" + std::to_string(size) + "," + std::to_string(mip) + ")");
    return nullptr;
}

render::IMaterialGroup* RecordingRenderer::CreateMaterialGroupObject() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateMaterialGroupObject");
    return nullptr;
}

render::IMaterialGroup* RecordingRenderer::LoadMaterialGroupFile(const char* path, std::int32_t mip,
                                                                 std::int32_t reserved0, std::int32_t reserved1) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("LoadMaterialGroupFile(" + Text(path) + "," + std::to_string(mip) + "," +
                      std::to_string(reserved0) + "," + std::to_string(reserved1) + ")");
    return nullptr;
}

render::IMaterial* RecordingRenderer::LoadMaterialFile(const char* path, std::int32_t mip, std::int32_t reserved) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("LoadMaterialFile(" + Text(path) + "," + std::to_string(mip) + "," + std::to_string(reserved) +
                      ")");
    return nullptr;
}

render::IMaterial* RecordingRenderer::CreateMaterial(render::IEffect*) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateMaterial");
    return nullptr;
}

render::IMaterial* RecordingRenderer::GetMeshMaterial(render::IEffect*) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("GetMeshMaterial");
    return nullptr;
}

void RecordingRenderer::ReleaseMaterial(render::IMaterial*) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseMaterial");
    ++m_badReleases;
}

void RecordingRenderer::ReleaseMaterial(render::IMaterialGroup*) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseMaterialGroup");
    ++m_badReleases;
}

render::IEffect* RecordingRenderer::FindEffect(const char* name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("FindEffect(" + Text(name) + ")");
    return nullptr;
}

render::IEffect* RecordingRenderer::LoadEffect(const char* file, const char* technique) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("LoadEffect(" + Text(file) + "," + Text(technique) + ")");
    return nullptr;
}

render::IEffect* RecordingRenderer::CreateEffectFromDesc(const char* desc) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateEffectFromDesc(" + Text(desc) + ")");
    return nullptr;
}

render::IRenderState* RecordingRenderer::CreateBlendState() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateBlendState");
    return nullptr;
}

render::IRenderState* RecordingRenderer::CreateStateBlock() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("CreateStateBlock");
    return nullptr;
}

void RecordingRenderer::ReleaseStateBlock(render::IRenderState* state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("ReleaseStateBlock");
    Take(m_states, state);
}

render::ITexture* RecordingRenderer::LoadTexture(const char* name, std::int32_t width, std::int32_t height,
                                                 std::int32_t mipLevels, std::int32_t usage, std::int32_t format,
                                                 std::int32_t pool) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("LoadTexture(" + Text(name) + "," + std::to_string(width) + "," + std::to_string(height) + "," +
                      std::to_string(mipLevels) + "," + std::to_string(usage) + "," + std::to_string(format) + "," +
                      std::to_string(pool) + ")");
    return nullptr;
}

render::ITexture* RecordingRenderer::FindTexture(const char* name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("FindTexture(" + Text(name) + ")");
    return nullptr;
}

bool RecordingRenderer::IsHardwareSkinning() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back("IsHardwareSkinning");
    return false;
}

int RecordingRenderer::LiveObjects() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_primitives.live.size() + m_effects.live.size() + m_cameras.live.size() +
                            m_buffers.live.size() + m_renderables.live.size() + m_states.live.size() +
                            m_lightStates.live.size());
}

int RecordingRenderer::Updates() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_updates;
}

RecordingVertexBuffer* RecordingRenderer::LastVertexBuffer() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_buffers.all.empty() ? nullptr : m_buffers.all.back().get();
}

RecordingRenderable* RecordingRenderer::LastRenderable() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_renderables.all.empty() ? nullptr : m_renderables.all.back().get();
}

RecordingSceneLightState* RecordingRenderer::LastSceneLightState() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lightStates.all.empty() ? nullptr : m_lightStates.all.back().get();
}

std::vector<std::string> RecordingRenderer::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls.Items();
}

std::uint64_t RecordingRenderer::CallCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls.Total();
}

void RecordingRenderer::SetRecordLimit(std::size_t limit) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.SetLimit(limit);
}

void RecordingRenderer::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

int RecordingRenderer::LivePrimitives() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_primitives.live.size());
}

int RecordingRenderer::LiveEffects() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_effects.live.size());
}

int RecordingRenderer::LiveRenderCameras() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_cameras.live.size());
}

int RecordingRenderer::BadReleases() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_badReleases;
}

RecordingPrimitive* RecordingRenderer::LastPrimitive() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_primitives.all.empty() ? nullptr : m_primitives.all.back().get();
}

RecordingEffect* RecordingRenderer::LastEffect() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_effects.all.empty() ? nullptr : m_effects.all.back().get();
}

RenderCamera* RecordingRenderer::LastRenderCamera() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cameras.all.empty() ? nullptr : m_cameras.all.back().get();
}

}  // namespace quor::host
