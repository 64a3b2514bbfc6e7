#include "platform/system/SafeFile.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

namespace fs = std::filesystem;
using namespace QuillPlatform;

namespace {

// Sets (or unsets, with null) an environment variable for one scope.
using QuillTest::ScopedEnv;

} // namespace

TEST(SafeFile, XdgFoldersIgnoreEmptyAndRelativeValues)
{
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv data("XDG_DATA_HOME", "/xdg/data/");
        ScopedEnv config("XDG_CONFIG_HOME", "/xdg/config");
        EXPECT_EQ(XdgDataHome(), "/xdg/data");
        EXPECT_EQ(XdgConfigHome(), "/xdg/config");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", "relative/data");
        ScopedEnv config("XDG_CONFIG_HOME", "");
        EXPECT_EQ(XdgDataHome(), "/home/someone/.local/share");
        EXPECT_EQ(XdgConfigHome(), "/home/someone/.config");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", nullptr);
        ScopedEnv noHome("HOME", "");
        EXPECT_EQ(XdgDataHome(), "");
    }
}

TEST(SafeFile, CreateDirectoryPathMakesEveryMissingFolder)
{
    const fs::path root = QuillTest::MakeTempDir("mkpath");
    const fs::path deep = root / "a" / "b c" / "d";
    EXPECT_TRUE(CreateDirectoryPath(deep.string() + "/"));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(CreateDirectoryPath(deep.string())); // already there
    EXPECT_TRUE(CreateDirectoryPath(root.string() + "//a///e"));
    EXPECT_TRUE(fs::is_directory(root / "a" / "e"));

    QuillTest::WriteFile(root / "file", "x");
    EXPECT_FALSE(CreateDirectoryPath((root / "file" / "sub").string()));
    EXPECT_FALSE(CreateDirectoryPath(""));
    EXPECT_EQ(GetPathKind((root / "file").string()), PathKind::Other);
    EXPECT_EQ(GetPathKind((root / "missing").string()), PathKind::Missing);
}

TEST(SafeFile, ReadAllHonoursTheCapAndWriteAllWritesEverything)
{
    const fs::path root = QuillTest::MakeTempDir("readall");
    const std::string path = (root / "f.bin").string();

    std::string content(300000, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 31);
    FileHandle out = FileHandle::OpenWrite(path);
    ASSERT_TRUE(out.IsOpen());
    ASSERT_TRUE(out.WriteAll(content.data(), content.size()));
    EXPECT_TRUE(out.Sync());
    EXPECT_TRUE(out.Close());
    EXPECT_FALSE(out.Close());

    std::vector<uint8_t> bytes;
    FileHandle in = FileHandle::OpenRead(path);
    ASSERT_TRUE(in.ReadAll(bytes, content.size()));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
    FileHandle again = FileHandle::OpenRead(path);
    EXPECT_FALSE(again.ReadAll(bytes, content.size() - 1));
    EXPECT_TRUE(bytes.empty());

    FileHandle missing = FileHandle::OpenRead((root / "nope" / "x").string());
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Error(), ENOENT);
    EXPECT_FALSE(missing.ReadAll(bytes, 10));
    FileHandle folder = FileHandle::OpenRead(root.string());
    EXPECT_FALSE(folder.ReadAll(bytes, 1 << 20));
}

TEST(SafeFile, ReplaceFileSwapsInTheNewContent)
{
    const fs::path root = QuillTest::MakeTempDir("replace");
    QuillTest::WriteFile(root / "t.prefs", "old");
    QuillTest::WriteFile(root / "t.prefs.sxs", "new");
    EXPECT_TRUE(ReplaceFile((root / "t.prefs.sxs").string(), (root / "t.prefs").string()));
    EXPECT_EQ(QuillTest::ReadFile(root / "t.prefs"), "new");
    EXPECT_FALSE(fs::exists(root / "t.prefs.sxs"));
    EXPECT_FALSE(ReplaceFile((root / "gone").string(), (root / "t.prefs").string()));
    EXPECT_EQ(QuillTest::ReadFile(root / "t.prefs"), "new");
    EXPECT_TRUE(RemoveFile((root / "t.prefs").string()));
    EXPECT_FALSE(RemoveFile((root / "t.prefs").string()));
}
