#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/MaterialFormat.h"
#include "platform/host/RecordingLog.h"
#include "platform/host/RecordingRenderer.h"
#include "tests/support/world/MaterialFileWriter.h"

namespace {

using namespace quor;

std::string Text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

test::MaterialGroupDesc Rich() {
    test::MaterialGroupDesc g = test::MakeMaterialGroup({"body", "\xC9\xED\xCC\xE5", "a&<\"b"});
    g.defaultSlot = 1;
    test::MaterialDesc& m = g.slots[2].material;
    m.technique = "file.fx::T";
    m.diffuse[0] = 0.25f;
    m.ambient[1] = 0.5f;
    m.specular[2] = 0.125f;
    m.emissive[3] = 0.0f;
    m.power = 12.5f;
    m.alpha = 128;
    m.blendSource = 1;
    m.blendDestination = 15;
    m.lit = false;
    m.transparent = true;
    m.stages.push_back({7, "Detail", ""});
    g.slots[1].values[3] = 0xFFFFFFFFu;
    test::MaterialSlotDesc empty;
    empty.name = "empty";
    empty.hasMaterial = false;
    g.slots.push_back(empty);
    return g;
}

TEST(MaterialFormat, GroupRoundTripsThroughTheWriter) {
    const test::MaterialGroupDesc in = Rich();
    const std::vector<std::uint8_t> bytes = test::WriteMaterialGroup(in);
    host::MaterialGroupDesc out;
    std::string error;
    ASSERT_TRUE(host::ReadMaterialGroup(bytes.data(), bytes.size(), out, error)) << error;
    ASSERT_EQ(out.slots.size(), in.slots.size());
    EXPECT_EQ(out.defaultSlot, 1);
    for (std::size_t i = 0; i < in.slots.size(); ++i) {
        const test::MaterialSlotDesc& a = in.slots[i];
        const host::MaterialSlotDesc& b = out.slots[i];
        EXPECT_EQ(b.name, a.name) << i;
        for (int k = 0; k < 4; ++k) EXPECT_EQ(b.values[k], a.values[k]) << i;
        ASSERT_EQ(b.hasMaterial, a.hasMaterial) << i;
        if (!a.hasMaterial) continue;
        const test::MaterialDesc& ma = a.material;
        const host::MaterialDesc& mb = b.material;
        EXPECT_EQ(mb.name, ma.name);
        EXPECT_EQ(mb.technique, ma.technique);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(mb.diffuse[k], ma.diffuse[k]);
            EXPECT_EQ(mb.ambient[k], ma.ambient[k]);
            EXPECT_EQ(mb.specular[k], ma.specular[k]);
            EXPECT_EQ(mb.emissive[k], ma.emissive[k]);
        }
        EXPECT_EQ(mb.power, ma.power);
        EXPECT_EQ(mb.alpha, std::uint32_t(ma.alpha));
        EXPECT_EQ(mb.blendSource, ma.blendSource);
        EXPECT_EQ(mb.blendDestination, ma.blendDestination);
        EXPECT_EQ(mb.lit, ma.lit);
        EXPECT_EQ(mb.transparent, ma.transparent);
        ASSERT_EQ(mb.stages.size(), ma.stages.size());
        for (std::size_t s = 0; s < ma.stages.size(); ++s) {
            EXPECT_EQ(mb.stages[s].index, std::uint32_t(ma.stages[s].index));
            EXPECT_EQ(mb.stages[s].name, ma.stages[s].name);
            EXPECT_EQ(mb.stages[s].file, ma.stages[s].file);
        }
    }
}

TEST(MaterialFormat, MaterialRoundTripsAndTakesDefaults) {
    const test::MaterialDesc in = Rich().slots[2].material;
    const std::vector<std::uint8_t> bytes = test::WriteMaterial(in);
    host::MaterialDesc out;
    std::string error;
    ASSERT_TRUE(host::ReadMaterial(bytes.data(), bytes.size(), out, error)) << error;
    EXPECT_EQ(out.technique, "file.fx::T");
    EXPECT_EQ(out.alpha, 128u);
    ASSERT_EQ(out.stages.size(), 2u);
    EXPECT_EQ(out.stages[1].index, 7u);

    const std::string bare = "<Material version=\"1\"/>";
    ASSERT_TRUE(host::ReadMaterial(bare.data(), bare.size(), out, error)) << error;
    EXPECT_EQ(out.alpha, 255u);
    EXPECT_EQ(out.blendSource, 5);
    EXPECT_EQ(out.blendDestination, 6);
    EXPECT_TRUE(out.lit);
    EXPECT_FALSE(out.transparent);
    EXPECT_EQ(out.diffuse[3], 1.0f);
    EXPECT_TRUE(out.stages.empty());
}

// A slot's material without a name of its own takes the slot's; an empty group has no default.
TEST(MaterialFormat, SlotNamesTheMaterialAndEmptyGroupHasNoDefault) {
    const std::string doc =
        "<MaterialGroup version=\"1\" slots=\"1\"><Slot name=\"s\"><Material/></Slot></MaterialGroup>";
    host::MaterialGroupDesc out;
    std::string error;
    ASSERT_TRUE(host::ReadMaterialGroup(doc.data(), doc.size(), out, error)) << error;
    EXPECT_EQ(out.slots[0].material.name, "s");
    EXPECT_EQ(out.defaultSlot, 0);
    const std::string none = "<MaterialGroup version=\"1\" slots=\"0\"/>";
    ASSERT_TRUE(host::ReadMaterialGroup(none.data(), none.size(), out, error)) << error;
    EXPECT_EQ(out.defaultSlot, -1);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) ADD_FAILURE() << "no " << from;
    else text.replace(at, from.size(), to);
    return text;
}

struct BadCase {
    const char* name;
    std::string bytes;
};

std::vector<BadCase> BadGroups() {
    const std::string good = Text(test::WriteMaterialGroup(Rich()));
    test::MaterialGroupDesc more = Rich();
    more.slotCountOverride = 9;
    test::MaterialGroupDesc fewer = Rich();
    fewer.slotCountOverride = 2;
    test::MaterialGroupDesc huge = Rich();
    huge.slotCountOverride = 5000;
    return {
        {"empty", ""},
        {"not XML", "hello, world"},
        {"binary", std::string("\x00\x01\x02\x03RGIM", 8)},
        {"truncated", good.substr(0, good.size() / 2)},
        {"truncated at the root's end", good.substr(0, good.rfind("</MaterialGroup>") + 5)},
        {"wrong root", "<Materials version=\"1\" slots=\"0\"/>"},
        {"material as group", Text(test::WriteMaterial(Rich().slots[0].material))},
        {"no version", Replace(good, " version=\"1\"", "")},
        {"wrong version", Replace(good, "version=\"1\"", "version=\"2\"")},
        {"no slot count", Replace(good, " slots=\"4\"", "")},
        {"more slots said", Text(test::WriteMaterialGroup(more))},
        {"fewer slots said", Text(test::WriteMaterialGroup(fewer))},
        {"slot count over the limit", Text(test::WriteMaterialGroup(huge))},
        {"negative slot count", Replace(good, "slots=\"4\"", "slots=\"-1\"")},
        {"default past the slots", Replace(good, "default=\"1\"", "default=\"4\"")},
        {"default below -1", Replace(good, "default=\"1\"", "default=\"-2\"")},
        {"stage index 8", Replace(good, "index=\"7\"", "index=\"8\"")},
        {"stage index negative", Replace(good, "index=\"7\"", "index=\"-1\"")},
        {"stage without index", Replace(good, "index=\"7\" ", "")},
        {"stage twice", Replace(good, "index=\"7\"", "index=\"0\"")},
        {"alpha 256", Replace(good, "alpha=\"128\"", "alpha=\"256\"")},
        {"alpha negative", Replace(good, "alpha=\"128\"", "alpha=\"-1\"")},
        {"blend 0", Replace(good, "blend=\"1 15\"", "blend=\"0 15\"")},
        {"blend 16", Replace(good, "blend=\"1 15\"", "blend=\"1 16\"")},
        {"blend one factor", Replace(good, "blend=\"1 15\"", "blend=\"1\"")},
        {"three values", Replace(good, "values=\"1 2 3 4\"", "values=\"1 2 3\"")},
        {"value past 32 bits", Replace(good, "values=\"1 2 3 4\"", "values=\"1 2 3 4294967296\"")},
        {"value with trailing text", Replace(good, "values=\"1 2 3 4\"", "values=\"1 2 3 4x\"")},
        {"three colour numbers", Replace(good, "diffuse=\"0.25 1 1 1\"", "diffuse=\"0.25 1 1\"")},
        {"NaN colour", Replace(good, "diffuse=\"0.25 1 1 1\"", "diffuse=\"nan 1 1 1\"")},
        {"infinite power", Replace(good, "power=\"12.5\"", "power=\"inf\"")},
        {"lit 2", Replace(good, "lit=\"0\"", "lit=\"2\"")},
        {"unknown element", Replace(good, "<Slot name=\"body\"", "<Slab name=\"body\"")},
        {"two materials in a slot", Replace(good, "</Slot>", "<Material/></Slot>")},
        {"unknown element in a material", Replace(good, "<Stage index=\"7\"", "<Stag index=\"7\"")},
    };
}

TEST(MaterialFormat, BadGroupsFailWithAReasonAndLeaveNothing) {
    for (const BadCase& c : BadGroups()) {
        host::MaterialGroupDesc out;
        out.slots.resize(3);
        std::string error;
        EXPECT_FALSE(host::ReadMaterialGroup(c.bytes.data(), c.bytes.size(), out, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_TRUE(out.slots.empty()) << c.name;

        // The renderer logs it and hands out nothing.
        host::RecordingLog log;
        host::RecordingRenderer renderer;
        renderer.Attach(nullptr, &log);
        EXPECT_EQ(renderer.CreateMaterialGroup(c.bytes.data(), std::uint32_t(c.bytes.size()), -3), nullptr)
            << c.name;
        ASSERT_EQ(renderer.Store()->Errors().size(), 1u) << c.name;
        EXPECT_EQ(renderer.Store()->Errors()[0].rfind("Bad material group block: ", 0), 0u) << c.name;
        ASSERT_EQ(log.Entries().size(), 1u) << c.name;
        EXPECT_EQ(log.ChannelName(log.Entries()[0].channel), "Render");
        EXPECT_EQ(renderer.LiveObjects(), 0) << c.name;
    }
}

TEST(MaterialFormat, BadMaterialsFail) {
    const std::string good = Text(test::WriteMaterial(Rich().slots[2].material));
    const BadCase cases[] = {
        {"empty", ""},
        {"truncated", good.substr(0, good.size() - 4)},
        {"group as material", Text(test::WriteMaterialGroup(Rich()))},
        {"wrong version", Replace(good, "version=\"1\"", "version=\"0\"")},
        {"stage index 9", Replace(good, "index=\"7\"", "index=\"9\"")},
        {"alpha 300", Replace(good, "alpha=\"128\"", "alpha=\"300\"")},
    };
    for (const BadCase& c : cases) {
        host::MaterialDesc out;
        out.stages.resize(2);
        std::string error;
        EXPECT_FALSE(host::ReadMaterial(c.bytes.data(), c.bytes.size(), out, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_TRUE(out.stages.empty()) << c.name;
    }
}

}  // namespace
