#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/RecordingHostParts.h"
#include "tests/support/world/EffectFileWriter.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/fx/FxTestSupport.h"
#include "world/core/InterfaceTable.h"
#include "world/fx/FxMgr.h"
#include "world/fx/FxSound.h"

namespace quor::world {
namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

struct Sound : testing::Test {
    test::LogCapture log;
    host::MemoryFileSystem files;
    host::RecordingAudio audio{&files};
    FxMgr mgr;
    FxBase* root = nullptr;

    Sound() {
        files.AddFile("a.wav", std::string_view("RIFF\x10\0\0\0WAVEfmt ", 16));
        Interfaces().audio = &audio;
    }
    ~Sound() override {
        mgr.ReleaseAll();
        Interfaces().audio = nullptr;
    }

    // A root (looping when asked) holding one node of the kind; its first child or null.
    FxSound* Load(const char* kind, const Attributes& attributes, bool loop = false) {
        test::EffectFileWriter file("Root");
        file.Set("FxLifeSpan", 10.0).Set("Loop", loop ? "true" : "false");
        auto& node = file.AddNode(kind);
        for (const auto& [name, value] : attributes) node.Set(name, value);
        test::XmlDoc doc(file.Text());
        root = mgr.CreateFromElement(doc.root, kFxFlagReadLoop);
        if (!root) return nullptr;
        mgr.AddObject(root);
        root->SetFrameTime(0.1f);
        return dynamic_cast<FxSound*>(root->ChildAt(0));
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) root->Update();
    }
};

TEST_F(Sound, LoadKeysFlagsAndVolume) {
    audio.listenerVolume = 0.5f;
    FxSound* sound = Load("FxSound", {{"FileName", "a.wav"}, {"Volume", "80"}}, true);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->GetKind(), kFxKindSound);
    EXPECT_EQ(sound->GetMaxDistance(), 1.0f);  // absent: 1.0, not the constructor's 1000
    EXPECT_EQ(audio.Calls(), (std::vector<std::string>{"LoadSound a.wav 23 0", "GetListenerInfo", "SetVolume 40",
                                                       "Set3DAttributes 0,0,0 0,0,0"}));
    mgr.ReleaseAll();
    audio.ClearCalls();
    ASSERT_NE(Load("FxSound", {{"FileName", "a.wav"}, {"IsStream", "false"}, {"IsHDAccelerate", "false"}}), nullptr);
    EXPECT_EQ(audio.CountCalls("LoadSound a.wav 4 0"), 1);
    mgr.ReleaseAll();

    // Dropped from the tree: no file name, a missing file, an event node without an event name.
    const Attributes dropped[] = {{{"Volume", "50"}}, {{"FileName", "missing.wav"}}, {{"FileName", "p.fev"}}};
    const char* kinds[] = {"FxSound", "FxSound", "FxSoundEventDrive"};
    for (int i = 0; i < 3; ++i) {
        Load(kinds[i], dropped[i]);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->ChildCount(), 0) << i;
        mgr.ReleaseAll();
    }
    EXPECT_EQ(audio.LiveAudioObjects(), 0);
}

TEST_F(Sound, PlaysInItsWindowAndFollowsMovesOnly) {
    for (const char* kind : {"FxSound", "FxSoundEventDrive"}) {
        audio.ClearCalls();
        FxSound* sound = Load(kind, {{"FileName", "a.wav"}, {"EventName", "boom"}, {"Volume", "80"},
                                     {"Velocity", "1,0,0"}});
        ASSERT_NE(sound, nullptr) << kind;
        Frames(3);
        EXPECT_EQ(audio.Playing(), 1) << kind;
        if (std::string(kind) == "FxSoundEventDrive") {
            EXPECT_EQ(audio.CountCalls("CreateSoundSource a.wav"), 1);
            EXPECT_EQ(audio.CountCalls("CreateSoundEvent boom"), 1);
            EXPECT_EQ(audio.CountCalls("SetVolume 0.8"), 1);
        }
        const int placed = audio.CountCalls("Set3DAttributes");
        EXPECT_EQ(placed, 1) << kind;
        Frames(5);
        EXPECT_EQ(audio.CountCalls("Set3DAttributes"), placed) << kind << ": no move, no call";
        root->SetPosition(Vec3(1.0f, 2.0f, 3.0f));
        Frames(1);
        EXPECT_EQ(audio.CountCalls("Set3DAttributes 1,2,3 1,0,0"), 1) << kind;
        Frames(2);
        EXPECT_EQ(audio.CountCalls("Set3DAttributes"), placed + 1) << kind;
        mgr.ReleaseAll();
        EXPECT_EQ(audio.LiveAudioObjects(), 0) << kind;
    }
}

TEST_F(Sound, EventWithoutProjectStaysSilent) {
    audio.refuseProjects = true;
    FxSound* sound = Load("FxSoundEventDrive", {{"FileName", "p.fev"}, {"EventName", "boom"}});
    ASSERT_NE(sound, nullptr);
    Frames(5);
    EXPECT_EQ(audio.Playing(), 0);
    EXPECT_EQ(audio.CountCalls("CreateSoundEvent"), 0);
    EXPECT_FALSE(log.Contains("rror"));
}

// Whatever state a node is in, releasing it leaves no audio object alive, and releasing again
// does nothing.
TEST_F(Sound, ReleaseInEveryStateFreesEverything) {
    const std::vector<std::pair<std::string, std::function<void(Sound&, FxSound*)>>> states = {
        {"loaded", [](Sound&, FxSound*) {}},
        {"playing", [](Sound& t, FxSound*) { t.Frames(3); }},
        {"stopped", [](Sound& t, FxSound* s) { t.Frames(3), s->SetPlaying(false); }},
        {"ended", [](Sound& t, FxSound*) { t.Frames(3), t.audio.EndAll(), t.Frames(1); }},
        {"deactivated", [](Sound& t, FxSound*) { t.Frames(3), t.root->Deactivate(), t.Frames(1); }},
        {"reset", [](Sound& t, FxSound*) { t.Frames(3), t.root->Reset(); }},
    };
    for (const char* kind : {"FxSound", "FxSoundEventDrive"}) {
        for (bool loop : {false, true}) {
            for (const auto& [name, reach] : states) {
                FxSound* sound = Load(kind, {{"FileName", "a.wav"}, {"EventName", "boom"}}, loop);
                ASSERT_NE(sound, nullptr);
                reach(*this, sound);
                sound->Release();
                sound->Release();
                EXPECT_EQ(audio.LiveAudioObjects(), 0) << kind << " " << name << " loop " << loop;
                mgr.ReleaseAll();
            }
        }
    }
}

}  // namespace
}  // namespace quor::world
