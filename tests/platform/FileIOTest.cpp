#include "platform/system/FileIO.h"

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/TestEnvironment.h"

using namespace QuillPlatform;

TEST(FileIO, OnlyARegularFileOpensAndItsReadsAreExact)
{
    const auto dir = QuillTest::MakeTempDir("fileio-read");
    QuillTest::WriteFile(dir / "ten.bin", "0123456789");
    std::filesystem::create_directories(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);

    ReadOnlyFile file;
    ASSERT_TRUE(file.Open((dir / "ten.bin").string()));
    EXPECT_EQ(file.Size(), 10u);
    char buffer[4] = {};
    ASSERT_TRUE(file.ReadAt(buffer, 4, 6));
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_FALSE(file.ReadAt(buffer, 4, 7)); // runs past the end
    EXPECT_FALSE(file.ReadAt(buffer, 1, uint64_t(1) << 63));

    // Moving hands the file over; the moved-from one reads nothing.
    ReadOnlyFile other = std::move(file);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.ReadAt(buffer, 1, 0));
    ASSERT_TRUE(other.ReadAt(buffer, 1, 0));
    EXPECT_EQ(buffer[0], '0');

    // A file cut short after it was opened gives a failed read, not stale bytes.
    std::filesystem::resize_file(dir / "ten.bin", 5);
    EXPECT_FALSE(other.ReadAt(buffer, 4, 3));

    // A pipe would block a reader; a folder has no bytes. Both are refused at once.
    for (const char* name : {"folder", "pipe", "missing"}) {
        ReadOnlyFile refused;
        EXPECT_FALSE(refused.Open((dir / name).string())) << name;
        EXPECT_FALSE(refused.IsOpen()) << name;
    }
    EXPECT_FALSE(other.Open((dir / "folder").string()));
    EXPECT_FALSE(other.IsOpen()); // a failed open leaves nothing of the previous file
}

TEST(FileIO, KindsAndFolderListings)
{
    const auto dir = QuillTest::MakeTempDir("fileio-list");
    QuillTest::WriteFile(dir / "a.txt", "a");
    QuillTest::WriteFile(dir / "Sub/b.txt", "b");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);

    EXPECT_EQ(GetFileKind((dir / "a.txt").string()), FileKind::File);
    EXPECT_EQ(GetFileKind((dir / "Sub").string()), FileKind::Folder);
    EXPECT_EQ(GetFileKind((dir / "pipe").string()), FileKind::Other);
    EXPECT_EQ(GetFileKind((dir / "nope").string()), FileKind::Missing);
    EXPECT_EQ(GetFileKind((dir / "a.txt/below").string()), FileKind::Missing);

    std::vector<std::string> names;
    ASSERT_TRUE(ListFolder(dir.string(), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Sub", "a.txt", "pipe"}));
    names = {"stale"};
    EXPECT_FALSE(ListFolder((dir / "nope").string(), names));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(ListFolder((dir / "a.txt").string(), names));
}
