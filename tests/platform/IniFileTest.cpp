#include "platform/ini/IniFile.h"

#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

using QuillPlatform::IniFile;

TEST(IniFile, SectionsKeysAndCommentsFollowTheProfileRules)
{
    const IniFile ini = IniFile::Parse("\xEF\xBB\xBF"
                                       "orphan=before any section\r\n"
                                       "; a comment\r\n"
                                       "  [ First ]  \r\n"
                                       "Key = value with ; no comment  \r\n"
                                       "  ;Key=commented out\r\n"
                                       "quoted=\"  padded  \"\r\n"
                                       "single='x'\r\n"
                                       "half=\"open\r\n"
                                       "noneDouble=\"\"\r\n"
                                       "noneSingle=  ''  \r\n"
                                       "lone=\"\r\n"
                                       "mixed='x\"\r\n"
                                       "empty=\r\n"
                                       "bare\r\n"
                                       "=no key\r\n"
                                       "key=second copy\r\n"
                                       "[second]\n"
                                       "eq=a=b\n"
                                       "[FIRST]\n"
                                       "late=unreachable\n"
                                       "[unclosed\n"
                                       "x=1");
    EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"First", "second", "unclosed"}));
    EXPECT_EQ(ini.Value("first", "KEY"), "value with ; no comment");
    EXPECT_EQ(ini.Value("First", "quoted"), "  padded  ");
    EXPECT_EQ(ini.Value("First", "single"), "x");
    EXPECT_EQ(ini.Value("First", "half"), "\"open");
    EXPECT_EQ(ini.Value("First", "noneDouble"), "");
    EXPECT_EQ(ini.Value("First", "noneSingle"), "");
    EXPECT_EQ(ini.Value("First", "lone"), "\"");
    EXPECT_EQ(ini.Value("First", "mixed"), "'x\"");
    EXPECT_EQ(ini.Value("First", "empty"), "");
    EXPECT_EQ(ini.Value("First", "bare"), "");
    EXPECT_EQ(ini.Value("First", "late"), std::nullopt);
    EXPECT_EQ(ini.Value("First", "orphan"), std::nullopt);
    EXPECT_EQ(ini.Value("Second", "eq"), "a=b");
    EXPECT_EQ(ini.Value("unclosed", "x"), "1");
    EXPECT_EQ(ini.Value("missing", "key"), std::nullopt);
    EXPECT_EQ(ini.GetString("First", "nothing", "fallback"), "fallback");
    EXPECT_EQ(ini.GetString("First", "empty", "fallback"), "");
    EXPECT_TRUE(ini.HasSection("SECOND"));
    EXPECT_FALSE(ini.HasSection("third"));
}

TEST(IniFile, LoadReadsLongValuesAndRefusesWhatItCannotRead)
{
    const auto dir = QuillTest::MakeTempDir("ini");
    EXPECT_FALSE(IniFile::Load((dir / "missing.ini").string()));
    EXPECT_FALSE(IniFile::Load(dir.string())); // a folder

    const std::string longValue(5000, 'v');
    QuillTest::WriteFile(dir / "a.ini", "[S]\nk=" + longValue + "\n");
    const auto ini = IniFile::Load((dir / "a.ini").string());
    ASSERT_TRUE(ini);
    EXPECT_EQ(ini->Value("s", "k"), longValue);

    QuillTest::WriteFile(dir / "empty.ini", "");
    const auto empty = IniFile::Load((dir / "empty.ini").string());
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->SectionNames().empty());

    // The cap is the largest file read, not the smallest refused.
    QuillTest::WriteFile(dir / "largest.ini", "[S]\nk=v\n" + std::string(IniFile::kMaxFileBytes - 8, ';'));
    const auto largest = IniFile::Load((dir / "largest.ini").string());
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->Value("s", "k"), "v");
    QuillTest::WriteFile(dir / "huge.ini", std::string(IniFile::kMaxFileBytes + 1, ';'));
    EXPECT_FALSE(IniFile::Load((dir / "huge.ini").string()));
}
