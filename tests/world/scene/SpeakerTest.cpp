#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/IAudio.h"
#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/GeoObject.h"
#include "world/core/InterfaceTable.h"
#include "world/scene/SceneAudio.h"
#include "world/scene/Speaker.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::AreaReverb;
using world::Speaker;

// A world whose audio opens the RIFF sounds added here.
struct AudioWorld {
    AudioWorld() {
        for (const char* name : {"a.wav", "b.wav", "music/theme.ogg"}) AddSound(name);
    }
    void AddSound(const std::string& name) {
        static_cast<host::MemoryFileSystem*>(fx.host().files.get())
            ->AddFile(name, std::string_view("RIFF\0\0\0\0WAVE", 12));
    }
    host::RecordingAudio& audio() { return fx.host().audio; }
    WorldFixture fx;
};

TEST(Speaker, EventNames) {
    const struct {
        const char* name;
        bool event;
    } cases[] = {
        {"", true},          {"music/theme.ogg", false}, {"music/theme", true}, {".wav", true},
        {"a.b/c", true},     {"a\\b.c", false},          {"x.", false},         {"ab", true},
        {"dir.v2\\x", true}, {"a", true},
    };
    for (const auto& c : cases) EXPECT_EQ(world::IsEventName(c.name), c.event) << c.name;
}

// The loading edge cases, with and without the audio module.
TEST(Speaker, LoadingPaths) {
    AudioWorld w;
    const struct {
        const char* what;
        bool withAudio;
        bool sound;  // LoadSound, else LoadEffect
        const char* path;
        bool result;
        const char* stored;
    } cases[] = {
        {"sound file", true, true, "music/theme.ogg", true, "music/theme.ogg"},
        {"event name", true, true, "music/theme", true, "music/theme"},
        {"empty sound", true, true, "", false, ""},
        {"null sound", true, true, nullptr, false, "old.wav"},
        {"empty effect", true, false, "", true, ""},
        {"effect event", true, false, "fx/boom", true, "fx/boom"},
        {"effect file", true, false, "fx/boom.wav", false, "old"},
        {"same effect", true, false, "old", true, "old"},
        {"no audio sound", false, true, "a.wav", false, "old.wav"},
        {"no audio effect", false, false, "fx/boom", false, "old"},
    };
    for (const auto& c : cases) {
        Interfaces().audio = &w.audio();
        Speaker speaker;
        ASSERT_TRUE(speaker.LoadSound("old.wav", 3, 0));
        ASSERT_TRUE(speaker.LoadEffect("old"));
        if (!c.withAudio) Interfaces().audio = nullptr;
        w.fx.capture.Clear();
        const bool result = c.sound ? speaker.LoadSound(c.path, 9, 0) : speaker.LoadEffect(c.path);
        EXPECT_EQ(result, c.result) << c.what;
        EXPECT_STREQ(c.sound ? speaker.GetSoundPath() : speaker.GetEffectPath(), c.stored) << c.what;
        EXPECT_EQ(w.fx.capture.Contains("Audio module not loaded."), !c.withAudio) << c.what;
        if (c.sound && c.path) { EXPECT_EQ(speaker.GetSoundType(), 9u) << c.what << ": the type is stored first"; }
    }
    Interfaces().audio = &w.audio();
    // A path longer than the speaker keeps is refused, not cut into another name.
    Speaker speaker;
    EXPECT_FALSE(speaker.LoadSound(std::string(260, 'x').c_str(), 0, 0));
    EXPECT_TRUE(speaker.LoadSound(std::string(259, 'x').c_str(), 0, 0));
}

TEST(Speaker, StartPlaysAndUpdateReleasesWhatEnded) {
    AudioWorld w;
    Speaker speaker;
    ASSERT_TRUE(speaker.LoadSound("a.wav", 12, 0));
    ASSERT_TRUE(speaker.LoadEffect("fx/boom"));
    EXPECT_EQ(w.audio().LiveAudioObjects(), 0) << "nothing is made before the start";
    speaker.SetSoundVector(1, 2, 3);
    speaker.SetWorldPosition(Vec3(4, 5, 6));
    speaker.Start();
    EXPECT_EQ(w.audio().CountCalls("LoadSound a.wav 12 0"), 1);
    EXPECT_EQ(w.audio().CountCalls("CreateSoundEvent fx/boom"), 1);
    EXPECT_TRUE(speaker.GetPlayState());
    EXPECT_FALSE(speaker.HasHideFlags(0));
    speaker.Update();
    EXPECT_EQ(w.audio().CountCalls("Set3DAttributes 4,5,6 1,2,3"), 1) << "the sound only, not the effect";
    speaker.Update();
    EXPECT_EQ(w.audio().CountCalls("Set3DAttributes"), 1) << "no move, no call";

    w.audio().End("a.wav");
    speaker.Update();
    EXPECT_EQ(speaker.GetSound(), nullptr);
    EXPECT_TRUE(speaker.GetPlayState()) << "the effect still plays";
    w.audio().End("fx/boom");
    speaker.Update();
    EXPECT_FALSE(speaker.GetPlayState());
    EXPECT_TRUE(speaker.HasHideFlags(0));
    EXPECT_EQ(w.audio().LiveAudioObjects(), 0);
    speaker.Start();
    EXPECT_EQ(w.audio().CountCalls("LoadSound a.wav"), 2) << "the next start makes them again";
    EXPECT_EQ(w.audio().Playing(), 2);
    speaker.SetHideFlags(true, 2, false);
    EXPECT_EQ(w.audio().Playing(), 0) << "hiding with bit value 2 stops";
    EXPECT_EQ(w.audio().BadReleases(), 0);
}

TEST(Speaker, RefusedEventIsLogged) {
    AudioWorld w;
    Speaker speaker;
    ASSERT_TRUE(speaker.LoadSound("music/theme", 0, 0));
    w.audio().refuseEventPlay = true;
    speaker.Start();
    EXPECT_TRUE(w.fx.capture.Contains("music/theme")) << w.fx.capture.Joined();
    EXPECT_NE(speaker.GetSoundEvent(), nullptr);
    EXPECT_FALSE(speaker.GetPlayState());
}

TEST(Speaker, PauseAndResumeAcrossDeactivation) {
    AudioWorld w;
    // A sound pauses and resumes.
    Speaker sound;
    ASSERT_TRUE(sound.LoadSound("a.wav", 0, 0));
    sound.Start();
    sound.SetActive(false);
    EXPECT_FALSE(sound.IsSceneActive());
    sound.SetActive(true);
    EXPECT_EQ(w.audio().NamedCalls(),
              (std::vector<std::string>{"LoadSound a.wav 0 0", "a.wav: Play", "a.wav: SetPaused 1", "a.wav: SetPaused 0"}));
    // An event and its effect stop and play again.
    w.audio().ClearCalls();
    Speaker event;
    ASSERT_TRUE(event.LoadSound("music/theme", 0, 0));
    ASSERT_TRUE(event.LoadEffect("fx/boom"));
    event.Start();
    event.SetActive(false);
    EXPECT_EQ(w.audio().Playing(), 1) << "both events stopped; the sound still plays";
    event.SetActive(true);
    EXPECT_EQ(w.audio().Playing(), 3);
    // A speaker that was silent stays silent.
    w.audio().EndAll();
    w.audio().ClearCalls();
    sound.SetActive(false);
    sound.SetActive(true);
    EXPECT_EQ(w.audio().CountCalls("SetPaused"), 0);
}

TEST(Speaker, SoundTypeAndShapes) {
    AudioWorld w;
    Speaker speaker;
    ASSERT_TRUE(speaker.LoadSound("a.wav", 8, 7));
    EXPECT_EQ(speaker.GetAreaShape(), nullptr) << "kind 7 makes no shape";
    speaker.SetSoundType(4);
    EXPECT_EQ(speaker.GetSoundType(), 8u) << "no sound made yet: nothing changes";
    speaker.Start();
    EXPECT_TRUE(speaker.GetModeFlag()) << "bit value 8 of the loaded mode";
    speaker.SetSoundType(4);  // no owner: the type only
    EXPECT_EQ(speaker.GetSoundType(), 4u);
    ASSERT_NE(speaker.GetAreaShape(), nullptr) << "an old type with bit value 8 gets a sphere";
    EXPECT_EQ(speaker.GetAreaShape()->GetKind(), GeoObject::kSphere);
    GeoObject* shape = speaker.GetAreaShape();
    speaker.SetAreaShape(GeoObject::kSphere);
    EXPECT_EQ(speaker.GetAreaShape(), shape) << "the same kind keeps the shape";
    speaker.SetAreaShape(GeoObject::kCuboid);
    EXPECT_EQ(speaker.GetAreaShape()->GetKind(), GeoObject::kCuboid);

    // With an owner the speaker moves between the point and zone lists.
    world::SceneAudio section;
    auto* owned = new Speaker;
    ASSERT_TRUE(owned->LoadSound("b.wav", 4, 0xFFFFFFFF));
    section.AddSpeaker(owned, true);
    ASSERT_EQ(section.PointSpeakers().size(), 1u);
    owned->Start();
    owned->SetAreaShape(GeoObject::kSphere);
    owned->SetSoundType(8);
    EXPECT_TRUE(section.PointSpeakers().empty());
    EXPECT_EQ(section.AreaSpeakers(), std::vector<Speaker*>{owned});
    EXPECT_EQ(owned->GetSoundType(), 8u);
}

TEST(AreaReverb, RadiiReverbAndRelease) {
    AudioWorld w;
    const struct {
        float inner, outer, wantInner, wantOuter;
    } radii[] = {{5, 2, 2, 2}, {-1, -3, 0, 0}, {1, 4, 1, 4}, {-2, 3, 0, 3}};
    for (const auto& r : radii) {
        AreaReverb zone;
        zone.SetRadii(r.inner, r.outer);
        float inner = -9, outer = -9;
        zone.GetRadii(&inner, &outer);
        EXPECT_EQ(inner, r.wantInner);
        EXPECT_EQ(outer, r.wantOuter);
    }
    {
        AreaReverb zone;
        w.audio().Refuse("none");
        EXPECT_FALSE(zone.CreateReverb("none"));
        ASSERT_TRUE(zone.CreateReverb("hall"));
        EXPECT_STREQ(zone.GetName(), "hall");
        zone.SetAreaShape(GeoObject::kCylinder);
        zone.SetRadii(1, 5);
        zone.SetWorldPosition(Vec3(1, 2, 3));
        zone.Update();
        EXPECT_EQ(w.audio().CountCalls("Set3DAttributes 1,2,3 1 5"), 1);
        zone.GetReverbHandle()->SetActive(true);
        zone.SetSceneActive(false);
        zone.GetReverbHandle()->SetActive(false);
        zone.SetSceneActive(true);
        EXPECT_TRUE(w.audio().IsReverbActive("hall")) << "on again after the scene comes back";
        Interfaces().audio = nullptr;
        AreaReverb silent;
        EXPECT_FALSE(silent.CreateReverb("hall"));
        Interfaces().audio = &w.audio();
    }
    EXPECT_EQ(w.audio().LiveReverbs(), 0) << "the zone gives its reverb back";
    EXPECT_EQ(w.audio().BadReleases(), 0);
}

}  // namespace
