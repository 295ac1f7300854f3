#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quor {
class BinaryReader;
}

namespace quor::common {
class IXmlNode;
}

namespace quor::client {
class IAudioProject;
}

namespace quor::world {

class AreaReverb;
class ISpeaker;
class SceneBase;
class SpaceObject;
class Speaker;

// The sound section of a binary scene file, as read: what SceneAudio::ApplyBinary turns into
// speakers and zones. Texts are kept whole; their length limits are checked when applied.
struct SoundSpeakerRecord {
    std::string path;
    std::string effectPath;
    std::uint32_t type = 0;
    std::uint32_t shape = 1;
    float position[3] = {0, 0, 0};
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float vector[3] = {0, 0, 0};
};

struct SoundZoneRecord {
    std::uint32_t projectIndex = 0;
    std::string name;
    std::uint32_t shape = 0;
    float inner = 0.0f;
    float outer = 0.0f;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

struct SoundSection {
    float settings[3] = {0, 0, 0};  // doppler scale, distance factor, rolloff scale
    std::vector<std::string> projects;
    std::string defaultMusic;
    std::string defaultMusicEffect;
    std::vector<SoundSpeakerRecord> speakers;
    std::vector<SoundZoneRecord> zones;
};

// Versions of the binary scene file from which the sound section and its zones exist.
constexpr std::uint32_t kSoundSectionVersion = 0x10013;
constexpr std::uint32_t kSoundZonesVersion = 0x10024;

// A scene's audio: its speakers in three lists (point speakers, music zones, and free speakers
// that are never switched), its reverb zones, the audio projects, the default music, and the
// music and reverb playing now, switched every frame by where the listener is. Owns every
// speaker and zone it lists. It has no lock: the scene calls it under its object lock.
class SceneAudio {
public:
    SceneAudio() = default;
    ~SceneAudio();
    SceneAudio(const SceneAudio&) = delete;
    SceneAudio& operator=(const SceneAudio&) = delete;

    void SetOwner(SceneBase* owner) { m_owner = owner; }
    SceneBase* GetOwner() const { return m_owner; }

    void AddSpeaker(Speaker* speaker, bool managed);
    // Takes the speaker out of its list; true when it was listed. A music zone that is the
    // current music is stopped and forgotten.
    bool RemoveSpeaker(Speaker* speaker);
    void DeleteSpeaker(Speaker* speaker);
    AreaReverb* CreateAreaReverb(const char* name);
    void DeleteReverb(AreaReverb* zone);
    ISpeaker* CreateSpeaker(const char* path, int type, int managed);
    // The placed-object side of a speaker this section made.
    SpaceObject* SpeakerObject(ISpeaker* speaker);
    void AddProject(const char* path);
    bool SetDefaultMusic(const char* path);
    bool SetDefaultMusicEffect(const char* path);
    const char* GetDefaultMusicPath();
    const char* GetDefaultMusicEffectPath();
    void StartSpeakers();
    void SetActive(bool active);
    void Update();
    void Clear();

    // The "Audio" element under the scene element; layerValue 0 for the main file.
    bool LoadXml(common::IXmlNode* scene, int layerValue);
    // The sound section of a binary scene file of this version, read from the file's position.
    bool LoadBinary(std::uint32_t version, BinaryReader& file);
    // Reads the section; false (with a log line) when it does not fit the bytes left.
    static bool ReadBinary(std::uint32_t version, BinaryReader& file, SoundSection& out);
    // Makes the speakers and zones of a section read from a file of this version.
    bool ApplyBinary(std::uint32_t version, const SoundSection& section);

    void SetReverbSwitching(bool on) { m_reverbSwitching = on ? 1 : 0; }
    const std::vector<Speaker*>& PointSpeakers() const { return m_pointSpeakers; }
    const std::vector<Speaker*>& AreaSpeakers() const { return m_areaSpeakers; }
    const std::vector<Speaker*>& FreeSpeakers() const { return m_freeSpeakers; }
    const std::vector<AreaReverb*>& Reverbs() const { return m_reverbs; }
    std::size_t ProjectCount() const { return m_projects.size(); }
    Speaker* GetCurrentMusic() const { return m_currentMusic; }
    Speaker* GetDefaultMusic() const { return m_defaultMusic; }
    AreaReverb* GetCurrentReverb() const { return m_currentReverb; }
    int GetLayerValue() const { return m_layerValue; }

private:
    void Attach(SpaceObject* object);

    std::vector<Speaker*> m_pointSpeakers;
    std::vector<Speaker*> m_areaSpeakers;
    std::vector<Speaker*> m_freeSpeakers;
    std::vector<client::IAudioProject*> m_projects;
    Speaker* m_currentMusic = nullptr;
    SceneBase* m_owner = nullptr;
    Speaker* m_defaultMusic = nullptr;
    std::vector<AreaReverb*> m_reverbs;
    AreaReverb* m_currentReverb = nullptr;
    std::uint8_t m_reverbSwitching = 1;
    int m_layerValue = 0;
};

}  // namespace quor::world
