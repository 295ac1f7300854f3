#include "world/scene/Scene2D.h"
#include "world/scene/WaterBlock.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/host/IAsyncLoader.h"
#include "platform/host/IAudio.h"
#include "platform/host/IClient.h"
#include "platform/host/IEffect.h"
#include "platform/host/IMaterial.h"
#include "platform/host/IRenderView.h"
#include "platform/host/IRenderer.h"
#include "platform/host/IResFileSystem.h"
#include "platform/host/ITexture.h"
#include "platform/host/IUtils.h"
#include "platform/host/IXmlNode.h"
#include "platform/win32/Messages.h"
#include "world/core/Camera.h"
#include "world/core/SpaceLines.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Light.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/VisibleObject.h"
#include "world/fx/Picture.h"
#include "world/fx/Picture3D.h"
#include "world/fx/UVSprite.h"
#include "world/fx/UpperText.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/AreaData.h"
#include "world/scene/AsyncRecords.h"
#include "world/scene/Blaze.h"
#include "world/scene/Electricity.h"
#include "world/scene/ModelList.h"
#include "world/scene/PathGrid.h"
#include "world/scene/PlaneFog.h"
#include "world/scene/SpaceLinesList.h"

namespace quor::world {

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr std::uint32_t kLoadStarted = 0x10000;
constexpr std::uint32_t kLoadFailed = 0xFFFFFFFFu;
constexpr int kObjectLayer = 2;

std::string Attr(common::IXmlNode* node, const char* scope, const char* name, const char* def = "") {
    if (!node) return def;
    char buffer[kXmlAttributeBufferSize] = {};
    node->GetStringAttribute(scope, name, buffer, static_cast<int>(sizeof buffer), def);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::uint32_t UIntAttr(common::IXmlNode* node, const char* scope, const char* name, std::uint32_t def) {
    return node ? node->GetUIntAttribute(scope, name, def) : def;
}

std::int32_t IntAttr(common::IXmlNode* node, const char* scope, const char* name, std::int32_t def) {
    return node ? node->GetIntAttribute(scope, name, def) : def;
}

float FloatAttr(common::IXmlNode* node, const char* scope, const char* name, float def) {
    return node ? node->GetFloatAttribute(scope, name, def) : def;
}

bool BoolAttr(common::IXmlNode* node, const char* scope, const char* name, bool def) {
    return node ? node->GetBoolAttribute(scope, name, def) : def;
}

void Float2(common::IXmlNode* node, const char* scope, const char* name, float out[2], float d0, float d1) {
    const float def[2] = {d0, d1};
    out[0] = d0;
    out[1] = d1;
    if (node) ReadXmlFloat2(node, scope, name, out, def);
}

std::uint8_t ColourByte(const std::string& text) {
    const long v = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<std::uint8_t>(v);
}

const char* Extension(const char* name) { return name ? std::strrchr(name, '.') : nullptr; }

bool ExtensionIn(const char* ext, std::initializer_list<const char*> list) {
    if (!ext) return false;
    for (const char* e : list)
        if (strcasecmp(ext, e) == 0) return true;
    return false;
}

}  // namespace

const char* Scene2D::InternText(const char* text) {
    static std::mutex lock;
    static std::set<std::string> texts;
    std::lock_guard<std::mutex> guard(lock);
    return texts.insert(text ? text : "").first->c_str();
}

// --- construction ---------------------------------------------------------------------------

Scene2D::Scene2D() {
    m_sceneType = 0;
    m_root = NewObject<PictureEmpty>(this);
    for (PictureBase*& layer : m_layers) {
        layer = NewObject<PictureEmpty>(this);
        if (m_root && layer) m_root->AddChild(layer, true);
    }
    if (render::IRenderer* renderer = Interfaces().renderer) {
        m_nightEffect = renderer->CreateEffect();
        if (m_nightEffect) {
            m_nightEffect->SetTechniqueName("Night");
            if (auto* g = m_nightEffect->GetDepthStencilState()) g->SetState(0, 0, 0);
            if (auto* g = m_nightEffect->GetRasterState()) g->SetState(0, 3, 0);
            if (auto* g = m_nightEffect->GetTextureStageState()) {
                g->SetState(0, 0, 2);
                g->SetState(1, 0, 2);
            }
            if (auto* g = m_nightEffect->GetBlendState()) g->SetState(0, 1, 0);
        }
    }
    m_effectCutLevel = 3;
    m_zoomFactor = 1.5f;
}

Scene2D::~Scene2D() {
    BeginDestroy();
    ClearNameLabels();
    m_mainLight = nullptr;
    Clear();
    LogInfo("release scene2d");
}

void Scene2D::Post(int percent, const char* text) {
    client::IClient* client = Interfaces().client;
    win32::PostMessageA(client ? client->GetMainWindow() : nullptr, kProgressMessage,
                        static_cast<win32::WPARAM>(percent), reinterpret_cast<win32::LPARAM>(InternText(text)));
}

bool Scene2D::Cancelled() const {
    client::IClient* client = Interfaces().client;
    return client && client->IsLoadingCancelled();
}

void Scene2D::ViewportSize(int& width, int& height) const {
    width = height = 0;
    if (render::IRenderer* renderer = Interfaces().renderer) renderer->GetViewportSize(&width, &height);
}

// --- creation -------------------------------------------------------------------------------

bool Scene2D::Create(const char* fileName, int asyncRequest, int, int) {
    if (!fileName) return false;
    SetFileName(fileName);
    Post(20, fileName);
    CreatePictureEffect();
    SetTransitionSpeed(500.0f);
    if (asyncRequest) {
        SetProgress(kLoadStarted);
        SceneData* record = AsyncLoaderRef::Instance().CreateSceneData(this, fileName, 0);
        if (!record) {
            SetProgress(kLoadFailed);
            return false;
        }
        // The slot carries no pointer for the record: it is submitted here.
        record->Submit();
        return true;
    }
    const char* ext = Extension(fileName);
    if (!ext) return false;
    if (strcasecmp(ext, ".bmp") == 0) return CreateOnePictureMap(fileName);
    if (strcasecmp(ext, ".scn2") == 0 || strcasecmp(ext, ".s2d") == 0) {
        if (!Load(fileName)) {
            UpdateMapCorners();
            CreateDefaultMap(kDefaultMap);
        }
        return true;
    }
    return false;
}

bool Scene2D::CreateOnePictureMap(const char* fileName) {
    const std::uint8_t white[4] = {255, 255, 255, 255};
    SetAmbientColor(white);
    char path[512] = {};
    common::IResFileSystem* files = Interfaces().resFileSystem;
    if (!files || !files->ResolvePath(path, sizeof path, fileName)) std::snprintf(path, sizeof path, "%s", fileName);
    if (char* dot = std::strrchr(path, '.')) *dot = '\0';
    int width = 2000, height = 2000;
    render::IRenderer* renderer = Interfaces().renderer;
    render::ITexture* texture = renderer ? renderer->LoadTexture(fileName, 0, 0, -3, 0, 0, 0) : nullptr;
    if (texture) {
        std::uint32_t w = 0, h = 0;
        texture->GetSize(&w, &h);
        width = static_cast<int>(std::min<std::uint32_t>(w, 1u << 20));
        height = static_cast<int>(std::min<std::uint32_t>(h, 1u << 20));
        renderer->ReleaseTexture(texture);
    } else {
        LogWarning("场景贴图:%s 创建失败!", fileName);
    }
    InitGround(path, width, height);
    m_mapSize[0] = width;
    m_mapSize[1] = height;
    m_camera.type = 0;
    m_camera.dist = 1000.0f;
    m_camera.angle = 20.0f;
    m_camera.fov = 16.0f;
    if (Camera* camera = MakeLookDownCamera(1000.0f, 16.0f, 100.0f, 1000000.0f)) SetActiveCamera(camera);
    const std::uint8_t* a = SceneBase::GetAmbientColor();
    m_mainLight = MakeMainLight(Vec3(-2.0f, -4.0f, 5.0f), Vec4(a[0] / 255.0f, a[1] / 255.0f, a[2] / 255.0f, a[3] / 255.0f));
    if (m_mainLight) m_mainLight->SetColorKeyA(Vec4(1.0f, 1.0f, 1.0f, 1.0f), 0.0f);
    Lights()->Apply();
    Lights()->Bind(true);
    std::string data = fileName;
    data.replace(data.rfind('.'), std::string::npos, ".data");
    Post(20, "Init light");
    return LoadPathData(data.c_str());
}

Camera* Scene2D::MakeLookDownCamera(float dist, float fov, float zNear, float zFar) {
    Camera* camera = CreateCamera(true);
    if (!camera) return nullptr;
    const float t = std::tan(m_camera.angle * kPi / 180.0f);
    float angleDegrees = m_camera.angle;
    if (!(std::fabs(t) > 1e-6f) || !std::isfinite(t)) {
        LogWarning("Scene2D: camera angle %g looks along the ground; 20 used", static_cast<double>(m_camera.angle));
        angleDegrees = 20.0f;
    }
    if (!(dist > 0.0f) || !std::isfinite(dist)) {
        LogWarning("Scene2D: camera distance %g refused; 1000 used", static_cast<double>(dist));
        dist = 1000.0f;
    }
    Vec3 d(0.0f, -1.0f, 1.0f / std::tan(angleDegrees * kPi / 180.0f));
    Vec3SetLength(d, dist);
    camera->SetPositionAndDirection(-d, d, Vec3(0.0f, 1.0f, 0.0f));
    camera->SetParam6(fov);
    int vw = 0, vh = 0;
    ViewportSize(vw, vh);
    if (vw >= 2 && vh >= 2)
        camera->SetParam2(static_cast<float>(vw) / static_cast<float>(vh));
    else
        LogWarning("Scene2D: viewport %d x %d too small for an aspect; kept", vw, vh);
    camera->SetParam4(zNear, zFar);
    return camera;
}

Light* Scene2D::MakeMainLight(const Vec3& direction, const Vec4& ambient) {
    Light* light = CreateLight(3);
    if (!light) return nullptr;
    light->SetColorKeyA(Vec4(1.0f, 1.0f, 1.0f, 1.0f), 0.0f);
    light->SetColorKeyC(Vec4(1.0f, 1.0f, 1.0f, 1.0f), 0.0f);
    light->SetColorKeyC(ambient, 0.0f);
    light->SetName("MainLight");
    light->SetUnbounded(true);
    light->SetEnabled(true);
    light->SetDirection(direction);
    return light;
}

bool Scene2D::Load(const char* path) {
    const std::string copy = path ? path : "";
    if (!LoadXml(copy.c_str())) {
        // An asynchronous load that finds nothing must end, not stay started.
        if (GetProgress() == kLoadStarted) SetProgress(kLoadFailed);
        return false;
    }
    SetModelsFromFile(GetModelCount());
    if (m_ground) m_ground->SetReady(false);
    UpdateMapCorners();
    return true;
}

void Scene2D::FreeXml() {
    m_xmlRoot.Reset();
    m_xmlDocument.Reset();
}

bool Scene2D::LoadXml(const char* path) {
    Post(15, path);
    LogInfo("Loading scene2d file %s ....", path);
    common::IResFileSystem* files = Interfaces().resFileSystem;
    common::IResFile* file = files ? files->OpenFile(path, 0) : nullptr;
    if (!file) {
        LogError("2d场景文件 %s 不存在!", path);
        return false;
    }
    // A second load replaces what the first one read.
    FreeXml();
    m_filePaths.clear();
    common::IUtils* utils = Interfaces().utils;
    m_xmlDocument = XmlNodePtr(utils ? utils->CreateXmlDocument() : nullptr);
    const std::uint8_t* data = file->GetData();
    const std::uint32_t size = data ? file->GetSize() : 0;
    if (!m_xmlDocument || !m_xmlDocument->Parse(data, size)) {
        LogError("Scene file xml format error");
        SetProgress(kLoadFailed);
        file->Close();
        LogError("读取特效配置文件失败");
        FreeXml();
        return false;
    }
    file->Close();
    m_xmlRoot = m_xmlDocument.FirstChild("Scene2D");
    common::IXmlNode* root = m_xmlRoot.Get();

    // Light.
    XmlNodePtr light = m_xmlRoot ? m_xmlRoot.FirstChild("Light") : XmlNodePtr();
    std::uint8_t ambient[4] = {255, 255, 255, 255};
    if (light) {
        ambient[0] = ColourByte(Attr(light.Get(), nullptr, "R", "255"));
        ambient[1] = ColourByte(Attr(light.Get(), nullptr, "G", "255"));
        ambient[2] = ColourByte(Attr(light.Get(), nullptr, "B", "255"));
    }
    SetAmbientColor(ambient);

    // Model specular.
    XmlNodePtr specular = m_xmlRoot ? m_xmlRoot.FirstChild("Model_Specular") : XmlNodePtr();
    if (!specular) {
        const std::uint8_t none[4] = {0, 0, 0, 0};
        SetModelSpecularColor(none);
        EnableModelSpecular(false);
    } else {
        const std::uint8_t r = ColourByte(Attr(specular.Get(), nullptr, "R", "255"));
        const std::uint8_t g = ColourByte(Attr(specular.Get(), nullptr, "G", "255"));
        const std::uint8_t b = ColourByte(Attr(specular.Get(), nullptr, "B", "255"));
        EnableModelSpecular(Attr(specular.Get(), nullptr, "Enable", "False") == "True");
        const std::uint8_t colour[4] = {b, g, r, 255};
        SetModelSpecularColor(colour);
    }

    // Map block.
    const std::string mapPath = Attr(root, "MapBlock", "MapPath");
    float mapSize[2];
    Float2(root, "MapBlock", "MapSize", mapSize, 0.0f, 0.0f);
    int width = 0, height = 0;
    if (std::isfinite(mapSize[0]) && std::isfinite(mapSize[1]) && mapSize[0] >= 0.0f && mapSize[1] >= 0.0f &&
        mapSize[0] <= kMaxMapSide && mapSize[1] <= kMaxMapSide) {
        width = static_cast<int>(mapSize[0]);
        height = static_cast<int>(mapSize[1]);
    } else {
        LogWarning("Scene2D: MapSize %g,%g refused", static_cast<double>(mapSize[0]), static_cast<double>(mapSize[1]));
    }
    InitGround(mapPath.c_str(), width, height);
    m_mapSize[0] = width;
    m_mapSize[1] = height;
    m_effectCutLevel = UIntAttr(root, "MapBlock", "EffectCutLevel", 0);

    // File table.
    XmlNodePtr entities = m_xmlRoot ? m_xmlRoot.FirstChild("Entities") : XmlNodePtr();
    XmlNodePtr all = entities ? entities.FirstChild("AllFiles") : XmlNodePtr();
    const int count = all ? all->CountChildElements(nullptr) : 0;
    for (int i = 0; i < count; ++i) {
        XmlNodePtr child = all.ChildAt(nullptr, i);
        m_filePaths.push_back(Attr(child.Get(), nullptr, "Path"));
    }

    InitCamera();
    InitMainLight();
    LoadSounds();
    return true;
}

bool Scene2D::InitGround(const char* path, int width, int height) {
    if (!m_ground) m_ground = std::make_unique<ScreenMgr>(this);
    m_groundSize[0] = width;
    m_groundSize[1] = height;
    if (!m_ground->Init(path, m_groundSize)) {
        m_ground.reset();
        return false;
    }
    return true;
}

bool Scene2D::LoadPathData(const char* name) {
    if (!name) return false;
    // The grid it replaces goes now.
    m_pathGrid = std::make_unique<PathGrid>();
    common::IResFileSystem* files = Interfaces().resFileSystem;
    common::IResFile* file = files ? files->OpenFile(name, 0) : nullptr;
    if (!file) {
        LogError("寻路数据文件: %s 丢失!", name);
        return true;
    }
    const std::uint8_t* data = file->GetData();
    const bool ok = m_pathGrid->LoadFromMemory(data, data ? file->GetSize() : 0);
    file->Close();
    return ok;
}

bool Scene2D::LoadAStar() {
    const std::string name = Attr(m_xmlRoot.Get(), "MapBlock", "MapPath") + ".data";
    Post(10, name.c_str());
    if (!LoadPathData(name.c_str())) {
        win32::MessageBoxA(nullptr, "LoadAStar Failed.", "warning", win32::MB_OK);
        return false;
    }
    return true;
}

bool Scene2D::InitCamera() {
    Post(15, "Init Camear data");
    Camera* camera = CreateCamera(true);
    XmlNodePtr entities = m_xmlRoot ? m_xmlRoot.FirstChild("Entities") : XmlNodePtr();
    common::IXmlNode* e = entities.Get();
    CameraParams p = m_camera;
    p.type = UIntAttr(e, "Camera", "type", p.type);
    p.fov = FloatAttr(e, "Camera", "fov", p.fov);
    const float dist = FloatAttr(e, "Camera", "dist", p.dist);
    const float angle = FloatAttr(e, "Camera", "angle", p.angle);
    const float size = FloatAttr(e, "Camera", "size", p.size);
    // Values that would divide by zero keep the old ones.
    if (dist > 0.0f && std::isfinite(dist))
        p.dist = dist;
    else
        LogWarning("Scene2D: camera dist %g refused", static_cast<double>(dist));
    const float t = std::tan(angle * kPi / 180.0f);
    if (std::isfinite(t) && std::fabs(t) > 1e-6f)
        p.angle = angle;
    else
        LogWarning("Scene2D: camera angle %g refused", static_cast<double>(angle));
    if (size > 0.0f && std::isfinite(size))
        p.size = size;
    else
        LogWarning("Scene2D: camera size %g refused", static_cast<double>(size));
    m_camera = p;
    if (!camera) return true;
    Vec3 d(0.0f, -1.0f, 1.0f / std::tan(p.angle * kPi / 180.0f));
    Vec3SetLength(d, p.dist);
    camera->SetPositionAndDirection(-d, d, Vec3(0.0f, 1.0f, 0.0f));
    int vw = 0, vh = 0;
    ViewportSize(vw, vh);
    if (p.type == 1) {
        camera->SetOrthographic(static_cast<float>(vw) / p.size, static_cast<float>(vh) / p.size, 10.0f, 10000.0f);
    } else {
        camera->SetParam6(p.fov);
        if (vw >= 2 && vh >= 2)
            camera->SetParam2(static_cast<float>(vw) / static_cast<float>(vh));
        else
            LogWarning("Scene2D: viewport %d x %d too small for an aspect; kept", vw, vh);
        if (p.dist >= 600.0f)
            camera->SetParam4(100.0f, 1000000.0f);
        else
            camera->SetParam4(10.0f, 100000.0f);
    }
    SetActiveCamera(camera);
    CorrectCameraForTarget();
    return true;
}

void Scene2D::CorrectCameraForTarget() {
    render::IRenderer* renderer = Interfaces().renderer;
    int tw = 0, th = 0;
    if (!renderer || !renderer->GetRenderTarget(0, &tw, &th)) return;
    if (tw == m_targetSize[0] && th == m_targetSize[1]) return;
    const bool resized = m_targetSize[0] > 0;
    m_targetSize[0] = tw;
    m_targetSize[1] = th;
    Camera* camera = GetActiveCamera();
    if (!camera || camera->GetParam20() != 0) return;
    if (tw < 1 || th < 1) {
        LogWarning("Scene2D: render target %d x %d has no aspect", tw, th);
        return;
    }
    camera->SetParam2(static_cast<float>(tw) / static_cast<float>(th));
    const float scale = static_cast<float>(m_mapSize[1]) / static_cast<float>(th);
    if (scale > 0.0f) camera->GetParam8(Vec3(scale, scale, 1.0f));
    // A frame of another size than the one the view was set for: the offsets follow it, and
    // the models placed through the old projection are placed again.
    if (resized && m_root) {
        ApplyView();
        m_root->MarkDirty(true);
    }
}

bool Scene2D::InitMainLight() {
    Post(15, "Init light data");
    float direction[3] = {-2.0f, -4.0f, 5.0f};
    if (m_xmlRoot) {
        const float def[3] = {-2.0f, -4.0f, 5.0f};
        ReadXmlFloat3(m_xmlRoot.Get(), "Global", "direction", direction, def);
    }
    if (m_mainLight) win32::OutputDebugStringA("m_light_for_shadow is not null! please check!\n");
    const std::uint8_t* a = SceneBase::GetAmbientColor();
    m_mainLight = MakeMainLight(Vec3(direction[0], direction[1], direction[2]),
                                Vec4(a[0] / 255.0f, a[1] / 255.0f, a[2] / 255.0f, a[3] / 255.0f));
    Lights()->Bind(true);
    SetProgress(0);
    Post(15, "read config files");
    return true;
}

void Scene2D::CreateDefaultMap(const char* picture) {
    InitGround(picture, 1000, 1000);
    m_mapSize[0] = m_mapSize[1] = 1000;
    m_camera.type = 0;
    m_camera.dist = 3000.0f;
    m_camera.angle = 20.0f;
    m_camera.fov = 16.0f;
    if (Camera* camera = MakeLookDownCamera(3000.0f, 16.0f, 100.0f, 10000.0f)) SetActiveCamera(camera);
    m_mainLight = MakeMainLight(Vec3(-2.0f, -4.0f, 5.0f), Vec4(0.0f, 0.0f, 0.0f, 1.0f));
    Lights()->Bind(true);
    SetProgress(0);
}

void Scene2D::UpdateMapCorners() {
    UpdateView(m_view[0], m_view[1]);
    const float w = static_cast<float>(m_mapSize[0]), h = static_cast<float>(m_mapSize[1]);
    const float points[4][2] = {{0.0f, 0.0f}, {w, 0.0f}, {0.0f, h}, {w, h}};
    for (int i = 0; i < 4; ++i) ScreenToWorld(points[i], &m_corners[i]);
}

// --- sounds ---------------------------------------------------------------------------------

void Scene2D::ReadSoundEntries(common::IXmlNode* sounds) {
    m_sounds.clear();
    const int count = sounds ? sounds->CountChildElements(nullptr) : 0;
    for (int i = 0; i < count; ++i) {
        XmlNodePtr child(sounds->ChildElement(nullptr, i));
        const auto id = static_cast<std::int32_t>(UIntAttr(child.Get(), nullptr, "id", static_cast<std::uint32_t>(-100)));
        float position[2];
        Float2(child.Get(), nullptr, "Position", position, 0.0f, 0.0f);
        if (id > 0) m_sounds.push_back({id, position[0], position[1], 0});
    }
}

bool Scene2D::LoadSounds() {
    XmlNodePtr entities = m_xmlRoot ? m_xmlRoot.FirstChild("Entities") : XmlNodePtr();
    XmlNodePtr sounds = entities ? entities.FirstChild("Sounds") : XmlNodePtr();
    if (sounds) ReadSoundEntries(sounds.Get());
    client::IAudio* audio = Interfaces().audio;
    if (audio) audio->StopMusic();
    common::IResFileSystem* files = Interfaces().resFileSystem;
    common::IResFile* file = files ? files->OpenFile("../config/music.csv", 0) : nullptr;
    if (!file) return false;
    const std::uint8_t* data = file->GetData();
    const std::string text(reinterpret_cast<const char*>(data ? data : reinterpret_cast<const std::uint8_t*>("")),
                           data ? file->GetSize() : 0);
    if (audio) audio->LoadSoundConfig(text.c_str());
    file->Close();
    for (SoundEntry& e : m_sounds) e.handle = PlaySoundAt(e.id, static_cast<int>(e.x), static_cast<int>(e.y));
    return true;
}

std::uint32_t Scene2D::PlaySoundAt(std::int32_t key, int x, int y) {
    client::IAudio* audio = Interfaces().audio;
    std::uint8_t info[client::IAudio::kSoundInfoSize] = {};
    if (!audio || !audio->GetSoundInfo(key, info)) return 0;
    return audio->PlaySoundAt(info, x, y);
}

std::intptr_t Scene2D::ForwardAudio31(std::intptr_t a, std::intptr_t b) {
    client::IAudio* audio = Interfaces().audio;
    return audio ? audio->Forward31(a, b) : 0;
}

std::intptr_t Scene2D::ForwardAudio32(std::intptr_t a, std::intptr_t b) {
    client::IAudio* audio = Interfaces().audio;
    return audio ? audio->Forward32(a, b) : 0;
}

// --- sections -------------------------------------------------------------------------------

bool Scene2D::LoadWaters() {
    Post(15, "Init Waters data");
    XmlNodePtr waters = m_xmlRoot ? m_xmlRoot.FirstChild("Waters") : XmlNodePtr();
    const int count = waters ? waters->CountChildElements(nullptr) : 0;
    if (Cancelled()) return true;
    // Carried from block to block when a block leaves them out; the first block starts here.
    float v[4] = {0.02f, 0.03f, 0.02f, 0.03f};
    for (int i = 0; i < count; ++i) {
        XmlNodePtr child = waters.ChildAt(nullptr, i);
        common::IXmlNode* n = child.Get();
        float position[2];
        Float2(n, nullptr, "position", position, 0.0f, 0.0f);
        const std::string watermap = Attr(n, nullptr, "watermap");
        const std::string normalmap = Attr(n, nullptr, "normalmap");
        // The scene file's blocks move with the view (the host moves those it adds itself).
        WaterBlock* block = m_ground ? m_ground->AddWaterBlock(position, watermap.c_str(), normalmap.c_str(), true)
                                     : nullptr;
        WaterValues w{};
        w.position[0] = position[0];
        w.position[1] = position[1];
        std::sscanf(Attr(n, nullptr, "mapoffset").c_str(), "%f,%f,%f,%f", &v[0], &v[1], &v[2], &v[3]);
        std::memcpy(w.mapOffset, v, sizeof v);
        std::sscanf(Attr(n, nullptr, "tempvars").c_str(), "%f,%f,%f,%f", &v[0], &v[1], &v[2], &v[3]);
        std::memcpy(w.tempVars, v, sizeof v);
        float ripple[2];
        Float2(n, nullptr, "ripplescale", ripple, position[0], position[1]);
        w.rippleScale[0] = ripple[0];
        w.rippleScale[1] = ripple[1];
        w.speed = FloatAttr(n, nullptr, "speed", 0.01f);
        if (block) {
            block->SetMapOffset(w.mapOffset[0], w.mapOffset[1], w.mapOffset[2], w.mapOffset[3]);
            block->SetTempVars(w.tempVars[0], w.tempVars[1], w.tempVars[2], w.tempVars[3]);
            block->SetRippleScale(w.rippleScale[0], w.rippleScale[1], 0.0f, 0.0f);
            block->SetSpeed(w.speed);
        }
        m_watersRead.push_back(w);
    }
    return true;
}

bool Scene2D::LoadFxes() {
    Post(15, "Init Effect data");
    XmlNodePtr entities = m_xmlRoot ? m_xmlRoot.FirstChild("Entities") : XmlNodePtr();
    XmlNodePtr fxes = entities ? entities.FirstChild("Fxes") : XmlNodePtr();
    if (Cancelled()) return true;
    if (!ReadEntities(fxes.Get())) {
        LogError("加载场景特效失败");
        return false;
    }
    return true;
}

bool Scene2D::LoadModels() {
    Post(15, "Init models data");
    XmlNodePtr entities = m_xmlRoot ? m_xmlRoot.FirstChild("Entities") : XmlNodePtr();
    XmlNodePtr models = entities ? entities.FirstChild("Models") : XmlNodePtr();
    if (Cancelled()) return true;
    if (!ReadEntities(models.Get())) {
        LogError("加载场景模型特效失败");
        return false;
    }
    return true;
}

namespace {

// The children "<name>_0" .. "<name>_(num - 1)" of a plane-effect section; "num" is capped at
// the section's child count.
template <typename Make>
void ForEachNumbered(common::IXmlNode* root, const char* section, Make make) {
    XmlNodePtr element(root ? root->FirstChildElement(section) : nullptr);
    const auto num = static_cast<std::int32_t>(UIntAttr(element.Get(), nullptr, "num", 0));
    const int children = element ? element->CountChildElements(nullptr) : 0;
    std::int32_t count = num;
    if (num > children) {
        LogWarning("Scene2D: %s num %d above its %d children; capped", section, num, children);
        count = children;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%s_%d", section, i);
        XmlNodePtr child(element->FirstChildElement(name));
        make(child.Get());
    }
}

std::string CutTexture(const std::string& text) {
    std::string t = text.substr(0, 255);
    const std::size_t at = t.find("sfx\\");
    return at == std::string::npos ? t : t.substr(at);
}

}  // namespace

bool Scene2D::LoadPlaneFogs() {
    ForEachNumbered(m_xmlRoot.Get(), "PlaneFog", [this](common::IXmlNode* n) {
        const std::string texture = CutTexture(Attr(n, nullptr, "TextureName"));
        auto* fog = static_cast<PlaneFog*>(CreatePlaneFog(texture.c_str()));
        if (!fog) return;
        fog->SetRect(FloatAttr(n, nullptr, "left", 0.0f), FloatAttr(n, nullptr, "top", 0.0f),
                     FloatAttr(n, nullptr, "right", 0.0f), FloatAttr(n, nullptr, "bottom", 0.0f));
        fog->SetSpeedX(FloatAttr(n, nullptr, "SpeedX", 0.0f));
        fog->SetSpeedY(FloatAttr(n, nullptr, "SpeedY", 0.0f));
        fog->SetAlphaControl(FloatAttr(n, nullptr, "AlphaControl", 0.0f));
        fog->SetPower(FloatAttr(n, nullptr, "Power", 0.0f));
        const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        if (n) ReadXmlFloat4(n, nullptr, "color", colour, white);
        fog->SetOnGround(BoolAttr(n, nullptr, "onGround", false));
        fog->SetColor(colour[0], colour[1], colour[2], colour[3]);
        m_planeFogs.push_back(fog);
    });
    return true;
}

bool Scene2D::LoadElectricities() {
    ForEachNumbered(m_xmlRoot.Get(), "Electricity", [this](common::IXmlNode* n) {
        auto* arc = static_cast<Electricity*>(CreateElectricity());
        if (!arc) return;
        // The endpoints come before the width: the bounds keep the constructed margin.
        arc->SetEndpoints(FloatAttr(n, nullptr, "startx", 0.0f), FloatAttr(n, nullptr, "starty", 0.0f),
                          FloatAttr(n, nullptr, "endx", 0.0f), FloatAttr(n, nullptr, "endy", 0.0f));
        arc->SetWidth(FloatAttr(n, nullptr, "Width", 0.0f));
        arc->SetHeight(FloatAttr(n, nullptr, "Height", 0.0f));
        arc->SetGlowStrength(FloatAttr(n, nullptr, "GlowStrength", 0.0f));
        arc->SetGlowFallOff(FloatAttr(n, nullptr, "GlowFallOff", 0.0f));
        arc->SetSpeed(FloatAttr(n, nullptr, "Speed", 0.0f));
        arc->SetSampleDist(FloatAttr(n, nullptr, "SampleDist", 0.0f));
        arc->SetAmbientGlow(FloatAttr(n, nullptr, "AmbientGlow", 0.0f));
        arc->SetAmbientGlowHeightScale(FloatAttr(n, nullptr, "AmbientGlowHeightScale", 0.0f));
        arc->SetVertNoise(FloatAttr(n, nullptr, "VertNoise", 0.0f));
        arc->SetOnGround(BoolAttr(n, nullptr, "onGround", false));
        m_electricities.push_back(arc);
    });
    return true;
}

bool Scene2D::LoadBlazes() {
    ForEachNumbered(m_xmlRoot.Get(), "Blaze", [this](common::IXmlNode* n) {
        const std::string texture = Attr(n, nullptr, "TextureName").substr(0, 255);
        auto* blaze = static_cast<Blaze*>(CreateBlaze(texture.c_str(), "builtin/textures/FireDistortion.tga"));
        if (!blaze) return;
        blaze->SetRect(FloatAttr(n, nullptr, "left", 0.0f), FloatAttr(n, nullptr, "top", 0.0f),
                       FloatAttr(n, nullptr, "right", 0.0f), FloatAttr(n, nullptr, "bottom", 0.0f));
        blaze->SetBumpScale(FloatAttr(n, nullptr, "BumpScale", 0.0f));
        blaze->SetDizze(FloatAttr(n, nullptr, "Dizze", 0.0f));
        blaze->SetLayerSpeed(FloatAttr(n, nullptr, "LayerSpeedx", 0.0f), FloatAttr(n, nullptr, "LayerSpeedy", 0.0f),
                             FloatAttr(n, nullptr, "LayerSpeedz", 0.0f));
        blaze->SetDistortionAmount(FloatAttr(n, nullptr, "DistortionAmountx", 0.0f),
                                   FloatAttr(n, nullptr, "DistortionAmounty", 0.0f),
                                   FloatAttr(n, nullptr, "DistortionAmountz", 0.0f));
        blaze->SetOnGround(BoolAttr(n, nullptr, "onGround", false));
        m_blazes.push_back(blaze);
    });
    return true;
}

// The scene does not list what these make: the loaders keep theirs, a host caller owns its.
void* Scene2D::CreatePlaneFog(const char* texture) { return texture ? NewObject<PlaneFog>(texture) : nullptr; }
void* Scene2D::CreateElectricity() { return NewObject<Electricity>(); }
void* Scene2D::CreateBlaze(const char* texture, const char* distortion) {
    if (!texture || !distortion) return nullptr;
    return NewObject<Blaze>(texture, distortion);
}

// --- entities and pictures ------------------------------------------------------------------

IPicture* Scene2D::GetRootPicture() { return m_layers[kObjectLayer]; }

IPicture* Scene2D::CreatePicture(const char* fileName) {
    PictureBase* layer = m_layers[kObjectLayer];
    if (!layer) return nullptr;
    if (!fileName) {
        PictureEmpty* empty = NewObject<PictureEmpty>(this);
        if (empty) layer->AddChild(empty, false);
        return empty;
    }
    const char* ext = Extension(fileName);
    if (!ext) return nullptr;
    if (ExtensionIn(ext, {".ems", ".spr"})) {
        UVSprite* sprite = NewObject<UVSprite>(this);
        if (!sprite) return nullptr;
        if (!sprite->Load(fileName)) {
            sprite->DeletingDestructor();
            return nullptr;
        }
        layer->AddChild(sprite, false);
        return sprite;
    }
    if (ExtensionIn(ext, {".bmp", ".jpg", ".dds", ".png", ".tga"})) {
        Picture* picture = NewObject<Picture>(this);
        if (!picture) return nullptr;
        if (!picture->Load(fileName)) {
            picture->DeletingDestructor();
            return nullptr;
        }
        layer->AddChild(picture, false);
        picture->OnCreated();
        return picture;
    }
    if (ExtensionIn(ext, {".mom", ".fx", ".sfx", ".emf"})) {
        SpaceObject* object = CreateObjectByFileName(fileName);
        if (!object) return nullptr;
        Picture3D* picture = NewObject<Picture3D>(this);
        if (!picture || !picture->AttachTo(object, GetActiveCamera())) {
            // Nothing may hold the object now: it leaves the scene with the picture.
            if (picture) picture->DeletingDestructor();
            ReleaseObject(object, true);
            return nullptr;
        }
        layer->AddChild(picture, false);
        picture->OnCreated();
        return picture;
    }
    return nullptr;
}

IPicture* Scene2D::CreatePicture3D(IVisibleObject* object) {
    PictureBase* layer = m_layers[kObjectLayer];
    if (!object || !layer) return nullptr;
    Picture3D* picture = NewObject<Picture3D>(this);
    if (!picture) return nullptr;
    if (!picture->AttachTo(object->GetObject(), GetActiveCamera())) {
        picture->DeletingDestructor();
        return nullptr;
    }
    layer->AddChild(picture, false);
    return picture;
}

bool Scene2D::ReadEntities(common::IXmlNode* element) {
    const int count = element ? element->CountChildElements(nullptr) : 0;
    for (int i = 0; i < count; ++i) {
        XmlNodePtr child(element->ChildElement(nullptr, i));
        common::IXmlNode* n = child.Get();
        const std::int32_t index = IntAttr(n, nullptr, "FilePathIndex", 0);
        if (index < 0 || static_cast<std::size_t>(index) >= m_filePaths.size()) continue;
        const std::string& path = m_filePaths[static_cast<std::size_t>(index)];
        const char* ext = Extension(path.c_str());
        IPicture* picture = CreatePicture(path.c_str());
        if (!picture) {
            win32::MessageBoxA(nullptr, path.c_str(), "CreatePicture Error", win32::MB_OK);
            continue;
        }
        auto* base = PictureBase::FromInterface(picture);
        picture->SetName(Attr(n, nullptr, "Name").c_str());
        float position[2];
        Float2(n, nullptr, "Position", position, 0.0f, 0.0f);
        picture->SetLocalPosition(position[0], position[1]);
        if (IModel* model = picture->GetAttachedModel()) {
            const std::uint16_t stand = model->FindAnimation("stand", true);
            if (stand != 0xFFFF) model->PlaySkeletalAnimation(stand, -1.0f, 16, 0.0f, 2, 1.0f);
        }
        // Stored files rely on this test being case-sensitive.
        const bool sprite = ext && (std::strcmp(ext, ".ems") == 0 || std::strcmp(ext, ".spr") == 0);
        if (sprite) {
            picture->Rotate(FloatAttr(n, nullptr, "Rotation", 0.0f));
        } else {
            float m[16];
            float identity[16] = {};
            identity[0] = identity[5] = identity[10] = identity[15] = 1.0f;
            std::memcpy(m, identity, sizeof m);
            ReadXmlMatrix(n, nullptr, "Rotation", m, identity);
            if (ISpaceObject* object = picture->GetAttachedSpaceObject()) {
                Matrix rotation;
                std::memcpy(rotation.m, m, sizeof m);
                object->SetRotation(rotation);
            }
        }
        const bool occlusion = BoolAttr(n, nullptr, "Occlusion", false);
        const bool far = BoolAttr(n, nullptr, "Far", false);
        float scale[2];
        Float2(n, nullptr, "Scale", scale, 1.0f, 1.0f);
        const float speed = FloatAttr(n, nullptr, "speed", 0.0f);
        float boundMax[2], boundMin[2];
        Float2(n, nullptr, "boundingMax", boundMax, 0.0f, 0.0f);
        Float2(n, nullptr, "boundingMin", boundMin, 0.0f, 0.0f);
        const std::uint32_t level = UIntAttr(n, nullptr, "EffectLevel", 0);
        base->SetBoundBox(boundMax, boundMin);
        picture->SetCustomValue(static_cast<std::int32_t>(level));
        base->SetHasBound(1);
        picture->SetCustomFlag(occlusion ? 1 : 0);
        picture->SetLocalScale(scale[0], scale[1]);
        picture->SetAnimDuration(speed);
        picture->SetAnchor(4);
        picture->SetTextureName(path.c_str());
        picture->SetCustomState(far ? 1 : 0);
        if (picture->GetPictureType() == 1) static_cast<Picture3D*>(base)->SetPlacementRefresh(0);
    }
    return true;
}

void Scene2D::DestroyPicture(PictureBase* picture) {
    // A model shown by a dying picture is no longer linked to it.
    if (picture->GetPictureType() == 1) static_cast<Picture3D*>(picture)->Unlink();
    picture->DeletingDestructor();
}

void Scene2D::ReleaseChildren(PictureBase* picture) {
    while (picture->GetChildCount() > 0) {
        auto* child = PictureBase::FromInterface(picture->GetChild(picture->GetChildCount() - 1));
        ReleaseChildren(child);
        DestroyPicture(child);
    }
}

void Scene2D::ReleasePicture(IPicture* picture, bool withChildren) {
    PictureBase* layer = m_layers[kObjectLayer];
    if (!picture || !layer) return;
    auto* base = PictureBase::FromInterface(picture);
    if (base->ParentBase() != layer) return;
    // Children that are not to go are handed up to the layer first.
    if (!withChildren) base->PassChildrenToParent();
    if (!layer->RemoveChild(base, false)) return;
    ReleaseChildren(base);
    DestroyPicture(base);
}

void Scene2D::ReleaseModelPicture(IPicture* picture, bool withChildren) {
    PictureBase* layer = m_layers[kObjectLayer];
    if (!picture || !layer) return;
    auto* base = PictureBase::FromInterface(picture);
    if (base->ParentBase() != layer) return;
    if (picture->GetPictureType() == 1) {
        auto* p3 = static_cast<Picture3D*>(base);
        SpaceObject* object = p3->AttachedObject();
        if (object) {
            if (picture->GetAttachedModel()) LogInfo("Release object Model: %s", picture->GetTextureName().c_str());
            // The picture lets go before the object goes.
            p3->Unlink();
            ReleaseObject(object, true);
        }
    }
    ReleasePicture(picture, withChildren);
}

void Scene2D::ReleaseModel(ISpaceObject* object) {
    PictureBase* layer = m_layers[kObjectLayer];
    if (!object || !layer) return;
    for (PictureBase* child : layer->Children()) {
        if (child->GetPictureType() == 1 && child->GetAttachedSpaceObject() == object) {
            ReleaseModelPicture(child, true);
            return;
        }
    }
}

namespace {

std::uint32_t ColourWord(const std::uint8_t* bgra) {
    return std::uint32_t(bgra[0]) | std::uint32_t(bgra[1]) << 8 | std::uint32_t(bgra[2]) << 16 |
           std::uint32_t(bgra[3]) << 24;
}

template <typename Apply>
void ForEachMaterial(IModel* model, Apply apply) {
    render::IMaterialGroup* set = model ? model->GetMaterialSet() : nullptr;
    const std::uint32_t count = set ? set->GetSlotCount() : 0;
    for (std::uint32_t i = 0; i < count; ++i)
        if (render::IMaterial* material = set->GetSlotMaterial(i)) apply(material);
}

}  // namespace

void Scene2D::ForEachModelMaterial(IModel*, std::uint32_t colour, bool colourOnly) {
    // Only the models of pictures directly under the object layer take the scene's settings.
    PictureBase* layer = m_layers[kObjectLayer];
    if (!layer) return;
    for (PictureBase* child : layer->Children()) {
        if (child->GetPictureType() != 1) continue;
        ForEachMaterial(child->GetAttachedModel(), [&](render::IMaterial* material) {
            if (colourOnly)
                material->SetSpecularColour(colour);
            else
                material->SetSpecularEnabled(m_specularOn != 0);
        });
    }
}

void Scene2D::EnableModelSpecular(bool enable) {
    m_specularOn = enable ? 1 : 0;
    ForEachModelMaterial(nullptr, 0, false);
}

void Scene2D::SetModelSpecularColor(const std::uint8_t* colour) {
    if (!colour) return;
    std::memcpy(m_specular, colour, sizeof m_specular);
    ForEachModelMaterial(nullptr, ColourWord(m_specular), true);
}

void Scene2D::OnModelLoaded(IModel* face) {
    SceneBase::OnModelLoaded(face);
    auto* model = static_cast<ModelBase*>(face);
    if (!model || !model->GetMesh()) return;
    model->in2DScene = 1;
    model->specularOn = m_specularOn;
    std::memcpy(model->specularColour, m_specular, sizeof m_specular);
    const std::uint32_t colour = ColourWord(m_specular);
    ForEachMaterial(face, [&](render::IMaterial* material) {
        material->SetColourWordA(0);
        if (m_specularOn) material->SetSpecularColour(colour);
        material->SetColourWordB(0xFFFFFFFFu);
    });
}

AreaData* Scene2D::CreateAreaData(const char* fileName) {
    if (!fileName) return nullptr;
    auto* area = NewObject<AreaData>();
    if (area && !area->LoadFromBitmap(fileName)) {
        delete area;
        return nullptr;
    }
    return area;
}

void* Scene2D::AddWaterBlock(const float* position, const char* watermap, const char* normalmap) {
    return m_ground ? static_cast<void*>(m_ground->AddWaterBlock(position, watermap, normalmap)) : nullptr;
}

ISpaceLines* Scene2D::CreateSpaceLines(int kind, bool vertexColours, std::uint32_t colour) {
    SpaceLines* lines = LineObjects().Create(kind, vertexColours, colour);
    if (lines) AttachObject(lines);
    return lines;
}

// --- path grid ------------------------------------------------------------------------------

int Scene2D::FindPathFree(int sx, int sy, int gx, int gy, void* result) {
    m_pathResult.clear();
    if (!m_pathGrid) return 0;
    m_pathGrid->FindPathFree(sx, sy, gx, gy, m_pathResult);
    if (result) *static_cast<const std::int32_t**>(result) = m_pathResult.data();
    return m_pathResult.empty() ? 0 : m_pathResult[0];
}

int Scene2D::FindPathAvoid2(int sx, int sy, int gx, int gy, void* result) {
    m_pathResult.clear();
    if (!m_pathGrid) return 0;
    m_pathGrid->FindPathAvoid2(sx, sy, gx, gy, m_pathResult);
    if (result) *static_cast<const std::int32_t**>(result) = m_pathResult.data();
    return m_pathResult.empty() ? 0 : m_pathResult[0];
}

int Scene2D::GetLineCells(int x0, int y0, int x1, int y1, int* result) {
    m_lineResult.clear();
    if (!m_pathGrid) return 0;
    const int answer = m_pathGrid->GetLineCells(x0, y0, x1, y1, m_lineResult);
    if (result) *reinterpret_cast<const std::int32_t**>(result) = m_lineResult.data();
    return answer;
}

bool Scene2D::FindNearestFreeCell(int x, int y, int* out) {
    std::int32_t cell[2] = {};
    if (!m_pathGrid || !m_pathGrid->FindNearestFreeCell(x, y, cell)) return false;
    if (out) {
        out[0] = cell[0];
        out[1] = cell[1];
    }
    return true;
}

bool Scene2D::IsCellFree(int x, int y) { return m_pathGrid && m_pathGrid->IsCellFree(x, y); }
bool Scene2D::IsCellNot2(int x, int y) { return m_pathGrid && m_pathGrid->IsCellNot2(x, y); }

bool Scene2D::IsWalkable(float x, float y) {
    if (!m_pathGrid) return false;
    return m_pathGrid->IsCellFree(PathGrid::PixelToCell(x), PathGrid::PixelToCell(y));
}

bool Scene2D::IsGroundOpaqueAt(float x, float y) {
    const float point[2] = {x, y};
    return m_ground && m_ground->IsOpaqueAt(point);
}

// --- clear ----------------------------------------------------------------------------------

void Scene2D::Clear() {
    for (PlaneFog* fog : m_planeFogs) delete fog;
    m_planeFogs.clear();
    for (Electricity* arc : m_electricities) delete arc;
    m_electricities.clear();
    for (Blaze* blaze : m_blazes) delete blaze;
    m_blazes.clear();
    render::IRenderer* renderer = Interfaces().renderer;
    if (m_renderView && renderer) renderer->ReleaseRenderView(static_cast<render::IRenderView*>(m_renderView));
    m_renderView = nullptr;
    if (client::IClient* client = Interfaces().client) client->CancelAsyncRequests(this);
    if (common::IAsyncLoader* loader = Interfaces().asyncLoader) loader->CancelOwner(this);
    // The pictures go before the scene's objects: a Picture3D never sees its object freed.
    m_collected.clear();
    m_secondary.clear();
    m_drawList.clear();
    m_farList.clear();
    m_behindMasks.clear();
    if (m_root) {
        ReleaseChildren(m_root);
        m_root->DeletingDestructor();
    }
    m_root = nullptr;
    for (PictureBase*& layer : m_layers) layer = nullptr;
    m_mainLight = nullptr;
    SceneBase::Clear();
    m_pathGrid.reset();
    if (m_nightEffect && renderer) renderer->ReleaseEffect(m_nightEffect);
    m_nightEffect = nullptr;
    m_ground.reset();
    FreeXml();
    ReleaseZoomResources();
}

// --- zoom, lights, cameras ------------------------------------------------------------------

void Scene2D::AdjustZoom(bool on, float delta) {
    m_zoomOn = on ? 1 : 0;
    if (std::isfinite(delta)) m_zoomFactor = std::clamp(m_zoomFactor + delta, 0.5f, 1.5f);
}

void Scene2D::GetZoom(bool* on, float* factor) {
    if (on) *on = m_zoomOn != 0;
    if (factor) *factor = m_zoomFactor;
}

void Scene2D::SetAmbientColor(const std::uint8_t* colour) {
    SceneBase::SetAmbientColor(colour);
    if (m_mainLight && colour)
        m_mainLight->SetColorKeyC(Vec4(colour[0] / 255.0f, colour[1] / 255.0f, colour[2] / 255.0f, colour[3] / 255.0f),
                                  0.0f);
}

bool Scene2D::SetActiveCamera(Camera* camera) {
    if (!SceneBase::SetActiveCamera(camera)) return false;
    if (PictureBase* layer = m_layers[kObjectLayer])
        for (PictureBase* child : layer->Children())
            if (child->GetPictureType() == 1) static_cast<Picture3D*>(child)->SetAttachTarget(camera);
    return true;
}

template <typename Visit>
void Scene2D::ForEachPicture3D(PictureBase* picture, Visit& visit) {
    if (!picture) return;
    if (picture->GetPictureType() == 1) visit(static_cast<Picture3D*>(picture));
    for (PictureBase* child : picture->Children()) ForEachPicture3D(child, visit);
}

void Scene2D::DestroyObject(ISpaceObject* face) {
    auto* object = static_cast<SpaceObject*>(face);
    if (!object) return;
    const bool camera = object->GetObjectType() == 2;
    std::vector<Picture3D*> followers;
    auto visit = [&](Picture3D* picture) {
        if (picture->AttachedObject() == object) picture->Unlink();
        if (camera && picture->GetAttachTarget() == object) followers.push_back(picture);
    };
    ForEachPicture3D(m_root, visit);
    // Not followed while the camera goes: the active one is chosen again by the removal.
    for (Picture3D* picture : followers) picture->SetAttachTarget(nullptr);
    SceneBase::DestroyObject(face);
    Camera* active = GetActiveCamera();
    for (Picture3D* picture : followers) picture->SetAttachTarget(active);
}

void Scene2D::PrepareFrame() { UpperTextMgr::Instance().RenderAll(); }

}  // namespace quor::world
