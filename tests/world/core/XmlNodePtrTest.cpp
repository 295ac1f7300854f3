#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/HostUtils.h"
#include "platform/host/XmlNode.h"
#include "tests/support/world/CommaLocale.h"
#include "world/core/XmlNodePtr.h"

namespace {

using namespace quor;
using common::IXmlNode;

// A document holding one element <E v="text"/> per case.
struct OneAttribute {
    XmlNodePtr doc;
    XmlNodePtr e;
    explicit OneAttribute(const char* text) : doc(host::HostUtils().CreateXmlDocument()) {
        const std::string xml = std::string("<E v=\"") + text + "\"/>";
        EXPECT_TRUE(doc->Parse(xml.data(), static_cast<std::uint32_t>(xml.size())));
        e = doc.FirstChild("E");
    }
};

struct ReaderCase {
    const char* text;  // null: the attribute is missing
    int count;         // 2, 3, 4 or 16
    std::vector<float> expected;
};

std::vector<float> Read(IXmlNode* node, int count) {
    std::vector<float> def(16), out(16, -99.0f);
    for (int i = 0; i < 16; ++i) def[static_cast<std::size_t>(i)] = 100.0f + static_cast<float>(i);
    const char* name = "v";
    switch (count) {
    case 2: ReadXmlFloat2(node, nullptr, name, out.data(), def.data()); break;
    case 3: ReadXmlFloat3(node, nullptr, name, out.data(), def.data()); break;
    case 4: ReadXmlFloat4(node, nullptr, name, out.data(), def.data()); break;
    default: ReadXmlMatrix(node, nullptr, name, out.data(), def.data()); break;
    }
    out.resize(static_cast<std::size_t>(count));
    return out;
}

const std::vector<ReaderCase>& Cases() {
    static const std::vector<ReaderCase> cases = {
        {"1.5,-2", 2, {1.5f, -2}},
        {"1,2,3", 2, {1, 2}},                // a further comma ends the second number
        {"7", 2, {100, 101}},                // short list keeps the default
        {"1,2,3", 3, {1, 2, 3}},
        {"1,2", 3, {100, 101, 102}},         // short list keeps the default
        {"3e2, 0.25 ,x", 3, {300, 0.25f, 0}},  // junk reads 0
        {"1,2,3,4,5", 4, {1, 2, 3, 4}},      // extra values ignored
        {"1,2,3", 4, {100, 101, 102, 103}},
        {"", 3, {100, 101, 102}},            // empty text keeps the default
        {nullptr, 4, {100, 101, 102, 103}},  // missing attribute gives the default
        {"1,0,0,0,0,1,0,0,0,0,1,0,5,6,7,1", 16, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1}},
        {"1,0,0,0,0,1,0,0,0,0,1,0,5,6,7", 16,
         {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115}},
    };
    return cases;
}

void RunReaderTable() {
    for (const ReaderCase& c : Cases()) {
        SCOPED_TRACE(c.text ? c.text : "(missing)");
        SCOPED_TRACE(c.count);
        if (c.text) {
            OneAttribute doc(c.text);
            ASSERT_TRUE(doc.e);
            EXPECT_EQ(Read(doc.e.Get(), c.count), c.expected);
        } else {
            OneAttribute doc("unused");
            doc.e->SetStringAttribute(nullptr, "v", "");
            XmlNodePtr other = doc.doc.AddChild("Other");
            EXPECT_EQ(Read(other.Get(), c.count), c.expected);
        }
    }
}

TEST(XmlReaders, Table) { RunReaderTable(); }

TEST(XmlReaders, CommaDecimalLocaleChangesNothing) {
    test::CommaLocale locale;
    if (!locale.Active()) GTEST_SKIP() << locale.Why();
    RunReaderTable();
}

TEST(XmlNodePtr, OwnsMovesAndReleasesOnce) {
    const int live = host::XmlNode::LiveCount();
    {
        XmlNodePtr doc(host::HostUtils().CreateXmlDocument());
        XmlNodePtr root = doc.AddChild("Root");
        XmlNodePtr a = root.AddChild("A");
        EXPECT_TRUE(a.Owns());
        XmlNodePtr moved = std::move(a);
        EXPECT_FALSE(a);
        EXPECT_TRUE(moved);
        XmlNodePtr target;
        target = std::move(moved);
        EXPECT_EQ(host::XmlNode::LiveCount(), live + 3);

        XmlNodePtr missing = root.FirstChild("Nothing");
        EXPECT_FALSE(missing);
        EXPECT_TRUE(missing.Owns());
        XmlNodePtr missingChild = missing.FirstChild("X");  // lookups on null stay null
        EXPECT_FALSE(missingChild);

        XmlNodePtr second = root.AddChild("A");
        XmlNodePtr at = root.ChildAt("A", 1);
        ASSERT_TRUE(at);
        EXPECT_EQ(root->CountChildElements("A"), 2);

        XmlNodePtr borrowed(root.Get(), false);  // not owned: never released by this handle
    }
    EXPECT_EQ(host::XmlNode::LiveCount(), live);
}

TEST(XmlWriters, WriteDecimalText) {
    XmlNodePtr doc(host::HostUtils().CreateXmlDocument());
    XmlNodePtr e = doc.AddChild("E");
    WriteXmlInt(e.Get(), nullptr, "i", -2147483647 - 1);
    WriteXmlUShort(e.Get(), "Sub", "u", 65535);
    char buf[32];
    e->GetStringAttribute(nullptr, "i", buf, sizeof(buf), "");
    EXPECT_STREQ(buf, "-2147483648");
    e->GetStringAttribute("Sub", "u", buf, sizeof(buf), "");
    EXPECT_STREQ(buf, "65535");
}

}  // namespace
