#include "splash/SplashLog.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

using namespace QuillonSplash;
using namespace std::string_literals;

namespace {

// The UTF-16LE text of a log, as UTF-8 for ASCII content (other characters become '?').
std::string AsciiOf(const std::string& bytes)
{
    std::string out;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out.push_back(unit < 0x80 ? char(unit) : '?');
    }
    return out;
}

} // namespace

TEST(SplashLog, WritesUtf16LinesBetweenTheCreatingAndClosingLines)
{
    const auto dir = QuillTest::MakeTempDir("splash-log");
    const auto path = dir / "QuillonSplash.log";
    QuillTest::WriteFile(path, "old content");
    {
        SplashLog log(path.string());
        EXPECT_FALSE(log.IsOpen());
        EXPECT_TRUE(log.Write("[ShowSplash] message=%d", 256));
        EXPECT_TRUE(log.Write("[SplashSettings] for %s", std::string(600, 'n').c_str()));
        EXPECT_TRUE(log.WriteLine("caf\xC3\xA9 \xF0\x9F\x8E\xA8 bad\xFF"));
        log.Close();
        EXPECT_FALSE(log.IsOpen());
    }
    const std::string bytes = QuillTest::ReadFile(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::string text = AsciiOf(bytes);
    EXPECT_EQ(text.rfind("[Creating log file] Created at: LocalTime=\"", 0), 0u);
    EXPECT_NE(text.find(" @ "), std::string::npos);
    EXPECT_NE(text.find("\r\n[ShowSplash] message=256\r\n"), std::string::npos);
    EXPECT_NE(text.find("[SplashSettings] for " + std::string(600, 'n') + "\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n[Closing log file] Closed at: LocalTime=\""), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(text.find("old content"), std::string::npos);

    // é is one unit, the emoji a surrogate pair, the stray byte U+FFFD.
    const std::string cafe = SplashLog::ToUtf16Le("caf\xC3\xA9 \xF0\x9F\x8E\xA8 bad\xFF");
    EXPECT_NE(bytes.find(cafe), std::string::npos);
    EXPECT_EQ(cafe.substr(6, 2), "\xE9\x00"s);
    EXPECT_EQ(cafe.substr(10, 4), "\x3C\xD8\xA8\xDF");
    EXPECT_EQ(cafe.substr(cafe.size() - 2), "\xFD\xFF");
}

TEST(SplashLog, FailedWritesAreReportedAndRetried)
{
    // Every write to /dev/full fails: the line is reported as lost and the file closed.
    SplashLog full("/dev/full");
    EXPECT_FALSE(full.Write("[ShowSplash] HWND = 0x%x", 1u));
    EXPECT_FALSE(full.IsOpen());
    EXPECT_FALSE(full.WriteLine("again"));

    const auto dir = QuillTest::MakeTempDir("splash-log-missing");
    SplashLog nowhere((dir / "no" / "such" / "folder.log").string());
    EXPECT_FALSE(nowhere.WriteLine("dropped"));
    std::filesystem::create_directories(dir / "no" / "such");
    EXPECT_TRUE(nowhere.WriteLine("kept")); // the next line tries again
    nowhere.Close();
    const std::string text = AsciiOf(QuillTest::ReadFile(dir / "no" / "such" / "folder.log"));
    EXPECT_EQ(text.find("dropped"), std::string::npos);
    EXPECT_NE(text.find("kept\r\n"), std::string::npos);
}
