// The binary form of the 3D scene file ("RSCN"): a version word gates each field.
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/host/IResFileSystem.h"
#include "platform/host/IUtils.h"
#include "platform/host/ICollisionOwner.h"
#include "platform/host/Terrain.h"
#include "platform/host/TerrainObject.h"
#include "world/core/BinaryReader.h"
#include "world/core/IWorld.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Light.h"
#include "world/core/LodGroup.h"
#include "world/core/Log.h"
#include "world/core/track/ITrack.h"
#include "world/fx/IFxBase.h"
#include "world/mesh/ModelBase.h"
#include "world/scene/Scene3D.h"
#include "world/scene/SceneAudio.h"
#include "world/scene/SceneFileReader.h"
#include "world/scene/SkyObject.h"

namespace quor::world {

namespace {

constexpr std::uint32_t kFailed = 0xFFFFFFFFu;
constexpr std::uint32_t kNewestVersion = 0x10025;
// Names and paths were read into 260-byte buffers: longer ones are outside the format.
constexpr std::uint32_t kLongestName = 259;

constexpr std::uint32_t kFlagHidden = 0x1;
constexpr std::uint32_t kFlagModel = 0x2;
constexpr std::uint32_t kFlagCollider = 0x10;
constexpr std::uint32_t kFlagEffect = 0x20;
constexpr std::uint32_t kFlagVertexColour = 0x100;
constexpr std::uint32_t kFlagHelper = 0x200;
constexpr std::uint32_t kFlagTransparent = 0x1000;
constexpr std::uint32_t kFlagSky = 0x20000;
constexpr std::uint32_t kFlagsCleared = 0x4000 | 0x8000;

// The older light record's degrees become radians with this value, as stored files expect.
constexpr float kOldPi = 3.14f;

Vec4 ColourOf(std::uint32_t argb) {
    return Vec4{float((argb >> 16) & 0xFF) / 255.0f, float((argb >> 8) & 0xFF) / 255.0f, float(argb & 0xFF) / 255.0f,
                float(argb >> 24) / 255.0f};
}

struct ColourKey {
    float time = 0.0f;
    Vec4 colour;
};

struct LightRecord {
    bool newLayout = false;
    std::uint32_t type = 0;
    LightDesc desc;
    // Diffuse, ambient, specular.
    std::vector<ColourKey> keys[3];
};

struct ObjectRecord {
    std::uint32_t id = 0;
    std::uint32_t flag = 0;
    std::string file;
    std::uint32_t cloneId = 0;
    std::string name;
    Vec3 position, scale;
    Matrix rotation;
    std::uint32_t billboard = 0;
    std::vector<std::string> strings;
};

struct GroupRecord {
    char name[32] = {};
    std::vector<std::uint32_t> members;
};

struct TrackRecord {
    std::string file;
    std::string name;
    Matrix base;
};

// A reader that names what did not fit.
class Checked {
public:
    Checked(BinaryReader& in, const char* path) : m_in(in), m_path(path) {}

    bool Fail(const char* what) {
        if (m_failed) return false;
        m_failed = true;
        LogError("Scene file %s is damaged: %s does not fit the file!", m_path, what);
        return false;
    }
    bool Ok(const char* what) { return m_in.Ok() || Fail(what); }
    // A u32 count of elements of at least elementSize bytes each.
    bool Count(std::uint32_t& out, std::size_t elementSize, const char* what) {
        out = m_in.U32();
        return (m_in.Ok() && m_in.CheckCount(out, elementSize)) || Fail(what);
    }
    // A u32-length string of at most 259 bytes.
    bool Name(std::string& out, const char* what) {
        const std::uint32_t n = m_in.U32();
        if (!m_in.Ok()) return Fail(what);
        if (n > kLongestName) {
            m_failed = true;
            LogError("Scene file %s is damaged: %s is %u bytes long (at most %u)!", m_path, what, n, kLongestName);
            return false;
        }
        const std::uint8_t* bytes = m_in.Span(n);
        if (!bytes && n) return Fail(what);
        out.assign(reinterpret_cast<const char*>(bytes), n);
        // Read into a terminated buffer: the name ends at its first zero byte.
        out.resize(std::strlen(out.c_str()));
        return true;
    }
    bool Vec(Vec3& out) {
        float f[3];
        m_in.F32s(f, 3);
        out = Vec3{f[0], f[1], f[2]};
        return m_in.Ok();
    }
    bool Mat(Matrix& out) { return m_in.F32s(out.m, 16); }

    BinaryReader& In() { return m_in; }

private:
    BinaryReader& m_in;
    const char* m_path;
    bool m_failed = false;
};

}  // namespace

struct BinarySceneRecords {
    std::uint32_t version = 0;
    bool hasNearFar = false;
    float zNear = 1.0f, zFar = 10000.0f;
    bool hasLights = false;
    std::uint32_t ambient = 0;
    std::vector<LightRecord> lights;
    bool hasFog = false;
    FogRecord fog;
    std::string background;
    std::string terrain;
    bool hasTerrainLods = false;
    float terrainLods[10] = {};
    std::vector<std::string> files;
    std::uint32_t effectCount = 0;
    std::vector<ObjectRecord> objects;
    std::vector<GroupRecord> groups;
    // Offsets of the LOD group records, each read by its group.
    std::vector<std::size_t> lodGroups;
    SoundSection sound;
    std::vector<TrackRecord> tracks;
    std::int32_t bspCount = 0;
    std::size_t bspOffset = 0;
};

namespace {

bool ReadLight(Checked& c, std::uint32_t v, LightRecord& l) {
    BinaryReader& in = c.In();
    LightDesc& d = l.desc;
    if (v < 0x10025) {
        in.Bytes(d.name, 16);
        l.type = in.U32();
        d.enabled = in.I32();
        d.flags = in.U32();
        const std::uint32_t colours[3] = {in.U32(), in.U32(), in.U32()};
        // Diffuse, ambient, specular as stored; each one key at time 0.
        for (int k = 0; k < 3; ++k) l.keys[k].push_back(ColourKey{0.0f, ColourOf(colours[k])});
        in.F32s(d.position, 3);
        in.F32s(d.direction, 3);
        d.range = in.F32();
        in.F32s(d.attenuation, 3);
        d.innerAngle = in.F32();
        d.outerAngle = in.F32();
        return c.Ok("a light record");
    }
    l.newLayout = true;
    d.unused = in.U32();
    in.Bytes(d.name, 16);
    l.type = in.U32();
    d.type = static_cast<std::int32_t>(l.type);
    d.enabled = in.I32();
    d.flags = in.U32();
    in.F32s(d.position, 3);
    in.F32s(d.direction, 3);
    d.range = in.F32();
    in.F32s(d.attenuation, 3);
    d.innerAngle = in.F32();
    d.outerAngle = in.F32();
    in.U32();
    if (!c.Ok("a light record")) return false;
    for (auto& keys : l.keys) {
        std::uint32_t n = 0;
        if (!c.Count(n, 20, "a light's key list")) return false;
        keys.resize(n);
        for (ColourKey& k : keys) {
            k.time = in.F32();
            float f[4];
            in.F32s(f, 4);
            k.colour = Vec4{f[0], f[1], f[2], f[3]};
        }
        if (!c.Ok("a light's key list")) return false;
    }
    return true;
}

bool ReadBaseInfo(Checked& c, BinarySceneRecords& s) {
    BinaryReader& in = c.In();
    const std::uint32_t v = s.version;
    if (v < 0x10004) return true;
    if (v >= 0x10009) {
        s.hasNearFar = true;
        s.zNear = in.F32();
        s.zFar = in.F32();
        if (!c.Ok("the near and far distance")) return false;
        if (!(s.zFar > s.zNear)) s.zNear = 1.0f, s.zFar = 10000.0f;
    }
    if (v > 0x10004) {
        s.hasLights = true;
        s.ambient = in.U32();
        std::uint32_t n = 0;
        if (!c.Count(n, v < 0x10025 ? 88 : 96, "the light count")) return false;
        s.lights.resize(n);
        for (LightRecord& l : s.lights)
            if (!ReadLight(c, v, l)) return false;
    }
    s.hasFog = true;
    FogRecord& fog = s.fog;
    fog.mode = in.I32();
    fog.type = in.I32();
    const std::uint32_t colour = in.U32();
    std::memcpy(fog.colour, &colour, 4);
    fog.start = in.F32();
    fog.end = in.F32();
    fog.density = in.F32();
    if (!c.Ok("the fog record")) return false;
    if (v < 0x10015) {
        // Files of these versions number the modes and types from 0.
        fog.mode += 1;
        fog.type += 2;
    }
    if (v >= 0x1000A && !c.Name(s.background, "the background name")) return false;
    if (v >= 0x10012) {
        if (!c.Name(s.terrain, "the terrain name")) return false;
        if (!s.terrain.empty() && v >= 0x10023) {
            s.hasTerrainLods = true;
            if (!in.F32s(s.terrainLods, 10)) return c.Fail("the terrain distances");
        }
    }
    return true;
}

bool ReadObjects(Checked& c, BinarySceneRecords& s) {
    BinaryReader& in = c.In();
    const std::uint32_t v = s.version;
    std::uint32_t fileCount = 0;
    if (!c.Count(fileCount, 4, "the object file count")) return false;
    s.files.resize(fileCount);
    for (std::string& f : s.files)
        if (!c.Name(f, "an object file name")) return false;
    std::uint32_t n = 0;
    // The smallest object: flag, file index, name length, position, scale, rotation.
    if (!c.Count(n, 4 * 3 + 24 + 64, "the object count")) return false;
    in.U32();  // the model count, not used
    s.effectCount = in.U32();
    if (!c.Ok("the object counts")) return false;
    s.objects.resize(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        ObjectRecord& o = s.objects[i];
        o.id = v >= 0x10002 ? in.U32() : i + 1;
        o.flag = in.U32();
        const std::uint32_t fileIndex = in.U32();
        if (v >= 0x10002) o.cloneId = in.U32();
        if (!c.Ok("an object record")) return false;
        if (fileIndex >= s.files.size()) {
            LogError("Scene file object %u names file %u of a table of %u!", i, fileIndex,
                     static_cast<std::uint32_t>(s.files.size()));
            return false;
        }
        o.file = s.files[fileIndex];
        if (!c.Name(o.name, "an object name")) return false;
        c.Vec(o.position);
        c.Vec(o.scale);
        c.Mat(o.rotation);
        if ((o.flag & kFlagModel) && v >= 0x10008 && v < 0x10010) {
            if (in.U32() == 64) in.Skip(64);
        }
        if (v >= 0x10002) o.billboard = in.U32();
        if (!c.Ok("an object record")) return false;
        if ((o.flag & kFlagHelper) || v < 0x10001) continue;
        std::uint32_t strings = 0;
        if (!c.Count(strings, 2, "an object's string count")) return false;
        o.strings.resize(strings);
        for (std::string& text : o.strings) {
            const std::uint16_t length = in.U16();
            const std::uint8_t* bytes = in.Span(length);
            if (!in.Ok()) return c.Fail("an object string");
            text.assign(reinterpret_cast<const char*>(bytes), length);
        }
    }
    if (v >= 0x10019) {
        std::uint32_t groups = 0;
        if (!c.Count(groups, 36, "the group count")) return false;
        s.groups.resize(groups);
        for (GroupRecord& g : s.groups) {
            in.Bytes(g.name, sizeof g.name);
            g.name[sizeof g.name - 1] = '\0';
            std::uint32_t members = 0;
            if (!c.Count(members, 4, "a group's member count")) return false;
            g.members.resize(members);
            in.U32s(g.members.data(), members);
        }
    }
    if (v >= 0x10018) {
        std::uint32_t groups = 0;
        const std::size_t fixed = 32 + 64 + (v >= 0x10021 ? 128 : 0);
        if (!c.Count(groups, fixed + 4, "the LOD group count")) return false;
        for (std::uint32_t g = 0; g < groups; ++g) {
            s.lodGroups.push_back(in.Offset());
            in.Skip(fixed);
            std::uint32_t members = 0;
            if (!c.Count(members, 4, "a LOD group's member count")) return false;
            in.Skip(std::size_t(members) * 4);
        }
    }
    return c.Ok("the groups");
}

bool ReadTail(Checked& c, BinarySceneRecords& s) {
    BinaryReader& in = c.In();
    const std::uint32_t v = s.version;
    // The sound section is read into records here; a section that does not fit fails the
    // file (the reader could not find what follows it).
    if (!SceneAudio::ReadBinary(v, in, s.sound)) return false;
    if (v >= 0x10020) {
        std::uint32_t fileCount = 0;
        if (!c.Count(fileCount, 4, "the track file count")) return false;
        std::vector<std::string> files(fileCount);
        for (std::string& f : files)
            if (!c.Name(f, "a track file name")) return false;
        std::uint32_t n = 0;
        if (!c.Count(n, 4 + 4 + 64, "the track count")) return false;
        s.tracks.resize(n);
        for (TrackRecord& t : s.tracks) {
            const std::uint32_t index = in.U32();
            if (!c.Ok("a track record")) return false;
            if (index >= files.size()) {
                LogError("Scene file track names file %u of a table of %u!", index,
                         static_cast<std::uint32_t>(files.size()));
                return false;
            }
            t.file = files[index];
            if (!c.Name(t.name, "a track name") || !c.Mat(t.base)) return c.Fail("a track record");
        }
    }
    s.bspOffset = in.Offset();
    s.bspCount = in.I32();
    return c.Ok("the collision tree's polygon count");
}

}  // namespace

bool SceneFileReader::LoadBinary(common::IResFile* file, const char* path) {
    common::IUtils* utils = Interfaces().utils;
    common::ITimer* timer = utils ? utils->CreateTimer() : nullptr;
    m_fileData = file->GetData();
    m_fileSize = m_fileData ? file->GetSize() : 0;
    BinaryReader in(m_fileData, m_fileSize);
    in.Skip(4);
    BinarySceneRecords scene;
    scene.version = in.U32();
    bool ok = in.Ok();
    if (!ok) {
        LogError("Scene file %s is damaged: the header does not fit the file!", path);
    } else if (scene.version > kNewestVersion) {
        LogError("Scene file %s version %x is too new to read!", path, scene.version);
        ok = false;
    } else {
        Checked checked(in, path);
        ok = ReadBaseInfo(checked, scene) && ReadObjects(checked, scene) && ReadTail(checked, scene);
    }
    if (ok) {
        m_scene->SetFileVersion(scene.version);
        SetProgress(65535);
        ok = BuildBinary(scene, timer);
    }
    file->Close();
    if (timer) timer->Release();
    if (!ok) {
        SetProgress(kFailed);
        return false;
    }
    SetProgress(0);
    return true;
}

bool SceneFileReader::BuildBinary(const BinarySceneRecords& s, common::ITimer* timer) {
    auto elapsed = [timer] { return timer ? static_cast<int>(timer->GetElapsedMilliseconds()) : 0; };
    const std::uint32_t v = s.version;
    if (m_layerId == 0 && s.hasNearFar) m_scene->SetDefaultZRange(s.zNear, s.zFar);
    for (const LightRecord& r : s.lights) {
        Light* light = m_scene->CreateLight(static_cast<int>(r.type));
        if (!light) {
            LogWarning("Light of type %u was not made!", r.type);
            continue;
        }
        if (r.newLayout) {
            light->SetDesc(r.desc);
        } else {
            char name[17] = {};
            std::memcpy(name, r.desc.name, 16);
            light->SetName(name);
            light->SetEnabled(r.desc.enabled != 0);
            light->SetFlags(r.desc.flags);
            light->SetPosition(Vec3{r.desc.position[0], r.desc.position[1], r.desc.position[2]});
            light->SetDirection(Vec3{r.desc.direction[0], r.desc.direction[1], r.desc.direction[2]});
            light->SetRange(r.desc.range);
            light->SetAttenuation(r.desc.attenuation[0], r.desc.attenuation[1], r.desc.attenuation[2]);
            light->SetInnerAngle(r.desc.innerAngle * kOldPi / 180.0f);
            light->SetOuterAngle(r.desc.outerAngle * kOldPi / 180.0f);
        }
        light->SetUserValue(m_layerId);
        for (const ColourKey& k : r.keys[0]) light->SetColorKeyA(k.colour, k.time);
        for (const ColourKey& k : r.keys[1]) light->SetColorKeyC(k.colour, k.time);
        for (const ColourKey& k : r.keys[2]) light->SetColorKeyB(k.colour, k.time);
    }
    if (m_layerId == 0) {
        if (!s.background.empty()) m_scene->SetBackground(s.background.c_str());
        if (s.hasLights) {
            std::uint8_t bytes[4];
            std::memcpy(bytes, &s.ambient, 4);
            m_scene->SetAmbientColor(bytes);
        }
        if (s.hasFog) m_scene->SetFogParams(s.fog);
    }
    if (!s.terrain.empty()) {
        render::TerrainObject* terrain = m_scene->GetTerrainObject();
        if (!terrain) {
            render::Terrain* module = Interfaces().terrain;
            terrain = module ? module->CreateTerrain(s.terrain.c_str()) : nullptr;
            if (!terrain) {
                LogError("Unable to load terrain");
                return false;
            }
            IWorld* world = Interfaces().world;
            terrain->SetOption(4, world ? world->GetOption(4) : 0);
            m_scene->SetTerrain(terrain);
            m_scene->AddTickObject(terrain);
            m_scene->GetBSPTreeObject()->SetOwner(dynamic_cast<render::ICollisionOwner*>(terrain));
        }
        if (s.hasTerrainLods)
            for (int i = 0; i < 10; ++i) terrain->SetLodDistance(i, s.terrainLods[i]);
    }
    if (v >= 0x10004) LogInfo("Time taken by loading base info: %d ms", elapsed());

    if (!BuildBinaryObjects(s)) return false;
    LogInfo("Time taken by loading models and fxes: %d ms", elapsed());

    if (!m_scene->Audio().ApplyBinary(v, s.sound)) LogError("Failed to load scene sounds!");
    LogInfo("Time taken by loading sounds: %d ms", elapsed());

    for (const TrackRecord& t : s.tracks) {
        ITrack* track = m_scene->LoadTrack(t.file.c_str());
        if (!track) {
            LogError("Failed to load tracks!");
            return false;
        }
        track->SetName(t.name.c_str());
        track->SetBaseMatrix(t.base);
    }

    if (s.bspCount > 0) {
        // The section runs to the end of the file; the tree checks it and empties itself (with
        // an error line) when it is refused, and the load goes on.
        const std::uint8_t* data = m_fileData + s.bspOffset;
        m_scene->GetBSPTreeObject()->Read(data, m_fileSize - s.bspOffset, v);
    }
    LogInfo("Time taken by loading bsp: %d ms", elapsed());
    return true;
}

bool SceneFileReader::BuildBinaryObjects(const BinarySceneRecords& s) {
    const std::uint32_t v = s.version;
    const std::int64_t n = static_cast<std::int64_t>(s.objects.size());
    LogInfo("%d object files (*.mom and *.fx/*.emf) are involved in scene.", static_cast<int>(s.files.size()));
    LogInfo("There are %d objects in scene, including %d fxes.", static_cast<int>(n), static_cast<int>(s.effectCount));
    // 64-bit: the shift overflows 32 bits past 32767 objects.
    SetProgress(static_cast<std::uint32_t>((n << 16) / (n + 1)));
    m_cloned = m_collider = m_helper = m_hidden = 0;
    std::unordered_map<std::uint32_t, SpaceObject*> ids;
    for (std::int64_t i = 0; i < n; ++i) {
        const ObjectRecord& o = s.objects[static_cast<std::size_t>(i)];
        std::uint32_t flag = o.flag;
        if (flag & kFlagCollider) ++m_collider;
        if (flag & kFlagHidden) ++m_hidden;
        if (flag & kFlagHelper) {
            ++m_helper;
            SetProgress(static_cast<std::uint32_t>(((n - i - 1) << 16) / (n + 1) + 1));
            continue;
        }
        IModel* model = nullptr;
        IFxBase* effect = nullptr;
        SpaceObject* object = nullptr;
        if (flag & kFlagSky) {
            ISkyObject* sky = m_scene->CreateSkyObject(o.file.c_str());
            if (!sky) {
                LogError("Failed to load sky-object file %s!", o.file.c_str());
                return false;
            }
            object = sky->GetObject();
        } else if (flag & kFlagModel) {
            if (o.cloneId > 0 && o.cloneId != o.id) {
                const auto found = ids.find(o.cloneId);
                SpaceObject* source = found == ids.end() ? nullptr : found->second;
                // A source that is not a model cannot be cloned.
                if (source && source->GetObjectType() == 3) {
                    IModel* face = static_cast<ModelBase*>(source);
                    model = m_scene->CreateModelFromData(face, 0);
                }
                if (!model) {
                    LogError("Failed to clone model %u (file: %s)!", o.cloneId, o.file.c_str());
                    return false;
                }
                ++m_cloned;
            } else {
                // An entry without a file and without a source names no model.
                model = o.file.empty() ? nullptr : m_scene->CreateModel(o.file.c_str(), 1, 0, nullptr);
                if (!model) {
                    LogError("Failed to load model file %s!", o.file.c_str());
                    return false;
                }
                // Only here: a clone shares its source's mesh, and with it the transparency.
                model->SetTransparent((flag & kFlagTransparent) != 0);
            }
            object = model->GetSpaceObject(0);
        } else if (flag & kFlagEffect) {
            effect = m_scene->CreateFx(o.file.c_str(), 2, false, nullptr, 1);
            if (!effect) {
                LogError("Failed to load fx file %s!", o.file.c_str());
                return false;
            }
            effect->EnableZBuffer((flag & kFlagTransparent) != 0);
            object = effect->GetSpaceObject(0);
        } else {
            LogError("Unknown scene object, flag %d", static_cast<int>(flag));
            return false;
        }
        if (!object) {
            LogError("Failed to load model file %s!", o.file.c_str());
            return false;
        }
        if (v >= 0x10010 && v < 0x10022) flag &= ~kFlagsCleared;
        if (model && (flag & kFlagVertexColour)) model->SetVertexColorEnabled(true);
        if (flag & kFlagHidden) object->SetVisible(false, false);
        if (model && model->GetAnimationCount(1) == 1) model->PlaySkeletalAnimation(0, -1.0f, 16, 0.0f, 2, 1.0f);

        auto* visible = static_cast<VisibleObject*>(object);
        visible->SetUserInt(static_cast<int>(flag));
        visible->SetShortName(o.name.c_str());
        object->SetUserValue(m_layerId);
        object->SetPosition(o.position);
        object->SetScale(o.scale);
        object->SetRotation(o.rotation);
        ids[o.id] = object;
        if (v >= 0x10002) visible->SetUserInt2(static_cast<int>(o.billboard));
        if (v >= 0x10001) {
            visible->SetStringCount(static_cast<int>(o.strings.size()));
            for (std::size_t k = 0; k < o.strings.size(); ++k) visible->SetString(static_cast<int>(k), o.strings[k].c_str());
        }
        SetProgress(static_cast<std::uint32_t>(((n - i - 1) << 16) / (n + 1) + 1));
    }
    LogInfo("Count objects in scene: cloned: %d, collider: %d, helper: %d, hidden: %d", m_cloned, m_collider, m_helper,
            m_hidden);
    for (const GroupRecord& g : s.groups)
        for (std::uint32_t id : g.members) {
            const auto found = ids.find(id);
            if (found != ids.end() && found->second->IsVisibleObject())
                m_scene->AddNamedObject(static_cast<VisibleObject*>(found->second), g.name);
        }
    for (std::size_t offset : s.lodGroups) {
        auto* group = static_cast<LodGroup*>(m_scene->CreateLodGroup());
        if (!group) continue;
        BinaryReader in(m_fileData, m_fileSize);
        in.Seek(offset);
        group->Read(in, v, ids);
    }
    return true;
}

}  // namespace quor::world
