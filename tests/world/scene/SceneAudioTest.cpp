#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/host/MemoryFileSystem.h"
#include "platform/host/XmlNode.h"
#include "tests/support/world/scene/WorldFixture.h"
#include "world/core/BinaryReader.h"
#include "world/core/GeoObject.h"
#include "world/core/InterfaceTable.h"
#include "world/scene/SceneAudio.h"
#include "world/scene/Speaker.h"

namespace {

using namespace quor;
using namespace quor::test;
using world::AreaReverb;
using world::SceneAudio;
using world::Speaker;

struct AudioScene {
    AudioScene() {
        for (const char* name : {"a.wav", "b.wav", "c.wav", "default.wav", "zone.wav"}) AddSound(name);
        scene = fx.NewScene();
        audio.SetOwner(scene);
    }
    void AddSound(const std::string& name) {
        static_cast<host::MemoryFileSystem*>(fx.host().files.get())
            ->AddFile(name, std::string_view("RIFF\0\0\0\0WAVE", 12));
    }
    host::RecordingAudio& host() { return fx.host().audio; }
    // A music zone: a unit sphere at x.
    Speaker* Zone(const char* path, float x) {
        auto* speaker = new Speaker;
        EXPECT_TRUE(speaker->LoadSound(path, 0, GeoObject::kSphere));
        speaker->SetWorldPosition(Vec3(x, 0, 0));
        audio.AddSpeaker(speaker, true);
        return speaker;
    }
    AreaReverb* Reverb(const char* name, float x) {
        AreaReverb* zone = audio.CreateAreaReverb(name);
        EXPECT_NE(zone, nullptr);
        zone->SetAreaShape(GeoObject::kSphere);
        zone->SetWorldPosition(Vec3(x, 0, 0));
        return zone;
    }
    // One frame with the listener at x: the objects follow their places, then the switch runs.
    void Frame(float x) {
        host().SetListener(x, 0, 0);
        for (Speaker* s : audio.AreaSpeakers()) s->Update();
        for (AreaReverb* z : audio.Reverbs()) z->Update();
        audio.Update();
    }
    WorldFixture fx;
    TestScene* scene = nullptr;
    SceneAudio audio;
};

TEST(SceneAudio, ZoneMusicOverlapAndHandOver) {
    AudioScene s;
    Speaker* a = s.Zone("a.wav", 0);
    Speaker* b = s.Zone("b.wav", 1.5f);
    s.Frame(0.75f);
    EXPECT_EQ(s.audio.GetCurrentMusic(), a) << "inside both: the first in list order";
    EXPECT_EQ(s.host().PlayingNames(), std::vector<std::string>{"a.wav"});
    s.Frame(2.0f);
    EXPECT_EQ(s.audio.GetCurrentMusic(), b);
    EXPECT_EQ(s.host().PlayingNames(), std::vector<std::string>{"b.wav"}) << "the first is stopped";
    b->SetVisible(false, false);
    s.Frame(2.0f);
    EXPECT_EQ(s.audio.GetCurrentMusic(), nullptr) << "a hidden zone is never entered; no default music";
    EXPECT_EQ(s.host().Playing(), 0);
}

TEST(SceneAudio, SamePathHandsOverWithoutRestart) {
    AudioScene s;
    Speaker* first = s.Zone("zone.wav", 0);
    s.Zone("zone.wav", 1.5f);
    s.Frame(-0.5f);
    ASSERT_EQ(s.audio.GetCurrentMusic(), first);
    s.host().ClearCalls();
    s.Frame(2.0f);
    EXPECT_EQ(s.host().CountCalls("Play"), 0);
    EXPECT_EQ(s.host().CountCalls("Stop"), 0);
    EXPECT_TRUE(s.host().IsPlaying("zone.wav"));
}

TEST(SceneAudio, LeavingZonesReturnsToDefaultMusic) {
    AudioScene s;
    s.Zone("a.wav", 0);
    ASSERT_TRUE(s.audio.SetDefaultMusic("default.wav"));
    EXPECT_TRUE(s.audio.SetDefaultMusic("default.wav")) << "the same path again";
    EXPECT_STREQ(s.audio.GetDefaultMusicPath(), "default.wav");
    s.Frame(10);
    EXPECT_EQ(s.audio.GetCurrentMusic(), s.audio.GetDefaultMusic());
    EXPECT_EQ(s.host().PlayingNames(), std::vector<std::string>{"default.wav"});
    s.Frame(0);
    EXPECT_EQ(s.host().PlayingNames(), std::vector<std::string>{"a.wav"}) << "the default music stops for a zone";
    s.Frame(10);
    EXPECT_EQ(s.host().PlayingNames(), std::vector<std::string>{"default.wav"});
}

TEST(SceneAudio, RemovingSpeakersKeepsOneMusic) {
    AudioScene s;
    Speaker* a = s.Zone("a.wav", 0);
    Speaker* b = s.Zone("b.wav", 5);
    s.Frame(0);
    ASSERT_EQ(s.audio.GetCurrentMusic(), a);
    // Removing another zone keeps the current music known, so the next switch stops it.
    s.audio.DeleteSpeaker(b);
    EXPECT_EQ(s.audio.GetCurrentMusic(), a);
    Speaker* c = s.Zone("c.wav", 5);
    s.Frame(5);
    EXPECT_EQ(s.host().PlayingNames(), std::vector<std::string>{"c.wav"}) << "never two musics at once";
    // Removing the current music stops it.
    s.audio.DeleteSpeaker(c);
    EXPECT_EQ(s.audio.GetCurrentMusic(), nullptr);
    EXPECT_EQ(s.host().Playing(), 0);
}

TEST(SceneAudio, ReverbChoice) {
    AudioScene s;
    AreaReverb* first = s.Reverb("first", 0);
    AreaReverb* second = s.Reverb("second", 1.5f);
    s.Frame(0.75f);
    EXPECT_EQ(s.audio.GetCurrentReverb(), second) << "neither current: the later one";
    EXPECT_FALSE(s.host().IsReverbActive("first"));
    EXPECT_TRUE(s.host().IsReverbActive("second"));
    s.Frame(-0.5f);
    EXPECT_EQ(s.audio.GetCurrentReverb(), first);
    s.Frame(0.75f);
    EXPECT_EQ(s.audio.GetCurrentReverb(), first) << "the earlier one already current stays";
    EXPECT_TRUE(s.host().IsReverbActive("first"));
    EXPECT_FALSE(s.host().IsReverbActive("second"));
    s.Frame(10);
    EXPECT_EQ(s.audio.GetCurrentReverb(), nullptr);
    EXPECT_FALSE(s.host().IsReverbActive("first"));
    // A music zone entered leaves the reverbs alone that frame.
    s.Zone("a.wav", 0);
    s.Frame(0);
    EXPECT_EQ(s.audio.GetCurrentReverb(), nullptr);
}

TEST(SceneAudio, DeletingAnotherZoneKeepsTheCurrentReverb) {
    AudioScene s;
    AreaReverb* first = s.Reverb("first", 0);
    AreaReverb* other = s.Reverb("other", 5);
    s.Frame(0);
    ASSERT_EQ(s.audio.GetCurrentReverb(), first);
    s.audio.DeleteReverb(other);
    EXPECT_EQ(s.audio.GetCurrentReverb(), first);
    s.Frame(10);
    EXPECT_FALSE(s.host().IsReverbActive("first")) << "switched off on leaving";
    s.Frame(0);
    s.audio.DeleteReverb(first);
    EXPECT_EQ(s.audio.GetCurrentReverb(), nullptr);
    EXPECT_EQ(s.host().LiveReverbs(), 0);
}

TEST(SceneAudio, ActivationReachesPointSpeakersMusicAndZones) {
    AudioScene s;
    auto* point = new Speaker;
    ASSERT_TRUE(point->LoadSound("c.wav", 0, 0xFFFFFFFF));
    s.audio.AddSpeaker(point, true);
    s.audio.AddSpeaker(point, true);
    EXPECT_EQ(s.audio.PointSpeakers().size(), 1u) << "no duplicate in a managed list";
    s.Zone("a.wav", 0);
    s.Zone("b.wav", 5);
    s.audio.StartSpeakers();
    s.Frame(0);
    s.audio.SetActive(false);
    EXPECT_EQ(s.host().CountCalls("SetPaused 1"), 2) << "the point speaker and the current music";
    s.audio.SetActive(true);
    EXPECT_EQ(s.host().CountCalls("SetPaused 0"), 2);
}

TEST(SceneAudio, ClearAndSceneDestructionLeaveNoHostObjects) {
    AudioScene s;
    world::IScene* scene = s.scene;
    world::ISpeaker* made = scene->CreateSpeaker("a.wav", 0, 1);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetObject()->GetScene(), s.scene) << "attached to the scene";
    EXPECT_EQ(scene->CreateSpeaker("", 0, 1), nullptr);
    made->Start();
    scene->AddAudioProject("music.fev");
    scene->AddAudioProject("music.fev");
    EXPECT_EQ(s.host().CountCalls("LoadProject"), 1) << "one project per full path";
    world::ISpeaker* other = scene->CreateSpeaker("b.wav", 0, 0);
    other->Start();
    scene->DestroyObject(other->GetObject());
    EXPECT_EQ(s.host().LiveSounds(), 1);
    s.Zone("zone.wav", 0);
    s.Reverb("hall", 0);
    s.audio.SetDefaultMusic("default.wav");
    s.Frame(0);
    s.Frame(10);
    EXPECT_GT(s.host().LiveAudioObjects(), 0);
    s.audio.Clear();
    scene->Clear();
    EXPECT_EQ(s.host().LiveAudioObjects(), 0);
    EXPECT_EQ(s.audio.GetCurrentMusic(), nullptr);
    // The scene's own section goes with the scene.
    scene->CreateSpeaker("c.wav", 0, 1)->Start();
    World::Instance().DestroyScene(scene);
    EXPECT_EQ(s.host().LiveAudioObjects(), 0);
    EXPECT_EQ(s.host().BadReleases(), 0);
}

// --- loaders ---------------------------------------------------------------------------------------

host::XmlNode* ParseXml(const std::string& text) {
    host::XmlNode* doc = host::XmlNode::NewDocument();
    EXPECT_TRUE(doc->Parse(text.data(), static_cast<std::uint32_t>(text.size())));
    return doc;
}

struct XmlScene {
    explicit XmlScene(const std::string& audioText) : doc(ParseXml("<Scene>" + audioText + "</Scene>")) {
        root = doc->FirstChildElement("Scene");
    }
    ~XmlScene() {
        root->Release();
        doc->Release();
    }
    host::XmlNode* doc;
    common::IXmlNode* root;
};

const char kFullAudio[] = R"(<Audio>
  <_3DSettings DopplerScale="1" DistanceFactor="2" RolloffScale="3"/>
  <FMODProjects><P FilePath="a.fev"/><P FilePath="b.fev"/></FMODProjects>
  <DefaultMusic Path="default.wav" EffectPath="fx/bed"/>
  <Speakers>
    <S Path="a.wav" SoundType="2" AreaShape="0" WorldMatrix="1,0,0,0,0,1,0,0,0,0,1,0,4,5,6,1"/>
    <S Path=""/>
    <S EffectPath="fx/lost"/>
    <S Path="music/theme" EffectPath="fx/birds"/>
  </Speakers>
  <AreaReverbs><R Name="hall" FMODProjectIndex="3" AreaShape="2" InnerRadius="2" OuterRadius="1"/></AreaReverbs>
</Audio>)";

TEST(SceneAudioLoad, XmlMainAndLayerFiles) {
    for (int layer : {0, 7}) {
        AudioScene s;
        XmlScene xml(kFullAudio);
        ASSERT_TRUE(s.audio.LoadXml(xml.root, layer)) << s.fx.capture.Joined();
        EXPECT_EQ(s.host().CountCalls("Set3DSettings 1 2 3"), layer == 0 ? 1 : 0);
        EXPECT_EQ(s.audio.GetDefaultMusic() != nullptr, layer == 0);
        if (layer == 0) { EXPECT_STREQ(s.audio.GetDefaultMusicEffectPath(), "fx/bed"); }
        EXPECT_EQ(s.audio.ProjectCount(), 2u);
        ASSERT_EQ(s.audio.AreaSpeakers().size(), 1u) << "empty and missing paths are skipped";
        ASSERT_EQ(s.audio.PointSpeakers().size(), 1u);
        Speaker* zone = s.audio.AreaSpeakers()[0];
        EXPECT_EQ(zone->GetSoundType(), 2u);
        EXPECT_EQ(zone->GetUserValue(), layer);
        EXPECT_EQ(zone->GetScene(), s.scene);
        EXPECT_EQ(zone->GetPosition()->x, 4.0f);
        EXPECT_STREQ(s.audio.PointSpeakers()[0]->GetEffectPath(), "fx/birds");
        ASSERT_EQ(s.audio.Reverbs().size(), 1u);
        AreaReverb* hall = s.audio.Reverbs()[0];
        EXPECT_EQ(hall->GetAreaShape()->GetKind(), GeoObject::kCuboid);
        float inner = 0, outer = 0;
        hall->GetRadii(&inner, &outer);
        EXPECT_EQ(inner, 1.0f);
        EXPECT_EQ(hall->GetUserValue(), layer);
        EXPECT_EQ(s.audio.GetLayerValue(), layer);
        EXPECT_FALSE(s.fx.capture.Contains("Failed")) << s.fx.capture.Joined();
    }
}

TEST(SceneAudioLoad, XmlStops) {
    const struct {
        const char* what;
        std::string audio;
        bool withAudio;
        bool result;
        const char* message;
        std::size_t speakers, zones;
    } cases[] = {
        {"no Audio element", "<Other/>", true, true, nullptr, 0, 0},
        {"no audio module", kFullAudio, false, true, "Failed to load FMOD projects! Audio module not loaded!", 0, 0},
        {"failing speaker effect",
         R"(<Audio><Speakers><S Path="a.wav" EffectPath="fx/x.wav"/><S Path="b.wav"/></Speakers>
            <AreaReverbs><R Name="hall"/></AreaReverbs></Audio>)",
         true, false, "Failed to load speaker effect fx/x.wav!", 1, 0},
        {"failing zone",
         R"(<Audio><AreaReverbs><R Name="hall"/><R Name="refused"/><R Name="late"/></AreaReverbs></Audio>)", true,
         false, "Failed to create area-reverb refused!", 0, 1},
        {"failing default music effect", R"(<Audio><DefaultMusic Path="a.wav" EffectPath="x.wav"/>
            <Speakers><S Path="b.wav"/></Speakers></Audio>)",
         true, false, nullptr, 0, 0},
    };
    for (const auto& c : cases) {
        AudioScene s;
        s.host().Refuse("refused");
        if (!c.withAudio) Interfaces().audio = nullptr;
        XmlScene xml("<X/>" + c.audio);
        EXPECT_EQ(s.audio.LoadXml(xml.root, 0), c.result) << c.what;
        if (c.message) { EXPECT_TRUE(s.fx.capture.Contains(c.message)) << c.what << ": " << s.fx.capture.Joined(); }
        EXPECT_EQ(s.audio.PointSpeakers().size(), c.speakers) << c.what;
        EXPECT_EQ(s.audio.Reverbs().size(), c.zones) << c.what;
        EXPECT_EQ(s.host().LiveAudioObjects(), static_cast<int>(c.zones)) << c.what;
    }
}

// Writes a sound section the way the scene files hold it.
class SectionWriter {
public:
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void F32(float f) {
        std::uint32_t v;
        std::memcpy(&v, &f, 4);
        U32(v);
    }
    void Text(const std::string& s) {
        U32(static_cast<std::uint32_t>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
    void Matrix(float x) {
        for (int i = 0; i < 16; ++i) F32(i == 12 ? x : (i % 5 == 0 ? 1.0f : 0.0f));
    }
    std::vector<std::uint8_t> bytes;
};

struct SpeakerSpec {
    std::string path, effect;
    std::uint32_t shape;
};

// A section of the version with the given speakers and zones; projects and music as given.
std::vector<std::uint8_t> Section(std::uint32_t version, const std::vector<std::string>& projects,
                                  const std::string& music, const std::string& musicEffect,
                                  const std::vector<SpeakerSpec>& speakers, const std::vector<std::string>& zones) {
    SectionWriter w;
    if (version < 0x10013) return w.bytes;
    w.F32(0.5f), w.F32(2), w.F32(3);
    if (version == 0x10014 || version == 0x10015) w.Text(projects.empty() ? "" : projects[0]);
    if (version >= 0x10016) {
        w.U32(static_cast<std::uint32_t>(projects.size()));
        for (const std::string& p : projects) w.Text(p);
        w.Text(music);
        if (version >= 0x10017 && !music.empty()) w.Text(musicEffect);
    }
    w.U32(static_cast<std::uint32_t>(speakers.size()));
    float x = 1;
    for (const SpeakerSpec& s : speakers) {
        w.Text(s.path);
        if (version >= 0x10017) w.Text(s.effect);
        w.U32(3);
        if (version >= 0x10016) {
            w.U32(s.shape);
            w.Matrix(x);
        } else {
            w.F32(x), w.F32(0), w.F32(0);
        }
        w.F32(7), w.F32(8), w.F32(9);
        x += 1;
    }
    if (version >= 0x10024) {
        w.U32(static_cast<std::uint32_t>(zones.size()));
        for (const std::string& z : zones) {
            w.U32(0);
            w.Text(z);
            w.U32(0);
            w.F32(1), w.F32(4);
            w.Matrix(-3);
        }
    }
    w.U32(0xFEEDFACE);  // the next section of the file
    return w.bytes;
}

TEST(SceneAudioLoad, BinaryVersions) {
    const std::vector<SpeakerSpec> speakers = {{"a.wav", "fx/a", 0}, {"music/theme", "", 0xFFFFFFFF}};
    const struct {
        std::uint32_t version;
        std::size_t projects;
        bool music, effect;
        std::size_t area, point, zones;
        const char* effectPath;
    } cases[] = {
        {0x10012, 0, false, false, 0, 0, 0, ""},   {0x10013, 0, false, false, 2, 0, 0, ""},
        {0x10015, 1, false, false, 2, 0, 0, ""},   {0x10016, 2, true, false, 1, 1, 0, ""},
        {0x10017, 2, true, true, 1, 1, 0, "fx/a"}, {0x10024, 2, true, true, 1, 1, 1, "fx/a"},
    };
    for (const auto& c : cases) {
        AudioScene s;
        const auto bytes = Section(c.version, {"a.fev", "b.fev"}, "default.wav", "fx/bed", speakers, {"hall"});
        BinaryReader file(bytes.data(), bytes.size());
        ASSERT_TRUE(s.audio.LoadBinary(c.version, file)) << std::hex << c.version << s.fx.capture.Joined();
        if (c.version >= 0x10013) { EXPECT_EQ(file.U32(), 0xFEEDFACEu) << std::hex << c.version << ": read in step"; }
        EXPECT_TRUE(file.AtEnd());
        EXPECT_EQ(s.audio.ProjectCount(), c.projects) << std::hex << c.version;
        EXPECT_EQ(s.audio.GetDefaultMusic() != nullptr, c.music) << std::hex << c.version;
        if (c.music) { EXPECT_STREQ(s.audio.GetDefaultMusicEffectPath(), c.effect ? "fx/bed" : ""); }
        EXPECT_EQ(s.audio.AreaSpeakers().size(), c.area) << std::hex << c.version;
        EXPECT_EQ(s.audio.PointSpeakers().size(), c.point) << std::hex << c.version;
        EXPECT_EQ(s.audio.Reverbs().size(), c.zones) << std::hex << c.version;
        EXPECT_EQ(s.host().CountCalls("Set3DSettings 0.5 2 3"), c.version >= 0x10013 ? 1 : 0);
        if (c.area) {
            Speaker* first = s.audio.AreaSpeakers()[0];
            EXPECT_EQ(first->GetPosition()->x, 1.0f) << std::hex << c.version;
            EXPECT_EQ(first->GetSoundVector()[2], 9.0f);
            EXPECT_STREQ(first->GetEffectPath(), c.effectPath);
            EXPECT_EQ(first->GetScene(), s.scene);
        }
    }
}

TEST(SceneAudioLoad, BinaryEmptyMusicHasNoEffectText) {
    AudioScene s;
    const auto bytes = Section(0x10017, {}, "", "never", {{"a.wav", "", 1}}, {});
    BinaryReader file(bytes.data(), bytes.size());
    ASSERT_TRUE(s.audio.LoadBinary(0x10017, file));
    EXPECT_EQ(file.U32(), 0xFEEDFACEu);
    EXPECT_EQ(s.audio.GetDefaultMusic(), nullptr);
    EXPECT_EQ(s.audio.AreaSpeakers().size(), 1u);
}

TEST(SceneAudioLoad, BinaryFailuresStayInStep) {
    const struct {
        const char* what;
        std::vector<SpeakerSpec> speakers;
        std::vector<std::string> zones;
        std::size_t made, zonesMade;
    } cases[] = {
        {"failing speaker", {{"a.wav", "", 0}, {"b.wav", "fx/no.wav", 0}, {"c.wav", "", 0}}, {"hall", "room"}, 2, 0},
        {"too long a path", {{std::string(260, 'p'), "", 0}}, {"hall"}, 0, 0},
        {"failing zone", {{"a.wav", "", 0}}, {"hall", "refused", "room"}, 1, 1},
    };
    for (const auto& c : cases) {
        AudioScene s;
        s.host().Refuse("refused");
        const auto bytes = Section(0x10024, {}, "", "", c.speakers, c.zones);
        BinaryReader file(bytes.data(), bytes.size());
        EXPECT_FALSE(s.audio.LoadBinary(0x10024, file)) << c.what;
        EXPECT_EQ(file.U32(), 0xFEEDFACEu) << c.what << ": the zone records are consumed";
        EXPECT_EQ(s.audio.AreaSpeakers().size(), c.made) << c.what;
        EXPECT_EQ(s.audio.Reverbs().size(), c.zonesMade) << c.what;
        EXPECT_EQ(static_cast<std::size_t>(s.host().CountCalls("Set3DSettings")), c.zonesMade) << c.what << ": settings only when all loaded";
    }
}

TEST(SceneAudioLoad, BinaryWithoutAudioWarns) {
    AudioScene s;
    Interfaces().audio = nullptr;
    const auto bytes = Section(0x10016, {"a.fev"}, "", "", {{"a.wav", "", 0}}, {});
    BinaryReader file(bytes.data(), bytes.size());
    EXPECT_FALSE(s.audio.LoadBinary(0x10016, file));
    EXPECT_TRUE(s.fx.capture.Contains("Failed to load audio resource: a.fev! Audio module not loaded."));
    EXPECT_TRUE(s.audio.PointSpeakers().empty() && s.audio.AreaSpeakers().empty());
}

TEST(SceneAudioLoad, BinaryBadInput) {
    AudioScene s;
    const auto bytes = Section(0x10024, {"a.fev"}, "default.wav", "fx/bed", {{"a.wav", "fx/a", 0}}, {"hall"});
    const std::size_t full = bytes.size() - 4;
    for (std::size_t n = 0; n < full; ++n) {
        BinaryReader file(bytes.data(), n);
        world::SoundSection section;
        EXPECT_FALSE(SceneAudio::ReadBinary(0x10024, file, section)) << n;
        EXPECT_TRUE(section.speakers.empty() && section.zones.empty() && section.projects.empty()) << n;
    }
    // Counts and lengths that overrun the bytes are refused before anything is made.
    for (std::size_t at : {std::size_t{12}, std::size_t{16}}) {
        auto bad = bytes;
        bad[at + 3] = 0x7F;
        BinaryReader file(bad.data(), bad.size());
        EXPECT_FALSE(s.audio.LoadBinary(0x10024, file)) << at;
    }
    EXPECT_TRUE(s.fx.capture.Contains("does not fit")) << s.fx.capture.Joined();
    EXPECT_EQ(s.audio.ProjectCount(), 0u);
    EXPECT_EQ(s.host().LiveAudioObjects(), 0);
}

}  // namespace
