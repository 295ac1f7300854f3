#include "world/scene/SceneAudio.h"

#include <algorithm>
#include <cstring>

#include "platform/host/IAudio.h"
#include "platform/host/IResFileSystem.h"
#include "platform/host/IXmlNode.h"
#include "world/core/BinaryReader.h"
#include "world/core/GeoObject.h"
#include "world/core/InterfaceTable.h"
#include "world/core/Log.h"
#include "world/core/Memory.h"
#include "world/core/XmlNodePtr.h"
#include "world/scene/SceneBase.h"
#include "world/scene/Speaker.h"

namespace quor::world {

namespace {

constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Erases the first occurrence; true when there was one.
template <class T>
bool EraseFirst(std::vector<T*>& list, T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

Matrix ToMatrix(const float m[16]) {
    Matrix out;
    std::memcpy(out.m, m, sizeof out.m);
    return out;
}

std::string ReadText(common::IXmlNode* node, const char* name) {
    char buffer[kXmlAttributeBufferSize];
    node->GetStringAttribute(nullptr, name, buffer, sizeof buffer, "");
    return buffer;
}

}  // namespace

SceneAudio::~SceneAudio() { Clear(); }

void SceneAudio::Attach(SpaceObject* object) {
    if (m_owner && object) m_owner->AttachObject(object);
}

void SceneAudio::AddSpeaker(Speaker* speaker, bool managed) {
    if (!speaker) return;
    if (!managed) {
        m_freeSpeakers.push_back(speaker);
        return;
    }
    std::vector<Speaker*>& list = speaker->GetAreaShape() ? m_areaSpeakers : m_pointSpeakers;
    if (std::find(list.begin(), list.end(), speaker) == list.end()) list.push_back(speaker);
    speaker->SetOwner(this);
}

bool SceneAudio::RemoveSpeaker(Speaker* speaker) {
    if (!speaker) return false;
    if (EraseFirst(m_pointSpeakers, speaker)) return true;
    if (EraseFirst(m_areaSpeakers, speaker)) {
        // Forgetting another zone's music would leave it playing beside the next one.
        if (m_currentMusic == speaker) {
            speaker->Stop();
            m_currentMusic = nullptr;
        }
        return true;
    }
    return EraseFirst(m_freeSpeakers, speaker);
}

void SceneAudio::DeleteSpeaker(Speaker* speaker) {
    // The default music is in no list and stays the section's own.
    if (!speaker || speaker == m_defaultMusic) return;
    RemoveSpeaker(speaker);
    delete speaker;
}

AreaReverb* SceneAudio::CreateAreaReverb(const char* name) {
    AreaReverb* zone = NewObject<AreaReverb>();
    if (!zone) return nullptr;
    if (!zone->CreateReverb(name)) {
        delete zone;
        return nullptr;
    }
    m_reverbs.push_back(zone);
    return zone;
}

void SceneAudio::DeleteReverb(AreaReverb* zone) {
    EraseFirst(m_reverbs, zone);
    // Only the zone going is forgotten: forgetting another one would leave its reverb on.
    if (m_currentReverb == zone) m_currentReverb = nullptr;
    delete zone;
}

ISpeaker* SceneAudio::CreateSpeaker(const char* path, int type, int managed) {
    Speaker* speaker = NewObject<Speaker>();
    if (!speaker) return nullptr;
    if (!speaker->LoadSound(path, static_cast<std::uint32_t>(type), GeoObject::kCylinder)) {
        delete speaker;
        return nullptr;
    }
    AddSpeaker(speaker, managed != 0);
    return speaker;
}

SpaceObject* SceneAudio::SpeakerObject(ISpeaker* speaker) { return speaker ? speaker->GetObject() : nullptr; }

void SceneAudio::AddProject(const char* path) {
    client::IAudio* audio = Interfaces().audio;
    if (!path || !audio) return;
    char full[kAudioPathLimit + 1] = {};
    common::IResFileSystem* files = Interfaces().resFileSystem;
    if (files) {
        if (!files->MakeFullPath(path, full, sizeof full)) {
            LogWarning("Failed to load audio project %s!", path);
            return;
        }
    } else {
        if (std::strlen(path) > kAudioPathLimit) {
            LogWarning("Failed to load audio project %s!", path);
            return;
        }
        std::strcpy(full, path);
    }
    for (client::IAudioProject* project : m_projects)
        if (std::strcmp(project->GetPath(), full) == 0) return;
    if (client::IAudioProject* project = audio->LoadProject(full)) m_projects.push_back(project);
}

bool SceneAudio::SetDefaultMusic(const char* path) {
    if (!m_defaultMusic) {
        m_defaultMusic = NewObject<Speaker>();
        if (!m_defaultMusic) return false;
    } else if (path && std::strcmp(m_defaultMusic->GetSoundPath(), path) == 0) {
        return true;
    }
    if (!m_defaultMusic->LoadSound(path, 5, GeoObject::kCylinder)) return false;
    if (m_defaultMusic == m_currentMusic) m_defaultMusic->Start();
    return true;
}

bool SceneAudio::SetDefaultMusicEffect(const char* path) {
    if (!m_defaultMusic || !m_defaultMusic->LoadEffect(path)) return false;
    if (m_defaultMusic == m_currentMusic) m_defaultMusic->Start();
    return true;
}

const char* SceneAudio::GetDefaultMusicPath() { return m_defaultMusic ? m_defaultMusic->GetSoundPath() : nullptr; }

const char* SceneAudio::GetDefaultMusicEffectPath() {
    return m_defaultMusic ? m_defaultMusic->GetEffectPath() : nullptr;
}

void SceneAudio::StartSpeakers() {
    for (Speaker* speaker : m_pointSpeakers) speaker->Start();
}

void SceneAudio::SetActive(bool active) {
    for (Speaker* speaker : m_pointSpeakers) speaker->SetActive(active);
    if (m_currentMusic) m_currentMusic->SetActive(active);
    for (AreaReverb* zone : m_reverbs) zone->SetSceneActive(active);
}

void SceneAudio::Update() {
    client::IAudio* audio = Interfaces().audio;
    if (!audio) return;
    float where[3] = {0, 0, 0};
    audio->GetListenerAttributes(where, nullptr, nullptr, nullptr);
    const Vec3 listener(where[0], where[1], where[2]);
    auto inside = [&](GeoObject* shape) { return shape && shape->ContainsPoint(listener); };

    Speaker* found = nullptr;
    for (Speaker* speaker : m_areaSpeakers) {
        if (speaker->IsVisible() && inside(speaker->GetAreaShape())) {
            found = speaker;
            break;
        }
    }
    if (found) {
        if (m_currentMusic && std::strcmp(m_currentMusic->GetSoundPath(), found->GetSoundPath()) == 0) return;
        if (m_currentMusic) m_currentMusic->Stop();
        m_currentMusic = found;
        found->Start();
        return;
    }
    if (m_currentMusic != m_defaultMusic) {
        if (m_currentMusic) m_currentMusic->Stop();
        m_currentMusic = m_defaultMusic;
        if (m_defaultMusic) m_defaultMusic->Start();
    }

    if (!m_reverbSwitching) return;
    bool any = false;
    for (AreaReverb* zone : m_reverbs) {
        if (!zone->IsVisible() || !inside(zone->GetAreaShape())) continue;
        any = true;
        if (zone == m_currentReverb) return;
        if (m_currentReverb && m_currentReverb->GetReverbHandle()) m_currentReverb->GetReverbHandle()->SetActive(false);
        if (zone->GetReverbHandle()) zone->GetReverbHandle()->SetActive(true);
        m_currentReverb = zone;
    }
    if (!any && m_currentReverb) {
        if (m_currentReverb->GetReverbHandle()) m_currentReverb->GetReverbHandle()->SetActive(false);
        m_currentReverb = nullptr;
    }
}

void SceneAudio::Clear() {
    for (std::vector<Speaker*>* list : {&m_pointSpeakers, &m_areaSpeakers, &m_freeSpeakers}) {
        for (Speaker* speaker : *list) delete speaker;
        list->clear();
    }
    for (AreaReverb* zone : m_reverbs) delete zone;
    m_reverbs.clear();
    m_currentReverb = nullptr;
    delete m_defaultMusic;
    m_defaultMusic = nullptr;
    for (client::IAudioProject* project : m_projects) project->Release();
    m_projects.clear();
    m_currentMusic = nullptr;
}

// --- the XML form ----------------------------------------------------------------------------------

bool SceneAudio::LoadXml(common::IXmlNode* scene, int layerValue) {
    if (!scene) return true;
    XmlNodePtr root(scene->FirstChildElement("Audio"));
    if (!root) return true;
    m_layerValue = layerValue;
    client::IAudio* audio = Interfaces().audio;

    if (layerValue == 0) {
        XmlNodePtr settings = root.FirstChild("_3DSettings");
        if (settings && audio)
            audio->Set3DSettings(settings->GetFloatAttribute(nullptr, "DopplerScale", 0.0f),
                                 settings->GetFloatAttribute(nullptr, "DistanceFactor", 0.0f),
                                 settings->GetFloatAttribute(nullptr, "RolloffScale", 0.0f));
    }

    // Without the audio module each part stops the load with its warning; the scene itself
    // still loads.
    if (!audio) {
        LogWarning("Failed to load FMOD projects! Audio module not loaded!");
        return true;
    }
    if (XmlNodePtr projects = root.FirstChild("FMODProjects")) {
        for (int i = 0;; ++i) {
            XmlNodePtr child = projects.ChildAt(nullptr, i);
            if (!child) break;
            AddProject(ReadText(child.Get(), "FilePath").c_str());
        }
    }

    if (layerValue == 0) {
        if (XmlNodePtr music = root.FirstChild("DefaultMusic")) {
            const std::string path = ReadText(music.Get(), "Path");
            const std::string effect = ReadText(music.Get(), "EffectPath");
            if (!SetDefaultMusic(path.c_str())) return false;
            if (!effect.empty() && !SetDefaultMusicEffect(effect.c_str())) return false;
        }
    }

    bool failed = false;
    if (XmlNodePtr speakers = root.FirstChild("Speakers")) {
        for (int i = 0;; ++i) {
            XmlNodePtr child = speakers.ChildAt(nullptr, i);
            if (!child) break;
            const std::string path = ReadText(child.Get(), "Path");
            if (path.empty()) continue;
            const std::string effect = ReadText(child.Get(), "EffectPath");
            const auto type = static_cast<std::uint32_t>(child->GetIntAttribute(nullptr, "SoundType", 0));
            const std::uint32_t shape = child->GetUIntAttribute(nullptr, "AreaShape", 0xFFFFFFFFu);
            float matrix[16];
            ReadXmlMatrix(child.Get(), nullptr, "WorldMatrix", matrix, kIdentity);
            Speaker* speaker = NewObject<Speaker>();
            if (!speaker || !speaker->LoadSound(path.c_str(), type, shape)) {
                delete speaker;
                LogError("Failed to load speaker %s!", path.c_str());
                failed = true;
                continue;
            }
            if (!effect.empty() && !speaker->LoadEffect(effect.c_str())) {
                delete speaker;
                LogError("Failed to load speaker effect %s!", effect.c_str());
                failed = true;
                continue;
            }
            speaker->SetLocalMatrix(ToMatrix(matrix));
            AddSpeaker(speaker, true);
            Attach(speaker);
            speaker->SetUserValue(layerValue);
        }
    }
    if (failed) return false;

    if (XmlNodePtr zones = root.FirstChild("AreaReverbs")) {
        for (int i = 0;; ++i) {
            XmlNodePtr child = zones.ChildAt(nullptr, i);
            if (!child) break;
            const std::string name = ReadText(child.Get(), "Name");
            child->GetUIntAttribute(nullptr, "FMODProjectIndex", 0);
            AreaReverb* zone = CreateAreaReverb(name.c_str());
            if (!zone) {
                LogError("Failed to create area-reverb %s!", name.c_str());
                return false;
            }
            float matrix[16];
            ReadXmlMatrix(child.Get(), nullptr, "WorldMatrix", matrix, kIdentity);
            zone->SetAreaShape(child->GetUIntAttribute(nullptr, "AreaShape", 0xFFFFFFFFu));
            zone->SetRadii(child->GetFloatAttribute(nullptr, "InnerRadius", 0.0f),
                           child->GetFloatAttribute(nullptr, "OuterRadius", 0.0f));
            zone->SetLocalMatrix(ToMatrix(matrix));
            Attach(zone);
            zone->SetUserValue(layerValue);
        }
    }
    return true;
}

// --- the binary form -------------------------------------------------------------------------------

namespace {

// A text of the file: a length bounded by the bytes left, then that many bytes.
bool ReadFileText(BinaryReader& file, std::string& out) {
    const std::uint32_t n = file.U32();
    if (!file.CheckCount(n, 1)) return false;
    const std::uint8_t* bytes = file.Span(n);
    if (!bytes && n) return false;
    out.assign(reinterpret_cast<const char*>(bytes), n);
    return file.Ok();
}

}  // namespace

bool SceneAudio::ReadBinary(std::uint32_t version, BinaryReader& file, SoundSection& out) {
    out = SoundSection();
    if (version < kSoundSectionVersion) return true;
    auto fail = [&](const char* what) {
        LogError("Scene sound section: %s does not fit the file.", what);
        out = SoundSection();
        return false;
    };
    file.F32s(out.settings, 3);
    if (!file.Ok()) return fail("the 3D settings");

    std::uint32_t projects = 0;
    if (version == 0x10014 || version == 0x10015) {
        projects = 1;
    } else if (version >= 0x10016) {
        projects = file.U32();
        if (!file.CheckCount(projects, 4)) return fail("the project count");
    }
    out.projects.resize(projects);
    for (std::string& project : out.projects)
        if (!ReadFileText(file, project)) return fail("a project path");

    const bool placedByMatrix = version >= 0x10016;
    const bool withEffects = version >= 0x10017;
    if (placedByMatrix) {
        if (!ReadFileText(file, out.defaultMusic)) return fail("the default music");
        if (withEffects && !out.defaultMusic.empty() && !ReadFileText(file, out.defaultMusicEffect))
            return fail("the default music effect");
    }
    const std::uint32_t speakers = file.U32();
    const std::size_t smallest = withEffects ? 92 : placedByMatrix ? 88 : 32;
    if (!file.Ok() || !file.CheckCount(speakers, smallest)) return fail("the speaker count");
    out.speakers.resize(speakers);
    for (SoundSpeakerRecord& s : out.speakers) {
        if (!ReadFileText(file, s.path)) return fail("a speaker path");
        if (withEffects && !ReadFileText(file, s.effectPath)) return fail("a speaker effect path");
        s.type = file.U32();
        if (placedByMatrix) {
            s.shape = file.U32();
            file.F32s(s.matrix, 16);
        } else {
            file.F32s(s.position, 3);
        }
        file.F32s(s.vector, 3);
        if (!file.Ok()) return fail("a speaker");
    }

    if (version >= kSoundZonesVersion) {
        const std::uint32_t zones = file.U32();
        if (!file.Ok() || !file.CheckCount(zones, 84)) return fail("the zone count");
        out.zones.resize(zones);
        for (SoundZoneRecord& z : out.zones) {
            z.projectIndex = file.U32();
            if (!ReadFileText(file, z.name)) return fail("a zone name");
            z.shape = file.U32();
            z.inner = file.F32();
            z.outer = file.F32();
            file.F32s(z.matrix, 16);
            if (!file.Ok()) return fail("a zone");
        }
    }
    return true;
}

bool SceneAudio::ApplyBinary(std::uint32_t version, const SoundSection& section) {
    if (version < kSoundSectionVersion) return true;
    client::IAudio* audio = Interfaces().audio;
    for (const std::string& project : section.projects) {
        if (project.empty()) continue;
        if (audio)
            AddProject(project.c_str());
        else
            LogWarning("Failed to load audio resource: %s! Audio module not loaded.", project.c_str());
    }
    if (version >= 0x10016 && !section.defaultMusic.empty()) {
        SetDefaultMusic(section.defaultMusic.c_str());
        if (version >= 0x10017 && !section.defaultMusicEffect.empty())
            SetDefaultMusicEffect(section.defaultMusicEffect.c_str());
    }

    bool allLoaded = true;
    for (const SoundSpeakerRecord& s : section.speakers) {
        Speaker* speaker = NewObject<Speaker>();
        const bool placedByMatrix = version >= 0x10016;
        bool ok = speaker && speaker->LoadSound(s.path.c_str(), s.type, placedByMatrix ? s.shape : 1u);
        if (ok && version >= 0x10017 && !s.effectPath.empty()) ok = speaker->LoadEffect(s.effectPath.c_str());
        if (!ok) {
            delete speaker;
            allLoaded = false;
            continue;
        }
        if (placedByMatrix)
            speaker->SetLocalMatrix(ToMatrix(s.matrix));
        else
            speaker->SetWorldPosition(Vec3(s.position[0], s.position[1], s.position[2]));
        speaker->SetSoundVector(s.vector[0], s.vector[1], s.vector[2]);
        AddSpeaker(speaker, true);
        Attach(speaker);
    }
    if (!allLoaded) return false;
    if (audio) audio->Set3DSettings(section.settings[0], section.settings[1], section.settings[2]);

    for (const SoundZoneRecord& z : section.zones) {
        AreaReverb* zone = CreateAreaReverb(z.name.c_str());
        if (!zone) return false;
        zone->SetAreaShape(z.shape);
        zone->SetRadii(z.inner, z.outer);
        zone->SetLocalMatrix(ToMatrix(z.matrix));
        Attach(zone);
    }
    return true;
}

bool SceneAudio::LoadBinary(std::uint32_t version, BinaryReader& file) {
    SoundSection section;
    if (!ReadBinary(version, file, section)) return false;
    return ApplyBinary(version, section);
}

}  // namespace quor::world
