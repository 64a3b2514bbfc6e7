#include <gtest/gtest.h>

#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "tests/support/MemoryFileSource.h"

#include <cstring>
#include <map>

using namespace QuillEngine;

namespace {

// Files held in memory; counts how often each one is read.
class XmlCacheTest : public ::testing::Test {
protected:
    XmlCacheTest() : cache(&files)
    {
        auto src = std::make_unique<QuillTest::MemoryFileSource>(&contents, u"Test");
        source = src.get();
        files.AddSource(std::move(src));
    }

    std::map<String, std::string> contents;
    QuillTest::MemoryFileSource* source = nullptr;
    FileManager files;
    XmlCache cache;
};

} // namespace

TEST_F(XmlCacheTest, SecondGetReadsOnceUnloadReadsAgain)
{
    contents[u"engine.xml"] = "<Engine><PauseOnLostFocus/></Engine>";
    XmlNode* first = cache.Get(u"engine.xml");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->IsCached());
    EXPECT_EQ(first->GetFileName(), u"engine.xml");
    EXPECT_NE(first->FindChild(u"pauseonlostfocus"), nullptr);
    EXPECT_EQ(cache.Get(u"engine.xml"), first);
    EXPECT_EQ(source->reads[u"engine.xml"], 1);
    EXPECT_EQ(XmlCache::Instance(), &cache);

    contents[u"engine.xml"] = "<Engine><HasCustomCursor/></Engine>";
    cache.Unload(u"engine.xml");
    EXPECT_EQ(cache.GetDocumentCount(), 0u);
    XmlNode* second = cache.Get(u"engine.xml");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(source->reads[u"engine.xml"], 2);
    EXPECT_NE(second->FindChild(u"HasCustomCursor"), nullptr);
    cache.Unload(u"not-loaded.xml"); // harmless
    EXPECT_EQ(cache.GetDocumentCount(), 1u);
}

TEST_F(XmlCacheTest, NamesAreExactCase)
{
    contents[u"Audio/Audio.xml"] = "<Audio/>";
    contents[u"audio/audio.xml"] = "<audio/>";
    XmlNode* a = cache.Get(u"Audio/Audio.xml");
    XmlNode* b = cache.Get(u"audio/audio.xml");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(b->GetName(), u"audio");
}

TEST_F(XmlCacheTest, FailuresAreNotCached)
{
    contents[u"bad.xml"] = "<a><b></a>";
    contents[u"tiny.xml"] = "<a";
    contents[u"be.xml"] = std::string("\xFE\xFF\0<\0a\0/\0>", 10);
    EXPECT_EQ(cache.Get(u"missing.xml"), nullptr);
    EXPECT_EQ(cache.Get(u"bad.xml"), nullptr);
    EXPECT_EQ(cache.Get(u"tiny.xml"), nullptr);
    EXPECT_EQ(cache.Get(u"be.xml"), nullptr);
    EXPECT_EQ(cache.GetDocumentCount(), 0u);

    contents[u"bad.xml"] = "<a><b/></a>";
    EXPECT_NE(cache.Get(u"bad.xml"), nullptr); // a mended file loads on the next try
    EXPECT_EQ(source->reads[u"bad.xml"], 2);
}

TEST_F(XmlCacheTest, Utf16LittleEndianFile)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : std::u16string(u"<T>\u00E9t\u00E9</T>")) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    contents[u"u16.xml"] = bytes;
    XmlNode* doc = cache.Get(u"u16.xml");
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetText(), u"\u00E9t\u00E9");
}

TEST_F(XmlCacheTest, ClearDropsEverything)
{
    contents[u"a.xml"] = "<a/>";
    contents[u"b.xml"] = "<b/>";
    ASSERT_NE(cache.Get(u"a.xml"), nullptr);
    ASSERT_NE(cache.Get(u"b.xml"), nullptr);
    cache.Clear();
    EXPECT_EQ(cache.GetDocumentCount(), 0u);
    ASSERT_NE(cache.Get(u"a.xml"), nullptr);
    EXPECT_EQ(source->reads[u"a.xml"], 2);
}

TEST(XmlCacheNoFiles, WithoutAFileManagerNothingLoads)
{
    XmlCache cache(nullptr);
    EXPECT_EQ(cache.Get(u"engine.xml"), nullptr);
}
