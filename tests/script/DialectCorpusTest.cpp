// Runs every script of corpus/: a script passes when it runs without error (its asserts hold);
// one whose first line is "-- error: TEXT" must fail to load or run with TEXT in the message.
#include "tests/script/DialectTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

std::filesystem::path CorpusDir()
{
    return QuillTest::SourceRoot() / "tests" / "script" / "corpus";
}

std::vector<std::filesystem::path> CorpusFiles()
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
        if (entry.path().extension() == ".lua") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string RunFile(QuillTest::DialectState& s, const std::filesystem::path& file)
{
    int status = QuillLua::LoadDialectFile(s.L, file.string().c_str());
    if (status == 0) {
        status = lua_pcall(s.L, 0, 0, 0);
    }
    if (status == 0) {
        return "";
    }
    std::string msg = lua_tostring(s.L, -1);
    lua_pop(s.L, 1);
    return msg.empty() ? "(empty error)" : msg;
}

} // namespace

TEST(DialectCorpus, EveryScriptGivesItsExpectedResult)
{
    auto files = CorpusFiles();
    ASSERT_GE(files.size(), 20u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        std::string text = QuillTest::ReadFile(file);
        std::string expectedError;
        const std::string marker = "-- error: ";
        if (text.rfind(marker, 0) == 0) {
            expectedError = text.substr(marker.size(), text.find('\n') - marker.size());
        }
        QuillTest::DialectState s;
        std::string err = RunFile(s, file);
        if (expectedError.empty()) {
            EXPECT_EQ(err, "");
        } else {
            EXPECT_NE(err.find(expectedError), std::string::npos) << "got: " << err;
        }
    }
}

TEST(DialectCorpus, Utf16AndUtf8SourcesAreDecoded)
{
    auto dir = QuillTest::MakeTempDir("dialect-encodings");
    // UTF-16LE with a BOM: a wide literal holding U+4E2D and a narrow literal that becomes UTF-8.
    std::u16string script = u"w = L\"\u4E2D\" n = \"\u00E9\"\nbad = nil + 1";
    std::string bytes = "\xFF\xFE";
    for (char16_t u : script) {
        bytes += char(u & 0xFF);
        bytes += char(u >> 8);
    }
    QuillTest::WriteFile(dir / "wide.lua", bytes);
    QuillTest::DialectState s;
    std::string err = RunFile(s, dir / "wide.lua");
    EXPECT_NE(err.find("wide.lua:2:"), std::string::npos) << err;
    EXPECT_EQ(s.Eval("w"), "wstring:\\x4e2d");
    EXPECT_EQ(s.Eval("n == '\\195\\169'"), "boolean:true");

    QuillTest::WriteFile(dir / "utf8.lua", "\xEF\xBB\xBFw = L\"\xE4\xB8\xAD\" n = \"\xC3\xA9\"");
    EXPECT_EQ(RunFile(s, dir / "utf8.lua"), "");
    EXPECT_EQ(s.Eval("w"), "wstring:\\x4e2d");
    EXPECT_EQ(s.Eval("n == '\\195\\169'"), "boolean:true");

    // Without a BOM each byte is one unit: a Latin-1 byte in a wide literal.
    QuillTest::WriteFile(dir / "bytes.lua", "#!/first/line/skipped\nw = L\"\xE9\" n = \"\xE9\"");
    EXPECT_EQ(RunFile(s, dir / "bytes.lua"), "");
    EXPECT_EQ(s.Eval("w"), "wstring:\\x00e9");
    EXPECT_EQ(s.Eval("n == '\\233'"), "boolean:true");
}
