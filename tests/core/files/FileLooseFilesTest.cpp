#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/files/FSLooseFiles.h"
#include "tests/support/TestEnvironment.h"

using namespace QuillEngine;

namespace {

struct LooseFolder {
    std::filesystem::path root;
    FSLooseFiles source;
    explicit LooseFolder(const std::string& stem)
        : root(QuillTest::MakeTempDir(stem)), source(FromUtf8((root / "input").string()) + u"\\", u"System")
    {
        std::filesystem::create_directories(root / "input");
    }
    std::string Read(const String& name)
    {
        std::unique_ptr<uint8_t[]> data;
        size_t size = 0;
        if (!source.ReadFile(name, data, size))
            return "<missing>";
        EXPECT_NE(data, nullptr);
        return std::string(reinterpret_cast<const char*>(data.get()), size);
    }
};

} // namespace

TEST(FileLooseFiles, BackslashesAndAnyCaseFindTheFile)
{
    LooseFolder f("loose-case");
    QuillTest::WriteFile(f.root / "input/Audio/Music/Theme.ogg", "theme");
    EXPECT_EQ(f.Read(u"Audio\\Music\\Theme.ogg"), "theme");
    EXPECT_EQ(f.Read(u"audio\\MUSIC\\theme.OGG"), "theme");
    EXPECT_EQ(f.Read(u"Audio/Music//Theme.ogg"), "theme");
    EXPECT_EQ(f.Read(u".\\Audio\\.\\Music\\Theme.ogg"), "theme");
    EXPECT_TRUE(f.source.Exists(u"AUDIO\\music\\theme.ogg"));
    EXPECT_FALSE(f.source.Exists(u"Audio\\Music\\Theme.og"));
    EXPECT_FALSE(f.source.Exists(u"Audio\\Music\\Theme.ogg\\x"));
}

TEST(FileLooseFiles, ExactNameWinsOverACaseBlindMatch)
{
    LooseFolder f("loose-exact");
    QuillTest::WriteFile(f.root / "input/a.txt", "lower");
    QuillTest::WriteFile(f.root / "input/A.txt", "upper");
    EXPECT_EQ(f.Read(u"A.txt"), "upper");
    EXPECT_EQ(f.Read(u"a.txt"), "lower");
    // Neither spelling matches exactly: the smallest name is taken, whatever the folder order.
    EXPECT_EQ(f.Read(u"a.TXT"), "upper");
}

TEST(FileLooseFiles, EscapesAndAbsoluteNamesAreRefused)
{
    LooseFolder f("loose-escape");
    QuillTest::WriteFile(f.root / "secret.txt", "secret");
    QuillTest::WriteFile(f.root / "input/sub/x.txt", "x");
    EXPECT_EQ(f.Read(u"..\\secret.txt"), "<missing>");
    EXPECT_FALSE(f.source.Exists(u"../secret.txt"));
    EXPECT_EQ(f.Read(u"sub\\..\\sub\\x.txt"), "<missing>");
    const String absolute = FromUtf8((f.root / "secret.txt").string());
    EXPECT_EQ(f.Read(absolute), "<missing>");
    EXPECT_EQ(f.Read(u"\\sub\\x.txt"), "<missing>");
    EXPECT_EQ(f.Read(u"C:\\secret.txt"), "<missing>");
    EXPECT_EQ(f.Read(u""), "<missing>");
    EXPECT_EQ(f.Read(String(u"sub\\x.txt\0.png", 15)), "<missing>");
    EXPECT_EQ(f.Read(u"sub\\x.txt"), "x");
}

TEST(FileLooseFiles, OnlyRegularFilesCount)
{
    LooseFolder f("loose-kinds");
    QuillTest::WriteFile(f.root / "input/empty.xml", "");
    std::filesystem::create_directories(f.root / "input/folder");
    ASSERT_EQ(::mkfifo((f.root / "input/pipe").c_str(), 0600), 0);

    EXPECT_TRUE(f.source.Exists(u"empty.xml"));
    EXPECT_EQ(f.Read(u"empty.xml"), "");
    EXPECT_FALSE(f.source.Exists(u"folder"));
    EXPECT_EQ(f.Read(u"folder"), "<missing>");
    // Reading a pipe would block the game; it is not a data file.
    EXPECT_FALSE(f.source.Exists(u"pipe"));
    EXPECT_EQ(f.Read(u"pipe"), "<missing>");
}

TEST(FileLooseFiles, FilesOverTheSizeCapAreNotRead)
{
    LooseFolder f("loose-big");
    const auto path = f.root / "input/huge.bin";
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    // Sparse: costs no disk space.
    ASSERT_EQ(::ftruncate(fd, off_t(FSLooseFiles::MaxFileSize) + 1), 0);
    ::close(fd);
    EXPECT_TRUE(f.source.Exists(u"huge.bin"));
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    EXPECT_FALSE(f.source.ReadFile(u"huge.bin", data, size));
    EXPECT_EQ(data, nullptr);
}

// The case-blind match keeps a folder's listing while the folder is unchanged: a name added since,
// even within the same second, or with the folder's time set back by hand, is still found.
TEST(FileLooseFiles, ACaseBlindMatchSeesFilesAddedAfterTheFolderWasListed)
{
    LooseFolder f("loose-listing");
    const std::filesystem::path folder = f.root / "input/Pictures";
    QuillTest::WriteFile(folder / "Badge.PNG", "badge");
    const auto settled = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(folder, settled);
    EXPECT_EQ(f.Read(u"Pictures\\badge.png"), "badge");
    EXPECT_FALSE(f.source.Exists(u"Pictures\\coin.png")); // the listing is kept from here on

    QuillTest::WriteFile(folder / "Coin.PNG", "coin");
    EXPECT_EQ(f.Read(u"Pictures\\coin.png"), "coin");
    QuillTest::WriteFile(folder / "Frame.PNG", "frame");
    std::filesystem::last_write_time(folder, settled + std::chrono::minutes(1));
    EXPECT_EQ(f.Read(u"Pictures\\frame.png"), "frame");
    std::filesystem::remove(folder / "Coin.PNG");
    std::filesystem::last_write_time(folder, settled + std::chrono::minutes(2));
    EXPECT_FALSE(f.source.Exists(u"Pictures\\coin.png"));
}
