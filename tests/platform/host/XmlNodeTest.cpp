#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/host/HostUtils.h"
#include "platform/host/XmlNode.h"
#include "tests/support/NumberCases.h"

namespace {

using quor::common::IXmlNode;
using quor::host::XmlNode;

struct Doc {
    IXmlNode* doc;
    explicit Doc(const std::string& text) : doc(quor::host::HostUtils().CreateXmlDocument()) {
        EXPECT_TRUE(doc->Parse(text.data(), static_cast<std::uint32_t>(text.size())));
    }
    ~Doc() { doc->Release(); }
};

TEST(XmlNode, FindsChildrenByNameAndIndex) {
    const int live = XmlNode::LiveCount();
    {
        Doc d("<Scene3D><Light a='1'/><Model/><Light a='2'/><!-- c --></Scene3D>");
        IXmlNode* root = d.doc->FirstChildElement("Scene3D");
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root->CountChildElements("Light"), 2);
        EXPECT_EQ(root->CountChildElements(nullptr), 3);
        IXmlNode* second = root->ChildElement("Light", 1);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->GetIntAttribute(nullptr, "a", 0), 2);
        EXPECT_EQ(root->ChildElement("Light", 2), nullptr);
        EXPECT_EQ(root->ChildElement("Light", -1), nullptr);
        EXPECT_EQ(root->FirstChildElement("Sky"), nullptr);
        IXmlNode* any = root->FirstChildElement(nullptr);
        ASSERT_NE(any, nullptr);
        EXPECT_EQ(static_cast<XmlNode*>(any)->Name(), "Light");
        EXPECT_EQ(XmlNode::LiveCount(), live + 4);
        // Releasing the document first must leave the element handles usable.
        d.doc->Release();
        d.doc = quor::host::HostUtils().CreateXmlDocument();
        EXPECT_EQ(second->GetIntAttribute(nullptr, "a", 0), 2);
        any->Release();
        second->Release();
        root->Release();
    }
    EXPECT_EQ(XmlNode::LiveCount(), live);
}

TEST(XmlNode, TypedAttributesWithDefaultsAndScope) {
    Doc d("<E i='-12' u='4000000000' f='2.5e1' b='true' n='no' s='text' h='0x10' junk='abc'>"
          "<Transform pos='1,2,3'/></E>");
    IXmlNode* e = d.doc->FirstChildElement("E");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetIntAttribute(nullptr, "i", 7), -12);
    EXPECT_EQ(e->GetIntAttribute(nullptr, "missing", 7), 7);
    EXPECT_EQ(e->GetIntAttribute(nullptr, "h", 0), 16);
    EXPECT_EQ(e->GetIntAttribute(nullptr, "junk", 7), 0);
    EXPECT_EQ(e->GetUIntAttribute(nullptr, "u", 0), 4000000000u);
    EXPECT_FLOAT_EQ(e->GetFloatAttribute(nullptr, "f", 0), 25.0f);
    EXPECT_FLOAT_EQ(e->GetFloatAttribute(nullptr, "missing", 1.5f), 1.5f);
    EXPECT_TRUE(e->GetBoolAttribute(nullptr, "b", false));
    EXPECT_FALSE(e->GetBoolAttribute(nullptr, "n", true));
    EXPECT_TRUE(e->GetBoolAttribute(nullptr, "missing", true));
    EXPECT_TRUE(e->HasAttribute("", "s"));
    EXPECT_FALSE(e->HasAttribute(nullptr, "pos"));
    EXPECT_TRUE(e->HasAttribute("Transform", "pos"));

    char buf[8];
    EXPECT_EQ(e->GetStringAttribute("Transform", "pos", buf, sizeof(buf), "d"), 5);
    EXPECT_STREQ(buf, "1,2,3");
    EXPECT_EQ(e->GetStringAttribute(nullptr, "missing", buf, sizeof(buf), "dflt"), 4);
    EXPECT_STREQ(buf, "dflt");
    char tiny[3];
    EXPECT_EQ(e->GetStringAttribute(nullptr, "s", tiny, sizeof(tiny), ""), 2);
    EXPECT_STREQ(tiny, "te");
    e->Release();
}

TEST(XmlNode, WritesAttributesAndChildren) {
    IXmlNode* doc = quor::host::HostUtils().CreateXmlDocument();
    IXmlNode* report = doc->AddChildElement("Report");
    ASSERT_NE(report, nullptr);
    report->SetIntAttribute(nullptr, "mark", -5);
    report->SetStringAttribute(nullptr, "mark", "6");  // replaces
    report->SetStringAttribute("Render", "count", "3");  // makes the scope element
    IXmlNode* render = report->FirstChildElement("Render");
    ASSERT_NE(render, nullptr);
    IXmlNode* child = render->AddChildElement("Mesh");
    child->SetIntAttribute(nullptr, "ref_count", 2);
    EXPECT_EQ(static_cast<XmlNode*>(doc)->ToString(),
              "<Report mark=\"6\"><Render count=\"3\"><Mesh ref_count=\"2\"/></Render></Report>");
    EXPECT_FALSE(report->Parse("<x/>", 4));  // only documents parse
    child->Release();
    render->Release();
    report->Release();
    doc->Release();
}

TEST(XmlNode, LegacyBytesPassThroughAndBadTextFails) {
    // Names and values in a legacy double-byte code page, declared as such.
    const std::string text = "<?xml version='1.0' encoding='gb2312'?><R name='\xC4\xA3\xD0\xCD'/>";
    Doc d(text);
    IXmlNode* r = d.doc->FirstChildElement("R");
    ASSERT_NE(r, nullptr);
    char buf[16];
    r->GetStringAttribute(nullptr, "name", buf, sizeof(buf), "");
    EXPECT_STREQ(buf, "\xC4\xA3\xD0\xCD");
    r->Release();

    IXmlNode* bad = quor::host::HostUtils().CreateXmlDocument();
    const char junk[] = "<a><b></a>";
    EXPECT_FALSE(bad->Parse(junk, sizeof(junk) - 1));
    EXPECT_FALSE(bad->Parse(nullptr, 5));
    bad->Release();
}

TEST(ParseNumbers, ReadTheLongestPrefixLikeTheCRuntime) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {{"1.5", 1.5}, {" -2", -2}, {"3e2", 300}, {"+4.25x", 4.25}, {"abc", 0}, {"", 0}, {".5", 0.5}};
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(quor::host::ParseDouble(c.text), c.value) << c.text;
    EXPECT_EQ(quor::host::ParseInteger(" 42abc"), 42);
    EXPECT_EQ(quor::host::ParseInteger("-0x1F"), -31);
    EXPECT_EQ(quor::host::ParseInteger("x"), 0);
}

TEST(ParseNumbers, AttributeReadersFollowTheSharedNumberRules) {
    for (const quor::test::NumberCase& c : quor::test::kNumberCases) {
        Doc d("<E v='" + std::string(c.text) + "'/>");
        IXmlNode* e = d.doc->FirstChildElement("E");
        ASSERT_NE(e, nullptr) << c.text;
        EXPECT_EQ(e->GetIntAttribute(nullptr, "v", 99), c.asIntHost) << c.text;
        EXPECT_DOUBLE_EQ(quor::host::ParseDouble(c.text), c.asDouble) << c.text;
        EXPECT_FLOAT_EQ(e->GetFloatAttribute(nullptr, "v", 99.0f), static_cast<float>(c.asDouble)) << c.text;
        e->Release();
    }
    EXPECT_EQ(quor::host::ParseInteger("-9223372036854775808"), LLONG_MIN);
    EXPECT_EQ(quor::host::ParseInteger("-9223372036854775809"), LLONG_MIN);
    EXPECT_EQ(quor::host::ParseInteger("0xFFFFFFFFFFFFFFFFFF"), LLONG_MAX);
    Doc d("<E u='-1' big='99999999999'/>");
    IXmlNode* e = d.doc->FirstChildElement("E");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetUIntAttribute(nullptr, "u", 0), 0xFFFFFFFFu);
    EXPECT_EQ(e->GetUIntAttribute(nullptr, "big", 0), 0xFFFFFFFFu);
    e->Release();
}

}  // namespace
