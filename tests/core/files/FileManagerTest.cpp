#include "engine/core/files/FileManager.h"

#include <cstring>
#include <map>

#include <gtest/gtest.h>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileStream.h"
#include "tests/support/TestEnvironment.h"
#include "tools/ZipWriter.h"

using namespace QuillEngine;

namespace {

// In-memory source that counts how often it is asked and whether it is still alive.
class FakeSource : public FileManager::IFSSource {
  public:
    FakeSource(String group, std::map<String, std::string> files, int* alive = nullptr, bool opens = true)
        : m_group(std::move(group)), m_files(std::move(files)), m_alive(alive), m_opens(opens)
    {
        if (m_alive)
            ++*m_alive;
    }
    ~FakeSource() override
    {
        if (m_alive)
            --*m_alive;
    }
    bool Open() override { return m_opens; }
    void Close() override {}
    bool IsOpen() const override { return m_opens; }
    bool ReadFile(const String& name, std::unique_ptr<uint8_t[]>& data, size_t& size) override
    {
        ++reads;
        auto it = m_files.find(name);
        if (it == m_files.end())
            return false;
        data = std::make_unique<uint8_t[]>(it->second.size() + 1);
        std::memcpy(data.get(), it->second.data(), it->second.size());
        size = it->second.size();
        return true;
    }
    bool Exists(const String& name) override { return m_files.count(name) != 0; }
    String GetGroupName() const override { return m_group; }

    void Remove(const String& name) { m_files.erase(name); }
    int reads = 0;

  private:
    String m_group;
    std::map<String, std::string> m_files;
    int* m_alive;
    bool m_opens;
};

std::string Text(const FileHandle& file)
{
    return std::string(reinterpret_cast<const char*>(file.Data()), file.Size());
}

} // namespace

TEST(FileManagerCache, LiveHandlesShareOneBufferAndTheLastReleaseDropsIt)
{
    FileManager fm;
    auto* source = new FakeSource(u"System", {{u"a.xml", "<a/>"}});
    ASSERT_TRUE(fm.AddSource(source));

    FileHandle first = fm.LoadFile(u"a.xml");
    FileHandle second = fm.LoadFile(u"a.xml");
    ASSERT_TRUE(first.IsValid());
    EXPECT_EQ(first.Data(), second.Data());
    EXPECT_EQ(source->reads, 1);
    EXPECT_EQ(Text(second), "<a/>");
    EXPECT_EQ(first.Name(), u"a.xml");

    FileHandle copy = first;
    EXPECT_EQ(copy.UseCount(), 3);
    EXPECT_EQ(fm.CachedFileCount(), 1u);

    first.Reset();
    second = FileHandle();
    EXPECT_EQ(fm.CachedFileCount(), 1u); // `copy` still holds it
    copy.Reset();
    EXPECT_EQ(fm.CachedFileCount(), 0u);

    FileHandle third = fm.LoadFile(u"a.xml");
    EXPECT_EQ(source->reads, 2);
    EXPECT_EQ(Text(third), "<a/>");

    // Names are cache keys exactly as given.
    FileHandle other = fm.LoadFile(u"A.xml");
    EXPECT_FALSE(other.IsValid());
    EXPECT_EQ(other.Data(), nullptr);
    EXPECT_EQ(other.Size(), 0u);
}

TEST(FileManagerCache, HandlesAndStreamsOutliveTheManager)
{
    FileHandle kept;
    FileStream* stream = nullptr;
    {
        FileManager fm;
        EXPECT_EQ(FileManager::Instance(), &fm);
        fm.AddSource(new FakeSource(u"System", {{u"a.txt", "abcdef"}, {u"b.txt", "xyz"}}));
        kept = fm.LoadFile(u"a.txt");
        stream = fm.OpenStream(u"b.txt");
        ASSERT_NE(stream, nullptr);
    }
    EXPECT_EQ(FileManager::Instance(), nullptr);
    EXPECT_EQ(Text(kept), "abcdef");
    char buffer[4] = {};
    uint32_t read = 0;
    EXPECT_EQ(stream->Read(buffer, 4, &read), StreamResult::Ok);
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(std::string(buffer, 3), "xyz");
    EXPECT_EQ(stream->Release(), 0u);
}

TEST(FileManagerCache, ExistsAsksTheSourcesNotTheCache)
{
    FileManager fm;
    auto* source = new FakeSource(u"System", {{u"gone.txt", "x"}});
    fm.AddSource(source);
    FileHandle held = fm.LoadFile(u"gone.txt");
    source->Remove(u"gone.txt");
    EXPECT_FALSE(fm.Exists(u"gone.txt"));
    // The cached copy is still handed out while held.
    EXPECT_TRUE(fm.LoadFile(u"gone.txt").IsValid());
    held.Reset();
    EXPECT_FALSE(fm.LoadFile(u"gone.txt").IsValid());
}

TEST(FileManagerCache, EmptyFileIsValidWithData)
{
    FileManager fm;
    fm.AddSource(new FakeSource(u"System", {{u"empty", ""}}));
    FileHandle file = fm.LoadFile(u"empty");
    EXPECT_TRUE(file.IsValid());
    EXPECT_NE(file.Data(), nullptr);
    EXPECT_EQ(file.Size(), 0u);
}

TEST(FileManagerSources, FailedOpenDeletesTheSource)
{
    int alive = 0;
    FileManager fm;
    EXPECT_FALSE(fm.AddSource(new FakeSource(u"System", {}, &alive, false)));
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(fm.SourceCount(), 0u);
    EXPECT_FALSE(fm.AddSource(static_cast<FileManager::IFSSource*>(nullptr)));
}

TEST(FileManagerSources, SelectedGroupHidesTheOthers)
{
    FileManager fm;
    fm.AddSource(new FakeSource(u"System", {{u"engine.xml", "sys"}, {u"libraries.xml", "sys"}}));
    fm.AddSource(new FakeSource(u"ui", {{u"libraries.xml", "ui"}, {u"ui.xml", "ui"}}));

    // Unselected: the first added source wins.
    EXPECT_EQ(Text(fm.LoadFile(u"libraries.xml")), "sys");

    ASSERT_TRUE(fm.SelectGroup(u"ui"));
    EXPECT_FALSE(fm.Exists(u"engine.xml"));
    EXPECT_FALSE(fm.LoadFile(u"engine.xml").IsValid());
    EXPECT_EQ(Text(fm.LoadFile(u"libraries.xml")), "ui");

    fm.ClearActive();
    EXPECT_TRUE(fm.Exists(u"engine.xml"));
    EXPECT_TRUE(fm.LoadFile(u"engine.xml").IsValid());

    // An unknown group selects nothing, so everything is searched.
    EXPECT_FALSE(fm.SelectGroup(u"nothing"));
    EXPECT_TRUE(fm.Exists(u"ui.xml"));
}

TEST(FileManagerSources, RemoveGroupDeletesItsSourcesAndClearsTheSelection)
{
    int alive = 0;
    FileManager fm;
    fm.AddSource(new FakeSource(u"System", {{u"a", "1"}}, &alive));
    fm.AddSource(new FakeSource(u"ui", {{u"b", "2"}}, &alive));
    fm.AddSource(new FakeSource(u"ui", {{u"c", "3"}}, &alive));
    fm.AddSource(new FakeSource(u"UI", {{u"d", "4"}}, &alive));
    ASSERT_TRUE(fm.SelectGroup(u"ui"));
    fm.RemoveGroup(u"ui");
    EXPECT_EQ(alive, 2);
    EXPECT_EQ(fm.SourceCount(), 2u);
    // The selection is gone, so the System group is searched again.
    EXPECT_TRUE(fm.Exists(u"a"));
    EXPECT_FALSE(fm.Exists(u"b"));
    EXPECT_TRUE(fm.Exists(u"d")); // group names compare exactly
}

TEST(FileManagerSources, ArchiveShadowsTheLooseFolderAddedAfterIt)
{
    auto dir = QuillTest::MakeTempDir("shadow");
    QuillTest::WriteFile(dir / "input/Audio/Audio.xml", "loose");
    QuillTest::WriteFile(dir / "input/only-loose.txt", "loose only");
    QuillTools::ZipWriter zip;
    zip.Add("audio/audio.xml", "packed");
    ASSERT_TRUE(zip.WriteTo((dir / "data.dat").string()));

    FileManager fm;
    ASSERT_TRUE(fm.AddSource(new FSCompressedSource(FromUtf8((dir / "data.dat").string()), u"System")));
    ASSERT_TRUE(fm.AddSource(new FSLooseFiles(FromUtf8((dir / "input").string()) + u"\\", u"System")));
    EXPECT_EQ(Text(fm.LoadFile(u"Audio\\Audio.xml")), "packed");
    EXPECT_EQ(Text(fm.LoadFile(u"ONLY-LOOSE.TXT")), "loose only");

    // A missing archive is dropped; the folder alone still serves.
    FileManager alone;
    EXPECT_FALSE(alone.AddSource(new FSCompressedSource(FromUtf8((dir / "missing.dat").string()), u"System")));
    ASSERT_TRUE(alone.AddSource(new FSLooseFiles(FromUtf8((dir / "input").string()), u"System")));
    EXPECT_EQ(Text(alone.LoadFile(u"Audio\\Audio.xml")), "loose");
}

// An archive entry that fails its checksum is named once, with its archive and what is wrong,
// however often it is asked for and through however many mounts of the same archive; a later
// source's good copy still serves, and an entry that is simply absent is no damage.
TEST(FileManagerSources, DamagedArchiveEntriesAreToldOnceEach)
{
    auto dir = QuillTest::MakeTempDir("damage");
    QuillTest::WriteFile(dir / "input/libraries.xml", "loose copy");
    QuillTools::ZipWriter zip;
    zip.Add("libraries.xml", "<Libraries><Library>a.xml</Library></Libraries>", QuillTools::ZipEntry::Stored).crc ^= 1;
    zip.Add("pictures/bad.png", "some picture bytes", QuillTools::ZipEntry::Deflated).payload[0] ^= 0x55;
    zip.Add("good.txt", "fine");
    ASSERT_TRUE(zip.WriteTo((dir / "data.dat").string()));
    const String archive = FromUtf8((dir / "data.dat").string());

    FileManager fm;
    std::vector<DamagedEntry> told;
    fm.SetDamageReporter([&](const DamagedEntry& d) { told.push_back(d); });
    ASSERT_TRUE(fm.AddSource(new FSCompressedSource(archive, u"System")));
    EXPECT_EQ(Text(fm.LoadFile(u"good.txt")), "fine");
    EXPECT_FALSE(fm.LoadFile(u"missing.txt").IsValid());
    EXPECT_TRUE(told.empty());

    EXPECT_FALSE(fm.LoadFile(u"Libraries.xml").IsValid());
    EXPECT_FALSE(fm.LoadFile(u"libraries.xml").IsValid());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].archive, archive);
    EXPECT_EQ(told[0].entry, u"libraries.xml");
    EXPECT_EQ(told[0].problem, "its checksum does not match");

    // The same archive mounted again under another group: still the same entry, not told again.
    ASSERT_TRUE(fm.AddSource(new FSCompressedSource(archive, u"data")));
    ASSERT_TRUE(fm.AddSource(new FSLooseFiles(FromUtf8((dir / "input").string()), u"data")));
    EXPECT_EQ(Text(fm.LoadFile(u"libraries.xml")), "loose copy");
    EXPECT_FALSE(fm.LoadFile(u"Pictures\\Bad.png").IsValid());
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1].entry, u"pictures/bad.png");
    EXPECT_FALSE(told[1].problem.empty());
    ASSERT_EQ(fm.DamagedEntries().size(), 2u);
    EXPECT_EQ(fm.DamagedEntries()[1].entry, u"pictures/bad.png");
}
