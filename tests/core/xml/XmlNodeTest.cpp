#include <gtest/gtest.h>

#include "engine/core/xml/XmlNode.h"

using namespace QuillEngine;

namespace {

std::unique_ptr<XmlNode> ParseOk(std::string_view text)
{
    auto node = XmlNode::ParseDocument(text, false);
    EXPECT_NE(node, nullptr) << text;
    return node;
}

std::unique_ptr<XmlNode> FromBytes(const std::string& bytes)
{
    return XmlNode::ParseFileBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false);
}

std::string Utf16Le(std::u16string_view text, bool bom = true)
{
    std::string out = bom ? std::string("\xFF\xFE") : std::string();
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

} // namespace

TEST(XmlNodeParse, BuildsTheElementTree)
{
    auto root = ParseOk("<?xml version=\"1.0\"?><!-- note --><Root b=\"2\" a=\"1\">head<Child/>tail"
                        "<Child n=\"x\"><Deep>v</Deep></Child><![CDATA[<raw>]]></Root>");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), u"Root");
    EXPECT_EQ(root->GetText(), u"headtail<raw>");
    EXPECT_FALSE(root->IsEmpty());
    ASSERT_EQ(root->GetChildCount(), 2u);
    EXPECT_TRUE(root->GetChild(0)->IsEmpty());
    EXPECT_EQ(root->GetChild(1)->GetPathText(u"Deep"), u"v");
    EXPECT_EQ(root->GetChild(2), nullptr);
    ASSERT_EQ(root->Attributes().size(), 2u);
    EXPECT_EQ(root->Attributes().begin()->first, u"a"); // sorted by name
}

TEST(XmlNodeParse, MalformedTextFails)
{
    EXPECT_EQ(XmlNode::ParseDocument("<a><b></a>", false), nullptr);
    EXPECT_EQ(XmlNode::ParseDocument("", false), nullptr);
    EXPECT_EQ(XmlNode::ParseDocument("just text", false), nullptr);
    XmlNode node(u"Old");
    node.SetText(u"old");
    EXPECT_FALSE(node.Parse("<a", false));
    EXPECT_TRUE(node.GetName().empty());
    EXPECT_TRUE(node.GetText().empty());
}

// A reference to character 0 is no XML character: the document is refused rather than read with
// the rest of that text or value cut off, however the reference is written and wherever it sits.
TEST(XmlNodeParse, AReferenceToCharacterZeroRefusesTheDocument)
{
    for (const char* text : {"<a>one&#0;two</a>", "<a>one&#x0;two</a>", "<a>&#00;</a>", "<a><b>x</b>y&#x00;z</a>",
                             "<a v=\"one&#0;two\"/>", "<a><b v=\"&#x0;\">x</b></a>"})
        EXPECT_EQ(XmlNode::ParseDocument(text, false), nullptr) << text;
    auto kept = ParseOk("<a v=\"one&#1;two\">one&#10;two</a>");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->GetText(), u"one\ntwo");
    EXPECT_EQ(kept->GetStringAttribute(u"v", u""), u"one\u0001two");
}

TEST(XmlNodeParse, DeepNestingIsRefusedNotACrash)
{
    auto nest = [](int depth, std::string_view open) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += open;
        for (int i = 0; i < depth; ++i)
            s += "</a>";
        return s;
    };
    EXPECT_EQ(XmlNode::ParseDocument(nest(200000, "<a>"), false), nullptr);
    EXPECT_EQ(XmlNode::ParseDocument(nest(513, "<a x='>'>"), false), nullptr);
    auto ok = XmlNode::ParseDocument(nest(512, "<a>"), false);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->FindPath(u"a/a/a")->GetName(), u"a");
    // Self-closed tags, comments and CDATA do not count as nesting.
    std::string flat = "<r>";
    for (int i = 0; i < 2000; ++i)
        flat += "<b x=\"/>\"/><!-- <c> --><![CDATA[<d>]]>";
    flat += "</r>";
    auto wide = XmlNode::ParseDocument(flat, false);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->GetChildCount(), 2000u);
}

TEST(XmlNodeParse, WhiteSpaceKeptOnRequest)
{
    auto node = XmlNode::ParseDocument("<a>\n  two  words \n</a>", true);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetText(), u"\n  two  words \n");
}

TEST(XmlNodeParse, AttributesDecodeAsUtf8OrAnsi)
{
    auto utf8 = ParseOk("<p name=\"Jos\xC3\xA9\" t=\"\xE2\x82\xAC\"/>");
    EXPECT_EQ(utf8->GetStringAttribute(u"name", u""), u"Jos\u00E9");
    EXPECT_EQ(utf8->GetStringAttribute(u"t", u""), u"\u20AC");
    // Hand-made files in the ANSI code page: invalid UTF-8 falls back to Windows-1252.
    auto ansi = ParseOk("<p name=\"Jos\xE9\" t=\"\x80\"/>");
    EXPECT_EQ(ansi->GetStringAttribute(u"name", u""), u"Jos\u00E9");
    EXPECT_EQ(ansi->GetStringAttribute(u"t", u""), u"\u20AC");
}

// Numeric character references are whole characters in every encoding the files come in, and
// element text decodes from the ANSI code page the same way attribute values do.
TEST(XmlNodeParse, CharacterReferencesAndAnsiTextDecodeInEveryEncoding)
{
    const std::u16string doc = u"<r v=\"Jos&#233; &#x20AC;\">caf&#233; &#x100;bc &#x4E2D;</r>";
    std::string plain;
    for (char16_t c : doc)
        plain += static_cast<char>(c);
    for (const std::string& bytes : {plain, Utf16Le(doc), std::string("\xEF\xBB\xBF") + plain}) {
        auto node = FromBytes(bytes);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->GetStringAttribute(u"v", u""), u"Jos\u00E9 \u20AC");
        EXPECT_EQ(node->GetText(), u"caf\u00E9 \u0100bc \u4E2D") << "a reference whose low byte is 0 cuts nothing";
    }
    auto ansi = ParseOk("<p name=\"Jos\xE9\">Jos\xE9 \x80</p>");
    EXPECT_EQ(ansi->GetStringAttribute(u"name", u""), u"Jos\u00E9");
    EXPECT_EQ(ansi->GetText(), u"Jos\u00E9 \u20AC");
}

TEST(XmlNodeFind, FindChildIgnoresCaseFindPathDoesNot)
{
    auto root = ParseOk("<r><a><B>1</B></a><A>2</A></r>");
    ASSERT_NE(root->FindChild(u"A"), nullptr);
    EXPECT_EQ(root->FindChild(u"A"), root->GetChild(0)); // first match, any case
    EXPECT_EQ(root->FindPath(u"A")->GetText(), u"2");
    EXPECT_EQ(root->FindPath(u"a/b"), nullptr);
    EXPECT_EQ(root->GetPathText(u"/a/B"), u"1");
    EXPECT_EQ(root->GetPathText(u" a / B "), u"1");
    EXPECT_EQ(root->FindPath(u""), root.get());
    EXPECT_EQ(root->GetPathText(u"missing/B"), u"");
    EXPECT_EQ(root->FindChild(u"zz"), nullptr);
}

TEST(XmlNodeFind, SelectNodesTakesExactNamesUnderThePath)
{
    auto root = ParseOk("<r><Entry i=\"1\"/><entry/><Entry i=\"2\"/><Other><Entry/></Other><Entry i=\"3\"/></r>");
    std::vector<XmlNode*> out{nullptr};
    root->SelectNodes(u"/Entry", out);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[2]->GetIntAttribute(u"i", 0), 3);
    root->SelectNodes(u"Other/Entry", out);
    EXPECT_EQ(out.size(), 1u);
    root->GetChildren(u"Nope/Entry", out);
    EXPECT_TRUE(out.empty());
    out.push_back(nullptr);
    root->SelectNodes(u"", out);
    EXPECT_TRUE(out.empty());
}

TEST(XmlNodeAttributes, TypedGetters)
{
    auto n = ParseOk("<n hex=\"0x10\" oct=\"010\" big=\"99999999999\" f=\"2.5\" t1=\"TRUE\" t2=\"y\" t3=\"1\""
                     " f1=\"no\" f2=\"maybe\" p1=\"3,4\" p2=\"-3x 4\" p3=\"3\" p4=\"3,\" p5=\"a,4\"/>");
    bool found = false;
    EXPECT_EQ(n->GetIntAttribute(u"hex", 0, &found), 16);
    EXPECT_TRUE(found);
    EXPECT_EQ(n->GetIntAttribute(u"oct", 0), 8);
    EXPECT_EQ(n->GetIntAttribute(u"big", 0), INT32_MAX);
    EXPECT_EQ(n->GetIntAttribute(u"none", -5, &found), -5);
    EXPECT_FALSE(found);
    EXPECT_FLOAT_EQ(n->GetFloatAttribute(u"f", 0.f), 2.5f);
    EXPECT_FLOAT_EQ(n->GetFloatAttribute(u"none", 1.5f), 1.5f);
    EXPECT_TRUE(n->GetBoolAttribute(u"t1", false));
    EXPECT_TRUE(n->GetBoolAttribute(u"t2", false));
    EXPECT_TRUE(n->GetBoolAttribute(u"t3", false));
    EXPECT_FALSE(n->GetBoolAttribute(u"f1", true));
    EXPECT_FALSE(n->GetBoolAttribute(u"f2", true, &found));
    EXPECT_TRUE(found);
    EXPECT_TRUE(n->GetBoolAttribute(u"none", true));
    const std::pair<int32_t, int32_t> def{-1, -2};
    EXPECT_EQ(n->GetIntPairAttribute(u"p1", def), std::make_pair(3, 4));
    EXPECT_EQ(n->GetIntPairAttribute(u"p2", def), std::make_pair(-3, 4));
    EXPECT_EQ(n->GetIntPairAttribute(u"p3", def), def);
    EXPECT_EQ(n->GetIntPairAttribute(u"p4", def), def);
    EXPECT_EQ(n->GetIntPairAttribute(u"p5", def), def);
    String v = u"stale";
    EXPECT_FALSE(n->GetAttribute(u"none", v));
    EXPECT_TRUE(v.empty());
}

TEST(XmlNodeWrite, LayoutAndEmptyElements)
{
    XmlNode settings(u"Settings");
    EXPECT_EQ(settings.ToUtf8String(), "<Settings/>\n");
    settings.AddChild(u"Version")->SetText(u"2");
    settings.AddChild(u"Fullscreen")->SetText(u"0");
    EXPECT_EQ(settings.ToUtf8String(),
              "<Settings>\n    <Version>2</Version>\n    <Fullscreen>0</Fullscreen>\n</Settings>\n");

    XmlNode blank(u"Name");
    blank.SetText(u"");
    EXPECT_EQ(blank.ToString(), u"<Name></Name>\n");

    XmlNode ordered(u"e");
    ordered.SetAttribute(u"z", u"1");
    ordered.SetAttribute(u"a", u"2");
    ordered.SetAttribute(u"z", u"3");
    auto first = std::make_unique<XmlNode>(u"first");
    ordered.AddChild(u"last");
    ordered.InsertChild(std::move(first), 0);
    EXPECT_EQ(ordered.ToUtf8String(), "<e a=\"2\" z=\"3\">\n    <first/>\n    <last/>\n</e>\n");
}

TEST(XmlNodeWrite, EscapesSurviveARoundTrip)
{
    const String tricky = u"Tom & Jerry <\"best\"> Jos\u00E9 \u4E2D\U0001F48D";
    const String controls = String(u"a\u0001b\u001Fc\td\ne");
    XmlNode profile(u"Profile");
    profile.SetAttribute(u"name", tricky);
    profile.SetAttribute(u"ctl", controls);
    profile.AddChild(u"Note")->SetText(tricky + controls);
    const std::string text = profile.ToUtf8String();
    EXPECT_NE(text.find("&amp;"), std::string::npos);
    EXPECT_NE(text.find("&lt;"), std::string::npos);
    EXPECT_NE(text.find("&quot;"), std::string::npos);
    EXPECT_NE(text.find("a&#x1;b&#x1F;c"), std::string::npos);
    EXPECT_EQ(text.find('\x01'), std::string::npos);
    EXPECT_NE(text.find("Jos\xC3\xA9"), std::string::npos); // UTF-8 output

    // Kept white space, so that the tab and line feed in the text come back as they were.
    auto back = XmlNode::ParseDocument(text, true);
    ASSERT_NE(back, nullptr) << text;
    EXPECT_EQ(back->GetStringAttribute(u"name", u""), tricky);
    EXPECT_EQ(back->GetStringAttribute(u"ctl", u""), controls);
    EXPECT_EQ(back->GetPathText(u"Note"), tricky + controls);
    EXPECT_EQ(back->ToUtf8String(), text);
}

TEST(XmlNodeBytes, Utf16LittleEndianParsesBigEndianIsRefused)
{
    const std::u16string doc = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r v=\"Jos\u00E9\">\u4E2D</r>";
    auto le = FromBytes(Utf16Le(doc));
    ASSERT_NE(le, nullptr);
    EXPECT_EQ(le->GetText(), u"\u4E2D");
    EXPECT_EQ(le->GetStringAttribute(u"v", u""), u"Jos\u00E9");

    // An odd byte count: the stray last byte is not read as half a character.
    auto odd = FromBytes(Utf16Le(doc) + "\x3C");
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->GetText(), u"\u4E2D");

    std::string be = "\xFE\xFF";
    for (char16_t c : doc) {
        be += static_cast<char>(c >> 8);
        be += static_cast<char>(c & 0xFF);
    }
    EXPECT_EQ(FromBytes(be), nullptr);
}

TEST(XmlNodeBytes, ShortAndPlainFiles)
{
    EXPECT_EQ(FromBytes("<a"), nullptr);
    EXPECT_EQ(FromBytes(""), nullptr);
    EXPECT_EQ(XmlNode::ParseFileBytes(nullptr, 10, false), nullptr);
    auto plain = FromBytes(std::string("<a>x</a>\0<b>", 12));
    ASSERT_NE(plain, nullptr); // a NUL ends the document
    EXPECT_EQ(plain->GetText(), u"x");
    auto bom8 = FromBytes("\xEF\xBB\xBF<a>\xC3\xA9</a>");
    ASSERT_NE(bom8, nullptr);
    EXPECT_EQ(bom8->GetText(), u"\u00E9");
}

TEST(XmlNodeLifetime, ClearKeepsCachedChildren)
{
    auto doc = ParseOk("<r a=\"1\"><c/><d/></r>");
    doc->SetCached(true);
    XmlNode* child = doc->GetChild(0);
    doc->Clear();
    EXPECT_EQ(doc->GetChildCount(), 2u);
    EXPECT_EQ(doc->GetChild(0), child);
    EXPECT_TRUE(doc->Attributes().empty());
    doc->SetCached(false);
    doc->Clear();
    EXPECT_EQ(doc->GetChildCount(), 0u);
    EXPECT_TRUE(doc->IsEmpty());
}
