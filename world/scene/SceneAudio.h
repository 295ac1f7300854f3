#pragma once
#include "platform/host/IXmlNode.h"
#include "world/core/Log.h"

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
    // The audio part of a scene file: nothing to read without an "Audio" element. With one,
    // the stand-in cannot make its speakers and says so (the scene load goes on).
    bool LoadXml(common::IXmlNode* root, int /*layerId*/) {
        common::IXmlNode* audio = root ? root->FirstChildElement("Audio") : nullptr;
        if (!audio) return true;
        audio->Release();
        LogWarning("Scene audio is not supported yet: the \"Audio\" section is skipped!");
        return false;
    }

private:
    SceneBase* m_owner = nullptr;
};

}  // namespace quor::world
