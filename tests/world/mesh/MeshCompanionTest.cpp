#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/host/MemoryFileSystem.h"
#include "tests/support/world/LogCapture.h"
#include "tests/support/world/MeshFileWriter.h"
#include "platform/host/IXmlNode.h"
#include "world/core/XmlNodePtr.h"
#include "world/mesh/MeshData.h"

namespace {

using namespace quor;
using namespace quor::test;

struct Fixture {
    Fixture() : log(std::make_unique<host::MemoryFileSystem>()) {}
    host::MemoryFileSystem& Files() { return static_cast<host::MemoryFileSystem&>(*log.bound.host.files); }
    LogCapture log;
};

std::string Field(const char* p) { return std::string(p, strnlen(p, 32)); }

SocketDesc Socket(const std::string& name, const std::string& bone) {
    SocketDesc s;
    s.name = name;
    s.boneName = bone;
    s.objectFile = name + ".emf";
    s.animationName = "idle";
    s.startTime = 1.5f;
    return s;
}

TEST(MeshFile, LoadFileGates) {
    Fixture f;
    const auto good = WriteMom(MakeMesh(0x30011, 0));
    ASSERT_GE(good.size(), 180u);
    auto small = good;
    small.resize(179);
    auto magic = good;
    magic[0] = 'X';
    f.Files().AddFile("m/small.mom", small);
    f.Files().AddFile("m/magic.mom", magic);
    f.Files().AddFile("m/good.mom", good);
    const std::pair<const char*, const char*> cases[] = {
        {"m/none.mom", "[ERROR] Mesh file m/none.mom is not found!"},
        {"m/small.mom", "[ERROR] Bad format in mesh file m/small.mom!"},
        {"m/magic.mom", "[ERROR] Bad format in mesh file m/magic.mom!"},
    };
    for (auto [name, line] : cases) {
        f.log.Clear();
        MeshData d;
        EXPECT_FALSE(d.LoadFile(name));
        ASSERT_FALSE(f.log.Lines().empty()) << name;
        EXPECT_EQ(f.log.Lines()[0], line);
    }
    MeshData d;
    EXPECT_TRUE(d.LoadFile("m/good.mom")) << f.log.Joined();
    EXPECT_STREQ(d.NameText(), "m/good.mom");
}

TEST(MeshFile, MogReplacesTheTrailingBlob) {
    Fixture f;
    MeshDesc desc = MakeMesh(0x30011, 0);
    desc.writeBlob = false;  // the mesh file ends without its blob length: the ".mog" stands in
    f.Files().AddFile("m/a.mom", WriteMom(desc));
    f.Files().AddFile("m/a.mog", std::vector<std::uint8_t>{9, 8, 7});
    MeshData d;
    ASSERT_TRUE(d.LoadFile("m/a.mom")) << f.log.Joined();
    EXPECT_EQ(d.blob, (std::vector<std::uint8_t>{9, 8, 7}));
}

TEST(MeshFile, BinaryMoxReplacesSockets) {
    Fixture f;
    f.Files().AddFile("m/a.mom", WriteMom(MakeMesh(0x30011, 0)));
    f.Files().AddFile("m/a.mox", WriteMoxBinary(0x30003, {Socket("s1", "b1"), Socket("s2", "b2")}));
    MeshData d;
    ASSERT_TRUE(d.LoadFile("m/a.mom"));
    ASSERT_EQ(d.sockets.size(), 2u);
    EXPECT_EQ(Field(d.sockets[1]->name), "s2");
    EXPECT_EQ(Field(d.sockets[1]->boneName), "b2");
    EXPECT_EQ(d.sockets[1]->startTime, 1.5f);
    EXPECT_EQ(d.socketVersion, 0x30003u);
    EXPECT_TRUE(f.log.Contains("Mesh extra file m/a.mox loaded."));
}

TEST(MeshFile, MoxThatYieldsNothingKeepsTheMeshSockets) {
    const std::vector<std::uint8_t> nine = {'Q', 'M', 'E', 'X', 3, 0, 3, 0, 1};
    auto failing = WriteMoxBinary(0x30003, {Socket("s1", "b1"), Socket("s2", "b2")});
    failing.resize(failing.size() - 10);  // the second record is cut short
    const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
        {"count 0", WriteMoxBinary(0x30003, {})},
        {"9 bytes, read as XML", nine},
        {"fails midway", failing},
        {"XML without Sockets", std::vector<std::uint8_t>{'<', 'a', '/', '>'}},
        {"Sockets without children", std::vector<std::uint8_t>{'<', 'S', 'o', 'c', 'k', 'e', 't', 's', '/', '>'}},
    };
    for (const auto& [what, mox] : cases) {
        SCOPED_TRACE(what);
        Fixture f;
        f.Files().AddFile("m/a.mom", WriteMom(MakeMesh(0x30011, 0)));
        f.Files().AddFile("m/a.mox", mox);
        MeshData d;
        ASSERT_TRUE(d.LoadFile("m/a.mom"));
        ASSERT_EQ(d.sockets.size(), 1u);
        EXPECT_EQ(Field(d.sockets[0]->name), "hand");
        EXPECT_EQ(d.socketVersion, 0x30011u);
        EXPECT_FALSE(f.log.Contains("Mesh extra file"));
    }
}

TEST(MeshFile, XmlMoxReadsEveryKey) {
    Fixture f;
    f.Files().AddFile("m/a.mom", WriteMom(MakeMesh(0x30011, 0)));
    f.Files().AddFile("m/a.mox", std::string_view(R"(<Sockets Version="7">
  <S Name="first_socket_with_a_name_longer_than_the_field" BoneName="b1" BindType="2"
     MatrixToBone="1,0,0,0,0,1,0,0,0,0,1,0,4,5,6,1">
    <Track Loop="false" SyncToMorph="true">
      <TrackKeys><K Time="0"/><K Time="40"/><K Time="80"/></TrackKeys>
    </Track>
    <BoundObject SocketObjCount="3" ObjectFile="a.emf" ObjectFile_1="b.emf" ObjectFile_2=""
                 AnimationName="run" StartTime="2"/>
  </S>
  <Other Name="second">
    <BoundObject SocketObjCount="2" ObjectFile="c.mom" ObjectFile_1="d.mom" AnimationName="walk" StartTime="0.25"/>
  </Other>
  <S Name="third"><BoundObject ObjectFile=""/></S>
</Sockets>)"));
    MeshData d;
    ASSERT_TRUE(d.LoadFile("m/a.mom"));
    ASSERT_EQ(d.sockets.size(), 3u);
    EXPECT_EQ(d.xmlSocketVersion, 7);
    const MeshSocket& a = *d.sockets[0];
    EXPECT_EQ(std::string(a.name), "first_socket_with_a_name_longer");  // 31 characters kept
    EXPECT_EQ(Field(a.boneName), "b1");
    EXPECT_EQ(a.bindType, 2);
    EXPECT_EQ(a.matrixToBone->m[13], 5.0f);
    ASSERT_NE(a.track, nullptr);
    EXPECT_EQ(a.track->GetKeyCount(), 3);
    EXPECT_EQ(a.track->keyTimes.Times()[2], 80.0f);
    EXPECT_EQ(a.track->flags[0], 0);
    EXPECT_EQ(a.syncToMorph, 1u);
    EXPECT_EQ(d.GetSocketSyncToMorph(0), 1);
    // The third object file attribute is empty: two files, and the socket ends there.
    EXPECT_EQ(a.objectFiles, (std::vector<std::string>{"a.emf", "b.emf"}));
    EXPECT_EQ(Field(a.animationName), "");
    const MeshSocket& b = *d.sockets[1];
    EXPECT_EQ(b.objectFiles, (std::vector<std::string>{"c.mom", "d.mom"}));
    EXPECT_EQ(Field(b.animationName), "walk");
    EXPECT_EQ(b.startTime, 0.25f);
    EXPECT_EQ(b.bindType, 7);
    EXPECT_EQ(b.matrixToBone->m[0], 1.0f);
    EXPECT_EQ(b.track, nullptr);
    EXPECT_TRUE(d.sockets[2]->objectFiles.empty());
    EXPECT_EQ(d.GetSocketSyncToMorph(3), 0);
}

TEST(MeshFile, CompanionsAlsoFollowAnImageInMemory) {
    Fixture f;
    f.Files().AddFile("m/b.mox", WriteMoxBinary(0x30003, {Socket("s1", "b1")}));
    f.Files().AddFile("m/b.mog", std::vector<std::uint8_t>{1});
    MeshDesc desc = MakeMesh(0x30011, 0);
    desc.writeBlob = false;
    const auto file = WriteMom(desc);
    MeshData d;
    ASSERT_TRUE(d.LoadFromMemory("m/b.mom", file.data(), file.size()));
    EXPECT_EQ(d.blob, std::vector<std::uint8_t>{1});
    EXPECT_EQ(Field(d.sockets[0]->name), "s1");
}

TEST(MeshFile, SocketRecordSizes) {
    // 0x30003 with an empty object file: name, bone name, bind type, matrix, length.
    SocketDesc s = Socket("s", "b");
    s.objectFile.clear();
    const std::pair<std::uint32_t, std::size_t> cases[] = {
        {0x20015, 112 + 2}, {0x20016, 102}, {0x30001, 164}, {0x30002, 166}, {0x30003, 32 + 32 + 2 + 64 + 2}};
    for (auto [v, size] : cases) {
        ByteWriter w;
        WriteSocketBlock(w, v, {s});
        EXPECT_EQ(w.Size(), 2 + size) << std::hex << v;
        BinaryReader in(w.bytes.data(), w.Size());
        MeshSocketList list;
        EXPECT_TRUE(ReadSocketBlock(in, v, list));
        EXPECT_TRUE(in.AtEnd());
    }
}

TEST(MeshFile, WriteStatsReportsTheFile) {
    Fixture f;
    const auto file = WriteMom(MakeMesh(0x30011, 0, 2, 2));
    MeshData d;
    ASSERT_TRUE(d.LoadFromMemory("s.mom", file.data(), file.size()));
    XmlNodePtr doc(f.log.bound.host.utils.CreateXmlDocument());
    XmlNodePtr root = doc.AddChild("Render");
    d.WriteStats(root.Get());
    XmlNodePtr node = root.FirstChild("MeshData");
    ASSERT_TRUE(node);
    char name[64];
    node->GetStringAttribute(nullptr, "name", name, sizeof name, "");
    EXPECT_STREQ(name, "s.mom");
    EXPECT_EQ(node->GetIntAttribute(nullptr, "mem_size", 0), int(file.size()));
    EXPECT_EQ(node->GetIntAttribute(nullptr, "mesh_lod_count", 0), 2);
    EXPECT_EQ(node->GetIntAttribute(nullptr, "sub_count", 0), 2);
    EXPECT_EQ(node->CountChildElements("VertexInfo"), 2);
    XmlNodePtr info = node.ChildAt("VertexInfo", 1);
    EXPECT_EQ(info->GetIntAttribute(nullptr, "vertex_count", 0), 7);
    EXPECT_EQ(info->GetIntAttribute(nullptr, "has_color", 0), 1);
}

}  // namespace
