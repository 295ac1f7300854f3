#include "platform/host/RecordingResources.h"

#include <stb_image.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/d3d9/Device.h"
#include "platform/d3d9/PictureDecode.h"

#include "platform/host/ILog.h"
#include "platform/host/IResFileSystem.h"

namespace quor::host {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// The renderer's own log channel.
constexpr int kRenderChannel = 100;

std::string Number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(v));
    return text;
}

}  // namespace

// --- parameters -----------------------------------------------------------------------------

bool RecordingMaterialParams::Set(const char* call, const char* name, const float* v, std::size_t count) {
    const std::string key = name ? name : "";
    // Appended piece by piece: GCC 12 at -O3 misreads `"," + std::string` as an overlapping copy.
    std::string line = std::string(call);
    line.append("(").append(key);
    for (std::size_t i = 0; i < count && i < 4; ++i) line.append(",").append(Number(v[i]));
    if (count > 4) line.append(",...[").append(std::to_string(count)).append("]");
    line.append(")");
    calls.push_back(std::move(line));
    if (!name || refused.count(key)) return false;
    values[key].assign(v, v + count);
    return true;
}

bool RecordingMaterialParams::SetInt(const char* name, std::int32_t value) {
    calls.push_back("SetInt(" + std::string(name ? name : "") + "," + std::to_string(value) + ")");
    if (!name || refused.count(name)) return false;
    ints[name] = value;
    return true;
}

bool RecordingMaterialParams::SetFloat(const char* name, float value) { return Set("SetFloat", name, &value, 1); }

bool RecordingMaterialParams::SetVector(const char* name, const float* v, std::uint32_t count) {
    if (!v || count == 0 || count > 4) {
        calls.push_back("SetVector(" + std::string(name ? name : "") + ")");
        return false;
    }
    return Set("SetVector", name, v, count);
}

bool RecordingMaterialParams::SetMatrix(const char* name, const float* m) {
    if (!m) return false;
    return Set("SetMatrix", name, m, 16);
}

bool RecordingMaterialParams::SetMatrixArray(const char* name, const float* m, std::uint32_t count) {
    if (!m && count) return false;
    return Set("SetMatrixArray", name, m, std::size_t(count) * 16);
}

bool RecordingMaterialParams::SetFloatArray(const char* name, const float* v, std::uint32_t count) {
    if (!v && count) return false;
    return Set("SetFloatArray", name, v, count);
}

// --- materials ------------------------------------------------------------------------------

void RecordingMaterial::AddRef() { m_store.AddRefMaterial(this); }

bool RecordingMaterial::SetTechnique(render::IEffect* effect) {
    if (!effect) return false;
    Lock lock(m_store.mutex);
    if (effect == technique) return true;
    m_store.HoldEffect(effect);
    m_store.DropEffect(technique);
    technique = effect;
    const char* full = effect->GetName();
    techniqueName = full ? full : "";
    return true;
}

bool RecordingMaterial::SetTexture(const char* stageName, render::ITexture* texture) {
    if (!stageName) return false;
    Lock lock(m_store.mutex);
    for (Stage& s : stages) {
        if (!s.used || s.name != stageName) continue;
        if (texture == s.texture) return true;
        if (texture) {
            auto* t = static_cast<RecordingTexture*>(texture);
            // Only textures of this store carry a count to take.
            m_store.AddTextureRef(t);
        }
        if (s.texture) m_store.ReleaseTextureRef(s.texture);
        s.texture = texture;
        return true;
    }
    return false;
}

const char* RecordingMaterial::GetTextureName(std::uint32_t stage) {
    return stage < 8 && stages[stage].used ? stages[stage].name.c_str() : nullptr;
}

void RecordingMaterial::SetStageState(std::uint32_t stage, render::IRenderState* state) {
    if (stage < 8) stages[stage].state = state;
}

void RecordingMaterial::SetTextureAnimation(std::uint32_t stage, const render::TextureAnimation& animation) {
    if (stage >= 8) return;
    stages[stage].animated = true;
    stages[stage].animation = animation;
}

void RecordingMaterial::CopyStateFrom(render::IMaterial* other) {
    if (!other || other == this) return;
    ++copies;
    Lock lock(m_store.mutex);
    bool own = false;
    for (const auto& m : m_store.materials) own = own || m.get() == other;
    if (!own) return;  // another renderer's material: its state is not ours to read
    auto* o = static_cast<RecordingMaterial*>(other);
    for (const Stage& s : o->stages) {
        if (s.used && s.texture) SetTexture(s.name.c_str(), s.texture);
    }
    for (int i = 0; i < 8; ++i) {
        if (!stages[i].used) continue;
        stages[i].state = o->stages[i].state;
        stages[i].animated = o->stages[i].animated;
        stages[i].animation = o->stages[i].animation;
    }
    std::memcpy(colours, o->colours, sizeof colours);
    power = o->power;
    alphaTest = o->alphaTest;
    std::memcpy(alphaTestValues, o->alphaTestValues, sizeof alphaTestValues);
    std::memcpy(flags, o->flags, sizeof flags);
    record = o->record;
    transparent = o->transparent;
}

void RecordingMaterial::SetRecord(const void* data, std::uint32_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (bytes) record.assign(bytes, bytes + size);
    else record.clear();
}

void RecordingMaterial::SetFlag(std::uint32_t index, std::uint32_t value) {
    if (index < 8) flags[index] = value;
}

void RecordingMaterial::SetColours(const float* diffuse, const float* ambient, const float* specular,
                                   const float* emissive, float value) {
    const float* in[4] = {diffuse, ambient, specular, emissive};
    for (int c = 0; c < 4; ++c) {
        if (in[c]) std::memcpy(colours[c], in[c], sizeof colours[c]);
    }
    power = value;
}

// --- groups ---------------------------------------------------------------------------------

std::uint32_t RecordingMaterialGroup::GetSlotCount() {
    Lock lock(m_store.mutex);
    return std::uint32_t(slots.size());
}

const char* RecordingMaterialGroup::GetSlotName(std::uint32_t slot) {
    Lock lock(m_store.mutex);
    return slot < slots.size() ? slots[slot].name.c_str() : nullptr;
}

render::IMaterial* RecordingMaterialGroup::GetSlotMaterial(std::uint32_t slot) {
    Lock lock(m_store.mutex);
    return slot < slots.size() ? slots[slot].material : nullptr;
}

int RecordingMaterialGroup::FindSlot(render::IMaterial* material) {
    Lock lock(m_store.mutex);
    if (!material) return -1;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].material == material) return int(i);
    }
    return -1;
}

int RecordingMaterialGroup::FindSlotByName(const char* name) {
    Lock lock(m_store.mutex);
    if (!name) return -1;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].name == name) return int(i);
    }
    return -1;
}

render::IMaterial* RecordingMaterialGroup::GetDefaultMaterial() {
    Lock lock(m_store.mutex);
    if (defaultSlot < 0 || std::size_t(defaultSlot) >= slots.size()) return nullptr;
    return slots[std::size_t(defaultSlot)].material;
}

bool RecordingMaterialGroup::GetSlotValues(std::uint32_t slot, std::uint32_t* values) {
    Lock lock(m_store.mutex);
    if (slot >= slots.size() || !values) return false;
    std::memcpy(values, slots[slot].values, sizeof slots[slot].values);
    return true;
}

void RecordingMaterialGroup::SetLoadFlag(std::int32_t flag) {
    Lock lock(m_store.mutex);
    loadFlag = flag;
}

std::int32_t RecordingMaterialGroup::GetLoadFlag() {
    Lock lock(m_store.mutex);
    return loadFlag;
}

void RecordingMaterialGroup::ApplyDefaultState() {
    Lock lock(m_store.mutex);
    ++defaultStates;
}

bool RecordingMaterialGroup::AddMaterial(render::IMaterial* material) {
    if (!material) return false;
    Lock lock(m_store.mutex);
    const char* name = material->GetName();
    const std::string key = name ? name : "";
    for (Slot& s : slots) {
        if (s.name != key) continue;
        if (s.material == material) return true;
        m_store.AddRefMaterial(material);
        if (s.material) m_store.ReleaseMaterialRef(s.material);
        s.material = material;
        return true;
    }
    if (slots.size() >= kMaxMaterialSlots) return false;
    m_store.AddRefMaterial(material);
    slots.push_back(Slot{key, material, {}});
    if (defaultSlot < 0) defaultSlot = 0;
    return true;
}

bool RecordingMaterialGroup::SetSlotMaterial(std::uint32_t slot, render::IMaterial* material) {
    Lock lock(m_store.mutex);
    if (slot >= slots.size()) return false;
    Slot& s = slots[slot];
    if (s.material == material) return true;
    if (material) m_store.AddRefMaterial(material);
    if (s.material) m_store.ReleaseMaterialRef(s.material);
    s.material = material;
    return true;
}

void RecordingMaterialGroup::SetSlotCount(std::uint32_t count) {
    Lock lock(m_store.mutex);
    if (count > kMaxMaterialSlots) count = kMaxMaterialSlots;
    for (std::size_t i = count; i < slots.size(); ++i) {
        if (slots[i].material) m_store.ReleaseMaterialRef(slots[i].material);
    }
    slots.resize(count);
    if (defaultSlot >= std::int32_t(count)) defaultSlot = count ? 0 : -1;
    if (defaultSlot < 0 && count) defaultSlot = 0;
}

bool RecordingMaterialGroup::SetSlotName(std::uint32_t slot, const char* name) {
    Lock lock(m_store.mutex);
    if (slot >= slots.size()) return false;
    slots[slot].name = name ? name : "";
    return true;
}

void RecordingMaterialGroup::RegisterCallback(render::IMaterialGroupCallback* callback) {
    Lock lock(m_store.mutex);
    if (callback && std::find(callbacks.begin(), callbacks.end(), callback) == callbacks.end()) {
        callbacks.push_back(callback);
    }
}

void RecordingMaterialGroup::UnregisterCallback(render::IMaterialGroupCallback* callback) {
    Lock lock(m_store.mutex);
    callbacks.erase(std::remove(callbacks.begin(), callbacks.end(), callback), callbacks.end());
}

void RecordingMaterialGroup::NotifyLoaded() {
    std::vector<render::IMaterialGroupCallback*> listeners;
    {
        Lock lock(m_store.mutex);
        listeners = callbacks;
    }
    for (render::IMaterialGroupCallback* c : listeners) c->OnMaterialGroup(this);
}

// --- the store ------------------------------------------------------------------------------

template <class T>
bool RecordingStore::Take(Pool<T>& pool, const void* object) {
    auto it = std::find(pool.live.begin(), pool.live.end(), object);
    if (!object || it == pool.live.end()) {
        ++badReleases;
        return false;
    }
    pool.live.erase(it);
    return true;
}

template bool RecordingStore::Take(Pool<RecordingPrimitive>&, const void*);
template bool RecordingStore::Take(Pool<RecordingEffect>&, const void*);
template bool RecordingStore::Take(Pool<RenderCamera>&, const void*);
template bool RecordingStore::Take(Pool<RecordingVertexBuffer>&, const void*);
template bool RecordingStore::Take(Pool<RecordingStageStates>&, const void*);
template bool RecordingStore::Take(Pool<RecordingRenderable>&, const void*);
template bool RecordingStore::Take(Pool<RecordingRenderState>&, const void*);
template bool RecordingStore::Take(Pool<RecordingSceneLightState>&, const void*);
template bool RecordingStore::Take(Pool<RecordingSkinBuffer>&, const void*);

void RecordingStore::DefineEffect(const std::string& name, int kind, bool transparent,
                                  std::vector<std::string> stageNames) {
    Lock lock(mutex);
    definedEffects[name] = EffectInfo{kind, transparent, std::move(stageNames)};
}

void RecordingStore::DefineTexture(const std::string& name, std::uint32_t frames, float durationSeconds) {
    TextureDesc desc;
    desc.frames = frames;
    desc.duration = durationSeconds;
    DefineTexture(name, desc);
}

void RecordingStore::DefineTexture(const std::string& name, const TextureDesc& desc) {
    Lock lock(mutex);
    TextureDesc& d = definedTextures[name] = desc;
    if (!d.frames) d.frames = 1;
}

int RecordingStore::LiveStageStates() const {
    Lock lock(mutex);
    return int(stageStates.live.size());
}

namespace {

std::string StageCall(const char* name, int stage, int entry, int value) {
    char text[64];
    std::snprintf(text, sizeof text, "%s(%d,%d,%d)", name, stage, entry, value);
    return text;
}

}  // namespace

void RecordingStageStates::SetColor(int stage, int entry, int value) {
    calls.push_back(StageCall("SetColor", stage, entry, value));
    if (stage == 0 && entry >= 0 && entry < 2) colour[entry] = value;
}

void RecordingStageStates::SetAlpha(int stage, int entry, int value) {
    calls.push_back(StageCall("SetAlpha", stage, entry, value));
    if (stage == 0 && entry >= 0 && entry < 2) alpha[entry] = value;
}

void RecordingStore::Error(const std::string& text) {
    errors.push_back(text);
    if (log) {
        log->RegisterChannel(kRenderChannel, "Render");
        log->Write(kRenderChannel, (text + "\n").c_str());
    }
}

bool RecordingStore::IsShared(const render::IEffect* effect) const {
    return effect && effectRefs.count(static_cast<const RecordingEffect*>(effect)) != 0;
}

render::IEffect* RecordingStore::AcquireEffect(const std::string& name) {
    auto defined = definedEffects.find(name);
    if (defined == definedEffects.end()) return nullptr;
    auto live = liveSharedEffects.find(name);
    if (live != liveSharedEffects.end()) {
        ++effectRefs[live->second];
        return live->second;
    }
    sharedEffects.push_back(std::make_unique<RecordingEffect>());
    RecordingEffect* e = sharedEffects.back().get();
    e->techniqueName = name;
    e->kind = defined->second.kind;
    e->transparent = defined->second.transparent;
    effectRefs[e] = 1;
    liveSharedEffects[name] = e;
    techniqueStages[e] = defined->second.stageNames;
    return e;
}

bool RecordingStore::ReleaseSharedEffect(render::IEffect* effect) {
    auto* e = static_cast<RecordingEffect*>(effect);
    auto it = effectRefs.find(e);
    if (it == effectRefs.end()) return false;
    if (it->second <= 0) {
        ++badReleases;
        return true;
    }
    if (--it->second == 0) {
        auto live = liveSharedEffects.find(e->techniqueName);
        if (live != liveSharedEffects.end() && live->second == e) liveSharedEffects.erase(live);
    }
    return true;
}

void RecordingStore::HoldEffect(render::IEffect* effect) {
    if (IsShared(effect)) ++effectRefs[static_cast<RecordingEffect*>(effect)];
}

void RecordingStore::DropEffect(render::IEffect* effect) {
    if (IsShared(effect)) ReleaseSharedEffect(effect);
}

render::IEffect* RecordingStore::HoldTechnique(const std::string& name) {
    auto it = techniqueEffects.find(name);
    if (it != techniqueEffects.end()) return it->second;
    return AcquireEffect(name);
}

std::vector<std::string> RecordingStore::StageNames(render::IEffect* effect) const {
    auto it = techniqueStages.find(effect);
    return it != techniqueStages.end() ? it->second : std::vector<std::string>{};
}

bool RecordingStore::ReadFile(const char* path, std::vector<std::uint8_t>& bytes) {
    if (!path || !files) return false;
    common::IResFile* file = files->OpenFile(path, 0);
    if (!file) return false;
    const std::uint8_t* data = file->GetData();
    const std::uint32_t size = file->GetSize();
    if (data) bytes.assign(data, data + size);
    file->Close();
    return data != nullptr;
}

RecordingTexture* RecordingStore::NewTexture() {
    textures.push_back(std::make_unique<RecordingTexture>());
    RecordingTexture* t = textures.back().get();
    t->refs = 1;
    t->made = texturesMade++;
    liveTextures.push_back(t);
    ownTextures.insert(t);
    return t;
}

bool RecordingStore::AddTextureRef(RecordingTexture* texture) {
    if (!ownTextures.count(texture)) return false;
    if (texture->refs++ == 0) {
        // Revived: back among the live ones, in the order of making.
        auto at = std::upper_bound(liveTextures.begin(), liveTextures.end(), texture,
                                   [](const RecordingTexture* a, const RecordingTexture* b) { return a->made < b->made; });
        liveTextures.insert(at, texture);
    }
    return true;
}

RecordingTexture* RecordingStore::LiveBySurface(const void* surface) {
    if (!surface) return nullptr;
    // A remembered answer stands while that texture is live and still answers the handle (no
    // two live textures share one: each owns its device texture or token).
    if (!surfaceSlots.empty()) {
        const SurfaceSlot& slot = surfaceSlots[SurfaceSlotOf(surface)];
        if (slot.surface == surface && slot.texture->refs > 0 && slot.texture->GetSurface() == surface)
            return slot.texture;
    }
    for (RecordingTexture* t : liveTextures) {
        if (t->GetSurface() == surface) {
            if (surfaceSlots.size() < 4 * liveTextures.size()) {
                // Grown slots start empty; they fill again as handles are asked for.
                surfaceSlots.assign(std::bit_ceil(std::max<std::size_t>(64, 4 * liveTextures.size())), SurfaceSlot{});
                surfaceSlotBits = std::countr_zero(surfaceSlots.size());
            }
            surfaceSlots[SurfaceSlotOf(surface)] = SurfaceSlot{surface, t};
            return t;
        }
    }
    return nullptr;
}

render::ITexture* RecordingStore::AcquireTexture(const std::string& name, std::int32_t mipLevels, bool mustExist) {
    for (RecordingTexture* t : liveTextures) {
        if (t->refs > 0 && !t->blank && t->name == name) {
            ++t->refs;
            return t;
        }
    }
    auto defined = definedTextures.find(name);
    std::vector<std::uint8_t> bytes;
    if (defined == definedTextures.end() && mustExist && !ReadFile(name.c_str(), bytes)) return nullptr;
    RecordingTexture* t = NewTexture();
    t->name = name;
    t->mipLevels = mipLevels;
    if (defined != definedTextures.end()) {
        const TextureDesc& d = defined->second;
        t->frames = d.frames;
        t->duration = d.duration;
        t->width = d.width;
        t->height = d.height;
        t->state = d.state;
        t->surface = d.surface;
    }
    // A file that is a picture gives its size; other bytes keep the default.
    int imageWidth = 0, imageHeight = 0, channels = 0;
    if (defined == definedTextures.end() && !bytes.empty() && bytes.size() <= 0x7FFFFFFFu &&
        stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &imageWidth, &imageHeight, &channels) &&
        imageWidth > 0 && imageHeight > 0) {
        t->width = static_cast<std::uint32_t>(imageWidth);
        t->height = static_cast<std::uint32_t>(imageHeight);
    }
    t->refs = 1;
    return t;
}

render::ITexture* RecordingStore::AcquirePixelTexture(const std::string& name, std::int32_t mipLevels,
                                                     d3d9::IDirect3DDevice9* device) {
    for (RecordingTexture* t : liveTextures) {
        if (t->refs > 0 && !t->blank && t->device && t->name == name) {
            ++t->refs;
            return t;
        }
    }
    std::vector<std::uint8_t> bytes;
    if (!ReadFile(name.c_str(), bytes)) return nullptr;
    d3d9::DecodedPicture picture;
    std::string why;
    if (!d3d9::DecodePicture(bytes.data(), bytes.size(), picture, &why)) {
        Error("texture " + name + ": " + why);
        return nullptr;
    }
    d3d9::IDirect3DTexture9* pixels = nullptr;
    if (device->CreateTexture(picture.width, picture.height, 1, 0, d3d9::D3DFMT_A8R8G8B8, d3d9::D3DPOOL_MANAGED,
                              &pixels, nullptr) != d3d9::D3D_OK)
        return nullptr;
    std::memcpy(pixels->Level(0)->Bits(), picture.bgra.data(), picture.bgra.size());
    RecordingTexture* t = NewTexture();
    t->name = name;
    t->mipLevels = mipLevels;
    t->device = pixels;
    t->width = picture.width;
    t->height = picture.height;
    t->refs = 1;
    return t;
}

bool RecordingTexture::FillRect(const std::int32_t* rect, std::uint32_t argb) {
    const std::int32_t whole[4] = {0, 0, std::int32_t(width), std::int32_t(height)};
    for (int i = 0; i < 4; ++i) fillRect[i] = rect ? rect[i] : whole[i];
    fillColour = argb;
    ++fills;
    d3d9::IDirect3DSurface9* level = device ? device->Level(0) : nullptr;
    if (!level || level->Format() != d3d9::D3DFMT_A8R8G8B8) return false;
    const std::int64_t w = level->Width(), h = level->Height();
    const std::int64_t left = rect ? std::max<std::int64_t>(rect[0], 0) : 0;
    const std::int64_t top = rect ? std::max<std::int64_t>(rect[1], 0) : 0;
    const std::int64_t right = rect ? std::min<std::int64_t>(rect[2], w) : w;
    const std::int64_t bottom = rect ? std::min<std::int64_t>(rect[3], h) : h;
    for (std::int64_t y = top; y < bottom; ++y)
        for (std::int64_t x = left; x < right; ++x)
            std::memcpy(level->Bits() + (y * w + x) * 4, &argb, 4);
    return true;
}

bool RecordingStore::ReleaseTextureRef(render::ITexture* texture) {
    auto live = std::find(liveTextures.begin(), liveTextures.end(), texture);
    if (live != liveTextures.end()) {
        RecordingTexture* t = *live;
        if (--t->refs == 0) {
            // The last reference gives the device texture back too.
            if (t->device) std::exchange(t->device, nullptr)->Release();
            liveTextures.erase(live);
            if (!keepReleased) {
                for (SurfaceSlot& slot : surfaceSlots)
                    if (slot.texture == t) slot = SurfaceSlot{};
                ownTextures.erase(t);
                textures.erase(std::find_if(textures.begin(), textures.end(),
                                            [t](const std::unique_ptr<RecordingTexture>& p) { return p.get() == t; }));
            }
        }
        return true;
    }
    ++badReleases;
    return false;
}

RecordingMaterial* RecordingStore::MakeMaterial(render::IEffect* technique) {
    materials.push_back(std::make_unique<RecordingMaterial>(*this));
    RecordingMaterial* m = materials.back().get();
    m->refs = 1;
    if (technique) {
        HoldEffect(technique);
        m->technique = technique;
        const char* full = technique->GetName();
        m->techniqueName = full ? full : "";
        const std::vector<std::string> names = StageNames(technique);
        for (std::size_t i = 0; i < names.size() && i < 8; ++i) {
            m->stages[i].used = !names[i].empty();
            m->stages[i].name = names[i];
        }
    }
    return m;
}

RecordingMaterial* RecordingStore::BuildMaterial(const MaterialDesc& desc, std::int32_t mip) {
    RecordingMaterial* m = MakeMaterial(nullptr);
    m->name = desc.name;
    m->techniqueName = desc.technique;
    m->technique = desc.technique.empty() ? nullptr : HoldTechnique(desc.technique);
    std::memcpy(m->colours[0], desc.diffuse, sizeof desc.diffuse);
    std::memcpy(m->colours[1], desc.ambient, sizeof desc.ambient);
    std::memcpy(m->colours[2], desc.specular, sizeof desc.specular);
    std::memcpy(m->colours[3], desc.emissive, sizeof desc.emissive);
    m->power = desc.power;
    m->alpha = desc.alpha;
    m->blendSource = desc.blendSource;
    m->blendDestination = desc.blendDestination;
    m->lit = desc.lit;
    m->transparent = desc.transparent;
    for (const MaterialStageDesc& s : desc.stages) {
        RecordingMaterial::Stage& stage = m->stages[s.index];
        stage.used = true;
        stage.name = s.name;
        stage.file = s.file;
        // A missing texture file leaves the stage blank, as drawing does.
        if (!s.file.empty()) stage.texture = AcquireTexture(s.file, mip, true);
    }
    return m;
}

RecordingMaterialGroup* RecordingStore::BuildGroup(const MaterialGroupDesc& desc, std::int32_t mip) {
    groups.push_back(std::make_unique<RecordingMaterialGroup>(*this));
    RecordingMaterialGroup* g = groups.back().get();
    g->refs = 1;
    g->mip = mip;
    g->defaultSlot = desc.defaultSlot;
    for (const MaterialSlotDesc& s : desc.slots) {
        RecordingMaterialGroup::Slot slot;
        slot.name = s.name;
        std::memcpy(slot.values, s.values, sizeof s.values);
        if (s.hasMaterial) slot.material = BuildMaterial(s.material, mip);
        g->slots.push_back(slot);
    }
    return g;
}

void RecordingStore::AddRefMaterial(render::IMaterial* material) {
    Lock lock(mutex);
    for (const auto& m : materials) {
        if (m.get() == material) {
            ++m->refs;
            return;
        }
    }
    // A material of another renderer: it keeps its own count.
    if (material) material->AddRef();
}

bool RecordingStore::ReleaseMaterialRef(render::IMaterial* material) {
    for (auto it = materials.begin(); it != materials.end(); ++it) {
        RecordingMaterial* m = it->get();
        if (m != material) continue;
        if (m->refs <= 0) break;
        if (--m->refs == 0) {
            DropEffect(m->technique);
            for (RecordingMaterial::Stage& s : m->stages) {
                if (s.texture) ReleaseTextureRef(s.texture);
                s.texture = nullptr;
            }
            if (!keepReleased) materials.erase(it);
        }
        return true;
    }
    ++badReleases;
    return false;
}

bool RecordingStore::ReleaseGroup(render::IMaterialGroup* group) {
    for (auto it = groups.begin(); it != groups.end(); ++it) {
        RecordingMaterialGroup* g = it->get();
        if (g != group) continue;
        if (g->refs <= 0) break;
        if (--g->refs == 0) {
            for (auto& s : g->slots) {
                if (s.material) ReleaseMaterialRef(s.material);
                s.material = nullptr;
            }
            g->callbacks.clear();
            if (!keepReleased) groups.erase(it);
        }
        return true;
    }
    ++badReleases;
    return false;
}

int RecordingStore::LiveMaterials() const {
    Lock lock(mutex);
    return int(std::count_if(materials.begin(), materials.end(), [](const auto& m) { return m->refs > 0; }));
}

int RecordingStore::LiveMaterialGroups() const {
    Lock lock(mutex);
    return int(std::count_if(groups.begin(), groups.end(), [](const auto& g) { return g->refs > 0; }));
}

int RecordingStore::LiveTextures() const {
    Lock lock(mutex);
    return int(liveTextures.size());
}

int RecordingStore::LiveSharedEffects() const {
    Lock lock(mutex);
    return int(std::count_if(effectRefs.begin(), effectRefs.end(), [](const auto& e) { return e.second > 0; }));
}

int RecordingStore::BadReleases() const {
    Lock lock(mutex);
    return badReleases;
}

std::vector<RecordingMaterial*> RecordingStore::Materials() const {
    Lock lock(mutex);
    std::vector<RecordingMaterial*> out;
    for (const auto& m : materials) out.push_back(m.get());
    return out;
}

std::vector<RecordingMaterialGroup*> RecordingStore::MaterialGroups() const {
    Lock lock(mutex);
    std::vector<RecordingMaterialGroup*> out;
    for (const auto& g : groups) out.push_back(g.get());
    return out;
}

std::vector<RecordingTexture*> RecordingStore::Textures() const {
    Lock lock(mutex);
    std::vector<RecordingTexture*> out;
    for (const auto& t : textures) out.push_back(t.get());
    return out;
}

std::vector<std::string> RecordingStore::Errors() const {
    Lock lock(mutex);
    return errors;
}

}  // namespace quor::host
