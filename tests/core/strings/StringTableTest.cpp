#include <gtest/gtest.h>

#include "engine/core/files/FileManager.h"
#include "engine/core/strings/StringTable.h"
#include "engine/core/strings/StringUtil.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"

using namespace QuillEngine;

namespace {

bool LoadText(StringTable& table, std::string_view xml)
{
    auto root = XmlNode::ParseDocument(xml, true);
    EXPECT_NE(root, nullptr);
    return root && table.LoadFrom(*root);
}

} // namespace

TEST(StringTableLoad, EntriesByNumericId)
{
    StringTable table(nullptr);
    ASSERT_TRUE(LoadText(table, "<Strings>"
                                "<Entry id=\"7\"><Text>seven</Text></Entry>"
                                "<Entry id=\"0x10\"><Text>hex</Text></Entry>"
                                "<Entry id=\"010\"><Text>octal</Text></Entry>"
                                "<entry id=\"9\"><Text>ignored</Text></entry>"
                                "<Entry id=\"7\"><Text>  seven again </Text></Entry>"
                                "</Strings>"));
    EXPECT_EQ(table.Get(7), u"  seven again ");
    EXPECT_EQ(table.Get(16), u"hex");
    EXPECT_EQ(table.Get(8), u"octal");
    EXPECT_EQ(table.Get(9), u"");
    EXPECT_EQ(table.GetCount(), 3u);
}

TEST(StringTableLoad, MalformedEntriesFail)
{
    StringTable noId(nullptr);
    EXPECT_FALSE(LoadText(noId, "<S><Entry><Text>x</Text></Entry></S>"));
    StringTable emptyText(nullptr);
    EXPECT_FALSE(LoadText(emptyText, "<S><Entry id=\"1\"><Text></Text></Entry></S>"));
    StringTable noText(nullptr);
    EXPECT_FALSE(LoadText(noText, "<S><Entry id=\"1\"/></S>"));
}

TEST(StringTableLoad, ThroughTheDocumentCache)
{
    class OneFile : public FileManager::IFSSource {
    public:
        explicit OneFile(std::string text) : m_text(std::move(text)) {}
        bool Open() override { return true; }
        void Close() override {}
        bool IsOpen() const override { return true; }
        bool ReadFile(const String& name, std::unique_ptr<uint8_t[]>& data, size_t& size) override
        {
            if (name != u"StringTable.xml" || m_text.empty())
                return false;
            size = m_text.size();
            data = std::make_unique<uint8_t[]>(size);
            std::copy(m_text.begin(), m_text.end(), data.get());
            return true;
        }
        bool Exists(const String& name) override { return name == u"StringTable.xml" && !m_text.empty(); }
        String GetGroupName() const override { return u"System"; }

    private:
        std::string m_text;
    };

    {
        FileManager files;
        XmlCache cache(&files);
        StringTable table(&cache);
        EXPECT_TRUE(table.Load()); // no file: an empty table
        EXPECT_EQ(table.GetCount(), 0u);
    }
    {
        FileManager files;
        files.AddSource(std::make_unique<OneFile>("<T><Entry id=\"3\"><Text> Hi  there </Text></Entry></T>"));
        XmlCache cache(&files);
        StringTable table(&cache);
        EXPECT_TRUE(table.Load());
        EXPECT_EQ(table.Get(3), u" Hi  there "); // white space kept
        EXPECT_EQ(StringTable::Instance(), &table);
    }
    EXPECT_EQ(StringTable::Instance(), nullptr);
    {
        FileManager files;
        files.AddSource(std::make_unique<OneFile>("<T><Entry><Text>x</Text></Entry></T>"));
        XmlCache cache(&files);
        StringTable table(&cache);
        EXPECT_FALSE(table.Load());
    }
}

TEST(LocalizeString, References)
{
    StringTable table(nullptr);
    ASSERT_TRUE(LoadText(table, "<S><Entry id=\"7\"><Text>x %s y</Text></Entry>"
                                "<Entry id=\"12\"><Text>twelve</Text></Entry>"
                                "<Entry id=\"13\"><Text>%d%% of %s%n%s</Text></Entry></S>"));
    EXPECT_EQ(LocalizeString(u"plain %s", true, {u"x"}), u"plain %s"); // not a reference: unchanged
    EXPECT_EQ(LocalizeString(u"", false), u"");
    EXPECT_EQ(LocalizeString(u"|7|", false), u"x %s y");
    EXPECT_EQ(LocalizeString(u"|7|", true, {u"Q"}), u"x Q y");
    EXPECT_EQ(LocalizeString(u"|7|", true), u"x  y"); // a conversion without an argument prints nothing
    EXPECT_EQ(LocalizeString(u"|12ab", false), u"twelve");
    EXPECT_EQ(LocalizeString(u"|13|", true, {50, u"it"}), u"50% of it");
    EXPECT_EQ(LocalizeString(u"|8|", false), u"|8|");   // missing entry
    EXPECT_EQ(LocalizeString(u"|0|", false), u"|0|");   // id 0
    EXPECT_EQ(LocalizeString(u"|abc", false), u"|abc"); // no number
    EXPECT_EQ(LocalizeTitle(u"|12|"), u"twelve");
}

TEST(LocalizeString, AMissingEntryShowsItsReferenceAndIsNamedOnceOnStderr)
{
    StringTable table(nullptr);
    ASSERT_TRUE(LoadText(table, "<S><Entry id=\"7\"><Text>seven</Text></Entry></S>"));
    testing::internal::CaptureStderr();
    const String first = LocalizeString(u"|1110", false);
    const String again = LocalizeString(u"|1110|", true, {1});
    const String other = LocalizeString(u"|1111", false);
    const String found = LocalizeString(u"|7", false);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, u"|1110");
    EXPECT_EQ(again, u"|1110|");
    EXPECT_EQ(other, u"|1111");
    EXPECT_EQ(found, u"seven");
    const std::string line = "The text table \"StringTable.xml\" has no entry 1110:";
    const size_t at = told.find(line);
    ASSERT_NE(at, std::string::npos) << told;
    EXPECT_EQ(told.find(line, at + 1), std::string::npos) << "named twice: " << told;
    EXPECT_NE(told.find("has no entry 1111:"), std::string::npos) << told;
    EXPECT_EQ(told.find("entry 7:"), std::string::npos) << told;
}

TEST(LocalizeString, InlineTexts)
{
    EXPECT_EQ(LocalizeString(u"|String|t|Hi|", false), u"Hi");
    EXPECT_EQ(LocalizeString(u"|String||Hi|", false), u"Hi");
    EXPECT_EQ(LocalizeString(u"|String|t|Hi %d|", true, {5}), u"Hi 5");
    EXPECT_EQ(LocalizeString(u"|String|t|", false), u""); // nothing after the tag's bar
    EXPECT_EQ(LocalizeString(u"|String|t|x", false), u"");
    EXPECT_EQ(LocalizeString(u"|String|", false), u"|String|");
    EXPECT_EQ(LocalizeString(u"|String|tag", false), u"|String|tag");
}

TEST(LocalizeString, WithoutATableReferencesStay)
{
    ASSERT_EQ(StringTable::Instance(), nullptr);
    EXPECT_EQ(LocalizeString(u"|7|", true, {1}), u"|7|");
    EXPECT_EQ(LocalizeString(u"|String|t|ok|", false), u"ok");
}
