#include "world/scene/SceneFileReader.h"

#include <cstring>
#include <string>

#include "platform/host/IRenderer.h"
#include "platform/host/ICollisionOwner.h"
#include "platform/host/IEffect.h"
#include "platform/host/IMaterial.h"
#include "platform/host/IResFileSystem.h"
#include "platform/host/ITexture.h"
#include "platform/host/IUtils.h"
#include "platform/host/IXmlNode.h"
#include "platform/host/Terrain.h"
#include "platform/host/TerrainObject.h"
#include "world/core/Camera.h"
#include "world/core/IWorld.h"
#include "world/core/IniFile.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Light.h"
#include "world/core/LodGroup.h"
#include "world/core/Log.h"
#include "world/core/XmlNodePtr.h"
#include "world/core/track/ITrack.h"
#include "world/fx/IFxBase.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/Scene3D.h"
#include "world/scene/SceneAudio.h"
#include "world/scene/SkyObject.h"

namespace quor::world {

namespace {

constexpr std::uint32_t kFailed = 0xFFFFFFFFu;
constexpr int kTextSize = 260;

constexpr std::uint32_t kFlagHidden = 0x1;
constexpr std::uint32_t kFlagModel = 0x2;
constexpr std::uint32_t kFlagCollider = 0x10;
constexpr std::uint32_t kFlagEffect = 0x20;
constexpr std::uint32_t kFlagVertexColour = 0x100;
constexpr std::uint32_t kFlagHelper = 0x200;
constexpr std::uint32_t kFlagTransparent = 0x1000;
constexpr std::uint32_t kFlagResetMesh = 0x2000;
constexpr std::uint32_t kFlagSky = 0x20000;

const char* const kBoxFile = "defualt_models\\box.mom";

std::string Text(common::IXmlNode* node, const char* scope, const char* name) {
    char buffer[kTextSize] = {};
    node->GetStringAttribute(scope, name, buffer, kTextSize, "");
    return buffer;
}

XmlNodePtr Child(common::IXmlNode* node, const char* name) {
    return XmlNodePtr(node ? node->FirstChildElement(name) : nullptr);
}

// Calls f(child) for every child element, in order.
template <class F>
void ForEachChild(common::IXmlNode* parent, F f) {
    if (!parent) return;
    for (int i = 0;; ++i) {
        XmlNodePtr child(parent->ChildElement(nullptr, i));
        if (!child) return;
        f(child.Get());
    }
}

Vec3 ReadVec3(common::IXmlNode* node, const char* name, Vec3 def) {
    const float d[3] = {def.x, def.y, def.z};
    float v[3];
    ReadXmlFloat3(node, nullptr, name, v, d);
    return Vec3{v[0], v[1], v[2]};
}

Matrix ReadMatrix(common::IXmlNode* node, const char* name) {
    const Matrix identity = MatrixIdentity();
    Matrix m;
    ReadXmlMatrix(node, nullptr, name, m.m, identity.m);
    return m;
}

void CopyText(char* out, std::size_t size, const std::string& text) {
    std::strncpy(out, text.c_str(), size - 1);
    out[size - 1] = '\0';
}

}  // namespace

void SceneFileReader::SetProgress(std::uint32_t progress) { m_scene->SetProgress(progress); }

SpaceObject* SceneFileReader::TableEntry(std::uint32_t type, std::int64_t index) const {
    if (type >= 3 || index < 0 || index >= static_cast<std::int64_t>(m_tables[type].size())) return nullptr;
    return m_tables[type][static_cast<std::size_t>(index)];
}

bool SceneFileReader::Load(Scene3D* scene, int layerIndex) {
    if (!scene) return false;
    m_scene = scene;
    const std::vector<SceneLayer>& layers = scene->Layers();
    if (layerIndex < 0 || static_cast<std::size_t>(layerIndex) >= layers.size()) return false;
    const std::int32_t outerLayer = m_layerId;
    m_layerId = layers[static_cast<std::size_t>(layerIndex)].id;
    const std::string path = layers[static_cast<std::size_t>(layerIndex)].path;
    LogInfo("Loading scene file %s ....", path.c_str());

    common::IResFileSystem* files = Interfaces().resFileSystem;
    common::IResFile* file = files ? files->OpenFile(path.c_str(), 0) : nullptr;
    if (!file) {
        if (layerIndex == 0 && scene->IsMissingFileExpected())
            LogInfo("Scene file %s is not found!", path.c_str());
        else
            LogError("Scene file %s is not found!", path.c_str());
        SetProgress(kFailed);
        m_layerId = outerLayer;
        return false;
    }
    const std::uint8_t* data = file->GetData();
    const std::uint32_t size = data ? file->GetSize() : 0;
    bool ok = false;
    if (size >= 4 && std::memcmp(data, "RSCN", 4) == 0) {
        ok = LoadBinary(file, path.c_str());
    } else {
        ok = LoadXml(file, path.c_str());
    }
    m_layerId = outerLayer;
    return ok;
}

bool SceneFileReader::LoadXml(common::IResFile* file, const char* path) {
    common::IUtils* utils = Interfaces().utils;
    XmlNodePtr document(utils ? utils->CreateXmlDocument() : nullptr);
    const std::uint8_t* data = file->GetData();
    const bool parsed = document && data && document->Parse(data, file->GetSize());
    // The document keeps its own copy of the text: the file can go.
    file->Close();
    if (!parsed) {
        LogError("Scene file xml format error");
        SetProgress(kFailed);
        return false;
    }
    XmlNodePtr root = document.FirstChild("Scene3D");
    if (!root) root = document.FirstChild("Scene");
    if (!root) {
        LogError("Failed to load scene file %s! It contains no scene data!", path);
        SetProgress(kFailed);
        return false;
    }
    m_scene->SetFileVersion(root->GetIntAttribute(nullptr, "Version", 1));
    XmlNodePtr global = root.FirstChild("Global");
    if (!global) {
        LogError("Failed to load scene file %s! It contains no global data!", path);
        SetProgress(kFailed);
        return false;
    }
    SetProgress(65535);

    if (m_layerId == 0) ReadGlobals(global.Get());
    bool ok = ReadLights(global.Get()) && ReadTerrain(root.Get()) && ReadEntities(root.Get());
    if (ok) {
        m_scene->Audio().LoadXml(root.Get(), m_layerId);
        ok = ReadTracks(root.Get());
    }
    if (ok) {
        ReadPresetCameras(root.Get());
        ReadBspFile(path);
        if (m_layerId == 0) ReadLayers(root.Get());
        ReadGrasses(root.Get());
        ReadCrossTextures(root.Get());
    }
    if (!ok) {
        SetProgress(kFailed);
        return false;
    }
    if (render::TerrainObject* terrain = m_scene->GetTerrainObject()) terrain->UpdateAround(0.0f, 0.0f);
    SetProgress(0);
    return true;
}

// --- globals and lights ------------------------------------------------------------------------

void SceneFileReader::ReadGlobals(common::IXmlNode* global) {
    if (!Child(global, "AmbientLight")) return;
    const std::uint32_t ambient = ReadXmlColor(global, "AmbientLight", "Color", 0xFFFFFFFFu);
    // The scene keeps its ambient colour as the ARGB word's bytes.
    std::uint8_t bytes[4];
    std::memcpy(bytes, &ambient, 4);
    m_scene->SetAmbientColor(bytes);

    FogRecord fog = m_scene->GetFogRecord();
    GrassMgr& grass = m_scene->Grasses();
    if (XmlNodePtr node = Child(global, "Fog")) {
        fog.type = node->GetIntAttribute(nullptr, "Type", fog.type);
        fog.mode = node->GetIntAttribute(nullptr, "Mode", fog.mode);
        const std::uint32_t colour = ReadXmlColor(node.Get(), nullptr, "Color", 0xFFFFFFFFu);
        std::memcpy(fog.colour, &colour, 4);
        fog.start = node->GetFloatAttribute(nullptr, "Start", fog.start);
        fog.end = node->GetFloatAttribute(nullptr, "End", fog.end);
        fog.density = node->GetFloatAttribute(nullptr, "Density", fog.density);
        grass.SetFog(fog.mode > 1, static_cast<std::int32_t>(fog.start), static_cast<std::int32_t>(fog.end));
        // Handed on as floats in the order red, green, blue, alpha.
        const float rgba[4] = {float((colour >> 16) & 0xFF) / 255.0f, float((colour >> 8) & 0xFF) / 255.0f,
                               float(colour & 0xFF) / 255.0f, float(colour >> 24) / 255.0f};
        grass.SetFogColour(rgba);
    } else {
        fog.type = 1;
        grass.SetFog(false, grass.FogStart(), grass.FogEnd());
        const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        grass.SetFogColour(white);
    }
    m_scene->SetFogParams(fog);

    const float zNear = global->GetFloatAttribute("Cameras", "DefaultMinZ", 1.0f);
    const float zFar = global->GetFloatAttribute("Cameras", "DefaultMaxZ", 10000.0f);
    m_scene->SetDefaultZRange(zNear, zFar);
    m_scene->SetBackground(Text(global, "Background", "TextureFile").c_str());
}

bool SceneFileReader::ReadLights(common::IXmlNode* global) {
    XmlNodePtr lights = Child(global, "Lights");
    ForEachChild(lights.Get(), [&](common::IXmlNode* e) {
        const std::uint32_t usage = e->GetUIntAttribute(nullptr, "Usage", 1);
        if ((usage & 1) == 0) return;
        const std::uint32_t type = e->GetUIntAttribute(nullptr, "Type", 3);
        Light* light = m_scene->CreateLight(static_cast<int>(type));
        if (!light) {
            LogWarning("Light of type %u was not made!", type);
            return;
        }
        LightDesc desc;
        CopyText(desc.name, sizeof desc.name, Text(e, nullptr, "Name"));
        desc.enabled = e->GetBoolAttribute(nullptr, "Enable", true) ? 1 : 0;
        const Vec3 position = ReadVec3(e, "Position", Vec3{0, 0, 0});
        const Vec3 direction = ReadVec3(e, "Direction", Vec3{0, -1, 0});
        desc.position[0] = position.x, desc.position[1] = position.y, desc.position[2] = position.z;
        desc.direction[0] = direction.x, desc.direction[1] = direction.y, desc.direction[2] = direction.z;
        if (usage & 4) {
            const std::uint32_t geo = e->GetUIntAttribute(nullptr, "GeoType", 0xFFFFFFFFu);
            Vec3 scale;
            Matrix rotation = MatrixIdentity();
            Vec3 offset{0, 0, 0};
            std::uint32_t kind = 0;
            if (geo == 0xFFFFFFFFu) {
                const float r = e->GetFloatAttribute(nullptr, "AffectRadius", 100.0f);
                scale = Vec3{r, r, r};
            } else {
                kind = geo;
                scale = ReadVec3(e, "AreaScale", Vec3{100, 100, 100});
                rotation = ReadMatrix(e, "AreaRotation");
                offset = ReadVec3(e, "AreaOffset", Vec3{0, 0, 0});
            }
            light->SetVolumeShape(kind);
            light->SetVolumeScale(scale);
            light->SetVolumeMatrix(rotation.m);
            light->SetVolumeOffset(offset);
        }
        if (type != 3) {
            desc.range = e->GetFloatAttribute(nullptr, "Range", 0.0f);
            desc.attenuation[0] = e->GetFloatAttribute(nullptr, "Attenuation_0", 0.0f);
            desc.attenuation[1] = e->GetFloatAttribute(nullptr, "Attenuation_1", 0.0f);
            desc.attenuation[2] = e->GetFloatAttribute(nullptr, "Attenuation_2", 0.0f);
            if (desc.attenuation[0] == 0.0f && desc.attenuation[1] == 0.0f && desc.attenuation[2] == 0.0f)
                desc.attenuation[1] = 0.045f;
        }
        if (type == 2) {
            desc.innerAngle = e->GetFloatAttribute(nullptr, "InnerConeAngle", 0.0f);
            desc.outerAngle = e->GetFloatAttribute(nullptr, "OuterConeAngle", 0.0f);
        }
        // The description carries the flags: a light given a volume is bounded by it.
        desc.flags = light->GetFlags() | (usage & Light::kFlagBounded);
        light->SetDesc(desc);
        light->SetUserValue(m_layerId);
        const struct {
            const char* name;
            void (Light::*set)(const Vec4&, float);
        } channels[] = {{"Diffuse", &Light::SetColorKeyA}, {"Ambient", &Light::SetColorKeyC}, {"Specular", &Light::SetColorKeyB}};
        for (const auto& channel : channels) {
            XmlNodePtr keys = Child(e, channel.name);
            ForEachChild(keys.Get(), [&](common::IXmlNode* key) {
                const float time = key->GetFloatAttribute(nullptr, "Time", 0.0f);
                const float white[4] = {1, 1, 1, 1};
                float c[4];
                ReadXmlFloat4(key, nullptr, "Color", c, white);
                (light->*channel.set)(Vec4{c[0], c[1], c[2], c[3]}, time);
            });
        }
    });
    return true;
}

// --- terrain -----------------------------------------------------------------------------------

bool SceneFileReader::ReadTerrain(common::IXmlNode* root) {
    XmlNodePtr node = Child(root, "Terrain");
    if (!node) return true;
    const std::string file = Text(node.Get(), nullptr, "File");
    if (file.empty()) return true;
    // Only a file that names a second terrain is told: the layers of a scene with terrain
    // name none.
    if (m_scene->GetTerrainObject()) {
        LogWarning("This scene has terrain already!");
        return true;
    }
    render::Terrain* module = Interfaces().terrain;
    if (!module) {
        LogError("Terrain module not loaded!");
        return false;
    }
    render::TerrainObject* terrain = module->CreateTerrain(file.c_str());
    if (!terrain) {
        LogError("Failed to load terrain file %s!", file.c_str());
        return false;
    }
    IWorld* world = Interfaces().world;
    terrain->SetOption(4, world ? world->GetOption(4) : 0);
    m_scene->SetTerrain(terrain);
    m_scene->AddTickObject(terrain);
    // A terrain that answers collision queries owns the tree's ground.
    m_scene->GetBSPTreeObject()->SetOwner(dynamic_cast<render::ICollisionOwner*>(terrain));
    XmlNodePtr lods = node.FirstChild("LODs");
    int index = 0;
    ForEachChild(lods.Get(), [&](common::IXmlNode* lod) {
        terrain->SetLodDistance(index++, lod->GetFloatAttribute(nullptr, "Distance", 0.0f));
    });
    return true;
}

// --- entities ----------------------------------------------------------------------------------

bool SceneFileReader::ReadEntities(common::IXmlNode* root) {
    XmlNodePtr entities = Child(root, "Entities");
    if (!entities) return true;
    std::vector<std::string> files;
    XmlNodePtr all = entities.FirstChild("AllFiles");
    ForEachChild(all.Get(), [&](common::IXmlNode* f) { files.push_back(Text(f, nullptr, "Path")); });
    LogInfo("%d object files (*.mom and *.fx/*.emf) are involved in scene.", static_cast<int>(files.size()));

    // 64-bit: the formula's shift overflows 32 bits near 32765 objects.
    std::int64_t total = 0;
    for (int i = 0; i < 3; ++i) {
        XmlNodePtr list(entities->ChildElement(nullptr, i));
        if (!list) break;
        total += list->CountChildElements(nullptr);
    }
    m_objectTotal = total;
    m_objectsDone = 0;
    SetProgress(static_cast<std::uint32_t>(((total + 3) << 16) / (total + 4)));

    m_cloned = m_collider = m_helper = m_hidden = 0;
    for (auto& table : m_tables) table.clear();
    static const char* const kLists[3] = {"Models", "Fxes", "SkyObjects"};
    bool ok = true;
    for (int kind = 0; kind < 3 && ok; ++kind) {
        XmlNodePtr list = entities.FirstChild(kLists[kind]);
        if (!list) continue;
        for (int i = 0; ok; ++i) {
            XmlNodePtr entity(list->ChildElement(nullptr, i));
            if (!entity) break;
            ok = ReadObject(entity.Get(), kind, files);
            if (ok && m_layerId == 0) {
                const std::int64_t d = m_objectsDone;
                SetProgress(static_cast<std::uint32_t>(((total + 3 - d - 1) << 16) / (total + 4) + 1));
            }
            ++m_objectsDone;
        }
    }
    if (ok) {
        LogInfo("Count objects in scene:");
        LogInfo("model: %d, fx: %d, sky-object: %d", static_cast<int>(m_tables[0].size()),
                static_cast<int>(m_tables[1].size()), static_cast<int>(m_tables[2].size()));
        LogInfo("cloned: %d, collider: %d, helper: %d, hidden: %d", m_cloned, m_collider, m_helper, m_hidden);
        ReadGroups(entities.Get());
        ReadLodGroups(entities.Get());
    }
    for (auto& table : m_tables) table.clear();
    return ok;
}

bool SceneFileReader::ReadObject(common::IXmlNode* e, int kind, const std::vector<std::string>& files) {
    const int origin = e->GetIntAttribute(nullptr, "OriginEntityIndex", -1);
    const int fileIndex = e->GetIntAttribute(nullptr, "FilePathIndex", 0);
    // A negative index is as far outside the table as a large one.
    const std::string file =
        fileIndex >= 0 && static_cast<std::size_t>(fileIndex) < files.size() ? files[static_cast<std::size_t>(fileIndex)] : "";
    const std::uint32_t flag = e->GetUIntAttribute(nullptr, "Flag", 0);
    std::vector<SpaceObject*>& table = m_tables[kind];
    if (flag & kFlagCollider) ++m_collider;
    if (flag & kFlagHelper) {
        ++m_helper;
        table.push_back(nullptr);
        return true;
    }
    const std::string name = Text(e, nullptr, "Name");

    IModel* model = nullptr;
    IFxBase* effect = nullptr;
    SpaceObject* object = nullptr;
    if (origin >= 0) {
        if ((flag & kFlagModel) == 0) {
            LogError("Failed to clone object %d (file: %s), which is not a model!", origin, file.c_str());
            return false;
        }
        SpaceObject* source = TableEntry(static_cast<std::uint32_t>(kind), origin);
        if (source && source->GetObjectType() == 3) {
            // The scene takes the source model through its IModel face.
            IModel* face = static_cast<ModelBase*>(source);
            model = m_scene->CreateModelFromData(face, 0);
        }
        if (!model) {
            LogError("Failed to clone model %d (file: %s)!", origin, file.c_str());
            return false;
        }
        ++m_cloned;
        if (flag & kFlagResetMesh) static_cast<ModelBase*>(model)->ResetMeshState();
        object = model->GetSpaceObject(0);
    } else {
        ISkyObject* sky = nullptr;
        if (flag & kFlagModel) {
            model = m_scene->CreateModel(file.c_str(), 1, 0, nullptr);
        } else if (flag & kFlagEffect) {
            effect = m_scene->CreateFx(file.c_str(), 2, false, nullptr, 1);
        } else if (flag & kFlagSky) {
            sky = m_scene->CreateSkyObject(file.c_str());
        } else {
            LogError("Unknown scene object, flag %d!", static_cast<int>(flag));
            return false;
        }
        if (model) object = model->GetSpaceObject(0);
        else if (effect) object = effect->GetSpaceObject(0);
        else if (sky) object = sky->GetObject();
        if (!object) {
            common::IResFileSystem* fs = Interfaces().resFileSystem;
            const char* rootDir = fs ? fs->GetResourceRoot() : nullptr;
            const std::string box = std::string(rootDir ? rootDir : "") + kBoxFile;
            model = m_scene->CreateModel(box.c_str(), 1, 0, nullptr);
            if (!model) {
                LogError("Failed to load template model file %s!", box.c_str());
                return false;
            }
            LogError("加载特效 %s 失败, 已使用 defualt_models\\box.mom 代替!", file.c_str());
            effect = nullptr;
            object = model->GetSpaceObject(0);
        } else if (model && (flag & kFlagResetMesh)) {
            static_cast<ModelBase*>(model)->ResetMeshState();
        }
    }

    table.push_back(object);
    VisibleObject* visible = static_cast<VisibleObject*>(object);
    if (model && (flag & kFlagVertexColour)) model->SetVertexColorEnabled(true);
    if (flag & kFlagHidden) {
        ++m_hidden;
        object->SetVisible(false, false);
    }
    if (flag & kFlagTransparent) {
        // A clone shares its source's mesh, and with it the transparency.
        if (model && origin < 0) model->SetTransparent(true);
        else if (effect) effect->EnableZBuffer(true);
    }
    visible->SetUserInt(static_cast<int>(flag));
    visible->SetShortName(name.c_str());
    object->SetUserValue(m_layerId);

    object->SetPosition(ReadVec3(e, "Position", Vec3{0, 0, 0}));
    object->SetRotation(ReadMatrix(e, "Rotation"));
    object->SetScale(ReadVec3(e, "Scale", Vec3{1, 1, 1}));
    visible->SetUserInt2(static_cast<int>(e->GetUIntAttribute(nullptr, "BillboardType", 0)));
    if (model) {
        if (model->GetAnimationCount(1) == 1) model->PlaySkeletalAnimation(0, -1.0f, 16, 0.0f, 2, 1.0f);
        ReadLightmap(model, e);
    }
    if (XmlNodePtr attributes = Child(e, "Attributes")) {
        const int count = attributes->CountChildElements(nullptr);
        visible->SetStringCount(count);
        for (int i = 0; i < count; ++i) {
            XmlNodePtr a(attributes->ChildElement(nullptr, i));
            if (a) visible->SetString(i, Text(a.Get(), nullptr, "String").c_str());
        }
    }
    return true;
}

void SceneFileReader::ReadLightmap(IModel* model, common::IXmlNode* entity) {
    XmlNodePtr lightmap = Child(entity, "Lightmap");
    render::IRenderer* renderer = Interfaces().renderer;
    render::IMaterialGroup* current = model->GetMaterialSet();
    if (!lightmap || !renderer || !current) return;
    // The set starts as the model's current materials, slot for slot, so every sub-mesh keeps
    // its slot; a lightmap material then takes its sub-mesh's slot.
    render::IMaterialGroup* set = renderer->CreateMaterialGroupObject();
    if (!set) return;
    const std::uint32_t slots = current->GetSlotCount();
    set->SetSlotCount(slots);
    for (std::uint32_t i = 0; i < slots; ++i) {
        if (const char* name = current->GetSlotName(i)) set->SetSlotName(i, name);
        if (render::IMaterial* material = current->GetSlotMaterial(i)) set->SetSlotMaterial(i, material);
    }
    const int subMeshes = model->GetSubMeshCount();
    ForEachChild(lightmap.Get(), [&](common::IXmlNode* c) {
        const int index = c->GetIntAttribute(nullptr, "index", -1);
        if (index < 0 || index >= subMeshes) return;
        const int slot = model->GetSubMeshMaterialSlot(index);
        if (slot < 0 || static_cast<std::uint32_t>(slot) >= slots) return;
        const std::string texture = Text(c, nullptr, "texture");
        const std::string effectName = Text(c, nullptr, "effect");
        render::IEffect* effect = renderer->CreateEffectFromDesc(effectName.c_str());
        if (!effect) return;
        if (render::IMaterial* material = renderer->CreateMaterial(effect)) {
            material->SetTechnique(effect);
            if (render::ITexture* map = renderer->LoadTexture(texture.c_str(), 0, 0, -3, 0, 0, 1)) {
                material->SetTexture("TexLightmap", map);
                renderer->ReleaseTexture(map);
            }
            set->SetSlotMaterial(static_cast<std::uint32_t>(slot), material);
            renderer->ReleaseMaterial(material);
        }
        renderer->ReleaseEffect(effect);
    });
    model->SetMaterialSet(set);
    // The model's mesh keeps the set it took; one it did not take goes back.
    if (model->GetMaterialSet() != set) renderer->ReleaseMaterial(set);
}

void SceneFileReader::ReadGroups(common::IXmlNode* entities) {
    XmlNodePtr groups = Child(entities, "Groups");
    ForEachChild(groups.Get(), [&](common::IXmlNode* g) {
        const std::string name = Text(g, nullptr, "Name");
        ForEachChild(g, [&](common::IXmlNode* entry) {
            const std::uint32_t type = entry->GetUIntAttribute(nullptr, "Type", 0);
            const int index = entry->GetIntAttribute(nullptr, "Index", 0);
            // A helper's slot is empty: nothing to enter.
            if (SpaceObject* object = TableEntry(type, index))
                m_scene->AddNamedObject(static_cast<VisibleObject*>(object), name.c_str());
        });
    });
}

void SceneFileReader::ReadLodGroups(common::IXmlNode* entities) {
    XmlNodePtr groups = Child(entities, "LODGroups");
    ForEachChild(groups.Get(), [&](common::IXmlNode* g) {
        auto* group = static_cast<LodGroup*>(m_scene->CreateLodGroup());
        if (!group) return;
        group->SetName(Text(g, nullptr, "Name").c_str());
        std::vector<LodGroup::ListedLevel> levels;
        XmlNodePtr lods = Child(g, "LODs");
        ForEachChild(lods.Get(), [&](common::IXmlNode* l) {
            LodGroup::ListedLevel level;
            level.distance = l->GetFloatAttribute(nullptr, "Distance", 0.0f);
            level.meshLod = l->GetIntAttribute(nullptr, "MeshLOD", 0);
            level.materialLod = l->GetIntAttribute(nullptr, "MaterialLOD", 0);
            levels.push_back(level);
        });
        group->StoreListedLevels(levels);
        XmlNodePtr members = Child(g, "Entities");
        ForEachChild(members.Get(), [&](common::IXmlNode* entry) {
            const std::uint32_t type = entry->GetUIntAttribute(nullptr, "Type", 0);
            SpaceObject* object = TableEntry(type, entry->GetIntAttribute(nullptr, "Index", 0));
            if (!object) return;
            group->AddObject(static_cast<VisibleObject*>(object));
            if (object->GetObjectType() != 3) return;
            auto* model = static_cast<ModelBase*>(object);
            for (int s = 0; s < model->GetSocketCount(); ++s)
                for (int p = 0;; ++p) {
                    ISpaceObject* bound = model->GetSocketObject(s, p);
                    if (!bound) break;
                    const int t = bound->GetObjectType();
                    if (t == 3 || t == 4) group->AddObject(static_cast<VisibleObject*>(static_cast<SpaceObject*>(bound)));
                }
        });
    });
}

// --- tracks, cameras, BSP file, layers, grass --------------------------------------------------

bool SceneFileReader::ReadTracks(common::IXmlNode* root) {
    XmlNodePtr tracks = Child(root, "Tracks");
    if (!tracks) return true;
    XmlNodePtr filesNode = tracks.FirstChild("Files");
    if (!filesNode) return true;
    std::vector<std::string> files;
    ForEachChild(filesNode.Get(), [&](common::IXmlNode* f) { files.push_back(Text(f, nullptr, "Path")); });
    XmlNodePtr list = tracks.FirstChild("Tracks");
    if (!list) return true;
    for (int i = 0;; ++i) {
        XmlNodePtr t(list->ChildElement(nullptr, i));
        if (!t) break;
        const int index = t->GetIntAttribute(nullptr, "FilePathIndex", 0);
        const std::string file =
            index >= 0 && static_cast<std::size_t>(index) < files.size() ? files[static_cast<std::size_t>(index)] : "";
        ITrack* track = m_scene->LoadTrack(file.c_str());
        if (!track) {
            LogError("Failed to load track %s!", file.c_str());
            return false;
        }
        track->SetName(Text(t.Get(), nullptr, "Name").c_str());
        track->SetBaseMatrix(ReadMatrix(t.Get(), "BaseMatrix"));
    }
    return true;
}

void SceneFileReader::ReadPresetCameras(common::IXmlNode* root) {
    XmlNodePtr cameras = Child(root, "PresetCameras");
    ForEachChild(cameras.Get(), [&](common::IXmlNode* c) {
        const std::string name = Text(c, nullptr, "Name");
        if (name.empty()) return;
        m_scene->AddPresetCamera(name.c_str(), ReadMatrix(c, "Transform"));
    });
}

void SceneFileReader::ReadBspFile(const char* scenePath) {
    BSPTree* tree = m_scene->GetBSPTreeObject();
    if (tree->HasTree()) {
        LogWarning("This scene has bsp already!");
        return;
    }
    std::string path = scenePath;
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos) path.erase(dot);
    path += ".bsp";
    common::IResFileSystem* files = Interfaces().resFileSystem;
    common::IResFile* file = files ? files->OpenFile(path.c_str(), 0) : nullptr;
    if (!file) {
        LogInfo("BSP file %s is not found!", path.c_str());
        SetProgress(0);
        return;
    }
    const std::uint8_t* data = file->GetData();
    const std::uint32_t size = data ? file->GetSize() : 0;
    // The header: magic, version, polygon count.
    if (size < 12 || std::memcmp(data, "QBSP", 4) != 0) {
        LogError("Bad format in BSP file %s!", path.c_str());
        SetProgress(kFailed);
        file->Close();
        return;
    }
    std::uint32_t version = 0;
    std::int32_t count = 0;
    std::memcpy(&version, data + 4, 4);
    std::memcpy(&count, data + 8, 4);
    if (count > 0) tree->Read(data + 8, size - 8, version);
    file->Close();
}

void SceneFileReader::ReadLayers(common::IXmlNode* root) {
    XmlNodePtr layers = Child(root, "SceneLayers");
    ForEachChild(layers.Get(), [&](common::IXmlNode* l) {
        SceneLayer record{};
        record.id = l->GetIntAttribute(nullptr, "ID", -1);
        const std::string name = Text(l, nullptr, "Name");
        const std::string path = Text(l, nullptr, "Path");
        if (record.id == -1 || name.empty() || path.empty()) {
            LogError("Can't open layer");
            return;
        }
        CopyText(record.name, sizeof record.name, name);
        CopyText(record.path, sizeof record.path, path);
        std::vector<SceneLayer>& table = m_scene->Layers();
        table.push_back(record);
        // The id names the record to load: only the one just appended is this entry's (any
        // other would load a different file, id 0 the scene's own again and again).
        if (record.id != static_cast<std::int32_t>(table.size() - 1)) {
            LogError("Can't open layer");
            table.pop_back();
            return;
        }
        if (!Load(m_scene, record.id)) LogError("Can't open layer");
    });
}

void SceneFileReader::ReadGrasses(common::IXmlNode* root) {
    XmlNodePtr grasses = Child(root, "Grasses");
    GrassMgr& manager = m_scene->Grasses();
    ForEachChild(grasses.Get(), [&](common::IXmlNode* g) {
        const std::string path = Text(g, nullptr, "Path");
        const float x = g->GetFloatAttribute(nullptr, "x", 0.0f);
        const float y = g->GetFloatAttribute(nullptr, "y", 0.0f);
        const float z = g->GetFloatAttribute(nullptr, "z", 0.0f);
        const float height = g->GetFloatAttribute(nullptr, "height", 0.0f);
        float swayX = g->GetFloatAttribute(nullptr, "SwayX", 0.0f);
        float swayZ = g->GetFloatAttribute(nullptr, "SwayZ", 0.0f);
        float delta = g->GetFloatAttribute(nullptr, "delta", 0.0f);
        const int colour = g->GetIntAttribute(nullptr, "color", 0);
        (void)g->GetUIntAttribute(nullptr, "crossCount", 3);
        const bool sway = g->GetBoolAttribute(nullptr, "isSway", true);
        if (!sway) swayX = swayZ = delta = 0.0f;
        Grass* patch = manager.CreateGrass(path.c_str(), static_cast<int>(height), 2, static_cast<int>(swayX),
                                           static_cast<int>(swayZ), delta, static_cast<std::uint32_t>(colour));
        if (!patch) {
            LogError("Failed to create grass %s!", path.c_str());
            return;
        }
        patch->SetPosition(Vec3{x, y, z});
        if (sway) patch->SetWind(static_cast<int>(swayX), static_cast<int>(swayZ), delta);
    });
}

// Shrub batches: each child names a batch and the ini text (a resource path, and its section,
// the batch's name by default) that holds its texture, wave and shrubs. A batch that does not
// load is not kept.
void SceneFileReader::ReadCrossTextures(common::IXmlNode* root) {
    XmlNodePtr batches = Child(root, "CrossTextures");
    ForEachChild(batches.Get(), [&](common::IXmlNode* c) {
        const std::string name = Text(c, nullptr, "Name");
        const std::string path = Text(c, nullptr, "IniFile");
        std::string section = Text(c, nullptr, "Section");
        if (section.empty()) section = name;
        IniFile ini(path);
        if (name.empty() || path.empty() || !ini.Load() || !ini.HasSection(section.c_str())) {
            LogError("Failed to load shrubs %s from %s!", name.c_str(), path.c_str());
            return;
        }
        auto* batch = static_cast<CrossTexture*>(m_scene->CreateCrossTexture(name.c_str(), 1, nullptr, 0));
        if (batch && !batch->LoadIni(ini, section.c_str())) {
            LogError("Failed to load shrubs %s from %s!", name.c_str(), path.c_str());
            m_scene->RemoveCrossTexture(name);
        }
    });
}

}  // namespace quor::world
