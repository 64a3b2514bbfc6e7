#include "engine/graphics/scene/DefinitionLibrary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include "engine/core/console/Console.h"
#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileManager.h"
#include "engine/core/xml/XmlCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/scene/Definition_Image.h"
#include "engine/graphics/scene/Definition_Movie.h"
#include "engine/graphics/image/PictureLoader.h"
#include "tests/support/MemoryFileSource.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;

namespace {

// Library documents held in memory.
std::string ImageXml(const char* name, const char* src)
{
    return std::string("<Definition type=\"image\" name=\"") + name + "\" src=\"" + src + "\"/>";
}

// A movie with one library track per named child.
std::string MovieXml(const char* name, std::initializer_list<const char*> children)
{
    std::string xml = std::string("<Definition type=\"movie\" name=\"") + name + "\" length=\"10\" fps=\"24\">";
    int i = 0;
    for (const char* child : children)
        xml += std::string("<Instance type=\"library\" definition=\"") + child + "\" instancename=\"c" +
               std::to_string(i++) + "\" depth=\"1\" create=\"0\" death=\"10\" regx=\"0\" regy=\"0\"/>";
    return xml + "</Definition>";
}

std::string LibraryXml(std::initializer_list<std::string> definitions)
{
    std::string xml = "<Library>";
    for (const std::string& definition : definitions)
        xml += definition;
    return xml + "</Library>";
}

class DefinitionLibraryTest : public ::testing::Test {
protected:
    DefinitionLibraryTest() : cache(&files) { files.AddSource(std::make_unique<QuillTest::MemoryFileSource>(&contents)); }

    // Writes "libraries.xml" listing the files and imports it.
    bool ImportList(std::initializer_list<const char*> fileNames)
    {
        std::string list = "<libraries>";
        for (const char* name : fileNames)
            list += std::string("<library file=\"") + name + "\"/>";
        contents[u"libraries.xml"] = list + "</libraries>";
        cache.Unload(u"libraries.xml");
        const XmlNode* root = cache.Get(u"libraries.xml");
        if (!root)
            return false;
        return library.ImportLibraries(cache, *root, &console);
    }

    std::map<String, std::string> contents;
    FileManager files;
    XmlCache cache;
    Console console;
    DefinitionLibrary library;
};

bool OutputHas(const Console& console, StringView line)
{
    for (const String& text : console.Output())
        if (text == line)
            return true;
    return false;
}

} // namespace

TEST_F(DefinitionLibraryTest, SecondFileAddsASecondDefinitionUnderAnExistingName)
{
    contents[u"A.xml"] = LibraryXml({ImageXml("Button", "a.png"), ImageXml("Panel", "p.png")});
    contents[u"B.xml"] = LibraryXml({ImageXml("Button", "b.png"), MovieXml("Screen", {"Button", "Panel"})});
    ASSERT_TRUE(ImportList({"A.xml", "B.xml"}));

    EXPECT_EQ(library.GetNameCount(), 3u);
    ASSERT_EQ(library.GetDefinitionCount(u"Button"), 2u);
    auto* first = static_cast<Definition_Image*>(library.GetDefinition(u"Button", 0));
    auto* second = static_cast<Definition_Image*>(library.GetDefinition(u"Button", 1));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->GetSource(), u"a.png");
    EXPECT_EQ(first->GetIndex(), 0);
    EXPECT_EQ(second->GetSource(), u"b.png");
    EXPECT_EQ(second->GetIndex(), 1);
    EXPECT_EQ(library.GetDefinition(u"Button", -1), second);
    EXPECT_EQ(second->GetLibrary(), &library);
    EXPECT_EQ(library.GetDefinition(u"Screen", 0)->GetType(), Definition_Base::Type_Movie);

    EXPECT_TRUE(OutputHas(console, u"Imported 4 definitions."));
    EXPECT_TRUE(OutputHas(console, u"\t\t3 new definitions."));
    EXPECT_TRUE(OutputHas(console, u"\t\t1 existing definitions."));
}

TEST_F(DefinitionLibraryTest, LookupsOutsideTheListsFindNothing)
{
    ASSERT_TRUE(library.AddImageDefinition(u"Button", u"a.png"));
    ASSERT_TRUE(library.AddImageDefinition(u"Button", u"b.png"));
    EXPECT_EQ(library.GetDefinition(u"", -1), nullptr);
    EXPECT_EQ(library.GetDefinition(u"Missing", -1), nullptr);
    EXPECT_EQ(library.GetDefinition(u"button", -1), nullptr) << "names compare case-sensitively";
    EXPECT_EQ(library.GetDefinition(u"Button", 2), nullptr);
    EXPECT_EQ(library.GetDefinition(u"Button", 5), nullptr);
    EXPECT_EQ(library.GetDefinition(u"Button", -2), nullptr) << "only -1 means the last";
    EXPECT_NE(library.GetDefinition(u"Button", 1), nullptr);

    ASSERT_TRUE(library.AddImageDefinition(u"button", u"c.png"));
    EXPECT_EQ(library.GetDefinitionCount(u"Button"), 2u);
    EXPECT_EQ(library.GetDefinitionCount(u"button"), 1u);
}

TEST_F(DefinitionLibraryTest, TheLaterOfTwoElementsWithOneNameInOneFileWins)
{
    contents[u"A.xml"] =
        LibraryXml({ImageXml("Logo", "first.png"), ImageXml("Other", "o.png"), ImageXml("Logo", "second.png")});
    ASSERT_TRUE(ImportList({"A.xml"}));
    ASSERT_EQ(library.GetDefinitionCount(u"Logo"), 1u);
    EXPECT_EQ(static_cast<Definition_Image*>(library.GetDefinition(u"Logo", 0))->GetSource(), u"second.png");
    EXPECT_TRUE(OutputHas(console, u"Imported 2 definitions."));
}

TEST_F(DefinitionLibraryTest, ReferencesResolveAcrossFilesOnlyAfterTheLastOne)
{
    contents[u"A.xml"] = LibraryXml({MovieXml("Screen", {"Button"})});
    contents[u"B.xml"] = LibraryXml({ImageXml("Button", "b.png")});
    EXPECT_TRUE(ImportList({"A.xml", "B.xml"})) << "a reference to a later file resolves";

    DefinitionLibrary other;
    int32_t added = 0, existing = 0;
    auto doc = XmlNode::ParseDocument(LibraryXml({MovieXml("Screen", {"Nowhere"})}), false);
    ASSERT_TRUE(other.ImportLibrary(*doc, nullptr, added, existing));
    EXPECT_FALSE(other.CheckReferences());
    ASSERT_TRUE(other.AddImageDefinition(u"Nowhere", u"n.png"));
    EXPECT_TRUE(other.CheckReferences());
}

TEST_F(DefinitionLibraryTest, UnresolvedReferencesFailButKeepTheDefinitions)
{
    contents[u"A.xml"] = LibraryXml({MovieXml("Screen", {"Button", "Ghost"})});
    contents[u"B.xml"] = LibraryXml({ImageXml("Button", "b.png")});
    EXPECT_FALSE(ImportList({"A.xml", "B.xml"}));
    EXPECT_TRUE(OutputHas(console, u"Unresolved references, import library failed."));
    EXPECT_NE(library.GetDefinition(u"Screen", -1), nullptr);
    EXPECT_NE(library.GetDefinition(u"Button", -1), nullptr);
}

TEST_F(DefinitionLibraryTest, OnlyTheLastMovieOfANameIsChecked)
{
    contents[u"A.xml"] = LibraryXml({MovieXml("Screen", {"Ghost"})});
    contents[u"B.xml"] = LibraryXml({MovieXml("Screen", {})});
    EXPECT_TRUE(ImportList({"A.xml", "B.xml"}));
}

TEST_F(DefinitionLibraryTest, AFailingDefinitionLeavesTheLibraryAsItWas)
{
    contents[u"Good.xml"] = LibraryXml({ImageXml("Button", "b.png")});
    contents[u"Bad.xml"] = LibraryXml({ImageXml("Button", "again.png"), ImageXml("Fresh", "f.png"),
                                       "<Definition type=\"image\" name=\"Broken\" src=\"x.png\" bi=\"1 2 3\"/>",
                                       ImageXml("Never", "n.png")});
    EXPECT_FALSE(ImportList({"Good.xml", "Bad.xml"}));
    EXPECT_TRUE(OutputHas(console, u"Failed to import library completely (2 / 4 definitions loaded)"));
    EXPECT_EQ(library.GetNameCount(), 1u) << "the earlier file stays; nothing of the failed one";
    EXPECT_EQ(library.GetDefinitionCount(u"Button"), 1u);
    EXPECT_EQ(library.GetDefinition(u"Fresh", -1), nullptr);
    EXPECT_FALSE(OutputHas(console, u"Unresolved references, import library failed."));
}

TEST_F(DefinitionLibraryTest, UnknownTypesAndMissingNamesFailTheFile)
{
    for (const char* bad : {"<Definition type=\"sound\" name=\"S\"/>", "<Definition type=\"image\" src=\"x.png\"/>",
                            "<Definition name=\"N\" src=\"x.png\"/>", "<Definition type=\"image\" name=\"N\"/>",
                            "<Definition type=\"image\" name=\"\" src=\"x.png\"/>"}) {
        int32_t added = 0, existing = 0;
        auto doc = XmlNode::ParseDocument(LibraryXml({ImageXml("Ok", "ok.png"), bad}), false);
        ASSERT_TRUE(doc);
        EXPECT_FALSE(library.ImportLibrary(*doc, nullptr, added, existing)) << bad;
        EXPECT_EQ(added + existing, 0);
        EXPECT_EQ(library.GetNameCount(), 0u);
    }
}

TEST_F(DefinitionLibraryTest, AMissingFileOrAttributeEndsTheImportSilently)
{
    contents[u"A.xml"] = LibraryXml({ImageXml("A", "a.png")});
    contents[u"C.xml"] = LibraryXml({ImageXml("C", "c.png")});
    contents[u"Broken.xml"] = "<Library><Definition";
    EXPECT_FALSE(ImportList({"A.xml", "Missing.xml", "C.xml"}));
    EXPECT_NE(library.GetDefinition(u"A", 0), nullptr) << "libraries before the failure stay";
    EXPECT_EQ(library.GetDefinition(u"C", 0), nullptr);
    EXPECT_FALSE(ImportList({"Broken.xml"}));
    EXPECT_TRUE(console.Output().empty());

    contents[u"libraries.xml"] = "<libraries><library file=\"C.xml\"/><library/><library file=\"A.xml\"/></libraries>";
    cache.Unload(u"libraries.xml");
    EXPECT_FALSE(library.ImportLibraries(cache, *cache.Get(u"libraries.xml"), &console));
    EXPECT_NE(library.GetDefinition(u"C", 0), nullptr);
    EXPECT_EQ(library.GetDefinitionCount(u"A"), 1u) << "nothing after the entry without a file";
}

TEST_F(DefinitionLibraryTest, LibraryFilesAreReadAfreshOnEachImport)
{
    contents[u"A.xml"] = LibraryXml({ImageXml("A", "old.png")});
    ASSERT_TRUE(ImportList({"A.xml"}));
    contents[u"A.xml"] = LibraryXml({ImageXml("A", "new.png")});
    ASSERT_TRUE(ImportList({"A.xml"}));
    EXPECT_EQ(static_cast<Definition_Image*>(library.GetDefinition(u"A", 1))->GetSource(), u"new.png");
}

// A list that names its own document, so importing it drops the very root being walked from the
// cache.
TEST_F(DefinitionLibraryTest, AListNamingItselfDoesNotUseTheDroppedDocument)
{
    contents[u"A.xml"] = LibraryXml({ImageXml("A", "a.png")});
    contents[u"B.xml"] = LibraryXml({ImageXml("B", "b.png")});
    EXPECT_TRUE(ImportList({"A.xml", "libraries.xml", "B.xml"}));
    EXPECT_NE(library.GetDefinition(u"A", 0), nullptr);
    EXPECT_NE(library.GetDefinition(u"B", 0), nullptr);
}

TEST_F(DefinitionLibraryTest, RunTimeImageDefinitionsComeAndGo)
{
    EXPECT_FALSE(library.AddImageDefinition(u"", u"Splash.png"));
    EXPECT_EQ(library.GetNameCount(), 0u);

    ASSERT_TRUE(library.AddImageDefinition(u"SplashScreen", u"Splash\\First.png"));
    auto* image = static_cast<Definition_Image*>(library.GetDefinition(u"SplashScreen", -1));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetType(), Definition_Base::Type_Image);
    EXPECT_EQ(image->GetSource(), u"Splash\\First.png");
    EXPECT_FALSE(image->HasAtlasRect());
    EXPECT_EQ(image->GetIndex(), 0);

    ASSERT_TRUE(library.AddImageDefinition(u"SplashScreen", u"Splash\\Second.png"));
    EXPECT_EQ(library.GetDefinition(u"SplashScreen", -1)->GetIndex(), 1);

    library.RemoveDefinitions(u"");
    library.RemoveDefinitions(u"Unknown");
    EXPECT_EQ(library.GetNameCount(), 1u);
    library.RemoveDefinitions(u"SplashScreen");
    EXPECT_EQ(library.GetNameCount(), 0u);
    EXPECT_EQ(library.GetDefinition(u"SplashScreen", 0), nullptr) << "an instance's next lookup finds nothing";

    ASSERT_TRUE(library.AddImageDefinition(u"SplashScreen", u"Splash\\Third.png"));
    EXPECT_EQ(library.GetDefinition(u"SplashScreen", -1)->GetIndex(), 0);
}

TEST_F(DefinitionLibraryTest, MoviesThatContainThemselvesAreFound)
{
    int32_t added = 0, existing = 0;
    auto doc = XmlNode::ParseDocument(
        LibraryXml({MovieXml("Self", {"Self", "Leaf"}), MovieXml("A", {"B"}), MovieXml("B", {"C"}),
                    MovieXml("C", {"A", "Leaf"}), MovieXml("Entry", {"A", "Leaf"}), MovieXml("Fine", {"Leaf", "Leaf"}),
                    ImageXml("Leaf", "l.png")}),
        false);
    ASSERT_TRUE(library.ImportLibrary(*doc, nullptr, added, existing));
    for (const char16_t* name : {u"Self", u"A", u"B", u"C"})
        EXPECT_TRUE(library.IsRecursive(name)) << ToUtf8(name);
    for (const char16_t* name : {u"Entry", u"Fine", u"Leaf", u"Unknown"})
        EXPECT_FALSE(library.IsRecursive(name)) << ToUtf8(name);

    // A track into a cycle makes nothing; other tracks of the same movie still resolve.
    auto* self = static_cast<Definition_Movie*>(library.GetDefinition(u"Self", -1));
    EXPECT_EQ(self->ResolveTrackDefinition(0), nullptr);
    EXPECT_EQ(self->ResolveTrackDefinition(1), library.GetDefinition(u"Leaf", -1));
    auto* entry = static_cast<Definition_Movie*>(library.GetDefinition(u"Entry", -1));
    EXPECT_EQ(entry->ResolveTrackDefinition(0), nullptr);
    EXPECT_EQ(entry->ResolveTrackDefinition(1), library.GetDefinition(u"Leaf", -1));
    EXPECT_EQ(entry->ResolveTrackDefinition(2), nullptr);
    EXPECT_EQ(entry->ResolveTrackDefinition(-1), nullptr);

    // Replacing C by a movie without the way back breaks the cycle.
    doc = XmlNode::ParseDocument(LibraryXml({MovieXml("C", {"Leaf"})}), false);
    ASSERT_TRUE(library.ImportLibrary(*doc, nullptr, added, existing));
    EXPECT_FALSE(library.IsRecursive(u"A"));
    EXPECT_EQ(entry->ResolveTrackDefinition(0), library.GetDefinition(u"A", -1));
    // ...and removing the name it points at leaves the reference unresolved, not dangling.
    library.RemoveDefinitions(u"B");
    EXPECT_EQ(static_cast<Definition_Movie*>(library.GetDefinition(u"A", -1))->ResolveTrackDefinition(0), nullptr);
    EXPECT_FALSE(library.CheckReferences());
}

TEST_F(DefinitionLibraryTest, ImportReportsMoviesThatContainThemselves)
{
    contents[u"A.xml"] = LibraryXml({MovieXml("Loop", {"Loop"})});
    EXPECT_TRUE(ImportList({"A.xml"}));
    EXPECT_TRUE(OutputHas(console, u"Definition Loop contains itself; those children are not created."));
}

TEST_F(DefinitionLibraryTest, LongChainsOfMoviesDoNotExhaustTheStack)
{
    constexpr int kCount = 100000;
    for (int i = 0; i < kCount; ++i) {
        // Built through the library's own import so that each movie is a real one.
        const std::string next = "m" + std::to_string(i + 1 == kCount ? 0 : i + 1);
        auto doc =
            XmlNode::ParseDocument(LibraryXml({MovieXml(("m" + std::to_string(i)).c_str(), {next.c_str()})}), false);
        int32_t added = 0, existing = 0;
        ASSERT_TRUE(library.ImportLibrary(*doc, nullptr, added, existing));
    }
    EXPECT_TRUE(library.IsRecursive(u"m0"));
    EXPECT_TRUE(library.IsRecursive(u"m54321"));
    library.RemoveDefinitions(u"m0");
    EXPECT_FALSE(library.IsRecursive(u"m1"));
}

// The sample data's libraries import cleanly from the loose folder and every image definition
// names a picture that loads, with its atlas rectangle inside the picture.
TEST(DefinitionSampleData, InputLibrariesImportAndTheirPicturesLoad)
{
    namespace fs = std::filesystem;
    const fs::path data = QuillTest::SourceRoot() / "data";
    for (const char* package : {"input", "ui", "concentration"}) {
        FileManager files;
        ASSERT_TRUE(files.AddSource(new FSLooseFiles(FromUtf8((data / package).string() + "/"), u"data")));
        XmlCache cache(&files);
        const XmlNode* root = cache.Get(u"libraries.xml");
        ASSERT_NE(root, nullptr) << package;
        DefinitionLibrary library;
        Console console;
        ASSERT_TRUE(library.ImportLibraries(cache, *root, &console)) << package;
        if (std::string(package) != "input")
            continue;

        EXPECT_GE(library.GetNameCount(), 6u);
        int images = 0, movies = 0;
        for (const auto& [name, list] : library.Definitions()) {
            for (const auto& definition : list) {
                if (definition->GetType() == Definition_Base::Type_Movie) {
                    ++movies;
                    EXPECT_FALSE(library.IsRecursive(name)) << ToUtf8(name);
                    continue;
                }
                ++images;
                const auto& image = static_cast<const Definition_Image&>(*definition);
                Image picture;
                ASSERT_TRUE(LoadPicture(files, image.GetSource(), 4096, picture)) << ToUtf8(image.GetSource());
                if (image.HasAtlasRect()) {
                    EXPECT_LE(image.GetSourceX() + image.GetSourceWidth(), picture.width) << ToUtf8(name);
                    EXPECT_LE(image.GetSourceY() + image.GetSourceHeight(), picture.height) << ToUtf8(name);
                }
            }
        }
        EXPECT_GE(images, 4);
        EXPECT_GE(movies, 2);
        const auto* counter = static_cast<const Definition_Movie*>(library.GetDefinition(u"ShopCounter", -1));
        ASSERT_NE(counter, nullptr);
        EXPECT_FALSE(counter->GetLabels().empty());
        EXPECT_FALSE(counter->GetFrameEvents().empty());
    }
}

// The same libraries read from the packed archive the game mounts first.
TEST(DefinitionSampleData, InputLibrariesImportFromTheDataArchive)
{
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    if (!std::filesystem::exists(bin / "data.dat"))
        GTEST_SKIP() << "the data archives are not built (target quill_data)";
    FileManager files;
    ASSERT_TRUE(files.AddSource(new FSCompressedSource(FromUtf8((bin / "data.dat").string()), u"data")));
    XmlCache cache(&files);
    const XmlNode* root = cache.Get(u"libraries.xml");
    ASSERT_NE(root, nullptr);
    DefinitionLibrary library;
    ASSERT_TRUE(library.ImportLibraries(cache, *root, nullptr));
    const auto* coin = static_cast<const Definition_Movie*>(library.GetDefinition(u"CoinSpin", -1));
    ASSERT_NE(coin, nullptr);
    EXPECT_EQ(coin->ResolveTrackDefinition(0), library.GetDefinition(u"Coin", 0));
}
