#pragma once
#include <cstdint>
#include <string>

#include "world/fx/FxBase.h"

namespace quor::client {
class ISound;
class ISoundEvent;
class ISoundProject;
}  // namespace quor::client

namespace quor::world {

// What the two sound nodes share: the volume, distances, velocity and file name, the first
// time sync and the 3D placement at the node's world position. Never created by itself.
class FxSound : public FxBase {
public:
    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void Deactivate() override;
    void SyncToParentTime(float time) override;

    std::int32_t GetVolume() const { return m_volume; }
    float GetMaxDistance() const { return m_maxDistance; }
    const std::string& GetSoundFile() const { return m_soundFile; }

protected:
    FxSound() = default;
    ~FxSound() override = default;
    // The node's world position; true when it differs from the one last given to the sound.
    bool TakeMovedPosition(float position[3]);

    std::int32_t m_volume = 100;
    float m_minDistance = 0.0f;
    float m_maxDistance = 1000.0f;
    float m_velocity[3] = {0.0f, 0.0f, 0.0f};
    std::string m_soundFile;
    std::uint8_t m_soundStarted = 0;
    std::uint8_t m_firstSyncDone = 0;

private:
    float m_lastPosition[3] = {0.0f, 0.0f, 0.0f};
};

// Plays a sound file through a sound source of the host's audio.
class FxSoundCommon : public FxSound {
public:
    FxSoundCommon();
    ~FxSoundCommon() override;

    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void SetPlaying(bool play) override;
    void Reset() override;
    void Deactivate() override;
    void Release() override;
    void Update() override;

    client::ISound* GetSource() const { return m_source; }

private:
    void ReleaseSource();

    std::uint8_t m_hardware = 1;
    std::uint8_t m_stream = 1;
    client::ISound* m_source = nullptr;
};

// Plays a named event of a sound project file; the event is made when play starts.
class FxSoundEventDrive : public FxSound {
public:
    FxSoundEventDrive();
    ~FxSoundEventDrive() override;

    bool LoadFromXml(common::IXmlNode* node, std::uint32_t flags) override;
    void SetPlaying(bool play) override;
    void Reset() override;
    void Deactivate() override;
    void Release() override;
    void Update() override;

    client::ISoundEvent* GetEvent() const { return m_event; }

private:
    void CreateEvent();
    void ReleaseEvent();
    void ReleaseAudio();

    std::string m_eventName;
    client::ISoundProject* m_project = nullptr;
    client::ISoundEvent* m_event = nullptr;
};

}  // namespace quor::world
