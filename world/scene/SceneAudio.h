#pragma once

namespace quor::world {

class ISpeaker;
class SceneBase;
class SpaceObject;

// Stand-in for a scene's audio part: the members the scene calls, holding nothing. The scene
// audio issue makes speakers, reverb zones and projects.
class SceneAudio {
public:
    void SetOwner(SceneBase* owner) { m_owner = owner; }
    void Update() {}
    void SetActive(bool) {}
    void Clear() {}
    ISpeaker* CreateSpeaker(const char*, int, int) { return nullptr; }
    SpaceObject* SpeakerObject(ISpeaker*) { return nullptr; }
    void RemoveSpeaker(SpaceObject*) {}
    void RemoveReverb(SpaceObject*) {}
    void AddAudioProject(const char*) {}

private:
    SceneBase* m_owner = nullptr;
};

}  // namespace quor::world
